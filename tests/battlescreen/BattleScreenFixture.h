#pragma once
// A shipped scenario set up in code and shown in the battle-screen mode, as the battle
// browser will once it exists: the battle loads without the loading screen, then the
// game switches to mode 6.
#include <string>

#include "app/Game.h"
#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battlescreen/BattleScreen.h"
#include "simdata/Scenario.h"

namespace battlescreen_test {

// Loads the scenario of that name and fights it as the attacker without AI units; the
// battle screen is the current mode afterwards. Null when the scenario is missing.
inline SIM_Scenario* StartShippedBattle(const std::string& name) {
  SIM_Scenario* scenario = SIM_ScenarioManager::Get().Find(name);
  if (!scenario) return nullptr;
  BattleHooks& hooks = GetBattleHooks();
  // The loading screen is not part of these tests; its hooks are program wiring.
  auto begin = hooks.beginBattleLoad;
  auto finish = hooks.finishLoading;
  auto progress = hooks.setLoadingProgress;
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = false;
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = scenario;
  // A fixed seed: the computer's choices, and so the pictures, repeat run after run.
  battle.useFixedSeed = true;
  battle.fixedSeed = 7;
  // The pictures show the map alone: the computer defender starts without supplies.
  const float defenderSupplies = scenario->classic.startingSuppliesDefender;
  scenario->classic.startingSuppliesDefender = 0.0f;
  battle.Start();
  scenario->classic.startingSuppliesDefender = defenderSupplies;
  hooks.beginBattleLoad = begin;
  hooks.finishLoading = finish;
  hooks.setLoadingProgress = progress;
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  return scenario;
}

// The largest shipped map (most squares).
inline std::string LargestShippedScenario() {
  std::string best;
  int most = -1;
  SIM_ScenarioManager::Get().Load();
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (s && s->maxCols * s->maxRows > most) {
      most = s->maxCols * s->maxRows;
      best = s->name;
    }
  return best;
}

}  // namespace battlescreen_test
