// Buttons and button lists: who may click, what a click plays and calls, and callbacks
// that close the window they were clicked in.
#include <algorithm>
#include <string>
#include <vector>

#include "GuiFixture.h"
#include "gui/ConfirmDialog.h"
#include "gui/Cursor.h"
#include "gui/MessageBox.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"

namespace {

const char kClick[] = "data/sounds/gui_button_click.ogg";
std::vector<int> g_calls;
int Record(int data) {
  g_calls.push_back(data);
  return 0;
}

class ButtonTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_calls.clear();
  }
};

struct ClickRule {
  const char* name;
  bool enabled;
  bool silent;
  bool tutorialBlocks;
  const char* buttonName;
  bool expectCall;
  int expectSounds;
};

TEST_F(ButtonTest, ClickAsksTheTutorialThenPlaysTheSoundThenCallsBack) {
  const ClickRule rules[] = {
      {"plain button", true, false, false, "", true, 1},
      {"silent button calls back without a sound", true, true, false, "", true, 0},
      {"disabled button does nothing", false, false, false, "", false, 0},
      {"blocked by the tutorial", true, false, true, "somebutton", false, 0},
      {"the tutorial's own button works while blocked", true, false, true, "tutorialbutton", true, 1},
  };
  for (const ClickRule& r : rules) {
    SCOPED_TRACE(r.name);
    g_calls.clear();
    sounds->sounds.clear();
    GetTutorial().AllowButtons();
    if (r.tutorialBlocks) GetTutorial().BlockButtons();
    GUI_ButtonBase button(&Record, 42);
    button.SetRect(10, 10, 110, 40);
    button.enabled = r.enabled;
    button.silent = r.silent;
    if (*r.buttonName) button.SetName(r.buttonName);
    button.Click();
    EXPECT_EQ(g_calls.size(), r.expectCall ? 1u : 0u);
    if (r.expectCall && !g_calls.empty()) {
      EXPECT_EQ(g_calls[0], 42);
    }
    EXPECT_EQ(SoundsPlayed(kClick), r.expectSounds);
  }
  GetTutorial().AllowButtons();
}

TEST_F(ButtonTest, TheListClicksTheFirstVisibleEnabledButtonUnderTheMouse) {
  GUIButtonList list;
  auto* hidden = new GUI_ButtonBase(&Record, 1);
  auto* disabled = new GUI_ButtonBase(&Record, 2);
  auto* taker = new GUI_ButtonBase(&Record, 3);
  auto* behind = new GUI_ButtonBase(&Record, 4);
  for (GUI_ButtonBase* b : {hidden, disabled, taker, behind}) {
    b->SetRect(0, 0, 100, 30);
    list.AddButton(b);
  }
  hidden->visible = false;
  disabled->enabled = false;
  MoveMouse(50, 15);
  EXPECT_TRUE(list.OnClick());
  EXPECT_EQ(g_calls, (std::vector<int>{3}));
  MoveMouse(50, 60);
  EXPECT_FALSE(list.OnClick());
  EXPECT_EQ(g_calls.size(), 1u);
  list.AddButton(nullptr);  // a failed check, not an entry
  EXPECT_EQ(list.Buttons().size(), 4u);
}

TEST_F(ButtonTest, AButtonWithoutCallbackStillAnswersTheAwaitingTutorial) {
  static int s_handled = 0;
  s_handled = 0;
  GetTutorial().SetAwaitedHandler([] { ++s_handled; });
  GetTutorial().SetAwaitedButton("NEXT");
  GUI_ButtonBase other(nullptr, 0);
  other.SetName("OTHER");
  other.Click();
  EXPECT_EQ(s_handled, 0);
  GUI_ButtonBase next(nullptr, 0);
  next.SetName("NEXT");
  next.Click();
  EXPECT_EQ(s_handled, 1);
  EXPECT_TRUE(GetTutorial().AwaitedButton().empty());
  EXPECT_EQ(SoundsPlayed(kClick), 0);  // no callback, no sound
}

TEST_F(ButtonTest, HoverAndTheHandCursorFollowTheMouse) {
  GUI_ButtonBase button(&Record, 0);
  button.SetRect(100, 100, 200, 130);
  MoveMouse(150, 110);
  button.Process();
  EXPECT_EQ(button.hover, 1u);
  EXPECT_EQ(GUI_Cursor::Shape(), GUI_Cursor::kHand);
  // The hover is dropped at the next draw once the mouse has left, before any Process.
  MoveMouse(10, 10);
  button.Draw();
  EXPECT_EQ(button.hover, 0u);
  // A disabled button never hovers nor asks for the hand.
  GUI_Cursor::ResetShape();
  button.enabled = false;
  MoveMouse(150, 110);
  button.Process();
  EXPECT_EQ(button.hover, 0u);
  EXPECT_EQ(GUI_Cursor::Shape(), GUI_Cursor::kArrow);
}

// What a button under the mouse does in its Process, by whether it is enabled and shown and
// whether a modal tutorial page was drawn this frame (which shuts every button off).
TEST_F(ButtonTest, ProcessUnderTheMouseByStateAndTutorialPage) {
  struct Case {
    const char* name;
    bool enabled;
    bool tutorialPage;
    uint32_t hover;
    bool hand;
    bool tooltipQueued;
    bool visible = true;
  } cases[] = {
      {"enabled", true, false, 1, true, true},
      {"disabled still shows its tooltip", false, false, 0, false, true},
      {"tutorial page open", true, true, 0, false, false},
      {"disabled under a tutorial page", false, true, 0, false, false},
      {"hidden", true, false, 0, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GUI_Cursor::ResetShape();
    GUI_Tooltip::ClearQueue();
    GUI_ButtonBase button(&Record, 0);
    button.SetRect(100, 100, 200, 130);
    button.SetTooltip("CONFIRM_YES", 0);
    button.enabled = c.enabled;
    button.visible = c.visible;
    GetInputManager().pollFlag = c.tutorialPage;
    MoveMouse(150, 110);
    button.Process();
    EXPECT_EQ(button.hover, c.hover);
    EXPECT_EQ(GUI_Cursor::Shape() == GUI_Cursor::kHand, c.hand);
    const auto& queue = GUI_Tooltip::Queue();
    EXPECT_EQ(std::find(queue.begin(), queue.end(), button.Tooltip()) != queue.end(), c.tooltipQueued);
    GetInputManager().pollFlag = false;
    GUI_Tooltip::ClearQueue();
  }
}

TEST_F(ButtonTest, TextButtonFaceIsThreeSlicesAcrossTheButton) {
  GUI_ButtonText::Slice s[3];
  GUI_ButtonText::ThreeSlice(50, 200, s);
  // Caps of 32 pixels at both ends, the middle fills the 136 pixels between them.
  EXPECT_FLOAT_EQ(s[0].centreX, 66.0f);
  EXPECT_FLOAT_EQ(s[0].width, 32.0f);
  EXPECT_FLOAT_EQ(s[1].centreX, 50.0f + 32.0f + 68.0f);
  EXPECT_FLOAT_EQ(s[1].width, 136.0f);
  EXPECT_FLOAT_EQ(s[2].centreX, 234.0f);
  EXPECT_FLOAT_EQ(s[0].u0, 0.0f);
  EXPECT_FLOAT_EQ(s[0].u1, 0.25f);
  EXPECT_FLOAT_EQ(s[1].u0, 0.5f);
  EXPECT_FLOAT_EQ(s[1].u1, 0.75f);
  EXPECT_FLOAT_EQ(s[2].u0, 0.75f);
  EXPECT_FLOAT_EQ(s[2].u1, 1.0f);
}

// Callbacks that delete the window they were clicked in, reached through the whole click
// path of a game mode (window order -> window -> button list -> button). ASan checks
// that nothing touches the deleted window afterwards.
TEST_F(ButtonTest, CallbacksMayDeleteTheirOwnDialog) {
  // The close button deletes its dialog, even while the tutorial blocks every button.
  GetTutorial().BlockButtons();
  GUI_Message* box = ShowMessage("TITLE", "text", GUI_Message::kStyleClose, nullptr);
  box->Draw();  // places the close button on the title bar
  GUI_CloseButton* close = box->CloseButton();
  ASSERT_NE(close, nullptr);
  MoveMouse((close->left + close->right) / 2.0f, (close->top + close->bottom) / 2.0f);
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
  EXPECT_TRUE(GetWindowOrder().ModalWindows().empty());
  GetTutorial().AllowButtons();

  // OK deletes the box after calling back.
  box = ShowMessage("TITLE", "text", GUI_Message::kStyleOK, &Record);
  GUI_ButtonText* ok = box->OKButton();
  ASSERT_NE(ok, nullptr);
  MoveMouse((ok->left + ok->right) / 2.0f, (ok->top + ok->bottom) / 2.0f);
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(g_calls, (std::vector<int>{0}));
  EXPECT_EQ(OpenMessageBox(), nullptr);

  // A style-1 box built without a callback still closes on OK.
  box = ShowMessage("TITLE", "text", GUI_Message::kStyleOK, nullptr);
  ok = box->OKButton();
  MoveMouse((ok->left + ok->right) / 2.0f, (ok->top + ok->bottom) / 2.0f);
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
}

}  // namespace

namespace {

TEST_F(ButtonTest, OnlyTheBoxOfACheckButtonTakesClicks) {
  struct Case {
    const char* name;
    float x, y;
    bool taken;
  } cases[] = {
      {"centre of the box", 37, 21, true},
      {"edge of the box", 26, 10, true},
      {"the label", 150, 21, false},
      {"left of the box", 5, 21, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_calls.clear();
    GUI_CheckButton check(&Record, "CONFIRM_YES", 7);
    check.SetRect(0, 0, 300, 42);
    EXPECT_EQ(check.LeftClick(c.x, c.y), c.taken);
    EXPECT_EQ(check.checked, c.taken);
    EXPECT_EQ(g_calls.size(), c.taken ? 1u : 0u);
  }
  // A label longer than the field is cut, never overflowing.
  GUI_CheckButton longLabel(nullptr, std::string(500, 'W'), 0);
  EXPECT_EQ(longLabel.label.size(), GUI_CheckButton::kMaxLabel);
}

}  // namespace
