// Achievements: unlocked exactly when their counter reaches the threshold, once, with
// Steam told once; the server's list marks without telling.
#include <string>
#include <vector>

#include "SimdataTestSupport.h"
#include "engine/Folders.h"
#include "engine/Singletons.h"
#include "simdata/Achievements.h"
#include "simdata/DataHooks.h"
#include "simdata/GlobalStats.h"

using namespace simdata_test;

namespace {

std::vector<std::string> g_sent;

class AchievementsTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    g_sent.clear();
    saved = GetDataHooks().setSteamAchievement;
    GetDataHooks().setSteamAchievement = [](const std::string& name) { g_sent.push_back(name); };
    file = UserFile("ach.csv");
    WriteText(file,
              "// a comment line\n"
              "not a row,ACH_IGNORED,T,D,H,C,R,battles_won,0\n"
              "#,ACH_TEN,T,D,H,C,R,battles_won,10\n"
              "#,ACH_FIRST,T,D,H,C,R,battles_won,1\n"
              "#,ACH_STREAK,T,D,H,C,R,consecutive_victories,3\n");
  }
  void TearDown() override {
    GetDataHooks().setSteamAchievement = saved;
    SimdataTest::TearDown();
  }

  std::string file;
  void (*saved)(const std::string&) = nullptr;
};

TEST_F(AchievementsTest, OnlyMarkedLinesDefineAchievements) {
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(file);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.FindByName("ACH_IGNORED"), nullptr);
  const SIM_Achievement* ten = list.FindByName("ACH_TEN");
  ASSERT_NE(ten, nullptr);
  EXPECT_EQ(ten->stat, "battles_won");
  EXPECT_EQ(ten->threshold, 10);
  EXPECT_EQ(ten->title, "T");
  EXPECT_EQ(ten->rank, "R");
  list.LoadDefinitions(file);
  EXPECT_EQ(list.Count(), 3) << "definitions load once";
}

TEST_F(AchievementsTest, AnAchievementUnlocksWhenItsCounterReachesTheThresholdAndOnlyOnce) {
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(file);
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  const struct {
    int won;
    std::vector<std::string> sentSoFar;
  } steps[] = {
      {0, {}},
      {1, {"ACH_FIRST"}},
      {9, {"ACH_FIRST"}},
      {10, {"ACH_FIRST", "ACH_TEN"}},
      {11, {"ACH_FIRST", "ACH_TEN"}},
  };
  for (const auto& step : steps) {
    stats.SetStat("battles_won", step.won);
    list.CheckStats();
    list.CheckStats();
    EXPECT_EQ(g_sent, step.sentSoFar) << step.won << " won";
    EXPECT_EQ(list.NewlyUnlockedNames(), step.sentSoFar) << step.won << " won";
  }
  list.ClearUnlocked();
  EXPECT_TRUE(list.NewlyUnlockedNames().empty());
  list.CheckStats();
  EXPECT_TRUE(list.NewlyUnlockedNames().empty()) << "shown achievements are not queued again";
}

TEST_F(AchievementsTest, TheServersListMarksWithoutTellingAndUnknownNamesAreIgnored) {
  const std::string listFile = UserFile("web/achievements_list.txt");
  WriteText(listFile, "#,ACH_TEN,2012\n#,ACH_NOT_OURS,2013\nACH_STREAK\n");
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(file);
  list.LoadUnlockedFrom(listFile);
  EXPECT_EQ(list.UnlockedNames(), std::vector<std::string>{"ACH_TEN"});
  EXPECT_TRUE(g_sent.empty());
  SIM_GlobalStats::Get().SetStat("battles_won", 12);
  list.CheckStats();
  EXPECT_EQ(g_sent, std::vector<std::string>{"ACH_FIRST"}) << "one the server knows is not sent again";
}

TEST_F(AchievementsTest, AchievementsEarnedInAnEarlierSessionAreNotAnnouncedAgain) {
  SIM_GlobalStats::Get().SetStat("battles_won", 3);
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(file);
  list.MarkEarnedBefore();
  list.CheckStats();
  EXPECT_TRUE(g_sent.empty());
  EXPECT_TRUE(list.NewlyUnlockedNames().empty());
  EXPECT_EQ(list.UnlockedNames(), std::vector<std::string>{"ACH_FIRST"});
}

TEST_F(AchievementsTest, TheShippedTableNamesRealCountersAndTextsForEveryAchievement) {
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(zt_test::BuildDir() + "/data/ach.csv");
  ASSERT_GE(list.Count(), 10);
  const std::string strings = ReadText(zt_test::BuildDir() + "/data/strings.ini");
  for (const auto& a : list.All()) {
    EXPECT_GT(a->threshold, 0) << a->name;
    for (const std::string& key : {a->title, a->description, a->hint, a->category, a->rank})
      EXPECT_NE(strings.find("\n" + key + "="), std::string::npos) << a->name << ": " << key;
    EXPECT_EQ(a->stat.find("temp"), std::string::npos) << a->name << ": per-battle counters are gone by then";
    // Three medal layers each, drawn from art of the achievement's own.
    for (const std::string& picture : a->pictures) {
      ASSERT_FALSE(picture.empty()) << a->name;
      EXPECT_TRUE(FileExists(zt_test::BuildDir() + "/data/bitmaps/ui/medals/" + picture)) << picture;
      for (const auto& other : list.All())
        if (other.get() != a.get()) {
          for (const std::string& p : other->pictures)
            EXPECT_NE(p, picture) << a->name << " and " << other->name;
        }
    }
  }
}

TEST_F(AchievementsTest, AMedalWhoseCounterFellBackIsNotEarnedAgainAfterARestart) {
  for (int session = 0; session < 3; ++session) {
    SCOPED_TRACE(session);
    SIM_AchievementList& list = SIM_AchievementList::Get();
    list.LoadDefinitions(file);
    SIM_GlobalStats& stats = SIM_GlobalStats::Get();
    // A broken streak starts again from 0 and reaches the threshold once more.
    stats.SetStat("consecutive_victories", 0);
    list.MarkEarnedBefore();
    stats.SetStat("consecutive_victories", 3);
    list.CheckStats();
    const std::vector<std::string> shown = list.NewlyUnlockedNames();
    if (session == 0) {
      EXPECT_EQ(shown, std::vector<std::string>{"ACH_STREAK"});
      EXPECT_NE(ReadText(UserFile(SIM_AchievementList::kEarnedFile)).find("ACH_STREAK\n"), std::string::npos);
    } else {
      EXPECT_TRUE(shown.empty()) << "earned in an earlier session";
    }
    ResetAllSingletons();
    GetGame().InitUserFolders();
  }
  EXPECT_EQ(g_sent, std::vector<std::string>{"ACH_STREAK"}) << "Steam is told once";
}

TEST_F(AchievementsTest, AnUnwritableEarnedFileIsLoggedAndTheMedalStillShows) {
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions(file);
  SIM_GlobalStats::Get().SetStat("battles_won", 1);
  {
    zt_test::BlockTemporaryFiles blocked;
    list.CheckStats();
  }
  EXPECT_EQ(list.NewlyUnlockedNames(), std::vector<std::string>{"ACH_FIRST"});
  EXPECT_FALSE(FileExists(UserFile(SIM_AchievementList::kEarnedFile)));
  CloseDebugFiles();
  EXPECT_NE(ReadText(zt_test::DebugLogPath()).find("Failed to save medals.dat"), std::string::npos);
}

}  // namespace
