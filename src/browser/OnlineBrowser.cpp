#include "browser/OnlineBrowser.h"

#include <algorithm>
#include <cstdio>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/ChallengePackage.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/InfoWidgets.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "platform/Files.h"
#include "simdata/HighScores.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_BB_OnlineBrowser* g_browser = nullptr;
GUI_BB_ChallengeDetails* g_details = nullptr;
GUI_BB_ChallengeComments* g_comments = nullptr;

const char* const kColumnKeys[GUI_BB_OnlineBrowser::kColumns] = {
    "CDI_ZTKID", "CDI_NAME",   "CDI_RECIPIENT", "CDI_DESCRIPTION", "CDI_POSTER",
    "CDI_DATE",  "CDI_PLAYED", "CDI_BEATEN",    "CDI_DIFFICULTY",  "CDI_ENJOYMENT"};
const float kColumnShares[GUI_BB_OnlineBrowser::kColumns] = {0.075f, 0.1f,    0.1f,    0.3f,   0.1f,
                                                             0.1f,   0.0375f, 0.0375f, 0.075f, 0.075f};
const char* const kFilterKeys[GUI_BB_ChallengeFilters::kCount] = {
    "FILTER_ALL", "FILTER_POSTED", "FILTER_PERSONAL", "FILTER_DOWNLOADED", "FILTER_FRIENDS"};
const char* const kFilterOptions[GUI_BB_ChallengeFilters::kCount] = {
    "OPTIONS_CFILTER_ALL", "OPTIONS_CFILTER_POSTED", "OPTIONS_CFILTER_PERSONAL", "OPTIONS_CFILTER_DOWNLOADED",
    "OPTIONS_CFILTER_FRIENDS"};

constexpr float kStarSize = 16.0f;
constexpr float kRowPitch = 50.0f;

std::string PlayerName() {
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  return hooks.userName ? hooks.userName() : std::string();
}

bool IsFriendName(const std::string& name) {
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  return !name.empty() && hooks.isFriend && hooks.isFriend(name);
}

void FillRect(float l, float t, float r, float b, uint32_t colour) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(l, t, r, b, colour);
}

void Outline(float l, float t, float r, float b, uint32_t colour) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetTexture(nullptr);
  d3d.DrawRectOutline(platform::Rect{static_cast<int32_t>(l), static_cast<int32_t>(t),
                                     static_cast<int32_t>(r), static_cast<int32_t>(b)},
                      colour);
}

// One of the strip's three state icons: a cell of the editor sheet, grey when off.
class ChallengeIcon : public GUI_ButtonBase {
 public:
  explicit ChallengeIcon(int frame) : GUI_ButtonBase(nullptr, 0), frame_(frame) {
    sheet_ = FindOrLoadTexture("editor_buttons.dds");
  }
  void Click() override {}
  void Draw() override {
    if (!visible) return;
    const float u0 = static_cast<float>(frame_ % 8) / 8.0f, v0 = static_cast<float>(frame_ / 8) / 8.0f;
    QueueQuad(sheet_, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
              static_cast<float>(bottom), u0, v0, u0 + 0.125f, v0 + 0.125f,
              enabled ? 0xFFFFFFFFu : 0x80606060u);
    GUI_ButtonBase::Draw();
  }

 private:
  int frame_ = 0;
  CLoadedTexture* sheet_ = nullptr;
};

std::vector<GUI_BB_RatingStars*>& StarList() {
  // Never destroyed: stars owned by process-wide screens leave it during exit.
  static auto* const list = new std::vector<GUI_BB_RatingStars*>();
  return *list;
}
}  // namespace

ChallengeServerHooks& GetChallengeServerHooks() {
  static ChallengeServerHooks hooks;
  return hooks;
}

GUI_BB_OnlineBrowser* GetOnlineBrowser() { return g_browser; }
GUI_BB_ChallengeDetails* GetChallengeDetails() { return g_details; }

// ---------------------------------------------------------------- columns

bool ChallengeColumnLess(int column, const SIM_ChallengeInfo& a, const SIM_ChallengeInfo& b) {
  switch (column) {
    case 0:
      return a.ztkid < b.ztkid;
    case 1:
      return a.name < b.name;
    case 2:
      return a.recipient < b.recipient;
    case 3:
      return a.description < b.description;
    case 4:
      return a.poster < b.poster;
    case 5:
      if (a.year != b.year) return a.year < b.year;
      if (a.month != b.month) return a.month < b.month;
      return a.day < b.day;
    case 6:
      return a.played < b.played;
    case 7:
      return a.beaten < b.beaten;
    case 8:
      return a.difficulty < b.difficulty;
    case 9:
      return a.enjoyment < b.enjoyment;
    default:
      return false;
  }
}

std::string ChallengeCellText(int column, const SIM_ChallengeInfo& info) {
  char buffer[64];
  switch (column) {
    case 0:
      return info.ztkid;
    case 1:
      return info.name;
    case 2:
      return info.recipient;
    case 3:
      return info.description;
    case 4:
      return info.poster;
    case 5:
      std::snprintf(buffer, sizeof buffer, "20%d-%d-%d", info.year, info.month, info.day);
      return buffer;
    case 6:
      return std::to_string(info.played);
    case 7:
      return std::to_string(info.beaten);
    case 8:
      std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(info.difficulty));
      return buffer;
    case 9:
      std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(info.enjoyment));
      return buffer;
    default:
      return std::string();
  }
}

float StarFill(float rating, int star) {
  // A NaN from a hostile list shows empty stars.
  if (!(rating == rating)) return 0.0f;
  return std::clamp(rating - static_cast<float>(star), 0.0f, 1.0f);
}

// ---------------------------------------------------------------- stars

GUI_BB_RatingStars::GUI_BB_RatingStars() { StarList().push_back(this); }

GUI_BB_RatingStars::~GUI_BB_RatingStars() {
  auto& list = StarList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<GUI_BB_RatingStars*>& GUI_BB_RatingStars::All() { return StarList(); }

void GUI_BB_RatingStars::Set(float value, float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  const float cx = (l + r) / 2.0f;
  for (int i = 0; i < 5; ++i) {
    float x = 0.0f, y = 0.0f;  // the star's left edge and vertical centre
    if (r - l >= 80.0f) {
      x = cx - 40.0f + kStarSize * static_cast<float>(i);
      y = (t + b) / 2.0f;
    } else if (i < 3) {
      x = cx - 24.0f + kStarSize * static_cast<float>(i);
      y = t + (b - t) / 3.0f;
    } else {
      x = cx - 16.0f + kStarSize * static_cast<float>(i - 3);
      y = b - (b - t) / 3.0f;
    }
    const float fill = StarFill(value, i);
    const float split = x + kStarSize * fill;
    full[i] = Part{x, y - kStarSize / 2.0f, split, y + kStarSize / 2.0f, 0.0f, fill, fill > 0.0f};
    empty[i] =
        Part{split, y - kStarSize / 2.0f, x + kStarSize, y + kStarSize / 2.0f, fill, 1.0f, fill < 1.0f};
  }
}

void GUI_BB_RatingStars::DrawAll(CLoadedTexture* emptyStar, CLoadedTexture* fullStar) {
  FlushAll();
  for (GUI_BB_RatingStars* stars : StarList())
    for (const Part& p : stars->empty)
      if (p.shown)
        QueueQuad(emptyStar, p.left, p.top, p.right, p.bottom, p.u0, 0.0f, p.u1, 1.0f, 0xFFFFFFFFu);
  FlushSprites();
  for (GUI_BB_RatingStars* stars : StarList())
    for (const Part& p : stars->full)
      if (p.shown) QueueQuad(fullStar, p.left, p.top, p.right, p.bottom, p.u0, 0.0f, p.u1, 1.0f, 0xFFFFFFFFu);
  FlushSprites();
}

// ---------------------------------------------------------------- headings

GUI_BB_ColumnSortButton::GUI_BB_ColumnSortButton(int c, const std::string& key)
    : GUI_ButtonBase(nullptr, static_cast<uint32_t>(c)), column(c), heading(GetTranslation(key)) {
  SetTooltip(key + "_TT", 30);
}

void GUI_BB_ColumnSortButton::Click() {
  GetSounds().PlayGuiSound(0);
  if (g_browser) g_browser->SortByColumn(column);
}

void GUI_BB_ColumnSortButton::Draw() {
  if (!visible) return;
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  FlushAll();
  const uint32_t fill = highlighted ? 0xC0506080u : (hover ? 0xA0404850u : 0x80303438u);
  FillRect(l + 1.0f, t, r - 1.0f, b, fill);
  Outline(l + 1.0f, t, r - 1.0f, b, 0xFF646464u);
  UseFont();
  // A heading wider than its narrow column steps down in size before it is cut.
  TextRenderer& text = GetTextRenderer();
  const float room = r - l - 4.0f;
  float size = text.Size();
  while (size > kSmallestHeading && static_cast<float>(text.TextWidth(heading.c_str())) > room) {
    size -= 1.0f;
    text.SetFont("18.dds", size);
  }
  shownText = FitTextToWidth(heading, room);
  text.Print(2, shownText.c_str(), l, (t + b) / 2.0f - 13.0f * size / 16.0f, 0xFFFFFFFFu, r - l);
  UseFont();
  GUI_ButtonBase::Draw();
}

// ---------------------------------------------------------------- filters

GUI_BB_ChallengeFilters::GUI_BB_ChallengeFilters() {
  SIM_Options& options = SIM_Options::Get();
  for (int i = 0; i < kCount; ++i) {
    flags[i] = options.GetFloat(kFilterOptions[i]) != 0.0f;
    checks[i] =
        new GUI_CheckButton(&GUI_BB_ChallengeFilters::OnFilter, kFilterKeys[i], static_cast<uint32_t>(i));
    checks[i]->checked = flags[i];
    checks[i]->SetTooltip(std::string(kFilterKeys[i]) + "_TT", 30);
    checks[i]->SetName(kFilterKeys[i]);
    AddButton(checks[i]);
  }
}

void GUI_BB_ChallengeFilters::Layout() {
  const float w = (static_cast<float>(width) - 20.0f) / kCount;
  for (int i = 0; i < kCount; ++i) {
    const float x = static_cast<float>(left) + 10.0f + w * static_cast<float>(i);
    checks[i]->SetRect(x, static_cast<float>(top), x + w, static_cast<float>(top) + 34.0f);
  }
}

void GUI_BB_ChallengeFilters::Draw() {
  if (!visible) return;
  UseFont();
  GUI_WindowBase::Draw();
}

int GUI_BB_ChallengeFilters::OnFilter(int index) {
  if (!g_browser || !g_browser->filters || index < 0 || index >= kCount) return 0;
  GUI_BB_ChallengeFilters* bar = g_browser->filters;
  // The check button flipped itself before calling back.
  bar->flags[index] = bar->checks[index]->checked;
  SIM_Options& options = SIM_Options::Get();
  for (int i = 0; i < kCount; ++i) options.SetFloat(kFilterOptions[i], bar->flags[i] ? 1.0f : 0.0f);
  options.Save();
  g_browser->RebuildRows();
  return 0;
}

// ---------------------------------------------------------------- rows

GUI_BB_ChallengeStrip::GUI_BB_ChallengeStrip(SIM_ChallengeInfo* record) : info(record) {
  raisesOnClick = false;
  for (int i = 0; i < 10; ++i) cells[i] = ChallengeCellText(i, *info);
  for (int i : {2, 3, 4, 8, 9}) tooltips[i] = std::make_unique<GUI_Tooltip>(cells[i], 20);
  friendPoster = IsFriendName(info->poster);
  friendIcon.SetTextureByName("online_friend.dds");
  for (auto*& s : stars) s = new GUI_BB_RatingStars();
  const char* tips[3] = {"CHALLENGE_ICON_DOWNLOADED_TT", "CHALLENGE_ICON_CUSTOM_TT",
                         "CHALLENGE_ICON_BEATEN_TT"};
  for (int i = 0; i < 3; ++i) {
    icons[i] = new ChallengeIcon(56 + i);
    icons[i]->SetTooltip(tips[i], 20);
    AddButton(icons[i]);
  }
  icons[0]->enabled = info->IsDownloaded();
  icons[1]->enabled = info->custom;
  icons[2]->enabled = SIM_HighScores::Get().IsChallengeBeaten(info->ztkid);
}

GUI_BB_ChallengeStrip::~GUI_BB_ChallengeStrip() {
  for (auto*& s : stars) {
    delete s;
    s = nullptr;
  }
}

void GUI_BB_ChallengeStrip::Layout(const float* widths) {
  float x = static_cast<float>(left);
  for (int i = 0; i < 10; ++i) {
    cellRects[i] = GUI_Rect{static_cast<int>(x + 1.0f), top, static_cast<int>(x + widths[i] - 1.0f), bottom};
    x += widths[i];
    if (i < 8) cells[i] = FitTextToWidth(ChallengeCellText(i, *info), widths[i] - 6.0f);
    if (tooltips[i]) tooltips[i]->MoveTo(static_cast<float>(cellRects[i].left), static_cast<float>(bottom));
  }
  friendIcon.SetSize(16.0f, 16.0f);
  friendIcon.SetPosition(static_cast<float>(cellRects[4].left) + 12.0f + 8.0f,
                         static_cast<float>(cellRects[4].top) + 31.0f + 8.0f);
  for (int i = 0; i < 2; ++i) {
    const GUI_Rect& c = cellRects[8 + i];
    stars[i]->Set(i == 0 ? info->difficulty : info->enjoyment, static_cast<float>(c.left),
                  static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  }
  const float cx = (cellRects[0].left + cellRects[0].right) / 2.0f;
  for (int i = 0; i < 3; ++i) {
    const float l = cx - 30.0f + 20.0f * static_cast<float>(i);
    icons[i]->SetRect(l, static_cast<float>(cellRects[0].bottom) - 24.0f, l + 20.0f,
                      static_cast<float>(cellRects[0].bottom) - 4.0f);
  }
}

bool GUI_BB_ChallengeStrip::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  GetSounds().PlayGuiSound(0);
  if (g_browser) g_browser->selected = this;
  OpenChallengeDetails(info);
  return true;
}

void GUI_BB_ChallengeStrip::Process() {
  GUI_WindowBase::Process();
  const float mx = MouseX(), my = MouseY();
  hovered = HitTest(mx, my);
  for (int i = 0; i < 10; ++i) {
    if (!tooltips[i]) continue;
    const GUI_Rect& c = cellRects[i];
    if (mx >= c.left && mx < c.right && my >= c.top && my < c.bottom) {
      tooltips[i]->UpdateFade();
    } else {
      tooltips[i]->Hide();
    }
  }
}

void GUI_BB_ChallengeStrip::Draw() {
  if (!visible) return;
  FlushAll();
  const bool isSelected = g_browser && g_browser->selected == this;
  // Lit only when processed this frame: under a dialog the browser is not, and the row
  // beneath the dialog's mouse stays plain.
  const bool over = hovered;
  hovered = false;
  const uint32_t fill = isSelected ? 0xC0404C5Cu : (over ? 0xA0383C40u : 0x80202224u);
  FillRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
           static_cast<float>(bottom), fill);
  for (const GUI_Rect& c : cellRects) Outline(c.left, c.top, c.right, c.bottom, 0xFF505050u);
  UseFont();
  TextRenderer& text = GetTextRenderer();
  for (int i = 0; i < 8; ++i)
    if (!cells[i].empty())
      text.Print(0, cells[i].c_str(), cellRects[i].left + 3.0f, static_cast<float>(cellRects[i].top),
                 TextColour());
  if (friendPoster) friendIcon.DrawDirect();
  GUI_WindowBase::Draw();
  for (auto& tip : tooltips)
    if (tip) tip->Draw();
}

// ---------------------------------------------------------------- browser

GUI_BB_OnlineBrowser::GUI_BB_OnlineBrowser() {
  g_browser = this;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  starEmpty = FindOrLoadTexture("star_empty.dds");
  starFull = FindOrLoadTexture("star_full.dds");
}

GUI_BB_OnlineBrowser::~GUI_BB_OnlineBrowser() {
  // A running refresh finishes on its own; its flag is shared, the tab is not.
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (worker && hooks.releaseWorker) hooks.releaseWorker(worker);
  worker.reset();
  strips.clear();
  shown.clear();
  if (g_browser == this) g_browser = nullptr;
}

void GUI_BB_OnlineBrowser::Layout() {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right);
  const float oldBottom = static_cast<float>(bottom);
  const float b = oldBottom - 55.0f;
  SetRect(l, t, r, b);
  scroll->SetRect(r - 32.0f, t + 14.0f, r - 12.0f, b - 14.0f);
  if (!refreshButton) {
    refreshButton = new GUI_ButtonText(&GUI_BB_OnlineBrowser::OnRefresh, "ONLINEBROWSER_REFRESH", 0);
    refreshButton->SetTooltip("ONLINEBROWSER_REFRESH_TT", 30);
    refreshButton->SetName("ONLINEBROWSER_REFRESH");
    AddButton(refreshButton);
  }
  refreshButton->SetRect(r - 150.0f, b + 10.0f, r, b + 30.0f);
  const float tableWidth = static_cast<float>(width) - 46.0f;
  float x = l + 12.0f;
  for (int i = 0; i < kColumns; ++i) {
    columnWidths[i] = kColumnShares[i] * tableWidth;
    if (!headings[i]) {
      headings[i] = new GUI_BB_ColumnSortButton(i, kColumnKeys[i]);
      AddButton(headings[i]);
    }
    headings[i]->SetRect(x, t + 14.0f, x + columnWidths[i], t + 34.0f);
    x += columnWidths[i];
  }
  if (!filters) {
    filters = new GUI_BB_ChallengeFilters();
    AddChild(filters);
  }
  filters->SetRect(l, b, r - 200.0f, oldBottom - 5.0f);
  filters->Layout();
  // The tab opens on the list held in memory; reading the file and asking the server
  // both happen on the worker, so neither a large list nor a planted file holds the
  // screen up. Without a worker (no server link) the file is read here.
  SIM_ChallengeDatabase& db = GetChallengeDatabase();
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (!db.loaded && (!hooks.startWorker || !hooks.fetchList)) db.Load();
  RebuildRows();
  refreshPending = !StartRefresh(false) && !db.loaded;
}

bool GUI_BB_OnlineBrowser::StartRefresh(bool pleaseWait) {
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (!hooks.startWorker || !hooks.fetchList || worker || (hooks.runnerBusy && hooks.runnerBusy()))
    return false;
  auto out = std::make_shared<RefreshResult>();
  const std::string path = GetChallengeDatabase().path;
  out->asked = pleaseWait;
  auto fetch = hooks.fetchList;
  auto friends = hooks.refreshFriends;
  refreshDone->store(false);
  std::shared_ptr<std::atomic<bool>> flag = refreshDone;
  worker = hooks.startWorker(
      [out, flag, fetch, friends, path] {
        if (friends) friends();
        // A list of the worker's own: the tab keeps drawing the one it holds.
        SIM_ChallengeDatabase fetched;
        fetched.path = path;
        out->ok = fetched.Refresh(fetch);
        out->list = std::move(fetched.challenges);
        flag->store(true);
      },
      "RefreshChallengeThread", pleaseWait);
  if (worker) refreshResult = out;
  return worker != nullptr;
}

void GUI_BB_OnlineBrowser::ApplyRefresh(RefreshResult& fetched) {
  // A failed request still read the list file: the rows show what it holds.
  GetChallengeDatabase().Adopt(std::move(fetched.list));
  RebuildRows();
  offline = !fetched.ok;
  if (offline && fetched.asked)
    ShowMessage("ERROR_TITLE",
                GetTranslation(shown.empty() ? "ONLINEBROWSER_OFFLINE_EMPTY" : "ONLINEBROWSER_OFFLINE"),
                GUI_Message::kStyleOK, nullptr);
}

int GUI_BB_OnlineBrowser::OnRefresh(int) {
  if (g_browser) g_browser->StartRefresh();
  return 0;
}

void GUI_BB_OnlineBrowser::RebuildRows() {
  shown.clear();
  const std::string player = PlayerName();
  const bool* f = filters ? filters->flags : nullptr;
  for (const auto& record : GetChallengeDatabase().challenges) {
    SIM_ChallengeInfo* info = record.get();
    bool take = false;
    if (!f || f[GUI_BB_ChallengeFilters::kAll]) {
      take = true;
    } else {
      take = (f[GUI_BB_ChallengeFilters::kDownloaded] && info->IsDownloaded()) ||
             (f[GUI_BB_ChallengeFilters::kPersonal] && !player.empty() && info->recipient == player) ||
             (f[GUI_BB_ChallengeFilters::kPosted] && !player.empty() && info->poster == player) ||
             (f[GUI_BB_ChallengeFilters::kFriends] &&
              (IsFriendName(info->poster) || IsFriendName(info->recipient)));
    }
    if (take) shown.push_back(info);
  }
  // The rows keep the order of the heading last clicked, whatever the filters took.
  SortShown();
  selected = nullptr;
  LayoutRows();
}

void GUI_BB_OnlineBrowser::SortShown() {
  if (sortColumn < 0 || sortColumn >= kColumns) return;
  const int column = sortColumn;
  std::stable_sort(shown.begin(), shown.end(),
                   [column](const SIM_ChallengeInfo* a, const SIM_ChallengeInfo* b) {
                     return ChallengeColumnLess(column, *a, *b);
                   });
  if (reverse) std::reverse(shown.begin(), shown.end());
}

void GUI_BB_OnlineBrowser::LayoutRows() {
  selected = nullptr;
  strips.clear();
  const int first = scroll ? scroll->Position() : 0;
  float y = static_cast<float>(top) + 36.0f;
  for (size_t i = static_cast<size_t>(std::max(0, first)); i < shown.size(); ++i) {
    if (y > static_cast<float>(bottom) - kRowPitch) break;
    auto strip = std::make_unique<GUI_BB_ChallengeStrip>(shown[i]);
    strip->SetRect(static_cast<float>(left) + 12.0f, y + 1.0f, static_cast<float>(right) - 36.0f, y + 48.0f);
    strip->Layout(columnWidths);
    strips.push_back(std::move(strip));
    y += kRowPitch;
  }
  // Rows that fit the table, whatever the position: the maximum lets the last row show.
  const int fit =
      std::max(0, static_cast<int>((static_cast<float>(bottom) - kRowPitch - top - 36.0f) / kRowPitch) + 1);
  const int total = static_cast<int>(shown.size());
  const int maximum = std::max(0, total - fit);
  if (scroll) {
    scroll->SetRange(static_cast<float>(total), static_cast<float>(std::max(1, std::min(fit, total))),
                     maximum);
    scroll->changed = false;
    if (scroll->Position() != first) LayoutRows();
  }
}

void GUI_BB_OnlineBrowser::SortByColumn(int column) {
  if (column < 0 || column >= kColumns) return;
  if (column == sortColumn) reverse = !reverse;
  sortColumn = column;
  for (int i = 0; i < kColumns; ++i)
    if (headings[i]) headings[i]->highlighted = i == column;
  SortShown();
  LayoutRows();
}

bool GUI_BB_OnlineBrowser::LeftClick(float x, float y) {
  if (!visible) return false;
  // A row's click may rebuild the rows (a details dialog opening): walk a copy.
  std::vector<GUI_BB_ChallengeStrip*> rows;
  for (auto& strip : strips) rows.push_back(strip.get());
  for (GUI_BB_ChallengeStrip* strip : rows)
    if (strip->LeftClick(x, y)) return true;
  return GUI_WindowBase::LeftClick(x, y);
}

void GUI_BB_OnlineBrowser::Process() {
  GUI_WindowBase::Process();
  for (auto& strip : strips) strip->Process();
}

void GUI_BB_OnlineBrowser::OnWheelUp() {
  if (scroll) scroll->ScrollBy(-1);
}

void GUI_BB_OnlineBrowser::OnWheelDown() {
  if (scroll) scroll->ScrollBy(1);
}

void GUI_BB_OnlineBrowser::Draw() {
  if (!visible) return;
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (worker && hooks.workerDone && hooks.workerDone(worker)) {
    if (hooks.releaseWorker) hooks.releaseWorker(worker);
    worker.reset();
  }
  if (refreshDone->exchange(false) && refreshResult) {
    std::shared_ptr<RefreshResult> fetched = std::move(refreshResult);
    ApplyRefresh(*fetched);
  }
  if (refreshPending && !worker) refreshPending = !StartRefresh(false) && !GetChallengeDatabase().loaded;
  if (scroll && scroll->changed) LayoutRows();
  if (reload) {
    reload = false;
    SIM_ChallengeDatabase& db = GetChallengeDatabase();
    if (!db.loaded) db.Load();
    RebuildRows();
  }
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushSprites();
  // While the list is first read the table stays blank rather than claiming it is empty.
  if (shown.empty() && GetChallengeDatabase().loaded) {
    UseFont();
    GetTextRenderer().Print(
        2, GetTranslation(offline ? "ONLINEBROWSER_OFFLINE_EMPTY" : "ONLINEBROWSER_EMPTY").c_str(),
        static_cast<float>(left), static_cast<float>(top) + 60.0f, DimTextColour(),
        static_cast<float>(width));
    FlushAll();
  } else if (offline) {
    // The rows held here stay, with the reason they may be out of date along the list's foot.
    const float y = static_cast<float>(bottom) - 26.0f;
    FillRect(static_cast<float>(left) + 12.0f, y - 2.0f, static_cast<float>(right) - 34.0f, y + 22.0f,
             0xE0101010u);
    UseFont();
    GetTextRenderer().Print(2, GetTranslation("ONLINEBROWSER_OFFLINE").c_str(), static_cast<float>(left), y,
                            0xFFFF8060u, static_cast<float>(width));
    FlushAll();
  }
  UseFont();
  DrawChildren();
  for (auto& strip : strips) strip->Draw();
  FlushAll();
  GUI_BB_RatingStars::DrawAll(starEmpty, starFull);
  UseFont();
  GUI_WindowBase::Draw();
  FlushAll();
}

// ---------------------------------------------------------------- details reply

namespace {
std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return std::string();
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// Printable bytes only, at most max: a hostile reply cannot draw control characters.
std::string Clean(const std::string& s, size_t max) {
  std::string out;
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 32 && c != 127) out += c;
    if (out.size() >= max) break;
  }
  return out;
}
}  // namespace

ChallengeDetailsReply ParseChallengeDetails(const std::string& text) {
  ChallengeDetailsReply out;
  std::string section;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    if (section == "comments") {
      if (out.comments.size() >= 500) continue;
      const size_t comma = line.find(',');
      if (comma == std::string::npos) continue;
      ChallengeComment c;
      c.commenter = Clean(Trim(line.substr(0, comma)), 64);
      std::string rest = Trim(line.substr(comma + 1));
      // The quotes group the text's own commas; they are not part of it.
      if (!rest.empty() && rest.front() == '"') {
        const size_t close = rest.rfind('"');
        rest = close > 0 ? rest.substr(1, close - 1) : rest.substr(1);
      } else {
        const size_t next = rest.find(',');
        if (next != std::string::npos) rest = rest.substr(0, next);
      }
      c.text = Clean(rest, 256);
      if (!c.commenter.empty()) out.comments.push_back(std::move(c));
    } else if (section == "profile") {
      const size_t eq = line.find('=');
      if (eq == std::string::npos || out.profile.size() >= 32) continue;
      out.profile.emplace_back(Clean(Trim(line.substr(0, eq)), 64), Clean(Trim(line.substr(eq + 1)), 128));
    }
  }
  return out;
}

// ---------------------------------------------------------------- comments

GUI_BB_ChallengeComment::GUI_BB_ChallengeComment(const ChallengeComment& comment, bool isFriend)
    : text(comment.text), commenter(comment.commenter), friendIcon(isFriend) {
  raisesOnClick = false;
}

float GUI_BB_ChallengeComment::HeightFor(float w) const {
  TextRenderer& renderer = GetTextRenderer();
  const float wrapped = renderer.IsInitialised() ? renderer.GetWrappedHeight(text.c_str(), w - 20.0f) : 16.0f;
  return wrapped + 30.0f;
}

void GUI_BB_ChallengeComment::Draw() {
  if (!visible) return;
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  FlushAll();
  FillRect(l, t, static_cast<float>(right), static_cast<float>(bottom) - 2.0f, 0x60202020u);
  Outline(l, t, static_cast<float>(right), static_cast<float>(bottom) - 2.0f, 0xFF505050u);
  if (friendIcon)
    QueueQuad(FindOrLoadTexture("online_friend.dds"), l + 10.0f, t + 4.0f, l + 26.0f, t + 20.0f, 0.0f, 0.0f,
              1.0f, 1.0f, 0xFFFFFFFFu);
  FlushSprites();
  UseFont();
  TextRenderer& renderer = GetTextRenderer();
  renderer.Print(0, commenter.c_str(), l + 32.0f, t + 2.0f, 0xFFFFFFFFu);
  renderer.PrintString(text, l + 10.0f, t + 24.0f, static_cast<float>(width) - 20.0f, TextColour());
}

GUI_BB_ChallengeComments::GUI_BB_ChallengeComments() {
  g_comments = this;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
}

GUI_BB_ChallengeComments::~GUI_BB_ChallengeComments() {
  rows.clear();
  if (g_comments == this) g_comments = nullptr;
}

void GUI_BB_ChallengeComments::SetComments(const std::vector<ChallengeComment>& comments) {
  rows.clear();
  for (const ChallengeComment& c : comments)
    rows.push_back(std::make_unique<GUI_BB_ChallengeComment>(c, IsFriendName(c.commenter)));
  scroll->SetPosition(0);
  LayoutRows();
}

void GUI_BB_ChallengeComments::LayoutRows() {
  scroll->SetRect(static_cast<float>(right) - 20.0f, static_cast<float>(top), static_cast<float>(right),
                  static_cast<float>(bottom));
  const int first = scroll->Position();
  float y = static_cast<float>(top);
  int whole = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    GUI_BB_ChallengeComment* row = rows[i].get();
    row->visible = false;
    if (static_cast<int>(i) < first || y >= static_cast<float>(bottom)) continue;
    const float w = static_cast<float>(width) - 25.0f;
    const float h = row->HeightFor(w);
    row->SetRect(static_cast<float>(left), y, static_cast<float>(left) + w, y + h);
    row->visible = true;
    if (y < static_cast<float>(bottom) - 5.0f) ++whole;
    y += h;
  }
  const int total = static_cast<int>(rows.size());
  scroll->SetRange(static_cast<float>(total), static_cast<float>(std::max(1, whole)),
                   std::max(0, total - whole));
  scroll->changed = false;
}

void GUI_BB_ChallengeComments::OnWheelUp() {
  if (scroll->ScrollBy(-1)) LayoutRows();
}

void GUI_BB_ChallengeComments::OnWheelDown() {
  if (scroll->ScrollBy(1)) LayoutRows();
}

void GUI_BB_ChallengeComments::Draw() {
  if (!visible) return;
  if (scroll->changed) LayoutRows();
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetViewport(left, top, right, bottom);
  if (rows.empty()) {
    UseFont();
    GetTextRenderer().Print(0, GetTranslation(emptyKey).c_str(), left + 10.0f, top + 4.0f, DimTextColour());
  }
  for (auto& row : rows) row->Draw();
  FlushAll();
  d3d.SetFullViewport();
  DrawChildren();
}

std::string GUI_BB_PosterProfile::ValueText(const std::string& key, const std::string& value) {
  if (key == "xp") return FormatThousands(ParseInt(value.substr(0, 63)));
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (key != "rank" || !hooks.rankName) return value;
  // A rank the table does not know keeps the number the server sent.
  const std::string name = hooks.rankName(ParseInt(value.substr(0, 63)));
  return name.empty() ? value : name;
}

void GUI_BB_PosterProfile::SetValues(const std::vector<std::pair<std::string, std::string>>& profile) {
  values = profile;
  delete badge;
  badge = nullptr;
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (!hooks.makeBadge) return;
  badge = hooks.makeBadge(poster, values);
  if (!badge) return;
  AddChild(badge);
  const float r = static_cast<float>(right) - 10.0f, t = static_cast<float>(top) + 10.0f;
  badge->SetRect(r - kBadgeSide, t, r, t + kBadgeSide);
}

void GUI_BB_PosterProfile::Draw() {
  if (!visible) return;
  FlushAll();
  FillRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
           static_cast<float>(bottom), 0x60202020u);
  Outline(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
          static_cast<float>(bottom), 0xFF505050u);
  UseFont();
  TextRenderer& text = GetTextRenderer();
  // The texts keep clear of the badge in the right-hand corner.
  const float textWidth = static_cast<float>(width) - 30.0f - kBadgeSide;
  float y = static_cast<float>(top) + 6.0f;
  text.Print(0, FitTextToWidth(GetTranslation("BB_DETAILS_POSTER") + " " + poster, textWidth).c_str(),
             left + 10.0f, y, 0xFFFFFFFFu);
  if (!status.empty()) {
    y += 20.0f;
    text.Print(0, FitTextToWidth(status, textWidth).c_str(), left + 10.0f, y, 0xFFFF8060u);
  }
  static const char* const kShown[][2] = {{"general_name", "BB_DETAILS_GENERAL"},
                                          {"regiment_name", "BB_DETAILS_REGIMENT"},
                                          {"rank", "BB_DETAILS_RANK"},
                                          {"xp", "BB_DETAILS_XP"}};
  for (const auto& shownKey : kShown) {
    for (const auto& kv : values) {
      if (kv.first != shownKey[0]) continue;
      y += 20.0f;
      const std::string line = GetTranslation(shownKey[1]) + " " + ValueText(kv.first, kv.second);
      text.Print(0, FitTextToWidth(line, textWidth).c_str(), left + 10.0f, y, TextColour());
      break;
    }
  }
  FlushAll();
  DrawChildren();
}

// ---------------------------------------------------------------- package

std::string ChallengeFolder(const std::string& ztkid) {
  return GetUserFolder(USERFOLDER_WEB) + "/challenges/" + ztkid;
}

bool FetchAndInstallChallenge(const std::string& ztkid,
                              const std::function<bool(const std::string&, const std::string&)>& download,
                              std::string* error) {
  if (!IsValidChallengeId(ztkid)) {
    if (error) *error = "bad challenge id";
    return false;
  }
  const std::string folder = ChallengeFolder(ztkid);
  if (FileExists(folder + "/scenario.txt")) return true;
  if (!download) {
    if (error) *error = "no server";
    return false;
  }
  if (!TryEnsureDirectoryExists(GetUserFolder(USERFOLDER_WEB) + "/challenges")) {
    if (error) *error = "no folder for challenges";
    return false;
  }
  // Downloaded beside the folder, never into it: only a whole, checked package gets in.
  const std::string temp = folder + ".download";
  std::remove(temp.c_str());
  if (!download(ztkid, temp)) {
    std::remove(temp.c_str());
    if (DirectoryExists(folder)) DeleteFolderTree(folder);
    LogErrorF("Challenge %s could not be downloaded", ztkid.c_str());
    if (error) *error = "download failed";
    return false;
  }
  const bool installed = InstallChallengePackage(temp, folder, error);
  std::remove(temp.c_str());
  return installed;
}

// ---------------------------------------------------------------- details dialog

GUI_BB_ChallengeDetails* OpenChallengeDetails(SIM_ChallengeInfo* record) {
  if (!record) return nullptr;
  delete g_details;
  return new GUI_BB_ChallengeDetails(record);
}

GUI_BB_ChallengeDetails::GUI_BB_ChallengeDetails(SIM_ChallengeInfo* record)
    : GUI_Dialog(true), info(*record) {
  g_details = this;
  SetSize(720.0f, 620.0f);
  sideBorder = 12.0f;
  topBorder = 12.0f;
  bottomBorder = 48.0f;
  CentreOnScreen();
  SetTitle(info.name);
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  const float cl = static_cast<float>(c.left), ct = static_cast<float>(c.top);
  const float cr = static_cast<float>(c.right), cb = static_cast<float>(c.bottom);

  // The poster across the top, their badge in its corner and the battle's values under
  // their names; then the poster's text, then the comments.
  profile = new GUI_BB_PosterProfile();
  profile->poster = info.poster;
  profile->SetRect(cl + 10.0f, ct + 10.0f, cr - 10.0f, ct + 30.0f + GUI_BB_PosterProfile::kBadgeSide);
  AddChild(profile);
  data = new GUI_ScenarioData();
  data->SetRect(cl + 15.0f, ct + 120.0f, cr - 30.0f - GUI_BB_PosterProfile::kBadgeSide, ct + 212.0f);
  data->attackSupplyPerSec = static_cast<float>(info.attackerSupplies);
  data->defenceSupplyPerSec = static_cast<float>(info.defenderSupplies);
  data->timeLimit = static_cast<float>(info.timeLimit) / 1000.0f;  // sent in milliseconds
  data->escapeLimit = static_cast<float>(info.escapeLimit);
  data->Build();
  AddChild(data);
  // The text takes the lines it needs, up to four; the comments get the rest. The room
  // is a few pixels taller than the lines, for the last line's descenders.
  const float textTop = static_cast<float>(profile->bottom) + 8.0f;
  TextRenderer& renderer = GetTextRenderer();
  float line = 16.0f, textHeight = line;
  if (renderer.IsInitialised()) {
    UseFont();
    line = renderer.GetWrappedHeight("X", cr - cl);
    textHeight = renderer.GetWrappedHeight(info.description.c_str(), cr - cl - 20.0f);
  }
  textHeight = std::min(std::max(textHeight, line), 4.0f * line) + 6.0f;
  descriptionRect.left = static_cast<int>(cl + 10.0f);
  descriptionRect.top = static_cast<int>(textTop);
  descriptionRect.right = static_cast<int>(cr - 10.0f);
  descriptionRect.bottom = static_cast<int>(textTop + textHeight);
  comments = new GUI_BB_ChallengeComments();
  comments->SetRect(cl + 10.0f, descriptionRect.bottom + 8.0f, cr - 10.0f, cb - 10.0f);
  comments->LayoutRows();
  AddChild(comments);

  const float bt = static_cast<float>(bottom) - 38.0f, bb = static_cast<float>(bottom) - 14.0f;
  const float bl = static_cast<float>(left) + 30.0f, br = static_cast<float>(right) - 30.0f;
  attackButton = new GUI_ButtonText(&GUI_BB_ChallengeDetails::OnAttack, "BB_DETAILS_ATTACK", 0);
  attackButton->SetName("CHALLENGE_ATTACK");
  defendButton = new GUI_ButtonText(&GUI_BB_ChallengeDetails::OnDefend, "BB_DETAILS_DEFEND", 0);
  defendButton->SetName("CHALLENGE_DEFEND");
  defendButton->SetTooltip("BB_DETAILS_DEFEND_TT", 60);
  AddButton(attackButton);
  AddButton(defendButton);
  const std::string player = PlayerName();
  if (!player.empty() && (info.poster == player || info.recipient == player)) {
    deleteButton = new GUI_ButtonText(&GUI_BB_ChallengeDetails::OnDelete, "BB_DETAILS_DELETE", 0);
    deleteButton->SetName("CHALLENGE_DELETE");
    deleteButton->SetTooltip("BB_DETAILS_DELETE_TT", 60);
    AddButton(deleteButton);
    const float third = (br - bl) / 3.0f;
    attackButton->SetRect(bl, bt, bl + third - 10.0f, bb);
    defendButton->SetRect(bl + third + 5.0f, bt, bl + 2.0f * third - 5.0f, bb);
    deleteButton->SetRect(bl + 2.0f * third + 10.0f, bt, br, bb);
  } else {
    attackButton->SetRect(bl, bt, (bl + br) / 2.0f - 10.0f, bb);
    defendButton->SetRect((bl + br) / 2.0f + 10.0f, bt, br, bb);
  }
  if (info.custom) {
    attackButton->SetTooltip("BB_DETAILS_ATTACK_TT", 60);
  } else {
    // A built-in map has no map of the poster's to attack: only the defence is shared.
    attackButton->enabled = false;
    attackButton->SetTooltip("BB_DETAILS_ATTACK_DISABLED_TT", 60);
  }

  StartDetails();
}

void GUI_BB_ChallengeDetails::StartDetails() {
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (detailsAsked || worker || !hooks.startWorker || !hooks.fetchDetails ||
      (hooks.runnerBusy && hooks.runnerBusy()))
    return;
  auto out = std::make_shared<Result>();
  auto fetch = hooks.fetchDetails;
  const std::string ztkid = info.ztkid, poster = info.poster;
  worker = hooks.startWorker(
      [out, fetch, ztkid, poster] {
        std::string reply;
        out->ok = fetch(ztkid, poster, &reply);
        if (out->ok) out->details = ParseChallengeDetails(reply);
        out->done.store(true);
      },
      "GetChallengeDetailsThread", true);
  if (worker) {
    result = out;
    detailsAsked = true;
  }
}

GUI_BB_ChallengeDetails::~GUI_BB_ChallengeDetails() {
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (worker && hooks.releaseWorker) hooks.releaseWorker(worker);
  worker.reset();
  if (g_details == this) g_details = nullptr;
}

void GUI_BB_ChallengeDetails::Draw() {
  if (!visible) return;
  if (result && result->done.load()) {
    const ChallengeServerHooks& hooks = GetChallengeServerHooks();
    if (worker && hooks.releaseWorker) hooks.releaseWorker(worker);
    worker.reset();
    std::shared_ptr<Result> finished = std::move(result);
    if (deleting) {
      deleting = false;
      if (finished->ok) {
        // Removed on this thread: the table holds pointers into the list.
        SIM_ChallengeDatabase& db = GetChallengeDatabase();
        if (db.RemoveChallenge(info.ztkid)) db.Save();
        if (GUI_BB_OnlineBrowser* browser = g_browser) {
          browser->RebuildRows();
          browser->reload = true;
        }
        GetWindowOrder().DeleteLater(this);
        return;
      }
      ShowMessage("ERROR_TITLE", GetTranslation("BB_DETAILS_DELETE_FAILED"), GUI_Message::kStyleOK, nullptr);
    } else if (finished->ok) {
      profile->status.clear();
      comments->emptyKey = "BB_DETAILS_NO_COMMENTS";
      profile->SetValues(finished->details.profile);
      comments->SetComments(finished->details.comments);
    } else {
      // Nothing came back: the blank profile and the empty comments are not the poster's.
      profile->status = GetTranslation("BB_DETAILS_OFFLINE");
      comments->emptyKey = "BB_DETAILS_OFFLINE";
    }
  }
  if (!detailsAsked && !deleting) StartDetails();
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  // A text longer than its room is cut at the room's edge, never drawn over the comments.
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetViewport(descriptionRect.left, descriptionRect.top, descriptionRect.right, descriptionRect.bottom);
  UseFont();
  GetTextRenderer().PrintString(info.description, static_cast<float>(descriptionRect.left),
                                static_cast<float>(descriptionRect.top),
                                static_cast<float>(descriptionRect.Width()), TextColour());
  FlushAll();
  d3d.SetFullViewport();
  DrawChildren();
  FlushAll();
}

SIM_Scenario* GUI_BB_ChallengeDetails::PrepareChallenge() {
  scenario = nullptr;
  std::string why;
  if (!FetchAndInstallChallenge(info.ztkid, GetChallengeServerHooks().download, &why)) {
    ShowMessage("ERROR_TITLE", GetTranslation("BB_DETAILS_DOWNLOAD_FAILED"), GUI_Message::kStyleOK, nullptr);
    return nullptr;
  }
  const std::string folder = ChallengeFolder(info.ztkid);
  const std::string file = folder + "/scenario.txt";
  SettingsFile config;
  config.Load("config", file);
  const std::string proxy = config.GetString("proxy_scenario");
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  if (!proxy.empty()) {
    manager.Load();
    SIM_Scenario* builtIn = nullptr;
    for (SIM_Scenario* s : manager.Campaign())
      if (s->name == proxy) builtIn = s;
    if (!builtIn) {
      DebugLog("Proxy scenario not found on local machine");
      LogErrorF("Challenge %s names scenario %s, which is not on this machine", info.ztkid.c_str(),
                proxy.c_str());
      ShowMessage("ERROR_TITLE", GetTranslation("BB_DETAILS_PROXY_MISSING"), GUI_Message::kStyleOK, nullptr);
      return nullptr;
    }
    std::string contents;
    std::string why;
    if (!platform::ReadRegularFile(builtIn->file, &contents, platform::kMaxWholeFileBytes, &why))
      LogErrorF("%s refused: %s", builtIn->file.c_str(), why.c_str());
    if (contents.empty() || !WriteFileAtomic(file, contents)) {
      LogErrorF("Error copying proxy scenario %s", proxy.c_str());
      DeleteFolderTree(folder);
      ShowMessage("ERROR_TITLE", GetTranslation("BB_DETAILS_DOWNLOAD_FAILED"), GUI_Message::kStyleOK,
                  nullptr);
      return nullptr;
    }
  }
  // The same challenge opened again reuses its record.
  for (SIM_Scenario* s : manager.Added())
    if (s->file == file) scenario = s;
  if (!scenario) scenario = manager.AddScenario(file);
  if (!scenario) {
    // Not a scenario this game can load: the folder goes, so the next try downloads again.
    DeleteFolderTree(folder);
    ShowMessage("ERROR_TITLE", GetTranslation("BB_DETAILS_DOWNLOAD_FAILED"), GUI_Message::kStyleOK, nullptr);
    return nullptr;
  }
  scenario->id = info.ztkid;
  for (auto& record : GetChallengeDatabase().challenges)
    if (record->ztkid == info.ztkid) record->downloadedState = 0;
  info.downloadedState = 0;
  return scenario;
}

// Attack and Defend alike: the challenge is made ready, then that side's options open.
int GUI_BB_ChallengeDetails::StartAs(bool defend) {
  GUI_BB_ChallengeDetails* dialog = g_details;
  if (!dialog) return 0;
  SIM_Scenario* prepared = dialog->PrepareChallenge();
  if (!prepared) return 0;
  GetBattle().playerDefends = defend;
  GetSounds().PlayGuiSound(0);
  if (defend)
    OpenDefenseOptions(prepared);
  else
    OpenAttackOptions(prepared);
  return 0;
}

int GUI_BB_ChallengeDetails::OnAttack(int) { return StartAs(false); }

int GUI_BB_ChallengeDetails::OnDefend(int) { return StartAs(true); }

int GUI_BB_ChallengeDetails::OnDelete(int) {
  GUI_BB_ChallengeDetails* dialog = g_details;
  const ChallengeServerHooks& hooks = GetChallengeServerHooks();
  if (!dialog || dialog->worker || !hooks.startWorker || !hooks.deleteChallenge ||
      (hooks.runnerBusy && hooks.runnerBusy()))
    return 0;
  auto out = std::make_shared<Result>();
  auto remove = hooks.deleteChallenge;
  const std::string ztkid = dialog->info.ztkid;
  dialog->worker = hooks.startWorker(
      [out, remove, ztkid] {
        // Only the server's yes removes it here; otherwise it would come back on the
        // next refresh while the player believes it gone.
        out->ok = remove(ztkid);
        out->done.store(true);
      },
      "DeleteChallengeThread", true);
  if (dialog->worker) {
    dialog->result = out;
    dialog->deleting = true;
  }
  return 0;
}
