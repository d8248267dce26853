// Craters, ground blasts and the distortion manager: crater sizes and their prop types,
// the ten-a-square cap, when a hit raises ground-blast emitters, and what the distortion
// pass lists and lets go.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "battle/BattleUnit.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Craters.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/WorldDetailsFixture.h"

namespace {

using battlescreen_test::CountEffects;
using battlescreen_test::RecordedEffects;

class CratersTest : public battlescreen_test::WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    ConstructGroundLayers();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.ClearTiles();
    // Two squares side by side: (0,0)-(200,200) and (200,0)-(400,200).
    for (int i = 0; i < 2; ++i) {
      auto* t = new GUI_BS_MapTile();
      t->cornerX0 = 200.0f * i;
      t->cornerX1 = t->cornerX0 + 200.0f;
      t->cornerY1 = 200.0f;
      map.tiles.push_back(t);
    }
    GUI_BS_DistortionManager::Instance().Reset();
  }
  void TearDown() override {
    GUI_BS_Crater::Clear();
    GUI_BS_Map::Instance().ClearTiles();
    GUI_BS_DistortionManager::Instance().Reset();
    WorldDetailsTest::TearDown();
  }
  static GUI_BS_MapTile* Tile(int i) { return GUI_BS_Map::Instance().tiles[static_cast<size_t>(i)]; }
};

TEST_F(CratersTest, CraterSizesAndTheirImpactPictures) {
  struct Case {
    float size, expected;
    const char* prefix;
  } cases[] = {{5.0f, 8.0f, "smallimpact"},
               {8.0f, 8.0f, "smallimpact"},
               {31.9f, 31.9f, "smallimpact"},
               {32.0f, 32.0f, "bigimpact"},
               {48.0f, 48.0f, "bigimpact"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    GUI_BS_Crater* crater = GUI_BS_Crater::CreateGroundBlast(true, c.size, 100.0f, 100.0f);
    ASSERT_NE(crater, nullptr);
    EXPECT_FLOAT_EQ(crater->craterSize, c.expected);
    EXPECT_EQ(crater->propTypeName.rfind(c.prefix, 0), 0u) << crater->propTypeName;
    EXPECT_EQ(crater->group, GUI_BS_GroundProp::GROUP_GROUND);
  }
  // Every picture number is reachable and none beyond.
  for (float pick : {0.0f, 0.26f, 0.51f, 0.76f, 0.999f}) {
    const std::string small = GUI_BS_Crater::PropTypeName(10.0f, pick);
    const std::string big = GUI_BS_Crater::PropTypeName(40.0f, pick);
    EXPECT_GE(small.back(), '1');
    EXPECT_LE(small.back(), '4');
    EXPECT_GE(big.back(), '1');
    EXPECT_LE(big.back(), '3');
  }
  EXPECT_EQ(GUI_BS_Crater::PropTypeName(10.0f, 0.999f), "smallimpact4");
  EXPECT_EQ(GUI_BS_Crater::PropTypeName(40.0f, 0.999f), "bigimpact3");
}

TEST_F(CratersTest, TheEleventhUnforcedCraterOnASquareIsRefusedButAForcedOneIsNot) {
  for (int i = 0; i < 10; ++i)
    EXPECT_NE(GUI_BS_Crater::CreateGroundBlast(false, 20.0f, 50.0f, 50.0f), nullptr);
  EXPECT_EQ(GUI_BS_Crater::CreateGroundBlast(false, 20.0f, 60.0f, 60.0f), nullptr);
  EXPECT_EQ(Tile(0)->craters, 10);
  EXPECT_NE(GUI_BS_Crater::CreateGroundBlast(true, 20.0f, 60.0f, 60.0f), nullptr);
  EXPECT_NE(GUI_BS_Crater::CreateGroundBlast(false, 20.0f, 250.0f, 60.0f), nullptr) << "another square";
  EXPECT_EQ(GUI_BS_Crater::List().size(), 12u);
  // Off the map nothing is made.
  EXPECT_EQ(GUI_BS_Crater::CreateGroundBlast(true, 20.0f, -10.0f, 60.0f), nullptr);
}

TEST_F(CratersTest, TheEleventhCratersBlastStillHappens) {
  Tile(0)->craters = GUI_BS_Crater::kMaxPerSquare;
  EXPECT_EQ(GUI_BS_Crater::CreateGroundBlast(false, 60.0f, 50.0f, 50.0f), nullptr);
  EXPECT_EQ(CountEffects("ground_emitter", "small_groundblast"), 1);
}

TEST_F(CratersTest, GroundBlastsBySize) {
  struct Case {
    float size;
    int small, big;
  } cases[] = {{20.0f, 0, 0}, {50.0f, 0, 0}, {50.5f, 1, 0}, {90.0f, 1, 0}, {91.0f, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    RecordedEffects().clear();
    Tile(0)->groundBlasts = 0;
    GUI_BS_Crater::CreateGroundBlast(true, c.size, 100.0f, 100.0f);
    EXPECT_EQ(CountEffects("ground_emitter", "small_groundblast"), c.small);
    if (c.big == 0) {
      EXPECT_EQ(CountEffects("ground_emitter", "groundblast"), 0);
    } else {
      EXPECT_GE(CountEffects("ground_emitter", "groundblast"), 2);
      EXPECT_LE(CountEffects("ground_emitter", "groundblast"), 4);
    }
    for (const GUI_BS_EffectRequest& r : RecordedEffects()) {
      EXPECT_FLOAT_EQ(r.a, c.size / 8.0f);
      EXPECT_FLOAT_EQ(r.b, r.name == "groundblast" ? 4000.0f : 8000.0f);
      EXPECT_LE(std::fabs(r.x - 100.0f), 30.0f);
      EXPECT_LE(std::fabs(r.y - 100.0f), 30.0f);
    }
  }
}

TEST_F(CratersTest, ASquareTakesFourUnforcedBlastsCountingTheExplosionsMarks) {
  for (int i = 0; i < 6; ++i) GUI_BS_Crater::CreateGroundBlast(false, 60.0f, 50.0f, 50.0f);
  EXPECT_EQ(CountEffects("ground_emitter"), 4);
  GUI_BS_Crater::CreateGroundBlast(true, 60.0f, 50.0f, 50.0f);
  EXPECT_EQ(CountEffects("ground_emitter"), 5) << "forced blasts ignore the cap";
  RecordedEffects().clear();
  Tile(1)->explosionMarks = 4;
  GUI_BS_Crater::CreateGroundBlast(false, 60.0f, 250.0f, 50.0f);
  EXPECT_EQ(CountEffects("ground_emitter"), 0);
}

TEST_F(CratersTest, ACraterFadesInOverHalfASecond) {
  GUI_BS_Crater* crater = GUI_BS_Crater::CreateGroundBlast(true, 20.0f, 50.0f, 50.0f);
  ASSERT_NE(crater, nullptr);
  crater->Advance(250.0f);
  EXPECT_FLOAT_EQ(crater->alpha, 127.5f);
  EXPECT_TRUE(crater->fading);
  crater->Advance(250.0f);
  EXPECT_FLOAT_EQ(crater->alpha, 255.0f);
  EXPECT_FALSE(crater->fading);
}

TEST_F(CratersTest, WithDistortionOffNothingIsListedOrDrawn) {
  SIM_Options::Get().SetFloat("DISTORTION", 0.0f);
  GUI_BS_DistortionManager& m = GUI_BS_DistortionManager::Instance();
  m.Reset();
  GUI_BS_ShieldDistortion shield;
  m.AddShockwave(2000.0f, 2000.0f, 10.0f, 100.0f, 1000.0f, 1.0f);
  m.AddShieldDistortion(&shield);
  EXPECT_TRUE(m.shockwaves.empty());
  EXPECT_TRUE(m.shields.empty());
  EXPECT_FALSE(m.HasDistortion(true));
  m.Draw(16.0f);
  EXPECT_FALSE(m.targetActive);
}

TEST_F(CratersTest, ShockWavesLiveTheirDurationAndShieldHitsAreListedOnce) {
  SIM_Options::Get().SetFloat("DISTORTION", 1.0f);
  GUI_BS_DistortionManager& m = GUI_BS_DistortionManager::Instance();
  m.Reset();
  m.AddShockwave(2000.0f, 2000.0f, 10.0f, 100.0f, 100.0f, 0.5f);
  EXPECT_TRUE(m.HasDistortion(false));
  SIM_BattleUnit unit;
  unit.x = unit.y = 2000.0f;
  GUI_BS_ShieldDistortion shield;
  shield.unit = &unit;
  shield.duration = 400.0f;
  shield.size = 40.0f;
  m.AddShieldDistortion(&shield);
  m.Draw(64.0f);
  m.AddShieldDistortion(&shield);  // a second hit restarts it
  EXPECT_EQ(m.shields.size(), 1u);
  EXPECT_FLOAT_EQ(shield.elapsed, 0.0f);
  m.Draw(64.0f);
  EXPECT_TRUE(m.shockwaves.empty()) << "128 ms past its 100";
  EXPECT_FALSE(m.targetActive) << "the target is given back at the end of the pass";
  // A unit leaving takes its shield's record with it: WorldDetailsTest follows that
  // through the unit's visual.
  m.RemoveShieldDistortion(&shield);
  EXPECT_TRUE(m.shields.empty());
  // Alphas.
  EXPECT_FLOAT_EQ(GUI_BS_DistortionManager::ShockwaveAlpha(0.5f, 0.5f), 63.75f);
  EXPECT_FLOAT_EQ(GUI_BS_DistortionManager::ShieldAlpha(0.125f), 127.5f);
  EXPECT_FLOAT_EQ(GUI_BS_DistortionManager::ShieldAlpha(0.25f), 255.0f);
  EXPECT_FLOAT_EQ(GUI_BS_DistortionManager::ShieldAlpha(1.0f), 0.0f);
}

TEST_F(CratersTest, TheDistortionTargetIsClearedOnlyWhereTheLastPassDrew) {
  SIM_Options::Get().SetFloat("DISTORTION", 1.0f);
  engine().CreateRenderTarget("rt_distortion", 1024, 768, platform::Format::X8R8G8B8);
  GUI_BS_DistortionManager& m = GUI_BS_DistortionManager::Instance();
  m.Reset();
  engine().BeginScene();  // inside the frame, as the battle draws it
  auto cleared = [&](float ms) {
    const uint64_t before = dev().Counters().clearedPixels;
    m.Draw(ms);
    return dev().Counters().clearedPixels - before;
  };
  // A shock wave 100 units across at the screen centre (zoom 1), for a second.
  m.AddShockwave(2000.0f, 2000.0f, 100.0f, 100.0f, 1000.0f, 1.0f);
  EXPECT_EQ(cleared(16.0f), 1024u * 768u) << "a new battle's target is cleared whole, to grey";
  EXPECT_TRUE(m.DrewThisFrame());
  const GUI_BS_DistortionManager::Box box = m.DrawnBox();
  EXPECT_NEAR(box.left, 462, 2);
  EXPECT_NEAR(box.right, 562, 2);
  const uint64_t area = uint64_t(box.right - box.left) * uint64_t(box.bottom - box.top);
  EXPECT_EQ(cleared(16.0f), area) << "then only what the last pass drew";
  EXPECT_EQ(cleared(2000.0f), 0u) << "the wave is over: nothing drawn, nothing cleared";
  EXPECT_FALSE(m.DrewThisFrame()) << "so the composite has nothing to bend";
  m.AddShockwave(1800.0f, 1800.0f, 50.0f, 50.0f, 1000.0f, 1.0f);
  EXPECT_EQ(cleared(16.0f), area) << "the next wave first clears what the last one left";
  EXPECT_TRUE(m.DrewThisFrame());
  engine().EndScene();
}

}  // namespace
