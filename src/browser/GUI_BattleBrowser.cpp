#include "browser/GUI_BattleBrowser.h"

GUI_BattleBrowser::GUI_BattleBrowser() = default;
