// The blueprint: one slot per hull slot in two columns, filled by dropping module icons.
#include <algorithm>
#include <cmath>

#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "unitdesign/UnitDesigner.h"

namespace {
GUI_UD_Blueprint* g_blueprint = nullptr;
std::vector<GUI_UD_UnitSlot*>& LiveSlots() {
  // Never destroyed: slots owned by process-wide screens leave it during exit.
  static auto* const slots = new std::vector<GUI_UD_UnitSlot*>();
  return *slots;
}

const char* CategoryIcon(const std::string& category) {
  static const struct {
    const char* category;
    const char* icon;
  } kIcons[] = {
      {"WEAPON", "modicon_ballistic1.dds"},  {"DEFENSE", "modicon_armor1.dds"},
      {"PROPULSION", "modicon_engine1.dds"}, {"TARGETING", "modicon_targeting1.dds"},
      {"LOADER", "modicon_ammo1.dds"},       {"HOSPITAL", "modicon_hospital.dds"},
      {"REPAIRYARD", "modicon_repair.dds"},  {"SUPPLIES", "modicon_supplies.dds"},
      {"COMMAND", "modicon_command.dds"},
  };
  for (const auto& entry : kIcons) {
    if (category == entry.category) return entry.icon;
  }
  return nullptr;
}

void DrawSpriteAt(CTexturedSprite& sprite, float cx, float cy, float w, float h) {
  if (!sprite.texture) return;
  sprite.SetSize(w, h);
  sprite.SetPosition(cx, cy);
  sprite.DrawDirect();
}

void ClickSound(const SIM_ModuleType* type) { PlayGuiSound(type && type->IsAugmentation() ? 8 : 9); }
}  // namespace

GUI_UD_Blueprint* GetUDBlueprint() { return g_blueprint; }

// ---------------------------------------------------------------------------------------
// Unit slots

GUI_UD_UnitSlot::GUI_UD_UnitSlot(const HullSlot* record, float x, float y, float s) : slot(record), size(s) {
  ZT_ASSERT(record != nullptr);
  const int side = static_cast<int>(s);
  SetRect(std::floor(x - side / 2.0f), std::floor(y - side / 2.0f), std::floor(x - side / 2.0f) + side,
          std::floor(y - side / 2.0f) + side);
  const std::string& category = Category();
  background.SetTextureByName(category == "AUGMENTATION" ? "gui_square_brown.dds" : "gui_square.dds");
  background.SetColour(0xFFFFFFFFu);
  moduleSprite.SetColour(0xE1FFFFFFu);
  if (const char* icon = CategoryIcon(category)) categoryIcon.SetTextureByName(icon);
  categoryIcon.SetColour(0x40FFFFFFu);
  LiveSlots().push_back(this);
  RefreshAllTooltips();
}

GUI_UD_UnitSlot::~GUI_UD_UnitSlot() {
  delete tooltip;
  auto& live = LiveSlots();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  // A carried icon must not point at a slot that is gone.
  for (GUI_WindowBase* w : GetGUICursor().ChildWindows()) {
    if (auto* icon = dynamic_cast<GUI_UD_ModuleIcon*>(w); icon && icon->sourceSlot == this)
      icon->sourceSlot = nullptr;
  }
}

const std::string& GUI_UD_UnitSlot::Category() const {
  static const std::string kNone;
  return slot ? slot->text : kNone;
}

void GUI_UD_UnitSlot::SetModule(SIM_ModuleType* type) {
  module = type;
  if (type) {
    moduleSprite.SetTextureByName(type->icon);
    moduleSprite.SetColour(0xFFFFFFFFu);
  }
  RefreshAllTooltips();
}

void GUI_UD_UnitSlot::RebuildTooltip() {
  delete tooltip;
  const std::string categoryText = GetTranslation("MODULECATEGORY_" + Category());
  if (module) {
    tooltip = new GUI_Tooltip(module->guiName, 30);
    tooltip->AddLine(categoryText);
  } else {
    tooltip = new GUI_Tooltip(categoryText, 30);
  }
}

void GUI_UD_UnitSlot::RefreshAllTooltips() {
  for (GUI_UD_UnitSlot* s : LiveSlots()) s->RebuildTooltip();
}

void GUI_UD_UnitSlot::UpdateHighlight() {
  GUI_UD_ModuleIcon* carried = CarriedModuleIcon();
  dimmed = carried && carried->type && carried->type->slotType != Category();
  const uint32_t colour = dimmed ? 0x40FFFFFFu : 0xFFFFFFFFu;
  background.SetColour(colour);
  if (module) moduleSprite.SetColour(colour);
}

void GUI_UD_UnitSlot::Draw() {
  const float cx = CentreX(), cy = CentreY();
  DrawSpriteAt(background, cx, cy, size * 1.5f, size * 1.5f);
  if (module) {
    DrawSpriteAt(moduleSprite, cx, cy, size - 2.0f, size - 2.0f);
  } else {
    DrawSpriteAt(categoryIcon, cx, cy, size - 2.0f, size - 2.0f);
  }
  if (tooltip) tooltip->Draw();
}

void GUI_UD_UnitSlot::Process() {
  GUI_InputManager& input = GetInputManager();
  if (!input.MouseClaimed && IsMouseOver()) {
    if (tooltip) tooltip->UpdateFade();
    if (module) GUI_Cursor::SetHandCursor();
  } else if (tooltip) {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

bool GUI_UD_UnitSlot::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  if (!module || GetGUICursor().IsCarrying()) return true;
  GUI_UD_Window* window = GetUDWindow();
  if (!window) return true;
  SIM_ModuleType* removed = module;
  ClickSound(removed);
  GUI_UD_ModulePicker* picker = window->GetComponentsPicker(removed);
  ZT_ASSERT(picker != nullptr);
  auto* icon = new GUI_UD_ModuleIcon(picker);
  icon->sourceSlot = this;
  icon->SetModuleType(removed);
  icon->SetRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                static_cast<float>(bottom));
  icon->StartCarry();
  window->unsaved = true;
  module = nullptr;
  RefreshAllTooltips();
  window->OnDesignChanged();
  window->RefreshStats();
  window->ShowModuleDetails(removed);
  return true;
}

bool GUI_UD_UnitSlot::RightClick(float, float) {
  if (!IsMouseOver()) return false;
  GUI_UD_Window* window = GetUDWindow();
  if (module && window) window->unsaved = true;
  module = nullptr;
  RefreshAllTooltips();
  if (window) {
    window->OnDesignChanged();
    window->RefreshStats();
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// The blueprint

GUI_UD_Blueprint::GUI_UD_Blueprint() {
  g_blueprint = this;
  claimsMouse = false;
  blocksClicks = false;
}

GUI_UD_Blueprint::~GUI_UD_Blueprint() {
  slots.clear();
  ClearChildren();
  if (g_blueprint == this) g_blueprint = nullptr;
}

void GUI_UD_Blueprint::Draw() { DrawChildren(); }

void GUI_UD_Blueprint::Refresh(bool full) {
  GUI_UD_Window* window = GetUDWindow();
  ZT_ASSERT(window != nullptr);
  if (!window) return;
  if (window->design != design || full) {
    design = window->design;
    BuildSlots();
  }
}

void GUI_UD_Blueprint::BuildSlots() {
  GUI_UD_Window* window = GetUDWindow();
  const float S = (window && window->smallScreen) ? 45.0f : 54.0f;
  for (GUI_UD_UnitSlot* s : slots) {
    RemoveChild(s);
    delete s;
  }
  slots.clear();
  if (!design || !design->hull) return;
  const std::vector<HullSlot>& hullSlots = design->hull->slots;
  const int n = static_cast<int>(hullSlots.size());
  const int c1 = std::min(n, 5);
  const int c2 = std::max(n - 5, 0);
  const float D = 1.5f * S;
  const float cy = (top + bottom) * 0.5f;
  float x = left + D / 2.0f + 10.0f;
  float y = cy - D * c1 / 2.0f + D / 2.0f;
  for (int i = 0; i < n; ++i) {
    auto* s = new GUI_UD_UnitSlot(&hullSlots[i], x, y, S);
    slots.push_back(s);
    AddChild(s);
    y += D;
    if (static_cast<int>(slots.size()) == c1) {
      x = right - D / 2.0f - 10.0f;
      y = cy - D * c2 / 2.0f + D / 2.0f;
    }
  }
  for (const DesignModule& entry : design->modules) {
    GUI_UD_UnitSlot* target = nullptr;
    for (GUI_UD_UnitSlot* s : slots) {
      if (s->slot && s->slot->index == entry.slot) {
        target = s;
        break;
      }
    }
    if (!target) {
      LogErrorF("Unit designer: design [%s] fits a module to slot %d, which its hull lacks",
                design->name.c_str(), entry.slot);
      continue;
    }
    target->SetModule(entry.type);
  }
  for (GUI_UD_UnitSlot* s : slots) s->UpdateHighlight();
}

void GUI_UD_Blueprint::WriteSlotsToDesign() {
  if (!design) return;
  design->modules.clear();
  for (GUI_UD_UnitSlot* s : slots) {
    if (!s->module || !s->slot) continue;
    DesignModule entry;
    entry.type = s->module;
    entry.slot = s->slot->index;
    entry.x = s->slot->x;
    entry.y = s->slot->y;
    design->modules.push_back(entry);
  }
}

void GUI_UD_Blueprint::RebuildSlots() {
  if (!design) return;
  const bool splash = design->HasSplashDamage();
  std::vector<DesignModule> kept;
  for (GUI_UD_UnitSlot* s : slots) {
    if (!s->module || !s->slot) continue;
    if (!splash && s->module->ModuleData().GetString("variable_name") == "UVT_AOA_RADIUS") continue;
    DesignModule entry;
    entry.type = s->module;
    entry.slot = s->slot->index;
    entry.x = s->slot->x;
    entry.y = s->slot->y;
    kept.push_back(entry);
  }
  design->modules = kept;
  if (GUI_UD_Window* window = GetUDWindow(); window && window->summary) window->summary->Refresh();
  BuildSlots();
}

void GUI_UD_Blueprint::DropModule(GUI_UD_ModuleIcon* icon) {
  if (!icon || !icon->type) return;
  const std::string& category = icon->type->slotType;
  const float ix = (icon->left + icon->right) * 0.5f;
  const float iy = (icon->top + icon->bottom) * 0.5f;
  GUI_UD_UnitSlot* under = nullptr;
  GUI_UD_UnitSlot* nearest = nullptr;
  float best = 9999.0f;
  for (GUI_UD_UnitSlot* s : slots) {
    if (s->IsMouseOver()) {
      under = s;
      break;
    }
    if (s->Category() != category) continue;
    const float d = std::hypot(s->CentreX() - ix, s->CentreY() - iy);
    if (d < best) {
      best = d;
      nearest = s;
    }
  }
  GUI_UD_Window* window = GetUDWindow();
  if (!under) {
    if (nearest && !nearest->module && best < 50.0f) FitModule(icon, nearest);
  } else if (under->Category() != category) {
    if (icon->sourceSlot) {
      icon->sourceSlot->SetModule(icon->type);
      if (window) {
        window->OnDesignChanged();
        window->RefreshStats();
      }
    }
  } else {
    FitModule(icon, under);
  }
  AfterDrop();
}

void GUI_UD_Blueprint::FitModule(GUI_UD_ModuleIcon* icon, GUI_UD_UnitSlot* target) {
  GUI_UD_Window* window = GetUDWindow();
  GUI_UD_UnitSlot* source = icon->sourceSlot;
  if (source && target->module && target->module->slotType == source->Category()) {
    source->SetModule(target->module);
    if (window) {
      window->OnDesignChanged();
      window->RefreshStats();
    }
  }
  target->SetModule(icon->type);
  if (window) {
    window->OnDesignChanged();
    window->RefreshStats();
  }
  WriteSlotsToDesign();
  if (window) {
    window->RefreshStats();
    window->unsaved = true;
  }
}

void GUI_UD_Blueprint::AfterDrop() {
  GUI_UD_Window* window = GetUDWindow();
  if (window && window->augmentationsPicker) window->augmentationsPicker->UpdateAvailability();
  if (window && window->design && window->blueprint) window->blueprint->RebuildSlots();
  for (GUI_UD_UnitSlot* s : LiveSlots()) s->UpdateHighlight();
}

bool GUI_UD_Blueprint::HasEmptyComponentSlot() const {
  for (const GUI_UD_UnitSlot* s : slots) {
    if (!s->module && s->Category() != "AUGMENTATION") return true;
  }
  return false;
}

bool GUI_UD_Blueprint::HasEmptySlot() const {
  for (const GUI_UD_UnitSlot* s : slots) {
    if (!s->module) return true;
  }
  return false;
}
