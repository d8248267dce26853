// Tutorial pages and their scripts on the null device: each page shows once per player,
// the seen list survives a restart and the reset brings every page back; every script
// command on a small page file; typos, bad rows and an unwritable seen file are logged
// and skipped; highlights never outlive the control they mark.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "MenuFixture.h"
#include "app/CInput.h"
#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/MainMenu.h"
#include "app/OptionsScreen.h"
#include "app/Tutorial.h"
#include "app/TutorialScript.h"
#include "battle/Battle.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "gui/Buttons.h"
#include "gui/Dialog.h"
#include "gui/WindowOrder.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

using menu_test::MenuTest;

using zt_test::ReadText;

// Pages: a plain one, a modal one whose open script blocks buttons and waits for a
// button, a chain, a row with too few cells and one that a typo breaks.
const char* const kPages =
    "Test pages\n"
    "#,FIRST,First Page,10,20,1,0,,,Plain text\n"
    "#,MODAL,Modal Page,-1,-1,1,1,LaunchTutorial(AFTER),BlockButtons();WaitFor(GO),\"Wait, then press GO\"\n"
    "#,AFTER,After,-20,-1,0,0,,,Shown by the close script\n"
    "#,BROKEN,Too few cells\n"
    "#,TYPO,Typo,0,0,1,0,,Hilight(X);BlockButtons(),A typo in the open script\n";

class TutorialTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    GetGame().UserFolder[USERFOLDER_ROOT] = zt_test::UserRoot();
    std::filesystem::create_directories(zt_test::UserRoot());
    pageFile = zt_test::UserDir() + "/pages.csv";
    std::ofstream(pageFile) << kPages;
    GetTutorial().SetPageFile(pageFile);
    GetTutorial().Load();
  }
  void TearDown() override {
    GUI_TutorialWindow::CloseAll();
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GetWindowOrder().FlushDeleted();
    MenuTest::TearDown();
  }
  std::string ErrorLog() const { return ReadText(GetLogFolder() + "/errors.txt"); }
  GUI_TutorialWindow* Front() const {
    auto& open = GUI_TutorialWindow::OpenWindows();
    return open.empty() ? nullptr : open.front();
  }
  std::string pageFile;
};

TEST_F(TutorialTest, PagesLoadSkippingBadRowsAndPlaceThemselves) {
  GUI_Tutorial& t = GetTutorial();
  ASSERT_EQ(t.PendingPages().size(), 4u);
  EXPECT_NE(ErrorLog().find("row 4 is malformed"), std::string::npos);
  EXPECT_EQ(t.FindPage("MODAL")->text, "Wait, then press GO") << "a quoted text keeps its comma";

  ASSERT_TRUE(t.Trigger("FIRST"));
  GUI_TutorialWindow* w = Front();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->left, 10);
  EXPECT_EQ(w->top, 20);
  EXPECT_EQ(w->width, 400);
  EXPECT_EQ(w->height, 80 + 87) << "a short text still gets the minimum height";
  ASSERT_NE(w->OKButton(), nullptr);
  EXPECT_EQ(w->OKButton()->GetName(), "tutorialbutton");
  EXPECT_EQ(FindElement("FIRST"), w) << "scripts find the window by its page name";

  // x = -1 centres; x = -20 leaves 20 pixels to the right edge.
  EXPECT_FLOAT_EQ(GUI_TutorialWindow::PlaceX(-1, 1024), 312.0f);
  EXPECT_FLOAT_EQ(GUI_TutorialWindow::PlaceX(-20, 1024) + GUI_TutorialWindow::kWidth, 1004.0f);
  EXPECT_FLOAT_EQ(GUI_TutorialWindow::PlaceY(-1, 200, 768), 284.0f);
  EXPECT_FLOAT_EQ(GUI_TutorialWindow::PlaceY(-30, 200, 768), 538.0f);
}

TEST_F(TutorialTest, EachPageShowsOnceAndTheSeenListSurvivesARestart) {
  GUI_Tutorial& t = GetTutorial();
  EXPECT_TRUE(t.Trigger("FIRST"));
  EXPECT_FALSE(t.Trigger("FIRST")) << "a seen page never shows again";
  EXPECT_FALSE(t.Trigger("NOPAGE"));
  EXPECT_TRUE(t.MarkSeen("AFTER"));
  EXPECT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u) << "MarkSeen shows nothing";
  EXPECT_EQ(ReadText(GUI_Tutorial::SeenFilePath()), "[seen]\nFIRST\nAFTER\n");

  // The next start reads the list back; one-letter names are ignored.
  std::ofstream(GUI_Tutorial::SeenFilePath(), std::ios::app) << "X\n";
  GUI_TutorialWindow::CloseAll();
  t.Load();
  EXPECT_TRUE(t.IsSeen("FIRST"));
  EXPECT_TRUE(t.IsSeen("AFTER"));
  EXPECT_FALSE(t.IsSeen("MODAL"));
  EXPECT_FALSE(t.Trigger("FIRST"));
  EXPECT_EQ(t.FindPage("FIRST"), nullptr);
}

TEST_F(TutorialTest, TheOptionsResetButtonShowsEveryPageAgain) {
  GUI_Tutorial& t = GetTutorial();
  ASSERT_TRUE(t.Trigger("FIRST"));
  ASSERT_TRUE(std::filesystem::exists(GUI_Tutorial::SeenFilePath()));
  GUI_TutorialWindow::CloseAll();

  GUI_Options::OnResetTutorial(0);
  EXPECT_FALSE(std::filesystem::exists(GUI_Tutorial::SeenFilePath()));
  EXPECT_FALSE(t.IsSeen("FIRST"));
  EXPECT_TRUE(t.Trigger("FIRST")) << "the page shows again after the reset";
}

TEST_F(TutorialTest, AnUnwritableSeenFileIsLoggedAndThePageStillCounts) {
  // A folder where the file should be: the save cannot replace it.
  std::filesystem::create_directories(GUI_Tutorial::SeenFilePath());
  GUI_Tutorial& t = GetTutorial();
  EXPECT_TRUE(t.Trigger("FIRST"));
  EXPECT_TRUE(t.IsSeen("FIRST"));
  EXPECT_FALSE(t.Trigger("FIRST"));
  EXPECT_NE(ErrorLog().find("Cannot write tutorial seen file"), std::string::npos);
}

TEST_F(TutorialTest, ModalPageBlocksButtonsWaitsForItsButtonAndChainsOnClose) {
  GUI_Tutorial& t = GetTutorial();
  auto* go = new GUI_ButtonText(nullptr, "GO", 0);
  go->SetName("GO");
  GUIButtonList other;
  other.AddButton(go);

  ASSERT_TRUE(t.Trigger("MODAL"));
  GUI_TutorialWindow* modal = Front();
  ASSERT_NE(modal, nullptr);
  EXPECT_TRUE(modal->IsModal());
  EXPECT_TRUE(t.ButtonsBlocked());
  EXPECT_EQ(t.AwaitedButton(), "GO");
  EXPECT_FALSE(t.IsButtonAllowed(go));
  EXPECT_TRUE(t.IsButtonAllowed(modal->OKButton())) << "the OK button works while buttons are blocked";
  EXPECT_TRUE(modal->LeftClick(1.0f, 1.0f)) << "nothing behind a modal page takes a click";

  // The awaited button closes the page; its close script chains the next page, and the
  // restrictions end with the page.
  t.AllowButtons();
  go->Click();
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  EXPECT_EQ(Front()->GetName(), "AFTER");
  EXPECT_FALSE(t.ButtonsBlocked());
  EXPECT_TRUE(t.AwaitedButton().empty());
  EXPECT_EQ(Front()->OKButton(), nullptr) << "AFTER has no OK button";
}

TEST_F(TutorialTest, APageOverAModalDialogClosesWithItsOwnOKAndDoesNotComeBack) {
  // The map designer's save dialog is modal and triggers its page as it opens.
  auto* dialog = new GUI_Dialog(true);
  dialog->SetRect(100, 100, 700, 600);
  dialog->Open();
  dialog->SetModal(true);
  ASSERT_TRUE(GetTutorial().Trigger("FIRST"));
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  GUI_TutorialWindow* page = GUI_TutorialWindow::OpenWindows().front();
  ASSERT_NE(page->OKButton(), nullptr);
  // The player presses the page's OK, the way the frame routes a click.
  const GUI_ButtonText* ok = page->OKButton();
  GUI_InputManager& in = GetInputManager();
  in.x = (ok->left + ok->right) / 2;
  in.y = (ok->top + ok->bottom) / 2;
  GetWindowOrder().Process();
  GetWindowOrder().LeftClick();
  GetWindowOrder().FlushDeleted();
  EXPECT_TRUE(GUI_TutorialWindow::OpenWindows().empty()) << "the dialog took the page's click";
  // The dialog closes: no page is left to show again.
  dialog->SetModal(false);
  dialog->Close();
  delete dialog;
  GetWindowOrder().FlushDeleted();
  EXPECT_TRUE(GUI_TutorialWindow::OpenWindows().empty());
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
}

TEST_F(TutorialTest, ShowingAPageClosesOpenPagesWithoutTheirCloseScripts) {
  GUI_Tutorial& t = GetTutorial();
  ASSERT_TRUE(t.Trigger("MODAL"));
  ASSERT_TRUE(t.Trigger("FIRST"));
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  EXPECT_EQ(Front()->GetName(), "FIRST");
  EXPECT_FALSE(t.IsSeen("AFTER")) << "MODAL's close script must not run";
  EXPECT_FALSE(t.ButtonsBlocked()) << "closing MODAL lifted its block";

  // Only the OK button runs the close script.
  GUI_TutorialWindow::CloseAll();
  t.Reset();
  ASSERT_TRUE(t.Trigger("MODAL"));
  t.AllowButtons();
  Front()->OKButton()->Click();
  ASSERT_FALSE(GUI_TutorialWindow::OpenWindows().empty());
  EXPECT_EQ(Front()->GetName(), "AFTER");
}

TEST_F(TutorialTest, AnUnknownCommandIsLoggedAndTheRestOfTheScriptRuns) {
  ASSERT_TRUE(GetTutorial().Trigger("TYPO"));
  EXPECT_NE(ErrorLog().find("Unknown scripted function [Hilight]"), std::string::npos);
  EXPECT_TRUE(GetTutorial().ButtonsBlocked()) << "the instruction after the typo still ran";
}

// ---- the script language ----------------------------------------------------

TEST(TutorialScriptParse, NameAndArgumentsAsWritten) {
  struct Case {
    const char* text;
    const char* name;
    std::vector<std::string> args;
  } cases[] = {
      {"A(x,y)", "A", {"x", "y"}},
      {"B()", "B", {}},
      {"C( x )", "C", {" x "}},
      {"D(f(1),2)", "D", {"f(1)", "2"}},  // the last ")" closes the list
      {"E", "E", {}},
      {"F(x) trailing", "F", {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SimScript s;
    s.Parse(c.text);
    EXPECT_EQ(s.functionName, c.name);
    EXPECT_EQ(s.arguments, c.args);
    EXPECT_EQ(s.Argument(5), "") << "a missing argument reads as empty";
  }
}

class ScriptCommandTest : public TutorialTest {};

TEST_F(ScriptCommandTest, EveryCommandDoesItsJob) {
  GUI_Tutorial& t = GetTutorial();
  GUIButtonList owner;
  auto* a1 = new GUI_ButtonText(nullptr, "A", 0);
  auto* a2 = new GUI_ButtonText(nullptr, "A", 0);
  auto* b = new GUI_ButtonText(nullptr, "B", 0);
  a1->SetName("ALLOWED");
  a2->SetName("ALLOWED");
  b->SetName("OTHER");
  a1->SetRect(10, 10, 110, 40);
  b->SetRect(200, 10, 300, 40);
  for (GUI_ButtonBase* x : {a1, a2, b}) owner.AddButton(x);
  TutorialHighlighter& h = GetTutorialHighlighter();

  RunTutorialScript("Highlight(ALLOWED);Highlight(OTHER);Highlight(NOBODY);Highlight()");
  EXPECT_EQ(h.MarkerCount(), 2u);
  EXPECT_TRUE(h.IsActive());
  EXPECT_EQ(h.MarkerAt(0).edges[0].width, 100.0f);
  RunTutorialScript("CancelHighlight()");
  EXPECT_EQ(h.MarkerCount(), 0u);
  EXPECT_FALSE(h.IsActive());

  RunTutorialScript("BlockButtons()");
  EXPECT_TRUE(t.ButtonsBlocked());
  EXPECT_FALSE(t.IsButtonAllowed(a1));
  RunTutorialScript("AllowButtons()");
  EXPECT_FALSE(t.ButtonsBlocked());
  EXPECT_TRUE(t.IsButtonAllowed(b));

  RunTutorialScript("AllowButton(ALLOWED)");
  EXPECT_TRUE(t.IsButtonAllowed(a1));
  EXPECT_TRUE(t.IsButtonAllowed(a2)) << "every element of the name is allowed";
  EXPECT_FALSE(t.IsButtonAllowed(b));
  RunTutorialScript("AllowButtons()");

  RunTutorialScript("WaitFor(OTHER)");
  EXPECT_EQ(t.AwaitedButton(), "OTHER");

  RunTutorialScript("LaunchTutorial(FIRST)");
  EXPECT_TRUE(t.IsSeen("FIRST"));
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);

  // CloseWindow: the page leaves at once (its restrictions with it) without its close
  // script, and is deleted after the frame's processing.
  RunTutorialScript("BlockButtons();CloseWindow(FIRST)");
  EXPECT_TRUE(GUI_TutorialWindow::OpenWindows().empty());
  EXPECT_FALSE(t.ButtonsBlocked());
  GetWindowOrder().Process();
  EXPECT_EQ(FindElement("FIRST"), nullptr);

  // A button is not a window: its owner keeps it.
  RunTutorialScript("CloseWindow(OTHER)");
  GetWindowOrder().Process();
  EXPECT_EQ(FindElement("OTHER"), b);

  // A free-standing dialog closes.
  auto* dialog = new GUI_Dialog(false);
  dialog->SetName("SOMEDIALOG");
  RunTutorialScript("CloseWindow(SOMEDIALOG)");
  GetWindowOrder().Process();
  EXPECT_EQ(FindElement("SOMEDIALOG"), nullptr);

  // Pause and resume only act in the battle screen.
  GetGame().CurrentModeNumber = MODE_MAIN_MENU;
  GetBattle().state = BATTLE_RUNNING;
  RunTutorialScript("PauseBattle()");
  EXPECT_FALSE(GetBattle().paused) << "no pause outside the battle screen";
  GetGame().CurrentModeNumber = MODE_BATTLE_SCREEN;
  RunTutorialScript("PauseBattle()");
  EXPECT_TRUE(GetBattle().paused);
  RunTutorialScript("ResumeBattle()");
  EXPECT_FALSE(GetBattle().paused);
  GetGame().CurrentModeNumber = MODE_MAIN_MENU;

  // Unknown names are logged, and "highlight" is not "Highlight".
  RunTutorialScript("highlight(ALLOWED);Highlight(ALLOWED)");
  EXPECT_NE(ErrorLog().find("Unknown scripted function [highlight]"), std::string::npos);
  EXPECT_EQ(h.MarkerCount(), 1u);
}

TEST_F(ScriptCommandTest, AHighlightNeverPointsAtADeletedControl) {
  auto* dialog = new GUI_Dialog(false);
  dialog->SetRect(100, 100, 300, 200);
  auto* button = new GUI_ButtonText(nullptr, "X", 0);
  button->SetRect(120, 150, 280, 180);
  button->SetName("DOOMED");
  dialog->AddButton(button);
  RunTutorialScript("Highlight(DOOMED)");
  TutorialHighlighter& h = GetTutorialHighlighter();
  ASSERT_EQ(h.MarkerCount(), 1u);
  EXPECT_EQ(h.FirstElement(), button);

  delete dialog;  // the button goes with its dialog
  device->ClearRecord();
  h.UpdateAndDraw();
  EXPECT_EQ(h.MarkerCount(), 0u);
  EXPECT_EQ(h.FirstElement(), nullptr);
  EXPECT_TRUE(device->draws.empty());
}

TEST_F(ScriptCommandTest, TheModalOverlayLeavesTheHighlightedControlUncovered) {
  GUIButtonList owner;
  auto* target = new GUI_ButtonText(nullptr, "T", 0);
  target->SetRect(100, 600, 300, 640);
  target->SetName("TARGET");
  owner.AddButton(target);
  ASSERT_TRUE(GetTutorial().Trigger("MODAL"));
  RunTutorialScript("Highlight(TARGET)");
  device->ClearRecord();
  Front()->Draw();
  int overlayQuads = 0;
  for (const auto& d : device->draws) {
    // The overlay's four pieces are untextured quads in the overlay colour.
    if (d.vertices.size() >= 4 * 28) {
      uint32_t colour;
      std::memcpy(&colour, d.vertices.data() + 16, 4);
      if (colour == GUI_TutorialWindow::kOverlayColour) ++overlayQuads;
    }
  }
  EXPECT_EQ(overlayQuads, 4);
  EXPECT_TRUE(GetCInput().pollFlag) << "buttons stop hovering under a modal page";
}

// A reminder may be shown on another screen than the control it points at (the main menu's
// Online button is hidden while the battle browser shows): its frame must not outline the
// empty spot where that control would be, and must come back when the control does.
TEST_F(ScriptCommandTest, AHighlightIsDrawnOnlyWhileItsControlIsOnScreen) {
  GetGame().SetGameMode(MODE_MAIN_MENU);
  auto* menu = dynamic_cast<GUI_MainMenu*>(GetGame().CurrentMode);
  ASSERT_NE(menu, nullptr);
  auto* dialog = new GUI_Dialog(false);
  dialog->SetRect(100, 100, 400, 300);
  auto* inDialog = new GUI_ButtonText(nullptr, "X", 0);
  inDialog->SetRect(120, 150, 280, 180);
  inDialog->SetName("IN_DIALOG");
  dialog->AddButton(inDialog);
  auto* child = new GUI_WindowBase();
  child->SetRect(120, 200, 380, 280);
  child->SetName("CHILD_WINDOW");
  dialog->AddChild(child);
  TutorialHighlighter& h = GetTutorialHighlighter();
  auto drawsFor = [&](const char* name) {
    h.CancelAll();
    RunTutorialScript(std::string("Highlight(") + name + ")");
    EXPECT_EQ(h.MarkerCount(), 1u) << name;
    device->ClearRecord();
    h.UpdateAndDraw();
    return device->draws.size();
  };
  struct Case {
    const char* name;
    const char* target;
    std::function<void()> change;
    bool drawn;
  } cases[] = {
      {"menu button on the menu", "ONLINEBUTTON", [] {}, true},
      {"menu button while another screen shows", "ONLINEBUTTON", [] { GetGame().CurrentMode = nullptr; },
       false},
      {"button of a shown dialog", "IN_DIALOG", [] {}, true},
      {"hidden button", "IN_DIALOG", [&] { inDialog->visible = false; }, false},
      {"button of a hidden dialog", "IN_DIALOG", [&] { dialog->visible = false; }, false},
      {"button of a closed dialog", "IN_DIALOG", [&] { dialog->Close(); }, false},
      {"child of a shown dialog", "CHILD_WINDOW", [] {}, true},
      {"child of a hidden dialog", "CHILD_WINDOW", [&] { dialog->visible = false; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetGame().CurrentMode = menu;
    dialog->visible = true;
    inDialog->visible = true;
    dialog->Open();
    c.change();
    EXPECT_EQ(drawsFor(c.target) > 0, c.drawn);
  }
  GetGame().CurrentMode = menu;
  h.CancelAll();
  delete dialog;
}

// Pages, reminders and their restrictions opened on the browser stay behind when a battle
// loads: the battle opens its own pages, and none of the browser's hears the battle's clicks.
TEST_F(ScriptCommandTest, ABattleLoadClosesThePagesOfTheScreenLeftBehind) {
  GUI_Tutorial& t = GetTutorial();
  ASSERT_TRUE(t.Trigger("MODAL"));  // blocks buttons and waits for GO
  GUIButtonList owner;
  auto* b = new GUI_ButtonText(nullptr, "B", 0);
  b->SetName("MARKED");
  owner.AddButton(b);
  RunTutorialScript("Highlight(MARKED)");
  ASSERT_TRUE(t.ButtonsBlocked());
  ASSERT_EQ(t.AwaitedButton(), "GO");
  GUI_LoadingScreen* loading = GetLoadingScreen();
  ASSERT_NE(loading, nullptr);
  loading->BeginBattleLoad();
  EXPECT_TRUE(GUI_TutorialWindow::OpenWindows().empty());
  EXPECT_FALSE(t.ButtonsBlocked());
  EXPECT_EQ(t.AwaitedButton(), "");
  EXPECT_EQ(GetTutorialHighlighter().MarkerCount(), 0u);
  EXPECT_FALSE(t.Trigger("MODAL")) << "the closed page counts as seen";
  EXPECT_TRUE(t.Trigger("FIRST")) << "pages the battle opens still show";
}

TEST(ShippedTutorial, EveryPageParsesAndItsScriptsUseKnownCommandsAndPages) {
  GUI_Tutorial& t = GetTutorial();
  t.Load();
  const auto pages = t.PendingPages();
  ASSERT_GE(pages.size(), 15u);
  for (const char* name : {"OPTIONS", "BATTLE_DEFEND1", "BATTLE_SUPPLYDROP", "BATTLE_ATTACK_OPTIONS",
                           "UNIT_DESIGN1", "reminder_CREATEUNIT"})
    EXPECT_NE(t.FindPage(name), nullptr) << name;
  const std::set<std::string> known = {"Highlight",    "CancelHighlight", "LaunchTutorial", "BlockButtons",
                                       "AllowButtons", "WaitFor",         "AllowButton",    "CloseWindow",
                                       "PauseBattle",  "ResumeBattle"};
  for (const TutorialPage* p : pages) {
    SCOPED_TRACE(p->name);
    EXPECT_FALSE(p->title.empty());
    EXPECT_GT(p->text.size(), 40u);
    for (const std::string& script : {p->openScript, p->closeScript}) {
      std::stringstream pieces(script);
      std::string piece;
      while (std::getline(pieces, piece, ';')) {
        if (piece.empty()) continue;
        SimScript s;
        s.Parse(piece);
        EXPECT_TRUE(known.count(s.functionName)) << piece;
        if (s.functionName == "LaunchTutorial") {
          EXPECT_NE(t.FindPage(s.Argument(0)), nullptr) << piece;
        }
      }
    }
  }
}

}  // namespace
