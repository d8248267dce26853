#pragma once
// The drawn counterpart of a battle unit, created through the battle screen's view
// (battle/BattleView.h) from the unit's size type. What the simulation relies on (weapon
// effects tick, the death sequence ends the unit) comes from the simulation's visual;
// drawing comes with the battle screen.
#include <list>
#include <memory>
#include <string>

#include "battle/BattleView.h"

class SIM_Scenario;

class GUI_BS_Unit : public SIM_UnitVisual {
 public:
  using SIM_UnitVisual::SIM_UnitVisual;
};

class GUI_BS_InfantryUnit : public GUI_BS_Unit {
 public:
  // The death animation: frames 0..31, one per step of more than 16 ms.
  static constexpr int kLastDeathFrame = SIM_DeathFrames::kLastFrame;
  static constexpr float kDeathFrameMs = SIM_DeathFrames::kFrameMs;
  enum Posture { POSTURE_IDLE = 0, POSTURE_ALERT = 2, POSTURE_DYING = 5, POSTURE_DEAD = 6 };

  using GUI_BS_Unit::GUI_BS_Unit;
  // Soldiers have no fade: their death animation runs in Tick.
  void PruneEmitters() override {}
  void OnDestroyed() override;
  void Tick() override;
  void SpawnBloodSplatter() override {}
  int DeathFrame() const { return death.frame; }

  int posture = POSTURE_IDLE;
  SIM_DeathFrames death;
};

class GUI_BS_MechUnit : public GUI_BS_Unit {
 public:
  using GUI_BS_Unit::GUI_BS_Unit;
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
  void Adopt(std::unique_ptr<SIM_UnitVisual> visual);
  void Clear() { wrecks.clear(); }

  std::list<std::unique_ptr<SIM_UnitVisual>> wrecks;
};

// The shimmer of a unit leaving the map.
class GUI_BS_WarpOutManager {
 public:
  static GUI_BS_WarpOutManager& Instance();
  void Add(float size, float x, float y) { ++started; }
  int started = 0;
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

// Makes the battle talk to the battle screen's view (start-up wiring; idempotent).
void RegisterBattleScreenView();
