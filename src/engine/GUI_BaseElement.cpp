#include "engine/GUI_BaseElement.h"

#include <algorithm>

#include "engine/D3DEngine.h"

namespace {

// Never destroyed: elements owned by process-wide objects unregister themselves during
// static destruction at exit, in whatever order those objects go, so the list must
// outlive every one of them. Entries always leave with their element, so nothing needs
// resetting between tests.
std::vector<GUI_BaseElement*>& Registry() {
  static std::vector<GUI_BaseElement*>* const registry = new std::vector<GUI_BaseElement*>();
  return *registry;
}

}  // namespace

GUI_BaseElement::GUI_BaseElement() {
  // During construction this resolves to the base version, as in any C++ constructor.
  SetRect(0.0f, 0.0f, 0.0f, 0.0f);
}

GUI_BaseElement::~GUI_BaseElement() {
  UnregisterElement(this);
  // Children are owned elsewhere; make sure neither side keeps a dangling pointer.
  if (parent_) parent_->RemoveChild(this);
  for (ChildRecord& c : children) {
    if (c.child && c.child->parent_ == this) c.child->parent_ = nullptr;
  }
}

void GUI_BaseElement::SetRect(float l, float t, float r, float b) {
  left = static_cast<int>(l);
  top = static_cast<int>(t);
  right = static_cast<int>(r);
  bottom = static_cast<int>(b);
  width = static_cast<int>(r - l);
  height = static_cast<int>(b - t);
  UpdateChildren();
}

void GUI_BaseElement::MoveTo(float l, float t) {
  left = static_cast<int>(l);
  top = static_cast<int>(t);
  right = static_cast<int>(l + static_cast<float>(width));
  bottom = static_cast<int>(t + static_cast<float>(height));
  UpdateChildren();
}

void GUI_BaseElement::SetSize(float w, float h) {
  width = static_cast<int>(w);
  height = static_cast<int>(h);
}

void GUI_BaseElement::CentreOnScreen() {
  left = ScreenWidth() / 2 - width / 2;
  top = ScreenHeight() / 2 - height / 2;
  right = left + width;
  bottom = top + height;
}

bool GUI_BaseElement::HitTest(float x, float y) const {
  const int ix = static_cast<int>(x);
  const int iy = static_cast<int>(y);
  return ix >= left && ix < right && iy >= top && iy < bottom;
}

void GUI_BaseElement::AddChild(GUI_BaseElement* child, const GUI_BaseElement* parent) {
  if (!child || child == this) return;
  if (!parent) parent = this;
  if (child->parent_ && child->parent_ != this) child->parent_->RemoveChild(child);
  child->parent_ = this;
  children.push_back(ChildRecord{child, static_cast<float>(child->left - parent->left),
                                 static_cast<float>(child->top - parent->top)});
}

void GUI_BaseElement::RemoveChild(GUI_BaseElement* child) {
  children.erase(std::remove_if(children.begin(), children.end(),
                                [child](const ChildRecord& c) { return c.child == child; }),
                 children.end());
  if (child && child->parent_ == this) child->parent_ = nullptr;
}

void GUI_BaseElement::UpdateChildren() {
  // Index loop: a child's move never changes this list, but stay safe if it did.
  for (size_t i = 0; i < children.size(); ++i) {
    const ChildRecord c = children[i];
    if (c.child) c.child->MoveTo(static_cast<float>(left) + c.offsetX, static_cast<float>(top) + c.offsetY);
  }
}

void GUI_BaseElement::SetName(const std::string& newName) {
  name = newName;
  UnregisterElement(this);
  Registry().push_back(this);
}

int GUI_BaseElement::ScreenWidth() { return GetRenderDevice().ScreenWidth(); }
int GUI_BaseElement::ScreenHeight() { return GetRenderDevice().ScreenHeight(); }

GUI_BaseElement* FindElement(const std::string& name) {
  for (GUI_BaseElement* e : Registry()) {
    if (e->GetName() == name) return e;
  }
  return nullptr;
}

std::vector<GUI_BaseElement*> FindElements(const std::string& name) {
  std::vector<GUI_BaseElement*> found;
  for (GUI_BaseElement* e : Registry()) {
    if (e->GetName() == name) found.push_back(e);
  }
  return found;
}

void UnregisterElement(GUI_BaseElement* element) {
  auto& r = Registry();
  r.erase(std::remove(r.begin(), r.end(), element), r.end());
}
