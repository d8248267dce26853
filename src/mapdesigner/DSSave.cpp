// The map configuration dialog and the scenario writer of the map designer.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "app/SteamGlue.h"
#include "app/Tutorial.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "gui/ConfirmDialog.h"
#include "gui/DropDownList.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_DS_MapConfiguration* g_config = nullptr;

constexpr size_t kPrefixLength = 31;
// The loader refuses names and ids longer than this, so the folder keeps what fits.
constexpr size_t kMaxTypedInFolder = SIM_Scenario::kMaxNameLength - kPrefixLength;

struct ValueRow {
  const char* label;
  int low, high;
  const char* keys[2];
};
const ValueRow kValueRows[9] = {
    {"MAP_CONFIG_STARTSUP_ATTACK", 0, 100000, {"classic_startingsupplies_attacker", nullptr}},
    {"MAP_CONFIG_STARTSUP_DEFEND", 0, 100000, {"classic_startingsupplies_defender", nullptr}},
    {"MAP_CONFIG_TIMELIMIT", 10000, 600000, {"classic_timelimit", nullptr}},
    {"MAP_CONFIG_SUPPLIESCAP", 2000, 100000, {"classic_suppliescap", nullptr}},
    {"MAP_CONFIG_SPS_ATTACK",
     0,
     500,
     {"classic_suppliespersecond_attack_start", "classic_suppliespersecond_attack_end"}},
    {"MAP_CONFIG_SPS_DEFEND", 0, 500, {"classic_suppliespersecond_start", "classic_suppliespersecond_end"}},
    {"MAP_CONFIG_HPLEFTLIMIT", 1, 50000, {"classic_hpleftlimit", nullptr}},
    {"MAP_CONFIG_DIFFICULTY_ATTACKER", 0, 4, {"attacker_difficulty_adjuster", nullptr}},
    {"MAP_CONFIG_DIFFICULTY_DEFENDER", 0, 4, {"defender_difficulty_adjuster", nullptr}},
};

const char* const kListLabels[7] = {"MAP_CONFIGURATION_NAME",       "MAP_CONFIGURATION_DESC",
                                    "MAP_CONFIGURATION_MUSIC",      "MAP_CONFIGURATION_DUST",
                                    "MAP_CONFIGURATION_ATMOSPHERE", "MAP_CONFIGURATION_DAYTIME",
                                    "MAP_CONFIGURATION_AMBIENCE"};

std::vector<DayTime>& DayTimeTable() {
  static std::vector<DayTime> table;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    SettingsFile file;
    file.LoadSection("data/daytimes.txt", "times");
    std::string key, value;
    file.RewindEntries();
    while (file.GetEntry(key, value)) {
      DayTime time;
      if (ParseDayTime(value, time)) {
        table.push_back(time);
      } else {
        LogErrorF("data/daytimes.txt: unusable time of day [%s] skipped", value.c_str());
      }
    }
  }
  return table;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int ClampedValue(const std::string& typed, int current, int low, int high) {
  char* end = nullptr;
  const long value = std::strtol(typed.c_str(), &end, 10);
  const long chosen = (end == typed.c_str()) ? current : value;
  return static_cast<int>(std::clamp<long>(chosen, low, high));
}

int OverwriteConfirmed(int) {
  if (g_config) WriteScenario(g_config);
  return 0;
}
}  // namespace

bool ParseDayTime(const std::string& value, DayTime& out) {
  Tokenizer tokens(value, ',');
  out = DayTime();
  out.name = tokens.NextString();
  if (out.name.empty()) return false;
  const int first = tokens.NextInt();
  if (first == -1) {
    out.hasLightColour = false;
    return true;
  }
  out.hasLightColour = true;
  out.r = std::clamp(first, 0, 255);
  out.g = std::clamp(tokens.NextInt(), 0, 255);
  out.b = std::clamp(tokens.NextInt(), 0, 255);
  out.a = std::clamp(tokens.NextInt(), 0, 255);
  return true;
}

const std::vector<DayTime>& DayTimes() { return DayTimeTable(); }

const DayTime* FindDayTime(const std::string& name) {
  for (const DayTime& time : DayTimeTable())
    if (time.name == name) return &time;
  return nullptr;
}

std::string MapNameProblem(const std::string& name) {
  if (name.empty()) return "MAPEDIT_NAME_EMPTY";
  if (name.find("..") != std::string::npos) return "MAPEDIT_NAME_BAD";
  for (unsigned char c : name) {
    if (c == '/' || c == '\\' || c < 32 || c == 127) return "MAPEDIT_NAME_BAD";
  }
  if (name == ".") return "MAPEDIT_NAME_BAD";
  return std::string();
}

std::string MapFolderName(const SIM_Scenario& scenario, bool customMap, const std::string& typedName) {
  std::string prefix;
  if (customMap) {
    const std::string root = GetUserFolder(USERFOLDER_SCENARIOS) + "/";
    if (scenario.file.compare(0, root.size(), root) == 0 &&
        scenario.file.size() >= root.size() + kPrefixLength) {
      const std::string candidate = scenario.file.substr(root.size(), kPrefixLength);
      if (AllDigits(candidate)) prefix = candidate;
    }
  }
  if (prefix.empty()) prefix = RandomString();
  return prefix + typedName.substr(0, kMaxTypedInFolder);
}

// ---- the dialog ------------------------------------------------------------------------

GUI_DS_MapConfiguration* GetDSMapConfiguration() { return g_config; }

void OpenMapConfiguration(SIM_Scenario* scenario) {
  delete g_config;
  if (scenario) new GUI_DS_MapConfiguration(scenario);
}

GUI_DS_MapConfiguration::GUI_DS_MapConfiguration(SIM_Scenario* scenario)
    : GUI_Dialog(true), scenario(scenario) {
  g_config = this;
  SetSize(600.0f, 545.0f + 30.0f);
  bottomBorder = 36.0f;
  CentreOnScreen();
  SetModal(true);
  const GUI_Rect c = GetClientRect();
  const float CL = static_cast<float>(c.left), CT = static_cast<float>(c.top),
              CR = static_cast<float>(c.right), CB = static_cast<float>(c.bottom);
  GUI_DS_Window* window = GetDSWindow();
  const bool custom = window && window->customMap;

  saveButton = new GUI_ButtonText(&SaveMapPressed, "MAP_CONFIGURATION_SAVE", 0);
  saveButton->SetTooltip("MAP_CONFIGURATION_SAVE_TT", 60);
  saveButton->SetRect(CL, CB + 5.0f, CR, CB + 29.0f);
  saveButton->enabled = false;
  AddButton(saveButton);

  nameEdit = new GUI_TextEditWindow(custom ? scenario->guiName : std::string(), 128);
  nameEdit->SetRect(CL + 10.0f, CT + 27.0f, CR - 10.0f, CT + 52.0f);
  AddChild(nameEdit);
  descriptionEdit = new GUI_TextEditWindow(custom ? scenario->description : std::string(), 140);
  descriptionEdit->SetRect(CL + 10.0f, CT + 72.0f, CR - 10.0f, CT + 122.0f);
  AddChild(descriptionEdit);

  float y = CT + 137.0f;
  for (int i = 0; i < 9; ++i, y += 25.0f) {
    const ValueRow& row = kValueRows[i];
    const int current =
        static_cast<int>(scenario->Config().GetFloat(row.keys[0], static_cast<float>(row.low)));
    auto* edit = new GUI_TextEditWindow(std::to_string(std::clamp(current, row.low, row.high)), 32);
    edit->numeric = 1;
    edit->minValue = row.low;
    edit->maxValue = row.high;
    edit->SetRect(CL + 210.0f, y, CR - 10.0f, y + 25.0f);
    edit->SetTooltip(std::string(row.label) + "_TT");
    AddChild(edit);
    valueEdits[i] = edit;
    valueLabels[i] = GetTranslation(row.label);
    char range[48];
    std::snprintf(range, sizeof range, "(%d - %d)", row.low, row.high);
    rangeLabels[i] = range;
  }
  for (int i = 0; i < 7; ++i) labels[i] = GetTranslation(kListLabels[i]);

  auto list = [this, CL, CR](float top) {
    auto* l = new GUI_DropDownList();
    l->SetRect(CL + 210.0f, top, CR - 10.0f, top + 20.0f);
    AddChild(l);
    return l;
  };
  y += 10.0f;
  musicList = list(y);
  musicList->AddMatchingFiles("data/sounds/music/battles/*.*");
  musicList->SetSelectedText(scenario->music);
  atmosphereList = list(y + 25.0f);
  for (const char* e : {"NORMAL", "DESERT", "SNOWING"}) atmosphereList->AddEntry(e);
  atmosphereList->SetSelectedText(scenario->Config().GetString("atmosphere"));
  dustList = list(y + 50.0f);
  dustList->showsTranslations = true;  // the scenario stores the key, the player reads its name
  for (const char* e : {"DUST_NORMAL", "DUST_SNOW", "DUST_SAND"}) dustList->AddEntry(e);
  dustList->SetSelectedText(scenario->Config().GetString("dust"));
  timeOfDayList = list(y + 75.0f);
  for (const DayTime& time : DayTimes()) timeOfDayList->AddEntry(time.name);
  timeOfDayList->SetSelectedText(scenario->timeOfDay);
  ambienceList = list(y + 100.0f);
  ambienceList->AddMatchingFiles("data/sounds/ambience/*.*");
  const size_t slash = scenario->ambientSound.find_last_of('/');
  ambienceList->SetSelectedText(slash == std::string::npos ? scenario->ambientSound
                                                           : scenario->ambientSound.substr(slash + 1));
  SetTranslatedTitle("MAP_CONFIGURATION_TITLE");
  if (const SIM_MapSquare* stuck = scenario ? FindSquareWithoutExit(*scenario) : nullptr) {
    char line[256];
    std::snprintf(line, sizeof line, GetTranslation("MAPEDIT_NO_EXIT_ROUTE").c_str(), stuck->row,
                  stuck->column);
    routeWarning = line;
  }
  GetTutorial().Trigger("EDITOR_SAVE1");
}

GUI_DS_MapConfiguration::~GUI_DS_MapConfiguration() {
  if (g_config == this) g_config = nullptr;
}

const SIM_MapSquare* FindSquareWithoutExit(const SIM_Scenario& scenario) {
  for (const auto& owned : scenario.grid) {
    const SIM_MapSquare* start = owned.get();
    if (start->links.empty() || start->defenderFlag) continue;
    std::vector<char> seen(scenario.grid.size(), 0);
    std::vector<const SIM_MapSquare*> open{start};
    bool out = false;
    while (!open.empty() && !out) {
      const SIM_MapSquare* square = open.back();
      open.pop_back();
      if (square->IsExit()) out = true;
      for (int32_t link : square->links) {
        const SIM_MapSquare* next = scenario.GetSquareByNumber(link);
        if (!next || link < 0 || static_cast<size_t>(link) >= seen.size() || seen[static_cast<size_t>(link)])
          continue;
        seen[static_cast<size_t>(link)] = 1;
        open.push_back(next);
      }
    }
    if (!out) return start;
  }
  return nullptr;
}

void GUI_DS_MapConfiguration::Draw() {
  const bool ready = !nameEdit->GetText().empty() && !descriptionEdit->GetText().empty();
  saveButton->enabled = ready;
  // A greyed Save says what it waits for.
  const std::string waiting = GetTranslation("MAPEDIT_SAVE_NEEDS_TEXT");
  if (!ready && message.empty()) message = waiting;
  if (ready && message == waiting) message.clear();
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushAll();
  DrawChildren();
  DrawButtons();
  UseFont();
  TextRenderer& text = GetTextRenderer();
  const uint32_t colour = TextColour();
  const float CL = static_cast<float>(c.left);
  text.Print(0, labels[0].c_str(), CL + 10.0f, c.top + 7.0f, colour);
  text.Print(0, labels[1].c_str(), CL + 10.0f, c.top + 52.0f, colour);
  for (int i = 0; i < 9; ++i) {
    text.Print(0, valueLabels[i].c_str(), CL + 10.0f, static_cast<float>(valueEdits[i]->top), colour);
    text.Print(0, rangeLabels[i].c_str(), valueEdits[i]->right - 200.0f,
               static_cast<float>(valueEdits[i]->top), 0x80ffffffu);
  }
  const GUI_DropDownList* lists[5] = {musicList, atmosphereList, dustList, timeOfDayList, ambienceList};
  const int labelIndex[5] = {2, 4, 3, 5, 6};
  for (int i = 0; i < 5; ++i)
    text.Print(0, labels[labelIndex[i]].c_str(), CL + 10.0f, static_cast<float>(lists[i]->top), colour);
  if (!routeWarning.empty()) text.Print(0, routeWarning.c_str(), CL + 10.0f, c.bottom - 44.0f, 0xFFFFC040u);
  if (!message.empty()) text.Print(0, message.c_str(), CL + 10.0f, c.bottom - 22.0f, 0xFFFF8060u);
  FlushAll();
}

int SaveMapPressed(int) {
  GUI_DS_MapConfiguration* dialog = g_config;
  if (!dialog || !dialog->scenario) return 0;
  const std::string typed = dialog->nameEdit->GetText();
  if (typed.empty() || dialog->descriptionEdit->GetText().empty()) return 0;
  // The typed name becomes part of a folder name: nothing that leaves the folder.
  const std::string problem = MapNameProblem(typed);
  if (!problem.empty()) {
    LogErrorF("Map designer: map name [%s] refused", typed.c_str());
    dialog->message = GetTranslation(problem);
    ShowMessage("MAPEDIT_NAME_TITLE", GetTranslation(problem), GUI_Message::kStyleClose, nullptr);
    return 0;
  }
  GUI_DS_Window* window = GetDSWindow();
  dialog->pendingFolderName = MapFolderName(*dialog->scenario, window && window->customMap, typed);
  const std::string path =
      GetUserFolder(USERFOLDER_SCENARIOS) + "/" + dialog->pendingFolderName + "/scenario.ini";
  // Nothing changes in the record until the write: declining the overwrite leaves it.
  if (FileExists(path)) {
    ShowConfirmDialog("CUSTOM_SAVE_OVERWRITE_TITLE", "CUSTOM_SAVE_OVERWRITE_TEXT", &OverwriteConfirmed);
  } else {
    WriteScenario(dialog);
  }
  return 0;
}

void WriteScenario(GUI_DS_MapConfiguration* dialog) {
  if (!dialog || !dialog->scenario || dialog->pendingFolderName.empty()) return;
  SIM_Scenario& scenario = *dialog->scenario;
  SettingsFile& config = scenario.Config();
  const std::string folderName = dialog->pendingFolderName;
  const std::string folder = GetUserFolder(USERFOLDER_SCENARIOS) + "/" + folderName;
  if (!TryEnsureDirectoryExists(folder)) {
    LogErrorF("Map designer: folder [%s] could not be made; map not saved", folder.c_str());
    dialog->message = GetTranslation("MAPEDIT_SAVE_FAILED");
    return;
  }
  scenario.SetGuiName(dialog->nameEdit->GetText());
  scenario.SetName(folderName);
  scenario.id = folderName;
  config.Set("id", folderName);
  scenario.file = folder + "/scenario.ini";

  const std::string timeName = dialog->timeOfDayList->SelectedText();
  if (const DayTime* time = FindDayTime(timeName)) {
    if (time->hasLightColour) {
      config.Set("using_lightmap", "1");
      char colour[64];
      std::snprintf(colour, sizeof colour, "%d,%d,%d,%d", time->r, time->g, time->b, time->a);
      config.Set("lightmap_color", colour);
    } else {
      config.Set("using_lightmap", "0");
    }
    config.Set("timeofday", time->name);
    scenario.timeOfDay = time->name;
  }

  const std::string imageName = RandomString() + ".jpg";
  const std::string bitmaps = scenario.Folder() + "/bitmaps";
  TryEnsureDirectoryExists(bitmaps);
  RegisterTextureFolder(bitmaps);
  const std::string oldImage = config.GetString("texture");
  bool baked = false;
  if (GetDSMap()) {
    BakeMapImage(bitmaps + "/" + imageName);
    // The map names its picture only when there is one to show.
    baked = FileExists(bitmaps + "/" + imageName);
    if (baked) config.Set("texture", imageName);
  }

  for (int i = 0; i < 9; ++i) {
    const ValueRow& row = kValueRows[i];
    const int current = static_cast<int>(config.GetFloat(row.keys[0], static_cast<float>(row.low)));
    const int value = ClampedValue(dialog->valueEdits[i]->GetText(), current, row.low, row.high);
    for (const char* key : row.keys)
      if (key) config.SetInt(key, value);
  }
  config.SetInt("mode_classic_attack", 1);
  config.SetInt("mode_classic_defend", 1);
  config.Set("music", dialog->musicList->SelectedText());
  if (!dialog->ambienceList->SelectedText().empty())
    config.Set("ambient_sound", "data/sounds/ambience/" + dialog->ambienceList->SelectedText());
  config.Set("atmosphere", dialog->atmosphereList->SelectedText());
  config.Set("dust", dialog->dustList->SelectedText());
  scenario.SetDescription(dialog->descriptionEdit->GetText());
  scenario.SetShadowMap("procedural");
  if (!scenario.WriteMap(scenario.file)) {
    // The picture of a map that was not written would lie in its folder unused.
    if (baked) {
      std::remove((bitmaps + "/" + imageName).c_str());
      config.Set("texture", oldImage);
    }
    dialog->message = GetTranslation("MAPEDIT_SAVE_FAILED");
    return;
  }
  // The picture this save replaced is no longer named by the map.
  if (baked && !oldImage.empty() && oldImage != imageName && IsPlainFileName(oldImage))
    std::remove((bitmaps + "/" + oldImage).c_str());
  GetSteamData().CloudSynchTo(scenario.file.c_str());
  {
    char line[512];
    std::snprintf(line, sizeof line, GetTranslation("MAPEDIT_SAVED").c_str(), scenario.guiName.c_str());
    ShowMessage("MAP_CONFIGURATION_TITLE", line, GUI_Message::kStyleOK, nullptr);
  }
  // The record stays the window's to delete (nothing else owns it); it stays a preset
  // map until it is opened again from the browser.
  delete dialog;
}
