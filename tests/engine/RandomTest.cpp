#include <gtest/gtest.h>

#include <vector>

#include "engine/Random.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

TEST(EngineGenerator, GivesFifteenBitValuesAndRepeatsForASeed) {
  EngineSrand(12345);
  std::vector<int> first;
  int highest = 0;
  for (int i = 0; i < 20000; ++i) {
    const int v = EngineRand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, kEngineRandMax);
    if (v > highest) highest = v;
    if (i < 50) first.push_back(v);
  }
  // The whole 15-bit range is used, not a sliver of it.
  EXPECT_GT(highest, 32000);

  EngineSrand(12345);
  for (int expected : first) ASSERT_EQ(EngineRand(), expected);
  EngineSrand(54321);
  int same = 0;
  for (int expected : first) same += EngineRand() == expected;
  EXPECT_LT(same, 5);
}

TEST(RandomTables, EveryValueLiesInZeroToOne) {
  for (std::uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 123456789u}) {
    SCOPED_TRACE(seed);
    InitRandomWithSeed(seed);
    for (int table = 0; table < 2; ++table) {
      for (int i = 0; i < kRandomTableSize; ++i) {
        const float v = RandomTableValue(table, i);
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
      }
    }
  }
}

TEST(RandomTables, FillAlternatesSecondTableThenFirst) {
  InitRandomWithSeed(777);
  EngineSrand(777);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(RandomTableValue(1, i), static_cast<float>(EngineRand() / 32768.0));
    EXPECT_FLOAT_EQ(RandomTableValue(0, i), static_cast<float>(EngineRand() / 32768.0));
  }
}

TEST(RandomTables, CursorsWrapAfterAThousandReadsAndStayApart) {
  InitRandomWithSeed(99);
  std::vector<float> firstPass;
  for (int i = 0; i < kRandomTableSize; ++i) firstPass.push_back(RandomFloat());
  EXPECT_EQ(RandomCursor(0), 0);
  EXPECT_EQ(RandomCursor(1), 0);  // the second table was never read
  for (int i = 0; i < kRandomTableSize; ++i) ASSERT_EQ(RandomFloat(), firstPass[i]) << i;

  // Reading the second table leaves the first table's cursor alone.
  for (int i = 0; i < 10; ++i) RandomFloat();
  for (int i = 0; i < 1234; ++i) RandomRange(0.0f, 1.0f);
  EXPECT_EQ(RandomCursor(0), 10);
  EXPECT_EQ(RandomCursor(1), 234);
}

TEST(RandomTables, HelpersStayInTheirRanges) {
  InitRandomWithSeed(2024);
  for (int i = 0; i < 3 * kRandomTableSize; ++i) {
    ASSERT_EQ(RandomInt(1), 0);
    ASSERT_EQ(RandomInt(0), 0);
    const int n = RandomInt(7);
    ASSERT_GE(n, 0);
    ASSERT_LT(n, 7);
    const float r = RandomRange(-5.0f, 5.0f);
    ASSERT_GE(r, -5.0f);
    ASSERT_LT(r, 5.0f);
    const int d = RandomIntDirect(10);
    ASSERT_GE(d, 0);
    ASSERT_LT(d, 10);
  }
  const std::string digits = RandomString();
  ASSERT_EQ(digits.size(), 31u);
  for (char c : digits) {
    EXPECT_GE(c, '0');
    EXPECT_LE(c, '8');
  }
}

TEST(RandomTables, ReadingBeforeInitIsLoggedAndGivesZero) {
  ASSERT_FALSE(IsRandomReady());
  EXPECT_EQ(RandomFloat(), 0.0f);
  EXPECT_NE(zt_test::ReadText(zt_test::ErrorLogPath()).find("Random not ready"), std::string::npos);

  InitRandom();
  EXPECT_TRUE(IsRandomReady());
}

}  // namespace
