#include "online/GUI_Online.h"

#include <algorithm>

#include "engine/GUI_BaseElement.h"
#include "gui/Buttons.h"
#include "online/AchievementsScreen.h"
#include "online/BadgeDesigner.h"
#include "online/Friends.h"
#include "online/MessageDialogs.h"
#include "online/Messages.h"
#include "online/ProfileCompare.h"
#include "online/ProfileWindow.h"
#include "online/Server.h"
#include "online/ThreadManager.h"

namespace {
constexpr int kTitleRoom = 40;  // a title bar stands 37 pixels above its dialog
constexpr int kMargin = 4;

GUI_Rect MakeRect(int l, int t, int r, int b) { return GUI_Rect{l, t, r, b}; }

GUI_Online* g_activeOnline = nullptr;
}  // namespace

GUI_Online* ActiveOnlineScreen() { return g_activeOnline; }

OnlineLayout ComputeOnlineLayout(int w, int h) {
  OnlineLayout out;
  const int profileW = static_cast<int>(GUI_OL_Window::kWidth);
  const int profileH = static_cast<int>(GUI_OL_Window::kHeight);
  const int achievementsH = 345;
  const int friendsW =
      std::max(240, std::min(static_cast<int>(GUI_OL_Friends::kWidth), w - profileW - 2 * kMargin));
  const int groupW = profileW + friendsW;
  const int groupH = kTitleRoom + profileH + kTitleRoom + achievementsH;
  const int x0 = std::max(kMargin, (w - groupW) / 2);
  const int y0 = std::max(0, (h - groupH) / 2) + kTitleRoom;
  out.profile = MakeRect(x0, y0, x0 + profileW, y0 + profileH);
  out.friends = MakeRect(out.profile.right, y0, out.profile.right + friendsW, out.profile.bottom);
  out.achievements = MakeRect(x0, out.profile.bottom + kTitleRoom, x0 + profileW,
                              std::min(h - kMargin, out.profile.bottom + kTitleRoom + achievementsH));
  out.inbox =
      MakeRect(out.friends.left, out.friends.bottom + kTitleRoom, out.friends.right, out.achievements.bottom);
  out.close = MakeRect(w - 36, 0, w, 36);
  return out;
}

// What the screen fetches when entered: friends, invitations and messages.
struct GUI_Online::Refresh {
  GUI_OL_Friends::UpdateResult friends;
  bool messages = false;
};

GUI_Online::GUI_Online() = default;

GUI_Online::~GUI_Online() { Leave(); }

int GUI_Online::OnClose(int) {
  ReturnToMainMenu();
  return 0;
}

void GUI_Online::Enter() {
  const int w = GUI_BaseElement::ScreenWidth(), h = GUI_BaseElement::ScreenHeight();
  SetRect(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
  if (!close_) {
    close_ = new GUI_IconButton(&GUI_Online::OnClose, "close_button.dds", 0, "close_button_h.dds");
    close_->SetTooltip("MAINMENU_TT", 60);
    AddButton(close_);
  }
  const OnlineLayout layout = ComputeOnlineLayout(w, h);
  close_->SetRect(static_cast<float>(layout.close.left), static_cast<float>(layout.close.top),
                  static_cast<float>(layout.close.right), static_cast<float>(layout.close.bottom));
  RegisterOnlineTextureFolders();
  OpenProfileWindow(static_cast<float>(layout.profile.left), static_cast<float>(layout.profile.top));
  const GUI_Rect& a = layout.achievements;
  OpenAchievementsDialog(static_cast<float>(a.left), static_cast<float>(a.top), static_cast<float>(a.right),
                         static_cast<float>(a.bottom));
  const GUI_Rect& f = layout.friends;
  OpenFriendsDialog(static_cast<float>(f.left), static_cast<float>(f.top), static_cast<float>(f.right),
                    static_cast<float>(f.bottom));
  GUI_OL_Messages* inbox = ShowInbox(false);
  const GUI_Rect& i = layout.inbox;
  inbox->PlaceIn(static_cast<float>(i.left), static_cast<float>(i.top), static_cast<float>(i.right),
                 static_cast<float>(i.bottom));
  g_activeOnline = this;
  if (!UserNameFileExists() || ReadStoredUserName().empty()) {
    inbox->SetStatusKey("OL_NOT_SIGNED_UP");
    return;
  }
  StartRefresh();
}

bool GUI_Online::StartRefresh() {
  if (job_ || GetThreadManager().Busy() || !UserNameFileExists() || ReadStoredUserName().empty())
    return false;
  // One worker brings friends, invitations and messages up to date; until it is done
  // the screen shows what was fetched last time.
  auto result = std::make_shared<Refresh>();
  job_ = GetThreadManager().StartThread(
      [result](SIM_WorkerJob& job) {
        GUI_OL_Friends::RunUpdate(kFriendNone, std::string(), result->friends, &job);
        if (job.Cancelled()) return;
        job.SetStep("PLEASEWAIT_UPDATEMESS");
        result->messages = GetMessageDatabase().Refresh(&job);
      },
      "RefreshOnlineThread");
  if (!job_) return false;
  result_ = result;
  if (GUI_OL_Messages* inbox = OpenInbox()) inbox->SetStatusKey("OL_MESSAGES_REFRESHING");
  return true;
}

void GUI_Online::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    std::shared_ptr<Refresh> result = std::move(result_);
    // A cancelled refresh brings nothing: the screen keeps what it showed.
    if (job->Cancelled()) {
      if (GUI_OL_Messages* inbox = OpenInbox()) inbox->SetStatusKey(std::string());
      return GUI_StandardMode::Draw();
    }
    if (GUI_OL_Friends* friends = OpenFriendsDialogWindow()) friends->SetRows(result->friends.rows);
    if (GUI_OL_Messages* inbox = OpenInbox()) inbox->RefreshFinished(result->messages);
  }
  GUI_StandardMode::Draw();
}

void GUI_Online::Leave() {
  if (g_activeOnline == this) g_activeOnline = nullptr;
  if (job_) GetThreadManager().Stop(job_);
  job_.reset();
  result_.reset();
  delete OpenProfileComparisonWindow();
  delete OpenBadgeDesignerWindow();
  delete OpenAddFriendDialog();
  delete OpenSendMessage();
  delete OpenMessageDetails();
  delete OpenInbox();
  delete OpenFriendsDialogWindow();
  delete OpenAchievementsDialogWindow();
  delete OpenProfileWindowDialog();
}
