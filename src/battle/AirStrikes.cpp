#include "battle/AirStrikes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "battle/BattleHooks.h"
#include "battle/BattleSounds.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/BattleView.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/ProcessWide.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"

namespace {

constexpr const char* kStrikePattern = "data/airstrikes/*.txt";
// Sounds of blasts this far outside the view are still heard.
constexpr float kSoundMargin = 32.0f;

// A count read as text and converted as a plain integer: a missing key gives 0.
int32_t ReadCount(const SettingsFile& config, const char* key) {
  std::string text = config.GetString(key).substr(0, 63);
  return static_cast<int32_t>(std::atoi(text.c_str()));
}

// A finite, non-negative float; anything else reads 0 (a hostile file cannot make the
// timers or radii NaN).
float ReadFloat(const SettingsFile& config, const char* key) {
  const float v = config.GetFloat(key, 0.0f);
  return std::isfinite(v) && v > 0.0f ? v : 0.0f;
}

float DistanceSq(float ax, float ay, float bx, float by) {
  const float dx = ax - bx;
  const float dy = ay - by;
  return dx * dx + dy * dy;
}

void LoadStrikesForUnlocks() { SIM_AirStrikeManager::Load(); }

}  // namespace

void RegisterAirStrikeUnlocks() { SIM_UnlocksManager::RegisterCatalogueLoader(LoadStrikesForUnlocks); }

// ---- owner ----------------------------------------------------------------------------

SIM_AirStrikeOwner::~SIM_AirStrikeOwner() {
  if (SIM_AirStrikeManager* manager = ProcessWideIfAlive<SIM_AirStrikeManager>()) manager->ForgetOwner(this);
}

// ---- types -----------------------------------------------------------------------------

bool SIM_AirStrikeType::Load(const std::string& file) {
  SettingsFile config;
  config.LoadSection(file, "config");
  name = config.GetString("name");
  if (name.empty()) {
    LogErrorF("Air strike without a name skipped: %s", file.c_str());
    return false;
  }
  guiName = config.GetString("guiname");
  icon = config.GetString("icon");
  damage = ReadFloat(config, "damage");
  spreadRadius = ReadFloat(config, "distribution_radius");
  strikeCount = std::clamp(ReadCount(config, "num_strikes"), 0, 1000);
  impactRadius = ReadFloat(config, "impact_radius");
  effectiveVsInfantry = ReadFloat(config, "effective_vs_infantry");
  effectiveVsArmour = ReadFloat(config, "effective_vs_armor");
  effectiveVsShields = ReadFloat(config, "effective_vs_shields");
  supplyCost = std::max(0, ReadCount(config, "supply_cost"));
  supplyIncrement = ReadCount(config, "supply_increment");
  restockDelay = ReadFloat(config, "restock_delay");
  orderDelay = ReadFloat(config, "order_delay");
  attackDuration = ReadFloat(config, "attack_duration");
  warhead = WarheadFromText(config.GetString("warhead"));
  ready = true;
  restockTimer = 0.0f;
  unlockable.Set(name, guiName, SIM_Unlockable::KIND_AIRSTRIKE);
  unlockable.SetIcon(icon);
  return true;
}

// ---- one strike ------------------------------------------------------------------------

void SIM_AirStrike::Launch(SIM_AirStrikeOwner* newOwner, float x, float y) {
  if (state != STATE_CREATED && state != STATE_IDLE) {
    LogErrorF("Air strike [%s] launched twice; ignored", type ? type->name.c_str() : "");
    return;
  }
  stateTimer = 0.0f;
  owner = newOwner;
  targetX = x;
  targetY = y;
  state = STATE_ORDERED;
  if (!type) return;
  GetGameplay().SpendSupplies(static_cast<float>(type->supplyCost));
  type->restockTimer = 0.0f;
  type->ready = false;
}

float SIM_AirStrike::GetProgress() const {
  if (state != STATE_ORDERED) return 0.0f;
  if (!type || !(type->orderDelay > 0.0f)) return 1.0f;
  return std::clamp(stateTimer / type->orderDelay, 0.0f, 1.0f);
}

bool SIM_AirStrike::Update(float frameStep) {
  stateTimer += frameStep;
  switch (state) {
    case STATE_CREATED:
      if (type && stateTimer >= type->restockDelay) {
        state = STATE_IDLE;
        stateTimer = 0.0f;
      }
      break;
    case STATE_IDLE:
      break;
    case STATE_ORDERED:
      if (!type || stateTimer >= type->orderDelay) BeginAttack();
      break;
    case STATE_ATTACKING:
      UpdateAttack(frameStep);
      break;
    default:
      return false;
  }
  return state != STATE_FINISHED;
}

void SIM_AirStrike::BeginAttack() {
  ZT_ASSERT(owner != nullptr);
  stateTimer = 0.0f;
  state = STATE_ATTACKING;
  intervalTimer = 0.0f;
  impactsPlaced = 0;
  spreadNext = true;
  PlaceImpact();
  if (owner) owner->status = SIM_AirStrikeOwner::STATUS_ATTACKING;
  // A single-bomb strike has placed everything it will: it now waits for that bomb to
  // fall like any other attack, and finishes once it has.
}

int SIM_AirStrike::PendingImpacts() const {
  int n = 0;
  for (const Impact& i : impacts)
    if (i.timer > -1.0f) ++n;
  return n;
}

void SIM_AirStrike::UpdateAttack(float frameStep) {
  for (Impact& i : impacts) {
    if (!(i.timer > -1.0f)) continue;
    i.timer += frameStep;
    if (i.timer > kFallMs) {
      const float x = i.x;
      const float y = i.y;
      i.timer = -1.0f;
      Detonate(x, y);
    }
  }
  const int count = type ? type->strikeCount : 0;
  const float duration = type ? type->attackDuration : 0.0f;
  if (stateTimer > duration || count <= 1) {
    while (impactsPlaced < count) {
      const int before = impactsPlaced;
      PlaceImpact();
      // Every slot taken: the rest of the bombs are lost.
      if (impactsPlaced == before) break;
    }
    if (PendingImpacts() == 0) {
      state = STATE_FINISHED;
      stateTimer = 0.0f;
      if (owner) {
        owner->secondStatus = 0;
        owner->status = SIM_AirStrikeOwner::STATUS_FINISHED;
      }
    }
    return;
  }
  intervalTimer += frameStep;
  if (duration / static_cast<float>(count - 1) <= intervalTimer) PlaceImpact();
}

void SIM_AirStrike::PlaceImpact() {
  float x = targetX;
  float y = targetY;
  const float spread = type ? type->spreadRadius : 0.0f;
  bool tookUnit = false;
  if (!spreadNext && BattleUnitManagerExists()) {
    // Only positions are taken: the strike never keeps a unit.
    std::vector<std::pair<float, float>> near;
    const float spreadSq = spread * spread;
    for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits) {
      if (!u->IsSingleUnit() || u->removed) continue;
      if (DistanceSq(u->x, u->y, targetX, targetY) < spreadSq) near.emplace_back(u->x, u->y);
    }
    if (!near.empty()) {
      const int n = static_cast<int>(near.size());
      const int pick = std::min(n - 1, static_cast<int>(EngineRandUnit() * n));
      x = near[static_cast<size_t>(pick)].first;
      y = near[static_cast<size_t>(pick)].second;
      spreadNext = true;
      tookUnit = true;
    }
  }
  if (!tookUnit && spread > 0.0f) {
    const float d = RandomFloat() * spread;
    const float a = RandomFloat() * 6.2831855f;
    x = targetX + std::cos(a) * d;
    y = targetY - std::sin(a) * d;
    spreadNext = false;
  }
  Impact* slot = nullptr;
  for (Impact& i : impacts)
    if (!(i.timer > -1.0f)) {
      slot = &i;
      break;
    }
  if (!slot) return;
  slot->x = x;
  slot->y = y;
  slot->timer = 0.0f;
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.airStrikeTrail) hooks.airStrikeTrail(x, y);
  ++impactsPlaced;
  intervalTimer = 0.0f;
}

void SIM_AirStrike::Detonate(float x, float y) {
  ++detonations;
  const float damage = type ? type->damage : 0.0f;
  if (type && BattleUnitManagerExists()) {
    const float radiusSq = type->impactRadius * type->impactRadius;
    // Damage can destroy units, which may leave the list: walk a copy.
    std::vector<SIM_BattleUnit*> hit;
    for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits) {
      if (!u->IsSingleUnit() || u->removed || !u->moduleManager) continue;
      if (DistanceSq(u->x, u->y, x, y) < radiusSq) hit.push_back(u);
    }
    for (SIM_BattleUnit* u : hit) {
      SIM_UnitTargetData* part = u->targetParts.empty() ? nullptr : u->GetActivePart();
      u->moduleManager->TakeDamage(part, nullptr, damage, type->effectiveVsShields, type->effectiveVsArmour,
                                   1.0f, type->warhead);
    }
  }
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.airStrikeBlast) hooks.airStrikeBlast(damage, x, y);
  if (!GetBattleView().IsOffScreen(x, y, kSoundMargin)) {
    SIM_BattleSounds& sounds = GetBattleSounds();
    const std::string name = sounds.NextMediumExplosionSound();
    if (!name.empty()) sounds.PlaySound(name.c_str(), 1, 1.0f, false, 120.0f, x, y);
  }
}

// ---- manager ---------------------------------------------------------------------------

SIM_AirStrikeManager::~SIM_AirStrikeManager() = default;

SIM_AirStrikeManager& SIM_AirStrikeManager::Load() {
  return ProcessWide<SIM_AirStrikeManager>([](SIM_AirStrikeManager& m) { m.LoadTypes(kStrikePattern); });
}

void SIM_AirStrikeManager::LoadTypes(const std::string& pattern) {
  // Strikes point at their types: none may outlive the old catalogue.
  strikes.clear();
  types.clear();
  for (const std::string& file : ListFiles(pattern, true)) {
    auto type = std::make_unique<SIM_AirStrikeType>();
    if (type->Load(file)) types.push_back(std::move(type));
  }
}

SIM_AirStrike* SIM_AirStrikeManager::OrderStrike(SIM_AirStrikeType* type) {
  if (!type) return nullptr;
  strikes.push_back(std::make_unique<SIM_AirStrike>(type, nextId++));
  return strikes.back().get();
}

SIM_AirStrike* SIM_AirStrikeManager::FindStrike(int32_t id) const {
  for (const auto& s : strikes)
    if (s->id == id) return s.get();
  return nullptr;
}

void SIM_AirStrikeManager::CancelStrike(int32_t id) {
  strikes.remove_if([id](const std::unique_ptr<SIM_AirStrike>& s) {
    return s->id == id && (s->state == SIM_AirStrike::STATE_CREATED || s->state == SIM_AirStrike::STATE_IDLE);
  });
}

void SIM_AirStrikeManager::StartBattle() {
  // A strike belongs to the battle it was called in: bombs of the last battle must not
  // fall among the new one's units, nor report to a placer that has closed.
  strikes.clear();
}

void SIM_AirStrikeManager::ForgetOwner(SIM_AirStrikeOwner* owner) {
  for (auto& s : strikes)
    if (s->owner == owner) s->owner = nullptr;
}

void SIM_AirStrikeManager::Update(float step) {
  for (auto& t : types) {
    if (t->ready) continue;
    t->restockTimer += step;
    if (t->restockTimer > t->restockDelay) t->ready = true;
  }
  for (auto it = strikes.begin(); it != strikes.end();) {
    if ((*it)->Update(step))
      ++it;
    else
      it = strikes.erase(it);
  }
}
