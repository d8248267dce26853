#include "app/Game.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/CInput.h"
#include "app/GUI_GameModeBase.h"
#include "app/GameHooks.h"
#include "app/LoadingScreen.h"
#include "app/Sounds.h"
#include "app/SteamGlue.h"
#include "app/Tutorial.h"
#include "battle/BattleHooks.h"
#include "engine/CommandLine.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/MainWindow.h"
#include "engine/PlayerRecords.h"
#include "engine/Random.h"
#include "engine/Registry.h"
#include "engine/SettingsFile.h"
#include "engine/ShaderEffects.h"
#include "engine/Shell.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/SharedTextures.h"
#include "platform/Files.h"
#include "platform/Window.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "simdata/ModuleType.h"
#include "simdata/Options.h"

std::atomic<bool> Game::IsActive{false};
std::atomic<bool> Game::HasFocus{false};

namespace {
std::unique_ptr<Game>& GameSlot() {
  static std::unique_ptr<Game> game;
  static bool registered = (RegisterSingletonReset([] {
                              game.reset();
                              platform::ClearPostedMessages();
                              Game::IsActive = false;
                              Game::HasFocus = false;
                            }),
                            true);
  (void)registered;
  return game;
}

// Display sizes outside this range cannot come from a real screen.
constexpr int kMinPrefsWidth = 640;
constexpr int kMinPrefsHeight = 480;
constexpr int kMaxPrefsSize = 16384;

void StartupLoadSharedTextures() { GetSharedGUITextures().Load(); }

std::string RootPath(const Game& game, const char* name) {
  return game.UserFolder[USERFOLDER_ROOT] + "/" + name;
}
}  // namespace

Game::Game() = default;

Game::~Game() {
  if (MainWindow) DestroyMainWindow(MainWindow);
  MainWindow = nullptr;
}

Game& GetGame() {
  std::unique_ptr<Game>& slot = GameSlot();
  if (!slot) slot = std::make_unique<Game>();
  return *slot;
}

bool GameExists() { return GameSlot() != nullptr; }

// The engine owns the tables; start-up fills them at its own point in the order.
void BuildTrigTables() { InitTrigTables(); }

int Game::RenderTargetSize(int screenSize, bool powerOfTwo) {
  // Every pass over a target touches all of it: no larger than the screen unless the
  // device cannot make it so.
  if (!powerOfTwo) return std::max(1, screenSize);
  if (screenSize <= 512) return 512;
  if (screenSize <= 1024) return 1024;
  if (screenSize <= 2048) return 2048;
  return 4096;
}

void Game::GetDesktopSize(int& width, int& height) const {
  if (DesktopWidthOverride > 0 && DesktopHeightOverride > 0) {
    width = DesktopWidthOverride;
    height = DesktopHeightOverride;
    return;
  }
  if (!platform::GetDesktopSize(width, height)) {
    width = 1280;
    height = 1024;
  }
}

namespace {
// Makes a user folder. A file (or anything but a folder) in the way would otherwise end
// the game with a bare "File exists": say which path it is and what to do about it.
void EnsureUserFolder(const std::string& path) {
  const std::string blocker = FirstNonFolderInPath(path);
  if (!blocker.empty())
    ZT_FATAL("The game keeps a folder at " + blocker +
             ", but a file is in its place. Move or delete that file, then start the game again.");
  EnsureDirectoryExists(path);
}
}  // namespace

void Game::InitUserFolders() {
  std::string base = platform::UserBaseFolder();
  if (!CheckWindowsVersion() || base.empty()) {
    if (base.empty()) ZT_WARNING("Failed to get mydocuments");
    base = "userdir";
  }
  EnsureUserFolder(base);
  const std::string root = base + "/Zentrak";
  EnsureUserFolder(root);
  UserFolder[USERFOLDER_ROOT] = root;

  struct Step {
    const char* name;
    int index;  // -1: created but not kept
  };
  static const Step kRootFolders[] = {
      {"challenge_temp", USERFOLDER_CHALLENGE_TEMP},
      {"player_units", USERFOLDER_PLAYER_UNITS},
      {"bitmaps", USERFOLDER_BITMAPS},
      {"badge_database", USERFOLDER_BADGE_DATABASE},
      {"scenarios", USERFOLDER_SCENARIOS},
      {"deployments", USERFOLDER_DEPLOYMENTS},
      {"designtextures", USERFOLDER_DESIGNTEXTURES},
      {"screenshots", -1},
      {"web", USERFOLDER_WEB},
  };
  for (const Step& step : kRootFolders) {
    const std::string path = root + "/" + step.name;
    EnsureUserFolder(path);
    if (step.index >= 0) UserFolder[step.index] = path;
  }
  const std::string web = UserFolder[USERFOLDER_WEB];
  UserFolder[USERFOLDER_PATCHES] = web + "/patches";
  EnsureUserFolder(UserFolder[USERFOLDER_PATCHES]);
  UserFolder[USERFOLDER_WEB_DEBUG] = web + "/debug";
  EnsureUserFolder(UserFolder[USERFOLDER_WEB_DEBUG]);
  EnsureUserFolder(root + "/web/challenges");
  // A run killed in the middle of a save leaves its temporary file behind.
  platform::RemoveStrayTemporaryFiles(root);
}

bool Game::WritePrefs(int width, int height, bool windowed) {
  char text[128];
  std::snprintf(text, sizeof text, "[prefs]\nwidth = %d\nheight = %d\nwindowed = %d\n", width, height,
                windowed ? 1 : 0);
  if (!WriteFileAtomic(RootPath(*this, "prefs.ini"), text)) {
    ZT_ASSERT(!"prefs.ini could not be written");
    return false;
  }
  return true;
}

bool Game::ReadPrefs(DisplayPrefs& prefs, int desktopWidth, int desktopHeight) {
  const std::string path = RootPath(*this, "prefs.ini");
  SettingsFile settings;
  // Missing, or damaged (kept aside and logged): the caller starts from the desktop.
  if (LoadRecordSection(settings, path, "prefs") != RecordState::Read) return false;
  prefs.width = settings.GetInt("width", 0);
  prefs.height = settings.GetInt("height", 0);
  prefs.windowed = settings.GetInt("windowed", 0) != 0;
  // A size no screen can show would make the device fail on every start; use the
  // desktop instead and write it back so the file is sound again.
  if (prefs.width < kMinPrefsWidth || prefs.height < kMinPrefsHeight || prefs.width > kMaxPrefsSize ||
      prefs.height > kMaxPrefsSize) {
    LogErrorF("prefs.ini holds an unusable display size %d x %d; using the desktop size", prefs.width,
              prefs.height);
    prefs.width = desktopWidth;
    prefs.height = desktopHeight;
    WritePrefs(prefs.width, prefs.height, prefs.windowed);
  }
  return true;
}

bool Game::Init() {
  initStartMs_ = ClockMilliseconds();
  shutDown_ = false;
  InitUserFolders();
  const std::string& root = UserFolder[USERFOLDER_ROOT];
  OpenDebugFile(root);
  DebugLogF("ZTK Debug File. App version %s", VersionText.c_str());
  GetRenderDevice().SetDrawLogFolder(root);

  WriteInstallPath(GetExeFolder());

  int desktopWidth = 0, desktopHeight = 0;
  GetDesktopSize(desktopWidth, desktopHeight);
  DebugLogF("Desktop resolution is %d x %d", desktopWidth, desktopHeight);
  if (desktopHeight < MinScreenHeight) {
    desktopHeight = static_cast<int>(MinScreenHeight);
    LogError("WARNING: Desktop Screen Resolution is below MinScreenHeight");
  }

  DisplayPrefs prefs;
  if (!ReadPrefs(prefs, desktopWidth, desktopHeight)) {
    WritePrefs(desktopWidth, desktopHeight, false);
    prefs.width = desktopWidth;
    prefs.height = desktopHeight;
    prefs.windowed = false;
  }

  MainWindow = CreateMainWindow(prefs.windowed);
  SDL_ShowWindow(MainWindow);
  SDL_RaiseWindow(MainWindow);

  InitRandom();

  // Both modes get the client size here; full screen covers the desktop from (0, 0).
  ResizeMainWindow(MainWindow, prefs.width, prefs.height);

  InitDirect3D(prefs.width, prefs.height, prefs.windowed);
  LoadFonts();

  GUI_InputManager& input = GetInputManager();
  input.window = MainWindow;
  input.doubleClick = false;
  input.enabled = true;

  GetSounds().ReloadVolumes();
  SIM_GlobalStats::Get().Load();
  // Achievements earned in earlier sessions are not announced again.
  SIM_AchievementList::Get().MarkEarnedBefore();
  GetTutorial().Load();
  WireLoadingScreenHooks();
  // The battle asks for tutorial pages (dog tags, supply drops) by name.
  GetBattleHooks().tutorialTrigger = [](const std::string& page) { GetTutorial().Trigger(page); };

  SetGameMode(MODE_MAIN_MENU);
  StartupLoadSharedTextures();
  BuildTrigTables();
  SIM_ModuleTypeManager::Get().Load();

  const GameLayerHooks& hooks = GetGameLayerHooks();
  CallGameLayerHook(hooks.particleGroupsClearLists);
  CallGameLayerHook(hooks.particleConfigsClear);
  CallGameLayerHook(hooks.particleConfigsLoad);
  CallGameLayerHook(hooks.explosionTypeNamesInit);

  GetSteamData().Init();
  steamStarted_ = GetSteamData().IsRunning();
  return true;
}

void Game::InitDirect3D(int width, int height, bool windowed) {
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") <= 0.5f)
    LoadTextureAliases("data/performancedata/low.txt");

  DebugLog("Initialising Direct3D");
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetMainWindow(MainWindow);
  if (!d3d.InitD3D(width, height, windowed)) ZT_FATAL("Failed to initialise 3D Engine");

  RegisterTextureFolder("data/bitmaps");
  RegisterTextureFolder("data/scenarios");
  RegisterTextureFolder(UserFolder[USERFOLDER_ROOT]);

  DebugLog("Initialising global vertex buffer");
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Init(5000);
  vb.Create();

  GetShaderManager().LoadAll();

  // The software renderer keeps every target's pixels in memory from its creation (five
  // screen-sized ones are over 25 MB at 1280 x 1024): the menu makes only its own, the
  // rest come when the game first leaves the menu.
  SizeScreenTargets(width, height);
  CreateRenderTargets(true);
}

void Game::CreateScreenTargets(int width, int height) {
  SizeScreenTargets(width, height);
  CreateRenderTargets();
}

void Game::SizeScreenTargets(int width, int height) {
  const bool powerOfTwo = !GetRenderDevice().NonSquareTextures();
  RenderTargetWidth = RenderTargetSize(width, powerOfTwo);
  RenderTargetHeight = RenderTargetSize(height, powerOfTwo);
}

namespace {
struct RenderTargetSpec {
  const char* name;
  int width, height;  // 0: the full-screen size
  platform::Format format;
  bool menuDraws;  // the main menu draws into it (or may, on its first frame)
};
constexpr RenderTargetSpec kRenderTargets[] = {
    {"rt_offscreen1", 0, 0, platform::Format::X8R8G8B8, false},
    {"rt_offscreen2", 0, 0, platform::Format::X8R8G8B8, false},
    {"rt_distortion", 0, 0, platform::Format::X8R8G8B8, false},
    {"rt_lightmap", 0, 0, platform::Format::X8R8G8B8, false},
    {"rt_selection", 0, 0, platform::Format::A8R8G8B8, false},
    // The first wipe makes it (the menu opens with a fade, not a wipe).
    {"rt_transition", 0, 0, platform::Format::X8R8G8B8, false},
    {"rt_icon_compositor", 512, 256, platform::Format::A8R8G8B8, true},
    {"rt_icon_compositor2", 512, 256, platform::Format::A8R8G8B8, true},
    {"rt_minimap_backdrop", 256, 256, platform::Format::X8R8G8B8, false},
};
}  // namespace

void Game::CreateRenderTargets(bool menuOnly) {
  D3DEngine& d3d = GetRenderDevice();
  for (const RenderTargetSpec& t : kRenderTargets) {
    if (menuOnly && !t.menuDraws) continue;
    if (d3d.HasTexture(t.name)) continue;
    d3d.CreateRenderTarget(t.name, t.width ? t.width : RenderTargetWidth,
                           t.height ? t.height : RenderTargetHeight, t.format);
  }
  deferredTargetsPending_ = menuOnly;
}

void Game::CreateDeferredRenderTargets() {
  if (!deferredTargetsPending_) return;
  DebugLog("Creating the render targets the main menu does not use");
  CreateRenderTargets();
}

void Game::LoadFonts() { LoadStandardFonts(); }

void Game::Shutdown() {
  // Later calls (the window going away after Quit already shut down) do nothing, so
  // nothing is saved or released twice.
  if (shutDown_) return;
  shutDown_ = true;
  // The frame count lets a session's frame rate be read from its log.
  DebugLog(("Frames presented: " + std::to_string(framesDrawn_)).c_str());
  DebugLog("Shutting down");

  // The mode leaves first, while the logs, the device and the records still exist.
  if (CurrentMode) CurrentMode->Leave();

  SIM_GlobalStats::Get().Save();
  CallGameLayerHook(GetGameLayerHooks().particleGroupsClearLists);
  CallGameLayerHook(GetGameLayerHooks().particleConfigsClear);
  SIM_ModuleTypeManager::Get().Clear();
  GetGlobalVertexBuffer().Release();
  GetRenderDevice().ReleaseD3D();
  ReleaseStringsSections();
  IsActive = false;
  if (steamStarted_) GetSteamData().Shutdown();
  steamStarted_ = false;
  // The logs close last so every step above could still write to them.
  CloseDebugFiles();
  platform::PostQuitMessage(0);
}
