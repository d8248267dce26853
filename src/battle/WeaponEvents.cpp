#include "battle/WeaponEvents.h"

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleSounds.h"
#include "battle/BattleView.h"
#include "engine/Singletons.h"

void WeaponSound(const std::string& name, float volume, float x, float y, int bank) {
  if (name.empty()) return;
  GetBattleSounds().PlaySound(name.c_str(), bank, volume, false, 64.0f, x, y);
}

int WeaponLoop(const std::string& name, float volume, float x, float y, int bank) {
  if (name.empty()) return -1;
  return GetBattleSounds().PlaySound(name.c_str(), bank, volume, true, 64.0f, x, y);
}

void StopWeaponSound(int handle) {
  if (handle >= 0) GetBattleSounds().StopSound(handle);
}

void WeaponImpact(int kind, int warhead, float damage, float x, float y) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.weaponImpact) hooks.weaponImpact(kind, warhead, damage, x, y);
}

void DamageLanded(SIM_BattleUnit* unit, float x, float y) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.damageLanded) hooks.damageLanded(unit, x, y);
}

float ShieldBubbleRadius(SIM_BattleUnit* unit) {
  BattleHooks& hooks = GetBattleHooks();
  return (unit && hooks.shieldBubbleRadius) ? hooks.shieldBubbleRadius(unit) : 0.0f;
}

void ShieldImpact(SIM_BattleUnit* unit, float volume, float x, float y) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.shieldImpact) hooks.shieldImpact(unit, volume, x, y);
}

void InfantryAlert(SIM_BattleUnit* unit, bool alert) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.infantryAlert) hooks.infantryAlert(unit, alert);
}

void WeaponFlash(float x, float y, float heading) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.weaponFlash) hooks.weaponFlash(x, y, heading);
}

void FlameBurst(SIM_FlamethrowerComponent* flame, bool burning) {
  // Weapons also go while the process-wide objects are torn down: never rebuild the hooks.
  BattleHooks* hooks = ProcessWideIfAlive<BattleHooks>();
  if (hooks && hooks->flameBurst) hooks->flameBurst(flame, burning);
}

bool IsOnScreen(float x, float y, float margin) { return !GetBattleView().IsOffScreen(x, y, margin); }

bool IsOutsideMap(float x, float y) {
  if (!BattleExists()) return true;
  const SIM_Battle& battle = GetBattle();
  return x < 0.0f || y < 0.0f || x > battle.mapWidth || y > battle.mapHeight;
}
