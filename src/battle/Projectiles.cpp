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
  // The same for the launchers: set while a launcher may have missiles out.
  std::vector<uint64_t> launched;
};

void MarkBit(std::vector<uint64_t>& bits, size_t index) {
  if (bits.size() <= index >> 6) bits.resize((index >> 6) + 1, 0);
  bits[index >> 6] |= 1ull << (index & 63);
}

// Calls advance(i) for every index of items whose bit is set, in list order, and clears
// the bit of each that has nothing left in the air (quiet(i)). Each word is read again
// after every call so an item that starts firing meanwhile is not passed over.
template <typename T, typename Advance, typename Quiet>
void AdvanceMarked(std::vector<T*>& items, std::vector<uint64_t>& bits, Advance advance, Quiet quiet) {
  for (size_t i = 0; i < items.size();) {
    const size_t w = i >> 6;
    if (w >= bits.size()) break;
    const uint64_t ahead = bits[w] >> (i & 63);
    if (ahead == 0) {
      i = (w + 1) << 6;
      continue;
    }
    i += static_cast<size_t>(__builtin_ctzll(ahead));
    if (i >= items.size()) break;
    advance(i);
    if (quiet(i)) bits[w] &= ~(1ull << (i & 63));
    ++i;
  }
}

// Takes the item out; the items after it moved down one place, so their places and bits
// are laid out again (inAir(item): whether it may still have rounds out).
template <typename T, typename InAir>
void RemoveAndRelayOut(std::vector<T*>& list, std::vector<uint64_t>& bits, T* item, InAir inAir) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
  item->listIndex = -1;
  bits.assign((list.size() + 63) / 64, 0);
  for (size_t i = 0; i < list.size(); ++i) {
    list[i]->listIndex = static_cast<int>(i);
    if (inAir(*list[i])) MarkBit(bits, i);
  }
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
  if (weapon->highestInUse > 0) MarkBit(lists.flying, static_cast<size_t>(weapon->listIndex));
}

void KineticWeaponLaunched(SIM_KineticWeaponComponent* weapon) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists || weapon->listIndex < 0) return;
  const auto index = static_cast<size_t>(weapon->listIndex);
  // A gun the list does not hold is not advanced.
  if (index < lists->kinetic.size() && lists->kinetic[index] == weapon) MarkBit(lists->flying, index);
}
void RegisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  WeaponLists& lists = ProcessWide<WeaponLists>();
  launcher->listIndex = static_cast<int>(lists.launchers.size());
  lists.launchers.push_back(launcher);
  if (launcher->MissilesInFlight() > 0) MarkBit(lists.launched, static_cast<size_t>(launcher->listIndex));
}

void MissileLaunched(SIM_MissileLauncherComponent* launcher) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists || launcher->listIndex < 0) return;
  const auto index = static_cast<size_t>(launcher->listIndex);
  // A launcher the list does not hold is not advanced.
  if (index < lists->launchers.size() && lists->launchers[index] == launcher) MarkBit(lists->launched, index);
}

void UnregisterKineticWeapon(SIM_KineticWeaponComponent* weapon) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists) return;
  RemoveAndRelayOut(lists->kinetic, lists->flying, weapon,
                    [](const SIM_KineticWeaponComponent& w) { return w.highestInUse > 0; });
}

void UnregisterMissileLauncher(SIM_MissileLauncherComponent* launcher) {
  auto* lists = ProcessWideIfAlive<WeaponLists>();
  if (!lists) return;
  RemoveAndRelayOut(lists->launchers, lists->launched, launcher,
                    [](const SIM_MissileLauncherComponent& l) { return l.MissilesInFlight() > 0; });
}

void AdvanceWeaponsFrame(float frameStep) {
  GetBattleUnitManager().ForEachFrameEffectUnit([](SIM_BattleUnit* u) {
    if (u->frameEffects && u->moduleManager) u->moduleManager->UpdateWeaponEffects();
  });
  // Index loops: a strike may end a unit, never a weapon, so the lists hold still.
  // Guns and launchers in list order as ever, but only those with rounds out: most
  // weapons of a large battle are quiet.
  WeaponLists& lists = ProcessWide<WeaponLists>();
  std::vector<SIM_KineticWeaponComponent*>& guns = lists.kinetic;
  AdvanceMarked(
      guns, lists.flying, [&](size_t i) { guns[i]->AdvanceBullets(frameStep); },
      [&](size_t i) { return guns[i]->highestInUse == 0; });
  std::vector<SIM_MissileLauncherComponent*>& launchers = lists.launchers;
  AdvanceMarked(
      launchers, lists.launched, [&](size_t i) { launchers[i]->AdvanceMissiles(frameStep); },
      [&](size_t i) { return launchers[i]->MissilesInFlight() == 0; });
}
