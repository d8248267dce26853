// The title backdrop: its picture and logo sizes per screen width, where clouds start,
// how far they may move after a pause, and what the graphics detail leaves out.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "MenuFixture.h"
#include "app/TitleBackdrop.h"
#include "simdata/Options.h"

namespace menu_test {
namespace {

using TitleBackdropTest = MenuTest;

TEST_F(TitleBackdropTest, PictureAndLogoSizesFollowTheScreenWidth) {
  struct Case {
    int w, h;
    float picture;  // square side
    float logoW, logoH;
  } cases[] = {
      {800, 600, 800.0f / 0.6279296875f, 800.0f / 0.6279296875f, 400.0f / 0.6279296875f},
      {1024, 768, 1630.756f, 1630.756f, 815.378f},  // about 1630.8: wider than the screen
      {1280, 1024, 1280.0f, 1280.0f, 640.0f},
      {1366, 768, 1366.0f, 1366.0f, 683.0f},
      {1365, 768, 1365.0f, 1365.0f, 682.0f},  // half the width, in whole pixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    GetRenderDevice().SetScreenSize(c.w, c.h);
    GUI_TitleBackdrop backdrop;
    EXPECT_NEAR(backdrop.Picture().width, c.picture, 0.01f);
    EXPECT_NEAR(backdrop.Picture().height, c.picture, 0.01f);
    EXPECT_NEAR(backdrop.Logo().width, c.logoW, 0.01f);
    EXPECT_NEAR(backdrop.Logo().height, c.logoH, 0.01f);
  }
}

TEST_F(TitleBackdropTest, CloudsStartInsideTheirRanges) {
  GUI_TitleBackdrop backdrop;
  const float W = 1024.0f, H = 768.0f;
  bool framesSeen[4] = {false, false, false, false};
  for (int round = 0; round < 200; ++round) {
    const bool initial = round % 2 == 0;
    GUI_TitleBackdrop::Cloud& c = backdrop.CloudAt(round % GUI_TitleBackdrop::kCloudCount);
    backdrop.StartCloud(c, initial);
    const float size = c.sprite.width;
    ASSERT_GE(c.frame, 0);
    ASSERT_LE(c.frame, 3);
    framesSeen[c.frame] = true;
    EXPECT_GE(size, 512.0f);
    EXPECT_LT(size, 700.0f);
    EXPECT_FLOAT_EQ(c.sprite.height, size);
    if (initial) {
      EXPECT_GE(c.x, 0.0f);
      EXPECT_LT(c.x, 2.0f * W);
    } else {
      EXPECT_FLOAT_EQ(c.x, size * 1.5f + W);  // just beyond the right edge
    }
    EXPECT_GE(c.y, 0.0f);
    EXPECT_LT(c.y, H);
    EXPECT_GE(c.speedX, -0.024f);  // always drifting left
    EXPECT_LT(c.speedX, -0.012f);
    EXPECT_GE(c.speedY, -0.012f);
    EXPECT_LT(c.speedY, 0.012f);
    EXPECT_GE(c.turn, -0.1f);
    EXPECT_LT(c.turn, 0.1f);
    EXPECT_GE(c.angle, 0.0f);
    EXPECT_LT(c.angle, 360.0f);
    // The sprite shows one quarter of the 2 by 2 sheet.
    EXPECT_FLOAT_EQ(c.sprite.v[1].u - c.sprite.v[0].u, 0.5f);
    EXPECT_FLOAT_EQ(c.sprite.v[0].u, (c.frame % 2) * 0.5f);
    EXPECT_FLOAT_EQ(c.sprite.v[0].v, (c.frame / 2) * 0.5f);
    EXPECT_EQ(c.sprite.v[0].colour, GUI_TitleBackdrop::kCloudColour);
  }
  for (int f = 0; f < 4; ++f) EXPECT_TRUE(framesSeen[f]) << "frame " << f << " never chosen";
}

TEST_F(TitleBackdropTest, AfterALongPauseCloudsMoveAtMostOneCappedStep) {
  GUI_TitleBackdrop backdrop;
  struct Case {
    double pauseMs;
    float steps;  // step units moved: 2 x the capped milliseconds
  } cases[] = {{10.0, 20.0f}, {32.0, 64.0f}, {60000.0, 64.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pauseMs);
    float x[GUI_TitleBackdrop::kCloudCount], y[GUI_TitleBackdrop::kCloudCount],
        angle[GUI_TitleBackdrop::kCloudCount];
    for (int i = 0; i < GUI_TitleBackdrop::kCloudCount; ++i) {
      x[i] = backdrop.CloudAt(i).x;
      y[i] = backdrop.CloudAt(i).y;
      angle[i] = backdrop.CloudAt(i).angle;
    }
    AdvanceMs(c.pauseMs);
    backdrop.UpdateClouds();
    for (int i = 0; i < GUI_TitleBackdrop::kCloudCount; ++i) {
      const GUI_TitleBackdrop::Cloud& cl = backdrop.CloudAt(i);
      if (cl.x > x[i]) continue;  // left the screen and started again
      EXPECT_NEAR(cl.x - x[i], cl.speedX * c.steps, 1e-3f);
      EXPECT_NEAR(cl.y - y[i], cl.speedY * c.steps, 1e-3f);
      // The turn is per update, whatever the time.
      float turned = cl.angle - angle[i];
      if (turned > 180.0f) turned -= 360.0f;
      if (turned < -180.0f) turned += 360.0f;
      EXPECT_NEAR(turned, cl.turn, 1e-3f);
    }
  }
}

TEST_F(TitleBackdropTest, ACloudThatDriftedOffTheLeftStartsAgainOnTheRight) {
  GUI_TitleBackdrop backdrop;
  GUI_TitleBackdrop::Cloud& c = backdrop.CloudAt(0);
  const float size = c.sprite.width;
  c.x = -1.5f * size - 10.0f;
  AdvanceMs(16);
  backdrop.UpdateClouds();
  EXPECT_FLOAT_EQ(c.x, c.sprite.width * 1.5f + 1024.0f);
}

TEST_F(TitleBackdropTest, DrawsPictureCloudsThenLogoAndLowDetailLeavesTheCloudsOut) {
  struct Case {
    float detail;
    bool logo;
    bool clouds;
    int w, h;  // a picture exactly as wide as the screen must still be drawn
  } cases[] = {{1.0f, true, true, 1024, 768},  {0.75f, false, true, 1024, 768},
               {0.7f, true, false, 1024, 768}, {0.0f, false, false, 1024, 768},
               {1.0f, true, true, 1280, 1024}, {0.0f, true, false, 1920, 1080}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.detail << " at " << c.w);
    SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", c.detail);
    GetRenderDevice().SetScreenSize(c.w, c.h);
    GUI_TitleBackdrop backdrop;
    const float x0 = backdrop.CloudAt(3).x;
    device->ClearRecord();
    AdvanceMs(20);
    backdrop.Draw(c.logo);
    ASSERT_FALSE(device->draws.empty());
    EXPECT_EQ(device->draws.front().textures[0], FindTexture("titlescreen.jpg"));
    EXPECT_EQ(DrawsWith("titlescreen.jpg"), 1);
    EXPECT_EQ(DrawsWith("titlescreen_logo.dds"), c.logo ? 1 : 0);
    if (c.logo) {
      EXPECT_EQ(device->draws.back().textures[0], FindTexture("titlescreen_logo.dds"));
    }
    ASSERT_NE(backdrop.CloudAt(0).sprite.texture, nullptr);
    EXPECT_EQ(DrawsWith(backdrop.CloudAt(0).sprite.texture->Texture()) > 0, c.clouds);
    EXPECT_EQ(backdrop.CloudAt(3).x != x0, c.clouds) << "clouds moved at low detail";
    // The screen is cleared to opaque black before anything is drawn, unless the opaque
    // picture drawn first covers all of it.
    bool cleared = false;
    for (const std::string& call : device->calls) {
      if (call.rfind("DrawPrimitiveUP", 0) == 0) break;
      if (call.rfind("Clear", 0) == 0 && call.find("FF000000") != std::string::npos) cleared = true;
    }
    const platform::DrawRecord& picture = device->draws.front();
    float l = picture.X(0), r = l, t = picture.Y(0), b = t;
    for (int i = 1; i < picture.vertexCount; ++i) {
      l = std::min(l, picture.X(i));
      r = std::max(r, picture.X(i));
      t = std::min(t, picture.Y(i));
      b = std::max(b, picture.Y(i));
    }
    const bool covers =
        l <= 0.0f && t <= 0.0f && r >= static_cast<float>(c.w) - 1.0f && b >= static_cast<float>(c.h) - 1.0f;
    EXPECT_TRUE(cleared || covers);
    EXPECT_EQ(backdrop.CoversScreen(), covers);
  }
}

TEST_F(TitleBackdropTest, TheMenuArtExistsWithTheSizesItIsDrawnAt) {
  struct Case {
    const char* name;
    int w, h;
  } cases[] = {
      {"titlescreen.jpg", 2048, 2048},       // square: drawn square
      {"titlescreen_logo.dds", 2048, 1024},  // twice as wide as high, as drawn
      {"clouds.dds", 1024, 1024},            // 2 by 2 square frames
      {"circular_wipe.dds", 512, 512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::Texture* t = FindTexture(c.name);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Width(), c.w);
    EXPECT_EQ(t->Height(), c.h);
  }
}

// Whether (x, y) lies in one of the triangles of a recorded strip.
bool InsideStrip(const platform::DrawRecord& d, float x, float y) {
  for (int i = 0; i + 2 < d.vertexCount; ++i) {
    const float ax = d.X(i), ay = d.Y(i), bx = d.X(i + 1), by = d.Y(i + 1), cx = d.X(i + 2), cy = d.Y(i + 2);
    const float d1 = (bx - ax) * (y - ay) - (by - ay) * (x - ax);
    const float d2 = (cx - bx) * (y - by) - (cy - by) * (x - bx);
    const float d3 = (ax - cx) * (y - cy) - (ay - cy) * (x - cx);
    const bool negative = d1 < 0.0f || d2 < 0.0f || d3<0.0f, positive = d1> 0.0f || d2 > 0.0f || d3 > 0.0f;
    if (!(negative && positive)) return true;
  }
  return false;
}

// Pixels the sprite's whole quad covers on the screen.
uint64_t WholeQuadPixels(const BaseSprite& s, int w, int h) {
  std::vector<float> xy;
  for (const GVertex& v : s.v) {
    xy.push_back(v.x);
    xy.push_back(v.y);
  }
  return platform::CoveredPixels(platform::PrimitiveType::TriangleStrip, xy, platform::Rect{0, 0, w, h});
}

// At the screen size of the case: the device's own back buffer is that size.
class TitleBackdropOutlineTest : public MenuTest, public testing::WithParamInterface<std::pair<int, int>> {
 protected:
  int ScreenW() const override { return GetParam().first; }
  int ScreenH() const override { return GetParam().second; }

  // Every place where bilinear sampling of the sprite's whole quad would pick up a shown
  // texel (alpha above 0) lies inside what was drawn for it: the art's rim texels, their
  // centres and the points just short of a texel away. Returns the places missed.
  int MissedArt(const CTexturedSprite& sprite, const platform::DrawRecord& drawn) {
    platform::Texture* t = sprite.texture->Texture();
    const int tw = t->Width(), th = t->Height();
    std::vector<uint32_t> argb;
    EXPECT_EQ(device->ReadPixels(t, platform::Rect{0, 0, tw, th}, &argb), platform::D3D_OK);
    const GVertex* q = sprite.v;
    const float cl = q[0].u * float(tw), ct = q[0].v * float(th);
    const float cw = (q[1].u - q[0].u) * float(tw), ch = (q[2].v - q[0].v) * float(th);
    auto shown = [&](int x, int y) {
      return x >= int(cl) && y >= int(ct) && x < int(cl + cw) && y < int(ct + ch) &&
             (argb[size_t(y) * size_t(tw) + size_t(x)] >> 24) != 0;
    };
    int missed = 0;
    for (int y = int(ct); y < int(ct + ch); ++y)
      for (int x = int(cl); x < int(cl + cw); ++x) {
        if (!shown(x, y)) continue;
        if (shown(x - 1, y) && shown(x + 1, y) && shown(x, y - 1) && shown(x, y + 1)) continue;  // inside
        for (float dy : {-0.99f, 0.0f, 0.99f})
          for (float dx : {-0.99f, 0.0f, 0.99f}) {
            const float s = std::clamp((float(x) + 0.5f + dx - cl) / cw, 0.0f, 1.0f);
            const float tt = std::clamp((float(y) + 0.5f + dy - ct) / ch, 0.0f, 1.0f);
            const float px = q[0].x + s * (q[1].x - q[0].x) + tt * (q[2].x - q[0].x);
            const float py = q[0].y + s * (q[1].y - q[0].y) + tt * (q[2].y - q[0].y);
            if (!InsideStrip(drawn, px, py) && missed++ == 0)
              ADD_FAILURE() << "texel " << x << ", " << y << " sampled at " << px << ", " << py
                            << " lies outside what was drawn";
          }
      }
    return missed;
  }
};

// The clouds' and the logo's pictures are mostly clear: only where their art shows are
// they drawn, which on a software rasteriser is most of the menu's cost.
TEST_P(TitleBackdropOutlineTest, CloudsAndLogoAreDrawnWhereverTheirArtShowsAndLittleElse) {
  const int w = ScreenW(), h = ScreenH();
  // Two sets of clouds.
  for (int seed : {1234, 77}) {
    SCOPED_TRACE(seed);
    InitRandomWithSeed(seed);
    SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", 1.0f);
    GUI_TitleBackdrop backdrop;
    device->ClearRecord();
    AdvanceMs(20);
    backdrop.Draw(true);
    ASSERT_NE(backdrop.CloudAt(0).sprite.texture, nullptr);
    ASSERT_NE(backdrop.Logo().texture, nullptr);
    const platform::Texture* sheet = backdrop.CloudAt(0).sprite.texture->Texture();
    const platform::Texture* logo = backdrop.Logo().texture->Texture();
    std::vector<const platform::DrawRecord*> cloudDraws;
    const platform::DrawRecord* logoDraw = nullptr;
    for (const platform::DrawRecord& d : device->draws) {
      if (d.textures[0] == sheet) cloudDraws.push_back(&d);
      if (d.textures[0] == logo) logoDraw = &d;
    }
    // The clouds on the screen, in the order they are drawn.
    std::vector<const CTexturedSprite*> onScreen;
    for (int i = 0; i < GUI_TitleBackdrop::kCloudCount; ++i)
      if (backdrop.CloudAt(i).sprite.IsOnScreen()) onScreen.push_back(&backdrop.CloudAt(i).sprite);
    ASSERT_GE(onScreen.size(), 3u);
    ASSERT_EQ(cloudDraws.size(), onScreen.size());
    ASSERT_NE(logoDraw, nullptr);

    uint64_t wholeClouds = 0;
    for (size_t i = 0; i < onScreen.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "cloud drawn " << i);
      EXPECT_EQ(MissedArt(*onScreen[i], *cloudDraws[i]), 0);
      wholeClouds += WholeQuadPixels(*onScreen[i], w, h);
    }
    EXPECT_EQ(MissedArt(backdrop.Logo(), *logoDraw), 0) << "the logo";
    const GUI_TitleBackdrop::LayerPixels& drawn = backdrop.LastDrawPixels();
    EXPECT_LT(drawn.clouds, wholeClouds * 7 / 10) << "the clear corners of the clouds' cells are drawn";
    EXPECT_GT(drawn.clouds, wholeClouds * 3 / 10);
    EXPECT_LT(drawn.logo, WholeQuadPixels(backdrop.Logo(), w, h) / 4) << "the sky around the logo is drawn";
    EXPECT_GT(drawn.logo, 0u);
    EXPECT_GE(drawn.picture, uint64_t(w) * uint64_t(h) * 99 / 100) << "the picture fills the screen";
  }
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, TitleBackdropOutlineTest,
                         testing::Values(std::make_pair(1280, 1024), std::make_pair(1024, 768)));

// The menu samples plain texels at the sizes it draws; the battle, which draws the same
// clouds at other sizes, keeps the file's sheet with its mip chain.
TEST_F(TitleBackdropTest, TheMenuDrawsPlainTexelsAndLeavesTheBattlesCloudSheetAsItIs) {
  GetRenderDevice().SetScreenSize(1280, 1024);
  GUI_TitleBackdrop backdrop;
  const platform::Texture* sheet = backdrop.CloudAt(0).sprite.texture->Texture();
  const platform::Texture* logo = backdrop.Logo().texture->Texture();
  ASSERT_NE(sheet, nullptr);
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(sheet->Width(), 512);
  EXPECT_EQ(sheet->Height(), 512);
  EXPECT_EQ(sheet->Levels(), 1);
  EXPECT_EQ(sheet->GetFormat(), platform::Format::A8R8G8B8);
  for (int i = 1; i < GUI_TitleBackdrop::kCloudCount; ++i)
    EXPECT_EQ(backdrop.CloudAt(i).sprite.texture->Texture(), sheet) << "one sheet for every cloud";
  EXPECT_EQ(logo->Width(), 1280);
  EXPECT_EQ(logo->Height(), 640);
  EXPECT_EQ(logo->Levels(), 1);
  EXPECT_EQ(logo->GetFormat(), platform::Format::A8R8G8B8);

  platform::Texture* battleSheet = FindOrLoadTexture("clouds.dds")->texture;
  ASSERT_NE(battleSheet, nullptr);
  EXPECT_NE(battleSheet, sheet);
  EXPECT_EQ(battleSheet->Width(), 1024);
  EXPECT_GT(battleSheet->Levels(), 1);
}

// Sampled from its mip levels, a sheet's art reaches as far as the levels were made to:
// such a sprite is drawn whole; at its own size or larger it is outlined.
TEST_F(TitleBackdropTest, ASheetSampledFromItsMipLevelsIsDrawnWhole) {
  GUI_TitleBackdrop backdrop;
  // The battle's cloud sheet: 512-texel cells with a mip chain.
  CTexturedSprite sprite;
  sprite.SetTextureByName("clouds.dds");
  ASSERT_NE(sprite.texture->Texture(), nullptr);
  ASSERT_GT(sprite.texture->Texture()->Levels(), 1);
  SetSpriteFrameSquare(1, &sprite, 4);
  struct Case {
    float side;
    bool whole;
  } cases[] = {{256.0f, true}, {511.0f, true}, {512.0f, false}, {700.0f, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.side);
    sprite.SetSize(c.side, c.side);
    sprite.SetPosition(512.0f, 384.0f);
    EXPECT_EQ(backdrop.OutlineOf(sprite).whole, c.whole);
  }
}

class TitleBackdropWithoutArtTest : public MenuTest {
 protected:
  void SetUp() override {
    registerArt = false;
    MenuTest::SetUp();
  }
};

TEST_F(TitleBackdropWithoutArtTest, MissingArtLeavesABlackScreenNotBlankSheets) {
  GUI_TitleBackdrop backdrop;
  device->ClearRecord();
  AdvanceMs(20);
  backdrop.Draw(true);
  EXPECT_TRUE(device->draws.empty()) << "untextured quads drawn for missing art";
  EXPECT_GE(device->CountCalls("Clear"), 1);
}

}  // namespace
}  // namespace menu_test
