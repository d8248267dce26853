// Numbers of the unit designer: the module details panel with its augmented values, the
// comparison of one stat across every module type, and the design summary.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "battle/Gameplay.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/MathHelpers.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/AugmentationFactors.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "unitdesign/AugmentationFactors.h"
#include "unitdesign/ModuleDetailsStrip.h"
#include "unitdesign/UnitDesigner.h"

using namespace gui_draw;

namespace {
GUI_UD_ModuleStatComparison* g_comparison = nullptr;
constexpr float kRow = 24.0f;

float Number(const SIM_ModuleType& type, const std::string& key) {
  const std::string text = type.ModuleData().GetString(key).substr(0, 63);
  return text.empty() ? 0.0f : static_cast<float>(ParseDouble(text));
}

int Truncate(float v) { return static_cast<int>(std::clamp(v, -2.0e9f, 2.0e9f)); }

const SIM_UnitDesign* EditedDesign() {
  GUI_UD_Window* window = GetUDWindow();
  return window ? window->design : nullptr;
}
}  // namespace

// ---------------------------------------------------------------------------------------
// Augmented values

float ApplyAugmentations(float value, const std::string& key, const GUI_UD_ModuleDetails* panel) {
  const AugmentationFactors& f = DesignAugmentationFactors();
  static const struct {
    const char* key;
    int factor;
  } kScaled[] = {
      {"min_range", AUG_MIN_RANGE},
      {"max_range", AUG_RANGE},
      {"damage", AUG_DAMAGE},
      {"effective_vs_shield", AUG_EFF_VS_SHIELD},
      {"effective_vs_armor", AUG_EFF_VS_ARMOUR},
      {"effective_vs_internal", AUG_EFF_VS_INTERNAL},
      {"splash_damage_radius", AUG_AOA_RADIUS},
      {"ammunition", AUG_AMMO_STORAGE},
      {"ammosupplytime", AUG_AMMO_RELOAD},
      {"shieldpoints", AUG_SHIELD_STRENGTH},
      {"maxdamageabsorbable", AUG_ARMOUR_STRENGTH},
  };
  for (const auto& s : kScaled) {
    if (key == s.key) return value * f[s.factor];
  }
  if (key == "fire_interval") return f.LoadingSpeed() != 0.0f ? value / f.LoadingSpeed() : value;
  if (key == "cost") {
    const SIM_UnitDesign* design = EditedDesign();
    if (panel && panel->type && panel->type->IsAugmentation() && design && design->hull &&
        design->hull->GetSizeType() == SIZETYPE_INFANTRY)
      return value * 0.2f;
  }
  return value;
}

std::string DetailsValueText(const SIM_ModuleType& type, const ModuleDataItem& item,
                             const GUI_UD_ModuleDetails* panel, bool* listed) {
  if (listed) *listed = true;
  const std::string& key = item.key;
  char buf[96] = "";
  std::string text;
  const SIM_UnitDesign* design = EditedDesign();
  const bool building = design && design->hull && design->hull->GetSizeType() == SIZETYPE_BUILDING;
  float value = Number(type, key);
  switch (item.type) {
    case MDI_INTEGER: {
      if (building && key == "damage") value *= GetGameplay().DEFENDER_DAMAGE_MULT;
      if (building && (key == "shieldpoints" || key == "maxdamageabsorbable"))
        value *= GetGameplay().DEFENDER_DEFENSE_BONUS;
      const float aug = ApplyAugmentations(value, key, panel);
      if (Truncate(aug) == Truncate(value)) {
        text = FormatThousands(Truncate(value));
      } else {
        text = (FormatThousands(Truncate(value)) + " (" + FormatThousands(Truncate(aug)) + ")").substr(0, 31);
      }
      break;
    }
    case MDI_STRING: {
      const std::string raw = type.ModuleData().GetString(key);
      text = raw.empty() ? raw : GetTranslation(raw);
      if (text.empty()) text = raw;
      break;
    }
    case MDI_DECIMAL: {
      const float aug = ApplyAugmentations(value, key, panel);
      if (aug == value) {
        std::snprintf(buf, sizeof buf, "%.2f", value);
      } else {
        std::snprintf(buf, sizeof buf, "%.2f (%.2f)", value, aug);
      }
      text = buf;
      break;
    }
    case MDI_PERCENTAGE: {
      const float aug = ApplyAugmentations(value, key, panel);
      if (aug == value) {
        std::snprintf(buf, sizeof buf, "%.0f%%", value * 100.0f);
      } else {
        std::snprintf(buf, sizeof buf, "%.0f%% (%.0f%%)", value * 100.0f, aug * 100.0f);
      }
      text = buf;
      break;
    }
    case MDI_DECIMAL_MULT: {
      // The catalogue keeps such stats in other units (reload time in milliseconds): the line
      // shows them scaled to the unit its label names, the augmented value beside as for DECIMAL.
      const float aug = ApplyAugmentations(value, key, panel);
      if (aug == value) {
        std::snprintf(buf, sizeof buf, "%.2f", value * item.multiplier);
      } else {
        std::snprintf(buf, sizeof buf, "%.2f (%.2f)", value * item.multiplier, aug * item.multiplier);
      }
      text = buf;
      break;
    }
    default:
      // BOOL lines carry no value: the label says it all.
      break;
  }
  if (IsDamageModifierKey(key)) {
    const float v = Number(type, key);
    const float aug = ApplyAugmentations(v, key, panel);
    if (v == 1.0f && aug == 1.0f) {
      if (listed) *listed = false;
      return std::string();
    }
    text.clear();
    if (v != 1.0f) {
      std::snprintf(buf, sizeof buf, v - 1.0f > 0.0f ? "+%.0f%%" : "%.0f%%", (v - 1.0f) * 100.0f);
      text = buf;
    }
    if (aug - 1.0f != v - 1.0f) {
      std::snprintf(buf, sizeof buf, aug - 1.0f > 0.0f ? " (+%.0f%%)" : " (%.0f%%)", (aug - 1.0f) * 100.0f);
      text += buf;
    }
  }
  return text;
}

// ---------------------------------------------------------------------------------------
// Details panel

GUI_UD_ModuleDetails::GUI_UD_ModuleDetails() {
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  backdrop.SetTextureByName("gui_square.dds");
  // The banded background of the stat lines: the used part of the picture, dimmed a little.
  stripBackground.SetTextureByName("module_details_strips.jpg");
  stripBackground.SetUV(0.0f, 0.0f, 0.66015625f, 0.69140625f);
  stripBackground.SetColour(0xFFC8C8C8u);
}

GUI_UD_ModuleDetails::~GUI_UD_ModuleDetails() {
  for (GUI_UD_ModuleDetailsStrip* line : lines) {
    RemoveChild(line);
    delete line;
  }
  lines.clear();
}

void GUI_UD_ModuleDetails::SetModule(const SIM_ModuleType* newType) {
  ZT_ASSERT(newType != nullptr);
  if (!newType) return;
  type = newType;
  icon.SetTextureByName(type->icon);
  BuildStatLines();
  LayoutStatLines();
}

void GUI_UD_ModuleDetails::BuildStatLines() {
  ComputeAugmentationFactors();
  for (GUI_UD_ModuleDetailsStrip* line : lines) {
    RemoveChild(line);
    delete line;
  }
  lines.clear();
  if (!type) return;
  for (const ModuleDataItem& item : type->dataItems) {
    if (!type->ModuleData().HasKey(item.key)) continue;
    bool listed = true;
    const std::string text = DetailsValueText(*type, item, this, &listed);
    if (!listed) continue;
    auto* line = new GUI_UD_ModuleDetailsStrip(type, item.key, item.type, item.multiplier);
    line->opensComparison = true;
    line->SetValue(text);
    lines.push_back(line);
  }
  if (scroll->Position() != 0) {
    scroll->SetPosition(0);
    scroll->changed = true;
  }
}

void GUI_UD_ModuleDetails::LayoutStatLines() {
  for (GUI_UD_ModuleDetailsStrip* line : lines) RemoveChild(line);
  const float iconBottom = top + 55.0f + 31.0f;
  float y = iconBottom + 14.0f;
  int placed = 0;
  const int first = scroll->Position();
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    if (i < first || y > bottom - 30.0f) continue;
    AddChild(lines[i]);
    lines[i]->SetRect(left + 5.0f, y, right - 35.0f, y + 18.0f);
    ++placed;
    y += 20.0f;
  }
  const int n = static_cast<int>(lines.size());
  scroll->SetRange(static_cast<float>(n), static_cast<float>(placed), std::max(n - placed, 0));
  scroll->SetRect(right - 30.0f, top + 20.0f, right - 10.0f, bottom - 20.0f);
}

void GUI_UD_ModuleDetails::Draw() {
  if (scroll->changed) {
    LayoutStatLines();
    scroll->changed = false;
  }
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  const float stripWidth = scroll->left - left - 18.0f;
  stripBackground.SetSize(stripWidth, 177.0f);
  stripBackground.SetPosition(left + 13.0f + stripWidth / 2.0f, top + 191.0f);
  if (!type) return;
  const float cx = left + 55.0f, cy = top + 55.0f;
  const float nl = cx + 43.0f + 5.0f, nt = cy - 43.0f, nr = scroll->left - 5.0f, nb = cy + 43.0f;
  DrawGUITexture(9, 32.0f, 1.0f, true, nl, nt, nr, nb);
  FlushAll();
  backdrop.SetSize(86.0f, 86.0f);
  backdrop.SetPosition(cx, cy);
  if (backdrop.texture) backdrop.DrawDirect();
  icon.SetSize(62.0f, 62.0f);
  icon.SetPosition(cx, cy);
  if (icon.texture) icon.DrawDirect();
  if (stripBackground.texture) stripBackground.DrawDirect();
  TextRenderer& text = GetTextRenderer();
  text.SetFont("18.dds", 16.0f);
  DrawChildren();
  text.PrintWrapped(type->guiName.c_str(), 0xFFE2B101u, nl + 10.0f, nt + 20.0f, nr - nl - 20.0f);
  FlushAll();
  UseFont();
}

void GUI_UD_ModuleDetails::OnWheelUp() {
  if (IsMouseOver()) scroll->ScrollBy(-1);
}
void GUI_UD_ModuleDetails::OnWheelDown() {
  if (IsMouseOver()) scroll->ScrollBy(1);
}

// ---------------------------------------------------------------------------------------
// Stat comparison

GUI_UD_ModuleStatComparison* GetUDStatComparison() { return g_comparison; }

void OpenModuleStatComparison(const SIM_ModuleType* type, const ModuleDataItem& item) {
  delete g_comparison;
  new GUI_UD_ModuleStatComparison(type, item);
}

GUI_UD_ModuleStatComparison::GUI_UD_ModuleStatComparison(const SIM_ModuleType* clickedType,
                                                         const ModuleDataItem& item)
    : GUI_Dialog(true), type(clickedType), key(item.key), kind(item.type), multiplier(item.multiplier) {
  g_comparison = this;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  for (const auto& t : SIM_ModuleTypeManager::Get().All()) {
    if (!t->ModuleData().HasKey(key)) continue;
    Entry e;
    e.name = t->guiName;
    e.value = Number(*t, key);
    e.locked = t->unlockable.IsLocked();
    e.type = t.get();
    largest = std::max(largest, e.value);
    entries.push_back(e);
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.value > b.value; });
  for (size_t i = 0; i < entries.size(); ++i) {
    // All values zero (or none positive): empty bars rather than a division by zero.
    entries[i].fraction = largest > 0.0f ? std::clamp(entries[i].value / largest, 0.0f, 1.0f) : 0.0f;
    if (entries[i].type == type) clicked = static_cast<int>(i);
  }
  const float f = kFrameSize + bottomBorder + topBorder + 4.0f;
  const int n = static_cast<int>(entries.size());
  const float h = std::min(f + (n + 1) * kRow, 700.0f);
  rows = static_cast<int>((h - f) / kRow);
  SetSize(600.0f, f + rows * kRow);
  CentreOnScreen();
  GetClientRect();
  scroll->SetRect(clientRect.right - 35.0f, clientRect.top + 10.0f, clientRect.right - 15.0f,
                  clientRect.bottom - 15.0f);
  maxFirst = std::max(n - rows, 0);
  scroll->SetRange(static_cast<float>(n), static_cast<float>(rows), maxFirst);
  if (maxFirst > 0 && clicked >= 0) {
    const int first = std::clamp(clicked - rows / 2, 0, maxFirst);
    if (first != scroll->Position()) {
      scroll->SetPosition(first);
      scroll->changed = true;
    }
  }
  std::string upper = key;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // The strings table holds the stat names under the key as the data writes it.
  SetTitle(HasTranslation("M_D_" + upper) ? GetTranslation("M_D_" + upper) : GetTranslation("M_D_" + key));
  LayoutStrips();
  scroll->changed = false;
  LoadTextureByName("locked_mission.dds", &lockTexture);
}

GUI_UD_ModuleStatComparison::~GUI_UD_ModuleStatComparison() {
  DeleteStrips();
  if (g_comparison == this) g_comparison = nullptr;
}

std::string GUI_UD_ModuleStatComparison::ValueText(const Entry& e) const {
  char buf[64] = "";
  if (kind == MDI_INTEGER || kind == MDI_BOOL) {
    std::snprintf(buf, sizeof buf, "%d", Truncate(e.value));
  } else if (kind == MDI_DECIMAL) {
    std::snprintf(buf, sizeof buf, "%.2f", e.value);
  }
  return buf;
}

void GUI_UD_ModuleStatComparison::DeleteStrips() {
  for (GUI_UD_ModuleStatStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
  lockBatch.clear();
}

void GUI_UD_ModuleStatComparison::LayoutStrips() {
  DeleteStrips();
  const GUI_Rect& c = clientRect;
  float y = c.top + 12.0f;
  const int first = scroll->Position();
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    if (i < first || !(y < c.bottom - kRow - 5.0f)) continue;
    const Entry& e = entries[static_cast<size_t>(i)];
    auto* strip = new GUI_UD_ModuleStatStrip(this, e.name, ValueText(e), e.fraction, e.locked);
    strip->SetRect(c.left + 12.0f, y, scroll->left - 5.0f, y + kRow);
    strip->highlight = i == clicked;
    AddChild(strip);
    strips.push_back(strip);
    y += kRow;
  }
}

void GUI_UD_ModuleStatComparison::Draw() {
  if (scroll->changed) {
    LayoutStrips();
    scroll->changed = false;
  }
  GUI_Dialog::Draw();
  const GUI_Rect& c = clientRect;
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushAll();
  DrawButtons();
  UseFont();
  DrawChildren();
  FlushAll();
  if (!lockBatch.empty()) {
    if (lockTexture) lockTexture->Bind();
    for (BaseSprite* sprite : lockBatch) sprite->DrawDirect();
    lockBatch.clear();
  }
}

void GUI_UD_ModuleStatComparison::OnWheelUp() { scroll->ScrollBy(-1); }
void GUI_UD_ModuleStatComparison::OnWheelDown() { scroll->ScrollBy(1); }

GUI_UD_ModuleStatStrip::GUI_UD_ModuleStatStrip(GUI_UD_ModuleStatComparison* o, const std::string& name,
                                               const std::string& value, float f, bool isLocked)
    : owner(o), nameText(name), valueText(value), fraction(f), locked(isLocked) {
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;
  if (locked) lock.SetSize(16.0f, 16.0f);
}

void GUI_UD_ModuleStatStrip::Draw() {
  D3DEngine& d3d = GetRenderDevice();
  const float l = left + 2.0f, t = top + 2.0f, r = right - 2.0f, b = bottom - 2.0f;
  d3d.DrawRect(l, t, r, b, 0x20FFFFFFu);
  const float w = (r - l) * fraction;
  if (w > 0.0f) d3d.DrawRect(l, t, l + w, b, highlight ? 0x80FF0000u : 0xFF404040u);
  TextRenderer& text = GetTextRenderer();
  const uint32_t colour = locked ? 0xFF787878u : 0xFFE2B101u;
  text.Print(0, nameText.c_str(), left + (locked ? 30.0f : 10.0f), static_cast<float>(top), colour);
  text.Print(1, valueText.c_str(), right - 300.0f, static_cast<float>(top), colour, 290.0f);
  if (locked && owner) {
    lock.SetPosition(left + 4.0f + 8.0f, (top + bottom) * 0.5f);
    owner->lockBatch.push_back(&lock);
  }
}

// ---------------------------------------------------------------------------------------
// Summary

namespace {
const char* const kSummaryKeys[GUI_UD_Summary::kItems] = {"DESIGN_COST",  "DESIGN_SPEED",  "DESIGN_HP",
                                                          "DESIGN_ARMOR", "DESIGN_SHIELD", "DESIGN_WEIGHT"};
}

GUI_UD_SummaryItem::GUI_UD_SummaryItem(const std::string& labelKey, const std::string& tooltipKey)
    : label(GetTranslation(labelKey)), tooltip(new GUI_Tooltip(GetTranslation(tooltipKey), 30)) {}

GUI_UD_SummaryItem::~GUI_UD_SummaryItem() { delete tooltip; }

void GUI_UD_SummaryItem::Process() {
  if (IsMouseOver()) {
    tooltip->UpdateFade();
  } else {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

void GUI_UD_SummaryItem::Draw() {
  UseFont();
  TextRenderer& text = GetTextRenderer();
  text.Print(2, label.c_str(), static_cast<float>(left), static_cast<float>(top), 0xFF787878u,
             static_cast<float>(width));
  text.Print(2, value.c_str(), static_cast<float>(left), top + 25.0f, 0xFFE2B101u, static_cast<float>(width));
  FlushAll();
  tooltip->Draw();
}

GUI_UD_Summary::GUI_UD_Summary() {
  static const char* const kTips[kItems] = {"DESIGN_COST_TT",  "DESIGN_SPEED_TT",  "DESIGN_HP_TT",
                                            "DESIGN_ARMOR_TT", "DESIGN_SHIELD_TT", "DESIGN_WEIGHT_TT"};
  for (int i = 0; i < kItems; ++i) {
    items[i] = new GUI_UD_SummaryItem(kSummaryKeys[i], kTips[i]);
    AddChild(items[i]);
  }
  for (CTexturedSprite& s : separators) s.SetTextureByName("ui_deployment_bg.dds");
}

GUI_UD_Summary::~GUI_UD_Summary() {
  for (GUI_UD_SummaryItem*& item : items) {
    RemoveChild(item);
    delete item;
    item = nullptr;
  }
}

void GUI_UD_Summary::Layout() {
  const int c = width / kItems;
  const float t = top + 20.0f;
  for (int i = 0; i < kItems; ++i)
    items[i]->SetRect(static_cast<float>(left + i * c), t, static_cast<float>(left + (i + 1) * c),
                      static_cast<float>(bottom));
  for (int i = 0; i < kItems - 1; ++i) {
    CTexturedSprite& s = separators[i];
    s.SetSize(3.0f, bottom - t - 1.0f);
    s.SetUV(0.28125f, 0.0f, 0.3125f, 0.25f);
    s.SetPosition(items[i]->right - 1.0f, (bottom + t) / 2.0f - 11.0f);
  }
}

void GUI_UD_Summary::Refresh() {
  const SIM_UnitDesign* constDesign = EditedDesign();
  // The designer opens empty when there are no designs: nothing to total.
  if (!constDesign) {
    for (GUI_UD_SummaryItem* item : items) item->value.clear();
    return;
  }
  SIM_UnitDesign* design = GetUDWindow()->design;
  ComputeAugmentationFactors();
  design->ComputeStats();
  const float totals[kItems] = {design->cost,   design->speed * 100.0f, design->hitPoints,
                                design->armour, design->shields,        design->weight};
  char buf[32];
  for (int i = 0; i < kItems; ++i) {
    std::snprintf(buf, sizeof buf, "%.2f", totals[i]);
    items[i]->value = buf;
  }
}

void GUI_UD_Summary::Draw() {
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushAll();
  DrawChildren();
  for (CTexturedSprite& s : separators) {
    if (s.texture) s.DrawDirect();
  }
  FlushAll();
}
