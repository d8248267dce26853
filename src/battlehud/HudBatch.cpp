#include "battlehud/HudBatch.h"

#include <cmath>

#include "engine/D3DEngine.h"
#include "engine/VertexBuffer.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;

GVertex V(float x, float y, uint32_t colour) {
  GVertex v;
  v.x = x;
  v.y = y;
  v.colour = colour;
  return v;
}
}  // namespace

void HudBeginKind(CLoadedTexture* texture, int blend) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  vb.SetTexture(texture);
  if (!texture) GetRenderDevice().SetTexture(nullptr);
  vb.blendMode = blend;
}

void HudTriangle(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t colour) {
  const GVertex q[4] = {V(x0, y0, colour), V(x1, y1, colour), V(x2, y2, colour), V(x2, y2, colour)};
  GetGlobalVertexBuffer().AddVertices(q, 4);
}

void HudBandQuad(float ix0, float iy0, float ox0, float oy0, float ix1, float iy1, float ox1, float oy1,
                 uint32_t colour) {
  const GVertex q[4] = {V(ix0, iy0, colour), V(ox0, oy0, colour), V(ix1, iy1, colour), V(ox1, oy1, colour)};
  GetGlobalVertexBuffer().AddVertices(q, 4);
}

void HudFan(float cx, float cy, float radius, float fromDeg, float sweepDeg, int n, uint32_t colour) {
  if (n < 1 || !(sweepDeg > 0.0f) || !std::isfinite(radius)) return;
  const float step = sweepDeg / float(n);
  auto rim = [&](int k, float* x, float* y) {
    const float a = (fromDeg + step * float(k)) * kDegToRad;
    *x = cx + std::sin(a) * radius;
    *y = cy - std::cos(a) * radius;
  };
  // Two fan triangles per quad: the batch draws (0, 1, 2) and (2, 1, 3), so the quad
  // (rim k, centre, rim k+1, rim k+2) is the triangles k and k+1 of the fan.
  float px, py;
  rim(0, &px, &py);
  int k = 0;
  for (; k + 2 <= n; k += 2) {
    float qx, qy, rx, ry;
    rim(k + 1, &qx, &qy);
    rim(k + 2, &rx, &ry);
    const GVertex q[4] = {V(px, py, colour), V(cx, cy, colour), V(qx, qy, colour), V(rx, ry, colour)};
    GetGlobalVertexBuffer().AddVertices(q, 4);
    px = rx;
    py = ry;
  }
  if (k < n) {
    float qx, qy;
    rim(k + 1, &qx, &qy);
    HudTriangle(cx, cy, px, py, qx, qy, colour);
  }
}

void HudBand(float cx, float cy, float inner, float outer, float fromDeg, float sweepDeg, int n,
             uint32_t colour) {
  if (n < 1 || !(sweepDeg > 0.0f) || !std::isfinite(inner) || !std::isfinite(outer)) return;
  const float step = sweepDeg / float(n);
  float a = fromDeg * kDegToRad;
  float s = std::sin(a), c = std::cos(a);
  for (int k = 1; k <= n; ++k) {
    a = (fromDeg + step * float(k)) * kDegToRad;
    const float s1 = std::sin(a), c1 = std::cos(a);
    HudBandQuad(cx + s * inner, cy - c * inner, cx + s * outer, cy - c * outer, cx + s1 * inner,
                cy - c1 * inner, cx + s1 * outer, cy - c1 * outer, colour);
    s = s1;
    c = c1;
  }
}

void HudEndKind() {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  vb.blendMode = 2;
  D3DEngine& e = GetRenderDevice();
  e.MarkBlendDirty();
  e.SetNormalBlend();
}

bool HudSprite(float cx, float cy, float w, float h, float u0, float u1, float angleDeg, uint32_t colour) {
  const float r = 0.5f * std::sqrt(w * w + h * h);
  D3DEngine& e = GetRenderDevice();
  const float sw = float(e.ScreenWidth()), sh = float(e.ScreenHeight());
  if (cx + r < 0.0f || cy + r < 0.0f || cx - r > sw || cy - r > sh) return false;
  const float a = angleDeg * kDegToRad, c = std::cos(a), s = std::sin(a);
  auto corner = [&](float dx, float dy, float u, float v) {
    GVertex g = V(cx + dx * c - dy * s, cy + dx * s + dy * c, colour);
    g.u = u;
    g.v = v;
    return g;
  };
  const float hw = w * 0.5f, hh = h * 0.5f;
  const GVertex q[4] = {corner(-hw, -hh, u0, 0.0f), corner(hw, -hh, u1, 0.0f), corner(-hw, hh, u0, 1.0f),
                        corner(hw, hh, u1, 1.0f)};
  GetGlobalVertexBuffer().AddVertices(q, 4);
  return true;
}
