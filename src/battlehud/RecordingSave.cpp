#include "battlehud/RecordingSave.h"

#include "battle/Battle.h"
#include "battle/ChallengeRecording.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/FileDialogs.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "simdata/Scenario.h"

namespace {
GUI_BS_RecordingSave* g_recordingSave = nullptr;
}  // namespace

GUI_BS_RecordingSave* GetRecordingSaveDialog() { return g_recordingSave; }

std::string ScenarioRecordingFolder(const SIM_Scenario* scenario) {
  if (!scenario || !IsPlainFileName(scenario->name)) return std::string();
  return GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/" + scenario->name + "/recordings";
}

std::string SaveCurrentRecording(const SIM_Scenario* scenario, const std::string& name) {
  const std::string folder = ScenarioRecordingFolder(scenario);
  if (folder.empty()) return "RECORDING_SAVE_FAILED";
  const std::string reason = GUI_SaveFileDialog::CheckName(folder, name, ".txt");
  if (!reason.empty()) return reason;
  if (name.find(',') != std::string::npos || name.find('=') != std::string::npos || name.size() > 64)
    return "FILESAVE_NAME_SEPARATOR";
  SIM_ChallengeRecording& recording = GetChallengeRecording();
  // Later deployments must not join the saved recording.
  recording.state = SIM_ChallengeRecording::STATE_IDLE;
  if (!TryEnsureDirectoryExists(folder)) {
    LogErrorF("Recording folder could not be made: %s", folder.c_str());
    return "RECORDING_SAVE_FAILED";
  }
  if (!recording.Save(folder + "/" + name + ".txt")) return "RECORDING_SAVE_FAILED";
  if (!SaveRecordingDesigns(recording, folder, name)) return "RECORDING_SAVE_FAILED";
  return std::string();
}

GUI_BS_RecordingSave::GUI_BS_RecordingSave() : GUI_Dialog(true) {
  delete g_recordingSave;
  g_recordingSave = this;
  bottomBorder = 36.0f;
  SetSize(400.0f, 170.0f);
  CentreOnScreen();
  SetTranslatedTitle("RECORDING_SAVE_TITLE");
  LayoutTitleBar();
  explanation = GetTranslation("RECORDING_SAVE_TEXT");
  const GUI_Rect c = GetClientRect();
  nameEdit = new GUI_TextEditWindow("My Recording", 64);
  nameEdit->fileNameSafe = true;
  nameEdit->SetRect(c.left + 10.0f, c.bottom - 34.0f, c.right - 10.0f, c.bottom - 8.0f);
  AddChild(nameEdit);
  saveButton = new GUI_ButtonText(&GUI_BS_RecordingSave::OnSave, "RECORDING_SAVE_SAVE", 0);
  saveButton->SetRect(static_cast<float>(c.left), c.bottom + 10.0f, static_cast<float>(c.right),
                      c.bottom + 30.0f);
  saveButton->SetName("RECORDING_SAVE_SAVE");
  AddButton(saveButton);
}

GUI_BS_RecordingSave::~GUI_BS_RecordingSave() {
  if (g_recordingSave == this) g_recordingSave = nullptr;
}

void GUI_BS_RecordingSave::Draw() {
  if (!visible) return;
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  gui_draw::FlushAll();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    text.SetFont("18.dds", 16.0f);
    text.PrintWrapped(explanation.c_str(), gui_draw::TextColour(), c.left + 10.0f, static_cast<float>(c.top),
                      static_cast<float>(c.right - c.left - 20));
  }
  DrawChildren();
  gui_draw::FlushAll();
}

int GUI_BS_RecordingSave::OnSave(int) {
  GUI_BS_RecordingSave* dialog = g_recordingSave;
  if (!dialog || !dialog->nameEdit) return 0;
  const std::string name = dialog->nameEdit->GetText();
  if (name.empty()) return 0;
  const std::string failure = SaveCurrentRecording(GetBattle().scenario, name);
  if (!failure.empty()) {
    ShowMessage("RECORDING_SAVE_TITLE", GetTranslation(failure), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  dialog->Close();
  delete dialog;
  return 0;
}
