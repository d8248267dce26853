#include "battlescreen/DeviceResetSeam.h"

#include "battlescreen/Infantry.h"
#include "engine/Singletons.h"

namespace {
struct ResetState {
  bool rebuilt = false;
  int compositeRebuilds = 0;
};
ResetState& State() {
  static ResetState state;
  static bool registered = (RegisterSingletonReset([] { state = ResetState(); }), true);
  (void)registered;
  return state;
}
}  // namespace

void RebuildInfantryComposites() {
  ++State().compositeRebuilds;
  InfantryCompositor::Instance().ReleaseAll();
}
void FlagBattleScreenDeviceRebuilt() { State().rebuilt = true; }
bool BattleScreenDeviceRebuiltFlag() { return State().rebuilt; }
void ClearBattleScreenDeviceRebuiltFlag() { State().rebuilt = false; }
int InfantryCompositeRebuilds() { return State().compositeRebuilds; }
