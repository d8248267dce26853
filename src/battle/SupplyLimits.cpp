#include "battle/SupplyLimits.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
SupplyLimitEntry* FindIn(std::list<std::unique_ptr<SupplyLimitEntry>>& list, const std::string& name) {
  for (auto& e : list)
    if (e->hullName == name) return e.get();
  return nullptr;
}

void AddOnce(std::list<std::unique_ptr<SupplyLimitEntry>>& list, const std::string& name) {
  if (FindIn(list, name)) return;
  auto e = std::make_unique<SupplyLimitEntry>();
  e->hullName = name;
  list.push_back(std::move(e));
}
}  // namespace

bool IsSupplyDesign(const SIM_UnitDesign* design) {
  return design && design->CountModulesOfClass("SIM_SupplyComponent") > 0;
}

void SIM_SupplyLimits::Reset() {
  playerEntries.clear();
  aiEntries.clear();
  playerTrucks = 0;
  aiTrucks = 0;
  for (const auto& hull : SIM_UnitHullManager::Get().All()) {
    AddOnce(playerEntries, hull->name);
    AddOnce(aiEntries, hull->name);
  }
}

bool SIM_SupplyLimits::Regenerate(SupplyLimitEntry& e, float step) {
  if (e.count >= kMaxReady) return false;
  e.timer += step;
  if (!(e.timer > kRegenerateMs)) return false;
  const bool wasEmpty = e.count == 0;
  e.count += 1;
  e.timer = e.count < kMaxReady ? e.timer - kRegenerateMs : 0.0f;
  return wasEmpty;
}

void SIM_SupplyLimits::Update() {
  const float step = BattleExists() ? GetBattle().frameStep : 0.0f;
  bool refresh = false;
  for (auto& e : playerEntries) refresh = Regenerate(*e, step) || refresh;
  for (auto& e : aiEntries) Regenerate(*e, step);
  // A hull back from none is offered again on screen.
  BattleHooks& hooks = GetBattleHooks();
  if (refresh && hooks.refreshDeploymentWindow) hooks.refreshDeploymentWindow();
}

SupplyLimitEntry* SIM_SupplyLimits::FindPlayerEntry(const std::string& name) {
  return FindIn(playerEntries, name);
}

SupplyLimitEntry* SIM_SupplyLimits::FindAIEntry(const std::string& name) { return FindIn(aiEntries, name); }

bool SIM_SupplyLimits::CanDeploy(const SIM_UnitDesign* design) {
  if (!design) return false;
  if (IsSupplyDesign(design)) return aiTrucks > 0;
  if (!design->hull) return false;
  const SupplyLimitEntry* e = FindAIEntry(design->hull->name);
  return !e || e->count > 0;
}

void SIM_SupplyLimits::SpendPlayer(const std::string& hullName) {
  SupplyLimitEntry* e = FindPlayerEntry(hullName);
  if (!e) return;
  if (e->count >= kMaxReady) e->timer = 0.0f;
  e->count = std::max(e->count - 1, 0);
}

void SIM_SupplyLimits::AddPlayerTrucks(int amount) {
  playerTrucks = std::clamp(playerTrucks + amount, 0, kMaxTrucks);
  BattleHooks& hooks = GetBattleHooks();
  if (amount > 0 && hooks.refreshDeploymentWindow) hooks.refreshDeploymentWindow();
}

void SIM_SupplyLimits::AddAITrucks(int amount) { aiTrucks = std::clamp(aiTrucks + amount, 0, kMaxTrucks); }
