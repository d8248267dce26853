// The batching vertex buffer: when it draws (full, texture change, on demand), the ring
// of no-overwrite appends and discards, the index pattern, transforms, external arrays.
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

class VertexBufferTest : public NullEngineTest {
 protected:
  void SetUp() override {
    NullEngineTest::SetUp();
    engine().CreateRenderTarget("tex_one", 4, 4, Format::A8R8G8B8);
    engine().CreateRenderTarget("tex_two", 4, 4, Format::A8R8G8B8);
    one_ = FindOrLoadTexture("tex_one");
    two_ = FindOrLoadTexture("tex_two");
    InitGlobalVertexBuffer();
    dev().ClearRecord();
  }
  static std::vector<GVertex> Quads(int n, float x0 = 0) {
    std::vector<GVertex> v(size_t(n) * 4);
    for (int q = 0; q < n; ++q)
      for (int k = 0; k < 4; ++k) {
        GVertex& p = v[size_t(q) * 4 + k];
        p.x = x0 + float(q) + (k & 1);
        p.y = float(k >> 1);
        p.colour = 0xFF000000u | uint32_t(q);
      }
    return v;
  }
  int Draws() { return dev().CountCalls("DrawIndexedPrimitive"); }
  GVertexBuffer& vb() { return GetGlobalVertexBuffer(); }
  CLoadedTexture* one_ = nullptr;
  CLoadedTexture* two_ = nullptr;
};

TEST_F(VertexBufferTest, FlushesWhenFullNotBefore) {
  vb().SetTexture(one_);
  auto quads = Quads(1251);
  for (int q = 0; q < 1250; ++q) vb().AddVertices(&quads[size_t(q) * 4], 4);
  EXPECT_EQ(Draws(), 0);
  EXPECT_EQ(vb().QueuedCount(), 5000);
  vb().AddVertices(&quads[1250 * 4], 4);  // the 1251st quad draws the full batch first
  EXPECT_EQ(Draws(), 1);
  EXPECT_EQ(dev().draws.back().primitiveCount, 2500);
  EXPECT_EQ(vb().QueuedCount(), 4);
}

TEST_F(VertexBufferTest, FlushesOnTextureChangeByDeviceTexture) {
  auto quads = Quads(3);
  CLoadedTexture sameAsOne("tex_one");  // another handle of the same device texture
  struct Step {
    CLoadedTexture* texture;
    int drawsAfter;
  };
  std::vector<Step> steps = {{one_, 0},    {&sameAsOne, 0}, {two_, 1}, {two_, 1},
                             {nullptr, 2}, {nullptr, 2},    {one_, 3}};
  for (const Step& s : steps) {
    vb().SetTexture(s.texture);
    vb().AddVertices(quads.data(), 4);
    EXPECT_EQ(Draws(), s.drawsAfter);
  }
  vb().Flush();
  EXPECT_EQ(Draws(), 4);
  EXPECT_EQ(dev().draws.back().textures[0], one_->texture);
}

TEST_F(VertexBufferTest, DestroyedHandleIsNeverBoundLater) {
  auto quads = Quads(1);
  {
    CLoadedTexture temporary("tex_two");
    vb().SetTexture(&temporary);
    vb().AddVertices(quads.data(), 4);
  }
  EXPECT_EQ(vb().CurrentTexture(), nullptr);
  vb().Flush();  // draws the queued quad without touching the freed handle
  EXPECT_EQ(Draws(), 1);
}

TEST_F(VertexBufferTest, EmptyFlushMakesNoDeviceCall) {
  vb().Flush();
  vb().SetTexture(two_);
  vb().Flush();
  EXPECT_TRUE(dev().calls.empty());
}

TEST_F(VertexBufferTest, RingAppendsThenWrapsWithDiscard) {
  auto quads = Quads(600);
  vb().AddVertices(quads.data(), 2400);
  vb().Flush();
  vb().AddVertices(quads.data(), 2400);
  vb().Flush();
  EXPECT_EQ(vb().DrawStart(), 2400);
  EXPECT_EQ(vb().WritePosition(), 4800);
  vb().AddVertices(quads.data(), 400);  // 4800 + 400 passes the end
  vb().Flush();
  EXPECT_EQ(vb().DrawStart(), 0);
  EXPECT_EQ(vb().WritePosition(), 400);
  std::vector<std::string> draws;
  for (const auto& c : dev().calls)
    if (c.rfind("DrawIndexedPrimitive", 0) == 0) draws.push_back(c);
  EXPECT_EQ(draws, (std::vector<std::string>{"DrawIndexedPrimitive 4 0 0 2400 0 1200",
                                             "DrawIndexedPrimitive 4 2400 0 2400 0 1200",
                                             "DrawIndexedPrimitive 4 0 0 400 0 200"}));
  // The drawn vertices are the ones queued, in order.
  EXPECT_EQ(dev().draws.back().Colour(6), 0xFF000001u);  // quad 1, first index
}

TEST_F(VertexBufferTest, QuadIndexPattern) {
  const auto& idx = vb().Indices();
  ASSERT_EQ(idx.size(), 5000u / 4 * 6);
  EXPECT_EQ(std::vector<uint16_t>(idx.begin() + 6, idx.begin() + 12),
            (std::vector<uint16_t>{4, 5, 6, 6, 5, 7}));
  GVertexBuffer big;
  big.Init(20000);  // a buffer larger than the classic fixed index table
  ASSERT_TRUE(big.IsCreated());
  EXPECT_EQ(big.Indices().size(), 20000u / 4 * 6);
  EXPECT_EQ(big.Indices().back(), 19999);
}

TEST_F(VertexBufferTest, TransformAndBlendApplyAtFlush) {
  auto quads = Quads(1, 100);
  vb().transform = true;
  vb().offsetX = 50;
  vb().offsetY = -10;
  vb().scale = 2;
  vb().blendMode = 1;
  vb().AddVertices(quads.data(), 4);
  vb().Flush();
  const DrawRecord& r = dev().draws.back();
  EXPECT_FLOAT_EQ(r.X(0), (100 - 50) * 2.0f);
  EXPECT_FLOAT_EQ(r.Y(0), (0 + 10) * 2.0f);
  EXPECT_EQ(r.destBlend, uint32_t(BLEND_ONE));
  vb().transform = false;
  vb().blendMode = 2;
  vb().AddVertices(quads.data(), 4);
  vb().Flush();
  EXPECT_FLOAT_EQ(dev().draws.back().X(0), 100.0f);
  EXPECT_EQ(dev().draws.back().destBlend, uint32_t(BLEND_ONE));  // 2 leaves the blend alone
  EXPECT_FLOAT_EQ(quads[0].x, 100.0f);                           // callers' vertices untouched
}

TEST_F(VertexBufferTest, ExternalArrayDrawsItsOwnCountWithinCapacity) {
  auto quads = Quads(2000);
  vb().externalVertices = quads.data();
  vb().externalCount = 8;  // with nothing queued
  vb().Flush();
  ASSERT_EQ(Draws(), 1);
  EXPECT_EQ(dev().draws.back().primitiveCount, 4);
  EXPECT_EQ(vb().externalVertices, nullptr);
  vb().externalVertices = quads.data();
  vb().externalCount = 8000;  // more than the buffer holds: cut, never written past it
  vb().Flush();
  EXPECT_EQ(dev().draws.back().primitiveCount, 2500);
}

TEST_F(VertexBufferTest, OversizedAddIsSplitIntoWholeBatches) {
  auto quads = Quads(3000);
  vb().AddVertices(quads.data(), 12000);
  vb().Flush();
  EXPECT_EQ(Draws(), 3);
  EXPECT_EQ(dev().draws[0].primitiveCount + dev().draws[1].primitiveCount + dev().draws[2].primitiveCount,
            6000);
}

TEST_F(VertexBufferTest, FailedCreationLeavesAnInertBuffer) {
  GVertexBuffer b;
  dev().failCreateVertexBuffer = 1;
  b.Init(400);
  EXPECT_FALSE(b.IsCreated());
  EXPECT_NE(ErrorLog().find("Vertex Buffer creation failure"), std::string::npos);
  auto quads = Quads(2);
  dev().ClearRecord();
  b.AddVertices(quads.data(), 8);
  b.Flush();
  EXPECT_EQ(Draws(), 0);
  b.Init(400);  // re-created after the next reset
  EXPECT_TRUE(b.IsCreated());
}

}  // namespace
