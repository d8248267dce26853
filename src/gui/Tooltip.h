#pragma once
// The hover tooltip that buttons and edit windows own. It fades in once the mouse has
// stayed still for its delay (polls of the input object), and is drawn from a per-frame
// queue after the windows, so it lies over them.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/GUI_BaseElement.h"

class GUI_Tooltip : public GUI_BaseElement {
 public:
  static constexpr float kMaxWidth = 240.0f;
  static constexpr float kFontSize = 16.0f;

  GUI_Tooltip(const std::string& text, int delay);
  // Leaves the draw queue, so a tooltip deleted mid-frame is never drawn.
  ~GUI_Tooltip() override;

  bool LeftClick(float, float) override { return false; }
  // Queues the tooltip for this frame's DrawQueued (once per frame).
  void Draw() override;

  void AddLine(const std::string& text);
  // While the mouse is over the owner: fades in once the still counter exceeds the delay.
  // Owners call it every frame they see the mouse over them; a tooltip whose owner did not
  // this frame (a modal window took the input, the owner is no longer processed) is
  // hidden by the tooltip pass instead of staying on screen.
  void UpdateFade();
  // The mouse left the owner: invisible again until the next still period.
  void Hide() { alpha = 0.0f; }

  // Width and height for the current lines.
  void Layout();
  // Where it opens for a mouse position on a screen of the given size.
  void PlaceAtMouse(float mouseX, float mouseY, int screenW, int screenH);

  // Draws and empties the queue (after the window order's Draw) and starts the next frame.
  static void DrawQueued();
  // Empties the queue without drawing (tests, mode changes).
  static void ClearQueue();
  static const std::vector<GUI_Tooltip*>& Queue();

  const std::vector<std::string>& Lines() const { return lines_; }

  int delay = 0;
  float alpha = 0.0f;
  float x = 0.0f;
  float y = 0.0f;
  float textWidth = 10.0f;  // laid-out width
  float textHeight = 0.0f;  // laid-out height

 private:
  void DrawOne();
  std::vector<std::string> lines_;
  uint64_t fadeFrame_ = ~uint64_t{0};  // the tooltip frame of the last UpdateFade
};
