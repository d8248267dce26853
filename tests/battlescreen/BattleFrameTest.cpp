// One battle frame on the recording null device: the layers run in their fixed order,
// the ground of the largest shipped map is drawn in a few batches, and the HUD flags
// remove exactly the layers they gate.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/MapTiles.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Sprites.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"

namespace {

using battlescreen_test::LargestShippedScenario;
using battlescreen_test::StartShippedBattle;

// The order of one frame: world layers 1..38 (gated ones as given), the composite, then
// the HUD and screen layers 1..18.
std::vector<std::string> ExpectedOrder(bool hud, bool damage, bool lighting, bool firstFrame) {
  std::vector<std::string> order;
  for (int layer = 1; layer <= 38; ++layer) {
    if (layer == 3 && !hud) continue;
    if (layer == 14) continue;  // no design is being dropped
    if ((layer == 21 || layer == 30) && !lighting) continue;
    if (layer == 33) continue;  // distortion is off
    order.push_back("world " + std::to_string(layer));
  }
  order.push_back("post-process");
  for (int layer = 1; layer <= 18; ++layer) {
    if (!hud && (layer <= 9 || layer == 12 || layer == 17)) continue;
    if (layer == 9 && !damage) continue;
    if (layer == 10 && !firstFrame) continue;
    order.push_back("hud " + std::to_string(layer));
  }
  return order;
}

// "world 12 hulks" -> "world 12".
std::vector<std::string> Recorded() {
  std::vector<std::string> out;
  for (const auto& e : GetBattleFrameTrace().entries) {
    const size_t second = e.name.find(' ', e.name.find(' ') + 1);
    out.push_back(e.name.substr(0, second));
  }
  return out;
}

uint64_t DrawsOf(const std::string& prefix) {
  for (const auto& e : GetBattleFrameTrace().entries)
    if (e.name.rfind(prefix + " ", 0) == 0 || e.name == prefix) return e.draws;
  return ~0ull;
}

int g_lighting = 0;
int Lighting() { return g_lighting; }

class BattleFrameTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    SIM_Options::Get().SetFloat("DISTORTION", 0.0f);
    ASSERT_NE(StartShippedBattle(LargestShippedScenario()), nullptr);
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
    GetBattleFrameTrace().enabled = true;
    savedLighting = GetBattleFrameHooks().lightingMode;
  }
  void TearDown() override {
    GetBattleFrameHooks().lightingMode = savedLighting;
    zt_test::NullDeviceTest::TearDown();
  }
  void Frame() {
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
  }
  GUI_BattleScreen* screen = nullptr;
  int (*savedLighting)() = nullptr;
};

TEST_F(BattleFrameTest, OneFrameDrawsEveryLayerInItsFixedOrder) {
  struct Case {
    const char* what;
    bool hud, damage, lighting, firstFrame;
  } cases[] = {
      {"everything shown, first frame after loading", true, true, false, true},
      {"damage numbers off", true, false, false, false},
      {"HUD hidden: its overlays go, windows, cursor and transition stay", false, true, false, false},
      {"lit battle: searchlights and the top props' light pass", true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BattleViewFlags& flags = GetBattleViewFlags();
    flags.showHud = c.hud;
    flags.showDamage = c.damage;
    screen->firstFramePending = c.firstFrame;
    g_lighting = c.lighting ? 1 : 0;
    GetBattleFrameHooks().lightingMode = Lighting;
    Frame();
    EXPECT_EQ(Recorded(), ExpectedOrder(c.hud, c.damage, c.lighting, c.firstFrame));
    EXPECT_FALSE(screen->firstFramePending);
  }
}

TEST_F(BattleFrameTest, TheLargestMapsGroundIsDrawnInAFewBatches) {
  // Farthest zoom: the whole map and its borders are on screen.
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.targetZoom = map.minZoom;
  Frame();
  map.centreX = map.mapWidth / 2;
  map.centreY = map.mapHeight / 2;
  Frame();
  ASSERT_FALSE(map.tiles.empty());
  // The farthest zoom fits the map's width; a tall map still runs past the screen's foot.
  int drawnTiles = 0, missed = 0;
  std::set<int> columnsInView;
  for (GUI_BS_MapTile* t : map.tiles) {
    drawnTiles += t->drawnThisFrame ? 1 : 0;
    if (t->cornerX1 <= map.viewLeft || t->cornerX0 >= map.viewRight || t->cornerY1 <= map.viewTop ||
        t->cornerY0 >= map.viewBottom)
      continue;
    columnsInView.insert(t->square->column);
    missed += t->drawnThisFrame ? 0 : 1;
  }
  EXPECT_EQ(missed, 0) << "every tile in view is drawn at the farthest zoom";
  EXPECT_EQ(static_cast<int>(columnsInView.size()), GetBattle().scenario->maxCols)
      << "the farthest zoom shows the map's whole width";
  const uint64_t ground = DrawsOf("world 1");
  const uint64_t top = DrawsOf("world 29");
  EXPECT_GT(ground, 0u);
  // One draw per texture and pass, not one per tile or prop.
  EXPECT_LE(ground, 24u) << "ground tiles, borders, emplacements and low props";
  EXPECT_LE(top, 8u) << "trees and their shadows";
  EXPECT_LT(ground + top, static_cast<uint64_t>(drawnTiles));
  size_t props = 0;
  for (int g = 0; g < 3; ++g) props += GetGroundLayers().groupProps[g].size();
  EXPECT_GT(props, 50u) << "the map's placed props are on the ground layers";
}

TEST_F(BattleFrameTest, TheFrameAdvancesTheBattleOnceAndOnlyTheScreenDraws) {
  SIM_Battle& battle = GetBattle();
  screen->StartFighting();
  const float before = battle.battleClock;
  const uint64_t draws = dev().Counters().draws;
  Frame();
  EXPECT_FLOAT_EQ(battle.battleClock, before + battle.frameStep);
  EXPECT_GT(dev().Counters().draws, draws);
  // The simulation alone draws nothing.
  const uint64_t after = dev().Counters().draws;
  battle.Update();
  EXPECT_EQ(dev().Counters().draws, after);
}

TEST_F(BattleFrameTest, ALayerRegisteredAboveTheScreenDrawsInItsSlot) {
  static std::vector<std::string>* seen = nullptr;
  std::vector<std::string> order;
  seen = &order;
  auto units = [] { seen->push_back("units"); };
  auto messages = [] { seen->push_back("messages"); };
  BattleLayerDraw oldUnits = SetBattleWorldLayer(WL_UNITS, units);
  BattleLayerDraw oldMessages = SetBattleHudLayer(HL_MESSAGES, messages);
  Frame();
  SetBattleWorldLayer(WL_UNITS, oldUnits);
  SetBattleHudLayer(HL_MESSAGES, oldMessages);
  EXPECT_EQ(order, (std::vector<std::string>{"units", "messages"}));
  GetBattleViewFlags().showHud = false;
  order.clear();
  SetBattleHudLayer(HL_MESSAGES, messages);
  Frame();
  SetBattleHudLayer(HL_MESSAGES, oldMessages);
  EXPECT_TRUE(order.empty()) << "the messages are a HUD layer";
}

// Effects below the units (fire and heat on a burning wreck, exhaust) leave the batch
// additive. Units drawn additively over snow come out as white shapes, so unit layers are
// alpha blended whatever was drawn before them.
TEST_F(BattleFrameTest, UnitsAreDrawnWithNormalBlendingWhateverTheLayersBelowLeft) {
  static platform::NullDevice* dev = nullptr;
  dev = device;
  static size_t unitDraw = 0;
  auto additive = [] {
    // Something queued and the blend left additive, as an effect below might.
    GVertexBuffer& vb = GetGlobalVertexBuffer();
    BaseSprite quad;
    quad.SetSize(32.0f, 32.0f);
    quad.SetPosition(100.0f, 100.0f);
    vb.AddVertices(quad.v, 4);
    vb.blendMode = 1;  // an additive batch, as the particle effects leave it
  };
  // Stands in for a unit's layer after the units' own drawing began.
  auto unit = [] {
    GUI_BS_Sprite sprite;
    sprite.mainQuad.SetSize(64.0f, 64.0f);
    sprite.mainQuad.SetPosition(200.0f, 200.0f);
    sprite.Draw();
    GetGlobalVertexBuffer().Flush();
    unitDraw = dev->draws.size();
  };
  BattleLayerDraw oldExhaust = SetBattleWorldLayer(WL_EXHAUST_LOWER, additive);
  BattleLayerDraw oldUnits = SetBattleWorldLayer(WL_UNITS, unit);
  dev->ClearRecord();
  unitDraw = 0;
  Frame();
  SetBattleWorldLayer(WL_EXHAUST_LOWER, oldExhaust);
  SetBattleWorldLayer(WL_UNITS, oldUnits);
  ASSERT_GT(unitDraw, 0u);
  const platform::DrawRecord& d = dev->draws[unitDraw - 1];
  EXPECT_TRUE(d.blendEnabled);
  EXPECT_EQ(d.srcBlend, static_cast<uint32_t>(platform::BLEND_SRCALPHA));
  EXPECT_EQ(d.destBlend, static_cast<uint32_t>(platform::BLEND_INVSRCALPHA));
}

}  // namespace
