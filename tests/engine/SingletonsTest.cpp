#include <gtest/gtest.h>

#include "engine/Singletons.h"

namespace {
int g_order[2];
int g_calls = 0;
void ResetFirst() { g_order[g_calls++ % 2] = 1; }
void ResetSecond() { g_order[g_calls++ % 2] = 2; }
}  // namespace

TEST(Singletons, ResetsRunNewestFirst) {
  static bool once = (RegisterSingletonReset(ResetFirst), RegisterSingletonReset(ResetSecond), true);
  (void)once;
  g_calls = 0;
  ResetAllSingletons();
  ASSERT_EQ(g_calls, 2);
  EXPECT_EQ(g_order[0], 2);
  EXPECT_EQ(g_order[1], 1);
}
