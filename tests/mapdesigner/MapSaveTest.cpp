// Saving from the map designer: folder names, overwrite, the written keys, and a round
// trip through a fresh scenario manager into a headless battle on the new route.
#include <algorithm>
#include <set>

#include "MapDesignerFixture.h"
#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/SettingsFile.h"
#include "gui/ConfirmDialog.h"
#include "gui/DropDownList.h"
#include "gui/MessageBox.h"
#include "gui/TextEditWindow.h"
#include "simdata/PropType.h"
#include "simdata/UnitDesign.h"

namespace {

using mapdesigner_test::MapDesignerTest;

class MapSaveTest : public MapDesignerTest {
 protected:
  // Opens the save dialog (answering the preset question) and fills it in.
  GUI_DS_MapConfiguration* Configure(const std::string& name, const std::string& description) {
    DSSaveButton(0);
    if (GUI_ConfirmDialog* preset = OpenConfirmDialog()) {
      EXPECT_EQ(preset->Title(), GetTranslation("SAVEPRESETMAP_TITLE"));
      GUI_ConfirmDialog::OnYes(0);
    }
    GUI_DS_MapConfiguration* dialog = GetDSMapConfiguration();
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return nullptr;
    dialog->nameEdit->SetText(name);
    dialog->descriptionEdit->SetText(description);
    return dialog;
  }
  std::string Saved(const std::string& folder) const {
    return GetUserFolder(USERFOLDER_SCENARIOS) + "/" + folder + "/scenario.ini";
  }
  static bool Digits31(const std::string& name) {
    return name.size() >= 31 &&
           std::all_of(name.begin(), name.begin() + 31, [](char c) { return c >= '0' && c <= '8'; });
  }
};

TEST_F(MapSaveTest, APresetMapSavesUnderAFreshPrefixEachTime) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  std::set<std::string> folders;
  for (int i = 0; i < 2; ++i) {
    GUI_DS_MapConfiguration* dialog = Configure("Hill", "Take the hill");
    ASSERT_NE(dialog, nullptr);
    dialog->Draw();
    EXPECT_TRUE(dialog->saveButton->enabled);
    SaveMapPressed(0);
    ASSERT_EQ(GetDSMapConfiguration(), nullptr);
    const std::string name = window->scenario->name;
    EXPECT_TRUE(Digits31(name)) << name;
    EXPECT_EQ(name.substr(31), "Hill");
    EXPECT_EQ(window->scenario->Config().GetString("id"), name);
    EXPECT_EQ(window->scenario->guiName, "Hill");
    EXPECT_TRUE(FileExists(Saved(name)));
    folders.insert(name);
  }
  EXPECT_EQ(folders.size(), 2u) << "a preset map saved twice must not overwrite itself";

  // An empty description keeps Save disabled.
  GUI_DS_MapConfiguration* dialog = Configure("Hill", "");
  dialog->Draw();
  EXPECT_FALSE(dialog->saveButton->enabled);
}

// Nothing about a save goes unsaid: a greyed Save says what it waits for, a path square
// whose route leads to no exit is named before the save, and the save is confirmed.
TEST_F(MapSaveTest, AGreyedSaveSaysWhyADeadEndIsNamedFirstAndTheSaveIsConfirmed) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  GUI_DS_MapConfiguration* dialog = Configure("Hill", "");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->routeWarning, "") << "every route of the shipped map leads out";
  dialog->Draw();
  EXPECT_FALSE(dialog->saveButton->enabled);
  EXPECT_EQ(dialog->message, GetTranslation("MAPEDIT_SAVE_NEEDS_TEXT"));
  dialog->descriptionEdit->SetText("Take the hill");
  dialog->Draw();
  EXPECT_TRUE(dialog->saveButton->enabled);
  EXPECT_EQ(dialog->message, "");
  SaveMapPressed(0);
  ASSERT_EQ(GetDSMapConfiguration(), nullptr);
  ASSERT_NE(OpenMessageBox(), nullptr) << "the save is confirmed";
  EXPECT_NE(OpenMessageBox()->Text().find("Hill"), std::string::npos) << OpenMessageBox()->Text();
  delete OpenMessageBox();

  // Two path squares that only lead to each other: a dead end.
  std::vector<SIM_MapSquare*> inner;
  for (const auto& square : window->scenario->grid)
    if (!square->IsExit() && !square->defenderFlag && inner.size() < 2) inner.push_back(square.get());
  ASSERT_EQ(inner.size(), 2u);
  inner[0]->links = {inner[1]->number};
  inner[1]->links = {inner[0]->number};
  dialog = Configure("Hill", "Take the hill");
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(dialog->routeWarning.find("has no route to an exit"), std::string::npos) << dialog->routeWarning;
  EXPECT_NE(FindSquareWithoutExit(*window->scenario), nullptr);
  delete dialog;
}

TEST_F(MapSaveTest, AUserMapKeepsItsPrefixAndDecliningTheOverwriteChangesNothing) {
  // A player's map, as an earlier save left it.
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  Configure("Ridge", "First version");
  SaveMapPressed(0);
  const std::string first = window->scenario->name;
  const std::string file = Saved(first);
  ASSERT_TRUE(FileExists(file));

  // Opened again from the custom tab: a user map.
  SIM_ScenarioManager fresh;
  SIM_Scenario* mine = fresh.AddScenario(file);
  ASSERT_NE(mine, nullptr);
  OpenMapDesignerFor(*mine);
  window = GetDSWindow();
  ASSERT_TRUE(window->customMap);
  EXPECT_EQ(window->ChildWindows().size(), 5u) << "Edit again must not build the editor twice";
  DSSaveButton(0);
  EXPECT_EQ(OpenConfirmDialog(), nullptr) << "a user map needs no preset question";
  GUI_DS_MapConfiguration* dialog = GetDSMapConfiguration();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->nameEdit->GetText(), "Ridge");
  EXPECT_EQ(dialog->descriptionEdit->GetText(), "First version");

  // The same name: asked, declined, nothing changed.
  const std::string before = zt_test::ReadText(file);
  dialog->descriptionEdit->SetText("Second version");
  SaveMapPressed(0);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(OpenConfirmDialog()->Title(), GetTranslation("CUSTOM_SAVE_OVERWRITE_TITLE"));
  GUI_ConfirmDialog::OnNo(0);
  EXPECT_EQ(zt_test::ReadText(file), before);
  EXPECT_EQ(window->scenario->description, "First version");
  EXPECT_EQ(window->scenario->name, first);

  // Accepted: written in place.
  SaveMapPressed(0);
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_NE(zt_test::ReadText(file), before);
  EXPECT_EQ(window->scenario->name, first);

  // A new name keeps the 31-digit prefix; the old folder stays.
  Configure("Ridge Two", "Renamed");
  SaveMapPressed(0);
  EXPECT_EQ(window->scenario->name, first.substr(0, 31) + "Ridge Two");
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(Saved(window->scenario->name)));

  // A long name: the folder keeps what the loader accepts, the shown name keeps all.
  const std::string longName(60, 'L');
  Configure(longName, "Long");
  SaveMapPressed(0);
  EXPECT_EQ(window->scenario->name.size(), SIM_Scenario::kMaxNameLength);
  EXPECT_EQ(window->scenario->guiName, longName);
  SIM_Scenario reread;
  EXPECT_TRUE(reread.Load(window->scenario->file)) << "a saved map the loader refuses";
}

TEST(MapFolderNames, AUserPrefixIsKeptOnlyWhenItIs31Digits) {
  mapdesigner_test::UseTestUserFolders();
  InitRandomWithSeed(5);
  const std::string root = GetUserFolder(USERFOLDER_SCENARIOS);
  struct Case {
    std::string file;
    bool custom;
    bool keeps;
  } cases[] = {
      {root + "/0123456780123456780123456780123Hill/scenario.ini", true, true},
      {root + "/0123456780123456780123456780123/scenario.ini", true, true},
      {root + "/01234x6780123456780123456780123Hill/scenario.ini", true, false},
      {root + "/short/scenario.ini", true, false},
      {"data/scenarios/01_border_crossing/scenario.txt", false, false},
      {root + "/0123456780123456780123456780123Hill/scenario.ini", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    SIM_Scenario s;
    s.file = c.file;
    const std::string folder = MapFolderName(s, c.custom, "Dune");
    EXPECT_EQ(folder.substr(31), "Dune");
    EXPECT_EQ(folder.substr(0, 31) == "0123456780123456780123456780123", c.keeps);
  }
}

TEST_F(MapSaveTest, WrittenKeysAreClampedAndTheTimeOfDayIsStored) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  GUI_DS_MapConfiguration* dialog = Configure("Values", "Typed numbers");
  // Past the bounds, below them, emptied.
  dialog->valueEdits[0]->SetText("999999");
  dialog->valueEdits[2]->SetText("5");
  dialog->valueEdits[6]->SetText("");
  const int hpBefore = static_cast<int>(window->scenario->Config().GetFloat("classic_hpleftlimit", 0.0f));
  dialog->timeOfDayList->SetSelectedText("NIGHT");
  dialog->ambienceList->SetSelectedText("");
  const std::string ambienceBefore = window->scenario->Config().GetString("ambient_sound");
  SaveMapPressed(0);
  SettingsFile saved;
  ASSERT_TRUE(saved.LoadSection(window->scenario->file, "config"));
  EXPECT_EQ(saved.GetString("classic_startingsupplies_attacker"), "100000");
  EXPECT_EQ(saved.GetString("classic_timelimit"), "10000");
  EXPECT_EQ(saved.GetString("classic_hpleftlimit"), std::to_string(hpBefore));
  EXPECT_EQ(saved.GetString("classic_suppliespersecond_attack_start"),
            saved.GetString("classic_suppliespersecond_attack_end"));
  EXPECT_EQ(saved.GetString("using_lightmap"), "1");
  EXPECT_EQ(saved.GetString("lightmap_color"), "128,128,160,255");
  EXPECT_EQ(saved.GetString("timeofday"), "NIGHT");
  EXPECT_EQ(saved.GetString("shadowmap"), "procedural");
  EXPECT_EQ(saved.GetString("mode_classic_attack"), "1");
  EXPECT_EQ(saved.GetString("ambient_sound"), ambienceBefore);
  // No picture was made on the null device, so none is named.
  EXPECT_EQ(saved.GetString("texture"), window->scenario->Config().GetString("texture"));
  EXPECT_EQ(saved.GetString("texture"), "map_border_crossing.jpg");

  // A day without a light colour switches the tint off and keeps the old colour.
  dialog = Configure("Values", "Typed numbers");
  dialog->timeOfDayList->SetSelectedText("DAY");
  SaveMapPressed(0);
  if (GUI_ConfirmDialog* overwrite = OpenConfirmDialog()) {
    (void)overwrite;
    GUI_ConfirmDialog::OnYes(0);
  }
  ASSERT_TRUE(saved.LoadSection(window->scenario->file, "config"));
  EXPECT_EQ(saved.GetString("using_lightmap"), "0");
  EXPECT_EQ(saved.GetString("lightmap_color"), "128,128,160,255");
}

// The dust list offers names to read while the scenario keeps the keys the battle reads.
TEST_F(MapSaveTest, TheDustListShowsNamesAndSavesItsKey) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  GUI_DS_MapConfiguration* dialog = Configure("Dusty", "Sand on the road");
  GUI_DropDownList* dust = dialog->dustList;
  dust->OpenList();
  ASSERT_NE(dust->Container(), nullptr);
  std::vector<std::string> shown;
  GUI_DropDownListEntry* sand = nullptr;
  for (GUI_DropDownListEntry* e : dust->Container()->Entries()) {
    shown.push_back(dust->Shown(e->Text()));
    if (e->Text() == "DUST_SAND") sand = e;
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Dirt", "Snow", "Sand"}));
  ASSERT_NE(sand, nullptr);
  sand->LeftClick((sand->left + sand->right) / 2.0f, (sand->top + sand->bottom) / 2.0f);
  EXPECT_EQ(dust->Shown(dust->SelectedText()), "Sand");
  SaveMapPressed(0);
  SettingsFile saved;
  ASSERT_TRUE(saved.LoadSection(window->scenario->file, "config"));
  EXPECT_EQ(saved.GetString("dust"), "DUST_SAND");
}

// Lays a new attack route along row 4 to an exit on the right edge, with the old routes,
// zones and exits cleared; the defence sits on row 1.
void LayNewRoute(SIM_Scenario& scenario) {
  GUI_DS_Map* map = GetDSMap();
  ClearMap();
  auto select = [map](std::initializer_list<std::pair<int, int>> cells) {
    map->DeselectAllSquares();
    for (auto [c, r] : cells) {
      SIM_MapSquare* s = map->scenario->GetSquare(c, r);
      map->FindMapSquare(s->number)->selected = true;
    }
  };
  for (int c = 0; c + 1 < scenario.maxCols; ++c) {
    select({{c, 4}});
    ApplyTileAction(0);  // path to the right
  }
  select({{scenario.maxCols - 1, 4}});
  ApplyTileAction(4);  // exit
  select({{0, 4}});
  ApplyTileAction(7);  // attacker zone: the road's first square
  select({{2, 1}, {3, 1}, {4, 1}, {5, 1}, {3, 2}, {4, 2}});
  ApplyTileAction(6);  // defender zone
  DSAutoPathButton(0);
}

TEST_F(MapSaveTest, RoundTripThroughAFreshManagerIntoABattleOnTheNewRoute) {
  GUI_DS_Window* window = Open("border_crossing");
  ASSERT_NE(window, nullptr);
  SIM_Scenario& edited = *window->scenario;
  LayNewRoute(edited);
  ASSERT_EQ(edited.routeStartSquares.size(), 7u);
  // Two props placed by hand.
  DSModeButton(DS_MODE_PROPS);
  GUI_DS_PropIcon icon(SIM_PropTypeManager::Get().Find("tent"));
  icon.SetRect(0, 0, 10, 10);
  for (int c : {2, 5}) {
    icon.LeftClick(5, 5);
    Click(SX(c), SY(6 - 1));
  }
  ASSERT_EQ(edited.placedProps.size(), 2u);
  Configure("New Road", "One road to the east");
  SaveMapPressed(0);
  const std::string file = edited.file;
  ASSERT_TRUE(FileExists(file));
  GetGame().SetGameMode(MODE_BATTLE_BROWSER);  // leaves the designer

  // The custom tab lists the folders of the player's scenarios folder.
  const std::vector<std::string> custom = ListFolders(GetUserFolder(USERFOLDER_SCENARIOS) + "/*.*");
  ASSERT_EQ(custom.size(), 1u);
  EXPECT_EQ(custom[0].substr(31), "New Road");

  SIM_ScenarioManager fresh;
  SIM_Scenario* loaded = fresh.AddScenario(file);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->guiName, "New Road");
  {
    // Its row shows the typed name, not the folder's digits.
    GUI_BB_CustomMap row(loaded);
    row.SetRect(0.0f, 0.0f, 600.0f, 40.0f);
    row.UpdateRowText();
    EXPECT_EQ(row.displayedName, "New Road");
  }
  ASSERT_TRUE(loaded->LoadMap());
  loaded->LoadProps();
  EXPECT_EQ(loaded->placedProps.size(), 2u);
  ASSERT_EQ(loaded->exitSquares.size(), 1u);
  EXPECT_EQ(loaded->exitSquares[0]->row, 4);
  std::set<int> routeSquares;
  for (SIM_MapSquare* s : loaded->routeStartSquares) {
    EXPECT_EQ(s->row, 4);
    routeSquares.insert(s->number);
    EXPECT_FALSE(s->object.empty()) << "the automatic path laid no tile";
  }
  EXPECT_EQ(routeSquares.size(), 7u);

  // A headless battle: the computer attacks along the only route.
  SIM_UnitDesignManager::Get().Load();
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = true;
  battle.aiUnitSource = AI_UNITS_ALL;
  battle.useFixedSeed = true;
  battle.fixedSeed = 3;
  battle.SetScenario(loaded);
  battle.Start();
  // The defender AI takes the player's seat, as in the match runner.
  SIM_ClassicDefenderAI& defender = GetDefenderAI();
  defender.Reset(battle.playerArmy, true);
  defender.PrepareBattleStart(SIM_Battle::kMaxPreparePasses);
  for (int i = 0; i < 40; ++i) battle.Update();
  battle.Begin();
  battle.SetSpeed(4.0f);
  std::set<int> visited;
  int steps = 0;
  while (battle.outcome == OUTCOME_UNDECIDED && steps++ < 60000) {
    const int64_t checks = battle.checkCount;
    battle.Update();
    if (battle.checkCount != checks && battle.outcome == OUTCOME_UNDECIDED) {
      defender.UpdateBudget();
      defender.Step();
    }
    if (SIM_BattleArmy* attacker = battle.AttackerArmy()) {
      for (SIM_BattleUnit* u : attacker->allUnits) {
        if (u->state == US_DESTROYED || u->state == US_GONE) continue;
        if (SIM_MapSquare* s = loaded->GetSquareAt(u->x, u->y)) {
          if (s->column > 0) visited.insert(s->row);
        }
      }
    }
  }
  EXPECT_NE(battle.outcome, OUTCOME_UNDECIDED)
      << "the battle on the saved map did not end: clock " << battle.battleClock << " state " << battle.state
      << " steps " << steps;
  EXPECT_TRUE(visited.count(4)) << "no attacker reached the new road";
  for (int row : visited) {
    EXPECT_GE(row, 3) << "an attacker left the new road for row " << row;
    EXPECT_LE(row, 5) << "an attacker left the new road for row " << row;
  }
}

}  // namespace
