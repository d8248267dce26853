#include "battlescreen/Craters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/RenderObject.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "platform/Window.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {
bool g_cratersGone = false;

struct RingShape;
using RingKey = std::tuple<const platform::Texture*, int, int, int>;
std::map<RingKey, RingShape>& MeasuredRings();

void ProjectQuad(BaseSprite& sprite, float x, float y, float size) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float z = map.zoom;
  sprite.SetSize(size * z, size * z);
  sprite.SetPosition((x - map.viewLeft) * z, (y - map.viewTop) * z);
}
}  // namespace

// ---- Craters ----

std::string GUI_BS_Crater::PropTypeName(float size, float pick) {
  char name[32];
  if (size < 32.0f)
    std::snprintf(name, sizeof name, "smallimpact%d", std::clamp(static_cast<int>(pick * 4.0f), 0, 3) + 1);
  else
    std::snprintf(name, sizeof name, "bigimpact%d", std::clamp(static_cast<int>(pick * 3.0f), 0, 2) + 1);
  return name;
}

std::list<std::unique_ptr<GUI_BS_Crater>>& GUI_BS_Crater::List() {
  static struct Holder {
    std::list<std::unique_ptr<GUI_BS_Crater>> craters;
    ~Holder() { g_cratersGone = true; }
  } holder;
  return holder.craters;
}

void GUI_BS_Crater::Clear() {
  if (!g_cratersGone) List().clear();
}

GUI_BS_Crater* GUI_BS_Crater::CreateGroundBlast(bool forced, float size, float x, float y) {
  GUI_BS_MapTile* tile = GUI_BS_Map::Instance().TileAt(x, y);
  if (!tile || !std::isfinite(size)) return nullptr;
  GUI_BS_Crater* made = nullptr;
  if (!tile->noCraters && (tile->craters < kMaxPerSquare || forced)) {
    ++tile->craters;
    auto crater = std::make_unique<GUI_BS_Crater>();
    crater->craterSize = std::max(size, kMinSize);
    crater->rotation = 360.0f * WorldDetailRandom();
    crater->propTypeName = PropTypeName(crater->craterSize, WorldDetailRandom());
    GroundPropDesc desc;
    desc.x = x;
    desc.y = y;
    desc.size = crater->craterSize;
    desc.angle = crater->rotation;
    desc.propType = SIM_PropTypeManager::Get().TryFind(crater->propTypeName);
    if (!desc.propType) LogWarning(__FILE__, __LINE__, "Missing crater prop type " + crater->propTypeName);
    crater->InitFromDesc(desc);
    crater->group = GROUP_GROUND;
    crater->sprite.SetColour(0, 255, 255, 255);
    GroundPropAddToLayers(crater.get(), true);
    made = crater.get();
    List().push_back(std::move(crater));
  }
  if (size > 50.0f) {
    if (!forced && tile->groundBlasts + tile->explosionMarks > 3) return made;
    ++tile->groundBlasts;
    const float d = size / 8.0f;
    if (size > 90.0f) {
      const int n = std::min(2, static_cast<int>(3.0f * WorldDetailRandom())) + 2;
      for (int i = 0; i < n; ++i) {
        const float ox = -30.0f + 60.0f * WorldDetailRandom();
        const float oy = -30.0f + 60.0f * WorldDetailRandom();
        RequestBattleEffect("ground_emitter", "groundblast", x + ox, y + oy, d, 4000.0f);
      }
    } else {
      RequestBattleEffect("ground_emitter", "small_groundblast", x, y, d, 8000.0f);
    }
  }
  return made;
}

void GUI_BS_Crater::Advance(float frameMs) {
  if (!fading) return;
  elapsed += frameMs;
  alpha = std::min(elapsed / kFadeMs, 1.0f) * 255.0f;
  if (elapsed >= kFadeMs) {
    alpha = 255.0f;
    fading = false;
  }
  sprite.SetColour(static_cast<int>(alpha), 255, 255, 255);
}

void GUI_BS_Crater::AdvanceAll(float frameMs) {
  for (auto& c : List()) c->Advance(frameMs);
}

// ---- Distortion ----

GUI_BS_DistortionManager& GUI_BS_DistortionManager::Instance() {
  return ProcessWide<GUI_BS_DistortionManager>();
}

void GUI_BS_DistortionManager::AddShockwave(float x, float y, float startSize, float endSize, float duration,
                                            float peakAlpha) {
  if (!enabled || !(duration > 0.0f)) return;
  auto w = std::make_unique<Shockwave>();
  w->x = x;
  w->y = y;
  w->startSize = startSize;
  w->endSize = endSize;
  w->duration = duration;
  w->peakAlpha = std::clamp(peakAlpha, 0.0f, 1.0f);
  w->sprite.SetTextureByName("shockwave_distort.dds");
  shockwaves.push_back(std::move(w));
}

void GUI_BS_DistortionManager::AddShieldDistortion(GUI_BS_ShieldDistortion* record) {
  if (!enabled || !record) return;
  record->elapsed = 0.0f;
  // A second hit while it plays restarts it; it is never listed twice.
  if (std::find(shields.begin(), shields.end(), record) == shields.end()) shields.push_back(record);
}

void GUI_BS_DistortionManager::RemoveShieldDistortion(GUI_BS_ShieldDistortion* record) {
  shields.erase(std::remove(shields.begin(), shields.end(), record), shields.end());
}

void GUI_BS_DistortionManager::QueueHeat(GUI_BS_RenderObject* object) {
  if (object && static_cast<int>(heat.size()) < kMaxHeatObjects) heat.push_back(object);
}

void ForgetDistortionRings() { MeasuredRings().clear(); }

void GUI_BS_DistortionManager::Reset() {
  ForgetDistortionRings();
  enabled = SIM_Options::Get().IsOn("DISTORTION");
  shockwaves.clear();
  shields.clear();
  heat.clear();
  hazeClock = 0.0f;
  targetActive = false;
  drewThisFrame = false;
  drawnBox = Box();
  drawnBoxes.clear();
  drawnBoxes.clear();
  heldBoxes.clear();
  heldKnown = false;
  heldTarget = nullptr;
}

float GUI_BS_DistortionManager::ShieldAlpha(float t) {
  const float a = t < 0.25f ? t * 4.0f : 1.0f - (t - 0.25f) / 0.75f;
  return std::clamp(a, 0.0f, 1.0f) * 255.0f;
}

bool GUI_BS_DistortionManager::HasDistortion(bool desertHaze) const {
  return enabled && (!shockwaves.empty() || !shields.empty() || !heat.empty() || desertHaze);
}

bool GUI_BS_DistortionManager::BeginTarget() {
  if (targetActive) return true;
  D3DEngine& e = GetRenderDevice();
  if (!e.HasTexture("rt_distortion")) return false;
  e.RememberRenderTarget();
  if (!e.SetRenderTarget("rt_distortion")) {
    LogWarning(__FILE__, __LINE__, "Failed to set render target");
    e.RestoreRenderTarget();
    return false;
  }
  targetActive = true;
  drewThisFrame = true;
  // Neutral grey bends nothing. Only what the last pass drew needs clearing, when the
  // target is the one that pass drew into.
  const GTexture9* target = e.FindNamedTexture("rt_distortion");
  const void* device = target ? static_cast<const void*>(target->Get()) : nullptr;
  if (!heldKnown || heldTarget != device) {
    e.ClearTarget(0xFF808080u);
  } else if (!heldBoxes.empty()) {
    for (const Box& held : heldBoxes) {
      e.SetViewport(held.left, held.top, held.right, held.bottom);
      e.ClearTarget(0xFF808080u);
    }
    e.SetViewport(0, 0, target->Width(), target->Height());
  }
  heldKnown = true;
  heldTarget = device;
  heldBoxes.clear();
  if (e.IsAdditive()) e.SetNormalBlend();
  return true;
}

namespace {
GUI_BS_DistortionManager::Box ScreenBoxOf(const GVertex quad[4], float offsetX, float offsetY, float scale) {
  float l = quad[0].x, r = l, t = quad[0].y, b = t;
  for (int i = 1; i < 4; ++i) {
    l = std::min(l, quad[i].x);
    r = std::max(r, quad[i].x);
    t = std::min(t, quad[i].y);
    b = std::max(b, quad[i].y);
  }
  l = (l - offsetX) * scale;
  r = (r - offsetX) * scale;
  t = (t - offsetY) * scale;
  b = (b - offsetY) * scale;
  const D3DEngine& e = GetRenderDevice();
  return GUI_BS_DistortionManager::Box{std::max(0, static_cast<int>(std::floor(l))),
                                       std::max(0, static_cast<int>(std::floor(t))),
                                       std::min(e.ScreenWidth(), static_cast<int>(std::ceil(r)) + 1),
                                       std::min(e.ScreenHeight(), static_cast<int>(std::ceil(b)) + 1)};
}
}  // namespace

void GUI_BS_DistortionManager::GrowBoxByWorldQuad(const GVertex quad[4]) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GrowBoxBy(ScreenBoxOf(quad, map.viewLeft, map.viewTop, map.zoom));
}

void GUI_BS_DistortionManager::GrowBox(const BaseSprite& sprite) {
  GrowBoxBy(ScreenBoxOf(sprite.v, 0.0f, 0.0f, 1.0f));
}

void GUI_BS_DistortionManager::GrowBoxBy(const Box& box) {
  if (box.Empty()) return;
  // Boxes that overlap become one, so no pixel is bent twice.
  auto overlap = [](const Box& a, const Box& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
  };
  auto join = [](const Box& a, const Box& b) {
    return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
  };
  Box grown = box;
  for (size_t i = 0; i < drawnBoxes.size();) {
    if (overlap(drawnBoxes[i], grown)) {
      grown = join(grown, drawnBoxes[i]);
      drawnBoxes.erase(drawnBoxes.begin() + static_cast<std::ptrdiff_t>(i));
      i = 0;  // the larger box may now meet one passed over
    } else {
      ++i;
    }
  }
  drawnBoxes.push_back(grown);
  if (drawnBox.Empty()) {
    drawnBox = box;
    return;
  }
  drawnBox.left = std::min(drawnBox.left, box.left);
  drawnBox.top = std::min(drawnBox.top, box.top);
  drawnBox.right = std::max(drawnBox.right, box.right);
  drawnBox.bottom = std::max(drawnBox.bottom, box.bottom);
  // Too many to bend one by one: the box round them all.
  if (drawnBoxes.size() > kMaxBoxes) drawnBoxes.assign(1, drawnBox);
}

void GUI_BS_DistortionManager::GrowBoxToScreen() {
  const D3DEngine& e = GetRenderDevice();
  drawnBox = Box{0, 0, e.ScreenWidth(), e.ScreenHeight()};
  drawnBoxes.assign(1, drawnBox);
}

namespace {
// A ring's art measured from its texels, in fractions of its cell's half size round the
// cell's centre: the octagon |x|, |y| <= across, |x| + |y| <= diagonal that holds every
// shown texel, and the radius of the empty middle that holds none.
struct RingShape {
  float across = 1.0f, diagonal = 2.0f, inner = 0.0f;
  bool shows = true;  // false when no texel shows at all
};
std::map<RingKey, RingShape>& MeasuredRings() {
  static std::map<RingKey, RingShape> rings;
  return rings;
}

RingShape MeasureRing(platform::Texture* texture, int alphaAbove, int margin) {
  RingShape whole;
  platform::Device* d = GetRenderDevice().Device();
  if (!texture || !d || dynamic_cast<platform::NullDevice*>(d)) return whole;
  const int w = texture->Width(), h = texture->Height();
  std::vector<uint32_t> argb;
  if (w < 8 || h < 8 || platform::Failed(d->ReadPixels(texture, platform::Rect{0, 0, w, h}, &argb)))
    return whole;
  const float hw = float(w) * 0.5f, hh = float(h) * 0.5f;
  float across = 0.0f, diagonal = 0.0f, inner = 2.0f;
  bool any = false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (int(argb[size_t(y) * size_t(w) + size_t(x)] >> 24) <= alphaAbove) continue;
      any = true;
      // The texel spans [x, x + 1] by [y, y + 1]; filtering carries it 'margin' further.
      const float x0 = (float(x - margin) - hw) / hw, x1 = (float(x + 1 + margin) - hw) / hw;
      const float y0 = (float(y - margin) - hh) / hh, y1 = (float(y + 1 + margin) - hh) / hh;
      // Nothing past the cell's edges is drawn, whatever the filter's reach.
      const float fx = std::min(1.0f, std::max(std::fabs(x0), std::fabs(x1)));
      const float fy = std::min(1.0f, std::max(std::fabs(y0), std::fabs(y1)));
      across = std::max({across, fx, fy});
      diagonal = std::max(diagonal, fx + fy);
      const float nx = x0 > 0.0f ? x0 : (x1 < 0.0f ? -x1 : 0.0f);
      const float ny = y0 > 0.0f ? y0 : (y1 < 0.0f ? -y1 : 0.0f);
      inner = std::min(inner, std::hypot(nx, ny));
    }
  if (!any) return RingShape{0.0f, 0.0f, 0.0f, false};
  return RingShape{across, diagonal, inner, true};
}

// The art's texel alpha at and below which a ring drawn at 'alpha' (0..255) moves the
// offsets it is drawn over by less than a level: the offset map's colours are at most 127
// levels from grey.
int UnseenRingAlpha(int alpha) {
  if (alpha <= 0) return 255;
  return std::clamp(int(std::ceil(255.0f * 255.0f / (127.0f * float(alpha)))) - 1, 0, 255);
}

// The quad's point at (nx, ny) in its cell's half sizes round the centre.
GVertex RingPoint(const GVertex q[4], float nx, float ny) {
  return QuadPointAt(q, (nx + 1.0f) * 0.5f, (ny + 1.0f) * 0.5f);
}

// Whether a sprite of this alpha draws anything that moves an offset by a level; its
// shape when it does.
bool DistortionRingOf(const CTexturedSprite& sprite, RingShape* shape) {
  platform::Texture* texture = sprite.texture ? sprite.texture->Texture() : nullptr;
  const int alpha = int(sprite.v[0].colour >> 24);
  if (alpha <= 0) return false;
  *shape = RingShape();
  if (!texture) return true;
  const GVertex* q = sprite.v;
  const float across = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
  const float down = std::hypot(q[2].x - q[0].x, q[2].y - q[0].y);
  const float ratio =
      std::max(across > 0.0f ? std::fabs(q[1].u - q[0].u) * float(texture->Width()) / across : 0.0f,
               down > 0.0f ? std::fabs(q[2].v - q[0].v) * float(texture->Height()) / down : 0.0f);
  const RingKey key{texture, texture->Width(), UnseenRingAlpha(alpha), FilterReach(ratio, 0.0f)};
  auto found = MeasuredRings().find(key);
  if (found == MeasuredRings().end())
    found = MeasuredRings().emplace(key, MeasureRing(texture, std::get<2>(key), std::get<3>(key))).first;
  *shape = found->second;
  return shape->shows;
}

// Shock waves and shield hits are rings: where their art has no alpha nothing bends, so
// only the ring is drawn, the part between an octagon round the art and a polygon inside
// its empty middle, with the blend the target was set up with. Art without an empty
// middle round its cell's centre is drawn over the octagon round it.
void DrawDistortionSprite(const CTexturedSprite& sprite, const RingShape& ring) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const int blend = vb.blendMode;
  vb.blendMode = 2;
  vb.SetTexture(sprite.texture);
  if (ring.inner < 0.15f || !sprite.texture) {
    QueueTightOctagon(sprite, 0);
  } else {
    // Eight pieces between the outer octagon's corners and the points of the empty
    // middle's circle in the same directions (a polygon inside that circle).
    const float a = ring.across, c = std::clamp(ring.diagonal - ring.across, 0.0f, ring.across);
    const float xs[8] = {a, a, c, -c, -a, -a, -c, c}, ys[8] = {-c, c, a, a, c, -c, -a, -a};
    float ix[8], iy[8];
    for (int k = 0; k < 8; ++k) {
      const float len = std::hypot(xs[k], ys[k]);
      ix[k] = len > 0.0f ? xs[k] / len * ring.inner : 0.0f;
      iy[k] = len > 0.0f ? ys[k] / len * ring.inner : 0.0f;
    }
    for (int k = 0; k < 8; ++k) {
      const int n = (k + 1) % 8;
      if (xs[k] == xs[n] && ys[k] == ys[n]) continue;  // a square's corner: no edge between
      GVertex piece[4] = {RingPoint(sprite.v, xs[k], ys[k]), RingPoint(sprite.v, xs[n], ys[n]),
                          RingPoint(sprite.v, ix[k], iy[k]), RingPoint(sprite.v, ix[n], iy[n])};
      vb.AddVertices(piece, 4);
    }
  }
  vb.Flush();
  vb.blendMode = blend;
}
}  // namespace

void GUI_BS_DistortionManager::Draw(float frameMs) {
  drewThisFrame = false;
  drawnBox = Box();
  // Only this frame's drawing is bent; last frame's boxes are cleared away by BeginTarget.
  drawnBoxes.clear();
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  // Nothing listed and no haze: the pass neither switches targets nor clears.
  if (!HasDistortion(scenario && scenario->atmosphere == SIM_Scenario::ATMOSPHERE_DESERT)) return;
  GetGlobalVertexBuffer().Flush();
  for (auto& w : shockwaves) {
    w->elapsed += frameMs;
    const float t = w->elapsed / w->duration;
    if (t > 1.0f) continue;
    ProjectQuad(w->sprite, w->x, w->y, w->startSize + t * (w->endSize - w->startSize));
    if (!w->sprite.IsOnScreen()) continue;
    w->sprite.SetColour(static_cast<int>(ShockwaveAlpha(t, w->peakAlpha)), 255, 255, 255);
    RingShape ring;
    if (!DistortionRingOf(w->sprite, &ring) || !BeginTarget()) continue;
    DrawDistortionSprite(w->sprite, ring);
    GrowBox(w->sprite);
  }
  shockwaves.remove_if([](const std::unique_ptr<Shockwave>& w) { return w->elapsed > w->duration; });

  for (GUI_BS_ShieldDistortion* r : shields) {
    r->elapsed += frameMs;
    if (r->elapsed > r->duration || !r->unit) continue;
    ProjectQuad(r->sprite, r->unit->x, r->unit->y, r->size * 2.0f);
    if (!r->sprite.IsOnScreen()) continue;
    r->sprite.SetColour(static_cast<int>(ShieldAlpha(r->elapsed / r->duration)), 255, 255, 255);
    RingShape ring;
    if (!DistortionRingOf(r->sprite, &ring) || !BeginTarget()) continue;
    DrawDistortionSprite(r->sprite, ring);
    GrowBox(r->sprite);
  }
  shields.erase(std::remove_if(shields.begin(), shields.end(),
                               [](const GUI_BS_ShieldDistortion* r) { return r->elapsed > r->duration; }),
                shields.end());

  if (!heat.empty() && heatDrawer && BeginTarget()) {
    for (GUI_BS_RenderObject* o : heat) heatDrawer(o);
    GetGlobalVertexBuffer().Flush();
  }
  heat.clear();

  const SIM_Scenario* s = BattleExists() ? GetBattle().scenario : nullptr;
  if (enabled && s && s->atmosphere == SIM_Scenario::ATMOSPHERE_DESERT && BeginTarget()) {
    hazeClock += frameMs;
    if (hazeClock > kHazeCycleMs) hazeClock -= kHazeCycleMs;
    const float b = hazeClock / kHazeCycleMs;
    haze.SetTextureByName("heat_haze.dds");
    D3DEngine& e = GetRenderDevice();
    const float w = static_cast<float>(e.ScreenWidth()), h = static_cast<float>(e.ScreenHeight());
    haze.SetSize(w, w);
    haze.SetPosition(w * 0.5f, h * 0.5f);
    haze.SetUV(-b, -b, 1.0f - b, 1.0f - b);
    haze.SetColour(12, 255, 255, 255);
    e.SetAddressMode(platform::TADDRESS_WRAP, 0);
    haze.DrawDirect();
    e.SetAddressMode(platform::TADDRESS_CLAMP, 0);
    GrowBoxToScreen();
  }

  if (targetActive) {
    GetGlobalVertexBuffer().Flush();
    GetRenderDevice().RestoreRenderTarget();
    heldBoxes = drawnBoxes;
  }
  targetActive = false;
}

void ConnectCraters() {
  SetBattleWorldLayer(WL_DISTORTION, [] { GUI_BS_DistortionManager::Instance().Draw(WorldDetailFrameMs()); });
}
