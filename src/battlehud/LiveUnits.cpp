#include "battlehud/LiveUnits.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battlescreen/BattleMap.h"

void HudLiveUnits::Refresh() {
  sorted_.clear();
  if (!BattleUnitManagerExists()) return;
  for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits) sorted_.push_back(u);
  std::sort(sorted_.begin(), sorted_.end());
}

bool HudLiveUnits::IsLive(const SIM_BattleUnit* unit) const {
  return unit && std::binary_search(sorted_.begin(), sorted_.end(), unit);
}

bool HudUnitShowable(const HudLiveUnits& live, const SIM_BattleUnit* unit) {
  if (!live.IsLive(unit)) return false;
  const int32_t s = unit->GetState();
  return s != US_INACTIVE && s != US_DESTROYED && s != US_GONE;
}

void HudWorldToScreen(float wx, float wy, float* sx, float* sy) {
  const GUI_BS_Map& m = GUI_BS_Map::Instance();
  // The camera holds the view's centre; the screen's corner is the view rectangle's.
  *sx = (wx - m.viewLeft) * m.zoom;
  *sy = (wy - m.viewTop) * m.zoom;
}

float HudBattleFrameMs() {
  if (!BattleExists()) return 0.0f;
  const SIM_Battle& b = GetBattle();
  return b.paused ? 0.0f : b.frameStep;
}
