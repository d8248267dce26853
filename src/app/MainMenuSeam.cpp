#include "app/MainMenuSeam.h"

#include "app/Game.h"

GUI_MainMenuSeam::GUI_MainMenuSeam() {
  // The menu runs its own Enter while it is built (it is the first mode and gets no
  // Enter from the switch).
  Enter();
}

void GUI_MainMenuSeam::OnKeyDown(int key) {
  if (FocusedEdit) {
    FocusedEdit->OnKeyDown(key);
  }
  if (key == kKeyEscape) GetGame().Shutdown();
}

GUI_GameModeBase* CreateMainMenuMode() { return new GUI_MainMenuSeam(); }
