#pragma once
// Every sound the game plays, by group. Each returns the finished samples, ready to write.
#include <cstdint>
#include <vector>

#include "Synth.h"

namespace sfx {

// Interface (InterfaceSounds.cpp).
Mono Click();
Mono Beep();
Mono MouseOver();
Mono TwoNote(double f1, double f2, float peak);
Mono Clack();
Mono Whoosh();
Mono Chime(std::vector<double> freqs, double spacing, double decay, float peak);
Mono Morse();

// Battle, weapons and ambience (BattleSounds.cpp).
Mono Explosion(double len, double body, float lowHz, uint32_t seed, float crackle);
Mono Ricochet(uint32_t seed);
Mono Grunt(uint32_t seed);
Mono Voice(uint32_t seed, double basePitch, const std::vector<double>& vowels);
Mono Footsteps();
Mono Placement();
Mono Zap(uint32_t seed);
Mono PowerUp();
Mono Siren();
Mono Flames();
Mono Gunshot(uint32_t seed, double len, float crackHz, float bodyHz, float tail);
Mono MachineGunBurst(uint32_t seed);
Mono Laser(uint32_t seed, double len);
Mono MissileLaunch(uint32_t seed);
Mono WarpOut();
Mono Wind();
// Other ambience loops for the map designer's choice: a sand storm and a snow storm.
Mono Ambience(uint32_t seed, double lowHz, double highHz, double gustPeriod, float hiss);
// A seamless engine loop: firing rate (Hz), how deep the rumble and how much track clatter.
Mono Engine(uint32_t seed, double fireHz, float rumbleHz, float clatter);

// Music (Music.cpp).
Stereo MainTheme();
Stereo MenuMusic();
Stereo BattleMusic();
// More battle tracks: a slower, heavier one and a fast one.
Stereo BattleMusic2();
Stereo BattleMusic3();
// A short closing phrase after a battle: a rising major cadence, or a falling minor one.
Stereo Stinger(bool victory);

}  // namespace sfx
