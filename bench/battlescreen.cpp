// One battle frame of the largest shipped map at the farthest zoom (every tile, border
// and prop on screen): the draw calls it takes and what it costs. On the null device by
// default (the game's own work per frame); with --gl on the OpenGL device at 1280 x 1024
// (Mesa's software renderer under xvfb-run). The same frame again with 400 tanks and
// buildings of both sides on screen (the battle paused, so the frame is the drawing).
// The computer defender is kept idle, so the map holds no units of its own: the empty
// frame draws none and the full one exactly the 400 placed, which the run checks.
// Then what a player sees: the idle main menu, and a 400-unit fight with the default
// effect options running (with --night on a map with a light map). Each reports the
// frame's pixels touched (drawn and cleared) and the screens' worth (pixels over
// 1280 x 1024) beside the draw calls; the menu also the processor time a frame costs and
// the pixels of the backdrop's layers, the fight the pixels of each draw layer.
#include "battlescreen/BattleScreen.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/TitleBackdrop.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/EffectsCommon.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Singletons.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "game/ConnectLayers.h"
#include "platform/NullDevice.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/BenchGame.h"

namespace {
constexpr int kW = 1280, kH = 1024;
BenchGame g_bench;

constexpr double kScreen = double(kW) * double(kH);
bool g_night = false;  // "--night": the fight on a map with a light map
// "--fight-frames=N": each round of the fight draws N frames, so runs of different
// speeds measure the same stretch of the battle.
int g_fightFrames = 0;

// The largest campaign map (with --night the largest with a light map), fought as the
// attacker without AI units, shown as mode 6.
std::string StartLargestBattle() {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* largest = nullptr;
  for (SIM_Scenario* s : scenarios.Campaign())
    if ((!g_night || s->usingLightMap) &&
        (!largest || s->maxCols * s->maxRows > largest->maxCols * largest->maxRows))
      largest = s;
  if (!largest) return "";
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = largest;
  // The battle's own random stream from a fixed seed (not the clock), so every run fights
  // the same fight: the same shots, shield hits and blasts, and so the same pixels.
  battle.useFixedSeed = true;
  battle.fixedSeed = 1;
  // Without supplies the computer defender builds nothing before the start.
  float& defenderSupplies = largest->classic.startingSuppliesDefender;
  const float kept = defenderSupplies;
  defenderSupplies = 0.0f;
  battle.Start();
  defenderSupplies = kept;
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.targetZoom = map.minZoom;
  map.centreX = map.mapWidth / 2;
  map.centreY = map.mapHeight / 2;
  return largest->name + " (" + std::to_string(largest->maxCols) + " x " + std::to_string(largest->maxRows) +
         ")";
}

constexpr int kPlacedUnits = 400;

// 400 units over the whole view, both sides, every shipped tank and building design.
void Place400Units() {
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->GetSizeType() == 2 || d->GetSizeType() == 3) designs.push_back(d.get());
  if (designs.empty()) return;
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  battle.SetPaused(true);
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  // The part of the map the view shows: the farthest zoom may not show all of a map
  // whose shape differs from the screen's.
  const float left = std::max(0.0f, map.viewLeft), top = std::max(0.0f, map.viewTop);
  const float w = std::min(map.mapWidth, map.viewRight) - left,
              h = std::min(map.mapHeight, map.viewBottom) - top;
  for (int i = 0; i < kPlacedUnits; ++i) {
    auto* u = new SIM_BattleUnit();
    (i % 2 ? battle.opponentArmy : battle.playerArmy)->AddUnit(u, designs[i % designs.size()]);
    u->x = left + w * (0.5f + i % 20) / 20.0f;
    u->y = top + h * (0.5f + i / 20) / 20.0f;
    u->SetHeading(float(i * 37 % 360));
    u->CacheHeading();
    u->state = US_ACTIVE;
    if (u->turretFacing) u->turretFacing->angle = float(i * 53 % 360);
  }
}

size_t GetBattleUnitManagerCount() {
  SIM_Battle& battle = GetBattle();
  return (battle.playerArmy ? battle.playerArmy->livingUnits.size() : 0) +
         (battle.opponentArmy ? battle.opponentArmy->livingUnits.size() : 0);
}

uint64_t UnitLayerDraws() {
  for (const auto& entry : GetBattleFrameTrace().entries)
    if (entry.name.rfind("world 19 ", 0) == 0) return entry.draws;
  return 0;
}

// The frame's cost in the counters every case reports.
struct FrameCost {
  uint64_t frames = 0, draws = 0, pixels = 0, cleared = 0, clears = 0, fullPasses = 0;
  void Add(const platform::FrameCounters& c) {
    ++frames;
    draws += c.draws;
    pixels += c.PixelsTouched();
    cleared += c.clearedPixels;
    clears += c.clears;
    fullPasses += c.fullTargetPasses;
  }
  void Report(benchmark::State& state) const {
    const double n = frames ? double(frames) : 1.0;
    state.counters["draws_per_frame"] = double(draws) / n;
    state.counters["Mpixels_per_frame"] = double(pixels) / n / 1e6;
    state.counters["screens"] = double(pixels) / n / kScreen;
    state.counters["clears"] = double(clears) / n;
    state.counters["cleared_screens"] = double(cleared) / n / kScreen;
    state.counters["full_passes"] = double(fullPasses) / n;
  }
};

// One whole frame as the game draws it, waited for, so its whole cost is measured.
void DrawOneFrame(platform::Device* d) {
  GetGame().DrawFrame();
  if (g_bench.gl) {
    std::vector<uint32_t> pixel;
    d->ReadPixels(nullptr, platform::Rect{0, 0, 1, 1}, &pixel);
  }
  if (auto* null = dynamic_cast<platform::NullDevice*>(d)) null->ClearRecord();
}

// With ZENTRAK_BENCH_SHOTS set, the frame just drawn is saved there (to be looked at).
void SaveShot(const char* name) {
  const char* folder = std::getenv("ZENTRAK_BENCH_SHOTS");
  if (!folder || !*folder) return;
  GetRenderDevice().SaveScreenshot((std::string(folder) + "/" + name + ".bmp").c_str(),
                                   platform::ImageFileFormat::BMP, nullptr);
}

// Processor time of the whole process (the software renderer's threads included).
double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void BM_IdleMenu(benchmark::State& state) {
  platform::Device* d = GetRenderDevice().Device();
  FrameCost cost;
  const double cpu0 = ProcessCpuMs();
  for (auto _ : state) {
    DrawOneFrame(d);
    cost.Add(d->LastFrameCounters());
  }
  cost.Report(state);
  // What a frame costs the machine, whatever the number of renderer threads.
  state.counters["cpu_ms_per_frame"] = (ProcessCpuMs() - cpu0) / double(cost.frames ? cost.frames : 1);
  // The backdrop's layers in the last frame.
  const GUI_TitleBackdrop::LayerPixels& layers = GetTitleBackdrop().LastDrawPixels();
  state.counters["picture_screens"] = double(layers.picture) / kScreen;
  state.counters["clouds_screens"] = double(layers.clouds) / kScreen;
  state.counters["logo_screens"] = double(layers.logo) / kScreen;
}

// 400 tanks, 200 a side in two blocks facing each other within range, the view on them
// at the zoom that shows them all; the battle runs (one step a frame, as in the game).
void PlaceFight() {
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->GetSizeType() == 2) designs.push_back(d.get());
  if (designs.empty()) return;
  SIM_Battle& battle = GetBattle();
  if (battle.state == BATTLE_DEPLOYMENT) battle.Begin();
  battle.SetPaused(false);
  // The units of the paused case fight here, the rest are made.
  std::vector<SIM_BattleUnit*> sides[2];
  for (int side = 0; side < 2; ++side)
    if (SIM_BattleArmy* army = side == 0 ? battle.playerArmy : battle.opponentArmy)
      sides[side].assign(army->livingUnits.begin(), army->livingUnits.end());
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  constexpr float kSpacingX = 80.0f, kSpacingY = 72.0f, kGap = 320.0f;
  const float blockW = 9 * kSpacingX, blockH = 19 * kSpacingY;
  const float cx = map.mapWidth / 2, cy = map.mapHeight / 2;
  for (int i = 0; i < 400; ++i) {
    const bool player = i % 2 == 0;
    const int k = i / 2;
    std::vector<SIM_BattleUnit*>& side = sides[player ? 0 : 1];
    SIM_BattleUnit* u = size_t(k) < side.size() ? side[size_t(k)] : nullptr;
    if (!u) {
      u = new SIM_BattleUnit();
      (player ? battle.playerArmy : battle.opponentArmy)->AddUnit(u, designs[size_t(k) % designs.size()]);
    }
    const float x0 = player ? cx - kGap / 2 - blockW : cx + kGap / 2;
    u->x = x0 + float(k % 10) * kSpacingX;
    u->y = cy - blockH / 2 + float(k / 10) * kSpacingY;
    u->SetHeading(player ? 90.0f : 270.0f);
    u->CacheHeading();
    u->state = US_ACTIVE;
  }
  const float zoom = std::min(float(kW) / (2 * blockW + kGap + 200.0f), float(kH) / (blockH + 200.0f));
  map.targetZoom = map.zoom = std::clamp(zoom, map.minZoom, map.maxZoom);
  map.centreX = cx;
  map.centreY = cy;
}

size_t DrawnUnits() { return GUI_BS_UnitManager::Instance().drawnLastFrame; }

bool EnsureBattle();
bool EnsureFight();

void BM_Fight(benchmark::State& state) {
  if (!EnsureBattle() || !EnsureFight()) {
    state.SkipWithError("the fight does not draw its 400 units");
    return;
  }
  platform::Device* d = GetRenderDevice().Device();
  FrameCost cost;
  uint64_t drawnUnits = 0;
  std::map<std::string, uint64_t> layerPixels;
  GetBattleFrameTrace().enabled = true;
  for (auto _ : state) {
    DrawOneFrame(d);
    cost.Add(d->LastFrameCounters());
    drawnUnits += DrawnUnits();
    for (const auto& entry : GetBattleFrameTrace().entries) layerPixels[entry.name] += entry.pixels;
    layerPixels["world 19 units: shadow pass"] += GUI_BS_UnitManager::Instance().shadowPixelsLastFrame;
    layerPixels["world 19 units: body pass"] += GUI_BS_UnitManager::Instance().bodyPixelsLastFrame;
  }
  cost.Report(state);
  state.counters["units_drawn"] = cost.frames ? double(drawnUnits) / double(cost.frames) : 0.0;
  state.counters["battle_s"] = GetBattle().battleClock / 1000.0;
  // The last frame of each round, to look at how the fight has grown.
  static int round = 0;
  SaveShot((std::string(g_night ? "fight_night_r" : "fight_day_r") + std::to_string(++round)).c_str());
  // Where the pixels go, per draw layer and pass (screens' worth a frame).
  std::printf("Fight400: pixels per frame by layer (screens' worth)\n");
  for (const auto& [name, pixels] : layerPixels)
    if (pixels > 0)
      std::printf("  %-40s %6.3f\n", name.c_str(),
                  double(pixels) / double(cost.frames ? cost.frames : 1) / kScreen);
}

void BM_BattleFrame(benchmark::State& state) {
  if (!EnsureBattle()) {
    state.SkipWithError("no battle");
    return;
  }
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  auto* null = dynamic_cast<platform::NullDevice*>(d);
  GUI_GameModeBase* mode = GetGame().CurrentMode;
  uint64_t draws = 0, frames = 0, unitDraws = 0;
  static bool placed = false;
  if (state.range(0) > 0 && !placed) {
    Place400Units();
    placed = true;
  }
  GetBattleFrameTrace().enabled = true;
  for (auto _ : state) {
    e.BeginScene();
    mode->Draw();
    e.EndScene();
    e.Flip();
    if (g_bench.gl) {
      // Wait for the renderer, so the frame's whole cost is measured.
      std::vector<uint32_t> pixel;
      d->ReadPixels(nullptr, platform::Rect{0, 0, 1, 1}, &pixel);
    }
    draws += d->LastFrameCounters().draws;  // the presented frame's own count
    unitDraws += UnitLayerDraws();
    ++frames;
    if (null) null->ClearRecord();
  }
  state.counters["draws_per_frame"] = frames ? static_cast<double>(draws) / frames : 0.0;
  state.counters["unit_layer_draws"] = frames ? static_cast<double>(unitDraws) / frames : 0.0;
  const size_t drawn = GUI_BS_UnitManager::Instance().drawnLastFrame;
  state.counters["units"] = static_cast<double>(GetBattleUnitManagerCount());
  state.counters["units_drawn"] = static_cast<double>(drawn);
  // A frame that drew other than the units asked for measures another frame.
  const size_t wanted = state.range(0) > 0 ? kPlacedUnits : 0;
  if (drawn != wanted || GetBattleUnitManagerCount() != wanted) {
    const std::string why = "drew " + std::to_string(drawn) + " of " +
                            std::to_string(GetBattleUnitManagerCount()) + " units, not " +
                            std::to_string(wanted);
    state.SkipWithError(why.c_str());
  }
}
}  // namespace

namespace {
// The battle the battle cases share, started by the first of them (after the menu).
bool EnsureBattle() {
  static int started = 0;  // 0 not yet, 1 running, -1 failed
  if (started == 0) {
    const std::string map = StartLargestBattle();
    started = map.empty() ? -1 : 1;
    if (started > 0)
      std::printf("map: %s at zoom %.3f, %d x %d, %s device\n", map.c_str(), GUI_BS_Map::Instance().minZoom,
                  kW, kH, g_bench.gl ? "OpenGL" : "null");
  }
  return started > 0;
}

// The fight's units, placed once and let fire for a second before measuring.
bool EnsureFight() {
  static int placed = 0;
  if (placed == 0) {
    PlaceFight();
    for (int i = 0; i < 60; ++i) DrawOneFrame(GetRenderDevice().Device());
    std::printf("fight: %zu of 400 units drawn at zoom %.3f\n", DrawnUnits(), GUI_BS_Map::Instance().zoom);
    SaveShot(g_night ? "fight_night" : "fight_day");
    placed = DrawnUnits() >= 380 ? 1 : -1;
  }
  return placed > 0;
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc;) {
    const bool night = std::strcmp(argv[i], "--night") == 0;
    const bool frames = std::strncmp(argv[i], "--fight-frames=", 15) == 0;
    if (!night && !frames) {
      ++i;
      continue;
    }
    if (night) g_night = true;
    if (frames) g_fightFrames = std::max(0, std::atoi(argv[i] + 15));
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
  }
  if (!BenchStartProcess(&argc, argv, g_bench)) return 1;
  if (!BenchOpenDevice(g_bench, kW, kH, "Zentrak bench: battle screen")) return 1;
  // Where the game finds textures it made itself: the design pictures the deployment
  // window's icons are cut from are saved under the user folder and read back from there.
  RegisterTextureFolder("data/scenarios");
  RegisterTextureFolder(GetUserFolder(USERFOLDER_ROOT));
  // What the game sets up beside the device: effects, fonts and the full-screen targets.
  GetShaderManager().LoadAll();
  GetGame().LoadFonts();
  GetGame().CreateScreenTargets(kW, kH);
  InitRandomWithSeed(1);
  // Effects emit by the step-rate meter, which follows this machine's load; pinned at the
  // full-speed rate, the fight's effects (and so its pixels) are the same run to run.
  SetEffectsFrameRatioOverride(1.0f);
  const std::string device = g_bench.gl ? "opengl" : "null";

  // The idle main menu first, past its opening fade.
  GetGame().SetGameMode(MODE_MAIN_MENU);
  for (int i = 0; i < 30; ++i) DrawOneFrame(GetRenderDevice().Device());
  SaveShot("menu");
  benchmark::RegisterBenchmark(("IdleMenu/" + device).c_str(), BM_IdleMenu)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  // The empty map (the reference), then with 400 units, then the fight.
  benchmark::RegisterBenchmark(("BattleFrame/" + device).c_str(), BM_BattleFrame)
      ->Arg(0)
      ->Arg(400)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::internal::Benchmark* fight =
      benchmark::RegisterBenchmark(("Fight400/" + device).c_str(), BM_Fight);
  fight->Unit(benchmark::kMillisecond)->UseRealTime();
  if (g_fightFrames > 0)
    fight->Iterations(g_fightFrames);
  else
    fight->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The battle's units go while the managers they leave still exist.
  BenchClose(g_bench);
  return 0;
}
