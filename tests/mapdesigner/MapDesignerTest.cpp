// The map designer headless: opening a shipped map, the tile menu, selections, props,
// clearing, the 9-row map and the refused names.
#include <algorithm>

#include "MapDesignerFixture.h"
#include "gui/ConfirmDialog.h"
#include "gui/MessageBox.h"
#include "gui/TextEditWindow.h"
#include "simdata/Emplacement.h"
#include "simdata/PropType.h"

namespace {

using mapdesigner_test::MapDesignerTest;

TEST_F(MapDesignerTest, EditOpensACopyOfTheShippedMapInTileModeAndEscapeReturnsToTheBrowser) {
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* source = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(source, nullptr);
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAP_DESIGNER);
  EXPECT_NE(window->scenario, source) << "edits must not touch the browser's record";
  EXPECT_TRUE(window->ownsScenario);
  EXPECT_FALSE(window->customMap);
  EXPECT_EQ(window->editMode, DS_MODE_TILE);
  EXPECT_TRUE(window->emplacementPicker->visible);
  EXPECT_FALSE(window->propPicker->visible);
  EXPECT_EQ(GetDSMap()->mapSquares.size(), 48u);
  EXPECT_EQ(GetDSMap()->groundSquares.size(), 12u);
  EXPECT_EQ(window->width, 1280);
  EXPECT_EQ(window->height, 800);
  // Every square is drawn on the first frame: its ground quad has a texture.
  for (GUI_DS_MapSquare* s : GetDSMap()->mapSquares) EXPECT_NE(s->groundSprite.texture, nullptr);

  // A pop-up closes first; the next Escape leads back to the battle browser.
  ShowConfirmDialog("MAPEDIT_CONFIRM_CLEAR_TITLE", "MAPEDIT_CONFIRM_CLEAR_DESC", [](int) { return 0; });
  GetCInput().OnKeyDown(kKeyEscape);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAP_DESIGNER);
  GetCInput().OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
  EXPECT_EQ(GetDSWindow(), nullptr);
  EXPECT_EQ(GetDSMap(), nullptr);
}

TEST(MapDesignerWindow, HeightFollowsTheScreen) {
  struct Case {
    int w, h, height;
  } cases[] = {{1280, 800, 800}, {1024, 768, 734}, {1024, 700, 600}, {1920, 1080, 1080}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    GetRenderDevice().SetScreenSize(c.w, c.h);
    auto* window = new GUI_DS_Window();
    EXPECT_EQ(window->width, c.w);
    EXPECT_EQ(window->height, c.height);
    EXPECT_EQ(window->editMode, DS_MODE_NONE);
    delete window;
  }
}

// Every toolbar button explains itself, and the close button names where it leads.
TEST_F(MapDesignerTest, ToolbarButtonsExplainThemselves) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  const GUI_DS_ControlPanel* panel = window->controlPanel;
  const GUI_ButtonBase* buttons[] = {panel->tileButton,          panel->propsButton, panel->terrainButton,
                                     panel->clearButton,         panel->saveButton,  panel->autoPathButton,
                                     panel->autoRockyPathButton, window->closeButton};
  for (const GUI_ButtonBase* b : buttons) {
    ASSERT_NE(b->Tooltip(), nullptr);
    ASSERT_FALSE(b->Tooltip()->Lines().empty());
    const std::string& text = b->Tooltip()->Lines().front();
    EXPECT_EQ(text.find("_TT"), std::string::npos) << text << ": a key with no text";
  }
  EXPECT_NE(window->closeButton->Tooltip()->Lines().front().find("battle browser"), std::string::npos);
}

TEST_F(MapDesignerTest, TileMenuActions) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  SIM_Scenario& scenario = *window->scenario;
  const int last = scenario.maxCols - 1;
  GUI_DS_MapSquare* edge = ViewSquare(last, 3);
  ASSERT_NE(edge, nullptr);
  SIM_MapSquare* s = edge->square;
  auto only = [&](GUI_DS_MapSquare* v) {
    GetDSMap()->DeselectAllSquares();
    v->selected = true;
  };
  s->links.clear();
  s->notExit = true;
  s->kind = SIM_MapSquare::KIND_OTHER;
  s->attackerFlag = s->defenderFlag = false;

  struct Step {
    const char* what;
    int button;
    std::vector<int32_t> links;
    int kind;
    bool attacker, defender;
  };
  // Applied in order to one square of the last column.
  const Step steps[] = {
      {"right off the map adds the exit link", 0, {-1}, 2, false, false},
      {"right again removes it", 0, {}, 2, false, false},
      {"left links the neighbour", 1, {s->number - 1}, 2, false, false},
      {"clear path empties the links", 5, {}, 2, false, false},
      {"support on a plain square: support and defence", 8, {}, 1, false, true},
      {"attack on a support square: attack, no defence, plain", 7, {}, 2, true, false},
      {"defence clears attack", 6, {}, 2, false, true},
      {"no units clears both", 9, {}, 2, false, false},
      {"support twice returns to plain", 8, {}, 1, false, true},
      {"", 8, {}, 2, false, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    only(edge);
    OpenTileMenu(edge);
    ASSERT_NE(GetDSTileMenu(), nullptr);
    DSTileMenuButton(step.button);
    EXPECT_EQ(GetDSTileMenu(), nullptr) << "a button closes the menu";
    EXPECT_EQ(s->links, step.links);
    EXPECT_EQ(s->kind, step.kind);
    EXPECT_EQ(s->attackerFlag, step.attacker);
    EXPECT_EQ(s->defenderFlag, step.defender);
  }
  // A direction button deselects; others keep the selection.
  only(edge);
  ApplyTileAction(0);
  EXPECT_EQ(SelectedCount(), 0);
  only(edge);
  ApplyTileAction(4);
  EXPECT_TRUE(s->IsExit());
  EXPECT_EQ(SelectedCount(), 1);
  ApplyTileAction(4);
  EXPECT_FALSE(s->IsExit());

  // Support on an emplacement square changes nothing.
  s->kind = SIM_MapSquare::KIND_EMPLACEMENT;
  ApplyTileAction(8);
  EXPECT_EQ(s->kind, SIM_MapSquare::KIND_EMPLACEMENT);
  EXPECT_FALSE(s->defenderFlag);

  // Without a tile prop the rotate and clear buttons are greyed; with one they turn it.
  s->object.clear();
  s->links.clear();
  only(edge);
  OpenTileMenu(edge);
  for (int n : {10, 11, 12}) EXPECT_FALSE(GetDSTileMenu()->buttons[n]->enabled) << n;
  EXPECT_FALSE(GetDSTileMenu()->buttons[5]->enabled) << "no links to clear";
  CloseTileMenu();
  s->object = "bunker";
  s->angle = 0.0f;
  OpenTileMenu(edge);
  for (int n : {10, 11, 12}) EXPECT_TRUE(GetDSTileMenu()->buttons[n]->enabled) << n;
  DSTileMenuButton(10);
  EXPECT_FLOAT_EQ(s->angle, 270.0f);
  only(edge);
  ApplyTileAction(11);
  ApplyTileAction(11);
  EXPECT_FLOAT_EQ(s->angle, 90.0f);
  ApplyTileAction(12);
  EXPECT_TRUE(s->object.empty());
  EXPECT_FLOAT_EQ(s->angle, 0.0f);
  EXPECT_EQ(s->kind, SIM_MapSquare::KIND_OTHER);

  // The menu sits right of the square, or left when that would leave the screen.
  GetDSMap()->zoom = 2.0f;
  GetDSMap()->scrollX = GetDSMap()->scrollY = 0.0f;
  Frame();
  GUI_DS_MapSquare* right = ViewSquare(2, 0);
  ASSERT_GT(right->right, 1280 - 340);
  OpenTileMenu(right);
  EXPECT_EQ(GetDSTileMenu()->left, right->left - 340);
  GUI_DS_MapSquare* leftmost = ViewSquare(0, 0);
  OpenTileMenu(leftmost);
  EXPECT_EQ(GetDSTileMenu()->left, leftmost->right);
  EXPECT_GE(GetDSTileMenu()->top, 0);
  // A click elsewhere closes the menu.
  Click(5.0f, 795.0f);
  EXPECT_EQ(GetDSTileMenu(), nullptr);
  // So does Escape, which then leaves the editor open.
  OpenTileMenu(leftmost);
  GetCInput().OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetDSTileMenu(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAP_DESIGNER);
}

TEST_F(MapDesignerTest, SmallDragAddsToTheSelectionALargerOneReplacesIt) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  // A click selects one square.
  Click(SX(0), SY(0));
  ASSERT_TRUE(ViewSquare(0, 0)->selected);
  ASSERT_EQ(SelectedCount(), 1);

  // 20 x 40 pixels (800 px²): the earlier selection stays, the squares under it join.
  const float x = SX(3), y = SY(2);
  LeftPress(x, y);
  Mouse(x + 20.0f, y + 40.0f);
  Frame();
  LeftRelease(x + 20.0f, y + 40.0f);
  EXPECT_TRUE(ViewSquare(0, 0)->selected) << "an 800 px² drag replaced the selection";
  EXPECT_TRUE(ViewSquare(3, 2)->selected);

  // 40 x 40 pixels (1600 px²): a fresh selection.
  LeftPress(x, y);
  Mouse(x + 40.0f, y + 40.0f);
  Frame();
  LeftRelease(x + 40.0f, y + 40.0f);
  EXPECT_FALSE(ViewSquare(0, 0)->selected) << "a 1600 px² drag kept the old selection";
  EXPECT_TRUE(ViewSquare(3, 2)->selected);

  // With Control held a large drag adds.
  Click(SX(0), SY(0));
  Ctrl(true);
  LeftPress(SX(5), SY(4));
  Mouse(SX(5) + 40.0f, SY(4) + 40.0f);
  Frame();
  LeftRelease(SX(5) + 40.0f, SY(4) + 40.0f);
  Ctrl(false);
  EXPECT_TRUE(ViewSquare(0, 0)->selected);
  EXPECT_TRUE(ViewSquare(5, 4)->selected);

  // The mode button of the current mode keeps the selection; another mode drops it.
  DSModeButton(DS_MODE_TILE);
  EXPECT_TRUE(ViewSquare(0, 0)->selected);
  DSModeButton(DS_MODE_TERRAIN);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_TRUE(window->tilePicker->visible);
  EXPECT_FALSE(GetDSMap()->showZones);
}

TEST_F(MapDesignerTest, CtrlAArrivingAsCharacterOneSelectsByMode) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  Ctrl(true);
  GetCInput().OnChar(1);
  EXPECT_EQ(SelectedCount(), 48);
  DSModeButton(DS_MODE_TERRAIN);
  GetCInput().OnChar(1);
  EXPECT_EQ(SelectedCount(), 0) << "terrain mode selects ground squares, not map squares";
  for (GUI_DS_GroundSquare* g : GetDSMap()->groundSquares) EXPECT_TRUE(g->selected);
  Ctrl(false);
}

TEST_F(MapDesignerTest, PropsArePlacedDroppedOffTheMapTurnedAndDeleted) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  SIM_Scenario& scenario = *window->scenario;
  DSModeButton(DS_MODE_PROPS);
  GUI_DS_PropManager& props = GetDSPropManager();
  const size_t before = scenario.placedProps.size();
  ASSERT_EQ(props.all.size(), before);

  SIM_PropType* tent = SIM_PropTypeManager::Get().Find("tent");
  ASSERT_NE(tent, nullptr);
  GUI_DS_PropIcon icon(tent);
  icon.SetRect(0, 0, 10, 10);
  ASSERT_TRUE(icon.LeftClick(5, 5));
  ASSERT_EQ(props.held.size(), 1u);
  EXPECT_EQ(window->propPicker->currentPropType, tent);

  // Dropped on the map: the prop lands at the world point under the mouse.
  Click(SX(2), SY(3));
  ASSERT_EQ(scenario.placedProps.size(), before + 1);
  const PlacedProp& placed = *scenario.placedProps.back();
  EXPECT_NEAR(placed.x, 500.0f, 1.0f);
  EXPECT_NEAR(placed.y, 700.0f, 1.0f);
  EXPECT_TRUE(props.held.empty());

  // A held prop whose drop point is off the map is deleted, record and sprite.
  icon.LeftClick(5, 5);
  Mouse(1270.0f, 790.0f);
  props.Drop();
  EXPECT_EQ(scenario.placedProps.size(), before + 1);
  EXPECT_EQ(props.all.size(), before + 1);

  // A brush is nine props; dropped at the map's left edge, those left of it go.
  SIM_PropType* scrub = SIM_PropTypeManager::Get().Find("scrub");
  ASSERT_NE(scrub, nullptr);
  GUI_DS_PropIcon brushIcon(scrub);
  brushIcon.SetRect(0, 0, 10, 10);
  brushIcon.LeftClick(5, 5);
  ASSERT_EQ(props.held.size(), 9u);
  for (PlacedPropSprite* s : props.held) EXPECT_NE(s->prop->type->mode, PROPMODE_BRUSH);
  const float edgeX = GetDSMap()->clipRect.left + 2.0f;
  Click(edgeX, SY(2));
  const size_t afterEdge = scenario.placedProps.size();
  EXPECT_GT(afterEdge, before + 1);
  EXPECT_LT(afterEdge, before + 10) << "props left of the map were kept";
  for (size_t i = before + 1; i < afterEdge; ++i) EXPECT_GE(scenario.placedProps[i]->x, 0.0f);

  // In multiple mode a placed brush starts the next; one wholly off the map does not.
  DSPropQuantityButton(0);
  brushIcon.LeftClick(5, 5);
  Click(SX(4), SY(2));
  EXPECT_EQ(scenario.placedProps.size(), afterEdge + 18) << "nine placed and nine held";
  EXPECT_EQ(props.held.size(), 9u) << "multiple mode starts the next brush";
  Mouse(1270.0f, 790.0f);
  props.Drop();
  EXPECT_EQ(scenario.placedProps.size(), afterEdge + 9);
  EXPECT_TRUE(props.held.empty());
  DSPropQuantityButton(0);
  const size_t placedNow = scenario.placedProps.size();

  // Ctrl+wheel turns by 2.5 degrees, wrapping past 359; the picker's angle follows.
  icon.LeftClick(5, 5);
  props.held[0]->prop->angle = 359.0f;
  Ctrl(true);
  window->OnWheelUp();
  Ctrl(false);
  EXPECT_FLOAT_EQ(props.held[0]->prop->angle, 1.5f);
  EXPECT_FLOAT_EQ(window->propPicker->fixedAngle, 1.5f);
  const float w = props.held[0]->prop->width;
  window->OnWheelDown();
  EXPECT_FLOAT_EQ(props.held[0]->prop->width, w * 1.1f);
  // The right button deletes what is held.
  GetGame().CurrentMode->OnRightDown();
  EXPECT_TRUE(props.held.empty());
  EXPECT_EQ(scenario.placedProps.size(), placedNow);

  // A rectangle selects props; a prop icon click then deletes them before placing.
  props.SelectInRect(490.0f, 690.0f, 510.0f, 710.0f);
  ASSERT_EQ(props.held.size(), 1u) << "the tent at (500, 700)";
  icon.LeftClick(5, 5);
  EXPECT_EQ(scenario.placedProps.size(), placedNow) << "one deleted, one new held";
  GetCInput().OnKeyDown(46);
  EXPECT_EQ(scenario.placedProps.size(), placedNow - 1);
  // The angle button toggles and back.
  DSPropAngleButton(0);
  DSPropAngleButton(0);
  EXPECT_EQ(window->propPicker->randomAngle, 0);
  EXPECT_EQ(window->propPicker->angleButton->label, GetTranslation("DEPLOY_FIXEDANGLE"));
}

TEST_F(MapDesignerTest, ClearMapKeepsTheGroundAndTheMapStillSaves) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  SIM_Scenario& scenario = *window->scenario;
  std::vector<std::string> ground;
  for (const auto& s : scenario.grid) ground.push_back(s->text);
  ASSERT_FALSE(scenario.routeStartSquares.empty());
  ClearMap();
  ASSERT_EQ(scenario.grid.size(), 48u) << "the grid must survive a clear";
  for (size_t i = 0; i < scenario.grid.size(); ++i) {
    const SIM_MapSquare& s = *scenario.grid[i];
    EXPECT_EQ(s.text, ground[i]);
    EXPECT_TRUE(s.links.empty());
    EXPECT_TRUE(s.object.empty());
    EXPECT_FALSE(s.attackerFlag || s.defenderFlag);
    EXPECT_FALSE(s.IsExit());
    EXPECT_EQ(s.kind, SIM_MapSquare::KIND_OTHER);
  }
  EXPECT_TRUE(scenario.placedProps.empty());
  EXPECT_TRUE(GetDSPropManager().all.empty());
  EXPECT_TRUE(scenario.routeStartSquares.empty());

  OpenMapConfiguration(&scenario);
  GUI_DS_MapConfiguration* dialog = GetDSMapConfiguration();
  ASSERT_NE(dialog, nullptr);
  dialog->nameEdit->SetText("Blank");
  dialog->descriptionEdit->SetText("Nothing but ground");
  SaveMapPressed(0);
  EXPECT_EQ(GetDSMapConfiguration(), nullptr);
  const std::string file = scenario.file;
  ASSERT_TRUE(FileExists(file)) << file;
  SIM_Scenario reread;
  ASSERT_TRUE(reread.Load(file));
  ASSERT_TRUE(reread.LoadMap());
  EXPECT_EQ(reread.grid.size(), 48u);
  EXPECT_EQ(reread.grid[5]->text, ground[5]);
}

TEST_F(MapDesignerTest, TheNineRowMapPaintsEveryRowAndSkipsMissingQuadrants) {
  GUI_DS_Window* window = Open("night_citadel");
  ASSERT_NE(window, nullptr);
  SIM_Scenario& scenario = *window->scenario;
  ASSERT_EQ(scenario.maxRows, 9);
  DSModeButton(DS_MODE_TERRAIN);
  Frame();
  GUI_DS_Map* map = GetDSMap();
  ASSERT_EQ(map->groundSquares.size(), 6u * 5u);
  for (GUI_DS_GroundSquare* g : map->groundSquares) {
    const bool lastRow = g->row == 8;
    EXPECT_EQ(g->hasQuadrant[2], !lastRow) << g->row << "," << g->column;
    EXPECT_EQ(g->hasQuadrant[3], !lastRow);
    g->selected = true;
  }
  GUI_DS_TilePickerIcon icon("snow2");
  icon.SetRect(0, 0, 10, 10);
  ASSERT_TRUE(icon.LeftClick(5, 5));
  for (const auto& s : scenario.grid) {
    const int set = (s->column % 2) + 2 * (s->row % 2) + 1;
    EXPECT_EQ(s->text, "snow2_" + std::to_string(set)) << s->row << "," << s->column;
  }
  Frame();
  DSModeButton(DS_MODE_TILE);
  Frame();
}

TEST_F(MapDesignerTest, HostileNamesAreRefusedWithAMessageAndNothingIsWritten) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  const std::string folder = GetUserFolder(USERFOLDER_SCENARIOS);
  // Names the text field lets through that would leave the scenarios folder.
  const std::string names[] = {"../escape", "a/b", "back\\slash", "..", "x/../../y"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    OpenMapConfiguration(window->scenario);
    GUI_DS_MapConfiguration* dialog = GetDSMapConfiguration();
    dialog->nameEdit->SetText(name);
    dialog->descriptionEdit->SetText("a description");
    ASSERT_EQ(dialog->nameEdit->GetText(), name);
    SaveMapPressed(0);
    EXPECT_NE(GetDSMapConfiguration(), nullptr) << "the dialog stays open";
    EXPECT_NE(OpenMessageBox(), nullptr) << "no message for a refused name";
    EXPECT_TRUE(ListFolders(folder + "/*.*").empty()) << "something was written";
    EXPECT_EQ(window->scenario->name, "border_crossing");
    delete OpenMessageBox();
  }
  // Control characters are refused too (the text field already drops typed ones).
  for (const char* name : {"bell\x07", "tab\tname", "nl\n", "del\x7f"})
    EXPECT_FALSE(MapNameProblem(name).empty());
  EXPECT_EQ(MapNameProblem("Hill 203"), "");
  EXPECT_FALSE(MapNameProblem("").empty());
}

TEST(MapDesignerNames, TilePickerKeepsOnlyPlainSetNames) {
  const std::vector<std::string> files = {"mud_512.jpg", "mud.jpg", "rock2.jpg", "grass.jpg", "x1.jpg"};
  EXPECT_EQ(TilePickerNames(files), (std::vector<std::string>{"mud1", "mud2", "mud3", "mud4", "grass1",
                                                              "grass2", "grass3", "grass4"}));
}

TEST(MapDesignerDayTimes, ShippedTableAndParsing) {
  struct Case {
    const char* line;
    bool ok, light;
    int r, g, b, a;
  } cases[] = {
      {"DAY,-1,255,255,255", true, false, 255, 255, 255, 255},
      {"NIGHT,128,128,160,255", true, true, 128, 128, 160, 255},
      {"HOT,300,-5,10,255", true, true, 255, 0, 10, 255},
      {",1,2,3,4", false, false, 255, 255, 255, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DayTime t;
    EXPECT_EQ(ParseDayTime(c.line, t), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(t.hasLightColour, c.light);
    if (c.light) {
      EXPECT_EQ((std::vector<int>{t.r, t.g, t.b, t.a}), (std::vector<int>{c.r, c.g, c.b, c.a}));
    }
  }
  for (const char* name : {"DAY", "NIGHT", "DARK"}) EXPECT_NE(FindDayTime(name), nullptr) << name;
  EXPECT_FALSE(FindDayTime("DAY")->hasLightColour);
  EXPECT_EQ(FindDayTime("day"), nullptr);
}

TEST_F(MapDesignerTest, ShadowMapOnTheNullDeviceIsEmptyAndWritesNothing) {
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* scenario = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(scenario, nullptr);
  const std::string folder = zt_test::UserRoot() + "/shadow";
  EXPECT_EQ(GenerateMapShadowMap(*scenario, folder), "");
  EXPECT_FALSE(DirectoryExists(folder));
}

}  // namespace

namespace {

using mapdesigner_test::MapDesignerTest;

TEST_F(MapDesignerTest, ZoomKeepsThePointUnderTheMouseAndScrollStaysInBounds) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  GUI_DS_Map* map = GetDSMap();
  const float fit = std::min(map->clipRect.Height() / 1200.0f, map->clipRect.Width() / 1600.0f);
  EXPECT_FLOAT_EQ(map->minZoom, fit);
  EXPECT_FLOAT_EQ(map->zoom, fit) << "laid out zoomed to fit";

  // From 1.95 a step in stops at 2.0 with the world point under the mouse kept.
  Mouse(map->clipRect.left + 300.0f, map->clipRect.top + 200.0f);
  map->zoom = 1.95f;
  map->scrollX = 400.0f;
  map->scrollY = 300.0f;
  const float wx = map->WorldX(GetInputManager().x), wy = map->WorldY(GetInputManager().y);
  map->ZoomIn();
  EXPECT_FLOAT_EQ(map->zoom, 2.0f);
  EXPECT_NEAR(map->WorldX(GetInputManager().x), wx, 0.01f);
  EXPECT_NEAR(map->WorldY(GetInputManager().y), wy, 0.01f);

  // Scrolling is held between -10 and the far edge + 10.
  struct Case {
    float x, y, wantX, wantY;
  } cases[] = {
      {-500.0f, -500.0f, -10.0f, -10.0f},
      {5000.0f, 5000.0f, 1600.0f - map->clipRect.Width() / 2.0f + 10.0f,
       1200.0f - map->clipRect.Height() / 2.0f + 10.0f},
      {100.0f, 50.0f, 100.0f, 50.0f},
  };
  for (const Case& c : cases) {
    map->scrollX = c.x;
    map->scrollY = c.y;
    map->ClampScroll();
    EXPECT_FLOAT_EQ(map->scrollX, c.wantX);
    EXPECT_FLOAT_EQ(map->scrollY, c.wantY);
  }
  // Zoomed to fit, the 8 x 6 map is shorter than the view: it sits in its middle, with as
  // much empty view above it as below, wherever the scroll was.
  map->zoom = map->minZoom;
  ASSERT_LT(1200.0f * map->zoom + 20.0f, static_cast<float>(map->clipRect.Height()));
  for (float y : {-500.0f, 0.0f, 5000.0f}) {
    map->scrollY = y;
    map->ClampScroll();
    EXPECT_NEAR(map->ScreenY(0.0f) - map->clipRect.top, map->clipRect.bottom - map->ScreenY(1200.0f), 0.01f)
        << "from " << y;
  }

  // With INVERTZOOM at 0 the wheel up makes the map smaller; zooming out stops at the fit.
  map->zoom = 1.0f;
  map->OnWheelUp();
  EXPECT_FLOAT_EQ(map->zoom, 0.9f);
  for (int i = 0; i < 30; ++i) map->OnWheelUp();
  EXPECT_FLOAT_EQ(map->zoom, fit);
  map->OnWheelDown();
  EXPECT_FLOAT_EQ(map->zoom, fit + 0.1f);
}

}  // namespace

namespace {
// The mode buttons answer a real click (the mouse through the game mode), not only a
// call of their callback: each switches the picker on the right.
TEST_F(MapDesignerTest, ModeButtonsAnswerAMouseClick) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  GUI_DS_ControlPanel* panel = window->controlPanel;
  ASSERT_NE(panel, nullptr);
  const struct {
    GUI_ButtonText* button;
    int mode;
  } cases[] = {{panel->terrainButton, DS_MODE_TERRAIN},
               {panel->propsButton, DS_MODE_PROPS},
               {panel->tileButton, DS_MODE_TILE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const float x = (c.button->left + c.button->right) * 0.5f, y = (c.button->top + c.button->bottom) * 0.5f;
    Mouse(x, y);
    Frame();
    Click(x, y);
    EXPECT_EQ(window->editMode, c.mode);
    EXPECT_EQ(window->tilePicker->visible, c.mode == DS_MODE_TERRAIN);
    EXPECT_EQ(window->propPicker->visible, c.mode == DS_MODE_PROPS);
    EXPECT_EQ(window->emplacementPicker->visible, c.mode == DS_MODE_TILE);
  }
}
}  // namespace
