// What both computer opponents plan with: the attack zones of the attacker, the scored
// candidate squares of the defender, the AI's design lists and the AI log.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battle/ProcessWide.h"
#include "battle/Squadron.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "platform/Window.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
float DistanceSq(const SIM_MapSquare* a, const SIM_MapSquare* b) {
  const float dx = a->centreX - b->centreX;
  const float dy = a->centreY - b->centreY;
  return dx * dx + dy * dy;
}

template <typename T>
bool Contains(const std::vector<T*>& list, const T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

SIM_MapSquare* LinkedSquare(const SIM_Scenario& scenario, int32_t link) {
  return scenario.GetSquareByNumber(link);
}

// Every placement alive, for Find. Never destroyed: the defender AI owns the placements
// and may go after this list would have at exit; each placement leaves it as it goes.
std::vector<SIM_AI_Placement*>& AllPlacements() {
  static auto* const placements = new std::vector<SIM_AI_Placement*>();
  return *placements;
}

const SIM_ModuleType* FirstWeapon(const SIM_UnitDesign* design) {
  if (!design) return nullptr;
  for (const DesignModule& m : design->modules)
    if (m.type && m.type->isWeapon) return m.type;
  return nullptr;
}

// Whether a route of 5 to 9 squares (4 to 8 links) that enters no square twice leads
// from a start square to a goal square. The fewest links from every square to the goal,
// counted once backwards over the links, settle most pairs at once: the shortest route
// is such a route when it has 4 to 8 links, and no route exists when it has more. Only a
// start closer than 4 links is searched for a longer way round, and then only through
// squares from which the goal stays within 8 links.
class RouteLengths {
 public:
  static constexpr int kMinLinks = 4;
  static constexpr int kMaxLinks = 8;

  explicit RouteLengths(const SIM_Scenario& scenario) {
    // Every square a start, goal or link can name.
    for (const SIM_MapSquare* s : scenario.squaresByNumber) Add(s);
    for (const auto& s : scenario.grid) Add(s.get());
    for (const SIM_MapSquare* s : scenario.routeStartSquares) Add(s);
    next_.resize(squares_.size());
    previous_.resize(squares_.size());
    for (size_t i = 0; i < squares_.size(); ++i) {
      for (int32_t link : squares_[i]->links) {
        const SIM_MapSquare* to = scenario.GetSquareByNumber(link);
        if (!to) continue;
        const int j = ids_.at(to);
        next_[i].push_back(j);
        previous_[static_cast<size_t>(j)].push_back(static_cast<int>(i));
      }
    }
    onRoute_.assign(squares_.size(), 0);
  }

  bool Leads(const SIM_MapSquare* start, const SIM_MapSquare* goal) {
    const auto s = ids_.find(start), g = ids_.find(goal);
    if (s == ids_.end() || g == ids_.end()) return false;
    const std::vector<int>& toGoal = LinksTo(g->second);
    const int shortest = toGoal[static_cast<size_t>(s->second)];
    if (shortest < 0 || shortest > kMaxLinks) return false;
    if (shortest >= kMinLinks) return true;
    return Search(s->second, 0, g->second, toGoal);
  }

 private:
  void Add(const SIM_MapSquare* square) {
    if (square && ids_.emplace(square, static_cast<int>(squares_.size())).second) squares_.push_back(square);
  }

  // The fewest links from every square to the goal (-1: none), kept per goal.
  const std::vector<int>& LinksTo(int goal) {
    std::vector<int>& links = toGoal_[goal];
    if (!links.empty()) return links;
    links.assign(squares_.size(), -1);
    std::vector<int> queue{goal};
    links[static_cast<size_t>(goal)] = 0;
    for (size_t head = 0; head < queue.size(); ++head) {
      const int here = queue[head];
      for (int from : previous_[static_cast<size_t>(here)]) {
        if (links[static_cast<size_t>(from)] >= 0) continue;
        links[static_cast<size_t>(from)] = links[static_cast<size_t>(here)] + 1;
        queue.push_back(from);
      }
    }
    return links;
  }

  // Depth first from `square`, reached over `links` links, for a route of at least
  // kMinLinks; no route passes the goal and comes back to it.
  bool Search(int square, int links, int goal, const std::vector<int>& toGoal) {
    if (square == goal) return links >= kMinLinks;
    onRoute_[static_cast<size_t>(square)] = 1;
    bool found = false;
    for (int next : next_[static_cast<size_t>(square)]) {
      const int rest = toGoal[static_cast<size_t>(next)];
      if (onRoute_[static_cast<size_t>(next)] || rest < 0 || links + 1 + rest > kMaxLinks) continue;
      if (Search(next, links + 1, goal, toGoal)) {
        found = true;
        break;
      }
    }
    onRoute_[static_cast<size_t>(square)] = 0;
    return found;
  }

  std::unordered_map<const SIM_MapSquare*, int> ids_;
  std::vector<const SIM_MapSquare*> squares_;
  std::vector<std::vector<int>> next_, previous_;
  std::unordered_map<int, std::vector<int>> toGoal_;
  std::vector<char> onRoute_;
};
}  // namespace

// ------------------------------------------------------------------ attack zones

AttackZone::AttackZone(const SIM_Scenario& scenario, SIM_MapSquare* seedSquare)
    : seed(seedSquare), scenario_(scenario) {
  if (!seed) return;
  CollectSquares(seed, 0);
  CollectTargets();
}

void AttackZone::AddSquare(SIM_MapSquare* square) {
  if (square && !Contains(squares, square)) squares.push_back(square);
}

void AttackZone::AddTarget(SIM_MapSquare* square) {
  if (square && !Contains(targets, square)) targets.push_back(square);
}

void AttackZone::CollectSquares(SIM_MapSquare* square, int depth) {
  // A chain of single links is followed in place; branches recurse into squares not
  // yet in the zone. The depth bounds both, so a looping chain ends too.
  while (square) {
    ++depth;
    AddSquare(square);
    if (depth > kMaxDepth) return;
    if (square->links.empty()) return;
    if (square->links.size() == 1) {
      square = LinkedSquare(scenario_, square->links.front());
      continue;
    }
    for (int32_t link : square->links) {
      SIM_MapSquare* next = LinkedSquare(scenario_, link);
      if (next && !Contains(squares, next)) CollectSquares(next, depth);
    }
    return;
  }
}

void AttackZone::CollectTargets() {
  for (SIM_MapSquare* square : squares)
    for (SIM_MapSquare* candidate : scenario_.defenderSquares)
      if (DistanceSq(square, candidate) < kTargetRangeSq) AddTarget(candidate);
}

// --------------------------------------------------------------------- the AI log

SIM_AILog& SIM_AILog::Get() { return ProcessWide<SIM_AILog>(); }

std::string SIM_AILog::Path() {
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = platform::UserFolderRoot();
  return root + "/ailog.txt";
}

void SIM_AILog::Clear() {
  std::error_code ec;
  std::filesystem::remove(Path(), ec);
  if (ec) DebugLogF("AI log not removed: %s", ec.message().c_str());
}

// ------------------------------------------------------------ the AI design lists

AIDesignLists& GetAIDesignList() { return ProcessWide<AIDesignLists>(); }

float DesignWeaponRating(const SIM_UnitDesign* design, const char* key) {
  const SIM_ModuleType* weapon = FirstWeapon(design);
  if (!weapon || !weapon->moduleData) return 0.0f;
  const float v = weapon->moduleData->GetFloat(key, 0.0f);
  return std::isfinite(v) ? v : 0.0f;
}

float UnitWeaponRating(const SIM_BattleUnit* unit, const char* key) {
  if (!unit) return 0.0f;
  // A squad is rated by its first soldier's weapon.
  if (!unit->IsSingleUnit()) {
    auto* squad = static_cast<const SIM_BattleSquadron*>(unit);
    if (squad->members.empty()) return 0.0f;
    unit = squad->members.front();
  }
  const SIM_Module* weapon = unit->ratedWeapon;
  if (!weapon) return 0.0f;
  const float v = weapon->DataFloat(key, 0.0f);
  return std::isfinite(v) ? v : 0.0f;
}

void AIDesignLists::Clear() {
  for (auto& list : lists) list.clear();
}

bool AIDesignLists::Load(SIM_Scenario* scenario) {
  Clear();
  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  if (source == SOURCE_SCENARIO) {
    if (scenario) scenario->LoadAIDesigns();
  } else {
    manager.ClearAIDesigns();
    manager.LoadAIFolder(std::string(kDefaultFolder) + "/*.txt");
    std::string playerFolder = GetUserFolder(USERFOLDER_PLAYER_UNITS);
    if (playerFolder.empty()) playerFolder = platform::UserFolderRoot() + "/player_units";
    manager.LoadAIFolder(playerFolder + "/*.txt");
    if (scenario) manager.LoadAIFolder(scenario->Folder() + "/ai_designs/*.txt");
  }
  if (manager.AIDesigns().empty()) {
    // A downloaded challenge without designs must not end the game: the defence
    // simply builds nothing.
    LogError("No AI designs!");
    return false;
  }
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& d : manager.AIDesigns()) designs.push_back(d.get());
  Sort(designs);
  return true;
}

void AIDesignLists::Sort(const std::vector<SIM_UnitDesign*>& designs) {
  Clear();
  for (SIM_UnitDesign* d : designs) {
    if (!d || !d->hull) continue;
    const int size = d->hull->sizeType;
    const bool armed = FirstWeapon(d) != nullptr;
    if (size == SIZE_INFANTRY) {
      lists[INFANTRY].push_back(d);
    } else if (size == SIZE_BUILDING) {
      if (armed) {
        lists[ARMED_BUILDINGS].push_back(d);
      } else if (d->CountModulesOfClass("SIM_CommandComponent") > 0 ||
                 d->CountModulesOfClass("SIM_RepairComponent") > 0) {
        lists[COMMAND_OR_REPAIR].push_back(d);
      } else if (d->CountModulesOfClass("SIM_HospitalComponent") > 0) {
        lists[HOSPITALS].push_back(d);
      }
    } else {
      continue;  // mechs and tanks never defend
    }
    if (!armed) continue;
    const bool infantry = size == SIZE_INFANTRY;
    if (DesignWeaponRating(d, "effective_vs_shield") > 1.0f)
      lists[infantry ? INFANTRY_VS_SHIELD : BUILDING_VS_SHIELD].push_back(d);
    if (DesignWeaponRating(d, "effective_vs_armor") > 1.0f)
      lists[infantry ? INFANTRY_VS_ARMOUR : BUILDING_VS_ARMOUR].push_back(d);
    if (DesignWeaponRating(d, "hit_vs_infantry") > 1.0f)
      lists[infantry ? INFANTRY_VS_INFANTRY : BUILDING_VS_INFANTRY].push_back(d);
  }
}

// ----------------------------------------------------------- defender placements

SIM_AI_Placement::SIM_AI_Placement(SIM_MapSquare* s) : square(s) {
  ZT_ASSERT(s != nullptr);
  AllPlacements().push_back(this);
  SIM_Battle& battle = GetBattle();
  const SIM_Scenario* scenario = battle.scenario;
  if (!square || !scenario) return;
  for (int r = 1; r <= 2; ++r) {
    for (int row = square->row - r; row <= square->row + r; ++row) {
      for (int column = square->column - r; column <= square->column + r; ++column) {
        const SIM_MapSquare* other = scenario->GetSquare(column, row);
        if (other && !other->links.empty() && !other->attackerFlag) baseScore += 12.0f;
      }
    }
  }
  for (SIM_MapSquare* start : scenario->routeStartSquares)
    if (start && DistanceSq(start, square) < kNearRangeSq) nearSquares.push_back(start);
  RouteLengths routes(*scenario);
  for (SIM_MapSquare* start : scenario->routeStartSquares) {
    if (!start) continue;
    for (SIM_MapSquare* goal : nearSquares) {
      if (routes.Leads(start, goal)) {
        watchedSquares.push_back(start);
        break;
      }
    }
  }
  float d = 9999.0f;
  for (const SIM_MapSquare* exit : scenario->exitSquares)
    if (exit) d = std::min(d, std::sqrt(DistanceSq(exit, square)));
  exitCloseness = d < kExitRange ? std::clamp(2.0f * (1.0f - d / kExitRange), 0.0f, 1.0f) : 0.0f;
}

SIM_AI_Placement::~SIM_AI_Placement() {
  auto& all = AllPlacements();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

SIM_AI_Placement* SIM_AI_Placement::Find(const SIM_MapSquare* s) {
  for (SIM_AI_Placement* p : AllPlacements())
    if (p->square == s) return p;
  return nullptr;
}

bool SIM_AI_Placement::Covers(const SIM_MapSquare* other) const {
  return square && other && DistanceSq(square, other) < kNearRangeSq;
}

void SIM_AI_Placement::Update() {
  const SIM_CollisionCell* cell = square ? square->occupant : nullptr;
  if (cell && cell->occupant && cell->occupant->state != US_DESTROYED) {
    score = 0.0f;
    cooldown = kBlockedCooldownMs;
    return;
  }
  if (cooldown > 0.0f) {
    cooldown -= Gameplay::kCheckInterval;
    score = 0.0f;
    return;
  }
  // A manned emplacement takes no second squad.
  const BattleHooks& hooks = GetBattleHooks();
  if (square && hooks.emplacementManned && hooks.emplacementManned(square)) {
    score = 0.0f;
    return;
  }
  Evaluate();
}

void SIM_AI_Placement::RebuildThreats() {
  threats.clear();
  threatTotal = 0.0f;
  auto add = [this](const SIM_BattleUnit* unit, const SIM_BattleUnit* lead) {
    if (!unit || !unit->design || !unit->design->hull) return;
    ThreatEntry e;
    e.designName = unit->design->name;
    e.victoryPoints = unit->design->hull->victoryPoints;
    e.halfCost = unit->design->cost / 2.0f;
    const SIM_BattlePathManager* paths = lead->pathManager.get();
    const float g = paths ? paths->routeLength : 0.0f;
    if (g > 0.0f && g < 15.0f) e.closenessBonus = e.victoryPoints * (15.0f - g) / 15.0f;
    e.total = e.victoryPoints + e.halfCost + e.closenessBonus;
    threatTotal += e.total;
    threats.push_back(e);
  };
  for (const SIM_MapSquare* watched : watchedSquares) {
    const SIM_CollisionCell* cell = watched->occupant;
    if (!cell || !cell->occupant) continue;
    const SIM_BattleUnit* unit = cell->occupant;
    if (!unit->IsSingleUnit()) {
      for (const SIM_BattleUnit* m : static_cast<const SIM_BattleSquadron*>(unit)->livingMembers)
        add(m, unit);
    } else {
      add(unit, unit);
    }
  }
}

void SIM_AI_Placement::Evaluate() {
  score = 0.0f;
  RebuildThreats();
  score = baseScore + threatTotal;
  if (square && square->kind == SIM_MapSquare::KIND_SUPPORT) {
    const AIDesignLists& lists = GetAIDesignList();
    if (lists.lists[AIDesignLists::COMMAND_OR_REPAIR].empty() &&
        lists.lists[AIDesignLists::HOSPITALS].empty())
      score = 0.0f;
  }
  if (GetGameplay().suppliesExhausted) score += exitCloseness * score;
}

SIM_UnitDesign* SIM_AI_Placement::PickDesignFor(const std::vector<SIM_UnitDesign*>& first,
                                                const std::vector<SIM_UnitDesign*>& second,
                                                const SIM_AI_Placement& placement,
                                                const SIM_BattleArmy* army) {
  int squads = 0, others = 0;
  if (army && placement.square) {
    const float cx = placement.square->centreX, cy = placement.square->centreY;
    auto near = [&](const SIM_BattleUnit* u) {
      const float dx = u->x - cx, dy = u->y - cy;
      return dx * dx + dy * dy < 360000.0f;
    };
    for (const SIM_BattleUnit* s : army->squadrons)
      if (!static_cast<const SIM_BattleSquadron*>(s)->gone && near(s)) ++squads;
    for (const SIM_BattleUnit* u : army->livingUnits)
      if (u->sizeType != SIZE_INFANTRY && near(u)) ++others;
  }
  const std::vector<SIM_UnitDesign*>& list = others < squads ? first : second;
  if (list.empty()) return nullptr;
  const int n = static_cast<int>(list.size());
  return list[static_cast<size_t>(std::clamp(RandomIntDirect(n), 0, n - 1))];
}
