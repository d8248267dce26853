#pragma once
// Weapons: modules that pick a target and fire at it. Targeting, firing and the
// projectiles are still to come; for now a weapon knows its warhead and its
// effectiveness against each layer (what the damage rule needs) and never fires.
#include <list>

#include "battle/Module.h"

class SIM_TargetedComponent : public SIM_Module {
 public:
  SIM_TargetedComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  bool IsWeapon() const override { return true; }
  // How far the weapon is through its reload, 0..1.
  virtual float ReadyFraction() const { return 1.0f; }
  // Fires at the owner's target; false when no shot left.
  virtual bool Fire() { return false; }

  int warhead = WARHEAD_NONE;
  float effectiveVsShield = 0.0f;
  float effectiveVsArmour = 0.0f;
  float effectiveVsInternal = 0.0f;
};

class SIM_BeamLaserComponent : public SIM_TargetedComponent {
 public:
  using SIM_TargetedComponent::SIM_TargetedComponent;
};

class SIM_AmmoUsingComponent : public SIM_TargetedComponent {
 public:
  using SIM_TargetedComponent::SIM_TargetedComponent;
  bool UsesAmmo() const override { return true; }
};

class SIM_FlamethrowerComponent : public SIM_AmmoUsingComponent {
 public:
  using SIM_AmmoUsingComponent::SIM_AmmoUsingComponent;
};

class SIM_KineticWeaponComponent : public SIM_AmmoUsingComponent {
 public:
  using SIM_AmmoUsingComponent::SIM_AmmoUsingComponent;
};

class SIM_MissileLauncherComponent : public SIM_AmmoUsingComponent {
 public:
  using SIM_AmmoUsingComponent::SIM_AmmoUsingComponent;
};

// The units whose beam laser has its looped sound running, one entry per firing unit
// (beam fire adds, beam end removes). A unit being deleted takes itself out.
std::list<SIM_BattleUnit*>& RunningBeamSounds();
// Every frame: an entry whose unit was destroyed or has left the map is a beam that
// never ended; each is logged ("Error"). Returns how many were found.
int CheckRunningBeamSounds();
// Takes a unit out of the running-beam list (the unit is going away).
void ForgetRunningBeamSounds(const SIM_BattleUnit* unit);
