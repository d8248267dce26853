// The shared process-wide accessor: one object, built on first use, set up once, and
// torn down by the test reset newest first.
#include <gtest/gtest.h>

#include <string>

#include "engine/Singletons.h"

namespace {

std::string g_events;

struct Counted {
  Counted() { g_events += "+C"; }
  ~Counted() {
    // While it is being destroyed it no longer counts as alive, so objects it owns
    // must not reach back into it.
    g_events += ProcessWideIfAlive<Counted>() ? "-C(alive)" : "-C";
  }
  int setUps = 0;
};

struct Early {
  Early() { g_events += "+E"; }
  ~Early() { g_events += "-E"; }
};

struct Late {
  Late() { g_events += "+L"; }
  ~Late() { g_events += "-L"; }
};

Counted& GetCounted() {
  return ProcessWide<Counted>([](Counted& c) {
    ++c.setUps;
    // The set-up may already use the accessor: it must find this object, not build another.
    EXPECT_EQ(&ProcessWide<Counted>(), &c);
  });
}

TEST(ProcessWide, OneObjectSetUpOnceAndRebuiltAfterReset) {
  g_events.clear();
  EXPECT_EQ(ProcessWideIfAlive<Counted>(), nullptr);
  Counted& first = GetCounted();
  EXPECT_EQ(&GetCounted(), &first);
  EXPECT_EQ(ProcessWideIfAlive<Counted>(), &first);
  EXPECT_EQ(first.setUps, 1);
  EXPECT_EQ(g_events, "+C");

  ResetAllSingletons();
  EXPECT_EQ(g_events, "+C-C");
  EXPECT_EQ(ProcessWideIfAlive<Counted>(), nullptr);
  EXPECT_EQ(GetCounted().setUps, 1);
  EXPECT_EQ(g_events, "+C-C+C");
}

TEST(ProcessWide, AskingWhetherAliveNeitherBuildsNorRegisters) {
  g_events.clear();
  // Asked about first but built last: it must still be torn down first.
  EXPECT_EQ(ProcessWideIfAlive<Late>(), nullptr);
  EXPECT_EQ(g_events, "");
  ProcessWide<Early>();
  ProcessWide<Late>();
  ResetAllSingletons();
  EXPECT_EQ(g_events, "+E+L-L-E");
}

}  // namespace

namespace {

struct Swappable {
  explicit Swappable(int v = 0) : value(v) {}
  int value;
};

TEST(ProcessWide, ReplacingSwapsInTheGivenObjectOrNone) {
  EXPECT_EQ(ProcessWide<Swappable>().value, 0);
  Swappable* given = ReplaceProcessWide(std::make_unique<Swappable>(7));
  ASSERT_NE(given, nullptr);
  EXPECT_EQ(&ProcessWide<Swappable>(), given);
  EXPECT_EQ(given->value, 7);
  // Handing in nothing empties the slot; the next use builds a fresh one.
  EXPECT_EQ(ReplaceProcessWide<Swappable>(nullptr), nullptr);
  EXPECT_EQ(ProcessWideIfAlive<Swappable>(), nullptr);
  EXPECT_EQ(ProcessWide<Swappable>().value, 0);
}

}  // namespace
