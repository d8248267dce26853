// Start-up, the user folders, prefs.ini and shutdown.
#include <unistd.h>

#include "GameFixture.h"
#include "app/GameModes.h"
#include "app/Transition.h"
#include "engine/Folders.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "platform/Window.h"
#include "simdata/Options.h"

namespace ft {
RecordingMode* RecordingMode::last = nullptr;
}

namespace {

using ft::GameTest;

TEST_F(GameTest, FirstStartBuildsEveryUserFolderAndLogs) {
  Game& game = Start();
  const std::string root = Root();
  const std::pair<int, std::string> expected[] = {
      {USERFOLDER_ROOT, ""},
      {USERFOLDER_PLAYER_UNITS, "/player_units"},
      {USERFOLDER_SCENARIOS, "/scenarios"},
      {USERFOLDER_DEPLOYMENTS, "/deployments"},
      {USERFOLDER_DESIGNTEXTURES, "/designtextures"},
      {USERFOLDER_CHALLENGE_TEMP, "/challenge_temp"},
      {USERFOLDER_WEB, "/web"},
      {USERFOLDER_WEB_DEBUG, "/web/debug"},  // not the logs' folder
      {USERFOLDER_BITMAPS, "/bitmaps"},
      {USERFOLDER_BADGE_DATABASE, "/badge_database"},
      {USERFOLDER_PATCHES, "/web/patches"},
  };
  for (const auto& [index, suffix] : expected) {
    EXPECT_EQ(GetUserFolder(index), root + suffix) << index;
    EXPECT_TRUE(DirectoryExists(root + suffix)) << suffix;
  }
  EXPECT_EQ(GetUserFolder(11), "");
  EXPECT_EQ(GetUserFolder(-1), "");
  EXPECT_TRUE(DirectoryExists(root + "/screenshots"));
  EXPECT_TRUE(DirectoryExists(root + "/web/challenges"));
  EXPECT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_TRUE(Mode().calls.empty());  // the first mode gets neither Leave nor Enter

  const std::string debug = DebugText();
  EXPECT_EQ(debug.rfind("----DEBUG FILE----\n", 0), 0u);
  EXPECT_NE(debug.find("\nZTK Debug File. App version Release 1.008\n"), std::string::npos);
  EXPECT_NE(debug.find("\nDesktop resolution is 1280 x 1024\n"), std::string::npos);
  EXPECT_NE(debug.find("\nInitialising Direct3D\n"), std::string::npos);
}

struct DesktopCase {
  int width, height;
  const char* prefs;
  bool warned;
  int targetWidth, targetHeight;
};

class FirstStartDesktop : public GameTest, public ::testing::WithParamInterface<DesktopCase> {};

TEST_P(FirstStartDesktop, WritesPrefsWithDesktopSizeAndSizesTargets) {
  const DesktopCase& c = GetParam();
  Game& game = Start(c.width, c.height);
  EXPECT_EQ(ft::ReadText(Root() + "/prefs.ini"), c.prefs);
  EXPECT_EQ(
      ErrorsText().find("WARNING: Desktop Screen Resolution is below MinScreenHeight") != std::string::npos,
      c.warned);
  EXPECT_EQ(game.RenderTargetWidth, c.targetWidth);
  EXPECT_EQ(game.RenderTargetHeight, c.targetHeight);
  EXPECT_FALSE(GetRenderDevice().Windowed());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FirstStartDesktop,
    ::testing::Values(
        DesktopCase{1366, 720, "[prefs]\nwidth = 1366\nheight = 768\nwindowed = 0\n", true, 1366, 768},
        DesktopCase{1024, 768, "[prefs]\nwidth = 1024\nheight = 768\nwindowed = 0\n", false, 1024, 768},
        DesktopCase{1920, 1200, "[prefs]\nwidth = 1920\nheight = 1200\nwindowed = 0\n", false, 1920, 1200}));

// A full-screen pass touches every pixel of its target: the targets are the screen's size,
// and rounded up to powers of two only on a device that takes nothing else.
class ScreenTargetsTest : public GameTest {
 protected:
  void ExpectScreenTargets(bool pow2);
};

void ScreenTargetsTest::ExpectScreenTargets(bool pow2) {
  auto d3d = std::make_unique<platform::NullDirect3D>();
  d3d->caps.pow2 = pow2;
  GetRenderDevice().SetDirect3D(std::move(d3d));
  Game& game = Start(1280, 1024);
  game.SetGameMode(MODE_OPTIONS);  // leaving the menu makes the battle's targets
  const GTexture9* target = GetRenderDevice().FindNamedTexture("rt_offscreen1");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->Width(), pow2 ? 2048 : 1280);
  EXPECT_EQ(target->Height(), 1024);
  EXPECT_EQ(game.RenderTargetWidth, target->Width());
  const GTexture9* small = GetRenderDevice().FindNamedTexture("rt_minimap_backdrop");
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->Width(), 256) << "fixed-size targets keep their size";
}

TEST_F(ScreenTargetsTest, AreTheScreensSize) { ExpectScreenTargets(false); }

TEST_F(ScreenTargetsTest, ArePowersOfTwoOnADeviceThatNeedsThem) { ExpectScreenTargets(true); }

// The software renderer keeps a target's pixels in memory from its creation: the main
// menu holds only the targets it draws into, and the rest come, once, as it is left.
TEST_F(GameTest, RenderTargetsTheMenuDoesNotUseComeWhenTheMenuIsLeft) {
  Game& game = Start(1280, 1024);
  const char* menuTargets[] = {"rt_icon_compositor", "rt_icon_compositor2"};
  const char* laterTargets[] = {"rt_offscreen1", "rt_offscreen2",       "rt_distortion", "rt_lightmap",
                                "rt_selection",  "rt_minimap_backdrop", "rt_transition"};
  for (const char* name : menuTargets) EXPECT_TRUE(GetRenderDevice().HasTexture(name)) << name;
  for (const char* name : laterTargets) EXPECT_FALSE(GetRenderDevice().HasTexture(name)) << name;
  // The shared table does not go looking for the later targets among the texture files.
  const std::string drawLog = ft::ReadText(Root() + "/debug/drawdebug.txt");
  EXPECT_NE(drawLog.find("Initialising Render target"), std::string::npos) << "not the device's log";
  EXPECT_EQ(drawLog.find("Failed to create texture"), std::string::npos) << drawLog;

  game.SetGameMode(MODE_MAIN_MENU);  // the menu again: still not needed
  for (const char* name : laterTargets) EXPECT_FALSE(GetRenderDevice().HasTexture(name)) << name;

  game.SetGameMode(MODE_OPTIONS);
  for (const char* name : menuTargets) EXPECT_TRUE(GetRenderDevice().HasTexture(name)) << name;
  for (const char* name : laterTargets) EXPECT_TRUE(GetRenderDevice().HasTexture(name)) << name;
  EXPECT_NE(DebugText().find("\nCreating the render targets the main menu does not use\n"),
            std::string::npos);
  // ...and hands them out once they are made.
  for (int index : {SHARED_RT_LIGHTMAP, SHARED_RT_OFFSCREEN1, SHARED_RT_MINIMAP_BACKDROP}) {
    const CLoadedTexture* shared = GetSharedGUITextures().Get(index);
    ASSERT_NE(shared, nullptr) << GUI_SharedTextures::Name(index);
    EXPECT_NE(shared->Texture(), nullptr) << GUI_SharedTextures::Name(index);
    EXPECT_EQ(shared->Texture(), FindTexture(GUI_SharedTextures::Name(index)));
  }
  // Made once: back to the menu and out again creates no duplicate.
  game.SetGameMode(MODE_MAIN_MENU);
  game.SetGameMode(MODE_OPTIONS);
  EXPECT_EQ(ErrorsText().find("duplicate name"), std::string::npos);
}

// The shared frames and battle pictures are not read before the first frame is on screen:
// a window drawn before then loads its frame as it draws, and the rest come right after.
TEST_F(GameTest, SharedTexturesComeWhenFirstDrawnAndTheRestAfterTheFirstFrame) {
  Game& game = Start(1280, 1024);
  D3DEngine& d3d = GetRenderDevice();
  for (int i = 0; i < SHARED_TEXTURE_COUNT; ++i)
    EXPECT_FALSE(d3d.HasTexture(GUI_SharedTextures::Name(i))) << GUI_SharedTextures::Name(i);

  GUI_Message* box = ShowMessage("T", "Loading.", GUI_Message::kStyleClose, nullptr);
  ASSERT_NE(box, nullptr);
  Device()->ClearRecord();
  box->Draw();
  GetGlobalVertexBuffer().Flush();
  ASSERT_TRUE(d3d.HasTexture("dialog_client.dds")) << "the box's frame was not loaded as it was drawn";
  const platform::Texture* frame = FindTexture("dialog_client.dds");
  ASSERT_NE(frame, nullptr);
  int framed = 0;
  for (const auto& d : Device()->draws) framed += d.textures[0] == frame;
  EXPECT_GT(framed, 0) << "the box drew without its frame";
  delete box;

  game.Frame();
  for (int i = 0; i < SHARED_TEXTURE_COUNT; ++i) {
    const std::string name = GUI_SharedTextures::Name(i);
    if (name.rfind("rt_", 0) == 0) continue;  // the game makes those as the menu is left
    EXPECT_TRUE(d3d.HasTexture(name.c_str())) << name << " was not loaded after the first frame";
    const CLoadedTexture* entry = GetSharedGUITextures().Get(i);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_EQ(entry->Texture(), FindTexture(name)) << name;
  }
  EXPECT_EQ(ErrorsText().find("Failed to create texture"), std::string::npos) << ErrorsText();
}

// The start-up menu opens with a fade: the first wipe away from it (pressed before any
// other screen made the later targets) brings the target it copies the screen into.
TEST_F(GameTest, TheFirstWipeFromTheStartUpMenuMakesTheTargetItCopiesInto) {
  Game& game = Start(1280, 1024);
  ASSERT_FALSE(GetRenderDevice().HasTexture("rt_transition"));
  SIM_Options::Get().SetFloat("TRANSITIONS", 1.0f);
  GetTransition().Start();
  const GTexture9* copy = GetRenderDevice().FindNamedTexture("rt_transition");
  ASSERT_NE(copy, nullptr) << "the wipe has nothing to copy the screen into";
  EXPECT_EQ(copy->Width(), game.RenderTargetWidth);
  EXPECT_EQ(copy->Height(), game.RenderTargetHeight);
  EXPECT_TRUE(GetTransition().IsRunning());
  EXPECT_EQ(ErrorsText().find("Failed copying transition buffer"), std::string::npos) << ErrorsText();
}

TEST_F(GameTest, RenderTargetSizesRoundToPowersOfTwo) {
  struct SizeCase {
    int screen, target;
  };
  for (const SizeCase& c :
       {SizeCase{1, 512}, SizeCase{512, 512}, SizeCase{513, 1024}, SizeCase{1024, 1024}, SizeCase{1025, 2048},
        SizeCase{2048, 2048}, SizeCase{2049, 4096}, SizeCase{7680, 4096}}) {
    EXPECT_EQ(Game::RenderTargetSize(c.screen), c.target) << c.screen;
  }
}

TEST_F(GameTest, ExistingPrefsAreUsedAndKept) {
  EnsureDirectoryExists(Root());
  const std::string prefs = "[prefs]\r\nwidth = 800\r\nheight = 600\r\nwindowed = 1\r\n";
  ft::WriteText(Root() + "/prefs.ini", prefs);
  Game& game = Start(1920, 1080);
  EXPECT_EQ(game.RenderTargetWidth, 800);
  EXPECT_EQ(game.RenderTargetHeight, 600);
  EXPECT_TRUE(GetRenderDevice().Windowed());
  EXPECT_EQ(ft::ReadText(Root() + "/prefs.ini"), prefs);
}

// A prefs.ini that cannot work must not block every later start.
class BadPrefs : public GameTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadPrefs, FallBackToDesktopAndRepairFile) {
  EnsureDirectoryExists(Root());
  ft::WriteText(Root() + "/prefs.ini", GetParam());
  Game& game = Start(1920, 1080);
  EXPECT_EQ(game.RenderTargetWidth, 1920);
  EXPECT_EQ(game.RenderTargetHeight, 1080);
  DisplayPrefs prefs;
  ASSERT_TRUE(game.ReadPrefs(prefs, 1, 1));
  EXPECT_EQ(prefs.width, 1920);
  EXPECT_EQ(prefs.height, 1080);
  // A file without its [prefs] section is damaged: kept aside, not overwritten.
  if (std::string(GetParam()).rfind("[prefs]", 0) != 0) {
    EXPECT_EQ(ft::ReadText(Root() + "/prefs.ini.damaged"), GetParam());
    EXPECT_NE(ErrorsText().find("prefs.ini is damaged"), std::string::npos);
  } else {
    EXPECT_NE(ErrorsText().find("unusable display size"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BadPrefs,
                         ::testing::Values("", "garbage\n\x01\x02",
                                           "[prefs]\nwidth = 0\nheight = 0\nwindowed = 1\n",
                                           "[prefs]\nwidth = wide\nheight = tall\n",
                                           "[prefs]\nwidth = 99999999999\nheight = -5\n"));

// Graphics detail at or below one half swaps in the low-detail texture files. The
// shipped list swaps nothing yet, so the game runs here on a data folder whose list
// names one replacement.
struct DetailCase {
  float detail;
  bool lowDetail;
};

class LowDetailAliases : public GameTest, public ::testing::WithParamInterface<DetailCase> {};

TEST_P(LowDetailAliases, LoadOnlyUpToHalfDetail) {
  const std::string cwd = zt_test::UserDir() + "/run";
  const std::string data = cwd + "/data";
  EnsureDirectoryExists(data + "/performancedata");
  for (const std::string& name : ListFiles(zt_test::BuildDir() + "/data/*.*", false)) {
    if (name == "performancedata") continue;
    ASSERT_EQ(::symlink((zt_test::BuildDir() + "/data/" + name).c_str(), (data + "/" + name).c_str()), 0);
  }
  ft::WriteText(data + "/performancedata/low.txt", "[textures]\nbutton.dds,button_small.dds\n");
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
  SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", GetParam().detail);
  Start();
  const std::string file = TextureFileFor("button.dds");
  ClearTextureAliases();
  ASSERT_EQ(::chdir(zt_test::BuildDir().c_str()), 0);
  EXPECT_EQ(file, GetParam().lowDetail ? "button_small.dds" : "button.dds");
}

INSTANTIATE_TEST_SUITE_P(Details, LowDetailAliases,
                         ::testing::Values(DetailCase{0.0f, true}, DetailCase{0.5f, true},
                                           DetailCase{0.51f, false}, DetailCase{1.0f, false}));

TEST_F(GameTest, TrigTablesHoldWholeDegrees) {
  BuildTrigTables();
  EXPECT_FLOAT_EQ(SinTable[0], 0.0f);
  EXPECT_FLOAT_EQ(SinTable[90], 1.0f);
  EXPECT_NEAR(SinTable[30], 0.5f, 1e-6f);
  EXPECT_FLOAT_EQ(CosTable[0], 1.0f);
  EXPECT_NEAR(CosTable[180], -1.0f, 1e-6f);
  EXPECT_NEAR(SinTable[359], -0.0174524f, 1e-6f);
}

int QuitMessages() {
  int quits = 0;
  platform::Message m;
  while (platform::PollMessage(m)) quits += m.message == platform::WM_QUIT;
  return quits;
}

TEST_F(GameTest, ShutdownTwiceReleasesOnce) {
  Game& game = Start();
  game.Shutdown();
  game.Shutdown();
  EXPECT_TRUE(game.IsShutDown());
  EXPECT_FALSE(Game::IsActive);
  EXPECT_EQ(Mode().Count("Leave"), 1);
  EXPECT_EQ(GetRenderDevice().Device(), nullptr);
  EXPECT_EQ(QuitMessages(), 1);
  EXPECT_TRUE(FileExists(Root() + "/stat.ini"));
  const std::string debug = DebugText();
  // The mode leaves while the log is still open, and the log closes exactly once, last.
  const size_t leave = debug.find("recording mode leaves\n");
  const size_t end = debug.find("END DEBUG---\n");
  ASSERT_NE(leave, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(leave, end);
  EXPECT_EQ(end + std::string("END DEBUG---\n").size(), debug.size());
}

}  // namespace
