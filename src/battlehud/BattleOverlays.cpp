#include "battlehud/BattleOverlays.h"

#include "battle/BattleHooks.h"
#include "battlehud/DeploymentSeams.h"
#include "battlehud/DogTags.h"
#include "battlehud/RangeIndicators.h"
#include "battlehud/UnitOverlays.h"
#include "battlehud/WarpOuts.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleScreen.h"
#include "engine/InputManager.h"

void ClearBattleOverlays() {
  GUI_BS_RangeIndicatorSet::Instance().Clear();
  GUI_BS_WarpOutManager::Instance().Clear();
  GUI_BS_DamageFeedbackPool::Instance().Clear();
  GUI_BS_FloatingTexts::Instance().Clear();
  GUI_BS_DogTagManager::Instance().Clear();
}

void ConnectBattleOverlays() {
  SetBattleWorldLayer(WL_RANGE_INDICATORS, [] { GUI_BS_RangeIndicator::DrawAll(); });
  SetBattleWorldLayer(WL_WARP_OUTS, [] { GUI_BS_WarpOutManager::Instance().Draw(); });
  SetBattleWorldLayer(WL_AIRSTRIKE_MARKERS_AND_HEALTH, DrawHealthDiscs);
  SetBattleHudLayer(HL_DOG_TAGS, [] {
    GUI_BS_DogTagManager::Instance().Draw();
    DrawFloatingTexts();
  });
  SetBattleHudLayer(HL_DAMAGE_NUMBERS, DrawDamageNumbers);
  GetBattleHooks().damageNumber = [](SIM_BattleUnit* unit, float amount, int kind, float x, float y) {
    GUI_BS_DamageFeedbackPool::Instance().Add(unit, amount, kind, x, y);
  };
  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.resetRangeIndicator = [](SIM_BattleUnit* unit) { GUI_BS_RangeIndicatorSet::Instance().Reset(unit); };
  screen.mapLeftPress = [] {
    const GUI_InputManager& in = GetInputManager();
    return GUI_BS_DogTagManager::Instance().ProcessClicks(float(in.x), float(in.y)) > 0;
  };
  screen.selectionCleared = [] { GUI_BS_RangeIndicator::FadeOutAll(); };
  screen.startWarpOut = [](float size, float x, float y) {
    GUI_BS_WarpOutManager::Instance().Add(size, x, y);
  };
  GetDeploymentSeams().fadeOutRangeIndicators = [] { GUI_BS_RangeIndicator::FadeOutAll(); };
}
