#pragma once
// The computer opponents. When the player defends, the attacker AI buys units with a
// budget that follows the defence and sends them into attack zones chosen against what
// the defence fields there; when the player attacks, the defender AI scores the
// defender squares by what passes them and builds there what counters the threats.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_Module;
class SIM_Scenario;
class SIM_UnitDesign;

// ------------------------------------------------------------------ attack zones

// The squares an attacker entering at one deployment square can reach along the
// routes, and the defender squares near them.
class AttackZone {
 public:
  // Most links followed from the seed (the seed is depth 1).
  static constexpr int kMaxDepth = 14;
  // Defender squares closer than 500 world units to a zone square are targets.
  static constexpr float kTargetRangeSq = 250000.0f;

  AttackZone(const SIM_Scenario& scenario, SIM_MapSquare* seed);
  void CollectSquares(SIM_MapSquare* square, int depth);
  void CollectTargets();
  void AddSquare(SIM_MapSquare* square);
  void AddTarget(SIM_MapSquare* square);

  std::vector<SIM_MapSquare*> targets;
  SIM_MapSquare* seed = nullptr;
  std::vector<SIM_MapSquare*> squares;
  int32_t counter = 0;

 private:
  const SIM_Scenario& scenario_;
};

// --------------------------------------------------------------------- the AI log

// "ailog.txt" in the user folder: emptied at each attacker reset, written by nothing.
class SIM_AILog {
 public:
  virtual ~SIM_AILog() = default;
  static SIM_AILog& Get();
  static std::string Path();
  // Removes the file; a missing file is not an error.
  void Clear();
};

// ------------------------------------------------------------ the AI design lists

// Ten lists of AI designs by role, built once per battle for the defender AI.
class AIDesignLists {
 public:
  enum List : int {
    BUILDING_VS_ARMOUR = 0,
    BUILDING_VS_INFANTRY = 1,
    BUILDING_VS_SHIELD = 2,
    INFANTRY_VS_ARMOUR = 3,
    INFANTRY_VS_SHIELD = 4,
    INFANTRY_VS_INFANTRY = 5,
    ARMED_BUILDINGS = 6,
    INFANTRY = 7,
    COMMAND_OR_REPAIR = 8,
    HOSPITALS = 9,
    kListCount = 10
  };
  enum Source : int32_t { SOURCE_SCENARIO = 0, SOURCE_DEFAULT = 1 };
  static constexpr const char* kDefaultFolder = "data/default_aiunits";

  virtual ~AIDesignLists() = default;
  // Loads the AI designs from the source and sorts them. False (logged) when there is
  // no AI design at all.
  bool Load(SIM_Scenario* scenario);
  // Sorts the given designs into the lists (Load's second half; tests call it).
  void Sort(const std::vector<SIM_UnitDesign*>& designs);
  void Clear();

  std::vector<SIM_UnitDesign*> lists[kListCount];
  int32_t source = SOURCE_DEFAULT;
};
AIDesignLists& GetAIDesignList();

// A weapon rating value of a design's or a unit's weapon ("effective_vs_shield",
// "effective_vs_armor", "hit_vs_infantry"); an empty or missing value reads 0.
float DesignWeaponRating(const SIM_UnitDesign* design, const char* key);
float UnitWeaponRating(const SIM_BattleUnit* unit, const char* key);

// ----------------------------------------------------------- defender placements

// One candidate square of the defender with its scores.
class SIM_AI_Placement {
 public:
  struct ThreatEntry {
    std::string designName;
    float victoryPoints = 0.0f;
    float halfCost = 0.0f;
    float closenessBonus = 0.0f;
    float total = 0.0f;
  };
  // Route start squares closer than 500 world units are the square's near squares.
  static constexpr float kNearRangeSq = 250000.0f;
  static constexpr float kExitRange = 800.0f;
  static constexpr float kBlockedCooldownMs = 1000.0f;

  explicit SIM_AI_Placement(SIM_MapSquare* square);
  virtual ~SIM_AI_Placement();
  SIM_AI_Placement(const SIM_AI_Placement&) = delete;
  SIM_AI_Placement& operator=(const SIM_AI_Placement&) = delete;

  static SIM_AI_Placement* Find(const SIM_MapSquare* square);
  void Update();
  void Evaluate();
  // Whether the square lies within the coverage of this placement (the near range).
  bool Covers(const SIM_MapSquare* other) const;
  // Of the first list when the own army has fewer other units than squads within 600
  // units of the square, else of the second; null when that list is empty.
  static SIM_UnitDesign* PickDesignFor(const std::vector<SIM_UnitDesign*>& first,
                                       const std::vector<SIM_UnitDesign*>& second,
                                       const SIM_AI_Placement& placement, const SIM_BattleArmy* army);

  std::vector<ThreatEntry> threats;
  std::vector<SIM_MapSquare*> nearSquares;
  std::vector<SIM_MapSquare*> watchedSquares;
  SIM_MapSquare* square = nullptr;
  float score = 0.0f;
  float threatTotal = 0.0f;
  float cooldown = 0.0f;
  float baseScore = 0.0f;
  float exitCloseness = 0.0f;

 private:
  void RebuildThreats();
};

// ------------------------------------------------------------------- the attacker

class SIM_ClassicAttackerAI {
 public:
  enum Category : int { ARMOURED = 0, SHIELDED = 1, INFANTRY = 2, GENERAL = 3, MEDICAL = 4, SUPPORT = 5 };
  static constexpr float kMinSupplies = 300.0f;
  static constexpr float kSquadSize = 25.0f;
  // Units of its own within 600 world units of a zone's seed count for the support rule.
  static constexpr float kSupportRangeSq = 360000.0f;
  static constexpr float kRampMs = 60000.0f;
  // Most steps the battle-start preparation may take.
  static constexpr int kMaxPrepareSteps = 1000;

  SIM_ClassicAttackerAI();
  virtual ~SIM_ClassicAttackerAI();
  SIM_ClassicAttackerAI(const SIM_ClassicAttackerAI&) = delete;
  SIM_ClassicAttackerAI& operator=(const SIM_ClassicAttackerAI&) = delete;

  // Battle start: the AI commands `army` (the opponent's army in the game).
  void Reset();
  void Reset(SIM_BattleArmy* commanded);
  // Battle-start preparation; returns the number of deployments.
  int PrepareBattleStart();
  // One 64 ms step; returns the number of deployments (0 or 1).
  int Step();
  // The budget rule, from the supply step.
  void SupplyStep();
  void UpdateBudget();
  // Whether a design can still be afforded (and the AI acts at all with what it has).
  bool CanStillDeploy() const;
  // The design pool from the given designs (non-buildings only), sorted by role.
  void SetPool(const std::vector<SIM_UnitDesign*>& designs);
  static float PriceOf(const SIM_UnitDesign* design);

  // The shared mood record, which the defender's deployments count too.
  enum Mood : int32_t { MOOD_STEADY = 0, MOOD_HOARD = 1 };
  static const char* const kMoodNames[2];
  // Draws the mood again; HOARD turns to STEADY once time is up with the victory-point
  // target nearly reached, so a hoarding attacker spends what it has left.
  void ChooseMood();
  // One more deployment: a hoarding side, or one that deployed more than 3 times since
  // the last choice, chooses again.
  void CountMoodDeployment();
  // When the supplies run out a hoarding attacker must choose again.
  void RechooseMoodIfHoarding() {
    if (mood == MOOD_HOARD) ChooseMood();
  }
  int32_t moodFirstValue = 0;
  int32_t mood = MOOD_STEADY;
  int32_t moodDeployments = 0;

  float supplies = 0.0f;
  std::vector<SIM_UnitDesign*> pool;
  std::vector<SIM_UnitDesign*> categories[6];
  SIM_UnitDesign* chosen = nullptr;
  float price = 0.0f;
  AttackZone* plan = nullptr;
  std::vector<std::unique_ptr<AttackZone>> zones;
  float defenceCounts[3] = {0.0f, 0.0f, 0.0f};  // vs shield, vs armour, vs infantry
  SIM_BattleArmy* army = nullptr;
  // Deployments made by the last step (the preparation reads it).
  int lastDeployed = 0;

 private:
  void LoadPool(SIM_Scenario* scenario, int32_t aiUnitSource);
  void BuildZones(SIM_Scenario* scenario);
  AttackZone* PickZone();
  SIM_UnitDesign* ChooseDesign(const AttackZone& zone);
  SIM_UnitDesign* PickAllowed(const std::vector<SIM_UnitDesign*>& list);
  bool SupportRule(const AttackZone& zone);
  SIM_UnitDesign* CheapestAffordable() const;
  void Deploy(SIM_UnitDesign* design, const AttackZone& zone);
  // The designs loaded for the pool (owned: the shared AI design list is reloaded by
  // other users while these are in the field).
  std::vector<std::unique_ptr<SIM_UnitDesign>> owned_;
};

// ------------------------------------------------------------------- the defender

class SIM_ClassicDefenderAI {
 public:
  static constexpr float kSquadSize = 25.0f;
  // The demolish-and-rebuild rule.
  static constexpr float kRebuildCooldownMs = 5000.0f;
  static constexpr float kRebuildPeriodMs = 2000.0f;
  static constexpr float kRebuildPeriodLateMs = 1000.0f;
  static constexpr float kRebuildAgeMs = 60000.0f;
  static constexpr float kRebuildAgeLateMs = 7000.0f;

  SIM_ClassicDefenderAI() = default;
  virtual ~SIM_ClassicDefenderAI();
  SIM_ClassicDefenderAI(const SIM_ClassicDefenderAI&) = delete;
  SIM_ClassicDefenderAI& operator=(const SIM_ClassicDefenderAI&) = delete;

  // Battle start: the AI commands the opponent's army. With `playerSupplies` set it
  // commands the player's army instead and spends the player's supplies (the match
  // runner seats it there).
  void Reset();
  void Reset(SIM_BattleArmy* commanded, bool playerSupplies);
  // One step; returns the number of units deployed.
  int Step();
  // The battle-start set-up: steps while the budget meets the threshold and a step
  // deploys; returns the number of steps taken.
  int PrepareBattleStart(int maxSteps);
  void SupplyStep() { UpdateBudget(); }
  void UpdateBudget();
  SIM_AI_Placement* BestPlacement();
  void AddBudget(float amount);
  void AddRefund(float amount);
  void ClearPlacements();
  void BuildPlacements();
  // The design for a placement against the player's units that reach it; null when
  // the chosen list has nothing to deploy.
  SIM_UnitDesign* PickFor(const SIM_AI_Placement& placement);
  bool UnitReaches(const SIM_BattleUnit* unit, const SIM_AI_Placement& placement) const;

  float budget = 0.0f;
  SIM_BattleArmy* army = nullptr;
  std::vector<std::unique_ptr<SIM_AI_Placement>> placements;
  float threshold = 0.0f;
  float bank = 0.0f;
  float rebuildCooldown = 0.0f;
  float rebuildTimer = 0.0f;
  bool spendsPlayerSupplies = false;

 private:
  void RebuildStep();
  int Deploy(SIM_UnitDesign* design, SIM_AI_Placement& placement);
};
// The name the rest of the battle has used for it.
using SIM_DefenderAI = SIM_ClassicDefenderAI;

// Shared by both AIs: above 1 when the attacker gains victory points faster than time
// passes (the player's side sees it from the other way).
float ProgressFactor();

SIM_ClassicAttackerAI& GetAttackerAI();
SIM_DefenderAI& GetDefenderAI();
