#include "gui/Cursor.h"

#include <SDL.h>

#include "engine/Singletons.h"
#include "gui/GuiDraw.h"

namespace {
GUI_Cursor*& CursorInstance() {
  static GUI_Cursor* instance = nullptr;
  return instance;
}
}  // namespace

GUI_Cursor& GetGUICursor() {
  static bool registered = (RegisterSingletonReset([] {
                              delete CursorInstance();
                              CursorInstance() = nullptr;
                            }),
                            true);
  (void)registered;
  if (!CursorInstance()) CursorInstance() = new GUI_Cursor();
  return *CursorInstance();
}

GUI_Cursor::GUI_Cursor() {
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;
}

GUI_Cursor::~GUI_Cursor() {
  // Carried windows belong to their owners: let go of them instead of deleting them.
  while (!ChildWindows().empty()) Release(ChildWindows().front());
  for (SDL_Cursor*& c : system_) {
    if (c) SDL_FreeCursor(c);
    c = nullptr;
  }
}

void GUI_Cursor::Release(GUI_WindowBase* window) {
  if (!window) return;
  window->dragging_ = false;
  RemoveChild(window);
}

void GUI_Cursor::Draw() {
  if (!IsCarrying()) return;
  DrawChildren();
  if (gui_draw::LeftHeld()) return;
  // The button is up: drop everything carried. A dropped window may delete itself.
  std::vector<Ref> carried;
  for (GUI_WindowBase* w : ChildWindows()) carried.push_back(w->MakeRef());
  for (const Ref& r : carried) {
    if (!r.Alive() || r.window->ParentWindow() != this) continue;
    // Cleared here too, or a window dropped while it was not processed would stay
    // "dragged" and the window order would never draw it again.
    r.window->dragging_ = false;
    r.window->OnDrop();
  }
  while (!ChildWindows().empty()) Release(ChildWindows().front());
}

void GUI_Cursor::ResetShape() { GetGUICursor().shape = kArrow; }
void GUI_Cursor::SetHandCursor() { GetGUICursor().shape = kHand; }
void GUI_Cursor::SetWaitCursor() { GetGUICursor().shape = kWait; }
int GUI_Cursor::Shape() { return GetGUICursor().shape; }

void GUI_Cursor::ApplySystemCursor() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  GUI_Cursor& c = GetGUICursor();
  int s = c.shape;
  if (s < 0 || s > 2) s = kArrow;
  if (!c.system_[s]) {
    static const SDL_SystemCursor kIds[3] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_WAIT,
                                             SDL_SYSTEM_CURSOR_HAND};
    c.system_[s] = SDL_CreateSystemCursor(kIds[s]);
  }
  if (c.system_[s]) SDL_SetCursor(c.system_[s]);
}
