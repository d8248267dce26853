#pragma once
// Game mode 1, the battle browser: one large window with the campaign map, the
// player's custom maps and the online challenges on three tabs. The campaign and
// custom tabs show the selected scenario's details, from which the attack and defence
// options start a battle through the loading screen.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/GameModes.h"
#include "engine/Sprites.h"
#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class GUI_BB_Details;
class GUI_BB_Window;
class GUI_BB_OfflineCampaignMap;
class GUI_BB_CustomBrowser;
class GUI_BB_OnlineBrowser;
class GUI_ButtonText;
class GUI_IconButton;
class SIM_Scenario;

class GUI_BattleBrowser : public GUI_StandardMode {
 public:
  GUI_BattleBrowser();
  ~GUI_BattleBrowser() override;
  void Enter() override;
  void Leave() override;
  // Right-clicks do nothing here.
  void OnRightDown() override {}

  GUI_IconButton* closeButton = nullptr;  // in the mode's button list
  GUI_BB_Window* window = nullptr;        // while the mode is current
  // The tab the window showed when the mode was left (a battle, the main menu): the
  // browser opens on it again, so a challenge's battle returns to the Online tab.
  int reopenTab = 0;
  // The scenario the details showed then: a battle comes back to the mission it left.
  std::string reopenScenario;
  void DeleteWindow();
};

class GUI_BB_Window : public GUI_WindowBase {
 public:
  enum Tab { kCampaign = 0, kCustom = 1, kOnline = 2 };
  explicit GUI_BB_Window(int tab = kCampaign, const std::string& scenarioName = std::string());
  ~GUI_BB_Window() override;
  void Draw() override;
  // Deletes the shown tab's windows and builds the current tab.
  void ShowTab();
  // The tab buttons' callback (their user value is the tab).
  static int OnTabButton(int index);
  // Width for a screen width, height for a screen height.
  static int WidthFor(int screenWidth);
  static int HeightFor(int screenHeight);
  // Side of the square left panel and the width left for the details (at least 300).
  static void PanelSizes(float windowWidth, float windowHeight, float& side, float& detailsWidth);

  GUI_BB_Details* details = nullptr;
  int currentTab = kCampaign;
  // The scenario the first tab shown selects when it holds it (else its first one).
  std::string reopenScenario;
  GUI_BB_OfflineCampaignMap* campaignMap = nullptr;
  GUI_BB_CustomBrowser* customBrowser = nullptr;
  GUI_BB_OnlineBrowser* onlineBrowser = nullptr;
  float panelSide = 0.0f;
  float detailsWidth = 0.0f;
  GUI_ButtonText* tabButtons[3] = {nullptr, nullptr, nullptr};
  CTexturedSprite decoration[2];
};
// The open browser window, or null.
GUI_BB_Window* GetBrowserWindow();

// ------------------------------------------------------------------ campaign map

class GUI_Tooltip;

class GUI_BB_MapIcon : public GUI_WindowBase {
 public:
  static constexpr float kSize = 60.0f;
  // The selection ring is this much larger than the icon.
  static constexpr float kSelectionScale = 1.45f;
  explicit GUI_BB_MapIcon(SIM_Scenario* scenario);
  ~GUI_BB_MapIcon() override;
  void Process() override;
  void Draw() override;
  bool LeftClick(float x, float y) override;
  // Only the topmost icon under the mouse counts as hovered (icons may overlap).
  bool IsMouseOver() override;
  float CentreX() const { return (left + right) / 2.0f; }
  float CentreY() const { return (top + bottom) / 2.0f; }
  // One line per link of the scenario, to the icon of the linked scenario.
  void DrawLinks();
  // The ring round the mission the details panel shows.
  void DrawSelection();

  CTexturedSprite icon;
  CTexturedSprite link;
  CTexturedSprite selection;
  GUI_Tooltip* tooltip = nullptr;  // owned
  SIM_Scenario* scenario = nullptr;
  uint8_t locked = 0;
  // Link names already reported as unknown (reported once, not every frame).
  std::vector<std::string> unknownLinks;
};
// The icon of the scenario of exactly that name, or null.
GUI_BB_MapIcon* FindMapIcon(const std::string& scenarioName);
// The icon hovered last (the hover sound plays once per change).
GUI_BB_MapIcon*& LastHoveredMapIcon();

// A link line between two icon centres: its length, its angle in degrees in [0, 360)
// and its centre.
struct GUI_BB_LinkGeometry {
  float length = 0.0f;
  float angle = 0.0f;
  float x = 0.0f;
  float y = 0.0f;
};
GUI_BB_LinkGeometry MapLinkGeometry(float ax, float ay, float bx, float by);

class GUI_BB_OfflineCampaignMap : public GUI_WindowBase {
 public:
  static constexpr const char* kPicture = "campaignmap.jpg";
  GUI_BB_OfflineCampaignMap();
  ~GUI_BB_OfflineCampaignMap() override;
  void Draw() override;
  // Loads the picture and places one icon per campaign scenario.
  void ShowCampaignMap();
  void PlaceMissionIcons();
  // The icon drawn last among those under the point, or null.
  GUI_BB_MapIcon* TopIconAt(float x, float y) const;

  CTexturedSprite picture;
  float pictureLeft = 0.0f, pictureTop = 0.0f, pictureWidth = 0.0f, pictureHeight = 0.0f;
  std::vector<GUI_BB_MapIcon*> icons;  // children of the map
};

// ------------------------------------------------------------------ custom maps

class GUI_ScrollingWindow;
class GUI_BB_CustomMap;

// The player's own scenarios as loaded for the custom list. They outlive the rows and
// the browser: a battle may still be fighting on one.
class GUI_BB_CustomScenarios {
 public:
  // Drops every record no battle holds, then loads "<folder>/<entry>/scenario.ini" for
  // every entry of the folder, in listing order.
  std::vector<SIM_Scenario*> Reload(const std::string& scenariosFolder);
  const std::vector<std::unique_ptr<SIM_Scenario>>& Records() const { return records_; }

 private:
  std::vector<std::unique_ptr<SIM_Scenario>> records_;
};
GUI_BB_CustomScenarios& GetCustomScenarios();

class GUI_BB_CustomBrowser : public GUI_WindowBase {
 public:
  static constexpr float kRowHeight = 60.0f;
  GUI_BB_CustomBrowser();
  ~GUI_BB_CustomBrowser() override;
  void Draw() override;
  void Process() override;
  // Rebuilds the rows from the user's scenarios folder.
  void RefreshCustomMaps();
  void ShowCustomTab();
  void LayOutRows();
  // Deletes a scenario's folder (only a direct child of the scenarios folder) and asks
  // for a refresh before the next frame: the row that asked is not deleted under itself.
  void DeleteScenarioFolder(SIM_Scenario* scenario);
  // Runs a refresh that a row asked for.
  void RunPendingRefresh();
  bool RefreshPending() const { return refreshPending_; }

  GUI_ScrollingWindow* scrollBar = nullptr;  // child window
  std::vector<GUI_BB_CustomMap*> rows;       // owned
  int rowCount = 0;

 private:
  bool refreshPending_ = false;
};
GUI_BB_CustomBrowser* GetCustomBrowser();

class GUI_BB_CustomMap : public GUI_WindowBase {
 public:
  explicit GUI_BB_CustomMap(SIM_Scenario* scenario);
  ~GUI_BB_CustomMap() override;
  void UpdateRowText();
  void Draw() override;
  void Process() override;
  bool LeftClick(float x, float y) override;

  SIM_Scenario* scenario = nullptr;
  std::string displayedName;
  GUI_IconButton* deleteButton = nullptr;  // in the row's button list
};

// ------------------------------------------------------------------ details

class GUI_ScenarioData;
class GUI_TextContainer;
class GUI_BB_Difficulty;
class GUI_BB_HighScores;

class GUI_BB_Details : public GUI_WindowBase {
 public:
  GUI_BB_Details();
  ~GUI_BB_Details() override;
  void Draw() override;
  void ShowScenario(SIM_Scenario* shown);
  static int OnAttack(int);
  static int OnDefend(int);
  static int OnEdit(int);

  GUI_BaseElement buttonsMarker;
  GUI_ButtonText* attackButton = nullptr;
  GUI_ButtonText* defendButton = nullptr;
  GUI_ButtonText* editButton = nullptr;
  SIM_Scenario* scenario = nullptr;
  CTexturedSprite picture;
  GUI_ScenarioData* data = nullptr;
  GUI_BB_Difficulty* difficulty = nullptr;
  GUI_BB_HighScores* highScores[2] = {nullptr, nullptr};
  GUI_Rect content, description, title;
  GUI_TextContainer* descriptionText = nullptr;
  std::string titleText;
  bool buttonsVisible = true;
};
GUI_BB_Details* GetDetailsPanel();

// The map designer takes the Edit button's scenario; until one registers, Edit is greyed.
using BrowserEditHook = void (*)(SIM_Scenario* scenario);
void SetBrowserEditHook(BrowserEditHook hook);

// ------------------------------------------------------------------ difficulty and scores

class GUI_BB_DifficultyOption : public GUI_WindowBase {
 public:
  GUI_BB_DifficultyOption(const std::string& key, int index);
  ~GUI_BB_DifficultyOption() override;
  void Draw() override;
  void Process() override;
  bool LeftClick(float x, float y) override;
  GUI_Tooltip* tooltip = nullptr;
  std::string text;
  int index = 0;
};

class GUI_BB_Difficulty : public GUI_WindowBase {
 public:
  GUI_BB_Difficulty();
  void Draw() override;
  void RefreshDifficulty();
  std::string titleText;
  GUI_BB_DifficultyOption* options[3] = {nullptr, nullptr, nullptr};
};

class GUI_BB_Score : public GUI_WindowBase {
 public:
  explicit GUI_BB_Score(const std::string& tooltipKey);
  ~GUI_BB_Score() override;
  void Draw() override;
  void Process() override;
  GUI_Tooltip* tooltip = nullptr;
  std::string text;
};

class GUI_BB_HighScores : public GUI_WindowBase {
 public:
  GUI_BB_HighScores();
  void Draw() override;
  void FillHighScores(const std::string& scenarioName, bool attacker);
  std::string titleText;
  GUI_BB_Score* scores[3] = {nullptr, nullptr, nullptr};
};

// Three children in a row along the bottom of a parent: (w - 20) / 3 wide each.
void LayOutRowOfThree(GUI_WindowBase* parent, GUI_WindowBase* const children[3]);

// ------------------------------------------------------------------ attack and defence options

class GUI_BB_Option : public GUI_WindowBase {
 public:
  GUI_BB_Option(const std::string& descriptionKey, const std::string& buttonKey, GUI_ButtonCallback callback,
                int index, const char* elementName);
  void Draw() override;
  GUI_ButtonText* button = nullptr;
  std::string description;
  int index = 0;
};

class GUI_BB_AttackOptions : public GUI_Dialog {
 public:
  explicit GUI_BB_AttackOptions(SIM_Scenario* scenario);
  ~GUI_BB_AttackOptions() override;
  void Draw() override;
  SIM_Scenario* scenario = nullptr;
  GUI_BB_Option* options[2] = {nullptr, nullptr};
};

class GUI_BB_DefenseOptions : public GUI_Dialog {
 public:
  explicit GUI_BB_DefenseOptions(SIM_Scenario* scenario);
  ~GUI_BB_DefenseOptions() override;
  void Draw() override;
  SIM_Scenario* scenario = nullptr;
  GUI_BB_Option* options[3] = {nullptr, nullptr, nullptr};  // scripted, adaptive, all units
};

GUI_BB_AttackOptions* GetAttackOptions();
GUI_BB_DefenseOptions* GetDefenseOptions();
void OpenAttackOptions(SIM_Scenario* scenario);
void OpenDefenseOptions(SIM_Scenario* scenario);
int OnAttackOption(int index);
int OnDefenseOption(int index);

// Whether the scenario's own designs can make up the defence its squares ask for.
bool ScenarioDesignsAvailable(SIM_Scenario* scenario);
// The scenario's AI designs ("<scenario folder>/ai_designs/*.txt").
bool AdaptiveDesignsAvailable(const SIM_Scenario* scenario);
// Recordings of the player's deployments for the scenario, the ones the recording picker
// lists: "<deployments>/<name>/recordings/*.txt" and "<scenario folder>/recordings/*.txt".
std::vector<std::string> ScenarioRecordings(const SIM_Scenario* scenario);

// The recording picker opens here for a scripted defence; until one registers, the
// scripted option stays greyed.
using RecordingPickerHook = void (*)(SIM_Scenario* scenario);
void SetRecordingPickerHook(RecordingPickerHook hook);

// ------------------------------------------------------------------ online tab

// The online challenge browser (browser/OnlineBrowser.h) fills the third tab.

// ------------------------------------------------------------ recording picker

class GUI_FilePicker;

// Chooses the recording a scripted defence replays; one at a time.
class GUI_BB_RecordingLoad : public GUI_Dialog {
 public:
  explicit GUI_BB_RecordingLoad(SIM_Scenario* scenario);
  ~GUI_BB_RecordingLoad() override;
  void Draw() override;

  // The button: the picked recording is replayed against the player in the scenario.
  static int OnLoadRecording(int);

  SIM_Scenario* scenario = nullptr;
  GUI_FilePicker* picker = nullptr;
  GUI_ButtonText* loadButton = nullptr;
  GUI_Rect nameBox;
};

GUI_BB_RecordingLoad* GetRecordingPicker();
void OpenRecordingPicker(SIM_Scenario* scenario);
// After the picker deleted a recording file: its designs folder goes too.
void DeleteRecording(const std::string& path);
// Starts a scripted defence of the scenario against the recording file; false (with a
// message) when the file is missing, and then no battle starts.
bool StartRecordingDefence(SIM_Scenario* scenario, const std::string& path);
