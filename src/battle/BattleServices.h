#pragma once
// Battle services the clock steps every frame: air strikes and air drops (dog tags are
// in DogTags.h). Their rules are still to come; the battle resets and steps them
// through these calls.
#include "battle/DogTags.h"

class SIM_AirStrikeManager {
 public:
  virtual ~SIM_AirStrikeManager() = default;
  void Update() {}
};
SIM_AirStrikeManager& GetAirStrikeManager();

class SIM_AirDropManager {
 public:
  virtual ~SIM_AirDropManager() = default;
  void Reset() {}
  void Update() {}
  // Removes every pending drop (the battle's supplies ran out).
  void Clear() {}
};
SIM_AirDropManager& GetAirDropManager();
