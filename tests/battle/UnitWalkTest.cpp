// The frame walk over every unit, as the battle's update runs it: creation order, units
// that join during the walk are stepped in the same frame, and units that leave during
// it are passed over without any other unit being skipped or stepped twice.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/BattleUnitManager.h"

using namespace battle_test;

namespace {

std::vector<std::string> g_stepped;

// A unit that notes its frame steps and may do one thing to the others when stepped.
struct NotingUnit : SIM_BattleUnit {
  explicit NotingUnit(std::string n) : name(std::move(n)) {}
  void Update() override {
    g_stepped.push_back(name);
    if (action) {
      auto once = std::move(action);
      action = nullptr;
      once();
    }
  }
  std::string name;
  std::function<void()> action;
};

struct WalkCase {
  const char* name;
  // Given a, b and c (created in that order), sets what happens in the first frame.
  std::function<void(NotingUnit*, NotingUnit*, NotingUnit**, std::vector<NotingUnit*>*)> arrange;
  std::vector<std::string> firstFrame;
  std::vector<std::string> secondFrame;
};

class UnitWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(UnitWalk, StepsEveryUnitOnceInCreationOrder) {
  const WalkCase& c = GetParam();
  SIM_Battle& battle = StartBareBattle();
  battle.Begin();
  g_stepped.clear();
  std::vector<NotingUnit*> owned;
  auto* a = new NotingUnit("a");
  auto* b = new NotingUnit("b");
  auto* cu = new NotingUnit("c");
  owned = {a, b, cu};
  c.arrange(a, b, &cu, &owned);
  battle.Update();
  EXPECT_EQ(g_stepped, c.firstFrame) << c.name;
  g_stepped.clear();
  battle.Update();
  EXPECT_EQ(g_stepped, c.secondFrame) << c.name;
  // The walk and the list agree on who is left, in order.
  std::vector<std::string> listed;
  for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits)
    listed.push_back(static_cast<NotingUnit*>(u)->name);
  std::vector<std::string> walked;
  GetBattleUnitManager().ForEachUnit(
      [&walked](SIM_BattleUnit* u) { walked.push_back(static_cast<NotingUnit*>(u)->name); });
  EXPECT_EQ(walked, listed) << c.name;
  EXPECT_EQ(walked, c.secondFrame) << c.name;
  for (NotingUnit* u : owned) delete u;
  ResetAllSingletons();
}

const auto kForget = [](std::vector<NotingUnit*>* owned, NotingUnit* u) {
  for (auto it = owned->begin(); it != owned->end(); ++it)
    if (*it == u) {
      owned->erase(it);
      break;
    }
  delete u;
};

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitWalk,
    ::testing::Values(
        WalkCase{"nothing happens",
                 [](NotingUnit*, NotingUnit*, NotingUnit**, std::vector<NotingUnit*>*) {},
                 {"a", "b", "c"},
                 {"a", "b", "c"}},
        WalkCase{"a unit joins during the walk",
                 [](NotingUnit* a, NotingUnit*, NotingUnit**, std::vector<NotingUnit*>* owned) {
                   a->action = [owned] { owned->push_back(new NotingUnit("d")); };
                 },
                 {"a", "b", "c", "d"},
                 {"a", "b", "c", "d"}},
        WalkCase{"a later unit leaves during the walk",
                 [](NotingUnit*, NotingUnit* b, NotingUnit** c, std::vector<NotingUnit*>* owned) {
                   NotingUnit* victim = *c;
                   b->action = [owned, victim] { kForget(owned, victim); };
                 },
                 {"a", "b"},
                 {"a", "b"}},
        WalkCase{"an earlier unit leaves during the walk",
                 [](NotingUnit* a, NotingUnit* b, NotingUnit**, std::vector<NotingUnit*>* owned) {
                   b->action = [owned, a] { kForget(owned, a); };
                 },
                 {"a", "b", "c"},
                 {"b", "c"}},
        WalkCase{"a unit leaves and another joins during the walk",
                 [](NotingUnit* a, NotingUnit* b, NotingUnit**, std::vector<NotingUnit*>* owned) {
                   b->action = [owned, a] {
                     kForget(owned, a);
                     owned->push_back(new NotingUnit("d"));
                   };
                 },
                 {"a", "b", "c", "d"},
                 {"b", "c", "d"}}),
    [](const ::testing::TestParamInfo<WalkCase>& info) {
      std::string n = info.param.name;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

}  // namespace
