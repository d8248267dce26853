// The command line, the registry stand-in and the shell helpers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "engine/CommandLine.h"
#include "engine/Log.h"
#include "engine/Registry.h"
#include "engine/Shell.h"
#include "support/EnvGuard.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

struct CommandLineCase {
  const char* text;
  const char* first;
  std::vector<std::string> words;
};

class CommandLineSplit : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineSplit, SplitsAtCommasNotSpaces) {
  const CommandLineCase& c = GetParam();
  GCommandLine line;
  line.Parse(c.text);
  EXPECT_EQ(line.FirstWord(), c.first);
  EXPECT_EQ(line.Words(), c.words);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineSplit,
                         ::testing::Values(CommandLineCase{"", "", {}},
                                           CommandLineCase{"-windowed mode", "-windowed mode", {}},
                                           CommandLineCase{"a,b,c", "a", {"b", "c"}},
                                           CommandLineCase{"\"x,y\",z", "x,y", {"z"}},
                                           CommandLineCase{"a,,b", "a", {"", "b"}}));

TEST(CommandLineTest, EachWordIsLoggedAndParsingReplacesOldWords) {
  OpenDebugFile(zt_test::UserRoot());
  GCommandLine& line = GetCommandLine();
  line.Parse("old,stuff");
  line.Parse("first,second");
  CloseDebugFiles();
  EXPECT_EQ(line.FirstWord(), "first");
  EXPECT_EQ(line.Words(), std::vector<std::string>{"second"});
  EXPECT_TRUE(line.HasWord("second"));
  EXPECT_FALSE(line.HasWord("stuff"));
  const std::string debug = ft::ReadText(zt_test::DebugLogPath());
  EXPECT_NE(debug.find("\nCommand Line: first\nCommand Line: second\n"), std::string::npos);
}

TEST(CommandLineTest, ArgumentsJoinWithSpaces) {
  char a0[] = "zentrak", a1[] = "-w", a2[] = "x,y";
  char* argv[] = {a0, a1, a2, nullptr};
  EXPECT_EQ(JoinCommandLine(3, argv), "-w x,y");
  EXPECT_EQ(JoinCommandLine(1, argv), "");
}

TEST(RegistryTest, InstallPathIsStoredInTheUserFolderAndOtherKeysSurvive) {
  EXPECT_EQ(ReadInstallPath(), "");
  ASSERT_TRUE(RegistryWriteString("software\\Other", "colour", "blue"));
  ASSERT_TRUE(WriteInstallPath("/opt/zentrak"));
  ASSERT_TRUE(WriteInstallPath("/opt/zentrak2"));
  EXPECT_EQ(ReadInstallPath(), "/opt/zentrak2");
  EXPECT_EQ(RegistryReadString("software\\Other", "colour"), "blue");
  EXPECT_EQ(RegistryFilePath(), zt_test::UserRoot() + "/registry.ini");
  EXPECT_NE(
      ft::ReadText(RegistryFilePath()).find("[software\\Norvane Games]\nztkinstallpath = /opt/zentrak2\n"),
      std::string::npos);
}

std::vector<std::string> g_opened;

TEST(ShellTest, BugReportLinkIsPercentEncoded) {
  EXPECT_EQ(PercentEncode("a b&c=d?e\n%~"), "a%20b%26c%3Dd%3Fe%0A%25~");
  const std::string link = BuildBugReportLink("bugreport", "Assert failed at x.cpp:3 & more");
  EXPECT_EQ(link, std::string("mailto:") + kSupportMailAddress +
                      "?subject=bugreport&body=Assert%20failed%20at%20x.cpp%3A3%20%26%20more");

  g_opened.clear();
  SetShellOpenHook([](const std::string& target) {
    g_opened.push_back(target);
    return true;
  });
  OpenManual();
  OpenBugReport();
  SetShellOpenHook(nullptr);
  ASSERT_EQ(g_opened.size(), 2u);
  EXPECT_EQ(g_opened[0], "ZTK Manual.pdf");
  EXPECT_EQ(g_opened[1].rfind("mailto:", 0), 0u);
  EXPECT_EQ(g_opened[1].find(' '), std::string::npos);
}

TEST(ShellTest, OpeningFailsSoftlyWithoutAnOpener) {
  const zt_test::EnvGuard path("PATH");
  setenv("PATH", zt_test::UserDir().c_str(), 1);
  EXPECT_FALSE(ShellOpen("ZTK Manual.pdf"));
}

// The desktop's opener as a machine may have it, first on the PATH. One without a
// program for the document gives up a moment after it starts; one that shows the
// document in the foreground is still running when the wait ends.
TEST(ShellTest, AnOpenerThatGivesUpIsAFailureAndOneThatRunsIsAStart) {
  struct Case {
    const char* what;
    const char* body;
    bool opened;
  } cases[] = {
      {"no program for PDF files", "exit 3", false},
      {"no such file", "exit 2", false},
      {"handed to the desktop", "exit 0", true},
      {"the reader runs in the foreground", "sleep 2", true},
  };
  const zt_test::EnvGuard path("PATH");
  SetShellOpenGraceMs(500);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = zt_test::UserDir() + "/opener" + std::to_string(n++);
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    const std::string opener = dir + "/xdg-open";
    ft::WriteText(opener, std::string("#!/bin/sh\n") + c.body + "\n");
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
    EXPECT_EQ(ShellOpen("ZTK Manual.pdf"), c.opened);
  }
  SetShellOpenGraceMs(0);
}

TEST(ShellTest, ProgramFolderIsTheTestProgramsFolder) {
  EXPECT_EQ(GetExePath().rfind(GetExeFolder() + "/", 0), 0u);
  EXPECT_NE(GetExePath().find("test_engine"), std::string::npos);
}

}  // namespace
