#include "battle/CollisionAvoider.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Movement.h"
#include "battle/Squadron.h"
#include "engine/Random.h"

namespace {
constexpr double kPi = 3.14159265358979323846;

std::list<SIM_CollisionAvoider*>& Registry() {
  // Avoiders add and remove themselves; the list is empty whenever no soldier lives.
  // Never destroyed: soldiers owned by a process-wide battle may go after it at exit.
  static auto* const avoiders = new std::list<SIM_CollisionAvoider*>();
  return *avoiders;
}
}  // namespace

uint64_t SIM_CollisionAvoider::generation = 0;

SIM_CollisionAvoider::SIM_CollisionAvoider(SIM_BattleUnit* owner) : unit(owner) {
  ++generation;
  refreshTimer = RandomFloat() * kRefreshMs;
  radius = unit ? unit->size : 0.0f;
  Registry().push_back(this);
}

SIM_CollisionAvoider::~SIM_CollisionAvoider() {
  ++generation;
  for (SIM_CollisionAvoider* r : referrers)
    for (auto& slot : r->slots)
      if (slot == this) slot = nullptr;
  referrers.clear();
  // The mates this one refers to must forget it too, or their later clean-up would
  // write into freed memory.
  ClearSlots();
  Registry().remove(this);
}

void SIM_CollisionAvoider::ClearSlots() {
  for (auto& slot : slots) {
    if (!slot) continue;
    auto& r = slot->referrers;
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
    slot = nullptr;
  }
}

void SIM_CollisionAvoider::RefreshNeighbours() {
  refreshTimer = 0.0f;
  ClearSlots();
  SIM_BattleSquadron* squad = unit ? unit->squadron : nullptr;
  if (!squad) return;
  // A refresh never nests: one scratch list serves every avoider.
  static std::vector<std::pair<float, SIM_CollisionAvoider*>> near;
  near.clear();
  for (const SIM_SquadMate& mate : squad->Mates()) {
    if (mate.unit == unit) continue;
    const float dx = mate.unit->x - unit->x, dy = mate.unit->y - unit->y;
    const float d2 = dx * dx + dy * dy;
    const float reach = (mate.radius + radius) * 0.5f;
    if (d2 < reach * reach) near.emplace_back(d2, mate.avoider);
  }
  // Nearest first; equal distances keep the squad's member order (an insertion sort:
  // stable, and a squad is small).
  for (size_t i = 1; i < near.size(); ++i) {
    const std::pair<float, SIM_CollisionAvoider*> item = near[i];
    size_t j = i;
    for (; j > 0 && item.first < near[j - 1].first; --j) near[j] = near[j - 1];
    near[j] = item;
  }
  for (size_t i = 0; i < near.size() && i < static_cast<size_t>(kSlots); ++i) {
    slots[i] = near[i].second;
    near[i].second->referrers.push_back(this);
  }
}

float SIM_CollisionAvoider::Step(float* px, float* py) {
  return Step(BattleExists() ? GetBattle().frameStep : 0.0f, px, py);
}

float SIM_CollisionAvoider::Push(float* px, float* py) {
  if (refreshTimer > kRefreshMs) RefreshNeighbours();
  pushX = pushY = 0.0f;
  strength = 0.0f;
  // Most soldiers have no mate near enough to hold a slot.
  if (!slots[0] && !slots[1] && !slots[2] && !slots[3]) {
    for (auto& push : pushes) push[0] = push[1] = 0.0f;
    if (px) *px = 0.0f;
    if (py) *py = 0.0f;
    return 0.0f;
  }
  for (int i = 0; i < kSlots; ++i) {
    pushes[i][0] = pushes[i][1] = 0.0f;
    SIM_CollisionAvoider* other = slots[i];
    if (!other || !other->unit || !unit) continue;
    const float r = other->radius + radius;
    const float limit = 2.0f * r * r;
    const float dx = other->unit->x - unit->x, dy = other->unit->y - unit->y;
    const float d2 = dx * dx + dy * dy;
    if (!(limit > d2)) continue;
    const float l = std::clamp(4.0f * (1.0f - d2 / limit), 0.0f, 1.0f);
    strength = std::max(strength, kMaxStrength * l);
    // Away from the mate; two soldiers on one point are pushed along -x.
    double a = (std::atan2(static_cast<double>(dy), static_cast<double>(dx)) + kPi) * 180.0 / kPi - 90.0;
    // Always within a turn already, and fmod gives such angles back unchanged.
    if (!(a > -360.0 && a < 360.0)) a = std::fmod(a, 360.0);
    if (a < 0.0) a += 360.0;
    const double ar = a * kPi / 180.0;
    pushes[i][0] = static_cast<float>(-l * std::sin(ar));
    pushes[i][1] = static_cast<float>(l * std::cos(ar));
    pushX += pushes[i][0];
    pushY += pushes[i][1];
  }
  if (px) *px = pushX;
  if (py) *py = pushY;
  return strength;
}
