#include "battle/TargetedComponents.h"

#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "engine/ErrorReporting.h"

namespace {
struct RunningBeamSoundList {
  std::list<SIM_BattleUnit*> units;
};
}  // namespace

std::list<SIM_BattleUnit*>& RunningBeamSounds() { return ProcessWide<RunningBeamSoundList>().units; }

int CheckRunningBeamSounds() {
  auto* list = ProcessWideIfAlive<RunningBeamSoundList>();
  if (!list) return 0;
  int stale = 0;
  for (const SIM_BattleUnit* u : list->units) {
    if (u->state != US_DESTROYED && u->state != US_GONE) continue;
    ZT_WARNING("Error");
    ++stale;
  }
  return stale;
}

void ForgetRunningBeamSounds(const SIM_BattleUnit* unit) {
  auto* list = ProcessWideIfAlive<RunningBeamSoundList>();
  if (list) list->units.remove_if([unit](const SIM_BattleUnit* u) { return u == unit; });
}

SIM_TargetedComponent::SIM_TargetedComponent(SIM_BattleUnit* owner, SIM_ModuleType* type,
                                             float sx, float sy)
    : SIM_Module(owner, type, sx, sy) {
  warhead = WarheadFromText(DataText("warhead"));
  effectiveVsShield = DataFloat("effective_vs_shield");
  effectiveVsArmour = DataFloat("effective_vs_armor");
  effectiveVsInternal = DataFloat("effective_vs_internal");
}
