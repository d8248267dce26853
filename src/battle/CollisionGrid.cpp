#include "battle/CollisionGrid.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"

namespace {
constexpr float kTile = 200.0f;
}

void SIM_CollisionGrid::Clear() {
  for (auto& c : cells)
    if (c->square && c->square->occupant == c.get()) c->square->occupant = nullptr;
  cells.clear();
  columns = rows = 0;
  built = false;
}

void SIM_CollisionGrid::Build(SIM_Scenario* scenario) {
  Clear();
  if (!scenario) return;
  columns = std::max(0, scenario->maxCols);
  rows = std::max(0, scenario->maxRows);
  if (columns * rows > SIM_Scenario::kMaxSquares) columns = rows = 0;
  width = columns * kTile;
  height = rows * kTile;
  cells.reserve(static_cast<size_t>(columns * rows));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      auto cell = std::make_unique<SIM_CollisionCell>();
      cell->row = r;
      cell->column = c;
      cell->id = r * columns + c;
      cell->centreX = c * kTile + kTile / 2;
      cell->centreY = r * kTile + kTile / 2;
      cells.push_back(std::move(cell));
    }
  for (auto& cell : cells) {
    SIM_MapSquare* square = scenario->GetSquare(cell->column, cell->row);
    if (!square) continue;  // a map that failed to load: cells without squares
    cell->square = square;
    square->occupant = cell.get();
    ZT_ASSERT(square->number == cell->id);
    for (int32_t link : square->links) {
      if (link == -1) continue;
      SIM_CollisionCell* n = FindById(link);
      ZT_ASSERT(n != nullptr);
      if (n) cell->neighbours.push_back(n);
    }
  }
  built = true;
}

SIM_CollisionCell* SIM_CollisionGrid::GetCellAt(int column, int row) const {
  if (column < 0 || row < 0 || column >= columns || row >= rows) return nullptr;
  return cells[static_cast<size_t>(row * columns + column)].get();
}

SIM_CollisionCell* SIM_CollisionGrid::GetCell(float x, float y) const {
  if (columns <= 0 || rows <= 0) return nullptr;
  int c = static_cast<int>(x / (width / columns));
  int r = static_cast<int>(y / (height / rows));
  c = std::clamp(c, 0, columns - 1);
  r = std::clamp(r, 0, rows - 1);
  return GetCellAt(c, r);
}

SIM_CollisionCell* SIM_CollisionGrid::FindById(int id) const {
  for (auto& c : cells)
    if (c->id == id) return c.get();
  return nullptr;
}

void SIM_CollisionGrid::ClearOccupant(const SIM_BattleUnit* unit) {
  for (auto& c : cells) {
    if (c->occupant != unit) continue;
    c->occupant = nullptr;
    // The defence beside the attack routes changed.
    if (c->square) MarkRouteThreatsDirty(c->square);
  }
}
