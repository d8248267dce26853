// The computer attacker: a budget that follows the defence, attack zones chosen at
// random among the free ones, and designs chosen where the defence has the fewest
// counters.
#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Squadron.h"
#include "battle/SupplyLimits.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

const char* const SIM_ClassicAttackerAI::kMoodNames[2] = {"STEADY", "HOARD"};

namespace {
bool IsInfantry(const SIM_UnitDesign* d) { return d && d->hull && d->hull->sizeType == SIZE_INFANTRY; }

bool Near(const SIM_BattleUnit* u, const SIM_MapSquare* s, float rangeSq) {
  const float dx = u->x - s->centreX, dy = u->y - s->centreY;
  return dx * dx + dy * dy < rangeSq;
}
}  // namespace

SIM_ClassicAttackerAI::SIM_ClassicAttackerAI() = default;
SIM_ClassicAttackerAI::~SIM_ClassicAttackerAI() = default;

float SIM_ClassicAttackerAI::PriceOf(const SIM_UnitDesign* design) {
  if (!design) return 0.0f;
  return IsInfantry(design) ? design->cost * kSquadSize : design->cost;
}

void SIM_ClassicAttackerAI::ChooseMood() {
  moodFirstValue = 0;
  mood = RandomIntDirect(2) == 1 ? MOOD_HOARD : MOOD_STEADY;
  if (mood == MOOD_HOARD) {
    const SIM_BattleOutcomeManager& outcome = GetOutcomeManager();
    const float remaining = outcome.target - outcome.total;
    if (remaining > 0.0f && remaining < outcome.target / 10.0f && GetGameplay().suppliesExhausted)
      mood = MOOD_STEADY;
  }
  moodDeployments = 0;
}

void SIM_ClassicAttackerAI::CountMoodDeployment() {
  ++moodDeployments;
  if (mood == MOOD_HOARD || moodDeployments > 3) ChooseMood();
}

void SIM_ClassicAttackerAI::Reset() { Reset(BattleExists() ? GetBattle().opponentArmy : nullptr); }

void SIM_ClassicAttackerAI::Reset(SIM_BattleArmy* commanded) {
  SIM_AILog::Get().Clear();
  army = commanded;
  SIM_Battle& battle = GetBattle();
  SIM_Scenario* scenario = battle.scenario;
  supplies = scenario ? scenario->classic.startingSuppliesAttacker : 0.0f;
  chosen = nullptr;
  price = 0.0f;
  plan = nullptr;
  lastDeployed = 0;
  for (float& c : defenceCounts) c = 0.0f;
  LoadPool(scenario, battle.aiUnitSource);
  BuildZones(scenario);
}

void SIM_ClassicAttackerAI::LoadPool(SIM_Scenario* scenario, int32_t aiUnitSource) {
  // The units of the last battle are gone (the armies are rebuilt before the reset),
  // so their designs can go too.
  pool.clear();
  owned_.clear();
  auto loadFolder = [this](const std::string& pattern) {
    for (const std::string& path : ListFiles(pattern, true)) {
      auto d = std::make_unique<SIM_UnitDesign>();
      if (!d->Load(path, true)) {
        DebugLogF("AI design skipped: %s", path.c_str());
        continue;
      }
      owned_.push_back(std::move(d));
    }
  };
  loadFolder(std::string(AIDesignLists::kDefaultFolder) + "/*.txt");
  if (aiUnitSource == AI_UNITS_SCENARIO && scenario) loadFolder(scenario->Folder() + "/ai_designs/*.txt");
  std::vector<SIM_UnitDesign*> designs;
  for (auto& d : owned_) designs.push_back(d.get());
  SetPool(designs);
}

void SIM_ClassicAttackerAI::SetPool(const std::vector<SIM_UnitDesign*>& designs) {
  pool.clear();
  for (auto& c : categories) c.clear();
  for (SIM_UnitDesign* d : designs)
    if (d && d->hull && d->hull->sizeType != SIZE_BUILDING) pool.push_back(d);
  ZT_ASSERT(!pool.empty());
  for (SIM_UnitDesign* d : pool) {
    if (d->CountModulesOfClass("SIM_HospitalComponent") > 0) {
      categories[MEDICAL].push_back(d);
      continue;
    }
    if (d->CountModulesOfClass("SIM_RepairComponent") > 0 ||
        d->CountModulesOfClass("SIM_SupplyComponent") > 0 ||
        d->CountModulesOfClass("SIM_CommandComponent") > 0) {
      categories[SUPPORT].push_back(d);
      continue;
    }
    categories[GENERAL].push_back(d);
    if (IsInfantry(d)) {
      categories[INFANTRY].push_back(d);
      continue;
    }
    if (d->CountModulesOfClass("SIM_ArmorComponent") > 0) categories[ARMOURED].push_back(d);
    if (d->CountModulesOfClass("SIM_ShieldComponent") > 0) categories[SHIELDED].push_back(d);
  }
}

void SIM_ClassicAttackerAI::BuildZones(SIM_Scenario* scenario) {
  plan = nullptr;
  zones.clear();
  if (!scenario) return;
  for (SIM_MapSquare* square : scenario->attackerSquares)
    if (square && square->attackerFlag) zones.push_back(std::make_unique<AttackZone>(*scenario, square));
  ZT_ASSERT(!zones.empty());
}

int SIM_ClassicAttackerAI::PrepareBattleStart() {
  int deployed = 0;
  // Each step either spends supplies or ends the preparation: a step that deploys
  // nothing would be repeated for ever.
  for (int i = 0; i < kMaxPrepareSteps; ++i) {
    const int n = Step();
    deployed += n;
    if (n <= 0 || !plan || supplies < kMinSupplies || (chosen && supplies < price)) break;
  }
  return deployed;
}

AttackZone* SIM_ClassicAttackerAI::PickZone() {
  std::vector<AttackZone*> free;
  for (auto& z : zones) {
    const SIM_CollisionCell* cell = z->seed ? z->seed->occupant : nullptr;
    if (z->seed && (!cell || !cell->occupant)) free.push_back(z.get());
  }
  if (free.empty()) return nullptr;
  const int n = static_cast<int>(free.size());
  return free[static_cast<size_t>(std::clamp(RandomIntDirect(n), 0, n - 1))];
}

SIM_UnitDesign* SIM_ClassicAttackerAI::PickAllowed(const std::vector<SIM_UnitDesign*>& list) {
  std::vector<SIM_UnitDesign*> allowed;
  SIM_SupplyLimits& limits = GetSupplyLimits();
  for (SIM_UnitDesign* d : list)
    if (limits.CanDeploy(d)) allowed.push_back(d);
  if (allowed.empty()) return nullptr;
  const int n = static_cast<int>(allowed.size());
  return allowed[static_cast<size_t>(std::clamp(RandomIntDirect(n), 0, n - 1))];
}

SIM_UnitDesign* SIM_ClassicAttackerAI::ChooseDesign(const AttackZone& zone) {
  for (float& c : defenceCounts) c = 0.0f;
  for (const SIM_MapSquare* target : zone.targets) {
    const SIM_CollisionCell* cell = target->occupant;
    const SIM_BattleUnit* unit = cell ? cell->occupant : nullptr;
    if (!unit) continue;
    if (UnitWeaponRating(unit, "effective_vs_shield") > 1.0f) defenceCounts[0] += 1.0f;
    if (UnitWeaponRating(unit, "effective_vs_armor") > 1.0f) defenceCounts[1] += 1.0f;
    if (UnitWeaponRating(unit, "hit_vs_infantry") > 1.0f) defenceCounts[2] += 1.0f;
  }
  // Attack where the defence has the fewest counters: few anti-shield weapons call for
  // shields, few anti-armour weapons for armour, little anti-infantry fire for infantry.
  static const int kListFor[3] = {SHIELDED, ARMOURED, INFANTRY};
  float smallest = 9999999.0f;
  int list = SHIELDED;
  for (int i = 0; i < 3; ++i) {
    if (defenceCounts[i] < smallest) {
      smallest = defenceCounts[i];
      list = kListFor[i];
    }
  }
  SIM_UnitDesign* d = PickAllowed(categories[list]);
  // A pool without that kind of design still attacks, with whatever it has.
  if (!d && categories[list].empty()) d = PickAllowed(categories[GENERAL]);
  return d;
}

bool SIM_ClassicAttackerAI::SupportRule(const AttackZone& zone) {
  if (!army || !zone.seed) return false;
  int squads = 0, armed = 0, others = 0;
  for (const SIM_BattleUnit* s : army->squadrons)
    if (!static_cast<const SIM_BattleSquadron*>(s)->gone && Near(s, zone.seed, kSupportRangeSq)) ++squads;
  for (const SIM_BattleUnit* u : army->livingUnits) {
    if (u->sizeType == SIZE_INFANTRY || !Near(u, zone.seed, kSupportRangeSq)) continue;
    if (u->ratedWeapon)
      ++armed;
    else
      ++others;
  }
  if (others >= 2) return false;
  auto firstFitting = [this](const std::vector<SIM_UnitDesign*>& list) -> SIM_UnitDesign* {
    SIM_SupplyLimits& limits = GetSupplyLimits();
    for (SIM_UnitDesign* d : list)
      if (limits.CanDeploy(d) && PriceOf(d) <= supplies) return d;
    return nullptr;
  };
  SIM_UnitDesign* support = nullptr;
  if (squads > 1) support = firstFitting(categories[MEDICAL]);
  if (!support && armed > 1) support = firstFitting(categories[SUPPORT]);
  if (!support) return false;
  Deploy(support, zone);
  return true;
}

SIM_UnitDesign* SIM_ClassicAttackerAI::CheapestAffordable() const {
  SIM_UnitDesign* cheapest = nullptr;
  float best = 999999.0f;
  SIM_SupplyLimits& limits = GetSupplyLimits();
  for (SIM_UnitDesign* d : pool) {
    if (!limits.CanDeploy(d)) continue;
    const float p = PriceOf(d);
    if (p < best) {
      best = p;
      cheapest = d;
    }
  }
  return cheapest;
}

int SIM_ClassicAttackerAI::Step() {
  lastDeployed = 0;
  if (supplies < kMinSupplies) return 0;
  plan = PickZone();
  if (!plan) return 0;
  chosen = ChooseDesign(*plan);
  price = PriceOf(chosen);
  if (!chosen) return 0;
  if (price <= supplies) {
    if (!SupportRule(*plan)) Deploy(chosen, *plan);
  } else if (GetGameplay().suppliesExhausted) {
    chosen = CheapestAffordable();
    price = PriceOf(chosen);
    if (chosen && price <= supplies) Deploy(chosen, *plan);
  }
  return lastDeployed;
}

void SIM_ClassicAttackerAI::Deploy(SIM_UnitDesign* design, const AttackZone& zone) {
  SIM_Battle& battle = GetBattle();
  SIM_MapSquare* seed = zone.seed;
  if (!army || !seed || !design) return;
  float heading = battle.scenario ? battle.scenario->defaultAttackerAngle : 90.0f;
  const SIM_MapSquare* first = seed->links.empty() || !battle.scenario
                                   ? nullptr
                                   : battle.scenario->GetSquareByNumber(seed->links.front());
  if (first) heading = HeadingDegrees(seed->centreX, seed->centreY, first->centreX, first->centreY);
  const bool infantry = IsInfantry(design);
  const int count = infantry ? static_cast<int>(kSquadSize) : 1;
  SIM_BattleUnit* lead = army->DeployDesign(seed->column, seed->row, design, count, heading, false);
  if (!lead) return;
  int placed = 1;
  if (!lead->IsSingleUnit()) {
    auto* squad = static_cast<SIM_BattleSquadron*>(lead);
    placed = static_cast<int>(squad->members.size());
  }
  if (battle.state != BATTLE_RUNNING) {
    // Before the fighting starts the attackers stand ready at once: soldiers manning
    // an emplacement settle, everything else is active (a settled vehicle would never
    // drive off).
    if (lead->IsSingleUnit()) {
      lead->state = US_ACTIVE;
    } else {
      auto* squad = static_cast<SIM_BattleSquadron*>(lead);
      const bool emplaced = squad->state == US_IN_EMPLACEMENT;
      for (SIM_BattleUnit* m : squad->members) m->state = emplaced ? US_SETTLED : US_ACTIVE;
    }
  }
  supplies -= design->cost * static_cast<float>(placed);
  ZT_ASSERT(supplies >= 0.0f);
  if (supplies < 0.0f) supplies = 0.0f;
  lastDeployed += placed;
  CountMoodDeployment();
}

void SIM_ClassicAttackerAI::SupplyStep() { UpdateBudget(); }

void SIM_ClassicAttackerAI::UpdateBudget() {
  Gameplay& gameplay = GetGameplay();
  if (gameplay.suppliesExhausted) return;
  SIM_Battle& battle = GetBattle();
  if (!army || !battle.scenario) return;
  SIM_BattleArmy* defence = army->enemy;
  float e = (defence ? defence->ComputeValue() : 0.0f) + gameplay.supplies;
  const float own = army->ComputeValue();
  if (gameplay.Difficulty == 0)
    e *= 0.75f;
  else if (gameplay.Difficulty == 2)
    e *= 1.25f;
  e *= ProgressFactor();
  if (battle.battleClock < kRampMs) e *= std::clamp(0.1f + 0.9f * battle.battleClock / kRampMs, 0.0f, 1.0f);
  const float budget = battle.scenario->classic.defenderDifficultyAdjuster * e - own;
  supplies = budget > 0.0f ? budget : 0.0f;
}

bool SIM_ClassicAttackerAI::CanStillDeploy() const {
  // Below the minimum the step never deploys: counting such supplies as a threat
  // would keep the battle from ever ending.
  if (supplies < kMinSupplies) return false;
  const SIM_UnitDesign* cheapest = CheapestAffordable();
  return cheapest && PriceOf(cheapest) <= supplies;
}
