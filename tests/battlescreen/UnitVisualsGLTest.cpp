// Units on the OpenGL device under a (virtual) display: tanks and buildings of both sides
// at close zoom with their turrets on their targets, against a reference picture; and the
// design pictures composed once into the design-texture folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/DesignSprite.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/Dds.h"
#include "simdata/Options.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace battlescreen_test;
namespace fs = std::filesystem;

class UnitVisualsGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak unit test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    GetRenderDevice().SetFramePacing(false);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    InitRandomWithSeed(7);
    GetShaderManager().LoadAll();
    SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  }
  void TearDown() override {
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  zt_test::GLWindow gl_;
};

TEST_F(UnitVisualsGLTest, TanksAndBuildingsOfBothSidesAtCloseZoom) {
  if (!gl_.IsOpen()) return;
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  // The world alone: the HUD's windows (tested with the HUD) close.
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  for (SIM_BattleUnit* u : scene.player) ASSERT_NE(u, nullptr);
  for (SIM_BattleUnit* u : scene.enemy) ASSERT_NE(u, nullptr);
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(2.0f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  for (int i = 0; i < 2; ++i) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    map.UpdateAndDraw();
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    e.EndScene();
  }
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                  zt_test::TestSourceDir() + "/battlescreen/reference/units_close.png",
                                  zt_test::BuildDir() + "/units_close_actual.png");
  e.Flip();
}

// The picture file of a key, read back.
platform::DecodedImage ReadPicture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  platform::DecodedImage img;
  std::string error;
  platform::ReadDds(bytes.data(), bytes.size(), &img, &error);
  return img;
}

TEST_F(UnitVisualsGLTest, DesignPicturesAreComposedOnceAndAgainWhenTheDesignChanges) {
  if (!gl_.IsOpen()) return;
  const fs::path folder = fs::path(zt_test::BuildDir()) / "designtextures_test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  UserFolders()[USERFOLDER_DESIGNTEXTURES] = folder.string();
  SIM_UnitDesign* design = PlayerDesign("Jackal Scout");
  ASSERT_NE(design, nullptr);
  GUI_BS_DesignSprite& ds = GUI_BS_DesignSprite::Instance();

  const std::string key = ds.GetTexture(design->name, false);
  ASSERT_EQ(key.rfind("udes_", 0), 0u) << key;
  ASSERT_TRUE(fs::exists(folder / key));
  EXPECT_EQ(ds.compositions, 1);
  platform::DecodedImage img = ReadPicture((folder / key).string());
  ASSERT_EQ(img.width, GUI_BS_DesignSprite::kDesignCell);
  ASSERT_EQ(img.height, GUI_BS_DesignSprite::kDesignCell);
  int painted = 0;
  for (uint32_t p : img.levels[0]) painted += (p >> 24) > 128 ? 1 : 0;
  EXPECT_GT(painted, 128 * 128 / 8);      // the tank covers a good part of its cell
  EXPECT_EQ(img.levels[0][0] >> 24, 0u);  // the corners stay clear

  // Asked again, in this run or after a restart: the file is used, nothing is drawn.
  EXPECT_EQ(ds.GetTexture(design->name, false), key);
  EXPECT_EQ(ds.compositions, 1);
  const auto written = fs::last_write_time(folder / key);

  // A repainted design gets a new picture and the old one goes.
  for (DesignLayer& l : design->layers)
    if (l.name == "tank_chassis_color") l.colour[0] = 200;
  const std::string repainted = ds.GetTexture(design->name, false);
  EXPECT_NE(repainted, key);
  EXPECT_EQ(ds.compositions, 2);
  EXPECT_TRUE(fs::exists(folder / repainted));
  EXPECT_FALSE(fs::exists(folder / key));
  (void)written;

  // Hull and variant pictures have their own names and cells.
  const std::string hull = ds.GetTexture("tank_jackal", true);
  const std::string variant = ds.GetTexture("tank_jackal", true, "tank_jackal_b");
  EXPECT_EQ(hull.rfind("hull_tank_jackal_", 0), 0u);
  EXPECT_EQ(variant.rfind("var_tank_jackal_b_", 0), 0u);
  EXPECT_EQ(ReadPicture((folder / variant).string()).width, GUI_BS_DesignSprite::kHullCell);

  // A design named by another player to reach outside the folder stays inside it.
  const std::string oldName = design->name;
  design->name = "../../evil/" + std::string(300, 'x');
  const std::string hostile = ds.GetTexture(design->name, false);
  design->name = oldName;
  EXPECT_EQ(hostile.find('/'), std::string::npos);
  EXPECT_EQ(hostile.find(".."), std::string::npos);
  EXPECT_LT(hostile.size(), 100u);
  EXPECT_TRUE(fs::exists(folder / hostile));

  // Saving the design in the designer drops its pictures.
  ds.DeleteCachedFile(oldName);
  EXPECT_FALSE(fs::exists(folder / repainted));
  EXPECT_TRUE(fs::exists(folder / hull));
  fs::remove_all(folder);
}

}  // namespace
