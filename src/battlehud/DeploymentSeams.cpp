#include "battlehud/DeploymentSeams.h"

#include <utility>

#include "engine/Singletons.h"

DeploymentSeams& GetDeploymentSeams() {
  static DeploymentSeams seams;
  static bool registered = (RegisterSingletonReset([] { seams.ClearRecord(); }), true);
  (void)registered;
  return seams;
}

void DeploymentSeams::MinimapRemoveUnit(SIM_BattleUnit* unit) {
  if (!unit) return;
  ++minimapRemovals;
  lastRemoved = unit;
  if (minimapRemoveUnit) minimapRemoveUnit(unit);
}

void DeploymentSeams::DrawLegalOutlines(std::vector<DeploymentOutline> outlines) {
  ++outlinePasses;
  lastOutlines = std::move(outlines);
  if (drawLegalOutlines) drawLegalOutlines(lastOutlines);
}

void DeploymentSeams::FadeOutRangeIndicators() {
  ++rangeFades;
  if (fadeOutRangeIndicators) fadeOutRangeIndicators();
}

void DeploymentSeams::ClearRecord() {
  minimapRemovals = 0;
  lastRemoved = nullptr;
  outlinePasses = 0;
  lastOutlines.clear();
  rangeFades = 0;
}
