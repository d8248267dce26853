#include "effects/LightMap.h"

#include <algorithm>
#include <cmath>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/TightQuads.h"
#include "effects/EffectsCommon.h"
#include "effects/PostProcessing.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "simdata/Scenario.h"

namespace {
// Sized above a big battle's peak (200 burning spots and their bursts): a full queue is
// drawn early, which costs one more target switch.
constexpr int kQueueVertices = 131072;
constexpr int kQueueRuns = 256;
constexpr float kTransitionMs = 100.0f;
constexpr float kFlickerMs = 12.5f;

struct AdditiveQueue {
  GVertex vertices[kQueueVertices];
  struct Run {
    CLoadedTexture* texture = nullptr;
    int start = 0, count = 0;
  } runs[kQueueRuns];
  int vertexCount = 0;
  int runCount = 0;
};
AdditiveQueue& Queue() {
  static AdditiveQueue* q = new AdditiveQueue();  // large: kept off the stack, never freed
  static bool registered = (RegisterSingletonReset([] {
                              q->vertexCount = 0;
                              q->runCount = 0;
                            }),
                            true);
  (void)registered;
  return *q;
}

struct MuzzlePool {
  GUI_BS_HeatParticle slots[kMuzzleFlashes];
  float sizeFactor[kMuzzleFlashes] = {};
  int highWater = 0;
  CLoadedTexture* texture = nullptr;
  const GUI_BS_HPConfig* config = nullptr;
  bool initialised = false;
};
MuzzlePool& Muzzle() {
  static MuzzlePool* pool = new MuzzlePool();
  static bool registered = (RegisterSingletonReset([] {
                              for (GUI_BS_HeatParticle& p : pool->slots) p = GUI_BS_HeatParticle();
                              pool->highWater = 0;
                              pool->config = nullptr;
                              pool->texture = nullptr;
                              pool->initialised = false;
                            }),
                            true);
  (void)registered;
  return *pool;
}

// The light sprites of the projectiles drawn this frame. The light list points into the
// pool until the light map is rendered, so it is sized once, as the list is.
struct ProjectileLightPool {
  std::vector<LightSprite> sprites;
  int used = 0;
};
ProjectileLightPool& ProjectileLights() { return ProcessWide<ProjectileLightPool>(); }

DamageGlowDraw& GlowDraw() {
  static DamageGlowDraw draw = nullptr;
  return draw;
}

void PlaceSquare(BaseSprite& s, float cx, float cy, float side) {
  const float h = side * 0.5f;
  s.v[0].x = cx - h, s.v[0].y = cy - h;
  s.v[1].x = cx + h, s.v[1].y = cy - h;
  s.v[2].x = cx - h, s.v[2].y = cy + h;
  s.v[3].x = cx + h, s.v[3].y = cy + h;
  s.width = side;
  s.height = side;
}

bool SquareOnScreen(const BaseSprite& s) {
  const D3DEngine& e = GetRenderDevice();
  return s.v[3].x >= 0.0f && s.v[3].y >= 0.0f && s.v[0].x <= static_cast<float>(e.ScreenWidth()) &&
         s.v[0].y <= static_cast<float>(e.ScreenHeight());
}

void InitLightSprite(CTexturedSprite& s, CLoadedTexture* texture) {
  s.texture = texture;
  // The top-left cell of the 2 x 2 atlas.
  s.v[0].u = 0.0f, s.v[0].v = 0.0f;
  s.v[1].u = 0.5f, s.v[1].v = 0.0f;
  s.v[2].u = 0.0f, s.v[2].v = 0.5f;
  s.v[3].u = 0.5f, s.v[3].v = 0.5f;
  s.SetColour(0xFFFFFFFFu);
}
}  // namespace

// ---- Manager ----

GUI_BS_LightmapManager& GUI_BS_LightmapManager::Instance() { return ProcessWide<GUI_BS_LightmapManager>(); }

GUI_BS_LightmapManager::GUI_BS_LightmapManager() {
  texture = FindOrLoadTexture("lightmaps.dds");
  flashes.resize(kMaxFlashes);
  for (LightFlash& f : flashes) InitLightSprite(f.sprite, texture);
  lights.reserve(kMaxLights);
}

GUI_BS_LightmapManager::~GUI_BS_LightmapManager() = default;

void GUI_BS_LightmapManager::ReadBattleLighting(const SIM_Scenario* scenario) {
  Assert(scenario != nullptr, __FILE__, __LINE__, "no scenario to read the lighting from");
  Clear();
  mode = scenario && scenario->usingLightMap ? 1 : 0;
  transitionTarget = 0;
  nightVisionOverride = false;
  compositeWanted = mode != 0;
  if (scenario) {
    auto c = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    // "lightmap_color" is red, green, blue, alpha.
    lightColour = c(scenario->lightMapColour[3]) << 24 | c(scenario->lightMapColour[0]) << 16 |
                  c(scenario->lightMapColour[1]) << 8 | c(scenario->lightMapColour[2]);
  }
}

void GUI_BS_LightmapManager::AddFlash(float x, float y, float radius) {
  // An unlit battle never shows a flash: keeping them would only pile up.
  if (mode == 0 || radius <= 0.0f || flashCount >= kMaxFlashes) return;
  LightFlash& f = flashes[size_t(flashCount++)];
  f.x = x;
  f.y = y;
  f.radius = radius;
  f.age = 0.0f;
}

void GUI_BS_LightmapManager::AddLight(LightSprite* light) {
  if (mode == 0 || !light || lights.size() >= lights.capacity()) return;
  lights.push_back(light);
}

void GUI_BS_LightmapManager::Clear() {
  flashCount = 0;
  lights.clear();
  ProjectileLights().used = 0;
}

void GUI_BS_LightmapManager::NightVisionUpdate(float e) {
  if (transitionTarget == 0) return;
  transitionClock += e;
  if (transitionClock >= kTransitionMs) {
    mode = transitionTarget == 1 ? 2 : 1;
    transitionTarget = 0;
    return;
  }
  flickerClock += e;
  if (flickerClock >= flickerPeriod) {
    flickerClock -= flickerPeriod;
    flickerPeriod = kFlickerMs;
    mode = mode == 1 ? 2 : 1;
  }
}

void GUI_BS_LightmapManager::NightVisionFlags() {
  const BattleFrameHooks& h = GetBattleFrameHooks();
  const bool dropperBusy = h.dropperHoldsDesign && h.dropperHoldsDesign();
  if (mode == 2 && !dropperBusy) {
    nightVisionOverride = true;
    return;
  }
  nightVisionOverride = false;
  compositeWanted = mode != 0;
}

void GUI_BS_LightmapManager::Render() {
  const float e = EffectsFrameMs();
  NightVisionUpdate(e);
  NightVisionFlags();
  if (mode == 0) {
    Clear();
    return;
  }
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  for (int i = 0; i < flashCount;) {
    LightFlash& f = flashes[size_t(i)];
    f.age += e;
    const float k = f.age / (4.0f * f.radius);
    if (k >= 1.0f) {
      // Finished: the last live flash takes its place (the pool never shrinks).
      std::swap(flashes[size_t(i)], flashes[size_t(flashCount - 1)]);
      --flashCount;
      continue;
    }
    PlaceSquare(f.sprite, (f.x - map.viewLeft) * map.zoom, (f.y - map.viewTop) * map.zoom,
                2.0f * f.radius * map.zoom);
    if (SquareOnScreen(f.sprite)) {
      f.sprite.SetColour((static_cast<uint32_t>((1.0f - k) * 255.0f) << 24) | 0x00FFFFFFu);
      LightmapQueueAdditive(texture, f.sprite.v, 4, false);
    }
    ++i;
  }
  for (LightSprite* l : lights) {
    PlaceSquare(l->sprite, l->x, l->y, 2.0f * l->radius * map.zoom);
    if (SquareOnScreen(l->sprite))
      LightmapQueueAdditive(l->sprite.texture ? l->sprite.texture : texture, l->sprite.v, 4, false);
  }
  lights.clear();
  ProjectileLights().used = 0;
}

void LightSpriteInit(LightSprite* light, float radius) {
  if (!light) return;
  light->x = light->y = 0.0f;
  light->radius = radius;
  InitLightSprite(light->sprite, GUI_BS_LightmapManager::Instance().texture);
}

void LightmapAddLight(LightSprite* light) { GUI_BS_LightmapManager::Instance().AddLight(light); }

void LightmapAddProjectileLight(float x, float y, float heading, float radius, float strength) {
  GUI_BS_LightmapManager& m = GUI_BS_LightmapManager::Instance();
  if (m.mode == 0 || radius <= 0.0f || strength <= 0.0f) return;
  ProjectileLightPool& pool = ProjectileLights();
  if (pool.sprites.empty()) pool.sprites.resize(GUI_BS_LightmapManager::kMaxLights);
  if (pool.used >= static_cast<int>(pool.sprites.size())) return;
  LightSprite& light = pool.sprites[size_t(pool.used++)];
  LightSpriteInit(&light, radius);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  light.x = (x - map.viewLeft) * map.zoom;
  light.y = (y - map.viewTop) * map.zoom;
  light.sprite.angle = heading;
  light.sprite.SetColour(static_cast<uint32_t>(std::min(strength, 1.0f) * 255.0f) << 24 | 0x00FFFFFFu);
  LightmapAddLight(&light);
}

void NightVisionToggle() {
  GUI_BS_LightmapManager& m = GUI_BS_LightmapManager::Instance();
  if (m.mode != 0) {
    m.transitionTarget = m.mode == 2 ? 2 : 1;
    m.mode = m.mode == 2 ? 1 : 2;
    m.flickerClock = 0.0f;
    m.flickerPeriod = kFlickerMs;
    m.transitionClock = 0.0f;
  }
  if (SoundsExist()) {
    GUI_Sounds& s = GetSounds();
    s.PlaySoundFile("data/sounds/ztk_nightvision.ogg", false, s.EffectsVolume() * s.MasterVolume(), 0);
  }
}

// ---- Draw lists ----

LightmapDrawLists& LightmapDrawLists::Instance() { return ProcessWide<LightmapDrawLists>(); }

void DrawListsReset() {
  LightmapDrawLists& l = LightmapDrawLists::Instance();
  for (auto& e : l.world) e = LightmapDrawLists::Entry();
  for (auto& e : l.unit) e = LightmapDrawLists::Entry();
  l.worldCount = 0;
  l.unitCount = 0;
}

bool DrawListAdd(int kind, void* object) {
  LightmapDrawLists& l = LightmapDrawLists::Instance();
  if (!object || l.worldCount < 0 || l.worldCount >= LightmapDrawLists::kEntries) return false;
  l.world[l.worldCount++] = {kind, object, true};
  return true;
}

namespace {
bool AddUnit(int kind, void* object) {
  LightmapDrawLists& l = LightmapDrawLists::Instance();
  if (!object || l.unitCount < 0 || l.unitCount >= LightmapDrawLists::kEntries) return false;
  l.unit[l.unitCount++] = {kind, object, true};
  return true;
}
}  // namespace

bool DrawListAddOverlay(CTexturedSprite* sprite) { return AddUnit(0, sprite); }

bool DrawListAddFaded(CTexturedSprite* sprite, float level) {
  if (!sprite) return false;
  const auto g = static_cast<uint32_t>(std::clamp(level, 0.0f, 1.0f) * 255.0f);
  sprite->SetColour(0xFF000000u | g << 16 | g << 8 | g);
  return AddUnit(0, sprite);
}

bool DrawListAddLight(CTexturedSprite* sprite) {
  if (!sprite) return false;
  const GUI_BS_LightmapManager& m = GUI_BS_LightmapManager::Instance();
  sprite->SetColour(m.nightVisionOverride ? m.ambient : m.lightColour);
  return AddUnit(0, sprite);
}

bool DrawListAddDamageGlow(void* sprite) { return AddUnit(1, sprite); }
void SetDamageGlowDraw(DamageGlowDraw draw) { GlowDraw() = draw; }

void LightmapDrawLists::RenderWorldList(bool skipMuzzleFlashes) {
  const bool flashes = !skipMuzzleFlashes && MuzzleFlashAlive() > 0;
  if (worldCount == 0 && !flashes) return;
  if (!GUI_BS_LightmapManager::Instance().Active()) {
    worldCount = 0;
    return;
  }
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  pp.RememberTempRT();
  if (!pp.SetRenderTarget("rt_lightmap")) {
    pp.RestoreTempRT();
    for (int i = 0; i < worldCount; ++i) world[i].inUse = false;
    worldCount = 0;
    return;
  }
  if (flashes) MuzzleFlashLightmapPass();
  D3DEngine& e = GetRenderDevice();
  SetBatchBlend(0);
  platform::Device* d = e.Device();
  for (int i = 0; i < worldCount; ++i) {
    Entry& en = world[i];
    if (!en.inUse || !en.object) continue;
    switch (en.kind) {
      case 0: {
        auto* s = static_cast<CTexturedSprite*>(en.object);
        vb.SetTexture(s->texture);
        vb.AddVertices(s->v, 4);
        break;
      }
      case 2:
        vb.Flush();
        static_cast<QuadSprite*>(en.object)->Draw();
        break;
      case 3:
      case 4:
        vb.Flush();
        if (d) {
          d->SetSamplerState(0, platform::SamplerState::AddressU, platform::TADDRESS_WRAP);
          d->SetSamplerState(0, platform::SamplerState::AddressV, platform::TADDRESS_WRAP);
        }
        static_cast<LightmapDrawable*>(en.object)->DrawLightmap();
        vb.Flush();
        if (d) {
          d->SetSamplerState(0, platform::SamplerState::AddressU, platform::TADDRESS_CLAMP);
          d->SetSamplerState(0, platform::SamplerState::AddressV, platform::TADDRESS_CLAMP);
        }
        break;
      default:
        break;
    }
    en.inUse = false;
  }
  worldCount = 0;
  vb.Flush();
  pp.RestoreTempRT();
  vb.blendMode = 2;
}

void LightmapDrawLists::RenderUnitList() {
  if (unitCount == 0) return;
  if (!GUI_BS_LightmapManager::Instance().Active()) {
    unitCount = 0;
    return;
  }
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  // A unit's copy lights its shape in its own colour: taken through the unit's dark
  // texture it would come out darker than the night around it.
  if (!pp.BeginLightmapDraw()) {
    for (int i = 0; i < unitCount; ++i) unit[i].inUse = false;
    unitCount = 0;
    return;
  }
  SetBatchBlend(0);
  for (int i = 0; i < unitCount; ++i) {
    Entry& en = unit[i];
    if (!en.inUse || !en.object) continue;
    if (en.kind == 0) {
      auto* s = static_cast<CTexturedSprite*>(en.object);
      vb.SetTexture(s->texture);
      QueueTight(*s, 0);
    } else if (en.kind == 1) {
      vb.Flush();
      if (GlowDraw()) GlowDraw()(en.object);
    }
    en.inUse = false;
  }
  unitCount = 0;
  vb.Flush();
  pp.RestoreTempRT();
  vb.blendMode = 2;
}

// ---- The queue of additive copies ----

void LightmapQueueAdditive(CLoadedTexture* texture, const GVertex* vertices, int count, bool world) {
  if (!vertices || count <= 0) return;
  AdditiveQueue& q = Queue();
  if (q.vertexCount + count > kQueueVertices ||
      (q.runCount >= kQueueRuns && (q.runCount == 0 || q.runs[q.runCount - 1].texture != texture)))
    LightmapFlushQueued();
  if (count > kQueueVertices) count = kQueueVertices;
  if (q.runCount == 0 || q.runs[q.runCount - 1].texture != texture) {
    q.runs[q.runCount] = {texture, q.vertexCount, 0};
    ++q.runCount;
  }
  GVertex* out = &q.vertices[q.vertexCount];
  if (world) {
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    for (int i = 0; i < count; ++i) {
      out[i] = vertices[i];
      out[i].x = (vertices[i].x - map.viewLeft) * map.zoom;
      out[i].y = (vertices[i].y - map.viewTop) * map.zoom;
    }
  } else {
    std::copy(vertices, vertices + count, out);
  }
  q.vertexCount += count;
  q.runs[q.runCount - 1].count += count;
}

int LightmapQueuedVertices() { return Queue().vertexCount; }

void LightmapFlushQueued() {
  AdditiveQueue& q = Queue();
  if (q.vertexCount == 0) {
    q.runCount = 0;
    return;
  }
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const bool oldTransform = vb.transform;
  const int oldBlend = vb.blendMode;
  vb.transform = false;
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.RememberTempRT();
  if (!pp.SetRenderTarget("rt_lightmap")) {
    // Without a light map the glow copies would land on the scene: dropped.
    pp.RestoreTempRT();
    vb.transform = oldTransform;
    q.vertexCount = 0;
    q.runCount = 0;
    return;
  }
  vb.blendMode = 1;
  for (int r = 0; r < q.runCount; ++r) {
    vb.SetTexture(q.runs[r].texture);
    vb.AddVertices(&q.vertices[q.runs[r].start], q.runs[r].count);
  }
  vb.Flush();
  pp.RestoreTempRT();
  vb.transform = oldTransform;
  vb.blendMode = oldBlend;
  q.vertexCount = 0;
  q.runCount = 0;
}

// ---- Muzzle flashes ----

void MuzzleFlashPoolInit() {
  MuzzlePool& m = Muzzle();
  m.texture = FindOrLoadTexture("particles.dds");
  m.config = GUI_BS_HPConfigManager::Instance().Find("muzzleflash");
  for (int i = 0; i < kMuzzleFlashes; ++i) {
    GUI_BS_HeatParticle& p = m.slots[i];
    p = GUI_BS_HeatParticle();
    p.BindConfig(m.config);
    const float r = EffectsRandomFloat();
    m.sizeFactor[i] = 0.75f + 0.75f * r;
    p.size = m.config ? m.sizeFactor[i] * m.config->MaxSize : 0.0f;
  }
  m.highWater = 0;
  m.initialised = true;
}

namespace {
void MuzzleFlashSpawnOne(float x, float y, float dx, float dy) {
  MuzzlePool& m = Muzzle();
  if (!m.initialised) MuzzleFlashPoolInit();
  if (!m.config) return;
  const GUI_BS_HPConfig& c = *m.config;
  int slot = -1;
  for (int i = 0; i < kMuzzleFlashes; ++i)
    if (!m.slots[i].alive) {
      slot = i;
      break;
    }
  if (slot < 0) {
    // All burning: the one closest to its end makes way.
    float least = 2.0f;
    for (int i = 0; i < kMuzzleFlashes; ++i) {
      const GUI_BS_HeatParticle& p = m.slots[i];
      const float left = 1.0f - p.age / std::max(p.lifetime, 1.0f);
      if (left < least) {
        least = left;
        slot = i;
      }
    }
    if (slot < 0) slot = 0;
  }
  GUI_BS_HeatParticle& p = m.slots[slot];
  p.BindConfig(m.config);
  const float o = 2.0f * EffectsRandomFloat();
  const float theta = 360.0f * EffectsRandomFloat();
  const float rad = theta * 3.14159265f / 180.0f;
  const float vx = std::sin(rad) * c.BaseSpeed, vy = -std::cos(rad) * c.BaseSpeed;
  const float b = 12.0f * EffectsRandomFloat() * std::hypot(vx, vy);
  const float life = EffectsRandomRange(c.Lifetime * 0.5f, c.Lifetime);
  const float phi = (theta + 180.0f * EffectsRandomFloat() - 90.0f) * 3.14159265f / 180.0f;
  const float drift = c.BaseSpeed * 0.125f;
  p.Start(rad, m.sizeFactor[slot] * c.MaxSize, std::sin(phi) * drift, -std::cos(phi) * drift, life,
          x + std::sin(rad) * o, y - std::cos(rad) * o);
  p.velocityX = vx + b * dx;
  p.velocityY = vy + b * dy;
  m.highWater = std::max(m.highWater, slot);
}
}  // namespace

void MuzzleFlashSpawn(int count, float x, float y, float angleDeg) {
  const float rad = angleDeg * 3.14159265f / 180.0f;
  float dx = std::sin(rad), dy = -std::cos(rad);
  const float len = std::hypot(dx, dy);
  if (len > 0.0f) dx /= len, dy /= len;
  count = std::clamp(count, 0, kMuzzleFlashes);
  for (int i = 0; i < count; ++i) MuzzleFlashSpawnOne(x, y, dx, dy);
}

void MuzzleFlashDraw() {
  MuzzlePool& m = Muzzle();
  if (!m.initialised || !m.config) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const float e = EffectsFrameMs();
  int highest = 0;
  bool any = false;
  for (int i = 0; i <= m.highWater; ++i) {
    GUI_BS_HeatParticle& p = m.slots[i];
    if (!p.alive) continue;
    if (p.Update(e) || p.alive) highest = i;
    any = true;
  }
  if (!any) {
    m.highWater = 0;
    return;
  }
  SetCameraTransform(GUI_BS_Map::Instance());
  BatchBegin(m.texture, 0);
  for (int i = 0; i <= m.highWater; ++i) m.slots[i].Draw(1, 1.0f);
  BatchBegin(m.texture, 1);
  for (int i = 0; i <= m.highWater; ++i) m.slots[i].Draw(0, 1.0f);
  vb.Flush();
  ClearCameraTransform();
  // Flashes light the night: their hot pass joins the light map's additive queue.
  if (LightmapEnabled())
    for (int i = 0; i <= m.highWater; ++i) m.slots[i].DrawToLightmap(m.texture, 1.0f);
  m.highWater = highest;
}

void MuzzleFlashLightmapPass() {
  MuzzlePool& m = Muzzle();
  if (!m.initialised || !m.config) return;
  SetCameraTransform(GUI_BS_Map::Instance());
  BatchBegin(m.texture, 1);
  for (int i = 0; i <= m.highWater; ++i) m.slots[i].Draw(0, 1.0f);
  GetGlobalVertexBuffer().Flush();
  ClearCameraTransform();
}

int MuzzleFlashAlive() {
  MuzzlePool& m = Muzzle();
  int n = 0;
  for (int i = 0; i <= m.highWater && i < kMuzzleFlashes; ++i) n += m.slots[i].alive ? 1 : 0;
  return n;
}
GUI_BS_HeatParticle* MuzzleFlashSlots() { return Muzzle().slots; }
