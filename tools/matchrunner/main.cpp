// Plays the computer attacker against the computer defender, headless, with the game's
// own battle code: the defender AI takes the defending player's seat (and spends the
// player's supplies), the attacker AI is the opponent as in a defence battle.
//
//   zt_matchrunner [--scenario NAME|all] [--seeds N] [--first-seed S] [--speed X]
//                  [--difficulty 0|1|2] [--jobs N] [--data DIR] [--quiet]
//
// Each match prints its outcome, the battle time it took and each side's losses; a
// summary gives the attacker's win rate per scenario with its 95 % (Wilson) interval and
// the matches per wall second.
//
// The battle lives in process-wide objects (and the C runtime's rand()), so `--jobs N`
// plays the matches in N forked worker processes, not threads. Every match resets those
// objects and seeds itself, so a match plays the same whichever process runs it; the
// parent prints the results in the serial order.
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "MatchStats.h"
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
  int jobs = 1;
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
    } else if (a == "--jobs") {
      if (!(v = value("--jobs"))) return false;
      o->jobs = std::min(64, std::max(1, atoi(v)));
    } else if (a == "--data") {
      if (!(v = value("--data"))) return false;
      o->data = v;
    } else {
      std::fprintf(stderr,
                   "usage: zt_matchrunner [--scenario NAME|all] [--seeds N] [--first-seed S] "
                   "[--speed X] [--difficulty 0|1|2] [--jobs N] [--data DIR] [--quiet]\n");
      return false;
    }
  }
  return true;
}

struct Match {
  std::string scenario;
  uint32_t seed = 0;
};

static_assert(std::is_trivially_copyable<MatchResult>::value, "results cross a pipe as bytes");

// What a worker sends back for each match: its index in the serial order and its result.
struct WorkerRecord {
  int32_t index = 0;
  MatchResult result;
};

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Plays every match in this process, handing each result to `report` in order.
template <typename Report>
void PlaySerial(const std::vector<Match>& matches, const Options& options, Report report) {
  for (size_t i = 0; i < matches.size(); ++i)
    report(i, PlayMatch(matches[i].scenario, matches[i].seed, options));
}

// Plays the matches in `options.jobs` forked workers; worker k takes matches k, k+jobs, ...
// Results are handed to `report` in the serial order as soon as each one's turn comes.
// False when a worker failed to deliver its matches.
template <typename Report>
bool PlayForked(const std::vector<Match>& matches, const Options& options, const std::string& userDir,
                Report report) {
  const int jobs = std::min<int>(options.jobs, static_cast<int>(matches.size()));
  std::fflush(stdout);
  std::fflush(stderr);
  std::vector<pid_t> pids;
  std::vector<int> fds;
  for (int k = 0; k < jobs; ++k) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
      std::perror("pipe");
      break;
    }
    const pid_t pid = fork();
    if (pid < 0) {
      std::perror("fork");
      close(pipeFds[0]);
      close(pipeFds[1]);
      break;
    }
    if (pid == 0) {
      close(pipeFds[0]);
      for (int fd : fds) close(fd);
      // Each worker keeps its statistics and high-score files apart from the others'.
      const std::string dir = userDir + "/worker" + std::to_string(k);
      mkdir(dir.c_str(), 0700);
      setenv("ZENTRAK_USER_DIR", dir.c_str(), 1);
      bool ok = true;
      for (size_t i = static_cast<size_t>(k); ok && i < matches.size(); i += static_cast<size_t>(jobs)) {
        WorkerRecord rec;
        rec.index = static_cast<int32_t>(i);
        rec.result = PlayMatch(matches[i].scenario, matches[i].seed, options);
        ok = WriteAll(pipeFds[1], &rec, sizeof rec);
      }
      close(pipeFds[1]);
      ResetAllSingletons();
      _exit(ok ? 0 : 1);
    }
    close(pipeFds[1]);
    pids.push_back(pid);
    fds.push_back(pipeFds[0]);
  }

  std::vector<MatchResult> results(matches.size());
  std::vector<char> have(matches.size(), 0);
  std::vector<std::string> buffers(fds.size());
  size_t next = 0;
  size_t open = fds.size();
  while (open > 0) {
    std::vector<pollfd> polls;
    for (int fd : fds)
      if (fd >= 0) polls.push_back(pollfd{fd, POLLIN, 0});
    if (poll(polls.data(), polls.size(), -1) < 0) {
      if (errno == EINTR) continue;
      std::perror("poll");
      break;
    }
    for (const pollfd& p : polls) {
      if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const size_t w = static_cast<size_t>(std::find(fds.begin(), fds.end(), p.fd) - fds.begin());
      char chunk[4096];
      const ssize_t n = read(p.fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        close(p.fd);
        fds[w] = -1;
        --open;
        continue;
      }
      buffers[w].append(chunk, static_cast<size_t>(n));
      while (buffers[w].size() >= sizeof(WorkerRecord)) {
        WorkerRecord rec;
        std::memcpy(&rec, buffers[w].data(), sizeof rec);
        buffers[w].erase(0, sizeof rec);
        if (rec.index >= 0 && static_cast<size_t>(rec.index) < matches.size()) {
          results[static_cast<size_t>(rec.index)] = rec.result;
          have[static_cast<size_t>(rec.index)] = 1;
        }
      }
      while (next < matches.size() && have[next]) {
        report(next, results[next]);
        ++next;
      }
    }
  }
  for (int fd : fds)
    if (fd >= 0) close(fd);
  bool workersOk = static_cast<int>(pids.size()) == jobs;
  for (pid_t pid : pids) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) workersOk = false;
  }
  if (next < matches.size()) {
    std::fprintf(stderr, "a worker process failed: %zu of %zu matches have no result\n",
                 matches.size() - next, matches.size());
    return false;
  }
  return workersOk;
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

  std::vector<Match> matchList;
  for (const std::string& name : names)
    for (int k = 0; k < options.seeds; ++k)
      matchList.push_back({name, options.firstSeed + static_cast<uint32_t>(k)});

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
  auto report = [&](size_t i, const MatchResult& r) {
    const std::string& name = matchList[i].scenario;
    Tally& t = tallies[name];
    ++t.matches;
    ++matches;
    t.attackerWins += r.attackerWon ? 1 : 0;
    t.undecided += r.decided ? 0 : 1;
    t.battleSeconds += r.battleMs / 1000.0;
    if (!options.quiet)
      std::printf("%-16s %6u  %-8s %8.1f  %3.0f/%-3.0f %4d/%-4d %6.0f  %4d/%-4d %6.0f\n", name.c_str(),
                  matchList[i].seed,
                  !r.decided      ? "none"
                  : r.attackerWon ? "attacker"
                                  : "defender",
                  r.battleMs / 1000.0f, r.victoryPoints, r.target, r.attacker.units, r.attacker.deployed,
                  r.attacker.value, r.defender.units, r.defender.deployed, r.defender.value);
    std::fflush(stdout);
  };
  bool ok = true;
  if (options.jobs <= 1)
    PlaySerial(matchList, options, report);
  else
    ok = PlayForked(matchList, options, dir, report);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  std::printf("\ndifficulty %d, seeds %u to %u\n", options.difficulty, options.firstSeed,
              options.firstSeed + static_cast<uint32_t>(options.seeds) - 1u);
  std::printf(
      "\n| scenario | matches | attacker wins | win rate | 95 %% interval | undecided | mean battle time (s) "
      "|\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const std::string& name : names) {
    const Tally& t = tallies[name];
    std::printf(
        "| %s | %d | %d | %.1f %% | %s | %d | %.1f |\n", name.c_str(), t.matches, t.attackerWins,
        100.0 * t.attackerWins / std::max(1, t.matches),
        matchstats::FormatPercentInterval(matchstats::WilsonInterval(t.attackerWins, t.matches)).c_str(),
        t.undecided, t.battleSeconds / std::max(1, t.matches));
  }
  std::printf("\n%d matches in %.1f s of wall time: %.2f matches per wall second (speed %.1f, %d jobs)\n",
              matches, wall, wall > 0.0 ? matches / wall : 0.0, options.speed, options.jobs);
  std::fflush(stdout);
  // The battle objects go in the order they depend on each other, not in the order
  // the C++ runtime would pick at exit.
  ResetAllSingletons();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);  // the throw-away user folder, workers' too
  return ok ? 0 : 1;
}
