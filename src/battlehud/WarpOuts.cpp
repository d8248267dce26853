#include "battlehud/WarpOuts.h"

#include <cmath>

#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "engine/Textures.h"

GUI_BS_WarpOutManager& GUI_BS_WarpOutManager::Instance() {
  static GUI_BS_WarpOutManager manager;
  return manager;
}

GUI_BS_WarpOutManager::~GUI_BS_WarpOutManager() = default;

void GUI_BS_WarpOutManager::Add(float size, float x, float y) {
  if (!std::isfinite(size) || !std::isfinite(x) || !std::isfinite(y)) return;
  WarpOutFlash f;
  f.x = x;
  f.y = y;
  f.size = size;
  flashes.push_back(f);
}

void GUI_BS_WarpOutManager::Draw() {
  drawnLastFrame = 0;
  if (flashes.empty()) return;
  const float ms = HudBattleFrameMs();
  const float zoom = GUI_BS_Map::Instance().zoom;
  // Looked up each time: the texture manager may have been rebuilt since the last flash.
  HudBeginKind(FindOrLoadTexture("warpout.dds"), 1);
  for (auto it = flashes.begin(); it != flashes.end();) {
    WarpOutFlash& f = *it;
    f.age += ms;
    if (f.age > kLifeMs) {
      it = flashes.erase(it);
      continue;
    }
    const float t = f.age / kLifeMs;
    f.drawnSide = (f.size + t * f.size * 2.0f) * zoom;
    f.drawnAlpha = int((1.0f - t) * 255.0f);
    float sx, sy;
    HudWorldToScreen(f.x, f.y, &sx, &sy);
    if (HudSprite(sx, sy, f.drawnSide, f.drawnSide, 0.0f, 1.0f, 0.0f,
                  (uint32_t(f.drawnAlpha) << 24) | 0x00FFFFFFu))
      ++drawnLastFrame;
    ++it;
  }
  HudEndKind();
}

void GUI_BS_WarpOutManager::Clear() { flashes.clear(); }
