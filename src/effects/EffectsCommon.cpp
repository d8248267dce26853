#include "effects/EffectsCommon.h"

#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battlescreen/BattleMap.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "engine/VertexBuffer.h"

namespace {
float& RatioOverride() {
  static float ratio = -1.0f;
  return ratio;
}
}  // namespace

void SetBatchBlend(int mode) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (vb.blendMode != mode && vb.QueuedCount() > 0) vb.Flush();
  vb.blendMode = mode;
}

void BatchBegin(CLoadedTexture* texture, int blend) {
  SetBatchBlend(blend);
  GetGlobalVertexBuffer().SetTexture(texture);
}

bool InMapView(float x, float y, float margin) { return !GUI_BS_Map::Instance().IsOffScreen(x, y, margin); }

void SetEffectsFrameRatioOverride(float ratio) { RatioOverride() = ratio; }

float EffectsFrameMs() {
  if (!BattleExists()) return 0.0f;
  const SIM_Battle& b = GetBattle();
  return b.paused ? 0.0f : b.frameStep;
}

float EffectsFrameRatio() {
  if (RatioOverride() >= 0.0f) return RatioOverride();
  return BattleExists() ? GetStepRateMeter().rate : 1.0f;
}

bool LightmapEnabled() { return GUI_BS_LightmapManager::Instance().Active(); }
