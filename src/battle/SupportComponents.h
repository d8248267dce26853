#pragma once
// Support modules act on friendly units around their carrier by linking themselves to
// them. Only the links are kept here; the pulses that make them are still to come, so
// for now a support module links nothing.
#include <list>

#include "battle/Module.h"

class SIM_BattleArmy;

class SIM_SupportComponent : public SIM_Module {
 public:
  // Which of a unit's three support lists the module joins.
  enum Kind { KIND_REPAIR = 0, KIND_HOSPITAL = 1, KIND_COMMAND = 2 };

  SIM_SupportComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY, int kind);
  ~SIM_SupportComponent() override;

  virtual void Pulse() {}
  // Leaves the lists of every unit linked last time and forgets them.
  virtual void StopPulse();
  // A linked unit is going away: forget it without touching its lists.
  void ForgetUnit(SIM_BattleUnit* unit) { linkedUnits.remove(unit); }

  int kind = KIND_REPAIR;
  SIM_BattleArmy* army = nullptr;
  float pulseRadius = 0.0f;
  float pulseRadiusSquared = 0.0f;
  std::list<SIM_BattleUnit*> linkedUnits;
  float pulseTimer = 0.0f;
};

class SIM_CommandComponent : public SIM_SupportComponent {
 public:
  SIM_CommandComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY)
      : SIM_SupportComponent(owner, type, slotX, slotY, KIND_COMMAND) {}
};

class SIM_HospitalComponent : public SIM_SupportComponent {
 public:
  SIM_HospitalComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY)
      : SIM_SupportComponent(owner, type, slotX, slotY, KIND_HOSPITAL) {}
};

class SIM_RepairComponent : public SIM_SupportComponent {
 public:
  SIM_RepairComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);

  float repairTimer = 0.0f;
  float repairInterval = 0.0f;
  float repairPoints = 0.0f;
};
