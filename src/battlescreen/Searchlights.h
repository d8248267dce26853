#pragma once
// Moving lights that find enemy units by themselves: searchlights sweeping at night
// (on units, or standing free as map props) and laser guidance beams that turn to the
// nearest enemy. Searchlights exist only as lights in the light map; lasers are drawn into
// the scene and light it too. Neither keeps a unit that has left the battle.
#include <list>
#include <memory>

#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"
#include "engine/VertexBuffer.h"

class GUI_BS_GroundProp;
class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_UnitTargetData;

// Whether a unit still belongs to the battle through that army (its lists hold it).
bool UnitInArmy(const SIM_BattleArmy* army, const SIM_BattleUnit* unit);

struct GUI_BS_TargetSweep {
  GUI_BS_TargetSweep();
  // Turns towards the nearest candidate of `army` seen from (x, y).
  void Update(float x, float y, float frameMs);

  float angle = 0.0f;
  SIM_BattleUnit* target = nullptr;
  float timer = 0.0f;
  SIM_BattleArmy* army = nullptr;
  float turnSpeed = 0.02f;
};

// Where searchlights and laser beams go once placed: the light map's world list. Unset
// (no light map), nothing is lit.
struct SearchlightLightHooks {
  bool (*lightMapActive)() = nullptr;
  void (*addWorldLight)(CTexturedSprite* sprite) = nullptr;
  // Queues a light drawn by its own function into the light map this frame.
  void (*addDrawnLight)(void (*draw)(void* object), void* object) = nullptr;
};
SearchlightLightHooks& GetSearchlightLightHooks();

// A searchlight mounted on a unit, drawn as a child of the unit's sprite.
class GUI_BS_Searchlight : public GUI_BS_RenderObject {
 public:
  GUI_BS_Searchlight(SIM_BattleUnit* unit, float offsetX, float offsetY, float width, float length,
                     float sweepSpeed);
  ~GUI_BS_Searchlight() override;
  void Draw() override;
  // Places the beam for this frame; false when nothing is lit.
  bool Place(float frameMs);

  GUI_BS_TargetSweep sweep;
  SIM_BattleUnit* unit = nullptr;
  bool fixed = false;
  float fixedAngle = 0.0f;
  float offsetX = 0.0f, offsetY = 0.0f;
  float layerOffsetX = 0.0f, layerOffsetY = 0.0f;
  float width = 0.0f, length = 0.0f;
  float beamAngle = 0.0f;
  CTexturedSprite sprite;
};

// A searchlight standing on a map prop, whose lamp head it turns with the beam.
class GUI_BS_FreeSearchlight {
 public:
  GUI_BS_FreeSearchlight(float x, float y, float width, float length, GUI_BS_GroundProp* prop = nullptr);
  virtual ~GUI_BS_FreeSearchlight() = default;
  void Draw(float frameMs);

  // The prop takes its searchlight away before it goes.
  GUI_BS_GroundProp* prop = nullptr;
  float width = 0.0f, length = 0.0f;
  float x = 0.0f, y = 0.0f;
  float beamAngle = 0.0f;
  CTexturedSprite sprite;
  GUI_BS_TargetSweep sweep;
};

class GUI_BS_SearchlightManager {
 public:
  static GUI_BS_SearchlightManager& Instance();
  virtual ~GUI_BS_SearchlightManager() = default;
  GUI_BS_FreeSearchlight* Add(float x, float y, float width, float length, GUI_BS_GroundProp* prop = nullptr);
  void Remove(GUI_BS_FreeSearchlight* light);
  // The searchlight pass (lighting on).
  void DrawAll();
  void DeleteAll() { lights.clear(); }
  std::list<std::unique_ptr<GUI_BS_FreeSearchlight>> lights;
};

class GUI_BS_LaserGuidance : public GUI_BS_RenderObject {
 public:
  static constexpr int kMaxSegments = 6;
  GUI_BS_LaserGuidance(SIM_BattleUnit* owner, SIM_BattleArmy* enemy, float offsetX, float offsetY);
  ~GUI_BS_LaserGuidance() override;
  void Draw() override;
  // Advances aim and timers; false when there is nothing to draw.
  bool Step(float frameMs);
  // The nearest enemy other than the one before (a squad by one of its members).
  void Retarget();
  // Segments for an angular difference: diff / 2, 1..6.
  static int SegmentCount(float angularDifference);
  // The area swept between the beam and its trail: origin, beam end, trail end, in screen
  // space with world-anchored texture; invalid while the two rays coincide.
  void BuildSweep();
  // The beams in white and the swept area into the light map.
  void DrawLightmap();
  static void DrawLightmapOf(void* laser);

  float beamAngle = 0.0f, trailAngle = 0.0f;
  float timer = 0.0f;
  float turnSpeed = 0.14f;
  SIM_BattleUnit* target = nullptr;
  SIM_BattleUnit* previousTarget = nullptr;
  SIM_UnitTargetData* aimPart = nullptr;
  SIM_BattleArmy* army = nullptr;
  SIM_BattleUnit* owner = nullptr;
  float offsetX = 0.0f, offsetY = 0.0f;
  float range = 0.0f;
  int segments = 1;
  bool blink = false;
  float blinkClock = 0.0f;
  int colourR = 255, colourG = 40, colourB = 40;
  float holdClock = 0.0f;
  bool hold = false;
  float originX = 0.0f, originY = 0.0f;
  CTexturedSprite beams[kMaxSegments];
  bool beamShown[kMaxSegments] = {};
  GVertex sweepArea[3];
  bool sweepValid = false;
};

// Start-up wiring: the prop searchlights and the searchlight pass.
void ConnectSearchlights();
