#pragma once
// The battle browser on the recording null device: the game's mode switch, the fake
// clock and sounds of the menu tests, the fonts, and a mouse the test moves by hand.
#include <gtest/gtest.h>

#include <string>

#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/MenuFixture.h"
#include "app/Tutorial.h"
#include "battlehud/BattleHud.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/Scenario.h"
#include "support/TestSupport.h"

namespace browser_test {

class BrowserTest : public menu_test::MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    if (HasFatalFailure()) return;
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    // The tutorial's pages would cover the window the tests click on.
    for (const char* page : {"BATTLE_BROWSER1", "BATTLE_BROWSER2", "CUSTOM_MAP", "BATTLE_ATTACK_OPTIONS",
                             "BATTLE_ATTACK2", "BATTLE_DEFEND_OPTIONS"})
      GetTutorial().MarkSeen(page);
    // What the game's start-up wires after its layers: the loading screen's hooks.
    WireLoadingScreenHooks();
    // The player's folders, as the game's start-up makes them.
    UserFolders()[USERFOLDER_SCENARIOS] = zt_test::UserRoot() + "/scenarios";
    UserFolders()[USERFOLDER_DEPLOYMENTS] = zt_test::UserRoot() + "/deployments";
    GUI_InputManager::SetCursorReader([this](float& x, float& y) {
      x = mouseX;
      y = mouseY;
    });
  }

  // Campaign icons on a diagonal, clear of each other whatever the shipped positions.
  static void SpreadCampaignIcons() {
    SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
    scenarios.Load();
    const float n = static_cast<float>(scenarios.Campaign().size());
    float i = 1.0f;
    for (SIM_Scenario* s : scenarios.Campaign()) {
      s->mapIconX = s->mapIconY = i / (n + 1.0f);
      i += 1.0f;
    }
  }
  // A fresh browser window, entered from the main menu as the player does.
  GUI_BattleBrowser* OpenBrowser() {
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_BATTLE_BROWSER);
    return dynamic_cast<GUI_BattleBrowser*>(GetGame().CurrentMode);
  }
  // One frame of the mode: the mouse is read, the windows process and draw.
  void Frame() {
    GetInputManager().Poll();
    GUI_GameModeBase* mode = GetGame().CurrentMode;
    mode->Process();
    GetGame().CurrentMode->Draw();
  }
  void MoveTo(float x, float y) {
    mouseX = x;
    mouseY = y;
    Frame();
  }
  // A left click where the mouse is, the way the frame routes it.
  void Click(float x, float y) {
    MoveTo(x, y);
    GetGame().CurrentMode->OnLeftDown();
  }
  template <typename Element>
  void ClickCentre(const Element* e) {
    ASSERT_NE(e, nullptr);
    Click((e->left + e->right) / 2.0f, (e->top + e->bottom) / 2.0f);
  }

  float mouseX = 5.0f;
  float mouseY = 5.0f;
};

}  // namespace browser_test
