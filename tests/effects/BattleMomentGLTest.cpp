// A scripted moment of battle on Desert Pass on the OpenGL device under a virtual display:
// a kill's blasts with plumes, glare and debris, a medium hit, a row of small hits (rifle
// dust, shells, sparks, an incendiary), a shock wave and a missile's smoke trail, with a
// fixed seed, fixed 16 ms steps and the frame-rate ratio pinned at 1.0, compared with
// reference pictures early in the blast and once the smoke has spread. The same moment
// on Night Citadel, with burning ground and gunfire, is lit by the fires, the blasts and
// the muzzle flashes, then seen in night vision.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battle/MissileLauncher.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/TightQuads.h"
#include "effects/AirStrikeTrails.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/PostProcessing.h"
#include "effects/RocketTrails.h"
#include "effects/Smoke.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "platform/Device.h"
#include "simdata/Options.h"
#include "support/GLBattleScreenTest.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

// Pixels where a colour channel of one picture is more than `levels` off the other's.
size_t PixelsDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int levels) {
  size_t differ = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF)) > levels) {
        ++differ;
        break;
      }
  return differ;
}

class BattleMomentGLTest : public zt_test::GLBattleScreenTest {
 protected:
  void SetUp() override {
    zt_test::GLScreenSetup s;
    s.title = "Zentrak effects test";
    // The battle's clock moves 16 ms a frame, so the picture does not depend on the machine.
    s.ownClock = true;
    s.textureFolders = {"data/scenarios"};
    s.shaders = true;
    s.renderTargetWidth = s.renderTargetHeight = 1024;
    s.pinFrameRatio = true;
    OpenScreen(s);
  }
  void TearDown() override {
    if (trail) trail->missile = nullptr;  // the missile lives in the fixture
    GLBattleScreenTest::TearDown();
  }
  void Step() {
    // The frame-rate ratio the fade threshold and the smoke read stays 1.0.
    GetStepRateMeter().rate = 1.0f;
    GetBattle().frameStep = 16.0f;
    AdvanceClock(16'000'000);
    DrawMode();
  }
  void Compare(const std::string& name) { ExpectScreen("effects", "effects", name); }
  // The battle on `scenario`, seen at zoom 1.5 around (1000, 1000) with the HUD closed.
  bool StartAt(const char* scenario) {
    if (!battlescreen_test::StartShippedBattle(scenario)) return false;
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetInputManager().x = 512;  // away from the scroll edges
    GetInputManager().y = 384;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = 1.5f;
    map.centreX = map.cameraX = 1000.0f;
    map.centreY = map.cameraY = 1000.0f;
    map.ClampCentre();
    map.cameraX = map.centreX;
    map.cameraY = map.centreY;
    map.UpdateViewRect();
    FadeThreshold& threshold = FadeThreshold::Shared();
    threshold.frames = 0;
    threshold.current = threshold.target = 0.5f;
    Step();  // settles the camera
    EffectsSeedRandom(26);
    cx = map.cameraX;
    cy = map.cameraY;
    return true;
  }
  // A kill: two blasts, plumes, glare (also into the light map when lit) and debris; a
  // medium hit with its shock wave; a row of small hits (rifle dust, another rifle round, a
  // shell, a fiery shell, sparks, an incendiary round); a missile flying right to left
  // above the row.
  void Script() {
    SpawnExplosion(EXP_LARGE, 0, 0, 0, 0, 0, 0, cx - 120.0f, cy - 40.0f);
    SpawnExplosion(EXP_LARGE2, 0, 0, 0, 0, 0, 0, cx - 110.0f, cy - 30.0f);
    SpawnExplosion(EXP_PLUMES, 12, 16, 0.125f, 0, 0, 0, cx - 120.0f, cy - 40.0f);
    SpawnExplosion(EXP_DEBRIS, 32, 8, 0, 256, 128, 1, cx - 120.0f, cy - 40.0f);
    SpawnExplosion(EXP_BLASTGLARE, 64, 300, 0, 0, 0, 0, cx - 120.0f, cy - 40.0f);
    SpawnExplosion(EXP_MEDIUM, 0, 0, 0, 0, 0, 0, cx + 130.0f, cy - 90.0f);
    GUI_BS_ShockWave::Spawn(80.0f, 500.0f, "shockwave.dds", cx + 130.0f, cy - 90.0f);
    const int small[] = {EXP_BULLET_IN_DUST, EXP_BULLET_IN_DUST2, EXP_SMALL,
                         EXP_SMALL_FIERY,    EXP_SMALL_SPARKY,    EXP_INCENDIARY};
    for (int i = 0; i < 6; ++i)
      SpawnExplosion(small[i], 0, 0, 0, 0, 0, 0, cx - 150.0f + 60.0f * float(i), cy + 110.0f);
    missile.alive = true;
    missile.heading = 270.0f;
    missile.x = cx + 260.0f;
    missile.y = cy + 40.0f;
    trail = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
    trail->Start(&missile);
  }
  // Frames `from`..`to` of the moment: the missile flies for 30, a tank's exhaust drives
  // along under the trail, and with `gunfire` two guns fire every sixth frame.
  void Play(int from, int to, const char* exhaust, bool gunfire, int compareAt = 0, const char* name = "") {
    for (int frame = from; frame <= to; ++frame) {
      if (frame <= 30) {
        missile.x -= 12.0f;
        trail->Advance(12.0f);
        ExhaustRequest(exhaust, cx + 200.0f - 6.0f * float(frame), cy + 170.0f);
      } else {
        missile.alive = false;
      }
      if (gunfire && frame % 6 == 3)
        if (auto& flash = GetBattleHooks().weaponFlash) {
          flash(cx - 250.0f, cy - 130.0f, 90.0f);
          flash(cx + 250.0f, cy + 60.0f, 270.0f);
        }
      Step();
      if (frame == compareAt) Compare(name);
    }
  }
  SIM_Missile missile;
  GUI_BS_RocketTrail* trail = nullptr;
  float cx = 0.0f, cy = 0.0f;
};

TEST_F(BattleMomentGLTest, BlastsPlumesGlareSmokeAndARocketTrailOnDesertPass) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_TRUE(StartAt("desert_pass"));
  Script();
  Play(1, 45, "MEDIUM_SAND", false, 12, "moment_blast");
  Compare("moment_smoke");
}

// Burning ground's haze bends the picture around its own particles: the distortion pass
// covers the box their quads land in (every one of them inside it), not the screen.
TEST_F(BattleMomentGLTest, BurningGroundBendsThePictureOnlyAroundItsHaze) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  InitRandomWithSeed(26);
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  auto* left = new GUI_BS_GroundEmitter(14.0f, -1.0f, "burning_ground", cx - 200.0f, cy - 100.0f);
  auto* right = new GUI_BS_GroundEmitter(14.0f, -1.0f, "burning_ground", cx + 150.0f, cy + 60.0f);
  fx.Add(left);
  fx.Add(right);
  ASSERT_TRUE(left->haze && right->haze);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  int hazeFrames = 0;
  for (int frame = 1; frame <= 40; ++frame) {
    SCOPED_TRACE(frame);
    Step();
    if (!distortion.DrewThisFrame()) continue;
    const GUI_BS_DistortionManager::Box box = distortion.DrawnBox();
    int quads = 0;
    for (const GUI_BS_GroundEmitter* fire : {left, right})
      for (int i = 0; i < fire->haze->highWater; ++i) {
        const GUI_BaseParticle& p = fire->haze->particles[size_t(i)];
        if (!p.drawn) continue;
        ++quads;
        for (int k = 0; k < 4; ++k) {
          const float x = (p.quad[k].x - map.viewLeft) * map.zoom, y = (p.quad[k].y - map.viewTop) * map.zoom;
          if (x < 0.0f || y < 0.0f || x > 1024.0f || y > 768.0f) continue;  // off screen
          EXPECT_TRUE(x >= float(box.left) - 1.0f && x <= float(box.right) + 1.0f &&
                      y >= float(box.top) - 1.0f && y <= float(box.bottom) + 1.0f)
              << "a haze particle's corner (" << x << ", " << y << ") outside the bent box";
        }
      }
    if (quads == 0) continue;
    ++hazeFrames;
    const uint64_t area = uint64_t(box.right - box.left) * uint64_t(box.bottom - box.top);
    EXPECT_LT(area, 1024u * 768u / 2u) << "two fires bend far less than the screen";
    uint64_t passPixels = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries)
      if (entry.name == "pass distortion over its region") passPixels += entry.pixels;
    EXPECT_GT(passPixels, 0u) << "the haze is bent";
    EXPECT_LT(passPixels, 1024u * 768u)
        << "the copy and the pass cover the box and its reach, not two screens";
  }
  trace.enabled = false;
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
  EXPECT_GT(hazeFrames, 20) << "the fires' haze was drawn";
}

// Two shock waves far apart are bent each in its own box: the pass copies and redraws the
// two boxes (and the reach round them), not the rectangle spanning both.
TEST_F(BattleMomentGLTest, FarApartShockWavesAreBentEachInItsOwnBox) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  // As two units' deaths leave them.
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  distortion.AddShockwave(cx - 250.0f, cy - 150.0f, 40.0f, 160.0f, 1000.0f, 1.0f);
  distortion.AddShockwave(cx + 250.0f, cy + 150.0f, 40.0f, 160.0f, 1000.0f, 1.0f);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  int bent = 0;
  for (int frame = 1; frame <= 10; ++frame) {
    SCOPED_TRACE(frame);
    Step();
    if (!distortion.DrewThisFrame()) continue;
    ++bent;
    ASSERT_EQ(distortion.DrawnBoxes().size(), 2u) << "one box a wave";
    uint64_t boxes = 0;
    for (const GUI_BS_DistortionManager::Box& b : distortion.DrawnBoxes())
      boxes += uint64_t(b.right - b.left) * uint64_t(b.bottom - b.top);
    const GUI_BS_DistortionManager::Box all = distortion.DrawnBox();
    const uint64_t spanned = uint64_t(all.right - all.left) * uint64_t(all.bottom - all.top);
    uint64_t passPixels = 0, passDraws = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries)
      if (entry.name == "pass distortion over its region") {
        passPixels += entry.pixels;
        passDraws += entry.draws;
      }
    EXPECT_EQ(passDraws, 2u);
    EXPECT_GE(passPixels, 2 * boxes) << "each box copied and redrawn";
    EXPECT_LT(passPixels, spanned) << "the space between the waves was copied or redrawn";
  }
  trace.enabled = false;
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
  EXPECT_GT(bent, 5) << "the waves were drawn";
}

// A lit battle with shock waves: the light-map composite reads the scene where the waves
// bend it, one full-screen pass for both instead of a second pass over the whole screen.
TEST_F(BattleMomentGLTest, ALitBattleBendsItsWavesInTheCompositesOwnPass) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("night_citadel"));
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1);
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  distortion.AddShockwave(cx - 150.0f, cy - 100.0f, 40.0f, 200.0f, 1000.0f, 1.0f);
  distortion.AddShockwave(cx + 200.0f, cy + 120.0f, 40.0f, 200.0f, 1000.0f, 1.0f);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  int bent = 0;
  for (int frame = 1; frame <= 8; ++frame) {
    SCOPED_TRACE(frame);
    Step();
    if (!distortion.DrewThisFrame()) continue;
    ++bent;
    uint64_t fusedPixels = 0, postPixels = 0, distortionPasses = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries) {
      if (entry.name == "pass light-map composite with distortion") fusedPixels += entry.pixels;
      if (entry.name == "post-process") postPixels += entry.pixels;
      if (entry.name.rfind("pass distortion", 0) == 0) ++distortionPasses;
    }
    EXPECT_EQ(fusedPixels, 1024u * 768u) << "one pass over the screen";
    EXPECT_EQ(postPixels, 1024u * 768u) << "and no other";
    EXPECT_EQ(distortionPasses, 0u);
  }
  trace.enabled = false;
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
  EXPECT_GT(bent, 5) << "the waves were drawn";
}

// Pixels a placed quad covers (two triangles, as the vertex buffer draws it) on screen.
uint64_t QuadPixels(const GVertex q[4]) {
  std::vector<float> xy;
  for (int i : {0, 1, 2, 2, 1, 3}) {
    xy.push_back(q[i].x);
    xy.push_back(q[i].y);
  }
  return platform::CoveredPixels(platform::PrimitiveType::TriangleList, xy, platform::Rect{0, 0, 1024, 768});
}

// Zoomed out, the clouds drift over the battle: each puff is drawn over its outline, the
// rectangle round its texels with the empty corners cut off, and the picture is the one
// its whole quad gives.
TEST_F(BattleMomentGLTest, CloudsDrawTheirPuffsWithoutTheEmptyCornersOfTheirCells) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options::Get().SetFloat("CLOUDS", 1.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 0.55f;
  Step();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Step();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name == "world 34 atmosphere") drawn += entry.pixels;
  GUI_BS_Atmosphere& sky = GUI_BS_Atmosphere::Instance();
  ASSERT_TRUE(sky.texture && sky.texture->Texture());
  platform::Texture* sheet = sky.texture->Texture();
  // What the puffs' rectangles alone would cost (magnified art: a texel of filter reach).
  uint64_t rectangles = 0;
  int shown = 0;
  for (const auto& c : sky.clouds) {
    if (!c->quad.IsOnScreen()) continue;
    ++shown;
    const GVertex* q = c->quad.v;
    GVertex cut[4];
    CutQuad(q, ShownPartOf(sheet, q[0].u, q[0].v, q[3].u, q[3].v, 3, 1), cut);
    rectangles += QuadPixels(cut);
  }
  ASSERT_GT(shown, 3);
  EXPECT_GT(drawn, rectangles / 2) << "the clouds were drawn";
  EXPECT_LT(double(drawn), double(rectangles) * 0.92) << "the puffs' empty corners were drawn";
  // Each cloud alone, its whole quad and the game's outline, at full strength over black
  // so that every texel above the rim's alpha shows by more than the rim's levels.
  D3DEngine& e = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  auto draw = [&](const CTexturedSprite& cloud, bool whole) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    e.SetNormalBlend();
    vb.blendMode = 0;
    vb.SetTexture(sky.texture);
    CTexturedSprite q = cloud;
    q.SetColour(0xFFFFFFFFu);
    if (whole)
      vb.AddVertices(q.v, 4);
    else
      QueueTightOctagon(q, 3);
    vb.Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels);
    e.Flip();
    return pixels;
  };
  for (const auto& c : sky.clouds) {
    if (!c->quad.IsOnScreen()) continue;
    SCOPED_TRACE("a cloud turned " + std::to_string(c->quad.angle));
    const std::vector<uint32_t> whole = draw(c->quad, true), outlined = draw(c->quad, false);
    ASSERT_EQ(whole.size(), outlined.size());
    // The rim of alpha 3 of 255 and less is left out: up to three levels where it ends.
    const size_t differ = PixelsDiffering(whole, outlined, 3);
    EXPECT_EQ(differ, 0u) << "pixels of the cloud lost with a corner";
  }
}

// Fainter clouds (further in, less of them shows) hide more of their puffs' soft rims:
// what the game draws is less than the outline of the rim drawn at full strength, and
// each cloud looks, at its own strength, as its whole quad draws it.
TEST_F(BattleMomentGLTest, FaintCloudsLeaveOutTheWiderRimTheirStrengthHides) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options::Get().SetFloat("CLOUDS", 1.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 0.65f;
  Step();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Step();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name == "world 34 atmosphere") drawn += entry.pixels;
  GUI_BS_Atmosphere& sky = GUI_BS_Atmosphere::Instance();
  ASSERT_TRUE(sky.texture && sky.texture->Texture());
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  // The puffs' outlines round every texel above alpha 3, as drawn at full strength.
  e.BeginScene();
  vb.blendMode = 0;
  vb.SetTexture(sky.texture);
  vb.Flush();
  const uint64_t before = d->Counters().drawnPixels;
  int shown = 0;
  for (const auto& c : sky.clouds)
    if (c->quad.IsOnScreen()) {
      ++shown;
      QueueTightOctagon(c->quad, 3);
    }
  vb.Flush();
  const uint64_t fullRims = d->Counters().drawnPixels - before;
  e.EndScene();
  e.Flip();
  ASSERT_GT(shown, 3);
  EXPECT_GT(drawn, fullRims / 2) << "the clouds were drawn";
  EXPECT_LT(double(drawn), double(fullRims) * 0.95) << "the rims their strength hides were drawn";
  // Each cloud alone at the strength the game gives it over black: the game's own (placed
  // and queued by its update), then its whole quad as placed.
  const float strength = 1.0f - map.zoom;
  auto draw = [&](GUI_BS_Cloud& cloud, bool whole) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    e.SetNormalBlend();
    vb.blendMode = 0;
    vb.SetTexture(sky.texture);
    if (whole)
      vb.AddVertices(cloud.quad.v, 4);
    else
      cloud.Update(strength, 0.0f);
    vb.Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    d->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels);
    e.Flip();
    return pixels;
  };
  size_t lit = 0;
  for (const auto& c : sky.clouds) {
    if (!c->quad.IsOnScreen()) continue;
    SCOPED_TRACE("a cloud turned " + std::to_string(c->quad.angle));
    const std::vector<uint32_t> game = draw(*c, false), full = draw(*c, true);
    ASSERT_EQ(full.size(), game.size());
    for (size_t i = 0; i < full.size(); ++i) lit += (full[i] & 0xFFu) > 4 ? 1 : 0;
    const size_t differ = PixelsDiffering(full, game, 3);
    EXPECT_EQ(differ, 0u) << "pixels of the cloud lost with its rim";
  }
  EXPECT_GT(lit, 20000u) << "the clouds show";
}

// A blast's glare is a disc drawn as four mirrored quarters: each quarter is drawn over
// its outline (the empty far corner of its cell left out, and the wider rim a fading
// glare hides), and each glare looks as its whole quads draw it.
TEST_F(BattleMomentGLTest, GlaresLeaveOutTheEmptyCornersAndTheRimTheirFadeHides) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_TRUE(StartAt("river_fords"));
  // One glare late in its fade, one at full strength, one growing.
  GUI_BS_BlastGlare::Spawn(90.0f, 500.0f, 0, cx - 220.0f, cy - 60.0f);
  for (int i = 0; i < 18; ++i) Step();
  GUI_BS_BlastGlare::Spawn(70.0f, 600.0f, 0, cx + 180.0f, cy + 40.0f);
  for (int i = 0; i < 8; ++i) Step();
  GUI_BS_BlastGlare::Spawn(60.0f, 600.0f, 0, cx, cy - 180.0f);
  Step();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Step();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name == "world 24 effects upper") drawn += entry.pixels;
  std::vector<GUI_BS_BlastGlare*> glares;
  for (GUI_BS_RenderObject* o : GUI_BS_EffectsManager::Instance().allEffects)
    if (auto* g = dynamic_cast<GUI_BS_BlastGlare*>(o)) glares.push_back(g);
  ASSERT_EQ(glares.size(), 3u);
  uint64_t whole = 0;
  bool fading = false, full = false;
  for (GUI_BS_BlastGlare* g : glares) {
    fading = fading || (g->shownAlpha > 0 && g->shownAlpha < 128);
    full = full || g->shownAlpha >= 200;
    for (const CTexturedSprite& q : g->sprite.quads)
      if (q.IsOnScreen()) whole += QuadPixels(q.v);
  }
  ASSERT_TRUE(fading && full) << "a fading and a full-strength glare are in the frame";
  EXPECT_GT(drawn, whole / 2) << "the glares were drawn";
  EXPECT_LT(double(drawn), double(whole) * 0.9) << "the glares' empty corners and hidden rims were drawn";
  // Each glare alone over black: the game's own draw (the next frame of it), then the
  // whole quads that draw placed.
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  auto read = [&] {
    vb.Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    d->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels);
    e.Flip();
    return pixels;
  };
  size_t lit = 0;
  for (GUI_BS_BlastGlare* g : glares) {
    SCOPED_TRACE("a glare at alpha " + std::to_string(g->shownAlpha));
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    e.SetNormalBlend();
    g->Draw();
    const std::vector<uint32_t> game = read();
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    e.SetNormalBlend();
    vb.blendMode = 0;
    vb.SetTexture(g->sprite.texture);
    for (const CTexturedSprite& q : g->sprite.quads) vb.AddVertices(q.v, 4);
    const std::vector<uint32_t> quads = read();
    ASSERT_EQ(game.size(), quads.size());
    for (size_t i = 0; i < quads.size(); ++i) lit += (quads[i] >> 16 & 0xFFu) > 8 ? 1 : 0;
    const size_t differ = PixelsDiffering(quads, game, 2);
    EXPECT_EQ(differ, 0u) << "pixels of the glare lost with its corners or rim";
  }
  EXPECT_GT(lit, 20000u) << "the glares show";
}

// A shock wave is a ring: the pass draws it over its outline, not its whole cell (whose
// corners bend nothing), and the distortion target holds what the whole quad gives.
TEST_F(BattleMomentGLTest, ShockWavesAreDrawnOverTheirRingsOutline) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  distortion.AddShockwave(cx - 150.0f, cy, 40.0f, 200.0f, 1000.0f, 1.0f);
  distortion.AddShockwave(cx + 200.0f, cy + 60.0f, 60.0f, 160.0f, 800.0f, 0.8f);
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  platform::Texture* target =
      e.HasTexture("rt_distortion") ? e.FindNamedTexture("rt_distortion")->Get() : nullptr;
  ASSERT_NE(target, nullptr);
  const platform::Rect screen{0, 0, 1024, 768};
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  int drawnFrames = 0;
  // The layer also clears what the frame before drew (its boxes), once that is known.
  int64_t heldPixels = -1;
  for (int frame = 1; frame <= 12; ++frame) {
    SCOPED_TRACE(frame);
    Step();
    if (!distortion.DrewThisFrame()) {
      heldPixels = -1;
      continue;
    }
    ++drawnFrames;
    int64_t drawn = 0, whole = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries)
      if (entry.name == "world 33 distortion") drawn += int64_t(entry.pixels);
    for (const auto& w : distortion.shockwaves)
      if (w->sprite.IsOnScreen()) whole += int64_t(QuadPixels(w->sprite.v));
    ASSERT_GT(whole, 0);
    if (heldPixels >= 0) {
      drawn -= heldPixels;
      EXPECT_GT(drawn, whole / 2) << "the waves were drawn";
      EXPECT_LT(double(drawn), double(whole) * 0.9) << "the rings' empty corners were drawn";
    }
    heldPixels = 0;
    for (const GUI_BS_DistortionManager::Box& b : distortion.DrawnBoxes())
      heldPixels += int64_t(b.right - b.left) * int64_t(b.bottom - b.top);
    std::vector<uint32_t> game, full;
    ASSERT_EQ(d->ReadPixels(target, screen, &game), platform::D3D_OK);
    // The same waves, whole quads, into the target cleared to neutral grey.
    e.RememberRenderTarget();
    ASSERT_TRUE(e.SetRenderTarget("rt_distortion"));
    e.BeginScene();
    e.ClearTarget(0xFF808080u);
    e.SetNormalBlend();
    for (const auto& w : distortion.shockwaves)
      if (w->sprite.IsOnScreen()) w->sprite.DrawDirect();
    e.EndScene();
    ASSERT_EQ(d->ReadPixels(target, screen, &full), platform::D3D_OK);
    e.RestoreRenderTarget();
    ASSERT_EQ(game.size(), full.size());
    const size_t differ = PixelsDiffering(full, game, 1);
    EXPECT_EQ(differ, 0u) << "pixels of a ring lost with a corner";
    e.Flip();
  }
  trace.enabled = false;
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
  EXPECT_GT(drawnFrames, 5) << "the waves were drawn";
}

// Shock waves and shield hits are rings whose middles bend nothing: the pass draws the
// ring less its empty middle, and a fading wave leaves out the faint texels that move no
// offset by a level; the distortion target holds what the whole quads give.
TEST_F(BattleMomentGLTest, DistortionRingsLeaveOutTheirEmptyMiddles) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  // A unit's death: a strong wave and a faint one round it; a second death apart.
  distortion.AddShockwave(cx - 150.0f, cy, 60.0f, 240.0f, 1000.0f, 1.0f);
  distortion.AddShockwave(cx - 150.0f, cy, 45.0f, 180.0f, 1000.0f, 0.2f);
  distortion.AddShockwave(cx + 220.0f, cy + 80.0f, 50.0f, 200.0f, 800.0f, 0.8f);
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  platform::Texture* target =
      e.HasTexture("rt_distortion") ? e.FindNamedTexture("rt_distortion")->Get() : nullptr;
  ASSERT_NE(target, nullptr);
  const platform::Rect screen{0, 0, 1024, 768};
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  int measured = 0;
  int64_t heldPixels = -1;
  for (int frame = 1; frame <= 12; ++frame) {
    SCOPED_TRACE(frame);
    Step();
    if (!distortion.DrewThisFrame()) {
      heldPixels = -1;
      continue;
    }
    int64_t drawn = 0, whole = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries)
      if (entry.name == "world 33 distortion") drawn += int64_t(entry.pixels);
    for (const auto& w : distortion.shockwaves)
      if (w->sprite.IsOnScreen()) whole += int64_t(QuadPixels(w->sprite.v));
    ASSERT_GT(whole, 0);
    if (heldPixels >= 0) {
      ++measured;
      drawn -= heldPixels;
      EXPECT_GT(drawn, whole / 3) << "the rings were drawn";
      // The octagon round these rings is 0.79 of their cells, less their middles 0.71.
      EXPECT_LT(double(drawn), double(whole) * 0.75) << "the rings' empty middles were drawn";
    }
    heldPixels = 0;
    for (const GUI_BS_DistortionManager::Box& b : distortion.DrawnBoxes())
      heldPixels += int64_t(b.right - b.left) * int64_t(b.bottom - b.top);
    std::vector<uint32_t> game, full;
    ASSERT_EQ(d->ReadPixels(target, screen, &game), platform::D3D_OK);
    e.RememberRenderTarget();
    ASSERT_TRUE(e.SetRenderTarget("rt_distortion"));
    e.BeginScene();
    e.ClearTarget(0xFF808080u);
    e.SetNormalBlend();
    for (const auto& w : distortion.shockwaves)
      if (w->sprite.IsOnScreen()) w->sprite.DrawDirect();
    e.EndScene();
    ASSERT_EQ(d->ReadPixels(target, screen, &full), platform::D3D_OK);
    e.RestoreRenderTarget();
    ASSERT_EQ(game.size(), full.size());
    // Each wave may leave out texels worth under a level; two overlap here.
    EXPECT_EQ(PixelsDiffering(full, game, 2), 0u) << "pixels of a ring lost with its middle";
    e.Flip();
  }
  trace.enabled = false;
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
  EXPECT_GT(measured, 5) << "the waves were drawn";
}

// The pass bends only where this frame's waves are: a wave that has played out leaves no
// box behind for a later wave elsewhere.
TEST_F(BattleMomentGLTest, APlayedOutWaveLeavesNoBoxToBend) {
  ZT_REQUIRE_GL(gl_);
  SIM_Options& options = SIM_Options::Get();
  const float distortionWas = options.GetFloat("DISTORTION"), blurWas = options.GetFloat("MOTIONBLUR");
  options.SetFloat("DISTORTION", 1.0f);
  options.SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_TRUE(StartAt("river_fords"));
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  distortion.AddShockwave(cx - 250.0f, cy - 150.0f, 40.0f, 120.0f, 100.0f, 1.0f);
  int drawn = 0;
  for (int frame = 1; frame <= 20 && !distortion.shockwaves.empty(); ++frame) {
    Step();
    drawn += distortion.DrewThisFrame() ? 1 : 0;
  }
  ASSERT_TRUE(distortion.shockwaves.empty());
  ASSERT_GT(drawn, 0) << "the first wave was drawn";
  distortion.AddShockwave(cx + 250.0f, cy + 150.0f, 40.0f, 120.0f, 1000.0f, 1.0f);
  Step();
  ASSERT_TRUE(distortion.DrewThisFrame());
  // Other drawers (burning ground) may add boxes of their own; none may be the old wave's.
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const int oldX = int((cx - 250.0f - map.viewLeft) * map.zoom),
            oldY = int((cy - 150.0f - map.viewTop) * map.zoom);
  for (const GUI_BS_DistortionManager::Box& b : distortion.DrawnBoxes())
    EXPECT_FALSE(oldX >= b.left && oldX < b.right && oldY >= b.top && oldY < b.bottom)
        << "a box is left round the played-out wave";
  options.SetFloat("DISTORTION", distortionWas);
  options.SetFloat("MOTIONBLUR", blurWas);
}

// A missile's smoke trail: a small puff is drawn as its whole quad (its soft corners hold
// too little to pay for the seams of a cut outline), a large faded one is cut to its
// outline; either way the trail looks as the whole quads draw it.
TEST_F(BattleMomentGLTest, RocketTrailPuffsAreCutToTheirOutlineOnlyWhereTheCornersPay) {
  ZT_REQUIRE_GL(gl_);
  struct Case {
    float zoom;
    int frames;  // drawn after the missile's flight: the puffs age and fade
    bool cut;
  };
  const Case cases[] = {{1.5f, 0, false}, {4.0f, 160, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << ", " << c.frames << " frames later");
    ASSERT_TRUE(StartAt("desert_pass"));
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = c.zoom;
    map.UpdateViewRect();
    Step();
    missile.alive = true;
    missile.heading = 270.0f;
    missile.x = map.cameraX + 260.0f;
    missile.y = map.cameraY + 20.0f;
    trail = GUI_BS_RocketTrailManager::Instance().GetFreeTrail();
    trail->Start(&missile);
    for (int frame = 1; frame <= 30; ++frame) {
      missile.x -= 12.0f;
      trail->Advance(12.0f);
      Step();
    }
    missile.alive = false;
    for (int frame = 0; frame < c.frames; ++frame) Step();
    BattleFrameTrace& trace = GetBattleFrameTrace();
    trace.enabled = true;
    Step();
    trace.enabled = false;
    uint64_t drawn = 0;
    for (const BattleFrameTrace::Entry& entry : trace.entries)
      if (entry.name.find("rocket trails") != std::string::npos) drawn += entry.pixels;
    CLoadedTexture* sheet = GUI_BS_RocketTrailManager::Instance().texture;
    ASSERT_TRUE(sheet && sheet->Texture());
    uint64_t whole = 0;
    int shown = 0;
    for (const SmokePuff& p : trail->puffs) {
      if (!p.alive || !p.InView() || (p.quad[0].colour >> 24) == 0) continue;
      whole += QuadPixels(p.quad);
      ++shown;
    }
    ASSERT_GT(shown, 20) << "the trail has its puffs";
    if (c.cut) {
      EXPECT_GT(drawn, whole / 3) << "the puffs were drawn";
      EXPECT_LT(double(drawn), double(whole) * 0.95) << "the large puffs' empty corners were drawn";
    } else {
      EXPECT_GE(double(drawn), double(whole) * 0.999) << "small puffs cut into bands";
      EXPECT_LE(double(drawn), double(whole) * 1.001) << "the puffs were drawn once";
    }
    // The whole trail, its whole quads then the game's own puffs, white over black.
    D3DEngine& e = GetRenderDevice();
    GVertexBuffer& vb = GetGlobalVertexBuffer();
    auto draw = [&](bool wholeQuads) {
      e.BeginScene();
      e.ClearTarget(0xFF000000u);
      e.SetNormalBlend();
      vb.blendMode = 0;
      vb.SetTexture(sheet);
      for (SmokePuff& p : trail->puffs) {
        if (!p.alive || !p.InView()) continue;
        if (wholeQuads)
          vb.AddVertices(p.quad, 4);
        else
          p.Draw();
      }
      vb.Flush();
      e.EndScene();
      std::vector<uint32_t> pixels;
      e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels);
      e.Flip();
      return pixels;
    };
    const std::vector<uint32_t> full = draw(true), game = draw(false);
    ASSERT_EQ(full.size(), game.size());
    size_t lit = 0;
    for (size_t i = 0; i < full.size(); ++i) lit += (full[i] & 0xFFFFFFu) != 0 ? 1 : 0;
    EXPECT_GT(lit, 2000u) << "the trail shows";
    EXPECT_EQ(PixelsDiffering(full, game, 1), 0u) << "pixels of the trail lost with a corner";
    trail->missile = nullptr;  // the next battle start empties the trail pool
  }
}

TEST_F(BattleMomentGLTest, TheSameMomentLightsNightCitadelThenNightVisionFlickersIn) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_TRUE(StartAt("night_citadel"));
  // The fires and the gunfire draw from the battle's stream: start it alike whatever ran
  // before.
  InitRandomWithSeed(26);
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1) << "the citadel is fought at night";
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  fx.Add(new GUI_BS_GroundEmitter(14.0f, -1.0f, "burning_ground", cx + 40.0f, cy - 150.0f));
  fx.Add(new GUI_BS_GroundEmitter(10.0f, -1.0f, "hulk_emitter", cx - 300.0f, cy + 150.0f));
  Script();
  Play(1, 12, "MEDIUM_DUST", true, 12, "moment_night_lit");
  NightVisionToggle();
  Play(13, 14, "MEDIUM_DUST", true);  // 32 ms: still flickering in
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().transitionTarget, 1) << "night vision flickers in";
  Play(15, 24, "MEDIUM_DUST", true, 24, "moment_night_vision");
  ASSERT_TRUE(GUI_BS_LightmapManager::Instance().nightVisionOverride);
}

}  // namespace
