// A player who never settles: on every campaign map, attacking and defending, with
// several seeds, cards are taken from the deployment window, carried about, dropped,
// cancelled with the right button, picked up again, buildings sold and units killed at
// random while the battle and its computer opponent run. After every step no collision
// cell may point at a unit that is gone or still in the hand; the sanitizers catch any
// read of a unit that is gone on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleFixture.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Squadron.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/DeploymentDropper.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/InputManager.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitHull.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

class BattleChurnTest : public zt_test::NullDeviceTest {
 protected:
  void TearDown() override {
    CloseRCMenu();
    GUI_BS_DeploymentDropper::Instance().Reset();
    zt_test::NullDeviceTest::TearDown();
  }

  template <typename T>
  T& Pick(std::vector<T>& list) {
    return list[std::uniform_int_distribution<size_t>(0, list.size() - 1)(rng)];
  }
  int Roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  static GUI_BS_DeploymentDropper& Dropper() { return GUI_BS_DeploymentDropper::Instance(); }

  static std::vector<SIM_BattleUnit*> Units(const SIM_BattleArmy* army, bool includeSquads) {
    std::vector<SIM_BattleUnit*> out;
    if (!army) return out;
    out.assign(army->allUnits.begin(), army->allUnits.end());
    if (includeSquads) out.insert(out.end(), army->squadrons.begin(), army->squadrons.end());
    return out;
  }

  // The squares the player's side deploys on, and a few it may not.
  std::vector<SIM_MapSquare*> DropSquares(const SIM_Scenario& s, bool defends) {
    std::vector<SIM_MapSquare*> legal, other;
    for (const auto& sq : s.grid) {
      if (!sq) continue;
      (defends ? sq->defenderFlag : sq->attackerFlag) ? legal.push_back(sq.get()) : other.push_back(sq.get());
    }
    for (int i = 0; i < 3 && !other.empty(); ++i) legal.push_back(Pick(other));
    return legal;
  }

  // Every cell holds nothing, or a unit of one of the armies that is not in the hand.
  ::testing::AssertionResult CellsHoldOnlyLiveUnits() {
    const SIM_Battle& battle = GetBattle();
    std::set<const SIM_BattleUnit*> live;
    for (const SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy})
      for (SIM_BattleUnit* u : Units(army, true)) live.insert(u);
    const std::set<const SIM_BattleUnit*> hand(Dropper().hand.begin(), Dropper().hand.end());
    for (const auto& cell : GetCollisionGrid().cells) {
      const SIM_BattleUnit* u = cell->occupant;
      if (!u) continue;
      if (!live.count(u))
        return ::testing::AssertionFailure() << "cell " << cell->id << " points at a unit that is gone";
      const SIM_BattleUnit* squad = u->IsSingleUnit() ? nullptr : u;
      if (hand.count(u) || (squad && u->state == US_IN_DROPPER))
        return ::testing::AssertionFailure() << "cell " << cell->id << " is held by a unit in the hand";
    }
    return ::testing::AssertionSuccess();
  }

  // A card of the deployment window, clicked where the strip shows it.
  void ClickCard(GUI_BS_Deployment& window) {
    std::vector<int> cards;
    for (size_t i = 0; i < window.icons.size(); ++i)
      if (window.icons[i].design) cards.push_back(static_cast<int>(i));
    if (cards.empty()) return;
    const int card = Pick(cards);
    window.visible = true;
    window.ScrollTo(card);
    const int shown = card - window.scroll;
    if (shown < 0 || shown >= window.VisibleCount()) return;
    const float x = window.left + 16 + (shown + 0.5f) * GUI_BS_Deployment::kIconSize;
    const float y = window.top + 6 + GUI_BS_Deployment::kIconSize / 2.0f;
    GUI_InputManager& in = GetInputManager();
    in.x = x;
    in.y = y;
    window.LeftClick(x, y);
  }

  void PlayerBackToHand() {
    std::vector<SIM_BattleUnit*> placed;
    for (SIM_BattleUnit* u : Units(GetBattle().playerArmy, false))
      if (u->visual && u->state != US_IN_DROPPER && u->state != US_DESTROYED && !u->removed)
        placed.push_back(u);
    if (placed.empty()) return;
    if (auto* visual = dynamic_cast<GUI_BS_Unit*>(Pick(placed)->visual.get())) visual->HandBackToDropper();
  }

  void SellBuilding() {
    std::vector<SIM_BattleUnit*> buildings;
    for (SIM_BattleUnit* u : Units(GetBattle().playerArmy, false))
      if (u->sizeType == SIZE_BUILDING && u->state != US_IN_DROPPER && !u->removed) buildings.push_back(u);
    if (buildings.empty()) return;
    OpenRCMenu(Pick(buildings));
    GUI_BS_RCMenu::OnDeconstruct(0);
  }

  void KillUnit() {
    const SIM_Battle& battle = GetBattle();
    std::vector<SIM_BattleUnit*> living;
    for (const SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy})
      for (SIM_BattleUnit* u : Units(army, false))
        if (u->state != US_IN_DROPPER && u->state != US_DESTROYED && !u->removed) living.push_back(u);
    if (living.empty()) return;
    SIM_BattleUnit* victim = Pick(living);
    // A whole squad now and then, so squads empty and leave their cells.
    if (victim->squadron && Roll(3) == 0) {
      std::vector<SIM_BattleUnit*> members(victim->squadron->members.begin(),
                                           victim->squadron->members.end());
      for (SIM_BattleUnit* m : members)
        if (!m->removed) m->Destroy();
      return;
    }
    victim->Destroy();
  }

  void Run(SIM_Scenario* scenario, bool defends, uint32_t seed, int steps) {
    SCOPED_TRACE(scenario->name + (defends ? " defending" : " attacking") + ", seed " + std::to_string(seed));
    rng.seed(seed);
    InitRandomWithSeed(seed);
    SIM_Battle& battle = StartScenarioBattle(scenario, defends, AI_UNITS_ALL);
    Dropper().Reset();
    CloseDeploymentWindow();
    OpenDeploymentWindow();
    GUI_BS_Deployment* window = GetOpenDeploymentWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->icons.empty()) << "no cards to deploy";
    std::vector<SIM_MapSquare*> squares = DropSquares(*scenario, defends);
    ASSERT_FALSE(squares.empty());
    const BattleScreenHooks& screen = GetBattleScreenHooks();
    ASSERT_NE(screen.rightPressTaken, nullptr);
    int dropped = 0, cancelled = 0;
    for (int step = 0; step < steps && battle.state != BATTLE_OVER; ++step) {
      GetGameplay().supplies = std::max(GetGameplay().supplies, 20000.0f);
      const int action = Roll(12);
      if (action < 3) {
        ClickCard(*window);
      } else if (action < 5) {
        SIM_MapSquare* sq = Pick(squares);
        Dropper().HandleInputAt(sq->centreX, sq->centreY, false);
        for (int f = 0; f < 1 + Roll(20); ++f) battle.Update();  // carried about while the battle runs
        if (Dropper().HoldsUnits() &&
            Dropper().DropAt(sq->centreX, sq->centreY, Roll(4) == 0) == DeployRefusal::NONE)
          ++dropped;
      } else if (action < 7) {
        if (Dropper().HoldsUnits()) ++cancelled;
        screen.rightPressTaken();
      } else if (action == 7) {
        PlayerBackToHand();
      } else if (action == 8) {
        SellBuilding();
      } else if (action == 9) {
        KillUnit();
      } else if (action == 10 && battle.state == BATTLE_DEPLOYMENT && step > steps / 4) {
        GetBattleScreen().StartFighting();
      } else {
        for (int f = 0; f < 1 + Roll(60); ++f) battle.Update();
      }
      ASSERT_TRUE(CellsHoldOnlyLiveUnits()) << "after step " << step << " (action " << action << ")";
    }
    EXPECT_GT(dropped, 0);
    EXPECT_GT(cancelled, 0);
    screen.rightPressTaken();
    CloseRCMenu();
    CloseDeploymentWindow();
  }

  std::mt19937 rng;
};

TEST_F(BattleChurnTest, NoCellKeepsAUnitThatIsGoneOnAnyMap) {
  SIM_ScenarioManager::Get().Load();
  std::vector<SIM_Scenario*> maps;
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (s) maps.push_back(s);
  ASSERT_FALSE(maps.empty());
  uint32_t seed = 1;
  for (SIM_Scenario* s : maps)
    for (bool defends : {false, true})
      for (int k = 0; k < 2; ++k) {
        Run(s, defends, seed++, 160);
        if (HasFatalFailure()) return;
      }
}

}  // namespace
