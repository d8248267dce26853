#include "gui/TextEditWindow.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"

using namespace gui_draw;

namespace {

std::vector<GUI_TextEditWindow*>& EditWindows() {
  static auto* list = new std::vector<GUI_TextEditWindow*>();
  return *list;
}

// Where Print puts each character of a line starting at x: the glyph box's left edge
// (spaces and tabs have no glyph) and the pen position after the character.
struct GlyphPlace {
  float left = 0.0f;
  float after = 0.0f;
  bool glyph = false;
};

std::vector<GlyphPlace> LayOut(const std::string& text, float x) {
  std::vector<GlyphPlace> places;
  TextRenderer& renderer = GetTextRenderer();
  const LibFont* font = renderer.CurrentFont();
  float px = std::floor(x);
  if (!font) {
    for (size_t i = 0; i < text.size(); ++i) places.push_back(GlyphPlace{px, px, false});
    return places;
  }
  const float scale = renderer.Size() / float(font->baseSize);
  int previous = -1;
  for (unsigned char c : text) {
    GlyphPlace p;
    if (c == 146) c = '\'';
    if (c == '\t') {
      px = (std::floor(px / 80.0f) + 1.0f) * 80.0f;
      previous = -1;
    } else if (c == ' ') {
      px += float(int(renderer.Size() * 0.25f));
      previous = -1;
    } else {
      const int g = TextRenderer::GlyphIndex(c);
      if (previous >= 0) px += scale * font->Kerning(previous, g);
      p.left = px;
      p.glyph = true;
      px += scale * float(font->widths[g]) + scale * float(font->spacing);
      previous = g;
    }
    if (!p.glyph) p.left = px;
    p.after = px;
    places.push_back(p);
  }
  return places;
}

float GlyphBox() {
  TextRenderer& renderer = GetTextRenderer();
  const LibFont* font = renderer.CurrentFont();
  if (!font || font->baseSize <= 0) return 0.0f;
  return renderer.Size() / float(font->baseSize) * float(font->cellSize);
}

}  // namespace

GUI_TextEditWindow::GUI_TextEditWindow(const std::string& text, int maxLen)
    : maxLength(maxLen), text_(text), cursor_(static_cast<int>(text.size())) {
  EditWindows().push_back(this);
}

GUI_TextEditWindow::~GUI_TextEditWindow() {
  KillFocus();
  delete tooltip_;
  tooltip_ = nullptr;
  auto& list = EditWindows();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void GUI_TextEditWindow::SetFocus() {
  KillFocusAll();
  focused_ = true;
  blinkStart_ = ClockMilliseconds();
  caretShown_ = true;
  if (GUI_KeyboardTarget** focused = FocusedEditSlot()) *focused = this;
}

void GUI_TextEditWindow::KillFocus() {
  // Only the holder of the focus clears the mode's field: a window that never had it
  // must not leave another focused window deaf to the keyboard.
  if (GUI_KeyboardTarget** focused = FocusedEditSlot()) {
    if (*focused == static_cast<GUI_KeyboardTarget*>(this)) *focused = nullptr;
  }
  focused_ = false;
}

void GUI_TextEditWindow::KillFocusAll() {
  const std::vector<GUI_TextEditWindow*> all = EditWindows();
  for (GUI_TextEditWindow* w : all) w->KillFocus();
  // A mode may still point at an edit window of an older kind; nothing holds the focus now.
  if (GUI_KeyboardTarget** focused = FocusedEditSlot()) {
    for (GUI_TextEditWindow* w : all)
      if (*focused == static_cast<GUI_KeyboardTarget*>(w)) *focused = nullptr;
  }
}

void GUI_TextEditWindow::SetText(const std::string& text) {
  ZT_ASSERT(numeric == 0);
  text_.clear();
  cursor_ = 0;
  firstVisible_ = 0;
  const size_t n = maxLength > 0 ? std::min(static_cast<size_t>(maxLength), text.size()) : 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ') {
      if (static_cast<int>(text_.size()) < maxLength) {
        text_.insert(static_cast<size_t>(cursor_), 1, ' ');
        ++cursor_;
        Changed();
      }
    } else {
      Typed(c);
    }
  }
  cursor_ = static_cast<int>(text_.size());
  KillFocus();
}

void GUI_TextEditWindow::SetTooltip(const std::string& textKey) {
  delete tooltip_;
  tooltip_ = new GUI_Tooltip(GetTranslation(textKey), 0);
}

void GUI_TextEditWindow::Process() {
  if (tooltip_) {
    if (visible && IsMouseOver()) {
      tooltip_->UpdateFade();
      tooltip_->Draw();
    } else {
      tooltip_->Hide();
    }
  }
  GUI_WindowBase::Process();
}

bool GUI_TextEditWindow::Accepts(unsigned char c) const {
  if (c >= 1 && c <= 127 && std::isalnum(c)) return true;
  switch (c) {
    case '!':
    case '$':
    case '%':
    case '(':
    case ')':
    case '+':
    case ',':
    case '-':
    case '=':
    case '[':
    case ']':
    case '^':
    case '_':
    case '@':
    case 0xA3:
      return true;
    case '*':
    case '.':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
      return !fileNameSafe;
    default:
      return false;
  }
}

void GUI_TextEditWindow::OnChar(int character) {
  if (!editable) return;
  // Bytes arrive as 0..255 or as signed chars; either way the same Windows-1252 byte.
  Typed(static_cast<unsigned char>(character & 0xFF));
}

void GUI_TextEditWindow::Typed(unsigned char c) {
  if (Accepts(c)) Insert(c);
}

void GUI_TextEditWindow::Insert(unsigned char c) {
  if (noLeadingUnderscore && c == '_' && cursor_ == 0) return;
  if (numeric && !(std::isdigit(c) || c == '.')) return;
  if (static_cast<int>(text_.size()) < maxLength) {
    text_.insert(static_cast<size_t>(cursor_), 1, static_cast<char>(c));
    ++cursor_;
    Changed();
  }
  if (numeric) NumericClamp();
}

void GUI_TextEditWindow::Changed() {
  if (changeCallback) changeCallback(0);
}

void GUI_TextEditWindow::NumericClamp() {
  if (!numeric) return;
  char buffer[64];
  bool clamped = false;
  if (text_.find('.') != std::string::npos) {
    const double value = std::strtod(text_.c_str(), nullptr);
    if (minValue != -1 && value < minValue) {
      std::snprintf(buffer, sizeof buffer, "%2f", static_cast<double>(minValue));
      text_ = buffer;
      clamped = true;
    }
    if (maxValue != -1 && value > maxValue) {
      std::snprintf(buffer, sizeof buffer, "%2f", static_cast<double>(maxValue));
      text_ = buffer;
      clamped = true;
    }
  } else {
    const long value = std::strtol(text_.c_str(), nullptr, 10);
    if (minValue != -1 && value < minValue) {
      std::snprintf(buffer, sizeof buffer, "%d", minValue);
      text_ = buffer;
      clamped = true;
    }
    if (maxValue != -1 && value > maxValue) {
      std::snprintf(buffer, sizeof buffer, "%d", maxValue);
      text_ = buffer;
      clamped = true;
    }
  }
  if (!clamped) return;
  // The bound's text may be longer than the field allows; the field never holds more.
  if (maxLength >= 0 && static_cast<int>(text_.size()) > maxLength)
    text_.resize(static_cast<size_t>(maxLength));
  // The replacement may be shorter than the old text: keep the cursor inside it.
  cursor_ = std::min(cursor_, static_cast<int>(text_.size()));
  KillFocus();
}

void GUI_TextEditWindow::OnKeyDown(int key) {
  if (!editable) return;
  const int length = static_cast<int>(text_.size());
  switch (key) {
    case kKeyBackspace:
      if (cursor_ > 0) {
        text_.erase(static_cast<size_t>(cursor_ - 1), 1);
        --cursor_;
        NumericClamp();
        Changed();
      }
      break;
    case kKeyReturn:
      KillFocus();
      break;
    case kKeySpace:
      if (!numeric && length < maxLength) {
        text_.insert(static_cast<size_t>(cursor_), 1, ' ');
        ++cursor_;
        Changed();
      }
      break;
    case kKeyEnd:
      if (focused_) cursor_ = length;
      break;
    case kKeyHome:
      if (focused_) cursor_ = 0;
      break;
    case kKeyLeft:
      if (cursor_ > 0) --cursor_;
      break;
    case kKeyRight:
      if (cursor_ < length) ++cursor_;
      break;
    case kKeyDelete:
      if (cursor_ < length) text_.erase(static_cast<size_t>(cursor_), 1);
      NumericClamp();
      Changed();
      break;
    default:
      break;
  }
}

size_t GUI_TextEditWindow::FirstVisible() {
  const float room = static_cast<float>(width - 16);
  const size_t cursor = static_cast<size_t>(std::max(0, std::min(cursor_, static_cast<int>(text_.size()))));
  if (firstVisible_ > cursor) firstVisible_ = cursor;
  if (!GetTextRenderer().CurrentFont()) return firstVisible_ = std::min(firstVisible_, text_.size());
  // Scroll right until the text before the cursor fits; never further than needed.
  while (firstVisible_ < cursor) {
    const std::vector<GlyphPlace> places = LayOut(text_.substr(firstVisible_, cursor - firstVisible_), 0.0f);
    if (places.empty() || places.back().after <= room) break;
    ++firstVisible_;
  }
  return firstVisible_;
}

bool GUI_TextEditWindow::LeftClick(float x, float y) {
  if (!editable) return false;
  if (!IsMouseOver()) {
    KillFocus();
    return false;
  }
  SetFocus();
  UseFont();
  GetTextRenderer().SetSize(kFontSize);
  const size_t first = FirstVisible();
  const std::string shown = text_.substr(first);
  const std::vector<GlyphPlace> places = LayOut(shown, left + 8.0f);
  const float box = GlyphBox();
  const float glyphTop = std::floor(top - 2.0f);
  cursor_ = static_cast<int>(text_.size());
  for (size_t i = 0; i < places.size(); ++i) {
    const GlyphPlace& p = places[i];
    if (!p.glyph) continue;
    if (x >= p.left && x < p.left + box && y >= glyphTop && y < glyphTop + box)
      cursor_ = static_cast<int>(first + i);
  }
  return true;
}

void GUI_TextEditWindow::Draw() {
  if (!visible) return;
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  FlushSprites();
  DrawGUITexture(SHARED_DARK_CLIENT, 8.0f, 1.0f, true, l, t, r, b);
  FlushSprites();
  if (cursor_ > static_cast<int>(text_.size())) cursor_ = static_cast<int>(text_.size());
  TextRenderer& renderer = GetTextRenderer();
  UseFont();
  renderer.SetSize(kFontSize);
  const size_t first = FirstVisible();
  if (editable && renderer.IsInitialised()) {
    const std::string shown = FitPrefix(text_.substr(first), static_cast<float>(width - 16));
    renderer.Print(0, shown.c_str(), l + 8.0f, t + 1.0f, TextColour());
    renderer.Flush();
  }
  if (!focused_) return;
  const uint64_t now = ClockMilliseconds();
  if (now - blinkStart_ > kBlinkMs) {
    caretShown_ = !caretShown_;
    blinkStart_ = now;
  }
  if (!caretShown_) return;
  float caretX = l + 8.0f;
  if (static_cast<size_t>(cursor_) > first) {
    const std::vector<GlyphPlace> places =
        LayOut(text_.substr(first, static_cast<size_t>(cursor_) - first), l + 8.0f);
    if (!places.empty()) caretX = places.back().after;
  }
  caretX = std::min(caretX, r - 6.0f);
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.DrawRect(caretX, t + 5.0f, caretX + 2.0f, b - 5.0f, TextColour());
}
