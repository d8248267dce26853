#pragma once
// Air strikes the defending player calls on the map. Each type, read from a file of
// "data/airstrikes", bombs an area with a number of impacts spread over a duration,
// after an order delay and for a supply cost, and then needs a restock delay before
// it can be ordered again. The catalogue and the readiness timers live for the whole
// process; the strikes in progress belong to one battle and end with it.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "simdata/Unlockable.h"

class SIM_AirStrike;

// Whoever launched a strike (the HUD's placer) and hears how it goes. Leaving, it
// tells the manager, so a strike never reports to an owner that is gone.
class SIM_AirStrikeOwner {
 public:
  enum Status { STATUS_WAITING = 0, STATUS_ATTACKING = 2, STATUS_FINISHED = 3 };
  SIM_AirStrikeOwner() = default;
  virtual ~SIM_AirStrikeOwner();
  SIM_AirStrikeOwner(const SIM_AirStrikeOwner&) = delete;
  SIM_AirStrikeOwner& operator=(const SIM_AirStrikeOwner&) = delete;

  int32_t status = STATUS_WAITING;
  int32_t secondStatus = 1;
};

struct SIM_AirStrikeType {
  std::string name;
  std::string guiName;  // strings-table key of the shown name
  std::string icon;
  bool ready = true;
  float restockTimer = 0.0f;  // ms since the type was last launched
  float damage = 0.0f;
  float spreadRadius = 0.0f;
  int32_t strikeCount = 0;
  float impactRadius = 0.0f;
  float effectiveVsInfantry = 0.0f;
  float effectiveVsArmour = 0.0f;
  float effectiveVsShields = 0.0f;
  int32_t supplyCost = 0;
  int32_t supplyIncrement = 0;
  float restockDelay = 0.0f;
  float orderDelay = 0.0f;
  float attackDuration = 0.0f;
  int32_t warhead = 0;
  SIM_Unlockable unlockable;  // kind 3

  // Reads the `config` section of one strike file; false (logged) when it has no name.
  bool Load(const std::string& file);
};

class SIM_AirStrike {
 public:
  static constexpr int kSlots = 8;
  // An impact detonates this long after it was placed (the bombs' fall).
  static constexpr float kFallMs = 100.0f;
  enum State {
    STATE_CREATED = 0,
    STATE_IDLE = 1,
    STATE_ORDERED = 2,
    STATE_ATTACKING = 3,
    STATE_FINISHED = 4
  };

  struct Impact {
    float x = 0.0f;
    float y = 0.0f;
    float timer = -1.0f;  // -1: free slot
  };

  explicit SIM_AirStrike(SIM_AirStrikeType* type, int32_t id) : type(type), id(id) {}

  // Sends the strike at the point: spends the cost and starts the type's restock.
  void Launch(SIM_AirStrikeOwner* owner, float x, float y);
  // While ordered: how far the order delay has run, 0..1; otherwise 0.
  float GetProgress() const;
  // One battle frame; false once the strike is over.
  bool Update(float frameStep);
  void BeginAttack();
  void UpdateAttack(float frameStep);
  void PlaceImpact();
  void Detonate(float x, float y);
  int PendingImpacts() const;

  SIM_AirStrikeOwner* owner = nullptr;  // not owned; cleared when the owner leaves
  Impact impacts[kSlots];
  float stateTimer = 0.0f;
  int32_t state = STATE_CREATED;
  float intervalTimer = 0.0f;
  int32_t impactsPlaced = 0;
  float targetX = 0.0f;
  float targetY = 0.0f;
  SIM_AirStrikeType* type = nullptr;  // the manager's, not owned
  bool spreadNext = false;
  // Handle by which the screen finds the strike again (0 is never used).
  int32_t id = 0;
  // Impacts that have detonated so far.
  int32_t detonations = 0;
};

class SIM_AirStrikeManager {
 public:
  SIM_AirStrikeManager() = default;
  virtual ~SIM_AirStrikeManager();
  SIM_AirStrikeManager(const SIM_AirStrikeManager&) = delete;
  SIM_AirStrikeManager& operator=(const SIM_AirStrikeManager&) = delete;

  // The manager, loading "data/airstrikes/*.txt" on first use.
  static SIM_AirStrikeManager& Load();
  // Replaces the catalogue with the files matching the pattern, in listing order.
  void LoadTypes(const std::string& pattern);

  // A new strike of the type, not yet launched, in the strikes in progress.
  SIM_AirStrike* OrderStrike(SIM_AirStrikeType* type);
  // A strike still in progress by its handle; null once it is over.
  SIM_AirStrike* FindStrike(int32_t id) const;
  // Takes back a strike that was never launched (its placer closed).
  void CancelStrike(int32_t id);
  // Battle start: the strikes of the last battle end here; readiness carries over.
  void StartBattle();
  // Once per battle frame, by the battle's frame step.
  void Update(float frameStep);
  // The owner is going away: no strike reports to it any more.
  void ForgetOwner(SIM_AirStrikeOwner* owner);

  std::vector<std::unique_ptr<SIM_AirStrikeType>> types;
  std::list<std::unique_ptr<SIM_AirStrike>> strikes;

 private:
  int32_t nextId = 1;
};

// The manager (the same as Load).
SIM_AirStrikeManager& GetAirStrikeManager();

// Air strikes carry unlockables: a lookup of the unlocks by name must be able to load
// them. Program wiring, called once at start-up.
void RegisterAirStrikeUnlocks();
