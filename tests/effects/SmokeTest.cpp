// Drifting smoke and exhaust puffs.
#include <gtest/gtest.h>

#include "effects/EffectsFixture.h"
#include "effects/HeatEmitters.h"
#include "effects/Smoke.h"
#include "engine/Random.h"
#include "simdata/Options.h"

namespace {
using effects_test::EffectsTest;

class SmokeTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    InitRandomWithSeed(9);
  }
};

TEST_F(SmokeTest, TheNineExhaustKindsComeFromTheShippedFile) {
  for (const char* name : {"SMALL_DUST", "SMALL_SNOW", "SMALL_SAND", "MEDIUM_DUST", "MEDIUM_SNOW",
                           "MEDIUM_SAND", "LARGE_DUST", "LARGE_SNOW", "LARGE_SAND"}) {
    SCOPED_TRACE(name);
    const ExhaustKind* k = ExhaustKindFind(name);
    ASSERT_NE(k, nullptr);
    EXPECT_GT(k->MinSize, 0.0f);
    EXPECT_GT(k->MaxSize, k->MinSize);
    EXPECT_GT(k->Lifetime, 0.0f);
    EXPECT_GT(k->MaxUV, k->MinUV);
  }
  EXPECT_EQ(ExhaustKindFind("HUGE_DUST"), nullptr);
  EXPECT_EQ(ExhaustKindFind("small_dust"), nullptr) << "names are exact";
}

TEST_F(SmokeTest, AMiddleAgedPuffShowsInBothPassesAddingUpToOne) {
  ExhaustKind kind;
  kind.name = "TEST";
  kind.MinSize = 4;
  kind.MaxSize = 10;
  kind.MinUV = kind.MaxUV = 20;  // an empty cell range picks the first cell
  kind.Lifetime = 1000;
  GUI_BS_Exhaust e(&kind);
  e.Emit(500, 400);
  GetBattle().frameStep = 600.0f;  // progress 0.6: between 0.5 and 0.8
  e.DrawPass(0);
  GetBattle().paused = true;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const int before = vb.QueuedCount();
  e.DrawPass(1);
  ASSERT_EQ(vb.QueuedCount(), before + 4);
  const GUI_BS_ExhaustPuff& p = e.puffs[0];
  const float lower = 1.0f - (p.progress - 0.5f) / 0.3f, upper = (p.progress - 0.5f) / 0.3f;
  EXPECT_NEAR(lower + upper, 1.0f, 1e-5);
  EXPECT_NEAR(p.progress, 0.6f, 1e-5);
  vb.Flush();
}

TEST_F(SmokeTest, DriftingSmokeDrawsItsHighestSpriteAndShadowsOnlyWhenAsked) {
  GUI_BS_DriftingSmoke& smoke = GUI_BS_DriftingSmoke::Instance();
  GUI_BS_HeatParticle p;
  p.x = 500, p.y = 400, p.size = 8, p.lifeAlpha = 1, p.lifetime = 1000;
  for (int i = 0; i < 5; ++i) smoke.AddFromParticle(p, 0.001f);
  smoke.sprites[0].active = smoke.sprites[1].active = false;
  EXPECT_EQ(smoke.highestUsed, 4);
  for (float shadows : {1.0f, 0.0f}) {
    SCOPED_TRACE(shadows);
    SIM_Options::Get().SetFloat("SHADOWS", shadows);
    const uint64_t draws = dev().Counters().draws;
    smoke.Draw();
    EXPECT_EQ(dev().Counters().draws - draws, shadows != 0.0f ? 2u : 1u) << "smoke, and shadows when on";
  }
  EXPECT_EQ(smoke.highestUsed, 4) << "the top sprite is kept and drawn";
  // All 100 taken: a further hand-over is refused.
  for (int i = 0; i < GUI_BS_DriftingSmoke::kSprites; ++i) smoke.AddFromParticle(p, 0.0f);
  EXPECT_FALSE(smoke.AddFromParticle(p, 0.0f));
}

TEST_F(SmokeTest, ExhaustRequestsShareAPoolOfEmitters) {
  for (int i = 0; i < 10; ++i) ExhaustRequest("MEDIUM_DUST", 100.0f + 24.0f * i, 300.0f);
  ExhaustRequest("MEDIUM_DUST", 900.0f, 700.0f);
  ExhaustRequest("NO_SUCH_KIND", 900.0f, 700.0f);
  int emitters = 0, puffs = 0;
  for (GUI_BS_Exhaust* e : ExhaustList()) {
    ++emitters;
    puffs += e->activeCount;
  }
  EXPECT_EQ(emitters, 2) << "one tank's trail, one more far away";
  EXPECT_EQ(puffs, 11);
  const uint64_t draws = dev().Counters().draws;
  ExhaustDrawAll(0);
  EXPECT_EQ(dev().Counters().draws - draws, 1u) << "every puff in one batch";
}

}  // namespace
