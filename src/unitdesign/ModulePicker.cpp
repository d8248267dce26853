// The module pickers: a scrolling grid of module icons that fit the hull, and the icons
// themselves, which the player drags onto the blueprint.
#include <algorithm>

#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "unitdesign/UnitDesigner.h"

namespace {
GUI_UD_ModuleIcon* g_carried = nullptr;

std::string VariableName(const SIM_ModuleType* type) {
  return type ? type->ModuleData().GetString("variable_name") : std::string();
}

void Place(CTexturedSprite& sprite, float cx, float cy, float w, float h) {
  sprite.SetSize(w, h);
  sprite.SetPosition(cx, cy);
}
}  // namespace

GUI_UD_ModuleIcon*& CarriedModuleIcon() { return g_carried; }

// ---------------------------------------------------------------------------------------
// Icons

GUI_UD_ModuleIcon::GUI_UD_ModuleIcon(GUI_UD_ModulePicker* ownerPicker) : owner(ownerPicker) {}

GUI_UD_ModuleIcon::~GUI_UD_ModuleIcon() {
  delete tooltip;
  if (owner && GUI_WindowBase::IsAlive(owner) && owner->selected == this) owner->selected = nullptr;
  if (g_carried == this) g_carried = nullptr;
}

void GUI_UD_ModuleIcon::SetModuleType(SIM_ModuleType* newType) {
  ZT_ASSERT(newType != nullptr);
  if (!newType) return;
  type = newType;
  moduleSprite.SetTextureByName(type->icon);
  locked = type->unlockable.IsLocked();
  delete tooltip;
  if (locked) {
    tooltip = new GUI_Tooltip(GetTranslation("LOCKED_MODULE_TOOLTIP"), 3);
    lock.SetTextureByName("locked_mission.dds");
    lock.SetColour(0xFFFFFFFFu);
  } else {
    tooltip = new GUI_Tooltip(type->guiName, 3);
  }
  if (type->IsAugmentation()) {
    background.SetTextureByName("gui_square_brown.dds");
    if (!locked) tooltip->AddLine(GetTranslation(VariableName(type)));
  } else {
    background.SetTextureByName("gui_square.dds");
  }
  highlight.SetTextureByName("gui_square_highlight.dds");
  tooltip->AddLine(GetTranslation("MODULECATEGORY_" + type->slotType));
  UpdateAvailability();
}

void GUI_UD_ModuleIcon::UpdateAvailability() {
  GUI_UD_Window* window = GetUDWindow();
  if (window && window->design && type) {
    available = true;
    const SIM_UnitDesign* design = window->design;
    if (type->IsAugmentation() && design->HasAugmentationLike(type)) available = false;
    if (VariableName(type) == "UVT_AOA_RADIUS" && !design->HasSplashDamage()) available = false;
  }
  const bool grey = locked || !available;
  moduleSprite.SetColour(grey ? 0x40FFFFFFu : 0xFFFFFFFFu);
  background.SetColour(grey ? 0x20FFFFFFu : 0xFFFFFFFFu);
}

void GUI_UD_ModuleIcon::StartCarry() {
  GUI_Cursor& cursor = GetGUICursor();
  dragOffsetX = gui_draw::MouseX() - left;
  dragOffsetY = gui_draw::MouseY() - top;
  draggable = true;
  dragging_ = true;
  cursor.AddChild(this);
}

void GUI_UD_ModuleIcon::Draw() {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  Place(background, cx, cy, w + 10.0f, h + 10.0f);
  Place(moduleSprite, cx, cy, w - 12.0f, h - 12.0f);
  Place(lock, right - 18.0f, bottom - 20.0f, 24.0f, 24.0f);
  if (ParentWindow() == &GetGUICursor() || !owner) {
    // Follows the mouse while carried.
    const float l = gui_draw::MouseX() - dragOffsetX, t = gui_draw::MouseY() - dragOffsetY;
    if (gui_draw::LeftHeld()) MoveTo(l, t);
    if (background.texture) background.DrawDirect();
    if (moduleSprite.texture) moduleSprite.DrawDirect();
  } else {
    if (background.texture) AddSpriteToList(owner->backgrounds, &background);
    if (moduleSprite.texture) AddSpriteToList(owner->moduleSprites, &moduleSprite);
    if (locked && lock.texture) AddSpriteToList(owner->lockSprites, &lock);
  }
  if (tooltip) tooltip->Draw();
}

void GUI_UD_ModuleIcon::Process() {
  if (!GetInputManager().MouseClaimed && IsMouseOver()) {
    if (available && !locked) GUI_Cursor::SetHandCursor();
    if (tooltip) tooltip->UpdateFade();
  } else if (tooltip) {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

bool GUI_UD_ModuleIcon::LeftClick(float, float) {
  if (locked || !available || !IsMouseOver()) return false;
  PlayGuiSound(type && type->IsAugmentation() ? 8 : 9);
  if (!GetGUICursor().IsCarrying()) {
    auto* carried = new GUI_UD_ModuleIcon(owner);
    carried->SetModuleType(type);
    carried->SetRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                     static_cast<float>(bottom));
    carried->StartCarry();
    g_carried = carried;
    if (GUI_UD_Blueprint* blueprint = GetUDBlueprint()) blueprint->AfterDrop();
  }
  if (GUI_UD_Window* window = GetUDWindow()) window->SelectModuleIcon(this);
  return true;
}

void GUI_UD_ModuleIcon::OnDrop() {
  g_carried = nullptr;
  GUI_UD_Window* window = GetUDWindow();
  if (window && window->blueprint) window->blueprint->DropModule(this);
  GetWindowOrder().DeleteLater(this);
}

// ---------------------------------------------------------------------------------------
// Pickers

GUI_UD_ModulePicker::GUI_UD_ModulePicker(int mode, bool smallScreen) : categoryMode(mode) {
  rows = smallScreen ? 6 : 5;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
}

GUI_UD_ModulePicker::~GUI_UD_ModulePicker() {
  DeleteIcons();
  candidates.clear();
  backgrounds.clear();
  second.clear();
  moduleSprites.clear();
  lockSprites.clear();
}

void GUI_UD_ModulePicker::Rebuild() {
  GUI_UD_Window* window = GetUDWindow();
  ZT_ASSERT(window != nullptr);
  candidates.clear();
  if (!window || !window->design || !window->design->hull) {
    DeleteIcons();
    return;
  }
  const std::string& moduleSize = window->design->hull->moduleSize;
  for (const auto& type : SIM_ModuleTypeManager::Get().All()) {
    if ((categoryMode == 1) == type->IsAugmentation()) continue;
    if (type->FitsModuleSize(moduleSize)) candidates.push_back(type.get());
  }
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const SIM_ModuleType* a, const SIM_ModuleType* b) { return a->uiSortPos < b->uiSortPos; });
  if (scroll && scroll->Position() != 0) {
    scroll->SetPosition(0);
    scroll->changed = true;
  }
  Layout();
}

void GUI_UD_ModulePicker::DeleteIcons() {
  for (GUI_UD_ModuleIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
  selected = nullptr;
}

void GUI_UD_ModulePicker::Layout() {
  DeleteIcons();
  const int n = static_cast<int>(candidates.size());
  const int first = (scroll ? scroll->Position() : 0) * columns;
  const int g = (width - 42) / columns;
  const int x0 = left + (width - 12 - columns * g) / 2;
  int x = x0, y = top + 11;
  for (int i = first; i < n && i < first + rows * columns; ++i) {
    auto* icon = new GUI_UD_ModuleIcon(this);
    icon->SetModuleType(candidates[i]);
    icons.push_back(icon);
    AddChild(icon);
    icon->SetRect(static_cast<float>(x + 4), static_cast<float>(y + 4), static_cast<float>(x + g - 4),
                  static_cast<float>(y + g - 4));
    x += g;
    if ((i - first + 1) % columns == 0) {
      x = x0;
      y += g;
    }
  }
  UpdateAvailability();
  if (scroll) {
    const int total = (n + columns - 1) / columns;
    scroll->SetRange(static_cast<float>(total), static_cast<float>(rows), std::max(total - rows, 0));
  }
}

void GUI_UD_ModulePicker::UpdateAvailability() {
  for (GUI_UD_ModuleIcon* icon : icons) icon->UpdateAvailability();
}

void GUI_UD_ModulePicker::Draw() {
  if (scroll && scroll->changed) {
    Layout();
    scroll->changed = false;
  }
  if (scroll) scroll->SetRect(right - 30.0f, top + 20.0f, right - 10.0f, bottom - 20.0f);
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  DrawChildren();
  DrawSpriteList(backgrounds, true);
  DrawSpriteList(second, true);
  DrawSpriteList(moduleSprites, true);
  DrawSpriteList(lockSprites, true);
  if (selected) {
    const float cx = (selected->left + selected->right) * 0.5f,
                cy = (selected->top + selected->bottom) * 0.5f;
    selected->highlight.SetSize(selected->width + 10.0f, selected->height + 10.0f);
    selected->highlight.SetPosition(cx, cy);
    if (selected->highlight.texture) selected->highlight.DrawDirect();
  }
}

void GUI_UD_ModulePicker::OnWheelUp() {
  if (IsMouseOver() && scroll) scroll->ScrollBy(-1);
}

void GUI_UD_ModulePicker::OnWheelDown() {
  if (IsMouseOver() && scroll) scroll->ScrollBy(1);
}
