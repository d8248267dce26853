// The selection overlay on the OpenGL device under a virtual display: the player's
// selected tanks glow amber through rt_selection, the others do not.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/SelectionOverlay.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class SelectionOverlayGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak selection test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    InitRandomWithSeed(7);
    GetShaderManager().LoadAll();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();
  }
  void TearDown() override {
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  zt_test::GLWindow gl_;
};

TEST_F(SelectionOverlayGLTest, SelectedTanksGlowAmber) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(battlescreen_test::StartShippedBattle("river_fords"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  battlescreen_test::UnitScene scene = battlescreen_test::PlaceBothSides(1150.0f, 600.0f);
  ASSERT_FALSE(scene.player.empty());
  for (SIM_BattleUnit* u : scene.player) {
    ASSERT_NE(u, nullptr);
    u->selected = true;
    if (auto* v = dynamic_cast<GUI_BS_Unit*>(u->visual.get())) v->selected = true;
  }
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(2.0f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  for (int i = 0; i < 2; ++i) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    map.UpdateAndDraw();
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    SelectionOverlayQueueSelected();
    SelectionOverlayRender();
    SelectionOverlayDraw();
    e.EndScene();
  }
  EXPECT_TRUE(GUI_BS_SelectionOverlay::Instance().drawn);
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                  zt_test::TestSourceDir() + "/effects/reference/selection.png",
                                  zt_test::BuildDir() + "/effects_selection_actual.png");
  e.Flip();
}

}  // namespace
