#pragma once
// Marks that moving units leave on the ground (tank tracks, footprints): each unit that
// leaves them owns a ring of 60; a mark fades in quickly and out over six seconds of
// battle time, time spent zoomed out or off screen included. The track pass draws every
// ring at once, only while the option "TRACKS" is on.
#include <cstdint>
#include <vector>

#include "engine/VertexBuffer.h"

class SIM_BattleUnit;

struct GUI_BS_Track {
  float x = 0.0f;
  float y = 0.0f;
  float heading = 0.0f;
  float age = 0.0f;  // ms
  bool active = false;
  GVertex* vertices = nullptr;  // its four vertices in the ring's array
};

class GUI_BS_Tracks {
 public:
  static constexpr int kMarks = 60;
  static constexpr float kLifeMs = 6000.0f;

  explicit GUI_BS_Tracks(SIM_BattleUnit* unit);
  virtual ~GUI_BS_Tracks();
  GUI_BS_Tracks(const GUI_BS_Tracks&) = delete;
  GUI_BS_Tracks& operator=(const GUI_BS_Tracks&) = delete;

  void SetTextureRect(float left, float top, float right, float bottom);
  // The first free mark takes the unit's heading; with none free the request is dropped
  // (old marks are never overwritten). False when dropped.
  bool AddMark(float x, float y);
  bool AddMark(float x, float y, float heading);
  // Ages every active mark; a mark at its end becomes inactive and transparent.
  void Age(float ms, float alpha);
  int ActiveCount() const;
  // The unit left the battle: the marks stay and fade, nothing reads the unit again.
  void DropUnit() { unit = nullptr; }

  SIM_BattleUnit* unit = nullptr;
  GUI_BS_Track marks[kMarks];
  int highest = -1;
  float markWidth = 8.0f;
  float markHeight = 8.0f;
  int left = 100000, top = 100000, right = -100, bottom = -100;
  GVertex vertices[kMarks * 4];

 private:
  bool Place(float x, float y, float heading, const float* uv);
  void RecomputeBounds();
  float uv_[4] = {0.0f, 0.0f, 1.0f, 1.0f};
};

// The rings of the battle and what they share.
struct GUI_BS_TrackManager {
  static GUI_BS_TrackManager& Instance();
  std::vector<GUI_BS_Tracks*> rings;
  float alpha = 1.0f;
  float hiddenTime = 0.0f;
  // What the last pass queued (tests and the benchmark read it).
  int queuedQuads = 0;
};

// Alpha of a mark of this age (0..255) under the zoom fade.
uint32_t TrackMarkColour(float ageMs, float alpha);

// One track pass with its inputs given: the option value, the zoom fade, the frame time
// and the visible map rectangle. Queues into the shared batch only when `draw` is set.
void TrackPass(float tracksOption, float fade, float frameMs, float viewLeft, float viewTop, float viewRight,
               float viewBottom, bool draw);
// The battle frame's track layer.
void DrawTrackMarksLayer();
