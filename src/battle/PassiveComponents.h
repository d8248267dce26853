#pragma once
// The modules that do not fire: armour soaks damage after the shields, shields soak it
// first and recharge, engines give thrust, variable components raise one unit variable
// and supply components carry no behaviour of their own.
#include <string>

#include "battle/Module.h"

class SIM_ArmorComponent : public SIM_Module {
 public:
  SIM_ArmorComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  void ApplyUpgrades() override;
  // Armour first: 1 unit of budget restores 4 armour points.
  float Repair(float amount) override;
  // Takes up to amount off the armour points; returns what was taken.
  float Absorb(float amount);

  float armour = 0.0f;
  float maxArmour = 0.0f;
};

class SIM_EngineComponent : public SIM_Module {
 public:
  SIM_EngineComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  void ApplyUpgrades() override;
  void Update() override;
  bool HasCheckStep() const override { return true; }

  float thrust = 0.0f;
  float maxThrust = 0.0f;
};

class SIM_ShieldComponent : public SIM_Module {
 public:
  SIM_ShieldComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  void ApplyUpgrades() override;
  // Recharge, once per 64 ms check.
  void Update() override;
  bool HasCheckStep() const override { return true; }
  // Any repair call switches a knocked-down shield back on.
  float Repair(float amount) override;
  // Absorbs from amount (in shield terms); returns what is left.
  float Absorb(float amount);

  float maxShield = 0.0f;
  float shield = 0.0f;
  float rechargeRate = 0.0f;  // points per ms of frame step
  unsigned char active = 1;
  std::string shieldTexture;
};

class SIM_VariableComponent : public SIM_Module {
 public:
  SIM_VariableComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);

  int variableIndex = 0;
  float value = 0.0f;
};

class SIM_SupplyComponent : public SIM_Module {
 public:
  using SIM_Module::SIM_Module;
};
