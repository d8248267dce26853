#pragma once
// One cell per map square, each holding at most one occupant unit.
#include <memory>
#include <vector>

class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_Scenario;

struct SIM_CollisionCell {
  int row = 0;
  int column = 0;
  int id = -1;
  std::vector<SIM_CollisionCell*> neighbours;
  SIM_BattleUnit* occupant = nullptr;
  float centreX = 0.0f;
  float centreY = 0.0f;
  SIM_MapSquare* square = nullptr;
};

class SIM_CollisionGrid {
 public:
  SIM_CollisionGrid() = default;
  virtual ~SIM_CollisionGrid() = default;

  void Build(SIM_Scenario* scenario);
  void Clear();
  // The cell under a world point, clamped onto the border cells; null without a grid.
  SIM_CollisionCell* GetCell(float x, float y) const;
  // The cell at (column, row); null outside the grid.
  SIM_CollisionCell* GetCellAt(int column, int row) const;
  SIM_CollisionCell* FindById(int id) const;
  void ClearOccupant(const SIM_BattleUnit* unit);

  bool built = false;
  std::vector<std::unique_ptr<SIM_CollisionCell>> cells;
  int columns = 0;
  int rows = 0;
  float width = 0.0f;
  float height = 0.0f;
};

SIM_CollisionGrid& GetCollisionGrid();
