#pragma once
// A bare battle with the map's camera over a 4000 x 4000 field (zoom 1 on 1024 x 768,
// the screen centre at (2000, 2000)) and the world-effect requests the battle world hands
// to the effects layer recorded.
#include <string>
#include <vector>

#include "battle/BattleFixture.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "simdata/Options.h"
#include "support/NullDeviceFixture.h"

namespace battlescreen_test {

inline std::vector<GUI_BS_EffectRequest>& RecordedEffects() {
  static std::vector<GUI_BS_EffectRequest> requests;
  return requests;
}

inline int CountEffects(const std::string& kind, const std::string& name = "") {
  int n = 0;
  for (const GUI_BS_EffectRequest& r : RecordedEffects())
    if (r.kind == kind && (name.empty() || r.name == name)) ++n;
  return n;
}

class WorldDetailsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    battle_test::StartBareBattle();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    saved = {map.mapWidth, map.mapHeight, map.zoom, map.cameraX, map.cameraY};
    map.mapWidth = map.mapHeight = 4000.0f;
    map.zoom = 1.0f;
    map.cameraX = map.cameraY = 2000.0f;
    map.UpdateViewRect();
    savedHooks = GetUnitEffectHooks();
    RecordedEffects().clear();
    GetUnitEffectHooks().request = [](const GUI_BS_EffectRequest& r) { RecordedEffects().push_back(r); };
    for (const char* o : {"CAMERASHAKE", "DISTORTION", "SHADOWS"}) savedOptions.push_back(Option(o));
  }
  void TearDown() override {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.mapWidth = saved[0];
    map.mapHeight = saved[1];
    map.zoom = saved[2];
    map.cameraX = saved[3];
    map.cameraY = saved[4];
    GetUnitEffectHooks() = savedHooks;
    const char* names[] = {"CAMERASHAKE", "DISTORTION", "SHADOWS"};
    for (size_t i = 0; i < savedOptions.size(); ++i) SIM_Options::Get().SetFloat(names[i], savedOptions[i]);
    zt_test::NullDeviceTest::TearDown();
  }
  static float Option(const char* name) {
    OptionEntry* e = SIM_Options::Get().Find(name);
    return e ? e->value : 0.0f;
  }
  std::vector<float> saved;
  std::vector<float> savedOptions;
  UnitEffectHooks savedHooks;
};

}  // namespace battlescreen_test
