#include "battlescreen/Corpses.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
constexpr int kLastCell[3] = {31, 63, 95};

const SIM_MapSquare* SquareAt(float x, float y) {
  SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  return scenario ? scenario->GetSquareAt(x, y) : nullptr;
}

CorpseLightHook g_lightHook = nullptr;

bool Lit() {
  const BattleFrameHooks& h = GetBattleFrameHooks();
  return g_lightHook && h.lightingMode && h.lightingMode() != 0;
}

void RemoveSplat(GUI_BS_BloodSplat* splat) {
  if (!splat) return;
  auto& list = BloodSplatLayer::Get().splats;
  auto it = std::find(list.begin(), list.end(), splat);
  // The blood layer may have been emptied on its own already.
  if (it == list.end()) return;
  list.erase(it);
  delete splat;
}
}  // namespace

void SetCorpseLightHook(CorpseLightHook hook) { g_lightHook = hook; }

void GUI_BS_CameraRelative(const SIM_MapObject& o, float* sx, float* sy) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  *sx = (o.x - map.viewLeft) * map.zoom;
  *sy = (o.y - map.viewTop) * map.zoom;
}

CorpseManager& CorpseManager::Get() { return ProcessWide<CorpseManager>(); }

void CorpseManager::Clear() {
  if (ProcessWideIfAlive<BloodSplatLayer>())
    for (auto& c : corpses) RemoveSplat(c->splat);
  corpses.clear();
  guns.clear();
  perSquare.clear();
}

GUI_BS_Corpse* AddCorpse(float x, float y, float heading, float size, const int32_t* const colours[3],
                         int sheet) {
  CorpseManager& m = CorpseManager::Get();
  GUI_BS_UnitManager& random = GUI_BS_UnitManager::Instance();
  auto corpse = std::make_unique<GUI_BS_Corpse>();
  GUI_BS_Corpse* c = corpse.get();
  c->x = x;
  c->y = y;
  c->heading = heading;
  c->size = size;
  c->sheet = sheet == 2 ? 2 : 1;
  c->square = SquareAt(x, y);
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 4; ++k) c->colours[i][k] = colours && colours[i] ? colours[i][k] : 255;
    c->parts[i].SetSpriteTexture(c->sheet == 1 ? "soldier1_deathanim1.dds" : "soldier1_deathanim2.dds");
    SetSpriteFrame(kLastCell[i], &c->parts[i], 8, 16);
  }
  c->splat = AddBloodSplat(x, y);
  auto gun = std::make_unique<GUI_BS_ThrownGun>();
  gun->x = gun->startX = x;
  gun->y = gun->startY = y;
  gun->targetX = x + (random.NextRandom() * 2.0f - 1.0f) * GUI_BS_ThrownGun::kSpread;
  gun->targetY = y + (random.NextRandom() * 2.0f - 1.0f) * GUI_BS_ThrownGun::kSpread;
  gun->sprite.angle = random.NextRandom() * 360.0f;
  c->gun = gun.get();
  m.guns.push_back(std::move(gun));
  m.corpses.push_back(std::move(corpse));
  const int count = ++m.perSquare[c->square];
  const int limit = static_cast<int>(SIM_Options::Get().GetFloat("MAX_CORPSES_PER_SQUARE"));
  for (int excess = count - limit; limit > 0 && excess > 0; --excess) {
    // The oldest body lying near the new one fades; the new one itself never does.
    GUI_BS_Corpse* oldest = nullptr;
    for (auto& other : m.corpses) {
      GUI_BS_Corpse* o = other.get();
      if (o == c || o->state != GUI_BS_Corpse::LYING) continue;
      const float dx = o->x - x, dy = o->y - y;
      if (dx * dx + dy * dy >= CorpseManager::kNearSq) continue;
      if (!oldest || o->age > oldest->age) oldest = o;
    }
    if (!oldest) break;
    oldest->state = GUI_BS_Corpse::FADING;
    oldest->age = 0.0f;
  }
  return c;
}

void ClearCorpses() { CorpseManager::Get().Clear(); }

void GUI_BS_ThrownGun::Advance() {
  const float t = std::clamp(elapsed / kFlightMs, 0.0f, 1.0f);
  x = startX + t * (targetX - startX);
  y = startY + t * (targetY - startY);
  const float zoom = GUI_BS_Map::Instance().zoom;
  float sx = 0.0f, sy = 0.0f;
  GUI_BS_CameraRelative(*this, &sx, &sy);
  sprite.SetSize(size * zoom, size * zoom);
  sprite.SetPosition(sx, sy);
  if (!sprite.IsOnScreen()) return;
  const int a = std::clamp(static_cast<int>(CorpseManager::Get().globalAlpha * 255.0f * alpha), 0, 255);
  sprite.SetColour(a, 255, 255, 255);
  GetGlobalVertexBuffer().AddVertices(sprite.v, 4);
}

void CorpseManager::Advance(float frameMs, float fade) {
  globalAlpha = fade;
  for (auto& g : guns) g->elapsed += frameMs;
  for (auto& c : corpses) {
    c->age += frameMs;
    if (c->state == GUI_BS_Corpse::FADING) {
      if (c->age > GUI_BS_Corpse::kFadeMs) {
        c->state = GUI_BS_Corpse::GONE;
      } else {
        const float f = 1.0f - c->age / GUI_BS_Corpse::kFadeMs;
        if (c->splat) c->splat->alpha = f;
        if (c->gun) c->gun->alpha = f;
      }
    }
  }
}

void CorpseManager::Draw() {
  static FadeThreshold fixed;  // stays at 0.5
  const float fade = GUI_BS_FadeByZoom(fixed);
  if (fade <= 0.0f || (corpses.empty() && guns.empty())) return;
  Advance(BattleExists() ? GetBattle().frameStep : 0.0f, fade);
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  GetRenderDevice().SetNormalBlend();
  vb.SetTexture(FindOrLoadTexture("soldier_gun.dds"));
  for (auto& g : guns) g->Advance();
  vb.Flush();
  const float zoom = GUI_BS_Map::Instance().zoom;
  const bool lit = Lit();
  glowing = 0;
  for (int sheet = 1; sheet <= 2; ++sheet) {
    for (auto& c : corpses) {
      if (c->sheet != sheet || c->state == GUI_BS_Corpse::GONE) continue;
      const float f = c->state == GUI_BS_Corpse::FADING ? 1.0f - c->age / GUI_BS_Corpse::kFadeMs : 1.0f;
      float sx = 0.0f, sy = 0.0f;
      GUI_BS_CameraRelative(*c, &sx, &sy);
      for (int i = 0; i < 3; ++i) {
        CTexturedSprite& p = c->parts[i];
        p.SetSize(c->size * zoom, c->size * zoom);
        p.angle = c->heading;
        p.SetPosition(sx, sy);
        if (!p.IsOnScreen()) continue;
        const int a = std::clamp(static_cast<int>(fade * 255.0f * f * c->colours[i][3] / 255.0f), 0, 255);
        p.SetColour(a, c->colours[i][0], c->colours[i][1], c->colours[i][2]);
        vb.SetTexture(p.texture);
        vb.AddVertices(p.v, 4);
        // A fresh body glows in the dark for two seconds (the light map reads the quad
        // after this pass, in this colour).
        const float glow = fade * 255.0f * (1.0f - c->age / GUI_BS_Corpse::kGlowMs);
        if (lit && glow > 0.0f) {
          p.SetColour(static_cast<int>(glow), 255, 255, 255);
          g_lightHook(&p);
          ++glowing;
        }
      }
    }
  }
  vb.Flush();
  for (auto it = corpses.begin(); it != corpses.end();) {
    GUI_BS_Corpse* c = it->get();
    if (c->state != GUI_BS_Corpse::GONE) {
      ++it;
      continue;
    }
    // A body that goes takes its blood and gun with it.
    RemoveSplat(c->splat);
    guns.remove_if([c](const std::unique_ptr<GUI_BS_ThrownGun>& g) { return g.get() == c->gun; });
    auto sq = perSquare.find(c->square);
    if (sq != perSquare.end() && --sq->second <= 0) perSquare.erase(sq);
    it = corpses.erase(it);
  }
}

void DrawCorpses() { CorpseManager::Get().Draw(); }
