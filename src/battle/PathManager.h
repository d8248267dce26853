#pragma once
// A unit's way along the map's path network. Every map square lists the squares that
// follow it; each collision cell stands for one square and holds one unit. The path
// manager gives a mech, tank or squadron its next cell: along the player's planned
// route when there is one, else the neighbour with the least threat or, when nothing
// threatens, the one nearest an exit. Defending units never path: they hold their cells.
#include <cstdint>
#include <deque>
#include <vector>

class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_Scenario;
struct SIM_CollisionCell;
class SIM_BattlePathManager;

// The route search: the fewest squares from a start square to a goal (or to any exit)
// on the square graph, breadth first, so a large or crafted map costs one pass over its
// squares. Buffers are kept between searches.
class PathSearch {
 public:
  // True when a route exists; `best` then holds it, start first.
  bool Run(const SIM_Scenario& scenario, SIM_MapSquare* start, SIM_MapSquare* goal, bool anyExit);

  SIM_MapSquare* goal = nullptr;
  SIM_MapSquare* start = nullptr;
  std::vector<SIM_MapSquare*> best;
  SIM_BattlePathManager* owner = nullptr;
  int32_t anyExitMode = 0;

 private:
  std::vector<int32_t> parent_;
  std::vector<uint32_t> seen_;
  std::vector<int32_t> queue_;
  uint32_t stamp_ = 0;
};

class SIM_BattlePathManager {
 public:
  // Units replan every 32 checks, squadrons every 32 frames.
  static constexpr int kReplanEvery = 32;
  // Set by an arriving unit: the next count replans.
  static constexpr int kReplanAtOnce = 33;
  static constexpr int kNoThreatColumn = 3;

  explicit SIM_BattlePathManager(SIM_BattleUnit* unit);
  virtual ~SIM_BattlePathManager();
  SIM_BattlePathManager(const SIM_BattlePathManager&) = delete;
  SIM_BattlePathManager& operator=(const SIM_BattlePathManager&) = delete;

  // On deployment: the unit takes the cell at its position.
  void EnterGrid();
  // A route order to the square (the player's), appended to the route or replacing it.
  // False when the square cannot be reached: the route is then left as it was without
  // append (emptied otherwise) and the unit chooses its cells by threat and distance.
  bool FindPath(SIM_MapSquare* destination, bool append);
  // Takes stock of where the unit stands and gives it its next cell. Replans that this
  // one sets off in other units run after it, not inside it.
  void Replan();
  // The unit leaves the grid (death, demolition, warp-out).
  void LeaveGrid();
  // The cell the unit would move to next (null: none), without reserving it.
  SIM_CollisionCell* ChooseNextCell();

  SIM_BattleUnit* unit = nullptr;
  SIM_CollisionCell* currentCell = nullptr;
  SIM_CollisionCell* nextCell = nullptr;
  // The cell the unit found taken and waits for; null when not waiting.
  SIM_CollisionCell* waitingFor = nullptr;
  int32_t replanCounter = 0;
  // Cells the unit has moved into (a new current cell), for the battle's counts.
  int32_t cellsEntered = 0;
  SIM_MapSquare* destination = nullptr;
  std::deque<SIM_MapSquare*> route;
  PathSearch search;
  float routeLength = 1000.0f;
  float jitterX = 0.0f;
  float jitterY = 0.0f;
  bool jitterOn = false;
  int32_t threatColumn = kNoThreatColumn;
  bool defends = false;
  bool defendsKnown = false;
  // A new route order: the next replan chooses the next cell again.
  bool chooseAfresh = false;

 private:
  void ReplanNow();
  int ThreatColumn();
};
