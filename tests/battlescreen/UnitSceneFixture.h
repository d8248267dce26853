#pragma once
// Shipped tanks and buildings of both sides placed on a shipped map in code: the player's
// sample designs against the default AI designs, turrets turned to their targets.
#include <cmath>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleScreenFixture.h"
#include "simdata/UnitDesign.h"

namespace battlescreen_test {

inline SIM_UnitDesign* PlayerDesign(const std::string& name) {
  SIM_UnitDesignManager::Get().Load();
  for (const auto& d : SIM_UnitDesignManager::Get().Designs())
    if (d->guiName == name || d->name == name) return d.get();
  return nullptr;
}

inline SIM_UnitDesign* EnemyDesign(const std::string& file) {
  return SIM_UnitDesignManager::Get().AddAIDesignFromFile("data/default_aiunits/" + file);
}

inline float HeadingTo(const SIM_BattleUnit* a, const SIM_BattleUnit* b) {
  return std::atan2(b->x - a->x, -(b->y - a->y)) * 180.0f / 3.14159265f;
}

// Places a unit of the design at (x, y) with that heading, fully arrived.
inline SIM_BattleUnit* PlaceUnit(SIM_UnitDesign* design, SIM_BattleArmy* army, float x, float y,
                                 float heading) {
  if (!design || !army) return nullptr;
  auto* u = new SIM_BattleUnit();
  army->AddUnit(u, design);
  u->x = x;
  u->y = y;
  u->SetHeading(heading);
  u->CacheHeading();
  u->state = US_ACTIVE;
  if (u->turretFacing) u->turretFacing->angle = heading;
  return u;
}

inline void AimAt(SIM_BattleUnit* u, SIM_BattleUnit* target) {
  if (u && target && u->turretFacing) u->turretFacing->angle = HeadingTo(u, target);
}

// Two tanks and a building a side, facing each other across (cx, cy).
struct UnitScene {
  std::vector<SIM_BattleUnit*> player, enemy;
};

inline UnitScene PlaceBothSides(float cx, float cy) {
  SIM_Battle& battle = GetBattle();
  UnitScene s;
  s.player.push_back(PlaceUnit(PlayerDesign("Jackal Scout"), battle.playerArmy, cx - 110, cy + 60, 20));
  s.player.push_back(
      PlaceUnit(PlayerDesign("Bulwark Battle Tank"), battle.playerArmy, cx + 30, cy + 90, 350));
  s.player.push_back(PlaceUnit(PlayerDesign("Gun Tower"), battle.playerArmy, cx + 170, cy + 95, 0));
  s.enemy.push_back(PlaceUnit(EnemyDesign("jackal_raider.txt"), battle.opponentArmy, cx - 60, cy - 95, 160));
  s.enemy.push_back(PlaceUnit(EnemyDesign("mammoth_siege.txt"), battle.opponentArmy, cx + 110, cy - 80, 200));
  s.enemy.push_back(PlaceUnit(EnemyDesign("citadel.txt"), battle.opponentArmy, cx - 200, cy - 90, 0));
  // Each gun on the nearest enemy.
  auto nearest = [](SIM_BattleUnit* u, const std::vector<SIM_BattleUnit*>& others) {
    SIM_BattleUnit* best = nullptr;
    float bd = 1e30f;
    for (SIM_BattleUnit* o : others) {
      if (!o) continue;
      const float d = (o->x - u->x) * (o->x - u->x) + (o->y - u->y) * (o->y - u->y);
      if (d < bd) bd = d, best = o;
    }
    return best;
  };
  for (SIM_BattleUnit* u : s.player)
    if (u) AimAt(u, nearest(u, s.enemy));
  for (SIM_BattleUnit* u : s.enemy)
    if (u) AimAt(u, nearest(u, s.player));
  return s;
}

}  // namespace battlescreen_test
