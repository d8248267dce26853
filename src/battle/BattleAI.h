#pragma once
// The computer opponents. Their choices are still to come: for now neither deploys
// anything, so the set-up loops end on their first pass.
class SIM_ClassicAttackerAI {
 public:
  virtual ~SIM_ClassicAttackerAI() = default;
  void Reset() {}
  // Battle-start preparation; returns the number of units deployed.
  int PrepareBattleStart() { return 0; }
  // One 64 ms step; returns the number of units deployed.
  int Step() { return 0; }
  void SupplyStep() {}
  float supplies = 0.0f;
};

class SIM_DefenderAI {
 public:
  virtual ~SIM_DefenderAI() = default;
  void Reset() {}
  // One step; returns the number of units deployed.
  int Step() { return 0; }
  void SupplyStep() {}
  // Supplies still to spend and the two thresholds the set-up loop compares with.
  float remainingSupplies = 0.0f;
  float thresholdA = 0.0f;
  float thresholdB = 0.0f;
};

SIM_ClassicAttackerAI& GetAttackerAI();
SIM_DefenderAI& GetDefenderAI();
