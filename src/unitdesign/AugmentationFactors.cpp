#include "unitdesign/AugmentationFactors.h"

#include "unitdesign/GUI_UnitDesign.h"

void ComputeAugmentationFactors() {
  const GUI_UnitDesign* designer = FindUnitDesignMode();
  ComputeAugmentationFactors(DesignAugmentationFactors(), designer ? designer->ShownDesign() : nullptr);
}
