// The file picker and the open and save dialogs over a temporary folder: listing and
// sorting, deleting with confirmation (also when the list changes behind the question),
// failed deletions, overwrite questions and names that must never leave the folder.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "GuiFixture.h"
#include "engine/Strings.h"
#include "gui/ConfirmDialog.h"
#include "gui/FileDialogs.h"
#include "gui/FilePicker.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_deleted;
void Deleted(const std::string& path) { g_deleted.push_back(path); }
std::vector<std::string> g_chosen;
// Saves as the game's screens do: folder + name + ".txt".
std::string g_saveFolder;
void Chosen(const std::string& text) { g_chosen.push_back(text); }
void SaveLikeTheGame(const std::string& name) {
  g_chosen.push_back(name);
  std::ofstream(g_saveFolder + name + ".txt") << "saved";
}

class FileDialogTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_deleted.clear();
    g_chosen.clear();
    root = zt_test::UserDir() + "/filedialog";
    folder = root + "/designs/";
    fs::remove_all(root);
    fs::create_directories(folder);
    g_saveFolder = folder;
  }
  void TearDown() override {
    delete picker;
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GuiTest::TearDown();
  }
  void Touch(const std::string& name) { std::ofstream(folder + name) << "x"; }
  bool Exists(const std::string& name) const { return fs::exists(folder + name); }
  void ClickOn(const GUI_BaseElement* e) {
    MoveMouse((e->left + e->right) / 2.0f, (e->top + e->bottom) / 2.0f);
    GetWindowOrder().LeftClick();
  }
  // A picker of `rows` visible rows over the folder.
  void MakePicker(int rows) {
    picker = new GUI_FilePicker(folder + "*");
    picker->SetRect(100, 100, 500, 100 + 22 + rows * 24);
    picker->Layout();
    picker->afterDelete = &Deleted;
    picker->Open();
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (const GUI_FilePickerItem* row : picker->Rows()) names.push_back(row->Name());
    return names;
  }
  // Every file below the test's root, as paths relative to it.
  std::set<std::string> AllFiles() const {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (!e.is_directory()) files.insert(fs::relative(e.path(), root).string());
    return files;
  }

  std::string root, folder;
  GUI_FilePicker* picker = nullptr;
};

TEST_F(FileDialogTest, PickerListsRegularFilesSortedWithShortNames) {
  for (const char* name : {"charlie.txt", "alpha.txt", "bravo.v2.txt", "Zulu.txt", ".hidden.txt"})
    Touch(name);
  fs::create_directories(folder + "delta.txt");
  MakePicker(3);
  EXPECT_EQ(picker->Files(), (std::vector<std::string>{folder + "Zulu.txt", folder + "alpha.txt",
                                                       folder + "bravo.v2.txt", folder + "charlie.txt"}));
  EXPECT_EQ(picker->VisibleRows(), 3);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Zulu", "alpha", "bravo"}));
  EXPECT_EQ(picker->SelectedPath(), folder + "Zulu.txt");
  EXPECT_EQ(picker->SelectedName(), "Zulu");
  EXPECT_TRUE(picker->Rows()[0]->selected);
  // Rows 22 high every 24 pixels, up to the scroll bar.
  EXPECT_EQ(picker->Rows()[1]->top, 136);
  EXPECT_EQ(picker->Rows()[1]->bottom, 158);
  EXPECT_EQ(picker->Rows()[1]->right, picker->ScrollBar()->left - 2);
  EXPECT_EQ(picker->ScrollBar()->Maximum(), 1);

  // A click selects a row; scrolling moves the selection to the first visible row.
  ClickOn(picker->Rows()[2]);
  EXPECT_EQ(picker->SelectedPath(), folder + "bravo.v2.txt");
  EXPECT_TRUE(picker->Rows()[2]->selected);
  EXPECT_FALSE(picker->Rows()[0]->selected);
  MoveMouse(300, 120);
  GetWindowOrder().OnWheelDown();
  picker->Draw();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha", "bravo", "charlie"}));
  EXPECT_EQ(picker->SelectedName(), "alpha");
  GetWindowOrder().OnWheelDown();
  picker->Draw();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha", "bravo", "charlie"}));
}

TEST_F(FileDialogTest, AnEmptyFolderGivesNoRowsAndKeepsTheSelection) {
  MakePicker(4);
  EXPECT_TRUE(picker->Rows().empty());
  picker->SetSelectedPath(folder + "earlier.txt");
  picker->Refresh();
  picker->Layout();
  EXPECT_TRUE(picker->Rows().empty());
  EXPECT_EQ(picker->SelectedPath(), folder + "earlier.txt");
  EXPECT_EQ(picker->ScrollBar()->Maximum(), 0);
}

TEST_F(FileDialogTest, DeleteAsksFirstAndReportsTheFileOnceGone) {
  Touch("alpha.txt");
  Touch("bravo.txt");
  MakePicker(4);
  ClickOn(picker->Rows()[1]->DeleteButton());
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  ClickOn(OpenConfirmDialog()->NoButton());
  EXPECT_TRUE(Exists("bravo.txt"));
  EXPECT_TRUE(g_deleted.empty());

  ClickOn(picker->Rows()[1]->DeleteButton());
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_FALSE(Exists("bravo.txt"));
  EXPECT_TRUE(Exists("alpha.txt"));
  EXPECT_EQ(g_deleted, (std::vector<std::string>{folder + "bravo.txt"}));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha"}));
  EXPECT_EQ(OpenMessageBox(), nullptr);
}

TEST_F(FileDialogTest, TheFileAskedAboutIsDeletedEvenWhenTheListChangesBehindTheQuestion) {
  for (const char* name : {"bravo.txt", "charlie.txt", "delta.txt"}) Touch(name);
  MakePicker(4);
  ClickOn(picker->Rows()[1]->DeleteButton());  // charlie
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  // Behind the question the list is read again: every row is rebuilt, and a new file
  // takes charlie's place in the rows.
  Touch("alpha.txt");
  picker->Refresh();
  picker->Layout();
  picker->ScrollBar()->SetPosition(0);
  picker->Draw();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha", "bravo", "charlie", "delta"}));
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_FALSE(Exists("charlie.txt"));
  for (const char* name : {"alpha.txt", "bravo.txt", "delta.txt"}) EXPECT_TRUE(Exists(name)) << name;
  EXPECT_EQ(g_deleted, (std::vector<std::string>{folder + "charlie.txt"}));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha", "bravo", "delta"}));

  // The picker itself may be gone by the time YES comes.
  ClickOn(picker->Rows()[2]->DeleteButton());  // delta
  delete picker;
  picker = nullptr;
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_FALSE(Exists("delta.txt"));
  EXPECT_EQ(g_deleted.size(), 2u);
}

TEST_F(FileDialogTest, AFailedDeletionSaysSoAndReportsNothing) {
  Touch("alpha.txt");
  Touch("bravo.txt");
  MakePicker(4);
  ClickOn(picker->Rows()[1]->DeleteButton());
  // Before YES, bravo.txt is replaced by a folder that holds a file: it cannot be unlinked.
  fs::remove(folder + "bravo.txt");
  fs::create_directories(folder + "bravo.txt");
  std::ofstream(folder + "bravo.txt/inside") << "x";
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_TRUE(Exists("bravo.txt/inside"));
  EXPECT_TRUE(g_deleted.empty());
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenMessageBox()->Text(), GetTranslation("FILEPICKER_DELETE_FAILED_TEXT"));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"alpha"}));

  // A file already gone by YES counts as gone.
  ClickOn(OpenMessageBox()->OKButton());
  ClickOn(picker->Rows()[0]->DeleteButton());
  fs::remove(folder + "alpha.txt");
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_EQ(g_deleted, (std::vector<std::string>{folder + "alpha.txt"}));
  EXPECT_EQ(picker->SelectedPath(), "");
}

TEST_F(FileDialogTest, OpenHandsTheSelectedPathAndNothingWithoutOne) {
  ShowOpenFileDialog(folder + "*.txt", "Open Design", &Chosen);
  GUI_OpenFileDialog* dialog = OpenOpenFileDialog();
  ASSERT_NE(dialog, nullptr);
  ClickOn(dialog->OpenButton());
  EXPECT_EQ(OpenOpenFileDialog(), dialog);
  EXPECT_TRUE(g_chosen.empty());

  Touch("alpha.txt");
  Touch("bravo.txt");
  dialog = ShowOpenFileDialog(folder + "*.txt", "Open Design", &Chosen);
  EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
  ClickOn(dialog->Picker()->Rows()[1]);
  ClickOn(dialog->OpenButton());
  EXPECT_EQ(OpenOpenFileDialog(), nullptr);
  EXPECT_EQ(g_chosen, (std::vector<std::string>{folder + "bravo.txt"}));
}

TEST_F(FileDialogTest, SaveCallsBackAtOnceForANewNameAndAsksBeforeOverwriting) {
  Touch("alpha.txt");
  GUI_SaveFileDialog* dialog = ShowSaveFileDialog("Save Design", folder, "bravo", &SaveLikeTheGame);
  EXPECT_EQ(dialog->Name(), "bravo");
  ClickOn(dialog->SaveButton());
  EXPECT_EQ(OpenSaveFileDialog(), nullptr);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(g_chosen, (std::vector<std::string>{"bravo"}));  // no folder, no ".txt"

  // Clicking a listed file takes its name; saving over it asks first.
  dialog = ShowSaveFileDialog("Save Design", folder, "new", &SaveLikeTheGame);
  ClickOn(dialog->Picker()->Rows()[0]);
  EXPECT_EQ(dialog->Name(), "alpha");
  ClickOn(dialog->SaveButton());
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(OpenSaveFileDialog(), dialog);
  ClickOn(OpenConfirmDialog()->NoButton());
  EXPECT_EQ(g_chosen.size(), 1u);
  EXPECT_EQ(OpenSaveFileDialog(), dialog);
  ClickOn(dialog->SaveButton());
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_EQ(g_chosen, (std::vector<std::string>{"bravo", "alpha"}));
  EXPECT_EQ(OpenSaveFileDialog(), nullptr);

  // A second dialog replaces the first without calling it back.
  ShowSaveFileDialog("Save Design", folder, "one", &SaveLikeTheGame);
  GUI_SaveFileDialog* second = ShowSaveFileDialog("Save Design", folder, "two", &SaveLikeTheGame);
  EXPECT_EQ(OpenSaveFileDialog(), second);
  EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
  EXPECT_EQ(g_chosen.size(), 2u);
}

TEST_F(FileDialogTest, TypedPathCharactersNeverReachTheName) {
  GUI_SaveFileDialog* dialog = ShowSaveFileDialog("Save Design", folder, "", &SaveLikeTheGame);
  GUI_TextEditWindow* field = dialog->NameField();
  for (unsigned char c : std::string("../..\\etc/x.y:z")) field->OnChar(c);
  EXPECT_EQ(field->GetText(), "etcxyz");
}

TEST_F(FileDialogTest, HostileNamesAreRefusedAndNothingIsWrittenOutsideTheFolder) {
  Touch("existing.txt");
  const std::set<std::string> before = AllFiles();
  struct Case {
    std::string name;
    const char* reason;
  };
  const Case cases[] = {
      {"", "FILESAVE_NAME_EMPTY"},
      {"   ", "FILESAVE_NAME_EMPTY"},
      {"../escape", "FILESAVE_NAME_SEPARATOR"},
      {"../../../tmp/escape", "FILESAVE_NAME_SEPARATOR"},
      {"sub/name", "FILESAVE_NAME_SEPARATOR"},
      {"back\\slash", "FILESAVE_NAME_SEPARATOR"},
      {"..", "FILESAVE_NAME_DOTS"},
      {".hidden", "FILESAVE_NAME_DOTS"},
      {"a..b", "FILESAVE_NAME_DOTS"},
      {"tab\there", "FILESAVE_NAME_CONTROL"},
      {"line\nfeed", "FILESAVE_NAME_CONTROL"},
      {std::string(300, 'x'), "FILESAVE_NAME_TOO_LONG"},
      {std::string(252, 'x'), "FILESAVE_NAME_TOO_LONG"},  // 256 with ".txt"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GUI_SaveFileDialog* dialog = ShowSaveFileDialog("Save Design", folder, c.name, &SaveLikeTheGame);
    ClickOn(dialog->SaveButton());
    EXPECT_TRUE(g_chosen.empty());
    EXPECT_EQ(OpenConfirmDialog(), nullptr);
    ASSERT_NE(OpenMessageBox(), nullptr);
    EXPECT_EQ(OpenMessageBox()->Text(), GetTranslation(c.reason));
    EXPECT_TRUE(HasTranslation(c.reason));
    EXPECT_EQ(OpenSaveFileDialog(), dialog);  // still open for another try
    // Save called directly refuses too.
    dialog->Save();
    EXPECT_TRUE(g_chosen.empty());
    delete OpenMessageBox();
  }
  EXPECT_EQ(AllFiles(), before);

  // The longest name the file system takes is saved, inside the folder.
  const std::string longest(251, 'x');
  ShowSaveFileDialog("Save Design", folder, longest, &SaveLikeTheGame);
  ClickOn(OpenSaveFileDialog()->SaveButton());
  EXPECT_EQ(g_chosen, (std::vector<std::string>{longest}));
  EXPECT_TRUE(Exists(longest + ".txt"));
  EXPECT_EQ(AllFiles().size(), before.size() + 1);
}

TEST_F(FileDialogTest, AnOverwriteAnswerCountsOnlyForTheNameItWasAskedAbout) {
  Touch("alpha.txt");
  GUI_SaveFileDialog* dialog = ShowSaveFileDialog("Save Design", folder, "alpha", &SaveLikeTheGame);
  ClickOn(dialog->SaveButton());
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  // The name changes behind the question (a caller sets it): YES must not save it unasked.
  dialog->NameField()->SetText("other");
  Touch("other.txt");
  ClickOn(OpenConfirmDialog()->YesButton());
  EXPECT_TRUE(g_chosen.empty());
  EXPECT_EQ(OpenSaveFileDialog(), dialog);
}

}  // namespace
