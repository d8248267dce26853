#pragma once
// What start-up and shutdown need of the battle effects until that subsystem is built:
// the particle configuration list and the explosion name tables.
#include <string>
#include <vector>

#include "battlescreen/WorldEffectsSeam.h"

// Empties the two global particle-group lists.
void ParticleGroupsClearLists();
// Deletes every loaded particle configuration.
void ParticleConfigsClear();
// Loads every "data/particleconfigs/*.txt" into the configuration list.
void ParticleConfigsLoad();
// Fills the explosion type names and the explosion configuration names.
void ExplosionTypeNamesInit();

// The names of the loaded particle configurations (file names without ".txt").
const std::vector<std::string>& ParticleConfigNames();

// Stand-in for the explosions, blast glare, plumes, debris and exhaust puffs the unit
// visuals ask for: the latest requests are kept (bounded) until those effects are drawn.
void EffectsRecordRequest(const GUI_BS_EffectRequest& request);
const std::vector<GUI_BS_EffectRequest>& EffectsRequests();
void EffectsRequestsClear();
