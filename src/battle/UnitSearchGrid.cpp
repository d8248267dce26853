#include "battle/UnitSearchGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"

namespace {
// Starts at 1 so a grid never filled is stale.
uint64_t g_staleMark = 1;

int Clamp(int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); }
}  // namespace

void SIM_UnitSearchGrid::MarkAllStale() { ++g_staleMark; }

void SIM_UnitSearchGrid::Refill(const SIM_BattleArmy& army) {
  filledAt = g_staleMark;
  rosterSize = army.livingUnits.size();
  // The living list is walked again only when the army changed it (units leave it
  // only through the army or, from outside, by removal, which shrinks it); the
  // positions are read afresh, and the passes below read this copy.
  bool sameUnits = roster.size() == rosterSize;
  if (!copied || copiedAt != army.livingChanges || byOrder.size() != rosterSize) {
    byOrder.assign(army.livingUnits.begin(), army.livingUnits.end());
    copiedAt = army.livingChanges;
    copied = true;
    sameUnits = false;
  }
  // The same units where they stood at the last fill (bit for bit): the buckets hold.
  // An army standing still, or most of a check's grids, skip the sort.
  if (sameUnits) {
    size_t i = 0;
    for (; i < byOrder.size(); ++i) {
      const SIM_BattleUnit* u = byOrder[i];
      const Entry& e = roster[i];
      if (std::memcmp(&u->x, &e.x, sizeof(float)) != 0 || std::memcmp(&u->y, &e.y, sizeof(float)) != 0) break;
    }
    if (i == byOrder.size()) return;
  }
  strays.clear();
  // Each unit is read once: its position, and whether it has one the buckets can hold.
  roster.clear();
  float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
  bool any = false;
  int32_t order = 0;
  for (SIM_BattleUnit* u : byOrder) {
    const float ux = u->x, uy = u->y;
    const bool finite = std::isfinite(ux) && std::isfinite(uy);
    roster.push_back(Entry{order++, ux, uy, finite ? 0 : -1, u});
    if (!finite) continue;
    if (!any) {
      minX = maxX = ux;
      minY = maxY = uy;
      any = true;
    }
    minX = std::min(minX, ux);
    maxX = std::max(maxX, ux);
    minY = std::min(minY, uy);
    maxY = std::max(maxY, uy);
  }
  originX = minX;
  originY = minY;
  const float spread = std::max(maxX - minX, maxY - minY);
  bucket = std::max(kSquare, spread / static_cast<float>(kMaxSide - 1));
  columns = any ? Clamp(static_cast<int>((maxX - minX) / bucket), kMaxSide - 1) + 1 : 0;
  rows = any ? Clamp(static_cast<int>((maxY - minY) / bucket), kMaxSide - 1) + 1 : 0;
  firstEntry.assign(static_cast<size_t>(columns * rows) + 1, 0);
  // Counting sort by bucket keeps each bucket in living order.
  for (Entry& e : roster) {
    if (e.bucket < 0) continue;
    const int c = Clamp(static_cast<int>((e.x - originX) / bucket), columns - 1);
    const int r = Clamp(static_cast<int>((e.y - originY) / bucket), rows - 1);
    e.bucket = r * columns + c;
    ++firstEntry[static_cast<size_t>(e.bucket) + 1];
  }
  for (size_t i = 1; i < firstEntry.size(); ++i) firstEntry[i] += firstEntry[i - 1];
  entries.resize(static_cast<size_t>(firstEntry.back()));
  nextFree.assign(firstEntry.begin(), firstEntry.end() - 1);
  for (const Entry& e : roster) {
    if (e.bucket < 0)
      strays.push_back(e);
    else
      entries[static_cast<size_t>(nextFree[static_cast<size_t>(e.bucket)]++)] = e;
  }
}

void SIM_UnitSearchGrid::Collect(const SIM_BattleArmy& army, float x, float y, float radius,
                                 std::vector<SIM_BattleUnit*>* out) {
  out->clear();
  if (filledAt != g_staleMark || rosterSize != army.livingUnits.size()) Refill(army);
  if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(radius))) {
    // No box to read: every unit is a candidate.
    out->assign(army.livingUnits.begin(), army.livingUnits.end());
    return;
  }
  // One bit per living unit: the candidates come out in army order without a sort. The
  // bits are all clear between searches; a search reads and clears only the words it set.
  const size_t words = (byOrder.size() + 63) / 64;
  if (marks.size() != words) marks.assign(words, 0);
  size_t firstWord = words, lastWord = 0;
  const auto mark = [this, &firstWord, &lastWord](int32_t order) {
    const size_t w = static_cast<size_t>(order) >> 6;
    marks[w] |= 1ull << (order & 63);
    firstWord = std::min(firstWord, w);
    lastWord = std::max(lastWord, w);
  };
  for (const Entry& e : strays) mark(e.order);
  // Units outside the circle are left out here, on the positions of the fill, which
  // are the units' own until they move again.
  const float radiusSq = radius * radius;
  if (columns > 0) {
    // A negative offset is before the first bucket (truncating it would round towards
    // the origin bucket); past the last whole bucket is after the last one. Between
    // them truncation is the floor.
    const auto cell = [this](float v, float origin, int count) {
      const float f = (v - origin) / bucket;
      if (f < 0.0f) return -1;
      if (f >= static_cast<float>(count)) return count;
      return static_cast<int>(f);
    };
    const int c0 = cell(x - radius, originX, columns), c1 = cell(x + radius, originX, columns);
    const int r0 = cell(y - radius, originY, rows), r1 = cell(y + radius, originY, rows);
    if (c1 >= 0 && r1 >= 0 && c0 < columns && r0 < rows) {
      for (int r = std::max(r0, 0); r <= std::min(r1, rows - 1); ++r) {
        const int row = r * columns;
        const int32_t from = firstEntry[static_cast<size_t>(row + std::max(c0, 0))];
        const int32_t to = firstEntry[static_cast<size_t>(row + std::min(c1, columns - 1)) + 1];
        for (int32_t i = from; i < to; ++i) {
          const Entry& e = entries[static_cast<size_t>(i)];
          const float dx = e.x - x, dy = e.y - y;
          if (dx * dx + dy * dy <= radiusSq) mark(e.order);
        }
      }
    }
  }
  for (size_t w = firstWord; w <= lastWord && w < words; ++w) {
    for (uint64_t bits = marks[w]; bits != 0; bits &= bits - 1)
      out->push_back(byOrder[w * 64 + static_cast<size_t>(__builtin_ctzll(bits))]);
    marks[w] = 0;
  }
}
