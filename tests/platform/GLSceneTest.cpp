// The OpenGL device under a real (virtual) display: a scene drawn through the game's own
// paths is saved as a screenshot, checked pixel by pixel where the answer is exact (pixel
// centres, render-target orientation, opaque X8 targets, blending), and compared with the
// reference picture within a tolerance. ZENTRAK_UPDATE_REFERENCE=1 rewrites the reference.
#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "engine/ShaderEffects.h"
#include "engine/Sprites.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/Image.h"
#include "support/GLTestSupport.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;
using zt_test::RgbAt;

namespace {

constexpr int kW = 640, kH = 480;

class GLSceneTest : public ::testing::Test {
 protected:
  void SetUp() override { gl_.Open("Zentrak graphics test", kW, kH); }
  void TearDown() override {
    if (gl_.IsOpen()) {
      // Everything holding GL objects goes while the context still exists.
      GetTextRenderer().Release();
      GetGlobalVertexBuffer().Release();
      ReleaseAllEffects();
    }
    gl_.Close();
  }

  zt_test::GLWindow gl_;
};

// Test art made here, so the picture does not change when game art does.
void WriteArt(const std::string& folder) {
  std::vector<uint32_t> checker(64 * 64), glow(64 * 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool dark = ((x / 8) + (y / 8)) % 2;
      checker[size_t(y) * 64 + x] = dark ? 0xFF3A5A2Au : 0xFFC8B070u;
      float dx = (x - 31.5f) / 32, dy = (y - 31.5f) / 32;
      float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
      glow[size_t(y) * 64 + x] = uint32_t(a * 255) << 24 | 0xFF9040u;
    }
  }
  ASSERT_TRUE(WriteDdsFile(folder + "/checker.dds", 64, 64, {checker}));
  ASSERT_TRUE(WriteDdsFile(folder + "/glow.dds", 64, 64, {glow}));
}

TEST_F(GLSceneTest, SceneMatchesReference) {
  D3DEngine& e = GetRenderDevice();
  std::string art = zt_test::UserRoot() + "/art";
  std::filesystem::create_directories(art);
  WriteArt(art);
  RegisterTextureFolder(art);
  RegisterTextureFolder("data/bitmaps");
  InitGlobalVertexBuffer();
  LoadStandardFonts();
  GetShaderManager().LoadAll();
  e.CreateRenderTarget("rt_test_a", 256, 256, Format::A8R8G8B8);
  e.CreateRenderTarget("rt_test_x", 64, 64, Format::X8R8G8B8);
  e.CreateRenderTarget("rt_test_copy", 64, 64, Format::A8R8G8B8);

  e.BeginScene();
  // Into a render target: red top half, blue bottom half, a checker in the middle.
  e.RememberRenderTarget();
  ASSERT_TRUE(e.SetRenderTarget("rt_test_a"));
  e.ClearTarget(0x00000000u);
  e.DrawRect(0, 0, 256, 128, 0xFFE03020u);
  e.DrawRect(0, 128, 256, 256, 0xFF2040E0u);
  CTexturedSprite inner("checker.dds");
  inner.width = inner.height = 96;
  inner.SetPosition(128, 128);
  inner.DrawDirect();
  // An X8 target cleared with alpha 0 still samples as opaque.
  ASSERT_TRUE(e.SetRenderTarget("rt_test_x"));
  e.ClearTarget(0x0000C000u);
  e.RestoreRenderTarget();

  e.DrawRect(0, 0, kW, kH, 0xFF101820u);
  e.DrawRect(10, 10, 20, 20, 0xFFFF0000u);  // exactly pixels 10..19

  // Batched sprites, normal blending.
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  CTexturedSprite tile("checker.dds");
  tile.width = tile.height = 120;
  tile.angle = 20;
  tile.SetPosition(110, 120);
  vb.blendMode = 0;
  vb.SetTexture(tile.texture);
  tile.Queue();
  vb.Flush();
  // Additive glows over it.
  CTexturedSprite glow("glow.dds");
  glow.width = glow.height = 110;
  vb.blendMode = 1;
  vb.SetTexture(glow.texture);
  for (int i = 0; i < 3; ++i) {
    glow.SetPosition(70.0f + 40 * i, 120.0f);
    glow.Queue();
  }
  vb.Flush();
  vb.blendMode = 0;
  e.SetNormalBlend();

  // The render targets composited back, unflipped.
  CTexturedSprite rt("rt_test_a");
  rt.width = rt.height = 160;
  rt.SetPosition(320, 120);
  rt.DrawDirect();
  CTexturedSprite rtx("rt_test_x");
  rtx.width = rtx.height = 40;
  rtx.SetPosition(430, 60);
  rtx.DrawDirect();

  // A second texture stage with the second coordinate set.
  GCompositeSprite& comp = GetCompositeSprite();
  comp.width = comp.height = 128;
  comp.SetPosition(520, 130);
  for (int i = 0; i < 4; ++i) {
    comp.v[i].u2 *= 2;
    comp.v[i].v2 *= 2;
  }
  e.SetStage1Texture(FindTexture("checker.dds"));
  FindOrLoadTexture("glow.dds")->Bind();
  comp.Draw();
  e.SetStage1Texture(nullptr);

  // An effect pass.
  GShaderEffect* locked = GetShaderManager().GetShader("data/shaders/achievement_locked.fx");
  ASSERT_NE(locked, nullptr);
  ASSERT_NE(locked->effect, nullptr);
  locked->Begin();
  CTexturedSprite grey("checker.dds");
  grey.width = grey.height = 60;
  grey.SetPosition(600, 40);
  grey.DrawDirect();
  locked->End();

  // A copy of the back buffer's top-left corner (with the red square) drawn back.
  ASSERT_TRUE(e.CopyBackBufferTo("rt_test_copy"));
  Rect corner{0, 0, 64, 64};
  ASSERT_TRUE(e.CopyBackBufferTo("rt_test_copy", &corner, &corner));
  CTexturedSprite copy("rt_test_copy");
  copy.width = copy.height = 64;
  copy.SetPosition(470, 230);  // covers 438..502 by 198..262
  copy.DrawDirect();

  // Primitives.
  e.DrawLine(20, 460, 620, 460, 0xFF80FF80u);
  e.DrawCircle(560, 380, 60, 48);
  e.DrawRectOutline(Rect{460, 300, 500, 340}, 0xFFFFFF00u);

  // Wrapped text in two fonts.
  TextRenderer& t = GetTextRenderer();
  t.SetFont("mbm.dds", 40);
  t.Print(2, "ZENTRAK", 0, 230, 0xFFE2B101u, kW);
  t.SetFont("18.dds", 16);
  t.PrintWrapped(
      "Tanks roll over the ridge at dawn. Deploy your units by spending supplies, then watch the "
      "battle fight itself out. Costs: 100% of \xA3"
      "250, \x80"
      "300.",
      0xFFE2B101u, 20, 300, 400);
  t.SetFont("22.dds", 16);
  t.Print(0, "Armour  Shields  Engines", 20, 420, 0xFFFFFFFFu);
  t.Flush();
  e.EndScene();

  DecodedImage img = zt_test::TakeScreenshot("scene");
  e.Flip();
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);

  // Exact answers first: each names a fault the comparison alone would blur.
  EXPECT_EQ(RgbAt(img, 10, 10), 0xFF0000u) << "top-left pixel of the rectangle";
  EXPECT_EQ(RgbAt(img, 19, 19), 0xFF0000u) << "bottom-right pixel of the rectangle";
  EXPECT_EQ(RgbAt(img, 9, 10), 0x101820u) << "the rectangle bleeds left (pixel centres)";
  EXPECT_EQ(RgbAt(img, 20, 20), 0x101820u) << "the rectangle bleeds down (pixel centres)";
  uint32_t rtTop = RgbAt(img, 320, 50), rtBottom = RgbAt(img, 320, 190);
  EXPECT_GT((rtTop >> 16) & 0xFF, 0xC0u) << "render target drawn upside down";
  EXPECT_GT(rtBottom & 0xFF, 0xC0u) << "render target drawn upside down";
  EXPECT_EQ(RgbAt(img, 430, 60), 0x00C000u) << "an X8 target must sample as opaque";
  EXPECT_EQ(RgbAt(img, 438 + 15, 198 + 15), 0xFF0000u) << "back-buffer copy lost or flipped";
  EXPECT_EQ(RgbAt(img, 438 + 15, 198 + 64 - 15), 0x101820u) << "back-buffer copy flipped";

  zt_test::ExpectMatchesReference(img.levels[0], kW, kH,
                                  zt_test::TestSourceDir() + "/platform/reference/scene.png",
                                  zt_test::BuildDir() + "/graphics_scene_actual.png");
}

}  // namespace

namespace {

TEST_F(GLSceneTest, SamplerAddressModesOnTheDevice) {
  D3DEngine& e = GetRenderDevice();
  std::string art = zt_test::UserRoot() + "/art";
  std::filesystem::create_directories(art);
  WriteArt(art);  // 64x64 checker of 8-pixel cells, light in the top-left cell
  RegisterTextureFolder(art);
  e.CreateRenderTarget("rt_test_modes", 128, 64, Format::A8R8G8B8);
  Texture* target = e.FindNamedTexture("rt_test_modes")->Get();
  const uint32_t light = 0xC8B070u, dark = 0x3A5A2Au;
  struct Case {
    const char* mode;
    uint32_t address;
    uint32_t at67, at124;  // pixels in the second copy of the texture (u from 1 to 2)
  } cases[] = {{"wrap", TADDRESS_WRAP, light, dark},
               {"clamp", TADDRESS_CLAMP, dark, dark},
               {"mirror", TADDRESS_MIRROR, dark, light}};
  for (const Case& c : cases) {
    e.BeginScene();
    ASSERT_TRUE(e.SetRenderTarget("rt_test_modes"));
    e.ClearTarget(0);
    e.SetPointFiltering(true);
    e.SetAddressMode(c.address);
    CTexturedSprite s("checker.dds");
    s.width = 128;
    s.height = 64;
    s.SetPosition(64, 32);
    s.MoveBy(-0.5f, -0.5f);  // texel centres on pixel centres
    s.SetUV(0, 0, 2, 1);
    s.DrawDirect();
    e.SetAddressMode(TADDRESS_CLAMP);
    e.SetPointFiltering(false);
    e.SetBackBufferTarget();
    e.EndScene();
    std::vector<uint32_t> px;
    ASSERT_EQ(e.Device()->ReadPixels(target, Rect{0, 0, 128, 64}, &px), D3D_OK);
    EXPECT_EQ(px[3] & 0xFFFFFF, light) << c.mode;
    EXPECT_EQ(px[3 * 128 + 67] & 0xFFFFFF, c.at67) << c.mode;
    EXPECT_EQ(px[3 * 128 + 124] & 0xFFFFFF, c.at124) << c.mode;
  }
}

}  // namespace

namespace {

TEST_F(GLSceneTest, EveryShippedEffectCompilesOnTheDevice) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator("data/shaders"))
    if (entry.path().extension() == ".fx") files.push_back(entry.path().string());
  ASSERT_GE(files.size(), 8u);
  for (const std::string& path : files) {
    std::unique_ptr<Effect> fx;
    std::string errors;
    EXPECT_EQ(GetRenderDevice().Device()->CreateEffectFromFile(path, &fx, &errors), D3D_OK) << errors;
    int technique = -1;
    if (fx) {
      EXPECT_EQ(fx->FindNextValidTechnique(0, &technique), D3D_OK) << path;
    }
  }
  // A GLSL fault is reported against the effect file's own line.
  std::string bad = zt_test::UserRoot() + "/bad.fx";
  std::ofstream(bad)
      << "@technique t\n@pass p\n@fragment\nvoid main() {\n  fragColour = nonsense;\n}\n@end\n";
  std::unique_ptr<Effect> fx;
  std::string errors;
  EXPECT_NE(GetRenderDevice().Device()->CreateEffectFromFile(bad, &fx, &errors), D3D_OK);
  EXPECT_NE(errors.find(bad), std::string::npos) << errors;
  // Drivers word it "0:5(17)" (Mesa), "0(5)" or "0:5:": any of them names line 5.
  bool line5 = errors.find(":5(") != std::string::npos || errors.find("(5)") != std::string::npos ||
               errors.find(":5:") != std::string::npos;
  EXPECT_TRUE(line5) << errors;
}

}  // namespace

namespace {

TEST_F(GLSceneTest, FullScreenModeOtherThanTheWindowIsScaledOnPresent) {
  D3DEngine& e = GetRenderDevice();
  e.ReleaseD3D();
  ASSERT_TRUE(e.InitD3D(320, 240, false));
  EXPECT_EQ(e.ScreenWidth(), 320);  // the game keeps its chosen size
  EXPECT_EQ(e.ScreenHeight(), 240);
  e.BeginScene();
  e.DrawRect(10, 10, 20, 20, 0xFFFF0000u);
  e.EndScene();
  std::vector<uint32_t> px;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, Rect{0, 0, 320, 240}, &px), D3D_OK);
  EXPECT_EQ(px[10 * 320 + 10] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(px[9 * 320 + 10] & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(px[20 * 320 + 20] & 0xFFFFFF, 0x000000u);
  e.Flip();  // scaled onto the 640x480 window
  EXPECT_EQ(e.TestCooperativeLevel(), D3D_OK);
}

}  // namespace
