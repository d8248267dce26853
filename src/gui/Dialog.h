#pragma once
// The base of every pop-up window: a framed body, a title bar above it, an optional
// close button, borders that define a client rectangle and optional decorative tabs
// under the bottom edge. Dialogs are dragged by their title bar alone.
#include <memory>
#include <string>

#include "gui/TitleBar.h"
#include "gui/WindowBase.h"

class CLoadedTexture;
class GUI_CloseButton;

struct GUI_Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

class GUI_Dialog : public GUI_WindowBase {
 public:
  static constexpr float kFrameSize = 32.0f;

  // Opens itself in the window order.
  explicit GUI_Dialog(bool withCloseButton);
  ~GUI_Dialog() override;

  void Draw() override;
  bool IsPopup() const override { return true; }
  bool IsMouseOver() override;
  // Only from the title bar.
  void BeginDrag() override;

  void SetPosition(float x, float y);
  // The rectangle inset by the borders (also stored as the client rectangle).
  GUI_Rect GetClientRect();

  void SetTitle(const std::string& text);
  void SetTranslatedTitle(const std::string& key);
  const std::string& Title() const { return title_; }
  void SetFrameCaption(const std::string& text) { frameCaption_ = text; }
  // Shows the two decorative tabs under the bottom edge.
  void ShowBottomTabs(bool on) { bottomTabs_ = on; }

  // Places the title bar on the top edge (inset 40 pixels, 42 high).
  void LayoutTitleBar();
  GUI_TitleBar& TitleBar() { return titleBar_; }
  GUI_CloseButton* CloseButton() const { return closeButton_; }
  // Forgets the close button (its owner removed and deleted it).
  void DropCloseButton() { closeButton_ = nullptr; }
  bool BackdropDrawn() const { return backdropDrawn_; }

  float sideBorder = 6.0f;
  float topBorder = 6.0f;
  float bottomBorder = 6.0f;
  bool drawButtons = true;
  GUI_Rect clientRect;

 protected:
  GUI_CloseButton* closeButton_ = nullptr;  // owned by the button list
  std::string title_;
  bool bottomTabs_ = false;
  bool tabsLaidOut_ = false;
  CLoadedTexture* tabs_ = nullptr;  // "ui_deployment_bg.dds"
  float tabCentreLeft_ = 0.0f, tabCentreRight_ = 0.0f, tabCentreY_ = 0.0f;
  std::string frameCaption_;
  GUI_TitleBar titleBar_;
  bool backdropDrawn_ = false;
};
