#include "battle/BattleUnit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleSounds.h"
#include "battle/BattleUnitManager.h"
#include "battle/BattleView.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "battle/ProcessWide.h"
#include "battle/Squadron.h"
#include "battle/SupportComponents.h"
#include "battle/TargetedComponents.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/GlobalStats.h"
#include "simdata/PropType.h"
#include "simdata/ScenarioRouteThreat.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDropInMs = 250.0f;
constexpr float kWarpOutMs = 200.0f;

float Wrap360(float a) {
  // Most angles are in range already, and fmod gives those back unchanged.
  if (a >= 0.0f && a < 360.0f) return a;
  a = std::fmod(a, 360.0f);
  if (a < 0.0f) a += 360.0f;
  return a;
}

const char* KindOfSizeType(int sizeType) {
  switch (sizeType) {
    case SIZE_INFANTRY:
      return "infantry";
    case SIZE_MECH:
      return "mech";
    case SIZE_TANK:
      return "tank";
    case SIZE_BUILDING:
      return "building";
    default:
      return "infantry";
  }
}
}  // namespace

// ------------------------------------------------------- turret and head look

// The frame's update of every unit runs these two, so they are worked out in place there.
__attribute__((always_inline)) inline void SIM_TurretFacing::Update(float frame) {
  if (!enabled || !unit) return;
  wanted = unit->target ? unit->BearingTo(unit->target->x, unit->target->y) : unit->heading;
  turning = AngleDifference(wanted, angle) > 4.0f;
  angle = TurnTowardsAngle(angle, wanted, turnRate * frame);
}

SIM_HeadLook::SIM_HeadLook(SIM_BattleUnit* unit) : unit(unit) {
  wanderOffset = RandomFloat() * 80.0f - 40.0f;
}

__attribute__((always_inline)) inline void SIM_HeadLook::Update(float step) {
  if (!unit) return;
  if (unit->target) {
    wanted = unit->BearingTo(unit->target->x, unit->target->y);
  } else {
    wanderTimer += step;
    if (wanderTimer >= 4000.0f) {
      wanderOffset = RandomRange(-40.0f, 40.0f);
      wanderTimer = 0.0f;
    }
    wanted = Wrap360(unit->heading + wanderOffset);
  }
  angle = TurnTowardsAngle(angle, wanted, turnRate * step);
}

// ------------------------------------------------------------ the unit itself

SIM_BattleUnit::SIM_BattleUnit() {
  sizeType = SIZE_INFANTRY;
  GetBattleUnitManager().Register(this);
}

SIM_BattleUnit::~SIM_BattleUnit() {
  if (BattleUnitManagerExists()) GetBattleUnitManager().Unregister(this);
  // No cell keeps pointing at a unit that is gone, however it went (a cancel in the
  // dropper, a refused soldier, the army's teardown).
  if (auto* grid = ProcessWideIfAlive<SIM_CollisionGrid>()) grid->ClearOccupant(this);
  ForgetRunningBeamSounds(this);
  const bool tearingDown = army && army->tearingDown;
  if (!tearingDown) {
    for (SIM_SupportComponent* s : repairers) s->ForgetUnit(this);
    for (SIM_SupportComponent* s : hospitals) s->ForgetUnit(this);
    for (SIM_SupportComponent* s : commanders) s->ForgetUnit(this);
  }
  repairers.clear();
  hospitals.clear();
  commanders.clear();
  groundProps.clear();
  pathManager.reset();
  visual.reset();
  // Modules may still unlink from other units here; the army detaches them first
  // when it is torn down.
  moduleManager.reset();
  movement.reset();
  turretFacing.reset();
  headLook.reset();
  damageTally.reset();
  unitVariables.reset();
}

void SIM_BattleUnit::InitFromDesign(SIM_UnitDesign* d) {
  ZT_ASSERT(d != nullptr);
  design = d;
  SIM_UnitHull* hull = d ? d->hull : nullptr;
  size = sizeCopy = hull ? hull->size : 0.0f;
  if (hull) sizeType = hull->sizeType;
  moduleManager = std::make_unique<SIM_ModuleManager>(this);
  unitVariables = std::make_unique<UnitVariables>(this);
  unitVariables->Recompute();
  moduleManager->ApplyUpgrades();
  ratedWeapon = moduleManager->lastWeapon;
  frameEffects = !moduleManager->frameEffectWeapons.empty();
  damageTally = std::make_unique<UnitBattleStats>();
  damageTally->owner = this;

  visual = GetBattleView().CreateUnitVisual(this, sizeType);
  visualPrunes = !visual || visual->PrunesEmitters();
  switch (sizeType) {
    case SIZE_INFANTRY:
      lightStrength = 1.0f;
      headLook.emplace(this);
      break;
    case SIZE_MECH:
      lightStrength = 0.9f;
      if (d && d->variant && d->variant->FindLayer("mech_head")) headLook.emplace(this);
      break;
    case SIZE_TANK:
      lightStrength = 0.7f;
      break;
    case SIZE_BUILDING:
      lightStrength = 0.5f;
      break;
    default:
      // The unit then has no visual; every use of it checks.
      ZT_WARNING("Invalid size type");
      break;
  }
  if (visual) visual->BindSprites();
  if (sizeType == SIZE_MECH || sizeType == SIZE_TANK)
    pathManager = std::make_unique<SIM_BattlePathManager>(this);
  movement = std::make_unique<SIM_BattleMovement>(this);
  turretFacing.emplace(this);
  turretFacing->turnRate = moduleManager->turretTurnRate;

  targetParts.clear();
  if (hull)
    for (auto& t : hull->targets) targetParts.push_back(t.get());
  ValidateTargetParts();
  partCursor = 0;
  barrelPointName = "gunbarrel";

  if (sizeType == SIZE_BUILDING) {
    Gameplay& g = GetGameplay();
    const std::string cls = hull ? hull->moduleSize : std::string();
    float perCost = 0.0f;
    if (cls == "LARGETURRET")
      perCost = g.CONSTRUCTION_SPEED_LARGE;
    else if (cls == "MEDIUMTURRET")
      perCost = g.CONSTRUCTION_SPEED_MEDIUM;
    else if (cls == "SMALLTURRET")
      perCost = g.CONSTRUCTION_SPEED_SMALL;
    constructionTime = (d ? d->cost : 0.0f) * perCost;
    demolitionTime = constructionTime * g.DECONSTRUCT_SPEED_MULTIPLIER;
  }
  if (sizeType == SIZE_INFANTRY) dropFactor = 0.5f + RandomFloat() * 1.5f;
}

void SIM_BattleUnit::ValidateTargetParts() {
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  for (SIM_UnitTargetData* part : targetParts) {
    // A hull without aim points gets one unnamed point at its centre.
    if (part->name.empty()) continue;
    ZT_ASSERT(variant != nullptr && variant->FindLayer(part->name) != nullptr);
  }
}

const char* SIM_BattleUnit::KindName() const {
  int st = sizeType;
  if (design && design->hull) st = design->hull->sizeType;
  return KindOfSizeType(st);
}

float SIM_BattleUnit::GetConstructionProgress() const {
  float p = 0.0f;
  if (state == US_UNDER_CONSTRUCTION)
    p = constructionTime > 0.0f ? demolitionTimer / constructionTime : 1.0f;
  else if (state == US_DEMOLISHING)
    p = demolitionTime > 0.0f ? demolitionTimer / demolitionTime : 1.0f;
  return std::clamp(p, 0.0f, 1.0f);
}

float SIM_BattleUnit::GetRefund() const {
  const float cost = design ? design->cost : 0.0f;
  const float health = moduleManager ? moduleManager->healthFraction : 0.0f;
  return cost * GetGameplay().DECONSTRUCT_RECOVERY_RATE * health;
}

bool SIM_BattleUnit::CanAct() const {
  if (GetBattle().state == BATTLE_DEPLOYMENT) return false;
  switch (state) {
    case US_IN_DROPPER:
    case US_DROPPING_IN:
    case US_UNDER_CONSTRUCTION:
    case US_INACTIVE:
    case US_DESTROYED:
    case US_WARPING_OUT:
      return false;
    default:
      return true;
  }
}

float SIM_BattleUnit::NewBearing(float tx, float ty) {
  lastBearing = HeadingDegrees(x, y, tx, ty);
  bearingFrom[0] = Bits(x);
  bearingFrom[1] = Bits(y);
  bearingTo[0] = Bits(tx);
  bearingTo[1] = Bits(ty);
  bearingValid = true;
  return lastBearing;
}

void SIM_BattleUnit::CacheHeading() {
  HeadingCosSin(heading, &cosHeading, &sinHeading);
  trigPending = false;
}

void SIM_BattleUnit::LocalToWorld(float ox, float oy, float* wx, float* wy) const {
  if (trigPending) {
    HeadingCosSin(pendingHeading, &cosHeading, &sinHeading);
    trigPending = false;
  }
  *wx = cosHeading * ox - sinHeading * oy + x;
  *wy = cosHeading * oy + sinHeading * ox + y;
}

float SIM_BattleUnit::DropInScale() const {
  if (state != US_IN_DROPPER && state != US_DROPPING_IN) return 1.0f;
  const float span = kDropInMs * dropFactor;
  const float t = span > 0.0f ? std::clamp(placementTimer / span, 0.0f, 1.0f) : 1.0f;
  return 1.5f - 0.5f * t;
}

void SIM_BattleUnit::LocalToWorldScaled(float ox, float oy, float* wx, float* wy) const {
  const float s = DropInScale();
  LocalToWorld(ox * s, oy * s, wx, wy);
}

void SIM_BattleUnit::GetTurretWorldPos(float* wx, float* wy) const {
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  const float tx = variant ? variant->turretOffsetX : 0.0f;
  const float ty = variant ? variant->turretOffsetY : 0.0f;
  LocalToWorldScaled(tx, ty, wx, wy);
}

void SIM_BattleUnit::GetNamedPointWorldPos(const std::string& name, float* wx, float* wy, int index) const {
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  const VariantLayer* point = nullptr;
  bool hasTurret = false;
  if (variant) {
    int seen = 0;
    for (const VariantLayer& l : variant->layers) {
      if (l.layerName.find("_turret") != std::string::npos) hasTurret = true;
      if (!point && l.layerName == name && seen++ == index) point = &l;
    }
  }
  if (!point) {
    // A hull drawn without the point: fire from the turret rather than from nowhere.
    ZT_ASSERT(point != nullptr);
    GetTurretWorldPos(wx, wy);
    return;
  }
  const float s = DropInScale();
  const bool barrel = name == barrelPointName;
  if (!hasTurret) {
    float ox = point->offsetx, oy = point->offsety;
    if (barrel) oy -= point->sizey * 0.5f;  // the muzzle end, forwards
    LocalToWorldScaled(ox, oy, wx, wy);
    return;
  }
  float px = 0.0f, py = 0.0f;
  GetTurretWorldPos(&px, &py);
  const float a = (turretFacing ? turretFacing->angle : heading) * kPi / 180.0f;
  const float ca = std::cos(a), sa = std::sin(a);
  const float ox = (point->offsetx - variant->turretOffsetX) * s;
  float oy = (point->offsety - variant->turretOffsetY) * s;
  if (barrel) oy -= point->sizey * 0.5f * s;
  *wx = px + ca * ox - sa * oy;
  *wy = py + ca * oy + sa * ox;
}

SIM_UnitTargetData* SIM_BattleUnit::GetActivePart() {
  if (targetParts.empty()) return nullptr;
  const int n = static_cast<int>(targetParts.size());
  if (partCursor < 0 || partCursor >= n) partCursor = 0;
  if (sizeType == SIZE_INFANTRY || !visual) return targetParts[static_cast<size_t>(partCursor)];
  for (int i = 0; i < n; ++i) {
    SIM_UnitTargetData* part = targetParts[static_cast<size_t>(partCursor)];
    if (!visual->IsPartDestroyed(part)) return part;
    partCursor = (partCursor + 1) % n;
  }
  return targetParts[static_cast<size_t>(partCursor)];
}

void SIM_BattleUnit::OnDeployed() {
  CacheHeading();
  if (pathManager) pathManager->EnterGrid();
  if (turretFacing) turretFacing->angle = turretFacing->wanted = heading;
  if (headLook) headLook->angle = headLook->wanted = heading;
  if (sizeType == SIZE_BUILDING) {
    SIM_CollisionCell* cell = GetCollisionGrid().GetCell(x, y);
    if (cell && !cell->occupant) {
      cell->occupant = this;
      if (cell->square) MarkRouteThreatsDirty(cell->square);
    }
    SpawnHullProps();
  }
  if (!isPlayers) return;
  // A squad counts with its first soldier's design.
  SIM_UnitDesign* d = design;
  if (!IsSingleUnit()) {
    auto* squad = static_cast<SIM_BattleSquadron*>(this);
    d = squad->members.empty() ? nullptr : squad->members.front()->design;
  }
  if (!d || !d->hull) return;
  const std::string kind = KindOfSizeType(d->hull->sizeType);
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.AddStat("deployed_total_" + kind, 1);
  stats.AddStat("temp_deployed_size_" + kind, 1);
  stats.AddStat("deployed_unit_" + d->hull->name, 1);
  stats.AddStat("temp_unit_" + d->hull->name, 1);
}

void SIM_BattleUnit::SpawnHullProps() {
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  if (!variant) return;
  for (const VariantProp& p : variant->props) {
    GroundPropDesc desc;
    LocalToWorld(p.x, p.y, &desc.x, &desc.y);
    desc.size = p.size;
    if (p.size == -1.0f) desc.size = p.propType ? p.propType->defaultWidth : 0.0f;
    desc.angle = p.angle == -1.0f ? RandomFloat() * 360.0f : p.angle;
    desc.propType = p.propType;
    desc.army = army;
    groundProps.push_back(GetBattleView().CreateGroundProp(desc));
  }
}

void SIM_BattleUnit::RemoveGroundProps() { groundProps.clear(); }

void SIM_BattleUnit::PruneAttachments() {
  // Most units carry none, and the list's remove_if costs even then.
  if (attachments.empty()) return;
  attachments.remove_if([](const std::unique_ptr<SIM_UnitAttachment>& a) { return a->IsFinished(); });
}

void SIM_BattleUnit::LeaveSquadron() {
  if (squadron) squadron->OnMemberLost(this);
}

void SIM_BattleUnit::LeaveGrid() {
  GetCollisionGrid().ClearOccupant(this);
  if (pathManager) pathManager->LeaveGrid();
}

void SIM_BattleUnit::PrefetchForUpdate() const {
  if (const SIM_BattleMovement* m = movement.get()) {
    __builtin_prefetch(m);
    __builtin_prefetch(reinterpret_cast<const char*>(m) + 64);
  }
}

void SIM_BattleUnit::PrefetchForThink() const {
  if (const SIM_ModuleManager* m = moduleManager.get()) {
    __builtin_prefetch(m);
    __builtin_prefetch(&m->checkModules);
  }
  if (const SIM_BattlePathManager* p = pathManager.get()) __builtin_prefetch(p);
}

void SIM_BattleUnit::Update() {
  if (visualPrunes && visual) visual->PruneEmitters();
  SIM_Battle& battle = GetBattle();
  const float step = battle.frameStep;
  shotTimer += step;
  // Burns and other records on the unit run with the battle's frame.
  for (auto& a : attachments) a->Update(step);
  switch (state) {
    case US_INACTIVE:
      // The visual's death sequence ends a unit; one without a visual ends at once.
      if (!visual) Destroy();
      break;
    case US_DESTROYED:
      break;
    case US_DROPPING_IN:
      placementTimer += step;
      if (placementTimer > kDropInMs * dropFactor) {
        if (sizeType == SIZE_BUILDING) {
          if (battle.state != BATTLE_DEPLOYMENT) {
            state = US_UNDER_CONSTRUCTION;
            demolitionTimer = 0.0f;
          } else {
            state = US_ACTIVE;
          }
        } else {
          state = (squadron && squadron->state == US_IN_EMPLACEMENT) ? US_SETTLED : US_ACTIVE;
        }
        if (visual) visual->Placed();
      }
      break;
    case US_UNDER_CONSTRUCTION:
      demolitionTimer += step;
      if (demolitionTimer > constructionTime) {
        state = US_ACTIVE;
        if (visual) visual->AddPlacedMarker();
      }
      break;
    case US_DEMOLISHING:
      demolitionTimer += step;
      if (demolitionTimer > demolitionTime) {
        if (visual) {
          visual->SpawnPlacementEffect();
          visual->AddPlacedMarker();
        }
        const float refund = GetRefund();
        // A demolition the defender AI was already paid for is not paid again.
        if (isPlayers) {
          if (!refundCredited) GetGameplay().SpendSupplies(-refund);
          SIM_GlobalStats::Get().AddStat("temp_demolition", 1);
        } else if (!refundCredited) {
          GetDefenderAI().AddBudget(refund);
        }
        state = US_DESTROYED;
        // A support building taken down stops covering its neighbours.
        if (moduleManager) moduleManager->StopAllEffects();
        RemoveGroundProps();
        removed = true;
        GetBattleUnitManager().AddDead(this);
        LeaveSquadron();
        LeaveGrid();
      }
      break;
    default:
      if (CanAct()) {
        stateTimer += step;
        if (movement) movement->Update();
        // A unit that drove has them for this very heading; the others work them out
        // only when asked.
        if (movement && movement->HasTrigFor(heading)) {
          cosHeading = movement->cosHeading;
          sinHeading = movement->sinHeading;
          trigPending = false;
        } else {
          pendingHeading = heading;
          trigPending = true;
        }
        if (turretFacing) turretFacing->Update(step);
        if (headLook) headLook->Update(step);
      }
      break;
  }
  if (state == US_WARPING_OUT) {
    warpTimer += step;
    warpAlpha = 1.0f - std::clamp(warpTimer / kWarpOutMs, 0.0f, 1.0f);
    if (warpTimer > kWarpOutMs) FinishWarpOut();
  }
  if (moved) {
    if (visual) visual->LayTracks();
    moved = false;
  }
}

void SIM_BattleUnit::Think() {
  if (!CanAct()) return;
  if (moduleManager) moduleManager->UpdateModules();
  if (pathManager && state != US_IN_DROPPER && state != US_DROPPING_IN) {
    if (++pathManager->replanCounter >= SIM_BattlePathManager::kReplanEvery) {
      pathManager->Replan();
      pathManager->replanCounter = 0;
    }
  }
  PruneAttachments();
}

void SIM_BattleUnit::MoveTo(float tx, float ty) {
  if (visual) visual->StartWalking();
  if (movement) movement->SetTarget(tx, ty);
}

void SIM_BattleUnit::Stop() {
  if (sizeType == SIZE_MECH && visual) visual->StopWalking();
  // A mech is driven by its walk: when the walk stops, so does the drive.
  if (movement) movement->throttle = 0.0f;
}

void SIM_BattleUnit::Destroy() {
  if (state == US_DESTROYED && removed) return;
  state = US_DESTROYED;
  removed = true;
  GetBattleUnitManager().AddDead(this);
  if (!isPlayers && army && army->side == SIDE_ATTACKER && design) GetGameplay().valueLost += design->cost;
  // A fallen defender weakens the fire its squad lays on the routes beside its square.
  if (squadron && army && army->side == SIDE_DEFENDER) {
    SIM_CollisionCell* cell = GetCollisionGrid().GetCell(squadron->x, squadron->y);
    if (cell && cell->square) MarkRouteThreatsDirty(cell->square);
  }
  LeaveSquadron();
  if (sizeType != SIZE_INFANTRY) LeaveGrid();
  if (!isPlayers) SIM_GlobalStats::Get().AddStat(std::string("destroyed_total_") + KindName(), 1);
  RemoveGroundProps();
}

void SIM_BattleUnit::WarpOut() {
  if (state == US_WARPING_OUT || state == US_GONE) return;
  state = US_WARPING_OUT;
  SIM_BattleView& view = GetBattleView();
  view.StartWarpOut(size, x, y);
  warpTimer = 0.0f;
  if (!view.IsOffScreen(x, y, 0.0f))
    GetBattleSounds().PlaySound("data/sounds/lb_warpout.ogg", 1, 1.0f, false, 64.0f, x, y);
  if (isPlayers) {
    if (sizeType == SIZE_INFANTRY) SIM_GlobalStats::Get().AddStat("temp_infantry_exit", 1);
    if (damageTally) damageTally->escaped += 1.0f;
  }
}

void SIM_BattleUnit::FinishWarpOut() {
  warpAlpha = 0.0f;
  state = US_GONE;
  GetBattleUnitManager().AddExited(this);
  LeaveGrid();
  LeaveSquadron();
  if (visual) visual->ClearSelection();
  if (moduleManager) moduleManager->StopAllEffects();
}
