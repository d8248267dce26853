// Heat-particle configs, the six looks of a heat particle and the emitters that own 512;
// the smoke that rides on a wounded unit and the pulse of a unit's light.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "battle/BattleUnit.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsFixture.h"
#include "effects/HeatEmitters.h"
#include "effects/Smoke.h"
#include "effects/UnitEmitters.h"
#include "engine/Random.h"
#include "simdata/Options.h"
#include "simdata/UnitHull.h"
#include "support/TestSupport.h"

namespace {
using effects_test::EffectsTest;

class HeatEmittersTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    InitRandomWithSeed(11);
  }
  // A configuration written to the user folder and read as the game reads them.
  GUI_BS_HPConfig* Read(const std::string& body) {
    const std::string path = zt_test::UserRoot() + "/heat.txt";
    std::ofstream(path) << "[config]\nname = test_heat\n" << body;
    auto& configs = GUI_BS_HPConfigManager::Instance().configs;
    configs.push_back(std::make_unique<GUI_BS_HPConfig>());
    GUI_BS_HPConfig::Read(configs.back().get(), path);
    return configs.back().get();
  }
};

TEST_F(HeatEmittersTest, StageDurationsBecomeFractionsOfTheLife) {
  struct Case {
    const char* what;
    const char* durations;
    float expected[HS_COUNT];
  } cases[] = {
      {"equal",
       "Duration_White = 1\nDuration_Yellow = 1\nDuration_Red = 1\nDuration_Flames = 1\nDuration_Soft = 1\n"
       "Duration_Smoke = 1\n",
       {1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f}},
      {"weighted", "Duration_White = 1\nDuration_Smoke = 3\n", {0.25f, 0, 0, 0, 0, 0.75f}},
      {"all missing: equal sixths, never a division by zero",
       "",
       {1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f, 1 / 6.f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_BS_HPConfig* cfg = Read(c.durations);
    for (int i = 0; i < HS_COUNT; ++i) EXPECT_NEAR(cfg->duration[i], c.expected[i], 1e-6);
  }
}

TEST_F(HeatEmittersTest, TheWriterReadsBackInItsOwnOrder) {
  GUI_BS_HPConfig* cfg = Read("MinSize = 2.5\nCreationInterval = 12.125\nSizeGrowth_Red = 0.0125\n");
  const std::string path = zt_test::UserRoot() + "/written.txt";
  ASSERT_TRUE(GUI_BS_HPConfig::Write(*cfg, path));
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_LT(text.find("name = test_heat"), text.find("MinSize = 2.5000"));
  EXPECT_LT(text.find("CreationInterval = 12.1250"), text.find("Lifetime = "));
  EXPECT_LT(text.find("Duration_Smoke"), text.find("SizeGrowth_White"));
  EXPECT_LT(text.find("SizeGrowth_Smoke"), text.find("Speed_Falloff_White"));
  GUI_BS_HPConfig back;
  GUI_BS_HPConfig::Read(&back, path);
  EXPECT_FLOAT_EQ(back.sizeGrowth[HS_RED], 0.0125f);
  EXPECT_FLOAT_EQ(back.CreationInterval, 12.125f);
}

TEST_F(HeatEmittersTest, The513thParticleReplacesTheOldest) {
  GUI_BS_HPConfig* cfg =
      Read("MinSize = 2\nMaxSize = 3\nCreationInterval = 1\nLifetime = 100000\nBaseSpeed = 0.01\n");
  GUI_BS_GroundHeatEmitter e(10.0f, -1.0f, cfg->name, 500, 400);
  ASSERT_NE(e.config, nullptr);
  for (int frame = 0; frame < 40; ++frame) e.Update(16.0f);
  EXPECT_EQ(e.liveCount, GUI_BS_HeatEmitter::kParticles) << "the pool is full";
  float oldest = -1.0f;
  int oldestIndex = -1;
  for (int i = 0; i < GUI_BS_HeatEmitter::kParticles; ++i)
    if (e.particles[size_t(i)].age > oldest) oldest = e.particles[size_t(i)].age, oldestIndex = i;
  GUI_BS_HeatParticle& next = e.NextParticle();
  EXPECT_EQ(&next, &e.particles[size_t(oldestIndex)]);
  EXPECT_EQ(e.highestUsed, GUI_BS_HeatEmitter::kParticles - 1);
}

TEST_F(HeatEmittersTest, AZeroOrNegativeIntervalEmitsABoundedAmountAndEnds) {
  for (const char* interval : {"0", "-5"}) {
    SCOPED_TRACE(interval);
    GUI_BS_HPConfig* cfg =
        Read(std::string("MinSize = 2\nMaxSize = 3\nLifetime = 500\nBaseSpeed = 0.01\nCreationInterval = ") +
             interval + "\n");
    GUI_BS_GroundHeatEmitter e(10.0f, -1.0f, cfg->name, 500, 400);
    e.Update(16.0f);
    EXPECT_GT(e.liveCount, 0);
    EXPECT_LE(e.liveCount, static_cast<int>(16.0f / kMinCreationInterval));
  }
}

TEST_F(HeatEmittersTest, AParticleGoesThroughItsLooksAndStaysSmoke) {
  GUI_BS_HPConfig* cfg = Read("MinSize = 2\nMaxSize = 3\nLifetime = 600\nAlphaFalloff = 0.5\n");
  GUI_BS_HeatParticle p;
  p.BindConfig(cfg);
  p.Start(0.0f, 4.0f, 0, 0, 600.0f, 500, 400);
  int lastStage = 0;
  bool alive = true;
  for (int t = 0; t < 50 && alive; ++t) {
    alive = p.Update(16.0f);
    EXPECT_GE(p.stage, lastStage) << "looks only move forward";
    EXPECT_FALSE(std::isnan(p.lifeAlpha));
    lastStage = p.stage;
  }
  EXPECT_EQ(lastStage, HS_SMOKE) << "the smoke look is the last";
  EXPECT_FALSE(p.alive) << "dies at the end of its life";
  // A fade that would start after the end of life keeps the particle opaque.
  p.BindConfig(cfg);
  p.fadeStart = 1.5f;
  p.Start(0.0f, 4.0f, 0, 0, 600.0f, 500, 400);
  for (int t = 0; t < 20; ++t) p.Update(16.0f);
  EXPECT_FLOAT_EQ(p.lifeAlpha, 1.0f);
}

TEST_F(HeatEmittersTest, AFlameStartsSmallNearTheNozzle) {
  GUI_BS_Flamethrower flame;
  ASSERT_NE(flame.config, nullptr) << "the shipped flamethrower config";
  flame.StartFlame(500, 400, 500, 200);
  flame.Update(16.0f);
  ASSERT_GT(flame.liveCount, 0);
  for (int i = 0; i <= flame.highestUsed; ++i) {
    const GUI_BS_HeatParticle& p = flame.particles[size_t(i)];
    if (p.alive) {
      EXPECT_LT(std::hypot(p.x - 500, p.y - 400), 200 * 0.2f * 16.0f / 50.0f + 10.0f);
    }
  }
}

TEST_F(HeatEmittersTest, BurningGroundHandsAgedSmokeToDriftingSmoke) {
  SIM_Options::Get().SetFloat("DRIFTINGSMOKE", 1.0f);
  GUI_BS_HPConfig* cfg = Read(
      "MinSize = 4\nMaxSize = 6\nCreationInterval = 30\nLifetime = 1500\nBaseSpeed = 0.01\n"
      "Duration_White = 1\nDuration_Smoke = 5\n");
  GUI_BS_GroundHeatEmitter e(10.0f, -1.0f, cfg->name, 500, 400);
  GUI_BS_DriftingSmoke& smoke = GUI_BS_DriftingSmoke::Instance();
  for (int frame = 0; frame < 400; ++frame) e.DrawForPass(0);
  EXPECT_GT(smoke.ActiveCount(), 0);
  SetEffectsFrameRatioOverride(0.5f);
  smoke.Clear();
  for (int frame = 0; frame < 400; ++frame) e.DrawForPass(0);
  EXPECT_EQ(smoke.ActiveCount(), 0) << "slow frames hand nothing over";
}

TEST_F(HeatEmittersTest, ExtinguishingStopsOnlyNearbyFiresThatCanGoOut) {
  GUI_BS_GroundEmitter near(10, -1, "burning_ground", 100, 100), far(10, -1, "burning_ground", 900, 900);
  near.extinguishable = far.extinguishable = true;
  GUI_BS_GroundEmitter stubborn(10, -1, "burning_ground", 110, 100);
  stubborn.extinguishable = false;
  GroundFireExtinguish(50.0f, 100, 100);
  EXPECT_FALSE(near.heat->emitting);
  EXPECT_TRUE(far.heat->emitting);
  EXPECT_TRUE(stubborn.heat->emitting);
}

TEST_F(HeatEmittersTest, AUnitEmitterRidesOnItsPointUntilItsHeatRunsOut) {
  SIM_BattleUnit unit;
  unit.sizeType = SIZE_TANK;
  unit.state = US_ACTIVE;
  unit.x = 500.0f;
  unit.y = 400.0f;
  unit.SetHeading(90.0f);
  unit.CacheHeading();
  SIM_UnitTargetData point;
  point.x = 10.0f;
  point.y = 0.0f;
  point.name = "tank_chassis";
  GUI_BS_UnitEmmiter e(&point, &unit, "small_unit_emitter");
  ASSERT_TRUE(e.heat->active);
  EXPECT_EQ(UnitEmitterList().size(), 1u);
  // Turned with the hull: ten units to the right of a unit heading east is ten south.
  e.UpdatePosition();
  EXPECT_NEAR(e.heat->centreX, 500.0f, 1e-3f);
  EXPECT_NEAR(e.heat->centreY, 410.0f, 1e-3f);
  // A standing unit smokes at the slowest rate; a building at the full one.
  EXPECT_FLOAT_EQ(e.heat->emissionRate, GUI_BS_UnitEmmiter::kSlowest);
  unit.sizeType = SIZE_BUILDING;
  e.UpdatePosition();
  EXPECT_FLOAT_EQ(e.heat->emissionRate, 1.0f);

  // A destroyed unit's smoke draws nothing (and does not age) until it is pruned.
  unit.state = US_DESTROYED;
  const float age = e.heat->age;
  const uint64_t draws = engine().Device()->Counters().draws;
  e.Draw();
  EXPECT_EQ(e.heat->age, age);
  EXPECT_EQ(engine().Device()->Counters().draws, draws);
  unit.state = US_ACTIVE;
  e.Draw();
  EXPECT_GT(e.heat->age, age);
  EXPECT_FALSE(e.finished);
  // Spent: marked finished at its next update.
  e.heat->active = false;
  e.Draw();
  EXPECT_TRUE(e.finished);
  EXPECT_TRUE(e.IsFinished());
}

TEST_F(HeatEmittersTest, AUnitLightPulsesBetweenItsBoundsEvery64Ms) {
  int lowest = 255, highest = 0;
  for (float t = 0.0f; t <= 64.0f; t += 0.5f) {
    const int a = GUI_BS_UnitLightmap::PulseAlpha(t);
    lowest = std::min(lowest, a);
    highest = std::max(highest, a);
  }
  EXPECT_EQ(lowest, static_cast<int>(0.78f * 255.0f));
  EXPECT_EQ(highest, 255);
  EXPECT_EQ(GUI_BS_UnitLightmap::PulseAlpha(0.0f), GUI_BS_UnitLightmap::PulseAlpha(64.0f));
  EXPECT_EQ(GUI_BS_UnitLightmap::PulseAlpha(32.0f), 255);
}

// A fire that burns out is deleted in the frame it queued its haze for the distortion
// pass; the pass later that frame must not find it (it read freed memory and crashed).
TEST_F(HeatEmittersTest, ABurntOutFireLeavesTheDistortionQueue) {
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  auto* fire = new GUI_BS_GroundEmitter(10.0f, 200.0f, "burning_ground", 300, 300);
  fx.Add(fire);
  bool queued = false;
  for (int frame = 0; frame < 3000 && !fx.allEffects.empty(); ++frame) {
    fx.DrawLayer(0);
    queued = queued || !distortion.heat.empty();
    if (!fx.allEffects.empty()) distortion.heat.clear();  // as the distortion pass does
  }
  ASSERT_TRUE(fx.allEffects.empty()) << "the fire burnt out";
  EXPECT_TRUE(queued) << "its haze was queued while it burnt";
  EXPECT_TRUE(distortion.heat.empty()) << "the deleted fire left the queue";
}

}  // namespace
