// After a warm-up, busy frames of explosions, plumes, glare, shock waves, debris, death
// sequences, rocket trails and air-strike smoke allocate nothing: every pool is fixed
// and reused.
#include <gtest/gtest.h>

#include "battle/Battle.h"
#include "battle/MissileLauncher.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/AirStrikeTrails.h"
#include "effects/CountingAllocator.h"
#include "effects/Debris.h"
#include "effects/Explosions.h"
#include "effects/ParticleSystem.h"
#include "effects/RocketTrails.h"
#include "effects/WorldEffectsFixture.h"
#include "engine/Random.h"

namespace {

class ExplosionBudgetTest : public explosions_test::WorldEffectsTest {
 protected:
  void SetUp() override {
    explosions_test::WorldEffectsTest::SetUp();
    InitRandomWithSeed(102);
    ParticleConfigsLoad();
    ExplosionConfigsLoad();
    GUI_BS_AirStrikeTrailSprite::PoolInit();
    // The break-ups that death sequences start are still kept by the battle world's
    // stand-in record, which grows to its bound: give it its room now.
    missile.alive = true;
    missile.heading = 90.0f;
  }
  void Frame() {
    ++frame;
    const float x = 700.0f + float((frame * 37) % 600), y = 750.0f + float((frame * 53) % 500);
    switch (frame % 8) {
      case 0:
        SpawnExplosion(EXP_BULLET_IN_DUST, 0, 0, 0, 0, 0, 0, x, y);
        break;
      case 1:
        SpawnExplosion(EXP_SMALL, 0, 0, 0, 0, 0, 0, x, y);
        break;
      case 2:
        SpawnExplosion(EXP_MEDIUM, 0, 0, 0, 0, 0, 0, x, y);
        SpawnExplosion(EXP_BLASTGLARE_LM, 300, 600, 0, 0, 0, 0, x, y);
        break;
      case 3:
        SpawnExplosion(EXP_LARGE, 0, 0, 0, 0, 0, 0, x, y);
        SpawnExplosion(EXP_PLUMES, 12, 16, 0.125f, 0, 0, 0, x, y);
        SpawnExplosion(EXP_DEBRIS, 32, 8, 0, 256, 128, 0, x, y);
        SpawnExplosion(EXP_BLASTGLARE, 64, 200, 0, 0, 0, 0, x, y);
        break;
      case 4:
        GUI_BS_ShockWave::Spawn(100.0f, 500.0f, "shockwave.dds", x, y);
        break;
      case 5:
        SpawnExplosion(EXP_SMALL_SPARKY, 0, 0, 0, 0, 0, 0, x, y);
        break;
      case 6:
        SpawnExplosion(EXP_INCENDIARY, 0, 0, 0, 0, 0, 0, x, y);
        break;
      default:
        break;
    }
    if (frame % 60 == 0) DeathSequencePool::Instance().Start("death_large", x, y, 30.0f, nullptr);
    if (frame % 45 == 0) GUI_BS_AirStrikeTrailSprite::SpawnBurst(x, y);
    // A missile every 40 frames, flying for 20.
    if (frame % 40 == 0) {
      missile.x = x;
      missile.y = y;
      trail = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
      trail->Start(&missile);
    }
    if (trail && frame % 40 < 20) {
      missile.x += 10.0f;
      trail->Advance(10.0f);
    }
    Record([&] {
      GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
      DeathSequencePool::Instance().Update(16.0f);
      DrawDebris();
      fx.DrawLayer(0);
      fx.DrawLayer(1);
      ParticleGroupsCull();
      GUI_BS_RocketTrailManager::Instance().Draw();
      GUI_BS_AirStrikeTrailSprite::DrawAll();
    });
  }
  SIM_Missile missile;
  GUI_BS_RocketTrail* trail = nullptr;
  int frame = 0;
};

TEST_F(ExplosionBudgetTest, AfterAWarmUpBusyFramesOfExplosionsAllocateNothing) {
  dev().recording = false;  // the device's own record would count
  for (int i = 0; i < 960; ++i) Frame();
  ASSERT_GT(GUI_BS_ExplosionPlume::LiveCount(), 0) << "busy: plumes are drifting";
  ASSERT_GT(GUI_BS_DebrisPool::Instance().ActiveCount(), 0);
  ASSERT_GT(DeathSequencePool::Instance().ActiveCount() + GUI_BS_BlastGlare::LiveCount(), 0);
  zt_test::StartCountingAllocations();
  for (int i = 0; i < 100; ++i) Frame();
  const int64_t allocations = zt_test::StopCountingAllocations();
  EXPECT_EQ(allocations, 0);
  if (trail) trail->missile = nullptr;
}

}  // namespace
