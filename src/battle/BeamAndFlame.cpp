#include "battle/BeamAndFlame.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleView.h"
#include "battle/Module.h"
#include "battle/TargetSelector.h"
#include "battle/WeaponEvents.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/ModuleType.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
const char* const kFlameSound = "data/sounds/lb_flamethrower.ogg";
}  // namespace

// --------------------------------------------------------------------- SIM_Burn

SIM_Burn::SIM_Burn(SIM_BattleUnit* target, SIM_BattleUnit* source, SIM_TargetedComponent* weapon,
                   float damage, float duration)
    : target(target), source(source), weapon(weapon), duration(duration) {
  const float tenth = damage / 10.0f;
  const float shares[kParts] = {4.0f, 2.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  for (int j = 0; j < kParts; ++j) {
    partDamage[j] = shares[j] * tenth;
    partDue[j] = duration / static_cast<float>(kParts) * static_cast<float>(j);
  }
}

bool SIM_Burn::Update(float frameStep) {
  if (finished) return false;
  timer += frameStep;
  for (int j = 0; j < kParts; ++j) {
    if (partDone[j] || !(partDue[j] < timer)) continue;
    partDone[j] = true;
    if (target->removed || target->state == US_INACTIVE || target->state == US_DESTROYED) continue;
    if (target->moduleManager && weapon) weapon->DealDamage(target, nullptr, partDamage[j]);
  }
  if (timer > duration) finished = true;
  return !finished;
}

// ---------------------------------------------------- SIM_FlamethrowerComponent

SIM_FlamethrowerComponent::SIM_FlamethrowerComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx,
                                                     float sy)
    : SIM_AmmoUsingComponent(owner, type, sx, sy) {
  burstDuration = DataFloat("duration");
}

SIM_FlamethrowerComponent::~SIM_FlamethrowerComponent() {
  StopWeaponSound(soundHandle);
  // Whatever draws the flame lets go of this weapon.
  FlameBurst(this, false);
}

int SIM_FlamethrowerComponent::Fire() {
  if (ammunition < 1) return 0;
  StopWeaponSound(soundHandle);
  soundHandle = WeaponLoop(kFlameSound, 1.0f, owner->x, owner->y, 2);
  if (selector) selector->enabled = false;
  const int shots = SIM_TargetedComponent::Fire();
  SpendAmmo();
  burstTarget = CurrentTarget();
  if (burstTarget) {
    aimX = burstTarget->x;
    aimY = burstTarget->y;
  }
  burstTimer = 0.0f;
  burning = true;
  FlameBurst(this, true);
  return shots;
}

void SIM_FlamethrowerComponent::Update() {
  SIM_AmmoUsingComponent::Update();
  if (!burning) return;
  burstTimer += CheckElapsed();
  // The flame follows the target it was fired at, even one that has died.
  if (burstTarget) {
    aimX = burstTarget->x;
    aimY = burstTarget->y;
  }
  if (burstTimer >= burstDuration) {
    EndBurst();
    Strike();
  }
}

void SIM_FlamethrowerComponent::EndBurst() {
  burning = false;
  FlameBurst(this, false);
  if (selector) selector->enabled = true;
  burstTarget = nullptr;
  StopWeaponSound(soundHandle);
  soundHandle = -1;
}

void SIM_FlamethrowerComponent::StopEffects() {
  if (burning) EndBurst();
  StopWeaponSound(soundHandle);
  soundHandle = -1;
}

void SIM_FlamethrowerComponent::Destroy() {
  SIM_TargetedComponent::Destroy();
  if (burning) EndBurst();
}

void SIM_FlamethrowerComponent::Strike() {
  if (!owner || !owner->army || !owner->army->enemy) return;
  float mx = 0.0f, my = 0.0f;
  MuzzlePosition(firedBarrel, &mx, &my);
  const float dist = Distance(mx, my, aimX, aimY);
  const float ux = dist > 0.0f ? (aimX - mx) / dist : std::sin(owner->heading * kDegToRad);
  const float uy = dist > 0.0f ? (aimY - my) / dist : -std::cos(owner->heading * kDegToRad);
  const float splash2 = splashRadius * splashRadius;
  for (SIM_BattleUnit* u : owner->army->enemy->livingUnits) {
    if (!u->IsSingleUnit() || !u->moduleManager) continue;
    const float dx = u->x - mx, dy = u->y - my;
    if (dx * dx + dy * dy > maxRangeSq) continue;
    bool onFire = false;
    for (float s = 0.0f; s < maxRange && !onFire; s += kSampleSpacing) {
      const float px = mx + ux * s - u->x, py = my + uy * s - u->y;
      onFire = px * px + py * py < splash2;
    }
    if (!onFire) continue;
    u->attachments.push_back(std::make_unique<SIM_Burn>(u, owner, this, damage, kBurnMs));
    if (u->sizeType == SIZE_INFANTRY && u->visual) u->visual->AddEmitter("flaming_soldier");
  }
}

// ------------------------------------------------------- SIM_BeamLaserComponent

SIM_BeamLaserComponent::SIM_BeamLaserComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx,
                                               float sy)
    : SIM_TargetedComponent(owner, type, sx, sy) {
  beamDuration = DataFloat("beam_duration");
  texture = DataText("texture");
  beamWidth = DataFloat("beamwidth");
  hasGrain = std::atoi(DataText("has_grain").c_str()) != 0;
  grainSpeed = DataFloat("grainspeed", 1.0f);
  blastEmitter = DataText("blast_emitter");
  impactEmitter = DataText("impact_emitter");
  fireDelay = DataFloat("firedelay");
  fadeTime = std::min(beamDuration * 0.25f, 100.0f);
}

SIM_BeamLaserComponent::~SIM_BeamLaserComponent() { StopWeaponSound(soundHandle); }

int SIM_BeamLaserComponent::Fire() {
  const int shots = SIM_TargetedComponent::Fire();
  if (selector) selector->enabled = false;
  beamOn = true;
  beamTimer = 0.0f;
  damagePending = true;
  beamTarget = CurrentTarget();
  if (!beamTarget) {
    beamTime = beamDuration / 2.0f;
    hit = false;
    endX = owner->x;
    endY = owner->y;
    return shots;
  }
  hit = RandomFloat() < HitChance(beamTarget);
  const float bearing = HeadingDegrees(owner->x, owner->y, beamTarget->x, beamTarget->y);
  if (hit) {
    AimPointOf(beamTarget, hitPart, &endX, &endY);
    beamTime = beamDuration;
    // The sweep runs across the line of fire.
    sweepX = std::cos(bearing * kDegToRad);
    sweepY = std::sin(bearing * kDegToRad);
  } else {
    const float s = RandomFloat() * 0.1f * Distance(owner->x, owner->y, beamTarget->x, beamTarget->y);
    const float a = RandomFloat() * 360.0f * kDegToRad;
    endX = beamTarget->x + std::sin(a) * s;
    endY = beamTarget->y - std::cos(a) * s;
    beamTime = beamDuration / 2.0f;
  }
  if (IsOnScreen(owner->x, owner->y, 0.0f)) {
    std::list<SIM_BattleUnit*>& running = RunningBeamSounds();
    if (std::find(running.begin(), running.end(), owner) != running.end())
      ZT_WARNING("beam sound duplicate!");
    StopWeaponSound(soundHandle);
    soundHandle =
        WeaponLoop(moduleType ? moduleType->NextSound() : std::string(), soundVolume, owner->x, owner->y);
    running.push_back(owner);
    soundListed = true;
  }
  return shots;
}

void SIM_BeamLaserComponent::UpdateEffects() {
  if (!beamOn) return;
  const float step = GetBattle().frameStep;
  flickerTimer = std::fmod(flickerTimer + step, 120.0f);
  grainTimer = std::fmod(grainTimer + grainSpeed * step, 250.0f);
  beamTimer += step;
  if (beamTimer > beamTime) {
    EndBeam();
    return;
  }
  if (beamTimer > fireDelay && damagePending) ApplyDamage();
}

void SIM_BeamLaserComponent::ApplyDamage() {
  damagePending = false;
  if (hit && beamTarget) {
    if (!beamTarget->removed) {
      DealDamage(beamTarget, hitPart, damage);
      DamageLanded(beamTarget, endX, endY);
      WeaponImpact(IMPACT_BEAM_HIT, warhead, damage, endX, endY);
    }
    SplashDamage(beamTarget, damage, beamTarget->x, beamTarget->y);
  } else {
    WeaponImpact(IMPACT_BEAM_MISSED, warhead, damage, endX, endY);
    SplashDamage(nullptr, damage, endX, endY);
  }
}

void SIM_BeamLaserComponent::EndBeam() {
  beamOn = false;
  if (selector) selector->enabled = true;
  StopWeaponSound(soundHandle);
  soundHandle = -1;
  if (soundListed) {
    soundListed = false;
    std::list<SIM_BattleUnit*>& running = RunningBeamSounds();
    auto it = std::find(running.begin(), running.end(), owner);
    if (it != running.end())
      running.erase(it);
    else
      ZT_WARNING("Failed to remove beam sound!");
  }
}

void SIM_BeamLaserComponent::StopEffects() {
  if (beamOn) EndBeam();
}

void SIM_BeamLaserComponent::Destroy() {
  if (beamOn) EndBeam();
  SIM_TargetedComponent::Destroy();
}
