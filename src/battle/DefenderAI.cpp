// The computer defender: a budget that tracks the attacker's strength, the best-scoring
// defender square, a design against the threats that reach it, and old buildings taken
// down when a better square is free.
#include <algorithm>
#include <cmath>
#include <deque>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battle/Squadron.h"
#include "battle/SupplyLimits.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
bool IsInfantry(const SIM_UnitDesign* d) { return d && d->hull && d->hull->sizeType == SIZE_INFANTRY; }

float PriceOf(const SIM_UnitDesign* d) {
  if (!d) return 0.0f;
  return IsInfantry(d) ? d->cost * SIM_ClassicDefenderAI::kSquadSize : d->cost;
}

SIM_MapSquare* SquareUnder(const SIM_BattleUnit* unit) {
  if (unit->pathManager && unit->pathManager->currentCell && unit->pathManager->currentCell->square)
    return unit->pathManager->currentCell->square;
  const SIM_CollisionCell* cell = GetCollisionGrid().GetCell(unit->x, unit->y);
  return cell ? cell->square : nullptr;
}
}  // namespace

float ProgressFactor() {
  const Gameplay& gameplay = GetGameplay();
  const float limit = gameplay.Classic().timeLimit;
  const float t = limit > 0.0f ? std::clamp(gameplay.supplyClock / limit, 0.0f, 1.0f) : 1.0f;
  if (t < 0.2f) return 1.0f;
  const SIM_BattleOutcomeManager& outcome = GetOutcomeManager();
  const float gained = outcome.target > 0.0f ? outcome.total / outcome.target : 0.0f;
  float h = std::clamp((gained - t) * 0.35f, -0.35f, 0.35f);
  if (BattleExists() && GetBattle().PlayerDefends()) h = -h;
  return 1.0f + h;
}

SIM_ClassicDefenderAI::~SIM_ClassicDefenderAI() { ClearPlacements(); }

void SIM_ClassicDefenderAI::Reset() { Reset(BattleExists() ? GetBattle().opponentArmy : nullptr, false); }

void SIM_ClassicDefenderAI::Reset(SIM_BattleArmy* commanded, bool playerSupplies) {
  SIM_AILog::Get().Clear();
  SIM_Battle& battle = GetBattle();
  SIM_Scenario* scenario = battle.scenario;
  spendsPlayerSupplies = playerSupplies;
  budget = scenario ? scenario->classic.startingSuppliesDefender : 0.0f;
  if (spendsPlayerSupplies) budget = GetGameplay().supplies;
  army = commanded;
  ZT_ASSERT(army != nullptr);
  threshold = 0.0f;
  bank = 0.0f;
  rebuildCooldown = 0.0f;
  rebuildTimer = 0.0f;
  ClearPlacements();
  // The lists outlive the battle only as pointers: build them afresh for this one.
  AIDesignLists& lists = GetAIDesignList();
  if (scenario) {
    lists.Load(scenario);
  } else {
    lists.Clear();
  }
  BuildPlacements();
}

void SIM_ClassicDefenderAI::ClearPlacements() { placements.clear(); }

void SIM_ClassicDefenderAI::BuildPlacements() {
  ClearPlacements();
  SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  if (!scenario) return;
  for (SIM_MapSquare* square : scenario->defenderSquares)
    if (square && square->defenderFlag) placements.push_back(std::make_unique<SIM_AI_Placement>(square));
}

int SIM_ClassicDefenderAI::PrepareBattleStart(int maxSteps) {
  int steps = 0;
  while (steps < maxSteps && budget >= threshold) {
    ++steps;
    // A step that deploys nothing would be repeated for ever.
    if (Step() <= 0) break;
  }
  return steps;
}

void SIM_ClassicDefenderAI::UpdateBudget() {
  Gameplay& gameplay = GetGameplay();
  if (spendsPlayerSupplies) {
    budget = gameplay.supplies;
    return;
  }
  SIM_Battle& battle = GetBattle();
  if (!army || !battle.scenario) return;
  const float own = army->ComputeValue();
  float s = (army->enemy ? army->enemy->ComputeValue() : 0.0f) + gameplay.supplies;
  if (gameplay.Difficulty == 0)
    s *= 0.75f;
  else if (gameplay.Difficulty == 2)
    s *= 1.25f;
  const float g = battle.scenario->classic.attackerDifficultyAdjuster * ProgressFactor() * s - own;
  budget = (g > 0.0f ? g : 0.0f) + bank;
}

void SIM_ClassicDefenderAI::AddBudget(float amount) {
  budget += amount;
  ZT_ASSERT(budget >= -0.01f);
  if (budget < 0.0f) budget = 0.0f;
  if (amount < 0.0f) bank = std::max(bank + amount, 0.0f);
  if (spendsPlayerSupplies) GetGameplay().SpendSupplies(-amount);
}

void SIM_ClassicDefenderAI::AddRefund(float amount) {
  ZT_ASSERT(amount >= 0.0f);
  if (!(amount > 0.0f)) return;
  if (spendsPlayerSupplies)
    GetGameplay().SpendSupplies(-amount);
  else
    bank += amount;
}

SIM_AI_Placement* SIM_ClassicDefenderAI::BestPlacement() {
  SIM_AI_Placement* best = nullptr;
  for (auto& p : placements) {
    p->Update();
    if (p->score > 0.0f && (!best || p->score > best->score)) best = p.get();
  }
  return best;
}

bool SIM_ClassicDefenderAI::UnitReaches(const SIM_BattleUnit* unit, const SIM_AI_Placement& placement) const {
  if (!unit || unit->state == US_IN_DROPPER) return false;
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  SIM_MapSquare* here = SquareUnder(unit);
  if (!scenario || !here) return false;
  if (placement.Covers(here)) return true;
  // Along the planned route when there is one, else along the links: at most 10 on.
  const SIM_BattlePathManager* paths = unit->pathManager.get();
  if (paths && !paths->route.empty()) {
    int steps = 0;
    for (const SIM_MapSquare* s : paths->route) {
      if (++steps > 10) break;
      if (placement.Covers(s)) return true;
    }
    return false;
  }
  std::vector<const SIM_MapSquare*> seen{here};
  std::deque<std::pair<const SIM_MapSquare*, int>> open{{here, 0}};
  while (!open.empty()) {
    auto [s, depth] = open.front();
    open.pop_front();
    if (depth >= 10) continue;
    for (int32_t link : s->links) {
      const SIM_MapSquare* next = scenario->GetSquareByNumber(link);
      if (!next || std::find(seen.begin(), seen.end(), next) != seen.end()) continue;
      if (placement.Covers(next)) return true;
      seen.push_back(next);
      open.emplace_back(next, depth + 1);
    }
  }
  return false;
}

SIM_UnitDesign* SIM_ClassicDefenderAI::PickFor(const SIM_AI_Placement& placement) {
  float armour = 0.0f, shield = 0.0f, infantry = 0.0f;
  const SIM_BattleArmy* enemy = army ? army->enemy : nullptr;
  if (enemy) {
    for (const SIM_BattleUnit* u : enemy->movers) {
      if (!UnitReaches(u, placement)) continue;
      if (!u->IsSingleUnit()) {
        auto* squad = static_cast<const SIM_BattleSquadron*>(u);
        if (squad->members.empty() || !squad->members.front()->design) continue;
        infantry += squad->members.front()->design->cost * static_cast<float>(squad->livingMembers.size());
        continue;
      }
      if (!u->design || !u->design->hull || !u->moduleManager) continue;
      const float vp = u->design->hull->victoryPoints;
      if (!u->moduleManager->shieldComponents.empty()) shield += vp;
      if (!u->moduleManager->armourComponents.empty()) armour += vp;
    }
  }
  const bool typed = placement.square && placement.square->kind != SIM_MapSquare::KIND_EMPLACEMENT;
  int list = typed ? AIDesignLists::ARMED_BUILDINGS : AIDesignLists::INFANTRY;
  float most = 0.0f;
  if (armour > most) {
    most = armour;
    list = typed ? AIDesignLists::BUILDING_VS_ARMOUR : AIDesignLists::INFANTRY_VS_ARMOUR;
  }
  if (shield > most) {
    most = shield;
    list = typed ? AIDesignLists::BUILDING_VS_SHIELD : AIDesignLists::INFANTRY_VS_SHIELD;
  }
  if (infantry > most) {
    most = infantry;
    list = typed ? AIDesignLists::BUILDING_VS_INFANTRY : AIDesignLists::INFANTRY_VS_INFANTRY;
  }
  std::vector<SIM_UnitDesign*> allowed;
  SIM_SupplyLimits& limits = GetSupplyLimits();
  for (SIM_UnitDesign* d : GetAIDesignList().lists[list])
    if (limits.CanDeploy(d)) allowed.push_back(d);
  if (allowed.empty()) return nullptr;
  const int n = static_cast<int>(allowed.size());
  return allowed[static_cast<size_t>(std::clamp(RandomIntDirect(n), 0, n - 1))];
}

int SIM_ClassicDefenderAI::Step() {
  RebuildStep();
  if (threshold > budget) return 0;
  SIM_AI_Placement* p = BestPlacement();
  if (!p) return 0;
  threshold = 0.0f;
  SIM_UnitDesign* design = nullptr;
  if (p->square->kind == SIM_MapSquare::KIND_SUPPORT) {
    const AIDesignLists& lists = GetAIDesignList();
    design = SIM_AI_Placement::PickDesignFor(lists.lists[AIDesignLists::COMMAND_OR_REPAIR],
                                             lists.lists[AIDesignLists::HOSPITALS], *p, army);
  } else {
    design = PickFor(*p);
  }
  if (!design) return 0;
  threshold = PriceOf(design);
  if (threshold > budget) return 0;
  return Deploy(design, *p);
}

int SIM_ClassicDefenderAI::Deploy(SIM_UnitDesign* design, SIM_AI_Placement& placement) {
  SIM_Battle& battle = GetBattle();
  SIM_MapSquare* square = placement.square;
  if (!army || !square || !design) return 0;
  const bool infantry = IsInfantry(design);
  const int count = infantry ? static_cast<int>(kSquadSize) : 1;
  const float heading = battle.scenario ? battle.scenario->defaultDefenderAngle : 270.0f;
  SIM_BattleUnit* lead = army->DeployDesign(square->column, square->row, design, count, heading, true);
  if (!lead) return 0;
  int placed = 1;
  if (!lead->IsSingleUnit())
    placed = static_cast<int>(static_cast<SIM_BattleSquadron*>(lead)->members.size());
  AddBudget(-design->cost * static_cast<float>(placed));
  GetAttackerAI().CountMoodDeployment();
  MarkRouteThreatsDirty(square);
  return placed;
}

void SIM_ClassicDefenderAI::RebuildStep() {
  if (rebuildCooldown > 0.0f) {
    rebuildCooldown -= Gameplay::kCheckInterval;
    return;
  }
  const bool late = GetGameplay().suppliesExhausted != 0;
  rebuildTimer += Gameplay::kCheckInterval;
  if (!(rebuildTimer > (late ? kRebuildPeriodLateMs : kRebuildPeriodMs))) return;
  rebuildTimer = 0.0f;
  if (!(budget > threshold) || !army) return;
  SIM_BattleUnit* oldest = nullptr;
  for (SIM_BattleUnit* u : army->movers) {
    if (u->sizeType != SIZE_BUILDING || !u->ratedWeapon || u->removed) continue;
    if (u->state == US_UNDER_CONSTRUCTION || u->state == US_DEMOLISHING || u->state == US_DESTROYED) continue;
    if (!oldest || u->stateTimer > oldest->stateTimer) oldest = u;
  }
  if (!oldest || !(oldest->stateTimer > (late ? kRebuildAgeLateMs : kRebuildAgeMs))) return;
  SIM_MapSquare* square = SquareUnder(oldest);
  SIM_AI_Placement* own = square ? SIM_AI_Placement::Find(square) : nullptr;
  float ownScore = 0.0f;
  if (own) {
    own->Evaluate();
    ownScore = own->score;
  }
  SIM_AI_Placement* best = BestPlacement();
  if (!best || !(best->score > ownScore)) return;
  oldest->demolitionTimer = 0.0f;
  oldest->state = US_DEMOLISHING;
  if (oldest->moduleManager) oldest->moduleManager->StopAllEffects();
  rebuildCooldown = kRebuildCooldownMs;
  if (late) {
    // Credited now; the demolition's own refund is then not paid a second time.
    AddRefund(oldest->GetRefund());
    oldest->refundCredited = true;
  }
}
