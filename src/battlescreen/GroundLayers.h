#pragma once
// The placed ground props of a battle (rocks, bushes, trees, crates...) in three draw
// groups, each batched by texture, with their shadows; the props a building lays beside
// itself; and the blood splats.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "battle/BattleView.h"
#include "engine/Sprites.h"

class CLoadedTexture;
class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_PropType;
struct PlacedProp;

class GUI_BS_GroundProp;

// Where a prop's searchlight goes (the searchlight manager registers itself; without
// it a prop carries none). The light tells its prop where the beam points.
struct GroundPropSearchlightHooks {
  void* (*add)(GUI_BS_GroundProp* prop, float x, float y, int width, int length) = nullptr;
  void (*remove)(void* searchlight) = nullptr;
};
GroundPropSearchlightHooks& GetGroundPropSearchlightHooks();

class GUI_BS_GroundProp : public SIM_GroundPropVisual {
 public:
  enum Group { GROUP_GROUND = 0, GROUP_MIDDLE = 1, GROUP_TOP = 2 };
  enum Cull { CULL_DRAW = 0, CULL_CULLED = 1, CULL_DRAWN = 2 };

  GUI_BS_GroundProp() = default;
  // Leaves the ground layers and drops its searchlight.
  ~GUI_BS_GroundProp() override;

  // A prop of the scenario.
  void Init(const PlacedProp* placed);
  // A prop a unit lays beside itself.
  void InitFromDesc(const GroundPropDesc& desc);
  // Reads the type's attributes: "SEARCHLIGHT,width,length" gives the prop a searchlight
  // and a lamp head on top of its picture.
  void ReadAttributes();
  void SetHeadingAll(float degrees);
  // The lamp head turns to the beam; the base stays as placed.
  void SetLampHeading(float degrees);
  void DrawShadow(float viewLeft, float viewTop, float viewRight, float viewBottom);
  void Draw();
  void RemoveSearchlight();
  const std::string& TextureName() const;

  float x = 0.0f;
  float y = 0.0f;
  float heading = 0.0f;
  SIM_MapSquare* square = nullptr;
  CTexturedSprite sprite;
  CTexturedSprite shadowSprite;
  const PlacedProp* placedProp = nullptr;
  const SIM_PropType* type = nullptr;
  float width = 0.0f;
  float height = 0.0f;
  float size = 0.0f;
  float shadowLength = 0.0f;
  float shadowX = 0.0f;
  float shadowY = 0.0f;
  int group = GROUP_TOP;
  void* searchlight = nullptr;
  // Drawn over the prop's picture, turned with its searchlight's beam.
  bool hasLampHead = false;
  float lampHeading = 0.0f;
  CTexturedSprite lampHead;
  int cullState = CULL_DRAW;
  // Laid by a unit, which owns it (the layers only list it).
  bool ownedByUnit = false;

 private:
  void BuildSprites();
};

struct GroundBatch {
  std::string textureName;
  CLoadedTexture* texture = nullptr;
  std::vector<GUI_BS_GroundProp*> props;
};

struct GroundLayers {
  GroundLayers();
  ~GroundLayers();
  std::vector<GUI_BS_GroundProp*> groupProps[3];
  std::list<GUI_BS_GroundProp*> allProps;      // owns the scenario's props
  std::list<GUI_BS_GroundProp*> removedProps;  // owned: taken away from under buildings
  std::vector<GroundBatch> groupBatches[3];
  // Set while the layers delete their props, which then need not leave the lists.
  bool dying = false;
};
GroundLayers& GetGroundLayers();

void ConstructGroundLayers();
// Battle-screen start: the scenario's props, minus those under buildings, batched.
void BuildGroundLayers();
void ClearGroundLayers();
void GroundPropAddToLayers(GUI_BS_GroundProp* prop, bool rebuild);
void GroundPropRemoveFromLayers(GUI_BS_GroundProp* prop);
void GroundLayerBuildBatches(int group);
void RemoveGroundPropsUnderUnit(const SIM_BattleUnit* unit);
void RemoveGroundPropsUnderBuildings();
// A building went: the props it covered near (x, y) come back.
void RestoreGroundPropsAt(float x, float y);

// After the tiles (groups 0 and 1), over the units (group 2), and group 2 into the light map.
void DrawUnderTileGroups();
void DrawTopGroup();
void DrawTopGroupLight();

class GUI_BS_BloodSplat {
 public:
  // Culls and queues its quad; grows to full size over its first 5000 ms.
  void Advance(float fade, float elapsedMs);
  float x = 0.0f;
  float y = 0.0f;
  float age = 0.0f;
  float rotation = 0.0f;
  float alpha = 1.0f;
  int frame = 0;
  BaseSprite sprite;
};

struct BloodSplatLayer {
  static constexpr float kFullSizeMs = 5000.0f;
  static constexpr float kFullSize = 24.0f;
  static BloodSplatLayer& Get();
  ~BloodSplatLayer() { Clear(); }
  void Init();
  void Clear();
  void Draw();
  float fade = 0.0f;
  CLoadedTexture* texture = nullptr;
  std::vector<GUI_BS_BloodSplat*> splats;  // owned
};
// A soldier fell at (x, y): a splat, when the "BLOOD" option is on (else null). The
// layer owns it; the corpse keeps it to take it along when it goes.
GUI_BS_BloodSplat* AddBloodSplat(float x, float y);
