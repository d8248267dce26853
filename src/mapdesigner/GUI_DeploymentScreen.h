#pragma once
// Game mode 2, the map designer. The battle browser's Edit opens it on a scenario
// (OpenMapDesignerFor); the close button and Escape lead back to the battle browser.
#include "app/GUI_GameModeBase.h"
#include "gui/Buttons.h"

class GUI_DS_Window;

class GUI_DeploymentScreen : public GUI_GameModeBase, public GUIButtonList {
 public:
  void Draw() override;
  void OnChar(int character) override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnRightDown() override;
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  GUI_DS_Window* window = nullptr;  // owned; made by Enter, deleted by Leave
};
