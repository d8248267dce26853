#include "mapdesigner/GUI_DeploymentScreen.h"

GUI_DeploymentScreen::GUI_DeploymentScreen() = default;

void GUI_DeploymentScreen::OnKeyDown(int key) { StandardModeKeyDown(this, key); }
