#include "online/MessageDialogs.h"

#include <algorithm>
#include <cstdio>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "online/BadgeDesigner.h"
#include "online/PlayerProfile.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "platform/Window.h"

using namespace gui_draw;

namespace {
GUI_OL_Messages* g_inbox = nullptr;
GUI_OL_MessageDetails* g_details = nullptr;
GUI_OL_SendMessage* g_send = nullptr;

constexpr uint32_t kSenderColour = 0xFFE6E6DCu;
constexpr uint32_t kRowHover = 0x40FFFFFFu;
constexpr uint32_t kRowStripe = 0x18FFFFFFu;
constexpr float kHeaderHeight = 76.0f;

void Print(const std::string& text, float x, float y, uint32_t colour) {
  TextRenderer& renderer = GetTextRenderer();
  if (text.empty() || !renderer.IsInitialised()) return;
  renderer.Print(0, text.c_str(), x, y, colour);
}

void DrawClientBackdrop(const GUI_Rect& c) {
  DrawGUITexture(SHARED_DIALOG_CLIENT, GUI_Dialog::kFrameSize, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
}

// Windows-1252 bytes 0x80..0x9F as code points (0 where the code page has none).
const uint16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::string Windows1252ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    uint32_t cp = c;
    if (c >= 0x80 && c <= 0x9F) cp = kHigh1252[c - 0x80];
    if (cp == 0) continue;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string PrepareMessageText(const std::string& typed, size_t maxBytes) {
  std::string text = typed.substr(0, maxBytes);
  for (char& ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127 || c == '"') ch = ' ';
  }
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  return Windows1252ToUtf8(text);
}

// ---------------------------------------------------------------------------
// Row

GUI_OL_Message::GUI_OL_Message(const OnlineMessage& message) : message_(message) { raisesOnClick = false; }

bool GUI_OL_Message::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  ShowMessageDetails(message_);
  return true;
}

void GUI_OL_Message::Draw() {
  if (!visible) return;
  const bool hovered = HitTest(MouseX(), MouseY());
  if (hovered) {
    FlushAll();
    GetRenderDevice().SetNormalBlend();
    GetRenderDevice().DrawRect(left, top, right, bottom, kRowHover);
  }
  UseFont();
  // A narrow inbox gives the sender less room; the text is cut where the row ends.
  const float senderWidth = std::min(142.0f, (right - left) * 0.35f);
  TextRenderer& renderer = GetTextRenderer();
  std::string sender = SenderShown(), text = TextShown();
  if (renderer.IsInitialised()) {
    sender = renderer.NextLineString(sender, senderWidth - 6.0f);
    if (static_cast<float>(renderer.TextWidth(text.c_str())) > right - left - senderWidth - 16.0f)
      text = renderer.NextLineString(text, right - left - senderWidth - 16.0f);
  }
  Print(sender, left + 8.0f, top + 3.0f, kSenderColour);
  Print(text, left + 8.0f + senderWidth, top + 3.0f, TextColour());
}

// ---------------------------------------------------------------------------
// Inbox

GUI_OL_Messages* OpenInbox() { return g_inbox; }

GUI_OL_Messages* ShowInbox(bool refresh) {
  delete g_inbox;
  return new GUI_OL_Messages(refresh);
}

GUI_OL_Messages::GUI_OL_Messages(bool refresh) : GUI_Dialog(true) {
  g_inbox = this;
  bottomBorder += 34.0f;
  SetSize(780.0f, topBorder + bottomBorder + kHeaderHeight + kRowsShown * kRowHeight + 28.0f);
  CentreOnScreen();
  SetTranslatedTitle("OL_MESSAGES_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();

  badge_ = new GUI_RegimentBadge();
  badge_->SetRect(c.left + 8.0f, c.top + 6.0f, c.left + 72.0f, c.top + 70.0f);
  AddChild(badge_);

  const float rowsTop = c.top + kHeaderHeight;
  scrollBar_ = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  scrollBar_->SetRect(c.right - 18.0f, rowsTop, c.right - 2.0f, rowsTop + kRowsShown * kRowHeight);
  AddChild(scrollBar_);

  newButton_ = new GUI_ButtonText(&GUI_OL_Messages::OnNewMessage, "OL_NEW_MESSAGE", 0);
  newButton_->SetTooltip("OL_NEW_MESSAGE_TT", 30);
  newButton_->SetRect(c.right - 200.0f, c.bottom + 6.0f, static_cast<float>(c.right), c.bottom + 32.0f);
  AddButton(newButton_);

  ShowProfile();
  SIM_OnlineMessageDatabase& db = GetMessageDatabase();
  if (!db.Loaded()) db.Load();
  Rebuild();
  if (refresh) StartRefresh();
}

GUI_OL_Messages::~GUI_OL_Messages() {
  // Closing mid-refresh stops our own worker; its late result is dropped.
  if (job_) GetThreadManager().Stop(job_);
  if (g_inbox == this) g_inbox = nullptr;
}

int GUI_OL_Messages::OnNewMessage(int) {
  ShowSendMessage(std::string());
  return 0;
}

void GUI_OL_Messages::ShowProfile() {
  SIM_PlayerProfile& profile = GetPlayerProfile();
  RegimentBadge layers[3];
  if (!profile.GetBadge(layers)) {
    // Before this run's update has answered: the player's own profile as last fetched.
    ProfileAnswer cached;
    const std::string file = GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini";
    const std::string user = ReadStoredUserName();
    if (!user.empty() && FileExists(file) && ReadProfileAnswer(file, cached) && cached.userName == user)
      profile.Apply(cached);
    profile.GetBadge(layers);
  }
  badge_->SetLayers(layers);
  // A badge the player designed and saved is what the other screens show too; with no
  // layers either (a new player) the shipped default stands where the badge goes, as in
  // the profile window.
  bool layered = false;
  for (int i = 0; i < GUI_RegimentBadge::kLayers; ++i) layered = layered || badge_->LayerShown(i);
  ownBadgeShown_ = FileExists(OwnBadgePath()) || !layered;
  badge_->visible = !ownBadgeShown_;
  if (ownBadgeShown_) ownBadge_.SetTextureByName(OwnBadgeTexture());
  const std::string general = profile.GetGeneralName();
  if (general.empty() || general == "notset") {
    profileLine1_ = GetTranslation("OL_NOT_SIGNED_UP");
    profileLine2_.clear();
    return;
  }
  profileLine1_ = general + ", " + profile.GetRegimentName();
  const std::string xp = FormatThousands(profile.GetXp());
  const std::string rank = profile.GetRankName(profile.GetRank());
  profileLine2_ = (rank.empty() ? std::string() : rank + "  -  ") + xp + " " + GetTranslation("OL_XP");
  profileLine1_ = MessageDisplayText(profileLine1_);
  profileLine2_ = MessageDisplayText(profileLine2_);
}

void GUI_OL_Messages::StartRefresh() {
  if (!UserNameFileExists()) {
    status_ = GetTranslation("OL_NOT_SIGNED_UP");
    return;
  }
  auto ok = std::make_shared<bool>(false);
  job_ = GetThreadManager().StartThread(
      [ok](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_UPDATEMESS");
        *ok = GetMessageDatabase().Refresh(&job);
      },
      "RefreshMessagesThread", false);
  refreshed_ = ok;
  status_ = job_ ? GetTranslation("OL_MESSAGES_REFRESHING") : std::string();
}

void GUI_OL_Messages::Rebuild() {
  std::vector<OnlineMessage> all = GetMessageDatabase().Messages();
  rows_.assign(all.rbegin(), all.rend());
  const int extra = std::max(0, static_cast<int>(rows_.size()) - rowsShown_);
  scrollBar_->SetRange(static_cast<float>(rows_.size()), static_cast<float>(rowsShown_), extra);
  scrollBar_->visible = extra > 0;
  first_ = std::min(first_, extra);
  scrollBar_->SetPosition(first_);
  scrollBar_->changed = false;
  LayoutRows();
}

void GUI_OL_Messages::RefreshFinished(bool ok) {
  Rebuild();
  status_ = ok ? std::string() : GetTranslation("OL_MESSAGES_OFFLINE");
}

void GUI_OL_Messages::SetStatusKey(const std::string& key) {
  status_ = key.empty() ? std::string() : GetTranslation(key);
}

void GUI_OL_Messages::PlaceIn(float l, float t, float r, float b) {
  // One of the screen's own panels now: it is not closed on its own.
  if (closeButton_) {
    RemoveButton(closeButton_);
    delete closeButton_;
    closeButton_ = nullptr;
  }
  SetRect(l, t, r, b);
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  badge_->SetRect(c.left + 8.0f, c.top + 6.0f, c.left + 72.0f, c.top + 70.0f);
  // Room below the rows for the status line.
  rowsShown_ = std::max(1, static_cast<int>((c.Height() - kHeaderHeight - 44.0f) / kRowHeight));
  const float rowsTop = c.top + kHeaderHeight;
  scrollBar_->SetRect(c.right - 18.0f, rowsTop, c.right - 2.0f, rowsTop + rowsShown_ * kRowHeight);
  newButton_->SetRect(std::max(static_cast<float>(c.left), c.right - 200.0f), c.bottom + 6.0f,
                      static_cast<float>(c.right), c.bottom + 32.0f);
  Rebuild();
}

void GUI_OL_Messages::LayoutRows() {
  for (GUI_OL_Message* row : rowWindows_) {
    RemoveChild(row);
    delete row;
  }
  rowWindows_.clear();
  const GUI_Rect c = GetClientRect();
  const float rowsTop = c.top + kHeaderHeight;
  const float rowsRight = c.right - 22.0f;
  for (int i = 0; i < rowsShown_ && first_ + i < static_cast<int>(rows_.size()); ++i) {
    auto* row = new GUI_OL_Message(rows_[static_cast<size_t>(first_ + i)]);
    row->SetRect(c.left + 4.0f, rowsTop + i * kRowHeight, rowsRight, rowsTop + (i + 1) * kRowHeight - 2.0f);
    AddChild(row);
    rowWindows_.push_back(row);
  }
}

void GUI_OL_Messages::OnWheelUp() {
  if (scrollBar_->visible) scrollBar_->ScrollBy(-1);
}

void GUI_OL_Messages::OnWheelDown() {
  if (scrollBar_->visible) scrollBar_->ScrollBy(1);
}

void GUI_OL_Messages::Draw() {
  if (job_ && job_->Done()) {
    GetThreadManager().Stop(job_);
    job_.reset();
    Rebuild();
    status_ = *refreshed_ ? std::string() : GetTranslation("OL_MESSAGES_OFFLINE");
  }
  if (scrollBar_->changed) {
    scrollBar_->changed = false;
    first_ = scrollBar_->Position();
    LayoutRows();
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawClientBackdrop(c);
  // Every other row a shade lighter, so a long line is easy to follow.
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  for (size_t i = 0; i < rowWindows_.size(); i += 2) {
    const GUI_OL_Message* row = rowWindows_[i];
    d3d.DrawRect(row->left, row->top, row->right, row->bottom, kRowStripe);
  }
  UseFont();
  {
    // Cut where the inbox ends: it may be given a narrow column.
    TextRenderer& renderer = GetTextRenderer();
    const float room = static_cast<float>(c.Width()) - 96.0f;
    auto fit = [&](const std::string& text) {
      return renderer.IsInitialised() && renderer.TextWidth(text.c_str()) > room
                 ? renderer.NextLineString(text, room)
                 : text;
    };
    const std::string first = fit(profileLine1_);
    Print(first, c.left + 86.0f, c.top + 14.0f, TextColour());
    if (profileLine2_.empty() && first.size() < profileLine1_.size()) {
      // One sentence (not signed up yet) runs on to the second line rather than stopping
      // mid-way.
      size_t from = first.size();
      while (from < profileLine1_.size() && profileLine1_[from] == ' ') ++from;
      Print(fit(profileLine1_.substr(from)), c.left + 86.0f, c.top + 34.0f, TextColour());
    } else {
      Print(fit(profileLine2_), c.left + 86.0f, c.top + 40.0f, DimTextColour());
    }
  }
  if (rows_.empty())
    Print(GetTranslation("OL_NO_MESSAGES"), c.left + 12.0f, c.top + kHeaderHeight + 3.0f, TextColour());
  if (!status_.empty())
    GetTextRenderer().PrintString(status_, c.left + 12.0f,
                                  c.top + kHeaderHeight + rowsShown_ * kRowHeight + 4.0f,
                                  static_cast<float>(c.Width() - 24), DimTextColour());
  FlushAll();
  if (ownBadgeShown_) {
    ownBadge_.SetSize(static_cast<float>(badge_->right - badge_->left),
                      static_cast<float>(badge_->bottom - badge_->top));
    ownBadge_.SetPosition((badge_->left + badge_->right) / 2.0f, (badge_->top + badge_->bottom) / 2.0f);
    d3d.SetNormalBlend();
    ownBadge_.DrawDirect();
  }
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------
// Details

GUI_OL_MessageDetails* OpenMessageDetails() { return g_details; }

GUI_OL_MessageDetails* ShowMessageDetails(const OnlineMessage& message) {
  delete g_details;
  return new GUI_OL_MessageDetails(message);
}

GUI_OL_MessageDetails::GUI_OL_MessageDetails(const OnlineMessage& message)
    : GUI_Dialog(true), message_(message) {
  g_details = this;
  bottomBorder += 34.0f;
  SetSize(560.0f, topBorder + bottomBorder + 230.0f);
  CentreOnScreen();
  SetTranslatedTitle("OL_MESSAGE_DETAILS");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  textBox_ = new GUI_TextContainer();
  textBox_->SetText(MessageDisplayText(message_.text), c.left + 10.0f, c.top + 66.0f, c.right - 10.0f,
                    c.bottom - 6.0f);
  AddChild(textBox_);
  delete_ = new GUI_ButtonText(&GUI_OL_MessageDetails::OnDelete, "OL_MESSAGE_DELETE", 0);
  delete_->SetTooltip("OL_MESSAGE_DELETE_TT", 30);
  delete_->SetRect(static_cast<float>(c.left), c.bottom + 6.0f, c.left + 160.0f, c.bottom + 32.0f);
  AddButton(delete_);
  reply_ = new GUI_ButtonText(&GUI_OL_MessageDetails::OnReply, "OL_MESSAGE_REPLY", 0);
  reply_->SetTooltip("OL_MESSAGE_REPLY_TT", 30);
  reply_->SetRect(c.right - 160.0f, c.bottom + 6.0f, static_cast<float>(c.right), c.bottom + 32.0f);
  AddButton(reply_);
}

GUI_OL_MessageDetails::~GUI_OL_MessageDetails() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_details == this) g_details = nullptr;
}

int GUI_OL_MessageDetails::OnReply(int) {
  GUI_OL_MessageDetails* dialog = g_details;
  if (!dialog || dialog->Deleting()) return 0;
  const std::string sender = dialog->message_.sender;
  delete dialog;
  ShowSendMessage(platform::Utf8ToWindows1252(sender.c_str()));
  return 0;
}

int GUI_OL_MessageDetails::OnDelete(int) {
  GUI_OL_MessageDetails* dialog = g_details;
  if (!dialog || dialog->Deleting()) return 0;
  auto result = std::make_shared<DeleteResult>();
  const int id = dialog->message_.id;
  dialog->job_ = GetThreadManager().StartThread(
      [result, id](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_DELETEMESS");
        result->deleted = GetMessageDatabase().DeleteMessage(id);
        if (result->deleted && !job.Cancelled()) {
          job.SetStep("PLEASEWAIT_UPDATEMESS");
          GetMessageDatabase().Refresh(&job);
        }
      },
      "DeleteMessageThread");
  if (!dialog->job_) {
    ShowMessage("OL_DELETE_FAILED_TITLE", GetTranslation("OL_SERVER_BUSY"), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  dialog->result_ = result;
  return 0;
}

void GUI_OL_MessageDetails::Draw() {
  if (job_ && job_->Done()) {
    GetThreadManager().Stop(job_);
    job_.reset();
    if (result_->deleted) {
      if (GUI_OL_Messages* inbox = OpenInbox()) inbox->Rebuild();
      GetWindowOrder().DeleteLater(this);
    } else {
      ShowMessage("OL_DELETE_FAILED_TITLE", GetTranslation("OL_DELETE_FAILED"), GUI_Message::kStyleOK,
                  nullptr);
    }
    result_.reset();
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawClientBackdrop(c);
  UseFont();
  Print(GetTranslation("OL_MESSAGE_FROM"), c.left + 10.0f, c.top + 8.0f, DimTextColour());
  Print(MessageDisplayText(message_.sender), c.left + 110.0f, c.top + 8.0f, kSenderColour);
  Print(message_.date, c.right - 130.0f, c.top + 8.0f, DimTextColour());
  Print(GetTranslation("OL_MESSAGE_EDIT"), c.left + 10.0f, c.top + 38.0f, DimTextColour());
  FlushAll();
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------
// Send

GUI_OL_SendMessage* OpenSendMessage() { return g_send; }

GUI_OL_SendMessage* ShowSendMessage(const std::string& recipient) {
  delete g_send;
  return new GUI_OL_SendMessage(recipient);
}

GUI_OL_SendMessage::GUI_OL_SendMessage(const std::string& recipient) : GUI_Dialog(true) {
  g_send = this;
  bottomBorder += 34.0f;
  SetSize(620.0f, topBorder + bottomBorder + 84.0f);
  CentreOnScreen();
  SetTranslatedTitle("OL_NEW_MESSAGE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  recipientLabel_ = GetTranslation("OL_MESSAGE_RECIPIENT");
  textLabel_ = GetTranslation("OL_MESSAGE_EDIT");
  recipient_ = new GUI_TextEditWindow(std::string(), static_cast<int>(SIM_Server::kMaxUserName));
  // A player name is a plain name: no path characters or dots.
  recipient_->fileNameSafe = true;
  recipient_->SetRect(c.left + 110.0f, c.top + 10.0f, c.right - 10.0f, c.top + 36.0f);
  recipient_->SetText(recipient);
  AddChild(recipient_);
  text_ = new GUI_TextEditWindow(std::string(), kMaxTyped);
  text_->SetRect(c.left + 110.0f, c.top + 48.0f, c.right - 10.0f, c.top + 74.0f);
  AddChild(text_);
  send_ = new GUI_ButtonText(&GUI_OL_SendMessage::OnSend, "OL_MESSAGE_SEND", 0);
  send_->SetTooltip("OL_MESSAGE_SEND_TT", 30);
  send_->SetRect(c.right - 160.0f, c.bottom + 6.0f, static_cast<float>(c.right), c.bottom + 32.0f);
  AddButton(send_);
  (recipient.empty() ? recipient_ : text_)->SetFocus();
}

GUI_OL_SendMessage::~GUI_OL_SendMessage() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_send == this) g_send = nullptr;
}

int GUI_OL_SendMessage::OnSend(int) {
  GUI_OL_SendMessage* dialog = g_send;
  if (!dialog || dialog->Sending()) return 0;
  std::string target = dialog->recipient_->GetText();
  const size_t first = target.find_first_not_of(' ');
  target = first == std::string::npos ? std::string()
                                      : target.substr(first, target.find_last_not_of(' ') - first + 1);
  target = Windows1252ToUtf8(target);
  const std::string text = PrepareMessageText(dialog->text_->GetText(), kMaxTyped);
  std::string refusal;
  if (!UserNameFileExists()) {
    refusal = "OL_NOT_SIGNED_UP";
  } else if (target.empty()) {
    refusal = "OL_SEND_NO_RECIPIENT";
  } else if (!IsPlainFileName(target, SIM_Server::kMaxUserName)) {
    refusal = "OL_SEND_BAD_RECIPIENT";
  } else if (text.empty()) {
    refusal = "OL_SEND_EMPTY";
  }
  if (!refusal.empty()) {
    ShowMessage("OL_SEND_FAILED_TITLE", GetTranslation(refusal), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  auto result = std::make_shared<SendResult>();
  dialog->job_ = GetThreadManager().StartThread(
      [result, target, text](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_SENDMESSAGE");
        result->sent = GetInternet().AddMessage(target, text, result->why);
      },
      "SendMessageThread");
  if (!dialog->job_) {
    ShowMessage("OL_SEND_FAILED_TITLE", GetTranslation("OL_SERVER_BUSY"), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  dialog->result_ = result;
  return 0;
}

void GUI_OL_SendMessage::Draw() {
  if (job_ && job_->Done()) {
    GetThreadManager().Stop(job_);
    job_.reset();
    if (result_->sent) {
      GetWindowOrder().DeleteLater(this);
    } else {
      // The server's own words where it gave a reason.
      DebugLogF("Message not sent: %.200s", result_->why.c_str());
      ShowMessage("OL_SEND_FAILED_TITLE", MessageDisplayText(result_->why), GUI_Message::kStyleOK, nullptr);
    }
    result_.reset();
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawClientBackdrop(c);
  UseFont();
  Print(recipientLabel_, c.left + 10.0f, c.top + 12.0f, DimTextColour());
  Print(textLabel_, c.left + 10.0f, c.top + 50.0f, DimTextColour());
  FlushAll();
  DrawChildren();
  FlushAll();
}
