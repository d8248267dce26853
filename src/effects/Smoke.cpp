#include "effects/Smoke.h"

#include <algorithm>
#include <cmath>

#include "battlescreen/BattleMap.h"
#include "battlescreen/TightQuads.h"
#include "effects/EffectsCommon.h"
#include "effects/HeatEmitters.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "simdata/Options.h"

namespace {
const char* const kKindNames[kExhaustKinds] = {"SMALL_DUST",  "SMALL_SNOW",  "SMALL_SAND",
                                               "MEDIUM_DUST", "MEDIUM_SNOW", "MEDIUM_SAND",
                                               "LARGE_DUST",  "LARGE_SNOW",  "LARGE_SAND"};
// Emitters a battle's tanks share: each request goes to the one that last puffed nearby.
constexpr int kPooledEmitters = 160;
constexpr float kNearby = 48.0f;
constexpr float kViewMargin = 512.0f;

struct ExhaustGlobals {
  ExhaustKind kinds[kExhaustKinds];
  bool loaded = false;
  std::vector<GUI_BS_Exhaust*> list;
  std::vector<std::unique_ptr<GUI_BS_Exhaust>> pool;
  CLoadedTexture* texture = nullptr;
};
ExhaustGlobals& Exhaust() {
  static ExhaustGlobals g;
  static bool registered = (RegisterSingletonReset([] {
                              g.list.clear();
                              g.pool.clear();
                              g.loaded = false;
                              g.texture = nullptr;  // the texture registry goes too
                            }),
                            true);
  (void)registered;
  return g;
}

void CellUV(BaseSprite& s, int cell) {
  cell = std::clamp(cell, 0, 63);
  const float cu = static_cast<float>(cell % 8) * 0.125f;
  const float cv = static_cast<float>(cell / 8) * 0.125f;
  s.SetUV(cu, cv, cu + 0.125f, cv + 0.125f);
}

// Places a square quad of half side `half` around (x, y) rotated by deg.
void PlaceRotatedSquare(BaseSprite& s, float x, float y, float half, float deg) {
  const int d = static_cast<int>(deg) % 360;
  const float A = half * TableCos(d), B = half * TableSin(d);
  s.v[0].x = x - A + B, s.v[0].y = y - A - B;
  s.v[1].x = x + A + B, s.v[1].y = y - A + B;
  s.v[2].x = x - A - B, s.v[2].y = y + A - B;
  s.v[3].x = x + A - B, s.v[3].y = y + A + B;
}

bool QuadOnScreen(const BaseSprite& s) {
  const D3DEngine& e = GetRenderDevice();
  float l = s.v[0].x, r = s.v[0].x, t = s.v[0].y, b = s.v[0].y;
  for (int i = 1; i < 4; ++i) {
    l = std::min(l, s.v[i].x), r = std::max(r, s.v[i].x);
    t = std::min(t, s.v[i].y), b = std::max(b, s.v[i].y);
  }
  return r >= 0.0f && b >= 0.0f && l <= static_cast<float>(e.ScreenWidth()) &&
         t <= static_cast<float>(e.ScreenHeight());
}
}  // namespace

// ---- Drifting smoke ----

GUI_BS_DriftingSmoke& GUI_BS_DriftingSmoke::Instance() { return ProcessWide<GUI_BS_DriftingSmoke>(); }

GUI_BS_DriftingSmoke::GUI_BS_DriftingSmoke() { texture = FindOrLoadTexture("particles.dds"); }

GUI_BS_DriftingSmoke::~GUI_BS_DriftingSmoke() { Clear(); }

void GUI_BS_DriftingSmoke::Clear() {
  for (auto& s : sprites) s.active = false;
  highestUsed = -1;
}

int GUI_BS_DriftingSmoke::ActiveCount() const {
  int n = 0;
  for (const auto& s : sprites) n += s.active ? 1 : 0;
  return n;
}

bool GUI_BS_DriftingSmoke::AddFromParticle(const GUI_BS_HeatParticle& p, float growth) {
  for (int i = 0; i < kSprites; ++i) {
    GUI_BS_DriftingSmokeSprite& s = sprites[size_t(i)];
    if (s.active) continue;
    s.active = true;
    s.world.worldX = p.x;
    s.world.worldY = p.y;
    s.world.parallax = 1.0f;
    s.height = 1.0f;
    s.angle = p.angle;
    s.size = s.startSize = std::max(p.size, 0.5f);
    s.alpha = std::clamp(p.lifeAlpha, 0.0f, 1.0f);
    const float progress = p.age / std::max(p.lifetime, 1.0f);
    s.velocityX = p.velocityX + p.driftX * progress;
    s.velocityY = p.velocityY + p.driftY * progress;
    s.growth = growth;
    CellUV(s.smoke, p.smokeCell);
    CellUV(s.shadow, p.smokeCell);
    highestUsed = std::max(highestUsed, i);
    return true;
  }
  return false;
}

void GUI_BS_DriftingSmoke::Draw() {
  if (highestUsed < 0) return;
  const float frameMs = EffectsFrameMs();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  BatchBegin(texture, 0);
  int highest = -1;
  for (int i = 0; i <= highestUsed; ++i) {
    GUI_BS_DriftingSmokeSprite& s = sprites[size_t(i)];
    if (!s.active) continue;
    s.world.worldX += s.velocityX * frameMs;
    s.world.worldY += s.velocityY * frameMs;
    if (!InMapView(s.world.worldX, s.world.worldY, s.size)) {
      s.active = false;
      continue;
    }
    highest = i;
    s.size += s.growth * frameMs;
    s.height = (s.size - s.startSize) / std::max(s.size, 0.5f) * 0.2f + 1.0f;
    s.world.parallax = s.height;
    s.world.UpdateScreenPos();
    const float half = s.size * map.zoom;
    PlaceRotatedSquare(s.smoke, s.world.screenX, s.world.screenY, half, s.angle);
    PlaceRotatedSquare(s.shadow, (s.world.worldX - map.viewLeft) * map.zoom,
                       (s.world.worldY - map.viewTop) * map.zoom, half, s.angle);
  }
  highestUsed = highest;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  D3DEngine& e = GetRenderDevice();
  // A puff is round: its cell's corners hold nothing, for the shadow or the smoke.
  platform::Texture* tex = texture ? texture->Texture() : nullptr;
  if (SIM_Options::Get().GetFloat("SHADOWS") != 0.0f) {
    vb.Flush();
    platform::Device* d = e.Device();
    if (d) d->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(1.8f));
    for (int i = 0; i <= highestUsed; ++i) {
      GUI_BS_DriftingSmokeSprite& s = sprites[size_t(i)];
      if (!s.active || !QuadOnScreen(s.shadow)) continue;
      s.shadow.SetColour(static_cast<uint32_t>(s.alpha * 128.0f) << 24);
      QueueTightOctagon(s.shadow.v, tex, 0, 1.8f);
    }
    vb.Flush();
    if (d) d->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(0.0f));
  }
  for (int i = 0; i <= highestUsed; ++i) {
    GUI_BS_DriftingSmokeSprite& s = sprites[size_t(i)];
    if (!s.active || !QuadOnScreen(s.smoke)) continue;
    s.smoke.SetColour(WhiteAlpha(s.alpha));
    QueueTightOctagon(s.smoke.v, tex, 0);
  }
  vb.Flush();
  vb.blendMode = 2;
}

// ---- Exhaust kinds ----

void ExhaustKindsLoad() {
  ExhaustGlobals& g = Exhaust();
  for (int i = 0; i < kExhaustKinds; ++i) {
    SettingsFile s;
    ExhaustKind& k = g.kinds[i];
    k = ExhaustKind();
    k.name = kKindNames[i];
    if (!s.Load(k.name, "data/exhaust.ini"))
      LogErrorF("data/exhaust.ini has no section [%s]", k.name.c_str());
    k.MinSize = s.GetFloat("MinSize", 0.0f);
    k.MaxSize = s.GetFloat("MaxSize", 0.0f);
    k.MinUV = static_cast<int>(s.GetFloat("MinUV", 0.0f));
    k.MaxUV = static_cast<int>(s.GetFloat("MaxUV", 0.0f));
    k.Lifetime = s.GetFloat("Lifetime", 0.0f);
    k.Spacing = s.GetFloat("Spacing", 0.0f);
  }
  g.loaded = true;
}

const ExhaustKind* ExhaustKindFind(const std::string& name) {
  ExhaustGlobals& g = Exhaust();
  if (!g.loaded) ExhaustKindsLoad();
  for (const ExhaustKind& k : g.kinds)
    if (k.name == name) return &k;
  return nullptr;
}

// ---- Exhaust emitters ----

GUI_BS_Exhaust::GUI_BS_Exhaust(const ExhaustKind* k) : kind(k) {
  Assert(k != nullptr, __FILE__, __LINE__, "exhaust without a kind");
  ExhaustGlobals& g = Exhaust();
  if (!g.texture) g.texture = FindOrLoadTexture("particles.dds");
  g.list.push_back(this);
  if (!kind) return;
  for (GUI_BS_ExhaustPuff& p : puffs) {
    p.startSize = EffectsRandomRange(kind->MinSize, kind->MinSize * 1.25f);
    p.endSize = EffectsRandomRange(kind->MaxSize, kind->MaxSize * 1.25f);
    CellUV(p.quad, kind->MinUV + EffectsRandomInt(std::max(0, kind->MaxUV - kind->MinUV)));
    // A zero lifetime would end every puff at once (and divide by zero).
    p.lifetime = std::max(kind->Lifetime, 1.0f);
  }
}

GUI_BS_Exhaust::~GUI_BS_Exhaust() {
  auto& l = Exhaust().list;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

void GUI_BS_Exhaust::Emit(float x, float y) {
  if (!kind) return;
  for (int i = 0; i < kPuffs; ++i) {
    GUI_BS_ExhaustPuff& p = puffs[size_t(i)];
    if (p.active) continue;
    p.active = true;
    p.x = x;
    p.y = y;
    p.alpha = 1.0f;
    p.elapsed = 0.0f;
    p.progress = 0.0f;
    p.stage = 0;
    p.angle = EffectsRandomRange(0.0f, 360.0f);
    p.spin = EffectsRandomRange(-0.03f, 0.03f);
    activeList[size_t(activeCount++)] = i;
    break;
  }
  lastX = x;
  lastY = y;
  hasEmitted = true;
}

void GUI_BS_Exhaust::DrawPass(int pass) {
  const float frameMs = EffectsFrameMs();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  for (int n = 0; n < activeCount; ++n) {
    GUI_BS_ExhaustPuff& p = puffs[size_t(activeList[size_t(n)])];
    if (!p.active) continue;
    if (pass == 0) {
      p.elapsed += frameMs;
      p.progress = p.elapsed / p.lifetime;
      if (p.progress > 0.5f) p.stage = 1;
      if (p.progress > 0.8f) p.stage = 2;
      if (p.progress > 1.0f) {
        p.progress = 1.0f;
        p.active = false;
      }
      p.angle += p.spin * frameMs;
      p.angle = std::fmod(p.angle, 360.0f);
      if (p.angle < 0.0f) p.angle += 360.0f;
    }
    if (!p.active) continue;
    float a = 0.0f;
    if (pass == 0) {
      a = p.stage == 0 ? 1.0f : p.stage == 1 ? 1.0f - (p.progress - 0.5f) / 0.3f : 0.0f;
    } else {
      a = p.stage == 1 ? (p.progress - 0.5f) / 0.3f : p.stage == 2 ? 1.0f : 0.0f;
    }
    if (a <= 0.0f) continue;
    const float size = p.startSize + (p.endSize - p.startSize) * p.progress;
    const float fade = std::clamp(2.0f - 2.0f * p.progress, 0.0f, 1.0f);
    p.quad.SetColour(WhiteAlpha(a * fade));
    PlaceRotatedSquare(p.quad, p.x, p.y, size, p.angle);
    vb.AddVertices(p.quad.v, 4);
  }
  // Drop the puffs that ended from the active list, keeping its order.
  int kept = 0;
  for (int n = 0; n < activeCount; ++n)
    if (puffs[size_t(activeList[size_t(n)])].active) activeList[size_t(kept++)] = activeList[size_t(n)];
  activeCount = kept;
}

std::vector<GUI_BS_Exhaust*>& ExhaustList() { return Exhaust().list; }

void ExhaustDrawAll(int pass) {
  ExhaustGlobals& g = Exhaust();
  if (g.list.empty()) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  SetCameraTransform(map);
  BatchBegin(g.texture, 0);
  for (GUI_BS_Exhaust* e : g.list) {
    if (!e->hasEmitted || e->activeCount == 0) continue;
    if (!InMapView(e->lastX, e->lastY, kViewMargin)) continue;
    e->DrawPass(pass);
  }
  GetGlobalVertexBuffer().Flush();
  ClearCameraTransform();
}

void ExhaustRequest(const std::string& kindName, float x, float y) {
  const ExhaustKind* kind = ExhaustKindFind(kindName);
  if (!kind) return;
  ExhaustGlobals& g = Exhaust();
  GUI_BS_Exhaust* idle = nullptr;
  GUI_BS_Exhaust* nearest = nullptr;
  float best = kNearby * kNearby;
  for (auto& e : g.pool) {
    if (e->kind != kind) continue;
    if (e->activeCount == 0) {
      if (!idle) idle = e.get();
      continue;
    }
    const float d = (e->lastX - x) * (e->lastX - x) + (e->lastY - y) * (e->lastY - y);
    if (d < best) {
      best = d;
      nearest = e.get();
    }
  }
  GUI_BS_Exhaust* target = nearest ? nearest : idle;
  if (!target && static_cast<int>(g.pool.size()) < kPooledEmitters) {
    g.pool.push_back(std::make_unique<GUI_BS_Exhaust>(kind));
    target = g.pool.back().get();
  }
  if (target) target->Emit(x, y);
}

void ExhaustPoolClear() {
  ExhaustGlobals& g = Exhaust();
  for (auto& e : g.pool)
    for (auto& p : e->puffs) p.active = false;
  for (auto& e : g.pool) e->activeCount = 0;
}
