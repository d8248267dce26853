#include "app/TitleBackdrop.h"

#include <cmath>
#include <memory>

#include "app/GUI_GameModeBase.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"

namespace {

constexpr const char* kPictureName = "titlescreen.jpg";
constexpr const char* kLogoName = "titlescreen_logo.dds";
constexpr const char* kCloudsName = "clouds.dds";
constexpr int kCloudFrames = 4;  // a 2 by 2 sheet
// At 1024 pixels or less the picture is drawn larger than the screen so its middle fills it.
constexpr float kSmallScreenScale = 0.6279296875f;

// Draws a full-screen sprite at once.
void DrawCovering(CTexturedSprite& sprite) {
  // A missing image leaves black rather than a white sheet (the loader logged it).
  if (!sprite.texture || !sprite.texture->Texture()) return;
  sprite.DrawDirect();
}

std::unique_ptr<GUI_TitleBackdrop>& Slot() {
  static std::unique_ptr<GUI_TitleBackdrop> s;
  return s;
}

// The standard menu screens draw the backdrop without the logo.
void DrawBackdropLayer() { GetTitleBackdrop().Draw(false); }
const bool kLayerInstalled = (SetStandardModeBackdrop(DrawBackdropLayer), true);

}  // namespace

GUI_TitleBackdrop& GetTitleBackdrop() {
  static bool registered = (RegisterSingletonReset([] { Slot().reset(); }), true);
  (void)registered;
  (void)kLayerInstalled;
  if (!Slot()) Slot() = std::make_unique<GUI_TitleBackdrop>();
  return *Slot();
}

bool TitleBackdropExists() { return Slot() != nullptr; }

GUI_TitleBackdrop::GUI_TitleBackdrop() {
  D3DEngine& d3d = GetRenderDevice();
  const int w = d3d.ScreenWidth();
  screenW_ = static_cast<float>(w);
  screenH_ = static_cast<float>(d3d.ScreenHeight());

  if (w <= 1024) {
    const float side = screenW_ / kSmallScreenScale;
    picture_.SetSize(side, side);
    logo_.SetSize(side, side / 2.0f);
  } else {
    picture_.SetSize(screenW_, screenW_);
    logo_.SetSize(screenW_, static_cast<float>(w / 2));
  }
  // Drawn the same size all session: held at that size, without a mip chain (a 2048
  // square picture with its chain is 22 MB; at 1280 x 1280 it is 6.5 MB).
  const int side = static_cast<int>(std::lround(picture_.width));
  picture_.texture = FindOrLoadTextureAtSize(kPictureName, side, side);
  logo_.SetTextureByName(kLogoName);

  for (Cloud& cloud : clouds_) {
    cloud.sprite.SetTextureByName(kCloudsName);
    StartCloud(cloud, true);
  }
  lastUpdate_ = ClockMilliseconds();
}

GUI_TitleBackdrop::~GUI_TitleBackdrop() = default;

void GUI_TitleBackdrop::StartCloud(Cloud& cloud, bool initial) {
  cloud.angle = RandomFloat() * 360.0f;
  const float size = RandomFloat() * 188.0f + 512.0f;
  cloud.sprite.SetSize(size, size);
  cloud.x = initial ? RandomFloat() * 2.0f * screenW_ : size * 1.5f + screenW_;
  cloud.y = RandomFloat() * screenH_;
  // Mostly leftwards, with a little up or down.
  cloud.speedX = RandomFloat() * 0.012f - 0.024f;
  cloud.speedY = RandomFloat() * 0.024f - 0.012f;
  // The engine's 15-bit generator keeps the frame inside the sheet.
  cloud.frame = static_cast<int>(EngineRandUnit() * kCloudFrames);
  if (cloud.frame >= kCloudFrames) cloud.frame = kCloudFrames - 1;
  const float c = RandomRange(0.0f, 1.0f);  // the second table's next value
  cloud.turn = c * 0.2f - 0.1f;

  SetSpriteFrameSquare(cloud.frame, &cloud.sprite, kCloudFrames);
  cloud.sprite.SetColour(kCloudColour);
  cloud.sprite.angle = cloud.angle;
  cloud.sprite.SetPosition(cloud.x, cloud.y);
}

void GUI_TitleBackdrop::UpdateClouds() {
  // Low detail: the clouds neither move nor draw.
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") < 0.75f) return;
  const std::uint64_t now = ClockMilliseconds();
  std::uint64_t dt = now > lastUpdate_ ? now - lastUpdate_ : 0;
  if (dt > static_cast<std::uint64_t>(kMaxCloudStepMs)) dt = kMaxCloudStepMs;
  lastUpdate_ = now;
  const float step = 2.0f * static_cast<float>(dt);

  for (Cloud& cloud : clouds_) {
    cloud.x += cloud.speedX * step;
    cloud.y += cloud.speedY * step;
    cloud.angle += cloud.turn;  // per update, not scaled by the step
    cloud.angle = std::fmod(cloud.angle, 360.0f);
    if (cloud.angle < 0.0f) cloud.angle += 360.0f;
    cloud.sprite.angle = cloud.angle;
    cloud.sprite.SetPosition(cloud.x, cloud.y);
    const BaseSprite& s = cloud.sprite;
    const float averageX = (s.v[0].x + s.v[1].x + s.v[2].x + s.v[3].x) / 4.0f;
    if (-1.5f * s.width > averageX) {
      StartCloud(cloud, false);
    } else if (cloud.sprite.texture && cloud.sprite.texture->Texture()) {
      cloud.sprite.DrawDirect();
    }
  }
}

bool GUI_TitleBackdrop::CoversScreen() const {
  return picture_.texture && picture_.texture->Texture() && picture_.width >= screenW_ &&
         picture_.height >= screenH_;
}

void GUI_TitleBackdrop::Draw(bool showLogo) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.EnsureScene();
  // Whatever was batched before belongs under the backdrop, not over it.
  GetGlobalVertexBuffer().Flush();
  const float cx = screenW_ / 2.0f;
  const float cy = screenH_ / 2.0f;
  // The opaque picture over the whole screen hides what was there as well as a clear
  // would: the clear is needed only where it leaves the screen's edges showing.
  if (!CoversScreen()) d3d.ClearTarget(0xFF000000u);
  d3d.SetNormalBlend();
  picture_.SetPosition(cx, cy);
  DrawCovering(picture_);
  UpdateClouds();
  if (showLogo) {
    logo_.SetPosition(cx, cy);
    DrawCovering(logo_);
  }
}
