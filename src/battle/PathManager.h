#pragma once
// A unit's route along the map's paths. Route planning is still to come: for now the
// manager counts checks towards a replan and holds the unit's grid cell.
class SIM_BattleUnit;

class SIM_BattlePathManager {
 public:
  static constexpr int kReplanEvery = 32;

  explicit SIM_BattlePathManager(SIM_BattleUnit* unit) : unit(unit) {}
  virtual ~SIM_BattlePathManager() = default;

  // The unit enters the collision grid at its position.
  void EnterGrid();
  void Replan() {}

  SIM_BattleUnit* unit = nullptr;
  int replanCounter = 0;
};
