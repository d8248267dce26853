#pragma once
// The fifteen named bonuses that variable modules give to the unit carrying them.
// Each unit keeps the current sums; its modules read them when they apply upgrades
// and when they fire.
#include <string>

class SIM_BattleUnit;

enum UnitVariableType : int {
  UVT_WPN_LOADING_SPEED = 0,
  UVT_WPN_ACCURACY = 1,
  UVT_WPN_RANGEBONUS = 2,
  UVT_WPN_DMG_BONUS = 3,
  UVT_SPEED_BONUS = 4,
  UVT_EFF_VS_ARMOR = 5,
  UVT_EFF_VS_SHLD = 6,
  UVT_EFF_VS_INTERN = 7,
  UVT_AOA_RADIUS = 8,
  UVT_AMMO_STORAGE = 9,
  UVT_AMMO_RELOAD_SPD = 10,
  UVT_MIN_RANGE_RED = 11,
  UVT_HITPOINTS = 12,
  UVT_SHIELDSTRENGTH = 13,
  UVT_ARMORSTRENGTH = 14,
  UVT_COUNT = 15
};

class SIM_UnitVariableManager {
 public:
  // The index of a variable name (exact, case-sensitive). A name outside the table is
  // a broken catalogue: the program stops with "Invalid unit variable name".
  static int IndexOf(const std::string& name);
  // The same without stopping: -1 for an unknown name.
  static int Find(const std::string& name);
  // "UVT_..." for 0..14; "" otherwise.
  static const char* NameOf(int index);
};

class UnitVariables {
 public:
  explicit UnitVariables(SIM_BattleUnit* owner) : owner(owner) {}
  virtual ~UnitVariables() = default;

  // All fifteen to 0, then every variable module of the owner adds value x health.
  void Recompute();
  // The value at an index; 0 outside 0..14.
  float Get(int index) const { return (index >= 0 && index < UVT_COUNT) ? values[index] : 0.0f; }

  SIM_BattleUnit* owner = nullptr;
  float values[UVT_COUNT] = {};
};
