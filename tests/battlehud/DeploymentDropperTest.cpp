// Placing units: what a click on a design, a drop, a refused drop and a cancel cost in
// supplies and ready deployments, on a shipped map.
#include <gtest/gtest.h>

#include <memory>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/SupplyLimits.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/MiniMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"

namespace {

using namespace battle_test;

class DropperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SIM_ScenarioManager::Get().Load();
    // The first campaign map with squares the attacker may and may not deploy on.
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign()) {
      if (!s) continue;
      StartScenarioBattle(s, false, AI_UNITS_NONE);
      if (Squares(s, true) && Squares(s, false)) {
        scenario = s;
        break;
      }
    }
    ASSERT_NE(scenario, nullptr);
    dropper().Reset();
    tank = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {}, 150.0f);
    auto entry = std::make_unique<SupplyLimitEntry>();
    entry->hullName = "tank";
    charge = entry.get();
    GetSupplyLimits().playerEntries.push_back(std::move(entry));
    GetGameplay().supplies = 1000.0f;
    GetBattleHooks().recordingAddEntry = [this](SIM_BattleUnit*) { ++recorded; };
  }
  void TearDown() override { GetBattleHooks().recordingAddEntry = nullptr; }

  // The first square the attacker may (or may not) deploy on.
  static SIM_MapSquare* Squares(SIM_Scenario* s, bool legal) {
    for (const auto& sq : s->grid)
      if (sq && sq->attackerFlag == legal && sq->kind != SIM_MapSquare::KIND_EMPLACEMENT) return sq.get();
    return nullptr;
  }
  static GUI_BS_DeploymentDropper& dropper() { return GUI_BS_DeploymentDropper::Instance(); }
  static size_t PlayerUnits() { return GetBattle().playerArmy->allUnits.size(); }

  SIM_Scenario* scenario = nullptr;
  Catalogue cat;
  SIM_UnitDesign* tank = nullptr;
  SupplyLimitEntry* charge = nullptr;
  int recorded = 0;
};

TEST_F(DropperTest, ADropOnAnIllegalSquareIsRefusedWithNothingSpent) {
  ASSERT_EQ(dropper().StartPlacement(tank), DeployRefusal::NONE);
  const float supplies = GetGameplay().supplies;
  const size_t units = PlayerUnits();
  SIM_MapSquare* illegal = Squares(scenario, false);
  EXPECT_EQ(dropper().DropAt(illegal->centreX, illegal->centreY, false), DeployRefusal::ILLEGAL_SQUARE);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies);
  EXPECT_EQ(charge->count, 4);
  EXPECT_EQ(PlayerUnits(), units);
  EXPECT_TRUE(dropper().HoldsUnits());  // still in hand, to be dropped elsewhere
  EXPECT_EQ(recorded, 0);
  EXPECT_FALSE(dropper().message.empty());  // the reason is on screen
  dropper().CancelDrop();
}

// One step of a deployment session and the supplies and ready deployments it leaves.
struct Step {
  const char* what;
  float supplies;
  int charges;
  DeployRefusal result;
  size_t unitsOnField;
};

TEST_F(DropperTest, SuppliesAndChargesAreSpentAndRefunded) {
  SIM_MapSquare* legal = Squares(scenario, true);
  SIM_Battle& battle = GetBattle();
  const size_t base = PlayerUnits();
  auto run = [&](const std::string& what) {
    if (what == "pick") return dropper().StartPlacement(tank);
    if (what == "drop") return dropper().DropAt(legal->centreX, legal->centreY, false);
    if (what == "fight") battle.state = BATTLE_RUNNING;
    if (what == "poor") GetGameplay().supplies = 100.0f;
    if (what == "cancel") dropper().CancelDrop();
    return DeployRefusal::NONE;
  };
  const Step steps[] = {
      {"pick", 850.0f, 4, DeployRefusal::NONE, 1},  // charged when picked up
      {"cancel", 1000.0f, 4, DeployRefusal::NONE, 0},   {"pick", 850.0f, 4, DeployRefusal::NONE, 1},
      {"drop", 850.0f, 3, DeployRefusal::NONE, 1},  // a charge, also before the fight
      {"pick", 700.0f, 3, DeployRefusal::NONE, 2},      {"drop", 700.0f, 2, DeployRefusal::NONE, 2},
      {"pick", 550.0f, 2, DeployRefusal::NONE, 3},      {"drop", 550.0f, 1, DeployRefusal::NONE, 3},
      {"pick", 400.0f, 1, DeployRefusal::NONE, 4},      {"drop", 400.0f, 0, DeployRefusal::NONE, 4},
      {"pick", 250.0f, 0, DeployRefusal::NONE, 5},  // no charge needed before the fight
      {"cancel", 400.0f, 0, DeployRefusal::NONE, 4},    {"fight", 400.0f, 0, DeployRefusal::NONE, 4},
      {"pick", 400.0f, 0, DeployRefusal::NO_CHARGE, 4}, {"poor", 100.0f, 0, DeployRefusal::NONE, 4},
      {"pick", 100.0f, 0, DeployRefusal::NO_CHARGE, 4},
  };
  // Each drop goes on a fresh legal square: free the occupied one first.
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (std::string(s.what) == "drop" && legal->occupant) legal->occupant->occupant = nullptr;
    EXPECT_EQ(run(s.what), s.result);
    EXPECT_FLOAT_EQ(GetGameplay().supplies, s.supplies);
    EXPECT_EQ(charge->count, s.charges);
    EXPECT_EQ(PlayerUnits() - base, s.unitsOnField);
  }
  EXPECT_EQ(recorded, 4);
  // With a charge back but too few supplies the refusal names the supplies.
  charge->count = 1;
  EXPECT_EQ(dropper().StartPlacement(tank), DeployRefusal::NO_SUPPLIES);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, 100.0f);
  EXPECT_EQ(dropper().message, "Not enough supplies to deploy this design.");
}

TEST_F(DropperTest, AShiftDropTakesAnotherOnlyWhileItCanBePaid) {
  SIM_MapSquare* legal = Squares(scenario, true);
  GetGameplay().supplies = 200.0f;
  ASSERT_EQ(dropper().StartPlacement(tank), DeployRefusal::NONE);
  dropper().DropAt(legal->centreX, legal->centreY, true);
  EXPECT_FALSE(dropper().HoldsUnits());      // 50 left: no second one
  EXPECT_EQ(dropper().currentDesign, tank);  // kept for the next click
  EXPECT_FLOAT_EQ(GetGameplay().supplies, 50.0f);
}

// The minimap steps aside only while units are in hand: the design kept for the next
// Shift click (after a cancel, or a Shift drop that could not pay for another) leaves it.
TEST_F(DropperTest, TheMinimapIsBackOnceTheHandIsEmpty) {
  SIM_MapSquare* legal = Squares(scenario, true);
  GetBattleViewFlags() = BattleViewFlags{};
  struct Row {
    const char* what;
    bool holding, suspended;
  };
  const Row rows[] = {
      {"pick", true, true}, {"shift drop", true, true},         {"cancel", false, false},
      {"pick", true, true}, {"shift drop", true, true},         {"drop", false, false},
      {"pick", true, true}, {"shift drop, poor", false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string what = r.what;
    if (legal->occupant) legal->occupant->occupant = nullptr;
    if (what == "pick") dropper().StartPlacement(tank);
    if (what == "cancel") dropper().CancelDrop();
    if (what == "drop") dropper().DropAt(legal->centreX, legal->centreY, false);
    if (what.rfind("shift drop", 0) == 0) {
      if (what == "shift drop, poor") GetGameplay().supplies = 0.0f;
      dropper().DropAt(legal->centreX, legal->centreY, true);
    }
    EXPECT_EQ(dropper().HoldsUnits(), r.holding);
    EXPECT_EQ(MiniMapSuspended(), r.suspended);
  }
  EXPECT_EQ(dropper().currentDesign, tank);  // still kept for the next click
}

TEST_F(DropperTest, StartingTheFightWithADesignInHandRefundsIt) {
  ASSERT_EQ(dropper().StartPlacement(tank), DeployRefusal::NONE);
  const size_t units = PlayerUnits();
  GetBattleScreen().StartFighting();
  EXPECT_EQ(GetBattle().state, BATTLE_RUNNING);
  EXPECT_FALSE(dropper().HoldsUnits());
  EXPECT_FLOAT_EQ(GetGameplay().supplies, 1000.0f);
  EXPECT_EQ(PlayerUnits(), units - 1);
  EXPECT_EQ(charge->count, 4);
}

TEST_F(DropperTest, ASupplyCarrierNeedsAnAllowance) {
  SIM_ModuleType* crate = cat.Module("crate", "SIM_SupplyComponent");
  SIM_UnitDesign* truck = cat.Design(cat.Hull("truck", SIZETYPE_TANK, 1, 50.0f), {crate}, 100.0f);
  GetSupplyLimits().playerTrucks = 0;
  EXPECT_EQ(dropper().StartPlacement(truck), DeployRefusal::LIMIT_REACHED);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, 1000.0f);
  GetSupplyLimits().playerTrucks = 1;
  EXPECT_EQ(dropper().StartPlacement(truck), DeployRefusal::NONE);
  SIM_MapSquare* legal = Squares(scenario, true);
  dropper().DropAt(legal->centreX, legal->centreY, false);
  EXPECT_EQ(GetSupplyLimits().playerTrucks, 0);
}

}  // namespace

namespace {

using namespace battle_test;

// A defender's squad on an emplacement: only the soldiers with a free place stay, the
// rest are refunded; a full emplacement leaves no empty squad behind.
TEST(DropperEmplacement, RefusedSoldiersAreRefundedAndAnEmptySquadIsRemoved) {
  SIM_ScenarioManager::Get().Load();
  SIM_MapSquare* emplacement = nullptr;
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign()) {
    if (!s) continue;
    StartScenarioBattle(s, true, AI_UNITS_NONE);
    for (const auto& sq : s->grid)
      if (sq && sq->defenderFlag && sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) emplacement = sq.get();
    if (emplacement) break;
  }
  ASSERT_NE(emplacement, nullptr);
  Catalogue cat;
  SIM_UnitDesign* rifles = cat.Design(cat.Hull("rifles", SIZETYPE_INFANTRY, 1, 10.0f), {}, 10.0f);
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  dropper.Reset();
  BattleHooks& hooks = GetBattleHooks();
  struct Case {
    int places;
    float suppliesAfter;
    size_t squads;
    DeployRefusal result;
  } cases[] = {{5, 950.0f, 1, DeployRefusal::NONE}, {0, 1000.0f, 0, DeployRefusal::ILLEGAL_SQUARE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.places);
    SIM_BattleArmy* army = GetBattle().playerArmy;
    GetGameplay().supplies = 1000.0f;
    int free = c.places;
    hooks.assignToEmplacement = [&free](void*, SIM_BattleUnit*) { return free-- > 0; };
    const size_t units = army->allUnits.size();
    const size_t squads = army->squadrons.size();
    ASSERT_EQ(dropper.StartPlacement(rifles), DeployRefusal::NONE);
    EXPECT_FLOAT_EQ(GetGameplay().supplies, 750.0f);  // 25 soldiers charged at once
    if (emplacement->occupant) emplacement->occupant->occupant = nullptr;
    EXPECT_EQ(dropper.DropAt(emplacement->centreX, emplacement->centreY, false), c.result);
    EXPECT_FLOAT_EQ(GetGameplay().supplies, c.suppliesAfter);
    EXPECT_EQ(army->allUnits.size() - units, static_cast<size_t>(c.places));
    EXPECT_EQ(army->squadrons.size() - squads, c.squads);
    EXPECT_FALSE(dropper.HoldsUnits());
  }
  hooks.assignToEmplacement = nullptr;
}

TEST_F(DropperTest, ADefendersDropMarksTheRouteThreatsBesideItsSquareForRecalculation) {
  StartScenarioBattle(scenario, true, AI_UNITS_NONE);
  auto entry = std::make_unique<SupplyLimitEntry>();
  entry->hullName = "tank";
  GetSupplyLimits().playerEntries.push_back(std::move(entry));
  GetGameplay().supplies = 1000.0f;
  dropper().Reset();
  ASSERT_EQ(dropper().StartPlacement(tank), DeployRefusal::NONE);
  SIM_MapSquare* legal = nullptr;
  SIM_MapSquare* other = nullptr;
  for (const auto& sq : scenario->grid) {
    if (!sq) continue;
    if (!legal && dropper().IsSquareLegal(sq.get()))
      legal = sq.get();
    else if (!other)
      other = sq.get();
  }
  ASSERT_NE(legal, nullptr);
  ASSERT_NE(other, nullptr);
  // Branches of our own, one beside the drop square and one elsewhere.
  SIM_RouteThreat beside(nullptr, scenario), elsewhere(nullptr, scenario);
  beside.coveringSquares = {legal};
  elsewhere.coveringSquares = {other};
  beside.dirty = elsewhere.dirty = false;
  ASSERT_EQ(dropper().DropAt(legal->centreX, legal->centreY, false), DeployRefusal::NONE);
  EXPECT_TRUE(beside.dirty);
  EXPECT_FALSE(elsewhere.dirty);
}

TEST(TopStripBars, FillRatioIsClampedAndSafeWithoutACap) {
  struct Case {
    float value, full, ratio;
  } cases[] = {{50, 100, 0.5f}, {100, 100, 1}, {99, 100, 0.99f}, {250, 100, 1},
               {-5, 100, 0},    {0, 0, 1},     {-1, 0, 0}};
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(FillRatio(c.value, c.full), c.ratio) << c.value << "/" << c.full;
}

}  // namespace

namespace {

// A unit clicked during deployment goes back into the hand: it can be dropped again
// elsewhere without paying twice, and a full hand refuses the hand-back.
TEST_F(DropperTest, AClickedUnitGoesBackIntoTheHandDuringDeployment) {
  ASSERT_EQ(dropper().StartPlacement(tank), DeployRefusal::NONE);
  SIM_MapSquare* legal = Squares(scenario, true);
  ASSERT_EQ(dropper().DropAt(legal->centreX, legal->centreY, false), DeployRefusal::NONE);
  ASSERT_FALSE(dropper().HoldsUnits());
  const float supplies = GetGameplay().supplies;
  SIM_BattleUnit* unit = GetBattle().playerArmy->allUnits.back();
  ASSERT_NE(unit->visual, nullptr);
  auto* visual = dynamic_cast<GUI_BS_Unit*>(unit->visual.get());
  ASSERT_NE(visual, nullptr);
  EXPECT_TRUE(visual->HandBackToDropper());
  ASSERT_TRUE(dropper().HoldsUnits());
  EXPECT_EQ(dropper().hand.front(), unit);
  EXPECT_EQ(unit->state, US_IN_DROPPER);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies) << "nothing is charged or refunded";
  EXPECT_FALSE(visual->HandBackToDropper()) << "the hand is full";
  EXPECT_EQ(dropper().DropAt(legal->centreX, legal->centreY, false), DeployRefusal::NONE);
  EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies);
}

}  // namespace
