// The route search, the soldiers' avoider, the grid's edge cases and the squad's
// formation places and staggered orders, each on the smallest set-up that shows them.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleView.h"
#include "battle/CollisionAvoider.h"
#include "battle/CollisionGrid.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "battle/Squadron.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

using namespace battle_test;

namespace {

// A map from "number: links" lines; squares listed with "x" after the links are exits.
std::unique_ptr<SIM_Scenario> LoadMap(int cols, int rows, const std::vector<std::string>& links,
                                      const std::vector<int>& exits = {}) {
  std::string text = "[config]\nname = search\nmaxcols = " + std::to_string(cols) +
                     "\nmaxrows = " + std::to_string(rows) + "\n\n[map]\n";
  for (int n = 0; n < cols * rows; ++n) {
    const std::string l = n < static_cast<int>(links.size()) ? links[static_cast<size_t>(n)] : "";
    const bool exit = std::find(exits.begin(), exits.end(), n) != exits.end();
    text += std::to_string(n / cols) + "-" + std::to_string(n % cols) + " = " + std::to_string(n) + ",\"" +
            l + "\",0,0,,,," + (exit ? "EXIT" : "") + "\n";
  }
  const std::string path = zt_test::UserDir() + "/search/scenario.txt";
  zt_test::WriteText(path, text);
  auto s = std::make_unique<SIM_Scenario>();
  EXPECT_TRUE(s->Load(path));
  EXPECT_TRUE(s->LoadMap());
  return s;
}

std::vector<int> Numbers(const std::vector<SIM_MapSquare*>& squares) {
  std::vector<int> out;
  for (const SIM_MapSquare* s : squares) out.push_back(s->number);
  return out;
}

TEST(PathSearch, FewestSquaresFirstListedOnTiesAndNoRoute) {
  // 4 x 3. From 0: 0 -> 1 -> 2 -> 3 -> 7 (5 squares), or 0 -> 4 -> 5 -> 6 -> 7 (also
  // 5; 1 is listed first), or 0 -> 4 -> 8 -> 9 -> 10 -> 11 -> 7. 6 loops back to 5.
  // Square 10 cannot reach 0.
  auto s = LoadMap(4, 3, {"1,4,", "2,", "3,", "7,", "5,8,", "6,", "7,5,", "", "9,", "10,", "11,", "7,"}, {7});
  const struct {
    int from, to;
    bool found;
    std::vector<int> route;
  } cases[] = {
      {0, 7, true, {0, 1, 2, 3, 7}},
      {4, 7, true, {4, 5, 6, 7}},
      {8, 7, true, {8, 9, 10, 11, 7}},
      {0, 0, true, {0}},
      {10, 0, false, {}},
      {7, 3, false, {}},
  };
  PathSearch search;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    EXPECT_EQ(search.Run(*s, s->GetSquareByNumber(c.from), s->GetSquareByNumber(c.to), false), c.found);
    EXPECT_EQ(Numbers(search.best), c.route);
  }
  // Any exit: the nearest one.
  EXPECT_TRUE(search.Run(*s, s->GetSquareByNumber(4), nullptr, true));
  EXPECT_EQ(Numbers(search.best), (std::vector<int>{4, 5, 6, 7}));
  // No start: nothing.
  EXPECT_FALSE(search.Run(*s, nullptr, s->GetSquareByNumber(7), false));
}

TEST(PathSearch, ABranchyMapWithLoopsIsSearchedInOnePass) {
  // 20 x 20, every square leading east, south, west and north: the simple paths
  // across it are beyond counting, and single links close loops (20 -> 21 -> 20).
  std::vector<std::string> links;
  for (int n = 0; n < 400; ++n) {
    const int r = n / 20, c = n % 20;
    std::string l;
    if (c + 1 < 20) l += std::to_string(n + 1) + ",";
    if (r + 1 < 20) l += std::to_string(n + 20) + ",";
    if (c > 0) l += std::to_string(n - 1) + ",";
    if (r > 0) l += std::to_string(n - 20) + ",";
    links.push_back(l);
  }
  links[20] = "21,";
  links[21] = "20,";
  auto s = LoadMap(20, 20, links, {399});
  PathSearch search;
  // This thread's CPU time: the search's own work, whatever else the machine is doing.
  const double t0 = zt_test::ThreadCpuSeconds();
  for (int i = 0; i < 100; ++i)
    ASSERT_TRUE(search.Run(*s, s->GetSquareByNumber(0), s->GetSquareByNumber(399), false));
  const double ms = (zt_test::ThreadCpuSeconds() - t0) * 1000.0;
  EXPECT_EQ(search.best.size(), 39u);
  // Well under a second for a hundred plans, even in a sanitised debug build.
  EXPECT_LT(ms, 1000.0);
  // The loop of single links is a dead end, not a hang.
  EXPECT_FALSE(search.Run(*s, s->GetSquareByNumber(20), s->GetSquareByNumber(399), false));
}

TEST(CollisionGrid, AnEmptyGridHasNoCellsAndClampsNothing) {
  SIM_CollisionGrid grid;
  EXPECT_EQ(grid.GetCell(100.0f, 100.0f), nullptr);
  EXPECT_EQ(grid.GetCellAt(0, 0), nullptr);
  EXPECT_EQ(grid.FindById(0), nullptr);
  grid.Build(nullptr);
  EXPECT_EQ(grid.GetCell(-5.0f, 1e9f), nullptr);
  grid.ClearOccupant(nullptr);
}

TEST(CollisionGrid, PositionsOutsideTheMapClampOntoBorderCells) {
  auto s = LoadMap(3, 2, {"1,", "2,"});
  SIM_CollisionGrid grid;
  grid.Build(s.get());
  ASSERT_TRUE(grid.built);
  EXPECT_EQ(grid.GetCell(-50.0f, 99999.0f)->id, 3);
  EXPECT_EQ(grid.GetCell(99999.0f, -1.0f)->id, 2);
  EXPECT_EQ(grid.GetCell(250.0f, 150.0f)->id, 1);
  ASSERT_EQ(grid.FindById(0)->neighbours.size(), 1u);
  EXPECT_EQ(grid.FindById(0)->neighbours[0], grid.FindById(1));
  grid.Clear();
}

// A squad of soldiers built by hand in a bare battle.
struct BareSquad {
  BareSquad(int count, float spacing) {
    SIM_Battle& battle = StartBareBattle();
    design = cat.Design(cat.Hull("soldier", SIZETYPE_INFANTRY, 1, 10.0f, 24.0f), {});
    squad = new SIM_BattleSquadron();
    battle.playerArmy->AddEntry(squad);
    squad->army = battle.playerArmy;
    for (int i = 0; i < count; ++i) {
      SIM_BattleUnit* s = AddUnit(design, battle.playerArmy);
      squad->AddMember(s);
      s->x = 500.0f + spacing * static_cast<float>(i);
      s->y = 500.0f;
    }
  }
  Catalogue cat;
  SIM_UnitDesign* design = nullptr;
  SIM_BattleSquadron* squad = nullptr;
};

TEST(CollisionAvoider, CoincidentSoldiersArePushedApartAtFullStrength) {
  BareSquad b(2, 0.0f);
  SIM_BattleUnit* first = b.squad->members.front();
  SIM_CollisionAvoider* avoider = first->movement->avoider.get();
  ASSERT_NE(avoider, nullptr);
  avoider->RefreshNeighbours();
  float px = 0, py = 0;
  const float strength = avoider->Step(&px, &py);
  EXPECT_FLOAT_EQ(strength, 0.25f);
  EXPECT_NEAR(px, -1.0f, 1e-5);
  EXPECT_NEAR(py, 0.0f, 1e-5);
}

// In the battle's own frames: two soldiers sent off together from one point find each
// other by their avoiders' own timers, with no refresh asked for, and are pushed apart.
TEST(CollisionAvoider, SoldiersOnTheMoveFindTheirMatesByTheTimerAndArePushed) {
  BareSquad b(2, 0.0f);
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  for (SIM_BattleUnit* m : b.squad->members) {
    ASSERT_NE(m->movement->avoider, nullptr);
    ASSERT_EQ(m->movement->avoider->slots[0], nullptr);
    m->moduleManager->powerRatio = 0.05f;
    m->moduleManager->speedValue = 0.01f;
    m->moduleManager->hullTurnRate = 0.5f;
    m->moduleManager->HandlingChanged();
    m->SetHeading(90.0f);
    m->MoveTo(900.0f, 500.0f);
  }
  SIM_BattleUnit* first = b.squad->members.front();
  float strongest = 0.0f;
  int frame = 0;
  for (; frame < 40 && strongest == 0.0f; ++frame) {
    battle.Update();
    ASSERT_EQ(first->state, US_ACTIVE);
    strongest = std::max(strongest, first->movement->avoider->strength);
  }
  EXPECT_GT(strongest, 0.0f) << "never pushed";
  // The timers start within one refresh period (200 ms of 16 ms frames).
  EXPECT_LE(frame, 14);
  EXPECT_GT(first->x, 500.0f);
}

TEST(CollisionAvoider, OnlyTheFourNearestMatesPushAndDeletedMatesAreForgotten) {
  // Soldiers every 3 units on a line: the first sees the next four within reach.
  BareSquad b(7, 3.0f);
  SIM_BattleUnit* first = b.squad->members.front();
  SIM_CollisionAvoider* avoider = first->movement->avoider.get();
  avoider->RefreshNeighbours();
  std::vector<SIM_BattleUnit*> slotted;
  for (SIM_CollisionAvoider* a : avoider->slots) slotted.push_back(a ? a->unit : nullptr);
  auto it = std::next(b.squad->members.begin());
  for (int i = 0; i < 4; ++i, ++it) EXPECT_EQ(slotted[static_cast<size_t>(i)], *it);
  // Everyone is pushed away towards -x: all the mates lie to the east.
  float px = 0, py = 0;
  avoider->Step(&px, &py);
  EXPECT_LT(px, -3.0f);
  // A mate's movement going away must leave no dangling slot, and this avoider going
  // away must leave no dangling referrer in its mates.
  SIM_BattleUnit* second = *std::next(b.squad->members.begin());
  second->movement->avoider.reset();
  EXPECT_EQ(avoider->slots[0], nullptr);
  first->movement->avoider.reset();
  for (SIM_BattleUnit* m : b.squad->members)
    if (m->movement->avoider) {
      for (SIM_CollisionAvoider* r : m->movement->avoider->referrers) EXPECT_NE(r, avoider);
    }
}

// In the battle's own frames: a mate that falls, leaves the squad or loses its avoider
// after the avoiders first looked is never found by their later looks, even lying on
// the very spot of the one looking.
TEST(CollisionAvoider, MatesThatFallLeaveOrLoseTheirAvoiderAreNotFoundAgain) {
  enum Change { FALLS, LEAVES, LOSES_AVOIDER };
  for (const Change change : {FALLS, LEAVES, LOSES_AVOIDER}) {
    SCOPED_TRACE(change);
    BareSquad b(3, 0.0f);
    SIM_Battle& battle = GetBattle();
    battle.Begin();
    for (SIM_BattleUnit* m : b.squad->members) {
      m->moduleManager->powerRatio = 0.05f;
      m->moduleManager->speedValue = 0.01f;
      m->moduleManager->hullTurnRate = 0.5f;
      m->moduleManager->HandlingChanged();
      m->SetHeading(90.0f);
      m->MoveTo(900.0f, 500.0f);
    }
    SIM_BattleUnit* first = b.squad->members.front();
    SIM_BattleUnit* other = b.squad->members.back();
    SIM_CollisionAvoider* looking = first->movement->avoider.get();
    const SIM_CollisionAvoider* gone = other->movement->avoider.get();
    const auto holds = [looking](const SIM_CollisionAvoider* a) {
      return std::find(std::begin(looking->slots), std::end(looking->slots), a) != std::end(looking->slots);
    };
    int frame = 0;
    for (; frame < 20 && !holds(gone); ++frame) battle.Update();
    ASSERT_TRUE(holds(gone)) << "the mate was never found";
    switch (change) {
      case FALLS:
        other->Destroy();
        break;
      case LEAVES:
        b.squad->RemoveMember(other);
        break;
      case LOSES_AVOIDER:
        other->movement->avoider.reset();
        break;
    }
    // The slots are filled again when the looking avoider's timer comes round (200 ms
    // of 16 ms frames): from then on the mate is not among them.
    int looks = 0;
    for (frame = 0; frame < 30; ++frame) {
      other->x = first->x;
      other->y = first->y;
      const float timer = looking->refreshTimer;
      battle.Update();
      ASSERT_EQ(first->state, US_ACTIVE);
      if (looking->refreshTimer < timer) ++looks;
      if (looks > 0) {
        ASSERT_FALSE(holds(gone)) << "found again in frame " << frame;
      }
    }
    EXPECT_GE(looks, 2);
    // The mate still standing is found all along.
    EXPECT_TRUE(holds((*std::next(b.squad->members.begin()))->movement->avoider.get()));
  }
}

TEST(Squadron, FormationPlacesAndCountsOutOfRange) {
  const struct {
    int member;
    float x, y;
  } cases[] = {{0, 0, 0}, {1, 30, 0}, {4, -30, -30}, {24, -60, -60}, {25, -60, -60}, {-3, 0, 0}};
  for (const auto& c : cases) {
    float ox = 1, oy = 1;
    SIM_BattleSquadron::GetFormationOffset(c.member, &ox, &oy);
    EXPECT_FLOAT_EQ(ox, c.x) << c.member;
    EXPECT_FLOAT_EQ(oy, c.y) << c.member;
  }
}

TEST(Squadron, OrdersReachSoldiersWithinHalfASecondAndALaterHaltWins) {
  BareSquad b(6, 40.0f);
  SIM_Battle& battle = GetBattle();
  for (SIM_BattleUnit* m : b.squad->members) m->state = US_ACTIVE;
  battle.Begin();
  b.squad->MoveTo(2000.0f, 500.0f);
  EXPECT_EQ(b.squad->pendingOrders.size(), 6u);
  for (SIM_BattleUnit* m : b.squad->members) EXPECT_EQ(m->state, US_TURNING);
  // Within 32 frames (512 ms) every soldier has its order, no sooner than its delay.
  std::vector<float> delays;
  for (const SIM_MemberOrder& o : b.squad->pendingOrders) delays.push_back(o.delay);
  int frame = 0;
  while (!b.squad->pendingOrders.empty() && frame < 40) {
    battle.Update();
    ++frame;
  }
  EXPECT_LE(frame, 32);
  EXPECT_GT(*std::max_element(delays.begin(), delays.end()), *std::min_element(delays.begin(), delays.end()));
  for (SIM_BattleUnit* m : b.squad->members) {
    EXPECT_TRUE(m->movement->hasTarget);
    EXPECT_FLOAT_EQ(m->movement->targetX, 2000.0f + m->movement->formationX);
    EXPECT_FLOAT_EQ(m->movement->throttle, 1.0f);
  }
  // A halt given now arrives after the move: it wins.
  b.squad->Stop();
  b.squad->MoveTo(3000.0f, 500.0f);
  for (SIM_MemberOrder& o : b.squad->pendingOrders)
    o.delay = o.kind == SIM_MemberOrder::HALT ? 200.0f : 100.0f;
  for (int i = 0; i < 20; ++i) battle.Update();
  for (SIM_BattleUnit* m : b.squad->members) {
    EXPECT_FLOAT_EQ(m->movement->throttle, 0.0f);
    ASSERT_NE(m->visual, nullptr);
    EXPECT_TRUE(m->visual->haltRequest);
  }
}

TEST(Squadron, ASquadWithNoSoldiersLeftKeepsItsPlaceAndTakesOrders) {
  BareSquad b(0, 0.0f);
  SIM_Battle& battle = GetBattle();
  b.squad->x = 321.0f;
  b.squad->y = 123.0f;
  battle.Begin();
  b.squad->MoveTo(1000.0f, 1000.0f);
  b.squad->Stop();
  for (int i = 0; i < 40; ++i) battle.Update();
  EXPECT_FLOAT_EQ(b.squad->x, 321.0f);
  EXPECT_FLOAT_EQ(b.squad->y, 123.0f);
  EXPECT_EQ(b.squad->GetRandomMember(), nullptr);
}

}  // namespace
