// Steps a battle with 100, 400 and 1,600 deployed units headless (null graphics device,
// no sound device) and reports how much battle time one wall-clock millisecond buys.
// The attackers drive along the map's routes towards the exits while the two sides
// search for targets and fire on each other: the distance driven, the squares passed,
// the shots fired and the units destroyed during the measured steps are counted.
#include "battle/Battle.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/CollisionGrid.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "platform/Device.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {

// The attackers that move, kept for counting (the army owns them until teardown).
std::vector<SIM_BattleUnit*> g_movers;

// Shots fired so far by every unit of both armies (each shot counts once per weapon).
double ShotsFired() {
  double shots = 0.0;
  SIM_Battle& battle = GetBattle();
  for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy})
    if (army)
      for (SIM_BattleUnit* u : army->allUnits)
        if (u->damageTally) shots += u->damageTally->shotsFired;
  return shots;
}

// Units destroyed so far on both sides.
int Destroyed() {
  int n = 0;
  SIM_Battle& battle = GetBattle();
  for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy})
    if (army)
      for (SIM_BattleUnit* u : army->allUnits) n += (u->removed && u->state == US_DESTROYED) ? 1 : 0;
  return n;
}

// Headless set-up as the tests have it: a throw-away user folder and the assembled
// data folder as the working directory.
bool PrepareProcess() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  static char dir[] = "/tmp/zentrak-bench-XXXXXX";
  if (!mkdtemp(dir)) return false;
  setenv("ZENTRAK_USER_DIR", dir, 1);
  return chdir(ZENTRAK_BUILD_DIR) == 0;
}

// The null device, so the per-frame scene brackets cost what they cost in a test run.
bool OpenNullDevice() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_HIDDEN);
  if (!window) return false;
  D3DEngine& device = GetRenderDevice();
  device.SetBackend(platform::Backend::Null);
  device.SetMainWindow(window);
  return device.InitD3D(1024, 768, true);
}

// Deploys one side's units, cycling over its squares and the non-infantry designs.
int DeploySide(SIM_BattleArmy* army, const std::vector<SIM_MapSquare*>& squares,
               const std::vector<SIM_UnitDesign*>& designs, bool defenderSide, int count) {
  int placed = 0;
  for (int i = 0; placed < count && i < count * 4 && !squares.empty(); ++i) {
    SIM_MapSquare* sq = squares[static_cast<size_t>(i) % squares.size()];
    SIM_UnitDesign* d = designs[static_cast<size_t>(i) % designs.size()];
    if (army->DeployDesign(sq->column, sq->row, d, 1, 0.0f, defenderSide)) ++placed;
  }
  return placed;
}

bool SetUpBattle(int units, std::string* why) {
  SIM_ScenarioManager::Get().Load();
  const auto& campaign = SIM_ScenarioManager::Get().Campaign();
  if (campaign.empty()) {
    *why = "no campaign scenario shipped";
    return false;
  }
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> mobile, buildings;
  for (auto& d : SIM_UnitDesignManager::Get().Designs()) {
    if (!d->hull) continue;
    if (d->hull->sizeType == SIZETYPE_BUILDING)
      buildings.push_back(d.get());
    else if (d->hull->sizeType != SIZETYPE_INFANTRY)
      mobile.push_back(d.get());
  }
  if (mobile.empty()) {
    *why = "no tank or mech design shipped";
    return false;
  }
  if (buildings.empty()) buildings = mobile;
  SIM_Battle& battle = GetBattle();
  g_movers.clear();
  battle.playerDefends = false;
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = campaign.front();
  battle.Start();
  SIM_Scenario* s = battle.scenario;
  int n = DeploySide(battle.playerArmy, s->attackerSquares, mobile, false, units / 2);
  for (SIM_BattleUnit* u : battle.playerArmy->allUnits)
    if (u->pathManager && u->movement) g_movers.push_back(u);
  n += DeploySide(battle.opponentArmy, s->defenderSquares, buildings, true, units - n);
  if (n < units) {
    *why = "only " + std::to_string(n) + " units could be deployed";
    return false;
  }
  battle.Begin();
  // Let every unit land before measuring.
  for (int i = 0; i < 40; ++i) battle.Update();
  return true;
}

void BM_BattleStep(benchmark::State& state) {
  static bool prepared = false;
  static std::string why;
  static bool device = false;
  static int battleUnits = 0;  // the size of the battle set up last
  const int units = static_cast<int>(state.range(0));
  if (!prepared) {
    prepared = true;
    if (!PrepareProcess())
      why = "cannot prepare the process";
    else
      device = OpenNullDevice();
  }
  bool ready = why.empty() && battleUnits == units;
  if (why.empty() && battleUnits != units) {
    std::string failed;
    ready = SetUpBattle(units, &failed);
    battleUnits = ready ? units : 0;
    if (!ready) {
      state.SkipWithError(failed.c_str());
      return;
    }
  }
  if (!ready) {
    state.SkipWithError(why.c_str());
    return;
  }
  SIM_Battle& battle = GetBattle();
  D3DEngine& d3d = GetRenderDevice();
  battle.SetSpeed(1.0f);
  const float clockBefore = battle.battleClock;
  std::vector<const SIM_CollisionCell*> cells;
  for (SIM_BattleUnit* u : g_movers) cells.push_back(u->pathManager->currentCell);
  double distance = 0.0;
  int64_t squares = 0;
  const double shotsBefore = ShotsFired();
  const int destroyedBefore = Destroyed();
  const auto wallBefore = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (device) d3d.BeginScene();
    battle.Update();
    if (device) d3d.EndScene();
    // A few hundred reads a frame: the distance driven and the cells entered.
    for (size_t i = 0; i < g_movers.size(); ++i) {
      SIM_BattleUnit* u = g_movers[i];
      distance += u->movement->step;
      const SIM_CollisionCell* c = u->pathManager->currentCell;
      if (c && c != cells[i]) ++squares;
      cells[i] = c;
    }
  }
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore).count();
  const double battleMs = battle.battleClock - clockBefore;
  const double shots = ShotsFired() - shotsBefore;
  const int destroyed = Destroyed() - destroyedBefore;
  int exited = 0;
  for (SIM_BattleUnit* u : g_movers) exited += u->state == US_GONE ? 1 : 0;
  state.counters["units"] = static_cast<double>(GetBattleUnitManager().allUnits.size());
  state.counters["movers"] = static_cast<double>(g_movers.size());
  state.counters["distance_driven"] = distance;
  state.counters["squares_entered"] = static_cast<double>(squares);
  state.counters["movers_exited"] = exited;
  state.counters["shots"] = shots;
  state.counters["destroyed"] = destroyed;
  state.counters["battle_ms_per_wall_ms"] = wallMs > 0 ? battleMs / wallMs : 0.0;
  state.counters["us_per_16ms_step"] =
      state.iterations() > 0 ? wallMs * 1000.0 / static_cast<double>(state.iterations()) : 0.0;
  std::printf(
      "battle of %d: %zu units left (%zu attackers driving: %.0f world units, %lld squares entered, %d "
      "left the map; %.0f shots fired, %d units destroyed), %.1f battle ms per wall ms, %.2f us per 16 ms "
      "step%s\n",
      units, GetBattleUnitManager().allUnits.size(), g_movers.size(), distance,
      static_cast<long long>(squares), exited, shots, destroyed, wallMs > 0 ? battleMs / wallMs : 0.0,
      state.iterations() > 0 ? wallMs * 1000.0 / static_cast<double>(state.iterations()) : 0.0,
      device ? " (null device)" : " (no device)");
}
// 3000 frames: 48 s of battle time at speed 1, long enough for the columns to drive
// into range and fight.
BENCHMARK(BM_BattleStep)->Arg(100)->Arg(400)->Arg(1600)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Release the battle and the catalogues before exit, as the tests do.
  ResetAllSingletons();
  DeleteAllVariants();
  return 0;
}
