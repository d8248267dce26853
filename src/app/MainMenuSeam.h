#pragma once
// The first screen until the real main menu lands: an empty mode 0 whose Escape
// quits the game. Replace CreateMainMenuMode's body with the real menu.
#include "app/GUI_GameModeBase.h"

class GUI_MainMenuSeam : public GUI_GameModeBase {
 public:
  GUI_MainMenuSeam();
  void OnKeyDown(int key) override;
};

GUI_GameModeBase* CreateMainMenuMode();
