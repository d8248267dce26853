// The message screens on the recording null device, against the local game server: the
// inbox rows, the details (reply, delete) and the send dialog (bounded, encoded text; a
// failed send says why).
#include <chrono>
#include <thread>

#include "engine/Strings.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "online/MessageDialogs.h"
#include "online/OnlineFixture.h"
#include "support/NullDeviceFixture.h"

using namespace zt_test;

namespace {

class MessageDialogsTest : public NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    UseTestUserFolders();
    ASSERT_TRUE(server.Start()) << "the local game server did not start";
    setenv("ZENTRAK_SERVER", server.Base().c_str(), 1);
    GetLink().Options().totalTimeoutMs = 2000;
    GetLink().Options().connectTimeoutMs = 1000;
    GetInternet().WriteStoredUserName("recruit");
  }
  void TearDown() override {
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GetWindowOrder().FlushDeleted();
    if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
    server.Stop();
    NullDeviceTest::TearDown();
  }

  // A cached inbox of n messages, ids 1..n, and the database read from it.
  void WriteCache(int n, const std::string& text = "Hold the ridge") {
    std::string file;
    for (int i = 1; i <= n; ++i)
      file += "##," + std::to_string(i) + ",sender" + std::to_string(i) + ",2031-4-7,\"" + text + " " +
              std::to_string(i) + "\"\n";
    WriteAll(GetUserFolder(USERFOLDER_WEB) + "/messages.txt", file);
    GetMessageDatabase().Clear();
    GetMessageDatabase().Load();
  }

  // Draws the window until its worker is done and the result was taken.
  template <typename Dialog, typename Busy>
  void Pump(Dialog* dialog, Busy busy) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (busy() && std::chrono::steady_clock::now() < until) {
      dialog->Draw();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(busy()) << "the worker did not finish";
  }

  void Type(GUI_TextEditWindow* field, const std::string& text) {
    for (char c : text) {
      if (c == ' ')
        field->OnKeyDown(GUI_TextEditWindow::kKeySpace);
      else
        field->OnChar(static_cast<unsigned char>(c));
    }
  }

  std::string LastRequest() {
    std::string log = server.Log();
    if (log.empty()) return std::string();
    log.pop_back();
    size_t start = log.rfind('\n');
    return start == std::string::npos ? log : log.substr(start + 1);
  }
  std::string MessageBoxText() { return OpenMessageBox() ? OpenMessageBox()->Text() : std::string(); }

  EnvGuard serverEnv{"ZENTRAK_SERVER"};
  LocalGameServer server;
};

TEST_F(MessageDialogsTest, InboxRowsListNewestFirstCutTheirTextsAndOpenTheirDetails) {
  WriteCache(3);
  GUI_OL_Messages* inbox = ShowInbox(false);
  ASSERT_EQ(inbox->RowWindows().size(), 3u);
  EXPECT_EQ(inbox->RowWindows()[0]->Message().id, 3);
  EXPECT_EQ(inbox->RowWindows()[2]->Message().id, 1);
  EXPECT_FALSE(inbox->ScrollBar()->visible);
  ASSERT_NE(inbox->NewMessageButton(), nullptr);
  EXPECT_EQ(inbox->NewMessageButton()->label, GetTranslation("OL_NEW_MESSAGE"));

  struct Case {
    std::string sender, text, senderShown, textShown;
  } cases[] = {
      {"ironhide", std::string(71, 'a'), "ironhide", std::string(71, 'a')},
      {"ironhide", std::string(72, 'b'), "ironhide", std::string(71, 'b') + "..."},
      {std::string(40, 'n'), "short", std::string(32, 'n'), "short"},
      // The server's UTF-8 as the interface font draws it (it has no CJK glyphs at all).
      {"ironhide",
       "\xc3\xa9"
       "clair \xc2\xa3"
       "5 \xe2\x80\x94 \xe6\x97\xa5!",
       "ironhide",
       "eclair \xa3"
       "5 - !"},
  };
  for (const Case& c : cases) {
    GUI_OL_Message row(OnlineMessage{7, c.sender, "2031-4-7", c.text});
    EXPECT_EQ(row.SenderShown(), c.senderShown);
    EXPECT_EQ(row.TextShown(), c.textShown);
  }

  // A click on the second row opens the details of its record.
  GUI_OL_Message* second = inbox->RowWindows()[1];
  const float x = (second->left + second->right) / 2, y = (second->top + second->bottom) / 2;
  EXPECT_TRUE(inbox->LeftClick(x, y));
  ASSERT_NE(OpenMessageDetails(), nullptr);
  EXPECT_EQ(OpenMessageDetails()->Message().id, 2);
  EXPECT_EQ(OpenMessageDetails()->TextBox()->Text(), "Hold the ridge 2");
  inbox->Draw();  // the rows draw on the null device without fonts
}

TEST_F(MessageDialogsTest, ALongInboxScrollsItsRows) {
  WriteCache(15);
  GUI_OL_Messages* inbox = ShowInbox(false);
  ASSERT_EQ(inbox->RowWindows().size(), size_t(GUI_OL_Messages::kRowsShown));
  EXPECT_TRUE(inbox->ScrollBar()->visible);
  EXPECT_EQ(inbox->ScrollBar()->Maximum(), 3);
  for (int i = 0; i < 5; ++i) inbox->OnWheelDown();
  inbox->Draw();
  EXPECT_EQ(inbox->FirstRow(), 3);
  EXPECT_EQ(inbox->RowWindows().front()->Message().id, 12);
  EXPECT_EQ(inbox->RowWindows().back()->Message().id, 1);
}

TEST_F(MessageDialogsTest, InboxRefreshRunsOnTheWorkerAndKeepsTheCacheWhenTheServerIsGone) {
  GetMessageDatabase().Clear();
  GUI_OL_Messages* inbox = ShowInbox(true);
  EXPECT_TRUE(inbox->Refreshing());
  Pump(inbox, [&] { return inbox->Refreshing(); });
  ASSERT_EQ(inbox->Rows().size(), 4u);  // the seeded messages
  EXPECT_EQ(inbox->Rows().front().sender, "ironhide");
  const std::string cache = ReadAll(GetMessageDatabase().FilePath());

  server.Stop();
  inbox = ShowInbox(true);
  Pump(inbox, [&] { return inbox->Refreshing(); });
  EXPECT_EQ(inbox->Rows().size(), 4u);
  EXPECT_EQ(inbox->Status(), GetTranslation("OL_MESSAGES_OFFLINE"));
  EXPECT_EQ(ReadAll(GetMessageDatabase().FilePath()), cache);
}

TEST_F(MessageDialogsTest, ReplyPrefillsTheSenderAndClosesTheDetails) {
  GUI_OL_MessageDetails* details = ShowMessageDetails(OnlineMessage{4, "ironhide", "2031-4-7", "Rematch?"});
  ASSERT_NE(details->ReplyButton(), nullptr);
  details->ReplyButton()->Click();
  EXPECT_EQ(OpenMessageDetails(), nullptr);
  ASSERT_NE(OpenSendMessage(), nullptr);
  EXPECT_EQ(OpenSendMessage()->RecipientField()->GetText(), "ironhide");
  EXPECT_EQ(OpenSendMessage()->TextField()->GetText(), "");
  EXPECT_TRUE(OpenSendMessage()->TextField()->IsFocused());

  // The inbox's button opens it empty.
  WriteCache(1);
  ShowInbox(false)->NewMessageButton()->Click();
  ASSERT_NE(OpenSendMessage(), nullptr);
  EXPECT_EQ(OpenSendMessage()->RecipientField()->GetText(), "");
}

TEST_F(MessageDialogsTest, SendPostsBoundedEncodedTextOnTheWorker) {
  GUI_OL_SendMessage* send = ShowSendMessage("ironhide");
  Type(send->TextField(), std::string(300, 'x'));
  EXPECT_EQ(send->TextField()->GetText().size(), size_t(GUI_OL_SendMessage::kMaxTyped));

  send = ShowSendMessage("ironhide");
  Type(send->TextField(), "Meet at C4, bring 5% more \xa3");
  send->SendButton()->Click();
  ASSERT_TRUE(send->Sending());
  EXPECT_TRUE(GetThreadManager().Busy());
  EXPECT_NE(OpenPleaseWait(), nullptr);
  Pump(send, [&] { return OpenSendMessage() && OpenSendMessage()->Sending(); });
  EXPECT_EQ(LastRequest(),
            "GET\t/server/add_message.php\t&username=recruit&target=ironhide&message="
            "Meet%20at%20C4%2C%20bring%205%25%20more%20%C2%A3\t");
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenPleaseWait(), nullptr);
  EXPECT_TRUE(send->IsPendingDeletion());
}

TEST_F(MessageDialogsTest, PreparedTextHasNoLineBreaksOrQuotesAndIsBounded) {
  struct Case {
    std::string typed;
    size_t max;
    std::string sent;
  } cases[] = {
      {"  hello  ", 250, "hello"},
      {"a\"b\nc\rd\te", 250, "a b c d e"},
      {"\x80 \xe9", 250, "\xe2\x82\xac \xc3\xa9"},
      {"abcdef", 4, "abcd"},
      {"   ", 250, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PrepareMessageText(c.typed, c.max), c.sent) << c.typed;
}

TEST_F(MessageDialogsTest, AFailedOrRefusedSendSaysWhy) {
  struct Case {
    const char* what;
    std::string recipient, text;
    bool reachesServer;
    std::string shown;
  } cases[] = {
      {"no recipient", "", "hello", false, GetTranslation("OL_SEND_NO_RECIPIENT")},
      {"empty text", "ironhide", "   ", false, GetTranslation("OL_SEND_EMPTY")},
      {"unknown player", "nobody", "hello", true, "No such player"},
  };
  for (const Case& c : cases) {
    const std::string before = server.Log();
    GUI_OL_SendMessage* send = ShowSendMessage(c.recipient);
    Type(send->TextField(), c.text);
    send->SendButton()->Click();
    Pump(send, [&] { return send->Sending(); });
    EXPECT_EQ(MessageBoxText(), c.shown) << c.what;
    EXPECT_EQ(server.Log() != before, c.reachesServer) << c.what;
    EXPECT_EQ(OpenSendMessage(), send) << c.what << ": the dialog stays for another try";
    delete OpenMessageBox();
  }

  server.Stop();
  GUI_OL_SendMessage* send = ShowSendMessage("ironhide");
  Type(send->TextField(), "hello");
  send->SendButton()->Click();
  Pump(send, [&] { return send->Sending(); });
  EXPECT_EQ(MessageBoxText(), "The game server could not be reached.");
}

TEST_F(MessageDialogsTest, SendWhileAnotherWorkerRunsIsRefusedNotQueued) {
  server.SetMode("get_messages.php", "stall");
  GUI_OL_Messages* inbox = ShowInbox(true);
  ASSERT_TRUE(inbox->Refreshing());
  GUI_OL_SendMessage* send = ShowSendMessage("ironhide");
  Type(send->TextField(), "hello");
  send->SendButton()->Click();
  EXPECT_FALSE(send->Sending());
  EXPECT_EQ(MessageBoxText(), GetTranslation("OL_SERVER_BUSY"));
  delete inbox;  // stops its own stalled worker
  EXPECT_FALSE(GetThreadManager().Busy());
}

TEST_F(MessageDialogsTest, DeleteRemovesTheMessageAndRebuildsTheInbox) {
  GetMessageDatabase().Clear();
  GUI_OL_Messages* inbox = ShowInbox(true);
  Pump(inbox, [&] { return inbox->Refreshing(); });
  ASSERT_EQ(inbox->Rows().size(), 4u);
  const OnlineMessage newest = inbox->Rows().front();

  GUI_OL_MessageDetails* details = ShowMessageDetails(newest);
  details->DeleteButton()->Click();
  ASSERT_TRUE(details->Deleting());
  Pump(details, [&] { return details->Deleting(); });
  EXPECT_TRUE(details->IsPendingDeletion());
  EXPECT_EQ(inbox->Rows().size(), 3u);
  for (const OnlineMessage& m : inbox->Rows()) EXPECT_NE(m.id, newest.id);
  EXPECT_EQ(ParseMessages(GetMessageDatabase().FilePath()).size(), 3u);
  GetWindowOrder().FlushDeleted();

  // With the server gone the message stays, and the player is told.
  server.Stop();
  const OnlineMessage kept = inbox->Rows().front();
  details = ShowMessageDetails(kept);
  details->DeleteButton()->Click();
  Pump(details, [&] { return details->Deleting(); });
  EXPECT_FALSE(details->IsPendingDeletion());
  EXPECT_EQ(MessageBoxText(), GetTranslation("OL_DELETE_FAILED"));
  EXPECT_EQ(inbox->Rows().size(), 3u);
  EXPECT_EQ(ParseMessages(GetMessageDatabase().FilePath()).size(), 3u);
}

}  // namespace
