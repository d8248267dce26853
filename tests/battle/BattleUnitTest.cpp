// Battle units through their states (drop-in, construction, active, destroyed,
// warped out), the unit manager's purge and the armies' damage shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleAI.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnitManager.h"
#include "battle/Movement.h"
#include "battle/TargetedComponents.h"
#include "engine/MathHelpers.h"
#include "simdata/GlobalStats.h"
#include "simdata/UnitHullVariant.h"

using namespace battle_test;

namespace {

bool Contains(const std::list<SIM_BattleUnit*>& list, const SIM_BattleUnit* u) {
  return std::find(list.begin(), list.end(), u) != list.end();
}

struct DropCase {
  const char* name;
  int sizeType;
  float dropFactor;
  bool fighting;     // dropped after the deployment phase
  int framesInDrop;  // frames still in state 2 (the next one leaves it)
  int stateAfter;
};

class DropIn : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropIn, LeavesStateTwoAfter250MsTimesTheDropFactor) {
  const DropCase& c = GetParam();
  SIM_Battle& battle = StartBareBattle();
  GetGameplay().CONSTRUCTION_SPEED_SMALL = 2.0f;  // 100 cost -> 200 ms to build
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("h", c.sizeType, 1, 100.0f);
  hull->moduleSize = "SMALLTURRET";
  SIM_BattleUnit* u = AddUnit(cat.Design(hull, {}, 100.0f), battle.playerArmy);
  u->dropFactor = c.dropFactor;
  u->state = US_DROPPING_IN;
  if (c.fighting) battle.Begin();
  for (int i = 0; i < c.framesInDrop; ++i) battle.Update();
  EXPECT_EQ(u->state, US_DROPPING_IN);
  EXPECT_FALSE(u->visual->placed);
  battle.Update();
  EXPECT_EQ(u->state, c.stateAfter);
  EXPECT_TRUE(u->visual->placed);
  if (c.stateAfter == US_UNDER_CONSTRUCTION) {
    for (int i = 0; i < 12; ++i) battle.Update();  // 192 ms of 200
    EXPECT_EQ(u->state, US_UNDER_CONSTRUCTION);
    EXPECT_NEAR(u->GetConstructionProgress(), 192.0f / 200.0f, 1e-4);
    battle.Update();
    EXPECT_EQ(u->state, US_ACTIVE);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Units, DropIn,
    ::testing::Values(
        // 16 frames of 16 ms pass 250 ms only at the 16th (256 > 250).
        DropCase{"Tank", SIZETYPE_TANK, 1.0f, true, 15, US_ACTIVE},
        DropCase{"Mech", SIZETYPE_MECH, 1.0f, true, 15, US_ACTIVE},
        DropCase{"FastSoldier", SIZETYPE_INFANTRY, 0.5f, true, 7, US_ACTIVE},
        DropCase{"SlowSoldier", SIZETYPE_INFANTRY, 2.0f, true, 31, US_ACTIVE},
        DropCase{"BuildingBeforeTheFight", SIZETYPE_BUILDING, 1.0f, false, 15, US_ACTIVE},
        DropCase{"BuildingDuringTheFight", SIZETYPE_BUILDING, 1.0f, true, 15, US_UNDER_CONSTRUCTION}),
    [](const ::testing::TestParamInfo<DropCase>& i) { return std::string(i.param.name); });

TEST(BattleUnit, SoldiersDropInOverARandomSpan) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* d = cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {});
  float low = 10.0f, high = 0.0f;
  for (int i = 0; i < 50; ++i) {
    SIM_BattleUnit* u = AddUnit(d, battle.playerArmy);
    low = std::min(low, u->dropFactor);
    high = std::max(high, u->dropFactor);
  }
  EXPECT_GE(low, 0.5f);
  EXPECT_LT(high, 2.0f);
  EXPECT_GT(high - low, 0.5f);
}

TEST(BattleUnit, CanActOnlyWhileFightingAndInAnActingState) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("t", SIZETYPE_TANK, 1, 10.0f), {}), battle.playerArmy);
  const bool acts[12] = {true, false, false, false, true, true, true, true, false, false, false, true};
  for (int s = 0; s < 12; ++s) {
    u->state = s;
    battle.state = BATTLE_DEPLOYMENT;
    EXPECT_FALSE(u->CanAct()) << s;
    battle.state = BATTLE_RUNNING;
    EXPECT_EQ(u->CanAct(), acts[s]) << s;
  }
}

TEST(BattleUnit, LocalToWorldTurnsOffsetsWithTheHeading) {
  SIM_BattleUnit u;
  u.x = 100.0f;
  u.y = 200.0f;
  const struct {
    float heading, ox, oy, wx, wy;
  } cases[] = {{0, 10, 0, 110, 200}, {90, 10, 0, 100, 210}, {180, 0, -10, 100, 210}, {270, 10, 5, 105, 190}};
  for (const auto& c : cases) {
    u.SetHeading(c.heading);
    u.CacheHeading();
    float wx = 0, wy = 0;
    u.LocalToWorld(c.ox, c.oy, &wx, &wy);
    EXPECT_NEAR(wx, c.wx, 1e-3) << c.heading;
    EXPECT_NEAR(wy, c.wy, 1e-3) << c.heading;
  }
  // During the drop-in, offsets shrink from 1.5 times to their own size.
  u.state = US_DROPPING_IN;
  u.placementTimer = 125.0f;
  EXPECT_FLOAT_EQ(u.DropInScale(), 1.25f);
  u.state = US_ACTIVE;
  EXPECT_FLOAT_EQ(u.DropInScale(), 1.0f);
}

// A tank and a soldier of each army, fighting.
class Purge : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void SetUp() override {
    battle = &StartBareBattle();
    SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 10");
    tankDesign = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 2, 100.0f), {plate, plate});
    soldierDesign = cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {plate});
    tank = AddUnit(tankDesign, battle->opponentArmy);
    soldier = AddUnit(soldierDesign, battle->opponentArmy);
    battle->Begin();
  }
  void Kill(SIM_BattleUnit* u) {
    u->moduleManager->TakeDamage(nullptr, nullptr, 1000.0f, 1, 1, 1, WARHEAD_BULLET);
  }
  void ExpectPurged(SIM_BattleUnit* u) {
    EXPECT_EQ(u->state, US_DESTROYED);
    EXPECT_TRUE(u->removed);
    EXPECT_FALSE(Contains(GetBattleUnitManager().allUnits, u));
    EXPECT_FALSE(Contains(u->army->livingUnits, u));
    EXPECT_FALSE(Contains(u->army->movers, u));
    // Kept for the post-mortem until the next battle starts.
    EXPECT_TRUE(Contains(u->army->allUnits, u));
    EXPECT_EQ(u->visual, nullptr);
  }
  Catalogue cat;
  SIM_Battle* battle = nullptr;
  SIM_UnitDesign *tankDesign, *soldierDesign;
  SIM_BattleUnit *tank, *soldier;
};

TEST_F(Purge, ATankFadesForOver100MsThenLeavesTheLists) {
  Kill(tank);
  ASSERT_EQ(tank->state, US_INACTIVE);
  const int wrecks = views.view.wrecksKept;
  for (int i = 0; i < 6; ++i) battle->Update();  // 96 ms
  EXPECT_EQ(tank->state, US_INACTIVE);
  EXPECT_TRUE(Contains(GetBattleUnitManager().allUnits, tank));
  const int tests = GetOutcomeManager().testCount;
  battle->Update();  // 112 ms: destroyed and taken out in the same frame
  ExpectPurged(tank);
  EXPECT_EQ(views.view.wrecksKept, wrecks + 1);
  EXPECT_EQ(GetOutcomeManager().testCount, tests + 1);
  EXPECT_EQ(battle->opponentArmy->LivingCount(), 1);
}

TEST_F(Purge, ASoldierPlaysItsDeathFramesFirst) {
  Kill(soldier);
  ASSERT_TRUE(soldier->visual->dying);
  int frames = 0;
  while (soldier->state == US_INACTIVE && frames < 1000) {
    battle->Update();
    ++frames;
  }
  // 32 death frames, each held for more than 16 ms: two frames at normal speed.
  EXPECT_EQ(frames, 64);
  battle->Update();
  ExpectPurged(soldier);
}

// Two soldiers killed in one frame, the later one first: their death frames end in the
// same frame, and they fall in the order they joined the battle, as every frame's walk
// runs.
TEST_F(Purge, SoldiersKilledTogetherFallInTheOrderTheyJoined) {
  SIM_BattleUnit* later = AddUnit(soldierDesign, battle->opponentArmy);
  battle->Update();
  ASSERT_FALSE(later->visual->dying);
  Kill(later);
  Kill(soldier);
  int frames = 0;
  while (soldier->state == US_INACTIVE && frames < 1000) {
    battle->Update();
    ++frames;
  }
  EXPECT_EQ(frames, 64);
  EXPECT_EQ(later->state, US_DESTROYED);
  EXPECT_EQ(
      std::vector<SIM_BattleUnit*>(GetBattleUnitManager().dead.begin(), GetBattleUnitManager().dead.end()),
      (std::vector<SIM_BattleUnit*>{soldier, later}));
  battle->Update();
  ExpectPurged(soldier);
  ExpectPurged(later);
}

// A soldier deleted while he falls (as a refused soldier or a torn-down army is) is
// ticked no more; the one who fell beside him still falls in time.
TEST_F(Purge, ASoldierDeletedWhileFallingIsTickedNoMore) {
  SIM_BattleUnit* beside = AddUnit(soldierDesign, battle->opponentArmy);
  battle->Update();
  Kill(soldier);
  Kill(beside);
  battle->Update();
  SIM_BattleArmy* army = soldier->army;
  army->allUnits.remove(soldier);
  army->RemoveLiving(soldier);
  army->movers.remove(soldier);
  delete soldier;
  soldier = nullptr;
  int frames = 1;
  while (beside->state == US_INACTIVE && frames < 1000) {
    battle->Update();
    ++frames;
  }
  EXPECT_EQ(frames, 64);
  battle->Update();
  ExpectPurged(beside);
}

TEST_F(Purge, ADeathAndAnExitInOneFrameMakeOneOutcomeTest) {
  tank->Destroy();
  soldier->FinishWarpOut();
  battle->Update();
  EXPECT_EQ(GetOutcomeManager().testCount, 1);
  EXPECT_FLOAT_EQ(GetOutcomeManager().total, 1.0f);  // the soldier's victory point
  EXPECT_EQ(battle->opponentArmy->LivingCount(), 0);
  EXPECT_EQ(soldier->state, US_GONE);
}

TEST_F(Purge, WarpOutTakes200MsAndHappensOnce) {
  tank->state = US_ACTIVE;
  tank->WarpOut();
  EXPECT_EQ(tank->state, US_WARPING_OUT);
  tank->WarpOut();
  for (int i = 0; i < 12; ++i) battle->Update();  // 192 ms
  EXPECT_EQ(tank->state, US_WARPING_OUT);
  EXPECT_NEAR(tank->warpAlpha, 1.0f - 192.0f / 200.0f, 1e-5);
  battle->Update();
  EXPECT_EQ(tank->state, US_GONE);
  EXPECT_FALSE(Contains(GetBattleUnitManager().allUnits, tank));
}

TEST(Demolition, RefundsCostTimesRateTimesHealthToItsSide) {
  for (const bool players : {true, false}) {
    SIM_Battle& battle = StartBareBattle();
    Gameplay& g = GetGameplay();
    g.DECONSTRUCT_RECOVERY_RATE = 0.5f;
    g.DECONSTRUCT_SPEED_MULTIPLIER = 1.0f;
    g.CONSTRUCTION_SPEED_LARGE = 1.0f;  // 200 cost -> 200 ms either way
    Catalogue cat;
    SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
    SIM_UnitHull* hull = cat.Hull("fort", SIZETYPE_BUILDING, 2, 100.0f);
    hull->moduleSize = "LARGETURRET";
    SIM_BattleUnit* b =
        AddUnit(cat.Design(hull, {plate, plate}, 200.0f), players ? battle.playerArmy : battle.opponentArmy);
    ASSERT_FLOAT_EQ(b->demolitionTime, 200.0f);
    b->moduleManager->TakeDamage(nullptr, nullptr, 25.0f, 1, 1, 1, WARHEAD_NONE);  // 75% health
    // Still deploying: no supply cap applies to the refund.
    const float supplies = g.supplies;
    b->state = US_DEMOLISHING;
    for (int i = 0; i < 12; ++i) battle.Update();
    EXPECT_EQ(b->state, US_DEMOLISHING);
    battle.Update();
    EXPECT_EQ(b->state, US_DESTROYED) << players;
    EXPECT_TRUE(b->removed);
    EXPECT_FALSE(Contains(GetBattleUnitManager().allUnits, b));
    const float refund = 200.0f * 0.5f * 0.75f;
    EXPECT_NEAR(g.supplies - supplies, players ? refund : 0.0f, 1e-3) << players;
    EXPECT_NEAR(GetDefenderAI().budget, players ? 0.0f : refund, 1e-3) << players;
  }
}

TEST(ArmyShares, NormalisedAgainstTheBestUnitOnStaggeredChecks) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* d = cat.Design(cat.Hull("t", SIZETYPE_TANK, 1, 10.0f), {});
  SIM_BattleUnit* p1 = AddUnit(d, battle.playerArmy);
  SIM_BattleUnit* p2 = AddUnit(d, battle.playerArmy);
  SIM_BattleUnit* o1 = AddUnit(d, battle.opponentArmy);
  SIM_BattleUnit* o2 = AddUnit(d, battle.opponentArmy);
  p1->damageTally->shieldDamage = 30.0f;
  p1->damageTally->hullDamage = 10.0f;
  p2->damageTally->armourDamage = 10.0f;
  o1->damageTally->hullDamage = 5.0f;
  o2->damageTally->hullDamage = 20.0f;
  // The player's army first at the 4th check (250 + 4 x 64 > 500), the opponent's at the 8th.
  for (int check = 1; check <= 8; ++check) {
    GetBattleUnitManager().UpdateCheck();
    EXPECT_FLOAT_EQ(p2->damageTally->share, check >= 4 ? 0.25f : 0.0f) << check;
    EXPECT_FLOAT_EQ(o1->damageTally->share, check >= 8 ? 0.25f : 0.0f) << check;
  }
  EXPECT_FLOAT_EQ(p1->damageTally->share, 1.0f);
  EXPECT_FLOAT_EQ(o2->damageTally->share, 1.0f);
}

TEST(ArmyValue, CountsLivingUnitsByHealth) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 0");
  SIM_UnitDesign* d = cat.Design(cat.Hull("t", SIZETYPE_TANK, 2, 100.0f), {plate, plate}, 80.0f);
  SIM_BattleUnit* a = AddUnit(d, battle.playerArmy);
  AddUnit(d, battle.playerArmy);
  a->moduleManager->TakeDamage(nullptr, nullptr, 50.0f, 1, 1, 1, WARHEAD_NONE);
  EXPECT_FLOAT_EQ(battle.playerArmy->ComputeValue(), 80.0f * 0.5f + 80.0f);
  battle.playerArmy->RemoveLiving(a);
  EXPECT_FLOAT_EQ(battle.playerArmy->ComputeValue(), 80.0f);
}

}  // namespace

namespace {

// Odd data must not crash the battle, hang it or leave a unit that never dies.
TEST(BattleRobustness, UnitsWithoutModulesOrVisualStillDie) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  const struct {
    const char* name;
    int sizeType;
    int slots;
  } cases[] = {{"NoModules", SIZETYPE_TANK, 0}, {"NoSizeType", SIZETYPE_NONE, 2}};
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
  battle.Begin();
  for (const auto& c : cases) {
    std::vector<SIM_ModuleType*> mods(static_cast<size_t>(c.slots), plate);
    SIM_BattleUnit* u =
        AddUnit(cat.Design(cat.Hull(c.name, c.sizeType, c.slots, 100.0f), mods), battle.opponentArmy);
    u->moduleManager->TakeDamage(nullptr, nullptr, 500.0f, 1, 1, 1, WARHEAD_BULLET);
    EXPECT_EQ(u->state, US_INACTIVE) << c.name;
    for (int i = 0; i < 20 && u->state != US_DESTROYED; ++i) battle.Update();
    EXPECT_EQ(u->state, US_DESTROYED) << c.name;
    EXPECT_FALSE(Contains(GetBattleUnitManager().allUnits, u)) << c.name;
  }
}

TEST(BattleRobustness, DefenderSetUpEndsWhenAPassDeploysNothing) {
  // Thresholds of 0 are always met: without the end rule the loading screen would hang.
  GetDefenderAI().budget = 500.0f;
  SIM_Battle& battle = StartBareBattle();
  EXPECT_EQ(battle.state, BATTLE_DEPLOYMENT);
  // One pass that placed nothing, not the safety cap.
  EXPECT_EQ(battle.preparePasses, 1);
}

TEST(BattleRobustness, AUnitWithoutADesignIsAssertedAndStillDies) {
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  AssertText[0] = '\0';
  SIM_BattleUnit* u = AddUnit(nullptr, battle.opponentArmy);
  EXPECT_NE(std::string(AssertText).find("d != nullptr"), std::string::npos) << AssertText;
  ASSERT_NE(u->moduleManager, nullptr);
  EXPECT_EQ(u->moduleManager->ModuleCount(), 0);
  EXPECT_FLOAT_EQ(u->GetRefund(), 0.0f);
  u->state = US_ACTIVE;
  for (int i = 0; i < 8; ++i) battle.Update();
  u->moduleManager->TakeDamage(nullptr, nullptr, 10.0f, 1, 1, 1, WARHEAD_BULLET);
  for (int i = 0; i < 80 && u->state != US_DESTROYED; ++i) battle.Update();
  EXPECT_EQ(u->state, US_DESTROYED);
}

// A beam laser's looped sound belongs to a living unit; one still listed for a unit that
// died or left is reported every frame, and deleting the unit takes it off the list.
TEST(BattleRobustness, BeamSoundsOfUnitsThatAreGoneAreReported) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* d = cat.Design(cat.Hull("t", SIZETYPE_TANK, 1, 10.0f), {});
  const struct {
    int state;
    bool stale;
  } cases[] = {{US_ACTIVE, false},
               {US_INACTIVE, false},
               {US_WARPING_OUT, false},
               {US_DESTROYED, true},
               {US_GONE, true}};
  int expected = 0;
  for (const auto& c : cases) {
    SIM_BattleUnit* u = AddUnit(d, battle.playerArmy);
    u->state = c.state;
    RunningBeamSounds().push_back(u);
    expected += c.stale ? 1 : 0;
  }
  EXPECT_EQ(CheckRunningBeamSounds(), expected);
  battle.Update();
  battle.Start();  // the units are deleted: no entry may outlive them
  EXPECT_TRUE(RunningBeamSounds().empty());
  EXPECT_EQ(CheckRunningBeamSounds(), 0);
}

}  // namespace

namespace {

TEST(BattleUnit, BarrelPointTurnsWithTheTurretAboutItsPivot) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("t", SIZETYPE_TANK, 1, 10.0f);
  auto variantOwner = std::make_unique<SIM_UnitHullVariant>(hull);
  SIM_UnitHullVariant* variant = variantOwner.get();
  VariantLayer turret;
  turret.layerName = "tank_turret";
  turret.offsety = 5.0f;
  VariantLayer barrel;
  barrel.layerName = "gunbarrel";
  barrel.offsety = -5.0f;
  barrel.sizey = 10.0f;
  variant->layers = {turret, barrel};
  variant->turretOffsetY = 5.0f;
  SIM_UnitDesign* d = cat.Design(hull, {});
  d->variant = variant;
  SIM_BattleUnit* u = AddUnit(d, battle.playerArmy);
  u->x = 100.0f;
  u->y = 100.0f;
  u->CacheHeading();
  const struct { float turret, wx, wy; } cases[] = {{0, 100, 90}, {90, 115, 105}, {180, 100, 120}};
  for (const auto& c : cases) {
    u->turretFacing->angle = c.turret;
    float wx = 0, wy = 0;
    u->GetNamedPointWorldPos("gunbarrel", &wx, &wy);
    EXPECT_NEAR(wx, c.wx, 1e-3) << c.turret;
    EXPECT_NEAR(wy, c.wy, 1e-3) << c.turret;
  }
  // A point the artwork lacks falls back to the turret pivot.
  float wx = 0, wy = 0;
  u->GetNamedPointWorldPos("exhaust", &wx, &wy);
  EXPECT_NEAR(wx, 100.0f, 1e-3);
  EXPECT_NEAR(wy, 105.0f, 1e-3);
}

}  // namespace

namespace {

TEST(BattleUnit, AnOrderedUnitTurnsAndIsActiveWithinThreeDegrees) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("t", SIZETYPE_TANK, 1, 10.0f), {}), battle.playerArmy);
  battle.Begin();
  u->x = u->y = 500.0f;
  u->MoveTo(1000.0f, 500.0f);  // due east: 90 degrees
  u->state = US_TURNING;
  // 0.12 degrees per ms at full throttle: 1.92 degrees a frame, 87 degrees in 46 frames.
  for (int i = 0; i < 45; ++i) battle.Update();
  EXPECT_EQ(u->state, US_TURNING);
  EXPECT_NEAR(u->heading, 45 * 1.92f, 1e-2);
  battle.Update();
  EXPECT_EQ(u->state, US_ACTIVE);
}

}  // namespace

namespace {

// A visual whose chosen parts are shot away.
class PartsVisual : public SIM_UnitVisual {
 public:
  using SIM_UnitVisual::SIM_UnitVisual;
  bool IsPartDestroyed(const SIM_UnitTargetData* part) const override {
    return std::find(destroyed.begin(), destroyed.end(), part) != destroyed.end();
  }
  std::vector<const SIM_UnitTargetData*> destroyed;
};

TEST(BattleUnit, FireAimsAtTheNextPartStillStanding) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("t", SIZETYPE_TANK, 1, 10.0f);
  for (int i = 0; i < 2; ++i) hull->targets.push_back(std::make_unique<SIM_UnitTargetData>());
  SIM_BattleUnit* u = AddUnit(cat.Design(hull, {}), battle.opponentArmy);
  ASSERT_EQ(u->targetParts.size(), 3u);
  auto visual = std::make_unique<PartsVisual>(u);
  PartsVisual* v = visual.get();
  u->visual = std::move(visual);
  const auto part = [&](int i) { return u->targetParts[static_cast<size_t>(i)]; };

  EXPECT_EQ(u->GetActivePart(), part(0));
  v->destroyed = {part(0)};
  EXPECT_EQ(u->GetActivePart(), part(1));
  EXPECT_EQ(u->partCursor, 1);
  // Wraps past the end; with every part gone it still answers after one pass.
  u->partCursor = 2;
  v->destroyed = {part(2)};
  EXPECT_EQ(u->GetActivePart(), part(0));
  v->destroyed = {part(0), part(1), part(2)};
  EXPECT_NE(u->GetActivePart(), nullptr);
  // Soldiers have no parts to shoot away.
  SIM_BattleUnit* soldier =
      AddUnit(cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {}), battle.opponentArmy);
  EXPECT_EQ(soldier->GetActivePart(), soldier->targetParts[0]);
}

TEST(BattleUnit, HeadLookKeepsItsWanderFourSecondsThenTurnsToATarget) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_UnitDesign* d = cat.Design(cat.Hull("inf", SIZETYPE_INFANTRY, 1, 10.0f), {});
  SIM_BattleUnit* u = AddUnit(d, battle.playerArmy);
  ASSERT_NE(u->headLook, nullptr);
  u->state = US_ACTIVE;
  u->SetHeading(100.0f);
  battle.Begin();
  SIM_HeadLook& look = *u->headLook;
  const float offset = look.wanderOffset;
  EXPECT_GE(offset, -40.0f);
  EXPECT_LE(offset, 40.0f);
  // 249 frames of 16 ms = 3984 ms: the same offset throughout.
  for (int i = 0; i < 249; ++i) battle.Update();
  EXPECT_FLOAT_EQ(look.wanderOffset, offset);
  // The soldier's heading wobbles as it stands; the head wanders about it.
  EXPECT_NEAR(look.wanted, std::fmod(u->heading + offset + 360.0f, 360.0f), 1e-3);
  battle.Update();  // 4000 ms: a new draw, and the timer starts again
  EXPECT_FLOAT_EQ(look.wanderTimer, 0.0f);
  EXPECT_GE(look.wanderOffset, -40.0f);
  EXPECT_LE(look.wanderOffset, 40.0f);
  // A target takes the head at 0.32 degrees per ms.
  SIM_BattleUnit* enemy = AddUnit(d, battle.opponentArmy);
  enemy->x = u->x + 100.0f;
  enemy->y = u->y;
  u->target = enemy;
  look.angle = 0.0f;
  battle.Update();
  EXPECT_FLOAT_EQ(look.wanted, 90.0f);
  EXPECT_NEAR(look.angle, 0.32f * 16.0f, 1e-3);
}

}  // namespace

namespace {

// What a unit's end writes to the statistics and the supply tallies, by whose it was,
// which side it fought on and how it left.
struct EndCase {
  const char* name;
  bool playerDefends;
  bool players;  // the unit is the player's
  int sizeType;
  bool warpsOut;  // else destroyed
  int destroyedCount, infantryExits;
  float valueLost, escaped;
};

class UnitEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(UnitEnd, CountsTheRightTallies) {
  const EndCase& c = GetParam();
  GetBattle().playerDefends = c.playerDefends;
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("h", c.sizeType, 1, 10.0f);
  SIM_BattleUnit* u =
      AddUnit(cat.Design(hull, {}, 120.0f), c.players ? battle.playerArmy : battle.opponentArmy);
  u->state = US_ACTIVE;
  const std::string kind = u->KindName();
  if (c.warpsOut) {
    u->WarpOut();
    for (int i = 0; i < 14; ++i) battle.Update();
    EXPECT_EQ(u->state, US_GONE);
  } else {
    u->Destroy();
    u->Destroy();  // a second call changes nothing
    battle.Update();
  }
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  EXPECT_EQ(stats.GetStat("destroyed_total_" + kind), c.destroyedCount);
  EXPECT_EQ(stats.GetStat("temp_infantry_exit"), c.infantryExits);
  EXPECT_FLOAT_EQ(GetGameplay().valueLost, c.valueLost);
  EXPECT_FLOAT_EQ(u->damageTally->escaped, c.escaped);
  EXPECT_FALSE(Contains(GetBattleUnitManager().allUnits, u));
}

INSTANTIATE_TEST_SUITE_P(
    Tallies, UnitEnd,
    ::testing::Values(
        // The computer's attacking tank: its cost counts as value the attack lost.
        EndCase{"ComputerAttackerDestroyed", true, false, SIZETYPE_TANK, false, 1, 0, 120.0f, 0},
        EndCase{"ComputerDefenderDestroyed", false, false, SIZETYPE_BUILDING, false, 1, 0, 0, 0},
        EndCase{"PlayersUnitDestroyed", false, true, SIZETYPE_TANK, false, 0, 0, 0, 0},
        EndCase{"PlayersSoldierEscapes", false, true, SIZETYPE_INFANTRY, true, 0, 1, 0, 1},
        EndCase{"PlayersTankEscapes", false, true, SIZETYPE_TANK, true, 0, 0, 0, 1},
        EndCase{"ComputerTankEscapes", true, false, SIZETYPE_TANK, true, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<EndCase>& i) { return std::string(i.param.name); });

}  // namespace

namespace {
uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}
}  // namespace

// The kept bearing is given again only while neither end has moved: each call here
// moves one coordinate (by as little as one step of the float) and must get the arc
// tangent's own answer, bit for bit; the turret aims by it in the frame update.
TEST(BattleUnit, KeptBearingFollowsEveryMoveOfEitherEnd) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("h", SIZE_TANK, 1, 100.0f), {}, 100.0f), battle.playerArmy);
  SIM_BattleUnit* t =
      AddUnit(cat.Design(cat.Hull("t", SIZE_TANK, 1, 100.0f), {}, 100.0f), battle.opponentArmy);
  struct Move {
    float ux, uy, tx, ty;
  };
  const float up = std::nextafter(300.0f, 1000.0f);
  const Move moves[] = {
      {100.0f, 100.0f, 300.0f, 300.0f}, {100.0f, 100.0f, 300.0f, 300.0f},  // asked again: kept
      {100.0f, 100.0f, up, 300.0f},     {100.0f, 100.0f, up, up},          // the far end, one step
      {-1.0f, 100.0f, up, up},          {-1.0f, -1.0f, up, up},            // the near end
      {0.0f, 0.0f, -5.0f, 0.0f},        {0.0f, 0.0f, -5.0f, -0.0f},        // signed zeros
      {-0.0f, 0.0f, -5.0f, -0.0f},
  };
  for (const Move& m : moves) {
    u->x = m.ux;
    u->y = m.uy;
    EXPECT_EQ(Bits(u->BearingTo(m.tx, m.ty)), Bits(HeadingDegrees(m.ux, m.uy, m.tx, m.ty)))
        << m.ux << "," << m.uy << " -> " << m.tx << "," << m.ty;
  }
  // Through the frame update: the turret aims at the target's bearing as it stands.
  battle.Begin();
  for (const Move& m : moves) {
    u->x = m.ux;
    u->y = m.uy;
    t->x = m.tx;
    t->y = m.ty;
    u->target = t;
    battle.Update();
    u->target = t;
    ASSERT_TRUE(u->turretFacing);
    EXPECT_EQ(Bits(u->turretFacing->wanted), Bits(HeadingDegrees(u->x, u->y, t->x, t->y)));
  }
  ResetAllSingletons();
}

// Hull points follow the heading the frame update leaves, whether the unit turned in
// place or drove, and however many frames pass between two asks.
TEST(BattleUnit, HullPointsTurnWithTheHeadingOfTheLastFrame) {
  for (const int every : {1, 2, 3, 5}) {
    SIM_Battle& battle = StartBareBattle();
    Catalogue cat;
    SIM_BattleUnit* u = AddUnit(cat.Design(cat.Hull("t", SIZETYPE_TANK, 1, 10.0f), {}), battle.playerArmy);
    battle.Begin();
    u->moduleManager->powerRatio = 0.1f;
    u->moduleManager->speedValue = 0.0125f;
    u->moduleManager->HandlingChanged();
    u->x = u->y = 500.0f;
    // Close by and off to the side: the bearing keeps changing as the tank drives past.
    u->MoveTo(560.0f, 420.0f);
    u->state = US_TURNING;  // turns in place first, then drives while it turns on
    int turnedInPlace = 0, drove = 0;
    float lastHeading = u->heading;
    for (int frame = 1; frame <= 60; ++frame) {
      battle.Update();
      (u->movement->step > 0.0f ? drove : turnedInPlace) += u->heading != lastHeading ? 1 : 0;
      lastHeading = u->heading;
      if (frame % every != 0) continue;
      float c = 0.0f, s = 0.0f;
      SIM_BattleUnit::HeadingCosSin(u->heading, &c, &s);
      float wx = 0.0f, wy = 0.0f;
      u->LocalToWorld(10.0f, -4.0f, &wx, &wy);
      EXPECT_EQ(Bits(wx), Bits(c * 10.0f - s * -4.0f + u->x)) << every << " " << frame;
      EXPECT_EQ(Bits(wy), Bits(c * -4.0f + s * 10.0f + u->y)) << every << " " << frame;
    }
    EXPECT_GT(turnedInPlace, 5) << every;
    EXPECT_GT(drove, 5) << every;
    ResetAllSingletons();
  }
}
