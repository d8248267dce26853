// Searchlights and laser guidance: a sweep turns to the nearest enemy, keeps its angle
// without candidates and never moves at speed 0; a laser never picks the same target twice
// in a row while another exists; a unit leaving the battle is let go (run under the
// sanitizer for 100 frames after it is deleted); a searchlight standing on a prop turns the
// prop's lamp head with its beam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Searchlights.h"
#include "battlescreen/WorldDetailsFixture.h"
#include "engine/D3DEngine.h"
#include "engine/MathHelpers.h"
#include "engine/Textures.h"
#include "platform/NullDevice.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"

namespace {

using battle_test::AddUnit;

class SearchlightsTest : public battlescreen_test::WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    hull = cat.Hull("probe", 2, 1, 100.0f, 40.0f);
    design = cat.Design(hull, {});
    GUI_BS_SearchlightManager::Instance().DeleteAll();
  }
  void TearDown() override {
    GUI_BS_SearchlightManager::Instance().DeleteAll();
    WorldDetailsTest::TearDown();
  }
  SIM_BattleUnit* Enemy(float x, float y) {
    SIM_BattleUnit* u = AddUnit(design, GetBattle().opponentArmy);
    u->x = x;
    u->y = y;
    u->state = US_ACTIVE;
    return u;
  }
  // The unit leaves the battle: out of its army's lists and deleted.
  static void Remove(SIM_BattleUnit* u) {
    SIM_BattleArmy* army = u->army;
    army->allUnits.remove(u);
    army->livingUnits.remove(u);
    army->movers.remove(u);
    delete u;
  }
  battle_test::Catalogue cat;
  SIM_UnitHull* hull = nullptr;
  SIM_UnitDesign* design = nullptr;
};

TEST_F(SearchlightsTest, ASweepTurnsToTheNearestEnemyAtItsSpeed) {
  Enemy(1000.0f, 0.0f);                        // due east of the light, far
  SIM_BattleUnit* near = Enemy(0.0f, 500.0f);  // due south, nearer
  GUI_BS_TargetSweep sweep;
  sweep.army = GetBattle().opponentArmy;
  sweep.angle = 0.0f;
  sweep.timer = 4000.0f;
  sweep.Update(0.0f, 0.0f, 10.0f);
  EXPECT_EQ(sweep.target, near);
  EXPECT_NEAR(AngleDifference(sweep.angle, 0.0f), 0.2f, 1e-4f) << "0.02 degrees a ms";
  sweep.Update(0.0f, 0.0f, 10.0f);
  EXPECT_NEAR(AngleDifference(sweep.angle, 0.0f), 0.4f, 1e-4f);
  for (int i = 0; i < 1000; ++i) sweep.Update(0.0f, 0.0f, 10.0f);
  EXPECT_NEAR(sweep.angle, 180.0f, 1e-3f);
}

TEST_F(SearchlightsTest, WithoutCandidatesOrSpeedTheAngleStays) {
  GUI_BS_TargetSweep lonely;
  lonely.army = GetBattle().opponentArmy;
  lonely.angle = 33.0f;
  lonely.timer = 5000.0f;
  lonely.Update(0.0f, 0.0f, 16.0f);
  EXPECT_EQ(lonely.target, nullptr);
  EXPECT_FLOAT_EQ(lonely.angle, 33.0f);

  Enemy(0.0f, 500.0f);
  GUI_BS_TargetSweep still;
  still.army = GetBattle().opponentArmy;
  still.turnSpeed = 0.0f;
  still.angle = 33.0f;
  still.timer = 5000.0f;
  for (int i = 0; i < 10; ++i) still.Update(0.0f, 0.0f, 16.0f);
  EXPECT_FLOAT_EQ(still.angle, 33.0f);
  EXPECT_EQ(still.target, nullptr);
}

TEST_F(SearchlightsTest, ALaserNeverRepeatsItsTargetWhileAnotherExists) {
  GetBattle().state = BATTLE_RUNNING;
  SIM_BattleUnit* owner = AddUnit(design, GetBattle().playerArmy);
  owner->x = owner->y = 0.0f;
  SIM_BattleUnit* a = Enemy(100.0f, 0.0f);
  SIM_BattleUnit* b = Enemy(400.0f, 0.0f);
  Enemy(900.0f, 0.0f);
  GUI_BS_LaserGuidance laser(owner, GetBattle().opponentArmy, 0.0f, 0.0f);
  SIM_BattleUnit* last = nullptr;
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    laser.Retarget();
    ASSERT_NE(laser.target, nullptr);
    EXPECT_NE(laser.target, last);
    // The nearest other than the last: a and b take turns.
    EXPECT_EQ(laser.target, i % 2 == 0 ? a : b);
    last = laser.target;
  }
  // Retargeting runs by itself every 4 s of stepping.
  laser.timer = 0.0f;
  SIM_BattleUnit* before = laser.target;
  for (int i = 0; i < 251; ++i) laser.Step(16.0f);
  EXPECT_NE(laser.target, before);
  EXPECT_GE(laser.segments, 1);
  EXPECT_LE(laser.segments, 6);
}

TEST_F(SearchlightsTest, LaserSegmentsFollowTheSweptAngle) {
  const std::pair<float, int> cases[] = {{0.0f, 1}, {3.9f, 1}, {4.0f, 2}, {11.0f, 5}, {12.0f, 6}, {20.0f, 6}};
  for (const auto& [diff, n] : cases) EXPECT_EQ(GUI_BS_LaserGuidance::SegmentCount(diff), n) << diff;
}

TEST_F(SearchlightsTest, ATargetLeavingTheBattleIsLetGo) {
  GetBattle().state = BATTLE_RUNNING;
  SIM_BattleUnit* owner = AddUnit(design, GetBattle().playerArmy);
  owner->x = owner->y = 0.0f;
  SIM_BattleUnit* gone = Enemy(0.0f, 300.0f);
  SIM_BattleUnit* stays = Enemy(0.0f, -900.0f);

  GUI_BS_FreeSearchlight* free = GUI_BS_SearchlightManager::Instance().Add(0.0f, 0.0f, 60.0f, 400.0f);
  free->sweep.army = GetBattle().opponentArmy;
  free->sweep.timer = 4001.0f;
  GUI_BS_Searchlight mounted(owner, 0.0f, 0.0f, 60.0f, 400.0f, 0.05f);
  mounted.sweep.timer = 4001.0f;
  GUI_BS_LaserGuidance laser(owner, GetBattle().opponentArmy, 0.0f, 0.0f);
  laser.Retarget();
  free->Draw(16.0f);
  mounted.Place(16.0f);
  ASSERT_EQ(free->sweep.target, gone);
  ASSERT_EQ(mounted.sweep.target, gone);
  ASSERT_EQ(laser.target, gone);

  Remove(gone);
  for (int frame = 0; frame < 100; ++frame) {
    GUI_BS_SearchlightManager::Instance().DrawAll();
    free->Draw(16.0f);
    mounted.Place(16.0f);
    mounted.Draw();
    laser.Step(16.0f);
    laser.Draw();
  }
  EXPECT_EQ(free->sweep.target, stays);
  EXPECT_EQ(mounted.sweep.target, stays);
  EXPECT_TRUE(laser.target == stays || laser.target == nullptr);
  EXPECT_NE(laser.previousTarget, gone);
  EXPECT_FALSE(UnitInArmy(GetBattle().opponentArmy, gone));
}

TEST_F(SearchlightsTest, PropSearchlightsComeAndGoThroughTheManager) {
  GroundPropSearchlightHooks& hooks = GetGroundPropSearchlightHooks();
  ASSERT_TRUE(hooks.add && hooks.remove);
  void* light = hooks.add(nullptr, 100.0f, 100.0f, 40, 300);
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(GUI_BS_SearchlightManager::Instance().lights.size(), 1u);
  auto* l = static_cast<GUI_BS_FreeSearchlight*>(light);
  EXPECT_EQ(l->sweep.army, GetBattle().playerArmy) << "the attackers: the player's army when attacking";
  hooks.remove(light);
  EXPECT_TRUE(GUI_BS_SearchlightManager::Instance().lights.empty());
}

// The lamp head of a searchlight prop is turned by its beam, frame by frame, while the
// base stays as placed: drawn, the head's lens edge faces the target.
TEST_F(SearchlightsTest, APropsLampHeadTurnsWithItsBeamToTheTarget) {
  GroundPropSearchlightHooks& hooks = GetGroundPropSearchlightHooks();
  ASSERT_TRUE(hooks.add && hooks.remove);
  SIM_PropType* type = SIM_PropTypeManager::Get().Find("searchlight");
  ASSERT_NE(type, nullptr);
  auto* prop = new GUI_BS_GroundProp();
  GroundPropDesc desc;
  desc.x = desc.y = 2000.0f;
  desc.size = 40.0f;
  desc.angle = 0.0f;
  desc.propType = type;
  prop->InitFromDesc(desc);
  prop->ownedByUnit = false;  // the layers own it
  GroundPropAddToLayers(prop, true);
  ASSERT_TRUE(prop->hasLampHead);
  ASSERT_EQ(GUI_BS_SearchlightManager::Instance().lights.size(), 1u);
  GUI_BS_FreeSearchlight* light = GUI_BS_SearchlightManager::Instance().lights.front().get();
  EXPECT_EQ(light->prop, prop);
  EXPECT_FLOAT_EQ(prop->lampHeading, light->beamAngle) << "the head starts where the beam does";
  light->sweep.army = GetBattle().opponentArmy;

  const platform::Texture* headTexture = FindOrLoadTexture("searchlight_head.dds")->Texture();
  const platform::Texture* baseTexture = FindOrLoadTexture(type->texture)->Texture();
  // Where the picture's top edge (the lens; the base's top) points from its centre, over
  // the quad's distinct corners.
  auto facing = [](const platform::DrawRecord& d) {
    std::vector<std::pair<float, float>> corners, top;
    for (int i = 0; i < d.vertexCount; ++i) {
      const std::pair<float, float> p{d.X(i), d.Y(i)};
      if (std::find(corners.begin(), corners.end(), p) != corners.end()) continue;
      corners.push_back(p);
      if (d.V(i) < 0.5f) top.push_back(p);
    }
    float cx = 0.0f, cy = 0.0f, tx = 0.0f, ty = 0.0f;
    for (const auto& [x, y] : corners) cx += x / corners.size(), cy += y / corners.size();
    for (const auto& [x, y] : top) tx += x / top.size(), ty += y / top.size();
    return HeadingDegrees(cx, cy, tx, ty);
  };
  SIM_Options::Get().SetFloat("SHADOWS", 0.0f);  // one quad of each picture
  const struct {
    float targetX, targetY, startAngle, heading;
  } cases[] = {
      {2000.0f, 1400.0f, 90.0f, 0.0f},     // north
      {2600.0f, 2000.0f, 0.0f, 90.0f},     // east
      {2000.0f, 2700.0f, 100.0f, 180.0f},  // south
      {1300.0f, 2000.0f, 200.0f, 270.0f},  // west
      {2500.0f, 1500.0f, 300.0f, 45.0f},   // across north
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.heading);
    SIM_BattleUnit* target = Enemy(c.targetX, c.targetY);
    light->sweep.target = nullptr;
    light->sweep.timer = 4001.0f;
    light->sweep.angle = c.startAngle;
    // Part of the way: the head is where the beam is, not yet on the target.
    for (int frame = 0; frame < 10; ++frame) light->Draw(16.0f);
    EXPECT_EQ(light->sweep.target, target);
    EXPECT_FLOAT_EQ(prop->lampHeading, light->beamAngle);
    EXPECT_GT(std::fabs(AngleDifference(prop->lampHeading, c.heading)), 1.0f);
    // All the way round (0.02 degrees a ms).
    for (int frame = 0; frame < 700; ++frame) light->Draw(16.0f);
    EXPECT_NEAR(AngleDifference(prop->lampHeading, c.heading), 0.0f, 0.01f);

    device->ClearRecord();
    engine().BeginScene();
    DrawUnderTileGroups();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
    int heads = 0, bases = 0;
    for (const platform::DrawRecord& d : device->draws) {
      if (d.vertexCount < 4) continue;
      if (d.textures[0] == headTexture) {
        ++heads;
        EXPECT_NEAR(AngleDifference(facing(d), c.heading), 0.0f, 0.5f) << "the lens faces the target";
      } else if (d.textures[0] == baseTexture) {
        ++bases;
        EXPECT_NEAR(AngleDifference(facing(d), 0.0f), 0.0f, 0.5f) << "the base stays as placed";
      }
    }
    EXPECT_EQ(heads, 1);
    EXPECT_EQ(bases, 1);
    Remove(target);
  }
  ClearGroundLayers();
  EXPECT_TRUE(GUI_BS_SearchlightManager::Instance().lights.empty()) << "the prop takes its light along";
}

// The laser's fan: the segments, then the swept area as one triangle from the origin in
// the beam's colour out to two far corners that fade to nothing, on the world-anchored
// cloud; none while beam and trail coincide. In the light map the beam's far corner glows.
TEST_F(SearchlightsTest, TheSweptAreaIsOneTriangleFadingFromTheOrigin) {
  GetBattle().state = BATTLE_RUNNING;
  GetBattle().frameStep = 16.0f;
  SIM_BattleUnit* owner = AddUnit(design, GetBattle().playerArmy);
  owner->x = owner->y = 2000.0f;
  owner->state = US_ACTIVE;
  SIM_BattleUnit* target = Enemy(2000.0f, 1800.0f);  // due north
  GUI_BS_LaserGuidance laser(owner, GetBattle().opponentArmy, 0.0f, 0.0f);
  laser.colourR = 255;
  laser.colourG = 50;
  laser.colourB = 40;
  laser.Retarget();  // holds the trail for 100 ms
  ASSERT_EQ(laser.target, target);
  laser.beamAngle = 0.0f;
  laser.trailAngle = 10.0f;
  platform::NullDevice* dev = device;
  dev->ClearRecord();
  laser.Draw();
  ASSERT_EQ(laser.segments, 5);
  ASSERT_EQ(dev->draws.size(), 6u) << "five segments and the swept area";
  const platform::DrawRecord& area = dev->draws.back();
  EXPECT_EQ(area.type, platform::PrimitiveType::TriangleList);
  EXPECT_EQ(area.primitiveCount, 1);
  EXPECT_EQ(area.textures[0], FindOrLoadTexture("laser_cloud.dds")->Texture());
  EXPECT_EQ(area.Colour(0), 0x80FF3228u) << "the origin in the beam's colour, half alpha off the blink";
  EXPECT_EQ(area.Colour(1) >> 24, 0u);
  EXPECT_EQ(area.Colour(2) >> 24, 0u);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  EXPECT_NEAR(area.X(0), (2000.0f - map.viewLeft) - 0.5f, 0.01f);
  EXPECT_NEAR(area.Y(1), (1800.0f - map.viewTop) - 0.5f, 0.01f) << "the beam's end on the target";
  EXPECT_NEAR(area.U(0), 2000.0f / 512.0f, 1e-4f) << "texture anchored to the world";
  EXPECT_NEAR(area.V(1), 1800.0f / 512.0f, 1e-4f);

  // The light map gets the laser itself; its far corner on the beam's side stays lit.
  SearchlightLightHooks& hooks = GetSearchlightLightHooks();
  const SearchlightLightHooks saved = hooks;
  static void* queued = nullptr;
  queued = nullptr;
  hooks.lightMapActive = [] { return true; };
  hooks.addWorldLight = [](CTexturedSprite*) {};
  hooks.addDrawnLight = [](void (*)(void*), void* object) { queued = object; };
  laser.beamAngle = 0.0f;
  laser.trailAngle = 10.0f;
  laser.Draw();
  hooks = saved;
  ASSERT_EQ(queued, &laser);
  dev->ClearRecord();
  GUI_BS_LaserGuidance::DrawLightmapOf(queued);
  ASSERT_FALSE(dev->draws.empty());
  const platform::DrawRecord& glow = dev->draws.back();
  EXPECT_EQ(glow.primitiveCount, 1);
  EXPECT_EQ(glow.Colour(0), 0xFFFFFFFFu);
  EXPECT_EQ(glow.Colour(1), 0xFFFFFFFFu);
  EXPECT_EQ(glow.Colour(2) >> 24, 0u);

  // Beam and trail together: the segments only.
  laser.beamAngle = laser.trailAngle = 0.0f;
  laser.hold = true;
  laser.holdClock = 0.0f;
  dev->ClearRecord();
  laser.Draw();
  EXPECT_FALSE(laser.sweepValid);
  for (const platform::DrawRecord& d : dev->draws) EXPECT_NE(d.primitiveCount, 1) << "no swept triangle";
}

}  // namespace
