#pragma once
// Game mode 4, the unit designer, and mode 9, the developer hull editor. Their
// screens are not built yet: each is an empty menu-style mode whose Escape returns
// to the main menu. The designer answers which design it shows (none yet).
#include "app/GameModes.h"

class SIM_UnitDesign;

class GUI_UnitDesign : public GUI_StandardMode {
 public:
  GUI_UnitDesign();
  void Enter() override;
  void Leave() override;

  // The design on the drawing board, or null.
  SIM_UnitDesign* ShownDesign() const { return shownDesign_; }
  // Shows a design and recomputes the augmentation factors for it.
  void ShowDesign(SIM_UnitDesign* design);

 private:
  SIM_UnitDesign* shownDesign_ = nullptr;
};

class GUI_HullEditor : public GUI_StandardMode {
 public:
  static GUI_GameModeBase* Create();
};

// The designer's mode object when it has been built, else null.
GUI_UnitDesign* FindUnitDesignMode();
