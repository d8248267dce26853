// The end-of-battle dialogs as a player sees them, under a (virtual) display: the unlock
// dialog with two choices and a free item, five medals, and the statistics of three
// designs, each against a reference picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleFixture.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battlehud/AchievementsDialog.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "battlehud/MiniMap.h"
#include "battlehud/PostBattleUnlock.h"
#include "battlehud/StatsDialog.h"
#include "battlescreen/BattleScreen.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Random.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/Achievements.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/Unlockable.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace battle_test;

class EndOfBattleGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak end of battle test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    GetGame().InitUserFolders();
    RegisterTextureFolder("data/bitmaps");
    // In the test's own folder: every test run on this build shares the build folder.
    const std::string pictures = zt_test::UserDir() + "/designtextures";
    std::filesystem::create_directories(pictures);
    UserFolders()[USERFOLDER_DESIGNTEXTURES] = pictures;
    RegisterTextureFolder(pictures);
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    InitRandomWithSeed(11);
    EngineSrand(11);
  }
  void TearDown() override {
    // Open pages outlive the test otherwise, and keep later tests' hints waiting.
    GUI_TutorialWindow::CloseAll();
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  // The open windows over a plain backdrop, compared with the reference.
  void Shot(const std::string& name) {
    D3DEngine& e = GetRenderDevice();
    for (int frame = 0; frame < 2; ++frame) {
      e.BeginScene();
      e.ClearTarget(0xff1c2228);
      GetWindowOrder().Process();
      GetWindowOrder().Draw();
      gui_draw::FlushAll();
      e.EndScene();
      if (frame == 0) e.Flip();
    }
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                    zt_test::TestSourceDir() + "/battlehud/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/battlehud_" + name + "_actual.png");
    e.Flip();
  }
  void CampaignBattle(int outcome) {
    SIM_ScenarioManager::Get().Load();
    StartScenarioBattle(SIM_ScenarioManager::Get().Campaign().front(), false, AI_UNITS_NONE);
    GetBattle().outcome = outcome;
    // The dialogs alone, without the battle's strips.
    CloseDeploymentWindow();
    CloseTopStrip();
    CloseMiniMap();
  }
  // The open windows over a plain backdrop, as the screen shows them.
  std::vector<uint32_t> Screen() {
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    e.ClearTarget(0xff1c2228);
    GetWindowOrder().Draw();
    gui_draw::FlushAll();
    e.EndScene();
    std::vector<uint32_t> pixels;
    EXPECT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    e.Flip();
    return pixels;
  }
  zt_test::GLWindow gl_;
};

TEST_F(EndOfBattleGLTest, UnlockDialogWithTwoChoicesAndAFreeItem) {
  ZT_REQUIRE_GL(gl_);
  CampaignBattle(OUTCOME_VICTORY);
  SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
  catalogue.EnsureLoaded();
  // Offer two weapons, so both show their statistics.
  for (SIM_Unlockable* u : std::vector<SIM_Unlockable*>(catalogue.Choices()))
    if (u->GetName() != "cannon_120" && u->GetName() != "pulse_laser") catalogue.Remove(u);
  EngineSrand(11);  // the shuffles draw from it: the same offer every run
  RunContinueSequence();
  GUI_BS_PostBattleUnlock* d = GetOpenPostBattleUnlock();
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->secondChoice, nullptr);
  ASSERT_NE(d->freeUnlock, nullptr);
  EXPECT_FALSE(d->firstChoice->details->strips.empty());
  Shot("unlock");
}

TEST_F(EndOfBattleGLTest, FiveMedals) {
  ZT_REQUIRE_GL(gl_);
  zt_test::FakeRunner runner;  // no please-wait over the medals
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions();
  for (const char* n :
       {"ACH_FIRST_VICTORY", "ACH_TANK_HUNTER", "ACH_HOLD_THE_LINE", "ACH_CAMPAIGN_MEDIUM", "ACH_CHALLENGER"})
    list.Unlock(list.FindByName(n));
  GUI_BS_Achievements::Open();
  ASSERT_NE(GetOpenAchievements(), nullptr);
  Shot("medals");
}

TEST_F(EndOfBattleGLTest, StatisticsOfThreeDesigns) {
  ZT_REQUIRE_GL(gl_);
  CampaignBattle(OUTCOME_VICTORY);
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.Load();
  std::vector<SIM_UnitDesign*> picked;
  for (const auto& d : designs.Designs())
    if (picked.size() < 3 && d->hull && d->hull->sizeType != 3) picked.push_back(d.get());
  ASSERT_EQ(picked.size(), 3u);
  const float damage[3][3] = {{820, 640, 0}, {1450, 0, 0}, {90, 120, 60}};
  for (int d = 0; d < 3; ++d)
    for (int u = 0; u < 3; ++u) {
      if (damage[d][u] == 0 && u > 0) continue;
      SIM_BattleUnit* unit = AddUnit(picked[static_cast<size_t>(d)], GetBattle().playerArmy);
      if (!unit->damageTally) unit->damageTally = std::make_unique<UnitBattleStats>();
      unit->damageTally->totalDamage = damage[d][u];
      unit->damageTally->shieldDamage = damage[d][u] * 0.3f;
      unit->damageTally->armourDamage = damage[d][u] * 0.5f;
      unit->damageTally->hullDamage = damage[d][u] * 0.2f;
      unit->damageTally->shotsFired = 12.0f + 7.0f * static_cast<float>(u + d);
      unit->damageTally->escaped = d == 2 && u == 0 ? 1.0f : 0.0f;
    }
  GUI_BS_PostMortem::Open();
  GUI_BS_PostMortem::OnStats(0);
  ASSERT_NE(GetOpenStatsDialog(), nullptr);
  GetOpenPostMortem()->visible = false;  // the statistics alone
  Shot("statistics");
  CloseStatsDialog();
}

// The first unit the player picks opens the "Unit Details" page in the lower right. The
// battle ends before its OK is pressed: the Victory box opens across the middle of the
// screen, over the page's place, and the page is still seen whole on top of it.
TEST_F(EndOfBattleGLTest, UnitDetailsPageStaysInSightOverTheVictoryBox) {
  ZT_REQUIRE_GL(gl_);
  CampaignBattle(OUTCOME_UNDECIDED);
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.Load();
  SIM_UnitDesign* design = nullptr;
  for (const auto& d : designs.Designs())
    if (!design && d->hull && d->hull->sizeType == 2) design = d.get();
  ASSERT_NE(design, nullptr);
  SIM_BattleUnit* unit = AddUnit(design, GetBattle().playerArmy);
  GetTutorial().Load();
  ASSERT_NE(GetBattleScreenHooks().openUnitInspector, nullptr);
  GetBattleScreenHooks().openUnitInspector(unit);
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  const GUI_TutorialWindow* page = GUI_TutorialWindow::OpenWindows()[0];
  ASSERT_EQ(page->Page()->name, "BATTLE_UNIT_DETAILS");
  const std::vector<uint32_t> before = Screen();

  // The battle is decided; two seconds later its own update opens the Victory box.
  SIM_Battle& battle = GetBattle();
  battle.Begin();
  GetOutcomeManager().AttackerWins();  // the player attacks
  ASSERT_EQ(battle.outcome, OUTCOME_VICTORY);
  battle.endStartMs -= 3000.0;
  EngineSrand(11);  // the box's line of praise: the same every run
  battle.Update();
  const GUI_BS_PostMortem* victory = GetOpenPostMortem();
  ASSERT_NE(victory, nullptr);
  ASSERT_EQ(GUI_TutorialWindow::OpenWindows().size(), 1u);
  const int l = std::max(page->left, victory->left), r = std::min(page->right, victory->right);
  const int t = std::max(page->top, victory->top), b = std::min(page->bottom, victory->bottom);
  ASSERT_TRUE(l < r && t < b) << "the Victory box reaches over the page's place";
  const std::vector<uint32_t> after = Screen();
  ASSERT_EQ(after.size(), before.size());
  // Where they overlap the screen shows the page as it was, not the box.
  int changed = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      const uint32_t p = before[static_cast<size_t>(y) * 1024 + x],
                     q = after[static_cast<size_t>(y) * 1024 + x];
      for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)) > 24) {
          ++changed;
          break;
        }
    }
  EXPECT_LT(changed, (r - l) * (b - t) / 100) << "of " << (r - l) * (b - t) << " pixels";
  // What the player sees: the box and, over its lower right corner, the page.
  zt_test::ExpectMatchesReference(
      after, 1024, 768, zt_test::TestSourceDir() + "/battlehud/reference/unit_details_over_victory.png",
      zt_test::BuildDir() + "/battlehud_unit_details_over_victory_actual.png");
}

}  // namespace
