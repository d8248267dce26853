#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/InputManager.h"

namespace {

// Records which event operations the dispatcher called.
class RecordingInput : public GUI_InputManager {
 public:
  std::vector<std::string> calls;
  void OnWheelUp() override { calls.push_back("wheelup"); }
  void OnWheelDown() override { calls.push_back("wheeldown"); }
  void OnLeftDown() override {
    GUI_InputManager::OnLeftDown();
    calls.push_back(doubleClick ? "leftdown(double)" : "leftdown");
  }
  void OnLeftUp() override {
    GUI_InputManager::OnLeftUp();
    calls.push_back("leftup");
  }
  void OnRightDown() override { calls.push_back("rightdown"); }
  void OnRightUp() override { calls.push_back("rightup"); }
};

// The cursor the fake reader reports on the next poll.
float g_cursorX = 0;
float g_cursorY = 0;

class FakeCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GUI_InputManager::SetCursorReader([](float& x, float& y) {
      x = g_cursorX;
      y = g_cursorY;
    });
  }
  void TearDown() override { GUI_InputManager::SetCursorReader(nullptr); }
  static void PollAt(GUI_InputManager& input, float x, float y) {
    g_cursorX = x;
    g_cursorY = y;
    input.Poll();
  }
};

using StillCounter = FakeCursorTest;

TEST_F(StillCounter, CountsPollsNearTheAnchorAndResetsOnAMoveOfTwelvePixels) {
  // Each poll judges the position stored by the previous poll against the anchor,
  // then stores the new cursor position.
  struct Step {
    float x, y;  // cursor reported by this poll
    int counter;
    float anchorX, anchorY;
  } steps[] = {
      {0, 0, 0, 100, 100},                         // judges the built-in (100, 100): far from (0, 0)
      {5, 5, 0, 0, 0},                             // judges (0, 0): far from (100, 100), anchor follows
      {11, -11, 1, 0, 0},                          // judges (5, 5): still
      {12, 0, 2, 0, 0},                            // judges (11, -11): 11 pixels is still
      {12, 0, 0, 12, 0},                           // judges (12, 0): exactly 12 resets and moves the anchor
      {20, 8, 1, 12, 0},     {12, -12, 2, 12, 0},  // judges (20, 8): 8 pixels each way
      {12, -12, 0, 12, -12},                       // judges (12, -12): 12 vertically resets
      {0, 0, 1, 12, -12},
  };
  GUI_InputManager input;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "poll at (" << s.x << ", " << s.y << ")");
    PollAt(input, s.x, s.y);
    EXPECT_EQ(input.stillCounter, s.counter);
    EXPECT_EQ(input.anchorX, s.anchorX);
    EXPECT_EQ(input.anchorY, s.anchorY);
    EXPECT_EQ(input.x, s.x);
    EXPECT_EQ(input.y, s.y);
  }
}

TEST_F(StillCounter, SaturatesInsteadOfOverflowing) {
  GUI_InputManager input;
  PollAt(input, 0, 0);
  input.anchorX = 0;
  input.anchorY = 0;
  input.stillCounter = GUI_InputManager::kStillCounterMax - 1;
  for (int i = 0; i < 5; ++i) PollAt(input, 0, 0);
  EXPECT_EQ(input.stillCounter, GUI_InputManager::kStillCounterMax);
  input.pollFlag = true;
  PollAt(input, 0, 0);
  EXPECT_FALSE(input.pollFlag);
}

TEST(MouseDispatch, TurnsMessagesIntoOneCallEach) {
  struct Case {
    std::vector<unsigned> messages;
    long param;
    std::vector<std::string> calls;
    bool heldAfter;
  } cases[] = {
      {{kMsgLeftDown, kMsgLeftUp}, 0, {"leftdown", "leftup"}, false},
      {{kMsgLeftDown, kMsgLeftUp, kMsgLeftDoubleClick, kMsgLeftUp},
       0,
       {"leftdown", "leftup", "leftdown(double)", "leftup"},
       false},
      {{kMsgLeftDoubleClick, kMsgLeftUp, kMsgLeftDown}, 0, {"leftdown(double)", "leftup", "leftdown"}, true},
      {{kMsgRightDown, kMsgRightUp}, 0, {"rightdown", "rightup"}, false},
      {{kMsgWheel}, 120, {"wheelup"}, false},
      {{kMsgWheel}, 120 << 16, {"wheelup"}, false},
      {{kMsgWheel}, 0, {"wheeldown"}, false},
      {{kMsgWheel}, -120, {"wheeldown"}, false},
      {{512, 519, 0}, 0, {}, false},  // moves and other messages are ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "first message " << c.messages.front() << " param " << c.param);
    RecordingInput input;
    input.enabled = true;
    for (unsigned m : c.messages) DispatchMouseMessage(m, input, c.param);
    EXPECT_EQ(input.calls, c.calls);
    EXPECT_EQ(input.leftHeld, c.heldAfter);
  }
}

TEST(MouseDispatch, IgnoresEverythingUntilEnabled) {
  RecordingInput input;
  ASSERT_FALSE(input.enabled);
  for (unsigned m : {kMsgLeftDown, kMsgLeftDoubleClick, kMsgRightDown, kMsgWheel})
    DispatchMouseMessage(m, input, 1);
  EXPECT_TRUE(input.calls.empty());
  EXPECT_FALSE(input.leftHeld);
  EXPECT_FALSE(input.doubleClick);
  EXPECT_EQ(input.x, 100.0f);
  EXPECT_EQ(input.y, 100.0f);
}

}  // namespace
