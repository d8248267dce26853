// The defender's placements watch the route start squares from which a route of 5 to 9
// squares, entering no square twice, leads to one of the placement's near squares. The
// battle start builds the placements; on every map here each placement must watch
// exactly the squares a walk of every such route finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "engine/Singletons.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

using namespace battle_test;

namespace {

// Every square at the end of a route of 5 to 9 squares from `start` that enters no
// square twice, by walking every such route of up to 9 squares.
void WalkRoutes(const SIM_Scenario& scenario, std::vector<const SIM_MapSquare*>* route,
                std::set<const SIM_MapSquare*>* ends) {
  if (route->size() >= 5) ends->insert(route->back());
  if (route->size() >= 9) return;
  for (int32_t link : route->back()->links) {
    const SIM_MapSquare* next = scenario.GetSquareByNumber(link);
    if (!next || std::find(route->begin(), route->end(), next) != route->end()) continue;
    route->push_back(next);
    WalkRoutes(scenario, route, ends);
    route->pop_back();
  }
}

// The start squares a placement at `square` must watch, in the order of the starts.
std::vector<int> ExpectedWatched(const SIM_Scenario& scenario, const SIM_MapSquare* square,
                                 const std::vector<std::set<const SIM_MapSquare*>>& ends) {
  std::vector<const SIM_MapSquare*> near;
  for (const SIM_MapSquare* start : scenario.routeStartSquares) {
    const float dx = start->centreX - square->centreX, dy = start->centreY - square->centreY;
    if (dx * dx + dy * dy < SIM_AI_Placement::kNearRangeSq) near.push_back(start);
  }
  std::vector<int> watched;
  for (size_t i = 0; i < scenario.routeStartSquares.size(); ++i)
    for (const SIM_MapSquare* goal : near)
      if (ends[i].count(goal)) {
        watched.push_back(scenario.routeStartSquares[i]->number);
        break;
      }
  return watched;
}

// Starts the battle on the map with the player attacking, so the computer defender
// builds its placements, and compares what each watches. Returns the number of watched
// squares over all placements.
size_t CheckPlacements(SIM_Scenario* scenario, const std::string& what) {
  StartScenarioBattle(scenario, false, AI_UNITS_NONE);
  EXPECT_FALSE(scenario->defenderSquares.empty()) << what;
  const auto& placements = GetDefenderAI().placements;
  EXPECT_EQ(placements.size(), scenario->defenderSquares.size()) << what;
  std::vector<std::set<const SIM_MapSquare*>> ends;
  for (const SIM_MapSquare* start : scenario->routeStartSquares) {
    std::vector<const SIM_MapSquare*> route{start};
    ends.emplace_back();
    WalkRoutes(*scenario, &route, &ends.back());
  }
  size_t total = 0;
  for (const auto& p : placements) {
    std::vector<int> watched;
    for (const SIM_MapSquare* s : p->watchedSquares) watched.push_back(s->number);
    EXPECT_EQ(watched, ExpectedWatched(*scenario, p->square, ends))
        << what << ": placement at square " << p->square->number;
    total += watched.size();
  }
  return total;
}

// A map of cols x rows squares from each square's links; `defenders` are defender squares.
std::unique_ptr<SIM_Scenario> LoadMap(int cols, int rows, const std::vector<std::string>& links,
                                      const std::vector<int>& defenders) {
  std::string text = "[config]\nname = routes\nmaxcols = " + std::to_string(cols) +
                     "\nmaxrows = " + std::to_string(rows) + "\n\n[map]\n";
  for (int n = 0; n < cols * rows; ++n) {
    const bool defender = std::find(defenders.begin(), defenders.end(), n) != defenders.end();
    text += std::to_string(n / cols) + "-" + std::to_string(n % cols) + " = " + std::to_string(n) + ",\"" +
            links[static_cast<size_t>(n)] + "\"," + (n % cols == 0 ? "1" : "0") + "," +
            (defender ? "1" : "0") + ",,,," + (n % cols == cols - 1 ? "EXIT" : "") + "\n";
  }
  const std::string path = zt_test::UserDir() + "/routes/scenario.txt";
  zt_test::WriteText(path, text);
  auto s = std::make_unique<SIM_Scenario>();
  EXPECT_TRUE(s->Load(path));
  EXPECT_TRUE(s->LoadMap());
  return s;
}

TEST(PlacementRoutes, ShippedMapsWatchWhatEveryRouteReaches) {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  ASSERT_FALSE(scenarios.Campaign().empty());
  size_t watched = 0;
  for (SIM_Scenario* scenario : scenarios.Campaign()) watched += CheckPlacements(scenario, scenario->name);
  EXPECT_GT(watched, 0u);
}

TEST(PlacementRoutes, GeneratedMapsWatchWhatEveryRouteReaches) {
  struct Map {
    const char* what;
    int cols, rows;
    std::vector<std::string> links;
    std::vector<int> defenders;
  };
  std::vector<Map> maps;
  // An open field of the largest size: each square leads to the three ahead of it;
  // the defenders hold the flanks of the middle columns.
  {
    Map m{"open field", 20, 20, {}, {}};
    const auto defender = [](int c, int r) { return c >= 6 && c <= 17 && (r < 4 || r >= 16); };
    for (int n = 0; n < 400; ++n) {
      const int c = n % 20, r = n / 20;
      std::string l;
      if (defender(c, r))
        m.defenders.push_back(n);
      else if (c + 1 < 20)
        for (int dr : {0, -1, 1})
          if (r + dr >= 0 && r + dr < 20 && !defender(c + 1, r + dr))
            l += std::to_string(n + dr * 20 + 1) + ",";
      m.links.push_back(l);
    }
    maps.push_back(m);
  }
  // Two-way links between neighbours: a near square one link away can still be
  // reached the long way round, and some only the short way.
  {
    Map m{"two-way grid", 7, 7, {}, {10, 24, 38, 44}};
    for (int n = 0; n < 49; ++n) {
      const int c = n % 7, r = n / 7;
      std::string l;
      if (c + 1 < 7) l += std::to_string(n + 1) + ",";
      if (r + 1 < 7) l += std::to_string(n + 7) + ",";
      if (c > 0) l += std::to_string(n - 1) + ",";
      if (r > 0) l += std::to_string(n - 7) + ",";
      m.links.push_back(l);
    }
    maps.push_back(m);
  }
  // A corridor with one loop and a dead end: short ways with no long way round.
  maps.push_back(Map{"corridor",
                     6,
                     3,
                     {"1,", "2,", "3,8,", "4,", "5,", "", "", "", "9,", "3,", "", "", "", "", "", "", "", ""},
                     {7, 14, 15}});
  // Random links to the neighbours, some doubled, some back to the square itself.
  for (uint32_t seed : {3u, 17u, 2026u}) {
    std::mt19937 draw(seed);
    Map m{"random", 8, 8, {}, {}};
    for (int n = 0; n < 64; ++n) {
      const int c = n % 8, r = n / 8;
      if (draw() % 5 == 0) m.defenders.push_back(n);
      std::string l;
      const int count = static_cast<int>(draw() % 4);
      for (int k = 0; k < count; ++k) {
        const int dc = static_cast<int>(draw() % 3) - 1, dr = static_cast<int>(draw() % 3) - 1;
        const int nc = c + dc, nr = r + dr;
        if (nc >= 0 && nc < 8 && nr >= 0 && nr < 8) l += std::to_string(nr * 8 + nc) + ",";
      }
      m.links.push_back(l);
    }
    maps.push_back(m);
  }
  for (const Map& m : maps) {
    auto scenario = LoadMap(m.cols, m.rows, m.links, m.defenders);
    ASSERT_EQ(scenario->defenderSquares.size(), m.defenders.size()) << m.what;
    const size_t watched = CheckPlacements(scenario.get(), m.what);
    EXPECT_GT(watched, 0u) << m.what;
    // The battle holds the map's squares until it is taken down.
    ResetAllSingletons();
  }
}

}  // namespace
