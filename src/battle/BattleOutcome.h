#pragma once
// Counts the attacker's victory points. The decision rules are still to come: for
// now the test never decides, so a battle runs until it is ended by other means.
class SIM_BattleUnit;
class SIM_Scenario;

class SIM_BattleOutcomeManager {
 public:
  SIM_BattleOutcomeManager() = default;
  virtual ~SIM_BattleOutcomeManager() = default;

  void Reset(SIM_Scenario* scenario);
  // A unit warped out: its hull's victory points count.
  void OnUnitExited(SIM_BattleUnit* unit);
  void TestIfUndecided();
  void Test() {}

  SIM_Scenario* scenario = nullptr;
  float total = 0.0f;
  float target = 0.0f;
  int testCount = 0;  // outcome tests run (the unit manager's removals trigger them)
};

SIM_BattleOutcomeManager& GetOutcomeManager();
