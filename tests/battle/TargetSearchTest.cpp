// Target searches read the enemy's squares within reach instead of the whole army; they
// must choose exactly what a walk over the whole army chooses, ties and all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleOutcome.h"
#include "battle/TargetSelector.h"
#include "battle/TargetedComponents.h"
#include "engine/Singletons.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"

using namespace battle_test;

namespace {

using Candidates = SIM_TargetSelector::Candidates;

// Restores the game's search after a test that changed it.
struct ScopedCandidates {
  explicit ScopedCandidates(Candidates c) {
    SIM_TargetSelector::candidates = c;
    SIM_TargetSelector::comparedSearches = 0;
    SIM_TargetSelector::differingSearches = 0;
  }
  ~ScopedCandidates() { SIM_TargetSelector::candidates = Candidates::kSquares; }
};

std::vector<SIM_TargetSelector*> SelectorsOf(SIM_BattleArmy* army) {
  std::vector<SIM_TargetSelector*> out;
  for (SIM_BattleUnit* u : army->allUnits)
    if (u->moduleManager)
      for (auto& m : u->moduleManager->allModules)
        if (auto* w = dynamic_cast<SIM_TargetedComponent*>(m.get()))
          if (w->selector) out.push_back(w->selector.get());
  return out;
}

// ------------------------------------------------------------------ hand-placed units

class SearchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    battle = &StartBareBattle();
    battle->Begin();
    gun = cat.Module("gun", "SIM_KineticWeaponComponent",
                     "damage = 1\nfire_interval = 1000\nmax_range = 500\nmin_range = 100");
    plate = cat.Module("plate", "SIM_EngineComponent", "thrust = 0");
  }
  SIM_BattleUnit* Place(int sizeType, SIM_BattleArmy* army, float x, float y, float heading) {
    SIM_UnitDesign* d =
        cat.Design(cat.Hull("h" + std::to_string(sizeType), sizeType, 2, 100.0f), {gun, plate});
    SIM_BattleUnit* u = AddUnit(d, army);
    u->x = x;
    u->y = y;
    u->SetHeading(heading);
    u->state = US_ACTIVE;
    return u;
  }

  SIM_Battle* battle = nullptr;
  Catalogue cat;
  SIM_ModuleType *gun = nullptr, *plate = nullptr;
};

// Shooters of every kind, each on its own ground with enemies all round at one of the
// distances that matter: exactly at the range, at 1.25 and 1.5 times it, just past
// them, inside the minimum range, on the shooter's spot, and far away; then a ground
// with every distance at once, a unit far outside the map and one at a position that
// is no number. Every search of every shooter must agree with the walk over the whole
// army, the nearest search included (it takes enemies up to 1.5 times the range).
TEST_F(SearchFixture, SquaresChooseWhatTheWholeArmyChoosesOnEveryEdge) {
  const float r = 500.0f;
  const std::vector<float> distances = {
      0.0f,        50.0f,       99.9f,        100.0f,      r - 0.01f, r,       r + 0.01f, r * 1.118f,
      r * 1.1181f, r * 1.2247f, r * 1.22474f, r * 1.2248f, r * 1.3f,  2000.0f, 7000.0f};
  std::vector<std::vector<float>> grounds;
  for (float d : distances) grounds.push_back({d});
  grounds.push_back(distances);
  std::vector<SIM_BattleUnit*> shooters;
  float x = 0.0f;
  for (const std::vector<float>& ground : grounds)
    for (int st : {SIZETYPE_TANK, SIZETYPE_MECH, SIZETYPE_INFANTRY}) {
      x += 20000.0f;
      SIM_BattleUnit* s = Place(st, battle->playerArmy, x, 1000.0f, 90.0f);
      shooters.push_back(s);
      for (float d : ground)
        for (int a = 0; a < 16; ++a) {
          const float rad = a * 22.5f * 3.14159265f / 180.0f;
          Place(SIZETYPE_TANK, battle->opponentArmy, s->x + d * std::sin(rad), s->y + d * std::cos(rad),
                0.0f);
        }
    }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Place(SIZETYPE_TANK, battle->opponentArmy, nan, 0.0f, 0.0f);
  Place(SIZETYPE_TANK, battle->opponentArmy, -1.0e7f, 1.0e7f, 0.0f);

  ScopedCandidates compare(Candidates::kCompare);
  int found = 0;
  for (SIM_TargetSelector* sel : SelectorsOf(battle->playerArmy)) {
    for (float heading = 0.0f; heading < 360.0f; heading += 15.0f) {
      sel->owner->SetHeading(heading);
      sel->current = nullptr;
      sel->FindBestTarget();
      sel->current = nullptr;
      sel->FindNearestTarget();
      found += sel->current != nullptr;
    }
  }
  EXPECT_EQ(SIM_TargetSelector::comparedSearches, static_cast<int64_t>(shooters.size()) * 24 * 2);
  EXPECT_EQ(SIM_TargetSelector::differingSearches, 0);
  EXPECT_GT(found, 0);
}

// Two enemies equally near on opposite sides of the shooter: the one that joined the
// army first is chosen, even where its square is read after the other's.
TEST_F(SearchFixture, TiesGoToTheEnemyEarlierInTheArmy) {
  const struct {
    const char* what;
    float dx, dy;  // the first enemy's offset; the second stands mirrored
  } cases[] = {
      {"first to the right, second to the left", 300.0f, 0.0f},
      {"first below, second above", 0.0f, 300.0f},
      {"first below right, second above left", 250.0f, 250.0f},
      {"beyond the range, only the nearest search", 0.0f, 560.0f},
  };
  ScopedCandidates compare(Candidates::kCompare);
  float x = 1000.0f;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    x += 5000.0f;  // each case on its own ground
    SIM_BattleUnit* tank = Place(SIZETYPE_TANK, battle->playerArmy, x, 1000.0f, 0.0f);
    SIM_BattleUnit* first = Place(SIZETYPE_TANK, battle->opponentArmy, x + c.dx, 1000.0f + c.dy, 0.0f);
    SIM_BattleUnit* second = Place(SIZETYPE_TANK, battle->opponentArmy, x - c.dx, 1000.0f - c.dy, 0.0f);
    (void)second;
    SIM_TargetSelector* sel = nullptr;
    for (SIM_TargetSelector* t : SelectorsOf(battle->playerArmy))
      if (t->owner == tank) sel = t;
    ASSERT_NE(sel, nullptr);
    for (float heading : {0.0f, 90.0f, 180.0f, 270.0f}) {
      tank->SetHeading(heading);
      sel->current = nullptr;
      sel->FindNearestTarget();
      EXPECT_EQ(sel->current, first) << "heading " << heading;
      sel->FindBestTarget();
    }
  }
  EXPECT_EQ(SIM_TargetSelector::differingSearches, 0);
}

// With nothing to score in range, a weapon's search falls back to the nearest enemy it
// may take: an enemy just past the range behind a mech is outside its arc, so the mech
// takes the farther one ahead; a tank turns all round and takes the one behind.
TEST_F(SearchFixture, WithNothingInRangeTheNearestWithinTheArcIsTaken) {
  const struct {
    int sizeType;
    bool takesBehind;
  } cases[] = {{SIZETYPE_MECH, false}, {SIZETYPE_TANK, true}};
  float x = 1000.0f;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sizeType == SIZETYPE_MECH ? "mech" : "tank");
    x += 5000.0f;  // each case on its own ground
    SIM_BattleUnit* shooter = Place(c.sizeType, battle->playerArmy, x, 1000.0f, 0.0f);
    SIM_BattleUnit* behind = Place(SIZETYPE_TANK, battle->opponentArmy, x, 1530.0f, 0.0f);
    SIM_BattleUnit* ahead = Place(SIZETYPE_TANK, battle->opponentArmy, x, 420.0f, 0.0f);
    SIM_TargetSelector* sel = nullptr;
    for (SIM_TargetSelector* t : SelectorsOf(battle->playerArmy))
      if (t->owner == shooter) sel = t;
    ASSERT_NE(sel, nullptr);
    sel->current = nullptr;
    sel->searchTimer = 1.0e9f;  // a search is due
    sel->Update();
    EXPECT_TRUE(sel->noTarget);
    EXPECT_EQ(shooter->target, c.takesBehind ? behind : ahead);
  }
}

// A unit that walked into range since the last search is found by the next one: the
// squares follow the frame update, and units that joined the army count at once.
TEST_F(SearchFixture, SquaresFollowUnitsThatMovedOrJoined) {
  SIM_BattleUnit* tank = Place(SIZETYPE_TANK, battle->playerArmy, 0.0f, 0.0f, 90.0f);
  SIM_BattleUnit* far = Place(SIZETYPE_TANK, battle->opponentArmy, 3000.0f, 0.0f, 0.0f);
  SIM_TargetSelector* sel = SelectorsOf(battle->playerArmy).front();
  sel->FindBestTarget();
  EXPECT_EQ(sel->current, nullptr);
  far->x = 300.0f;
  battle->Update();  // the frame update
  sel->FindBestTarget();
  EXPECT_EQ(sel->current, far);
  SIM_BattleUnit* nearer = Place(SIZETYPE_TANK, battle->opponentArmy, 200.0f, 0.0f, 0.0f);
  sel->FindBestTarget();
  EXPECT_EQ(sel->current, nearer);
  (void)tank;
}

// An army that stands still keeps its squares from check to check; when one enemy of
// many, the last in the army, walks into range, the weapon's own timed search in the
// battle's checks finds it.
TEST_F(SearchFixture, TimedSearchesFindTheOneEnemyThatMovedAmongManyStandingStill) {
  SIM_BattleUnit* tank = Place(SIZETYPE_TANK, battle->playerArmy, 0.0f, 0.0f, 90.0f);
  std::vector<SIM_BattleUnit*> enemies;
  for (int i = 0; i < 6; ++i)
    enemies.push_back(Place(SIZETYPE_TANK, battle->opponentArmy, 3000.0f + 300.0f * i, 2000.0f, 0.0f));
  const auto runMs = [this](float ms) {
    for (const float end = battle->battleClock + ms; battle->battleClock < end;) battle->Update();
  };
  runMs(1000.0f);
  ASSERT_EQ(tank->target, nullptr);
  enemies.back()->x = 300.0f;
  enemies.back()->y = 0.0f;
  runMs(400.0f);  // more than the 300 ms between searches without a target
  EXPECT_EQ(tank->target, enemies.back());
}

// Between two searches one enemy leaves the army's living list and another joins it,
// so the list is as long as before; or an enemy is taken off the list from outside
// the army, as a recalled unit is. The search sees the list as it is now.
TEST_F(SearchFixture, SquaresFollowUnitsThatLeftTheLivingList) {
  for (bool fromOutside : {false, true}) {
    SCOPED_TRACE(fromOutside ? "taken off the list from outside" : "one left through the battle, one joined");
    battle = &StartBareBattle();
    battle->Begin();
    SIM_BattleUnit* tank = Place(SIZETYPE_TANK, battle->playerArmy, 0.0f, 0.0f, 90.0f);
    SIM_BattleUnit* gone = Place(SIZETYPE_TANK, battle->opponentArmy, 200.0f, 0.0f, 0.0f);
    Place(SIZETYPE_TANK, battle->opponentArmy, 5000.0f, 5000.0f, 0.0f);  // out of reach
    SIM_TargetSelector* sel = SelectorsOf(battle->playerArmy).back();
    ASSERT_EQ(sel->owner, tank);
    battle->Update();
    sel->FindBestTarget();
    ASSERT_EQ(sel->current, gone);
    SIM_BattleUnit* joined = nullptr;
    if (fromOutside) {
      battle->opponentArmy->livingUnits.remove(gone);
    } else {
      gone->Destroy();
      battle->Update();  // the frame takes the destroyed unit out
      ASSERT_EQ(std::count(battle->opponentArmy->livingUnits.begin(), battle->opponentArmy->livingUnits.end(),
                           gone),
                0);
      joined = Place(SIZETYPE_TANK, battle->opponentArmy, 300.0f, 0.0f, 0.0f);
    }
    sel->FindBestTarget();
    EXPECT_EQ(sel->current, joined);
  }
}

// ------------------------------------------------------------------ a whole battle

struct BattleRecord {
  int outcome = -1;
  double battleMs = 0.0;
  std::map<std::string, double> shots;  // per army
  std::map<std::string, int> kills;     // destroyed units per army
  uint64_t targets = 0;                 // every unit's target at every check, hashed
  int64_t checks = 0;

  bool operator==(const BattleRecord& o) const {
    return outcome == o.outcome && battleMs == o.battleMs && shots == o.shots && kills == o.kills &&
           targets == o.targets && checks == o.checks;
  }
};

// The computer attacker against the computer defender on a shipped scenario, seeded,
// to its end (or four time limits), as the match runner plays it. A victory-point target
// above 0 stands in for the scenario's own, so balance tuning leaves a recorded battle alone.
BattleRecord PlaySeededMatch(const std::string& scenarioName, uint32_t seed, float victoryPoints = 0.0f) {
  BattleRecord rec;
  ResetAllSingletons();
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* scenario = scenarios.Find(scenarioName);
  if (!scenario) return rec;
  if (victoryPoints > 0.0f) scenario->classic.hpLeftLimit = victoryPoints;
  SIM_UnitDesignManager::Get().Load();
  GetGameplay().Difficulty = 1;
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = true;
  battle.aiUnitSource = AI_UNITS_ALL;
  battle.useFixedSeed = true;
  battle.fixedSeed = seed;
  battle.SetScenario(scenario);
  battle.Start();
  SIM_ClassicDefenderAI& defender = GetDefenderAI();
  defender.Reset(battle.playerArmy, true);
  defender.PrepareBattleStart(SIM_Battle::kMaxPreparePasses);
  for (int i = 0; i < 40; ++i) battle.Update();
  battle.Begin();
  battle.SetSpeed(4.0f);
  const float limit = scenario->classic.timeLimit > 0.0f ? scenario->classic.timeLimit : 300000.0f;
  while (battle.outcome == OUTCOME_UNDECIDED && battle.battleClock < limit * 4.0f) {
    const int64_t checks = battle.checkCount;
    battle.Update();
    if (battle.checkCount == checks) continue;
    if (battle.outcome == OUTCOME_UNDECIDED) {
      defender.UpdateBudget();
      defender.Step();
    }
    // Units by their place in their army, so two runs compare.
    std::map<const SIM_BattleUnit*, uint64_t> place;
    for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy}) {
      uint64_t i = army == battle.playerArmy ? 1 : 1000000;
      for (const SIM_BattleUnit* u : army->allUnits) place[u] = i++;
    }
    for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy})
      for (const SIM_BattleUnit* u : army->allUnits) {
        const uint64_t t = u->target ? place[u->target] : 0;
        rec.targets = rec.targets * 1099511628211ull + t + 17;
      }
    ++rec.checks;
  }
  rec.outcome = battle.outcome;
  rec.battleMs = battle.battleClock;
  for (SIM_BattleArmy* army : {battle.playerArmy, battle.opponentArmy}) {
    const std::string side = army == battle.playerArmy ? "defender" : "attacker";
    for (const SIM_BattleUnit* u : army->allUnits) {
      if (u->damageTally) rec.shots[side] += u->damageTally->shotsFired;
      if (u->state == US_DESTROYED && u->removed) ++rec.kills[side];
    }
  }
  ResetAllSingletons();
  return rec;
}

TEST(TargetSearchBattle, ASeededBattleEndsTheSameWithTheSquaresAsWithTheWholeArmy) {
  BattleRecord whole, squares;
  {
    ScopedCandidates c(Candidates::kWholeArmy);
    whole = PlaySeededMatch("border_crossing", 2);
  }
  {
    ScopedCandidates c(Candidates::kSquares);
    squares = PlaySeededMatch("border_crossing", 2);
  }
  ASSERT_NE(whole.outcome, -1) << "the scenario is shipped";
  EXPECT_NE(whole.outcome, OUTCOME_UNDECIDED);
  EXPECT_GT(whole.shots["attacker"], 100.0);
  EXPECT_GT(whole.shots["defender"], 100.0);
  EXPECT_GT(whole.kills["attacker"] + whole.kills["defender"], 20);
  EXPECT_EQ(whole.outcome, squares.outcome);
  EXPECT_EQ(whole.battleMs, squares.battleMs);
  EXPECT_EQ(whole.shots, squares.shots);
  EXPECT_EQ(whole.kills, squares.kills);
  EXPECT_EQ(whole.checks, squares.checks);
  EXPECT_EQ(whole.targets, squares.targets) << "some unit aimed elsewhere at some check";

  // And search by search: every search of the battle compared with the whole army.
  ScopedCandidates c(Candidates::kCompare);
  const BattleRecord compared = PlaySeededMatch("border_crossing", 2);
  EXPECT_TRUE(compared == squares);
  EXPECT_GT(SIM_TargetSelector::comparedSearches, 1000);
  EXPECT_EQ(SIM_TargetSelector::differingSearches, 0);
}

// The same battle as the code before the faster searches and frame step fought it, its
// figures recorded from that code (with the victory-point target of that time): the player
// must see no difference.
TEST(TargetSearchBattle, ASeededBattleEndsAsRecorded) {
  const BattleRecord r = PlaySeededMatch("border_crossing", 2, 480.0f);
  ASSERT_NE(r.outcome, -1) << "the scenario is shipped";
  EXPECT_EQ(r.outcome, OUTCOME_DEFEAT);  // the computer attacker won
  EXPECT_EQ(r.battleMs, 216896.0);
  EXPECT_EQ(r.checks, 3389);
  EXPECT_EQ(r.shots.at("attacker"), 2998.0);
  EXPECT_EQ(r.shots.at("defender"), 3553.0);
  EXPECT_EQ(r.kills.at("attacker"), 144);
  EXPECT_EQ(r.kills.at("defender"), 100);
  EXPECT_EQ(r.targets, 8103479078952503677ull) << "some unit aimed elsewhere at some check";
}

}  // namespace
