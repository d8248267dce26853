#pragma once
// The unit designer on the recording null device, entered from the main menu's mode
// switch, with the mouse driven by hand.
#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/CInput.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "gui/Cursor.h"
#include "gui/ScrollingWindow.h"
#include "gui/WindowOrder.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "support/NullDeviceFixture.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"
#include "unitdesign/GUI_UnitDesign.h"
#include "unitdesign/UnitDesigner.h"

namespace unitdesign_test {

inline void UseTestUserFolders() {
  const char* names[USERFOLDER_COUNT] = {
      "",    "player_units", "scenarios", "deployments",    "designtextures", "challenge_temp",
      "web", "web/debug",    "bitmaps",   "badge_database", "web/patches"};
  UserFolders()[0] = zt_test::UserRoot();
  for (int i = 1; i < USERFOLDER_COUNT; ++i) UserFolders()[i] = zt_test::UserRoot() + "/" + names[i];
  for (int i = 0; i < USERFOLDER_COUNT; ++i) EnsureDirectoryExists(UserFolders()[i]);
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class UnitDesignTest : public zt_test::NullDeviceTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 1024; }

  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    engine().CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    UseTestUserFolders();
    LoadStringsTable();
    InitRandomWithSeed(1234);
    GetCInput().enabled = true;
    SDL_SetModState(KMOD_NONE);
    SIM_ModuleTypeManager::Get().Load();
    SIM_UnitHullManager::Get().Load();
    SIM_UnitDesignManager::Get().Load();
    // From the main menu, as the player gets there.
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_UNIT_DESIGN);
    window = GetUDWindow();
    ASSERT_NE(window, nullptr);
    Frame();
  }
  void TearDown() override {
    SDL_SetModState(KMOD_NONE);
    GetInputManager().leftHeld = false;
    GetGame().SetGameMode(MODE_MAIN_MENU);
    NullDeviceTest::TearDown();
  }

  // Loads a shipped sample design into the designer.
  SIM_UnitDesign* LoadSample(const std::string& file) {
    SIM_UnitDesign* design = SIM_UnitDesignManager::Get().FindDesignByFile("data/sampleunits/" + file);
    EXPECT_NE(design, nullptr) << file;
    if (design) window->LoadDesign(design);
    Frame();
    return design;
  }

  // Unlocks a module type the new player has not earned yet, and shows it so.
  void Unlock(const std::string& typeName) {
    SIM_ModuleType* type = SIM_ModuleTypeManager::Get().Find(typeName);
    ASSERT_NE(type, nullptr) << typeName;
    type->unlockable.locked = 0;
    window->RefreshAll(false);
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
  // Moves the held mouse and lets a frame follow it.
  void DragTo(float x, float y) {
    Mouse(x, y);
    Frame();
  }
  void LeftRelease(float x, float y) {
    Mouse(x, y);
    GetInputManager().leftHeld = false;
    Frame();
  }
  void RightClick(float x, float y) {
    Mouse(x, y);
    GetGame().CurrentMode->OnRightDown();
  }
  // Drags from one point to another with the left button.
  void Drag(float fx, float fy, float tx, float ty) {
    LeftPress(fx, fy);
    DragTo(tx, ty);
    LeftRelease(tx, ty);
    Frame();
  }

  GUI_UD_UnitSlot* Slot(int i) { return window->blueprint->slots.at(static_cast<size_t>(i)); }
  GUI_UD_ModuleIcon* PickerIcon(const std::string& typeName) {
    for (GUI_UD_ModulePicker* picker : {window->componentsPicker, window->augmentationsPicker}) {
      if (!picker) continue;
      for (int page = 0; page < 10; ++page) {
        for (GUI_UD_ModuleIcon* icon : picker->icons) {
          if (icon->type && icon->type->name == typeName) return icon;
        }
        if (!picker->scroll->ScrollBy(1)) break;
        picker->Layout();
      }
      picker->scroll->SetPosition(0);
      picker->Layout();
    }
    return nullptr;
  }
  static float CX(const GUI_WindowBase* w) { return (w->left + w->right) * 0.5f; }
  static float CY(const GUI_WindowBase* w) { return (w->top + w->bottom) * 0.5f; }

  GUI_UD_Window* window = nullptr;
};

}  // namespace unitdesign_test
