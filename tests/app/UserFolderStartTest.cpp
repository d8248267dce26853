// Start-up's user folder: a file where a folder belongs stops the game with a message
// naming it, temporary files of a killed run are swept, and a damaged prefs.ini is kept
// aside before the desktop size replaces it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/Game.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "support/FatalErrors.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

using zt_test::ReadText;
using zt_test::UserRoot;
using zt_test::WriteText;

class UserFolderStart : public ::testing::Test {
 protected:
  void SetUp() override { SetFatalErrorHook(&zt_test::ThrowOnFatal); }
  void TearDown() override {
    SetFatalErrorHook(nullptr);
    CloseDebugFiles();
  }
};

class FileInPlaceOfFolder : public UserFolderStart, public ::testing::WithParamInterface<const char*> {};

TEST_P(FileInPlaceOfFolder, StopsWithAMessageNamingThePathAndWhatToDo) {
  const std::string blocker = UserRoot() + "/" + GetParam();
  WriteText(blocker, "not a folder");
  const std::string text = zt_test::FatalTextOf([] { GetGame().InitUserFolders(); });
  EXPECT_NE(text.find(blocker), std::string::npos) << text;
  EXPECT_NE(text.find("Move or delete that file"), std::string::npos) << text;
  EXPECT_EQ(text.find("File exists"), std::string::npos) << text;
  EXPECT_EQ(ReadText(blocker), "not a folder") << "the player's file is left alone";
  EXPECT_NE(ReadText(UserRoot() + "/debug/errors.txt").find(blocker), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Folders, FileInPlaceOfFolder,
                         ::testing::Values("player_units", "scenarios", "web", "web/patches",
                                           "web/challenges"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '/') c = '_';
                           return name;
                         });

TEST_F(UserFolderStart, FileInPlaceOfTheRootFolderIsNamedToo) {
  WriteText(UserRoot(), "a file called Zentrak");
  const std::string text = zt_test::FatalTextOf([] { GetGame().InitUserFolders(); });
  EXPECT_NE(text.find(UserRoot()), std::string::npos) << text;
  EXPECT_NE(text.find("Move or delete that file"), std::string::npos) << text;
}

TEST_F(UserFolderStart, DanglingLinkInPlaceOfAFolderIsNamed) {
  std::filesystem::create_directories(UserRoot());
  ASSERT_EQ(::symlink("/nonexistent/place", (UserRoot() + "/bitmaps").c_str()), 0);
  const std::string text = zt_test::FatalTextOf([] { GetGame().InitUserFolders(); });
  EXPECT_NE(text.find(UserRoot() + "/bitmaps"), std::string::npos) << text;
}

TEST_F(UserFolderStart, LinkedFoldersAreAccepted) {
  const std::string real = zt_test::UserDir() + "/units_elsewhere";
  std::filesystem::create_directories(real);
  std::filesystem::create_directories(UserRoot());
  ASSERT_EQ(::symlink(real.c_str(), (UserRoot() + "/player_units").c_str()), 0);
  GetGame().InitUserFolders();
  EXPECT_EQ(GetUserFolder(USERFOLDER_PLAYER_UNITS), UserRoot() + "/player_units");
}

TEST_F(UserFolderStart, TemporaryFilesOfAKilledRunAreRemoved) {
  WriteText(UserRoot() + "/.config.txt.ztk-tmp-0badc0de", "half a sa");
  WriteText(UserRoot() + "/player_units/.tank.txt.ztk-tmp-12345678", "half");
  WriteText(UserRoot() + "/player_units/tank.txt", "a design");
  GetGame().InitUserFolders();
  EXPECT_FALSE(std::filesystem::exists(UserRoot() + "/.config.txt.ztk-tmp-0badc0de"));
  EXPECT_FALSE(std::filesystem::exists(UserRoot() + "/player_units/.tank.txt.ztk-tmp-12345678"));
  EXPECT_EQ(ReadText(UserRoot() + "/player_units/tank.txt"), "a design");
}

struct PrefsCase {
  const char* name;
  std::string bytes;
};

class DamagedPrefs : public UserFolderStart, public ::testing::WithParamInterface<PrefsCase> {};

TEST_P(DamagedPrefs, AreKeptAsDamagedAndTheDesktopIsUsed) {
  Game& game = GetGame();
  game.InitUserFolders();
  const std::string path = UserRoot() + "/prefs.ini";
  WriteText(path, GetParam().bytes);
  DisplayPrefs prefs;
  EXPECT_FALSE(game.ReadPrefs(prefs, 1280, 1024)) << "read as missing: start-up writes the desktop size";
  EXPECT_EQ(ReadText(path + ".damaged"), GetParam().bytes);
  EXPECT_NE(ReadText(zt_test::ErrorLogPath()).find("Player file " + path + " is damaged"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedPrefs,
                         ::testing::Values(PrefsCase{"Empty", ""}, PrefsCase{"Truncated", "[pre"},
                                           PrefsCase{"Garbage", "width=1024\nheight=768\n"},
                                           PrefsCase{"Binary", std::string("[prefs]\nwidth = \0\0\x01", 19)}),
                         [](const ::testing::TestParamInfo<PrefsCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(UserFolderStart, SoundPrefsAreReadAndNotKeptAside) {
  Game& game = GetGame();
  game.InitUserFolders();
  WriteText(UserRoot() + "/prefs.ini", "[prefs]\nwidth = 1024\nheight = 768\nwindowed = 1\n");
  DisplayPrefs prefs;
  ASSERT_TRUE(game.ReadPrefs(prefs, 1280, 1024));
  EXPECT_EQ(prefs.width, 1024);
  EXPECT_TRUE(prefs.windowed);
  EXPECT_FALSE(std::filesystem::exists(UserRoot() + "/prefs.ini.damaged"));
}

}  // namespace
