#pragma once
// Per-hull deployment limits. The regeneration rules are still to come; the battle
// resets and steps them through these calls.
class SIM_SupplyLimits {
 public:
  virtual ~SIM_SupplyLimits() = default;
  void Reset() {}
  void Update() {}
};

SIM_SupplyLimits& GetSupplyLimits();
