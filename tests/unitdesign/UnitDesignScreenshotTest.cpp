// What the player sees of the unit designer on the OpenGL device: the design tab with a
// shipped design, the hull picker, each compared with a reference picture. Needs a
// display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include "app/GameModes.h"
#include "engine/D3DEngine.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "platform/Image.h"
#include "support/GLTestSupport.h"
#include "unitdesign/UnitDesignFixture.h"

namespace {

class UnitDesignScreenshotTest : public ::testing::Test {
 protected:
  int kW = 1280;
  int kH = 1024;

  void SetUp() override {
    if (!gl_.Open("Zentrak unit designer", kW, kH, SDL_WINDOW_HIDDEN)) return;
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetScreenSize(kW, kH);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    LoadStringsTable();
    GetShaderManager().LoadAll();
    d3d.CreateRenderTarget("rt_selection", kW, kH, platform::Format::A8R8G8B8);
    d3d.CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    unitdesign_test::UseTestUserFolders();
    // Hull and design pictures are composed into the player's folder.
    RegisterTextureFolder(UserFolders()[USERFOLDER_DESIGNTEXTURES]);
    InitRandomWithSeed(99);
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_UNIT_DESIGN);
  }
  void TearDown() override {
    if (gl_.IsOpen()) {
      GetGame().SetGameMode(MODE_MAIN_MENU);
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
                                    zt_test::TestSourceDir() + "/unitdesign/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/unitdesign_" + name + ".png");
  }

  zt_test::GLWindow gl_;
};

TEST_F(UnitDesignScreenshotTest, DesignTabHullPickerAndComparisonLookRight) {
  ZT_REQUIRE_GL(gl_);
  GUI_UD_Window* window = GetUDWindow();
  ASSERT_NE(window, nullptr);
  SIM_UnitDesign* design =
      SIM_UnitDesignManager::Get().FindDesignByFile("data/sampleunits/bulwark_battle_tank.txt");
  ASSERT_NE(design, nullptr);
  window->LoadDesign(design);
  GetInputManager().x = 5.0f;
  GetInputManager().y = 1000.0f;
  GetGame().CurrentMode->Process();
  Shoot("design_tab");
  GUI_UD_ControlPanel::OnHullChange(0);
  GetGame().CurrentMode->Process();
  Shoot("hull_picker");
  delete GetUDHullPicker();
  OpenModuleStatComparison(SIM_ModuleTypeManager::Get().Find("cannon_75"),
                           ModuleDataItem{"damage", MDI_INTEGER, 1.0f});
  GetGame().CurrentMode->Process();
  Shoot("stat_comparison");
  delete GetUDStatComparison();
  // The cannon's details: banded stat lines, the reload time in seconds.
  window->ShowModuleDetails(SIM_ModuleTypeManager::Get().Find("cannon_75"));
  GetGame().CurrentMode->Process();
  Shoot("module_details");
  // The customise tab with two layers painted: the chassis red, the turret a field blue.
  GUI_UD_ControlPanel::OnCustomise(0);
  ASSERT_NE(window->layerPicker, nullptr);
  ASSERT_GE(window->layerPicker->icons.size(), 2u);
  window->viewer->selectedLayer = window->layerPicker->icons[1]->layer;
  window->colour->SetColour(150, 36, 30, 255);
  window->viewer->selectedLayer = window->layerPicker->icons[3]->layer;
  window->colour->SetColour(52, 110, 150, 255);
  GetGame().CurrentMode->Process();
  Shoot("customise_tab");
}

// A 1280 x 800 screen is too low for the full layout: the designer takes the small one and
// everything stays on the screen.
class UnitDesignSmallScreenTest : public UnitDesignScreenshotTest {
 protected:
  UnitDesignSmallScreenTest() { kH = 800; }
};

TEST_F(UnitDesignSmallScreenTest, The1280x800LayoutFitsTheScreen) {
  ZT_REQUIRE_GL(gl_);
  GUI_UD_Window* window = GetUDWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->smallScreen);
  EXPECT_EQ(window->width, 1024);
  EXPECT_EQ(window->height, 700);
  EXPECT_FLOAT_EQ(window->panelWidth, 420.0f);
  SIM_UnitDesign* design =
      SIM_UnitDesignManager::Get().FindDesignByFile("data/sampleunits/strider_lancer.txt");
  ASSERT_NE(design, nullptr);
  window->LoadDesign(design);
  auto onScreen = [&](const GUI_WindowBase* w, const char* name) {
    ASSERT_NE(w, nullptr) << name;
    EXPECT_GE(w->left, 0) << name;
    EXPECT_GE(w->top, 0) << name;
    EXPECT_LE(w->right, kW) << name;
    EXPECT_LE(w->bottom, kH) << name;
    EXPECT_GT(w->bottom, w->top) << name;
  };
  onScreen(window, "window");
  onScreen(window->controlPanel, "control panel");
  onScreen(window->blueprint, "blueprint");
  onScreen(window->summary, "summary");
  onScreen(window->componentsPicker, "components");
  onScreen(window->augmentationsPicker, "augmentations");
  onScreen(window->componentDetails, "component details");
  onScreen(window->augmentationDetails, "augmentation details");
  for (GUI_UD_UnitSlot* slot : window->blueprint->slots) onScreen(slot, "slot");
  GetInputManager().x = 5.0f;
  GetInputManager().y = 790.0f;
  GetGame().CurrentMode->Process();
  Shoot("design_tab_1280x800");
  GUI_UD_ControlPanel::OnCustomise(0);
  onScreen(window->layerPicker, "layers");
  onScreen(window->colour, "colours");
  onScreen(window->variantPicker, "variants");
  GetGame().CurrentMode->Process();
  Shoot("customise_tab_1280x800");
}

}  // namespace
