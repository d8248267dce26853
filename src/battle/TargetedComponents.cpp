#include "battle/TargetedComponents.h"

SIM_TargetedComponent::SIM_TargetedComponent(SIM_BattleUnit* owner, SIM_ModuleType* type,
                                             float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  warhead = WarheadFromText(DataText("warhead"));
  effectiveVsShield = DataFloat("effective_vs_shield");
  effectiveVsArmour = DataFloat("effective_vs_armor");
  effectiveVsInternal = DataFloat("effective_vs_internal");
}
