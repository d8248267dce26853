#include "battle/Projectiles.h"

#include <algorithm>

#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/KineticWeapon.h"
#include "battle/MissileLauncher.h"
#include "battle/Module.h"
#include "battle/ProcessWide.h"

namespace {
struct WeaponLists {
  std::vector<SIM_KineticWeaponComponent*> kinetic;
  std::vector<SIM_MissileLauncherComponent*> launchers;
};

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}
}  // namespace

std::vector<SIM_KineticWeaponComponent*>& KineticWeaponList() { return ProcessWide<WeaponLists>().kinetic; }
std::vector<SIM_MissileLauncherComponent*>& MissileLauncherList() {
  return ProcessWide<WeaponLists>().launchers;
}

void RegisterKineticWeapon(SIM_KineticWeaponComponent* weapon) { KineticWeaponList().push_back(weapon); }
void RegisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  MissileLauncherList().push_back(launcher);
}

void UnregisterKineticWeapon(SIM_KineticWeaponComponent* weapon) {
  if (auto* lists = ProcessWideIfAlive<WeaponLists>()) Remove(lists->kinetic, weapon);
}

void UnregisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  if (auto* lists = ProcessWideIfAlive<WeaponLists>()) Remove(lists->launchers, launcher);
}

void AdvanceWeaponsFrame(float frameStep) {
  GetBattleUnitManager().ForEachUnit([](SIM_BattleUnit* u) {
    if (u->frameEffects && u->moduleManager) u->moduleManager->UpdateWeaponEffects();
  });
  // Index loops: a strike may end a unit, never a weapon, so the lists hold still.
  std::vector<SIM_KineticWeaponComponent*>& guns = KineticWeaponList();
  for (size_t i = 0; i < guns.size(); ++i) guns[i]->AdvanceBullets(frameStep);
  std::vector<SIM_MissileLauncherComponent*>& launchers = MissileLauncherList();
  for (size_t i = 0; i < launchers.size(); ++i) launchers[i]->AdvanceMissiles(frameStep);
}
