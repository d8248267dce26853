#pragma once
// Small helpers the battle effects share: the batch's blend switch (which flushes only
// when the mode really changes), the map view test and the frame's battle time.
#include <cstdint>

class CLoadedTexture;

// 0 normal, 1 additive, 2 leave the device's state. Flushes queued quads of another mode.
void SetBatchBlend(int mode);
// Texture and blend for the quads about to be queued.
void BatchBegin(CLoadedTexture* texture, int blend);
// True when the world point lies inside the battle map's view grown by the margin.
bool InMapView(float x, float y, float margin);
// Tests and the scripted screenshots pin the battle's frame-rate ratio (negative: live).
void SetEffectsFrameRatioOverride(float ratio);
// Lighting mode of the light map (0 none) without pulling its header into every file.
bool LightmapEnabled();
// Colour with the alpha of a 0..1 strength over white.
inline uint32_t WhiteAlpha(float a) {
  if (!(a > 0.0f)) return 0x00FFFFFFu;
  if (a > 1.0f) a = 1.0f;
  return (static_cast<uint32_t>(a * 255.0f) << 24) | 0x00FFFFFFu;
}
