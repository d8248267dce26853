#include "battlescreen/WorldEffectsSeam.h"

UnitEffectHooks& GetUnitEffectHooks() {
  static UnitEffectHooks hooks;
  return hooks;
}

void RequestBattleEffect(const std::string& kind, const std::string& name, float x, float y, float a,
                         float b) {
  if (auto* fn = GetUnitEffectHooks().request) fn(GUI_BS_EffectRequest{kind, name, x, y, a, b, 0.0f, 0.0f});
}
