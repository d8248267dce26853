#pragma once
// The right-click menu of one of the player's buildings: a single Deconstruct button
// that starts taking the building down. It follows the building as the camera moves and
// lets go of it when the building dies or leaves.
#include "gui/Dialog.h"

class GUI_ButtonText;
class SIM_BattleUnit;

class GUI_BS_RCMenu : public GUI_Dialog {
 public:
  static constexpr float kWidth = 240.0f;
  static constexpr float kHeight = 40.0f;
  explicit GUI_BS_RCMenu(SIM_BattleUnit* building);
  ~GUI_BS_RCMenu() override;
  void Draw() override;
  // Next to the building's screen position, kept on screen.
  void Place();
  static int OnDeconstruct(int);
  // Closes and is deleted after the frame (safe inside its own button's click).
  void Retire();

  SIM_BattleUnit* building = nullptr;  // not owned
  GUI_ButtonText* deconstructButton = nullptr;
};

// Opens the menu for the building, closing any other (a null unit is logged and ignored).
void OpenRCMenu(SIM_BattleUnit* building);
GUI_BS_RCMenu* GetOpenRCMenu();
void CloseRCMenu();
// A unit about to be deleted: the menu lets go of it.
void RCMenuForgetUnit(SIM_BattleUnit* unit);
