// The Steam glue: without a client it stays off and every call returns; with the
// file-backed stand-in it mirrors files safely and re-sends achievements.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GameHooks.h"
#include "app/SteamGlue.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "platform/SteamFileBackend.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string DebugText() {
  CloseDebugFiles();
  return zt_test::ReadText(zt_test::DebugLogPath());
}

TEST(SteamGlue, WithoutSteamEveryCallReturnsAndNothingIsTouched) {
  OpenDebugFile(zt_test::UserRoot());
  const std::string root = zt_test::UserRoot();
  zt_test::WriteText(root + "/stat.ini", "[stats]\nbattles_won = 3\n\n");
  fs::create_directories(root + "/scenarios/map1");

  SteamData& steam = GetSteamData();
  steam.Init();
  EXPECT_FALSE(steam.IsRunning());
  EXPECT_FALSE(steam.HasRemoteStorage());
  steam.SetAchievement("ACH_FIRST_BLOOD");
  steam.CloudSynchTo((root + "/stat.ini").c_str());
  steam.CloudDelete((root + "/stat.ini").c_str());
  steam.CloudDeleteTree((root + "/scenarios/map1").c_str());
  steam.PullRemoteFiles();
  steam.CloudSynchFrom("stat.ini");
  steam.OnUserStatsReceived({0, 1, 1});
  steam.RunCallbacks();
  steam.Shutdown();
  steam.CloudSynchTo(nullptr);
  EXPECT_FALSE(steam.StatsReceived());

  const std::string log = DebugText();
  EXPECT_NE(log.find("Attempting to initialise steam"), std::string::npos);
  EXPECT_NE(log.find("Steam initialisation failed"), std::string::npos);
  EXPECT_EQ(log.find("Attempting cloud synch"), std::string::npos) << "no remote storage call";
  EXPECT_EQ(zt_test::ReadText(root + "/stat.ini"), "[stats]\nbattles_won = 3\n\n");
  EXPECT_TRUE(fs::is_directory(root + "/scenarios/map1"));
}

TEST(SteamGlue, RemoteNamesAreUserFolderRelative) {
  struct Case {
    const char* root;
    const char* path;
    const char* remote;
  } cases[] = {
      {"/home/p/Zentrak", "/home/p/Zentrak/stat.ini", "stat.ini"},
      {"/home/p/Zentrak/", "/home/p/Zentrak/player_units/Tiger.ini", "player_units/Tiger.ini"},
      {"/home/p/Zentrak", "/home/p/Zentrak\\hs.dat", "hs.dat"},
      {"/home/p/Zentrak", "/home/p/ZentrakOld/stat.ini", ""},
      {"/home/p/Zentrak", "/etc/passwd", ""},
      {"/home/p/Zentrak", "/home/p/Zentrak", ""},
      {"", "/home/p/Zentrak/stat.ini", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SteamData::RemoteName(c.root, c.path), c.remote) << c.root << " | " << c.path;
}

TEST(SteamGlue, OnlyPlainRelativeRemoteNamesAreSafe) {
  struct Case {
    std::string name;
    bool safe;
  } cases[] = {
      {"stat.ini", true},
      {"player_units/Tiger.ini", true},
      {"deployments/12/rec.dat", true},
      {"", false},
      {"../evil.ini", false},
      {"player_units/../../evil.ini", false},
      {"/etc/cron.d/evil", false},
      {"\\\\server\\share", false},
      {"a//b", false},
      {"a/./b", false},
      {"folder/", false},
      {std::string("bad\x01name"), false},
      {std::string(3000, 'a'), false},
  };
  for (const Case& c : cases) EXPECT_EQ(SteamData::IsSafeRemoteName(c.name), c.safe) << c.name;
}

class SteamDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = zt_test::UserRoot();
    fs::create_directories(root);
    OpenDebugFile(root);
    auto b = std::make_unique<platform::SteamFileBackend>(zt_test::UserDir() + "/cloud", 480);
    backend = b.get();
    pending = std::move(b);
  }
  void TearDown() override { SteamData::SetAchievementSource(nullptr); }
  SteamData& Start() {
    SteamData& s = InstallSteamData(std::move(pending));
    s.Init();
    return s;
  }

  std::string root;
  platform::SteamFileBackend* backend = nullptr;
  std::unique_ptr<platform::SteamFileBackend> pending;
};

TEST_F(SteamDoubleTest, StartUpPullsEveryRemoteFileOverTheLocalOne) {
  zt_test::WriteText(root + "/stat.ini", "old local stats");
  backend->PutRemoteFile("stat.ini", "[stats]\nbattles_won = 9\n\n");
  backend->PutRemoteFile("player_units/Tiger.ini", "[design]\nname = Tiger\n");
  backend->PutRemoteFile("bitmaps/badges/badge.dds", "DDS data");

  SteamData& steam = Start();
  EXPECT_TRUE(steam.IsRunning());
  EXPECT_EQ(steam.AppId(), 480u);
  EXPECT_TRUE(steam.HasRemoteStorage());
  EXPECT_EQ(backend->statsRequests, 1);
  EXPECT_EQ(zt_test::ReadText(root + "/stat.ini"), "[stats]\nbattles_won = 9\n\n");
  EXPECT_EQ(zt_test::ReadText(root + "/player_units/Tiger.ini"), "[design]\nname = Tiger\n");
  EXPECT_EQ(zt_test::ReadText(root + "/bitmaps/badges/badge.dds"), "DDS data");
  // A pulled picture can be drawn at once: its folder joins the texture folders; other
  // folders do not.
  const std::vector<std::string>& folders = GetRenderDevice().TextureFolders();
  auto registered = [&](const std::string& f) {
    return std::find(folders.begin(), folders.end(), f) != folders.end();
  };
  EXPECT_TRUE(registered(root + "/bitmaps/badges"));
  EXPECT_FALSE(registered(root + "/player_units"));
  const std::string log = DebugText();
  EXPECT_NE(log.find("Attempting cloud synch from: [stat.ini]"), std::string::npos);
  EXPECT_NE(log.find("Cloud synch success"), std::string::npos);
}

TEST_F(SteamDoubleTest, HostileRemoteNamesNeverWriteOutsideTheUserFolder) {
  const std::string outside = zt_test::UserDir() + "/escaped.txt";
  backend->listedOnly["../escaped.txt"] = "pwned";
  backend->listedOnly[outside] = "pwned";
  backend->listedOnly["player_units/../../escaped.txt"] = "pwned";
  // Longer than the name buffer: cutting it would name another file ("d/d/.../xxx").
  std::string longName;
  while (longName.size() < 2000) longName += "d/";
  longName += std::string(2047 - longName.size(), 'x') + "_tail.ini";
  backend->listedOnly[longName] = "pwned";
  backend->PutRemoteFile("hs.dat", "scores");

  Start();
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_FALSE(fs::exists(root + "/d")) << "an over-long remote name was cut and pulled";
  EXPECT_EQ(zt_test::ReadText(root + "/hs.dat"), "scores") << "the safe file is still pulled";
  EXPECT_NE(DebugText().find("unsafe remote name"), std::string::npos);
}

TEST_F(SteamDoubleTest, AShortRemoteReadKeepsTheLocalFile) {
  zt_test::WriteText(root + "/unl.dat", "my unlocks");
  backend->PutRemoteFile("unl.dat", "a newer but longer unlock list");
  backend->shortReadBy = 5;
  Start();
  EXPECT_EQ(zt_test::ReadText(root + "/unl.dat"), "my unlocks");
  EXPECT_NE(DebugText().find("Cloud synch failure"), std::string::npos);
}

TEST_F(SteamDoubleTest, SavesArePushedUnderTheirRemoteNames) {
  SteamData& steam = Start();
  zt_test::WriteText(root + "/chal_beaten.ini", "[beaten]\nc1\n");
  zt_test::WriteText(root + "/player_units/Tiger.ini", "[design]\n");
  zt_test::WriteText(root + "/empty.txt", "");
  steam.CloudSynchTo((root + "/chal_beaten.ini").c_str());
  steam.CloudSynchTo((root + "/player_units/Tiger.ini").c_str());
  steam.CloudSynchTo((root + "/empty.txt").c_str());
  EXPECT_EQ(backend->RemoteFile("chal_beaten.ini"), "[beaten]\nc1\n");
  EXPECT_EQ(backend->RemoteFile("player_units/Tiger.ini"), "[design]\n");
  EXPECT_TRUE(backend->HasRemoteFile("empty.txt"));

  // Files that are missing or outside the user folder are logged, never sent.
  const size_t writes = backend->writes.size();
  steam.CloudSynchTo((root + "/missing.ini").c_str());
  steam.CloudSynchTo("/etc/hostname");
  EXPECT_EQ(backend->writes.size(), writes);
  const std::string log = DebugText();
  EXPECT_NE(log.find("Attempting cloud synch to: [chal_beaten.ini]"), std::string::npos);
  EXPECT_NE(log.find("Remote storage write success"), std::string::npos);
  EXPECT_NE(log.find("Cloud synch file open failure: [" + root + "/missing.ini]"), std::string::npos);
}

TEST_F(SteamDoubleTest, DeletingAFolderTreeDeletesEveryRemoteCopyAndTheFolderName) {
  SteamData& steam = Start();
  const std::string map = root + "/scenarios/map1";
  for (const char* f : {"/scenario.ini", "/lightmap.bmp", "/designs/Tiger.ini"}) {
    zt_test::WriteText(map + f, "x");
    steam.CloudSynchTo((map + f).c_str());
  }
  ASSERT_TRUE(backend->HasRemoteFile("scenarios/map1/designs/Tiger.ini"));
  steam.CloudDeleteTree(map.c_str());
  for (const char* f :
       {"scenarios/map1/scenario.ini", "scenarios/map1/lightmap.bmp", "scenarios/map1/designs/Tiger.ini"})
    EXPECT_FALSE(backend->HasRemoteFile(f)) << f;
  // The folder's own name is asked for too; the cloud has no such file.
  ASSERT_FALSE(backend->failedDeletes.empty());
  EXPECT_EQ(backend->failedDeletes.back(), "scenarios/map1");
  EXPECT_NE(DebugText().find("Remote storage delete failure"), std::string::npos);
  EXPECT_TRUE(fs::exists(map + "/scenario.ini")) << "only the cloud copies go";
}

TEST_F(SteamDoubleTest, AchievementsEarnedOfflineAreSentWhenStatsArrive) {
  SteamData::SetAchievementSource([] {
    return std::vector<SteamData::LocalAchievement>{
        {"ACH_WIN_10", true}, {"ACH_WIN_100", false}, {"ACH_DESIGNER", true}};
  });
  backend->steamAchievements = {"ACH_DESIGNER"};
  SteamData& steam = Start();
  EXPECT_TRUE(backend->achievementsSet.empty()) << "nothing before the stats arrive";
  steam.RunCallbacks();
  EXPECT_TRUE(steam.StatsReceived());
  EXPECT_EQ(backend->achievementsSet, std::vector<std::string>{"ACH_WIN_10"});
  // Earned now, while running: sent at once.
  steam.SetAchievement("ACH_WIN_100");
  EXPECT_EQ(backend->achievementsSet.back(), "ACH_WIN_100");
}

// The game's own achievement list is what the glue sends: earlier ones when the stats
// arrive, a new one the moment it is unlocked.
TEST_F(SteamDoubleTest, TheGamesAchievementsReachSteamWhenStatsArriveAndWhenEarned) {
  RegisterGameServices();  // an earlier test may have cleared the achievement source
  SIM_GlobalStats::Get().SetStat("battles_won", 1);
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.MarkEarnedBefore();
  SteamData& steam = Start();
  steam.RunCallbacks();
  EXPECT_EQ(backend->achievementsSet, std::vector<std::string>{"ACH_FIRST_VICTORY"});
  SIM_GlobalStats::Get().SetStat("battles_won", 10);
  list.CheckStats();
  EXPECT_EQ(backend->achievementsSet, (std::vector<std::string>{"ACH_FIRST_VICTORY", "ACH_TEN_VICTORIES"}));
  list.CheckStats();
  EXPECT_EQ(backend->achievementsSet.size(), 2u) << "sent once";
}

TEST_F(SteamDoubleTest, FailedOrForeignStatsSendNothing) {
  SteamData::SetAchievementSource([] {
    return std::vector<SteamData::LocalAchievement>{{"ACH_WIN_10", true}};
  });
  backend->statsResult = 2;
  SteamData& steam = Start();
  steam.RunCallbacks();
  steam.OnUserStatsReceived({999, 1, 1});  // another game's stats
  EXPECT_FALSE(steam.StatsReceived());
  EXPECT_TRUE(backend->achievementsSet.empty());
  EXPECT_NE(DebugText().find("RequestStats - failed, 2"), std::string::npos);
}

TEST_F(SteamDoubleTest, NotLoggedOnMeansAchievementsButNoCloud) {
  backend->loggedOn = false;
  backend->PutRemoteFile("stat.ini", "remote");
  SteamData& steam = Start();
  EXPECT_TRUE(steam.IsRunning());
  EXPECT_FALSE(steam.HasRemoteStorage());
  EXPECT_FALSE(fs::exists(root + "/stat.ini"));
  zt_test::WriteText(root + "/stat.ini", "local");
  steam.CloudSynchTo((root + "/stat.ini").c_str());
  EXPECT_EQ(backend->RemoteFile("stat.ini"), "remote");
  steam.SetAchievement("ACH_WIN_10");
  EXPECT_EQ(backend->achievementsSet.size(), 1u);
  steam.Shutdown();
  steam.Shutdown();
  EXPECT_EQ(backend->shutdownCalls, 1);
  EXPECT_FALSE(steam.IsRunning());
}

TEST_F(SteamDoubleTest, RefusedInitLeavesSteamOff) {
  backend->initSucceeds = false;
  backend->PutRemoteFile("stat.ini", "remote");
  SteamData& steam = Start();
  EXPECT_FALSE(steam.IsRunning());
  steam.RunCallbacks();
  steam.Shutdown();
  EXPECT_EQ(backend->runCallbacksCalls, 0);
  EXPECT_EQ(backend->shutdownCalls, 0);
  EXPECT_FALSE(fs::exists(root + "/stat.ini"));
}

}  // namespace
