// The battle effects' cost on the OpenGL device at 1024 x 768 (Mesa's software renderer
// under xvfb-run): Night Citadel, lit, with 400 units fighting (as bench_battle deploys
// them), 200 live burst groups, burning ground, drifting smoke, exhaust and gunfire with
// its muzzle flashes. The same running battle is drawn with the effect layers off (the
// reference: world straight to the back buffer, no light map, no effects) and on, in
// alternating rounds; the ratio, draw calls and render-target switches per frame are printed.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bench/bench_effects
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "game/ConnectLayers.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
constexpr int kW = 1024, kH = 768;
constexpr int kBurstGroups = 200;
constexpr int kFires = 40;
SDL_Window* g_window = nullptr;

bool StartDevice() {
  D3DEngine& e = GetRenderDevice();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  g_window = SDL_CreateWindow("Zentrak bench: effects", 0, 0, kW, kH, SDL_WINDOW_OPENGL);
  if (!g_window) return false;
  e.SetMainWindow(g_window);
  e.SetBackend(platform::Backend::OpenGL);
  if (!e.InitD3D(kW, kH, true)) return false;
  SDL_GL_SetSwapInterval(0);
  e.SetFramePacing(false);
  e.SetScreenSize(kW, kH);
  RegisterTextureFolder("data/bitmaps");
  InitGlobalVertexBuffer();
  GetGame().RenderTargetWidth = Game::RenderTargetSize(kW);
  GetGame().RenderTargetHeight = Game::RenderTargetSize(kH);
  GetGame().CreateRenderTargets();
  GetShaderManager().LoadAll();
  return true;
}

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

// Night Citadel with 400 units of both sides, as bench_battle deploys them.
int StartNightBattle() {
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* s = SIM_ScenarioManager::Get().Find("night_citadel");
  if (!s) return 0;
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> mobile, buildings;
  for (auto& d : SIM_UnitDesignManager::Get().Designs()) {
    if (!d->hull) continue;
    if (d->hull->sizeType == SIZETYPE_BUILDING)
      buildings.push_back(d.get());
    else if (d->hull->sizeType != SIZETYPE_INFANTRY)
      mobile.push_back(d.get());
  }
  if (mobile.empty()) return 0;
  if (buildings.empty()) buildings = mobile;
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = false;
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = s;
  battle.useFixedSeed = true;
  battle.fixedSeed = 26;
  battle.Start();
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  int n = DeploySide(battle.playerArmy, s->attackerSquares, mobile, false, 200);
  n += DeploySide(battle.opponentArmy, s->defenderSquares, buildings, true, 400 - n);
  battle.Begin();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.targetZoom = map.minZoom;
  map.centreX = map.mapWidth / 2;
  map.centreY = map.mapHeight / 2;
  GetInputManager().x = kW / 2;
  GetInputManager().y = kH / 2;
  return n;
}

// Keeps 200 burst groups alive in view: a finished one is obtained again by name.
void KeepBursts(int frame) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float w = map.viewRight - map.viewLeft, h = map.viewBottom - map.viewTop;
  int live = 0;
  for (GUI_ParticleEmmiterGroup* g : ActiveParticleGroups()) live += g->alive ? 1 : 0;
  for (int i = live; i < kBurstGroups; ++i) {
    const float x = map.viewLeft + w * static_cast<float>((frame * 37 + i * 101) % 97) / 97.0f;
    const float y = map.viewTop + h * static_cast<float>((frame * 53 + i * 67) % 89) / 89.0f;
    GUI_ParticleEmmiterGroup* g = ObtainParticleGroup(i % 2 ? "bench_burst" : "bench_blast", x, y, 0, 0);
    if (!g->emitters[0]) {
      for (const char* c : {"fire_burst", "spark_burst", "smoke_puff", "debris_chunks"})
        g->AddEmitter(NewParticleEmmiter(c, x, y, 0, 0));
      g->visibleRadius = 64.0f;
    }
    GUI_BS_EffectsManager::Instance().Add(g);
  }
}

void Layers(bool on) {
  if (on) {
    ConnectBattleEffects();
    GUI_BS_LightmapManager::Instance().ReadBattleLighting(GetBattle().scenario);
    EffectsBattleStart();
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    for (int i = 0; i < kFires; ++i)
      GUI_BS_EffectsManager::Instance().Add(new GUI_BS_GroundEmitter(
          14.0f, -1.0f, i % 2 ? "burning_ground" : "hulk_emitter",
          map.viewLeft + (map.viewRight - map.viewLeft) * (0.05f + 0.9f * static_cast<float>(i % 8) / 7.0f),
          map.viewTop + (map.viewBottom - map.viewTop) * (0.1f + 0.8f * static_cast<float>(i / 8) / 4.0f)));
    return;
  }
  for (int layer : {WL_EXHAUST_LOWER, WL_MUZZLE_FLASHES, WL_PARTICLE_CULLING, WL_DRIFTING_SMOKE,
                    WL_EXHAUST_UPPER, WL_DISTORTION, WL_LIGHT_MAP})
    SetBattleWorldLayer(layer, nullptr);
  BattleFrameHooks& frame = GetBattleFrameHooks();
  frame.preparePostProcess = nullptr;
  frame.runPostProcess = nullptr;
  frame.lightingMode = nullptr;
  frame.lightOverride = nullptr;
  GetBattleHooks().weaponFlash = nullptr;
  GetUnitEffectHooks().request = nullptr;
  GUI_BS_EffectsManager::Instance().Clear();
  EffectsBattleEnd();
  GUI_BS_LightmapManager::Instance().mode = 0;
}

struct FrameCost {
  double ms = 0.0;
  uint64_t draws = 0, switches = 0;
  int frames = 0;
};

// Draws `n` frames of the running battle and adds up what they cost.
void DrawFrames(int n, bool bursts, int* frame, FrameCost* cost) {
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  GUI_GameModeBase* mode = GetGame().CurrentMode;
  for (int i = 0; i < n; ++i) {
    if (bursts) KeepBursts((*frame)++);
    const auto start = std::chrono::steady_clock::now();
    e.BeginScene();
    mode->Draw();
    e.EndScene();
    e.Flip();
    // Wait for the renderer, so the frame's whole cost is measured.
    std::vector<uint32_t> pixel;
    d->ReadPixels(nullptr, platform::Rect{0, 0, 1, 1}, &pixel);
    if (!cost) continue;
    cost->ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost->draws += d->LastFrameCounters().draws;
    cost->switches += d->LastFrameCounters().targetSwitches;
    ++cost->frames;
  }
}

// Off and on in alternating rounds over the same running battle, so a machine shared with
// other work loads both alike.
void BM_EffectsOnOff(benchmark::State& state) {
  FrameCost off, on;
  int frame = 0;
  for (auto _ : state) {
    Layers(false);
    DrawFrames(3, false, &frame, nullptr);  // settle
    DrawFrames(8, false, &frame, &off);
    Layers(true);
    DrawFrames(3, true, &frame, nullptr);
    DrawFrames(8, true, &frame, &on);
  }
  auto per = [](const FrameCost& c, double v) { return c.frames ? v / c.frames : 0.0; };
  state.counters["off_ms"] = per(off, off.ms);
  state.counters["on_ms"] = per(on, on.ms);
  state.counters["ratio"] = off.ms > 0.0 ? on.ms / off.ms * off.frames / std::max(1, on.frames) : 0.0;
  state.counters["off_draws"] = per(off, static_cast<double>(off.draws));
  state.counters["on_draws"] = per(on, static_cast<double>(on.draws));
  state.counters["off_switches"] = per(off, static_cast<double>(off.switches));
  state.counters["on_switches"] = per(on, static_cast<double>(on.switches));
  int groups = 0;
  for (GUI_ParticleEmmiterGroup* g : ActiveParticleGroups()) groups += g->alive ? 1 : 0;
  state.counters["live_burst_groups"] = groups;
  std::printf(
      "frame off %.1f ms, on %.1f ms: ratio %.2f (target <= 2); draws %.0f / %.0f, target switches %.1f / "
      "%.1f "
      "per frame; %d live burst groups\n",
      per(off, off.ms), per(on, on.ms), per(on, on.ms) / std::max(per(off, off.ms), 1e-9),
      per(off, static_cast<double>(off.draws)), per(on, static_cast<double>(on.draws)),
      per(off, static_cast<double>(off.switches)), per(on, static_cast<double>(on.switches)), groups);
}
}  // namespace

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/zentrak-bench-XXXXXX";
  const char* scratch = mkdtemp(tmpl);
  if (scratch) setenv("ZENTRAK_USER_DIR", scratch, 0);
  if (chdir(ZENTRAK_BUILD_DIR) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  GetGame().InitUserFolders();
  ConnectGameLayers();
  if (!StartDevice()) {
    std::fprintf(stderr, "no OpenGL device (run under a display, e.g. xvfb-run)\n");
    return 1;
  }
  InitRandomWithSeed(1);
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  SIM_Options::Get().SetFloat("DRIFTINGSMOKE", 1.0f);
  const int units = StartNightBattle();
  if (units <= 0) return 1;
  SetEffectsFrameRatioOverride(1.0f);
  std::printf("Night Citadel, %d units deployed, %d x %d, OpenGL device\n", units, kW, kH);
  benchmark::RegisterBenchmark("EffectsOnOff/opengl", BM_EffectsOnOff)
      ->Iterations(4)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ResetAllSingletons();
  GetGlobalVertexBuffer().Release();
  GetRenderDevice().ReleaseD3D();
  if (g_window) SDL_DestroyWindow(g_window);
  if (scratch) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
  return 0;
}
