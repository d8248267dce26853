#pragma once
// The gun: each shot spends a round and launches bullets from the weapon's own pool.
// Whether a shot hits is decided at launch: a hitting bullet homes on its target's aim
// point and deals the weapon's damage there; a missing one flies to a point scattered
// around the target and hurts only by splash where it lands.
#include <array>

#include "battle/MapObject.h"
#include "battle/TargetedComponents.h"

class SIM_BattleUnit;
class SIM_KineticWeaponComponent;
class SIM_UnitTargetData;

class SIM_Bullet : public SIM_MapObject {
 public:
  // One frame of flight; the frame step is the battle's.
  void Update(float frameStep);

  float launchDelay = 0.0f;  // ms before the bullet leaves the barrel
  int barrel = 0;
  bool hit = false;
  bool alive = false;
  bool invisible = false;
  SIM_KineticWeaponComponent* weapon = nullptr;
  SIM_BattleUnit* target = nullptr;
  SIM_UnitTargetData* hitPart = nullptr;
  float speed = 0.0f;
  float travelled = 0.0f;
  float fadeStart = 0.0f;
  float fadeEnd = 0.0f;
  float launchX = 0.0f;
  float launchY = 0.0f;
  float dirSin = 0.0f;
  float dirCos = 1.0f;
  float flightLength = 0.0f;

  // From the launch point towards a fresh miss point near the target.
  void AimAtMissPoint();

 private:
  void Strike();
};

class SIM_KineticWeaponComponent : public SIM_AmmoUsingComponent {
 public:
  static constexpr int kPoolSize = 64;

  SIM_KineticWeaponComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  ~SIM_KineticWeaponComponent() override;
  int Fire() override;
  // Every frame: the bullets in flight.
  void AdvanceBullets(float frameStep);
  int BulletsInFlight() const;

  std::array<SIM_Bullet, kPoolSize> bullets;
  int highestInUse = 0;  // one past the highest pool index in use
  int listIndex = -1;    // place in the process-wide gun list
  float bulletSpeed = 0.0f;
  float bulletWidth = 0.0f;
  float bulletHeight = 0.0f;
  int colourId = 0;
  bool invisibleBullets = false;
  int volleySize = 0;
  float volleyGap = 0.0f;

 private:
  // A bullet from the first free slot; false when the pool is full.
  bool Launch(int barrel, float delay, bool mayHit, bool withSound);
};
