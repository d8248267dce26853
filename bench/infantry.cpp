// Sixteen squads of 25 soldiers walking and firing in one battle frame: the draw calls
// and the cost of a frame. Every soldier draws its legs, torso and head from its design's
// composite, so the soldiers of one design batch together: with one design or four, the
// unit layer stays at a few draw calls, not one per soldier. On the null device by
// default; with --gl on the OpenGL device at 1280 x 1024 (under xvfb-run).
#include "battlescreen/Infantry.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

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
#include "battle/Gameplay.h"
#include "battle/Movement.h"
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
constexpr int kSquads = 16, kSquadSize = 25;
BenchGame g_bench;

bool StartBattle() {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* scenario = scenarios.Find("frozen_ridge");
  if (!scenario) return false;
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = scenario;
  battle.Start();
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  battle.Begin();
  battle.SetPaused(true);
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  return true;
}

std::vector<SIM_BattleUnit*> g_soldiers;

// Sixteen squads of 25 in a block at the screen's centre, their designs taken in turn
// from the first `designs` infantry designs.
void PlaceSquads(int designs) {
  for (SIM_BattleUnit* u : g_soldiers) u->Destroy();
  g_soldiers.clear();
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> infantry;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->GetSizeType() == 0) infantry.push_back(d.get());
  if (infantry.empty()) return;
  SIM_Battle& battle = GetBattle();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 1.25f;
  map.centreX = map.cameraX = map.mapWidth / 2;
  map.centreY = map.cameraY = map.mapHeight / 2;
  map.UpdateViewRect();
  for (int s = 0; s < kSquads; ++s)
    for (int i = 0; i < kSquadSize; ++i) {
      auto* u = new SIM_BattleUnit();
      battle.playerArmy->AddUnit(u, infantry[size_t(s % designs) % infantry.size()]);
      u->x = map.viewLeft + 60.0f + (s % 4) * 230.0f + (i % 5) * 34.0f;
      u->y = map.viewTop + 60.0f + (s / 4) * 190.0f + (i / 5) * 30.0f;
      u->SetHeading(float((s * 40 + i * 7) % 360));
      u->CacheHeading();
      u->state = US_ACTIVE;
      g_soldiers.push_back(u);
    }
}

uint64_t UnitLayerDraws() {
  for (const auto& entry : GetBattleFrameTrace().entries)
    if (entry.name.rfind("world 19 ", 0) == 0) return entry.draws;
  return 0;
}

void BM_Squads(benchmark::State& state) {
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  auto* null = dynamic_cast<platform::NullDevice*>(d);
  GUI_GameModeBase* mode = GetGame().CurrentMode;
  PlaceSquads(static_cast<int>(state.range(0)));
  GetBattleFrameTrace().enabled = true;
  uint64_t draws = 0, frames = 0, unitDraws = 0;
  for (auto _ : state) {
    // Every soldier walks a little and every fifth one fires this frame.
    int n = 0;
    for (SIM_BattleUnit* u : g_soldiers) {
      u->y -= 0.5f;
      if (u->movement) u->movement->step = 0.5f;
      if (u->visual && (frames + n++) % 5 == 0) u->visual->OnFire(0);
    }
    GetStepRateMeter().rate = 1.0f;
    e.BeginScene();
    mode->Draw();
    e.EndScene();
    e.Flip();
    if (g_bench.gl) {
      std::vector<uint32_t> pixel;
      d->ReadPixels(nullptr, platform::Rect{0, 0, 1, 1}, &pixel);
    }
    draws += d->LastFrameCounters().draws;
    unitDraws += UnitLayerDraws();
    ++frames;
    if (null) null->ClearRecord();
  }
  state.counters["draws_per_frame"] = frames ? double(draws) / frames : 0.0;
  state.counters["unit_layer_draws"] = frames ? double(unitDraws) / frames : 0.0;
  state.counters["soldiers"] = double(g_soldiers.size());
  state.counters["composites"] = double(InfantryCompositor::Instance().built.size());
}
}  // namespace

int main(int argc, char** argv) {
  if (!BenchStartProcess(&argc, argv, g_bench)) return 1;
  if (!BenchOpenDevice(g_bench, kW, kH, "Zentrak bench: infantry")) return 1;
  InitRandomWithSeed(1);
  if (!StartBattle()) return 1;
  // One design for all sixteen squads, then four designs in turn.
  benchmark::RegisterBenchmark(g_bench.gl ? "Squads16x25/opengl" : "Squads16x25/null", BM_Squads)
      ->Arg(1)
      ->Arg(4)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_soldiers.clear();
  BenchClose(g_bench);
  return 0;
}
