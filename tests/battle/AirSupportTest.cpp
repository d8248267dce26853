// Air strikes (timers, impact spread, damage, a strike outliving its battle) and air
// drops (quiet squares, one crate at a time, credited once).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/BattleServices.h"
#include "battle/BattleUnitManager.h"
#include "battle/CollisionGrid.h"
#include "battle/SupplyLimits.h"
#include "engine/SettingsFile.h"
#include "simdata/MapSquare.h"

namespace {

using namespace battle_test;

struct Point {
  float x, y;
  int frame;
};

float Dist(float ax, float ay, float bx, float by) { return std::hypot(ax - bx, ay - by); }

class AirStrikeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    battle = &StartBareBattle();
    GetBattleHooks().airStrikeTrail = [this](float x, float y) { trails.push_back({x, y, frame}); };
    GetBattleHooks().airStrikeBlast = [this](float, float x, float y) { blasts.push_back({x, y, frame}); };
    plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 10");
    design = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 1000.0f), {plate});
  }

  // A type of our own beside the shipped ones.
  SIM_AirStrikeType* Type(int count, float duration, float spread, float impactRadius, float damage = 50.0f) {
    auto t = std::make_unique<SIM_AirStrikeType>();
    t->name = "test_strike";
    t->strikeCount = count;
    t->attackDuration = duration;
    t->spreadRadius = spread;
    t->impactRadius = impactRadius;
    t->damage = damage;
    t->effectiveVsArmour = 1.0f;
    t->effectiveVsShields = 1.0f;
    t->warhead = WARHEAD_EXPLOSIVE;
    t->orderDelay = 480.0f;
    t->restockDelay = 8000.0f;
    t->supplyCost = 300;
    auto& types = GetAirStrikeManager().types;
    types.push_back(std::move(t));
    return types.back().get();
  }

  SIM_BattleUnit* UnitAt(float x, float y, bool player = false) {
    SIM_BattleUnit* u = AddUnit(design, player ? battle->playerArmy : battle->opponentArmy);
    u->x = x;
    u->y = y;
    return u;
  }

  void Run(int frames) {
    for (int i = 0; i < frames; ++i) {
      ++frame;
      battle->Update();
    }
  }

  // Frames until the strike is gone (bounded).
  int RunUntilOver(int32_t id, int limit = 2000) {
    int n = 0;
    while (GetAirStrikeManager().FindStrike(id) && n < limit) {
      Run(1);
      ++n;
    }
    return n;
  }

  SIM_Battle* battle = nullptr;
  Catalogue cat;
  SIM_ModuleType* plate = nullptr;
  SIM_UnitDesign* design = nullptr;
  std::vector<Point> trails;
  std::vector<Point> blasts;
  int frame = 0;
};

// Three bombs over 2000 ms after a 480 ms order delay: placed at the start of the attack,
// about 1000 ms and about 2000 ms later, each falling for 100 ms; only units strictly
// inside the impact radius are hurt.
TEST_F(AirStrikeTest, ImpactsSpreadOverTheDurationAndHurtOnlyInsideTheRadius) {
  SIM_AirStrikeType* type = Type(3, 2000.0f, 0.0f, 100.0f);
  SIM_BattleUnit* centre = UnitAt(1000.0f, 1000.0f);
  SIM_BattleUnit* inside = UnitAt(1099.0f, 1000.0f, true);
  SIM_BattleUnit* edge = UnitAt(1000.0f, 1100.0f);
  SIM_BattleUnit* outside = UnitAt(1300.0f, 1300.0f);
  const float before[4] = {TotalHitPoints(centre), TotalHitPoints(inside), TotalHitPoints(edge),
                           TotalHitPoints(outside)};
  battle->Begin();
  SIM_AirStrikeOwner owner;
  SIM_AirStrike* strike = GetAirStrikeManager().OrderStrike(type);
  strike->Launch(&owner, 1000.0f, 1000.0f);
  Run(15);  // 240 ms of the 480 ms delay
  EXPECT_NEAR(strike->GetProgress(), 0.5f, 0.01f);
  EXPECT_TRUE(trails.empty());
  const int32_t id = strike->id;
  RunUntilOver(id);
  ASSERT_EQ(trails.size(), 3u);
  ASSERT_EQ(blasts.size(), 3u);
  // Order delay 480 ms = 30 frames; then 0, ~1000 and ~2000 ms into the attack.
  EXPECT_EQ(trails[0].frame, 30);
  EXPECT_NEAR((trails[1].frame - trails[0].frame) * 16, 1000, 32);
  EXPECT_NEAR((trails[2].frame - trails[0].frame) * 16, 2000, 32);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR((blasts[i].frame - trails[i].frame) * 16, 112, 16) << i;  // the 100 ms fall
    EXPECT_FLOAT_EQ(trails[i].x, 1000.0f);  // no spread: every bomb on the target
  }
  EXPECT_EQ(owner.status, SIM_AirStrikeOwner::STATUS_FINISHED);
  EXPECT_EQ(owner.secondStatus, 0);
  EXPECT_LT(TotalHitPoints(centre), before[0]);
  EXPECT_LT(TotalHitPoints(inside), before[1]);      // friend or foe alike
  EXPECT_FLOAT_EQ(TotalHitPoints(edge), before[2]);  // exactly at the radius
  EXPECT_FLOAT_EQ(TotalHitPoints(outside), before[3]);
}

// With nobody near every bomb falls at a random point of the circle; with units in it
// the bombs alternate between a random point and a unit's position, the first random.
TEST_F(AirStrikeTest, BombsFallInsideTheCircleAndAlternateOntoUnits) {
  SIM_AirStrikeType* type = Type(8, 1400.0f, 300.0f, 10.0f, 0.0f);
  battle->Begin();
  SIM_AirStrikeOwner owner;
  SIM_AirStrike* empty = GetAirStrikeManager().OrderStrike(type);
  empty->Launch(&owner, 2000.0f, 2000.0f);
  RunUntilOver(empty->id);
  ASSERT_EQ(trails.size(), 8u);
  for (const Point& p : trails) EXPECT_LE(Dist(p.x, p.y, 2000.0f, 2000.0f), 300.0f + 1e-3f);

  trails.clear();
  SIM_BattleUnit* a = UnitAt(2100.0f, 2000.0f);
  SIM_BattleUnit* b = UnitAt(2000.0f, 1900.0f, true);
  UnitAt(2400.0f, 2400.0f);  // outside the circle: never picked
  SIM_AirStrike* busy = GetAirStrikeManager().OrderStrike(type);
  busy->Launch(&owner, 2000.0f, 2000.0f);
  RunUntilOver(busy->id);
  ASSERT_EQ(trails.size(), 8u);
  for (size_t i = 0; i < trails.size(); ++i) {
    const bool onUnit =
        (trails[i].x == a->x && trails[i].y == a->y) || (trails[i].x == b->x && trails[i].y == b->y);
    EXPECT_EQ(onUnit, i % 2 == 1) << i;
    EXPECT_LE(Dist(trails[i].x, trails[i].y, 2000.0f, 2000.0f), 300.0f + 1e-3f);
  }
}

// Launching spends the cost and makes the type unready until its restock delay has
// passed; readiness carries over into the next battle.
TEST_F(AirStrikeTest, ReadinessRestocksAndCarriesOverBattles) {
  SIM_AirStrikeType* type = Type(2, 200.0f, 0.0f, 50.0f);
  GetGameplay().supplies = 1000.0f;
  SIM_AirStrikeOwner owner;
  GetAirStrikeManager().OrderStrike(type)->Launch(&owner, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, 700.0f);
  EXPECT_FALSE(type->ready);
  battle->Begin();
  Run(250);  // 4000 of the 8000 ms
  EXPECT_FALSE(type->ready);
  battle = &StartBareBattle();
  battle->Begin();
  EXPECT_FALSE(type->ready) << "a new battle must not restock the strike";
  Run(250);
  EXPECT_FALSE(type->ready);  // exactly 8000 ms: not yet above the delay
  Run(1);
  EXPECT_TRUE(type->ready);
  // Paused, the clock stands still.
  GetAirStrikeManager().OrderStrike(type)->Launch(&owner, 0.0f, 0.0f);
  battle->SetPaused(true);
  Run(600);
  EXPECT_FALSE(type->ready);
  EXPECT_FLOAT_EQ(type->restockTimer, 0.0f);
}

// A strike still falling when the next battle starts ends with its battle: nothing of
// it lands among the new units, the placer that launched it may close, and the screen's
// handle finds nothing. Run under the sanitizers this also shows no dangling pointer.
TEST_F(AirStrikeTest, ASecondBattleStartsCleanWhileAStrikeIsFalling) {
  SIM_AirStrikeType* type = Type(6, 3000.0f, 200.0f, 300.0f, 500.0f);
  UnitAt(500.0f, 500.0f);
  battle->Begin();
  auto owner = std::make_unique<SIM_AirStrikeOwner>();
  SIM_AirStrike* strike = GetAirStrikeManager().OrderStrike(type);
  const int32_t id = strike->id;
  strike->Launch(owner.get(), 500.0f, 500.0f);
  Run(60);  // into the attack
  ASSERT_EQ(owner->status, SIM_AirStrikeOwner::STATUS_ATTACKING);
  ASSERT_FALSE(trails.empty());

  battle = &StartBareBattle();  // the old armies and units are deleted here
  EXPECT_EQ(GetAirStrikeManager().FindStrike(id), nullptr);
  EXPECT_TRUE(GetAirStrikeManager().strikes.empty());
  owner.reset();  // the placer closes with the old battle screen
  SIM_BattleUnit* fresh = UnitAt(500.0f, 500.0f);
  const float hp = TotalHitPoints(fresh);
  battle->Begin();
  blasts.clear();
  Run(400);
  EXPECT_TRUE(blasts.empty());
  EXPECT_FLOAT_EQ(TotalHitPoints(fresh), hp);
}

// A placer that closes mid-strike is forgotten; the strike still ends. An ordered strike
// never launched is taken back when its placer closes.
TEST_F(AirStrikeTest, OwnersThatLeaveAreForgottenAndUnlaunchedStrikesCancelled) {
  SIM_AirStrikeType* type = Type(4, 800.0f, 0.0f, 50.0f);
  battle->Begin();
  auto owner = std::make_unique<SIM_AirStrikeOwner>();
  SIM_AirStrike* strike = GetAirStrikeManager().OrderStrike(type);
  strike->Launch(owner.get(), 0.0f, 0.0f);
  Run(40);
  owner.reset();
  EXPECT_EQ(strike->owner, nullptr);
  EXPECT_LT(RunUntilOver(strike->id), 2000);
  EXPECT_EQ(blasts.size(), 4u);

  SIM_AirStrike* idle = GetAirStrikeManager().OrderStrike(type);
  const int32_t idleId = idle->id;
  GetAirStrikeManager().CancelStrike(idleId);
  EXPECT_EQ(GetAirStrikeManager().FindStrike(idleId), nullptr);
}

// A single-bomb strike drops its bomb, lets it fall and finishes rather than sticking.
TEST_F(AirStrikeTest, ASingleBombStrikeDetonatesAndFinishes) {
  SIM_AirStrikeType* type = Type(1, 1000.0f, 0.0f, 50.0f);
  battle->Begin();
  SIM_AirStrikeOwner owner;
  SIM_AirStrike* strike = GetAirStrikeManager().OrderStrike(type);
  strike->Launch(&owner, 0.0f, 0.0f);
  EXPECT_LT(RunUntilOver(strike->id), 100);
  EXPECT_EQ(blasts.size(), 1u);
  EXPECT_EQ(owner.status, SIM_AirStrikeOwner::STATUS_FINISHED);
}

// The shipped strikes: three roles (wide area, concentrated anti-armour, delayed heavy),
// each with a name, a text, a cost and a restock delay long enough that they support a
// defence rather than replace it.
TEST(AirStrikeContent, ShippedStrikesHaveDistinctRolesCostsAndTexts) {
  SIM_AirStrikeManager& m = SIM_AirStrikeManager::Load();
  ASSERT_GE(m.types.size(), 3u);
  SettingsFile strings;
  ASSERT_TRUE(strings.LoadSection("data/strings.ini", "strings"));
  for (const auto& t : m.types) {
    SCOPED_TRACE(t->name);
    EXPECT_TRUE(t->ready);
    EXPECT_TRUE(strings.HasKey(t->guiName));
    EXPECT_GE(t->strikeCount, 1);
    EXPECT_GT(t->damage, 0.0f);
    EXPECT_GT(t->effectiveVsArmour, 0.0f);
    EXPECT_GT(t->effectiveVsShields, 0.0f);
    EXPECT_GE(t->supplyCost, 400);
    EXPECT_GE(t->restockDelay, 60000.0f);
    EXPECT_EQ(t->unlockable.GetNumber(), SIM_Unlockable::KIND_AIRSTRIKE);
    // The icon the strike picker shows is built into the data folder, spelled exactly.
    EXPECT_TRUE(std::filesystem::is_regular_file("data/bitmaps/ui/airstrikes/" + t->icon)) << t->icon;
  }
  SIM_AirStrikeType* carpet = m.FindType("strike_carpet");
  SIM_AirStrikeType* buster = m.FindType("strike_tankbuster");
  SIM_AirStrikeType* heavy = m.FindType("strike_heavybomber");
  ASSERT_TRUE(carpet && buster && heavy);
  for (const auto& t : m.types) {
    EXPECT_LE(t->spreadRadius, carpet->spreadRadius);
    EXPECT_LE(t->effectiveVsArmour, buster->effectiveVsArmour);
    EXPECT_LE(t->orderDelay, heavy->orderDelay);
  }
  EXPECT_GT(heavy->orderDelay, 5000.0f);
  EXPECT_LT(buster->spreadRadius, carpet->spreadRadius / 2.0f);
  EXPECT_EQ(SIM_UnlocksManager::Get().TryFind("strike_carpet"), &carpet->unlockable);
}

// A broken strike file is skipped with a logged error; missing numbers read 0.
TEST(AirStrikeContent, FilesWithoutANameAreSkipped) {
  std::filesystem::create_directories("airstrike_test");
  {
    FILE* f = fopen("airstrike_test/a.txt", "w");
    fputs("[config]\nname = bare\nnum_strikes = lots\ndamage = nan\n", f);
    fclose(f);
    f = fopen("airstrike_test/b.txt", "w");
    fputs("[config]\ndamage = 10\n", f);
    fclose(f);
  }
  SIM_AirStrikeManager& m = GetAirStrikeManager();
  m.LoadTypes("airstrike_test/*.txt");
  ASSERT_EQ(m.types.size(), 1u);
  EXPECT_EQ(m.types[0]->strikeCount, 0);
  EXPECT_EQ(m.types[0]->damage, 0.0f);
  std::filesystem::remove_all("airstrike_test");
}

// ---- air drops -------------------------------------------------------------------------

// A strip of path squares, one row of 15; column 0 may be an exit, column 14 an
// attackers' square.
class AirDropTest : public ::testing::Test {
 protected:
  void Build(bool exitAt0, bool attackersAt14) {
    battle = &StartBareBattle();
    for (int c = 0; c < 15; ++c) {
      auto s = std::make_unique<SIM_MapSquare>();
      s->column = c;
      s->row = 0;
      s->links.push_back(c + 1);
      cells.push_back(std::make_unique<SIM_CollisionCell>());
      s->occupant = cells.back().get();
      scenario.routeStartSquares.push_back(s.get());
      if (exitAt0 && c == 0) {
        s->notExit = false;
        scenario.exitSquares.push_back(s.get());
      }
      if (attackersAt14 && c == 14) {
        s->attackerFlag = true;
        scenario.attackerSquares.push_back(s.get());
      }
      scenario.grid.push_back(std::move(s));
    }
    battle->scenario = &scenario;
    GetAirDropManager().Reset();
    battle->Begin();
    battle->frameStep = 16.0f;
    GetBattleHooks().airDropFalls = [this](int id, float x, float y) { falls.push_back(id); };
    GetBattleHooks().airDropCollected = [this](int id, bool player, float, float) {
      collected.push_back({id, player});
    };
    GetBattleHooks().tutorialTrigger = [this](const std::string& page) { pages.push_back(page); };
    design = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {});
  }
  void TearDown() override {
    for (auto& c : cells) c->occupant = nullptr;
    if (battle) battle->scenario = nullptr;
  }
  // The drop manager alone, one 16 ms frame at a time.
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) GetAirDropManager().Update();
  }
  void Stand(SIM_BattleUnit* unit, int column) { cells[static_cast<size_t>(column)]->occupant = unit; }
  void Leave(int column) { cells[static_cast<size_t>(column)]->occupant = nullptr; }
  int DropColumn() {
    auto& drops = GetAirDropManager().drops;
    return drops.empty() ? -1 : drops.front()->site->square->column;
  }

  SIM_Battle* battle = nullptr;
  SIM_Scenario scenario;
  std::vector<std::unique_ptr<SIM_CollisionCell>> cells;
  Catalogue cat;
  SIM_UnitDesign* design = nullptr;
  std::vector<int> falls;
  std::vector<std::pair<int, bool>> collected;
  std::vector<std::string> pages;
};

TEST_F(AirDropTest, SitesKeepAwayFromExitsAndAttackersSquares) {
  struct Case {
    bool exit, attackers;
    int first, last;
  } cases[] = {{false, false, 0, 14}, {true, false, 7, 14}, {true, true, 7, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first * 100 + c.last);
    Build(c.exit, c.attackers);
    std::vector<int> columns;
    for (auto& s : GetAirDropManager().sites) columns.push_back(s->square->column);
    ASSERT_EQ(columns.size(), static_cast<size_t>(c.last - c.first + 1));
    EXPECT_EQ(columns.front(), c.first);
    EXPECT_EQ(columns.back(), c.last);
    TearDown();
    scenario.Clear();
    scenario.routeStartSquares.clear();
    scenario.exitSquares.clear();
    scenario.attackerSquares.clear();
    scenario.grid.clear();
    cells.clear();
  }
}

// Nothing for 32 s of quiet; then one crate on a quiet site, and no second while it
// lies there. A unit on it collects it once for its side; the next crate avoids the
// square a unit stood on.
TEST_F(AirDropTest, OneCrateAtATimeOnQuietSquaresCreditedOnce) {
  Build(true, false);
  SIM_BattleUnit* scout = AddUnit(design, battle->playerArmy);
  Stand(scout, 9);  // keeps square 9 busy
  Run(1999);
  EXPECT_TRUE(GetAirDropManager().drops.empty()) << "no crate before 32 s of quiet";
  Run(1);
  ASSERT_EQ(GetAirDropManager().drops.size(), 1u);
  ASSERT_EQ(falls.size(), 1u);
  const int first = DropColumn();
  EXPECT_GE(first, 7);
  EXPECT_NE(first, 9);
  EXPECT_EQ(pages, std::vector<std::string>{"BATTLE_SUPPLYDROP"});  // the player attacks
  Run(4000);
  EXPECT_EQ(falls.size(), 1u) << "a second crate fell while the first lay there";

  Leave(9);
  Stand(scout, first);
  Run(1);
  EXPECT_EQ(GetAirDropManager().FindDrop(falls[0]), nullptr);
  ASSERT_EQ(collected.size(), 1u);
  EXPECT_EQ(collected[0], std::make_pair(falls[0], true));
  EXPECT_EQ(GetSupplyLimits().playerTrucks, 1);
  EXPECT_EQ(GetSupplyLimits().aiTrucks, 0);
  // The drop timer ran all along: the next crate follows in the same frame, on neither
  // the square the scout stands on nor the one it only just left.
  ASSERT_EQ(falls.size(), 2u);
  ASSERT_EQ(GetAirDropManager().drops.size(), 1u);
  EXPECT_NE(DropColumn(), first);
  EXPECT_NE(DropColumn(), 9);
  Run(100);
  EXPECT_EQ(collected.size(), 1u);
  EXPECT_EQ(GetSupplyLimits().playerTrucks, 1) << "credited twice";

  // The supplies are the attackers': the defender's unit on the crate collects it for
  // the attacking player all the same.
  SIM_BattleUnit* enemy = AddUnit(design, battle->opponentArmy);
  Leave(first);
  Stand(enemy, DropColumn());
  Run(1);
  ASSERT_EQ(collected.size(), 2u);
  EXPECT_TRUE(collected[1].second);
  EXPECT_EQ(GetSupplyLimits().playerTrucks, 2);
  EXPECT_EQ(GetSupplyLimits().aiTrucks, 0);

  // When the player defends, even the player's own unit collects for the attackers.
  battle->playerDefends = true;
  Leave(DropColumn() >= 0 ? DropColumn() : 0);
  Run(3000);
  ASSERT_FALSE(GetAirDropManager().drops.empty());
  Stand(scout, DropColumn());
  Run(1);
  ASSERT_EQ(collected.size(), 3u);
  EXPECT_FALSE(collected[2].second);
  EXPECT_EQ(GetSupplyLimits().playerTrucks, 2);
  EXPECT_EQ(GetSupplyLimits().aiTrucks, 1);
  EXPECT_EQ(GetAirDropManager().playerCollected, 2);
  EXPECT_EQ(GetAirDropManager().opponentCollected, 1);
}

// The drop waits for the first frame in which a site is quiet enough; outside a running
// battle nothing moves; clearing takes every crate and the handle finds nothing.
TEST_F(AirDropTest, DropsWaitForAQuietSiteAndClearLeavesNoCrate) {
  Build(false, false);
  SIM_BattleUnit* unit = AddUnit(design, battle->opponentArmy);
  // Occupy every square for 40 s, then free one.
  for (int c = 0; c < 15; ++c) cells[static_cast<size_t>(c)]->occupant = unit;
  Run(2500);
  EXPECT_TRUE(falls.empty());
  Leave(3);
  Run(1999);
  EXPECT_TRUE(falls.empty());
  Run(1);
  ASSERT_EQ(falls.size(), 1u);
  EXPECT_EQ(DropColumn(), 3);
  for (int c = 0; c < 15; ++c) Leave(c);

  battle->state = BATTLE_OVER;
  const float timer = GetAirDropManager().dropTimer;
  Run(100);
  EXPECT_FLOAT_EQ(GetAirDropManager().dropTimer, timer);

  GetAirDropManager().Clear();
  EXPECT_EQ(GetAirDropManager().FindDrop(falls[0]), nullptr);
  EXPECT_TRUE(GetAirDropManager().sites.empty());
}

}  // namespace
