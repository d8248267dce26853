#pragma once
// Screen quads: BaseSprite holds the geometry (four engine vertices, size, rotation),
// CTexturedSprite adds a texture handle. Sprites are queued into the global vertex buffer
// (batched) or drawn at once. QuadSprite mirrors one quarter image into four quadrants;
// GCompositeSprite draws with two texture coordinate sets.
#include <string>
#include <vector>

#include "engine/VertexBuffer.h"

class CLoadedTexture;

// 360-entry sine and cosine tables, one per whole degree: entry i holds the sine (cosine)
// of i degrees. Filled at start-up by InitTrigTables; TableSin and TableCos also fill
// them on first use so nothing reads an empty table.
extern float SinTable[360];
extern float CosTable[360];
void InitTrigTables();
float TableSin(int degrees);  // any integer degree, wrapped into 0..359
float TableCos(int degrees);

class BaseSprite {
 public:
  BaseSprite();
  virtual ~BaseSprite() = default;

  virtual bool Contains(float x, float y) const;
  virtual void SetPosition(float x, float y);
  virtual void SetPositionFast(float x, float y);
  virtual void DrawDirect();
  virtual void DrawClipped(float left, float top, float right, float bottom);

  void PlaceRotated(float x, float y, float cosA, float sinA);
  void PlaceAxisAligned(float x, float y);
  void MoveBy(float dx, float dy);
  void SetColour(int a, int r, int g, int b);
  void SetColour(uint32_t argb);
  void SetUV(float u0, float v0, float u1, float v1);
  void SetSize(float w, float h) {
    width = w;
    height = h;
  }
  void Queue() const;
  bool IsOnScreen() const;
  // Loads the named texture into the sprite's handle only when the handle has another
  // name or no device texture (plain sprites have no handle and ignore it).
  virtual void SetTextureByName(const std::string& name) { (void)name; }

  float angle = 0.0f;
  int spare = 0;
  float width = 0.0f, height = 0.0f;
  GVertex v[4];
  bool noRotation = false;
};

class CTexturedSprite : public BaseSprite {
 public:
  CTexturedSprite() = default;
  explicit CTexturedSprite(const std::string& textureName);
  void DrawDirect() override;
  void DrawClipped(float left, float top, float right, float bottom) override;
  void SetTextureByName(const std::string& name) override;
  // Always reloads the handle from the name.
  void SetSpriteTexture(const std::string& name);

  CLoadedTexture* texture = nullptr;  // shared registry handle (not owned)
};

// Places four bare vertices like SetPositionFast.
void PlaceQuad(GVertex* vertices, float width, float height, float x, float y, float angle);
// Frame n of a sheet read left to right, top to bottom; returns the row + 1.
int SetSpriteFrame(int n, BaseSprite* sprite, int rows, int columns);
void SetSpriteFrameSquare(int n, BaseSprite* sprite, int count);
void LoadTextureByName(const std::string& name, CLoadedTexture** handle);

// Sprite lists.
using SpriteList = std::vector<CTexturedSprite*>;
void AddSpriteToList(SpriteList& list, CTexturedSprite* sprite);
void DrawSpriteList(SpriteList& list, bool clear);

class QuadSprite {
 public:
  QuadSprite();
  virtual ~QuadSprite() = default;
  void SetSize(float size);
  void SetAngle(float x, float y);
  void SetAlpha(int alpha);
  void SetTexture(const std::string& name);
  bool IsVisible() const;
  void Draw();

  CLoadedTexture* texture = nullptr;
  CTexturedSprite quads[4];  // top-left, top-right, bottom-left, bottom-right
  float size = 0.0f;
  float angle = 0.0f;
};

class GCompositeSprite {
 public:
  GCompositeSprite();
  virtual ~GCompositeSprite() = default;
  void SetPosition(float x, float y);
  void SetFrame(int n);
  virtual void Draw();

  GVertex2 v[4];
  float width = 0.0f, height = 0.0f;
};
GCompositeSprite& GetCompositeSprite();
