#include "online/RegimentBadge.h"

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "online/BadgeDesigner.h"

namespace {
int Clamp255(int value) { return std::min(255, std::max(0, value)); }

bool IsShippedLayer(const std::string& texture, int kind) {
  const std::vector<std::string>& images = BadgeLayerImages(kind);
  return !texture.empty() && std::find(images.begin(), images.end(), texture) != images.end();
}
}  // namespace

GUI_RegimentBadge::GUI_RegimentBadge() {
  // The layer images sit in their own folders under data/badges.
  RegisterTextureFolder("data/badges");
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;
}

GUI_RegimentBadge::~GUI_RegimentBadge() = default;

void GUI_RegimentBadge::SetLayers(const RegimentBadge* background, const RegimentBadge* crest,
                                  const RegimentBadge* inset) {
  const RegimentBadge* given[kLayers] = {background, crest, inset};
  for (const RegimentBadge* layer : given) {
    Assert(layer != nullptr);
    if (!layer) return;
  }
  for (int i = 0; i < kLayers; ++i) {
    RegimentBadge layer = *given[i];
    layer.red = Clamp255(layer.red);
    layer.green = Clamp255(layer.green);
    layer.blue = Clamp255(layer.blue);
    layer.alpha = Clamp255(layer.alpha);
    shown_[i] = IsShippedLayer(layer.texture, i);
    if (!shown_[i] && !layer.texture.empty())
      DebugLogF("IWARNING:  badge layer \"%.64s\" is not a shipped image; not drawn", layer.texture.c_str());
    if (!shown_[i]) layer.texture.clear();
    layers_[i] = layer;
    if (shown_[i]) sprites_[i].SetTextureByName(layer.texture);
    sprites_[i].SetColour(layer.alpha, layer.red, layer.green, layer.blue);
  }
  Place();
}

void GUI_RegimentBadge::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  Place();
}

void GUI_RegimentBadge::SetPicture(const std::string& texture) {
  picture_ = texture;
  if (!picture_.empty()) pictureSprite_.SetTextureByName(picture_);
  Place();
}

void GUI_RegimentBadge::Place() {
  const float w = right - left;
  const float cx = (left + right) / 2.0f;
  const float cy = (top + bottom) / 2.0f;
  for (int i = 0; i < kLayers; ++i) {
    const float side = layers_[i].scale * w;
    sprites_[i].SetSize(side, side);
    sprites_[i].SetPosition(cx, cy + w * layers_[i].offset);
  }
  pictureSprite_.SetSize(w, static_cast<float>(bottom - top));
  pictureSprite_.SetPosition(cx, cy);
}

void GUI_RegimentBadge::Draw() {
  if (!visible) return;
  Place();
  D3DEngine& d3d = GetRenderDevice();
  // Whatever the toolkit queued goes first, so it is not clipped with the badge.
  gui_draw::FlushAll();
  d3d.SetNormalBlend();
  d3d.SetViewport(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                  static_cast<int>(bottom));
  if (!picture_.empty()) {
    pictureSprite_.DrawDirect();
  } else {
    for (int i = 0; i < kLayers; ++i)
      if (shown_[i]) sprites_[i].DrawDirect();
  }
  d3d.SetFullViewport();
}

GUI_RegimentBadge* MakeProfileBadge(const std::string& player,
                                    const std::vector<std::pair<std::string, std::string>>& profile) {
  static const char* const kKeys[GUI_RegimentBadge::kLayers] = {"badge_bg", "badge_crest", "badge_inset"};
  RegimentBadge layers[GUI_RegimentBadge::kLayers];
  for (const auto& kv : profile)
    for (int i = 0; i < GUI_RegimentBadge::kLayers; ++i)
      if (kv.first == kKeys[i]) ParseBadgeLayer(layers[i], kv.second, i);
  auto* badge = new GUI_RegimentBadge();
  badge->SetLayers(layers);
  bool layered = false;
  for (int i = 0; i < GUI_RegimentBadge::kLayers; ++i) layered = layered || badge->LayerShown(i);
  // The fetched picture lives in the badge folder, a texture folder once it exists.
  RegisterOnlineTextureFolders();
  const std::string picture = GetBadgeImagePath(player);
  badge->SetPicture(picture == BadgeFileName(player) || !layered ? picture : std::string());
  return badge;
}
