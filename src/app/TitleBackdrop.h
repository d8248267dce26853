#pragma once
// The picture behind the menu-style screens: the full-screen title picture with sixteen
// slowly drifting, turning clouds over it and, on the main menu, the game's logo.
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "engine/Sprites.h"

class GUI_TitleBackdrop {
 public:
  static constexpr int kCloudCount = 16;
  static constexpr uint32_t kCloudColour = 0x908A7D6D;
  static constexpr int kMaxCloudStepMs = 32;  // a long pause moves the clouds at most this far

  // The part of a texture cell whose texels show, as a stack of bands down the cell: at
  // each band edge, how far left and right the art (and the filter's reach around it) goes,
  // in fractions of the cell. Drawn as one strip, it shows what the whole cell shows and
  // leaves out the transparent rest, which a software rasteriser pays for like any pixel.
  struct CellOutline {
    static constexpr int kBands = 16;
    bool whole = true;  // not outlined (art unreadable, mirrored or from mip levels): drawn whole
    float t[kBands + 1] = {};
    float left[kBands + 1] = {};
    float right[kBands + 1] = {};
  };
  // What the last Draw touched, layer by layer (the device's drawn pixels).
  struct LayerPixels {
    std::uint64_t picture = 0, clouds = 0, logo = 0;
  };

  struct Cloud {
    CTexturedSprite sprite;  // a half-size copy of "clouds.dds", one frame of its 2 by 2 sheet
    float angle = 0.0f;      // degrees
    float turn = 0.0f;       // degrees per update
    float speedX = 0.0f;     // pixels per step unit
    float speedY = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    int frame = 0;
  };

  GUI_TitleBackdrop();
  // Clears the screen, draws the picture, the clouds and (when asked) the logo.
  virtual void Draw(bool showLogo);
  virtual ~GUI_TitleBackdrop();
  GUI_TitleBackdrop(const GUI_TitleBackdrop&) = delete;
  GUI_TitleBackdrop& operator=(const GUI_TitleBackdrop&) = delete;

  // Places a cloud anywhere over twice the screen width (initial) or just beyond the
  // right edge (a cloud that drifted off the left).
  void StartCloud(Cloud& cloud, bool initial);
  // Moves, turns and draws the clouds (only at a graphics detail of 0.75 or more).
  void UpdateClouds();
  // Whether the (opaque) picture covers the whole screen.
  bool CoversScreen() const;

  // The outline of the cell a sprite shows (measured once per texture and cell).
  const CellOutline& OutlineOf(const CTexturedSprite& sprite);
  // Draws the sprite as its outline: the same pixels as the whole quad where its art shows.
  void DrawOutlined(CTexturedSprite& sprite);
  const LayerPixels& LastDrawPixels() const { return lastPixels_; }

  const CTexturedSprite& Logo() const { return logo_; }
  const CTexturedSprite& Picture() const { return picture_; }
  const Cloud& CloudAt(int i) const { return clouds_[i]; }
  Cloud& CloudAt(int i) { return clouds_[i]; }
  std::uint64_t LastUpdate() const { return lastUpdate_; }

 private:
  CTexturedSprite logo_;     // "titlescreen_logo.dds"
  CTexturedSprite picture_;  // "titlescreen.jpg"
  Cloud clouds_[kCloudCount];
  std::uint64_t lastUpdate_ = 0;  // milliseconds
  std::map<std::tuple<const void*, int, int, int, int>, CellOutline> outlines_;
  LayerPixels lastPixels_;
  const void* sheetRead_ = nullptr;    // the texture whose texels sheetTexels_ holds
  std::vector<uint32_t> sheetTexels_;  // during a Draw, for measuring outlines
  float screenW_ = 0.0f;
  float screenH_ = 0.0f;
};

// The process-wide backdrop, built on first use.
GUI_TitleBackdrop& GetTitleBackdrop();
bool TitleBackdropExists();
// Drops the backdrop and its textures (a battle shows none of them); the next screen that
// draws it builds it again.
void ReleaseTitleBackdrop();
