#pragma once
// After the battle the statistics window groups the player's units per unit design and
// totals and averages what they achieved (UnitBattleStats).
#include <list>
#include <memory>

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_UnitDesign;

enum BattleStatIndex : int {
  STAT_TOTAL_DAMAGE = 0,
  STAT_SHIELD_DAMAGE = 1,
  STAT_ARMOUR_DAMAGE = 2,
  STAT_HULL_DAMAGE = 3,
  STAT_SHOTS_FIRED = 4,
  STAT_ESCAPED = 5,
  STAT_COUNT = 6
};

// The strings-table keys the window shows the six values under.
extern const char* const kBattleStatKeys[STAT_COUNT];

class BattleStatsGroup {
 public:
  virtual ~BattleStatsGroup() = default;
  // Sums over the units and averages per unit.
  void Compute();

  float averages[STAT_COUNT] = {};
  float sums[STAT_COUNT] = {};
  std::list<SIM_BattleUnit*> units;  // army order, not owned
  const SIM_UnitDesign* design = nullptr;
};

class SIM_BattleStatsDatabase {
 public:
  virtual ~SIM_BattleStatsDatabase() = default;
  void Clear();
  // Groups the units of the player's army (the fallen ones too) by design, in order of
  // each design's first unit.
  void Build();
  void Build(const SIM_BattleArmy* army);
  const BattleStatsGroup* FindGroup(const SIM_UnitDesign* design) const;

  std::list<std::unique_ptr<BattleStatsGroup>> groups;
};

// The six values of a unit's statistics by index.
float BattleStatValue(const SIM_BattleUnit& unit, int index);
