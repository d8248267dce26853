// Failed checks, warnings and fatal errors.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "platform/Window.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

TEST(ErrorReportingTest, FailedCheckLogsWhereItFailedAndCallerGoesOn) {
  Assert(true);
  EXPECT_FALSE(FileExists(zt_test::ErrorLogPath()));
  int reached = 0;
  ZT_ASSERT(reached == 1);
  Assert(false);  // the plain form names its caller too
  ++reached;
  EXPECT_EQ(reached, 1);
  const std::vector<std::string> lines = ft::ReadLines(zt_test::ErrorLogPath());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("Assert failed: reached == 1 at ErrorReportingTest.cpp:"), std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("Assert failed at ErrorReportingTest.cpp:"), std::string::npos) << lines[1];
  EXPECT_NE(std::string(AssertText).find("ErrorReportingTest.cpp"), std::string::npos);
}

TEST(ErrorReportingTest, WarningGoesToDebugLogOnlyOnceItIsOpen) {
  LogWarning("src/x.cpp", 10, "before open");
  OpenDebugFile(zt_test::UserRoot());
  LogWarning("src/app/Game.cpp", 42, "Failed to get mydocuments");
  CloseDebugFiles();
  const std::string debug = ft::ReadText(zt_test::DebugLogPath());
  EXPECT_EQ(debug.find("before open"), std::string::npos);
  EXPECT_NE(debug.find("\nFailed to get mydocuments:Game.cpp 42\n"), std::string::npos) << debug;
}

struct FatalSeen {
  std::string title, text, errorsAtBox;
  int exitCode = -1;
};
FatalSeen g_seen;

struct FatalExit : std::runtime_error {
  FatalExit() : std::runtime_error("exit") {}
};

TEST(ErrorReportingTest, FatalErrorLogsBeforeTheBoxThenEnds) {
  g_seen = FatalSeen();
  platform::SetMessageBoxHook([](const std::string& title, const std::string& text) {
    g_seen.title = title;
    g_seen.text = text;
    g_seen.errorsAtBox = ft::ReadText(zt_test::ErrorLogPath());
  });
  platform::SetExitHook([](int code) {
    g_seen.exitCode = code;
    throw FatalExit();
  });
  EXPECT_THROW(FatalError("src/simdata/Hulls.cpp", 77, "Missing hull: Brute"), FatalExit);
  platform::SetMessageBoxHook(nullptr);
  platform::SetExitHook(nullptr);
  EXPECT_EQ(g_seen.title, "ERROR");
  EXPECT_EQ(g_seen.text, "Missing hull: Brute:Hulls.cpp 77");
  EXPECT_NE(g_seen.errorsAtBox.find(" - Missing hull: Brute:Hulls.cpp 77\n"), std::string::npos);
  EXPECT_NE(g_seen.exitCode, 0);
}

}  // namespace
