// The battle effects' cost on the OpenGL device at 1024 x 768 (Mesa's software renderer
// under xvfb-run): Night Citadel, lit, with 400 units fighting (as bench_battle deploys
// them), 200 live explosion groups (shell hits, kills with plumes, glare and shock waves),
// debris, missiles' smoke trails, air-strike trails, burning ground, drifting smoke,
// exhaust and gunfire with its muzzle flashes. The same running battle is drawn with the effect layers off
// (the reference: world straight to the back buffer, no light map, no effects) and on, in alternating rounds;
// the ratio, draw calls and render-target switches per frame are printed.
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
#include "battle/MissileLauncher.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/AirStrikeTrails.h"
#include "effects/BattleEffects.h"
#include "effects/Debris.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/RocketTrails.h"
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
#include "support/BenchGame.h"

namespace {
constexpr int kW = 1024, kH = 768;
constexpr int kBurstGroups = 200;
constexpr int kFires = 40;

// An OpenGL device with the frame's off-screen targets and passes, as the game makes them.
bool StartDevice(BenchGame& bench) {
  bench.gl = true;
  if (!BenchOpenDevice(bench, kW, kH, "Zentrak bench: effects")) return false;
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

constexpr int kMissiles = 8;
SIM_Missile g_missiles[kMissiles];
GUI_BS_RocketTrail* g_trails[kMissiles] = {};

// Keeps 200 explosion groups alive in view (a finished group is obtained again by name),
// with a kill's plumes, glare, shock wave and debris now and then, missiles trailing smoke
// across the view and air strikes' trails.
void KeepExplosions(int frame) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float w = map.viewRight - map.viewLeft, h = map.viewBottom - map.viewTop;
  auto at = [&](int i, float* x, float* y) {
    *x = map.viewLeft + w * static_cast<float>((frame * 37 + i * 101) % 97) / 97.0f;
    *y = map.viewTop + h * static_cast<float>((frame * 53 + i * 67) % 89) / 89.0f;
  };
  int live = 0;
  for (GUI_ParticleEmmiterGroup* g : ActiveParticleGroups()) live += g->alive ? 1 : 0;
  float x = 0.0f, y = 0.0f;
  for (int i = live; i < kBurstGroups; ++i) {
    at(i, &x, &y);
    static constexpr int kKinds[] = {EXP_SMALL,        EXP_SMALL_FIERY, EXP_MEDIUM,
                                     EXP_SMALL_SPARKY, EXP_LARGE,       EXP_INCENDIARY};
    SpawnExplosion(kKinds[i % 6], 0, 0, 0, 0, 0, 0, x, y);
  }
  at(frame, &x, &y);
  if (frame % 4 == 0) {  // a kill
    SpawnExplosion(EXP_PLUMES, 12, 16, 0.125f, 0, 0, 0, x, y);
    SpawnExplosion(EXP_DEBRIS, 32, 8, 0, 256, 128, 0, x, y);
    SpawnExplosion(EXP_BLASTGLARE, 64, 300, 0, 0, 0, 0, x, y);
    SpawnExplosion(EXP_BLASTGLARE_LM, 300, 600, 0, 0, 0, 0, x, y);
    GUI_BS_ShockWave::Spawn(80.0f, 500.0f, "shockwave.dds", x, y);
  }
  if (frame % 15 == 0) GUI_BS_AirStrikeTrailSprite::SpawnBurst(x, y);
  for (int i = 0; i < kMissiles; ++i) {
    SIM_Missile& m = g_missiles[i];
    if (!g_trails[i] || m.x > map.viewRight) {
      m.alive = true;
      m.heading = 90.0f;
      m.x = map.viewLeft;
      m.y = map.viewTop + h * (0.1f + 0.1f * static_cast<float>(i));
      m.launchX = m.x;
      m.launchY = m.y;
      if (g_trails[i]) g_trails[i]->missile = nullptr;
      g_trails[i] = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
      g_trails[i]->Start(&m);
    }
    m.x += 12.0f;
    g_trails[i]->Advance(12.0f);
  }
}

void StopMissiles() {
  for (int i = 0; i < kMissiles; ++i) {
    if (g_trails[i]) g_trails[i]->missile = nullptr;
    g_trails[i] = nullptr;
    g_missiles[i].alive = false;
  }
}

void Layers(bool on) {
  if (on) {
    ConnectBattleEffects();
    ConnectExplosionEffects();
    GUI_BS_LightmapManager::Instance().ReadBattleLighting(GetBattle().scenario);
    StopMissiles();
    GetBattleScreenHooks().effectsBattleStart();
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    for (int i = 0; i < kFires; ++i)
      GUI_BS_EffectsManager::Instance().Add(new GUI_BS_GroundEmitter(
          14.0f, -1.0f, i % 2 ? "burning_ground" : "hulk_emitter",
          map.viewLeft + (map.viewRight - map.viewLeft) * (0.05f + 0.9f * static_cast<float>(i % 8) / 7.0f),
          map.viewTop + (map.viewBottom - map.viewTop) * (0.1f + 0.8f * static_cast<float>(i / 8) / 4.0f)));
    return;
  }
  StopMissiles();
  for (int layer :
       {WL_EXHAUST_LOWER, WL_MUZZLE_FLASHES, WL_PARTICLE_CULLING, WL_DRIFTING_SMOKE, WL_EXHAUST_UPPER,
        WL_DISTORTION, WL_LIGHT_MAP, WL_GROUND_DEBRIS, WL_ROCKET_TRAILS, WL_ATMOSPHERE, WL_AIRSTRIKE_TRAILS})
    SetBattleWorldLayer(layer, nullptr);
  BattleFrameHooks& frame = GetBattleFrameHooks();
  frame.preparePostProcess = nullptr;
  frame.runPostProcess = nullptr;
  frame.lightingMode = nullptr;
  frame.lightOverride = nullptr;
  BattleHooks& battle = GetBattleHooks();
  battle.weaponFlash = nullptr;
  battle.weaponImpact = nullptr;
  battle.airStrikeTrail = nullptr;
  battle.airStrikeBlast = nullptr;
  battle.flameBurst = nullptr;
  GetUnitEffectHooks().request = nullptr;
  GUI_BS_EffectsManager::Instance().Clear();
  GetBattleScreenHooks().effectsBattleEnd();
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
    if (bursts) KeepExplosions((*frame)++);
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
  state.counters["live_explosion_groups"] = groups;
  std::printf(
      "frame off %.1f ms, on %.1f ms: ratio %.2f (target <= 2); draws %.0f / %.0f, target switches %.1f / "
      "%.1f "
      "per frame; %d live explosion groups\n",
      per(off, off.ms), per(on, on.ms), per(on, on.ms) / std::max(per(off, off.ms), 1e-9),
      per(off, static_cast<double>(off.draws)), per(on, static_cast<double>(on.draws)),
      per(off, static_cast<double>(off.switches)), per(on, static_cast<double>(on.switches)), groups);
}
}  // namespace

int main(int argc, char** argv) {
  BenchGame bench;
  if (!BenchStartProcess(&argc, argv, bench)) return 1;
  if (!StartDevice(bench)) return 1;
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
  BenchClose(bench);
  return 0;
}
