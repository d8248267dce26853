// The requests as the server sees them, the reply convention, hostile replies and
// cancelling a stalled request, all against the shipped local game server.
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "online/Messages.h"
#include "online/OnlineFixture.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"

using namespace zt_test;

namespace {

struct RequestCase {
  const char* what;
  std::function<bool(SIM_Server&)> call;
  const char* expected;  // "METHOD\tpath\tquery\tbody hex"
};

TEST_F(OnlineTest, EachScriptSendsItsKeysInOrderEncoded) {
  SIM_Server& s = GetInternet();
  // Spaces, '&', quotes and UTF-8 in the user key and in values.
  s.WriteStoredUserName("Anna & \"Bo\" \xC3\xA9");
  const std::string u = "Anna%20%26%20%22Bo%22%20%C3%A9";
  std::string msg, why;
  const RequestCase cases[] = {
      {"friends", [](SIM_Server& s) { return s.GetFriends(); },
       "GET\t/server/get_friends.php\t&username=U\t"},
      {"messages", [&](SIM_Server& s) { return s.GetMessages(-1, Web("m.txt")); },
       "GET\t/server/get_messages.php\t&username=U&topid=-1\t"},
      {"add message", [&](SIM_Server& s) { return s.AddMessage("ironhide", "a,b & \"c\" 100%", why); },
       "GET\t/server/add_message.php\t&username=U&target=ironhide&message=a%2Cb%20%26%20%22c%22%20100%25\t"},
      {"delete message", [](SIM_Server& s) { return s.DeleteMessage(42); },
       "GET\t/server/delete_message.php\t&use=U&messageid=42\t"},
      {"profile", [](SIM_Server& s) { return s.GetUserProfile("tankgirl"); },
       "GET\t/server/getuserprofile.php\t&username=U&profilename=tankgirl\t"},
      {"data changes", [](SIM_Server& s) { return s.GetDataChanges("0-00-00"); },
       "GET\t/server/get_data_changes.php\t&username=U&date=0-00-00\t"},
      {"invite", [&](SIM_Server& s) { return s.InviteFriend("tankgirl", msg); },
       "GET\t/server/invite_friend.php\t&username=U&target=tankgirl\t"},
      {"accept", [&](SIM_Server& s) { return !s.AcceptFriendshipInvite("nobody", msg); },
       "GET\t/server/accept_friendship_invite.php\t&use=U&friend=nobody\t"},
      {"rate", [](SIM_Server& s) { return s.RateChallenge("seed0001", 4, 2, "fun & hard"); },
       "GET\t/server/ratechallenge.php\t&use=U&ztkid=seed0001&enjoy=4&diff=2&comment=fun%20%26%20hard\t"},
      {"update check", [](SIM_Server& s) { return s.CheckUpdate(SIM_Server::kGameVersion) == "none"; },
       "GET\t/server/check_update.php\t&use=U&current_version=1.008000\t"},
      {"challenge list", [&](SIM_Server& s) { return s.GetChallengeList(3, Web("cl.txt")); },
       "GET\t/server/get_challenge_list.php\t&username=U&topchalid=3\t"},
      {"package", [&](SIM_Server& s) { return s.DownloadChallenge("seed0002", Web("c.zip")); },
       "GET\t/server/challenges/seed0002.ztk\t\t"},
  };
  for (const RequestCase& c : cases) {
    server.Clear();
    EXPECT_TRUE(c.call(s)) << c.what;
    std::string expected = c.expected;
    for (size_t at; (at = expected.find("=U")) != std::string::npos;) expected.replace(at + 1, 1, u);
    EXPECT_EQ(LastRequest(), expected) << c.what;
  }
}

TEST_F(OnlineTest, EarnedAchievementsAreSentByNameAndRecordedInOrder) {
  SIM_Server& s = GetInternet();
  s.WriteStoredUserName("tankgirl");
  EXPECT_TRUE(s.AchievementsAdded().empty());
  for (const char* name : {"ACH_FIRST_VICTORY", "ACH_ARMOUR_ONLY"}) {
    server.Clear();
    s.AddAchievement(name);
    EXPECT_EQ(LastRequest(),
              std::string("GET\t/server/add_achievement.php\t&username=tankgirl&achievement=") + name + "\t");
  }
  EXPECT_EQ(s.AchievementsAdded(), (std::vector<std::string>{"ACH_FIRST_VICTORY", "ACH_ARMOUR_ONLY"}));
}

TEST_F(OnlineTest, UploadsCarryTheThirtyTwoByteTag) {
  SIM_Server& s = GetInternet();
  s.WriteStoredUserName("recruit");
  const std::string badge = GetUserFolder(USERFOLDER_BITMAPS) + "/badge.jpg";
  WriteAll(badge, "0123456789");
  ASSERT_TRUE(s.UploadRegimentLogo(badge));
  // "recruit" hex, zero-filled to 32 bytes, then the ten file bytes.
  std::string tag = "72656372756974" + std::string((32 - 7) * 2, '0');
  EXPECT_EQ(LastRequest(),
            "POST\t/server/upload_regiment_logo.php\tusername=recruit\t" + tag + "30313233343536373839");

  std::string body;
  ASSERT_TRUE(SIM_Server::BuildUpload(badge, "abc", body));
  EXPECT_EQ(body.size(), 42u);
  EXPECT_EQ(body.substr(0, 3), "abc");
  EXPECT_EQ(body.substr(3, 29), std::string(29, '\0'));
  ASSERT_TRUE(SIM_Server::BuildUpload(badge, std::string(40, 'T'), body));
  EXPECT_EQ(body.substr(0, 33), std::string(32, 'T') + "0");  // no terminator
  // An unreadable or empty file is a false result, never the end of the game.
  EXPECT_FALSE(s.UploadFile("server/x.php", badge + ".missing", "t"));
  WriteAll(badge, "");
  EXPECT_FALSE(s.UploadRegimentLogo(badge));
}

TEST(ReplyConvention, FieldOfTheLastMatchingLine) {
  struct Case {
    const char* reply;
    const char* keyword;
    const char* field;
  } cases[] = {
      // Line ends are not part of a field: a server that ends "true" with a break, with or
      // without a comma, or with CRLF, still means success.
      {"response,true\n", "response", "true"},
      {"response,true\r\n", "response", "true"},
      {"response,truer,\n", "response", "truer"},
      {"response,true,\n", "response", "true"},
      {"message,OK,\nresponse,true", "response", "true"},
      {"message,first,\nmessage,second,\n", "message", "second"},
      {"message,\"a, b\",\n", "message", "a, b"},
      {"<html>nothing here</html>", "response", ""},
      {"", "message", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplyField(c.reply, c.keyword), c.field) << c.reply;
  EXPECT_TRUE(ReplyTextIsTrue("response,true\n"));
  EXPECT_FALSE(ReplyTextIsTrue("response,false,\nmessage,true,\n"));
  EXPECT_FALSE(ReplyTextIsTrue("response, true,\n"));
  EXPECT_TRUE(ReplyTextIsTrue("response,true,\n"));
}

TEST_F(OnlineTest, MissingUserNameFileSendsAnEmptyUserKey) {
  EXPECT_FALSE(UserNameFileExists());
  EXPECT_EQ(ReadStoredUserName(), "");
  GetInternet().GetFriends();
  EXPECT_EQ(LastRequest(), "GET\t/server/get_friends.php\t&username=\t");
}

TEST_F(OnlineTest, StoredUserNameIsBounded) {
  WriteAll(UserNameFilePath(), std::string(300, 'x') + "\nsecond line");
  EXPECT_EQ(ReadStoredUserName(), std::string(SIM_Server::kMaxUserName, 'x'));
}

// The player's and the replies' files as something planted can leave them: each reader
// refuses at once with a line naming the file, and nothing of it is taken or sent.
TEST_F(OnlineTest, APlantedFifoDeviceLinkOrHugeFileIsRefusedAtOnce) {
  const FailAfter limit(std::chrono::seconds(120), "reading planted player files");
  struct Plant {
    const char* what;
    std::function<void(const std::string&)> plant;
    bool regular;
  } plants[] = {
      {"a FIFO", [](const std::string& p) { PlantFifo(p); }, false},
      {"a link to /dev/zero", [](const std::string& p) { PlantDevZeroLink(p); }, false},
      {"a huge file", [](const std::string& p) { PlantHugeFile(p); }, true},
  };
  struct Reader {
    const char* what;
    std::string path;
    std::function<bool()> read;  // true when something was taken from the file
  };
  const std::string upload = GetUserFolder(USERFOLDER_BITMAPS) + "/badge.jpg";
  const std::vector<Reader> readers = {
      {"the user name", UserNameFilePath(), [] { return !ReadStoredUserName().empty(); }},
      {"an upload", upload,
       [&] {
         std::string body;
         return SIM_Server::BuildUpload(upload, "tag", body);
       }},
      {"the metrics", GetUserFolder(USERFOLDER_ROOT) + "/metr.ini",
       [] { return GetInternet().PostMetrics(); }},
  };
  for (const Plant& p : plants) {
    for (const Reader& r : readers) {
      SCOPED_TRACE(std::string(p.what) + " as " + r.what);
      ASSERT_EQ(r.path.rfind(UserDir(), 0), 0u) << "planted outside the test's folder: " << r.path;
      TryEnsureDirectoryExists(r.path.substr(0, r.path.rfind('/')));
      p.plant(r.path);
      bool took = true;
      EXPECT_TRUE(FinishesQuickly([&] { took = r.read(); }, r.path));
      EXPECT_FALSE(took);
      EXPECT_NE(ReadAll(ErrorLogPath()).find(r.path + " refused"), std::string::npos);
      ::unlink(r.path.c_str());
    }
    // Only a regular file is a sign-up.
    p.plant(UserNameFilePath());
    EXPECT_EQ(UserNameFileExists(), p.regular) << p.what;
    ::unlink(UserNameFilePath().c_str());
  }
}

// Every hostile answer, for a list, a single answer and a binary download: false within
// the time-out, a logged error, and the files already held byte-identical.
TEST_F(OnlineTest, HostileRepliesFailAndLeaveCachedFilesAlone) {
  GetInternet().WriteStoredUserName("recruit");
  const std::string friends = Web("friends_list.txt");
  const std::string package = Web("held.zip");
  const std::string friendsBefore = "#,ironhide,\n";
  const std::string packageBefore = std::string("PK\x03\x04 held package", 17);
  const char* modes[] = {"truncated", "overcap", "garbage", "html500", "drip", "stall", "reset", "notfound"};
  for (const char* mode : modes) {
    WriteAll(friends, friendsBefore);
    WriteAll(package, packageBefore);
    server.SetMode("*", mode);
    auto start = std::chrono::steady_clock::now();
    std::string message;
    EXPECT_FALSE(GetInternet().GetFriends()) << mode;
    EXPECT_FALSE(GetInternet().InviteFriend("tankgirl", message)) << mode;
    EXPECT_FALSE(GetInternet().DownloadChallenge("seed0001", package)) << mode;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Three requests, each ended by its 2 s time-out: a stalling or dripping server would
    // hold each for minutes. The margin is for a loaded machine.
    EXPECT_LT(seconds, 3 * (2.0 + 8.0)) << mode;
    EXPECT_EQ(ReadAll(friends), friendsBefore) << mode;
    EXPECT_EQ(ReadAll(package), packageBefore) << mode;
    server.SetMode("*", "");
  }
  std::string log = DebugText();
  EXPECT_NE(log.find("IERROR:  Internet: HttpSendRequest() Failed"), std::string::npos);
  EXPECT_NE(log.find("HTTP status 500"), std::string::npos);
  EXPECT_NE(log.find("reply larger than"), std::string::npos);
  // And the link still works afterwards.
  EXPECT_TRUE(GetInternet().GetFriends());
}

TEST_F(OnlineTest, NamesFromTheServerNeverLeaveTheirFolder) {
  const std::string outside = GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/../x.jpg";
  EXPECT_FALSE(GetInternet().GetRegimentBadge("../x", outside));
  EXPECT_FALSE(GetInternet().DownloadChallenge("../../etc", Web("c.zip")));
  EXPECT_EQ(server.Log(), "");  // refused before anything was sent
}

TEST_F(OnlineTest, CancelWakesAStalledRequestAtOnce) {
  GetInternet().WriteStoredUserName("recruit");
  GetLink().Options().totalTimeoutMs = 30000;
  server.SetMode("get_friends.php", "stall");
  const std::string friends = Web("friends_list.txt");
  WriteAll(friends, "#,kept,\n");
  auto result = std::make_shared<std::atomic<int>>(0);
  SIM_ThreadManager& runner = GetThreadManager();
  auto job = runner.StartThread([result](SIM_WorkerJob&) { *result = GetInternet().GetFriends() ? 1 : 2; },
                                "UpdateFriendsThread", false);
  ASSERT_TRUE(job);
  // The GUI thread goes on while the worker waits on the stalled server.
  EXPECT_FALSE(job->Done());
  EXPECT_EQ(result->load(), 0);
  EXPECT_TRUE(runner.Busy());
  EXPECT_FALSE(runner.StartThread([](SIM_WorkerJob&) {}, "second", false)) << "one worker at a time";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(job->Done());
  auto cancelAt = std::chrono::steady_clock::now();
  runner.CancelCurrent();
  EXPECT_FALSE(runner.Busy());
  EXPECT_TRUE(job->Cancelled());
  while (!job->Done() && std::chrono::steady_clock::now() - cancelAt < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  double woke = std::chrono::duration<double>(std::chrono::steady_clock::now() - cancelAt).count();
  // Unwoken, the transfer would wait out its 30 s time-out; the margin is for a loaded machine.
  EXPECT_LT(woke, 10.0) << "the transfer was not woken by the cancel";
  EXPECT_EQ(*result, 2);
  EXPECT_EQ(ReadAll(friends), "#,kept,\n");
  // The runner takes the next worker at once.
  auto next = runner.StartThread([](SIM_WorkerJob&) {}, "next", false);
  EXPECT_TRUE(next);
  runner.JoinAll();
  runner.Stop(next);
  EXPECT_FALSE(runner.Busy());
}

TEST_F(OnlineTest, AnOwnerStopsOnlyItsOwnWorker) {
  SIM_ThreadManager& runner = GetThreadManager();
  auto mine = runner.StartThread([](SIM_WorkerJob&) {}, "mine", false);
  ASSERT_TRUE(mine);
  auto stale = std::make_shared<SIM_WorkerJob>();
  runner.Stop(stale);
  EXPECT_TRUE(runner.Busy());
  runner.JoinAll();
  EXPECT_TRUE(mine->Done());
  runner.Stop(mine);
  EXPECT_FALSE(runner.Busy());
  EXPECT_FALSE(mine->Cancelled()) << "a finished job is reaped, not cancelled";
}

}  // namespace
