#include "app/TitleBackdrop.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

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
// The clouds are soft blurs drawn two to three times their cells' size from a sheet of half
// the file's size: they look the same, and plain 8-bit texels of a smaller sheet cost a
// software rasteriser far less to sample than the file's compressed ones.
constexpr int kCloudSheetSide = 512;

using CellOutline = GUI_TitleBackdrop::CellOutline;

// Bilinear sampling picks up a texel up to one texel away from its centre.
constexpr int kFilterReach = 1;

// The outline of the cell's shown texels (alpha above 0), widened by the filter's reach.
// texels: the whole texture's, sheetWidth a row.
CellOutline MeasureOutline(const std::vector<uint32_t>& texels, int sheetWidth, const platform::Rect& cell) {
  constexpr int reach = kFilterReach;
  CellOutline outline;
  const int w = cell.right - cell.left, h = cell.bottom - cell.top;
  if (w <= 0 || h <= 0 || sheetWidth < cell.right || texels.size() < size_t(sheetWidth) * size_t(cell.bottom))
    return outline;
  // Each row's first and last shown texel (none: first past last).
  std::vector<int> first(size_t(h), w), last(size_t(h), -1);
  int top = h, bottom = -1;
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = &texels[size_t(cell.top + y) * size_t(sheetWidth) + size_t(cell.left)];
    for (int x = 0; x < w; ++x)
      if (row[x] >> 24) {
        first[size_t(y)] = std::min(first[size_t(y)], x);
        last[size_t(y)] = x;
      }
    if (last[size_t(y)] >= 0) {
      top = std::min(top, y);
      bottom = y;
    }
  }
  if (bottom < 0) return outline;  // nothing shows: drawn whole, nothing is lost
  constexpr int n = CellOutline::kBands;
  const int from = std::max(0, top - reach), to = std::min(h, bottom + 1 + reach);
  int edge[n + 1];
  for (int k = 0; k <= n; ++k) edge[k] = from + (to - from) * k / n;
  // A band's pixels sample its rows and the filter's reach above and below them.
  int bandLeft[n], bandRight[n];
  for (int k = 0; k < n; ++k) {
    bandLeft[k] = w;
    bandRight[k] = -1;
    for (int y = std::max(0, edge[k] - reach); y < std::min(h, edge[k + 1] + reach); ++y) {
      if (last[size_t(y)] < 0) continue;
      bandLeft[k] = std::min(bandLeft[k], first[size_t(y)]);
      bandRight[k] = std::max(bandRight[k], last[size_t(y)]);
    }
    if (bandRight[k] < 0) continue;
    bandLeft[k] = std::max(0, bandLeft[k] - reach);
    bandRight[k] = std::min(w, bandRight[k] + 1 + reach);
  }
  // An edge reaches as far as both bands it bounds; between two edges the strip's sides run
  // straight, so each band lies inside its piece of the strip.
  for (int k = 0; k <= n; ++k) {
    int l = w, r = 0;
    for (int b : {k - 1, k}) {
      if (b < 0 || b >= n || bandRight[b] < 0) continue;
      l = std::min(l, bandLeft[b]);
      r = std::max(r, bandRight[b]);
    }
    if (r <= l) l = r = w / 2;  // between two empty bands the strip narrows to a point
    outline.t[k] = float(edge[k]) / float(h);
    outline.left[k] = float(l) / float(w);
    outline.right[k] = float(r) / float(w);
  }
  outline.whole = false;
  return outline;
}

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

void ReleaseTitleBackdrop() {
  if (!Slot()) return;
  // The textures are the backdrop's own sized copies; the next menu screen loads them again.
  std::vector<std::string> names = {GetTextureName(Slot()->Picture().texture),
                                    GetTextureName(Slot()->Logo().texture)};
  for (int i = 0; i < GUI_TitleBackdrop::kCloudCount; ++i)
    names.push_back(GetTextureName(Slot()->CloudAt(i).sprite.texture));
  Slot().reset();
  D3DEngine& d3d = GetRenderDevice();
  for (const std::string& name : names)
    if (!name.empty()) d3d.DeleteTexture(name.c_str());
}

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
  // The logo too: sampled one texel a pixel from plain texels, not from a compressed chain.
  logo_.texture = FindOrLoadTextureAtSize(kLogoName, static_cast<int>(std::lround(logo_.width)),
                                          static_cast<int>(std::lround(logo_.height)));

  // The battle draws the clouds' file at its own sizes with its mip chain: the menu's
  // smaller sheet is a copy beside it.
  CLoadedTexture* sheet = FindOrLoadTextureCopyAtSize(kCloudsName, kCloudSheetSide, kCloudSheetSide);
  for (Cloud& cloud : clouds_) {
    cloud.sprite.texture = sheet;
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
      DrawOutlined(cloud.sprite);
    }
  }
}

bool GUI_TitleBackdrop::CoversScreen() const {
  return picture_.texture && picture_.texture->Texture() && picture_.width >= screenW_ &&
         picture_.height >= screenH_;
}

const CellOutline& GUI_TitleBackdrop::OutlineOf(const CTexturedSprite& sprite) {
  static const CellOutline kWhole;
  platform::Texture* texture = sprite.texture ? sprite.texture->Texture() : nullptr;
  if (!texture || texture->Width() <= 0 || texture->Height() <= 0) return kWhole;
  const GVertex* v = sprite.v;
  // Measured along increasing texels: a mirrored cell is drawn whole.
  if (v[1].u <= v[0].u || v[2].v <= v[0].v) return kWhole;
  const float tw = float(texture->Width()), th = float(texture->Height());
  const platform::Rect cell{std::clamp(int(std::lround(v[0].u * tw)), 0, texture->Width()),
                            std::clamp(int(std::lround(v[0].v * th)), 0, texture->Height()),
                            std::clamp(int(std::lround(v[1].u * tw)), 0, texture->Width()),
                            std::clamp(int(std::lround(v[2].v * th)), 0, texture->Height())};
  if (cell.right - cell.left < 4 || cell.bottom - cell.top < 4) return kWhole;
  const float across = std::hypot(v[1].x - v[0].x, v[1].y - v[0].y);
  const float down = std::hypot(v[2].x - v[0].x, v[2].y - v[0].y);
  const float texelsPerPixel = std::max(across > 0.0f ? float(cell.right - cell.left) / across : 0.0f,
                                        down > 0.0f ? float(cell.bottom - cell.top) / down : 0.0f);
  // Drawn smaller than its size, a sheet's mip levels spread its art as far as they were
  // made to: only plain bilinear sampling is outlined.
  if (texture->Levels() > 1 && !(texelsPerPixel <= 1.0f)) return kWhole;
  const auto key =
      std::make_tuple(static_cast<const void*>(texture), cell.left, cell.top, cell.right, cell.bottom);
  auto found = outlines_.find(key);
  if (found == outlines_.end()) {
    // One read of the whole sheet serves all its cells: the clouds' four come in one frame.
    if (sheetRead_ != texture) {
      sheetTexels_.clear();
      sheetRead_ = texture;
      platform::Device* device = GetRenderDevice().Device();
      const platform::Rect all{0, 0, texture->Width(), texture->Height()};
      if (!device || platform::Failed(device->ReadPixels(texture, all, &sheetTexels_))) sheetTexels_.clear();
    }
    found = outlines_.emplace(key, MeasureOutline(sheetTexels_, texture->Width(), cell)).first;
  }
  return found->second;
}

void GUI_TitleBackdrop::DrawOutlined(CTexturedSprite& sprite) {
  const CellOutline& outline = OutlineOf(sprite);
  if (outline.whole) {
    sprite.DrawDirect();
    return;
  }
  if (!sprite.IsOnScreen()) return;
  // The cell's point at fractions (s, t), with the texture coordinates to match.
  const GVertex* q = sprite.v;
  auto at = [q](float s, float t) {
    GVertex p = q[0];
    p.x = q[0].x + s * (q[1].x - q[0].x) + t * (q[2].x - q[0].x);
    p.y = q[0].y + s * (q[1].y - q[0].y) + t * (q[2].y - q[0].y);
    p.u = q[0].u + s * (q[1].u - q[0].u);
    p.v = q[0].v + t * (q[2].v - q[0].v);
    return p;
  };
  // Left and right at each band edge in turn: neighbouring bands share their edge's two
  // vertices, so no pixel along it is drawn twice or lost.
  constexpr int n = CellOutline::kBands;
  GVertex strip[2 * (n + 1)];
  for (int k = 0; k <= n; ++k) {
    strip[2 * k] = at(outline.left[k], outline.t[k]);
    strip[2 * k + 1] = at(outline.right[k], outline.t[k]);
  }
  if (sprite.texture) sprite.texture->Bind();
  D3DEngine& d3d = GetRenderDevice();
  d3d.EnsureScene();
  d3d.DrawVertices(platform::PrimitiveType::TriangleStrip, 2 * n, strip, sizeof(GVertex));
}

void GUI_TitleBackdrop::Draw(bool showLogo) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.EnsureScene();
  // Whatever was batched before belongs under the backdrop, not over it.
  GetGlobalVertexBuffer().Flush();
  const platform::Device* device = d3d.Device();
  auto drawn = [device] { return device ? device->Counters().drawnPixels : 0; };
  const float cx = screenW_ / 2.0f;
  const float cy = screenH_ / 2.0f;
  // The opaque picture over the whole screen hides what was there as well as a clear
  // would: the clear is needed only where it leaves the screen's edges showing.
  if (!CoversScreen()) d3d.ClearTarget(0xFF000000u);
  d3d.SetNormalBlend();
  picture_.SetPosition(cx, cy);
  std::uint64_t mark = drawn();
  DrawCovering(picture_);
  lastPixels_.picture = drawn() - mark;
  mark = drawn();
  UpdateClouds();
  lastPixels_.clouds = drawn() - mark;
  mark = drawn();
  if (showLogo) {
    logo_.SetPosition(cx, cy);
    // Most of the logo's picture is clear sky around the word.
    if (logo_.texture && logo_.texture->Texture()) DrawOutlined(logo_);
  }
  lastPixels_.logo = drawn() - mark;
  // The texels read for outlines are not kept past the frame that measured them.
  if (sheetRead_) {
    sheetRead_ = nullptr;
    std::vector<uint32_t>().swap(sheetTexels_);
  }
}
