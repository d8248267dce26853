#include "unitdesign/GUI_UnitDesign.h"

#include <cstdio>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "gui/ConfirmDialog.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/TextEditWindow.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "unitdesign/AugmentationFactors.h"
#include "unitdesign/UnitDesigner.h"

namespace {
GUI_UD_Window* g_window = nullptr;
}  // namespace

GUI_UD_Window* GetUDWindow() { return g_window; }

// ---------------------------------------------------------------------------------------
// The mode

GUI_UnitDesign::GUI_UnitDesign() {
  closeButton = new GUI_IconButton(&GUI_UnitDesign::RequestExit, "close_button.dds", 0, "close_button_h.dds");
  closeButton->SetTooltip("MAINMENU_TT", 60);
  AddButton(closeButton);
}

void GUI_UnitDesign::Draw() { DrawStandardMode(this); }

void GUI_UnitDesign::OnKeyDown(int key) {
  if (FocusedEdit) FocusedEdit->OnKeyDown(key);
  if (key != kKeyEscape) return;
  if (GetWindowOrder().IsAnyPopupOpen()) {
    GetWindowOrder().CloseTopmost();
  } else {
    RequestExit(0);
  }
}

void GUI_UnitDesign::Process() { ProcessStandardMode(this); }

void GUI_UnitDesign::OnLeftDown() {
  // The close button answers even over the main window, which covers most of the screen.
  if (GetWindowOrder().ModalWindows().empty() && OnClick()) return;
  GetWindowOrder().LeftClick();
}

void GUI_UnitDesign::OnRightDown() { GetWindowOrder().RightClick(); }
void GUI_UnitDesign::OnWheelUp() { StandardModeWheelUp(); }
void GUI_UnitDesign::OnWheelDown() { StandardModeWheelDown(); }

void GUI_UnitDesign::Enter() {
  const int w = gui_draw::ScreenWidth();
  SetRect(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(gui_draw::ScreenHeight()));
  closeButton->SetRect(static_cast<float>(w - 36), 0.0f, static_cast<float>(w), 36.0f);
  delete g_window;
  new GUI_UD_Window();
  if (g_window && g_window->design) ComputeAugmentationFactors();
}

void GUI_UnitDesign::Leave() {
  GUI_TextEditWindow::KillFocusAll();
  FocusedEdit = nullptr;
  delete g_window;
}

SIM_UnitDesign* GUI_UnitDesign::ShownDesign() const { return g_window ? g_window->design : nullptr; }

int GUI_UnitDesign::RequestExit(int) {
  if (g_window && g_window->HasUnsavedChanges()) {
    ShowConfirmDialog("UD_UNSAVED_CONFIRM_TITLE", "UD_UNSAVED_CONFIRM_TEXT", &GUI_UnitDesign::ExitToMainMenu);
  } else {
    ExitToMainMenu(0);
  }
  return 0;
}

int GUI_UnitDesign::ExitToMainMenu(int) {
  GetTransition().Start();
  if (g_window) g_window->RevertFromBackup();
  GetGame().SetGameMode(MODE_MAIN_MENU);
  return 0;
}

GUI_UnitDesign* FindUnitDesignMode() {
  return dynamic_cast<GUI_UnitDesign*>(FindGameModeObject(MODE_UNIT_DESIGN));
}

// ---------------------------------------------------------------------------------------
// The main window

GUI_UD_Window::GUI_UD_Window() : GUI_Dialog(false) {
  g_window = this;
  sampleFolder = IsShiftDown();
  const int sw = gui_draw::ScreenWidth();
  const int sh = gui_draw::ScreenHeight();
  smallScreen = sh < 810 || sw < 1280;
  panelWidth = smallScreen ? 420.0f : 512.0f;
  SetSize(smallScreen ? 1024.0f : 1280.0f, smallScreen ? 700.0f : 768.0f);
  sideBorder = topBorder = bottomBorder = 5.0f;
  raisesOnClick = false;
  CentreOnScreen();
  GetClientRect();
  Open();
  Build();
  GetTutorial().Trigger("UNIT_DESIGN1");
}

GUI_UD_Window::~GUI_UD_Window() {
  if (GetUDHullPicker()) delete GetUDHullPicker();
  if (CarriedModuleIcon()) CarriedModuleIcon() = nullptr;
  // Carried icons point at pickers and slots that go with this window.
  GUI_Cursor& cursor = GetGUICursor();
  while (cursor.IsCarrying()) {
    GUI_WindowBase* carried = cursor.ChildWindows().front();
    cursor.Release(carried);
    if (dynamic_cast<GUI_UD_ModuleIcon*>(carried)) GetWindowOrder().DeleteLater(carried);
  }
  if (owned) delete design;
  design = nullptr;
  strips.clear();
  ClearChildren();
  if (g_window == this) g_window = nullptr;
}

void GUI_UD_Window::AddStrip(const std::string& key, float l, float t, float r, float b) {
  TitleStrip strip;
  strip.key = key;
  strip.bar = std::make_unique<GUI_TitleBar>();
  strip.bar->SetRect(l, t, r, b);
  strip.bar->SetText(GetTranslation(key));
  strips.push_back(std::move(strip));
}

void GUI_UD_Window::DeleteWindow(GUI_WindowBase*& window) {
  if (!window) return;
  RemoveChild(window);
  delete window;
  window = nullptr;
}

void GUI_UD_Window::Draw() {
  for (auto& s : strips) s.bar->Draw();
  GUI_Dialog::Draw();
  DrawChildren();
}

void GUI_UD_Window::Build() {
  const float W = panelWidth;
  const float cx = (left + right) * 0.5f;
  controlPanel = new GUI_UD_ControlPanel();
  AddChild(controlPanel);
  controlPanel->SetRect(cx - W / 2, top + 5.0f, cx + W / 2, top + 5.0f + 149.0f);
  controlPanel->Layout();
  controlPanel->SetName("DESIGN_CONTROL_PANEL");
  viewer = new GUI_UD_UnitViewer();
  AddChild(viewer);
  viewer->SetRect(static_cast<float>(controlPanel->left), static_cast<float>(controlPanel->bottom),
                  static_cast<float>(controlPanel->right), controlPanel->bottom + W);
  viewer->Rebuild();
  BuildDesignTab();
  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  manager.Load();
  if (SIM_UnitDesign* pick = manager.GetRandomDesign()) LoadDesign(pick);
}

void GUI_UD_Window::BuildDesignTab() {
  const float W = panelWidth;
  const GUI_Rect c = clientRect;
  const float pl = static_cast<float>(controlPanel->left);
  const float pr = static_cast<float>(controlPanel->right);
  const float pb = static_cast<float>(controlPanel->bottom);
  if (!blueprint) {
    blueprint = new GUI_UD_Blueprint();
    AddChild(blueprint);
    blueprint->SetRect(pl, pb, pr, pb + W);
  }
  blueprint->visible = true;
  componentsPicker = new GUI_UD_ModulePicker(1, smallScreen);
  AddChild(componentsPicker);
  componentsPicker->SetRect(static_cast<float>(c.left), static_cast<float>(c.top), pl, bottom - 300.0f);
  componentsPicker->SetName("UNIT_DESIGN_COMPONENTS");
  AddStrip("DESIGN_MODULES", left + 20.0f, top - 39.0f, componentsPicker->right - 35.0f, top + 3.0f);
  augmentationsPicker = new GUI_UD_ModulePicker(0, smallScreen);
  AddChild(augmentationsPicker);
  augmentationsPicker->SetRect(pr, static_cast<float>(c.top), static_cast<float>(c.right), bottom - 300.0f);
  augmentationsPicker->SetName("UNIT_DESIGN_AUGMENTATIONS");
  AddStrip("DESIGN_AUGMENTATIONS", augmentationsPicker->left + 35.0f, top - 39.0f, right - 20.0f, top + 3.0f);
  AddStrip("DESIGN_DESIGNMODE", pl + 30.0f, top - 39.0f, pr - 30.0f, top + 3.0f);
  summary = new GUI_UD_Summary();
  AddChild(summary);
  summary->SetRect(static_cast<float>(blueprint->left), static_cast<float>(blueprint->bottom),
                   static_cast<float>(blueprint->right), static_cast<float>(bottom));
  summary->Layout();
  summary->SetName("UNIT_DESIGN_SUMMARY");
  componentDetails = new GUI_UD_ModuleDetails();
  AddChild(componentDetails);
  componentDetails->SetRect(static_cast<float>(componentsPicker->left),
                            static_cast<float>(componentsPicker->bottom),
                            static_cast<float>(componentsPicker->right), static_cast<float>(bottom));
  componentDetails->SetName("UNIT_DESIGN_COMPONENT_DETAILS");
  augmentationDetails = new GUI_UD_ModuleDetails();
  AddChild(augmentationDetails);
  augmentationDetails->SetRect(static_cast<float>(augmentationsPicker->left),
                               static_cast<float>(augmentationsPicker->bottom),
                               static_cast<float>(augmentationsPicker->right), static_cast<float>(bottom));
}

void GUI_UD_Window::BuildCustomiseTab() {
  const float pl = static_cast<float>(controlPanel->left);
  const float pr = static_cast<float>(controlPanel->right);
  layerPicker = new GUI_UD_LayerPicker();
  AddChild(layerPicker);
  layerPicker->SetRect(static_cast<float>(viewer->left), static_cast<float>(viewer->bottom),
                       static_cast<float>(right), static_cast<float>(bottom));
  layerPicker->Build();
  layerPicker->SetName("DESIGN_UNIT_LAYERS");
  colour = new GUI_UD_Color();
  AddChild(colour);
  colour->SetRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(viewer->left),
                  static_cast<float>(bottom));
  colour->Layout();
  colour->SetName("DESIGN_UNIT_COLORS");
  AddStrip("DESIGN_COLORS", left + 20.0f, top - 39.0f, colour->right - 35.0f, top + 3.0f);
  variantPicker = new GUI_UD_VariantPicker();
  AddChild(variantPicker);
  variantPicker->SetRect(pr, static_cast<float>(top), static_cast<float>(right),
                         static_cast<float>(viewer->bottom));
  variantPicker->Build();
  AddStrip("DESIGN_VARIANTS", variantPicker->left + 35.0f, top - 39.0f, right - 20.0f, top + 3.0f);
  AddStrip("DESIGN_CUSTOMISE", pl + 30.0f, top - 39.0f, pr - 30.0f, top + 3.0f);
}

void GUI_UD_Window::ToggleCustomise() {
  strips.clear();
  if (tab == 0) {
    tab = 1;
    DeleteWindow(componentsPicker);
    DeleteWindow(augmentationsPicker);
    DeleteWindow(componentDetails);
    DeleteWindow(augmentationDetails);
    DeleteWindow(summary);
    if (blueprint) blueprint->visible = false;
    BuildCustomiseTab();
  } else {
    tab = 0;
    DeleteWindow(layerPicker);
    DeleteWindow(colour);
    DeleteWindow(variantPicker);
    DeleteWindow(blueprint);
    BuildDesignTab();
  }
  RefreshAll(false);
}

void GUI_UD_Window::RefreshAll(bool full) {
  if (full && controlPanel) controlPanel->Refresh();
  if (blueprint) blueprint->Refresh(full);
  if (viewer) viewer->Rebuild();
  if (layerPicker) layerPicker->Rebuild();
  if (variantPicker) variantPicker->Rebuild();
  if (summary) summary->Refresh();
  if (componentsPicker) componentsPicker->Rebuild();
  if (augmentationsPicker) augmentationsPicker->Rebuild();
  const std::pair<GUI_UD_ModuleDetails*, GUI_UD_ModulePicker*> pairs[] = {
      {componentDetails, componentsPicker}, {augmentationDetails, augmentationsPicker}};
  for (const auto& [details, picker] : pairs) {
    if (!details) continue;
    if (details->type) details->SetModule(details->type);
    if (full && picker && !picker->icons.empty()) details->SetModule(picker->icons.front()->type);
  }
}

void GUI_UD_Window::NewDesignForHull(SIM_UnitHull* hull) {
  ZT_ASSERT(hull != nullptr);
  if (!hull) return;
  if (!design) {
    design = new SIM_UnitDesign();
    owned = true;
  }
  design->modules.clear();
  // A new design on another hull is no longer the old one: it starts without its texts.
  design->guiName.clear();
  design->description.clear();
  design->hull = hull;
  design->SetVariant(hull->variants.empty() ? nullptr : hull->variants.front());
  unsaved = true;
  RefreshAll(true);
  if (augmentationsPicker) augmentationsPicker->UpdateAvailability();
  if (blueprint) {
    blueprint->WriteSlotsToDesign();
    blueprint->RebuildSlots();
  }
  ComputeAugmentationFactors();
}

void GUI_UD_Window::LoadDesign(SIM_UnitDesign* newDesign) {
  ZT_ASSERT(newDesign != nullptr);
  if (!newDesign) return;
  if (newDesign == design) {
    // Loading the open design again throws the edits away: the board shows the file.
    if (backup) RevertFromBackup();
    unsaved = false;
    MakeBackup();
    RefreshAll(true);
    if (augmentationsPicker) augmentationsPicker->UpdateAvailability();
    if (blueprint) {
      blueprint->WriteSlotsToDesign();
      blueprint->RebuildSlots();
    }
    ComputeAugmentationFactors();
    return;
  }
  if (owned) {
    delete design;
    owned = false;
  } else if (design && unsaved) {
    // The manager's copy must not keep changes the player never saved.
    RevertFromBackup();
  }
  design = newDesign;
  RefreshAll(true);
  unsaved = false;
  MakeBackup();
  if (augmentationsPicker) augmentationsPicker->UpdateAvailability();
  if (blueprint) {
    blueprint->WriteSlotsToDesign();
    blueprint->RebuildSlots();
  }
  ComputeAugmentationFactors();
}

void GUI_UD_Window::LoadDesignByName(const std::string& file) {
  if (SIM_UnitDesign* found = SIM_UnitDesignManager::Get().FindDesignByFile(file)) LoadDesign(found);
}

namespace {
std::string g_pendingLoad;

int LoadPendingDesign(int) {
  const std::string file = g_pendingLoad;
  g_pendingLoad.clear();
  if (GUI_UD_Window* window = GetUDWindow()) window->LoadDesignByName(file);
  return 0;
}
}  // namespace

void GUI_UD_Window::AskToLoadDesign(const std::string& file) {
  if (!HasUnsavedChanges()) {
    LoadDesignByName(file);
    return;
  }
  g_pendingLoad = file;
  ShowConfirmDialog("UD_UNSAVED_CONFIRM_TITLE", "UD_UNSAVED_LOAD_CONFIRM_TEXT", &LoadPendingDesign);
}

bool GUI_UD_Window::HasUnsavedChanges() const {
  if (!design) return false;
  if (unsaved) return true;
  // A name or description typed but not saved is a change too.
  return controlPanel && controlPanel->TextsTyped();
}

void GUI_UD_Window::MakeBackup() {
  ZT_ASSERT(design != nullptr);
  backup.reset();
  if (!design || design->file.empty()) return;
  auto copy = std::make_unique<SIM_UnitDesign>();
  if (copy->Load(design->file, false)) {
    backup = std::move(copy);
  } else {
    LogErrorF("Unit designer: no backup of [%s]: the file did not load", design->file.c_str());
  }
}

bool GUI_UD_Window::RevertFromBackup() {
  if (!backup || !design) return true;
  const std::string path = GetUserFolder(0) + "/design.tmp";
  bool ok = backup->Save(path);
  if (ok) {
    const std::string keep = backup->file;
    ok = design->Load(path, false);
    design->file = keep;
    if (!ok) LogErrorF("Unit designer: could not read back [%s]", path.c_str());
  } else {
    LogErrorF("Unit designer: could not write [%s]; the design keeps its changes until it is reloaded",
              path.c_str());
  }
  std::remove(path.c_str());
  backup.reset();
  return ok;
}

void GUI_UD_Window::ResetAfterDelete() {
  SIM_UnitHull* hull = design ? design->hull : nullptr;
  design = nullptr;
  owned = false;
  backup.reset();
  tab = 0;
  strips.clear();
  DeleteWindow(componentsPicker);
  DeleteWindow(augmentationsPicker);
  DeleteWindow(blueprint);
  DeleteWindow(componentDetails);
  DeleteWindow(augmentationDetails);
  DeleteWindow(summary);
  DeleteWindow(layerPicker);
  DeleteWindow(colour);
  DeleteWindow(variantPicker);
  if (viewer) viewer->Rebuild();
  BuildDesignTab();
  // The board goes on with a new, empty design on the same hull, ready to save or paint.
  if (hull) {
    NewDesignForHull(hull);
    unsaved = false;
  }
  if (GUI_UD_ControlPanel* panel = controlPanel) {
    panel->customiseButton->SetLabel("DESIGN_CUSTOMISE");
    panel->customiseButton->SetTooltip("DESIGN_CUSTOMISE_TT", 60);
  }
}

void GUI_UD_Window::ShowModuleDetails(const SIM_ModuleType* type) {
  if (!type) return;
  GUI_UD_ModuleDetails* details = type->IsAugmentation() ? augmentationDetails : componentDetails;
  if (details) details->SetModule(type);
}

void GUI_UD_Window::SelectModuleIcon(GUI_UD_ModuleIcon* icon) {
  if (!design || !icon) return;
  ShowModuleDetails(icon->type);
  GUI_UD_ModulePicker* picker =
      icon->type && icon->type->IsAugmentation() ? augmentationsPicker : componentsPicker;
  if (picker && icon->owner == picker) picker->selected = icon;
}

void GUI_UD_Window::OnDesignChanged() {
  if (blueprint) blueprint->WriteSlotsToDesign();
  ComputeAugmentationFactors();
  if (summary) summary->Refresh();
  if (componentDetails && componentDetails->type) componentDetails->SetModule(componentDetails->type);
}

void GUI_UD_Window::RefreshStats() {
  if (summary) summary->Refresh();
  for (GUI_UD_ModuleDetails* details : {componentDetails, augmentationDetails}) {
    if (details && details->type) details->SetModule(details->type);
  }
}

GUI_UD_ModulePicker* GUI_UD_Window::GetComponentsPicker(const SIM_ModuleType* type) {
  ZT_ASSERT(type != nullptr);
  return componentsPicker;
}

void GUI_UD_Window::RememberLayerColours() {
  remembered.clear();
  if (!design) return;
  for (const DesignLayer& layer : design->layers) {
    RememberedColour r;
    r.layer = layer.name;
    for (int k = 0; k < 4; ++k) r.colour[k] = layer.colour[k];
    remembered.push_back(r);
  }
}

void GUI_UD_Window::RestoreLayerColours() {
  if (!design) return;
  for (DesignLayer& layer : design->layers) {
    for (const RememberedColour& r : remembered) {
      if (r.layer != layer.name) continue;
      for (int k = 0; k < 4; ++k) layer.colour[k] = r.colour[k];
    }
  }
}
