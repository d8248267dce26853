// What the player sees of the map designer on the OpenGL device: the tile, terrain and
// props modes over a shipped map, and a seeded bake of the map image, each compared with
// a reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "MapDesignerFixture.h"
#include "app/GameModes.h"
#include "engine/D3DEngine.h"
#include "engine/SettingsFile.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/DropDownList.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/Tooltip.h"
#include "platform/Image.h"
#include "simdata/PropType.h"
#include "support/GLTestSupport.h"

namespace {

constexpr int kW = 1280;
constexpr int kH = 800;

class MapDesignerScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak map designer", kW, kH, SDL_WINDOW_HIDDEN)) return;
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetScreenSize(kW, kH);
    RegisterTextureFolder("data/bitmaps");
    RegisterTextureFolder("data/scenarios");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    LoadStringsTable();
    GetShaderManager().LoadAll();
    d3d.CreateRenderTarget("rt_lightmap", TargetWidth(), TargetHeight(), platform::Format::X8R8G8B8);
    d3d.CreateRenderTarget("rt_selection", TargetWidth(), TargetHeight(), platform::Format::A8R8G8B8);
    d3d.CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    mapdesigner_test::UseTestUserFolders();
    InitRandomWithSeed(99);
  }
  void TearDown() override {
    if (gl_.IsOpen()) {
      GetGame().SetGameMode(MODE_BATTLE_BROWSER);
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      ReleaseAllEffects();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
    }
    gl_.Close();
  }

  void Shoot(const std::string& name) {
    D3DEngine& d3d = GetRenderDevice();
    GUI_Tooltip::ClearQueue();
    d3d.BeginScene();
    GetGame().CurrentMode->Draw();
    gui_draw::FlushAll();
    d3d.EndScene();
    std::vector<uint32_t> actual;
    platform::Rect all{0, 0, kW, kH};
    ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
    zt_test::ExpectMatchesReference(actual, kW, kH,
                                    zt_test::TestSourceDir() + "/mapdesigner/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/mapdesigner_" + name + ".png");
  }

  // The "screen-sized" targets' size: the game rounds it up to powers of two.
  virtual int TargetWidth() const { return kW; }
  virtual int TargetHeight() const { return kH; }

  // The night map with its night light.
  void LoadNightMap() {
    SIM_ScenarioManager::Get().Load();
    SIM_Scenario* source = SIM_ScenarioManager::Get().Find("night_citadel");
    ASSERT_NE(source, nullptr);
    night_ = std::make_unique<SIM_Scenario>();
    ASSERT_TRUE(night_->Load(source->file));
    ASSERT_TRUE(night_->LoadMap());
    night_->LoadProps();
    night_->BuildPathTiles(false);
    night_->Config().Set("using_lightmap", "1");
    night_->Config().Set("lightmap_color", "128,128,160,255");
  }

  // Bakes the night map from the same random seed each time, with the named shader (when
  // given) taken away for the while, so that the bake takes a longer road.
  bool BakeNightMapWithout(const char* shader, const std::string& path) {
    auto& effects = GetShaderManager().Effects();
    std::unique_ptr<GShaderEffect> removed;
    if (shader) {
      auto at =
          std::find_if(effects.begin(), effects.end(), [shader](const auto& e) { return e->name == shader; });
      if (at == effects.end()) {
        ADD_FAILURE() << "no shader " << shader;
        return false;
      }
      removed = std::move(*at);
      effects.erase(at);
    }
    InitRandomWithSeed(7);
    const bool baked = night_ && BakeScenarioImage(*night_, path);
    if (removed) effects.push_back(std::move(removed));
    return baked;
  }

  // The baked file is the night map's reference picture; keepName keeps it on a mismatch.
  void ExpectNightPicture(const std::string& path, const std::string& keepName) {
    platform::DecodedImage image;
    std::string error;
    ASSERT_TRUE(platform::LoadImageFile(path, &image, &error)) << error;
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 512);
    zt_test::ExpectMatchesReference(image.levels[0], 512, 512,
                                    zt_test::TestSourceDir() + "/mapdesigner/reference/bake_night.png",
                                    zt_test::BuildDir() + "/" + keepName);
  }

  zt_test::GLWindow gl_;
  std::unique_ptr<SIM_Scenario> night_;
};

// Targets larger than the screen, as the game makes them on a 1280 x 1024 screen.
class MapDesignerWideTargetTest : public MapDesignerScreenshotTest {
 protected:
  int TargetWidth() const override { return 2048; }
  int TargetHeight() const override { return 1024; }
};

TEST_F(MapDesignerScreenshotTest, TileTerrainAndPropsModesLookRight) {
  ZT_REQUIRE_GL(gl_);
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* source = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(source, nullptr);
  OpenMapDesignerFor(*source);
  GUI_DS_Window* window = GetDSWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->map, nullptr);
  // The transition's wipe is not part of the picture.
  const StandardModeLayer wipe = StandardModeTransition();
  SetStandardModeTransition(nullptr);
  GUI_DS_Map* map = window->map;
  GetInputManager().x = 5;
  GetInputManager().y = 790;

  // Tile mode: two squares selected, paths, zones and exit marks over the ground.
  map->FindMapSquare(9)->selected = true;
  map->FindMapSquare(10)->selected = true;
  Shoot("tile_mode");

  // Terrain mode: the grid gap goes, one ground block selected and repainted.
  DSModeButton(DS_MODE_TERRAIN);
  GUI_DS_GroundSquare* block = map->groundSquares[5];
  block->SetTextures("desert3_1", "desert3_2", "desert3_3", "desert3_4");
  block->selected = true;
  map->Rebuild();
  Shoot("terrain_mode");

  // Props mode: the red rims of the placed props; one tent held under the mouse.
  DSModeButton(DS_MODE_PROPS);
  GetInputManager().x = map->ScreenX(700.0f);
  GetInputManager().y = map->ScreenY(500.0f);
  GetDSPropManager().PlaceSingle(SIM_PropTypeManager::Get().Find("tent"));
  Shoot("props_mode");
  SetStandardModeTransition(wipe);
}

TEST_F(MapDesignerScreenshotTest, SeededBakeOfTheNightMapLooksRight) {
  ZT_REQUIRE_GL(gl_);
  LoadNightMap();
  ASSERT_NE(night_, nullptr);
  SIM_Scenario& scenario = *night_;
  const std::string path = zt_test::UserRoot() + "/bake/night.jpg";
  ASSERT_TRUE(BakeNightMapWithout(nullptr, path));
  platform::DecodedImage image;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(path, &image, &error)) << error;
  // The temporary shadow map is gone again.
  EXPECT_TRUE(ListFiles(GetUserFolder(USERFOLDER_BITMAPS) + "/*.jpg").empty());
  ExpectNightPicture(path, "mapdesigner_bake_night.png");

  // Without one of its shaders the bake takes a longer road, to the same picture: without
  // "bakeground.fx" the ground and the tile props are two blended passes; without
  // "bakemap.fx" the shadow map is multiplied over the map and the tinted copy follows.
  const struct {
    const char* shader;
    const char* actual;
  } roads[] = {
      {"data/shaders/bakeground.fx", "mapdesigner_bake_night_two_passes.png"},
      {"data/shaders/bakemap.fx", "mapdesigner_bake_night_slow.png"},
  };
  for (const auto& road : roads) {
    SCOPED_TRACE(road.shader);
    const std::string slowPath = zt_test::UserRoot() + "/bake/night_slow.jpg";
    ASSERT_TRUE(BakeNightMapWithout(road.shader, slowPath));
    ExpectNightPicture(slowPath, road.actual);
  }

  // The night tint darkens red and green to about half and blue to about 63 %: the same
  // map baked without it is brighter channel by channel.
  scenario.Config().Set("using_lightmap", "0");
  InitRandomWithSeed(7);
  const std::string dayPath = zt_test::UserRoot() + "/bake/day.jpg";
  ASSERT_TRUE(BakeScenarioImage(scenario, dayPath));
  platform::DecodedImage day;
  ASSERT_TRUE(platform::LoadImageFile(dayPath, &day, &error)) << error;
  double sum[2][3] = {};
  for (size_t i = 0; i < image.levels[0].size(); ++i) {
    const uint32_t n = image.levels[0][i], d = day.levels[0][i];
    for (int c = 0; c < 3; ++c) {
      sum[0][c] += (n >> (16 - 8 * c)) & 0xFF;
      sum[1][c] += (d >> (16 - 8 * c)) & 0xFF;
    }
  }
  EXPECT_NEAR(sum[0][0] / sum[1][0], 128.0 / 255.0, 0.04);
  EXPECT_NEAR(sum[0][1] / sum[1][1], 128.0 / 255.0, 0.04);
  EXPECT_NEAR(sum[0][2] / sum[1][2], 160.0 / 255.0, 0.04);
}

// The game's targets are larger than the screen (powers of two): every road of the bake
// still fills the whole image, with no band of an unwritten target beside a squeezed map.
TEST_F(MapDesignerWideTargetTest, EveryRoadOfTheBakeFillsTheImage) {
  ZT_REQUIRE_GL(gl_);
  LoadNightMap();
  const struct {
    const char* shader;
    const char* actual;
  } roads[] = {
      {nullptr, "mapdesigner_bake_night_wide.png"},
      {"data/shaders/bakeground.fx", "mapdesigner_bake_night_wide_two_passes.png"},
      {"data/shaders/bakemap.fx", "mapdesigner_bake_night_wide_slow.png"},
  };
  for (const auto& road : roads) {
    SCOPED_TRACE(road.shader ? road.shader : "every shader");
    const std::string path = zt_test::UserRoot() + "/bake/night_wide.jpg";
    ASSERT_TRUE(BakeNightMapWithout(road.shader, path));
    ExpectNightPicture(path, road.actual);
  }
}

// Every label of the map configuration ends before the field on its row starts.
TEST_F(MapDesignerScreenshotTest, ConfigurationLabelsEndBeforeTheirFields) {
  ZT_REQUIRE_GL(gl_);
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* source = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(source, nullptr);
  OpenMapConfiguration(source);
  GUI_DS_MapConfiguration* dialog = GetDSMapConfiguration();
  ASSERT_NE(dialog, nullptr);
  gui_draw::UseFont();
  const float labelLeft = static_cast<float>(dialog->GetClientRect().left) + 10.0f;
  auto expectFits = [labelLeft](const std::string& label, const GUI_BaseElement* field) {
    EXPECT_LE(labelLeft + static_cast<float>(GetTextRenderer().TextWidth(label.c_str())),
              static_cast<float>(field->left) - 4.0f)
        << label;
  };
  for (int i = 0; i < 9; ++i) expectFits(dialog->valueLabels[i], dialog->valueEdits[i]);
  const GUI_DropDownList* lists[5] = {dialog->musicList, dialog->atmosphereList, dialog->dustList,
                                      dialog->timeOfDayList, dialog->ambienceList};
  const int labelIndex[5] = {2, 4, 3, 5, 6};
  for (int i = 0; i < 5; ++i) expectFits(dialog->labels[labelIndex[i]], lists[i]);
  delete dialog;
}

TEST_F(MapDesignerScreenshotTest, ShadowMapCoversTheSmallerScreenSideAndLoadsWithTheScenario) {
  ZT_REQUIRE_GL(gl_);
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* source = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(source, nullptr);
  const std::string folder = zt_test::UserRoot() + "/shadow";
  const std::string name = GenerateMapShadowMap(*source, folder);
  ASSERT_EQ(name.size(), 35u) << name;
  platform::DecodedImage image;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(folder + "/" + name, &image, &error)) << error;
  EXPECT_EQ(image.width, kH);
  EXPECT_EQ(image.height, kH);

  // A saved map is "procedural": loading it makes its shadow map through the installed
  // generator, names it and writes the name back.
  SIM_Scenario::SetShadowMapGenerator(GenerateMapShadowMap);
  const std::string folder2 = GetUserFolder(USERFOLDER_SCENARIOS) + "/0000000000000000000000000000000Copy";
  std::filesystem::create_directories(folder2);
  std::string text = zt_test::ReadText(source->file);
  const size_t at = text.find("\nshadowmap");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, std::string("\nshadowmap").size(), "\nshadowmap = procedural\nold_shadowmap");
  zt_test::WriteText(folder2 + "/scenario.ini", text);
  SIM_Scenario copy;
  ASSERT_TRUE(copy.Load(folder2 + "/scenario.ini"));
  ASSERT_EQ(copy.shadowMap, "procedural");
  ASSERT_TRUE(copy.LoadMap());
  EXPECT_EQ(copy.shadowMap.size(), 35u) << copy.shadowMap;
  EXPECT_TRUE(FileExists(folder2 + "/bitmaps/" + copy.shadowMap));
  SIM_Scenario again;
  ASSERT_TRUE(again.Load(folder2 + "/scenario.ini"));
  EXPECT_EQ(again.shadowMap, copy.shadowMap);
}

}  // namespace
