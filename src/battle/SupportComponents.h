#pragma once
// Support modules act on friendly units around their carrier. Every 200 ms of battle
// time a support module pulses: it forgets the units it covered and links itself to
// every friendly unit of its kind strictly inside its radius. The links are the effect:
// a unit linked to a command module reloads faster, one linked to a hospital takes
// less damage, and a repair module repairs the units it is linked to on its own timer.
#include <list>

#include "battle/Module.h"

class SIM_BattleArmy;

class SIM_SupportComponent : public SIM_Module {
 public:
  // Which of a unit's three support lists the module joins.
  enum Kind { KIND_REPAIR = 0, KIND_HOSPITAL = 1, KIND_COMMAND = 2 };
  // Battle time between pulses (ms of frame step).
  static constexpr float kPulseMs = 200.0f;

  SIM_SupportComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY, int kind);
  ~SIM_SupportComponent() override;

  // The 64 ms check: runs the pulse timer (not while the carrier is being demolished).
  void Update() override;
  bool HasCheckStep() const override { return true; }
  // A carrier that dies, warps out or finishes its demolition stops covering anyone.
  void StopEffects() override { StopPulse(); }
  void Destroy() override;

  // Unlinks, then links every friendly unit of the module's kind inside the radius.
  virtual void Pulse();
  // Leaves the lists of every unit linked last time and forgets them.
  virtual void StopPulse();
  // Whether a unit of the carrier's army is one this kind of module covers.
  virtual bool Covers(const SIM_BattleUnit* unit) const = 0;
  // Adds the module to the unit's list of its kind and the unit to the module's links.
  void Link(SIM_BattleUnit* unit);
  // A linked unit is going away: forget it without touching its lists.
  void ForgetUnit(SIM_BattleUnit* unit);

  // One covered unit, with the module's own entry in that unit's list: a pulse cuts its
  // links without searching lists that hold every supporter in reach.
  struct UnitLink {
    SIM_BattleUnit* unit;
    std::list<SIM_SupportComponent*>::iterator entry;
  };

  int kind = KIND_REPAIR;
  SIM_BattleArmy* army = nullptr;
  float pulseRadius = 0.0f;
  float pulseRadiusSquared = 0.0f;
  // The covered units in the order the last pulse linked them.
  std::list<UnitLink> links;
  float pulseTimer = 0.0f;

 protected:
  void RunPulseTimer();
  std::list<SIM_SupportComponent*>& ListOf(SIM_BattleUnit* unit) const;
};

class SIM_CommandComponent : public SIM_SupportComponent {
 public:
  SIM_CommandComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY)
      : SIM_SupportComponent(owner, type, slotX, slotY, KIND_COMMAND) {}
  // Armed units, the carrier included.
  bool Covers(const SIM_BattleUnit* unit) const override;
};

class SIM_HospitalComponent : public SIM_SupportComponent {
 public:
  SIM_HospitalComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY)
      : SIM_SupportComponent(owner, type, slotX, slotY, KIND_HOSPITAL) {}
  // Infantry.
  bool Covers(const SIM_BattleUnit* unit) const override;
};

class SIM_RepairComponent : public SIM_SupportComponent {
 public:
  SIM_RepairComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  // Vehicles and buildings other than the carrier.
  bool Covers(const SIM_BattleUnit* unit) const override;
  // The pulse timer, then the repair timer (which runs during demolition too).
  void Update() override;

  float repairTimer = 0.0f;
  float repairInterval = 0.0f;
  float repairPoints = 0.0f;
};
