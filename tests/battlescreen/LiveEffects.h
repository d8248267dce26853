#pragma once
// The effects a battle shows now, read where the game keeps them (the effects manager and
// the debris pool): what a unit visual's hit, placement or step really made.
#include <string>

#include "battlescreen/BattleSprites.h"
#include "effects/AirStrikeTrails.h"
#include "effects/Debris.h"
#include "effects/Explosions.h"
#include "effects/ParticleSystem.h"
#include "effects/RocketTrails.h"
#include "effects/Smoke.h"

namespace battlescreen_test {

// Loaded before any effect exists: loading them later frees the configurations that
// playing emitters read.
inline void LoadEffectConfigs() {
  if (!ParticleConfigsLoaded()) ParticleConfigsLoad();
}

// Nothing playing: a case counts only what it made.
inline void ClearLiveEffects() {
  GUI_BS_EffectsManager::Instance().Clear();
  GUI_BS_DebrisPool::Instance().Reset();
  ExhaustPoolClear();
}

template <typename T, typename Pred>
int CountLive(Pred pred) {
  int n = 0;
  for (GUI_BS_RenderObject* e : GUI_BS_EffectsManager::Instance().allEffects)
    if (auto* t = dynamic_cast<T*>(e); t && pred(*t)) ++n;
  return n;
}

// Explosion and particle groups made from the configuration of that name.
inline int LiveGroups(const std::string& config) {
  return CountLive<GUI_ParticleEmmiterGroup>(
      [&](const GUI_ParticleEmmiterGroup& g) { return g.name == config; });
}

// The small explosions, whichever of the three a hit drew.
inline int LiveSmallExplosions() {
  return LiveGroups("small_explosion") + LiveGroups("small_explosion_fiery") +
         LiveGroups("small_explosion_sparky");
}

// Blast glares drawn on screen (and in the light map), or in the light map only.
inline int LiveGlares(bool lightMapOnly) {
  return CountLive<GUI_BS_BlastGlare>(
      [&](const GUI_BS_BlastGlare& g) { return g.lightMapOnly == lightMapOnly; });
}

inline int LivePlumes() {
  return CountLive<GUI_BS_ExplosionPlume>([](const GUI_BS_ExplosionPlume&) { return true; });
}

// Shock-wave rings of that radius and duration.
inline int LiveShockWaves(float radius, float duration) {
  return CountLive<GUI_BS_ShockWave>(
      [&](const GUI_BS_ShockWave& w) { return w.radius == radius && w.duration == duration; });
}

inline int LiveDebris() { return GUI_BS_DebrisPool::Instance().ActiveCount(); }

// Exhaust puffs of that kind in the air.
inline int LiveExhaustPuffs(const std::string& kind) {
  int n = 0;
  for (const GUI_BS_Exhaust* e : ExhaustList())
    if (e->kind && e->kind->name == kind) n += e->activeCount;
  return n;
}

// Everything the effects manager holds and every debris piece in flight.
inline int AllLiveEffects() {
  return static_cast<int>(GUI_BS_EffectsManager::Instance().allEffects.size()) + LiveDebris();
}

}  // namespace battlescreen_test
