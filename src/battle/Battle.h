#pragma once
// The single battle object: the scenario being fought, the two armies, the fixed-step
// battle clock, game speed, pause, state and outcome. The battle screen calls Update
// once per drawn frame; each call advances the battle by 16 ms times the speed, and
// every 64 ms of battle time the slower check step runs.
#include <cstdint>

#include "engine/Timer.h"

class SIM_BattleArmy;
class SIM_Scenario;

enum BattleState : int32_t { BATTLE_DEPLOYMENT = 0, BATTLE_RUNNING = 1, BATTLE_OVER = 2 };
enum BattleOutcome : int32_t { OUTCOME_UNDECIDED = 0, OUTCOME_VICTORY = 1, OUTCOME_DEFEAT = 2 };
enum AIUnitSource : int32_t {
  AI_UNITS_SCRIPTED = 0,  // replay of a recording
  AI_UNITS_SCENARIO = 1,
  AI_UNITS_ALL = 2,
  AI_UNITS_NONE = 3
};

class SIM_Battle {
 public:
  static constexpr float kMinSpeed = 0.2f;
  static constexpr float kMaxSpeed = 4.0f;
  // Real time between the decided outcome and the post-mortem.
  static constexpr float kEndDelayMs = 2000.0f;
  // Most passes the defender AI's set-up may take before the battle starts.
  static constexpr int kMaxPreparePasses = 1000;

  SIM_Battle() = default;
  virtual ~SIM_Battle();
  SIM_Battle(const SIM_Battle&) = delete;
  SIM_Battle& operator=(const SIM_Battle&) = delete;

  // Stores the scenario and begins the battle load on the loading screen.
  void SetScenario(SIM_Scenario* scenario);
  // The loader: resets every battle service and builds both armies.
  void Start();
  // Ends the deployment phase: the fighting starts.
  void Begin();
  void SetPaused(bool paused);
  void SetSpeed(float speed);
  // Once per drawn frame.
  void Update();
  // Every 64 ms of battle time.
  void Check();
  // The opponent's set-up before the battle starts.
  void PrepareAI();
  // Run exactly one frame on the next update, then pause again. A paused battle is
  // unpaused for that frame: a request left set while paused would never run.
  void RequestStepOnce();

  void SetVictory();
  void SetDefeat();
  void RecordBattleFought();
  // The defending player's scores from the army and supplies as they stand now.
  void TallyDefence();
  // The metrics, then the opponent's units and the player's.
  void ReportArmies();
  // Sets "campaign_beaten_low/medium/high" for each difficulty at which every campaign
  // scenario has a high score on either side.
  void CheckCampaignBeaten();

  bool PlayerDefends() const;
  // The army of the attacking side (the opponent's when the player defends).
  SIM_BattleArmy* AttackerArmy() const;
  SIM_BattleArmy* DefenderArmy() const;

  SIM_Scenario* scenario = nullptr;
  // The battlefield in world units (set at Start from the scenario).
  float mapWidth = 0.0f;
  float mapHeight = 0.0f;
  SIM_BattleArmy* playerArmy = nullptr;    // owned
  SIM_BattleArmy* opponentArmy = nullptr;  // owned
  float frameStep = 16.0f;
  float baseStep = 16.0f;
  float checkPeriod = 64.0f;
  float speed = 1.0f;
  float checkAccumulator = 0.0f;
  float totalTime = 0.0f;
  float battleClock = 0.0f;
  double lastFrameTime = 0.0;  // wall-clock ms at the end of the last update
  bool paused = false;
  bool stepOnce = false;
  int32_t state = BATTLE_DEPLOYMENT;
  int32_t outcome = OUTCOME_UNDECIDED;
  int32_t aiUnitSource = AI_UNITS_NONE;
  bool outcomeDecided = false;
  Timer endTimer;
  // Real milliseconds since the outcome was decided.
  float endElapsed = 0.0f;
  double endStartMs = 0.0;
  // Which side the player takes; set by the battle browser before the battle.
  bool playerDefends = false;
  // Checks run since the start (tests and the benchmark read it).
  int64_t checkCount = 0;
  // World units driven since the start by the units of each side (by ArmySide), counted
  // as they drive (tests and the benchmark read it).
  double distanceDriven[3] = {0.0, 0.0, 0.0};
  // A battle started with a fixed seed replays identically (tests and the match
  // runner); otherwise each start draws its seed from the clock.
  bool useFixedSeed = false;
  uint32_t fixedSeed = 0;
  // Opponent set-up passes run by the last start.
  int preparePasses = 0;

 private:
  void DeleteArmies();
};

namespace battle_detail {
// The live battle, kept from its first use until its destructor: the accessor runs
// several times per unit and frame, and the process-wide slot is a call away.
extern SIM_Battle* liveBattle;
SIM_Battle& FirstUse();
}  // namespace battle_detail
inline SIM_Battle& GetBattle() {
  SIM_Battle* battle = battle_detail::liveBattle;
  return battle ? *battle : battle_detail::FirstUse();
}
// True once the battle object exists.
bool BattleExists();
