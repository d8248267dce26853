#pragma once
// The process-wide list of every live battle unit: runs the per-frame and per-check
// steps of all units and takes out those that died or left the map.
#include <list>

class SIM_BattleUnit;

class SIM_BattleUnitManager {
 public:
  SIM_BattleUnitManager() = default;
  virtual ~SIM_BattleUnitManager() = default;
  SIM_BattleUnitManager(const SIM_BattleUnitManager&) = delete;
  SIM_BattleUnitManager& operator=(const SIM_BattleUnitManager&) = delete;

  // Battle start: empties the dead and exited lists, share timers 0 and 250.
  void Reset();
  void ClearSelection();
  // Every frame while the battle is not paused.
  void UpdateFrame();
  // Every 64 ms check.
  void UpdateCheck();

  void Register(SIM_BattleUnit* unit);
  void Unregister(SIM_BattleUnit* unit);
  void AddDead(SIM_BattleUnit* unit);
  void AddExited(SIM_BattleUnit* unit);

  std::list<SIM_BattleUnit*> allUnits;
  std::list<SIM_BattleUnit*> dead;
  std::list<SIM_BattleUnit*> exited;
  float opponentShareTimer = 0.0f;
  float playerShareTimer = 250.0f;
};

SIM_BattleUnitManager& GetBattleUnitManager();
// True once the manager exists (destructors must not build it again at exit).
bool BattleUnitManagerExists();
