// Units in a night battle, drawn through the battle screen's frame on the recording null
// device: their layers, barrels and legs go into the light map in the light colour or,
// under night vision, as grey at their size type's strength, and fresh damage marks glow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
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

}  // namespace
