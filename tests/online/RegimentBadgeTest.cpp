// The regiment badge widget on the recording null device: its three layers drawn bottom
// to top inside its own viewport, placed and tinted as their records say; a layer that
// is not a shipped badge image is never drawn.
#include <algorithm>

#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "online/RegimentBadge.h"
#include "support/NullDeviceFixture.h"
#include "support/TestSupport.h"

using namespace zt_test;

namespace {

class RegimentBadgeTest : public NullDeviceTest {
 protected:
  RegimentBadge Layer(const std::string& texture, float scale, float offset, int r, int g, int b, int a) {
    RegimentBadge layer;
    layer.texture = texture;
    layer.scale = scale;
    layer.offset = offset;
    layer.red = r;
    layer.green = g;
    layer.blue = b;
    layer.alpha = a;
    return layer;
  }
  struct Quad {
    float left, top, right, bottom;
    uint32_t colour;
    platform::Viewport viewport;
  };
  // The textured quads the badge drew.
  std::vector<Quad> Draw(GUI_RegimentBadge& badge) {
    dev().draws.clear();
    dev().calls.clear();
    badge.Draw();
    std::vector<Quad> quads;
    for (const platform::DrawRecord& d : dev().draws) {
      if (!d.textures[0] || d.vertexCount < 4) continue;
      Quad q{d.X(0), d.Y(0), d.X(0), d.Y(0), d.Colour(0), d.viewport};
      for (int i = 1; i < d.vertexCount; ++i) {
        q.left = std::min(q.left, d.X(i));
        q.right = std::max(q.right, d.X(i));
        q.top = std::min(q.top, d.Y(i));
        q.bottom = std::max(q.bottom, d.Y(i));
      }
      quads.push_back(q);
    }
    return quads;
  }
};

TEST_F(RegimentBadgeTest, DrawsItsLayersInOrderPlacedAndTintedInsideItsViewport) {
  GUI_RegimentBadge badge;
  badge.SetRect(100, 200, 300, 400);
  RegimentBadge layers[3] = {Layer("badge_bg_shield.dds", 1.0f, 0.0f, 40, 60, 120, 255),
                             Layer("badge_crest_eagle.dds", 0.5f, -0.25f, 255, 0, 0, 255),
                             Layer("badge_inset_star.dds", 0.25f, 0.25f, 300, -5, 128, 999)};
  badge.SetLayers(layers);
  std::vector<Quad> quads = Draw(badge);
  ASSERT_EQ(quads.size(), 3u);
  for (const Quad& q : quads) {
    EXPECT_EQ(q.viewport.x, 100);
    EXPECT_EQ(q.viewport.y, 200);
    EXPECT_EQ(q.viewport.width, 200);
    EXPECT_EQ(q.viewport.height, 200);
  }
  // The background fills the element.
  EXPECT_NEAR(quads[0].right - quads[0].left, 200.0f, 1.5f);
  EXPECT_EQ(quads[0].colour, 0xFF283C78u);
  // Half the width, its centre a quarter of the width above the element's centre, opaque red.
  EXPECT_NEAR(quads[1].right - quads[1].left, 100.0f, 1.5f);
  EXPECT_NEAR((quads[1].left + quads[1].right) / 2, 200.0f, 1.0f);
  EXPECT_NEAR((quads[1].top + quads[1].bottom) / 2, 250.0f, 1.0f);
  EXPECT_EQ(quads[1].colour, 0xFFFF0000u);
  // Out-of-range colour numbers are clamped, not wrapped.
  EXPECT_NEAR((quads[2].top + quads[2].bottom) / 2, 350.0f, 1.0f);
  EXPECT_EQ(quads[2].colour, 0xFFFF0080u);
  // The full screen is the viewport again afterwards.
  platform::Viewport vp;
  dev().GetViewport(&vp);
  EXPECT_EQ(vp.width, ScreenW());
  EXPECT_EQ(vp.height, ScreenH());
}

TEST_F(RegimentBadgeTest, RefusesLayersThatAreNotShippedImagesOfTheirKind) {
  struct Case {
    const char* texture;
  } cases[] = {{"../../etc/passwd"}, {"battle_icon.dds"}, {"badge_crest_eagle.dds"}, {"/tmp/x.dds"}};
  for (const Case& c : cases) {
    GUI_RegimentBadge badge;
    badge.SetRect(0, 0, 64, 64);
    // The crest image offered as a background is refused too: each layer has its folder.
    RegimentBadge layers[3] = {Layer(c.texture, 1, 0, 255, 255, 255, 255),
                               Layer("badge_crest_lion.dds", 1, 0, 255, 255, 255, 255),
                               Layer("", 1, 0, 255, 255, 255, 255)};
    badge.SetLayers(layers);
    EXPECT_FALSE(badge.LayerShown(0)) << c.texture;
    EXPECT_TRUE(badge.LayerShown(1));
    EXPECT_FALSE(badge.LayerShown(2));
    EXPECT_EQ(Draw(badge).size(), 1u) << c.texture;
  }
}

TEST_F(RegimentBadgeTest, AMissingLayerRecordIsAFailedCheckAndChangesNothing) {
  GUI_RegimentBadge badge;
  badge.SetRect(0, 0, 64, 64);
  RegimentBadge bg = Layer("badge_bg_circle.dds", 1, 0, 10, 20, 30, 255);
  badge.SetLayers(&bg, &bg, &bg);
  ASSERT_TRUE(badge.LayerShown(0));
  EXPECT_FALSE(badge.LayerShown(1));
  RegimentBadge crest = Layer("badge_crest_wolf.dds", 1, 0, 1, 2, 3, 255);
  badge.SetLayers(&bg, &crest, nullptr);
  EXPECT_FALSE(badge.LayerShown(1));
  EXPECT_EQ(badge.Layer(0).red, 10);
}

}  // namespace
