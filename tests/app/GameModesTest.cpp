#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CInput.h"
#include "app/Game.h"
#include "app/GameModes.h"
#include "app/MainMenu.h"
#include "app/Sounds.h"
#include "browser/GUI_BattleBrowser.h"
#include "effects/GUI_EE_Editor.h"
#include "gui/WindowBase.h"
#include "gui/WindowOrder.h"
#include "mapdesigner/GUI_DeploymentScreen.h"
#include "online/GUI_Online.h"
#include "platform/Audio.h"
#include "unitdesign/GUI_UnitDesign.h"

namespace {

std::vector<std::string> g_log;  // "<mode>:<call>" in call order
int g_built[kGameModeCount];

// A mode that writes every call it receives to the log.
class RecordingMode : public GUI_GameModeBase {
 public:
  explicit RecordingMode(int n) : n_(n) { ++g_built[n]; }
  void Draw() override { Log("draw"); }
  void OnChar(int c) override { Log("char " + std::to_string(c)); }
  void OnKeyDown(int key) override { Log("key " + std::to_string(key)); }
  void Process() override { Log("process"); }
  void OnLeftDown() override { Log("leftdown"); }
  void OnRightDown() override { Log("rightdown"); }
  void Enter() override { Log("enter"); }
  void Leave() override { Log("leave"); }
  void OnWheelUp() override { Log("wheelup"); }
  void OnWheelDown() override { Log("wheeldown"); }

 private:
  void Log(const std::string& what) { g_log.push_back(std::to_string(n_) + ":" + what); }
  int n_;
};

template <int N>
GUI_GameModeBase* BuildRecording() {
  return new RecordingMode(N);
}

class GameModes : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    for (int& b : g_built) b = 0;
    SetGameModeFactory(0, BuildRecording<0>);
    SetGameModeFactory(1, BuildRecording<1>);
    SetGameModeFactory(5, BuildRecording<5>);
    SetGameModeFactory(6, BuildRecording<6>);
  }
};

TEST_F(GameModes, SwitchCallsLeaveThenEnterOnceAndBuildsEachModeOnce) {
  Game& game = GetGame();
  ASSERT_EQ(game.CurrentMode, nullptr);
  ASSERT_EQ(game.CurrentModeNumber, MODE_NONE);

  struct Step {
    int mode;
    std::vector<std::string> calls;
  } steps[] = {
      {0, {}},  // the first mode gets neither call
      {0, {}},  // asking for the current mode does nothing
      {5, {"0:leave", "5:enter"}},
      {0, {"5:leave", "0:enter"}},
      {6, {"0:leave", "6:enter"}},
      {1, {"6:leave", "1:enter"}},
      {1, {}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.mode);
    g_log.clear();
    game.SetGameMode(s.mode);
    EXPECT_EQ(g_log, s.calls);
    EXPECT_EQ(game.CurrentModeNumber, s.mode);
    EXPECT_EQ(game.CurrentMode, FindGameModeObject(s.mode));
  }
  for (int n : {0, 1, 5, 6}) EXPECT_EQ(g_built[n], 1) << n;  // kept, never rebuilt
  EXPECT_EQ(FindGameModeObject(MODE_UNIT_DESIGN), nullptr);  // never requested
}

TEST_F(GameModes, RejectsNumbersOutsideTheTable) {
  Game& game = GetGame();
  game.SetGameMode(5);
  g_log.clear();
  for (int bad : {-1, 10, 11, 1000}) game.SetGameMode(bad);
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(game.CurrentModeNumber, 5);
  EXPECT_EQ(GetGameModeObject(10), nullptr);
}

TEST_F(GameModes, EveryNumberBuildsItsOwnScreen) {
  for (int n = 0; n < kGameModeCount; ++n) SetGameModeFactory(n, nullptr);  // the game's own builders
  std::vector<GUI_GameModeBase*> seen;
  for (int n = 0; n < kGameModeCount; ++n) {
    GUI_GameModeBase* mode = GetGameModeObject(n);
    ASSERT_NE(mode, nullptr) << n;
    for (GUI_GameModeBase* other : seen) EXPECT_NE(mode, other) << n;
    seen.push_back(mode);
  }
  EXPECT_NE(dynamic_cast<GUI_MainMenu*>(seen[MODE_MAIN_MENU]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_BattleBrowser*>(seen[MODE_BATTLE_BROWSER]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_DeploymentScreen*>(seen[MODE_MAP_DESIGNER]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_UnitDesign*>(seen[MODE_UNIT_DESIGN]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_HullEditor*>(seen[MODE_HULL_EDITOR]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_Online*>(seen[MODE_ONLINE]), nullptr);
  EXPECT_NE(dynamic_cast<GUI_EE_Editor*>(seen[MODE_EFFECTS_EDITOR]), nullptr);
}

TEST_F(GameModes, InputReachesOnlyTheCurrentMode) {
  Game& game = GetGame();
  game.SetGameMode(0);
  game.SetGameMode(5);
  CInput& input = GetCInput();
  input.enabled = true;

  struct Case {
    const char* what;
    void (*send)(CInput&);
    std::vector<std::string> calls;
  } cases[] = {
      {"key", [](CInput& i) { i.OnKeyDown('A'); }, {"5:key 65"}},
      {"character", [](CInput& i) { i.OnChar(0xA3); }, {"5:char 163"}},
      {"left click", [](CInput& i) { DispatchMouseMessage(kMsgLeftDown, i, 0); }, {"5:leftdown"}},
      {"double click", [](CInput& i) { DispatchMouseMessage(kMsgLeftDoubleClick, i, 0); }, {"5:leftdown"}},
      {"left up", [](CInput& i) { DispatchMouseMessage(kMsgLeftUp, i, 0); }, {}},
      {"right click", [](CInput& i) { DispatchMouseMessage(kMsgRightDown, i, 0); }, {"5:rightdown"}},
      {"right up", [](CInput& i) { DispatchMouseMessage(kMsgRightUp, i, 0); }, {}},
      {"wheel up", [](CInput& i) { DispatchMouseMessage(kMsgWheel, i, 120); }, {"5:wheelup"}},
      {"wheel down", [](CInput& i) { DispatchMouseMessage(kMsgWheel, i, -120); }, {"5:wheeldown"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_log.clear();
    c.send(input);
    EXPECT_EQ(g_log, c.calls);
  }

  // The held flag is set before the mode hears of the press and cleared on release.
  DispatchMouseMessage(kMsgLeftDown, input, 0);
  EXPECT_TRUE(input.leftHeld);
  DispatchMouseMessage(kMsgLeftUp, input, 0);
  EXPECT_FALSE(input.leftHeld);

  // After a switch the same events go to the new mode only.
  game.SetGameMode(0);
  g_log.clear();
  input.OnKeyDown('B');
  EXPECT_EQ(g_log, std::vector<std::string>{"0:key 66"});
}

TEST_F(GameModes, PrintScreenNeverReachesAMode) {
  Game& game = GetGame();
  game.SetGameMode(5);
  g_log.clear();
  GetCInput().OnKeyDown(kKeyPrintScreen);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(GameModes, PollClearsTheFrameClaims) {
  CInput& input = GetCInput();
  GUI_InputManager::SetCursorReader([](float& x, float& y) { x = y = 7; });
  GUI_WindowBase window;
  input.MouseClaimed = true;
  input.WindowUnderMouse = &window;
  input.pollFlag = true;
  input.Poll();
  EXPECT_FALSE(input.MouseClaimed);
  EXPECT_EQ(input.WindowUnderMouse, nullptr);
  EXPECT_FALSE(input.pollFlag);
  EXPECT_EQ(input.x, 7.0f);
  GUI_InputManager::SetCursorReader(nullptr);
}

// A text field with the focus: records what reaches it.
class FakeEdit : public GUI_KeyboardTarget {
 public:
  std::vector<int> keys;
  std::vector<int> chars;
  void OnChar(int c) override { chars.push_back(c); }
  void OnKeyDown(int key) override { keys.push_back(key); }
};

class PopupWindow : public GUI_WindowBase {
 public:
  bool IsPopup() const override { return true; }
};

TEST(EscapeKey, EscapeClosesAPopupFirstThenReturnsToTheMainMenu) {
  for (int mode : {MODE_BATTLE_BROWSER, MODE_MAP_DESIGNER, MODE_UNIT_DESIGN, MODE_HULL_EDITOR, MODE_ONLINE,
                   MODE_OPTIONS}) {
    SCOPED_TRACE(mode);
    Game& game = GetGame();
    game.SetGameMode(MODE_MAIN_MENU);
    game.SetGameMode(mode);
    GUI_GameModeBase* screen = game.CurrentMode;
    FakeEdit edit;
    screen->FocusedEdit = &edit;

    auto* popup = new PopupWindow();  // the window order deletes it when closed
    popup->Open();
    ASSERT_TRUE(GetWindowOrder().IsAnyPopupOpen());

    GetCInput().OnKeyDown(kKeyEscape);
    EXPECT_FALSE(GetWindowOrder().IsAnyPopupOpen());
    EXPECT_EQ(game.CurrentModeNumber, mode);

    GetCInput().OnChar('x');
    GetCInput().OnKeyDown(kKeyEscape);
    // The map designer is entered from the battle browser and leads back there.
    EXPECT_EQ(game.CurrentModeNumber, mode == MODE_MAP_DESIGNER ? MODE_BATTLE_BROWSER : MODE_MAIN_MENU);
    // The focused field saw both presses before the mode acted on them.
    EXPECT_EQ(edit.keys, (std::vector<int>{kKeyEscape, kKeyEscape}));
    EXPECT_EQ(edit.chars, std::vector<int>{'x'});
    screen->FocusedEdit = nullptr;
  }
}

TEST(EscapeKey, EscapeOnTheMainMenuQuits) {
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  ASSERT_FALSE(game.IsShutDown());
  GetCInput().OnKeyDown('Q');
  EXPECT_FALSE(game.IsShutDown());
  GetCInput().OnKeyDown(kKeyEscape);
  EXPECT_TRUE(game.IsShutDown());
}

// A sound engine that only remembers whether everything is paused.
class PauseRecordingEngine : public platform::SoundEngine {
 public:
  int* pauses;
  int* resumes;
  PauseRecordingEngine(int* p, int* r) : pauses(p), resumes(r) {}
  bool HasDevice() const override { return false; }
  platform::SoundHandle Play2D(const std::string&, bool, bool, bool) override { return -1; }
  platform::SoundHandle Play3D(const std::string&, platform::SoundVec3, bool, bool, bool) override {
    return -1;
  }
  void StopAllSounds() override {}
  void SetAllSoundsPaused(bool paused) override { ++*(paused ? pauses : resumes); }
  void SetListenerPosition(platform::SoundVec3, platform::SoundVec3, platform::SoundVec3,
                           platform::SoundVec3) override {}
  void SetRolloffFactor(float) override {}
  void SetIsPaused(platform::SoundHandle, bool) override {}
  void SetVolume(platform::SoundHandle, float) override {}
  void SetMinDistance(platform::SoundHandle, float) override {}
  void SetPlaybackSpeed(platform::SoundHandle, float) override {}
  void SetPosition(platform::SoundHandle, platform::SoundVec3) override {}
  void Stop(platform::SoundHandle) override {}
  bool IsFinished(platform::SoundHandle) const override { return true; }
  void Drop(platform::SoundHandle) override {}
  int ActiveSoundCount() const override { return 0; }
};

bool g_battlePaused = false;

TEST(WindowActivation, PausesSoundsInTheBackgroundAndKeepsAPausedBattleQuiet) {
  int pauses = 0;
  int resumes = 0;
  GUI_Sounds sounds(std::make_unique<PauseRecordingEngine>(&pauses, &resumes));
  SetBattlePausedQuery([] { return g_battlePaused; });

  struct Step {
    bool active;
    bool battlePaused;
    int pauses, resumes;
  } steps[] = {
      {false, false, 1, 0},  // focus lost: everything pauses
      {true, false, 1, 1},   // focus back: everything resumes
      {false, true, 2, 1},
      {true, true, 2, 1},  // a paused battle stays silent
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "active " << s.active << " battle paused " << s.battlePaused);
    g_battlePaused = s.battlePaused;
    ApplyWindowActivation(s.active, &sounds);
    EXPECT_EQ(Game::IsActive.load(), s.active);
    EXPECT_EQ(Game::HasFocus.load(), s.active);
    EXPECT_EQ(pauses, s.pauses);
    EXPECT_EQ(resumes, s.resumes);
  }
  SetBattlePausedQuery(nullptr);
  ApplyWindowActivation(true, nullptr);  // no sound manager yet: flags only
  EXPECT_TRUE(Game::IsActive.load());
}

}  // namespace

namespace {

int g_buttonClicks = 0;
int CountClick(int) { return ++g_buttonClicks; }

TEST(StandardMode, AClickAWindowTakesNeverReachesTheModesButtons) {
  g_buttonClicks = 0;
  GUI_InputManager::SetCursorReader([](float& x, float& y) {
    x = 150;
    y = 120;
  });
  GetInputManager().Poll();
  // A bare menu-style mode: the real battle browser opens its own window over the button.
  SetGameModeFactory(MODE_BATTLE_BROWSER, [] {
    return static_cast<GUI_GameModeBase*>(new GUI_PlaceholderMode(MODE_BATTLE_BROWSER));
  });
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  game.SetGameMode(MODE_BATTLE_BROWSER);
  SetGameModeFactory(MODE_BATTLE_BROWSER, nullptr);
  auto* mode = dynamic_cast<GUI_StandardMode*>(game.CurrentMode);
  ASSERT_NE(mode, nullptr);
  auto* button = new GUI_ButtonBase(CountClick, 0);  // the mode's list owns it
  button->SetRect(100, 100, 200, 140);
  mode->AddButton(button);

  GetCInput().enabled = true;
  DispatchMouseMessage(kMsgLeftDown, GetCInput(), 0);
  EXPECT_EQ(g_buttonClicks, 1);

  auto* window = new GUI_WindowBase();  // deleted by the window order below
  window->SetRect(0, 0, 400, 400);
  window->Open();
  DispatchMouseMessage(kMsgLeftDown, GetCInput(), 0);
  EXPECT_EQ(g_buttonClicks, 1);

  window->Close();
  GetWindowOrder().DeleteLater(window);
  GetWindowOrder().FlushDeleted();
  DispatchMouseMessage(kMsgLeftDown, GetCInput(), 0);
  EXPECT_EQ(g_buttonClicks, 2);
}

}  // namespace

namespace {

std::vector<std::string> g_layers;

class LoggingButton : public GUI_ButtonBase {
 public:
  void Draw() override { g_layers.push_back("buttons"); }
};

class LoggingWindow : public GUI_WindowBase {
 public:
  void Draw() override { g_layers.push_back("windows"); }
};

TEST(StandardMode, DrawsBackdropButtonsWindowsThenTheTransitionLast) {
  const StandardModeLayer backdrop = StandardModeBackdrop();
  const StandardModeLayer transition = StandardModeTransition();
  SetStandardModeBackdrop([] { g_layers.push_back("backdrop"); });
  SetStandardModeTransition([] { g_layers.push_back("transition"); });

  GUI_StandardMode mode;
  mode.AddButton(new LoggingButton());
  auto* window = new LoggingWindow();
  window->Open();
  g_layers.clear();
  mode.Draw();
  EXPECT_EQ(g_layers, (std::vector<std::string>{"backdrop", "buttons", "windows", "transition"}));

  window->Close();
  GetWindowOrder().DeleteLater(window);
  GetWindowOrder().FlushDeleted();
  SetStandardModeBackdrop(backdrop);
  SetStandardModeTransition(transition);
}

}  // namespace
