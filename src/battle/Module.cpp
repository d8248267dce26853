#include "battle/Module.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleSounds.h"
#include "battle/BattleUnit.h"
#include "battle/BattleView.h"
#include "battle/BeamAndFlame.h"
#include "battle/Gameplay.h"
#include "battle/KineticWeapon.h"
#include "battle/MissileLauncher.h"
#include "battle/Movement.h"
#include "battle/PassiveComponents.h"
#include "battle/SupportComponents.h"
#include "battle/TargetedComponents.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
// Internal damage spills from module to module; with this many picks something is wrong.
constexpr int kMaxInternalPicks = 100000;
// Far above any weapon's effect on a layer; keeps damage times effect finite.
constexpr float kMaxLayerEffect = 1.0e6f;

float SafeRatio(float num, float den) { return den > 0.0f ? num / den : 0.0f; }
}  // namespace

int WarheadFromText(const std::string& text) {
  if (text == "BULLET") return WARHEAD_BULLET;
  if (text == "ENERGY") return WARHEAD_ENERGY;
  if (text == "EXPLOSIVE") return WARHEAD_EXPLOSIVE;
  if (text == "FLAMES") return WARHEAD_FLAMES;
  return WARHEAD_NONE;
}

// ---------------------------------------------------------------- SIM_Module

SIM_Module::SIM_Module(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY)
    : owner(owner), moduleType(type) {
  ZT_ASSERT(owner != nullptr);
  ZT_ASSERT(type != nullptr);
  if (type) moduleData = &type->ModuleData();
  float hullSize = 0.0f;
  if (owner && owner->design && owner->design->hull) hullSize = owner->design->hull->size;
  posX = slotX * hullSize / 512.0f;
  posY = slotY * hullSize / 512.0f;
}

SIM_Module::~SIM_Module() = default;

float SIM_Module::DataFloat(const std::string& key, float defaultValue) const {
  if (!moduleData) return defaultValue;
  const float v = moduleData->GetFloat(key, defaultValue);
  return std::isfinite(v) ? v : defaultValue;
}

std::string SIM_Module::DataText(const std::string& key) const {
  return moduleData ? moduleData->GetString(key) : std::string();
}

float SIM_Module::UnitVariable(int index) const {
  return (owner && owner->unitVariables) ? owner->unitVariables->Get(index) : 0.0f;
}

void SIM_Module::RecomputeHealthFraction() { healthFraction = SafeRatio(hitPoints, maxHitPoints); }

void SIM_Module::ApplyUpgrades() {
  maxHitPoints *= 1.0f + UnitVariable(UVT_HITPOINTS);
  hitPoints = maxHitPoints;
  RecomputeHealthFraction();
}

void SIM_Module::TakeDamage(float amount) {
  hitPoints -= amount;
  if (hitPoints <= 0.0f) {
    hitPoints = 0.0f;
    Destroy();
  }
  RecomputeHealthFraction();
}

float SIM_Module::Repair(float amount) {
  if (hitPoints < maxHitPoints) {
    hitPoints = std::min(hitPoints + amount, maxHitPoints);
    RecomputeHealthFraction();
    if (owner && owner->unitVariables) owner->unitVariables->Recompute();
    return amount;
  }
  return 0.0f;
}

void SIM_Module::Destroy() {
  hitPoints = 0.0f;
  healthFraction = 0.0f;
}

// --------------------------------------------------------- SIM_ModuleManager

SIM_ModuleManager::SIM_ModuleManager(SIM_BattleUnit* unit) : owner(unit) {
  ZT_ASSERT(unit != nullptr);
  CreateModules();
}

SIM_ModuleManager::~SIM_ModuleManager() = default;

void SIM_ModuleManager::PollAll() {
  for (auto& m : allModules) m->Poll();
}

void SIM_ModuleManager::CreateModules() {
  SIM_UnitDesign* design = owner ? owner->design : nullptr;
  if (!design) return;
  SIM_UnitHull* hull = design->hull;
  totalWeight = hull ? hull->weight : 0.0f;
  // Every slot of the hull shares its hit points, filled or not.
  size_t entries = design->modules.size();
  if (hull) entries = std::max(entries, hull->slots.size());
  const float hullHitPoints = hull ? hull->hitPoints : 0.0f;
  const float perModule = entries > 0 ? hullHitPoints / static_cast<float>(entries) : 0.0f;

  for (const DesignModule& entry : design->modules) {
    SIM_ModuleType* type = entry.type;
    if (!type) continue;
    const std::string& cls = type->moduleClass;
    SIM_Module* m = nullptr;
    bool weapon = false;
    const float sx = entry.x, sy = entry.y;
    if (cls == "SIM_KineticWeaponComponent") {
      m = new SIM_KineticWeaponComponent(owner, type, sx, sy);
      weapon = true;
    } else if (cls == "SIM_EngineComponent") {
      auto* e = new SIM_EngineComponent(owner, type, sx, sy);
      engineComponents.push_back(e);
      m = e;
    } else if (cls == "SIM_ArmorComponent") {
      auto* a = new SIM_ArmorComponent(owner, type, sx, sy);
      armourComponents.push_back(a);
      m = a;
    } else if (cls == "SIM_BeamLaserComponent") {
      m = new SIM_BeamLaserComponent(owner, type, sx, sy);
      weapon = true;
    } else if (cls == "SIM_MissileLauncherComponent") {
      m = new SIM_MissileLauncherComponent(owner, type, sx, sy);
      weapon = true;
    } else if (cls == "SIM_HospitalComponent") {
      m = new SIM_HospitalComponent(owner, type, sx, sy);
    } else if (cls == "SIM_RepairComponent") {
      m = new SIM_RepairComponent(owner, type, sx, sy);
    } else if (cls == "SIM_CommandComponent") {
      m = new SIM_CommandComponent(owner, type, sx, sy);
    } else if (cls == "SIM_SupplyComponent") {
      m = new SIM_SupplyComponent(owner, type, sx, sy);
    } else if (cls == "SIM_FlamethrowerComponent") {
      m = new SIM_FlamethrowerComponent(owner, type, sx, sy);
      weapon = true;
    } else if (cls == "SIM_ShieldComponent") {
      auto* s = new SIM_ShieldComponent(owner, type, sx, sy);
      shieldComponents.push_back(s);
      m = s;
    } else if (cls == "SIM_VariableComponent") {
      auto* v = new SIM_VariableComponent(owner, type, sx, sy);
      variableComponents.push_back(v);
      m = v;
    } else {
      FatalError(__FILE__, __LINE__, "unknown module type");
    }
    m->maxHitPoints = perModule;
    m->hitPoints = perModule;
    m->healthFraction = 1.0f;
    allModules.emplace_back(m);
    if (m->HasCheckStep()) checkModules.push_back(m);
    if (weapon) {
      weapons.push_back(m);
      if (m->HasFrameEffects()) frameEffectWeapons.push_back(m);
      lastWeapon = m;
    }
    totalWeight += type->weight;
  }
}

void SIM_ModuleManager::ApplyUpgrades() {
  for (auto& m : allModules) m->ApplyUpgrades();
  RecountHealth();
  RecountArmour();
  RecountShields();
  RecountSpeed();
  hullTurnRate = 0.12f;
  turretTurnRate = 0.12f;
  if (owner && owner->sizeType == SIZE_INFANTRY) {
    // Soldiers of one squad should not turn in lock step.
    hullTurnRate *= 0.95f + 0.05f * RandomFloat();
    turretTurnRate *= 0.95f + 0.05f * RandomFloat();
  }
  HandlingChanged();
}

void SIM_ModuleManager::HandlingChanged() {
  if (owner && owner->movement) owner->movement->ReadHandling();
}

void SIM_ModuleManager::UpdateModules() {
  for (SIM_Module* m : checkModules)
    if (m->healthFraction > 0.0f) m->Update();
}

void SIM_ModuleManager::UpdateWeaponEffects() {
  for (SIM_Module* w : frameEffectWeapons) w->UpdateEffects();
}

void SIM_ModuleManager::StopAllEffects() {
  for (auto& m : allModules) m->StopEffects();
}

std::string SIM_ModuleManager::GetFirstShieldTexture() const {
  return shieldComponents.empty() ? std::string() : shieldComponents.front()->shieldTexture;
}

void SIM_ModuleManager::RecountHealth() {
  totalHitPoints = 0.0f;
  totalMaxHitPoints = 0.0f;
  for (auto& m : allModules) {
    totalHitPoints += m->hitPoints;
    totalMaxHitPoints += m->maxHitPoints;
  }
  healthFraction = SafeRatio(totalHitPoints, totalMaxHitPoints);
  healthChanged = false;
}

void SIM_ModuleManager::RecountArmour() {
  float current = 0.0f;
  totalMaxArmour = 0.0f;
  for (SIM_ArmorComponent* a : armourComponents) {
    totalMaxArmour += a->maxArmour;
    current += a->armour;
  }
  armourFraction = SafeRatio(current, totalMaxArmour);
  armourChanged = false;
}

void SIM_ModuleManager::RecountShields() {
  if (shieldComponents.empty()) return;
  const float previous = shieldFraction;
  float current = 0.0f;
  totalMaxShields = 0.0f;
  for (SIM_ShieldComponent* s : shieldComponents) {
    totalMaxShields += s->maxShield;
    current += s->shield;
  }
  shieldFraction = SafeRatio(current, totalMaxShields);
  shieldsChanged = false;
  if (shieldFraction <= 0.0f && previous > 0.0f && owner)
    GetBattleSounds().PlaySound("data/sounds/lb_shield_fail.ogg", 2, 1.0f, false, 64.0f, owner->x, owner->y);
}

void SIM_ModuleManager::RecountSpeed() {
  if (engineComponents.empty()) return;
  ZT_ASSERT(totalWeight > 0.0f);
  float thrust = 0.0f;
  for (SIM_EngineComponent* e : engineComponents) thrust += e->thrust;
  powerRatio = SafeRatio(thrust, totalWeight);
  const bool mech = owner && owner->sizeType == SIZE_MECH;
  speedValue = powerRatio * (mech ? 0.064f : 0.008f);
  speedChanged = false;
  HandlingChanged();
}

void SIM_ModuleManager::TakeDamage(SIM_UnitTargetData* hitPart, SIM_BattleUnit* attacker, float damage,
                                   float shieldFactor, float armourFactor, float internalFactor,
                                   int warhead) {
  if (!owner || !std::isfinite(damage) || damage <= 0.0f) return;
  Gameplay& gameplay = GetGameplay();
  BattleHooks& hooks = GetBattleHooks();
  UnitBattleStats* tally = attacker ? attacker->damageTally.get() : nullptr;
  const float partX = hitPart ? hitPart->x : 0.0f;
  const float partY = hitPart ? hitPart->y : 0.0f;

  // Effects from data: NaN or below zero count as no effect, and an absurdly large one
  // is capped so the layer formulas stay finite.
  auto effect = [](float f) { return f > 0.0f ? std::min(f, kMaxLayerEffect) : 0.0f; };
  shieldFactor = effect(shieldFactor);
  armourFactor = effect(armourFactor);
  internalFactor = effect(internalFactor);

  float d = damage;
  if (!owner->isPlayers) d -= d * gameplay.AI_CHEAT_DAMAGE_REDUCTION;
  d *= 1.0f - owner->damageReduction;
  if (!owner->hospitals.empty()) d -= d * gameplay.SUPPORT_DAMAGE_REDUCTION;
  // Reductions of 100% or more (odd constants) leave nothing; a negative hit would heal.
  if (!(d > 0.0f)) return;

  bool shieldsReached = false, armourReached = false, internalsHit = false;
  float remainder = d;

  // Shields first, then armour. Each layer takes the hit in its own terms (damage times
  // the weapon's effect on it) and passes on what it could not take, back in damage
  // terms. A weapon with no effect on a layer that still has points is stopped there
  // outright: that is the formula's limit as the effect goes to zero, computed without
  // dividing by the zero (which would fill the unit with NaN).
  if (!shieldComponents.empty()) {
    shieldsReached = true;
    if (shieldFactor > 0.0f) {
      float s = d * shieldFactor;
      float absorbed = 0.0f;
      for (SIM_ShieldComponent* sh : shieldComponents) {
        const float before = s;
        s = sh->Absorb(s);
        absorbed += before - s;
      }
      if (absorbed > 0.0f && s <= 0.0f && hooks.damageNumber)
        hooks.damageNumber(owner, absorbed, 0, partX, partY);
      if (tally) {
        tally->totalDamage += absorbed;
        tally->shieldDamage += absorbed;
      }
      RecountShields();
      remainder = s / shieldFactor;
      if (remainder <= 0.0f) return;
    } else if (std::any_of(shieldComponents.begin(), shieldComponents.end(),
                           [](const SIM_ShieldComponent* sh) { return sh->shield > 0.0f; })) {
      return;
    }
  }

  if (!armourComponents.empty()) {
    armourReached = true;
    if (armourFactor > 0.0f) {
      const float incoming = remainder * armourFactor;
      float a = incoming;
      float absorbed = 0.0f;
      for (SIM_ArmorComponent* ar : armourComponents) {
        if (a <= 0.0f) break;
        if (ar->armour <= 0.0f) continue;
        const float taken = ar->Absorb(a);
        a -= taken;
        absorbed += taken;
      }
      if (a <= 0.0f && incoming > 0.0f) {
        if (hooks.damageNumber) hooks.damageNumber(owner, absorbed, 1, partX, partY);
        if (GetBattleView().Zoom() > 1.0f) {
          SIM_BattleSounds& sounds = GetBattleSounds();
          const std::string name = sounds.NextRicochetSound();
          if (!name.empty()) sounds.PlaySound(name.c_str(), 1, 0.8f, false, 64.0f, owner->x, owner->y);
        }
      }
      if (tally) {
        tally->totalDamage += absorbed;
        tally->armourDamage += absorbed;
      }
      remainder = std::max(a, 0.0f) / armourFactor;
    } else if (std::any_of(armourComponents.begin(), armourComponents.end(),
                           [](const SIM_ArmorComponent* ar) { return ar->armour > 0.0f; })) {
      remainder = 0.0f;
    }
  }

  // What is left hits random internal modules until it is used up or the unit dies.
  if (remainder > 0.0f) {
    internalsHit = true;
    const float reached = remainder;
    float r = remainder;
    const int count = ModuleCount();
    if (count == 0) {
      CheckDestroyed();
    } else {
      for (int picks = 0; r > 0.0f && picks < kMaxInternalPicks; ++picks) {
        SIM_Module* m = allModules[static_cast<size_t>(RandomIntDirect(count))].get();
        const float h = m->hitPoints;
        if (h > 0.0f) {
          m->TakeDamage(r);
          r = (r <= h) ? 0.0f : r - h;
        }
        if (CheckDestroyed()) break;
      }
    }
    const float shown = reached * internalFactor;
    if (tally) {
      tally->totalDamage += shown;
      tally->hullDamage += shown;
    }
    if (shown > 1.0f) {
      if (hooks.damageNumber) hooks.damageNumber(owner, shown, 2, partX, partY);
      if (owner->sizeType == SIZE_INFANTRY) {
        if (owner->visual) owner->visual->SpawnBloodSplatter();
      }
    }
    if (owner->unitVariables) owner->unitVariables->Recompute();
  }

  SIM_UnitVisual* visual = owner->visual.get();
  if (hitPart && visual) {
    if ((warhead == WARHEAD_BULLET || warhead == WARHEAD_FLAMES) && internalsHit &&
        owner->sizeType != SIZE_INFANTRY)
      visual->OnDamaged(hitPart);
    else if (warhead == WARHEAD_ENERGY || warhead == WARHEAD_EXPLOSIVE)
      visual->ShowHit(hitPart, damage, internalsHit, 0);
    if (armourReached && !internalsHit) visual->ApplyLayerDamage(hitPart);
  }

  if (internalsHit) RecountHealth();
  if (shieldsReached) RecountShields();
  if (internalsHit) RecountSpeed();
  if (armourReached) RecountArmour();
}

bool SIM_ModuleManager::CheckDestroyed() {
  if (!owner) return false;
  if (owner->removed) return true;
  float sum = 0.0f;
  for (auto& m : allModules) sum += m->hitPoints;
  if (sum > 0.0f) return false;
  if (owner->turretFacing) owner->turretFacing->turning = false;
  if (owner->state != US_INACTIVE) {
    owner->state = US_INACTIVE;
    if (owner->visual) owner->visual->OnDestroyed();
    StopAllEffects();
  }
  return true;
}

void SIM_ModuleManager::RepairUnit(float amount) {
  if (healthFraction >= 1.0f && armourFraction >= 1.0f &&
      (shieldComponents.empty() || shieldFraction >= 1.0f))
    return;
  float budget = amount;
  bool again = true;
  while (again && budget > 0.0f) {
    float used = 0.0f;
    for (auto& m : allModules) {
      const float u = m->Repair(1.0f);
      used += u;
      budget -= u;
      if (budget <= 0.0f) break;
    }
    again = false;
    for (auto& m : allModules)
      if (m->healthFraction < 1.0f && m->maxHitPoints > 0.0f) again = true;
    // A pass that restored nothing would repeat for ever.
    if (used <= 0.0f) break;
  }
  RecountHealth();
  RecountArmour();
  if (owner && owner->visual) owner->visual->ApplyDamageLevel();
}
