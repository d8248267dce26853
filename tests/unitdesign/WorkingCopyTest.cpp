// What is saved and what is on the board stay apart: loading a design shows its file,
// changes are asked about before they are thrown away, a new hull starts a design of its
// own, and deleting the open design leaves a board to work on.
#include <algorithm>

#include "engine/TextRenderer.h"
#include "gui/ConfirmDialog.h"
#include "gui/ScrollingWindow.h"
#include "gui/TextEditWindow.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

const char* kBulwarkFile = "data/sampleunits/bulwark_battle_tank.txt";

class WorkingCopyTest : public UnitDesignTest {
 protected:
  // Opens the loader and clicks the row of the file; null when the file has no row.
  GUI_UD_DesignLoaderStrip* OpenLoaderAt(const std::string& file) {
    GUI_UD_ControlPanel::OnLoad(0);
    GUI_UD_DesignLoader* loader = GetUDDesignLoader();
    if (!loader) return nullptr;
    GUI_UD_DesignLoaderStrip* row = nullptr;
    for (GUI_UD_DesignLoaderStrip* s : loader->strips)
      if (s->design->file == file) row = s;
    if (!row) return nullptr;
    while (!row->visible && loader->scroll->ScrollBy(1)) loader->LayoutStrips();
    LeftPress(row->left + 20.0f, CY(row));
    LeftRelease(row->left + 20.0f, CY(row));
    return row;
  }
  void ClickBin(const GUI_UD_DesignLoaderStrip* row) {
    const float x = (row->deleteButton->left + row->deleteButton->right) * 0.5f;
    const float y = (row->deleteButton->top + row->deleteButton->bottom) * 0.5f;
    LeftPress(x, y);
    LeftRelease(x, y);
  }
  // Loads the file through the loader's Open button, as the player does.
  void OpenThroughLoader(const std::string& file) {
    ASSERT_NE(OpenLoaderAt(file), nullptr) << file;
    GUI_UD_DesignLoader::OnOpen(0);
    Frame();
  }
};

struct EditCase {
  const char* what;
  bool removeModule;
  bool rename;
};

// The open design loaded again comes back as its file: a removed module is back, a name
// typed in the title field is gone. With changes the loader asks first.
TEST_F(WorkingCopyTest, LoadingTheOpenDesignAgainShowsItAsSaved) {
  const EditCase cases[] = {
      {"module removed", true, false},
      {"renamed in the title field", false, true},
      {"both", true, true},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_UnitDesign* bulwark = LoadSample("bulwark_battle_tank.txt");
    ASSERT_NE(bulwark, nullptr);
    const std::string savedName = bulwark->guiName;
    if (c.removeModule) RightClick(CX(Slot(3)), CY(Slot(3)));
    if (c.rename) window->controlPanel->nameField->SetText("Renamed Tank");
    EXPECT_TRUE(window->HasUnsavedChanges());

    // Declined: the board keeps the edits.
    OpenThroughLoader(kBulwarkFile);
    ASSERT_NE(OpenConfirmDialog(), nullptr) << "a change is not thrown away unasked";
    GUI_ConfirmDialog::OnNo(0);
    EXPECT_EQ(Slot(3)->module == nullptr, c.removeModule);
    EXPECT_EQ(window->controlPanel->nameField->GetText(), c.rename ? "Renamed Tank" : savedName);

    // Confirmed: the board shows the file.
    OpenThroughLoader(kBulwarkFile);
    ASSERT_NE(OpenConfirmDialog(), nullptr);
    GUI_ConfirmDialog::OnYes(0);
    Frame();
    EXPECT_EQ(window->design, bulwark);
    ASSERT_NE(Slot(3)->module, nullptr);
    EXPECT_EQ(Slot(3)->module->name, "gas_turbine");
    EXPECT_EQ(bulwark->modules.size(), 7u);
    EXPECT_EQ(window->controlPanel->nameField->GetText(), savedName);
    EXPECT_EQ(bulwark->guiName, savedName);
    EXPECT_FALSE(window->HasUnsavedChanges());
    EXPECT_FALSE(FileExists(GetUserFolder(0) + "/design.tmp"));
  }
}

TEST_F(WorkingCopyTest, LoadingWithoutChangesAsksNothing) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  OpenThroughLoader("data/sampleunits/jackal_scout.txt");
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  ASSERT_NE(window->design, nullptr);
  EXPECT_EQ(window->design->file, "data/sampleunits/jackal_scout.txt");
}

// Another design with unsaved changes on the board: the loader asks, and the manager's
// copy of the left design is its file again.
TEST_F(WorkingCopyTest, LoadingAnotherDesignAsksAndLeavesTheFirstAsSaved) {
  SIM_UnitDesign* bulwark = LoadSample("bulwark_battle_tank.txt");
  ASSERT_NE(bulwark, nullptr);
  RightClick(CX(Slot(0)), CY(Slot(0)));
  OpenThroughLoader("data/sampleunits/jackal_scout.txt");
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  ASSERT_NE(window->design, nullptr);
  EXPECT_EQ(window->design->file, "data/sampleunits/jackal_scout.txt");
  EXPECT_EQ(bulwark->CountModulesOfType("cannon_75"), 1);
}

// A name typed and not saved counts when leaving too.
TEST_F(WorkingCopyTest, LeavingWithATypedNameAsksFirst) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  window->controlPanel->nameField->SetText("Renamed Tank");
  GUI_UnitDesign::RequestExit(0);
  EXPECT_NE(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_UNIT_DESIGN);
}

// New Hull starts a design of its own: no name or description of the design before, so
// Save proposes nothing of the Bulwark for a Jackal; leaving puts the Bulwark back.
TEST_F(WorkingCopyTest, NewHullStartsWithoutNameOrDescription) {
  SIM_UnitDesign* bulwark = LoadSample("bulwark_battle_tank.txt");
  ASSERT_NE(bulwark, nullptr);
  const std::string savedName = bulwark->guiName;
  SIM_UnitHull* jackal = SIM_UnitHullManager::Get().GetHull("tank_jackal");
  ASSERT_NE(jackal, nullptr);
  jackal->unlockable.locked = 0;
  GUI_UD_ControlPanel::OnHullChange(0);
  ASSERT_NE(GetUDHullPicker(), nullptr);
  GetUDHullPicker()->Select(jackal);
  GUI_UD_HullPicker::OnOK(0);
  Frame();
  ASSERT_NE(window->design, nullptr);
  EXPECT_EQ(window->design->hull, jackal);
  EXPECT_EQ(window->controlPanel->nameField->GetText(), "");
  EXPECT_EQ(window->controlPanel->descriptionField->GetText(), "");
  EXPECT_EQ(window->design->guiName, "");
  EXPECT_EQ(window->design->description, "");
  GUI_UnitDesign::RequestExit(0);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_EQ(bulwark->guiName, savedName);
  EXPECT_EQ(bulwark->hull->name, "tank_bulwark");
}

// Deleting the open design leaves a new design on the same hull that saves and paints.
TEST_F(WorkingCopyTest, DeletingTheOpenDesignLeavesAUsableBoard) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  ASSERT_TRUE(SaveDesign("Doomed"));
  const std::string path = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/doomed.txt";
  GUI_UD_DesignLoaderStrip* row = OpenLoaderAt(path);
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->deleteButton, nullptr);
  ClickBin(row);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_FALSE(FileExists(path));
  delete GetUDDesignLoader();
  ASSERT_NE(window->design, nullptr);
  EXPECT_TRUE(window->owned);
  EXPECT_EQ(window->design->hull->name, "tank_bulwark");
  EXPECT_TRUE(window->design->modules.empty());
  EXPECT_EQ(window->controlPanel->nameField->GetText(), "") << "the deleted design's name is gone";
  ASSERT_NE(window->blueprint, nullptr);
  EXPECT_EQ(window->blueprint->slots.size(), 7u);
  Frame();
  // Customise works on it.
  GUI_UD_ControlPanel::OnCustomise(0);
  EXPECT_EQ(window->tab, 1);
  ASSERT_NE(window->layerPicker, nullptr);
  EXPECT_FALSE(window->layerPicker->icons.empty());
  GUI_UD_ControlPanel::OnCustomise(0);
  // Fill it and save it under a new name.
  const char* fit[] = {"cannon_75",   "composite_plating", "composite_plating",
                       "gas_turbine", "rangefinder",       "manual_loader"};
  for (int i = 0; i < 6; ++i) {
    GUI_UD_ModuleIcon* icon = PickerIcon(fit[i]);
    ASSERT_NE(icon, nullptr) << fit[i];
    Drag(CX(icon), CY(icon), CX(Slot(i)), CY(Slot(i)));
  }
  EXPECT_TRUE(SaveDesign("Reborn"));
  EXPECT_TRUE(FileExists(GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/reborn.txt"));
  EXPECT_FALSE(window->owned);
}

// Shipped samples come back at every start, so their rows have no bin; a player's row
// has one, its box names the design, and it deletes that row and no other.
TEST_F(WorkingCopyTest, TheBinOfARowDeletesThatRowAndSamplesHaveNone) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  ASSERT_TRUE(SaveDesign("Alpha Keep"));
  ASSERT_NE(LoadSample("jackal_scout.txt"), nullptr);
  ASSERT_TRUE(SaveDesign("Bravo Gone"));
  ASSERT_NE(LoadSample("strider_lancer.txt"), nullptr);
  const std::string keep = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/alpha keep.txt";
  const std::string gone = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/bravo gone.txt";
  GUI_UD_DesignLoaderStrip* row = OpenLoaderAt(gone);
  ASSERT_NE(row, nullptr);
  GUI_UD_DesignLoader* loader = GetUDDesignLoader();
  for (GUI_UD_DesignLoaderStrip* s : loader->strips) {
    const bool sample = s->design->file.rfind("data/sampleunits/", 0) == 0;
    EXPECT_EQ(s->deleteButton == nullptr, sample) << s->design->file;
  }
  ASSERT_NE(row->deleteButton, nullptr);
  ClickBin(row);
  GUI_ConfirmDialog* box = OpenConfirmDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(box->Text().find("Bravo Gone"), std::string::npos) << box->Text();
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_FALSE(FileExists(gone));
  EXPECT_TRUE(FileExists(keep));
  EXPECT_NE(SIM_UnitDesignManager::Get().FindDesignByFile(keep), nullptr);
  EXPECT_EQ(SIM_UnitDesignManager::Get().FindDesignByFile(gone), nullptr);
  EXPECT_TRUE(FileExists(kBulwarkFile));
}

// The loader's caption and Open button stand inside its frame below the last row, and a
// row's class stops before its bin.
TEST_F(WorkingCopyTest, TheLoaderKeepsItsLabelsInsideTheFrameAndClearOfTheBin) {
  LoadStandardFonts();
  ASSERT_NE(LoadSample("field_station.txt"), nullptr);  // a long class name
  ASSERT_TRUE(SaveDesign("Station Copy"));
  GUI_UD_DesignLoaderStrip* row = OpenLoaderAt(GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/station copy.txt");
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->deleteButton, nullptr);
  GUI_UD_DesignLoader* loader = GetUDDesignLoader();
  TextCapture capture;
  GetTextRenderer().SetCapture(&capture);
  loader->Draw();
  GetTextRenderer().SetCapture(nullptr);
  const GUI_Rect c = loader->clientRect;
  float lowestRow = 0.0f;
  for (const GUI_UD_DesignLoaderStrip* s : loader->strips)
    if (s->visible) lowestRow = std::max(lowestRow, static_cast<float>(s->bottom));
  const GUI_ButtonText* open = loader->openButton;
  EXPECT_GE(open->top, lowestRow);
  EXPECT_LE(open->bottom, c.bottom);
  EXPECT_LE(open->right, c.right);
  bool caption = false, classShown = false;
  const std::string captionText = GetTranslation("UD_FILEOPEN_FILENAME");
  for (const LibTextChunk* chunk : capture.chunks) {
    if (chunk->text.rfind(captionText, 0) == 0) {
      caption = true;
      EXPECT_GE(chunk->y, lowestRow);
      EXPECT_LE(chunk->y + 16.0f, c.bottom);
    }
    if (chunk->y == row->top && chunk->x == row->right - 150.0f) {
      classShown = true;
      EXPECT_LE(chunk->x + GetTextRenderer().TextWidth(chunk->text.c_str()), row->deleteButton->left)
          << chunk->text;
    }
  }
  EXPECT_TRUE(caption);
  EXPECT_TRUE(classShown);
}

}  // namespace
}  // namespace unitdesign_test
