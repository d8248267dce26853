// The world details' cost in a full battle frame: 400 tanks of both sides on Frozen Ridge
// (falling snow) at zoom 1, every tank driving (laying track marks), firing (bullets in
// flight, shell casings) each frame, with one wreck breaking up now and then. Measured
// twice on the same frames: with the world-detail layers (tracks, wrecks, break-ups,
// bullets, snow) and with those layers switched off, so both sides draw the same units.
// On the null device by default; with --gl on the OpenGL device at 1280 x 1024 (Mesa's
// software renderer under xvfb-run). Reports draws per frame and the layers' own draws.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
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
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/TrackMarks.h"
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
constexpr int kUnits = 400;
BenchGame g_bench;

// The layers the world details draw; switched off for the reference frame.
constexpr int kDetailLayers[] = {WL_TRACK_MARKS, WL_HULKS, WL_BREAKUP_SHADOWS, WL_BULLETS, WL_SNOW};

bool StartFrozenRidge() {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* ridge = nullptr;
  for (SIM_Scenario* s : scenarios.Campaign())
    if (s->name == "frozen_ridge") ridge = s;
  if (!ridge) return false;
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = nullptr;
  hooks.finishLoading = nullptr;
  hooks.setLoadingProgress = nullptr;
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_NONE;
  battle.scenario = ridge;
  battle.Start();
  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 1.0f;
  map.centreX = map.cameraX = map.mapWidth / 2;
  map.centreY = map.cameraY = map.mapHeight / 2;
  map.ClampCentre();
  map.cameraX = map.centreX;
  map.cameraY = map.centreY;
  map.UpdateViewRect();
  return true;
}

struct Scene {
  std::vector<SIM_BattleUnit*> units;
  float left = 0, top = 0, right = 0, bottom = 0;
  int frame = 0;
};
Scene g_scene;

// 400 tanks of every shipped tank design, both sides, in a grid over the view.
void Place400Tanks() {
  SIM_UnitDesignManager::Get().Load();
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->GetSizeType() == SIZE_TANK) designs.push_back(d.get());
  if (designs.empty()) return;
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  battle.SetPaused(true);
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  SIM_Options::Get().SetFloat("TRACKS", 1.0f);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  g_scene = Scene{{}, map.viewLeft, map.viewTop, map.viewRight, map.viewBottom, 0};
  const float w = map.viewRight - map.viewLeft, h = map.viewBottom - map.viewTop;
  for (int i = 0; i < kUnits; ++i) {
    auto* u = new SIM_BattleUnit();
    (i % 2 ? battle.opponentArmy : battle.playerArmy)->AddUnit(u, designs[i % designs.size()]);
    u->x = map.viewLeft + w * (0.5f + i % 20) / 20.0f;
    u->y = map.viewTop + h * (0.5f + i / 20) / 20.0f;
    u->SetHeading(float(i * 37 % 360));
    u->CacheHeading();
    u->state = US_ACTIVE;
    if (u->turretFacing) u->turretFacing->angle = float(i * 53 % 360);
    g_scene.units.push_back(u);
  }
}

// One frame of driving and firing: every tank moves 2 units along its heading (turning
// slowly, wrapping inside the view) and lays its tracks; each gun keeps two bullets in
// flight and throws casings; every 60 frames a wreck breaks up at the next tank's place.
void DriveAndFire(bool details) {
  Scene& s = g_scene;
  ++s.frame;
  GetBattle().frameStep = 16.0f;
  const float pi = 3.14159265f;
  for (size_t i = 0; i < s.units.size(); ++i) {
    SIM_BattleUnit* u = s.units[i];
    const float h = u->heading + ((i % 3) - 1.0f) * 0.5f;
    u->SetHeading(std::fmod(h + 360.0f, 360.0f));
    u->CacheHeading();
    u->x += std::sin(u->heading * pi / 180.0f) * 2.0f;
    u->y -= std::cos(u->heading * pi / 180.0f) * 2.0f;
    if (u->x < s.left) u->x += s.right - s.left;
    if (u->x > s.right) u->x -= s.right - s.left;
    if (u->y < s.top) u->y += s.bottom - s.top;
    if (u->y > s.bottom) u->y -= s.bottom - s.top;
    if (!details) continue;
    if (u->visual) u->visual->LayTracks();
    if (auto* major = dynamic_cast<GUI_BS_MajorUnit*>(u->visual.get()); major && s.frame % 6 == int(i % 6))
      major->OnFire(-1);
    if (!u->moduleManager) continue;
    for (SIM_Module* m : u->moduleManager->weapons) {
      auto* gun = dynamic_cast<SIM_KineticWeaponComponent*>(m);
      if (!gun) continue;
      const float a = (u->turretFacing ? u->turretFacing->angle : u->heading) * pi / 180.0f;
      for (int b = 0; b < 2; ++b) {
        SIM_Bullet& bullet = gun->bullets[static_cast<size_t>(b)];
        const float travelled = float((s.frame * 12 + b * 60) % 120) + 40.0f;
        bullet.alive = true;
        bullet.invisible = false;
        bullet.launchDelay = 0.0f;
        bullet.x = u->x + std::sin(a) * travelled;
        bullet.y = u->y - std::cos(a) * travelled;
        bullet.heading = a * 180.0f / pi;
      }
      gun->invisibleBullets = false;
    }
  }
  if (details && s.frame % 60 == 0) {
    SIM_BattleUnit* u = s.units[static_cast<size_t>(s.frame / 60) % s.units.size()];
    auto pieces =
        std::make_unique<GUI_BS_BreakupCollection>(u->size, u->size, u->size, 0.0f, 0.0f, 0.25f, 0.5f);
    if (auto* major = dynamic_cast<GUI_BS_Unit*>(u->visual.get()); major && !major->sprites.empty())
      pieces->texture = major->sprites.front()->mainQuad.texture;
    GUI_BS_BreakupCollection::StartRunning(std::move(pieces), u->x, u->y, u->heading);
  }
}

uint64_t DetailLayerDraws() {
  uint64_t n = 0;
  for (const auto& entry : GetBattleFrameTrace().entries)
    for (int layer : kDetailLayers) {
      const std::string prefix = "world " + std::to_string(layer) + " ";
      if (entry.name.rfind(prefix, 0) == 0) n += entry.draws;
    }
  return n;
}

void BM_WorldDetails(benchmark::State& state) {
  const bool details = state.range(0) != 0;
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  auto* null = dynamic_cast<platform::NullDevice*>(d);
  GUI_GameModeBase* mode = GetGame().CurrentMode;
  if (g_scene.units.empty()) Place400Tanks();
  BattleLayerDraw saved[std::size(kDetailLayers)] = {};
  if (!details)
    for (size_t i = 0; i < std::size(kDetailLayers); ++i)
      saved[i] = SetBattleWorldLayer(kDetailLayers[i], nullptr);
  uint64_t draws = 0, frames = 0, detailDraws = 0;
  GetBattleFrameTrace().enabled = true;
  for (auto _ : state) {
    DriveAndFire(details);
    e.BeginScene();
    mode->Draw();
    e.EndScene();
    e.Flip();
    if (g_bench.gl) {
      // Wait for the renderer, so the frame's whole cost is measured.
      std::vector<uint32_t> pixel;
      d->ReadPixels(nullptr, platform::Rect{0, 0, 1, 1}, &pixel);
    }
    draws += d->LastFrameCounters().draws;
    detailDraws += DetailLayerDraws();
    ++frames;
    if (null) null->ClearRecord();
  }
  if (!details)
    for (size_t i = 0; i < std::size(kDetailLayers); ++i) SetBattleWorldLayer(kDetailLayers[i], saved[i]);
  state.counters["draws_per_frame"] = frames ? static_cast<double>(draws) / frames : 0.0;
  state.counters["detail_layer_draws"] = frames ? static_cast<double>(detailDraws) / frames : 0.0;
  state.counters["track_quads"] = GUI_BS_TrackManager::Instance().queuedQuads;
  state.counters["units"] = static_cast<double>(g_scene.units.size());
}
}  // namespace

int main(int argc, char** argv) {
  if (!BenchStartProcess(&argc, argv, g_bench)) return 1;
  if (!BenchOpenDevice(g_bench, kW, kH, "Zentrak bench: world details", "data/scenarios")) return 1;
  InitRandomWithSeed(1);
  if (!StartFrozenRidge()) return 1;
  std::printf("Frozen Ridge at zoom 1, %d x %d, %d tanks, %s device\n", kW, kH, kUnits,
              g_bench.gl ? "OpenGL" : "null");
  // With the world details, then the same frames without their layers.
  benchmark::RegisterBenchmark(g_bench.gl ? "WorldDetails/opengl" : "WorldDetails/null", BM_WorldDetails)
      ->ArgName("details")
      ->Arg(1)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  BenchClose(g_bench);
  return 0;
}
