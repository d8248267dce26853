#pragma once
// Three small world effects at fixed places in the frame: the smoke column that marks an
// incoming air strike, the drifting clouds seen when zoomed out, and the blast glare of
// large explosions (which can also light the light map).
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"

class CLoadedTexture;

class GUI_BS_AirStrikeTrailSprite {
 public:
  static constexpr int kPoolSize = 270;
  static constexpr int kBurst = 90;
  static constexpr float kLifeMs = 800.0f;

  virtual ~GUI_BS_AirStrikeTrailSprite() = default;
  // Updates and queues the sprite.
  virtual void Update();
  void Start(float x, float y, float t);

  static void PoolInit();
  static int SpawnBurst(float x, float y);
  static void DrawAll();

  GUI_BS_3DWorldObject world;
  bool active = false;
  float elapsed = 0.0f;
  CTexturedSprite quad;
  float size = 32.0f;
  float alpha = 0.0f;
  float delay = 0.0f;
  bool waiting = false;
};

struct GUI_BS_AirStrikeTrailPool {
  static GUI_BS_AirStrikeTrailPool& Instance();
  GUI_BS_AirStrikeTrailPool();
  int highestUsed = -1;
  std::array<GUI_BS_AirStrikeTrailSprite, GUI_BS_AirStrikeTrailSprite::kPoolSize> sprites;
  CLoadedTexture* texture = nullptr;
};

struct GUI_BS_Cloud {
  void Update(float a, float frameMs);
  GUI_BS_3DWorldObject world;
  float width = 0.0f, height = 0.0f;
  CTexturedSprite quad;
  float homeX = 0.0f, homeY = 0.0f;
  float driftX = 0.0f, driftY = 0.0f;
};

class GUI_BS_Atmosphere {
 public:
  static GUI_BS_Atmosphere& Instance();
  virtual ~GUI_BS_Atmosphere();
  void Init();
  void Draw();
  void Clear();

  CLoadedTexture* texture = nullptr;
  std::vector<std::unique_ptr<GUI_BS_Cloud>> clouds;
  float maxAlpha = 0.0f;
};

class GUI_BS_BlastGlare : public GUI_BS_RenderObject {
 public:
  static constexpr int kPoolSize = 1024;
  // A fixed pool: a full pool answers null and the glare is dropped.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* p) noexcept;
  static int LiveCount();
  // variant 0 draws to the screen (and the light map); 1 lights the light map only.
  static void Spawn(float size, float durationMs, int variant, float x, float y);
  GUI_BS_BlastGlare(float size, float durationMs, bool lightMapOnly, float x, float y);
  void Draw() override;
  bool IsFinished() override { return !alive; }
  // One frame of e ms: size and alpha; false once the glare has ended.
  bool Step(float e);

  float x = 0.0f, y = 0.0f;
  float maxSize = 0.0f;
  float duration = 0.0f;
  QuadSprite sprite;
  float brightness = 1.0f;
  float flickerTimer = 0.0f;
  bool alive = true;
  bool lightMapOnly = false;
  bool flicker = true;
  float elapsed = 0.0f;
  float shownSize = 0.0f;
  int shownAlpha = 0;
};
