#include "battle/TargetSelector.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/Squadron.h"
#include "battle/TargetedComponents.h"
#include "battle/WeaponEvents.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
float DistSq(const SIM_BattleUnit* a, const SIM_BattleUnit* b) {
  const float dx = a->x - b->x, dy = a->y - b->y;
  return dx * dx + dy * dy;
}

bool IsGoneState(int state) { return state == US_DESTROYED || state == US_GONE; }
}  // namespace

SIM_TargetSelector::SIM_TargetSelector(SIM_BattleUnit* owner, SIM_TargetedComponent* weapon)
    : owner(owner), weapon(weapon) {
  searchTimer = RandomFloat() * kSearchWithoutTargetMs;
  enemyArmy = (owner && owner->army) ? owner->army->enemy : nullptr;
  ZT_ASSERT(enemyArmy != nullptr);
  if (weapon) {
    maxRangeSq = weapon->maxRange * weapon->maxRange;
    minRangeSq = weapon->minRange * weapon->minRange;
  }
  ZT_ASSERT(maxRangeSq > 0.0f);
  // Most weapons have no minimum range: a missing min_range reads 0 and is no fault.
  ZT_ASSERT(minRangeSq >= 0.0f);
  const int st = owner ? owner->sizeType : SIZE_TANK;
  arc = st == SIZE_INFANTRY ? 90.0f : st == SIZE_MECH ? 180.0f : 360.0f;
  threatScoring = owner && !owner->isPlayers;
}

bool SIM_TargetSelector::ArcApplies() const { return arc < 360.0f && owner->state != US_SETTLED; }

void SIM_TargetSelector::Update() {
  if (orderedTarget) {
    const int s = orderedTarget->state;
    if (s == US_DEMOLISHING || IsGoneState(s)) {
      orderedTarget = nullptr;
      Retarget();
    }
  }
  if (!enabled) return;
  searchTimer += GetBattle().checkAccumulator;
  if (current) {
    if (ArcApplies() && !InArc(current->x, current->y)) current = nullptr;
    if (current) {
      const int s = current->state;
      if (s == US_DEMOLISHING || IsGoneState(s) || !InRange(current)) {
        current = nullptr;
        Retarget();
      }
    }
    if (searchTimer >= kSearchWithTargetMs) Retarget();
  } else if (searchTimer >= kSearchWithoutTargetMs) {
    Retarget();
  }
  if (current && IsGoneState(current->state)) Retarget();
  owner->target = current;
}

SIM_BattleUnit* SIM_TargetSelector::FromOrderedTarget() {
  if (!orderedTarget) return nullptr;
  if (orderedTarget->sizeType == SIZE_SQUADRON && !orderedTarget->IsSingleUnit()) {
    auto* squad = static_cast<SIM_BattleSquadron*>(orderedTarget);
    if (squad->members.empty()) {
      orderedTarget = nullptr;
      return nullptr;
    }
    for (SIM_BattleUnit* m : squad->members)
      if (IsValid(m)) return m;
    return nullptr;
  }
  return IsValid(orderedTarget) ? orderedTarget : nullptr;
}

void SIM_TargetSelector::Retarget() {
  if (SIM_BattleUnit* ordered = FromOrderedTarget()) {
    current = ordered;
    return;
  }
  FindBestTarget();
  if (current) {
    noTarget = false;
  } else {
    noTarget = true;
    FindNearestTarget();
  }
}

bool SIM_TargetSelector::IsValid(const SIM_BattleUnit* unit) const {
  if (!unit) return false;
  switch (unit->state) {
    case US_IN_DROPPER:
    case US_DROPPING_IN:
    case US_UNDER_CONSTRUCTION:
    case US_DEMOLISHING:
      return false;
    default:
      break;
  }
  if (DistSq(owner, unit) > 1.5f * maxRangeSq) return false;
  if (owner->sizeType != SIZE_INFANTRY || owner->state == US_SETTLED) return true;
  return InArc(unit->x, unit->y);
}

bool SIM_TargetSelector::InRange(const SIM_BattleUnit* unit) const {
  const float m = DistSq(owner, unit);
  return m >= minRangeSq && m <= maxRangeSq;
}

bool SIM_TargetSelector::InArc(float x, float y) const {
  const float bearing = HeadingDegrees(owner->x, owner->y, x, y);
  const float d = AngleDifference(bearing, owner->heading);
  if (owner->sizeType != SIZE_INFANTRY) return d < arc / 2.0f;
  // A soldier shoulders his weapon to one side: he covers less of the other.
  if (IsTurnPositive(owner->heading, bearing)) return d < 22.0f;
  return d < 45.0f;
}

void SIM_TargetSelector::FindBestTarget() {
  searchTimer = 0.0f;
  SIM_BattleUnit* best = nullptr;
  float bestScore = -1.0f;
  bool near = false;
  if (enemyArmy) {
    const float validSq = 1.5f * maxRangeSq;
    for (SIM_BattleUnit* u : enemyArmy->livingUnits) {
      // Distance first: most of a big army is too far to be valid, and this is cheap.
      const float m = DistSq(owner, u);
      if (m > validSq || !u->IsSingleUnit() || !IsValid(u)) continue;
      if (m > maxRangeSq) {
        if (m < 1.25f * maxRangeSq) near = true;
        continue;
      }
      if (m < minRangeSq) {
        near = true;
        continue;
      }
      if (ArcApplies() && !InArc(u->x, u->y)) continue;
      const float o = threatScoring ? (1.0f - 0.5f * ThreatValue(u)) * m : m;
      const float closeness = 1.0f - o / maxRangeSq;
      const float chance = weapon ? weapon->HitChance(u) : 0.0f;
      const float turn = AngleDifference(HeadingDegrees(owner->x, owner->y, u->x, u->y), owner->heading);
      const float turnPenalty = turn > 45.0f ? (turn - 45.0f) / 135.0f : 0.0f;
      const float score = chance * 100.0f + closeness * 10.0f - turnPenalty * 25.0f;
      if (score > bestScore) {
        bestScore = score;
        best = u;
      }
    }
  }
  current = best;
  if (owner->sizeType == SIZE_INFANTRY) InfantryAlert(owner, best != nullptr || near);
}

void SIM_TargetSelector::FindNearestTarget() {
  if (!enemyArmy) return;
  float nearest = 10000000.0f;
  const float validSq = 1.5f * maxRangeSq;
  for (SIM_BattleUnit* u : enemyArmy->livingUnits) {
    const float m = DistSq(owner, u);
    if (m > validSq || m >= nearest || !u->IsSingleUnit() || !IsValid(u)) continue;
    if (ArcApplies() && !InArc(u->x, u->y)) continue;
    if (m < nearest) {
      nearest = m;
      current = u;
    }
  }
}

float SIM_TargetSelector::ThreatValue(const SIM_BattleUnit* unit) const {
  const float health = unit->moduleManager ? unit->moduleManager->healthFraction : 1.0f;
  const float damage = std::clamp(1.0f - health, 0.0f, 1.0f);
  const float share = unit->damageTally ? std::clamp(unit->damageTally->share, 0.0f, 1.0f) : 0.0f;
  float v;
  if (owner->army && owner->army->side == SIDE_DEFENDER) {
    const float vp = (unit->design && unit->design->hull) ? unit->design->hull->victoryPoints : 0.0f;
    v = 0.3f * share + 0.4f * (vp / 1000.0f) + 0.3f * damage;
  } else {
    v = 0.5f * share + 0.5f * damage;
  }
  return std::clamp(v, 0.0f, 1.0f);
}
