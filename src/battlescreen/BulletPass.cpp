#include "battlescreen/BulletPass.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/LightMapSeam.h"
#include "engine/D3DEngine.h"
#include "engine/Sprites.h"

namespace {
// Tracer tints by the weapon's colour id: white-gold, red, green, blue.
constexpr uint32_t kTints[4] = {0xFFFFF0C0u, 0xFFFF6050u, 0xFF80FF70u, 0xFF80B0FFu};

template <typename Visit>
void ForEachBullet(Visit visit) {
  if (!BattleExists()) return;
  SIM_Battle& battle = GetBattle();
  for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy}) {
    if (!army) continue;
    for (SIM_BattleUnit* u : army->allUnits) {
      if (!u || !u->moduleManager) continue;
      for (SIM_Module* m : u->moduleManager->weapons) {
        auto* gun = dynamic_cast<SIM_KineticWeaponComponent*>(m);
        if (!gun || gun->invisibleBullets) continue;
        for (const SIM_Bullet& b : gun->bullets)
          if (b.alive && b.launchDelay <= 0.0f) visit(*gun, b);
      }
    }
  }
}

// Past the weapon's range a bullet fades out over its last stretch.
float BulletFade(const SIM_Bullet& b) {
  if (b.fadeEnd > b.fadeStart && b.travelled > b.fadeStart)
    return std::clamp(1.0f - (b.travelled - b.fadeStart) / (b.fadeEnd - b.fadeStart), 0.0f, 1.0f);
  return 1.0f;
}

// The bullet's quad in world units: its tracer (glow false) or its glow.
void QueueBullet(const SIM_KineticWeaponComponent& gun, const SIM_Bullet& b, bool glow) {
  const float fade = BulletFade(b);
  const uint32_t tint = kTints[std::clamp(gun.colourId, 0, 3)];
  const uint32_t alpha = static_cast<uint32_t>(fade * (glow ? 160.0f : 255.0f));
  GVertex v[4];
  const float w = std::max(gun.bulletWidth, 1.0f), h = std::max(gun.bulletHeight, 2.0f);
  if (glow)
    PlaceQuad(v, h * 0.75f, h * 0.75f, b.x, b.y, b.heading);
  else
    PlaceQuad(v, w, h, b.x, b.y, b.heading);
  const float u0 = glow ? 0.5f : 0.0f, u1 = glow ? 1.0f : 0.5f;
  const float us[4] = {u0, u1, u0, u1}, vs[4] = {0, 0, 1, 1};
  for (int k = 0; k < 4; ++k) {
    v[k].u = us[k];
    v[k].v = vs[k];
    v[k].colour = (alpha << 24) | (tint & 0x00FFFFFFu);
  }
  GetGlobalVertexBuffer().AddVertices(v, 4);
}
}  // namespace

BulletPassStats& LastBulletPass() {
  static BulletPassStats stats;
  return stats;
}

void DrawBulletPass(bool lit) {
  BulletPassStats& stats = LastBulletPass();
  stats = BulletPassStats{};
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  static CLoadedTexture* texture = nullptr;
  LoadTextureByName("bullets.dds", &texture);
  vb.Flush();
  vb.SetTexture(texture);
  vb.blendMode = 0;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  ForEachBullet([&](const SIM_KineticWeaponComponent& gun, const SIM_Bullet& b) {
    QueueBullet(gun, b, false);
    ++stats.bullets;
    // Its light goes to the light map, which draws it later in the frame.
    if (lit && !map.IsOffScreen(b.x, b.y, 64.0f)) {
      LightProjectile(b.x, b.y, b.heading, kBulletLightRadius, BulletFade(b));
      ++stats.lights;
    }
  });
  vb.Flush();
  if (stats.bullets == 0) {
    vb.blendMode = 2;
    return;
  }
  vb.blendMode = 1;
  ForEachBullet([&](const SIM_KineticWeaponComponent& gun, const SIM_Bullet& b) {
    QueueBullet(gun, b, true);
    ++stats.glows;
  });
  vb.Flush();
  D3DEngine& e = GetRenderDevice();
  if (lit && e.HasTexture("rt_lightmap")) {
    e.RememberRenderTarget();
    if (e.SetRenderTarget("rt_lightmap")) {
      ForEachBullet([&](const SIM_KineticWeaponComponent& gun, const SIM_Bullet& b) {
        QueueBullet(gun, b, true);
        ++stats.lightMapGlows;
      });
      vb.Flush();
    }
    e.RestoreRenderTarget();
  }
  vb.blendMode = 2;
}

void DrawBulletsLayer() {
  SetCameraTransform(GUI_BS_Map::Instance());
  const BattleFrameHooks& hooks = GetBattleFrameHooks();
  DrawBulletPass(hooks.lightingMode && hooks.lightingMode() != 0);
  ClearCameraTransform();
}
