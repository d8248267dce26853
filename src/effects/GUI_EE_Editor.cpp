#include "effects/GUI_EE_Editor.h"

GUI_EE_Editor::GUI_EE_Editor() = default;
