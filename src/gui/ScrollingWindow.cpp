#include "gui/ScrollingWindow.h"

#include <algorithm>

#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/ToolkitHooks.h"

using namespace gui_draw;

namespace {
// Atlas regions of "ui_deployment_bg.dds" (u0, u1; rows share v).
constexpr float kButtonV0 = 0.5f, kButtonV1 = 0.625f;
constexpr float kDecreaseU0 = 0.0625f, kDecreaseU1 = 0.09375f;
constexpr float kDecreaseLitU0 = 0.125f, kDecreaseLitU1 = 0.15625f;
constexpr float kIncreaseU0 = 0.09375f, kIncreaseU1 = 0.125f;
constexpr float kIncreaseLitU0 = 0.15625f, kIncreaseLitU1 = 0.19140625f;
constexpr float kCapU0 = 0.0f, kCapU1 = 0.03125f;
constexpr float kTrackU0 = 0.03125f, kTrackU1 = 0.0322f;
constexpr float kThumbV0 = 0.125f, kThumbV1 = 0.1953125f;
constexpr float kThumbNearU0 = 0.1875f, kThumbNearU1 = 0.21875f;
constexpr float kThumbMiddleU0 = 0.21875f, kThumbMiddleU1 = 0.25f;
constexpr float kThumbFarU0 = 0.25f, kThumbFarU1 = 0.28125f;

float Clamp01(float f) { return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f); }
}  // namespace

// ---------------------------------------------------------------------------
// GUI_ScrollButton

GUI_ScrollButton::GUI_ScrollButton(GUI_ScrollingWindow* bar, bool inc)
    : GUI_IconButton(nullptr, "", 0), increase(inc), bar_(bar) {}

void GUI_ScrollButton::Click() {
  if (!IsButtonAllowed(this) || !enabled) return;
  ButtonPressed(this);
  if (!silent) PlayGuiSound(0);
  if (bar_) bar_->ScrollBy(increase ? 1 : -1);
}

void GUI_ScrollButton::Draw() {
  if (!bar_) return;
  const bool lit = enabled && IsMouseInside();
  float u0, u1;
  if (increase) {
    u0 = lit ? kIncreaseLitU0 : kIncreaseU0;
    u1 = lit ? kIncreaseLitU1 : kIncreaseU1;
  } else {
    u0 = lit ? kDecreaseLitU0 : kDecreaseU0;
    u1 = lit ? kDecreaseLitU1 : kDecreaseU1;
  }
  bar_->QueuePiece(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                   static_cast<float>(bottom), u0, kButtonV0, u1, kButtonV1,
                   enabled ? 0xFFFFFFFFu : 0x80808080u);
  GUI_ButtonBase::Draw();
}

// ---------------------------------------------------------------------------
// GUI_ScrollingWindow

GUI_ScrollingWindow::GUI_ScrollingWindow(int orientation)
    : orientation_(orientation == 1 ? kVertical : kHorizontal) {
  atlas_ = FindOrLoadTexture("ui_deployment_bg.dds");
  increaseButton_ = new GUI_ScrollButton(this, true);
  decreaseButton_ = new GUI_ScrollButton(this, false);
  AddButton(increaseButton_);
  AddButton(decreaseButton_);
  // The bar answers clicks on itself; it never moves to the top of the window order.
  raisesOnClick = false;
}

GUI_ScrollingWindow::~GUI_ScrollingWindow() = default;

float GUI_ScrollingWindow::ButtonSize() const {
  return static_cast<float>(orientation_ == kVertical ? width : height);
}

void GUI_ScrollingWindow::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  Layout();
}

bool GUI_ScrollingWindow::ScrollBy(int steps) {
  const int old = position_;
  position_ = std::max(0, std::min(maximum_, position_ + steps));
  if (position_ == old) return false;
  changed = true;
  Layout();
  return true;
}

void GUI_ScrollingWindow::SetPosition(int p) {
  const int old = position_;
  position_ = std::max(0, std::min(maximum_, p));
  if (position_ != old) changed = true;
  Layout();
}

void GUI_ScrollingWindow::SetRange(float total, float shown, int maximum) {
  total_ = total;
  visible_ = shown;
  maximum_ = std::max(0, maximum);
  if (position_ > maximum_) {
    position_ = maximum_;
    changed = true;
  }
  Layout();
}

void GUI_ScrollingWindow::Layout() {
  const bool vertical = orientation_ == kVertical;
  const float b = ButtonSize();
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              bt = static_cast<float>(bottom);
  if (vertical) {
    decreaseButton_->SetRect(l, t, r, t + b);
    increaseButton_->SetRect(l, bt - b, r, bt);
  } else {
    decreaseButton_->SetRect(l, t, l + b, bt);
    increaseButton_->SetRect(r - b, t, r, bt);
  }
  decreaseArea_ = increaseArea_ = thumb_ = Area{};
  if (total_ <= 0.0f) return;
  const float start = vertical ? t : l;
  const float length = static_cast<float>(vertical ? height : width);
  const float thumbFraction = Clamp01(visible_ / total_);
  // Everything visible (maximum 0) puts the thumb at the start instead of dividing by 0.
  const float positionFraction = maximum_ > 0 ? Clamp01(static_cast<float>(position_) / maximum_) : 0.0f;
  const float track = std::max(0.0f, length - 2.0f * b);
  const float thumbLength = std::max(track * thumbFraction, 2.0f * b);
  const float centre = start + (2.0f * b + thumbLength) * 0.5f + (track - thumbLength) * positionFraction;
  const float thumbStart = centre - thumbLength * 0.5f, thumbEnd = centre + thumbLength * 0.5f;
  if (vertical) {
    decreaseArea_ = Area{l, t + b, r, thumbStart};
    increaseArea_ = Area{l, thumbEnd, r, bt - b};
    thumb_ = Area{l, thumbStart, r, thumbEnd};
  } else {
    decreaseArea_ = Area{l + b, t, thumbStart, bt};
    increaseArea_ = Area{thumbEnd, t, r - b, bt};
    thumb_ = Area{thumbStart, t, thumbEnd, bt};
  }
}

bool GUI_ScrollingWindow::LeftClick(float x, float y) {
  if (!visible) return false;
  if (OnClick()) return true;
  if (decreaseArea_.Contains(x, y)) {
    ScrollBy(-1);
    return true;
  }
  if (increaseArea_.Contains(x, y)) {
    ScrollBy(1);
    return true;
  }
  if (thumb_.Contains(x, y)) {
    dragging_ = true;
    grabOffsetY_ = y - thumb_.top;
    grabOffsetX_ = x - (thumb_.left + thumb_.right) * 0.5f;
    return true;
  }
  return HitTest(x, y);
}

void GUI_ScrollingWindow::OnWheelUp() {
  if (visible && IsMouseOver()) ScrollBy(-1);
}

void GUI_ScrollingWindow::OnWheelDown() {
  if (visible && IsMouseOver()) ScrollBy(1);
}

void GUI_ScrollingWindow::UpdateThumbDrag() {
  if (!dragging_) return;
  if (!LeftHeld()) {
    dragging_ = false;
    return;
  }
  const bool vertical = orientation_ == kVertical;
  const float b = ButtonSize();
  float p, low, high, span;
  if (vertical) {
    p = MouseY() - grabOffsetY_;
    low = top + b;
    high = bottom - b;
    span = height - 2.0f * b;
  } else {
    p = MouseX() - grabOffsetX_;
    low = left + b;
    high = right - b;
    span = width - 2.0f * b;
  }
  p = std::max(low, std::min(high, p));
  const float fraction = span > 0.0f ? (p - low) / span : 0.0f;
  SetPosition(static_cast<int>(fraction * total_));
}

void GUI_ScrollingWindow::QueuePiece(float l, float t, float r, float b, float u0, float v0, float u1,
                                     float v1, uint32_t colour) const {
  if (orientation_ != kVertical) {
    QueueQuad(atlas_, l, t, r, b, u0, v0, u1, v1, colour);
    return;
  }
  // A quarter turn clockwise: the art's left edge runs along the top, its top edge down
  // the right-hand side.
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(atlas_);
  GVertex q[4];
  const float x0 = l - 0.5f, y0 = t - 0.5f, x1 = r - 0.5f, y1 = b - 0.5f;
  q[0].x = x0, q[0].y = y0, q[0].u = u0, q[0].v = v1;
  q[1].x = x1, q[1].y = y0, q[1].u = u0, q[1].v = v0;
  q[2].x = x0, q[2].y = y1, q[2].u = u1, q[2].v = v1;
  q[3].x = x1, q[3].y = y1, q[3].u = u1, q[3].v = v0;
  for (GVertex& v : q) v.colour = colour;
  vb.AddVertices(q, 4);
}

void GUI_ScrollingWindow::Draw() {
  UpdateThumbDrag();
  Layout();
  if (!visible) return;
  const bool vertical = orientation_ == kVertical;
  const float b = ButtonSize();
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              bt = static_cast<float>(bottom);
  // The track between the buttons: a cap at each end (the far one mirrored), a stretched middle.
  if (vertical) {
    const float s = t + b, e = bt - b;
    const float cap = std::min(b, std::max(0.0f, (e - s) * 0.5f));
    QueuePiece(l, s, r, s + cap, kCapU0, kButtonV0, kCapU1, kButtonV1);
    QueuePiece(l, s + cap, r, e - cap, kTrackU0, kButtonV0, kTrackU1, kButtonV1);
    QueuePiece(l, e - cap, r, e, kCapU1, kButtonV0, kCapU0, kButtonV1);
  } else {
    const float s = l + b, e = r - b;
    const float cap = std::min(b, std::max(0.0f, (e - s) * 0.5f));
    QueuePiece(s, t, s + cap, bt, kCapU0, kButtonV0, kCapU1, kButtonV1);
    QueuePiece(s + cap, t, e - cap, bt, kTrackU0, kButtonV0, kTrackU1, kButtonV1);
    QueuePiece(e - cap, t, e, bt, kCapU1, kButtonV0, kCapU0, kButtonV1);
  }
  if (!thumb_.Empty()) {
    // End pieces b long at each end of the thumb, the middle stretched between them.
    const float ts = vertical ? thumb_.top : thumb_.left, te = vertical ? thumb_.bottom : thumb_.right;
    const float end = std::min(b, (te - ts) * 0.5f);
    const float ms = ts + end, me = std::max(ms, te - end);
    if (vertical) {
      QueuePiece(l, ts, r, ms, kThumbNearU0, kThumbV0, kThumbNearU1, kThumbV1);
      if (me > ms) QueuePiece(l, ms, r, me, kThumbMiddleU0, kThumbV0, kThumbMiddleU1, kThumbV1);
      QueuePiece(l, me, r, te, kThumbFarU0, kThumbV0, kThumbFarU1, kThumbV1);
    } else {
      QueuePiece(ts, t, ms, bt, kThumbNearU0, kThumbV0, kThumbNearU1, kThumbV1);
      if (me > ms) QueuePiece(ms, t, me, bt, kThumbMiddleU0, kThumbV0, kThumbMiddleU1, kThumbV1);
      QueuePiece(me, t, te, bt, kThumbFarU0, kThumbV0, kThumbFarU1, kThumbV1);
    }
  }
  DrawButtons();
}

// ---------------------------------------------------------------------------
// GUI_TextContainer

GUI_TextContainer::GUI_TextContainer() {
  scrollBar_ = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scrollBar_);
  scrollBar_->visible = false;
  // A text box never takes a click for itself.
  blocksClicks = false;
  raisesOnClick = false;
}

GUI_TextContainer::~GUI_TextContainer() = default;

namespace {
float LineHeight() {
  TextRenderer& text = GetTextRenderer();
  const LibFont* font = text.CurrentFont();
  return text.Size() + (font ? static_cast<float>(font->leading) : 0.0f);
}
}  // namespace

void GUI_TextContainer::SetText(const std::string& text, float l, float t, float r, float b) {
  boxLeft_ = static_cast<int>(l);
  boxTop_ = static_cast<int>(t);
  boxRight_ = static_cast<int>(r);
  boxBottom_ = static_cast<int>(b);
  SetRect(l, t, r, b);
  text_ = text;
  lines_.clear();
  UseFont();
  TextRenderer& renderer = GetTextRenderer();
  const float boxWidth = static_cast<float>(boxRight_ - boxLeft_);
  const float boxHeight = static_cast<float>(boxBottom_ - boxTop_);
  fits_ = renderer.GetWrappedHeight(text_.c_str(), boxWidth - 10.0f) < boxHeight - 10.0f;
  if (!fits_) {
    std::string remaining = text_;
    while (!remaining.empty()) {
      std::string line = remaining, rest;
      renderer.NextLine(line, boxWidth - 20.0f, rest);
      lines_.push_back(line);
      // A splitter that makes no progress must not hang the game.
      if (rest.size() >= remaining.size()) break;
      remaining = rest;
    }
  }
  scrollBar_->SetRect(r - 10.0f, t, r, b);
  scrollBar_->visible = !fits_;
  scrollBar_->SetPosition(0);
  scrollBar_->changed = false;
  UpdateRange();
}

int GUI_TextContainer::LinesShown() const {
  const float h = LineHeight();
  if (h <= 0.0f) return static_cast<int>(lines_.size());
  int shown = 0;
  for (float y = boxTop_ + 6.0f; y < boxBottom_ - h - 5.0f && shown < static_cast<int>(lines_.size()); y += h)
    ++shown;
  return shown;
}

void GUI_TextContainer::UpdateRange() {
  if (fits_) {
    scrollBar_->SetRange(0.0f, 0.0f, 0);
    return;
  }
  UseFont();
  const int lines = static_cast<int>(lines_.size());
  const int shown = LinesShown();
  scrollBar_->SetRange(static_cast<float>(lines), static_cast<float>(shown), std::max(0, lines - shown));
}

void GUI_TextContainer::Draw() {
  if (!visible) return;
  TextRenderer& renderer = GetTextRenderer();
  UseFont();
  if (fits_) {
    if (renderer.IsInitialised())
      renderer.PrintWrapped(text_.c_str(), TextColour(), boxLeft_ + 5.0f, boxTop_ + 6.0f,
                            static_cast<float>(boxRight_ - boxLeft_) - 10.0f);
    FlushAll();
    return;
  }
  const float h = LineHeight();
  const int first = scrollBar_->Position();
  int printed = 0;
  if (h > 0.0f) {
    for (float y = boxTop_ + 6.0f; y < boxBottom_ - h - 5.0f; y += h) {
      const size_t index = static_cast<size_t>(first + printed);
      if (index >= lines_.size()) break;
      if (renderer.IsInitialised())
        renderer.Print(0, lines_[index].c_str(), boxLeft_ + 5.0f, y, TextColour());
      ++printed;
    }
  }
  FlushAll();
  const int lines = static_cast<int>(lines_.size());
  // The page is what fits the box, also on the last page where fewer lines remain.
  scrollBar_->SetRange(static_cast<float>(lines), static_cast<float>(std::max(printed, LinesShown())),
                       std::max(0, lines - LinesShown()));
  DrawChildren();
}

void GUI_TextContainer::Wheel(bool up) {
  if (!visible || !IsMouseOver()) return;
  // Other children first; the bar itself is moved once, here.
  const Ref self = MakeRef();
  for (GUI_WindowBase* child : std::vector<GUI_WindowBase*>(ChildWindows())) {
    if (child == scrollBar_ || !IsAlive(child)) continue;
    if (up) {
      child->OnWheelUp();
    } else {
      child->OnWheelDown();
    }
    if (!self.Alive()) return;
  }
  if (!fits_) scrollBar_->ScrollBy(up ? -1 : 1);
}

void GUI_TextContainer::OnWheelUp() { Wheel(true); }
void GUI_TextContainer::OnWheelDown() { Wheel(false); }
