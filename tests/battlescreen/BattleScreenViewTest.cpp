// The battle screen's side of the seam with the simulation: once the game's layers are
// connected, the battle builds the screen's visuals, hands its wrecks to the screen, and
// the screen's frame advances the battle before it draws.
#include <gtest/gtest.h>

#include <typeinfo>

#include "battle/BattleFixture.h"
#include "battle/BattleUnitManager.h"
#include "battle/BattleView.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"

namespace {

using namespace battle_test;

TEST(BattleScreenView, TheBattleBuildsTheScreensVisualsBySizeType) {
  ASSERT_NE(dynamic_cast<GUI_BS_BattleView*>(&GetBattleView()), nullptr);
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  struct Case {
    int sizeType;
    const std::type_info& visual;
  } cases[] = {
      {SIZETYPE_INFANTRY, typeid(GUI_BS_InfantryUnit)},
      {SIZETYPE_MECH, typeid(GUI_BS_MechUnit)},
      {SIZETYPE_TANK, typeid(GUI_BS_TankUnit)},
      {SIZETYPE_BUILDING, typeid(GUI_BS_BuildingUnit)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sizeType);
    SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("h", c.sizeType, 1, 10.0f), {}), battle.playerArmy);
    ASSERT_NE(u->visual, nullptr);
    EXPECT_EQ(typeid(*u->visual), c.visual);
  }
  // The camera the simulation reads is the battle map's.
  GUI_BS_Map::Instance().zoom = 2.5f;
  EXPECT_FLOAT_EQ(GetBattleView().Zoom(), 2.5f);
}

TEST(BattleScreenView, ASoldiersDeathPlaysOnTheScreenAndItsCorpseStays) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 10");
  SIM_BattleUnit* soldier =
      AddUnit(cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {plate}), battle.opponentArmy);
  battle.Begin();
  soldier->moduleManager->TakeDamage(nullptr, nullptr, 1000.0f, 1, 1, 1, WARHEAD_BULLET);
  auto* visual = dynamic_cast<GUI_BS_InfantryUnit*>(soldier->visual.get());
  ASSERT_NE(visual, nullptr);
  EXPECT_EQ(visual->posture, GUI_BS_InfantryUnit::POSTURE_DYING);

  GUI_BattleScreen& screen = GetBattleScreen();
  const size_t wrecks = GUI_BS_UnitManager::Instance().wrecks.size();
  int frames = 0;
  while (!GetBattleUnitManager().allUnits.empty() && frames < 1000) {
    const float before = battle.totalTime;
    screen.Draw();  // one battle step per screen frame
    EXPECT_FLOAT_EQ(battle.totalTime, before + battle.frameStep);
    ++frames;
  }
  EXPECT_EQ(frames, 65);
  EXPECT_EQ(soldier->state, US_DESTROYED);
  ASSERT_EQ(GUI_BS_UnitManager::Instance().wrecks.size(), wrecks + 1);
  auto* corpse = dynamic_cast<GUI_BS_InfantryUnit*>(GUI_BS_UnitManager::Instance().wrecks.back().get());
  ASSERT_NE(corpse, nullptr);
  EXPECT_EQ(corpse->posture, GUI_BS_InfantryUnit::POSTURE_DEAD);
  EXPECT_EQ(corpse->unit, nullptr);
}

}  // namespace
