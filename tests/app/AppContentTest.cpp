// Every picture and text the loading screen, the options screen and the tutorial ask for
// ships with the game under its exact name.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/LoadingScreen.h"
#include "app/OptionsScreen.h"
#include "app/Tutorial.h"
#include "engine/Folders.h"
#include "engine/Strings.h"
#include "platform/Image.h"
#include "simdata/Options.h"

namespace {

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

TEST(AppContentTest, PicturesOfTheLoadingAndOptionsScreensExist) {
  const std::set<std::string> present = BitmapNames();
  for (const char* name : {"backdrop_sides.jpg", "progress_bar.jpg", "close_button.dds", "close_button_h.dds",
                           "gui_checkbox_fill.dds", "ui_deployment_bg.dds"})
    EXPECT_EQ(present.count(name), 1u) << name;
  const std::vector<std::string> pictures =
      ListFiles(std::string(GUI_LoadingScreen::kPictureFolder) + "/*.jpg", true);
  EXPECT_GE(pictures.size(), 3u);
  for (const std::string& path : pictures) {
    platform::DecodedImage img;
    std::string error;
    ASSERT_TRUE(platform::LoadImageFile(path, &img, &error)) << path << ": " << error;
    EXPECT_EQ(img.width, 1024) << path;
    EXPECT_EQ(img.height, 1024) << path;
  }
  platform::DecodedImage bar;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile("data/bitmaps/ui/progress_bar.jpg", &bar, &error)) << error;
  EXPECT_EQ(bar.width, 512);
}

TEST(AppContentTest, EveryTextOfTheScreensIsTranslated) {
  std::vector<std::string> keys = {"OPTIONS_TITLE",
                                   "OPTIONS_FULLSCREEN",
                                   "OPTIONS_FULLSCREEN_TT",
                                   "OPTIONS_RESET_TUTORIAL",
                                   "OPTIONS_RESET_TUTORIAL_TT",
                                   "OPTIONS_APPLY_CHANGES",
                                   "OPTIONS_APPLY_CHANGES_TT",
                                   "PROBAR_PRESSANYKEY",
                                   "TUTORIAL_WINDOW_OK",
                                   "TUTORIAL_WINDOW_OK_TOOLTIP",
                                   "MAINMENU_TT"};
  for (const char* key : GUI_Options::kSliderKeys) {
    keys.push_back(key);
    keys.push_back(std::string(key) + "_TT");
  }
  for (const char* toggle : SIM_Options::ToggleNames) {
    keys.push_back(std::string("OPTIONS_") + toggle);
    keys.push_back(std::string("OPTIONS_") + toggle + "_TT");
  }
  for (const std::string& key : keys) EXPECT_TRUE(HasTranslation(key)) << key;
  EXPECT_TRUE(std::filesystem::exists(GUI_Tutorial::kPageFile));
}

}  // namespace
