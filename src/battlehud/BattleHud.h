#pragma once
// The battle's own windows around the dropper: the deployment window (the shop of
// designs along the bottom), the top strip (supplies, clock, victory points and the
// fight button) and the post-mortem that ends a battle.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class SIM_UnitDesign;
class GUI_ButtonText;
class GUI_IconButton;
class GUI_ClockTimer;
class GUI_ScrollingWindow;
class GUI_SpriteSheet;
class GUI_Tooltip;
struct SupplyLimitEntry;
struct SIM_AirStrikeType;

// The designs of the selected division the player may deploy, ordered by class
// (LIGHTTANK ... LARGETURRET; other classes are left out).
std::vector<SIM_UnitDesign*> BuildDeployableDesignList();
// Whether the division names at least one existing design the player may deploy.
bool DivisionHasDeployableDesign(const class SIM_Division* division);

// The popup over a hovered unit icon: the design's name, description, picture and the
// icons of its modules in eight slots, joined to the icon by a thin connector.
// A framed dialog drawn by the deployment window (it takes no clicks of its own); each
// filled module slot lights up under the pointer and names its module in a tooltip.
class GUI_BS_DesignPopup : public GUI_Dialog {
 public:
  static constexpr int kSlots = 8;
  static constexpr int kBorder = 6;
  static constexpr int kWidth = 2 * kBorder + 192 + 38 + 96;
  static constexpr int kHeight = 2 * kBorder + 96 + 50;
  explicit GUI_BS_DesignPopup(SIM_UnitDesign* design);
  ~GUI_BS_DesignPopup() override;
  // Above the deployment window, centred on the icon but never past the screen's edge.
  void Layout(int iconLeft, int iconTop, int iconRight, int windowTop, int screenWidth);
  void Draw() override;
  // The slot (0..7) under the point, or -1.
  int SlotAt(float x, float y) const;
  // The module types of the eight slots in module order; null for an empty slot.
  std::vector<const class SIM_ModuleType*> slots;
  // A filled slot's tooltip (the module's name); null for an empty one.
  std::vector<std::unique_ptr<GUI_Tooltip>> slotTooltips;
  SIM_UnitDesign* design = nullptr;
  int connectorLeft = 0, connectorTop = 0, connectorRight = 0, connectorBottom = 0;
  // The description band and the grid under the picture (its centre).
  int descLeft = 0, descTop = 0, descRight = 0, descBottom = 0;
  float gridX = 0.0f, gridY = 0.0f;
  std::string title;
  std::string picture;
};

// One sprite of the deployment art: its centre and size on screen and its rectangle of
// "ui_deployment_bg.dds" (a mirrored piece has u0 > u1).
struct DeploymentArtPiece {
  bool shown = false;
  float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
  float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
};

// The console along the bottom of the screen behind the deployment strip: the corner
// blocks, the centre halves, the scroll trough and the fins beside the division button,
// with filler pieces towards the corners on screens wider than 1280. It takes no clicks.
class GUI_BS_Deployment_BG : public GUI_WindowBase {
 public:
  static constexpr int kSlots = 9;
  GUI_BS_Deployment_BG();
  // After the strip is sized: the scroll bar's left and right edges set the trough.
  void Layout(int screenWidth, int screenHeight, float scrollBarLeft, float scrollBarRight);
  // Slots 0-3, the filler pieces, then slots 4-8.
  void Draw() override;
  DeploymentArtPiece slots[kSlots];
  std::vector<DeploymentArtPiece> edges;
};

class GUI_BS_Deployment : public GUI_WindowBase {
 public:
  static constexpr int kIconSize = 92;
  static constexpr int kSheetCell = 128;
  static constexpr const char* kSheetName = "rt_depicons";
  // Opens with the icons of the selected division.
  GUI_BS_Deployment();
  // An empty window that is not opened (tests of the window's lifetime).
  enum Empty { kEmpty };
  explicit GUI_BS_Deployment(Empty);
  ~GUI_BS_Deployment() override;

  void Refresh();
  // Re-reads which icons are enabled; true when one changed.
  bool RefreshIfChanged();
  void Draw() override;
  bool LeftClick(float x, float y) override;
  // The wheel scrolls the strip by one icon, within 0..ScrollMax().
  void OnWheelUp() override;
  void OnWheelDown() override;
  // Moves the first visible icon; false when it did not move.
  bool ScrollTo(int position);
  int ScrollMax() const;
  // Places the scroll bar under the icons and gives it the strip's range and position.
  void SyncScrollBar();
  int VisibleCount() const;
  // The icon index (into icons) under the point, or -1.
  int IconAt(float x, float y) const;
  // The division button: opens the division manager.
  static int OnDivisionButton(int);
  // The next (or previous) division with something to deploy, shown at once.
  static void StepDivision(bool previous);
  // How far the class's next charge has come back, 0..1; negative when no clock shows
  // (a full class, or a timer at 0 or past the end).
  static float CooldownFraction(const SupplyLimitEntry* entry);
  // What the icon's cost line shows ("1,250" supplies).
  static std::string CostText(const SIM_UnitDesign* design);
  // The unit icon tooltip's last line: the cost, and for an attacker the victory points
  // the unit is worth ("(Cost: 1,250 supplies)(VP : 40)"), at most 31 characters.
  static std::string CostLine(const SIM_UnitDesign* design);
  // The icon sheet's sides for n icons: 1024 wide past 16 icons, 1024 high past 32.
  static void SheetSize(int icons, int* width, int* height);
  // The faint glints over the strip's top edge (left wing, right wing, middle) for a
  // strip centred at centreX whose bottom edge is at bottom.
  static void LayoutDecorations(int screenWidth, float centreX, float bottom, DeploymentArtPiece out[3]);
  // Draws every icon's picture into its cell of a new icon sheet (the old one goes first);
  // a rebuild of the window leaves it to the window's next draw.
  void BuildIconSheet();
  // Ability icons (a defender's air strikes, after the designs): usable with enough
  // supplies, the type ready and the fight on.
  static bool AbilityEnabled(const SIM_AirStrikeType* type);
  // How far the type's restock has come, 0..1; negative when no clock shows.
  static float RestockFraction(const SIM_AirStrikeType* type);
  // The tooltip: the name, then damage, supplies, delay and duration.
  static std::vector<std::string> AbilityTooltipLines(const SIM_AirStrikeType* type);
  // The strike types the player's strip offers: none for an attacker, and none locked.
  static std::vector<SIM_AirStrikeType*> OfferedStrikes();

  struct Icon {
    SIM_UnitDesign* design = nullptr;
    SIM_AirStrikeType* strike = nullptr;  // an ability icon (design null)
    std::string picture;                  // the design's texture name
    bool enabled = true;
    // The picture's cell of the icon sheet, or -1 when it has none (drawn from the
    // picture itself); the image sprite then points at that cell.
    int cell = -1;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    // A unit icon's place on the screen while shown, named "DEPLOYMENT_ICON" for the
    // tutorial's allowed buttons, and its tooltip (name, description, cost line).
    std::shared_ptr<GUI_BaseElement> element;
    std::shared_ptr<GUI_Tooltip> tooltip;
  };
  // The popup of the hovered icon (one at a time).
  std::unique_ptr<GUI_BS_DesignPopup> popup;
  int popupIcon = -1;
  // Every icon of the division; the strip shows maxVisible of them from scroll on.
  std::vector<Icon> icons;
  int maxVisible = 0;
  int scroll = 0;
  GUI_IconButton* divisionButton = nullptr;
  // Follows the wheel, and its arrows, track and thumb scroll the strip (a child window).
  GUI_ScrollingWindow* scrollBar = nullptr;
  // The console behind the strip (a child window, drawn first).
  GUI_BS_Deployment_BG* background = nullptr;
  DeploymentArtPiece decorations[3];
  // The icons' pictures, one 128-pixel cell each ("rt_depicons").
  std::unique_ptr<GUI_SpriteSheet> sheet;
  // Set by a rebuild; the next draw draws the sheet.
  bool sheetPending = false;
  std::unique_ptr<GUI_ClockTimer> cooldownClock;
  // The hovered ability icon's tooltip.
  std::unique_ptr<GUI_Tooltip> abilityTooltip;
  int abilityTooltipIcon = -1;
  // The enabled icon the pointer came onto last (its hover sound has played).
  const SIM_UnitDesign* soundedIcon = nullptr;
};
// Where the strip was scrolled, kept across rebuilds and reopenings.
int& RememberedDeploymentScroll();

GUI_BS_Deployment* GetOpenDeploymentWindow();
// Makes the window the open one (deleting another).
void SetOpenDeploymentWindow(GUI_BS_Deployment* window);
void OpenDeploymentWindow();
void CloseDeploymentWindow();
// After a device reset: deletes the open window; true when one was open. The battle
// screen's next draw opens it again, with its icon sheet drawn anew.
bool DeleteOpenDeploymentWindow();

// The supplies panel's and the scoreboard's full state: a full panel blinks with a
// period of 400 ms of battle time and stands still while the battle is paused.
struct GUI_BS_PanelBlink {
  static constexpr float kHalfPeriodMs = 200.0f;
  // After a refresh: full when the cap (or target) is not above the value.
  void SetValue(float value, float full);
  // One frame of elapsed battle time; returns whether the text and bar show.
  bool Advance(float elapsedMs);
  bool full = false;
  bool blink = false;
  float timer = 0.0f;
};

class GUI_BS_TopStrip : public GUI_WindowBase {
 public:
  GUI_BS_TopStrip();
  ~GUI_BS_TopStrip() override;
  void Draw() override;
  // Shows the fight button only during deployment.
  void Update();
  static int OnStart(int);
  // The supplies and victory points against their caps; updates the blink states.
  void RefreshPanels();
  // Per frame: the tooltips of the clock and the two panels under the pointer.
  void Process() override;
  // Fades in the tooltip of the part under the point and hides the others; the clock's
  // stays hidden while deploying, when there is no battle time to explain yet.
  void UpdateTooltips(float x, float y);

  GUI_ButtonText* startButton = nullptr;
  GUI_BS_PanelBlink suppliesBlink;
  GUI_BS_PanelBlink scoreBlink;
  bool suppliesShown = true;
  bool scoreShown = true;
  float lastBattleTime = -1.0f;
  std::unique_ptr<GUI_ClockTimer> clock;
  // Named places the tutorial points at: "TIMER_WINDOW", "SUPPLIES_WINDOW", "SCORE_WINDOW".
  std::unique_ptr<GUI_BaseElement> timerMarker, suppliesMarker, scoreMarker;
  std::unique_ptr<GUI_Tooltip> timerTooltip, suppliesTooltip, scoreTooltip;
};
GUI_BS_TopStrip* GetOpenTopStrip();
void OpenTopStrip();
void CloseTopStrip();
// How much of a bar the value fills, 0..1 (a cap or target of 0 or less: 1 once reached).
float FillRatio(float value, float full);
// "1,234" of the value truncated towards zero.
std::string FormatScore(float value);

// What the post-battle worker reports; it runs on a worker thread and calls done last.
struct PostBattleReport {
  int outcome = 0;
  int origin = 0;
  std::string challengeId;
};
struct PostMortemHooks {
  // The worker body "PostBattleUpdates" (runs on the worker thread). Unset: nothing is
  // reported.
  std::function<void(const PostBattleReport&)> postBattleUpdates;
  // The online dialogs of the CHALLENGE and RATE buttons. Unset: those buttons stay off.
  std::function<void()> openPostChallenge;
  std::function<void()> openRateChallenge;
};
PostMortemHooks& GetPostMortemHooks();

class GUI_BS_PostMortem : public GUI_Dialog {
 public:
  GUI_BS_PostMortem();
  ~GUI_BS_PostMortem() override;
  void Draw() override;
  static void Open();
  static int OnContinue(int);
  static int OnRate(int);
  static int OnChallenge(int);
  static int OnStats(int);
  static int OnSaveRecording(int);

  int outcome = 0;
  std::string message;
  // Label and value of each score line (one for an attacker, four for a defender).
  std::vector<std::pair<std::string, std::string>> scores;
  GUI_ButtonText* continueButton = nullptr;
  GUI_ButtonText* challengeButton = nullptr;
  GUI_ButtonText* statsButton = nullptr;
  GUI_ButtonText* saveButton = nullptr;
  GUI_ButtonText* rateButton = nullptr;
  // Set by the worker when it finished; shared so a late worker never writes into a
  // closed dialog.
  std::shared_ptr<std::atomic<bool>> updatesDone = std::make_shared<std::atomic<bool>>(false);
  bool updating = false;
  int continueStarts = 0;
};
GUI_BS_PostMortem* GetOpenPostMortem();
// After the updates: the unlock dialog after a campaign battle with something to grant,
// else the achievements step.
void RunContinueSequence();
// Newly earned medals when there are any (their dialog leads to the main menu), else
// back to the battle browser through the transition.
void RunAchievementsStep();

// Wires the windows into the battle screen's and the battle's hooks.
void ConnectBattleHud();
