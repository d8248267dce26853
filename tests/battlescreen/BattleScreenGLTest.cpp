// A shipped battle on the OpenGL device under a (virtual) display, at the nearest and the
// farthest zoom, against reference pictures. Then the world's details in whole battle
// frames on the test's own clock: Frozen Ridge close up (snow, tracks, craters, a kill
// breaking up into a wreck, a shield flaring) and Night Citadel at night (the attackers'
// searchlights, the towers' laser fans, glowing bullets).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/Gameplay.h"
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/Craters.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/Shields.h"
#include "battlescreen/Snowfall.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class BattleScreenGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak battle test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    InitRandomWithSeed(7);
  }
  void TearDown() override {
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  // Two frames at the zoom (the second draws what the first settled), read back.
  void ShowAt(float zoom, const std::string& name) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.targetZoom = zoom;
    D3DEngine& e = GetRenderDevice();
    for (int i = 0; i < 2; ++i) {
      e.BeginScene();
      GetGame().CurrentMode->Draw();
      e.EndScene();
    }
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                    zt_test::TestSourceDir() + "/battlescreen/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/battle_" + name + "_actual.png");
    e.Flip();
  }
  zt_test::GLWindow gl_;
};

TEST_F(BattleScreenGLTest, TheRiverFordsAtNearestAndFarthestZoom) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(battlescreen_test::StartShippedBattle("river_fords"), nullptr);
  // The world alone: the HUD's windows (tested with the HUD) close.
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  ASSERT_NE(dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode), nullptr);
  GetInputManager().x = 512;  // zoom about the screen's centre, away from the scroll edges
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1000.0f;
  map.centreY = 800.0f;
  ShowAt(map.minZoom, "far");
  map.centreX = 1150.0f;  // trees on the grass between two mud fords
  map.centreY = 600.0f;
  map.zoom = map.maxZoom;
  ShowAt(map.maxZoom, "near");
}

// The battle frame skips the screen's clear only where the ground hides every pixel of
// it: drawn over a screen left magenta, a frame the game chose not to clear shows no
// magenta, and where the view is wider than the map (the farthest zoom of a tall map)
// the game clears.
TEST_F(BattleScreenGLTest, TheFrameSkipsItsClearOnlyWhereTheGroundCoversTheScreen) {
  ZT_REQUIRE_GL(gl_);
  GetRenderDevice().SetFramePacing(false);
  struct Case {
    const char* scenario;
    bool farthest;  // else the nearest zoom
    float x, y;     // the camera's wish, clamped by the map
    bool skipsClear;
  };
  const Case cases[] = {
      {"river_fords", false, 0.0f, -5000.0f, true},      // top-left: the border rows above
      {"river_fords", false, 1.0e5f, 1.0e5f, true},      // bottom-right: the border below
      {"timber_valley", false, 1400.0f, 1600.0f, true},  // mid-map
      {"timber_valley", true, 1400.0f, 1600.0f, false},  // taller than wide: sides show
  };
  constexpr uint32_t kMagenta = 0xFFFF00FFu;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scenario) + (c.farthest ? " farthest" : " nearest"));
    ASSERT_NE(battlescreen_test::StartShippedBattle(c.scenario), nullptr);
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetInputManager().x = 512;
    GetInputManager().y = 384;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = c.farthest ? map.minZoom : map.maxZoom;
    map.centreX = c.x;
    map.centreY = c.y;
    // The game's own frame decides whether the next one clears.
    GetGame().DrawFrame();
    EXPECT_EQ(!GetRenderDevice().ClearEachFrame(), c.skipsClear);
    D3DEngine& e = GetRenderDevice();
    e.ClearTarget(kMagenta);
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    e.Flip();
    size_t left = 0;
    for (uint32_t p : pixels) left += (p | 0xFF000000u) == kMagenta;
    EXPECT_EQ(left, 0u) << "pixels the frame left as the screen held them";
  }
  GetRenderDevice().SetClearEachFrame(true);
}

// At night the world is drawn off screen and composited with its light: the scene target
// is cleared first only where the ground does not hide all of it. The target is left
// magenta before the frame; the scene drawn keeps none of it either way, and only
// the frame whose view is wider than the map (the farthest zoom of a tall map) pays a
// screen of cleared pixels.
TEST_F(BattleScreenGLTest, TheNightSceneIsClearedOnlyWhereTheGroundLeavesItsPixelsShowing) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  e.SetFramePacing(false);
  RegisterTextureFolder("data/scenarios");
  GetShaderManager().LoadAll();
  GetGame().CreateScreenTargets(1024, 768);
  ASSERT_TRUE(e.HasTexture("rt_offscreen1"));
  struct Case {
    const char* scenario;
    bool farthest;  // else the nearest zoom
    bool skipsClear;
  };
  const Case cases[] = {
      {"night_citadel", false, true},
      {"frostfall_pass", false, true},
      {"frostfall_pass", true, false},  // taller than wide: the sides show
  };
  constexpr uint32_t kMagenta = 0xFFFF00FFu;
  constexpr uint64_t kScreen = 1024u * 768u;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scenario) + (c.farthest ? " farthest" : " nearest"));
    ASSERT_NE(battlescreen_test::StartShippedBattle(c.scenario), nullptr);
    ASSERT_NE(GUI_BS_LightmapManager::Instance().mode, 0) << "fought at night";
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetInputManager().x = 512;
    GetInputManager().y = 384;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = c.farthest ? map.minZoom : map.maxZoom;
    map.centreX = map.mapWidth / 2;
    map.centreY = map.mapHeight / 2;
    GetGame().DrawFrame();
    ASSERT_EQ(GUI_BS_Map::Instance().GroundCoversScreen(), c.skipsClear);
    e.RememberRenderTarget();
    ASSERT_TRUE(e.SetRenderTarget("rt_offscreen1"));
    e.ClearTarget(kMagenta);
    e.RestoreRenderTarget();
    const platform::FrameCounters before = e.Device()->Counters();
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    const uint64_t cleared = e.Device()->Counters().clearedPixels - before.clearedPixels;
    if (c.skipsClear)
      EXPECT_LT(cleared, kScreen) << "the scene target was cleared under a ground that covers it";
    else
      EXPECT_GE(cleared, kScreen) << "the scene target's uncovered sides were not cleared";
    // The scene as drawn, before its light was laid over it.
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(e.FindNamedTexture("rt_offscreen1")->Get(),
                                     platform::Rect{0, 0, 1024, 768}, &pixels),
              platform::D3D_OK);
    e.Flip();
    size_t left = 0;
    for (uint32_t p : pixels) left += (p | 0xFF000000u) == kMagenta;
    EXPECT_EQ(left, 0u) << "pixels of the scene target the frame never drew";
  }
  e.SetClearEachFrame(true);
}

// ---- World details in whole frames ----

std::int64_t g_nowNs = 0;
std::int64_t Now() { return g_nowNs; }

class WorldDetailsGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak world details test", 1024, 768)) return;
    g_nowNs = 10'000'000'000;
    SetClockSource(Now);
    GetRenderDevice().SetScreenSize(1024, 768);
    GetRenderDevice().SetFramePacing(false);
    RegisterTextureFolder("data/bitmaps");
    RegisterTextureFolder("data/scenarios");
    InitGlobalVertexBuffer();
    GetShaderManager().LoadAll();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();
    SetEffectsFrameRatioOverride(1.0f);
    for (const char* o : {"SHADOWS", "TRACKS", "CAMERASHAKE", "DISTORTION"})
      SIM_Options::Get().SetFloat(o, 1.0f);
  }
  void TearDown() override {
    SetEffectsFrameRatioOverride(-1.0f);
    SetClockSource(nullptr);
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  // The battle on `scenario` at `zoom` around (x, y), the HUD closed and the battle on.
  bool StartAt(const char* scenario, float x, float y, float zoom) {
    InitRandomWithSeed(27);
    WorldDetailSeed(27);
    if (!battlescreen_test::StartShippedBattle(scenario)) return false;
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetBattle().Begin();
    GetInputManager().x = 512;  // away from the scroll edges and the wrecks' tooltips
    GetInputManager().y = 20;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = zoom;
    map.centreX = map.cameraX = x;
    map.centreY = map.cameraY = y;
    map.ClampCentre();
    map.cameraX = map.centreX;
    map.cameraY = map.centreY;
    map.UpdateViewRect();
    FadeThreshold& threshold = FadeThreshold::Shared();
    threshold.frames = 0;
    threshold.current = threshold.target = 0.5f;
    Snowfall::Get().Setup(1024, 768);
    Frame();
    cx = map.cameraX;
    cy = map.cameraY;
    return true;
  }
  void Frame() {
    g_nowNs += 16'000'000;
    GetStepRateMeter().rate = 1.0f;
    GetBattle().frameStep = 16.0f;
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
  }
  void Compare(const std::string& name) {
    D3DEngine& e = GetRenderDevice();
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                    zt_test::TestSourceDir() + "/battlescreen/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/battle_" + name + "_actual.png");
    e.Flip();
  }
  static SIM_BattleUnit* Place(SIM_UnitDesign* design, SIM_BattleArmy* army, float x, float y,
                               float heading) {
    return battlescreen_test::PlaceUnit(design, army, x, y, heading);
  }
  float cx = 0.0f, cy = 0.0f;
  zt_test::GLWindow gl_;
};

TEST_F(WorldDetailsGLTest, FrozenRidgeCloseUpSnowTracksCratersAWreckAndAShield) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_TRUE(StartAt("frozen_ridge", 1300.0f, 1100.0f, 2.0f));
  SIM_Battle& battle = GetBattle();
  using battlescreen_test::EnemyDesign;
  using battlescreen_test::PlayerDesign;
  SIM_BattleUnit* driver =
      Place(PlayerDesign("Bulwark Battle Tank"), battle.playerArmy, cx - 200.0f, cy + 90.0f, 90.0f);
  SIM_BattleUnit* victim =
      Place(PlayerDesign("Jackal Scout"), battle.playerArmy, cx - 40.0f, cy - 60.0f, 200.0f);
  SIM_BattleUnit* shielded =
      Place(EnemyDesign("warden_aegis.txt"), battle.opponentArmy, cx + 160.0f, cy - 30.0f, 270.0f);
  ASSERT_TRUE(driver && victim && shielded);
  if (shielded->moduleManager) shielded->moduleManager->shieldFraction = 1.0f;
  auto* shieldVisual = dynamic_cast<GUI_BS_MajorUnit*>(shielded->visual.get());
  ASSERT_TRUE(shieldVisual && shieldVisual->shield);
  GUI_BS_Crater::CreateGroundBlast(true, 90.0f, cx + 20.0f, cy + 120.0f);
  GUI_BS_Crater::CreateGroundBlast(true, 40.0f, cx - 160.0f, cy - 110.0f);
  for (int frame = 1; frame <= 40; ++frame) {
    driver->x += 4.0f;  // east, laying its tracks
    if (driver->visual) driver->visual->LayTracks();
    if (frame % 8 == 1) shieldVisual->shield->OnImpact(1.0f, shielded->x - 60.0f, shielded->y - 10.0f);
    if (frame == 20) {
      // The kill: blasts, shock waves, a crater, a shake; then its wreck and flying pieces.
      auto* dying = dynamic_cast<GUI_BS_MajorUnit*>(victim->visual.get());
      ASSERT_NE(dying, nullptr);
      dying->OnDestroyed();
      dying->PlaceWreck();
      victim->state = US_DESTROYED;
      EXPECT_TRUE(CameraShake::Instance().active) << "a kill in view shakes the camera";
      EXPECT_FALSE(GUI_BS_Hulk::List().empty());
      EXPECT_FALSE(GUI_BS_BreakupCollection::Running().empty());
    }
    Frame();
  }
  Compare("world_frozen_ridge");
}

TEST_F(WorldDetailsGLTest, NightCitadelSearchlightsFindTheAttackersAndTowersSweepLasers) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_TRUE(StartAt("night_citadel", 1000.0f, 1000.0f, 1.0f));
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1) << "the citadel is fought at night";
  SIM_Battle& battle = GetBattle();
  using battlescreen_test::PlayerDesign;
  SIM_UnitDesign* tower = SIM_UnitDesignManager::Get().AddAIDesignFromFile(
      "data/scenarios/05_night_citadel/ai_designs/lance_tower.txt");
  std::vector<SIM_BattleUnit*> attackers = {
      Place(PlayerDesign("Bulwark Battle Tank"), battle.playerArmy, cx - 250.0f, cy + 200.0f, 20.0f),
      Place(PlayerDesign("Jackal Hunter"), battle.playerArmy, cx + 80.0f, cy + 230.0f, 340.0f),
      Place(PlayerDesign("Jackal Scout"), battle.playerArmy, cx + 300.0f, cy + 150.0f, 300.0f)};
  SIM_BattleUnit* lasers[] = {Place(tower, battle.opponentArmy, cx - 150.0f, cy - 200.0f, 180.0f),
                              Place(tower, battle.opponentArmy, cx + 250.0f, cy - 180.0f, 180.0f)};
  for (SIM_BattleUnit* u : attackers) ASSERT_NE(u, nullptr);
  for (SIM_BattleUnit* u : lasers) ASSERT_NE(u, nullptr);
  for (int frame = 1; frame <= 30; ++frame) {
    // The attackers' guns keep rounds in the air towards the towers.
    for (SIM_BattleUnit* u : attackers) {
      if (!u->moduleManager) continue;
      for (SIM_Module* m : u->moduleManager->weapons)
        if (auto* gun = dynamic_cast<SIM_KineticWeaponComponent*>(m)) {
          gun->invisibleBullets = false;
          for (int b = 0; b < 3; ++b) {
            SIM_Bullet& bullet = gun->bullets[static_cast<size_t>(b)];
            const float t = float((frame * 15 + b * 70) % 210) + 60.0f;
            bullet.alive = true;
            bullet.invisible = false;
            bullet.launchDelay = 0.0f;
            bullet.heading = u->heading;
            bullet.x = u->x + std::sin(u->heading * 3.14159265f / 180.0f) * t;
            bullet.y = u->y - std::cos(u->heading * 3.14159265f / 180.0f) * t;
          }
        }
    }
    Frame();
  }
  Compare("world_night_citadel");
}

}  // namespace
