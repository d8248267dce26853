// The online screens on the recording null device: the profile window's save button and
// generated names, the achievements grid and its scrolling, the friends rows, the badge
// designer's layers, the loading-screen poster and a comparison panel whose profile did
// not arrive.
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "app/OptionsScreen.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "online/AchievementsScreen.h"
#include "online/BadgeDesigner.h"
#include "online/Friends.h"
#include "online/GUI_Online.h"
#include "online/LoadingPoster.h"
#include "online/MessageDialogs.h"
#include "online/OnlineFixture.h"
#include "online/ProfileCompare.h"
#include "online/ProfileWindow.h"
#include "online/RegimentBadge.h"
#include "simdata/Achievements.h"
#include "support/NullDeviceFixture.h"

using namespace zt_test;

namespace {

class OnlineScreensTest : public NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    UseTestUserFolders();
    LoadStringsTable();
    ASSERT_TRUE(server.Start()) << "the local game server did not start";
    setenv("ZENTRAK_SERVER", server.Base().c_str(), 1);
    GetLink().Options().totalTimeoutMs = 2000;
    GetLink().Options().connectTimeoutMs = 1000;
  }
  void TearDown() override {
    release = true;
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GetWindowOrder().FlushDeleted();
    if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
    server.Stop();
    NullDeviceTest::TearDown();
  }
  std::string Web(const std::string& name) { return GetUserFolder(USERFOLDER_WEB) + "/" + name; }
  // Occupies the worker until the test ends.
  void HoldRunner() {
    release = false;
    held = GetThreadManager().StartThread(
        [this](SIM_WorkerJob&) {
          while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        "Hold", false);
    ASSERT_TRUE(held);
  }
  void ReleaseRunner() {
    release = true;
    while (!held->Done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    GetThreadManager().Stop(held);
  }
  template <typename Busy>
  void Pump(GUI_WindowBase* w, Busy busy) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (busy() && std::chrono::steady_clock::now() < until) {
      w->Draw();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(busy()) << "the worker did not finish";
  }
  // Definitions of n achievements, all locked.
  void UseDefinitions(int n) {
    std::string csv;
    const char* ranks[3] = {"ACH_RANK_BRONZE", "ACH_RANK_SILVER", "ACH_RANK_GOLD"};
    for (int i = 0; i < n; ++i)
      csv += "#,ACH_" + std::to_string(i) + ",T,D,H,ACH_CAT_COMBAT," + ranks[i % 3] + ",stat" +
             std::to_string(i) + ",1\n";
    WriteAll(UserRoot() + "/ach.csv", csv);
    SIM_AchievementList::Get().LoadDefinitions(UserRoot() + "/ach.csv");
  }

  EnvGuard serverEnv{"ZENTRAK_SERVER"};
  LocalGameServer server;
  std::atomic<bool> release{true};
  std::shared_ptr<SIM_WorkerJob> held;
};

TEST_F(OnlineScreensTest, SaveButtonIsEnabledOnlyByAnEditAndDoesNothingUnchangedOrWhileBusy) {
  GUI_OL_Window* w = OpenProfileWindow(4, 40);
  EXPECT_FALSE(w->SaveButton()->enabled) << "a fresh window has nothing to save";
  server.Clear();
  GUI_OL_Window::OnSaveChanges(0);
  EXPECT_FALSE(w->Saving());

  struct Case {
    const char* what;
    std::function<void()> edit;
  };
  const Case cases[] = {
      {"typing in the user name", [&] { w->Field(0)->OnChar('x'); }},
      {"a suggested general", [] { GUI_OL_Window::OnRandomGeneralName(0); }},
      {"a suggested regiment", [] { GUI_OL_Window::OnRandomRegimentName(0); }},
  };
  for (const Case& c : cases) {
    w = OpenProfileWindow(4, 40);
    ASSERT_FALSE(w->SaveButton()->enabled) << c.what;
    c.edit();
    EXPECT_TRUE(w->SaveButton()->enabled) << c.what;
    EXPECT_TRUE(w->Changed()) << c.what;
  }
  // Another worker holds the runner: the click starts nothing and keeps the edit.
  HoldRunner();
  GUI_OL_Window::OnSaveChanges(0);
  EXPECT_FALSE(w->Saving());
  EXPECT_TRUE(w->Changed());
  ReleaseRunner();
  EXPECT_EQ(server.Log().find("updateprofile"), std::string::npos) << server.Log();
}

TEST_F(OnlineScreensTest, GeneratedGeneralNamesFollowTheirPatternForEverySeededDraw) {
  struct Case {
    float sir, hyphen;
    bool wantSir, wantHyphen;
  };
  const Case cases[] = {{0.05f, 0.9f, true, false},
                        {0.5f, 0.1f, false, true},
                        {0.5f, 0.5f, false, false},
                        {0.0f, 0.0f, true, true},
                        {0.1f, 0.25f, false, false}};
  const std::regex plain("^(Sir )?[^ -]+ [^ ]+?(-[^ ]+)?$");
  for (const Case& c : cases) {
    EngineSrand(7);
    std::vector<float> draws{c.sir, c.hyphen};
    size_t next = 0;
    const std::string name = MakeGeneralName([&] { return draws[next++ % 2]; });
    EXPECT_EQ(name.rfind("Sir ", 0) == 0, c.wantSir) << name;
    EXPECT_EQ(name.find('-') != std::string::npos, c.wantHyphen) << name;
    EXPECT_TRUE(std::regex_match(name, plain)) << name;
    if (c.wantHyphen) {
      const size_t dash = name.find('-');
      EXPECT_NE(name[dash - 1], ' ');
      EXPECT_NE(name[dash + 1], ' ');
    }
  }
  // The same seed hands out the same names.
  ResetAllSingletons();
  UseTestUserFolders();
  EngineSrand(11);
  const std::string a = MakeGeneralName([] { return 0.5f; });
  ResetAllSingletons();
  UseTestUserFolders();
  EngineSrand(11);
  EXPECT_EQ(MakeGeneralName([] { return 0.5f; }), a);
  EXPECT_FALSE(MakeRegimentName().empty());
}

TEST_F(OnlineScreensTest, ProfileNamesAreCheckedBeforeAnythingIsSent) {
  struct Case {
    const char *user, *general, *regiment, *refusal;
  };
  const Case cases[] = {
      {"", "G", "R", "OL_NAME_EMPTY"},        {"../x", "G", "R", "OL_NAME_UNSAFE"},
      {"a/b", "G", "R", "OL_NAME_UNSAFE"},    {"a\\b", "G", "R", "OL_NAME_UNSAFE"},
      {"notset", "G", "R", "OL_NAME_UNSAFE"}, {"bob", "", "R", "OL_NAMES_MISSING"},
      {"bob", "G", "", "OL_NAMES_MISSING"},   {"bob", "Sir Anna Kovacs", "7th Iron Lancers", ""}};
  for (const Case& c : cases)
    EXPECT_EQ(CheckProfileNames(c.user, c.general, c.regiment), c.refusal) << c.user;
  EXPECT_EQ(CheckProfileNames(std::string(65, 'a'), "G", "R"), "OL_NAME_UNSAFE");
}

TEST_F(OnlineScreensTest, AchievementGridPlacesTwoRowsAndScrollsByRows) {
  struct Case {
    int items;
    size_t placed;
    float visibleRows;
    int maxFirstRow;
  };
  const Case cases[] = {{25, 20, 2, 1}, {10, 10, 2, 0}, {7, 7, 1, 0}, {3, 3, 1, 0}, {21, 20, 2, 1}};
  for (const Case& c : cases) {
    ResetAllSingletons();
    UseTestUserFolders();
    UseDefinitions(c.items);
    GUI_OL_Achievements list;
    list.SetRect(100, 100, 800, 445);
    list.Setup(10, 63.0f, true);
    list.FillOwn();
    EXPECT_EQ(list.Items().size(), static_cast<size_t>(c.items));
    EXPECT_EQ(list.PlacedItems().size(), c.placed) << c.items;
    EXPECT_EQ(list.ScrollBar()->Visible(), c.visibleRows) << c.items;
    EXPECT_EQ(list.ScrollBar()->Maximum(), c.maxFirstRow) << c.items;
  }
  // One wheel step down shows the items from index 10 on; it stops at the last row.
  ResetAllSingletons();
  UseTestUserFolders();
  UseDefinitions(25);
  GUI_OL_Achievements list;
  list.SetRect(100, 100, 800, 445);
  list.Setup(10, 63.0f, true);
  list.FillOwn();
  const auto first = list.PlacedItems();
  ASSERT_EQ(first.size(), 20u);
  EXPECT_EQ(first[0]->left, 113);
  EXPECT_EQ(first[0]->top, 110);
  EXPECT_EQ(first[10]->top, 110 + 2 * 63 + 20);
  list.OnWheelDown();
  list.Draw();
  auto placed = list.PlacedItems();
  ASSERT_EQ(placed.size(), 15u);
  EXPECT_EQ(placed[0], list.Items()[10]);
  EXPECT_EQ(placed[0]->top, 110);
  list.OnWheelDown();
  list.Draw();
  EXPECT_EQ(list.PlacedItems()[0], list.Items()[10]) << "no row past the last";
}

TEST_F(OnlineScreensTest, OwnAchievementsListUnlockedFirstAndOthersShowOnlyWhatTheServerLists) {
  SIM_AchievementList& defs = SIM_AchievementList::Get();
  defs.LoadDefinitions();
  ASSERT_GE(defs.Count(), 3);
  defs.Unlock(defs.All()[2].get());
  GUI_OL_Achievements own;
  own.SetRect(0, 0, 700, 340);
  own.Setup(10, 63.0f, true);
  own.FillOwn();
  ASSERT_EQ(own.Items().size(), static_cast<size_t>(defs.Count()));
  EXPECT_EQ(own.Items()[0]->Name(), defs.All()[2]->name);
  EXPECT_TRUE(own.Items()[0]->Unlocked());
  EXPECT_FALSE(own.Items()[1]->Unlocked());

  // Another player's: shown unlocked, unknown names skipped, the shared definitions untouched.
  GUI_OL_Achievements other;
  other.SetRect(0, 0, 400, 200);
  other.Setup(10, 31.0f, true);
  other.FillUnlocked({"ACH_TANK_HUNTER", "NO_SUCH_THING", defs.All()[0]->name});
  ASSERT_EQ(other.Items().size(), 2u);
  EXPECT_TRUE(other.Items()[0]->Unlocked());
  EXPECT_EQ(defs.FindByName("ACH_TANK_HUNTER")->unlocked, 0) << "the definition stays locked";
  EXPECT_EQ(other.Items()[0]->SecondIcon().width, 0.0f) << "not drawn yet";
  other.Draw();
  EXPECT_EQ(other.Items()[0]->SecondIcon().width, 27.0f);
}

// Each item of the grid shows its own medal as the post-battle dialog does: the disc
// below, the ribbon above and the clasp over the ribbon only when the definition has one.
TEST_F(OnlineScreensTest, AchievementItemsShowTheirOwnMedalPictures) {
  SIM_AchievementList& defs = SIM_AchievementList::Get();
  defs.LoadDefinitions();
  GUI_OL_Achievements own;
  own.SetRect(0, 0, 700, 340);
  own.Setup(10, 63.0f, true);
  own.FillOwn();
  ASSERT_EQ(own.Items().size(), static_cast<size_t>(defs.Count()));
  own.Draw();
  int withClasp = 0;
  for (const GUI_OL_Achievement* item : own.Items()) {
    SCOPED_TRACE(item->Name());
    const SIM_Achievement* d = defs.FindByName(item->Name());
    ASSERT_NE(d, nullptr);
    ASSERT_NE(item->Icon().texture, nullptr);
    ASSERT_NE(item->SecondIcon().texture, nullptr);
    EXPECT_EQ(item->Icon().texture->Name(), d->pictures[0]);
    EXPECT_EQ(item->SecondIcon().texture->Name(), d->pictures[1]);
    // Every picture a definition names is shipped.
    EXPECT_NE(item->Icon().texture->texture, nullptr);
    EXPECT_NE(item->SecondIcon().texture->texture, nullptr);
    EXPECT_EQ(item->HasOverlay(), !d->pictures[2].empty());
    if (d->pictures[2].empty()) continue;
    ++withClasp;
    ASSERT_NE(item->Overlay().texture, nullptr);
    EXPECT_EQ(item->Overlay().texture->Name(), d->pictures[2]);
    EXPECT_NE(item->Overlay().texture->texture, nullptr);
  }
  EXPECT_GT(withClasp, 0);
  // A medal without a clasp draws its two squares only.
  SIM_Achievement plain = *defs.All()[0];
  plain.pictures[2].clear();
  GUI_OL_Achievement item(plain, true);
  EXPECT_FALSE(item.HasOverlay());
  EXPECT_EQ(item.Overlay().texture, nullptr);
}

TEST_F(OnlineScreensTest, FriendRowsComeInOrderAndScrollByWholeRows) {
  WriteAll(Web("invites_recvd.txt"),
           "#,tankgirl,\n#,ab\x01"
           "c,\nnot a row\n");
  WriteAll(Web("invites_sent.txt"), "#,sgt_rook,\n");
  WriteAll(Web("friends_list.txt"), "#,ironhide,\n#,zed,\n#,ironhide,\n#,Zed,\n#,amy,\n#,bo,\n");
  GetFriendsList().LoadFrom(Web("friends_list.txt"));
  EXPECT_TRUE(IsFriend("zed"));
  EXPECT_TRUE(IsFriend("Zed"));
  EXPECT_FALSE(IsFriend("ZED")) << "names are exact";
  EXPECT_EQ(GetFriendsList().Names().size(), 5u) << "a repeated name is listed once";

  GUI_OL_Friends* dialog = OpenFriendsDialog(704, 40, 1020, 380);
  ASSERT_TRUE(dialog->RebuildPending());
  dialog->Draw();
  const auto& rows = dialog->Rows();
  ASSERT_EQ(rows.size(), 8u);
  const int kinds[8] = {2, 2, 1, 0, 0, 0, 0, 0};
  const char* names[8] = {"tankgirl", "abc", "sgt_rook", "ironhide", "zed", "Zed", "amy", "bo"};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i]->Kind(), kinds[i]) << i;
    EXPECT_EQ(rows[i]->Name(), names[i]) << "control characters are dropped: " << i;
  }
  EXPECT_EQ(rows[0]->RowButtons().size(), 2u);
  EXPECT_EQ(rows[2]->RowButtons().size(), 1u);
  EXPECT_EQ(rows[3]->RowButtons().size(), 3u);

  const GUI_Rect c = dialog->GetClientRect();
  EXPECT_EQ(rows[0]->top, c.top + 17);
  EXPECT_EQ(rows[1]->top, c.top + 77);
  int placed = 0, visible = 0;
  for (const auto& row : rows)
    if (row->ParentWindow() == dialog) {
      ++placed;
      EXPECT_LT(row->top, c.bottom) << "no row starts below the client area";
      if (row->bottom < c.bottom - 20) ++visible;
    }
  EXPECT_EQ(dialog->ScrollBar()->Visible(), static_cast<float>(visible));
  EXPECT_EQ(dialog->ScrollBar()->Maximum(), 8 - visible);
  EXPECT_GE(placed, visible);

  dialog->OnWheelDown();
  dialog->Draw();
  EXPECT_EQ(rows[0]->ParentWindow(), nullptr);
  EXPECT_EQ(rows[1]->top, c.top + 17) << "scrolled by one row, the second row comes first";

  // Kind 0: three equal buttons; kind 2: split at the centre.
  const auto& b = rows[3]->RowButtons();
  EXPECT_EQ(b[0]->right - b[0]->left, b[1]->right - b[1]->left);
  EXPECT_EQ(b[0]->top, rows[3]->top + 29);
}

TEST_F(OnlineScreensTest, NoFriendsMeansNoRowsAndNothingToScroll) {
  GUI_OL_Friends* dialog = OpenFriendsDialog(704, 40, 1020, 380);
  dialog->Draw();
  EXPECT_TRUE(dialog->Rows().empty());
  EXPECT_EQ(dialog->ScrollBar()->Maximum(), 0);
}

TEST_F(OnlineScreensTest, AcceptWhileAnotherWorkerRunsIsKeptButNotSent) {
  GetInternet().WriteStoredUserName("recruit");
  WriteAll(Web("invites_recvd.txt"), "#,tankgirl,\n");
  GUI_OL_Friends* dialog = OpenFriendsDialog(704, 40, 1020, 380);
  dialog->Draw();
  ASSERT_EQ(dialog->Rows().size(), 1u);
  HoldRunner();
  server.Clear();
  GUI_OL_FriendStrip::OnAccept(0);
  EXPECT_EQ(dialog->PendingAction(), kFriendAccept);
  EXPECT_EQ(dialog->PendingName(), "tankgirl");
  EXPECT_FALSE(dialog->Busy());
  ReleaseRunner();
  EXPECT_EQ(server.Log(), "") << "nothing was sent";
}

TEST_F(OnlineScreensTest, ActionNoneSendsNothingButRefreshesTheLists) {
  GetInternet().WriteStoredUserName("recruit");
  server.Clear();
  GUI_OL_Friends::UpdateResult result;
  GUI_OL_Friends::RunUpdate(kFriendNone, "ironhide", result, nullptr);
  EXPECT_FALSE(result.sent);
  const std::string log = server.Log();
  EXPECT_EQ(log.find("delete_friend"), std::string::npos);
  EXPECT_NE(log.find("get_friends.php"), std::string::npos);
  EXPECT_NE(log.find("get_friendship_invites_recvd.php"), std::string::npos);
  ASSERT_EQ(result.rows.friends.size(), 1u);
  EXPECT_EQ(result.rows.friends[0], "ironhide");
  EXPECT_EQ(result.rows.received.size(), 1u);
}

TEST_F(OnlineScreensTest, BadgeDesignerLayersFollowTheirEditors) {
  GUI_OL_BadgeDesigner* d = OpenBadgeDesigner();
  // Fully on screen at 1024 x 768, title bar included.
  EXPECT_GE(d->left, 0);
  EXPECT_GE(d->top - 37, 0);
  EXPECT_LE(d->right, 1024);
  EXPECT_LE(d->bottom, 768);
  EXPECT_FALSE(d->Editor(0)->HasControls()) << "the backdrop has arrows only";
  EXPECT_EQ(d->Editor(0)->SizeSlider(), nullptr);
  for (int i = 1; i < 3; ++i) {
    EXPECT_TRUE(d->Editor(i)->HasControls());
    ASSERT_NE(d->Editor(i)->SizeSlider(), nullptr);
    EXPECT_EQ(d->Editor(i)->Swatches().size(), 6u);
    for (const auto* s : d->Editor(i)->Swatches()) {
      EXPECT_GE(s->top, d->Editor(i)->top);
      EXPECT_LE(s->bottom, d->Editor(i)->bottom) << "swatches stay inside their editor";
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(d->Layer(i).texture, BadgeLayerImages(i)[0]) << "each layer starts on its first image";
    EXPECT_TRUE(d->Badge()->LayerShown(i));
  }
  const GUI_RegimentBadge& badge = *d->Badge();
  ASSERT_EQ(badge.right - badge.left, 256);
  const float cy = (badge.top + badge.bottom) / 2.0f;

  struct Case {
    float scale, offset;
    float side, centreY;
  };
  const Case cases[] = {
      {0.25f, 0.0f, 64.0f, cy}, {1.0f, -0.5f, 256.0f, cy - 128.0f}, {1.25f, 0.5f, 320.0f, cy + 128.0f}};
  for (const Case& c : cases) {
    d->Editor(1)->SizeSlider()->SetFromKnobX(d->Editor(1)->SizeSlider()->TrackLeft() +
                                             (c.scale - 0.25f) * (d->Editor(1)->SizeSlider()->TrackRight() -
                                                                  d->Editor(1)->SizeSlider()->TrackLeft()));
    d->Editor(1)->PositionSlider()->SetFromKnobX(
        d->Editor(1)->PositionSlider()->TrackLeft() +
        (c.offset + 0.5f) *
            (d->Editor(1)->PositionSlider()->TrackRight() - d->Editor(1)->PositionSlider()->TrackLeft()));
    EXPECT_NEAR(d->Layer(1).scale, c.scale, 0.01f);
    EXPECT_NEAR(badge.Sprite(1).width, c.side, 3.0f);
    d->Badge()->Draw();
    EXPECT_NEAR(badge.Sprite(1).v[0].y + badge.Sprite(1).height / 2.0f, c.centreY, 3.0f);
  }

  // Arrows stop at the ends of the list.
  d->Editor(2)->Step(-1);
  EXPECT_EQ(d->Editor(2)->Cursor(), 0u);
  for (size_t i = 0; i < BadgeLayerImages(2).size() + 3; ++i) d->Editor(2)->Step(1);
  EXPECT_EQ(d->Editor(2)->Cursor(), BadgeLayerImages(2).size() - 1);
  EXPECT_EQ(d->Layer(2).texture, BadgeLayerImages(2).back());

  // A swatch colours its layer.
  GUI_OL_BadgeColor* swatch = d->Editor(1)->Swatches()[2];
  EXPECT_TRUE(
      swatch->LeftClick((swatch->left + swatch->right) / 2.0f, (swatch->top + swatch->bottom) / 2.0f));
  EXPECT_EQ(d->Layer(1).red, 1);
  EXPECT_EQ(d->Layer(1).blue, 119);

  // A picture replaces the layers until a layer changes again.
  d->ShowPicture("enigma.jpg");
  EXPECT_FALSE(d->ShowingLayers());
  EXPECT_FALSE(d->Badge()->visible);
  d->ShowPicture("../../etc/passwd");
  EXPECT_EQ(d->Picture(), "enigma.jpg") << "only a plain file name is taken";
  d->Editor(1)->SizeSlider()->SetFromKnobX(d->Editor(1)->SizeSlider()->TrackLeft());
  EXPECT_TRUE(d->ShowingLayers());
  EXPECT_TRUE(d->Badge()->visible);

  // An empty layer folder leaves its editor without anything to pick.
  GUI_OL_BadgeLayerEditor empty;
  empty.SetRect(0, 0, 290, 300);
  RegimentBadge layer;
  empty.Setup(&layer, {}, true);
  EXPECT_FALSE(empty.Enabled());
  EXPECT_FALSE(empty.HasControls());
  EXPECT_FALSE(empty.NextButton()->visible);
  empty.Step(1);
  EXPECT_EQ(layer.texture, "");
}

TEST_F(OnlineScreensTest, SavedBadgeIsAWholeJpegAndNotUploadedWhileTheRunnerIsBusy) {
  GetInternet().WriteStoredUserName("recruit");
  EXPECT_EQ(OwnBadgeTexture(), kDefaultBadgeName) << "before the first save";
  GUI_OL_BadgeDesigner* d = OpenBadgeDesigner();
  HoldRunner();
  server.Clear();
  ASSERT_TRUE(d->Save());
  EXPECT_FALSE(d->Uploading());
  const std::string bytes = ReadAll(OwnBadgePath());
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
  EXPECT_FALSE(FileExists(OwnBadgePath() + ".part"));
  EXPECT_EQ(OwnBadgeTexture(), kOwnBadgeName);
  ReleaseRunner();
  EXPECT_EQ(server.Log(), "");
  // With the runner free the badge goes to the server, tagged with the user name.
  ASSERT_TRUE(d->Save());
  ASSERT_TRUE(d->Uploading());
  Pump(d, [&] { return d->Uploading(); });
  EXPECT_TRUE(d->LastUploadOk());
  EXPECT_NE(server.Log().find("upload_regiment_logo.php"), std::string::npos);
}

TEST_F(OnlineScreensTest, PosterShowsTheLoadedChallengesPosterAndKeepsItWithoutAFile) {
  GUI_OL_LoadingScreen& poster = GetLoadingPoster();
  poster.LoadPoster();
  const GUI_Rect c = poster.GetClientRect();
  EXPECT_EQ(poster.BadgeSide(), static_cast<float>(c.Height() - 20));
  EXPECT_EQ(poster.BadgeLeft(), c.left + 10.0f);
  EXPECT_EQ(poster.Value(0), "") << "no poster yet";
  EXPECT_EQ(poster.Label(0), GetTranslation("POSTER_USERNAME"));

  struct Case {
    const char* rank;
    const char* xp;
    std::string rankName;
    const char* xpText;
  };
  const Case cases[] = {{"2", "1234567", GetRankName(2), "1,234,567"},
                        {"9", "0", "", "0"},
                        {"-1", "", "", "0"},
                        {"3", "999", GetRankName(3), "999"}};
  for (const Case& k : cases) {
    WriteAll(
        Web("challenge_details.txt"),
        std::string("[comments]\nbob,\"nice\"\n[profile]\nusername = ironhide\ngeneral_name = Viktor Strand\n"
                    "regiment_name = Grey Wolves\nrank = ") +
            k.rank + "\nxp = " + k.xp + "\n");
    WriteAll(Web("poster_achievements.txt"), "#,ACH_TANK_HUNTER,\n#,ACH_FIRST_VICTORY,\n#,BOGUS,\n");
    poster.LoadPoster();
    EXPECT_EQ(poster.Value(0), "ironhide");
    EXPECT_EQ(poster.Value(1), "Viktor Strand");
    EXPECT_EQ(poster.Value(2), "Grey Wolves");
    EXPECT_EQ(poster.Value(3), k.rankName) << k.rank;
    EXPECT_EQ(poster.Value(4), k.xpText) << k.xp;
    EXPECT_EQ(poster.BadgeTexture(), "battle_icon.dds") << "no badge of theirs yet";
    EXPECT_EQ(poster.Achievements()->Items().size(), 2u);
    EXPECT_EQ(poster.Achievements()->top, static_cast<int>(poster.BadgeTop() + 198.0f));
    EXPECT_EQ(poster.Achievements()->left, static_cast<int>(poster.BadgeLeft() + poster.BadgeSide()));
  }
  // A poster who sent badge layers but saved no picture shows the layers, as the
  // challenge's details did.
  WriteAll(Web("challenge_details.txt"),
           "[profile]\nusername = ironhide\nbadge_bg = badge_bg_circle.dds,1,0,90,20,20,255\n"
           "badge_crest = badge_crest_wolf.dds,0.8,0,200,200,200,255\n");
  poster.LoadPoster();
  EXPECT_EQ(poster.BadgeTexture(), "");
  ASSERT_NE(poster.Badge(), nullptr);
  EXPECT_TRUE(poster.Badge()->LayerShown(0));
  EXPECT_TRUE(poster.Badge()->LayerShown(1));
  EXPECT_FALSE(poster.Badge()->LayerShown(2));
  EXPECT_EQ(poster.Badge()->left, static_cast<int>(poster.BadgeLeft()));
  EXPECT_EQ(poster.Badge()->right - poster.Badge()->left, static_cast<int>(poster.BadgeSide()));
  // An ordinary battle's load leaves no details file: the poster keeps what it had.
  std::remove(Web("challenge_details.txt").c_str());
  poster.LoadPoster();
  EXPECT_EQ(poster.Value(0), "ironhide");
  EXPECT_EQ(poster.Achievements()->Items().size(), 2u);
}

TEST_F(OnlineScreensTest, FetchingAPosterNeverLeavesAnotherChallengesDetails) {
  GetInternet().WriteStoredUserName("recruit");
  WriteAll(Web("challenge_details.txt"), "[profile]\nusername = someone_else\n");
  server.SetMode("getchallengedetails.php", "reset");
  EXPECT_FALSE(FetchChallengePoster("seed0001", "ironhide"));
  EXPECT_FALSE(FileExists(Web("challenge_details.txt")));
  server.SetMode("getchallengedetails.php", "");
  EXPECT_FALSE(FetchChallengePoster("seed0001", "../evil"));
  ASSERT_TRUE(FetchChallengePoster("seed0001", "ironhide"));
  GetLoadingPoster().LoadPoster();
  EXPECT_EQ(GetLoadingPoster().Value(0), "ironhide");
  EXPECT_EQ(GetLoadingPoster().Value(4), "8,800");
  EXPECT_EQ(GetLoadingPoster().Achievements()->Items().size(), 7u);
}

TEST_F(OnlineScreensTest, AComparisonPanelWhoseProfileFailedShowsOnlyTheName) {
  GetInternet().WriteStoredUserName("recruit");
  struct Case {
    const char* mode;
  };
  for (const char* mode : {"reset", "html500", "truncated", "garbage"}) {
    server.SetMode("getuserprofile.php", mode);
    const ComparedProfile p = FetchComparedProfile("ironhide", "recruit");
    EXPECT_FALSE(p.loaded) << mode;
    GUI_OL_UserComparison panel;
    panel.SetRect(10, 10, 400, 690);
    panel.Load(p);
    EXPECT_EQ(panel.Value(0), "ironhide") << mode;
    for (int i = 1; i < 5; ++i) EXPECT_EQ(panel.Value(i), "") << mode;
    EXPECT_FALSE(panel.HasBadge());
    EXPECT_TRUE(panel.Achievements()->Items().empty());
  }
  server.SetMode("getuserprofile.php", "");
  const ComparedProfile ok = FetchComparedProfile("ironhide", "recruit");
  ASSERT_TRUE(ok.loaded);
  EXPECT_EQ(ok.xpText, "8,800");
  EXPECT_EQ(ok.badgeTexture, "battle_icon.dds");
  EXPECT_EQ(ok.achievements.size(), 7u);
  // Ironhide saved no badge picture: the layers of his profile stand where it goes, and a
  // failed profile after it takes them away again.
  EXPECT_TRUE(ok.layered);
  {
    GUI_OL_UserComparison panel;
    panel.SetRect(10, 10, 400, 690);
    panel.Load(ok);
    ASSERT_NE(panel.LayeredBadge(), nullptr);
    EXPECT_FALSE(panel.HasBadge()) << "not the stand-in picture as well";
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(panel.LayeredBadge()->LayerShown(i)) << i;
    EXPECT_EQ(panel.LayeredBadge()->right, 390);
    EXPECT_EQ(panel.LayeredBadge()->right - panel.LayeredBadge()->left, 200);
    panel.Load(ComparedProfile{});
    EXPECT_EQ(panel.LayeredBadge(), nullptr);
  }
  // The player's own unlocked list is another file: a comparison never replaces it.
  EXPECT_FALSE(FileExists(Web("achievements_list.txt")));
  const ComparedProfile self = FetchComparedProfile("recruit", "recruit");
  EXPECT_EQ(self.badgeTexture, OwnBadgeTexture()) << "comparing with oneself shows one's own badge";
  EXPECT_FALSE(self.layered);
  EXPECT_EQ(FetchComparedProfile("../x", "recruit").loaded, false);
}

TEST_F(OnlineScreensTest, ComparisonWhileTheRunnerIsBusyShowsAnEmptyTitledDialog) {
  GetInternet().WriteStoredUserName("recruit");
  HoldRunner();
  GUI_OL_Compare* compare = OpenProfileComparison("ironhide");
  EXPECT_EQ(compare->Title(), "recruit Vs ironhide");
  EXPECT_FALSE(compare->Loading());
  compare->Draw();
  EXPECT_EQ(compare->LeftPanel(), nullptr);
  ReleaseRunner();
}

TEST_F(OnlineScreensTest, EveryDialogIsOnScreenFrom1024x768Up) {
  for (auto size : {std::pair<int, int>{1024, 768}, {1280, 1024}, {1280, 800}, {1920, 1080}}) {
    const int w = size.first, h = size.second;
    const OnlineLayout l = ComputeOnlineLayout(w, h);
    for (const GUI_Rect& r : {l.profile, l.achievements, l.friends, l.inbox}) {
      EXPECT_GE(r.left, 0) << w << "x" << h;
      EXPECT_GE(r.top - 37, 0) << "title bar on screen " << w << "x" << h;
      EXPECT_LE(r.right, w) << w << "x" << h;
      EXPECT_LE(r.bottom, h) << w << "x" << h;
      EXPECT_GT(r.Height(), 200) << w << "x" << h;
    }
    EXPECT_EQ(l.profile.Width(), 700);
    EXPECT_EQ(l.friends.left, l.profile.right) << "side by side";
    EXPECT_EQ(l.friends.bottom, l.profile.bottom) << "of equal height";
    EXPECT_GE(l.achievements.top - 37, l.profile.bottom) << "its title bar clears the profile";
    EXPECT_GE(l.inbox.top - 37, l.friends.bottom);
    EXPECT_LE(l.friends.right - 40, l.close.left) << "the friends title bar clears the close button";
  }
}

TEST_F(OnlineScreensTest, EnteringOpensTheFourDialogsAndLeavingClosesThem) {
  GUI_Online mode;
  mode.Enter();
  ASSERT_NE(OpenProfileWindowDialog(), nullptr);
  ASSERT_NE(OpenAchievementsDialogWindow(), nullptr);
  ASSERT_NE(OpenFriendsDialogWindow(), nullptr);
  ASSERT_NE(OpenInbox(), nullptr);
  EXPECT_EQ(OpenAchievementsDialogWindow()->GetName(), "PROFILE_MEDALS");
  EXPECT_GE(OpenInbox()->RowsShown(), 4);
  // A new player's inbox shows the shipped default badge, as the profile window does,
  // rather than an empty square.
  ASSERT_TRUE(OpenInbox()->ShowsOwnBadgePicture());
  ASSERT_NE(OpenInbox()->OwnBadgeSprite().texture, nullptr);
  EXPECT_EQ(OpenInbox()->OwnBadgeSprite().texture->Name(), kDefaultBadgeName);
  EXPECT_EQ(mode.CloseButton()->right, 1024);
  EXPECT_EQ(mode.CloseButton()->bottom, 36);
  // Before sign-up, actions that need a name say so.
  GUI_OL_Friends::OnAdd(0);
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenMessageBox()->Text(), GetTranslation("OL_SIGN_UP_FIRST"));
  EXPECT_EQ(OpenAddFriendDialog(), nullptr);
  mode.Leave();
  EXPECT_EQ(OpenProfileWindowDialog(), nullptr);
  EXPECT_EQ(OpenAchievementsDialogWindow(), nullptr);
  EXPECT_EQ(OpenFriendsDialogWindow(), nullptr);
  EXPECT_EQ(OpenInbox(), nullptr);
}

}  // namespace
