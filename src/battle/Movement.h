#pragma once
// How a unit moves: throttle, speed and where it is heading. Driving and path
// following are still to come: for now a unit turns to face its order and stays where
// it was placed.
class SIM_BattleUnit;

class SIM_BattleMovement {
 public:
  explicit SIM_BattleMovement(SIM_BattleUnit* unit);
  virtual ~SIM_BattleMovement() = default;

  // Every frame while the unit can act.
  void Update();
  // A move order to (x, y) plus the formation offset.
  void SetTarget(float x, float y);

  SIM_BattleUnit* unit = nullptr;
  float throttle = 0.0f;
  float speed = 0.0f;
  float step = 0.0f;
  float targetX = 0.0f;
  float targetY = 0.0f;
  float formationX = 0.0f;
  float formationY = 0.0f;
  bool hasTarget = false;
  int mode = 0;  // 0 moves, 1 only faces its target, 2 (buildings) does nothing
};
