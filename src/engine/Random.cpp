#include "engine/Random.h"

#include <chrono>

#include "engine/Log.h"
#include "engine/Singletons.h"

namespace {

struct RandomState {
  std::uint32_t generator = 1;  // the classic default seed
  float tables[2][kRandomTableSize] = {};
  int cursors[2] = {0, 0};
  bool ready = false;
};

RandomState& State() {
  static RandomState state;
  static bool registered = (RegisterSingletonReset([] { state = RandomState(); }), true);
  (void)registered;
  return state;
}

float NextFromTable(int table) {
  RandomState& s = State();
  const float v = s.tables[table][s.cursors[table]];
  if (++s.cursors[table] >= kRandomTableSize) s.cursors[table] = 0;
  return v;
}

}  // namespace

void EngineSrand(std::uint32_t seed) { State().generator = seed; }

int EngineRand() {
  // A linear congruential generator returning its upper 15 bits, so every
  // "value / 32768" stays below 1.
  RandomState& s = State();
  s.generator = s.generator * 214013u + 2531011u;
  return static_cast<int>((s.generator >> 16) & 0x7FFFu);
}

float EngineRandUnit() { return static_cast<float>(EngineRand() / 32768.0); }

void InitRandomWithSeed(std::uint32_t seed) {
  EngineSrand(seed);
  RandomState& s = State();
  for (int i = 0; i < kRandomTableSize; ++i) {
    s.tables[1][i] = EngineRandUnit();
    s.tables[0][i] = EngineRandUnit();
  }
  s.cursors[0] = 0;
  s.cursors[1] = 0;
  s.ready = true;
}

void InitRandom() {
  // The system's millisecond count (time since boot), not the process clock: the
  // process clock is nearly the same at every start, and so would the battles be.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  InitRandomWithSeed(static_cast<std::uint32_t>(ms.count()));
}

bool IsRandomReady() { return State().ready; }

float RandomFloat() {
  if (!State().ready) LogError("Random not ready");
  return NextFromTable(0);
}

int RandomInt(int n) { return static_cast<int>(NextFromTable(1) * static_cast<float>(n)); }

float RandomRange(float low, float high) { return low + NextFromTable(1) * (high - low); }

std::string RandomString() {
  std::string digits(31, '0');
  for (char& c : digits) c = static_cast<char>('0' + static_cast<int>(NextFromTable(1) * 9.0f));
  return digits;
}

int RandomIntDirect(int n) { return static_cast<int>(EngineRand() / 32768.0 * n); }

float RandomTableValue(int table, int index) {
  if (table < 0 || table > 1 || index < 0 || index >= kRandomTableSize) return 0.0f;
  return State().tables[table][index];
}

int RandomCursor(int table) {
  if (table < 0 || table > 1) return 0;
  return State().cursors[table];
}
