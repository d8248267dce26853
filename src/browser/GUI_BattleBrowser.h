#pragma once
// Game mode 1, the battle browser. The screen is not built yet: an empty mode
// whose Escape returns to the main menu.
#include "app/GUI_GameModeBase.h"

class GUI_BattleBrowser : public GUI_GameModeBase {
 public:
  GUI_BattleBrowser();
  void OnKeyDown(int key) override;
  void Enter() override {}
  void Leave() override {}
};
