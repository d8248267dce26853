// A shipped battle on the OpenGL device under a (virtual) display, at the nearest and the
// farthest zoom, against reference pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
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
  if (!gl_.IsOpen()) return;
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

}  // namespace
