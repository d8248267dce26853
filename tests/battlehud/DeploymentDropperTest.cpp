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
#include "battlehud/DeploymentDropper.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

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
