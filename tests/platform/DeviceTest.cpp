// The engine's device wrapper on the null device: creation and its fallback, the fixed
// states, binding, blending, render targets, device loss and reset, scenes, error names.
#include <SDL.h>

#include <ctime>
#include <filesystem>

#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

struct CreationCase {
  const char* name;
  bool hardwareTnL;
  int failures;
  bool succeeds;
  std::vector<VertexProcessing> attempts;
};

class DeviceCreationTest : public ::testing::TestWithParam<CreationCase> {};

TEST_P(DeviceCreationTest, VertexProcessingAndFallback) {
  const CreationCase& c = GetParam();
  auto d3d = std::make_unique<NullDirect3D>();
  NullDirect3D* raw = d3d.get();
  raw->caps.hardwareTnL = c.hardwareTnL;
  raw->failCreateAttempts = c.failures;
  GetRenderDevice().SetDirect3D(std::move(d3d));
  EXPECT_EQ(GetRenderDevice().InitD3D(800, 600, true), c.succeeds);
  EXPECT_EQ(raw->createAttempts, c.attempts);
  if (!c.succeeds) {
    EXPECT_NE(ErrorLog().find("CreateDevice failed again"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Creation, DeviceCreationTest,
    ::testing::Values(
        CreationCase{"HardwareFirst", true, 0, true, {VertexProcessing::Hardware}},
        CreationCase{"SoftwareWithoutTnL", false, 0, true, {VertexProcessing::Software}},
        CreationCase{
            "RetryInSoftware", true, 1, true, {VertexProcessing::Hardware, VertexProcessing::Software}},
        CreationCase{"SecondFailureGivesUp",
                     true,
                     2,
                     false,
                     {VertexProcessing::Hardware, VertexProcessing::Software}}),
    [](const auto& info) { return std::string(info.param.name); });

class DeviceTest : public NullEngineTest {};

TEST_F(DeviceTest, DefaultStatesInDocumentedOrder) {
  dev().ClearRecord();
  engine().ApplyDefaultStates();
  std::vector<std::string> want = {"SetRenderState AlphaFunc 5",
                                   "SetTexture 0 (nil)",
                                   "SetRenderState Lighting 0",
                                   "SetSamplerState 0 MinFilter 2",
                                   "SetSamplerState 0 MagFilter 2",
                                   "SetSamplerState 1 MinFilter 2",
                                   "SetSamplerState 1 MagFilter 2",
                                   "SetSamplerState 0 AddressU 3",
                                   "SetSamplerState 0 AddressV 3",
                                   "SetSamplerState 0 MipFilter 2",
                                   "SetSamplerState 1 MipFilter 2",
                                   "SetRenderState AlphaBlendEnable 1",
                                   "SetRenderState AlphaTestEnable 1",
                                   "SetRenderState SrcBlend 5",
                                   "SetRenderState DestBlend 6",
                                   "SetTextureStageState 0 AlphaOp 4",
                                   "SetTextureStageState 0 AlphaArg1 2",
                                   "SetTextureStageState 0 AlphaArg2 0",
                                   "SetFVF 0x144"};
  EXPECT_EQ(dev().calls, want);
  // Alpha reference stays at 0, so only fully transparent texels are dropped.
  EXPECT_EQ(dev().GetRenderState(RenderState::AlphaRef), 0u);
}

TEST_F(DeviceTest, RedundantBindsReachTheDeviceOnce) {
  std::unique_ptr<Texture> a, b;
  ASSERT_EQ(dev().CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &a), D3D_OK);
  ASSERT_EQ(dev().CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &b), D3D_OK);
  dev().ClearRecord();
  engine().SetTexture(a.get());
  engine().SetTexture(a.get());
  engine().SetTexture(b.get());
  engine().SetTexture(nullptr);
  engine().SetTexture(nullptr);
  EXPECT_EQ(dev().CountCalls("SetTexture"), 3);
  dev().SetTexture(0, a.get());  // bound behind the engine's back
  engine().SetTexture(nullptr);
  EXPECT_EQ(dev().GetTexture(0), nullptr);
  engine().ForgetTexture(a.get());
  engine().ForgetTexture(b.get());
}

TEST_F(DeviceTest, BlendSwitchesOnlyOnChange) {
  dev().ClearRecord();
  engine().SetNormalBlend();  // already normal
  EXPECT_EQ(dev().CountCalls("SetRenderState"), 0);
  engine().SetAdditiveBlend();
  engine().SetAdditiveBlend();
  EXPECT_EQ(dev().GetRenderState(RenderState::DestBlend), uint32_t(BLEND_ONE));
  EXPECT_EQ(dev().CountCalls("SetRenderState"), 2);
  engine().SetMultiplyBlend();
  EXPECT_EQ(dev().GetRenderState(RenderState::SrcBlend), uint32_t(BLEND_ZERO));
  EXPECT_EQ(dev().GetRenderState(RenderState::DestBlend), uint32_t(BLEND_SRCCOLOR));
  engine().SetNormalBlend();
  EXPECT_EQ(dev().GetRenderState(RenderState::SrcBlend), uint32_t(BLEND_SRCALPHA));
  EXPECT_EQ(dev().GetRenderState(RenderState::DestBlend), uint32_t(BLEND_INVSRCALPHA));
  // A caller that set the device directly does not fool the cache.
  dev().SetRenderState(RenderState::DestBlend, BLEND_ONE);
  engine().SetNormalBlend();
  EXPECT_EQ(dev().GetRenderState(RenderState::DestBlend), uint32_t(BLEND_INVSRCALPHA));
}

TEST_F(DeviceTest, NewSceneNeverInheritsAdditiveBlending) {
  engine().BeginScene();
  engine().SetAdditiveBlend();
  engine().EndScene();
  engine().BeginScene();
  EXPECT_FALSE(engine().IsAdditive());
  EXPECT_EQ(dev().GetRenderState(RenderState::DestBlend), uint32_t(BLEND_INVSRCALPHA));
  engine().EndScene();
}

TEST_F(DeviceTest, ScenesNestAndClearToOpaqueBlack) {
  dev().ClearRecord();
  engine().BeginScene();
  engine().BeginScene();  // the loading screen inside a frame
  engine().EndScene();
  EXPECT_TRUE(engine().InScene());
  engine().Flip();
  engine().EndScene();
  EXPECT_FALSE(engine().InScene());
  EXPECT_EQ(dev().CountCalls("BeginScene"), 1);
  EXPECT_EQ(dev().CountCalls("EndScene"), 1);
  EXPECT_EQ(dev().CountCalls("Present"), 1);
  EXPECT_EQ(dev().CountCalls("Clear"), 2);
  EXPECT_EQ(dev().calls[1], "Clear 3 FF000000 1 0");
  EXPECT_EQ(dev().sceneDepth, 0);
}

TEST_F(DeviceTest, FailedBeginSceneIsLoggedAndLeavesNoSceneOpen) {
  dev().failBeginScene = D3DERR_DEVICELOST;
  engine().BeginScene();
  EXPECT_FALSE(engine().InScene());
  std::string log = ErrorLog();
  EXPECT_NE(log.find("D3DERR_DEVICELOST\n"), std::string::npos);
  EXPECT_NE(log.find("Begin Scene"), std::string::npos);
}

struct ResultNameCase {
  HRESULT code;
  const char* name;
};
class ResultNameTest : public ::testing::TestWithParam<ResultNameCase> {};
TEST_P(ResultNameTest, LogsNameThenContext) {
  GetRenderDevice().LogD3DError("context text", GetParam().code);
  std::string log = ErrorLog();
  size_t name = log.find(std::string(" - ") + GetParam().name + "\n");
  size_t context = log.find(" - context text\n");
  ASSERT_NE(name, std::string::npos) << log;
  ASSERT_NE(context, std::string::npos);
  EXPECT_LT(name, context);
}
INSTANTIATE_TEST_SUITE_P(Names, ResultNameTest,
                         ::testing::Values(ResultNameCase{D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
                                           ResultNameCase{D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET "},
                                           ResultNameCase{D3DERR_UNSUPPORTEDALPHAOPERATION,
                                                          "D3DERR_UNSUPPORTEDALPHAOPERATION "},
                                           ResultNameCase{D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
                                           ResultNameCase{D3DERR_DEVICEHUNG, "D3DERR_DEVICEHUNG"},
                                           ResultNameCase{E_FAIL, "Untranslated HRESULT"},
                                           ResultNameCase{0x12345, "Untranslated HRESULT"}));

TEST_F(DeviceTest, DuplicateRenderTargetIsRefusedAndFirstStays) {
  engine().CreateRenderTarget("rt_test", 256, 128, Format::A8R8G8B8);
  Texture* first = engine().FindNamedTexture("rt_test")->Get();
  engine().CreateRenderTarget("rt_test", 512, 512, Format::X8R8G8B8);
  EXPECT_NE(ErrorLog().find("Error!, render target duplicate name [rt_test]"), std::string::npos);
  ASSERT_EQ(engine().DeleteTexture("rt_test"), 1);  // only one entry existed
  EXPECT_FALSE(engine().HasTexture("rt_test"));
  (void)first;
}

TEST_F(DeviceTest, RenderTargetsSwitchRememberAndRestore) {
  engine().CreateRenderTarget("rt_a", 128, 64, Format::A8R8G8B8);
  engine().CreateRenderTarget("rt_b", 32, 32, Format::X8R8G8B8);
  EXPECT_EQ(engine().CurrentRenderTarget(), "");
  ASSERT_TRUE(engine().SetRenderTarget("rt_a"));
  Viewport vp;
  dev().GetViewport(&vp);
  EXPECT_EQ(vp.width, 128);  // a new target gets a whole-target viewport
  engine().RememberRenderTarget();
  ASSERT_TRUE(engine().SetRenderTarget("rt_b"));
  engine().RememberRenderTarget();
  engine().SetBackBufferTarget();
  engine().RestoreRenderTarget();
  EXPECT_EQ(engine().CurrentRenderTarget(), "rt_b");
  engine().RestoreRenderTarget();
  EXPECT_EQ(engine().CurrentRenderTarget(), "rt_a");
  EXPECT_FALSE(engine().SetRenderTarget("rt_missing"));
  // Deleting the current target falls back to the back buffer, never a freed surface.
  engine().DeleteTexture("rt_a");
  EXPECT_EQ(dev().GetRenderTarget(), nullptr);
  EXPECT_TRUE(engine().CopyBackBufferTo("rt_b"));
}

TEST_F(DeviceTest, ResetReleasesDeviceObjectsAndTargetsAreRebuilt) {
  InitGlobalVertexBuffer();
  LoadStandardFonts();
  engine().CreateRenderTarget("rt_lightmap", 512, 512, Format::A8R8G8B8);
  CLoadedTexture* handle = FindOrLoadTexture("rt_lightmap");
  ASSERT_NE(handle->texture, nullptr);
  ASSERT_GT(dev().LiveTextures(), 0);

  dev().cooperativeLevel = D3DERR_DEVICENOTRESET;
  ASSERT_EQ(engine().TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  ASSERT_TRUE(engine().RestoreDevice());
  EXPECT_EQ(dev().resets, 1);
  EXPECT_EQ(dev().LiveTextures(), 0);  // every texture went before the reset
  EXPECT_FALSE(GetGlobalVertexBuffer().IsCreated());
  EXPECT_FALSE(GetTextRenderer().IsInitialised());
  EXPECT_EQ(handle->texture, nullptr);
  EXPECT_NE(DrawLog().find("D3DEngine Restore worked ok"), std::string::npos);

  // The frame's rebuild: targets, links, fonts, buffer.
  engine().CreateRenderTarget("rt_lightmap", 512, 512, Format::A8R8G8B8);
  RelinkTextures();
  LoadStandardFonts();
  InitGlobalVertexBuffer();
  EXPECT_NE(handle->texture, nullptr);
  EXPECT_TRUE(handle->texture->IsRenderTarget());
  EXPECT_TRUE(GetGlobalVertexBuffer().IsCreated());
  EXPECT_EQ(engine().TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceTest, FailedResetReportsFailure) {
  dev().failReset = D3DERR_DEVICELOST;
  EXPECT_FALSE(engine().RestoreDevice());
  EXPECT_NE(ErrorLog().find("D3DEngine Restore Failed"), std::string::npos);
}

TEST_F(DeviceTest, UntexturedPrimitivesGeometry) {
  dev().ClearRecord();
  engine().DrawRect(Rect{10, 20, 30, 40}, 0x80FF0000u);
  ASSERT_EQ(dev().draws.size(), 1u);
  const DrawRecord& r = dev().draws[0];
  EXPECT_EQ(r.type, PrimitiveType::TriangleStrip);
  EXPECT_FLOAT_EQ(r.X(0), 9.5f);
  EXPECT_FLOAT_EQ(r.Y(0), 19.5f);
  EXPECT_FLOAT_EQ(r.X(3), 29.5f);
  EXPECT_FLOAT_EQ(r.Y(3), 39.5f);
  EXPECT_EQ(r.Colour(2), 0x80FF0000u);
  EXPECT_EQ(r.textures[0], nullptr);

  engine().DrawRectOutline(Rect{0, 0, 8, 4}, 0xFFFFFFFFu);
  const DrawRecord& o = dev().draws[1];
  EXPECT_EQ(o.type, PrimitiveType::LineStrip);
  ASSERT_EQ(o.vertexCount, 5);
  EXPECT_FLOAT_EQ(o.X(4), o.X(0));
  EXPECT_FLOAT_EQ(o.Y(2), 4.0f);

  engine().DrawCircle(100, 100, 10, 8);
  const DrawRecord& c = dev().draws[2];
  ASSERT_EQ(c.vertexCount, 9);
  EXPECT_FLOAT_EQ(c.X(0), 110.0f);
  EXPECT_NEAR(c.Y(2), 90.0f, 1e-4);  // 90 degrees is up the screen
  EXPECT_FLOAT_EQ(c.X(8), c.X(0));
  EXPECT_EQ(c.Colour(5), 0xFFFFFFFFu);

  engine().DrawCircle(0, 0, 5, 0);  // no segments: nothing, no division by zero
  EXPECT_EQ(dev().draws.size(), 3u);

  engine().DrawRectFrame(Rect{10, 10, 50, 30}, 4, 0xFF00FF00u);
  ASSERT_EQ(dev().draws.size(), 7u);
  EXPECT_FLOAT_EQ(dev().draws[3].X(0), 7.5f);  // centred on the edge: 10 - 2 - 0.5
}

TEST_F(DeviceTest, ScreenshotIsSavedAtTheNextFlip) {
  std::tm t = {};
  t.tm_mday = 3;
  t.tm_mon = 10;
  t.tm_year = 126;
  t.tm_hour = 17;
  t.tm_min = 5;
  t.tm_sec = 9;
  std::string path = FormatScreenshotPath(zt_test::UserRoot(), t);
  EXPECT_EQ(path, zt_test::UserRoot() + "/screenshots/screenshot_03-11-2026_17-05-09.bmp");
  engine().RequestScreenshot(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  engine().BeginScene();
  engine().EndScene();
  dev().ClearRecord();
  engine().Flip();
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_FALSE(engine().ScreenshotRequested());
  // Saved before presenting: afterwards the back buffer is gone.
  EXPECT_LT(std::find(dev().calls.begin(), dev().calls.end(), "ReadPixels") - dev().calls.begin(),
            std::find(dev().calls.begin(), dev().calls.end(), "Present") - dev().calls.begin());
  std::string bmp = ReadText(path);
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
}

TEST_F(DeviceTest, SavingAnUnknownTargetIsLogged) {
  engine().SaveTextureImage("rt_nothing", (zt_test::UserRoot() + "/x.jpg").c_str(), ImageFileFormat::JPG,
                            nullptr);
  EXPECT_NE(DrawLog().find("Failed to find image texture for saving"), std::string::npos);
}

}  // namespace

namespace {

TEST(DeviceStartTest, RealDeviceNeedsAMainWindow) {
  D3DEngine& e = GetRenderDevice();
  e.SetBackend(Backend::OpenGL);
  EXPECT_FALSE(e.InitD3D(1024, 768, true));
  EXPECT_EQ(e.Device(), nullptr);
  EXPECT_NE(ErrorLog().find("InitD3D: no main window"), std::string::npos);
}

TEST(DeviceStartTest, NullDeviceTakesTheWindowSize) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();  // the dummy driver in tests
  SDL_Window* w = SDL_CreateWindow("t", 0, 0, 800, 600, 0);
  ASSERT_NE(w, nullptr);
  D3DEngine& e = GetRenderDevice();
  e.SetMainWindow(w);
  e.SetBackend(Backend::Null);
  ASSERT_TRUE(e.InitD3D(1280, 1024, true));
  EXPECT_EQ(e.ScreenWidth(), 800);
  EXPECT_EQ(e.ScreenHeight(), 600);
  e.ReleaseD3D();
  SDL_DestroyWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
