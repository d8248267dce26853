#pragma once
// A text field that can hold a mode's keyboard focus (the text edit window
// implements it): the mode hands it every character and key first.
class GUI_KeyboardTarget {
 public:
  virtual ~GUI_KeyboardTarget() = default;
  virtual void OnChar(int character) = 0;
  virtual void OnKeyDown(int key) = 0;
};
