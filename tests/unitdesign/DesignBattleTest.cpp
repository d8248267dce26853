// A design built and saved in the designer goes to war: a headless battle on a shipped
// campaign scenario deploys it from the design manager, it lands and opens fire, and the
// player fights with it alone until the battle is decided.
#include "../battle/BattleFixture.h"
#include "../battle/RecordingView.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnitManager.h"
#include "battle/Gameplay.h"
#include "battle/UnitBattleStats.h"
#include "simdata/Divisions.h"
#include "simdata/MapSquare.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

TEST_F(UnitDesignTest, ASavedDesignDeploysAndFightsUntilTheBattleEnds) {
  // Built as a player would: a new hull, weapon, armour, engine, support, saved.
  SIM_UnitHull* hull = SIM_UnitHullManager::Get().GetHull("tank_bulwark");
  ASSERT_NE(hull, nullptr);
  window->design = nullptr;  // an empty board (the manager keeps the design it showed)
  window->owned = false;
  window->NewDesignForHull(hull);
  const char* fit[] = {"cannon_75",   "composite_plating", "composite_plating", "gas_turbine",
                       "rangefinder", "manual_loader",     "aug_armour"};
  for (int i = 0; i < 7; ++i) {
    GUI_UD_ModuleIcon* icon = PickerIcon(fit[i]);
    ASSERT_NE(icon, nullptr) << fit[i];
    Drag(CX(icon), CY(icon), CX(Slot(i)), CY(Slot(i)));
  }
  ASSERT_TRUE(SaveDesign("My Tank"));
  const std::string path = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/my tank.txt";
  GetGame().SetGameMode(MODE_MAIN_MENU);

  SIM_UnitDesign* mine = SIM_UnitDesignManager::Get().FindDesignByFile(path);
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(SIM_UnitDesignManager::Get().FindDesign("my tank"), mine);

  battle_test::ScopedRecordingView views;
  SIM_ScenarioManager::Get().Load();
  ASSERT_FALSE(SIM_ScenarioManager::Get().Campaign().empty());
  SIM_Scenario* scenario = SIM_ScenarioManager::Get().Campaign().front();
  // A one-minute clock keeps the battle short; the player's division holds the design alone.
  const float timeLimit = scenario->classic.timeLimit;
  scenario->classic.timeLimit = 60000.0f;
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  SIM_Division* division = divisions.AddDivision("Only Mine");
  ASSERT_NE(division, nullptr);
  ASSERT_TRUE(division->AddDesign(mine->name));
  divisions.Select(division);
  SIM_Battle& battle = battle_test::StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_SCENARIO);
  ASSERT_FALSE(scenario->attackerSquares.empty());
  ASSERT_FALSE(scenario->defenderSquares.empty());
  SIM_UnitDesign* fortDesign = nullptr;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->hull && d->hull->sizeType == SIZETYPE_BUILDING && d->HasSplashDamage() == false && d->weapon)
      fortDesign = d.get();
  ASSERT_NE(fortDesign, nullptr);

  SIM_MapSquare* from = scenario->attackerSquares.front();
  SIM_BattleUnit* tank = battle.playerArmy->DeployDesign(from->column, from->row, mine, 1, 90.0f, false);
  ASSERT_NE(tank, nullptr);
  // The defence stands on the defender's square nearest the tank.
  SIM_MapSquare* to = scenario->defenderSquares.front();
  for (SIM_MapSquare* sq : scenario->defenderSquares) {
    const int d = std::abs(sq->column - from->column) + std::abs(sq->row - from->row);
    if (d < std::abs(to->column - from->column) + std::abs(to->row - from->row)) to = sq;
  }
  SIM_BattleUnit* fort = battle.opponentArmy->DeployDesign(to->column, to->row, fortDesign, 1, 270.0f, true);
  ASSERT_NE(fort, nullptr);
  for (int i = 0; i < 20; ++i) battle.Update();
  battle.Begin();
  ASSERT_NE(tank->ratedWeapon, nullptr);
  // The saved design drives in and opens fire on the defence.
  ASSERT_NE(tank->damageTally, nullptr);
  int frames = 0;
  for (; frames < 20000 && tank->damageTally->totalDamage <= 0.0f; ++frames) battle.Update();
  for (int i = 0; i < 2000; ++i) battle.Update();
  EXPECT_NE(tank->state, US_DESTROYED);
  ASSERT_NE(tank->damageTally, nullptr);
  EXPECT_GT(tank->damageTally->totalDamage, 0.0f) << "the saved design never fired";

  // The player fights on with the design alone until the battle is decided: more of it
  // whenever the supplies allow, until the clock runs out and nothing of it is left on
  // the field (each one drives through to an exit or is destroyed on the way).
  Gameplay& gameplay = GetGameplay();
  int deployed = 1;
  int frame = 0;
  for (; frame < 40000 && battle.outcome == OUTCOME_UNDECIDED; ++frame) {
    if (!gameplay.suppliesExhausted && gameplay.supplies >= mine->cost &&
        battle.playerArmy->DeployDesign(from->column, from->row, mine, 1, 90.0f, false)) {
      gameplay.SpendSupplies(mine->cost);
      ++deployed;
    }
    battle.Update();
  }
  ASSERT_NE(battle.outcome, OUTCOME_UNDECIDED) << "undecided after " << frame << " frames";
  EXPECT_TRUE(gameplay.suppliesExhausted);
  EXPECT_EQ(battle.playerArmy->LivingCount(), 0);
  EXPECT_LT(gameplay.supplies, mine->cost) << "the battle ended while the player could still deploy";
  EXPECT_GT(deployed, 3);
  const SIM_BattleOutcomeManager& outcome = GetOutcomeManager();
  EXPECT_GT(outcome.total, 0.0f) << "no tank of the design reached an exit";
  EXPECT_EQ(battle.outcome, outcome.total >= outcome.target ? OUTCOME_VICTORY : OUTCOME_DEFEAT);
  scenario->classic.timeLimit = timeLimit;
}

}  // namespace
}  // namespace unitdesign_test
