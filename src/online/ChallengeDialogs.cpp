#include "online/ChallengeDialogs.h"

#include <algorithm>
#include <cmath>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/ChallengePackage.h"
#include "browser/OnlineBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "online/BadgeDesigner.h"
#include "online/Friends.h"
#include "online/LoadingPoster.h"
#include "online/Messages.h"
#include "online/PlayerProfile.h"
#include "online/ProfileWindow.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "simdata/Achievements.h"
#include "simdata/GlobalStats.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_BS_RateChallenge* g_rate = nullptr;
GUI_PostChallenge* g_post = nullptr;

constexpr float kPickerStar = 36.0f;

// The server's reason when it gave one, else that it could not be reached.
std::string FailureText(const std::string& message) {
  if (!message.empty()) return MessageDisplayText(message);
  return GetTranslation("CHALLENGE_SEND_FAILED");
}

void PrintLabel(const std::string& text, float x, float y) {
  TextRenderer& renderer = GetTextRenderer();
  if (!renderer.IsInitialised() || text.empty()) return;
  renderer.Print(0, text.c_str(), x, y, TextColour());
}
}  // namespace

// ---------------------------------------------------------------- rating picker

GUI_BS_RatingPicker::GUI_BS_RatingPicker() {
  full = FindOrLoadTexture("star_full.dds");
  empty = FindOrLoadTexture("star_empty.dds");
  raisesOnClick = false;
}

bool GUI_BS_RatingPicker::LeftClick(float x, float y) {
  if (!visible) return false;
  for (int i = 1; i <= 5; ++i) {
    const float cx = left + 18.0f + kPickerStar * static_cast<float>(i - 1), cy = top + 18.0f;
    if (std::fabs(x - cx) < kPickerStar / 2.0f && std::fabs(y - cy) < kPickerStar / 2.0f) {
      value = i;
      GetSounds().PlayGuiSound(0);
      return true;
    }
  }
  return false;
}

void GUI_BS_RatingPicker::Draw() {
  if (!visible) return;
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
               static_cast<float>(bottom), 0x20FFFFFFu);
  for (int i = 1; i <= 5; ++i)
    QueueCentred(i <= value ? full : empty, left + 18.0f + kPickerStar * static_cast<float>(i - 1),
                 top + 18.0f, kPickerStar, kPickerStar, 0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFFu);
  FlushSprites();
}

// ---------------------------------------------------------------- rating dialog

GUI_BS_RateChallenge* GetRateChallengeDialog() { return g_rate; }

void OpenRateChallenge() {
  delete g_rate;
  new GUI_BS_RateChallenge();
}

GUI_BS_RateChallenge::GUI_BS_RateChallenge() : GUI_Dialog(true) {
  g_rate = this;
  bottomBorder = 48.0f;
  SetSize(450.0f, 320.0f);
  CentreOnScreen();
  SetTranslatedTitle("RATECHALLENGE_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  difficulty = new GUI_BS_RatingPicker();
  difficulty->SetRect(c.right - 200.0f, c.top + 10.0f, c.right - 20.0f, c.top + 42.0f);
  difficulty->SetName("RATE_DIFFICULTY");
  AddChild(difficulty);
  enjoyment = new GUI_BS_RatingPicker();
  enjoyment->SetRect(c.right - 200.0f, c.top + 52.0f, c.right - 20.0f, c.top + 86.0f);
  enjoyment->SetName("RATE_ENJOYMENT");
  AddChild(enjoyment);
  comment = new GUI_TextEditWindow("", 256);
  comment->SetRect(c.left + 20.0f, c.top + 120.0f, c.right - 20.0f, c.bottom - 10.0f);
  AddChild(comment);
  const float cx = (left + right) / 2.0f;
  submit = new GUI_ButtonText(&GUI_BS_RateChallenge::OnSubmit, "SUBMIT_RATING", 0);
  submit->SetRect(cx - 65.0f, bottom - 37.0f, cx + 65.0f, bottom - 17.0f);
  submit->SetName("SUBMIT_RATING");
  submit->enabled = false;
  AddButton(submit);
  labels[0] = GetTranslation("RATECHALLENGE_DIFFICULTY");
  labels[1] = GetTranslation("RATECHALLENGE_ENJOYMENT");
  labels[2] = GetTranslation("RATECHALLENGE_MESSAGE");
}

GUI_BS_RateChallenge::~GUI_BS_RateChallenge() {
  // A worker still running finishes on its own; the runner is freed now, not by it.
  if (job) GetThreadManager().Stop(job);
  if (g_rate == this) g_rate = nullptr;
}

int GUI_BS_RateChallenge::OnSubmit(int) {
  GUI_BS_RateChallenge* dialog = g_rate;
  if (!dialog || dialog->job || GetThreadManager().Busy()) return 0;
  if (dialog->difficulty->value == 0 || dialog->enjoyment->value == 0) return 0;
  SIM_Scenario* scenario = GetBattle().scenario;
  if (!scenario || scenario->id.empty()) return 0;
  // Copied now: the worker never reads the dialog.
  const std::string ztkid = scenario->id;
  const int enjoy = dialog->enjoyment->value, diff = dialog->difficulty->value;
  const std::string text = dialog->comment->GetText();
  auto out = std::make_shared<ChallengeSendResult>();
  dialog->job = GetThreadManager().StartThread(
      [out, ztkid, enjoy, diff, text](SIM_WorkerJob&) {
        SIM_Server& server = GetInternet();
        out->ok = server.RateChallenge(ztkid, enjoy, diff, text);
        if (!out->ok) out->message = server.LastMessage();
        out->done.store(true);
      },
      "PostRatingThread");
  if (dialog->job) dialog->result = out;
  return 0;
}

void GUI_BS_RateChallenge::Draw() {
  if (!visible) return;
  if (result && result->done.load()) {
    GetThreadManager().Stop(job);
    job.reset();
    std::shared_ptr<ChallengeSendResult> finished = std::move(result);
    if (finished->ok) {
      GetWindowOrder().DeleteLater(this);
      return;
    }
    ShowMessage("ERROR_TITLE", FailureText(finished->message), GUI_Message::kStyleOK, nullptr);
  }
  submit->enabled = difficulty->value != 0 && enjoyment->value != 0 && !job;
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  GetTextRenderer().SetFont("18.dds", 16.0f);
  PrintLabel(labels[0], c.left + 20.0f, c.top + 20.0f);
  PrintLabel(labels[1], c.left + 20.0f, c.top + 62.0f);
  PrintLabel(labels[2], static_cast<float>(comment->left), comment->top - 20.0f);
  FlushAll();
  UseFont();
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------- posting

GUI_PostChallenge* GetPostChallengeDialog() { return g_post; }

void OpenPostChallenge() {
  delete g_post;
  new GUI_PostChallenge();
}

GUI_PostChallengeOption::GUI_PostChallengeOption(int index, const std::string& labelKey,
                                                 const std::string& tooltipKey) {
  raisesOnClick = false;
  check = new GUI_CheckButton(&GUI_PostChallenge::OnOption, labelKey, static_cast<uint32_t>(index));
  check->checked = true;
  check->SetName(labelKey);
  AddButton(check);
  tooltip = std::make_unique<GUI_Tooltip>(GetTranslation(tooltipKey), 10);
}

GUI_PostChallengeOption::~GUI_PostChallengeOption() = default;

void GUI_PostChallengeOption::Layout() {
  check->SetRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                 static_cast<float>(bottom));
  tooltip->MoveTo(static_cast<float>(left) + 64.0f, static_cast<float>(bottom));
}

void GUI_PostChallengeOption::Process() {
  GUI_WindowBase::Process();
  if (HitTest(MouseX(), MouseY())) {
    tooltip->UpdateFade();
  } else {
    tooltip->Hide();
  }
}

void GUI_PostChallengeOption::Draw() {
  if (!visible) return;
  UseFont();
  GUI_WindowBase::Draw();
  tooltip->Draw();
}

GUI_PostChallenge::GUI_PostChallenge() : GUI_Dialog(true) {
  g_post = this;
  sideBorder = 12.0f;
  topBorder = 12.0f;
  bottomBorder = 40.0f;
  SetSize(600.0f, 350.0f);
  CentreOnScreen();
  SetTranslatedTitle("GUI_POSTCHALLENGE_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  const float l = c.left + 100.0f, r = c.right - 10.0f;
  float y = c.top + 10.0f;
  nameEdit = new GUI_TextEditWindow(GetTranslation("POST_CHALLENGE_DEFAULT_NAME"), 128);
  nameEdit->SetRect(l, y, r, y + 25.0f);
  AddChild(nameEdit);
  y += 30.0f;
  recipientEdit = new GUI_TextEditWindow("All", 128);
  recipientEdit->SetRect(l, y, r, y + 25.0f);
  AddChild(recipientEdit);
  y += 30.0f;
  descriptionEdit = new GUI_TextEditWindow(GetTranslation("POST_CHALLENGE_DEFAULT_DESC"), 512);
  descriptionEdit->SetRect(l, y, r, y + 100.0f);
  AddChild(descriptionEdit);
  labels[0] = GetTranslation("POST_CHALLENGE_NAME");
  labels[1] = GetTranslation("POST_CHALLENGE_RECIPIENT");
  labels[2] = GetTranslation("POST_CHALLENGE_DESC");

  SIM_Battle& battle = GetBattle();
  const SIM_Scenario* scenario = battle.scenario;
  const bool builtIn = !scenario || scenario->origin == SIM_Scenario::ORIGIN_CAMPAIGN;
  static const char* const kKeys[3][2] = {{"POST_CHAL_MAP", "POST_CHAL_MAP_TT"},
                                          {"POST_CHAL_UNITS", "POST_CHAL_UNITS_TT"},
                                          {"POST_CHAL_DEPLOYMENT", "POST_CHAL_DEPLOYMENT_TT"}};
  const bool disabled[3] = {builtIn, false, battle.playerDefends};
  float rowTop = y + 105.0f;
  for (int i = 0; i < 3; ++i) {
    optionRows[i] = new GUI_PostChallengeOption(i, kKeys[i][0], kKeys[i][1]);
    optionRows[i]->SetRect(c.left + 10.0f, rowTop, c.right - 10.0f, rowTop + 35.0f);
    optionRows[i]->Layout();
    AddChild(optionRows[i]);
    if (disabled[i]) {
      optionRows[i]->check->enabled = false;
      optionRows[i]->check->checked = false;
      options[i] = false;
    }
    rowTop += 35.0f;
  }
  const float cx = (left + right) / 2.0f;
  upload = new GUI_ButtonText(&GUI_PostChallenge::OnUpload, "GUI_UPLOAD_CHALLENGE", 0);
  upload->SetTooltip("GUI_UPLOAD_CHALLENGE_TOOLTIP", 60);
  upload->SetRect(cx - 100.0f, bottom - 30.0f, cx + 100.0f, bottom - 10.0f);
  upload->SetName("GUI_UPLOAD_CHALLENGE");
  AddButton(upload);
}

GUI_PostChallenge::~GUI_PostChallenge() {
  if (job) GetThreadManager().Stop(job);
  if (g_post == this) g_post = nullptr;
}

int GUI_PostChallenge::OnOption(int index) {
  GUI_PostChallenge* dialog = g_post;
  if (!dialog || index < 0 || index > 2) return 0;
  GUI_CheckButton* check = dialog->optionRows[index]->check;
  // A disabled box flips on the click all the same: it stays unchecked.
  if (!check->enabled) check->checked = false;
  dialog->options[index] = check->checked;
  return 0;
}

int GUI_PostChallenge::OnUpload(int) {
  GUI_PostChallenge* dialog = g_post;
  // The package is built only when it can be sent now: a running worker may be reading
  // the one built last.
  if (!dialog || dialog->job || GetThreadManager().Busy()) return 0;
  SIM_Scenario* scenario = GetBattle().scenario;
  if (!scenario) return 0;
  // The server names every challenge by its poster: without a player name there is
  // nobody to post it as, so the player is asked to sign up first.
  if (!UserNameFileExists() || ReadStoredUserName().empty()) {
    ShowMessage("ERROR_TITLE", GetTranslation("POST_CHALLENGE_SIGN_UP"), GUI_Message::kStyleOK,
                &GUI_PostChallenge::OnOfferSignUp);
    return 0;
  }
  if (!GetChallengeFile().Build(dialog->options[0], dialog->options[1], dialog->options[2])) {
    ShowMessage("ERROR_TITLE", GetTranslation("CHALLENGE_PACKAGE_FAILED"), GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  const std::string recipient = dialog->recipientEdit->GetText();
  const std::string name = dialog->nameEdit->GetText();
  const std::string description = dialog->descriptionEdit->GetText();
  const ClassicModeValues& v = scenario->classic;
  const int attack = static_cast<int>(v.attackSuppliesPerSecondStart);
  const int defend = static_cast<int>(v.suppliesPerSecondStart);
  const int time = static_cast<int>(v.timeLimit);
  const int escape = static_cast<int>(v.hpLeftLimit);
  const bool custom = scenario->origin != SIM_Scenario::ORIGIN_CAMPAIGN;
  auto out = std::make_shared<ChallengeSendResult>();
  dialog->job = GetThreadManager().StartThread(
      [out, recipient, name, description, attack, defend, time, escape, custom](SIM_WorkerJob&) {
        SIM_Server& server = GetInternet();
        out->ok = server.UploadChallenge(recipient, name, description, attack, defend, time, escape, custom);
        if (!out->ok) out->message = server.LastMessage();
        out->done.store(true);
      },
      "CheckChallengeThread");
  if (dialog->job) dialog->result = out;
  return 0;
}

int GUI_PostChallenge::OnOfferSignUp(int) {
  if (!OpenProfileWindowDialog()) {
    OpenProfileWindow((static_cast<float>(GUI_BaseElement::ScreenWidth()) - GUI_OL_Window::kWidth) / 2.0f,
                      (static_cast<float>(GUI_BaseElement::ScreenHeight()) - GUI_OL_Window::kHeight) / 2.0f);
  }
  return 0;
}

void GUI_PostChallenge::Draw() {
  if (!visible) return;
  if (result && result->done.load()) {
    GetThreadManager().Stop(job);
    job.reset();
    std::shared_ptr<ChallengeSendResult> finished = std::move(result);
    if (finished->ok) {
      SIM_Scenario* scenario = GetBattle().scenario;
      if (scenario && scenario->origin != SIM_Scenario::ORIGIN_CAMPAIGN) {
        SIM_GlobalStats& stats = SIM_GlobalStats::Get();
        stats.AddStat("custom_maps_posted", 1);
        stats.Save();
        SIM_AchievementList::Get().CheckStats();
      }
      GetWindowOrder().DeleteLater(this);
      return;
    }
    // The message of a refused post is the server's reason (a tag would have been a name).
    const std::string why =
        IsPlainFileName(finished->message, SIM_Server::kTagBytes) ? std::string() : finished->message;
    ShowMessage("ERROR_TITLE", FailureText(why), GUI_Message::kStyleOK, nullptr);
  }
  upload->enabled = !job;
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  UseFont();
  DrawChildren();
  FlushAll();
  UseFont();
  PrintLabel(labels[0], c.left + 10.0f, c.top + 10.0f);
  PrintLabel(labels[1], c.left + 10.0f, c.top + 40.0f);
  PrintLabel(labels[2], c.left + 10.0f, c.top + 70.0f);
  FlushAll();
}

// ---------------------------------------------------------------- wiring

void ConnectChallengeServer() {
  ChallengeServerHooks& hooks = GetChallengeServerHooks();
  hooks.fetchList = [](int topId, std::string* reply) {
    // Into a reply file of its own, read whole and removed: the list file is the
    // browser's to write.
    SIM_Server& server = GetInternet();
    const std::string file = server.MakeReplyFile();
    bool ok = server.GetChallengeList(topId, file);
    if (ok) ok = ReadLocalFile(file, *reply, ReplyCap(ReplyKind::kList));
    std::remove(file.c_str());
    server.ReleaseReplyFile(file);
    return ok;
  };
  hooks.fetchDetails = [](const std::string& ztkid, const std::string& poster, std::string* reply) {
    // The same files give the loading screen its poster when the challenge is played.
    if (!FetchChallengePoster(ztkid, poster)) return false;
    const std::string file = GetUserFolder(USERFOLDER_WEB) + "/challenge_details.txt";
    return ReadLocalFile(file, *reply, ReplyCap(ReplyKind::kList));
  };
  hooks.download = [](const std::string& ztkid, const std::string& localFile) {
    return GetInternet().DownloadChallenge(ztkid, localFile);
  };
  hooks.deleteChallenge = [](const std::string& ztkid) { return GetInternet().DeleteChallenge(ztkid); };
  hooks.refreshFriends = [] { RefreshFriendsList(); };
  hooks.isFriend = [](const std::string& name) { return IsFriend(name); };
  hooks.userName = [] { return GetInternet().UserName(); };
  hooks.rankName = [](int rank) { return GetRankName(rank); };
  hooks.startWorker = [](std::function<void()> body, const std::string& name,
                         bool pleaseWait) -> std::shared_ptr<void> {
    return GetThreadManager().StartThread([body](SIM_WorkerJob&) { body(); }, name, pleaseWait);
  };
  hooks.workerDone = [](const std::shared_ptr<void>& handle) {
    return static_cast<const SIM_WorkerJob*>(handle.get())->Done();
  };
  hooks.releaseWorker = [](const std::shared_ptr<void>& handle) {
    GetThreadManager().Stop(std::static_pointer_cast<SIM_WorkerJob>(handle));
  };
  hooks.runnerBusy = [] { return GetThreadManager().Busy(); };
  hooks.makeBadge = [](const std::string& player,
                       const std::vector<std::pair<std::string, std::string>>& profile) -> GUI_WindowBase* {
    GUI_RegimentBadge* badge = MakeProfileBadge(player, profile);
    // The player's own challenge shows their own badge, as their profile does.
    if (!player.empty() && player == GetInternet().UserName()) badge->SetPicture(OwnBadgeTexture());
    return badge;
  };
}
