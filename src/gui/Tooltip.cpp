#include "gui/Tooltip.h"

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "gui/GuiDraw.h"

using namespace gui_draw;

namespace {
// The tooltips queued this frame. A tooltip leaves it when deleted, so a window deleted
// after queueing its tooltip (FlushDeleted at the end of Process) leaves no dangling entry.
std::vector<GUI_Tooltip*>& TooltipQueue() {
  static auto* queue = new std::vector<GUI_Tooltip*>();
  return *queue;
}

// Counts tooltip passes: an UpdateFade stamps the tooltip with the current pass.
uint64_t& TooltipFrame() {
  static uint64_t frame = 0;
  return frame;
}

constexpr uint32_t kBackground = 0x00161A1Eu;  // dark steel
constexpr uint32_t kOutline = 0x00E2B101u;     // amber
}  // namespace

GUI_Tooltip::GUI_Tooltip(const std::string& text, int delayPolls) : delay(delayPolls) {
  lines_.push_back(text);
  width = 10;
  SetRect(0, 0, 1, 1);
  width = 10;
}

GUI_Tooltip::~GUI_Tooltip() {
  auto& q = TooltipQueue();
  q.erase(std::remove(q.begin(), q.end(), this), q.end());
}

void GUI_Tooltip::Draw() {
  auto& q = TooltipQueue();
  if (std::find(q.begin(), q.end(), this) == q.end()) q.push_back(this);
}

void GUI_Tooltip::AddLine(const std::string& text) { lines_.push_back(text); }

void GUI_Tooltip::UpdateFade() {
  fadeFrame_ = TooltipFrame();
  if (GetInputManager().stillCounter > delay) alpha = std::min(1.0f, std::max(0.0f, alpha + 0.25f));
}

void GUI_Tooltip::Layout() {
  TextRenderer& text = GetTextRenderer();
  UseFont();
  float widest = 0.0f;
  float h = 0.0f;
  for (const std::string& line : lines_) {
    widest = std::max(widest, static_cast<float>(text.TextWidth(line.c_str())));
    h += text.GetWrappedHeight(line.c_str(), kMaxWidth);
  }
  textWidth = std::min(widest + 6.0f, kMaxWidth);
  textHeight = h;
}

void GUI_Tooltip::PlaceAtMouse(float mx, float my, int screenW, int screenH) {
  x = mx + 30.0f;
  if (mx + textWidth > screenW - 40.0f) x = mx - textWidth;
  y = my;
  if (my + textHeight > screenH) y = my - textHeight;
  // The box reaches 6 left, 10 right and 4 above and below the text: all of it stays on
  // screen, even for a button in the screen's very corner.
  x = std::max(6.0f, std::min(x, static_cast<float>(screenW) - textWidth - 10.0f));
  y = std::max(4.0f, std::min(y, static_cast<float>(screenH) - textHeight - 4.0f));
}

void GUI_Tooltip::DrawOne() {
  if (fadeFrame_ != TooltipFrame()) Hide();
  const float a = std::min(alpha, 1.0f);
  if (a < 0.01f) return;
  Layout();
  PlaceAtMouse(MouseX(), MouseY(), ScreenWidth(), ScreenHeight());
  const int alpha255 = static_cast<int>(a * 255.0f);
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  const float l = x - 6.0f, t = y - 4.0f, r = x + textWidth + 10.0f, b = y + textHeight + 4.0f;
  d3d.DrawRect(l, t, r, b, WithAlpha(kBackground, alpha255 * 230 / 255));
  platform::Rect outline{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)};
  d3d.DrawRectOutline(outline, WithAlpha(kOutline, alpha255 * 200 / 255));
  TextRenderer& text = GetTextRenderer();
  UseFont();
  const uint32_t colour = WithAlpha(TextColour(), alpha255);
  float lineY = y;
  for (const std::string& line : lines_)
    lineY = text.PrintWrapped(line.c_str(), colour, x + 2.0f, lineY, kMaxWidth);
  // Each tooltip's text before the next one's background.
  if (text.IsInitialised()) text.Flush();
}

void GUI_Tooltip::DrawQueued() {
  FlushAll();
  auto& q = TooltipQueue();
  // Drawing never deletes tooltips, but index access keeps this robust anyway.
  for (size_t i = 0; i < q.size(); ++i) q[i]->DrawOne();
  q.clear();
  ++TooltipFrame();
}

void GUI_Tooltip::ClearQueue() { TooltipQueue().clear(); }

const std::vector<GUI_Tooltip*>& GUI_Tooltip::Queue() { return TooltipQueue(); }
