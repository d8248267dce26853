// What a busy frame of effects costs: after a warm-up nothing is allocated, and the
// light map is switched to the same number of times however many emitters burn.
#include <gtest/gtest.h>

#include "battlescreen/BattleSprites.h"
#include "effects/CountingAllocator.h"
#include "effects/EffectsFixture.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/PostProcessing.h"
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
    EffectsBattleStart();
    ParticleConfigsLoad();
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
    fx.DrawLayer(0);
    ExhaustDrawAll(0);
    MuzzleFlashDraw();
    fx.DrawLayer(1);
    ParticleGroupsCull();
    GUI_BS_DriftingSmoke::Instance().Draw();
    ExhaustDrawAll(1);
    GUI_BS_LightmapManager::Instance().Render();
    LightmapFlushQueued();
    LightmapDrawLists::Instance().RenderWorldList(true);
    pp.RunCommandList();
    engine().EndScene();
  }
  int burstsPerFrame = 0;
  int frame = 0;
};

TEST_F(EffectsBudgetTest, AfterAWarmUpBusyFramesAllocateNothing) {
  Populate(120);
  dev().recording = false;  // the device's own record would count
  for (int i = 0; i < 300; ++i) Frame();
  ASSERT_GT(GUI_BS_DriftingSmoke::Instance().ActiveCount(), 0) << "a busy frame: smoke drifts";
  ASSERT_GT(MuzzleFlashAlive(), 0);
  zt_test::StartCountingAllocations();
  for (int i = 0; i < 100; ++i) Frame();
  EXPECT_EQ(zt_test::StopCountingAllocations(), 0);
}

TEST_F(EffectsBudgetTest, MoreEmittersNeverMeanMoreTargetSwitches) {
  struct Count {
    uint64_t switches, draws;
    int blends;  // live emitters counted once per blend they draw with
  };
  auto measure = [&](int fires) {
    GUI_BS_EffectsManager::Instance().Clear();
    EffectsBattleStart();
    Populate(fires);
    for (int i = 0; i < 120; ++i) Frame();
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
