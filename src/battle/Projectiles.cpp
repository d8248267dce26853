#include "battle/Projectiles.h"

#include <algorithm>
#include <cstdint>

#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/KineticWeapon.h"
#include "battle/MissileLauncher.h"
#include "battle/Module.h"
#include "battle/ProcessWide.h"

namespace {
struct WeaponLists {
  std::vector<SIM_KineticWeaponComponent*> kinetic;
  // One bit per gun of kinetic: set while the gun may have bullets out. A gun with
  // none has nothing to advance, and most guns of a large battle are quiet.
  std::vector<uint64_t> flying;
  std::vector<SIM_MissileLauncherComponent*> launchers;
};

void MarkFlying(WeaponLists& lists, size_t index) {
  if (lists.flying.size() <= index >> 6) lists.flying.resize((index >> 6) + 1, 0);
  lists.flying[index >> 6] |= 1ull << (index & 63);
}

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

void RegisterKineticWeapon(SIM_KineticWeaponComponent* weapon) {
  WeaponLists& lists = ProcessWide<WeaponLists>();
  weapon->listIndex = static_cast<int>(lists.kinetic.size());
  lists.kinetic.push_back(weapon);
  if (weapon->highestInUse > 0) MarkFlying(lists, static_cast<size_t>(weapon->listIndex));
}

void KineticWeaponLaunched(SIM_KineticWeaponComponent* weapon) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists || weapon->listIndex < 0) return;
  const auto index = static_cast<size_t>(weapon->listIndex);
  // A gun the list does not hold is not advanced.
  if (index < lists->kinetic.size() && lists->kinetic[index] == weapon) MarkFlying(*lists, index);
}
void RegisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  MissileLauncherList().push_back(launcher);
}

void UnregisterKineticWeapon(SIM_KineticWeaponComponent* weapon) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists) return;
  Remove(lists->kinetic, weapon);
  weapon->listIndex = -1;
  // The guns after it moved down one place: their places and bits are laid out again.
  lists->flying.assign((lists->kinetic.size() + 63) / 64, 0);
  for (size_t i = 0; i < lists->kinetic.size(); ++i) {
    lists->kinetic[i]->listIndex = static_cast<int>(i);
    if (lists->kinetic[i]->highestInUse > 0) MarkFlying(*lists, i);
  }
}

void UnregisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  if (auto* lists = ProcessWideIfAlive<WeaponLists>()) Remove(lists->launchers, launcher);
}

void AdvanceWeaponsFrame(float frameStep) {
  GetBattleUnitManager().ForEachFrameEffectUnit([](SIM_BattleUnit* u) {
    if (u->frameEffects && u->moduleManager) u->moduleManager->UpdateWeaponEffects();
  });
  // Index loops: a strike may end a unit, never a weapon, so the lists hold still.
  // Guns in list order as ever, but only those with bullets out; each word is read
  // again after every gun so a gun that starts firing meanwhile is not passed over.
  WeaponLists& lists = ProcessWide<WeaponLists>();
  std::vector<SIM_KineticWeaponComponent*>& guns = lists.kinetic;
  std::vector<uint64_t>& flying = lists.flying;
  for (size_t i = 0; i < guns.size();) {
    const size_t w = i >> 6;
    if (w >= flying.size()) break;
    const uint64_t ahead = flying[w] >> (i & 63);
    if (ahead == 0) {
      i = (w + 1) << 6;
      continue;
    }
    i += static_cast<size_t>(__builtin_ctzll(ahead));
    if (i >= guns.size()) break;
    guns[i]->AdvanceBullets(frameStep);
    if (guns[i]->highestInUse == 0) flying[w] &= ~(1ull << (i & 63));
    ++i;
  }
  std::vector<SIM_MissileLauncherComponent*>& launchers = MissileLauncherList();
  for (size_t i = 0; i < launchers.size(); ++i) launchers[i]->AdvanceMissiles(frameStep);
}
