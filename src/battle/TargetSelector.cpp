#include "battle/TargetSelector.h"

#include <algorithm>
#include <cmath>

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

// Still in the dropper or falling, being built, or being taken down: no target yet.
bool NotYetTargetable(int state) {
  switch (state) {
    case US_IN_DROPPER:
    case US_DROPPING_IN:
    case US_UNDER_CONSTRUCTION:
    case US_DEMOLISHING:
      return true;
    default:
      return false;
  }
}

// A nearest search takes only candidates nearer than this (squared distance).
constexpr float kNearestStart = 10000000.0f;
}  // namespace

SIM_TargetSelector::Candidates SIM_TargetSelector::candidates = SIM_TargetSelector::Candidates::kSquares;
int64_t SIM_TargetSelector::comparedSearches = 0;
int64_t SIM_TargetSelector::differingSearches = 0;

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
    if (ArcApplies() && !BearingInArc(owner->BearingTo(current->x, current->y))) current = nullptr;
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
    // Nothing moved since the best search, which noted the nearest on its way; a
    // comparing search still runs the nearest search itself and checks the two agree.
    if (candidates == Candidates::kCompare) {
      FindNearestTarget(true);
      ++comparedSearches;
      if (current != nearestSeen) ++differingSearches;
    } else {
      current = nearestSeen;
    }
  }
}

bool SIM_TargetSelector::IsValid(const SIM_BattleUnit* unit) const {
  if (!unit || NotYetTargetable(unit->state)) return false;
  if (DistSq(owner, unit) > 1.5f * maxRangeSq) return false;
  if (owner->sizeType != SIZE_INFANTRY || owner->state == US_SETTLED) return true;
  return InArc(unit->x, unit->y);
}

bool SIM_TargetSelector::InRange(const SIM_BattleUnit* unit) const {
  const float m = DistSq(owner, unit);
  return m >= minRangeSq && m <= maxRangeSq;
}

bool SIM_TargetSelector::InArc(float x, float y) const {
  return BearingInArc(HeadingDegrees(owner->x, owner->y, x, y));
}

bool SIM_TargetSelector::BearingInArc(float bearing) const {
  const float d = AngleDifference(bearing, owner->heading);
  if (owner->sizeType != SIZE_INFANTRY) return d < arc / 2.0f;
  // A soldier shoulders his weapon to one side: he covers less of the other.
  if (IsTurnPositive(owner->heading, bearing)) return d < 22.0f;
  return d < 45.0f;
}

void SIM_TargetSelector::GatherCandidates(bool wholeArmy, std::vector<SIM_BattleUnit*>* out) const {
  out->clear();
  if (!enemyArmy) return;
  if (wholeArmy) {
    out->assign(enemyArmy->livingUnits.begin(), enemyArmy->livingUnits.end());
    return;
  }
  // Nothing beyond 1.5 x the squared maximum range is valid; a little more keeps a unit
  // whose rounded distance just passes the test.
  const float reach = std::sqrt(1.5f * maxRangeSq) * 1.001f + 1.0f;
  enemyArmy->searchGrid.Collect(*enemyArmy, owner->x, owner->y, reach, out);
}

bool SIM_TargetSelector::ValidCandidate(const SIM_BattleUnit* unit, float* bearing) const {
  if (NotYetTargetable(unit->state)) return false;
  if (owner->sizeType != SIZE_INFANTRY || owner->state == US_SETTLED) return true;
  *bearing = HeadingDegrees(owner->x, owner->y, unit->x, unit->y);
  return BearingInArc(*bearing);
}

namespace {
// How far off the owner's heading a candidate lies, told from a dot product where that
// is clear by a degree or more, so the exact bearing (an arc tangent) is worked out only
// for candidates near an edge that matters: the soldier's 22 and 45 degree arc sides,
// the mech's 90, and the 45 beyond which the turn lowers the score.
enum Sense { kUnknown, kWithin21, kWithin44, kBeyond46, kBeyond91 };

// (dx, dy): from the owner to the candidate; m: its squared length as the search worked
// it out; (fx, fy): the owner's facing.
Sense SenseOf(float dx, float dy, float m, float fx, float fy) {
  // cos 21, 44, 46 and 91 degrees, squared.
  constexpr float kCos21Sq = 0.8715724f, kCos44Sq = 0.5174497f, kCos46Sq = 0.4825503f, kCos91Sq = 0.0003046f;
  // Outside these squared lengths the products lose the precision the margins need.
  constexpr float kNear = 1.0e-6f, kFar = 1.0e12f;
  if (!(m > kNear && m < kFar)) return kUnknown;
  const float dot = dx * fx + dy * fy;
  const float dot2 = dot * dot;
  if (dot > 0.0f) {
    if (dot2 > kCos21Sq * m) return kWithin21;
    if (dot2 > kCos44Sq * m) return kWithin44;
    if (dot2 < kCos46Sq * m) return kBeyond46;
    return kUnknown;
  }
  if (dot < 0.0f && dot2 > kCos91Sq * m) return kBeyond91;
  // A right angle or more.
  return dot <= 0.0f ? kBeyond46 : kUnknown;
}
}  // namespace

bool SIM_TargetSelector::Facing(float* fx, float* fy) {
  const float h = owner->heading;
  // The differences of the bearings only match the true angles for a heading in a turn.
  if (!(h >= 0.0f && h < 360.0f)) return false;
  if (!facingValid_ || SIM_BattleUnit::Bits(h) != facingBits_) {
    float c, s;
    SIM_BattleUnit::HeadingCosSin(h, &c, &s);
    facingX_ = s;
    facingY_ = -c;
    facingBits_ = SIM_BattleUnit::Bits(h);
    facingValid_ = true;
  }
  *fx = facingX_;
  *fy = facingY_;
  return true;
}

SIM_BattleUnit* SIM_TargetSelector::BestOf(const std::vector<SIM_BattleUnit*>& units, bool* near,
                                           SIM_BattleUnit** nearest) {
  SIM_BattleUnit* best = nullptr;
  float bestScore = -1.0f;
  const float validSq = 1.5f * maxRangeSq;
  const bool arcApplies = ArcApplies();
  // A soldier on his feet takes only enemies in his arc (ValidCandidate's test).
  const bool soldierArc = owner->sizeType == SIZE_INFANTRY && owner->state != US_SETTLED;
  // A mech's arc: within 90 degrees either side.
  const bool halfCircle = owner->sizeType != SIZE_INFANTRY && arc == 180.0f;
  // The owner's facing, looked up when first needed.
  int facing = -1;  // not yet known; 0: none to go by
  float fx = 0.0f, fy = 0.0f;
  float nearestSq = kNearestStart;
  if (nearest) *nearest = nullptr;
  for (SIM_BattleUnit* u : units) {
    // Distance first: most candidates are too far to be valid, and this is cheap.
    const float m = DistSq(owner, u);
    if (m > validSq || !u->IsSingleUnit() || NotYetTargetable(u->state)) continue;
    int sense = -1;  // not yet known
    const auto senseOf = [&]() {
      if (sense < 0) {
        if (facing < 0) facing = Facing(&fx, &fy) ? 1 : 0;
        sense = facing == 1 ? SenseOf(u->x - owner->x, u->y - owner->y, m, fx, fy) : kUnknown;
      }
      return sense;
    };
    // The bearing from the owner, worked out once per candidate when first needed.
    float bearing = -1.0f;
    int inArc = -1;  // not yet known
    if (soldierArc) {
      const int k = senseOf();
      if (k == kBeyond46 || k == kBeyond91) continue;
      if (k != kWithin21) {
        bearing = HeadingDegrees(owner->x, owner->y, u->x, u->y);
        if (!BearingInArc(bearing)) continue;
      }
      inArc = 1;
    }
    const auto arcOk = [&]() {
      if (inArc < 0) {
        const int k = arcApplies && halfCircle ? senseOf() : kUnknown;
        if (!arcApplies || k == kWithin21 || k == kWithin44) {
          inArc = 1;
        } else if (k == kBeyond91) {
          inArc = 0;
        } else {
          if (bearing < 0.0f) bearing = HeadingDegrees(owner->x, owner->y, u->x, u->y);
          inArc = BearingInArc(bearing) ? 1 : 0;
        }
      }
      return inArc == 1;
    };
    if (nearest && m < nearestSq && arcOk()) {
      nearestSq = m;
      *nearest = u;
    }
    if (m > maxRangeSq) {
      if (m < 1.25f * maxRangeSq) *near = true;
      continue;
    }
    if (m < minRangeSq) {
      *near = true;
      continue;
    }
    if (!arcOk()) continue;
    const float o = threatScoring ? (1.0f - 0.5f * ThreatValue(u)) * m : m;
    const float closeness = 1.0f - o / maxRangeSq;
    const float chance = weapon ? weapon->HitChance(u) : 0.0f;
    // The turn can only lower the score: a unit that would not beat the best even dead
    // ahead is passed over without working out its bearing.
    const float ahead = chance * 100.0f + closeness * 10.0f;
    if (!(ahead > bestScore)) continue;
    float score = ahead;
    // Within 44 degrees the turn costs nothing.
    const int k = senseOf();
    if (k != kWithin21 && k != kWithin44) {
      if (bearing < 0.0f) bearing = HeadingDegrees(owner->x, owner->y, u->x, u->y);
      const float turn = AngleDifference(bearing, owner->heading);
      const float turnPenalty = turn > 45.0f ? (turn - 45.0f) / 135.0f : 0.0f;
      score = ahead - turnPenalty * 25.0f;
    }
    if (score > bestScore) {
      bestScore = score;
      best = u;
    }
  }
  return best;
}

SIM_BattleUnit* SIM_TargetSelector::NearestOf(const std::vector<SIM_BattleUnit*>& units,
                                              SIM_BattleUnit* start) const {
  SIM_BattleUnit* chosen = start;
  float nearest = kNearestStart;
  const float validSq = 1.5f * maxRangeSq;
  const bool arcApplies = ArcApplies();
  for (SIM_BattleUnit* u : units) {
    const float m = DistSq(owner, u);
    float bearing = -1.0f;
    if (m > validSq || m >= nearest || !u->IsSingleUnit() || !ValidCandidate(u, &bearing)) continue;
    if (arcApplies) {
      if (bearing < 0.0f) bearing = HeadingDegrees(owner->x, owner->y, u->x, u->y);
      if (!BearingInArc(bearing)) continue;
    }
    if (m < nearest) {
      nearest = m;
      chosen = u;
    }
  }
  return chosen;
}

namespace {
// One search's candidates; searches never nest.
std::vector<SIM_BattleUnit*>& Scratch(int which) {
  static std::vector<SIM_BattleUnit*> lists[2];
  return lists[which];
}
}  // namespace

void SIM_TargetSelector::FindBestTarget() {
  searchTimer = 0.0f;
  std::vector<SIM_BattleUnit*>& units = Scratch(0);
  GatherCandidates(candidates == Candidates::kWholeArmy, &units);
  bool near = false;
  SIM_BattleUnit* best = BestOf(units, &near, &nearestSeen);
  if (candidates == Candidates::kCompare) {
    std::vector<SIM_BattleUnit*>& all = Scratch(1);
    GatherCandidates(true, &all);
    bool nearAll = false;
    SIM_BattleUnit* bestAll = BestOf(all, &nearAll);
    ++comparedSearches;
    if (bestAll != best || nearAll != near) ++differingSearches;
  }
  current = best;
  if (owner->sizeType == SIZE_INFANTRY) InfantryAlert(owner, best != nullptr || near);
}

void SIM_TargetSelector::FindNearestTarget(bool reuseCandidates) {
  if (!enemyArmy) return;
  std::vector<SIM_BattleUnit*>& units = Scratch(0);
  if (!reuseCandidates) GatherCandidates(candidates == Candidates::kWholeArmy, &units);
  SIM_BattleUnit* chosen = NearestOf(units, current);
  if (candidates == Candidates::kCompare) {
    std::vector<SIM_BattleUnit*>& all = Scratch(1);
    GatherCandidates(true, &all);
    ++comparedSearches;
    if (NearestOf(all, current) != chosen) ++differingSearches;
  }
  current = chosen;
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
