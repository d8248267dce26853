// The post-mortem's five buttons as the player meets them: which of them answer for the
// side played and the kind of map, Rate answering once, and the tooltip each shows under
// a still pointer (the top strip's Start button too).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/ChallengeRecording.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "battlescreen/BattleScreen.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "gui/Buttons.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

class PostMortemButtons : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    LoadStringsTable();
    GUI_Tooltip::ClearQueue();
    GetBattleViewFlags().showHud = true;
    SIM_ScenarioManager::Get().Load();
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
      if (s) {
        scenario = s;
        break;
      }
    ASSERT_NE(scenario, nullptr);
    keptOrigin = scenario->origin;
    keptId = scenario->id;
  }
  void TearDown() override {
    if (scenario) {
      scenario->origin = keptOrigin;
      scenario->id = keptId;
    }
    GUI_Tooltip::ClearQueue();
    NullDeviceTest::TearDown();
  }
  // A finished battle on the map as that kind of map, the post-mortem open over it.
  GUI_BS_PostMortem* Finish(int origin, bool defends, bool deployed) {
    scenario->origin = origin;
    scenario->id = origin == SIM_Scenario::ORIGIN_ADDED ? "c-4411" : "";
    StartScenarioBattle(scenario, defends, AI_UNITS_NONE);
    SIM_ChallengeRecording& rec = GetChallengeRecording();
    rec.entries.clear();
    if (deployed) rec.entries.push_back(std::make_unique<SIM_RecordingEntry>());
    GetBattle().outcome = OUTCOME_VICTORY;
    GUI_BS_PostMortem::Open();
    return GetOpenPostMortem();
  }
  // A few frames of the window order with the pointer still over the element.
  template <typename Element>
  void HoverFrames(const Element* e) {
    GUI_InputManager& in = GetInputManager();
    in.x = (e->left + e->right) / 2;
    in.y = (e->top + e->bottom) / 2;
    in.stillCounter = 1000;
    for (int i = 0; i < 4; ++i) {
      // What each frame's input poll does before the windows are processed.
      in.MouseClaimed = false;
      in.WindowUnderMouse = nullptr;
      GUI_Tooltip::ClearQueue();
      GetWindowOrder().Process();
    }
  }
  static const GUI_Tooltip* ShownTooltip() {
    for (GUI_Tooltip* t : GUI_Tooltip::Queue())
      if (t->alpha > 0.0f) return t;
    return nullptr;
  }
  SIM_Scenario* scenario = nullptr;
  int keptOrigin = 0;
  std::string keptId;
};

TEST_F(PostMortemButtons, WhichButtonsAnswerFollowsTheSideAndTheKindOfMap) {
  struct Case {
    const char* what;
    int origin;
    bool defends, deployed;
    bool challenge, save, rate;
  } cases[] = {
      {"campaign attack", SIM_Scenario::ORIGIN_CAMPAIGN, false, true, true, true, false},
      {"campaign defence", SIM_Scenario::ORIGIN_CAMPAIGN, true, true, false, false, false},
      {"own map, defence", SIM_Scenario::ORIGIN_CUSTOM, true, true, true, false, false},
      {"own map, attack", SIM_Scenario::ORIGIN_CUSTOM, false, true, true, true, false},
      {"online challenge, attack", SIM_Scenario::ORIGIN_ADDED, false, true, true, true, true},
      {"online challenge, defence", SIM_Scenario::ORIGIN_ADDED, true, true, true, false, true},
      {"attack without a deployment", SIM_Scenario::ORIGIN_CAMPAIGN, false, false, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_BS_PostMortem* pm = Finish(c.origin, c.defends, c.deployed);
    ASSERT_NE(pm, nullptr);
    EXPECT_TRUE(pm->statsButton->enabled);
    EXPECT_EQ(pm->challengeButton->enabled, c.challenge);
    EXPECT_EQ(pm->saveButton->enabled, c.save);
    EXPECT_EQ(pm->rateButton->enabled, c.rate);
    EXPECT_TRUE(pm->continueButton->enabled);
  }
}

TEST_F(PostMortemButtons, RateAnswersOncePerPostMortem) {
  GUI_BS_PostMortem* pm = Finish(SIM_Scenario::ORIGIN_ADDED, false, true);
  ASSERT_NE(pm, nullptr);
  PostMortemHooks& hooks = GetPostMortemHooks();
  const PostMortemHooks wired = hooks;
  int rated = 0;
  hooks.openRateChallenge = [&] { ++rated; };
  ASSERT_TRUE(pm->rateButton->enabled);
  zt_test::ClickOn(pm->rateButton);
  EXPECT_EQ(rated, 1);
  EXPECT_FALSE(pm->rateButton->enabled);
  zt_test::ClickOn(pm->rateButton);
  EXPECT_EQ(rated, 1);
  // A new battle's post-mortem offers it again.
  pm = Finish(SIM_Scenario::ORIGIN_ADDED, false, true);
  EXPECT_TRUE(pm->rateButton->enabled);
  hooks = wired;
}

TEST_F(PostMortemButtons, EachButtonShowsItsTooltipUnderAStillPointer) {
  GUI_BS_PostMortem* pm = Finish(SIM_Scenario::ORIGIN_ADDED, false, true);
  ASSERT_NE(pm, nullptr);
  const std::pair<GUI_ButtonText*, const char*> buttons[] = {
      {pm->statsButton, "BS_POSTMORTEM_STATS_TT"},        {pm->challengeButton, "BS_POSTMORTEM_CHALLENGE_TT"},
      {pm->saveButton, "BS_POSTMORTEM_SAVERECORDING_TT"}, {pm->rateButton, "BS_POSTMORTEM_RATE_TT"},
      {pm->continueButton, "BS_POSTMORTEM_CONTINUE_TT"},
  };
  for (const auto& [button, key] : buttons) {
    SCOPED_TRACE(key);
    ASSERT_FALSE(GetTranslation(key).empty());
    HoverFrames(button);
    const GUI_Tooltip* shown = ShownTooltip();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->Lines().front(), GetTranslation(key));
  }
}

TEST_F(PostMortemButtons, TheStartButtonExplainsItself) {
  StartScenarioBattle(scenario, false, AI_UNITS_NONE);
  OpenTopStrip();
  GUI_BS_TopStrip* strip = GetOpenTopStrip();
  ASSERT_NE(strip, nullptr);
  ASSERT_TRUE(strip->startButton->visible);
  HoverFrames(strip->startButton);
  const GUI_Tooltip* shown = ShownTooltip();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Lines().front(), GetTranslation("BS_TOP_START_TT"));
  CloseTopStrip();
}

}  // namespace
