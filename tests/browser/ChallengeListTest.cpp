// The local challenge list: whole lines that no text field can shift, merges by ztkid,
// and a refresh that never loses the list when the server does not answer. The Online
// tab over it: sorting, filters, scrolling and stars; the details dialog's buttons; and
// fetching a package, which never leaves a half-installed challenge behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "battle/Battle.h"
#include "battle/ChallengePackage.h"
#include "browser/BrowserFixture.h"
#include "browser/ChallengeList.h"
#include "browser/GUI_BattleBrowser.h"
#include "browser/OnlineBrowser.h"
#include "engine/Folders.h"
#include "engine/Strings.h"
#include "gui/Buttons.h"
#include "gui/FilePicker.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/Tooltip.h"
#include "online/BadgeDesigner.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"
#include "platform/ZipArchive.h"
#include "simdata/Options.h"
#include "support/EnvGuard.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

std::string Line(const std::string& id, int number, int played = 0, const std::string& description = "d") {
  return "##," + id + ",Name " + id + ",anyone,\"" + description + "\",poster,2012-3-5," +
         std::to_string(played) + ",1,2.50,4.00," + std::to_string(number) + ",10,20,300000,5,1\n";
}

TEST(ChallengeInfo, ALineReadsBackTheSameAndNoTextCanShiftAField) {
  SIM_ChallengeInfo info;
  ASSERT_TRUE(info.Parse(Line("abc", 7, 3, "commas, inside, it")));
  EXPECT_EQ(info.description, "commas, inside, it");
  EXPECT_EQ(info.year, 12);
  EXPECT_EQ(info.month, 3);
  EXPECT_EQ(info.day, 5);
  EXPECT_EQ(info.played, 3);
  EXPECT_FLOAT_EQ(info.enjoyment, 4.0f);
  EXPECT_EQ(info.number, 7);
  EXPECT_EQ(info.timeLimit, 300000);
  EXPECT_TRUE(info.custom);
  EXPECT_EQ(info.Write(), Line("abc", 7, 3, "commas, inside, it"));

  // Quotes, commas and line breaks typed by players are cleaned on writing.
  info.name = "a,b";
  info.poster = "x\"y";
  info.description = "say \"hi\",\nthen go";
  SIM_ChallengeInfo back;
  ASSERT_TRUE(back.Parse(info.Write()));
  EXPECT_EQ(back.name, "a b");
  EXPECT_EQ(back.poster, "x'y");
  EXPECT_EQ(back.description, "say 'hi', then go");
  EXPECT_EQ(back.number, 7);
  EXPECT_TRUE(back.custom);
}

TEST(ChallengeInfo, DatesAndBadFields) {
  struct Case {
    std::string date;
    int year, month, day;
  };
  for (const Case& c : std::vector<Case>{{"2012-11-30", 12, 11, 30},
                                         {"", 0, 0, 0},
                                         {"2", 0, 0, 0},
                                         {"20-1", 0, 1, 0},
                                         {"2012", 12, 0, 0},
                                         {"x-y-z", 0, 0, 0}}) {
    SIM_ChallengeInfo info;
    ASSERT_TRUE(info.Parse("##,id,n,r,\"d\",p," + c.date + ",1,1,1,1,1,1,1,1,1,0"));
    EXPECT_EQ(info.year, c.year) << c.date;
    EXPECT_EQ(info.month, c.month) << c.date;
    EXPECT_EQ(info.day, c.day) << c.date;
  }
  // Ids that cannot name a folder are refused; missing fields read as zeros.
  SIM_ChallengeInfo info;
  EXPECT_FALSE(info.Parse("##,../x,n"));
  EXPECT_FALSE(info.Parse("<html>"));
  EXPECT_FALSE(info.Parse("##," + std::string(33, 'a')));
  EXPECT_TRUE(info.Parse("##,ok"));
  EXPECT_EQ(info.number, 0);
  EXPECT_TRUE(info.Parse("##,ok,n,r,\"d\",p,2012-1-1,nan,inf,nan,1e99,x"));
  EXPECT_EQ(info.played, 0);
  EXPECT_FLOAT_EQ(info.difficulty, 0.0f);
  EXPECT_FLOAT_EQ(info.enjoyment, 0.0f);
}

class ChallengeListFile : public ::testing::Test {
 protected:
  void SetUp() override {
    db.path = zt_test::UserDir() + "/web/challenges/challengelist.txt";
    db.Clear();
  }
  SIM_ChallengeDatabase db;
};

TEST_F(ChallengeListFile, ARefreshUpdatesKnownChallengesAndAppendsNewOnes) {
  zt_test::WriteText(db.path, Line("a", 1) + Line("b", 2) + Line("c", 3));
  int asked = -2;
  ASSERT_TRUE(db.Refresh([&](int top, std::string* reply) {
    asked = top;
    *reply = Line("a", 9, 42) + Line("bad/id", 10) + "\n" + Line("d", 4);
    return true;
  }));
  EXPECT_EQ(asked, 3);
  ASSERT_EQ(db.challenges.size(), 4u);
  EXPECT_EQ(db.challenges[0]->ztkid, "a");
  EXPECT_EQ(db.challenges[0]->played, 42);
  EXPECT_EQ(db.challenges[0]->number, 9);
  EXPECT_EQ(db.challenges[3]->ztkid, "d");
  EXPECT_EQ(zt_test::ReadText(db.path), Line("a", 9, 42) + Line("b", 2) + Line("c", 3) + Line("d", 4));
  EXPECT_TRUE(db.loaded);
}

TEST_F(ChallengeListFile, AnEmptyOrMissingListAsksFromTheStart) {
  for (bool exists : {false, true}) {
    if (exists) zt_test::WriteText(db.path, "\n");
    int asked = -2;
    db.Refresh([&](int top, std::string*) {
      asked = top;
      return true;
    });
    EXPECT_EQ(asked, -1);
  }
}

TEST_F(ChallengeListFile, AFailedRefreshLeavesTheFileByteIdentical) {
  const std::string old = Line("a", 1) + "##,odd line kept as it was\n" + Line("b", 2);
  zt_test::WriteText(db.path, old);
  EXPECT_FALSE(db.Refresh([](int, std::string* reply) {
    *reply = "partial";
    return false;
  }));
  EXPECT_EQ(zt_test::ReadText(db.path), old);
  EXPECT_FALSE(db.loaded);
  EXPECT_EQ(db.challenges.size(), 2u);
}

TEST_F(ChallengeListFile, RemovingAnUnknownChallengeChangesNothing) {
  zt_test::WriteText(db.path, Line("a", 1) + Line("b", 2));
  EXPECT_FALSE(db.RemoveChallenge("zzz"));
  EXPECT_EQ(db.challenges.size(), 2u);
  EXPECT_TRUE(db.RemoveChallenge("a"));
  ASSERT_EQ(db.challenges.size(), 1u);
  EXPECT_EQ(db.challenges[0]->ztkid, "b");
}

// ---------------------------------------------------------------- the table

SIM_ChallengeInfo Info(const std::string& id, const std::string& text = "", int year = 0, int month = 0,
                       int day = 0, int count = 0, float rating = 0.0f) {
  SIM_ChallengeInfo info;
  info.ztkid = id;
  info.name = info.recipient = info.description = info.poster = text;
  info.year = year;
  info.month = month;
  info.day = day;
  info.played = info.beaten = count;
  info.difficulty = info.enjoyment = rating;
  return info;
}

TEST(ChallengeTable, ColumnsCompareTextsByteWiseAndNumbersAsNumbers) {
  struct Case {
    int column;
    SIM_ChallengeInfo a, b;
    bool less;
  };
  const Case cases[] = {
      {1, Info("a", "Zulu"), Info("b", "alpha"), true},  // upper case first
      {3, Info("a", "ab"), Info("b", "abc"), true},      // a prefix first
      {4, Info("a", "abc"), Info("b", "ab"), false},
      {0, Info("x10"), Info("x9"), true},  // ids are text
      {5, Info("a", "", 12, 12, 31), Info("b", "", 13, 1, 1), true},
      {5, Info("a", "", 13, 2, 1), Info("b", "", 13, 1, 30), false},  // the month before the day
      {5, Info("a", "", 13, 2, 3), Info("b", "", 13, 2, 10), true},   // not "3" > "10" as text
      {6, Info("a", "", 0, 0, 0, 9), Info("b", "", 0, 0, 0, 10), true},
      {7, Info("a", "", 0, 0, 0, 10), Info("b", "", 0, 0, 0, 9), false},
      {8, Info("a", "", 0, 0, 0, 0, 2.5f), Info("b", "", 0, 0, 0, 0, 10.0f), true},
      {9, Info("a", "", 0, 0, 0, 0, 4.0f), Info("b", "", 0, 0, 0, 0, 4.0f), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChallengeColumnLess(c.column, c.a, c.b), c.less) << "column " << c.column << " " << c.a.ztkid;
  }
  EXPECT_EQ(ChallengeCellText(5, Info("a", "", 13, 2, 3)), "2013-2-3");
  EXPECT_EQ(ChallengeCellText(8, Info("a", "", 0, 0, 0, 0, 2.5f)), "2.50");
}

TEST(ChallengeTable, StarsFillByTheRatingsFraction) {
  struct Case {
    float rating;
    float fills[5];
  };
  const Case cases[] = {{2.5f, {1, 1, 0.5f, 0, 0}},   {0.0f, {0, 0, 0, 0, 0}},
                        {5.7f, {1, 1, 1, 1, 1}},      {-3.0f, {0, 0, 0, 0, 0}},
                        {4.25f, {1, 1, 1, 1, 0.25f}}, {std::nanf(""), {0, 0, 0, 0, 0}}};
  for (const Case& c : cases)
    for (int i = 0; i < 5; ++i)
      EXPECT_FLOAT_EQ(StarFill(c.rating, i), c.fills[i]) << c.rating << " star " << i;

  // A half star: the full part is the star's left half, cut in the texture too; a part
  // of no width is not drawn.
  GUI_BB_RatingStars stars;
  stars.Set(2.5f, 0.0f, 0.0f, 100.0f, 48.0f);
  EXPECT_FLOAT_EQ(stars.full[2].right - stars.full[2].left, 8.0f);
  EXPECT_FLOAT_EQ(stars.full[2].u1, 0.5f);
  EXPECT_FLOAT_EQ(stars.empty[2].u0, 0.5f);
  EXPECT_TRUE(stars.empty[2].shown);
  EXPECT_FALSE(stars.empty[0].shown);
  EXPECT_FALSE(stars.full[3].shown);
  EXPECT_FLOAT_EQ(stars.full[0].left, 10.0f);  // one row from 40 left of the centre
  // A narrow cell: three stars above two.
  stars.Set(5.0f, 0.0f, 0.0f, 60.0f, 48.0f);
  EXPECT_FLOAT_EQ(stars.full[0].left, 6.0f);
  EXPECT_LT(stars.full[0].top, stars.full[3].top);
}

TEST(ChallengeDetailsReply, CommentsKeepTheirCommasAndHostileTextIsCleaned) {
  const ChallengeDetailsReply reply = ParseChallengeDetails(
      "[comments]\ntankgirl,\"Hard, fast, fun\"\nsgt_rook,plain text,extra\n,\"no name\"\nnocomma\n"
      "bad\x01name,\"a\x1b[31m\"\n[other]\nx = y\n[profile]\nusername = ironhide\r\ngeneral_name = V, S\n");
  ASSERT_EQ(reply.comments.size(), 3u);
  EXPECT_EQ(reply.comments[0].commenter, "tankgirl");
  EXPECT_EQ(reply.comments[0].text, "Hard, fast, fun");
  EXPECT_EQ(reply.comments[1].text, "plain text");
  EXPECT_EQ(reply.comments[2].commenter, "badname");
  EXPECT_EQ(reply.comments[2].text, "a[31m");
  ASSERT_EQ(reply.profile.size(), 2u);
  EXPECT_EQ(reply.profile[0], std::make_pair(std::string("username"), std::string("ironhide")));
  EXPECT_EQ(reply.profile[1].second, "V, S");
}

// ---------------------------------------------------------------- packages

class ChallengeFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    UserFolders()[USERFOLDER_WEB] = zt_test::UserRoot() + "/web";
    web = GetUserFolder(USERFOLDER_WEB);
  }
  // A download that writes a package of these entries (name, text).
  std::function<bool(const std::string&, const std::string&)> Serve(
      std::vector<std::pair<std::string, std::string>> entries) {
    return [this, entries](const std::string&, const std::string& file) {
      ++downloads;
      platform::ZipWriter zip;
      if (!zip.Create(file)) return false;
      int n = 0;
      for (const auto& e : entries) {
        const std::string source = zt_test::UserRoot() + "/entry" + std::to_string(n++);
        zt_test::WriteText(source, e.second);
        if (!zip.AddFile(source, e.first)) return false;
      }
      return zip.Close();
    };
  }
  std::string web;
  int downloads = 0;
};

TEST_F(ChallengeFetch, AWholePackageIsInstalledOnceAndABadOneLeavesNothingSoTheNextTryDownloadsAgain) {
  const std::string stub = "[config]\nproxy_scenario = border_crossing\n";
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> entries;
    bool serverFails;
    bool installs;
  };
  const std::vector<Case> cases = {
      {"traversal", {{"scenario.txt", stub}, {"../escape.txt", "x"}}, false, false},
      {"absolute", {{"/abs.txt", "x"}, {"scenario.txt", stub}}, false, false},
      {"backslash", {{"scenario.txt", stub}, {"ai_designs\\x.txt", "x"}}, false, false},
      {"no scenario", {{"recordings/deployment.txt", "x"}}, false, false},
      {"server down", {}, true, false},
      {"good", {{"scenario.txt", stub}, {"recordings/deployment.txt", "[deployment_record]\n"}}, false, true},
  };
  for (const Case& c : cases) {
    const std::string id = std::string("c") + std::to_string(&c - cases.data());
    const std::string folder = ChallengeFolder(id);
    auto serve = Serve(c.entries);
    auto download = [&](const std::string& z, const std::string& file) {
      return c.serverFails ? (++downloads, zt_test::WriteText(file, "partial"), false) : serve(z, file);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
      downloads = 0;
      std::string why;
      EXPECT_EQ(FetchAndInstallChallenge(id, download, &why), c.installs) << c.what << " " << why;
      // The first try downloads; after a failure so does the next, after success it does not.
      EXPECT_EQ(downloads, attempt == 0 || !c.installs ? 1 : 0) << c.what;
      EXPECT_EQ(FileExists(folder + "/scenario.txt"), c.installs) << c.what;
      EXPECT_FALSE(FileExists(folder + ".download")) << c.what;
      EXPECT_FALSE(FileExists(web + "/challenges/escape.txt")) << c.what;
      EXPECT_FALSE(FileExists(web + "/escape.txt")) << c.what;
      if (!c.installs) {
        EXPECT_FALSE(DirectoryExists(folder)) << c.what;
      }
    }
    // Nothing else was left in the challenges folder: no temporary unpacking folders.
    for (const std::string& name : ListFolders(web + "/challenges/*.*"))
      EXPECT_EQ(name.find("unpack"), std::string::npos) << c.what << ": " << name;
  }
  std::string why;
  EXPECT_FALSE(FetchAndInstallChallenge("../x", Serve({{"scenario.txt", stub}}), &why));
  EXPECT_EQ(downloads, 0);
}

// ---------------------------------------------------------------- the Online tab

class OnlineTabTest : public browser_test::BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    if (HasFatalFailure()) return;
    UserFolders()[USERFOLDER_WEB] = zt_test::UserRoot() + "/web";
    saved = GetChallengeServerHooks();
    // No server: the tab shows the local list; the player and a friend are named here.
    ChallengeServerHooks& hooks = GetChallengeServerHooks();
    hooks = ChallengeServerHooks();
    hooks.userName = [] { return std::string("me"); };
    hooks.isFriend = [](const std::string& name) { return name == "pal"; };
  }
  void TearDown() override {
    delete browser;
    GetChallengeServerHooks() = saved;
    BrowserTest::TearDown();
  }
  // A table that fits eight rows, over the list written first.
  void Open(const std::string& list) {
    zt_test::WriteText(GetChallengeDatabase().path, list);
    browser = new GUI_BB_OnlineBrowser();
    browser->SetRect(0.0f, 0.0f, 1000.0f, 505.0f);
    browser->Layout();
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> ids;
    for (const SIM_ChallengeInfo* info : browser->shown) ids.push_back(info->ztkid);
    return ids;
  }
  static std::string Row(const std::string& id, const std::string& recipient, const std::string& poster,
                         int played) {
    return "##," + id + ",N," + recipient + ",\"d\"," + poster + ",2013-1-1," + std::to_string(played) +
           ",0,1.00,2.00,1,10,20,300000,5,0\n";
  }
  ChallengeServerHooks saved;
  GUI_BB_OnlineBrowser* browser = nullptr;
};

TEST_F(OnlineTabTest, FiltersTakeARecordWhenAnyTickedFilterMatches) {
  // p: posted by me, r: for me, f: a friend's, d: downloaded, o: someone else's.
  zt_test::WriteText(ChallengeFolder("d") + "/scenario.txt", "[config]\n");
  Open(Row("p", "All", "me", 0) + Row("r", "me", "x", 0) + Row("f", "All", "pal", 0) +
       Row("d", "All", "x", 0) + Row("o", "All", "x", 0) + Row("g", "pal", "x", 0));
  struct Case {
    bool flags[5];  // all, posted, personal, downloaded, friends
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {{true, false, false, false, false}, {"p", "r", "f", "d", "o", "g"}},
      {{false, false, false, false, false}, {}},
      {{false, true, false, false, false}, {"p"}},
      {{false, false, true, false, false}, {"r"}},
      {{false, false, false, true, false}, {"d"}},
      {{false, false, false, false, true}, {"f", "g"}},
      {{false, true, true, false, true}, {"p", "r", "f", "g"}},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 5; ++i) {
      // As the player clicks: the box flips, then calls back.
      if (browser->filters->checks[i]->checked != c.flags[i]) {
        browser->filters->checks[i]->checked = c.flags[i];
        GUI_BB_ChallengeFilters::OnFilter(i);
      }
    }
    EXPECT_EQ(Shown(), c.ids);
  }
  // The choice is kept in the options.
  EXPECT_FLOAT_EQ(SIM_Options::Get().GetFloat("OPTIONS_CFILTER_ALL"), 0.0f);
  EXPECT_FLOAT_EQ(SIM_Options::Get().GetFloat("OPTIONS_CFILTER_FRIENDS"), 1.0f);
}

TEST_F(OnlineTabTest, HeadingsSortStablyAndTheReverseFlagCarriesToTheNextColumn) {
  std::string list;
  const int played[12] = {3, 1, 3, 2, 1, 3, 0, 5, 2, 4, 1, 0};
  for (int i = 0; i < 12; ++i) list += Row("c" + std::to_string(i), "All", i % 2 ? "b" : "a", played[i]);
  Open(list);
  // In list order until a heading is clicked.
  EXPECT_EQ(Shown().front(), "c0");
  browser->SortByColumn(6);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"c6", "c11", "c1", "c4", "c10", "c3", "c8", "c0", "c2", "c5",
                                               "c9", "c7"}));
  EXPECT_TRUE(browser->headings[6]->highlighted);
  browser->SortByColumn(6);  // the same heading again: descending, ties reversed too
  EXPECT_EQ(Shown().front(), "c7");
  EXPECT_EQ(Shown().back(), "c6");
  browser->SortByColumn(4);  // another heading keeps the reverse flag: b's first
  EXPECT_TRUE(browser->reverse);
  EXPECT_FALSE(browser->headings[6]->highlighted);
  EXPECT_EQ(browser->shown.front()->poster, "b");
  EXPECT_EQ(browser->shown.back()->poster, "a");
  // A filter change takes the rows again and keeps them in the heading's order.
  for (int flip = 0; flip < 2; ++flip) {
    browser->filters->checks[GUI_BB_ChallengeFilters::kFriends]->checked ^= true;
    GUI_BB_ChallengeFilters::OnFilter(GUI_BB_ChallengeFilters::kFriends);
    ASSERT_EQ(browser->shown.size(), 12u);
    EXPECT_EQ(browser->shown.front()->poster, "b") << flip;
    EXPECT_EQ(browser->shown.back()->poster, "a") << flip;
  }

  // Twelve rows in a table of eight: the wheel stops at 0 and at 4.
  EXPECT_EQ(browser->strips.size(), 8u);
  EXPECT_EQ(browser->scroll->Maximum(), 4);
  for (int i = 0; i < 10; ++i) browser->OnWheelDown();
  EXPECT_EQ(browser->scroll->Position(), 4);
  browser->Draw();
  EXPECT_EQ(browser->strips.size(), 8u);
  EXPECT_EQ(browser->strips.front()->info, browser->shown[4]);
  for (int i = 0; i < 10; ++i) browser->OnWheelUp();
  EXPECT_EQ(browser->scroll->Position(), 0);
}

TEST_F(OnlineTabTest, OnlyThePosterAndTheRecipientMayDeleteAndABuiltInMapCannotBeAttacked) {
  struct Case {
    const char* poster;
    const char* recipient;
    bool custom;
    bool deletes;
  };
  const Case cases[] = {{"me", "All", true, true}, {"x", "me", false, true}, {"x", "All", true, false}};
  for (const Case& c : cases) {
    SIM_ChallengeInfo info = Info("z1");
    info.poster = c.poster;
    info.recipient = c.recipient;
    info.custom = c.custom;
    GUI_BB_ChallengeDetails* d = OpenChallengeDetails(&info);
    ASSERT_EQ(GetChallengeDetails(), d);
    EXPECT_EQ(d->deleteButton != nullptr, c.deletes) << c.poster << "/" << c.recipient;
    const int attackWidth = d->attackButton->right - d->attackButton->left;
    const int dialogWidth = d->right - d->left;
    // Two buttons share the width; three take a third each.
    EXPECT_NEAR(attackWidth, c.deletes ? (dialogWidth - 60) / 3 - 10 : (dialogWidth - 60) / 2 - 10, 2);
    EXPECT_EQ(d->attackButton->enabled, c.custom);
    ASSERT_NE(d->attackButton->Tooltip(), nullptr);
    EXPECT_EQ(d->attackButton->Tooltip()->Lines().front() == GetTranslation("BB_DETAILS_ATTACK_DISABLED_TT"),
              !c.custom);
    delete d;
    EXPECT_EQ(GetChallengeDetails(), nullptr);
  }
}

TEST_F(OnlineTabTest, ThePostersRankIsShownByName) {
  struct Case {
    const char* key;
    const char* value;
    bool hooked;
    const char* shown;
  };
  const Case cases[] = {{"rank", "5", true, "Major"},  {"rank", "5", false, "5"},
                        {"rank", "42", true, "42"},    {"rank", "junk", true, "Private"},
                        {"xp", "5", true, "5"},        {"general_name", "5", true, "5"},
                        {"xp", "8800", true, "8,800"}, {"xp", "1234567", false, "1,234,567"}};
  for (const Case& c : cases) {
    GetChallengeServerHooks().rankName = [](int rank) {
      return rank == 5 ? std::string("Major") : rank == 0 ? std::string("Private") : std::string();
    };
    if (!c.hooked) GetChallengeServerHooks().rankName = nullptr;
    EXPECT_EQ(GUI_BB_PosterProfile::ValueText(c.key, c.value), c.shown) << c.key << "=" << c.value;
  }
}

// The details' answer gives the poster's badge: the picture they saved (fetched into the
// badge folder) when there is one, else the layers the profile names, else the stand-in.
TEST_F(OnlineTabTest, ThePostersBadgeStandsInTheProfilesCornerFromThePictureOrTheLayers) {
  UserFolders()[USERFOLDER_BADGE_DATABASE] = zt_test::UserRoot() + "/badge_database";
  zt_test::WriteText(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/ztk_badge_pictured.jpg",
                     zt_test::ReadText("data/bitmaps/ui/default_regiment_badge.jpg"));
  ChallengeServerHooks& hooks = GetChallengeServerHooks();
  hooks.startWorker = [](std::function<void()> body, const std::string&, bool) -> std::shared_ptr<void> {
    body();
    return std::make_shared<int>(0);
  };
  hooks.makeBadge = [](const std::string& player,
                       const std::vector<std::pair<std::string, std::string>>& profile) -> GUI_WindowBase* {
    return MakeProfileBadge(player, profile);
  };
  const std::string layers =
      "badge_bg = badge_bg_shield.dds,1.0,0.0,40,60,120,255\n"
      "badge_crest = badge_crest_eagle.dds,0.8,-0.05,230,200,60,255\n"
      "badge_inset = badge_inset_star.dds,0.3,0.1,255,255,255,255\n";
  struct Case {
    const char* poster;
    std::string profile;
    const char* picture;
    bool shown[3];
  };
  const Case cases[] = {
      {"layered", layers, "", {true, true, true}},
      {"pictured", layers, "ztk_badge_pictured.jpg", {true, true, true}},
      {"plain", "general_name = G\n", "battle_icon.dds", {false, false, false}},
      // A layer that names no shipped image is left out; the others still draw.
      {"hostile",
       "badge_bg = ../../../x.dds,1,0,1,1,1,255\nbadge_crest = badge_crest_eagle.dds,1,0,1,1,1,255\n",
       "",
       {false, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.poster);
    std::string askedFor;
    hooks.fetchDetails = [&](const std::string&, const std::string& poster, std::string* reply) {
      askedFor = poster;
      *reply = "[comments]\n[profile]\nusername = " + poster + "\nxp = 8800\n" + c.profile;
      return true;
    };
    SIM_ChallengeInfo info = Info("z1");
    info.poster = c.poster;
    GUI_BB_ChallengeDetails* d = OpenChallengeDetails(&info);
    EXPECT_EQ(d->profile->badge, nullptr) << "no badge before the answer";
    d->Draw();
    EXPECT_EQ(askedFor, c.poster);
    auto* badge = dynamic_cast<GUI_RegimentBadge*>(d->profile->badge);
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->ParentWindow(), d->profile);
    EXPECT_EQ(badge->Picture(), c.picture);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(badge->LayerShown(i), c.shown[i]) << "layer " << i;
    // 200 pixels square in the profile's top right corner, clear of the texts and values.
    EXPECT_EQ(badge->right - badge->left, 200);
    EXPECT_EQ(badge->bottom - badge->top, 200);
    EXPECT_EQ(badge->right, d->profile->right - 10);
    EXPECT_LE(badge->bottom, d->profile->bottom);
    EXPECT_LE(d->data->right, badge->left);
    // A second answer replaces the badge rather than stacking another.
    d->profile->SetValues(d->profile->values);
    EXPECT_EQ(d->profile->ChildWindows().size(), 1u);
    delete d;
  }

  // As the game wires it, the player's own challenge shows their own badge: the shipped
  // default before they design one, whatever layers the server keeps.
  hooks.makeBadge = saved.makeBadge;
  ASSERT_TRUE(hooks.makeBadge);
  GetInternet().WriteStoredUserName("me");
  std::unique_ptr<GUI_WindowBase> own(
      hooks.makeBadge("me", {{"badge_bg", "badge_bg_shield.dds,1,0,1,1,1,255"}}));
  ASSERT_NE(dynamic_cast<GUI_RegimentBadge*>(own.get()), nullptr);
  EXPECT_EQ(static_cast<GUI_RegimentBadge*>(own.get())->Picture(), kDefaultBadgeName);
  std::unique_ptr<GUI_WindowBase> other(
      hooks.makeBadge("pal", {{"badge_bg", "badge_bg_shield.dds,1,0,1,1,1,255"}}));
  EXPECT_EQ(static_cast<GUI_RegimentBadge*>(other.get())->Picture(), "");
}

// The poster's text has its own room between the profile and the comments: a short text
// takes a line, a long one at most four (cut there), and the comments keep the rest.
TEST_F(OnlineTabTest, TheDescriptionSitsBetweenTheProfileAndTheCommentsWhateverItsLength) {
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "Hold the bridge until the relief column arrives. ";
  for (const std::string& text : {std::string("Short."), longText}) {
    SIM_ChallengeInfo info = Info("z1");
    info.description = text;
    GUI_BB_ChallengeDetails* d = OpenChallengeDetails(&info);
    const GUI_Rect& r = d->descriptionRect;
    EXPECT_GE(r.top, d->profile->bottom);
    EXPECT_GE(r.Height(), 16);
    EXPECT_LE(r.Height(), 80);
    EXPECT_GE(d->comments->top, r.bottom);
    EXPECT_GE(d->comments->bottom - d->comments->top, 150) << "room for the comments";
    EXPECT_LE(d->comments->bottom, d->attackButton->top);
    delete d;
  }
}

// Left for a battle or anything else, the browser comes back on the tab the player left:
// a challenge's battle returns to the Online tab, a custom map's to Custom Maps.
TEST_F(OnlineTabTest, TheBrowserComesBackOnTheTabItWasLeftOn) {
  for (int tab : {GUI_BB_Window::kOnline, GUI_BB_Window::kCustom, GUI_BB_Window::kCampaign}) {
    SCOPED_TRACE(tab);
    ASSERT_NE(OpenBrowser(), nullptr);
    GUI_BB_Window::OnTabButton(tab);
    GetGame().SetGameMode(MODE_MAIN_MENU);
    ASSERT_EQ(GetBrowserWindow(), nullptr);
    GetGame().SetGameMode(MODE_BATTLE_BROWSER);
    GUI_BB_Window* window = GetBrowserWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->currentTab, tab);
    EXPECT_EQ(window->onlineBrowser != nullptr, tab == GUI_BB_Window::kOnline);
    EXPECT_EQ(window->campaignMap != nullptr, tab == GUI_BB_Window::kCampaign);
  }
}

// A row lights under the mouse only while nothing lies over it: with a challenge's
// details open over the table, the rows beneath the dialog stay plain.
TEST_F(OnlineTabTest, ARowUnderADialogDoesNotLightUp) {
  ASSERT_NE(OpenBrowser(), nullptr);
  std::string list;
  for (int i = 0; i < 6; ++i) list += Row("c" + std::to_string(i), "All", "x", i);
  zt_test::WriteText(GetChallengeDatabase().path, list);
  GUI_BB_Window::OnTabButton(GUI_BB_Window::kOnline);
  GUI_BB_OnlineBrowser* tab = GetBrowserWindow()->onlineBrowser;
  ASSERT_NE(tab, nullptr);
  ASSERT_EQ(tab->strips.size(), 6u);
  GUI_BB_ChallengeStrip* row = tab->strips[3].get();
  const float x = (row->left + row->right) / 2.0f, y = (row->top + row->bottom) / 2.0f;
  auto processAt = [this](float px, float py) {
    mouseX = px;
    mouseY = py;
    GetInputManager().Poll();
    GetGame().CurrentMode->Process();
  };
  processAt(x, y);
  EXPECT_TRUE(row->hovered);
  GetGame().CurrentMode->Draw();
  GUI_BB_ChallengeDetails* d = OpenChallengeDetails(tab->shown.front());
  ASSERT_TRUE(d->HitTest(x, y)) << "the dialog lies over the row";
  processAt(x, y);
  EXPECT_FALSE(row->hovered);
  GetGame().CurrentMode->Draw();
  delete d;
}

TEST_F(OnlineTabTest, TheChallengesDialogClosesWhenItsBattleStarts) {
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* scenario = SIM_ScenarioManager::Get().Campaign().front();
  for (bool defend : {false, true}) {
    SCOPED_TRACE(defend ? "defend" : "attack");
    ASSERT_NE(OpenBrowser(), nullptr);
    SIM_ChallengeInfo info = Info("z1", "Armoured Push");
    info.custom = true;
    ASSERT_NE(OpenChallengeDetails(&info), nullptr);
    // The details' own buttons download first; the options open over the dialog as they do.
    GetBattle().playerDefends = defend;
    if (defend)
      OpenDefenseOptions(scenario);
    else
      OpenAttackOptions(scenario);
    Frame();
    GUI_BB_Option* option = defend ? GetDefenseOptions()->options[2] : GetAttackOptions()->options[1];
    ASSERT_TRUE(option->button->enabled);
    ClickCentre(option->button);
    EXPECT_EQ(GetGame().CurrentModeNumber, MODE_LOADING_SCREEN);
    EXPECT_EQ(GetChallengeDetails(), nullptr) << "the dialog stayed open over the battle";
    GetBattle().scenario = nullptr;
  }
}

TEST_F(OnlineTabTest, AnInstalledChallengeIsNotDownloadedAgainAndKeepsItsScenario) {
  int downloads = 0;
  GetChallengeServerHooks().download = [&](const std::string&, const std::string&) {
    ++downloads;
    return false;
  };
  SIM_ChallengeInfo info = Info("here1");
  info.poster = "x";
  const std::string folder = ChallengeFolder("here1");
  SIM_ScenarioManager::Get().Load();
  const std::string campaignFile = SIM_ScenarioManager::Get().Campaign().front()->file;
  zt_test::WriteText(folder + "/scenario.txt", zt_test::ReadText(campaignFile));
  GUI_BB_ChallengeDetails* d = OpenChallengeDetails(&info);
  SIM_Scenario* s = d->PrepareChallenge();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(downloads, 0);
  EXPECT_EQ(s->id, "here1");
  EXPECT_EQ(s->origin, SIM_Scenario::ORIGIN_ADDED);
  EXPECT_EQ(d->PrepareChallenge(), s) << "opened twice, one record";
  delete d;

  // Its recording is what the scripted defence offers: the picker lists it, and the
  // list leaves the picked name and the load button their row.
  zt_test::WriteText(folder + "/recordings/deployment.txt", "units\n");
  const std::vector<std::string> recordings = ScenarioRecordings(s);
  ASSERT_EQ(recordings, std::vector<std::string>{folder + "/recordings/deployment.txt"});
  OpenRecordingPicker(s);
  GUI_BB_RecordingLoad* picker = GetRecordingPicker();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->picker->Files(), recordings);
  ASSERT_EQ(picker->picker->Rows().size(), 1u);
  EXPECT_EQ(picker->picker->SelectedPath(), recordings.front());
  EXPECT_LE(picker->picker->bottom, picker->loadButton->top);
  delete picker;

  // Not here and the server fails: no scenario, a message, no folder left.
  SIM_ChallengeInfo missing = Info("gone1");
  d = OpenChallengeDetails(&missing);
  EXPECT_EQ(d->PrepareChallenge(), nullptr);
  EXPECT_EQ(downloads, 1);
  EXPECT_FALSE(DirectoryExists(ChallengeFolder("gone1")));
  delete d;
}

// HQ down: the tab keeps the challenges held here but says they may be stale (and the
// player's own Refresh says so in a box); the details say the poster's profile and the
// comments are unknown instead of showing a blank profile and "no comments".
TEST_F(OnlineTabTest, AnUnreachableServerIsSaidOnTheTabAndInTheDetails) {
  ChallengeServerHooks& hooks = GetChallengeServerHooks();
  hooks.startWorker = [](std::function<void()> body, const std::string&, bool) -> std::shared_ptr<void> {
    body();
    return std::make_shared<int>(0);
  };
  hooks.workerDone = [](const std::shared_ptr<void>&) { return true; };
  bool up = false;
  hooks.fetchList = [&](int, std::string* reply) {
    reply->clear();
    return up;
  };
  hooks.fetchDetails = [&](const std::string&, const std::string&, std::string* reply) {
    *reply = "[comments]\npal,\"Good one\"\n[profile]\nusername = x\ngeneral_name = G\n";
    return up;
  };
  delete OpenMessageBox();
  Open(Row("held", "All", "x", 0));
  browser->Draw();
  EXPECT_TRUE(browser->offline);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"held"})) << "the rows held here stay";
  EXPECT_EQ(OpenMessageBox(), nullptr)
      << "the refresh on opening the tab asks nobody: " << (OpenMessageBox() ? OpenMessageBox()->Text() : "");
  GUI_BB_OnlineBrowser::OnRefresh(0);
  browser->Draw();
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenMessageBox()->Text(), GetTranslation("ONLINEBROWSER_OFFLINE"));
  delete OpenMessageBox();

  GUI_BB_ChallengeDetails* d = OpenChallengeDetails(browser->shown.front());
  d->Draw();
  EXPECT_EQ(d->profile->status, GetTranslation("BB_DETAILS_OFFLINE"));
  EXPECT_EQ(d->comments->emptyKey, "BB_DETAILS_OFFLINE");
  EXPECT_TRUE(d->comments->rows.empty());
  delete d;

  up = true;
  GUI_BB_OnlineBrowser::OnRefresh(0);
  browser->Draw();
  EXPECT_FALSE(browser->offline);
  EXPECT_EQ(OpenMessageBox(), nullptr);
  d = OpenChallengeDetails(browser->shown.front());
  d->Draw();
  EXPECT_EQ(d->profile->status, "");
  EXPECT_EQ(d->comments->rows.size(), 1u);
  delete d;
}

TEST_F(OnlineTabTest, DeleteRemovesTheChallengeHereOnlyWhenTheServerSaysItIsGone) {
  // A runner that finishes at once: the dialog sees the result at its next Draw.
  ChallengeServerHooks& hooks = GetChallengeServerHooks();
  hooks.startWorker = [](std::function<void()> body, const std::string&, bool) -> std::shared_ptr<void> {
    body();
    return std::make_shared<int>(0);
  };
  hooks.workerDone = [](const std::shared_ptr<void>&) { return true; };
  bool serverAgrees = false;
  int asked = 0;
  hooks.deleteChallenge = [&](const std::string&) {
    ++asked;
    return serverAgrees;
  };
  Open(Row("mine", "All", "me", 0) + Row("other", "All", "x", 0));
  const std::string before = zt_test::ReadText(GetChallengeDatabase().path);
  for (bool agrees : {false, true}) {
    serverAgrees = agrees;
    GUI_BB_ChallengeDetails* d = OpenChallengeDetails(browser->shown.front());
    ASSERT_NE(d->deleteButton, nullptr);
    GUI_BB_ChallengeDetails::OnDelete(0);
    d->Draw();
    GetWindowOrder().FlushDeleted();
    if (!agrees) {
      // Refused: still listed, the file untouched, the reason shown.
      EXPECT_EQ(GetChallengeDetails(), d);
      EXPECT_EQ(Shown(), (std::vector<std::string>{"mine", "other"}));
      EXPECT_EQ(zt_test::ReadText(GetChallengeDatabase().path), before);
      EXPECT_NE(OpenMessageBox(), nullptr);
      delete OpenMessageBox();
      delete d;
    } else {
      EXPECT_EQ(GetChallengeDetails(), nullptr) << "the dialog closes";
      EXPECT_EQ(Shown(), (std::vector<std::string>{"other"}));
      EXPECT_EQ(zt_test::ReadText(GetChallengeDatabase().path).find("mine"), std::string::npos);
    }
  }
  EXPECT_EQ(asked, 2);
}

// ---------------------------------------------------------------- hostile lists

// n list lines, ids "r<first>".."r<first+n-1>", numbered like their ids.
std::string Rows(int first, int n) {
  std::string text;
  text.reserve(static_cast<size_t>(n) * 96);
  for (int i = first; i < first + n; ++i) text += Line("r" + std::to_string(i), i);
  return text;
}

// This thread's CPU seconds for the call: the work done, whatever the machine's load.
double CpuSecondsOf(const std::function<void()>& call) {
  const double start = zt_test::ThreadCpuSeconds();
  call();
  return zt_test::ThreadCpuSeconds() - start;
}

TEST(ChallengeMerge, AHundredThousandRowsMergeInOnePassAndOnlyTheNewestAreKept) {
  const zt_test::FailAfter limit(std::chrono::seconds(90), "merging 100,000 challenge rows");
  std::vector<std::unique_ptr<SIM_ChallengeInfo>> list;
  MergeChallengeLines(list, Line("r5", 5) + Line("keep", 1));
  // A reply that repeats a held id deep inside it updates that record in place.
  std::string reply = Rows(0, 100000);
  reply += Line("r99999", 123456, 77);
  const double seconds = CpuSecondsOf([&] { MergeChallengeLines(list, reply); });
  // One pass takes about a second in the sanitizer build; a search of the list per line
  // takes minutes.
  EXPECT_LT(seconds, 20.0) << "a merge of 100,000 rows must not search the list per line";
  const size_t cap = SIM_ChallengeDatabase::kMaxChallenges;
  ASSERT_EQ(list.size(), cap);
  // The oldest went: "r5" and "keep" arrived first, then r0..; the last cap stay in order.
  EXPECT_EQ(list.front()->ztkid, "r" + std::to_string(100000 - cap));
  EXPECT_EQ(list.back()->ztkid, "r99999");
  EXPECT_EQ(list.back()->played, 77);
  EXPECT_EQ(list.back()->number, 123456);
  for (const auto& c : list) ASSERT_NE(c->ztkid, "keep");
}

// The Online tab opened from the Battles screen as the player opens it, with the game's
// own server link (no server answering), over a list file a player or program planted.
class HostileListTest : public browser_test::BrowserTest {
 protected:
  void SetUp() override {
    setenv("ZENTRAK_SERVER", "http://127.0.0.1:1", 1);
    BrowserTest::SetUp();
    if (HasFatalFailure()) return;
    UserFolders()[USERFOLDER_WEB] = zt_test::UserRoot() + "/web";
    GetChallengeDatabase().path = UserFolders()[USERFOLDER_WEB] + "/challenges/challengelist.txt";
    TryEnsureDirectoryExists(UserFolders()[USERFOLDER_WEB] + "/challenges");
    ASSERT_NE(GetChallengeServerHooks().startWorker, nullptr) << "the game's server link is not wired";
    saved = GetChallengeServerHooks();
    // The game's runner, with a gate before each worker's body that the test can hold
    // shut: what the tab holds while it is shut, the GUI thread read itself.
    std::shared_ptr<std::atomic<bool>> gate = gate_;
    GetChallengeServerHooks().startWorker = [gate, start = saved.startWorker](std::function<void()> body,
                                                                              const std::string& name,
                                                                              bool pleaseWait) {
      return start(
          [gate, body] {
            while (!gate->load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            body();
          },
          name, pleaseWait);
    };
    ASSERT_NE(OpenBrowser(), nullptr);
  }
  void TearDown() override {
    gate_->store(true);
    GetChallengeServerHooks() = saved;
    BrowserTest::TearDown();
  }
  std::string ListPath() const { return GetChallengeDatabase().path; }
  // The GUI thread's work for a call, which must never wait on the list file.
  void ExpectQuick(const zt_test::CallCost& cost, const char* what) {
    EXPECT_LT(cost.cpuSeconds, 1.0) << what << " (" << cost.wallSeconds << " s on the clock)";
    EXPECT_EQ(cost.fifoReadersFound, 0) << what << " waited on the list file";
  }
  // Clicks the Online tab, which answers at once: the list file is the worker's to read,
  // and the GUI thread neither waits on it nor reads it. (Counted by what the tab holds,
  // not by time: opening the tab costs about what reading a long list does, and a loaded
  // machine stretches both.)
  void OpenOnlineTab() {
    ASSERT_FALSE(GetChallengeDatabase().loaded);
    gate_->store(false);
    const zt_test::CallCost cost = zt_test::CostWithFifoWatchdog(
        [this] { ClickCentre(GetBrowserWindow()->tabButtons[GUI_BB_Window::kOnline]); }, ListPath());
    EXPECT_EQ(cost.fifoReadersFound, 0) << "opening the tab waited on the list file";
    GUI_BB_OnlineBrowser* tab = GetBrowserWindow()->onlineBrowser;
    EXPECT_NE(tab, nullptr);
    EXPECT_FALSE(GetChallengeDatabase().loaded) << "the tab read the list file on the GUI thread";
    if (tab) {
      EXPECT_TRUE(tab->shown.empty()) << tab->shown.size() << " rows before the worker ran";
    }
    gate_->store(true);
  }
  // Frames until the tab's refresh has come back, each one quick.
  void FramesUntilRefreshed() {
    GUI_BB_OnlineBrowser* tab = GetBrowserWindow()->onlineBrowser;
    ASSERT_NE(tab, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((tab->worker || tab->refreshPending || !GetChallengeDatabase().loaded) &&
           std::chrono::steady_clock::now() < deadline) {
      ExpectQuick(zt_test::CostWithFifoWatchdog([this] { Frame(); }, ListPath()), "a frame");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(tab->worker, nullptr) << "the refresh never came back";
  }
  zt_test::EnvGuard server{"ZENTRAK_SERVER"};
  ChallengeServerHooks saved;
  std::shared_ptr<std::atomic<bool>> gate_ = std::make_shared<std::atomic<bool>>(true);
  const zt_test::FailAfter limit{std::chrono::seconds(180), "an Online tab test"};
};

TEST_F(HostileListTest, APlantedListFileIsRefusedAndTheTabAnswersAtOnce) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> plant;
  } cases[] = {
      {"a FIFO", [](const std::string& p) { zt_test::PlantFifo(p); }},
      {"a link to /dev/zero", [](const std::string& p) { zt_test::PlantDevZeroLink(p); }},
      {"a huge file", [](const std::string& p) { zt_test::PlantHugeFile(p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClickCentre(GetBrowserWindow()->tabButtons[GUI_BB_Window::kCampaign]);
    GetChallengeDatabase().Clear();
    c.plant(ListPath());
    OpenOnlineTab();
    FramesUntilRefreshed();
    EXPECT_TRUE(GetBrowserWindow()->onlineBrowser->shown.empty());
    const std::string errors = zt_test::ReadText(zt_test::ErrorLogPath());
    EXPECT_NE(errors.find("Challenge list " + ListPath() + " not read"), std::string::npos) << errors;
    ::unlink(ListPath().c_str());
  }
}

TEST_F(HostileListTest, AHundredThousandRowListOpensAtOnceAndKeepsTheNewest) {
  zt_test::WriteText(ListPath(), Rows(0, 100000));
  OpenOnlineTab();
  FramesUntilRefreshed();
  const std::vector<SIM_ChallengeInfo*>& shown = GetBrowserWindow()->onlineBrowser->shown;
  ASSERT_EQ(shown.size(), SIM_ChallengeDatabase::kMaxChallenges);
  EXPECT_EQ(shown.back()->ztkid, "r99999");
  EXPECT_EQ(shown.front()->ztkid, "r" + std::to_string(100000 - SIM_ChallengeDatabase::kMaxChallenges));
}

TEST_F(HostileListTest, AServerPouringRowsInNeitherFreezesTheTabNorGrowsTheList) {
  zt_test::WriteText(ListPath(), Rows(0, 3));
  int refreshes = 0;
  // Each refresh brings 100,000 new challenges, as a busy or hostile server may.
  GetChallengeServerHooks().fetchList = [&refreshes](int top, std::string* reply) {
    *reply = Rows(top + 1, 100000);
    ++refreshes;
    return true;
  };
  OpenOnlineTab();
  FramesUntilRefreshed();
  for (int i = 0; i < 2; ++i) {
    EXPECT_LT(CpuSecondsOf([] { GUI_BB_OnlineBrowser::OnRefresh(0); }), 1.0);
    FramesUntilRefreshed();
  }
  EXPECT_EQ(refreshes, 3);
  GUI_BB_OnlineBrowser* tab = GetBrowserWindow()->onlineBrowser;
  ASSERT_EQ(tab->shown.size(), SIM_ChallengeDatabase::kMaxChallenges);
  EXPECT_EQ(tab->shown.back()->ztkid, "r300002");
  // The file holds what the tab shows, no more.
  SIM_ChallengeDatabase reread;
  reread.path = ListPath();
  reread.Load();
  EXPECT_EQ(reread.challenges.size(), SIM_ChallengeDatabase::kMaxChallenges);
}

}  // namespace
