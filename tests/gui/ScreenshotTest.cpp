// What the player sees: a dialog with its title bar and buttons, a hovered button showing
// its tooltip, and a message box, drawn by the OpenGL device on a real display and
// compared with a reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
#include "gui/DropDownList.h"
#include "gui/FileDialogs.h"
#include "gui/FilePicker.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "platform/Image.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

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
      "Recall Squadron", "Pull the 2nd Recon Squadron back to the depot? Units in transit cannot fight.",
      nullptr);
  dialog->SetPosition(70, 200);
  dialog->YesButton()->SetTooltip("Orders the squadron to withdraw at once.", 0);
  GUI_Message* box =
      ShowMessage("", "Enemy armour sighted near grid C4. Hold the bridge until reinforcements arrive.",
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
  zt_test::ExpectMatchesReference(actual, kW, kH,
                                  zt_test::TestSourceDir() + "/gui/reference/dialog_scene.png",
                                  zt_test::BuildDir() + "/gui_dialog_scene.png");
}

// A side panel that draws the windows it holds (a drop-down list here).
class SettingsPanel : public GUI_Dialog {
 public:
  SettingsPanel() : GUI_Dialog(false) {}
  void Draw() override {
    GUI_Dialog::Draw();
    DrawChildren();
  }
};

TEST_F(ScreenshotTest, SaveDialogAndOpenDropDownLookRight) {
  // A folder of saved designs, more than the list shows at once.
  const std::string folder = zt_test::UserDir() + "/screenshot_designs/";
  std::filesystem::create_directories(folder);
  for (const char* name : {"Bulwark Line", "Colossus Siege", "Desert Raiders", "Fieldstation Post",
                           "Frozen Ridge Hold", "Grenadier Squad", "Guntower Wall", "Jackal Flankers",
                           "Mammoth Breaker", "Mule Support", "Night Citadel", "Packhorse Convoy",
                           "Pillbox Chain", "River Fords Push", "Strider Scouts", "Warden Patrol"})
    std::ofstream(folder + name + ".txt") << "design";

  // The weather choice of a map, its column open with the mouse on one entry.
  auto* panel = new SettingsPanel();
  panel->SetRect(30, 230, 330, 470);
  panel->SetTitle("Map Settings");
  auto* weather = new GUI_DropDownList();
  weather->SetRect(50, 280, 310, 300);
  for (const char* w : {"Clear", "Overcast", "Rain", "Snow", "Sandstorm", "Night"}) weather->AddEntry(w);
  weather->SetSelectedText("Overcast");
  panel->AddChild(weather);

  GUI_SaveFileDialog* dialog = ShowSaveFileDialog("Save Design", folder, "", nullptr);
  dialog->SetPosition(370, 200);
  // The player scrolls a little and types a new name.
  dialog->Picker()->ScrollBar()->SetPosition(2);
  GUI_TextEditWindow* field = dialog->NameField();
  field->SetFocus();
  for (char c : std::string("Mammoth Breaker Mk2")) {
    if (c == ' ') {
      field->OnKeyDown(GUI_TextEditWindow::kKeySpace);
    } else {
      field->OnChar(static_cast<unsigned char>(c));
    }
  }
  weather->OpenList();
  const GUI_DropDownListEntry* hovered = weather->Container()->Entries()[3];
  GUI_InputManager& input = GetInputManager();
  input.x = (hovered->left + hovered->right) / 2.0f;
  input.y = (hovered->top + hovered->bottom) / 2.0f;

  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  d3d.DrawRect(0, 0, float(kW), float(kH), 0xFF1C2319);
  d3d.DrawRect(0, float(kH) * 0.55f, float(kW), float(kH), 0xFF262E20);
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  gui_draw::FlushAll();
  d3d.EndScene();

  std::vector<uint32_t> actual;
  platform::Rect all{0, 0, kW, kH};
  ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
  zt_test::ExpectMatchesReference(actual, kW, kH,
                                  zt_test::TestSourceDir() + "/gui/reference/file_dialogs.png",
                                  zt_test::BuildDir() + "/gui_file_dialogs.png");
}

}  // namespace
