#pragma once
// The flash of a unit leaving the battle: a "warpout.dds" sprite that grows to three
// times its size and fades out over 250 ms of battle time (it waits while paused).
#include <list>

struct WarpOutFlash {
  float x = 0.0f, y = 0.0f;
  float age = 0.0f;   // ms
  float size = 0.0f;  // world units when it starts
  // What the last draw gave it (tests).
  float drawnSide = 0.0f;
  int drawnAlpha = 0;
};

class GUI_BS_WarpOutManager {
 public:
  static constexpr float kLifeMs = 250.0f;
  static GUI_BS_WarpOutManager& Instance();
  virtual ~GUI_BS_WarpOutManager();

  void Add(float size, float x, float y);
  // Ages every flash by the frame's battle time, draws those on screen, frees the finished.
  void Draw();
  void Clear();

  std::list<WarpOutFlash> flashes;
  int drawnLastFrame = 0;
};
