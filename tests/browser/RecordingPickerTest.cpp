// The recording picker of the scripted defence, clicked as the player does: the defence
// option opens it, Load replays the chosen recording, a recording gone from the disk is
// reported and nothing starts, and deleting a recording takes its designs folder along.
#include <filesystem>
#include <fstream>
#include <string>

#include "BrowserFixture.h"
#include "battle/Battle.h"
#include "battle/ChallengeRecording.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "gui/Buttons.h"
#include "gui/ConfirmDialog.h"
#include "gui/FilePicker.h"
#include "gui/MessageBox.h"
#include "simdata/Scenario.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using browser_test::BrowserTest;

class RecordingPickerTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    if (HasFatalFailure()) return;
    SIM_ScenarioManager::Get().Load();
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
      if (s && !scenario) scenario = s;
    ASSERT_NE(scenario, nullptr);
    folder = GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/" + scenario->name + "/recordings";
    fs::create_directories(folder);
    for (const char* name : {"dawn", "dusk"}) {
      std::ofstream(folder + "/" + name + ".txt") << "[deployment_record]\n";
      // The designs the recording deploys, kept beside it.
      fs::create_directories(folder + "/" + name);
      std::ofstream(folder + "/" + name + "/tank.txt") << "[design]\n";
    }
    ASSERT_NE(OpenBrowser(), nullptr);
  }
  // The defence options' scripted defence, as the browser offers it.
  GUI_BB_RecordingLoad* OpenPicker() {
    OpenDefenseOptions(scenario);
    GUI_BB_DefenseOptions* options = GetDefenseOptions();
    if (!options) return nullptr;
    if (!options->options[0]->button->enabled) {
      ADD_FAILURE() << "scripted defence off; recordings " << ScenarioRecordings(scenario).size();
      return nullptr;
    }
    Frame();  // laid out by its first frame
    ClickCentre(options->options[0]->button);
    if (GetRecordingPicker()) Frame();
    return GetRecordingPicker();
  }
  GUI_FilePickerItem* Row(GUI_BB_RecordingLoad* dialog, const std::string& name) {
    for (GUI_FilePickerItem* r : dialog->picker->Rows())
      if (r->Name() == name) return r;
    return nullptr;
  }
  SIM_Scenario* scenario = nullptr;
  std::string folder;
};

TEST_F(RecordingPickerTest, LoadReplaysTheChosenRecordingAsAScriptedDefence) {
  GUI_BB_RecordingLoad* dialog = OpenPicker();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetDefenseOptions(), nullptr) << "the options make way for the picker";
  ASSERT_NE(Row(dialog, "dusk"), nullptr);
  ClickCentre(Row(dialog, "dusk"));
  ASSERT_EQ(dialog->picker->SelectedPath(), folder + "/dusk.txt");
  ClickCentre(dialog->loadButton);
  EXPECT_EQ(GetRecordingPicker(), nullptr);
  SIM_Battle& battle = GetBattle();
  EXPECT_TRUE(battle.playerDefends);
  EXPECT_EQ(battle.aiUnitSource, AI_UNITS_SCRIPTED);
  EXPECT_EQ(battle.scenario, scenario);
  SIM_ChallengeRecording& recording = GetChallengeRecording();
  EXPECT_EQ(recording.path, folder + "/dusk.txt");
  EXPECT_EQ(recording.state, SIM_ChallengeRecording::STATE_REPLAYING);
  EXPECT_EQ(OpenMessageBox(), nullptr);
}

TEST_F(RecordingPickerTest, ARecordingGoneFromTheDiskIsReportedAndNothingStarts) {
  GUI_BB_RecordingLoad* dialog = OpenPicker();
  ASSERT_NE(dialog, nullptr);
  ClickCentre(Row(dialog, "dawn"));
  // Deleted behind the open picker.
  fs::remove(folder + "/dawn.txt");
  GetBattle().aiUnitSource = AI_UNITS_ALL;
  ClickCentre(dialog->loadButton);
  GUI_Message* box = OpenMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->Text(), GetTranslation("BB_RECORDING_MISSING"));
  EXPECT_NE(zt_test::ReadText(GetLogFolder() + "/errors.txt")
                .find("Missing recording file: " + folder + "/dawn.txt"),
            std::string::npos);
  EXPECT_EQ(GetRecordingPicker(), dialog) << "the player may choose another";
  EXPECT_EQ(GetBattle().aiUnitSource, AI_UNITS_ALL);
}

TEST_F(RecordingPickerTest, DeletingARecordingTakesItsDesignsFolderAndLeavesTheOthers) {
  GUI_BB_RecordingLoad* dialog = OpenPicker();
  ASSERT_NE(dialog, nullptr);
  GUI_FilePickerItem* dusk = Row(dialog, "dusk");
  ASSERT_NE(dusk, nullptr);
  ClickCentre(dusk->DeleteButton());
  GUI_ConfirmDialog* ask = OpenConfirmDialog();
  ASSERT_NE(ask, nullptr);
  ClickCentre(ask->YesButton());
  EXPECT_FALSE(fs::exists(folder + "/dusk.txt"));
  EXPECT_FALSE(fs::exists(folder + "/dusk")) << "its designs go with it";
  EXPECT_TRUE(fs::exists(folder + "/dawn.txt"));
  EXPECT_TRUE(fs::exists(folder + "/dawn/tank.txt"));
  // Only a recording's own folder may go: a path that is not a recording deletes nothing.
  DeleteRecording(folder + "/dawn");
  DeleteRecording(folder + "/dawn.tx");
  DeleteRecording(".txt");
  EXPECT_TRUE(fs::exists(folder + "/dawn/tank.txt"));
}

}  // namespace
