#pragma once
// The unit inspector in the bottom-right corner: the picked unit's name, its shield,
// armour and integrity bars, its victory points, a silhouette of its design and one icon
// per module (damage, reload, ammunition). It closes when the unit dies or leaves.
#include <memory>
#include <string>
#include <vector>

#include "gui/Tooltip.h"
#include "gui/WindowBase.h"

class CLoadedTexture;
class SIM_BattleUnit;
class SIM_Module;

// The panel's child parts: each a window laid out by the panel, each with its tooltip.
class GUI_BS_InspectorPart : public GUI_WindowBase {
 public:
  explicit GUI_BS_InspectorPart(SIM_BattleUnit* unit) : unit(unit) {}
  ~GUI_BS_InspectorPart() override;
  // Per frame: the tooltip fades in while the pointer is over the part.
  void Process() override;
  bool PointerOver() const;
  SIM_BattleUnit* unit = nullptr;
  std::unique_ptr<GUI_Tooltip> tooltip;
};

class GUI_BS_InspectorStatusBar : public GUI_BS_InspectorPart {
 public:
  GUI_BS_InspectorStatusBar(SIM_BattleUnit* unit, int kind);
  void Draw() override;
  // Shield, armour or integrity, 0..1.
  float Fraction() const;
  int kind = 0;
  std::string label;
};

class GUI_BS_InspectorVP : public GUI_BS_InspectorPart {
 public:
  explicit GUI_BS_InspectorVP(SIM_BattleUnit* unit);
  void Draw() override;
  std::string value, label;
};

class GUI_BS_InspectorBlueprint : public GUI_BS_InspectorPart {
 public:
  explicit GUI_BS_InspectorBlueprint(SIM_BattleUnit* unit);
  void Draw() override;
  void Process() override;
  // Taken while the pointer is over it, so the click goes no further.
  bool LeftClick(float x, float y) override;
  std::string texture;
};

class GUI_BS_InspectorModuleIcon : public GUI_BS_InspectorPart {
 public:
  GUI_BS_InspectorModuleIcon(SIM_BattleUnit* unit, SIM_Module* module);
  void Draw() override;
  void Process() override;
  bool LeftClick(float, float) override { return false; }
  // Red damage cover, ready bar and ammunition bar, after the panel's batches.
  void DrawOverlays();
  // The sprite queued for the icon's picture: "reloading.dds" while it reloads.
  std::string PictureName() const;
  bool Reloading() const;
  SIM_Module* module = nullptr;  // null: an empty slot
};

class GUI_BS_UnitInspector : public GUI_WindowBase {
 public:
  static constexpr int kSlots = 10;
  static constexpr int kWidth = 227;
  static constexpr int kHeight = 282;
  // Replaces the open inspector (a null unit is logged and nothing opens).
  static void Open(SIM_BattleUnit* unit);
  explicit GUI_BS_UnitInspector(SIM_BattleUnit* unit);
  ~GUI_BS_UnitInspector() override;
  void Draw() override;
  // Closes and is deleted after the frame.
  void Retire();

  SIM_BattleUnit* unit = nullptr;  // not owned
  std::string displayText;
  GUI_BS_InspectorStatusBar* bars[3] = {};
  GUI_BS_InspectorVP* victoryPoints = nullptr;
  GUI_BS_InspectorBlueprint* blueprint = nullptr;
  GUI_BS_InspectorModuleIcon* icons[kSlots] = {};
  // Modules past the tenth slot are not shown (counted for the log).
  int modulesLeftOut = 0;
};

GUI_BS_UnitInspector* GetUnitInspector();
void CloseUnitInspector();
// A unit about to be deleted: the inspector lets go of it.
void UnitInspectorForgetUnit(SIM_BattleUnit* unit);
