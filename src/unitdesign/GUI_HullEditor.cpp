// The hull editor's mode, its window, the control panel (load, save, view toggle), the
// variant picker and the hulk view. The layer view's windows are in
// GUI_HullEditorLayers.cpp.
#include "unitdesign/GUI_HullEditor.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/Game.h"
#include "app/Transition.h"
#include "battlescreen/DesignSprite.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Cursor.h"
#include "gui/FileDialogs.h"
#include "gui/FilePicker.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

using namespace gui_draw;

namespace {
GUI_HE_Window* g_window = nullptr;
GUI_HE_ControlPanel* g_panel = nullptr;
GUI_HE_VariantPicker* g_variantPicker = nullptr;
GUI_HE_HulkViewer* g_hulkViewer = nullptr;

constexpr float kCell = 64.0f;

float F(int v) { return static_cast<float>(v); }

std::string FullPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.lexically_normal().string();
}
}  // namespace

GUI_HE_Window* GetHEWindow() { return g_window; }
GUI_HE_ControlPanel* GetHEControlPanel() { return g_panel; }
GUI_HE_VariantPicker* GetHEVariantPicker() { return g_variantPicker; }
GUI_HE_HulkViewer* GetHEHulkViewer() { return g_hulkViewer; }

// ---------------------------------------------------------------------------------------
// The mode

GUI_HullEditor::GUI_HullEditor() {
  closeButton =
      new GUI_IconButton(&GUI_HullEditor::ReturnToMainMenu, "close_button.dds", 0, "close_button_h.dds");
  closeButton->SetTooltip("MAINMENU_TT", 60);
  AddButton(closeButton);
}

GUI_GameModeBase* GUI_HullEditor::Create() { return new GUI_HullEditor(); }

void GUI_HullEditor::Draw() { DrawStandardMode(this); }

void GUI_HullEditor::OnKeyDown(int key) { StandardModeKeyDown(this, key); }

void GUI_HullEditor::Process() { ProcessStandardMode(this); }

void GUI_HullEditor::OnLeftDown() {
  // The close button answers even over the editor's window, which can cover the screen.
  if (GetWindowOrder().ModalWindows().empty() && OnClick()) return;
  GetWindowOrder().LeftClick();
}

void GUI_HullEditor::OnWheelUp() { StandardModeWheelUp(); }
void GUI_HullEditor::OnWheelDown() { StandardModeWheelDown(); }

void GUI_HullEditor::Enter() {
  const float w = F(ScreenWidth());
  SetRect(0.0f, 0.0f, w, F(ScreenHeight()));
  closeButton->SetRect(w - 36.0f, 0.0f, w, 36.0f);
  delete g_window;
  new GUI_HE_Window();
}

void GUI_HullEditor::Leave() {
  GUI_TextEditWindow::KillFocusAll();
  FocusedEdit = nullptr;
  // The load and save dialogs call back into the editor's windows.
  if (GUI_OpenFileDialog* open = OpenOpenFileDialog()) delete open;
  if (GUI_SaveFileDialog* save = OpenSaveFileDialog()) delete save;
  delete g_window;
}

int GUI_HullEditor::ReturnToMainMenu(int) {
  GetTransition().Start();
  GetGame().SetGameMode(MODE_MAIN_MENU);
  return 0;
}

// ---------------------------------------------------------------------------------------
// The window

GUI_HE_Window::GUI_HE_Window() : GUI_Dialog(false) {
  g_window = this;
  raisesOnClick = false;
  SetSize(F(std::min(ScreenWidth(), 1280)), F(std::min(ScreenHeight(), 800)));
  CentreOnScreen();
  SetTranslatedTitle("GUI_HE_TITLE");
  const GUI_Rect c = GetClientRect();
  viewerSide = std::max(0.0f, std::min({1024.0f, F(c.Height()), F(c.Width() - 450)}));
  controlPanel = new GUI_HE_ControlPanel();
  AddChild(controlPanel);
  // Built in the hulk view and toggled once: the toggle builds the layer view.
  view = kHulkView;
  ToggleView();
}

GUI_HE_Window::~GUI_HE_Window() {
  ClearChildren();
  if (g_window == this) g_window = nullptr;
}

void GUI_HE_Window::DeleteChildWindow(GUI_WindowBase* window) {
  if (!window) return;
  RemoveChild(window);
  delete window;
}

void GUI_HE_Window::ToggleView() {
  const GUI_Rect c = GetClientRect();
  const float l = F(c.left), t = F(c.top);
  if (view == kHulkView) {
    DeleteChildWindow(hulkViewer);
    hulkViewer = nullptr;
    view = kLayerView;
    layerViewer = new GUI_HE_LayerViewer();
    AddChild(layerViewer);
    layerViewer->Place(l, t, l + viewerSide, t + viewerSide);
    layerViewer->scale = F(layerViewer->width) / 256.0f;
    layerViewer->markersOnly = 0;
    const float pl = F(layerViewer->right) + 10.0f, pr = F(layerViewer->right) + 450.0f;
    controlPanel->Place(pl, t, pr, t + 200.0f);
    float y = F(controlPanel->bottom) + 10.0f;
    layerPicker = new GUI_HE_LayerPicker();
    AddChild(layerPicker);
    layerPicker->SetRect(pl, y, pr, y + 200.0f);
    y += 210.0f;
    damageEditor = new GUI_HE_DamageEditor();
    AddChild(damageEditor);
    damageEditor->Place(pl, y, pr, y + 190.0f);
    y += 200.0f;
    variantPicker = new GUI_HE_VariantPicker();
    AddChild(variantPicker);
    variantPicker->Place(pl, y, pr, y + 120.0f);
    Refresh();
  } else {
    DeleteChildWindow(layerPicker);
    layerPicker = nullptr;
    DeleteChildWindow(damageEditor);
    damageEditor = nullptr;
    DeleteChildWindow(variantPicker);
    variantPicker = nullptr;
    DeleteChildWindow(layerViewer);
    layerViewer = nullptr;
    view = kHulkView;
    hulkViewer = new GUI_HE_HulkViewer();
    AddChild(hulkViewer);
    hulkViewer->SetRect(l, t, l + viewerSide, t + viewerSide);
    hulkViewer->Fill();
  }
}

void GUI_HE_Window::Refresh() {
  if (view != kLayerView) return;
  if (layerPicker) layerPicker->Rebuild();
  if (layerViewer) layerViewer->Rebuild();
  if (damageEditor) {
    damageEditor->ClearSelection();
    damageEditor->RebuildStrips();
  }
  if (variantPicker) variantPicker->Rebuild();
}

void GUI_HE_Window::Draw() {
  GUI_Dialog::Draw();
  FlushAll();
  DrawChildren();
  DrawButtons();
}

// ---------------------------------------------------------------------------------------
// Control panel

GUI_HE_ControlPanel::GUI_HE_ControlPanel() {
  g_panel = this;
  loadButton = new GUI_ButtonText(&GUI_HE_ControlPanel::OnLoad, "HULLEDITOR_LOAD", 0);
  saveButton = new GUI_ButtonText(&GUI_HE_ControlPanel::OnSave, "HULLEDITOR_SAVE", 0);
  toggleButton = new GUI_ButtonText(&GUI_HE_ControlPanel::OnToggle, "HULLEDITOR_TOGGLE", 0);
  AddButton(loadButton);
  AddButton(saveButton);
  AddButton(toggleButton);
  nameField = new GUI_TextEditWindow(std::string(), 99);
  AddChild(nameField);
}

GUI_HE_ControlPanel::~GUI_HE_ControlPanel() {
  ClearChildren();
  if (g_panel == this) g_panel = nullptr;
}

void GUI_HE_ControlPanel::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  const float third = (r - l) / 3.0f;
  GUI_ButtonText* order[3] = {loadButton, saveButton, toggleButton};
  for (int i = 0; i < 3; ++i) order[i]->SetRect(l + third * i, t + 5.0f, l + third * (i + 1), t + 25.0f);
  nameField->SetRect(l + 5.0f, t + 30.0f, r - 5.0f, t + 50.0f);
}

void GUI_HE_ControlPanel::Draw() {
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  DrawButtons();
  DrawChildren();
  // What is loaded, for the developer's orientation.
  if (hull) {
    UseFont();
    std::string line = hull->file;
    if (variant) line += "  (" + variant->GetName() + ")";
    GetTextRenderer().Print(0, line.c_str(), left + 8.0f, top + 60.0f, TextColour());
    FlushAll();
  }
}

int GUI_HE_ControlPanel::OnLoad(int) {
  // The game's own hull files are edited, never deleted, from here.
  ShowOpenFileDialog("data/hulls/*.txt", "HULLEDIT_LOAD_TITLE", &GUI_HE_ControlPanel::LoadHullFile)
      ->Picker()
      ->SetRowsDeletable(false);
  return 0;
}

void GUI_HE_ControlPanel::LoadHullFile(const std::string& path) {
  GUI_HE_ControlPanel* panel = g_panel;
  if (!panel) return;
  // The dialog hands back the path it listed; the hull is known by its file name.
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  SIM_UnitHull* hull = SIM_UnitHullManager::Get().FindHullByFile("data/hulls/" + name);
  if (!hull) {
    LogWarning("GUI_HE_ControlPanel", 133, "Failed to find hull [" + name + "]");
    return;
  }
  ZT_ASSERT(!hull->variants.empty());
  if (hull->variants.empty()) return;
  panel->hull = hull;
  panel->variant = hull->variants.front();
  if (g_window) g_window->Refresh();
}

int GUI_HE_ControlPanel::OnSave(int) {
  ShowSaveFileDialog("HULLEDIT_SAVE_TITLE", "data/hulls/", std::string(), &GUI_HE_ControlPanel::SaveHullFile)
      ->Picker()
      ->SetRowsDeletable(false);
  return 0;
}

void GUI_HE_ControlPanel::SaveHullFile(const std::string&) {
  // A hull is written to its own file; the name typed in the dialog is not used.
  SaveCurrentHull();
}

bool GUI_HE_ControlPanel::SaveCurrentHull() {
  GUI_HE_ControlPanel* panel = g_panel;
  if (!panel || !panel->hull) return false;
  const SIM_UnitHull& hull = *panel->hull;
  if (!hull.Save()) {
    DebugLogF("Hull editor: could not write %s", hull.file.c_str());
    ShowMessage("HULLEDITOR_SAVE_FAILED_TITLE", GetTranslation("HULLEDITOR_SAVE_FAILED") + "\n" + hull.file,
                0, nullptr);
    return false;
  }
  // The running game's data is the build's copy: the log says where to copy it from.
  DebugLogF("Hull editor: wrote %s", FullPath(hull.file).c_str());
  return true;
}

int GUI_HE_ControlPanel::OnToggle(int) {
  if (g_window) g_window->ToggleView();
  return 0;
}

// ---------------------------------------------------------------------------------------
// Variant picker

GUI_HE_VariantIcon::GUI_HE_VariantIcon(SIM_UnitHullVariant* v) : variant(v) {
  tooltip = new GUI_Tooltip(variant ? variant->GetName() : std::string(), 20);
}

GUI_HE_VariantIcon::~GUI_HE_VariantIcon() { delete tooltip; }

void GUI_HE_VariantIcon::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  if (!variant || !variant->GetHull()) return;
  if (!picture.texture) {
    const std::string name =
        GUI_BS_DesignSprite::Instance().GetTexture(variant->GetHull()->name, true, variant->name);
    if (!name.empty()) picture.SetTextureByName(name);
  }
  // The cached picture holds the variant's whole extent; the icon shows it all.
  picture.SetSize(r - l - 4.0f, b - t - 4.0f);
  picture.SetPosition((l + r) * 0.5f, (t + b) * 0.5f);
}

bool GUI_HE_VariantIcon::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  GUI_HE_ControlPanel* panel = g_panel;
  ZT_ASSERT(variant && variant->GetHull());
  if (!panel || !variant || !variant->GetHull()) return true;
  panel->variant = variant;
  panel->hull = variant->GetHull();
  if (g_window) g_window->Refresh();  // deletes this icon: nothing of it is used after
  return true;
}

void GUI_HE_VariantIcon::Process() {
  if (IsMouseOver() && !GetInputManager().MouseClaimed) {
    if (tooltip) tooltip->UpdateFade();
    GUI_Cursor::SetHandCursor();
  } else if (tooltip) {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

void GUI_HE_VariantIcon::Draw() {
  if (g_panel && g_panel->variant == variant)
    GetRenderDevice().DrawRect(F(left), F(top), F(right), F(bottom), 0x80FFFFFFu);
  if (picture.texture) picture.DrawClipped(F(left), F(top), F(right), F(bottom));
  if (tooltip) tooltip->Draw();
}

GUI_HE_VariantPicker::GUI_HE_VariantPicker() {
  g_variantPicker = this;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kHorizontal);
  AddChild(scroll);
}

GUI_HE_VariantPicker::~GUI_HE_VariantPicker() {
  for (GUI_HE_VariantIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
  ClearChildren();
  if (g_variantPicker == this) g_variantPicker = nullptr;
}

void GUI_HE_VariantPicker::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  scroll->SetRect(l, b - 12.0f, r, b - 2.0f);
}

void GUI_HE_VariantPicker::Rebuild() {
  for (GUI_HE_VariantIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
  const GUI_HE_ControlPanel* panel = g_panel;
  if (panel && panel->hull)
    for (SIM_UnitHullVariant* v : panel->hull->variants) icons.push_back(new GUI_HE_VariantIcon(v));
  scroll->SetPosition(0);
  Arrange();
}

void GUI_HE_VariantPicker::Arrange() {
  for (GUI_HE_VariantIcon* icon : icons) RemoveChild(icon);
  int placed = 0;
  float x = left + 5.0f;
  for (size_t i = static_cast<size_t>(std::max(0, scroll->Position())); i < icons.size(); ++i) {
    if (x >= right - kCell) break;
    icons[i]->Place(x, top + 5.0f, x + kCell, top + 5.0f + kCell);
    AddChild(icons[i]);
    ++placed;
    x += kCell;
  }
  const int total = static_cast<int>(icons.size());
  scroll->SetRange(F(total), F(placed), std::max(total - placed, 0));
}

void GUI_HE_VariantPicker::Draw() {
  if (scroll->changed) {
    Arrange();
    scroll->changed = false;
  }
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------------------
// Hulk viewer

GUI_HE_HulkViewer::GUI_HE_HulkViewer() { g_hulkViewer = this; }

GUI_HE_HulkViewer::~GUI_HE_HulkViewer() {
  if (g_hulkViewer == this) g_hulkViewer = nullptr;
}

void GUI_HE_HulkViewer::Fill() {
  sprites.clear();
  const GUI_HE_ControlPanel* panel = g_panel;
  if (!panel || !panel->hull || !panel->variant) return;
  const float S = panel->hull->size;
  if (!(S > 0.0f)) return;
  const float W = F(width), H = F(height);
  for (const VariantLayer& layer : panel->variant->layers) {
    if (!layer.visible || layer.hulk.empty()) continue;
    CTexturedSprite sprite;
    sprite.SetTextureByName(layer.hulk);
    sprite.SetUV(layer.hulkLeft, layer.hulkTop, layer.hulkRight, layer.hulkBottom);
    sprite.SetSize(layer.sizex / S * W, layer.sizey / S * H);
    sprite.SetPosition((left + right) * 0.5f, (top + bottom) * 0.5f);
    sprites.push_back(sprite);
  }
}

void GUI_HE_HulkViewer::Draw() {
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  GetRenderDevice().SetNormalBlend();
  for (CTexturedSprite& sprite : sprites)
    if (sprite.texture) sprite.DrawClipped(F(left), F(top), F(right), F(bottom));
  DrawChildren();
}
