// The light map: lighting mode, night vision and its flicker, flashes, the fixed draw
// lists, the additive queue and the muzzle-flash pool.
#include <gtest/gtest.h>

#include "effects/EffectsFixture.h"
#include "effects/LightMap.h"
#include "effects/PostProcessing.h"
#include "engine/Random.h"

namespace {
using effects_test::EffectsTest;

class LightMapTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    InitRandomWithSeed(3);
    MuzzleFlashPoolInit();
  }
  GUI_BS_LightmapManager& lm() { return GUI_BS_LightmapManager::Instance(); }
  // One frame of a gun battle: shots, their flashes, the frame's lights, then drawing.
  void FireFrame(LightSprite* light) {
    for (int gun = 0; gun < 40; ++gun) {
      const float x = 100.0f + 20.0f * gun, y = 300.0f;
      MuzzleFlashSpawn(3, x, y, 90.0f);
      lm().AddFlash(x, y, 40.0f);
    }
    LightmapAddLight(light);
    MuzzleFlashDraw();
    lm().Render();
    LightmapFlushQueued();
    LightmapDrawLists::Instance().RenderWorldList(true);
  }
};

TEST_F(LightMapTest, AnUnlitBattleKeepsNoFlashesOrLightsAfterLongFire) {
  Light(false);
  LightSprite light;
  LightSpriteInit(&light, 30.0f);
  const uint64_t switches = dev().Counters().targetSwitches;
  for (int frame = 0; frame < 1000; ++frame) FireFrame(&light);
  EXPECT_EQ(lm().flashCount, 0);
  EXPECT_TRUE(lm().lights.empty());
  EXPECT_EQ(LightmapQueuedVertices(), 0);
  EXPECT_EQ(dev().Counters().targetSwitches, switches) << "nothing is drawn into the light map";
  EXPECT_GT(MuzzleFlashAlive(), 0) << "the flashes still show on screen";
}

TEST_F(LightMapTest, ALitBattleDrawsItsGlowInOneSwitchAFrame) {
  Light(true);
  LightSprite light;
  LightSpriteInit(&light, 30.0f);
  for (int frame = 0; frame < 20; ++frame) FireFrame(&light);
  EXPECT_GT(lm().flashCount, 0);
  EXPECT_LE(lm().flashCount, GUI_BS_LightmapManager::kMaxFlashes);
  const uint64_t before = dev().Counters().targetSwitches;
  FireFrame(&light);
  // Into the light map and back.
  EXPECT_EQ(dev().Counters().targetSwitches - before, 2u);
  EXPECT_TRUE(lm().lights.empty()) << "lights live one frame";
}

TEST_F(LightMapTest, TheScenarioColourIsReadAsRedGreenBlueAlpha) {
  Light(true);
  EXPECT_EQ(lm().mode, 1);
  EXPECT_EQ(lm().lightColour, 0xFF5A648Cu) << "90,100,140,255: a dark blue night";
  static CTexturedSprite sprite;
  DrawListAddLight(&sprite);
  EXPECT_EQ(sprite.v[0].colour, 0xFF5A648Cu);
  lm().mode = 2;
  lm().NightVisionFlags();
  DrawListAddLight(&sprite);
  EXPECT_EQ(sprite.v[0].colour, lm().ambient) << "night vision lights take its green";
}

TEST_F(LightMapTest, AFlashFadesOverFourTimesItsRadius) {
  Light(true);
  lm().AddFlash(500, 400, 50.0f);
  for (int frame = 0; frame < 12; ++frame) lm().Render();  // 192 ms
  ASSERT_EQ(lm().flashCount, 1);
  EXPECT_EQ(lm().flashes[0].sprite.v[0].colour >> 24,
            static_cast<uint32_t>((1.0f - 192.0f / 200.0f) * 255.0f));
  lm().Render();  // 208 ms: gone
  EXPECT_EQ(lm().flashCount, 0);
}

TEST_F(LightMapTest, NightVisionFlickersIntoPlaceOnBattleTime) {
  Light(false);
  NightVisionToggle();
  EXPECT_EQ(lm().mode, 0) << "no lighting: only the sound";
  Light(true);
  NightVisionToggle();
  EXPECT_EQ(lm().mode, 2);
  EXPECT_EQ(lm().transitionTarget, 1);
  GetBattle().paused = true;
  for (int i = 0; i < 10; ++i) lm().Render();
  EXPECT_EQ(lm().transitionTarget, 1) << "paused: the transition waits";
  GetBattle().paused = false;
  int flips = 0, last = lm().mode;
  GetBattle().frameStep = 12.5f;
  for (int i = 0; i < 7; ++i) {
    lm().Render();
    flips += lm().mode != last ? 1 : 0;
    last = lm().mode;
  }
  EXPECT_EQ(flips, 7) << "every 12.5 ms the picture flips";
  lm().Render();
  EXPECT_EQ(lm().transitionTarget, 0);
  EXPECT_EQ(lm().mode, 2) << "100 ms later night vision holds";
  EXPECT_TRUE(lm().nightVisionOverride);
  // A toggle mid-transition acts on the mode showing then.
  NightVisionToggle();
  lm().Render();
  EXPECT_EQ(lm().transitionTarget, 2);
}

TEST_F(LightMapTest, DrawListsDropThe2049thAdd) {
  static CTexturedSprite sprite;
  for (int i = 0; i < LightmapDrawLists::kEntries; ++i) EXPECT_TRUE(DrawListAdd(0, &sprite));
  EXPECT_FALSE(DrawListAdd(0, &sprite));
  for (int i = 0; i < LightmapDrawLists::kEntries; ++i) EXPECT_TRUE(DrawListAddOverlay(&sprite));
  EXPECT_FALSE(DrawListAddFaded(&sprite, 0.5f));
  EXPECT_EQ(sprite.v[0].colour, 0xFF7F7F7Fu) << "faded to the level's grey";
  DrawListsReset();
  EXPECT_EQ(LightmapDrawLists::Instance().worldCount, 0);
}

TEST_F(LightMapTest, AFullMuzzleFlashPoolReplacesTheFlashNearestItsEnd) {
  Light(true);
  MuzzleFlashSpawn(kMuzzleFlashes, 500, 400, 0.0f);
  ASSERT_EQ(MuzzleFlashAlive(), kMuzzleFlashes);
  GUI_BS_HeatParticle* slots = MuzzleFlashSlots();
  slots[77].age = slots[77].lifetime * 0.99f;
  MuzzleFlashSpawn(1, 100, 100, 0.0f);
  EXPECT_LT(slots[77].age, 1.0f) << "the flash closest to its end was reused";
  EXPECT_NEAR(slots[77].x, 100.0f, 3.0f);
}

}  // namespace
