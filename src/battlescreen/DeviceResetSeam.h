#pragma once
// What the frame needs of the battle screen after a device reset.

// Re-composites every infantry sprite sheet (their render targets were lost).
void RebuildInfantryComposites();
// Tells the battle screen to rebuild its device resources at its next draw.
void FlagBattleScreenDeviceRebuilt();
// Whether the flag is set (the battle screen clears it when it has rebuilt).
bool BattleScreenDeviceRebuiltFlag();
void ClearBattleScreenDeviceRebuiltFlag();
// How often the composites were rebuilt (the frame's tests read it).
int InfantryCompositeRebuilds();
