// The unlock dialog after a campaign battle: what it opens with for each outcome and
// what is left to unlock, the module statistics beside an item, their scrolling, and a
// chosen item kept for good.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/BattleOutcome.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "battlehud/PostBattleUnlock.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "gui/Buttons.h"
#include "gui/InfoWidgets.h"
#include "gui/ScrollingWindow.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/Unlockable.h"
#include "support/TestFiles.h"

namespace {

using namespace battle_test;

class UnlockDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetGame().InitUserFolders();
    OpenDebugFile(zt_test::UserRoot());
    InitRandomWithSeed(5);
    EngineSrand(5);
  }
  void TearDown() override { CloseDebugFiles(); }

  // A battle of the first campaign scenario (or of one the player made) with its outcome.
  void EndBattle(int outcome, int origin = SIM_Scenario::ORIGIN_CAMPAIGN) {
    SIM_ScenarioManager::Get().Load();
    ASSERT_FALSE(SIM_ScenarioManager::Get().Campaign().empty());
    scenario = SIM_ScenarioManager::Get().Campaign().front();
    keptOrigin = scenario->origin;
    scenario->origin = origin;
    StartScenarioBattle(scenario, false, AI_UNITS_NONE);
    GetBattle().outcome = outcome;
  }
  void RestoreScenario() {
    if (scenario) scenario->origin = keptOrigin;
  }
  // Leaves `choices` choice items (all when negative) and free items or none.
  static void Leave(int choices, bool free) {
    SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
    catalogue.EnsureLoaded();
    std::vector<SIM_Unlockable*> c = catalogue.Choices();
    if (choices >= 0)
      for (size_t i = static_cast<size_t>(choices); i < c.size(); ++i) catalogue.Remove(c[i]);
    if (!free)
      for (SIM_Unlockable* u : std::vector<SIM_Unlockable*>(catalogue.Free())) catalogue.Remove(u);
  }
  static bool Contains(const std::vector<SIM_Unlockable*>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const SIM_Unlockable* u) { return u->GetName() == name; });
  }

  SIM_Scenario* scenario = nullptr;
  int keptOrigin = 0;
};

TEST_F(UnlockDialogTest, OpensWithWhatTheOutcomeAndCatalogueAllow) {
  struct Case {
    const char* what;
    int outcome;
    int choices;  // left in the catalogue; -1 all
    bool free;
    int origin;
    bool opens;
    bool first, second, freeItem, continueButton;
    int clientHeight;
  } cases[] = {
      {"victory, choices and free", OUTCOME_VICTORY, -1, true, SIM_Scenario::ORIGIN_CAMPAIGN, true, true,
       true, true, false, 400},
      {"victory, choices only", OUTCOME_VICTORY, -1, false, SIM_Scenario::ORIGIN_CAMPAIGN, true, true, true,
       false, false, 250},
      {"victory, one choice left", OUTCOME_VICTORY, 1, false, SIM_Scenario::ORIGIN_CAMPAIGN, true, true,
       false, false, false, 250},
      {"victory, free only", OUTCOME_VICTORY, 0, true, SIM_Scenario::ORIGIN_CAMPAIGN, true, false, false,
       true, true, 150},
      {"defeat with free items", OUTCOME_DEFEAT, -1, true, SIM_Scenario::ORIGIN_CAMPAIGN, true, false, false,
       true, true, 150},
      {"defeat without free items", OUTCOME_DEFEAT, -1, false, SIM_Scenario::ORIGIN_CAMPAIGN, false, false,
       false, false, false, 0},
      {"victory, nothing left", OUTCOME_VICTORY, 0, false, SIM_Scenario::ORIGIN_CAMPAIGN, false, false, false,
       false, false, 0},
      {"the player's own map", OUTCOME_VICTORY, -1, true, SIM_Scenario::ORIGIN_OTHER, false, false, false,
       false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetAllSingletons();
    GetGame().InitUserFolders();
    EndBattle(c.outcome, c.origin);
    Leave(c.choices, c.free);
    const std::vector<SIM_Unlockable*> freeBefore = SIM_UnlocksManager::Get().Free();
    RunContinueSequence();
    RestoreScenario();
    GUI_BS_PostBattleUnlock* d = GetOpenPostBattleUnlock();
    ASSERT_EQ(d != nullptr, c.opens);
    if (!c.opens) {
      EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
      continue;
    }
    EXPECT_EQ(d->firstChoice != nullptr, c.first);
    EXPECT_EQ(d->secondChoice != nullptr, c.second);
    EXPECT_EQ(d->freeUnlock != nullptr, c.freeItem);
    EXPECT_EQ(d->continueButton != nullptr, c.continueButton);
    const GUI_Rect client = d->GetClientRect();
    EXPECT_EQ(client.Height(), c.clientHeight);
    EXPECT_EQ(d->width, GUI_BS_PostBattleUnlock::kWidth);
    if (d->firstChoice && d->secondChoice) {
      EXPECT_NE(d->firstChoice->item, d->secondChoice->item);
    }
    if (c.freeItem) {
      // Granted at once, before the player does anything, and kept on disk.
      SIM_Unlockable* granted = d->freeUnlock->itemWindow->item;
      ASSERT_NE(granted, nullptr);
      EXPECT_TRUE(Contains(freeBefore, granted->GetName()));
      EXPECT_FALSE(granted->IsLocked());
      EXPECT_FALSE(Contains(SIM_UnlocksManager::Get().Free(), granted->GetName()));
      EXPECT_NE(zt_test::ReadText(zt_test::UserRoot() + "/unl.dat").find(granted->GetName() + "\n"),
                std::string::npos);
      EXPECT_FALSE(d->freeUnlock->itemWindow->picture.empty());
    }
    if (c.continueButton) {
      zt_test::ClickOn(d->continueButton);
      EXPECT_EQ(GetOpenPostBattleUnlock(), nullptr);
      EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
    }
  }
}

TEST_F(UnlockDialogTest, AChosenItemIsSavedBeforeTheDialogClosesAndNeverOfferedAgain) {
  EndBattle(OUTCOME_VICTORY);
  Leave(-1, false);
  RunContinueSequence();
  RestoreScenario();
  GUI_BS_PostBattleUnlock* d = GetOpenPostBattleUnlock();
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->secondChoice, nullptr);
  const std::string chosen = d->secondChoice->item->GetName();
  const std::string other = d->firstChoice->item->GetName();
  zt_test::ClickOn(d->secondChoice->chooseButton);
  EXPECT_EQ(GetOpenPostBattleUnlock(), nullptr);
  const std::string saved = zt_test::ReadText(zt_test::UserRoot() + "/unl.dat");
  EXPECT_NE(saved.find(chosen + "\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find(other + "\n"), std::string::npos) << "the other offer stays locked";
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);

  // A restart: the records are read again, and the catalogue no longer offers it.
  for (int run = 0; run < 2; ++run) {
    ResetAllSingletons();
    GetGame().InitUserFolders();
    SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
    catalogue.EnsureLoaded();
    EXPECT_FALSE(Contains(catalogue.Choices(), chosen));
    EXPECT_FALSE(Contains(catalogue.Free(), chosen));
    EXPECT_TRUE(Contains(catalogue.Choices(), other));
    EXPECT_TRUE(SIM_HighScores::Get().IsUnlocked(chosen));
  }
}

TEST_F(UnlockDialogTest, ModuleStripsShowEachDisplayTypeAndModifiersAgainstOne) {
  Catalogue cat;
  SIM_ModuleType* gun = cat.Module("test_gun", "SIM_KineticWeaponComponent",
                                   "effective_vs_armor = 1.0\neffective_vs_shield = 1.25\n"
                                   "effective_vs_internal = 0.75\nhit_vs_tank = 1.5\nammunition = 12345\n"
                                   "warhead = EXPLOSIVE\ndamage = 2.5\ntracking_speed = 0.35\n"
                                   "fire_interval = 1500\nissniper = 1\n");
  gun->dataItems = {{"effective_vs_armor", MDI_PERCENTAGE, 1.0f},
                    {"effective_vs_shield", MDI_PERCENTAGE, 1.0f},
                    {"effective_vs_internal", MDI_PERCENTAGE, 1.0f},
                    {"hit_vs_tank", MDI_PERCENTAGE, 1.0f},
                    {"ammunition", MDI_INTEGER, 1.0f},
                    {"warhead", MDI_STRING, 1.0f},
                    {"damage", MDI_DECIMAL, 1.0f},
                    {"tracking_speed", MDI_PERCENTAGE, 1.0f},
                    {"fire_interval", MDI_DECIMAL_MULT, 0.001f},
                    {"issniper", MDI_BOOL, 1.0f},
                    {"max_range", MDI_DECIMAL, 1.0f}};
  GUI_BS_UnlockDetails details(nullptr);
  details.SetRect(100, 100, 500, 400);
  details.Fill(gun);
  struct Row {
    const char* label;
    const char* value;
  } expected[] = {
      // effective_vs_armor at exactly 1.0 shows nothing; max_range is not in the data.
      {"Against Shields", "+25%"}, {"Against Hulls", "-25%"}, {"Accuracy vs Tanks", "+50%"},
      {"Ammunition", "12,345"},    {"Warhead", "Explosive"},  {"Damage", "2.50"},
      {"Turret Tracking", "35%"},  {"Reload Time (s)", ""},   {"Sniper", ""},
  };
  ASSERT_EQ(details.strips.size(), std::size(expected));
  for (size_t i = 0; i < details.strips.size(); ++i) {
    SCOPED_TRACE(expected[i].label);
    EXPECT_EQ(details.strips[i]->label, expected[i].label);
    EXPECT_EQ(details.strips[i]->value, expected[i].value);
  }
  // The designer's strip type, through the game's wiring.
  EXPECT_NE(dynamic_cast<GUI_DataStrip*>(details.strips[0]), nullptr);
}

TEST_F(UnlockDialogTest, ItemsWithoutAModuleShowNoStrips) {
  SIM_Unlockable ghost;
  ghost.Set("no_such_module_anywhere", "Ghost Gun", SIM_Unlockable::KIND_MODULE);
  SIM_Unlockable hull;
  hull.Set("some_hull", "Some Hull", SIM_Unlockable::KIND_HULL);
  for (SIM_Unlockable* item : {&ghost, &hull}) {
    SCOPED_TRACE(item->GetName());
    GUI_BS_UnlockDetails details(item);
    details.SetRect(0, 0, 300, 200);
    details.Fill();
    EXPECT_TRUE(details.strips.empty());
    EXPECT_EQ(details.moduleType, nullptr);
    EXPECT_EQ(details.scroll->Maximum(), 0);
    details.OnWheelDown();  // nothing to scroll: no crash, no move
    EXPECT_EQ(details.scroll->Position(), 0);
  }
  CloseDebugFiles();
  EXPECT_NE(zt_test::ReadText(zt_test::ErrorLogPath()).find("no_such_module_anywhere"), std::string::npos);
}

TEST_F(UnlockDialogTest, AHullOnOfferSaysWhatItIsInsteadOfAnEmptyTable) {
  LoadStringsTable();
  SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
  catalogue.EnsureLoaded();
  SIM_Unlockable* warden = nullptr;
  for (SIM_Unlockable* u : catalogue.Choices())
    if (u->GetName() == "mech_warden") warden = u;
  ASSERT_NE(warden, nullptr);
  ASSERT_EQ(warden->GetNumber(), SIM_Unlockable::KIND_HULL);
  GUI_BS_UnlockDetails details(warden);
  details.SetRect(0, 0, 300, 200);
  details.Fill();
  EXPECT_TRUE(details.strips.empty());
  EXPECT_EQ(details.note, GetTranslation("HULLDESC_MECH_WARDEN"));
  EXPECT_FALSE(details.note.empty());
  EXPECT_FALSE(details.scroll->visible) << "no table, no scroll bar beside it";
  // A module keeps its table and its bar.
  SIM_Unlockable* module = nullptr;
  for (SIM_Unlockable* u : catalogue.Free())
    if (u->GetNumber() == SIM_Unlockable::KIND_MODULE) module = u;
  ASSERT_NE(module, nullptr);
  GUI_BS_UnlockDetails stats(module);
  stats.SetRect(0, 0, 300, 200);
  stats.Fill();
  EXPECT_FALSE(stats.strips.empty());
  EXPECT_TRUE(stats.note.empty());
  EXPECT_TRUE(stats.scroll->visible);
}

TEST_F(UnlockDialogTest, StripsScrollOneLineAWheelStepWithinTheirRange) {
  Catalogue cat;
  std::string data;
  std::vector<ModuleDataItem> items;
  for (int i = 0; i < 12; ++i) {
    data += "stat" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    items.push_back({"stat" + std::to_string(i), MDI_INTEGER, 1.0f});
  }
  SIM_ModuleType* m = cat.Module("many", "SIM_SupplyComponent", data);
  m->dataItems = items;
  struct Case {
    int height;
    int visible;  // rows whose top is at most bottom - 30
  } cases[] = {{100, 4}, {140, 6}, {400, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    GUI_BS_UnlockDetails details(nullptr);
    details.SetRect(0, 0, 300, static_cast<float>(c.height));
    details.Fill(m);
    EXPECT_EQ(details.scroll->Maximum(), 12 - c.visible);
    EXPECT_FLOAT_EQ(details.scroll->Total(), 12.0f);
    EXPECT_FLOAT_EQ(details.scroll->Visible(), static_cast<float>(c.visible));
    details.OnWheelDown();
    const int expect = c.visible < 12 ? 1 : 0;
    EXPECT_EQ(details.scroll->Position(), expect);
    ASSERT_FALSE(details.ChildWindows().empty());
    // The first strip shown follows the position; strips are 18 high every 20.
    const auto& kids = details.ChildWindows();
    auto firstStrip = std::find_if(kids.begin(), kids.end(), [](GUI_WindowBase* w) {
      return dynamic_cast<GUI_DataStrip*>(w) != nullptr;
    });
    ASSERT_NE(firstStrip, kids.end());
    EXPECT_EQ(*firstStrip, details.strips[static_cast<size_t>(expect)]);
    EXPECT_EQ((*firstStrip)->top, 0);
    EXPECT_EQ((*firstStrip)->bottom, 18);
    for (int i = 0; i < 20; ++i) details.OnWheelDown();
    EXPECT_EQ(details.scroll->Position(), 12 - c.visible);
    details.OnWheelUp();
    EXPECT_EQ(details.scroll->Position(), std::max(0, 12 - c.visible - 1));
  }
}

}  // namespace
