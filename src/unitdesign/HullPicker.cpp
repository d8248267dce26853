// The hull picker: every hull of the catalogue in a scrolling list, the chosen hull's
// picture, name, cost and weight, and OK, which starts a new design on it.
#include <algorithm>
#include <cstdio>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "battlescreen/DesignSprite.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "simdata/UnitHull.h"
#include "unitdesign/UnitDesigner.h"

using namespace gui_draw;

namespace {
GUI_UD_HullPicker* g_picker = nullptr;
constexpr int kUp = 38;
constexpr int kDown = 40;

struct Areas {
  float listL, listR, top, bottom, dataL, dataR, dataB, picL, picR;
};
Areas AreasOf(const GUI_UD_HullPicker& p) {
  const GUI_Rect& c = p.clientRect;
  Areas a;
  a.listL = static_cast<float>(c.left);
  a.listR = a.listL + 290.0f;
  a.top = static_cast<float>(c.top);
  a.bottom = static_cast<float>(c.bottom);
  a.dataL = a.listR + 5.0f;
  a.dataR = a.listR + 310.0f;
  a.dataB = a.bottom - 30.0f;
  a.picL = a.dataR + 5.0f;
  a.picR = static_cast<float>(c.right);
  return a;
}

// Keys reach the picker through the mode's focused field while it is open.
class HullPickerKeys : public GUI_KeyboardTarget {
 public:
  void OnChar(int) override {}
  void OnKeyDown(int key) override {
    if (!g_picker || !g_picker->scroll) return;
    if (key == kUp) g_picker->scroll->ScrollBy(-1);
    if (key == kDown) g_picker->scroll->ScrollBy(1);
  }
};
HullPickerKeys g_keys;
}  // namespace

GUI_UD_HullPicker* GetUDHullPicker() { return g_picker; }

GUI_UD_HullPicker::GUI_UD_HullPicker() : GUI_Dialog(true) {
  g_picker = this;
  SetSize(900.0f, 310.0f);
  CentreOnScreen();
  SetTranslatedTitle("UD_HULLPICKER_TITLE");
  GetClientRect();
  const Areas a = AreasOf(*this);
  okButton = new GUI_ButtonText(&GUI_UD_HullPicker::OnOK, "UD_HULLPICKER_OK", 0);
  okButton->SetTooltip("UD_HULLPICKER_OK_TT", 60);
  okButton->SetRect(a.dataL + 10.0f, a.bottom - 28.0f, a.dataR - 10.0f, a.bottom);
  okButton->enabled = false;
  AddButton(okButton);
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  scroll->SetRect(a.listR - 44.0f, a.top + 15.0f, a.listR - 12.0f, a.bottom - 15.0f);
  for (const auto& hull : SIM_UnitHullManager::Get().All()) hulls.push_back(hull.get());
  for (SIM_UnitHull* hull : hulls) {
    if (!hull->unlockable.IsLocked()) {
      Select(hull);
      break;
    }
  }
  Filter();
  SetName("HULLPICKER");
  if (GUI_GameModeBase* mode = GetGame().CurrentMode) mode->FocusedEdit = &g_keys;
}

GUI_UD_HullPicker::~GUI_UD_HullPicker() {
  if (GUI_GameModeBase* mode = GetGame().CurrentMode; mode && mode->FocusedEdit == &g_keys)
    mode->FocusedEdit = nullptr;
  if (g_picker == this) g_picker = nullptr;
}

void GUI_UD_HullPicker::Select(SIM_UnitHull* hull) {
  if (!hull) return;
  selected = hull;
  const bool locked = hull->unlockable.IsLocked();
  okButton->enabled = !locked;
  okButton->SetLabel(locked ? "UD_HULLPICKER_LOCKED" : "UD_HULLPICKER_OK");
  picture.texture = nullptr;
  const std::string name = GUI_BS_DesignSprite::Instance().GetTexture(hull->name, true);
  if (!name.empty()) picture.SetTextureByName(name);
}

// The strips shown: the rows from the scroll offset that fit the list.
void GUI_UD_HullPicker::Filter() {
  const Areas a = AreasOf(*this);
  const int fit = std::max(0, static_cast<int>((a.bottom - 26.0f - (a.top + 15.0f)) / rowHeight) + 1);
  shown = std::min<int>(fit, static_cast<int>(hulls.size()));
  const int n = static_cast<int>(hulls.size());
  scroll->SetRange(static_cast<float>(n), static_cast<float>(shown), std::max(n - shown, 0));
}

SIM_UnitHull* GUI_UD_HullPicker::HullAt(float x, float y) const {
  const Areas a = AreasOf(*this);
  if (x < a.listL + 15.0f || x >= scroll->left - 5.0f) return nullptr;
  const int first = scroll->Position();
  for (int i = 0; i < shown && first + i < static_cast<int>(hulls.size()); ++i) {
    const float t = a.top + 15.0f + i * static_cast<float>(rowHeight);
    if (y >= t && y < t + 20.0f) return hulls[first + i];
  }
  return nullptr;
}

bool GUI_UD_HullPicker::LeftClick(float x, float y) {
  if (SIM_UnitHull* hull = HullAt(x, y)) {
    if (!hull->unlockable.IsLocked()) Select(hull);
    return true;
  }
  return GUI_Dialog::LeftClick(x, y);
}

void GUI_UD_HullPicker::OnWheelUp() {
  if (scroll) scroll->ScrollBy(-1);
}
void GUI_UD_HullPicker::OnWheelDown() {
  if (scroll) scroll->ScrollBy(1);
}

int GUI_UD_HullPicker::OnOK(int) {
  GUI_UD_HullPicker* picker = g_picker;
  if (!picker || !picker->selected || picker->selected->unlockable.IsLocked()) return 0;
  SIM_UnitHull* hull = picker->selected;
  delete picker;
  if (GUI_UD_Window* window = GetUDWindow()) window->NewDesignForHull(hull);
  return 0;
}

void GUI_UD_HullPicker::Draw() {
  if (scroll->changed) scroll->changed = false;
  GUI_Dialog::Draw();
  const Areas a = AreasOf(*this);
  DrawGUITexture(3, 32.0f, 1.0f, true, a.listL, a.top, a.listR, a.bottom);
  DrawGUITexture(3, 32.0f, 1.0f, true, a.dataL, a.top, a.dataR, a.dataB);
  DrawGUITexture(3, 32.0f, 1.0f, true, a.picL, a.top, a.picR, a.bottom);
  FlushAll();
  if (picture.texture) {
    picture.SetSize(256.0f, 256.0f);
    picture.SetPosition((a.picL + a.picR) * 0.5f, (a.top + a.bottom) * 0.5f);
    picture.DrawDirect();
  }
  // Rows: the one under the mouse lighter, the selected one brighter.
  D3DEngine& d3d = GetRenderDevice();
  const int first = scroll->Position();
  const SIM_UnitHull* over = HullAt(MouseX(), MouseY());
  for (int i = 0; i < shown && first + i < static_cast<int>(hulls.size()); ++i) {
    const SIM_UnitHull* hull = hulls[first + i];
    const float t = a.top + 15.0f + i * static_cast<float>(rowHeight);
    const uint32_t fill = hull == over ? 0x40FFFFFFu : hull == selected ? 0x80FFFFFFu : 0x20FFFFFFu;
    d3d.DrawRect(a.listL + 15.0f, t, scroll->left - 5.0f, t + 20.0f, fill);
  }
  DrawChildren();
  DrawButtons();
  UseFont();
  TextRenderer& text = GetTextRenderer();
  for (int i = 0; i < shown && first + i < static_cast<int>(hulls.size()); ++i) {
    const SIM_UnitHull* hull = hulls[first + i];
    const float t = a.top + 15.0f + i * static_cast<float>(rowHeight);
    const bool locked = hull->unlockable.IsLocked();
    std::string label = hull->guiName;
    if (locked) label += "  (" + GetTranslation("UD_HULLPICKER_LOCKED") + ")";
    text.Print(0, label.c_str(), a.listL + 25.0f, t - 1.0f, locked ? 0xFFC0C0C0u : 0xFFE2B101u);
  }
  if (selected) {
    text.Print(2, selected->guiName.c_str(), a.dataL, a.top + 10.0f, 0xFFE2B101u, a.dataR - a.dataL);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", selected->cost);
    text.Print(0, GetTranslation("UD_HULLPICKER_COST").c_str(), a.dataL + 20.0f, a.top + 50.0f, TextColour());
    text.Print(1, buf, a.dataL, a.top + 50.0f, TextColour(), a.dataR - 20.0f - a.dataL);
    std::snprintf(buf, sizeof buf, "%.2f", selected->weight);
    text.Print(0, GetTranslation("UD_HULLPICKER_WEIGHT").c_str(), a.dataL + 20.0f, a.top + 74.0f,
               TextColour());
    text.Print(1, buf, a.dataL, a.top + 74.0f, TextColour(), a.dataR - 20.0f - a.dataL);
  }
  FlushAll();
}
