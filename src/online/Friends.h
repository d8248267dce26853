#pragma once
// The player's friends: the list kept in memory (who is a friend, for marking their
// challenges), the friends dialog of the online screen with one row per received
// invitation, sent invitation and friend, and the add-friend dialog. Every request runs
// on the worker; the worker hands back plain names and the server's message, and the
// GUI thread rebuilds the rows and opens any message box.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/Dialog.h"

class GUI_ButtonText;
class GUI_ScrollingWindow;
class GUI_TextEditWindow;
class SIM_WorkerJob;

// A name from the server as shown and used: the second comma-separated field of a "#"
// line, control characters dropped, cut to the user-name field (64 bytes).
std::string ServerNameField(const std::string& line);
// The names of a "#" list reply (each line's second field), in file order; a missing
// file is logged by the reader and gives none.
std::vector<std::string> ReadNameList(const std::string& file);

// The process-wide friends list (names, no repeats); safe from the worker.
class SIM_FriendsList {
 public:
  // Fills the list from a friends reply file: each name once, in file order.
  void LoadFrom(const std::string& file);
  bool IsFriend(const std::string& name) const;
  std::vector<std::string> Names() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
};
SIM_FriendsList& GetFriendsList();
// Downloads the friends reply (a failed download leaves the previous file) and refills
// the list from "<web>/friends_list.txt".
void RefreshFriendsList();
bool IsFriend(const std::string& name);

// What the friends rows are built from (read on the worker, used on the GUI thread).
struct FriendRows {
  std::vector<std::string> received, sent, friends;
};
// Reads the two invitation files and the friends list.
FriendRows ReadFriendRows();

// Friends dialog actions.
enum FriendAction {
  kFriendNone = 0,
  kFriendAccept = 1,
  kFriendReject = 2,
  kFriendDelete = 3,
  kFriendCancel = 4
};

// One row: a friend (0), a sent invitation (1) or a received one (2), with its buttons.
class GUI_OL_FriendStrip : public GUI_WindowBase {
 public:
  enum Kind { kFriend = 0, kSent = 1, kReceived = 2 };
  static constexpr float kHeight = 60.0f;
  GUI_OL_FriendStrip(const std::string& name, int kind);
  ~GUI_OL_FriendStrip() override;
  void SetRect(float l, float t, float r, float b) override;
  void LayoutButtons();
  void Draw() override;
  const std::string& Name() const { return name_; }
  const std::string& Shown() const { return shown_; }
  int Kind() const { return kind_; }
  // In order: delete, compare, message (friend); cancel (sent); accept, reject (received).
  const std::vector<GUI_ButtonText*>& RowButtons() const { return buttons_; }

  static int OnAccept(int);
  static int OnReject(int);
  static int OnDelete(int);
  static int OnCancel(int);
  static int OnMessage(int);
  static int OnCompare(int);

 private:
  std::string shown_;
  std::string name_;
  int kind_ = 0;
  std::vector<GUI_ButtonText*> buttons_;
};

class GUI_OL_Friends : public GUI_Dialog {
 public:
  static constexpr float kWidth = 350.0f;
  GUI_OL_Friends();
  ~GUI_OL_Friends() override;
  // Places the dialog in the outer rectangle and its parts inside it; rows are built at
  // the next Draw.
  void Layout(float left, float top, float right, float bottom);
  // Builds the rows again from the files and the friends list (GUI thread).
  void RebuildRows();
  void SetRows(const FriendRows& rows);
  void LayoutRows();
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  bool IsPopup() const override { return false; }

  // Stores the action; starts the worker when the runner is free (false: busy, kept).
  bool StartUpdate(int action, const std::string& name);
  bool Busy() const { return job_ != nullptr; }
  int PendingAction() const { return pendingAction_; }
  const std::string& PendingName() const { return pendingName_; }
  const std::vector<std::unique_ptr<GUI_OL_FriendStrip>>& Rows() const { return rows_; }
  GUI_ScrollingWindow* ScrollBar() const { return scrollBar_; }
  GUI_ButtonText* AddFriendButton() const { return add_; }
  const GUI_Rect& ListArea() const { return listArea_; }
  bool RebuildPending() const { return rebuildRows_; }
  static int OnAdd(int);

  // Worker body of an action (public for tests): sends it, then refreshes the lists.
  struct UpdateResult {
    bool sent = false;
    bool accepted = true;
    std::string message;
    FriendRows rows;
  };
  static void RunUpdate(int action, const std::string& name, UpdateResult& out, const SIM_WorkerJob* job);

 private:
  int pendingAction_ = kFriendNone;
  std::string pendingName_;
  GUI_ScrollingWindow* scrollBar_ = nullptr;  // child
  bool rebuildRows_ = false;
  std::vector<std::unique_ptr<GUI_OL_FriendStrip>> rows_;
  GUI_ButtonText* add_ = nullptr;
  GUI_Rect listArea_;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<UpdateResult> result_;
};

GUI_OL_Friends* OpenFriendsDialogWindow();
GUI_OL_Friends* OpenFriendsDialog(float left, float top, float right, float bottom);

// "Add a friend": a name field and a button that sends the invitation on the worker.
class GUI_OL_AddFriend : public GUI_Dialog {
 public:
  GUI_OL_AddFriend();
  ~GUI_OL_AddFriend() override;
  void Draw() override;
  GUI_TextEditWindow* NameField() const { return name_; }
  GUI_ButtonText* SendButton() const { return button_; }
  bool Busy() const { return job_ != nullptr; }
  static int OnAdd(int);

  struct AddResult {
    bool invited = false;
    std::string message;
    FriendRows rows;
  };
  static void RunAdd(const std::string& target, AddResult& out, const SIM_WorkerJob* job);

 private:
  GUI_TextEditWindow* name_ = nullptr;  // child
  GUI_ButtonText* button_ = nullptr;
  std::string label_;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<AddResult> result_;
};

GUI_OL_AddFriend* OpenAddFriendDialog();
GUI_OL_AddFriend* ShowAddFriendDialog();

// Why an action needs a sign-up first: true (and a message box) when the player has none.
bool RefuseBeforeSignUp();
