// What the player sees: a dialog with its title bar and buttons, a hovered button showing
// its tooltip, and a message box, drawn by the OpenGL device on a real display and
// compared with a reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/CInput.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/ConfirmDialog.h"
#include "gui/Dialog.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "platform/Image.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

void LoadStandardFonts();

namespace {

constexpr int kW = 1024;
constexpr int kH = 768;

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak GUI", kW, kH, SDL_WINDOW_HIDDEN)) return;
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetScreenSize(kW, kH);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
  }
  void TearDown() override {
    if (gl_.IsOpen()) {
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
    }
    gl_.Close();
  }

  zt_test::GLWindow gl_;
};

TEST_F(ScreenshotTest, DialogTooltipAndMessageBoxLookRight) {
  // A question as the game asks it (the texts stand in for keys: a key without an entry
  // shows as itself), and a report with an OK button.
  GUI_ConfirmDialog* dialog = ShowConfirmDialog(
      "Recall Squadron", "Pull the 2nd Recon Squadron back to the depot? Units in transit cannot fight.", nullptr);
  dialog->SetPosition(70, 200);
  dialog->YesButton()->SetTooltip("Orders the squadron to withdraw at once.", 0);
  GUI_Message* box = ShowMessage("", "Enemy armour sighted near grid C4. Hold the bridge until reinforcements arrive.",
                                 GUI_Message::kStyleOK, nullptr);
  box->SetTitle("Field Report");
  box->SetPosition(560, 420);

  // The mouse rests on YES long enough for its tooltip to show.
  GUI_ButtonText* yes = dialog->YesButton();
  GUI_InputManager& input = GetInputManager();
  input.x = yes->right - 24.0f;
  input.y = (yes->top + yes->bottom) / 2.0f;
  input.stillCounter = 100;
  for (int i = 0; i < 4; ++i) yes->Process();
  ASSERT_EQ(yes->hover, 1u);

  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  // A dusk battlefield tone behind the windows.
  d3d.DrawRect(0, 0, float(kW), float(kH), 0xFF1C2319);
  d3d.DrawRect(0, float(kH) * 0.55f, float(kW), float(kH), 0xFF262E20);
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  gui_draw::FlushAll();
  d3d.EndScene();

  std::vector<uint32_t> actual;
  platform::Rect all{0, 0, kW, kH};
  ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
  zt_test::ExpectMatchesReference(actual, kW, kH, zt_test::TestSourceDir() + "/gui/reference/dialog_scene.png",
                                  zt_test::BuildDir() + "/gui_dialog_scene.png");
}

}  // namespace
