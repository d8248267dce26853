#include "battle/WeaponEvents.h"

#include "app/Sounds.h"
#include "battle/BattleHooks.h"
#include "battlescreen/BattleMap.h"

void WeaponSound(const std::string& name, float volume, float x, float y, int bank) {
  if (name.empty()) return;
  GetSounds().PlaySound(name.c_str(), bank, volume, false, 64.0f, x, y);
}

int WeaponLoop(const std::string& name, float volume, float x, float y, int bank) {
  if (name.empty()) return -1;
  return GetSounds().PlaySound(name.c_str(), bank, volume, true, 64.0f, x, y);
}

void StopWeaponSound(int handle) {
  // Weapons die with their army, which may be after the sound manager at exit.
  if (handle >= 0 && SoundsExist()) GetSounds().StopSound(handle);
}

void WeaponImpact(int kind, int warhead, float damage, float x, float y) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.weaponImpact) hooks.weaponImpact(kind, warhead, damage, x, y);
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

bool IsOnScreen(float x, float y, float margin) { return !GUI_BS_Map::Instance().IsOffScreen(x, y, margin); }

bool IsOutsideMap(float x, float y) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  return x < 0.0f || y < 0.0f || x > map.mapWidth || y > map.mapHeight;
}
