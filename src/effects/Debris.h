#pragma once
// Wreckage thrown by explosions: pieces fly outwards, spin, land; some vanish on landing,
// others stay on the ground. All of them come from one fixed pool that is reused, so a
// busy battle never allocates and never runs out.
#include <array>
#include <memory>

#include "engine/Sprites.h"

class CLoadedTexture;
class GUI_BS_DebrisPool;

class GUI_BS_Debris {
 public:
  virtual ~GUI_BS_Debris() = default;
  // Queues the piece when it was on screen at its last update (the pool binds the sheet).
  virtual void Draw();
  void Update(float frameMs);
  void Launch(float s, int cell, bool persistentRequest, float fromX, float fromY, float toX, float toY);

  bool active = false;
  bool landed = false;
  bool persistent = false;
  bool visible = false;
  int index = 0;  // fixed at creation
  GUI_BS_DebrisPool* pool = nullptr;
  BaseSprite quad;
  int red = 255, green = 255, blue = 255;
  float angle = 0.0f;
  float spinSpeed = 0.0f;
  bool spinReversed = false;
  float baseSize = 0.0f;
  float size = 0.0f;
  float sizeFactor = 0.0f;
  float startX = 0.0f, startY = 0.0f, offsetX = 0.0f, offsetY = 0.0f;
  float x = 0.0f, y = 0.0f;
  float elapsed = 0.0f;
  float flightTime = 0.0f;
  int slot = 0;  // where the piece sits in the pool's draw order now
};

class GUI_BS_DebrisPool {
 public:
  static constexpr int kPieces = 2000;
  static constexpr int kListSize = 10;
  static constexpr int kSheetCells = 256;  // "debris.dds": 16 x 16

  static GUI_BS_DebrisPool& Instance();
  GUI_BS_DebrisPool();
  virtual ~GUI_BS_DebrisPool();

  // The array position a new piece takes (finished, free, off-screen, outside the view, random).
  int ChoosePosition();
  void Spawn(int count, float size, int firstCell, int endCell, float spread, bool persistent, float x,
             float y);
  void Draw();
  // Active pieces first, in their old order; the lists are emptied (their positions moved).
  void Compact();
  void NoteFinished(int position);
  // Battle start: every piece inactive, the lists empty.
  void Reset();
  int ActiveCount() const;

  std::array<GUI_BS_Debris*, kPieces> order{};
  int drawCount = 0;
  int searchStart = 0;
  int framesSinceCompact = 0;
  std::array<int, kListSize> finishedList{};
  std::array<int, kListSize> offscreenList{};
  CLoadedTexture* texture = nullptr;

 private:
  std::unique_ptr<GUI_BS_Debris[]> pieces_;
  std::array<GUI_BS_Debris*, kPieces> scratch_{};
};

// The zoom fade of the debris, written by each DrawDebris.
extern float debrisAlpha;

void SpawnDebris(int count, float size, int firstCell, int endCell, float spread, bool persistent, float x,
                 float y);
void DrawDebris();
