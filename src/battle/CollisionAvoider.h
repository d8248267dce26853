#pragma once
// Keeps the soldiers of a squad apart: each soldier's avoider is pushed away from its
// four nearest squad mates, refreshed every 200 ms of its own timer.
#include <vector>

class SIM_BattleUnit;

class SIM_CollisionAvoider {
 public:
  static constexpr int kSlots = 4;
  static constexpr float kRefreshMs = 200.0f;
  static constexpr float kMaxStrength = 0.25f;

  explicit SIM_CollisionAvoider(SIM_BattleUnit* unit);
  virtual ~SIM_CollisionAvoider();
  SIM_CollisionAvoider(const SIM_CollisionAvoider&) = delete;
  SIM_CollisionAvoider& operator=(const SIM_CollisionAvoider&) = delete;

  // One frame: refreshes the neighbours when due, sums their pushes into (*px, *py)
  // and returns the strength (0..0.25) with which the push replaces the heading.
  float Step(float* px, float* py);
  // The nearest squad mates (at most four) fill the slots.
  void RefreshNeighbours();

  std::vector<SIM_CollisionAvoider*> referrers;  // avoiders holding this one in a slot
  SIM_CollisionAvoider* slots[kSlots] = {nullptr, nullptr, nullptr, nullptr};
  float pushes[kSlots][2] = {};
  SIM_BattleUnit* unit = nullptr;
  float refreshTimer = 0.0f;
  float radius = 0.0f;
  float pushX = 0.0f;
  float pushY = 0.0f;
  float strength = 0.0f;

 private:
  void ClearSlots();
};
