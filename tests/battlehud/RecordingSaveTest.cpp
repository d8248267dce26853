// Saving the battle's recording from the post-mortem: offered only after an attack,
// written under the scenario's name where the recording picker and the defence options
// look, and refused for names that would leave the recordings folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/ChallengeRecording.h"
#include "battlehud/BattleHud.h"
#include "battlehud/RecordingSave.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/Folders.h"
#include "gui/TextEditWindow.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/TestSupport.h"

namespace {

using namespace battle_test;

class RecordingSave : public ::testing::Test {
 protected:
  void SetUp() override {
    // Saved into the test's own folder: left unset, the folder is "" and the recordings
    // would land at the file system's root, shared by every test run on the machine.
    UserFolders()[USERFOLDER_DEPLOYMENTS] = zt_test::UserRoot() + "/deployments";
    SIM_ScenarioManager::Get().Load();
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
      if (s && s->name == "desert_pass") scenario = s;
    ASSERT_NE(scenario, nullptr);
    StartScenarioBattle(scenario, false, AI_UNITS_SCENARIO);
    ASSERT_FALSE(SIM_UnitDesignManager::Get().AIDesigns().empty());
    SIM_ChallengeRecording& rec = GetChallengeRecording();
    rec.Clear();
    auto e = std::make_unique<SIM_RecordingEntry>();
    e->design = SIM_UnitDesignManager::Get().AIDesigns().front().get();
    e->time = 1500.0f;
    rec.entries.push_back(std::move(e));
    rec.state = SIM_ChallengeRecording::STATE_RECORDING;
  }
  void TearDown() override {
    GetChallengeRecording().Clear();
    GetChallengeRecording().state = SIM_ChallengeRecording::STATE_IDLE;
  }
  SIM_Scenario* scenario = nullptr;
};

TEST_F(RecordingSave, TheDefaultNameLandsWhereThePickerLooks) {
  ASSERT_EQ(SaveCurrentRecording(scenario, "My Recording"), "");
  const std::string folder = GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/desert_pass/recordings";
  EXPECT_TRUE(FileExists(folder + "/My Recording.txt"));
  EXPECT_FALSE(ListFiles(folder + "/My Recording/*.ini").empty());
  // Later deployments no longer join it.
  EXPECT_EQ(GetChallengeRecording().state, SIM_ChallengeRecording::STATE_IDLE);
  const std::vector<std::string> listed = ScenarioRecordings(scenario);
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.front(), folder + "/My Recording.txt");
}

TEST_F(RecordingSave, NamesThatLeaveTheFolderAreRefused) {
  for (const std::string& name : std::vector<std::string>{"../x", "a/b", "..", ".hidden", "a\\b", "a,b",
                                                          "a\nb", std::string(65, 'n')}) {
    SCOPED_TRACE(name);
    EXPECT_NE(SaveCurrentRecording(scenario, name), "");
  }
  const std::string folder = GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/desert_pass/recordings";
  EXPECT_FALSE(FileExists(folder + "/a/b.txt"));
  EXPECT_FALSE(FileExists(folder + "/.hidden.txt"));
  EXPECT_FALSE(FileExists(folder + "/a,b.txt"));
  EXPECT_FALSE(FileExists(GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/desert_pass/x.txt"));
}

TEST_F(RecordingSave, TheDialogSavesAndClosesButAnEmptyNameDoesNothing) {
  auto* dialog = new GUI_BS_RecordingSave();
  ASSERT_EQ(GetRecordingSaveDialog(), dialog);
  EXPECT_EQ(dialog->nameEdit->GetText(), "My Recording");
  dialog->nameEdit->SetText("");
  GUI_BS_RecordingSave::OnSave(0);
  EXPECT_EQ(GetRecordingSaveDialog(), dialog);
  dialog->nameEdit->SetText("Second Try");
  GUI_BS_RecordingSave::OnSave(0);
  EXPECT_EQ(GetRecordingSaveDialog(), nullptr);
  EXPECT_TRUE(FileExists(GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/desert_pass/recordings/Second Try.txt"));
}

TEST_F(RecordingSave, ThePostMortemOffersItOnlyAfterAnAttackWithDeployments) {
  GUI_BS_PostMortem::Open();
  ASSERT_NE(GetOpenPostMortem(), nullptr);
  EXPECT_TRUE(GetOpenPostMortem()->saveButton->enabled);
  GetBattle().playerDefends = true;
  GUI_BS_PostMortem::Open();
  EXPECT_FALSE(GetOpenPostMortem()->saveButton->enabled);
  GetBattle().playerDefends = false;
  GetChallengeRecording().Clear();
  GUI_BS_PostMortem::Open();
  EXPECT_FALSE(GetOpenPostMortem()->saveButton->enabled);
}

}  // namespace
