#pragma once
// What support a unit gets, at a glance: small icons over each unit for the support
// effects it receives (repair, hospital, command) and a reloading weapon; and the
// translucent discs of the support units' reach.
#include <cstdint>
#include <vector>

class SIM_BattleUnit;
class SIM_SupportComponent;
class HudLiveUnits;

class GUI_BS_SupportIconManager {
 public:
  static constexpr float kMinSide = 8.0f;
  static constexpr uint32_t kColour = 0x64FFFFFFu;  // white at alpha 100
  // Sheet frames (2 x 2) of support kinds 0, 1, 2 and of the reloading weapon.
  static constexpr int kFrames[4] = {1, 0, 2, 3};

  struct Icon {
    int frame = 0;
    float x = 0.0f, y = 0.0f, side = 0.0f;
  };
  static GUI_BS_SupportIconManager& Instance();
  // Whether the unit's main weapon uses ammunition and is reloading.
  static bool Reloading(const SIM_BattleUnit* unit);
  // The icons of a unit at a screen point, left to right; supports[k] says whether it
  // receives support kind k. Empty with nothing to show.
  static std::vector<Icon> Layout(float screenX, float screenY, float unitSize, float zoom,
                                  const bool supports[3], bool reloading);
  // Every unit of the battle within the view grown by 100; returns the icons queued.
  int Draw(const HudLiveUnits& live);
};

// The reach of every support module (repair, hospital, command) on the battlefield, as
// a translucent disc: shown while the carrier stands in the fight, or while it is
// selected and not destroyed.
class GUI_BS_EffectIndicatorManager {
 public:
  static constexpr int kRimPoints = 255;
  static GUI_BS_EffectIndicatorManager& Instance();
  // The disc's colour for a support kind.
  static uint32_t Colour(int kind);
  static bool Shown(const SIM_BattleUnit* carrier);
  // Returns how many discs were queued.
  int Draw(const HudLiveUnits& live);
};

// The layers' drawers.
void DrawSupportIcons();
void DrawSupportAreas();
