// A machine without an audio device (a headless desktop, a server under Xvfb) is an
// ordinary setup: the game is silent, says so once in the debug log and reports no
// failed check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/Sounds.h"
#include "engine/Log.h"
#include "support/FakeSoundEngine.h"
#include "support/TestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int CountOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string ErrorLogText() { return ReadFile(GetLogFolder() + "/errors.txt"); }

// Everything a menu and a battle ask of the manager, with nothing to hear.
void ExerciseSilentManager(GUI_Sounds& sounds) {
  sounds.ReloadVolumes();
  sounds.PlayGuiSound(0);
  sounds.PlayMusic("ztk_main_theme.ogg", false, true);
  sounds.PlayMusic("ztk_menus.ogg", false, true);
  sounds.SetPlaybackSpeed(2.0f);
  sounds.SetAllSoundsPaused(true);
  sounds.SetAllSoundsPaused(false);
  sounds.Update();
  sounds.StopAllSounds();
}

struct DeviceLessEngine : FakeSoundEngine {
  bool HasDevice() const override { return false; }
};

TEST(SilentSound, ManagerOverADeviceLessEngineReportsNoFailedCheck) {
  OpenDebugFile(zt_test::UserRoot());
  {
    GUI_Sounds sounds(std::make_unique<DeviceLessEngine>());
    ExerciseSilentManager(sounds);
  }
  EXPECT_EQ(ErrorLogText(), "");
}

TEST(SilentSound, ManagerWithoutAnyEngineLogsOnceAndDoesNothing) {
  OpenDebugFile(zt_test::UserRoot());
  {
    GUI_Sounds sounds{std::unique_ptr<platform::SoundEngine>()};
    ExerciseSilentManager(sounds);
    EXPECT_EQ(sounds.PlaySound("data/sounds/gui_beep1.ogg", 2, 1.0f, true, 100.0f, 10, 10), -1);
  }
  CloseDebugFiles();
  EXPECT_EQ(ErrorLogText(), "");
  EXPECT_EQ(CountOccurrences(ReadFile(GetLogFolder() + "/debug.txt"), "sound is off"), 1);
}

// The real engine with OpenAL given no usable output, in a fresh copy of this program
// (OpenAL reads its driver list once per process).
TEST(SilentSoundDeathTest, NoAudioDeviceMeansOneLogLineAndNoError) {
  const char* old = std::getenv("ALSOFT_DRIVERS");
  const std::string saved = old ? old : "";
  setenv("ALSOFT_DRIVERS", "zentrak_no_such_driver", 1);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        OpenDebugFile(zt_test::UserRoot());
        // Only what the sound start-up adds counts.
        const std::string before = ErrorLogText();
        {
          GUI_Sounds sounds;
          ExerciseSilentManager(sounds);
        }
        CloseDebugFiles();
        const std::string errors = ErrorLogText().substr(before.size());
        const int offLines = CountOccurrences(ReadFile(GetLogFolder() + "/debug.txt"), "sound is off");
        if (!errors.empty()) std::fprintf(stderr, "errors.txt holds: %s\n", errors.c_str());
        if (offLines != 1) std::fprintf(stderr, "%d 'sound is off' lines\n", offLines);
        std::fflush(nullptr);
        _exit(errors.empty() && offLines == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  if (old)
    setenv("ALSOFT_DRIVERS", saved.c_str(), 1);
  else
    unsetenv("ALSOFT_DRIVERS");
}

}  // namespace
