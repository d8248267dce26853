// The title backdrop: its picture and logo sizes per screen width, where clouds start,
// how far they may move after a pause, and what the graphics detail leaves out.
#include <cmath>

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
    EXPECT_EQ(DrawsWith("clouds.dds") > 0, c.clouds);
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
