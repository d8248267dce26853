#include "battle/PathManager.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Module.h"
#include "battle/Squadron.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"

namespace {
constexpr float kUnset = 9999.0f;
constexpr float kJitter = 5.0f;

// Replans that a replan sets off in other units wait here and run after it, so a
// crowd freeing cells one after another never nests replans inside each other.
std::vector<SIM_BattlePathManager*> g_pendingReplans;
bool g_drainingReplans = false;

bool InMovingState(const SIM_BattleUnit* u) {
  return u->state == US_ACTIVE || u->state == US_TURNING || u->state == US_SETTLED;
}

bool IsGoneSquadron(const SIM_BattleUnit* u) {
  return !u->IsSingleUnit() && static_cast<const SIM_BattleSquadron*>(u)->gone;
}
}  // namespace

// ------------------------------------------------------------------ the search

bool PathSearch::Run(const SIM_Scenario& scenario, SIM_MapSquare* from, SIM_MapSquare* to, bool anyExit) {
  best.clear();
  start = from;
  goal = to;
  anyExitMode = anyExit ? 1 : 0;
  const std::vector<SIM_MapSquare*>& squares = scenario.squaresByNumber;
  const int n = static_cast<int>(squares.size());
  if (!from || from->number < 0 || from->number >= n || squares[static_cast<size_t>(from->number)] != from)
    return false;
  if (!anyExit && !to) return false;
  if (parent_.size() != squares.size()) {
    parent_.assign(squares.size(), -1);
    seen_.assign(squares.size(), 0);
    stamp_ = 0;
  }
  if (++stamp_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0u);
    stamp_ = 1;
  }
  // Breadth first, neighbours in their listed order. Of the routes with the fewest
  // squares this keeps the first in that order, square by square from the start: the
  // one the old exhaustive walk over every simple path kept ("first found wins"). The
  // two part only where that walk never ended: a loop of single-link squares, which it
  // followed for ever and which is searched here like any other square.
  queue_.clear();
  queue_.push_back(from->number);
  seen_[static_cast<size_t>(from->number)] = stamp_;
  parent_[static_cast<size_t>(from->number)] = -1;
  int found = -1;
  for (size_t head = 0; head < queue_.size(); ++head) {
    const int id = queue_[head];
    const SIM_MapSquare* square = squares[static_cast<size_t>(id)];
    if (anyExit ? square->IsExit() : square == to) {
      found = id;
      break;
    }
    for (int32_t link : square->links) {
      if (link < 0 || link >= n || !squares[static_cast<size_t>(link)]) continue;
      if (seen_[static_cast<size_t>(link)] == stamp_) continue;
      seen_[static_cast<size_t>(link)] = stamp_;
      parent_[static_cast<size_t>(link)] = id;
      queue_.push_back(link);
    }
  }
  if (found < 0) return false;
  for (int id = found; id != -1; id = parent_[static_cast<size_t>(id)])
    best.push_back(squares[static_cast<size_t>(id)]);
  std::reverse(best.begin(), best.end());
  return true;
}

// ---------------------------------------------------------- the path manager

SIM_BattlePathManager::SIM_BattlePathManager(SIM_BattleUnit* owner) : unit(owner) {
  ZT_ASSERT(unit != nullptr);
  // Spreads the replanning of many units over the 32 counts.
  replanCounter = RandomIntDirect(kReplanEvery);
  jitterOn = unit && (unit->sizeType == SIZE_MECH || unit->sizeType == SIZE_TANK);
  search.owner = this;
}

SIM_BattlePathManager::~SIM_BattlePathManager() {
  g_pendingReplans.erase(std::remove(g_pendingReplans.begin(), g_pendingReplans.end(), this),
                         g_pendingReplans.end());
}

void SIM_BattlePathManager::EnterGrid() {
  if (!unit) return;
  SIM_CollisionCell* cell = GetCollisionGrid().GetCell(unit->x, unit->y);
  ZT_ASSERT(cell != nullptr);
  if (!cell) return;
  ZT_ASSERT(!cell->occupant || cell->occupant == unit);
  currentCell = cell;
  // A unit dropped onto a held cell stands there without taking it: a cell never has
  // two holders, and the unit moves off at its first replan.
  if (cell->occupant) return;
  cell->occupant = unit;
  if (cell->square) MarkRouteThreatsDirty(cell->square);
}

void SIM_BattlePathManager::LeaveGrid() {
  currentCell = nullptr;
  nextCell = nullptr;
  waitingFor = nullptr;
}

bool SIM_BattlePathManager::FindPath(SIM_MapSquare* target, bool append) {
  ZT_ASSERT(target != nullptr);
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  if (!target || !scenario) return false;
  SIM_MapSquare* previous = destination;
  SIM_MapSquare* from = nullptr;
  if (append) {
    ZT_ASSERT(previous != nullptr);
    from = previous;
  } else {
    route.clear();
  }
  if (!from) from = currentCell ? currentCell->square : nullptr;
  // The next replan chooses afresh; the reserved cell stays held until it does, so no
  // other unit is let into the cell this one may already be driving into.
  chooseAfresh = true;
  if (!from) {
    if (!append) destination = nullptr;
    return false;
  }
  destination = target;
  if (!search.Run(*scenario, from, target, false)) {
    destination = append ? previous : nullptr;
    return false;
  }
  auto first = search.best.begin();
  if (!route.empty() && first != search.best.end() && route.back() == *first) ++first;
  route.insert(route.end(), first, search.best.end());
  return true;
}

int SIM_BattlePathManager::ThreatColumn() {
  if (threatColumn != kNoThreatColumn) return threatColumn;
  if (unit->sizeType == SIZE_INFANTRY || unit->sizeType == SIZE_SQUADRON) {
    threatColumn = 0;
  } else {
    const SIM_ModuleManager* m = unit->moduleManager.get();
    threatColumn = (m && m->totalMaxShields < m->totalMaxArmour) ? 1 : 2;
  }
  return threatColumn;
}

SIM_CollisionCell* SIM_BattlePathManager::ChooseNextCell() {
  if (!currentCell) return nullptr;
  const std::vector<SIM_CollisionCell*>& candidates = currentCell->neighbours;
  if (candidates.empty()) return nullptr;
  if (candidates.size() == 1) return candidates.front();
  SIM_CollisionCell* leastThreat = nullptr;
  SIM_CollisionCell* nearest = nullptr;
  float bestThreat = kUnset;
  float bestLength = kUnset;
  bool threatened = false;
  for (SIM_CollisionCell* c : candidates) {
    if (!route.empty() && c->square == route.front()) return c;
    if (c->occupant && c->occupant != unit) continue;
    const int column = ThreatColumn();
    float threat = 0.0f;
    SIM_RouteThreat* rt = c->square ? c->square->routeThreat.get() : nullptr;
    ZT_ASSERT(rt != nullptr);
    if (rt) {
      if (rt->dirty) rt->Recalculate();
      threat = column == 0 ? rt->threatInfantry : column == 1 ? rt->threatArmour : rt->threatShields;
    }
    if (threat > 0.0f) threatened = true;
    const float length = c->square ? static_cast<float>(c->square->routeLength) : kUnset;
    if (threat < bestThreat) {
      bestThreat = threat;
      leastThreat = c;
    }
    if (length < bestLength) {
      bestLength = length;
      nearest = c;
    }
  }
  return threatened ? leastThreat : nearest;
}

void SIM_BattlePathManager::Replan() {
  ReplanNow();
  if (g_drainingReplans) return;
  g_drainingReplans = true;
  // A queued replan may free a cell in turn; its followers join the end of the queue.
  // Each unit changes cells at most once here (none moves meanwhile), so this ends.
  for (size_t i = 0; i < g_pendingReplans.size(); ++i) {
    SIM_BattlePathManager* other = g_pendingReplans[i];
    other->replanCounter = 0;
    other->ReplanNow();
  }
  g_pendingReplans.clear();
  g_drainingReplans = false;
}

void SIM_BattlePathManager::ReplanNow() {
  if (!unit) return;
  if (currentCell && !route.empty() && route.front() == currentCell->square) route.pop_front();

  SIM_CollisionCell* here = GetCollisionGrid().GetCell(unit->x, unit->y);
  ZT_ASSERT(here != nullptr);
  if (!here) return;
  SIM_CollisionCell* old = currentCell;
  if (here == nextCell) {
    currentCell = here;
    if (here->square) routeLength = static_cast<float>(here->square->routeLength);
  }
  // A unit that could not take its cell at deployment starts from where it stands.
  if (!currentCell) currentCell = here;
  if (currentCell != old) ++cellsEntered;

  if (!currentCell->occupant) currentCell->occupant = unit;
  if (!route.empty() && route.front() == currentCell->square) {
    const bool atDestination = route.front() == destination;
    route.pop_front();
    if (atDestination) {
      destination = nullptr;
      ZT_ASSERT(route.empty());
    }
  }

  if (old && old != currentCell) {
    // Not held by this unit only when it was dropped onto a cell another unit holds.
    if (old->occupant == unit) old->occupant = nullptr;
    nextCell = nullptr;
    // Units that wait for the freed cell, or have nowhere to go, look again.
    if (unit->army) {
      for (SIM_BattleUnit* u : unit->army->movers) {
        if (u == unit || u->removed || !u->pathManager || !InMovingState(u) || IsGoneSquadron(u)) continue;
        SIM_BattlePathManager* pm = u->pathManager.get();
        if (pm->waitingFor != old && pm->nextCell) continue;
        if (std::find(g_pendingReplans.begin(), g_pendingReplans.end(), pm) == g_pendingReplans.end())
          g_pendingReplans.push_back(pm);
      }
    }
  }

  if (!defendsKnown && BattleExists()) {
    defends = unit->isPlayers == GetBattle().PlayerDefends();
    defendsKnown = true;
  }
  if (defends) {
    if (nextCell && nextCell != currentCell && nextCell->occupant == unit) nextCell->occupant = nullptr;
    nextCell = nullptr;
    return;
  }

  SIM_CollisionCell* found = nextCell;
  if (!nextCell || (nextCell->occupant && nextCell->occupant != unit) || chooseAfresh)
    found = ChooseNextCell();
  chooseAfresh = false;
  if (found && (!found->occupant || found->occupant == unit)) {
    if (nextCell && nextCell != found) {
      ZT_ASSERT(nextCell->occupant == unit);
      if (nextCell->occupant == unit && nextCell != currentCell) nextCell->occupant = nullptr;
    }
    nextCell = found;
    found->occupant = unit;
    waitingFor = nullptr;
    float tx = found->centreX, ty = found->centreY;
    if (jitterOn) {
      jitterX += RandomRange(-kJitter, kJitter);
      jitterY += RandomRange(-kJitter, kJitter);
      tx += jitterX;
      ty += jitterY;
    }
    unit->MoveTo(tx, ty);
  } else {
    // Nowhere free to go: wait here for the next replan or for the cell to be freed.
    waitingFor = found;
    unit->Stop();
  }
}
