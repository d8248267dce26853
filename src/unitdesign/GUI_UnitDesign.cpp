#include "unitdesign/GUI_UnitDesign.h"

#include "unitdesign/AugmentationFactors.h"

GUI_UnitDesign::GUI_UnitDesign() = default;

void GUI_UnitDesign::OnKeyDown(int key) { StandardModeKeyDown(this, key); }

void GUI_UnitDesign::Enter() {
  if (shownDesign_) ComputeAugmentationFactors();
}

void GUI_UnitDesign::Leave() {}

void GUI_UnitDesign::ShowDesign(SIM_UnitDesign* design) {
  shownDesign_ = design;
  ComputeAugmentationFactors();
}

GUI_GameModeBase* GUI_HullEditor::Create() { return new GUI_HullEditor(); }

void GUI_HullEditor::OnKeyDown(int key) { StandardModeKeyDown(this, key); }

GUI_UnitDesign* FindUnitDesignMode() {
  return dynamic_cast<GUI_UnitDesign*>(FindGameModeObject(MODE_UNIT_DESIGN));
}
