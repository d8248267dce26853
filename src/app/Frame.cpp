// The message loop, the frame and the window procedure.
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "app/CInput.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/GameHooks.h"
#include "app/GameModes.h"
#include "app/Sounds.h"
#include "app/SteamGlue.h"
#include "battle/Battle.h"
#include "battle/BattleUnitManager.h"
#include "engine/CommandLine.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/MainWindow.h"
#include "engine/PerfGraph.h"
#include "engine/ShaderEffects.h"
#include "engine/Shell.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/Cursor.h"
#include "gui/SharedTextures.h"
#include "platform/NullDevice.h"
#include "platform/Window.h"

namespace {
// Start-up touches tens of megabytes once: decoded pictures, and the driver's copies of
// every texture and target it makes. Page by page, the faults on fresh memory cost more
// than the work itself, so until the first frame the heap serves even large blocks (a
// freed one is reused, not handed back and faulted in again) from a stretch marked for
// huge pages.
constexpr size_t kStartupHeapReserve = size_t(256) << 20;
constexpr uintptr_t kHugePage = uintptr_t(2) << 20;

void PrepareStartupHeap() {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  mallopt(M_TOP_PAD, static_cast<int>(kStartupHeapReserve));
  const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
  // One allocation beyond what the heap holds grows it by the reserve (address space only);
  // volatile, so the pair is not optimised away.
  void* volatile grow = malloc(size_t(1) << 20);
  free(grow);
  const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
  const uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1), to = after & ~(kHugePage - 1);
  if (before != uintptr_t(-1) && to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// Back to the allocator's usual sizes once the first frame is on screen.
void EndStartupHeap() {
  mallopt(M_TOP_PAD, 128 << 10);
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
}

bool g_restartAfterExit = false;

// Every frame the cursor returns to the arrow; hovered buttons ask for the hand.
void ResetCursorChoice() { GUI_Cursor::ResetShape(); }
// The window procedure applies the cursor chosen this frame.
void ApplyCursorChoice() { GUI_Cursor::ApplySystemCursor(); }

void RebuildDeviceResources(Game& game) {
  DebugLog("Rebuilding directx resources");
  D3DEngine& d3d = GetRenderDevice();
  const GameLayerHooks& hooks = GetGameLayerHooks();
  if (hooks.deleteOpenDeploymentWindow && hooks.deleteOpenDeploymentWindow())
    d3d.DeleteTexture("rt_depicons");
  game.CreateRenderTargets();
  CallGameLayerHook(hooks.rebuildInfantryComposites);
  RelinkTextures();
  ReleaseAllEffects();
  ReloadAllEffects();
  game.LoadFonts();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Init(5000);
  vb.Create();
  CallGameLayerHook(hooks.battleScreenDeviceRebuilt);
}
// Without a graphics device the game draws on the null device, which keeps a record
// of every call and draw for tests. A running game never reads it, and left alone it
// grows by megabytes a second, so the loop drops it after every frame.
void ForgetNullDeviceRecord() {
  if (auto* null = dynamic_cast<platform::NullDevice*>(GetRenderDevice().Device())) null->ClearRecord();
}

}  // namespace

void Game::Frame() {
  D3DEngine& d3d = GetRenderDevice();
  const platform::HRESULT level = d3d.TestCooperativeLevel();
  if (level == platform::D3DERR_DEVICENOTRESET) {
    if (!d3d.RestoreDevice()) {
      platform::SleepMilliseconds(50);
      return;
    }
    RebuildDeviceResources(*this);
  } else if (level != platform::D3D_OK) {
    // Lost, or any other failure: wait for the device to come back.
    platform::SleepMilliseconds(50);
    return;
  }

  const std::uint64_t nowMs = ClockMilliseconds();
  if (SkipIdleFrame(nowMs)) {
    if (SoundsExist()) GetSounds().Update();
    // Rest until the next frame is due; input wakes the loop at once (and makes the
    // frames after it run at full rate).
    const std::uint64_t due = IdleFrameDueMs();
    platform::WaitForMessage(static_cast<unsigned>(due > nowMs ? due - nowMs : 1));
    return;
  }

  if (steamStarted_) GetSteamData().RunCallbacks();
  CallGameLayerHook(GetGameLayerHooks().pollEndOfBattleWorkers);
  // The start-up online update ends here whatever the screen: a developer's editor opened
  // over the main menu would otherwise keep its please-wait box for good.
  CallGameLayerHook(GetGameLayerHooks().showPatchFound);
  GetInputManager().Poll();
  ResetCursorChoice();
  if (!IsActive) {
    Shutdown();
    return;
  }
  if (SoundsExist()) GetSounds().Update();

  if (CurrentMode) CurrentMode->Process();
  // A Quit pressed during Process has already released the device and closed the
  // logs: nothing is drawn with them any more.
  if (shutDown_) return;
  DrawFrame();
  ++framesDrawn_;
  LogBattlePace(ClockMilliseconds());
  if (framesDrawn_ == 1) {
    DebugLog("First frame presented");
    DebugLogF("Start-up to the first frame: %llu ms",
              static_cast<unsigned long long>(ClockMilliseconds() - initStartMs_));
    // The processor time and fresh pages it took: figures a busy machine skews less than
    // the wall clock.
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
      const long cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
      DebugLogF("Start-up CPU: %ld ms, page faults: %ld", cpuMs, usage.ru_minflt + usage.ru_majflt);
    }
    // What the first frame did not need is read now that it is on screen.
    GetSharedGUITextures().LoadRest();
    // Loading the menu's art decoded files in large temporary buffers; give the freed
    // pages back instead of keeping them resident for the whole session.
    EndStartupHeap();
    malloc_trim(0);
  }
  // Other screens give the processor a moment between frames; a running battle does not
  // wait for anything but the display (its clock moves one step a frame).
  if (!BattleRunning()) platform::SleepMilliseconds(1);
}

void Game::DrawFrame() {
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetClearEachFrame(!(CurrentMode && CurrentMode->CoversWholeScreen()));
  d3d.BeginScene();
  // Process may have switched modes: the new mode draws.
  if (CurrentMode) CurrentMode->Draw();
  // The developer's frame-time overlay: it always measures, and shows while profiling.
  PerfGraph& graph = GetPerfGraph();
  graph.Tick();
  if (graph.enabled) graph.Draw();
  d3d.EndScene();
  d3d.Flip();
}

bool Game::BattleRunning() { return BattleExists() && GetBattle().state == BATTLE_RUNNING; }

void Game::LogBattlePace(std::uint64_t nowMs) {
  if (!BattleRunning()) {
    lastPaceLogMs_ = 0;
    return;
  }
  if (lastPaceLogMs_ != 0 && nowMs < lastPaceLogMs_ + kPaceLogIntervalMs) return;
  lastPaceLogMs_ = nowMs;
  DebugLogF("Battle pace: clock %.0f ms, %lld frames presented, %zu units", GetBattle().battleClock,
            framesDrawn_, GetBattleUnitManager().allUnits.size());
}

void Game::NoteActivity() { lastMessageMs_ = ClockMilliseconds(); }

std::uint64_t Game::IdleFrameDueMs() const {
  const int interval = CurrentMode ? CurrentMode->IdleFrameIntervalMs() : 0;
  return lastFrameMs_ + static_cast<std::uint64_t>(std::max(0, interval));
}

bool Game::SkipIdleFrame(std::uint64_t nowMs) {
  const int interval = CurrentMode ? CurrentMode->IdleFrameIntervalMs() : 0;
  const bool idle = interval > 0 && nowMs >= lastMessageMs_ + kIdleAfterMs;
  if (idle && lastFrameMs_ != 0 && nowMs < lastFrameMs_ + std::uint64_t(interval)) return true;
  lastFrameMs_ = nowMs;
  return false;
}

void Game::Screenshot() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  GetRenderDevice().RequestScreenshot(FormatScreenshotPath(UserFolder[USERFOLDER_ROOT], local));
}

void MainWindowProc(const platform::Message& message) {
  Game& game = GetGame();
  GUI_InputManager& input = GetInputManager();
  game.NoteActivity();
  switch (message.message) {
    case platform::WM_DESTROY:
      DebuggerOutput("WM_DESTROY");
      platform::PostQuitMessage(0);
      game.Shutdown();
      break;
    case platform::WM_ACTIVATEAPP:
      DebugLog(message.wParam == 1 || message.wParam == 2 ? "Window activated" : "Window deactivated");
      OnWindowActivation(message.wParam == 1 || message.wParam == 2);
      break;
    case platform::WM_SETCURSOR:
      ApplyCursorChoice();
      break;
    case platform::WM_KEYDOWN:
      input.OnKeyDown(static_cast<int>(message.wParam));
      break;
    case platform::WM_KEYUP:
      // PrintScreen reports only its release; it takes the screenshot.
      if (message.wParam == 44) input.OnKeyDown(44);
      break;
    case platform::WM_CHAR:
      input.OnChar(static_cast<int>(message.wParam));
      break;
    case platform::WM_LBUTTONDOWN:
    case platform::WM_LBUTTONUP:
    case platform::WM_LBUTTONDBLCLK:
    case platform::WM_RBUTTONDOWN:
    case platform::WM_RBUTTONUP:
    case platform::WM_MBUTTONDOWN:
    case platform::WM_MBUTTONUP:
    case platform::WM_MOUSEWHEEL:
      // Routed where the button was pressed, not where the frame last polled the cursor.
      DispatchMouseMessage(message.message, input, static_cast<long>(message.wParam), message.x, message.y);
      break;
    default:
      break;
  }
}

int RunGame(int argc, char** argv) {
  PrepareStartupHeap();
  RegisterGameServices();
  SetProgramArguments(argc, argv);
  GetCommandLine().Parse(JoinCommandLine(argc, argv));
  Game& game = GetGame();
  Game::IsActive = game.Init();
  Game::HasFocus = true;
  if (!Game::IsActive) return 0;
  OpenDeveloperModeFromCommandLine();

  int exitCode = 0;
  for (;;) {
    platform::Message message;
    if (platform::PollMessage(message)) {
      if (message.message == platform::WM_QUIT) {
        exitCode = static_cast<int>(message.wParam);
        break;
      }
      MainWindowProc(message);
    } else if (Game::IsActive) {
      game.Frame();
      ForgetNullDeviceRecord();
    } else {
      platform::SleepMilliseconds(1);
    }
  }
  // Quit without the window going first (Escape on the main menu): still shut down.
  game.Shutdown();
  if (game.MainWindow) DestroyMainWindow(game.MainWindow);
  game.MainWindow = nullptr;
  platform::ShutdownVideo();
  return exitCode;
}

int FinishGameProcess(int exitCode) {
  // The process-wide objects go now, newest first, each before what it depends on; left
  // to the C++ runtime at exit they would go in the order they were first asked for, an
  // owner after the lists its objects leave as they go.
  ResetAllSingletons();
  if (g_restartAfterExit) {
    g_restartAfterExit = false;
    // Only returns when the new start failed; the log is closed by now.
    if (!RestartGame())
      std::fprintf(stderr, "The game could not start again; start it by hand to use the new display\n");
  }
  return exitCode;
}

void RequestRestartAfterExit() { g_restartAfterExit = true; }
