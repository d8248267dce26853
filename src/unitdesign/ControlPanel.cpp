// The control panel: the design's name and description, its hull, and the buttons that
// change the hull, load, save and switch to the customise tab. Saving lives here too.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/SteamGlue.h"
#include "battlescreen/DesignSprite.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "gui/ConfirmDialog.h"
#include "gui/FileDialogs.h"
#include "gui/InfoWidgets.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "simdata/Divisions.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "unitdesign/AugmentationFactors.h"
#include "unitdesign/UnitDesigner.h"

namespace {
GUI_UD_ControlPanel* g_panel = nullptr;

GUI_ButtonText* MakeButton(GUI_UD_ControlPanel* panel, GUI_ButtonCallback callback, const std::string& key) {
  auto* button = new GUI_ButtonText(callback, key, 0);
  button->SetTooltip(key + "_TT", 60);
  panel->AddButton(button);
  return button;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int ContinueSave(int) {
  GUI_UD_ControlPanel* panel = GetUDControlPanel();
  const std::string proposed = panel && panel->nameField ? panel->nameField->GetText() : std::string();
  ShowSaveFileDialog("UNITDESIGN_SAVEDESIGN", GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/", proposed,
                     &OnDesignSaveName);
  return 0;
}
}  // namespace

GUI_UD_ControlPanel* GetUDControlPanel() { return g_panel; }

std::string& DesignSaveName() {
  static std::string name;
  return name;
}

GUI_UD_ControlPanel::GUI_UD_ControlPanel() {
  g_panel = this;
  nameField = new GUI_TextEditWindow(std::string(), 64);
  descriptionField = new GUI_TextEditWindow(std::string(), 64);
  AddChild(nameField);
  AddChild(descriptionField);
  hullStrip = new GUI_DataStrip();
  hullStrip->SetLabel("HULL_NAME", "HULL_NAME_TT");
  AddChild(hullStrip);
  hullButton = MakeButton(this, &GUI_UD_ControlPanel::OnHullChange, "HULL_CHANGE");
  hullButton->SetName("DESIGN_CHANGE_HULL");
  loadButton = MakeButton(this, &GUI_UD_ControlPanel::OnLoad, "DESIGN_LOAD");
  saveButton = MakeButton(this, &GUI_UD_ControlPanel::OnSave, "DESIGN_SAVE");
  customiseButton = MakeButton(this, &GUI_UD_ControlPanel::OnCustomise, "DESIGN_CUSTOMISE");
  customiseButton->SetName("DESIGN_MODE_BUTTON");
}

GUI_UD_ControlPanel::~GUI_UD_ControlPanel() {
  ClearChildren();
  if (g_panel == this) g_panel = nullptr;
}

void GUI_UD_ControlPanel::Layout() {
  const float L = static_cast<float>(left), T = static_cast<float>(top), R = static_cast<float>(right),
              B = static_cast<float>(bottom);
  nameField->SetRect(L + 2, T + 2, R - 2, T + 30);
  descriptionField->SetRect(L + 2, T + 29, R - 2, T + 57);
  hullStrip->SetRect(L + 2, T + 56, R - 2, T + 84);
  upperFrame = GUI_Rect{static_cast<int>(L + 2), static_cast<int>(T + 56), static_cast<int>(R - 2),
                        static_cast<int>(T + 84)};
  lowerFrame = GUI_Rect{static_cast<int>(L + 2), static_cast<int>(T + 80), static_cast<int>(R - 2),
                        static_cast<int>(B)};
  const int il = lowerFrame.left + 11, it = lowerFrame.top + 11, ir = lowerFrame.right - 11,
            ib = lowerFrame.bottom - 11;
  const int w = (ir - il) / 4;
  GUI_ButtonText* order[4] = {hullButton, loadButton, saveButton, customiseButton};
  for (int i = 0; i < 4; ++i) {
    order[i]->SetRect(static_cast<float>(il + i * w), static_cast<float>(it),
                      static_cast<float>(il + (i + 1) * w), static_cast<float>(ib));
  }
}

void GUI_UD_ControlPanel::Draw() {
  DrawGUITexture(3, 8.0f, 1.0f, true, static_cast<float>(upperFrame.left), static_cast<float>(upperFrame.top),
                 static_cast<float>(upperFrame.right), static_cast<float>(upperFrame.bottom));
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(lowerFrame.left),
                 static_cast<float>(lowerFrame.top), static_cast<float>(lowerFrame.right),
                 static_cast<float>(lowerFrame.bottom));
  DrawChildren();
  DrawButtons();
}

void GUI_UD_ControlPanel::Refresh() {
  GUI_UD_Window* window = GetUDWindow();
  ZT_ASSERT(window != nullptr);
  if (!window) return;
  ZT_ASSERT(window->design != nullptr);
  SIM_UnitDesign* design = window->design;
  if (!design) return;
  nameField->SetText(design->guiName);
  descriptionField->SetText(design->description);
  // What the fields show now, as the field keeps it (cut to its length).
  shownName = nameField->GetText();
  shownDescription = descriptionField->GetText();
  hullStrip->SetValue(design->hull ? design->hull->guiName : std::string());
}

bool GUI_UD_ControlPanel::TextsTyped() const {
  return nameField->GetText() != shownName || descriptionField->GetText() != shownDescription;
}

void GUI_UD_ControlPanel::ApplyTexts() {
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design) return;
  window->design->guiName = nameField->GetText();
  window->design->description = descriptionField->GetText();
}

int GUI_UD_ControlPanel::OnHullChange(int) {
  delete GetUDHullPicker();
  new GUI_UD_HullPicker();
  return 0;
}

int GUI_UD_ControlPanel::OnLoad(int) {
  CloseDesignLoader();
  new GUI_UD_DesignLoader({"data/sampleunits/*.txt", GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/*.txt"});
  return 0;
}

int GUI_UD_ControlPanel::OnSave(int) {
  BeginDesignSave();
  return 0;
}

int GUI_UD_ControlPanel::OnCustomise(int) {
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design) return 0;
  window->ToggleCustomise();
  if (GUI_UD_ControlPanel* panel = GetUDControlPanel()) {
    const char* key = window->tab == 1 ? "DESIGN_DESIGN" : "DESIGN_CUSTOMISE";
    panel->customiseButton->SetLabel(key);
    panel->customiseButton->SetTooltip(std::string(key) + "_TT", 60);
  }
  return 0;
}

void BeginDesignSave() {
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design) return;
  if (window->blueprint && window->blueprint->HasEmptyComponentSlot()) {
    ShowMessage("UD_INVALID_SLOTS_TITLE", GetTranslation("UD_INVALID_SLOTS_TEXT"), GUI_Message::kStyleOK,
                nullptr);
    return;
  }
  if (window->blueprint && window->blueprint->HasEmptySlot()) {
    ShowConfirmDialog("UD_EMPTY_SLOTS_CONFIRM_TITLE", "UD_EMPTY_SLOTS_CONFIRM_TEXT", &ContinueSave);
    return;
  }
  ContinueSave(0);
}

std::string CheckDesignSaveName(const std::string& name) {
  if (name.empty() || name.size() > 64) return "UD_BAD_NAME_TEXT";
  if (name.find("..") != std::string::npos) return "UD_BAD_NAME_TEXT";
  for (unsigned char c : name) {
    if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ',' || c == '=' || c == '[' || c == ':')
      return "UD_BAD_NAME_TEXT";
  }
  return std::string();
}

void OnDesignSaveName(const std::string& name) {
  const std::string refused = CheckDesignSaveName(name);
  if (!refused.empty()) {
    ShowMessage("UD_BAD_NAME_TITLE", GetTranslation(refused), GUI_Message::kStyleOK, nullptr);
    return;
  }
  DesignSaveName() = name;
  if (FileExists("data/sampleunits/" + Lower(name) + ".txt")) {
    ShowMessage("UD_SAMPLE_NAME_CLASH_TITLE", GetTranslation("UD_SAMPLE_NAME_CLASH_TEXT"),
                GUI_Message::kStyleOK, nullptr);
    return;
  }
  SaveDesign(name);
}

bool SaveDesign(const std::string& saveName) {
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design) return false;
  if (!CheckDesignSaveName(saveName).empty()) return false;
  SIM_UnitDesign* design = window->design;
  const std::string oldPath = design->file;
  const std::string oldName = design->name, oldGuiName = design->guiName,
                    oldDescription = design->description;
  const std::string lname = Lower(saveName);
  const std::string path = window->sampleFolder
                               ? "data/sampleunits/" + lname + ".txt"
                               : GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/" + lname + ".txt";
  if (GUI_UD_ControlPanel* panel = GetUDControlPanel()) panel->ApplyTexts();
  design->guiName = saveName;
  design->name = lname;
  design->file = path;
  if (!design->Save(path)) {
    design->file = oldPath;
    design->name = oldName;
    design->guiName = oldGuiName;
    design->description = oldDescription;
    ShowMessage("UD_SAVE_FAILED_TITLE", GetTranslation("UD_SAVE_FAILED_TEXT"), GUI_Message::kStyleOK,
                nullptr);
    return false;
  }
  GetSteamData().CloudSynchTo(path.c_str());
  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  manager.Load();
  // Another design of the manager stood for this file: the saved one replaces it.
  for (bool found = true; found;) {
    found = false;
    for (const auto& other : manager.Designs()) {
      if (other.get() != design && other->file == path) {
        manager.RemoveDesign(other.get());
        found = true;
        break;
      }
    }
  }
  if (window->owned) {
    window->owned = false;
    manager.AdoptDesign(std::unique_ptr<SIM_UnitDesign>(design));
  }
  window->unsaved = false;
  window->MakeBackup();
  if (!oldPath.empty() && oldPath != path && FileExists(oldPath)) manager.AddDesignFromFile(oldPath);
  GUI_BS_DesignSprite::Instance().DeleteCachedFile(lname);
  SIM_DivisionManager::Instance().Load();
  if (GUI_UD_ControlPanel* panel = GetUDControlPanel()) panel->Refresh();
  ComputeAugmentationFactors();
  return true;
}
