// Two players on the local game server, each with a user folder of its own, using the
// online screen as a player would: sign-up, friends (invite, accept, reject, cancel,
// delete), a message and a comparison from a friend row, and a badge that reaches the
// other player. Every hostile answer shows an error and leaves the screen and the
// player's files as they were.
#include <chrono>
#include <thread>

#include "app/Game.h"
#include "battle/BattleFixture.h"
#include "battle/ChallengeRecording.h"
#include "battle/Gameplay.h"
#include "battlehud/BattleHud.h"
#include "battlehud/RecordingSave.h"
#include "browser/GUI_BattleBrowser.h"
#include "browser/OnlineBrowser.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/MessageBox.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "online/BadgeDesigner.h"
#include "online/ChallengeDialogs.h"
#include "online/Friends.h"
#include "online/GUI_Online.h"
#include "online/MessageDialogs.h"
#include "online/Messages.h"
#include "online/OnlineFixture.h"
#include "online/PlayerProfile.h"
#include "online/ProfileCompare.h"
#include "online/ProfileWindow.h"
#include "online/RegimentBadge.h"
#include "simdata/GlobalStats.h"
#include "simdata/MapSquare.h"
#include "simdata/UnitDesign.h"
#include "support/NullDeviceFixture.h"

using namespace zt_test;

namespace {

const char* kHostileModes[] = {"refuse", "html500", "reset", "truncated", "garbage", "notfound"};

class OnlineTwoClientsTest : public NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    LoadStringsTable();
    ASSERT_TRUE(server.Start()) << "the local game server did not start";
    setenv("ZENTRAK_SERVER", server.Base().c_str(), 1);
    AssertText[0] = '\0';
  }
  void TearDown() override {
    CloseAll();
    // The screens as the players used them never fail an internal check (a dialog
    // titled before it had a width did).
    EXPECT_STREQ(AssertText, "");
    if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
    server.Stop();
    NullDeviceTest::TearDown();
  }
  void CloseAll() {
    mode.Leave();
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GetWindowOrder().FlushDeleted();
  }

  // Switches the process to one player's installation: their folders, stored name,
  // profile, friends and messages. The online screen is entered afresh.
  void Become(const std::string& who) {
    CloseAll();
    if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
    const char* names[USERFOLDER_COUNT] = {
        "",    "player_units", "scenarios", "deployments",    "designtextures", "challenge_temp",
        "web", "web/debug",    "bitmaps",   "badge_database", "web/patches"};
    const std::string root = UserRoot() + "/" + who;
    UserFolders()[0] = root;
    for (int i = 1; i < USERFOLDER_COUNT; ++i) UserFolders()[i] = root + "/" + names[i];
    for (int i = 0; i < USERFOLDER_COUNT; ++i) EnsureDirectoryExists(UserFolders()[i]);
    ReplaceProcessWide<SIM_Server>(std::make_unique<SIM_Server>());
    ReplaceProcessWide<SIM_PlayerProfile>(std::make_unique<SIM_PlayerProfile>());
    ReplaceProcessWide<SIM_FriendsList>(nullptr);
    GetMessageDatabase().Clear();
    ReplaceProcessWide<SIM_ChallengeDatabase>(std::make_unique<SIM_ChallengeDatabase>());
    GetLink().Options().totalTimeoutMs = 2000;
    GetLink().Options().connectTimeoutMs = 1000;
    mode.Enter();
    Settle();
  }
  std::string Web(const std::string& name) { return GetUserFolder(USERFOLDER_WEB) + "/" + name; }

  // Draws the online screen's windows until no worker runs.
  void Settle() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    do {
      GetWindowOrder().FlushDeleted();
      mode.Draw();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (GetThreadManager().Busy() && std::chrono::steady_clock::now() < until);
    // One more frame takes the last results.
    mode.Draw();
    GetWindowOrder().FlushDeleted();
    ASSERT_FALSE(GetThreadManager().Busy()) << "a worker did not finish";
  }

  void Type(GUI_TextEditWindow* field, const std::string& text) {
    field->SetFocus();
    for (int i = 0; i < 80; ++i) field->OnKeyDown(GUI_TextEditWindow::kKeyBackspace);
    for (char c : text) {
      if (c == ' ')
        field->OnKeyDown(GUI_TextEditWindow::kKeySpace);
      else
        field->OnChar(static_cast<unsigned char>(c));
    }
  }

  std::string MessageBoxText() { return OpenMessageBox() ? OpenMessageBox()->Text() : std::string(); }
  void DismissMessage() { delete OpenMessageBox(); }

  // Signs the current player up through the profile window.
  void SignUp(const std::string& user) {
    GUI_OL_Window* w = OpenProfileWindowDialog();
    ASSERT_NE(w, nullptr);
    Type(w->Field(0), user);
    GUI_OL_Window::OnRandomGeneralName(0);
    GUI_OL_Window::OnRandomRegimentName(0);
    GUI_OL_Window::OnSaveChanges(0);
    Settle();
    ASSERT_EQ(MessageBoxText(), "") << "sign-up of " << user;
    ASSERT_EQ(ReadStoredUserName(), user);
  }

  GUI_OL_FriendStrip* Row(const std::string& name, int kind) {
    GUI_OL_Friends* f = OpenFriendsDialogWindow();
    if (!f) return nullptr;
    for (const auto& row : f->Rows())
      if (row->Name() == name && row->Kind() == kind) return row.get();
    return nullptr;
  }
  int RowIndex(const std::string& name, int kind) {
    GUI_OL_Friends* f = OpenFriendsDialogWindow();
    for (size_t i = 0; i < f->Rows().size(); ++i)
      if (f->Rows()[i]->Name() == name && f->Rows()[i]->Kind() == kind) return static_cast<int>(i);
    return -1;
  }
  void Invite(const std::string& who) {
    GUI_OL_Friends::OnAdd(0);
    ASSERT_NE(OpenAddFriendDialog(), nullptr);
    Type(OpenAddFriendDialog()->NameField(), who);
    GUI_OL_AddFriend::OnAdd(0);
    Settle();
  }

  EnvGuard serverEnv{"ZENTRAK_SERVER"};
  LocalGameServer server;
  GUI_Online mode;
};

TEST_F(OnlineTwoClientsTest, SignUpIsKeptOnlyWhenTheServerAcceptsIt) {
  Become("alpha");
  GUI_OL_Window* w = OpenProfileWindowDialog();
  ASSERT_NE(w, nullptr);
  const std::string profileIni = UserFolders()[0] + "/profile.ini";

  // An empty name is refused before anything is sent.
  server.Clear();
  GUI_OL_Window::OnRandomGeneralName(0);
  GUI_OL_Window::OnRandomRegimentName(0);
  GUI_OL_Window::OnSaveChanges(0);
  EXPECT_EQ(MessageBoxText(), GetTranslation("OL_NAME_EMPTY"));
  DismissMessage();
  // Path characters never reach the field.
  Type(w->Field(0), "../al/pha");
  EXPECT_EQ(w->Field(0)->GetText(), "alpha");
  Type(w->Field(0), "alpha");
  EXPECT_EQ(server.Log(), "");

  // Every hostile answer: the reason shown, nothing written, the typed names kept.
  for (const char* hostile : kHostileModes) {
    server.SetMode("updateprofile.php", hostile);
    GUI_OL_Window::OnSaveChanges(0);
    Settle();
    EXPECT_NE(MessageBoxText(), "") << hostile;
    DismissMessage();
    EXPECT_FALSE(UserNameFileExists()) << hostile;
    EXPECT_FALSE(FileExists(profileIni)) << hostile;
    EXPECT_EQ(w->Field(0)->GetText(), "alpha") << hostile;
    EXPECT_TRUE(w->SaveButton()->enabled) << "still to be saved: " << hostile;
    EXPECT_EQ(GetPlayerProfile().GetUserName(), "notset") << hostile;
  }
  server.SetMode("updateprofile.php", "");
  const std::string general = w->Field(1)->GetText();
  GUI_OL_Window::OnSaveChanges(0);
  Settle();
  EXPECT_EQ(MessageBoxText(), "");
  EXPECT_EQ(ReadStoredUserName(), "alpha");
  EXPECT_NE(ReadAll(profileIni).find("username = alpha"), std::string::npos) << ReadAll(profileIni);
  EXPECT_FALSE(w->SaveButton()->enabled);

  // Leave and come back: the names are kept.
  mode.Leave();
  mode.Enter();
  w = OpenProfileWindowDialog();
  EXPECT_EQ(w->Field(0)->GetText(), "alpha");
  EXPECT_EQ(w->Field(1)->GetText(), general);
  EXPECT_FALSE(w->SaveButton()->enabled);
}

TEST_F(OnlineTwoClientsTest, FriendsInviteAcceptRejectCancelAndDeleteAsBothPlayersSeeThem) {
  Become("bravo");
  SignUp("bravo");
  Become("alpha");
  SignUp("alpha");
  // A refused invitation says why and changes no row.
  Invite("nobody_here");
  EXPECT_NE(MessageBoxText(), "");
  DismissMessage();
  delete OpenAddFriendDialog();
  EXPECT_EQ(Row("nobody_here", GUI_OL_FriendStrip::kSent), nullptr);
  for (const char* hostile : kHostileModes) {
    server.SetMode("invite_friend.php", hostile);
    Invite("bravo");
    EXPECT_NE(MessageBoxText(), "") << hostile;
    DismissMessage();
    EXPECT_NE(OpenAddFriendDialog(), nullptr) << "the dialog stays for another try: " << hostile;
    delete OpenAddFriendDialog();
    EXPECT_EQ(Row("bravo", GUI_OL_FriendStrip::kSent), nullptr) << hostile;
  }
  server.SetMode("invite_friend.php", "");
  Invite("bravo");
  EXPECT_EQ(MessageBoxText(), "");
  EXPECT_EQ(OpenAddFriendDialog(), nullptr) << "closed once sent";
  ASSERT_NE(Row("bravo", GUI_OL_FriendStrip::kSent), nullptr);
  // And one to cancel.
  Invite("sgt_rook");
  ASSERT_NE(Row("sgt_rook", GUI_OL_FriendStrip::kSent), nullptr);
  GUI_OL_FriendStrip::OnCancel(RowIndex("sgt_rook", GUI_OL_FriendStrip::kSent));
  Settle();
  EXPECT_EQ(Row("sgt_rook", GUI_OL_FriendStrip::kSent), nullptr);

  // Bravo: the seeded welcome invitation and alpha's.
  Become("bravo");
  ASSERT_NE(Row("alpha", GUI_OL_FriendStrip::kReceived), nullptr);
  ASSERT_NE(Row("tankgirl", GUI_OL_FriendStrip::kReceived), nullptr);
  // Hostile accept: error shown, the invitation still there.
  for (const char* hostile : kHostileModes) {
    // A transport failure hits the list refreshes too; a refusal is the answer to the
    // accept alone (the lists that follow are real).
    server.SetMode(std::string(hostile) == "refuse" ? "accept_friendship_invite.php" : "*", hostile);
    GUI_OL_FriendStrip::OnAccept(RowIndex("alpha", GUI_OL_FriendStrip::kReceived));
    Settle();
    EXPECT_NE(MessageBoxText(), "") << hostile;
    DismissMessage();
    EXPECT_NE(Row("alpha", GUI_OL_FriendStrip::kReceived), nullptr) << hostile;
    EXPECT_EQ(Row("alpha", GUI_OL_FriendStrip::kFriend), nullptr) << hostile;
  }
  server.SetMode("*", "");
  server.SetMode("accept_friendship_invite.php", "");
  GUI_OL_FriendStrip::OnAccept(RowIndex("alpha", GUI_OL_FriendStrip::kReceived));
  Settle();
  EXPECT_EQ(MessageBoxText(), "");
  EXPECT_NE(Row("alpha", GUI_OL_FriendStrip::kFriend), nullptr);
  EXPECT_TRUE(IsFriend("alpha"));
  GUI_OL_FriendStrip::OnReject(RowIndex("tankgirl", GUI_OL_FriendStrip::kReceived));
  Settle();
  EXPECT_EQ(Row("tankgirl", GUI_OL_FriendStrip::kReceived), nullptr);
  EXPECT_FALSE(IsFriend("tankgirl"));

  // Alpha sees bravo as a friend, then removes them; both lose the friendship.
  Become("alpha");
  ASSERT_NE(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr);
  // Cancelled on the please-wait window: the rows stay as they were.
  // (The server holds the delete without carrying it out.)
  server.SetMode("delete_friend.php", "stall");
  GUI_OL_FriendStrip::OnDelete(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  GetThreadManager().CancelCurrent();
  EXPECT_FALSE(GetThreadManager().Busy()) << "the runner is free at once";
  Settle();
  EXPECT_NE(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr) << "a cancelled update changes no row";
  server.SetMode("delete_friend.php", "");
  // Re-entering while the refresh is cancelled keeps the cached rows too.
  CloseAll();
  server.SetMode("get_friends.php", "stall");
  mode.Enter();
  GetThreadManager().CancelCurrent();
  Settle();
  EXPECT_NE(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr);
  server.SetMode("get_friends.php", "");
  server.SetMode("delete_friend.php", "reset");
  GUI_OL_FriendStrip::OnDelete(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  Settle();
  EXPECT_NE(MessageBoxText(), "");
  DismissMessage();
  EXPECT_NE(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr) << "a failed delete keeps the friend";
  server.SetMode("delete_friend.php", "");
  GUI_OL_FriendStrip::OnDelete(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  Settle();
  EXPECT_EQ(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr);
  Become("bravo");
  EXPECT_EQ(Row("alpha", GUI_OL_FriendStrip::kFriend), nullptr);
}

TEST_F(OnlineTwoClientsTest, MessageCompareAndABadgeTheOtherPlayerSees) {
  Become("bravo");
  SignUp("bravo");
  Become("alpha");
  SignUp("alpha");
  Invite("bravo");
  Become("bravo");
  GUI_OL_FriendStrip::OnAccept(RowIndex("alpha", GUI_OL_FriendStrip::kReceived));
  Settle();
  // Bravo designs and saves a badge: it goes up tagged with bravo's name.
  ASSERT_NE(OpenProfileWindowDialog(), nullptr);
  GUI_OL_Window::OnEditBadge(0);
  GUI_OL_BadgeDesigner* designer = OpenBadgeDesignerWindow();
  ASSERT_NE(designer, nullptr);
  designer->Editor(1)->Step(1);
  // A failed upload keeps the badge here, whole.
  server.SetMode("upload_regiment_logo.php", "reset");
  GUI_OL_BadgeDesigner::OnSave(0);
  Settle();
  EXPECT_FALSE(designer->LastUploadOk());
  const std::string first = ReadAll(OwnBadgePath());
  ASSERT_GT(first.size(), 100u);
  server.SetMode("upload_regiment_logo.php", "");
  server.Clear();
  GUI_OL_BadgeDesigner::OnSave(0);
  Settle();
  EXPECT_TRUE(designer->LastUploadOk());
  const std::string log = server.Log();
  const std::string tagHex = "627261766f" + std::string(2 * (32 - 5), '0');  // "bravo", zero-filled
  const std::string body = log.substr(log.find("upload_regiment_logo.php"));
  EXPECT_NE(body.find(tagHex + "ffd8"), std::string::npos) << "tag, then the JPEG";
  ASSERT_NE(OpenProfileWindowDialog()->BadgeSprite().texture, nullptr);
  EXPECT_EQ(OpenProfileWindowDialog()->BadgeSprite().texture->Name(), kOwnBadgeName)
      << "the new badge shows at once";
  delete designer;

  // Alpha writes to bravo from the friend row and compares with them.
  Become("alpha");
  ASSERT_NE(Row("bravo", GUI_OL_FriendStrip::kFriend), nullptr);
  GUI_OL_FriendStrip::OnMessage(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  GUI_OL_SendMessage* send = OpenSendMessage();
  ASSERT_NE(send, nullptr);
  EXPECT_EQ(send->RecipientField()->GetText(), "bravo");
  Type(send->TextField(), "Well fought at the ford");
  GUI_OL_SendMessage::OnSend(0);
  Settle();
  EXPECT_EQ(OpenSendMessage(), nullptr) << MessageBoxText();

  GUI_OL_FriendStrip::OnCompare(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  GUI_OL_Compare* compare = OpenProfileComparisonWindow();
  ASSERT_NE(compare, nullptr);
  EXPECT_EQ(compare->Title(), "alpha Vs bravo");
  Settle();
  ASSERT_NE(compare->LeftPanel(), nullptr);
  ASSERT_NE(compare->RightPanel(), nullptr);
  EXPECT_EQ(compare->LeftPanel()->Value(0), "alpha");
  EXPECT_EQ(compare->RightPanel()->Value(0), "bravo");
  EXPECT_FALSE(compare->RightPanel()->Value(2).empty()) << "bravo's general";
  EXPECT_TRUE(compare->RightPanel()->HasBadge());
  const CLoadedTexture* badge = compare->RightPanel()->BadgeSprite().texture;
  ASSERT_NE(badge, nullptr);
  EXPECT_EQ(badge->Name(), "ztk_badge_bravo.jpg");
  EXPECT_NE(badge->Texture(), nullptr) << "the downloaded badge loads";
  const std::string cached = ReadAll(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/ztk_badge_bravo.jpg");
  EXPECT_EQ(cached, ReadAll(UserRoot() + "/bravo/bitmaps/regiment_badge.jpg"))
      << "bravo's badge reached alpha";
  EXPECT_EQ(compare->RightPanel()->Status(), "");
  delete compare;

  // HQ unreachable: each side says so instead of showing its labels over empty values.
  server.SetMode("getuserprofile.php", "refuse");
  GUI_OL_FriendStrip::OnCompare(RowIndex("bravo", GUI_OL_FriendStrip::kFriend));
  compare = OpenProfileComparisonWindow();
  ASSERT_NE(compare, nullptr);
  Settle();
  ASSERT_NE(compare->RightPanel(), nullptr);
  for (GUI_OL_UserComparison* panel : {compare->LeftPanel(), compare->RightPanel()}) {
    EXPECT_EQ(panel->Status(), GetTranslation("OL_COMPARE_OFFLINE"));
    EXPECT_EQ(panel->Value(2), "");
    EXPECT_FALSE(panel->HasBadge());
  }
  server.SetMode("getuserprofile.php", "");
  delete compare;

  // Bravo finds the message.
  Become("bravo");
  bool found = false;
  for (const OnlineMessage& m : GetMessageDatabase().Messages())
    found = found || (m.sender == "alpha" && m.text == "Well fought at the ford");
  EXPECT_TRUE(found);
}

// A new player from the main menu: Online, sign up with suggested names, a badge, a seeded
// player added, the seeded welcome invitation accepted, a message and a comparison; then
// back to the menu and Online again: all kept.
TEST_F(OnlineTwoClientsTest, ANewPlayerFromTheMainMenuKeepsEverythingAfterLeavingAndComingBack) {
  Become("newbie");
  CloseAll();
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  game.SetGameMode(MODE_ONLINE);
  ASSERT_EQ(game.CurrentModeNumber, MODE_ONLINE);
  auto settle = [&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    do {
      GetWindowOrder().FlushDeleted();
      game.CurrentMode->Draw();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (GetThreadManager().Busy() && std::chrono::steady_clock::now() < until);
    game.CurrentMode->Draw();
    GetWindowOrder().FlushDeleted();
  };
  settle();
  GUI_OL_Window* w = OpenProfileWindowDialog();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Field(0)->GetText(), "") << "no name before sign-up";
  Type(w->Field(0), "newbie");
  GUI_OL_Window::OnRandomGeneralName(0);
  GUI_OL_Window::OnRandomRegimentName(0);
  const std::string general = w->Field(1)->GetText(), regiment = w->Field(2)->GetText();
  EXPECT_FALSE(general.empty());
  EXPECT_FALSE(regiment.empty());
  GUI_OL_Window::OnSaveChanges(0);
  settle();
  ASSERT_EQ(MessageBoxText(), "");
  ASSERT_EQ(ReadStoredUserName(), "newbie");

  GUI_OL_Window::OnEditBadge(0);
  ASSERT_NE(OpenBadgeDesignerWindow(), nullptr);
  OpenBadgeDesignerWindow()->Editor(0)->Step(1);
  GUI_OL_BadgeDesigner::OnSave(0);
  settle();
  EXPECT_TRUE(OpenBadgeDesignerWindow()->LastUploadOk());
  delete OpenBadgeDesignerWindow();
  ASSERT_NE(OpenInbox(), nullptr);
  EXPECT_TRUE(OpenInbox()->ShowsOwnBadgePicture()) << "the inbox shows the new badge too";
  ASSERT_NE(OpenInbox()->OwnBadgeSprite().texture, nullptr);
  EXPECT_EQ(OpenInbox()->OwnBadgeSprite().texture->Name(), kOwnBadgeName);

  // The sign-up brought the new name's friends: the seeded welcome invitation.
  EXPECT_NE(Row("tankgirl", GUI_OL_FriendStrip::kReceived), nullptr);
  GUI_OL_Friends::OnAdd(0);
  Type(OpenAddFriendDialog()->NameField(), "ironhide");
  GUI_OL_AddFriend::OnAdd(0);
  settle();
  ASSERT_NE(Row("ironhide", GUI_OL_FriendStrip::kSent), nullptr);
  ASSERT_NE(Row("tankgirl", GUI_OL_FriendStrip::kReceived), nullptr);
  GUI_OL_FriendStrip::OnAccept(RowIndex("tankgirl", GUI_OL_FriendStrip::kReceived));
  settle();
  ASSERT_NE(Row("tankgirl", GUI_OL_FriendStrip::kFriend), nullptr);
  GUI_OL_FriendStrip::OnMessage(RowIndex("tankgirl", GUI_OL_FriendStrip::kFriend));
  Type(OpenSendMessage()->TextField(), "Thanks for the welcome");
  GUI_OL_SendMessage::OnSend(0);
  settle();
  EXPECT_EQ(OpenSendMessage(), nullptr);
  GUI_OL_FriendStrip::OnCompare(RowIndex("tankgirl", GUI_OL_FriendStrip::kFriend));
  settle();
  ASSERT_NE(OpenProfileComparisonWindow(), nullptr);
  ASSERT_NE(OpenProfileComparisonWindow()->RightPanel(), nullptr);
  EXPECT_EQ(OpenProfileComparisonWindow()->RightPanel()->Value(2), "Mira Osei");
  EXPECT_EQ(OpenProfileComparisonWindow()->LeftPanel()->Value(2), Windows1252ToUtf8(general));

  game.SetGameMode(MODE_MAIN_MENU);
  EXPECT_EQ(OpenProfileWindowDialog(), nullptr);
  EXPECT_EQ(OpenProfileComparisonWindow(), nullptr);
  game.SetGameMode(MODE_ONLINE);
  settle();
  w = OpenProfileWindowDialog();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Field(0)->GetText(), "newbie");
  EXPECT_EQ(w->Field(1)->GetText(), general);
  EXPECT_EQ(w->Field(2)->GetText(), regiment);
  ASSERT_NE(w->BadgeSprite().texture, nullptr);
  EXPECT_EQ(w->BadgeSprite().texture->Name(), kOwnBadgeName);
  EXPECT_NE(Row("tankgirl", GUI_OL_FriendStrip::kFriend), nullptr);
  EXPECT_NE(Row("ironhide", GUI_OL_FriendStrip::kSent), nullptr);
  game.SetGameMode(MODE_MAIN_MENU);
}

// Draws the window until no worker runs (the window is not part of the online screen).
template <typename Window>
void SettleWindow(Window* window) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (GetThreadManager().Busy() && std::chrono::steady_clock::now() < until) {
    window->Draw();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  window->Draw();
}

// The Online tab as the browser shows it, after its refresh from the worker.
GUI_BB_OnlineBrowser* OpenOnlineTab() {
  auto* tab = new GUI_BB_OnlineBrowser();
  tab->SetRect(0.0f, 0.0f, 1000.0f, 600.0f);
  tab->Layout();
  SettleWindow(tab);
  return tab;
}

// A challenge is posted under the poster's name: a player who never signed up is asked to,
// and OK opens the profile where that is done. Nothing reaches the server meanwhile.
TEST_F(OnlineTwoClientsTest, PostingAChallengeBeforeSigningUpAsksForASignUp) {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  ASSERT_FALSE(scenarios.Campaign().empty());
  Become("nobody");
  ASSERT_FALSE(UserNameFileExists());
  SIM_Battle& battle = GetBattle();
  battle.scenario = scenarios.Campaign().front();
  battle.playerDefends = false;
  delete OpenProfileWindowDialog();
  OpenPostChallenge();
  GUI_PostChallenge* post = GetPostChallengeDialog();
  ASSERT_NE(post, nullptr);
  GUI_PostChallenge::OnUpload(0);
  SettleWindow(post);
  EXPECT_EQ(MessageBoxText(), GetTranslation("POST_CHALLENGE_SIGN_UP"));
  EXPECT_EQ(GetPostChallengeDialog(), post) << "the dialog stays for the post after signing up";
  EXPECT_EQ(server.Log().find("postchallenge.php"), std::string::npos) << server.Log();
  ASSERT_NE(OpenMessageBox(), nullptr);
  GUI_Message::OnOK(0);
  EXPECT_NE(OpenProfileWindowDialog(), nullptr) << "OK opens the profile to sign up in";
  SignUp("nobody");
  GUI_PostChallenge::OnUpload(0);
  SettleWindow(post);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetPostChallengeDialog(), nullptr) << MessageBoxText();
  EXPECT_NE(server.Log().find("postchallenge.php"), std::string::npos) << "posted once signed up";
  battle.scenario = nullptr;
}

// The challenge loop: alpha attacked border_crossing, keeps the recording (it shows in
// the picker) and posts the battle with it; bravo refreshes the Online tab, opens the
// details, downloads, defends against alpha's recorded units and rates the challenge.
TEST_F(OnlineTwoClientsTest, OnePlayerPostsABattleAnotherDownloadsDefendsAndRatesIt) {
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  SIM_Scenario* crossing = nullptr;
  for (SIM_Scenario* s : scenarios.Campaign())
    if (s->name == "border_crossing") crossing = s;
  ASSERT_NE(crossing, nullptr);

  Become("alpha");
  SignUp("alpha");
  // Alpha's attack: the shipped deployments stand in for the ones the battle recorded.
  SIM_Battle& battle = GetBattle();
  battle.scenario = crossing;
  battle.playerDefends = false;
  SIM_ChallengeRecording& recording = GetChallengeRecording();
  recording.Clear();
  recording.SetFile(crossing->Folder() + "/recordings/Armoured Push.txt");
  recording.LoadDesigns();
  ASSERT_TRUE(recording.Load());
  size_t deployments = 0;  // units, a squad counting each of its members
  for (const auto& e : recording.entries) deployments += static_cast<size_t>(e->squadSize);
  ASSERT_GE(recording.entries.size(), 3u);
  ASSERT_EQ(SaveCurrentRecording(crossing, "Alpha Push"), "");
  bool listed = false;
  for (const std::string& file : ScenarioRecordings(crossing))
    listed = listed || file.find("Alpha Push") != file.npos;
  EXPECT_TRUE(listed) << "the saved recording is in the picker";

  OpenPostChallenge();
  GUI_PostChallenge* post = GetPostChallengeDialog();
  ASSERT_NE(post, nullptr);
  // A built-in map is found by name: the map option is off and cannot be ticked.
  EXPECT_FALSE(post->optionRows[0]->check->enabled);
  EXPECT_FALSE(post->options[0]);
  EXPECT_TRUE(post->options[2]);
  Type(post->nameEdit, "Alpha Crossing");
  Type(post->descriptionEdit, "Hold, if you can, the bridge");
  const int postedBefore = SIM_GlobalStats::Get().GetStat("custom_maps_posted");
  // A refused post says why and keeps the dialog.
  server.SetMode("postchallenge.php", "html500");
  GUI_PostChallenge::OnUpload(0);
  SettleWindow(post);
  EXPECT_EQ(GetPostChallengeDialog(), post);
  EXPECT_NE(MessageBoxText(), "");
  DismissMessage();
  server.SetMode("postchallenge.php", "");
  GUI_PostChallenge::OnUpload(0);
  GUI_PostChallenge::OnUpload(0);  // the second press while it sends starts nothing
  SettleWindow(post);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetPostChallengeDialog(), nullptr) << MessageBoxText();
  EXPECT_EQ(SIM_GlobalStats::Get().GetStat("custom_maps_posted"), postedBefore) << "a built-in map";
  const std::string log = server.Log();
  size_t posts = 0;
  for (size_t at = 0; (at = log.find("postchallenge.php", at)) != std::string::npos; ++at) ++posts;
  EXPECT_EQ(posts, 2u) << "one refused, one sent";

  Become("bravo");
  SignUp("bravo");
  // The tab opens on the (empty) local list and fills from the worker.
  GUI_BB_OnlineBrowser* tab = OpenOnlineTab();
  SIM_ChallengeInfo* posted = nullptr;
  for (SIM_ChallengeInfo* info : tab->shown)
    if (info->name == "Alpha Crossing") posted = info;
  ASSERT_NE(posted, nullptr);
  EXPECT_EQ(posted->poster, "alpha");
  EXPECT_EQ(posted->description, "Hold, if you can, the bridge");
  EXPECT_FALSE(posted->custom);
  EXPECT_FALSE(posted->IsDownloaded());
  const std::string ztkid = posted->ztkid;

  GUI_BB_ChallengeDetails* details = OpenChallengeDetails(posted);
  SettleWindow(details);
  EXPECT_EQ(details->deleteButton, nullptr) << "not bravo's challenge";
  EXPECT_FALSE(details->attackButton->enabled) << "a built-in map: defend only";
  bool hasName = false;
  for (const auto& kv : details->profile->values)
    hasName = hasName || (kv.first == "username" && kv.second == "alpha");
  EXPECT_TRUE(hasName);
  // Alpha sent no badge layers and saved no badge picture: the stand-in shows.
  auto* badge = dynamic_cast<GUI_RegimentBadge*>(details->profile->badge);
  ASSERT_NE(badge, nullptr);
  EXPECT_EQ(badge->Picture(), "battle_icon.dds");
  GUI_BB_ChallengeDetails::OnDefend(0);
  SIM_Scenario* prepared = details->scenario;
  ASSERT_NE(prepared, nullptr) << MessageBoxText();
  EXPECT_EQ(prepared->id, ztkid);
  EXPECT_EQ(prepared->name, "border_crossing");
  EXPECT_NE(GetDefenseOptions(), nullptr);
  // The scripted defence is offered: the picker lists the package's recording.
  const std::vector<std::string> offered = ScenarioRecordings(prepared);
  bool packageRecording = false;
  for (const std::string& file : offered)
    packageRecording = packageRecording || file.find(ztkid) != file.npos;
  EXPECT_TRUE(packageRecording);
  delete GetDefenseOptions();

  // Defending against alpha's recording: the recorded units arrive.
  recording.Clear();
  recording.SetFile(ChallengeFolder(ztkid) + "/recordings/deployment.txt");
  // Started the way the loading screen starts it (not through it: no frames run here).
  InitRandomWithSeed(1234);
  SIM_Battle& defence = GetBattle();
  defence.playerDefends = true;
  defence.aiUnitSource = AI_UNITS_SCRIPTED;
  defence.scenario = prepared;
  defence.Start();
  defence.Begin();
  for (int i = 0; i < 20000 && defence.battleClock < 16000.0f && defence.state == BATTLE_RUNNING; ++i)
    defence.Update();
  ASSERT_NE(defence.AttackerArmy(), nullptr);
  EXPECT_EQ(defence.AttackerArmy()->allUnits.size(), deployments) << "alpha's deployments were replayed";

  // Rating: both rows need a star; the comment goes with it.
  battle.scenario = prepared;
  OpenRateChallenge();
  GUI_BS_RateChallenge* rate = GetRateChallengeDialog();
  ASSERT_NE(rate, nullptr);
  rate->Draw();
  EXPECT_FALSE(rate->submit->enabled);
  auto clickStar = [](GUI_BS_RatingPicker* p, int n) {
    p->LeftClick(p->left + 18.0f + 36.0f * (n - 1), p->top + 18.0f);
  };
  clickStar(rate->difficulty, 3);
  rate->Draw();
  EXPECT_FALSE(rate->submit->enabled);
  clickStar(rate->enjoyment, 5);
  clickStar(rate->difficulty, 4);
  rate->Draw();
  EXPECT_TRUE(rate->submit->enabled);
  EXPECT_EQ(rate->difficulty->value, 4);
  Type(rate->comment, "Held it, barely");
  GUI_BS_RateChallenge::OnSubmit(0);
  SettleWindow(rate);
  GetWindowOrder().FlushDeleted();
  EXPECT_EQ(GetRateChallengeDialog(), nullptr) << MessageBoxText();

  // The server holds the rating and the comment: alpha sees them.
  std::string reply;
  ASSERT_TRUE(GetChallengeServerHooks().fetchDetails(ztkid, "alpha", &reply));
  const ChallengeDetailsReply seen = ParseChallengeDetails(reply);
  ASSERT_EQ(seen.comments.size(), 1u);
  EXPECT_EQ(seen.comments[0].commenter, "bravo");
  EXPECT_EQ(seen.comments[0].text, "Held it, barely");
  // A refresh brings only newer challenges: a list asked afresh shows the new counts.
  ReplaceProcessWide<SIM_ChallengeDatabase>(std::make_unique<SIM_ChallengeDatabase>());
  std::remove(GetChallengeDatabase().path.c_str());
  ASSERT_TRUE(GetChallengeDatabase().Refresh(GetChallengeServerHooks().fetchList));
  const SIM_ChallengeInfo* rated = nullptr;
  for (const auto& info : GetChallengeDatabase().challenges)
    if (info->ztkid == ztkid) rated = info.get();
  ASSERT_NE(rated, nullptr);
  EXPECT_FLOAT_EQ(rated->difficulty, 4.0f);
  EXPECT_FLOAT_EQ(rated->enjoyment, 5.0f);
  delete details;
  delete tab;
}

// The other side of the loop: a posted map of a player's own is downloaded and attacked
// until the battle is decided, with the options' own unit source (not a defence's stale
// scripted one).
TEST_F(OnlineTwoClientsTest, APostedCustomMapIsDownloadedAndAttackedToItsOutcome) {
  SIM_ScenarioManager::Get().Load();
  Become("bravo");
  SignUp("bravo");
  GUI_BB_OnlineBrowser* tab = OpenOnlineTab();
  SIM_ChallengeInfo* ridge = nullptr;
  for (SIM_ChallengeInfo* info : tab->shown)
    if (info->custom) ridge = info;
  ASSERT_NE(ridge, nullptr) << "the server's seeded custom map";
  const std::string ztkid = ridge->ztkid;

  GUI_BB_ChallengeDetails* details = OpenChallengeDetails(ridge);
  SettleWindow(details);
  ASSERT_TRUE(details->attackButton->enabled);
  SIM_Battle& battle = GetBattle();
  battle.aiUnitSource = AI_UNITS_SCRIPTED;  // left by an earlier defence
  GUI_BB_ChallengeDetails::OnAttack(0);
  SIM_Scenario* prepared = details->scenario;
  ASSERT_NE(prepared, nullptr) << MessageBoxText();
  EXPECT_EQ(prepared->id, ztkid);
  EXPECT_EQ(prepared->Folder(), ChallengeFolder(ztkid));
  EXPECT_FALSE(battle.playerDefends);
  ASSERT_NE(GetAttackOptions(), nullptr);
  OnAttackOption(1);
  EXPECT_EQ(GetAttackOptions(), nullptr);
  EXPECT_EQ(battle.aiUnitSource, AI_UNITS_ALL);
  ASSERT_EQ(battle.scenario, prepared);

  // Started the way the loading screen starts it; the computer deploys its defence.
  InitRandomWithSeed(4321);
  prepared->classic.timeLimit = 90000.0f;
  battle.Start();
  std::vector<SIM_UnitDesign*> tanks;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (d->GetSizeType() == 2) tanks.push_back(d);
  ASSERT_FALSE(tanks.empty());
  int placed = 0;
  for (const auto& sq : prepared->grid) {
    if (!sq || !sq->attackerFlag || sq->kind == SIM_MapSquare::KIND_EMPLACEMENT || placed == 4) continue;
    if (battle.playerArmy->DeployDesign(sq->column, sq->row, tanks[placed % tanks.size()], 1, 180.0f, false))
      ++placed;
  }
  ASSERT_GT(placed, 0);
  battle.Begin();
  int frames = 0;
  // Bravo buys nothing more: while the attacker could still buy a unit the battle waits.
  for (; frames < 20000 && battle.outcome == OUTCOME_UNDECIDED; ++frames) {
    GetGameplay().supplies = 0.0f;
    battle.Update();
  }
  EXPECT_NE(battle.outcome, OUTCOME_UNDECIDED)
      << "after " << frames << " frames, clock " << battle.battleClock;
  EXPECT_GT(battle.opponentArmy->allUnits.size(), 0u) << "the map's defence was deployed";
  delete details;
  delete tab;
}

}  // namespace
