#include "online/ProfileWindow.h"

#include "app/Tutorial.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "online/BadgeDesigner.h"
#include "online/GUI_Online.h"
#include "online/MessageDialogs.h"
#include "online/Messages.h"
#include "online/PlayerProfile.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "platform/Window.h"

using namespace gui_draw;

namespace {
GUI_OL_Window* g_profileWindow = nullptr;

void PrintAt(int alignment, const std::string& text, float x, float y, uint32_t colour, float width = 0.0f) {
  TextRenderer& renderer = GetTextRenderer();
  if (text.empty() || !renderer.IsInitialised()) return;
  renderer.Print(alignment, text.c_str(), x, y, colour, width);
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A stored name as the field shows it ("notset" is no name yet).
std::string FieldText(const std::string& utf8) {
  if (utf8 == "notset") return std::string();
  return platform::Utf8ToWindows1252(utf8.c_str());
}

void DrawBox(const GUI_Rect& r) {
  DrawGUITexture(SHARED_DARK_CLIENT, 8.0f, 1.0f, true, static_cast<float>(r.left), static_cast<float>(r.top),
                 static_cast<float>(r.right), static_cast<float>(r.bottom));
}
}  // namespace

std::string MakeGeneralName(const std::function<float()>& draw) {
  std::string name;
  if (draw() < 0.1f) name = "Sir ";
  name += NextName(0) + " " + NextName(1);
  if (draw() < 0.25f) name += "-" + NextName(1);
  return name;
}

std::string MakeRegimentName() { return NextName(2); }

std::string CheckProfileNames(const std::string& user, const std::string& general,
                              const std::string& regiment) {
  if (user.empty()) return "OL_NAME_EMPTY";
  if (!IsPlainFileName(user, SIM_Server::kMaxUserName) || user == "notset") return "OL_NAME_UNSAFE";
  if (general.empty() || regiment.empty()) return "OL_NAMES_MISSING";
  return std::string();
}

GUI_OL_Window* OpenProfileWindowDialog() { return g_profileWindow; }

GUI_OL_Window* OpenProfileWindow(float left, float top) {
  delete g_profileWindow;
  return new GUI_OL_Window(left, top);
}

GUI_OL_Window::GUI_OL_Window(float l, float t) : GUI_Dialog(false) {
  g_profileWindow = this;
  SetRect(l, t, l + kWidth, t + kHeight);
  GetPlayerProfile().Load();
  SetTranslatedTitle("OL_TITLE");
  LayoutTitleBar();
  // The buttons lie on the client backdrop: Draw draws them after it.
  drawButtons = false;
  const GUI_Rect c = GetClientRect();
  const float L = static_cast<float>(c.left), T = static_cast<float>(c.top), R = static_cast<float>(c.right),
              B = static_cast<float>(c.bottom);
  const float C = (left + right) / 2.0f;

  badge_.SetSize(200.0f, 200.0f);
  badge_.SetPosition(R - 110.0f, T + 110.0f);
  RefreshBadge();
  badgeArea_.SetRect(R - 210.0f, T + 10.0f, R - 10.0f, T + 210.0f);
  badgeArea_.SetName("PROFILE_BADGE");

  editBadge_ = new GUI_ButtonText(&GUI_OL_Window::OnEditBadge, "OL_EDITBADGE", 0);
  editBadge_->SetTooltip("OL_EDITBADGE_TT", 60);
  editBadge_->SetRect(R - 210.0f, T + 215.0f, R - 10.0f, T + 240.0f);
  AddButton(editBadge_);

  save_ = new GUI_ButtonText(&GUI_OL_Window::OnSaveChanges, "OL_SAVECHANGES", 0);
  save_->SetTooltip("OL_SAVECHANGES_TT", 60);
  save_->SetRect(C - 100.0f, B - 30.0f, C + 100.0f, B - 10.0f);
  save_->enabled = false;
  AddButton(save_);

  const char* labelKeys[3] = {"OL_USERNAME", "OL_GENERALNAME", "OL_REGIMENTNAME"};
  for (int i = 0; i < 3; ++i) {
    labels_[i] = GetTranslation(labelKeys[i]);
    fields_[i] = new GUI_TextEditWindow(std::string(), kMaxName);
    fields_[i]->SetRect(L + 10.0f, T + 30.0f + 58.0f * i, L + 410.0f, T + 60.0f + 58.0f * i);
    AddChild(fields_[i]);
  }
  // The user name names files and server addresses: no path characters.
  fields_[0]->fileNameSafe = true;
  fields_[1]->SetName("PROFILE_COMMANDER");

  randomGeneral_ = new GUI_ButtonText(&GUI_OL_Window::OnRandomGeneralName, "OL_RANDOM", 0);
  randomGeneral_->SetRect(L + 210.0f, T + 10.0f + 58.0f, L + 410.0f, T + 30.0f + 58.0f);
  AddButton(randomGeneral_);
  randomRegiment_ = new GUI_ButtonText(&GUI_OL_Window::OnRandomRegimentName, "OL_RANDOM", 0);
  randomRegiment_->SetRect(L + 210.0f, T + 10.0f + 116.0f, L + 410.0f, T + 30.0f + 116.0f);
  AddButton(randomRegiment_);

  // Rank and experience side by side under the names, clear of the badge column.
  const int y = c.top + 10 + 58 * 3;
  rankBox_ = GUI_Rect{c.left + 10, y, c.left + 205, y + 30};
  xpBox_ = GUI_Rect{c.left + 215, y, c.left + 410, y + 30};
  rankArea_.SetRect(static_cast<float>(rankBox_.left), static_cast<float>(rankBox_.top),
                    static_cast<float>(rankBox_.right), static_cast<float>(rankBox_.bottom));
  rankArea_.SetName("PROFILE_RANK");
  rankLabel_ = GetTranslation("OL_RANK");
  xpLabel_ = GetTranslation("OL_EXPERIENCE");

  LoadFromProfile();
  for (GUI_TextEditWindow* field : fields_) field->changeCallback = &GUI_OL_Window::OnProfileFieldChanged;
  GetTutorial().Trigger("USER_PROFILE1");
}

GUI_OL_Window::~GUI_OL_Window() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_profileWindow == this) g_profileWindow = nullptr;
}

void GUI_OL_Window::RefreshBadge() { badge_.SetTextureByName(OwnBadgeTexture()); }

void GUI_OL_Window::LoadFromProfile() {
  SIM_PlayerProfile& profile = GetPlayerProfile();
  fields_[0]->SetText(FieldText(profile.GetUserName()));
  fields_[1]->SetText(FieldText(profile.GetGeneralName()));
  fields_[2]->SetText(FieldText(profile.GetRegimentName()));
  rankValue_ = profile.GetRankName(profile.GetRank());
  xpValue_ = FormatThousands(profile.GetXp());
  changed_ = false;
  save_->enabled = false;
}

void GUI_OL_Window::MarkChanged() {
  changed_ = true;
  save_->enabled = !Saving();
}

int GUI_OL_Window::OnProfileFieldChanged(int) {
  if (g_profileWindow) g_profileWindow->MarkChanged();
  return 0;
}

int GUI_OL_Window::OnRandomGeneralName(int) {
  GUI_OL_Window* w = g_profileWindow;
  if (!w || w->Saving()) return 0;
  w->fields_[1]->SetText(platform::Utf8ToWindows1252(MakeGeneralName(RandomFloat).c_str()));
  w->MarkChanged();
  return 0;
}

int GUI_OL_Window::OnRandomRegimentName(int) {
  GUI_OL_Window* w = g_profileWindow;
  if (!w || w->Saving()) return 0;
  w->fields_[2]->SetText(platform::Utf8ToWindows1252(MakeRegimentName().c_str()));
  w->MarkChanged();
  return 0;
}

int GUI_OL_Window::OnEditBadge(int) {
  OpenBadgeDesigner();
  return 0;
}

int GUI_OL_Window::OnSaveChanges(int) {
  GUI_OL_Window* w = g_profileWindow;
  if (!w || !w->changed_ || w->Saving() || GetThreadManager().Busy()) return 0;
  const std::string user = Windows1252ToUtf8(Trim(w->fields_[0]->GetText()));
  const std::string general = Windows1252ToUtf8(Trim(w->fields_[1]->GetText()));
  const std::string regiment = Windows1252ToUtf8(Trim(w->fields_[2]->GetText()));
  const std::string refusal = CheckProfileNames(user, general, regiment);
  if (!refusal.empty()) {
    ShowMessage("ERROR_TITLE", GetTranslation(refusal), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  auto result = std::make_shared<SaveResult>();
  w->job_ = GetThreadManager().StartThread(
      [result, user, general, regiment](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_SAVEPROFILE");
        result->accepted = GetInternet().UpdateProfile(user, general, regiment, result->why);
      },
      "save profile changes");
  if (!w->job_) return 0;
  w->result_ = result;
  w->sentUser_ = user;
  w->sentGeneral_ = general;
  w->sentRegiment_ = regiment;
  w->changed_ = false;
  w->save_->enabled = false;
  return 0;
}

void GUI_OL_Window::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    std::shared_ptr<SaveResult> result = std::move(result_);
    if (job->Cancelled()) {
      // Cancelled: kept as not saved, to be saved again.
      MarkChanged();
    } else if (result->accepted) {
      // Only an accepted sign-up or change is kept.
      GetInternet().WriteStoredUserName(sentUser_);
      SIM_PlayerProfile& profile = GetPlayerProfile();
      profile.SetUserName(sentUser_);
      profile.SetGeneralName(sentGeneral_);
      profile.SetRegimentName(sentRegiment_);
      if (!profile.Save())
        ShowMessage("ERROR_TITLE", GetTranslation("OL_PROFILE_NOT_WRITTEN"), GUI_Message::kStyleOK, nullptr);
      // A new name has its own friends and messages.
      if (GUI_OL_Messages* inbox = OpenInbox()) inbox->RefreshProfile();
      if (GUI_Online* screen = ActiveOnlineScreen()) screen->StartRefresh();
    } else {
      DebugLogF("Profile not saved: %.200s", result->why.c_str());
      ShowMessage("ERROR_TITLE", MessageDisplayText(result->why), GUI_Message::kStyleOK, nullptr);
      // The typed names stay in the fields, still to be saved.
      MarkChanged();
    }
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  DrawBox(rankBox_);
  DrawBox(xpBox_);
  FlushSprites();
  UseFont();
  for (int i = 0; i < 3; ++i) PrintAt(0, labels_[i], c.left + 10.0f, c.top + 10.0f + 58.0f * i, TextColour());
  PrintAt(0, rankLabel_, rankBox_.left + 10.0f, rankBox_.top + 4.0f, TextColour());
  PrintAt(1, rankValue_, rankBox_.left, rankBox_.top + 4.0f, DimTextColour(), rankBox_.Width() - 10.0f);
  PrintAt(0, xpLabel_, xpBox_.left + 10.0f, xpBox_.top + 4.0f, TextColour());
  PrintAt(1, xpValue_, xpBox_.left, xpBox_.top + 4.0f, DimTextColour(), xpBox_.Width() - 10.0f);
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  badge_.DrawDirect();
  d3d.DrawRectOutline(
      platform::Rect{static_cast<int32_t>(badgeArea_.left), static_cast<int32_t>(badgeArea_.top),
                     static_cast<int32_t>(badgeArea_.right), static_cast<int32_t>(badgeArea_.bottom)},
      0xFF646464u);
  DrawButtons();
  DrawChildren();
  FlushAll();
}
