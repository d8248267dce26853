#pragma once
// Dog tags: a computer squad wiped out while attacking leaves a tag on the field for a
// limited time; the player collects it for supplies. Explosion managers: the named
// explosion sets the effects read from "data/explosionmanagers". (Burns, the third of
// these small services, live with the flamethrower: SIM_Burn in BeamAndFlame.h.)
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "engine/SettingsFile.h"

class SIM_DogTag;

// What the battle screen draws of a tag; owned by the tag.
class SIM_DogTagVisual {
 public:
  virtual ~SIM_DogTagVisual() = default;
};

class SIM_DogTag {
 public:
  SIM_DogTag(float x, float y, int value);
  virtual ~SIM_DogTag() = default;

  float age = 0.0f;  // ms of real time
  std::unique_ptr<SIM_DogTagVisual> visual;
  float x = 0.0f;  // where the squad fell
  float y = 0.0f;
  int value = 0;  // supplies granted on collection
};

class DogTagList {
 public:
  virtual ~DogTagList() = default;
  // Drops a tag (a computer squad fell); the tutorial explains tags to a defender.
  SIM_DogTag* Add(float x, float y, int value);
  // Every battle update: tags age in real time and expire after DOGTAG_LIFETIME.
  void Update();
  // The player picked the tag up: its supplies, the counter, and it is gone.
  void Collect(SIM_DogTag* tag);
  void Clear();

  std::list<std::unique_ptr<SIM_DogTag>> tags;
};

DogTagList& GetDogTagManager();

struct ExplosionManagerRecord {
  std::string name;
  SettingsFile explosions;  // the file's `explosions` section
};

class SIM_ExplosionManager {
 public:
  static constexpr const char* kPattern = "data/explosionmanagers/*.txt";

  virtual ~SIM_ExplosionManager() = default;
  static SIM_ExplosionManager& Get();

  // Reads every file of the folder, in name order.
  void LoadAll(const std::string& pattern = kPattern);
  // The first record of that name (loading first when empty); a name no file declares
  // is a content fault that ends the program.
  const ExplosionManagerRecord& Find(const std::string& name);
  void Clear() { records.clear(); }

  std::vector<std::unique_ptr<ExplosionManagerRecord>> records;
};
