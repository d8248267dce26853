// The recording picker: which of the player's (or the scenario's own) recordings a
// scripted defence replays.
#include "battle/Battle.h"
#include "battle/ChallengeRecording.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/FilePicker.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "simdata/Scenario.h"

namespace {
GUI_BB_RecordingLoad*& PickerPointer() {
  static GUI_BB_RecordingLoad* dialog = nullptr;
  return dialog;
}

void RecordingDeleted(const std::string& path) { DeleteRecording(path); }
}  // namespace

GUI_BB_RecordingLoad* GetRecordingPicker() { return PickerPointer(); }

GUI_BB_RecordingLoad::GUI_BB_RecordingLoad(SIM_Scenario* s) : GUI_Dialog(true), scenario(s) {
  PickerPointer() = this;
  SetSize(600.0f, 300.0f);
  // The bottom row holds the picked name and the load button, below the list.
  bottomBorder = 40.0f;
  CentreOnScreen();
  SetTranslatedTitle("BB_RECORDING_LOAD_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  // The same listing the defence options count, so the picker never opens empty.
  picker = new GUI_FilePicker(ScenarioRecordings(scenario));
  picker->afterDelete = RecordingDeleted;
  picker->SetRect(static_cast<float>(c.left), static_cast<float>(c.top), static_cast<float>(c.right),
                  static_cast<float>(c.bottom));
  picker->Layout();
  AddChild(picker);
  loadButton = new GUI_ButtonText(&GUI_BB_RecordingLoad::OnLoadRecording, "BB_RECORDING_LOAD", 0);
  loadButton->SetRect(right - 180.0f, bottom - 30.0f, right - 10.0f, bottom - 10.0f);
  loadButton->SetName("BB_RECORDING_LOAD");
  AddButton(loadButton);
  nameBox = GUI_Rect{static_cast<int>(left) + 10, static_cast<int>(bottom) - 30,
                     static_cast<int>(right) - 200, static_cast<int>(bottom) - 10};
}

GUI_BB_RecordingLoad::~GUI_BB_RecordingLoad() {
  if (PickerPointer() == this) PickerPointer() = nullptr;
}

void GUI_BB_RecordingLoad::Draw() {
  if (!visible) return;
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  gui_draw::FlushAll();
  nameBox = GUI_Rect{static_cast<int>(left) + 10, static_cast<int>(bottom) - 30,
                     static_cast<int>(right) - 200, static_cast<int>(bottom) - 10};
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.DrawRect(static_cast<float>(nameBox.left), static_cast<float>(nameBox.top),
               static_cast<float>(nameBox.right), static_cast<float>(nameBox.bottom), 0xFF202020u);
  DrawChildren();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised() && picker && !picker->SelectedName().empty()) {
    gui_draw::UseFont();
    text.Print(0, picker->SelectedName().c_str(), nameBox.left + 6.0f, nameBox.top + 1.0f,
               gui_draw::TextColour());
  }
  gui_draw::FlushAll();
}

void OpenRecordingPicker(SIM_Scenario* scenario) {
  if (!scenario) return;
  delete PickerPointer();
  new GUI_BB_RecordingLoad(scenario);
}

void DeleteRecording(const std::string& path) {
  // Only a recording's own designs folder ("<file without .txt>") may go.
  if (path.size() <= 4 || path.compare(path.size() - 4, 4, ".txt") != 0) return;
  const std::string folder = path.substr(0, path.size() - 4);
  if (DirectoryExists(folder)) DeleteFolderTree(folder);
}

bool StartRecordingDefence(SIM_Scenario* scenario, const std::string& path) {
  if (!scenario) return false;
  if (path.empty() || !FileExists(path)) {
    LogErrorF("Missing recording file: %s", path.c_str());
    ShowMessage("BB_RECORDING_LOAD_TITLE", GetTranslation("BB_RECORDING_MISSING"), GUI_Message::kStyleOK,
                nullptr);
    return false;
  }
  GetChallengeRecording().SetFile(path);
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = true;
  battle.SetScenario(scenario);
  // Set after the loading screen has started but before it runs the battle's set-up.
  battle.aiUnitSource = AI_UNITS_SCRIPTED;
  return true;
}

int GUI_BB_RecordingLoad::OnLoadRecording(int) {
  GUI_BB_RecordingLoad* dialog = PickerPointer();
  if (!dialog || !dialog->picker) return 0;
  const std::string path = dialog->picker->SelectedPath();
  SIM_Scenario* scenario = dialog->scenario;
  if (!StartRecordingDefence(scenario, path)) return 0;
  delete dialog;
  return 0;
}
