// The battle clock: fixed 16 ms frame steps scaled by the speed, the 64 ms check with
// its remainder dropped, pause, step-once and the end-of-battle sequence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnitManager.h"
#include "engine/Timer.h"
#include "simdata/GlobalStats.h"
#include "simdata/Scenario.h"

using namespace battle_test;

namespace {

TEST(BattleSpeed, IsClampedToTheRange) {
  SIM_Battle& battle = GetBattle();
  const struct {
    float asked, stored;
  } cases[] = {{0.1f, 0.2f}, {0.2f, 0.2f}, {1.0f, 1.0f}, {4.0f, 4.0f}, {5.0f, 4.0f}, {-3.0f, 0.2f}};
  for (const auto& c : cases) {
    battle.SetSpeed(c.asked);
    EXPECT_FLOAT_EQ(battle.speed, c.stored) << c.asked;
  }
}

struct CadenceCase {
  float speed;
  int framesPerCheck;
  float checkLength;
};

class CheckCadence : public ::testing::TestWithParam<CadenceCase> {};

TEST_P(CheckCadence, RunsWhenTheStepReaches64AndDropsTheRemainder) {
  const CadenceCase& c = GetParam();
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  battle.SetSpeed(c.speed);
  // The hint step runs inside the check while the battle runs: it sees the check's length.
  std::vector<int> checkFrames;
  std::vector<float> lengths;
  int frame = 0;
  GetBattleHooks().hintStep = [&] {
    checkFrames.push_back(frame);
    lengths.push_back(GetBattle().checkAccumulator);
  };
  for (frame = 1; frame <= 3 * c.framesPerCheck; ++frame) battle.Update();

  ASSERT_EQ(checkFrames.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(checkFrames[i], (i + 1) * c.framesPerCheck);
    EXPECT_NEAR(lengths[i], c.checkLength, 1e-3);
  }
  EXPECT_FLOAT_EQ(battle.frameStep, 16.0f * c.speed);
  EXPECT_NEAR(battle.battleClock, 3 * c.framesPerCheck * 16.0f * c.speed, 1e-2);
  EXPECT_NEAR(battle.totalTime, battle.battleClock, 1e-3);
  EXPECT_EQ(battle.checkCount, 3);
}

INSTANTIATE_TEST_SUITE_P(Speeds, CheckCadence,
                         ::testing::Values(CadenceCase{1.0f, 4, 64.0f}, CadenceCase{0.6f, 7, 67.2f},
                                           CadenceCase{0.2f, 20, 64.0f}, CadenceCase{1.2f, 4, 76.8f},
                                           CadenceCase{2.0f, 2, 64.0f}, CadenceCase{4.0f, 1, 64.0f}));

TEST(BattleClock, StandsStillBeforeTheFightButChecksRun) {
  SIM_Battle& battle = StartBareBattle();
  ASSERT_EQ(battle.state, BATTLE_DEPLOYMENT);
  for (int i = 0; i < 8; ++i) battle.Update();
  EXPECT_FLOAT_EQ(battle.battleClock, 0.0f);
  EXPECT_FLOAT_EQ(battle.totalTime, 128.0f);
  EXPECT_EQ(battle.checkCount, 2);
}

class PausedBattle : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void SetUp() override {
    battle = &StartBareBattle();
    SIM_UnitHull* hull = cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f);
    unit = AddUnit(cat.Design(hull, {}), battle->playerArmy);
    unit->state = US_DROPPING_IN;
  }
  Catalogue cat;
  SIM_Battle* battle = nullptr;
  SIM_BattleUnit* unit = nullptr;
};

TEST_F(PausedBattle, PauseOnlyWorksWhileRunning) {
  battle->SetPaused(true);
  EXPECT_FALSE(battle->paused);
  battle->Begin();
  battle->SetPaused(true);
  EXPECT_TRUE(battle->paused);
}

TEST_F(PausedBattle, NoBattleTimePassesButTheScreenStillDraws) {
  battle->Begin();
  battle->Update();
  const float placed = unit->placementTimer;
  const int frames = views.view.frames;
  battle->SetPaused(true);
  for (int i = 0; i < 10; ++i) battle->Update();
  EXPECT_FLOAT_EQ(battle->frameStep, 0.0f);
  EXPECT_FLOAT_EQ(battle->battleClock, 16.0f);
  EXPECT_EQ(battle->checkCount, 0);
  EXPECT_FLOAT_EQ(unit->placementTimer, placed);
  EXPECT_EQ(views.view.frames, frames + 10);

  battle->SetPaused(false);
  battle->Update();
  EXPECT_FLOAT_EQ(unit->placementTimer, placed + 16.0f);
}

TEST_F(PausedBattle, StepOnceRunsOneFrameThenPauses) {
  battle->Begin();
  battle->SetSpeed(2.0f);
  battle->RequestStepOnce();
  battle->Update();
  EXPECT_TRUE(battle->paused);
  EXPECT_FALSE(battle->stepOnce);
  EXPECT_FLOAT_EQ(battle->battleClock, 32.0f);
  battle->Update();
  EXPECT_FLOAT_EQ(battle->battleClock, 32.0f);
  // From the paused state: exactly one more frame, then paused again.
  for (int i = 0; i < 2; ++i) {
    battle->RequestStepOnce();
    EXPECT_FALSE(battle->paused);
    battle->Update();
    EXPECT_TRUE(battle->paused);
    battle->Update();
    EXPECT_FLOAT_EQ(battle->battleClock, 32.0f * (i + 2)) << i;
  }
}

// The wall clock, driven by the test.
std::int64_t g_fakeNs = 0;
std::int64_t FakeClock() { return g_fakeNs; }

class EndOfBattle : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    g_fakeNs = 1'000'000'000;
    SetClockSource(FakeClock);
  }
  void TearDown() override { SetClockSource(nullptr); }
  static void AdvanceMs(int ms) { g_fakeNs += static_cast<std::int64_t>(ms) * 1'000'000; }
};

TEST_P(EndOfBattle, PostMortemFollowsTwoSecondsAfterTheOutcome) {
  const bool victory = GetParam();
  SIM_Battle& battle = StartBareBattle();
  int postMortems = 0;
  GetBattleHooks().openPostMortem = [&] { ++postMortems; };
  battle.Begin();
  victory ? battle.SetVictory() : battle.SetDefeat();
  EXPECT_EQ(battle.outcome, victory ? OUTCOME_VICTORY : OUTCOME_DEFEAT);
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat(victory ? "battles_won" : "battles_lost"), 1);

  // The battle keeps running during the wait, measured in real time.
  for (int i = 0; i < 100; ++i) {
    AdvanceMs(20);
    battle.Update();
  }
  EXPECT_EQ(battle.state, BATTLE_RUNNING);
  EXPECT_FALSE(battle.paused);
  EXPECT_EQ(postMortems, 0);
  EXPECT_GT(battle.battleClock, 1000.0f);

  AdvanceMs(20);
  battle.Update();
  EXPECT_EQ(battle.state, BATTLE_OVER);
  EXPECT_TRUE(battle.paused);
  EXPECT_FALSE(battle.outcomeDecided);
  EXPECT_EQ(postMortems, 1);
  for (int i = 0; i < 5; ++i) {
    AdvanceMs(500);
    battle.Update();
  }
  EXPECT_EQ(postMortems, 1);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, EndOfBattle, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "Victory" : "Defeat");
                         });

TEST(BattleStart, ASecondStartDeletesTheOldArmiesFirst) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* d = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {});
  for (int i = 0; i < 3; ++i) {
    AddUnit(d, battle.playerArmy);
    AddUnit(d, battle.opponentArmy);
  }
  battle.Begin();
  battle.SetSpeed(3.0f);
  battle.Update();
  ASSERT_EQ(GetBattleUnitManager().allUnits.size(), 6u);

  battle.Start();
  EXPECT_TRUE(GetBattleUnitManager().allUnits.empty());
  EXPECT_TRUE(battle.playerArmy->allUnits.empty());
  EXPECT_EQ(battle.state, BATTLE_DEPLOYMENT);
  EXPECT_FLOAT_EQ(battle.speed, 1.0f);
  EXPECT_FLOAT_EQ(battle.battleClock, 0.0f);
  EXPECT_EQ(battle.playerArmy->enemy, battle.opponentArmy);
  EXPECT_EQ(battle.playerArmy->side, SIDE_ATTACKER);
}

}  // namespace

namespace {

TEST(BattleStart, SetScenarioStoresItAndHandsTheLoadToTheLoadingScreen) {
  SIM_Battle& battle = GetBattle();
  int loads = 0;
  GetBattleHooks().beginBattleLoad = [&] { ++loads; };
  SIM_Scenario scenario;
  battle.SetScenario(&scenario);
  EXPECT_EQ(battle.scenario, &scenario);
  EXPECT_EQ(loads, 1);
  // A missing scenario is a failed check, not a crash.
  AssertText[0] = '\0';
  battle.SetScenario(nullptr);
  EXPECT_NE(std::string(AssertText).find("nullptr"), std::string::npos) << AssertText;
  EXPECT_EQ(loads, 2);
}

// Starting the fight: an attacking player's deployment is recorded from scratch; a
// defending player's is not recorded at all.
TEST(BattleStart, BeginRecordsTheAttackersArmyOnly) {
  for (const bool defends : {false, true}) {
    GetBattle().playerDefends = defends;
    SIM_Battle& battle = StartBareBattle();
    std::vector<std::string> calls;
    SIM_BattleArmy* recorded = nullptr;
    BattleHooks& hooks = GetBattleHooks();
    hooks.recordingClear = [&] { calls.push_back("clear"); };
    hooks.recordingSetMode = [&](int mode) { calls.push_back("mode" + std::to_string(mode)); };
    hooks.recordingRecordArmy = [&](SIM_BattleArmy* a) {
      calls.push_back("army");
      recorded = a;
    };
    battle.Begin();
    EXPECT_EQ(battle.state, BATTLE_RUNNING);
    if (defends) {
      EXPECT_TRUE(calls.empty());
    } else {
      EXPECT_EQ(calls, (std::vector<std::string>{"clear", "mode0", "army"}));
      EXPECT_EQ(recorded, battle.playerArmy);
    }
    EXPECT_EQ(battle.playerArmy->side, defends ? SIDE_DEFENDER : SIDE_ATTACKER);
    EXPECT_EQ(battle.opponentArmy->side, defends ? SIDE_ATTACKER : SIDE_DEFENDER);
    hooks = BattleHooks();
  }
}

}  // namespace
