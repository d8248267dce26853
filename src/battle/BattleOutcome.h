#pragma once
// Who won. The attacker scores victory points by bringing units through the map's
// exits; the clock and the supplies limit him. Once the time is up and the attacker
// has nothing left on the field and nothing more he can deploy, the attacker has won
// when his points reached the target, else the defender. A computer attacker that
// reaches the target wins at once against a defending player.
class SIM_BattleUnit;
class SIM_Scenario;

class SIM_BattleOutcomeManager {
 public:
  // The cheapest-design search starts above any real cost.
  static constexpr float kNoDesignCost = 99999.0f;
  // An infantry design is deployed as a squad: its cost counts this many times.
  static constexpr float kSquadCostFactor = 25.0f;

  SIM_BattleOutcomeManager() = default;
  virtual ~SIM_BattleOutcomeManager() = default;

  void Reset(SIM_Scenario* scenario);
  // A unit warped out: its hull's victory points count.
  void OnUnitExited(SIM_BattleUnit* unit);
  // The outcome test while the outcome is undecided.
  void TestIfUndecided();
  void Test();
  void AttackerWins();
  void DefenderWins();
  // Whether the attacking side can still deploy anything.
  bool AttackerCanDeploy() const;
  // The player's cheapest deployable design (kNoDesignCost when there is none).
  static float PlayerCheapestDesignCost();

  SIM_Scenario* scenario = nullptr;
  float total = 0.0f;
  float target = 0.0f;
  int testCount = 0;  // outcome tests run (the unit manager's removals trigger them)
  // The attacking player is told once that the target is reached.
  bool targetMessageArmed = true;
};

SIM_BattleOutcomeManager& GetOutcomeManager();
