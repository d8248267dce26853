// The end-of-battle reports against the local game server: what is sent for an online
// challenge won or lost and for any other battle, and that the metrics go last.
#include "online/Metrics.h"
#include "online/OnlineFixture.h"
#include "online/PostBattle.h"

using namespace zt_test;

namespace {

class PostBattleTest : public OnlineTest {
 protected:
  void SetUp() override {
    OnlineTest::SetUp();
    GetInternet().WriteStoredUserName("recruit");
  }
  // The scripts requested since `before`, in order, one per line.
  std::string ScriptsSince(const std::string& before) {
    std::string log = server.Log().substr(before.size());
    std::string scripts;
    for (size_t at = 0; (at = log.find("/server/", at)) != std::string::npos;) {
      size_t end = log.find('\t', at);
      scripts += log.substr(at + 8, end - at - 8) + "\n";
      at = end;
    }
    return scripts;
  }
};

TEST_F(PostBattleTest, ReportsTheChallengeThenPostsTheMetrics) {
  struct Case {
    const char* what;
    PostBattleRequest request;
    std::string scripts;
    PostBattleResult expected;
  } cases[] = {
      {"challenge won",
       {true, true, "seed0001"},
       "challengebeaten.php\nchallengeaccepted.php\npostmetrics.php\n",
       {true, true, true}},
      {"challenge lost",
       {true, false, "seed0001"},
       "challengeaccepted.php\npostmetrics.php\n",
       {false, true, true}},
      {"campaign battle", {false, true, ""}, "postmetrics.php\n", {false, false, true}},
      {"hostile id", {true, true, "../x"}, "postmetrics.php\n", {false, false, true}},
  };
  for (const Case& c : cases) {
    GetMetrics().AddSample("Hill_attacker_easy_victory", 1.0f);
    const std::string before = server.Log();
    PostBattleResult result;
    SIM_WorkerJob job;
    PostBattleUpdates(job, c.request, result);
    EXPECT_EQ(ScriptsSince(before), c.scripts) << c.what;
    EXPECT_EQ(result.beatenReported, c.expected.beatenReported) << c.what;
    EXPECT_EQ(result.acceptedReported, c.expected.acceptedReported) << c.what;
    EXPECT_EQ(result.metricsPosted, c.expected.metricsPosted) << c.what;
  }
  EXPECT_NE(server.Log().find("challengebeaten.php\t&use=recruit&ztkid=seed0001"), std::string::npos);
}

TEST_F(PostBattleTest, RunsOnTheWorkerAndKeepsTheMetricsWhenTheServerIsGone) {
  GetMetrics().AddSample("Hill_attacker_easy_victory", 1.0f);
  auto result = std::make_shared<PostBattleResult>();
  auto start = [](PostBattleRequest request, std::shared_ptr<PostBattleResult> into) {
    return GetThreadManager().StartThread(
        [request, into](SIM_WorkerJob& job) { PostBattleUpdates(job, request, *into); }, "PostBattleUpdates");
  };
  auto job = start(PostBattleRequest{true, true, "seed0002"}, result);
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(GetThreadManager().Name(), "PostBattleUpdates");
  EXPECT_EQ(start(PostBattleRequest{}, std::make_shared<PostBattleResult>()), nullptr)
      << "one worker at a time";
  GetThreadManager().JoinAll();
  ASSERT_TRUE(job->Done());
  GetThreadManager().Stop(job);
  EXPECT_TRUE(result->beatenReported);
  EXPECT_TRUE(result->metricsPosted);

  server.Stop();
  GetMetrics().AddSample("Hill_attacker_easy_victory", 1.0f);
  PostBattleResult offline;
  SIM_WorkerJob sync;
  PostBattleUpdates(sync, PostBattleRequest{true, false, "seed0002"}, offline);
  EXPECT_FALSE(offline.acceptedReported);
  EXPECT_FALSE(offline.metricsPosted);
  EXPECT_TRUE(FileExists(GetUserFolder(USERFOLDER_ROOT) + "/metr.ini")) << "kept for the next battle";
}

}  // namespace
