#pragma once
// Emplacements: fortified positions on map squares (trenches, bunkers). Soldiers dropped
// on one take its fixed places and gain the type's cover while they hold them. They live
// with the battle map: building the map makes them, clearing it deletes them, so none
// points into a past battle.
#include <list>
#include <memory>
#include <vector>

struct EmplacementType;
class SIM_BattleUnit;
class SIM_MapSquare;

class GUI_BS_Emplacement {
 public:
  struct Slot {
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    SIM_BattleUnit* unit = nullptr;
  };
  GUI_BS_Emplacement() = default;
  virtual ~GUI_BS_Emplacement() = default;

  // One free place per position of the type; a type without positions is reported.
  void BuildSlots();
  bool IsOccupied() const;
  int FreeSlots() const;

  std::vector<Slot> slots;
  const EmplacementType* type = nullptr;
  // The square the emplacement stands on: its centre and heading place the slots.
  const SIM_MapSquare* placement = nullptr;
};

class GUI_BS_EmplacementManager {
 public:
  static GUI_BS_EmplacementManager& Instance();
  virtual ~GUI_BS_EmplacementManager() = default;

  GUI_BS_Emplacement* Create();
  // The emplacement on that square, or null.
  GUI_BS_Emplacement* Find(const SIM_MapSquare* square) const;
  // The unit takes the first free place: cover bonus and position; false (nothing
  // changed) when every place is taken.
  bool AssignUnit(GUI_BS_Emplacement* emplacement, SIM_BattleUnit* unit);
  // Every unit held loses its cover; every place is free again.
  void ReleaseUnits(GUI_BS_Emplacement* emplacement);
  // A unit left the battle: its place is free again.
  void DropUnit(const SIM_BattleUnit* unit);
  // The map is cleared: every emplacement goes.
  void Clear() { emplacements.clear(); }

  std::list<std::unique_ptr<GUI_BS_Emplacement>> emplacements;
};

// Start-up wiring: the battle's hook that seats soldiers dropped on an emplacement.
void ConnectEmplacements();
