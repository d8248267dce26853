// A whole battle headless on shipped content: a campaign scenario, designs for both
// sides deployed through the armies, the clock stepped at several speeds, units
// landing, one destroyed and purged.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/AirDrops.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battle/SupplyLimits.h"
#include "engine/Singletons.h"
#include "simdata/GlobalStats.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"

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
  ASSERT_NE(bunker, nullptr) << "the first campaign map has no emplacement square";
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

namespace {

// Frozen Ridge with the player attacking: a mech and two squads dropped on the attacker
// squares before the fight starts, against the computer's defence (or none).
class FrozenRidgeAttack : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void Start(uint32_t seed, bool defence) {
    ResetAllSingletons();
    SIM_ScenarioManager::Get().Load();
    scenario = SIM_ScenarioManager::Get().Find("frozen_ridge");
    ASSERT_NE(scenario, nullptr);
    SIM_UnitDesignManager::Get().Load();
    GetBattle().useFixedSeed = true;
    GetBattle().fixedSeed = seed;
    battle = defence ? &StartScenarioBattle(scenario, false, AI_UNITS_SCENARIO)
                     : &StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_SCENARIO);
    mechDesign = SIM_UnitDesignManager::Get().FindDesign("Strider Lancer");
    SIM_UnitDesign* squadDesign = SIM_UnitDesignManager::Get().FindDesign("Rifle Squad");
    ASSERT_TRUE(mechDesign && squadDesign);
    ASSERT_GE(scenario->attackerSquares.size(), 2u);
    SIM_MapSquare* left = scenario->attackerSquares.front();
    SIM_MapSquare* right = scenario->attackerSquares.back();
    SIM_BattleArmy* player = battle->playerArmy;
    mech = player->DeployDesign(right->column, right->row, mechDesign, 1, 180.0f, false);
    squads[0] = player->DeployDesign(left->column, left->row, squadDesign, SIM_BattleArmy::kMaxSquadSize,
                                     180.0f, false);
    squads[1] = player->DeployDesign(right->column, right->row - 1, squadDesign,
                                     SIM_BattleArmy::kMaxSquadSize, 180.0f, false);
    ASSERT_TRUE(mech && squads[0] && squads[1]);
    for (int i = 0; i < 20; ++i) battle->Update();
    battle->Begin();
  }
  SIM_Scenario* scenario = nullptr;
  SIM_Battle* battle = nullptr;
  SIM_UnitDesign* mechDesign = nullptr;
  SIM_BattleUnit* mech = nullptr;
  SIM_BattleUnit* squads[2] = {};
};

// The defence stands out of reach of the drop zone: the wave walks into the fight and
// gets its shots in before the mech falls.
TEST_F(FrozenRidgeAttack, TheOpeningWaveReachesTheFightBeforeTheMechIsHit) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    Start(seed, true);
    if (HasFatalFailure()) return;
    float firstHit = -1.0f;
    while (battle->battleClock < 40000.0f && mech->state != US_DESTROYED) {
      battle->Update();
      if (firstHit < 0.0f && mech->moduleManager->healthFraction < 1.0f) firstHit = battle->battleClock;
    }
    EXPECT_GT(firstHit, 10000.0f) << "the mech was hit on its way out of the drop zone";
    float dealt = mech->damageTally ? mech->damageTally->totalDamage : 0.0f;
    for (SIM_BattleUnit* u : battle->playerArmy->allUnits)
      if (u != mech && u->damageTally) dealt += u->damageTally->totalDamage;
    EXPECT_GT(dealt, 0.0f) << "the wave never fired a telling shot";
  }
}

TEST_F(FrozenRidgeAttack, ACrateFallsOnADropSiteAfterThirtySecondsAndAPassingUnitTakesIt) {
  Start(7, false);
  SIM_AirDropManager& drops = GetAirDropManager();
  ASSERT_FALSE(drops.sites.empty());
  while (drops.drops.empty() && battle->battleClock < 60000.0f) battle->Update();
  ASSERT_EQ(drops.drops.size(), 1u);
  EXPECT_GE(battle->battleClock, 30000.0f);
  SIM_AirDrop* crate = drops.drops.front().get();
  ASSERT_NE(crate->site, nullptr);
  const SIM_MapSquare* square = crate->site->square;
  EXPECT_FLOAT_EQ(crate->x, square->centreX);
  EXPECT_FLOAT_EQ(crate->y, square->centreY);

  // A fresh unit from the drop zone is sent across the crate's square.
  SIM_MapSquare* zone = scenario->attackerSquares.front();
  SIM_BattleUnit* runner =
      battle->playerArmy->DeployDesign(zone->column, zone->row, mechDesign, 1, 180.0f, false);
  ASSERT_NE(runner, nullptr);
  for (int i = 0; i < 20; ++i) battle->Update();
  ASSERT_NE(runner->pathManager, nullptr);
  ASSERT_TRUE(runner->pathManager->FindPath(const_cast<SIM_MapSquare*>(square), false));
  const int trucks = GetSupplyLimits().playerTrucks;
  const float sent = battle->battleClock;
  const int32_t id = crate->id;
  while (drops.FindDrop(id) && battle->battleClock < sent + 60000.0f) battle->Update();
  EXPECT_EQ(drops.FindDrop(id), nullptr)
      << "the crate at " << square->column << "," << square->row << " was never taken";
  EXPECT_EQ(GetSupplyLimits().playerTrucks, trucks + 1);
  EXPECT_EQ(drops.playerCollected, 1);
}

}  // namespace

namespace {

// The long campaign maps have route squares far enough from the exits and the drop zone
// for crates; the short ones have none.
TEST(CampaignCrateSites, TheLongMapsHaveDropSitesAwayFromExitsAndDropZones) {
  ScopedRecordingView views;
  const struct {
    const char* scenario;
    bool sites;
  } cases[] = {
      {"frozen_ridge", true}, {"frostfall_pass", true}, {"timber_valley", true}, {"border_crossing", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    ResetAllSingletons();
    SIM_ScenarioManager::Get().Load();
    SIM_Scenario* scenario = SIM_ScenarioManager::Get().Find(c.scenario);
    ASSERT_NE(scenario, nullptr);
    StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_SCENARIO);
    const auto& sites = GetAirDropManager().sites;
    EXPECT_EQ(!sites.empty(), c.sites);
    std::vector<SIM_MapSquare*> avoid = scenario->exitSquares;
    avoid.insert(avoid.end(), scenario->attackerSquares.begin(), scenario->attackerSquares.end());
    ASSERT_FALSE(avoid.empty());
    for (const auto& site : sites) {
      const SIM_MapSquare* sq = site->square;
      EXPECT_FALSE(sq->links.empty() || sq->defenderFlag) << "a site off the routes";
      for (const SIM_MapSquare* a : avoid) {
        const float dx = a->centreX - sq->centreX, dy = a->centreY - sq->centreY;
        EXPECT_GT(dx * dx + dy * dy, 1200.0f * 1200.0f) << sq->column << "," << sq->row;
      }
    }
  }
}

}  // namespace
