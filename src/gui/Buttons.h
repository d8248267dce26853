#pragma once
// Every clickable control is a button held in a button list (the base of every
// window and the second base of every menu-style game mode). A button carries a
// plain callback and one integer of user data; a click asks the tutorial first,
// plays the interface click sound and calls back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/GUI_BaseElement.h"

class GUI_Tooltip;
class GUI_WindowBase;
class CLoadedTexture;

// A button's click callback: takes the button's user data.
using GUI_ButtonCallback = int (*)(int);

class GUI_ButtonBase : public GUI_BaseElement {
 public:
  explicit GUI_ButtonBase(GUI_ButtonCallback callback = nullptr, uint32_t userData = 0);
  ~GUI_ButtonBase() override;

  // HitTest, then Click; true when the point was on the button.
  bool LeftClick(float x, float y) override;
  // Base: queues the tooltip; drops the hover state once the mouse has left.
  void Draw() override;
  // Also re-anchors the tooltip under the button.
  void SetRect(float left, float top, float right, float bottom) override;

  // Tutorial check, enabled check, tutorial notice, sound, callback (in that order).
  virtual void Click();
  // Per frame: hover state, hand cursor and tooltip while the mouse is over a shown button.
  virtual void Process();

  // Replaces the tooltip with one for the translated text id; `delay` is the number
  // of still-mouse polls before it fades in.
  void SetTooltip(const std::string& textId, int delay);
  GUI_Tooltip* Tooltip() const { return tooltip_; }

  // True when the input object's cursor is inside the button.
  bool IsMouseInside() const;

  uint32_t hover = 0;  // 1 while the mouse is over an enabled button this frame
  GUI_ButtonCallback callback = nullptr;
  uint32_t userData = 0;
  GUI_WindowBase* owner = nullptr;  // set when added to a window
  bool enabled = true;
  bool visible = true;
  bool silent = false;  // no click sound
  std::string label;

 protected:
  // A click has answered the tooltip's question: it goes at once and stays away until the
  // mouse leaves the button, rather than lying over the dialog the click opened.
  void DismissTooltipAfterClick();

  GUI_Tooltip* tooltip_ = nullptr;  // owned
  bool tooltipDismissed_ = false;
};

// An ordered list of buttons that owns them.
class GUIButtonList : public GUI_BaseElement {
 public:
  GUIButtonList();
  ~GUIButtonList() override;

  // Appends (a null button is a failed check and is not added).
  virtual void AddButton(GUI_ButtonBase* button);
  // Base: ProcessButtons.
  virtual void Process();

  // Erases every entry equal to the pointer; the caller keeps the button.
  void RemoveButton(GUI_ButtonBase* button);
  // The first visible, enabled button under the input cursor takes the click.
  // A callback may delete this list: nothing of it is touched after a click.
  bool OnClick();
  // Process of every button (the list's own processing, for modes that override Process).
  void ProcessButtons();
  // Draw of every visible button, then the text batch is flushed.
  void DrawButtons();

  const std::vector<GUI_ButtonBase*>& Buttons() const { return buttons_; }

 protected:
  std::vector<GUI_ButtonBase*> buttons_;
};

// A three-slice button with a translated label.
class GUI_ButtonText : public GUI_ButtonBase {
 public:
  GUI_ButtonText(GUI_ButtonCallback callback, const std::string& labelKey, uint32_t userData);
  ~GUI_ButtonText() override;
  void Draw() override;

  void SetLabel(const std::string& key);      // translated
  void SetRawLabel(const std::string& text);  // as given

  // The three pieces of the face for a button rectangle (exposed for layout checks).
  struct Slice {
    float centreX, width, u0, u1;
  };
  static void ThreeSlice(int left, int width, Slice out[3]);

 protected:
  CLoadedTexture* face_ = nullptr;       // "textbutton.dds"
  CLoadedTexture* faceHover_ = nullptr;  // "textbutton_h.dds"
};

// One texture stretched over the rectangle, with a hover image.
class GUI_IconButton : public GUI_ButtonBase {
 public:
  GUI_IconButton(GUI_ButtonCallback callback, const std::string& textureName, uint32_t userData,
                 const std::string& hoverTextureName = std::string());
  ~GUI_IconButton() override;
  void Draw() override;

  bool drawWhenHovered = true;
  bool drawWhenNotHovered = true;

 protected:
  CLoadedTexture* normal_ = nullptr;
  CLoadedTexture* hoverTexture_ = nullptr;
};

// The dialog close button: deletes its owner window, whatever the tutorial says.
class GUI_CloseButton : public GUI_IconButton {
 public:
  GUI_CloseButton();
  void Click() override;
};

// A two-state button of the battle HUD's minimap panel.
class GUI_ToggleButton : public GUI_ButtonBase {
 public:
  // Every toggle button calls the battle HUD's toggle handler with its toggle number.
  explicit GUI_ToggleButton(uint32_t toggleNumber);
  ~GUI_ToggleButton() override;
  void Click() override;
  void Draw() override;

  // The minimap-panel frames (8 x 8 grid) shown when on and off.
  void SetFrames(int onFrame, int offFrame);

  // The battle HUD installs its toggle handler here; every toggle button calls it.
  static void SetHandler(GUI_ButtonCallback handler);

  bool on = false;

 protected:
  CLoadedTexture* panel_ = nullptr;  // "minimap_panel.dds"
  int onFrame_ = 0;
  int offFrame_ = 1;
};

// A check box with a label; only a click on the box counts.
class GUI_CheckButton : public GUI_ButtonBase {
 public:
  static constexpr size_t kMaxLabel = 63;
  GUI_CheckButton(GUI_ButtonCallback callback, const std::string& labelKey, uint32_t userData);
  ~GUI_CheckButton() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;

  bool checked = false;

 protected:
  CLoadedTexture* box_ = nullptr;   // "gui_square.dds"
  CLoadedTexture* tick_ = nullptr;  // "gui_checkbox_fill.dds"
};
