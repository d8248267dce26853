// The attack and defence options: how the computer opponent plays. An option's button
// records the choice in the battle's objects and starts the battle through the loading
// screen, or opens the recording picker for a scripted defence.
#include <cstdlib>
#include <cstring>

#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"

namespace {
GUI_BB_AttackOptions*& AttackPointer() {
  static GUI_BB_AttackOptions* dialog = nullptr;
  return dialog;
}
GUI_BB_DefenseOptions*& DefensePointer() {
  static GUI_BB_DefenseOptions* dialog = nullptr;
  return dialog;
}
RecordingPickerHook& PickerHook() {
  static RecordingPickerHook hook = nullptr;
  return hook;
}

// A composition value: the first 63 characters read as a decimal integer; missing is 0.
int CompositionValue(const SIM_Scenario* scenario, const char* key) {
  std::string text = scenario->Config().GetString(key);
  if (text.size() > 63) text.resize(63);
  return std::atoi(text.c_str());
}

void DrawOptionsDialog(GUI_Dialog& dialog, GUI_BB_Option* const* options, int count) {
  dialog.GUI_Dialog::Draw();
  const GUI_Rect c = dialog.clientRect;
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  gui_draw::FlushAll();
  GetTextRenderer().SetFont("18.dds", 16.0f);
  for (int i = 0; i < count; ++i)
    if (options[i]) options[i]->Draw();
  gui_draw::FlushAll();
}

void StartBattle(SIM_Scenario* scenario) {
  if (!scenario) return;
  GetBattle().SetScenario(scenario);
}
}  // namespace

GUI_BB_AttackOptions* GetAttackOptions() { return AttackPointer(); }
GUI_BB_DefenseOptions* GetDefenseOptions() { return DefensePointer(); }
void SetRecordingPickerHook(RecordingPickerHook hook) { PickerHook() = hook; }

bool ScenarioDesignsAvailable(SIM_Scenario* scenario) {
  if (!scenario) return false;
  scenario->LoadAIDesigns();
  const bool emplace = CompositionValue(scenario, "composition_emplace") != 0;
  const bool turret = CompositionValue(scenario, "composition_turret") != 0;
  const bool support = CompositionValue(scenario, "composition_support") != 0;
  return SIM_UnitDesignManager::Get().HasAIDesignFor(emplace, turret, support);
}

bool AdaptiveDesignsAvailable(const SIM_Scenario* scenario) {
  return scenario && !ListFiles(scenario->Folder() + "/ai_designs/*.txt").empty();
}

std::vector<std::string> ScenarioRecordings(const SIM_Scenario* scenario) {
  std::vector<std::string> found;
  if (!scenario) return found;
  FileList list;
  list.usePrefix = true;
  // The player's own recordings, then any that came with the scenario.
  if (IsPlainFileName(scenario->name))
    ListFiles(list, GetUserFolder(USERFOLDER_DEPLOYMENTS) + "/" + scenario->name + "/recordings/*.txt");
  found = list.files;
  FileList shipped;
  shipped.usePrefix = true;
  ListFiles(shipped, scenario->Folder() + "/recordings/*.txt");
  found.insert(found.end(), shipped.files.begin(), shipped.files.end());
  return found;
}

// ---------------------------------------------------------------- option row

GUI_BB_Option::GUI_BB_Option(const std::string& descriptionKey, const std::string& buttonKey,
                             GUI_ButtonCallback callback, int i, const char* elementName)
    : index(i) {
  description = GetTranslation(descriptionKey);
  button = new GUI_ButtonText(callback, buttonKey, static_cast<uint32_t>(i));
  button->SetName(elementName);
  AddButton(button);
}

void GUI_BB_Option::Draw() {
  if (!visible) return;
  gui_draw::FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
               static_cast<float>(bottom), 0xFF000000u);
  const float centre = (top + bottom) / 2.0f;
  button->SetRect(static_cast<float>(right) - 140.0f, centre - 10.0f, static_cast<float>(right) - 14.0f,
                  centre + 14.0f);
  TextRenderer& text = GetTextRenderer();
  text.SetFont("18.dds", 16.0f);
  text.PrintWrapped(description.c_str(), gui_draw::TextColour(), static_cast<float>(left) + 10.0f,
                    static_cast<float>(top) + 2.0f, static_cast<float>(width) - 140.0f);
  GUI_WindowBase::Draw();
}

// ---------------------------------------------------------------- attack

GUI_BB_AttackOptions::GUI_BB_AttackOptions(SIM_Scenario* s) : GUI_Dialog(true), scenario(s) {
  AttackPointer() = this;
  SetRect(0.0f, 0.0f, 550.0f, 150.0f);
  CentreOnScreen();
  const GUI_Rect c = GetClientRect();
  options[0] = new GUI_BB_Option("ATTOPT_SCEN", "ATTOPT_SCEN_BUT", OnAttackOption, 0, "ATTACK_OPTION_BUTTON");
  options[1] = new GUI_BB_Option("ATTOPT_ANY", "ATTOPT_ANY_BUT", OnAttackOption, 1, "ATTACK_OPTION_BUTTON");
  options[0]->button->enabled = ScenarioDesignsAvailable(scenario);
  const int w = (c.right - c.left - 20) / 2;
  for (int i = 0; i < 2; ++i) {
    AddChild(options[i]);
    options[i]->SetRect(static_cast<float>(c.left + 10 + i * w), static_cast<float>(c.top + 10),
                        static_cast<float>(c.left + 10 + (i + 1) * w - 2), static_cast<float>(c.bottom - 10));
  }
  Open();
  SetTranslatedTitle("GUI_ATTACK_OPTIONS_TITLE");
  LayoutTitleBar();
  GetTutorial().Trigger("BATTLE_ATTACK_OPTIONS");
}

GUI_BB_AttackOptions::~GUI_BB_AttackOptions() {
  if (AttackPointer() == this) AttackPointer() = nullptr;
}

void GUI_BB_AttackOptions::Draw() {
  if (visible) DrawOptionsDialog(*this, options, 2);
}

void OpenAttackOptions(SIM_Scenario* scenario) {
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  delete AttackPointer();
  new GUI_BB_AttackOptions(scenario);
}

int OnAttackOption(int index) {
  GUI_BB_AttackOptions* dialog = GetAttackOptions();
  if (!dialog || index < 0 || index > 1) return 0;
  GetAIDesignList().source = index;
  GetBattle().aiUnitSource = index == 0 ? AI_UNITS_SCENARIO : AI_UNITS_ALL;
  SIM_Scenario* scenario = dialog->scenario;
  delete dialog;
  StartBattle(scenario);
  return 0;
}

// ---------------------------------------------------------------- defence

GUI_BB_DefenseOptions::GUI_BB_DefenseOptions(SIM_Scenario* s) : GUI_Dialog(true), scenario(s) {
  DefensePointer() = this;
  SetRect(0.0f, 0.0f, 550.0f, 250.0f);
  CentreOnScreen();
  const GUI_Rect c = GetClientRect();
  options[0] =
      new GUI_BB_Option("DEFOPT_SCRIPTED", "DEFOPT_SCRIPTED_BUT", OnDefenseOption, 2, "DEFEND_OPTION_BUTTON");
  options[1] =
      new GUI_BB_Option("DEFOPT_ADAPTIVE", "DEFOPT_ADAPTIVE_BUT", OnDefenseOption, 0, "DEFEND_OPTION_BUTTON");
  options[2] = new GUI_BB_Option("DEFOPT_ADAPTIVEALLUNITS", "DEFOPT_ADAPTIVEALLUNITS_BUT", OnDefenseOption, 1,
                                 "DEFEND_OPTION_BUTTON");
  // The scripted defence needs a recording the picker can list, and the picker itself.
  options[0]->button->enabled = PickerHook() != nullptr && !ScenarioRecordings(scenario).empty();
  options[1]->button->enabled = AdaptiveDesignsAvailable(scenario);
  const int h = (c.bottom - c.top - 20) / 3;
  for (int i = 0; i < 3; ++i) {
    AddChild(options[i]);
    options[i]->SetRect(static_cast<float>(c.left + 10), static_cast<float>(c.top + 10 + i * h),
                        static_cast<float>(c.right - 10), static_cast<float>(c.top + 10 + (i + 1) * h - 2));
  }
  Open();
  SetTranslatedTitle("GUI_DEFENSE_OPTIONS_TITLE");
  LayoutTitleBar();
  GetTutorial().Trigger("BATTLE_DEFEND_OPTIONS");
}

GUI_BB_DefenseOptions::~GUI_BB_DefenseOptions() {
  if (DefensePointer() == this) DefensePointer() = nullptr;
}

void GUI_BB_DefenseOptions::Draw() {
  if (visible) DrawOptionsDialog(*this, options, 3);
}

void OpenDefenseOptions(SIM_Scenario* scenario) {
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  delete DefensePointer();
  new GUI_BB_DefenseOptions(scenario);
}

int OnDefenseOption(int index) {
  GUI_BB_DefenseOptions* dialog = GetDefenseOptions();
  if (!dialog) return 0;
  SIM_Scenario* scenario = dialog->scenario;
  if (index == 0 || index == 1) {
    // The attacker AI takes every unit type with the second option.
    delete dialog;
    StartBattle(scenario);
    // Set after the loading screen has started but before it runs the battle's set-up.
    GetBattle().aiUnitSource = index == 0 ? AI_UNITS_SCENARIO : AI_UNITS_ALL;
  } else if (index == 2) {
    if (RecordingPickerHook hook = PickerHook()) hook(scenario);
    delete GetDefenseOptions();
  }
  return 0;
}
