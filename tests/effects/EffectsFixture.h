#pragma once
// The battle effects on the recording null device: the shipped art and configs, the
// frame's render targets, a battle whose frame step is 16 ms (game speed 1) and the
// battle map's default view (0..1024 x 0..768 at zoom 1).
#include <gtest/gtest.h>

#include "battle/Battle.h"
#include "battlescreen/BattleMap.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"

namespace effects_test {

class EffectsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    for (const char* name : {"rt_offscreen1", "rt_offscreen2", "rt_lightmap", "rt_distortion"})
      engine().CreateRenderTarget(name, 1024, 1024, platform::Format::X8R8G8B8);
    SIM_Battle& b = GetBattle();
    b.frameStep = 16.0f;
    b.paused = false;
    SetEffectsFrameRatioOverride(1.0f);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.cameraX = 512.0f;
    map.cameraY = 384.0f;
  }
  void TearDown() override {
    SetEffectsFrameRatioOverride(-1.0f);
    zt_test::NullDeviceTest::TearDown();
  }
  // A battle lit or unlit, as a scenario would say.
  void Light(bool lit) {
    scenario.usingLightMap = lit;
    scenario.lightMapColour[0] = 90;  // red, green, blue, alpha as in the scenario file
    scenario.lightMapColour[1] = 100;
    scenario.lightMapColour[2] = 140;
    scenario.lightMapColour[3] = 255;
    GUI_BS_LightmapManager::Instance().ReadBattleLighting(&scenario);
  }
  SIM_Scenario scenario;
};

}  // namespace effects_test
