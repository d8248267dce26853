#pragma once
// What one battle unit achieved: the damage tally its weapons add to, its shots and
// whether it escaped the map; plus its share of its army's damage (0..1).

class SIM_BattleUnit;

struct UnitBattleStats {
  float totalDamage = 0.0f;  // shield + armour + internal damage done
  float shieldDamage = 0.0f;
  float armourDamage = 0.0f;
  float hullDamage = 0.0f;  // internal damage done
  float shotsFired = 0.0f;
  float escaped = 0.0f;  // 1 when the unit left the map at an exit
  SIM_BattleUnit* owner = nullptr;
  float share = 0.0f;  // set by the army's normalisation

  // Shield + armour + hull damage: what the army's share normalisation compares.
  float DamageSum() const { return shieldDamage + armourDamage + hullDamage; }
};
