// Every texture and text the toolkit asks for ships with the game, under its exact name.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "engine/Strings.h"
#include "gui/SharedTextures.h"

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
      "textbutton.dds",    "textbutton_h.dds", "dlg_close_button.dds", "dlg_close_button_h.dds",
      "gui_square.dds",    "gui_checkbox_fill.dds", "titlebar.dds",    "ui_deployment_bg.dds",
      "enigma.jpg",
  };
  for (const char* name : widgetTextures) EXPECT_EQ(present.count(name), 1u) << name;
  for (int i = 0; i < SHARED_TEXTURE_COUNT; ++i) {
    const std::string name = GUI_SharedTextures::Name(i);
    if (name.rfind("rt_", 0) == 0) continue;  // render targets are made at start-up
    EXPECT_EQ(present.count(name), 1u) << name;
  }
}

TEST(GuiContentTest, EveryTextTheToolkitShowsIsTranslated) {
  const char* const keys[] = {"CONFIRM_YES", "CONFIRM_NO", "MESSAGE_OK", "GUI_PLEASEWAIT", "PLEASEWAIT_CANCEL",
                              "BB_DETAILS_ATTACK_SUP_PER_SEC", "BB_DETAILS_ATTACK_SUP_PER_SEC_TT",
                              "BB_DETAILS_DEFENCE_SUP_PER_SEC", "BB_DETAILS_DEFENCE_SUP_PER_SEC_TT",
                              "BB_DETAILS_TIME_LIMIT", "BB_DETAILS_TIME_LIMIT_TT", "BB_DETAILS_ESCAPE_LIMIT",
                              "BB_DETAILS_ESCAPE_LIMIT_TT"};
  for (const char* key : keys) EXPECT_TRUE(HasTranslation(key)) << key;
}

}  // namespace
