#pragma once
// Weapons: modules that pick a target and fire at it. SIM_TargetedComponent reads the
// weapon keys, owns the target selector and the reload timer, decides when to fire and
// how long the next reload takes, and knows the hit chance and splash damage.
// SIM_AmmoUsingComponent adds a magazine that is resupplied when empty. The concrete
// weapons (guns, missile launchers, flamethrowers, beam lasers) fire in their own way.
#include <list>
#include <memory>
#include <string>

#include "battle/Module.h"

class SIM_TargetSelector;
class SIM_UnitTargetData;

class SIM_TargetedComponent : public SIM_Module {
 public:
  static constexpr int kMaxBarrels = 5;
  // The turret must point within this many degrees of the target to fire.
  static constexpr float kAimToleranceDeg = 8.0f;

  SIM_TargetedComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  ~SIM_TargetedComponent() override;

  void ApplyUpgrades() override;
  void Update() override;
  bool HasCheckStep() const override { return true; }
  void Destroy() override;
  bool IsWeapon() const override { return true; }
  // How far the weapon is through its reload, 0..1 (0 without a scored target).
  virtual float ReadyFraction() const;
  // Fires at the selector's target; the shots so far in the current salvo (0 when a
  // salvo ended or the weapon fires no salvos).
  virtual int Fire();

  float HitChance(const SIM_BattleUnit* target) const;
  // Every living enemy (except `excluded`) within the splash radius of (x, y) takes
  // damage x the splash multiplier.
  void SplashDamage(SIM_BattleUnit* excluded, float damage, float x, float y);
  // The damage rule on `target` with this weapon's effects and the owner as attacker.
  void DealDamage(SIM_BattleUnit* target, SIM_UnitTargetData* part, float amount);
  // World position of a barrel's muzzle (the turret point on hulls drawn without one).
  void MuzzlePosition(int barrel, float* x, float* y) const;
  // The selector's current target (null without one).
  SIM_BattleUnit* CurrentTarget() const;
  // "BULLET" 0, "ENERGY" 1, "EXPLOSIVE" 2, "FLAMES" 3, exactly; anything else 4 (the
  // catalogue reports such a module when it loads).
  static int ParseWarhead(const std::string& text) { return WarheadFromText(text); }

  std::unique_ptr<SIM_TargetSelector> selector;
  SIM_UnitTargetData* hitPart = nullptr;  // the part the last shot aimed at
  float maxRangeSq = 0.0f;
  bool playSound = true;
  int barrelCount = 1;
  int nextBarrel = 0;
  int firedBarrel = 0;  // the barrel of the last shot (sequential fire)
  bool sequentialFire = false;
  float damage = 0.0f;
  float splashRadius = 0.0f;
  float splashMultiplier = 0.0f;
  std::string muzzleParticles;
  int warhead = WARHEAD_NONE;
  float effectiveVsShield = 0.0f;
  float effectiveVsArmour = 0.0f;
  float effectiveVsInternal = 0.0f;
  float hitVsTank = 0.0f;
  float hitVsMech = 0.0f;
  float hitVsTurret = 0.0f;
  float hitVsInfantry = 0.0f;
  bool hasRecoil = false;
  float recoilDuration = 0.0f;
  float recoverDuration = 0.0f;
  float recoilIntensity = 0.0f;
  float maxRange = 0.0f;
  float minRange = 0.0f;
  float maxRangeAsRead = 0.0f;
  float reloadTimer = 0.0f;
  float fireInterval = 0.0f;
  float currentInterval = 0.0f;
  float effectiveInterval = 0.0f;
  float trackingSpeed = 0.0f;
  float damagePerSecond = 0.0f;
  bool salvo = false;
  int salvoSize = 0;
  float salvoInterval = 0.0f;
  int salvoShots = 0;
  bool singleSound = false;
  float soundVolume = 0.0f;

 protected:
  // The length of the check that is running (64 ms or a little more).
  static float CheckElapsed();
};

class SIM_AmmoUsingComponent : public SIM_TargetedComponent {
 public:
  SIM_AmmoUsingComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  bool UsesAmmo() const override { return true; }
  void ApplyUpgrades() override;
  // While resupplying only the resupply timer runs; otherwise the weapon's update.
  void Update() override;
  float ReadyFraction() const override;
  // One round spent; the last one starts the resupply.
  void SpendAmmo();

  int ammunition = 0;
  int maxAmmunition = 0;
  float resupplyTime = 0.0f;
  float resupplyTimer = 0.0f;
  bool resupplying = false;
};

// The world position a shot at `part` of `unit` aims at (the unit's centre without a part).
void AimPointOf(const SIM_BattleUnit* unit, const SIM_UnitTargetData* part, float* x, float* y);
// True when the unit has died or left: projectiles and burns aimed at it stop.
bool IsOutOfBattle(const SIM_BattleUnit* unit);

// The units whose beam laser has its looped sound running, one entry per firing unit
// (beam fire adds, beam end removes). A unit being deleted takes itself out.
std::list<SIM_BattleUnit*>& RunningBeamSounds();
// Every frame: an entry whose unit was destroyed or has left the map is a beam that
// never ended; each is logged ("Error"). Returns how many were found.
int CheckRunningBeamSounds();
// Takes a unit out of the running-beam list (the unit is going away).
void ForgetRunningBeamSounds(const SIM_BattleUnit* unit);
