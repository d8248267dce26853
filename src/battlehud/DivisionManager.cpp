#include "battlehud/DivisionManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battlehud/BattleHud.h"
#include "battlescreen/DesignSprite.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/DropDownList.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/Divisions.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {

GUI_BS_DivisionManager* g_manager = nullptr;
GUI_BS_NewDivision* g_newDivision = nullptr;
GUI_BS_DivisionIcon* g_dragged = nullptr;

void RegisterReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_newDivision;
                              g_newDivision = nullptr;
                              delete g_manager;
                              g_manager = nullptr;
                              g_dragged = nullptr;
                            }),
                            true);
  (void)registered;
}

void FillBlack(const GUI_Rect& r) {
  gui_draw::QueueQuad(FindOrLoadTexture("deployment_square_fill.dds"), static_cast<float>(r.left),
                      static_cast<float>(r.top), static_cast<float>(r.right), static_cast<float>(r.bottom),
                      0.45f, 0.45f, 0.55f, 0.55f, 0xFF000000u);
}

GUI_Rect MakeRect(float l, float t, float r, float b) {
  GUI_Rect out;
  out.left = static_cast<int>(l);
  out.top = static_cast<int>(t);
  out.right = static_cast<int>(r);
  out.bottom = static_cast<int>(b);
  return out;
}

bool Inside(const GUI_BaseElement* e, float x, float y) {
  return e && x >= static_cast<float>(e->left) && x < static_cast<float>(e->right) &&
         y >= static_cast<float>(e->top) && y < static_cast<float>(e->bottom);
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

void BuildTooltip(GUI_Tooltip& tip, const SIM_UnitDesign& design) {
  if (!design.description.empty()) tip.AddLine(design.description);
  float cost = std::trunc(design.cost);
  if (design.GetSizeType() == 0) cost *= 25.0f;  // an infantry design is a squad of 25
  const float vp = design.hull ? std::trunc(design.hull->victoryPoints) : 0.0f;
  char line[32];
  std::snprintf(line, sizeof line, "(%s: %s %s)(%s : %s)", GetTranslation("DEPLOYMENT_ICON_COST").c_str(),
                FormatThousands(static_cast<int>(cost)).c_str(),
                GetTranslation("DEPLOYMENT_ICON_SUPPLIES").c_str(),
                GetTranslation("DEPLOYMENT_ICON_VP").c_str(), FormatThousands(static_cast<int>(vp)).c_str());
  tip.AddLine(line);
  for (const DesignModule& m : design.modules) {
    if (!m.type) continue;
    char module[256];
    std::snprintf(module, sizeof module, "*%s", m.type->GetGuiName().c_str());
    tip.AddLine(module);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Icons

GUI_BS_DivisionIcon::GUI_BS_DivisionIcon(SIM_UnitDesign* d, int o) : design(d), origin(o) {
  if (!design) return;
  tooltip = new GUI_Tooltip(design->guiName, 20);
  BuildTooltip(*tooltip, *design);
  picture = GUI_BS_DesignSprite::Instance().GetTexture(design->name, false);
}

GUI_BS_DivisionIcon::~GUI_BS_DivisionIcon() {
  if (g_dragged == this) g_dragged = nullptr;
  delete tooltip;
}

bool GUI_BS_DivisionIcon::IsCarried() const { return ParentWindow() == &GetGUICursor(); }

GUI_BS_DivisionIcon* GUI_BS_DivisionIcon::StartDragCopy() {
  GUI_Cursor& cursor = GetGUICursor();
  if (cursor.IsCarrying()) return nullptr;
  auto* copy = new GUI_BS_DivisionIcon(design, origin);
  copy->SetRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                static_cast<float>(bottom));
  copy->dragOffsetX = gui_draw::MouseX() - static_cast<float>(left);
  copy->dragOffsetY = gui_draw::MouseY() - static_cast<float>(top);
  copy->dragging_ = true;
  cursor.AddChild(copy);
  g_dragged = copy;
  return copy;
}

bool GUI_BS_DivisionIcon::LeftClick(float, float) {
  if (!enabled || IsCarried() || !IsMouseOver()) return false;
  GUI_BS_DivisionManager* manager = GetOpenDivisionManager();
  if (GetInputManager().doubleClick) {
    if (manager) {
      // A copy taken up by the first press of the double click goes without a drop.
      if (g_dragged) {
        GUI_BS_DivisionIcon* copy = g_dragged;
        g_dragged = nullptr;
        GetGUICursor().Release(copy);
        GetWindowOrder().DeleteLater(copy);
      }
      if (origin == kFromAll)
        manager->AddDesign(design);
      else
        manager->RemoveDesign(design);
    }
    return true;
  }
  StartDragCopy();
  return true;
}

void GUI_BS_DivisionIcon::OnDrop() {
  if (g_dragged == this) g_dragged = nullptr;
  if (GUI_BS_DivisionManager* manager = GetOpenDivisionManager())
    manager->Drop(this, gui_draw::MouseX(), gui_draw::MouseY());
  GetWindowOrder().DeleteLater(this);
}

void GUI_BS_DivisionIcon::Process() {
  if (enabled && !IsCarried() && IsMouseOver()) {
    GUI_Cursor::SetHandCursor();
    if (tooltip) tooltip->UpdateFade();
  } else if (tooltip) {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

void GUI_BS_DivisionIcon::Draw() {
  if (!visible) return;
  if (IsCarried() && gui_draw::LeftHeld())
    MoveTo(gui_draw::MouseX() - dragOffsetX, gui_draw::MouseY() - dragOffsetY);
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  gui_draw::QueueQuad(FindOrLoadTexture("gui_square.dds"), l, t, r, b, 0, 0, 1, 1, tint);
  if (!picture.empty()) {
    const float side = std::min(r - l, b - t) - 12.0f;
    gui_draw::QueueCentred(FindOrLoadTexture(picture), (l + r) * 0.5f, (t + b) * 0.5f, side, side, 0, 0, 1, 1,
                           tint);
  }
  if (IsCarried()) gui_draw::FlushAll();
  if (tooltip && tooltip->alpha > 0.0f) tooltip->Draw();
}

// ---------------------------------------------------------------------------------------
// Pickers

GUI_BS_DivisionsPicker::GUI_BS_DivisionsPicker() {
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
}

GUI_BS_DivisionsPicker::~GUI_BS_DivisionsPicker() { DeleteIcons(); }

void GUI_BS_DivisionsPicker::DeleteIcons() {
  for (GUI_BS_DivisionIcon* icon : icons) delete icon;  // each leaves the child list
  icons.clear();
}

void GUI_BS_DivisionsPicker::Show(SIM_Division* shown) {
  division = shown;
  scroll->SetPosition(0);
  Rebuild();
}

void GUI_BS_DivisionsPicker::Rebuild() {
  DeleteIcons();
  if (division) {
    SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
    for (const std::string& name : division->designs)
      if (SIM_UnitDesign* d = designs.FindDesign(name))
        icons.push_back(new GUI_BS_DivisionIcon(d, iconOrigin));
  }
  Layout();
}

int GUI_BS_DivisionsPicker::Columns() const { return std::max(1, width / kCellMin); }
int GUI_BS_DivisionsPicker::CellSize() const { return std::max(1, (width - 40) / Columns()); }

void GUI_BS_DivisionsPicker::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  scroll->SetRect(r - 27.0f, t + 15.0f, r - 12.0f, b - 15.0f);
  Layout();
}

void GUI_BS_DivisionsPicker::Layout() {
  for (GUI_BS_DivisionIcon* icon : icons) RemoveChild(icon);
  const int columns = Columns();
  const int cell = CellSize();
  const int count = static_cast<int>(icons.size());
  const int rows = (count + columns - 1) / columns;
  // Only whole rows are shown: the last one ends above the clipping edge.
  const int clipBottom = bottom - 13;
  int page = 0;
  while (top + 10 + (page + 1) * cell <= clipBottom) ++page;
  scroll->SetRange(static_cast<float>(rows), static_cast<float>(page), std::max(0, rows - page));
  const int first = columns * scroll->Position();
  for (int i = first; i < count; ++i) {
    const int row = (i - first) / columns, column = (i - first) % columns;
    const int y = top + 10 + row * cell;
    if (y + cell > clipBottom) break;
    const int x = left + 10 + column * cell;
    icons[i]->SetRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + cell),
                      static_cast<float>(y + cell));
    AddChild(icons[i]);
  }
  scroll->changed = false;
}

void GUI_BS_DivisionsPicker::OnWheelUp() {
  if (scroll->ScrollBy(-1)) Layout();
}
void GUI_BS_DivisionsPicker::OnWheelDown() {
  if (scroll->ScrollBy(1)) Layout();
}

void GUI_BS_DivisionsPicker::Draw() {
  if (!visible) return;
  if (scroll->changed) Layout();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  gui_draw::UseFont();
  DrawChildren();
}

// ---------------------------------------------------------------------------------------
// The name of a new division

GUI_BS_NewDivision::GUI_BS_NewDivision() : GUI_Dialog(true) {
  RegisterReset();
  if (g_newDivision && g_newDivision != this) {
    GUI_BS_NewDivision* old = g_newDivision;
    g_newDivision = nullptr;
    delete old;
  }
  g_newDivision = this;
  topBorder += 25.0f;
  SetSize(400.0f, 66.0f + 25.0f);
  CentreOnScreen();
  SetTranslatedTitle("DIVISION_NEW_TITLE");
  LayoutTitleBar();
  SetModal(true);
  const GUI_Rect c = GetClientRect();
  edit = new GUI_TextEditWindow("", kMaxNameLength);
  AddChild(edit);
  edit->SetRect(static_cast<float>(c.left), static_cast<float>(c.top), static_cast<float>(c.right),
                static_cast<float>(c.bottom) - 32.0f);
  edit->SetFocus();
  const float cx = (c.left + c.right) / 2.0f;
  okButton = new GUI_ButtonText(&GUI_BS_NewDivision::OnOK, "DIVISION_OK", 0);
  okButton->SetRect(cx - 100.0f, static_cast<float>(c.bottom) - 30.0f, cx + 100.0f,
                    static_cast<float>(c.bottom) - 10.0f);
  AddButton(okButton);
}

GUI_BS_NewDivision::~GUI_BS_NewDivision() {
  if (g_newDivision == this) g_newDivision = nullptr;
  if (edit) edit->KillFocus();
}

void GUI_BS_NewDivision::Draw() {
  if (!visible) return;
  GUI_Dialog::Draw();
  gui_draw::UseFont();
  DrawChildren();
  gui_draw::FlushAll();
}

bool GUI_BS_NewDivision::Confirm() {
  const std::string name = Trimmed(edit ? edit->GetText() : std::string());
  if (!name.empty()) {
    GUI_BS_DivisionManager* manager = GetOpenDivisionManager();
    // A refused name ("All", one already taken, one the file cannot keep) leaves the
    // dialog open for another try.
    if (!manager || !manager->AddNamedDivision(name)) return false;
  }
  GetWindowOrder().DeleteLater(this);
  if (g_newDivision == this) g_newDivision = nullptr;
  return true;
}

int GUI_BS_NewDivision::OnOK(int) {
  if (g_newDivision) g_newDivision->Confirm();
  return 0;
}

// ---------------------------------------------------------------------------------------
// The manager

GUI_BS_DivisionManager::GUI_BS_DivisionManager() : GUI_Dialog(true) {
  RegisterReset();
  if (g_manager && g_manager != this) {
    GUI_BS_DivisionManager* old = g_manager;
    g_manager = nullptr;
    delete old;
  }
  g_manager = this;
  if (BattleExists() && !GetBattle().paused) {
    GetBattle().SetPaused(true);
    pausedBattle = true;
  }
  SetSize(static_cast<float>(std::max(900, gui_draw::ScreenWidth() - 300)),
          static_cast<float>(std::max(500, gui_draw::ScreenHeight() - 300)));
  CentreOnScreen();
  SetTranslatedTitle("DIVISIONMANAGER_TITLE");
  LayoutTitleBar();
  allLabel = GetTranslation("DIVISION_ALLUNITS");

  divisionPicker = new GUI_BS_Division();
  AddChild(divisionPicker);
  allPicker = new GUI_BS_DivisionsPicker();
  AddChild(allPicker);
  dropDown = new GUI_DropDownList();
  AddChild(dropDown);
  dropDown->changeCallback = &GUI_BS_DivisionManager::OnSelect;
  addButton = new GUI_ButtonText(&GUI_BS_DivisionManager::OnAdd, "DIVISION_ADD", 0);
  AddButton(addButton);
  deleteButton = new GUI_ButtonText(&GUI_BS_DivisionManager::OnDelete, "DIVISION_DELETE", 0);
  AddButton(deleteButton);
  Layout();

  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  SIM_Division* all = divisions.FindDivision(SIM_DivisionManager::kAllName);
  ZT_ASSERT(all != nullptr);
  current = divisions.Selected();
  if (!current) current = all;
  divisionPicker->Show(current);
  FillDropDown();
  UpdateDeleteButton();
  allPicker->Show(all);
  MarkAllDesigns();
  GetTutorial().Trigger("DIVISIONS1");
}

GUI_BS_DivisionManager::~GUI_BS_DivisionManager() {
  if (g_manager == this) g_manager = nullptr;
  delete g_newDivision;
  if (g_dragged) {
    // A copy still on the cursor goes with the dialog: its drop has nowhere to land.
    GUI_BS_DivisionIcon* copy = g_dragged;
    g_dragged = nullptr;
    GetGUICursor().Release(copy);
    delete copy;
  }
  if (pausedBattle && BattleExists()) GetBattle().SetPaused(false);
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  if (current && std::any_of(divisions.Divisions().begin(), divisions.Divisions().end(),
                             [this](const auto& d) { return d.get() == current; })) {
    divisions.Select(current);
    divisions.Save();
    if (GUI_BS_Deployment* deployment = GetOpenDeploymentWindow()) deployment->Refresh();
  }
}

void GUI_BS_DivisionManager::Layout() {
  const GUI_Rect c = GetClientRect();
  const float l = std::max(350.0f, 0.35f * static_cast<float>(width));
  divisionPicker->SetRect(static_cast<float>(c.left), c.top + 80.0f, c.left + l,
                          static_cast<float>(c.bottom));
  allPicker->SetRect(static_cast<float>(divisionPicker->right), c.top + 30.0f, static_cast<float>(c.right),
                     static_cast<float>(c.bottom));
  dropDown->SetRect(c.left + 10.0f, c.top + 10.0f, c.left + l - 10.0f, c.top + 30.0f);
  const float dropCentre = (dropDown->left + dropDown->right) / 2.0f;
  const float row = static_cast<float>(dropDown->bottom) + 5.0f;
  addButton->SetRect(c.left + 10.0f, row, dropCentre, row + 20.0f);
  deleteButton->SetRect(dropCentre, row, static_cast<float>(dropDown->right), row + 20.0f);
  nameRect = MakeRect(c.left + 10.0f, row + 25.0f, static_cast<float>(dropDown->right), row + 45.0f);
  allRect = MakeRect(static_cast<float>(allPicker->left), allPicker->top - 25.0f,
                     static_cast<float>(allPicker->right), allPicker->top - 5.0f);
}

void GUI_BS_DivisionManager::Draw() {
  if (!visible) return;
  GUI_Dialog::Draw();
  gui_draw::UseFont();
  DrawChildren();
  FillBlack(nameRect);
  FillBlack(allRect);
  TextRenderer& tr = GetTextRenderer();
  if (current)
    tr.Print(2, current->name.c_str(), static_cast<float>(nameRect.left), nameRect.top + 1.0f,
             gui_draw::TextColour(), static_cast<float>(nameRect.Width()));
  tr.Print(2, allLabel.c_str(), static_cast<float>(allRect.left), allRect.top + 1.0f, gui_draw::TextColour(),
           static_cast<float>(allRect.Width()));
  gui_draw::FlushAll();
}

void GUI_BS_DivisionManager::FillDropDown() {
  dropDown->ClearEntries();
  for (const auto& d : SIM_DivisionManager::Instance().Divisions()) dropDown->AddEntry(d->name);
  if (current) dropDown->SetSelectedText(current->name);
}

void GUI_BS_DivisionManager::UpdateDeleteButton() {
  deleteButton->enabled = current && current->name != SIM_DivisionManager::kAllName;
}

void GUI_BS_DivisionManager::MarkAllDesigns() {
  for (GUI_BS_DivisionIcon* icon : allPicker->icons) {
    const bool held = current && icon->design && current->ContainsDesign(icon->design->name);
    icon->enabled = !held;
    icon->tint = held ? 0x20FFFFFFu : 0xFFFFFFFFu;
  }
}

void GUI_BS_DivisionManager::SelectByName(const std::string& name) {
  SIM_Division* found = SIM_DivisionManager::Instance().FindDivision(name);
  if (!found) return;
  current = found;
  divisionPicker->Show(current);
  UpdateDeleteButton();
  MarkAllDesigns();
  PlayGuiSound(0);
}

bool GUI_BS_DivisionManager::AddNamedDivision(const std::string& name) {
  SIM_Division* added = SIM_DivisionManager::Instance().AddDivision(name);
  if (!added) return false;
  dropDown->AddEntry(added->name);
  current = added;
  dropDown->SetSelectedText(current->name);
  divisionPicker->Show(current);
  UpdateDeleteButton();
  MarkAllDesigns();
  return true;
}

void GUI_BS_DivisionManager::DeleteCurrent() {
  if (!current || current->name == SIM_DivisionManager::kAllName) return;
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  divisions.RemoveDivision(current->name);
  current = divisions.Selected();
  if (!current) current = divisions.FindDivision(SIM_DivisionManager::kAllName);
  FillDropDown();
  divisionPicker->Show(current);
  UpdateDeleteButton();
  MarkAllDesigns();
}

bool GUI_BS_DivisionManager::AddDesign(const SIM_UnitDesign* design) {
  if (!current || !design || current->name == SIM_DivisionManager::kAllName) return false;
  if (!current->AddDesign(design->name)) return false;
  SIM_DivisionManager::Instance().Save();
  divisionPicker->Rebuild();
  MarkAllDesigns();
  return true;
}

bool GUI_BS_DivisionManager::RemoveDesign(const SIM_UnitDesign* design) {
  if (!current || !design || current->name == SIM_DivisionManager::kAllName) return false;
  if (!current->ContainsDesign(design->name)) return false;
  current->RemoveDesign(design->name);
  SIM_DivisionManager::Instance().Save();
  divisionPicker->Rebuild();
  MarkAllDesigns();
  return true;
}

void GUI_BS_DivisionManager::Drop(const GUI_BS_DivisionIcon* copy, float x, float y) {
  if (!copy) return;
  const bool overDivision = Inside(divisionPicker, x, y);
  if (overDivision && copy->origin == GUI_BS_DivisionIcon::kFromAll)
    AddDesign(copy->design);
  else if (!overDivision && copy->origin == GUI_BS_DivisionIcon::kFromDivision)
    RemoveDesign(copy->design);
}

int GUI_BS_DivisionManager::OnAdd(int) {
  if (!g_manager) return 0;
  new GUI_BS_NewDivision();
  return 0;
}

int GUI_BS_DivisionManager::OnDelete(int) {
  if (g_manager) g_manager->DeleteCurrent();
  return 0;
}

int GUI_BS_DivisionManager::OnSelect(int) {
  if (g_manager) g_manager->SelectByName(g_manager->dropDown->SelectedText());
  return 0;
}

GUI_BS_DivisionManager* GetOpenDivisionManager() { return g_manager; }
GUI_BS_NewDivision* GetOpenNewDivision() { return g_newDivision; }

void OpenDivisionManager() {
  CloseDivisionManager();
  new GUI_BS_DivisionManager();
}

bool CloseDivisionManager() {
  if (!g_manager) return false;
  delete g_manager;  // the destructor saves and clears the pointer
  return true;
}
