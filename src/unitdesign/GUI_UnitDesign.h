#pragma once
// Game mode 4, the unit designer (mode 9, the developers' hull editor, is in
// GUI_HullEditor.h). The designer owns a close button and, while it is the current mode,
// its main window (UnitDesigner.h).
#include "app/GameModes.h"
#include "unitdesign/GUI_HullEditor.h"

class SIM_UnitDesign;
class GUI_IconButton;

class GUI_UnitDesign : public GUI_GameModeBase, public GUIButtonList {
 public:
  GUI_UnitDesign();
  void Draw() override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnRightDown() override;
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // The design on the drawing board, or null.
  SIM_UnitDesign* ShownDesign() const;

  // Close button and Escape: asks first when the design has unsaved changes.
  static int RequestExit(int);
  static int ExitToMainMenu(int);

  GUI_IconButton* closeButton = nullptr;
};

// The designer's mode object when it has been built, else null.
GUI_UnitDesign* FindUnitDesignMode();
