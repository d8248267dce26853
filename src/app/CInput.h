#pragma once
// The game's input object: every event from the window goes to the game mode that
// is current at that moment. PrintScreen never reaches a mode.
#include "engine/InputManager.h"

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
};

// Makes the engine build the game's CInput as its input object (start-up wiring).
void RegisterCInput();
// The global input object as the game's CInput.
CInput& GetCInput();
