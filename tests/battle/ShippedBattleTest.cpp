// A whole battle headless on shipped content: a campaign scenario, designs for both
// sides deployed through the armies, the clock stepped at several speeds, units
// landing, one destroyed and purged.
#include <gtest/gtest.h>

#include <algorithm>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnitManager.h"
#include "simdata/GlobalStats.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

using namespace battle_test;

namespace {

SIM_UnitDesign* FirstDesign(const std::vector<std::unique_ptr<SIM_UnitDesign>>& designs,
                            bool (*wanted)(int sizeType)) {
  for (auto& d : designs)
    if (d->hull && wanted(d->hull->sizeType)) return d.get();
  return nullptr;
}
bool IsMobile(int t) { return t == SIZETYPE_TANK || t == SIZETYPE_MECH; }
bool IsInfantry(int t) { return t == SIZETYPE_INFANTRY; }
bool IsBuilding(int t) { return t == SIZETYPE_BUILDING; }

class ShippedBattle : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void SetUp() override {
    SIM_ScenarioManager::Get().Load();
    const auto& campaign = SIM_ScenarioManager::Get().Campaign();
    ASSERT_FALSE(campaign.empty()) << "no campaign scenario under data/scenarios";
    scenario = campaign.front();
    SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
    designs.Load();
    battle = &StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_SCENARIO);
    ASSERT_FALSE(scenario->attackerSquares.empty());
    ASSERT_FALSE(scenario->defenderSquares.empty());
    tankDesign = FirstDesign(designs.Designs(), IsMobile);
    infantryDesign = FirstDesign(designs.Designs(), IsInfantry);
    buildingDesign = FirstDesign(designs.AIDesigns(), IsBuilding);
    if (!buildingDesign) buildingDesign = FirstDesign(designs.Designs(), IsBuilding);
    ASSERT_NE(tankDesign, nullptr);
    ASSERT_NE(infantryDesign, nullptr);
    ASSERT_NE(buildingDesign, nullptr);
  }

  SIM_BattleUnit* Deploy(SIM_BattleArmy* army, SIM_MapSquare* sq, SIM_UnitDesign* d, int count,
                         bool defenderSide) {
    return army->DeployDesign(sq->column, sq->row, d, count, 90.0f, defenderSide);
  }

  SIM_Scenario* scenario = nullptr;
  SIM_Battle* battle = nullptr;
  SIM_UnitDesign *tankDesign = nullptr, *infantryDesign = nullptr, *buildingDesign = nullptr;
};

TEST_F(ShippedBattle, BothSidesDeployLandAndFight) {
  SIM_BattleArmy* player = battle->playerArmy;
  SIM_BattleArmy* opponent = battle->opponentArmy;
  SIM_BattleUnit* tank = Deploy(player, scenario->attackerSquares.front(), tankDesign, 1, false);
  SIM_BattleUnit* squad = Deploy(player, scenario->attackerSquares.back(), infantryDesign, 5, false);
  SIM_BattleUnit* fort = Deploy(opponent, scenario->defenderSquares.front(), buildingDesign, 1, true);
  ASSERT_NE(tank, nullptr);
  ASSERT_NE(squad, nullptr);
  ASSERT_NE(fort, nullptr);
  EXPECT_FLOAT_EQ(player->spentSupplies, tankDesign->cost + 5 * infantryDesign->cost);
  EXPECT_FLOAT_EQ(opponent->spentSupplies, buildingDesign->cost);
  EXPECT_EQ(player->LivingCount(), 6);
  EXPECT_FALSE(squad->IsSingleUnit());
  EXPECT_EQ(tank->state, US_DROPPING_IN);
  EXPECT_FLOAT_EQ(tank->heading, 90.0f);
  const std::string kind = tank->KindName();
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("deployed_total_" + kind), 1);
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("temp_deployed_size_" + kind), 1);
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("deployed_unit_" + tankDesign->hull->name), 1);
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("temp_unit_" + tankDesign->hull->name), 1);
  // The computer's deployments are not the player's record.
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("deployed_unit_" + buildingDesign->hull->name), 0);
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("deployed_total_infantry"), 1);

  // The vehicles land while the sides still deploy (20 frames of 16 ms pass the 250 ms
  // drop), so the fort is placed before the fight and needs no construction.
  for (int i = 0; i < 20; ++i) battle->Update();
  EXPECT_EQ(fort->state, US_ACTIVE);
  EXPECT_FLOAT_EQ(battle->battleClock, 0.0f) << "the battle clock waits for the fight";
  const int64_t checksBefore = battle->checkCount;
  battle->Begin();
  for (int i = 0; i < 40; ++i) battle->Update();
  EXPECT_EQ(battle->checkCount - checksBefore, 10);
  EXPECT_FLOAT_EQ(battle->battleClock, 640.0f);
  EXPECT_EQ(tank->state, US_ACTIVE);
  EXPECT_EQ(fort->state, US_ACTIVE);
  for (SIM_BattleUnit* u : player->livingUnits) {
    if (u->sizeType != SIZE_INFANTRY) continue;
    // Landed: on their way (turning to the squad's first order, or going) or at rest.
    EXPECT_TRUE(u->state == US_ACTIVE || u->state == US_TURNING || u->state == US_SETTLED) << u->state;
  }

  // Speed changes how much battle time a frame carries, pause stops it.
  const struct {
    float speed;
    int frames, checks;
    float clock;
  } steps[] = {{4.0f, 10, 10, 640.0f}, {0.2f, 40, 2, 128.0f}, {1.0f, 8, 2, 128.0f}};
  for (const auto& s : steps) {
    battle->SetSpeed(s.speed);
    const int64_t checks = battle->checkCount;
    const float clock = battle->battleClock;
    for (int i = 0; i < s.frames; ++i) battle->Update();
    EXPECT_EQ(battle->checkCount - checks, s.checks) << s.speed;
    EXPECT_NEAR(battle->battleClock - clock, s.clock, 1e-2) << s.speed;
  }
  battle->SetPaused(true);
  const float frozen = battle->battleClock;
  for (int i = 0; i < 10; ++i) battle->Update();
  EXPECT_FLOAT_EQ(battle->battleClock, frozen);
  battle->SetPaused(false);

  // The player's weapon breaks the building; its wreck outlives it on the screen.
  ASSERT_NE(tank->ratedWeapon, nullptr);
  for (int shot = 0; shot < 10000 && fort->state != US_INACTIVE; ++shot)
    fort->moduleManager->TakeDamageFrom(fort->GetActivePart(), tank, tank->ratedWeapon, 500.0f);
  ASSERT_EQ(fort->state, US_INACTIVE);
  EXPECT_GT(tank->damageTally->totalDamage, 0.0f);
  for (int i = 0; i < 10; ++i) battle->Update();
  EXPECT_EQ(fort->state, US_DESTROYED);
  EXPECT_EQ(opponent->LivingCount(), 0);
  EXPECT_EQ(std::count(GetBattleUnitManager().allUnits.begin(), GetBattleUnitManager().allUnits.end(), fort),
            0);
  EXPECT_GT(views.view.wrecksKept, 0);
}

TEST_F(ShippedBattle, DeploymentOutsideTheSidesSquaresChargesNothing) {
  SIM_MapSquare* closed = nullptr;
  for (auto& sq : scenario->grid)
    if (!sq->attackerFlag) {
      closed = sq.get();
      break;
    }
  ASSERT_NE(closed, nullptr);
  EXPECT_EQ(Deploy(battle->playerArmy, closed, tankDesign, 1, false), nullptr);
  // Cells outside the map and absurd counts come from downloaded recordings.
  EXPECT_EQ(battle->playerArmy->DeployDesign(-1, 0, tankDesign, 1, 0.0f, false), nullptr);
  EXPECT_EQ(battle->playerArmy->DeployDesign(scenario->maxCols, 0, tankDesign, 1, 0.0f, false), nullptr);
  EXPECT_FLOAT_EQ(battle->playerArmy->spentSupplies, 0.0f);
  EXPECT_EQ(battle->playerArmy->LivingCount(), 0);

  SIM_BattleUnit* squad =
      Deploy(battle->playerArmy, scenario->attackerSquares.front(), infantryDesign, 1000, false);
  ASSERT_NE(squad, nullptr);
  EXPECT_EQ(battle->playerArmy->LivingCount(), SIM_BattleArmy::kMaxSquadSize);
}

TEST_F(ShippedBattle, ASquadTooLargeForItsEmplacementIsRefunded) {
  SIM_MapSquare* bunker = nullptr;
  for (SIM_MapSquare* sq : scenario->defenderSquares)
    if (sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) bunker = sq;
  if (!bunker) GTEST_SKIP() << "the first campaign map has no emplacement square";
  int places = 10;
  GetBattleHooks().assignToEmplacement = [&](void*, SIM_BattleUnit*) { return places-- > 0; };
  // The minimap keeps what it is told of: a refunded soldier is deleted at once, so it
  // must never be announced.
  std::vector<SIM_BattleUnit*> announced;
  GetBattleHooks().announceUnit = [&](SIM_BattleUnit* u) { announced.push_back(u); };
  SIM_BattleArmy* opponent = battle->opponentArmy;
  SIM_BattleUnit* squad = Deploy(opponent, bunker, infantryDesign, 25, true);
  ASSERT_NE(squad, nullptr);
  EXPECT_EQ(opponent->LivingCount(), 10);
  ASSERT_EQ(announced.size(), 10u);
  for (SIM_BattleUnit* u : announced)
    EXPECT_EQ(std::count(opponent->livingUnits.begin(), opponent->livingUnits.end(), u), 1);
  EXPECT_FLOAT_EQ(opponent->spentSupplies, 10 * infantryDesign->cost);
  EXPECT_EQ(squad->state, US_IN_EMPLACEMENT);
  battle->Begin();
  for (int i = 0; i < 40; ++i) battle->Update();
  for (SIM_BattleUnit* soldier : opponent->livingUnits) EXPECT_EQ(soldier->state, US_SETTLED);
}

}  // namespace
