#include "battlehud/BattleOverlays.h"

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battlehud/AirStrikePlacement.h"
#include "battlehud/DivisionManager.h"
#include "battlehud/DogTags.h"
#include "battlehud/RangeIndicators.h"
#include "battlehud/Routes.h"
#include "battlehud/StatsDialog.h"
#include "battlehud/SupportOverlays.h"
#include "battlehud/UnitOverlays.h"
#include "battlehud/WarpOuts.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/InputManager.h"

void ClearBattleOverlays() {
  GUI_BS_RangeIndicatorSet::Instance().Clear();
  GUI_BS_WarpOutManager::Instance().Clear();
  GUI_BS_DamageFeedbackPool::Instance().Clear();
  GUI_BS_FloatingTexts::Instance().Clear();
  GUI_BS_DogTagManager::Instance().Clear();
  GUI_BS_AirStrikeManager::Instance().Clear();
  GUI_BS_PathManager::Instance().Clear();
  PathArrowPool::Instance().count = 0;
}

void StartBattleOverlays() {
  ClearBattleOverlays();
  if (!BattleExists()) return;
  const SIM_Battle& battle = GetBattle();
  GUI_BS_PathManager::Instance().Rebuild(battle.scenario, battle.playerDefends,
                                         GetBattleViewFlags().showPaths);
}

namespace {
// The dropper's answers, asked first: a design in hand comes before a strike.
bool (*g_dropperLeft)() = nullptr;
bool (*g_dropperRight)() = nullptr;
void (*g_dropperCancel)() = nullptr;
bool (*g_dropperClose)() = nullptr;

bool Targeting() { return GUI_BS_AirStrikeManager::Instance().Active() != nullptr; }
}  // namespace

namespace {
bool LeftPress() {
  if (g_dropperLeft && g_dropperLeft()) return true;
  if (!Targeting()) return false;
  // A press on the deployment strip (another ability icon) or any window is theirs.
  if (HudMouseOverWindow()) return false;
  const GUI_InputManager& in = GetInputManager();
  return GUI_BS_AirStrikeManager::Instance().PlaceStrike(in.x, in.y);
}
bool RightPress() {
  if (g_dropperRight && g_dropperRight()) return true;
  if (Targeting()) {
    GUI_BS_AirStrikeManager::Instance().CancelPlacer();
    return true;
  }
  // The open division manager closes (and saves) before the battle offers to quit.
  return CloseDivisionManager();
}
void CancelPlacement() {
  GUI_BS_AirStrikeManager::Instance().CancelPlacer();
  if (g_dropperCancel) g_dropperCancel();
}
bool CloseOpenTool() {
  if (g_dropperClose && g_dropperClose()) return true;
  if (Targeting()) {
    GUI_BS_AirStrikeManager::Instance().CancelPlacer();
    return true;
  }
  if (GetOpenStatsDialog()) {
    CloseStatsDialog();
    return true;
  }
  // The open division manager closes (and saves) before the battle offers to quit.
  return CloseDivisionManager();
}
}  // namespace

void ConnectBattleOverlays() {
  SetBattleWorldLayer(WL_PATH_LINES, DrawRouteNetwork);
  SetBattleWorldLayer(WL_EFFECT_INDICATORS, DrawSupportAreas);
  SetBattleHudLayer(HL_TARGET_MARKERS, DrawTargetMarkers);
  SetBattleHudLayer(HL_PATH_ARROWS, DrawSelectedRoutes);
  SetBattleHudLayer(HL_BUILD_PROGRESS, BuildingProgressBar::DrawQueued);
  SetBattleHudLayer(HL_SUPPORT_ICONS, DrawSupportIcons);
  SetBattleWorldLayer(WL_RANGE_INDICATORS, [] { GUI_BS_RangeIndicator::DrawAll(); });
  SetBattleWorldLayer(WL_WARP_OUTS, [] { GUI_BS_WarpOutManager::Instance().Draw(); });
  SetBattleWorldLayer(WL_AIRSTRIKE_MARKERS_AND_HEALTH, [] {
    DrawHealthDiscs();
    GUI_BS_AirStrikeManager::Instance().DrawAll();
  });
  SetBattleHudLayer(HL_DOG_TAGS, [] {
    GUI_BS_DogTagManager::Instance().Draw();
    DrawFloatingTexts();
  });
  SetBattleHudLayer(HL_DAMAGE_NUMBERS, DrawDamageNumbers);
  GetBattleHooks().damageNumber = [](SIM_BattleUnit* unit, float amount, int kind, float x, float y) {
    GUI_BS_DamageFeedbackPool::Instance().Add(unit, amount, kind, x, y);
  };
  GetBattleHooks().damageLanded = [](SIM_BattleUnit* unit, float x, float y) {
    GUI_BS_DamageFeedbackPool::Instance().CompletePending(unit, x, y);
  };
  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.resetRangeIndicator = [](SIM_BattleUnit* unit) { GUI_BS_RangeIndicatorSet::Instance().Reset(unit); };
  screen.mapLeftPress = [] {
    const GUI_InputManager& in = GetInputManager();
    return GUI_BS_DogTagManager::Instance().ProcessClicks(float(in.x), float(in.y)) > 0;
  };
  // Keep the first wiring only: connecting twice must not chain the strike to itself.
  if (screen.leftPressTaken != &LeftPress) g_dropperLeft = screen.leftPressTaken;
  if (screen.rightPressTaken != &RightPress) g_dropperRight = screen.rightPressTaken;
  if (screen.cancelPlacement != &CancelPlacement) g_dropperCancel = screen.cancelPlacement;
  if (screen.closeOpenTool != &CloseOpenTool) g_dropperClose = screen.closeOpenTool;
  screen.leftPressTaken = &LeftPress;
  screen.rightPressTaken = &RightPress;
  screen.cancelPlacement = &CancelPlacement;
  screen.closeOpenTool = &CloseOpenTool;
  screen.airStrikeBeingPlaced = [] { return Targeting(); };
  screen.selectionCleared = [] { GUI_BS_RangeIndicator::FadeOutAll(); };
  screen.startWarpOut = [](float size, float x, float y) {
    GUI_BS_WarpOutManager::Instance().Add(size, x, y);
  };
}
