// The top strip's tooltips: the clock's, the supplies panel's and the scoreboard's fade
// in under the pointer, and the clock's stays hidden while the player deploys.
#include <gtest/gtest.h>

#include <string>

#include "battle/Battle.h"
#include "battlehud/BattleHud.h"
#include "battlescreen/BattleScreen.h"
#include "engine/GUI_BaseElement.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "gui/Tooltip.h"
#include "support/NullDeviceFixture.h"

namespace {

class TopStripTooltips : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    LoadStringsTable();
    GUI_Tooltip::ClearQueue();
    GetBattleViewFlags().showHud = true;
    OpenTopStrip();
    strip = GetOpenTopStrip();
    ASSERT_NE(strip, nullptr);
    cx = static_cast<float>(GUI_BaseElement::ScreenWidth()) / 2;
  }
  void TearDown() override {
    CloseTopStrip();
    GUI_Tooltip::ClearQueue();
    GetBattle().state = BATTLE_DEPLOYMENT;
    NullDeviceTest::TearDown();
  }
  // A few frames with the pointer still at the point.
  void HoverFrames(float x, float y) {
    GUI_InputManager& input = GetInputManager();
    input.x = x;
    input.y = y;
    input.stillCounter = 1000;
    for (int i = 0; i < 4; ++i) {
      GUI_Tooltip::ClearQueue();
      strip->Process();
    }
  }
  bool Queued(GUI_Tooltip* t) const {
    for (GUI_Tooltip* q : GUI_Tooltip::Queue())
      if (q == t) return true;
    return false;
  }
  GUI_BS_TopStrip* strip = nullptr;
  float cx = 0;
};

TEST_F(TopStripTooltips, EachPartShowsItsOwnTextAndTheClockWaitsForTheFighting) {
  EXPECT_EQ(strip->timerTooltip->Lines().front(), GetTranslation("BS_TIMER_TOOLTIP"));
  EXPECT_EQ(strip->suppliesTooltip->Lines().front(), GetTranslation("BS_SUPPLIES_TOOLTIP"));
  EXPECT_EQ(strip->scoreTooltip->Lines().front(), GetTranslation("BS_SCOREBOARD_TOOLTIP"));
  for (GUI_Tooltip* t : {strip->timerTooltip.get(), strip->suppliesTooltip.get(), strip->scoreTooltip.get()})
    EXPECT_FALSE(t->Lines().front().empty());
  struct Case {
    int state;
    float x, y;
    bool timer, supplies, score;
  } cases[] = {
      {BATTLE_DEPLOYMENT, cx, 61, false, false, false},  // the clock says nothing yet
      {BATTLE_RUNNING, cx, 61, true, false, false},      // ... until the fighting starts
      {BATTLE_DEPLOYMENT, cx - 250, 30, false, true, false},
      {BATTLE_RUNNING, cx + 250, 30, false, false, true},
      {BATTLE_RUNNING, cx - 250, 60, false, false, false},  // below the panel
      {BATTLE_RUNNING, cx + 321, 30, false, false, false},  // just past the scoreboard
  };
  for (const Case& c : cases) {
    GetBattle().state = c.state;
    HoverFrames(c.x, c.y);
    EXPECT_EQ(strip->timerTooltip->alpha > 0, c.timer) << c.x << "," << c.y;
    EXPECT_EQ(strip->suppliesTooltip->alpha > 0, c.supplies) << c.x << "," << c.y;
    EXPECT_EQ(strip->scoreTooltip->alpha > 0, c.score) << c.x << "," << c.y;
    EXPECT_EQ(Queued(strip->timerTooltip.get()), c.timer);
    EXPECT_EQ(Queued(strip->suppliesTooltip.get()), c.supplies);
    EXPECT_EQ(Queued(strip->scoreTooltip.get()), c.score);
  }
}

TEST_F(TopStripTooltips, HidingTheInterfaceOrClosingTheStripLeavesNoTooltipBehind) {
  GetBattle().state = BATTLE_RUNNING;
  HoverFrames(cx - 250, 30);
  ASSERT_GT(strip->suppliesTooltip->alpha, 0.0f);
  GetBattleViewFlags().showHud = false;
  HoverFrames(cx - 250, 30);
  EXPECT_EQ(strip->suppliesTooltip->alpha, 0.0f);
  EXPECT_TRUE(GUI_Tooltip::Queue().empty());
  GetBattleViewFlags().showHud = true;
  HoverFrames(cx - 250, 30);
  ASSERT_FALSE(GUI_Tooltip::Queue().empty());
  // A strip closed mid-frame takes its queued tooltip with it; drawing the queue is safe.
  CloseTopStrip();
  EXPECT_TRUE(GUI_Tooltip::Queue().empty());
  GUI_Tooltip::DrawQueued();
}

}  // namespace
