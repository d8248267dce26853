#pragma once
// Every battle unit carries the modules of its design as live objects. SIM_Module is
// the base of all of them; SIM_ModuleManager (one per unit) builds them from the design,
// keeps them in lists by kind, holds the unit's totals and passes incoming damage
// through shields, then armour, then the internal modules.
#include <memory>
#include <string>
#include <vector>

class SettingsFile;
class SIM_BattleUnit;
class SIM_ModuleType;
class SIM_UnitTargetData;
class SIM_ArmorComponent;
class SIM_EngineComponent;
class SIM_ShieldComponent;
class SIM_VariableComponent;

// Warheads of a weapon; 4 stands for damage without a weapon.
enum Warhead : int {
  WARHEAD_BULLET = 0,
  WARHEAD_ENERGY = 1,
  WARHEAD_EXPLOSIVE = 2,
  WARHEAD_FLAMES = 3,
  WARHEAD_NONE = 4
};
// "BULLET" 0, "ENERGY" 1, "EXPLOSIVE" 2, "FLAMES" 3; anything else 4.
int WarheadFromText(const std::string& text);

class SIM_Module {
 public:
  SIM_Module(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  virtual ~SIM_Module();
  SIM_Module(const SIM_Module&) = delete;
  SIM_Module& operator=(const SIM_Module&) = delete;

  // Maximum hit points x (1 + UVT_HITPOINTS); hit points = maximum.
  virtual void ApplyUpgrades();
  // Once per 64 ms check while the module has hit points.
  virtual void Update() {}
  // Whether Update does anything: the check passes over the modules that have none.
  virtual bool HasCheckStep() const { return false; }
  // Every frame (weapons: projectiles, beams, effects).
  virtual void UpdateEffects() {}
  // Whether UpdateEffects does anything: the frame skips the weapons that have none.
  virtual bool HasFrameEffects() const { return false; }
  virtual void Poll() {}
  // Hit points -= amount; at 0 or below the module is destroyed.
  virtual void TakeDamage(float amount);
  virtual bool UsesAmmo() const { return false; }
  virtual bool IsWeapon() const { return false; }
  virtual void StopEffects() {}
  // Restores up to amount hit points; returns the amount used (0 when already whole).
  virtual float Repair(float amount);
  virtual void Destroy();

  // The module type's data as float (0 when missing or not a finite number) and text.
  float DataFloat(const std::string& key, float defaultValue = 0.0f) const;
  std::string DataText(const std::string& key) const;
  // The unit-variable value of the owner at an index (0 without an owner).
  float UnitVariable(int index) const;

  const SettingsFile* moduleData = nullptr;  // the module type's row; not owned
  SIM_BattleUnit* owner = nullptr;
  SIM_ModuleType* moduleType = nullptr;
  float hitPoints = 0.0f;
  float maxHitPoints = 0.0f;
  float healthFraction = 1.0f;
  float posX = 0.0f;  // slot position on the unit, world units
  float posY = 0.0f;

 protected:
  void RecomputeHealthFraction();
};

class SIM_ModuleManager {
 public:
  explicit SIM_ModuleManager(SIM_BattleUnit* unit);
  virtual ~SIM_ModuleManager();
  virtual void PollAll();
  SIM_ModuleManager(const SIM_ModuleManager&) = delete;
  SIM_ModuleManager& operator=(const SIM_ModuleManager&) = delete;

  // The factory: one module per filled design slot, by the module type's class text.
  void CreateModules();
  // After the unit variables are known: upgrades every module, recounts, turn rates.
  void ApplyUpgrades();
  // The 64 ms step: Update of every module that still has hit points, in design order.
  void UpdateModules();
  // Every frame from the unit's visual.
  void UpdateWeaponEffects();
  void StopAllEffects();
  // The `shieldtexture` of the first shield module; "" without shields.
  std::string GetFirstShieldTexture() const;

  // The damage rule: shields, then armour, then random internal modules. Factors are
  // the firing weapon's effectiveness against each layer; a factor of 0 or less (a
  // missing value) means that layer lets the damage through untouched.
  void TakeDamage(SIM_UnitTargetData* hitPart, SIM_BattleUnit* attacker, float damage, float shieldFactor,
                  float armourFactor, float internalFactor, int warhead);
  // Spends a repair budget over the modules; see the repair rule.
  void RepairUnit(float amount);
  // True (and the unit marked destroyed once) when all module hit points are gone.
  bool CheckDestroyed();

  void RecountHealth();
  void RecountArmour();
  void RecountShields();
  void RecountSpeed();
  // The unit's movement keeps a copy of powerRatio, speedValue and hullTurnRate: this
  // hands it the new ones, and is called whenever any of them is set.
  void HandlingChanged();

  int ModuleCount() const { return static_cast<int>(allModules.size()); }

  std::vector<std::unique_ptr<SIM_Module>> allModules;  // design order, owned
  std::vector<SIM_VariableComponent*> variableComponents;
  std::vector<SIM_ArmorComponent*> armourComponents;
  std::vector<SIM_ShieldComponent*> shieldComponents;
  std::vector<SIM_EngineComponent*> engineComponents;
  std::vector<SIM_Module*> weapons;
  // The modules whose check step does something, in design order.
  std::vector<SIM_Module*> checkModules;
  // The weapons whose frame update does something, in weapon order.
  std::vector<SIM_Module*> frameEffectWeapons;
  SIM_BattleUnit* owner = nullptr;
  float healthFraction = 1.0f;
  float armourFraction = 0.0f;
  float shieldFraction = 0.0f;
  float totalMaxArmour = 0.0f;
  float totalMaxShields = 0.0f;
  float hullTurnRate = 0.0f;    // degrees per ms
  float turretTurnRate = 0.0f;  // degrees per ms
  float powerRatio = 1.0f;      // thrust / weight: the maximum speed
  float totalWeight = 0.0f;
  float speedValue = 0.0f;  // the acceleration per frame
  float totalHitPoints = 0.0f;
  float totalMaxHitPoints = 0.0f;
  bool shieldsChanged = false;
  bool speedChanged = false;
  bool armourChanged = false;
  bool healthChanged = false;
  // The last weapon built: the unit's rated weapon.
  SIM_Module* lastWeapon = nullptr;
};
