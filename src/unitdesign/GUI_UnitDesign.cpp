#include "unitdesign/GUI_UnitDesign.h"

#include "unitdesign/AugmentationFactors.h"

GUI_UnitDesign::GUI_UnitDesign() = default;

void GUI_UnitDesign::Enter() {
  if (shownDesign_) ComputeAugmentationFactors();
}

void GUI_UnitDesign::Leave() {}

void GUI_UnitDesign::ShowDesign(SIM_UnitDesign* design) {
  shownDesign_ = design;
  ComputeAugmentationFactors();
}

GUI_GameModeBase* GUI_HullEditor::Create() { return new GUI_HullEditor(); }

GUI_UnitDesign* FindUnitDesignMode() {
  return dynamic_cast<GUI_UnitDesign*>(FindGameModeObject(MODE_UNIT_DESIGN));
}
