#include "battlescreen/BattleScreen.h"

#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/Gameplay.h"
#include "battle/ProcessWide.h"
#include "battlescreen/DeviceResetSeam.h"
#include "battlescreen/UnitVisuals.h"

GUI_BattleScreen& GetBattleScreen() {
  // The mode object when game mode 6 is this screen; our own otherwise.
  if (auto* mode = dynamic_cast<GUI_BattleScreen*>(FindGameModeObject(MODE_BATTLE_SCREEN)))
    return *mode;
  return ProcessWide<GUI_BattleScreen>();
}

void GUI_BattleScreen::Draw() { GetBattle().Update(); }

void GUI_BattleScreen::DrawBattle() {
  ++drawCount;
  // Device resources would be rebuilt here after a reset; there are none yet.
  if (BattleScreenDeviceRebuiltFlag()) ClearBattleScreenDeviceRebuiltFlag();
  // Every unit's visual ticks each frame: weapon effects and soldiers' death
  // animations step here, with or without a window.
  for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits)
    if (u->visual) u->visual->Tick();
}

void GUI_BattleScreen::Init() {
  drawCount = 0;
  GetGameplay().ArmMessages();
}

void GUI_BattleScreen::InitCorpses() { GUI_BS_UnitManager::Instance().Clear(); }

void GUI_BattleScreen::StartFighting() {
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  battle.SetPaused(false);
  battle.SetSpeed(battle.speed);
}
