#pragma once
// Smoke trails behind missiles, and the expanding additive ring of air drops and placed
// units. Trails own their puffs from construction and are reused by later missiles.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"

class CLoadedTexture;
class SIM_Missile;

struct SmokePuff {
  static constexpr float kLifeMs = 3500.0f;
  void Start(float px, float py);
  // Ages the puff and rebuilds its quad when it lies in view.
  void Update(float e);
  void Draw() const;
  bool InView() const;

  bool alive = false;
  float x = 0.0f, y = 0.0f;
  float alpha = 0.0f;
  float size = 0.0f;
  GVertex* quad = nullptr;
  float angle = 0.0f;
  float age = 0.0f;
  float driftX = 0.0f, driftY = 0.0f;
};

class GUI_BS_RocketTrail {
 public:
  static constexpr int kPuffs = 400;
  static constexpr float kSpacing = 2.8f;

  GUI_BS_RocketTrail();
  void Start(const SIM_Missile* followed);
  // The missile moved by d: places a puff every 2.8 units along its heading.
  void Advance(float d);
  void Draw(float e);
  int LivePuffs() const;

  const SIM_Missile* missile = nullptr;
  float launchX = 0.0f, launchY = 0.0f;  // tells a relaunched pooled missile apart
  float accumulator = 0.0f;
  bool inUse = false;
  std::array<SmokePuff, kPuffs> puffs;
  std::array<GVertex, kPuffs * 4> quads;
  int next = 0;
  float lastX = 0.0f, lastY = 0.0f;
  bool waitingForFirstPuff = false;
};

class GUI_BS_RocketTrailManager {
 public:
  static GUI_BS_RocketTrailManager& Instance();
  virtual ~GUI_BS_RocketTrailManager();
  GUI_BS_RocketTrail* GetFreeTrail();
  // Starts and advances a trail for every missile in flight; lets go of missiles gone.
  void FollowMissiles();
  void Draw();
  void Clear();
  int TrailsInUse() const;

  std::vector<std::unique_ptr<GUI_BS_RocketTrail>> trails;
  CLoadedTexture* texture = nullptr;
};

class GUI_BS_ShockWave : public GUI_BS_RenderObject {
 public:
  static constexpr int kPoolSize = 256;
  // A fixed pool: a full pool answers null and the wave is dropped.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* p) noexcept;
  static int LiveCount();
  static void Spawn(float radius, float durationMs, const std::string& textureName, float x, float y);
  GUI_BS_ShockWave(float radius, float durationMs, const std::string& textureName, float x, float y);
  void Draw() override;
  bool IsFinished() override { return !alive; }
  // One frame of e ms; false when nothing is drawn this frame.
  bool Step(float e);

  float clock = 0.0f;
  float radius = 0.0f;
  float duration = 0.0f;
  float x = 0.0f, y = 0.0f;
  QuadSprite sprite;
  float size = 0.0f;
  float rate = 0.0f;
  bool alive = true;
  bool started = false;
  float delay = 0.0f;
  float screenSize = 0.0f;
  float screenX = 0.0f, screenY = 0.0f;
  float alpha = 0.0f;
};
