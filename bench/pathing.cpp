// Route planning: microseconds per plan of our breadth-first route search on the
// largest shipped map and on a generated 20 x 20 maze with many branches, against
// Boost.Graph's astar_search on the same graphs in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "battle/PathManager.h"
#include "engine/Singletons.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

#ifdef ZENTRAK_HAVE_BOOST_GRAPH
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>
#endif

namespace {

using Clock = std::chrono::steady_clock;

bool PrepareProcess() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  static char dir[] = "/tmp/zentrak-bench-XXXXXX";
  if (!mkdtemp(dir)) return false;
  setenv("ZENTRAK_USER_DIR", dir, 1);
  return chdir(ZENTRAK_BUILD_DIR) == 0;
}

// 20 x 20 squares. Every square leads east and south where the grid goes on, and a
// fixed pattern adds west and north links, so the network branches at nearly every
// square and has loops: the number of simple paths across it is astronomical. A fixed
// pattern also drops some links (never a square's last one). The exits are the last
// column.
std::string MazeText() {
  constexpr int kSide = 20;
  std::string text = "[config]\nname = maze\nmaxcols = 20\nmaxrows = 20\n\n[map]\n";
  unsigned pattern = 12345u;
  auto next = [&pattern] {
    pattern = pattern * 1103515245u + 12345u;
    return (pattern >> 16) & 0x7FFFu;
  };
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) {
      const int n = r * kSide + c;
      std::vector<int> links;
      if (c + 1 < kSide) links.push_back(n + 1);
      if (r + 1 < kSide) links.push_back(n + kSide);
      if (c > 0 && next() % 4 == 0) links.push_back(n - 1);
      if (r > 0 && next() % 5 == 0) links.push_back(n - kSide);
      while (links.size() > 1 && next() % 4 == 0) links.erase(links.begin() + next() % links.size());
      const bool exit = c == kSide - 1;
      if (exit) links.clear();
      std::string l;
      for (int k : links) l += std::to_string(k) + ",";
      text += std::to_string(r) + "-" + std::to_string(c) + " = " + std::to_string(n) + ",\"" + l + "\"," +
              (c == 0 ? "1" : "0") + ",0,,,," + (exit ? "EXIT" : "") + "\n";
    }
  }
  return text;
}

struct Query {
  SIM_MapSquare* from;
  SIM_MapSquare* to;
};

struct Map {
  std::string name;
  SIM_Scenario* scenario = nullptr;
  std::vector<Query> queries;
};

// Every route start square to every square it can reach that another route passes
// through: the route orders a player can give on that map (at most 256 of them).
std::vector<Query> Queries(SIM_Scenario& s) {
  std::vector<Query> out;
  PathSearch search;
  std::vector<SIM_MapSquare*> targets;
  for (const auto& sq : s.grid)
    if (!sq->links.empty() || sq->IsExit()) targets.push_back(sq.get());
  for (SIM_MapSquare* from : s.routeStartSquares)
    for (SIM_MapSquare* to : targets)
      if (from != to && search.Run(s, from, to, false)) out.push_back({from, to});
  // Spread the sample over the whole set.
  if (out.size() > 256) {
    std::vector<Query> sample;
    for (size_t i = 0; i < 256; ++i) sample.push_back(out[i * out.size() / 256]);
    out.swap(sample);
  }
  return out;
}

std::vector<Map>& Maps(std::string* why) {
  static std::vector<Map> maps;
  static bool tried = false;
  if (tried) return maps;
  tried = true;
  if (!PrepareProcess()) {
    *why = "cannot prepare the process";
    return maps;
  }
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* largest = nullptr;
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (!largest || s->maxCols * s->maxRows > largest->maxCols * largest->maxRows) largest = s;
  if (largest && largest->LoadMap()) maps.push_back({"shipped " + largest->name, largest, {}});
  static SIM_Scenario maze;
  const std::string path = std::string(getenv("ZENTRAK_USER_DIR")) + "/maze/scenario.txt";
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << MazeText();
  if (maze.Load(path) && maze.LoadMap()) maps.push_back({"maze 20x20", &maze, {}});
  for (Map& m : maps) m.queries = Queries(*m.scenario);
  if (maps.empty()) *why = "no map to plan on";
  return maps;
}

#ifdef ZENTRAK_HAVE_BOOST_GRAPH
using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, int>>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct FoundGoal {};

class StopAtGoal : public boost::default_astar_visitor {
 public:
  explicit StopAtGoal(Vertex goal) : goal_(goal) {}
  void examine_vertex(Vertex u, const Graph&) {
    if (u == goal_) throw FoundGoal();
  }

 private:
  Vertex goal_;
};

// Squares apart on the grid, diagonal steps counted as one: never more than the
// squares still to go when every link joins neighbouring squares.
class GridDistance : public boost::astar_heuristic<Graph, int> {
 public:
  GridDistance(int columns, Vertex goal, bool usable) : columns_(columns), goal_(goal), usable_(usable) {}
  int operator()(Vertex v) const {
    if (!usable_) return 0;
    const int dc = std::abs(static_cast<int>(v) % columns_ - static_cast<int>(goal_) % columns_);
    const int dr = std::abs(static_cast<int>(v) / columns_ - static_cast<int>(goal_) / columns_);
    return std::max(dc, dr);
  }

 private:
  int columns_;
  Vertex goal_;
  bool usable_;
};

struct BoostPlanner {
  explicit BoostPlanner(const SIM_Scenario& s) : graph(s.squaresByNumber.size()), columns(s.maxCols) {
    for (SIM_MapSquare* sq : s.squaresByNumber) {
      if (!sq) continue;
      for (int32_t link : sq->links) {
        boost::add_edge(static_cast<Vertex>(sq->number), static_cast<Vertex>(link), 1, graph);
        const int dc = std::abs(sq->number % columns - link % columns);
        const int dr = std::abs(sq->number / columns - link / columns);
        if (std::max(dc, dr) > 1) adjacent = false;
      }
    }
    predecessors.resize(boost::num_vertices(graph));
    distances.resize(boost::num_vertices(graph));
  }
  // Squares on the route, 0 when none.
  int Plan(int from, int to) {
    const Vertex goal = static_cast<Vertex>(to);
    try {
      boost::astar_search(
          graph, static_cast<Vertex>(from), GridDistance(columns, goal, adjacent),
          boost::predecessor_map(
              boost::make_iterator_property_map(predecessors.begin(), boost::get(boost::vertex_index, graph)))
              .distance_map(boost::make_iterator_property_map(distances.begin(),
                                                              boost::get(boost::vertex_index, graph)))
              .visitor(StopAtGoal(goal)));
    } catch (const FoundGoal&) {
      return distances[goal] + 1;
    }
    return 0;
  }
  Graph graph;
  int columns;
  bool adjacent = true;
  std::vector<Vertex> predecessors;
  std::vector<int> distances;
};
#endif

void BM_PathPlanning(benchmark::State& state) {
  static std::string why;
  std::vector<Map>& maps = Maps(&why);
  const size_t index = static_cast<size_t>(state.range(0));
  if (index >= maps.size()) {
    state.SkipWithError(why.empty() ? "map not available" : why.c_str());
    return;
  }
  Map& map = maps[index];
  state.SetLabel(map.name + ", " + std::to_string(map.queries.size()) + " route orders");
  if (map.queries.empty()) {
    state.SkipWithError("no route order on this map");
    return;
  }
  PathSearch ours;
#ifdef ZENTRAK_HAVE_BOOST_GRAPH
  BoostPlanner reference(*map.scenario);
#endif
  double oursNs = 0.0, boostNs = 0.0;
  int64_t plans = 0;
  int64_t mismatches = 0;
  for (auto _ : state) {
    int64_t squares = 0;
    auto t0 = Clock::now();
    for (const Query& q : map.queries) {
      ours.Run(*map.scenario, q.from, q.to, false);
      squares += static_cast<int64_t>(ours.best.size());
    }
    auto t1 = Clock::now();
    oursNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
#ifdef ZENTRAK_HAVE_BOOST_GRAPH
    int64_t boostSquares = 0;
    t0 = Clock::now();
    for (const Query& q : map.queries) boostSquares += reference.Plan(q.from->number, q.to->number);
    t1 = Clock::now();
    boostNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
    if (boostSquares != squares) ++mismatches;
#endif
    benchmark::DoNotOptimize(squares);
    plans += static_cast<int64_t>(map.queries.size());
  }
  const double oursUs = plans ? oursNs / 1000.0 / static_cast<double>(plans) : 0.0;
  state.counters["us_per_plan"] = oursUs;
#ifdef ZENTRAK_HAVE_BOOST_GRAPH
  const double boostUs = plans ? boostNs / 1000.0 / static_cast<double>(plans) : 0.0;
  state.counters["boost_astar_us_per_plan"] = boostUs;
  state.counters["boost_over_ours"] = oursUs > 0.0 ? boostUs / oursUs : 0.0;
  if (mismatches) state.SkipWithError("route lengths differ from Boost's");
  std::printf("%s: ours %.3f us per plan, Boost astar_search %.3f us per plan, ratio Boost/ours %.2f%s\n",
              map.name.c_str(), oursUs, boostUs, oursUs > 0.0 ? boostUs / oursUs : 0.0,
              reference.adjacent ? " (grid heuristic)" : " (no heuristic: links jump squares)");
#else
  std::printf("%s: ours %.3f us per plan (no Boost.Graph reference built)\n", map.name.c_str(), oursUs);
#endif
}
BENCHMARK(BM_PathPlanning)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ResetAllSingletons();
  return 0;
}
