#include "battle/BattleStats.h"

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"

const char* const kBattleStatKeys[STAT_COUNT] = {"US_TOTAL_DAMAGE_DONE", "US_SHIELD_DAMAGE_DONE",
                                                 "US_ARMOR_DAMAGE_DONE", "US_HULL_DAMAGE_DONE",
                                                 "US_SHOTSFIRED",        "US_ESCAPED"};

float BattleStatValue(const SIM_BattleUnit& unit, int index) {
  const UnitBattleStats* s = unit.damageTally.get();
  if (!s) return 0.0f;
  switch (index) {
    case STAT_TOTAL_DAMAGE:
      return s->totalDamage;
    case STAT_SHIELD_DAMAGE:
      return s->shieldDamage;
    case STAT_ARMOUR_DAMAGE:
      return s->armourDamage;
    case STAT_HULL_DAMAGE:
      return s->hullDamage;
    case STAT_SHOTS_FIRED:
      return s->shotsFired;
    case STAT_ESCAPED:
      return s->escaped;
    default:
      return 0.0f;
  }
}

void BattleStatsGroup::Compute() {
  const float n = static_cast<float>(units.size());
  for (int i = 0; i < STAT_COUNT; ++i) {
    sums[i] = 0.0f;
    for (const SIM_BattleUnit* u : units) sums[i] += BattleStatValue(*u, i);
    averages[i] = n > 0.0f ? sums[i] / n : 0.0f;
  }
}

void SIM_BattleStatsDatabase::Clear() { groups.clear(); }

void SIM_BattleStatsDatabase::Build() { Build(BattleExists() ? GetBattle().playerArmy : nullptr); }

void SIM_BattleStatsDatabase::Build(const SIM_BattleArmy* army) {
  Clear();
  if (!army) return;
  for (SIM_BattleUnit* u : army->allUnits) {
    if (!u->design) continue;
    BattleStatsGroup* group = const_cast<BattleStatsGroup*>(FindGroup(u->design));
    if (!group) {
      groups.push_back(std::make_unique<BattleStatsGroup>());
      group = groups.back().get();
      group->design = u->design;
    }
    group->units.push_back(u);
  }
  for (auto& g : groups) g->Compute();
}

const BattleStatsGroup* SIM_BattleStatsDatabase::FindGroup(const SIM_UnitDesign* design) const {
  for (const auto& g : groups)
    if (g->design == design) return g.get();
  return nullptr;
}
