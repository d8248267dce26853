#include "MatchStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace matchstats {

Interval WilsonInterval(int wins, int matches, double z) {
  Interval r;
  if (matches <= 0) return r;
  wins = std::min(std::max(wins, 0), matches);
  const double n = matches;
  const double p = wins / n;
  const double z2 = z * z;
  const double denom = 1.0 + z2 / n;
  const double centre = (p + z2 / (2.0 * n)) / denom;
  const double half = z * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n)) / denom;
  r.low = std::max(0.0, centre - half);
  r.high = std::min(1.0, centre + half);
  return r;
}

std::string FormatPercentInterval(const Interval& interval) {
  char text[48];
  std::snprintf(text, sizeof text, "%.1f-%.1f %%", 100.0 * interval.low, 100.0 * interval.high);
  return text;
}

}  // namespace matchstats
