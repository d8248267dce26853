// Particle configs, emitters and pooled groups on battle time.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "battlescreen/BattleSprites.h"
#include "effects/EffectsFixture.h"
#include "effects/ParticleSystem.h"
#include "engine/Random.h"
#include "support/TestSupport.h"

namespace {
using effects_test::EffectsTest;

class ParticleSystemTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    InitRandomWithSeed(5);
  }
  // A config of our own in the list (deleted with the list).
  GUI_ParticleConfig* Config(const std::string& name, float lifetime, float pps, float initial,
                             const std::string& type = "STANDARD") {
    if (!ParticleConfigsLoaded()) ParticleConfigsLoad();
    auto* c = new GUI_ParticleConfig();
    c->name = name;
    c->type = type;
    c->blending = type == "BURN" ? 1 : type == "STANDARD" ? 0 : -1;
    c->Lifetime = lifetime;
    c->ParticlesPerSecond = pps;
    c->InitialParticles = initial;
    c->MinSize = c->MaxSize = 8.0f;
    c->AlphaFalloff = 0.01f;
    c->poolSize = GUI_ParticleConfig::ComputePoolSize(*c);
    return c;
  }
};

TEST_F(ParticleSystemTest, PoolSizesFollowLifetimeRateAndStartBurst) {
  struct Case {
    const char* what;
    float lifetime, pps, initial, alphaFalloff, sizeFalloff, maxSize;
    int pool;
  } cases[] = {
      {"500 ms at 40 per second plus 5", 500, 40, 5, 0.01f, 0, 8, 26},
      {"a huge rate is capped", 5000, 1000, 0, 0.01f, 0, 8, 256},
      // Endless, never fading: the estimate runs to 10008 ms: trunc(10.008 x 10 + 2) + 1.
      {"endless without falloff", -1, 10, 2, 0, 0, 8, 103},
      // Endless, alpha 1 below 0 after 9 steps of 0.125 (108 ms): trunc(0.108 x 100) + 1.
      {"endless with falloff", -1, 100, 0, 0.125f, 0, 8, 11},
      {"zero rate and burst", 0, 0, 0, 0.01f, 0, 8, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_ParticleConfig cfg;
    cfg.Lifetime = c.lifetime;
    cfg.ParticlesPerSecond = c.pps;
    cfg.InitialParticles = c.initial;
    cfg.AlphaFalloff = c.alphaFalloff;
    cfg.SizeFalloff = c.sizeFalloff;
    cfg.MaxSize = c.maxSize;
    EXPECT_EQ(GUI_ParticleConfig::ComputePoolSize(cfg), c.pool);
  }
}

TEST_F(ParticleSystemTest, EmissionWaitsForAWholeParticleThenRestartsTheAccumulator) {
  Config("ten_per_second", -1.0f, 10.0f, 0.0f);
  GUI_ParticleEmmiter e("ten_per_second", 500, 400, 0, 0);
  ASSERT_TRUE(e.Valid());
  int frames = 0;
  while (e.liveCount == 0 && frames < 20) {
    e.UpdateHidden();
    ++frames;
  }
  // 7 frames of 16 ms = 112 ms is the first time 10 x acc / 1000 reaches 1.
  EXPECT_EQ(frames, 7);
  EXPECT_FLOAT_EQ(e.accumulator, 0.0f);
  GetBattle().paused = true;
  const float x = e.particles[0].x, age = e.particles[0].age;
  for (int i = 0; i < 20; ++i) e.UpdateHidden();
  EXPECT_EQ(e.particles[0].x, x) << "paused: nothing moves";
  EXPECT_EQ(e.particles[0].age, age) << "paused: nothing ages";
  EXPECT_EQ(e.liveCount, 1) << "paused: nothing is emitted";
}

TEST_F(ParticleSystemTest, InitialBurstLargerThanThePoolFillsThePool) {
  GUI_ParticleConfig* c = Config("burst", 100.0f, 0.0f, 5.0f);
  c->poolSize = 3;
  GUI_ParticleEmmiter e("burst", 0, 0, 0, 0);
  EXPECT_EQ(e.poolSize, 3);
  EXPECT_EQ(e.liveCount, 3);
  EXPECT_EQ(e.highWater, 3);
}

TEST_F(ParticleSystemTest, LifetimeZeroStopsOnTheFirstFrameWithoutLiveParticles) {
  GUI_ParticleConfig* c = Config("spray", 0.0f, 0.0f, 3.0f);
  c->AlphaFalloff = 2.0f;  // gone on the first step after the fade-in
  GUI_ParticleEmmiter e("spray", 0, 0, 0, 0);
  int frames = 0;
  while (e.active && frames < 100) {
    e.UpdateHidden();
    ++frames;
  }
  EXPECT_FALSE(e.active) << "an emitter that ran dry stops";
  EXPECT_EQ(e.highWater, 0);
}

TEST_F(ParticleSystemTest, FramesPickCellsWithinTheSpanAsAMask) {
  GUI_ParticleConfig* c = Config("cells", 0.0f, 0.0f, 200.0f);
  c->UVFrame = 4;
  c->UVFrameLast = 6;
  c->frameSpan = 2;
  c->poolSize = 200;
  GUI_ParticleEmmiter e("cells", 0, 0, 0, 0);
  bool seen[64] = {};
  for (int i = 0; i < e.highWater; ++i) {
    const GVertex& v = e.particles[size_t(i)].quad[0];
    seen[int(v.v / 0.125f + 0.5f) * 8 + int(v.u / 0.125f + 0.5f)] = true;
  }
  EXPECT_TRUE(seen[4]);
  EXPECT_TRUE(seen[6]);
  EXPECT_FALSE(seen[5]) << "span 2 is a bit mask: 4 or 6";
}

TEST_F(ParticleSystemTest, BadContentIsLoggedAndTheEmitterSkipped) {
  Config("no_type", 100.0f, 10.0f, 1.0f, "SPARKLY");
  EXPECT_EQ(NewParticleEmmiter("no_such_config", 0, 0, 0, 0), nullptr);
  EXPECT_EQ(NewParticleEmmiter("no_type", 0, 0, 0, 0), nullptr) << "an unknown Type never runs";
  GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("broken", 0, 0, 0, 0);
  EXPECT_FALSE(g->AddEmitter(nullptr));
  GUI_BS_EffectsManager::Instance().Add(g);
  GUI_BS_EffectsManager::Instance().DrawLayer(1);  // draws nothing, ends
  ParticleGroupsCull();
  EXPECT_EQ(IdleParticleGroups().size(), 1u);
}

TEST_F(ParticleSystemTest, SavedConfigsReadBackWithDefaultBiasAndUnangled) {
  GUI_ParticleConfig* c = Config("saved", 750.0f, 12.5f, 3.0f, "BURN");
  c->BiasScalar = 3.0f;
  c->IsAngled = 1;
  c->UVFrame = 32;
  c->UVFrameLast = 34;
  const std::string path = zt_test::UserRoot() + "/saved.txt";
  ASSERT_TRUE(GUI_ParticleConfig::Write(c, path));
  GUI_ParticleConfig back;
  ASSERT_TRUE(GUI_ParticleConfig::Read(&back, path));
  EXPECT_EQ(back.name, "saved");
  EXPECT_EQ(back.type, "BURN");
  EXPECT_FLOAT_EQ(back.Lifetime, 750.0f);
  EXPECT_EQ(back.InitialParticles, 3.0f);
  EXPECT_EQ(back.UVFrameLast, 34);
  EXPECT_FLOAT_EQ(back.BiasScalar, 1.0f);
  EXPECT_EQ(back.IsAngled, 0);
  EXPECT_FALSE(GUI_ParticleConfig::Write(c, zt_test::UserRoot() + "/no/such/folder/x.txt"));
}

TEST_F(ParticleSystemTest, FinishedGroupsAreReusedByNameAndFreedWhenTheListsEmpty) {
  Config("short", 16.0f, 0.0f, 2.0f)->AlphaFalloff = 2.0f;
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("small_burst", 100, 100, 0, 0);
  ASSERT_TRUE(g->AddEmitter(NewParticleEmmiter("short", 100, 100, 0, 0)));
  fx.Add(g);
  for (int i = 0; i < 30 && g->alive; ++i) fx.DrawLayer(1);
  EXPECT_FALSE(g->alive);
  ParticleGroupsCull();
  ASSERT_EQ(IdleParticleGroups().size(), 1u);
  EXPECT_TRUE(fx.allEffects.empty()) << "culled groups leave the effects manager";
  GUI_ParticleEmmiterGroup* again = ObtainParticleGroup("small_burst", 300, 200, 0, 0);
  EXPECT_EQ(again, g) << "reused by name";
  EXPECT_TRUE(again->emitters[0]->active) << "its emitters restarted";
  EXPECT_FLOAT_EQ(again->emitters[0]->x, 300.0f);
  EXPECT_TRUE(IdleParticleGroups().empty());
  fx.Add(again);
  for (int i = 0; i < 30 && again->alive; ++i) fx.DrawLayer(1);
  ParticleGroupsCull();
  // Battle start and a reload free the idle groups (nothing else holds them).
  ParticleGroupsClearLists();
  EXPECT_TRUE(IdleParticleGroups().empty());
  EXPECT_TRUE(ActiveParticleGroups().empty());
}

}  // namespace

namespace {
TEST_F(ParticleSystemTest, AReloadStopsPlayingGroupsInsteadOfLeavingThemOnDeletedConfigs) {
  ParticleConfigsLoad();
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("playing", 500, 400, 0, 0);
  ASSERT_TRUE(g->AddEmitter(NewParticleEmmiter("smoke_puff", 500, 400, 0, 0)));
  fx.Add(g);
  fx.DrawLayer(1);
  ParticleConfigsLoad();  // the editor's reload: every record is new
  fx.DrawLayer(1);        // nothing reads a deleted record
  EXPECT_FALSE(g->alive);
  EXPECT_NE(FindParticleConfig("smoke_puff"), nullptr);
}
}  // namespace

namespace {
// Groups come from a fixed pool: a busy battle reuses finished groups by name, a full
// pool makes room from a finished group of another name, and with every group playing
// the request is dropped instead of allocating past the pool.
TEST_F(ParticleSystemTest, GroupsComeFromAFixedPoolAndAFullPoolDropsTheRequest) {
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  fx.Clear();
  ParticleGroupsClearLists();
  ASSERT_EQ(ParticleGroupCount(), 0);
  std::vector<GUI_ParticleEmmiterGroup*> playing;
  for (int i = 0; i < kMaxParticleGroups; ++i) {
    GUI_ParticleEmmiterGroup* g = ObtainParticleGroup(i % 2 ? "blast" : "dust", 10.0f, 10.0f, 0, 0);
    ASSERT_NE(g, nullptr) << "group " << i << " fits the pool";
    fx.Add(g);
    playing.push_back(g);
  }
  EXPECT_EQ(ParticleGroupCount(), kMaxParticleGroups);

  struct Step {
    const char* what;
    int finish;        // index of a group that stops playing first (-1: none)
    const char* name;  // the request
    bool served, reused;
  } steps[] = {
      {"every group playing: dropped", -1, "dust", false, false},
      {"a finished group of that name restarts", 3, "blast", true, true},
      {"a finished group of another name makes way", 4, "blast", true, false},
      {"nothing finished again: dropped", -1, "sparks", false, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    GUI_ParticleEmmiterGroup* finished = s.finish >= 0 ? playing[size_t(s.finish)] : nullptr;
    // A restart keeps this mark and a new group lacks it. The address cannot tell them
    // apart: a freed group's memory may come straight back for the new one.
    constexpr float kMark = 123.0f;
    if (finished) {
      finished->visibleRadius = kMark;
      finished->alive = false;
      ParticleGroupsCull();
    }
    GUI_ParticleEmmiterGroup* g = ObtainParticleGroup(s.name, 50.0f, 60.0f, 0, 0);
    EXPECT_EQ(g != nullptr, s.served);
    EXPECT_EQ(ParticleGroupCount(), kMaxParticleGroups) << "the pool never grows";
    if (!g) continue;
    EXPECT_EQ(g->visibleRadius == kMark, s.reused);
    if (s.reused) EXPECT_EQ(g, finished);
    EXPECT_EQ(g->name, s.name);
    EXPECT_FLOAT_EQ(g->x, 50.0f);
    EXPECT_TRUE(IdleParticleGroups().empty());
    if (!s.reused) playing[size_t(s.finish)] = g;  // the finished one was freed
    fx.Add(g);
  }
  fx.Clear();
  ParticleGroupsClearLists();
  EXPECT_EQ(ParticleGroupCount(), 0) << "every group freed with the battle";
}
}  // namespace
