#include "battlescreen/UnitVisuals.h"

#include <memory>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/GroundLayers.h"

void GUI_BS_InfantryUnit::OnDestroyed() {
  GUI_BS_Unit::OnDestroyed();
  posture = POSTURE_DYING;
  death.Start();
}

void GUI_BS_InfantryUnit::Tick() {
  if (posture == POSTURE_DYING && unit && death.Step(GetBattle().frameStep)) {
    // The last frame leaves a corpse behind and the soldier counts as destroyed.
    posture = POSTURE_DEAD;
    unit->Destroy();
    return;
  }
  GUI_BS_Unit::Tick();
}

GUI_BS_UnitManager& GUI_BS_UnitManager::Instance() { return ProcessWide<GUI_BS_UnitManager>(); }

void GUI_BS_UnitManager::Adopt(std::unique_ptr<SIM_UnitVisual> visual) {
  if (!visual) return;
  visual->DetachUnit();
  wrecks.push_back(std::move(visual));
}

GUI_BS_WarpOutManager& GUI_BS_WarpOutManager::Instance() { return ProcessWide<GUI_BS_WarpOutManager>(); }

std::unique_ptr<SIM_UnitVisual> GUI_BS_BattleView::CreateUnitVisual(SIM_BattleUnit* unit, int sizeType) {
  switch (sizeType) {
    case SIZE_INFANTRY:
      return std::make_unique<GUI_BS_InfantryUnit>(unit);
    case SIZE_MECH:
      return std::make_unique<GUI_BS_MechUnit>(unit);
    case SIZE_TANK:
      return std::make_unique<GUI_BS_TankUnit>(unit);
    case SIZE_BUILDING:
      return std::make_unique<GUI_BS_BuildingUnit>(unit);
    default:
      return nullptr;
  }
}

std::unique_ptr<SIM_GroundPropVisual> GUI_BS_BattleView::CreateGroundProp(const GroundPropDesc& desc) {
  // The unit owns the prop; the ground layers list it until it goes.
  auto prop = std::make_unique<GUI_BS_GroundProp>();
  prop->InitFromDesc(desc);
  GroundPropAddToLayers(prop.get(), true);
  return prop;
}

void GUI_BS_BattleView::InitMap(SIM_Scenario* scenario) { GUI_BS_Map::Instance().Init(scenario); }
void GUI_BS_BattleView::InitCorpses() { GetBattleScreen().ResetWorld(); }
void GUI_BS_BattleView::Init() { GetBattleScreen().Init(); }

void GUI_BS_BattleView::KeepWreck(std::unique_ptr<SIM_UnitVisual> visual) {
  GUI_BS_UnitManager::Instance().Adopt(std::move(visual));
}

void GUI_BS_BattleView::StartWarpOut(float size, float x, float y) {
  GUI_BS_WarpOutManager::Instance().Add(size, x, y);
}

float GUI_BS_BattleView::Zoom() const { return GUI_BS_Map::Instance().zoom; }
float GUI_BS_BattleView::CameraX() const { return GUI_BS_Map::Instance().cameraX; }
float GUI_BS_BattleView::CameraY() const { return GUI_BS_Map::Instance().cameraY; }

bool GUI_BS_BattleView::IsOffScreen(float x, float y, float margin) const {
  return GUI_BS_Map::Instance().IsOffScreen(x, y, margin);
}

void RegisterBattleScreenView() {
  static GUI_BS_BattleView view;
  SetBattleView(&view);
}
