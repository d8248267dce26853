#include "simdata/ScenarioRouteThreat.h"

#include <algorithm>
#include <utility>

#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"

namespace {

// Never destroyed: the scenarios own the threats and may go after this list would have
// at exit, and each threat leaves the list as it goes.
std::vector<SIM_RouteThreat*>& Registry() {
  static auto* const registry = new std::vector<SIM_RouteThreat*>();
  return *registry;
}

SIM_RouteThreat::OccupantQuery& Query() {
  static SIM_RouteThreat::OccupantQuery query;
  return query;
}

template <typename T>
bool Contains(const std::vector<T*>& list, const T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

SIM_RouteThreat::SIM_RouteThreat(SIM_MapSquare* entrySquare, const SIM_Scenario* owner)
    : entry(entrySquare), scenario(owner) {
  if (entry) entry->routeThreat.reset(this);
  routeSquares.clear();
  if (entry && scenario) Trace(entry);
  dirty = true;
  Registry().push_back(this);
}

SIM_RouteThreat::~SIM_RouteThreat() {
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

void SIM_RouteThreat::SetOccupantQuery(OccupantQuery query) { Query() = std::move(query); }

void SIM_RouteThreat::Trace(SIM_MapSquare* square) {
  // Each square joins once, so loops end and the recursion is at most one map deep.
  while (square && !Contains(routeSquares, square)) {
    Cover(square);
    routeSquares.push_back(square);
    if (square->links.size() == 1) {
      SIM_MapSquare* next = scenario->GetSquareByNumber(square->links.front());
      if (!next)
        LogErrorF("Route threat: square %d links to missing square %d", square->number,
                  square->links.front());
      square = next;
      continue;
    }
    for (int32_t link : square->links) {
      if (SIM_MapSquare* next = scenario->GetSquareByNumber(link)) Trace(next);
    }
    return;
  }
}

void SIM_RouteThreat::Cover(const SIM_MapSquare* square) {
  const int firstColumn = std::max(square->column - 1, 0);
  const int lastColumn = std::min(square->column + 1, scenario->maxCols - 1);
  const int firstRow = std::max(square->row - 1, 0);
  const int lastRow = std::min(square->row + 1, scenario->maxRows - 1);
  for (int row = firstRow; row <= lastRow; ++row) {
    for (int column = firstColumn; column <= lastColumn; ++column) {
      SIM_MapSquare* near = scenario->GetSquare(column, row);
      if (!near) {
        LogErrorF("Route threat: no square at %d-%d", row, column);
        continue;
      }
      if (near->defenderFlag && !Contains(coveringSquares, near)) coveringSquares.push_back(near);
    }
  }
}

void SIM_RouteThreat::Recalculate() {
  threatInfantry = threatArmour = threatShields = 0.0f;
  const OccupantQuery& query = Query();
  for (const SIM_MapSquare* square : coveringSquares) {
    RouteThreatOccupant occupant;
    if (!query || !query(*square, occupant) || !occupant.weapon || occupant.count <= 0) continue;
    const SettingsFile& data = occupant.weapon->ModuleData();
    const float p = occupant.damagePerSecond * static_cast<float>(occupant.count);
    threatArmour += p * data.GetFloat("effective_vs_armor", 0.0f);
    threatShields += p * data.GetFloat("effective_vs_shield", 0.0f);
    threatInfantry += p * data.GetFloat("hit_vs_infantry", 0.0f);
  }
  dirty = false;
}

const std::vector<SIM_RouteThreat*>& AllRouteThreats() { return Registry(); }

void MarkRouteThreatsDirty(const SIM_MapSquare* square) {
  for (SIM_RouteThreat* threat : Registry()) {
    if (Contains(threat->coveringSquares, square)) threat->dirty = true;
  }
}
