// One battle frame of the largest shipped map at the farthest zoom (every tile, border
// and prop on screen): the draw calls it takes and what it costs. On the null device by
// default (the game's own work per frame); with --gl on the OpenGL device at 1280 x 1024
// (Mesa's software renderer under xvfb-run). The same frame again with 400 tanks and
// buildings of both sides on screen (the battle paused, so the frame is the drawing).
// The computer defender is kept idle, so the map holds no units of its own: the empty
// frame draws none and the full one exactly the 400 placed, which the run checks.
#include "battlescreen/BattleScreen.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
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

// The largest campaign map, fought as the attacker without AI units, shown as mode 6.
std::string StartLargestBattle() {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* largest = nullptr;
  for (SIM_Scenario* s : scenarios.Campaign())
    if (!largest || s->maxCols * s->maxRows > largest->maxCols * largest->maxRows) largest = s;
  if (!largest) return "";
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = largest;
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

void BM_BattleFrame(benchmark::State& state) {
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

int main(int argc, char** argv) {
  if (!BenchStartProcess(&argc, argv, g_bench)) return 1;
  if (!BenchOpenDevice(g_bench, kW, kH, "Zentrak bench: battle screen")) return 1;
  InitRandomWithSeed(1);
  const std::string map = StartLargestBattle();
  if (map.empty()) return 1;
  std::printf("map: %s at zoom %.3f, %d x %d, %s device\n", map.c_str(), GUI_BS_Map::Instance().minZoom, kW,
              kH, g_bench.gl ? "OpenGL" : "null");
  // The empty map first (the reference), then with 400 units.
  benchmark::RegisterBenchmark(g_bench.gl ? "BattleFrame/opengl" : "BattleFrame/null", BM_BattleFrame)
      ->Arg(0)
      ->Arg(400)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The battle's units go while the managers they leave still exist.
  BenchClose(g_bench);
  return 0;
}
