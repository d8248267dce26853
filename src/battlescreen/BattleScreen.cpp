#include "battlescreen/BattleScreen.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battle/ProcessWide.h"
#include "battle/Squadron.h"
#include "battle/TargetSelector.h"
#include "battle/TargetedComponents.h"
#include "battlescreen/AirDropCrates.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/Craters.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/Searchlights.h"
#include "battlescreen/Snowfall.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/UnitVisuals.h"
#include "battlescreen/WorldDetails.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Timer.h"
#include "gui/ConfirmDialog.h"
#include "gui/MessageBox.h"
#include "gui/WindowOrder.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
constexpr float kSpeedStep = 0.2f;

void ApplySpeed(float speed) {
  SIM_Battle& battle = GetBattle();
  // Whole tenths, so that repeated steps land exactly on the ends of the range.
  battle.SetSpeed(std::round(speed * 10.0f) / 10.0f);
  if (SoundsExist()) GetSounds().SetPlaybackSpeed(battle.speed);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.speedChanged) h.speedChanged();
}

void StoreFlag(const char* option, bool on) {
  SIM_Options& o = SIM_Options::Get();
  o.SetFloat(option, on ? 1.0f : 0.0f);
  o.Save();
}

template <typename Fn>
void ForSelectedSelectors(Fn fn) {
  SIM_Battle& battle = GetBattle();
  if (!battle.playerArmy) return;
  for (SIM_BattleUnit* u : battle.playerArmy->livingUnits) {
    if (!u->selected || !u->moduleManager) continue;
    for (SIM_Module* m : u->moduleManager->weapons)
      if (auto* w = dynamic_cast<SIM_TargetedComponent*>(m); w && w->selector) fn(*w->selector);
  }
}
}  // namespace

BattleViewFlags& GetBattleViewFlags() { return ProcessWide<BattleViewFlags>(); }

BattleScreenHooks& GetBattleScreenHooks() {
  static BattleScreenHooks hooks;
  return hooks;
}

GUI_BattleScreen& GetBattleScreen() {
  // The mode object when game mode 6 is this screen; our own otherwise.
  if (auto* mode = dynamic_cast<GUI_BattleScreen*>(FindGameModeObject(MODE_BATTLE_SCREEN))) return *mode;
  return ProcessWide<GUI_BattleScreen>();
}

void GUI_BattleScreen::Draw() {
  GetBattle().Update();
  DrawBattle();
}

bool GUI_BattleScreen::CoversWholeScreen() const { return GUI_BS_Map::Instance().GroundCoversScreen(); }

void GUI_BattleScreen::OnChar(int character) {
  if (FocusedEdit) {
    GUI_GameModeBase::OnChar(character);
    return;
  }
  SIM_Battle& battle = GetBattle();
  BattleViewFlags& flags = GetBattleViewFlags();
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  switch (std::toupper(character & 0xFF)) {
    case 'F':
      // One frame, then paused again.
      if (battle.state == BATTLE_RUNNING) battle.RequestStepOnce();
      break;
    case 'H':
      ToggleShowHealth();
      break;
    case 'M':
      flags.showMinimap = !flags.showMinimap;
      break;
    case 'N':
      if (hooks.toggleNightVision) hooks.toggleNightVision();
      break;
    case 'P':
      battle.SetPaused(!battle.paused);
      if (hooks.speedChanged) hooks.speedChanged();
      break;
    case 'Q':
      StartFighting();
      break;
    case 'R':
      ToggleShowPaths();
      break;
    case 'U':
      flags.showHud = !flags.showHud;
      if (hooks.hudShown) hooks.hudShown(flags.showHud);
      break;
    default:
      break;
  }
}

void GUI_BattleScreen::OnKeyDown(int key) {
  if (FocusedEdit) {
    GUI_GameModeBase::OnKeyDown(key);
    return;
  }
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  switch (key) {
    case kKeyTab:
      CycleDivision();
      break;
    case kKeyEscape:
      EscapeChain();
      break;
    case kKeyDelete:
      if (BattleScreenHooks& h = GetBattleScreenHooks(); h.cancelPlacement) h.cancelPlacement();
      break;
    case kKeyPadPlus:
      if (IsShiftDown())
        map.ZoomIn();
      else
        SpeedUp();
      break;
    case kKeyPadMinus:
      if (IsShiftDown())
        map.ZoomOut();
      else
        SlowDown();
      break;
    default:
      break;
  }
}

void GUI_BattleScreen::EscapeChain() {
  if (OpenMessageBox()) {
    GUI_Message::OnOK(0);
    return;
  }
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  if (hooks.closeDesignLoader && hooks.closeDesignLoader()) return;
  if (hooks.closeOpenTool && hooks.closeOpenTool()) return;
  if (GetBattle().state == BATTLE_OVER) return;
  ShowConfirmDialog("BATTLE_QUIT_TITLE", "BATTLE_QUIT_TEXT", &GUI_BattleScreen::OnQuitConfirmed);
}

int GUI_BattleScreen::OnQuitConfirmed(int) {
  Game& game = GetGame();
  GUI_GameModeBase* browser = GetGameModeObject(MODE_BATTLE_BROWSER);
  ZT_ASSERT(browser != nullptr);
  game.SetGameMode(MODE_BATTLE_BROWSER);
  if (SoundsExist()) GetSounds().PlayMusic("ztk_menus.ogg", false, true);
  return 0;
}

void GUI_BattleScreen::Process() {
  GetWindowOrder().Process();
  if (!IsCtrlDown()) newPathOnCtrlOrder = true;
}

void GUI_BattleScreen::OnLeftDown() {
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  if (hooks.leftPressTaken && hooks.leftPressTaken()) return;
  if (GetWindowOrder().LeftClick()) return;
  if (hooks.beginDragSelect && IsShiftDown()) {
    hooks.beginDragSelect();
    return;
  }

  if (hooks.mapLeftPress && hooks.mapLeftPress()) return;
  GUI_BS_Map::Instance().OnMousePress();
  SelectUnitUnderMouse();
}

void GUI_BattleScreen::SelectUnitUnderMouse() {
  if (!IsCtrlDown()) {
    GetBattleUnitManager().ClearSelection();
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.selectionCleared) h.selectionCleared();
  }
  if (GUI_BS_Unit* unit = GUI_BS_UnitManager::Instance().PickUnit(GUI_BS_UnitManager::SIDE_PLAYER))
    unit->OnLeftClick();
}

void GUI_BattleScreen::OnRightDown() {
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  const BattleFrameHooks& frame = GetBattleFrameHooks();
  // A design in hand is only put away; a cancelled strike or an order still reaches the
  // unit under the mouse (a building's menu).
  const bool dropping = frame.dropperHoldsDesign && frame.dropperHoldsDesign();
  if (hooks.rightPressTaken && hooks.rightPressTaken()) {
    if (!dropping) RightClickUnitUnderMouse();
    return;
  }
  if (!OrderAttackUnitUnderMouse() && !OrderMoveToMouse()) ClearForcedTargets();
  RightClickUnitUnderMouse();
}

void GUI_BattleScreen::RightClickUnitUnderMouse() {
  if (GUI_BS_Unit* unit = GUI_BS_UnitManager::Instance().PickUnit(GUI_BS_UnitManager::SIDE_BOTH))
    unit->OnRightClick();
}

bool GUI_BattleScreen::OrderAttackUnitUnderMouse() {
  GUI_BS_Unit* picked = GUI_BS_UnitManager::Instance().PickUnit(GUI_BS_UnitManager::SIDE_OTHER);
  SIM_BattleUnit* enemy = picked ? picked->unit : nullptr;
  if (!enemy) return false;
  SIM_BattleUnit* target = enemy->squadron ? static_cast<SIM_BattleUnit*>(enemy->squadron) : enemy;
  ForSelectedSelectors([&](SIM_TargetSelector& s) {
    s.orderedTarget = target;
    s.Retarget();
  });
  return true;
}

void GUI_BattleScreen::ClearForcedTargets() {
  ForSelectedSelectors([](SIM_TargetSelector& s) { s.orderedTarget = nullptr; });
}

bool GUI_BattleScreen::OrderMoveToMouse() {
  SIM_Battle& battle = GetBattle();
  if (battle.playerDefends || !battle.playerArmy) return false;
  const bool append = !newPathOnCtrlOrder && IsCtrlDown();
  SIM_MapSquare* square = GUI_BS_Map::Instance().SquareUnderMouse();
  if (!square) return false;
  for (SIM_BattleUnit* u : battle.playerArmy->livingUnits)
    if (u->selected && u->pathManager) u->pathManager->FindPath(square, append);
  for (SIM_BattleUnit* s : battle.playerArmy->squadrons)
    if (s->selected && s->pathManager) s->pathManager->FindPath(square, append);
  if (IsCtrlDown()) newPathOnCtrlOrder = false;
  return true;
}

void GUI_BattleScreen::CycleDivision() {
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.cycleDivision) h.cycleDivision(IsShiftDown());
}

void GUI_BattleScreen::OnWheelUp() {
  GetWindowOrder().OnWheelUp();
  if (GetInputManager().MouseClaimed) return;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (SIM_Options::Get().GetFloat("INVERTZOOM") == 0.0f)
    map.ZoomOut();
  else
    map.ZoomIn();
}

void GUI_BattleScreen::OnWheelDown() {
  GetWindowOrder().OnWheelDown();
  if (GetInputManager().MouseClaimed) return;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (SIM_Options::Get().GetFloat("INVERTZOOM") == 0.0f)
    map.ZoomIn();
  else
    map.ZoomOut();
}

void GUI_BattleScreen::Enter() {
  // The first frame after loading builds what needs the device (composites, minimap).
  firstFramePending = true;
}

void GUI_BattleScreen::Leave() { Teardown(); }

void GUI_BattleScreen::SpeedUp() {
  ApplySpeed(std::min(GetBattle().speed + kSpeedStep, SIM_Battle::kMaxSpeed));
}

void GUI_BattleScreen::SlowDown() {
  ApplySpeed(std::max(GetBattle().speed - kSpeedStep, SIM_Battle::kMinSpeed));
}

void GUI_BattleScreen::ToggleShowHealth() {
  BattleViewFlags& f = GetBattleViewFlags();
  f.showHealth = !f.showHealth;
  StoreFlag("OPTIONS_SHOW_HEALTH", f.showHealth);
}

void GUI_BattleScreen::ToggleShowPaths() {
  BattleViewFlags& f = GetBattleViewFlags();
  f.showPaths = !f.showPaths;
  StoreFlag("OPTIONS_SHOW_PATHS", f.showPaths);
}

void GUI_BattleScreen::ToggleShowDamage() {
  BattleViewFlags& f = GetBattleViewFlags();
  f.showDamage = !f.showDamage;
  StoreFlag("OPTIONS_SHOW_DAMAGE", f.showDamage);
}

void GUI_BattleScreen::StartFighting() {
  SIM_Battle& battle = GetBattle();
  if (battle.state == BATTLE_RUNNING) return;
  battle.Begin();
  battle.SetPaused(false);
  battle.SetSpeed(1.0f);
  if (SoundsExist()) GetSounds().SetPlaybackSpeed(1.0f);
  DebugLog("Start Fighting");
  fightingFrames = 0;
  ResetVoiceCooldown();
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.fightingStarted) h.fightingStarted();
  if (SoundsExist()) {
    GUI_Sounds& s = GetSounds();
    s.PlaySoundFile("data/sounds/start.ogg", false, s.InterfaceVolume() * s.MasterVolume(), 0);
  }
}

void GUI_BattleScreen::Init() {
  // Art measured for tight quads may have been reloaded (an editor) since the last battle.
  ForgetShownParts();
  SIM_Battle& battle = GetBattle();
  SIM_Scenario* scenario = battle.scenario;
  ZT_ASSERT(scenario != nullptr);
  if (scenario && !scenario->music.empty() && SoundsExist())
    GetSounds().PlayMusic(("battles/" + scenario->music).c_str(), false, true);
  startSound = -1;
  if (scenario && !scenario->ambientSound.empty() && SoundsExist()) {
    GUI_Sounds& s = GetSounds();
    startSound =
        s.PlaySoundFile(scenario->ambientSound.c_str(), true, s.InterfaceVolume() * s.MasterVolume(), 0);
  }
  SIM_Options& o = SIM_Options::Get();
  BattleViewFlags& f = GetBattleViewFlags();
  f.showPaths = o.IsOn("OPTIONS_SHOW_PATHS");
  f.showDamage = o.IsOn("OPTIONS_SHOW_DAMAGE");
  f.showHealth = o.IsOn("OPTIONS_SHOW_HEALTH");

  GUI_BS_DistortionManager::Instance().Reset();
  if (scenario) BuildGroundLayers();
  BloodSplatLayer::Get().Init();
  GUI_BS_AirDropManager::Instance().DeleteAll();

  GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (scenario && !battle.playerDefends && !scenario->routeStartSquares.empty() &&
      scenario->routeStartSquares.front()) {
    const SIM_MapSquare* start = scenario->routeStartSquares.front();
    map.centreX = map.cameraX = start->centreX;
    map.centreY = map.cameraY = start->centreY;
    map.ClampCentre();
    map.cameraX = map.centreX;
    map.cameraY = map.centreY;
    map.UpdateViewRect();
  }
  WorldDetailsBattleStart();
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.effectsBattleStart) h.effectsBattleStart();
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.openHud) h.openHud();
  // A defender is walked through deploying (the pages chain on to each other).
  if (battle.playerDefends) GetTutorial().Trigger("BATTLE_DEFEND1");
  lastFrameMs = ClockMilliseconds();
  elapsedMs = 0.0f;
  frameCount = 0;
}

void GUI_BattleScreen::ResetWorld() {
  ConstructGroundLayers();
  // The craters leave the ground layers as they go, so before the layers are emptied.
  GUI_BS_Crater::Clear();
  ClearGroundLayers();
  GUI_BS_Hulk::Clear();
  GUI_BS_BreakupCollection::Clear();
  // Bodies take their splats with them, so before the blood layer is emptied.
  ClearCorpses();
  BloodSplatLayer::Get().Clear();
  GUI_BS_UnitManager::Instance().Clear();
  GUI_BS_EffectsManager::Instance().Clear();
}

void GUI_BattleScreen::Teardown() {
  BattleHooks& battleHooks = GetBattleHooks();
  if (battleHooks.recordingSetMode) battleHooks.recordingSetMode(1);
  if (GUI_BS_EffectsManager* effects = ProcessWideIfAlive<GUI_BS_EffectsManager>()) effects->Clear();
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.effectsBattleEnd) h.effectsBattleEnd();
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  if (auto* lights = ProcessWideIfAlive<GUI_BS_SearchlightManager>()) lights->DeleteAll();
  if (auto* distortion = ProcessWideIfAlive<GUI_BS_DistortionManager>()) distortion->Reset();
  if (auto* shake = ProcessWideIfAlive<CameraShake>()) *shake = CameraShake();
  SquadSoundStop();
  if (GUI_BS_UnitManager* units = ProcessWideIfAlive<GUI_BS_UnitManager>()) units->StopEngineSounds();
  if (SoundsExist()) {
    GetSounds().StopAllSounds();
    GetSounds().SetPlaybackSpeed(1.0f);
  }
  startSound = -1;
}
