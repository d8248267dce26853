#include "engine/Sprites.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"

using platform::PrimitiveType;

namespace {
constexpr float kDegToRad = 0.017453292f;
bool g_trigReady = false;

int WrapDegrees(int d) {
  d %= 360;
  return d < 0 ? d + 360 : d;
}
}  // namespace

float SinTable[360];
float CosTable[360];

void InitTrigTables() {
  for (int i = 0; i < 360; ++i) {
    SinTable[i] = std::sin(float(i) * kDegToRad);
    CosTable[i] = std::cos(float(i) * kDegToRad);
  }
  g_trigReady = true;
}

// The tables are indexed by the whole degree, wrapped, so 360 or a negative angle stays
// inside them.
float TableSin(int degrees) {
  if (!g_trigReady) InitTrigTables();
  return SinTable[WrapDegrees(degrees)];
}
float TableCos(int degrees) {
  if (!g_trigReady) InitTrigTables();
  return CosTable[WrapDegrees(degrees)];
}

// ---------------------------------------------------------------------------------
BaseSprite::BaseSprite() {
  const float us[4] = {0, 1, 0, 1};
  const float vs[4] = {0, 0, 1, 1};
  for (int i = 0; i < 4; ++i) {
    v[i] = GVertex();
    v[i].u = us[i];
    v[i].v = vs[i];
  }
}

bool BaseSprite::Contains(float x, float y) const {
  return x > v[0].x && x < v[1].x && y > v[0].y && y < v[2].y;
}

void BaseSprite::PlaceAxisAligned(float x, float y) {
  float w2 = width / 2.0f, h2 = height / 2.0f;
  v[0].x = x - w2;
  v[0].y = y - h2;
  v[1].x = x + w2;
  v[1].y = y - h2;
  v[2].x = x - w2;
  v[2].y = y + h2;
  v[3].x = x + w2;
  v[3].y = y + h2;
}

void BaseSprite::PlaceRotated(float x, float y, float c, float s) {
  float w2 = width / 2.0f, h2 = height / 2.0f;
  const float dx[4] = {-w2, w2, -w2, w2};
  const float dy[4] = {-h2, -h2, h2, h2};
  for (int i = 0; i < 4; ++i) {
    v[i].x = x + dx[i] * c - dy[i] * s;
    v[i].y = y + dx[i] * s + dy[i] * c;
  }
}

void BaseSprite::SetPosition(float x, float y) {
  if (angle == 0.0f || noRotation) {
    PlaceAxisAligned(x, y);
    return;
  }
  float a = angle * kDegToRad;
  PlaceRotated(x, y, std::cos(a), std::sin(a));
}

void BaseSprite::SetPositionFast(float x, float y) {
  if (angle == 0.0f || noRotation) {
    PlaceAxisAligned(x, y);
    return;
  }
  int d = int(angle);
  PlaceRotated(x, y, TableCos(d), TableSin(d));
}

void PlaceQuad(GVertex* vertices, float width, float height, float x, float y, float angle) {
  BaseSprite s;
  s.width = width;
  s.height = height;
  s.angle = angle;
  for (int i = 0; i < 4; ++i) s.v[i] = vertices[i];
  s.SetPositionFast(x, y);
  for (int i = 0; i < 4; ++i) {
    vertices[i].x = s.v[i].x;
    vertices[i].y = s.v[i].y;
  }
}

void BaseSprite::MoveBy(float dx, float dy) {
  for (auto& p : v) {
    p.x += dx;
    p.y += dy;
  }
}

void BaseSprite::SetColour(int a, int r, int g, int b) {
  SetColour(uint32_t(a & 0xFF) << 24 | uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 |
            uint32_t(b & 0xFF));
}
void BaseSprite::SetColour(uint32_t argb) {
  for (auto& p : v) p.colour = argb;
}

void BaseSprite::SetUV(float u0, float v0, float u1, float v1) {
  v[0].u = u0;
  v[0].v = v0;
  v[1].u = u1;
  v[1].v = v0;
  v[2].u = u0;
  v[2].v = v1;
  v[3].u = u1;
  v[3].v = v1;
}

void BaseSprite::Queue() const { GetGlobalVertexBuffer().AddVertices(v, 4); }

// On screen when the box around the corners covers some of the screen. The box test
// also serves unrotated sprites: a sprite whose edges lie exactly on the screen's edges
// (a full-screen picture) has no corner strictly inside and crosses neither way, yet
// fills the screen; only a sprite that merely touches the screen from outside, or has
// no area, is off.
bool BaseSprite::IsOnScreen() const {
  D3DEngine& e = GetRenderDevice();
  const float W = float(e.ScreenWidth()), H = float(e.ScreenHeight());
  float minX = v[0].x, maxX = v[0].x, minY = v[0].y, maxY = v[0].y;
  for (const auto& p : v) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const float ix0 = std::max(minX, 0.0f), ix1 = std::min(maxX, W);
  const float iy0 = std::max(minY, 0.0f), iy1 = std::min(maxY, H);
  return ix0 < ix1 && iy0 < iy1;
}

void BaseSprite::DrawDirect() {
  if (!IsOnScreen()) return;
  D3DEngine& e = GetRenderDevice();
  e.EnsureScene();
  e.DrawVertices(PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex));
}

void BaseSprite::DrawClipped(float left, float top, float right, float bottom) {
  BaseSprite c = *this;
  float sl = v[0].x, sr = v[1].x, st = v[0].y, sb = v[2].y;
  float w = sr - sl, h = sb - st;
  if (w <= 0 || h <= 0) return;
  if (sl >= right || sr <= left || st >= bottom || sb <= top) return;
  float uSpan = v[1].u - v[0].u, vSpan = v[2].v - v[0].v;
  // Moves one edge (the vertices a and b) to the clip line, with its texture coordinate.
  auto moveEdge = [&c](int a, int b, float GVertex::*pos, float GVertex::*tex, float to, float texTo) {
    c.v[a].*pos = c.v[b].*pos = to;
    c.v[a].*tex = c.v[b].*tex = texTo;
  };
  if (sl < left) moveEdge(0, 2, &GVertex::x, &GVertex::u, left, v[0].u + (left - sl) / w * uSpan);
  if (sr > right) moveEdge(1, 3, &GVertex::x, &GVertex::u, right, v[1].u - (sr - right) / w * uSpan);
  if (st < top) moveEdge(0, 1, &GVertex::y, &GVertex::v, top, v[0].v + (top - st) / h * vSpan);
  if (sb > bottom) moveEdge(2, 3, &GVertex::y, &GVertex::v, bottom, v[2].v - (sb - bottom) / h * vSpan);
  if (!c.IsOnScreen()) return;
  D3DEngine& e = GetRenderDevice();
  e.EnsureScene();
  e.DrawVertices(PrimitiveType::TriangleStrip, 2, c.v, sizeof(GVertex));
}

// ---------------------------------------------------------------------------------
CTexturedSprite::CTexturedSprite(const std::string& textureName) { texture = FindOrLoadTexture(textureName); }

void CTexturedSprite::DrawDirect() {
  if (texture) texture->Bind();
  BaseSprite::DrawDirect();
}

void CTexturedSprite::DrawClipped(float left, float top, float right, float bottom) {
  if (texture) texture->Bind();
  BaseSprite::DrawClipped(left, top, right, bottom);
}

void CTexturedSprite::SetTextureByName(const std::string& name) {
  if (!texture || texture->name != name || !texture->texture) texture = FindOrLoadTexture(name);
}

void CTexturedSprite::SetSpriteTexture(const std::string& name) {
  texture = FindOrLoadTexture(name);
  texture->Relink();
}

int SetSpriteFrame(int n, BaseSprite* sprite, int rows, int columns) {
  if (!sprite || rows <= 0 || columns <= 0 || n < 0) return 0;
  int col = n % columns, row = n / columns;
  float u0 = float(col) / float(columns), u1 = float(col + 1) / float(columns);
  float v0 = float(row) / float(rows), v1 = float(row + 1) / float(rows);
  sprite->SetUV(u0, v0, u1, v1);
  return row + 1;
}

void SetSpriteFrameSquare(int n, BaseSprite* sprite, int count) {
  if (count < 1) return;  // no sheet: nothing to select
  int side = int(std::sqrt(double(count)));
  if (side < 1) side = 1;
  SetSpriteFrame(n, sprite, side, side);
}

void LoadTextureByName(const std::string& name, CLoadedTexture** handle) {
  if (handle) *handle = FindOrLoadTexture(name);
}

void AddSpriteToList(SpriteList& list, CTexturedSprite* sprite) {
  if (sprite) list.push_back(sprite);
}

void DrawSpriteList(SpriteList& list, bool clear) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  for (CTexturedSprite* s : list) {
    vb.SetTexture(s->texture);
    if (vb.Capacity() - vb.QueuedCount() < 4) vb.Flush();
    s->Queue();
  }
  if (clear) list.clear();
  vb.Flush();
}

// ---------------------------------------------------------------------------------
// A quad sprite is a group of quads sharing one texture.
namespace {
template <size_t N>
void SetQuadsAlpha(CTexturedSprite (&quads)[N], int alpha) {
  for (auto& q : quads) q.SetColour((uint32_t(alpha & 0xFF) << 24) + 0xFFFFFFu);
}

template <size_t N>
CLoadedTexture* SetQuadsTexture(CTexturedSprite (&quads)[N], const std::string& name) {
  CLoadedTexture* texture = FindOrLoadTexture(name);
  for (auto& q : quads) q.texture = texture;
  return texture;
}

// The texture is bound once, and only when some quad is on screen.
template <size_t N>
void DrawQuads(CTexturedSprite (&quads)[N], CLoadedTexture* texture) {
  bool bound = false;
  for (auto& q : quads) {
    if (!q.IsOnScreen()) continue;
    if (!bound) {
      if (texture) texture->Bind();
      bound = true;
    }
    q.BaseSprite::DrawDirect();
  }
}
}  // namespace

QuadSprite::QuadSprite() {
  quads[1].SetUV(1, 0, 0, 1);  // mirrored left to right
  quads[2].SetUV(0, 1, 1, 0);  // mirrored top to bottom
  quads[3].SetUV(1, 1, 0, 0);  // both
}

void QuadSprite::SetSize(float s) {
  size = s;
  for (auto& q : quads) q.SetSize(s / 2.0f, s / 2.0f);
}

void QuadSprite::SetAngle(float x, float y) {
  float s4 = size / 4.0f;
  float a = angle * kDegToRad;
  float c = std::cos(a), s = std::sin(a);
  const float dx[4] = {-s4, s4, -s4, s4};
  const float dy[4] = {-s4, -s4, s4, s4};
  for (int i = 0; i < 4; ++i) {
    quads[i].angle = angle;
    quads[i].SetPosition(x + dx[i] * c - dy[i] * s, y + dx[i] * s + dy[i] * c);
  }
}

void QuadSprite::SetAlpha(int alpha) { SetQuadsAlpha(quads, alpha); }

void QuadSprite::SetTexture(const std::string& name) { texture = SetQuadsTexture(quads, name); }

bool QuadSprite::IsVisible() const {
  for (const auto& q : quads)
    if (q.IsOnScreen()) return true;
  return false;
}

void QuadSprite::Draw() { DrawQuads(quads, texture); }

// ---------------------------------------------------------------------------------
GCompositeSprite::GCompositeSprite() {
  const float us[4] = {0, 1, 0, 1};
  const float vs[4] = {0, 0, 1, 1};
  for (int i = 0; i < 4; ++i) {
    v[i].u = v[i].u2 = us[i];
    v[i].v = v[i].v2 = vs[i];
  }
}

void GCompositeSprite::SetPosition(float x, float y) {
  float w2 = width / 2.0f, h2 = height / 2.0f;
  const float dx[4] = {-w2, w2, -w2, w2};
  const float dy[4] = {-h2, -h2, h2, h2};
  for (int i = 0; i < 4; ++i) {
    v[i].x = x + dx[i];
    v[i].y = y + dy[i];
  }
}

void GCompositeSprite::SetFrame(int n) {
  if (n < 0) n = 0;
  int col = n % 4, row = (n / 4) % 4;
  float u0 = col / 4.0f, u1 = (col + 1) / 4.0f, v0 = row / 4.0f, v1 = (row + 1) / 4.0f;
  v[0].u = u0, v[0].v = v0;
  v[1].u = u1, v[1].v = v0;
  v[2].u = u0, v[2].v = v1;
  v[3].u = u1, v[3].v = v1;
}

void GCompositeSprite::Draw() {
  D3DEngine& e = GetRenderDevice();
  e.EnsureScene();
  e.DrawVertices(PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex2));
}

GCompositeSprite& GetCompositeSprite() {
  static std::unique_ptr<GCompositeSprite> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<GCompositeSprite>();
  return *s;
}
