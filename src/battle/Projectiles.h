#pragma once
// The process-wide lists of guns and missile launchers (each enters itself when built
// and leaves when deleted), and the per-frame step of everything weapons put in the
// air. The battle runs it in its own frame step, so a battle without a screen resolves
// its fights exactly as a drawn one does.
#include <vector>

class SIM_KineticWeaponComponent;
class SIM_MissileLauncherComponent;

std::vector<SIM_KineticWeaponComponent*>& KineticWeaponList();
std::vector<SIM_MissileLauncherComponent*>& MissileLauncherList();
void RegisterKineticWeapon(SIM_KineticWeaponComponent* weapon);
void UnregisterKineticWeapon(SIM_KineticWeaponComponent* weapon);
// The gun put a bullet in the air: the frame step advances it from now on.
void KineticWeaponLaunched(SIM_KineticWeaponComponent* weapon);
void RegisterMissileLauncher(SIM_MissileLauncherComponent* launcher);
// The launcher put a missile in the air: the frame step advances it from now on.
void MissileLaunched(SIM_MissileLauncherComponent* launcher);
void UnregisterMissileLauncher(SIM_MissileLauncherComponent* launcher);

// Once per battle frame (also while paused, with a step of 0): every unit's weapon
// effects (beams deal their damage here), then every bullet, then every launcher's
// missiles.
void AdvanceWeaponsFrame(float frameStep);
