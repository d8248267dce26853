#pragma once
// Battle services the clock steps every frame: dog tags, air strikes and air drops.
// Their rules are still to come; the battle resets and steps them through these calls.
class SIM_DogTagManager {
 public:
  virtual ~SIM_DogTagManager() = default;
  void Clear() {}
  void Update() {}
};
SIM_DogTagManager& GetDogTagManager();

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
