#pragma once
// Two weapons that launch nothing. The flamethrower plays a flame of fixed length that
// follows its target and, when the burst ends, sets on fire every enemy near the line
// of the flame. The beam laser shows a beam for a fixed time and deals its damage once,
// a fixed delay into the beam. Both hold their target selector still while they fire.
#include "battle/BattleUnit.h"
#include "battle/TargetedComponents.h"

// A flamethrower's burn on a unit: the damage in six parts over its duration (40%,
// 20%, then 10% four times), each dealt when due unless the unit is dying or gone.
class SIM_Burn : public SIM_UnitAttachment {
 public:
  static constexpr int kParts = 6;
  SIM_Burn(SIM_BattleUnit* target, SIM_BattleUnit* source, SIM_TargetedComponent* weapon, float damage,
           float duration);
  // Every battle frame; false once the duration has passed.
  bool Update(float frameStep) override;
  bool IsFinished() const override { return finished; }

  SIM_BattleUnit* target = nullptr;
  SIM_BattleUnit* source = nullptr;
  SIM_TargetedComponent* weapon = nullptr;
  float timer = 0.0f;
  float duration = 0.0f;
  float partDamage[kParts] = {};
  float partDue[kParts] = {};
  bool partDone[kParts] = {};
  bool finished = false;
};

class SIM_FlamethrowerComponent : public SIM_AmmoUsingComponent {
 public:
  static constexpr float kBurnMs = 3000.0f;
  static constexpr float kSampleSpacing = 32.0f;

  SIM_FlamethrowerComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  ~SIM_FlamethrowerComponent() override;
  int Fire() override;
  void Update() override;
  void Destroy() override;
  // The burst ends without striking (unit dying, leaving, battle over).
  void StopEffects() override;
  // Sets every enemy near the flame line on fire.
  void Strike();

  float burstDuration = 0.0f;
  float burstTimer = 0.0f;
  bool burning = false;
  int soundHandle = -1;
  SIM_BattleUnit* burstTarget = nullptr;
  float aimX = 0.0f;
  float aimY = 0.0f;

 private:
  void EndBurst();
};

class SIM_BeamLaserComponent : public SIM_TargetedComponent {
 public:
  SIM_BeamLaserComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  ~SIM_BeamLaserComponent() override;
  bool UsesAmmo() const override { return false; }
  int Fire() override;
  // Every battle frame: the beam's timers; its damage lands once, `firedelay` in.
  void UpdateEffects() override;
  bool HasFrameEffects() const override { return true; }
  void StopEffects() override;
  void Destroy() override;

  float beamDuration = 0.0f;
  std::string texture;
  float beamWidth = 0.0f;
  bool hasGrain = false;
  float grainSpeed = 1.0f;
  std::string blastEmitter;
  std::string impactEmitter;
  float fireDelay = 0.0f;
  bool beamOn = false;
  float beamTimer = 0.0f;
  float beamTime = 0.0f;
  float fadeTime = 0.0f;
  bool damagePending = false;
  bool hit = false;
  SIM_BattleUnit* beamTarget = nullptr;
  float endX = 0.0f;
  float endY = 0.0f;
  float sweepX = 0.0f;
  float sweepY = 0.0f;
  int soundHandle = -1;
  bool soundListed = false;
  float grainTimer = 0.0f;
  float flickerTimer = 0.0f;

 private:
  void EndBeam();
  void ApplyDamage();
};
