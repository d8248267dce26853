// Wrecks, break-ups and camera shake: a wreck's fades, the one wreck a placement
// shatters, the break-up grid's size limits, and when a blast shakes the camera.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "battlescreen/BattleMap.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/WorldDetailsFixture.h"

namespace {

using battlescreen_test::CountEffects;
using battlescreen_test::RecordedEffects;

class HulksTest : public battlescreen_test::WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    GUI_BS_Hulk::Clear();
    GUI_BS_BreakupCollection::Clear();
    CameraShake::Instance() = CameraShake();
  }
  void TearDown() override {
    GUI_BS_Hulk::Clear();
    GUI_BS_BreakupCollection::Clear();
    CameraShake::Instance() = CameraShake();
    WorldDetailsTest::TearDown();
  }
  static GUI_BS_Hulk* AddHulk(float x, float y, float size = 60.0f, float hullSize = 100.0f) {
    auto* h = new GUI_BS_Hulk("", size, hullSize, "Test Tank");
    h->x = x;
    h->y = y;
    GUI_BS_Hulk::Add(h);
    return h;
  }
};

TEST_F(HulksTest, AWreckFadesInOverATenthAndOutOverAFifthOfASecond) {
  struct Step {
    float ms;
    bool shatterFirst;
    int state;
    float alpha;
  } steps[] = {
      {50.0f, false, GUI_BS_Hulk::FADING_IN, 0.5f},  {50.0f, false, GUI_BS_Hulk::FADING_IN, 1.0f},
      {1.0f, false, GUI_BS_Hulk::SHOWN, 1.0f},       {5000.0f, false, GUI_BS_Hulk::SHOWN, 1.0f},
      {100.0f, true, GUI_BS_Hulk::FADING_OUT, 0.5f}, {100.0f, false, GUI_BS_Hulk::FADING_OUT, 0.0f},
      {1.0f, false, GUI_BS_Hulk::GONE, 0.0f},
  };
  GUI_BS_Hulk hulk("", 60.0f, 100.0f, "Test Tank");
  float total = 0.0f;
  for (const Step& s : steps) {
    total += s.ms;
    SCOPED_TRACE("after " + std::to_string(total) + " ms");
    if (s.shatterFirst) hulk.Shatter();
    GUI_BS_Hulk::Advance(&hulk, s.ms);
    EXPECT_EQ(hulk.state, s.state);
    EXPECT_NEAR(hulk.alpha, s.alpha, 1e-5f);
  }
}

TEST_F(HulksTest, AWreckPassDeletesTheWrecksThatHaveFadedOut) {
  AddHulk(2000.0f, 2000.0f);
  AddHulk(2300.0f, 2000.0f);
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(10.0f, 2000.0f, 2000.0f));
  // 16 ms a frame: the shattered wreck is gone after 13 frames, the other stays.
  for (int i = 0; i < 13; ++i) GUI_BS_Hulk::DrawAll();
  ASSERT_EQ(GUI_BS_Hulk::List().size(), 1u);
  EXPECT_FLOAT_EQ(GUI_BS_Hulk::List().front()->x, 2300.0f);
}

TEST_F(HulksTest, EachPlacementShattersOneWreckAndNeverOneAlreadyFading) {
  GUI_BS_Hulk* first = AddHulk(1000.0f, 1000.0f, 60.0f, 100.0f);
  GUI_BS_Hulk* second = AddHulk(1010.0f, 1000.0f, 60.0f, 160.0f);
  // Out of reach: size / 2 + radius = 30 + 20 = 50 from the first.
  EXPECT_FALSE(GUI_BS_Hulk::IsNear(20.0f, 1051.0f + 10.0f, 1000.0f));
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f));
  EXPECT_EQ(first->state, GUI_BS_Hulk::FADING_OUT);
  EXPECT_EQ(second->state, GUI_BS_Hulk::FADING_IN) << "one wreck a placement";
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f));
  EXPECT_EQ(second->state, GUI_BS_Hulk::FADING_OUT);
  EXPECT_FALSE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f)) << "fading wrecks are not shattered twice";
  EXPECT_EQ(CountEffects("group", "shatter_small"), 1);
  EXPECT_EQ(CountEffects("group", "shatter_large"), 1);
  EXPECT_EQ(RecordedEffects().size(), 2u);
}

TEST_F(HulksTest, TheShatterEffectFollowsTheHullSize) {
  const std::pair<float, const char*> cases[] = {{60.0f, "shatter_small"},   {109.9f, "shatter_small"},
                                                 {110.0f, "shatter_medium"}, {149.0f, "shatter_medium"},
                                                 {150.0f, "shatter_large"},  {400.0f, "shatter_large"}};
  for (const auto& [size, name] : cases) EXPECT_EQ(GUI_BS_Hulk::ShatterEffectFor(size), name) << size;
}

TEST_F(HulksTest, BreakupGridHasNoPiecesUnderSixteenUnitsAndAtMostSixteenASide) {
  const std::pair<float, int> cases[] = {
      {0.0f, 0},    {15.9f, 0},    {16.0f, 1},  {100.0f, 6},
      {256.0f, 16}, {5000.0f, 16}, {-40.0f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto& [size, n] : cases) {
    SCOPED_TRACE(size);
    EXPECT_EQ(GUI_BS_BreakupCollection::PiecesPerSide(size), n);
    GUI_BS_BreakupCollection c(size, 40.0f, 40.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(c.pieces.size(), static_cast<size_t>(n * n));
    for (const GUI_BS_Breakup& p : c.pieces) {
      EXPECT_TRUE(std::isfinite(p.restX) && std::isfinite(p.restY) && std::isfinite(p.width));
      EXPECT_GE(p.angle, 0.0f);
      EXPECT_LT(p.angle, 360.0f);
    }
  }
}

TEST_F(HulksTest, APiecelessBreakupFinishesAtOnceAndAFullOneWithinItsLongestLife) {
  GUI_BS_BreakupCollection none(10.0f, 10.0f, 10.0f, 0.0f, 0.0f, 1.0f, 1.0f);
  none.Start(100.0f, 100.0f, 45.0f);
  none.Update(16.0f);
  EXPECT_EQ(none.state, GUI_BS_BreakupCollection::FINISHED);

  GUI_BS_BreakupCollection full(64.0f, 64.0f, 48.0f, 0.0f, 0.0f, 1.0f, 1.0f);
  ASSERT_EQ(full.pieces.size(), 16u);
  full.Start(500.0f, 500.0f, 90.0f);
  full.Update(1.0f);
  // Before its delay a piece lies at its rest place turned with the unit.
  for (const GUI_BS_Breakup& p : full.pieces)
    if (!p.started) {
      EXPECT_NEAR(p.x, 500.0f - p.restY, 1e-3f);
      EXPECT_NEAR(p.y, 500.0f + p.restX, 1e-3f);
    }
  float ms = 1.0f;
  while (full.state == GUI_BS_BreakupCollection::RUNNING && ms < 3000.0f) {
    full.Update(16.0f);
    ms += 16.0f;
  }
  EXPECT_EQ(full.state, GUI_BS_BreakupCollection::FINISHED);
  EXPECT_LE(ms, 250.0f + 1800.0f + 32.0f);
}

TEST_F(HulksTest, ABlastShakesTheCameraByItsScreenDistanceAndTheOption) {
  struct Case {
    const char* name;
    float strength, x, y;
    bool option;
    float shake;
  } cases[] = {
      {"at the centre", 64.0f, 2000.0f, 2000.0f, true, 1.0f},
      {"heavy at the centre", 256.0f, 2000.0f, 2000.0f, true, 4.0f},
      {"500 px out: weaker", 256.0f, 2500.0f, 2000.0f, true, 3.0f},
      {"400 px out: full", 256.0f, 2400.0f, 2000.0f, true, 4.0f},
      {"v just above 0.1", 26.0f, 2000.0f, 2000.0f, true, 4.0f * 0.25f * 26.0f / 64.0f},
      {"v at or below 0.1", 25.0f, 2000.0f, 2000.0f, true, 0.0f},
      {"far beyond 400 px", 64.0f, 2500.0f, 2000.0f, true, 0.0f},
      {"off the map view", 5000.0f, 2000.0f + 512.0f + 200.0f, 2000.0f, true, 0.0f},
      {"option off", 256.0f, 2000.0f, 2000.0f, false, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraShake::Instance() = CameraShake();
    SIM_Options::Get().SetFloat("CAMERASHAKE", c.option ? 1.0f : 0.0f);
    EXPECT_NEAR(ShakeFromBlast(c.strength, c.x, c.y), c.shake, 1e-4f);
    const CameraShake& s = CameraShake::Instance();
    EXPECT_EQ(s.active, c.shake > 0.0f);
    if (c.shake > 0.0f) {
      EXPECT_NEAR(s.maxAmplitude, c.shake * 7.0f, 1e-3f);
      EXPECT_NEAR(s.duration, c.shake * 500.0f, 1e-2f);
    }
  }
}

TEST_F(HulksTest, AShakeDiesDownAndLeavesTheCameraWhereItWas) {
  SIM_Options::Get().SetFloat("CAMERASHAKE", 1.0f);
  StartCameraShake(1.0f);
  const CameraShake& s = CameraShake::Instance();
  ASSERT_TRUE(s.active);
  float biggest = 0.0f;
  for (int i = 0; i < 60 && s.active; ++i) {
    StepCameraShake(12.0f);
    biggest = std::max({biggest, std::fabs(s.offsetX), std::fabs(s.offsetY)});
    EXPECT_LE(std::fabs(s.offsetX), 7.0f);
    EXPECT_GE(s.period, 25.0f);
    EXPECT_LE(s.period, 125.0f);
  }
  EXPECT_GT(biggest, 1.0f);
  EXPECT_FALSE(s.active) << "500 ms for a shake of 1";
  EXPECT_EQ(s.offsetX, 0.0f);
  EXPECT_EQ(s.offsetY, 0.0f);
}

}  // namespace
