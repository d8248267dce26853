#pragma once
// What the data records need of the layers above them. The layer that has the answer
// registers it once at start-up (src/game wires the game; test programs wire what they
// link); an unset hook gives the answer of a game without that layer.
#include <string>

struct SIM_DataHooks {
  // A player file was saved: mirror it in the Steam remote storage. Unset: no copy.
  void (*copyToCloud)(const std::string& path) = nullptr;
  // True while the map designer is the current game mode. Unset: never.
  bool (*inMapDesigner)() = nullptr;
  // The gameplay constant DEFENDER_DEFENSE_BONUS that buildings' armour and shields
  // are multiplied by. Unset: 1 (no bonus).
  float (*defenderDefenceBonus)() = nullptr;
};

// The process-wide hooks. Registration is program wiring: tests' resets keep it.
SIM_DataHooks& GetDataHooks();
