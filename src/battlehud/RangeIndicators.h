#pragma once
// Weapon reach rings under selected units (and the unit being placed): a band from the
// minimum to the current maximum range, a second band out to the base maximum when the
// reach was cut, and the firing arc for weapons that cannot turn all the way. Rings grow
// in over 100 ms when shown and shrink away over 100 ms, on the fixed 16 ms step so they
// move while the battle is paused.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class SIM_BattleUnit;
class HudLiveUnits;

class GUI_BS_RangeIndicator {
 public:
  enum State { GROWING = 0, SHOWN = 1, SHRINKING = 2, HIDDEN = 3 };
  struct Ring {
    float innerScale = 0.0f, outerScale = 0.0f, outerOffset = 0.0f, innerOffset = 0.0f;
  };
  static constexpr float kStepMs = 16.0f;
  static constexpr float kGrowMs = 100.0f;

  // Reads the unit's weapon reach and firing arc, and the scenario's interface style.
  explicit GUI_BS_RangeIndicator(SIM_BattleUnit* unit);
  virtual ~GUI_BS_RangeIndicator();
  GUI_BS_RangeIndicator(const GUI_BS_RangeIndicator&) = delete;
  GUI_BS_RangeIndicator& operator=(const GUI_BS_RangeIndicator&) = delete;

  void SetRanges(float minRange, float currentMax, float baseMax, float arcDegrees);
  void SetStyle(bool darkStyle);
  // Shows the rings (growing from nothing); listed once however often it is called.
  void Reset();
  // Steps the grow timer and queues the rings; false when the indicator leaves the list.
  bool Update(const HudLiveUnits& live);
  // Queues the rings at the current grow (also for the light-map pass).
  void QueueRings(float x, float y, float zoom) const;
  // The arc as drawn: start angle and sweep in degrees; sweep 0 when there is none.
  void ArcSpan(float headingDegrees, float* from, float* sweep) const;

  static void FadeOutAll();
  static void DrawAll();
  static std::vector<GUI_BS_RangeIndicator*>& List();

  SIM_BattleUnit* unit = nullptr;  // not owned; let go once the unit is gone
  Ring ring1, ring2;
  bool twoRings = false;
  float arc = 0.0f;
  float grow = 0.0f;
  float timer = 0.0f;
  int state = HIDDEN;
  bool dark = false;
  uint32_t bandColour = 0;
  uint32_t arcColour = 0;
  int bandSegments = 0;  // segments queued by the last QueueRings (tests)
  int arcSegments = 0;
};

// The HUD's indicators, one per unit that was ever shown (created on first Reset).
class GUI_BS_RangeIndicatorSet {
 public:
  static GUI_BS_RangeIndicatorSet& Instance();
  GUI_BS_RangeIndicator* Reset(SIM_BattleUnit* unit);
  GUI_BS_RangeIndicator* Find(const SIM_BattleUnit* unit) const;
  // Drops the indicators of units that are no longer alive (after a draw).
  void Prune(const HudLiveUnits& live);
  void Clear();
  size_t Count() const { return indicators_.size(); }

 private:
  std::map<const SIM_BattleUnit*, std::unique_ptr<GUI_BS_RangeIndicator>> indicators_;
};
