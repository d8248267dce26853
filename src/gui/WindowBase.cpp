#include "gui/WindowBase.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/WindowOrder.h"

namespace {
// Every live window with its serial. Walks over window lists check entries against
// it, because a callback may delete windows (even the walking one) mid-walk.
// Deliberately never destroyed: windows may outlive static destruction order.
std::unordered_map<const GUI_WindowBase*, uint64_t>& LiveWindows() {
  static auto* live = new std::unordered_map<const GUI_WindowBase*, uint64_t>();
  return *live;
}
uint64_t g_nextSerial = 1;

std::vector<GUI_WindowBase::Ref> Snapshot(const std::vector<GUI_WindowBase*>& list) {
  std::vector<GUI_WindowBase::Ref> refs;
  refs.reserve(list.size());
  for (GUI_WindowBase* w : list) refs.push_back(w->MakeRef());
  return refs;
}
}  // namespace

bool GUI_WindowBase::Ref::Alive() const {
  if (!window) return false;
  auto it = LiveWindows().find(window);
  return it != LiveWindows().end() && it->second == serial;
}

bool GUI_WindowBase::IsAlive(const GUI_WindowBase* window) {
  return window && LiveWindows().count(window) != 0;
}

GUI_WindowBase::GUI_WindowBase() {
  serial_ = g_nextSerial++;
  LiveWindows()[this] = serial_;
}

GUI_WindowBase::~GUI_WindowBase() {
  LiveWindows().erase(this);
  GUI_WindowOrder& order = GetWindowOrder();
  if (pendingDeletion_) order.RemoveDeleteLater(this);
  Close();
  if (parentWindow_) parentWindow_->RemoveChild(this);
  ClearChildren();
  if (modal_) order.RemoveModal(this);
  // Nothing may keep pointing at a deleted window.
  GUI_InputManager& input = GetInputManager();
  if (input.WindowUnderMouse == this) input.WindowUnderMouse = nullptr;
}

void GUI_WindowBase::Open() {
  Close();
  GetWindowOrder().AddOpen(this);
  open_ = true;
}

void GUI_WindowBase::Close() {
  if (!open_) return;
  GetWindowOrder().RemoveOpen(this);
  open_ = false;
}

void GUI_WindowBase::SetModal(bool on) {
  modal_ = on;
  if (on) {
    GetWindowOrder().AddModal(this);
  } else {
    GetWindowOrder().RemoveModal(this);
  }
}

void GUI_WindowBase::AddChild(GUI_WindowBase* child) {
  if (!child || child == this) return;
  if (child->parentWindow_) child->parentWindow_->RemoveChild(child);
  childWindows_.push_back(child);
  child->parentWindow_ = this;
}

void GUI_WindowBase::RemoveChild(GUI_WindowBase* child) {
  if (!child) return;
  if (child->parentWindow_ == this) child->parentWindow_ = nullptr;
  childWindows_.erase(std::remove(childWindows_.begin(), childWindows_.end(), child), childWindows_.end());
  GUI_BaseElement::RemoveChild(child);
}

void GUI_WindowBase::ClearChildren() {
  while (!childWindows_.empty()) {
    GUI_WindowBase* child = childWindows_.front();
    delete child;  // its destructor leaves our list
    // A child that somehow stayed listed must not stop the loop.
    if (!childWindows_.empty() && childWindows_.front() == child) childWindows_.erase(childWindows_.begin());
  }
}

void GUI_WindowBase::DrawChildren() {
  for (const Ref& r : Snapshot(childWindows_)) {
    if (r.Alive() && r.window->parentWindow_ == this && r.window->visible) r.window->Draw();
  }
}

void GUI_WindowBase::Draw() {
  if (visible) DrawButtons();
}

void GUI_WindowBase::AddButton(GUI_ButtonBase* button) {
  ZT_ASSERT(button != nullptr);
  if (!button) return;
  GUIButtonList::AddButton(button);
  button->owner = this;
}

void GUI_WindowBase::Process() {
  if (!visible) return;
  GUI_InputManager& input = GetInputManager();
  if (input.MouseClaimed) return;
  const Ref self = MakeRef();
  if (draggable) {
    UpdateDrag();
    if (!self.Alive()) return;
  }
  for (const Ref& r : Snapshot(childWindows_)) {
    if (!r.Alive() || r.window->parentWindow_ != this) continue;
    r.window->Process();
    if (!self.Alive()) return;
  }
  ProcessButtons();
  if (claimsMouse && IsMouseOver()) {
    input.MouseClaimed = true;
    input.WindowUnderMouse = this;
  }
}

bool GUI_WindowBase::LeftClick(float x, float y) {
  if (!visible) return false;
  const bool inside = HitTest(x, y);
  const Ref self = MakeRef();
  if (inside && raisesOnClick) BringToFront();
  // A true answer may come from a callback that deleted this window: return at once.
  if (OnClick()) return true;
  if (!self.Alive()) return true;
  for (const Ref& r : Snapshot(childWindows_)) {
    if (!r.Alive() || r.window->parentWindow_ != this) continue;
    if (r.window->LeftClick(x, y)) return true;
    if (!self.Alive()) return true;
  }
  return (blocksClicks || raisesOnClick) && inside;
}

bool GUI_WindowBase::RightClick(float x, float y) {
  if (!visible) return false;
  const Ref self = MakeRef();
  for (const Ref& r : Snapshot(childWindows_)) {
    if (!r.Alive() || r.window->parentWindow_ != this) continue;
    if (r.window->RightClick(x, y)) return true;
    if (!self.Alive()) return true;
  }
  return false;
}

bool GUI_WindowBase::IsMouseOver() { return HitTest(gui_draw::MouseX(), gui_draw::MouseY()); }

void GUI_WindowBase::OnWheelUp() {
  const Ref self = MakeRef();
  for (const Ref& r : Snapshot(childWindows_)) {
    if (!self.Alive()) return;
    if (r.Alive() && r.window->parentWindow_ == this && r.window->visible) r.window->OnWheelUp();
  }
}

void GUI_WindowBase::OnWheelDown() {
  const Ref self = MakeRef();
  for (const Ref& r : Snapshot(childWindows_)) {
    if (!self.Alive()) return;
    if (r.Alive() && r.window->parentWindow_ == this && r.window->visible) r.window->OnWheelDown();
  }
}

void GUI_WindowBase::BringToFront() { GetWindowOrder().BringToFront(this); }

void GUI_WindowBase::BeginDrag() {
  GUI_Cursor& cursor = GetGUICursor();
  ZT_ASSERT(!cursor.IsCarrying());
  dragging_ = true;
  cursor.AddChild(this);
  dragOffsetX = gui_draw::MouseX() - left;
  dragOffsetY = gui_draw::MouseY() - top;
}

namespace {
// Buttons and child windows that are not attached to the window still travel with it.
void ShiftContents(GUI_WindowBase* window, int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  auto attached = [window](const GUI_BaseElement* e) {
    for (const auto& rec : window->Children())
      if (rec.child == e) return true;
    return false;
  };
  for (GUI_ButtonBase* b : window->Buttons()) {
    if (attached(b)) continue;
    b->SetRect(static_cast<float>(b->left + dx), static_cast<float>(b->top + dy),
               static_cast<float>(b->right + dx), static_cast<float>(b->bottom + dy));
  }
  for (GUI_WindowBase* c : window->ChildWindows()) {
    if (attached(c)) continue;
    c->MoveTo(static_cast<float>(c->left + dx), static_cast<float>(c->top + dy));
    ShiftContents(c, dx, dy);
  }
}
}  // namespace

void GUI_WindowBase::MoveWithContents(float x, float y) {
  const int l = static_cast<int>(x), t = static_cast<int>(y);
  const int dx = l - left, dy = t - top;
  left = l;
  top = t;
  right = l + width;
  bottom = t + height;
  ShiftContents(this, dx, dy);
  if (!children.empty()) UpdateChildren();
}

void GUI_WindowBase::UpdateDrag() {
  const Ref self = MakeRef();
  if (dragging_) {
    if (gui_draw::LeftHeld()) {
      int l = static_cast<int>(gui_draw::MouseX() - dragOffsetX);
      if (l < 0) l = 0;
      if (l > gui_draw::ScreenWidth() - width) l = gui_draw::ScreenWidth() - width;
      int t = static_cast<int>(gui_draw::MouseY() - dragOffsetY);
      if (t < 0) t = 0;
      if (t > gui_draw::ScreenHeight() - height) t = gui_draw::ScreenHeight() - height;
      MoveWithContents(static_cast<float>(l), static_cast<float>(t));
    } else {
      dragging_ = false;
      OnDrop();
      if (!self.Alive()) return;
      GetGUICursor().Release(this);
    }
  } else if (gui_draw::LeftHeld() && IsMouseOver() && !GetGUICursor().IsCarrying()) {
    BeginDrag();
  }
  if (!self.Alive()) return;
  if (!children.empty()) UpdateChildren();
}
