// The colour field: what a click picks, and the generated picture that shows it.
#include <gtest/gtest.h>

#include <string>

#include "platform/Image.h"
#include "support/TestSupport.h"
#include "unitdesign/ColourField.h"

namespace {

TEST(ColourField, BandsAndBrightnessPickTheExpectedColours) {
  const int w = 324, h = 150;  // c = 51 pixels a band, middle row 75
  struct Case {
    int x, y, r, g, b;
  } cases[] = {
      {0, 75, 255, 0, 0},        // red, full strength in the middle
      {51, 75, 255, 255, 0},     // yellow starts the second band
      {102, 75, 0, 255, 0},      // green
      {153, 75, 0, 255, 255},    // cyan
      {204, 75, 0, 0, 255},      // blue
      {255, 75, 255, 0, 255},    // magenta
      {306, 75, 128, 128, 128},  // the grey band
      {323, 75, 128, 128, 128},  // the grey band runs to the field's edge
      {0, 0, 255, 255, 255},     // white at the top
      {0, 149, 3, 0, 0},         // almost black at the bottom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    const ColourFieldPick p = PickColourField(w, h, c.x, c.y);
    EXPECT_EQ(p.red, c.r);
    EXPECT_EQ(p.green, c.g);
    EXPECT_EQ(p.blue, c.b);
  }
  // A field too small for its bands picks black rather than dividing by zero.
  const ColourFieldPick tiny = PickColourField(10, 10, 5, 5);
  EXPECT_EQ(tiny.red + tiny.green + tiny.blue, 0);
}

TEST(ColourField, TheShippedPictureShowsWhatAClickPicks) {
  platform::DecodedImage image;
  std::string error;
  ASSERT_TRUE(
      platform::LoadImageFile(zt_test::BuildDir() + "/data/bitmaps/gui/colorpicker.bmp", &image, &error))
      << error;
  ASSERT_EQ(image.width, 324);
  ASSERT_EQ(image.height, 150);
  for (int y = 0; y < image.height; y += 7) {
    for (int x = 0; x < image.width; x += 5) {
      const ColourFieldPick p = PickColourField(image.width, image.height, x, y);
      const uint32_t px = image.levels[0][static_cast<size_t>(y) * image.width + x];
      ASSERT_EQ(static_cast<int>((px >> 16) & 0xFF), p.red) << x << "," << y;
      ASSERT_EQ(static_cast<int>((px >> 8) & 0xFF), p.green) << x << "," << y;
      ASSERT_EQ(static_cast<int>(px & 0xFF), p.blue) << x << "," << y;
    }
  }
}

}  // namespace
