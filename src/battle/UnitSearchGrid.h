#pragma once
// Where an army's living units stand, bucketed by map square, so a weapon looking for a
// target reads the squares its range reaches instead of the whole army. Units move only
// in the frame update and join or leave an army at known points; each of those marks
// every grid stale, and a stale grid is refilled by the next search that reads it.
#include <cstddef>
#include <cstdint>
#include <vector>

class SIM_BattleArmy;
class SIM_BattleUnit;

class SIM_UnitSearchGrid {
 public:
  // One map square.
  static constexpr float kSquare = 200.0f;
  // The most buckets along one side; a wider spread gets larger buckets.
  static constexpr int kMaxSide = 256;

  // Units moved, or joined or left an army: every grid is refilled before its next use.
  static void MarkAllStale();

  // Fills out, in the army's living order, with every living unit that can be within
  // radius of (x, y). Farther units may be among them; no nearer one is left out.
  void Collect(const SIM_BattleArmy& army, float x, float y, float radius, std::vector<SIM_BattleUnit*>* out);

 private:
  struct Entry {
    int32_t order;   // place in the army's living list
    float x, y;      // where the unit stood at the fill
    int32_t bucket;  // its bucket; -1: a position that is not a number
    SIM_BattleUnit* unit;
  };
  void Refill(const SIM_BattleArmy& army);

  uint64_t filledAt = 0;  // the stale mark the buckets were filled under; 0: never
  // The army's change count when byOrder was last copied from its living list.
  uint64_t copiedAt = 0;
  bool copied = false;
  size_t rosterSize = 0;
  float originX = 0.0f, originY = 0.0f;
  float bucket = kSquare;
  int columns = 0, rows = 0;
  std::vector<int32_t> firstEntry;       // per bucket, row by row, and one past the last
  std::vector<Entry> entries;            // by bucket, each bucket in living order
  std::vector<Entry> strays;             // positions that are not numbers: always candidates
  std::vector<SIM_BattleUnit*> byOrder;  // the living units in army order
  std::vector<uint64_t> marks;           // scratch of one search: one bit per living unit
  std::vector<int32_t> nextFree;         // scratch of a refill: next place in each bucket
  std::vector<Entry> roster;             // the living list as the last fill read it
};
