#include "battlescreen/TightQuads.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "platform/NullDevice.h"

namespace {
using CellKey = std::tuple<const platform::Texture*, int, int, int, int, int, int, int, int>;
std::map<CellKey, ShownPart>& Measured() {
  static std::map<CellKey, ShownPart> measured;
  return measured;
}
// Per band of a cell: the span across (left, right in fractions), empty when right <= left.
std::map<CellKey, std::vector<ShownPart>>& Bands() {
  static std::map<CellKey, std::vector<ShownPart>> bands;
  return bands;
}
std::map<CellKey, ShownOutline>& Outlines() {
  static std::map<CellKey, ShownOutline> outlines;
  return outlines;
}

// The shown rectangle in texels (margin included) and how far the art stays from each of
// its corners along the diagonals.
ShownOutline MeasureOutline(platform::Texture* texture, int x0, int y0, int x1, int y1, int alphaAbove,
                            int margin) {
  ShownOutline whole;
  whole.texelsAcross = float(x1 - x0);
  whole.texelsDown = float(y1 - y0);
  platform::Device* d = GetRenderDevice().Device();
  if (!d || dynamic_cast<platform::NullDevice*>(d)) return whole;
  std::vector<uint32_t> argb;
  if (platform::Failed(d->ReadPixels(texture, platform::Rect{x0, y0, x1, y1}, &argb))) return whole;
  const int w = x1 - x0, h = y1 - y0;
  int l = w, t = h, r = -1, b = -1;
  // The texels' extremes along x + y and x - y.
  int sumMin = w + h, sumMax = -1, diffMin = w, diffMax = -h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (int(argb[size_t(y) * size_t(w) + size_t(x)] >> 24) > alphaAbove) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
        sumMin = std::min(sumMin, x + y);
        sumMax = std::max(sumMax, x + y);
        diffMin = std::min(diffMin, x - y);
        diffMax = std::max(diffMax, x - y);
      }
  if (r < 0) return whole;
  ShownOutline o = whole;
  const float L = float(std::max(0, l - margin)), T = float(std::max(0, t - margin));
  const float R = float(std::min(w, r + 1 + margin)), B = float(std::min(h, b + 1 + margin));
  o.box = ShownPart{L / float(w), T / float(h), R / float(w), B / float(h)};
  // A texel covers [x, x + 1] by [y, y + 1] and filtering carries it 'margin' further on
  // each side; a corner is cut back to the line through the nearest such reach.
  const float m2 = 2.0f * float(margin);
  const float cuts[4] = {float(sumMin) - m2 - (L + T), (R - T) - (float(diffMax) + 1.0f + m2),
                         (float(diffMin) - 1.0f - m2) - (L - B), (R + B) - (float(sumMax) + 2.0f + m2)};
  // No cut longer than half an edge: the outline stays an octagon with edges in order.
  const float most = std::min(R - L, B - T) * 0.5f;
  for (int i = 0; i < 4; ++i) o.cut[i] = std::clamp(std::floor(cuts[i]), 0.0f, most);
  return o;
}

ShownPart Measure(platform::Texture* texture, int x0, int y0, int x1, int y1, int alphaAbove, int margin) {
  return MeasureOutline(texture, x0, y0, x1, y1, alphaAbove, margin).box;
}

// The largest all-opaque rectangle, by the row histogram of opaque runs.
ShownPart MeasureOpaque(platform::Texture* texture, int x0, int y0, int x1, int y1, int inset) {
  ShownPart none{0.0f, 0.0f, 0.0f, 0.0f};
  platform::Device* d = GetRenderDevice().Device();
  if (!d || dynamic_cast<platform::NullDevice*>(d)) return none;
  std::vector<uint32_t> argb;
  if (platform::Failed(d->ReadPixels(texture, platform::Rect{x0, y0, x1, y1}, &argb))) return none;
  const int w = x1 - x0, h = y1 - y0;
  std::vector<int> run(size_t(w) + 1, 0), stack;
  long long best = 0;
  int bl = 0, bt = 0, br = 0, bb = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      run[size_t(x)] = (argb[size_t(y) * size_t(w) + size_t(x)] >> 24) == 255 ? run[size_t(x)] + 1 : 0;
    stack.clear();
    for (int x = 0; x <= w; ++x) {
      const int height = x < w ? run[size_t(x)] : 0;
      while (!stack.empty() && run[size_t(stack.back())] >= height) {
        const int top = run[size_t(stack.back())];
        stack.pop_back();
        const int left = stack.empty() ? 0 : stack.back() + 1;
        const long long area = (long long)top * (x - left);
        if (area > best) {
          best = area;
          bl = left, br = x, bt = y + 1 - top, bb = y + 1;
        }
      }
      stack.push_back(x);
    }
  }
  bl += inset, bt += inset, br -= inset, bb -= inset;
  if (best == 0 || br <= bl || bb <= bt) return none;
  return ShownPart{float(bl) / float(w), float(bt) / float(h), float(br) / float(w), float(bb) / float(h)};
}

}  // namespace

GVertex QuadPointAt(const GVertex q[4], float s, float t) {
  GVertex v = q[0];
  v.x = q[0].x + s * (q[1].x - q[0].x) + t * (q[2].x - q[0].x);
  v.y = q[0].y + s * (q[1].y - q[0].y) + t * (q[2].y - q[0].y);
  v.u = q[0].u + s * (q[1].u - q[0].u);
  v.v = q[0].v + t * (q[2].v - q[0].v);
  return v;
}

namespace {

// Texels a pixel along the coarser axis of a placed quad.
float TexelsPerPixel(const GVertex quad[4], const platform::Texture* texture) {
  const float across = std::hypot(quad[1].x - quad[0].x, quad[1].y - quad[0].y);
  const float down = std::hypot(quad[2].x - quad[0].x, quad[2].y - quad[0].y);
  const float texelsAcross = std::fabs(quad[1].u - quad[0].u) * float(texture->Width());
  const float texelsDown = std::fabs(quad[2].v - quad[0].v) * float(texture->Height());
  return std::max(across > 0.0f ? texelsAcross / across : 0.0f, down > 0.0f ? texelsDown / down : 0.0f);
}
}  // namespace

ShownPart OpaquePartOf(platform::Texture* texture, float u0, float v0, float u1, float v1, int inset) {
  const ShownPart none{0.0f, 0.0f, 0.0f, 0.0f};
  if (!texture || texture->Width() <= 0 || texture->Height() <= 0) return none;
  const float tw = float(texture->Width()), th = float(texture->Height());
  const int x0 = std::clamp(int(std::floor(std::min(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int x1 = std::clamp(int(std::floor(std::max(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int y0 = std::clamp(int(std::floor(std::min(v0, v1) * th + 0.5f)), 0, texture->Height());
  const int y1 = std::clamp(int(std::floor(std::max(v0, v1) * th + 0.5f)), 0, texture->Height());
  if (x1 - x0 < 4 || y1 - y0 < 4) return none;
  // Keyed apart from the shown parts by an alpha no texel passes.
  const CellKey key{texture, texture->Width(), texture->Height(), x0, y0, x1, y1, 256, inset};
  auto& measured = Measured();
  auto found = measured.find(key);
  if (found == measured.end())
    found = measured.emplace(key, MeasureOpaque(texture, x0, y0, x1, y1, inset)).first;
  ShownPart part = found->second;
  if (u1 < u0) part = ShownPart{1.0f - part.right, part.top, 1.0f - part.left, part.bottom};
  if (v1 < v0) part = ShownPart{part.left, 1.0f - part.bottom, part.right, 1.0f - part.top};
  return part;
}

ShownPart ShownPartOf(platform::Texture* texture, float u0, float v0, float u1, float v1, int alphaAbove,
                      int margin) {
  if (!texture || texture->Width() <= 0 || texture->Height() <= 0) return ShownPart();
  const float tw = float(texture->Width()), th = float(texture->Height());
  // The cell in texels, whichever way its coordinates run (a mirrored cell swaps them).
  const int x0 = std::clamp(int(std::floor(std::min(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int x1 = std::clamp(int(std::floor(std::max(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int y0 = std::clamp(int(std::floor(std::min(v0, v1) * th + 0.5f)), 0, texture->Height());
  const int y1 = std::clamp(int(std::floor(std::max(v0, v1) * th + 0.5f)), 0, texture->Height());
  if (x1 - x0 < 4 || y1 - y0 < 4) return ShownPart();
  const CellKey key{texture, texture->Width(), texture->Height(), x0, y0, x1, y1, alphaAbove, margin};
  auto& measured = Measured();
  auto found = measured.find(key);
  if (found == measured.end())
    found = measured.emplace(key, Measure(texture, x0, y0, x1, y1, alphaAbove, margin)).first;
  ShownPart part = found->second;
  // Fractions were measured along increasing texels; a mirrored cell runs the other way.
  if (u1 < u0) part = ShownPart{1.0f - part.right, part.top, 1.0f - part.left, part.bottom};
  if (v1 < v0) part = ShownPart{part.left, 1.0f - part.bottom, part.right, 1.0f - part.top};
  return part;
}

void CutQuad(const GVertex in[4], const ShownPart& part, GVertex out[4]) {
  // The quad is a parallelogram: corner 0 plus fractions of its two edges.
  const float ex[2] = {in[1].x - in[0].x, in[2].x - in[0].x};
  const float ey[2] = {in[1].y - in[0].y, in[2].y - in[0].y};
  const float du = in[1].u - in[0].u, dv = in[2].v - in[0].v;
  const float s[4] = {part.left, part.right, part.left, part.right};
  const float t[4] = {part.top, part.top, part.bottom, part.bottom};
  for (int i = 0; i < 4; ++i) {
    out[i] = in[i];
    out[i].x = in[0].x + s[i] * ex[0] + t[i] * ex[1];
    out[i].y = in[0].y + s[i] * ey[0] + t[i] * ey[1];
    out[i].u = in[0].u + s[i] * du;
    out[i].v = in[0].v + t[i] * dv;
  }
}

int FilterReach(float texelsPerPixel, float lodBias) {
  if (!(texelsPerPixel > 0.0f) || !std::isfinite(texelsPerPixel)) return 1;
  const float lod = std::log2(texelsPerPixel) + lodBias;
  if (lod <= 0.0f) return 1;
  const int level = std::min(8, int(std::ceil(lod)));
  return (1 << level) + 1;
}

void QueueTight(const GVertex quad[4], platform::Texture* texture, int alphaAbove, float lodBias) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (!texture) {
    vb.AddVertices(quad, 4);
    return;
  }
  // Texels a pixel along each edge of the quad; the coarser axis picks the mip level.
  const float across = std::hypot(quad[1].x - quad[0].x, quad[1].y - quad[0].y);
  const float down = std::hypot(quad[2].x - quad[0].x, quad[2].y - quad[0].y);
  const float texelsAcross = std::fabs(quad[1].u - quad[0].u) * float(texture->Width());
  const float texelsDown = std::fabs(quad[2].v - quad[0].v) * float(texture->Height());
  const float ratio =
      std::max(across > 0.0f ? texelsAcross / across : 0.0f, down > 0.0f ? texelsDown / down : 0.0f);
  const int margin = FilterReach(ratio, lodBias);
  const ShownPart part = ShownPartOf(texture, quad[0].u, quad[0].v, quad[3].u, quad[3].v, alphaAbove, margin);
  if (part.Whole()) {
    vb.AddVertices(quad, 4);
    return;
  }
  GVertex cut[4];
  CutQuad(quad, part, cut);
  vb.AddVertices(cut, 4);
}

void QueueTightAroundBody(const GVertex shadow[4], const GVertex body[4], platform::Texture* texture,
                          int alphaAbove, float lodBias) {
  if (!texture) return QueueTight(shadow, texture, alphaAbove, lodBias);
  const float ratio = TexelsPerPixel(shadow, texture);
  const ShownPart part = ShownPartOf(texture, shadow[0].u, shadow[0].v, shadow[3].u, shadow[3].v, alphaAbove,
                                     FilterReach(ratio, lodBias));
  // The body samples its own art without the shadow's bias: inside this rectangle every
  // filtered texel is opaque.
  ShownPart hole =
      OpaquePartOf(texture, body[0].u, body[0].v, body[3].u, body[3].v, FilterReach(ratio, 0.0f));
  // The body must be the shadow's quad moved, same cell, same edges.
  const float ax = shadow[1].x - shadow[0].x, ay = shadow[1].y - shadow[0].y;
  const float bx = shadow[2].x - shadow[0].x, by = shadow[2].y - shadow[0].y;
  const float det = ax * by - ay * bx;
  auto same = [](float a, float b) { return std::fabs(a - b) <= 1e-3f * (1.0f + std::fabs(a)); };
  const bool moved = same(ax, body[1].x - body[0].x) && same(ay, body[1].y - body[0].y) &&
                     same(bx, body[2].x - body[0].x) && same(by, body[2].y - body[0].y) &&
                     body[0].u == shadow[0].u && body[0].v == shadow[0].v && body[3].u == shadow[3].u &&
                     body[3].v == shadow[3].v;
  if (!moved || std::fabs(det) < 1.0f || hole.right <= hole.left || hole.bottom <= hole.top) {
    GVertex cut[4];
    CutQuad(shadow, part, cut);
    GetGlobalVertexBuffer().AddVertices(part.Whole() ? shadow : cut, 4);
    return;
  }
  // The body's offset from the shadow in fractions of the cell.
  const float dx = body[0].x - shadow[0].x, dy = body[0].y - shadow[0].y;
  const float ds = (dx * by - dy * bx) / det, dt = (ax * dy - ay * dx) / det;
  // A pixel more inside, so rounding at the body's edge never shows the ground.
  const float ps = 1.5f / std::sqrt(ax * ax + ay * ay), pt = 1.5f / std::sqrt(bx * bx + by * by);
  hole = ShownPart{std::max(part.left, hole.left + ds + ps), std::max(part.top, hole.top + dt + pt),
                   std::min(part.right, hole.right + ds - ps), std::min(part.bottom, hole.bottom + dt - pt)};
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (hole.right <= hole.left || hole.bottom <= hole.top) {
    GVertex cut[4];
    CutQuad(shadow, part, cut);
    vb.AddVertices(cut, 4);
    return;
  }
  const GVertex oTL = QuadPointAt(shadow, part.left, part.top),
                oTR = QuadPointAt(shadow, part.right, part.top),
                oBL = QuadPointAt(shadow, part.left, part.bottom),
                oBR = QuadPointAt(shadow, part.right, part.bottom);
  const GVertex iTL = QuadPointAt(shadow, hole.left, hole.top),
                iTR = QuadPointAt(shadow, hole.right, hole.top),
                iBL = QuadPointAt(shadow, hole.left, hole.bottom),
                iBR = QuadPointAt(shadow, hole.right, hole.bottom);
  const GVertex ring[16] = {oTL, oTR, iTL, iTR, iBL, iBR, oBL, oBR, oTL, iTL, oBL, iBL, iTR, oTR, iBR, oBR};
  vb.AddVertices(ring, 16);
}

ShownOutline ShownOutlineOf(platform::Texture* texture, float u0, float v0, float u1, float v1,
                            int alphaAbove, int margin) {
  ShownOutline whole;
  if (!texture || texture->Width() <= 0 || texture->Height() <= 0) return whole;
  const float tw = float(texture->Width()), th = float(texture->Height());
  const int x0 = std::clamp(int(std::floor(std::min(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int x1 = std::clamp(int(std::floor(std::max(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int y0 = std::clamp(int(std::floor(std::min(v0, v1) * th + 0.5f)), 0, texture->Height());
  const int y1 = std::clamp(int(std::floor(std::max(v0, v1) * th + 0.5f)), 0, texture->Height());
  if (x1 - x0 < 4 || y1 - y0 < 4) return whole;
  auto& outlines = Outlines();
  const CellKey key{texture, texture->Width(), texture->Height(), x0, y0, x1, y1, alphaAbove, margin};
  auto found = outlines.find(key);
  if (found == outlines.end())
    found = outlines.emplace(key, MeasureOutline(texture, x0, y0, x1, y1, alphaAbove, margin)).first;
  ShownOutline o = found->second;
  // Measured along increasing texels; a mirrored cell runs the other way.
  if (u1 < u0) {
    o.box = ShownPart{1.0f - o.box.right, o.box.top, 1.0f - o.box.left, o.box.bottom};
    o.cut[0] = found->second.cut[1], o.cut[1] = found->second.cut[0];
    o.cut[2] = found->second.cut[3], o.cut[3] = found->second.cut[2];
  }
  if (v1 < v0) {
    const ShownOutline m = o;
    o.box = ShownPart{m.box.left, 1.0f - m.box.bottom, m.box.right, 1.0f - m.box.top};
    o.cut[0] = m.cut[2], o.cut[2] = m.cut[0];
    o.cut[1] = m.cut[3], o.cut[3] = m.cut[1];
  }
  return o;
}

void QueueTightOctagon(const CTexturedSprite& sprite, int alphaAbove, float lodBias) {
  QueueTightOctagon(sprite.v, sprite.texture ? sprite.texture->Texture() : nullptr, alphaAbove, lodBias);
}

void QueueTightOctagon(const GVertex q[4], platform::Texture* texture, int alphaAbove, float lodBias) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (!texture) {
    vb.AddVertices(q, 4);
    return;
  }
  const ShownOutline o = ShownOutlineOf(texture, q[0].u, q[0].v, q[3].u, q[3].v, alphaAbove,
                                        FilterReach(TexelsPerPixel(q, texture), lodBias));
  const ShownPart& p = o.box;
  if (o.cut[0] <= 0.0f && o.cut[1] <= 0.0f && o.cut[2] <= 0.0f && o.cut[3] <= 0.0f) {
    if (p.Whole()) {
      vb.AddVertices(q, 4);
      return;
    }
    GVertex cut[4];
    CutQuad(q, p, cut);
    vb.AddVertices(cut, 4);
    return;
  }
  // Cut legs in fractions of the cell along each edge.
  const float sw = 1.0f / o.texelsAcross, th = 1.0f / o.texelsDown;
  const GVertex a = QuadPointAt(q, p.left + o.cut[0] * sw, p.top),
                b = QuadPointAt(q, p.right - o.cut[1] * sw, p.top),
                c = QuadPointAt(q, p.right, p.top + o.cut[1] * th),
                d = QuadPointAt(q, p.right, p.bottom - o.cut[3] * th),
                e = QuadPointAt(q, p.right - o.cut[3] * sw, p.bottom),
                f = QuadPointAt(q, p.left + o.cut[2] * sw, p.bottom),
                g = QuadPointAt(q, p.left, p.bottom - o.cut[2] * th),
                h = QuadPointAt(q, p.left, p.top + o.cut[0] * th);
  // Three bands sharing their corners: the top trapezoid, the middle, the bottom one.
  const GVertex bands[12] = {a, b, h, c, h, c, g, d, g, d, f, e};
  vb.AddVertices(bands, 12);
}

namespace {
// A convex polygon of drawn vertices; the octagon less a few half-planes never has more.
struct Piece {
  static constexpr int kMost = 48;
  GVertex v[kMost];
  int n = 0;
};

GVertex Between(const GVertex& a, const GVertex& b, float t) {
  GVertex v = a;
  v.x = a.x + (b.x - a.x) * t;
  v.y = a.y + (b.y - a.y) * t;
  v.u = a.u + (b.u - a.u) * t;
  v.v = a.v + (b.v - a.v) * t;
  return v;
}

// The part of 'in' where ex * (y - oy) - ey * (x - ox) has the sign 'side' (or is 0).
void Clip(const Piece& in, float ox, float oy, float ex, float ey, float side, Piece* out) {
  out->n = 0;
  if (in.n < 3) return;
  auto f = [&](const GVertex& p) { return side * (ex * (p.y - oy) - ey * (p.x - ox)); };
  for (int i = 0; i < in.n; ++i) {
    const GVertex& a = in.v[i];
    const GVertex& b = in.v[(i + 1) % in.n];
    const float fa = f(a), fb = f(b);
    if (fa >= 0.0f && out->n < Piece::kMost) out->v[out->n++] = a;
    if (((fa < 0.0f && fb > 0.0f) || (fa > 0.0f && fb < 0.0f)) && out->n < Piece::kMost)
      out->v[out->n++] = Between(a, b, fa / (fa - fb));
  }
}

float Area(const Piece& p) {
  float a = 0.0f;
  for (int i = 0; i < p.n; ++i) {
    const GVertex &s = p.v[i], &t = p.v[(i + 1) % p.n];
    a += s.x * t.y - t.x * s.y;
  }
  return 0.5f * std::fabs(a);
}

// A convex piece as a fan of triangles from its first corner, two to a quad (the
// vertex buffer draws a, b, c and c, b, d of each four).
void QueuePiece(const Piece& p) {
  if (p.n < 3 || Area(p) < 1e-3f) return;
  GVertex quads[4 * (Piece::kMost / 2)];
  int n = 0;
  for (int i = 1; i + 1 < p.n; i += 2) {
    quads[n++] = p.v[i];
    quads[n++] = p.v[i + 1];
    quads[n++] = p.v[0];
    quads[n++] = i + 2 < p.n ? p.v[i + 2] : p.v[0];
  }
  GetGlobalVertexBuffer().AddVertices(quads, n);
}
}  // namespace

CoveredPart CoveredPartOf(const GVertex q[4], platform::Texture* texture) {
  CoveredPart c;
  if (!texture) return c;
  const float across = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
  const float down = std::hypot(q[2].x - q[0].x, q[2].y - q[0].y);
  if (!(across > 3.0f) || !(down > 3.0f)) return c;
  ShownPart opaque =
      OpaquePartOf(texture, q[0].u, q[0].v, q[3].u, q[3].v, FilterReach(TexelsPerPixel(q, texture), 0.0f));
  // A pixel and a half inside, so rounding at the covering art's edge never shows.
  const float ps = 1.5f / across, pt = 1.5f / down;
  opaque = ShownPart{opaque.left + ps, opaque.top + pt, opaque.right - ps, opaque.bottom - pt};
  if (opaque.right <= opaque.left || opaque.bottom <= opaque.top) return c;
  const GVertex corners[4] = {
      QuadPointAt(q, opaque.left, opaque.top), QuadPointAt(q, opaque.right, opaque.top),
      QuadPointAt(q, opaque.right, opaque.bottom), QuadPointAt(q, opaque.left, opaque.bottom)};
  for (int i = 0; i < 4; ++i) {
    c.x[i] = corners[i].x;
    c.y[i] = corners[i].y;
  }
  c.valid = true;
  return c;
}

void QueueTightLess(const GVertex q[4], platform::Texture* texture, int alphaAbove, float lodBias,
                    const CoveredPart* covered, int coveredCount) {
  bool any = false;
  for (int i = 0; i < coveredCount; ++i) any = any || covered[i].valid;
  if (!texture || !any) return QueueTightOctagon(q, texture, alphaAbove, lodBias);
  const ShownOutline o = ShownOutlineOf(texture, q[0].u, q[0].v, q[3].u, q[3].v, alphaAbove,
                                        FilterReach(TexelsPerPixel(q, texture), lodBias));
  const ShownPart& p = o.box;
  const float sw = 1.0f / o.texelsAcross, th = 1.0f / o.texelsDown;
  const GVertex outline[8] = {
      QuadPointAt(q, p.left + o.cut[0] * sw, p.top),     QuadPointAt(q, p.right - o.cut[1] * sw, p.top),
      QuadPointAt(q, p.right, p.top + o.cut[1] * th),    QuadPointAt(q, p.right, p.bottom - o.cut[3] * th),
      QuadPointAt(q, p.right - o.cut[3] * sw, p.bottom), QuadPointAt(q, p.left + o.cut[2] * sw, p.bottom),
      QuadPointAt(q, p.left, p.bottom - o.cut[2] * th),  QuadPointAt(q, p.left, p.top + o.cut[0] * th)};
  // The octagon, corners that coincide (no cut) taken once.
  static std::vector<Piece> pieces, next;  // kept between calls: the frame's drawing is one thread's
  pieces.assign(1, Piece());
  for (const GVertex& v : outline) {
    Piece& first = pieces[0];
    if (first.n > 0 && first.v[first.n - 1].x == v.x && first.v[first.n - 1].y == v.y) continue;
    first.v[first.n++] = v;
  }
  if (pieces[0].n > 1 && pieces[0].v[0].x == pieces[0].v[pieces[0].n - 1].x &&
      pieces[0].v[0].y == pieces[0].v[pieces[0].n - 1].y)
    --pieces[0].n;
  // Each covered part takes its share: what lies outside its first edge is one piece, of
  // the rest what lies outside its second edge the next, and so on; what lies inside
  // every edge is covered.
  for (int h = 0; h < coveredCount; ++h) {
    const CoveredPart& c = covered[h];
    if (!c.valid) continue;
    float turn = 0.0f;
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) % 4;
      turn += c.x[i] * c.y[j] - c.x[j] * c.y[i];
    }
    if (std::fabs(turn) < 1.0f) continue;
    const float inside = turn > 0.0f ? 1.0f : -1.0f;
    next.clear();
    for (const Piece& piece : pieces) {
      Piece rest = piece, out, in;
      for (int i = 0; i < 4 && rest.n >= 3; ++i) {
        const int j = (i + 1) % 4;
        const float ex = c.x[j] - c.x[i], ey = c.y[j] - c.y[i];
        Clip(rest, c.x[i], c.y[i], ex, ey, -inside, &out);
        if (out.n >= 3 && Area(out) >= 1e-3f) next.push_back(out);
        Clip(rest, c.x[i], c.y[i], ex, ey, inside, &in);
        rest = in;
      }
    }
    pieces.swap(next);
  }
  // A corner of one piece on the edge of another (where a later cut ended) is made a
  // corner of that edge too: the rasteriser then fills every pixel along it exactly once.
  for (Piece& piece : pieces) {
    Piece joined;
    for (int i = 0; i < piece.n; ++i) {
      const GVertex& a = piece.v[i];
      const GVertex& b = piece.v[(i + 1) % piece.n];
      if (joined.n < Piece::kMost) joined.v[joined.n++] = a;
      const float ex = b.x - a.x, ey = b.y - a.y, len2 = ex * ex + ey * ey;
      if (len2 < 1e-6f) continue;
      // Those on the edge, in order along it.
      float at[Piece::kMost];
      const GVertex* on[Piece::kMost];
      int count = 0;
      for (const Piece& other : pieces) {
        if (&other == &piece) continue;
        for (int k = 0; k < other.n && count < Piece::kMost; ++k) {
          const GVertex& c = other.v[k];
          const float t = ((c.x - a.x) * ex + (c.y - a.y) * ey) / len2;
          if (t <= 1e-4f || t >= 1.0f - 1e-4f) continue;
          const float off = ex * (c.y - a.y) - ey * (c.x - a.x);
          if (off * off > 1e-6f * len2) continue;
          int j = count++;
          for (; j > 0 && at[j - 1] > t; --j) at[j] = at[j - 1], on[j] = on[j - 1];
          at[j] = t, on[j] = &c;
        }
      }
      for (int k = 0; k < count && joined.n < Piece::kMost; ++k)
        if (k == 0 || at[k] - at[k - 1] > 1e-6f) joined.v[joined.n++] = *on[k];
    }
    piece = joined;
  }
  for (const Piece& piece : pieces) QueuePiece(piece);
}

void QueueTight(const CTexturedSprite& sprite, int alphaAbove, float lodBias) {
  QueueTight(sprite.v, sprite.texture ? sprite.texture->Texture() : nullptr, alphaAbove, lodBias);
}

void QueueTightBands(const GVertex q[4], platform::Texture* texture, int alphaAbove, int bands) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (!texture || texture->Width() <= 0 || texture->Height() <= 0 || bands < 1) return vb.AddVertices(q, 4);
  const float tw = float(texture->Width()), th = float(texture->Height());
  const float u0 = q[0].u, v0 = q[0].v, u1 = q[3].u, v1 = q[3].v;
  const int x0 = std::clamp(int(std::floor(std::min(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int x1 = std::clamp(int(std::floor(std::max(u0, u1) * tw + 0.5f)), 0, texture->Width());
  const int y0 = std::clamp(int(std::floor(std::min(v0, v1) * th + 0.5f)), 0, texture->Height());
  const int y1 = std::clamp(int(std::floor(std::max(v0, v1) * th + 0.5f)), 0, texture->Height());
  const int w = x1 - x0, h = y1 - y0;
  bands = std::min(bands, h / 4);
  if (w < 4 || bands < 1) return vb.AddVertices(q, 4);
  const int margin = FilterReach(TexelsPerPixel(q, texture), 0.0f);
  const CellKey key{texture, texture->Width(), texture->Height(), x0, y0, x1,
                    y1,      alphaAbove,       -bands - margin};
  auto& measured = Bands();
  auto found = measured.find(key);
  if (found == measured.end()) {
    std::vector<ShownPart> spans(size_t(bands), ShownPart{0.0f, 0.0f, 1.0f, 1.0f});
    platform::Device* d = GetRenderDevice().Device();
    std::vector<uint32_t> argb;
    if (d && !dynamic_cast<platform::NullDevice*>(d) &&
        !platform::Failed(d->ReadPixels(texture, platform::Rect{x0, y0, x1, y1}, &argb))) {
      for (int b = 0; b < bands; ++b) {
        // Whole texel rows; the filter reaches 'margin' rows past the band both ways.
        const int top = h * b / bands, bottom = h * (b + 1) / bands;
        int l = w, r = -1;
        for (int y = std::max(0, top - margin); y < std::min(h, bottom + margin); ++y)
          for (int x = 0; x < w; ++x)
            if (int(argb[size_t(y) * size_t(w) + size_t(x)] >> 24) > alphaAbove) {
              l = std::min(l, x);
              r = std::max(r, x);
            }
        ShownPart& span = spans[size_t(b)];
        span.top = float(top) / float(h);
        span.bottom = float(bottom) / float(h);
        if (r < 0) {
          span.left = span.right = 0.0f;
          continue;
        }
        span.left = float(std::max(0, l - margin)) / float(w);
        span.right = float(std::min(w, r + 1 + margin)) / float(w);
      }
    }
    found = measured.emplace(key, std::move(spans)).first;
  }
  for (ShownPart span : found->second) {
    if (span.right <= span.left) continue;
    // Measured along increasing texels; a mirrored cell runs the other way.
    if (u1 < u0) span = ShownPart{1.0f - span.right, span.top, 1.0f - span.left, span.bottom};
    if (v1 < v0) span = ShownPart{span.left, 1.0f - span.bottom, span.right, 1.0f - span.top};
    GVertex cut[4];
    CutQuad(q, span, cut);
    vb.AddVertices(cut, 4);
  }
}

int UnseenTexelAlpha(float shownAlpha, float levels) {
  if (!(shownAlpha > 0.0f) || !(levels >= 0.0f)) return shownAlpha > 0.0f ? 0 : 255;
  // A texel of alpha t moves a pixel by at most t x shownAlpha levels.
  const float most = levels / std::min(shownAlpha, 1.0f);
  if (most >= 255.0f) return 255;
  static constexpr int kSteps[] = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192};
  int unseen = 0;
  for (int step : kSteps)
    if (float(step) <= most) unseen = step;
  return unseen;
}

void ForgetShownParts() {
  Bands().clear();
  Measured().clear();
  Outlines().clear();
}
