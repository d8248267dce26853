// Many explosions at once on the lit Night Citadel, one whole battle frame on the null
// device: 200 live explosion groups switch render targets exactly as often as 50 (the
// light-map glow of burning particles is queued and drawn in one go), and each extra
// live emitter costs at most one draw call.
#include <gtest/gtest.h>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/BattleSprites.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "engine/Random.h"
#include "support/NullDeviceFixture.h"

namespace {

class ExplosionLoadTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();  // the light map and the post-processing targets
    ASSERT_TRUE(engine().HasTexture("rt_lightmap"));
    ASSERT_NE(battlescreen_test::StartShippedBattle("night_citadel"), nullptr);
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
    SetEffectsFrameRatioOverride(1.0f);
  }
  void TearDown() override {
    SetEffectsFrameRatioOverride(-1.0f);
    zt_test::NullDeviceTest::TearDown();
  }
  struct FrameCost {
    uint64_t draws = 0, switches = 0;
    int emitters = 0, groups = 0;
  };
  FrameCost Frame() {
    const platform::FrameCounters before = dev().Counters();
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
    const platform::FrameCounters& after = dev().Counters();
    FrameCost c;
    c.draws = after.draws - before.draws;
    c.switches = after.targetSwitches - before.targetSwitches;
    for (GUI_ParticleEmmiterGroup* g : ActiveParticleGroups()) {
      ++c.groups;
      for (GUI_ParticleEmmiter* e : g->emitters) c.emitters += (e && e->active) ? 1 : 0;
    }
    return c;
  }
  // n medium and large blasts spread over the view, then the battle holds still so
  // only the effects differ between the two measurements.
  FrameCost With(int n) {
    GUI_BS_EffectsManager::Instance().Clear();
    ParticleGroupsClearLists();
    GetBattle().paused = false;
    Frame();
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    InitRandomWithSeed(77);
    EffectsSeedRandom(77);
    for (int i = 0; i < n; ++i) {
      const float x = map.viewLeft + (map.viewRight - map.viewLeft) * (0.1f + 0.8f * float(i % 20) / 19.0f);
      const float y = map.viewTop + (map.viewBottom - map.viewTop) * (0.1f + 0.8f * float(i / 20) / 10.0f);
      SpawnExplosion(i % 3 == 0 ? EXP_LARGE : EXP_MEDIUM, 0, 0, 0, 0, 0, 0, x, y);
    }
    GetBattle().paused = true;  // nothing moves, fires or dies from here on
    Frame();
    return Frame();
  }
  GUI_BattleScreen* screen = nullptr;
};

TEST_F(ExplosionLoadTest, TwoHundredExplosionsSwitchTargetsAsOftenAsFiftyAndCostADrawPerExtraEmitter) {
  ASSERT_TRUE(LightmapEnabled()) << "the citadel is fought at night";
  const FrameCost few = With(50);
  const FrameCost many = With(200);
  EXPECT_EQ(few.groups, 50);
  EXPECT_EQ(many.groups, 200);
  ASSERT_GT(many.emitters, few.emitters);
  EXPECT_GT(few.switches, 0u) << "the light map is drawn";
  EXPECT_EQ(many.switches, few.switches) << "target switches per frame stay constant";
  EXPECT_LE(many.draws - few.draws, uint64_t(many.emitters - few.emitters))
      << "50: " << few.draws << " draws, " << few.emitters << " emitters; 200: " << many.draws << " draws, "
      << many.emitters << " emitters";
  RecordProperty("draws50", int(few.draws));
  RecordProperty("draws200", int(many.draws));
  RecordProperty("switches", int(many.switches));
  printf("50 explosions: %d emitters, %llu draws, %llu target switches\n", few.emitters,
         (unsigned long long)few.draws, (unsigned long long)few.switches);
  printf("200 explosions: %d emitters, %llu draws, %llu target switches\n", many.emitters,
         (unsigned long long)many.draws, (unsigned long long)many.switches);
}

}  // namespace
