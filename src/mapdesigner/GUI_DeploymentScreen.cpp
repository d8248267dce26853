#include "mapdesigner/GUI_DeploymentScreen.h"

#include <cctype>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "app/TutorialScript.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "gui/ConfirmDialog.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {
GUI_DS_Window* g_window = nullptr;

GUI_DeploymentScreen* DesignerMode() {
  return dynamic_cast<GUI_DeploymentScreen*>(GetGameModeObject(MODE_MAP_DESIGNER));
}

// A map saved by the player lives in "<scenarios folder>/<folder>/scenario.ini".
bool IsPlayerMap(const std::string& file) {
  const std::string root = GetUserFolder(USERFOLDER_SCENARIOS);
  return !root.empty() && file.size() > root.size() + 1 && file.compare(0, root.size(), root) == 0 &&
         file[root.size()] == '/';
}

int SavePresetConfirmed(int) {
  GUI_DS_Window* window = GetDSWindow();
  ZT_ASSERT(window && window->scenario);
  if (window && window->scenario) OpenMapConfiguration(window->scenario);
  return 0;
}

int ClearConfirmed(int) {
  ClearMap();
  return 0;
}
}  // namespace

// ---- the mode ------------------------------------------------------------------

void GUI_DeploymentScreen::Draw() {
  D3DEngine& d3d = GetRenderDevice();
  if (platform::Device* device = d3d.Device()) {
    const platform::HRESULT hr =
        device->Clear(platform::CLEAR_TARGET | platform::CLEAR_ZBUFFER, 0xff000000u, 1.0f, 0);
    if (platform::Failed(hr)) d3d.LogD3DError("ClearScreen()", hr);
  }
  DrawButtons();
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  GetGUICursor().Draw();
  if (StandardModeLayer transition = StandardModeTransition()) transition();
}

void GUI_DeploymentScreen::OnChar(int character) {
  if (FocusedEdit) FocusedEdit->OnChar(character);
  // Ctrl+A arrives as character 1 from the keyboard layer, or as 'a' from elsewhere.
  const bool isA = character == 1 || std::toupper(character) == 'A';
  if (!isA || !IsCtrlDown() || !window || !window->map) return;
  switch (window->editMode) {
    case DS_MODE_TILE:
      window->map->SelectAllSquares();
      break;
    case DS_MODE_TERRAIN:
      window->map->SelectAllGroundSquares();
      break;
    case DS_MODE_PROPS:
      GetDSPropManager().SelectAll();
      break;
    default:
      break;
  }
}

void GUI_DeploymentScreen::OnKeyDown(int key) {
  if (FocusedEdit) FocusedEdit->OnKeyDown(key);
  if (key == kKeyEscape) {
    GUI_WindowOrder& order = GetWindowOrder();
    if (order.IsAnyPopupOpen()) {
      order.CloseTopmost();
    } else {
      ReturnToBattleBrowser();
    }
    return;
  }
  if (key == 46 && !FocusedEdit) GetDSPropManager().DeleteSelected();
}

void GUI_DeploymentScreen::Process() { ProcessStandardMode(this); }

namespace {
void CloseTileMenuUnlessUnderMouse() {
  GUI_DS_RCDialog* menu = GetDSTileMenu();
  if (menu && !menu->IsMouseOver() && !GUI_TutorialWindow::IsMouseOverAny()) CloseTileMenu();
}
}  // namespace

void GUI_DeploymentScreen::OnLeftDown() {
  CloseTileMenuUnlessUnderMouse();
  if (GetWindowOrder().LeftClick()) return;
  OnClick();
}

void GUI_DeploymentScreen::OnRightDown() {
  CloseTileMenuUnlessUnderMouse();
  GUI_DS_PropManager& props = GetDSPropManager();
  if (!props.held.empty()) {
    props.DeleteSelected();
    return;
  }
  GetWindowOrder().RightClick();
}

void GUI_DeploymentScreen::Enter() {
  SetRect(0.0f, 0.0f, static_cast<float>(ScreenWidth()), static_cast<float>(ScreenHeight()));
  InitRandom();
  delete window;
  window = new GUI_DS_Window();
}

void GUI_DeploymentScreen::Leave() {
  CloseTileMenu();
  delete GetDSMapConfiguration();
  delete window;
  window = nullptr;
  GUI_Tutorial& tutorial = GetTutorial();
  tutorial.AllowButtons();
  tutorial.SetAwaitedButton("");
  GUI_TutorialWindow::CloseAll();
}

void GUI_DeploymentScreen::OnWheelUp() { StandardModeWheelUp(); }
void GUI_DeploymentScreen::OnWheelDown() { StandardModeWheelDown(); }

// ---- entry and exit ----------------------------------------------------------------

void ReturnToBattleBrowser() {
  GetTransition().Start();
  GetGame().SetGameMode(MODE_BATTLE_BROWSER);
  ZT_ASSERT(GetGame().CurrentMode != nullptr);
}

int CloseMapDesigner(int) {
  (void)DesignerMode();
  ReturnToBattleBrowser();
  return 0;
}

void OpenMapDesignerFor(const SIM_Scenario& source) {
  GetTransition().Start();
  Game& game = GetGame();
  game.SetGameMode(MODE_MAP_DESIGNER);
  GUI_DeploymentScreen* mode = DesignerMode();
  if (!mode) return;
  // The first mode made current gets no Enter: make sure the window exists. A window
  // already showing a map (Edit pressed again) is replaced, not built twice.
  if (!mode->window || mode->window->map) mode->Enter();
  GUI_DS_Window::LoadScenario(mode->window, &source);
}

// ---- the editor window ------------------------------------------------------------

GUI_DS_Window* GetDSWindow() { return g_window; }

GUI_DS_SheetButton::GUI_DS_SheetButton(GUI_ButtonCallback callback, int frame, uint32_t userData)
    : GUI_IconButton(callback, "editor_buttons.dds", userData), frame(frame) {}

void GUI_DS_SheetButton::Draw() {
  const int cell = enabled && IsMouseInside() ? frame + 8 : frame;
  const float u = static_cast<float>(cell % 8) / 8.0f, v = static_cast<float>(cell / 8) / 8.0f;
  gui_draw::QueueQuad(normal_, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                      static_cast<float>(bottom), u, v, u + 0.125f, v + 0.125f,
                      enabled ? 0xFFFFFFFFu : 0x80808080u);
  GUI_ButtonBase::Draw();
}

GUI_DS_Window::GUI_DS_Window() {
  g_window = this;
  const int w = ScreenWidth(), h = ScreenHeight();
  int height = 600;
  if (h >= 768) height = std::min(h, w - 290);
  SetSize(static_cast<float>(w), static_cast<float>(height));
  CentreOnScreen();
  Open();
  draggable = false;
  raisesOnClick = false;
  GetTutorial().Trigger("MAPDESIGN1");
}

GUI_DS_Window::~GUI_DS_Window() {
  CloseTileMenu();
  delete GetDSMapConfiguration();
  GetDSPropManager().DeleteAll();
  ClearChildren();
  map = nullptr;
  if (g_window == this) g_window = nullptr;
  if (ownsScenario) delete scenario;
  scenario = nullptr;
}

bool GUI_DS_Window::LeftClick(float x, float y) { return GUI_WindowBase::LeftClick(x, y); }
void GUI_DS_Window::Process() { GUI_WindowBase::Process(); }

void GUI_DS_Window::Draw() {
  DrawWindowBackground(SHARED_WINDOW_OVERLAY, 32.0f, static_cast<float>(left), static_cast<float>(top),
                       static_cast<float>(right), static_cast<float>(bottom));
  DrawButtons();
  DrawChildren();
  gui_draw::FlushAll();
}

void GUI_DS_Window::OnWheelUp() {
  if (!GetDSPropManager().held.empty()) {
    GetDSPropManager().TurnOrScale(true);
    return;
  }
  GUI_WindowBase::OnWheelUp();
}

void GUI_DS_Window::OnWheelDown() {
  if (!GetDSPropManager().held.empty()) {
    GetDSPropManager().TurnOrScale(false);
    return;
  }
  GUI_WindowBase::OnWheelDown();
}

void GUI_DS_Window::LoadScenario(GUI_DS_Window* window, const SIM_Scenario* source) {
  ZT_ASSERT(source != nullptr);
  ZT_ASSERT(window != nullptr);
  if (!source || !window) return;
  auto* scenario = new SIM_Scenario();
  if (window->ownsScenario) delete window->scenario;
  window->scenario = scenario;
  window->ownsScenario = true;
  scenario->origin = source->origin;
  if (!scenario->Load(std::string(source->file))) {
    LogErrorF("Map designer: scenario [%s] could not be opened", source->file.c_str());
  } else if (!scenario->LoadMap()) {
    LogErrorF("Map designer: map of [%s] could not be read", source->file.c_str());
  }
  // ClearMap keeps placed props apart from the grid, so they are read here too.
  scenario->LoadProps();
  window->customMap = IsPlayerMap(scenario->file);
  if (scenario->grid.empty()) {
    // Nothing to edit: back out rather than show an empty grid that could be saved.
    LogErrorF("Map designer: nothing to edit in [%s]", source->file.c_str());
    return;
  }
  window->Build();
}

void GUI_DS_Window::Build() {
  const float L = static_cast<float>(left), T = static_cast<float>(top), R = static_cast<float>(right),
              B = static_cast<float>(bottom), W = static_cast<float>(width);
  map = new GUI_DS_Map();
  AddChild(map);
  map->SetRect(L, T + 10.0f, L + W - 330.0f, B - 10.0f);

  emplacementPicker = new GUI_DS_EmplacementPicker();
  AddChild(emplacementPicker);
  emplacementPicker->SetRect(static_cast<float>(map->right), map->top + 45.0f, R - 10.0f, B - 10.0f);
  emplacementPicker->Layout();

  tilePicker = new GUI_DS_TilePicker();
  AddChild(tilePicker);
  tilePicker->SetRect(static_cast<float>(map->right), map->top + 45.0f,
                      static_cast<float>(emplacementPicker->right), B - 10.0f);
  tilePicker->visible = false;
  tilePicker->Layout();

  propPicker = new GUI_DS_PropPicker();
  AddChild(propPicker);
  propPicker->SetRect(static_cast<float>(emplacementPicker->left), map->top + 45.0f,
                      static_cast<float>(emplacementPicker->right), B - 20.0f);
  propPicker->Layout();

  map->Layout();

  controlPanel = new GUI_DS_ControlPanel();
  AddChild(controlPanel);
  controlPanel->SetRect((L + R) / 2 - 500.0f, T + 5.0f, (L + R) / 2 + 500.0f, T + 45.0f);
  controlPanel->Layout();

  if (editMode != DS_MODE_TILE) SetEditMode(DS_MODE_TILE);

  closeButton = new GUI_IconButton(&CloseMapDesigner, "close_button.dds", 0, "close_button_h.dds");
  // It leads back to the battle browser, and says so.
  closeButton->SetTooltip("MAPEDIT_CLOSE_TT", 60);
  AddButton(closeButton);
  closeButton->SetRect(R - 46.0f, T + 10.0f, R - 10.0f, T + 46.0f);
}

void GUI_DS_Window::SetEditMode(int mode) {
  if (map) map->DeselectAllSquares();
  if (emplacementPicker) emplacementPicker->visible = false;
  if (tilePicker) tilePicker->visible = false;
  if (propPicker) propPicker->visible = false;
  editMode = mode;
  if (mode == DS_MODE_TILE) {
    if (emplacementPicker) emplacementPicker->visible = true;
    if (map) map->showZones = map->showPaths = true;
  } else if (mode == DS_MODE_TERRAIN || mode == DS_MODE_PROPS) {
    if (mode == DS_MODE_TERRAIN && tilePicker) tilePicker->visible = true;
    if (mode == DS_MODE_PROPS && propPicker) propPicker->visible = true;
    if (map) map->showZones = map->showPaths = false;
  }
}

// ---- control panel ------------------------------------------------------------------

GUI_DS_ControlPanel::GUI_DS_ControlPanel() {
  raisesOnClick = false;
  auto text = [](const char* key, int value, const char* element) {
    auto* b = new GUI_ButtonText(&DSModeButton, key, static_cast<uint32_t>(value));
    b->SetName(element);
    b->SetTooltip(std::string(key) + "_TT", 60);
    return b;
  };
  tileButton = text("EDIT_TILEMODE", DS_MODE_TILE, "TILE_BUTTON");
  propsButton = text("EDIT_PROPSMODE", DS_MODE_PROPS, "PROP_BUTTON");
  terrainButton = text("EDIT_TERRAINMODE", DS_MODE_TERRAIN, "TERRAIN_BUTTON");
  auto icon = [](GUI_ButtonCallback callback, int frame, uint32_t value, const char* tooltip) {
    auto* b = new GUI_DS_SheetButton(callback, frame, value);
    b->SetTooltip(tooltip, 60);
    return b;
  };
  clearButton = icon(&DSClearButton, 2, 0, "GUI_DS_CLEAR_TT");
  saveButton = icon(&DSSaveButton, 4, 0, "GUI_DS_SAVE_TT");
  saveButton->SetName("MAPEDIT_SAVE_BUTTON");
  autoPathButton = icon(&DSAutoPathButton, 33, 0, "GUI_DS_AUTOPATH_TT");
  autoRockyPathButton = icon(&DSAutoPathButton, 34, 1, "GUI_DS_AUTOROCKYPATH_TT");
  autoPathGroup = new GUI_BaseElement();
  autoPathGroup->SetName("AUTOPATH_BUTTONS");
  for (GUI_ButtonBase* b :
       {static_cast<GUI_ButtonBase*>(tileButton), static_cast<GUI_ButtonBase*>(propsButton),
        static_cast<GUI_ButtonBase*>(terrainButton), static_cast<GUI_ButtonBase*>(clearButton),
        static_cast<GUI_ButtonBase*>(saveButton), static_cast<GUI_ButtonBase*>(autoPathButton),
        static_cast<GUI_ButtonBase*>(autoRockyPathButton)})
    AddButton(b);
}

GUI_DS_ControlPanel::~GUI_DS_ControlPanel() { delete autoPathGroup; }

void GUI_DS_ControlPanel::Layout() {
  const float cy = (top + bottom) * 0.5f;
  float x = left + 10.0f;
  for (GUI_DS_SheetButton* b : {clearButton, saveButton, autoPathButton, autoRockyPathButton}) {
    b->SetRect(x, cy - 16.0f, x + 32.0f, cy + 16.0f);
    x += 37.0f;
  }
  x = autoRockyPathButton->right + 30.0f;
  const float w = static_cast<float>((width - 20) / 8);
  for (GUI_ButtonText* b : {tileButton, propsButton, terrainButton}) {
    b->SetRect(x, cy - 15.0f, x + w, cy + 15.0f);
    x += w;
  }
  autoPathGroup->SetRect(static_cast<float>(autoPathButton->left), static_cast<float>(autoPathButton->top),
                         static_cast<float>(autoRockyPathButton->right),
                         static_cast<float>(autoRockyPathButton->bottom));
}

int DSModeButton(int mode) {
  GUI_DS_Window* window = GetDSWindow();
  if (window && window->editMode != mode) window->SetEditMode(mode);
  return 0;
}

int DSClearButton(int) {
  ShowConfirmDialog("MAPEDIT_CONFIRM_CLEAR_TITLE", "MAPEDIT_CONFIRM_CLEAR_DESC", &ClearConfirmed);
  return 0;
}

int DSSaveButton(int) {
  GUI_DS_Window* window = GetDSWindow();
  if (!window || !window->scenario) return 0;
  if (window->customMap) {
    OpenMapConfiguration(window->scenario);
  } else {
    ShowConfirmDialog("SAVEPRESETMAP_TITLE", "SAVEPRESETMAP_TEXT", &SavePresetConfirmed);
  }
  return 0;
}

int DSAutoPathButton(int rocky) {
  GUI_DS_Window* window = GetDSWindow();
  if (!window || !window->scenario) return 0;
  window->scenario->BuildPathTiles(rocky != 0);
  if (window->map) window->map->Rebuild();
  return 0;
}

void ClearMap() {
  GUI_DS_Window* window = GetDSWindow();
  ZT_ASSERT(window && window->scenario);
  if (!window || !window->scenario) return;
  SIM_Scenario& scenario = *window->scenario;
  for (const auto& square : scenario.grid) {
    square->kind = SIM_MapSquare::KIND_OTHER;
    square->object.clear();
    square->angle = 0.0f;
    square->attackerFlag = square->defenderFlag = false;
    square->links.clear();
    square->notExit = true;
  }
  // The scenario's Clear empties the grid, not the props: the props go here, the
  // ground stays so the map can still be saved.
  scenario.placedProps.clear();
  GetDSPropManager().DeleteAll();
  scenario.routeStartSquares.clear();
  scenario.attackerSquares.clear();
  scenario.defenderSquares.clear();
  scenario.exitSquares.clear();
  if (window->map) window->map->Rebuild();
}
