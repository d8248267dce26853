#include "effects/HeatEmitters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "battle/BeamAndFlame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "effects/EffectsCommon.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/Smoke.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "simdata/Options.h"

namespace {
constexpr float kPi = 3.14159265f;
const char* const kSuffix[HS_COUNT] = {"White", "Yellow", "Red", "Flames", "Soft", "Smoke"};
// A particle lives at least this long: a zero lifetime never divides by zero.
constexpr float kMinLifetime = 1.0f;
constexpr float kHandOverMs = 750.0f;

struct FlameJet {
  SIM_FlamethrowerComponent* weapon = nullptr;  // not owned; null once the burst ended
  std::unique_ptr<GUI_BS_Flamethrower> flame;
};

struct HeatGlobals {
  std::vector<GUI_BS_GroundEmitter*> groundEmitters;
  DistortionRegisterHook distortion = nullptr;
  DistortionRegisterHook distortionForget = nullptr;
  std::vector<FlameJet> jets;  // kFlameJets, built on first use
};
HeatGlobals& Globals() {
  static HeatGlobals g;
  static bool registered = (RegisterSingletonReset([] { g.jets.clear(); }), true);
  (void)registered;
  return g;
}

void FlameEnds(const SIM_FlamethrowerComponent& w, float* x0, float* y0) {
  w.MuzzlePosition(w.firedBarrel, x0, y0);
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void CellUV(int cell, GVertex* q) {
  cell = std::clamp(cell, 0, 63);
  const float cu = static_cast<float>(cell % 8) * 0.125f;
  const float cv = static_cast<float>(cell / 8) * 0.125f;
  q[0].u = cu, q[0].v = cv;
  q[1].u = cu + 0.125f, q[1].v = cv;
  q[2].u = cu, q[2].v = cv + 0.125f;
  q[3].u = cu + 0.125f, q[3].v = cv + 0.125f;
}

float EffectiveInterval(float interval) { return std::max(interval, kMinCreationInterval); }

// Where the stage images of the pass being drawn go.
struct HeatSink {
  CLoadedTexture* texture = nullptr;
  bool lightmap = false;
};
}  // namespace

// ---- Configurations ----

bool GUI_BS_HPConfig::Read(GUI_BS_HPConfig* c, const std::string& path) {
  if (!c) return false;
  SettingsFile s;
  const bool ok = s.Load("config", path);
  if (!ok) LogErrorF("Heat particle config %s could not be read", path.c_str());
  c->path = path;
  c->name = s.GetString("name");
  c->MinSize = s.GetFloat("MinSize", 0.0f);
  c->MaxSize = s.GetFloat("MaxSize", 0.0f);
  c->SpinSpeed = s.GetFloat("SpinSpeed", 0.0f);
  c->CreationInterval = s.GetFloat("CreationInterval", 0.0f);
  c->BaseSpeed = s.GetFloat("BaseSpeed", 0.0f);
  c->Lifetime = s.GetFloat("Lifetime", 0.0f);
  c->AlphaFalloff = s.GetFloat("AlphaFalloff", 0.0f);
  c->MinAngle = s.GetFloat("MinAngle", 0.0f);
  c->MaxAngle = s.GetFloat("MaxAngle", 0.0f);
  c->OscillationIntensity = s.GetFloat("OscillationIntensity", 0.0f);
  c->OscillationInterval = s.GetFloat("OscillationInterval", 0.0f);
  float sum = 0.0f;
  for (int i = 0; i < HS_COUNT; ++i) {
    const std::string suffix = kSuffix[i];
    c->duration[i] = std::max(0.0f, s.GetFloat("Duration_" + suffix, 0.0f));
    c->sizeGrowth[i] = s.GetFloat("SizeGrowth_" + suffix, 0.0f);
    c->speedFalloff[i] = s.GetFloat("Speed_Falloff_" + suffix, 0.0f);
    sum += c->duration[i];
  }
  // All durations zero would divide by zero: each look then takes a sixth of the life.
  for (float& d : c->duration) d = sum > 0.0f ? d / sum : 1.0f / HS_COUNT;
  if (c->CreationInterval <= 0.0f)
    LogErrorF("Heat particle config %s: CreationInterval %.4f treated as %.1f ms", path.c_str(),
              c->CreationInterval, kMinCreationInterval);
  return ok;
}

bool GUI_BS_HPConfig::Write(const GUI_BS_HPConfig& c, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wt");
  if (!f) {
    LogErrorF("Heat particle config %s could not be written", path.c_str());
    return false;
  }
  std::fprintf(f, "[config]\nname = %s\n", c.name.c_str());
  const std::pair<const char*, float> keys[] = {
      {"MinSize", c.MinSize},
      {"MaxSize", c.MaxSize},
      {"CreationInterval", c.CreationInterval},
      {"Lifetime", c.Lifetime},
      {"SpinSpeed", c.SpinSpeed},
      {"BaseSpeed", c.BaseSpeed},
      {"AlphaFalloff", c.AlphaFalloff},
      {"MinAngle", c.MinAngle},
      {"MaxAngle", c.MaxAngle},
      {"OscillationIntensity", c.OscillationIntensity},
      {"OscillationInterval", c.OscillationInterval},
  };
  for (const auto& k : keys) std::fprintf(f, "%s = %.4f\n", k.first, k.second);
  for (int i = 0; i < HS_COUNT; ++i) std::fprintf(f, "Duration_%s = %.4f\n", kSuffix[i], c.duration[i]);
  for (int i = 0; i < HS_COUNT; ++i) std::fprintf(f, "SizeGrowth_%s = %.4f\n", kSuffix[i], c.sizeGrowth[i]);
  for (int i = 0; i < HS_COUNT; ++i)
    std::fprintf(f, "Speed_Falloff_%s = %.4f\n", kSuffix[i], c.speedFalloff[i]);
  return std::fclose(f) == 0;
}

GUI_BS_HPConfigManager& GUI_BS_HPConfigManager::Instance() { return ProcessWide<GUI_BS_HPConfigManager>(); }

GUI_BS_HPConfigManager::GUI_BS_HPConfigManager() { Reload(); }
GUI_BS_HPConfigManager::~GUI_BS_HPConfigManager() = default;

void GUI_BS_HPConfigManager::Reload() {
  // Read in place: emitters and the muzzle-flash pool keep pointing at live records.
  for (const std::string& file : ListFiles("data/heatparticles/*.txt")) {
    const std::string path = "data/heatparticles/" + file;
    GUI_BS_HPConfig* c = nullptr;
    for (auto& existing : configs)
      if (existing->path == path) c = existing.get();
    if (!c) {
      configs.push_back(std::make_unique<GUI_BS_HPConfig>());
      c = configs.back().get();
    }
    GUI_BS_HPConfig::Read(c, path);
  }
  ++generation;
}

GUI_BS_HPConfig* GUI_BS_HPConfigManager::Find(const std::string& name) {
  for (auto& c : configs)
    if (c->name == name) return c.get();
  LogErrorF("GUI_BS_HeatParticle: Failed to find heat particle config [%s]", name.c_str());
  return nullptr;
}

GUI_BS_HPConfig* GUI_BS_HPConfigManager::FindByFile(const std::string& path) {
  for (auto& c : configs)
    if (c->path == path) return c.get();
  LogErrorF("GUI_BS_HeatParticle: Failed to find heat particle config [%s]", path.c_str());
  return nullptr;
}

// ---- Particles ----

void GUI_BS_HeatParticle::BindConfig(const GUI_BS_HPConfig* c) {
  config = c;
  fadeStart = c ? (EffectsRandomFloat() * 0.75f + 0.75f) * c->AlphaFalloff : 1.0f;
}

int GUI_BS_HeatParticle::StageCell(int s) const {
  switch (s) {
    case HS_WHITE:
      return 32;
    case HS_YELLOW:
      return 33;
    case HS_RED:
      return 34;
    case HS_FLAMES:
    case HS_SOFT:
      return flameCell;
    default:
      return smokeCell;
  }
}

void GUI_BS_HeatParticle::Start(float a, float sz, float dx, float dy, float life, float px, float py) {
  if (!config) return;
  age = 0.0f;
  alive = true;
  handedOver = false;
  heading = a;
  size = sz;
  driftX = dx;
  driftY = dy;
  lifetime = std::max(life, kMinLifetime);
  x = px;
  y = py;
  oscillationInterval = config->OscillationInterval;
  oscillationPhase = oscillationInterval > 0.0f ? EffectsRandomRange(0.0f, oscillationInterval) : 0.0f;
  oscillationTimer = 0;
  velocityX = std::sin(a) * config->BaseSpeed;
  velocityY = -std::cos(a) * config->BaseSpeed;
  if (oscillationInterval > 0.0f) {
    oscillationTimer = 1000;  // the wobble's first direction at once
    Wobble(0.0f);
  }
  stage = HS_WHITE;
  stageTimer = 0.0f;
  stageLength =
      std::max(config->duration[HS_WHITE] * lifetime + EffectsRandomRange(-30.0f, 30.0f), kMinLifetime);
  stageProgress = 0.0f;
  flameCell = EffectsRandomInt(4);
  smokeCell = 8 + EffectsRandomInt(12);
  spin = EffectsRandomRange(-config->SpinSpeed, config->SpinSpeed);
  visible = true;
  lifeAlpha = 1.0f;
}

void GUI_BS_HeatParticle::Wobble(float frameMs) {
  if (!config || oscillationInterval <= 0.0f) return;
  oscillationPhase += frameMs;
  oscillationTimer = static_cast<int>(static_cast<float>(oscillationTimer) + frameMs);
  if (oscillationTimer > 160) {
    oscillationTimer = 0;
    float deg = config->OscillationIntensity * 360.0f *
                    std::sin(2.0f * kPi * oscillationPhase / oscillationInterval) +
                heading * 180.0f / kPi;
    deg = std::fmod(deg, 360.0f);
    if (deg < 0.0f) deg += 360.0f;
    const int d = static_cast<int>(deg) % 360;
    velocityX = TableSin(d) * config->BaseSpeed;
    velocityY = -TableCos(d) * config->BaseSpeed;
  }
  if (oscillationPhase > oscillationInterval) oscillationPhase -= oscillationInterval;
}

bool GUI_BS_HeatParticle::Update(float frameMs) {
  if (!alive || !config) return false;
  const float p = age / lifetime;
  if (p >= 1.0f) alive = false;
  // A fade that starts at or after the end of life would divide by zero or brighten.
  lifeAlpha = fadeStart < 1.0f ? 1.0f - (p - fadeStart) / (1.0f - fadeStart) : 1.0f;
  visible = InMapView(x, y, size);
  Wobble(frameMs);
  size += config->sizeGrowth[stage] * frameMs;
  if (config->speedFalloff[stage] != 0.0f) {
    const float keep = 1.0f - config->speedFalloff[stage] * frameMs;
    velocityX *= keep;
    velocityY *= keep;
  }
  x += velocityX * frameMs;
  y += velocityY * frameMs;
  x += driftX * frameMs * p;
  y += driftY * frameMs * p;
  age += frameMs;
  stageTimer += frameMs;
  if (stageTimer > stageLength && stage < HS_SMOKE) {
    ++stage;
    stageLength =
        std::max(config->duration[stage] * lifetime + EffectsRandomRange(-30.0f, 30.0f), kMinLifetime);
    stageTimer = 0.0f;
  }
  if (visible) {
    stageProgress = Clamp01(stageTimer / stageLength);
    angle += spin * frameMs;
    angle = std::fmod(angle, 360.0f);
    if (angle < 0.0f) angle += 360.0f;
    const int d = static_cast<int>(angle) % 360;
    const float A = size * TableCos(d), B = size * TableSin(d);
    v[0].x = x - A + B, v[0].y = y - A - B;
    v[1].x = x + A + B, v[1].y = y - A + B;
    v[2].x = x - A - B, v[2].y = y + A - B;
    v[3].x = x + A - B, v[3].y = y + A + B;
  }
  return alive;
}

namespace {
void QueueStage(const GUI_BS_HeatParticle& p, int pass, int st, float weight, const HeatSink& sink) {
  const bool hot = st <= HS_FLAMES;
  if ((pass == 0) != hot) return;
  const float a = Clamp01(p.lifeAlpha * Clamp01(weight));
  if (a <= 0.0f) return;
  GVertex q[4];
  for (int i = 0; i < 4; ++i) {
    q[i] = p.v[i];
    q[i].colour = WhiteAlpha(a);
    q[i].z = 0.0f;
    q[i].rhw = 1.0f;
  }
  CellUV(p.StageCell(st), q);
  if (sink.lightmap)
    LightmapQueueAdditive(sink.texture, q, 4, true);
  else
    GetGlobalVertexBuffer().AddVertices(q, 4);
}

void DrawParticle(const GUI_BS_HeatParticle& p, int pass, float s, const HeatSink& sink) {
  if (!p.visible || !p.alive) return;
  const float pr = p.stageProgress;
  if (p.stage == HS_SMOKE) {
    QueueStage(p, pass, HS_SMOKE, pr < 0.3f ? s * (0.5f + pr / 0.3f * 0.5f) : s, sink);
  } else if (pr > 0.7f) {
    const float c = (pr - 0.7f) / 0.3f * 0.5f;
    QueueStage(p, pass, p.stage, s * (1.0f - c), sink);
    QueueStage(p, pass, p.stage + 1, s * c, sink);
  } else if (pr < 0.3f) {
    const float c = pr / 0.3f;
    if (p.stage > 0) QueueStage(p, pass, p.stage - 1, s * (1.0f - c) * 0.5f, sink);
    QueueStage(p, pass, p.stage, s * (0.5f + 0.5f * c), sink);
  } else {
    QueueStage(p, pass, p.stage, s, sink);
  }
}
}  // namespace

void GUI_BS_HeatParticle::Draw(int pass, float s) const {
  HeatSink sink;
  DrawParticle(*this, pass, s, sink);
}

void GUI_BS_HeatParticle::DrawToLightmap(CLoadedTexture* texture, float s) const {
  HeatSink sink{texture, true};
  DrawParticle(*this, 0, s, sink);
}

// ---- Emitters ----

GUI_BS_HeatEmitter::GUI_BS_HeatEmitter() { texture = FindOrLoadTexture("particles.dds"); }
GUI_BS_HeatEmitter::~GUI_BS_HeatEmitter() = default;

bool GUI_BS_HeatEmitter::SetConfig(const std::string& name) {
  config = GUI_BS_HPConfigManager::Instance().Find(name);
  for (GUI_BS_HeatParticle& p : particles) p.BindConfig(config);
  if (!config) {
    active = false;
    emitting = false;
  }
  return config != nullptr;
}

GUI_BS_HeatParticle& GUI_BS_HeatEmitter::NextParticle() {
  int pick = -1;
  for (int i = 0; i < kParticles; ++i)
    if (!particles[size_t(i)].alive) {
      pick = i;
      break;
    }
  if (pick < 0) {
    // Every particle burns: the oldest makes way.
    pick = 0;
    for (int i = 1; i < kParticles; ++i)
      if (particles[size_t(i)].age > particles[size_t(pick)].age) pick = i;
  }
  highestUsed = std::max(highestUsed, pick);
  return particles[size_t(pick)];
}

void GUI_BS_HeatEmitter::Update(float frameMs) {
  if (!active) return;
  if (emitting && config) Emit(frameMs);
  liveCount = 0;
  boundsLeft = 100000.0f, boundsTop = 100000.0f, boundsRight = -100.0f, boundsBottom = -100.0f;
  for (int i = 0; i <= highestUsed && i < kParticles; ++i) {
    GUI_BS_HeatParticle& p = particles[size_t(i)];
    if (!p.alive) continue;
    if (p.Update(frameMs)) {
      ++liveCount;
      boundsLeft = std::min(boundsLeft, p.x - p.size);
      boundsTop = std::min(boundsTop, p.y - p.size);
      boundsRight = std::max(boundsRight, p.x + p.size);
      boundsBottom = std::max(boundsBottom, p.y + p.size);
    }
  }
  if (liveCount == 0 && !emitting) active = false;
}

void GUI_BS_HeatEmitter::DrawPass(int pass) {
  if (!texture) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const bool ownTransform = !vb.transform;
  if (ownTransform) SetCameraTransform(GUI_BS_Map::Instance());
  BatchBegin(texture, pass == 0 ? 1 : 0);
  HeatSink screen;
  for (int i = 0; i <= highestUsed && i < kParticles; ++i)
    DrawParticle(particles[size_t(i)], pass, intensity, screen);
  if (pass == 0 && LightmapEnabled()) {
    HeatSink lm{texture, true};
    for (int i = 0; i <= highestUsed && i < kParticles; ++i)
      DrawParticle(particles[size_t(i)], 0, intensity, lm);
  }
  if (ownTransform) ClearCameraTransform();
}

void GUI_BS_HeatEmitter::Draw() {
  if (!active || liveCount <= 0) return;
  DrawPass(1);
  DrawPass(0);
}

void GUI_BS_HeatEmitter::Start(float x0, float y0, float x1, float y1) {
  (void)x0, (void)y0, (void)x1, (void)y1;
  age = 0.0f;
  active = config != nullptr;
  accumulator = 0.0f;
  emitting = config != nullptr;
  highestUsed = 0;
}

// ---- Flamethrower ----

GUI_BS_Flamethrower::GUI_BS_Flamethrower() {
  SetConfig("flamethrower");
  active = false;
  emitting = false;
}

void GUI_BS_Flamethrower::SetEnds(float ax, float ay, float bx, float by) {
  x0 = ax, y0 = ay, x1 = bx, y1 = by;
  length = std::hypot(bx - ax, by - ay);
  directionRad = std::atan2(bx - ax, -(by - ay));
  directionDeg = directionRad * 180.0f / kPi;
}

void GUI_BS_Flamethrower::StartFlame(float ax, float ay, float bx, float by) {
  Start(ax, ay, bx, by);
  SetEnds(ax, ay, bx, by);
  reachTime = config && config->BaseSpeed > 0.0f ? length / config->BaseSpeed : kMinLifetime;
}

void GUI_BS_Flamethrower::Draw() {
  const float frameMs = EffectsFrameMs();
  age += frameMs;
  if (active) Update(frameMs);
  GUI_BS_HeatEmitter::Draw();
}

void GUI_BS_Flamethrower::Emit(float frameMs) {
  accumulator += frameMs;
  const float interval = EffectiveInterval(config->CreationInterval);
  int budget = kParticles;
  while (accumulator > interval && budget-- > 0) {
    accumulator -= interval;
    const float r = Clamp01(age / 50.0f);
    const float along = EffectsRandomFloat() * length * r * 0.2f;
    const float sx = x0 + std::sin(directionRad) * along;
    const float sy = y0 - std::cos(directionRad) * along;
    const float size = EffectsRandomRange(config->MinSize, config->MaxSize);
    const float driftDir = directionRad + EffectsRandomRange(-kPi / 2.0f, kPi / 2.0f);
    const float drift = config->BaseSpeed / 8.0f;
    GUI_BS_HeatParticle& p = NextParticle();
    p.Start(directionRad, size, std::sin(driftDir) * drift, -std::cos(driftDir) * drift, reachTime, sx, sy);
  }
  if (budget <= 0) accumulator = 0.0f;
}

// ---- Burning ground ----

GUI_BS_GroundHeatEmitter::GUI_BS_GroundHeatEmitter(float r, float l, const std::string& configName, float cx,
                                                   float cy)
    : radius(r), life(l), centreX(cx), centreY(cy) {
  SetConfig(configName);
}

void GUI_BS_GroundHeatEmitter::Emit(float frameMs) {
  if (emissionRate <= 0.0f) return;
  accumulator += frameMs;
  const float q = life > 0.0f ? Clamp01(age / life) : 0.0f;
  const float interval = EffectiveInterval((5.0f * q + 1.0f) * config->CreationInterval / emissionRate);
  int budget = kParticles;
  while (accumulator > interval && budget-- > 0) {
    accumulator -= interval;
    const float headingDeg = EffectsRandomRange(config->MinAngle, config->MaxAngle);
    const float a = headingDeg * kPi / 180.0f;
    const float size = EffectsRandomRange(config->MinSize, config->MaxSize);
    const float wind = 310.0f * kPi / 180.0f;
    const float drift = config->BaseSpeed / 4.0f;
    const float dist = EffectsRandomFloat() * radius;
    GUI_BS_HeatParticle& p = NextParticle();
    p.Start(a, size, std::sin(wind) * drift, -std::cos(wind) * drift, config->Lifetime,
            centreX + std::sin(a) * dist, centreY - std::cos(a) * dist);
  }
  if (budget <= 0) accumulator = 0.0f;
}

void GUI_BS_GroundHeatEmitter::DrawForPass(int pass) {
  const float frameMs = EffectsFrameMs();
  if (pass == 0) {
    age += frameMs;
    if (life > -1.0f && age > life) emitting = false;
    if (active) Update(frameMs);
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    visible = liveCount > 0 && boundsRight >= map.viewLeft && boundsLeft <= map.viewRight &&
              boundsBottom >= map.viewTop && boundsTop <= map.viewBottom;
    if (visible) DrawPass(0);
    if (SIM_Options::Get().IsOn("DRIFTINGSMOKE")) {
      handOverTimer += frameMs;
      if (handOverTimer > kHandOverMs) {
        handOverTimer = 0.0f;
        if (EffectsFrameRatio() > 0.75f) {
          for (int i = 0; i <= highestUsed && i < kParticles; ++i) {
            GUI_BS_HeatParticle& p = particles[size_t(i)];
            if (p.alive && !p.handedOver && p.stage == HS_SMOKE && p.stageProgress > 0.2f &&
                p.stageProgress < 0.35f) {
              p.handedOver = true;
              GUI_BS_DriftingSmoke::Instance().AddFromParticle(p,
                                                               config ? config->sizeGrowth[HS_SMOKE] : 0.0f);
              break;
            }
          }
        }
      }
    }
  } else if (visible) {
    DrawPass(1);
  }
}

GUI_BS_GroundEmitter::GUI_BS_GroundEmitter(float radius, float life, const std::string& configName, float x,
                                           float y)
    : heat(std::make_unique<GUI_BS_GroundHeatEmitter>(radius, life, configName, x, y)) {
  layer = 2;
  extinguishable = EffectsRandomChance(0.5f);
  haze = NewParticleEmmiter("ground_emit_heathaze", x, y, 0.0f, 0.0f);
  Globals().groundEmitters.push_back(this);
}

GUI_BS_GroundEmitter::~GUI_BS_GroundEmitter() {
  // A fire that burns out is deleted in the frame it queued its haze: the distortion
  // pass must not reach it afterwards.
  if (Globals().distortionForget) Globals().distortionForget(this);
  delete haze;
  auto& l = Globals().groundEmitters;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

void GUI_BS_GroundEmitter::Draw() {
  if (!UpdateFade()) return;
  heat->intensity = fade;
  const int pass = GUI_BS_EffectsManager::Instance().currentLayer == 1 ? 1 : 0;
  heat->DrawForPass(pass);
  if (pass == 0) {
    // The haze only bends the picture: it runs hidden and the distortion draws it.
    if (haze) haze->UpdateHidden();
    if (Globals().distortion) Globals().distortion(this);
  }
}

bool GUI_BS_GroundEmitter::IsFinished() { return !heat->active; }

std::vector<GUI_BS_GroundEmitter*>& GroundEmitterList() { return Globals().groundEmitters; }

void GroundFireExtinguish(float radius, float x, float y) {
  for (GUI_BS_GroundEmitter* g : Globals().groundEmitters)
    if (g->extinguishable && std::hypot(g->heat->centreX - x, g->heat->centreY - y) < radius)
      g->heat->emitting = false;
}

void SetDistortionRegisterHook(DistortionRegisterHook hook) { Globals().distortion = hook; }
void SetDistortionForgetHook(DistortionRegisterHook hook) { Globals().distortionForget = hook; }

// ---- Flamethrower jets ----

void FlameBurstChanged(SIM_FlamethrowerComponent* weapon, bool burning) {
  if (!weapon) return;
  HeatGlobals& g = Globals();
  for (FlameJet& j : g.jets)
    if (j.weapon == weapon) {
      if (!burning) {
        j.weapon = nullptr;  // the jet burns out on its own
        j.flame->emitting = false;
      }
      return;
    }
  if (!burning) return;
  if (g.jets.empty()) {
    g.jets.resize(kFlameJets);
    for (FlameJet& j : g.jets) j.flame = std::make_unique<GUI_BS_Flamethrower>();
  }
  for (FlameJet& j : g.jets)
    if (!j.weapon && !j.flame->active) {
      if (!j.flame->config) return;  // no "flamethrower" config: nothing to draw
      float x0 = 0.0f, y0 = 0.0f;
      FlameEnds(*weapon, &x0, &y0);
      j.weapon = weapon;
      j.flame->StartFlame(x0, y0, weapon->aimX, weapon->aimY);
      return;
    }
}

void FlamethrowersDraw() {
  for (FlameJet& j : Globals().jets) {
    if (j.weapon) {
      float x0 = 0.0f, y0 = 0.0f;
      FlameEnds(*j.weapon, &x0, &y0);
      j.flame->SetEnds(x0, y0, j.weapon->aimX, j.weapon->aimY);
    }
    if (j.flame->active) j.flame->Draw();
  }
}

void FlamethrowersClear() {
  for (FlameJet& j : Globals().jets) {
    j.weapon = nullptr;
    j.flame->active = false;
    j.flame->emitting = false;
    for (GUI_BS_HeatParticle& p : j.flame->particles) p.alive = false;
  }
}
