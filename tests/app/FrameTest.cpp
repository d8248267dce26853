// The frame on the null device, the window procedure and the message loop.
#include <chrono>
#include <thread>

#include "GameFixture.h"
#include "app/GameHooks.h"
#include "app/GameModes.h"
#include "battle/Battle.h"
#include "battlehud/BattleHud.h"
#include "battlescreen/DeviceResetSeam.h"
#include "effects/GUI_EE_Editor.h"
#include "engine/CommandLine.h"
#include "engine/Folders.h"
#include "engine/PerfGraph.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/Cursor.h"
#include "platform/Window.h"

namespace {

using ft::GameTest;

struct SkippedFrameCase {
  const char* name;
  platform::HRESULT level;
};

class SkippedFrame : public GameTest, public ::testing::WithParamInterface<SkippedFrameCase> {};

// A device that stays lost (or fails otherwise) gets no Process, Draw or present at all.
TEST_P(SkippedFrame, NothingRunsUntilTheDeviceIsBack) {
  Game& game = Start();
  platform::NullDevice* device = Device();
  ASSERT_NE(device, nullptr);
  device->cooperativeLevel = GetParam().level;
  const int presentsBefore = device->presents;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) game.Frame();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(Mode().calls.empty());
  EXPECT_EQ(device->presents, presentsBefore);
  EXPECT_EQ(device->resets, 0);
  EXPECT_GE(waited, std::chrono::milliseconds(150));  // 50 ms per skipped frame

  device->cooperativeLevel = platform::D3D_OK;
  game.Frame();
  EXPECT_EQ(Mode().calls, (std::vector<std::string>{"Process", "Draw"}));
  EXPECT_EQ(device->presents, presentsBefore + 1);
}

INSTANTIATE_TEST_SUITE_P(Levels, SkippedFrame,
                         ::testing::Values(SkippedFrameCase{"Lost", platform::D3DERR_DEVICELOST},
                                           SkippedFrameCase{"DriverError",
                                                            platform::D3DERR_DRIVERINTERNALERROR}),
                         [](const auto& info) { return std::string(info.param.name); });

class CountedDeployment : public GUI_BS_Deployment {
 public:
  explicit CountedDeployment(int* deleted) : GUI_BS_Deployment(kEmpty), deleted_(deleted) {}
  ~CountedDeployment() override { ++*deleted_; }

 private:
  int* deleted_;
};

TEST_F(GameTest, ResetRebuildsDeviceResourcesThenTheFrameGoesOn) {
  Game& game = Start();
  platform::NullDevice* device = Device();
  ASSERT_NE(device, nullptr);
  int deploymentsDeleted = 0;
  SetOpenDeploymentWindow(new CountedDeployment(&deploymentsDeleted));
  GetRenderDevice().CreateRenderTarget("rt_depicons", 256, 256, platform::Format::A8R8G8B8);
  device->cooperativeLevel = platform::D3DERR_DEVICENOTRESET;

  game.Frame();

  EXPECT_EQ(device->resets, 1);
  EXPECT_EQ(deploymentsDeleted, 1);
  EXPECT_EQ(GetOpenDeploymentWindow(), nullptr);
  EXPECT_FALSE(GetRenderDevice().HasTexture("rt_depicons"));
  for (const char* name : {"rt_offscreen1", "rt_transition", "rt_minimap_backdrop"})
    EXPECT_TRUE(GetRenderDevice().HasTexture(name)) << name;
  EXPECT_EQ(InfantryCompositeRebuilds(), 1);
  EXPECT_TRUE(BattleScreenDeviceRebuiltFlag());
  EXPECT_TRUE(GetGlobalVertexBuffer().IsCreated());
  EXPECT_EQ(GetGlobalVertexBuffer().Capacity(), 5000);
  EXPECT_NE(DebugText().find("\nRebuilding directx resources\n"), std::string::npos);
  EXPECT_EQ(Mode().calls, (std::vector<std::string>{"Process", "Draw"}));

  // Back to normal: the next frame rebuilds nothing.
  game.Frame();
  EXPECT_EQ(device->resets, 1);
  EXPECT_EQ(InfantryCompositeRebuilds(), 1);
}

TEST_F(GameTest, FailedResetSkipsTheFrame) {
  Game& game = Start();
  platform::NullDevice* device = Device();
  ASSERT_NE(device, nullptr);
  device->cooperativeLevel = platform::D3DERR_DEVICENOTRESET;
  device->failReset = platform::D3DERR_DEVICELOST;
  game.Frame();
  EXPECT_TRUE(Mode().calls.empty());
  EXPECT_FALSE(BattleScreenDeviceRebuiltFlag());
  EXPECT_EQ(InfantryCompositeRebuilds(), 0);
}

TEST_F(GameTest, FrameShutsDownOnceTheActiveFlagIsCleared) {
  Game& game = Start();
  Game::IsActive = false;
  game.Frame();
  EXPECT_TRUE(game.IsShutDown());
  EXPECT_EQ(Mode().calls, std::vector<std::string>{"Leave"});
}

// The start-up online update is ended by the frame whatever the screen, so an editor
// opened over the main menu never keeps its please-wait box.
TEST_F(GameTest, EveryFrameEndsTheStartUpUpdateWhateverTheScreen) {
  static int polls = 0;
  polls = 0;
  GameLayerHooks& hooks = GetGameLayerHooks();
  void (*const wired)() = hooks.showPatchFound;
  hooks.showPatchFound = [] { ++polls; };
  Game& game = Start();
  for (int i = 0; i < 3; ++i) game.Frame();
  hooks.showPatchFound = wired;
  // The fixture's main menu is a recording stand-in: every poll came from the frame.
  EXPECT_EQ(polls, 3);
}

// Every frame measures its time for the developer's overlay; the graph is drawn
// over the mode only while profiling is switched on.
TEST_F(GameTest, FrameFeedsThePerformanceGraphAndShowsItWhenEnabled) {
  Game& game = Start();
  platform::NullDevice* device = Device();
  ASSERT_NE(device, nullptr);
  for (bool enabled : {false, true}) {
    SCOPED_TRACE(enabled ? "enabled" : "disabled");
    GetPerfGraph().enabled = enabled;
    device->ClearRecord();
    game.Frame();
    int graphBars = 0;
    for (const platform::DrawRecord& d : device->draws)
      graphBars += d.type == platform::PrimitiveType::LineList && d.vertexCount == 2 * PerfGraph::kHistory;
    EXPECT_EQ(graphBars, enabled ? 1 : 0);
  }
  EXPECT_GT(GetPerfGraph().History()[PerfGraph::kHistory - 1], 0.0f);
}

// While a battle runs, the frame notes its pace in the debug log (the battle clock, the
// frames presented, the units) at once and then every five seconds of the clock, which is
// what the in-game measurements read; outside a running battle it writes none.
std::int64_t g_paceNowNs = 0;
std::int64_t PaceNow() { return g_paceNowNs; }

size_t CountPaceLines(const std::string& text) {
  size_t n = 0;
  for (size_t at = text.find("Battle pace: "); at != std::string::npos;
       at = text.find("Battle pace: ", at + 1))
    ++n;
  return n;
}

TEST_F(GameTest, ARunningBattleLogsItsPaceEveryFiveSeconds) {
  Game& game = Start();
  g_paceNowNs = 100'000'000'000;
  SetClockSource(PaceNow);
  struct Case {
    const char* what;
    BattleState state;
    int frames;
    size_t lines;
  } cases[] = {
      {"deploying: none", BATTLE_DEPLOYMENT, 12, 0},
      {"running 12 s a frame a second: at 0, 5 and 10 s", BATTLE_RUNNING, 12, 3},
      {"over: none", BATTLE_OVER, 12, 0},
      {"running again: a line at once", BATTLE_RUNNING, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetBattle().state = c.state;
    GetBattle().battleClock = 4321.0f;
    const size_t before = CountPaceLines(DebugText());
    for (int i = 0; i < c.frames; ++i) {
      game.Frame();
      g_paceNowNs += 1'000'000'000;
    }
    const std::string debug = DebugText();
    EXPECT_EQ(CountPaceLines(debug) - before, c.lines);
    if (c.lines > 0) {
      EXPECT_NE(debug.find("Battle pace: clock 4321 ms, "), std::string::npos)
          << debug.substr(debug.size() > 400 ? debug.size() - 400 : 0);
    }
  }
  GetBattle().state = BATTLE_DEPLOYMENT;
  SetClockSource(nullptr);
}

// A battle steps once per drawn frame, so its screen is never held to an idle rate: long
// after the last input every frame still draws, and the loop never rests between them.
int g_battleWaits = 0;
bool CountBattleWait(unsigned) {
  ++g_battleWaits;
  return false;
}
int g_battleSleeps = 0;
void CountBattleSleep(unsigned) { ++g_battleSleeps; }

TEST_F(GameTest, ABattleDrawsEveryFrameHoweverLongNobodyTouchesIt) {
  Game& game = Start();
  g_paceNowNs = 100'000'000'000;
  SetClockSource(PaceNow);
  g_battleWaits = 0;
  platform::SetMessageWaitHook(CountBattleWait);
  g_battleSleeps = 0;
  platform::SetSleepHook(CountBattleSleep);
  // Outside a battle the loop rests a moment after each frame.
  game.NoteActivity();
  game.Frame();
  EXPECT_EQ(g_battleSleeps, 1) << "a menu frame rests after it is drawn";
  g_battleSleeps = 0;
  GetBattle().state = BATTLE_RUNNING;
  game.NoteActivity();
  platform::NullDevice* device = Device();
  ASSERT_NE(device, nullptr);
  const int before = device->presents;
  const int processedBefore = Mode().Count("Process");
  const int frames = static_cast<int>((Game::kIdleAfterMs + 10'000) / 16);
  for (int i = 0; i < frames; ++i) {
    game.Frame();
    g_paceNowNs += 16'000'000;
  }
  EXPECT_EQ(device->presents - before, frames);
  EXPECT_EQ(Mode().Count("Process") - processedBefore, frames);
  EXPECT_EQ(g_battleWaits, 0);
  EXPECT_EQ(g_battleSleeps, 0) << "a running battle never sleeps between frames";
  GetBattle().state = BATTLE_DEPLOYMENT;
  platform::SetMessageWaitHook(nullptr);
  platform::SetSleepHook(nullptr);
  SetClockSource(nullptr);
}

// The main menu's Quit shuts the game down inside Process: the rest of that frame
// must not draw on the released device or write to the closed logs.
TEST_F(GameTest, QuitDuringProcessEndsTheFrameBeforeDrawing) {
  Game& game = Start();
  Mode().onProcess = [] { GetGame().Shutdown(); };
  const std::string errorsBefore = ErrorsText();
  game.Frame();
  EXPECT_TRUE(game.IsShutDown());
  EXPECT_EQ(Mode().calls, (std::vector<std::string>{"Process", "Leave"}));
  EXPECT_EQ(ErrorsText(), errorsBefore);
  const std::string debug = DebugText();
  EXPECT_EQ(debug.size() - debug.rfind("END DEBUG---\n"), std::string("END DEBUG---\n").size());
}

struct ActivationCase {
  int64_t wParam;
  bool active;
};

TEST_F(GameTest, ActivationMessagesSetActiveAndFocus) {
  Start();
  for (const ActivationCase& c : {ActivationCase{0, false}, ActivationCase{1, true}, ActivationCase{0, false},
                                  ActivationCase{2, true}}) {
    platform::Message m;
    m.message = platform::WM_ACTIVATEAPP;
    m.wParam = c.wParam;
    MainWindowProc(m);
    EXPECT_EQ(Game::IsActive.load(), c.active) << c.wParam;
    EXPECT_EQ(Game::HasFocus.load(), c.active) << c.wParam;
  }
}

TEST_F(GameTest, WindowMessagesReachTheCurrentMode) {
  Start();
  struct Case {
    uint32_t message;
    int64_t wParam;
    const char* call;  // "" when the mode must see nothing
  };
  const int64_t wheelUp = static_cast<int32_t>(120u << 16);
  const int64_t wheelDown = static_cast<int32_t>(static_cast<uint32_t>(-120) << 16);
  const Case cases[] = {
      {platform::WM_KEYDOWN, 65, "Key 65"},
      {platform::WM_KEYUP, 65, ""},
      {platform::WM_CHAR, 0xA3, "Char 163"},
      {platform::WM_LBUTTONDOWN, 0, "LeftDown"},
      {platform::WM_LBUTTONUP, 0, ""},
      {platform::WM_LBUTTONDBLCLK, 0, "LeftDown"},
      {platform::WM_RBUTTONDOWN, 0, "RightDown"},
      {platform::WM_MBUTTONDOWN, 0, ""},
      {platform::WM_MOUSEWHEEL, wheelUp, "WheelUp"},
      {platform::WM_MOUSEWHEEL, wheelDown, "WheelDown"},
      {platform::WM_MOUSEWHEEL, 0, "WheelDown"},
  };
  for (const Case& c : cases) {
    Mode().calls.clear();
    platform::Message m;
    m.message = c.message;
    m.wParam = c.wParam;
    MainWindowProc(m);
    const std::vector<std::string> expected =
        *c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{};
    EXPECT_EQ(Mode().calls, expected) << "message " << c.message << " wParam " << c.wParam;
  }
}

// PrintScreen reports only its release; the picture is the next presented frame.
TEST_F(GameTest, PrintScreenReleaseSavesTheNextFrame) {
  Game& game = Start();
  platform::Message up;
  up.message = platform::WM_KEYUP;
  up.wParam = 44;
  MainWindowProc(up);
  EXPECT_TRUE(Mode().calls.empty());
  EXPECT_TRUE(GetRenderDevice().ScreenshotRequested());
  EXPECT_TRUE(ListFiles(Root() + "/screenshots/*.bmp").empty());
  game.Frame();
  EXPECT_FALSE(GetRenderDevice().ScreenshotRequested());
  const std::vector<std::string> shots = ListFiles(Root() + "/screenshots/*.bmp");
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_EQ(shots[0].rfind("screenshot_", 0), 0u);
}

TEST_F(GameTest, DestroyShutsDownAndPostsQuit) {
  Game& game = Start();
  platform::Message destroy;
  destroy.message = platform::WM_DESTROY;
  MainWindowProc(destroy);
  MainWindowProc(destroy);  // a second destroy changes nothing
  EXPECT_TRUE(game.IsShutDown());
  EXPECT_EQ(Mode().Count("Leave"), 1);
  platform::Message m;
  ASSERT_TRUE(platform::PollMessage(m));
  EXPECT_EQ(m.message, platform::WM_QUIT);
  EXPECT_EQ(m.wParam, 0);
}

// The whole road: start, frames, window closed, exit code 0, log closed.
TEST_F(GameTest, RunGameRunsFramesUntilTheWindowCloses) {
  static int processed = 0;
  processed = 0;
  SetGameModeFactory(MODE_MAIN_MENU, [] {
    auto* mode = new ft::RecordingMode;
    mode->onProcess = [] {
      if (++processed == 3) {
        platform::Message close;
        close.message = platform::WM_DESTROY;
        platform::PostMessage(close);
      }
    };
    return static_cast<GUI_GameModeBase*>(mode);
  });
  char name[] = "zentrak";
  char words[] = "-skipintro,level2";
  char* argv[] = {name, words, nullptr};
  EXPECT_EQ(RunGame(2, argv), 0);
  EXPECT_EQ(processed, 3);
  EXPECT_EQ(GetCommandLine().FirstWord(), "-skipintro");
  EXPECT_EQ(GetCommandLine().Words(), std::vector<std::string>{"level2"});
  EXPECT_TRUE(FileExists(Root() + "/prefs.ini"));
  const std::string debug = DebugText();
  EXPECT_NE(debug.find("\nFirst frame presented\n"), std::string::npos);
  EXPECT_EQ(debug.size() - debug.rfind("END DEBUG---\n"), std::string("END DEBUG---\n").size());
}

// A headless game runs on the null device for hours; its record of calls and draws
// must not pile up frame after frame.
TEST_F(GameTest, RunningGameKeepsTheNullDeviceRecordToOneFrame) {
  static int processed = 0;
  static int presentsRecorded = -1;
  static int presentsMade = -1;
  processed = 0;
  SetGameModeFactory(MODE_MAIN_MENU, [] {
    auto* mode = new ft::RecordingMode;
    mode->onProcess = [] {
      if (++processed != 40) return;
      auto* device = dynamic_cast<platform::NullDevice*>(GetRenderDevice().Device());
      if (device) {
        presentsRecorded = device->CountCalls("Present");
        presentsMade = device->presents;
      }
      platform::Message close;
      close.message = platform::WM_DESTROY;
      platform::PostMessage(close);
    };
    return static_cast<GUI_GameModeBase*>(mode);
  });
  char name[] = "zentrak";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(RunGame(1, argv), 0);
  ASSERT_EQ(processed, 40);
  EXPECT_GE(presentsMade, 39);
  EXPECT_LE(presentsRecorded, 1);
}

TEST_F(GameTest, EveryFrameStartsWithTheArrowCursor) {
  Game& game = Start();
  GUI_Cursor::SetHandCursor();
  game.Frame();
  EXPECT_EQ(GUI_Cursor::Shape(), GUI_Cursor::kArrow);
}

// While the window is in the background the loop neither updates nor draws.
TEST_F(GameTest, InactiveWindowRunsNoFrames) {
  platform::Message inactive;
  inactive.message = platform::WM_ACTIVATEAPP;
  inactive.wParam = 0;
  platform::PostMessage(inactive);
  std::thread closer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    platform::Message close;
    close.message = platform::WM_DESTROY;
    platform::PostMessage(close);
  });
  char name[] = "zentrak";
  char* argv[] = {name, nullptr};
  const int code = RunGame(1, argv);
  closer.join();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Mode().Count("Process"), 0);
  EXPECT_EQ(Mode().Count("Draw"), 0);
  EXPECT_EQ(Mode().Count("Leave"), 1);
}

TEST_F(GameTest, EffectsEditorWordOpensTheEditorOnceTheMainMenuIsUp) {
  GetCommandLine().Parse("effectseditor");
  Game& game = Start();
  EXPECT_TRUE(OpenDeveloperModeFromCommandLine());
  EXPECT_EQ(game.CurrentModeNumber, MODE_EFFECTS_EDITOR);
  EXPECT_EQ(Mode().Count("Leave"), 1) << "the main menu came first";
  EXPECT_NE(EffectsEditorWindow(), nullptr);
  game.SetGameMode(MODE_MAIN_MENU);
  EXPECT_EQ(EffectsEditorWindow(), nullptr);
}

}  // namespace
