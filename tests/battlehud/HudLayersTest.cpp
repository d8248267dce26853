// What the battle frame's HUD layers put over the finished picture on a shipped map, on
// the null device: the clock of a building under construction in its own layer, and
// damage numbers rising from where the round struck, not from the unit's middle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battle/WeaponEvents.h"
#include "battlehud/BattleHud.h"
#include "battlehud/UnitOverlays.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitSceneFixture.h"
#include "engine/D3DEngine.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "platform/NullDevice.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class HudLayersTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    LoadStringsTable();
    GetBattleViewFlags() = BattleViewFlags();
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    scene = PlaceBothSides(1150.0f, 600.0f);
    for (SIM_BattleUnit* u : scene.player) ASSERT_NE(u, nullptr);
    for (SIM_BattleUnit* u : scene.enemy) ASSERT_NE(u, nullptr);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 1.0f;
    map.centreX = map.cameraX = 1150.0f;
    map.centreY = map.cameraY = 600.0f;
    map.UpdateViewRect();
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
  }
  void TearDown() override {
    GetBattleFrameTrace().enabled = false;
    GetBattleFrameTrace().entries.clear();
    NullDeviceTest::TearDown();
  }
  void Frame() {
    device->ClearRecord();
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
  }
  // The draws the frame trace counted for the layer whose name starts so.
  static int64_t LayerDraws(const std::string& prefix) {
    for (const auto& e : GetBattleFrameTrace().entries)
      if (e.name.rfind(prefix, 0) == 0) return static_cast<int64_t>(e.draws);
    return -1;
  }
  // The draws with a vertex of exactly this colour.
  std::vector<const platform::DrawRecord*> DrawsInColour(uint32_t colour) const {
    std::vector<const platform::DrawRecord*> out;
    for (const platform::DrawRecord& d : device->draws)
      for (int i = 0; i < d.vertexCount; ++i)
        if (d.Colour(i) == colour) {
          out.push_back(&d);
          break;
        }
    return out;
  }
  UnitScene scene;
  GUI_BattleScreen* screen = nullptr;
};

TEST_F(HudLayersTest, ABuildingsClockIsDrawnInItsOwnHudLayerOverThePicture) {
  SIM_BattleUnit* tower = scene.player[2];
  ASSERT_EQ(tower->sizeType, SIZE_BUILDING);
  tower->state = US_UNDER_CONSTRUCTION;
  tower->demolitionTimer = 500.0f;  // half built
  GetBattleFrameTrace().enabled = true;
  Frame();
  const std::string layer = std::string("hud ") + std::to_string(HL_BUILD_PROGRESS) + " ";
  EXPECT_GT(LayerDraws(layer), 0) << "the clock belongs to the HUD, after the post-process";
  // The green sweep of a building going up, drawn where the picture is finished.
  const auto clocks = DrawsInColour(0x9120E920u);
  ASSERT_FALSE(clocks.empty());
  const platform::DrawRecord* last = nullptr;
  for (const platform::DrawRecord& d : device->draws) last = &d;
  for (const platform::DrawRecord* d : clocks) EXPECT_EQ(d->renderTarget, last->renderTarget);
  // A finished building shows no clock, and a hidden HUD none either, nor leaves one for later.
  tower->state = US_ACTIVE;
  Frame();
  EXPECT_TRUE(DrawsInColour(0x9120E920u).empty());
  tower->state = US_UNDER_CONSTRUCTION;
  GetBattleViewFlags().showHud = false;
  Frame();
  EXPECT_TRUE(DrawsInColour(0x9120E920u).empty());
  GetBattleViewFlags().showHud = true;
  Frame();
  EXPECT_EQ(DrawsInColour(0x9120E920u).size(), clocks.size());
}

TEST_F(HudLayersTest, DamageNumbersRiseFromWhereTheRoundStruck) {
  GetBattleViewFlags().showDamage = true;
  GetBattle().Begin();
  SIM_KineticWeaponComponent* gun = nullptr;
  for (SIM_BattleUnit* u : scene.player)
    for (auto* w : u->moduleManager->weapons)
      if (!gun) gun = dynamic_cast<SIM_KineticWeaponComponent*>(w);
  ASSERT_NE(gun, nullptr);
  SIM_BattleUnit* target = scene.enemy[1];
  // A heavy round on its last step to the target's middle strikes there.
  gun->damage = 5000.0f;
  BattleHooks& hooks = GetBattleHooks();
  const auto wired = hooks.weaponImpact;
  float hitX = -1.0f, hitY = -1.0f;
  hooks.weaponImpact = [&](int kind, int, float, float x, float y) {
    if (kind == IMPACT_BULLET_STRUCK) hitX = x, hitY = y;
  };
  SIM_Bullet& round = gun->bullets.front();
  round.alive = true;
  round.hit = true;
  round.launchDelay = 0.0f;
  round.weapon = gun;
  round.target = target;
  round.hitPart = nullptr;
  round.speed = 1.0f;
  round.x = target->x + 4.0f;
  round.y = target->y;
  round.Update(1.0f);
  hooks.weaponImpact = wired;
  ASSERT_FALSE(round.alive);
  ASSERT_GE(hitX, 0.0f);
  // The target drives on; the number stays where the round struck.
  target->x += 150.0f;
  // What the frame hands the text renderer (the text itself leaves no vertices on the null
  // device).
  LoadStandardFonts();
  TextCapture capture;
  GetTextRenderer().SetCapture(&capture);
  Frame();
  GetTextRenderer().SetCapture(nullptr);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float sx = (hitX - map.viewLeft) * map.zoom, sy = (hitY - map.viewTop) * map.zoom;
  GUI_BS_DamageFeedback* number = nullptr;
  for (GUI_BS_DamageFeedback& r : GUI_BS_DamageFeedbackPool::Instance().records)
    if (r.active && r.unit == target) number = &r;
  ASSERT_NE(number, nullptr) << "the hit shows a number";
  const LibTextChunk* printed = nullptr;
  for (const LibTextChunk* c : capture.chunks)
    if (c->text == number->text) printed = c;
  ASSERT_NE(printed, nullptr) << "the frame prints the number";
  const float rise = 48.0f * number->elapsed / GUI_BS_DamageFeedbackPool::kLifeMs;
  EXPECT_NEAR(printed->x, sx, 0.5f);
  EXPECT_NEAR(printed->y, sy - rise, 0.5f);
}

}  // namespace
