// Dialogs: one open instance per class, the confirm and message flows, the please-wait
// window, and dragging by the title bar within the screen.
#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "GuiFixture.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/ConfirmDialog.h"
#include "gui/Cursor.h"
#include "gui/MessageBox.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"

namespace {

std::vector<std::string> g_answers;

class DialogTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_answers.clear();
  }
  void TearDown() override {
    SetClockSource(nullptr);
    SetPleaseWaitCancelHandler(nullptr);
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GuiTest::TearDown();
  }
  void ClickOn(const GUI_BaseElement* e) {
    MoveMouse((e->left + e->right) / 2.0f, (e->top + e->bottom) / 2.0f);
    GetWindowOrder().LeftClick();
  }
};

int AnswerA(int) {
  g_answers.push_back("A");
  return 0;
}
int AnswerB(int) {
  g_answers.push_back("B");
  return 0;
}
// Asks a second question from the first one's YES.
int AskAgain(int) {
  g_answers.push_back("again");
  ShowConfirmDialog("TITLE2", "TEXT2", &AnswerB);
  return 0;
}

TEST_F(DialogTest, OneConfirmAtATimeAndOnlyYesCallsBack) {
  GUI_ConfirmDialog* first = ShowConfirmDialog("T", "X", &AnswerA);
  EXPECT_EQ(OpenConfirmDialog(), first);
  GUI_ConfirmDialog* second = ShowConfirmDialog("T", "X", &AnswerB);
  EXPECT_EQ(OpenConfirmDialog(), second);
  EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
  EXPECT_EQ(GetWindowOrder().ModalWindows(), (std::vector<GUI_WindowBase*>{second}));

  // NO on the left closes and calls nothing.
  EXPECT_LT(second->NoButton()->left, second->YesButton()->left);
  ClickOn(second->NoButton());
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  EXPECT_TRUE(g_answers.empty());

  // YES calls the callback once the dialog is gone; the callback may ask again.
  GUI_ConfirmDialog* third = ShowConfirmDialog("T", "X", &AskAgain);
  ClickOn(third->YesButton());
  EXPECT_EQ(g_answers, (std::vector<std::string>{"again"}));
  GUI_ConfirmDialog* fourth = OpenConfirmDialog();
  ASSERT_NE(fourth, nullptr);
  EXPECT_EQ(GetWindowOrder().OpenWindows(), (std::vector<GUI_WindowBase*>{fourth}));
  ClickOn(fourth->YesButton());
  EXPECT_EQ(g_answers, (std::vector<std::string>{"again", "B"}));
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
}

TEST_F(DialogTest, ConfirmTakesEveryClickWhileOpen) {
  GUI_ConfirmDialog* dialog = ShowConfirmDialog("T", "X", &AnswerA);
  MoveMouse(2, 2);  // far outside the dialog
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(OpenConfirmDialog(), dialog);
  EXPECT_TRUE(g_answers.empty());
}

TEST_F(DialogTest, MessageStylesDecideTheButtons) {
  struct Case {
    int style;
    bool closeButton;
    bool okButton;
    float extraHeight;
  } cases[] = {{GUI_Message::kStyleClose, true, false, 0.0f}, {GUI_Message::kStyleOK, false, true, 25.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    GUI_Message* box = ShowMessage("T", "Short text.", c.style, &AnswerA);
    EXPECT_EQ(box->CloseButton() != nullptr, c.closeButton);
    EXPECT_EQ(box->OKButton() != nullptr, c.okButton);
    EXPECT_EQ(box->Buttons().size(), 1u);
    const float wrapped = GetTextRenderer().GetWrappedHeight("Short text.", 356.0f);
    EXPECT_EQ(box->height, static_cast<int>(wrapped + 80.0f + c.extraHeight));
    EXPECT_EQ(box->width, 400);
    EXPECT_TRUE(box->IsModal());
  }
  // The second message replaced the first.
  EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
}

int FollowUpMessage(int) {
  g_answers.push_back("follow-up");
  ShowMessage("T2", "Second report.", GUI_Message::kStyleOK, &AnswerB);
  return 0;
}

// OK calls back, then closes the box it was pressed in, and only that box.
TEST_F(DialogTest, MessageOkClosesOnlyItsOwnBox) {
  struct Case {
    const char* name;
    GUI_ButtonCallback callback;
    std::vector<std::string> answers;
    const char* openText;  // the message left open afterwards, or null
  } cases[] = {{"plain answer", &AnswerA, {"A"}, nullptr},
               {"no callback still closes", nullptr, {}, nullptr},
               {"the answer opens the next message", &FollowUpMessage, {"follow-up"}, "Second report."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_answers.clear();
    GUI_Message* box = ShowMessage("T", "First report.", GUI_Message::kStyleOK, c.callback);
    ClickOn(box->OKButton());
    EXPECT_EQ(g_answers, c.answers);
    if (c.openText) {
      ASSERT_NE(OpenMessageBox(), nullptr);
      EXPECT_EQ(OpenMessageBox()->Text(), c.openText);
      EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
      delete OpenMessageBox();
    } else {
      EXPECT_EQ(OpenMessageBox(), nullptr);
    }
    EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
    EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  }
}

// Dragging a dialog by its title bar: the window is carried by the cursor, stays inside
// the screen, and lands where the mouse lets go.
struct DragCase {
  const char* name;
  float toX, toY;  // where the mouse moves while the button is held
  int expectLeft, expectTop;
};

TEST_F(DialogTest, DragByTheTitleBarStaysOnScreen) {
  const DragCase cases[] = {
      {"free move", 300, 250, 250, 270},
      {"against the left and top edges", -500, -500, 0, 0},
      {"against the right and bottom edges", 5000, 5000, kScreenW - 400, kScreenH - 200},
  };
  for (const DragCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* dialog = new GUI_Dialog(false);
    dialog->SetRect(100, 100, 500, 300);
    dialog->SetTitle("Drag me");
    // Grab the title bar (it spans 37 pixels above the top edge to 5 below it).
    MoveMouse(150, 80);
    SetButton(true);
    NewFrame();
    GetWindowOrder().Process();
    ASSERT_TRUE(dialog->IsDragging());
    EXPECT_EQ(dialog->ParentWindow(), &GetGUICursor());
    MoveMouse(c.toX, c.toY);
    NewFrame();
    GetWindowOrder().Process();
    EXPECT_EQ(dialog->left, c.expectLeft);
    EXPECT_EQ(dialog->top, c.expectTop);
    EXPECT_EQ(dialog->right - dialog->left, 400);
    // Released: dropped, no parent, drawn by the window order again.
    SetButton(false);
    GetGUICursor().Draw();
    EXPECT_FALSE(dialog->IsDragging());
    EXPECT_EQ(dialog->ParentWindow(), nullptr);
    EXPECT_FALSE(GetGUICursor().IsCarrying());
    delete dialog;
  }
}

TEST_F(DialogTest, ABodyClickNeverMovesTheDialogAndButtonsTravelWithIt) {
  auto* dialog = new GUI_Dialog(false);
  dialog->SetRect(100, 100, 500, 300);
  dialog->SetTitle("Title");
  auto* button = new GUI_ButtonText(nullptr, "CONFIRM_YES", 0);
  button->SetRect(120, 250, 220, 280);
  dialog->AddButton(button);

  MoveMouse(300, 200);  // the body
  SetButton(true);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_FALSE(dialog->IsDragging());
  SetButton(false);

  MoveMouse(300, 80);  // the title bar
  SetButton(true);
  NewFrame();
  GetWindowOrder().Process();
  MoveMouse(350, 130);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_EQ(dialog->left, 150);
  EXPECT_EQ(button->left, 170);
  EXPECT_EQ(button->top, 300);
  SetButton(false);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_FALSE(dialog->IsDragging());
  EXPECT_FALSE(GetGUICursor().IsCarrying());
}

TEST_F(DialogTest, AWindowWiderThanTheScreenEndsAtANegativeLeft) {
  auto* dialog = new GUI_Dialog(false);
  dialog->SetRect(0, 100, kScreenW + 200, 300);
  dialog->SetTitle("Wide");
  MoveMouse(100, 80);
  SetButton(true);
  NewFrame();
  GetWindowOrder().Process();
  MoveMouse(0, 80);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_EQ(dialog->left, -200);
  SetButton(false);
  GetGUICursor().Draw();
}

// The please-wait lamp moves every 30 ms of the fake clock and wraps after 36 lamps.
std::atomic<int64_t> g_nowNs{0};
int64_t FakeNow() { return g_nowNs.load(); }

TEST_F(DialogTest, PleaseWaitLampRunsThroughAllPositions) {
  g_nowNs = 1'000'000'000;
  SetClockSource(&FakeNow);
  GUI_PleaseWait* wait = ShowPleaseWait();
  ASSERT_EQ(OpenPleaseWait(), wait);
  EXPECT_EQ(wait->CurrentLamp(), 0);
  wait->Animate();
  EXPECT_EQ(wait->CurrentLamp(), 0);  // no time has passed
  std::vector<int> seen;
  for (int i = 0; i < GUI_PleaseWait::kLampCount + 2; ++i) {
    g_nowNs += 31'000'000;  // a little over one step
    wait->Animate();
    seen.push_back(wait->CurrentLamp());
  }
  EXPECT_EQ(seen.front(), 1);
  EXPECT_EQ(seen[34], 35);
  EXPECT_EQ(seen[35], 0);  // wrapped
  EXPECT_EQ(seen[36], 1);
  // The lamps lie side by side inside the lamp area.
  for (int i = 0; i < GUI_PleaseWait::kLampCount; ++i) {
    EXPECT_GE(wait->Lamp(i).left, wait->LampArea().left);
    EXPECT_LE(wait->Lamp(i).right, wait->LampArea().right);
    if (i > 0) {
      EXPECT_GT(wait->Lamp(i).left, wait->Lamp(i - 1).left);
    }
  }
  // The looping Morse sound plays while the window is open and stops with it.
  const int handle = wait->SoundHandle();
  ASSERT_NE(handle, -1);
  EXPECT_TRUE(sounds->sounds[handle].looped);
  EXPECT_EQ(sounds->sounds[handle].file, "data/sounds/morse.ogg");
  ClosePleaseWait();
  EXPECT_TRUE(sounds->sounds[handle].stopped);
  EXPECT_EQ(OpenPleaseWait(), nullptr);
}

TEST_F(DialogTest, PleaseWaitTextFromAWorkerShowsAtTheNextDraw) {
  GUI_PleaseWait* wait = ShowPleaseWait();
  std::thread worker([] {
    for (int i = 0; i < 200; ++i) GUI_PleaseWait::SetText("Downloading " + std::to_string(i));
  });
  for (int i = 0; i < 50; ++i) wait->Draw();
  worker.join();
  wait->Draw();
  EXPECT_EQ(wait->Title(), "Downloading 199");
  ClosePleaseWait();
  // With no window open, a late worker's text goes nowhere.
  GUI_PleaseWait::SetText("late");
  EXPECT_EQ(OpenPleaseWait(), nullptr);
}

// While the please-wait window is open the frame's cursor is the wait cursor, except
// over its Cancel button; once it closes the arrow is back.
TEST_F(DialogTest, PleaseWaitShowsTheWaitCursorButTheHandOverCancel) {
  GUI_PleaseWait* wait = ShowPleaseWait();
  auto frame = [] {
    GetInputManager().MouseClaimed = false;  // as each frame's input poll leaves it
    GUI_Cursor::ResetShape();
    GetWindowOrder().Process();
    return GUI_Cursor::Shape();
  };
  MoveMouse(static_cast<float>(wait->left) + 5.0f, static_cast<float>(wait->top) + 5.0f);
  EXPECT_EQ(frame(), GUI_Cursor::kWait);
  MoveMouse(static_cast<float>(wait->right) + 50.0f, static_cast<float>(wait->bottom) + 50.0f);
  EXPECT_EQ(frame(), GUI_Cursor::kWait) << "anywhere on the screen";
  const GUI_BaseElement* cancel = wait->CancelButton();
  MoveMouse((cancel->left + cancel->right) / 2.0f, (cancel->top + cancel->bottom) / 2.0f);
  EXPECT_EQ(frame(), GUI_Cursor::kHand);
  delete wait;
  EXPECT_EQ(frame(), GUI_Cursor::kArrow);
}

TEST_F(DialogTest, PleaseWaitCancelStopsTheWorkerAndCloses) {
  static int s_cancels = 0;
  s_cancels = 0;
  SetPleaseWaitCancelHandler([] { ++s_cancels; });
  GUI_PleaseWait* first = ShowPleaseWait();
  // A second window while one is open replaces it (and is reported as a failed check).
  GUI_PleaseWait* second = ShowPleaseWait();
  EXPECT_EQ(OpenPleaseWait(), second);
  EXPECT_EQ(GetWindowOrder().OpenWindows().size(), 1u);
  (void)first;
  ClickOn(second->CancelButton());
  EXPECT_EQ(s_cancels, 1);
  EXPECT_EQ(OpenPleaseWait(), nullptr);
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  // Cancel without a worker runner installed still closes the window.
  SetPleaseWaitCancelHandler(nullptr);
  GUI_PleaseWait* third = ShowPleaseWait();
  ClickOn(third->CancelButton());
  EXPECT_EQ(OpenPleaseWait(), nullptr);
}

}  // namespace

namespace {

TEST_F(DialogTest, LowGraphicsDetailDrawsNoBackdrop) {
  struct Case {
    float detail;
    bool backdrop;
  } cases[] = {{0.3f, false}, {0.5f, false}, {1.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.detail);
    SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", c.detail);
    GUI_Dialog dialog(false);
    dialog.SetRect(100, 100, 400, 300);
    device->ClearRecord();
    dialog.Draw();
    GetGlobalVertexBuffer().Flush();
    int twoLayer = 0;
    for (const auto& d : device->draws) twoLayer += d.stride == 36;
    EXPECT_EQ(twoLayer > 0, c.backdrop);
    EXPECT_EQ(dialog.BackdropDrawn(), c.backdrop);
    // The frame itself is always drawn.
    EXPECT_FALSE(device->draws.empty());
  }
}

}  // namespace

namespace {

TEST_F(DialogTest, AnUntitledDialogNarrowerThanTheBarDrawsWithoutAFailedCheck) {
  GUI_Dialog dialog(true);
  dialog.SetRect(100, 100, 160, 160);  // narrower than the title bar's two 40-pixel insets
  for (int frame = 0; frame < 3; ++frame) dialog.Draw();
  std::ifstream errors(GetLogFolder() + "/errors.txt");
  std::string text((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("Assert failed"), std::string::npos) << text;
  // The close button still takes its place from where the bar would be.
  ASSERT_NE(dialog.CloseButton(), nullptr);
  EXPECT_EQ(dialog.CloseButton()->left, 120 - 76);
  EXPECT_EQ(dialog.CloseButton()->top, 63 + 10);
}

}  // namespace
