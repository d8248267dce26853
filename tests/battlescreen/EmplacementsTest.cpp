// Emplacements: soldiers take the fixed places in order and gain cover, an overfull squad
// is refused the rest, release clears the cover, and the emplacements go with the map.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Emplacements.h"
#include "battlescreen/WorldDetailsFixture.h"
#include "engine/ErrorReporting.h"
#include "simdata/Emplacement.h"
#include "simdata/MapSquare.h"

namespace {

class EmplacementsTest : public battlescreen_test::WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    GUI_BS_EmplacementManager::Instance().Clear();
    type.name = "test_trench";
    type.coverBonus = 0.4f;
    type.offsets = {{10.0f, 0.0f}, {0.0f, 20.0f}, {-10.0f, 0.0f}};
    square.centreX = 300.0f;
    square.centreY = 500.0f;
    square.angle = 90.0f;
    emplacement = GUI_BS_EmplacementManager::Instance().Create();
    emplacement->type = &type;
    emplacement->placement = &square;
    emplacement->BuildSlots();
    for (int i = 0; i < 5; ++i) {
      soldiers.push_back(std::make_unique<SIM_BattleUnit>());
      soldiers.back()->x = soldiers.back()->y = 1.0f;
    }
  }
  void TearDown() override {
    GUI_BS_EmplacementManager::Instance().Clear();
    WorldDetailsTest::TearDown();
  }
  EmplacementType type;
  SIM_MapSquare square;
  GUI_BS_Emplacement* emplacement = nullptr;
  std::vector<std::unique_ptr<SIM_BattleUnit>> soldiers;
};

TEST_F(EmplacementsTest, AnOverfullSquadFillsEveryPlaceAndTheRestAreRefused) {
  GUI_BS_EmplacementManager& m = GUI_BS_EmplacementManager::Instance();
  struct Expect {
    bool taken;
    float x, y, cover;
  } expected[] = {
      // Offsets turned by 90 degrees about the square's centre.
      {true, 300.0f, 510.0f, 0.4f}, {true, 280.0f, 500.0f, 0.4f}, {true, 300.0f, 490.0f, 0.4f},
      {false, 1.0f, 1.0f, 0.0f},    {false, 1.0f, 1.0f, 0.0f},
  };
  for (size_t i = 0; i < soldiers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(m.AssignUnit(emplacement, soldiers[i].get()), expected[i].taken);
    EXPECT_NEAR(soldiers[i]->x, expected[i].x, 1e-3f);
    EXPECT_NEAR(soldiers[i]->y, expected[i].y, 1e-3f);
    EXPECT_FLOAT_EQ(soldiers[i]->damageReduction, expected[i].cover);
  }
  EXPECT_EQ(emplacement->FreeSlots(), 0);
  EXPECT_TRUE(emplacement->IsOccupied());
}

TEST_F(EmplacementsTest, ReleaseClearsTheCoverAndFreesEveryPlace) {
  GUI_BS_EmplacementManager& m = GUI_BS_EmplacementManager::Instance();
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(m.AssignUnit(emplacement, soldiers[static_cast<size_t>(i)].get()));
  m.ReleaseUnits(emplacement);
  EXPECT_FLOAT_EQ(soldiers[0]->damageReduction, 0.0f);
  EXPECT_FLOAT_EQ(soldiers[1]->damageReduction, 0.0f);
  EXPECT_FALSE(emplacement->IsOccupied());
  EXPECT_EQ(emplacement->FreeSlots(), 3);
  // The places are taken again from the first.
  EXPECT_TRUE(m.AssignUnit(emplacement, soldiers[4].get()));
  EXPECT_NEAR(soldiers[4]->y, 510.0f, 1e-3f);
}

TEST_F(EmplacementsTest, ATypeWithoutPlacesIsReportedAndRefusesEveryone) {
  EmplacementType empty;
  empty.name = "no_places";
  GUI_BS_Emplacement* e = GUI_BS_EmplacementManager::Instance().Create();
  e->type = &empty;
  e->placement = &square;
  AssertText[0] = '\0';
  e->BuildSlots();
  EXPECT_NE(std::string(AssertText).find("Assert failed"), std::string::npos);
  EXPECT_FALSE(GUI_BS_EmplacementManager::Instance().AssignUnit(e, soldiers[0].get()));
  EXPECT_FLOAT_EQ(soldiers[0]->damageReduction, 0.0f);
}

TEST_F(EmplacementsTest, TheBattleHookSeatsSoldiersOnTheSquaresEmplacement) {
  BattleHooks& hooks = GetBattleHooks();
  ASSERT_TRUE(hooks.assignToEmplacement);
  int seated = 0;
  for (auto& s : soldiers) seated += hooks.assignToEmplacement(&square, s.get()) ? 1 : 0;
  EXPECT_EQ(seated, 3);
  SIM_MapSquare other;
  EXPECT_TRUE(hooks.assignToEmplacement(&other, soldiers[4].get())) << "a square without one seats freely";
}

TEST_F(EmplacementsTest, ClearingTheMapTakesItsEmplacementsWithIt) {
  ASSERT_FALSE(GUI_BS_EmplacementManager::Instance().emplacements.empty());
  GUI_BS_Map::Instance().ClearTiles();
  EXPECT_TRUE(GUI_BS_EmplacementManager::Instance().emplacements.empty());
  EXPECT_EQ(GUI_BS_EmplacementManager::Instance().Find(&square), nullptr);
}

}  // namespace
