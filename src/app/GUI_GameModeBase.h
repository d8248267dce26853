#pragma once
// The game is always in exactly one game mode: a screen object that gets the
// frame's Process and Draw and the player's input. Menu-style modes also derive
// from the button list and use the standard bodies declared here.

#include "gui/KeyboardTarget.h"

class GUI_GameModeBase {
 public:
  virtual ~GUI_GameModeBase() = default;

  virtual void Draw() {}
  // Default: to the focused edit field, when there is one.
  virtual void OnChar(int character);
  virtual void OnKeyDown(int key);
  virtual void Process() {}
  virtual void OnLeftDown() {}
  virtual void OnRightDown() {}
  virtual void Enter() {}
  virtual void Leave() {}
  virtual void OnWheelUp() {}
  virtual void OnWheelDown() {}
  // A mode whose picture only drifts when nobody touches the game: the milliseconds
  // between its frames once it has been idle a while (0: every frame is drawn).
  virtual int IdleFrameIntervalMs() const { return 0; }
  // Whether the mode's first drawing covers every pixel opaquely, so the frame needs no
  // clear of the back buffer first.
  virtual bool CoversWholeScreen() const { return false; }

  // The text field with the keyboard focus, or null.
  GUI_KeyboardTarget* FocusedEdit = nullptr;
};

// Game mode numbers (the current one lives in Game).
enum GameModeNumber {
  MODE_MAIN_MENU = 0,
  MODE_BATTLE_BROWSER = 1,
  MODE_MAP_DESIGNER = 2,
  MODE_ONLINE = 3,
  MODE_UNIT_DESIGN = 4,
  MODE_OPTIONS = 5,
  MODE_BATTLE_SCREEN = 6,
  MODE_EFFECTS_EDITOR = 7,
  MODE_LOADING_SCREEN = 8,
  MODE_HULL_EDITOR = 9,
  MODE_NONE = 10,
};
constexpr int kGameModeCount = 10;

constexpr int kKeyEscape = 27;
constexpr int kKeyPrintScreen = 44;

// The mode object of a number, built on first request and kept until exit
// (null for a number outside 0..9).
GUI_GameModeBase* GetGameModeObject(int number);
// The mode object of a number only when it has been built already.
GUI_GameModeBase* FindGameModeObject(int number);
using GameModeFactory = GUI_GameModeBase* (*)();
// The game's builder of one mode: the screens above the application register theirs at
// start-up (src/game); a number nobody registered shows an empty screen. Kept through
// tests' resets.
void RegisterGameMode(int number, GameModeFactory factory);
// Puts a stand-in in place of the game's builder of one mode (tests); null restores the
// game's. Must run before that mode is first requested; reset with the modes.
void SetGameModeFactory(int number, GameModeFactory factory);

// Sets mode 0 through Game::SetGameMode.
void ReturnToMainMenu();
// Once the main menu is up: opens the developers' tool a command-line word names
// ("hulleditor"); false when the command line names none.
bool OpenDeveloperModeFromCommandLine();

// Standard bodies of the menu-style modes. `buttons` is the mode's own button
// list (the mode itself); they reach the window order for the open windows.
// DrawStandardMode draws: the title backdrop, the buttons, the open windows, the
// queued tooltips, the cursor and last the screen transition.
class GUIButtonList;
void DrawStandardMode(GUIButtonList* buttons);
// The title backdrop (with its argument 0) and the screen transition install
// themselves here; until they do, those two layers are skipped.
using StandardModeLayer = void (*)();
void SetStandardModeBackdrop(StandardModeLayer draw);
void SetStandardModeTransition(StandardModeLayer draw);
StandardModeLayer StandardModeBackdrop();
StandardModeLayer StandardModeTransition();
// Focused edit first; Escape closes the topmost pop-up, else returns to the main menu.
void StandardModeKeyDown(GUI_GameModeBase* mode, int key);
void ProcessStandardMode(GUIButtonList* buttons);
void StandardModeLeftDown(GUIButtonList* buttons);
void StandardModeWheelUp();
void StandardModeWheelDown();
