#include "battlescreen/Emplacements.h"

#include <algorithm>
#include <cmath>

#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "engine/ErrorReporting.h"
#include "simdata/Emplacement.h"
#include "simdata/MapSquare.h"

void GUI_BS_Emplacement::BuildSlots() {
  Assert(type != nullptr && !type->offsets.empty());
  if (!type) return;
  for (const auto& [ox, oy] : type->offsets) slots.push_back(Slot{ox, oy, nullptr});
}

bool GUI_BS_Emplacement::IsOccupied() const {
  return std::any_of(slots.begin(), slots.end(), [](const Slot& s) { return s.unit != nullptr; });
}

int GUI_BS_Emplacement::FreeSlots() const {
  return static_cast<int>(std::count_if(slots.begin(), slots.end(), [](const Slot& s) { return !s.unit; }));
}

GUI_BS_EmplacementManager& GUI_BS_EmplacementManager::Instance() {
  return ProcessWide<GUI_BS_EmplacementManager>();
}

GUI_BS_Emplacement* GUI_BS_EmplacementManager::Create() {
  emplacements.push_back(std::make_unique<GUI_BS_Emplacement>());
  return emplacements.back().get();
}

GUI_BS_Emplacement* GUI_BS_EmplacementManager::Find(const SIM_MapSquare* square) const {
  if (!square) return nullptr;
  for (const auto& e : emplacements)
    if (e->placement == square) return e.get();
  return nullptr;
}

bool GUI_BS_EmplacementManager::AssignUnit(GUI_BS_Emplacement* emplacement, SIM_BattleUnit* unit) {
  if (!emplacement || !unit) return false;
  for (GUI_BS_Emplacement::Slot& slot : emplacement->slots) {
    if (slot.unit) continue;
    slot.unit = unit;
    unit->damageReduction = emplacement->type ? emplacement->type->coverBonus : 0.0f;
    const SIM_MapSquare* p = emplacement->placement;
    const float cx = p ? p->centreX : 0.0f, cy = p ? p->centreY : 0.0f;
    const float h = (p ? p->angle : 0.0f) * 3.14159265358979f / 180.0f;
    const float c = std::cos(h), s = std::sin(h);
    unit->x = c * slot.offsetX - s * slot.offsetY + cx;
    unit->y = s * slot.offsetX + c * slot.offsetY + cy;
    return true;
  }
  return false;
}

void GUI_BS_EmplacementManager::ReleaseUnits(GUI_BS_Emplacement* emplacement) {
  if (!emplacement) return;
  for (GUI_BS_Emplacement::Slot& slot : emplacement->slots) {
    if (!slot.unit) continue;
    slot.unit->damageReduction = 0.0f;
    slot.unit = nullptr;
  }
}

void GUI_BS_EmplacementManager::DropUnit(const SIM_BattleUnit* unit) {
  for (auto& e : emplacements)
    for (GUI_BS_Emplacement::Slot& slot : e->slots)
      if (slot.unit == unit) slot.unit = nullptr;
}

void ConnectEmplacements() {
  GetBattleHooks().assignToEmplacement = [](void* square, SIM_BattleUnit* unit) {
    GUI_BS_EmplacementManager& m = GUI_BS_EmplacementManager::Instance();
    GUI_BS_Emplacement* e = m.Find(static_cast<const SIM_MapSquare*>(square));
    // A square without a built emplacement seats nobody in a fixed place.
    if (!e) return true;
    return m.AssignUnit(e, unit);
  };
}
