// Left presses on the battlefield through the battle screen with a fake cursor: a dog
// tag under the mouse is collected (supplies, the counter, a floating text), two under
// it are both collected, empty ground collects nothing, and a design in hand takes the
// press before any tag.
#include <gtest/gtest.h>

#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/DogTags.h"
#include "battle/Gameplay.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BattleOverlays.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/DogTags.h"
#include "battlehud/UnitOverlays.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "engine/InputManager.h"
#include "simdata/GlobalStats.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

class DogTagClickTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    SIM_ScenarioManager::Get().Load();
    for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
      if (s) {
        StartScenarioBattle(s, false, AI_UNITS_NONE);
        break;
      }
    ClearBattleOverlays();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 1.0f;
    map.cameraX = map.cameraY = 0.0f;
    map.viewLeft = map.viewTop = 0.0f;
    map.viewRight = 1024.0f;
    map.viewBottom = 768.0f;
    GetGameplay().supplies = 100.0f;
  }
  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    GUI_BS_DeploymentDropper::Instance().Reset();
    GetDogTagManager().Clear();
    ClearBattleOverlays();
    zt_test::NullDeviceTest::TearDown();
  }
  void ClickAt(float x, float y) {
    GUI_InputManager::SetCursorReader([x, y](float& ox, float& oy) {
      ox = x;
      oy = y;
    });
    GetInputManager().Poll();
    GetBattleScreen().OnLeftDown();
  }
};

TEST_F(DogTagClickTest, PressesOnTheBattlefield) {
  struct Case {
    const char* what;
    std::vector<std::pair<float, float>> tags;
    float clickX, clickY;
    bool designHeld;
    int collected;
  };
  const Case cases[] = {
      {"a tag under the mouse", {{300, 300}}, 310, 305, false, 1},
      {"two tags under the mouse", {{300, 300}, {320, 300}}, 310, 300, false, 2},
      {"empty ground", {{300, 300}}, 600, 600, false, 0},
      {"a tag just outside its width", {{300, 300}}, 333, 300, false, 0},
      {"a design in hand", {{300, 300}}, 300, 300, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetDogTagManager().Clear();
    GUI_BS_FloatingTexts::Instance().Clear();
    for (auto [x, y] : c.tags) GetDogTagManager().Add(x, y, 15);
    GUI_BS_DogTagManager::Instance().Draw();  // the tags show before they are clicked
    if (c.designHeld) {
      SIM_UnitDesign* design = nullptr;
      SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
      if (designs.Designs().empty()) designs.Load();
      GetGameplay().supplies = 1e6f;
      for (const auto& d : designs.Designs())
        if (d && GUI_BS_DeploymentDropper::Instance().StartPlacement(d.get()) == DeployRefusal::NONE) {
          design = d.get();
          break;
        }
      ASSERT_NE(design, nullptr);
    }
    const float supplies = GetGameplay().supplies;
    const int stat = SIM_GlobalStats::Get().GetStat("temp_dogtags_collected");
    ClickAt(c.clickX, c.clickY);
    EXPECT_EQ(GetDogTagManager().tags.size(), c.tags.size() - size_t(c.collected));
    EXPECT_EQ(GUI_BS_FloatingTexts::Instance().texts.size(), size_t(c.collected));
    if (!c.designHeld) {
      EXPECT_FLOAT_EQ(GetGameplay().supplies, supplies + 15.0f * float(c.collected));
      EXPECT_EQ(SIM_GlobalStats::Get().GetStat("temp_dogtags_collected"), stat + c.collected);
    }
    GUI_BS_DeploymentDropper::Instance().CancelDrop();
    GUI_BS_DogTagManager::Instance().Draw();  // collected tags leave nothing behind
  }
}

TEST_F(DogTagClickTest, NoTagsBindNoTexture) {
  const int before = GUI_BS_DogTagManager::Instance().textureBinds;
  GUI_BS_DogTagManager::Instance().Draw();
  EXPECT_EQ(GUI_BS_DogTagManager::Instance().textureBinds, before);
}

TEST_F(DogTagClickTest, TagsFadeInAndPulse) {
  SIM_DogTag* tag = GetDogTagManager().Add(300.0f, 300.0f, 15);
  GUI_BS_DogTagManager& m = GUI_BS_DogTagManager::Instance();
  m.Draw();
  const GUI_BS_DogTag* look = m.Look(tag);
  ASSERT_NE(look, nullptr);
  EXPECT_FLOAT_EQ(look->fadeTimer, 16.0f);
  EXPECT_FLOAT_EQ(look->side, 32.0f);
  EXPECT_FLOAT_EQ(look->screenX, 300.0f);
  GetDogTagManager().Add(-5000.0f, 300.0f, 15);  // beyond the margin: neither drawn nor advanced
  m.Draw();
  const GUI_BS_DogTag* far = m.Look(GetDogTagManager().tags.back().get());
  ASSERT_NE(far, nullptr);
  EXPECT_FLOAT_EQ(far->fadeTimer, 0.0f);
  EXPECT_FLOAT_EQ(far->side, 0.0f);
}

}  // namespace
