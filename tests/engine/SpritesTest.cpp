// Sprite geometry (placement, rotation, frames, clipping, screen test) and drawing paths.
#include <cmath>

#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

class SpriteTest : public NullEngineTest {
 protected:
  static BaseSprite Make(float w, float h, float angle, float x, float y) {
    BaseSprite s;
    s.width = w;
    s.height = h;
    s.angle = angle;
    s.SetPosition(x, y);
    return s;
  }
};

TEST_F(SpriteTest, UnrotatedCorners) {
  BaseSprite s = Make(100, 50, 0, 200, 100);
  const float want[4][2] = {{150, 75}, {250, 75}, {150, 125}, {250, 125}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(s.v[i].x, want[i][0]) << i;
    EXPECT_FLOAT_EQ(s.v[i].y, want[i][1]) << i;
  }
  s.noRotation = true;
  s.angle = 45;
  s.SetPosition(200, 100);
  EXPECT_FLOAT_EQ(s.v[0].x, 150);  // the no-rotation flag ignores the angle
}

TEST_F(SpriteTest, ExactAndTablePlacementAgree) {
  for (float angle : {90.0f, 30.0f, 359.0f, 360.0f, -90.0f, 725.0f}) {
    BaseSprite exact = Make(100, 50, angle, 200, 100);
    BaseSprite fast = exact;
    fast.SetPositionFast(200, 100);
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(exact.v[i].x, fast.v[i].x, 1e-3) << angle;
      EXPECT_NEAR(exact.v[i].y, fast.v[i].y, 1e-3) << angle;
    }
  }
  BaseSprite r = Make(100, 50, 90, 200, 100);
  EXPECT_NEAR(r.v[0].x, 225, 1e-3);  // top-left swings to the right at 90 degrees
  EXPECT_NEAR(r.v[0].y, 50, 1e-3);
}

TEST_F(SpriteTest, SheetFrames) {
  struct Case {
    int n, rows, cols;
    float u0, u1, v0, v1;
    int ret;
  } cases[] = {{5, 2, 4, 0.25f, 0.5f, 0.5f, 1.0f, 2},
               {0, 4, 4, 0, 0.25f, 0, 0.25f, 1},
               {15, 4, 4, 0.75f, 1, 0.75f, 1, 4}};
  for (const Case& c : cases) {
    BaseSprite s;
    EXPECT_EQ(SetSpriteFrame(c.n, &s, c.rows, c.cols), c.ret);
    EXPECT_FLOAT_EQ(s.v[0].u, c.u0);
    EXPECT_FLOAT_EQ(s.v[3].u, c.u1);
    EXPECT_FLOAT_EQ(s.v[0].v, c.v0);
    EXPECT_FLOAT_EQ(s.v[3].v, c.v1);
  }
  BaseSprite s;
  SetSpriteFrameSquare(5, &s, 16);
  EXPECT_FLOAT_EQ(s.v[0].u, 0.25f);
  EXPECT_FLOAT_EQ(s.v[0].v, 0.25f);
  SetSpriteFrameSquare(3, &s, 0);  // no sheet: unchanged, no division by zero
  EXPECT_EQ(SetSpriteFrame(1, &s, 0, 4), 0);
  EXPECT_FLOAT_EQ(s.v[0].u, 0.25f);
}

TEST_F(SpriteTest, OnScreenTest) {
  struct Case {
    const char* what;
    float w, h, angle, x, y;
    bool on;
  } cases[] = {{"inside", 10, 10, 0, 100, 100, true},
               {"covers the whole screen", 5000, 5000, 0, 512, 384, true},
               {"wide band across the middle", 3000, 20, 0, 512, 384, true},
               {"tall band left of the screen", 20, 3000, 0, -100, 384, false},
               {"off to the right", 10, 10, 0, 2000, 100, false},
               {"rotated, corner poking in", 100, 100, 45, -60, -60, true},
               {"rotated, fully outside", 10, 10, 45, -100, 100, false}};
  for (const Case& c : cases) EXPECT_EQ(Make(c.w, c.h, c.angle, c.x, c.y).IsOnScreen(), c.on) << c.what;
}

TEST_F(SpriteTest, ContainsIsStrict) {
  BaseSprite s = Make(20, 10, 0, 50, 50);  // 40..60 by 45..55
  EXPECT_TRUE(s.Contains(50, 50));
  EXPECT_FALSE(s.Contains(40, 50));
  EXPECT_FALSE(s.Contains(60, 50));
  EXPECT_FALSE(s.Contains(50, 45));
  EXPECT_FALSE(s.Contains(50, 55));
}

TEST_F(SpriteTest, ClippedDrawMovesTextureCoordinatesWithTheEdge) {
  BaseSprite s = Make(100, 100, 0, 100, 100);  // 50..150
  s.SetUV(0.0f, 0.0f, 0.5f, 1.0f);
  dev().ClearRecord();
  s.DrawClipped(75, 0, 1000, 125);
  ASSERT_EQ(dev().draws.size(), 1u);
  const DrawRecord& r = dev().draws[0];
  EXPECT_FLOAT_EQ(r.X(0), 75);
  EXPECT_FLOAT_EQ(r.U(0), 0.125f);  // a quarter of the width, a quarter of the 0.5 span
  EXPECT_FLOAT_EQ(r.U(1), 0.5f);
  EXPECT_FLOAT_EQ(r.Y(2), 125);
  EXPECT_FLOAT_EQ(r.V(2), 0.75f);
  EXPECT_FLOAT_EQ(s.v[0].x, 50);      // the sprite itself is untouched
  s.DrawClipped(500, 500, 600, 600);  // nothing left
  EXPECT_EQ(dev().draws.size(), 1u);
}

TEST_F(SpriteTest, DirectDrawOpensASceneAndSkipsOffScreenSprites) {
  BaseSprite on = Make(10, 10, 0, 100, 100), off = Make(10, 10, 0, -100, -100);
  dev().ClearRecord();
  off.DrawDirect();
  EXPECT_TRUE(dev().calls.empty());
  on.DrawDirect();
  EXPECT_TRUE(engine().InScene());
  ASSERT_EQ(dev().draws.size(), 1u);
  EXPECT_EQ(dev().draws[0].type, PrimitiveType::TriangleStrip);
  EXPECT_EQ(dev().draws[0].stride, 28);
  engine().EndScene();
}

TEST_F(SpriteTest, QuadSpriteMirrorsTheQuarterImage) {
  QuadSprite q;
  q.SetSize(100);
  q.SetAngle(200, 200);
  // Top-right runs u backwards, bottom-left v backwards, bottom-right both.
  EXPECT_FLOAT_EQ(q.quads[0].v[0].u, 0);
  EXPECT_FLOAT_EQ(q.quads[1].v[0].u, 1);
  EXPECT_FLOAT_EQ(q.quads[1].v[0].v, 0);
  EXPECT_FLOAT_EQ(q.quads[2].v[0].u, 0);
  EXPECT_FLOAT_EQ(q.quads[2].v[0].v, 1);
  EXPECT_FLOAT_EQ(q.quads[3].v[0].u, 1);
  EXPECT_FLOAT_EQ(q.quads[3].v[0].v, 1);
  // Quadrants of 50 centred 25 from the middle: together they span 150..250.
  EXPECT_FLOAT_EQ(q.quads[0].v[0].x, 150);
  EXPECT_FLOAT_EQ(q.quads[3].v[3].x, 250);
  q.SetAlpha(128);
  EXPECT_EQ(q.quads[2].v[1].colour, 0x80FFFFFFu);
  dev().ClearRecord();
  q.Draw();
  EXPECT_EQ(dev().draws.size(), 4u);
  engine().EndScene();
}

TEST_F(SpriteTest, SpriteListsFlushAtEachTextureChange) {
  engine().CreateRenderTarget("tex_a", 4, 4, Format::A8R8G8B8);
  engine().CreateRenderTarget("tex_b", 4, 4, Format::A8R8G8B8);
  InitGlobalVertexBuffer();
  std::vector<CTexturedSprite> sprites(6);
  SpriteList list;
  for (size_t i = 0; i < sprites.size(); ++i) {
    sprites[i].width = sprites[i].height = 8;
    sprites[i].SetPosition(float(20 * i + 10), 10);
    sprites[i].texture = FindOrLoadTexture(i % 2 ? "tex_a" : "tex_b");
    AddSpriteToList(list, &sprites[i]);
  }
  SpriteList unsorted = list;
  dev().ClearRecord();
  DrawSpriteList(unsorted, true);
  EXPECT_TRUE(unsorted.empty());
  EXPECT_EQ(dev().CountCalls("DrawIndexedPrimitive"), 6);  // alternating textures
  // Kept when not asked to clear.
  dev().ClearRecord();
  DrawSpriteList(list, false);
  EXPECT_EQ(list.size(), 6u);
}

TEST_F(SpriteTest, CompositeSpriteUsesTheTwoCoordinateFormat) {
  GCompositeSprite& c = GetCompositeSprite();
  c.width = 64;
  c.height = 64;
  c.SetPosition(100, 100);
  c.SetFrame(6);
  dev().ClearRecord();
  c.Draw();
  ASSERT_EQ(dev().draws.size(), 1u);
  EXPECT_EQ(dev().draws[0].stride, 36);
  EXPECT_EQ(dev().draws[0].fvf, FVF_TWOUV);
  EXPECT_FLOAT_EQ(dev().draws[0].U(0), 0.5f);
  EXPECT_FLOAT_EQ(dev().draws[0].V(0), 0.25f);
  EXPECT_FLOAT_EQ(dev().draws[0].U(3, 1), 1.0f);
  engine().EndScene();
}

}  // namespace
