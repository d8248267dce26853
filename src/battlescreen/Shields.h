#pragma once
// A shielded unit's energy bubble: it flashes up when hit, shows up to four flares where
// the shots land, ripples the picture, and flickers while the shield runs low. The unit's
// visual builds it with itself and draws it; the simulation's weapons report hits to it
// through the battle hooks.
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/Craters.h"
#include "engine/Sprites.h"

class SIM_BattleUnit;

class GUI_BS_Shield {
 public:
  static constexpr int kSlots = 4;
  static constexpr int kSparks = 25;
  static constexpr float kBubbleMs = 400.0f;
  static constexpr float kImpactMs = 800.0f;
  static constexpr float kFlickerBelow = 0.33f;

  struct Impact {
    bool active = false;
    float angle = 0.0f;    // degrees, the heading from the unit to the hit
    float elapsed = 0.0f;  // ms
    QuadSprite sprite;
  };
  struct Spark {
    float elapsed = 0.0f;
    float duration = 0.0f;
    float progress = 0.0f;
  };

  // radius in map units; bubbleTexture is the shield module's texture.
  GUI_BS_Shield(SIM_BattleUnit* unit, float radius, const std::string& bubbleTexture);
  virtual ~GUI_BS_Shield();
  GUI_BS_Shield(const GUI_BS_Shield&) = delete;
  GUI_BS_Shield& operator=(const GUI_BS_Shield&) = delete;

  // The bubble radius of a unit: max(width, height) x 0.5 x the hull's scalar x 0.95.
  static float RadiusFor(float width, float height, float hullScalar);

  // A hit at world point (x, y): a flare slot near its heading restarts, else a free one
  // starts there; the impact sound plays when the unit is in view. Returns the slot used
  // (-1: all four busy elsewhere, the hit shows through the bubble and sound only).
  int OnImpact(float volume, float x, float y);
  // Right after a hit: the bubble flashes and the ripple starts (listed once).
  void AddDistortion();
  // The flicker step with the shield's current fraction.
  void UpdateFlicker(float frameMs, float fraction);
  virtual void Draw();
  // The unit left the battle: nothing reads it again and nothing more is drawn.
  void DropUnit();
  float CurrentFraction() const;

  SIM_BattleUnit* unit = nullptr;
  std::unique_ptr<Spark> sparks[kSparks];
  bool bubbleShown = false;
  float bubbleElapsed = 0.0f;
  float radius = 0.0f;
  Impact impacts[kSlots];
  QuadSprite bubble;
  bool flickerEnabled = true;
  bool flickering = false;
  bool flickerOn = false;
  float flickerClock = 0.0f;
  float flickerInterval = 0.0f;
  GUI_BS_ShieldDistortion distortion;

  // Every live shield (the constructor adds, the destructor removes).
  static std::vector<GUI_BS_Shield*>& Live();
  // The shield of a unit, or null.
  static GUI_BS_Shield* Of(const SIM_BattleUnit* unit);

 private:
  void NewFlickerInterval();
  // Bubble and flares of this frame; true when anything was drawn.
  bool DrawBubbleAndImpacts(float frameMs, bool advance);
};

// The weapons' hit report (registered as the battle hook).
void ShieldImpactHook(SIM_BattleUnit* unit, float volume, float x, float y);
