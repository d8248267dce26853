#pragma once
// Starts the whole game headless (null device, dummy video) with a recording main menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "platform/NullDevice.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace ft {

// A mode that records what the frame and the input path call on it.
class RecordingMode : public GUI_GameModeBase {
 public:
  static RecordingMode* last;
  RecordingMode() { last = this; }
  ~RecordingMode() override {
    if (last == this) last = nullptr;
  }
  void Process() override {
    calls.push_back("Process");
    if (onProcess) onProcess();
  }
  void Draw() override { calls.push_back("Draw"); }
  void Leave() override {
    calls.push_back("Leave");
    DebugLog("recording mode leaves");
  }
  void Enter() override { calls.push_back("Enter"); }
  void OnKeyDown(int key) override { calls.push_back("Key " + std::to_string(key)); }
  void OnChar(int c) override { calls.push_back("Char " + std::to_string(c)); }
  void OnLeftDown() override { calls.push_back("LeftDown"); }
  void OnRightDown() override { calls.push_back("RightDown"); }
  void OnWheelUp() override { calls.push_back("WheelUp"); }
  void OnWheelDown() override { calls.push_back("WheelDown"); }
  int Count(const std::string& what) const {
    int n = 0;
    for (const std::string& c : calls) n += c == what;
    return n;
  }
  std::vector<std::string> calls;
  void (*onProcess)() = nullptr;
};

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetGameModeFactory(MODE_MAIN_MENU, [] { return static_cast<GUI_GameModeBase*>(new RecordingMode); });
  }
  void TearDown() override { SetGameModeFactory(MODE_MAIN_MENU, nullptr); }

  // Starts the game with a fixed desktop so sizes do not depend on the machine.
  Game& Start(int desktopWidth = 1280, int desktopHeight = 1024) {
    Game& game = GetGame();
    game.DesktopWidthOverride = desktopWidth;
    game.DesktopHeightOverride = desktopHeight;
    EXPECT_TRUE(game.Init());
    Game::IsActive = true;
    Game::HasFocus = true;
    return game;
  }
  platform::NullDevice* Device() { return dynamic_cast<platform::NullDevice*>(GetRenderDevice().Device()); }
  RecordingMode& Mode() { return *RecordingMode::last; }
  std::string Root() const { return zt_test::UserRoot(); }
  std::string DebugText() const { return ReadText(Root() + "/debug/debug.txt"); }
  std::string ErrorsText() const { return ReadText(Root() + "/debug/errors.txt"); }
};

}  // namespace ft
