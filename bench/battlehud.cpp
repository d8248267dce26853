// The battle HUD over a running fight on the null device: 40 or 400 units of both sides
// moving and firing on the largest shipped map, every overlay switched on (routes,
// health discs, damage numbers, range rings, target markers, support icons and areas)
// and every unit of the player selected. Measures the milliseconds per frame and the
// draw calls the HUD takes, beside the same battle with the HUD hidden.
#include <benchmark/benchmark.h>
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
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battlehud/BattleOverlays.h"
#include "battlehud/RangeIndicators.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "game/ConnectLayers.h"
#include "platform/NullDevice.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/BenchGame.h"

namespace {
constexpr int kW = 1280, kH = 1024;

SIM_Scenario* LargestMap() {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* largest = nullptr;
  for (SIM_Scenario* s : scenarios.Campaign())
    if (!largest || s->maxCols * s->maxRows > largest->maxCols * largest->maxRows) largest = s;
  return largest;
}

// A new battle of n units (half each side) facing each other across the map's middle,
// fighting, the player's units all selected, each player unit aiming at an enemy.
void StartFight(SIM_Scenario* scenario, int n) {
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = scenario;
  battle.useFixedSeed = true;
  battle.fixedSeed = 7;
  battle.Start();
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->GetSizeType() == 2) designs.push_back(d.get());
  if (designs.empty()) return;
  battle.Begin();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.targetZoom = map.zoom = map.minZoom;
  map.centreX = map.cameraX = map.mapWidth / 2;
  map.centreY = map.cameraY = map.mapHeight / 2;
  map.UpdateViewRect();
  const float w = map.mapWidth, h = map.mapHeight;
  std::vector<SIM_BattleUnit*> mine, theirs;
  for (int i = 0; i < n; ++i) {
    const bool player = i % 2 == 0;
    auto* u = new SIM_BattleUnit();
    (player ? battle.playerArmy : battle.opponentArmy)->AddUnit(u, designs[size_t(i) % designs.size()]);
    const int k = i / 2, cols = 20;
    u->x = w * (0.5f + float(k % cols)) / float(cols);
    u->y = h * (player ? 0.55f : 0.05f) + h * 0.4f * float(k / cols) / float(n / 2 / cols + 1);
    u->SetHeading(player ? 0.0f : 180.0f);
    u->CacheHeading();
    u->state = US_ACTIVE;
    u->selected = player;
    (player ? mine : theirs).push_back(u);
  }
  for (size_t i = 0; i < mine.size() && !theirs.empty(); ++i) {
    mine[i]->target = theirs[i % theirs.size()];
    mine[i]->MoveTo(theirs[i % theirs.size()]->x, theirs[i % theirs.size()]->y);
  }
  battle.SetPaused(false);
}

bool IsHudLayer(const std::string& name) {
  static const char* const kLayers[] = {"world 2 ", "world 3 ", "world 4 ", "world 5 ", "world 6 ",
                                        "hud 1 ",   "hud 2 ",   "hud 3 ",   "hud 4 ",   "hud 5 ",
                                        "hud 6 ",   "hud 7 ",   "hud 8 ",   "hud 9 ",   "hud 12 "};
  for (const char* l : kLayers)
    if (name.rfind(l, 0) == 0) return true;
  return false;
}

void BM_BattleHud(benchmark::State& state) {
  static SIM_Scenario* scenario = LargestMap();
  if (!scenario) {
    state.SkipWithError("no campaign map");
    return;
  }
  const int units = int(state.range(0));
  const bool hud = state.range(1) != 0;
  StartFight(scenario, units);
  BattleViewFlags& flags = GetBattleViewFlags();
  flags.showHud = hud;
  flags.showPaths = flags.showHealth = flags.showDamage = true;
  flags.reserved = true;
  D3DEngine& e = GetRenderDevice();
  auto* null = dynamic_cast<platform::NullDevice*>(e.Device());
  GUI_GameModeBase* mode = GetGame().CurrentMode;
  GetBattleFrameTrace().enabled = true;
  uint64_t frames = 0, hudDraws = 0, draws = 0, hudMax = 0;
  std::map<std::string, uint64_t> byLayer, layerMax;
  for (auto _ : state) {
    // The rings of the unit last clicked are kept up.
    if (frames % 30 == 0 && !GetBattle().playerArmy->allUnits.empty())
      GUI_BS_RangeIndicatorSet::Instance().Reset(GetBattle().playerArmy->allUnits.front());
    GetBattleFrameTrace().entries.clear();
    e.BeginScene();
    mode->Draw();
    e.EndScene();
    e.Flip();
    uint64_t frameHud = 0;
    for (const auto& entry : GetBattleFrameTrace().entries)
      if (IsHudLayer(entry.name)) {
        frameHud += entry.draws;
        byLayer[entry.name] += entry.draws;
        layerMax[entry.name] = std::max<uint64_t>(layerMax[entry.name], entry.draws);
      }
    hudDraws += frameHud;
    hudMax = std::max(hudMax, frameHud);
    draws += e.Device()->LastFrameCounters().draws;
    ++frames;
    if (null) null->ClearRecord();
  }
  state.counters["hud_draws_per_frame"] = frames ? double(hudDraws) / double(frames) : 0.0;
  // The budget: the average moves with what the fight shows (a kind with nothing to draw
  // takes no call), the most in any frame only with how the kinds are batched.
  state.counters["hud_draws_max"] = double(hudMax);
  state.counters["draws_per_frame"] = frames ? double(draws) / double(frames) : 0.0;
  state.counters["units"] = double(units);
  // Which overlay takes the calls (layers that drew at all): average / most in a frame.
  std::string layers;
  char figures[64];
  for (const auto& [name, n] : byLayer)
    if (n > 0) {
      std::snprintf(figures, sizeof figures, "=%.2f/%llu; ", double(n) / double(frames ? frames : 1),
                    static_cast<unsigned long long>(layerMax[name]));
      layers += name + figures;
    }
  state.SetLabel(layers);
  ClearBattleOverlays();
}
}  // namespace

int main(int argc, char** argv) {
  BenchGame bench;  // the null device: the HUD's own work and draw calls
  if (!BenchStartProcess(&argc, argv, bench)) return 1;
  bench.gl = false;
  if (!BenchOpenDevice(bench, kW, kH, "Zentrak bench: battle HUD")) return 1;
  InitRandomWithSeed(1);
  // Units x HUD shown (1) or hidden (0).
  benchmark::RegisterBenchmark("BattleHud/null", BM_BattleHud)
      ->ArgNames({"units", "hud"})
      ->Args({40, 1})
      ->Args({400, 1})
      ->Args({400, 0})
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  BenchClose(bench);
  return 0;
}
