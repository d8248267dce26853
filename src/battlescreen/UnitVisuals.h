#pragma once
// The drawn counterpart of a battle unit, created through the battle screen's view
// (battle/BattleView.h) from the unit's size type. What the simulation relies on (weapon
// effects tick, the death sequence ends the unit) comes from the simulation's visual;
// the battle screen adds the unit's sprite layers, shadows, damage marks, barrel recoil,
// picking and selection. Nothing here feeds back into the fight: the only simulation
// state a visual changes is the selection flag, so a battle runs the same drawn or not.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "battle/BattleView.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"

class SIM_Scenario;
class SIM_TargetedComponent;
class GUI_BS_BreakupCollection;
class GUI_BS_Hulk;
class GUI_BS_Shield;
class GUI_BS_Tracks;
class ShellCasings;
class MechLegAnimator;

class GUI_BS_Unit : public SIM_UnitVisual, public GUI_BS_RenderObject {
 public:
  explicit GUI_BS_Unit(SIM_BattleUnit* unit);
  ~GUI_BS_Unit() override;

  // ---- The simulation's calls ----
  void BindSprites() override;
  // The arrival ended: deployment particles, sound, shock wave and shake, the placed
  // marker, and the ground under the unit cleared.
  void Placed() override;
  void SpawnPlacementEffect() override;
  // The player's own units only: the ring that shows where a unit came down.
  void AddPlacedMarker() override;
  // A wreck under the unit is cleared away; an air drop under it is collected.
  void ClearHulk();
  void CollectAirDrop();
  // Burning ground under a tank or a mech goes out (within half its width).
  void QuenchHeatEmitters();
  void LayTracks() override { UpdateTracks(); }
  void ClearSelection() override { OnKilled(); }
  void BuildTooltip() override;
  // Impact explosions, glare and the impact sound of a hit by its damage band.
  void ShowHit(const SIM_UnitTargetData* part, float damage, bool mayAddEmitter, int markAdded) override;
  void OnDestroyed() override;

  // ---- Drawing ----
  // Refreshes the unit's screen position; the kinds then queue their layers.
  void Draw() override;
  // The shadows of the unit's layers (drawn for every unit before any body).
  virtual void DrawShadows() {}
  virtual void DrawBarrelsAndShield() {}
  virtual void UpdateTracks() {}
  virtual void OnKilled();
  virtual void OnRightClick() {}
  // The battle screen's left click on this unit: selects it and its squad (double
  // click: every own unit of the same design on screen); during deployment it hands
  // the unit back to the dropper instead.
  void OnLeftClick();
  // Deployment: the unit (its whole squad for a soldier) goes back into the dropper's
  // hand; false when it cannot now.
  bool HandBackToDropper();
  // The unit's visual is handed over as a wreck and no longer refers to its unit.
  virtual void OnDetached() {}

  // Damage emitters riding on the unit (smoke and fire at hit points), kept as records
  // until the unit emitters are drawn.
  struct Emitter {
    const SIM_UnitTargetData* point = nullptr;
    std::string name;
    bool finished = false;
    // The drawn smoke (null without the effects layer); it reports when it has run out.
    std::unique_ptr<GUI_BS_RenderObject> object;
  };
  // Drawn damage only: the simulation's choice of aim point never asks the drawing, so
  // a fight runs the same drawn or headless.
  virtual bool IsPointDamaged(const SIM_UnitTargetData* part) const;
  virtual bool NeedsDamageEmitter() const { return false; }
  void AddEmitterAt(const SIM_UnitTargetData* part, const std::string& name);
  void AddDamageEmitter(const SIM_UnitTargetData* part);
  // The hit's world point: the unit position plus the point turned by the heading.
  void HitPoint(const SIM_UnitTargetData* part, float* x, float* y) const;
  std::vector<Emitter> emitters;

  GUI_BS_Sprite* FindSprite(const std::string& name, bool report) const;
  // Places one layer: its offset turned by the heading (or, for turret layers, about the
  // turret by the turret angle), the zoom, the layer colour and the unit's opacity.
  void PlaceSprite(GUI_BS_Sprite& sprite, float rotation);
  // 'coveredBy': the part of the screen a layer drawn later over it covers (not drawn).
  void DrawSprite(GUI_BS_Sprite& sprite, float rotation, const CoveredPart* coveredBy = nullptr);
  // The placed layer moved by the shadow offset, black at half alpha, queued.
  // 'underBody': the sprite itself is drawn later over its shadow at the same place, so
  // the shadow is not drawn where the sprite's opaque art will cover it; nor where the
  // 'coveredCount' parts 'coveredBy' of other layers drawn later cover it.
  void QueueSpriteShadow(GUI_BS_Sprite& sprite, float rotation, float shadowHeight, bool underBody = false,
                         const CoveredPart* coveredBy = nullptr, int coveredCount = 0);
  // The part of the screen the layer, placed as it will be drawn, covers with opaque art;
  // not valid when the unit is not drawn at full alpha this frame.
  CoveredPart CoverOf(GUI_BS_Sprite* sprite, float rotation);
  // The alpha (0..255) the unit's layers are drawn with this frame.
  int LayerAlpha() const;
  // The parts of the screen its layers drawn this frame cover with opaque art (the hull's
  // and the turret's); none when they may not be drawn or not at full alpha.
  static constexpr int kMostCoveredParts = 2;
  virtual int CoveredParts(CoveredPart out[kMostCoveredParts]) {
    (void)out;
    return 0;
  }
  bool IsOnScreen() const;
  bool IsMouseOver(float mouseX, float mouseY) const;
  float GetScreenSize() const;
  float HullSize() const;
  // True when the layer turns with the turret (the turret, its barrels and what they colour).
  bool TurnsWithTurret(const GUI_BS_Sprite& sprite) const;
  float TurretAngle() const;
  // The covered part one layer gives, placed as it will be drawn (not valid when the unit
  // will not be drawn opaque this frame).
  CoveredPart CoveredPartOfLayer(GUI_BS_Sprite* sprite, float rotation);
  // The texture most of the unit draws with (units are grouped by it).
  const void* BatchKey() const;

  std::vector<std::unique_ptr<GUI_BS_Sprite>> sprites;
  float screenX = 0.0f;
  float screenY = 0.0f;
  float radius = 0.0f;
  int32_t maxDamageEmitters = 1;
  int32_t damageMarks = 0;
  std::vector<std::string> tooltipLines;
  std::string designName;
};

class GUI_BS_InfantryShadow;

// A soldier: legs, torso and head from its design's composite of the soldier sheet (see
// InfantryCompositor), a walk of 32 frames by distance, torso poses for aiming and
// firing, footprints, a blob shadow, and a death of 32 frames that leaves a corpse.
class GUI_BS_InfantryUnit : public GUI_BS_Unit {
 public:
  // The death animation: frames 0..31, one per step of more than 16 ms.
  static constexpr int kLastDeathFrame = SIM_DeathFrames::kLastFrame;
  static constexpr float kDeathFrameMs = SIM_DeathFrames::kFrameMs;
  static constexpr int kWalkFrames = 32;
  static constexpr int kWalkStopFrame = 7;
  static constexpr float kPoseStepMs = 16.0f;
  static constexpr int kIdleFrame = 32;
  static constexpr int kAimFrame = 48;
  static constexpr int kRaisedFrame = 55;
  static constexpr int kFiredFrame = 40;
  static constexpr float kFootprintSpacingSq = 36.0f;
  enum Posture {
    POSTURE_IDLE = 0,
    POSTURE_LOWERING = 1,
    POSTURE_ALERT = 2,
    POSTURE_RAISING = 3,
    POSTURE_FIRING = 4,
    POSTURE_DYING = 5,
    POSTURE_DEAD = 6
  };

  explicit GUI_BS_InfantryUnit(SIM_BattleUnit* unit);
  ~GUI_BS_InfantryUnit() override;
  // Soldiers have no fade: their death animation runs in Tick.
  void PruneEmitters() override {}
  bool PrunesEmitters() const override { return false; }
  void OnDestroyed() override;
  void OnKilled() override;
  void OnDetached() override;
  void OnFire(int barrel) override;
  void Tick() override;
  void Draw() override;
  void DrawShadows() override {}
  void UpdateTracks() override;
  void SpawnBloodSplatter() override;
  // The design's composite becomes the texture of the legs, torso and head.
  void BindComposite();
  // One walk step by the distance moved (the legs' frame, a halt on frame 7).
  void AdvanceWalk(float moved);
  // One pose step by the battle time passed.
  void AdvancePose(float ms);
  int DeathFrame() const { return death.frame; }

  GUI_BS_Sprite* legs = nullptr;
  GUI_BS_Sprite* torso = nullptr;
  GUI_BS_Sprite* head = nullptr;
  CTexturedSprite deathSprites[3];
  std::unique_ptr<GUI_BS_Tracks> leftPrints;
  std::unique_ptr<GUI_BS_Tracks> rightPrints;
  float lastPrintX = 0.0f, lastPrintY = 0.0f;
  bool nextFootLeft = true;
  float walkDistance = 0.0f;
  int32_t walkFrameIndex = kWalkStopFrame;
  int32_t poseFrame = kAimFrame;
  float poseTimer = 0.0f;
  // Colours of the legs, torso armour, torso and head (r, g, b, a).
  int32_t legsColour[4] = {255, 255, 255, 255};
  int32_t armourColour[4] = {255, 255, 255, 255};
  int32_t torsoColour[4] = {255, 255, 255, 255};
  int32_t headColour[4] = {255, 255, 255, 255};
  int posture = POSTURE_ALERT;
  int deathSheet = 1;  // 1 or 2
  std::string compositeName;
  std::unique_ptr<GUI_BS_InfantryShadow> blobShadow;
  SIM_DeathFrames death;
};

// Every unit that is not infantry: barrels with recoil, damage marks by health, shadows.
class GUI_BS_MajorUnit : public GUI_BS_Unit {
 public:
  struct Barrel {
    GUI_BS_Sprite* sprite = nullptr;
    float timer = 0.0f;
    int phase = 2;  // 0 recoiling, 1 recovering, 2 at rest
    float top = 0.0f;
    float bottom = 1.0f;
    float q = 0.0f;  // how far back it is (0..1), from the last advance
  };

  explicit GUI_BS_MajorUnit(SIM_BattleUnit* unit);
  ~GUI_BS_MajorUnit() override;

  void PruneEmitters() override;
  void OnDetached() override;
  void OnDamaged(const SIM_UnitTargetData* part) override;
  void ShowHit(const SIM_UnitTargetData* part, float damage, bool mayAddEmitter, int markAdded) override;
  void OnDestroyed() override;
  bool IsPointDamaged(const SIM_UnitTargetData* part) const override;
  bool NeedsDamageEmitter() const override;
  // At death, while the unit is still there: the wreck's hulks and break-up pieces are
  // made and its place is kept.
  void PrepareWreck();
  // The death sequence's break-up event: breakups start, hulks are laid and hulk
  // emitters smoke around them.
  void PlaceWreck();
  // The "shell_emitter" attachment line "<layer>,shell_emitter,<angle>,<x>,<y>": false
  // (and the outputs untouched) when the line is not one or is malformed.
  static bool ParseShellEmitter(const std::string& line, int* angle, float* x, float* y);
  // How many hulk emitters a wreck of this hull size gets for the random value r in [0, 1).
  static int HulkEmitterCount(float hullSize, float r);
  void ApplyLayerDamage(const SIM_UnitTargetData* part) override;
  void ApplyDamageLevel() override;
  void OnFire(int barrel) override;
  void Draw() override;
  void DrawBarrelsAndShield() override;

  bool NeedsDamageLayer() const;
  bool AddDamageMark(const SIM_UnitTargetData* part);
  float Health() const;
  // The weapon whose recoil the barrels show (null without one).
  const SIM_TargetedComponent* RecoilWeapon() const;
  // Steps a barrel's recoil by the frame time and places it.
  void AdvanceBarrel(Barrel& barrel, float frameMs);
  void PlaceBarrel(Barrel& barrel);

  float shadowHeight = 0.0f;
  std::vector<Barrel> barrels;
  bool hasBarrels = false;
  // The energy bubble of a shielded unit (null without shields).
  std::unique_ptr<GUI_BS_Shield> shield;
  // Spent shells of a gun that has a "shell_emitter" on its variant (null otherwise).
  std::unique_ptr<ShellCasings> casings;
  float ejectTimer = 0.0f;  // ms the casings still fly out after the last shot
  int32_t maxDamageMarks = 0;
  int recoilMode = 2;
  bool wreckPrepared = false;
  bool wreckPlaced = false;
  float wreckX = 0.0f, wreckY = 0.0f, wreckHeading = 0.0f, wreckSize = 0.0f;
  std::vector<std::unique_ptr<GUI_BS_Hulk>> pendingHulks;
  struct PendingBreakup {
    std::unique_ptr<GUI_BS_BreakupCollection> pieces;
    float x = 0.0f, y = 0.0f;
  };
  std::vector<PendingBreakup> pendingBreakups;
};

// A walking unit: legs from the leg animator, the turret and an optional head on top.
class GUI_BS_MechUnit : public GUI_BS_MajorUnit {
 public:
  explicit GUI_BS_MechUnit(SIM_BattleUnit* unit);
  ~GUI_BS_MechUnit() override;
  void Draw() override;
  void DrawShadows() override;
  void PruneEmitters() override;
  void OnDestroyed() override;
  void OnDetached() override;
  void Placed() override;
  void StartWalking() override { CancelStop(); }
  void StopWalking() override { RequestStop(); }
  // The stop order waits for the legs' next frame step.
  void RequestStop();
  // A move order: the pending stop is forgotten.
  void CancelStop();
  // A foot plants: a footprint on its strip and the ground under the mech is checked.
  void Footprint(bool left);
  // A foot plants where it can be seen: dust and a thump.
  void Footstep(bool left);
  void FootPoint(bool left, float* wx, float* wy) const;

  GUI_BS_Sprite* interior = nullptr;
  GUI_BS_Sprite* turret = nullptr;
  GUI_BS_Sprite* turretColour = nullptr;
  GUI_BS_Sprite* legs = nullptr;
  GUI_BS_Sprite* head = nullptr;
  GUI_BS_Sprite* headColour = nullptr;
  std::unique_ptr<GUI_BS_Tracks> leftPrints;
  std::unique_ptr<GUI_BS_Tracks> rightPrints;
  std::unique_ptr<MechLegAnimator> legAnimator;
  float footprintSize = 0.0f;
  float leftFootX = 0.0f, leftFootY = 0.0f;
  float rightFootX = 0.0f, rightFootY = 0.0f;
  std::string footstepParticles;
  std::string footstepSound;
};

class GUI_BS_TankUnit : public GUI_BS_MajorUnit {
 public:
  explicit GUI_BS_TankUnit(SIM_BattleUnit* unit);
  ~GUI_BS_TankUnit() override;
  void Draw() override;
  void DrawShadows() override;
  int CoveredParts(CoveredPart out[kMostCoveredParts]) override;
  void OnKilled() override;
  void OnDestroyed() override;
  void OnDetached() override;
  // Engine sound follows the unit, exhaust puffs by distance, track marks by spacing.
  void UpdateTracks() override;
  void StopEngine();

  int engineSound = -1;
  float engineVolume = 0.0f;
  float lastSpeedFactor = -1.0f;
  float lastSoundX = 0.0f, lastSoundY = 0.0f;
  std::unique_ptr<GUI_BS_Tracks> tracks;
  std::string exhaustName;  // empty: no exhaust on this ground
  float exhaustTimer = 0.0f;
  float exhaustInterval = 0.0f;
  float lastX = 0.0f, lastY = 0.0f;  // position at the last exhaust step
  float lastMarkX = 0.0f, lastMarkY = 0.0f;
  float trackSpacingSq = 0.0f;
  float treadSize = 0.0f;
  float leftTrackX = 0.0f, rightTrackX = 0.0f, trackY = 0.0f;

  GUI_BS_Sprite* chassis = nullptr;
  GUI_BS_Sprite* chassisColour = nullptr;
  GUI_BS_Sprite* turret = nullptr;
  GUI_BS_Sprite* turretColour = nullptr;
};

class GUI_BS_BuildingUnit : public GUI_BS_MajorUnit {
 public:
  explicit GUI_BS_BuildingUnit(SIM_BattleUnit* unit);
  void Draw() override;
  void DrawShadows() override;
  int CoveredParts(CoveredPart out[kMostCoveredParts]) override;
  void OnRightClick() override;
  void OnDestroyed() override;

  GUI_BS_Sprite* base = nullptr;
  GUI_BS_Sprite* turret = nullptr;
  GUI_BS_Sprite* colour = nullptr;
  int rightClicks = 0;  // menus asked for (the building menu opens through the HUD)
};

// The clock over a building being built (green) or taken down (red), queued by the
// building each frame and drawn by the HUD over the lit, post-processed picture.
struct BuildingProgressBar {
  static void Queue(SIM_BattleUnit* building);
  static void DrawQueued();
  // Colours for a building state (3 built, 4 taken down); false for other states.
  static bool ColoursFor(int state, int colourA[4], int colourB[4]);
  static std::vector<SIM_BattleUnit*>& Queued();
};

// The live unit visuals (creation order), their per-frame update, draw pass and
// picking; and where the visuals of destroyed, demolished and warped-out units live on.
class GUI_BS_UnitManager {
 public:
  enum Side { SIDE_PLAYER = 0, SIDE_OTHER = 1, SIDE_BOTH = 2 };

  static GUI_BS_UnitManager& Instance();
  void Register(GUI_BS_Unit* unit);
  void Unregister(GUI_BS_Unit* unit);
  // Takes the visual over; it no longer refers to its unit.
  void Adopt(std::unique_ptr<SIM_UnitVisual> visual);
  // Every engine sound stops (the battle ends or is left).
  void StopEngineSounds();
  void Clear() {
    StopEngineSounds();
    wrecks.clear();
  }

  // Per frame, before drawing: the hover tooltip of the unit under the mouse.
  void Update();
  // Every soldier takes its design's composite (built on first use, and again after a
  // device rebuild).
  void UpdateInfantry();
  // The units' place in the frame: every shadow first, then the bodies grouped by
  // texture, so a full battle draws in a few batches.
  void DrawAll();
  // The unit under the mouse (side 0 the player's army, 1 the other, 2 both, the other
  // army searched first); null when none.
  GUI_BS_Unit* PickUnit(int side) const;
  // A draw-independent random value in [0, 1) for marks and effects: the simulation's
  // own random numbers are never used by drawing.
  float NextRandom();

  std::vector<GUI_BS_Unit*> units;  // not owned
  std::list<std::unique_ptr<SIM_UnitVisual>> wrecks;
  // Units the last DrawAll drew (on screen, landed, not destroyed).
  size_t drawnLastFrame = 0;
  // With the frame trace on: the pixels of the last frame's shadow pass and body pass.
  uint64_t shadowPixelsLastFrame = 0, bodyPixelsLastFrame = 0;
  GUI_BS_Unit* hovered = nullptr;
  uint32_t randomState = 0x2545F491u;
};

// The battle screen's side of the seam with the simulation: its own visuals, the
// battle map's camera, the wrecks and the warp-out shimmer. Registered at start-up.
class GUI_BS_BattleView : public SIM_BattleView {
 public:
  std::unique_ptr<SIM_UnitVisual> CreateUnitVisual(SIM_BattleUnit* unit, int sizeType) override;
  std::unique_ptr<SIM_GroundPropVisual> CreateGroundProp(const GroundPropDesc& desc) override;
  void InitMap(SIM_Scenario* scenario) override;
  void InitCorpses() override;
  void Init() override;
  void KeepWreck(std::unique_ptr<SIM_UnitVisual> visual) override;
  void StartWarpOut(float size, float x, float y) override;
  float Zoom() const override;
  float CameraX() const override;
  float CameraY() const override;
  bool IsOffScreen(float x, float y, float margin) const override;
};

// The effects layer makes what rides on units: damage smoke at an aim point and the
// light-map copies of lit layers ("LIGHTMAP" attachment lines). Unset, none are made.
struct UnitAttachmentHooks {
  std::unique_ptr<GUI_BS_RenderObject> (*makeEmitter)(const SIM_UnitTargetData* point, SIM_BattleUnit* unit,
                                                      const std::string& effect) = nullptr;
  std::unique_ptr<GUI_BS_RenderObject> (*makeLight)(GUI_BS_Sprite* owner,
                                                    const std::string& texture) = nullptr;
};
UnitAttachmentHooks& GetUnitAttachmentHooks();

// Makes the battle talk to the battle screen's view (start-up wiring; idempotent).
void RegisterBattleScreenView();
