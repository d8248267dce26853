#include "battle/UnitVariables.h"

#include <cstring>

#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/PassiveComponents.h"
#include "engine/ErrorReporting.h"

namespace {
const char* const kNames[UVT_COUNT] = {"UVT_WPN_LOADING_SPEED", "UVT_WPN_ACCURACY",    "UVT_WPN_RANGEBONUS",
                                       "UVT_WPN_DMG_BONUS",     "UVT_SPEED_BONUS",     "UVT_EFF_VS_ARMOR",
                                       "UVT_EFF_VS_SHLD",       "UVT_EFF_VS_INTERN",   "UVT_AOA_RADIUS",
                                       "UVT_AMMO_STORAGE",      "UVT_AMMO_RELOAD_SPD", "UVT_MIN_RANGE_RED",
                                       "UVT_HITPOINTS",         "UVT_SHIELDSTRENGTH",  "UVT_ARMORSTRENGTH"};
}  // namespace

int SIM_UnitVariableManager::Find(const std::string& name) {
  for (int i = 0; i < UVT_COUNT; ++i)
    if (name == kNames[i]) return i;
  return -1;
}

int SIM_UnitVariableManager::IndexOf(const std::string& name) {
  const int index = Find(name);
  // Module types come from our own catalogue, so an unknown name is a broken install.
  if (index < 0) FatalError("SIM_UnitVariableManager", __LINE__, "Invalid unit variable name");
  return index;
}

const char* SIM_UnitVariableManager::NameOf(int index) {
  return (index >= 0 && index < UVT_COUNT) ? kNames[index] : "";
}

void UnitVariables::Recompute() {
  std::memset(values, 0, sizeof(values));
  if (!owner || !owner->moduleManager) return;
  for (SIM_VariableComponent* v : owner->moduleManager->variableComponents) {
    if (v->variableIndex >= 0 && v->variableIndex < UVT_COUNT)
      values[v->variableIndex] += v->value * v->healthFraction;
  }
}
