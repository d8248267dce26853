#pragma once
// What the data records need of the layers above them. The layer that has the answer
// registers it once at start-up (src/game wires the game; test programs wire what they
// link); an unset hook gives the answer of a game without that layer.
#include <string>

class SIM_Division;

struct SIM_DataHooks {
  // A player file was saved: mirror it in the Steam remote storage. Unset: no copy.
  void (*copyToCloud)(const std::string& path) = nullptr;
  // True while the map designer is the current game mode. Unset: never.
  bool (*inMapDesigner)() = nullptr;
  // The gameplay constant DEFENDER_DEFENSE_BONUS that buildings' armour and shields
  // are multiplied by. Unset: 1 (no bonus).
  float (*defenderDefenceBonus)() = nullptr;
  // An achievement was unlocked: tell Steam (its API name). Unset: nobody is told.
  void (*setSteamAchievement)(const std::string& apiName) = nullptr;
  // Whether the battle's deployment window is open. Unset: it is not.
  bool (*deploymentWindowOpen)() = nullptr;
  // Whether the open deployment window can offer the division (it has designs the
  // window can show). Unset: every division is usable.
  bool (*deploymentCanUseDivision)(const SIM_Division* division) = nullptr;
};

// The process-wide hooks. Registration is program wiring: tests' resets keep it.
SIM_DataHooks& GetDataHooks();
