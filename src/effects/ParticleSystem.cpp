#include "effects/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "effects/EffectsCommon.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"

namespace {
constexpr float kFrameStepMs = 16.0f;
constexpr float kFadeInMs = 100.0f;

struct ParticleLists {
  std::vector<GUI_ParticleConfig*> configs;
  bool loaded = false;
  std::vector<std::string> reportedMissing;  // each unknown name is logged once
  std::vector<GUI_ParticleEmmiterGroup*> active;
  std::vector<GUI_ParticleEmmiterGroup*> idle;
  int groupCount = 0;  // every group that exists, playing or idle
  SmallExplosionCullHook cullHook = nullptr;
};

ParticleLists& Lists() {
  static ParticleLists lists;
  static bool registered = (RegisterSingletonReset([] {
                              ParticleGroupsClearLists();
                              ParticleConfigsClear();
                              lists.reportedMissing.clear();
                            }),
                            true);
  (void)registered;
  return lists;
}

// Integers read like C atoi over the first 63 characters.
int ReadInt(const SettingsFile& s, const char* key) {
  std::string v = s.GetString(key);
  if (v.size() > 63) v.resize(63);
  return std::atoi(v.c_str());
}

void Unlink(std::vector<GUI_ParticleEmmiterGroup*>& list, GUI_ParticleEmmiterGroup* g) {
  list.erase(std::remove(list.begin(), list.end(), g), list.end());
}

// Corner placement of one particle quad around (x, y), rotated.
void PlaceParticleQuad(GVertex* q, float x, float y, float s, float sinA, float cosA, uint32_t colour) {
  const float A = s * cosA;
  const float B = s * sinA;
  q[0].x = x - A + B;
  q[0].y = y - A - B;
  q[1].x = x + A + B;
  q[1].y = y - A + B;
  q[2].x = x - A - B;
  q[2].y = y + A - B;
  q[3].x = x + A - B;
  q[3].y = y + A + B;
  for (int i = 0; i < 4; ++i) q[i].colour = colour;
}
}  // namespace

// ---- Configurations ----

GUI_ParticleConfig::GUI_ParticleConfig() { Lists().configs.push_back(this); }

GUI_ParticleConfig::~GUI_ParticleConfig() {
  auto& l = Lists().configs;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

std::vector<GUI_ParticleConfig*>& ParticleConfigList() { return Lists().configs; }
bool ParticleConfigsLoaded() { return Lists().loaded; }

int GUI_ParticleConfig::ComputePoolSize(const GUI_ParticleConfig& c) {
  const int initial = static_cast<int>(c.InitialParticles);
  double pool = 0.0;
  if (c.Lifetime > -1.0f) {
    pool = initial + 1.0 + std::trunc(static_cast<double>(c.Lifetime) * c.ParticlesPerSecond / 1000.0);
  } else {
    // Endless emission: estimate how long one particle lives.
    float t = 0.0f, alpha = 1.0f, size = c.MaxSize;
    while (t < 10000.0f) {
      alpha -= c.AlphaFalloff;
      size -= c.SizeFalloff;
      t += 12.0f;
      if (alpha < 0.0f || size < 0.5f) break;
    }
    pool = std::trunc(t / 1000.0 * c.ParticlesPerSecond + initial) + 1.0;
  }
  if (!(pool >= 1.0)) pool = 1.0;
  return static_cast<int>(std::min(pool, static_cast<double>(kMaxPool)));
}

bool GUI_ParticleConfig::Read(GUI_ParticleConfig* c, const std::string& path) {
  if (!c) return false;
  SettingsFile s;
  const bool ok = s.Load("config", path);
  if (!ok) LogErrorF("Particle config %s could not be read", path.c_str());
  c->name = s.GetString("Name");
  c->textureName = s.GetString("TextureName");
  c->MinXVelocity = s.GetFloat("MinXVelocity", 0.0f);
  c->MaxXVelocity = s.GetFloat("MaxXVelocity", 0.0f);
  c->MinYVelocity = s.GetFloat("MinYVelocity", 0.0f);
  c->MaxYVelocity = s.GetFloat("MaxYVelocity", 0.0f);
  c->MinSize = s.GetFloat("MinSize", 0.0f);
  c->MaxSize = s.GetFloat("MaxSize", 0.0f);
  c->AlphaFalloff = s.GetFloat("AlphaFalloff", 0.0f);
  c->SizeFalloff = s.GetFloat("SizeFalloff", 0.0f);
  c->SpeedFalloff = s.GetFloat("SpeedFalloff", 0.0f);
  c->XScatter = s.GetFloat("XScatter", 0.0f);
  c->YScatter = s.GetFloat("YScatter", 0.0f);
  c->ParticlesPerSecond = s.GetFloat("ParticlesPerSecond", 0.0f);
  c->InitialParticles = s.GetFloat("InitialParticles", 0.0f);
  c->Lifetime = s.GetFloat("Lifetime", 0.0f);
  c->type = s.GetString("Type");
  c->UVFrame = ReadInt(s, "UVFrame");
  c->UVFrameLast = ReadInt(s, "UVFrameLast");
  c->MinSpinSpeed = s.GetFloat("MinSpinSpeed", 0.0f);
  c->MaxSpinSpeed = s.GetFloat("MaxSpinSpeed", 0.0f);
  c->BiasScalar = s.GetFloat("BiasScalar", 1.0f);
  c->IsAngled = ReadInt(s, "IsAngled") != 0 ? 1 : 0;
  // The sheet has 64 cells: a frame outside it would sample beyond the texture.
  c->UVFrame = std::clamp(c->UVFrame, 0, 63);
  c->UVFrameLast = std::clamp(c->UVFrameLast, 0, 63);
  c->frameSpan = std::max(0, c->UVFrameLast - c->UVFrame);
  if (c->type.empty()) {
    Assert(false, __FILE__, __LINE__, "particle config has an empty Type");
    LogErrorF("Particle config %s has no Type", path.c_str());
  }
  c->blending = c->type == "BURN" ? 1 : c->type == "STANDARD" ? 0 : -1;
  c->texture = FindOrLoadTexture("particles.dds");
  c->poolSize = ComputePoolSize(*c);
  return ok;
}

bool GUI_ParticleConfig::Write(const GUI_ParticleConfig* c, const std::string& path) {
  if (!c) return false;
  FILE* f = std::fopen(path.c_str(), "wt");
  if (!f) {
    Assert(false, __FILE__, __LINE__, "particle config could not be opened for writing");
    LogErrorF("Particle config %s could not be written", path.c_str());
    return false;
  }
  std::fprintf(f, "[config]\n");
  std::fprintf(f, "Name = %s\n", c->name.c_str());
  std::fprintf(f, "TextureName = %s\n", c->textureName.c_str());
  std::fprintf(f, "MinXVelocity = %.3f\n", c->MinXVelocity);
  std::fprintf(f, "MaxXVelocity = %.3f\n", c->MaxXVelocity);
  std::fprintf(f, "MinYVelocity = %.3f\n", c->MinYVelocity);
  std::fprintf(f, "MaxYVelocity = %.3f\n", c->MaxYVelocity);
  std::fprintf(f, "AlphaFalloff = %.3f\n", c->AlphaFalloff);
  std::fprintf(f, "SizeFalloff = %.3f\n", c->SizeFalloff);
  std::fprintf(f, "SpeedFalloff = %.3f\n", c->SpeedFalloff);
  std::fprintf(f, "XScatter = %.3f\n", c->XScatter);
  std::fprintf(f, "YScatter = %.3f\n", c->YScatter);
  std::fprintf(f, "MinSize = %.3f\n", c->MinSize);
  std::fprintf(f, "MaxSize = %.3f\n", c->MaxSize);
  std::fprintf(f, "ParticlesPerSecond = %.3f\n", c->ParticlesPerSecond);
  std::fprintf(f, "InitialParticles = %d\n", static_cast<int>(c->InitialParticles));
  std::fprintf(f, "Lifetime = %.3f\n", c->Lifetime);
  std::fprintf(f, "MinSpinSpeed = %.3f\n", c->MinSpinSpeed);
  std::fprintf(f, "MaxSpinSpeed = %.3f\n", c->MaxSpinSpeed);
  std::fprintf(f, "Type = %s\n", c->type.c_str());
  std::fprintf(f, "UVFrame = %d\n", c->UVFrame);
  std::fprintf(f, "UVFrameLast = %d\n", c->UVFrameLast);
  return std::fclose(f) == 0;
}

void ParticleConfigsClear() {
  ParticleLists& l = Lists();
  // Playing groups stop for good: their emitters would point at deleted records.
  for (GUI_ParticleEmmiterGroup* g : l.active)
    for (GUI_ParticleEmmiter* e : g->emitters)
      if (e) {
        e->config = nullptr;
        e->active = false;
      }
  // Idle groups hold emitters that point at the records: they go first.
  ParticleGroupsClearLists();
  while (!l.configs.empty()) delete l.configs.back();
  l.loaded = false;
}

void ParticleConfigsLoad() {
  ParticleConfigsClear();
  ParticleLists& l = Lists();
  for (const std::string& file : ListFiles("data/particleconfigs/*.txt")) {
    auto* c = new GUI_ParticleConfig();
    GUI_ParticleConfig::Read(c, "data/particleconfigs/" + file);
  }
  l.loaded = true;
  DebugLogF("Particle configurations loaded: %d", static_cast<int>(l.configs.size()));
}

GUI_ParticleConfig* FindParticleConfig(const std::string& name) {
  ParticleLists& l = Lists();
  if (!l.loaded) ParticleConfigsLoad();
  for (GUI_ParticleConfig* c : l.configs)
    if (c->name == name) return c;
  // Content never ends the game: the emitter that asked is skipped.
  if (std::find(l.reportedMissing.begin(), l.reportedMissing.end(), name) == l.reportedMissing.end()) {
    l.reportedMissing.push_back(name);
    LogErrorF("Particle config not found: %s", name.c_str());
  }
  return nullptr;
}

// ---- Particles ----

bool GUI_BaseParticle::Step(float elapsedMs, float k) {
  age += elapsedMs;
  if (age > kFadeInMs) {
    alpha -= alphaFalloff * k;
    size -= sizeFalloff * k;
    if (alpha <= 0.0f || size < 0.5f) {
      alive = false;
      return false;
    }
  }
  x += vx * k;
  y += vy * k;
  if (speedFalloff != 0.0f) {
    vx *= 1.0f - speedFalloff * k;
    vy *= 1.0f - speedFalloff * k;
  }
  return true;
}

bool GUI_BaseParticle::Update(float elapsedMs, float k) {
  drawn = false;
  if (!alive) return false;
  if (!Step(elapsedMs, k)) return false;
  float a = alpha, s = size;
  if (age < kFadeInMs) {
    a *= age / kFadeInMs;
    s *= age / kFadeInMs;
  }
  if (spin != 0.0f) {
    angle += spin * elapsedMs;
    if (angle >= 360.0f) angle -= 360.0f;
    if (angle < 0.0f) angle += 360.0f;
    const int deg = static_cast<int>(angle);
    sinA = TableSin(deg);
    cosA = TableCos(deg);
  }
  const float scaled = a * (emitter ? emitter->alphaScale : 1.0f);
  const uint32_t alphaByte = scaled > 0.0f ? static_cast<uint32_t>(std::min(scaled, 1.0f) * 255.0f) : 0u;
  PlaceParticleQuad(quad, x, y, s, sinA, cosA, (alphaByte << 24) | 0x00FFFFFFu);
  drawn = true;
  return true;
}

// ---- Emitters ----

GUI_ParticleEmmiter::GUI_ParticleEmmiter(const std::string& configName, float x_, float y_, float bx,
                                         float by)
    : x(x_), y(y_), active(true), biasX(bx), biasY(by) {
  config = FindParticleConfig(configName);
  if (config && config->blending < 0) {
    LogErrorF("Particle config %s has an invalid particle type [%s]", configName.c_str(),
              config->type.c_str());
    config = nullptr;
  }
  if (!config) {
    active = false;
    return;
  }
  poolSize = std::min(config->poolSize, GUI_ParticleConfig::kMaxPool);
  particles.resize(static_cast<size_t>(poolSize));
  quads.resize(static_cast<size_t>(poolSize) * 4);
  for (int i = 0; i < poolSize; ++i) {
    particles[size_t(i)].emitter = this;
    particles[size_t(i)].quad = &quads[size_t(i) * 4];
  }
  blending = config->blending;
  SpawnInitial();
}

GUI_ParticleEmmiter::~GUI_ParticleEmmiter() = default;

GUI_ParticleEmmiter* NewParticleEmmiter(const std::string& configName, float x, float y, float biasX,
                                        float biasY) {
  auto* e = new GUI_ParticleEmmiter(configName, x, y, biasX, biasY);
  if (!e->Valid()) {
    delete e;
    return nullptr;
  }
  return e;
}

void GUI_ParticleEmmiter::SpawnInitial() {
  if (!config) return;
  const int n = std::min(static_cast<int>(config->InitialParticles), poolSize);
  for (int i = 0; i < n; ++i) SpawnParticle(i);
}

void GUI_ParticleEmmiter::SpawnParticle(int slot) {
  if (!config || slot < 0 || slot >= poolSize) return;
  const GUI_ParticleConfig& c = *config;
  GUI_BaseParticle& p = particles[size_t(slot)];
  const float px = x + EffectsRandomRange(-c.XScatter * scale, c.XScatter * scale);
  const float py = y + EffectsRandomRange(-c.YScatter * scale, c.YScatter * scale);
  const float size = EffectsRandomRange(c.MinSize * scale, c.MaxSize * scale);
  p.alphaFalloff = c.AlphaFalloff;
  p.sizeFalloff = c.SizeFalloff;
  p.speedFalloff = c.SpeedFalloff;
  p.x = px;
  p.y = py;
  p.size = size;
  p.alpha = 1.0f;
  p.alive = true;
  p.age = 0.0f;
  p.drawn = false;
  int f = c.UVFrame;
  if (c.frameSpan != 0) f += EffectsRand() & c.frameSpan;
  f = std::clamp(f, 0, 63);
  const float cu = static_cast<float>(f % 8) * 0.125f;
  const float cv = static_cast<float>(f / 8) * 0.125f;
  GVertex* q = p.quad;
  q[0].u = cu, q[0].v = cv;
  q[1].u = cu + 0.125f, q[1].v = cv;
  q[2].u = cu, q[2].v = cv + 0.125f;
  q[3].u = cu + 0.125f, q[3].v = cv + 0.125f;
  for (int i = 0; i < 4; ++i) {
    q[i].colour = 0x00FFFFFFu;
    q[i].z = 0.0f;
    q[i].rhw = 1.0f;
  }
  p.angle = EffectsRandomRange(0.0f, 360.0f);
  const float rad = p.angle * 3.14159265f / 180.0f;
  p.sinA = std::sin(rad);
  p.cosA = std::cos(rad);
  float vx, vy;
  if (c.IsAngled) {
    const float speed = EffectsRandomRange(c.MinXVelocity, c.MaxXVelocity);
    vx = p.sinA * speed;
    vy = -p.cosA * speed;
  } else {
    vx = EffectsRandomRange(c.MinXVelocity, c.MaxXVelocity);
    vy = EffectsRandomRange(c.MinYVelocity, c.MaxYVelocity);
  }
  vx *= scale;
  vy *= scale;
  if (rotation != 0.0f) {
    const float r = rotation * 3.14159265f / 180.0f;
    const float tx = vx * std::cos(r) - vy * std::sin(r);
    const float ty = vx * std::sin(r) + vy * std::cos(r);
    vx = tx;
    vy = ty;
  }
  p.spin = (c.MinSpinSpeed != 0.0f || c.MaxSpinSpeed != 0.0f)
               ? EffectsRandomRange(c.MinSpinSpeed, c.MaxSpinSpeed)
               : 0.0f;
  ++liveCount;
  highWater = std::max(highWater, slot + 1);
  if (!c.IsAngled && (biasX != 0.0f || biasY != 0.0f)) {
    const float s = std::sqrt(vx * vx + vy * vy);
    vx += s * c.BiasScalar * biasX;
    vy += s * c.BiasScalar * biasY;
  }
  p.vx = vx;
  p.vy = vy;
}

void GUI_ParticleEmmiter::Draw() {
  if (!active || !config) return;
  const float elapsed = EffectsFrameMs();
  const float k = elapsed / kFrameStepMs;
  BatchBegin(config->texture, blending == 1 ? 1 : 0);
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  // A group sets the camera once for all its emitters; a lone emitter sets its own.
  const bool ownTransform = !vb.transform;
  if (ownTransform) SetCameraTransform(GUI_BS_Map::Instance());
  liveCount = 0;
  for (int i = 0; i < highWater; ++i) {
    GUI_BaseParticle& p = particles[size_t(i)];
    if (p.Update(elapsed, k)) {
      ++liveCount;
      vb.AddVertices(p.quad, 4);
    }
  }
  // Burning particles glow in the light map too: their quads join the frame's queue of
  // additive copies instead of a target switch per emitter.
  if (blending == 1 && LightmapEnabled()) {
    for (int i = 0; i < highWater; ++i) {
      const GUI_BaseParticle& p = particles[size_t(i)];
      if (p.drawn) LightmapQueueAdditive(config->texture, p.quad, 4, true);
    }
  }
  if (ownTransform) ClearCameraTransform();
  Tick();
}

void GUI_ParticleEmmiter::UpdateHidden() {
  if (!active || !config) return;
  const float elapsed = EffectsFrameMs();
  const float k = elapsed / kFrameStepMs;
  liveCount = 0;
  for (int i = 0; i < highWater; ++i) {
    GUI_BaseParticle& p = particles[size_t(i)];
    p.drawn = false;
    if (p.alive && p.Step(elapsed, k)) ++liveCount;
  }
  Tick();
}

void GUI_ParticleEmmiter::Tick() {
  if (!config) return;
  if (config->Lifetime > 0.0f) {
    lifetimeClock += EffectsFrameMs();
    if (lifetimeClock < config->Lifetime) Emit();
  } else {
    Emit();
  }
  if (liveCount <= 0 && config->Lifetime >= 0.0f) {
    active = false;
    highWater = 0;
  }
}

void GUI_ParticleEmmiter::Emit() {
  if (!config) return;
  accumulator += EffectsFrameMs();
  const int n = static_cast<int>(config->ParticlesPerSecond * rateScale * accumulator / 1000.0f);
  if (n <= 0) return;
  accumulator = 0.0f;
  int slot = 0;
  for (int i = 0; i < n; ++i) {
    while (slot < poolSize && particles[size_t(slot)].alive) ++slot;
    if (slot >= poolSize) break;  // a full pool drops the rest
    SpawnParticle(slot);
  }
}

void GUI_ParticleEmmiter::Restart(float x_, float y_, float bx, float by) {
  lifetimeClock = 0.0f;
  x = x_;
  y = y_;
  biasX = bx;
  biasY = by;
  rateScale = 1.0f;
  alphaScale = 1.0f;
  active = config != nullptr;
  highWater = 0;
  for (GUI_BaseParticle& p : particles) p.alive = false;
  liveCount = 0;
  SpawnInitial();
  accumulator = 0.0f;
}

// ---- Groups ----

GUI_ParticleEmmiterGroup::GUI_ParticleEmmiterGroup(const std::string& n) : name(n) {
  ++Lists().groupCount;
  layer = 1;
  fade = 1.0f;
  Lists().active.push_back(this);
  inActiveList = true;
}

GUI_ParticleEmmiterGroup::~GUI_ParticleEmmiterGroup() {
  for (GUI_ParticleEmmiter*& e : emitters) {
    delete e;
    e = nullptr;
  }
  ParticleLists& l = Lists();
  if (inActiveList) Unlink(l.active, this);
  if (inIdleList) Unlink(l.idle, this);
  --l.groupCount;
}

bool GUI_ParticleEmmiterGroup::AddEmitter(GUI_ParticleEmmiter* e) {
  if (!e) return false;
  for (GUI_ParticleEmmiter*& slot : emitters)
    if (!slot) {
      slot = e;
      e->group = this;
      return true;
    }
  delete e;
  return false;
}

void GUI_ParticleEmmiterGroup::Draw() {
  bool visible = true;
  if (visibleRadius > 0.0f && !InMapView(x, y, visibleRadius)) visible = false;
  if (!UpdateFade()) visible = false;
  alive = false;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const bool ownTransform = visible && !vb.transform;
  if (ownTransform) SetCameraTransform(GUI_BS_Map::Instance());
  for (GUI_ParticleEmmiter* e : emitters) {
    if (!e) continue;
    if (visible) {
      e->alphaScale = fade;
      e->Draw();
    } else {
      e->UpdateHidden();
    }
    if (e->active) alive = true;
  }
  if (ownTransform) ClearCameraTransform();
}

void GUI_ParticleEmmiterGroup::Restart(float x_, float y_, float bx, float by) {
  x = x_;
  y = y_;
  for (GUI_ParticleEmmiter* e : emitters)
    if (e) e->Restart(x_, y_, bx, by);
  alive = true;
  ParticleLists& l = Lists();
  if (inIdleList) {
    Unlink(l.idle, this);
    inIdleList = false;
  }
  if (!inActiveList) {
    l.active.push_back(this);
    inActiveList = true;
  }
}

void GUI_ParticleEmmiterGroup::Retire() {
  ParticleLists& l = Lists();
  if (inActiveList) {
    Unlink(l.active, this);
    inActiveList = false;
  }
  if (!inIdleList) {
    l.idle.push_back(this);
    inIdleList = true;
  }
  GUI_BS_EffectsManager::Instance().Remove(this);
}

std::vector<GUI_ParticleEmmiterGroup*>& ActiveParticleGroups() { return Lists().active; }
std::vector<GUI_ParticleEmmiterGroup*>& IdleParticleGroups() { return Lists().idle; }

GUI_ParticleEmmiterGroup* ObtainParticleGroup(const std::string& name, float x, float y, float biasX,
                                              float biasY) {
  ParticleLists& l = Lists();
  if (l.active.capacity() < size_t(kMaxParticleGroups)) l.active.reserve(size_t(kMaxParticleGroups));
  if (l.idle.capacity() < size_t(kMaxParticleGroups)) l.idle.reserve(size_t(kMaxParticleGroups));
  for (GUI_ParticleEmmiterGroup* g : l.idle)
    if (g->name == name) {
      g->Restart(x, y, biasX, biasY);
      return g;
    }
  if (l.groupCount >= kMaxParticleGroups) {
    // The pool is full. A group of another name that has finished makes way (the oldest
    // first); with every group playing, the request is dropped.
    if (l.idle.empty()) return nullptr;
    delete l.idle.front();
  }
  auto* g = new GUI_ParticleEmmiterGroup(name);
  g->x = x;
  g->y = y;
  return g;
}

int ParticleGroupCount() { return Lists().groupCount; }

void ParticleGroupsCull() {
  ParticleLists& l = Lists();
  // Culling walks a copy-free index: Retire unlinks from the list being walked.
  for (size_t i = 0; i < l.active.size();) {
    GUI_ParticleEmmiterGroup* g = l.active[i];
    if (g->alive) {
      ++i;
      continue;
    }
    if (g->name == "small_explosion" && l.cullHook) l.cullHook(g->x, g->y);
    g->Retire();
  }
}

void ParticleGroupsClearLists() {
  ParticleLists& l = Lists();
  // Idle groups are held by nothing else: they are freed here. Playing groups belong to
  // the effects manager, which deletes them; the list just lets go of them.
  std::vector<GUI_ParticleEmmiterGroup*> idle;
  idle.swap(l.idle);
  for (GUI_ParticleEmmiterGroup* g : idle) {
    g->inIdleList = false;
    delete g;
  }
  for (GUI_ParticleEmmiterGroup* g : l.active) g->inActiveList = false;
  l.active.clear();
}

void SetSmallExplosionCullHook(SmallExplosionCullHook hook) { Lists().cullHook = hook; }
