#pragma once
// Sprays of small textured quads (sparks, dust, fire, puffs) in the battle world: tuning
// records read from data/particleconfigs, fixed pools of particles driven by one record,
// and named groups of up to eight pools that are kept after they finish and reused by
// name. Everything runs on battle time; a paused battle freezes them but still draws.
#include <cstdint>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/VertexBuffer.h"

class CLoadedTexture;

// One tuning record (section "config" of a data/particleconfigs/*.txt file).
class GUI_ParticleConfig {
 public:
  static constexpr int kMaxPool = 256;
  GUI_ParticleConfig();  // registers itself at the end of the config list
  virtual ~GUI_ParticleConfig();
  GUI_ParticleConfig(const GUI_ParticleConfig&) = delete;
  GUI_ParticleConfig& operator=(const GUI_ParticleConfig&) = delete;

  // Reads the record; false when the file could not be read (the record keeps defaults).
  static bool Read(GUI_ParticleConfig* config, const std::string& path);
  // Writes the editor's 21 keys; false (logged) when the file cannot be opened.
  static bool Write(const GUI_ParticleConfig* config, const std::string& path);
  // The particles one emitter needs at most (capped at 256).
  static int ComputePoolSize(const GUI_ParticleConfig& config);

  CLoadedTexture* texture = nullptr;
  std::string name;
  std::string textureName;
  std::string type;
  float MinXVelocity = 0, MaxXVelocity = 0, MinYVelocity = 0, MaxYVelocity = 0;
  float MinSize = 0, MaxSize = 0;
  float AlphaFalloff = 0, SizeFalloff = 0, SpeedFalloff = 0;
  float XScatter = 0, YScatter = 0;
  float ParticlesPerSecond = 0, Lifetime = 0;
  float MaxSpinSpeed = 0, MinSpinSpeed = 0;
  float InitialParticles = 0;
  int UVFrame = 0, UVFrameLast = 0, frameSpan = 0;
  int IsAngled = 0;
  float BiasScalar = 1.0f;
  int poolSize = 1;
  // 0 STANDARD, 1 BURN, -1 an unknown or empty Type (emitters of it are skipped).
  int blending = -1;
};

// The loaded records, in load order.
std::vector<GUI_ParticleConfig*>& ParticleConfigList();
bool ParticleConfigsLoaded();
// Clears, then reads every "data/particleconfigs/*.txt" (sorted, dot-names skipped).
void ParticleConfigsLoad();
void ParticleConfigsClear();
// The record named so (exact, case-sensitive); loads first when nothing is loaded. An
// unknown name is logged once and answers null: the emitter that asked is skipped.
GUI_ParticleConfig* FindParticleConfig(const std::string& name);

class GUI_ParticleEmmiter;

struct GUI_BaseParticle {
  // Moves and fades by one frame; false once dead.
  bool Step(float elapsedMs, float k);
  // Steps and places the quad; false when dead (nothing to queue).
  virtual bool Update(float elapsedMs, float k);
  virtual ~GUI_BaseParticle() = default;

  GUI_ParticleEmmiter* emitter = nullptr;
  bool alive = false;
  float vx = 0, vy = 0;
  float alphaFalloff = 0, sizeFalloff = 0, speedFalloff = 0;
  float spin = 0;
  float size = 0, alpha = 0;
  float x = 0, y = 0;
  GVertex* quad = nullptr;  // the four vertices reserved in the emitter
  float angle = 0, sinA = 0, cosA = 1;
  float age = 0;
  bool drawn = false;
};

class GUI_ParticleEmmiterBase {
 public:
  virtual ~GUI_ParticleEmmiterBase() = default;
};

class GUI_ParticleEmmiterGroup;

// A fixed pool of particles driven by one record.
class GUI_ParticleEmmiter : public GUI_ParticleEmmiterBase {
 public:
  GUI_ParticleEmmiter(const std::string& configName, float x, float y, float biasX, float biasY);
  ~GUI_ParticleEmmiter() override;
  GUI_ParticleEmmiter(const GUI_ParticleEmmiter&) = delete;
  GUI_ParticleEmmiter& operator=(const GUI_ParticleEmmiter&) = delete;

  // True when the record was found and its Type is known; a broken emitter stays inactive.
  bool Valid() const { return config != nullptr; }
  virtual void Draw();
  void UpdateHidden();
  void Restart(float x, float y, float biasX, float biasY);
  void Tick();
  void Emit();
  void SpawnInitial();
  void SpawnParticle(int slot);

  GUI_ParticleConfig* config = nullptr;
  float x = 0, y = 0;
  float rotation = 0;
  float scale = 1.0f;
  float alphaScale = 1.0f;
  GUI_ParticleEmmiterGroup* group = nullptr;
  float lifetimeClock = 0;
  bool active = false;
  std::vector<GUI_BaseParticle> particles;
  int highWater = 0;
  int poolSize = 0;
  std::vector<GVertex> quads;
  float accumulator = 0;
  int liveCount = 0;
  int blending = 0;  // 0 STANDARD, 1 BURN
  float rateScale = 1.0f;
  float biasX = 0, biasY = 0;
};

// Allocates an emitter; null (logged) when the record is unknown or its Type invalid.
GUI_ParticleEmmiter* NewParticleEmmiter(const std::string& configName, float x, float y, float biasX,
                                        float biasY);

// A named render object of up to eight emitters, kept for reuse by name once finished.
class GUI_ParticleEmmiterGroup : public GUI_BS_RenderObject {
 public:
  static constexpr int kSlots = 8;
  explicit GUI_ParticleEmmiterGroup(const std::string& name);
  ~GUI_ParticleEmmiterGroup() override;
  void Draw() override;
  bool IsFinished() override { return false; }
  void Restart(float x, float y, float biasX, float biasY);
  // To the end of the idle list, out of the effects manager (not deleted).
  void Retire();
  // Puts an emitter into the first empty slot; false (emitter deleted) when full or null.
  bool AddEmitter(GUI_ParticleEmmiter* emitter);

  GUI_ParticleEmmiter* emitters[kSlots] = {};
  std::string name;
  bool alive = true;
  float visibleRadius = 0;
  float x = 0, y = 0;
  bool inActiveList = false;
  bool inIdleList = false;
};

std::vector<GUI_ParticleEmmiterGroup*>& ActiveParticleGroups();
std::vector<GUI_ParticleEmmiterGroup*>& IdleParticleGroups();
// Groups that may exist at once, playing or finished: well above a big battle's peak
// (about 210 live explosion groups with 400 units fighting, about 2100 groups in all
// under two hundred fires and their bursts and explosions).
constexpr int kMaxParticleGroups = 4096;
// A finished group of that name restarted, or a new empty one (no emitters yet). With
// the pool full, the oldest finished group of another name is freed to make room; with
// every group playing, null: the request is dropped.
GUI_ParticleEmmiterGroup* ObtainParticleGroup(const std::string& name, float x, float y, float biasX,
                                              float biasY);
// Groups that exist now, playing or finished.
int ParticleGroupCount();
// Once a frame: groups that are no longer alive go to the idle list.
void ParticleGroupsCull();
// Empties both lists; idle groups (held by nothing else) are deleted.
void ParticleGroupsClearLists();
// The small-explosion tile counter lowered by a culled "small_explosion" group; the
// explosions own it (unset: nothing).
using SmallExplosionCullHook = void (*)(float x, float y);
void SetSmallExplosionCullHook(SmallExplosionCullHook hook);
