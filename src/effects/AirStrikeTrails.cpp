#include "effects/AirStrikeTrails.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/TightQuads.h"
#include "effects/EffectsCommon.h"
#include "effects/FixedBlockPool.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
float FrameMs() { return EffectsFrameMs(); }
// Levels (of 255) a cloud's left-out rim may move a pixel by: the rim of alpha 3 of a
// puff drawn at the clouds' strongest.
constexpr float kCloudRimLevels = 2.4f;
// A glare's faint rim is left out where its art moves no pixel by more than this.
constexpr float kGlareRimLevels = 1.0f;

void UseNormalBlend(GVertexBuffer& vb) {
  if (vb.blendMode != 0) vb.Flush();
  vb.blendMode = 0;
}
}  // namespace

// ---- Air-strike trail ----

GUI_BS_AirStrikeTrailPool& GUI_BS_AirStrikeTrailPool::Instance() {
  return ProcessWide<GUI_BS_AirStrikeTrailPool>();
}

GUI_BS_AirStrikeTrailPool::GUI_BS_AirStrikeTrailPool() {
  // Cells from a stream of their own: building the pool must not move the effects' stream.
  uint32_t state = 0xA1257u;
  for (GUI_BS_AirStrikeTrailSprite& s : sprites) {
    state = state * 1103515245u + 12345u;
    // Smoke cells 8 to 18 of the 8 x 8 particle sheet.
    SetSpriteFrame(8 + int(((state >> 16) & 0x7FFFu) % 11u), &s.quad, 8, 8);
    s.size = 32.0f;
  }
}

void GUI_BS_AirStrikeTrailSprite::PoolInit() {
  GUI_BS_AirStrikeTrailPool& pool = GUI_BS_AirStrikeTrailPool::Instance();
  for (GUI_BS_AirStrikeTrailSprite& s : pool.sprites) s.active = false;
  pool.highestUsed = -1;
  pool.texture = FindOrLoadTexture("particles.dds");
}

int GUI_BS_AirStrikeTrailSprite::SpawnBurst(float x, float y) {
  GUI_BS_AirStrikeTrailPool& pool = GUI_BS_AirStrikeTrailPool::Instance();
  int started = 0;
  for (int i = 0; i < kPoolSize && started < kBurst; ++i) {
    GUI_BS_AirStrikeTrailSprite& s = pool.sprites[size_t(i)];
    if (s.active) continue;
    s.Start(x, y, float(started) / float(kBurst));
    pool.highestUsed = std::max(pool.highestUsed, i);
    ++started;
  }
  return started;
}

void GUI_BS_AirStrikeTrailSprite::Start(float x, float y, float t) {
  elapsed = 0.0f;
  world.worldX = x;
  world.worldY = y;
  active = true;
  waiting = true;
  world.parallax = 1.0f + t;
  alpha = std::clamp(1.0f - (1.0f + t) * 0.5f, 0.0f, 1.0f);
  delay = (1.0f - t) * 100.0f;
}

void GUI_BS_AirStrikeTrailSprite::Update() {
  if (!active) return;
  elapsed += FrameMs();
  if (waiting) {
    if (elapsed > delay) {
      waiting = false;
      elapsed = 0.0f;
    }
    return;
  }
  if (elapsed > kLifeMs) active = false;  // still drawn this once
  world.UpdateScreenPos();
  const float zoom = GUI_BS_Map::Instance().zoom;
  quad.SetSize(size * zoom, size * zoom);
  quad.SetPosition(world.screenX, world.screenY);
  if (!quad.IsOnScreen()) return;
  float shown = alpha;
  if (elapsed > 200.0f) shown *= std::max(0.0f, 1.0f - (elapsed - 200.0f) / 600.0f);
  quad.SetColour((uint32_t(std::clamp(shown, 0.0f, 1.0f) * 255.0f) << 24) | 0xFFFFFFu);
  quad.Queue();
}

void GUI_BS_AirStrikeTrailSprite::DrawAll() {
  GUI_BS_AirStrikeTrailPool& pool = GUI_BS_AirStrikeTrailPool::Instance();
  if (pool.highestUsed < 0) return;
  if (!pool.texture || !pool.texture->texture) pool.texture = FindOrLoadTexture("particles.dds");
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(pool.texture);
  UseNormalBlend(vb);
  for (int i = 0; i <= pool.highestUsed; ++i) pool.sprites[size_t(i)].Update();
  vb.Flush();
}

// ---- Clouds ----

GUI_BS_Atmosphere& GUI_BS_Atmosphere::Instance() { return ProcessWide<GUI_BS_Atmosphere>(); }

GUI_BS_Atmosphere::~GUI_BS_Atmosphere() = default;

void GUI_BS_Atmosphere::Init() {
  maxAlpha = SIM_Options::Get().GetFloat("OPTIONS_MAX_CLOUD_ALPHA");
  clouds.clear();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float cellW = map.mapWidth / 5.0f, cellH = map.mapHeight / 5.0f;
  for (int column = 0; column < 5; ++column)
    for (int row = 0; row < 5; ++row) {
      auto c = std::make_unique<GUI_BS_Cloud>();
      c->world.parallax = EffectsRandomRange(2.0f, 3.5f);
      c->width = EffectsRandomRange(1200.0f, 3000.0f);
      c->height = EffectsRandomRange(1200.0f, 3000.0f);
      SetSpriteFrame(EffectsRandomInt(4), &c->quad, 2, 2);
      c->quad.angle = EffectsRandomRange(0.0f, 360.0f);
      c->homeX = c->world.worldX = cellW * (float(column) + 0.5f);
      c->homeY = c->world.worldY = cellH * (float(row) + 0.5f);
      c->driftX = EffectsRandomRange(-0.02f, -0.01f);
      c->driftY = EffectsRandomRange(-0.02f, -0.01f);
      clouds.push_back(std::move(c));
    }
  texture = FindOrLoadTexture("clouds.dds");
}

void GUI_BS_Cloud::Update(float a, float frameMs) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  world.worldX += driftX * frameMs;
  world.worldY += driftY * frameMs;
  if (world.worldX < -width / 2.0f || world.worldY < -height / 2.0f) {
    if (map.zoom > 1.0f) {
      world.worldX = homeX;
      world.worldY = homeY;
    } else {
      world.worldX = width / 2.0f + map.mapWidth;
      world.worldY = height / 2.0f + map.mapHeight;
    }
  }
  world.UpdateScreenPos();
  quad.SetSize(width * map.zoom, height * map.zoom);
  quad.SetPosition(world.screenX, world.screenY);
  if (!quad.IsOnScreen()) return;
  const uint32_t alpha = uint32_t(std::clamp(a, 0.0f, 1.0f) * 255.0f);
  quad.SetColour(alpha << 24 | 0xFFFFFFu);
  // A puff's faint rim is lost under the cloud alpha (the fainter the clouds, the wider
  // the rim); the rest of its cell, the corners round the puff too, is empty sky that
  // would cost as much to draw as the cloud.
  const int rim = UnseenTexelAlpha(float(alpha) / 255.0f, kCloudRimLevels);
  if (rim < 255) QueueTightOctagon(quad, rim);
}

void GUI_BS_Atmosphere::Draw() {
  if (!SIM_Options::Get().IsOn("CLOUDS")) return;
  const SIM_Scenario* scenario = GUI_BS_Map::Instance().scenario;
  if (scenario && scenario->atmosphere == SIM_Scenario::ATMOSPHERE_DESERT) return;
  float a = 1.0f - std::clamp(GUI_BS_Map::Instance().zoom, 0.0f, 1.0f);
  if (a <= 0.0f || clouds.empty()) return;
  a = std::min(a, maxAlpha);
  if (!texture || !texture->texture) texture = FindOrLoadTexture("clouds.dds");
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(texture);
  UseNormalBlend(vb);
  const float frameMs = FrameMs();
  for (auto& c : clouds) {
    c->quad.texture = texture;  // its cell is measured in the sheet drawn with
    c->Update(a, frameMs);
  }
  vb.Flush();
  vb.blendMode = 2;
}

void GUI_BS_Atmosphere::Clear() { clouds.clear(); }

// ---- Blast glare ----

ZT_FIXED_POOL_ALLOCATION(GUI_BS_BlastGlare, GUI_BS_BlastGlare::kPoolSize)

void GUI_BS_BlastGlare::Spawn(float size, float durationMs, int variant, float x, float y) {
  if (auto* glare = new GUI_BS_BlastGlare(size, durationMs, variant == 1, x, y))
    GUI_BS_EffectsManager::Instance().Add(glare);
}

GUI_BS_BlastGlare::GUI_BS_BlastGlare(float size, float durationMs, bool lightOnly, float px, float py)
    : x(px), y(py), maxSize(3.0f * size), duration(durationMs), lightMapOnly(lightOnly) {
  layer = 1;
  sprite.SetTexture("blastglare.dds");
}

bool GUI_BS_BlastGlare::Step(float e) {
  elapsed += e;
  flickerTimer += e;
  while (flickerTimer > 6.0f) {
    flickerTimer -= 6.0f;
    brightness = flicker ? 0.9f : 1.0f;
    flicker = !flicker;
  }
  // A glare without a duration has nothing to show.
  const float p = duration > 0.0f ? elapsed / duration : 1.0f;
  if (p >= 1.0f) {
    alive = false;
    return false;
  }
  const float g = std::clamp(elapsed / (duration * 0.25f), 0.0f, 1.0f);
  shownSize = maxSize * g * GUI_BS_Map::Instance().zoom;
  const float h = p > 0.7f ? std::clamp((p - 0.7f) / 0.3f, 0.0f, 1.0f) : 0.0f;
  shownAlpha = int((255.0f - 255.0f * h) * brightness);
  return true;
}

void GUI_BS_BlastGlare::Draw() {
  if (!Step(FrameMs())) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  sprite.SetSize(shownSize);
  sprite.SetAngle((x - map.viewLeft) * map.zoom, (y - map.viewTop) * map.zoom);
  sprite.SetAlpha(shownAlpha);
  if (!sprite.IsVisible()) return;
  if (!lightMapOnly) {
    GVertexBuffer& vb = GetGlobalVertexBuffer();
    vb.SetTexture(sprite.texture);
    UseNormalBlend(vb);
    // Each quarter is a quarter disc: the far corner of its cell is empty, and the
    // fainter the glare, the wider the rim its strength hides.
    const int rim = UnseenTexelAlpha(float(shownAlpha) / 255.0f, kGlareRimLevels);
    if (rim < 255)
      for (const CTexturedSprite& q : sprite.quads)
        if (q.IsOnScreen()) QueueTightOctagon(q, rim);
    // The next effect may change the blend without flushing.
    vb.Flush();
  }
  // Both variants light the light map when the battle is lit.
  if (LightmapEnabled()) DrawListAdd(2, &sprite);
}
