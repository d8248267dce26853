#pragma once
// The map designer: one editor window over a scenario being edited (ground tiles, zones,
// attack paths, exits and tile props in tile mode; ground textures in terrain mode;
// placed props in props mode), its pickers, the tile menu, the placed-prop manager and
// the configuration dialog that saves the map as a player scenario.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Buttons.h"
#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class SIM_Scenario;
class SIM_MapSquare;
class SIM_PropType;
struct PlacedProp;
struct EmplacementType;
class GUI_IconButton;
class GUI_ButtonText;
class GUI_ScrollingWindow;
class GUI_TextEditWindow;
class GUI_DropDownList;
class GUI_Tooltip;
class CLoadedTexture;

class GUI_DS_Map;
class GUI_DS_ControlPanel;
class GUI_DS_EmplacementPicker;
class GUI_DS_TilePicker;
class GUI_DS_PropPicker;

// An icon button showing cell `frame` of the 8 x 8 "editor_buttons.dds" sheet, and
// cell frame + 8 while the mouse is over it.
class GUI_DS_SheetButton : public GUI_IconButton {
 public:
  GUI_DS_SheetButton(GUI_ButtonCallback callback, int frame, uint32_t userData);
  void Draw() override;
  int frame = 0;
};

enum DSEditMode { DS_MODE_TILE = 0, DS_MODE_TERRAIN = 1, DS_MODE_PROPS = 2, DS_MODE_NONE = 3 };

// ---------------------------------------------------------------------------
// The editor window.
class GUI_DS_Window : public GUI_WindowBase {
 public:
  GUI_DS_Window();
  ~GUI_DS_Window() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // Copies the source scenario into a record of the window's own and builds the editor.
  static void LoadScenario(GUI_DS_Window* window, const SIM_Scenario* source);
  void Build();
  void SetEditMode(int mode);

  bool ownsScenario = false;
  GUI_DS_ControlPanel* controlPanel = nullptr;
  GUI_DS_EmplacementPicker* emplacementPicker = nullptr;
  GUI_DS_TilePicker* tilePicker = nullptr;
  GUI_DS_PropPicker* propPicker = nullptr;
  GUI_DS_Map* map = nullptr;
  SIM_Scenario* scenario = nullptr;
  int editMode = DS_MODE_NONE;
  GUI_IconButton* closeButton = nullptr;
  // A player's own map (saved under the scenarios folder) is saved without the
  // preset question and keeps its folder prefix.
  bool customMap = false;
};
GUI_DS_Window* GetDSWindow();

class GUI_DS_ControlPanel : public GUI_WindowBase {
 public:
  GUI_DS_ControlPanel();
  ~GUI_DS_ControlPanel() override;
  void Layout();

  GUI_ButtonText* tileButton = nullptr;
  GUI_ButtonText* propsButton = nullptr;
  GUI_ButtonText* terrainButton = nullptr;
  GUI_DS_SheetButton* clearButton = nullptr;
  GUI_DS_SheetButton* saveButton = nullptr;
  GUI_DS_SheetButton* autoPathButton = nullptr;
  GUI_DS_SheetButton* autoRockyPathButton = nullptr;
  GUI_BaseElement* autoPathGroup = nullptr;
};

// Control-panel and window commands (button callbacks).
int DSModeButton(int mode);
int DSClearButton(int);
int DSSaveButton(int);
int DSAutoPathButton(int rocky);
int CloseMapDesigner(int);
void ClearMap();
void ReturnToBattleBrowser();
// The battle browser's Edit: switches to the map designer and opens a copy of the scenario.
void OpenMapDesignerFor(const SIM_Scenario& source);

// ---------------------------------------------------------------------------
// The map view.
class GUI_DS_MapSquare : public GUI_WindowBase {
 public:
  explicit GUI_DS_MapSquare(GUI_DS_Map* view);
  bool LeftClick(float x, float y) override;
  bool RightClick(float x, float y) override;
  void Draw() override;
  void Process() override {}
  void UpdateGround();
  void UpdateLinks();
  // Queues the ground quad and sets the zone overlay kind (called by the view).
  void DrawArrows();

  CTexturedSprite tilePropSprite;
  CTexturedSprite groundSprite;
  std::string groundName;
  int arrowColour[4] = {255, 255, 255, 255};
  int selectionColour[4] = {255, 255, 255, 128};
  std::vector<GUI_DS_MapSquare*> links;
  int overlayKind = 3;
  SIM_MapSquare* square = nullptr;
  float worldX = 0.0f, worldY = 0.0f;
  CTexturedSprite arrowSprite;
  int arrowAlpha = 255;
  CTexturedSprite exitSprite;
  CTexturedSprite crosshatchSprite;
  bool showExit = false, hasTileProp = false, selected = false;
  float screenX = 0.0f, screenY = 0.0f;
  GUI_DS_Map* view = nullptr;
};

class GUI_DS_GroundSquare : public GUI_WindowBase {
 public:
  GUI_DS_GroundSquare(GUI_DS_Map* view, int row, int column);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override {}
  void SetTextures(const std::string& topLeft, const std::string& topRight, const std::string& bottomLeft,
                   const std::string& bottomRight);
  void RefreshQuadrants();

  int row = 0, column = 0;
  bool selected = false;
  float worldX = 0.0f, worldY = 0.0f;
  CTexturedSprite quadrants[4];
  bool hasQuadrant[4] = {false, false, false, false};
  float screenX = 0.0f, screenY = 0.0f;
  GUI_DS_Map* view = nullptr;
};

class GUI_DS_Map : public GUI_WindowBase {
 public:
  GUI_DS_Map();
  ~GUI_DS_Map() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  void Layout();
  void Rebuild();
  void ZoomIn();
  void ZoomOut();
  void ClampScroll();
  void ComputeViewRect();
  float ScreenX(float worldX) const { return (worldX - scrollX) * zoom + clipRect.left; }
  float ScreenY(float worldY) const { return (worldY - scrollY) * zoom + clipRect.top; }
  float WorldX(float screenX) const { return (screenX - clipRect.left) / zoom + scrollX; }
  float WorldY(float screenY) const { return (screenY - clipRect.top) / zoom + scrollY; }
  bool InClip(float x, float y) const {
    return x >= clipRect.left && x < clipRect.right && y >= clipRect.top && y < clipRect.bottom;
  }
  void SelectAllSquares();
  void DeselectAllSquares();
  void SelectAllGroundSquares();
  void DeselectAllGroundSquares();
  GUI_DS_MapSquare* FindMapSquare(int id) const;
  int EditMode() const;

  GUI_Rect clipRect;
  float scrollX = 0.0f, scrollY = 0.0f;
  std::vector<GUI_DS_MapSquare*> mapSquares;
  std::vector<GUI_DS_GroundSquare*> groundSquares;
  SIM_Scenario* scenario = nullptr;
  float zoom = 2.0f;
  GUI_Rect viewRect;
  float sideMargin = 6.0f, topMargin = 34.0f, bottomMargin = 6.0f;
  bool showZones = true, showPaths = true;
  float mouseWorldX = 0.0f, mouseWorldY = 0.0f;
  float minZoom = 0.1f;
  CTexturedSprite lightOverlay;
  bool hasLightOverlay = false;
};
GUI_DS_Map* GetDSMap();

// ---------------------------------------------------------------------------
// Pickers.
class GUI_DS_EmplacementIcon : public GUI_WindowBase {
 public:
  explicit GUI_DS_EmplacementIcon(EmplacementType* type);
  void Draw() override;
  bool LeftClick(float x, float y) override;
  void Process() override {}
  CLoadedTexture* background = nullptr;
  CLoadedTexture* image = nullptr;
  EmplacementType* type = nullptr;
};

class GUI_DS_PropIcon : public GUI_WindowBase {
 public:
  explicit GUI_DS_PropIcon(SIM_PropType* type);
  ~GUI_DS_PropIcon() override;
  void Draw() override;
  bool LeftClick(float x, float y) override;
  void Process() override;
  CLoadedTexture* background = nullptr;
  CLoadedTexture* highlight = nullptr;
  CLoadedTexture* image = nullptr;
  GUI_Tooltip* tooltip = nullptr;
  SIM_PropType* type = nullptr;
  float memberUV[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  bool useMemberUV = false;
};

class GUI_DS_TilePickerIcon : public GUI_WindowBase {
 public:
  explicit GUI_DS_TilePickerIcon(const std::string& name);
  void Draw() override;
  bool LeftClick(float x, float y) override;
  void Process() override {}
  std::string name;
  std::string groundNames[4];
  CLoadedTexture* textures[4] = {};
  float uv[4][4] = {};
};

// What the three pickers share: an owned icon list laid out as a scrolling grid.
class GUI_DS_Picker : public GUI_WindowBase {
 public:
  GUI_DS_Picker(const char* elementName, int columns, int inset);
  ~GUI_DS_Picker() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  virtual void Populate() = 0;
  void DestroyIcons();
  void Arrange();

  std::vector<GUI_WindowBase*> icons;
  GUI_ScrollingWindow* scroll = nullptr;
  GUI_Rect client;
  int columns = 3;
  int inset = 20;
  int visibleRows = 0;
};

class GUI_DS_EmplacementPicker : public GUI_DS_Picker {
 public:
  GUI_DS_EmplacementPicker();
  void Layout();
  void Populate() override;
};

class GUI_DS_TilePicker : public GUI_DS_Picker {
 public:
  GUI_DS_TilePicker();
  void Layout();
  void Populate() override;
  void Draw() override;
};

class GUI_DS_PropPicker : public GUI_DS_Picker {
 public:
  GUI_DS_PropPicker();
  ~GUI_DS_PropPicker() override;
  void Layout();
  void Populate() override;
  void Process() override;

  GUI_ButtonText* quantityButton = nullptr;
  GUI_ButtonText* angleButton = nullptr;
  int multiple = 0;
  int randomAngle = 0;
  SIM_PropType* currentPropType = nullptr;
  float fixedAngle = 0.0f;
};
GUI_DS_PropPicker* GetDSPropPicker();
int DSPropAngleButton(int);
int DSPropQuantityButton(int);
// The tile picker's icon names for the files of the ground-texture folder, in order.
std::vector<std::string> TilePickerNames(const std::vector<std::string>& fileNames);

// ---------------------------------------------------------------------------
// Placed props.
struct PlacedPropSprite {
  PlacedProp* prop = nullptr;
  CLoadedTexture* texture = nullptr;
  float offsetX = 0.0f, offsetY = 0.0f;
  bool selected = false;
  uint32_t tint = 0xFFFFFFFFu;
};

class GUI_DS_PropManager {
 public:
  GUI_DS_PropManager() = default;
  virtual ~GUI_DS_PropManager();
  GUI_DS_PropManager(const GUI_DS_PropManager&) = delete;
  GUI_DS_PropManager& operator=(const GUI_DS_PropManager&) = delete;

  void ClearSelection();
  bool IsHeld(const PlacedPropSprite* sprite) const;
  void SelectAll();
  bool PickUnderMouse();
  void PlaceSingle(SIM_PropType* type);
  void PlaceBrush(SIM_PropType* type);
  void Drop();
  void DeleteSelected();
  void TurnOrScale(bool wheelUp);
  void SelectInRect(float left, float top, float right, float bottom);
  void Draw();
  void RebuildFromScenario();
  void DeleteAll();

  std::vector<PlacedPropSprite*> held;
  std::vector<PlacedPropSprite*> all;

 private:
  PlacedPropSprite* NewSprite(PlacedProp* prop);
  void Destroy(PlacedPropSprite* sprite);
  bool TakePropOut(PlacedProp* prop);
};
GUI_DS_PropManager& GetDSPropManager();

struct DSSelectionBox {
  bool active = false;
  bool moved = false;
  float startX = 0.0f, startY = 0.0f;
  void Start();
  void Update();
  void Finish();
};
DSSelectionBox& GetDSSelectionBox();

// The right-click tile menu.
class GUI_DS_RCDialog : public GUI_Dialog {
 public:
  explicit GUI_DS_RCDialog(GUI_DS_MapSquare* square);
  ~GUI_DS_RCDialog() override;
  void Draw() override;
  GUI_DS_MapSquare* square = nullptr;
  GUI_DS_SheetButton* buttons[13] = {};
  GUI_BaseElement* groups[3] = {};
};
GUI_DS_RCDialog* GetDSTileMenu();
void OpenTileMenu(GUI_DS_MapSquare* square);
void CloseTileMenu();
int DSTileMenuButton(int number);
// The menu's action on every selected square (no menu needed).
void ApplyTileAction(int number);

// ---------------------------------------------------------------------------
// Saving.
struct DayTime {
  std::string name;
  int r = 255, g = 255, b = 255, a = 255;
  bool hasLightColour = false;
};
const std::vector<DayTime>& DayTimes();
const DayTime* FindDayTime(const std::string& name);
// Parses one "NAME,r,g,b,a" value (false for an unusable line).
bool ParseDayTime(const std::string& value, DayTime& out);

class GUI_DS_MapConfiguration : public GUI_Dialog {
 public:
  explicit GUI_DS_MapConfiguration(SIM_Scenario* scenario);
  ~GUI_DS_MapConfiguration() override;
  void Draw() override;

  SIM_Scenario* scenario = nullptr;
  GUI_TextEditWindow* nameEdit = nullptr;
  GUI_TextEditWindow* descriptionEdit = nullptr;
  GUI_ButtonText* saveButton = nullptr;
  GUI_TextEditWindow* valueEdits[9] = {};
  std::string valueLabels[9];
  std::string rangeLabels[9];
  std::string labels[7];
  GUI_DropDownList* musicList = nullptr;
  GUI_DropDownList* dustList = nullptr;
  GUI_DropDownList* atmosphereList = nullptr;
  GUI_DropDownList* timeOfDayList = nullptr;
  GUI_DropDownList* ambienceList = nullptr;
  // Where the next write goes (chosen by the Save press, committed by the write).
  std::string pendingFolderName;
  std::string message;
  // Shown from the start: a path square from which no route leads to an exit.
  std::string routeWarning;
};
// The first path square (not in the defender zone) from which following the links reaches
// no exit, or null when every route leads out.
const SIM_MapSquare* FindSquareWithoutExit(const SIM_Scenario& scenario);
GUI_DS_MapConfiguration* GetDSMapConfiguration();
void OpenMapConfiguration(SIM_Scenario* scenario);
int SaveMapPressed(int);
void WriteScenario(GUI_DS_MapConfiguration* dialog);
// Why a typed map name cannot name a folder ("" when it can).
std::string MapNameProblem(const std::string& name);
// The folder name for a save: a user map keeps a 31-digit prefix of its folder.
std::string MapFolderName(const SIM_Scenario& scenario, bool customMap, const std::string& typedName);

// ---------------------------------------------------------------------------
// Shadow map and map image.
std::string GenerateMapShadowMap(SIM_Scenario& scenario, const std::string& folder);
void BakeMapImage(const std::string& path);
// The bake of a given scenario (BakeMapImage uses the map view's).
bool BakeScenarioImage(SIM_Scenario& scenario, const std::string& path);
