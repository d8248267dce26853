// Weapons headless: two fixture units at a known range. Hit rolls against the hit
// chance, reload and salvo timing, target search by arc and minimum range, splash,
// missiles running out of fuel, beam damage after its delay, ammunition and resupply,
// flames and burns, and a whole fight that replays identically from its seed.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/BeamAndFlame.h"
#include "battle/KineticWeapon.h"
#include "battle/MissileLauncher.h"
#include "battle/Movement.h"
#include "battle/Projectiles.h"
#include "battle/TargetSelector.h"
#include "battle/TargetedComponents.h"
#include "simdata/UnitHullVariant.h"

using namespace battle_test;

namespace {

constexpr float kRange = 300.0f;  // shooter to target

// Weapon rows: these keys unless the case gives its own (the first of a key counts).
std::string WeaponData(const std::string& extra) {
  return extra +
         "\nwarhead = BULLET\ndamage = 10\nfire_interval = 1000\nmax_range = 500\ntracking_speed = 1\n"
         "effective_vs_shield = 1\neffective_vs_armor = 1\neffective_vs_internal = 1\n"
         "hit_vs_tank = 1\nhit_vs_mech = 1\nhit_vs_infantry = 1\nhit_vs_turret = 1\n"
         "ammunition = 1000\nammosupplytime = 2000\nspeed = 1\nfuel = 5000\nturnspeed = 0.5\n"
         "beam_duration = 600\nfiredelay = 200\nduration = 1000\n";
}

class WeaponFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    StartFight();
    aim = cat.Module("aim", "SIM_VariableComponent", "variable_name = UVT_WPN_ACCURACY\nvariable_var = 1");
    loader = cat.Module("loader", "SIM_VariableComponent",
                        "variable_name = UVT_WPN_LOADING_SPEED\nvariable_var = 1");
    // Engines without thrust: the target has hit points in four modules and stands still.
    filler = cat.Module("filler", "SIM_EngineComponent", "thrust = 0");
    targetHull = cat.Hull("target", SIZETYPE_TANK, 4, 4000.0f, 128.0f);
    pending = TargetDesign();
    target = Place(nullptr, battle->playerArmy, 1000.0f + kRange, 1000.0f, 270.0f);
  }
  void TearDown() override { variants.clear(); }

  // A running battle on a 4000-unit map with neutral damage constants.
  void StartFight() {
    battle = &StartBareBattle();
    battle->Begin();
    GetGameplay().DEFENDER_DAMAGE_MULT = 1.0f;
    battle->mapWidth = battle->mapHeight = 4000.0f;
  }

  SIM_UnitDesign* TargetDesign() { return cat.Design(targetHull, {filler, filler, filler, filler}); }

  // A unit of the design placed at (x, y) facing `heading`, its turret too.
  SIM_BattleUnit* Place(SIM_BattleUnit*, SIM_BattleArmy* army, float x, float y, float heading) {
    SIM_BattleUnit* u = battle_test::AddUnit(pending, army);
    u->x = x;
    u->y = y;
    u->heading = heading;
    u->OnDeployed();
    return u;
  }

  // A shooter at (1000, 1000) facing the target, with aim and loader modules unless told.
  SIM_BattleUnit* Shooter(const std::string& cls, const std::string& extra, int sizeType = SIZETYPE_TANK,
                          int barrels = 1, bool aimAndLoader = true) {
    SIM_ModuleType* w = cat.Module("weapon" + std::to_string(cat.types.size()), cls, WeaponData(extra));
    SIM_UnitHull* hull = cat.Hull("shooter", sizeType, 3, 1000.0f, 64.0f);
    SIM_UnitDesign* d = cat.Design(
        hull, aimAndLoader ? std::vector<SIM_ModuleType*>{w, aim, loader} : std::vector<SIM_ModuleType*>{w});
    auto v = std::make_unique<SIM_UnitHullVariant>(hull);
    for (int i = 0; i < barrels; ++i) {
      VariantLayer l;
      l.layerName = "gunbarrel";
      l.offsetx = static_cast<float>(i * 4);
      v->layers.push_back(l);
    }
    d->variant = v.get();
    variants.push_back(std::move(v));
    pending = d;
    return Place(nullptr, battle->opponentArmy, 1000.0f, 1000.0f, 90.0f);
  }

  template <typename W>
  static W* WeaponOf(SIM_BattleUnit* u) {
    return dynamic_cast<W*>(u->moduleManager->weapons.front());
  }

  // Runs battle frames until `done` holds or the limit passes; the frames run.
  template <typename F>
  int RunUntil(F done, int limit) {
    int frames = 0;
    while (frames < limit && !done()) {
      battle->Update();
      ++frames;
    }
    return frames;
  }

  Catalogue cat;
  SIM_Battle* battle = nullptr;
  SIM_ModuleType *aim = nullptr, *loader = nullptr, *filler = nullptr;
  SIM_UnitHull* targetHull = nullptr;
  SIM_BattleUnit* target = nullptr;
  SIM_UnitDesign* pending = nullptr;
  std::vector<std::unique_ptr<SIM_UnitHullVariant>> variants;
};

// --------------------------------------------------------------- hit chance

TEST_F(WeaponFixture, HitChanceFollowsSizeSpeedAccuracyAndTargetKind) {
  struct Case {
    const char* what;
    int sizeType;
    float size, speed, tracking;
    bool accuracy;
    float expected;
  };
  // (0.5 + 0.5 x size/256) x tracking term x accuracy x hit_vs_<kind>
  const Case cases[] = {
      {"still tank of size 128", SIZETYPE_TANK, 128, 0.0f, 1.0f, true, 0.75f * 0.5f},
      {"big building, size capped at 256", SIZETYPE_BUILDING, 512, 0.0f, 1.0f, true, 1.0f * 0.25f},
      {"running soldier, half the tracking", SIZETYPE_INFANTRY, 0, 0.5f, 1.0f, true, 0.5f * 0.5f * 2.0f},
      {"faster than the tracking speed", SIZETYPE_MECH, 256, 2.0f, 1.0f, true, 1.0f * 0.02f * 0.8f},
      {"no tracking speed, still target (no NaN)", SIZETYPE_TANK, 0, 0.0f, 0.0f, true, 0.5f * 0.5f},
      {"no accuracy module", SIZETYPE_TANK, 128, 0.0f, 1.0f, false, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s =
        Shooter("SIM_KineticWeaponComponent",
                "hit_vs_tank = 0.5\nhit_vs_turret = 0.25\nhit_vs_infantry = 2\nhit_vs_mech = 0.8\n"
                "tracking_speed = " +
                    std::to_string(c.tracking),
                SIZETYPE_TANK, 1, c.accuracy);
    target->sizeType = c.sizeType;
    target->size = c.size;
    target->movement->speed = c.speed;
    const float chance = WeaponOf<SIM_TargetedComponent>(s)->HitChance(target);
    EXPECT_FALSE(std::isnan(chance));
    EXPECT_NEAR(chance, c.expected, 1e-5f);
  }
}

// Each weapon class rolls its hit against the chance: over many seeded shots the share
// of hits stays within four standard deviations of the formula.
TEST_F(WeaponFixture, HitRateOverManyShotsMatchesTheChance) {
  struct Case {
    const char* cls;
    const char* extra;
  };
  const Case cases[] = {{"SIM_KineticWeaponComponent", "hit_vs_tank = 0.8"},
                        {"SIM_MissileLauncherComponent", "hit_vs_tank = 0.4\nwarhead = EXPLOSIVE"},
                        {"SIM_BeamLaserComponent", "hit_vs_tank = 0.6\nwarhead = ENERGY"}};
  constexpr int kShots = 3000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls);
    SIM_BattleUnit* s = Shooter(c.cls, c.extra);
    auto* w = WeaponOf<SIM_TargetedComponent>(s);
    w->selector->current = target;
    const float p = w->HitChance(target);
    int hits = 0;
    for (int i = 0; i < kShots; ++i) {
      if (auto* a = dynamic_cast<SIM_AmmoUsingComponent*>(w)) {
        a->ammunition = 100;
        a->resupplying = false;
      }
      w->Fire();
      if (auto* gun = dynamic_cast<SIM_KineticWeaponComponent*>(w)) {
        hits += gun->bullets[0].hit ? 1 : 0;
        gun->bullets[0].alive = false;
      } else if (auto* ml = dynamic_cast<SIM_MissileLauncherComponent*>(w)) {
        hits += ml->missiles[0].homing ? 1 : 0;
        ml->missiles[0].alive = false;
      } else if (auto* beam = dynamic_cast<SIM_BeamLaserComponent*>(w)) {
        hits += beam->hit ? 1 : 0;
        beam->StopEffects();
      }
    }
    const double sigma = std::sqrt(p * (1.0 - p) / kShots);
    EXPECT_NEAR(static_cast<double>(hits) / kShots, p, 4.0 * sigma) << "chance " << p;
  }
}

// ------------------------------------------------------------ reload timing

// The battle times (ms) at which the shooter fired during `frames` frames.
std::vector<float> ShotTimes(SIM_Battle& battle, SIM_BattleUnit* s, int frames) {
  std::vector<float> times;
  float seen = s->damageTally->shotsFired;
  for (int i = 0; i < frames; ++i) {
    battle.Update();
    if (s->damageTally->shotsFired != seen) {
      seen = s->damageTally->shotsFired;
      times.push_back(battle.battleClock);
    }
  }
  return times;
}

TEST_F(WeaponFixture, ReloadAndSalvoTiming) {
  struct Case {
    const char* what;
    const char* extra;
    float firstShotBy;          // the first shot comes within this much check time
    std::vector<float> gapMin;  // the gaps between shots, in turn (repeating the last pattern)
    std::vector<float> gapMax;
  };
  // Checks come every 64 ms, so a gap is the interval rounded up to the next check.
  const Case cases[] = {
      {"plain reload: 0.9-1.1 x interval", "fire_interval = 1000", 1000 + 64, {900}, {1100 + 64}},
      {"salvo of 3: two short gaps, then the salvo pause",
       "fire_interval = 200\nsalvo_size = 3\nsalvo_interval = 3000",
       200 + 64,
       {200, 200, 2400},
       {200 + 64, 200 + 64, 3600 + 64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", c.extra);
    const float start = battle->battleClock;
    const std::vector<float> times = ShotTimes(*battle, s, 800);  // 12.8 s
    ASSERT_GE(times.size(), 4u);
    EXPECT_LE(times[0] - start, c.firstShotBy + 64);
    for (size_t i = 1; i < times.size(); ++i) {
      const size_t k = (i - 1) % c.gapMin.size();
      const float gap = times[i] - times[i - 1];
      EXPECT_GE(gap, c.gapMin[k] - 0.5f) << "gap " << i;
      EXPECT_LE(gap, c.gapMax[k] + 0.5f) << "gap " << i;
    }
  }
}

TEST_F(WeaponFixture, WithoutALoaderTheNextShotTakesTenThousandTimesLonger) {
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "fire_interval = 1000", SIZETYPE_TANK, 1, false);
  auto* w = WeaponOf<SIM_TargetedComponent>(s);
  w->selector->current = target;
  w->Fire();
  EXPECT_GE(w->currentInterval, 0.9f * 1000.0f / 0.0001f);
  EXPECT_LE(w->currentInterval, 1.1f * 1000.0f / 0.0001f);
}

TEST_F(WeaponFixture, ABadlyDamagedWeaponReloadsSlower) {
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "");
  auto* w = WeaponOf<SIM_TargetedComponent>(s);
  w->hitPoints = w->maxHitPoints * 0.01f;
  w->healthFraction = 0.01f;
  w->reloadTimer = 0.0f;
  battle->Check();
  EXPECT_NEAR(w->effectiveInterval, w->currentInterval * 2.98f, 0.01f);
}

// ------------------------------------------------------------ target search

TEST_F(WeaponFixture, BestSearchIgnoresEnemiesOutOfArcOrInsideMinimumRange) {
  struct Case {
    const char* what;
    int shooterSize;
    float dx, dy;  // enemy offset from the shooter, which faces +x
    bool best;     // chosen by the best-target search
    bool nearest;  // chosen by the nearest search
  };
  const Case cases[] = {
      {"in front, in range", SIZETYPE_MECH, 300, 0, true, true},
      {"behind a mech (out of its 180 arc)", SIZETYPE_MECH, -300, 0, false, false},
      {"behind a tank (arc 360)", SIZETYPE_TANK, -300, 0, true, true},
      {"inside the minimum range", SIZETYPE_TANK, 80, 0, false, true},
      {"between max range and 1.25 x", SIZETYPE_TANK, 540, 0, false, true},
      {"soldier: 20 degrees to the turn side", SIZETYPE_INFANTRY, 300 * 0.940f, 300 * 0.342f, true, true},
      {"soldier: 30 degrees to the turn side", SIZETYPE_INFANTRY, 300 * 0.866f, 300 * 0.5f, false, false},
      {"soldier: 30 degrees to the other side", SIZETYPE_INFANTRY, 300 * 0.866f, -300 * 0.5f, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "min_range = 100", c.shooterSize);
    target->x = s->x + c.dx;
    target->y = s->y + c.dy;
    SIM_TargetSelector& sel = *WeaponOf<SIM_TargetedComponent>(s)->selector;
    sel.current = nullptr;
    sel.FindBestTarget();
    EXPECT_EQ(sel.current == target, c.best);
    sel.current = nullptr;
    sel.FindNearestTarget();
    EXPECT_EQ(sel.current == target, c.nearest);
  }
}

// The arc's edges hold to half a degree: a soldier covers 22 degrees to his turn side
// and 45 to the other, a mech 90 either side.
TEST_F(WeaponFixture, TheArcEdgesHoldToHalfADegree) {
  struct Case {
    int shooterSize;
    float degrees;  // off the shooter's heading; positive to the turn side
    bool taken;
  };
  const Case cases[] = {
      {SIZETYPE_INFANTRY, 21.5f, true},  {SIZETYPE_INFANTRY, 22.5f, false},
      {SIZETYPE_INFANTRY, -44.5f, true}, {SIZETYPE_INFANTRY, -45.5f, false},
      {SIZETYPE_INFANTRY, 0.0f, true},   {SIZETYPE_INFANTRY, 180.0f, false},
      {SIZETYPE_MECH, 89.5f, true},      {SIZETYPE_MECH, -90.5f, false},
      {SIZETYPE_MECH, -89.5f, true},
  };
  constexpr float kDegToRad = 3.14159265f / 180.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.shooterSize) + " at " + std::to_string(c.degrees));
    SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "", c.shooterSize);
    // The shooter faces +x; +y is its turn side.
    target->x = s->x + 300.0f * std::cos(c.degrees * kDegToRad);
    target->y = s->y + 300.0f * std::sin(c.degrees * kDegToRad);
    SIM_TargetSelector& sel = *WeaponOf<SIM_TargetedComponent>(s)->selector;
    sel.current = nullptr;
    sel.FindBestTarget();
    EXPECT_EQ(sel.current == target, c.taken);
  }
}

// Past 45 degrees off the heading the turn lowers the score: an enemy a little nearer
// than another at 44.5 degrees is chosen within 45 degrees and passed over beyond.
TEST_F(WeaponFixture, TheTurnCostsFromFortyFiveDegrees) {
  struct Case {
    float nearerAt;  // degrees off the heading of the nearer enemy
    bool nearerChosen;
  };
  const Case cases[] = {{44.0f, true}, {-44.5f, true}, {45.5f, false}, {-45.5f, false}, {60.0f, false}};
  constexpr float kDegToRad = 3.14159265f / 180.0f;
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "", SIZETYPE_TANK);
  pending = TargetDesign();
  SIM_BattleUnit* farther = Place(nullptr, battle->playerArmy, 0.0f, 0.0f, 270.0f);
  farther->x = s->x + 300.0f * std::cos(44.5f * kDegToRad);
  farther->y = s->y + 300.0f * std::sin(44.5f * kDegToRad);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nearerAt);
    // 297 against 300 units: a lead the turn's cost from 45.5 degrees outweighs.
    target->x = s->x + 297.0f * std::cos(c.nearerAt * kDegToRad);
    target->y = s->y + 297.0f * std::sin(c.nearerAt * kDegToRad);
    SIM_TargetSelector& sel = *WeaponOf<SIM_TargetedComponent>(s)->selector;
    sel.current = nullptr;
    sel.FindBestTarget();
    EXPECT_EQ(sel.current, c.nearerChosen ? target : farther);
  }
}

TEST_F(WeaponFixture, SearchTimersOfOneUnitsWeaponsAreStaggered) {
  SIM_ModuleType* w = cat.Module("gun", "SIM_KineticWeaponComponent", WeaponData(""));
  pending = cat.Design(cat.Hull("twin", SIZETYPE_TANK, 3, 100.0f), {w, w, aim});
  SIM_BattleUnit* s = Place(nullptr, battle->opponentArmy, 1000, 1000, 90);
  auto& weapons = s->moduleManager->weapons;
  ASSERT_EQ(weapons.size(), 2u);
  const float a = static_cast<SIM_TargetedComponent*>(weapons[0])->selector->searchTimer;
  const float b = static_cast<SIM_TargetedComponent*>(weapons[1])->selector->searchTimer;
  EXPECT_NE(a, b);
  EXPECT_LT(a, 300.0f);
  EXPECT_LT(b, 300.0f);
  // The rated weapon is the last one built.
  EXPECT_EQ(s->ratedWeapon, weapons[1]);
}

// Most weapons have no minimum range: the missing key reads 0 and raises no failed
// check (one per weapon built would fill the error log in every battle).
TEST_F(WeaponFixture, AMissingMinimumRangeReadsZeroWithoutAFailedCheck) {
  AssertText[0] = '\0';
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "");
  EXPECT_EQ(WeaponOf<SIM_TargetedComponent>(s)->selector->minRangeSq, 0.0f);
  // (The bare battle has no map, so the path manager's own checks may speak.)
  EXPECT_EQ(std::string(AssertText).find("TargetSelector"), std::string::npos) << AssertText;
}

// ------------------------------------------------------------------- splash

// Splash is a disc: every enemy strictly inside the radius takes damage x multiplier,
// the unit struck directly is left out, and nothing reaches past the radius.
TEST_F(WeaponFixture, SplashReachesToItsRadiusAndNoFurther) {
  struct Case {
    float distance;
    float expected;
  };
  const Case cases[] = {{0.0f, 5.0f}, {30.0f, 5.0f}, {59.9f, 5.0f}, {60.0f, 0.0f}, {200.0f, 0.0f}};
  SIM_BattleUnit* s =
      Shooter("SIM_KineticWeaponComponent", "splash_damage_radius = 60\nsplash_damage_multiplier = 0.5");
  auto* w = WeaponOf<SIM_TargetedComponent>(s);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    target->x = 2000.0f + c.distance;
    const float before = TotalHitPoints(target);
    w->SplashDamage(nullptr, 10.0f, 2000.0f, 1000.0f);
    EXPECT_NEAR(before - TotalHitPoints(target), c.expected, 1e-3f);
    const float again = TotalHitPoints(target);
    w->SplashDamage(target, 10.0f, 2000.0f, 1000.0f);
    EXPECT_EQ(TotalHitPoints(target), again) << "the excluded unit takes no splash";
  }
}

// -------------------------------------------------------- bullets in flight

TEST_F(WeaponFixture, TwoBarrelsLaunchTwoBulletsOnlyTheFirstMayHitAndVolleysLeaveLater) {
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent",
                              "volley_size = 3\nvolley_gap = 100\nhit_vs_tank = 100", SIZETYPE_TANK, 2);
  auto* gun = WeaponOf<SIM_KineticWeaponComponent>(s);
  ASSERT_EQ(gun->barrelCount, 2);
  gun->selector->current = target;
  gun->Fire();
  ASSERT_EQ(gun->BulletsInFlight(), 5);
  EXPECT_TRUE(gun->bullets[0].hit);  // a sure hit
  for (int i = 1; i < 5; ++i) EXPECT_FALSE(gun->bullets[static_cast<size_t>(i)].hit) << i;
  EXPECT_EQ(gun->bullets[1].launchDelay, 0.0f);
  EXPECT_EQ(gun->bullets[2].launchDelay, 100.0f);
  EXPECT_EQ(gun->bullets[3].launchDelay, 200.0f);
  EXPECT_EQ(gun->bullets[4].launchDelay, 300.0f);
}

TEST_F(WeaponFixture, AFullBulletPoolSpendsTheRoundButLaunchesNothing) {
  SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", "");
  auto* gun = WeaponOf<SIM_KineticWeaponComponent>(s);
  gun->selector->current = target;
  for (int i = 0; i < SIM_KineticWeaponComponent::kPoolSize; ++i) gun->Fire();
  EXPECT_EQ(gun->BulletsInFlight(), 64);
  const int ammo = gun->ammunition;
  gun->reloadTimer = 500.0f;
  gun->Fire();
  EXPECT_EQ(gun->BulletsInFlight(), 64);
  EXPECT_EQ(gun->ammunition, ammo - 1);
  EXPECT_EQ(gun->reloadTimer, 0.0f);
}

// A sure hit flies to the target and deals its damage on arrival; a sure miss lands
// beside it and hurts only through splash.
TEST_F(WeaponFixture, BulletsFlyInTheBattleStepAndStrikeOrLand) {
  struct Case {
    const char* what;
    const char* extra;
    float expectedDamage;
  };
  const Case cases[] = {
      {"sure hit", "hit_vs_tank = 100\ndamage = 10", 10.0f},
      {"sure miss, no splash", "hit_vs_tank = 0\ndamage = 10", 0.0f},
      {"sure miss, splash covers the target",
       "hit_vs_tank = 0\ndamage = 10\nsplash_damage_radius = 200\n"
       "splash_damage_multiplier = 0.5",
       5.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s = Shooter("SIM_KineticWeaponComponent", c.extra);
    auto* gun = WeaponOf<SIM_KineticWeaponComponent>(s);
    gun->selector->current = target;
    const float before = TotalHitPoints(target);
    gun->Fire();
    gun->selector->enabled = false;  // no further shots of its own
    // 300 units at 1 unit per ms: about 19 frames of 16 ms.
    const int frames = RunUntil([&] { return gun->BulletsInFlight() == 0; }, 100);
    EXPECT_LT(frames, 40);
    EXPECT_NEAR(before - TotalHitPoints(target), c.expectedDamage, 1e-3f);
  }
}

// A gun or a launcher whose unit is deleted leaves the battle's list of its kind: the
// weapons after it move up, and a round or missile fired before or after that still
// flies and strikes in the battle's own frames.
TEST_F(WeaponFixture, ShotsStillFlyAfterAnEarlierWeaponOfTheirKindHasGone) {
  struct Case {
    const char* what;
    const char* cls;
    std::string earlierExtra, extra;
    int (*inFlight)(SIM_TargetedComponent*);
    int limit, fewerFramesThan;
    float damage;
  };
  const std::string missile = "warhead = EXPLOSIVE\nfuel = 1000\nhit_vs_tank = 100\ndamage = 40";
  const Case cases[] = {
      {"a gun's round", "SIM_KineticWeaponComponent", "hit_vs_tank = 100", "hit_vs_tank = 100\ndamage = 10",
       [](SIM_TargetedComponent* w) {
         return dynamic_cast<SIM_KineticWeaponComponent*>(w)->BulletsInFlight();
       },
       100, 40, 10.0f},
      {"a launcher's missile", "SIM_MissileLauncherComponent", missile, missile,
       [](SIM_TargetedComponent* w) {
         return dynamic_cast<SIM_MissileLauncherComponent*>(w)->MissilesInFlight();
       },
       200, 100, 40.0f},
  };
  for (const Case& c : cases) {
    for (bool fireFirst : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (fireFirst ? ", fired before the earlier weapon went"
                                                    : ", fired after the earlier weapon went"));
      SIM_BattleUnit* earlier = Shooter(c.cls, c.earlierExtra);
      SIM_BattleUnit* s = Shooter(c.cls, c.extra);
      for (SIM_BattleUnit* u : {earlier, s}) WeaponOf<SIM_TargetedComponent>(u)->selector->enabled = false;
      auto* weapon = WeaponOf<SIM_TargetedComponent>(s);
      weapon->selector->current = target;
      const float before = TotalHitPoints(target);
      const auto fire = [&] {
        weapon->Fire();
        ASSERT_EQ(c.inFlight(weapon), 1);
      };
      if (fireFirst) fire();
      // Out of the army's lists, then deleted, as a unit that never took its place.
      SIM_BattleArmy* army = earlier->army;
      army->allUnits.remove(earlier);
      army->RemoveLiving(earlier);
      delete earlier;
      if (!fireFirst) fire();
      const int frames = RunUntil([&] { return c.inFlight(weapon) == 0; }, c.limit);
      EXPECT_LT(frames, c.fewerFramesThan);
      EXPECT_NEAR(before - TotalHitPoints(target), c.damage, 1e-3f);
    }
  }
}

// ------------------------------------------------------------------ missiles

TEST_F(WeaponFixture, MissilesStrikeOrRunOutOfFuelShortOfTheTarget) {
  struct Case {
    const char* what;
    const char* extra;
    float expectedDamage;
  };
  const Case cases[] = {
      {"enough fuel, homing", "fuel = 1000\nhit_vs_tank = 100\ndamage = 40", 40.0f},
      {"enough fuel, curved path", "fuel = 1000\nhit_vs_tank = 100\ndamage = 40\nhas_splines = 1", 40.0f},
      {"fuel for 150 of 300 units", "fuel = 150\nhit_vs_tank = 100\ndamage = 40", 0.0f},
      {"a miss only splashes",
       "fuel = 1000\nhit_vs_tank = 0\ndamage = 40\nsplash_damage_radius = 300\n"
       "splash_damage_multiplier = 0.25",
       10.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s =
        Shooter("SIM_MissileLauncherComponent", std::string("warhead = EXPLOSIVE\n") + c.extra);
    auto* ml = WeaponOf<SIM_MissileLauncherComponent>(s);
    ml->selector->current = target;
    const float before = TotalHitPoints(target);
    ml->Fire();
    ml->selector->enabled = false;  // no further shots of its own
    ASSERT_EQ(ml->MissilesInFlight(), 1);
    RunUntil([&] { return ml->MissilesInFlight() == 0; }, 200);
    EXPECT_EQ(ml->MissilesInFlight(), 0);
    EXPECT_NEAR(before - TotalHitPoints(target), c.expectedDamage, 1e-3f);
  }
}

TEST_F(WeaponFixture, ASixthMissileIsNotLaunchedButSpendsItsRound) {
  SIM_BattleUnit* s = Shooter("SIM_MissileLauncherComponent", "warhead = EXPLOSIVE");
  auto* ml = WeaponOf<SIM_MissileLauncherComponent>(s);
  ml->selector->current = target;
  for (int i = 0; i < 6; ++i) ml->Fire();
  EXPECT_EQ(ml->MissilesInFlight(), 5);
  EXPECT_EQ(ml->ammunition, ml->maxAmmunition - 6);
}

// --------------------------------------------------------------------- beams

TEST_F(WeaponFixture, BeamDamageLandsOnceAfterItsDelay) {
  struct Case {
    const char* what;
    const char* extra;
    int framesBeforeDamage;  // frames of 16 ms with no damage yet
    float damage;
    float beamTime;
  };
  const Case cases[] = {
      {"hit: damage after 200 ms", "firedelay = 200\nhit_vs_tank = 100", 12, 10.0f, 600.0f},
      {"delay beyond the beam: nothing", "firedelay = 700\nhit_vs_tank = 100", 60, 0.0f, 600.0f},
      {"miss: half as long, only splash", "firedelay = 200\nhit_vs_tank = 0", 12, 0.0f, 300.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* s = Shooter("SIM_BeamLaserComponent", std::string("warhead = ENERGY\n") + c.extra);
    auto* beam = WeaponOf<SIM_BeamLaserComponent>(s);
    beam->selector->current = target;
    const float before = TotalHitPoints(target);
    beam->Fire();
    EXPECT_FALSE(beam->selector->enabled) << "the target holds while the beam is on";
    EXPECT_EQ(beam->beamTime, c.beamTime);
    for (int i = 0; i < c.framesBeforeDamage; ++i) AdvanceWeaponsFrame(battle->frameStep);
    EXPECT_EQ(TotalHitPoints(target), before);
    RunUntil([&] { return !beam->beamOn; }, 100);
    EXPECT_NEAR(before - TotalHitPoints(target), c.damage, 1e-3f);
    EXPECT_TRUE(beam->selector->enabled);
    EXPECT_TRUE(RunningBeamSounds().empty());
  }
}

// ------------------------------------------------------------- ammunition

TEST_F(WeaponFixture, AmmunitionRunsOutAndIsResupplied) {
  SIM_BattleUnit* s =
      Shooter("SIM_KineticWeaponComponent", "ammunition = 3\nammosupplytime = 1000\nfire_interval = 100");
  auto* gun = WeaponOf<SIM_KineticWeaponComponent>(s);
  RunUntil([&] { return gun->resupplying; }, 200);
  ASSERT_TRUE(gun->resupplying);
  EXPECT_EQ(gun->ammunition, 0);
  EXPECT_EQ(s->damageTally->shotsFired, 3.0f);
  EXPECT_FALSE(gun->selector->enabled);
  // Half way through the resupply the weapon shows it; no shot goes out meanwhile.
  RunUntil([&] { return gun->resupplyTimer >= 500.0f; }, 100);
  EXPECT_NEAR(gun->ReadyFraction(), 0.5f, 0.07f);
  EXPECT_EQ(s->damageTally->shotsFired, 3.0f);
  RunUntil([&] { return !gun->resupplying; }, 100);
  EXPECT_EQ(gun->ammunition, 3);
  EXPECT_TRUE(gun->selector->enabled);
  RunUntil([&] { return s->damageTally->shotsFired > 3.0f; }, 100);
  EXPECT_EQ(s->damageTally->shotsFired, 4.0f);
}

// ------------------------------------------------------------------- flames

TEST_F(WeaponFixture, AFlameBurstSetsEnemiesAlongTheFlameOnFire) {
  SIM_BattleUnit* s = Shooter("SIM_FlamethrowerComponent",
                              "warhead = FLAMES\ndamage = 50\nmax_range = 400\nsplash_damage_radius = 40\n"
                              "duration = 600\nhit_vs_tank = 100");
  pending = TargetDesign();
  SIM_BattleUnit* beside = Place(nullptr, battle->playerArmy, 1150, 1030, 0);  // 30 off the line
  SIM_BattleUnit* offLine = Place(nullptr, battle->playerArmy, 1150, 1100, 0);
  SIM_BattleUnit* beyond = Place(nullptr, battle->playerArmy, 1420, 1000, 0);  // on the line, past range
  auto* flamer = WeaponOf<SIM_FlamethrowerComponent>(s);
  flamer->selector->current = target;
  flamer->Fire();
  EXPECT_TRUE(flamer->burning);
  EXPECT_FALSE(flamer->selector->enabled);
  RunUntil([&] { return !flamer->burning; }, 100);
  EXPECT_TRUE(flamer->selector->enabled);
  flamer->ammunition = 0;  // one burst only
  EXPECT_EQ(target->attachments.size(), 1u);
  EXPECT_EQ(beside->attachments.size(), 1u);
  EXPECT_TRUE(offLine->attachments.empty());
  EXPECT_TRUE(beyond->attachments.empty());
  // The burn deals 40%, 20%, then 10% four times over three seconds.
  auto* burn = dynamic_cast<SIM_Burn*>(beside->attachments.front().get());
  ASSERT_NE(burn, nullptr);
  const float expected[] = {20, 10, 5, 5, 5, 5};
  for (int j = 0; j < SIM_Burn::kParts; ++j) {
    EXPECT_FLOAT_EQ(burn->partDamage[j], expected[j]);
    EXPECT_FLOAT_EQ(burn->partDue[j], 500.0f * static_cast<float>(j));
  }
  const float before = TotalHitPoints(beside);
  RunUntil([&] { return beside->attachments.empty(); }, 400);
  EXPECT_TRUE(beside->attachments.empty());
  EXPECT_NEAR(before - TotalHitPoints(beside), 50.0f, 1e-3f);
}

// A looping flame sound must not outlive its burst: warping out, dying or the battle's
// end stop it, and the selector is free again.
TEST_F(WeaponFixture, AFlameBurstEndsWhenItsUnitWarpsOutOrDies) {
  // What draws the flame hears of the burst's start and end.
  static std::vector<std::pair<SIM_FlamethrowerComponent*, bool>>* bursts = nullptr;
  std::vector<std::pair<SIM_FlamethrowerComponent*, bool>> heard;
  bursts = &heard;
  GetBattleHooks().flameBurst = [](SIM_FlamethrowerComponent* f, bool on) { bursts->emplace_back(f, on); };
  for (int way = 0; way < 2; ++way) {
    SCOPED_TRACE(way == 0 ? "warp-out" : "death");
    heard.clear();
    SIM_BattleUnit* s = Shooter("SIM_FlamethrowerComponent", "warhead = FLAMES\nduration = 5000");
    auto* flamer = WeaponOf<SIM_FlamethrowerComponent>(s);
    flamer->selector->current = target;
    flamer->Fire();
    ASSERT_TRUE(flamer->burning);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), std::make_pair(flamer, true));
    if (way == 0) {
      s->WarpOut();
      RunUntil([&] { return s->state == US_GONE; }, 30);
    } else {
      s->moduleManager->TakeDamage(nullptr, target, 1.0e6f, 1, 1, 1, WARHEAD_BULLET);
    }
    EXPECT_FALSE(flamer->burning);
    EXPECT_EQ(flamer->soundHandle, -1);
    EXPECT_TRUE(target->attachments.empty()) << "an interrupted burst sets nothing on fire";
    EXPECT_EQ(heard.back(), std::make_pair(flamer, false)) << "the flame's drawer lets go";
  }
  GetBattleHooks().flameBurst = nullptr;
}

// ------------------------------------------------------- a whole fight

struct FightResult {
  int frames = 0;
  float shots = 0.0f;
  float targetHitPoints = 0.0f;
  bool operator==(const FightResult& o) const {
    return frames == o.frames && shots == o.shots && targetHitPoints == o.targetHitPoints;
  }
};

// Two units with every weapon class duel until one side is gone: no screen is drawn,
// and the same seed gives the same fight, frame for frame.
TEST_F(WeaponFixture, AHeadlessFightEndsAndReplaysIdenticallyFromItsSeed) {
  auto fight = [&](uint32_t seed) {
    StartFight();
    InitRandomWithSeed(seed);
    SIM_ModuleType* gun =
        cat.Module("g", "SIM_KineticWeaponComponent", WeaponData("damage = 30\nspeed = 1.5"));
    SIM_ModuleType* ml =
        cat.Module("m", "SIM_MissileLauncherComponent",
                   WeaponData("warhead = EXPLOSIVE\ndamage = 40\nspeed = 0.5\nhas_splines = 1\n"
                              "fire_interval = 2000"));
    SIM_ModuleType* beam =
        cat.Module("b", "SIM_BeamLaserComponent", WeaponData("warhead = ENERGY\ndamage = 20"));
    pending = cat.Design(cat.Hull("duelist", SIZETYPE_TANK, 6, 600.0f, 96.0f), {gun, ml, beam, aim, loader});
    SIM_BattleUnit* a = Place(nullptr, battle->opponentArmy, 1000, 1000, 90);
    pending =
        cat.Design(cat.Hull("victim", SIZETYPE_TANK, 4, 800.0f, 96.0f), {filler, filler, filler, filler});
    SIM_BattleUnit* b = Place(nullptr, battle->playerArmy, 1400, 1000, 270);
    FightResult r;
    r.frames = RunUntil([&] { return b->removed; }, 5000);
    r.shots = a->damageTally->shotsFired;
    r.targetHitPoints = TotalHitPoints(b);
    EXPECT_TRUE(b->removed) << "seed " << seed;
    EXPECT_GT(a->damageTally->totalDamage, 0.0f);
    return r;
  };
  const FightResult first = fight(77);
  const FightResult again = fight(77);
  EXPECT_TRUE(first == again) << first.frames << " vs " << again.frames;
  EXPECT_GT(first.shots, 3.0f);
}

}  // namespace
