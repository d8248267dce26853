#pragma once
// Spent shell casings that kinetic weapons throw out while firing (they spin away, shrink
// and fade), and the flash timer: the shaking jitter the camera adds while the light
// map's override is on.
#include <string>

#include "engine/Sprites.h"

class CLoadedTexture;

struct ShellCasing {
  bool active = false;
  float size = 12.0f;
  float x = 0.0f, y = 0.0f;    // map units
  float vx = 0.0f, vy = 0.0f;  // map units per ms
  float rotation = 0.0f;       // degrees
  float spin = 0.0f;           // degrees per ms
  float spare = 0.0f;
  float age = 0.0f;  // ms
  int alpha = 0;     // of the last queue
  BaseSprite sprite;
};

class ShellCasings {
 public:
  static constexpr int kCasings = 16;
  static constexpr float kSpawnMs = 45.0f;
  static constexpr float kLifeMs = 400.0f;

  // ejectAngle (degrees) and the offset (map units, turret-relative) come from the hull
  // variant's "shell_emitter" attachment.
  ShellCasings(int ejectAngle, float offsetX, float offsetY);

  // One frame: spawns while ejecting, moves and queues the live casings. The turret's
  // world position and angle give the ejection point; `draw` queues into the batch.
  void Update(float frameMs, float zoom, float turretX, float turretY, float turretAngle, float viewLeft,
              float viewTop, bool draw);
  // A new casing from the first free slot; false when all 16 fly.
  bool Spawn(float turretX, float turretY, float turretAngle);
  int ActiveCount() const;

  ShellCasing casings[kCasings];
  int ejectAngle = 0;
  float offsetX = 0.0f, offsetY = 0.0f;
  bool ejecting = false;
  float spawnClock = 0.0f;
  bool anyActive = false;
  int queuedLast = 0;  // casings queued by the last update

 private:
  CLoadedTexture* texture_ = nullptr;
};

// The light-map override's jitter: quiet for 2-4 s, then a 0.6-1.2 s shake of up to 3 px.
struct FlashTimer {
  static FlashTimer& Get();
  void NextPhase();
  void Update(float frameMs);
  bool flashing = false;
  float amplitudeX = 0.0f, amplitudeY = 0.0f;
  float duration = 0.0f;
  float elapsed = 0.0f;
  float jitterX = 0.0f, jitterY = 0.0f;
};
void FlashTimerNextPhase();
void FlashTimerUpdate();
