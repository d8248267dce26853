#pragma once
// Where the battle world's effect requests land: each kind goes to the effect that makes it.
#include "battlescreen/WorldEffectsSeam.h"

// Hands a request to the effect that takes it: exhaust puffs, burning ground, and the
// explosions, glare, plumes, debris, particle groups and shock waves. A kind no effect
// takes is logged once.
void TakeBattleEffectRequest(const GUI_BS_EffectRequest& request);
