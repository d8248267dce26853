// What the player sees of the options screen, the loading screen and a tutorial page over
// the main menu, drawn by the OpenGL device on a real display and compared with reference
// pictures. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CInput.h"
#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/OptionsScreen.h"
#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "platform/Image.h"
#include "simdata/Options.h"
#include "support/FakeSoundEngine.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

std::int64_t g_nowNs = 0;
std::int64_t Now() { return g_nowNs; }

class AppScreenshotTest : public ::testing::Test {
 protected:
  // Each test opens the window at its own size.
  bool Open(int w, int h) {
    w_ = w;
    h_ = h;
    if (!gl_.Open("Zentrak screens", w, h, SDL_WINDOW_HIDDEN)) return false;
    g_nowNs = 5'000'000'000;
    SetClockSource(Now);
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetScreenSize(w, h);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    d3d.CreateRenderTarget("rt_transition", Game::RenderTargetSize(w), Game::RenderTargetSize(h),
                           platform::Format::X8R8G8B8);
    GetSharedGUITextures().Load();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::make_unique<FakeSoundEngine>()));
    InitRandomWithSeed(1234);
    GetGame().UserFolder[USERFOLDER_ROOT] = zt_test::UserRoot();
    SIM_Options::Get().SetFloat("TRANSITIONS", 0.0f);
    GetCInput().enabled = true;
    // The mouse rests outside every control.
    GetCInput().x = 5.0f;
    GetCInput().y = 5.0f;
    return true;
  }
  void TearDown() override {
    SetClockSource(nullptr);
    if (gl_.IsOpen()) {
      GUI_TutorialWindow::CloseAll();
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
    }
    gl_.Close();
  }
  void AdvanceMs(double ms) { g_nowNs += static_cast<std::int64_t>(ms * 1e6); }
  void Compare(const std::vector<uint32_t>& argb, const std::string& name) {
    zt_test::ExpectMatchesReference(argb, w_, h_,
                                    zt_test::TestSourceDir() + "/app/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/app_" + name + ".png");
  }
  std::vector<uint32_t> ReadBack() {
    std::vector<uint32_t> actual;
    platform::Rect all{0, 0, w_, h_};
    EXPECT_EQ(GetRenderDevice().Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
    return actual;
  }
  void DrawFrame() {
    D3DEngine& d3d = GetRenderDevice();
    d3d.BeginScene();
    GetGame().CurrentMode->Draw();
    d3d.EndScene();
  }

  zt_test::GLWindow gl_;
  int w_ = 0, h_ = 0;
};

TEST_F(AppScreenshotTest, OptionsScreen) {
  if (!Open(1024, 768)) return;
  SIM_Options& o = SIM_Options::Get();
  o.SetFloat("OPTIONS_MUSIC", 0.6f);
  o.SetFloat("OPTIONS_SFX", 0.8f);
  o.SetFloat("OPTIONS_MASTERVOLUME", 1.0f);
  o.SetFloat("OPTIONS_INTERFACE_VOLUME", 0.45f);
  o.SetFloat("OPTIONS_GRAPHICS_DETAIL", 1.0f);
  o.SetFloat("OPTIONS_MAP_SCROLL_SPEED", 0.5f);
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  game.SetGameMode(MODE_OPTIONS);
  GUI_Options* options = GetOptionsScreen();
  ASSERT_NE(options, nullptr);
  options->ChooseDisplay(1280, 1024);  // the restart button shows
  AdvanceMs(100);
  DrawFrame();
  Compare(ReadBack(), "options_screen");
}

TEST_F(AppScreenshotTest, LoadingScreenHalfWay) {
  if (!Open(1280, 800)) return;
  GetGame().SetGameMode(MODE_MAIN_MENU);
  GUI_LoadingScreen* screen = GetLoadingScreen();
  ASSERT_NE(screen, nullptr);
  const std::string shot = zt_test::UserRoot() + "/screenshots/loading.bmp";
  screen->BeginLoad(
      [screen, &shot] {
        screen->SetProgress(0.25f);
        // The step's own present saves the picture.
        GetRenderDevice().RequestScreenshot(shot);
        screen->SetProgress(0.55f);
        screen->FinishLoading();
      },
      MODE_MAIN_MENU, false);
  DrawFrame();
  platform::DecodedImage img;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(shot, &img, &error)) << error;
  ASSERT_EQ(img.width, w_);
  Compare(img.levels[0], "loading_screen");

  // The finished screen asks for a key.
  DrawFrame();
  Compare(ReadBack(), "loading_screen_done");
}

TEST_F(AppScreenshotTest, TutorialPageOverTheMainMenu) {
  if (!Open(1024, 768)) return;
  GetTutorial().Load();
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  AdvanceMs(2000);  // past the fade from black
  DrawFrame();
  ASSERT_TRUE(GetTutorial().ShowPage("reminder_CREATEUNIT"));
  AdvanceMs(30);
  DrawFrame();
  Compare(ReadBack(), "tutorial_page");
}

}  // namespace
