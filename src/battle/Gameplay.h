#pragma once
// Tuning constants from "data/gameplay.ini" and the player's supply state in a battle:
// supplies to spend, the supply clock that measures the scenario's time limit, income
// and the cap.
#include <cstdint>
#include <functional>
#include <string>

struct ClassicModeValues;
class SIM_Scenario;

// What the supply rules call in the rest of the game. The battle fills these in when it
// starts; an unset hook is skipped, so the supply rules also run on their own in tests.
struct GameplayHooks {
  std::function<bool()> battleRunning;  // battle state is 1 (running)
  std::function<void()> clearAirDrops;  // pending air drops removed
  std::function<void()> rechooseAttackerMoodIfHoarding;
  std::function<void(const std::string&)> postMessage;  // a strings-table key to show
  std::function<void()> playAirRaidSiren;               // default: PlayAirRaidSiren
  std::function<void()> testOutcome;
  std::function<void()> opponentSupplyStep;  // the opponent AI's budget step
  std::function<void()> suppliesChanged;     // supplies panel and dropper refresh
};

class Gameplay {
 public:
  // The check interval of the battle, and the length of one income period (ms).
  static constexpr float kCheckInterval = 64.0f;
  static constexpr float kIncomePeriod = 100.0f;

  Gameplay();
  virtual ~Gameplay() = default;

  // Reads the `gameplay` section of the given file (missing keys read 0).
  void LoadConstants(const std::string& file);

  // Battle start: clears the exhausted flag, clock, accumulator and tallies, arms the
  // one-shot messages and sets the supplies to the starting supplies of the player's side.
  void StartBattle(const SIM_Scenario* scenario, bool playerDefends);
  // Re-arms the one-shot messages (the battle screen does this when it initialises).
  void ArmMessages();

  void CheckSupplyTime();
  void UpdateIncome();
  void SpendSupplies(float amount);
  // value on field = the summed cost of the player's army; army value adds the lost
  // value and the supplies. The defender's four scores take the same figures.
  void TallyArmyValue(float playerArmyCost);
  void ClearDefenderScores();

  // The scenario's classic values in use (zeros without a scenario).
  const ClassicModeValues& Classic() const;
  bool PlayerDefends() const { return playerDefends; }
  bool IsRunning() const;

  float incomeAccumulator = 0.0f;  // ms not yet turned into income
  float supplyClock = 0.0f;        // ms since the start, in check steps
  float DECONSTRUCT_SPEED_MULTIPLIER = 0.0f;
  float DECONSTRUCT_RECOVERY_RATE = 0.0f;
  float CONSTRUCTION_SPEED_SMALL = 0.0f;
  float CONSTRUCTION_SPEED_MEDIUM = 0.0f;
  float CONSTRUCTION_SPEED_LARGE = 0.0f;
  float AI_HOARDSIZE = 0.0f;
  float AI_MODE_DURATION = 0.0f;
  float DEFENDER_DAMAGE_MULT = 0.0f;
  float DEFENDER_DEFENSE_BONUS = 0.0f;
  float SUPPORT_DAMAGE_REDUCTION = 0.0f;
  float SUPPORT_COMMAND_ROFBONUS = 0.0f;
  float AI_CHEAT_DAMAGE_REDUCTION = 0.0f;
  float DOGTAG_LIFETIME = 0.0f;
  float DOGTAG_VALUE = 0.0f;
  int32_t suppliesExhausted = 0;
  int32_t Difficulty = 1;  // 0 easy, 1 medium, 2 hard
  float supplies = 0.0f;
  float valueLost = 0.0f;
  float valueOnField = 0.0f;
  float armyValue = 0.0f;
  // The defender's scores as tallied at the end of the battle: the post-mortem shows them
  // and the final one is the defence's high score, so both name one figure.
  float suppliesLeft = 0.0f;
  float unitKillScore = 0.0f;
  float intactWorth = 0.0f;
  float finalDefenderScore = 0.0f;

  bool supplyCapMessageArmed = false;
  bool exhaustedMessageArmed = false;
  GameplayHooks hooks;

 private:
  const SIM_Scenario* scenario = nullptr;
  bool playerDefends = false;
};

// The process-wide record, reading "data/gameplay.ini" on first use.
Gameplay& GetGameplay();
// Lets design totals (simdata) read DEFENDER_DEFENSE_BONUS from the gameplay constants.
// Program wiring, run at start-up; idempotent.
void ConnectGameplayToDesigns();

// Plays "data/sounds/ztk_airraid_sirens.ogg" once through the sound manager.
void PlayAirRaidSiren();

// Measures how fast battle updates run; 1.0 means one update per 16 ms.
class StepRateMeter {
 public:
  void Tick();
  void Tick(uint64_t nowMs);  // with an explicit clock, for tests
  void Reset();               // at battle start
  float rate = 1.0f;

 private:
  uint64_t last = 0;
  int32_t count = 0;
  bool started = false;
};
StepRateMeter& GetStepRateMeter();
