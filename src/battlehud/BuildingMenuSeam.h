#pragma once
// Stand-in for the building's right-click menu until the HUD builds it: remembers which
// building asked for it.
class SIM_BattleUnit;

// Opens the menu for the building (a null unit is logged and ignored).
void OpenRCMenu(SIM_BattleUnit* building);
// The building whose menu was asked for last, or null; and how many times it was asked.
SIM_BattleUnit* LastRCMenuUnit();
int RCMenuRequests();
void ResetRCMenuSeam();
