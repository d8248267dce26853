#include "battle/TargetedComponents.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/BattleView.h"
#include "battle/Gameplay.h"
#include "battle/Movement.h"
#include "battle/ProcessWide.h"
#include "battle/TargetSelector.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
struct RunningBeamSoundList {
  std::list<SIM_BattleUnit*> units;
};

int ReadInt(const SIM_Module& m, const char* key) { return std::atoi(m.DataText(key).c_str()); }
}  // namespace

std::list<SIM_BattleUnit*>& RunningBeamSounds() { return ProcessWide<RunningBeamSoundList>().units; }

int CheckRunningBeamSounds() {
  auto* list = ProcessWideIfAlive<RunningBeamSoundList>();
  if (!list) return 0;
  int stale = 0;
  for (const SIM_BattleUnit* u : list->units) {
    if (u->state != US_DESTROYED && u->state != US_GONE) continue;
    ZT_WARNING("Error");
    ++stale;
  }
  return stale;
}

void ForgetRunningBeamSounds(const SIM_BattleUnit* unit) {
  auto* list = ProcessWideIfAlive<RunningBeamSoundList>();
  if (list) list->units.remove_if([unit](const SIM_BattleUnit* u) { return u == unit; });
}

void AimPointOf(const SIM_BattleUnit* unit, const SIM_UnitTargetData* part, float* x, float* y) {
  if (part) {
    unit->LocalToWorld(part->x, part->y, x, y);
  } else {
    *x = unit->x;
    *y = unit->y;
  }
}

bool IsOutOfBattle(const SIM_BattleUnit* unit) {
  return !unit || unit->removed || unit->state == US_DESTROYED || unit->state == US_GONE;
}

// ------------------------------------------------------ SIM_TargetedComponent

SIM_TargetedComponent::SIM_TargetedComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  if (owner && owner->sizeType != SIZE_INFANTRY) {
    const SIM_UnitHullVariant* variant = owner->design ? owner->design->variant : nullptr;
    barrelCount = variant ? variant->CountLayersByName("gunbarrel") : 0;
    ZT_ASSERT(barrelCount >= 1);
    barrelCount = std::clamp(barrelCount, 1, kMaxBarrels);
  }
  sequentialFire = ReadInt(*this, "sequential_fire") != 0;
  damage = DataFloat("damage");
  if (owner && owner->army && owner->army->side == SIDE_DEFENDER)
    damage *= GetGameplay().DEFENDER_DAMAGE_MULT;
  splashRadius = DataFloat("splash_damage_radius");
  splashMultiplier = DataFloat("splash_damage_multiplier");
  muzzleParticles = DataText("muzzle_particles");
  effectiveVsShield = DataFloat("effective_vs_shield");
  effectiveVsArmour = DataFloat("effective_vs_armor");
  effectiveVsInternal = DataFloat("effective_vs_internal");
  hitVsTank = DataFloat("hit_vs_tank");
  hitVsMech = DataFloat("hit_vs_mech");
  hitVsTurret = DataFloat("hit_vs_turret");
  hitVsInfantry = DataFloat("hit_vs_infantry");
  hasRecoil = ReadInt(*this, "hasrecoil") != 0;
  if (hasRecoil) {
    recoilDuration = DataFloat("recoil_duration");
    recoverDuration = DataFloat("recover_duration");
    recoilIntensity = DataFloat("recoil_intensity");
  }
  maxRange = maxRangeAsRead = DataFloat("max_range");
  minRange = DataFloat("min_range");
  maxRangeSq = maxRange * maxRange;
  fireInterval = DataFloat("fire_interval");
  reloadTimer = RandomFloat() * fireInterval;
  currentInterval = effectiveInterval = fireInterval;
  trackingSpeed = DataFloat("tracking_speed");
  salvo = moduleData && moduleData->HasKey("salvo_size");
  if (salvo) {
    salvoSize = ReadInt(*this, "salvo_size");
    salvoInterval = DataFloat("salvo_interval");
    singleSound = ReadInt(*this, "single_sound") != 0;
  }
  soundVolume = DataFloat("soundvolume");
  // An unknown warhead was reported when the catalogue loaded; the weapon still works.
  warhead = ParseWarhead(DataText("warhead"));
}

SIM_TargetedComponent::~SIM_TargetedComponent() = default;

float SIM_TargetedComponent::CheckElapsed() { return GetBattle().checkAccumulator; }

SIM_BattleUnit* SIM_TargetedComponent::CurrentTarget() const {
  return selector ? selector->current : nullptr;
}

void SIM_TargetedComponent::ApplyUpgrades() {
  SIM_Module::ApplyUpgrades();
  maxRange *= 1.0f + UnitVariable(UVT_WPN_RANGEBONUS);
  maxRangeSq = maxRange * maxRange;
  damage *= 1.0f + UnitVariable(UVT_WPN_DMG_BONUS);
  effectiveVsShield *= 1.0f + UnitVariable(UVT_EFF_VS_SHLD);
  effectiveVsArmour *= 1.0f + UnitVariable(UVT_EFF_VS_ARMOR);
  effectiveVsInternal *= 1.0f + UnitVariable(UVT_EFF_VS_INTERN);
  splashRadius *= 1.0f + UnitVariable(UVT_AOA_RADIUS);
  minRange *= 1.0f + UnitVariable(UVT_MIN_RANGE_RED);
  // A weapon without an interval never fires: it deals nothing per second.
  damagePerSecond = fireInterval > 0.0f ? damage * 1000.0f / fireInterval : 0.0f;
  selector = std::make_unique<SIM_TargetSelector>(owner, this);
}

float SIM_TargetedComponent::ReadyFraction() const {
  if (!selector || !selector->current || selector->noTarget) return 0.0f;
  if (!(effectiveInterval > 0.0f)) return 1.0f;
  return std::clamp(reloadTimer / effectiveInterval, 0.0f, 1.0f);
}

void SIM_TargetedComponent::Update() {
  if (!owner || owner->state == US_DEMOLISHING || !selector || !selector->enabled) return;
  selector->Update();
  reloadTimer += CheckElapsed();
  const float wear = std::clamp(1.0f - healthFraction, 0.0f, 1.0f);
  effectiveInterval = currentInterval * (1.0f + 2.0f * wear);
  SIM_BattleUnit* t = selector->current;
  if (reloadTimer < effectiveInterval || !t) return;
  const float dx = t->x - owner->x, dy = t->y - owner->y;
  if (!(dx * dx + dy * dy < maxRangeSq)) return;
  const float bearing = HeadingDegrees(owner->x, owner->y, t->x, t->y);
  const float facing = owner->turretFacing ? owner->turretFacing->angle : owner->heading;
  if (AngleDifference(bearing, facing) < kAimToleranceDeg)
    Fire();
  else
    selector->searchTimer = SIM_TargetSelector::kSearchWithTargetMs;  // search again next check
}

int SIM_TargetedComponent::Fire() {
  owner->shotTimer = 0.0f;
  reloadTimer = 0.0f;
  SIM_BattleUnit* t = CurrentTarget();
  hitPart = t ? t->GetActivePart() : nullptr;
  if (owner->damageTally) owner->damageTally->shotsFired += 1.0f;
  firedBarrel = nextBarrel;
  if (owner->visual) owner->visual->OnFire(sequentialFire ? nextBarrel : -1);
  nextBarrel = (nextBarrel + 1) % std::max(barrelCount, 1);

  float loading = UnitVariable(UVT_WPN_LOADING_SPEED);
  if (loading == 0.0f) loading = 0.0001f;
  float base = fireInterval / loading;
  if (!owner->commanders.empty()) base -= base * GetGameplay().SUPPORT_COMMAND_ROFBONUS;
  int shots = 0;
  float next;
  if (salvo) {
    if (singleSound) playSound = salvoShots == 0;
    ++salvoShots;
    if (salvoShots < salvoSize) {
      next = base;
      shots = salvoShots;
    } else {
      salvoShots = 0;
      next = (0.8f + 0.4f * RandomFloat()) * salvoInterval / loading;
    }
  } else {
    next = base * (0.9f + 0.2f * RandomFloat());
  }
  currentInterval = next;
  return shots;
}

float SIM_TargetedComponent::HitChance(const SIM_BattleUnit* target) const {
  if (!target) return 0.0f;
  const float t = target->movement ? std::fabs(target->movement->speed) : 0.0f;
  float tracking;
  if (trackingSpeed < t)
    tracking = 0.02f;
  else
    tracking = trackingSpeed > 0.0f ? 1.0f - t / trackingSpeed : 1.0f;  // a still target: 0/0 is 1
  const float sizeTerm = std::clamp(target->size / 256.0f, 0.0f, 1.0f);
  float chance = (0.5f + 0.5f * sizeTerm) * tracking * UnitVariable(UVT_WPN_ACCURACY);
  switch (target->sizeType) {
    case SIZE_INFANTRY:
      chance *= hitVsInfantry;
      break;
    case SIZE_MECH:
      chance *= hitVsMech;
      break;
    case SIZE_TANK:
      chance *= hitVsTank;
      break;
    case SIZE_BUILDING:
      chance *= hitVsTurret;
      break;
    default:
      break;
  }
  return chance;
}

void SIM_TargetedComponent::DealDamage(SIM_BattleUnit* target, SIM_UnitTargetData* part, float amount) {
  if (!target || !target->moduleManager) return;
  target->moduleManager->TakeDamage(part, owner, amount, effectiveVsShield, effectiveVsArmour,
                                    effectiveVsInternal, warhead);
}

void SIM_TargetedComponent::SplashDamage(SIM_BattleUnit* excluded, float amount, float x, float y) {
  if (splashRadius <= 0.0f || !owner || !owner->army || !owner->army->enemy) return;
  const float r2 = splashRadius * splashRadius;
  // Damage can end a unit, which leaves the living list only at the end of the frame.
  for (SIM_BattleUnit* u : owner->army->enemy->livingUnits) {
    if (u == excluded || u->state == US_IN_DROPPER || !u->IsSingleUnit()) continue;
    const float dx = u->x - x, dy = u->y - y;
    if (dx * dx + dy * dy < r2) DealDamage(u, nullptr, amount * splashMultiplier);
  }
}

void SIM_TargetedComponent::MuzzlePosition(int barrel, float* x, float* y) const {
  const SIM_UnitHullVariant* variant = owner->design ? owner->design->variant : nullptr;
  if (variant && variant->FindLayer(owner->barrelPointName))
    owner->GetNamedPointWorldPos(owner->barrelPointName, x, y, barrel);
  else
    owner->GetTurretWorldPos(x, y);
}

void SIM_TargetedComponent::Destroy() {
  SIM_Module::Destroy();
  if (owner && owner->sizeType != SIZE_INFANTRY && owner->turretFacing) owner->turretFacing->enabled = false;
}

// ----------------------------------------------------- SIM_AmmoUsingComponent

SIM_AmmoUsingComponent::SIM_AmmoUsingComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx,
                                               float sy)
    : SIM_TargetedComponent(owner, type, sx, sy) {
  ammunition = maxAmmunition = ReadInt(*this, "ammunition");
  resupplyTime = DataFloat("ammosupplytime");
}

void SIM_AmmoUsingComponent::ApplyUpgrades() {
  SIM_TargetedComponent::ApplyUpgrades();
  resupplyTime *= 1.0f + UnitVariable(UVT_AMMO_RELOAD_SPD);
  ammunition = static_cast<int>(static_cast<float>(ammunition) * (1.0f + UnitVariable(UVT_AMMO_STORAGE)));
  maxAmmunition = ammunition;
}

void SIM_AmmoUsingComponent::Update() {
  if (!resupplying) {
    SIM_TargetedComponent::Update();
    return;
  }
  resupplyTimer += CheckElapsed();
  if (resupplyTimer >= resupplyTime) {
    ammunition = maxAmmunition;
    if (selector) selector->enabled = true;
    resupplying = false;
    resupplyTimer = 0.0f;
  }
}

float SIM_AmmoUsingComponent::ReadyFraction() const {
  if (!resupplying) return SIM_TargetedComponent::ReadyFraction();
  if (!(resupplyTime > 0.0f)) return 1.0f;
  return std::clamp(resupplyTimer / resupplyTime, 0.0f, 1.0f);
}

void SIM_AmmoUsingComponent::SpendAmmo() {
  --ammunition;
  if (ammunition > 0) return;
  resupplyTimer = 0.0f;
  resupplying = true;
  if (selector) selector->enabled = false;
}
