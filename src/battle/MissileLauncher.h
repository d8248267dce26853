#pragma once
// Missile launchers fire from a pool of five missiles. A missile that passes the hit
// roll homes on its target; one that fails flies to a random point on the target's
// footprint and only splashes. Missiles burn fuel by distance, turn at a limited rate
// along a curved path, and vanish when their target dies.
#include <array>

#include "battle/MapObject.h"
#include "battle/TargetedComponents.h"

class SIM_BattleUnit;
class SIM_MissileLauncherComponent;
class SIM_UnitTargetData;

class SIM_Missile : public SIM_MapObject {
 public:
  static constexpr int kWaypoints = 6;
  // Closer than this (squared) the missile flies straight, without a path.
  static constexpr float kDirectDistSq = 10000.0f;

  struct Waypoint {
    float fraction = 0.0f;
    float side = 0.0f;  // degrees off the line of flight
    float amplitude = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
  };

  // One frame of flight.
  void Update(float frameStep);
  // Draws the path's bends (nine values of the second random table).
  void PlanPath();
  // The waypoints' positions for the current aim point.
  void PlaceWaypoints();

  bool alive = false;
  bool homing = false;
  bool direct = false;
  SIM_BattleUnit* target = nullptr;
  SIM_UnitTargetData* hitPart = nullptr;
  SIM_MissileLauncherComponent* launcher = nullptr;
  float width = 0.0f;
  float height = 0.0f;
  float speed = 0.0f;
  float fuel = 0.0f;
  float turnSpeed = 0.0f;  // degrees per ms
  bool hasFlare = false;
  int flareUvId = 0;
  float flareSize = 16.0f;
  bool hasSplines = false;
  float aimX = 0.0f;
  float aimY = 0.0f;
  float launchX = 0.0f;
  float launchY = 0.0f;
  float fuelLeft = 0.0f;
  float launchDistance = 0.0f;
  std::array<Waypoint, kWaypoints> path;
  int currentWaypoint = 1;
  // Only the screen reads these: the flare's flicker strength and its timer.
  float flareFlicker = 0.0f;
  float flareTimer = 0.0f;

 private:
  void Move(float step);
  void Steer(float step, float frameStep);
  void Strike();
};

class SIM_MissileLauncherComponent : public SIM_AmmoUsingComponent {
 public:
  static constexpr int kPoolSize = 5;

  SIM_MissileLauncherComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float slotX, float slotY);
  ~SIM_MissileLauncherComponent() override;
  int Fire() override;
  // Every frame with missiles out: the missiles in flight.
  void AdvanceMissiles(float frameStep);
  int MissilesInFlight() const;

  std::array<SIM_Missile, kPoolSize> missiles;
  int listIndex = -1;  // place in the process-wide launcher list

 private:
  bool Launch(int barrel, bool first);
};
