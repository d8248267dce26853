// Air-strike smoke columns from a pool of 270, clouds only when zoomed out and never over
// the desert, and the blast glare's growth, fade and light-map-only variant.
#include <gtest/gtest.h>

#include "effects/AirStrikeTrails.h"
#include "effects/WorldEffectsFixture.h"
#include "engine/Textures.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {

class AirStrikeTrailsTest : public explosions_test::WorldEffectsTest {
 protected:
  GUI_BS_AirStrikeTrailPool& pool() { return GUI_BS_AirStrikeTrailPool::Instance(); }
};

TEST_F(AirStrikeTrailsTest, BurstsStartOnlyAsManySpritesAsAreFree) {
  GUI_BS_AirStrikeTrailSprite::PoolInit();
  EXPECT_EQ(GUI_BS_AirStrikeTrailSprite::SpawnBurst(1000.0f, 1000.0f), 90);
  EXPECT_EQ(GUI_BS_AirStrikeTrailSprite::SpawnBurst(1000.0f, 1000.0f), 90);
  EXPECT_EQ(pool().highestUsed, 179);
  for (int i = 0; i < 50; ++i) pool().sprites[size_t(200 + i)].active = true;
  EXPECT_EQ(GUI_BS_AirStrikeTrailSprite::SpawnBurst(1000.0f, 1000.0f), 40) << "270 - 180 - 50 free";
  EXPECT_EQ(pool().highestUsed, 269);
  const GUI_BS_AirStrikeTrailSprite& top = pool().sprites[0];
  EXPECT_FLOAT_EQ(top.alpha, 0.5f) << "the bottom of the column at half strength";
  EXPECT_FLOAT_EQ(top.delay, 100.0f);
  EXPECT_FLOAT_EQ(pool().sprites[89].world.parallax, 1.0f + 89.0f / 90.0f);
}

TEST_F(AirStrikeTrailsTest, TheSpriteAtTheHighestUsedIndexIsDrawnAndAllEndAfter800ms) {
  GUI_BS_AirStrikeTrailSprite::PoolInit();
  GUI_BS_AirStrikeTrailSprite::SpawnBurst(1000.0f, 1000.0f);
  platform::Texture* sheet = FindTexture("particles.dds");
  int most = 0, frames = 0;
  while (frames++ < 80) {
    most = std::max(most, Quads(Record([] { GUI_BS_AirStrikeTrailSprite::DrawAll(); })));
  }
  EXPECT_EQ(most, 90) << "every sprite, the one at highestUsed too";
  for (const GUI_BS_AirStrikeTrailSprite& s : pool().sprites) EXPECT_FALSE(s.active);
  (void)sheet;
}

TEST_F(AirStrikeTrailsTest, GlareGrowsForAQuarterFadesFrom70PercentAndFlickers) {
  GUI_BS_BlastGlare glare(100.0f, 1000.0f, false, 1000.0f, 1000.0f);
  struct Step {
    float at;
    float size;    // at zoom 1
    int alphaMax;  // before the flicker
  } steps[] = {{125.0f, 150.0f, 255}, {250.0f, 300.0f, 255}, {700.0f, 300.0f, 255}, {850.0f, 300.0f, 127}};
  for (const Step& s : steps) {
    ASSERT_TRUE(glare.Step(s.at - glare.elapsed));
    EXPECT_NEAR(glare.shownSize, s.size, 0.5f) << s.at;
    EXPECT_LE(glare.shownAlpha, s.alphaMax) << s.at;
    EXPECT_GE(glare.shownAlpha, int(s.alphaMax * 0.9f) - 1) << s.at;
  }
  EXPECT_FALSE(glare.Step(150.0f));
  EXPECT_TRUE(glare.IsFinished());
  GUI_BS_BlastGlare flick(100.0f, 1000.0f, false, 0.0f, 0.0f);
  flick.Step(7.0f);
  EXPECT_FLOAT_EQ(flick.brightness, 0.9f);
  flick.Step(6.0f);
  EXPECT_FLOAT_EQ(flick.brightness, 1.0f);
}

TEST_F(AirStrikeTrailsTest, TheLightMapVariantNeverReachesTheScreen) {
  GUI_BS_BlastGlare::Spawn(64.0f, 400.0f, 0, 1000.0f, 1000.0f);
  GUI_BS_BlastGlare::Spawn(64.0f, 400.0f, 1, 1000.0f, 1000.0f);
  GUI_BS_EffectsManager& effects = GUI_BS_EffectsManager::Instance();
  ASSERT_EQ(effects.layerLists[1].size(), 2u);
  platform::Texture* glare = FindTexture("blastglare.dds");
  ASSERT_NE(glare, nullptr);
  const auto& draws = Record([&] { effects.DrawLayer(1); });
  EXPECT_EQ(Quads(draws, glare), 4) << "the normal variant's four quads alone";
}

TEST_F(AirStrikeTrailsTest, CloudsShowOnlyWhenZoomedOutAndNeverOverTheDesert) {
  SIM_Scenario scenario;
  GUI_BS_Map::Instance().scenario = &scenario;
  View(0.5f, 2000.0f, 2000.0f);
  GUI_BS_Atmosphere& sky = GUI_BS_Atmosphere::Instance();
  sky.Init();
  EXPECT_EQ(sky.clouds.size(), 25u);
  platform::Texture* clouds = FindTexture("clouds.dds");
  ASSERT_NE(clouds, nullptr);
  struct Case {
    float zoom;
    int atmosphere;
    float cloudsOption;
    bool drawn;
  } cases[] = {{0.5f, SIM_Scenario::ATMOSPHERE_NONE, 1.0f, true},
               {1.0f, SIM_Scenario::ATMOSPHERE_NONE, 1.0f, false},
               {2.0f, SIM_Scenario::ATMOSPHERE_NONE, 1.0f, false},
               {0.5f, SIM_Scenario::ATMOSPHERE_DESERT, 1.0f, false},
               {0.5f, SIM_Scenario::ATMOSPHERE_SNOWING, 1.0f, true},
               {0.5f, SIM_Scenario::ATMOSPHERE_NONE, 0.0f, false}};
  for (const Case& c : cases) {
    View(c.zoom, 2000.0f, 2000.0f);
    scenario.atmosphere = c.atmosphere;
    SIM_Options::Get().SetFloat("CLOUDS", c.cloudsOption);
    const auto& draws = Record([&] { sky.Draw(); });
    EXPECT_EQ(Quads(draws, clouds) > 0, c.drawn) << c.zoom << " " << c.atmosphere << " " << c.cloudsOption;
    for (const platform::DrawRecord& d : draws)
      EXPECT_LE(d.Colour(0) >> 24, 0x80u) << "at most half at zoom 0.5";
  }
  GUI_BS_Map::Instance().scenario = nullptr;
}

}  // namespace
