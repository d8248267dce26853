// The battle screen's own start and input, driven as the game drives it: the scenario's
// battle music, the defender's tutorial pages, the right click that reaches a building's
// menu, and the Escape chain through the design loader and the statistics dialog.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/StatsDialog.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitSceneFixture.h"
#include "engine/InputManager.h"
#include "gui/ConfirmDialog.h"
#include "gui/WindowOrder.h"
#include "simdata/Scenario.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"
#include "unitdesign/UnitDesigner.h"

namespace {

using namespace battlescreen_test;

class BattleScreenStartTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
    GetTutorial().Load();
  }
  void TearDown() override {
    GUI_TutorialWindow::CloseAll();
    CloseRCMenu();
    zt_test::NullDeviceTest::TearDown();
  }
  // The screen position of a unit at the current camera.
  static void MouseOver(const SIM_BattleUnit* u) {
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    GUI_InputManager& in = GetInputManager();
    in.x = static_cast<int>((u->x - map.viewLeft) * map.zoom);
    in.y = static_cast<int>((u->y - map.viewTop) * map.zoom);
  }
  bool Played(const std::string& file) const {
    for (const auto& kv : fake->sounds)
      if (kv.second.file == file) return true;
    return false;
  }
  FakeSoundEngine* fake = nullptr;
};

TEST_F(BattleScreenStartTest, TheScenariosBattleMusicPlaysWhenTheScreenStarts) {
  SIM_Scenario* scenario = StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  ASSERT_EQ(scenario->music, "ztk_battle1.ogg");
  EXPECT_EQ(GetSounds().CurrentMusicName(), "battles/ztk_battle1.ogg");
  EXPECT_TRUE(Played("data/sounds/music/battles/ztk_battle1.ogg"));
  // Quitting to the browser goes back to the menu music.
  GUI_BattleScreen::OnQuitConfirmed(0);
  EXPECT_EQ(GetSounds().CurrentMusicName(), "ztk_menus.ogg");
}

TEST_F(BattleScreenStartTest, ADefenderIsShownTheDeploymentPagesAnAttackerIsNot) {
  for (const bool defends : {false, true}) {
    SCOPED_TRACE(defends ? "defending" : "attacking");
    SIM_Scenario* scenario = SIM_ScenarioManager::Get().Find("river_fords");
    ASSERT_NE(scenario, nullptr);
    BattleHooks& hooks = GetBattleHooks();
    hooks.beginBattleLoad = nullptr;
    hooks.finishLoading = nullptr;
    hooks.setLoadingProgress = nullptr;
    SIM_Battle& battle = GetBattle();
    battle.playerDefends = defends;
    battle.aiUnitSource = AI_UNITS_NONE;
    battle.scenario = scenario;
    battle.Start();
    EXPECT_EQ(GetTutorial().IsSeen("BATTLE_DEFEND1"), defends);
    EXPECT_EQ(GUI_TutorialWindow::OpenWindows().empty(), !defends);
  }
}

TEST_F(BattleScreenStartTest, ARightClickOnAFinishedOwnBuildingOpensItsMenu) {
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = 1.0f;
  map.cameraX = 1150.0f;
  map.cameraY = 600.0f;
  map.UpdateViewRect();
  SIM_BattleUnit* tower = scene.player[2];
  SIM_BattleUnit* enemyTower = scene.enemy[2];
  ASSERT_NE(tower, nullptr);
  ASSERT_NE(enemyTower, nullptr);
  GUI_BattleScreen& screen = GetBattleScreen();
  struct Case {
    const char* what;
    SIM_BattleUnit* unit;
    int state;
    bool opens;
  } cases[] = {
      {"own building, finished", tower, US_ACTIVE, true},
      {"own building being built", tower, US_UNDER_CONSTRUCTION, false},
      {"own building being taken down", tower, US_DEMOLISHING, false},
      {"the enemy's building", enemyTower, US_ACTIVE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseRCMenu();
    GetWindowOrder().FlushDeleted();
    c.unit->state = c.state;
    MouseOver(c.unit);
    screen.OnRightDown();
    EXPECT_EQ(GetOpenRCMenu() != nullptr, c.opens);
    if (c.opens) EXPECT_EQ(GetOpenRCMenu()->building, c.unit);
    c.unit->state = US_ACTIVE;
  }
}

TEST_F(BattleScreenStartTest, EscapeClosesTheDesignLoaderThenTheStatisticsBeforeAskingToQuit) {
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  GUI_BattleScreen& screen = GetBattleScreen();
  new GUI_BS_Stats();
  new GUI_UD_DesignLoader({"*.txt"});
  ASSERT_NE(GetOpenStatsDialog(), nullptr);
  ASSERT_NE(GetUDDesignLoader(), nullptr);
  screen.OnKeyDown(GUI_BattleScreen::kKeyEscape);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetUDDesignLoader(), nullptr);
  EXPECT_NE(GetOpenStatsDialog(), nullptr) << "one thing closes per press";
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  screen.OnKeyDown(GUI_BattleScreen::kKeyEscape);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetOpenStatsDialog(), nullptr);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  screen.OnKeyDown(GUI_BattleScreen::kKeyEscape);
  EXPECT_NE(OpenConfirmDialog(), nullptr) << "nothing left open: the quit question";
}

}  // namespace
