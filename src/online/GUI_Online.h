#pragma once
// Game mode 3, the online screens. They are not built yet: an empty menu-style mode
// whose Escape returns to the main menu.
#include "app/GameModes.h"

class GUI_Online : public GUI_StandardMode {
 public:
  GUI_Online();
  void Enter() override {}
  void Leave() override {}
};
