// Sprites whose edges sit exactly on the screen's edges: a full-screen picture must be
// drawn, a sprite that only touches the screen from outside must not.
#include "engine/Sprites.h"
#include "support/GraphicsTestSupport.h"

using namespace zt_graphics_test;

namespace {

class SpriteScreenEdgeTest : public NullEngineTest {};

// Screen of the fixture: 1024 by 768. Sprites given by their edges.
TEST_F(SpriteScreenEdgeTest, EdgesOnTheScreenEdges) {
  struct Case {
    const char* what;
    float left, top, right, bottom, angle;
    bool on;
  } cases[] = {
      {"exactly the screen", 0, 0, 1024, 768, 0, true},
      {"exactly the screen, turned half round", 0, 0, 1024, 768, 180, true},
      {"top half, full width", 0, 0, 1024, 384, 0, true},
      {"left half, full height", 0, 0, 512, 768, 0, true},
      {"wider than the screen, full height", -100, 0, 1124, 768, 0, true},
      {"taller than the screen, full width", 0, -100, 1024, 868, 0, true},
      {"one-pixel column on the left edge", 0, 0, 1, 768, 0, true},
      {"one-pixel row on the bottom edge", 0, 767, 1024, 768, 0, true},
      {"touches the left edge from outside", -100, 0, 0, 768, 0, false},
      {"touches the right edge from outside", 1024, 0, 1124, 768, 0, false},
      {"touches the top edge from outside", 0, -50, 1024, 0, 0, false},
      {"touches the bottom edge from outside", 0, 768, 1024, 800, 0, false},
      {"touches a corner from outside", 1024, 768, 1100, 800, 0, false},
      {"no area, in the middle", 512, 384, 512, 384, 0, false},
  };
  for (const Case& c : cases) {
    BaseSprite s;
    s.SetSize(c.right - c.left, c.bottom - c.top);
    s.angle = c.angle;
    s.SetPosition((c.left + c.right) / 2.0f, (c.top + c.bottom) / 2.0f);
    EXPECT_EQ(s.IsOnScreen(), c.on) << c.what;
  }
}

TEST_F(SpriteScreenEdgeTest, FullScreenSpriteIsDrawnDirectly) {
  BaseSprite s;
  s.SetSize(1024, 768);
  s.SetPosition(512, 384);
  const size_t before = dev().draws.size();
  s.DrawDirect();
  EXPECT_EQ(dev().draws.size(), before + 1);
  engine().EndScene();
}

}  // namespace
