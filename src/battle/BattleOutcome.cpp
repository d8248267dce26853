#include "battle/BattleOutcome.h"

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

void SIM_BattleOutcomeManager::Reset(SIM_Scenario* s) {
  scenario = s;
  total = 0.0f;
  target = s ? s->classic.hpLeftLimit : 0.0f;
  testCount = 0;
}

void SIM_BattleOutcomeManager::OnUnitExited(SIM_BattleUnit* unit) {
  if (GetBattle().outcome != OUTCOME_UNDECIDED) return;
  if (unit && unit->design && unit->design->hull) total += unit->design->hull->victoryPoints;
}

void SIM_BattleOutcomeManager::TestIfUndecided() {
  if (GetBattle().outcome != OUTCOME_UNDECIDED) return;
  ++testCount;
  Test();
}
