// What the player sees of the online screens, drawn by the OpenGL device against the
// seeded local game server at 1024 x 768 and 1280 x 1024: the online screen, the badge
// designer, a comparison and the challenge poster of the loading screen, each compared
// with a reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/GameModes.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/ShaderEffects.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "online/BadgeDesigner.h"
#include "online/GUI_Online.h"
#include "online/LoadingPoster.h"
#include "online/OnlineFixture.h"
#include "online/PlayerProfile.h"
#include "online/ProfileCompare.h"
#include "online/RegimentBadge.h"
#include "platform/Image.h"
#include "simdata/Achievements.h"
#include "support/GLTestSupport.h"

namespace {

struct Size {
  int w, h;
};

class OnlineScreensScreenshotTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override {
    w_ = GetParam().w;
    h_ = GetParam().h;
    if (!gl_.Open("Zentrak online", w_, h_, SDL_WINDOW_HIDDEN)) return;
    // The title backdrop's clouds drift from frame to frame: a plain backdrop keeps the
    // pictures comparable.
    backdrop_ = StandardModeBackdrop();
    SetStandardModeBackdrop(nullptr);
    GetRenderDevice().SetScreenSize(w_, h_);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    GetShaderManager().LoadAll();
    LoadStringsTable();
    zt_test::UseTestUserFolders();
    ASSERT_TRUE(server.Start()) << "the local game server did not start";
    setenv("ZENTRAK_SERVER", server.Base().c_str(), 1);
    // The seeded player, signed up in an earlier session.
    GetInternet().WriteStoredUserName("recruit");
    zt_test::WriteAll(
        zt_test::UserRoot() + "/profile.ini",
        "[profile]\nusername = recruit\ngeneralname = Anna Kovacs\nregimentname = 7th Iron Lancers\n");
    zt_test::WriteAll(
        GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini",
        "[profile]\nusername = recruit\ngeneral_name = Anna Kovacs\nregiment_name = 7th Iron Lancers\n"
        "rank = 2\nxp = 1250\nbadge_bg = badge_bg_shield.dds,1.0,0.0,40,60,120,255\n"
        "badge_crest = badge_crest_eagle.dds,0.8,-0.05,230,200,60,255\n"
        "badge_inset = badge_inset_star.dds,0.3,0.1,255,255,255,255\n");
    GetPlayerProfile().LoadTempProfile();
    SIM_AchievementList& achievements = SIM_AchievementList::Get();
    achievements.LoadDefinitions();
    for (const char* name : {"ACH_FIRST_VICTORY", "ACH_TEN_VICTORIES", "ACH_HOLD_THE_LINE"})
      achievements.Unlock(achievements.FindByName(name));
    // The mouse rests in a corner, over nothing.
    GetInputManager().x = 2;
    GetInputManager().y = static_cast<float>(h_ - 2);
  }
  void TearDown() override {
    SetStandardModeBackdrop(backdrop_);
    if (gl_.IsOpen()) {
      mode_.Leave();
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      GetWindowOrder().FlushDeleted();
      if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
      server.Stop();
    }
    gl_.Close();
  }

  // Draws frames until no worker runs.
  void Settle() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    do {
      Frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (GetThreadManager().Busy() && std::chrono::steady_clock::now() < until);
    Frame();
    ASSERT_FALSE(GetThreadManager().Busy());
  }
  void Frame() {
    D3DEngine& d3d = GetRenderDevice();
    GetWindowOrder().FlushDeleted();
    d3d.BeginScene();
    d3d.DrawRect(0, 0, float(w_), float(h_), 0xFF1C2319);
    if (mode_.CloseButton()) mode_.DrawButtons();
    mode_.Draw();
    GUI_Tooltip::DrawQueued();
    gui_draw::FlushAll();
    d3d.EndScene();
  }
  void Check(const std::string& name) {
    std::vector<uint32_t> actual;
    platform::Rect all{0, 0, w_, h_};
    ASSERT_EQ(GetRenderDevice().Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
    const std::string size = std::to_string(w_) + "x" + std::to_string(h_);
    // Kept for looking at, whatever the outcome.
    platform::SaveImageFile(zt_test::BuildDir() + "/online_" + name + "_" + size + ".png",
                            platform::ImageFileFormat::PNG, w_, h_, actual);
    zt_test::ExpectMatchesReference(
        actual, w_, h_, zt_test::TestSourceDir() + "/online/reference/" + name + "_" + size + ".png",
        zt_test::BuildDir() + "/online_" + name + "_" + size + "_failed.png");
  }

  zt_test::GLWindow gl_;
  zt_test::EnvGuard serverEnv{"ZENTRAK_SERVER"};
  zt_test::LocalGameServer server;
  GUI_Online mode_;
  int w_ = 0, h_ = 0;
  StandardModeLayer backdrop_ = nullptr;
};

TEST_P(OnlineScreensScreenshotTest, OnlineScreenDesignerComparisonAndPosterLookRight) {
  ZT_REQUIRE_GL(gl_);
  mode_.Enter();
  Settle();
  ASSERT_EQ(OpenMessageBox(), nullptr);
  Check("screen");

  GUI_OL_BadgeDesigner* designer = OpenBadgeDesigner();
  Settle();
  Check("designer");
  // The saved badge is the composed layers, upright, whatever else is on screen.
  ASSERT_TRUE(designer->Save());
  Settle();
  platform::DecodedImage badge;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(OwnBadgePath(), &badge, &error)) << error;
  ASSERT_EQ(badge.width, kBadgeImageSize);
  ASSERT_EQ(badge.height, kBadgeImageSize);
  if (w_ == 1024) {
    platform::SaveImageFile(zt_test::BuildDir() + "/online_saved_badge.png", platform::ImageFileFormat::PNG,
                            badge.width, badge.height, badge.levels[0]);
    std::vector<uint32_t> shown;
    const GUI_RegimentBadge& element = *designer->Badge();
    platform::Rect area{element.left, element.top, element.right, element.bottom};
    ASSERT_EQ(GetRenderDevice().Device()->ReadPixels(nullptr, area, &shown), platform::D3D_OK);
    // JPEG loses a little; the picture is the one on screen, not a flipped or shifted one.
    double total = 0;
    for (size_t i = 0; i < shown.size(); ++i)
      for (int shift : {0, 8, 16})
        total += std::abs(int((shown[i] >> shift) & 0xFF) - int((badge.levels[0][i] >> shift) & 0xFF));
    EXPECT_LT(total / (3.0 * shown.size()), 6.0) << "the saved badge differs from the one shown";
  }
  delete OpenBadgeDesignerWindow();

  OpenProfileComparison("ironhide");
  Settle();
  Check("compare");
  delete OpenProfileComparisonWindow();
  mode_.Leave();

  // The loading screen of an online challenge: the backdrop and the poster.
  ASSERT_TRUE(FetchChallengePoster("seed0001", "ironhide"));
  GetLoadingPoster().LoadPoster();
  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  d3d.DrawRect(0, 0, float(w_), float(h_), 0xFF1C2319);
  GetLoadingPoster().Draw();
  gui_draw::FlushAll();
  d3d.EndScene();
  Check("poster");
}

INSTANTIATE_TEST_SUITE_P(Sizes, OnlineScreensScreenshotTest,
                         ::testing::Values(Size{1024, 768}, Size{1280, 1024}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                           return std::to_string(info.param.w) + "x" + std::to_string(info.param.h);
                         });

}  // namespace
