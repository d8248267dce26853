#pragma once
class SIM_Scenario;

// What the application calls in the screens and services above it (battle effects,
// battle screen, battle HUD, online services). Those layers register their functions
// at start-up (src/game); an unset hook is skipped, as in a game built without them.
struct GameLayerHooks {
  // Start-up and shutdown: the particle configurations and explosion name tables.
  void (*particleGroupsClearLists)() = nullptr;
  void (*particleConfigsClear)() = nullptr;
  void (*particleConfigsLoad)() = nullptr;
  void (*explosionTypeNamesInit)() = nullptr;
  // Device reset: the open deployment window goes (true when one was open), the
  // infantry composites are rebuilt, and the battle screen rebuilds at its next draw.
  bool (*deleteOpenDeploymentWindow)() = nullptr;
  void (*rebuildInfantryComposites)() = nullptr;
  void (*battleScreenDeviceRebuilt)() = nullptr;
  // Main menu: the background online update thread; every frame: its end and the patch
  // notice.
  void (*startOnlineUpdateThread)() = nullptr;
  void (*showPatchFound)() = nullptr;
  // Every frame: end-of-battle workers that finished give the runner back, even after
  // their dialog has gone.
  void (*pollEndOfBattleWorkers)() = nullptr;

  // The battle browser's Edit: opens the map designer on a copy of the scenario.
  void (*openMapDesigner)(const SIM_Scenario& source) = nullptr;
};

// The process-wide hooks. Registration is program wiring: tests' resets keep it.
GameLayerHooks& GetGameLayerHooks();

// Calls one hook when it is set.
template <typename Hook>
void CallGameLayerHook(Hook hook) {
  if (hook) hook();
}

// Registers the application's side of the lower layers' hooks: the toolkit's sounds,
// tutorial, colours and detail option; the data records' map-designer query and cloud
// copies; the battle's sounds and gameplay constants; the game's input object.
// Idempotent; start-up runs it before anything else.
void RegisterGameServices();
