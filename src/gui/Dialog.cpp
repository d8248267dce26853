#include "gui/Dialog.h"

#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/ToolkitHooks.h"

using namespace gui_draw;

namespace {
bool HighDetail() { return GetToolkitHooks().highDetail ? GetToolkitHooks().highDetail() : true; }
}  // namespace

GUI_Dialog::GUI_Dialog(bool withCloseButton) {
  // Dialogs can be moved by their title bar.
  draggable = true;
  tabs_ = FindOrLoadTexture("ui_deployment_bg.dds");
  if (withCloseButton) {
    closeButton_ = new GUI_CloseButton();
    AddButton(closeButton_);
  }
  Open();
}

GUI_Dialog::~GUI_Dialog() = default;

bool GUI_Dialog::IsMouseOver() {
  const float x = MouseX(), y = MouseY();
  return (!title_.empty() && titleBar_.HitTest(x, y)) || HitTest(x, y);
}

void GUI_Dialog::BeginDrag() {
  if (!title_.empty() && titleBar_.HitTest(MouseX(), MouseY())) GUI_WindowBase::BeginDrag();
}

void GUI_Dialog::SetPosition(float x, float y) { MoveWithContents(x, y); }

GUI_Rect GUI_Dialog::GetClientRect() {
  clientRect.left = static_cast<int>(left + sideBorder);
  clientRect.top = static_cast<int>(top + topBorder);
  clientRect.right = static_cast<int>(right - sideBorder);
  clientRect.bottom = static_cast<int>(bottom - bottomBorder);
  return clientRect;
}

void GUI_Dialog::SetTitle(const std::string& text) {
  title_ = text;
  // A dialog titled before it has a size fits the title when it is drawn.
  if (right - left > 80) LayoutTitleBar();
}

void GUI_Dialog::SetTranslatedTitle(const std::string& key) { SetTitle(GetTranslation(key)); }

void GUI_Dialog::LayoutTitleBar() {
  titleBar_.SetRect(left + 40.0f, top - 37.0f, right - 40.0f, top + 5.0f);
  titleBar_.SetText(title_);
}

void GUI_Dialog::Draw() {
  // The bar follows the dialog (it may have moved); an untitled dialog has no text to fit,
  // but its close button still takes its place from the bar's.
  if (title_.empty()) {
    titleBar_.SetRect(left + 40.0f, top - 37.0f, right - 40.0f, top + 5.0f);
  } else {
    LayoutTitleBar();
  }
  if (closeButton_) {
    const float bl = static_cast<float>(titleBar_.right), bt = static_cast<float>(titleBar_.top);
    closeButton_->SetRect(bl - 76.0f, bt + 10.0f, bl - 54.0f, bt + 32.0f);
  }
  GetClientRect();
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  backdropDrawn_ = HighDetail();
  if (backdropDrawn_) DrawWindowBackground(SHARED_WINDOW_OVERLAY, kFrameSize, l, t, r, b);
  if (bottomTabs_) {
    if (!tabsLaidOut_) {
      const float cx = (l + r) * 0.5f;
      tabCentreLeft_ = cx - 63.0f;
      tabCentreRight_ = cx + 63.0f;
      tabsLaidOut_ = true;
    }
    // Laid out once, but they follow the dialog when it is dragged.
    const float shift = (l + r) * 0.5f - (tabCentreLeft_ + tabCentreRight_) * 0.5f;
    tabCentreLeft_ += shift;
    tabCentreRight_ += shift;
    tabCentreY_ = b + 16.0f;
    QueueCentred(tabs_, tabCentreLeft_, tabCentreY_, 128.0f, 32.0f, 0.3125f, 0.0f, 0.4375f, 0.125f,
                 0xFFFFFFFFu);
    QueueCentred(tabs_, tabCentreRight_, tabCentreY_, 128.0f, 32.0f, 0.4375f, 0.0f, 0.3125f, 0.125f,
                 0xFFFFFFFFu);
  }
  if (!title_.empty()) titleBar_.Draw();
  // Over the backdrop the frame adds only its border; without it the frame is the body.
  DrawGUITexture(SHARED_WINDOW_BACKGROUND, kFrameSize, 1.0f, !backdropDrawn_, l, t, r, b);
  if (!frameCaption_.empty()) {
    UseFont();
    GetTextRenderer().Print(0, frameCaption_.c_str(), l + kFrameSize * 0.5f, t + 8.0f, TextColour());
  }
  if (drawButtons) DrawButtons();
}
