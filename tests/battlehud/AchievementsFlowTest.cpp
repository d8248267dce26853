// Medals from a campaign victory to the main menu: Steam (the file-backed double) is told
// once, the dialog shows them, the server worker gets their names once even when the
// player continues before it ends, the runner is given back, the next battle queues
// nothing, and the counters are on disk before shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/GameHooks.h"
#include "app/SteamGlue.h"
#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/BattleOutcome.h"
#include "battlehud/AchievementsDialog.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "battlehud/PostBattleUnlock.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Timer.h"
#include "gui/Buttons.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "platform/SteamFileBackend.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "simdata/Scenario.h"
#include "support/TestFiles.h"

namespace {

using namespace battle_test;

class AchievementsFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    GetGame().InitUserFolders();
    OpenDebugFile(zt_test::UserRoot());
    EngineSrand(3);
    auto b = std::make_unique<platform::SteamFileBackend>(zt_test::UserRoot() + "/../steamcloud");
    steam = b.get();
    InstallSteamData(std::move(b)).Init();
  }
  void TearDown() override {
    GetThreadManager().JoinAll();
    CloseDebugFiles();
  }

  // The first campaign battle attacked and decided; the battle frames run until the
  // post-mortem opens, as they would.
  void FightTo(int outcome) {
    SIM_ScenarioManager::Get().Load();
    StartScenarioBattle(SIM_ScenarioManager::Get().Campaign().front(), false, AI_UNITS_NONE);
    SIM_Battle& battle = GetBattle();
    battle.Begin();
    if (outcome == OUTCOME_VICTORY)
      battle.SetVictory();
    else
      battle.SetDefeat();
    // The delay after the outcome is two seconds; the deadline is for a loaded machine.
    const uint64_t start = ClockMilliseconds();
    while (!GetOpenPostMortem() && ClockMilliseconds() - start < 120000) {
      battle.Update();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // Frames until the condition holds; the workers take a moment, far longer on a loaded
  // machine, and only a worker that never ends reaches the deadline.
  template <typename Condition>
  bool FramesUntil(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      CallGameLayerHook(GetGameLayerHooks().pollEndOfBattleWorkers);
      if (GUI_BS_PostMortem* pm = GetOpenPostMortem()) pm->Draw();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  }
  static int Count(const std::vector<std::string>& list, const std::string& name) {
    return static_cast<int>(std::count(list.begin(), list.end(), name));
  }

  platform::SteamFileBackend* steam = nullptr;
};

TEST_F(AchievementsFlow, AFirstCampaignVictoryEarnsItsMedalOnceFromBattleToMainMenu) {
  FightTo(OUTCOME_VICTORY);
  ASSERT_NE(GetOpenPostMortem(), nullptr);
  // Steam hears of the medal once, when the battle is decided.
  EXPECT_EQ(Count(steam->achievementsSet, "ACH_FIRST_VICTORY"), 1);
  // The counters are on disk already, not only at shutdown.
  const std::string stats = zt_test::ReadText(zt_test::UserRoot() + "/stat.ini");
  EXPECT_NE(stats.find("battles_won = 1"), std::string::npos) << stats;
  EXPECT_EQ(stats.find("temp_"), std::string::npos) << "the battle's own counters are not kept";

  // Continue: the real runner reports the battle, then the unlock choice.
  zt_test::ClickOn(GetOpenPostMortem()->continueButton);
  ASSERT_TRUE(FramesUntil([] { return GetOpenPostBattleUnlock() != nullptr; }));
  EXPECT_FALSE(GetThreadManager().Busy()) << "the runner is free once the updates are done";
  GUI_BS_PostBattleUnlock* unlock = GetOpenPostBattleUnlock();
  ASSERT_NE(unlock->firstChoice, nullptr);
  // The medals, with the sound; their names go to the server on the worker, which is
  // slow today: the player cancels the please-wait and continues before it has ended.
  std::atomic<bool> gate{false}, sending{false};
  EndOfBattleHooks& endHooks = GetEndOfBattleHooks();
  const auto realSend = endHooks.addAchievement;
  endHooks.addAchievement = [&gate, &sending, realSend](const std::string& name) {
    sending = true;
    while (!gate.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    realSend(name);
  };
  // Whatever fails below, the worker is let go and the wiring restored.
  struct Restore {
    std::atomic<bool>& gate;
    std::function<void(const std::string&)> send;
    ~Restore() {
      gate = true;
      GetThreadManager().JoinAll();
      GetEndOfBattleHooks().addAchievement = send;
    }
  } restore{gate, realSend};
  zt_test::ClickOn(unlock->firstChoice->chooseButton);
  GUI_BS_Achievements* medals = GetOpenAchievements();
  ASSERT_NE(medals, nullptr);
  ASSERT_FALSE(medals->names.empty());
  EXPECT_EQ(medals->names.front(), "ACH_FIRST_VICTORY");
  EXPECT_EQ(medals->medals.size(), medals->names.size());
  const std::vector<std::string> shown = medals->names;
  ASSERT_TRUE(GetThreadManager().Busy());
  ASSERT_NE(OpenPleaseWait(), nullptr);
  // The cancel comes while the names are on their way (a worker cancelled before it
  // starts sends nothing, which is another case).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!sending.load() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(sending.load());
  zt_test::ClickOn(OpenPleaseWait()->CancelButton());
  zt_test::ClickOn(medals->continueButton);
  EXPECT_EQ(GetOpenAchievements(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_TRUE(SIM_AchievementList::Get().NewlyUnlocked().empty());
  gate = true;  // the worker goes on with its own copy of the names
  // The frames give the runner back when the worker ends, with no dialog left to see it.
  // On a slow machine the battle's report may still hold the runner when the medals
  // arrive: they wait, and go out on a later frame.
  ASSERT_TRUE(
      FramesUntil([] { return WatchedEndOfBattleWorkers() == 0 && WaitingAchievementPosts().empty(); }));
  EXPECT_FALSE(GetThreadManager().Busy());
  const std::vector<std::string> sent = GetInternet().AchievementsAdded();
  EXPECT_EQ(sent, shown) << "each name once, in the order earned";

  // The next battle, lost: nothing new is queued, Steam hears nothing more, and the way
  // back is the battle browser.
  FightTo(OUTCOME_DEFEAT);
  ASSERT_NE(GetOpenPostMortem(), nullptr);
  EXPECT_TRUE(SIM_AchievementList::Get().NewlyUnlocked().empty());
  zt_test::ClickOn(GetOpenPostMortem()->continueButton);
  ASSERT_TRUE(
      FramesUntil([] { return GetOpenPostMortem() == nullptr || GetOpenPostBattleUnlock() != nullptr; }));
  if (GUI_BS_PostBattleUnlock* d = GetOpenPostBattleUnlock()) {
    EXPECT_EQ(d->firstChoice, nullptr) << "a defeat offers no choice";
    ASSERT_NE(d->continueButton, nullptr);
    zt_test::ClickOn(d->continueButton);
  }
  EXPECT_EQ(GetOpenAchievements(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
  EXPECT_EQ(Count(steam->achievementsSet, "ACH_FIRST_VICTORY"), 1);
  EXPECT_EQ(GetInternet().AchievementsAdded(), sent);
  EXPECT_TRUE(WaitingAchievementPosts().empty());

  // After a restart Steam's statistics arrive empty: the achievement source reports the
  // medal as earned, so it is sent again to a Steam that lost it.
  GetThreadManager().JoinAll();
  ResetAllSingletons();
  GetGame().InitUserFolders();
  auto fresh = std::make_unique<platform::SteamFileBackend>(zt_test::UserRoot() + "/../steamcloud2");
  platform::SteamFileBackend* second = fresh.get();
  SteamData& glue = InstallSteamData(std::move(fresh));
  glue.Init();
  SIM_GlobalStats::Get().Load();
  SIM_AchievementList::Get().MarkEarnedBefore();
  glue.RunCallbacks();
  EXPECT_EQ(Count(second->achievementsSet, "ACH_FIRST_VICTORY"), 1);
}

TEST_F(AchievementsFlow, MedalsWaitForABusyRunnerAndTheRunnerIsReleasedWithoutTheDialog) {
  zt_test::FakeRunner runner;
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions();
  list.Unlock(list.FindByName("ACH_FIRST_VICTORY"));
  list.Unlock(list.FindByName("ACH_TANK_HUNTER"));
  runner.Occupy();  // another screen's worker holds the runner
  GUI_BS_Achievements::Open();
  ASSERT_NE(GetOpenAchievements(), nullptr);
  EXPECT_EQ(runner.started, std::vector<std::string>{"other"});
  ASSERT_EQ(WaitingAchievementPosts().size(), 1u);
  zt_test::ClickOn(GetOpenAchievements()->continueButton);  // gone before anything was posted
  EXPECT_EQ(GetOpenAchievements(), nullptr);
  runner.jobs.clear();  // the other worker's owner released it
  PollEndOfBattleWorkers();
  EXPECT_EQ(runner.started, (std::vector<std::string>{"other", "Post Achievement"}));
  EXPECT_TRUE(WaitingAchievementPosts().empty());
  EXPECT_TRUE(runner.sent.empty()) << "nothing is sent before the worker runs";
  runner.FinishAll();
  PollEndOfBattleWorkers();
  EXPECT_EQ(runner.released, 1) << "released with no dialog left to see the worker end";
  EXPECT_FALSE(runner.Busy());
  EXPECT_EQ(runner.sent, (std::vector<std::string>{"ACH_FIRST_VICTORY", "ACH_TANK_HUNTER"}));
  PollEndOfBattleWorkers();
  EXPECT_EQ(runner.sent.size(), 2u) << "posted once";
}

TEST_F(AchievementsFlow, FiveMedalsMakeTwoPagesAndOneIsAsWideAsTwo) {
  struct Case {
    std::vector<const char*> names;
    int width;
    int pages;
    size_t firstPage;
  } cases[] = {
      {{"ACH_FIRST_VICTORY"}, 2 * 6 + 200 * 2 + 50, 1, 1},
      {{"ACH_FIRST_VICTORY", "ACH_TEN_VICTORIES", "ACH_FIFTY_BATTLES", "ACH_WINNING_STREAK",
        "ACH_ARMOUR_ONLY"},
       2 * 6 + 200 * 4 + 50,
       2,
       4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.size());
    ResetAllSingletons();
    GetGame().InitUserFolders();
    std::filesystem::remove(zt_test::UserRoot() + "/" + SIM_AchievementList::kEarnedFile);
    zt_test::FakeRunner runner;
    SIM_AchievementList& list = SIM_AchievementList::Get();
    list.LoadDefinitions();
    list.ClearUnlocked();
    for (const char* n : c.names) list.Unlock(list.FindByName(n));
    GUI_BS_Achievements::Open();
    GUI_BS_Achievements* d = GetOpenAchievements();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->width, c.width);
    EXPECT_EQ(d->height, 430);
    EXPECT_EQ(d->pages->Maximum(), c.pages - 1);
    size_t shown = 0;
    for (GUI_WindowBase* w : d->ChildWindows()) shown += dynamic_cast<GUI_BS_Medal*>(w) ? 1 : 0;
    EXPECT_EQ(shown, c.firstPage);
    EXPECT_EQ(d->medals.front()->pictures[0], "medal_first_victory_disc.dds");
    if (c.pages > 1) {
      d->pages->ScrollBy(1);
      d->LayoutPage();
      shown = 0;
      for (GUI_WindowBase* w : d->ChildWindows())
        if (auto* m = dynamic_cast<GUI_BS_Medal*>(w)) {
          ++shown;
          EXPECT_EQ(m, d->medals.back());
        }
      EXPECT_EQ(shown, 1u);
    }
    GUI_BS_Achievements::OnContinue(0);
  }
}

TEST_F(AchievementsFlow, AReadOnlyUserFolderKeepsTheOldStatisticsAndTheDialogsGoOn) {
  const std::string path = zt_test::UserRoot() + "/stat.ini";
  zt_test::WriteText(path, "[stats]\nbattles_won = 7\n\n");
  SIM_GlobalStats::Get().Load();
  {
    zt_test::BlockTemporaryFiles blocked;
    FightTo(OUTCOME_VICTORY);
  }
  EXPECT_NE(GetOpenPostMortem(), nullptr) << "the post-mortem opens all the same";
  EXPECT_EQ(zt_test::ReadText(path), "[stats]\nbattles_won = 7\n\n");
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("battles_won"), 8) << "kept in memory for the next save";
  CloseDebugFiles();
  EXPECT_NE(zt_test::ReadText(zt_test::DebugLogPath()).find("Failed to save statistics"), std::string::npos);
}

}  // namespace
