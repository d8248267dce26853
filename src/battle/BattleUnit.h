#pragma once
// One combat unit on the battle map (a tank, mech, building or soldier): the hub that
// owns the unit's fitted modules, movement, path manager, turret facing and its drawn
// counterpart, and walks it through its states from drop-in to destruction or warp-out.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "battle/MapObject.h"
#include "battle/UnitBattleStats.h"
#include "battle/UnitVariables.h"

class SIM_UnitVisual;
class SIM_GroundPropVisual;
class SIM_BattleArmy;
class SIM_BattleMovement;
class SIM_BattlePathManager;
class SIM_BattleSquadron;
class SIM_Module;
class SIM_ModuleManager;
class SIM_SupportComponent;
class SIM_UnitDesign;
class SIM_UnitTargetData;

enum UnitState : int32_t {
  US_IN_EMPLACEMENT = 0,  // squad manning an emplacement
  US_IN_DROPPER = 1,      // held in the deployment dropper
  US_DROPPING_IN = 2,
  US_UNDER_CONSTRUCTION = 3,
  US_DEMOLISHING = 4,
  US_ACTIVE = 5,
  US_TURNING = 6,   // turning to an order
  US_SETTLED = 7,   // infantry at rest, manning an emplacement
  US_INACTIVE = 8,  // all module hit points gone; the visual's death sequence runs
  US_DESTROYED = 9,
  US_WARPING_OUT = 10,
  US_GONE = 11
};

enum SizeType : int32_t {
  SIZE_INFANTRY = 0,
  SIZE_MECH = 1,
  SIZE_TANK = 2,
  SIZE_BUILDING = 3,
  SIZE_SQUADRON = 4
};

class SIM_BattleUnit;

// Where the turret points: at the unit's target, else along the hull.
class SIM_TurretFacing {
 public:
  explicit SIM_TurretFacing(SIM_BattleUnit* unit) : unit(unit) {}
  virtual ~SIM_TurretFacing() = default;
  void Update(float frame);

  SIM_BattleUnit* unit = nullptr;
  float angle = 0.0f;
  float wanted = 0.0f;
  float turnRate = 0.0f;  // degrees per ms
  bool enabled = true;
  bool turning = false;
};

// Where a soldier's or mech's head looks: at the target, else a slow wander.
class SIM_HeadLook {
 public:
  explicit SIM_HeadLook(SIM_BattleUnit* unit);
  virtual ~SIM_HeadLook() = default;
  void Update(float frame);

  SIM_BattleUnit* unit = nullptr;
  float angle = 0.0f;
  float wanted = 0.0f;
  float turnRate = 0.32f;  // degrees per ms
  float wanderTimer = 0.0f;
  float wanderOffset = 0.0f;
};

// A short-lived effect record attached to a unit.
class SIM_UnitAttachment {
 public:
  virtual ~SIM_UnitAttachment() = default;
  virtual bool IsFinished() const { return true; }
  // Every battle frame; false once the record is done.
  virtual bool Update(float frameStep) { return !IsFinished(); }
};

// A part object kept inside the unit rather than on its own on the heap: the frame's walk
// reads it for every unit, next to the unit's other hot fields. Reads as a pointer (null
// until made).
template <class T>
class SIM_InPlace {
 public:
  SIM_InPlace() = default;
  ~SIM_InPlace() { reset(); }
  SIM_InPlace(const SIM_InPlace&) = delete;
  SIM_InPlace& operator=(const SIM_InPlace&) = delete;
  template <class... Args>
  T& emplace(Args&&... args) {
    reset();
    T* t = new (bytes_) T(std::forward<Args>(args)...);
    made_ = true;
    return *t;
  }
  void reset() {
    if (!made_) return;
    made_ = false;
    Object()->~T();
  }
  T* get() const { return made_ ? Object() : nullptr; }
  T* operator->() const { return get(); }
  T& operator*() const { return *get(); }
  explicit operator bool() const { return made_; }
  friend bool operator==(const SIM_InPlace& p, std::nullptr_t) { return !p.made_; }
  friend bool operator!=(const SIM_InPlace& p, std::nullptr_t) { return p.made_; }

 private:
  T* Object() const { return std::launder(reinterpret_cast<T*>(const_cast<unsigned char*>(bytes_))); }
  alignas(T) unsigned char bytes_[sizeof(T)];
  bool made_ = false;
};

// Cache-line aligned, so the fields every frame reads (the first lines) take as few
// lines as they can.
class alignas(64) SIM_BattleUnit : public SIM_MapObject {
 public:
  SIM_BattleUnit();
  ~SIM_BattleUnit() override;
  SIM_BattleUnit(const SIM_BattleUnit&) = delete;
  SIM_BattleUnit& operator=(const SIM_BattleUnit&) = delete;

  // The 64 ms step: modules, replanning, attachments.
  virtual void Think();
  // The per-frame step: placement, construction, demolition, movement, warp-out.
  virtual void Update();
  // Ask for the memory Update and Think read first, so the frame's walks can fetch the
  // next units early: the unit's own fields, then what they point to.
  void PrefetchUnit() const {
    __builtin_prefetch(this);
    __builtin_prefetch(&stateTimer);
    __builtin_prefetch(&movement);
  }
  void PrefetchForUpdate() const;
  void PrefetchForThink() const;
  virtual void MoveTo(float tx, float ty);
  virtual void Stop();
  // The unit has been placed on the map.
  virtual void OnDeployed();
  virtual bool IsSingleUnit() const { return true; }

  // Builds modules, variables, tally, visual and handling from the design.
  void InitFromDesign(SIM_UnitDesign* design);
  float GetConstructionProgress() const;
  float GetRefund() const;
  bool CanAct() const;
  void CacheHeading();
  // The cosine and sine of a heading in degrees, as CacheHeading works them out (inline:
  // every unit that drives asks in every frame it turned).
  static void HeadingCosSin(float degrees, float* cosine, float* sine) {
    const float r = degrees * 3.14159265358979f / 180.0f;
    *cosine = std::cos(r);
    *sine = std::sin(r);
  }
  // HeadingDegrees from this unit to (tx, ty). The last answer is kept: the movement, the
  // turret and the head often ask the same within a frame, and a unit standing still
  // asks the same every frame, so the arc tangent is worked out only when an end moved.
  float BearingTo(float tx, float ty) {
    // Bit for bit, so a signed zero or a NaN never passes for another value.
    if (bearingValid && Bits(x) == bearingFrom[0] && Bits(y) == bearingFrom[1] && Bits(tx) == bearingTo[0] &&
        Bits(ty) == bearingTo[1])
      return lastBearing;
    return NewBearing(tx, ty);
  }
  // Works out the bearing BearingTo has no answer for, and keeps it.
  float NewBearing(float tx, float ty);
  static uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
  }
  void LocalToWorld(float ox, float oy, float* wx, float* wy) const;
  // The same with the drop-in scale applied to the offset (1.5 falling to 1.0).
  void LocalToWorldScaled(float ox, float oy, float* wx, float* wy) const;
  float DropInScale() const;
  void GetTurretWorldPos(float* wx, float* wy) const;
  // The index-th hull point of that name (a layer of the variant), turned by the turret
  // about the turret point; the turret point when the hull has no such point.
  void GetNamedPointWorldPos(const std::string& name, float* wx, float* wy, int index = 0) const;
  // The part enemy fire aims at, skipping parts the visual reports destroyed.
  SIM_UnitTargetData* GetActivePart();
  void ValidateTargetParts();
  void Destroy();
  void WarpOut();
  void FinishWarpOut();
  void SpawnHullProps();
  void RemoveGroundProps();
  void PruneAttachments();
  // Leaves the unit's squadron (member loss) and the collision grid.
  void LeaveSquadron();
  void LeaveGrid();
  // "infantry", "mech", "tank" or "building" by size type.
  const char* KindName() const;
  int32_t GetState() const { return state; }
  void SetState(int32_t s) { state = s; }

  // Read by every frame's update of the unit, its movement, turret and head: kept
  // together at the front so a frame's walk touches few cache lines per unit.
  float stateTimer = 0.0f;
  // The last BearingTo: the bits of both ends and the answer.
  uint32_t bearingFrom[2] = {0, 0};
  uint32_t bearingTo[2] = {0, 0};
  float lastBearing = 0.0f;
  int32_t state = US_ACTIVE;
  int32_t sizeType = SIZE_TANK;
  // What LocalToWorld turns by. The frame's update of a unit that can act mostly leaves
  // just the heading they are due for (trigPending): most units ask for them in few
  // frames, if any.
  mutable float cosHeading = 1.0f;
  mutable float sinHeading = 0.0f;
  float pendingHeading = 0.0f;
  bool bearingValid = false;
  mutable bool trigPending = false;
  // False when the visual made for the unit has nothing to prune each frame.
  bool visualPrunes = true;
  bool moved = false;
  bool removed = false;
  // Milliseconds since the unit last fired (a weapon's shot sets it to 0).
  float shotTimer = 0.0f;
  SIM_BattleUnit* target = nullptr;
  std::unique_ptr<SIM_UnitVisual> visual;
  std::unique_ptr<SIM_BattleMovement> movement;
  std::list<std::unique_ptr<SIM_UnitAttachment>> attachments;
  SIM_InPlace<SIM_TurretFacing> turretFacing;
  SIM_InPlace<SIM_HeadLook> headLook;
  std::unique_ptr<SIM_ModuleManager> moduleManager;
  SIM_BattleSquadron* squadron = nullptr;

  std::unique_ptr<SIM_BattlePathManager> pathManager;
  std::string barrelPointName;
  std::string secondName;
  int32_t placementIndex = 0;
  SIM_BattleArmy* army = nullptr;
  SIM_UnitDesign* design = nullptr;
  float size = 0.0f;
  float sizeCopy = 0.0f;
  // False when no weapon of the unit has a frame update: the frame's weapon walk skips it.
  bool frameEffects = true;
  SIM_Module* ratedWeapon = nullptr;
  std::unique_ptr<UnitVariables> unitVariables;
  std::unique_ptr<UnitBattleStats> damageTally;
  bool selected = false;
  std::vector<SIM_UnitTargetData*> targetParts;  // the hull's, not owned
  int32_t partCursor = 0;
  float placementTimer = 0.0f;
  float warpTimer = 0.0f;
  float warpAlpha = 1.0f;
  // How brightly the unit's layers show under night vision (set by size type).
  float lightStrength = 1.0f;
  bool isPlayers = false;
  float demolitionTimer = 0.0f;
  // The defender AI was paid for this demolition when it ordered it.
  bool refundCredited = false;
  float constructionTime = 0.0f;
  float demolitionTime = 0.0f;
  std::vector<std::unique_ptr<SIM_GroundPropVisual>> groundProps;
  float dropFactor = 1.0f;
  // Support modules covering this unit, by kind: repair, hospital, command.
  std::list<SIM_SupportComponent*> repairers;
  std::list<SIM_SupportComponent*> hospitals;
  std::list<SIM_SupportComponent*> commanders;
  // Damage taken is multiplied by 1 - this (0 when built).
  float damageReduction = 0.0f;
};
