#include "online/AchievementsScreen.h"

#include <algorithm>
#include <cctype>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/GUI_BaseElement.h"
#include "engine/ShaderEffects.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "online/Friends.h"
#include "online/Internet.h"
#include "online/Server.h"
#include "simdata/Achievements.h"

using namespace gui_draw;

namespace {
GUI_OL_AchievementsDialog* g_achievementsDialog = nullptr;
}  // namespace

// ---------------------------------------------------------------------------
// Item

GUI_OL_Achievement::GUI_OL_Achievement(const SIM_Achievement& definition, bool unlocked)
    : name_(definition.name), unlocked_(unlocked) {
  // The definition's own medal, as the post-battle dialog shows it: the disc below, the
  // ribbon above and the clasp, when there is one, over the ribbon.
  icon_.SetTextureByName(definition.pictures[0]);
  secondIcon_.SetTextureByName(definition.pictures[1]);
  hasOverlay_ = !definition.pictures[2].empty();
  if (hasOverlay_) overlay_.SetTextureByName(definition.pictures[2]);
  tooltip_ = new GUI_Tooltip(GetTranslation(definition.title), 20);
  tooltip_->AddLine(GetTranslation(unlocked ? definition.description : definition.hint));
  claimsMouse = false;
  raisesOnClick = false;
}

GUI_OL_Achievement::~GUI_OL_Achievement() { delete tooltip_; }

void GUI_OL_Achievement::Process() {
  if (!visible) return;
  if (HitTest(MouseX(), MouseY()))
    tooltip_->UpdateFade();
  else
    tooltip_->Hide();
}

void GUI_OL_Achievement::Draw() {
  if (!visible) return;
  const float l = left + 2.0f, t = top + 2.0f, r = right - 2.0f;
  const float w = r - l;
  const float cx = (left + right) / 2.0f;
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  GShaderEffect* effect = nullptr;
  if (!unlocked_ && d3d.ShaderSupport()) {
    effect = GetShaderManager().GetShader(kLockedEffect);
    if (effect && !effect->effect) effect = nullptr;
    if (effect) effect->Begin();
  }
  secondIcon_.SetSize(w, w);
  secondIcon_.SetPosition(cx, t + 10.0f + w / 2.0f);
  secondIcon_.DrawDirect();
  icon_.SetSize(w, w);
  icon_.SetPosition(cx, t + 10.0f + w + w / 2.0f);
  icon_.DrawDirect();
  if (hasOverlay_) {
    overlay_.SetSize(w, w);
    overlay_.SetPosition(cx, t + 10.0f + w / 2.0f);
    overlay_.DrawDirect();
  }
  if (effect) effect->End();
  // Queued: drawn after every window, never through the grey effect.
  if (tooltip_->alpha > 0.0f) tooltip_->Draw();
}

// ---------------------------------------------------------------------------
// List

GUI_OL_Achievements::GUI_OL_Achievements() {
  claimsMouse = false;
  raisesOnClick = false;
}

GUI_OL_Achievements::~GUI_OL_Achievements() { Clear(); }

void GUI_OL_Achievements::Setup(int columns, float itemSize, bool showScrollBar) {
  columns_ = std::max(1, columns);
  size_ = std::max(8.0f, itemSize);
  if (!scrollBar_) {
    scrollBar_ = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
    AddChild(scrollBar_);
  }
  scrollBar_->SetRect(right - 30.0f, top + 15.0f, right - 10.0f, bottom - 15.0f);
  scrollBar_->visible = showScrollBar;
}

void GUI_OL_Achievements::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  if (scrollBar_) scrollBar_->SetRect(r - 30.0f, t + 15.0f, r - 10.0f, b - 15.0f);
}

void GUI_OL_Achievements::Clear() {
  for (GUI_OL_Achievement* item : items_) {
    if (item->ParentWindow() == this) RemoveChild(item);
    delete item;
  }
  items_.clear();
  if (scrollBar_) scrollBar_->SetPosition(0);
}

void GUI_OL_Achievements::FillOwn() {
  Clear();
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions();
  const std::vector<std::string> unlocked = list.UnlockedNames();
  auto isUnlocked = [&](const std::string& name) {
    return std::find(unlocked.begin(), unlocked.end(), name) != unlocked.end();
  };
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& a : list.All())
      if (isUnlocked(a->name) == (pass == 0)) items_.push_back(new GUI_OL_Achievement(*a, pass == 0));
  Layout();
}

void GUI_OL_Achievements::FillUnlocked(const std::vector<std::string>& names) {
  Clear();
  SIM_AchievementList& list = SIM_AchievementList::Get();
  list.LoadDefinitions();
  for (const std::string& name : names)
    if (SIM_Achievement* a = list.FindByName(name)) items_.push_back(new GUI_OL_Achievement(*a, true));
  Layout();
}

void GUI_OL_Achievements::Layout() {
  for (GUI_OL_Achievement* item : items_)
    if (item->ParentWindow() == this) RemoveChild(item);
  const int firstRow = scrollBar_ ? scrollBar_->Position() : 0;
  const size_t start = static_cast<size_t>(firstRow) * static_cast<size_t>(columns_);
  float x = left + 13.0f, y = top + 10.0f;
  int column = 0;
  bool secondRow = false;
  for (size_t i = start; i < items_.size(); ++i) {
    GUI_OL_Achievement* item = items_[i];
    item->SetRect(x, y, x + size_, y + 2.0f * size_ + 20.0f);
    AddChild(item);
    x += size_;
    if (++column == columns_) {
      if (secondRow) break;
      x = left + 13.0f;
      y += 2.0f * size_ + 20.0f;
      column = 0;
      secondRow = true;
    }
  }
  if (!scrollBar_) return;
  const int total = (static_cast<int>(items_.size()) + columns_ - 1) / columns_;
  const int shown = secondRow ? 2 : 1;
  scrollBar_->SetRange(static_cast<float>(total), static_cast<float>(shown), std::max(0, total - shown));
  scrollBar_->changed = false;
}

std::vector<GUI_OL_Achievement*> GUI_OL_Achievements::PlacedItems() const {
  std::vector<GUI_OL_Achievement*> placed;
  for (GUI_WindowBase* child : ChildWindows())
    if (auto* item = dynamic_cast<GUI_OL_Achievement*>(child)) placed.push_back(item);
  return placed;
}

void GUI_OL_Achievements::OnWheelUp() {
  if (scrollBar_) scrollBar_->ScrollBy(-1);
}

void GUI_OL_Achievements::OnWheelDown() {
  if (scrollBar_) scrollBar_->ScrollBy(1);
}

void GUI_OL_Achievements::Draw() {
  if (!visible) return;
  if (scrollBar_ && scrollBar_->changed) Layout();
  UseFont();
  DrawChildren();
  FlushAll();
}

bool FetchAchievementNames(const std::string& profile, std::vector<std::string>& names) {
  names.clear();
  const std::string file = GetUserFolder(USERFOLDER_WEB) + "/achievements_other.txt";
  const bool ok = GetLink().DownloadFile(
      SIM_Server::BuildQuery("get_achievements.php",
                             {{"username", GetInternet().UserName()}, {"profile", profile}}),
      file, true, ReplyKind::kList);
  if (!ok) return false;
  names = ReadNameList(file);
  return true;
}

// ---------------------------------------------------------------------------
// Dialog

GUI_OL_AchievementsDialog* OpenAchievementsDialogWindow() { return g_achievementsDialog; }

GUI_OL_AchievementsDialog* OpenAchievementsDialog(float left, float top, float right, float bottom) {
  delete g_achievementsDialog;
  return new GUI_OL_AchievementsDialog(left, top, right, bottom);
}

GUI_OL_AchievementsDialog::GUI_OL_AchievementsDialog(float l, float t, float r, float b) : GUI_Dialog(false) {
  g_achievementsDialog = this;
  SetName("PROFILE_MEDALS");
  SetRect(l, t, r, b);
  SetTranslatedTitle("OL_ACHIEVEMENTS_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  list_ = new GUI_OL_Achievements();
  list_->SetRect(static_cast<float>(c.left), c.top + 5.0f, static_cast<float>(c.right),
                 static_cast<float>(c.bottom));
  list_->Setup(10, 63.0f, true);
  AddChild(list_);
  list_->FillOwn();
}

GUI_OL_AchievementsDialog::~GUI_OL_AchievementsDialog() {
  if (g_achievementsDialog == this) g_achievementsDialog = nullptr;
}

void GUI_OL_AchievementsDialog::OnWheelUp() { list_->OnWheelUp(); }
void GUI_OL_AchievementsDialog::OnWheelDown() { list_->OnWheelDown(); }

void GUI_OL_AchievementsDialog::Draw() {
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  UseFont();
  DrawChildren();
  FlushAll();
}
