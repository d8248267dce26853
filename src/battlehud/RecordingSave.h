#pragma once
// The post-mortem's recording save: the player's deployments of the battle just fought,
// kept under a name so the scenario can later be defended against them.
#include <string>

#include "gui/Dialog.h"

class GUI_ButtonText;
class GUI_TextEditWindow;
class SIM_Scenario;

class GUI_BS_RecordingSave : public GUI_Dialog {
 public:
  GUI_BS_RecordingSave();
  ~GUI_BS_RecordingSave() override;
  void Draw() override;

  // The save button: an empty name does nothing; a refused name or a failed write is
  // explained and the dialog stays; a saved recording closes it.
  static int OnSave(int);

  std::string explanation;
  GUI_TextEditWindow* nameEdit = nullptr;
  GUI_ButtonText* saveButton = nullptr;
};

GUI_BS_RecordingSave* GetRecordingSaveDialog();

// "<deployments>/<scenario name>/recordings": where the scenario's saved recordings
// live; "" when the scenario's name cannot be a folder name.
std::string ScenarioRecordingFolder(const SIM_Scenario* scenario);
// Writes the current recording as "<folder>/<name>.txt" with its designs beside it.
// Returns "" on success, else the strings key saying why it failed.
std::string SaveCurrentRecording(const SIM_Scenario* scenario, const std::string& name);
