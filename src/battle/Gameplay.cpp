#include "battle/Gameplay.h"

#include <algorithm>
#include <memory>

#include "battle/BattleSounds.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Timer.h"
#include "simdata/DataHooks.h"
#include "simdata/Scenario.h"

namespace {
const ClassicModeValues kNoClassicValues{};
}

Gameplay::Gameplay() = default;

void Gameplay::LoadConstants(const std::string& file) {
  SettingsFile section;
  if (!section.LoadSection(file, "gameplay")) {
    DebugLogF("Gameplay constants missing from %s; using 0", file.c_str());
  }
  struct Key {
    const char* name;
    float Gameplay::*field;
  };
  static const Key kKeys[] = {
      {"DECONSTRUCT_SPEED_MULTIPLIER", &Gameplay::DECONSTRUCT_SPEED_MULTIPLIER},
      {"DECONSTRUCT_RECOVERY_RATE", &Gameplay::DECONSTRUCT_RECOVERY_RATE},
      {"CONSTRUCTION_SPEED_SMALL", &Gameplay::CONSTRUCTION_SPEED_SMALL},
      {"CONSTRUCTION_SPEED_MEDIUM", &Gameplay::CONSTRUCTION_SPEED_MEDIUM},
      {"CONSTRUCTION_SPEED_LARGE", &Gameplay::CONSTRUCTION_SPEED_LARGE},
      {"AI_HOARDSIZE", &Gameplay::AI_HOARDSIZE},
      {"AI_MODE_DURATION", &Gameplay::AI_MODE_DURATION},
      {"DEFENDER_DAMAGE_MULT", &Gameplay::DEFENDER_DAMAGE_MULT},
      {"DEFENDER_DEFENSE_BONUS", &Gameplay::DEFENDER_DEFENSE_BONUS},
      {"SUPPORT_DAMAGE_REDUCTION", &Gameplay::SUPPORT_DAMAGE_REDUCTION},
      {"SUPPORT_COMMAND_ROFBONUS", &Gameplay::SUPPORT_COMMAND_ROFBONUS},
      {"AI_CHEAT_DAMAGE_REDUCTION", &Gameplay::AI_CHEAT_DAMAGE_REDUCTION},
      {"DOGTAG_LIFETIME", &Gameplay::DOGTAG_LIFETIME},
      {"DOGTAG_VALUE", &Gameplay::DOGTAG_VALUE},
  };
  for (const Key& key : kKeys) {
    this->*key.field = section.GetFloat(key.name, 0.0f);
  }
  Difficulty = 1;
  supplies = 0.0f;
  valueLost = 0.0f;
  valueOnField = 0.0f;
  armyValue = 0.0f;
  ClearDefenderScores();
}

void Gameplay::StartBattle(const SIM_Scenario* battleScenario, bool defends) {
  scenario = battleScenario;
  playerDefends = defends;
  suppliesExhausted = 0;
  supplyClock = 0.0f;
  incomeAccumulator = 0.0f;
  valueLost = 0.0f;
  valueOnField = 0.0f;
  armyValue = 0.0f;
  ClearDefenderScores();
  supplies = 0.0f;
  if (scenario) {
    supplies =
        defends ? scenario->classic.startingSuppliesDefender : scenario->classic.startingSuppliesAttacker;
  }
  ArmMessages();
}

void Gameplay::ArmMessages() {
  supplyCapMessageArmed = true;
  exhaustedMessageArmed = true;
}

const ClassicModeValues& Gameplay::Classic() const { return scenario ? scenario->classic : kNoClassicValues; }

bool Gameplay::IsRunning() const { return hooks.battleRunning ? hooks.battleRunning() : false; }

void Gameplay::CheckSupplyTime() {
  if (!IsRunning()) return;
  supplyClock += kCheckInterval;
  if (Classic().timeLimit < supplyClock && suppliesExhausted != 1) {
    suppliesExhausted = 1;
    if (hooks.clearAirDrops) hooks.clearAirDrops();
    if (hooks.rechooseAttackerMoodIfHoarding) hooks.rechooseAttackerMoodIfHoarding();
    if (!playerDefends && exhaustedMessageArmed) {
      exhaustedMessageArmed = false;
      if (hooks.postMessage) hooks.postMessage("MBM_SUPPLIES_EXHAUSTED");
      if (hooks.playAirRaidSiren) {
        hooks.playAirRaidSiren();
      } else {
        PlayAirRaidSiren();
      }
    }
    if (hooks.testOutcome) hooks.testOutcome();
  }
}

void Gameplay::UpdateIncome() {
  if (!IsRunning()) return;
  incomeAccumulator += kCheckInterval;
  if (!(incomeAccumulator > kIncomePeriod)) return;
  int periods = 0;
  while (incomeAccumulator > kIncomePeriod) {
    incomeAccumulator -= kIncomePeriod;
    ++periods;
  }

  const ClassicModeValues& values = Classic();
  // A time limit of 0 (or less) counts as already over, never as a division by zero.
  float t = values.timeLimit > 0.0f ? supplyClock / values.timeLimit : 1.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  float start = playerDefends ? values.suppliesPerSecondStart : values.attackSuppliesPerSecondStart;
  float end = playerDefends ? values.suppliesPerSecondEnd : values.attackSuppliesPerSecondEnd;
  float rate = start + t * (end - start);
  float income = static_cast<float>(periods) * rate / 10.0f;

  if (suppliesExhausted && !playerDefends) income = 0.0f;
  if (Difficulty == 0) {
    income *= 1.25f;
  } else if (Difficulty == 2) {
    income *= 0.75f;
  }

  float room = values.suppliesCap - supplies;
  if (room <= income) {
    if (supplyCapMessageArmed) {
      supplyCapMessageArmed = false;
      if (hooks.postMessage) hooks.postMessage("MBM_SUPPLYCAP_REACHED");
    }
    income = room;
  }
  if (income > 0.0f) SpendSupplies(-income);

  if (hooks.opponentSupplyStep) hooks.opponentSupplyStep();
}

void Gameplay::SpendSupplies(float amount) {
  supplies -= amount;
  const float cap = Classic().suppliesCap;
  if (IsRunning() && supplies > cap) supplies = cap;
  if (supplies < 0.0f) {
    LogErrorF("Supplies below zero: %.2f", static_cast<double>(supplies));
  }
  if (hooks.suppliesChanged) hooks.suppliesChanged();
  if (supplies < cap) supplyCapMessageArmed = true;
}

void Gameplay::TallyArmyValue(float playerArmyCost) {
  valueOnField = playerArmyCost;
  armyValue = valueLost + valueOnField + supplies;
  suppliesLeft = supplies;
  unitKillScore = valueLost;
  intactWorth = valueOnField;
  finalDefenderScore = armyValue;
}

void Gameplay::ClearDefenderScores() {
  suppliesLeft = 0.0f;
  unitKillScore = 0.0f;
  intactWorth = 0.0f;
  finalDefenderScore = 0.0f;
}

Gameplay& GetGameplay() {
  return ProcessWide<Gameplay>([](Gameplay& g) { g.LoadConstants("data/gameplay.ini"); });
}

void ConnectGameplayToDesigns() {
  GetDataHooks().defenderDefenceBonus = [] { return GetGameplay().DEFENDER_DEFENSE_BONUS; };
}

void PlayAirRaidSiren() { GetBattleSounds().PlayEffectSound("data/sounds/ztk_airraid_sirens.ogg"); }

void StepRateMeter::Reset() {
  rate = 1.0f;
  count = 0;
  started = false;
}

void StepRateMeter::Tick() { Tick(ClockMilliseconds()); }

void StepRateMeter::Tick(uint64_t nowMs) {
  if (!started) {
    // The first measurement needs a starting time, not the clock's origin.
    started = true;
    last = nowMs;
  }
  ++count;
  if (count <= 60) return;
  count = 0;
  uint64_t elapsed = nowMs > last ? nowMs - last : 0;
  last = nowMs;
  // 60 updates in under a millisecond (fast headless runs) would be an infinite rate.
  if (elapsed == 0) return;
  rate = static_cast<float>(1.0 / ((static_cast<double>(elapsed) / 60.0) * 0.0625));
}

StepRateMeter& GetStepRateMeter() { return ProcessWide<StepRateMeter>(); }
