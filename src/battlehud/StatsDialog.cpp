#include "battlehud/StatsDialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "battle/Battle.h"
#include "battle/BattleStats.h"
#include "battlescreen/DesignSprite.h"
#include "engine/MathHelpers.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {

GUI_BS_Stats* g_stats = nullptr;

void RegisterStatsReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_stats;
                              g_stats = nullptr;
                            }),
                            true);
  (void)registered;
}

const char* const kTitles[3] = {"BS_STATS_TITLE_AVERAGE", "BS_STATS_TITLE_VFM", "BS_STATS_TITLE_TOTALS"};
const char* const kTooltips[GUI_BS_StatsStrip::kColumns] = {
    "US_TOTAL_DAMAGE_DONE_TT", "US_SHIELD_DAMAGE_DONE_TT", "US_ARMOR_DAMAGE_DONE_TT",
    "US_HULL_DAMAGE_DONE_TT",  "US_SHOTSFIRED_TT",         "US_ESCAPED_TT"};

std::string Thousands(float v) {
  if (!std::isfinite(v)) v = 0.0f;
  return FormatThousands(static_cast<int>(std::clamp(v, -2.0e9f, 2.0e9f)));
}

void Fill(float l, float t, float r, float b, uint32_t colour) {
  gui_draw::QueueQuad(FindOrLoadTexture("deployment_square_fill.dds"), l, t, r, b, 0.45f, 0.45f, 0.55f, 0.55f,
                      colour);
}

}  // namespace

GUI_BS_StatsStrip::GUI_BS_StatsStrip(const BattleStatsGroup* g, bool withEscaped)
    : group(g), sixColumns(withEscaped) {
  blocksClicks = false;
  const SIM_UnitDesign* design = g ? g->design : nullptr;
  const std::string name = design ? design->guiName : std::string();
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  label = tr.NextLineString(name, 165.0f);
  tooltip = new GUI_Tooltip(name, 20);
  const float count = g ? static_cast<float>(g->units.size()) : 0.0f;
  const float spent = design ? design->cost * count : 0.0f;
  const float vp = design && design->hull ? std::trunc(design->hull->victoryPoints) : 0.0f;
  for (int i = 0; i < kColumns; ++i) {
    float a = g ? g->averages[i] : 0.0f;
    float t = g ? g->sums[i] : 0.0f;
    // An escaped unit is worth its hull's victory points.
    if (i == STAT_ESCAPED) {
      a *= vp;
      t *= vp;
    }
    averages[i] = Thousands(a);
    totals[i] = Thousands(t);
    float ratio = 0.0f;
    if (spent > 0.0f) {
      ratio = t / spent;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.2f", ratio);
      ratios[i] = buf;
    } else {
      ratios[i] = "N/A";
    }
    if (i == 0) {
      average0 = a;
      total0 = t;
      ratio0 = ratio;
    }
  }
  if (design) sprite = GUI_BS_DesignSprite::Instance().GetTexture(design->name, false);
}

GUI_BS_StatsStrip::~GUI_BS_StatsStrip() { delete tooltip; }

void GUI_BS_StatsStrip::Process() {
  if (tooltip) {
    if (IsMouseOver()) {
      tooltip->UpdateFade();
    } else {
      tooltip->Hide();
    }
  }
  GUI_WindowBase::Process();
}

void GUI_BS_StatsStrip::Draw() {
  if (!visible) return;
  Fill(left + 2.0f, top + 2.0f, right - 2.0f, bottom - 2.0f, highlighted ? 0x4080ff80u : 0x20ffffffu);
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  tr.Print(0, label.c_str(), left + 45.0f, top + 12.0f, gui_draw::TextColour());
  const int c = sixColumns ? 6 : 5;
  const float x0 = left + 275.0f;
  const float w = (right - x0) / static_cast<float>(c);
  const std::string* set = mode == 1 ? ratios : (mode == 2 ? totals : averages);
  for (int i = 0; i < c; ++i)
    tr.Print(2, set[i].c_str(), x0 + w * static_cast<float>(i), top + 12.0f, gui_draw::TextColour(), w);
  DrawChildren();
  if (!sprite.empty())
    gui_draw::QueueCentred(FindOrLoadTexture(sprite), left + 20.0f, (top + bottom) / 2.0f, 36.0f, 36.0f, 0, 0,
                           1, 1, 0xffffffffu);
  if (tooltip && tooltip->alpha > 0.0f) tooltip->Draw();
}

GUI_BS_Stats::GUI_BS_Stats() : GUI_Dialog(true) {
  RegisterStatsReset();
  if (g_stats && g_stats != this) {
    GUI_BS_Stats* old = g_stats;
    g_stats = nullptr;
    delete old;
  }
  g_stats = this;
  database = std::make_unique<SIM_BattleStatsDatabase>();
  database->Build();
  sixColumns = !(BattleExists() && GetBattle().playerDefends);
  const int n = static_cast<int>(database->groups.size());
  const int fit = std::max(0, (ScreenHeight() - 140 - 12) / kRow);
  const int rows = std::min(n, fit);
  sideBorder = 12;
  topBorder = 12;
  SetSize(900.0f, static_cast<float>(rows * kRow + 58));
  CentreOnScreen();
  const GUI_Rect c = GetClientRect();
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  scroll->SetRect(c.right - 20.0f, c.top + 10.0f, c.right - 5.0f, c.bottom - 10.0f);
  float best[3] = {0.0f, 0.0f, 0.0f};
  for (const auto& g : database->groups) {
    auto* strip = new GUI_BS_StatsStrip(g.get(), sixColumns);
    strips.push_back(strip);
    // Strictly greater: ties keep the earlier row, and a best of 0 highlights nothing.
    if (strip->average0 > best[kAverage]) {
      best[kAverage] = strip->average0;
      bestAverage = strip;
    }
    if (strip->ratio0 > best[kValueForMoney]) {
      best[kValueForMoney] = strip->ratio0;
      bestRatio = strip;
    }
    if (strip->total0 > best[kTotals]) {
      best[kTotals] = strip->total0;
      bestTotals = strip;
    }
  }
  LayoutStrips();
  modeButton = new GUI_ButtonText(&GUI_BS_Stats::OnChangeMode, "BS_STATS_CHANGEMODE", 0);
  modeButton->SetRect(c.left + 10.0f, c.top + 5.0f, c.left + 180.0f, c.top + 28.0f);
  modeButton->SetName("BS_STATS_CHANGEMODE");
  AddButton(modeButton);
  const int cols = ColumnCount();
  const float x0 = c.left + 279.0f;
  const float w = std::floor((c.right - x0 - 20.0f) / static_cast<float>(cols));
  for (int i = 0; i < cols; ++i) {
    auto* h = new GUI_ButtonText(nullptr, kBattleStatKeys[i], 0);
    h->SetRect(x0 + w * i, c.top + 5.0f, x0 + w * (i + 1), c.top + 25.0f);
    h->SetTooltip(kTooltips[i], 20);
    AddButton(h);
    headers.push_back(h);
  }
  ApplyMode();
}

GUI_BS_Stats::~GUI_BS_Stats() {
  if (g_stats == this) g_stats = nullptr;
  for (GUI_BS_StatsStrip* s : strips) delete s;  // each leaves the child list
}

void GUI_BS_Stats::LayoutStrips() {
  for (GUI_BS_StatsStrip* s : strips) RemoveChild(s);
  const GUI_Rect c = GetClientRect();
  float y = c.top + 28.0f;
  placed = 0;
  for (size_t i = static_cast<size_t>(std::max(0, scroll->Position())); i < strips.size(); ++i) {
    if (y > c.bottom - kRow) break;
    strips[i]->SetRect(static_cast<float>(c.left), y, c.right - 20.0f, y + kRow);
    AddChild(strips[i]);
    ++placed;
    y += kRow;
  }
  const int total = static_cast<int>(strips.size());
  scroll->SetRange(static_cast<float>(total), static_cast<float>(placed), std::max(0, total - placed));
  scroll->changed = false;
}

void GUI_BS_Stats::ApplyMode() {
  for (GUI_BS_StatsStrip* s : strips) {
    s->highlighted = false;
    s->mode = mode;
  }
  GUI_BS_StatsStrip* best =
      mode == kAverage ? bestAverage : (mode == kValueForMoney ? bestRatio : bestTotals);
  if (best) best->highlighted = true;
  SetTranslatedTitle(kTitles[mode]);
  LayoutTitleBar();
}

int GUI_BS_Stats::OnChangeMode(int) {
  if (!g_stats) return 0;
  g_stats->mode = (g_stats->mode + 1) % 3;
  g_stats->ApplyMode();
  return 0;
}

void GUI_BS_Stats::OnWheelUp() {
  if (scroll->ScrollBy(-1)) LayoutStrips();
}
void GUI_BS_Stats::OnWheelDown() {
  if (scroll->ScrollBy(1)) LayoutStrips();
}

void GUI_BS_Stats::Draw() {
  if (!visible) return;
  if (scroll->changed) LayoutStrips();
  const bool buttons = drawButtons;
  drawButtons = false;
  GUI_Dialog::Draw();
  drawButtons = buttons;
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  GUI_WindowBase::Draw();
  gui_draw::UseFont();
  DrawChildren();
  gui_draw::FlushAll();
}

GUI_BS_Stats* GetOpenStatsDialog() { return g_stats; }

void CloseStatsDialog() {
  if (!g_stats) return;
  GUI_BS_Stats* d = g_stats;
  g_stats = nullptr;
  delete d;
}
