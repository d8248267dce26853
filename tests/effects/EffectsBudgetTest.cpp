// What a busy frame of effects costs: after a warm-up nothing is allocated, and the
// light map is switched to the same number of times however many emitters burn. The
// frames are whole: fires, bursts, gunfire, exhaust and smoke on the lit map together
// with explosions, plumes, glare, shock waves, debris, death sequences, missiles' smoke
// trails and air-strike trails.
#include <gtest/gtest.h>

#include "battle/MissileLauncher.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/AirStrikeTrails.h"
#include "effects/CountingAllocator.h"
#include "effects/Debris.h"
#include "effects/EffectsFixture.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/PostProcessing.h"
#include "effects/RocketTrails.h"
#include "effects/Smoke.h"
#include "engine/Random.h"
#include "simdata/Options.h"

namespace {
using effects_test::EffectsTest;

class EffectsBudgetTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    InitRandomWithSeed(26);
    SIM_Options::Get().SetFloat("DRIFTINGSMOKE", 1.0f);
    SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
    Light(true);
    ExplosionEffectsBattleStart();
    EffectsBattleStart();
    ParticleConfigsLoad();
    ExplosionConfigsLoad();
    // The break-ups that death sequences start are kept by the battle world's stand-in
    // record, which grows to its bound: give it its room now.
    missile.alive = true;
    missile.heading = 90.0f;
  }
  void TearDown() override {
    if (trail) trail->missile = nullptr;  // the missile dies with the fixture
    EffectsTest::TearDown();
  }
  // n medium and large blasts spread over the view.
  void Explode(int n) {
    for (int i = 0; i < n; ++i)
      SpawnExplosion(i % 3 == 0 ? EXP_LARGE : EXP_MEDIUM, 0, 0, 0, 0, 0, 0, 80.0f + 43.0f * (i % 20),
                     80.0f + 60.0f * (i / 20));
  }
  // What a kill, a shell, a missile and an air strike leave this frame.
  void Explosions(float x, float y) {
    switch (frame % 8) {
      case 0:
        SpawnExplosion(EXP_BULLET_IN_DUST, 0, 0, 0, 0, 0, 0, x, y);
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
      case 6:
        SpawnExplosion(EXP_INCENDIARY, 0, 0, 0, 0, 0, 0, x, y);
        break;
      default:
        SpawnExplosion(EXP_SMALL_FIERY, 0, 0, 0, 0, 0, 0, x, y);
        break;
    }
    if (frame % 60 == 0) DeathSequencePool::Instance().Start("death_large", x, y, 30.0f, nullptr);
    if (frame % 45 == 0) GUI_BS_AirStrikeTrailSprite::SpawnBurst(x, y);
    if (frame % 40 == 0) {  // a missile every 40 frames, flying for 20
      missile.x = x;
      missile.y = y;
      if (trail) trail->missile = nullptr;
      trail = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
      trail->Start(&missile);
    }
    if (trail && frame % 40 < 20) {
      missile.x += 10.0f;
      trail->Advance(10.0f);
    }
  }
  // Fires on `fires` spots that burn for ever, with bursts, shots and tanks around them.
  void Populate(int fires) {
    for (int i = 0; i < fires; ++i)
      GUI_BS_EffectsManager::Instance().Add(new GUI_BS_GroundEmitter(
          12.0f, -1.0f, "burning_ground", 40.0f + 19.0f * (i % 50), 60.0f + 160.0f * (i / 50)));
    burstsPerFrame = fires / 10;
  }
  void Frame() {
    GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
    GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
    ++frame;
    engine().BeginScene();
    pp.PrepareFrame();
    // Bursts come and go: their groups are pooled by name.
    for (int i = 0; i < burstsPerFrame; ++i) {
      const float x = 50.0f + static_cast<float>((frame * 37 + i * 101) % 900);
      const float y = 50.0f + static_cast<float>((frame * 53 + i * 67) % 650);
      GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("test_burst", x, y, 0, 0);
      if (!g->emitters[0]) {
        g->AddEmitter(NewParticleEmmiter("fire_burst", x, y, 0, 0));
        g->AddEmitter(NewParticleEmmiter("smoke_puff", x, y, 0, 0));
      }
      fx.Add(g);
      MuzzleFlashSpawn(3, x, y, 45.0f);
      GUI_BS_LightmapManager::Instance().AddFlash(x, y, 40.0f);
      ExhaustRequest("MEDIUM_DUST", x + static_cast<float>(frame % 40) * 6.0f, y);
    }
    Explosions(100.0f + static_cast<float>((frame * 37) % 800),
               100.0f + static_cast<float>((frame * 53) % 560));
    DeathSequencePool::Instance().Update(16.0f);
    DrawDebris();
    fx.DrawLayer(0);
    ExhaustDrawAll(0);
    MuzzleFlashDraw();
    fx.DrawLayer(1);
    ParticleGroupsCull();
    GUI_BS_RocketTrailManager::Instance().Draw();
    GUI_BS_DriftingSmoke::Instance().Draw();
    ExhaustDrawAll(1);
    GUI_BS_AirStrikeTrailSprite::DrawAll();
    GUI_BS_LightmapManager::Instance().Render();
    LightmapFlushQueued();
    LightmapDrawLists::Instance().RenderWorldList(true);
    pp.RunCommandList();
    engine().EndScene();
  }
  int burstsPerFrame = 0;
  int frame = 0;
  SIM_Missile missile;
  GUI_BS_RocketTrail* trail = nullptr;
};

TEST_F(EffectsBudgetTest, AfterAWarmUpBusyFramesAllocateNothing) {
  Populate(120);
  dev().recording = false;  // the device's own record would count
  // Two whole rounds of what the frames spawn: every pool and every group name has met
  // its peak.
  for (int i = 0; i < 720; ++i) Frame();
  ASSERT_GT(GUI_BS_DriftingSmoke::Instance().ActiveCount(), 0) << "a busy frame: smoke drifts";
  ASSERT_GT(MuzzleFlashAlive(), 0);
  ASSERT_GT(GUI_BS_ExplosionPlume::LiveCount(), 0) << "plumes are drifting";
  ASSERT_GT(GUI_BS_DebrisPool::Instance().ActiveCount(), 0) << "debris is flying";
  ASSERT_GT(GUI_BS_RocketTrailManager::Instance().TrailsInUse(), 0) << "a missile trails smoke";
  zt_test::StartCountingAllocations();
  for (int i = 0; i < 100; ++i) Frame();
  EXPECT_EQ(zt_test::StopCountingAllocations(), 0);
}

TEST_F(EffectsBudgetTest, TwoHundredFiresAndExplosionsSwitchTargetsAsOftenAsFiftyAndDrawOncePerBlend) {
  struct Count {
    uint64_t switches, draws;
    int blends;  // live emitters counted once per blend they draw with
  };
  auto measure = [&](int fires) {
    GUI_BS_EffectsManager::Instance().Clear();
    EffectsBattleStart();
    frame = 0;  // both measured frames spawn alike
    Populate(fires);
    for (int i = 0; i < 120; ++i) Frame();
    Explode(fires);  // as many fresh blasts as fires
    Frame();
    int blends = 2 * static_cast<int>(GroundEmitterList().size());
    for (GUI_ParticleEmmiterGroup* g : ActiveParticleGroups())
      for (GUI_ParticleEmmiter* e : g->emitters) blends += e && e->active ? 1 : 0;
    const platform::FrameCounters before = dev().Counters();
    Frame();
    return Count{dev().Counters().targetSwitches - before.targetSwitches,
                 dev().Counters().draws - before.draws, blends};
  };
  dev().recording = false;
  const Count fifty = measure(50);
  const Count twoHundred = measure(200);
  EXPECT_EQ(fifty.switches, twoHundred.switches);
  // At most one draw per blend per extra live emitter (and a few for full batches).
  EXPECT_LE(twoHundred.draws, fifty.draws + static_cast<uint64_t>(twoHundred.blends - fifty.blends) + 16u);
  RecordProperty("switches_per_frame", static_cast<int>(twoHundred.switches));
  RecordProperty("draws_50", static_cast<int>(fifty.draws));
  RecordProperty("draws_200", static_cast<int>(twoHundred.draws));
  std::printf(
      "target switches per frame: %llu (50 fires) %llu (200 fires); draws %llu / %llu\n",
      static_cast<unsigned long long>(fifty.switches), static_cast<unsigned long long>(twoHundred.switches),
      static_cast<unsigned long long>(fifty.draws), static_cast<unsigned long long>(twoHundred.draws));
}

}  // namespace
