#include "effects/RocketTrails.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/MissileLauncher.h"
#include "battle/Projectiles.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/TightQuads.h"
#include "effects/EffectsCommon.h"
#include "effects/FixedBlockPool.h"
#include "effects/HeatEmitters.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;
// A pooled missile that jumps further than this in one frame has been fired again.
constexpr float kRelaunchJump = 400.0f;
// A trail's puffs overlap many deep, so their rims are left out only where a puff moves
// no pixel by more than this.
constexpr float kPuffRimLevels = 0.6f;

// The software rasteriser shades whole 4x4-pixel blocks per triangle. A puff cut to its
// outline is three bands, six triangles: the blocks along each of the two band seams are
// shaded twice (four pixels for every pixel of the puff's side), and every triangle costs
// the binning thread. A soft puff's corners hold little: they pay only on a large puff.
constexpr float kSeamPixelsPerSidePixel = 8.0f;
// Below this side (pixels) no corner cut of a puff can beat its seams.
constexpr float kSmallestCutPuff = 48.0f;

float FrameMs() { return EffectsFrameMs(); }

// True when leaving out the empty corners and rim of the puff's cell saves more pixels
// than the extra seams cost.
bool CornersPay(const GVertex* q, platform::Texture* texture, int rim) {
  if (!texture) return false;
  const float side = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
  if (side < kSmallestCutPuff) return false;
  const ShownOutline o = ShownOutlineOf(texture, q[0].u, q[0].v, q[3].u, q[3].v, rim, 1);
  const ShownPart& b = o.box;
  float kept = std::max(0.0f, b.right - b.left) * std::max(0.0f, b.bottom - b.top);
  for (float leg : o.cut) kept -= 0.5f * (leg / o.texelsAcross) * (leg / o.texelsDown);
  const float saved = (1.0f - kept) * side * side;
  return saved > kSeamPixelsPerSidePixel * side;
}
}  // namespace

// ---- Puffs ----

bool SmokePuff::InView() const { return !GUI_BS_Map::Instance().IsOffScreen(x, y, 8.0f); }

void SmokePuff::Start(float px, float py) {
  x = px;
  y = py;
  angle = 360.0f * EffectsRandomFloat();
  alive = true;
  size = 2.2f + 1.8f * EffectsRandomFloat();
  age = 0.0f;
  driftX = EffectsRandomFloat() * 0.0028f - 0.0014f;
  driftY = EffectsRandomFloat() * 0.0028f - 0.0014f;
  alpha = 1.0f;
}

void SmokePuff::Update(float e) {
  if (!alive) return;
  age += e;
  if (age > kLifeMs) {
    alive = false;
    return;
  }
  alpha = age <= 1000.0f ? 1.0f : std::clamp(1.0f - (age - 1000.0f) / 2500.0f, 0.0f, 1.0f);
  if (!InView() || !quad) return;
  x += driftX * e;
  y += driftY * e;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float w = size * (1.0f + 2.0f * age / kLifeMs);
  const float a = angle * kDegToRad;
  const float A = w * std::cos(a) * map.zoom, B = w * std::sin(a) * map.zoom;
  const float X = (x - map.viewLeft) * map.zoom, Y = (y - map.viewTop) * map.zoom;
  const float cx[4] = {X - A + B, X + A + B, X - A - B, X + A - B};
  const float cy[4] = {Y - A - B, Y - A + B, Y + A - B, Y + A + B};
  const uint32_t colour = (uint32_t(alpha * 255.0f) << 24) | 0xFFFFFFu;
  for (int i = 0; i < 4; ++i) {
    quad[i].x = cx[i];
    quad[i].y = cy[i];
    quad[i].colour = colour;
  }
}

void SmokePuff::Draw() const {
  if (!alive || !quad || !InView()) return;
  // A fading puff's rim is lost under its own fade; one faded out shows nothing at all.
  // The rest is drawn whole, or cut to its outline where that is cheaper.
  const int rim = UnseenTexelAlpha(float(quad[0].colour >> 24) / 255.0f, kPuffRimLevels);
  if (rim >= 255) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  CLoadedTexture* texture = vb.CurrentTexture();
  if (CornersPay(quad, texture ? texture->Texture() : nullptr, rim))
    QueueTightOctagon(quad, texture ? texture->Texture() : nullptr, rim);
  else
    vb.AddVertices(quad, 4);
}

// ---- Trails ----

GUI_BS_RocketTrail::GUI_BS_RocketTrail() {
  for (int i = 0; i < kPuffs; ++i) {
    GVertex* q = &quads[size_t(i) * 4];
    const int c = EffectsRand() % 16;
    const float u = float(c % 4) * 0.25f, v = float(c / 4) * 0.25f;
    const float us[4] = {u, u + 0.25f, u, u + 0.25f};
    const float vs[4] = {v, v, v + 0.25f, v + 0.25f};
    for (int k = 0; k < 4; ++k) {
      q[k].z = 0.0f;
      q[k].rhw = 1.0f;
      q[k].colour = 0xFFFFFFFFu;
      q[k].u = us[k];
      q[k].v = vs[k];
    }
    puffs[size_t(i)].quad = q;
  }
}

void GUI_BS_RocketTrail::Start(const SIM_Missile* followed) {
  missile = followed;
  accumulator = 0.0f;
  inUse = true;
  next = 0;
  waitingForFirstPuff = true;
  lastX = followed ? followed->x : 0.0f;
  lastY = followed ? followed->y : 0.0f;
  launchX = followed ? followed->launchX : 0.0f;
  launchY = followed ? followed->launchY : 0.0f;
  for (SmokePuff& p : puffs) p.alive = false;
}

void GUI_BS_RocketTrail::Advance(float d) {
  accumulator += d;
  const float heading = missile ? missile->heading * kDegToRad : 0.0f;
  const float sx = std::sin(heading), sy = -std::cos(heading);
  float s = 0.0f;
  if (accumulator > kSpacing) {
    do {
      s += kSpacing;
      puffs[size_t(next)].Start(lastX + sx * s, lastY + sy * s);
      next = (next + 1) % kPuffs;
      waitingForFirstPuff = false;
    } while (s < accumulator - kSpacing);
  }
  accumulator -= s;
  if (missile) {
    lastX = missile->x;
    lastY = missile->y;
  }
}

void GUI_BS_RocketTrail::Draw(float e) {
  if (!inUse) return;
  bool anyAlive = false;
  for (SmokePuff& p : puffs) {
    p.Update(e);
    p.Draw();
    anyAlive = anyAlive || p.alive;
  }
  if (!anyAlive && !waitingForFirstPuff) {
    inUse = false;
    missile = nullptr;
  }
}

int GUI_BS_RocketTrail::LivePuffs() const {
  int n = 0;
  for (const SmokePuff& p : puffs) n += p.alive ? 1 : 0;
  return n;
}

// ---- Manager ----

GUI_BS_RocketTrailManager& GUI_BS_RocketTrailManager::Instance() {
  return ProcessWide<GUI_BS_RocketTrailManager>();
}

GUI_BS_RocketTrailManager::~GUI_BS_RocketTrailManager() = default;

GUI_BS_RocketTrail* GUI_BS_RocketTrailManager::GetFreeTrail() {
  for (auto& t : trails)
    if (!t->inUse) return t.get();
  trails.push_back(std::make_unique<GUI_BS_RocketTrail>());
  return trails.back().get();
}

void GUI_BS_RocketTrailManager::FollowMissiles() {
  // Trails whose missile is gone (or was fired again) stop following it.
  for (auto& t : trails) {
    const SIM_Missile* m = t->missile;
    if (!m) continue;
    const bool relaunched = m->launchX != t->launchX || m->launchY != t->launchY ||
                            std::hypot(m->x - t->lastX, m->y - t->lastY) > kRelaunchJump;
    if (!m->alive || relaunched) {
      t->missile = nullptr;
      // A missile that died before leaving a puff leaves nothing to wait for.
      t->waitingForFirstPuff = false;
    }
  }
  if (!BattleExists()) return;
  for (SIM_MissileLauncherComponent* launcher : MissileLauncherList())
    for (const SIM_Missile& m : launcher->missiles) {
      if (!m.alive) continue;
      GUI_BS_RocketTrail* bound = nullptr;
      for (auto& t : trails)
        if (t->missile == &m) {
          bound = t.get();
          break;
        }
      if (!bound) {
        GetFreeTrail()->Start(&m);
        continue;
      }
      bound->Advance(std::hypot(m.x - bound->lastX, m.y - bound->lastY));
    }
}

void GUI_BS_RocketTrailManager::Draw() {
  FollowMissiles();
  const float e = FrameMs();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (!texture || !texture->texture) texture = FindOrLoadTexture("smoketrails.dds");
  vb.SetTexture(texture);
  if (vb.blendMode != 0) vb.Flush();
  vb.blendMode = 0;
  for (auto& t : trails) t->Draw(e);
  vb.Flush();
}

void GUI_BS_RocketTrailManager::Clear() { trails.clear(); }

int GUI_BS_RocketTrailManager::TrailsInUse() const {
  int n = 0;
  for (const auto& t : trails) n += t->inUse ? 1 : 0;
  return n;
}

// ---- Shock waves ----

ZT_FIXED_POOL_ALLOCATION(GUI_BS_ShockWave, GUI_BS_ShockWave::kPoolSize)

void GUI_BS_ShockWave::Spawn(float radius, float durationMs, const std::string& textureName, float x,
                             float y) {
  if (auto* wave = new GUI_BS_ShockWave(radius, durationMs, textureName, x, y))
    GUI_BS_EffectsManager::Instance().Add(wave);
}

GUI_BS_ShockWave::GUI_BS_ShockWave(float r, float durationMs, const std::string& textureName, float px,
                                   float py)
    : radius(r), duration(durationMs), x(px), y(py) {
  layer = 1;
  fade = 1.0f;
  sprite.SetTexture(textureName);
  size = 0.0f;
  // A zero duration would make the growth rate infinite: such a wave shows nothing.
  rate = duration > 0.0f ? radius / duration : 0.0f;
}

bool GUI_BS_ShockWave::Step(float e) {
  clock += e;
  if (!started) {
    if (clock >= delay) {
      started = true;
      clock -= delay;
    }
    return false;
  }
  if (clock > duration || duration <= 0.0f) {
    alive = false;
    return false;
  }
  const float t = std::clamp(clock / duration, 0.0f, 1.0f);
  alpha = std::sin(t * kPi);
  size += rate * e;
  rate *= (1.0f - 0.0008f * e);
  return true;
}

void GUI_BS_ShockWave::Draw() {
  if (!Step(FrameMs())) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  screenSize = map.zoom * size;
  screenX = (x - map.viewLeft) * map.zoom;
  screenY = (y - map.viewTop) * map.zoom;
  sprite.SetSize(screenSize);
  sprite.SetAngle(screenX, screenY);
  sprite.SetAlpha(int(alpha * 255.0f));
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const int oldBlend = vb.blendMode;
  vb.blendMode = 1;
  vb.SetTexture(sprite.texture);
  for (const CTexturedSprite& q : sprite.quads)
    if (q.IsOnScreen()) q.Queue();
  vb.Flush();
  vb.blendMode = oldBlend == 1 ? 0 : oldBlend;
  GetRenderDevice().SetNormalBlend();
}
