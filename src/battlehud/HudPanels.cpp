#include "battlehud/HudPanels.h"

#include "battle/BattleHooks.h"
#include "battlehud/BattleMessages.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/MiniMap.h"
#include "battlehud/SelectionBox.h"
#include "battlehud/UnitInspector.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleScreen.h"
#include "gui/Buttons.h"

void OpenHudPanels() {
  GUI_BS_MidBattleMessageManager::Instance().Clear();
  DragSelectBox::Instance().active = false;
  OpenMiniMap();
  GUI_BS_HintWindow::QueueBattleHints();
}

void CloseHudPanels() {
  CloseUnitInspector();
  CloseRCMenu();
  CloseMiniMap();
  GUI_BS_HintWindow::CloseCurrent();
  GUI_BS_MidBattleMessageManager::Instance().Clear();
  DragSelectBox::Instance().active = false;
}

void ConnectHudPanels() {
  GUI_ToggleButton::SetHandler(&GUI_BS_MiniMap::OnButton);
  BattleHooks& hooks = GetBattleHooks();
  hooks.announceUnit = [](SIM_BattleUnit* unit) { GUI_BS_MiniMap::OnUnitDeployed(unit); };
  hooks.midBattleMessage = [](const std::string& text) {
    GUI_BS_MidBattleMessageManager::Instance().AddMessage(text);
  };
  hooks.hintStep = [] { GUI_BS_HintWindow::Show(); };
  hooks.refreshSpeedLabel = [] {
    if (GUI_BS_MiniMap* m = GetMiniMap()) m->SetSpeedLabel();
  };
  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.speedChanged = [] {
    if (GUI_BS_MiniMap* m = GetMiniMap()) m->SetSpeedLabel();
    GUI_BS_MiniMap::RefreshToggleButtons();
  };
  screen.openUnitInspector = &GUI_BS_UnitInspector::Open;
  screen.openBuildingMenu = &OpenRCMenu;
  screen.beginDragSelect = [] { DragSelectBox::Instance().Begin(); };
  screen.unitVisualGone = [](SIM_BattleUnit* unit) {
    if (GUI_BS_MiniMap* m = GetMiniMap()) m->RemoveUnit(unit);
    UnitInspectorForgetUnit(unit);
    RCMenuForgetUnit(unit);
  };
  SetBattleHudLayer(HL_SELECTION_BOX, [] { DragSelectBox::Instance().Draw(); });
  SetBattleHudLayer(HL_MESSAGES, [] { GUI_BS_MidBattleMessageManager::Instance().Update(); });
}
