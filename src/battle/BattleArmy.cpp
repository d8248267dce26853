#include "battle/BattleArmy.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/CollisionGrid.h"
#include "battle/Module.h"
#include "battle/Movement.h"
#include "battle/Squadron.h"
#include "battle/SupportComponents.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
// Support modules link units to each other; cut every link before anything is deleted
// so no destructor reaches a unit that is already gone.
void DetachSupportLinks(SIM_BattleUnit* u) {
  u->repairers.clear();
  u->hospitals.clear();
  u->commanders.clear();
  if (!u->moduleManager) return;
  for (auto& m : u->moduleManager->allModules)
    if (auto* s = dynamic_cast<SIM_SupportComponent*>(m.get())) s->links.clear();
}
}  // namespace

SIM_BattleArmy::~SIM_BattleArmy() {
  tearingDown = true;
  for (SIM_BattleUnit* u : allUnits) DetachSupportLinks(u);
  for (SIM_BattleUnit* u : allUnits) delete u;
  allUnits.clear();
  for (SIM_BattleUnit* s : squadrons) delete s;
  squadrons.clear();
  livingUnits.clear();
  ++livingChanges;
  movers.clear();
}

bool SIM_BattleArmy::IsPlayerArmy() const { return BattleExists() && GetBattle().playerArmy == this; }

void SIM_BattleArmy::AddUnit(SIM_BattleUnit* unit, SIM_UnitDesign* design) {
  if (!unit) return;
  allUnits.push_back(unit);
  livingUnits.push_back(unit);
  ++livingChanges;
  SIM_UnitSearchGrid::MarkAllStale();
  unit->army = this;
  unit->isPlayers = IsPlayerArmy();
  unit->InitFromDesign(design);
  if (unit->sizeType != SIZE_INFANTRY) movers.push_back(unit);
}

void SIM_BattleArmy::AddEntry(SIM_BattleUnit* squadron) {
  if (!squadron) return;
  squadrons.push_back(squadron);
  movers.push_back(squadron);
}

void SIM_BattleArmy::RemoveLiving(SIM_BattleUnit* unit) {
  // A unit joins each list once: the search ends where it is found.
  const auto eraseFirst = [unit](std::list<SIM_BattleUnit*>& list) {
    const auto it = std::find(list.begin(), list.end(), unit);
    if (it != list.end()) list.erase(it);
  };
  eraseFirst(livingUnits);
  ++livingChanges;
  SIM_UnitSearchGrid::MarkAllStale();
  if (unit->sizeType != SIZE_INFANTRY) eraseFirst(movers);
}

SIM_BattleUnit* SIM_BattleArmy::DeployDesign(int column, int row, SIM_UnitDesign* design, int count,
                                             float heading, bool sideFlag) {
  // Recorded entries come from downloaded files: a bad cell, square or design is
  // skipped with a warning rather than followed.
  SIM_CollisionCell* cell = GetCollisionGrid().GetCellAt(column, row);
  ZT_ASSERT(cell != nullptr);
  SIM_Battle& battle = GetBattle();
  SIM_MapSquare* square = nullptr;
  if (cell && battle.scenario) square = battle.scenario->GetSquareAt(cell->centreX, cell->centreY);
  if (cell && !square) square = cell->square;
  ZT_ASSERT(!cell || square != nullptr);
  if (!cell || !square || !design || !design->hull) {
    ZT_WARNING("Invalid deployment entry");
    return nullptr;
  }
  const bool allowed = sideFlag ? square->defenderFlag : square->attackerFlag;
  if (!allowed) {
    LogWarning("SIM_BattleArmy", 162, "Invalid deployment position");
    return nullptr;
  }
  count = std::clamp(count, 1, kMaxSquadSize);
  spentSupplies += design->cost * static_cast<float>(count);
  BattleHooks& hooks = GetBattleHooks();

  if (design->hull->sizeType != SIZE_INFANTRY) {
    auto* unit = new SIM_BattleUnit();
    unit->placementIndex = -1;
    AddUnit(unit, design);
    unit->x = cell->centreX;
    unit->y = cell->centreY;
    unit->SetHeading(heading);
    unit->OnDeployed();
    if (hooks.announceUnit) hooks.announceUnit(unit);
    unit->state = US_DROPPING_IN;
    return unit;
  }

  const bool emplacement = square->kind == SIM_MapSquare::KIND_EMPLACEMENT;
  const float spacing = design->hull->size * 1.22f;
  auto* squad = new SIM_BattleSquadron();
  squad->army = this;
  squadrons.push_back(squad);
  if (emplacement) {
    squad->state = US_IN_EMPLACEMENT;
    squad->SetOwner(square);
  }
  std::list<SIM_BattleUnit*> unplaced;
  for (int i = 0; i < count; ++i) {
    auto* soldier = new SIM_BattleUnit();
    squad->AddMember(soldier);
    AddUnit(soldier, design);
    soldier->placementIndex = -1;
    float ox = 0.0f, oy = 0.0f;
    SIM_BattleSquadron::GetFormationOffset(i, &ox, &oy);
    ox += -spacing / 2 + RandomFloat() * spacing;
    oy += -spacing / 2 + RandomFloat() * spacing;
    if (soldier->movement) {
      soldier->movement->formationX = ox;
      soldier->movement->formationY = oy;
    }
    soldier->x = cell->centreX + ox;
    soldier->y = cell->centreY + oy;
    const bool placed =
        !(emplacement && hooks.assignToEmplacement && !hooks.assignToEmplacement(square, soldier));
    if (!placed) unplaced.push_back(soldier);
    soldier->SetHeading(heading);
    // A soldier without a place is deleted below: the minimap must never hold it.
    if (placed && hooks.announceUnit) hooks.announceUnit(soldier);
    soldier->state = US_DROPPING_IN;
  }
  // Soldiers who found no place in the emplacement are refunded.
  for (SIM_BattleUnit* soldier : unplaced) {
    allUnits.remove(soldier);
    livingUnits.remove(soldier);
    ++livingChanges;
    SIM_UnitSearchGrid::MarkAllStale();
    movers.remove(soldier);
    squad->RemoveMember(soldier);
    spentSupplies -= design->cost;
    delete soldier;
  }
  // An emplacement that took nobody keeps no empty squad in its cell.
  if (squad->members.empty()) {
    squadrons.remove(squad);
    delete squad;
    return nullptr;
  }
  squad->army = this;
  squad->isPlayers = IsPlayerArmy();
  squad->x = cell->centreX;
  squad->y = cell->centreY;
  squad->OnDeployed();
  return squad;
}

float SIM_BattleArmy::ComputeValue() {
  spentSupplies = 0.0f;
  for (SIM_BattleUnit* u : livingUnits)
    if (u->design && u->moduleManager) spentSupplies += u->design->cost * u->moduleManager->healthFraction;
  return spentSupplies;
}

void SIM_BattleArmy::NormaliseShares() {
  float most = 0.0f;
  for (SIM_BattleUnit* u : livingUnits)
    if (u->damageTally) most = std::max(most, u->damageTally->DamageSum());
  if (most <= 0.0f) return;
  for (SIM_BattleUnit* u : livingUnits)
    if (u->damageTally) u->damageTally->share = u->damageTally->DamageSum() / most;
}

void SIM_BattleArmy::ReportUnits() {
  BattleHooks& hooks = GetBattleHooks();
  if (!hooks.metricsAddSample) return;
  for (SIM_BattleUnit* u : allUnits) {
    if (!u->ratedWeapon || !u->ratedWeapon->moduleType || !u->damageTally) continue;
    hooks.metricsAddSample(u->ratedWeapon->moduleType->name, u->damageTally->DamageSum());
  }
}
