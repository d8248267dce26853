// Steps a seeded battle of 100, 400, 1,600 and 6,400 units headless (null graphics
// device, no sound device) on a generated open map of the largest size a map may have,
// and reports how much battle time one wall-clock (and one CPU) millisecond buys and what one unit
// costs per 16 ms step. The attackers (tanks and mechs, and squads of soldiers where
// the squares run out) drive from the left edge towards the exits on the right past
// the defenders' buildings and squads on the flanks, while both sides search for
// targets and fire. Distance driven, squares entered, shots and kills are counted over
// the measured steps, distance and squares by the battle itself as the attackers drive
// (a unit that is dead, leaving or gone drives no more).
#include "battle/Battle.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
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

// The generated map: the largest a map may be.
constexpr int kColumns = 20, kRows = 20;
// Attackers start in the first columns; defenders hold the flanks of the middle.
constexpr int kAttackerColumns = 5;
constexpr int kDefenderFirstColumn = 6, kDefenderLastColumn = 17;
constexpr int kFlankRows = 4;  // rows at the top and at the bottom
// Every run fights the same battle.
constexpr uint32_t kSeed = 20261;

bool IsDefenderSquare(int column, int row) {
  return column >= kDefenderFirstColumn && column <= kDefenderLastColumn &&
         (row < kFlankRows || row >= kRows - kFlankRows);
}

// An open map: every square but the defenders' leads to the three squares ahead of it,
// the last column leaves the map. Idle defender AI (no supplies) and no end in sight.
std::string OpenMapText() {
  std::string t =
      "[config]\nid = 900\nname = bench_open_field\nguiname = bench_open_field\ndescription\n"
      "texture\nmusic\nambient_sound\natmosphere = NONE\ndust = NONE\ntimeofday = DAY\n"
      "uistyle = DEFAULT\nshadowmap\nusing_lightmap = 0\nlightmap_color = 255,255,255,255\n"
      "defence_budget = 0\nattack_budget = 0\n";
  t += "maxcols = " + std::to_string(kColumns) + "\nmaxrows = " + std::to_string(kRows) + "\n";
  t +=
      "default_attacker_angle = 90\ndefault_defender_angle = 270\nmode_classic_attack = 1\n"
      "mode_classic_defend = 1\nclassic_suppliespersecond_attack_start = 0\n"
      "classic_suppliespersecond_attack_end = 0\nclassic_suppliespersecond_start = 0\n"
      "classic_suppliespersecond_end = 0\nclassic_suppliescap = 0\nclassic_startingsupplies_attacker = 0\n"
      "classic_startingsupplies_defender = 0\nclassic_timelimit = 100000000\n"
      "classic_hpleftlimit = 100000000\nattacker_difficulty_adjuster = 1\ndefender_difficulty_adjuster = 1\n";
  t += "[map]\n";
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) {
      const bool defender = IsDefenderSquare(c, r);
      std::string links;
      if (!defender && c + 1 < kColumns)
        for (int dr : {0, -1, 1}) {
          const int nr = r + dr;
          if (nr >= 0 && nr < kRows && !IsDefenderSquare(c + 1, nr))
            links += std::to_string(nr * kColumns + c + 1) + ",";
        }
      t += std::to_string(r) + "-" + std::to_string(c) + " = " + std::to_string(r * kColumns + c) + ",\"" +
           links + "\"," + (c < kAttackerColumns ? "1" : "0") + "," + (defender ? "1" : "0") + ",grass,,," +
           (c == kColumns - 1 ? "EXIT" : "") + "\n";
    }
  return t;
}

// The attackers, kept for counting (the army owns them until teardown).
struct Mover {
  SIM_BattleUnit* unit;
  float startX, startY;
  int32_t cellsBefore;  // vehicles: cells entered before the measuring began
};
std::vector<Mover> g_movers;
std::unique_ptr<SIM_Scenario> g_map;

// CPU time this process has used, in ms: on a shared machine the wall clock also counts
// the time other work held the cores.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

bool Alive(const SIM_BattleUnit* u) {
  return !u->removed && u->state != US_DESTROYED && u->state != US_GONE && u->state != US_INACTIVE;
}

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
std::string g_userDir;
bool PrepareProcess() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  static char dir[] = "/tmp/zentrak-bench-XXXXXX";
  if (!mkdtemp(dir)) return false;
  g_userDir = dir;
  setenv("ZENTRAK_USER_DIR", dir, 1);
  return chdir(ZENTRAK_BUILD_DIR) == 0;
}

// The null device, so the per-frame scene brackets cost what they cost in a test run.
// Opened again after every reset of the process-wide objects.
bool OpenNullDevice() {
  static SDL_Window* window = nullptr;
  if (!window && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  if (window) SDL_DestroyWindow(window);
  window = SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_HIDDEN);
  if (!window) return false;
  D3DEngine& device = GetRenderDevice();
  device.SetBackend(platform::Backend::Null);
  device.SetMainWindow(window);
  return device.InitD3D(1024, 768, true);
}

// Deploys count units of one side: vehicles (or buildings) one to a square while there
// are squares, the rest as squads of soldiers, a squad to a square, round the squares.
int DeploySide(SIM_BattleArmy* army, const std::vector<SIM_MapSquare*>& squares,
               const std::vector<SIM_UnitDesign*>& vehicles, const std::vector<SIM_UnitDesign*>& soldiers,
               bool defenderSide, int count, int vehicleCount) {
  int placed = 0;
  size_t square = 0, design = 0;
  const auto next = [&]() { return squares[square++ % squares.size()]; };
  for (int i = 0; i < vehicleCount && placed < count; ++i) {
    SIM_MapSquare* sq = next();
    if (army->DeployDesign(sq->column, sq->row, vehicles[design++ % vehicles.size()], 1, 90.0f, defenderSide))
      ++placed;
  }
  for (int guard = 0; placed < count && guard < count; ++guard) {
    SIM_MapSquare* sq = next();
    const int n = std::min(SIM_BattleArmy::kMaxSquadSize, count - placed);
    const size_t before = army->livingUnits.size();
    army->DeployDesign(sq->column, sq->row, soldiers[design++ % soldiers.size()], n, 90.0f, defenderSide);
    placed += static_cast<int>(army->livingUnits.size() - before);
  }
  return placed;
}

bool SetUpBattle(int units, std::string* why) {
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> mobile, buildings, infantry;
  for (auto& d : SIM_UnitDesignManager::Get().Designs()) {
    if (!d->hull) continue;
    if (d->hull->sizeType == SIZETYPE_BUILDING)
      buildings.push_back(d.get());
    else if (d->hull->sizeType == SIZETYPE_INFANTRY)
      infantry.push_back(d.get());
    else
      mobile.push_back(d.get());
  }
  if (mobile.empty() || buildings.empty() || infantry.empty()) {
    *why = "no tank, building or infantry design shipped";
    return false;
  }
  // The map file lives in the throw-away user folder.
  const std::string folder = g_userDir + "/bench_open_field";
  mkdir(folder.c_str(), 0755);
  const std::string file = folder + "/scenario.txt";
  {
    std::ofstream out(file);
    out << OpenMapText();
  }
  g_map = std::make_unique<SIM_Scenario>();
  if (!g_map->Load(file)) {
    *why = "the generated map does not load";
    return false;
  }
  SIM_Battle& battle = GetBattle();
  g_movers.clear();
  battle.playerDefends = false;
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.useFixedSeed = true;
  battle.fixedSeed = kSeed;
  battle.scenario = g_map.get();
  battle.Start();
  SIM_Scenario* s = battle.scenario;
  if (s->grid.size() != static_cast<size_t>(kColumns * kRows)) {
    *why = "the generated map has no squares";
    return false;
  }
  // One in twenty of each side are vehicles (buildings for the defender) while the squares
  // allow: the same mix at every size up to 1,600 units.
  const int perSide = units / 2;
  const int vehicleCount = std::min(perSide / 20, static_cast<int>(s->attackerSquares.size()));
  const int buildingCount = std::min(perSide / 20, static_cast<int>(s->defenderSquares.size()));
  int n = DeploySide(battle.playerArmy, s->attackerSquares, mobile, infantry, false, perSide, vehicleCount);
  n += DeploySide(battle.opponentArmy, s->defenderSquares, buildings, infantry, true, units - perSide,
                  buildingCount);
  if (n < units) {
    *why = "only " + std::to_string(n) + " units could be deployed";
    return false;
  }
  battle.Begin();
  // Let every unit land before measuring.
  for (int i = 0; i < 40; ++i) battle.Update();
  for (SIM_BattleUnit* u : battle.playerArmy->livingUnits)
    if (u->movement && u->IsSingleUnit())
      g_movers.push_back(Mover{u, u->x, u->y, u->pathManager ? u->pathManager->cellsEntered : 0});
  return true;
}

void BM_BattleStep(benchmark::State& state) {
  static bool prepared = false;
  static std::string why;
  static bool device = false;
  const int units = static_cast<int>(state.range(0));
  if (!prepared) {
    prepared = true;
    if (!PrepareProcess()) why = "cannot prepare the process";
  }
  if (!why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  // Every run starts from a clean process state and the seed: each run measures the
  // same fight, whatever ran before it. The last battle stands on the last map until
  // the reset has taken it down.
  {
    std::unique_ptr<SIM_Scenario> previous = std::move(g_map);
    ResetAllSingletons();
  }
  device = OpenNullDevice();
  std::string failed;
  if (!SetUpBattle(units, &failed)) {
    state.SkipWithError(failed.c_str());
    return;
  }
  SIM_Battle& battle = GetBattle();
  D3DEngine& d3d = GetRenderDevice();
  battle.SetSpeed(1.0f);
  const float clockBefore = battle.battleClock;
  // The battle counts them as the units drive and enter cells, so the measured loop does
  // not walk the attackers: read before and after.
  const double distanceBefore = battle.distanceDriven[SIDE_ATTACKER];
  int64_t unitSteps = 0;  // living units summed over the measured steps
  const double shotsBefore = ShotsFired();
  const int destroyedBefore = Destroyed();
  // Soldiers and vehicles on the field: squads are no units of their own.
  const auto living = [&battle]() {
    return battle.playerArmy->livingUnits.size() + battle.opponentArmy->livingUnits.size();
  };
  const auto wallBefore = std::chrono::steady_clock::now();
  const double cpuBefore = CpuMs();
  for (auto _ : state) {
    unitSteps += static_cast<int64_t>(living());
    if (device) d3d.BeginScene();
    battle.Update();
    if (device) d3d.EndScene();
  }
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore).count();
  const double cpuMs = CpuMs() - cpuBefore;
  const double battleMs = battle.battleClock - clockBefore;
  const double distance = battle.distanceDriven[SIDE_ATTACKER] - distanceBefore;
  const double shots = ShotsFired() - shotsBefore;
  const int destroyed = Destroyed() - destroyedBefore;
  int exited = 0, moved = 0, attackersLiving = 0;
  int64_t squares = 0;
  for (const Mover& m : g_movers) {
    if (m.unit->pathManager) squares += m.unit->pathManager->cellsEntered - m.cellsBefore;
    exited += m.unit->state == US_GONE ? 1 : 0;
    // Moved a square's width from where it stood when the measuring began, or left.
    const float dx = m.unit->x - m.startX, dy = m.unit->y - m.startY;
    moved += (dx * dx + dy * dy >= 200.0f * 200.0f || m.unit->state == US_GONE) ? 1 : 0;
    attackersLiving += Alive(m.unit) ? 1 : 0;
  }
  const double usPerUnitStep = unitSteps > 0 ? wallMs * 1000.0 / static_cast<double>(unitSteps) : 0.0;
  const double cpuUsPerUnitStep = unitSteps > 0 ? cpuMs * 1000.0 / static_cast<double>(unitSteps) : 0.0;
  state.counters["units_left"] = static_cast<double>(living());
  state.counters["attackers"] = static_cast<double>(g_movers.size());
  state.counters["attackers_moved"] = moved;
  state.counters["attackers_exited"] = exited;
  state.counters["distance_driven"] = distance;
  state.counters["squares_entered"] = static_cast<double>(squares);
  state.counters["shots"] = shots;
  state.counters["destroyed"] = destroyed;
  state.counters["battle_ms_per_wall_ms"] = wallMs > 0 ? battleMs / wallMs : 0.0;
  state.counters["us_per_unit_step"] = usPerUnitStep;
  state.counters["battle_ms_per_cpu_ms"] = cpuMs > 0 ? battleMs / cpuMs : 0.0;
  state.counters["cpu_us_per_unit_step"] = cpuUsPerUnitStep;
  std::printf(
      "battle of %d (seed %u): %zu units left; %zu attackers, %d moved a square or more, %d left the map, "
      "%d still living, %.0f world units driven by the living, %lld squares entered; %.0f shots, %d units "
      "destroyed; %.1f battle ms per wall ms, %.3f us per unit-step; by CPU time %.1f battle ms per CPU ms, "
      "%.3f us per unit-step%s\n",
      units, kSeed, living(), g_movers.size(), moved, exited, attackersLiving, distance,
      static_cast<long long>(squares), shots, destroyed, wallMs > 0 ? battleMs / wallMs : 0.0, usPerUnitStep,
      cpuMs > 0 ? battleMs / cpuMs : 0.0, cpuUsPerUnitStep, device ? " (null device)" : " (no device)");
  std::fflush(stdout);
}
// 3000 frames: 48 s of battle time at speed 1, long enough for the columns to drive
// into range and fight.
BENCHMARK(BM_BattleStep)
    ->Arg(100)
    ->Arg(400)
    ->Arg(1600)
    ->Arg(6400)
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Release the battle and the catalogues before exit, as the tests do.
  ResetAllSingletons();
  g_map.reset();
  DeleteAllVariants();
  // The throw-away user folder goes with the run.
  if (!g_userDir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(g_userDir, ec);
  }
  return 0;
}
