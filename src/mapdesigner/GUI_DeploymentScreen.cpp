#include "mapdesigner/GUI_DeploymentScreen.h"

GUI_DeploymentScreen::GUI_DeploymentScreen() = default;
