#pragma once
// The game's input object: every event from the window goes to the game mode that
// is current at that moment. PrintScreen never reaches a mode.
#include "engine/InputManager.h"

class GUI_WindowBase;

class CInput : public GUI_InputManager {
 public:
  void Poll() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void OnLeftDown() override;
  void OnLeftUp() override;
  void OnRightDown() override;
  void OnRightUp() override;
  void OnKeyDown(int key) override;
  void OnChar(int character) override;

  // Set during a frame by the first window that has the cursor over it; later
  // buttons and map views ignore the mouse while it is set. Cleared by Poll.
  bool MouseClaimed = false;
  // The window that last claimed the mouse this frame; cleared by Poll.
  GUI_WindowBase* WindowUnderMouse = nullptr;
};

// The global input object as the game's CInput.
CInput& GetCInput();
