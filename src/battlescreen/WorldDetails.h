#pragma once
// Start-up wiring and battle start of the world details: shields, track marks, shell
// casings, the flash timer, snow and voices.

// Their frame layers and hooks (called once with the battle screen's view).
void ConnectWorldDetails();
// Battle set-up: snow for the screen, the flash timer's first phase.
void WorldDetailsBattleStart();
