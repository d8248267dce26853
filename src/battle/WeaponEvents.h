#pragma once
// Everything a weapon tells the world outside the simulation: sounds, impacts, shield
// bubbles and soldier postures. The rules never depend on the answers, except the
// shield bubble, which the battle screen owns (none unless it says so).
#include <string>

class SIM_BattleUnit;
class SIM_FlamethrowerComponent;

enum WeaponImpactKind : int {
  IMPACT_BULLET_LANDED = 0,  // a missing bullet reached its miss point
  IMPACT_BULLET_STRUCK = 1,
  IMPACT_MISSILE_LANDED = 2,
  IMPACT_MISSILE_STRUCK = 3,
  IMPACT_MISSILE_FUEL_OUT = 4,
  IMPACT_BEAM_HIT = 5,
  IMPACT_BEAM_MISSED = 6
};

// A one-shot positional sound (range 64); nothing for an empty name.
void WeaponSound(const std::string& name, float volume, float x, float y, int bank = 0);
// A looped positional sound; its handle, -1 when it could not start.
int WeaponLoop(const std::string& name, float volume, float x, float y, int bank = 0);
// Stops a looped sound started above; -1 is ignored.
void StopWeaponSound(int handle);
void WeaponImpact(int kind, int warhead, float damage, float x, float y);
// A hit that damaged the unit landed at the world point (x, y): the damage numbers it
// raised rise from there.
void DamageLanded(SIM_BattleUnit* unit, float x, float y);
// 0 when the unit has no active bubble.
float ShieldBubbleRadius(SIM_BattleUnit* unit);
void ShieldImpact(SIM_BattleUnit* unit, float volume, float x, float y);
void InfantryAlert(SIM_BattleUnit* unit, bool alert);
// A round leaves a barrel at (x, y) heading that way (degrees).
void WeaponFlash(float x, float y, float heading);
// A flamethrower's burst starts or ends (the flame is drawn while it burns).
void FlameBurst(SIM_FlamethrowerComponent* flame, bool burning);
// True when the world point lies inside the visible battle area grown by the margin.
bool IsOnScreen(float x, float y, float margin);
// The battle map's size; projectiles outside it die.
bool IsOutsideMap(float x, float y);
