// Placing air strikes on the null device: a second ability click replaces the targeting
// marker and takes its strike back; a press on the map launches the strike at the point
// under the mouse; a press over a window while targeting belongs to the window; the
// marker fades once the strike ends; and a battle where the placer and the rings'
// unit go while the strike runs leaves nothing pointing at them (the sanitizer checks).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "battle/AirStrikes.h"
#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battlehud/AirStrikePlacement.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BattleOverlays.h"
#include "battlehud/LiveUnits.h"
#include "battlehud/RangeIndicators.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "engine/InputManager.h"
#include "gui/WindowBase.h"
#include "gui/WindowOrder.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

class AirStrikeTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    StartBareBattle();
    ClearBattleOverlays();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 2.0f;
    // The view's top left is what a screen point adds to; the camera holds the centre.
    map.viewLeft = 100.0f;
    map.viewTop = 50.0f;
    map.cameraX = map.viewLeft + 512.0f / map.zoom;
    map.cameraY = map.viewTop + 384.0f / map.zoom;
    GetGameplay().supplies = 100000.0f;
    SIM_AirStrikeManager& strikes = GetAirStrikeManager();
    ASSERT_GE(strikes.types.size(), 2u);
    first = strikes.types[0].get();
    second = strikes.types[1].get();
    for (auto& t : strikes.types) t->ready = true;
  }
  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    ClearBattleOverlays();
    zt_test::NullDeviceTest::TearDown();
  }
  void MouseAt(float x, float y) {
    GUI_InputManager::SetCursorReader([x, y](float& ox, float& oy) {
      ox = x;
      oy = y;
    });
    GetInputManager().Poll();
  }
  static GUI_BS_AirStrikeManager& placers() { return GUI_BS_AirStrikeManager::Instance(); }

  SIM_AirStrikeType* first = nullptr;
  SIM_AirStrikeType* second = nullptr;
};

TEST_F(AirStrikeTest, ASecondAbilityClickReplacesTheMarkerAndTakesItsStrikeBack) {
  GUI_BS_AirStrikePlacer* a = placers().StartTargeting(first);
  ASSERT_NE(a, nullptr);
  const int32_t firstId = a->strikeId;
  EXPECT_TRUE(GetBattleScreenHooks().airStrikeBeingPlaced());
  GUI_BS_AirStrikePlacer* b = placers().StartTargeting(second);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(placers().Count(), 1u);
  EXPECT_EQ(placers().Active(), b);
  EXPECT_EQ(GetAirStrikeManager().FindStrike(firstId), nullptr);
  EXPECT_NE(GetAirStrikeManager().FindStrike(b->strikeId), nullptr);
}

TEST_F(AirStrikeTest, PressesWhileTargeting) {
  // The deployment strip the battle opened at the bottom of the screen: a press on its
  // frame, away from any icon.
  const GUI_WindowBase* strip = nullptr;
  for (const GUI_WindowBase* w : GetWindowOrder().OpenWindows())
    if (w && w->visible && w->top > 500) strip = w;
  ASSERT_NE(strip, nullptr);
  const float stripX = float(strip->left) + 3.0f, stripY = float(strip->bottom) - 3.0f;
  struct Case {
    const char* what;
    float x, y;
    bool right;
    bool placed;
    bool stillTargeting;
  };
  const Case cases[] = {
      {"left on the map", 500.0f, 400.0f, false, true, false},
      {"left on the strip", stripX, stripY, false, false, true},
      {"right anywhere", 500.0f, 400.0f, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_BS_AirStrikePlacer* p = placers().StartTargeting(first);
    ASSERT_NE(p, nullptr);
    const int32_t id = p->strikeId;
    const float supplies = GetGameplay().supplies;
    MouseAt(c.x, c.y);
    if (c.right)
      GetBattleScreen().OnRightDown();
    else
      GetBattleScreen().OnLeftDown();
    SIM_AirStrike* strike = GetAirStrikeManager().FindStrike(id);
    if (c.placed) {
      ASSERT_NE(strike, nullptr);
      EXPECT_EQ(strike->state, SIM_AirStrike::STATE_ORDERED);
      EXPECT_FLOAT_EQ(strike->targetX, c.x / 2.0f + 100.0f);
      EXPECT_FLOAT_EQ(strike->targetY, c.y / 2.0f + 50.0f);
      // The placed marker stays under the click, as the map scrolls with the view.
      float sx = 0.0f, sy = 0.0f;
      HudWorldToScreen(strike->targetX, strike->targetY, &sx, &sy);
      EXPECT_FLOAT_EQ(sx, c.x);
      EXPECT_FLOAT_EQ(sy, c.y);
      EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies - float(first->supplyCost));
    } else {
      EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies);
    }
    EXPECT_EQ(placers().Active() != nullptr, c.stillTargeting);
    if (!c.stillTargeting && !c.placed) {
      EXPECT_EQ(strike, nullptr);  // taken back
    }
    placers().CancelPlacer();
    first->ready = true;
  }
}

TEST_F(AirStrikeTest, TheMarkerFadesOnceTheStrikeEnds) {
  GUI_BS_AirStrikePlacer* p = placers().StartTargeting(first);
  ASSERT_TRUE(placers().PlaceStrike(300.0f, 300.0f));
  EXPECT_EQ(p->Countdown(), int(first->orderDelay));
  EXPECT_NEAR(p->side, 0.0f, 1e-6f);
  placers().DrawAll();
  EXPECT_FLOAT_EQ(p->side, 2.0f * first->spreadRadius * 2.0f);
  for (int i = 0; i < 100000 && GetAirStrikeManager().FindStrike(p->strikeId); ++i) {
    GetAirStrikeManager().Update(16.0f);
    placers().DrawAll();
  }
  EXPECT_EQ(p->state, GUI_BS_AirStrikePlacer::FADING);
  for (int i = 0; i < 20 && placers().Count(); ++i) placers().DrawAll();
  EXPECT_EQ(placers().Count(), 0u);
  EXPECT_EQ(GUI_BS_AirStrikePlacer::FadeAlpha(0.0f), 150);
  EXPECT_EQ(GUI_BS_AirStrikePlacer::FadeAlpha(100.0f), 75);
  EXPECT_EQ(GUI_BS_AirStrikePlacer::FadeAlpha(500.0f), 0);
}

TEST_F(AirStrikeTest, UnitsAndMarkersGoingMidStrikeLeaveNothingBehind) {
  // A selected unit shows its rings while the player targets a strike; the unit is
  // killed and deleted mid-placement, then the battle ends with the strike still
  // running and the next one starts.
  auto unit = std::make_unique<SIM_BattleUnit>();
  unit->x = 400.0f;
  unit->y = 300.0f;
  GetBattleScreenHooks().resetRangeIndicator(unit.get());
  GUI_BS_RangeIndicatorSet::Instance().Find(unit.get())->SetRanges(0.0f, 100.0f, 100.0f, 90.0f);
  GUI_BS_RangeIndicator::DrawAll();
  placers().StartTargeting(first);
  placers().DrawAll();
  unit->SetState(US_DESTROYED);
  GUI_BS_RangeIndicator::DrawAll();
  unit.reset();
  GUI_BS_RangeIndicator::DrawAll();
  EXPECT_TRUE(GUI_BS_RangeIndicator::List().empty());
  GUI_BS_AirStrikePlacer* p = placers().Active();
  ASSERT_NE(p, nullptr);
  const int32_t id = p->strikeId;
  ASSERT_TRUE(placers().PlaceStrike(200.0f, 200.0f));
  GetAirStrikeManager().Update(16.0f);
  ClearBattleOverlays();  // the screen closes: the marker goes while its strike runs
  SIM_AirStrike* strike = GetAirStrikeManager().FindStrike(id);
  ASSERT_NE(strike, nullptr);
  EXPECT_EQ(strike->owner, nullptr);
  for (int i = 0; i < 100000 && GetAirStrikeManager().FindStrike(id); ++i)
    GetAirStrikeManager().Update(16.0f);
  EXPECT_EQ(GetAirStrikeManager().FindStrike(id), nullptr);
  // A new battle: markers work again.
  StartBareBattle();
  EXPECT_NE(placers().StartTargeting(second), nullptr);
}

// ---- Ability icons on the deployment strip ----

TEST_F(AirStrikeTest, AbilityIconsEndADefendersStripAndArmTheMarker) {
  SIM_Battle& battle = GetBattle();
  for (auto& t : GetAirStrikeManager().types) t->unlockable.locked = 0;
  GUI_BS_Deployment* window = GetOpenDeploymentWindow();
  ASSERT_NE(window, nullptr);
  auto abilities = [window] {
    std::vector<size_t> out;
    for (size_t i = 0; i < window->icons.size(); ++i)
      if (window->icons[i].strike) out.push_back(i);
    return out;
  };
  // An attacker has none.
  battle.playerDefends = false;
  window->Refresh();
  EXPECT_TRUE(abilities().empty());
  // A defender has one per strike type, after the designs; a locked type stays off.
  GetAirStrikeManager().types.back()->unlockable.locked = 1;
  battle.playerDefends = true;
  window->Refresh();
  std::vector<size_t> icons = abilities();
  ASSERT_EQ(icons.size(), GetAirStrikeManager().types.size() - 1);
  EXPECT_EQ(icons.back(), window->icons.size() - 1);
  EXPECT_EQ(window->icons[icons[0]].strike, first);

  struct Case {
    const char* what;
    int state;
    float supplies;
    bool ready;
    bool enabled;
  };
  const float cost = float(first->supplyCost);
  const Case cases[] = {{"deploying", BATTLE_DEPLOYMENT, cost, true, false},
                        {"fighting", BATTLE_RUNNING, cost, true, true},
                        {"short of supplies", BATTLE_RUNNING, cost - 1.0f, true, false},
                        {"restocking", BATTLE_RUNNING, cost, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    battle.state = c.state;
    GetGameplay().supplies = c.supplies;
    first->ready = c.ready;
    EXPECT_EQ(GUI_BS_Deployment::AbilityEnabled(first), c.enabled);
  }
  first->ready = false;
  first->restockTimer = first->restockDelay * 0.25f;
  EXPECT_FLOAT_EQ(GUI_BS_Deployment::RestockFraction(first), 0.25f);
  first->ready = true;
  EXPECT_LT(GUI_BS_Deployment::RestockFraction(first), 0.0f);

  // The tooltip's lines.
  const std::vector<std::string> lines = GUI_BS_Deployment::AbilityTooltipLines(first);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(
      lines[1].find(" : " + std::to_string(first->strikeCount) + "x" + std::to_string(int(first->damage))),
      std::string::npos);
  EXPECT_NE(lines[3].find(" : " + std::to_string(int(first->orderDelay / 1000.0f)) + "s"), std::string::npos);

  // Clicks through the battle screen on the icons at the strip's end.
  GetGameplay().supplies = 100000.0f;
  window->ScrollTo(window->ScrollMax());
  auto iconCentre = [window](size_t i, float* x, float* y) {
    *x = float(window->left) + 16.0f + GUI_BS_Deployment::kIconSize * (float(int(i) - window->scroll) + 0.5f);
    *y = float(window->top) + 6.0f + GUI_BS_Deployment::kIconSize * 0.5f;
  };
  float x, y;
  iconCentre(icons[0], &x, &y);
  battle.state = BATTLE_DEPLOYMENT;
  window->RefreshIfChanged();
  MouseAt(x, y);
  GetBattleScreen().OnLeftDown();
  EXPECT_EQ(placers().Active(), nullptr) << "before the fight a click does nothing";
  battle.state = BATTLE_RUNNING;
  window->RefreshIfChanged();
  GetBattleScreen().OnLeftDown();
  GUI_BS_AirStrikePlacer* a = placers().Active();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->type, first);
  // While targeting, a click on the second icon goes to the strip and replaces the marker.
  iconCentre(icons[1], &x, &y);
  MouseAt(x, y);
  GetBattleScreen().OnLeftDown();
  ASSERT_NE(placers().Active(), nullptr);
  EXPECT_EQ(placers().Active()->type, second);
  EXPECT_EQ(placers().Count(), 1u);
  battle.playerDefends = false;
}

}  // namespace
