#pragma once
// The scroll bar (a strip with an arrow button at each end, a track and a draggable
// thumb, drawn from the interface atlas) and the word-wrapped text box that adds one
// when its text does not fit. The bar keeps an integer position from 0 to a maximum and
// raises a changed flag its owner polls; the owner tells it the total and the visible
// amount so the thumb has the right length.
#include <string>
#include <vector>

#include "gui/Buttons.h"
#include "gui/WindowBase.h"

class CLoadedTexture;
class GUI_ScrollingWindow;

// One of the bar's arrow buttons: moves its bar by one step.
class GUI_ScrollButton : public GUI_IconButton {
 public:
  GUI_ScrollButton(GUI_ScrollingWindow* bar, bool increase);
  void Click() override;
  void Draw() override;

  bool increase = false;

 private:
  GUI_ScrollingWindow* bar_ = nullptr;
};

class GUI_ScrollingWindow : public GUI_WindowBase {
 public:
  enum Orientation { kHorizontal = 0, kVertical = 1 };
  struct Area {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(float x, float y) const {
      return !Empty() && x >= left && x < right && y >= top && y < bottom;
    }
  };

  explicit GUI_ScrollingWindow(int orientation);
  ~GUI_ScrollingWindow() override;

  bool LeftClick(float x, float y) override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  // The drag update, then the layout and the drawing.
  void Draw() override;
  void SetRect(float left, float top, float right, float bottom) override;

  // Moves the position by the steps, clamped to 0..maximum; true (and the changed flag)
  // only when it really moved.
  bool ScrollBy(int steps);
  // Sets the position, clamped; the changed flag when it moved.
  void SetPosition(int position);
  // Total and visible amounts of content and the largest position (the position is
  // clamped to the new maximum).
  void SetRange(float total, float visible, int maximum);

  int Position() const { return position_; }
  int Maximum() const { return maximum_; }
  float Total() const { return total_; }
  float Visible() const { return visible_; }
  bool IsDragging() const { return dragging_; }
  bool Vertical() const { return orientation_ == kVertical; }
  // Areas of the last layout (Draw, SetRect and SetRange lay out).
  const Area& DecreaseArea() const { return decreaseArea_; }
  const Area& IncreaseArea() const { return increaseArea_; }
  const Area& Thumb() const { return thumb_; }
  GUI_ScrollButton* IncreaseButton() const { return increaseButton_; }
  GUI_ScrollButton* DecreaseButton() const { return decreaseButton_; }
  // The button size: the bar's width (vertical) or height (horizontal).
  float ButtonSize() const;
  // Queues a piece of the atlas over the box, turned a quarter clockwise on a vertical bar
  // so art drawn for a horizontal bar runs down it.
  void QueuePiece(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1,
                  uint32_t colour = 0xFFFFFFFFu) const;
  CLoadedTexture* Atlas() const { return atlas_; }

  bool changed = false;

 private:
  void Layout();
  void UpdateThumbDrag();

  int position_ = 0;
  int maximum_ = 0;
  float total_ = 0.0f;
  float visible_ = 0.0f;
  GUI_ScrollButton* increaseButton_ = nullptr;  // owned by the button list
  GUI_ScrollButton* decreaseButton_ = nullptr;
  Area decreaseArea_, increaseArea_, thumb_;
  bool dragging_ = false;
  float grabOffsetY_ = 0.0f;
  float grabOffsetX_ = 0.0f;
  int orientation_ = kHorizontal;
  CLoadedTexture* atlas_ = nullptr;  // "ui_deployment_bg.dds"
};

// A box of word-wrapped text with a vertical scroll bar when the text does not fit.
class GUI_TextContainer : public GUI_WindowBase {
 public:
  GUI_TextContainer();
  ~GUI_TextContainer() override;

  // Stores the box, takes it as the window rectangle and wraps the text into it.
  void SetText(const std::string& text, float left, float top, float right, float bottom);
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  bool Fits() const { return fits_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& Text() const { return text_; }
  GUI_ScrollingWindow* ScrollBar() const { return scrollBar_; }
  // Lines that fit the box at once (for a text that does not fit).
  int LinesShown() const;

 private:
  void Wheel(bool up);
  void UpdateRange();

  std::vector<std::string> lines_;
  GUI_ScrollingWindow* scrollBar_ = nullptr;  // child window
  int boxLeft_ = 0, boxTop_ = 0, boxRight_ = 0, boxBottom_ = 0;
  bool fits_ = true;
  std::string text_;
};
