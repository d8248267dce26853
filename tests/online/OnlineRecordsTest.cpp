// The daily update, data changes, metrics, messages and the profile records.
#include <memory>
#include <utility>
#include <vector>

#include "app/SteamGlue.h"
#include "browser/ChallengeList.h"
#include "online/Messages.h"
#include "online/Metrics.h"
#include "online/OnlineFixture.h"
#include "online/OnlineUpdate.h"
#include "online/PlayerProfile.h"
#include "platform/SteamFileBackend.h"

using namespace zt_test;

namespace {

int CountRequests(const std::string& log, const std::string& script) {
  int n = 0;
  for (size_t at = 0; (at = log.find("/server/" + script, at)) != std::string::npos; ++at) ++n;
  return n;
}

class UpdateTest : public OnlineTest {
 protected:
  void SetUp() override {
    OnlineTest::SetUp();
    SetUpdateClock([] { return UtcDate{2031, 4, 7}; });
    GetInternet().WriteStoredUserName("recruit");
  }
  void TearDown() override {
    SetUpdateClock(nullptr);
    OnlineTest::TearDown();
  }
  // Runs the worker body on this thread as StartOnlineUpdateThread would.
  OnlineUpdateState::Result RunUpdate() {
    OnlineUpdateState state;
    ReadLastCheck(state);
    OnlineUpdateState::Result result;
    SIM_WorkerJob job;
    OnlineUpdateThread(job, result, state.checkedToday,
                       DataChangesDate(state.lastYear, state.lastMonth, state.lastDay), false);
    return result;
  }
  std::string LastCheck() { return GetUserFolder(USERFOLDER_ROOT) + "/lst_chk.ini"; }
};

TEST_F(UpdateTest, DayTable) {
  struct Case {
    const char* what;
    const char* lastCheck;  // lst_chk.ini before, null for none
    const char* dataChangesMode;
    const char* sentDate;  // null: no data-changes request
    bool updateCheck;
    bool lastCheckWritten;
  } cases[] = {
      {"first run", nullptr, "", "0-00-00", true, true},
      {"yesterday", "[config]\nday = 6\nmonth = 4\nyear = 2031\n", "", "2031-04-06", true, true},
      {"same day", "[config]\nday = 7\nmonth = 4\nyear = 2031\n", "", nullptr, false, false},
      {"changes not fetched", "[config]\nday = 1\nmonth = 12\nyear = 2030\n", "html500", "2030-12-01", true,
       false},
      {"damaged file", "[config]\nday = 99\nmonth = -4\nyear = 2031\n", "", "0-00-00", true, true},
  };
  for (const Case& c : cases) {
    std::remove(LastCheck().c_str());
    if (c.lastCheck) WriteAll(LastCheck(), c.lastCheck);
    const std::string before = ReadAll(LastCheck());
    server.Clear();
    server.SetMode("get_data_changes.php", c.dataChangesMode);
    RunUpdate();
    std::string log = server.Log();
    if (c.sentDate)
      EXPECT_NE(log.find("get_data_changes.php\t&username=recruit&date=" + std::string(c.sentDate)),
                std::string::npos)
          << c.what;
    else
      EXPECT_EQ(CountRequests(log, "get_data_changes.php"), 0) << c.what;
    EXPECT_EQ(CountRequests(log, "check_update.php"), c.updateCheck ? 1 : 0) << c.what;
    // Every start refreshes the rest.
    for (const char* script :
         {"get_achievements.php", "getuserprofile.php", "get_messages.php", "get_friends.php",
          "get_friendship_invites_sent.php", "get_friendship_invites_recvd.php"})
      EXPECT_EQ(CountRequests(log, script), 1) << c.what << " " << script;
    if (c.lastCheckWritten)
      EXPECT_EQ(ReadAll(LastCheck()), "[config]\nday = 7\nmonth = 4\nyear = 2031\n\n") << c.what;
    else
      EXPECT_EQ(ReadAll(LastCheck()), before) << c.what;
  }
}

TEST_F(UpdateTest, ResultsReachTheProfileOnlyOnTheGuiThreadsTurn) {
  OnlineUpdateState::Result result = RunUpdate();
  ASSERT_TRUE(result.profileFetched);
  EXPECT_EQ(result.profile.generalName, "Anna Kovacs");
  EXPECT_EQ(result.profile.rank, 2);
  EXPECT_EQ(GetPlayerProfile().GetGeneralName(), "notset");  // untouched by the worker
  EXPECT_TRUE(result.messagesRefreshed);
  EXPECT_EQ(GetMessageDatabase().Messages().size(), 4u);
  EXPECT_EQ(result.updateAnswer, "none");
}

TEST_F(UpdateTest, StartedUpdateIsTakenByTheMenuDraw) {
  StartOnlineUpdateThread();
  ASSERT_TRUE(GetThreadManager().Busy());
  GetThreadManager().JoinAll();
  ShowPatchFound();
  EXPECT_FALSE(GetThreadManager().Busy());
  EXPECT_EQ(GetPlayerProfile().GetRegimentName(), "7th Iron Lancers");
  EXPECT_FALSE(GetOnlineUpdateState().patchOffered);
}

// With the Steam client running the server is never asked for an update, at start-up
// as in the daily check; everything else is still refreshed.
TEST_F(UpdateTest, NoUpdateCheckIsSentWhileSteamRuns) {
  SteamData& steam =
      InstallSteamData(std::make_unique<platform::SteamFileBackend>(zt_test::UserDir() + "/cloud", 480));
  steam.Init();
  ASSERT_TRUE(steam.IsRunning());
  server.Clear();
  StartOnlineUpdateThread();
  GetThreadManager().JoinAll();
  ShowPatchFound();
  const std::string log = server.Log();
  EXPECT_EQ(CountRequests(log, "check_update.php"), 0);
  EXPECT_EQ(CountRequests(log, "get_data_changes.php"), 1) << "the daily changes still come";
  EXPECT_EQ(CountRequests(log, "get_friends.php"), 1);
  EXPECT_FALSE(GetOnlineUpdateState().patchOffered);
  steam.Shutdown();
}

// The Online tab's table points into the challenge list: a challenge the server deleted
// leaves the list on the GUI thread, when the main menu's draw takes the results, never
// on the worker while the table may be drawing.
TEST_F(UpdateTest, DeletedChallengesLeaveTheListOnTheGuiThread) {
  SIM_ChallengeDatabase& db = GetChallengeDatabase();
  std::vector<std::unique_ptr<SIM_ChallengeInfo>> list;
  for (const char* id : {"ztk_4711", "ztk_4712"}) {
    list.push_back(std::make_unique<SIM_ChallengeInfo>());
    list.back()->ztkid = id;
    list.back()->name = id;
  }
  db.Adopt(std::move(list));
  const SIM_ChallengeInfo* shown = db.challenges.front().get();  // as the tab's table holds it
  server.Sql("INSERT INTO changes VALUES ('2031-04-07', 'challenge_delete', 'ztk_4711')");
  server.Sql("INSERT INTO changes VALUES ('2031-04-07', 'challenge_delete', '../ztk_4712')");
  StartOnlineUpdateThread();
  ASSERT_TRUE(GetThreadManager().Busy());
  GetThreadManager().JoinAll();
  ASSERT_EQ(db.challenges.size(), 2u) << "the worker changed the list under the table";
  EXPECT_EQ(db.challenges.front().get(), shown);
  ShowPatchFound();
  ASSERT_EQ(db.challenges.size(), 1u) << "the menu's draw takes the deleted challenge out";
  EXPECT_EQ(db.challenges.front()->ztkid, "ztk_4712") << "an id that is no plain name is skipped";
  EXPECT_EQ(ReadAll(db.path).find("ztk_4711"), std::string::npos) << "and the list is saved";
}

TEST_F(UpdateTest, CancelledUpdateDropsItsResults) {
  server.SetMode("*", "stall");
  GetLink().Options().totalTimeoutMs = 30000;
  StartOnlineUpdateThread();
  ASSERT_TRUE(GetThreadManager().Busy());
  GetThreadManager().CancelCurrent();
  EXPECT_FALSE(GetThreadManager().Busy());
  GetThreadManager().JoinAll();
  ShowPatchFound();
  EXPECT_EQ(GetPlayerProfile().GetGeneralName(), "notset");
  EXPECT_FALSE(FileExists(LastCheck()));
}

TEST_F(OnlineTest, DataChangesStayInsideTheBadgeFolder) {
  const std::string badges = GetUserFolder(USERFOLDER_BADGE_DATABASE);
  EnsureDirectoryExists(badges + "/ztk_badge_..");
  WriteAll(badges + "/ztk_badge_../x.jpg", "keep");
  WriteAll(badges + "/../x.jpg", "keep");
  WriteAll(badges + "/ztk_badge_ironhide.jpg", "old");
  WriteAll(Web("data_changes.txt"),
           "#,newlogo,../x,\n#,newlogo,/x,\n#,newlogo,ironhide,\n#,other,1,\nnot a row\n");
  std::vector<std::string> removed;
  EXPECT_EQ(ApplyDataChangesFile(Web("data_changes.txt"), removed), 1);
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(ReadAll(badges + "/ztk_badge_../x.jpg"), "keep");
  EXPECT_EQ(ReadAll(badges + "/../x.jpg"), "keep");
  EXPECT_FALSE(FileExists(badges + "/ztk_badge_ironhide.jpg"));
}

TEST_F(OnlineTest, MetricsTotals) {
  SIM_Metrics& m = GetMetrics();
  m.AddSample("Lancer", 10.0f);
  m.AddSample("Lancer", 5.5f);
  m.AddValue("Lance", 1.0f);  // a prefix is its own entry
  m.AddValue("bad=key [x]", 1.0f);
  EXPECT_FLOAT_EQ(m.Value("Lancer_count"), 2.0f);
  EXPECT_FLOAT_EQ(m.Value("Lancer"), 15.5f);
  EXPECT_FLOAT_EQ(m.Value("Lance"), 1.0f);
  EXPECT_FLOAT_EQ(m.Value("bad=key [x]"), 1.0f);
  EXPECT_EQ(m.Entries()[3].first, "bad_key _x_");  // a safe ini key
  MetricsBattleFacts facts;
  facts.scenarioName = "Hill";
  facts.difficulty = 1;
  facts.victory = true;
  facts.screenWidth = 1280;
  facts.screenHeight = 800;
  facts.averageFrameMs = 0.0;  // nothing timed: no rate, no division by zero
  facts.defendingAiMode = 2;
  m.RecordBattle(facts);
  facts.difficulty = 7;
  facts.victory = false;
  facts.playerDefends = true;
  facts.averageFrameMs = 20.0;
  m.RecordBattle(facts);
  EXPECT_FLOAT_EQ(m.Value("Hill_attacker_medium_victory"), 1.0f);
  EXPECT_FLOAT_EQ(m.Value("Hill_defender_defeat"), 1.0f);
  EXPECT_FLOAT_EQ(m.Value("_screenres_1280x800"), 2.0f);
  EXPECT_FLOAT_EQ(m.Value("_fps_data_count"), 2.0f);
  EXPECT_FLOAT_EQ(m.Value("_fps"), 50.0f);
  EXPECT_FLOAT_EQ(m.Value("_ai_allunits"), 2.0f);
  // Saved when the totals go (at exit) and read back the same, in order of first appearance.
  auto entries = m.Entries();
  ReplaceProcessWide<SIM_Metrics>(nullptr);
  EXPECT_EQ(GetMetrics().Entries(), entries);
}

TEST_F(OnlineTest, MetricsPostEmptiesOnlyOnSuccess) {
  GetInternet().WriteStoredUserName("recruit");
  SIM_Metrics& m = GetMetrics();
  m.AddValue("_windowed", 1.0f);
  server.SetMode("postmetrics.php", "html500");
  EXPECT_FALSE(m.Post());
  EXPECT_TRUE(FileExists(SIM_Metrics::FilePath()));
  EXPECT_FLOAT_EQ(m.Value("_windowed"), 1.0f);
  server.SetMode("postmetrics.php", "");
  server.Clear();
  EXPECT_TRUE(m.Post());
  EXPECT_FALSE(FileExists(SIM_Metrics::FilePath()));
  EXPECT_TRUE(m.Entries().empty());
  // The body is metr.ini as written.
  std::string hex;
  for (unsigned char c : std::string("[metrics]\n_windowed = 1.0000\n\n")) {
    char b[3];
    std::snprintf(b, sizeof(b), "%02x", c);
    hex += b;
  }
  EXPECT_EQ(LastRequest(), "POST\t/server/postmetrics.php\tusername=recruit\t" + hex);
}

TEST_F(OnlineTest, MessagesRefreshKeepsTheCacheWhenTheServerFails) {
  GetInternet().WriteStoredUserName("recruit");
  SIM_OnlineMessageDatabase& db = GetMessageDatabase();
  ASSERT_TRUE(db.Refresh());
  EXPECT_NE(server.Log().find("&username=recruit&topid=-1"), std::string::npos);  // empty list: -1
  ASSERT_EQ(db.Messages().size(), 4u);
  const std::string cached = ReadAll(db.FilePath());
  for (const char* mode : {"truncated", "html500", "reset", "garbage"}) {
    server.SetMode("get_messages.php", mode);
    EXPECT_FALSE(db.Refresh()) << mode;
    EXPECT_EQ(ReadAll(db.FilePath()), cached) << mode;
    EXPECT_EQ(db.Messages().size(), 4u) << mode;
  }
  server.SetMode("get_messages.php", "");
  server.Clear();
  ASSERT_TRUE(db.Refresh());
  EXPECT_NE(server.Log().find("&topid=4"), std::string::npos);
  EXPECT_EQ(db.Messages().size(), 4u);
}

TEST_F(OnlineTest, MessageRecordsEdgeCases) {
  SIM_OnlineMessageDatabase& db = GetMessageDatabase();
  WriteAll(db.FilePath(),
           "##,5,ironhide,2031-4-7,\"commas, survive, here\"\n"
           "##,abc,tankgirl,d,\"bad id\"\n"
           "##,-3,tankgirl,d,\"negative id\"\n"
           "##,6,,d,\"no sender\"\n"
           "##,7,../x,d,\"path sender\"\n"
           "##,99999999999,tankgirl,d,\"huge id\"\n"
           "##,5,sgt_rook,2031-4-7,\"same id\"\n");
  db.Load();
  auto messages = db.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "commas, survive, here");
  EXPECT_NE(DebugText().find("Bad message record 2"), std::string::npos);
  // A deletion writes the list back; the texts read back the same.
  GetInternet().WriteStoredUserName("recruit");
  ASSERT_TRUE(db.DeleteMessage(4));
  db.Clear();
  db.Load();
  ASSERT_EQ(db.Messages().size(), 2u);
  EXPECT_EQ(db.Messages()[0].text, "commas, survive, here");
  // Deleting an id held twice removes both.
  ASSERT_TRUE(db.DeleteMessage(5));
  EXPECT_TRUE(db.Messages().empty());
  EXPECT_EQ(LastRequest(), "GET\t/server/delete_message.php\t&use=recruit&messageid=5\t");

  OnlineMessage row;
  row.text = std::string(71, 'a');
  EXPECT_EQ(MessageRowText(row), row.text);
  row.text = std::string(72, 'a');
  EXPECT_EQ(MessageRowText(row), std::string(71, 'a') + "...");
  row.sender = std::string(40, 's');
  EXPECT_EQ(MessageRowSender(row).size(), 32u);
}

TEST_F(OnlineTest, ProfileRanksAndBadges) {
  SIM_PlayerProfile& p = GetPlayerProfile();
  EXPECT_EQ(p.GetGeneralName(), "notset");
  EXPECT_FALSE(p.GetRankName(0).empty());
  EXPECT_FALSE(p.GetRankName(8).empty());
  EXPECT_EQ(p.GetRankName(9), "");
  EXPECT_EQ(p.GetRankName(-1), "");
  // A missing answer is logged and leaves the record alone (no fatal end).
  EXPECT_FALSE(p.LoadTempProfile());
  EXPECT_EQ(p.GetUserName(), "notset");

  RegimentBadge layer;
  ParseBadgeLayer(layer, "badge_bg_shield.dds,0.5,-0.25,255,0,0", 0);
  EXPECT_EQ(layer.texture, "badge_bg_shield.dds");
  EXPECT_FLOAT_EQ(layer.scale, 0.5f);
  EXPECT_FLOAT_EQ(layer.offset, -0.25f);
  EXPECT_EQ(layer.red, 255);
  EXPECT_EQ(layer.alpha, 0);  // a missing field reads 0
  ParseBadgeLayer(layer, "../../secret.dds,1e30,nan,999,-5,3,4", 0);
  EXPECT_EQ(layer.texture, "");
  EXPECT_FLOAT_EQ(layer.scale, 1.0f);
  EXPECT_EQ(layer.red, 255);
  EXPECT_EQ(layer.green, 0);
  ParseBadgeLayer(layer, "badge_crest_eagle.dds,1,0,1,1,1,1", 0);  // a crest is not a background
  EXPECT_EQ(layer.texture, "");
  for (int kind = 0; kind < 3; ++kind) EXPECT_GE(BadgeLayerImages(kind).size(), 6u);

  WriteAll(Web("tempprofile.ini"),
           "[profile]\nusername = ironhide\ngeneral_name = V\nrank = 99999999999\nxp = -5\n");
  ASSERT_TRUE(p.LoadTempProfile());
  EXPECT_EQ(p.GetUserName(), "ironhide");
  EXPECT_EQ(p.GetRankName(p.GetRank()), "");
  EXPECT_EQ(p.GetXp(), 0);
}

TEST_F(OnlineTest, NameListsRepeatTheirShuffledOrder) {
  std::vector<std::string> first;
  std::string name = NextName(2);
  ASSERT_FALSE(name.empty());
  first.push_back(name);
  while ((name = NextName(2)) != first[0]) first.push_back(name);
  // The loop took the first name again; the rest follow in the same order.
  for (size_t i = 1; i < first.size(); ++i) EXPECT_EQ(NextName(2), first[i]);
  EXPECT_EQ(NextName(2), first[0]);
  EXPECT_EQ(first.size(), 16u);
  EXPECT_EQ(NextName(3), "");
}

TEST_F(OnlineTest, BadgeDownloadAndCache) {
  GetInternet().WriteStoredUserName("recruit");
  const std::string jpeg = GetUserFolder(USERFOLDER_BITMAPS) + "/b.jpg";
  WriteAll(jpeg, "\xFF\xD8 fake jpeg");
  ASSERT_TRUE(GetInternet().UploadRegimentLogo(jpeg));
  std::vector<std::string> list = GetRegimentBadgeList();
  EXPECT_EQ(GetBadgeImagePath("recruit"), "battle_icon.dds");
  ASSERT_TRUE(DownloadRegimentBadge(list, "recruit"));
  EXPECT_EQ(ReadAll(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/ztk_badge_recruit.jpg"),
            "\xFF\xD8 fake jpeg");
  EXPECT_EQ(GetBadgeImagePath("recruit"), "ztk_badge_recruit.jpg");
  list.push_back("ztk_badge_recruit.jpg");
  server.Clear();
  EXPECT_TRUE(DownloadRegimentBadge(list, "recruit"));
  EXPECT_EQ(server.Log(), "");                          // held: not fetched again
  EXPECT_FALSE(DownloadRegimentBadge(list, "nobody"));  // no badge on the server
  EXPECT_FALSE(FileExists(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/ztk_badge_nobody.jpg"));
}

}  // namespace
