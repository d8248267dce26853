#include "battlescreen/MapTiles.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Emplacements.h"
#include "engine/ErrorReporting.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {
constexpr float kTile = GUI_BS_Map::kSquareSize;

// At exit the process-wide objects go in any order: once the list has gone, the map's
// destructor must not reach for it.
bool g_tilePropListGone = false;

struct TilePropList {
  std::vector<GUI_BS_TileProp*> props;  // owned
  TilePropList() { g_tilePropListGone = false; }
  ~TilePropList() {
    for (GUI_BS_TileProp* p : props) delete p;
    props.clear();
    g_tilePropListGone = true;
  }
};

bool Outside(const GUI_BS_Map& map, float x, float y, float margin) { return map.IsOffScreen(x, y, margin); }

void QueueSprite(const CTexturedSprite& s) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(s.texture);
  vb.AddVertices(s.v, 4);
}

void SetShadowUV(BaseSprite& s, float u0, float v0, float u1, float v1) {
  s.v[0].u = u0, s.v[0].v = v0;
  s.v[1].u = u1, s.v[1].v = v0;
  s.v[2].u = u0, s.v[2].v = v1;
  s.v[3].u = u1, s.v[3].v = v1;
}

void PlaceGroundSprite(BaseSprite& s, float x, float y) {
  s.SetSize(kTile, kTile);
  s.angle = 0.0f;
  s.PlaceAxisAligned(x, y);
}
}  // namespace

std::vector<GUI_BS_TileProp*>& TileProps() { return ProcessWide<TilePropList>().props; }

void SortTileProps() {
  auto& props = TileProps();
  std::stable_sort(props.begin(), props.end(), [](const GUI_BS_TileProp* a, const GUI_BS_TileProp* b) {
    return a->textureName < b->textureName;
  });
}

void DrawTileProps(const GUI_BS_Map& map) {
  for (GUI_BS_TileProp* p : TileProps()) p->Draw(map);
}

void ClearTileProps() {
  if (g_tilePropListGone) return;
  if (TilePropList* list = ProcessWideIfAlive<TilePropList>()) {
    for (GUI_BS_TileProp* p : list->props) delete p;
    list->props.clear();
  }
}

GUI_BS_TileProp::GUI_BS_TileProp(const std::string& name, float h) : heading(h), textureName(name) {
  sprite.SetSpriteTexture(name);
  shadowSprite.SetSpriteTexture(name);
  sprite.SetSize(kTile, kTile);
  shadowSprite.SetSize(kTile, kTile);
  sprite.angle = h;
  shadowSprite.angle = h;
}

void GUI_BS_TileProp::Place(float px, float py) {
  x = px;
  y = py;
  sprite.SetPosition(x, y);
  shadowSprite.SetPosition(x, y);
}

void GUI_BS_TileProp::Draw(const GUI_BS_Map& map) {
  if (Outside(map, x, y, 100.0f)) return;
  QueueSprite(sprite);
}

void GUI_BS_TileProp::DrawScaled(float originX, float originY, float scaleX, float scaleY) {
  if (fixedPicture) return;
  sprite.SetSize(kTile * scaleX, kTile * scaleY);
  sprite.SetPosition(originX + x * scaleX, originY + y * scaleY);
  if (sprite.texture) sprite.texture->Bind();
  sprite.DrawDirect();
  sprite.SetSize(kTile, kTile);
  sprite.SetPosition(x, y);
}

GUI_BS_MapTile::~GUI_BS_MapTile() = default;

void GUI_BS_MapTile::Init(SIM_MapSquare* sq, const SIM_Scenario* scenario) {
  ZT_ASSERT(sq != nullptr);
  square = sq;
  if (!sq) return;
  GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(sq->text);
  ZT_ASSERT(ground != nullptr);
  x = sq->centreX;
  y = sq->centreY;
  cornerX0 = sq->column * kTile;
  cornerY0 = sq->row * kTile;
  cornerX1 = cornerX0 + kTile;
  cornerY1 = cornerY0 + kTile;
  PlaceGroundSprite(sprite, x, y);
  PlaceGroundSprite(shadowSprite, x, y);
  if (ground) {
    groundTextureName = ground->texture;
    sprite.SetSpriteTexture(ground->texture);
    sprite.SetUV(ground->left, ground->top, ground->right, ground->bottom);
  }

  if (!sq->object.empty()) {
    EmplacementType* type = SIM_EmplacementManager::Get().Find(sq->object);
    ZT_ASSERT(type != nullptr);
    if (type) {
      // An emplacement's positions are the emplacements' own; the square shows its base.
      tileProp = new GUI_BS_TileProp(type->texture, sq->angle);
      tileProp->square = sq;
      tileProp->fixedPicture = sq->kind != SIM_MapSquare::KIND_EMPLACEMENT;
      tileProp->sprite.SetUV(type->uvLeft, type->uvTop, type->uvRight, type->uvBottom);
      tileProp->Place(x, y);
      TileProps().push_back(tileProp);
      // Soldiers dropped here take the emplacement's places (paths are pictures only).
      if (!tileProp->fixedPicture && !type->offsets.empty()) {
        GUI_BS_Emplacement* e = GUI_BS_EmplacementManager::Instance().Create();
        e->type = type;
        e->placement = sq;
        e->BuildSlots();
        emplacement = e;
      }
    }
  }

  const bool defends = BattleExists() && GetBattle().playerDefends;
  playerZone = (sq->attackerFlag && !defends) || (sq->defenderFlag && defends);
  if (scenario) UpdateShadowCoords(scenario->maxCols * kTile, scenario->maxRows * kTile);
}

void GUI_BS_MapTile::UpdateShadowCoords(float w, float h) {
  if (w <= 0.0f || h <= 0.0f) return;
  const float u = x / w, v = y / h, du = 100.0f / w, dv = 100.0f / h;
  SetShadowUV(shadowSprite, u - du, v - dv, u + du, v + dv);
}

void GUI_BS_MapTile::Draw(const GUI_BS_Map& map) {
  drawnThisFrame = false;
  if (Outside(map, x, y, 200.0f)) return;
  QueueSprite(sprite);
  drawnThisFrame = true;
}

GUI_BS_EdgeTile::GUI_BS_EdgeTile(const std::string& name, float px, float py, const GroundTexture* ground,
                                 float mapWidth, float mapHeight)
    : x(px), y(py), textureName(name) {
  PlaceGroundSprite(sprite, x, y);
  PlaceGroundSprite(shadowSprite, x, y);
  if (!name.empty()) sprite.SetSpriteTexture(name);
  if (ground) sprite.SetUV(ground->left, ground->top, ground->right, ground->bottom);
  UpdateShadowCoords(mapWidth, mapHeight);
}

void GUI_BS_EdgeTile::UpdateShadowCoords(float w, float h) {
  if (w <= 0.0f || h <= 0.0f) return;
  auto mirror = [](float v) { return v < 0.0f ? -v : (v > 1.0f ? 2.0f - v : v); };
  const float u = x / w, v = y / h, du = 100.0f / w, dv = 100.0f / h;
  SetShadowUV(shadowSprite, u - du, mirror(v - dv), u + du, mirror(v + dv));
}

void GUI_BS_EdgeTile::Draw(const GUI_BS_Map& map) {
  drawnThisFrame = false;
  if (Outside(map, x, y, 600.0f)) return;
  QueueSprite(sprite);
  drawnThisFrame = true;
}
