// A scripted moment of battle effects on the OpenGL device under a (virtual) display:
// fires, bursts, muzzle flashes and exhaust on Desert Pass, then Night Citadel lit by
// them and seen in night vision, against reference pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Game.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/BattleSprites.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/Smoke.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class EffectsGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak effects test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    // The frame's off-screen targets and passes, as the game makes them at start-up.
    GetGame().RenderTargetWidth = Game::RenderTargetSize(1024);
    GetGame().RenderTargetHeight = Game::RenderTargetSize(768);
    GetGame().CreateRenderTargets();
    GetShaderManager().LoadAll();
    InitRandomWithSeed(7);
    // The battle's hooks are reset between tests: wire the effects again.
    ConnectBattleEffects();
    // The fade threshold and the smoke hand-over read the frame-rate ratio: pinned.
    SetEffectsFrameRatioOverride(1.0f);
    SIM_Options::Get().SetFloat("DRIFTINGSMOKE", 1.0f);
    SIM_Options::Get().SetFloat("MOTIONBLUR", 0.0f);
  }
  void TearDown() override {
    SetEffectsFrameRatioOverride(-1.0f);
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  void Start(const char* scenario, float x, float y, const char* exhaust) {
    exhaustKind = exhaust;
    ASSERT_NE(battlescreen_test::StartShippedBattle(scenario), nullptr);
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetInputManager().x = 512;
    GetInputManager().y = 384;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.centreX = x;
    map.centreY = y;
    map.zoom = map.targetZoom = 2.0f;
    cx = x;
    cy = y;
  }
  // Burning ground, a burning hulk, bursts, a tank column's dust and gunfire.
  void Stage() {
    GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
    fx.Add(new GUI_BS_GroundEmitter(14.0f, -1.0f, "burning_ground", cx - 120, cy + 40));
    fx.Add(new GUI_BS_GroundEmitter(10.0f, -1.0f, "hulk_emitter", cx + 110, cy - 60));
    for (int i = 0; i < 3; ++i) {
      const float x = cx - 40.0f + 70.0f * i, y = cy + 90.0f - 40.0f * i;
      GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("scripted_burst", x, y, 0, 0);
      for (const char* c : {"fire_burst", "spark_burst", "smoke_puff", "debris_chunks"})
        g->AddEmitter(NewParticleEmmiter(c, x, y, 0, 0));
      fx.Add(g);
    }
  }
  void Frames(int n) {
    D3DEngine& e = GetRenderDevice();
    for (int i = 0; i < n; ++i) {
      if (i % 6 == 3) {
        WeaponFlashAt(cx - 200, cy - 30, 90.0f);
        WeaponFlashAt(cx + 200, cy + 10, 270.0f);
      }
      ExhaustRequest(exhaustKind, cx - 200 + 3.0f * static_cast<float>(frame % 60), cy - 120);
      ++frame;
      e.BeginScene();
      GetGame().CurrentMode->Draw();
      e.EndScene();
      if (i + 1 < n) e.Flip();
    }
  }
  void WeaponFlashAt(float x, float y, float heading) {
    if (auto& f = GetBattleHooks().weaponFlash) f(x, y, heading);
  }
  void Expect(const std::string& name) {
    std::vector<uint32_t> pixels;
    D3DEngine& e = GetRenderDevice();
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                    zt_test::TestSourceDir() + "/effects/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/effects_" + name + "_actual.png");
    e.Flip();
  }
  zt_test::GLWindow gl_;
  float cx = 0, cy = 0;
  const char* exhaustKind = "MEDIUM_DUST";
  int frame = 0;
};

TEST_F(EffectsGLTest, DesertPassFiresBurstsAndDust) {
  if (!gl_.IsOpen()) return;
  Start("desert_pass", 1000.0f, 900.0f, "MEDIUM_SAND");
  Stage();
  Frames(60);
  Expect("desert_effects");
}

TEST_F(EffectsGLTest, NightCitadelLitByFireAndInNightVision) {
  if (!gl_.IsOpen()) return;
  Start("night_citadel", 1000.0f, 900.0f, "MEDIUM_DUST");
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1) << "the night citadel is lit";
  Stage();
  Frames(60);
  Expect("night_lit");
  NightVisionToggle();
  Frames(10);  // 160 ms: the 100 ms flicker has settled
  ASSERT_TRUE(GUI_BS_LightmapManager::Instance().nightVisionOverride);
  Expect("night_vision");
}

}  // namespace
