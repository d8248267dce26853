#pragma once
// The game's random source. One engine-owned 15-bit generator (0..32767, the
// classic RAND_MAX semantics every "/ 32768" formula relies on) replaces the C
// library's rand/srand, which nothing in the project calls. Game code reads two
// tables of 1000 precomputed floats in [0, 1) through cursors that wrap.
#include <cstdint>
#include <string>

constexpr int kEngineRandMax = 32767;
constexpr int kRandomTableSize = 1000;

// Seeds the engine generator (the srand of the game).
void EngineSrand(std::uint32_t seed);
// Next value of the engine generator, 0..32767 (the rand of the game).
int EngineRand();
// EngineRand() / 32768: a value in [0, 1).
float EngineRandUnit();

// Seeds from the millisecond clock and fills both tables; both cursors to 0.
void InitRandom();
// The same with a fixed seed (replays, tests).
void InitRandomWithSeed(std::uint32_t seed);
bool IsRandomReady();

// Next value of the first table, [0, 1). Logs "Random not ready" before InitRandom.
float RandomFloat();
// Next value of the second table times n, truncated toward zero: [0, n) for n > 0.
int RandomInt(int n);
// low + next value of the second table times (high - low).
float RandomRange(float low, float high);
// True when the next value of the second table is below p.
// 31 digits, each the next second-table value times 9 truncated (0..8).
std::string RandomString();
// An integer in [0, n) straight from the engine generator, not the tables.
int RandomIntDirect(int n);

// Inspection for tests and tools: table 0 is the first table, 1 the second.
float RandomTableValue(int table, int index);
int RandomCursor(int table);
