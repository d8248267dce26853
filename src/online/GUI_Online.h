#pragma once
// Game mode 3, the online screens. Until the profile, friends and challenge screens are
// built it opens the message inbox; Escape returns to the main menu.
#include "app/GameModes.h"

class GUI_Online : public GUI_StandardMode {
 public:
  GUI_Online();
  ~GUI_Online() override;
  void Enter() override;
  void Leave() override;
};
