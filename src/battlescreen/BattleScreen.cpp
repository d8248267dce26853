#include "battlescreen/BattleScreen.h"

#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battle/ProcessWide.h"
#include "battlescreen/DeviceResetSeam.h"
#include "battlescreen/UnitVisuals.h"

GUI_BattleScreen& GetBattleScreen() {
  // The mode object when game mode 6 is this screen; our own otherwise.
  if (auto* mode = dynamic_cast<GUI_BattleScreen*>(FindGameModeObject(MODE_BATTLE_SCREEN))) return *mode;
  return ProcessWide<GUI_BattleScreen>();
}

void GUI_BattleScreen::Draw() {
  GetBattle().Update();
  DrawBattle();
}

void GUI_BattleScreen::DrawBattle() {
  // Device resources would be rebuilt here after a reset; there are none yet.
  if (BattleScreenDeviceRebuiltFlag()) ClearBattleScreenDeviceRebuiltFlag();
}

void GUI_BattleScreen::InitCorpses() { GUI_BS_UnitManager::Instance().Clear(); }

void GUI_BattleScreen::StartFighting() {
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  battle.SetPaused(false);
  battle.SetSpeed(battle.speed);
}
