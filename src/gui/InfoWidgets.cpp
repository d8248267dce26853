#include "gui/InfoWidgets.h"

#include <cmath>
#include <cstdio>

#include "engine/D3DEngine.h"
#include "engine/MathHelpers.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"

using namespace gui_draw;

// ---------------------------------------------------------------------------
// Data strip

GUI_DataStrip::GUI_DataStrip() = default;

GUI_DataStrip::~GUI_DataStrip() { delete tooltip_; }

void GUI_DataStrip::SetLabel(const std::string& labelKey, const std::string& tooltipKey) {
  label = GetTranslation(labelKey);
  if (!tooltipKey.empty()) {
    delete tooltip_;
    tooltip_ = new GUI_Tooltip(GetTranslation(tooltipKey), 30);
  }
}

void GUI_DataStrip::SetValueFloat(float number) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", number);
  value = buf;
}

void GUI_DataStrip::Process() {
  if (tooltip_) {
    if (IsMouseOver()) {
      tooltip_->UpdateFade();
      tooltip_->Draw();
    } else {
      tooltip_->Hide();
    }
  }
  GUI_WindowBase::Process();
}

void GUI_DataStrip::Draw() {
  if (!visible) return;
  UseFont();
  TextRenderer& text = GetTextRenderer();
  const float y = (top + bottom) * 0.5f - 10.0f;
  text.Print(0, label.c_str(), left + 10.0f, y, DimTextColour());
  text.Print(1, value.c_str(), right - 160.0f, y, TextColour(), 150.0f);
  if (tooltip_) tooltip_->Draw();
}

// ---------------------------------------------------------------------------
// Scenario details panel

GUI_ScenarioData::GUI_ScenarioData() = default;

void GUI_ScenarioData::AddStrip(int kind) {
  static const char* const kKeys[4] = {"BB_DETAILS_ATTACK_SUP_PER_SEC", "BB_DETAILS_DEFENCE_SUP_PER_SEC",
                                       "BB_DETAILS_TIME_LIMIT", "BB_DETAILS_ESCAPE_LIMIT"};
  auto* strip = new GUI_DataStrip();
  strip->SetRect(static_cast<float>(left), y_, static_cast<float>(right), y_ + 25.0f);
  y_ += 22.0f;
  if (kind >= 0 && kind < 4) {
    const std::string key = kKeys[kind];
    strip->SetLabel(key, key + "_TT");
    const float values[4] = {attackSupplyPerSec, defenceSupplyPerSec, timeLimit, escapeLimit};
    strip->SetValueFloat(values[kind]);
  }
  AddChild(strip);
}

void GUI_ScenarioData::Build() {
  ClearChildren();
  y_ = static_cast<float>(top);
  for (int kind : {kEscapeLimit, kTimeLimit, kAttackSupply, kDefenceSupply}) AddStrip(kind);
}

void GUI_ScenarioData::Draw() {
  if (!visible) return;
  DrawChildren();
  GUI_WindowBase::Draw();
}

// ---------------------------------------------------------------------------
// Clock timer

GUI_ClockTimer::GUI_ClockTimer() {
  for (Vertex& v : vertices_) v = Vertex{0.0f, 0.0f, 0.0f, 1.0f, 0u, 0.0f, 0.0f};
}

namespace {
uint32_t Argb(const int c[4]) {
  auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  return clamp(c[3]) << 24 | clamp(c[0]) << 16 | clamp(c[1]) << 8 | clamp(c[2]);
}
}  // namespace

void GUI_ClockTimer::Draw(float x, float y, float radius, float fraction) {
  // A fraction above 1 would run past the 256 vertices.
  if (!(fraction >= 0.0f)) fraction = 0.0f;
  if (fraction > 1.0f) fraction = 1.0f;
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetTexture(nullptr);
  d3d.SetNormalBlend();
  const int n = static_cast<int>(fraction * 255.0f);
  auto rim = [&](int slot, int step, uint32_t colour) {
    float angle = std::fmod(step * kAngleStep, 360.0f);
    const float rad = angle * 0.017453292f;
    vertices_[slot] =
        Vertex{x + std::sin(rad) * radius, y - std::cos(rad) * radius, 0.0f, 1.0f, colour, 0.0f, 0.0f};
  };
  const uint32_t a = Argb(colourA), b = Argb(colourB);
  vertices_[0] = Vertex{x, y, 0.0f, 1.0f, a, 0.0f, 0.0f};
  for (int i = 0; i < n; ++i) rim(1 + i, i, a);
  lastFan_ = n > 2 ? n - 1 : 0;
  if (lastFan_ > 0)
    d3d.DrawVertices(platform::PrimitiveType::TriangleFan, lastFan_, vertices_, sizeof(Vertex));
  lastRemainder_ = 0;
  if (drawRemainder) {
    const int rest = 255 - n;
    vertices_[0] = Vertex{x, y, 0.0f, 1.0f, b, 0.0f, 0.0f};
    // Starts at the first fan's last rim angle so that both fans meet.
    const int first = n > 0 ? n - 1 : 0;
    for (int i = 0; i < rest && 1 + i < kVertexCount; ++i) rim(1 + i, first + i, b);
    if (rest > 2) {
      lastRemainder_ = 254 - n;
      if (lastRemainder_ > rest - 1) lastRemainder_ = rest - 1;
      d3d.DrawVertices(platform::PrimitiveType::TriangleFan, lastRemainder_, vertices_, sizeof(Vertex));
    }
  }
}
