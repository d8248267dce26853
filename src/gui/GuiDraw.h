#pragma once
// Drawing helpers shared by the toolkit's widgets (not part of the public toolkit).
#include <cstdint>

class CLoadedTexture;
struct GVertex;

namespace gui_draw {

constexpr const char* kFont = "18.dds";
constexpr float kFontSize = 16.0f;

// The interface text colours (the game's, or their defaults before the game exists).
uint32_t TextColour();
uint32_t DimTextColour();

// Fills the four corners (top-left, top-right, bottom-left, bottom-right) of a screen box
// in pixels, placed on D3D9 pixel centres, with the texture box in texture space.
void MakeQuad(GVertex quad[4], float left, float top, float right, float bottom, float u0, float v0, float u1,
              float v1, uint32_t colour);
// Queues one quad (as MakeQuad) into the global batch with the texture.
void QueueQuad(CLoadedTexture* texture, float left, float top, float right, float bottom, float u0, float v0,
               float u1, float v1, uint32_t colour);
void QueueCentred(CLoadedTexture* texture, float cx, float cy, float w, float h, float u0, float v0, float u1,
                  float v1, uint32_t colour);
// Draws what is queued: sprites first, then text over them.
void FlushAll();
void FlushSprites();
// Selects the interface font.
void UseFont();

int ScreenWidth();
int ScreenHeight();
float MouseX();
float MouseY();
bool LeftHeld();

// Colour with alpha 0..255 replaced.
inline uint32_t WithAlpha(uint32_t argb, int alpha) {
  if (alpha < 0) alpha = 0;
  if (alpha > 255) alpha = 255;
  return (argb & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha) << 24);
}

}  // namespace gui_draw
