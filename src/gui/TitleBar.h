#pragma once
// The title bar drawn on top of dialogs and panels: two caps and a stretched middle
// from "titlebar.dds", two ornaments from the interface atlas, and the title.
#include <memory>
#include <string>

#include "gui/WindowBase.h"

class CLoadedTexture;

class GUI_TitleBar : public GUI_WindowBase {
 public:
  static constexpr float kHeight = 42.0f;
  static constexpr float kCapWidth = 63.0f;

  GUI_TitleBar();
  ~GUI_TitleBar() override;
  void Draw() override;

  // Shortened to fit the bar (a bar narrower than 1 pixel is a failed check).
  void SetText(const std::string& text);
  const std::string& Text() const { return title_; }

 private:
  CLoadedTexture* bar_ = nullptr;    // "titlebar.dds": caps and middle
  CLoadedTexture* atlas_ = nullptr;  // "ui_deployment_bg.dds": ornaments
  std::string title_;
};
