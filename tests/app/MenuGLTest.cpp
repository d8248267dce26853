// The menu screens on the OpenGL device under a real (virtual) display: the copy of the
// old screen must come back the right way up, one texel per pixel, the iris mask must
// cut its circle where the new screen shows through, and the main menu must show its
// picture, logo and version text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "platform/Image.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

using zt_test::RgbAt;

constexpr int kW = 640, kH = 480;  // half-diagonal 400
constexpr uint32_t kOldTop = 0xC02020u, kOldBottom = 0x2040C0u, kNew = 0x20B040u;

std::int64_t g_nowNs = 0;
std::int64_t Now() { return g_nowNs; }

class TransitionGLTest : public ::testing::Test {
 protected:
  virtual int ScreenW() const { return kW; }
  virtual int ScreenH() const { return kH; }

  void SetUp() override {
    if (!gl_.Open("Zentrak menu test", ScreenW(), ScreenH())) return;
    D3DEngine& e = GetRenderDevice();
    e.SetScreenSize(ScreenW(), ScreenH());
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    // As the game makes it: the screen size rounded up per axis.
    e.CreateRenderTarget("rt_transition", 1024, 512, platform::Format::X8R8G8B8);
    g_nowNs = 1'000'000'000;
    SetClockSource(Now);
  }
  void TearDown() override {
    SetClockSource(nullptr);
    if (gl_.IsOpen()) {
      // Everything holding GL objects goes while the context still exists.
      GetTextRenderer().Release();
      GetGlobalVertexBuffer().Release();
    }
    gl_.Close();
  }

  // One switch: the old screen (red over blue) is copied, then the new one (green) is
  // drawn with the wipe over it at progress t; returns the presented picture.
  platform::DecodedImage SwitchAndShow(float t, const char* name) {
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    e.DrawRect(0, 0, kW, kH / 2, 0xFF000000u | kOldTop);
    e.DrawRect(0, kH / 2, kW, kH, 0xFF000000u | kOldBottom);
    GUI_Transition& tr = GetTransition();
    tr.Start();
    tr.Draw();  // starts the timer
    g_nowNs += static_cast<std::int64_t>(t * GUI_Transition::kDurationMs * 1e6);
    e.DrawRect(0, 0, kW, kH, 0xFF000000u | kNew);
    tr.Draw();
    e.EndScene();
    platform::DecodedImage img = zt_test::TakeScreenshot(name);
    e.Flip();
    // Let this wipe end so the next switch alternates.
    g_nowNs += 2'000'000'000;
    tr.Draw();
    return img;
  }
  static void KeepOnFailure(const platform::DecodedImage& img, const char* name) {
    zt_test::KeepPictureOnFailure(img.levels[0], img.width, img.height,
                                  zt_test::BuildDir() + "/menu_" + name + "_actual.png");
  }

  zt_test::GLWindow gl_;
};

TEST_F(TransitionGLTest, SideWipeThenIrisShowTheOldScreenTheRightWayUp) {
  // Side wipe at a quarter: the old screen up to x = 320, the new one right of it.
  platform::DecodedImage side = SwitchAndShow(0.25f, "side");
  ASSERT_EQ(side.width, kW);
  EXPECT_EQ(RgbAt(side, 20, 20), kOldTop) << "old screen lost or upside down";
  EXPECT_EQ(RgbAt(side, 20, kH - 20), kOldBottom) << "old screen upside down";
  EXPECT_EQ(RgbAt(side, 200, 100), kOldTop) << "copy not one texel per pixel";
  EXPECT_EQ(RgbAt(side, 330, 100), kNew) << "old screen right of the border";
  EXPECT_EQ(RgbAt(side, kW - 5, kH - 5), kNew);
  const uint32_t edge = RgbAt(side, 300, 100);  // inside the soft band: a blend
  EXPECT_NE(edge, kOldTop);
  EXPECT_NE(edge, kNew);
  KeepOnFailure(side, "side");

  // Iris at half: a clear circle of radius 200 around the middle of the screen.
  platform::DecodedImage iris = SwitchAndShow(0.5f, "iris");
  ASSERT_EQ(iris.width, kW);
  EXPECT_EQ(RgbAt(iris, 320, 240), kNew) << "the iris is not open in the middle";
  EXPECT_EQ(RgbAt(iris, 320 + 150, 240), kNew);
  EXPECT_EQ(RgbAt(iris, 320, 240 - 150), kNew);
  EXPECT_EQ(RgbAt(iris, 10, 10), kOldTop) << "a band lost the old screen";
  EXPECT_EQ(RgbAt(iris, 10, kH - 10), kOldBottom) << "a band is upside down";
  // Inside the square but outside the circle the mask keeps the old screen.
  EXPECT_EQ(RgbAt(iris, 320 + 180, 240 - 180), kOldTop) << "the mask does not cover the square's corner";
  EXPECT_EQ(RgbAt(iris, 320 - 180, 240 + 180), kOldBottom) << "the masked copy is upside down";
  KeepOnFailure(iris, "iris");
}

class MainMenuGLTest : public TransitionGLTest {
 protected:
  int ScreenW() const override { return 1024; }
  int ScreenH() const override { return 768; }
};

TEST_F(MainMenuGLTest, ThePlayerSeesTheDuskPictureTheLogoAndTheVersion) {
  D3DEngine& e = GetRenderDevice();
  LoadStandardFonts();
  InitRandomWithSeed(99);
  GetGame().SetGameMode(0);
  GUI_GameModeBase* menu = GetGame().CurrentMode;
  ASSERT_NE(menu, nullptr);
  g_nowNs += 1'500'000'000;  // past the fade from black
  for (int frame = 0; frame < 2; ++frame) {
    e.BeginScene();
    menu->Draw();
    e.EndScene();
  }
  platform::DecodedImage img = zt_test::TakeScreenshot("menu");
  ASSERT_EQ(img.width, 1024);

  auto channel = [](uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  // The logo's wordmark crosses the middle of the screen about a fifth of the way down.
  int gold = 0;
  for (int y = 150; y < 200; ++y) {
    const uint32_t c = RgbAt(img, 512, y);
    if (channel(c, 16) > 120 && channel(c, 16) > channel(c, 0) + 60) ++gold;
  }
  EXPECT_GT(gold, 10) << "no logo in the middle of the screen";
  // The night sky at the top is dark (drifting clouds aside); the horizon glows warm.
  int dark = 0;
  for (int x = 0; x < 1024; x += 8) {
    const uint32_t c = RgbAt(img, x, 30);
    if (channel(c, 16) + channel(c, 8) + channel(c, 0) < 240) ++dark;
  }
  EXPECT_GT(dark, 100) << "the sky is not dark";
  int warm = 0;
  for (int x = 0; x < 1024; x += 8) {
    const uint32_t c = RgbAt(img, x, 350);
    if (channel(c, 16) > channel(c, 0)) ++warm;
  }
  EXPECT_GT(warm, 32) << "no sunset behind the battlefield";
  // White version text in the top right corner.
  int white = 0;
  for (int y = 3; y < 24; ++y)
    for (int x = 1024 - 130; x < 1024 - 10; ++x) {
      const uint32_t c = RgbAt(img, x, y);
      if (channel(c, 16) > 200 && channel(c, 8) > 200 && channel(c, 0) > 200) ++white;
    }
  EXPECT_GT(white, 20) << "no version text";
  KeepOnFailure(img, "menu");
}

// The whole menu as the player sees it (picture, clouds, logo, buttons and text) against
// a reference taken with the art uncompressed: compressed art must look the same.
TEST_F(MainMenuGLTest, TheMenuMatchesItsReferencePicture) {
  D3DEngine& e = GetRenderDevice();
  LoadStandardFonts();
  InitRandomWithSeed(99);
  GetGame().SetGameMode(0);
  GUI_GameModeBase* menu = GetGame().CurrentMode;
  ASSERT_NE(menu, nullptr);
  g_nowNs += 1'500'000'000;  // past the fade from black
  for (int frame = 0; frame < 2; ++frame) {
    e.BeginScene();
    menu->Draw();
    e.EndScene();
  }
  std::vector<uint32_t> actual;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &actual), platform::D3D_OK);
  zt_test::ExpectMatchesReference(actual, 1024, 768,
                                  zt_test::TestSourceDir() + "/app/reference/main_menu.png",
                                  zt_test::BuildDir() + "/menu_main_menu_actual.png");
}

// The clouds and the logo are drawn only where their art shows; what the player sees of
// them is exactly what their whole pictures show.
TEST_F(MainMenuGLTest, TheCloudsAndLogoLookAsTheirWholePicturesDo) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  InitRandomWithSeed(99);
  GUI_TitleBackdrop& backdrop = GetTitleBackdrop();
  const platform::Rect screen{0, 0, 1024, 768};
  e.BeginScene();
  backdrop.Draw(true);
  e.EndScene();
  std::vector<uint32_t> drawn, whole;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, screen, &drawn), platform::D3D_OK);
  ASSERT_GT(backdrop.LastDrawPixels().clouds, 0u);

  // The same picture, clouds where they stand and logo, each drawn as its whole quad.
  e.BeginScene();
  CTexturedSprite picture = backdrop.Picture();
  picture.DrawDirect();
  int clouds = 0;
  for (int i = 0; i < GUI_TitleBackdrop::kCloudCount; ++i) {
    CTexturedSprite cloud = backdrop.CloudAt(i).sprite;
    if (!cloud.IsOnScreen()) continue;
    cloud.DrawDirect();
    ++clouds;
  }
  CTexturedSprite logo = backdrop.Logo();
  logo.DrawDirect();
  e.EndScene();
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, screen, &whole), platform::D3D_OK);
  ASSERT_GE(clouds, 3);

  int worst = 0, differing = 0;
  for (size_t i = 0; i < drawn.size(); ++i) {
    int d = 0;
    for (int shift : {0, 8, 16})
      d = std::max(d, std::abs(int((drawn[i] >> shift) & 0xFF) - int((whole[i] >> shift) & 0xFF)));
    worst = std::max(worst, d);
    if (d > 0) ++differing;
  }
  // Rounding where two triangles meet differs in the last bit, no more.
  EXPECT_LE(worst, 1) << "a cloud or the logo is cut where its art shows (" << differing << " pixels differ)";
  zt_test::KeepPictureOnFailure(drawn, 1024, 768, zt_test::BuildDir() + "/menu_outlined_actual.png");
  zt_test::KeepPictureOnFailure(whole, 1024, 768, zt_test::BuildDir() + "/menu_whole_expected.png");
}

}  // namespace
