#pragma once
// The flat ground of the battle map: one tile per scenario square, the border tiles
// that continue the ground above and below the map, and the tile props (an
// emplacement's or a road's picture on its square).
#include <string>
#include <vector>

#include "engine/Sprites.h"

class GUI_BS_Map;
class SIM_MapSquare;
class SIM_Scenario;
struct GroundTexture;

class GUI_BS_TileProp {
 public:
  GUI_BS_TileProp(const std::string& textureName, float heading);
  virtual ~GUI_BS_TileProp() = default;
  void Place(float x, float y);
  // Queued into the shared batch when near the view.
  virtual void Draw(const GUI_BS_Map& map);
  // Drawn at once at a scale from an origin (the minimap's backdrop), then put back.
  void DrawScaled(float originX, float originY, float scaleX, float scaleY);

  float x = 0.0f;
  float y = 0.0f;
  float heading = 0.0f;
  CTexturedSprite sprite;
  CTexturedSprite shadowSprite;
  std::string textureName;
  SIM_MapSquare* square = nullptr;
  // A picture only (a road piece), not an emplacement with positions.
  bool fixedPicture = false;
};

class GUI_BS_MapTile {
 public:
  GUI_BS_MapTile() = default;
  virtual ~GUI_BS_MapTile();
  GUI_BS_MapTile(const GUI_BS_MapTile&) = delete;
  GUI_BS_MapTile& operator=(const GUI_BS_MapTile&) = delete;

  void Init(SIM_MapSquare* square, const SIM_Scenario* scenario);
  void UpdateShadowCoords(float mapWidth, float mapHeight);
  // Culled against the view grown by 200; sets drawnThisFrame.
  void Draw(const GUI_BS_Map& map);

  float x = 0.0f;
  float y = 0.0f;
  CTexturedSprite sprite;
  float cornerX0 = 0.0f, cornerY0 = 0.0f, cornerX1 = 0.0f, cornerY1 = 0.0f;
  std::string groundTextureName;
  BaseSprite shadowSprite;
  GUI_BS_TileProp* tileProp = nullptr;  // the tile-prop list owns it
  void* emplacement = nullptr;          // the emplacement manager's, when one is built
  SIM_MapSquare* square = nullptr;
  bool playerZone = false;
  bool drawnThisFrame = false;
  int hits = 0;  // shell hits on units standing here; a worn tile stops showing small ones
  // Hit marks on this square: craters (capped unless forced), ground blasts and the
  // explosions' own ground marks (which count toward the blast cap).
  int craters = 0;
  int groundBlasts = 0;
  int explosionMarks = 0;
  bool noCraters = false;
};

class GUI_BS_EdgeTile {
 public:
  GUI_BS_EdgeTile(const std::string& textureName, float x, float y, const GroundTexture* ground,
                  float mapWidth, float mapHeight);
  virtual ~GUI_BS_EdgeTile() = default;
  // The shadow map reflected into the border.
  void UpdateShadowCoords(float mapWidth, float mapHeight);
  // Culled against the view grown by 600.
  void Draw(const GUI_BS_Map& map);

  float x = 0.0f;
  float y = 0.0f;
  CTexturedSprite sprite;
  std::string textureName;
  BaseSprite shadowSprite;
  bool drawnThisFrame = false;
};

// The global tile-prop list, drawn after the tiles in texture order.
std::vector<GUI_BS_TileProp*>& TileProps();
void SortTileProps();
void DrawTileProps(const GUI_BS_Map& map);
// Deletes every tile prop.
void ClearTileProps();
