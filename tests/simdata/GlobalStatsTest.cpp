// Lifetime statistics: counters, the stat.ini round trip, temporary counters, reminders.
#include <filesystem>
#include <vector>

#include "SimdataTestSupport.h"
#include "engine/Singletons.h"
#include "simdata/GlobalStats.h"

namespace {
using namespace simdata_test;

std::vector<std::string> g_shownPages;
bool RecordPage(const std::string& page) {
  g_shownPages.push_back(page);
  return true;
}

class GlobalStatsTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    g_shownPages.clear();
    SIM_GlobalStats::SetReminderPresenter(&RecordPage);
  }
  void TearDown() override {
    SIM_GlobalStats::SetReminderPresenter(nullptr);
    SimdataTest::TearDown();
  }
};

TEST_F(GlobalStatsTest, CountersRoundTripAndOneCharacterKeysAreDropped) {
  WriteText(UserFile("stat.ini"), "[stats]\nbattles_won = 3\nx = 9\nattempts = 4\nbattles_lost = junk\n");
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  ASSERT_TRUE(stats.Load());
  EXPECT_EQ(stats.GetStat("battles_won"), 3);
  EXPECT_EQ(stats.GetStat("x"), 0);
  EXPECT_EQ(stats.GetStat("battles_lost"), 0);
  stats.AddStat("battles_won", 2);
  ASSERT_TRUE(stats.Save());
  EXPECT_EQ(ReadText(UserFile("stat.ini")), "[stats]\nbattles_won = 5\nattempts = 4\nbattles_lost = 0\n\n");
}

TEST_F(GlobalStatsTest, LoadAppendsAndAMissingFileLeavesCountersAlone) {
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.SetStat("battles_fought", 7);
  EXPECT_FALSE(stats.Load());
  EXPECT_EQ(stats.GetStat("battles_fought"), 7);
}

TEST_F(GlobalStatsTest, GetDoesNotCreateAndAddCreatesWithTheAmount) {
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  EXPECT_EQ(stats.GetStat("custom_maps_posted"), 0);
  EXPECT_TRUE(stats.Counters().empty());
  stats.AddStat("consecutive_victories", -2);
  EXPECT_EQ(stats.GetStat("consecutive_victories"), -2);
  stats.SetStat("consecutive_victories", 0);
  EXPECT_EQ(stats.GetStat("consecutive_victories"), 0);
  EXPECT_EQ(stats.Counters().size(), 1u);
}

TEST_F(GlobalStatsTest, EndOfBattleRemovesEveryCounterNamedTemp) {
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  for (const char* name :
       {"temp_unit_tank_jackal", "battles_won", "attempts", "temp_dogtags_collected", "deployed_total_tank"})
    stats.AddStat(name, 1);
  stats.RemoveTempStats();
  std::vector<std::string> left;
  for (const auto& c : stats.Counters()) left.push_back(c->name);
  EXPECT_EQ(left, (std::vector<std::string>{"battles_won", "deployed_total_tank"}));
}

TEST_F(GlobalStatsTest, RemindersShowAboveTheirThresholdAndStepDown) {
  // Counter value before this run's increment, the reminder checked, shown, value after.
  struct Case {
    const char* counter;
    int before;
    int reminder;
    bool shown;
    int after;
  };
  const Case cases[] = {
      {"reminder_CREATEMAP", 4, 2, false, 5},    {"reminder_CREATEMAP", 5, 2, true, 2},
      {"reminder_ENTERUSERNAME", 2, 0, true, 1}, {"reminder_ENTERUSERNAME", 1, 0, false, 2},
      {"reminder_TRYONLINEMAP", 6, 3, true, 4},  {"reminder_CREATEUNIT", 3, 1, true, 2},
  };
  for (const Case& c : cases) {
    ResetAllSingletons();
    GetGame().InitUserFolders();
    g_shownPages.clear();
    SIM_GlobalStats& stats = SIM_GlobalStats::Get();
    stats.SetStat(c.counter, c.before);
    stats.UpdateReminders();
    EXPECT_EQ(stats.CheckReminder(c.reminder), c.shown) << c.counter << " " << c.before;
    EXPECT_EQ(stats.GetStat(c.counter), c.after) << c.counter << " " << c.before;
    EXPECT_EQ(g_shownPages, c.shown ? std::vector<std::string>{c.counter} : std::vector<std::string>{});
  }
}

TEST_F(GlobalStatsTest, RemindersAreCountedOncePerRunAndStoredWithTheFeats) {
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.UpdateReminders();
  stats.UpdateReminders();
  EXPECT_EQ(stats.GetStat("reminder_CREATEUNIT"), 1);
  const std::string text = ReadText(UserFile("stat.ini"));
  EXPECT_NE(text.find("FEAT_USERNAME_ENTERED = 0\n"), std::string::npos);
  EXPECT_NE(text.find("FEAT_CHALLENGE_TRIED = 0\n"), std::string::npos);
}

TEST_F(GlobalStatsTest, FeatsFromTheUserFoldersSilenceTheirReminders) {
  WriteText(GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/my_tank.txt", "[config]\n");
  std::filesystem::create_directories(GetUserFolder(USERFOLDER_SCENARIOS) + "/.hidden");
  WriteText(GetUserFolder(USERFOLDER_WEB) + "/ztkcdu", "commander");
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  for (const char* name : {"reminder_ENTERUSERNAME", "reminder_CREATEUNIT", "reminder_CREATEMAP"})
    stats.SetStat(name, 50);
  stats.UpdateReminders();
  const ReminderState* state = stats.GetReminderState();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->feats[0], 1);
  EXPECT_EQ(state->feats[1], 1);
  EXPECT_EQ(state->feats[2], 0) << "a dot folder is not a map";
  EXPECT_FALSE(stats.CheckReminder(0));
  EXPECT_FALSE(stats.CheckReminder(1));
  EXPECT_TRUE(stats.CheckReminder(2));
  EXPECT_FALSE(stats.CheckReminder(4));
  EXPECT_EQ(stats.GetStat("FEAT_UNIT_DESIGNED"), 1);
}

TEST_F(GlobalStatsTest, FailedSaveIsReportedAndKeepsTheOldFile) {
  WriteText(UserFile("stat.ini"), "[stats]\nbattles_won = 1\n\n");
  zt_test::BlockTemporaryFiles block;
  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.SetStat("battles_won", 2);
  EXPECT_FALSE(stats.Save());
  EXPECT_EQ(ReadText(UserFile("stat.ini")), "[stats]\nbattles_won = 1\n\n");
  EXPECT_NE(DebugLogText().find("Failed to save statistics"), std::string::npos);
}

}  // namespace
