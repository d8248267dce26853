#include "gui/WindowOrder.h"

#include <algorithm>

#include "engine/Singletons.h"
#include "gui/GuiDraw.h"
#include "gui/WindowBase.h"

namespace {
// Not destroyed at exit (windows may be deleted during static destruction); tests reset it.
GUI_WindowOrder*& OrderInstance() {
  static GUI_WindowOrder* instance = nullptr;
  return instance;
}

void Erase(std::vector<GUI_WindowBase*>& list, GUI_WindowBase* w) {
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

std::vector<GUI_WindowBase::Ref> Snapshot(const std::vector<GUI_WindowBase*>& list) {
  std::vector<GUI_WindowBase::Ref> refs;
  refs.reserve(list.size());
  for (GUI_WindowBase* w : list) refs.push_back(w->MakeRef());
  return refs;
}

// An open window that is also another window's child goes with its parent: while any
// window above it is hidden it is neither drawn nor hears the mouse, or its buttons would
// answer clicks on a screen that shows something else there.
bool AncestorsShown(const GUI_WindowBase* window) {
  for (const GUI_WindowBase* p = window->ParentWindow(); p; p = p->ParentWindow())
    if (!p->visible) return false;
  return true;
}

// The windows as the player sees them, topmost first: pop-ups (dialogs) are drawn over
// every other window, so they hear the mouse first, whichever window was raised last.
std::vector<GUI_WindowBase::Ref> TopDown(const std::vector<GUI_WindowBase*>& list) {
  std::vector<GUI_WindowBase::Ref> refs;
  refs.reserve(list.size());
  for (int pass = 0; pass < 2; ++pass)
    for (auto it = list.rbegin(); it != list.rend(); ++it)
      if ((*it)->IsPopup() == (pass == 0) && AncestorsShown(*it)) refs.push_back((*it)->MakeRef());
  return refs;
}

bool Contains(const std::vector<GUI_WindowBase*>& list, const GUI_WindowBase* w) {
  return std::find(list.begin(), list.end(), w) != list.end();
}
}  // namespace

GUI_WindowOrder& GetWindowOrder() {
  static bool registered = (RegisterSingletonReset([] {
                              delete OrderInstance();
                              OrderInstance() = nullptr;
                            }),
                            true);
  (void)registered;
  if (!OrderInstance()) OrderInstance() = new GUI_WindowOrder();
  return *OrderInstance();
}

void GUI_WindowOrder::AddOpen(GUI_WindowBase* window) {
  Erase(open_, window);
  open_.push_back(window);
}

void GUI_WindowOrder::RemoveOpen(GUI_WindowBase* window) { Erase(open_, window); }
void GUI_WindowOrder::AddModal(GUI_WindowBase* window) { modal_.push_back(window); }
void GUI_WindowOrder::RemoveModal(GUI_WindowBase* window) { Erase(modal_, window); }

void GUI_WindowOrder::BringToFront(GUI_WindowBase* window) {
  if (!Contains(open_, window)) return;
  Erase(open_, window);
  open_.push_back(window);
}

void GUI_WindowOrder::DeleteLater(GUI_WindowBase* window) {
  if (!window) return;
  // Listed once: a second request must not delete it twice.
  if (!Contains(deleteLater_, window)) deleteLater_.push_back(window);
  window->pendingDeletion_ = 1;
}

void GUI_WindowOrder::RemoveDeleteLater(GUI_WindowBase* window) { Erase(deleteLater_, window); }

void GUI_WindowOrder::FlushDeleted() {
  // A destructor may queue or unqueue others; take one at a time from the front.
  while (!deleteLater_.empty()) {
    GUI_WindowBase* w = deleteLater_.front();
    deleteLater_.erase(deleteLater_.begin());
    w->pendingDeletion_ = 0;
    delete w;
  }
}

void GUI_WindowOrder::Draw() {
  const auto refs = Snapshot(open_);
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& r : refs) {
      if (!r.Alive()) continue;
      GUI_WindowBase* w = r.window;
      if (!w->visible || w->IsDragging() || w->IsPopup() != (pass == 1) || !AncestorsShown(w)) continue;
      w->Draw();
    }
  }
}

void GUI_WindowOrder::Process() {
  for (const auto& r : TopDown(modal_.empty() ? open_ : modal_))
    if (r.Alive()) r.window->Process();
  FlushDeleted();
}

bool GUI_WindowOrder::LeftClick() {
  const float x = gui_draw::MouseX(), y = gui_draw::MouseY();
  if (!modal_.empty()) {
    // Only the newest modal window hears the click; nothing behind it does.
    modal_.back()->LeftClick(x, y);
    return true;
  }
  for (const auto& r : TopDown(open_))
    if (r.Alive() && r.window->LeftClick(x, y)) return true;
  return false;
}

bool GUI_WindowOrder::RightClick() {
  const float x = gui_draw::MouseX(), y = gui_draw::MouseY();
  const bool modal = !modal_.empty();
  for (const auto& r : TopDown(modal ? modal_ : open_))
    if (r.Alive() && r.window->RightClick(x, y)) return true;
  return modal;
}

void GUI_WindowOrder::Wheel(bool up) {
  auto send = [up](GUI_WindowBase* w) {
    if (up) {
      w->OnWheelUp();
    } else {
      w->OnWheelDown();
    }
  };
  if (!modal_.empty()) {
    send(modal_.front());
    return;
  }
  const auto refs = Snapshot(open_);
  for (int pass = 0; pass < 2; ++pass) {
    for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
      if (!it->Alive()) continue;
      GUI_WindowBase* w = it->window;
      if (!w->visible || (pass == 0 && !w->IsPopup()) || !AncestorsShown(w)) continue;
      if (w->IsMouseOver()) {
        send(w);
        return;
      }
    }
  }
}

void GUI_WindowOrder::OnWheelUp() { Wheel(true); }
void GUI_WindowOrder::OnWheelDown() { Wheel(false); }

bool GUI_WindowOrder::IsAnyPopupOpen() const {
  for (GUI_WindowBase* w : open_)
    if (w->IsPopup()) return true;
  return false;
}

bool GUI_WindowOrder::CloseTopmost() {
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
    if ((*it)->IsPopup()) {
      (*it)->Dismiss();
      return true;
    }
  }
  return false;
}
