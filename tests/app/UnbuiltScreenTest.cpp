// The screens the main menu leads to that have nothing of their own yet must still look
// like a screen of the game: the wipe from the menu plays over them, the title backdrop
// shows behind, and Escape leads back to the menu.
#include "MenuFixture.h"
#include "app/Game.h"
#include "app/GameModes.h"
#include "app/MainMenu.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"

namespace {

using menu_test::MenuTest;

// At 1280 by 1024 the title picture is exactly as wide as the screen: its edges lie on
// the screen's edges, where a strict on-screen test used to drop it.
class UnbuiltScreenTest : public MenuTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 1024; }
  void SetUp() override {
    createTarget = false;
    MenuTest::SetUp();
    GetRenderDevice().CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
  }
};

TEST_F(UnbuiltScreenTest, MenuButtonWipesIntoTheScreenOverTheBackdropAndEscapeReturns) {
  const int modes[] = {MODE_ONLINE, MODE_OPTIONS};
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  for (int mode : modes) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
    GUI_MainMenu::OnModeButton(mode);
    ASSERT_EQ(game.CurrentModeNumber, mode);
    GUI_Transition& wipe = GetTransition();
    ASSERT_TRUE(wipe.IsRunning());

    game.CurrentMode->Draw();  // the first frame starts the wipe's clock
    AdvanceMs(400);
    device->ClearRecord();
    game.CurrentMode->Draw();
    EXPECT_GT(DrawsWith("rt_transition"), 0) << "the wipe is not drawn over the screen";
    EXPECT_GT(DrawsWith("titlescreen.jpg"), 0) << "no backdrop behind the screen";
    EXPECT_GT(DrawsWith(GetTitleBackdrop().CloudAt(0).sprite.texture->Texture()), 0)
        << "the backdrop's clouds are missing";

    AdvanceMs(500);
    game.CurrentMode->Draw();
    EXPECT_FALSE(wipe.IsRunning());
    device->ClearRecord();
    game.CurrentMode->Draw();
    EXPECT_EQ(DrawsWith("rt_transition"), 0) << "the wipe outlived its time";
    EXPECT_GT(DrawsWith("titlescreen.jpg"), 0);

    game.CurrentMode->OnKeyDown(kKeyEscape);
    EXPECT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
  }
}

}  // namespace
