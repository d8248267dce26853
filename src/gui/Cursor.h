#pragma once
// The mouse cursor object: chooses the system cursor for the frame (arrow, wait,
// hand) and carries dragged windows, drawing them over everything.
#include "gui/WindowBase.h"

struct SDL_Cursor;

class GUI_Cursor : public GUI_WindowBase {
 public:
  enum Shape { kArrow = 0, kWait = 1, kHand = 2 };

  GUI_Cursor();
  // Lets go of carried windows without deleting them (they belong to their owners).
  ~GUI_Cursor() override;

  // Draws the carried windows; once the left button is up, drops them all.
  void Draw() override;
  // The cursor never claims the mouse or takes clicks.
  void Process() override {}
  bool LeftClick(float, float) override { return false; }

  // True while it carries at least one window.
  bool IsCarrying() const { return !ChildWindows().empty(); }
  // Lets go of one carried window (it keeps no parent).
  void Release(GUI_WindowBase* window);

  // The shape for this frame: every frame starts with the arrow.
  static void ResetShape();
  static void SetHandCursor();
  static void SetWaitCursor();
  static int Shape();
  // Applies the system cursor of the current shape (on the window's set-cursor event).
  static void ApplySystemCursor();

  int shape = kArrow;

 private:
  SDL_Cursor* system_[3] = {nullptr, nullptr, nullptr};
};

// The single cursor object, built on first use.
GUI_Cursor& GetGUICursor();
