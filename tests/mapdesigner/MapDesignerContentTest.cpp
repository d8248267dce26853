// The files and texts the map designer loads are shipped, with the exact names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Tutorial.h"
#include "engine/Folders.h"
#include "engine/Strings.h"
#include "mapdesigner/MapDesigner.h"
#include "platform/Image.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {

TEST(MapDesignerContent, PicturesExistWithTheirSizes) {
  struct Picture {
    const char* name;
    int width, height;
  } pictures[] = {{"mapdesigner/editor_buttons.dds", 512, 512},
                  {"mapdesigner/arrow.dds", 64, 128},
                  {"mapdesigner/exit_square.dds", 128, 128},
                  {"mapdesigner/crosshatch.dds", 128, 128},
                  {"mapdesigner/shadowmap_default.jpg", 512, 512},
                  {"gui/gui_square.dds", 32, 32},
                  {"gui/gui_square_brown.dds", 32, 32},
                  {"gui/close_button.dds", 0, 0},
                  {"gui/close_button_h.dds", 0, 0}};
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.name);
    platform::DecodedImage image;
    std::string error;
    ASSERT_TRUE(platform::LoadImageFile(std::string("data/bitmaps/") + p.name, &image, &error)) << error;
    if (p.width) {
      EXPECT_EQ(image.width, p.width);
      EXPECT_EQ(image.height, p.height);
    }
  }
}

TEST(MapDesignerContent, EveryTileSheetHasItsSixteenGroundTextures) {
  const std::vector<std::string> names = TilePickerNames(ListFiles("data/bitmaps/maps/textures/*.jpg"));
  EXPECT_EQ(names.size(), 6u * 4u) << "six ground looks of four sets each";
  for (const std::string& icon : names) {
    for (int q = 1; q <= 4; ++q) {
      const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(icon + "_" + std::to_string(q));
      ASSERT_NE(ground, nullptr) << icon << "_" << q;
      EXPECT_TRUE(FileExists("data/bitmaps/maps/textures/" + ground->texture)) << ground->texture;
      EXPECT_FLOAT_EQ(ground->right - ground->left, 0.25f);
    }
  }
}

TEST(MapDesignerContent, PathTilesSoundsDayTimesTextsAndTutorialPages) {
  for (bool rocky : {false, true}) {
    for (const std::string& name : SIM_Scenario::PathTileNames(rocky))
      EXPECT_NE(SIM_EmplacementManager::Get().Find(name), nullptr) << name;
  }
  EXPECT_GE(ListFiles("data/sounds/music/battles/*.*").size(), 3u);
  EXPECT_GE(ListFiles("data/sounds/ambience/*.*").size(), 3u);
  ASSERT_GE(DayTimes().size(), 4u);
  EXPECT_FALSE(DayTimes().front().hasLightColour) << "the first time of day has no tint";

  LoadStringsTable();
  const char* keys[] = {"EDIT_TILEMODE",
                        "EDIT_PROPSMODE",
                        "EDIT_TERRAINMODE",
                        "GUI_DS_CLEAR_TT",
                        "GUI_DS_SAVE_TT",
                        "GUI_DS_AUTOPATH_TT",
                        "GUI_DS_AUTOROCKYPATH_TT",
                        "MAPEDIT_CONFIRM_CLEAR_TITLE",
                        "MAPEDIT_CONFIRM_CLEAR_DESC",
                        "SAVEPRESETMAP_TITLE",
                        "SAVEPRESETMAP_TEXT",
                        "MAP_CONFIGURATION_TITLE",
                        "MAP_CONFIGURATION_SAVE",
                        "MAP_CONFIGURATION_SAVE_TT",
                        "MAP_CONFIGURATION_NAME",
                        "MAP_CONFIGURATION_DESC",
                        "MAP_CONFIGURATION_MUSIC",
                        "MAP_CONFIGURATION_DUST",
                        "MAP_CONFIGURATION_ATMOSPHERE",
                        "MAP_CONFIGURATION_DAYTIME",
                        "MAP_CONFIGURATION_AMBIENCE",
                        "CUSTOM_SAVE_OVERWRITE_TITLE",
                        "CUSTOM_SAVE_OVERWRITE_TEXT",
                        "DEPLOY_MODE_SINGLE",
                        "DEPLOY_MODE_MULTIPLE",
                        "DEPLOY_FIXEDANGLE",
                        "DEPLOY_RANDOMANGLE",
                        "DS_PATHS_RIGHT",
                        "DS_PATHS_LEFT",
                        "DS_PATHS_UP",
                        "DS_PATHS_DOWN",
                        "DS_PATHS_EXIT",
                        "DS_PATHS_CLEARPATH",
                        "DS_PATHS_DEFENCE",
                        "DS_PATHS_ATTACK",
                        "DS_PATHS_SUPPORT",
                        "DS_PATHS_NOUNITS",
                        "DS_PATHS_ROTATEPROP",
                        "DS_PATHS_CLEARTILEPROP",
                        "MAPEDIT_NAME_TITLE",
                        "MAPEDIT_NAME_EMPTY",
                        "MAPEDIT_NAME_BAD",
                        "MAPEDIT_SAVE_FAILED",
                        "MAINMENU_TT"};
  for (const char* key : keys) EXPECT_TRUE(HasTranslation(key)) << key;
  for (const char* row :
       {"MAP_CONFIG_STARTSUP_ATTACK", "MAP_CONFIG_STARTSUP_DEFEND", "MAP_CONFIG_TIMELIMIT",
        "MAP_CONFIG_SUPPLIESCAP", "MAP_CONFIG_SPS_ATTACK", "MAP_CONFIG_SPS_DEFEND", "MAP_CONFIG_HPLEFTLIMIT",
        "MAP_CONFIG_DIFFICULTY_ATTACKER", "MAP_CONFIG_DIFFICULTY_DEFENDER"}) {
    EXPECT_TRUE(HasTranslation(row)) << row;
    EXPECT_TRUE(HasTranslation(std::string(row) + "_TT")) << row;
  }
  GUI_Tutorial& tutorial = GetTutorial();
  tutorial.Load();
  for (const char* page : {"MAPDESIGN1", "TILE_EDIT1", "EDITOR_SAVE1"})
    EXPECT_NE(tutorial.FindPage(page), nullptr) << page;
}

}  // namespace
