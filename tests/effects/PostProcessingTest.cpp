// The post-processing list the frame builds from the passes it needs, and what running
// it does on the device.
#include <gtest/gtest.h>

#include <vector>

#include "battlescreen/BattleMap.h"
#include "effects/EffectsFixture.h"
#include "effects/PostProcessing.h"
#include "engine/ShaderEffects.h"
#include "simdata/Options.h"

namespace {
using effects_test::EffectsTest;

std::vector<int> Ops(const GUI_BS_PostProcessor& pp) {
  std::vector<int> out;
  for (int op : pp.ops)
    if (op != PP_NONE) out.push_back(op);
  return out;
}

// The distortion manager as it will be: something to draw on desert maps.
bool DesertHazeOnly(bool desert) { return desert; }

class PostProcessingTest : public EffectsTest {
 protected:
  void SetUp() override {
    EffectsTest::SetUp();
    SetDistortionPendingQuery(DesertHazeOnly);
  }
  // Builds the list from the world's state rather than setting the pass flags by hand.
  std::vector<int> Build(bool lit, bool nightVision, bool distortionOn, bool desert, float moveFade,
                         bool paused = false, bool scrolled = false) {
    Light(lit);
    GUI_BS_LightmapManager& lm = GUI_BS_LightmapManager::Instance();
    lm.mode = lit ? (nightVision ? 2 : 1) : 0;
    lm.NightVisionFlags();
    SIM_Options::Get().SetFloat("DISTORTION", distortionOn ? 1.0f : 0.0f);
    SIM_Options::Get().SetFloat("MOTIONBLUR", 1.0f);
    scenario.atmosphere = desert ? SIM_Scenario::ATMOSPHERE_DESERT : SIM_Scenario::ATMOSPHERE_NONE;
    GetBattle().scenario = &scenario;
    GetBattle().paused = paused;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.moveFade = moveFade;
    map.scrolledThisFrame = scrolled;
    GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
    pp.ChoosePasses();
    pp.BuildOps();
    GetBattle().scenario = nullptr;
    return Ops(pp);
  }
};

TEST_F(PostProcessingTest, TheOperationListFollowsThePassesChosen) {
  struct Case {
    const char* what;
    bool lit, nightVision, distortion, desert;
    float moveFade;
    bool paused, scrolled;
    std::vector<int> ops;
  } cases[] = {
      {"nothing: a plain copy", false, false, false, false, 0.0f, false, false, {2, 6, 8}},
      {"lit: the light-map composite alone", true, false, false, false, 0.0f, false, false, {2, 6, 4}},
      {"motion blur alone", false, false, false, false, 0.6f, false, false, {2, 6, 7}},
      {"desert heat haze: distortion", false, false, true, true, 0.0f, false, false, {2, 6, 11}},
      {"distortion option off: no haze", false, false, false, true, 0.0f, false, false, {2, 6, 8}},
      {"light map, distortion, blur",
       true,
       false,
       true,
       true,
       0.6f,
       false,
       false,
       {2, 1, 4, 3, 0, 11, 2, 6, 7}},
      {"night vision, distortion, blur: ten entries",
       true,
       true,
       true,
       true,
       0.6f,
       false,
       false,
       {10, 2, 1, 5, 3, 0, 11, 2, 6, 7}},
      {"paused: never blurs", false, false, false, false, 0.6f, true, false, {2, 6, 8}},
      {"scrolled this frame: no blur even while zooming",
       true,
       false,
       false,
       false,
       1.0f,
       false,
       true,
       {2, 6, 4}},
      {"night vision alone", true, true, false, false, 0.0f, false, false, {10, 2, 6, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Build(c.lit, c.nightVision, c.distortion, c.desert, c.moveFade, c.paused, c.scrolled), c.ops);
    const GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
    EXPECT_FALSE(pp.nightVision && pp.compositeLightmap) << "never both in one frame";
  }
}

TEST_F(PostProcessingTest, AListLongerThanTwelveIsCutWithALoggedAssertion) {
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.BuildOps();
  pp.opCount = 0;
  for (int i = 0; i < 14; ++i) pp.AddOp(PP_COPY);
  EXPECT_EQ(pp.opCount, GUI_BS_PostProcessor::kMaxOps);
}

TEST_F(PostProcessingTest, TheScreenQuadSamplesTheTargetOneToOne) {
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.BuildOps();
  // 1024 x 768 of a 1024 x 1024 target: pixel centres on texel centres, no flip.
  EXPECT_FLOAT_EQ(pp.screenQuad[0].x, -0.5f);
  EXPECT_FLOAT_EQ(pp.screenQuad[0].y, -0.5f);
  EXPECT_FLOAT_EQ(pp.screenQuad[3].x, 1023.5f);
  EXPECT_FLOAT_EQ(pp.screenQuad[3].y, 767.5f);
  EXPECT_FLOAT_EQ(pp.screenQuad[0].u, 0.0f);
  EXPECT_FLOAT_EQ(pp.screenQuad[0].v, 0.0f);
  EXPECT_FLOAT_EQ(pp.screenQuad[3].u, 1.0f);
  EXPECT_FLOAT_EQ(pp.screenQuad[3].v, 0.75f);
}

TEST_F(PostProcessingTest, TheFrameEndsOnTheBackBufferWithTheSceneCopied) {
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.LoadShaders();
  Light(true);
  engine().BeginScene();
  pp.PrepareFrame();
  EXPECT_EQ(engine().CurrentRenderTarget(), "rt_offscreen1") << "the world is drawn off screen";
  const uint64_t draws = dev().Counters().draws;
  pp.RunCommandList();
  EXPECT_EQ(engine().CurrentRenderTarget(), "") << "the HUD draws on the back buffer";
  EXPECT_EQ(dev().Counters().draws, draws + 1) << "one full-screen pass";
  engine().EndScene();
}

// Light is drawn at half resolution only where the passes reading it have their shaders,
// which sample it at its scale; the plain fallback copy modulates by the light map at the
// screen's own coordinates, so without them the map stays full size (else a night scene
// comes out lit from a magnified quarter of its lights).
TEST_F(PostProcessingTest, TheLightMapIsSmallerOnlyWhenItsShadersReadItAtItsScale) {
  struct Case {
    const char* what;
    bool listed, supported;
    float scale;
  } cases[] = {
      {"both passes have their shaders", true, true, GUI_BS_PostProcessor::kLightMapScale},
      {"the effect files are not listed: the plain copy", false, true, 1.0f},
      {"a device without shaders: the plain copy", true, false, 1.0f},
  };
  ASSERT_LT(GUI_BS_PostProcessor::kLightMapScale, 1.0f);
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  platform::Texture* lightMap = engine().FindNamedTexture("rt_lightmap")->Get();
  const bool deviceShaders = dev().SupportsShaders(), engineShaders = engine().ShaderSupport();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetShaderManager().Effects().clear();
    if (c.listed) GetShaderManager().LoadAll();
    dev().SetShaderSupport(c.supported);
    engine().SetShaderSupport(c.supported);
    pp.LoadShaders();
    Light(true);
    engine().BeginScene();
    pp.PrepareFrame();
    EXPECT_FLOAT_EQ(lightMap->DrawScale(), c.scale);
    EXPECT_FLOAT_EQ(pp.lightMapScale, c.scale);
    pp.RunCommandList();
    EXPECT_FLOAT_EQ(lightMap->DrawScale(), 1.0f) << "full size again outside the battle frame";
    engine().EndScene();
  }
  GetShaderManager().Effects().clear();
  dev().SetShaderSupport(deviceShaders);
  engine().SetShaderSupport(engineShaders);
  pp.LoadShaders();
}

// The frame's cost when little or nothing needs compositing: a day battle with a still
// camera draws its world on the back buffer (no off-screen clear, no copy), a moving
// camera keeps the chain for the blur, and distortion bends only the part it covers.
bool g_distortionDrawn = false;
bool DistortionDrawn(bool) { return g_distortionDrawn; }
bool SmallDistortionBox(int index, int box[4]) {
  if (index > 0) return false;
  box[0] = 100;
  box[1] = 200;
  box[2] = 300;
  box[3] = 250;
  return true;
}

TEST_F(PostProcessingTest, AFrameWithNothingToCompositeIsDrawnOnTheBackBuffer) {
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.LoadShaders();
  SetDistortionPendingQuery(DistortionDrawn);
  SetDistortionBoxQuery(SmallDistortionBox);
  SIM_Options::Get().SetFloat("DISTORTION", 1.0f);
  SIM_Options::Get().SetFloat("MOTIONBLUR", 1.0f);
  Light(false);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  struct Case {
    const char* what;
    float moveFade;
    bool distortionDrawn;
    const char* worldTarget;
    uint64_t maxPixels;  // what preparing and finishing the frame may touch
  } cases[] = {
      {"still camera, nothing distorting", 0.0f, false, "", 0},
      {"a shock wave: its box and the reach around it, not the screen", 0.0f, true, "",
       (200 + 64) * (50 + 64) + 200 * 50},
      {"the camera moving: the chain, cleared and blurred", 0.6f, false, "rt_offscreen1", 3 * 1024 * 768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    map.moveFade = c.moveFade;
    map.scrolledThisFrame = false;
    g_distortionDrawn = c.distortionDrawn;
    engine().BeginScene();
    const platform::FrameCounters before = dev().Counters();
    pp.PrepareFrame();
    EXPECT_EQ(engine().CurrentRenderTarget(), c.worldTarget);
    pp.RunCommandList();
    EXPECT_EQ(engine().CurrentRenderTarget(), "") << "the HUD draws on the back buffer";
    const platform::FrameCounters after = dev().Counters();
    EXPECT_LE(after.PixelsTouched() - before.PixelsTouched(), c.maxPixels);
    if (c.maxPixels == 0) {
      EXPECT_EQ(after.draws, before.draws);
    }
    if (c.distortionDrawn) {
      ASSERT_FALSE(dev().draws.empty());
      const platform::DrawRecord& pass = dev().draws.back();
      EXPECT_EQ(pass.textures[1], engine().FindNamedTexture("rt_distortion")->Get())
          << "drawn through the offsets";
      EXPECT_FLOAT_EQ(pass.X(0), 99.5f);
      EXPECT_FLOAT_EQ(pass.Y(3), 249.5f);
      EXPECT_EQ(after.draws - before.draws, 1u);
      EXPECT_GE(after.PixelsTouched() - before.PixelsTouched(), 200u * 50u);
    }
    engine().EndScene();
  }
  map.moveFade = 0.0f;
}

TEST_F(PostProcessingTest, PausedNightVisionFreezesTheStatic) {
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  GetBattle().paused = true;
  pp.noiseU = 0.25f;
  pp.noiseTimer = 60.0f;
  for (int i = 0; i < 10; ++i) pp.ExecuteOp(PP_STATIC_NOISE);
  EXPECT_FLOAT_EQ(pp.noiseU, 0.25f);
  GetBattle().paused = false;
  pp.ExecuteOp(PP_STATIC_NOISE);
  EXPECT_NE(pp.noiseU, 0.25f) << "64 ms passed: the pattern jumps";
}

}  // namespace
