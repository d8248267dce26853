#include "battle/SupportComponents.h"

#include "battle/BattleUnit.h"

SIM_SupportComponent::SIM_SupportComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy,
                                           int kind)
    : SIM_Module(owner, type, sx, sy), kind(kind) {
  army = owner ? owner->army : nullptr;
  pulseRadius = DataFloat("pulse_radius");
  pulseRadiusSquared = pulseRadius * pulseRadius;
}

SIM_SupportComponent::~SIM_SupportComponent() { StopPulse(); }

void SIM_SupportComponent::StopPulse() {
  for (SIM_BattleUnit* u : linkedUnits) {
    switch (kind) {
      case KIND_REPAIR:
        u->repairers.remove(this);
        break;
      case KIND_HOSPITAL:
        u->hospitals.remove(this);
        break;
      default:
        u->commanders.remove(this);
        break;
    }
  }
  linkedUnits.clear();
}

SIM_RepairComponent::SIM_RepairComponent(SIM_BattleUnit* owner, SIM_ModuleType* type, float sx, float sy)
    : SIM_SupportComponent(owner, type, sx, sy, KIND_REPAIR) {
  repairInterval = DataFloat("repair_interval");
  repairPoints = DataFloat("repair_points");
}
