#pragma once
// The one seam between the simulation and whatever shows it. The simulation asks the
// view for a unit's visual by size type, tells the visual of hits, damage and death,
// and once per frame lets the view advance projectiles and beams; it reads the camera
// for its sound and effect choices. The battle screen registers its own view; without
// one the headless view below runs, which does everything the simulation relies on
// (weapon effects step, the death sequence ends and dead units are removed).
#include <memory>
#include <string>

#include "battle/DogTags.h"

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_Scenario;
class SIM_UnitTargetData;

// A unit's visual as the simulation sees it. The base runs the parts the simulation
// relies on; the battle screen's visuals add their drawing on top.
class SIM_UnitVisual {
 public:
  // A major unit's wreck fades for this long before the unit counts as destroyed.
  static constexpr float kFadeMs = 100.0f;

  explicit SIM_UnitVisual(SIM_BattleUnit* unit) : unit(unit) {}
  virtual ~SIM_UnitVisual() = default;
  SIM_UnitVisual(const SIM_UnitVisual&) = delete;
  SIM_UnitVisual& operator=(const SIM_UnitVisual&) = delete;

  virtual void BindSprites() {}
  // First thing of every unit update. A major unit whose modules are all gone fades
  // out here and then destroys its unit.
  virtual void PruneEmitters();
  // False for visuals whose PruneEmitters never does anything: the unit skips the call.
  virtual bool PrunesEmitters() const { return true; }
  virtual void Placed() { placed = true; }
  virtual void LayTracks() {}
  virtual void StartWalking() {}
  virtual void StopWalking() {}
  virtual void ClearSelection() { selected = false; }
  virtual bool IsPartDestroyed(const SIM_UnitTargetData* part) const { return false; }
  virtual void AddPlacedMarker() {}
  virtual void SpawnPlacementEffect() {}
  virtual void BuildTooltip() {}
  virtual void AddEmitter(const std::string& effect) {}
  virtual void ApplyDamageLevel() {}
  virtual void ApplyLayerDamage(const SIM_UnitTargetData* part) {}
  virtual void OnDamaged(const SIM_UnitTargetData* part) {}
  // All module hit points are gone: the death sequence starts.
  virtual void OnDestroyed();
  virtual void OnFire(int barrel) {}
  virtual void ShowHit(const SIM_UnitTargetData* part, float damage, bool internals, int unused) {}
  // A soldier took internal damage.
  virtual void SpawnBloodSplatter() {}
  // Every frame, paused too (weapon effects step in the battle itself), while the
  // visual is dying: only a death gives Tick work.
  virtual void Tick();
  // The unit is going away; the visual lives on (as a wreck) without it.
  void DetachUnit() { unit = nullptr; }

  SIM_BattleUnit* unit = nullptr;
  bool placed = false;
  bool selected = false;
  bool dying = false;
  // A mech's gait frame (0..119), advanced by its walk animation; the gait pulse reads it.
  int walkFrame = 0;
  // A squad's halt order reached this soldier; its animation stands it still.
  bool haltRequest = false;
  float fadeTimer = 0.0f;
  float fade = 1.0f;
};

// A soldier's death: frames 0..31, one per step of more than 16 ms; the last one
// leaves a corpse and the soldier counts as destroyed.
struct SIM_DeathFrames {
  static constexpr int kLastFrame = 31;
  static constexpr float kFrameMs = 16.0f;
  int frame = 0;
  float timer = 0.0f;
  void Start() {
    frame = 0;
    timer = 0.0f;
  }
  // Advances by one frame step; true once the last frame has been shown long enough.
  bool Step(float frameStep);
};

// The headless soldier: no fade, the death frames run in Tick.
class SIM_InfantryVisual : public SIM_UnitVisual {
 public:
  using SIM_UnitVisual::SIM_UnitVisual;
  void PruneEmitters() override {}
  bool PrunesEmitters() const override { return false; }
  void OnDestroyed() override;
  void Tick() override;
  SIM_DeathFrames death;
};

// A prop drawn on the ground beside a building.
struct GroundPropDesc {
  float x = 0.0f;
  float y = 0.0f;
  float size = 0.0f;
  float angle = 0.0f;
  const void* propType = nullptr;
  // The army of the unit that laid it (null for a map's own prop).
  const SIM_BattleArmy* army = nullptr;
};

class SIM_GroundPropVisual {
 public:
  virtual ~SIM_GroundPropVisual() = default;
  void Init(const GroundPropDesc& d) { desc = d; }
  GroundPropDesc desc;
};

class SIM_BattleView {
 public:
  virtual ~SIM_BattleView() = default;

  // A unit's visual by the design's size type (0 infantry, 1 mech, 2 tank, 3 building);
  // null for any other size type.
  virtual std::unique_ptr<SIM_UnitVisual> CreateUnitVisual(SIM_BattleUnit* unit, int sizeType);
  virtual std::unique_ptr<SIM_GroundPropVisual> CreateGroundProp(const GroundPropDesc& desc);
  // Battle start: the map for the scenario, the camera over the whole map.
  virtual void InitMap(SIM_Scenario* scenario);
  // Battle start, after the old armies are gone: the old wrecks go too.
  virtual void InitCorpses() {}
  // The battle has loaded (after loading progress 0.85).
  virtual void Init() {}
  // Once per battle frame, paused too, after the battle's own bullets, missiles and beams
  // have stepped: every unit's visual ticks (death sequences) and what the view draws of
  // projectiles and beams follows them.
  virtual void AdvanceProjectiles();
  // A removed unit's visual, already detached from it: kept as a wreck or dropped.
  virtual void KeepWreck(std::unique_ptr<SIM_UnitVisual> visual) {}
  // The shimmer of a unit leaving the map.
  virtual void StartWarpOut(float size, float x, float y) {}
  // The drawn tag of a dog tag; none headless.
  virtual std::unique_ptr<SIM_DogTagVisual> CreateDogTagVisual(const SIM_DogTag& tag) { return nullptr; }

  // The camera, as sounds and effects choose by it.
  virtual float Zoom() const { return zoom_; }
  virtual float CameraX() const { return cameraX_; }
  virtual float CameraY() const { return cameraY_; }
  // True when the world point lies outside the visible area grown by the margin.
  virtual bool IsOffScreen(float x, float y, float margin) const;

 private:
  float zoom_ = 1.0f;
  float cameraX_ = 0.0f;
  float cameraY_ = 0.0f;
  float viewLeft_ = 0.0f;
  float viewTop_ = 0.0f;
  float viewRight_ = 1024.0f;
  float viewBottom_ = 768.0f;
};

// The registered view, else the process-wide headless one.
SIM_BattleView& GetBattleView();
// Registers the view the battle talks to (not owned; null returns to the headless one).
// Registration is program wiring: tests' resets keep it. Returns the one it replaces.
SIM_BattleView* SetBattleView(SIM_BattleView* view);
