#include "battlescreen/Craters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
#include "platform/Window.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {
bool g_cratersGone = false;

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

void GUI_BS_DistortionManager::Reset() {
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
// Shock waves and shield hits are rings: where their art has no alpha nothing bends, so
// only the outline round the ring is drawn (the cell's corners are left out), with the
// blend the target was set up with.
void DrawDistortionSprite(const CTexturedSprite& sprite) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const int blend = vb.blendMode;
  vb.blendMode = 2;
  vb.SetTexture(sprite.texture);
  QueueTightOctagon(sprite, 0);
  vb.Flush();
  vb.blendMode = blend;
}
}  // namespace

void GUI_BS_DistortionManager::Draw(float frameMs) {
  drewThisFrame = false;
  drawnBox = Box();
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  // Nothing listed and no haze: the pass neither switches targets nor clears.
  if (!HasDistortion(scenario && scenario->atmosphere == SIM_Scenario::ATMOSPHERE_DESERT)) return;
  GetGlobalVertexBuffer().Flush();
  for (auto& w : shockwaves) {
    w->elapsed += frameMs;
    const float t = w->elapsed / w->duration;
    if (t > 1.0f) continue;
    ProjectQuad(w->sprite, w->x, w->y, w->startSize + t * (w->endSize - w->startSize));
    if (!w->sprite.IsOnScreen() || !BeginTarget()) continue;
    w->sprite.SetColour(static_cast<int>(ShockwaveAlpha(t, w->peakAlpha)), 255, 255, 255);
    DrawDistortionSprite(w->sprite);
    GrowBox(w->sprite);
  }
  shockwaves.remove_if([](const std::unique_ptr<Shockwave>& w) { return w->elapsed > w->duration; });

  for (GUI_BS_ShieldDistortion* r : shields) {
    r->elapsed += frameMs;
    if (r->elapsed > r->duration || !r->unit) continue;
    ProjectQuad(r->sprite, r->unit->x, r->unit->y, r->size * 2.0f);
    if (!r->sprite.IsOnScreen() || !BeginTarget()) continue;
    r->sprite.SetColour(static_cast<int>(ShieldAlpha(r->elapsed / r->duration)), 255, 255, 255);
    DrawDistortionSprite(r->sprite);
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
