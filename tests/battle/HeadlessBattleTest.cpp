// The simulation on its own: this program links the battle library and the layers below
// it, never the battle screen, so every battle here runs on the headless view. A battle
// that reached for the screen would fail to link, not just fail a test.
#include <gtest/gtest.h>

#include <typeinfo>

#include "BattleFixture.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnitManager.h"
#include "battle/BattleView.h"

namespace {

using namespace battle_test;

TEST(HeadlessBattle, TheBattleTalksToTheHeadlessViewAndItsVisuals) {
  EXPECT_EQ(typeid(GetBattleView()), typeid(SIM_BattleView));
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  struct Case {
    int sizeType;
    const std::type_info& visual;
  } cases[] = {
      {SIZETYPE_INFANTRY, typeid(SIM_InfantryVisual)},
      {SIZETYPE_MECH, typeid(SIM_UnitVisual)},
      {SIZETYPE_TANK, typeid(SIM_UnitVisual)},
      {SIZETYPE_BUILDING, typeid(SIM_UnitVisual)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sizeType);
    SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("h", c.sizeType, 1, 10.0f), {}), battle.playerArmy);
    ASSERT_NE(u->visual, nullptr);
    EXPECT_EQ(typeid(*u->visual), c.visual);
  }
  // No view of its own: the camera the battle chooses sounds by is the whole map's.
  EXPECT_FLOAT_EQ(GetBattleView().Zoom(), 1.0f);
}

// The death sequences end without a screen: a tank fades for over 100 ms, a soldier
// plays 32 frames, and both leave the battle; the outcome follows.
TEST(HeadlessBattle, DeadUnitsLeaveTheBattleWithNoScreen) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 10");
  SIM_BattleUnit* tank =
      AddUnit(cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {plate}), battle.opponentArmy);
  SIM_BattleUnit* soldier =
      AddUnit(cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {plate}), battle.opponentArmy);
  battle.Begin();
  for (SIM_BattleUnit* u : {tank, soldier})
    u->moduleManager->TakeDamage(nullptr, nullptr, 1000.0f, 1, 1, 1, WARHEAD_BULLET);
  ASSERT_EQ(tank->state, US_INACTIVE);
  ASSERT_EQ(soldier->state, US_INACTIVE);
  int frames = 0;
  while (!GetBattleUnitManager().allUnits.empty() && frames < 1000) {
    battle.Update();
    ++frames;
  }
  EXPECT_EQ(tank->state, US_DESTROYED);
  EXPECT_EQ(soldier->state, US_DESTROYED);
  EXPECT_EQ(frames, 65);  // the soldier's 32 frames of two 16 ms steps, then the purge
  EXPECT_EQ(battle.opponentArmy->LivingCount(), 0);
  EXPECT_GE(GetOutcomeManager().testCount, 1);
}

}  // namespace
