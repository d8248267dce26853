#include "effects/EffectsCommon.h"

#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battlescreen/BattleMap.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "engine/Singletons.h"
#include "engine/VertexBuffer.h"

namespace {
constexpr uint32_t kFirstRandomState = 0x1A2B3C4Du;
// The effects' own stream starts afresh with the other process-wide objects, so what a
// battle looks like does not depend on what was drawn before it in the same process.
uint32_t& RandomState() {
  static uint32_t state = kFirstRandomState;
  static bool registered = (RegisterSingletonReset([] { state = kFirstRandomState; }), true);
  (void)registered;
  return state;
}
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

void EffectsSeedRandom(uint32_t seed) { RandomState() = seed; }

int EffectsRand() {
  uint32_t& s = RandomState();
  s = s * 214013u + 2531011u;
  return static_cast<int>((s >> 16) & 0x7FFFu);
}

float EffectsRandomFloat() { return static_cast<float>(EffectsRand()) / 32768.0f; }

float EffectsRandomRange(float lo, float hi) { return lo + EffectsRandomFloat() * (hi - lo); }

int EffectsRandomInt(int n) {
  if (n <= 0) return 0;
  return static_cast<int>(EffectsRandomFloat() * static_cast<float>(n));
}

bool EffectsRandomChance(float p) { return EffectsRandomFloat() < p; }
