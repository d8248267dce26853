// The match runner's summary arithmetic and its parallel play: a 95 % interval that is
// the Wilson score interval, and `--jobs N` giving, match for match, what a serial run
// gives for the same seeds.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "MatchStats.h"

namespace {

TEST(MatchStats, WilsonIntervalMatchesWorkedValues) {
  // Values worked out independently (Wilson score interval, z = 1.96).
  struct Case {
    int wins, matches;
    double low, high;
  };
  const Case cases[] = {
      {0, 10, 0.0, 0.277540},   // no wins: the interval still reaches above 0
      {10, 10, 0.722460, 1.0},  // all wins: it still reaches below 1
      {50, 100, 0.403830, 0.596170},
      {100, 200, 0.431360, 0.568640},  // 200 matches: about +-7 points at one
                                       // half
      {26, 40, 0.495056, 0.778657},    // skewed: not symmetric around 65 %
      {130, 200, 0.581633, 0.712713},
      {70, 200, 0.287287, 0.418367},
      {1, 1, 0.206543, 1.0},
  };
  for (const Case& c : cases) {
    const matchstats::Interval i = matchstats::WilsonInterval(c.wins, c.matches);
    EXPECT_NEAR(i.low, c.low, 1e-6) << c.wins << " of " << c.matches;
    EXPECT_NEAR(i.high, c.high, 1e-6) << c.wins << " of " << c.matches;
  }
}

TEST(MatchStats, IntervalEdgesAndText) {
  // No matches: nothing is known.
  const matchstats::Interval none = matchstats::WilsonInterval(0, 0);
  EXPECT_EQ(none.low, 0.0);
  EXPECT_EQ(none.high, 1.0);
  // Counts out of range are clamped, never outside 0..1.
  const matchstats::Interval over = matchstats::WilsonInterval(12, 10);
  EXPECT_NEAR(over.low, 0.722460, 1e-6);
  EXPECT_EQ(over.high, 1.0);
  EXPECT_EQ(matchstats::FormatPercentInterval(matchstats::WilsonInterval(100, 200)), "43.1-56.9 %");
  EXPECT_EQ(matchstats::FormatPercentInterval(matchstats::WilsonInterval(0, 10)), "0.0-27.8 %");
}

std::string RunRunner(const std::string& args) {
  const std::string command =
      std::string(ZENTRAK_MATCHRUNNER) + " --data " ZENTRAK_BUILD_DIR " " + args + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return "popen failed";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int status = pclose(p);
  if (status != 0) out += "\nexit status " + std::to_string(status);
  return out;
}

// The lines that must agree: every match line and the summary table, not the wall time.
std::vector<std::string> Results(const std::string& out) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    if (line.find("wall time") == std::string::npos && !line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

TEST(MatchRunner, ParallelJobsReproduceTheSerialRun) {
  // More seeds than workers, so a worker plays a match after one it did not follow in the
  // serial order (worker 0 plays seeds 7 and 10): anything one match leaves behind for the
  // next would show. The shortest campaign battle keeps this quick under the sanitizers.
  const std::string args = "--scenario border_crossing --seeds 4 --first-seed 7 --speed 8";
  const std::string serialOut = RunRunner(args + " --jobs 1");
  const std::vector<std::string> serial = Results(serialOut);
  const std::vector<std::string> parallel = Results(RunRunner(args + " --jobs 3"));
  // Header, four matches, the range line, the table's three lines.
  ASSERT_EQ(serial.size(), 9u) << serialOut;
  EXPECT_EQ(serial, parallel);
  int decided = 0;
  for (const std::string& line : serial)
    if (line.find(" attacker ") != std::string::npos || line.find(" defender ") != std::string::npos)
      ++decided;
  EXPECT_GT(decided, 0) << "no match was played";
}

}  // namespace
