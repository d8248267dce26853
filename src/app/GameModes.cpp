#include "app/GameModes.h"

#include <malloc.h>

#include <memory>

#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/MainMenu.h"
#include "app/OptionsScreen.h"
#include "app/Sounds.h"
#include "app/TitleBackdrop.h"
#include "battle/Battle.h"
#include "engine/CommandLine.h"
#include "engine/Log.h"
#include "engine/Singletons.h"

namespace {

GUI_GameModeBase* BuildMainMenu() { return CreateMainMenu(); }
template <int N>
GUI_GameModeBase* BuildPlaceholder() {
  return new GUI_PlaceholderMode(N);
}
GUI_GameModeBase* BuildOptions() { return new GUI_Options(); }
GUI_GameModeBase* BuildLoadingScreen() { return new GUI_LoadingScreen(); }

// The application's own builder of each mode number, in number order. The screens of
// the higher layers register theirs (RegisterGameMode) at start-up; until they do, a
// mode number shows an empty screen.
constexpr GameModeFactory kDefaultFactories[kGameModeCount] = {
    BuildMainMenu, BuildPlaceholder<1>, BuildPlaceholder<2>, BuildPlaceholder<3>, BuildPlaceholder<4>,
    BuildOptions,  BuildPlaceholder<6>, BuildPlaceholder<7>, BuildLoadingScreen,  BuildPlaceholder<9>,
};

// The builders registered by the layers above: program wiring, kept through resets.
GameModeFactory g_registered[kGameModeCount] = {};

GameModeFactory GameBuilder(int number) {
  return g_registered[number] ? g_registered[number] : kDefaultFactories[number];
}

struct ModeStore {
  // Each mode is built once and kept until the process ends (or a test resets it).
  std::unique_ptr<GUI_GameModeBase> modes[kGameModeCount];
  // Stand-ins tests put in place of the game's builders (null: the game's).
  GameModeFactory factories[kGameModeCount] = {};
};

std::unique_ptr<ModeStore>& StorePtr() {
  static std::unique_ptr<ModeStore> p;
  return p;
}

ModeStore& Store() {
  static bool registered = (RegisterSingletonReset([] { StorePtr().reset(); }), true);
  (void)registered;
  auto& p = StorePtr();
  if (!p) p = std::make_unique<ModeStore>();
  return *p;
}

bool ValidModeNumber(int n) { return n >= 0 && n < kGameModeCount; }

BattlePausedQuery& PausedQuery() {
  static BattlePausedQuery query = nullptr;
  return query;
}

}  // namespace

// ---- mode objects ----------------------------------------------------------

GUI_GameModeBase* FindGameModeObject(int number) {
  if (!ValidModeNumber(number) || !StorePtr()) return nullptr;
  return StorePtr()->modes[number].get();
}

GUI_GameModeBase* GetGameModeObject(int number) {
  if (!ValidModeNumber(number)) return nullptr;
  ModeStore& store = Store();
  if (!store.modes[number]) {
    GameModeFactory factory = store.factories[number] ? store.factories[number] : GameBuilder(number);
    GUI_GameModeBase* mode = factory();
    if (!mode) {
      LogErrorF("Game mode %d could not be built; using an empty screen", number);
      mode = new GUI_PlaceholderMode(number);
    }
    store.modes[number].reset(mode);
  }
  return store.modes[number].get();
}

void SetGameModeFactory(int number, GameModeFactory factory) {
  if (!ValidModeNumber(number)) return;
  Store().factories[number] = factory;
}

void RegisterGameMode(int number, GameModeFactory factory) {
  if (!ValidModeNumber(number)) return;
  g_registered[number] = factory;
}

void Game::SetGameMode(int n) {
  if (!ValidModeNumber(n)) {
    LogErrorF("SetGameMode: no game mode %d", n);
    return;
  }
  if (n != MODE_MAIN_MENU) CreateDeferredRenderTargets();
  GUI_GameModeBase* previous = CurrentMode;
  NoteActivity();  // a new screen opens (and fades in) at full rate
  CurrentModeNumber = n;
  CurrentMode = GetGameModeObject(n);
  // The first mode made current gets neither call; asking for the current mode
  // again changes nothing.
  if (previous && CurrentMode != previous) {
    previous->Leave();
    CurrentMode->Enter();
  }
  // The menus' backdrop is over 10 MB of textures the battle never draws.
  if (n == MODE_BATTLE_SCREEN && TitleBackdropExists()) {
    ReleaseTitleBackdrop();
    malloc_trim(0);
  }
}

void ReturnToMainMenu() { GetGame().SetGameMode(MODE_MAIN_MENU); }

// The developers' tools have no menu of their own: a word on the command line opens one.
namespace {
struct DeveloperModeWord {
  const char* word;
  int mode;
};
constexpr DeveloperModeWord kDeveloperModeWords[] = {
    {"hulleditor", MODE_HULL_EDITOR},
    {"effectseditor", MODE_EFFECTS_EDITOR},
};
}  // namespace

bool OpenDeveloperModeFromCommandLine() {
  for (const DeveloperModeWord& entry : kDeveloperModeWords) {
    if (!GetCommandLine().HasWord(entry.word)) continue;
    DebugLogF("Command line opens game mode %d", entry.mode);
    GetGame().SetGameMode(entry.mode);
    return true;
  }
  return false;
}

// ---- default bodies --------------------------------------------------------

void GUI_GameModeBase::OnChar(int character) {
  if (FocusedEdit) FocusedEdit->OnChar(character);
}

void GUI_GameModeBase::OnKeyDown(int key) {
  if (FocusedEdit) FocusedEdit->OnKeyDown(key);
}

void GUI_StandardMode::Draw() { DrawStandardMode(this); }
void GUI_StandardMode::OnKeyDown(int key) { StandardModeKeyDown(this, key); }
void GUI_StandardMode::Process() { ProcessStandardMode(this); }
void GUI_StandardMode::OnLeftDown() { StandardModeLeftDown(this); }
void GUI_StandardMode::OnWheelUp() { StandardModeWheelUp(); }
void GUI_StandardMode::OnWheelDown() { StandardModeWheelDown(); }

// ---- window activation -----------------------------------------------------

void SetBattlePausedQuery(BattlePausedQuery query) { PausedQuery() = query; }

bool IsRunningBattlePaused() {
  BattlePausedQuery query = PausedQuery();
  if (query) return query();
  return BattleExists() && GetBattle().state == BATTLE_RUNNING && GetBattle().paused;
}

void ApplyWindowActivation(bool active, GUI_Sounds* sounds) {
  Game::IsActive = active;
  Game::HasFocus = active;
  if (!sounds) return;
  if (!active) {
    sounds->SetAllSoundsPaused(true);
  } else if (!IsRunningBattlePaused()) {
    sounds->SetAllSoundsPaused(false);
  }
}

void OnWindowActivation(bool active) {
  ApplyWindowActivation(active, SoundsExist() ? &GetSounds() : nullptr);
}
