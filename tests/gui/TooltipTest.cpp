// Tooltips: fading in after the still delay, placement near the screen edges, the draw
// queue surviving windows deleted during the frame, and no tooltip left behind when its
// owner stops being processed.
#include "GuiFixture.h"
#include "gui/Tooltip.h"
#include "gui/WindowBase.h"
#include "gui/WindowOrder.h"

namespace {

class TooltipTest : public GuiTest {
 protected:
  // One frame's input poll with the mouse at (x, y).
  void Poll(float x, float y) {
    GUI_InputManager::SetCursorReader([x, y](float& ox, float& oy) {
      ox = x;
      oy = y;
    });
    GetInputManager().Poll();
  }
};

TEST_F(TooltipTest, FadesInOnlyAfterTheStillDelay) {
  GUI_ButtonBase button(nullptr, 0);
  button.SetRect(100, 100, 200, 130);
  button.SetTooltip("SOME_TIP", 60);
  GUI_Tooltip* tip = button.Tooltip();
  ASSERT_NE(tip, nullptr);

  Poll(150, 110);
  Poll(150, 110);  // the first still poll
  int polls = 0;
  while (GetInputManager().stillCounter <= 60) {
    button.Process();
    ASSERT_FLOAT_EQ(tip->alpha, 0.0f) << "visible after " << polls << " still polls";
    // Small movements (under 12 pixels) keep the mouse "still".
    Poll(150.0f + (polls % 2) * 11.0f, 110);
    ++polls;
  }
  EXPECT_GE(polls, 58);
  const float expected[] = {0.25f, 0.5f, 0.75f, 1.0f, 1.0f};
  for (float e : expected) {
    button.Process();
    EXPECT_FLOAT_EQ(tip->alpha, e);
    Poll(150, 110);
  }
  // Queued for this frame's tooltip pass, once however often it is asked.
  button.Draw();
  EXPECT_EQ(GUI_Tooltip::Queue().size(), 1u);
  GUI_Tooltip::DrawQueued();
  EXPECT_TRUE(GUI_Tooltip::Queue().empty());

  // Leaving the button hides it; a move of 12 pixels restarts the count.
  Poll(400, 400);
  button.Process();
  EXPECT_FLOAT_EQ(tip->alpha, 0.0f);
  Poll(400, 400);  // the poll after the move sees it and restarts the count
  EXPECT_EQ(GetInputManager().stillCounter, 0);

  // A dialog opened over the button stops its Process; the mouse moving away still takes
  // the tooltip with it instead of dragging it across the dialog.
  tip->alpha = 1.0f;
  Poll(150, 110);
  button.Draw();
  EXPECT_FLOAT_EQ(tip->alpha, 1.0f);
  GUI_Tooltip::ClearQueue();
  Poll(400, 400);
  button.Draw();
  EXPECT_FLOAT_EQ(tip->alpha, 0.0f);
  GUI_Tooltip::DrawQueued();
}

// A modal dialog stops the buttons behind it being processed; they are still drawn, and
// the mouse moving off one takes its tooltip away rather than leaving it over the dialog.
TEST_F(TooltipTest, ATooltipGoesWhenTheMouseLeavesAButtonThatIsOnlyDrawn) {
  GUI_ButtonBase button(nullptr, 0);
  button.SetRect(100, 100, 200, 130);
  button.SetTooltip("SOME_TIP", 0);
  GUI_Tooltip* tip = button.Tooltip();
  ASSERT_NE(tip, nullptr);
  for (int i = 0; i < 8; ++i) {
    Poll(150, 110);
    button.Process();
  }
  ASSERT_FLOAT_EQ(tip->alpha, 1.0f);
  button.Draw();
  EXPECT_FLOAT_EQ(tip->alpha, 1.0f) << "still over the button";
  Poll(600, 500);
  button.Draw();
  EXPECT_FLOAT_EQ(tip->alpha, 0.0f);
  GUI_Tooltip::DrawQueued();
}

struct PlaceCase {
  const char* name;
  float mouseX, mouseY;
  float width, height;
  float expectX, expectY;
};

TEST_F(TooltipTest, OpensAwayFromTheScreenEdges) {
  const PlaceCase cases[] = {
      {"room to the right and below", 100, 100, 200, 40, 130, 100},
      {"near the right edge it opens left of the mouse", 900, 100, 200, 40, 700, 100},
      {"near the bottom it opens above the mouse", 100, 750, 200, 40, 130, 710},
      {"both", 1000, 760, 120, 30, 880, 730},
      {"a close button in the top right corner keeps the box on screen", 1020, 2, 200, 20, 814, 4},
      {"the very bottom keeps the box's lower edge on screen", 100, 766, 200, 40, 130, 724},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    GUI_Tooltip tip("text", 0);
    tip.textWidth = c.width;
    tip.textHeight = c.height;
    tip.PlaceAtMouse(c.mouseX, c.mouseY, kScreenW, kScreenH);
    EXPECT_FLOAT_EQ(tip.x, c.expectX);
    EXPECT_FLOAT_EQ(tip.y, c.expectY);
  }
}

// A button with a tooltip at the window's top left, where the tests rest the mouse.
GUI_ButtonBase* AddTippedButton(GUI_WindowBase* window) {
  auto* button = new GUI_ButtonBase(nullptr, 0);
  button->SetRect(10, 10, 100, 40);
  button->SetTooltip("TIP", 0);
  window->AddButton(button);
  return button;
}

// A window's button queues its tooltip during Process and the window is deleted at the
// end of the same Process (DeleteLater): the tooltip pass must not touch it (ASan).
class SelfDeleting : public GUI_WindowBase {
 public:
  void Process() override {
    GUI_WindowBase::Process();
    GetWindowOrder().DeleteLater(this);
  }
};

TEST_F(TooltipTest, ATooltipOfAWindowDeletedThisFrameIsNotDrawn) {
  auto* window = new SelfDeleting();
  window->SetRect(0, 0, 300, 300);
  window->Open();
  GUI_ButtonBase* button = AddTippedButton(window);
  button->Tooltip()->alpha = 1.0f;
  MoveMouse(50, 20);
  GetInputManager().stillCounter = 100;
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
  EXPECT_TRUE(GUI_Tooltip::Queue().empty());
  GUI_Tooltip::DrawQueued();
}

// The mouse rests on a button until its tooltip shows; then a modal window opens over it
// (a message box, the please-wait overlay). Only the modal window is processed now, so
// nothing of the button hides its tooltip: the tooltip pass must not draw it on.
TEST_F(TooltipTest, ATooltipLeavesTheScreenWhileAModalWindowTakesTheInput) {
  auto* window = new GUI_WindowBase();
  window->SetRect(0, 0, 300, 300);
  window->Open();
  GUI_ButtonBase* button = AddTippedButton(window);
  GUI_Tooltip* tip = button->Tooltip();
  MoveMouse(50, 20);
  GetInputManager().stillCounter = 100;
  auto frame = [this] {
    NewFrame();
    GetWindowOrder().Process();
    GetWindowOrder().Draw();
    GUI_Tooltip::DrawQueued();
  };
  for (int i = 0; i < 6; ++i) frame();
  EXPECT_FLOAT_EQ(tip->alpha, 1.0f) << "shown while the mouse rests on its button";

  auto* modal = new GUI_WindowBase();
  modal->SetRect(0, 0, 400, 400);
  modal->Open();
  modal->SetModal(true);
  for (int i = 0; i < 3; ++i) {
    frame();
    EXPECT_FLOAT_EQ(tip->alpha, 0.0f) << "frame " << i << " under the modal window";
  }
  // Closed again: the button is processed and its tooltip fades back in.
  delete modal;
  for (int i = 0; i < 6; ++i) frame();
  EXPECT_FLOAT_EQ(tip->alpha, 1.0f);
  delete window;
}

// The player rests on a button until its tooltip shows and clicks it; the click opens a
// dialog elsewhere (the attack options beside the details panel), so the mouse is still on
// the button and the button is still processed. The tooltip must go with the click and stay
// away until the mouse has left the button, not lie over the dialog.
TEST_F(TooltipTest, AClickTakesTheTooltipAwayUntilTheMouseLeaves) {
  auto* window = new GUI_WindowBase();
  window->SetRect(0, 0, 300, 300);
  window->Open();
  static GUI_WindowBase* opened = nullptr;
  auto* button = new GUI_ButtonBase(
      [](int) {
        opened = new GUI_WindowBase();
        opened->SetRect(400, 300, 700, 500);
        opened->Open();
        return 0;
      },
      0);
  button->SetRect(10, 10, 100, 40);
  button->SetTooltip("TIP", 0);
  window->AddButton(button);
  GUI_Tooltip* tip = button->Tooltip();
  auto frame = [this](float x, float y) {
    MoveMouse(x, y);
    GetInputManager().stillCounter = 100;
    NewFrame();
    GetWindowOrder().Process();
    GetWindowOrder().Draw();
    GUI_Tooltip::DrawQueued();
  };
  for (int i = 0; i < 6; ++i) frame(50, 20);
  ASSERT_FLOAT_EQ(tip->alpha, 1.0f);

  ASSERT_TRUE(GetWindowOrder().LeftClick());
  ASSERT_NE(opened, nullptr);
  for (int i = 0; i < 6; ++i) {
    frame(50, 20);
    EXPECT_FLOAT_EQ(tip->alpha, 0.0f) << "frame " << i << " after the click";
  }
  // Off the button and back: the tooltip is there to be read again.
  frame(200, 200);
  for (int i = 0; i < 6; ++i) frame(50, 20);
  EXPECT_FLOAT_EQ(tip->alpha, 1.0f);
  delete opened;
  opened = nullptr;
  delete window;
}

}  // namespace
