// The debris pool: 2000 pieces reused in a fixed order of preference, frozen below the
// zoom fade, and a spawn whose cell range is empty showing its first cell.
#include <gtest/gtest.h>

#include <set>

#include "effects/Debris.h"
#include "effects/WorldEffectsFixture.h"
#include "engine/Random.h"
#include "engine/Textures.h"

namespace {

class DebrisTest : public explosions_test::WorldEffectsTest {
 protected:
  GUI_BS_DebrisPool& pool() { return GUI_BS_DebrisPool::Instance(); }
  int CellOf(const GUI_BS_Debris& d) {
    return int(d.quad.v[0].u * 16.0f + 0.01f) + 16 * int(d.quad.v[0].v * 16.0f + 0.01f);
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Record([] { DrawDebris(); });
  }
};

TEST_F(DebrisTest, CellsStayInTheRequestedRangeAndAnEmptyRangeShowsTheFirstCell) {
  struct Case {
    int first, end;
    std::set<int> allowed;
  } cases[] = {
      {0, 256, {}},  // the whole sheet
      {16, 20, {16, 17, 18, 19}},
      {40, 40, {40}},  // empty range: no division by zero, the first cell
      {50, 45, {50}},  // reversed range: likewise
      {250, 300, {}},  // beyond the sheet: clamped to its last cell
  };
  for (const Case& c : cases) {
    pool().Reset();
    SpawnDebris(60, 8.0f, c.first, c.end, 100.0f, true, 1000.0f, 1000.0f);
    int seen = 0;
    for (const GUI_BS_Debris* d : pool().order) {
      if (!d->active) continue;
      ++seen;
      const int cell = CellOf(*d);
      EXPECT_GE(cell, 0);
      EXPECT_LE(cell, 255);
      if (!c.allowed.empty()) {
        EXPECT_TRUE(c.allowed.count(cell)) << c.first << ".." << c.end << " gave " << cell;
      }
      if (c.first == 0) {
        EXPECT_LT(cell, 256);
      }
    }
    EXPECT_EQ(seen, 60) << c.first << ".." << c.end;
  }
}

TEST_F(DebrisTest, PiecesFreezeAtOrBelowTheFadeThresholdAndFlyAboveIt) {
  SpawnDebris(10, 8.0f, 0, 256, 120.0f, true, 1000.0f, 1000.0f);
  const GUI_BS_Debris* piece = pool().order[0];
  ASSERT_TRUE(piece->active);
  View(0.5f);  // the threshold starts at 0.5
  const auto& hidden = Record([] { DrawDebris(); });
  EXPECT_EQ(debrisAlpha, 0.0f);
  EXPECT_TRUE(hidden.empty());
  EXPECT_EQ(piece->elapsed, 0.0f) << "nothing is updated while faded out";
  View(1.0f);
  platform::Texture* sheet = FindTexture("debris.dds");
  const auto& shown = Record([] { DrawDebris(); });
  EXPECT_EQ(debrisAlpha, 1.0f);
  EXPECT_EQ(shown.size(), 1u) << "one batch with one texture";
  EXPECT_EQ(Quads(shown, sheet), 10);
  EXPECT_EQ(piece->elapsed, 16.0f);
  Frames(80);  // well past the longest flight of 1000 ms
  for (const GUI_BS_Debris* d : pool().order)
    if (d->active) {
      EXPECT_TRUE(d->landed);
    }
}

TEST_F(DebrisTest, AFullPoolReusesFinishedThenOffScreenThenOutsideTheViewThenRandomPieces) {
  // Fill every position with persistent pieces in view.
  for (int i = 0; i < GUI_BS_DebrisPool::kPieces / 10; ++i)
    SpawnDebris(10, 4.0f, 0, 256, 10.0f, true, 1000.0f, 1000.0f);
  ASSERT_EQ(pool().ActiveCount(), GUI_BS_DebrisPool::kPieces);
  EXPECT_EQ(pool().drawCount, GUI_BS_DebrisPool::kPieces);

  pool().finishedList[3] = 17;
  pool().offscreenList[0] = 42;
  EXPECT_EQ(pool().ChoosePosition(), 17) << "a piece that vanished on landing first";
  EXPECT_EQ(pool().ChoosePosition(), 42) << "then one seen off screen";
  pool().order[1234]->x = 3900.0f;  // far outside the view
  pool().order[1234]->y = 3900.0f;
  EXPECT_EQ(pool().ChoosePosition(), 1234) << "then the first outside the view";
  pool().order[1234]->x = 1000.0f;
  pool().order[1234]->y = 1000.0f;
  const int random = pool().ChoosePosition();
  EXPECT_GE(random, 0);
  EXPECT_LT(random, GUI_BS_DebrisPool::kPieces);
  EXPECT_EQ(pool().ActiveCount(), GUI_BS_DebrisPool::kPieces) << "a full pool never grows";
}

TEST_F(DebrisTest, APieceLaunchedAtTheHighestPositionIsDrawnTheSameFrame) {
  SpawnDebris(3, 8.0f, 0, 256, 50.0f, true, 1000.0f, 1000.0f);
  EXPECT_EQ(pool().drawCount, 3);
  pool().searchStart = 1500;
  SpawnDebris(1, 8.0f, 0, 256, 50.0f, true, 1000.0f, 1000.0f);
  EXPECT_TRUE(pool().order[1500]->active);
  EXPECT_EQ(pool().drawCount, 1501);
  EXPECT_EQ(Quads(Record([] { DrawDebris(); })), 4);
}

TEST_F(DebrisTest, NonPersistentPiecesVanishOnLandingAndCompactionKeepsTheActiveOrder) {
  // Persistent pieces far apart in the array, then frames past the compaction point.
  for (int i = 0; i < 120; ++i) SpawnDebris(10, 4.0f, 0, 256, 10.0f, false, 1000.0f, 1000.0f);
  const int active = pool().ActiveCount();
  ASSERT_GT(active, 0);
  ASSERT_GT(pool().drawCount, 1000);
  std::vector<const GUI_BS_Debris*> before;
  Frames(70);  // every flight is over: the non-persistent pieces are gone
  for (const GUI_BS_Debris* d : pool().order)
    if (d->active) before.push_back(d);
  EXPECT_LT(int(before.size()), active);
  EXPECT_GT(before.size(), 0u) << "some pieces stay on the ground";
  Frames(40);
  EXPECT_EQ(pool().drawCount, int(before.size())) << "compacted after 100 frames";
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(pool().order[i], before[i]);
  for (int i = 0; i < GUI_BS_DebrisPool::kPieces; ++i) EXPECT_EQ(pool().order[size_t(i)]->slot, i);
}

}  // namespace
