#pragma once
// Game mode 7, the developer's effects editor. Nothing in the game asks for it; until
// it is built it is an empty menu-style mode whose Escape returns to the main menu.
#include "app/GameModes.h"

class GUI_EE_Editor : public GUI_StandardMode {
 public:
  GUI_EE_Editor();
  void Enter() override {}
  void Leave() override {}
};
