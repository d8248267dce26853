#pragma once
// The arithmetic of the match runner's summary: a win rate with its 95 % interval.
#include <string>

namespace matchstats {

struct Interval {
  double low = 0.0;   // fraction, 0..1
  double high = 1.0;  // fraction, 0..1
};

// Wilson score interval for `wins` out of `matches` at the normal quantile `z` (1.96 for
// 95 %). Unlike the plain p +- z*sqrt(p(1-p)/n) it stays inside 0..1 and does not
// shrink to nothing at 0 or n wins. No matches: the whole range 0..1.
Interval WilsonInterval(int wins, int matches, double z = 1.96);

// "43.1-56.9 %": the interval in percent with one decimal, as the summary prints it.
std::string FormatPercentInterval(const Interval& interval);

}  // namespace matchstats
