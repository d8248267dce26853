#pragma once
// Each weapon's target selector: keeps the weapon's current target, drops it when it
// dies or leaves the range or the arc, and searches again on a timer (every 300 ms of
// check time without a target, every 600 ms with one). A search scores every valid
// enemy by hit chance, closeness and how far the unit must turn, and falls back to the
// nearest valid enemy when none scores. An ordered target is tried first.
#include <cstdint>
#include <vector>

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_TargetedComponent;

class SIM_TargetSelector {
 public:
  static constexpr float kSearchWithoutTargetMs = 300.0f;
  static constexpr float kSearchWithTargetMs = 600.0f;

  // Where a search finds its candidates. kSquares reads only the enemy's squares within
  // reach; kWholeArmy walks the whole enemy army (the reference the squares must match);
  // kCompare does both, keeps the squares' choice and counts every difference.
  enum class Candidates { kSquares, kWholeArmy, kCompare };
  static Candidates candidates;
  static int64_t comparedSearches;
  static int64_t differingSearches;

  // Built by the weapon after its upgrades (ranges known).
  SIM_TargetSelector(SIM_BattleUnit* owner, SIM_TargetedComponent* weapon);
  virtual ~SIM_TargetSelector() = default;
  SIM_TargetSelector(const SIM_TargetSelector&) = delete;
  SIM_TargetSelector& operator=(const SIM_TargetSelector&) = delete;

  // Once per check from the weapon's update.
  void Update();
  // Ordered target first, else the best scored target, else the nearest.
  void Retarget();
  bool IsValid(const SIM_BattleUnit* unit) const;
  bool InArc(float x, float y) const;
  // The same for the bearing from the owner already worked out.
  bool BearingInArc(float bearing) const;
  bool InRange(const SIM_BattleUnit* unit) const;
  void FindBestTarget();
  // reuseCandidates: the best search just gathered the candidates, nothing moved since.
  void FindNearestTarget(bool reuseCandidates = false);
  float ThreatValue(const SIM_BattleUnit* unit) const;
  // True when the arc limits targets now (not a full circle, unit not settled).
  bool ArcApplies() const;

  SIM_BattleUnit* owner = nullptr;
  SIM_BattleUnit* orderedTarget = nullptr;
  SIM_BattleUnit* current = nullptr;
  float searchTimer = 0.0f;
  SIM_BattleArmy* enemyArmy = nullptr;
  SIM_TargetedComponent* weapon = nullptr;
  float maxRangeSq = 0.0f;
  float minRangeSq = 0.0f;
  float arc = 360.0f;
  bool enabled = true;
  bool noTarget = true;
  bool threatScoring = false;

 private:
  // The ordered target (or, for a squadron, its first valid member); null when none.
  SIM_BattleUnit* FromOrderedTarget();
  // The enemies a search looks at, in army order, from the squares or the whole army.
  void GatherCandidates(bool wholeArmy, std::vector<SIM_BattleUnit*>* out) const;
  // IsValid for a candidate already known to be within 1.5 x the maximum range; sets
  // bearing when it had to work it out.
  bool ValidCandidate(const SIM_BattleUnit* unit, float* bearing) const;
  // The nearest valid candidate the last best search passed over.
  SIM_BattleUnit* nearestSeen = nullptr;
  // The scored choice among the candidates; near is set when an enemy marked near.
  // With nearest, also what NearestOf(units, nullptr) would choose, in the same pass.
  SIM_BattleUnit* BestOf(const std::vector<SIM_BattleUnit*>& units, bool* near,
                         SIM_BattleUnit** nearest = nullptr);
  // The owner's facing as a unit vector, kept while the heading holds; false for a
  // heading outside a turn (the arc tests then work out every bearing).
  bool Facing(float* fx, float* fy);
  uint32_t facingBits_ = 0;
  float facingX_ = 0.0f, facingY_ = 0.0f;
  bool facingValid_ = false;
  // The nearest valid candidate, or start when none is nearer than the start value.
  SIM_BattleUnit* NearestOf(const std::vector<SIM_BattleUnit*>& units, SIM_BattleUnit* start) const;
};
