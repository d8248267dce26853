// The computer opponents on shipped content: each side's set-up stays within its
// budget, set-ups end on odd data (no designs, no legal square), the AI log is emptied
// at each attacker reset, and the attack zones walk the routes as they should.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleAI.h"
#include "battle/BattleOutcome.h"
#include "battle/CollisionGrid.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

using namespace battle_test;

namespace {

SIM_Scenario* Shipped(const char* name) {
  SIM_ScenarioManager::Get().Load();
  return SIM_ScenarioManager::Get().Find(name);
}

float ValueOf(const SIM_BattleArmy* army) {
  float v = 0.0f;
  for (const SIM_BattleUnit* u : army->allUnits)
    if (u->design) v += u->design->cost;
  return v;
}

class ComputerOpponent : public ::testing::TestWithParam<const char*> {
 protected:
  ScopedRecordingView views;
};

TEST_P(ComputerOpponent, EachSideDeploysWithinItsBudget) {
  SIM_Scenario* scenario = Shipped(GetParam());
  ASSERT_NE(scenario, nullptr);
  SIM_UnitDesignManager::Get().Load();
  for (const bool playerDefends : {true, false}) {
    SCOPED_TRACE(playerDefends ? "attacker AI" : "defender AI");
    SIM_Battle& battle = GetBattle();
    battle.useFixedSeed = true;
    battle.fixedSeed = 7;
    StartScenarioBattle(scenario, playerDefends, AI_UNITS_ALL);
    const float budget = playerDefends ? scenario->classic.startingSuppliesAttacker
                                       : scenario->classic.startingSuppliesDefender;
    const float spent = ValueOf(battle.opponentArmy);
    EXPECT_GT(spent, 0.0f) << "the computer set up nothing";
    EXPECT_LE(spent, budget);
    EXPECT_TRUE(battle.playerArmy->allUnits.empty());
    if (playerDefends) {
      EXPECT_NEAR(GetAttackerAI().supplies, budget - spent, 0.01f);
      // Every attacker stands on an attacker square, every defender on a defender one.
      for (const SIM_BattleUnit* u : battle.opponentArmy->movers) {
        const SIM_MapSquare* s = scenario->GetSquareAt(u->x, u->y);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->attackerFlag);
      }
    } else {
      EXPECT_NEAR(GetDefenderAI().budget, budget - spent, 0.01f);
      for (const SIM_BattleUnit* u : battle.opponentArmy->movers) {
        const SIM_MapSquare* s = scenario->GetSquareAt(u->x, u->y);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->defenderFlag);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ComputerOpponent,
                         ::testing::Values("border_crossing", "desert_pass", "frostfall_pass",
                                           "capital_gates"));

// Odd data must not leave the loading screen spinning.
class OpponentSetUp : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void SetUp() override {
    scenario = Shipped("border_crossing");
    ASSERT_NE(scenario, nullptr);
    SIM_UnitDesignManager::Get().Load();
  }
  SIM_Scenario* scenario = nullptr;
};

TEST_F(OpponentSetUp, EndsWithAnEmptyDesignList) {
  // Attacker: the pool emptied after the reset, preparation asked again.
  SIM_Battle& battle = StartScenarioBattle(scenario, true, AI_UNITS_ALL);
  SIM_ClassicAttackerAI& attacker = GetAttackerAI();
  const size_t before = battle.opponentArmy->allUnits.size();
  attacker.SetPool({});
  attacker.supplies = 100000.0f;
  EXPECT_EQ(attacker.PrepareBattleStart(), 0);
  EXPECT_EQ(battle.opponentArmy->allUnits.size(), before);
  EXPECT_FALSE(attacker.CanStillDeploy()) << "nothing to deploy must let the battle end";

  // Defender: no design in any list.
  StartScenarioBattle(scenario, false, AI_UNITS_ALL);
  SIM_ClassicDefenderAI& defender = GetDefenderAI();
  GetAIDesignList().Clear();
  defender.budget = 100000.0f;
  defender.threshold = 0.0f;
  EXPECT_EQ(defender.PrepareBattleStart(SIM_Battle::kMaxPreparePasses), 1);
}

TEST_F(OpponentSetUp, EndsWhenEverySquareIsBlocked) {
  Catalogue cat;
  for (const bool playerDefends : {true, false}) {
    SCOPED_TRACE(playerDefends ? "attacker AI" : "defender AI");
    SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, playerDefends, AI_UNITS_ALL);
    SIM_CollisionGrid& grid = GetCollisionGrid();
    // A blocker on every cell of the map.
    SIM_UnitDesign* rock = cat.Design(cat.Hull("rock", SIZETYPE_TANK, 0, 10.0f), {});
    SIM_BattleUnit* blocker = AddUnit(rock, battle.playerArmy);
    for (auto& cell : grid.cells) cell->occupant = blocker;
    const size_t before = battle.opponentArmy->allUnits.size();
    if (playerDefends) {
      SIM_ClassicAttackerAI& attacker = GetAttackerAI();
      attacker.Reset(battle.opponentArmy);
      attacker.supplies = 100000.0f;
      EXPECT_EQ(attacker.PrepareBattleStart(), 0);
    } else {
      SIM_ClassicDefenderAI& defender = GetDefenderAI();
      defender.Reset(battle.opponentArmy, false);
      defender.budget = 100000.0f;
      EXPECT_EQ(defender.PrepareBattleStart(SIM_Battle::kMaxPreparePasses), 1);
    }
    EXPECT_EQ(battle.opponentArmy->allUnits.size(), before);
    for (auto& cell : grid.cells) cell->occupant = nullptr;
  }
}

// "ailog.txt" in the user folder is removed at each attacker reset and at no other
// time; a missing file is no error.
TEST(AILog, EmptiedAtEachAttackerReset) {
  ScopedRecordingView views;
  SIM_Scenario* scenario = Shipped("border_crossing");
  ASSERT_NE(scenario, nullptr);
  SIM_UnitDesignManager::Get().Load();
  const std::string path = SIM_AILog::Path();
  auto write = [&] { std::ofstream(path) << "left over\n"; };
  auto exists = [&] { return std::ifstream(path).good(); };

  StartScenarioBattleWithIdleAI(scenario, true, AI_UNITS_ALL);
  EXPECT_FALSE(exists());
  write();
  ASSERT_TRUE(exists());
  GetBattle().Update();
  EXPECT_TRUE(exists()) << "only a reset removes it";
  GetAttackerAI().Reset();
  EXPECT_FALSE(exists());
  SIM_AILog::Get().Clear();  // already gone: nothing happens
  EXPECT_FALSE(exists());
}

// A small map of hand-made squares for the attack zones.
class ZoneMap : public ::testing::Test {
 protected:
  // Squares on one row numbered by column; links by number.
  SIM_MapSquare* Add(int column, int row, std::vector<int32_t> links, bool defender = false) {
    auto s = std::make_unique<SIM_MapSquare>();
    s->column = column;
    s->row = row;
    s->number = row * scenario.maxCols + column;
    s->centreX = column * 200.0f + 100.0f;
    s->centreY = row * 200.0f + 100.0f;
    s->links = std::move(links);
    s->defenderFlag = defender;
    if (defender) scenario.defenderSquares.push_back(s.get());
    scenario.squaresByNumber[static_cast<size_t>(s->number)] = s.get();
    scenario.grid.push_back(std::move(s));
    return scenario.grid.back().get();
  }
  void SetUp() override {
    scenario.maxCols = 20;
    scenario.maxRows = 20;
    scenario.squaresByNumber.assign(400, nullptr);
  }
  SIM_Scenario scenario;
};

TEST_F(ZoneMap, ASeedWithoutLinksIsAZoneOfOneSquare) {
  SIM_MapSquare* seed = Add(0, 0, {});
  AttackZone zone(scenario, seed);
  ASSERT_EQ(zone.squares.size(), 1u);
  EXPECT_EQ(zone.squares.front(), seed);
  EXPECT_EQ(zone.counter, 0);
}

TEST_F(ZoneMap, ARingIsWalkedOnceAndALoopingChainEnds) {
  // 0 -> 1 branches to 2 and 3; 2 -> 3 -> 1 closes the ring.
  SIM_MapSquare* seed = Add(0, 0, {1});
  Add(1, 0, {2, 3});
  Add(2, 0, {3});
  Add(3, 0, {1});
  AttackZone zone(scenario, seed);
  EXPECT_EQ(zone.squares.size(), 4u);
  // A chain that links back on itself stops at the depth bound.
  SIM_MapSquare* loop = Add(5, 5, {5 * 20 + 5});
  AttackZone looping(scenario, loop);
  EXPECT_EQ(looping.squares.size(), 1u);
}

TEST_F(ZoneMap, TargetsAreDefenderSquaresCloserThan500Units) {
  SIM_MapSquare* seed = Add(0, 0, {});
  // 500 units right and down of the seed's centre: (600, 100) is not a target; one
  // 1 unit closer is.
  SIM_MapSquare* far = Add(3, 0, {}, true);
  far->centreX = 600.0f;
  SIM_MapSquare* near = Add(0, 3, {}, true);
  near->centreY = 599.0f;
  AttackZone zone(scenario, seed);
  ASSERT_EQ(zone.targets.size(), 1u);
  EXPECT_EQ(zone.targets.front(), near);
}

// The shared factor: 1 before a fifth of the time limit, then following the
// victory-point pace, seen from the other way when the player defends.
TEST(ProgressFactorTest, FollowsTheAttackersPace) {
  ScopedRecordingView views;
  SIM_Scenario* scenario = Shipped("border_crossing");
  ASSERT_NE(scenario, nullptr);
  StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_NONE);
  Gameplay& g = GetGameplay();
  SIM_BattleOutcomeManager& outcome = GetOutcomeManager();
  outcome.target = 100.0f;
  outcome.total = 80.0f;
  g.supplyClock = 0.19f * scenario->classic.timeLimit;
  EXPECT_FLOAT_EQ(ProgressFactor(), 1.0f);
  g.supplyClock = 0.5f * scenario->classic.timeLimit;
  EXPECT_NEAR(ProgressFactor(), 1.105f, 1e-5);
  GetBattle().playerDefends = true;
  EXPECT_NEAR(ProgressFactor(), 0.895f, 1e-5);
}

// Strength 1000, adjuster 1, factor 1, AI army worth 800: 200 plus the bank on medium,
// only the bank on easy.
TEST(DefenderBudget, FollowsThePlayersStrength) {
  ScopedRecordingView views;
  SIM_Scenario* scenario = Shipped("border_crossing");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_NONE);
  scenario->classic.attackerDifficultyAdjuster = 1.0f;
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
  AddUnit(cat.Design(cat.Hull("a", SIZETYPE_TANK, 1, 10.0f), {plate}, 800.0f), battle.opponentArmy);
  AddUnit(cat.Design(cat.Hull("b", SIZETYPE_TANK, 1, 10.0f), {plate}, 600.0f), battle.playerArmy);
  Gameplay& g = GetGameplay();
  g.supplies = 400.0f;
  SIM_ClassicDefenderAI& ai = GetDefenderAI();
  ai.AddRefund(50.0f);
  for (const auto& c : {std::pair<int, float>{1, 250.0f}, {0, 50.0f}, {2, 450.0f + 50.0f}}) {
    g.Difficulty = c.first;
    ai.UpdateBudget();
    EXPECT_NEAR(ai.budget, c.second, 0.01f) << "difficulty " << c.first;
  }
  // Spending comes off the bank first, never below 0.
  ai.AddBudget(-80.0f);
  EXPECT_FLOAT_EQ(ai.bank, 0.0f);
}

}  // namespace
