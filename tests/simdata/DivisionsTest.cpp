// Divisions: "All" holds every design; divisions round trip through "divisions.txt";
// a save that cannot finish leaves the old file whole; a damaged file is kept aside.
#include <filesystem>
#include <string>

#include "SimdataTestSupport.h"
#include "engine/ErrorReporting.h"
#include "platform/Files.h"
#include "simdata/DataHooks.h"
#include "simdata/Divisions.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

using namespace simdata_test;

namespace {

class DivisionsTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    SetFatalErrorHook(nullptr);
    SIM_UnitDesignManager::Get().Load();
    path = UserFile(SIM_DivisionManager::kFileName);
  }
  std::string path;
};

TEST_F(DivisionsTest, WithoutAFileTheOnlyDivisionIsAllSelectedWithEveryUnlockedDesign) {
  SIM_DivisionManager& m = SIM_DivisionManager::Instance();
  ASSERT_EQ(m.Count(), 1);
  SIM_Division* all = m.Selected();
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(all->name, "All");
  std::vector<std::string> unlocked, locked;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    (IsDesignUnlocked(*d) ? unlocked : locked).push_back(d->name);
  ASSERT_FALSE(unlocked.empty()) << "the starting kit builds some of the sample designs";
  ASSERT_FALSE(locked.empty()) << "and some need unlocks";
  EXPECT_EQ(all->designs, unlocked);
  // Unlocking a locked design's parts puts it in "All" at the next load.
  const SIM_UnitDesign* d = SIM_UnitDesignManager::Get().FindDesign(locked.front());
  ASSERT_NE(d, nullptr);
  SIM_HighScores::Get().AddUnlock(d->hull->name);
  for (const DesignModule& dm : d->modules) SIM_HighScores::Get().AddUnlock(dm.type->name);
  m.Load();
  EXPECT_TRUE(m.FindDivision("All")->ContainsDesign(d->name));
}

TEST_F(DivisionsTest, DivisionsAndTheSelectionRoundTripWithoutAll) {
  SIM_DivisionManager& m = SIM_DivisionManager::Instance();
  SIM_Division* armour = m.AddDivision("Armour");
  ASSERT_NE(armour, nullptr);
  EXPECT_TRUE(armour->AddDesign("heavy tank"));
  EXPECT_TRUE(armour->AddDesign("scout"));
  EXPECT_FALSE(armour->AddDesign("scout")) << "no duplicates";
  ASSERT_NE(m.AddDivision("Foot"), nullptr);
  m.Select(armour);
  ASSERT_TRUE(m.Save());
  const std::string text = ReadText(path);
  EXPECT_EQ(text.find("[All]"), std::string::npos);
  EXPECT_EQ(text, "\n[config]\nselected = Armour\n\n[Armour]\nheavy tank\nscout\n\n[Foot]\n");

  SIM_DivisionManager again;
  again.Load();
  ASSERT_EQ(again.Count(), 3);
  EXPECT_EQ(again.Divisions()[0]->name, "Armour");
  EXPECT_EQ(again.Divisions()[1]->name, "Foot");
  EXPECT_EQ(again.Divisions()[2]->name, "All");
  ASSERT_NE(again.Selected(), nullptr);
  EXPECT_EQ(again.Selected()->name, "Armour");
  EXPECT_EQ(again.Selected()->designs, (std::vector<std::string>{"heavy tank", "scout"}));
}

TEST_F(DivisionsTest, ASaveThatCannotFinishLeavesTheOldFileWhole) {
  SIM_DivisionManager& m = SIM_DivisionManager::Instance();
  m.AddDivision("Keep")->AddDesign("scout");
  ASSERT_TRUE(m.Save());
  const std::string before = ReadText(path);
  m.AddDivision("Lost");
  platform::SetTemporaryFileCreationBlocked(true);
  const bool saved = m.Save();
  platform::SetTemporaryFileCreationBlocked(false);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadText(path), before);
}

TEST_F(DivisionsTest, ADamagedFileIsKeptAsideAndAStaleSelectionSelectsNothing) {
  WriteText(path, std::string("[config]\nselected = X\n\x01\x02garbage", 30));
  SIM_DivisionManager damaged;
  damaged.Load();
  EXPECT_EQ(damaged.Count(), 1);
  EXPECT_TRUE(std::filesystem::exists(path + ".damaged"));

  WriteText(path, "[config]\nselected = Gone\n\n[Armour]\nscout\n");
  AssertText[0] = '\0';
  SIM_DivisionManager stale;
  stale.Load();
  EXPECT_EQ(stale.Selected(), nullptr);
  EXPECT_NE(std::string(AssertText), "");
  EXPECT_EQ(stale.Count(), 2);
}

TEST_F(DivisionsTest, NamesTheFileCannotHoldApartAreRefused) {
  SIM_DivisionManager& m = SIM_DivisionManager::Instance();
  for (const char* bad : {"config", "All", "", "a]b", "[x", "two\nlines"})
    EXPECT_EQ(m.AddDivision(bad), nullptr) << bad;
  ASSERT_NE(m.AddDivision("Ok"), nullptr);
  EXPECT_EQ(m.AddDivision("Ok"), nullptr) << "taken";
  SIM_Division* ok = m.FindDivision("Ok");
  for (const char* bad : {"/comment", "a=b", "[x", " padded"}) EXPECT_FALSE(ok->AddDesign(bad)) << bad;
}

bool g_windowOpen = true;
bool AcceptsOnlyFoot(const SIM_Division* d) { return d->name == "Foot"; }
bool RefusesAll(const SIM_Division*) { return false; }

TEST_F(DivisionsTest, SelectingWalksRoundToTheNextDivisionTheWindowCanUse) {
  SIM_DataHooks& hooks = GetDataHooks();
  const auto savedOpen = hooks.deploymentWindowOpen;
  const auto savedUse = hooks.deploymentCanUseDivision;
  hooks.deploymentWindowOpen = [] { return g_windowOpen; };
  hooks.deploymentCanUseDivision = AcceptsOnlyFoot;
  SIM_DivisionManager& m = SIM_DivisionManager::Instance();  // [All]
  m.AddDivision("Armour");
  m.AddDivision("Foot");  // [All, Armour, Foot]
  EXPECT_TRUE(m.SelectNext());
  EXPECT_EQ(m.Selected()->name, "Foot");
  EXPECT_TRUE(m.SelectPrevious());
  EXPECT_EQ(m.Selected()->name, "Foot") << "round the list and back to the only usable one";
  hooks.deploymentCanUseDivision = RefusesAll;
  EXPECT_FALSE(m.SelectNext()) << "gives up after one round";
  m.Select(nullptr);
  hooks.deploymentCanUseDivision = nullptr;
  EXPECT_TRUE(m.SelectNext());
  EXPECT_EQ(m.Selected()->name, "All") << "with nothing selected the walk starts at the first";
  hooks.deploymentWindowOpen = savedOpen;
  hooks.deploymentCanUseDivision = savedUse;
}

}  // namespace
