#include "battlehud/UnitOverlays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/EffectsCommon.h"
#include "effects/PostProcessing.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"

namespace {
constexpr uint32_t kKindColours[3] = {0x001212E0u, 0x00E01212u, 0x0012E012u};
constexpr const char* kKindLabels[3] = {"DAMFEED_SHIELD", "DAMFEED_ARMOR", "DAMFEED_INTERNAL"};

// Full, then fading out over the last fifth of the life.
float FadeAlpha(float t) { return t > 0.8f ? std::clamp(1.0f - (t - 0.8f) * 5.0f, 0.0f, 1.0f) : 1.0f; }

uint32_t WithAlpha(uint32_t rgb, float alpha) {
  return (uint32_t(std::clamp(alpha, 0.0f, 1.0f) * 255.0f) << 24) | (rgb & 0x00FFFFFFu);
}

// Left-aligned text laid out by the text renderer, each glyph cut to the part of its cell
// that shows: a glyph fills a fraction of its cell, and a hundred numbers at once would
// otherwise cost the software renderer a third of a screen. Queued on the shared vertex
// buffer; false (nothing queued) when the font cannot be cut so.
bool QueueTightText(const char* s, float x, float y, uint32_t colour) {
  TextRenderer& text = GetTextRenderer();
  const LibFont* font = text.CurrentFont();
  platform::Texture* texture = font && font->texture ? font->texture->Texture() : nullptr;
  if (!texture) return false;
  return text.LayOutGlyphs(0, s, x, y, colour, 0.0f,
                           [texture](const GVertex(&quad)[4]) { QueueTight(quad, texture, 0); });
}
}  // namespace

// ---- Damage numbers ----

GUI_BS_DamageFeedbackPool& GUI_BS_DamageFeedbackPool::Instance() {
  static GUI_BS_DamageFeedbackPool pool;
  return pool;
}

void GUI_BS_DamageFeedbackPool::Add(const SIM_BattleUnit* unit, float amount, int kind, float ox, float oy) {
  if (!GetBattleViewFlags().showDamage) return;
  if (!unit) {
    ZT_ASSERT(unit != nullptr);
    return;
  }
  if (kind < 0 || kind > 2 || !std::isfinite(amount)) return;
  for (GUI_BS_DamageFeedback& r : records) {
    if (r.active) continue;
    r = GUI_BS_DamageFeedback{};
    r.active = true;
    r.unit = unit;
    r.offsetX = ox;
    r.offsetY = oy;
    r.colour = 0xFF000000u | kKindColours[kind];
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s -%d", GetTranslation(kKindLabels[kind]).c_str(), int(amount));
    r.text = buf;
    pending = &r;
    return;
  }
  // A full pool shows no number for this hit.
}

void GUI_BS_DamageFeedbackPool::CompletePending(const SIM_BattleUnit* unit, float x, float y) {
  if (pending && pending->unit == unit) {
    pending->fixed = true;
    pending->fixedX = x;
    pending->fixedY = y;
  }
  pending = nullptr;
}

void GUI_BS_DamageFeedbackPool::Draw(const HudLiveUnits& live, float frameMs) {
  if (ActiveCount() == 0) return;
  TextRenderer& text = GetTextRenderer();
  text.SetFont("18.dds", 16.0f);
  // The glyphs go on the shared buffer, drawn with the blend the text would have.
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const int blend = vb.blendMode;
  vb.blendMode = 2;
  if (const LibFont* font = text.CurrentFont()) vb.SetTexture(font->texture);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  for (GUI_BS_DamageFeedback& r : records) {
    if (!r.active) continue;
    // A unit that is gone (or destroyed) takes its numbers with it.
    if (!live.IsLive(r.unit) || r.unit->GetState() == US_DESTROYED) {
      r.active = false;
      r.unit = nullptr;
      if (pending == &r) pending = nullptr;
      continue;
    }
    r.elapsed += frameMs;
    if (r.elapsed > kLifeMs) {
      r.active = false;
      r.unit = nullptr;
      if (pending == &r) pending = nullptr;
      continue;
    }
    const float t = r.elapsed / kLifeMs;
    float wx = r.fixedX, wy = r.fixedY;
    if (!r.fixed) r.unit->LocalToWorld(r.offsetX, r.offsetY, &wx, &wy);
    if (map.IsOffScreen(wx, wy, 100.0f)) continue;
    float sx, sy;
    HudWorldToScreen(wx, wy, &sx, &sy);
    const uint32_t colour = WithAlpha(r.colour, FadeAlpha(t));
    if (!QueueTightText(r.text.c_str(), sx, sy - 48.0f * t, colour))
      text.Print(0, r.text.c_str(), sx, sy - 48.0f * t, colour);
  }
  text.Flush();
  // At the font's own size glyphs map 1:1 to pixels, sampled exactly (as the text's own).
  const LibFont* font = text.CurrentFont();
  const bool point = font && text.Size() == float(font->baseSize);
  D3DEngine& e = GetRenderDevice();
  if (point) e.SetPointFiltering(true);
  vb.Flush();
  if (point) e.SetPointFiltering(false);
  vb.blendMode = blend;
}

void GUI_BS_DamageFeedbackPool::Clear() {
  for (GUI_BS_DamageFeedback& r : records) r = GUI_BS_DamageFeedback{};
  pending = nullptr;
}

int GUI_BS_DamageFeedbackPool::ActiveCount() const {
  return int(
      std::count_if(records.begin(), records.end(), [](const GUI_BS_DamageFeedback& r) { return r.active; }));
}

// ---- Floating texts ----

GUI_BS_FloatingTexts& GUI_BS_FloatingTexts::Instance() {
  static GUI_BS_FloatingTexts texts;
  return texts;
}

void GUI_BS_FloatingTexts::Add(const std::string& text, float x, float y) {
  GUI_BS_FloatingText f;
  f.x = x;
  f.y = y;
  f.text = text;
  TextRenderer& r = GetTextRenderer();
  r.SetFont("18.dds", 16.0f);
  f.width = float(r.TextWidth(text.c_str()));
  texts.push_back(std::move(f));
}

void FloatingTextAdd(const std::string& text, float x, float y) {
  GUI_BS_FloatingTexts::Instance().Add(text, x, y);
}

void GUI_BS_FloatingTexts::Draw(float frameMs) {
  if (texts.empty()) return;
  TextRenderer& r = GetTextRenderer();
  r.SetFont("18.dds", 16.0f);
  for (auto it = texts.begin(); it != texts.end();) {
    it->elapsed += frameMs;
    if (it->elapsed > kLifeMs) {
      it = texts.erase(it);
      continue;
    }
    const float t = it->elapsed / kLifeMs;
    float sx, sy;
    HudWorldToScreen(it->x, it->y, &sx, &sy);
    it->drawnY = sy - kRisePixels * t;
    r.Print(0, it->text.c_str(), sx - it->width * 0.5f, it->drawnY, WithAlpha(0x00FFFFFFu, FadeAlpha(t)));
    ++it;
  }
  r.Flush();
}

// ---- Health discs ----

GUI_BS_HealthDisc::GUI_BS_HealthDisc(float internalMax, float armourMax, float shieldMax, float r)
    : radius(r) {
  const float total = internalMax + armourMax + shieldMax;
  // No pools at all: nothing to split (and no division by zero).
  valid = std::isfinite(total) && total > 0.0f && std::isfinite(r);
  if (!valid) return;
  share1 = armourMax / total;
  share2 = shieldMax / total;
  share0 = 1.0f - share1 - share2;
}

GUI_BS_HealthDisc::GUI_BS_HealthDisc(const SIM_BattleUnit* unit)
    : GUI_BS_HealthDisc(unit && unit->moduleManager ? unit->moduleManager->totalMaxHitPoints : 0.0f,
                        unit && unit->moduleManager ? unit->moduleManager->totalMaxArmour : 0.0f,
                        unit && unit->moduleManager ? unit->moduleManager->totalMaxShields : 0.0f,
                        unit ? unit->size * 0.75f : 0.0f) {}

int GUI_BS_HealthDisc::Segments(float zoom) const {
  return int(std::clamp(radius * zoom / 100.0f, 0.0f, 1.0f) * 86.0f) + 4;
}

int GUI_BS_HealthDisc::Arcs(float internalFraction, float armourFraction, float shieldFraction, float zoom,
                            std::array<Arc, 4>& out) const {
  if (!valid) return 0;
  auto frac = [](float f) { return std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) : 0.0f; };
  const float parts[3] = {frac(internalFraction) * share0, frac(armourFraction) * share1,
                          frac(shieldFraction) * share2};
  const float lost = 1.0f - parts[0] - parts[1] - parts[2];
  const float shares[4] = {parts[0], parts[1], parts[2], lost};
  const uint32_t colours[4] = {kGreen, kRed, kBlue, kLost};
  const int segments = Segments(zoom);
  int n = 0;
  float at = 0.0f;
  for (int i = 0; i < 4; ++i) {
    const float sweep = i == 3 ? 360.0f - at : shares[i] * 360.0f;
    if (sweep <= 0.01f) continue;
    out[n].from = at;
    out[n].sweep = sweep;
    out[n].colour = colours[i];
    out[n].triangles = std::max(1, int(float(segments) * sweep / 360.0f));
    at += sweep;
    ++n;
  }
  return n;
}

namespace {
// A part of the screen a unit's opaque layer covers this frame, with its bounds.
struct Cover {
  CoveredPart part;
  float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
};

void AddCovers(GUI_BS_Unit* visual, std::vector<Cover>* out) {
  CoveredPart parts[GUI_BS_Unit::kMostCoveredParts];
  const int n = visual->CoveredParts(parts);
  for (int i = 0; i < n; ++i) {
    if (!parts[i].valid) continue;
    Cover c;
    c.part = parts[i];
    c.left = c.right = parts[i].x[0];
    c.top = c.bottom = parts[i].y[0];
    for (int k = 1; k < 4; ++k) {
      c.left = std::min(c.left, parts[i].x[k]);
      c.right = std::max(c.right, parts[i].x[k]);
      c.top = std::min(c.top, parts[i].y[k]);
      c.bottom = std::max(c.bottom, parts[i].y[k]);
    }
    out->push_back(c);
  }
}

// What the units drawn later this frame cover, gathered once for all the discs; empty
// outside the discs' layer (a disc then looks at its own unit alone).
std::vector<Cover>& FrameCovers() {
  static std::vector<Cover> covers;
  return covers;
}

// The covers that reach into the disc round (cx, cy): the frame's, else its own unit's.
void CoversNear(const SIM_BattleUnit* unit, float cx, float cy, float outer, std::vector<const Cover*>* out) {
  out->clear();
  static std::vector<Cover> own;
  const std::vector<Cover>* from = &FrameCovers();
  if (from->empty()) {
    own.clear();
    auto* visual = dynamic_cast<GUI_BS_Unit*>(unit->visual.get());
    // Only a visual the unit manager draws covers anything.
    const std::vector<GUI_BS_Unit*>& drawn = GUI_BS_UnitManager::Instance().units;
    if (visual && !visual->sprites.empty() && std::find(drawn.begin(), drawn.end(), visual) != drawn.end())
      AddCovers(visual, &own);
    from = &own;
  }
  for (const Cover& c : *from)
    if (c.right > cx - outer && c.left < cx + outer && c.bottom > cy - outer && c.top < cy + outer)
      out->push_back(&c);
}

// Where the ray from (cx, cy) along (dx, dy) runs inside a covered part: [*in, *out];
// false when it never does.
bool RayInside(const CoveredPart& c, float cx, float cy, float dx, float dy, float* in, float* out) {
  float turn = 0.0f;
  for (int i = 0; i < 4; ++i) turn += c.x[i] * c.y[(i + 1) % 4] - c.x[(i + 1) % 4] * c.y[i];
  if (std::fabs(turn) < 1.0f) return false;
  const float inside = turn > 0.0f ? 1.0f : -1.0f;
  float lo = 0.0f, hi = 1e9f;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    const float ex = c.x[j] - c.x[i], ey = c.y[j] - c.y[i];
    // Inside this edge where f0 + t g >= 0.
    const float f0 = inside * (ex * (cy - c.y[i]) - ey * (cx - c.x[i]));
    const float g = inside * (ex * dy - ey * dx);
    if (g > 0.0f)
      lo = std::max(lo, -f0 / g);
    else if (g < 0.0f)
      hi = std::min(hi, f0 / -g);
    else if (f0 < 0.0f)
      return false;
  }
  *in = lo;
  *out = hi;
  return lo <= hi && hi < 1e9f;
}

// The disc's arcs less what the covers hold. Each fan triangle becomes the quad between
// two points on each of its rays: the inner one where the cover round the centre ends,
// the outer one where a cover holding the rim begins. A point is shared by the two
// triangles of its ray and lies, with the matching point of each, inside one cover, so
// what is left out of a triangle (the part round the centre, the part at the rim) lies
// in one convex cover and is drawn over.
void QueueDiscLessCovered(float cx, float cy, float outer, const GUI_BS_HealthDisc::Arc* arcs, int n,
                          const std::vector<const Cover*>& covers) {
  constexpr float kDegToRad = 3.14159265358979f / 180.0f;
  constexpr float kNone = -1.0f;
  static std::vector<float> rayX, rayY, enter, leave, inner, outerAt, deep, rim;  // one thread draws
  static std::vector<uint32_t> colours;
  rayX.clear(), rayY.clear(), colours.clear();
  // Every arc's rays clockwise, an arc's last ray being the next arc's first.
  for (int i = 0; i < n; ++i) {
    const int k0 = arcs[i].triangles;
    const float step = arcs[i].sweep / float(k0);
    for (int k = 0; k <= k0; ++k) {
      if (k == k0 && i + 1 < n) break;
      const float a = (k == k0 ? arcs[i].from + arcs[i].sweep : arcs[i].from + step * float(k)) * kDegToRad;
      rayX.push_back(std::sin(a));
      rayY.push_back(-std::cos(a));
      if (k < k0) colours.push_back(arcs[i].colour);
    }
  }
  const size_t rays = rayX.size(), segments = colours.size(), m = covers.size();
  if (segments == 0 || rays != segments + 1) return;
  // Per ray and cover: how far the cover holds the centre's side (kNone: it does not),
  // and where it begins when it holds the rim.
  enter.assign(rays * m, kNone);
  leave.assign(rays * m, kNone);
  for (size_t k = 0; k < rays; ++k)
    for (size_t h = 0; h < m; ++h) {
      float in, out;
      if (!RayInside(covers[h]->part, cx, cy, rayX[k], rayY[k], &in, &out)) continue;
      if (in <= 0.0f) leave[k * m + h] = std::min(out, outer);
      if (in <= outer && out >= outer) enter[k * m + h] = in;
    }
  // Per triangle, the deepest reach from the centre one cover holds on both its rays,
  // and the nearest start one cover holding both its rim points gives.
  deep.assign(segments, 0.0f);
  rim.assign(segments, 0.0f);
  for (size_t j = 0; j < segments; ++j) {
    float best = outer * 2.0f;
    for (size_t h = 0; h < m; ++h) {
      const float a = leave[j * m + h], b = leave[(j + 1) * m + h];
      if (a > 0.0f && b > 0.0f) deep[j] = std::max(deep[j], std::min(a, b));
      const float p = enter[j * m + h], q = enter[(j + 1) * m + h];
      if (p >= 0.0f && q >= 0.0f) best = std::min(best, p + q);
    }
    rim[j] = best;  // above 2 x outer: no cover holds the rim
  }
  // The first and last rays are the same ray round the full circle.
  inner.assign(rays, 0.0f);
  outerAt.assign(rays, outer);
  for (size_t k = 0; k < rays; ++k) {
    const size_t before = k > 0 ? k - 1 : segments - 1, after = k < segments ? k : 0;
    inner[k] = std::min(deep[before], deep[after]);
    // The farther of the two triangles' starts on this ray, inside both their covers.
    float start = 0.0f;
    for (size_t j : {before, after}) {
      if (rim[j] > outer * 2.0f) {
        start = outer;
        break;
      }
      float need = outer;
      for (size_t h = 0; h < m; ++h) {
        const float p = enter[j * m + h], q = enter[(j + 1) * m + h];
        if (p >= 0.0f && q >= 0.0f && p + q == rim[j]) {
          need = enter[k * m + h];
          break;
        }
      }
      start = std::max(start, need);
    }
    outerAt[k] = std::max(inner[k], std::min(start, outer));
  }
  for (size_t j = 0; j < segments; ++j) {
    const size_t k = j + 1;
    if (inner[j] >= outerAt[j] && inner[k] >= outerAt[k]) continue;
    HudBandQuad(cx + rayX[j] * inner[j], cy + rayY[j] * inner[j], cx + rayX[j] * outerAt[j],
                cy + rayY[j] * outerAt[j], cx + rayX[k] * inner[k], cy + rayY[k] * inner[k],
                cx + rayX[k] * outerAt[k], cy + rayY[k] * outerAt[k], colours[j]);
  }
}
}  // namespace

bool GUI_BS_HealthDisc::Draw(const HudLiveUnits& live, const SIM_BattleUnit* unit, bool* drawn) {
  if (drawn) *drawn = false;
  if (!HudUnitShowable(live, unit)) return false;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (map.IsOffScreen(unit->x, unit->y, 200.0f)) return true;
  GUI_BS_HealthDisc disc(unit);
  const SIM_ModuleManager* m = unit->moduleManager.get();
  if (!m) return true;
  std::array<Arc, 4> arcs;
  const int n = disc.Arcs(m->healthFraction, m->armourFraction, m->shieldFraction, map.zoom, arcs);
  float sx, sy;
  HudWorldToScreen(unit->x, unit->y, &sx, &sy);
  // The unit's own opaque art, drawn later, covers the middle of its disc: only what lies
  // round it would show.
  const float outer = disc.radius * map.zoom;
  static std::vector<const Cover*> covers;
  CoversNear(unit, sx, sy, outer, &covers);
  if (!covers.empty() && n > 0) {
    QueueDiscLessCovered(sx, sy, outer, arcs.data(), n, covers);
  } else {
    for (int i = 0; i < n; ++i)
      HudFan(sx, sy, outer, arcs[i].from, arcs[i].sweep, arcs[i].triangles, arcs[i].colour);
  }
  if (drawn) *drawn = n > 0;
  return true;
}

bool HealthDiscWanted(const SIM_BattleUnit* unit, bool showHealth) {
  // A squad has no picture of its own (its soldiers carry the discs), and a unit without
  // a visual is not on the battlefield to be looked at.
  return unit && unit->IsSingleUnit() && unit->visual && (showHealth || unit->selected);
}

int DrawHealthDiscs() {
  const BattleViewFlags& flags = GetBattleViewFlags();
  if (!flags.showHud || !BattleExists() || !GetBattle().playerArmy) return 0;
  const SIM_BattleArmy* army = GetBattle().playerArmy;
  HudLiveUnits live;
  live.Refresh();
  std::vector<const SIM_BattleUnit*> shown;
  // The units layer draws over the discs: what its opaque layers cover is left out of them.
  std::vector<Cover>& covers = FrameCovers();
  covers.clear();
  for (GUI_BS_Unit* visual : GUI_BS_UnitManager::Instance().units)
    if (visual && !visual->sprites.empty()) AddCovers(visual, &covers);
  HudBeginKind(nullptr, 0);
  for (const SIM_BattleUnit* u : army->allUnits) {
    if (!HealthDiscWanted(u, flags.showHealth)) continue;
    bool drawn = false;
    GUI_BS_HealthDisc::Draw(live, u, &drawn);
    if (drawn) shown.push_back(u);
  }
  HudEndKind();
  covers.clear();
  // At night each disc also lights its ground: one white disc into the light map.
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  if (!shown.empty() && LightmapEnabled() && pp.BeginLightmapDraw()) {
    HudBeginKind(nullptr, 0);
    const float zoom = GUI_BS_Map::Instance().zoom;
    for (const SIM_BattleUnit* u : shown) {
      GUI_BS_HealthDisc disc(u);
      float sx, sy;
      HudWorldToScreen(u->x, u->y, &sx, &sy);
      HudFan(sx, sy, disc.radius * zoom, 0.0f, 360.0f, disc.Segments(zoom), 0xFFFFFFFFu);
    }
    HudEndKind();
    pp.RestoreTempRT();
  }
  return int(shown.size());
}

void DrawDamageNumbers() {
  GUI_BS_DamageFeedbackPool& pool = GUI_BS_DamageFeedbackPool::Instance();
  if (pool.ActiveCount() == 0) return;
  HudLiveUnits live;
  live.Refresh();
  pool.Draw(live, HudBattleFrameMs());
}

void DrawFloatingTexts() { GUI_BS_FloatingTexts::Instance().Draw(HudBattleFrameMs()); }
