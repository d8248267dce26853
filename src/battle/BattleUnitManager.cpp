#include "battle/BattleUnitManager.h"

#include <algorithm>
#include <memory>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/BattleView.h"
#include "battle/UnitSearchGrid.h"
#include "engine/Singletons.h"

namespace {
void PushOnce(std::list<SIM_BattleUnit*>& list, SIM_BattleUnit* unit) {
  if (std::find(list.begin(), list.end(), unit) == list.end()) list.push_back(unit);
}

}  // namespace

// The unit leaves the battle's working lists; its visual lives on as a wreck.
void SIM_BattleUnitManager::TakeOut(SIM_BattleUnit* u) {
  if (u->army) u->army->RemoveLiving(u);
  Forget(u);
  if (u->visual) {
    u->visual->DetachUnit();
    GetBattleView().KeepWreck(std::move(u->visual));
  }
}

void SIM_BattleUnitManager::Forget(SIM_BattleUnit* unit) {
  // A unit registers once: the search ends where it is found.
  const auto it = std::find(allUnits.begin(), allUnits.end(), unit);
  if (it != allUnits.end()) allUnits.erase(it);
  walkRanks_.erase(unit);
  if (walking_ > 0) {
    for (std::vector<SIM_BattleUnit*>* order : {&walkOrder_, &effectUnits_})
      for (SIM_BattleUnit*& u : *order)
        if (u == unit) {
          u = nullptr;
          holes_ = true;
        }
    return;
  }
  walkOrder_.erase(std::remove(walkOrder_.begin(), walkOrder_.end(), unit), walkOrder_.end());
  effectUnits_.erase(std::remove(effectUnits_.begin(), effectUnits_.end(), unit), effectUnits_.end());
}

void SIM_BattleUnitManager::CloseHoles() {
  walkOrder_.erase(std::remove(walkOrder_.begin(), walkOrder_.end(), nullptr), walkOrder_.end());
  effectUnits_.erase(std::remove(effectUnits_.begin(), effectUnits_.end(), nullptr), effectUnits_.end());
  holes_ = false;
}

void SIM_BattleUnitManager::ListFrameEffectUnits() {
  effectUnits_.clear();
  for (SIM_BattleUnit* u : walkOrder_)
    if (u && u->frameEffects) effectUnits_.push_back(u);
  effectsListed_ = true;
}

SIM_BattleUnitManager& GetBattleUnitManager() { return ProcessWide<SIM_BattleUnitManager>(); }

bool BattleUnitManagerExists() { return ProcessWideIfAlive<SIM_BattleUnitManager>() != nullptr; }

void SIM_BattleUnitManager::Reset() {
  dead.clear();
  exited.clear();
  opponentShareTimer = 0.0f;
  playerShareTimer = 250.0f;
}

void SIM_BattleUnitManager::ClearSelection() {
  for (SIM_BattleUnit* u : allUnits) u->selected = false;
}

void SIM_BattleUnitManager::Register(SIM_BattleUnit* unit) {
  allUnits.push_back(unit);
  walkOrder_.push_back(unit);
  walkRanks_.emplace(unit, registrations_++);
  if (effectsListed_) effectUnits_.push_back(unit);
}

void SIM_BattleUnitManager::Unregister(SIM_BattleUnit* unit) {
  Forget(unit);
  dead.remove(unit);
  exited.remove(unit);
}

void SIM_BattleUnitManager::AddDead(SIM_BattleUnit* unit) { PushOnce(dead, unit); }
void SIM_BattleUnitManager::AddExited(SIM_BattleUnit* unit) { PushOnce(exited, unit); }

void SIM_BattleUnitManager::UpdateFrame() {
  // Units move in this walk: the target searches' squares are filled again after it.
  SIM_UnitSearchGrid::MarkAllStale();
  // Creation order; units added during the walk are updated in the same frame.
  ForEachUnitAhead([](SIM_BattleUnit* u) { u->Update(); }, [](const SIM_BattleUnit* u) { u->PrefetchUnit(); },
                   [](const SIM_BattleUnit* u) { u->PrefetchForUpdate(); });
  SIM_UnitSearchGrid::MarkAllStale();

  const bool removedAny = !dead.empty() || !exited.empty();
  for (SIM_BattleUnit* u : dead) TakeOut(u);
  dead.clear();
  for (SIM_BattleUnit* u : exited) {
    GetOutcomeManager().OnUnitExited(u);
    TakeOut(u);
  }
  exited.clear();
  if (removedAny && GetBattle().outcome == OUTCOME_UNDECIDED) GetOutcomeManager().TestIfUndecided();
}

void SIM_BattleUnitManager::UpdateCheck() {
  SIM_UnitSearchGrid::MarkAllStale();
  ForEachUnitAhead([](SIM_BattleUnit* u) { u->Think(); }, [](const SIM_BattleUnit* u) { u->PrefetchUnit(); },
                   [](const SIM_BattleUnit* u) { u->PrefetchForThink(); });
  SIM_Battle& battle = GetBattle();
  // The fixed period, not the accumulated check length: shares refresh every 512 ms.
  opponentShareTimer += 64.0f;
  if (opponentShareTimer > 500.0f) {
    opponentShareTimer = 0.0f;
    if (battle.opponentArmy) battle.opponentArmy->NormaliseShares();
  }
  playerShareTimer += 64.0f;
  if (playerShareTimer > 500.0f) {
    playerShareTimer = 0.0f;
    if (battle.playerArmy) battle.playerArmy->NormaliseShares();
  }
}
