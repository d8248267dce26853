#pragma once
// Game mode 4, the unit designer, and mode 9, the developer hull editor. Their
// screens are not built yet: each is an empty mode whose Escape returns to the
// main menu. The designer answers which design it shows (none yet).
#include "app/GUI_GameModeBase.h"

class SIM_UnitDesign;

class GUI_UnitDesign : public GUI_GameModeBase {
 public:
  GUI_UnitDesign();
  void OnKeyDown(int key) override;
  void Enter() override;
  void Leave() override;

  // The design on the drawing board, or null.
  SIM_UnitDesign* ShownDesign() const { return shownDesign_; }
  void ShowDesign(SIM_UnitDesign* design);

 private:
  SIM_UnitDesign* shownDesign_ = nullptr;
};

class GUI_HullEditor : public GUI_GameModeBase {
 public:
  static GUI_GameModeBase* Create();
  void OnKeyDown(int key) override;
};

// The designer's mode object when it has been built, else null.
GUI_UnitDesign* FindUnitDesignMode();
