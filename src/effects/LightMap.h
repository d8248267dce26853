#pragma once
// What lights a dark battle: the light-map manager (lighting mode, night vision with its
// flicker, timed light flashes, per-frame light sprites), the two fixed draw lists other
// drawables fill each frame, the queue of additive glow copies drawn into the light map
// in one go, and the pool of muzzle flashes (heat particles drawn on screen and into the
// light map).
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "effects/HeatEmitters.h"
#include "engine/Sprites.h"
#include "engine/VertexBuffer.h"

class SIM_Scenario;
class CLoadedTexture;

struct LightFlash {
  float x = 0, y = 0, radius = 0, age = 0;
  CTexturedSprite sprite;
};

struct LightSprite {
  float x = 0, y = 0;  // screen position, set by the owner every frame
  CTexturedSprite sprite;
  float radius = 0;
};
void LightSpriteInit(LightSprite* light, float radius);

class GUI_BS_LightmapManager {
 public:
  static constexpr int kMaxFlashes = 1024;
  static constexpr int kMaxLights = 2048;
  static GUI_BS_LightmapManager& Instance();
  GUI_BS_LightmapManager();
  virtual ~GUI_BS_LightmapManager();

  void ReadBattleLighting(const SIM_Scenario* scenario);
  void Render();
  // Ignored in an unlit battle, and once the fixed flash pool is full.
  void AddFlash(float x, float y, float radius);
  void AddLight(LightSprite* light);
  void Clear();
  void NightVisionUpdate(float elapsedMs);
  void NightVisionFlags();
  bool Active() const { return mode != 0; }

  uint32_t ambient = 0xFF004000u;
  CLoadedTexture* texture = nullptr;
  std::vector<LightFlash> flashes;  // fixed pool; live ones first (flashCount)
  int flashCount = 0;
  std::vector<LightSprite*> lights;  // capacity reserved once
  int mode = 0;
  int transitionTarget = 0;
  float transitionClock = 0, flickerClock = 0, flickerPeriod = 12.5f;
  bool nightVisionOverride = false;
  bool compositeWanted = false;
  // The scenario's light colour (ARGB) for DrawListAddLight.
  uint32_t lightColour = 0xFFFFFFFFu;
};

void NightVisionToggle();
void LightmapAddLight(LightSprite* light);
// A bullet or missile drawn this frame at the world point (x, y): one of the frame's light
// sprites is set up there (`strength` 0..1 its brightness) and handed to the light map.
// Nothing in an unlit battle. The sprites live until the light map has been rendered.
void LightmapAddProjectileLight(float x, float y, float heading, float radius, float strength);

// The fixed per-frame lists (2048 entries each; an add to a full list is dropped).
struct LightmapDrawLists {
  static constexpr int kEntries = 2048;
  struct Entry {
    int kind = 0;
    void* object = nullptr;
    bool inUse = false;
  };
  static LightmapDrawLists& Instance();
  void RenderWorldList(bool skipMuzzleFlashes);
  void RenderUnitList();
  Entry world[kEntries];
  int worldCount = 0;
  Entry unit[kEntries];
  int unitCount = 0;
};
void DrawListsReset();
// World kinds: 0 engine sprite, 1 nothing, 2 four-quad sprite, 3/4 an object with its own
// light-map draw (LightmapDrawable).
bool DrawListAdd(int kind, void* object);
bool DrawListAddOverlay(CTexturedSprite* sprite);
bool DrawListAddFaded(CTexturedSprite* sprite, float level);
bool DrawListAddLight(CTexturedSprite* sprite);
// Unit kind 1: a sprite whose damage marks glow.
bool DrawListAddDamageGlow(void* sprite);

// Objects of world kinds 3 and 4 draw themselves into the light map.
class LightmapDrawable {
 public:
  virtual ~LightmapDrawable() = default;
  virtual void DrawLightmap() = 0;
};
using DamageGlowDraw = void (*)(void* sprite);
void SetDamageGlowDraw(DamageGlowDraw draw);

// Additive glow copies for the light map, queued while emitters draw and drawn together
// at the light-map layer: one target switch a frame however many emitters burn. The
// vertices are in screen coordinates (the camera already applied) or, with `world`, in map
// coordinates drawn through the camera transform. A full queue is drawn early.
void LightmapQueueAdditive(CLoadedTexture* texture, const GVertex* vertices, int count, bool world);
void LightmapFlushQueued();
int LightmapQueuedVertices();

// Muzzle flashes: 1024 heat particles of "muzzleflash".
constexpr int kMuzzleFlashes = 1024;
void MuzzleFlashPoolInit();
void MuzzleFlashSpawn(int count, float x, float y, float angleDeg);
void MuzzleFlashDraw();
void MuzzleFlashLightmapPass();
int MuzzleFlashAlive();
GUI_BS_HeatParticle* MuzzleFlashSlots();
