#pragma once
// Placing an air strike: clicking an ability icon orders a strike and arms a marker under
// the mouse; a left press on the map launches it there, and the marker stays over the
// target (turning, with a progress ring and a countdown) until the strike ends, then
// fades out over 200 ms. The marker knows its strike only by handle, and as the strike's
// owner it is forgotten by the strike when it goes.
#include <list>
#include <memory>

#include "battle/AirStrikes.h"

class GUI_BS_AirStrikePlacer : public SIM_AirStrikeOwner {
 public:
  enum State { TARGETING = 0, PLACED = 1, FADING = 3 };
  static constexpr float kFadeMs = 200.0f;
  static constexpr uint32_t kColour = 0x96FAA500u;

  GUI_BS_AirStrikePlacer(SIM_AirStrikeType* type, int32_t strikeId);
  ~GUI_BS_AirStrikePlacer() override;

  // Draws the marker; false once it is finished (faded out, or its strike was lost).
  bool Draw(float frameMs, float mouseX, float mouseY);
  SIM_AirStrike* Strike() const;
  // Marker alpha for the fade timer (0x96 down to 0 over 200 ms).
  static int FadeAlpha(float fadeTimer);
  // The countdown shown while placed: order delay minus elapsed, 0 once attacking.
  int Countdown() const;

  SIM_AirStrikeType* type = nullptr;  // the manager's catalogue, lives for the process
  int32_t strikeId = 0;
  int state = TARGETING;
  float targetX = 0.0f, targetY = 0.0f;
  float rotation = 0.0f;
  float fadeTimer = 0.0f;
  float side = 0.0f;  // the last drawn side (tests)
};

class GUI_BS_AirStrikeManager {
 public:
  static GUI_BS_AirStrikeManager& Instance();

  // An ability icon was clicked: the old targeting marker goes, a strike is ordered.
  GUI_BS_AirStrikePlacer* StartTargeting(SIM_AirStrikeType* type);
  // Launches the active marker's strike at the world point under the mouse.
  bool PlaceStrike(float mouseX, float mouseY);
  // Escape, Delete, right button: the targeting marker goes and its strike is taken back.
  void CancelPlacer();
  void DrawAll();
  // Battle start: every marker goes.
  void Clear();

  GUI_BS_AirStrikePlacer* Active() const { return active_; }
  size_t Count() const { return placers_.size(); }

 private:
  std::list<std::unique_ptr<GUI_BS_AirStrikePlacer>> placers_;
  GUI_BS_AirStrikePlacer* active_ = nullptr;
};

// Whether a left press at the mouse belongs to the deployment strip or another window
// (a targeted strike never takes a press meant for a window).
bool HudMouseOverWindow();
