// Route threats: the branches leaving each fork of the attack routes and the defences
// beside them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/SettingsFile.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"
#include "support/ScenarioFixtures.h"

namespace {

// 5 x 3, numbered row x 5 + column. The road 0 -> 1 -> 2 forks into 3 and 7, which
// meet again at 8 before the exit 9. Defenders: 4 (top-right corner), 5, 12.
std::string Map(const std::string& linksOf8 = "9,", const std::string& linksOf2 = "3,7,") {
  std::vector<std::string> lines = {
      "0,\"1,\",1,0,,,,",   "1,\"2,\",0,0,,,,", "2,\"" + linksOf2 + "\",0,0,,,,",
      "3,\"8,\",0,0,,,,",   "4,\"\",0,1,,,,",   "5,\"\",0,1,,,,",
      "6,\"\",0,0,,,,",     "7,\"8,\",0,0,,,,", "8,\"" + linksOf8 + "\",0,0,,,,",
      "9,\"\",0,0,,,,EXIT", "10,\"\",0,0,,,,",  "11,\"\",0,0,,,,",
      "12,\"\",0,1,,,,",    "13,\"\",0,0,,,,",  "14,\"\",0,0,,,,"};
  std::string text = "[config]\nname = threats\nmaxcols = 5\nmaxrows = 3\n\n[map]\n";
  for (int n = 0; n < 15; ++n)
    text += std::to_string(n / 5) + "-" + std::to_string(n % 5) + " = " + lines[n] + "\n";
  return text;
}

using fixture::Numbers;

class RouteThreatTest : public ::testing::Test {
 protected:
  SIM_Scenario& Load(const std::string& text) {
    const std::string path = catalogue.Path("threats/scenario.txt");
    fixture::WriteText(path, text);
    EXPECT_TRUE(scenario.Load(path));
    EXPECT_TRUE(scenario.LoadMap());
    return scenario;
  }
  ~RouteThreatTest() override { SIM_RouteThreat::SetOccupantQuery(nullptr); }

  fixture::CatalogueFolder catalogue;
  SIM_Scenario scenario;
};

TEST_F(RouteThreatTest, EachBranchOfAForkTracesItsRoadAndTheDefencesBesideIt) {
  Load(Map());
  ASSERT_EQ(AllRouteThreats().size(), 2u);
  const SIM_RouteThreat* upper = scenario.GetSquareByNumber(3)->routeThreat.get();
  const SIM_RouteThreat* lower = scenario.GetSquareByNumber(7)->routeThreat.get();
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(scenario.GetSquareByNumber(2)->routeThreat, nullptr);
  // Both branches keep the squares they share after joining.
  EXPECT_EQ(Numbers(upper->routeSquares), (std::vector<int>{3, 8, 9}));
  EXPECT_EQ(Numbers(lower->routeSquares), (std::vector<int>{7, 8, 9}));
  // The corner square 4 is found from its neighbours without leaving the grid; 5 only
  // watches the road before the fork.
  EXPECT_EQ(Numbers(upper->coveringSquares), (std::vector<int>{4, 12}));
  EXPECT_EQ(Numbers(lower->coveringSquares), (std::vector<int>{12, 4}));
  EXPECT_TRUE(upper->dirty);
}

TEST_F(RouteThreatTest, RoadsWithoutAForkHaveNone) {
  Load(Map("9,", "3,"));
  EXPECT_TRUE(AllRouteThreats().empty());
}

TEST_F(RouteThreatTest, ALoopEndsAtTheFirstRepeatedSquare) {
  Load(Map("9,7,"));
  EXPECT_EQ(Numbers(scenario.GetSquareByNumber(3)->routeThreat->routeSquares),
            (std::vector<int>{3, 8, 9, 7}));
  EXPECT_EQ(Numbers(scenario.GetSquareByNumber(7)->routeThreat->routeSquares), (std::vector<int>{7, 8, 9}));
}

TEST_F(RouteThreatTest, DefendersMarkEveryBranchTheyCoverAndAddTheirWeaponsThreat) {
  Load(Map());
  SIM_ModuleType mg;
  mg.ModuleData().SetValue("hit_vs_infantry", "2");
  mg.ModuleData().SetValue("effective_vs_armor", "0.5");
  // A squad of 5 on square 12 whose first member's weapon does 10 per second.
  SIM_RouteThreat::SetOccupantQuery([&](const SIM_MapSquare& square, RouteThreatOccupant& occupant) {
    if (square.number != 12) return false;
    occupant.weapon = &mg;
    occupant.damagePerSecond = 10.0f;
    occupant.count = 5;
    return true;
  });
  for (SIM_RouteThreat* threat : AllRouteThreats()) {
    threat->Recalculate();
    EXPECT_FALSE(threat->dirty);
    EXPECT_FLOAT_EQ(threat->threatInfantry, 100.0f);
    EXPECT_FLOAT_EQ(threat->threatArmour, 25.0f);
    EXPECT_FLOAT_EQ(threat->threatShields, 0.0f);
  }
  MarkRouteThreatsDirty(scenario.GetSquareByNumber(5));
  for (SIM_RouteThreat* threat : AllRouteThreats()) EXPECT_FALSE(threat->dirty);
  MarkRouteThreatsDirty(scenario.GetSquareByNumber(12));
  for (SIM_RouteThreat* threat : AllRouteThreats()) EXPECT_TRUE(threat->dirty);
}

TEST_F(RouteThreatTest, ReloadingTheMapReplacesTheThreats) {
  Load(Map());
  ASSERT_TRUE(scenario.LoadMap());
  EXPECT_EQ(AllRouteThreats().size(), 2u);
  scenario.Clear();
  EXPECT_TRUE(AllRouteThreats().empty());
}

}  // namespace
