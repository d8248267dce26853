// The hull picker: every hull of the catalogue in a scrolling list of strips, the chosen
// hull's picture, name, cost and weight, and OK, which starts a new design on it.
#include <algorithm>
#include <cstdio>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "battlescreen/DesignSprite.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/InfoWidgets.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "simdata/UnitHull.h"
#include "unitdesign/UnitDesigner.h"

using namespace gui_draw;

namespace {
GUI_UD_HullPicker* g_picker = nullptr;
constexpr int kUp = 38;
constexpr int kDown = 40;
constexpr uint32_t kGold = 0xFFE2B101u;

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
    if (g_picker) g_picker->OnKeyDown(key);
  }
};
HullPickerKeys g_keys;
}  // namespace

GUI_UD_HullPicker* GetUDHullPicker() { return g_picker; }

// ---------------------------------------------------------------------------------------
// Data panel

GUI_HullData::~GUI_HullData() {
  for (GUI_DataStrip* line : lines) {
    RemoveChild(line);
    delete line;
  }
}

void GUI_HullData::SetHull(const SIM_UnitHull* h) {
  ZT_ASSERT(h != nullptr);
  for (GUI_DataStrip* line : lines) {
    RemoveChild(line);
    delete line;
  }
  lines.clear();
  hull = h;
  if (!hull) return;
  const struct {
    const char* label;
    const char* tip;
    float value;
  } kLines[] = {{"UD_HULLPICKER_COST", "UD_HULLPICKER_COST_TT", hull->cost},
                {"UD_HULLPICKER_WEIGHT", "UD_HULLPICKER_WEIGHT_TT", hull->weight}};
  for (const auto& l : kLines) {
    auto* line = new GUI_DataStrip();
    line->SetLabel(l.label, l.tip);
    line->SetValueFloat(l.value);
    lines.push_back(line);
    AddChild(line);
  }
  auto* spacer = new GUI_DataStrip();
  lines.push_back(spacer);
  AddChild(spacer);
}

void GUI_HullData::Draw() {
  float y = top + 20.0f;
  for (GUI_DataStrip* line : lines) {
    line->SetRect(static_cast<float>(left), y, static_cast<float>(right), y + 20.0f);
    y += 20.0f;
  }
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------------------
// List strips

GUI_UD_HullPickerStrip::GUI_UD_HullPickerStrip(SIM_UnitHull* h) : hull(h) {
  ZT_ASSERT(hull != nullptr);
  if (!hull) return;
  name = hull->guiName;
  if (Locked()) lock.SetTextureByName("locked_mission.dds");
  lock.SetSize(20.0f, 20.0f);
}

bool GUI_UD_HullPickerStrip::Locked() const { return hull && hull->unlockable.IsLocked(); }

bool GUI_UD_HullPickerStrip::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  if (hull && !Locked() && g_picker) g_picker->Select(hull);
  return true;
}

void GUI_UD_HullPickerStrip::Process() {
  if (IsMouseOver() && !Locked() && !GetInputManager().MouseClaimed) GUI_Cursor::SetHandCursor();
  GUI_WindowBase::Process();
}

void GUI_UD_HullPickerStrip::Draw() {
  const bool over = IsMouseOver();
  const bool chosen = g_picker && hull && g_picker->selected == hull;
  GetRenderDevice().DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                             static_cast<float>(bottom),
                             over     ? 0x40FFFFFFu
                             : chosen ? 0x80FFFFFFu
                                      : 0x20FFFFFFu);
  uint32_t colour = kGold;
  if (Locked()) {
    lock.SetPosition(right - 19.0f, (top + bottom) * 0.5f);
    if (lock.texture) lock.DrawDirect();
    colour = 0xFFC0C0C0u;
  }
  UseFont();
  GetTextRenderer().Print(0, name.c_str(), left + 10.0f, top - 1.0f, colour);
  FlushAll();
}

// ---------------------------------------------------------------------------------------
// The dialog

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
  // Nothing to start a design on until a hull is chosen.
  okButton->enabled = false;
  AddButton(okButton);
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  scroll->SetRect(a.listR - 44.0f, a.top + 15.0f, a.listR - 12.0f, a.bottom - 15.0f);
  data = new GUI_HullData();
  AddChild(data);
  data->SetRect(a.dataL + 10.0f, a.top + 20.0f, a.dataR - 10.0f, a.dataB);
  for (const auto& hull : SIM_UnitHullManager::Get().All()) hulls.push_back(hull.get());
  for (SIM_UnitHull* hull : hulls) {
    if (!hull->unlockable.IsLocked()) {
      Select(hull);
      break;
    }
  }
  BuildStrips();
  SetName("HULLPICKER");
  if (GUI_GameModeBase* mode = GetGame().CurrentMode) mode->FocusedEdit = &g_keys;
}

GUI_UD_HullPicker::~GUI_UD_HullPicker() {
  if (GUI_GameModeBase* mode = GetGame().CurrentMode; mode && mode->FocusedEdit == &g_keys)
    mode->FocusedEdit = nullptr;
  DeleteStrips();
  if (g_picker == this) g_picker = nullptr;
}

void GUI_UD_HullPicker::Select(SIM_UnitHull* hull) {
  ZT_ASSERT(hull != nullptr);
  if (!hull) return;
  selected = hull;
  selectedName = hull->guiName;
  picture.texture = nullptr;
  const std::string name = GUI_BS_DesignSprite::Instance().GetTexture(hull->name, true);
  if (!name.empty()) picture.SetTextureByName(name);
  data->SetHull(hull);
  const bool locked = hull->unlockable.IsLocked();
  okButton->enabled = !locked;
  okButton->SetLabel(locked ? "UD_HULLPICKER_LOCKED" : "UD_HULLPICKER_OK");
}

void GUI_UD_HullPicker::DeleteStrips() {
  for (GUI_UD_HullPickerStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
}

// The strips shown: the rows from the scroll offset that fit the list.
void GUI_UD_HullPicker::BuildStrips() {
  DeleteStrips();
  const Areas a = AreasOf(*this);
  float y = a.top + 15.0f;
  const int first = scroll->Position();
  for (int i = 0; i < static_cast<int>(hulls.size()); ++i) {
    if (i < first || !(y < a.bottom - 26.0f)) continue;
    auto* strip = new GUI_UD_HullPickerStrip(hulls[i]);
    strip->SetRect(a.listL + 15.0f, y, scroll->left - 5.0f, y + 20.0f);
    AddChild(strip);
    strips.push_back(strip);
    y += 22.0f;
  }
  const int n = static_cast<int>(hulls.size());
  const int shown = static_cast<int>(strips.size());
  scroll->SetRange(static_cast<float>(n), static_cast<float>(shown), std::max(n - shown, 0));
}

void GUI_UD_HullPicker::OnKeyDown(int key) {
  if (key == kUp) scroll->ScrollBy(-1);
  if (key == kDown) scroll->ScrollBy(1);
}

void GUI_UD_HullPicker::OnWheelUp() { scroll->ScrollBy(-1); }
void GUI_UD_HullPicker::OnWheelDown() { scroll->ScrollBy(1); }

int GUI_UD_HullPicker::OnOK(int) {
  GUI_UD_HullPicker* picker = g_picker;
  // Every hull locked: nothing is chosen and OK stays idle rather than passing no hull on.
  if (!picker || !picker->selected || picker->selected->unlockable.IsLocked()) return 0;
  SIM_UnitHull* hull = picker->selected;
  delete picker;
  if (GUI_UD_Window* window = GetUDWindow()) window->NewDesignForHull(hull);
  return 0;
}

void GUI_UD_HullPicker::Draw() {
  if (scroll->changed) {
    BuildStrips();
    scroll->changed = false;
  }
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
  DrawButtons();
  data->SetRect(a.dataL + 10.0f, a.top + 20.0f, a.dataR - 10.0f, a.dataB);
  DrawChildren();
  UseFont();
  if (selected)
    GetTextRenderer().Print(2, selectedName.c_str(), a.dataL, a.top + 10.0f, kGold, a.dataR - a.dataL);
  FlushAll();
}
