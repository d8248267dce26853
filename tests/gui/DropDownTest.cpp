// The drop-down list: opening and closing its column, picking entries, the modal column
// that closes when a click lands outside it, Escape, and file entries.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GuiFixture.h"
#include "gui/Buttons.h"
#include "gui/Dialog.h"
#include "gui/DropDownList.h"
#include "gui/WindowOrder.h"
#include "support/TestSupport.h"

namespace {

std::vector<int> g_dropDownCalls;
int Changed(int value) {
  g_dropDownCalls.push_back(value);
  return 0;
}
int g_otherClicks = 0;
int OtherButton(int) {
  ++g_otherClicks;
  return 0;
}

class DropDownTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_dropDownCalls.clear();
    g_otherClicks = 0;
    list = new GUI_DropDownList();
    list->SetRect(100, 100, 300, 120);
    list->changeCallback = &Changed;
    list->Open();
  }
  void TearDown() override {
    delete list;
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GuiTest::TearDown();
  }
  void ClickAt(float x, float y) {
    MoveMouse(x, y);
    GetWindowOrder().LeftClick();
  }
  GUI_DropDownList* list = nullptr;
};

TEST_F(DropDownTest, AnEmptyListOpensAndTheNextClickAnywhereClosesIt) {
  ClickAt(200, 110);
  ASSERT_TRUE(list->IsListOpen());
  GUI_DropDownListContainer* column = list->Container();
  EXPECT_EQ(GetWindowOrder().ModalWindows(), (std::vector<GUI_WindowBase*>{column}));
  EXPECT_TRUE(column->ChildWindows().empty());
  ClickAt(700, 600);
  EXPECT_FALSE(list->IsListOpen());
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  EXPECT_FALSE(GetWindowOrder().IsAnyPopupOpen());
  EXPECT_TRUE(g_dropDownCalls.empty());
}

TEST_F(DropDownTest, PickingAnEntryShowsItClosesAndCallsBackEvenWhenUnchanged) {
  for (const char* text : {"Light", "Medium", "Heavy"}) list->AddEntry(text);
  list->SetSelectedText("Medium");
  ClickAt(200, 110);
  ASSERT_TRUE(list->IsListOpen());
  const auto& entries = list->Container()->Entries();
  ASSERT_EQ(entries.size(), 3u);
  // Entries stack 20 high under the field, 10 in from its left.
  EXPECT_EQ(entries[0]->left, 110);
  EXPECT_EQ(entries[0]->top, 120);
  EXPECT_EQ(entries[2]->top, 160);
  EXPECT_EQ(entries[2]->bottom, 180);
  // The column ends at the top of the last entry, yet that entry still takes its click.
  EXPECT_EQ(list->Container()->bottom, 160);
  ClickAt(200, 170);
  EXPECT_EQ(list->SelectedText(), "Heavy");
  EXPECT_FALSE(list->IsListOpen());
  EXPECT_EQ(g_dropDownCalls, (std::vector<int>{0}));

  ClickAt(200, 110);
  ClickAt(200, 170);  // the choice already shown
  EXPECT_EQ(list->SelectedText(), "Heavy");
  EXPECT_EQ(g_dropDownCalls, (std::vector<int>{0, 0}));
  // Clicking the field of an open list closes it without a choice.
  ClickAt(200, 110);
  ClickAt(200, 110);
  EXPECT_FALSE(list->IsListOpen());
  EXPECT_EQ(g_dropDownCalls.size(), 2u);
}

TEST_F(DropDownTest, WhileOpenNoOtherWindowHearsClicks) {
  list->AddEntry("One");
  auto* other = new GUI_WindowBase();
  other->SetRect(500, 100, 700, 200);
  auto* button = new GUI_ButtonBase(&OtherButton, 0);
  button->SetRect(510, 110, 690, 140);
  other->AddButton(button);
  other->Open();
  ClickAt(600, 120);
  EXPECT_EQ(g_otherClicks, 1);

  ClickAt(200, 110);
  ASSERT_TRUE(list->IsListOpen());
  ClickAt(600, 120);  // closes the column, reaches nobody else
  EXPECT_EQ(g_otherClicks, 1);
  EXPECT_FALSE(list->IsListOpen());
  ClickAt(600, 120);
  EXPECT_EQ(g_otherClicks, 2);
}

TEST_F(DropDownTest, EscapeClosesTheColumnAndKeepsTheEntries) {
  list->AddEntry("Alpha");
  list->AddEntry("Bravo");
  ClickAt(200, 110);
  GUI_DropDownListContainer* column = list->Container();
  EXPECT_TRUE(GetWindowOrder().CloseTopmost());
  EXPECT_FALSE(list->IsListOpen());
  EXPECT_EQ(list->Container(), column);
  EXPECT_EQ(column->Entries().size(), 2u);
  EXPECT_FALSE(GetWindowOrder().IsAnyPopupOpen());
  ClickAt(200, 110);
  ClickAt(200, 130);
  EXPECT_EQ(list->SelectedText(), "Alpha");
}

TEST_F(DropDownTest, ClearingOrDeletingAnOpenListLeavesNothingBehind) {
  list->AddEntry("Alpha");
  list->SetSelectedText("Alpha");
  ClickAt(200, 110);
  list->ClearEntries();
  EXPECT_FALSE(list->IsListOpen());
  EXPECT_TRUE(list->Container()->Entries().empty());
  EXPECT_EQ(list->SelectedText(), "");
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());

  list->AddEntry("Bravo");
  ClickAt(200, 110);
  ASSERT_TRUE(list->IsListOpen());
  delete list;
  list = nullptr;
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
  ClickAt(200, 130);
}

TEST_F(DropDownTest, AColumnDeletedFromOutsideIsForgotten) {
  list->AddEntry("Alpha");
  ClickAt(200, 110);
  // A sweep that deletes every open window takes the column first.
  delete GetWindowOrder().OpenWindows().back();
  EXPECT_EQ(list->Container(), nullptr);
  EXPECT_FALSE(list->IsListOpen());
  ClickAt(200, 110);  // nothing to open any more, and nothing dangles
  EXPECT_FALSE(list->IsListOpen());
}

TEST_F(DropDownTest, AListInsideADialogClosesWithIt) {
  auto* dialog = new GUI_Dialog(true);
  dialog->SetRect(50, 50, 450, 350);
  auto* inner = new GUI_DropDownList();
  inner->SetRect(100, 200, 300, 220);
  inner->AddEntry("One");
  dialog->AddChild(inner);
  dialog->SetModal(true);
  ClickAt(200, 210);
  ASSERT_TRUE(inner->IsListOpen());
  // The column, opened last, takes the click; the dialog stays.
  ClickAt(200, 230);
  EXPECT_EQ(inner->SelectedText(), "One");
  ClickAt(200, 210);
  ASSERT_TRUE(inner->IsListOpen());
  delete dialog;
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  EXPECT_FALSE(GetWindowOrder().IsAnyPopupOpen());
}

TEST_F(DropDownTest, MatchingFilesBecomeEntriesInNameOrderWithoutFolders) {
  const std::string folder = zt_test::UserDir() + "/dropdown_files";
  std::filesystem::create_directories(folder + "/zeta.map");
  for (const char* name : {"delta.map", "alpha.map", "notes.txt", "charlie.map"})
    std::ofstream(folder + "/" + name) << "x";
  list->AddMatchingFiles(folder + "/*.map");
  std::vector<std::string> texts;
  for (const GUI_DropDownListEntry* e : list->Container()->Entries()) texts.push_back(e->Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"alpha.map", "charlie.map", "delta.map"}));
  list->AddMatchingFiles(folder + "/missing/*");
  EXPECT_EQ(list->Container()->Entries().size(), 3u);
}

}  // namespace
