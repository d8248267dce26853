#include "battle/BattleOutcome.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "engine/Strings.h"
#include "simdata/Divisions.h"
#include "simdata/HighScores.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
int RecordingMode() {
  BattleHooks& hooks = GetBattleHooks();
  return hooks.recordingMode ? hooks.recordingMode() : 0;
}
}  // namespace

void SIM_BattleOutcomeManager::Reset(SIM_Scenario* s) {
  scenario = s;
  total = 0.0f;
  target = s ? s->classic.hpLeftLimit : 0.0f;
  testCount = 0;
  targetMessageArmed = true;
}

void SIM_BattleOutcomeManager::OnUnitExited(SIM_BattleUnit* unit) {
  SIM_Battle& battle = GetBattle();
  if (battle.outcome != OUTCOME_UNDECIDED) return;
  if (unit && unit->design && unit->design->hull) total += unit->design->hull->victoryPoints;
  BattleHooks& hooks = GetBattleHooks();
  if (target <= total) {
    if (battle.PlayerDefends()) {
      AttackerWins();
    } else if (targetMessageArmed) {
      targetMessageArmed = false;
      if (hooks.midBattleMessage) hooks.midBattleMessage(GetTranslation("MBM_ATTACKER_VP_TARGET_REACHED"));
    }
  }
  if (hooks.refreshScoreboard) hooks.refreshScoreboard();
}

void SIM_BattleOutcomeManager::TestIfUndecided() {
  if (GetBattle().outcome != OUTCOME_UNDECIDED) return;
  ++testCount;
  Test();
}

float SIM_BattleOutcomeManager::PlayerCheapestDesignCost() {
  const SIM_Division* division = SIM_DivisionManager::Instance().Selected();
  float cheapest = kNoDesignCost;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs()) {
    if (!d->hull || d->hull->sizeType == SIZE_BUILDING) continue;
    if (division && !division->ContainsDesign(d->name)) continue;
    if (d->CountModulesOfClass("SIM_SupplyComponent") > 0) continue;
    const float cost = d->hull->sizeType == SIZE_INFANTRY ? d->cost * kSquadCostFactor : d->cost;
    cheapest = std::min(cheapest, cost);
  }
  return cheapest;
}

bool SIM_BattleOutcomeManager::AttackerCanDeploy() const {
  SIM_Battle& battle = GetBattle();
  if (battle.PlayerDefends()) return GetAttackerAI().CanStillDeploy();
  return PlayerCheapestDesignCost() <= GetGameplay().supplies;
}

void SIM_BattleOutcomeManager::Test() {
  SIM_Battle& battle = GetBattle();
  // Without a scenario there is no target and no clock to decide by.
  if (!scenario) return;
  if (!GetGameplay().suppliesExhausted) return;
  const SIM_BattleArmy* attacker = battle.AttackerArmy();
  if (attacker && attacker->LivingCount() > 0) return;
  if (RecordingMode() == 2) {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.recordingEntriesLeft && hooks.recordingEntriesLeft() > 0) return;
  } else if (AttackerCanDeploy()) {
    return;
  }
  if (target <= total)
    AttackerWins();
  else
    DefenderWins();
}

void SIM_BattleOutcomeManager::AttackerWins() {
  SIM_Battle& battle = GetBattle();
  if (battle.PlayerDefends()) {
    battle.SetDefeat();
  } else {
    battle.SetVictory();
    if (scenario) SIM_HighScores::Get().SetScore(scenario->name, GetGameplay().Difficulty, true, total);
  }
  // After the score: winning the last campaign map beats the campaign in this battle.
  battle.CheckCampaignBeaten();
}

void SIM_BattleOutcomeManager::DefenderWins() {
  SIM_Battle& battle = GetBattle();
  if (!battle.PlayerDefends()) {
    battle.SetDefeat();
  } else {
    battle.SetVictory();
    // The defence score: the post-mortem's final score, as the browser records it.
    if (scenario)
      SIM_HighScores::Get().SetScore(scenario->name, GetGameplay().Difficulty, false,
                                     GetGameplay().finalDefenderScore);
  }
  battle.CheckCampaignBeaten();
}
