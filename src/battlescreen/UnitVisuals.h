#pragma once
// The drawn counterpart of a battle unit, created by the unit from its size type.
// This is the part the simulation relies on: the death sequence it runs ends with the
// unit destroyed.
// Drawing comes with the battle screen.
#include <list>
#include <memory>
#include <string>

class SIM_BattleUnit;
class SIM_UnitTargetData;

class GUI_BS_Unit {
 public:
  // A major unit's wreck fades for this long before the unit counts as destroyed.
  static constexpr float kFadeMs = 100.0f;

  explicit GUI_BS_Unit(SIM_BattleUnit* unit) : unit(unit) {}
  virtual ~GUI_BS_Unit() = default;
  GUI_BS_Unit(const GUI_BS_Unit&) = delete;
  GUI_BS_Unit& operator=(const GUI_BS_Unit&) = delete;

  virtual void BindSprites() {}
  // First thing of every unit update. A major unit whose modules are all gone fades
  // out here and then destroys its unit.
  virtual void PruneEmitters();
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
  virtual void ApplyLayerDamage(const SIM_UnitTargetData* part) { ++layerDamageCalls; }
  virtual void OnDamaged(const SIM_UnitTargetData* part) { ++damagedCalls; }
  // All module hit points are gone: the death sequence starts.
  virtual void OnDestroyed();
  virtual void OnFire(int barrel) {}
  virtual void ShowHit(const SIM_UnitTargetData* part, float damage, bool internals, int unused) {
    ++hitCalls;
  }
  // Every frame while the battle is drawn (weapon effects step in the battle itself).
  virtual void Tick();
  // The unit is going away; the visual lives on (as a wreck) without it.
  void DetachUnit() { unit = nullptr; }

  SIM_BattleUnit* unit = nullptr;
  bool placed = false;
  bool selected = false;
  bool dying = false;
  float fadeTimer = 0.0f;
  float fade = 1.0f;
  // Reactions seen, for the screens built on this and for tests.
  int destroyedCalls = 0;
  int layerDamageCalls = 0;
  int damagedCalls = 0;
  int hitCalls = 0;
};

class GUI_BS_InfantryUnit : public GUI_BS_Unit {
 public:
  // The death animation: frames 0..31, one per step of more than 16 ms.
  static constexpr int kLastDeathFrame = 31;
  static constexpr float kDeathFrameMs = 16.0f;
  enum Posture { POSTURE_IDLE = 0, POSTURE_ALERT = 2, POSTURE_DYING = 5, POSTURE_DEAD = 6 };

  using GUI_BS_Unit::GUI_BS_Unit;
  // Soldiers have no fade: their death animation runs in Tick.
  void PruneEmitters() override {}
  void OnDestroyed() override;
  void Tick() override;
  void SpawnBloodSplatter() { ++bloodSplatters; }

  int posture = POSTURE_IDLE;
  int deathFrame = 0;
  float poseTimer = 0.0f;
  bool haltRequest = false;
  int bloodSplatters = 0;
};

class GUI_BS_MechUnit : public GUI_BS_Unit {
 public:
  using GUI_BS_Unit::GUI_BS_Unit;
  int walkFrame = 0;  // 0..119
};

class GUI_BS_TankUnit : public GUI_BS_Unit {
 public:
  using GUI_BS_Unit::GUI_BS_Unit;
};

class GUI_BS_BuildingUnit : public GUI_BS_Unit {
 public:
  using GUI_BS_Unit::GUI_BS_Unit;
};

// Where the visuals of destroyed, demolished and warped-out units live on.
class GUI_BS_UnitManager {
 public:
  static GUI_BS_UnitManager& Instance();
  // Takes the visual over; it no longer refers to its unit.
  void Adopt(std::unique_ptr<GUI_BS_Unit> visual);
  void Clear() { wrecks.clear(); }

  std::list<std::unique_ptr<GUI_BS_Unit>> wrecks;
};

// The shimmer of a unit leaving the map.
class GUI_BS_WarpOutManager {
 public:
  static GUI_BS_WarpOutManager& Instance();
  void Add(float size, float x, float y) { ++started; }
  int started = 0;
};

// A prop drawn on the ground beside a building.
struct GroundPropDesc {
  float x = 0.0f;
  float y = 0.0f;
  float size = 0.0f;
  float angle = 0.0f;
  const void* propType = nullptr;
};

class GUI_BS_GroundProp {
 public:
  GUI_BS_GroundProp() = default;
  virtual ~GUI_BS_GroundProp() = default;
  void Init(const GroundPropDesc& desc) { this->desc = desc; }
  GroundPropDesc desc;
};
