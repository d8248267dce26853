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
// The effects' own random stream: what the camera shows never moves the battle's random
// stream (replays and recorded challenges stay the same with or without effects). Seeded
// at every battle start so a scripted moment repeats picture for picture.
void EffectsSeedRandom(uint32_t seed);
int EffectsRand();                             // 0..32767
float EffectsRandomFloat();                    // [0, 1)
float EffectsRandomRange(float lo, float hi);  // lo + [0, 1) x (hi - lo)
int EffectsRandomInt(int n);                   // [0, n); 0 when n <= 0
bool EffectsRandomChance(float p);
// Colour with the alpha of a 0..1 strength over white.
inline uint32_t WhiteAlpha(float a) {
  if (!(a > 0.0f)) return 0x00FFFFFFu;
  if (a > 1.0f) a = 1.0f;
  return (static_cast<uint32_t>(a * 255.0f) << 24) | 0x00FFFFFFu;
}
