#pragma once
// The designer's side of the augmentation factors: the record follows the design on
// the drawing board. The factors themselves are design data (simdata).
#include "simdata/AugmentationFactors.h"

// Recomputes the process-wide record for the design the designer shows (none: unchanged).
void ComputeAugmentationFactors();
