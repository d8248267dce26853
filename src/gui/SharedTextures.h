#pragma once
// The table of textures and render targets shared by windows, dialogs and the battle
// screen, and the framed-box drawing built on it: a nine-slice frame whose corners keep
// their size while edges and centre stretch, a striped interlace fill, the window
// background with its tiled overlay, and the battle view's visibility test.
#include <cstdint>

class CLoadedTexture;

enum SharedTextureIndex {
  SHARED_WINDOW_OVERLAY = 0,        // "window_overlay.jpg"
  SHARED_WINDOW_BACKGROUND = 1,     // "window_background.dds"
  SHARED_BLUEPRINT_GRID = 2,        // "blueprint_grid.jpg"
  SHARED_DARK_CLIENT = 3,           // "dark_client.dds"
  SHARED_CLIENT_INTERLACE = 4,      // "client_interlace.dds"
  SHARED_SHIELD_IMPACT = 5,         // "shield_impact.dds"
  SHARED_HIGHLIGHT_19 = 6,          // "19px_highlight.dds"
  SHARED_GREY_19 = 7,               // "19px_grey.dds"
  SHARED_HIGHLIGHT_BLACK_19 = 8,    // "19px_highlight_black.dds"
  SHARED_DIALOG_CLIENT = 9,         // "dialog_client.dds"
  SHARED_DEBRIS = 10,               // "debris.dds"
  SHARED_ROUTE_OUTLINE = 11,        // "route_outline.dds"
  SHARED_RT_MINIMAP_BACKDROP = 12,  // render target
  SHARED_RT_LIGHTMAP = 13,
  SHARED_RT_DISTORTION = 14,
  SHARED_RT_OFFSCREEN1 = 15,
  SHARED_RT_OFFSCREEN2 = 16,
  SHARED_LIGHTMAPS = 17,  // "lightmaps.dds"
  SHARED_RT_SELECTION = 18,
  SHARED_TEXTURE_COUNT = 19
};

class GUI_SharedTextures {
 public:
  GUI_SharedTextures();
  ~GUI_SharedTextures();
  GUI_SharedTextures(const GUI_SharedTextures&) = delete;
  GUI_SharedTextures& operator=(const GUI_SharedTextures&) = delete;

  // Readies the table at start-up without reading any file: each entry is loaded when
  // first asked for (a render target once the game has made it).
  void Load();
  // Loads every entry not asked for yet (and the render targets made so far), so later
  // screens find them ready; the game calls it once its first frame is presented.
  void LoadRest();
  // The handle of an entry; null for an index outside the table, before Load, or for a
  // render target not made yet.
  CLoadedTexture* Get(int index) const;
  static const char* Name(int index);
  // The order in which LoadRest fills the table.
  static const int kLoadOrder[SHARED_TEXTURE_COUNT];

 private:
  mutable CLoadedTexture* textures_[SHARED_TEXTURE_COUNT] = {};
  bool loaded_ = false;
};

GUI_SharedTextures& GetSharedGUITextures();

// One quad of a nine-slice layout: screen box and texture box.
struct GUI_FrameQuad {
  float left, top, right, bottom;
  float u0, v0, u1, v1;
};
// Lays out a nine-slice frame (4 x 4 cell grid) for a box; returns the quad count
// (8, or 9 with the centre). Corners keep their size even in a box smaller than two.
int LayoutNineSlice(float corner, bool fill, float left, float top, float right, float bottom,
                    GUI_FrameQuad out[9]);

// Nine-slice frame from a table entry (an unloaded entry draws with the bound texture;
// an index outside the table draws nothing).
void DrawGUITexture(int index, float corner, float alpha, bool fill, float left, float top, float right,
                    float bottom);
// The same with a texture found by name, centre always filled.
void DrawNamedFrame(const char* textureName, float corner, float alpha, float left, float top, float right,
                    float bottom);
// The nine-slice of "window_background.dds" multiplied by a table entry that tiles
// every 512 pixels.
void DrawWindowBackground(int overlayIndex, float corner, float left, float top, float right, float bottom);
// Only the right-hand column of the window background grid.
void DrawWindowBorder(float corner, float left, float top, float right, float bottom);

// The visible battle area in world units (kept up to date by the battle map).
void SetBattleViewRect(float left, float top, float right, float bottom);
// True when the world point lies outside the visible battle area grown by the margin.
bool IsOffScreen(float x, float y, float margin);
