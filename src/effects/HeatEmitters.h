#pragma once
// Fire drawn with heat particles: each particle passes through six looks (white-hot,
// yellow, red, flames, soft glow, smoke), cross-fading as it ages, moving, wobbling,
// spinning and growing. Hot looks are drawn additively and again into the light map;
// smoke with normal blending. An emitter owns 512 particles and one configuration from
// data/heatparticles. The flamethrower jet, burning ground and explosion plumes derive.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/VertexBuffer.h"

class CLoadedTexture;
class GUI_ParticleEmmiter;

enum HeatStage { HS_WHITE = 0, HS_YELLOW, HS_RED, HS_FLAMES, HS_SOFT, HS_SMOKE, HS_COUNT };

struct GUI_BS_HPConfig {
  std::string name;
  float MinSize = 0, MaxSize = 0, SpinSpeed = 0, CreationInterval = 0, BaseSpeed = 0, Lifetime = 0;
  float AlphaFalloff = 0, MinAngle = 0, MaxAngle = 0, OscillationIntensity = 0, OscillationInterval = 0;
  float duration[HS_COUNT] = {};  // fractions of the life after reading
  float sizeGrowth[HS_COUNT] = {};
  float speedFalloff[HS_COUNT] = {};
  std::string path;

  // Reads section "config"; durations normalised (all zero: equal sixths).
  static bool Read(GUI_BS_HPConfig* config, const std::string& path);
  static bool Write(const GUI_BS_HPConfig& config, const std::string& path);
};

// Smallest wait between two emissions: a zero or negative interval never spins a loop.
constexpr float kMinCreationInterval = 1.0f;

class GUI_BS_HPConfigManager {
 public:
  static GUI_BS_HPConfigManager& Instance();
  GUI_BS_HPConfigManager();
  virtual ~GUI_BS_HPConfigManager();
  void Reload();
  // Logged "Failed to find heat particle config [%s]" and null when missing.
  GUI_BS_HPConfig* Find(const std::string& name);
  GUI_BS_HPConfig* FindByFile(const std::string& path);
  std::vector<std::unique_ptr<GUI_BS_HPConfig>> configs;
  // Bumped by every reload: holders of a configuration look it up again.
  int generation = 0;
};

struct GUI_BS_HeatParticle {
  // Starts the particle (heading in radians).
  void Start(float heading, float size, float driftX, float driftY, float lifetime, float x, float y);
  // One frame; false once dead.
  bool Update(float frameMs);
  // Queues the stage images that belong to the pass (0 hot, 1 smoke) at strength s.
  void Draw(int pass, float s) const;
  // The hot pass again, queued as additive copies for the light map.
  void DrawToLightmap(CLoadedTexture* texture, float s) const;
  void Wobble(float frameMs);
  int StageCell(int stage) const;
  void BindConfig(const GUI_BS_HPConfig* c);

  bool alive = false;
  float x = 0, y = 0, size = 0, heading = 0;
  float velocityX = 0, velocityY = 0, driftX = 0, driftY = 0;
  float age = 0, lifetime = 1;
  int stage = 0;
  float stageTimer = 0, stageLength = 1, stageProgress = 0;
  float oscillationPhase = 0, oscillationInterval = 0;
  int oscillationTimer = 0;
  float spin = 0, angle = 0;
  bool visible = false;
  float lifeAlpha = 1;
  float fadeStart = 0;
  int flameCell = 0, smokeCell = 8;
  bool handedOver = false;
  const GUI_BS_HPConfig* config = nullptr;
  GVertex v[4];
};

class GUI_BS_HeatEmitter {
 public:
  static constexpr int kParticles = 512;
  GUI_BS_HeatEmitter();
  virtual ~GUI_BS_HeatEmitter();
  virtual void Draw();
  virtual void Update(float frameMs);
  virtual void Emit(float frameMs) { (void)frameMs; }

  // False (logged) when the configuration is missing; the emitter then stays inactive.
  bool SetConfig(const std::string& name);
  // The particle to emit into: the first dead one, else the oldest.
  GUI_BS_HeatParticle& NextParticle();
  // The passes: 0 hot (additive; also into the light map when lit), 1 smoke.
  void DrawPass(int pass);
  void Start(float x0, float y0, float x1, float y1);

  std::array<GUI_BS_HeatParticle, kParticles> particles;
  int highestUsed = 0;
  CLoadedTexture* texture = nullptr;
  bool active = true;
  const GUI_BS_HPConfig* config = nullptr;
  bool emitting = true;
  int liveCount = 0;
  float boundsLeft = 100000, boundsTop = 100000, boundsRight = -100, boundsBottom = -100;
  float intensity = 1.0f;
  bool visible = false;
  float age = 0;
  float accumulator = 0;
};

class GUI_BS_Flamethrower : public GUI_BS_HeatEmitter {
 public:
  GUI_BS_Flamethrower();
  void SetEnds(float x0, float y0, float x1, float y1);
  void StartFlame(float x0, float y0, float x1, float y1);
  void Draw() override;
  void Emit(float frameMs) override;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0, length = 0, directionDeg = 0, directionRad = 0, reachTime = 1;
};

class GUI_BS_GroundHeatEmitter : public GUI_BS_HeatEmitter {
 public:
  GUI_BS_GroundHeatEmitter(float radius, float life, const std::string& config, float cx, float cy);
  void Emit(float frameMs) override;
  // The owner's pass: layer 0 advances and draws the hot pass; layer 1 the smoke.
  void DrawForPass(int layer);
  float radius = 0, life = -1, centreX = 0, centreY = 0;
  float emissionRate = 1.0f;
  float handOverTimer = 0;
};

class GUI_BS_GroundEmitter : public GUI_BS_RenderObject {
 public:
  GUI_BS_GroundEmitter(float radius, float life, const std::string& config, float x, float y);
  ~GUI_BS_GroundEmitter() override;
  void Draw() override;
  bool IsFinished() override;
  std::unique_ptr<GUI_BS_GroundHeatEmitter> heat;
  bool extinguishable = false;
  GUI_ParticleEmmiter* haze = nullptr;  // owned
};

// The flames of the battle's flamethrowers: a fixed set of jets handed to weapons while
// they burn (a full set leaves a burst unseen); a jet whose burst ended burns out.
class SIM_FlamethrowerComponent;
constexpr int kFlameJets = 32;
void FlameBurstChanged(SIM_FlamethrowerComponent* weapon, bool burning);
// Once a frame: each burning jet follows its weapon's muzzle and aim, then draws.
void FlamethrowersDraw();
void FlamethrowersClear();

std::vector<GUI_BS_GroundEmitter*>& GroundEmitterList();
void GroundFireExtinguish(float radius, float x, float y);

// The distortion manager's stand-in takes burning ground that wants heat haze this frame.
using DistortionRegisterHook = void (*)(GUI_BS_RenderObject* object);
void SetDistortionRegisterHook(DistortionRegisterHook hook);
// Called as a queued object is deleted, so the distortion pass lets go of it.
void SetDistortionForgetHook(DistortionRegisterHook hook);
// The battle's frame time in ms (0 while paused or without a battle).
float EffectsFrameMs();
// The battle's frame-rate ratio (1 without a battle; tests pin it).
float EffectsFrameRatio();
