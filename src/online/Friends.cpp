#include "online/Friends.h"

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Spreadsheet.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Tokenizer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "online/MessageDialogs.h"
#include "online/Messages.h"
#include "online/ProfileCompare.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "platform/Window.h"

using namespace gui_draw;

namespace {
GUI_OL_Friends* g_friendsDialog = nullptr;
GUI_OL_AddFriend* g_addFriend = nullptr;

void PrintText(const std::string& text, float x, float y, uint32_t colour) {
  TextRenderer& renderer = GetTextRenderer();
  if (text.empty() || !renderer.IsInitialised()) return;
  renderer.Print(0, text.c_str(), x, y, colour);
}

std::string WebFile(const char* name) { return GetUserFolder(USERFOLDER_WEB) + "/" + name; }

// The row whose button was clicked: the button's owner.
GUI_OL_FriendStrip* StripOf(int index) {
  GUI_OL_Friends* dialog = g_friendsDialog;
  if (!dialog || index < 0 || index >= static_cast<int>(dialog->Rows().size())) return nullptr;
  return dialog->Rows()[static_cast<size_t>(index)].get();
}
}  // namespace

std::string ServerNameField(const std::string& line) {
  Tokenizer tok(line, ',');
  tok.Next();
  std::string name = tok.NextString();
  std::string out;
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 32 && c != 127) out += c;
  if (out.size() > SIM_Server::kMaxUserName) out.resize(SIM_Server::kMaxUserName);
  return out;
}

std::vector<std::string> ReadNameList(const std::string& file) {
  std::vector<std::string> names;
  for (const std::string& line : LoadSpreadsheet(file)) names.push_back(ServerNameField(line));
  return names;
}

void SIM_FriendsList::LoadFrom(const std::string& file) {
  std::vector<std::string> names;
  for (const std::string& name : ReadNameList(file))
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  std::lock_guard<std::mutex> lock(mutex_);
  names_.swap(names);
}

bool SIM_FriendsList::IsFriend(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(names_.begin(), names_.end(), name) != names_.end();
}

std::vector<std::string> SIM_FriendsList::Names() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return names_;
}

SIM_FriendsList& GetFriendsList() { return ProcessWide<SIM_FriendsList>(); }

void RefreshFriendsList() {
  // A failed download keeps the previous file, which is read all the same.
  GetInternet().GetFriends();
  GetFriendsList().LoadFrom(WebFile("friends_list.txt"));
}

bool IsFriend(const std::string& name) { return GetFriendsList().IsFriend(name); }

FriendRows ReadFriendRows() {
  FriendRows rows;
  rows.received = ReadNameList(WebFile("invites_recvd.txt"));
  rows.sent = ReadNameList(WebFile("invites_sent.txt"));
  rows.friends = GetFriendsList().Names();
  return rows;
}

bool RefuseBeforeSignUp() {
  if (UserNameFileExists() && !ReadStoredUserName().empty()) return false;
  ShowMessage("ERROR_TITLE", GetTranslation("OL_SIGN_UP_FIRST"), GUI_Message::kStyleOK, nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// Rows

GUI_OL_FriendStrip::GUI_OL_FriendStrip(const std::string& name, int kind) : name_(name), kind_(kind) {
  raisesOnClick = false;
  const std::string shownName = MessageDisplayText(name);
  struct Spec {
    const char* key;
    GUI_ButtonCallback callback;
  };
  std::vector<Spec> specs;
  if (kind == kFriend) {
    shown_ = shownName;
    specs = {{"FRIEND_DELETE", OnDelete}, {"FRIEND_COMPARE", OnCompare}, {"FRIEND_MESSAGE", OnMessage}};
  } else if (kind == kSent) {
    shown_ = GetTranslation("FRIEND_PREFIX_SENT") + " " + shownName;
    specs = {{"FRIEND_CANCEL", OnCancel}};
  } else {
    shown_ = GetTranslation("FRIEND_PREFIX_RECVD") + " " + shownName;
    specs = {{"FRIEND_ACCEPT", OnAccept}, {"FRIEND_REJECT", OnReject}};
  }
  for (const Spec& spec : specs) {
    auto* button = new GUI_ButtonText(spec.callback, spec.key, 0);
    AddButton(button);
    buttons_.push_back(button);
  }
}

GUI_OL_FriendStrip::~GUI_OL_FriendStrip() = default;

void GUI_OL_FriendStrip::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  LayoutButtons();
}

void GUI_OL_FriendStrip::LayoutButtons() {
  const float l = left + 2.0f, t = top + 2.0f, r = right - 2.0f;
  const float y0 = t + 27.0f, y1 = t + 47.0f;
  if (kind_ == kFriend && buttons_.size() == 3) {
    const float w = static_cast<float>(static_cast<int>(r - l - 10.0f) / 3);
    for (size_t i = 0; i < 3; ++i) buttons_[i]->SetRect(l + 5.0f + w * i, y0, l + 5.0f + w * (i + 1), y1);
  } else if (kind_ == kSent && buttons_.size() == 1) {
    buttons_[0]->SetRect(l + 5.0f, y0, l + 105.0f, y1);
  } else if (buttons_.size() == 2) {
    const float centre = (left + right) / 2.0f;
    buttons_[0]->SetRect(l + 5.0f, y0, centre - 5.0f, y1);
    buttons_[1]->SetRect(centre + 5.0f, y0, r - 5.0f, y1);
  }
}

void GUI_OL_FriendStrip::Draw() {
  if (!visible) return;
  const float l = left + 2.0f, t = top + 2.0f, r = right - 2.0f, b = bottom - 2.0f;
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  const int level = HitTest(MouseX(), MouseY()) ? 56 : 32;
  const uint32_t fill = 0xFF000000u | (level << 16) | (level << 8) | level;
  d3d.SetTexture(nullptr);
  d3d.DrawRect(l, t, r, b, fill);
  d3d.SetTexture(nullptr);
  d3d.DrawRectOutline(platform::Rect{static_cast<int32_t>(l), static_cast<int32_t>(t),
                                     static_cast<int32_t>(r), static_cast<int32_t>(b)},
                      0xFF646464u);
  UseFont();
  PrintText(shown_, l + 10.0f, t + 3.0f, TextColour());
  GUI_WindowBase::Draw();
}

int GUI_OL_FriendStrip::OnAccept(int index) {
  if (GUI_OL_FriendStrip* strip = StripOf(index)) g_friendsDialog->StartUpdate(kFriendAccept, strip->Name());
  return 0;
}
int GUI_OL_FriendStrip::OnReject(int index) {
  if (GUI_OL_FriendStrip* strip = StripOf(index)) g_friendsDialog->StartUpdate(kFriendReject, strip->Name());
  return 0;
}
int GUI_OL_FriendStrip::OnDelete(int index) {
  if (GUI_OL_FriendStrip* strip = StripOf(index)) g_friendsDialog->StartUpdate(kFriendDelete, strip->Name());
  return 0;
}
int GUI_OL_FriendStrip::OnCancel(int index) {
  if (GUI_OL_FriendStrip* strip = StripOf(index)) g_friendsDialog->StartUpdate(kFriendCancel, strip->Name());
  return 0;
}
int GUI_OL_FriendStrip::OnMessage(int index) {
  GUI_OL_FriendStrip* strip = StripOf(index);
  if (!strip || RefuseBeforeSignUp()) return 0;
  ShowSendMessage(platform::Utf8ToWindows1252(strip->Name().c_str()));
  return 0;
}
int GUI_OL_FriendStrip::OnCompare(int index) {
  GUI_OL_FriendStrip* strip = StripOf(index);
  if (!strip || RefuseBeforeSignUp()) return 0;
  OpenProfileComparison(strip->Name());
  return 0;
}

// ---------------------------------------------------------------------------
// Friends dialog

GUI_OL_Friends* OpenFriendsDialogWindow() { return g_friendsDialog; }

GUI_OL_Friends* OpenFriendsDialog(float left, float top, float right, float bottom) {
  delete g_friendsDialog;
  auto* dialog = new GUI_OL_Friends();
  dialog->Layout(left, top, right, bottom);
  return dialog;
}

GUI_OL_Friends::GUI_OL_Friends() : GUI_Dialog(false) {
  g_friendsDialog = this;
  scrollBar_ = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scrollBar_);
  add_ = new GUI_ButtonText(&GUI_OL_Friends::OnAdd, "FRIEND_ADD", 0);
  add_->SetTooltip("FRIEND_ADD_TT", 30);
  AddButton(add_);
}

GUI_OL_Friends::~GUI_OL_Friends() {
  if (job_) GetThreadManager().Stop(job_);
  for (auto& row : rows_) RemoveChild(row.get());
  rows_.clear();
  if (g_friendsDialog == this) g_friendsDialog = nullptr;
}

void GUI_OL_Friends::Layout(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  // Room under the title for the add button.
  topBorder = 6.0f + 30.0f;
  // Titled once it has its width: the title is cut to fit the bar.
  SetTranslatedTitle("OL_FRIENDS_TITLE");
  const GUI_Rect c = GetClientRect();
  listArea_ = c;
  listArea_.bottom = c.bottom - 13;
  add_->SetRect(c.left + 10.0f, c.top - 28.0f, c.right - 10.0f, c.top - 4.0f);
  scrollBar_->SetRect(c.right - 30.0f, c.top + 15.0f, c.right - 10.0f, c.bottom - 15.0f);
  rebuildRows_ = true;
}

void GUI_OL_Friends::RebuildRows() { SetRows(ReadFriendRows()); }

void GUI_OL_Friends::SetRows(const FriendRows& rows) {
  for (auto& row : rows_) RemoveChild(row.get());
  rows_.clear();
  for (const std::string& name : rows.received)
    rows_.push_back(std::make_unique<GUI_OL_FriendStrip>(name, GUI_OL_FriendStrip::kReceived));
  for (const std::string& name : rows.sent)
    rows_.push_back(std::make_unique<GUI_OL_FriendStrip>(name, GUI_OL_FriendStrip::kSent));
  for (const std::string& name : rows.friends)
    rows_.push_back(std::make_unique<GUI_OL_FriendStrip>(name, GUI_OL_FriendStrip::kFriend));
  for (size_t i = 0; i < rows_.size(); ++i)
    for (GUI_ButtonText* button : rows_[i]->RowButtons()) button->userData = static_cast<uint32_t>(i);
  LayoutRows();
}

void GUI_OL_Friends::LayoutRows() {
  for (auto& row : rows_) {
    if (row->ParentWindow() == this) RemoveChild(row.get());
    row->visible = false;
  }
  const GUI_Rect c = GetClientRect();
  const int first = scrollBar_->Position();
  float y = c.top + 17.0f;
  int visibleRows = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (static_cast<int>(i) < first || y >= c.bottom) continue;
    GUI_OL_FriendStrip* row = rows_[i].get();
    row->SetRect(c.left + 17.0f, y, c.right - 32.0f, y + GUI_OL_FriendStrip::kHeight);
    row->visible = true;
    AddChild(row);
    y += GUI_OL_FriendStrip::kHeight;
    if (y < c.bottom - 20) ++visibleRows;
  }
  const int total = static_cast<int>(rows_.size());
  const int maximum = std::max(0, total - visibleRows);
  scrollBar_->SetRange(static_cast<float>(total), static_cast<float>(std::max(1, visibleRows)), maximum);
  scrollBar_->changed = false;
}

void GUI_OL_Friends::OnWheelUp() { scrollBar_->ScrollBy(-1); }
void GUI_OL_Friends::OnWheelDown() { scrollBar_->ScrollBy(1); }

int GUI_OL_Friends::OnAdd(int) {
  if (RefuseBeforeSignUp()) return 0;
  ShowAddFriendDialog();
  return 0;
}

void GUI_OL_Friends::RunUpdate(int action, const std::string& name, UpdateResult& out,
                               const SIM_WorkerJob* job) {
  SIM_Server& server = GetInternet();
  if (job) job->SetStep("PLEASEWAIT_UPDATEFRIENDS");
  switch (action) {
    case kFriendAccept:
      out.sent = true;
      out.accepted = server.AcceptFriendshipInvite(name, out.message);
      break;
    case kFriendReject:
      out.sent = true;
      out.accepted = server.RejectFriendshipInvite(name, out.message);
      break;
    case kFriendDelete:
      out.sent = true;
      out.accepted = server.DeleteFriend(name, out.message);
      break;
    case kFriendCancel:
      out.sent = true;
      out.accepted = server.DeleteFriendshipInvite(name, out.message);
      break;
    default:
      break;
  }
  if (job && job->Cancelled()) return;
  if (job) job->SetStep("PLEASEWAIT_GETFRIENDS");
  RefreshFriendsList();
  if (job) job->SetStep("PLEASEWAIT_GETINVITES");
  server.GetInvitesSent();
  server.GetInvitesReceived();
  out.rows = ReadFriendRows();
}

bool GUI_OL_Friends::StartUpdate(int action, const std::string& name) {
  pendingAction_ = action;
  pendingName_ = name;
  if (job_ || GetThreadManager().Busy()) return false;
  auto result = std::make_shared<UpdateResult>();
  job_ = GetThreadManager().StartThread(
      [result, action, name](SIM_WorkerJob& job) { RunUpdate(action, name, *result, &job); },
      "UpdateFriendsThread");
  if (!job_) return false;
  result_ = result;
  return true;
}

void GUI_OL_Friends::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    std::shared_ptr<UpdateResult> result = std::move(result_);
    pendingAction_ = kFriendNone;
    if (job->Cancelled()) result.reset();
    if (result && result->sent && !result->accepted) {
      DebugLogF("Friends request refused: %.200s", result->message.c_str());
      ShowMessage("ERROR_TITLE", MessageDisplayText(result->message), GUI_Message::kStyleOK, nullptr);
    }
    if (result) SetRows(result->rows);
    rebuildRows_ = false;
  }
  if (rebuildRows_) {
    RebuildRows();
    rebuildRows_ = false;
  }
  if (scrollBar_->changed) LayoutRows();
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  if (rows_.empty()) {
    UseFont();
    GetTextRenderer().PrintString(GetTranslation("FRIEND_NONE"), c.left + 17.0f, c.top + 17.0f,
                                  c.Width() - 50.0f, DimTextColour());
    FlushAll();
  }
  D3DEngine& d3d = GetRenderDevice();
  FlushAll();
  d3d.SetViewport(listArea_.left, listArea_.top, listArea_.right, listArea_.bottom);
  UseFont();
  DrawChildren();
  FlushAll();
  d3d.SetFullViewport();
}

// ---------------------------------------------------------------------------
// Add a friend

GUI_OL_AddFriend* OpenAddFriendDialog() { return g_addFriend; }

GUI_OL_AddFriend* ShowAddFriendDialog() {
  delete g_addFriend;
  return new GUI_OL_AddFriend();
}

GUI_OL_AddFriend::GUI_OL_AddFriend() : GUI_Dialog(true) {
  g_addFriend = this;
  SetModal(true);
  bottomBorder += 34.0f;
  SetSize(460.0f, topBorder + bottomBorder + 48.0f);
  CentreOnScreen();
  SetTranslatedTitle("ADD_FRIEND_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  label_ = GetTranslation("ADD_FRIEND_USERNAME");
  name_ = new GUI_TextEditWindow(std::string(), static_cast<int>(SIM_Server::kMaxUserName));
  name_->fileNameSafe = true;
  name_->SetRect(c.left + 130.0f, c.top + 10.0f, c.right - 10.0f, c.top + 36.0f);
  AddChild(name_);
  button_ = new GUI_ButtonText(&GUI_OL_AddFriend::OnAdd, "ADD_FRIEND_BUTTON", 0);
  button_->SetRect(c.right - 180.0f, c.bottom + 6.0f, static_cast<float>(c.right), c.bottom + 32.0f);
  AddButton(button_);
  name_->SetFocus();
}

GUI_OL_AddFriend::~GUI_OL_AddFriend() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_addFriend == this) g_addFriend = nullptr;
}

void GUI_OL_AddFriend::RunAdd(const std::string& target, AddResult& out, const SIM_WorkerJob* job) {
  if (job) job->SetStep("PLEASEWAIT_ADDFRIEND");
  out.invited = GetInternet().InviteFriend(target, out.message);
  if (job && job->Cancelled()) return;
  if (out.invited) {
    RefreshFriendsList();
    GetInternet().GetInvitesSent();
    GetInternet().GetInvitesReceived();
  }
  out.rows = ReadFriendRows();
}

int GUI_OL_AddFriend::OnAdd(int) {
  GUI_OL_AddFriend* dialog = g_addFriend;
  if (!dialog || dialog->Busy() || GetThreadManager().Busy()) return 0;
  std::string target = dialog->name_->GetText();
  const size_t first = target.find_first_not_of(' ');
  target = first == std::string::npos ? std::string()
                                      : target.substr(first, target.find_last_not_of(' ') - first + 1);
  target = Windows1252ToUtf8(target);
  if (!IsPlainFileName(target, SIM_Server::kMaxUserName)) {
    ShowMessage("ERROR_TITLE", GetTranslation("ADD_FRIEND_BAD_NAME"), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  auto result = std::make_shared<AddResult>();
  dialog->job_ = GetThreadManager().StartThread(
      [result, target](SIM_WorkerJob& job) { RunAdd(target, *result, &job); }, "AddFriendThread");
  if (dialog->job_) dialog->result_ = result;
  return 0;
}

void GUI_OL_AddFriend::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    std::shared_ptr<AddResult> result = std::move(result_);
    // Cancelled: nothing is known of the invitation; the dialog stays for another try.
    if (!job->Cancelled()) {
      if (GUI_OL_Friends* friends = g_friendsDialog) friends->SetRows(result->rows);
      if (!result->invited)
        ShowMessage("ERROR_TITLE", MessageDisplayText(result->message), GUI_Message::kStyleOK, nullptr);
      else
        GetWindowOrder().DeleteLater(this);
    }
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, GUI_Dialog::kFrameSize, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  UseFont();
  PrintText(label_, c.left + 10.0f, c.top + 12.0f, DimTextColour());
  FlushAll();
  DrawChildren();
  FlushAll();
}
