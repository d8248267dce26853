#include "gui/TitleBar.h"

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"

using namespace gui_draw;

GUI_TitleBar::GUI_TitleBar() {
  claimsMouse = false;
  bar_ = FindOrLoadTexture("titlebar.dds");
  atlas_ = FindOrLoadTexture("ui_deployment_bg.dds");
}

GUI_TitleBar::~GUI_TitleBar() = default;

void GUI_TitleBar::SetText(const std::string& text) {
  UseFont();
  ZT_ASSERT(width >= 1);
  std::string fitted = text;
  if (width >= 1 && GetTextRenderer().IsInitialised()) TruncateToWidth(fitted, static_cast<float>(width));
  title_ = fitted;
}

void GUI_TitleBar::Draw() {
  const float cy = (top + bottom) * 0.5f;
  const float l = static_cast<float>(left), r = static_cast<float>(right);
  const float midW = static_cast<float>(width) - 2.0f * kCapWidth;
  // The right cap's soft shadow: drawn blurred (mip bias) 8 pixels right and down.
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  if (platform::Device* dev = d3d.Device())
    dev->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(1.8f));
  QueueCentred(bar_, r - 31.5f + 8.0f, cy + 8.0f, kCapWidth, kHeight, 0.375f, 0.0f, 0.0f, 1.0f, 0xC8000000u);
  FlushSprites();
  if (platform::Device* dev = d3d.Device())
    dev->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(0.0f));
  QueueCentred(bar_, l + 31.5f, cy, kCapWidth, kHeight, 0.0f, 0.0f, 0.375f, 1.0f, 0xFFFFFFFFu);
  if (midW > 0.0f)
    QueueCentred(bar_, (l + r) * 0.5f, cy, midW, kHeight, 0.5f, 0.0f, 0.51f, 1.0f, 0xFFFFFFFFu);
  QueueCentred(bar_, r - 31.5f, cy, kCapWidth, kHeight, 0.375f, 0.0f, 0.0f, 1.0f, 0xFFFFFFFFu);
  QueueCentred(atlas_, l + 64.0f, static_cast<float>(bottom), 128.0f, 32.0f, 0.0f, 0.625f, 0.125f, 0.75f,
               0xFFFFFFFFu);
  QueueCentred(atlas_, r - 64.0f, static_cast<float>(bottom), 128.0f, 32.0f, 0.125f, 0.625f, 0.0f, 0.75f,
               0xFFFFFFFFu);
  if (!title_.empty()) {
    UseFont();
    GetTextRenderer().Print(2, title_.c_str(), l, top + 10.0f, TextColour(), static_cast<float>(width));
  }
}
