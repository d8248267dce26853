#include "battle/Battle.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleServices.h"
#include "battle/BattleSounds.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/BattleView.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/Projectiles.h"
#include "battle/Squadron.h"
#include "battle/SupplyLimits.h"
#include "battle/TargetedComponents.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "simdata/HighScores.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"
#include "simdata/UnitDesign.h"

namespace {
void Progress(float p) {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.setLoadingProgress) hooks.setLoadingProgress(p);
}

int RecordingMode() {
  BattleHooks& hooks = GetBattleHooks();
  return hooks.recordingMode ? hooks.recordingMode() : 0;
}

// The supply rules reach the battle, the AIs and the HUD through these; without them
// the supply clock and the income never move.
void WireGameplayHooks(GameplayHooks& gh) {
  gh.battleRunning = [] { return GetBattle().state == BATTLE_RUNNING; };
  gh.clearAirDrops = [] {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.clearAirDropCrates) hooks.clearAirDropCrates();
    GetAirDropManager().Clear();
  };
  gh.rechooseAttackerMoodIfHoarding = [] { GetAttackerAI().RechooseMoodIfHoarding(); };
  gh.postMessage = [](const std::string& key) {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.midBattleMessage) hooks.midBattleMessage(GetTranslation(key));
  };
  gh.playAirRaidSiren = PlayAirRaidSiren;
  gh.testOutcome = [] { GetOutcomeManager().TestIfUndecided(); };
  gh.opponentSupplyStep = [] {
    if (GetBattle().PlayerDefends())
      GetAttackerAI().SupplyStep();
    else
      GetDefenderAI().SupplyStep();
  };
  gh.suppliesChanged = [] {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.suppliesChanged) hooks.suppliesChanged();
  };
}

// Damage per second of a weapon as fitted: damage x 1000 / fire interval, with the
// unit's damage bonus. A missing interval means the weapon never fires.
float WeaponDamagePerSecond(const SIM_Module& weapon) {
  const float interval = weapon.DataFloat("fire_interval");
  if (!(interval > 0.0f)) return 0.0f;
  const float damage = weapon.DataFloat("damage") * (1.0f + weapon.UnitVariable(UVT_WPN_DMG_BONUS));
  return damage * 1000.0f / interval;
}

// Who stands on a square, for the route threats: a single unit, or a squad counted by
// its living soldiers and armed like its first one.
bool RouteThreatOccupantOf(const SIM_MapSquare& square, RouteThreatOccupant& out) {
  if (!square.occupant || !square.occupant->occupant) return false;
  SIM_BattleUnit* unit = square.occupant->occupant;
  if (unit->squadron) unit = unit->squadron;
  if (unit->removed) return false;
  SIM_BattleUnit* armed = unit;
  out.count = 1;
  if (!unit->IsSingleUnit()) {
    auto* squad = static_cast<SIM_BattleSquadron*>(unit);
    if (squad->members.empty()) return false;
    armed = squad->members.front();
    out.count = static_cast<int>(squad->livingMembers.size());
  }
  if (!armed->moduleManager) return false;
  const SIM_Module* weapon = armed->ratedWeapon;
  if (!weapon && !armed->moduleManager->weapons.empty()) weapon = armed->moduleManager->weapons.front();
  if (!weapon || !weapon->moduleType) return false;
  out.weapon = weapon->moduleType;
  out.damagePerSecond = WeaponDamagePerSecond(*weapon);
  return true;
}
}  // namespace

SIM_Battle* battle_detail::liveBattle = nullptr;

SIM_Battle& battle_detail::FirstUse() {
  SIM_Battle& battle = ProcessWide<SIM_Battle>();
  liveBattle = &battle;
  return battle;
}

bool BattleExists() { return ProcessWideIfAlive<SIM_Battle>() != nullptr; }

SIM_Battle::~SIM_Battle() {
  // Whatever asks during the teardown gets what the process-wide slot gives.
  if (battle_detail::liveBattle == this) battle_detail::liveBattle = nullptr;
  DeleteArmies();
}

void SIM_Battle::DeleteArmies() {
  // The opponent first: the player's army is kept longest for the post-mortem.
  SIM_BattleArmy* opponent = opponentArmy;
  SIM_BattleArmy* player = playerArmy;
  opponentArmy = nullptr;
  delete opponent;
  playerArmy = nullptr;
  delete player;
}

bool SIM_Battle::PlayerDefends() const { return playerDefends; }

SIM_BattleArmy* SIM_Battle::AttackerArmy() const { return playerDefends ? opponentArmy : playerArmy; }

SIM_BattleArmy* SIM_Battle::DefenderArmy() const { return playerDefends ? playerArmy : opponentArmy; }

void SIM_Battle::SetScenario(SIM_Scenario* s) {
  ZT_ASSERT(s != nullptr);
  scenario = s;
  GetBattleSounds().StopAllSounds();
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.beginBattleLoad) hooks.beginBattleLoad();
}

void SIM_Battle::Start() {
  BattleHooks& hooks = GetBattleHooks();
  Progress(0.0f);
  if (aiUnitSource == AI_UNITS_SCRIPTED) {
    if (hooks.recordingLoadDesigns) hooks.recordingLoadDesigns();
  } else if (aiUnitSource == AI_UNITS_SCENARIO || aiUnitSource == AI_UNITS_ALL) {
    if (scenario) scenario->LoadAIDesigns();
  }
  ZT_ASSERT(scenario != nullptr);
  // The old grid points into the squares the map reload is about to delete (the same
  // scenario fought again): let go of them first.
  GetCollisionGrid().Clear();
  if (scenario) scenario->LoadMap();
  if (hooks.readLighting) hooks.readLighting(scenario);
  state = BATTLE_DEPLOYMENT;
  outcome = OUTCOME_UNDECIDED;
  outcomeDecided = false;
  GetOutcomeManager().Reset(scenario);
  if (useFixedSeed)
    InitRandomWithSeed(fixedSeed);
  else
    InitRandom();
  GetCollisionGrid().Clear();
  GetCollisionGrid().Build(scenario);
  GetBattleUnitManager().Reset();
  GetSupplyLimits().Reset();
  GetDogTagManager().Clear();
  SIM_BattleView& view = GetBattleView();
  // The map is the scenario's squares, 200 world units each.
  mapWidth = scenario ? scenario->maxCols * 200.0f : 0.0f;
  mapHeight = scenario ? scenario->maxRows * 200.0f : 0.0f;
  view.InitMap(scenario);
  DeleteArmies();
  view.InitCorpses();
  opponentArmy = new SIM_BattleArmy();
  playerArmy = new SIM_BattleArmy();
  Progress(0.25f);
  playerArmy->enemy = opponentArmy;
  opponentArmy->enemy = playerArmy;
  playerArmy->side = playerDefends ? SIDE_DEFENDER : SIDE_ATTACKER;
  opponentArmy->side = playerDefends ? SIDE_ATTACKER : SIDE_DEFENDER;

  Gameplay& gameplay = GetGameplay();
  WireGameplayHooks(gameplay.hooks);
  SIM_RouteThreat::SetOccupantQuery(RouteThreatOccupantOf);
  gameplay.StartBattle(scenario, playerDefends);
  GetAirDropManager().Reset();
  GetAirStrikeManager().StartBattle();
  Progress(0.3f);
  if (playerDefends)
    GetAttackerAI().Reset();
  else
    GetDefenderAI().Reset();
  Progress(0.55f);
  PrepareAI();
  battleClock = 0.0f;
  totalTime = 0.0f;
  checkAccumulator = 0.0f;
  checkCount = 0;
  for (double& d : distanceDriven) d = 0.0;
  endElapsed = 0.0f;
  stepOnce = false;
  paused = false;
  speed = 1.0f;
  frameStep = baseStep;
  lastFrameTime = static_cast<double>(ClockMilliseconds());
  GetStepRateMeter().Reset();
  Progress(0.85f);
  GetGameplay().ArmMessages();
  view.Init();
  if (hooks.finishLoading) hooks.finishLoading();
}

void SIM_Battle::PrepareAI() {
  preparePasses = 0;
  if (playerDefends) {
    if (RecordingMode() != 2) GetAttackerAI().PrepareBattleStart();
    return;
  }
  // The defender spends its budget pass by pass; a pass that places nothing would
  // be repeated for ever, so it ends the set-up.
  preparePasses = GetDefenderAI().PrepareBattleStart(kMaxPreparePasses);
}

void SIM_Battle::Begin() {
  state = BATTLE_RUNNING;
  if (playerDefends) return;
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.recordingClear) hooks.recordingClear();
  if (hooks.recordingSetMode) hooks.recordingSetMode(0);
  if (hooks.recordingRecordArmy) hooks.recordingRecordArmy(playerArmy);
}

void SIM_Battle::SetPaused(bool p) {
  if (state != BATTLE_RUNNING) return;
  paused = p;
  GetBattleSounds().SetAllSoundsPaused(p);
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.refreshSpeedLabel) hooks.refreshSpeedLabel();
}

void SIM_Battle::RequestStepOnce() {
  stepOnce = true;
  if (paused) SetPaused(false);
}

void SIM_Battle::SetSpeed(float s) {
  if (!std::isfinite(s)) s = 1.0f;
  speed = std::clamp(s, kMinSpeed, kMaxSpeed);
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.refreshSpeedLabel) hooks.refreshSpeedLabel();
}

void SIM_Battle::Update() {
  ZT_ASSERT(!(stepOnce && paused));
  frameStep = paused ? 0.0f : speed * baseStep;
  GetStepRateMeter().Tick();
  if (!paused) GetBattleUnitManager().UpdateFrame();
  checkAccumulator += frameStep;
  totalTime += frameStep;
  // At most one check per frame; the remainder is dropped, not carried.
  if (checkAccumulator >= checkPeriod) {
    Check();
    checkAccumulator = 0.0f;
  }
  if (state == BATTLE_RUNNING) battleClock += frameStep;
  GetAirStrikeManager().Update(frameStep);
  GetSupplyLimits().Update();
  GetDogTagManager().Update();
  // Beams, bullets and missiles advance here, drawn or not.
  AdvanceWeaponsFrame(frameStep);
  GetBattleView().AdvanceProjectiles();
  GetAirDropManager().Update();
  // A beam still sounding from a unit that is gone means a beam that never ended.
  CheckRunningBeamSounds();

  if (outcomeDecided) {
    endTimer.Update();
    endElapsed = static_cast<float>(static_cast<double>(ClockMilliseconds()) - endStartMs);
    if (endElapsed > kEndDelayMs) {
      SetPaused(true);
      state = BATTLE_OVER;
      // Looped weapon sounds (flames, beams) end with the battle.
      for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits)
        if (u->moduleManager) u->moduleManager->StopAllEffects();
      BattleHooks& hooks = GetBattleHooks();
      if (scenario && scenario->origin == SIM_Scenario::ORIGIN_CAMPAIGN)
        SIM_AchievementList::Get().CheckStats();
      // The battle went on after the decision and income kept coming: the post-mortem
      // shows the defence as it stands now, the figures the top strip ends on, and the
      // record keeps the better of the two tallies.
      if (playerDefends) {
        TallyDefence();
        if (outcome == OUTCOME_VICTORY && scenario)
          SIM_HighScores::Get().SetScore(scenario->name, GetGameplay().Difficulty, false,
                                         GetGameplay().finalDefenderScore);
      }
      if (hooks.openPostMortem) hooks.openPostMortem();
      SIM_GlobalStats::Get().RemoveTempStats();
      // The battle's counters are kept now, not only at shutdown: a crash or a killed
      // game must not lose them. A failed save is logged and the old file stays.
      SIM_GlobalStats::Get().Save();
      outcomeDecided = false;
      GetBattleSounds().PlayMusic(outcome == OUTCOME_VICTORY ? "ztk_victory.ogg" : "ztk_defeat.ogg", false,
                                  false);
    }
  }

  lastFrameTime = static_cast<double>(ClockMilliseconds());
  if (stepOnce) {
    stepOnce = false;
    SetPaused(true);
  }
}

void SIM_Battle::Check() {
  ++checkCount;
  GetBattleUnitManager().UpdateCheck();
  Gameplay& gameplay = GetGameplay();
  gameplay.CheckSupplyTime();
  gameplay.UpdateIncome();
  if (RecordingMode() == 2) {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.recordingReplayDue) hooks.recordingReplayDue();
  } else if (playerDefends) {
    GetAttackerAI().Step();
  } else {
    GetDefenderAI().Step();
  }
  if (state == BATTLE_RUNNING) {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.hintStep) hooks.hintStep();
  }
}

void SIM_Battle::SetDefeat() {
  outcome = OUTCOME_DEFEAT;
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.AddStat("battles_lost", 1);
  stats.SetStat("consecutive_victories", 0);
  RecordBattleFought();
}

void SIM_Battle::SetVictory() {
  outcome = OUTCOME_VICTORY;
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.AddStat("battles_won", 1);
  stats.AddStat("consecutive_victories", 1);
  if (stats.GetStat("temp_deployed_size_infantry") == 0) stats.AddStat("victory_noinfantry", 1);
  if (scenario) {
    SIM_HighScores& records = SIM_HighScores::Get();
    // A challenge is known by its server id (the browser's beaten mark looks it up so);
    // many challenges share one map name.
    if (scenario->origin == SIM_Scenario::ORIGIN_ADDED)
      records.AddBeatenChallenge(scenario->id.empty() ? scenario->name : scenario->id);
    records.Unlock(*scenario);
  }
  RecordBattleFought();
}

void SIM_Battle::TallyDefence() {
  // What still stands: the army list keeps its fallen units, which are worth nothing.
  float onField = 0.0f;
  if (playerArmy)
    for (SIM_BattleUnit* u : playerArmy->allUnits)
      if (u->design && u->state != US_IN_DROPPER && u->state < US_INACTIVE) onField += u->design->cost;
  GetGameplay().TallyArmyValue(onField);
}

void SIM_Battle::RecordBattleFought() {
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  if (playerDefends) {
    TallyDefence();
    stats.AddStat("battles_fought_defender", 1);
  } else {
    stats.AddStat("battles_fought_attacker", 1);
  }
  if (scenario && scenario->origin == SIM_Scenario::ORIGIN_ADDED) stats.AddStat("online_games_fought", 1);
  stats.AddStat("battles_fought", 1);
  outcomeDecided = true;
  endTimer.Start();
  endStartMs = static_cast<double>(ClockMilliseconds());
  endElapsed = 0.0f;
  ReportArmies();
}

void SIM_Battle::ReportArmies() {
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.metricsRecordBattle) hooks.metricsRecordBattle();
  if (opponentArmy) opponentArmy->ReportUnits();
  if (playerArmy) playerArmy->ReportUnits();
}

void SIM_Battle::CheckCampaignBeaten() {
  static const char* const kStats[3] = {"campaign_beaten_low", "campaign_beaten_medium",
                                        "campaign_beaten_high"};
  const SIM_HighScores& records = SIM_HighScores::Get();
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  // No campaign at all is no campaign beaten.
  if (scenarios.Campaign().empty()) return;
  for (int difficulty = 0; difficulty < 3; ++difficulty) {
    bool beaten = true;
    for (const SIM_Scenario* s : scenarios.Campaign()) {
      if (s->origin != SIM_Scenario::ORIGIN_CAMPAIGN) continue;
      if (records.GetScore(s->name, difficulty, true) == 0.0f &&
          records.GetScore(s->name, difficulty, false) == 0.0f)
        beaten = false;
    }
    if (beaten) SIM_GlobalStats::Get().SetStat(kStats[difficulty], 1);
  }
}
