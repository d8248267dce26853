#include "gui/ToolkitHooks.h"

GUI_ToolkitHooks& GetToolkitHooks() {
  static GUI_ToolkitHooks hooks;
  return hooks;
}

void PlayGuiSound(int n) {
  if (auto play = GetToolkitHooks().playGuiSound) play(n);
}
