// Units on small fixture maps: following routes to the exit, waiting for a taken cell,
// the fallback when a route order cannot be reached, one unit per cell in a crowd,
// squads keeping their formation, and seeded battles replaying the same.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleUnitManager.h"
#include "battle/CollisionAvoider.h"
#include "battle/CollisionGrid.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "battle/Squadron.h"
#include "engine/Singletons.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

using namespace battle_test;

namespace {

struct Square {
  int number;
  std::vector<int> links;
  bool attacker = false;
  bool defender = false;
  bool exit = false;
};

// A scenario file of `cols` x `rows` squares; squares not listed are plain grass.
std::string MapText(int cols, int rows, const std::vector<Square>& squares) {
  std::map<int, Square> byNumber;
  for (const Square& s : squares) byNumber[s.number] = s;
  std::string text = "[config]\nname = fixture\nmaxcols = " + std::to_string(cols) +
                     "\nmaxrows = " + std::to_string(rows) + "\n\n[map]\n";
  for (int n = 0; n < cols * rows; ++n) {
    Square s{n, {}};
    if (byNumber.count(n)) s = byNumber[n];
    std::string links;
    for (int l : s.links) links += std::to_string(l) + ",";
    text += std::to_string(n / cols) + "-" + std::to_string(n % cols) + " = " + std::to_string(n) + ",\"" +
            links + "\"," + (s.attacker ? "1" : "0") + "," + (s.defender ? "1" : "0") + ",,,," +
            (s.exit ? "EXIT" : "") + "\n";
  }
  return text;
}

class FixtureMap : public ::testing::Test {
 public:
  void TearDown() override {
    // The grid points into the squares: let go of them before the map goes.
    GetCollisionGrid().Clear();
  }

  SIM_Battle& Start(int cols, int rows, const std::vector<Square>& squares, uint32_t seed = 99) {
    const std::string path = zt_test::UserDir() + "/maps/fixture" + std::to_string(++maps) + "/scenario.txt";
    zt_test::WriteText(path, MapText(cols, rows, squares));
    scenario = std::make_unique<SIM_Scenario>();
    EXPECT_TRUE(scenario->Load(path));
    SIM_Battle& battle = GetBattle();
    battle.playerDefends = false;
    battle.aiUnitSource = AI_UNITS_NONE;
    battle.scenario = scenario.get();
    battle.Start();
    EXPECT_TRUE(GetCollisionGrid().built);
    InitRandomWithSeed(seed);
    tankDesign = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f, 60.0f), {});
    infantryDesign = cat.Design(cat.Hull("soldier", SIZETYPE_INFANTRY, 1, 10.0f, 24.0f), {});
    return battle;
  }

  // Speed and handling set directly: world units per ms, per frame, degrees per ms.
  static void Drive(SIM_BattleUnit* u, float maxSpeed = 0.2f, float turnRate = 0.5f) {
    u->moduleManager->powerRatio = maxSpeed;
    u->moduleManager->speedValue = maxSpeed / 8.0f;
    u->moduleManager->hullTurnRate = turnRate;
    u->moduleManager->HandlingChanged();
  }

  SIM_BattleUnit* Tank(SIM_BattleArmy* army, int number, bool defenderSide = false) {
    SIM_MapSquare* sq = scenario->GetSquareByNumber(number);
    SIM_BattleUnit* u = army->DeployDesign(sq->column, sq->row, tankDesign, 1, 90.0f, defenderSide);
    if (u) Drive(u);
    return u;
  }

  SIM_BattleSquadron* Squad(int number, int count) {
    SIM_MapSquare* sq = scenario->GetSquareByNumber(number);
    auto* squad = static_cast<SIM_BattleSquadron*>(
        GetBattle().playerArmy->DeployDesign(sq->column, sq->row, infantryDesign, count, 90.0f, false));
    if (squad)
      for (SIM_BattleUnit* m : squad->members) Drive(m, 0.08f, 0.5f);
    return squad;
  }

  SIM_CollisionCell* Cell(int number) { return GetCollisionGrid().FindById(number); }

  // Steps the battle until the condition holds or the frames run out.
  template <typename Done>
  int RunUntil(Done done, int frames) {
    SIM_Battle& battle = GetBattle();
    for (int i = 0; i < frames; ++i) {
      if (done()) return i;
      battle.Update();
    }
    return done() ? frames : -1;
  }

  Catalogue cat;
  std::unique_ptr<SIM_Scenario> scenario;
  SIM_UnitDesign* tankDesign = nullptr;
  SIM_UnitDesign* infantryDesign = nullptr;
  int maps = 0;
};

// One road along the top row: 0 -> 1 -> 2 -> 3 -> 4 (exit).
std::vector<Square> Road() {
  return {{0, {1}, true}, {1, {2}, true}, {2, {3}}, {3, {4}}, {4, {}, false, false, true}};
}

TEST_F(FixtureMap, AUnitFollowsItsRouteToTheExitAndWarpsOut) {
  ScopedRecordingView recording;
  SIM_Battle& battle = Start(5, 1, Road());
  SIM_BattleUnit* tank = Tank(battle.playerArmy, 0);
  ASSERT_NE(tank, nullptr);
  EXPECT_EQ(tank->pathManager->currentCell, Cell(0));
  EXPECT_EQ(Cell(0)->occupant, tank);
  battle.Begin();
  ASSERT_TRUE(tank->pathManager->FindPath(scenario->GetSquareByNumber(4), false));
  ASSERT_EQ(tank->pathManager->route.size(), 5u);
  EXPECT_EQ(tank->pathManager->route.back(), scenario->GetSquareByNumber(4));

  std::vector<int> visited;
  float lastX = tank->x;
  bool backwards = false;
  int warpedAt = -1;
  const int frames = RunUntil(
      [&] {
        if (tank->x < lastX - 0.01f) backwards = true;
        lastX = tank->x;
        SIM_CollisionCell* c = tank->pathManager->currentCell;
        if (c && (visited.empty() || visited.back() != c->id)) visited.push_back(c->id);
        if (tank->state == US_WARPING_OUT && warpedAt < 0)
          warpedAt = scenario->GetSquareAt(tank->x, tank->y)->number;
        return tank->state == US_GONE;
      },
      4000);
  ASSERT_GE(frames, 0) << "the tank never left; it stands at " << tank->x << "," << tank->y;
  EXPECT_FALSE(backwards);
  // It warps out as soon as it is on the exit square, before settling into its cell.
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(warpedAt, 4);
  // Gone units leave the grid and their route behind.
  for (auto& c : GetCollisionGrid().cells) EXPECT_NE(c->occupant, tank);
  EXPECT_EQ(tank->pathManager->currentCell, nullptr);
  EXPECT_EQ(recording.view.warpOuts, 1);
}

// The battle counts what its units drive, side by side, as they drive: a unit warping
// out or gone drives no more, and a new battle counts from nothing.
TEST_F(FixtureMap, TheBattleCountsTheDistanceDrivenAndTheCellsEntered) {
  ScopedRecordingView recording;
  for (double& d : GetBattle().distanceDriven) d = 123.0;
  SIM_Battle& battle = Start(5, 1, Road());
  for (double d : battle.distanceDriven) EXPECT_EQ(d, 0.0);
  SIM_BattleUnit* tank = Tank(battle.playerArmy, 0);
  ASSERT_NE(tank, nullptr);
  const float startX = tank->x;
  battle.Begin();
  ASSERT_TRUE(tank->pathManager->FindPath(scenario->GetSquareByNumber(4), false));
  ASSERT_GE(RunUntil([&] { return tank->state == US_GONE; }, 4000), 0);
  // Twenty frames more: nothing is counted after the unit has left.
  RunUntil([] { return false; }, 20);
  // Straight along the row: what it drove is how far it went.
  EXPECT_NEAR(battle.distanceDriven[SIDE_ATTACKER], tank->x - startX, 0.5);
  EXPECT_GT(battle.distanceDriven[SIDE_ATTACKER], 600.0);
  EXPECT_EQ(battle.distanceDriven[SIDE_DEFENDER], 0.0);
  // Cells 1, 2 and 3: the exit square takes it off the grid before it settles there.
  EXPECT_EQ(tank->pathManager->cellsEntered, 3);
}

// The exit check passes over a unit still where it last found no exit; one put down
// elsewhere without driving there (here on the exit square) is looked at again.
TEST_F(FixtureMap, AUnitPutDownOnTheExitWarpsOutAtTheNextCheck) {
  SIM_Battle& battle = Start(5, 1, Road());
  SIM_BattleUnit* tank = Tank(battle.playerArmy, 1);
  ASSERT_NE(tank, nullptr);
  battle.Begin();
  const float x = tank->x, y = tank->y;
  const auto warping = [&] { return tank->state == US_WARPING_OUT; };
  // Several checks' worth of frames standing on a square that is no exit.
  EXPECT_EQ(RunUntil(warping, 60), -1);
  ASSERT_EQ(tank->x, x);
  ASSERT_EQ(tank->y, y);
  const SIM_MapSquare* exit = scenario->GetSquareByNumber(4);
  tank->x = exit->centreX;
  tank->y = exit->centreY;
  const int frames = RunUntil(warping, 60);
  ASSERT_GE(frames, 0) << "a unit on the exit square never warped out";
  // Within one check period (200 ms of 16 ms frames).
  EXPECT_LE(frames, 14);
}

TEST_F(FixtureMap, AUnitWhoseOnlyWayIsTakenStopsAndGoesOnWhenItIsFreed) {
  // The defender's tank on square 1 holds its cell and never paths.
  std::vector<Square> road = Road();
  road[1].defender = true;
  SIM_Battle& battle = Start(5, 1, road);
  SIM_BattleUnit* tank = Tank(battle.playerArmy, 0);
  SIM_BattleUnit* blocker = Tank(battle.opponentArmy, 1, true);
  ASSERT_NE(tank, nullptr);
  ASSERT_NE(blocker, nullptr);
  battle.Begin();
  // Several replans pass: the tank stays in its own cell, stopped.
  for (int i = 0; i < 600; ++i) battle.Update();
  EXPECT_EQ(Cell(1)->occupant, blocker);
  EXPECT_EQ(blocker->pathManager->nextCell, nullptr);
  EXPECT_EQ(tank->pathManager->waitingFor, Cell(1));
  EXPECT_EQ(tank->pathManager->nextCell, nullptr);
  EXPECT_FLOAT_EQ(tank->movement->throttle, 0.0f);
  EXPECT_EQ(GetCollisionGrid().GetCell(tank->x, tank->y), Cell(0));

  blocker->Destroy();
  EXPECT_EQ(Cell(1)->occupant, nullptr);
  EXPECT_GE(RunUntil([&] { return tank->state == US_GONE; }, 4000), 0);
}

TEST_F(FixtureMap, AWaitingUnitTakesTheCellTheUnitAheadFreesAtOnce) {
  SIM_Battle& battle = Start(
      6, 1, {{0, {1}, true}, {1, {2}, true}, {2, {3}}, {3, {4}}, {4, {5}}, {5, {}, false, false, true}});
  SIM_BattleUnit* behind = Tank(battle.playerArmy, 0);
  SIM_BattleUnit* ahead = Tank(battle.playerArmy, 1);
  ASSERT_NE(behind, nullptr);
  ASSERT_NE(ahead, nullptr);
  // The unit behind replans first, the one ahead a good while later.
  behind->pathManager->replanCounter = SIM_BattlePathManager::kReplanEvery - 1;
  ahead->pathManager->replanCounter = 0;
  battle.Begin();
  // The unit behind finds cell 1 taken and waits for it.
  ASSERT_GE(RunUntil([&] { return behind->pathManager->waitingFor == Cell(1); }, 400), 0);
  // The replan in which the unit ahead moves on frees cell 1, and the waiting unit
  // takes it in the same step rather than at its own next replan.
  ASSERT_GE(RunUntil([&] { return ahead->pathManager->currentCell == Cell(2); }, 2000), 0);
  EXPECT_EQ(Cell(1)->occupant, behind);
  EXPECT_EQ(behind->pathManager->nextCell, Cell(1));
  EXPECT_EQ(behind->pathManager->waitingFor, nullptr);
  EXPECT_GE(RunUntil([&] { return behind->state == US_GONE && ahead->state == US_GONE; }, 6000), 0);
}

// Square 1 forks: the short branch 2 -> 3 (exit) along the top row, the long branch
// 7 -> 8 -> 9 -> 4 (exit) below it. Square 11 lies on a road of its own.
std::vector<Square> Fork() {
  return {{0, {1}, true}, {1, {2, 6}}, {2, {3}}, {3, {}, false, false, true}, {6, {7}},
          {7, {8}},       {8, {9}},    {9, {4}}, {4, {}, false, false, true}, {10, {11}},
          {11, {}}};
}

TEST_F(FixtureMap, RouteOrdersAndTheirFallback) {
  const struct {
    const char* name;
    int destination;
    bool reachable;
    int exitReached;
  } cases[] = {
      {"a route order down the long branch is followed", 9, true, 4},
      {"an unreachable order leaves no route: the shortest way to an exit", 11, false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SIM_Battle& battle = Start(5, 3, Fork());
    SIM_BattleUnit* tank = Tank(battle.playerArmy, 0);
    ASSERT_NE(tank, nullptr);
    battle.Begin();
    SIM_BattlePathManager* pm = tank->pathManager.get();
    EXPECT_EQ(pm->FindPath(scenario->GetSquareByNumber(c.destination), false), c.reachable);
    EXPECT_EQ(pm->route.empty(), !c.reachable);
    EXPECT_EQ(pm->destination != nullptr, c.reachable);
    int exitSquare = -1;
    ASSERT_GE(RunUntil(
                  [&] {
                    if (tank->state == US_WARPING_OUT && exitSquare < 0)
                      exitSquare = scenario->GetSquareAt(tank->x, tank->y)->number;
                    return tank->state == US_GONE;
                  },
                  8000),
              0);
    EXPECT_EQ(exitSquare, c.exitReached);
    GetCollisionGrid().Clear();
  }
}

TEST_F(FixtureMap, AppendingARouteOrderDropsTheSharedSquare) {
  SIM_Battle& battle = Start(5, 3, Fork());
  SIM_BattleUnit* tank = Tank(battle.playerArmy, 0);
  SIM_BattlePathManager* pm = tank->pathManager.get();
  ASSERT_TRUE(pm->FindPath(scenario->GetSquareByNumber(7), false));
  ASSERT_TRUE(pm->FindPath(scenario->GetSquareByNumber(9), true));
  std::vector<int> numbers;
  for (SIM_MapSquare* s : pm->route) numbers.push_back(s->number);
  EXPECT_EQ(numbers, (std::vector<int>{0, 1, 6, 7, 8, 9}));
  // An unreachable append keeps the route and its end.
  EXPECT_FALSE(pm->FindPath(scenario->GetSquareByNumber(11), true));
  EXPECT_EQ(pm->route.size(), 6u);
  EXPECT_EQ(pm->destination, scenario->GetSquareByNumber(9));
  (void)battle;
}

// 8 x 6: rows 0..5 each run east from column 0 to column 5; column 5 funnels down
// (rows 0..2) and up (rows 4, 5) into row 3, which leaves by 29 -> 30 -> 31 (exit).
std::vector<Square> Funnel() {
  std::vector<Square> squares;
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 5; ++c) squares.push_back({r * 8 + c, {r * 8 + c + 1}, true});
    const int n = r * 8 + 5;
    if (r < 3)
      squares.push_back({n, {n + 8}});
    else if (r > 3)
      squares.push_back({n, {n - 8}});
    else
      squares.push_back({n, {n + 1}});
  }
  squares.push_back({30, {31}});
  squares.push_back({31, {}, false, false, true});
  return squares;
}

// Every cell has one holder; every unit holds the cell it stands in (or the cell it
// drives into); the unit's current and next cells are its own.
void ExpectOneUnitPerCell(const std::vector<SIM_BattleUnit*>& units, int frame) {
  std::map<const SIM_CollisionCell*, const SIM_BattleUnit*> held;
  for (const SIM_BattleUnit* u : units) {
    if (u->state == US_WARPING_OUT || u->state == US_GONE) continue;
    const SIM_BattlePathManager* pm = u->pathManager.get();
    for (const SIM_CollisionCell* c : {pm->currentCell, pm->nextCell}) {
      if (!c) continue;
      ASSERT_EQ(c->occupant, u) << "frame " << frame;
      auto it = held.find(c);
      ASSERT_TRUE(it == held.end() || it->second == u) << "frame " << frame << " cell " << c->id;
      held[c] = u;
    }
    const SIM_CollisionCell* under = GetCollisionGrid().GetCell(u->x, u->y);
    ASSERT_TRUE(under == pm->currentCell || under == pm->nextCell)
        << "frame " << frame << ": a unit stands in cell " << under->id << " it does not hold";
  }
}

TEST_F(FixtureMap, ACrowdOfThirtyKeepsOneUnitPerCellAndAllLeave) {
  SIM_Battle& battle = Start(8, 6, Funnel());
  std::vector<SIM_BattleUnit*> crowd;
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 5; ++c) crowd.push_back(Tank(battle.playerArmy, r * 8 + c));
  ASSERT_EQ(crowd.size(), 30u);
  for (SIM_BattleUnit* u : crowd) ASSERT_NE(u, nullptr);
  battle.Begin();
  int gone = 0;
  for (int frame = 0; frame < 40000 && gone < 30; ++frame) {
    battle.Update();
    ExpectOneUnitPerCell(crowd, frame);
    if (HasFatalFailure()) return;
    gone = 0;
    for (SIM_BattleUnit* u : crowd) gone += u->state == US_GONE ? 1 : 0;
  }
  EXPECT_EQ(gone, 30);
}

TEST_F(FixtureMap, ASquadKeepsItsFormationThroughATurn) {
  // 0 -> 1 -> 2, then south 2 -> 5 -> 8. Square 8 leads only to itself: the squad
  // holds it and its soldiers walk on to their places there.
  SIM_Battle& battle = Start(3, 3, {{0, {1}, true}, {1, {2}}, {2, {5}}, {5, {8}}, {8, {8}}});
  SIM_BattleSquadron* squad = Squad(0, 9);
  ASSERT_NE(squad, nullptr);
  ASSERT_EQ(squad->members.size(), 9u);
  battle.Begin();
  bool turned = false;
  bool offPlace = false;
  const int frames = RunUntil(
      [&] {
        // Every order a soldier has carried out points at a cell centre plus the
        // soldier's own place in the formation.
        for (SIM_BattleUnit* m : squad->members) {
          const SIM_BattleMovement* mv = m->movement.get();
          if (!mv->hasTarget) continue;
          const SIM_CollisionCell* c =
              GetCollisionGrid().GetCell(mv->targetX - mv->formationX, mv->targetY - mv->formationY);
          if (std::fabs(mv->targetX - mv->formationX - c->centreX) > 0.01f ||
              std::fabs(mv->targetY - mv->formationY - c->centreY) > 0.01f)
            offPlace = true;
        }
        if (squad->pathManager->currentCell == Cell(5)) turned = true;
        return turned && squad->pathManager->currentCell == Cell(8);
      },
      20000);
  ASSERT_GE(frames, 0) << "the squad never reached its last square";
  EXPECT_FALSE(offPlace);
  for (int i = 0; i < 800; ++i) battle.Update();
  const float cx = Cell(8)->centreX, cy = Cell(8)->centreY;
  for (SIM_BattleUnit* m : squad->members) {
    const float dx = m->x - (cx + m->movement->formationX);
    const float dy = m->y - (cy + m->movement->formationY);
    EXPECT_LT(std::sqrt(dx * dx + dy * dy), 12.0f) << "at " << m->x << "," << m->y;
  }
}

// Positions, headings and states of a crowd with a squad among it after a fixed number
// of frames on a fresh battle seeded with `seed`.
std::vector<float> RunSeeded(FixtureMap& fixture, uint32_t seed);

TEST_F(FixtureMap, TwoRunsWithOneSeedEndInTheSamePlaces) {
  const std::vector<float> first = RunSeeded(*this, 4242);
  const std::vector<float> second = RunSeeded(*this, 4242);
  const std::vector<float> other = RunSeeded(*this, 17);
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i], second[i]) << i;
  EXPECT_NE(first, other);
}

}  // namespace

namespace {
std::vector<float> RunSeeded(FixtureMap& fixture, uint32_t seed) {
  // A fresh process state for each run: the sound manager remembers recent sounds
  // across battles, and whether the warp-out sound plays decides whether its random
  // playback speed is drawn.
  GetCollisionGrid().Clear();
  ResetAllSingletons();
  SIM_Battle& battle = fixture.Start(8, 6, Funnel(), seed);
  std::vector<SIM_BattleUnit*> units;
  for (int r = 0; r < 6; ++r)
    for (int c = 1; c < 5; ++c) units.push_back(fixture.Tank(battle.playerArmy, r * 8 + c));
  SIM_BattleSquadron* squad = fixture.Squad(0, 12);
  for (SIM_BattleUnit* m : squad->members) units.push_back(m);
  battle.Begin();
  for (int i = 0; i < 1500; ++i) battle.Update();
  std::vector<float> state;
  for (SIM_BattleUnit* u : units) {
    state.push_back(u->x);
    state.push_back(u->y);
    state.push_back(u->heading);
    state.push_back(static_cast<float>(u->state));
  }
  GetCollisionGrid().Clear();
  return state;
}
}  // namespace
