// Units in a night battle, drawn through the battle screen's frame on the recording null
// device: their layers, barrels and legs go into the light map in the light colour or,
// under night vision, as grey at their size type's strength, and fresh damage marks glow.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/KineticWeapon.h"
#include "battle/MissileLauncher.h"
#include "battle/Projectiles.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/BulletPass.h"
#include "battlescreen/MechLegs.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/BattleEffects.h"
#include "effects/LightMap.h"
#include "engine/Textures.h"
#include "simdata/UnitHull.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class UnitLightsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();  // the light map and the post-processing targets
    ASSERT_NE(StartShippedBattle("night_citadel"), nullptr);
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1) << "the night battle is lit";
    ASSERT_TRUE(engine().HasTexture("rt_lightmap"));
    engine().RememberRenderTarget();
    engine().SetRenderTarget("rt_lightmap");
    lightmap = dev().GetRenderTarget();
    engine().RestoreRenderTarget();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = map.targetZoom = 1.0f;
    map.centreX = map.cameraX = kCx;
    map.centreY = map.cameraY = kCy;
    map.UpdateViewRect();
  }
  void Frame() {
    dev().ClearRecord();
    engine().BeginScene();
    screen->DrawBattle();
    engine().EndScene();
  }
  // A frame as the player's battle runs it: the battle steps, then the screen draws.
  void PlayFrame() {
    dev().ClearRecord();
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
  }
  // The draws into the light map that used this texture on stage `stage`.
  std::vector<const platform::DrawRecord*> LightDraws(const CLoadedTexture* texture, int stage = 0) const {
    std::vector<const platform::DrawRecord*> out;
    if (!texture) return out;
    for (const platform::DrawRecord& d : device->draws)
      if (d.renderTarget == lightmap && d.textures[stage] == texture->Texture()) out.push_back(&d);
    return out;
  }
  // The light map sets its flags as the frame ends; the units read them in the next one.
  void SwitchNightVision(bool on) {
    GUI_BS_LightmapManager& m = GUI_BS_LightmapManager::Instance();
    m.mode = on ? 2 : 1;
    m.transitionTarget = 0;
    Frame();
  }
  static constexpr float kCx = 1200.0f, kCy = 900.0f;
  GUI_BattleScreen* screen = nullptr;
  platform::Texture* lightmap = nullptr;
};

TEST_F(UnitLightsTest, UnitLayersGoIntoTheLightMapInTheLightColourOrGreyUnderNightVision) {
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  struct Case {
    const char* design;
    float strength;
  } cases[] = {{"Jackal Scout", 0.7f}, {"Gun Tower", 0.5f}, {"Strider Lancer", 0.9f}};
  std::vector<SIM_BattleUnit*> units;
  for (const Case& c : cases) {
    units.push_back(PlaceUnit(PlayerDesign(c.design), battle.playerArmy, kCx + 200.0f * (units.size() - 1.0f),
                              kCy, 0.0f));
    ASSERT_NE(units.back(), nullptr) << c.design;
  }
  const uint32_t lightColour = GUI_BS_LightmapManager::Instance().lightColour;
  for (size_t i = 0; i < units.size(); ++i) {
    SCOPED_TRACE(cases[i].design);
    EXPECT_FLOAT_EQ(units[i]->lightStrength, cases[i].strength);
    auto* v = dynamic_cast<GUI_BS_Unit*>(units[i]->visual.get());
    ASSERT_NE(v, nullptr);
    // A layer the unit draws itself (a mech's legs sheet is drawn by its leg animator).
    const CLoadedTexture* texture = nullptr;
    for (const auto& sprite : v->sprites)
      if (!texture && sprite->layerName != "mech_legs") texture = sprite->mainQuad.texture;
    ASSERT_NE(texture, nullptr);

    Frame();
    auto lit = LightDraws(texture);
    ASSERT_FALSE(lit.empty()) << "a lit battle shows the unit in the light map";
    bool inLightColour = false;
    for (const auto* d : lit)
      for (int k = 0; k < d->vertexCount; ++k) inLightColour = inLightColour || d->Colour(k) == lightColour;
    EXPECT_TRUE(inLightColour);

    SwitchNightVision(true);
    Frame();
    const auto g = static_cast<uint32_t>(cases[i].strength * 255.0f);
    const uint32_t grey = 0xFF000000u | g << 16 | g << 8 | g;
    bool inGrey = false;
    for (const auto* d : LightDraws(texture))
      for (int k = 0; k < d->vertexCount; ++k) inGrey = inGrey || d->Colour(k) == grey;
    EXPECT_TRUE(inGrey) << "night vision shows the unit grey at its strength";
    SwitchNightVision(false);
  }
}

TEST_F(UnitLightsTest, MechLegsShowOnlyUnderNightVisionAndArrivingUnitsNotAtAll) {
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  SIM_BattleUnit* mech = PlaceUnit(PlayerDesign("Strider Lancer"), battle.playerArmy, kCx, kCy, 0.0f);
  ASSERT_NE(mech, nullptr);
  auto* v = dynamic_cast<GUI_BS_MechUnit*>(mech->visual.get());
  ASSERT_NE(v, nullptr);
  ASSERT_NE(v->legAnimator, nullptr);
  const CLoadedTexture* legs = v->legAnimator->legsTexture;
  ASSERT_NE(legs, nullptr);
  // Where the mech came down (its arrival moves the legs there).
  v->legAnimator->x = mech->x;
  v->legAnimator->y = mech->y;
  Frame();
  EXPECT_TRUE(LightDraws(legs).empty()) << "a lit battle has no light colour for the legs";
  SwitchNightVision(true);
  Frame();
  EXPECT_FALSE(LightDraws(legs).empty());
  // Still dropping in: nothing of it is lit yet.
  mech->state = US_DROPPING_IN;
  mech->placementTimer = 0.0f;
  Frame();
  EXPECT_TRUE(LightDraws(legs).empty());
  EXPECT_TRUE(LightDraws(v->turret->mainQuad.texture).empty());
}

TEST_F(UnitLightsTest, FreshDamageMarksGlowInTheLightMap) {
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  SIM_BattleUnit* tank = PlaceUnit(PlayerDesign("Bulwark Battle Tank"), battle.playerArmy, kCx, kCy, 0.0f);
  ASSERT_NE(tank, nullptr);
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  ASSERT_NE(v, nullptr);
  ASSERT_FALSE(tank->design->hull->targets.empty());
  const SIM_UnitTargetData* point = tank->design->hull->targets[0].get();
  GUI_BS_Sprite* sprite = v->FindSprite(point->name, false);
  ASSERT_NE(sprite, nullptr);
  ASSERT_NE(sprite->damageTexture, nullptr);
  Frame();
  EXPECT_TRUE(LightDraws(sprite->damageTexture, 1).empty()) << "no marks, no glow";
  ASSERT_TRUE(v->AddDamageMark(point));
  Frame();
  auto glow = LightDraws(sprite->damageTexture, 1);
  ASSERT_FALSE(glow.empty());
  EXPECT_EQ(glow.front()->colorOp1, platform::TOP_SELECTARG1);
  // An unlit battle: the same mark glows nowhere.
  GUI_BS_LightmapManager::Instance().mode = 0;
  Frame();
  EXPECT_TRUE(LightDraws(sprite->damageTexture, 1).empty());
}

// Shots in flight over a night battle light the ground around them: every bullet and
// missile the frame draws puts a light of its own reach, centred on it, into the light map,
// through the battle's own step and draw. In an unlit battle the same shots light nothing.
TEST_F(UnitLightsTest, ShotsInFlightLightTheGroundAroundThemOnlyInALitBattle) {
  const CLoadedTexture* lights = FindOrLoadTexture("lightmaps.dds");
  ASSERT_NE(lights, nullptr);
  SIM_Battle& battle = GetBattle();
  // A tank with a cannon and rocket pods facing a tower across the middle of the view.
  SIM_BattleUnit* shooter = PlaceUnit(PlayerDesign("Mammoth Breaker"), battle.playerArmy, kCx - 160, kCy, 90);
  SIM_BattleUnit* target = PlaceUnit(PlayerDesign("Gun Tower"), battle.opponentArmy, kCx + 160, kCy, 270);
  ASSERT_NE(shooter, nullptr);
  ASSERT_NE(target, nullptr);
  AimAt(shooter, target);
  screen->StartFighting();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();

  // Whether the light map got a light of that reach centred on the world point this frame.
  auto litAt = [&](float x, float y, float radius) {
    const float cx = (x - map.viewLeft) * map.zoom, cy = (y - map.viewTop) * map.zoom, h = radius * map.zoom;
    bool topLeft = false, bottomRight = false;
    for (const platform::DrawRecord* d : LightDraws(lights))
      for (int k = 0; k < d->vertexCount; ++k) {
        topLeft = topLeft || (std::abs(d->X(k) - (cx - h)) < 0.5f && std::abs(d->Y(k) - (cy - h)) < 0.5f);
        bottomRight =
            bottomRight || (std::abs(d->X(k) - (cx + h)) < 0.5f && std::abs(d->Y(k) - (cy + h)) < 0.5f);
      }
    return topLeft && bottomRight;
  };
  struct Shots {
    int bullets = 0, bulletsLit = 0, missiles = 0, missilesLit = 0;
  };
  // Plays frames until both kinds of shot have been seen in flight a few times.
  auto play = [&](int maxFrames) {
    Shots s;
    for (int f = 0; f < maxFrames && (s.bullets < 3 || s.missiles < 3); ++f) {
      PlayFrame();
      for (SIM_KineticWeaponComponent* gun : KineticWeaponList())
        for (const SIM_Bullet& b : gun->bullets) {
          if (!b.alive || b.launchDelay > 0.0f || b.invisible || b.travelled > b.fadeStart) continue;
          if (map.IsOffScreen(b.x, b.y, 0.0f)) continue;
          ++s.bullets;
          s.bulletsLit += litAt(b.x, b.y, kBulletLightRadius) ? 1 : 0;
        }
      for (SIM_MissileLauncherComponent* launcher : MissileLauncherList())
        for (const SIM_Missile& m : launcher->missiles) {
          if (!m.alive || map.IsOffScreen(m.x, m.y, 0.0f)) continue;
          ++s.missiles;
          s.missilesLit += litAt(m.x, m.y, GUI_BS_Missile::kMissileLightRadius) ? 1 : 0;
        }
    }
    return s;
  };

  const Shots night = play(1500);
  ASSERT_GE(night.bullets, 3) << "the cannon fires";
  ASSERT_GE(night.missiles, 3) << "the rocket pods fire";
  EXPECT_EQ(night.bulletsLit, night.bullets) << "every bullet in view lights the light map";
  EXPECT_EQ(night.missilesLit, night.missiles) << "every missile in view lights the light map";

  GUI_BS_LightmapManager::Instance().mode = 0;
  const Shots unlit = play(1500);
  ASSERT_GE(unlit.bullets + unlit.missiles, 3);
  EXPECT_EQ(unlit.bulletsLit + unlit.missilesLit, 0);
  EXPECT_EQ(LastBulletPass().lights, 0);
}

}  // namespace
