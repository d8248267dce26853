// The device's per-frame counters on the null device (draws, texture binds, render-target
// switches, bytes uploaded; closed by each present), block-compressed textures, and on the
// OpenGL device the same counters for partial buffer uploads and compressed art.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/VertexBuffer.h"
#include "platform/Dds.h"
#include "platform/Image.h"
#include "platform/NullDevice.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

using namespace platform;

namespace {

struct Scene {
  std::unique_ptr<NullDevice> dev;
  std::unique_ptr<Texture> a, b, target;
  std::unique_ptr<VertexBuffer> vb;
  std::unique_ptr<IndexBuffer> ib;
  Scene() {
    PresentParameters pp;
    pp.backBufferWidth = 64;
    pp.backBufferHeight = 64;
    dev = std::make_unique<NullDevice>(pp);
    dev->CreateTexture(8, 8, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &a);
    dev->CreateTexture(8, 8, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &b);
    dev->CreateTexture(16, 16, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &target);
    dev->CreateVertexBuffer(4 * 28 * 10, USAGE_DYNAMIC, FVF_ENGINE, Pool::Default, &vb);
    dev->CreateIndexBuffer(12, USAGE_NONE, Pool::Default, &ib);
    dev->SetFVF(FVF_ENGINE);
    // Creation is not part of the frames the cases count.
    dev->Present();
  }
  void DrawUP(int triangles) {
    std::vector<uint8_t> v(size_t(triangles) * 3 * 28);
    dev->DrawPrimitiveUP(PrimitiveType::TriangleList, triangles, v.data(), 28);
  }
  void DrawIndexed() {
    void* p = nullptr;
    ib->Lock(0, 0, &p, LOCK_NONE);
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();
    dev->SetStreamSource(vb.get(), 0, 28);
    dev->SetIndices(ib.get());
    dev->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2);
  }
  void Upload(uint32_t offset, uint32_t bytes, uint32_t flags) {
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(offset, bytes, &p, flags), D3D_OK);
    vb->Unlock();
  }
};

TEST(DeviceCountersTest, EachFrameCountsDrawsBindsTargetSwitchesAndBytes) {
  struct Case {
    const char* name;
    std::function<void(Scene&)> frame;
    uint64_t draws, binds, switches, bytes;
  } cases[] = {
      {"nothing drawn", [](Scene&) {}, 0, 0, 0, 0},
      {"one immediate draw sends its vertices", [](Scene& s) { s.DrawUP(2); }, 1, 0, 0, 2 * 3 * 28},
      {"an indexed draw sends only what was locked (12 index bytes)", [](Scene& s) { s.DrawIndexed(); }, 1, 0,
       0, 12},
      {"binding the bound texture again is no bind",
       [](Scene& s) {
         s.dev->SetTexture(0, s.a.get());
         s.dev->SetTexture(0, s.a.get());
         s.DrawUP(1);
       },
       1, 1, 0, 84},
      {"alternating textures: a bind per change",
       [](Scene& s) {
         for (int i = 0; i < 4; ++i) {
           s.dev->SetTexture(0, i % 2 ? s.b.get() : s.a.get());
           s.DrawUP(1);
         }
       },
       4, 4, 0, 4 * 84},
      {"to a target and back: two switches, setting the same target again none",
       [](Scene& s) {
         s.dev->SetRenderTarget(s.target.get());
         s.dev->SetRenderTarget(s.target.get());
         s.DrawUP(1);
         s.dev->SetRenderTarget(nullptr);
       },
       1, 0, 2, 84},
      {"partial buffer uploads count the locked ranges",
       [](Scene& s) {
         s.Upload(0, 4 * 28, LOCK_DISCARD);
         s.Upload(4 * 28, 8 * 28, LOCK_NOOVERWRITE);
       },
       0, 0, 0, 12 * 28},
      {"texels uploaded",
       [](Scene& s) {
         std::vector<uint32_t> px(64, 0xFFFFFFFFu);
         s.a->UploadLevel(0, 8, 8, px.data());
       },
       0, 0, 0, 8 * 8 * 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene s;
    // The frame before: the counters of this one start from zero after its present.
    s.DrawUP(3);
    s.dev->Present();
    c.frame(s);
    const FrameCounters now = s.dev->Counters();
    EXPECT_EQ(now.draws, c.draws);
    EXPECT_EQ(now.textureBinds, c.binds);
    EXPECT_EQ(now.targetSwitches, c.switches);
    EXPECT_EQ(now.bytesUploaded, c.bytes);
    s.dev->Present();
    const FrameCounters last = s.dev->LastFrameCounters();
    EXPECT_EQ(last.draws, c.draws) << "the presented frame stays readable";
    EXPECT_EQ(last.bytesUploaded, c.bytes);
    EXPECT_EQ(s.dev->Counters().draws, 0u) << "a present starts the next frame at zero";
    EXPECT_EQ(s.dev->Counters().bytesUploaded, 0u);
  }
}

TEST(DeviceCountersTest, AFailedPresentStillClosesTheFrame) {
  Scene s;
  s.DrawUP(1);
  s.dev->failPresent = D3DERR_DEVICELOST;
  EXPECT_EQ(s.dev->Present(), D3DERR_DEVICELOST);
  EXPECT_EQ(s.dev->LastFrameCounters().draws, 1u);
  EXPECT_EQ(s.dev->Counters().draws, 0u);
}

// A 12x8 picture with alpha, DXT5-compressed with two levels, written and read back.
std::string ScratchFile(const std::string& name) {
  const std::string folder = zt_test::UserRoot() + "/art";
  std::filesystem::create_directories(folder);
  return folder + "/" + name;
}

std::vector<uint8_t> SolidDxt5Blocks(int w, int h, uint8_t alpha) {
  // Alpha block: both endpoints 'alpha', all indices 0; colour block: pure red, indices 0.
  std::vector<uint8_t> out;
  for (size_t i = 0; i < CompressedLevelSize(Format::DXT5, w, h) / 16; ++i) {
    const uint8_t block[16] = {alpha, alpha, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    out.insert(out.end(), block, block + 16);
  }
  return out;
}

TEST(CompressedTextureTest, ACompressedFileKeepsItsBlocksAndTheNullDeviceSamplesThem) {
  const std::string path = ScratchFile("red.dds");
  std::vector<std::vector<uint8_t>> levels = {SolidDxt5Blocks(12, 8, 0x80), SolidDxt5Blocks(6, 4, 0x80)};
  ASSERT_TRUE(WriteCompressedDdsFile(path, 12, 8, Format::DXT5, levels));
  // Wrong level sizes are refused, not written.
  EXPECT_FALSE(WriteCompressedDdsFile(path + ".bad", 12, 8, Format::DXT5, {SolidDxt5Blocks(4, 4, 0)}));

  DecodedImage kept;
  std::string error;
  ASSERT_TRUE(LoadImageFile(path, &kept, &error, true)) << error;
  EXPECT_EQ(kept.sourceFormat, Format::DXT5);
  ASSERT_EQ(kept.blocks.size(), 2u);
  EXPECT_TRUE(kept.levels.empty());
  EXPECT_EQ(kept.blocks[0], levels[0]);
  DecodeBlocks(&kept);
  ASSERT_EQ(kept.levels.size(), 2u);
  EXPECT_EQ(kept.levels[0][0], 0x80FF0000u);
  EXPECT_EQ(kept.levels[1].size(), 6u * 4u);

  PresentParameters pp;
  NullDevice dev(pp);
  std::unique_ptr<Texture> tex;
  ASSERT_EQ(CreateTextureFromFile(dev, path, false, &tex), D3D_OK);
  EXPECT_EQ(tex->GetFormat(), Format::DXT5) << "compressed art reaches the device compressed";
  EXPECT_EQ(tex->Levels(), 2);
  EXPECT_EQ(dev.Counters().bytesUploaded, levels[0].size() + levels[1].size());
  std::vector<uint32_t> px;
  ASSERT_EQ(dev.ReadPixels(tex.get(), Rect{0, 0, 12, 8}, &px), D3D_OK);
  EXPECT_EQ(px[5 * 12 + 11], 0x80FF0000u);
  // Asked for a full mip chain, the blocks are decoded and the chain built as before.
  ASSERT_EQ(CreateTextureFromFile(dev, path, true, &tex), D3D_OK);
  EXPECT_EQ(tex->GetFormat(), Format::A8R8G8B8);
  EXPECT_EQ(tex->Levels(), 4);
  // Asked not to keep the blocks: decoded, with the file's own levels.
  ASSERT_EQ(CreateTextureFromFile(dev, path, false, &tex, nullptr, false), D3D_OK);
  EXPECT_EQ(tex->GetFormat(), Format::A8R8G8B8);
  EXPECT_EQ(tex->Levels(), 2);
  ASSERT_EQ(dev.ReadPixels(tex.get(), Rect{0, 0, 12, 8}, &px), D3D_OK);
  EXPECT_EQ(px[5 * 12 + 11], 0x80FF0000u);
}

// The pixels a frame touches: each triangle clipped to the viewport and scissor, lines
// by their length, clears by their rectangle, and one quad over a whole target counted as
// a full-target pass.
struct PixelCase {
  const char* what;
  std::vector<float> xy;  // pre-transformed positions (pixel centres on whole numbers)
  PrimitiveType type;
  Rect clip;
  uint64_t pixels;
};

std::vector<GVertex> Vertices(const std::vector<float>& xy) {
  std::vector<GVertex> v(xy.size() / 2);
  for (size_t i = 0; i < v.size(); ++i) {
    v[i].x = xy[i * 2];
    v[i].y = xy[i * 2 + 1];
    v[i].rhw = 1.0f;
    v[i].colour = 0xFFFFFFFFu;
  }
  return v;
}

TEST(DeviceCountersTest, DrawsCountTheirPixelsClippedToTheViewportAndScissor) {
  const std::vector<float> wholeQuad = {-0.5f, -0.5f, 63.5f, -0.5f, -0.5f, 63.5f, 63.5f, 63.5f};
  const std::vector<float> corner = {31.5f, 31.5f, 95.5f, 31.5f, 31.5f, 95.5f, 95.5f, 95.5f};
  const PixelCase cases[] = {
      {"a quad over the whole 64 x 64 back buffer", wholeQuad, PrimitiveType::TriangleStrip,
       Rect{0, 0, 64, 64}, 64 * 64},
      {"a quad half off the right and bottom edges", corner, PrimitiveType::TriangleStrip, Rect{0, 0, 64, 64},
       32 * 32},
      {"the whole quad inside a 16 x 8 scissor", wholeQuad, PrimitiveType::TriangleStrip, Rect{8, 8, 24, 16},
       16 * 8},
      {"one triangle, half of a 10 x 10 square",
       {-0.5f, -0.5f, 9.5f, -0.5f, -0.5f, 9.5f},
       PrimitiveType::TriangleList,
       Rect{0, 0, 64, 64},
       50},
      {"a fan of the same square",
       {-0.5f, -0.5f, 9.5f, -0.5f, 9.5f, 9.5f, -0.5f, 9.5f},
       PrimitiveType::TriangleFan,
       Rect{0, 0, 64, 64},
       100},
      {"a line 20 pixels long", {0.0f, 0.0f, 19.0f, 0.0f}, PrimitiveType::LineList, Rect{0, 0, 64, 64}, 20},
      {"a quad wholly off screen",
       {100.0f, 100.0f, 120.0f, 100.0f, 100.0f, 120.0f, 120.0f, 120.0f},
       PrimitiveType::TriangleStrip,
       Rect{0, 0, 64, 64},
       0},
  };
  for (const PixelCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CoveredPixels(c.type, c.xy, c.clip), c.pixels);
  }

  // Through the device: the viewport and the scissor clip what it counts.
  Scene s;
  std::vector<GVertex> quad = Vertices(wholeQuad);
  s.dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(s.dev->Counters().drawnPixels, 64u * 64u);
  EXPECT_EQ(s.dev->Counters().fullTargetPasses, 1u) << "one quad over the whole target";
  s.dev->SetViewport(Viewport{0, 0, 32, 64});
  s.dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(s.dev->Counters().drawnPixels, 64u * 64u + 32u * 64u);
  s.dev->SetRenderState(RenderState::ScissorTestEnable, 1);
  s.dev->SetScissorRect(Rect{0, 0, 16, 16});
  s.dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  EXPECT_EQ(s.dev->Counters().clearedPixels, 16u * 16u) << "a clear fills only its rectangle";
  EXPECT_EQ(s.dev->Counters().clears, 1u);
  s.dev->SetRenderState(RenderState::ScissorTestEnable, 0);
  s.dev->SetRenderTarget(s.target.get());  // 16 x 16, its viewport the whole target
  s.dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  EXPECT_EQ(s.dev->Counters().clearedPixels, 16u * 16u * 2u);
  s.dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(s.dev->Counters().drawnPixels, 64u * 64u + 32u * 64u + 16u * 16u) << "clipped to the target";
  EXPECT_EQ(s.dev->Counters().PixelsTouched(), 64u * 64u + 32u * 64u + 16u * 16u * 3u);
  // An indexed quad reads its corners through the indices.
  s.dev->SetRenderTarget(nullptr);
  void* p = nullptr;
  s.vb->Lock(0, 0, &p, LOCK_NONE);
  std::memcpy(p, Vertices(corner).data(), 4 * sizeof(GVertex));
  s.vb->Unlock();
  const uint64_t before = s.dev->Counters().drawnPixels;
  s.DrawIndexed();
  EXPECT_EQ(s.dev->Counters().drawnPixels - before, 32u * 32u);
  s.dev->Present();
  EXPECT_EQ(s.dev->LastFrameCounters().drawnPixels, before + 32u * 32u);
  EXPECT_EQ(s.dev->Counters().PixelsTouched(), 0u) << "a present starts the next frame at zero";
}

// ---- The OpenGL device ----
class GLCountersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak counters", 256, 256, SDL_WINDOW_HIDDEN)) return;
    InitGlobalVertexBuffer();
  }
  void TearDown() override {
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  zt_test::GLWindow gl_;
};

TEST_F(GLCountersTest, AFlushSendsTheWrittenRangeNotTheWholeBuffer) {
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  e.Flip();
  std::vector<GVertex> quads(8 * 4);
  for (size_t i = 0; i < quads.size(); ++i) {
    quads[i].x = float(i % 2) * 10;
    quads[i].y = float((i / 2) % 2) * 10;
  }
  e.BeginScene();
  for (int flush = 0; flush < 3; ++flush) {
    vb.AddVertices(quads.data(), int(quads.size()));
    vb.Flush();
  }
  e.EndScene();
  const FrameCounters c = d->Counters();
  EXPECT_EQ(c.draws, 3u);
  EXPECT_EQ(c.bytesUploaded, 3u * 32u * 28u)
      << "each flush sends its 32 vertices, not the 140,000-byte buffer";
  e.Flip();
  EXPECT_EQ(d->LastFrameCounters().bytesUploaded, 3u * 32u * 28u);
  EXPECT_GT(d->RefreshRate(), 0) << "the OpenGL device paces presents by a refresh rate";
}

TEST_F(GLCountersTest, PixelsAreCountedAsOnTheNullDeviceAndNewTargetsStartCleared) {
  ASSERT_TRUE(gl_.IsOpen());
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  e.Flip();
  e.BeginScene();
  std::unique_ptr<Texture> target;
  ASSERT_EQ(d->CreateTexture(100, 60, 1, USAGE_RENDERTARGET, Format::X8R8G8B8, Pool::Default, &target),
            D3D_OK);
  d->SetRenderTarget(target.get());
  std::vector<GVertex> quad = Vertices({49.5f, 29.5f, 149.5f, 29.5f, 49.5f, 89.5f, 149.5f, 89.5f});
  d->SetFVF(FVF_ENGINE);
  const FrameCounters before = d->Counters();
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(d->Counters().drawnPixels - before.drawnPixels, 50u * 30u)
      << "the quarter of the quad inside the 100 x 60 target";
  d->Clear(CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  EXPECT_EQ(d->Counters().clearedPixels - before.clearedPixels, 100u * 60u);
  d->SetRenderTarget(nullptr);
  // A target made while another is bound starts opaque black and leaves the binding.
  std::unique_ptr<Texture> fresh;
  d->SetRenderTarget(target.get());
  ASSERT_EQ(d->CreateTexture(40, 30, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &fresh), D3D_OK);
  d->Clear(CLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
  std::vector<uint32_t> px;
  ASSERT_EQ(d->ReadPixels(fresh.get(), Rect{0, 0, 40, 30}, &px), D3D_OK);
  EXPECT_EQ(px[0], 0u) << "a new target with alpha starts transparent black";
  EXPECT_EQ(px[40 * 30 - 1], 0u);
  ASSERT_EQ(d->ReadPixels(target.get(), Rect{0, 0, 100, 60}, &px), D3D_OK);
  EXPECT_EQ(px[0], 0xFF00FF00u) << "the clear after the creation went to the bound target";
  d->SetRenderTarget(nullptr);
  e.EndScene();
}

// A target drawn at half the screen's resolution (the battle's light map): screen
// positions land at half scale, a switch to it reaches only the part they can cover (one
// texel wider, for filtering), and its counts are its own pixels.
TEST_F(GLCountersTest, AScaledTargetTakesScreenPositionsAtItsScaleAndCountsItsOwnPixels) {
  ASSERT_TRUE(gl_.IsOpen());
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  e.Flip();
  e.BeginScene();
  std::unique_ptr<Texture> target;
  ASSERT_EQ(d->CreateTexture(100, 60, 1, USAGE_RENDERTARGET, Format::X8R8G8B8, Pool::Default, &target),
            D3D_OK);
  d->SetRenderTarget(target.get());
  d->Clear(CLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);  // blue where the scaled clear does not reach
  target->SetDrawScale(0.5f);
  d->SetRenderTarget(nullptr);
  d->SetRenderTarget(target.get());
  const FrameCounters before = d->Counters();
  d->Clear(CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  EXPECT_EQ(d->Counters().clearedPixels - before.clearedPixels, 51u * 31u)
      << "half of 100 x 60, and one texel more each way";
  // Screen pixels 20..59 across and 20..39 down: target pixels 10..29 and 10..19.
  std::vector<GVertex> quad = Vertices({19.5f, 19.5f, 59.5f, 19.5f, 19.5f, 39.5f, 59.5f, 39.5f});
  d->SetFVF(FVF_ENGINE);
  d->SetTexture(0, nullptr);
  const FrameCounters drawn = d->Counters();
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(d->Counters().drawnPixels - drawn.drawnPixels, 20u * 10u);
  std::vector<uint32_t> px;
  ASSERT_EQ(d->ReadPixels(target.get(), Rect{0, 0, 100, 60}, &px), D3D_OK);
  auto at = [&](int x, int y) { return px[size_t(y) * 100 + size_t(x)] & 0xFFFFFFu; };
  struct Probe {
    int x, y;
    uint32_t rgb;
    const char* what;
  } probes[] = {{10, 10, 0xFFFFFF, "the quad's first pixel"},
                {29, 19, 0xFFFFFF, "its last"},
                {30, 15, 0x000000, "right of it"},
                {15, 20, 0x000000, "below it"},
                {50, 30, 0x000000, "the extra texel the clear reaches"},
                {51, 31, 0x0000FF, "beyond it, untouched"},
                {99, 59, 0x0000FF, "the far corner, untouched"}};
  for (const Probe& p : probes) EXPECT_EQ(at(p.x, p.y), p.rgb) << p.what;
  target->SetDrawScale(1.0f);
  d->SetRenderTarget(nullptr);
  e.EndScene();
}

// The software rasteriser fills pixels on its own threads only once the game thread
// hands it the binned draws: the device hands them over as each half screen's worth of
// pixels is drawn, so filling runs beside the rest of the frame's drawing, and not for
// every small draw. Counted at the driver's own flush entry point.
int g_glFlushes = 0;
void (*g_realGLFlush)() = nullptr;
void CountingGLFlush() {
  ++g_glFlushes;
  g_realGLFlush();
}

TEST_F(GLCountersTest, DrawnPixelsAreHandedToTheRasteriserAsTheFrameIsDrawn) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  e.Flip();
  // The entry point resolves itself on its first call: resolve it before standing in.
  glFlush();
  g_realGLFlush = epoxy_glFlush;
  epoxy_glFlush = CountingGLFlush;
  g_glFlushes = 0;
  e.BeginScene();
  // Sixty-four small quads (16 pixels each), one draw each: a quarter of the window.
  for (int i = 0; i < 64; ++i) {
    const float x = float(i % 16) * 16 - 0.5f, y = float(i / 16) * 16 - 0.5f;
    std::vector<GVertex> quad = Vertices({x, y, x + 4, y, x, y + 4, x + 4, y + 4});
    vb.AddVertices(quad.data(), 4);
    vb.Flush();
  }
  const int afterSmall = g_glFlushes;
  // Then four quads over the whole 256 x 256 window, one draw each.
  std::vector<GVertex> whole = Vertices({-0.5f, -0.5f, 255.5f, -0.5f, -0.5f, 255.5f, 255.5f, 255.5f});
  for (int i = 0; i < 4; ++i) {
    vb.AddVertices(whole.data(), 4);
    vb.Flush();
  }
  const int afterWhole = g_glFlushes;
  e.EndScene();
  epoxy_glFlush = g_realGLFlush;
  EXPECT_EQ(d->Counters().draws, 68u);
  EXPECT_EQ(afterSmall, 0) << "1,024 pixels are too few to hand over";
  EXPECT_EQ(afterWhole, 4) << "each whole-window draw (twice the half window) is handed over as drawn";
  std::vector<uint32_t> px;
  ASSERT_EQ(d->ReadPixels(nullptr, Rect{0, 0, 256, 256}, &px), D3D_OK);
  EXPECT_EQ(px[128 * 256 + 128] & 0xFFFFFFu, 0xFFFFFFu) << "the handed-over draws were drawn";
}

// Immediate draws share one stream buffer: the vertex layout is pointed at it once, and
// the second UV set's constant is set only when a one-UV draw follows a two-UV one (each
// such call makes the driver rebuild its vertex state for the next draw).
int g_attribConstants = 0;
void (*g_realVertexAttrib2f)(GLuint, GLfloat, GLfloat) = nullptr;
void CountingVertexAttrib2f(GLuint index, GLfloat x, GLfloat y) {
  ++g_attribConstants;
  g_realVertexAttrib2f(index, x, y);
}

TEST_F(GLCountersTest, ImmediateDrawsOfOneLayoutSetTheVertexStateOnce) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  e.Flip();
  glVertexAttrib2f(3, 0.0f, 0.0f);  // resolves the entry point before standing in
  g_realVertexAttrib2f = epoxy_glVertexAttrib2f;
  epoxy_glVertexAttrib2f = CountingVertexAttrib2f;
  e.BeginScene();
  d->SetTexture(0, nullptr);
  d->SetFVF(FVF_ENGINE);
  std::vector<GVertex> quad = Vertices({-0.5f, -0.5f, 9.5f, -0.5f, -0.5f, 9.5f, 9.5f, 9.5f});
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  g_attribConstants = 0;
  for (int i = 0; i < 20; ++i) d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(g_attribConstants, 0) << "twenty draws of the same layout";
  // A two-UV draw, then one-UV again: the constant once.
  struct TwoUV {
    float x, y, z, rhw;
    uint32_t colour;
    float u0, v0, u1, v1;
  };
  std::vector<TwoUV> two(4);
  for (size_t i = 0; i < 4; ++i) two[i] = {quad[i].x, quad[i].y, 0.0f, 1.0f, 0xFFFFFFFFu, 0, 0, 0, 0};
  d->SetFVF(FVF_TWOUV);
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, two.data(), 36);
  d->SetFVF(FVF_ENGINE);
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad.data(), 28);
  EXPECT_EQ(g_attribConstants, 1) << "back to one UV set after two";
  e.EndScene();
  epoxy_glVertexAttrib2f = g_realVertexAttrib2f;
}

// More immediate vertices in a frame than the stream holds, and one draw larger than all
// of it: every draw still lands where its vertices say.
TEST_F(GLCountersTest, ImmediateDrawsBeyondTheStreamBufferStillDrawWhereTheySay) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  e.Flip();
  e.BeginScene();
  d->SetTexture(0, nullptr);
  d->SetFVF(FVF_ENGINE);
  d->Clear(CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  // One pixel a draw across the whole window, twice over: 131,072 draws of 112 bytes, far
  // more than the stream's megabyte. The second pass paints the pixels green.
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 256 * 256; ++i) {
      const float x = float(i % 256) - 0.5f, y = float(i / 256) - 0.5f;
      std::vector<GVertex> px = Vertices({x, y, x + 1, y, x, y + 1, x + 1, y + 1});
      for (GVertex& v : px) v.colour = pass == 0 ? 0xFFFF0000u : 0xFF00FF00u;
      d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, px.data(), 28);
    }
  }
  std::vector<uint32_t> px;
  ASSERT_EQ(d->ReadPixels(nullptr, Rect{0, 0, 256, 256}, &px), D3D_OK);
  int green = 0;
  for (uint32_t p : px) green += (p & 0xFFFFFFu) == 0x00FF00u;
  EXPECT_EQ(green, 256 * 256) << "every pixel drawn by its own draw, in order";
  // One triangle list of 40,000 vertices (1.1 MB), the last quad blue over one corner,
  // then a small draw after it in white.
  std::vector<GVertex> big;
  for (int i = 0; i < 6666; ++i) {
    const bool last = i == 6665;
    const float x1 = last ? 15.5f : 255.5f, y1 = last ? 15.5f : 255.5f;
    std::vector<GVertex> q = Vertices({-0.5f, -0.5f, x1, -0.5f, -0.5f, y1, x1, -0.5f, x1, y1, -0.5f, y1});
    for (GVertex& v : q) v.colour = last ? 0xFF0000FFu : 0xFF404040u;
    big.insert(big.end(), q.begin(), q.end());
  }
  ASSERT_GT(big.size() * sizeof(GVertex), size_t(1) << 20);
  d->DrawPrimitiveUP(PrimitiveType::TriangleList, int(big.size() / 3), big.data(), 28);
  std::vector<GVertex> small = Vertices({99.5f, 99.5f, 109.5f, 99.5f, 99.5f, 109.5f, 109.5f, 109.5f});
  d->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, small.data(), 28);
  ASSERT_EQ(d->ReadPixels(nullptr, Rect{0, 0, 256, 256}, &px), D3D_OK);
  EXPECT_EQ(px[5 * 256 + 5] & 0xFFFFFFu, 0x0000FFu) << "the large draw's last quad";
  EXPECT_EQ(px[200 * 256 + 200] & 0xFFFFFFu, 0x404040u) << "the large draw's other quads";
  EXPECT_EQ(px[105 * 256 + 105] & 0xFFFFFFu, 0xFFFFFFu) << "the small draw after it";
  e.EndScene();
}

TEST_F(GLCountersTest, CompressedArtIsUploadedCompressedAndSamplesLikeTheFile) {
  const std::string path = ScratchFile("red.dds");
  ASSERT_TRUE(WriteCompressedDdsFile(path, 8, 8, Format::DXT5, {SolidDxt5Blocks(8, 8, 0xFF)}));
  Device* d = GetRenderDevice().Device();
  std::unique_ptr<Texture> tex;
  ASSERT_EQ(CreateTextureFromFile(*d, path, false, &tex), D3D_OK);
  // Mesa's software rasteriser has S3TC; a driver without it gets decoded texels.
  EXPECT_TRUE(tex->GetFormat() == Format::DXT5 || tex->GetFormat() == Format::A8R8G8B8);
  std::vector<uint32_t> px;
  ASSERT_EQ(d->ReadPixels(tex.get(), Rect{0, 0, 8, 8}, &px), D3D_OK);
  EXPECT_EQ(px[0], 0xFFFF0000u);
  EXPECT_EQ(px[63], 0xFFFF0000u);
}

}  // namespace
