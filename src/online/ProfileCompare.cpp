#include "online/ProfileCompare.h"

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/MathHelpers.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "online/AchievementsScreen.h"
#include "online/BadgeDesigner.h"
#include "online/Messages.h"
#include "online/PlayerProfile.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"
#include "online/ThreadManager.h"

using namespace gui_draw;

namespace {
GUI_OL_Compare* g_compareDialog = nullptr;
constexpr uint32_t kValueColour = 0xFFE6E6DCu;
}  // namespace

ComparedProfile FetchComparedProfile(const std::string& name, const std::string& own) {
  ComparedProfile out;
  out.userName = name;
  if (!IsPlainFileName(name, SIM_Server::kMaxUserName)) return out;
  const std::string file = GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini";
  ProfileAnswer answer;
  // A profile that does not arrive, or arrives for someone else, leaves the panel bare.
  if (!GetInternet().GetUserProfile(name) || !ReadProfileAnswer(file, answer) || answer.userName != name)
    return out;
  out.loaded = true;
  // Shown as text, cut to the name fields.
  out.general = answer.generalName.substr(0, SIM_Server::kMaxUserName);
  out.regiment = answer.regimentName.substr(0, SIM_Server::kMaxUserName);
  out.rankName = GetRankName(answer.rank);
  out.xpText = FormatThousands(answer.xp);
  if (name == own) {
    out.badgeTexture = OwnBadgeTexture();
  } else {
    DownloadRegimentBadge(GetRegimentBadgeList(), name);
    out.badgeTexture = GetBadgeImagePath(name);
    out.layered = out.badgeTexture != BadgeFileName(name);
    for (int i = 0; i < 3; ++i) out.layers[i] = answer.layers[i];
  }
  FetchAchievementNames(name, out.achievements);
  return out;
}

// ---------------------------------------------------------------------------
// Panel

GUI_OL_UserComparison::GUI_OL_UserComparison() {
  const char* keys[5] = {"OL_COMPARE_USERNAME", "OL_COMPARE_REGIMENT", "OL_COMPARE_COMMANDER",
                         "OL_COMPARE_XP", "OL_COMPARE_RANK"};
  for (int i = 0; i < 5; ++i) labels_[i] = GetTranslation(keys[i]);
  achievements_ = new GUI_OL_Achievements();
  AddChild(achievements_);
  claimsMouse = false;
  raisesOnClick = false;
}

GUI_OL_UserComparison::~GUI_OL_UserComparison() = default;

void GUI_OL_UserComparison::Load(const ComparedProfile& p) {
  values_[0] = MessageDisplayText(p.userName);
  // Labels over empty values would pass for a profile with nothing in it.
  status_ = p.loaded ? std::string() : GetTranslation("OL_COMPARE_OFFLINE");
  if (!p.loaded) {
    for (int i = 1; i < 5; ++i) values_[i].clear();
    hasBadge_ = false;
    delete layered_;
    layered_ = nullptr;
    achievements_->Clear();
    return;
  }
  values_[1] = MessageDisplayText(p.regiment);
  values_[2] = MessageDisplayText(p.general);
  values_[3] = p.xpText;
  values_[4] = p.rankName;
  // The badge stands beside the names, the achievements fill the rest.
  badge_.SetSize(200.0f, 200.0f);
  badge_.SetPosition(right - 110.0f, top + 110.0f);
  badge_.SetTextureByName(p.badgeTexture);
  hasBadge_ = !p.badgeTexture.empty();
  delete layered_;
  layered_ = nullptr;
  if (p.layered) {
    auto* badge = new GUI_RegimentBadge();
    AddChild(badge);
    badge->SetRect(right - 210.0f, top + 10.0f, right - 10.0f, top + 210.0f);
    badge->SetLayers(p.layers);
    bool shown = false;
    for (int i = 0; i < GUI_RegimentBadge::kLayers; ++i) shown = shown || badge->LayerShown(i);
    // No layer to draw either: the stand-in picture stays.
    if (shown) {
      layered_ = badge;
      hasBadge_ = false;
    } else {
      delete badge;
    }
  }
  achievements_->SetRect(static_cast<float>(left), top + 240.0f, static_cast<float>(right),
                         static_cast<float>(bottom));
  // As many columns of medals as the panel holds beside the scroll bar.
  achievements_->Setup(std::max(1, static_cast<int>((right - left - 50) / 46)), 46.0f, true);
  achievements_->FillUnlocked(p.achievements);
}

void GUI_OL_UserComparison::Draw() {
  if (!visible) return;
  UseFont();
  TextRenderer& text = GetTextRenderer();
  float y = static_cast<float>(top);
  if (text.IsInitialised()) {
    for (int i = 0; i < 5; ++i) {
      if (i > 0 && !status_.empty()) {
        text.PrintString(status_, left + 5.0f, y, static_cast<float>(width) - 10.0f, 0xFFFF8060u);
        break;
      }
      text.Print(0, labels_[i].c_str(), left + 5.0f, y, TextColour());
      if (!values_[i].empty()) text.Print(0, values_[i].c_str(), left + 5.0f, y + 20.0f, kValueColour);
      y += 44.0f;
    }
  }
  FlushAll();
  if (hasBadge_) {
    GetRenderDevice().SetNormalBlend();
    badge_.DrawDirect();
  }
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------
// Dialog

GUI_OL_Compare* OpenProfileComparisonWindow() { return g_compareDialog; }

GUI_OL_Compare* OpenProfileComparison(const std::string& name) {
  delete g_compareDialog;
  return new GUI_OL_Compare(name);
}

GUI_OL_Compare::GUI_OL_Compare(const std::string& other) : GUI_Dialog(true), other_(other) {
  g_compareDialog = this;
  // Fits a 768-line screen with its title bar.
  SetSize(kWidth, std::min(kHeight, static_cast<float>(ScreenHeight() - 60)));
  CentreOnScreen();
  const std::string own = ReadStoredUserName();
  SetTitle(MessageDisplayText(own) + " Vs " + MessageDisplayText(other));
  SetModal(true);
  LayoutTitleBar();
  const std::string theirs = other;
  auto result = std::make_shared<Result>();
  job_ = GetThreadManager().StartThread(
      [result, own, theirs](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_GETUSERPROF");
        result->mine = FetchComparedProfile(own, own);
        if (job.Cancelled()) return;
        result->theirs = FetchComparedProfile(theirs, own);
      },
      "CompareProfileThread");
  if (job_) result_ = result;
}

GUI_OL_Compare::~GUI_OL_Compare() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_compareDialog == this) g_compareDialog = nullptr;
}

void GUI_OL_Compare::ShowProfiles(const ComparedProfile& mine, const ComparedProfile& theirs) {
  if (left_) {
    RemoveChild(left_);
    delete left_;
  }
  if (right_) {
    RemoveChild(right_);
    delete right_;
  }
  const GUI_Rect c = GetClientRect();
  const float C = (left + right) / 2.0f;
  left_ = new GUI_OL_UserComparison();
  left_->SetRect(c.left + 10.0f, c.top + 10.0f, C - 2.0f, c.bottom - 10.0f);
  AddChild(left_);
  left_->Load(mine);
  right_ = new GUI_OL_UserComparison();
  right_->SetRect(C + 2.0f, c.top + 10.0f, c.right - 10.0f, c.bottom - 10.0f);
  AddChild(right_);
  right_->Load(theirs);
}

void GUI_OL_Compare::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    std::shared_ptr<Result> result = std::move(result_);
    if (!job->Cancelled()) ShowProfiles(result->mine, result->theirs);
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  UseFont();
  DrawChildren();
  FlushAll();
}
