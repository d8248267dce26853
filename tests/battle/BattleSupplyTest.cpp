// The battle drives the supply rules and feeds the route threats: during a running
// battle the player's supplies grow with the scenario's income up to its cap, the
// time limit ends an attacker's income, and the defence standing beside the attack
// routes is what the route threats total.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleAI.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/Squadron.h"
#include "engine/Strings.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"

using namespace battle_test;

namespace {

class BattleSupply : public ::testing::Test {
 protected:
  void SetUp() override {
    SIM_ScenarioManager::Get().Load();
    const auto& campaign = SIM_ScenarioManager::Get().Campaign();
    ASSERT_FALSE(campaign.empty());
    scenario = campaign.front();
    GetBattleHooks().midBattleMessage = [this](const std::string& text) { messages.push_back(text); };
    GetBattleHooks().clearAirDropCrates = [this] { ++crateClears; };
  }

  // Starts the battle for the given side with the classic values set.
  void StartBattle(bool playerDefends) {
    battle = &StartScenarioBattleWithIdleAI(scenario, playerDefends, AI_UNITS_NONE);
  }

  void Frames(int n) {
    for (int i = 0; i < n; ++i) battle->Update();
  }

  int Count(const std::string& key) const {
    int n = 0;
    for (const std::string& m : messages) n += m == GetTranslation(key) ? 1 : 0;
    return n;
  }

  SIM_Scenario* scenario = nullptr;
  SIM_Battle* battle = nullptr;
  std::vector<std::string> messages;
  int crateClears = 0;
};

TEST_F(BattleSupply, SuppliesRiseWithIncomeWhileRunningAndStopAtTheCap) {
  ClassicModeValues& c = scenario->classic;
  c.attackSuppliesPerSecondStart = c.attackSuppliesPerSecondEnd = 40.0f;
  c.startingSuppliesAttacker = 100.0f;
  c.suppliesCap = 120.0f;
  c.timeLimit = 600000.0f;
  StartBattle(false);
  Gameplay& gameplay = GetGameplay();
  EXPECT_FLOAT_EQ(gameplay.supplies, 100.0f);

  // Deployment: the clock and the income stand still.
  Frames(40);
  EXPECT_FLOAT_EQ(gameplay.supplies, 100.0f);
  EXPECT_FLOAT_EQ(gameplay.supplyClock, 0.0f);

  battle->Begin();
  // 16 frames = 4 checks = 256 ms: two whole income periods of 100 ms at 4 a period.
  Frames(16);
  EXPECT_FLOAT_EQ(gameplay.supplyClock, 256.0f);
  EXPECT_FLOAT_EQ(gameplay.supplies, 108.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 0);

  // Several seconds later the supplies sit at the cap, announced once.
  Frames(400);
  EXPECT_FLOAT_EQ(gameplay.supplies, 120.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 1);

  // Spending re-arms the message: income refills the depot and it is announced again.
  gameplay.SpendSupplies(30.0f);
  EXPECT_FLOAT_EQ(gameplay.supplies, 90.0f);
  Frames(400);
  EXPECT_FLOAT_EQ(gameplay.supplies, 120.0f);
  EXPECT_EQ(Count("MBM_SUPPLYCAP_REACHED"), 2);
}

TEST_F(BattleSupply, TheTimeLimitEndsAnAttackersIncomeOnly) {
  const struct {
    bool defends;
    bool incomeAfterLimit;
    int exhaustedMessages;
  } cases[] = {{false, false, 1}, {true, true, 0}};
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.defends ? "player defends" : "player attacks");
    messages.clear();
    crateClears = 0;
    ClassicModeValues& c = scenario->classic;
    c.attackSuppliesPerSecondStart = c.attackSuppliesPerSecondEnd = 10.0f;
    c.suppliesPerSecondStart = c.suppliesPerSecondEnd = 10.0f;
    c.startingSuppliesAttacker = c.startingSuppliesDefender = 0.0f;
    c.suppliesCap = 100000.0f;
    c.timeLimit = 640.0f;  // ten checks
    StartBattle(tc.defends);
    Gameplay& gameplay = GetGameplay();
    SIM_ClassicAttackerAI& attacker = GetAttackerAI();
    attacker.mood = SIM_ClassicAttackerAI::MOOD_HOARD;
    attacker.moodDeployments = 7;
    const int outcomeTests = GetOutcomeManager().testCount;
    battle->Begin();

    Frames(40);  // up to the limit: income flows for both sides
    EXPECT_EQ(gameplay.suppliesExhausted, 0);
    const float atLimit = gameplay.supplies;
    EXPECT_GT(atLimit, 0.0f);

    Frames(40);
    EXPECT_EQ(gameplay.suppliesExhausted, 1);
    if (tc.incomeAfterLimit) {
      EXPECT_GT(gameplay.supplies, atLimit);
    } else {
      EXPECT_FLOAT_EQ(gameplay.supplies, atLimit);
    }
    EXPECT_EQ(Count("MBM_SUPPLIES_EXHAUSTED"), tc.exhaustedMessages);
    // Whichever side the player takes: crates go, a hoarding attacker chooses again,
    // and the outcome is tested.
    EXPECT_EQ(crateClears, 1);
    EXPECT_EQ(attacker.moodDeployments, 0);
    EXPECT_GT(GetOutcomeManager().testCount, outcomeTests);
  }
}

TEST_F(BattleSupply, RouteThreatsTotalTheDefenceBesideTheRoutes) {
  StartBattle(false);
  SIM_RouteThreat* threat = nullptr;
  for (SIM_RouteThreat* t : AllRouteThreats())
    if (!t->coveringSquares.empty()) threat = t;
  ASSERT_NE(threat, nullptr) << "the first campaign map has no defended fork";
  SIM_MapSquare* post = threat->coveringSquares.front();

  // A rifle of 30 damage every 500 ms: 60 per second.
  Catalogue cat;
  SIM_ModuleType* rifle = cat.Module("rifle", "SIM_KineticWeaponComponent",
                                     "damage = 30\nfire_interval = 500\nwarhead = BULLET\n"
                                     "effective_vs_armor = 0.5\neffective_vs_shield = 0.25\n"
                                     "hit_vs_infantry = 2\n");
  SIM_UnitDesign* trooper = cat.Design(cat.Hull("trooper", SIZETYPE_INFANTRY, 1, 10.0f, 8.0f), {rifle});

  threat->Recalculate();
  EXPECT_FLOAT_EQ(threat->threatInfantry, 0.0f);
  EXPECT_FALSE(threat->dirty);

  SIM_BattleUnit* squad = battle->opponentArmy->DeployDesign(post->column, post->row, trooper, 5, 0.0f, true);
  ASSERT_NE(squad, nullptr);
  EXPECT_TRUE(threat->dirty) << "a squad on a covering square changes the threat";
  threat->Recalculate();
  EXPECT_FLOAT_EQ(threat->threatInfantry, 5 * 60.0f * 2.0f);
  EXPECT_FLOAT_EQ(threat->threatArmour, 5 * 60.0f * 0.5f);
  EXPECT_FLOAT_EQ(threat->threatShields, 5 * 60.0f * 0.25f);

  // A fallen soldier weakens the squad.
  auto* squadron = static_cast<SIM_BattleSquadron*>(squad);
  squadron->OnMemberLost(squadron->livingMembers.front());
  threat->Recalculate();
  EXPECT_FLOAT_EQ(threat->threatInfantry, 4 * 60.0f * 2.0f);
  // A defender killed in battle marks the threat stale by itself.
  squadron->livingMembers.front()->Destroy();
  EXPECT_TRUE(threat->dirty) << "a fallen defender must refresh the threat of its square";
  threat->Recalculate();
  EXPECT_FLOAT_EQ(threat->threatInfantry, 3 * 60.0f * 2.0f);

  // The square emptied: nothing threatens from it any more.
  squad->LeaveGrid();
  EXPECT_TRUE(threat->dirty);
  threat->Recalculate();
  EXPECT_FLOAT_EQ(threat->threatInfantry, 0.0f);
}

}  // namespace

namespace {

// Once time is up with the victory-point target nearly reached, a hoarding attacker
// must spend: the mood draw may no longer end in HOARD.
TEST(AttackerMood, HoardTurnsSteadyOnlyWhenTimeIsUpNearTheTarget) {
  const struct {
    const char* what;
    float total;  // victory points gained of a target of 100
    int exhausted;
    bool hoardPossible;
  } cases[] = {{"time up, 5 points short", 95.0f, 1, false},
               {"time up, 50 points short", 50.0f, 1, true},
               {"time up, target reached", 100.0f, 1, true},
               {"time left, 5 points short", 95.0f, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleOutcomeManager& outcome = GetOutcomeManager();
    outcome.target = 100.0f;
    outcome.total = c.total;
    GetGameplay().suppliesExhausted = c.exhausted;
    SIM_ClassicAttackerAI& ai = GetAttackerAI();
    bool sawHoard = false;
    for (int draw = 0; draw < 64; ++draw) {
      ai.moodDeployments = 3;
      ai.ChooseMood();
      EXPECT_EQ(ai.moodDeployments, 0);
      sawHoard = sawHoard || ai.mood == SIM_ClassicAttackerAI::MOOD_HOARD;
    }
    EXPECT_EQ(sawHoard, c.hoardPossible);
  }
}

}  // namespace
