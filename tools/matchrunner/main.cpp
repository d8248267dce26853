// Plays the computer attacker against the computer defender, headless, with the game's
// own battle code: the defender AI takes the defending player's seat (and spends the
// player's supplies), the attacker AI is the opponent as in a defence battle.
//
//   zt_matchrunner [--scenario NAME|all] [--seeds N] [--first-seed S] [--speed X]
//                  [--difficulty 0|1|2] [--data DIR] [--quiet]
//
// Each match prints its outcome, the battle time it took and each side's losses; a
// summary gives the attacker's win rate per scenario and the matches per wall second.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "engine/Singletons.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"

namespace {

struct Options {
  std::string scenario = "all";
  int seeds = 20;
  uint32_t firstSeed = 1;
  float speed = 4.0f;
  int difficulty = 1;
  std::string data = ZENTRAK_BUILD_DIR;
  bool quiet = false;
};

struct SideLosses {
  int units = 0;       // destroyed (soldiers count one each)
  float value = 0.0f;  // their cost
  int deployed = 0;
};

struct MatchResult {
  bool decided = false;
  bool attackerWon = false;
  float battleMs = 0.0f;
  float victoryPoints = 0.0f;
  float target = 0.0f;
  SideLosses attacker;
  SideLosses defender;
};

SideLosses LossesOf(const SIM_BattleArmy* army) {
  SideLosses l;
  if (!army) return l;
  for (const SIM_BattleUnit* u : army->allUnits) {
    ++l.deployed;
    if (u->state == US_DESTROYED && u->removed) {
      ++l.units;
      if (u->design) l.value += u->design->cost;
    }
  }
  return l;
}

// Never more battle time than this many time limits: a match that does not end is
// reported undecided rather than run for ever.
constexpr float kMaxTimeLimits = 4.0f;

MatchResult PlayMatch(const std::string& scenarioName, uint32_t seed, const Options& options) {
  MatchResult r;
  ResetAllSingletons();
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* scenario = scenarios.Find(scenarioName);
  if (!scenario) return r;
  SIM_UnitDesignManager::Get().Load();
  GetGameplay().Difficulty = options.difficulty;

  SIM_Battle& battle = GetBattle();
  battle.playerDefends = true;
  battle.aiUnitSource = AI_UNITS_ALL;
  battle.useFixedSeed = true;
  battle.fixedSeed = seed;
  battle.SetScenario(scenario);
  battle.Start();  // the attacker AI prepares here

  // The defender in the player's seat sets up during the deployment phase.
  SIM_ClassicDefenderAI& defender = GetDefenderAI();
  defender.Reset(battle.playerArmy, true);
  defender.PrepareBattleStart(SIM_Battle::kMaxPreparePasses);
  for (int i = 0; i < 40; ++i) battle.Update();  // everything lands
  battle.Begin();
  battle.SetSpeed(options.speed);

  const float limit = scenario->classic.timeLimit > 0.0f ? scenario->classic.timeLimit : 300000.0f;
  while (battle.outcome == OUTCOME_UNDECIDED && battle.battleClock < limit * kMaxTimeLimits) {
    const int64_t checks = battle.checkCount;
    battle.Update();
    if (battle.checkCount != checks && battle.outcome == OUTCOME_UNDECIDED) {
      defender.UpdateBudget();
      defender.Step();
    }
  }
  r.decided = battle.outcome != OUTCOME_UNDECIDED;
  // The player defends: the player's defeat is the attacker's win.
  r.attackerWon = battle.outcome == OUTCOME_DEFEAT;
  r.battleMs = battle.battleClock;
  r.victoryPoints = GetOutcomeManager().total;
  r.target = GetOutcomeManager().target;
  r.attacker = LossesOf(battle.AttackerArmy());
  r.defender = LossesOf(battle.DefenderArmy());
  return r;
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    const char* v = nullptr;
    if (a == "--quiet") {
      o->quiet = true;
    } else if (a == "--scenario") {
      if (!(v = value("--scenario"))) return false;
      o->scenario = v;
    } else if (a == "--seeds") {
      if (!(v = value("--seeds"))) return false;
      o->seeds = std::max(1, atoi(v));
    } else if (a == "--first-seed") {
      if (!(v = value("--first-seed"))) return false;
      o->firstSeed = static_cast<uint32_t>(strtoul(v, nullptr, 10));
    } else if (a == "--speed") {
      if (!(v = value("--speed"))) return false;
      o->speed = static_cast<float>(atof(v));
    } else if (a == "--difficulty") {
      if (!(v = value("--difficulty"))) return false;
      o->difficulty = std::min(2, std::max(0, atoi(v)));
    } else if (a == "--data") {
      if (!(v = value("--data"))) return false;
      o->data = v;
    } else {
      std::fprintf(stderr,
                   "usage: zt_matchrunner [--scenario NAME|all] [--seeds N] [--first-seed S] "
                   "[--speed X] [--difficulty 0|1|2] [--data DIR] [--quiet]\n");
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, &options)) return 2;
  // A throw-away user folder: the matches write statistics and high scores.
  static char dir[] = "/tmp/zentrak-matches-XXXXXX";
  if (!mkdtemp(dir)) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("ZENTRAK_USER_DIR", dir, 1);
  if (chdir(options.data.c_str()) != 0) {
    std::fprintf(stderr, "cannot enter the data folder's parent %s\n", options.data.c_str());
    return 1;
  }
  ConnectGameplayToDesigns();

  std::vector<std::string> names;
  {
    SIM_ScenarioManager::Get().Load();
    for (const SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
      if (options.scenario == "all" || options.scenario == s->name) names.push_back(s->name);
  }
  if (names.empty()) {
    std::fprintf(stderr, "no scenario named %s\n", options.scenario.c_str());
    return 1;
  }

  struct Tally {
    int matches = 0, attackerWins = 0, undecided = 0;
    double battleSeconds = 0.0;
  };
  std::map<std::string, Tally> tallies;
  int matches = 0;
  const auto wallStart = std::chrono::steady_clock::now();
  if (!options.quiet)
    std::printf("%-16s %6s  %-8s %8s  %6s  %-17s %-17s\n", "scenario", "seed", "winner", "time(s)", "VP",
                "attacker lost", "defender lost");
  for (const std::string& name : names) {
    for (int k = 0; k < options.seeds; ++k) {
      const uint32_t seed = options.firstSeed + static_cast<uint32_t>(k);
      const MatchResult r = PlayMatch(name, seed, options);
      Tally& t = tallies[name];
      ++t.matches;
      ++matches;
      t.attackerWins += r.attackerWon ? 1 : 0;
      t.undecided += r.decided ? 0 : 1;
      t.battleSeconds += r.battleMs / 1000.0;
      if (!options.quiet)
        std::printf("%-16s %6u  %-8s %8.1f  %3.0f/%-3.0f %4d/%-4d %6.0f  %4d/%-4d %6.0f\n", name.c_str(),
                    seed,
                    !r.decided      ? "none"
                    : r.attackerWon ? "attacker"
                                    : "defender",
                    r.battleMs / 1000.0f, r.victoryPoints, r.target, r.attacker.units, r.attacker.deployed,
                    r.attacker.value, r.defender.units, r.defender.deployed, r.defender.value);
      std::fflush(stdout);
    }
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  std::printf("\n| scenario | matches | attacker wins | win rate | undecided | mean battle time (s) |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const std::string& name : names) {
    const Tally& t = tallies[name];
    std::printf("| %s | %d | %d | %.0f %% | %d | %.1f |\n", name.c_str(), t.matches, t.attackerWins,
                100.0 * t.attackerWins / std::max(1, t.matches), t.undecided,
                t.battleSeconds / std::max(1, t.matches));
  }
  std::printf("\n%d matches in %.1f s of wall time: %.2f matches per wall second (speed %.1f)\n", matches,
              wall, wall > 0.0 ? matches / wall : 0.0, options.speed);
  std::fflush(stdout);
  // The battle objects go in the order they depend on each other, not in the order
  // the C++ runtime would pick at exit.
  ResetAllSingletons();
  return 0;
}
