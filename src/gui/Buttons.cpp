#include "gui/Buttons.h"

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "gui/WindowBase.h"

using namespace gui_draw;

// ---------------------------------------------------------------------------
// GUI_ButtonBase

GUI_ButtonBase::GUI_ButtonBase(GUI_ButtonCallback cb, uint32_t data) : callback(cb), userData(data) {}

GUI_ButtonBase::~GUI_ButtonBase() { delete tooltip_; }

bool GUI_ButtonBase::IsMouseInside() const { return HitTest(MouseX(), MouseY()); }

void GUI_ButtonBase::DismissTooltipAfterClick() {
  tooltipDismissed_ = true;
  if (tooltip_) tooltip_->Hide();
}

bool GUI_ButtonBase::LeftClick(float x, float y) {
  if (!HitTest(x, y)) return false;
  DismissTooltipAfterClick();
  // Click may delete this button (a callback closing its own window): nothing of the
  // button is touched afterwards.
  Click();
  return true;
}

void GUI_ButtonBase::Click() {
  const GUI_ToolkitHooks& hooks = GetToolkitHooks();
  if (hooks.isButtonAllowed && !hooks.isButtonAllowed(this)) return;
  if (!enabled) return;
  // Copies first: the tutorial may close the window that holds this button.
  const GUI_ButtonCallback cb = callback;
  const uint32_t data = userData;
  const bool quiet = silent;
  if (hooks.buttonPressed) hooks.buttonPressed(this);
  if (!cb) return;
  if (!quiet) PlayGuiSound(0);
  cb(static_cast<int>(data));
}

void GUI_ButtonBase::Process() {
  // A hidden button is not there for the player: no hand, no tooltip over what took its place.
  const bool over = visible && !GetInputManager().pollFlag && IsMouseInside();
  if (over) {
    if (enabled) {
      hover = 1;
      GUI_Cursor::SetHandCursor();
    }
    if (tooltip_ && tooltipDismissed_) {
      tooltip_->Hide();
    } else if (tooltip_) {
      tooltip_->UpdateFade();
      tooltip_->Draw();
    }
  } else {
    hover = 0;
    tooltipDismissed_ = false;
    if (tooltip_) tooltip_->Hide();
  }
}

void GUI_ButtonBase::Draw() {
  // A button under a modal dialog is drawn but not processed: the mouse leaving it must
  // still take its tooltip away.
  const bool inside = IsMouseInside();
  if (!inside) tooltipDismissed_ = false;
  if (tooltip_ && (!inside || tooltipDismissed_)) tooltip_->Hide();
  if (tooltip_) tooltip_->Draw();
  if (hover == 1 && !inside) hover = 0;
}

void GUI_ButtonBase::SetRect(float l, float t, float r, float b) {
  GUI_BaseElement::SetRect(l, t, r, b);
  if (tooltip_) tooltip_->MoveTo((left + right) * 0.5f - tooltip_->width * 0.5f, static_cast<float>(bottom));
}

void GUI_ButtonBase::SetTooltip(const std::string& textId, int delay) {
  delete tooltip_;
  tooltip_ = new GUI_Tooltip(GetTranslation(textId), delay);
  hover = 0;
  tooltip_->MoveTo((left + right) * 0.5f - tooltip_->width * 0.5f, static_cast<float>(bottom));
}

// ---------------------------------------------------------------------------
// GUIButtonList

GUIButtonList::GUIButtonList() = default;

GUIButtonList::~GUIButtonList() {
  // Move the list out first: a button's destructor must never see a half-deleted list.
  std::vector<GUI_ButtonBase*> doomed;
  doomed.swap(buttons_);
  for (GUI_ButtonBase* b : doomed) delete b;
}

void GUIButtonList::AddButton(GUI_ButtonBase* button) {
  ZT_ASSERT(button != nullptr);
  if (!button) return;
  buttons_.push_back(button);
}

void GUIButtonList::RemoveButton(GUI_ButtonBase* button) {
  buttons_.erase(std::remove(buttons_.begin(), buttons_.end(), button), buttons_.end());
}

void GUIButtonList::Process() { ProcessButtons(); }

void GUIButtonList::ProcessButtons() {
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->Process();
}

bool GUIButtonList::OnClick() {
  const float x = MouseX(), y = MouseY();
  for (size_t i = 0; i < buttons_.size(); ++i) {
    GUI_ButtonBase* b = buttons_[i];
    if (!b->visible || !b->enabled) continue;
    // A true answer may come from a callback that deleted this list: return at once.
    if (b->LeftClick(x, y)) return true;
  }
  return false;
}

void GUIButtonList::DrawButtons() {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->visible) buttons_[i]->Draw();
  }
  FlushAll();
}

// ---------------------------------------------------------------------------
// GUI_ButtonText

GUI_ButtonText::GUI_ButtonText(GUI_ButtonCallback cb, const std::string& labelKey, uint32_t data)
    : GUI_ButtonBase(cb, data) {
  label = GetTranslation(labelKey);
  face_ = FindOrLoadTexture("textbutton.dds");
  faceHover_ = FindOrLoadTexture("textbutton_h.dds");
}

GUI_ButtonText::~GUI_ButtonText() = default;

void GUI_ButtonText::SetLabel(const std::string& key) { label = GetTranslation(key); }
void GUI_ButtonText::SetRawLabel(const std::string& text) { label = text; }

void GUI_ButtonText::ThreeSlice(int l, int w, Slice out[3]) {
  const float middle = static_cast<float>(w - 64);
  out[0] = Slice{l + 16.0f, 32.0f, 0.0f, 0.25f};
  out[1] = Slice{l + 32.0f + middle * 0.5f, middle, 0.5f, 0.75f};
  out[2] = Slice{static_cast<float>(l + w) - 16.0f, 32.0f, 0.75f, 1.0f};
}

void GUI_ButtonText::Draw() {
  CLoadedTexture* tex = (enabled && hover == 1) ? faceHover_ : face_;
  const uint32_t colour = enabled ? 0xFFFFFFFFu : 0xFF808080u;
  Slice slices[3];
  ThreeSlice(left, width, slices);
  const float cy = (top + bottom) * 0.5f;
  for (const Slice& s : slices) {
    if (s.width <= 0.0f) continue;
    QueueCentred(tex, s.centreX, cy, s.width, static_cast<float>(height), s.u0, 0.0f, s.u1, 1.0f, colour);
  }
  if (!label.empty()) {
    UseFont();
    GetTextRenderer().Print(2, label.c_str(), static_cast<float>(left), cy - 13.0f,
                            enabled ? TextColour() : 0x80808080u, static_cast<float>(width));
  }
  GUI_ButtonBase::Draw();
}

// ---------------------------------------------------------------------------
// GUI_IconButton

GUI_IconButton::GUI_IconButton(GUI_ButtonCallback cb, const std::string& textureName, uint32_t data,
                               const std::string& hoverTextureName)
    : GUI_ButtonBase(cb, data) {
  // A name shorter than two characters stands for "no image".
  if (textureName.size() >= 2) normal_ = FindOrLoadTexture(textureName);
  if (hoverTextureName.size() >= 2) {
    hoverTexture_ = FindOrLoadTexture(hoverTextureName);
  } else {
    hoverTexture_ = normal_;
  }
}

GUI_IconButton::~GUI_IconButton() = default;

void GUI_IconButton::Draw() {
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  if (enabled) {
    const bool over = IsMouseInside();
    if (over && drawWhenHovered && hoverTexture_) {
      QueueCentred(hoverTexture_, cx, cy, w, h, 0, 0, 1, 1, 0xFFFFFFFFu);
    } else if (!over && drawWhenNotHovered && normal_) {
      QueueCentred(normal_, cx, cy, w, h, 0, 0, 1, 1, 0xFFFFFFFFu);
    }
  } else if (normal_) {
    QueueCentred(normal_, cx, cy, w, h, 0, 0, 1, 1, 0x80808080u);
  }
  GUI_ButtonBase::Draw();
}

// ---------------------------------------------------------------------------
// GUI_CloseButton

GUI_CloseButton::GUI_CloseButton()
    : GUI_IconButton(nullptr, "dlg_close_button.dds", 0, "dlg_close_button_h.dds") {}

void GUI_CloseButton::Click() {
  // The close button works even while the tutorial blocks buttons.
  GUI_WindowBase* window = owner;
  PlayGuiSound(0);
  ZT_ASSERT(window != nullptr);
  // Deletes this button too; nothing of it is touched afterwards.
  if (window) delete window;
}

// ---------------------------------------------------------------------------
// GUI_ToggleButton

namespace {
GUI_ButtonCallback& ToggleHandler() {
  static GUI_ButtonCallback handler = nullptr;
  return handler;
}
}  // namespace

void GUI_ToggleButton::SetHandler(GUI_ButtonCallback handler) { ToggleHandler() = handler; }

GUI_ToggleButton::GUI_ToggleButton(uint32_t toggleNumber) : GUI_ButtonBase(nullptr, toggleNumber) {
  panel_ = FindOrLoadTexture("minimap_panel.dds");
}

GUI_ToggleButton::~GUI_ToggleButton() = default;

void GUI_ToggleButton::SetFrames(int onFrame, int offFrame) {
  onFrame_ = onFrame;
  offFrame_ = offFrame;
}

void GUI_ToggleButton::Click() {
  on = !on;
  callback = ToggleHandler();
  GUI_ButtonBase::Click();
}

void GUI_ToggleButton::Draw() {
  const int frame = on ? onFrame_ : offFrame_;
  const float u0 = (frame % 8) / 8.0f, v0 = (frame / 8) / 8.0f;
  QueueQuad(panel_, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
            static_cast<float>(bottom), u0, v0, u0 + 0.125f, v0 + 0.125f,
            enabled ? 0xFFFFFFFFu : 0x20FFFFFFu);
  GUI_ButtonBase::Draw();
}

// ---------------------------------------------------------------------------
// GUI_CheckButton

namespace {
constexpr float kCheckBoxSize = 24.0f;
}

GUI_CheckButton::GUI_CheckButton(GUI_ButtonCallback cb, const std::string& labelKey, uint32_t data)
    : GUI_ButtonBase(cb, data) {
  label = GetTranslation(labelKey).substr(0, kMaxLabel);
  box_ = FindOrLoadTexture("gui_square.dds");
  tick_ = FindOrLoadTexture("gui_checkbox_fill.dds");
}

GUI_CheckButton::~GUI_CheckButton() = default;

bool GUI_CheckButton::LeftClick(float x, float y) {
  const float cx = left + 37.0f, cy = top + 21.0f, half = kCheckBoxSize * 0.5f;
  if (x < cx - half || x >= cx + half || y < cy - half || y >= cy + half) return false;
  DismissTooltipAfterClick();
  checked = !checked;
  Click();
  return true;
}

void GUI_CheckButton::Draw() {
  const float areaLeft = left + 64.0f;
  FlushSprites();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, areaLeft, top + 5.0f, right - 10.0f, bottom - 5.0f);
  const uint32_t colour = enabled ? 0xFFFFFFFFu : 0x80808080u;
  QueueCentred(box_, left + 37.0f, top + 21.0f, kCheckBoxSize, kCheckBoxSize, 0, 0, 1, 1, colour);
  if (checked)
    QueueCentred(tick_, left + 37.0f, top + 21.0f, kCheckBoxSize, kCheckBoxSize, 0, 0, 1, 1, colour);
  if (!label.empty()) {
    UseFont();
    GetTextRenderer().Print(0, label.c_str(), areaLeft + 10.0f, top + 6.0f,
                            enabled ? TextColour() : 0x80808080u);
  }
  GUI_ButtonBase::Draw();
}
