#include "battlehud/BuildingMenuSeam.h"

#include "engine/ErrorReporting.h"

namespace {
SIM_BattleUnit* g_lastUnit = nullptr;
int g_requests = 0;
}  // namespace

void OpenRCMenu(SIM_BattleUnit* building) {
  ZT_ASSERT(building != nullptr);
  if (!building) return;
  g_lastUnit = building;
  ++g_requests;
}

SIM_BattleUnit* LastRCMenuUnit() { return g_lastUnit; }
int RCMenuRequests() { return g_requests; }

void ResetRCMenuSeam() {
  g_lastUnit = nullptr;
  g_requests = 0;
}
