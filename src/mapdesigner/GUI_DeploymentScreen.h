#pragma once
// Game mode 2, the map designer. The screen is not built yet: an empty menu-style
// mode whose Escape returns to the main menu.
#include "app/GameModes.h"

class GUI_DeploymentScreen : public GUI_StandardMode {
 public:
  GUI_DeploymentScreen();
  void Enter() override {}
  void Leave() override {}
};
