#pragma once
// The regiment badge as drawn on the online screens: three layers (background, crest,
// inset) stacked bottom to top inside the element's rectangle, each a shipped badge
// image scaled to the element's width, moved up or down by its offset and tinted.
#include <string>
#include <utility>
#include <vector>

#include "engine/Sprites.h"
#include "gui/WindowBase.h"
#include "online/PlayerProfile.h"

class GUI_RegimentBadge : public GUI_WindowBase {
 public:
  static constexpr int kLayers = 3;

  GUI_RegimentBadge();
  ~GUI_RegimentBadge() override;

  // Applies the three layers, first to the bottom sprite. Every record must be given (a
  // failed check otherwise, and nothing changes). A texture that is not a shipped image
  // of its layer's kind is refused: that layer is not drawn. Colours are clamped to 0..255.
  void SetLayers(const RegimentBadge* background, const RegimentBadge* crest, const RegimentBadge* inset);
  void SetLayers(const RegimentBadge (&layers)[kLayers]) { SetLayers(&layers[0], &layers[1], &layers[2]); }

  // A badge picture (a player's saved or fetched image, a texture name) drawn over the
  // whole element in place of the layers; empty: the layers again.
  void SetPicture(const std::string& texture);
  const std::string& Picture() const { return picture_; }
  const CTexturedSprite& PictureSprite() const { return pictureSprite_; }

  // Clipped to the element: the viewport is the rectangle while the layers draw.
  void Draw() override;
  void SetRect(float left, float top, float right, float bottom) override;

  bool LayerShown(int i) const { return i >= 0 && i < kLayers && shown_[i]; }
  const CTexturedSprite& Sprite(int i) const { return sprites_[i]; }
  const RegimentBadge& Layer(int i) const { return layers_[i]; }

 private:
  // Places the sprites for the current rectangle (the element may have moved).
  void Place();

  CTexturedSprite sprites_[kLayers];
  RegimentBadge layers_[kLayers];
  bool shown_[kLayers] = {false, false, false};
  std::string picture_;
  CTexturedSprite pictureSprite_;
};

// The badge of another player as a details reply's profile describes it ("badge_bg",
// "badge_crest", "badge_inset" layers): their fetched badge picture when one is cached,
// else the layers; with neither, the stand-in picture every screen shows.
GUI_RegimentBadge* MakeProfileBadge(const std::string& player,
                                    const std::vector<std::pair<std::string, std::string>>& profile);
