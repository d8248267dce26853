#pragma once
// The message screens: the inbox with one row per message and the player's badge, the
// details of one message (delete, reply) and the send dialog. Every request runs on the
// worker behind the please-wait overlay; the dialog that started it takes the result on
// the GUI thread and says why when it failed.
#include <memory>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"
#include "online/Messages.h"

class GUI_ButtonText;
class GUI_RegimentBadge;
class GUI_ScrollingWindow;
class GUI_TextContainer;
class GUI_TextEditWindow;
class SIM_WorkerJob;

// Typed text (Windows-1252 bytes) as UTF-8 for the server.
std::string Windows1252ToUtf8(const std::string& text);
// What is sent for a typed message: line breaks, tabs and other control characters and
// double quotes (they would break the cache's line form) become spaces, the edges are
// trimmed, at most `maxBytes` typed bytes are kept, and the result is UTF-8.
std::string PrepareMessageText(const std::string& typed, size_t maxBytes);

// One inbox row: the sender and the start of the text; a click opens its details.
class GUI_OL_Message : public GUI_WindowBase {
 public:
  explicit GUI_OL_Message(const OnlineMessage& message);
  void SetMessage(const OnlineMessage& message) { message_ = message; }
  const OnlineMessage& Message() const { return message_; }
  std::string SenderShown() const { return MessageRowSender(message_); }
  std::string TextShown() const { return MessageRowText(message_); }
  bool LeftClick(float x, float y) override;
  void Draw() override;

 private:
  OnlineMessage message_;
};

// The inbox: lists the cached messages at once and refreshes them on the worker.
class GUI_OL_Messages : public GUI_Dialog {
 public:
  static constexpr int kRowsShown = 12;
  static constexpr float kRowHeight = 26.0f;
  // Without a refresh: the cached list only (tests and the offline screen shots).
  explicit GUI_OL_Messages(bool refresh = true);
  ~GUI_OL_Messages() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  // One of the online screen's own windows: Escape leaves the screen.
  bool IsPopup() const override { return false; }

  // Builds the rows again from the database (GUI thread).
  void Rebuild();
  // Fits the inbox into the rectangle (the online screen gives it the room its other
  // dialogs leave); as many rows are shown as fit.
  void PlaceIn(float left, float top, float right, float bottom);
  int RowsShown() const { return rowsShown_; }
  // The online screen refreshes the messages with its friends: it reports how that went
  // (a strings key for the status line; "" clears it).
  void RefreshFinished(bool ok);
  void SetStatusKey(const std::string& key);
  // Reads the player's names, rank and badge again (after a sign-up or a new badge).
  void RefreshProfile() { ShowProfile(); }
  // The player's saved badge picture stands in for the layered badge once there is one.
  bool ShowsOwnBadgePicture() const { return ownBadgeShown_; }
  const CTexturedSprite& OwnBadgeSprite() const { return ownBadge_; }
  // Newest first.
  const std::vector<OnlineMessage>& Rows() const { return rows_; }
  // The row windows shown (at most kRowsShown), from the scroll position on.
  const std::vector<GUI_OL_Message*>& RowWindows() const { return rowWindows_; }
  int FirstRow() const { return first_; }
  bool Refreshing() const { return job_ != nullptr; }
  const std::string& Status() const { return status_; }
  GUI_ButtonText* NewMessageButton() const { return newButton_; }
  GUI_RegimentBadge* Badge() const { return badge_; }
  GUI_ScrollingWindow* ScrollBar() const { return scrollBar_; }
  static int OnNewMessage(int);

 private:
  void StartRefresh();
  void LayoutRows();
  void ShowProfile();
  std::vector<OnlineMessage> rows_;
  std::vector<GUI_OL_Message*> rowWindows_;  // children
  int first_ = 0;
  int rowsShown_ = kRowsShown;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<bool> refreshed_;
  std::string status_;
  GUI_ButtonText* newButton_ = nullptr;
  GUI_RegimentBadge* badge_ = nullptr;        // child
  GUI_ScrollingWindow* scrollBar_ = nullptr;  // child
  std::string profileLine1_, profileLine2_;
  CTexturedSprite ownBadge_;
  bool ownBadgeShown_ = false;
};

GUI_OL_Messages* OpenInbox();
GUI_OL_Messages* ShowInbox(bool refresh = true);

// One message in full, with Delete and Reply.
class GUI_OL_MessageDetails : public GUI_Dialog {
 public:
  explicit GUI_OL_MessageDetails(const OnlineMessage& message);
  ~GUI_OL_MessageDetails() override;
  void Draw() override;
  const OnlineMessage& Message() const { return message_; }
  GUI_ButtonText* DeleteButton() const { return delete_; }
  GUI_ButtonText* ReplyButton() const { return reply_; }
  GUI_TextContainer* TextBox() const { return textBox_; }
  bool Deleting() const { return job_ != nullptr; }
  static int OnDelete(int);
  static int OnReply(int);

 private:
  struct DeleteResult {
    bool deleted = false;
  };
  OnlineMessage message_;
  GUI_ButtonText* delete_ = nullptr;
  GUI_ButtonText* reply_ = nullptr;
  GUI_TextContainer* textBox_ = nullptr;  // child
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<DeleteResult> result_;
};

GUI_OL_MessageDetails* OpenMessageDetails();
GUI_OL_MessageDetails* ShowMessageDetails(const OnlineMessage& message);

// A new message: the recipient and the text as typed; Send posts it on the worker.
class GUI_OL_SendMessage : public GUI_Dialog {
 public:
  static constexpr int kMaxTyped = 250;
  explicit GUI_OL_SendMessage(const std::string& recipient);
  ~GUI_OL_SendMessage() override;
  void Draw() override;
  GUI_TextEditWindow* RecipientField() const { return recipient_; }
  GUI_TextEditWindow* TextField() const { return text_; }
  GUI_ButtonText* SendButton() const { return send_; }
  bool Sending() const { return job_ != nullptr; }
  static int OnSend(int);

 private:
  struct SendResult {
    bool sent = false;
    std::string why;
  };
  GUI_TextEditWindow* recipient_ = nullptr;  // child
  GUI_TextEditWindow* text_ = nullptr;       // child
  GUI_ButtonText* send_ = nullptr;
  std::string recipientLabel_, textLabel_;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<SendResult> result_;
};

GUI_OL_SendMessage* OpenSendMessage();
GUI_OL_SendMessage* ShowSendMessage(const std::string& recipient);
