// The debug and error logs: formats, lifetimes and writes from several threads.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

TEST(LogTest, DebugLogBeforeOpenWritesNothing) {
  DebugLog("lost line");
  EXPECT_FALSE(IsDebugFileOpen());
  OpenDebugFile(zt_test::UserRoot());
  DebugLog("kept line");
  CloseDebugFiles();
  const std::vector<std::string> lines = ft::ReadLines(zt_test::DebugLogPath());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "----DEBUG FILE----");
  EXPECT_NE(lines[1].find(" detected"), std::string::npos);
  EXPECT_EQ(lines[2], "kept line");
  EXPECT_EQ(lines[3], "END DEBUG---");
}

TEST(LogTest, SecondStartReplacesDebugLogButKeepsErrors) {
  OpenDebugFile(zt_test::UserRoot());
  DebugLog("first run");
  LogError("first error");
  CloseDebugFiles();
  CloseDebugFiles();  // a second close is harmless
  OpenDebugFile(zt_test::UserRoot());
  LogError("second error");
  CloseDebugFiles();
  const std::string debug = ft::ReadText(zt_test::DebugLogPath());
  EXPECT_EQ(debug.rfind("----DEBUG FILE----\n", 0), 0u);
  EXPECT_EQ(debug.find("first run"), std::string::npos);
  const std::vector<std::string> errors = ft::ReadLines(zt_test::ErrorLogPath());
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("first error"), std::string::npos);
  EXPECT_NE(errors[1].find("second error"), std::string::npos);
}

TEST(LogTest, ErrorLineIsStampedInUtcWithoutPadding) {
  LogError("bad texture");
  const std::vector<std::string> lines = ft::ReadLines(zt_test::ErrorLogPath());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(lines[0], std::regex(R"([1-9]\d?/[1-9]\d?/\d{4} - \d{1,2}::\d{1,2} - bad texture)")))
      << lines[0];
  EXPECT_EQ(FormatErrorLine(3, 7, 2026, 0, 5, "x"), "3/7/2026 - 0::5 - x");
}

TEST(LogTest, LongMessagesAreCutToOneBoundedLine) {
  LogError(std::string(5000, 'e'));
  DebugLogF("%s", std::string(5000, 'd').c_str());  // debug log closed: dropped, no crash
  const std::vector<std::string> lines = ft::ReadLines(zt_test::ErrorLogPath());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 511u);
}

TEST(LogTest, UnopenableLogsDropMessagesQuietly) {
  // Folders stand where the log files should be.
  EnsureDirectoryExists(zt_test::ErrorLogPath());
  EnsureDirectoryExists(zt_test::DebugLogPath());
  LogError("dropped");
  OpenDebugFile(zt_test::UserRoot());
  EXPECT_FALSE(IsDebugFileOpen());
  DebugLog("also dropped");
  CloseDebugFiles();
  EXPECT_TRUE(DirectoryExists(zt_test::ErrorLogPath()));
}

// Worker threads log too: every line must arrive whole, none lost.
TEST(LogTest, ConcurrentWritersNeverInterleaveLines) {
  OpenDebugFile(zt_test::UserRoot());
  constexpr int kThreads = 4;
  constexpr int kLines = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        DebugLogF("worker %d line %d %s", t, i, std::string(200, static_cast<char>('a' + t)).c_str());
        if (i % 10 == 0) LogErrorF("worker %d error %d", t, i);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  CloseDebugFiles();
  const std::regex whole(R"(worker (\d) line \d+ ([a-d])\2{199})");
  int workerLines = 0;
  for (const std::string& line : ft::ReadLines(zt_test::DebugLogPath())) {
    if (line.rfind("worker", 0) != 0) continue;
    EXPECT_TRUE(std::regex_match(line, whole)) << line.substr(0, 40);
    ++workerLines;
  }
  EXPECT_EQ(workerLines, kThreads * kLines);
  EXPECT_EQ(ft::ReadLines(zt_test::ErrorLogPath()).size(), static_cast<size_t>(kThreads * kLines / 10));
}

}  // namespace
