#include "battle/SupportComponents.h"

#include <cmath>
#include <iterator>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"

namespace {
// Units that are dying, dead or leaving the map are covered by no one.
bool StillFighting(const SIM_BattleUnit* u) {
  if (u->removed) return false;
  switch (u->state) {
    case US_INACTIVE:
    case US_DESTROYED:
    case US_WARPING_OUT:
    case US_GONE:
      return false;
    default:
      return true;
  }
}
// One pulse's candidates; pulses never nest.
std::vector<SIM_BattleUnit*>& NearUnits() {
  static std::vector<SIM_BattleUnit*> units;
  return units;
}
}  // namespace

SIM_SupportComponent::SIM_SupportComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy,
                                           int kind)
    : SIM_Module(owner, type, sx, sy), kind(kind) {
  army = owner ? owner->army : nullptr;
  pulseRadius = DataFloat("pulse_radius");
  pulseRadiusSquared = pulseRadius * pulseRadius;
}

SIM_SupportComponent::~SIM_SupportComponent() { StopPulse(); }

std::list<SIM_SupportComponent*>& SIM_SupportComponent::ListOf(SIM_BattleUnit* u) const {
  switch (kind) {
    case KIND_REPAIR:
      return u->repairers;
    case KIND_HOSPITAL:
      return u->hospitals;
    default:
      return u->commanders;
  }
}

void SIM_SupportComponent::StopPulse() {
  for (const UnitLink& l : links) ListOf(l.unit).erase(l.entry);
  links.clear();
}

void SIM_SupportComponent::Link(SIM_BattleUnit* u) {
  std::list<SIM_SupportComponent*>& list = ListOf(u);
  list.push_back(this);
  links.push_back(UnitLink{u, std::prev(list.end())});
}

void SIM_SupportComponent::ForgetUnit(SIM_BattleUnit* u) {
  links.remove_if([u](const UnitLink& l) { return l.unit == u; });
}

void SIM_SupportComponent::RunPulseTimer() {
  if (!owner || owner->state == US_DEMOLISHING) return;
  pulseTimer += GetBattle().frameStep;
  if (pulseTimer > kPulseMs) {
    Pulse();
    pulseTimer = 0.0f;
  }
}

void SIM_SupportComponent::Update() { RunPulseTimer(); }

void SIM_SupportComponent::Pulse() {
  StopPulse();
  // The army is set when the carrier joins it, after its modules may have been built.
  if (!army && owner) army = owner->army;
  if (!owner || !army || !StillFighting(owner)) return;
  // The army's units within the radius, in living order (the squares hold no one
  // farther off who could be inside it).
  std::vector<SIM_BattleUnit*>& near = NearUnits();
  army->searchGrid.Collect(*army, owner->x, owner->y, std::fabs(pulseRadius), &near);
  for (SIM_BattleUnit* u : near) {
    if (!StillFighting(u) || !Covers(u)) continue;
    const float dx = u->x - owner->x, dy = u->y - owner->y;
    if (!(dx * dx + dy * dy < pulseRadiusSquared)) continue;
    Link(u);
  }
}

void SIM_SupportComponent::Destroy() {
  StopPulse();
  SIM_Module::Destroy();
}

bool SIM_CommandComponent::Covers(const SIM_BattleUnit* u) const {
  return u->moduleManager && !u->moduleManager->weapons.empty();
}

bool SIM_HospitalComponent::Covers(const SIM_BattleUnit* u) const { return u->sizeType == SIZE_INFANTRY; }

SIM_RepairComponent::SIM_RepairComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_SupportComponent(owner, type, sx, sy, KIND_REPAIR) {
  repairInterval = DataFloat("repair_interval");
  repairPoints = DataFloat("repair_points");
}

bool SIM_RepairComponent::Covers(const SIM_BattleUnit* u) const {
  return u != owner && u->sizeType != SIZE_INFANTRY && u->moduleManager != nullptr;
}

void SIM_RepairComponent::Update() {
  RunPulseTimer();
  repairTimer += GetBattle().frameStep;
  if (repairTimer > repairInterval) {
    repairTimer -= repairInterval;
    // A zero interval repairs once a check rather than piling up a backlog.
    if (repairTimer < 0.0f || repairInterval <= 0.0f) repairTimer = 0.0f;
    // Repairing can never unlink anyone, but copy anyway: the list is ours to change.
    std::vector<SIM_BattleUnit*> linked;
    linked.reserve(links.size());
    for (const UnitLink& l : links) linked.push_back(l.unit);
    for (SIM_BattleUnit* u : linked)
      if (u->moduleManager) u->moduleManager->RepairUnit(repairPoints);
  }
}
