#pragma once
// Root of every interface element: an integer screen rectangle, a size, an
// optional name under which it can be found from anywhere, and child elements
// that keep their offset from the parent when the parent moves.
#include <string>
#include <vector>

class GUI_BaseElement {
 public:
  struct ChildRecord {
    GUI_BaseElement* child = nullptr;  // not owned
    float offsetX = 0.0f;
    float offsetY = 0.0f;
  };

  GUI_BaseElement();
  virtual ~GUI_BaseElement();
  GUI_BaseElement(const GUI_BaseElement&) = delete;
  GUI_BaseElement& operator=(const GUI_BaseElement&) = delete;

  virtual bool LeftClick(float x, float y) { return false; }
  virtual void Draw() {}
  virtual void CentreOnScreen();
  virtual void SetRect(float left, float top, float right, float bottom);
  virtual void SetSize(float width, float height);
  virtual bool HitTest(float x, float y) const;

  void MoveTo(float left, float top);
  // Adds a child whose offset is taken now from `parent` (this element by default).
  void AddChild(GUI_BaseElement* child, const GUI_BaseElement* parent = nullptr);
  void RemoveChild(GUI_BaseElement* child);
  void UpdateChildren();
  void SetName(const std::string& name);
  const std::string& GetName() const { return name; }
  const std::vector<ChildRecord>& Children() const { return children; }

  int left = 0, top = 0, right = 0, bottom = 0;
  int width = 0, height = 0;

  // The device's screen size, which CentreOnScreen centres on.
  static int ScreenWidth();
  static int ScreenHeight();

 protected:
  std::vector<ChildRecord> children;
  std::string name;

 private:
  GUI_BaseElement* parent_ = nullptr;  // set while this element is someone's child
};

// The first element registered under exactly this name, or null.
GUI_BaseElement* FindElement(const std::string& name);
// Every element registered under exactly this name, in registration order.
std::vector<GUI_BaseElement*> FindElements(const std::string& name);
// Removes every registry entry of the element.
void UnregisterElement(GUI_BaseElement* element);
