#pragma once
// Keeps the soldiers of a squad apart: each soldier's avoider is pushed away from its
// four nearest squad mates, refreshed every 200 ms of its own timer.
#include <cstdint>
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
  // The same with the frame's length handed in by the movement, which has it already.
  // Most soldiers have no mate near enough to hold a slot: theirs is answered here.
  float Step(float frame, float* px, float* py) {
    refreshTimer += frame;
    if (refreshTimer > kRefreshMs || slots[0] || slots[1] || slots[2] || slots[3]) return Push(px, py);
    pushX = pushY = 0.0f;
    strength = 0.0f;
    for (auto& push : pushes) push[0] = push[1] = 0.0f;
    if (px) *px = 0.0f;
    if (py) *py = 0.0f;
    return 0.0f;
  }
  // The nearest squad mates (at most four) fill the slots.
  void RefreshNeighbours();
  // Counts avoiders made and destroyed: a squad's list of mates made at another count
  // may hold one that is gone.
  static uint64_t Generation() { return generation; }

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
  // The rest of a step, its timer already counted: the refresh when due and the pushes.
  float Push(float* px, float* py);
  void ClearSlots();

  static uint64_t generation;
};
