#pragma once
// The single open deployment window, as the frame needs it after a device reset.
class GUI_BS_Deployment {
 public:
  virtual ~GUI_BS_Deployment() = default;
};

// The open deployment window, or null.
GUI_BS_Deployment* GetOpenDeploymentWindow();
void SetOpenDeploymentWindow(GUI_BS_Deployment* window);
// Deletes the open window (if any) and forgets it; true when one was open.
bool DeleteOpenDeploymentWindow();
