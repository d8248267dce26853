#pragma once
// A bare battle on the recording null device with a 4000 x 4000 map seen at zoom 1
// around (1000, 1000), 16 ms frames: what the effects' own tests draw into.
#include <gtest/gtest.h>

#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "engine/VertexBuffer.h"
#include "support/NullDeviceFixture.h"

namespace explosions_test {

class WorldEffectsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    battle_test::StartBareBattle();
    GetBattle().frameStep = 16.0f;
    GetBattle().paused = false;
    View(1.0f);
  }
  void View(float zoom, float cx = 1000.0f, float cy = 1000.0f) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.mapWidth = map.mapHeight = 4000.0f;
    map.zoom = zoom;
    map.cameraX = cx;
    map.cameraY = cy;
    map.UpdateViewRect();
  }
  // Runs the drawing inside a scene and answers the draw records it made.
  template <class F>
  const std::vector<platform::DrawRecord>& Record(F&& draw) {
    dev().ClearRecord();
    engine().BeginScene();
    draw();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
    return dev().draws;
  }
  static int Quads(const std::vector<platform::DrawRecord>& draws, platform::Texture* texture = nullptr) {
    int n = 0;
    for (const platform::DrawRecord& d : draws)
      if (!texture || d.textures[0] == texture) n += d.primitiveCount / 2;
    return n;
  }
};

}  // namespace explosions_test
