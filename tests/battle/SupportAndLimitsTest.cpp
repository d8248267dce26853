// Support pulses, per-hull deployment limits, per-design statistics, dog tags and
// explosion managers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/BattleStats.h"
#include "battle/DogTags.h"
#include "battle/SupplyLimits.h"
#include "battle/SupportComponents.h"
#include "simdata/GlobalStats.h"

using namespace battle_test;

namespace {

class SupportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    battle = &StartBareBattle();
    battle->Begin();
    gun = cat.Module("gun", "SIM_KineticWeaponComponent", "damage = 1\nfire_interval = 1000\nmax_range = 10");
    plate = cat.Module("plate", "SIM_EngineComponent", "thrust = 0");
    armed = cat.Design(cat.Hull("armed", SIZETYPE_TANK, 2, 400.0f), {gun, plate});
    soldier = cat.Design(cat.Hull("soldier", SIZETYPE_INFANTRY, 1, 50.0f, 10.0f), {plate});
  }

  SIM_BattleUnit* Carrier(const std::string& cls, const std::string& data = "") {
    SIM_ModuleType* m = cat.Module(cls, cls, "pulse_radius = 100\n" + data);
    return Place(cat.Design(cat.Hull("carrier_" + cls, SIZETYPE_TANK, 2, 400.0f), {m, gun}), 0, 0);
  }
  SIM_BattleUnit* Place(SIM_UnitDesign* d, float x, float y, SIM_BattleArmy* army = nullptr) {
    SIM_BattleUnit* u = AddUnit(d, army ? army : battle->playerArmy);
    u->x = x;
    u->y = y;
    return u;
  }
  static SIM_SupportComponent* SupportOf(SIM_BattleUnit* u) {
    return dynamic_cast<SIM_SupportComponent*>(u->moduleManager->allModules.front().get());
  }
  // n checks of the carrier's modules at the battle's 16 ms frame step.
  static void Checks(SIM_BattleUnit* carrier, int n) {
    for (int i = 0; i < n; ++i) carrier->moduleManager->UpdateModules();
  }

  SIM_Battle* battle = nullptr;
  Catalogue cat;
  SIM_ModuleType *gun = nullptr, *plate = nullptr;
  SIM_UnitDesign *armed = nullptr, *soldier = nullptr;
};

TEST_F(SupportTest, APulseLinksTheRightFriendsStrictlyInsideItsRadiusOnTheThirteenthCheck) {
  SIM_BattleUnit* carrier = Carrier("SIM_CommandComponent");
  SIM_BattleUnit* near = Place(armed, 60, 0);
  SIM_BattleUnit* onEdge = Place(armed, 100, 0);
  SIM_BattleUnit* enemy = Place(armed, 10, 0, battle->opponentArmy);
  SIM_BattleUnit* unarmed = Place(soldier, 20, 0);
  Checks(carrier, 12);
  EXPECT_TRUE(near->commanders.empty()) << "12 x 16 ms is not yet past 200 ms";
  Checks(carrier, 1);
  EXPECT_EQ(near->commanders.size(), 1u);
  EXPECT_EQ(carrier->commanders.size(), 1u) << "the carrier commands itself";
  EXPECT_TRUE(onEdge->commanders.empty());
  EXPECT_TRUE(enemy->commanders.empty());
  EXPECT_TRUE(unarmed->commanders.empty());
  // A friend that moved away is dropped at the next pulse.
  near->x = 500;
  Checks(carrier, 13);
  EXPECT_TRUE(near->commanders.empty());
  EXPECT_EQ(SupportOf(carrier)->links.size(), 1u);
}

// Through the battle's own frames and checks: a friend who comes within the radius
// between two pulses is linked by the next, one who leaves it is dropped.
TEST_F(SupportTest, APulseInTheBattleFindsFriendsWhereTheyStandNow) {
  SIM_BattleUnit* carrier = Carrier("SIM_CommandComponent");
  SIM_BattleUnit* comer = Place(armed, 400, 0);
  SIM_BattleUnit* leaver = Place(armed, 0, 60);
  for (SIM_BattleUnit* u : {carrier, comer, leaver}) u->OnDeployed();
  SIM_SupportComponent* support = SupportOf(carrier);
  // Frames until the carrier has pulsed `n` more times.
  const auto pulses = [&](int n) {
    for (int frames = 0; n > 0 && frames < 1000; ++frames) {
      const float timer = support->pulseTimer;
      battle->Update();
      if (support->pulseTimer < timer) --n;
    }
    ASSERT_EQ(n, 0) << "the carrier stopped pulsing";
  };
  pulses(1);
  ASSERT_TRUE(comer->commanders.empty());
  ASSERT_EQ(leaver->commanders.size(), 1u);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::swap(comer->x, leaver->x);
    std::swap(comer->y, leaver->y);
    battle->Update();  // a frame between the move and the pulse, as in a battle
    pulses(1);
    EXPECT_EQ(comer->commanders.size(), 1u);
    EXPECT_TRUE(leaver->commanders.empty());
    std::swap(comer, leaver);
  }
}

TEST_F(SupportTest, HospitalsCoverInfantryAndRepairYardsMendOthersButNotThemselves) {
  SIM_BattleUnit* hospital = Carrier("SIM_HospitalComponent");
  SIM_BattleUnit* man = Place(soldier, 30, 0);
  SIM_BattleUnit* tank = Place(armed, 30, 30);
  Checks(hospital, 13);
  EXPECT_EQ(man->hospitals.size(), 1u);
  EXPECT_TRUE(tank->hospitals.empty());

  SIM_BattleUnit* yard = Carrier("SIM_RepairComponent", "repair_interval = 500\nrepair_points = 40");
  yard->moduleManager->allModules.back()->TakeDamage(50.0f);  // its own gun
  tank->moduleManager->allModules.front()->TakeDamage(100.0f);
  const float yardBefore = TotalHitPoints(yard), tankBefore = TotalHitPoints(tank);
  Checks(yard, 40);  // 640 ms: one pulse, then one repair
  EXPECT_EQ(tank->repairers.size(), 1u);
  EXPECT_TRUE(yard->repairers.empty());
  EXPECT_TRUE(man->repairers.empty());
  EXPECT_GT(TotalHitPoints(tank), tankBefore);
  EXPECT_FLOAT_EQ(TotalHitPoints(yard), yardBefore);
}

TEST_F(SupportTest, NoUnitKeepsABonusFromACarrierThatIsGone) {
  const struct {
    const char* how;
    void (*end)(SIM_BattleUnit* carrier);
  } ways[] = {
      {"warped out", [](SIM_BattleUnit* c) { c->FinishWarpOut(); }},
      {"destroyed",
       [](SIM_BattleUnit* c) {
         c->moduleManager->TakeDamage(nullptr, nullptr, 1.0e6f, 1, 1, 1, WARHEAD_BULLET);
       }},
      {"demolished",
       [](SIM_BattleUnit* c) {
         c->state = US_DEMOLISHING;
         c->demolitionTime = 0.0f;
         c->Update();
       }},
      {"support module shot away",
       [](SIM_BattleUnit* c) { c->moduleManager->allModules.front()->TakeDamage(1e6f); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    SIM_BattleUnit* carrier = Carrier("SIM_CommandComponent");
    SIM_BattleUnit* friendUnit = Place(armed, 40, 0);
    Checks(carrier, 13);
    ASSERT_FALSE(friendUnit->commanders.empty());
    way.end(carrier);
    EXPECT_TRUE(friendUnit->commanders.empty());
    EXPECT_TRUE(SupportOf(carrier)->links.empty());
  }
}

// Three command carriers over the same friends, pulsing at different moments: each
// pulse and each loss takes out only its own entries of the friends' lists, and the
// links keep the army's order.
TEST_F(SupportTest, OverlappingCarriersUnlinkOnlyTheirOwnEntries) {
  SIM_BattleUnit* a = Carrier("SIM_CommandComponent");
  SIM_BattleUnit* b = Carrier("SIM_CommandComponent");
  SIM_BattleUnit* c = Carrier("SIM_CommandComponent");
  std::vector<SIM_BattleUnit*> friends;
  for (int i = 0; i < 5; ++i) friends.push_back(Place(armed, 10.0f * i, 20.0f));
  const auto holders = [](SIM_BattleUnit* u) {
    return std::vector<SIM_SupportComponent*>(u->commanders.begin(), u->commanders.end());
  };
  Checks(a, 13);
  Checks(b, 13);
  Checks(c, 13);
  for (SIM_BattleUnit* f : friends)
    EXPECT_EQ(holders(f), (std::vector<SIM_SupportComponent*>{SupportOf(a), SupportOf(b), SupportOf(c)}));
  // The middle carrier pulses again: its entry moves to the back of every list.
  Checks(b, 13);
  for (SIM_BattleUnit* f : friends)
    EXPECT_EQ(holders(f), (std::vector<SIM_SupportComponent*>{SupportOf(a), SupportOf(c), SupportOf(b)}));
  std::vector<SIM_BattleUnit*> linked;
  for (const auto& l : SupportOf(b)->links) linked.push_back(l.unit);
  const std::vector<SIM_BattleUnit*> armyOrder = {a,          b,          c,          friends[0],
                                                  friends[1], friends[2], friends[3], friends[4]};
  EXPECT_EQ(linked, armyOrder) << "links follow the army's order, the carriers included";
  // One friend walks away and the first carrier is shot away.
  friends[2]->x = 900.0f;
  Checks(c, 13);
  SupportOf(a)->TakeDamage(1e6f);
  for (SIM_BattleUnit* f : friends) {
    if (f == friends[2])
      EXPECT_EQ(holders(f), (std::vector<SIM_SupportComponent*>{SupportOf(b)}));
    else
      EXPECT_EQ(holders(f), (std::vector<SIM_SupportComponent*>{SupportOf(b), SupportOf(c)}));
  }
  EXPECT_TRUE(SupportOf(a)->links.empty());
  EXPECT_EQ(SupportOf(c)->links.size(), 7u);
}

// ----------------------------------------------------------------- supply limits

TEST(SupplyLimits, ARegenerationStepKeepsTheExcessBelowTheMaximumOnly) {
  const struct {
    int count;
    float timer, step;
    int countAfter;
    float timerAfter;
    bool backFromNone;
  } cases[] = {
      {3, 11990.0f, 16.0f, 4, 0.0f, false},  // at the maximum no excess is kept
      {1, 11990.0f, 16.0f, 2, 6.0f, false},     {0, 11990.0f, 16.0f, 1, 6.0f, true},
      {4, 50000.0f, 16.0f, 4, 50000.0f, false},  // a full entry's timer stands still
      {2, 100.0f, 16.0f, 2, 116.0f, false},
  };
  for (const auto& c : cases) {
    SupplyLimitEntry e;
    e.count = c.count;
    e.timer = c.timer;
    EXPECT_EQ(SIM_SupplyLimits::Regenerate(e, c.step), c.backFromNone);
    EXPECT_EQ(e.count, c.countAfter) << c.count;
    EXPECT_FLOAT_EQ(e.timer, c.timerAfter) << c.count;
  }
}

TEST(SupplyLimits, FourDeploymentsOfAHullThenOneMoreAfterTwelveSecondsOfBattleTime) {
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  SIM_SupplyLimits& limits = GetSupplyLimits();
  int refreshes = 0;
  GetBattleHooks().refreshDeploymentWindow = [&] { ++refreshes; };
  limits.playerEntries.clear();
  limits.playerEntries.push_back(std::make_unique<SupplyLimitEntry>());
  limits.playerEntries.back()->hullName = "tank_jackal";
  SupplyLimitEntry* e = limits.FindPlayerEntry("tank_jackal");
  ASSERT_NE(e, nullptr);
  e->timer = 777.0f;
  for (int i = 0; i < 4; ++i) limits.SpendPlayer("tank_jackal");
  EXPECT_EQ(e->count, 0);
  EXPECT_FLOAT_EQ(e->timer, 0.0f) << "the first of the four restarts the timer";
  limits.SpendPlayer("tank_jackal");
  EXPECT_EQ(e->count, 0) << "never below none";
  // Double speed: 32 ms of battle time per update, 12000 ms in 375 updates.
  battle.SetSpeed(2.0f);
  for (int i = 0; i < 375; ++i) battle.Update();
  EXPECT_EQ(e->count, 0);
  battle.Update();
  EXPECT_EQ(e->count, 1);
  EXPECT_EQ(refreshes, 1);
  for (int i = 0; i < 10; ++i) limits.AddPlayerTrucks(1);
  EXPECT_EQ(limits.playerTrucks, SIM_SupplyLimits::kMaxTrucks);
  GetBattleHooks().refreshDeploymentWindow = nullptr;
}

TEST(SupplyLimits, TheComputerDeploysSupplyTrucksOnlyWithATruckToSpend) {
  StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* truck =
      cat.Design(cat.Hull("truck", SIZETYPE_TANK, 1, 100.0f), {cat.Module("cargo", "SIM_SupplyComponent")});
  SIM_UnitDesign* tank = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {});
  SIM_SupplyLimits& limits = GetSupplyLimits();
  limits.aiEntries.push_back(std::make_unique<SupplyLimitEntry>());
  limits.aiEntries.back()->hullName = "tank";
  EXPECT_FALSE(limits.CanDeploy(truck));
  limits.AddAITrucks(1);
  EXPECT_TRUE(limits.CanDeploy(truck));
  EXPECT_TRUE(limits.CanDeploy(tank));
  limits.FindAIEntry("tank")->count = 0;
  EXPECT_FALSE(limits.CanDeploy(tank));
}

TEST(SupplyLimits, EveryCatalogueHullStartsWithFourReadyDeploymentsForBothSides) {
  SIM_SupplyLimits& limits = GetSupplyLimits();
  limits.Reset();
  const auto& hulls = SIM_UnitHullManager::Get().All();
  ASSERT_FALSE(hulls.empty());
  EXPECT_EQ(limits.playerEntries.size(), hulls.size());
  EXPECT_EQ(limits.aiEntries.size(), hulls.size());
  for (const auto& h : hulls) {
    ASSERT_NE(limits.FindPlayerEntry(h->name), nullptr);
    EXPECT_EQ(limits.FindPlayerEntry(h->name)->count, 4);
  }
}

// ------------------------------------------------------------ battle statistics

TEST(BattleStatistics, ThePlayersUnitsAreGroupedPerDesignInOrderOfFirstDeployment) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* gun = cat.Module("gun", "SIM_KineticWeaponComponent", "damage = 1");
  SIM_UnitDesign* tank = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {gun});
  SIM_UnitDesign* tower = cat.Design(cat.Hull("tower", SIZETYPE_BUILDING, 1, 100.0f), {});
  const float shots[] = {10, 20, 30};
  for (float s : shots) {
    AddUnit(tank, battle.playerArmy)->damageTally->shotsFired = s;
    AddUnit(tower, battle.playerArmy);
  }
  AddUnit(tank, battle.opponentArmy)->damageTally->shotsFired = 1000;  // not the player's
  battle.playerArmy->allUnits.front()->damageTally->escaped = 1.0f;
  SIM_BattleStatsDatabase db;
  db.Build();
  ASSERT_EQ(db.groups.size(), 2u);
  const BattleStatsGroup& tanks = *db.groups.front();
  const BattleStatsGroup& towers = *db.groups.back();
  EXPECT_EQ(tanks.design, tank);
  EXPECT_EQ(tanks.units.size(), 3u);
  EXPECT_FLOAT_EQ(tanks.sums[STAT_SHOTS_FIRED], 60.0f);
  EXPECT_FLOAT_EQ(tanks.averages[STAT_SHOTS_FIRED], 20.0f);
  EXPECT_FLOAT_EQ(tanks.sums[STAT_ESCAPED], 1.0f);
  EXPECT_NEAR(tanks.averages[STAT_ESCAPED], 1.0f / 3.0f, 1e-6);
  for (int i = 0; i < STAT_COUNT; ++i) {
    EXPECT_FLOAT_EQ(towers.sums[i], 0.0f) << kBattleStatKeys[i];
    EXPECT_FLOAT_EQ(towers.averages[i], 0.0f) << kBattleStatKeys[i];
  }
  db.Clear();
  EXPECT_TRUE(db.groups.empty());
}

// ------------------------------------------------------------------- dog tags

TEST(DogTags, ATagExpiresAfterItsLifetimeInRealTimeAtAnyGameSpeed) {
  for (float speed : {1.0f, 2.0f, 0.5f}) {
    SCOPED_TRACE(speed);
    SIM_Battle& battle = StartBareBattle();
    battle.Begin();
    battle.SetSpeed(speed);
    GetGameplay().DOGTAG_LIFETIME = 10000.0f;
    GetDogTagManager().Add(100.0f, 100.0f, 25);
    for (int i = 0; i < 625; ++i) battle.Update();
    EXPECT_EQ(GetDogTagManager().tags.size(), 1u);
    battle.Update();
    EXPECT_TRUE(GetDogTagManager().tags.empty());
  }
}

TEST(DogTags, CollectingGrantsSuppliesAndCountsAndOnlyADefenderIsTaughtAboutThem) {
  for (bool defends : {false, true}) {
    SIM_Battle& battle = GetBattle();
    battle.playerDefends = defends;
    StartBareBattle();
    std::vector<std::string> pages;
    GetBattleHooks().tutorialTrigger = [&](const std::string& page) { pages.push_back(page); };
    GetGameplay().supplies = 100.0f;
    SIM_DogTag* tag = GetDogTagManager().Add(10.0f, 20.0f, 25);
    EXPECT_EQ(pages, defends ? std::vector<std::string>{"BATTLE_DOGTAGS"} : std::vector<std::string>{});
    GetDogTagManager().Collect(tag);
    EXPECT_TRUE(GetDogTagManager().tags.empty());
    EXPECT_FLOAT_EQ(GetGameplay().supplies, 125.0f);
    EXPECT_EQ(SIM_GlobalStats::Get().GetStat("temp_dogtags_collected"), defends ? 2 : 1);
    GetBattleHooks().tutorialTrigger = nullptr;
  }
}

// ---------------------------------------------------------- explosion managers

TEST(ExplosionManagers, EveryShippedFileLoadsByItsNameAndAnUnknownNameStopsTheGame) {
  SIM_ExplosionManager& managers = SIM_ExplosionManager::Get();
  const ExplosionManagerRecord& small = managers.Find("death_small");
  EXPECT_EQ(small.name, "death_small");
  EXPECT_GT(small.explosions.Count(), 0u);
  EXPECT_GE(managers.records.size(), 3u);
  SetFatalErrorHook(ThrowOnFatal);
  const std::string text = zt_test::FatalTextOf([&] { managers.Find("no_such_manager"); });
  SetFatalErrorHook(nullptr);
  EXPECT_NE(text.find("Failed to find explosion manager [no_such_manager]"), std::string::npos) << text;
}

}  // namespace
