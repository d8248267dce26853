// The minimap, the unit inspector, the building menu, the selection box, mid-battle
// messages and battle hints on a shipped map, driven through the battle screen with a
// fake cursor on the null device.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BattleMessages.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/DivisionManager.h"
#include "battlehud/MiniMap.h"
#include "battlehud/SelectionBox.h"
#include "battlehud/UnitInspector.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/DeviceResetSeam.h"
#include "battlescreen/UnitSceneFixture.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "support/NullDeviceFixture.h"
#include "support/TestFiles.h"

namespace {

using namespace battlescreen_test;

int64_t g_clockNs = 0;
int64_t FakeClock() { return g_clockNs; }

class HudPanelsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    LoadStringsTable();
    GetBattleViewFlags() = BattleViewFlags();
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    scene = PlaceBothSides(1150.0f, 600.0f);
    for (SIM_BattleUnit* u : scene.player) ASSERT_NE(u, nullptr);
    for (SIM_BattleUnit* u : scene.enemy) ASSERT_NE(u, nullptr);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 1.0f;
    map.centreX = map.cameraX = 1150.0f;
    map.centreY = map.cameraY = 600.0f;
    map.UpdateViewRect();
    // The minimap takes the units placed above.
    OpenMiniMap();
    mini = GetMiniMap();
    ASSERT_NE(mini, nullptr);
  }
  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    SetClockSource(nullptr);
    SDL_SetModState(KMOD_NONE);
    NullDeviceTest::TearDown();
  }
  // One input poll with the pointer at (x, y) and the left button as given.
  static void Pointer(float x, float y, bool held = false) {
    GUI_InputManager::SetCursorReader([x, y](float& ox, float& oy) {
      ox = x;
      oy = y;
    });
    GUI_InputManager& in = GetInputManager();
    in.Poll();
    in.x = x;
    in.y = y;
    in.leftHeld = held;
  }
  static void Press(float x, float y) {
    Pointer(x, y, true);
    GetBattleScreen().OnLeftDown();
  }
  const MiniMapMarker* Drawn(const SIM_BattleUnit* u) const {
    for (const MiniMapMarker* m : mini->drawnMarkers)
      if (m->unit == u) return m;
    return nullptr;
  }
  UnitScene scene;
  GUI_BS_MiniMap* mini = nullptr;
};

TEST_F(HudPanelsTest, MarkersSitOnTheUnitsInTheirColoursAndEnemiesWaitForTheFight) {
  ASSERT_EQ(GetBattle().state, BATTLE_DEPLOYMENT);
  mini->Draw();
  for (SIM_BattleUnit* u : scene.player) {
    const MiniMapMarker* m = Drawn(u);
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->x, mini->areaLeft + u->x * mini->scaleX, 0.01f);
    EXPECT_NEAR(m->y, mini->areaTop + u->y * mini->scaleY, 0.01f);
    EXPECT_GE(m->halfSize, 1.0f);
  }
  for (SIM_BattleUnit* u : scene.enemy) EXPECT_EQ(Drawn(u), nullptr) << "enemy shown while deploying";
  GetBattleScreen().StartFighting();
  ASSERT_EQ(GetBattle().state, BATTLE_RUNNING);
  struct Case {
    SIM_BattleUnit* unit;
    int state;
    uint32_t colour;
  } cases[] = {
      {scene.player[0], US_ACTIVE, 0xA0E9E9E9u},
      {scene.enemy[0], US_ACTIVE, 0xA0E4B502u},
      {scene.player[2], US_UNDER_CONSTRUCTION, 0xA020E920u},
      {scene.enemy[2], US_DEMOLISHING, 0xA0E92020u},
  };
  for (const Case& c : cases) c.unit->state = c.state;
  for (int frame = 0; frame < 4; ++frame) mini->Draw();
  for (const Case& c : cases) {
    const MiniMapMarker* m = Drawn(c.unit);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->colour, c.colour) << c.unit->design->name;
  }
}

TEST_F(HudPanelsTest, AMovingUnitsMarkerFollowsWithinFourFrames) {
  mini->Draw();
  SIM_BattleUnit* u = scene.player[0];
  u->x += 400.0f;
  u->y -= 200.0f;
  for (int frame = 0; frame < 4; ++frame) mini->Draw();
  const MiniMapMarker* m = Drawn(u);
  ASSERT_NE(m, nullptr);
  EXPECT_NEAR(m->x, mini->areaLeft + u->x * mini->scaleX, 0.01f);
  EXPECT_NEAR(m->y, mini->areaTop + u->y * mini->scaleY, 0.01f);
  // Off the map: no marker drawn.
  u->x = -50.0f;
  for (int frame = 0; frame < 4; ++frame) mini->Draw();
  EXPECT_EQ(Drawn(u), nullptr);
}

TEST_F(HudPanelsTest, OneMarkerPerUnitAndTheDyingLetGo) {
  const size_t before = mini->MarkerCount();
  BattleHooks& hooks = GetBattleHooks();
  // The dropper and the army both announce a dropped unit.
  hooks.announceUnit(scene.player[0]);
  hooks.announceUnit(scene.player[0]);
  EXPECT_EQ(mini->MarkerCount(), before);
  for (int state : {US_INACTIVE, US_DESTROYED, US_GONE}) {
    SIM_BattleUnit* u = scene.player[0];
    u->state = US_ACTIVE;
    hooks.announceUnit(u);
    ASSERT_NE(mini->MarkerOf(u), nullptr);
    u->state = state;
    mini->Draw();
    EXPECT_EQ(mini->MarkerOf(u), nullptr) << state;
    // A unit already destroyed or gone gets none.
    hooks.announceUnit(u);
    EXPECT_EQ(mini->MarkerOf(u) != nullptr, state == US_INACTIVE) << state;
    mini->RemoveUnit(u);
  }
  // A deleted unit's visual takes its marker with it.
  SIM_BattleUnit* gone = scene.enemy[0];
  ASSERT_NE(mini->MarkerOf(gone), nullptr);
  GetBattle().opponentArmy->allUnits.remove(gone);
  delete gone;
  EXPECT_EQ(mini->MarkerOf(gone), nullptr);
  mini->Draw();
}

// Draws made into the backdrop's target, and draws that show it.
struct BackdropDraws {
  std::vector<const platform::DrawRecord*> into;
  int showing = 0;
};
// The screen rectangle a draw's vertices span (left, top, right, bottom).
std::array<float, 4> Extent(const platform::DrawRecord& r) {
  std::array<float, 4> e{1e9f, 1e9f, -1e9f, -1e9f};
  for (int i = 0; i < r.vertexCount; ++i) {
    float xy[2];
    std::memcpy(xy, r.vertices.data() + size_t(i) * r.stride, sizeof xy);
    e[0] = std::min(e[0], xy[0]), e[1] = std::min(e[1], xy[1]);
    e[2] = std::max(e[2], xy[0]), e[3] = std::max(e[3], xy[1]);
  }
  return e;
}
BackdropDraws CountBackdropDraws(const platform::NullDevice& dev, const platform::Texture* target) {
  BackdropDraws d;
  for (const platform::DrawRecord& r : dev.draws) {
    if (r.renderTarget == target) d.into.push_back(&r);
    if (r.textures[0] == target) ++d.showing;
  }
  return d;
}

TEST_F(HudPanelsTest, TheBackdropIsDrawnOnceThenShownAsOneQuadUntilADeviceReset) {
  dev().ClearRecord();
  mini->Draw();
  GTexture9* rt = engine().FindNamedTexture(GUI_BS_MiniMap::kBackdropTarget);
  ASSERT_NE(rt, nullptr);
  ASSERT_TRUE(rt->Get() && rt->Get()->IsRenderTarget());
  const platform::Texture* target = rt->Get();
  const size_t firstFrame = dev().draws.size();
  BackdropDraws first = CountBackdropDraws(dev(), target);
  ASSERT_GE(first.into.size(), 2u) << "the ground and the route squares";
  EXPECT_EQ(first.showing, 1);
  EXPECT_TRUE(mini->backdropRendered);
  // The ground fills the whole target on both axes, whatever the map's proportions, so the
  // picture lines up with the markers.
  ASSERT_NE(mini->mapWidth, mini->mapHeight) << "a square map would not show a stretched picture";
  const float size = GUI_BS_MiniMap::kBackdropSize;
  const std::array<float, 4> wanted{-0.5f, -0.5f, size - 0.5f, size - 0.5f};
  const std::array<float, 4> ground = Extent(*first.into.front());
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(ground[i], wanted[i], 0.01f) << i;
  // Later frames draw nothing into the target and show it with one quad.
  for (int frame = 0; frame < 3; ++frame) {
    dev().ClearRecord();
    mini->Draw();
    const BackdropDraws later = CountBackdropDraws(dev(), target);
    EXPECT_TRUE(later.into.empty()) << frame;
    EXPECT_EQ(later.showing, 1) << frame;
    EXPECT_EQ(dev().draws.size(), firstFrame - first.into.size()) << frame;
  }
  // A device reset: the battle screen's next draw renders the lost picture again, once.
  FlagBattleScreenDeviceRebuilt();
  for (int frame = 0; frame < 2; ++frame) {
    dev().ClearRecord();
    engine().BeginScene();
    GetBattleScreen().Draw();
    engine().EndScene();
    const BackdropDraws after = CountBackdropDraws(dev(), target);
    EXPECT_EQ(after.into.size(), frame == 0 ? first.into.size() : 0u) << frame;
    EXPECT_EQ(after.showing, 1) << frame;
  }
  EXPECT_FALSE(BattleScreenDeviceRebuiltFlag());
}

TEST_F(HudPanelsTest, ABackdropTargetThatCannotBeDrawnIntoIsLoggedAndThePictureDrawnStraight) {
  // A texture of the target's name that is no render target: switching to it fails.
  engine().DeleteTexture(GUI_BS_MiniMap::kBackdropTarget);
  engine().AddTexture(std::make_unique<GTexture9>(GUI_BS_MiniMap::kBackdropTarget));
  for (int frame = 0; frame < 2; ++frame) {
    dev().ClearRecord();
    mini->Draw();
    const std::array<float, 4> picture{mini->areaLeft - 0.5f, mini->areaTop - 0.5f, mini->areaRight - 0.5f,
                                       mini->areaBottom - 0.5f};
    int ground = 0;
    for (const platform::DrawRecord& r : dev().draws) {
      EXPECT_EQ(r.renderTarget, nullptr) << frame;
      const std::array<float, 4> e = Extent(r);
      bool same = true;
      for (int i = 0; i < 4; ++i) same = same && std::abs(e[i] - picture[i]) < 0.01f;
      ground += same;
    }
    EXPECT_GE(ground, 1) << "the map picture is still drawn, frame " << frame;
  }
  const std::string errors = zt_test::ReadText(zt_test::ErrorLogPath());
  size_t count = 0;
  for (size_t at = errors.find("Failed to set render target"); at != std::string::npos;
       at = errors.find("Failed to set render target", at + 1))
    ++count;
  EXPECT_EQ(count, 1u) << "logged once, not every frame";
}

TEST_F(HudPanelsTest, ClicksThroughTheBattleScreen) {
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  mini->Draw();
  // The deployment and night-vision buttons lie over the picture's lower edge: a click
  // there is the button's, and the camera stays where it is.
  struct OverPicture {
    GUI_BS_MiniMap::Button button;
    bool (*on)();
  };
  const OverPicture overPicture[] = {
      {GUI_BS_MiniMap::kDeploy, [] { return GetMiniMap()->buttons[GUI_BS_MiniMap::kDeploy]->on; }},
      {GUI_BS_MiniMap::kNightVision, [] { return GUI_BS_LightmapManager::Instance().mode == 2; }},
  };
  GUI_BS_LightmapManager::Instance().mode = 1;  // a night to see through
  // On a map wider than high the picture reaches down behind the two buttons.
  SIM_Battle& battle = GetBattle();
  const float mapHeight = battle.mapHeight;
  battle.mapHeight = battle.mapWidth * 0.75f;
  OpenMiniMap();
  mini = GetMiniMap();
  mini->Draw();
  for (const OverPicture& c : overPicture) {
    SCOPED_TRACE(c.button);
    const GUI_ToggleButton* b = mini->buttons[c.button];
    const float bx = float(std::max(b->left, mini->areaLeft) + std::min(b->right, mini->areaRight)) / 2;
    const float by = float(b->bottom) - 2.0f;
    ASSERT_TRUE(bx >= mini->areaLeft && bx < mini->areaRight && by >= mini->areaTop && by < mini->areaBottom);
    const float camX = map.cameraX, camY = map.cameraY;
    const bool was = c.on();
    Press(bx, by);
    Pointer(bx, by, false);
    EXPECT_NE(c.on(), was);
    EXPECT_FLOAT_EQ(map.cameraX, camX);
    EXPECT_FLOAT_EQ(map.cameraY, camY);
    Press(bx, by);  // and back
    Pointer(bx, by, false);
    EXPECT_EQ(c.on(), was);
  }
  GUI_BS_LightmapManager::Instance().mode = 0;
  battle.mapHeight = mapHeight;
  OpenMiniMap();
  mini = GetMiniMap();
  mini->Draw();
  // A jump: the camera centres on the clicked point of the picture.
  const float jx = float(mini->areaLeft) + 20.0f,
              jy = float(mini->buttons[GUI_BS_MiniMap::kDeploy]->top) - 10.0f;
  ASSERT_FALSE(jx >= mini->camLeft && jx < mini->camRight && jy >= mini->camTop && jy < mini->camBottom);
  Press(jx, jy);
  map.UpdateViewRect();
  const float wantX = std::max((jx - mini->areaLeft) / mini->scaleX, 0.0f);
  EXPECT_NEAR(map.cameraX, std::max(wantX, map.cameraX), 1.0f);
  EXPECT_LT(map.cameraX, 1150.0f);
  EXPECT_FALSE(mini->dragging);
  // A drag: pressed inside the camera rectangle, it moves with the pointer, no jump.
  mini->Draw();
  const float cx = float(mini->camLeft + mini->camRight) / 2, cy = float(mini->camTop + mini->camBottom) / 2;
  const float beforeX = map.cameraX;
  Press(cx, cy);
  EXPECT_TRUE(mini->dragging);
  EXPECT_FLOAT_EQ(map.cameraX, beforeX);
  Pointer(cx + 10.0f, cy, true);
  mini->Draw();
  EXPECT_NEAR(map.cameraX, beforeX + 10.0f / mini->scaleX, 2.0f / mini->scaleX);
  Pointer(cx + 10.0f, cy, false);
  mini->Draw();
  EXPECT_FALSE(mini->dragging);

  // Empty ground away from the HUD: the map takes the press, the minimap does not.
  map.centreX = map.cameraX = 1150.0f;
  map.centreY = map.cameraY = 600.0f;
  map.UpdateViewRect();
  scene.player[0]->selected = true;
  Press(150.0f, 300.0f);
  EXPECT_FALSE(mini->dragging);
  EXPECT_FALSE(scene.player[0]->selected);
  Pointer(150.0f, 300.0f, false);
  map.dragging = false;

  // Shift-drag: a box over the player's units selects them, the enemy stays out.
  auto screenX = [&](float wx) { return (wx - map.viewLeft) * map.zoom; };
  auto screenY = [&](float wy) { return (wy - map.viewTop) * map.zoom; };
  SDL_SetModState(KMOD_SHIFT);
  Press(screenX(1150.0f - 150.0f), screenY(600.0f + 40.0f));
  SDL_SetModState(KMOD_NONE);
  ASSERT_TRUE(DragSelectBox::Instance().active);
  Pointer(screenX(1150.0f + 80.0f), screenY(600.0f + 120.0f), true);
  DragSelectBox::Instance().Draw();
  EXPECT_TRUE(DragSelectBox::Instance().active);
  Pointer(screenX(1150.0f + 80.0f), screenY(600.0f + 120.0f), false);
  DragSelectBox::Instance().Draw();
  EXPECT_FALSE(DragSelectBox::Instance().active);
  EXPECT_TRUE(scene.player[0]->selected);
  EXPECT_TRUE(scene.player[1]->selected);
  EXPECT_FALSE(scene.player[2]->selected);  // the tower lies outside the box
  for (SIM_BattleUnit* e : scene.enemy) EXPECT_FALSE(e->selected);

  // The division button over the strip's top edge, pressed above and below that edge,
  // opens the division manager.
  GUI_BS_Deployment* strip = GetOpenDeploymentWindow();
  ASSERT_NE(strip, nullptr);
  ASSERT_NE(strip->divisionButton, nullptr);
  const GUI_ButtonBase* division = strip->divisionButton;
  ASSERT_LT(division->top, strip->top);
  for (const float y : {float(division->top) + 3.0f, float(division->bottom) - 3.0f}) {
    SCOPED_TRACE(y);
    Press(float(division->left + division->right) / 2, y);
    Pointer(float(division->left + division->right) / 2, y, false);
    EXPECT_NE(GetOpenDivisionManager(), nullptr);
    CloseDivisionManager();
    GetWindowOrder().FlushDeleted();
  }

  // Deconstruct: the building menu's button takes the building down from the start.
  SIM_BattleUnit* tower = scene.player[2];
  tower->state = US_ACTIVE;
  tower->demolitionTimer = 123.0f;
  tower->selected = true;
  OpenRCMenu(tower);
  GUI_BS_RCMenu* menu = GetOpenRCMenu();
  ASSERT_NE(menu, nullptr);
  menu->Place();
  GUI_ButtonBase* button = menu->deconstructButton;
  Press(float(button->left + button->right) / 2, float(button->top + button->bottom) / 2);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(tower->state, US_DEMOLISHING);
  EXPECT_FLOAT_EQ(tower->demolitionTimer, 0.0f);
  EXPECT_FALSE(tower->selected);
  EXPECT_EQ(GetOpenRCMenu(), nullptr);
}

TEST_F(HudPanelsTest, DeconstructNeverRevivesADeadBuilding) {
  SIM_BattleUnit* tower = scene.player[2];
  for (int dead : {US_INACTIVE, US_DESTROYED, US_GONE}) {
    tower->state = US_ACTIVE;
    OpenRCMenu(tower);
    ASSERT_NE(GetOpenRCMenu(), nullptr);
    tower->state = dead;
    GUI_BS_RCMenu::OnDeconstruct(0);
    GetWindowOrder().FlushDeleted();
    EXPECT_EQ(tower->state, dead);
    // A menu whose building died closes itself at its next draw.
    tower->state = US_ACTIVE;
    OpenRCMenu(tower);
    tower->state = dead;
    GetOpenRCMenu()->Draw();
    EXPECT_EQ(GetOpenRCMenu(), nullptr);
    GetWindowOrder().FlushDeleted();
  }
}

TEST_F(HudPanelsTest, HoverShowsTooltipsAndTheHandCursor) {
  GUI_BS_UnitInspector::Open(scene.player[1]);
  GUI_BS_UnitInspector* ins = GetUnitInspector();
  ASSERT_NE(ins, nullptr);
  GUI_ToggleButton* pause = mini->buttons[GUI_BS_MiniMap::kPause];
  GUI_BS_InspectorModuleIcon* full = ins->icons[0];
  GUI_BS_InspectorModuleIcon* empty = ins->icons[GUI_BS_UnitInspector::kSlots - 1];
  ASSERT_NE(full->module, nullptr);
  ASSERT_EQ(empty->module, nullptr);
  struct Case {
    const char* what;
    const GUI_BaseElement* over;
    bool hand;
    GUI_Tooltip* tooltip;
    std::string text;
  } cases[] = {
      {"pause button", pause, true, pause->Tooltip(), GetTranslation("MINIMAP_TOGGLEPAUSE_TT")},
      {"module icon", full, true, full->tooltip.get(), full->module->moduleType->GetGuiName()},
      {"empty slot", empty, false, nullptr, ""},
      {"blueprint", ins->blueprint, true, ins->blueprint->tooltip.get(), scene.player[1]->design->guiName},
      {"shield bar", ins->bars[0], false, ins->bars[0]->tooltip.get(),
       GetTranslation("UNITINSPECTOR_SHIELD_TOOLTIP")},
  };
  for (const Case& c : cases) {
    GUI_Cursor::ResetShape();
    GUI_InputManager& in = GetInputManager();
    for (int i = 0; i < 40; ++i) {
      Pointer(float(c.over->left + c.over->right) / 2, float(c.over->top + c.over->bottom) / 2);
      in.stillCounter = 1000;
      GUI_Tooltip::ClearQueue();
      GUI_Cursor::ResetShape();
      GetWindowOrder().Process();
    }
    EXPECT_EQ(GUI_Cursor::Shape() == GUI_Cursor::kHand, c.hand) << c.what;
    EXPECT_EQ(empty->tooltip, nullptr);
    if (!c.tooltip) continue;
    EXPECT_GT(c.tooltip->alpha, 0.0f) << c.what;
    ASSERT_FALSE(c.tooltip->Lines().empty());
    EXPECT_EQ(c.tooltip->Lines().front(), c.text) << c.what;
    EXPECT_FALSE(c.text.empty()) << c.what;
  }
}

TEST_F(HudPanelsTest, MessagesFadeOnRealTimeAndGo) {
  struct Case {
    float t, alpha;
  } cases[] = {{0, 0},    {600, 0.2f}, {749, 749.0f / 3000}, {750, 1}, {2250, 1}, {2625, 0.5f},
               {3000, 0}, {3001, -1}};
  for (const Case& c : cases)
    EXPECT_NEAR(GUI_BS_MidBattleMessageManager::AlphaAt(c.t), c.alpha, 1e-4f) << c.t;
  g_clockNs = 1'000'000'000;
  SetClockSource(&FakeClock);
  GUI_BS_MidBattleMessageManager& mm = GUI_BS_MidBattleMessageManager::Instance();
  mm.Clear();
  GetBattleHooks().midBattleMessage("first");
  GetBattle().SetPaused(true);  // real time: pausing changes nothing
  g_clockNs += 1000 * 1'000'000LL;
  GetBattleHooks().midBattleMessage("second");
  mm.Update();
  ASSERT_EQ(mm.lastAlphas.size(), 2u);
  EXPECT_FLOAT_EQ(mm.lastAlphas.front(), 1.0f);
  g_clockNs += 2001 * 1'000'000LL;
  mm.Update();
  EXPECT_EQ(mm.Messages().size(), 1u);
  EXPECT_EQ(mm.Messages().front()->text, "second");
  g_clockNs += 1000 * 1'000'000LL;
  mm.Update();
  EXPECT_TRUE(mm.Messages().empty());
}

TEST_F(HudPanelsTest, HintsQueueUnseenPagesAndWaitFortySecondsBetween) {
  GUI_Tutorial& tutorial = GetTutorial();
  tutorial.Load();
  BattleHintQueue& q = BattleHintQueue::Instance();
  GUI_BS_HintWindow::QueueBattleHints();
  ASSERT_FALSE(q.pending.empty());
  EXPECT_EQ(q.pending.front(), "BATTLE_ROUTE_ORDERS");  // an attack by day
  EXPECT_EQ(q.pending.back(), "AIRSTRIKE_FRIENDLYFIRE");
  const size_t queued = q.pending.size();
  BattleHooks& hooks = GetBattleHooks();
  for (int check = 1; check <= 625; ++check) hooks.hintStep();
  EXPECT_EQ(q.window, nullptr);  // exactly 40000 ms is not yet enough
  hooks.hintStep();
  ASSERT_NE(q.window, nullptr);
  EXPECT_TRUE(tutorial.IsSeen("BATTLE_ROUTE_ORDERS"));
  EXPECT_EQ(q.pending.size(), queued - 1);
  // While the hint is open the wait stands still.
  for (int check = 0; check < 700; ++check) hooks.hintStep();
  EXPECT_FLOAT_EQ(q.waitMs, 0.0f);
  delete q.window;
  EXPECT_EQ(q.window, nullptr);
  // A name without a page blocks the queue.
  q.pending.push_front("NO_SUCH_PAGE");
  for (int check = 0; check < 1000; ++check) hooks.hintStep();
  EXPECT_EQ(q.window, nullptr);
  EXPECT_EQ(q.pending.front(), "NO_SUCH_PAGE");
  // Seen pages are never queued again.
  GUI_BS_HintWindow::QueueBattleHints();
  for (const std::string& name : q.pending) EXPECT_NE(name, "BATTLE_ROUTE_ORDERS");
  tutorial.Reset();
}

TEST_F(HudPanelsTest, TheInspectedUnitDiesThenANewOneIsInspected) {
  SIM_BattleUnit* first = scene.player[0];
  GetBattleScreenHooks().openUnitInspector(first);
  GUI_BS_UnitInspector* ins = GetUnitInspector();
  ASSERT_NE(ins, nullptr);
  EXPECT_EQ(ins->unit, first);
  int filled = 0;
  for (auto* icon : ins->icons) filled += icon->module != nullptr;
  EXPECT_EQ(filled, std::min(first->moduleManager->ModuleCount(), GUI_BS_UnitInspector::kSlots));
  GetWindowOrder().Draw();
  // Dying: the panel lets go at its next draw, before the unit is deleted.
  first->state = US_INACTIVE;
  GetWindowOrder().Draw();
  EXPECT_EQ(GetUnitInspector(), nullptr);
  GetWindowOrder().FlushDeleted();
  GetBattle().playerArmy->allUnits.remove(first);
  delete first;
  // A new one; then it is deleted at once, without a draw in between.
  SIM_BattleUnit* second = scene.player[1];
  GetBattleScreenHooks().openUnitInspector(second);
  ASSERT_NE(GetUnitInspector(), nullptr);
  EXPECT_EQ(GetUnitInspector()->unit, second);
  GetBattle().playerArmy->allUnits.remove(second);
  delete second;
  EXPECT_EQ(GetUnitInspector(), nullptr);
  GetWindowOrder().Draw();
  GetWindowOrder().FlushDeleted();
  GetBattleScreenHooks().openUnitInspector(scene.player[2]);
  ASSERT_NE(GetUnitInspector(), nullptr);
  GetWindowOrder().Draw();
  mini->Draw();
}

// The first unit picked shows the "Unit Details" page in the lower right. The player
// has not pressed its OK when the battle ends: the post-mortem opens over the middle of
// the screen, across the page, and the page still lies on top and takes its OK.
TEST_F(HudPanelsTest, TheUnitDetailsPageStaysOverThePostMortem) {
  GetTutorial().Load();
  GetBattleScreenHooks().openUnitInspector(scene.player[0]);
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  GUI_TutorialWindow* page = GUI_TutorialWindow::OpenWindows()[0];
  ASSERT_EQ(page->Page()->name, "BATTLE_UNIT_DETAILS");
  GetWindowOrder().Draw();

  SIM_Battle& battle = GetBattle();
  battle.Begin();
  GetOutcomeManager().DefenderWins();
  ASSERT_NE(battle.outcome, OUTCOME_UNDECIDED);
  battle.endStartMs -= 3000.0;
  battle.Update();
  GUI_BS_PostMortem* pm = GetOpenPostMortem();
  ASSERT_NE(pm, nullptr);
  const GUI_ButtonText* ok = page->OKButton();
  ASSERT_NE(ok, nullptr);
  const float x = (ok->left + ok->right) / 2.0f, y = (ok->top + ok->bottom) / 2.0f;
  ASSERT_TRUE(pm->HitTest(x, y)) << "the result box reaches over the page's OK";
  // Drawn after the result box, so on top of it.
  const std::vector<GUI_WindowBase*>& open = GetWindowOrder().OpenWindows();
  const auto at = [&](const GUI_WindowBase* w) {
    return std::find(open.begin(), open.end(), w) - open.begin();
  };
  EXPECT_GT(at(page), at(pm));
  GetWindowOrder().Draw();
  Press(x, y);
  Pointer(x, y, false);
  GetWindowOrder().FlushDeleted();
  EXPECT_TRUE(GUI_TutorialWindow::OpenWindows().empty()) << "its OK closed the page";
  EXPECT_EQ(GetOpenPostMortem(), pm);
}

// The victory points are written inside their 62-pixel panel, clear of the status bars
// beside it (a longer word would run under them).
TEST_F(HudPanelsTest, TheInspectorsVictoryPointsFitTheirPanel) {
  GUI_BS_UnitInspector::Open(scene.player[1]);
  GUI_BS_UnitInspector* ins = GetUnitInspector();
  ASSERT_NE(ins, nullptr);
  const GUI_BS_InspectorVP* vp = ins->victoryPoints;
  ASSERT_NE(vp, nullptr);
  LoadStandardFonts();  // the shipped font measures the words
  TextRenderer& text = GetTextRenderer();
  text.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  ASSERT_GT(text.TextWidth("W"), 0);
  for (const std::string& words : {vp->label, vp->value}) {
    SCOPED_TRACE(words);
    EXPECT_FALSE(words.empty());
    EXPECT_LE(vp->left + 4 + text.TextWidth(words.c_str()), vp->right);
    EXPECT_LT(vp->right, ins->bars[0]->left + 16);  // where the bars begin
  }
}

TEST_F(HudPanelsTest, TheInspectorShowsTenModulesAtMost) {
  SIM_BattleUnit* u = scene.player[1];
  SIM_ModuleManager& mm = *u->moduleManager;
  ASSERT_GT(mm.ModuleCount(), 0);
  SIM_ModuleType* type = mm.allModules.front()->moduleType;
  while (mm.ModuleCount() < GUI_BS_UnitInspector::kSlots + 3)
    mm.allModules.push_back(std::make_unique<SIM_Module>(u, type, 0.0f, 0.0f));
  GUI_BS_UnitInspector::Open(u);
  GUI_BS_UnitInspector* ins = GetUnitInspector();
  ASSERT_NE(ins, nullptr);
  for (int i = 0; i < GUI_BS_UnitInspector::kSlots; ++i)
    EXPECT_EQ(ins->icons[i]->module, mm.allModules[size_t(i)].get()) << i;
  EXPECT_EQ(ins->modulesLeftOut, 3);
  // Damage and reload overlays of a full panel draw without reaching past the slots.
  mm.allModules[0]->healthFraction = 0.0f;
  GetWindowOrder().Draw();
  EXPECT_EQ(GetUnitInspector(), ins);
}

}  // namespace
