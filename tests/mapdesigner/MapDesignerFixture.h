#pragma once
// The map designer on the recording null device at 1280 x 800, opened on a shipped map
// as the battle browser's Edit does, with the mouse and Control key driven by hand.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "app/CInput.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "gui/WindowOrder.h"
#include "mapdesigner/GUI_DeploymentScreen.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace mapdesigner_test {

inline void UseTestUserFolders() {
  const char* names[USERFOLDER_COUNT] = {
      "",    "player_units", "scenarios", "deployments",    "designtextures", "challenge_temp",
      "web", "web/debug",    "bitmaps",   "badge_database", "web/patches"};
  UserFolders()[0] = zt_test::UserRoot();
  for (int i = 1; i < USERFOLDER_COUNT; ++i) UserFolders()[i] = zt_test::UserRoot() + "/" + names[i];
  for (int i = 0; i < USERFOLDER_COUNT; ++i) EnsureDirectoryExists(UserFolders()[i]);
}

class MapDesignerTest : public zt_test::NullDeviceTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 800; }

  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    engine().CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    UseTestUserFolders();
    LoadStringsTable();
    InitRandomWithSeed(4321);
    GetCInput().enabled = true;
    SDL_SetModState(KMOD_NONE);
  }
  void TearDown() override {
    SDL_SetModState(KMOD_NONE);
    GetGame().SetGameMode(MODE_BATTLE_BROWSER);
    NullDeviceTest::TearDown();
  }

  // Opens a campaign map the way the browser's Edit does.
  GUI_DS_Window* Open(const std::string& name) {
    SIM_ScenarioManager::Get().Load();
    SIM_Scenario* source = SIM_ScenarioManager::Get().Find(name);
    EXPECT_NE(source, nullptr) << name;
    if (!source) return nullptr;
    OpenMapDesignerFor(*source);
    GUI_DS_Window* window = GetDSWindow();
    EXPECT_NE(window, nullptr);
    if (window) {
      EXPECT_NE(window->map, nullptr);
    }
    Frame();
    return window;
  }

  void Frame() {
    if (GUI_GameModeBase* mode = GetGame().CurrentMode) {
      mode->Process();
      mode->Draw();
    }
  }
  void Mouse(float x, float y) {
    GetInputManager().x = x;
    GetInputManager().y = y;
  }
  void LeftPress(float x, float y) {
    Mouse(x, y);
    GetInputManager().leftHeld = true;
    GetGame().CurrentMode->OnLeftDown();
  }
  void LeftRelease(float x, float y) {
    Mouse(x, y);
    GetInputManager().leftHeld = false;
    Frame();  // the selection box finishes on the frame that sees the button up
  }
  void Click(float x, float y) {
    LeftPress(x, y);
    LeftRelease(x, y);
  }
  void Ctrl(bool down) { SDL_SetModState(down ? KMOD_LCTRL : KMOD_NONE); }

  GUI_DS_MapSquare* ViewSquare(int column, int row) {
    GUI_DS_Map* map = GetDSMap();
    SIM_MapSquare* square = map->scenario->GetSquare(column, row);
    return square ? map->FindMapSquare(square->number) : nullptr;
  }
  // The screen centre of a map square.
  float SX(int column) { return GetDSMap()->ScreenX(200.0f * column + 100.0f); }
  float SY(int row) { return GetDSMap()->ScreenY(200.0f * row + 100.0f); }
  int SelectedCount() {
    int n = 0;
    for (GUI_DS_MapSquare* s : GetDSMap()->mapSquares) n += s->selected;
    return n;
  }
};

}  // namespace mapdesigner_test
