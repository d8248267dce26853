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
// The radius round the unit's screen position its body will cover opaquely this frame.
float CoveredByBody(const SIM_BattleUnit* unit) {
  auto* visual = dynamic_cast<GUI_BS_Unit*>(unit->visual.get());
  if (!visual || visual->sprites.empty()) return 0.0f;
  // Only a visual the unit manager draws covers anything.
  const std::vector<GUI_BS_Unit*>& drawn = GUI_BS_UnitManager::Instance().units;
  if (std::find(drawn.begin(), drawn.end(), visual) == drawn.end()) return 0.0f;
  return visual->CoveredRadius();
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
  // The unit's own opaque art, drawn later, covers the middle of its disc: only the ring
  // round it would show.
  const float outer = disc.radius * map.zoom, inner = std::min(CoveredByBody(unit), outer);
  for (int i = 0; i < n; ++i) {
    if (inner > 0.0f)
      HudBand(sx, sy, inner, outer, arcs[i].from, arcs[i].sweep, arcs[i].triangles, arcs[i].colour);
    else
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
  HudBeginKind(nullptr, 0);
  for (const SIM_BattleUnit* u : army->allUnits) {
    if (!HealthDiscWanted(u, flags.showHealth)) continue;
    bool drawn = false;
    GUI_BS_HealthDisc::Draw(live, u, &drawn);
    if (drawn) shown.push_back(u);
  }
  HudEndKind();
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
