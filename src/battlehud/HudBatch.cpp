#include "battlehud/HudBatch.h"

#include <cmath>
#include <memory>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;

// The kind being queued. Its quads are held here rather than in the global buffer, whose
// fixed size would split a large army's discs or rings into a call per buffer-full: a
// kind is one call whatever the number of units.
struct HudKind {
  std::vector<GVertex> quads;      // four corners a quad
  std::vector<GVertex> triangles;  // the same as a triangle list, reused each draw
  CLoadedTexture* texture = nullptr;
  int blend = 0;
};

HudKind& Kind() {
  static std::unique_ptr<HudKind> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<HudKind>();
  return *s;
}

void AddQuad(const GVertex q[4]) { Kind().quads.insert(Kind().quads.end(), q, q + 4); }

// Draws the queued quads as one triangle list, (0, 1, 2) and (2, 1, 3) each, as the
// global buffer's indices do.
void DrawKind() {
  HudKind& k = Kind();
  const size_t n = k.quads.size() / 4;
  if (n == 0) {
    k.quads.clear();
    return;
  }
  k.triangles.resize(n * 6);
  for (size_t i = 0; i < n; ++i) {
    const GVertex* q = &k.quads[i * 4];
    GVertex* t = &k.triangles[i * 6];
    t[0] = q[0];
    t[1] = q[1];
    t[2] = q[2];
    t[3] = q[2];
    t[4] = q[1];
    t[5] = q[3];
  }
  k.quads.clear();
  D3DEngine& e = GetRenderDevice();
  if (k.texture)
    k.texture->Bind();
  else
    e.SetTexture(nullptr);
  if (k.blend == 1)
    e.SetAdditiveBlend();
  else
    e.SetNormalBlend();
  e.DrawVertices(platform::PrimitiveType::TriangleList, int(n * 2), k.triangles.data(), int(sizeof(GVertex)));
}

GVertex V(float x, float y, uint32_t colour) {
  GVertex v;
  v.x = x;
  v.y = y;
  v.colour = colour;
  return v;
}
}  // namespace

void HudBeginKind(CLoadedTexture* texture, int blend) {
  // Whatever was queued before (another kind, or the global buffer's sprites) draws first.
  DrawKind();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  vb.SetTexture(texture);
  if (!texture) GetRenderDevice().SetTexture(nullptr);
  HudKind& k = Kind();
  k.texture = texture;
  k.blend = blend;
}

void HudQuad(const GVertex q[4]) { AddQuad(q); }

void HudTriangle(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t colour) {
  const GVertex q[4] = {V(x0, y0, colour), V(x1, y1, colour), V(x2, y2, colour), V(x2, y2, colour)};
  AddQuad(q);
}

void HudBandQuad(float ix0, float iy0, float ox0, float oy0, float ix1, float iy1, float ox1, float oy1,
                 uint32_t colour) {
  const GVertex q[4] = {V(ix0, iy0, colour), V(ox0, oy0, colour), V(ix1, iy1, colour), V(ox1, oy1, colour)};
  AddQuad(q);
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
    AddQuad(q);
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
  DrawKind();
  Kind().texture = nullptr;
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
  AddQuad(q);
  return true;
}
