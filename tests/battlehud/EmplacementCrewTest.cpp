// An emplacement and its crew on a shipped map: a squad wiped out leaves its places free
// for the next squad, the player's dropped ones and the computer defender's alike, and
// the defender never scores an emplacement that is still manned.
#include <gtest/gtest.h>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleFixture.h"
#include "battle/BattleHooks.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Squadron.h"
#include "battlehud/DeploymentDropper.h"
#include "battlescreen/Emplacements.h"
#include "game/ConnectLayers.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {

using namespace battle_test;

class EmplacementCrew : public ::testing::Test {
 protected:
  // The first campaign map with a defender square holding an emplacement, started for
  // the side; the computer opponent idle.
  void Start(bool playerDefends) {
    SIM_ScenarioManager::Get().Load();
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign()) {
      if (!s) continue;
      // The squares are read with the map, when its battle starts.
      StartScenarioBattleWithIdleAI(s, playerDefends, AI_UNITS_NONE);
      for (const auto& sq : s->grid)
        if (sq && sq->defenderFlag && sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) square = sq.get();
      if (square) {
        scenario = s;
        break;
      }
    }
    ASSERT_NE(scenario, nullptr) << "no campaign map has an emplacement";
    emplacement = GUI_BS_EmplacementManager::Instance().Find(square);
    ASSERT_NE(emplacement, nullptr) << "the battle map built no emplacement on its square";
    places = emplacement->slots.size();
    ASSERT_GT(places, 0u);
    ASSERT_LT(places, 25u) << "a squad must be larger than the emplacement";
    SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent", "maxdamageabsorbable = 10");
    rifles = cat.Design(cat.Hull("rifles", SIZETYPE_INFANTRY, 1, 10.0f), {plate}, 10.0f);
  }

  // Every soldier of the squad shot dead; the battle runs until the squad is gone.
  void WipeOut(SIM_BattleSquadron* squad) {
    SIM_Battle& battle = GetBattle();
    if (battle.state != BATTLE_RUNNING) battle.Begin();
    for (SIM_BattleUnit* m : squad->livingMembers)
      m->moduleManager->TakeDamage(nullptr, nullptr, 1000.0f, 1, 1, 1, WARHEAD_BULLET);
    for (int i = 0; i < 2000 && !squad->gone; ++i) battle.Update();
    ASSERT_TRUE(squad->gone);
  }

  SIM_Scenario* scenario = nullptr;
  SIM_MapSquare* square = nullptr;
  GUI_BS_Emplacement* emplacement = nullptr;
  size_t places = 0;
  Catalogue cat;
  SIM_UnitDesign* rifles = nullptr;
};

// The player defends: a squad dropped on the emplacement mans its places; once it is
// wiped out, a new squad dropped there mans it again instead of being refused.
TEST_F(EmplacementCrew, ThePlayersNextSquadMansTheEmplacementOfAFallenOne) {
  ASSERT_NO_FATAL_FAILURE(Start(true));
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  dropper.Reset();
  GetGameplay().supplies = 1000.0f;  // below the supply cap of a running battle
  SIM_BattleArmy* army = GetBattle().playerArmy;
  SIM_BattleSquadron* first = nullptr;
  for (int drop = 0; drop < 2; ++drop) {
    SCOPED_TRACE(drop);
    const float supplies = GetGameplay().supplies;
    ASSERT_EQ(dropper.StartPlacement(rifles), DeployRefusal::NONE);
    EXPECT_EQ(dropper.DropAt(square->centreX, square->centreY, false), DeployRefusal::NONE);
    ASSERT_FALSE(army->squadrons.empty());
    auto* squad = static_cast<SIM_BattleSquadron*>(army->squadrons.back());
    ASSERT_NE(squad, first);
    EXPECT_EQ(squad->members.size(), places);
    EXPECT_EQ(emplacement->FreeSlots(), 0);
    // Only the soldiers who found a place are paid for.
    EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies - 10.0f * static_cast<float>(places));
    if (drop == 0) {
      first = squad;
      WipeOut(squad);
      EXPECT_EQ(emplacement->FreeSlots(), static_cast<int>(places)) << "the dead hold no place";
      for (const GUI_BS_Emplacement::Slot& slot : emplacement->slots) EXPECT_EQ(slot.unit, nullptr);
    }
  }
}

// The player attacks: the computer's crew is wiped out, the defender scores the square
// again after its cooldown and mans it with a new squad, paying for the places taken.
TEST_F(EmplacementCrew, TheDefenderRemansAnEmplacementWhoseCrewFell) {
  ASSERT_NO_FATAL_FAILURE(Start(false));
  SIM_ClassicDefenderAI& ai = GetDefenderAI();
  SIM_BattleArmy* army = GetBattle().opponentArmy;
  // The defender's only candidate is the emplacement; it fields only these rifles.
  ai.placements.clear();
  ai.placements.push_back(std::make_unique<SIM_AI_Placement>(square));
  SIM_AI_Placement* p = ai.placements.back().get();
  for (auto& list : GetAIDesignList().lists) list = {rifles};
  ai.budget = 100000.0f;
  ai.threshold = 0.0f;
  ASSERT_EQ(ai.Step(), static_cast<int>(places));
  ASSERT_EQ(army->squadrons.size(), 1u);
  auto* crew = static_cast<SIM_BattleSquadron*>(army->squadrons.back());
  EXPECT_EQ(emplacement->FreeSlots(), 0);
  EXPECT_FLOAT_EQ(ai.budget, 100000.0f - 10.0f * static_cast<float>(places));

  WipeOut(crew);
  EXPECT_EQ(emplacement->FreeSlots(), static_cast<int>(places));
  // The square scores again within the cooldown after the crew left its cell.
  int checks = 0;
  while (checks < 40 && !(p->score > 0.0f)) {
    ai.BestPlacement();
    ++checks;
  }
  ASSERT_GT(p->score, 0.0f) << "a fallen crew's emplacement is a candidate again";
  const float budget = ai.budget;
  ai.threshold = 0.0f;
  EXPECT_EQ(ai.Step(), static_cast<int>(places));
  ASSERT_EQ(army->squadrons.size(), 2u);
  auto* second = static_cast<SIM_BattleSquadron*>(army->squadrons.back());
  EXPECT_EQ(second->members.size(), places);
  EXPECT_EQ(second->state, US_IN_EMPLACEMENT);
  EXPECT_FLOAT_EQ(ai.budget, budget - 10.0f * static_cast<float>(places));
}

// A manned emplacement is no candidate even while its cell stands empty, and a squad
// refused by every place leaves nothing behind: no empty squad, nothing paid.
TEST_F(EmplacementCrew, AMannedEmplacementIsNoCandidateAndAFullOneTakesNoSquad) {
  ASSERT_NO_FATAL_FAILURE(Start(false));
  SIM_ClassicDefenderAI& ai = GetDefenderAI();
  SIM_BattleArmy* army = GetBattle().opponentArmy;
  ai.placements.clear();
  ai.placements.push_back(std::make_unique<SIM_AI_Placement>(square));
  SIM_AI_Placement* p = ai.placements.back().get();
  ai.BestPlacement();
  ASSERT_GT(p->score, 0.0f) << "the empty emplacement is a candidate";

  GUI_BS_EmplacementManager& m = GUI_BS_EmplacementManager::Instance();
  std::vector<SIM_BattleUnit*> crew;
  for (size_t i = 0; i < places; ++i) crew.push_back(AddUnit(rifles, army));
  ASSERT_TRUE(m.AssignUnit(emplacement, crew.front()));
  ASSERT_EQ(square->occupant ? square->occupant->occupant : nullptr, nullptr);
  EXPECT_EQ(ai.BestPlacement(), nullptr);
  EXPECT_FLOAT_EQ(p->score, 0.0f) << "one soldier in place mans it";

  for (size_t i = 1; i < places; ++i) ASSERT_TRUE(m.AssignUnit(emplacement, crew[i]));
  const size_t squads = army->squadrons.size();
  const size_t units = army->allUnits.size();
  EXPECT_EQ(army->DeployDesign(square->column, square->row, rifles, 25, 270.0f, true), nullptr);
  EXPECT_EQ(army->squadrons.size(), squads);
  EXPECT_EQ(army->allUnits.size(), units);
  EXPECT_EQ(square->occupant ? square->occupant->occupant : nullptr, nullptr) << "no empty squad in the cell";
  m.ReleaseUnits(emplacement);
}

}  // namespace
