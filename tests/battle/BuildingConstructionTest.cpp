// Buildings take their construction time from their hull's class: each turret class
// picks its own speed, any other class builds at once, and every shipped building
// really takes time to build and to demolish.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "engine/Folders.h"

using namespace battle_test;

namespace {

struct ClassCase {
  const char* name;
  int sizeType;
  const char* hullClass;
  float perCost;  // the construction speed the class must pick (see below)
};

class ConstructionSpeed : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ConstructionSpeed, PickedByTheHullClass) {
  const ClassCase& c = GetParam();
  StartBareBattle();
  Gameplay& g = GetGameplay();
  // Distinct speeds, so a swapped class shows.
  g.CONSTRUCTION_SPEED_SMALL = 1.0f;
  g.CONSTRUCTION_SPEED_MEDIUM = 2.0f;
  g.CONSTRUCTION_SPEED_LARGE = 3.0f;
  g.DECONSTRUCT_SPEED_MULTIPLIER = 0.5f;
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("h", c.sizeType, 1, 100.0f);
  hull->moduleSize = c.hullClass;
  SIM_BattleUnit* u = AddUnit(cat.Design(hull, {}, 100.0f), GetBattle().playerArmy);
  EXPECT_FLOAT_EQ(u->constructionTime, 100.0f * c.perCost);
  EXPECT_FLOAT_EQ(u->demolitionTime, 50.0f * c.perCost);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, ConstructionSpeed,
    ::testing::Values(ClassCase{"SmallTurret", SIZETYPE_BUILDING, "SMALLTURRET", 1.0f},
                      ClassCase{"MediumTurret", SIZETYPE_BUILDING, "MEDIUMTURRET", 2.0f},
                      ClassCase{"LargeTurret", SIZETYPE_BUILDING, "LARGETURRET", 3.0f},
                      // Not a class the battle knows: the building goes up at once.
                      ClassCase{"OldSizeName", SIZETYPE_BUILDING, "HEAVY", 0.0f},
                      ClassCase{"LowerCase", SIZETYPE_BUILDING, "largeturret", 0.0f},
                      ClassCase{"TankClass", SIZETYPE_BUILDING, "HEAVYTANK", 0.0f},
                      // Only buildings are ever constructed.
                      ClassCase{"TankWithATurretClass", SIZETYPE_TANK, "LARGETURRET", 0.0f}),
    [](const ::testing::TestParamInfo<ClassCase>& i) { return std::string(i.param.name); });

std::vector<std::string> ShippedDesignFiles() {
  std::vector<std::string> folders = {"data/sampleunits", "data/default_aiunits"};
  for (const std::string& scenario : ListFolders("data/scenarios/*.*", true))
    folders.push_back(scenario + "/ai_designs");
  std::vector<std::string> files;
  for (const std::string& folder : folders)
    for (const std::string& file : ListFiles(folder + "/*.txt", true)) files.push_back(file);
  return files;
}

float ShippedSpeedOf(const std::string& hullClass) {
  const Gameplay& g = GetGameplay();
  if (hullClass == "SMALLTURRET") return g.CONSTRUCTION_SPEED_SMALL;
  if (hullClass == "MEDIUMTURRET") return g.CONSTRUCTION_SPEED_MEDIUM;
  if (hullClass == "LARGETURRET") return g.CONSTRUCTION_SPEED_LARGE;
  return 0.0f;
}

// The shipped catalogue and gameplay constants through the battle's own set-up: a
// building that went up at once could be dropped in the middle of a fight fully armed.
TEST(ShippedBuildings, EveryBuildingHullAndDesignTakesTimeToBuild) {
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  const Gameplay& g = GetGameplay();
  ASSERT_GT(g.DECONSTRUCT_SPEED_MULTIPLIER, 0.0f);

  // Every building hull, bare, at its own cost.
  Catalogue cat;
  int hulls = 0;
  for (const auto& owned : SIM_UnitHullManager::Get().All()) {
    if (owned->sizeType != SIZETYPE_BUILDING) continue;
    SCOPED_TRACE(owned->name);
    ++hulls;
    ASSERT_GT(owned->cost, 0.0f);
    SIM_BattleUnit* u = AddUnit(cat.Design(owned.get(), {}, owned->cost), battle.playerArmy);
    EXPECT_GT(u->constructionTime, 0.0f) << "class " << owned->moduleSize;
    EXPECT_GT(u->demolitionTime, 0.0f);
  }
  EXPECT_GT(hulls, 0);

  // Every shipped building design: built during the fight, it stays under construction
  // for cost x its class's speed.
  std::vector<std::unique_ptr<SIM_UnitDesign>> designs;
  int buildings = 0;
  for (const std::string& file : ShippedDesignFiles()) {
    auto design = std::make_unique<SIM_UnitDesign>();
    ASSERT_TRUE(design->Load(file, false)) << file;
    if (design->GetSizeType() != SIZETYPE_BUILDING) continue;
    SCOPED_TRACE(file);
    ++buildings;
    SIM_BattleUnit* u = AddUnit(design.get(), battle.playerArmy);
    const float speed = ShippedSpeedOf(design->hull->moduleSize);
    EXPECT_GT(speed, 0.0f) << "class " << design->hull->moduleSize;
    EXPECT_FLOAT_EQ(u->constructionTime, design->cost * speed);
    // Long enough to matter, short enough to be worth building mid-fight.
    EXPECT_GE(u->constructionTime, 1000.0f);
    EXPECT_LE(u->constructionTime, 60000.0f);
    EXPECT_FLOAT_EQ(u->demolitionTime, u->constructionTime * g.DECONSTRUCT_SPEED_MULTIPLIER);
    u->state = US_UNDER_CONSTRUCTION;
    u->demolitionTimer = 0.0f;
    battle.Update();
    EXPECT_EQ(u->state, US_UNDER_CONSTRUCTION);
    EXPECT_GT(u->GetConstructionProgress(), 0.0f);
    EXPECT_LT(u->GetConstructionProgress(), 1.0f);
    designs.push_back(std::move(design));
  }
  EXPECT_GT(buildings, 0);
}

}  // namespace
