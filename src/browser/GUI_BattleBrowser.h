#pragma once
// Game mode 1, the battle browser. The screen is not built yet: an empty
// menu-style mode whose Escape returns to the main menu.
#include "app/GameModes.h"

class GUI_BattleBrowser : public GUI_StandardMode {
 public:
  GUI_BattleBrowser();
  void Enter() override {}
  void Leave() override {}
};
