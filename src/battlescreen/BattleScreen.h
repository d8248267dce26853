#pragma once
// The battle screen (game mode 6): current while a battle is deployed and fought. Each
// frame it advances the battle, then draws it in the fixed order of layers
// (BattleFrame.h); it routes keys, clicks and the wheel to the windows, the map and the
// units. The battle reaches it only through the view it registers (UnitVisuals.h).
#include <cstdint>
#include <vector>

#include "app/GUI_GameModeBase.h"

class SIM_BattleSquadron;
class SIM_BattleUnit;
class SIM_UnitDesign;

// What the deployment dropper takes back when the player clicks one of their placed
// units before the fight: the units go into its hand (every soldier of a squad).
struct DropperHandBack {
  std::vector<SIM_BattleUnit*> units;
  SIM_BattleSquadron* squadron = nullptr;  // the squad handed back, null for a single unit
  SIM_UnitDesign* design = nullptr;
};

// Display flags the whole HUD reads.
struct BattleViewFlags {
  bool showDamage = false;
  bool showMinimap = true;
  bool reserved = true;
  bool showPaths = true;
  bool showHud = true;
  bool showHealth = false;
};
BattleViewFlags& GetBattleViewFlags();

// What the screen asks of the HUD above it (registered at start-up; unset ones do nothing).
struct BattleScreenHooks {
  // Escape: closes the first open tool (design loader, drop in progress, air-strike
  // placer, statistics, division manager); true when one was closed.
  bool (*closeOpenTool)() = nullptr;
  // Escape, before any battle tool: the design loader closes; true when it was open.
  bool (*closeDesignLoader)() = nullptr;
  // Delete: cancels an air-strike placer or a drop in progress.
  void (*cancelPlacement)() = nullptr;
  // A left or right press the deployment tools take first; true when taken.
  bool (*leftPressTaken)() = nullptr;
  bool (*rightPressTaken)() = nullptr;
  // Tab: the next (or with Shift the previous) division of the deployment window.
  void (*cycleDivision)(bool previous) = nullptr;
  // The speed changed or the paused flag flipped (the minimap's label).
  void (*speedChanged)() = nullptr;
  // The HUD was shown or hidden (the deployment window and design popups).
  void (*hudShown)(bool shown) = nullptr;
  void (*toggleNightVision)() = nullptr;
  // The fighting began (the fight button or Q): a design still in hand goes back.
  void (*fightingStarted)() = nullptr;
  // The first battle draw after a device reset: the HUD rebuilds what lived on the
  // device (the deployment window and its icon sheet).
  void (*deviceRebuilt)() = nullptr;
  // Battle start and teardown of the HUD's windows.
  void (*openHud)() = nullptr;
  void (*closeHud)() = nullptr;
  // Battle start and teardown of the effects (pools emptied, light map read).
  void (*effectsBattleStart)() = nullptr;
  void (*effectsBattleEnd)() = nullptr;
  // The player right-clicked one of their finished buildings: its menu opens.
  void (*openBuildingMenu)(SIM_BattleUnit* building) = nullptr;
  // The player left-clicked one of their units in the fight: the unit inspector opens
  // on it and its range rings start again.
  void (*openUnitInspector)(SIM_BattleUnit* unit) = nullptr;
  void (*resetRangeIndicator)(SIM_BattleUnit* unit) = nullptr;
  // A unit's visual is being deleted (with its unit): whatever points at the unit lets go.
  void (*unitVisualGone)(SIM_BattleUnit* unit) = nullptr;
  // A left press with Shift held starts the drag-selection box instead of a camera drag.
  void (*beginDragSelect)() = nullptr;

  // A left press on the battlefield that no window took (dog tags under the mouse are
  // collected); true when taken.
  bool (*mapLeftPress)() = nullptr;
  // The selection was cleared: every range ring shrinks away.
  void (*selectionCleared)() = nullptr;
  // A unit left the map: its warp-out flash (world size and position).
  void (*startWarpOut)(float size, float x, float y) = nullptr;
  // Deployment hand-back. A unit goes back only while no air strike is being placed and
  // the dropper's hand is empty; the dropper puts the units into its hand, prepares the
  // formation, forgets its current design and hides the deployment window and popups.
  // Unset, nothing is handed back.
  bool (*airStrikeBeingPlaced)() = nullptr;
  bool (*dropperHandEmpty)() = nullptr;
  void (*handBackToDropper)(const DropperHandBack& back) = nullptr;
};
BattleScreenHooks& GetBattleScreenHooks();

class GUI_BattleScreen : public GUI_GameModeBase {
 public:
  // Windows key codes the screen answers.
  static constexpr int kKeyTab = 9, kKeyEscape = 27, kKeyDelete = 46, kKeyPadPlus = 107, kKeyPadMinus = 109;

  GUI_BattleScreen() = default;
  ~GUI_BattleScreen() override = default;

  // The frame: advances the battle one step, then draws it.
  void Draw() override;
  void OnChar(int character) override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnRightDown() override;
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  // The ground hides whatever the screen held: the frame skips its clear.
  bool CoversWholeScreen() const override;

  // One battle frame's drawing (BattleFrame.cpp); also rebuilds device resources after a reset.
  void DrawBattle();
  // Battle start, once the armies are built: options, ground layers, camera.
  void Init();
  // Battle start, after the old armies are gone: empties the world's pools and lists.
  void ResetWorld();
  // Leaving the screen.
  void Teardown();
  // Ends the deployment phase (Q, and the top strip's fight button).
  void StartFighting();
  void SpeedUp();
  void SlowDown();
  void ToggleShowHealth();
  void ToggleShowPaths();
  void ToggleShowDamage();
  void CycleDivision();
  // Escape: the first open thing closes, else the quit question.
  void EscapeChain();
  static int OnQuitConfirmed(int);
  // Orders by the mouse; each returns whether it acted.
  bool OrderMoveToMouse();
  bool OrderAttackUnitUnderMouse();
  void ClearForcedTargets();
  void SelectUnitUnderMouse();
  // The unit under the mouse gets its right click (a finished building opens its menu).
  void RightClickUnitUnderMouse();

  // Frame time over frames drawn since Init (ms); 0 before the first timed frame.
  double AverageFrameMs() const { return frameCount > 0 ? elapsedMs / frameCount : 0.0; }

  float elapsedMs = 0.0f;
  int32_t frameCount = 0;
  uint64_t lastFrameMs = 0;  // the millisecond clock of the previous frame
  int32_t fightingFrames = -1;
  int startSound = -1;
  bool newPathOnCtrlOrder = true;
  bool firstFramePending = false;
};

// The battle screen object the battle draws through.
GUI_BattleScreen& GetBattleScreen();
