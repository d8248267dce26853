#include "battlehud/DeploymentSeam.h"

#include "engine/Singletons.h"

namespace {
GUI_BS_Deployment*& OpenWindow() {
  static GUI_BS_Deployment* window = nullptr;
  static bool registered = (RegisterSingletonReset([] {
                              delete window;
                              window = nullptr;
                            }),
                            true);
  (void)registered;
  return window;
}
}  // namespace

GUI_BS_Deployment* GetOpenDeploymentWindow() { return OpenWindow(); }

void SetOpenDeploymentWindow(GUI_BS_Deployment* window) {
  if (OpenWindow() && OpenWindow() != window) delete OpenWindow();
  OpenWindow() = window;
}

bool DeleteOpenDeploymentWindow() {
  GUI_BS_Deployment* window = OpenWindow();
  if (!window) return false;
  OpenWindow() = nullptr;
  delete window;
  return true;
}
