#include "battle/KineticWeapon.h"

#include <cmath>

#include "battle/BattleUnit.h"
#include "battle/Projectiles.h"
#include "battle/TargetSelector.h"
#include "battle/WeaponEvents.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/ModuleType.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
// A homing bullet strikes once it would come this close (squared) within its step.
constexpr float kStrikeDistSq = 144.0f;

float DistSq(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}
}  // namespace

// ------------------------------------------------------------------ SIM_Bullet

void SIM_Bullet::AimAtMissPoint() {
  float ax = x, ay = y;
  if (target) AimPointOf(target, hitPart, &ax, &ay);
  const float spread = RandomFloat() * 0.1f * Distance(launchX, launchY, ax, ay);
  const float angle = RandomFloat() * 360.0f * kDegToRad;
  const float mx = ax + std::sin(angle) * spread;
  const float my = ay - std::cos(angle) * spread;
  heading = HeadingDegrees(launchX, launchY, mx, my);
  dirSin = std::sin(heading * kDegToRad);
  dirCos = std::cos(heading * kDegToRad);
  flightLength = Distance(launchX, launchY, mx, my);
}

void SIM_Bullet::Strike() {
  alive = false;
  const float dmg = weapon->damage;
  WeaponImpact(IMPACT_BULLET_STRUCK, weapon->warhead, dmg, x, y);
  if (IsOutOfBattle(target)) return;
  weapon->DealDamage(target, hitPart, dmg);
  DamageLanded(target, x, y);
  weapon->SplashDamage(target, dmg, target->x, target->y);
}

void SIM_Bullet::Update(float frameStep) {
  if (launchDelay > 0.0f) {
    launchDelay -= frameStep;
    if (launchDelay > 0.0f) return;
    weapon->MuzzlePosition(barrel, &launchX, &launchY);
    x = launchX;
    y = launchY;
    AimAtMissPoint();
    WeaponFlash(launchX, launchY, heading);
  }
  const float bubble = ShieldBubbleRadius(target);
  if (!hit) {
    if (travelled > flightLength) {
      alive = false;
      WeaponImpact(IMPACT_BULLET_LANDED, weapon->warhead, weapon->damage, x, y);
      weapon->SplashDamage(nullptr, weapon->damage, x, y);
      return;
    }
    if (bubble > 0.0f && DistSq(x, y, target->x, target->y) < bubble * bubble) {
      alive = false;
      return;
    }
  }
  const float step = speed * frameStep;
  travelled += step;
  if (!hit) {
    x += dirSin * step;
    y -= dirCos * step;
  } else {
    float ax = x, ay = y;
    if (target) AimPointOf(target, hitPart, &ax, &ay);
    const float d2 = DistSq(x, y, ax, ay);
    if (d2 > 0.0f) SetHeading(HeadingDegrees(x, y, ax, ay));
    const float px = x, py = y;
    x += std::sin(heading * kDegToRad) * step;
    y -= std::cos(heading * kDegToRad) * step;
    if (bubble <= 0.0f) {
      if (d2 - step * step < kStrikeDistSq) {
        Strike();
        return;
      }
    } else if (DistSq(x, y, target->x, target->y) < bubble * bubble) {
      Vec2f entry;
      if (RayCircleIntersection(&entry, bubble, target->x, target->y, px, py, x, y))
        ShieldImpact(target, weapon->soundVolume, entry.x, entry.y);
      else
        ShieldImpact(target, weapon->soundVolume, x, y);
      Strike();
      return;
    }
  }
  if (IsOutsideMap(x, y)) alive = false;
}

// -------------------------------------------------- SIM_KineticWeaponComponent

SIM_KineticWeaponComponent::SIM_KineticWeaponComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx,
                                                       float sy)
    : SIM_AmmoUsingComponent(owner, type, sx, sy) {
  bulletSpeed = DataFloat("speed");
  bulletWidth = DataFloat("width");
  bulletHeight = DataFloat("height");
  colourId = std::atoi(DataText("colorid").c_str());
  if (colourId < 0 || colourId > 3) colourId = 0;
  invisibleBullets = std::atoi(DataText("invisible_bullets").c_str()) != 0;
  volleySize = std::atoi(DataText("volley_size").c_str());
  volleyGap = DataFloat("volley_gap");
  for (SIM_Bullet& b : bullets) {
    b.weapon = this;
    b.invisible = invisibleBullets;
  }
  RegisterKineticWeapon(this);
}

SIM_KineticWeaponComponent::~SIM_KineticWeaponComponent() { UnregisterKineticWeapon(this); }

int SIM_KineticWeaponComponent::Fire() {
  if (ammunition <= 0) return 0;
  const int shots = SIM_TargetedComponent::Fire();
  SpendAmmo();
  if (sequentialFire) {
    Launch(firedBarrel, 0.0f, true, true);
  } else {
    for (int b = 0; b < barrelCount; ++b) Launch(b, 0.0f, b == 0, b == 0);
  }
  // Extra rounds of the volley leave later; they never hit and make no sound.
  for (int v = 1; v <= volleySize; ++v)
    Launch((v - 1) % barrelCount, volleyGap * static_cast<float>(v), false, false);
  return shots;
}

bool SIM_KineticWeaponComponent::Launch(int barrel, float delay, bool mayHit, bool withSound) {
  SIM_BattleUnit* t = CurrentTarget();
  ZT_ASSERT(t != nullptr);
  if (!t) return false;
  int slot = -1;
  for (int i = 0; i < kPoolSize; ++i) {
    if (!bullets[static_cast<size_t>(i)].alive) {
      slot = i;
      break;
    }
  }
  if (slot < 0) {
    ZT_WARNING("not enough bullets");
    return false;
  }
  SIM_Bullet& b = bullets[static_cast<size_t>(slot)];
  b.launchDelay = delay;
  b.barrel = barrel;
  b.target = t;
  b.hitPart = hitPart;
  b.speed = bulletSpeed;
  b.travelled = 0.0f;
  b.fadeStart = maxRange;
  b.fadeEnd = maxRange + 64.0f;
  b.alive = true;
  MuzzlePosition(barrel, &b.launchX, &b.launchY);
  b.x = b.launchX;
  b.y = b.launchY;
  // The roll is made for every bullet, so the draws do not depend on the barrels.
  b.hit = RandomFloat() < HitChance(t) && mayHit;
  if (b.hit) {
    float ax = 0.0f, ay = 0.0f;
    AimPointOf(t, hitPart, &ax, &ay);
    b.SetHeading(HeadingDegrees(b.x, b.y, ax, ay));
    b.flightLength = Distance(b.x, b.y, ax, ay);
  } else {
    b.AimAtMissPoint();
  }
  if (highestInUse == 0) KineticWeaponLaunched(this);
  if (slot + 1 > highestInUse) highestInUse = slot + 1;
  if (delay <= 0.0f) WeaponFlash(b.launchX, b.launchY, b.heading);
  if (withSound && playSound && moduleType) WeaponSound(moduleType->NextSound(), soundVolume, b.x, b.y);
  return true;
}

void SIM_KineticWeaponComponent::AdvanceBullets(float frameStep) {
  int highest = 0;
  for (int i = 0; i < highestInUse; ++i) {
    SIM_Bullet& b = bullets[static_cast<size_t>(i)];
    if (!b.alive) continue;
    b.Update(frameStep);
    if (b.alive) highest = i + 1;
  }
  highestInUse = highest;
}

int SIM_KineticWeaponComponent::BulletsInFlight() const {
  int n = 0;
  for (const SIM_Bullet& b : bullets) n += b.alive ? 1 : 0;
  return n;
}
