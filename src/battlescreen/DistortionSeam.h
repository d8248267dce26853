#pragma once
// Stand-in for the distortion manager until the world details land: it takes the
// objects that want their heat haze or shock waves bent into the picture this frame and
// tells the post-processing whether anything was asked for. It draws nothing itself, so
// the distortion target stays neutral grey.
#include <cstddef>
#include <vector>

class GUI_BS_RenderObject;

// A shield's ripple: owned by its shield, listed here while it runs.
struct GUI_BS_ShieldDistortion {
  static constexpr float kDurationMs = 400.0f;
  float size = 0.0f;  // map units (the bubble's radius)
  float elapsed = 0.0f;
  float x = 0.0f, y = 0.0f;  // where the unit stood at the last hit
};

class GUI_BS_DistortionSeam {
 public:
  static constexpr int kMaxObjects = 256;
  static GUI_BS_DistortionSeam& Instance();
  // A full frame's list drops the rest.
  void Register(GUI_BS_RenderObject* object);
  // Whether the distortion target will hold anything this frame: only once something
  // draws the registrations (or the desert's haze) into it; until then the pass, which
  // would change nothing, is skipped.
  bool HasDistortion(bool desertHaze) const { return drawer && (count > 0 || desertHaze); }
  // Draws the frame's registrations into the distortion target (the world details set it).
  using Drawer = void (*)(GUI_BS_RenderObject* const* objects, int count);
  Drawer drawer = nullptr;
  // The distortion layer of the frame: the drawer runs, then the registrations end.
  void DrawAndEndFrame();
  // A shield was hit: its ripple is listed once; a second hit while it runs restarts it.
  void AddShieldDistortion(GUI_BS_ShieldDistortion* ripple);
  // The shield goes: its ripple leaves the list at once.
  void RemoveShieldDistortion(GUI_BS_ShieldDistortion* ripple);
  // Ripples age; finished ones leave the list.
  void AdvanceShieldDistortions(float ms);
  std::vector<GUI_BS_ShieldDistortion*> shieldDistortions;
  GUI_BS_RenderObject* objects[kMaxObjects] = {};
  int count = 0;
};
