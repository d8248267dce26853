// Who wins: the outcome rules table, the player's records written by a decided battle,
// and a whole headless battle on shipped content that ends the same way twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleStats.h"
#include "engine/Singletons.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "simdata/HighScores.h"
#include "simdata/Scenario.h"
#include "support/TestSupport.h"

using namespace battle_test;

namespace {

class OutcomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SIM_UnitDesignManager::Get().Load();
    cheapest = SIM_BattleOutcomeManager::PlayerCheapestDesignCost();
    ASSERT_LT(cheapest, SIM_BattleOutcomeManager::kNoDesignCost) << "no design the player could deploy";
    scenario.name = "outcome_fixture";
    scenario.origin = SIM_Scenario::ORIGIN_OTHER;
    scenario.classic.hpLeftLimit = 3.0f;
    hull = cat.Hull("runner", SIZETYPE_TANK, 1, 100.0f);
    hull->victoryPoints = 1.0f;
    design = cat.Design(hull, {});
  }

  // A battle for the side, decided by nothing yet.
  SIM_Battle& Start(bool playerDefends) {
    SIM_Battle& battle = GetBattle();
    battle.playerDefends = playerDefends;
    StartBareBattle();
    battle.scenario = &scenario;
    GetOutcomeManager().Reset(&scenario);
    battle.Begin();
    return battle;
  }

  // Units of the attacking side that left through the exits.
  void Exit(SIM_BattleArmy* army, int units) {
    for (int i = 0; i < units; ++i) {
      SIM_BattleUnit* u = AddUnit(design, army);
      army->RemoveLiving(u);
      GetOutcomeManager().OnUnitExited(u);
    }
  }

  Catalogue cat;
  SIM_Scenario scenario;
  SIM_UnitHull* hull = nullptr;
  SIM_UnitDesign* design = nullptr;
  float cheapest = 0.0f;
};

TEST_F(OutcomeTest, EachRuleDecidesForOneSideAndAgainstTheOther) {
  const struct Case {
    const char* name;
    bool playerDefends;
    int exited;          // attacker units through the exits (target 3)
    bool timeUp;         // the scenario's time limit has passed
    bool attackerAlive;  // the attacker still has a unit on the field
    bool canAfford;      // the attacking player can still pay for his cheapest design
    int outcome;
  } cases[] = {
      {"attacker reached the target, time up, nothing left", false, 3, true, false, false, OUTCOME_VICTORY},
      {"attacker short of the target, time up, nothing left", false, 1, true, false, false, OUTCOME_DEFEAT},
      {"the attacker waits for the clock", false, 3, false, false, false, OUTCOME_UNDECIDED},
      {"the attacker still fights", false, 3, true, true, false, OUTCOME_UNDECIDED},
      {"the attacker can still deploy", false, 3, true, false, true, OUTCOME_UNDECIDED},
      {"a defender outlasts an attacker short of the target", true, 1, true, false, false, OUTCOME_VICTORY},
      {"a computer attacker reaching the target wins at once", true, 3, false, true, false, OUTCOME_DEFEAT},
      {"a defender waits for the clock", true, 1, false, false, false, OUTCOME_UNDECIDED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetAllSingletons();
    SIM_UnitDesignManager::Get().Load();
    SIM_Battle& battle = Start(c.playerDefends);
    Exit(battle.AttackerArmy(), c.exited);
    if (c.attackerAlive) AddUnit(design, battle.AttackerArmy());
    GetGameplay().suppliesExhausted = c.timeUp ? 1 : 0;
    GetGameplay().supplies = c.canAfford ? cheapest : cheapest - 1.0f;
    GetOutcomeManager().TestIfUndecided();
    EXPECT_EQ(battle.outcome, c.outcome);
    SIM_GlobalStats& stats = SIM_GlobalStats::Get();
    EXPECT_EQ(stats.GetStat("battles_won"), c.outcome == OUTCOME_VICTORY ? 1 : 0);
    EXPECT_EQ(stats.GetStat("battles_lost"), c.outcome == OUTCOME_DEFEAT ? 1 : 0);
    EXPECT_EQ(stats.GetStat("battles_fought"), c.outcome == OUTCOME_UNDECIDED ? 0 : 1);
    EXPECT_EQ(battle.outcomeDecided, c.outcome != OUTCOME_UNDECIDED);
    // A decided battle stays decided: later tests and exits change nothing.
    const int decided = battle.outcome;
    if (decided != OUTCOME_UNDECIDED) {
      Exit(battle.AttackerArmy(), 5);
      GetOutcomeManager().TestIfUndecided();
      EXPECT_EQ(battle.outcome, decided);
      EXPECT_EQ(stats.GetStat("battles_fought"), 1);
    }
  }
}

TEST_F(OutcomeTest, TheAttackingPlayerIsToldOnceThatTheTargetIsReached) {
  std::vector<std::string> messages;
  GetBattleHooks().midBattleMessage = [&](const std::string& m) { messages.push_back(m); };
  SIM_Battle& battle = Start(false);
  Exit(battle.playerArmy, 5);
  EXPECT_EQ(battle.outcome, OUTCOME_UNDECIDED);
  EXPECT_EQ(messages.size(), 1u);
  GetBattleHooks().midBattleMessage = nullptr;
}

TEST_F(OutcomeTest, AVictoryWritesScoresStatisticsAndUnlocksOnce) {
  SIM_Battle& battle = Start(false);
  GetGameplay().Difficulty = 2;
  Exit(battle.playerArmy, 4);
  GetGameplay().suppliesExhausted = 1;
  GetGameplay().supplies = 0.0f;
  GetOutcomeManager().TestIfUndecided();
  ASSERT_EQ(battle.outcome, OUTCOME_VICTORY);
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  EXPECT_EQ(stats.GetStat("consecutive_victories"), 1);
  EXPECT_EQ(stats.GetStat("victory_noinfantry"), 1) << "no infantry was deployed";
  EXPECT_EQ(stats.GetStat("battles_fought_attacker"), 1);
  EXPECT_FLOAT_EQ(SIM_HighScores::Get().GetScore(scenario.name, 2, true), 4.0f);
  EXPECT_TRUE(SIM_HighScores::Get().IsUnlocked(scenario.name) ||
              !SIM_UnlocksManager::Get().TryFind(scenario.name));
}

TEST_F(OutcomeTest, AWonChallengeIsBeatenButUnlocksNothingItNames) {
  scenario.origin = SIM_Scenario::ORIGIN_ADDED;
  scenario.unlockLinks = {"night_citadel"};
  // A downloaded challenge carries its server id; many challenges share one map name.
  scenario.id = "zk77";
  SIM_Battle& battle = Start(true);
  GetGameplay().suppliesExhausted = 1;
  GetOutcomeManager().TestIfUndecided();
  ASSERT_EQ(battle.outcome, OUTCOME_VICTORY);
  EXPECT_TRUE(SIM_HighScores::Get().IsChallengeBeaten("zk77")) << "the browser looks it up by its id";
  EXPECT_FALSE(SIM_HighScores::Get().IsChallengeBeaten(scenario.name)) << "not every challenge on this map";
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("online_games_fought"), 1);
  EXPECT_FALSE(SIM_HighScores::Get().IsUnlocked("night_citadel"));
}

TEST(CampaignVictory, UnlocksTheLinkedBattlesAndWhatTheUnlockTableTiesToIt) {
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* first = SIM_ScenarioManager::Get().Find("border_crossing");
  ASSERT_NE(first, nullptr);
  SIM_HighScores& records = SIM_HighScores::Get();
  ASSERT_FALSE(records.IsUnlocked("river_fords"));
  ASSERT_FALSE(records.IsUnlocked("inf_grenadier"));
  records.Unlock(*first);
  EXPECT_TRUE(records.IsUnlocked("river_fords"));
  EXPECT_TRUE(records.IsUnlocked("inf_grenadier"));
  EXPECT_FALSE(records.IsUnlocked("desert_pass")) << "only the next battles open";
}

TEST(CampaignBeaten, EachDifficultyNeedsAScoreOnEveryCampaignMap) {
  SIM_ScenarioManager::Get().Load();
  const auto& campaign = SIM_ScenarioManager::Get().Campaign();
  ASSERT_GE(campaign.size(), 2u);
  SIM_HighScores& records = SIM_HighScores::Get();
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  for (size_t i = 0; i + 1 < campaign.size(); ++i) records.SetScore(campaign[i]->name, 0, i % 2 == 0, 10.0f);
  GetBattle().CheckCampaignBeaten();
  EXPECT_EQ(stats.GetStat("campaign_beaten_low"), 0);
  records.SetScore(campaign.back()->name, 0, false, 5.0f);  // the defender's side counts too
  GetBattle().CheckCampaignBeaten();
  EXPECT_EQ(stats.GetStat("campaign_beaten_low"), 1);
  EXPECT_EQ(stats.GetStat("campaign_beaten_medium"), 0);
  EXPECT_EQ(stats.GetStat("campaign_beaten_high"), 0);
}

// Winning the one campaign map still without a score beats the campaign in that very
// battle: its medal is among those the battle's end awards, on either side.
TEST(CampaignBeaten, WinningTheLastMapAwardsTheCampaignMedalAtThatBattlesEnd) {
  for (const bool playerDefends : {false, true}) {
    SCOPED_TRACE(playerDefends ? "defending" : "attacking");
    ResetAllSingletons();
    for (const char* record : {"stat.ini", "medals.dat", "hs.dat"})
      std::remove((zt_test::UserRoot() + "/" + record).c_str());
    ScopedRecordingView views;
    SIM_ScenarioManager::Get().Load();
    SIM_UnitDesignManager::Get().Load();
    const auto& campaign = SIM_ScenarioManager::Get().Campaign();
    ASSERT_GE(campaign.size(), 2u);
    SIM_HighScores& records = SIM_HighScores::Get();
    for (size_t i = 0; i + 1 < campaign.size(); ++i) records.SetScore(campaign[i]->name, 0, true, 10.0f);
    SIM_Scenario* last = campaign.back();
    ASSERT_EQ(records.GetScore(last->name, 0, true) + records.GetScore(last->name, 0, false), 0.0f);

    SIM_Battle& battle = GetBattle();
    battle.playerDefends = playerDefends;
    StartBareBattle();
    battle.scenario = last;
    GetOutcomeManager().Reset(last);
    battle.Begin();
    Gameplay& g = GetGameplay();
    g.Difficulty = 0;
    // The attacker through with the target, or the defender outlasting the clock.
    if (!playerDefends) GetOutcomeManager().total = GetOutcomeManager().target;
    g.suppliesExhausted = 1;
    g.supplies = playerDefends ? 250.0f : 0.0f;
    GetOutcomeManager().TestIfUndecided();
    ASSERT_EQ(battle.outcome, OUTCOME_VICTORY);
    EXPECT_GT(records.GetScore(last->name, 0, !playerDefends), 0.0f);
    EXPECT_EQ(SIM_GlobalStats::Get().GetStat("campaign_beaten_low"), 1) << "beaten by this victory";
    battle.endStartMs -= 3000.0;
    battle.Update();
    ASSERT_EQ(battle.state, BATTLE_OVER);
    const std::vector<std::string> medals = SIM_AchievementList::Get().NewlyUnlockedNames();
    EXPECT_NE(std::find(medals.begin(), medals.end(), "ACH_CAMPAIGN_EASY"), medals.end());
  }
}

// ------------------------------------------------------- a whole battle, twice

struct BattleResult {
  int outcome = 0;
  int frames = 0;
  int64_t checks = 0;
  std::vector<std::vector<float>> groupSums;
  float opponentShots = 0.0f;
  std::vector<std::string> achievements;
  bool operator==(const BattleResult& o) const {
    return outcome == o.outcome && frames == o.frames && checks == o.checks && groupSums == o.groupSums &&
           opponentShots == o.opponentShots && achievements == o.achievements;
  }
};

SIM_UnitDesign* ArmedVehicle() {
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->hull && d->hull->sizeType == SIZETYPE_TANK && d->weapon) return d.get();
  return nullptr;
}

// The player defends with three tanks against one attacking tank; the time limit is
// short. The attacker falls, the time runs out, the defender wins.
BattleResult FightShippedBattle(uint32_t seed) {
  ResetAllSingletons();
  // Each fight starts from a new player: a battle's end keeps its counters and medals on
  // disk, and the second fight must not find the first one's.
  for (const char* record : {"stat.ini", "medals.dat"})
    std::remove((zt_test::UserRoot() + "/" + record).c_str());
  ScopedRecordingView views;
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* scenario = SIM_ScenarioManager::Get().Find("border_crossing");
  EXPECT_NE(scenario, nullptr);
  if (!scenario) return {};
  SIM_UnitDesignManager::Get().Load();
  SIM_UnitDesign* tank = ArmedVehicle();
  EXPECT_NE(tank, nullptr);
  if (!tank) return {};
  SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, true, AI_UNITS_NONE);
  scenario->classic.timeLimit = 3000.0f;
  InitRandomWithSeed(seed);
  auto place = [&](SIM_BattleArmy* army, float x, float y, float heading) {
    SIM_BattleUnit* u = AddUnit(tank, army);
    u->x = x;
    u->y = y;
    u->heading = heading;
    u->OnDeployed();
    return u;
  };
  for (int i = 0; i < 3; ++i) place(battle.playerArmy, 500.0f, 450.0f + 100.0f * i, 90.0f);
  SIM_BattleUnit* raider = place(battle.opponentArmy, 750.0f, 550.0f, 270.0f);
  battle.Begin();
  BattleResult r;
  for (; r.frames < 40000 && battle.outcome == OUTCOME_UNDECIDED; ++r.frames) battle.Update();
  // The end follows 2 s of real time later; do not wait for it.
  battle.endStartMs -= 3000.0;
  battle.Update();
  EXPECT_EQ(battle.state, BATTLE_OVER);
  r.outcome = battle.outcome;
  r.checks = battle.checkCount;
  SIM_BattleStatsDatabase stats;
  stats.Build();
  for (const auto& g : stats.groups) r.groupSums.emplace_back(std::begin(g->sums), std::end(g->sums));
  r.opponentShots = raider->damageTally->shotsFired;
  r.achievements = SIM_AchievementList::Get().NewlyUnlockedNames();
  return r;
}

TEST(ShippedBattleOutcome, TwoFixedArmiesWithAFixedSeedEndTheSameWayTwice) {
  const BattleResult first = FightShippedBattle(2024);
  const BattleResult again = FightShippedBattle(2024);
  EXPECT_EQ(first.outcome, OUTCOME_VICTORY);
  ASSERT_EQ(first.groupSums.size(), 1u) << "one design, one group";
  EXPECT_GT(first.groupSums[0][STAT_SHOTS_FIRED], 0.0f);
  EXPECT_GT(first.groupSums[0][STAT_TOTAL_DAMAGE], 0.0f);
  EXPECT_NE(std::find(first.achievements.begin(), first.achievements.end(), "ACH_FIRST_VICTORY"),
            first.achievements.end());
  EXPECT_TRUE(first == again) << first.frames << " frames vs " << again.frames;
}

}  // namespace
