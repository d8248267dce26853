#pragma once
// The application object: the player's folders, the current game mode, version and
// display values, start-up, the frame and shutdown.
#include <atomic>
#include <cstdint>
#include <string>

#include "engine/Folders.h"
#include "engine/Sprites.h"

struct SDL_Window;
class GUI_GameModeBase;
namespace platform {
struct Message;
}

// Display preferences read from prefs.ini (validated: bad values fall back).
struct DisplayPrefs {
  int width = 0;
  int height = 0;
  bool windowed = false;
};

class Game {
 public:
  Game();
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  float MinScreenHeight = 768.0f;
  float MinScreenWidth = 1024.0f;
  // The user folder table (kept in the engine, beside the folder helpers).
  UserFolderTable& UserFolder = UserFolders();
  GUI_GameModeBase* CurrentMode = nullptr;
  int CurrentModeNumber = 10;  // 10: no mode yet
  // Makes mode n (0..9) current, building it on first request; the old mode's Leave
  // and the new mode's Enter run only when there was an old mode and it differs.
  void SetGameMode(int n);
  std::string VersionText = "Release 1.008";
  float VersionNumber = 1.008f;
  int RenderTargetWidth = 0;
  int RenderTargetHeight = 0;
  uint32_t TextColour = 0xFFE2B101;
  uint32_t DimTextColour = 0xFF787878;
  SDL_Window* MainWindow = nullptr;

  // True while the window is active and frames run.
  static std::atomic<bool> IsActive;
  // True from start-up and while the window has the focus (the battle map reads it).
  static std::atomic<bool> HasFocus;

  std::string GetVersionString() const { return VersionText; }

  // The start-up sequence; true when the game can run.
  bool Init();
  // Builds the user folder tree and the UserFolder table.
  void InitUserFolders();
  // Writes prefs.ini ("[prefs]", width, height, windowed); false (failed check) when it
  // cannot be written.
  bool WritePrefs(int width, int height, bool windowed);
  // Reads prefs.ini into prefs; false when the file is missing. Values that cannot work
  // (below 640 by 480, above 16384, or not numbers) fall back to the desktop size.
  bool ReadPrefs(DisplayPrefs& prefs, int desktopWidth, int desktopHeight);
  void InitDirect3D(int width, int height, bool windowed);
  // Creates the render targets that do not exist yet: every one, or with menuOnly those
  // the main menu draws into, the others then left for CreateDeferredRenderTargets.
  void CreateRenderTargets(bool menuOnly = false);
  // The targets start-up left out, when it left some out: called as the game leaves the
  // main menu for any other screen.
  void CreateDeferredRenderTargets();
  void LoadFonts();
  // One frame (see Frame.cpp).
  void Frame();
  // The drawing part of a frame: the current mode's picture, presented.
  void DrawFrame();
  // Requests a screenshot of the next presented frame.
  void Screenshot();
  // The orderly end; later calls do nothing.
  void Shutdown();
  bool IsShutDown() const { return shutDown_; }
  // Frames that reached the present since start-up.
  long long FramesDrawn() const { return framesDrawn_; }
  // While a battle runs, every kPaceLogIntervalMs the debug log notes the battle clock
  // beside the frames presented and the units, so the battle's pace against wall time
  // can be measured from outside (tools/perf/ingame.sh).
  void LogBattlePace(std::uint64_t nowMs);
  static constexpr std::uint64_t kPaceLogIntervalMs = 5000;
  static bool BattleRunning();
  // A message from the window (input, focus) or a change of mode: the next frames are
  // drawn at full rate.
  void NoteActivity();
  // Whether this frame is skipped: the mode is idle (no message for kIdleAfterMs) and
  // asks for fewer frames than the loop runs.
  bool SkipIdleFrame(std::uint64_t nowMs);
  // When the next idle frame is due (the clock of the last frame drawn plus the mode's
  // idle interval); the loop waits for input until then.
  std::uint64_t IdleFrameDueMs() const;
  static constexpr std::uint64_t kIdleAfterMs = 2000;

  // The size of the full-screen render targets for a screen size: the screen's own, or
  // where the device takes only powers of two, 512, 1024, 2048 or 4096.
  static int RenderTargetSize(int screenSize, bool powerOfTwo = true);
  // Sizes the full-screen render targets for a screen of width x height on the current
  // device and creates every render target.
  void CreateScreenTargets(int width, int height);
  // Only the sizes of CreateScreenTargets.
  void SizeScreenTargets(int width, int height);
  // The desktop size start-up works with (the primary display's, else 1280 by 1024).
  void GetDesktopSize(int& width, int& height) const;
  // Tests stand in for the display: a non-zero size replaces the desktop's.
  int DesktopWidthOverride = 0;
  int DesktopHeightOverride = 0;

 private:
  bool shutDown_ = false;
  bool steamStarted_ = false;
  long long framesDrawn_ = 0;
  std::uint64_t lastMessageMs_ = 0;  // the clock when the window last sent a message
  std::uint64_t lastFrameMs_ = 0;    // the clock when the last frame was drawn
  bool deferredTargetsPending_ = false;
  std::uint64_t lastPaceLogMs_ = 0;  // the clock of the last "Battle pace" line
  std::uint64_t initStartMs_ = 0;    // the clock when Init began
};

Game& GetGame();
bool GameExists();

// Fills the engine's sine and cosine tables (SinTable, CosTable in engine/Sprites.h).
void BuildTrigTables();

// The program entry (src/main.cpp calls it): parses the command line, starts the game
// and runs the message loop; returns the process exit code.
int RunGame(int argc, char** argv);
// The program's end (src/main.cpp calls it with RunGame's result): destroys every
// process-wide object in the order they depend on each other, then starts the program
// afresh when that was asked for; returns the exit code.
int FinishGameProcess(int exitCode);
// Asks FinishGameProcess to start the program afresh once this run has ended and all it
// built is gone (the options' Apply). The run ends by the shutdown that saves everything.
void RequestRestartAfterExit();
// Handles one window message the way the game's window procedure does.
void MainWindowProc(const platform::Message& message);
