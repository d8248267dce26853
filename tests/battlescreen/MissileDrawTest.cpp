// The missile layer: bodies with "missile.dds", then additive flares with
// "missile_flare.dds" that grow over the first 100 units, fade with the last fuel, and
// go into the light map too when the battle is lit.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "battle/BattleFixture.h"
#include "battle/MissileLauncher.h"
#include "battle/Projectiles.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "engine/D3DEngine.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "support/NullDeviceFixture.h"

namespace {

class MissileDrawTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    battle_test::StartBareBattle().Begin();
    SIM_ModuleType* launcher =
        cat.Module("launcher", "SIM_MissileLauncherComponent",
                   "warhead = EXPLOSIVE\nfuel = 1000\nspeed = 0.5\nturnspeed = 0.1\nwidth = 8\nheight = 32\n"
                   "has_flare = 1\nflareuvid = 5\nflaresize = 20\nmax_range = 800\nammunition = 10");
    SIM_UnitHull* hull = cat.Hull("carrier", SIZETYPE_TANK, 1, 1000.0f);
    unit = battle_test::AddUnit(cat.Design(hull, {launcher}), GetBattle().playerArmy);
    ASSERT_FALSE(MissileLauncherList().empty());
    ml = MissileLauncherList().back();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.mapWidth = map.mapHeight = 4000.0f;
    map.zoom = 1.0f;
    map.cameraX = 1000.0f;
    map.cameraY = 1000.0f;
    map.UpdateViewRect();
  }
  // A missile in flight at (x, y) that has flown `flown` of its 1000 units of fuel.
  SIM_Missile& Fly(int slot, float x, float y, float flown) {
    SIM_Missile& m = ml->missiles[slot];
    m.alive = true;
    m.x = x;
    m.y = y;
    m.fuelLeft = m.fuel - flown;
    return m;
  }
  struct Counts {
    int bodies = 0, flares = 0, flaresLit = 0;
    float flareSize = 0.0f;
    uint32_t flareAlpha = 0;
  };
  Counts Draw() {
    dev().ClearRecord();
    engine().BeginScene();
    GUI_BS_Missile::DrawAll();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
    Counts c;
    platform::Texture* body = FindTexture("missile.dds");
    platform::Texture* flare = FindTexture("missile_flare.dds");
    for (const platform::DrawRecord& d : dev().draws) {
      const int quads = d.primitiveCount / 2;
      if (d.textures[0] == body && body) c.bodies += quads;
      if (d.textures[0] == flare && flare) {
        (d.renderTarget ? c.flaresLit : c.flares) += quads;
        c.flareSize = d.X(1) - d.X(0);
        c.flareAlpha = d.Colour(0) >> 24;
      }
    }
    return c;
  }

  battle_test::Catalogue cat;
  SIM_BattleUnit* unit = nullptr;
  SIM_MissileLauncherComponent* ml = nullptr;
};

TEST_F(MissileDrawTest, MissilesOnScreenDrawWithTheirFlaresAndOffScreenOnesDoNot) {
  Fly(0, 1000.0f, 1000.0f, 500.0f);
  Fly(1, 1100.0f, 950.0f, 500.0f);
  Fly(2, 3900.0f, 3900.0f, 500.0f);  // far outside the view
  const Counts c = Draw();
  EXPECT_EQ(c.bodies, 2);
  EXPECT_EQ(c.flares, 3) << "flares are drawn for every missile in flight";
  EXPECT_EQ(c.flaresLit, 0) << "an unlit battle has no light map pass";
  EXPECT_TRUE(MissileDrawState::Get().flareFlag);
}

TEST_F(MissileDrawTest, AFlareGrowsOverTheFirstHundredUnitsAndFadesWithTheLastFuel) {
  struct Case {
    float flown;
    float minSize, maxSize;
    uint32_t minAlpha, maxAlpha;
  };
  // Size 20 times the flicker (0.84..1); alpha fades over the last 5% (50 units) of fuel.
  const Case cases[] = {
      {25.0f, 20 * 0.25f * 0.84f, 20 * 0.25f, 255, 255},
      {100.0f, 20 * 0.84f, 20.0f, 255, 255},
      {975.0f, 20 * 0.84f, 20.0f, 120, 135},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.flown);
    Fly(0, 1000.0f, 1000.0f, k.flown);
    const Counts c = Draw();
    ASSERT_EQ(c.flares, 1);
    EXPECT_GE(c.flareSize, k.minSize - 0.01f);
    EXPECT_LE(c.flareSize, k.maxSize + 0.01f);
    EXPECT_GE(c.flareAlpha, k.minAlpha);
    EXPECT_LE(c.flareAlpha, k.maxAlpha);
  }
}

TEST_F(MissileDrawTest, DrawingNeverMovesTheBattlesRandomStream) {
  Fly(0, 1000.0f, 1000.0f, 500.0f);
  InitRandomWithSeed(7);
  const int before = RandomCursor(1);
  for (int i = 0; i < 50; ++i) Draw();
  EXPECT_EQ(RandomCursor(1), before);
  EXPECT_EQ(RandomCursor(0), 0);
}

}  // namespace
