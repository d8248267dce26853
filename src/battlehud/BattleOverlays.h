#pragma once
// The battle HUD's overlays over the world: range rings, warp-out flashes (and, as they
// come, the other unit overlays). Connected to the battle frame's layers at start-up.

// Slots and hooks of the battle screen and the dropper.
void ConnectBattleOverlays();
// Battle start and teardown: every overlay lets go of the battle's units.
void ClearBattleOverlays();
// Battle start: the overlays emptied, then the scenario's route network built.
void StartBattleOverlays();
