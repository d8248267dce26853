// The battle camera and the screen's controls on the null device: zoom limits from the
// map's size, clamping of the view, edge and key scrolling, zoom toward the mouse, the
// game speed steps and the quit question.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "app/Game.h"
#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "engine/InputManager.h"
#include "gui/ConfirmDialog.h"
#include "gui/WindowOrder.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"

namespace {

// A grass map of the given squares; every square links on to the next.
std::unique_ptr<SIM_Scenario> GrassMap(int cols, int rows) {
  auto s = std::make_unique<SIM_Scenario>();
  s->maxCols = cols;
  s->maxRows = rows;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      auto sq = std::make_unique<SIM_MapSquare>();
      const int n = r * cols + c;
      sq->Read(std::to_string(n) + ",\"" + std::to_string(n + 1) + ",\",0,0,grass,,,", c, r);
      s->squaresByNumber.push_back(sq.get());
      s->grid.push_back(std::move(sq));
    }
  return s;
}

class BattleCameraTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    GUI_BS_Map::SetKeyQuery([this](int key) { return key == heldKey; });
    Game::IsActive = true;
    Mouse(512, 384);
  }
  void TearDown() override {
    GUI_BS_Map::SetKeyQuery(nullptr);
    zt_test::NullDeviceTest::TearDown();
  }
  void Mouse(float x, float y) {
    GetInputManager().x = x;
    GetInputManager().y = y;
  }
  GUI_BS_Map& Map(int cols, int rows) {
    scenario = GrassMap(cols, rows);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.Init(scenario.get());
    return map;
  }
  std::unique_ptr<SIM_Scenario> scenario;
  int heldKey = 0;
};

TEST_F(BattleCameraTest, ZoomLimitsFollowTheMapsSize) {
  struct Case {
    int cols, rows;
    float minZoom, startZoom;
  } cases[] = {
      {20, 10, 1024.0f / 4000.0f, 1024.0f / 4000.0f},  // the screen width over the larger side
      {10, 20, 1024.0f / 4000.0f, 1024.0f / 4000.0f},
      {12, 9, 1024.0f / 2400.0f, 1024.0f / 2400.0f},
      {4, 3, 1024.0f / 800.0f, 1.0f},  // smaller than the screen: starts at 1.0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cols) + "x" + std::to_string(c.rows));
    GUI_BS_Map& map = Map(c.cols, c.rows);
    EXPECT_FLOAT_EQ(map.minZoom, c.minZoom);
    EXPECT_FLOAT_EQ(map.zoom, c.startZoom);
    EXPECT_FLOAT_EQ(map.maxZoom, 4.0f);
    EXPECT_EQ(map.tiles.size(), static_cast<size_t>(c.cols * c.rows));
    EXPECT_EQ(map.edgeTiles.size(), static_cast<size_t>(4 * c.cols));
  }
}

TEST_F(BattleCameraTest, ZoomStepsStopAtTheLimits) {
  GUI_BS_Map& map = Map(20, 10);
  for (int i = 0; i < 60; ++i) map.ZoomIn();
  EXPECT_FLOAT_EQ(map.targetZoom, 4.0f);
  map.ZoomIn();
  EXPECT_FLOAT_EQ(map.targetZoom, 4.0f);
  for (int i = 0; i < 60; ++i) map.ZoomOut();
  EXPECT_FLOAT_EQ(map.targetZoom, map.minZoom);
  // A map smaller than the screen: the first step out clamps up to the smallest zoom.
  GUI_BS_Map& small = Map(4, 3);
  small.ZoomOut();
  EXPECT_FLOAT_EQ(small.targetZoom, small.minZoom);
}

TEST_F(BattleCameraTest, TheViewStaysOnTheMapWithAVerticalMargin) {
  // Wherever the camera is pushed, x never shows below 0 or past the map; y may show
  // up to 400 beyond the top and bottom edges (the top margin shrinks as the zoom grows).
  struct Case {
    float zoom, centreX, centreY;
    float left, top;
  } cases[] = {
      {1.0f, -5000.0f, -5000.0f, 0.0f, -400.0f},
      {1.0f, 99999.0f, 99999.0f, 4000.0f - 1024.0f, 2000.0f + 400.0f - 768.0f},
      {2.0f, -5000.0f, -5000.0f, 0.0f, (384.0f - 400.0f) / 2.0f - 192.0f},
      {2.0f, 99999.0f, 99999.0f, 4000.0f - 512.0f, 2000.0f + 400.0f - 384.0f},
      {4.0f, 2000.0f, 1000.0f, 2000.0f - 128.0f, 1000.0f - 96.0f},
  };
  GUI_BS_Map& map = Map(20, 10);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.zoom) + " " + std::to_string(c.centreX));
    map.zoom = map.targetZoom = c.zoom;
    map.centreX = c.centreX;
    map.centreY = c.centreY;
    map.UpdateCamera();
    EXPECT_FLOAT_EQ(map.viewLeft, c.left);
    EXPECT_FLOAT_EQ(map.viewTop, c.top);
    EXPECT_FLOAT_EQ(map.viewRight - map.viewLeft, 1024.0f / c.zoom);
    // World to screen and back.
    EXPECT_FLOAT_EQ((map.cameraX - map.viewLeft) * map.zoom, 512.0f);
  }
}

TEST_F(BattleCameraTest, ScreenEdgesAndKeysScroll) {
  GUI_BS_Map& map = Map(20, 10);
  map.zoom = map.targetZoom = 2.0f;
  const float step = map.scrollSpeed / 2.0f;
  ASSERT_GT(step, 0.0f);
  struct Case {
    float mx, my;
    int key;
    float dx, dy;
  } cases[] = {
      {11, 384, 0, -step, 0},    {12, 384, 0, 0, 0},      {1012, 384, 0, 0, 0},      {1013, 384, 0, step, 0},
      {512, 5, 0, 0, -step},     {512, 760, 0, 0, step},  {512, 384, 'A', -step, 0}, {512, 384, 39, step, 0},
      {512, 384, 'W', 0, -step}, {512, 384, 40, 0, step},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mx) + "," + std::to_string(c.my) + " key " + std::to_string(c.key));
    map.centreX = 2000.0f;
    map.centreY = 1000.0f;
    Mouse(c.mx, c.my);
    heldKey = c.key;
    map.UpdateCamera();
    EXPECT_FLOAT_EQ(map.centreX, 2000.0f + c.dx);
    EXPECT_FLOAT_EQ(map.centreY, 1000.0f + c.dy);
    EXPECT_EQ(map.scrolledThisFrame, c.dx != 0 || c.dy != 0);
  }
  // No edge scroll while the left button is held (a drag) or the window is inactive.
  Mouse(2, 384);
  heldKey = 0;
  GetInputManager().leftHeld = true;
  map.centreX = 2000.0f;
  map.UpdateCamera();
  EXPECT_FLOAT_EQ(map.centreX, 2000.0f);
  GetInputManager().leftHeld = false;
  Game::IsActive = false;
  map.UpdateCamera();
  EXPECT_FLOAT_EQ(map.centreX, 2000.0f);
  Game::IsActive = true;
}

TEST_F(BattleCameraTest, ZoomKeepsTheWorldPointUnderTheMouse) {
  GUI_BS_Map& map = Map(20, 10);
  map.zoom = map.targetZoom = 1.0f;
  map.centreX = 2000.0f;
  map.centreY = 1000.0f;
  Mouse(700, 300);
  map.UpdateCamera();
  const float wx = 700.0f / map.zoom + map.viewLeft, wy = 300.0f / map.zoom + map.viewTop;
  // One wheel step a frame, in and back out.
  for (int i = 0; i < 10; ++i) {
    if (i < 5)
      map.ZoomIn();
    else
      map.ZoomOut();
    map.UpdateCamera();
    EXPECT_NEAR(map.zoom, i < 5 ? 1.1f + 0.1f * i : 1.4f - 0.1f * (i - 5), 1e-5);
    EXPECT_NEAR(700.0f / map.zoom + map.viewLeft, wx, 1e-2);
    EXPECT_NEAR(300.0f / map.zoom + map.viewTop, wy, 1e-2);
  }
}

TEST_F(BattleCameraTest, TheDragMovesTheMapWithTheMouseUntilRelease) {
  GUI_BS_Map& map = Map(20, 10);
  map.zoom = map.targetZoom = 1.0f;
  map.centreX = 2000.0f;
  map.centreY = 1000.0f;
  map.UpdateCamera();
  GetInputManager().leftHeld = true;
  EXPECT_TRUE(map.OnMousePress());
  Mouse(412, 334);  // dragged 100 left and 50 up: the camera moves right and down
  map.UpdateCamera();
  EXPECT_FLOAT_EQ(map.centreX, 2100.0f);
  EXPECT_FLOAT_EQ(map.centreY, 1050.0f);
  EXPECT_TRUE(map.dragging);
  GetInputManager().leftHeld = false;
  map.UpdateCamera();
  EXPECT_FALSE(map.dragging);
}

TEST_F(BattleCameraTest, SquareUnderMouseNeedsARouteSquareOnTheMap) {
  GUI_BS_Map& map = Map(20, 10);
  map.zoom = map.targetZoom = 1.0f;
  map.centreX = 512.0f;
  map.centreY = 384.0f;
  map.UpdateCamera();
  Mouse(250, 250);  // world (250, 250): column 1, row 1
  SIM_MapSquare* sq = map.SquareUnderMouse();
  ASSERT_NE(sq, nullptr);
  EXPECT_EQ(sq->number, 21);
  sq->links.clear();
  EXPECT_EQ(map.SquareUnderMouse(), nullptr) << "a square without route links takes no orders";
  map.centreY = -100.0f;  // the view shows the margin above the map
  map.UpdateCamera();
  Mouse(250, 50);
  EXPECT_LT(50.0f / map.zoom + map.viewTop, 0.0f);
  EXPECT_EQ(map.SquareUnderMouse(), nullptr) << "above the map is no square";
}

class BattleScreenModeTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    ASSERT_NE(battlescreen_test::StartShippedBattle("border_crossing"), nullptr);
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
  }
  GUI_BattleScreen* screen = nullptr;
};

TEST_F(BattleScreenModeTest, SpeedStepsRunFromPointTwoToFour) {
  SIM_Battle& battle = GetBattle();
  screen->StartFighting();
  EXPECT_FLOAT_EQ(battle.speed, 1.0f);
  const float up[] = {1.2f, 1.4f, 1.6f, 1.8f, 2.0f, 2.2f, 2.4f, 2.6f, 2.8f,
                      3.0f, 3.2f, 3.4f, 3.6f, 3.8f, 4.0f, 4.0f, 4.0f};
  for (float expected : up) {
    screen->OnKeyDown(GUI_BattleScreen::kKeyPadPlus);
    EXPECT_FLOAT_EQ(battle.speed, expected);
  }
  for (int i = 0; i < 30; ++i) screen->SlowDown();
  EXPECT_FLOAT_EQ(battle.speed, 0.2f);
  // Ten steps down from 1.0 end exactly at the bottom, whatever the rounding on the way.
  battle.SetSpeed(1.0f);
  for (int i = 0; i < 10; ++i) screen->OnKeyDown(GUI_BattleScreen::kKeyPadMinus);
  EXPECT_FLOAT_EQ(battle.speed, 0.2f);
  // Pausing leaves the speed alone; Q while running changes nothing.
  screen->OnChar('p');
  EXPECT_TRUE(battle.paused);
  EXPECT_FLOAT_EQ(battle.speed, 0.2f);
  screen->OnChar('Q');
  EXPECT_TRUE(battle.paused);
}

TEST_F(BattleScreenModeTest, ShortcutsActOnTheBattleAndTheView) {
  SIM_Battle& battle = GetBattle();
  // F before the fight does nothing; Q starts it, unpaused at speed 1.
  screen->OnChar('f');
  EXPECT_FALSE(battle.stepOnce);
  screen->OnChar('q');
  EXPECT_EQ(battle.state, BATTLE_RUNNING);
  EXPECT_EQ(screen->fightingFrames, 0);
  // P pauses, F runs exactly one frame and pauses again.
  screen->OnChar('P');
  ASSERT_TRUE(battle.paused);
  const float clock = battle.battleClock;
  screen->OnChar('F');
  screen->Draw();
  EXPECT_FLOAT_EQ(battle.battleClock, clock + 16.0f);
  EXPECT_TRUE(battle.paused);
  screen->Draw();
  EXPECT_FLOAT_EQ(battle.battleClock, clock + 16.0f);
  // Flags, both cases; M is not stored, H is.
  BattleViewFlags& flags = GetBattleViewFlags();
  const bool minimap = flags.showMinimap, health = flags.showHealth, hud = flags.showHud;
  screen->OnChar('m');
  EXPECT_NE(flags.showMinimap, minimap);
  screen->OnChar('M');
  EXPECT_EQ(flags.showMinimap, minimap);
  screen->OnChar('h');
  EXPECT_NE(flags.showHealth, health);
  EXPECT_EQ(SIM_Options::Get().IsOn("OPTIONS_SHOW_HEALTH"), !health);
  screen->OnChar('u');
  EXPECT_NE(flags.showHud, hud);
  // Shift with keypad plus zooms instead of changing the speed (no Shift here: speed).
  const float speed = battle.speed;
  screen->OnKeyDown(GUI_BattleScreen::kKeyPadPlus);
  EXPECT_GT(battle.speed, speed);
}

TEST_F(BattleScreenModeTest, QuitQuestionReturnsToTheBrowser) {
  screen->OnKeyDown(GUI_BattleScreen::kKeyEscape);
  GUI_ConfirmDialog* dialog = OpenConfirmDialog();
  ASSERT_NE(dialog, nullptr);
  // A second Escape while the question is open asks again (one dialog only).
  screen->OnKeyDown(GUI_BattleScreen::kKeyEscape);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  // Once the battle is over Escape asks nothing.
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  GetBattle().state = BATTLE_OVER;
  screen->OnKeyDown(GUI_BattleScreen::kKeyEscape);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
}

TEST_F(BattleScreenModeTest, TheWheelZoomsOutUnlessInverted) {
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.targetZoom = 2.0f;
  SIM_Options::Get().SetFloat("INVERTZOOM", 0.0f);
  screen->OnWheelUp();
  EXPECT_NEAR(map.targetZoom, 1.9f, 1e-5);
  SIM_Options::Get().SetFloat("INVERTZOOM", 1.0f);
  screen->OnWheelUp();
  EXPECT_NEAR(map.targetZoom, 2.0f, 1e-5);
}

}  // namespace
