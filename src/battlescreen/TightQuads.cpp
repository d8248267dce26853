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

ShownPart Measure(platform::Texture* texture, int x0, int y0, int x1, int y1, int alphaAbove, int margin) {
  ShownPart whole;
  platform::Device* d = GetRenderDevice().Device();
  // The null device's textures hold no art worth measuring, and its call record is what
  // its tests compare.
  if (!d || dynamic_cast<platform::NullDevice*>(d)) return whole;
  std::vector<uint32_t> argb;
  if (platform::Failed(d->ReadPixels(texture, platform::Rect{x0, y0, x1, y1}, &argb))) return whole;
  const int w = x1 - x0, h = y1 - y0;
  int l = w, t = h, r = -1, b = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (int(argb[size_t(y) * size_t(w) + size_t(x)] >> 24) > alphaAbove) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
      }
  if (r < 0) return whole;
  ShownPart part;
  part.left = float(std::max(0, l - margin)) / float(w);
  part.top = float(std::max(0, t - margin)) / float(h);
  part.right = float(std::min(w, r + 1 + margin)) / float(w);
  part.bottom = float(std::min(h, b + 1 + margin)) / float(h);
  return part;
}
}  // namespace

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

void QueueTight(const CTexturedSprite& sprite, int alphaAbove, float lodBias) {
  QueueTight(sprite.v, sprite.texture ? sprite.texture->Texture() : nullptr, alphaAbove, lodBias);
}

void ForgetShownParts() { Measured().clear(); }
