// Test entry point: every test runs with its own empty user folder, the headless
// back ends, the assembled data folder as working directory, fresh process-wide
// objects and, in a program of the whole game, the game's own wiring.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/Singletons.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {
// Outside a test (suite set-up, static destructors, death-test children) code still
// needs a user folder: it gets this per-process one, never the real home.
std::string g_processDir;
std::string g_userDir;

std::string MakeTempFolder() {
  char tmpl[] = "/tmp/zentrak-test-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  return dir ? dir : "";
}

// Set before main() runs (static initialisation), read between tests.
using Wiring = void (*)();
Wiring& GameWiring() {
  static Wiring wire = nullptr;
  return wire;
}

void UseUserFolder(const std::string& dir) {
  g_userDir = dir;
  setenv("ZENTRAK_USER_DIR", dir.c_str(), 1);
}

class FreshUserFolder : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    ResetAllSingletons();
    const std::string dir = MakeTempFolder();
    UseUserFolder(dir.empty() ? g_processDir : dir);
    // The reset took the hooks that live in process-wide objects with it, and a test
    // before may have left fakes in the others: the game's wiring again, as at start.
    if (Wiring wire = GameWiring()) wire();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    ResetAllSingletons();
    if (!g_userDir.empty() && g_userDir != g_processDir) {
      std::error_code ec;
      std::filesystem::remove_all(g_userDir, ec);
    }
    UseUserFolder(g_processDir);
  }
};
}  // namespace

namespace zt_test {
const std::string& UserDir() { return g_userDir; }
std::string UserRoot() { return g_userDir + "/Zentrak"; }
std::string BuildDir() { return ZENTRAK_BUILD_DIR; }
std::string SourceDir() { return ZENTRAK_SOURCE_DIR; }
std::string TestSourceDir() { return ZENTRAK_TEST_SOURCE_DIR; }
void SetGameWiring(void (*wire)()) { GameWiring() = wire; }
}  // namespace zt_test

int main(int argc, char** argv) {
  // Headless back ends unless a test program asks for a real display itself.
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  if (chdir(ZENTRAK_BUILD_DIR) != 0) return 2;
  g_processDir = MakeTempFolder();
  if (g_processDir.empty()) return 2;
  UseUserFolder(g_processDir);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshUserFolder);
  const int result = RUN_ALL_TESTS();
  ResetAllSingletons();
  std::error_code ec;
  std::filesystem::remove_all(g_processDir, ec);
  int code = result;
  if (result == 0 && zt_test::DrawingSkips() > 0) {
    std::fprintf(stderr, "%d drawing test(s) skipped: they could not draw here\n", zt_test::DrawingSkips());
    code = zt_test::kCannotDrawExitCode;
  }
  // The exit-time leak scan stops every thread to read its stack, and the GL driver's and
  // X library's threads now and then crash that scan. Leak tracking is paused while a
  // window is open anyway, and our own code's leaks are checked by the null-device suites:
  // a program that drew ends here without the scan.
  if (zt_test::OpenedGLWindow()) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
