#pragma once
// Wires the minimap, the unit inspector, the building menu, the selection box, the
// mid-battle messages and the battle hints into the battle's and the screen's hooks.
void ConnectHudPanels();
// Battle start and teardown of those panels.
void OpenHudPanels();
void CloseHudPanels();
