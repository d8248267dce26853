// A scripted moment of battle on Desert Pass on the OpenGL device under a virtual display:
// a kill's blasts with plumes, glare and debris, a medium hit, a row of small hits (rifle
// dust, shells, sparks, an incendiary), a shock wave and a missile's smoke trail, with a
// fixed seed, fixed 16 ms steps and the frame-rate ratio pinned at 1.0, compared with
// reference pictures early in the blast and once the smoke has spread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battle/MissileLauncher.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/RocketTrails.h"
#include "effects/Smoke.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class BattleMomentGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak effects test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    RegisterTextureFolder("data/bitmaps");
    RegisterTextureFolder("data/scenarios");
    InitGlobalVertexBuffer();
    GetShaderManager().LoadAll();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();
    // The battle's hooks are reset between tests: wire the effects again.
    ConnectBattleEffects();
    ConnectExplosionEffects();
    SetEffectsFrameRatioOverride(1.0f);
  }
  void TearDown() override {
    SetEffectsFrameRatioOverride(-1.0f);
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  void Step() {
    // The frame-rate ratio the fade threshold and the smoke read stays 1.0.
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
                                    zt_test::TestSourceDir() + "/effects/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/effects_" + name + "_actual.png");
    e.Flip();
  }
  zt_test::GLWindow gl_;
};

TEST_F(BattleMomentGLTest, BlastsPlumesGlareSmokeAndARocketTrailOnDesertPass) {
  if (!gl_.IsOpen()) return;
  ASSERT_NE(battlescreen_test::StartShippedBattle("desert_pass"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetInputManager().x = 512;  // away from the scroll edges
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 1.5f;
  map.centreX = map.cameraX = 1000.0f;
  map.centreY = map.cameraY = 1000.0f;
  map.ClampCentre();
  map.cameraX = map.centreX;
  map.cameraY = map.centreY;
  map.UpdateViewRect();
  FadeThreshold& threshold = FadeThreshold::Shared();
  threshold.frames = 0;
  threshold.current = threshold.target = 0.5f;
  Step();  // settles the camera
  EffectsSeedRandom(26);

  const float cx = map.cameraX, cy = map.cameraY;
  // A kill: two blasts, plumes, glare (also into the light map when lit) and debris.
  SpawnExplosion(EXP_LARGE, 0, 0, 0, 0, 0, 0, cx - 120.0f, cy - 40.0f);
  SpawnExplosion(EXP_LARGE2, 0, 0, 0, 0, 0, 0, cx - 110.0f, cy - 30.0f);
  SpawnExplosion(EXP_PLUMES, 12, 16, 0.125f, 0, 0, 0, cx - 120.0f, cy - 40.0f);
  SpawnExplosion(EXP_DEBRIS, 32, 8, 0, 256, 128, 1, cx - 120.0f, cy - 40.0f);
  SpawnExplosion(EXP_BLASTGLARE, 64, 300, 0, 0, 0, 0, cx - 120.0f, cy - 40.0f);
  // A medium hit with its shock wave.
  SpawnExplosion(EXP_MEDIUM, 0, 0, 0, 0, 0, 0, cx + 130.0f, cy - 90.0f);
  GUI_BS_ShockWave::Spawn(80.0f, 500.0f, "shockwave.dds", cx + 130.0f, cy - 90.0f);
  // A row of small hits: rifle dust, another rifle round, a shell, a fiery shell, sparks,
  // an incendiary round.
  const int small[] = {EXP_BULLET_IN_DUST, EXP_BULLET_IN_DUST2, EXP_SMALL,
                       EXP_SMALL_FIERY,    EXP_SMALL_SPARKY,    EXP_INCENDIARY};
  for (int i = 0; i < 6; ++i)
    SpawnExplosion(small[i], 0, 0, 0, 0, 0, 0, cx - 150.0f + 60.0f * float(i), cy + 110.0f);
  // A missile flying right to left above the row: its trail follows it.
  SIM_Missile missile;
  missile.alive = true;
  missile.heading = 270.0f;
  missile.x = cx + 260.0f;
  missile.y = cy + 40.0f;
  GUI_BS_RocketTrail* trail = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
  trail->Start(&missile);

  for (int frame = 1; frame <= 45; ++frame) {
    if (frame <= 30) {
      missile.x -= 12.0f;
      trail->Advance(12.0f);
      // A tank's sandy exhaust drives along under the trail.
      ExhaustRequest("MEDIUM_SAND", cx + 200.0f - 6.0f * float(frame), cy + 170.0f);
    } else {
      missile.alive = false;
    }
    Step();
    if (frame == 12) Compare("moment_blast");
  }
  Compare("moment_smoke");
  trail->missile = nullptr;  // the missile lives on this stack
}

}  // namespace
