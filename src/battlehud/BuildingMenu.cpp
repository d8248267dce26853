#include "battlehud/BuildingMenu.h"

#include <algorithm>

#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battlescreen/BattleMap.h"
#include "engine/ErrorReporting.h"
#include "engine/Singletons.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"

namespace {
GUI_BS_RCMenu* g_menu = nullptr;

void RegisterMenuReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_menu;
                              g_menu = nullptr;
                            }),
                            true);
  (void)registered;
}

bool Dead(const SIM_BattleUnit* u) {
  return u->state == US_INACTIVE || u->state == US_DESTROYED || u->state == US_WARPING_OUT ||
         u->state == US_GONE;
}
}  // namespace

GUI_BS_RCMenu::GUI_BS_RCMenu(SIM_BattleUnit* b) : GUI_Dialog(false), building(b) {
  RegisterMenuReset();
  g_menu = this;
  draggable = false;
  SetRect(0, 0, kWidth, kHeight);
  deconstructButton = new GUI_ButtonText(&GUI_BS_RCMenu::OnDeconstruct, "RCMENU_DECONSTRUCT", 0);
  AddButton(deconstructButton);
  Place();
}

GUI_BS_RCMenu::~GUI_BS_RCMenu() {
  if (g_menu == this) g_menu = nullptr;
}

void GUI_BS_RCMenu::Place() {
  if (!building) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float sw = float(gui_draw::ScreenWidth()), sh = float(gui_draw::ScreenHeight());
  const float x = std::min((building->x - map.viewLeft) * map.zoom + 60.0f, sw - kWidth);
  const float y = std::clamp((building->y - map.viewTop) * map.zoom - 20.0f, 20.0f, sh - 20.0f);
  SetPosition(x, y);
  const float cy = float(top + bottom) / 2;
  deconstructButton->SetRect(float(left + 5), cy - 14, float(right - 5), cy + 14);
}

void GUI_BS_RCMenu::Draw() {
  // A building that died or left takes its menu with it.
  if (!building || Dead(building)) {
    Retire();
    return;
  }
  Place();
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f)
    DrawWindowBorder(16, float(left), float(top), float(right), float(bottom));
  DrawWindowBackground(0, 16, float(left), float(top), float(right), float(bottom));
  GUI_WindowBase::Draw();
}

int GUI_BS_RCMenu::OnDeconstruct(int) {
  GUI_BS_RCMenu* menu = g_menu;
  if (!menu) return 0;
  SIM_BattleUnit* b = menu->building;
  // A dead building is not brought back by taking it down.
  if (b && !Dead(b)) {
    b->demolitionTimer = 0.0f;
    b->state = US_DEMOLISHING;
    if (b->moduleManager) b->moduleManager->StopAllEffects();
    b->selected = false;
  }
  menu->Retire();
  return 0;
}

void GUI_BS_RCMenu::Retire() {
  if (g_menu == this) g_menu = nullptr;
  building = nullptr;
  Close();
  GetWindowOrder().DeleteLater(this);
}

void OpenRCMenu(SIM_BattleUnit* building) {
  ZT_ASSERT(building != nullptr);
  if (!building) return;
  CloseRCMenu();
  new GUI_BS_RCMenu(building);
}

GUI_BS_RCMenu* GetOpenRCMenu() { return g_menu; }

void CloseRCMenu() {
  if (GUI_BS_RCMenu* m = g_menu) {
    g_menu = nullptr;
    m->Close();
    delete m;
  }
}

void RCMenuForgetUnit(SIM_BattleUnit* unit) {
  if (g_menu && g_menu->building == unit) g_menu->Retire();
}
