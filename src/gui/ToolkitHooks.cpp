#include "gui/ToolkitHooks.h"

GUI_ToolkitHooks& GetToolkitHooks() {
  static GUI_ToolkitHooks hooks;
  return hooks;
}

void PlayGuiSound(int n) {
  if (auto play = GetToolkitHooks().playGuiSound) play(n);
}

bool IsButtonAllowed(const GUI_BaseElement* element) {
  auto allowed = GetToolkitHooks().isButtonAllowed;
  return !allowed || allowed(element);
}

void ButtonPressed(const GUI_BaseElement* element) {
  if (auto pressed = GetToolkitHooks().buttonPressed) pressed(element);
}

GUI_KeyboardTarget** FocusedEditSlot() {
  auto slot = GetToolkitHooks().focusedEditSlot;
  return slot ? slot() : nullptr;
}
