#pragma once
// Which windows are open and in which order they lie on the screen. Modal windows
// alone take input while any is open; pop-ups (dialogs, drop-down lists) draw over
// plain windows; windows asked to be deleted later go after the frame's processing.
#include <vector>

class GUI_WindowBase;

class GUI_WindowOrder {
 public:
  GUI_WindowOrder() = default;
  GUI_WindowOrder(const GUI_WindowOrder&) = delete;
  GUI_WindowOrder& operator=(const GUI_WindowOrder&) = delete;

  // Moves (or appends) the window to the end of the open list: the top of the screen.
  void AddOpen(GUI_WindowBase* window);
  void RemoveOpen(GUI_WindowBase* window);
  void AddModal(GUI_WindowBase* window);
  void RemoveModal(GUI_WindowBase* window);
  // Only a window that is open moves to the top.
  void BringToFront(GUI_WindowBase* window);
  // Deletes the window after the next Process (the window stays usable until then).
  void DeleteLater(GUI_WindowBase* window);
  void RemoveDeleteLater(GUI_WindowBase* window);
  void FlushDeleted();

  // Plain windows first, then pop-ups, each first-opened first; dragged windows are
  // drawn by the cursor that carries them.
  void Draw();
  // Modal windows newest first when any, else open windows topmost first; then FlushDeleted.
  void Process();
  bool LeftClick();
  bool RightClick();
  void OnWheelUp();
  void OnWheelDown();
  bool IsAnyPopupOpen() const;
  // Dismisses (deletes, or for a drop-down column closes) the topmost pop-up; false when
  // none is open.
  bool CloseTopmost();

  const std::vector<GUI_WindowBase*>& OpenWindows() const { return open_; }
  const std::vector<GUI_WindowBase*>& ModalWindows() const { return modal_; }
  const std::vector<GUI_WindowBase*>& DeleteLaterWindows() const { return deleteLater_; }

 private:
  void Wheel(bool up);
  std::vector<GUI_WindowBase*> open_;
  std::vector<GUI_WindowBase*> modal_;
  std::vector<GUI_WindowBase*> deleteLater_;
};

// The single window order, built on first use.
GUI_WindowOrder& GetWindowOrder();
