// Gameplay constants, the player's supplies, income, the cap and the time limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "battle/Gameplay.h"
#include "simdata/Scenario.h"
#include "support/ScenarioFixtures.h"

namespace {

// A battle in progress as the supply rules see it, recording what they call.
class SupplyTest : public ::testing::Test {
 protected:
  SupplyTest() {
    scenario.classic.suppliesPerSecondStart = 10.0f;
    scenario.classic.suppliesPerSecondEnd = 20.0f;
    scenario.classic.attackSuppliesPerSecondStart = 30.0f;
    scenario.classic.attackSuppliesPerSecondEnd = 50.0f;
    scenario.classic.suppliesCap = 1000.0f;
    scenario.classic.timeLimit = 60000.0f;
    scenario.classic.startingSuppliesAttacker = 700.0f;
    scenario.classic.startingSuppliesDefender = 400.0f;
  }

  Gameplay& Start(bool playerDefends) {
    gameplay.StartBattle(&scenario, playerDefends);
    GameplayHooks& hooks = gameplay.hooks;
    hooks.battleRunning = [this] { return running; };
    hooks.clearAirDrops = [this] { calls.push_back("clearAirDrops"); };
    hooks.rechooseAttackerMoodIfHoarding = [this] { calls.push_back("mood"); };
    hooks.postMessage = [this](const std::string& key) { calls.push_back(key); };
    hooks.playAirRaidSiren = [this] { calls.push_back("siren"); };
    hooks.testOutcome = [this] { calls.push_back("outcome"); };
    hooks.opponentSupplyStep = [this] { ++opponentSteps; };
    return gameplay;
  }

  // One 64 ms check step of the battle.
  void Check() {
    gameplay.CheckSupplyTime();
    gameplay.UpdateIncome();
  }

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  SIM_Scenario scenario;
  Gameplay gameplay;
  bool running = true;
  std::vector<std::string> calls;
  int opponentSteps = 0;
};

TEST_F(SupplyTest, BattleStartTakesTheStartingSuppliesOfThePlayersSide) {
  gameplay.supplyClock = 5000.0f;
  gameplay.suppliesExhausted = 1;
  gameplay.valueLost = 80.0f;
  EXPECT_FLOAT_EQ(Start(true).supplies, 400.0f);
  EXPECT_FLOAT_EQ(gameplay.supplyClock, 0.0f);
  EXPECT_EQ(gameplay.suppliesExhausted, 0);
  EXPECT_FLOAT_EQ(gameplay.valueLost, 0.0f);
  EXPECT_FLOAT_EQ(Start(false).supplies, 700.0f);
}

TEST_F(SupplyTest, IncomeComesInWholePeriodsOfOneHundredMilliseconds) {
  Start(true).supplies = 0.0f;
  Check();
  EXPECT_FLOAT_EQ(gameplay.incomeAccumulator, 64.0f);
  EXPECT_FLOAT_EQ(gameplay.supplies, 0.0f);
  EXPECT_EQ(opponentSteps, 0);
  Check();
  EXPECT_FLOAT_EQ(gameplay.incomeAccumulator, 28.0f);
  EXPECT_GT(gameplay.supplies, 0.0f);
  EXPECT_EQ(opponentSteps, 1);
  EXPECT_FLOAT_EQ(gameplay.supplyClock, 128.0f);
}

struct IncomeCase {
  const char* label;
  bool defends;
  int difficulty;
  float clock;
  bool exhausted;
  float expected;  // supplies granted by one period
};

class Income : public SupplyTest, public ::testing::WithParamInterface<IncomeCase> {};

TEST_P(Income, FollowsTheRateDifficultyAndTimeLimit) {
  const IncomeCase& c = GetParam();
  Start(c.defends).supplies = 0.0f;
  gameplay.Difficulty = c.difficulty;
  gameplay.supplyClock = c.clock;
  gameplay.suppliesExhausted = c.exhausted ? 1 : 0;
  gameplay.incomeAccumulator = 64.0f;  // the next step completes one period
  gameplay.UpdateIncome();
  EXPECT_FLOAT_EQ(gameplay.supplies, c.expected);
  EXPECT_EQ(opponentSteps, 1);  // runs even when the income is 0
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Income,
    ::testing::Values(
        // Halfway through the time: rate 15 per second, 1.5 per period.
        IncomeCase{"medium", true, 1, 30000, false, 1.5f}, IncomeCase{"easy", true, 0, 30000, false, 1.875f},
        IncomeCase{"hard", true, 2, 30000, false, 1.125f}, IncomeCase{"start_rate", true, 1, 0, false, 1.0f},
        // The attacking player has its own rates: 30 + 0.5 x 20 = 40 per second.
        IncomeCase{"attacker_rate", false, 1, 30000, false, 4.0f},
        // After the time limit the defender keeps the end rate, the attacker gets nothing.
        IncomeCase{"defender_after_time", true, 1, 90000, true, 2.0f},
        IncomeCase{"attacker_after_time", false, 1, 90000, true, 0.0f}),
    [](const ::testing::TestParamInfo<IncomeCase>& info) { return std::string(info.param.label); });

TEST_F(SupplyTest, CapMessageIsPostedOnceUntilSuppliesDropBelowTheCap) {
  Start(true).supplies = 999.5f;
  scenario.classic.suppliesPerSecondStart = scenario.classic.suppliesPerSecondEnd = 100.0f;  // 10 a period
  gameplay.incomeAccumulator = 64.0f;
  gameplay.UpdateIncome();
  EXPECT_FLOAT_EQ(gameplay.supplies, 1000.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 1);
  for (int i = 0; i < 10; ++i) Check();
  EXPECT_FLOAT_EQ(gameplay.supplies, 1000.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 1);

  gameplay.SpendSupplies(300.0f);
  for (int i = 0; i < 100; ++i) Check();
  EXPECT_FLOAT_EQ(gameplay.supplies, 1000.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 2);
}

TEST_F(SupplyTest, SpendingCapsOnlyWhileTheBattleRuns) {
  running = false;
  Start(true).supplies = 0.0f;
  gameplay.SpendSupplies(-1500.0f);  // starting supplies above the cap stay
  EXPECT_FLOAT_EQ(gameplay.supplies, 1500.0f);
  Check();  // nothing moves before the fighting starts
  EXPECT_FLOAT_EQ(gameplay.supplyClock, 0.0f);
  EXPECT_FLOAT_EQ(gameplay.incomeAccumulator, 0.0f);

  running = true;
  gameplay.SpendSupplies(-1.0f);
  EXPECT_FLOAT_EQ(gameplay.supplies, 1000.0f);
  gameplay.SpendSupplies(1200.0f);  // overspending is reported and kept
  EXPECT_FLOAT_EQ(gameplay.supplies, -200.0f);
  EXPECT_NE(fixture::ErrorLog().find("Supplies below zero"), std::string::npos);
}

TEST_F(SupplyTest, TimeLimitExhaustsSuppliesOnce) {
  struct Case {
    bool defends;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {false, {"clearAirDrops", "mood", "MBM_SUPPLIES_EXHAUSTED", "siren", "outcome"}},
      {true, {"clearAirDrops", "mood", "outcome"}},
  };
  for (const Case& c : cases) {
    calls.clear();
    Start(c.defends);
    scenario.classic.timeLimit = 640.0f;
    for (int i = 0; i < 10; ++i) gameplay.CheckSupplyTime();
    EXPECT_EQ(gameplay.suppliesExhausted, 0);  // 640 is not past 640
    gameplay.CheckSupplyTime();
    EXPECT_EQ(gameplay.suppliesExhausted, 1);
    for (int i = 0; i < 10; ++i) gameplay.CheckSupplyTime();
    EXPECT_EQ(calls, c.calls) << "defends " << c.defends;
  }
}

TEST_F(SupplyTest, ZeroTimeLimitEndsAtOnceWithoutNaN) {
  scenario.classic.timeLimit = 0.0f;
  Start(true).supplies = 0.0f;
  Check();
  Check();
  EXPECT_EQ(gameplay.suppliesExhausted, 1);
  EXPECT_FLOAT_EQ(gameplay.supplies, 2.0f);  // the end rate, 20 per second
}

TEST_F(SupplyTest, ArmyTallyAddsLostValueFieldAndSupplies) {
  Start(false).supplies = 250.0f;
  gameplay.valueLost = 300.0f;
  gameplay.TallyArmyValue(450.0f);
  EXPECT_FLOAT_EQ(gameplay.valueOnField, 450.0f);
  EXPECT_FLOAT_EQ(gameplay.armyValue, 1000.0f);
}

TEST(StepRate, MeasuresSixtyUpdatesAndSurvivesAFrozenClock) {
  struct Case {
    uint64_t elapsed;
    float expected;
  };
  // 60 updates of 16 ms is the nominal rate; no time at all keeps the last rate.
  const Case cases[] = {{960, 1.0f}, {1920, 0.5f}, {480, 2.0f}, {0, 1.0f}};
  for (const Case& c : cases) {
    StepRateMeter meter;
    for (int i = 0; i < 60; ++i) meter.Tick(uint64_t{5000});
    EXPECT_FLOAT_EQ(meter.rate, 1.0f);
    meter.Tick(5000 + c.elapsed);
    EXPECT_FLOAT_EQ(meter.rate, c.expected) << c.elapsed;
  }
}

TEST(GameplayConstants, ShippedFileSetsEveryKey) {
  const Gameplay& gameplay = GetGameplay();
  const float values[] = {gameplay.DECONSTRUCT_SPEED_MULTIPLIER,
                          gameplay.DECONSTRUCT_RECOVERY_RATE,
                          gameplay.CONSTRUCTION_SPEED_SMALL,
                          gameplay.CONSTRUCTION_SPEED_MEDIUM,
                          gameplay.CONSTRUCTION_SPEED_LARGE,
                          gameplay.AI_HOARDSIZE,
                          gameplay.AI_MODE_DURATION,
                          gameplay.DEFENDER_DAMAGE_MULT,
                          gameplay.DEFENDER_DEFENSE_BONUS,
                          gameplay.SUPPORT_DAMAGE_REDUCTION,
                          gameplay.SUPPORT_COMMAND_ROFBONUS,
                          gameplay.AI_CHEAT_DAMAGE_REDUCTION,
                          gameplay.DOGTAG_LIFETIME,
                          gameplay.DOGTAG_VALUE};
  for (float value : values) EXPECT_GT(value, 0.0f);
  // Fractions that must stay fractions, or damage and reloads turn negative.
  for (float fraction : {gameplay.SUPPORT_DAMAGE_REDUCTION, gameplay.SUPPORT_COMMAND_ROFBONUS,
                         gameplay.AI_CHEAT_DAMAGE_REDUCTION, gameplay.DECONSTRUCT_RECOVERY_RATE}) {
    EXPECT_LT(fraction, 1.0f);
  }
  EXPECT_EQ(gameplay.Difficulty, 1);
}

TEST(GameplayConstants, MissingFileReadsZero) {
  Gameplay gameplay;
  gameplay.LoadConstants("data/no_such_gameplay.ini");
  EXPECT_FLOAT_EQ(gameplay.DOGTAG_VALUE, 0.0f);
  EXPECT_FLOAT_EQ(gameplay.DEFENDER_DEFENSE_BONUS, 0.0f);
}

}  // namespace
