// Wrecks, break-ups and camera shake: a wreck's fades, the one wreck a placement
// shatters, the break-up grid's size limits, and when a blast shakes the camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "battle/Battle.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/ShellCasings.h"
#include "battlescreen/WorldDetailsFixture.h"
#include "engine/InputManager.h"
#include "engine/Textures.h"
#include "gui/Tooltip.h"
#include "platform/NullDevice.h"

namespace {

using battlescreen_test::CountEffects;
using battlescreen_test::RecordedEffects;

class HulksTest : public battlescreen_test::WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    GUI_BS_Hulk::Clear();
    GUI_BS_BreakupCollection::Clear();
    CameraShake::Instance() = CameraShake();
  }
  void TearDown() override {
    GUI_BS_Hulk::Clear();
    GUI_BS_BreakupCollection::Clear();
    CameraShake::Instance() = CameraShake();
    WorldDetailsTest::TearDown();
  }
  static GUI_BS_Hulk* AddHulk(float x, float y, float size = 60.0f, float hullSize = 100.0f) {
    auto* h = new GUI_BS_Hulk("", size, hullSize, "Test Tank");
    h->x = x;
    h->y = y;
    GUI_BS_Hulk::Add(h);
    return h;
  }
};

TEST_F(HulksTest, AWreckFadesInOverATenthAndOutOverAFifthOfASecond) {
  struct Step {
    float ms;
    bool shatterFirst;
    int state;
    float alpha;
  } steps[] = {
      {50.0f, false, GUI_BS_Hulk::FADING_IN, 0.5f},  {50.0f, false, GUI_BS_Hulk::FADING_IN, 1.0f},
      {1.0f, false, GUI_BS_Hulk::SHOWN, 1.0f},       {5000.0f, false, GUI_BS_Hulk::SHOWN, 1.0f},
      {100.0f, true, GUI_BS_Hulk::FADING_OUT, 0.5f}, {100.0f, false, GUI_BS_Hulk::FADING_OUT, 0.0f},
      {1.0f, false, GUI_BS_Hulk::GONE, 0.0f},
  };
  GUI_BS_Hulk hulk("", 60.0f, 100.0f, "Test Tank");
  float total = 0.0f;
  for (const Step& s : steps) {
    total += s.ms;
    SCOPED_TRACE("after " + std::to_string(total) + " ms");
    if (s.shatterFirst) hulk.Shatter();
    GUI_BS_Hulk::Advance(&hulk, s.ms);
    EXPECT_EQ(hulk.state, s.state);
    EXPECT_NEAR(hulk.alpha, s.alpha, 1e-5f);
  }
}

TEST_F(HulksTest, AWreckPassDeletesTheWrecksThatHaveFadedOut) {
  AddHulk(2000.0f, 2000.0f);
  AddHulk(2300.0f, 2000.0f);
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(10.0f, 2000.0f, 2000.0f));
  // 16 ms a frame: the shattered wreck is gone after 13 frames, the other stays.
  for (int i = 0; i < 13; ++i) GUI_BS_Hulk::DrawAll();
  ASSERT_EQ(GUI_BS_Hulk::List().size(), 1u);
  EXPECT_FLOAT_EQ(GUI_BS_Hulk::List().front()->x, 2300.0f);
}

TEST_F(HulksTest, EachPlacementShattersOneWreckAndNeverOneAlreadyFading) {
  GUI_BS_Hulk* first = AddHulk(1000.0f, 1000.0f, 60.0f, 100.0f);
  GUI_BS_Hulk* second = AddHulk(1010.0f, 1000.0f, 60.0f, 160.0f);
  // Out of reach: size / 2 + radius = 30 + 20 = 50 from the first.
  EXPECT_FALSE(GUI_BS_Hulk::IsNear(20.0f, 1051.0f + 10.0f, 1000.0f));
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f));
  EXPECT_EQ(first->state, GUI_BS_Hulk::FADING_OUT);
  EXPECT_EQ(second->state, GUI_BS_Hulk::FADING_IN) << "one wreck a placement";
  EXPECT_TRUE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f));
  EXPECT_EQ(second->state, GUI_BS_Hulk::FADING_OUT);
  EXPECT_FALSE(GUI_BS_Hulk::IsNear(20.0f, 1000.0f, 1000.0f)) << "fading wrecks are not shattered twice";
  EXPECT_EQ(CountEffects("group", "shatter_small"), 1);
  EXPECT_EQ(CountEffects("group", "shatter_large"), 1);
  EXPECT_EQ(RecordedEffects().size(), 2u);
}

TEST_F(HulksTest, TheShatterEffectFollowsTheHullSize) {
  const std::pair<float, const char*> cases[] = {{60.0f, "shatter_small"},   {109.9f, "shatter_small"},
                                                 {110.0f, "shatter_medium"}, {149.0f, "shatter_medium"},
                                                 {150.0f, "shatter_large"},  {400.0f, "shatter_large"}};
  for (const auto& [size, name] : cases) EXPECT_EQ(GUI_BS_Hulk::ShatterEffectFor(size), name) << size;
}

TEST_F(HulksTest, BreakupGridHasNoPiecesUnderSixteenUnitsAndAtMostSixteenASide) {
  const std::pair<float, int> cases[] = {
      {0.0f, 0},    {15.9f, 0},    {16.0f, 1},  {100.0f, 6},
      {256.0f, 16}, {5000.0f, 16}, {-40.0f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto& [size, n] : cases) {
    SCOPED_TRACE(size);
    EXPECT_EQ(GUI_BS_BreakupCollection::PiecesPerSide(size), n);
    GUI_BS_BreakupCollection c(size, 40.0f, 40.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(c.pieces.size(), static_cast<size_t>(n * n));
    for (const GUI_BS_Breakup& p : c.pieces) {
      EXPECT_TRUE(std::isfinite(p.restX) && std::isfinite(p.restY) && std::isfinite(p.width));
      EXPECT_GE(p.angle, 0.0f);
      EXPECT_LT(p.angle, 360.0f);
    }
  }
}

TEST_F(HulksTest, APiecelessBreakupFinishesAtOnceAndAFullOneWithinItsLongestLife) {
  GUI_BS_BreakupCollection none(10.0f, 10.0f, 10.0f, 0.0f, 0.0f, 1.0f, 1.0f);
  none.Start(100.0f, 100.0f, 45.0f);
  none.Update(16.0f);
  EXPECT_EQ(none.state, GUI_BS_BreakupCollection::FINISHED);

  GUI_BS_BreakupCollection full(64.0f, 64.0f, 48.0f, 0.0f, 0.0f, 1.0f, 1.0f);
  ASSERT_EQ(full.pieces.size(), 16u);
  full.Start(500.0f, 500.0f, 90.0f);
  full.Update(1.0f);
  // Before its delay a piece lies at its rest place turned with the unit.
  for (const GUI_BS_Breakup& p : full.pieces)
    if (!p.started) {
      EXPECT_NEAR(p.x, 500.0f - p.restY, 1e-3f);
      EXPECT_NEAR(p.y, 500.0f + p.restX, 1e-3f);
    }
  float ms = 1.0f;
  while (full.state == GUI_BS_BreakupCollection::RUNNING && ms < 3000.0f) {
    full.Update(16.0f);
    ms += 16.0f;
  }
  EXPECT_EQ(full.state, GUI_BS_BreakupCollection::FINISHED);
  EXPECT_LE(ms, 250.0f + 1800.0f + 32.0f);
}

TEST_F(HulksTest, ABlastShakesTheCameraByItsScreenDistanceAndTheOption) {
  struct Case {
    const char* name;
    float strength, x, y;
    bool option;
    float shake;
  } cases[] = {
      {"at the centre", 64.0f, 2000.0f, 2000.0f, true, 1.0f},
      {"heavy at the centre", 256.0f, 2000.0f, 2000.0f, true, 4.0f},
      {"500 px out: weaker", 256.0f, 2500.0f, 2000.0f, true, 3.0f},
      {"400 px out: full", 256.0f, 2400.0f, 2000.0f, true, 4.0f},
      {"v just above 0.1", 26.0f, 2000.0f, 2000.0f, true, 4.0f * 0.25f * 26.0f / 64.0f},
      {"v at or below 0.1", 25.0f, 2000.0f, 2000.0f, true, 0.0f},
      {"far beyond 400 px", 64.0f, 2500.0f, 2000.0f, true, 0.0f},
      {"off the map view", 5000.0f, 2000.0f + 512.0f + 200.0f, 2000.0f, true, 0.0f},
      {"option off", 256.0f, 2000.0f, 2000.0f, false, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraShake::Instance() = CameraShake();
    SIM_Options::Get().SetFloat("CAMERASHAKE", c.option ? 1.0f : 0.0f);
    EXPECT_NEAR(ShakeFromBlast(c.strength, c.x, c.y), c.shake, 1e-4f);
    const CameraShake& s = CameraShake::Instance();
    EXPECT_EQ(s.active, c.shake > 0.0f);
    if (c.shake > 0.0f) {
      EXPECT_NEAR(s.maxAmplitude, c.shake * 7.0f, 1e-3f);
      EXPECT_NEAR(s.duration, c.shake * 500.0f, 1e-2f);
    }
  }
}

TEST_F(HulksTest, AShakeDiesDownAndLeavesTheCameraWhereItWas) {
  SIM_Options::Get().SetFloat("CAMERASHAKE", 1.0f);
  StartCameraShake(1.0f);
  const CameraShake& s = CameraShake::Instance();
  ASSERT_TRUE(s.active);
  float biggest = 0.0f;
  for (int i = 0; i < 60 && s.active; ++i) {
    StepCameraShake(12.0f);
    biggest = std::max({biggest, std::fabs(s.offsetX), std::fabs(s.offsetY)});
    EXPECT_LE(std::fabs(s.offsetX), 7.0f);
    EXPECT_GE(s.period, 25.0f);
    EXPECT_LE(s.period, 125.0f);
  }
  EXPECT_GT(biggest, 1.0f);
  EXPECT_FALSE(s.active) << "500 ms for a shake of 1";
  EXPECT_EQ(s.offsetX, 0.0f);
  EXPECT_EQ(s.offsetY, 0.0f);
}

// The pieces go out in one triangle list, the layer on stage 0 and the shard mask on
// stage 1, each piece's mask coordinates inside its own cell of the 2 x 2 sheet; the
// shadow is the same shards in half-black. The mask is unbound afterwards.
TEST_F(HulksTest, BreakupPiecesDrawAtOnceCutByTheirMaskCells) {
  GUI_BS_BreakupCollection c(64.0f, 64.0f, 64.0f, 0.0f, 0.0f, 0.5f, 0.5f);  // 4 x 4 pieces
  ASSERT_EQ(c.pieces.size(), 16u);
  c.texture = FindOrLoadTexture("tracks.dds");
  ASSERT_NE(c.texture, nullptr);
  c.colourR = 200;
  c.colourG = 100;
  c.colourB = 50;
  c.Start(2000.0f, 2000.0f, 0.0f);
  c.Update(0.0f);  // at rest, all alive, none started
  platform::Texture* mask = FindOrLoadTexture("breakup_alpha.dds")->Texture();
  ASSERT_NE(mask, nullptr);
  for (bool shadow : {false, true}) {
    SCOPED_TRACE(shadow ? "shadow" : "pieces");
    device->ClearRecord();
    c.Draw(shadow);
    ASSERT_EQ(device->draws.size(), 1u);
    const platform::DrawRecord& d = device->draws[0];
    EXPECT_EQ(d.type, platform::PrimitiveType::TriangleList);
    EXPECT_EQ(d.primitiveCount, 32);
    EXPECT_EQ(d.stride, 36);
    EXPECT_EQ(d.textures[0], c.texture->Texture());
    EXPECT_EQ(d.textures[1], mask);
    for (int k = 0; k < 16; ++k) {
      const int cell = c.pieces[static_cast<size_t>(k)].maskCell;
      const float mu = (cell % 2) * 0.5f, mv = (cell / 2) * 0.5f;
      for (int i = k * 6; i < k * 6 + 6; ++i) {
        EXPECT_GE(d.U(i, 1), mu);
        EXPECT_LE(d.U(i, 1), mu + 0.5f);
        EXPECT_GE(d.V(i, 1), mv);
        EXPECT_LE(d.V(i, 1), mv + 0.5f);
        EXPECT_EQ(d.Colour(i), shadow ? 0x80000000u : 0xFFC86432u);
      }
    }
    EXPECT_EQ(device->GetTexture(1), nullptr) << "the mask does not stay bound";
  }
  // Pieces that died draw nothing at all.
  for (GUI_BS_Breakup& p : c.pieces) p.alive = false;
  device->ClearRecord();
  c.Draw(false);
  EXPECT_TRUE(device->draws.empty());
}

// The wreck's tooltip (its design and "destroyed") shows while the mouse lies within
// size / sqrt(2) of its centre on screen and no window holds the mouse.
TEST_F(HulksTest, AWreckUnderTheMouseShowsItsTooltipUnlessAWindowHasTheMouse) {
  GUI_BS_Hulk* h = AddHulk(2000.0f, 2000.0f, 60.0f);  // the screen centre (512, 384)
  GUI_InputManager& input = GetInputManager();
  const float keptX = input.x, keptY = input.y;
  const bool keptClaim = input.MouseClaimed;
  struct Case {
    float mx, my;
    bool claimed, shown;
  } cases[] = {
      {512.0f, 384.0f, false, true},   // on its centre
      {552.0f, 384.0f, false, true},   // 40 px: 1600 < 1800
      {555.0f, 384.0f, false, false},  // 43 px: 1849 > 1800
      {512.0f, 384.0f, true, false},   // a window has the mouse
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mx) + (c.claimed ? " claimed" : ""));
    input.x = c.mx;
    input.y = c.my;
    input.MouseClaimed = c.claimed;
    GUI_Tooltip::ClearQueue();
    GUI_BS_Hulk::DrawAll();
    const auto& q = GUI_Tooltip::Queue();
    EXPECT_EQ(std::find(q.begin(), q.end(), h->tooltip.get()) != q.end(), c.shown);
  }
  GUI_Tooltip::ClearQueue();
  input.x = keptX;
  input.y = keptY;
  input.MouseClaimed = keptClaim;
}

// While the light map's override flashes, the flash timer's jitter (screen pixels) moves
// the camera; without the override the camera stays put even mid-flash.
TEST_F(HulksTest, TheFlashJitterMovesTheCameraOnlyWhileTheOverrideIsOn) {
  BattleFrameHooks& frame = GetBattleFrameHooks();
  const BattleFrameHooks savedFrame = frame;
  FlashTimer& flash = FlashTimer::Get();
  const FlashTimer savedFlash = flash;
  flash.jitterX = 3.0f;
  flash.jitterY = -2.0f;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = 2.0f;
  const struct {
    bool (*override)();
    float dx, dy;
  } cases[] = {{[] { return true; }, 1.5f, -1.0f}, {[] { return false; }, 0.0f, 0.0f}, {nullptr, 0.0f, 0.0f}};
  for (const auto& c : cases) {
    frame.lightOverride = c.override;
    StepCameraShakeLayer();
    map.cameraX = map.cameraY = 2000.0f;
    map.UpdateViewRect();
    EXPECT_FLOAT_EQ(map.viewLeft, 2000.0f + c.dx - 256.0f);
    EXPECT_FLOAT_EQ(map.viewTop, 2000.0f + c.dy - 192.0f);
  }
  frame = savedFrame;
  flash = savedFlash;
  CameraShake::Instance() = CameraShake();
}

}  // namespace
