#pragma once
// The drawable layers of a unit (hull, turret, colour layers, barrels) with their shadow
// pass and the damage marks that fade in where hits land, and the registry of the
// battle's short-lived effects, drawn in two passes of the frame and deleted once they
// report that they are finished.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "battlescreen/TightQuads.h"
#include "engine/Sprites.h"

class CLoadedTexture;
class SIM_BattleUnit;
class SIM_UnitTargetData;
struct DesignLayer;
struct VariantLayer;

// One mark on a unit layer: a cell of the damage sheet, cut to the layer's own shape.
struct GUI_BS_DamageMark {
  enum State { FADING_IN = 0, SHOWN = 1, FADING_OUT = 2, FINISHED = 3 };
  static constexpr float kFadeMs = 200.0f;
  static constexpr int kFlashCell = 31;

  // Advances the fade by the battle's frame time; true once finished.
  bool Step(float frameMs);
  uint8_t Alpha() const { return static_cast<uint8_t>(colour >> 24); }

  const SIM_UnitTargetData* hit = nullptr;  // the hull's aim point; not owned
  int cell = 0;
  int state = FADING_IN;
  bool flash = false;
  bool visible = false;
  float elapsed = 0.0f;
  uint32_t colour = 0x00FFFFFFu;
  // The layer texture's rectangle under the mark, then the damage cell's rectangle.
  float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
  float du0 = 0, dv0 = 0, du1 = 0, dv1 = 0;
  GVertex2 v[4];
};

class GUI_BS_Sprite : public GUI_BS_RenderObject {
 public:
  static constexpr int kDamageColumns = 8;
  static constexpr int kDamageRows = 4;

  GUI_BS_Sprite();
  ~GUI_BS_Sprite() override;

  // Takes the texture, texture rectangle, names and colour of the layer. A missing
  // colour entry is drawn white.
  void Setup(const DesignLayer* designLayer, const VariantLayer* layer);
  void SetTexture(const std::string& name);
  // Queues the placed main quad; draws the marks (which need their own states).
  void Draw() override;
  // The light map's pass: the marks seen this frame drawn in their own colour.
  void DrawDamageMarkGlow();

  bool HasDamageMark(const SIM_UnitTargetData* hit) const;
  // A permanent mark with that damage-sheet cell (0..30); false when the hit has one.
  bool AddDamageMark(const SIM_UnitTargetData* hit, int cell);
  // A mark that shows briefly and fades; nothing when the hit already has a mark.
  void FlashDamageMark(const SIM_UnitTargetData* hit);
  int CountMarks() const { return static_cast<int>(damageMarks.size()); }

  CTexturedSprite mainQuad;
  // The part of the screen a layer drawn after this one covers: left out of its quad.
  CoveredPart coveredBy;
  CTexturedSprite lightQuadA;
  CTexturedSprite lightQuadB;
  std::string layerName;
  std::string hulkTexture;
  float angle = 0.0f;
  float offsetX = 0.0f;
  float offsetY = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
  int colourR = 255, colourG = 255, colourB = 255, colourA = 255;
  SIM_BattleUnit* unit = nullptr;
  const VariantLayer* variantLayer = nullptr;  // the hull variant's layer; not owned
  std::string textureName;
  std::list<std::unique_ptr<GUI_BS_DamageMark>> damageMarks;
  CLoadedTexture* damageTexture = nullptr;
  const DesignLayer* designLayer = nullptr;
  bool hasChildren = false;
  // A child draws into the scene (a laser beam), so the queued quads go out first;
  // searchlights only light the light map and leave the units' batch whole.
  bool childrenDrawScene = false;
  bool hasLights = false;  // children that only add to the light map
  // Raised by one for every permanent mark added (the unit visual's count); may be null.
  int32_t* markCounter = nullptr;
  // The searchlights and laser guidance the layer's attachment lines build (drawn as
  // children).
  std::vector<std::unique_ptr<GUI_BS_RenderObject>> ownedChildren;

 private:
  void BuildAttachments(const VariantLayer* layer);
  std::unique_ptr<GUI_BS_DamageMark> MakeMark(const SIM_UnitTargetData* hit, int cell, bool flash) const;
  void DrawMark(GUI_BS_DamageMark& mark);
};

// Stage 1 masks stage 0: colour of the second texture, alpha of both and the vertex.
// Unit layers are alpha blended. A particle effect drawn just before them (a damaged unit's
// fire, a burning wreck) leaves the batch additive, which would draw units over bright
// ground as white shapes: its quads go out first and the batch is normal again.
void BeginUnitBatch();
void SetMaskedSpriteStates();
void ResetMaskedSpriteStates();

// The short-lived world effects, in two draw passes (layer 0 below the units, 1 above;
// 2 is drawn in both). The manager owns every effect added.
class GUI_BS_EffectsManager {
 public:
  static GUI_BS_EffectsManager& Instance();
  virtual ~GUI_BS_EffectsManager();

  void Add(GUI_BS_RenderObject* effect);
  // Takes the effect out of the lists without deleting it.
  void Remove(GUI_BS_RenderObject* effect);
  // Draws every effect of the pass; those that report finished are deleted afterwards.
  virtual void DrawLayer(int index);
  void Clear();

  int currentLayer = 2;
  std::vector<GUI_BS_RenderObject*> layerLists[2];
  std::vector<GUI_BS_RenderObject*> allEffects;

 private:
  std::vector<GUI_BS_RenderObject*> finishedScratch;
};
