#include "battle/MissileLauncher.h"

#include <cmath>
#include <cstdlib>

#include "battle/BattleUnit.h"
#include "battle/Projectiles.h"
#include "battle/WeaponEvents.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/ModuleType.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
constexpr float kStrikeDistSq = 144.0f;

float DistSq(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}

// The next value of the second random table.
float NextTableValue() { return RandomRange(0.0f, 1.0f); }
}  // namespace

// ----------------------------------------------------------------- SIM_Missile

void SIM_Missile::PlanPath() {
  currentWaypoint = 1;
  if (DistSq(launchX, launchY, aimX, aimY) < kDirectDistSq) {
    direct = true;
    return;
  }
  direct = false;
  const bool rightFirst = NextTableValue() < 0.5f;
  path[0] = Waypoint{};
  for (int i = 1; i <= 4; ++i) {
    Waypoint& w = path[static_cast<size_t>(i)];
    w.fraction = 0.2f * static_cast<float>(i) + (2.0f * NextTableValue() - 1.0f) * 0.05f;
    w.amplitude = NextTableValue() * 0.02f + 0.01f;
    const bool odd = (i % 2) == 1;
    w.side = (odd == rightFirst) ? 270.0f : 90.0f;
  }
  path[5] = Waypoint{};
  path[5].fraction = 1.0f;
  PlaceWaypoints();
}

void SIM_Missile::PlaceWaypoints() {
  const float a = HeadingDegrees(launchX, launchY, aimX, aimY);
  const float d = Distance(launchX, launchY, aimX, aimY);
  const float bend = launchDistance > 0.0f ? d / launchDistance : 1.0f;
  for (Waypoint& w : path) {
    const float along = d * w.fraction;
    const float aside = d * w.amplitude * bend;
    w.x = launchX + std::sin(a * kDegToRad) * along + std::sin((a + w.side) * kDegToRad) * aside;
    w.y = launchY - std::cos(a * kDegToRad) * along - std::cos((a + w.side) * kDegToRad) * aside;
  }
}

void SIM_Missile::Move(float step) {
  x += std::sin(heading * kDegToRad) * step;
  y -= std::cos(heading * kDegToRad) * step;
}

void SIM_Missile::Steer(float step, float frameStep) {
  if (homing) {
    AimPointOf(target, hitPart, &aimX, &aimY);
    PlaceWaypoints();
  }
  const float turnLimit = turnSpeed * frameStep;
  if (direct) {
    Move(step);
    heading = TurnTowardsAngle(heading, HeadingDegrees(x, y, aimX, aimY), turnLimit);
    return;
  }
  Move(step);
  const Waypoint* wasCurrent = &path[static_cast<size_t>(currentWaypoint)];
  if (Distance(x, y, wasCurrent->x, wasCurrent->y) < 4.0f * step) {
    ++currentWaypoint;
    if (currentWaypoint >= kWaypoints) {
      currentWaypoint = kWaypoints - 1;
      direct = true;
    }
  }
  if (!direct) {
    int nearest = currentWaypoint;
    float nearestD = DistSq(x, y, path[static_cast<size_t>(nearest)].x, path[static_cast<size_t>(nearest)].y);
    for (int i = currentWaypoint + 1; i < kWaypoints; ++i) {
      const float d = DistSq(x, y, path[static_cast<size_t>(i)].x, path[static_cast<size_t>(i)].y);
      if (d < nearestD) {
        nearestD = d;
        nearest = i;
      }
    }
    currentWaypoint = nearest;
    if (DistSq(x, y, aimX, aimY) < DistSq(x, y, wasCurrent->x, wasCurrent->y)) direct = true;
  }
  const Waypoint& w = path[static_cast<size_t>(currentWaypoint)];
  const float wanted = direct ? HeadingDegrees(x, y, aimX, aimY) : HeadingDegrees(x, y, w.x, w.y);
  heading = TurnTowardsAngle(heading, wanted, turnLimit);
}

void SIM_Missile::Strike() {
  alive = false;
  const float dmg = launcher->damage;
  WeaponImpact(IMPACT_MISSILE_STRUCK, launcher->warhead, dmg, x, y);
  launcher->DealDamage(target, hitPart, dmg);
  DamageLanded(target, x, y);
  launcher->SplashDamage(target, dmg, target->x, target->y);
}

void SIM_Missile::Update(float frameStep) {
  if (target && IsOutOfBattle(target)) {
    alive = false;
    return;
  }
  const float step = speed * frameStep;
  fuelLeft -= step;
  if (fuelLeft <= 0.0f) {
    alive = false;
    WeaponImpact(IMPACT_MISSILE_FUEL_OUT, launcher->warhead, launcher->damage, x, y);
    return;
  }
  const float d2 = DistSq(x, y, aimX, aimY);
  if (hasSplines) {
    Steer(step, frameStep);
  } else {
    if (homing) {
      AimPointOf(target, hitPart, &aimX, &aimY);
      if (DistSq(x, y, aimX, aimY) > 0.0f) heading = HeadingDegrees(x, y, aimX, aimY);
    }
    Move(step);
  }
  if (!homing) {
    if (d2 - step * step < step * step) {
      alive = false;
      launcher->SplashDamage(nullptr, launcher->damage, x, y);
      WeaponImpact(IMPACT_MISSILE_LANDED, launcher->warhead, launcher->damage, x, y);
      return;
    }
  } else {
    const float bubble = ShieldBubbleRadius(target);
    if (bubble <= 0.0f) {
      if (d2 - step * step < kStrikeDistSq) {
        Strike();
        return;
      }
    } else if (DistSq(x, y, target->x, target->y) < bubble * bubble) {
      Vec2f entry;
      const float px = x - std::sin(heading * kDegToRad) * step;
      const float py = y + std::cos(heading * kDegToRad) * step;
      if (RayCircleIntersection(&entry, bubble, target->x, target->y, px, py, x, y))
        ShieldImpact(target, launcher->soundVolume, entry.x, entry.y);
      else
        ShieldImpact(target, launcher->soundVolume, x, y);
      Strike();
      return;
    }
  }
  if (IsOutsideMap(x, y)) alive = false;
}

// ------------------------------------------------ SIM_MissileLauncherComponent

SIM_MissileLauncherComponent::SIM_MissileLauncherComponent(SIM_BattleUnit* owner, SIM_ModuleType* type,
                                                           float sx, float sy)
    : SIM_AmmoUsingComponent(owner, type, sx, sy) {
  const float turn = DataFloat("turnspeed");
  ZT_ASSERT(turn > 0.0f);
  for (SIM_Missile& m : missiles) {
    m.launcher = this;
    m.width = DataFloat("width");
    m.height = DataFloat("height");
    m.speed = DataFloat("speed");
    m.fuel = DataFloat("fuel");
    m.turnSpeed = turn;
    m.hasFlare = std::atoi(DataText("has_flare").c_str()) != 0;
    m.flareUvId = std::atoi(DataText("flareuvid").c_str());
    m.flareSize = DataFloat("flaresize", 16.0f);
    m.hasSplines = std::atoi(DataText("has_splines").c_str()) != 0;
  }
  RegisterMissileLauncher(this);
}

SIM_MissileLauncherComponent::~SIM_MissileLauncherComponent() { UnregisterMissileLauncher(this); }

int SIM_MissileLauncherComponent::Fire() {
  const int shots = SIM_TargetedComponent::Fire();
  SpendAmmo();
  if (sequentialFire) {
    Launch(firedBarrel, true);
  } else {
    for (int b = 0; b < barrelCount && b < kPoolSize; ++b) Launch(b, b == 0);
  }
  return shots;
}

bool SIM_MissileLauncherComponent::Launch(int barrel, bool first) {
  SIM_BattleUnit* t = CurrentTarget();
  ZT_ASSERT(t != nullptr);
  if (!t) return false;
  SIM_Missile* m = nullptr;
  for (SIM_Missile& candidate : missiles) {
    if (!candidate.alive) {
      m = &candidate;
      break;
    }
  }
  if (!m) return false;
  MuzzlePosition(barrel, &m->launchX, &m->launchY);
  m->x = m->launchX;
  m->y = m->launchY;
  m->alive = true;
  MissileLaunched(this);
  m->target = t;
  m->hitPart = hitPart;
  m->homing = RandomFloat() < HitChance(t) && first;
  if (m->homing) {
    AimPointOf(t, hitPart, &m->aimX, &m->aimY);
  } else {
    // Anywhere on the target's footprint.
    const float half = t->size * 0.5f;
    m->aimX = t->x + RandomRange(-half, half);
    m->aimY = t->y + RandomRange(-half, half);
  }
  m->heading = HeadingDegrees(m->launchX, m->launchY, m->aimX, m->aimY);
  m->fuelLeft = m->fuel;
  m->launchDistance = Distance(m->launchX, m->launchY, m->aimX, m->aimY);
  m->direct = !m->hasSplines;
  m->currentWaypoint = 1;
  if (m->hasSplines) m->PlanPath();
  if (first && playSound && moduleType) WeaponSound(moduleType->NextSound(), soundVolume, m->x, m->y);
  return true;
}

void SIM_MissileLauncherComponent::AdvanceMissiles(float frameStep) {
  for (SIM_Missile& m : missiles)
    if (m.alive) m.Update(frameStep);
}

int SIM_MissileLauncherComponent::MissilesInFlight() const {
  int n = 0;
  for (const SIM_Missile& m : missiles) n += m.alive ? 1 : 0;
  return n;
}
