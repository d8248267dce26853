#include "battlehud/SelectionBox.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Squadron.h"
#include "battlescreen/BattleMap.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Singletons.h"
#include "gui/GuiDraw.h"

DragSelectBox& DragSelectBox::Instance() { return ProcessWide<DragSelectBox>(); }

void DragSelectBox::Begin() {
  if (active) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const GUI_InputManager& in = GetInputManager();
  startX = in.x / map.zoom + map.viewLeft;
  startY = in.y / map.zoom + map.viewTop;
  active = true;
}

void DragSelectBox::Rect(int* l, int* t, int* r, int* b) const {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const GUI_InputManager& in = GetInputManager();
  const float mx = in.x / map.zoom + map.viewLeft, my = in.y / map.zoom + map.viewTop;
  *l = int(std::min(startX, mx));
  *r = int(std::max(startX, mx));
  *t = int(std::min(startY, my));
  *b = int(std::max(startY, my));
}

int DragSelectBox::SelectInside(int l, int t, int r, int b) {
  SIM_BattleArmy* army = GetBattle().playerArmy;
  if (!army) return 0;
  int n = 0;
  for (SIM_BattleUnit* u : army->allUnits) {
    if (!u || !(l < u->x && u->x < r && t < u->y && u->y < b)) continue;
    if (u->state == US_INACTIVE || u->state == US_DESTROYED || u->state == US_GONE) continue;
    u->selected = true;
    ++n;
    if (SIM_BattleSquadron* squad = u->squadron) {
      squad->selected = true;
      for (SIM_BattleUnit* m : squad->members)
        if (m) m->selected = true;
    }
  }
  return n;
}

void DragSelectBox::Draw() {
  if (!active) return;
  int l, t, r, b;
  Rect(&l, &t, &r, &b);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const platform::Rect screen{int((l - map.viewLeft) * map.zoom), int((t - map.viewTop) * map.zoom),
                              int((r - map.viewLeft) * map.zoom), int((b - map.viewTop) * map.zoom)};
  // A 4-pixel band centred on each edge.
  GetRenderDevice().DrawRectFrame(screen, 4.0f, 0xFFE2B101u);
  if (!gui_draw::LeftHeld()) {
    active = false;
    SelectInside(l, t, r, b);
  }
}
