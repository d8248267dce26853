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

void MakeQuad(GVertex quad[4], float left, float top, float right, float bottom, float u0, float v0, float u1,
              float v1, uint32_t colour) {
  const float l = left - 0.5f, t = top - 0.5f, r = right - 0.5f, b = bottom - 0.5f;
  quad[0] = GVertex{}, quad[1] = GVertex{}, quad[2] = GVertex{}, quad[3] = GVertex{};
  quad[0].x = l, quad[0].y = t, quad[0].u = u0, quad[0].v = v0;
  quad[1].x = r, quad[1].y = t, quad[1].u = u1, quad[1].v = v0;
  quad[2].x = l, quad[2].y = b, quad[2].u = u0, quad[2].v = v1;
  quad[3].x = r, quad[3].y = b, quad[3].u = u1, quad[3].v = v1;
  for (int i = 0; i < 4; ++i) quad[i].colour = colour;
}

void QueueQuad(CLoadedTexture* texture, float left, float top, float right, float bottom, float u0, float v0,
               float u1, float v1, uint32_t colour) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(texture);
  GVertex q[4];
  MakeQuad(q, left, top, right, bottom, u0, v0, u1, v1, colour);
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
