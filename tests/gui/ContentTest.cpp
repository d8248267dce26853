// Every texture and text the toolkit asks for ships with the game, under its exact name.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/Strings.h"
#include "gui/SharedTextures.h"
#include "platform/Dds.h"

namespace {

// File names below data/bitmaps (any sub-folder), as the texture loader finds them.
std::set<std::string> BitmapNames() {
  std::set<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator("data/bitmaps", ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->is_regular_file()) names.insert(it->path().filename().string());
  }
  return names;
}

TEST(GuiContentTest, EveryTextureTheToolkitLoadsExists) {
  const std::set<std::string> present = BitmapNames();
  const char* const widgetTextures[] = {
      "textbutton.dds",         "textbutton_h.dds",      "dlg_close_button.dds",
      "dlg_close_button_h.dds", "gui_square.dds",        "gui_checkbox_fill.dds",
      "titlebar.dds",           "ui_deployment_bg.dds",  "enigma.jpg",
      "minimap_panel.dds",                                // the toggle button's on/off cells
      "gui_file_delete.dds",    "gui_file_delete_h.dds",  // the file picker's delete button
  };
  for (const char* name : widgetTextures) EXPECT_EQ(present.count(name), 1u) << name;
  for (int i = 0; i < SHARED_TEXTURE_COUNT; ++i) {
    const std::string name = GUI_SharedTextures::Name(i);
    if (name.rfind("rt_", 0) == 0) continue;  // render targets are made at start-up
    EXPECT_EQ(present.count(name), 1u) << name;
  }
}

TEST(GuiContentTest, EveryTextTheToolkitShowsIsTranslated) {
  const char* const keys[] = {"CONFIRM_YES",
                              "CONFIRM_NO",
                              "MESSAGE_OK",
                              "GUI_PLEASEWAIT",
                              "PLEASEWAIT_CANCEL",
                              "BB_DETAILS_ATTACK_SUP_PER_SEC",
                              "BB_DETAILS_ATTACK_SUP_PER_SEC_TT",
                              "BB_DETAILS_DEFENCE_SUP_PER_SEC",
                              "BB_DETAILS_DEFENCE_SUP_PER_SEC_TT",
                              "BB_DETAILS_TIME_LIMIT",
                              "BB_DETAILS_TIME_LIMIT_TT",
                              "BB_DETAILS_ESCAPE_LIMIT",
                              "BB_DETAILS_ESCAPE_LIMIT_TT",
                              "FILEOPEN_FILENAME",
                              "FILESAVE_FILENAME",
                              "FILE_OPEN",
                              "FILE_OPEN_TOOLTIP",
                              "FILE_SAVE",
                              "FILE_SAVE_TOOLTIP",
                              "FILEPICKER_DELETE_TOOLTIP",
                              "FILEPICKER_CONFIRM_DELETE_TITLE",
                              "FILEPICKER_CONFIRM_DELETE_TEXT",
                              "FILEPICKER_DELETE_FAILED_TITLE",
                              "FILEPICKER_DELETE_FAILED_TEXT",
                              "OVERWRITE_CONFIRM_TITLE",
                              "OVERWRITE_CONFIRM_TEXT",
                              "FILESAVE_INVALID_TITLE",
                              "FILESAVE_NAME_EMPTY",
                              "FILESAVE_NAME_SEPARATOR",
                              "FILESAVE_NAME_DOTS",
                              "FILESAVE_NAME_CONTROL",
                              "FILESAVE_NAME_TOO_LONG"};
  for (const char* key : keys) EXPECT_TRUE(HasTranslation(key)) << key;
}

// The battle HUD draws fixed UV boxes of "minimap_panel.dds"; a box that comes out empty,
// half transparent or identical in both states means the atlas was laid out wrongly.
struct PanelBox {
  const char* what;
  float u0, v0, u1, v1;
  bool solid;  // every texel opaque (stretched fills and the map backdrop)
};

PanelBox Cell(const char* what, int n) {
  const float u = (n % 8) / 8.0f, v = (n / 8) / 8.0f;
  return {what, u, v, u + 0.125f, v + 0.125f, false};
}

class MinimapPanelAtlas : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in("data/bitmaps/gui/minimap_panel.dds", std::ios::binary);
    ASSERT_TRUE(in) << "minimap_panel.dds is missing";
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    ASSERT_TRUE(platform::ReadDds(bytes.data(), bytes.size(), &img_, &error)) << error;
  }
  uint32_t At(int x, int y) const { return img_.levels[0][size_t(y) * size_t(img_.width) + size_t(x)]; }
  // Texels whose centres lie inside the box, as the sampler sees them.
  template <typename F>
  void ForEach(const PanelBox& b, F f) const {
    const int x0 = int(b.u0 * img_.width + 0.5f), x1 = int(b.u1 * img_.width + 0.5f);
    const int y0 = int(b.v0 * img_.height + 0.5f), y1 = int(b.v1 * img_.height + 0.5f);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) f(x, y, At(x, y));
  }
  platform::DecodedImage img_;
};

TEST_F(MinimapPanelAtlas, IsSquareAndSplitsIntoWholeTexelCells) {
  // Cells and mip levels only line up with the grid on a power-of-two square.
  EXPECT_EQ(img_.width, img_.height);
  EXPECT_GE(img_.width, 256);
  EXPECT_EQ(img_.width & (img_.width - 1), 0);
}

TEST_F(MinimapPanelAtlas, EveryRegionTheHudDrawsHoldsArt) {
  const PanelBox boxes[] = {
      {"minimap panel", 0.0f, 0.25390625f, 0.625f, 1.0f, false},
      {"map backdrop", 0.0f, 0.0f, 0.25f, 0.25f, true},
      {"night vision off", 0.3125f, 0.0f, 0.4375f, 0.125f, false},
      {"night vision on", 0.3125f, 0.125f, 0.4375f, 0.25f, false},
      {"deployment off", 0.4375f, 0.0f, 0.75f, 0.125f, false},
      {"deployment on", 0.4375f, 0.125f, 0.75f, 0.25f, false},
      Cell("screenshot off", 6),
      Cell("screenshot on", 7),
      Cell("routes off", 14),
      Cell("routes on", 15),
      Cell("division", 21),
      Cell("division hover", 29),
      Cell("pause off", 22),
      Cell("pause on", 23),
      Cell("numbers off", 30),
      Cell("numbers on", 31),
      Cell("health off", 37),
      Cell("health on", 45),
      Cell("slower", 62),
      Cell("faster", 63),
      {"module frame", 0.75f, 0.5625f, 0.875f, 0.6875f, false},
      {"module frame hover", 0.875f, 0.5625f, 1.0f, 0.6875f, false},
      {"victory points", 0.625f, 0.75f, 0.75f, 0.875f, false},
      {"integrity fill", 0.825f, 0.75f, 0.8625f, 0.8125f, true},
      {"armour fill", 0.8875f, 0.75f, 0.925f, 0.8125f, true},
      {"shield fill", 0.95f, 0.75f, 1.0f, 0.8125f, true},
  };
  for (const PanelBox& b : boxes) {
    int total = 0, visible = 0, opaque = 0;
    ForEach(b, [&](int, int, uint32_t argb) {
      ++total;
      visible += (argb >> 24) >= 32;
      opaque += (argb >> 24) == 255;
    });
    ASSERT_GT(total, 0) << b.what;
    if (b.solid)
      EXPECT_EQ(opaque, total) << b.what << " must be opaque all over, it is stretched";
    else
      EXPECT_GT(visible * 5, total) << b.what << " is (nearly) empty";
  }
}

TEST_F(MinimapPanelAtlas, TwoStateButtonsLookDifferentInEachState) {
  const std::pair<PanelBox, PanelBox> pairs[] = {
      {Cell("screenshot off", 6), Cell("screenshot on", 7)},
      {Cell("routes off", 14), Cell("routes on", 15)},
      {Cell("pause off", 22), Cell("pause on", 23)},
      {Cell("numbers off", 30), Cell("numbers on", 31)},
      {Cell("health off", 37), Cell("health on", 45)},
      {Cell("division", 21), Cell("division hover", 29)},
      {{"night vision off", 0.3125f, 0.0f, 0.4375f, 0.125f, false},
       {"night vision on", 0.3125f, 0.125f, 0.4375f, 0.25f, false}},
      {{"deployment off", 0.4375f, 0.0f, 0.75f, 0.125f, false},
       {"deployment on", 0.4375f, 0.125f, 0.75f, 0.25f, false}},
      {{"module frame", 0.75f, 0.5625f, 0.875f, 0.6875f, false},
       {"module frame hover", 0.875f, 0.5625f, 1.0f, 0.6875f, false}},
  };
  for (const auto& p : pairs) {
    std::vector<uint32_t> first;
    ForEach(p.first, [&](int, int, uint32_t argb) { first.push_back(argb); });
    size_t i = 0, differing = 0;
    ForEach(p.second, [&](int, int, uint32_t argb) {
      if (i < first.size() && first[i] != argb) ++differing;
      ++i;
    });
    EXPECT_EQ(i, first.size()) << p.first.what;
    EXPECT_GT(differing * 20, first.size()) << p.first.what << " and " << p.second.what << " look alike";
  }
}

}  // namespace
