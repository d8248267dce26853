#include "battle/BattleSounds.h"

namespace {
SIM_BattleSounds*& Registered() {
  static SIM_BattleSounds* sounds = nullptr;
  return sounds;
}
}  // namespace

SIM_BattleSounds& GetBattleSounds() {
  static SIM_BattleSounds silent;
  if (SIM_BattleSounds* sounds = Registered()) return *sounds;
  return silent;
}

void SetBattleSounds(SIM_BattleSounds* sounds) { Registered() = sounds; }
