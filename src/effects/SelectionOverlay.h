#pragma once
// The selection overlay: the selected units are painted as white silhouettes into the
// screen-sized target "rt_selection", which is then laid over the battle in amber.
#include <array>

#include "engine/VertexBuffer.h"

class GUI_BS_Sprite;

struct GUI_BS_SelectionOverlay {
  static constexpr int kQueued = 512;  // sprites a frame; more are dropped
  static GUI_BS_SelectionOverlay& Instance();
  GVertex quad[4];
  std::array<const GUI_BS_Sprite*, kQueued> queued{};
  int count = 0;
  bool drawn = false;
  bool built = false;
  int builtWidth = 0, builtHeight = 0;
  int builtTargetWidth = 0, builtTargetHeight = 0;
};

// The smallest of 512, 1024, 2048 and 4096 not below n (4096 for anything larger).
int SelectionTargetSize(int n);
void SelectionOverlayInit();
// Queues a selected unit's sprite for this frame; false when the queue is full.
bool SelectionOverlayAdd(const GUI_BS_Sprite* sprite);
// Queues the sprites of every selected unit on screen (after the units are drawn).
void SelectionOverlayQueueSelected();
void SelectionOverlayRender();
void SelectionOverlayDraw();
