// The bodies the menu-style modes share: windows first, then the mode's buttons.
#include "app/GUI_GameModeBase.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"

namespace {
StandardModeLayer& BackdropHook() {
  static StandardModeLayer hook = nullptr;
  return hook;
}
StandardModeLayer& TransitionHook() {
  static StandardModeLayer hook = nullptr;
  return hook;
}
}  // namespace

void SetStandardModeBackdrop(StandardModeLayer draw) { BackdropHook() = draw; }
void SetStandardModeTransition(StandardModeLayer draw) { TransitionHook() = draw; }
StandardModeLayer StandardModeBackdrop() { return BackdropHook(); }
StandardModeLayer StandardModeTransition() { return TransitionHook(); }

void DrawStandardMode(GUIButtonList* buttons) {
  if (StandardModeLayer backdrop = BackdropHook()) backdrop();
  if (buttons) buttons->DrawButtons();
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  GetGUICursor().Draw();
  if (StandardModeLayer transition = TransitionHook()) transition();
}

void StandardModeKeyDown(GUI_GameModeBase* mode, int key) {
  if (mode && mode->FocusedEdit) mode->FocusedEdit->OnKeyDown(key);
  if (key != kKeyEscape) return;
  GUI_WindowOrder& order = GetWindowOrder();
  if (order.IsAnyPopupOpen()) {
    order.CloseTopmost();
  } else {
    ReturnToMainMenu();
  }
}

void ProcessStandardMode(GUIButtonList* buttons) {
  GetWindowOrder().Process();
  if (buttons) buttons->ProcessButtons();
}

void StandardModeLeftDown(GUIButtonList* buttons) {
  if (GetWindowOrder().LeftClick()) return;
  if (buttons) buttons->OnClick();
}

void StandardModeWheelUp() { GetWindowOrder().OnWheelUp(); }
void StandardModeWheelDown() { GetWindowOrder().OnWheelDown(); }
