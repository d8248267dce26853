#pragma once
// Route threats: for each branch of a scenario's attack routes that starts at a fork,
// how strongly the defenders standing beside that branch threaten infantry, armour and
// shields. The AIs read a branch's totals through its entry square.
#include <functional>
#include <vector>

class SIM_MapSquare;
class SIM_ModuleType;
class SIM_Scenario;

// What the battle reports of the unit standing on a square.
struct RouteThreatOccupant {
  float damagePerSecond = 0.0f;            // of its weapon (a squad: its first member's)
  const SIM_ModuleType* weapon = nullptr;  // the weapon's module type; null: unarmed
  int count = 1;                           // a squad's living members, else 1
};

class SIM_RouteThreat {
 public:
  // Becomes the entry square's route threat (the square owns it) and traces the branch.
  SIM_RouteThreat(SIM_MapSquare* entry, const SIM_Scenario* scenario);
  virtual ~SIM_RouteThreat();
  SIM_RouteThreat(const SIM_RouteThreat&) = delete;
  SIM_RouteThreat& operator=(const SIM_RouteThreat&) = delete;

  // Totals the threat of the units on the covering squares and clears dirty.
  virtual void Recalculate();

  // The battle tells the route threats who stands where; without it nothing threatens.
  using OccupantQuery = std::function<bool(const SIM_MapSquare& square, RouteThreatOccupant& occupant)>;
  static void SetOccupantQuery(OccupantQuery query);

  float threatInfantry = 0.0f;
  float threatArmour = 0.0f;
  float threatShields = 0.0f;
  SIM_MapSquare* entry = nullptr;
  std::vector<SIM_MapSquare*> coveringSquares;  // defender squares beside the branch
  std::vector<SIM_MapSquare*> routeSquares;     // the branch, in the order traced
  const SIM_Scenario* scenario = nullptr;
  bool dirty = true;

 private:
  void Trace(SIM_MapSquare* square);
  void Cover(const SIM_MapSquare* square);
};

// Every live route threat, in creation order.
const std::vector<SIM_RouteThreat*>& AllRouteThreats();
// Marks dirty every route threat that the square covers (something on it changed).
void MarkRouteThreatsDirty(const SIM_MapSquare* square);
