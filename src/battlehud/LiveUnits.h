#pragma once
// The HUD's overlays keep plain pointers to units they do not own. Before touching one,
// a drawer asks whether it is still alive: every live unit is listed by the battle's unit
// manager from construction to deletion, and a unit dying (8), destroyed (9) or gone (11)
// is let go as well.
#include <vector>

class SIM_BattleUnit;

class HudLiveUnits {
 public:
  // Reads the manager's list (once per frame, before the overlays draw).
  void Refresh();
  bool IsLive(const SIM_BattleUnit* unit) const;

 private:
  std::vector<const SIM_BattleUnit*> sorted_;
};

// Alive and not in state 8, 9 or 11.
bool HudUnitShowable(const HudLiveUnits& live, const SIM_BattleUnit* unit);
// A world point on the screen: (world - the view's top left) x zoom.
void HudWorldToScreen(float wx, float wy, float* sx, float* sy);
// Battle milliseconds of this frame (0 while paused).
float HudBattleFrameMs();
