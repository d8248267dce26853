#pragma once
// Game mode 2, the map designer. The screen is not built yet: an empty mode whose
// Escape returns to the main menu.
#include "app/GUI_GameModeBase.h"

class GUI_DeploymentScreen : public GUI_GameModeBase {
 public:
  GUI_DeploymentScreen();
  void OnKeyDown(int key) override;
  void Enter() override {}
  void Leave() override {}
};
