// The end of a battle: the post-mortem opens once, the delay after the outcome, with
// the outcome's title, a message and the scores of a victory; Continue runs one
// worker and goes back to the battle browser.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/Gameplay.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "engine/Timer.h"
#include "simdata/HighScores.h"
#include "simdata/Scenario.h"
#include "simdata/Unlockable.h"

namespace {

using namespace battle_test;

SIM_Scenario* FirstCampaignBattle(bool playerDefends) {
  SIM_ScenarioManager::Get().Load();
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (s) {
      StartScenarioBattle(s, playerDefends, AI_UNITS_NONE);
      return s;
    }
  return nullptr;
}

// The game's clock, moved by the test: the delay is the battle's to keep, whatever the
// machine's load does to the test's own pace.
std::int64_t g_nowNs = 0;
std::int64_t Now() { return g_nowNs; }
struct TestClock {
  TestClock() {
    g_nowNs = 50'000'000'000;  // well past zero, like a running process
    SetClockSource(Now);
  }
  ~TestClock() { SetClockSource(nullptr); }
  void AdvanceMs(int ms) { g_nowNs += static_cast<std::int64_t>(ms) * 1'000'000; }
};

TEST(PostMortem, OpensOnceTheDelayAfterTheOutcome) {
  TestClock clock;
  ASSERT_NE(FirstCampaignBattle(false), nullptr);
  SIM_Battle& battle = GetBattle();
  BattleHooks& hooks = GetBattleHooks();
  auto wired = hooks.openPostMortem;
  int opened = 0;
  uint64_t openedAt = 0;
  hooks.openPostMortem = [&] {
    ++opened;
    openedAt = ClockMilliseconds();
    wired();
  };
  battle.Begin();
  battle.SetVictory();
  const uint64_t decidedAt = ClockMilliseconds();
  // Well past the delay, one update every 5 ms of the game's clock, as the frames would.
  constexpr int kFrameMs = 5;
  while (ClockMilliseconds() - decidedAt < static_cast<uint64_t>(SIM_Battle::kEndDelayMs) + 600) {
    clock.AdvanceMs(kFrameMs);
    battle.Update();
  }
  hooks.openPostMortem = wired;
  EXPECT_EQ(opened, 1);
  // At the first update past the delay.
  EXPECT_GT(openedAt - decidedAt, static_cast<uint64_t>(SIM_Battle::kEndDelayMs));
  EXPECT_LE(openedAt - decidedAt, static_cast<uint64_t>(SIM_Battle::kEndDelayMs) + kFrameMs);
  EXPECT_EQ(battle.state, BATTLE_OVER);
  ASSERT_NE(GetOpenPostMortem(), nullptr);
  EXPECT_EQ(GetOpenPostMortem()->Title(), "Victory");
}

TEST(PostMortem, ScoresAndSizeFollowTheOutcomeAndSide) {
  struct Case {
    bool defends;
    int outcome;
    int height;
    size_t lines;
  } cases[] = {
      {false, OUTCOME_DEFEAT, 200, 0}, {false, OUTCOME_VICTORY, 300, 1}, {true, OUTCOME_VICTORY, 300, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.defends);
    ASSERT_NE(FirstCampaignBattle(c.defends), nullptr);
    GetBattle().outcome = c.outcome;
    GetGameplay().supplies = 12345.9f;
    GetGameplay().TallyArmyValue(0.0f);  // as the decision does
    GUI_BS_PostMortem::Open();
    GUI_BS_PostMortem* pm = GetOpenPostMortem();
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->height, c.height);
    EXPECT_FALSE(pm->message.empty());
    ASSERT_EQ(pm->scores.size(), c.lines);
    if (c.lines == 4) {
      EXPECT_EQ(pm->scores[1].second, "12,345");
    }
    EXPECT_TRUE(pm->continueButton->enabled);
  }
}

// A defence is decided, and the battle runs on through the delay with the supply income
// still coming in. The post-mortem's supplies figure is the one the top strip ends on,
// and its final score is the one the high-score table keeps.
TEST(PostMortem, DefenceScoresAreThoseOfTheBattlesLastFrame) {
  SIM_Scenario* scenario = FirstCampaignBattle(true);
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  ConnectBattleHud();
  battle.Begin();
  Gameplay& g = GetGameplay();
  g.Difficulty = 1;
  g.supplies = 0.0f;
  ASSERT_GT(g.Classic().suppliesPerSecondStart, 0.0f);
  GetOutcomeManager().DefenderWins();
  ASSERT_EQ(battle.outcome, OUTCOME_VICTORY);
  const float decided = g.supplies;
  // A second of battle frames inside the delay.
  for (int i = 0; i < 60; ++i) battle.Update();
  EXPECT_GT(g.supplies, decided + 1.0f) << "income goes on after the decision";
  battle.endStartMs -= 3000.0;
  battle.Update();
  ASSERT_EQ(battle.state, BATTLE_OVER);
  GUI_BS_PostMortem* pm = GetOpenPostMortem();
  ASSERT_NE(pm, nullptr);
  ASSERT_EQ(pm->scores.size(), 4u);
  EXPECT_EQ(pm->scores[1].second, FormatScore(g.supplies));
  EXPECT_EQ(pm->scores[3].second, FormatScore(g.finalDefenderScore));
  EXPECT_FLOAT_EQ(SIM_HighScores::Get().GetScore(scenario->name, 1, false), g.finalDefenderScore);
}

TEST(PostMortem, ContinueStartsOneWorkerAndReturnsToTheBrowser) {
  ASSERT_NE(FirstCampaignBattle(false), nullptr);
  GetBattle().outcome = OUTCOME_DEFEAT;
  // Nothing left to unlock: the sequence goes straight on.
  SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
  catalogue.EnsureLoaded();
  for (SIM_Unlockable* u : std::vector<SIM_Unlockable*>(catalogue.Free())) catalogue.Remove(u);
  zt_test::FakeRunner runner;
  int reported = 0;
  PostMortemHooks& hooks = GetPostMortemHooks();
  auto wired = hooks.postBattleUpdates;
  hooks.postBattleUpdates = [&](const PostBattleReport& report) {
    ++reported;
    EXPECT_EQ(report.outcome, OUTCOME_DEFEAT);
  };
  GUI_BS_PostMortem::Open();
  GUI_BS_PostMortem::OnContinue(0);
  GUI_BS_PostMortem::OnContinue(0);  // a second click while the worker runs
  EXPECT_EQ(runner.started, std::vector<std::string>{"PostBattleUpdates"});
  GetOpenPostMortem()->Draw();  // still updating: nothing happens
  EXPECT_NE(GetOpenPostMortem(), nullptr);
  runner.FinishAll();
  GetOpenPostMortem()->Draw();
  hooks.postBattleUpdates = wired;
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(runner.released, 1) << "the runner and the please-wait overlay are given back";
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
}

}  // namespace
