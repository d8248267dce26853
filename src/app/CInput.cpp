#include "app/CInput.h"

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"

namespace {
// The mode current at the moment of the event, or null before the first mode.
GUI_GameModeBase* CurrentMode() { return GameExists() ? GetGame().CurrentMode : nullptr; }
}  // namespace

void CInput::Poll() {
  WindowUnderMouse = nullptr;
  UpdateMouse();
  pollFlag = false;
  MouseClaimed = false;
}

void CInput::OnWheelUp() {
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnWheelUp();
}

void CInput::OnWheelDown() {
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnWheelDown();
}

void CInput::OnLeftDown() {
  leftHeld = true;
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnLeftDown();
}

void CInput::OnLeftUp() { leftHeld = false; }

void CInput::OnRightDown() {
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnRightDown();
}

void CInput::OnRightUp() {}

void CInput::OnKeyDown(int key) {
  if (key == kKeyPrintScreen) {
    if (GameExists()) GetGame().Screenshot();
    return;
  }
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnKeyDown(key);
}

void CInput::OnChar(int character) {
  if (GUI_GameModeBase* mode = CurrentMode()) mode->OnChar(character);
}

namespace {
GUI_InputManager* BuildCInput() { return new CInput(); }
}  // namespace

void RegisterCInput() { SetInputManagerFactory(BuildCInput); }

CInput& GetCInput() {
  RegisterCInput();
  if (auto* input = dynamic_cast<CInput*>(&GetInputManager())) return *input;
  // A plain input object was built before the game's was registered: build the game's.
  ResetInputManager();
  return static_cast<CInput&>(GetInputManager());
}
