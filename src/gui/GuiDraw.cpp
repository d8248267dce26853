#include "gui/GuiDraw.h"

#include "engine/GUI_BaseElement.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "engine/VertexBuffer.h"
#include "gui/ToolkitHooks.h"

namespace gui_draw {

uint32_t TextColour() { return GetToolkitHooks().textColour ? GetToolkitHooks().textColour() : 0xFFE2B101u; }
uint32_t DimTextColour() {
  return GetToolkitHooks().dimTextColour ? GetToolkitHooks().dimTextColour() : 0xFF787878u;
}

void QueueQuad(CLoadedTexture* texture, float left, float top, float right, float bottom, float u0, float v0,
               float u1, float v1, uint32_t colour) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(texture);
  GVertex q[4];
  const float l = left - 0.5f, t = top - 0.5f, r = right - 0.5f, b = bottom - 0.5f;
  q[0].x = l, q[0].y = t, q[0].u = u0, q[0].v = v0;
  q[1].x = r, q[1].y = t, q[1].u = u1, q[1].v = v0;
  q[2].x = l, q[2].y = b, q[2].u = u0, q[2].v = v1;
  q[3].x = r, q[3].y = b, q[3].u = u1, q[3].v = v1;
  for (GVertex& v : q) v.colour = colour;
  vb.AddVertices(q, 4);
}

void QueueCentred(CLoadedTexture* texture, float cx, float cy, float w, float h, float u0, float v0, float u1,
                  float v1, uint32_t colour) {
  QueueQuad(texture, cx - w * 0.5f, cy - h * 0.5f, cx + w * 0.5f, cy + h * 0.5f, u0, v0, u1, v1, colour);
}

void FlushSprites() { GetGlobalVertexBuffer().Flush(); }

void FlushAll() {
  GetGlobalVertexBuffer().Flush();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) text.Flush();
}

void UseFont() { GetTextRenderer().SetFont(kFont, kFontSize); }

int ScreenWidth() { return GUI_BaseElement::ScreenWidth(); }
int ScreenHeight() { return GUI_BaseElement::ScreenHeight(); }
float MouseX() { return GetInputManager().x; }
float MouseY() { return GetInputManager().y; }
bool LeftHeld() { return GetInputManager().leftHeld; }

}  // namespace gui_draw
