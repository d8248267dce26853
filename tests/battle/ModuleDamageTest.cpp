// Damage passes through shields, then armour, then random internal modules; the
// module framework's factory, recounts, repair and the passive components.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleHooks.h"
#include "battle/Movement.h"
#include "battle/PassiveComponents.h"
#include "battle/SupportComponents.h"
#include "battle/TargetedComponents.h"
#include "battle/UnitVariables.h"

using namespace battle_test;

namespace {

// A tank of four slots and 400 hull hit points (100 per module): a 50-point shield,
// 100 armour points, an engine and a supply module.
class DamageFixture : public ::testing::Test {
 protected:
  ScopedRecordingView views;
  void SetUp() override {
    battle = &StartBareBattle();
    shield = cat.Module("shield", "SIM_ShieldComponent", "shieldpoints = 50\nrecharge rate = 0.5");
    armour = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 100");
    engine = cat.Module("engine", "SIM_EngineComponent", "thrust = 20");
    supply = cat.Module("crate", "SIM_SupplyComponent");
    gun = cat.Module("gun", "SIM_KineticWeaponComponent",
                     "warhead = EXPLOSIVE\neffective_vs_shield = 1\neffective_vs_armor = 1\n"
                     "effective_vs_internal = 1");
    tankHull = cat.Hull("tank", SIZETYPE_TANK, 4, 400.0f);
    target = AddUnit(cat.Design(tankHull, {shield, armour, engine, supply}), battle->playerArmy);
    shooterHull = cat.Hull("shooter", SIZETYPE_TANK, 1, 100.0f);
    shooter = AddUnit(cat.Design(shooterHull, {gun}), battle->opponentArmy);
  }

  SIM_ShieldComponent* Shield() { return target->moduleManager->shieldComponents[0]; }
  SIM_ArmorComponent* Armour() { return target->moduleManager->armourComponents[0]; }
  void Hit(float damage, float vsShield = 1, float vsArmour = 1, float vsInternal = 1,
           int warhead = WARHEAD_EXPLOSIVE) {
    target->moduleManager->TakeDamage(target->targetParts[0], shooter, damage, vsShield, vsArmour, vsInternal,
                                      warhead);
  }

  Catalogue cat;
  SIM_Battle* battle = nullptr;
  SIM_ModuleType *shield, *armour, *engine, *supply, *gun;
  SIM_UnitHull *tankHull, *shooterHull;
  SIM_BattleUnit* target = nullptr;
  SIM_BattleUnit* shooter = nullptr;
};

struct LayerCase {
  const char* name;
  float damage, vsShield, vsArmour;
  float shieldLeft, armourLeft, hitPointsLeft;
  float shieldBefore = 50.0f, armourBefore = 100.0f;  // points the layers hold when hit
};

class DamageOrder : public DamageFixture, public ::testing::WithParamInterface<LayerCase> {};

TEST_P(DamageOrder, ShieldsThenArmourThenInternals) {
  const LayerCase& c = GetParam();
  Shield()->shield = c.shieldBefore;
  Armour()->armour = c.armourBefore;
  Hit(c.damage, c.vsShield, c.vsArmour);
  EXPECT_FLOAT_EQ(Shield()->shield, c.shieldLeft);
  EXPECT_FLOAT_EQ(Armour()->armour, c.armourLeft);
  EXPECT_FLOAT_EQ(TotalHitPoints(target), c.hitPointsLeft);
  // The attacker's tally sees each layer's share.
  const UnitBattleStats& tally = *shooter->damageTally;
  EXPECT_FLOAT_EQ(tally.shieldDamage, c.shieldBefore - c.shieldLeft);
  EXPECT_FLOAT_EQ(tally.armourDamage, c.armourBefore - c.armourLeft);
  EXPECT_FLOAT_EQ(tally.hullDamage, 400.0f - c.hitPointsLeft);
  EXPECT_FLOAT_EQ(tally.totalDamage, tally.shieldDamage + tally.armourDamage + tally.hullDamage);
  // Odd effects never leave NaN or infinity in the unit or the tally.
  for (float v : {Shield()->shield, Armour()->armour, TotalHitPoints(target), tally.totalDamage})
    EXPECT_TRUE(std::isfinite(v)) << v;
}

INSTANTIATE_TEST_SUITE_P(
    Layers, DamageOrder,
    ::testing::Values(LayerCase{"ShieldAbsorbsAll", 30, 1, 1, 20, 100, 400},
                      LayerCase{"ShieldExactlyEmptied", 50, 1, 1, 0, 100, 400},
                      LayerCase{"SpillsIntoArmour", 120, 1, 1, 0, 30, 400},
                      LayerCase{"SpillsIntoInternals", 200, 1, 1, 0, 0, 350},
                      // Half effect on shields: 100 damage is 50 shield points, all absorbed.
                      LayerCase{"WeakVsShields", 100, 0.5f, 1, 0, 100, 400},
                      // Double effect: 100 -> 200 shield terms, 150 left = 75 damage -> 150 armour terms.
                      LayerCase{"StrongVsShieldsAndArmour", 100, 2, 2, 0, 0, 375},
                      // A weapon with no effect on a layer that still has points is stopped by it,
                      // unharmed: the limit of the formula as the effect goes to zero.
                      LayerCase{"NoEffectVsShieldsStopsAtShields", 1000, 0, 1, 50, 100, 400},
                      LayerCase{"NoEffectVsEitherStopsAtShields", 100, 0, 0, 50, 100, 400},
                      LayerCase{"NoEffectVsArmourStopsAtArmour", 1000, 1, 0, 0, 100, 400},
                      LayerCase{"NoEffectVsArmourWithAPointLeft", 1000, 1, 0, 0, 1, 400, 50, 1},
                      // A layer with no points left stops nothing, whatever the effect on it.
                      LayerCase{"NoEffectVsEmptyShieldsPassesOn", 70, 0, 1, 0, 30, 400, 0, 100},
                      LayerCase{"NoEffectVsEmptyArmourPassesOn", 100, 1, 0, 0, 0, 350, 50, 0},
                      LayerCase{"NoEffectVsBothEmptyReachesInternals", 100, 0, 0, 0, 0, 300, 0, 0},
                      // Effects that are not numbers or below zero count as none.
                      LayerCase{"NaNVsShieldsCountsAsNone", 100, NAN, 1, 50, 100, 400},
                      LayerCase{"NegativeVsArmourCountsAsNone", 1000, 1, -2, 0, 100, 400}),
    [](const ::testing::TestParamInfo<LayerCase>& i) { return std::string(i.param.name); });

// The numbers that float up from a hit: one per layer that stopped it, and the damage
// that reached the internals when it is more than a point.
struct NumberCase {
  const char* name;
  float damage;
  std::vector<int> kinds;  // in the order shown
  float internalShown;
};

class DamageNumbers : public DamageFixture, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(DamageNumbers, OnePerLayerThatStoppedTheHit) {
  const NumberCase& c = GetParam();
  struct Shown {
    SIM_BattleUnit* unit;
    float value;
    int kind;
  };
  std::vector<Shown> shown;
  GetBattleHooks().damageNumber = [&](SIM_BattleUnit* u, float value, int kind, float, float) {
    shown.push_back({u, value, kind});
  };
  Hit(c.damage);
  ASSERT_EQ(shown.size(), c.kinds.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].kind, c.kinds[i]) << i;
    EXPECT_EQ(shown[i].unit, target);
  }
  if (!shown.empty() && shown.back().kind == 2) {
    EXPECT_FLOAT_EQ(shown.back().value, c.internalShown);
  }
  if (!shown.empty() && shown.front().kind == 0) {
    EXPECT_FLOAT_EQ(shown.front().value, c.damage);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layers, DamageNumbers,
    ::testing::Values(NumberCase{"ShieldTakesAll", 40, {0}, 0},
                      // Shield emptied with damage left over: no shield number; armour took it all.
                      NumberCase{"ArmourTakesTheRest", 120, {1}, 0}, NumberCase{"InternalsHit", 200, {2}, 50},
                      // A sliver through the armour is shown as nothing.
                      NumberCase{"SliverNotShown", 150.5f, {}, 0}),
    [](const ::testing::TestParamInfo<NumberCase>& i) { return std::string(i.param.name); });

// Recharge runs once per check but adds one frame's step: the game speed scales it.
TEST_F(DamageFixture, ShieldRechargeScalesWithTheGameSpeed) {
  battle->Begin();
  const struct {
    float speed, gained;
  } cases[] = {{1.0f, 0.5f * 16.0f}, {0.2f, 0.5f * 3.2f}, {4.0f, 0.5f * 64.0f}};
  for (const auto& c : cases) {
    Shield()->shield = 10.0f;
    Shield()->active = 1;
    battle->SetSpeed(c.speed);
    battle->frameStep = 16.0f * c.speed;
    target->moduleManager->UpdateModules();
    EXPECT_NEAR(Shield()->shield, 10.0f + c.gained, 1e-4) << c.speed;
  }
  // Never past the maximum.
  Shield()->shield = 49.0f;
  target->moduleManager->UpdateModules();
  EXPECT_FLOAT_EQ(Shield()->shield, 50.0f);
  EXPECT_FLOAT_EQ(target->moduleManager->shieldFraction, 1.0f);
}

TEST_F(DamageFixture, MissingFactorsNeverProduceNaN) {
  Hit(1000, 0, 0, 0);
  EXPECT_TRUE(std::isfinite(target->moduleManager->healthFraction));
  EXPECT_TRUE(std::isfinite(target->moduleManager->armourFraction));
  EXPECT_TRUE(std::isfinite(target->moduleManager->shieldFraction));
  for (auto& m : target->moduleManager->allModules) EXPECT_TRUE(std::isfinite(m->hitPoints));
  EXPECT_TRUE(std::isfinite(shooter->damageTally->totalDamage));
}

TEST_F(DamageFixture, InternalDamageSpillsAcrossModulesUntilUsedUp) {
  // Knock one module out first: picking it again must not absorb anything.
  target->moduleManager->allModules[3]->TakeDamage(1000);
  Shield()->shield = 0.0f;
  Armour()->armour = 0.0f;
  Hit(150 + 250, 0, 0);  // both outer layers empty: all 400 reaches the internals
  EXPECT_FLOAT_EQ(TotalHitPoints(target), 0.0f);
  Hit(0.5f);
  for (auto& m : target->moduleManager->allModules) EXPECT_GE(m->hitPoints, 0.0f);
}

TEST_F(DamageFixture, PartialInternalDamageIsExact) {
  Hit(150 + 170);  // 50 shield, 100 armour, 170 internals spread over random modules
  EXPECT_FLOAT_EQ(TotalHitPoints(target), 230.0f);
  EXPECT_EQ(target->state, US_ACTIVE);
  EXPECT_NEAR(target->moduleManager->healthFraction, 230.0f / 400.0f, 1e-6);
}

TEST_F(DamageFixture, VisualReactionsFollowTheLayerReached) {
  ASSERT_NE(CallsOf(target->visual.get()), nullptr);
  VisualCalls& v = *CallsOf(target->visual.get());
  Hit(30, 1, 1, 1, WARHEAD_BULLET);  // shields only: no reaction
  EXPECT_EQ(v.layerDamageCalls + v.damagedCalls + v.hitCalls, 0);
  Hit(70, 1, 1, 1, WARHEAD_BULLET);  // reaches armour, not internals
  EXPECT_EQ(v.layerDamageCalls, 1);
  Hit(200, 1, 1, 1, WARHEAD_BULLET);  // internals: the visual shows damage
  EXPECT_EQ(v.damagedCalls, 1);
  Hit(10, 1, 1, 1, WARHEAD_ENERGY);
  EXPECT_EQ(v.hitCalls, 1);
}

TEST_F(DamageFixture, DestructionMarksTheUnitOnceAndStopsAtZero) {
  Hit(2000);
  EXPECT_EQ(target->state, US_INACTIVE);
  ASSERT_NE(CallsOf(target->visual.get()), nullptr);
  EXPECT_EQ(CallsOf(target->visual.get())->destroyedCalls, 1);
  EXPECT_FLOAT_EQ(TotalHitPoints(target), 0.0f);
  Hit(100);
  EXPECT_EQ(CallsOf(target->visual.get())->destroyedCalls, 1);
}

TEST_F(DamageFixture, ComputerUnitsGetTheCheatReductionPlayerUnitsDoNot) {
  GetGameplay().AI_CHEAT_DAMAGE_REDUCTION = 0.25f;
  SIM_BattleUnit* enemy =
      AddUnit(cat.Design(tankHull, {shield, armour, engine, supply}), battle->opponentArmy);
  enemy->moduleManager->TakeDamage(nullptr, nullptr, 40, 1, 1, 1, WARHEAD_BULLET);
  Hit(40);
  EXPECT_FLOAT_EQ(enemy->moduleManager->shieldComponents[0]->shield, 20.0f);  // 30 taken
  EXPECT_FLOAT_EQ(Shield()->shield, 10.0f);                                   // 40 taken
  // A reduction past 100% from a bad constants file must not turn hits into repairs.
  GetGameplay().AI_CHEAT_DAMAGE_REDUCTION = 1.5f;
  enemy->moduleManager->TakeDamage(nullptr, nullptr, 40, 1, 1, 1, WARHEAD_BULLET);
  EXPECT_FLOAT_EQ(enemy->moduleManager->shieldComponents[0]->shield, 20.0f);
  EXPECT_FLOAT_EQ(TotalHitPoints(enemy), 400.0f);
}

TEST_F(DamageFixture, ShieldKnockedOutStaysDownUntilRepaired) {
  Hit(50);
  ASSERT_FLOAT_EQ(Shield()->shield, 0.0f);
  EXPECT_EQ(Shield()->active, 0);
  battle->frameStep = 16.0f;
  target->moduleManager->UpdateModules();
  EXPECT_FLOAT_EQ(Shield()->shield, 0.0f);
  // Any repair call switches it back on, even at full hit points.
  Shield()->Repair(1.0f);
  target->moduleManager->UpdateModules();
  EXPECT_FLOAT_EQ(Shield()->shield, 0.5f * 16.0f);
  EXPECT_NEAR(target->moduleManager->shieldFraction, 8.0f / 50.0f, 1e-6);
}

TEST_F(DamageFixture, ArmourRepairTurnsOneBudgetIntoFourPoints) {
  Hit(50 + 10);  // armour 90
  EXPECT_FLOAT_EQ(Armour()->Repair(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(Armour()->armour, 94.0f);
  EXPECT_FLOAT_EQ(Armour()->Repair(2.0f), 2.0f);  // capped at the maximum, still used
  EXPECT_FLOAT_EQ(Armour()->armour, 100.0f);
}

TEST_F(DamageFixture, RepairBudgetRestoresModulesAndEnds) {
  Hit(150 + 100);  // 100 internal damage, armour empty
  target->moduleManager->RepairUnit(1000.0f);
  EXPECT_FLOAT_EQ(TotalHitPoints(target), 400.0f);
  EXPECT_FLOAT_EQ(target->moduleManager->healthFraction, 1.0f);
  EXPECT_FLOAT_EQ(Armour()->armour, 100.0f);
}

TEST_F(DamageFixture, EngineKeepsItsThrustAndSetsSpeed) {
  SIM_ModuleManager& mm = *target->moduleManager;
  EXPECT_FLOAT_EQ(mm.totalWeight, 10.0f);  // hull weight, modules weigh nothing here
  EXPECT_FLOAT_EQ(mm.powerRatio, 2.0f);
  EXPECT_FLOAT_EQ(mm.speedValue, 2.0f * 0.008f);
  mm.engineComponents[0]->thrust = 0.0f;
  mm.UpdateModules();
  EXPECT_FLOAT_EQ(mm.engineComponents[0]->thrust, 20.0f);
}

// A hit that reaches the internals works the speed out again, and the unit's very next
// frame drives at the new top speed.
TEST_F(DamageFixture, ARecountedTopSpeedHoldsFromTheNextFrame) {
  battle->Begin();
  SIM_ModuleManager& mm = *target->moduleManager;
  target->x = target->y = 500.0f;
  target->heading = 90.0f;
  target->MoveTo(4000.0f, 500.0f);
  target->state = US_ACTIVE;
  for (int frame = 0; frame < 40; ++frame) battle->Update();
  ASSERT_TRUE(target->movement);
  const float before = target->movement->speed;
  ASSERT_GT(before, 0.4f);  // well on its way to 2.0 at 0.016 a frame
  // A weaker engine as of now: the recount after the hit finds a tenth of the thrust.
  mm.engineComponents[0]->thrust = 2.0f;
  Hit(50 + 100 + 10);
  ASSERT_FLOAT_EQ(mm.powerRatio, 0.2f);
  battle->Update();
  EXPECT_LE(target->movement->speed, 0.2f);
  EXPECT_LE(target->movement->step, 0.2f * battle->frameStep);
}

// ---- the factory and upgrades

TEST(ModuleFactory, EverySlotSharesTheHullHitPointsFilledOrNot) {
  StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 5");
  SIM_UnitHull* hull = cat.Hull("ten", SIZETYPE_TANK, 10, 500.0f);
  SIM_BattleUnit* u = AddUnit(cat.Design(hull, {plate, plate, plate, plate}), GetBattle().playerArmy);
  ASSERT_EQ(u->moduleManager->ModuleCount(), 4);
  for (auto& m : u->moduleManager->allModules) EXPECT_FLOAT_EQ(m->maxHitPoints, 50.0f);
}

TEST(ModuleFactory, ListsModulesByKindAndRatesTheLastWeapon) {
  StartBareBattle();
  Catalogue cat;
  const char* classes[] = {
      "SIM_KineticWeaponComponent", "SIM_EngineComponent",          "SIM_ArmorComponent",
      "SIM_BeamLaserComponent",     "SIM_MissileLauncherComponent", "SIM_HospitalComponent",
      "SIM_RepairComponent",        "SIM_CommandComponent",         "SIM_SupplyComponent",
      "SIM_FlamethrowerComponent",  "SIM_ShieldComponent"};
  std::vector<SIM_ModuleType*> types;
  for (const char* c : classes) types.push_back(cat.Module(c, c));
  SIM_BattleUnit* u =
      AddUnit(cat.Design(cat.Hull("big", SIZETYPE_TANK, 11, 110.0f), types), GetBattle().playerArmy);
  SIM_ModuleManager& mm = *u->moduleManager;
  EXPECT_EQ(mm.ModuleCount(), 11);
  EXPECT_EQ(mm.weapons.size(), 4u);
  EXPECT_EQ(mm.engineComponents.size(), 1u);
  EXPECT_EQ(mm.armourComponents.size(), 1u);
  EXPECT_EQ(mm.shieldComponents.size(), 1u);
  EXPECT_TRUE(mm.allModules[9]->UsesAmmo());
  EXPECT_FALSE(mm.allModules[3]->UsesAmmo());  // beam lasers need no ammunition
  EXPECT_EQ(u->ratedWeapon, mm.allModules[9].get());
}

// The battle's check reaches every module whose check does something: engines restore
// their thrust, shields recharge, support modules run their pulse timers and weapons
// their reload timers, whatever else the unit carries between them.
TEST(ModuleFactory, TheBattleCheckStepsEveryModuleThatHasACheck) {
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  Catalogue cat;
  const std::string weapon =
      "max_range = 500\nfire_interval = 1000\nammunition = 100\nammosupplytime = 2000\ndamage = 1\n";
  const struct {
    const char* cls;
    std::string data;
  } kinds[] = {{"SIM_ArmorComponent", "maxdamageabsorbable = 10"},
               {"SIM_KineticWeaponComponent", weapon},
               {"SIM_VariableComponent", "variable_name = UVT_WPN_ACCURACY\nvariable_var = 1"},
               {"SIM_EngineComponent", "thrust = 20"},
               {"SIM_SupplyComponent", ""},
               {"SIM_BeamLaserComponent", weapon},
               {"SIM_MissileLauncherComponent", weapon},
               {"SIM_HospitalComponent", "pulse_radius = 100"},
               {"SIM_RepairComponent", "pulse_radius = 100"},
               {"SIM_CommandComponent", "pulse_radius = 100"},
               {"SIM_FlamethrowerComponent", weapon},
               {"SIM_ShieldComponent", "shieldpoints = 50\nrecharge rate = 0.5"}};
  std::vector<SIM_ModuleType*> types;
  for (const auto& k : kinds) types.push_back(cat.Module(k.cls, k.cls, k.data));
  SIM_BattleUnit* u =
      AddUnit(cat.Design(cat.Hull("all", SIZETYPE_TANK, 12, 120.0f), types), battle.playerArmy);
  u->x = u->y = 1000.0f;
  u->OnDeployed();
  u->state = US_ACTIVE;
  SIM_ModuleManager& mm = *u->moduleManager;
  ASSERT_EQ(mm.ModuleCount(), 12);
  mm.engineComponents[0]->thrust = 0.0f;
  SIM_ShieldComponent& shield = *mm.shieldComponents[0];
  shield.shield = 10.0f;
  std::vector<float> pulseBefore, reloadBefore;
  std::vector<SIM_SupportComponent*> supports;
  std::vector<SIM_TargetedComponent*> weapons;
  for (auto& m : mm.allModules) {
    if (auto* s = dynamic_cast<SIM_SupportComponent*>(m.get())) {
      supports.push_back(s);
      pulseBefore.push_back(s->pulseTimer);
    }
    if (auto* w = dynamic_cast<SIM_TargetedComponent*>(m.get())) {
      weapons.push_back(w);
      reloadBefore.push_back(w->reloadTimer);
    }
  }
  ASSERT_EQ(supports.size(), 3u);
  ASSERT_EQ(weapons.size(), 4u);
  // Frames of the battle's own loop until one check has run.
  const int checks = battle.checkCount;
  for (int frame = 0; frame < 8 && battle.checkCount == checks; ++frame) battle.Update();
  ASSERT_EQ(battle.checkCount, checks + 1);
  EXPECT_FLOAT_EQ(mm.engineComponents[0]->thrust, 20.0f);
  EXPECT_GT(shield.shield, 10.0f);
  for (size_t i = 0; i < supports.size(); ++i)
    EXPECT_NE(supports[i]->pulseTimer, pulseBefore[i]) << supports[i]->moduleType->name;
  for (size_t i = 0; i < weapons.size(); ++i)
    EXPECT_GT(weapons[i]->reloadTimer, reloadBefore[i]) << weapons[i]->moduleType->name;
}

TEST(ModuleFactory, UnknownClassIsFatal) {
  StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* odd = cat.Module("odd", "SIM_TeleporterComponent");
  SIM_UnitDesign* d = cat.Design(cat.Hull("h", SIZETYPE_TANK, 1, 10.0f), {odd});
  SetFatalErrorHook(ThrowOnFatal);
  auto* u = new SIM_BattleUnit();
  EXPECT_THROW(
      {
        try {
          GetBattle().playerArmy->AddUnit(u, d);
        } catch (const FatalErrorThrown& e) {
          EXPECT_NE(std::string(e.what()).find("unknown module type"), std::string::npos);
          throw;
        }
      },
      FatalErrorThrown);
  SetFatalErrorHook(nullptr);
}

// ---- unit variables

TEST(UnitVariables, NamesMapToTheirIndexesExactly) {
  EXPECT_EQ(SIM_UnitVariableManager::IndexOf("UVT_WPN_LOADING_SPEED"), 0);
  EXPECT_EQ(SIM_UnitVariableManager::IndexOf("UVT_EFF_VS_INTERN"), 7);
  EXPECT_EQ(SIM_UnitVariableManager::IndexOf("UVT_ARMORSTRENGTH"), 14);
  for (int i = 0; i < UVT_COUNT; ++i)
    EXPECT_EQ(SIM_UnitVariableManager::IndexOf(SIM_UnitVariableManager::NameOf(i)), i);
  SetFatalErrorHook(ThrowOnFatal);
  for (const char* bad : {"uvt_hitpoints", "UVT_HITPOINTS ", "UVT_HITPOINT", ""})
    EXPECT_THROW(SIM_UnitVariableManager::IndexOf(bad), FatalErrorThrown) << bad;
  SetFatalErrorHook(nullptr);
}

TEST(UnitVariables, SumValueTimesHealthAndScaleUpgrades) {
  SIM_Battle& battle = StartBareBattle();
  Catalogue cat;
  SIM_ModuleType* hp =
      cat.Module("hp", "SIM_VariableComponent", "variable_name = UVT_HITPOINTS\nvariable_var = 0.2");
  SIM_ModuleType* ar =
      cat.Module("ar", "SIM_VariableComponent", "variable_name = UVT_ARMORSTRENGTH\nvariable_var = 0.5");
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 100");
  SIM_BattleUnit* u =
      AddUnit(cat.Design(cat.Hull("h", SIZETYPE_TANK, 4, 400.0f), {hp, hp, ar, plate}), battle.playerArmy);
  // Upgrades apply once when the unit is built.
  EXPECT_FLOAT_EQ(u->unitVariables->Get(UVT_HITPOINTS), 0.4f);
  EXPECT_FLOAT_EQ(u->moduleManager->allModules[0]->maxHitPoints, 140.0f);
  EXPECT_FLOAT_EQ(u->moduleManager->armourComponents[0]->maxArmour, 150.0f);
  // A half-dead component adds half its value; a destroyed one nothing.
  u->moduleManager->allModules[1]->TakeDamage(70.0f);
  u->unitVariables->Recompute();
  EXPECT_FLOAT_EQ(u->unitVariables->Get(UVT_HITPOINTS), 0.3f);
  u->moduleManager->allModules[2]->TakeDamage(1000.0f);
  u->unitVariables->Recompute();
  EXPECT_FLOAT_EQ(u->unitVariables->Get(UVT_ARMORSTRENGTH), 0.0f);
  for (int i = 0; i < UVT_COUNT; ++i) {
    if (i == UVT_HITPOINTS) continue;
    EXPECT_FLOAT_EQ(u->unitVariables->Get(i), 0.0f) << i;
  }
}

TEST(PassiveComponents, BuildingsGetTheDefenceBonusBeforeUpgrades) {
  SIM_Battle& battle = StartBareBattle();
  GetGameplay().DEFENDER_DEFENSE_BONUS = 2.0f;
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 100");
  SIM_ModuleType* sh = cat.Module("sh", "SIM_ShieldComponent", "shieldpoints = 30");
  SIM_ModuleType* ar =
      cat.Module("ar", "SIM_VariableComponent", "variable_name = UVT_ARMORSTRENGTH\nvariable_var = 0.5");
  SIM_BattleUnit* b =
      AddUnit(cat.Design(cat.Hull("b", SIZETYPE_BUILDING, 3, 300.0f), {plate, sh, ar}), battle.playerArmy);
  SIM_BattleUnit* t =
      AddUnit(cat.Design(cat.Hull("t", SIZETYPE_TANK, 3, 300.0f), {plate, sh, ar}), battle.playerArmy);
  EXPECT_FLOAT_EQ(b->moduleManager->armourComponents[0]->maxArmour, 300.0f);
  EXPECT_FLOAT_EQ(b->moduleManager->shieldComponents[0]->maxShield, 60.0f);
  EXPECT_FLOAT_EQ(t->moduleManager->armourComponents[0]->maxArmour, 150.0f);
  EXPECT_FLOAT_EQ(t->moduleManager->shieldComponents[0]->maxShield, 30.0f);
}

}  // namespace

namespace {

TEST(SupportLinks, HospitalCoverReducesDamageAndSurvivesTeardown) {
  SIM_Battle& battle = StartBareBattle();
  GetGameplay().SUPPORT_DAMAGE_REDUCTION = 0.5f;
  Catalogue cat;
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 100");
  SIM_ModuleType* medic = cat.Module("medic", "SIM_HospitalComponent", "pulse_radius = 300");
  SIM_UnitHull* hull = cat.Hull("t", SIZETYPE_TANK, 1, 100.0f);
  // The covered unit is older, so a plain teardown would delete it before the hospital.
  SIM_BattleUnit* patient = AddUnit(cat.Design(hull, {plate}), battle.playerArmy);
  SIM_BattleUnit* carrier = AddUnit(cat.Design(hull, {medic}), battle.playerArmy);
  auto* hospital = static_cast<SIM_SupportComponent*>(carrier->moduleManager->allModules[0].get());
  hospital->Link(patient);

  patient->moduleManager->TakeDamage(nullptr, nullptr, 40.0f, 1, 1, 1, WARHEAD_BULLET);
  EXPECT_FLOAT_EQ(patient->moduleManager->armourComponents[0]->armour, 80.0f);
  hospital->StopPulse();
  EXPECT_TRUE(patient->hospitals.empty());
  patient->moduleManager->TakeDamage(nullptr, nullptr, 40.0f, 1, 1, 1, WARHEAD_BULLET);
  EXPECT_FLOAT_EQ(patient->moduleManager->armourComponents[0]->armour, 40.0f);

  hospital->Link(patient);
  battle.Start();  // both armies go; nothing may touch a deleted unit
  EXPECT_TRUE(battle.playerArmy->allUnits.empty());
}

}  // namespace
