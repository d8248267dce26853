#include "battle/PassiveComponents.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battle/UnitVariables.h"

namespace {
bool IsBuilding(const SIM_BattleUnit* unit) { return unit && unit->sizeType == SIZE_BUILDING; }
}  // namespace

// ------------------------------------------------------------------- armour

SIM_ArmorComponent::SIM_ArmorComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  maxArmour = DataFloat("maxdamageabsorbable");
  if (IsBuilding(owner)) maxArmour *= GetGameplay().DEFENDER_DEFENSE_BONUS;
  armour = maxArmour;
}

void SIM_ArmorComponent::ApplyUpgrades() {
  SIM_Module::ApplyUpgrades();
  maxArmour *= 1.0f + UnitVariable(UVT_ARMORSTRENGTH);
  armour = maxArmour;
}

float SIM_ArmorComponent::Repair(float amount) {
  if (armour < maxArmour) {
    armour = std::min(armour + 4.0f * amount, maxArmour);
    if (owner && owner->unitVariables) owner->unitVariables->Recompute();
    return amount;
  }
  return SIM_Module::Repair(amount);
}

float SIM_ArmorComponent::Absorb(float amount) {
  if (amount <= 0.0f || armour <= 0.0f) return 0.0f;
  const float taken = std::min(amount, armour);
  armour -= taken;
  return taken;
}

// ------------------------------------------------------------------- engine

SIM_EngineComponent::SIM_EngineComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  maxThrust = DataFloat("thrust");
  thrust = maxThrust;
}

void SIM_EngineComponent::ApplyUpgrades() {
  SIM_Module::ApplyUpgrades();
  maxThrust *= 1.0f + UnitVariable(UVT_SPEED_BONUS);
  thrust = maxThrust;
}

void SIM_EngineComponent::Update() { thrust = maxThrust; }

// ------------------------------------------------------------------- shield

SIM_ShieldComponent::SIM_ShieldComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  maxShield = DataFloat("shieldpoints");
  if (IsBuilding(owner)) maxShield *= GetGameplay().DEFENDER_DEFENSE_BONUS;
  shield = maxShield;
  rechargeRate = DataFloat("recharge rate");
  shieldTexture = DataText("shieldtexture");
}

void SIM_ShieldComponent::ApplyUpgrades() {
  SIM_Module::ApplyUpgrades();
  maxShield *= 1.0f + UnitVariable(UVT_SHIELDSTRENGTH);
  shield = maxShield;
}

void SIM_ShieldComponent::Update() {
  if (!active) return;
  // Once per check, by one frame's step: recharge is deliberately slow.
  if (shield < maxShield) shield = std::min(shield + rechargeRate * GetBattle().frameStep, maxShield);
  if (owner && owner->moduleManager) owner->moduleManager->RecountShields();
}

float SIM_ShieldComponent::Repair(float amount) {
  const float used = SIM_Module::Repair(amount);
  active = 1;
  return used;
}

float SIM_ShieldComponent::Absorb(float amount) {
  if (shield <= 0.0f) return amount;
  const float take = std::min(amount, shield);
  shield -= take;
  if (shield <= 0.0f) active = 0;
  return amount - take;
}

// ----------------------------------------------------------------- variable

SIM_VariableComponent::SIM_VariableComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  variableIndex = SIM_UnitVariableManager::IndexOf(DataText("variable_name"));
  value = DataFloat("variable_var");
}
