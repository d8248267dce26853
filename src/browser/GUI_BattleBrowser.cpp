#include "browser/GUI_BattleBrowser.h"

GUI_BattleBrowser::GUI_BattleBrowser() = default;

void GUI_BattleBrowser::OnKeyDown(int key) { StandardModeKeyDown(this, key); }
