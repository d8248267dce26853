#pragma once
// The base of every window: a button list with child windows, visibility,
// membership in the window order (open, modal and delete-later lists), per-frame
// processing with a first-come mouse claim, click and wheel routing to children,
// and dragging, during which the cursor window carries the window.
#include <cstdint>
#include <vector>

#include "gui/Buttons.h"

class GUI_WindowBase : public GUIButtonList {
 public:
  GUI_WindowBase();
  ~GUI_WindowBase() override;

  bool LeftClick(float x, float y) override;
  // When visible: the buttons. Children are drawn by DrawChildren where a window wants them.
  void Draw() override;
  // Appends the button and makes this window its owner (null is a failed check).
  void AddButton(GUI_ButtonBase* button) override;
  void Process() override;

  virtual void OnChar(int character) {}
  virtual void OnKeyDown(int key) {}
  virtual bool RightClick(float x, float y);
  virtual bool IsPopup() const { return false; }
  virtual bool IsMouseOver();
  virtual void OnDrop() {}
  virtual void OnWheelUp();
  virtual void OnWheelDown();
  virtual void BringToFront();
  virtual void BeginDrag();
  virtual void UpdateDrag();
  // What Escape does to the topmost pop-up: deletes it. A pop-up owned by another
  // window (a drop-down column) closes instead.
  virtual void Dismiss() { delete this; }

  // Registration with the window order; opening an open window moves it to the top.
  void Open();
  void Close();
  void SetModal(bool on);

  // Adopts the child (taking it from any former parent); children are owned.
  void AddChild(GUI_WindowBase* child);
  void RemoveChild(GUI_WindowBase* child);
  void ClearChildren();
  void DrawChildren();
  // Moves the window's top-left to (x, y) together with its buttons and child windows
  // (attached elements follow through their offsets, the others by the same distance).
  void MoveWithContents(float x, float y);

  const std::vector<GUI_WindowBase*>& ChildWindows() const { return childWindows_; }
  GUI_WindowBase* ParentWindow() const { return parentWindow_; }
  bool IsOpen() const { return open_; }
  bool IsModal() const { return modal_; }
  bool IsPendingDeletion() const { return pendingDeletion_ != 0; }
  bool IsDragging() const { return dragging_; }

  // A window and the serial it had when a walk started; Alive() is false once it was
  // deleted, even when a new window took its address. Walks over window lists use
  // these, because callbacks may open, close or delete windows during the walk.
  struct Ref {
    GUI_WindowBase* window = nullptr;
    uint64_t serial = 0;
    bool Alive() const;
  };
  Ref MakeRef() { return Ref{this, serial_}; }
  static bool IsAlive(const GUI_WindowBase* window);

  bool draggable = false;
  float dragOffsetX = 0.0f;
  float dragOffsetY = 0.0f;
  bool visible = true;
  bool claimsMouse = true;
  bool blocksClicks = true;
  bool raisesOnClick = true;

 protected:
  bool dragging_ = false;

 private:
  friend class GUI_WindowOrder;
  friend class GUI_Cursor;
  int pendingDeletion_ = 0;
  std::vector<GUI_WindowBase*> childWindows_;
  bool open_ = false;
  GUI_WindowBase* parentWindow_ = nullptr;
  bool modal_ = false;
  uint64_t serial_ = 0;
};
