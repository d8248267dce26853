#pragma once
// What start-up and shutdown need of the battle effects until that subsystem is built:
// the particle configuration list and the explosion name tables.
#include <string>
#include <vector>

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
