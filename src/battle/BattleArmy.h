#pragma once
// One side of a battle: owns its units and squadrons and keeps the lists through which
// the rest of the battle finds them.
#include <cstdint>
#include <list>
#include <memory>

#include "battle/UnitSearchGrid.h"

class SIM_BattleUnit;
class SIM_BattleSquadron;
class SIM_UnitDesign;

enum ArmySide : int32_t { SIDE_ATTACKER = 0, SIDE_DEFENDER = 1, SIDE_UNASSIGNED = 2 };

class SIM_BattleArmy {
 public:
  // The most soldiers one squad can hold (its formation has 25 places).
  static constexpr int kMaxSquadSize = 25;

  SIM_BattleArmy() = default;
  virtual ~SIM_BattleArmy();
  SIM_BattleArmy(const SIM_BattleArmy&) = delete;
  SIM_BattleArmy& operator=(const SIM_BattleArmy&) = delete;

  // Takes ownership of the unit, sets its army, runs InitFromDesign.
  void AddUnit(SIM_BattleUnit* unit, SIM_UnitDesign* design);
  // Takes ownership of a squadron.
  void AddEntry(SIM_BattleUnit* squadron);
  // Deploys count units of a design on the square at (column, row); sideFlag set means
  // the defender's squares. Returns the units' lead (the unit or the squadron), null
  // when nothing was deployed.
  SIM_BattleUnit* DeployDesign(int column, int row, SIM_UnitDesign* design, int count, float heading,
                               bool sideFlag);
  // Spent supplies = sum over living units of cost x health fraction.
  float ComputeValue();
  void NormaliseShares();
  // End of battle: each rated unit's damage as a metrics sample.
  void ReportUnits();
  // Takes a unit out of the working lists (living, movers); the army still owns it.
  void RemoveLiving(SIM_BattleUnit* unit);
  bool IsPlayerArmy() const;
  int LivingCount() const { return static_cast<int>(livingUnits.size()); }

  std::list<SIM_BattleUnit*> squadrons;  // owned
  std::list<SIM_BattleUnit*> livingUnits;
  std::list<SIM_BattleUnit*> movers;
  std::list<SIM_BattleUnit*> allUnits;  // owned
  // Counts every change the army makes to livingUnits: a search grid reuses its copy
  // of the list while the count and the size hold.
  uint64_t livingChanges = 0;
  // The living units by square, for target searches of the other side.
  SIM_UnitSearchGrid searchGrid;
  SIM_BattleArmy* enemy = nullptr;
  float spentSupplies = 0.0f;
  // Set by the battle start; the attacker's soldiers leave footprints and its units show
  // their victory points to the defender.
  int32_t side = SIDE_UNASSIGNED;
  bool tearingDown = false;
};
