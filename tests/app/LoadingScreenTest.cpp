// The loading screen on the null device: the battle's load steps drive the bar from empty
// to full with one presented picture per step, the screen waits for a key once the load
// is done, and the pictures come round in one shuffled order.
#include <algorithm>
#include <string>
#include <vector>

#include "MenuFixture.h"
#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/Transition.h"
#include "battle/BattleHooks.h"
#include "simdata/Options.h"

namespace {

using menu_test::MenuTest;

class LoadingScreenTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    SIM_Options::Get().SetFloat("TRANSITIONS", 0.0f);
    GetGame().SetGameMode(MODE_MAIN_MENU);
    WireLoadingScreenHooks();
    screen = GetLoadingScreen();
    ASSERT_NE(screen, nullptr);
  }
  int Presents() const {
    int n = 0;
    for (const std::string& c : device->calls)
      if (c.rfind("Present", 0) == 0) ++n;
    return n;
  }
  GUI_LoadingScreen* screen = nullptr;
};

float MinU(const BaseSprite& s) { return std::min({s.v[0].u, s.v[1].u, s.v[2].u, s.v[3].u}); }
float MaxU(const BaseSprite& s) { return std::max({s.v[0].u, s.v[1].u, s.v[2].u, s.v[3].u}); }
float MinV(const BaseSprite& s) { return std::min({s.v[0].v, s.v[1].v, s.v[2].v, s.v[3].v}); }
float MaxV(const BaseSprite& s) { return std::max({s.v[0].v, s.v[1].v, s.v[2].v, s.v[3].v}); }

struct Step {
  float progress;
  float filledWidth;
  int presents;
};
std::vector<Step> g_steps;

TEST_F(LoadingScreenTest, TheLoadStepsDriveTheBarFromEmptyToFull) {
  g_steps.clear();
  // The battle's own steps, reported through the battle's hooks as SIM_Battle::Start does.
  auto loader = [this] {
    for (float p : {0.0f, 0.25f, 0.3f, 0.55f, 0.85f}) {
      GetBattleHooks().setLoadingProgress(p);
      g_steps.push_back({screen->Progress(), screen->FilledBar().width, Presents()});
      // The filled part shows the lower half of the art up to p, the groove the upper
      // half from p; together they span the bar.
      EXPECT_FLOAT_EQ(screen->FilledBar().width + screen->EmptyBar().width, 512.0f);
      const BaseSprite& filled = screen->FilledBar();
      const BaseSprite& empty = screen->EmptyBar();
      EXPECT_FLOAT_EQ(MinU(filled), 0.0f);
      EXPECT_FLOAT_EQ(MaxU(filled), p);
      EXPECT_FLOAT_EQ(MinV(filled), 0.5f);
      EXPECT_FLOAT_EQ(MaxV(filled), 1.0f);
      EXPECT_FLOAT_EQ(MinU(empty), p);
      EXPECT_FLOAT_EQ(MaxU(empty), 1.0f);
      EXPECT_FLOAT_EQ(MinV(empty), 0.0f);
      EXPECT_FLOAT_EQ(MaxV(empty), 0.5f);
      // The bar sits 36 pixels above the bottom, centred across the screen.
      EXPECT_FLOAT_EQ((filled.v[0].y + filled.v[2].y) / 2.0f, 768.0f - 36.0f);
    }
    GetBattleHooks().finishLoading();
  };
  screen->BeginLoad(loader, MODE_BATTLE_BROWSER, false);
  ASSERT_EQ(GetGame().CurrentModeNumber, MODE_LOADING_SCREEN);
  EXPECT_EQ(screen->GetState(), GUI_LoadingScreen::kWaitingForTransition);

  device->ClearRecord();
  GetRenderDevice().BeginScene();
  screen->Draw();  // transitions are off: the load runs in the first frame
  GetRenderDevice().EndScene();

  ASSERT_EQ(g_steps.size(), 5u);
  for (size_t i = 0; i < g_steps.size(); ++i) {
    EXPECT_FLOAT_EQ(g_steps[i].filledWidth, 512.0f * g_steps[i].progress);
    EXPECT_EQ(g_steps[i].presents, static_cast<int>(i) + 1) << "each step is presented at once";
  }
  EXPECT_EQ(g_steps.front().filledWidth, 0.0f);
  EXPECT_EQ(screen->GetState(), GUI_LoadingScreen::kDone);
  EXPECT_FLOAT_EQ(screen->Progress(), 1.0f);
  EXPECT_EQ(Presents(), 6) << "the finished screen is presented too";
  EXPECT_GT(DrawsWith(screen->CurrentPicture()), 0);
}

TEST_F(LoadingScreenTest, TheLoadWaitsForTheWipeWhenTransitionsAreOn) {
  SIM_Options::Get().SetFloat("TRANSITIONS", 1.0f);
  int runs = 0;
  screen->BeginLoad(
      [&runs, this] {
        ++runs;
        screen->FinishLoading();
      },
      MODE_MAIN_MENU, false);
  ASSERT_TRUE(GetTransition().IsRunning());
  screen->Draw();  // starts the wipe's clock
  EXPECT_EQ(runs, 0);
  AdvanceMs(900);
  screen->Draw();  // the wipe ends in this frame
  screen->Draw();
  EXPECT_EQ(runs, 1);
  screen->Draw();
  EXPECT_EQ(runs, 1) << "the load runs once";
}

TEST_F(LoadingScreenTest, OnlyAKeyOrALeftClickLeavesTheFinishedScreen) {
  for (int how = 0; how < 2; ++how) {
    SCOPED_TRACE(how);
    screen->BeginLoad([this] { screen->FinishLoading(); }, MODE_BATTLE_BROWSER, false);
    screen->OnRightDown();
    screen->OnWheelUp();
    screen->OnChar('x');
    EXPECT_EQ(GetGame().CurrentModeNumber, MODE_LOADING_SCREEN) << "nothing happens before the load ran";
    screen->Draw();
    ASSERT_EQ(screen->GetState(), GUI_LoadingScreen::kDone);
    screen->OnRightDown();
    screen->OnWheelDown();
    screen->OnChar('x');
    EXPECT_EQ(GetGame().CurrentModeNumber, MODE_LOADING_SCREEN);
    if (how == 0) {
      screen->OnKeyDown('A');
    } else {
      screen->OnLeftDown();
    }
    EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
    GetGame().SetGameMode(MODE_MAIN_MENU);
  }
}

TEST_F(LoadingScreenTest, PicturesComeRoundInOneShuffledOrder) {
  const std::vector<std::string> pictures = screen->Pictures();
  ASSERT_GE(pictures.size(), 3u);
  std::vector<std::string> shown;
  for (size_t i = 0; i < 2 * pictures.size(); ++i) {
    screen->BeginLoad(nullptr, MODE_MAIN_MENU, false);
    shown.push_back(screen->CurrentPicture());
    GetGame().SetGameMode(MODE_MAIN_MENU);
  }
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(shown[i], pictures[i]);
    EXPECT_EQ(shown[i + pictures.size()], pictures[i]) << "the same order repeats";
  }
}

TEST_F(LoadingScreenTest, AnOnlineChallengeShowsTheBackdropAndThePoster) {
  int posterDraws = 0;
  GUI_LoadingScreen::SetPosterHooks(nullptr, [&posterDraws] { ++posterDraws; });
  screen->BeginLoad([this] { screen->FinishLoading(); }, MODE_MAIN_MENU, true);
  device->ClearRecord();
  screen->Draw();
  GUI_LoadingScreen::SetPosterHooks(nullptr, nullptr);
  EXPECT_GT(posterDraws, 0);
  EXPECT_GT(DrawsWith("titlescreen.jpg"), 0);
  EXPECT_EQ(DrawsWith("backdrop_sides.jpg"), 0);
  EXPECT_NE(screen->PressAnyKeyText(), "PROBAR_PRESSANYKEY");
}

}  // namespace
