// Rocket trails: a puff every 2.8 units along the missile, 400 per trail in a ring,
// trails handed to the next missile once their last puff has gone; shock waves: an
// additive ring that is brightest half way and slows as it grows.
#include <gtest/gtest.h>

#include <cmath>

#include "battle/MissileLauncher.h"
#include "effects/RocketTrails.h"
#include "effects/WorldEffectsFixture.h"
#include "engine/D3DEngine.h"
#include "engine/Textures.h"

namespace {

class RocketTrailsTest : public explosions_test::WorldEffectsTest {
 protected:
  GUI_BS_RocketTrailManager& trails() { return GUI_BS_RocketTrailManager::Instance(); }
};

TEST_F(RocketTrailsTest, PuffsArePlacedEvery28UnitsAndTheRemainderIsKept) {
  struct Case {
    std::vector<float> moves;
    int puffs;
    float kept;
  } cases[] = {
      {{10.0f}, 3, 1.6f},             // 2.8, 5.6 and 8.4
      {{2.8f}, 0, 2.8f},              // not above 2.8: nothing yet
      {{2.0f, 2.0f}, 1, 1.2f},        // the accumulated 4.0 places one
      {{1.0f, 1.0f, 1.0f}, 1, 0.2f},  // 3.0 places one at 2.8
      {{0.0f}, 0, 0.0f},
  };
  for (const Case& c : cases) {
    SIM_Missile missile;
    missile.alive = true;
    missile.heading = 90.0f;  // east
    missile.x = 100.0f;
    missile.y = 200.0f;
    GUI_BS_RocketTrail trail;
    trail.Start(&missile);
    for (float d : c.moves) {
      trail.Advance(d);
      missile.x += d;
    }
    EXPECT_EQ(trail.LivePuffs(), c.puffs);
    EXPECT_NEAR(trail.accumulator, c.kept, 1e-4f);
    if (c.puffs > 0 && c.moves.size() == 1) {
      EXPECT_NEAR(trail.puffs[0].x, 102.8f, 1e-3f) << "the first puff 2.8 units along the heading";
      EXPECT_NEAR(trail.puffs[0].y, 200.0f, 1e-3f);
      EXPECT_FALSE(trail.waitingForFirstPuff);
    }
  }
}

TEST_F(RocketTrailsTest, The401stPuffOverwritesTheOldestSlot) {
  SIM_Missile missile;
  missile.alive = true;
  GUI_BS_RocketTrail trail;
  trail.Start(&missile);
  // Each move brings the accumulator just over 2.8: one puff apiece.
  for (int i = 0; i < 400; ++i) trail.Advance(2.81f - trail.accumulator);
  EXPECT_EQ(trail.next, 0);
  EXPECT_EQ(trail.LivePuffs(), 400);
  trail.puffs[0].age = 1234.0f;
  trail.Advance(2.81f - trail.accumulator);
  EXPECT_EQ(trail.next, 1);
  EXPECT_EQ(trail.puffs[0].age, 0.0f) << "the oldest slot was started again";
}

TEST_F(RocketTrailsTest, ATrailFollowsItsMissileAndIsHandedOutAgainAfterItsLastPuff) {
  SIM_Missile missile;
  missile.alive = true;
  missile.x = missile.y = 1000.0f;
  GUI_BS_RocketTrail* trail = trails().GetFreeTrail();
  trail->Start(&missile);
  EXPECT_EQ(trails().GetFreeTrail(), trails().GetFreeTrail()) << "a second free trail is the same new one";
  ASSERT_EQ(trails().trails.size(), 2u);
  for (int i = 0; i < 10; ++i) {
    missile.y -= 8.0f;
    trail->Advance(8.0f);
  }
  const int puffs = trail->LivePuffs();
  EXPECT_GT(puffs, 20);
  platform::Texture* smoke = FindTexture("smoketrails.dds");
  ASSERT_NE(smoke, nullptr);
  EXPECT_EQ(Quads(Record([&] { trails().Draw(); }), smoke), puffs);
  missile.alive = false;  // the missile is gone; its smoke stays
  int frames = 0;
  while (trail->inUse && frames < 400) {
    Record([&] { trails().Draw(); });
    ++frames;
  }
  EXPECT_FALSE(trail->inUse);
  EXPECT_NEAR(frames * 16.0f, SmokePuff::kLifeMs, 32.0f) << "free once the last puff has lived 3500 ms";
  EXPECT_EQ(trails().GetFreeTrail(), trails().trails[0].get()) << "the freed trail is handed out first";
}

TEST_F(RocketTrailsTest, PuffsFadeAfterOneSecondAndTripleInSize) {
  SmokePuff puff;
  GVertex quad[4];
  puff.quad = quad;
  puff.Start(1000.0f, 1000.0f);
  puff.driftX = puff.driftY = 0.0f;
  puff.angle = 0.0f;
  puff.size = 3.0f;
  struct Step {
    float to;
    float alpha;
    float halfSide;
  } steps[] = {{500.0f, 1.0f, 3.0f * (1.0f + 2.0f * 500.0f / 3500.0f)},
               {1000.0f, 1.0f, 3.0f * (1.0f + 2.0f * 1000.0f / 3500.0f)},
               {2250.0f, 0.5f, 3.0f * (1.0f + 2.0f * 2250.0f / 3500.0f)},
               {3500.0f, 0.0f, 9.0f}};
  for (const Step& s : steps) {
    puff.Update(s.to - puff.age);
    EXPECT_NEAR(puff.alpha, s.alpha, 1e-3f) << s.to;
    EXPECT_NEAR(quad[1].x - quad[0].x, 2.0f * s.halfSide, 1e-2f) << s.to;
  }
  puff.Update(1.0f);
  EXPECT_FALSE(puff.alive);
}

TEST_F(RocketTrailsTest, ShockWaveIsBrightestHalfWayAndEndsShortOfItsRadius) {
  GUI_BS_ShockWave wave(100.0f, 500.0f, "unit_placed.dds", 1000.0f, 1000.0f);
  EXPECT_FALSE(wave.Step(16.0f)) << "the first frame only starts it";
  EXPECT_TRUE(wave.started);
  float brightestAt = 0.0f, brightest = -1.0f;
  while (wave.Step(10.0f)) {
    if (wave.alpha > brightest) {
      brightest = wave.alpha;
      brightestAt = wave.clock;
    }
  }
  EXPECT_FALSE(wave.alive);
  EXPECT_TRUE(wave.IsFinished());
  EXPECT_NEAR(brightestAt, 250.0f, 10.0f);
  EXPECT_GT(wave.size, 60.0f);
  EXPECT_LT(wave.size, 100.0f) << "the growth slows: the full radius is never reached";
  GUI_BS_ShockWave zero(50.0f, 0.0f, "unit_placed.dds", 0.0f, 0.0f);
  zero.Step(16.0f);
  EXPECT_FALSE(zero.Step(16.0f));
  EXPECT_TRUE(zero.IsFinished()) << "a zero duration ends at once";
}

TEST_F(RocketTrailsTest, ShockWaveDrawsOneAdditiveBatchAndLeavesNormalBlending) {
  GUI_BS_ShockWave::Spawn(100.0f, 500.0f, "unit_placed.dds", 1000.0f, 1000.0f);
  GUI_BS_EffectsManager& effects = GUI_BS_EffectsManager::Instance();
  ASSERT_EQ(effects.layerLists[1].size(), 1u);
  Record([&] { effects.DrawLayer(1); });  // starts
  const auto& draws = Record([&] { effects.DrawLayer(1); });
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(Quads(draws), 4);
  EXPECT_EQ(draws[0].destBlend, 2u) << "additive: destination ONE";
  int frames = 0;
  while (!effects.allEffects.empty() && frames++ < 100) Record([&] { effects.DrawLayer(1); });
  EXPECT_TRUE(effects.allEffects.empty()) << "deleted once finished";
}

}  // namespace
