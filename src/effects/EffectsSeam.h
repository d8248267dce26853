#pragma once
// What start-up needs of the explosions until they are built (the explosion name
// tables), and the record of the effect requests the unit visuals make that no effect
// takes yet (explosions, glare, plumes, debris, explosion groups).
#include <string>
#include <vector>

#include "battlescreen/WorldEffectsSeam.h"

// Fills the explosion type names and the explosion configuration names.
void ExplosionTypeNamesInit();

// Hands a request to the effect that takes it (exhaust) and keeps the latest requests
// (bounded) for the effects still to come.
void EffectsRecordRequest(const GUI_BS_EffectRequest& request);
const std::vector<GUI_BS_EffectRequest>& EffectsRequests();
void EffectsRequestsClear();
