// What units do to the ground they cross and what the frame shows of it, through the
// battle's own unit update and frame: a tank clears wrecks and puts out burning ground as
// it drives, a mech's planted foot does too, the running squads' loop follows the zoom, and
// during deployment the defender's building props stay hidden from the attacker.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Movement.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/MechLegs.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/HeatEmitters.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class WorldUnderfootTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
    GetBattle().frameStep = 16.0f;
    Look(kCx, kCy, 1.0f);
  }
  static void Look(float x, float y, float zoom) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = zoom;
    map.centreX = map.cameraX = x;
    map.centreY = map.cameraY = y;
    map.UpdateViewRect();
  }
  void Frame() {
    engine().BeginScene();
    screen->DrawBattle();
    engine().EndScene();
  }
  // Burning ground at (x, y) that a unit can put out or not.
  static GUI_BS_GroundEmitter* Fire(float x, float y, bool extinguishable) {
    auto* fire = new GUI_BS_GroundEmitter(20.0f, -1.0f, "small_hulkemitter", x, y);
    fire->extinguishable = extinguishable;
    GUI_BS_EffectsManager::Instance().Add(fire);
    return fire;
  }
  static GUI_BS_Hulk* Wreck(float x, float y) {
    auto* hulk = new GUI_BS_Hulk("", 60.0f, 60.0f, "wreck");
    hulk->x = x;
    hulk->y = y;
    hulk->state = GUI_BS_Hulk::SHOWN;
    GUI_BS_Hulk::Add(hulk);
    return hulk;
  }
  static constexpr float kCx = 1150.0f, kCy = 600.0f;
  FakeSoundEngine* fake = nullptr;
  GUI_BattleScreen* screen = nullptr;
};

TEST_F(WorldUnderfootTest, ADrivingTankClearsTheWreckAndPutsOutTheFireUnderIt) {
  GetBattle().Begin();
  SIM_BattleUnit* tank =
      PlaceUnit(PlayerDesign("Bulwark Battle Tank"), GetBattle().playerArmy, kCx, kCy, 90.0f);
  ASSERT_NE(tank, nullptr);
  GUI_BS_Hulk* wreck = Wreck(kCx + 200.0f, kCy);
  GUI_BS_GroundEmitter* underfoot = Fire(kCx + 200.0f, kCy + 5.0f, true);
  GUI_BS_GroundEmitter* lasting = Fire(kCx + 200.0f, kCy - 5.0f, false);
  GUI_BS_GroundEmitter* aside = Fire(kCx + 200.0f, kCy + 400.0f, true);
  // The battle's unit update lays the tracks of a step it moved.
  for (float x = kCx; x <= kCx + 200.0f; x += 4.0f) {
    tank->x = x;
    tank->moved = true;
    tank->Update();
  }
  EXPECT_EQ(wreck->state, GUI_BS_Hulk::FADING_OUT);
  EXPECT_FALSE(underfoot->heat->emitting);
  EXPECT_TRUE(lasting->heat->emitting) << "a fire that cannot be put out burns on";
  EXPECT_TRUE(aside->heat->emitting) << "out of reach";
}

TEST_F(WorldUnderfootTest, AMechsPlantedFootPutsOutTheFireUnderIt) {
  GetBattle().Begin();
  SIM_BattleUnit* u = PlaceUnit(PlayerDesign("Strider Lancer"), GetBattle().playerArmy, kCx, kCy, 0.0f);
  ASSERT_NE(u, nullptr);
  auto* mech = dynamic_cast<GUI_BS_MechUnit*>(u->visual.get());
  ASSERT_NE(mech, nullptr);
  ASSERT_NE(mech->legAnimator, nullptr);
  MechLegAnimator& legs = *mech->legAnimator;
  ASSERT_GT(legs.stride, 0.0f);
  GUI_BS_GroundEmitter* fire = Fire(kCx, kCy, true);
  // A whole stride through the unit's per-frame pruning, which steps the legs.
  for (int i = 0; i < MechLegAnimator::kFrames && fire->heat->emitting; ++i) {
    u->movement->step = legs.stride / MechLegAnimator::kFrames * 1.0001f;
    mech->PruneEmitters();
  }
  EXPECT_FALSE(fire->heat->emitting);
}

TEST_F(WorldUnderfootTest, TheRunningSquadsLoopIsLouderCloserIn) {
  SquadSoundLoop& loop = SquadSoundLoop::Get();
  const float master = GetSounds().MasterVolume();
  for (const float zoom : {1.0f, 2.0f, 0.5f}) {
    SCOPED_TRACE(zoom);
    Look(kCx, kCy, zoom);
    loop.runningCount = 6;
    Frame();
    ASSERT_TRUE(loop.playing);
    ASSERT_EQ(fake->sounds.count(loop.sound), 1u);
    EXPECT_FLOAT_EQ(fake->sounds.at(loop.sound).volume, master * zoom * 0.125f);
  }
  Frame();  // nobody ran this frame
  EXPECT_FALSE(loop.playing);
}

TEST_F(WorldUnderfootTest, TheDefendersBuildingPropsStayHiddenUntilTheFight) {
  SIM_Battle& battle = GetBattle();
  ASSERT_EQ(battle.state, BATTLE_DEPLOYMENT);
  ASSERT_FALSE(battle.playerDefends);
  SIM_BattleUnit* citadel = PlaceUnit(EnemyDesign("citadel.txt"), battle.opponentArmy, kCx, kCy, 0.0f);
  ASSERT_NE(citadel, nullptr);
  if (citadel->groundProps.empty()) citadel->SpawnHullProps();
  ASSERT_FALSE(citadel->groundProps.empty());
  auto theirs = [&] {
    std::vector<GUI_BS_GroundProp*> out;
    for (GUI_BS_GroundProp* p : GetGroundLayers().allProps)
      if (p->desc.army == battle.opponentArmy) out.push_back(p);
    return out;
  };
  ASSERT_FALSE(theirs().empty());
  for (GUI_BS_GroundProp* p : theirs()) p->cullState = GUI_BS_GroundProp::CULL_DRAW;
  Frame();
  for (GUI_BS_GroundProp* p : theirs()) EXPECT_NE(p->cullState, GUI_BS_GroundProp::CULL_DRAWN);
  battle.Begin();
  Frame();
  int shown = 0;
  for (GUI_BS_GroundProp* p : theirs()) shown += p->cullState == GUI_BS_GroundProp::CULL_DRAWN;
  EXPECT_GT(shown, 0) << "the fight shows them";
}

}  // namespace
