// The computer opponents' numbers, each held by a case that a changed constant breaks:
// a blocked square's cooldown, closeness to the exits, the ages at which the defender
// takes an old building down, the attacker's sorting of its designs, its minimum of 300
// supplies and its first-minute budget ramp, and the defender's choice of design list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "RecordingView.h"
#include "battle/BattleAI.h"
#include "battle/CollisionGrid.h"
#include "battle/Squadron.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

using namespace battle_test;

namespace {

class AIRules : public ::testing::Test {
 protected:
  void SetUp() override {
    SIM_ScenarioManager::Get().Load();
    scenario = SIM_ScenarioManager::Get().Find("border_crossing");
    ASSERT_NE(scenario, nullptr);
    SIM_UnitDesignManager::Get().Load();
  }

  // The player attacks: the defender AI commands the opponent, with its placements.
  SIM_Battle& Attack() {
    SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, false, AI_UNITS_NONE);
    GetDefenderAI().BuildPlacements();
    return battle;
  }

  // A candidate on open ground that scores from its surroundings alone.
  SIM_AI_Placement* OpenGroundPlacement() {
    for (auto& p : GetDefenderAI().placements)
      if (p->square->kind == SIM_MapSquare::KIND_OTHER && p->baseScore > 0.0f && p->square->occupant)
        return p.get();
    return nullptr;
  }

  SIM_UnitDesign* Plain(const std::string& name, int sizeType, float cost,
                        const std::vector<SIM_ModuleType*>& modules = {}) {
    SIM_UnitDesign* d =
        cat.Design(cat.Hull(name, sizeType, static_cast<int>(modules.size()) + 1, 10.0f), modules, cost);
    return d;
  }

  SIM_Scenario* scenario = nullptr;
  Catalogue cat;
  ScopedRecordingView views;
};

// An occupied square scores 0; once freed it waits 1000 ms of 64 ms checks (16 checks)
// before it is scored again. A destroyed occupant does not block.
TEST_F(AIRules, ABlockedSquareIsScoredAgainOnlyAfterASecondOfChecks) {
  SIM_Battle& battle = Attack();
  SIM_ClassicDefenderAI& ai = GetDefenderAI();
  SIM_AI_Placement* p = OpenGroundPlacement();
  ASSERT_NE(p, nullptr);
  SIM_BattleUnit* blocker = AddUnit(Plain("rock", SIZETYPE_TANK, 10.0f), battle.playerArmy);
  SIM_CollisionCell* cell = p->square->occupant;
  cell->occupant = blocker;
  EXPECT_NE(ai.BestPlacement(), p);
  EXPECT_FLOAT_EQ(p->score, 0.0f);
  EXPECT_FLOAT_EQ(p->cooldown, 1000.0f);
  cell->occupant = nullptr;
  int zeroChecks = 0;
  while (zeroChecks < 100) {
    ai.BestPlacement();
    if (p->score > 0.0f) break;
    ++zeroChecks;
  }
  EXPECT_EQ(zeroChecks, 16) << "1000 ms of cooldown is 16 checks of 64 ms";
  EXPECT_FLOAT_EQ(p->score, p->baseScore);

  blocker->state = US_DESTROYED;
  cell->occupant = blocker;
  ai.BestPlacement();
  EXPECT_FLOAT_EQ(p->score, p->baseScore) << "a wreck does not block the square";
  cell->occupant = nullptr;
}

// Closeness to the nearest exit: 2 x (1 - d / 800) held to 0..1, 0 from 800 on; once time
// is up it raises the score by that share.
TEST_F(AIRules, ExitClosenessRisesInsideEightHundredUnitsAndWeighsOnceTimeIsUp) {
  Attack();
  SIM_AI_Placement* p = OpenGroundPlacement();
  ASSERT_NE(p, nullptr);
  const std::vector<SIM_MapSquare*> exits = scenario->exitSquares;
  SIM_MapSquare exit;
  scenario->exitSquares = {&exit};
  const struct {
    float distance, closeness;
  } cases[] = {{0.0f, 1.0f},    {200.0f, 1.0f},    {400.0f, 1.0f}, {600.0f, 0.5f},
               {700.0f, 0.25f}, {799.0f, 0.0025f}, {800.0f, 0.0f}, {5000.0f, 0.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.distance);
    exit.centreX = p->square->centreX + c.distance * 0.6f;
    exit.centreY = p->square->centreY + c.distance * 0.8f;
    SIM_AI_Placement near(p->square);
    EXPECT_NEAR(near.exitCloseness, c.closeness, 1e-3f);
    GetGameplay().suppliesExhausted = 0;
    near.Evaluate();
    const float plain = near.score;
    EXPECT_GT(plain, 0.0f);
    GetGameplay().suppliesExhausted = 1;
    near.Evaluate();
    EXPECT_NEAR(near.score, plain * (1.0f + c.closeness), 1e-2f);
  }
  GetGameplay().suppliesExhausted = 0;
  scenario->exitSquares = exits;
}

// The defender takes down its oldest armed building only past 60 s of age (7 s once time
// is up), checking every 2000 ms (1000 ms once time is up), then rests 5000 ms; late, the
// refund is credited at once.
TEST_F(AIRules, AnOldBuildingIsDemolishedOnlyPastItsAge) {
  SIM_ModuleType* gun = cat.Module("gun", "SIM_KineticWeaponComponent", "damage = 1\nwarhead = BULLET");
  gun->isWeapon = true;
  const struct {
    const char* what;
    bool late;
    float age;
    int demolishedAtStep;  // 0: never within 100 steps
  } cases[] = {{"younger than a minute", false, 59999.0f, 0},
               {"older than a minute", false, 60001.0f, 32},
               {"late, younger than 7 s", true, 6999.0f, 0},
               {"late, older than 7 s", true, 7001.0f, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SIM_Battle& battle = Attack();
    SIM_ClassicDefenderAI& ai = GetDefenderAI();
    GetAIDesignList().Clear();  // the steps build nothing of their own
    ai.budget = 1000.0f;
    ai.threshold = 0.0f;
    ai.rebuildTimer = 0.0f;  // the battle start's set-up steps ran it already
    GetGameplay().suppliesExhausted = c.late ? 1 : 0;
    // The building stands on a square that is no candidate: any free candidate is better.
    const SIM_MapSquare* site = nullptr;
    for (const auto& sq : scenario->grid)
      if (sq && !sq->defenderFlag && !SIM_AI_Placement::Find(sq.get())) site = sq.get();
    ASSERT_NE(site, nullptr);
    SIM_BattleUnit* tower = AddUnit(Plain("tower", SIZETYPE_BUILDING, 200.0f, {gun}), battle.opponentArmy);
    ASSERT_NE(tower->ratedWeapon, nullptr);
    tower->x = site->centreX;
    tower->y = site->centreY;
    tower->state = US_ACTIVE;
    tower->stateTimer = c.age;
    const float bank = ai.bank;
    int step = 0;
    while (step < 100 && tower->state != US_DEMOLISHING) {
      ai.Step();
      ++step;
    }
    if (c.demolishedAtStep == 0) {
      EXPECT_NE(tower->state, US_DEMOLISHING);
      continue;
    }
    EXPECT_EQ(tower->state, US_DEMOLISHING);
    EXPECT_EQ(step, c.demolishedAtStep);
    EXPECT_FLOAT_EQ(ai.rebuildCooldown, 5000.0f);
    EXPECT_EQ(tower->refundCredited, c.late);
    EXPECT_FLOAT_EQ(ai.bank, c.late ? bank + tower->GetRefund() : bank);
  }
  GetGameplay().suppliesExhausted = 0;
}

// The attacker's six role lists: hospitals are medical only; repair, supply and command
// designs are support only; the rest are general, infantry also infantry, and vehicles
// armoured and/or shielded by their modules. Buildings never attack.
TEST_F(AIRules, TheAttackerSortsItsDesignsByRole) {
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
  SIM_ModuleType* shield = cat.Module("bubble", "SIM_ShieldComponent");
  SIM_ModuleType* hospital = cat.Module("medic", "SIM_HospitalComponent");
  SIM_ModuleType* repair = cat.Module("wrench", "SIM_RepairComponent");
  SIM_ModuleType* supply = cat.Module("crate", "SIM_SupplyComponent");
  SIM_ModuleType* command = cat.Module("radio", "SIM_CommandComponent");
  using C = SIM_ClassicAttackerAI::Category;
  const struct {
    SIM_UnitDesign* design;
    std::vector<int> lists;
  } cases[] = {
      {Plain("ambulance", SIZETYPE_TANK, 10.0f, {hospital, plate, repair}), {C::MEDICAL}},
      {Plain("fixer", SIZETYPE_TANK, 10.0f, {repair, plate}), {C::SUPPORT}},
      {Plain("hauler", SIZETYPE_TANK, 10.0f, {supply}), {C::SUPPORT}},
      {Plain("hq", SIZETYPE_MECH, 10.0f, {command, shield}), {C::SUPPORT}},
      {Plain("trooper", SIZETYPE_INFANTRY, 10.0f, {plate, shield}), {C::GENERAL, C::INFANTRY}},
      {Plain("heavy", SIZETYPE_TANK, 10.0f, {plate, shield}), {C::ARMOURED, C::SHIELDED, C::GENERAL}},
      {Plain("plated", SIZETYPE_MECH, 10.0f, {plate}), {C::ARMOURED, C::GENERAL}},
      {Plain("bubbled", SIZETYPE_TANK, 10.0f, {shield}), {C::SHIELDED, C::GENERAL}},
      {Plain("bare", SIZETYPE_TANK, 10.0f), {C::GENERAL}},
      {Plain("bunker", SIZETYPE_BUILDING, 10.0f, {plate}), {}},
  };
  std::vector<SIM_UnitDesign*> designs;
  for (const auto& c : cases) designs.push_back(c.design);
  SIM_ClassicAttackerAI& ai = GetAttackerAI();
  ai.SetPool(designs);
  EXPECT_EQ(ai.pool.size(), designs.size() - 1) << "no building in the pool";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.design->name);
    for (int list = 0; list < 6; ++list) {
      const auto& l = ai.categories[list];
      const bool in = std::find(l.begin(), l.end(), c.design) != l.end();
      const bool wanted = std::find(c.lists.begin(), c.lists.end(), list) != c.lists.end();
      EXPECT_EQ(in, wanted) << "list " << list;
    }
  }
}

// Below 300 supplies the attacker does nothing and counts as unable to deploy; at 300 it
// deploys what it can pay for.
TEST_F(AIRules, TheAttackerWaitsForThreeHundredSupplies) {
  SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, true, AI_UNITS_NONE);
  SIM_ClassicAttackerAI& ai = GetAttackerAI();
  ai.SetPool({Plain("scout", SIZETYPE_TANK, 100.0f)});
  ASSERT_FALSE(ai.zones.empty());
  const struct {
    float supplies;
    int deployed;
    bool canDeploy;
  } cases[] = {{299.0f, 0, false}, {299.99f, 0, false}, {300.0f, 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.supplies);
    ai.supplies = c.supplies;
    EXPECT_EQ(ai.CanStillDeploy(), c.canDeploy);
    const size_t before = battle.opponentArmy->allUnits.size();
    EXPECT_EQ(ai.Step(), c.deployed);
    EXPECT_EQ(battle.opponentArmy->allUnits.size(), before + static_cast<size_t>(c.deployed));
    EXPECT_FLOAT_EQ(ai.supplies, c.supplies - 100.0f * static_cast<float>(c.deployed));
  }
}

// The attacker's budget follows the defence (x 0.75 easy, x 1.25 hard) and, in the first
// minute of battle clock, rises from a tenth to the whole.
TEST_F(AIRules, TheAttackersBudgetRampsUpOverTheFirstMinute) {
  SIM_Battle& battle = StartScenarioBattleWithIdleAI(scenario, true, AI_UNITS_NONE);
  scenario->classic.defenderDifficultyAdjuster = 1.0f;
  Gameplay& g = GetGameplay();
  g.supplies = 1000.0f;  // the defence: no unit yet, 1000 supplies
  g.supplyClock = 0.0f;
  SIM_ClassicAttackerAI& ai = GetAttackerAI();
  const struct {
    float clock;
    int difficulty;
    float budget;
  } cases[] = {{0.0f, 1, 100.0f},      {6000.0f, 1, 190.0f},   {30000.0f, 1, 550.0f},
               {59936.0f, 1, 999.04f}, {60000.0f, 1, 1000.0f}, {120000.0f, 1, 1000.0f},
               {60000.0f, 0, 750.0f},  {30000.0f, 2, 687.5f},  {0.0f, 0, 75.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clock);
    SCOPED_TRACE(c.difficulty);
    battle.battleClock = c.clock;
    g.Difficulty = c.difficulty;
    ai.UpdateBudget();
    EXPECT_NEAR(ai.supplies, c.budget, 0.01f);
  }
  // The attacker's own army is paid for out of the same budget.
  SIM_BattleUnit* tank = AddUnit(Plain("tank", SIZETYPE_TANK, 400.0f), battle.opponentArmy);
  ASSERT_NE(tank->moduleManager, nullptr);
  tank->moduleManager->healthFraction = 1.0f;
  battle.battleClock = 60000.0f;
  g.Difficulty = 1;
  ai.UpdateBudget();
  EXPECT_NEAR(ai.supplies, 600.0f, 0.01f);
}

// The defender counters the largest threat that reaches a square (armour, then shield,
// then infantry on ties): lists 0, 2, 1 for buildings on a typed square, 3, 4, 5 for
// the infantry of an emplacement; with no threat, any armed building (6) or infantry (7).
TEST_F(AIRules, TheDefenderPicksTheListAgainstTheLargestThreat) {
  SIM_Battle& battle = Attack();
  SIM_ClassicDefenderAI& ai = GetDefenderAI();
  SIM_AI_Placement* p = OpenGroundPlacement();
  ASSERT_NE(p, nullptr);
  AIDesignLists& lists = GetAIDesignList();
  SIM_UnitDesign* marker[AIDesignLists::kListCount];
  for (int i = 0; i < AIDesignLists::kListCount; ++i) {
    marker[i] = Plain("list" + std::to_string(i), SIZETYPE_BUILDING, 10.0f);
    lists.lists[i] = {marker[i]};
  }
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
  SIM_ModuleType* shield = cat.Module("bubble", "SIM_ShieldComponent");
  SIM_UnitDesign* armoured = Plain("armoured", SIZETYPE_TANK, 50.0f, {plate});
  SIM_UnitDesign* shielded = Plain("shielded", SIZETYPE_TANK, 50.0f, {shield});
  SIM_UnitDesign* heavyShield = Plain("heavy_shield", SIZETYPE_TANK, 50.0f, {shield});
  heavyShield->hull->victoryPoints = 3.0f;
  SIM_UnitDesign* rifle = Plain("rifle", SIZETYPE_INFANTRY, 1.0f);
  SIM_BattleArmy* player = battle.playerArmy;
  auto at = [&](SIM_BattleUnit* u) {
    u->x = p->square->centreX;
    u->y = p->square->centreY;
    return u;
  };
  auto squad = [&](int soldiers) {
    auto* s = new SIM_BattleSquadron();
    s->army = player;
    player->AddEntry(s);
    for (int i = 0; i < soldiers; ++i) s->AddMember(at(AddUnit(rifle, player)));
    at(s);
  };
  const struct {
    const char* what;
    std::vector<SIM_UnitDesign*> vehicles;
    int soldiers;
    int typedList, emplacementList;
  } cases[] = {
      {"no threat", {}, 0, AIDesignLists::ARMED_BUILDINGS, AIDesignLists::INFANTRY},
      {"armour", {armoured}, 0, AIDesignLists::BUILDING_VS_ARMOUR, AIDesignLists::INFANTRY_VS_ARMOUR},
      {"shield", {shielded}, 0, AIDesignLists::BUILDING_VS_SHIELD, AIDesignLists::INFANTRY_VS_SHIELD},
      {"armour and shield tie: armour",
       {shielded, armoured},
       0,
       AIDesignLists::BUILDING_VS_ARMOUR,
       AIDesignLists::INFANTRY_VS_ARMOUR},
      {"more shield than armour",
       {armoured, heavyShield},
       0,
       AIDesignLists::BUILDING_VS_SHIELD,
       AIDesignLists::INFANTRY_VS_SHIELD},
      // Four soldiers of cost 1 weigh 4, above the heavy shield's 3 victory points.
      {"infantry",
       {heavyShield},
       4,
       AIDesignLists::BUILDING_VS_INFANTRY,
       AIDesignLists::INFANTRY_VS_INFANTRY},
      {"infantry ties shield: shield",
       {heavyShield},
       3,
       AIDesignLists::BUILDING_VS_SHIELD,
       AIDesignLists::INFANTRY_VS_SHIELD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    player->movers.clear();
    for (SIM_UnitDesign* d : c.vehicles) at(AddUnit(d, player));
    if (c.soldiers > 0) squad(c.soldiers);
    p->square->kind = SIM_MapSquare::KIND_OTHER;
    EXPECT_EQ(ai.PickFor(*p), marker[c.typedList]);
    p->square->kind = SIM_MapSquare::KIND_EMPLACEMENT;
    EXPECT_EQ(ai.PickFor(*p), marker[c.emplacementList]);
    p->square->kind = SIM_MapSquare::KIND_OTHER;
  }
  // A unit still in the dropper threatens nothing.
  player->movers.clear();
  at(AddUnit(armoured, player))->state = US_IN_DROPPER;
  EXPECT_EQ(ai.PickFor(*p), marker[AIDesignLists::ARMED_BUILDINGS]);
}

}  // namespace
