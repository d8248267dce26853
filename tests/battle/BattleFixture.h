#pragma once
// Small in-memory catalogues for battle tests: module types, hulls and designs built
// from a few lines of text, and a battle started without a map to hold the armies.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "support/FatalErrors.h"

namespace battle_test {

using zt_test::FatalErrorThrown;
using zt_test::ThrowOnFatal;

class Catalogue {
 public:
  // data: "key = value" lines of the module's row.
  SIM_ModuleType* Module(const std::string& name, const std::string& cls, const std::string& data = "",
                         float weight = 0.0f) {
    auto t = std::make_unique<SIM_ModuleType>();
    t->name = name;
    t->moduleClass = cls;
    t->weight = weight;
    t->moduleData->LoadSectionFromText("[m]\nclass = " + cls + "\n" + data + "\n", "m");
    types.push_back(std::move(t));
    return types.back().get();
  }

  SIM_UnitHull* Hull(const std::string& name, int sizeType, int slots, float hitPoints, float size = 40.0f,
                     float weight = 10.0f) {
    auto h = std::make_unique<SIM_UnitHull>();
    h->name = name;
    h->sizeType = sizeType;
    h->size = size;
    h->hitPoints = hitPoints;
    h->weight = weight;
    h->victoryPoints = 1.0f;
    for (int i = 0; i < slots; ++i) {
      HullSlot s;
      s.text = "GENERAL";
      s.index = i;
      h->slots.push_back(s);
    }
    auto t = std::make_unique<SIM_UnitTargetData>();
    h->targets.push_back(std::move(t));
    hulls.push_back(std::move(h));
    return hulls.back().get();
  }

  SIM_UnitDesign* Design(SIM_UnitHull* hull, const std::vector<SIM_ModuleType*>& modules,
                         float cost = 100.0f) {
    auto d = std::make_unique<SIM_UnitDesign>();
    d->name = hull->name + "_design";
    d->hull = hull;
    d->cost = cost;
    int slot = 0;
    for (SIM_ModuleType* m : modules) {
      DesignModule e;
      e.type = m;
      e.slot = slot++;
      d->modules.push_back(e);
    }
    designs.push_back(std::move(d));
    return designs.back().get();
  }

  std::vector<std::unique_ptr<SIM_ModuleType>> types;
  std::vector<std::unique_ptr<SIM_UnitHull>> hulls;
  std::vector<std::unique_ptr<SIM_UnitDesign>> designs;
};

// A battle with both armies but no map (the start logs the missing scenario), with
// the gameplay constants that change damage set to neutral values.
inline SIM_Battle& StartBareBattle() {
  SIM_Battle& battle = GetBattle();
  battle.scenario = nullptr;
  battle.Start();
  Gameplay& g = GetGameplay();
  g.AI_CHEAT_DAMAGE_REDUCTION = 0.0f;
  g.SUPPORT_DAMAGE_REDUCTION = 0.0f;
  g.DEFENDER_DEFENSE_BONUS = 1.0f;
  InitRandomWithSeed(1234);
  return battle;
}

// A battle on a loaded scenario for the given side, its AI units from `aiUnits`.
inline SIM_Battle& StartScenarioBattle(SIM_Scenario* scenario, bool playerDefends, int32_t aiUnits) {
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = playerDefends;
  battle.aiUnitSource = aiUnits;
  battle.SetScenario(scenario);
  battle.Start();
  return battle;
}

// The same with the computer opponent kept idle, for tests that place both armies
// themselves: it starts with no supplies and is left nothing to choose from.
inline SIM_Battle& StartScenarioBattleWithIdleAI(SIM_Scenario* scenario, bool playerDefends,
                                                 int32_t aiUnits) {
  ClassicModeValues& c = scenario->classic;
  float& aiStart = playerDefends ? c.startingSuppliesAttacker : c.startingSuppliesDefender;
  const float kept = aiStart;
  aiStart = 0.0f;
  SIM_Battle& battle = StartScenarioBattle(scenario, playerDefends, aiUnits);
  aiStart = kept;
  SIM_ClassicAttackerAI& attacker = GetAttackerAI();
  attacker.pool.clear();
  for (auto& list : attacker.categories) list.clear();
  attacker.supplies = 0.0f;
  GetDefenderAI().ClearPlacements();
  return battle;
}

// A unit of the design added to the army (the player's unless told otherwise).
inline SIM_BattleUnit* AddUnit(SIM_UnitDesign* design, SIM_BattleArmy* army) {
  auto* u = new SIM_BattleUnit();
  army->AddUnit(u, design);
  return u;
}

inline float TotalHitPoints(const SIM_BattleUnit* u) {
  float sum = 0.0f;
  for (auto& m : u->moduleManager->allModules) sum += m->hitPoints;
  return sum;
}

}  // namespace battle_test
