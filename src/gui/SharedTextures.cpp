#include "gui/SharedTextures.h"

#include <cstring>

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"

using namespace gui_draw;

namespace {
const char* const kNames[SHARED_TEXTURE_COUNT] = {"window_overlay.jpg",
                                                  "window_background.dds",
                                                  "blueprint_grid.jpg",
                                                  "dark_client.dds",
                                                  "client_interlace.dds",
                                                  "shield_impact.dds",
                                                  "19px_highlight.dds",
                                                  "19px_grey.dds",
                                                  "19px_highlight_black.dds",
                                                  "dialog_client.dds",
                                                  "debris.dds",
                                                  "route_outline.dds",
                                                  "rt_minimap_backdrop",
                                                  "rt_lightmap",
                                                  "rt_distortion",
                                                  "rt_offscreen1",
                                                  "rt_offscreen2",
                                                  "lightmaps.dds",
                                                  "rt_selection"};

GUI_SharedTextures*& SharedInstance() {
  static GUI_SharedTextures* instance = nullptr;
  return instance;
}

// Frames are drawn untinted: white, with the alpha of each call.
constexpr uint32_t kFrameTint = 0x00FFFFFFu;
float g_view[4] = {0.0f, 0.0f, 0.0f, 0.0f};

bool ValidIndex(int index) { return index >= 0 && index < SHARED_TEXTURE_COUNT; }

// Render targets are made by the game, never loaded from a file.
bool IsRenderTarget(int index) { return std::strncmp(kNames[index], "rt_", 3) == 0; }

void QueueFrame(CLoadedTexture* texture, float corner, float alpha, bool fill, float l, float t, float r,
                float b) {
  GUI_FrameQuad quads[9];
  const int n = LayoutNineSlice(corner, fill, l, t, r, b, quads);
  int a = static_cast<int>(alpha * 255.0f);
  const uint32_t colour = WithAlpha(kFrameTint, a);
  for (int i = 0; i < n; ++i) {
    const GUI_FrameQuad& q = quads[i];
    QueueQuad(texture, q.left, q.top, q.right, q.bottom, q.u0, q.v0, q.u1, q.v1, colour);
  }
}

// Earlier drawing may have left additive blending on: frames are always drawn normally.
void NormalBlend() {
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  if (d3d.IsAdditive()) d3d.SetNormalBlend();
}
}  // namespace

const int GUI_SharedTextures::kLoadOrder[SHARED_TEXTURE_COUNT] = {0,  1,  2,  3,  4,  5,  9,  6,  7, 8,
                                                                  10, 11, 12, 13, 15, 16, 17, 14, 18};

GUI_SharedTextures::GUI_SharedTextures() = default;
GUI_SharedTextures::~GUI_SharedTextures() = default;

GUI_SharedTextures& GetSharedGUITextures() {
  static bool registered = (RegisterSingletonReset([] {
                              delete SharedInstance();
                              SharedInstance() = nullptr;
                            }),
                            true);
  (void)registered;
  if (!SharedInstance()) SharedInstance() = new GUI_SharedTextures();
  return *SharedInstance();
}

void GUI_SharedTextures::Load() {
  // Nothing is read yet: the first frame of the main menu shows few of these, and every
  // file read before it is presented keeps the player waiting. An entry comes when first
  // asked for, and LoadRest takes up the others once that frame is on screen.
  loaded_ = true;
}

void GUI_SharedTextures::LoadRest() {
  if (!loaded_) return;
  for (int index : kLoadOrder) Get(index);
}

CLoadedTexture* GUI_SharedTextures::Get(int index) const {
  if (!ValidIndex(index)) return nullptr;
  if (!loaded_ || textures_[index]) return textures_[index];
  // Registry handles: shared by name and re-linked after a device reset, never deleted here.
  // The battle's targets are made only as the menu is left: looking for them before that
  // would search the texture folders and log a failure.
  if (!IsRenderTarget(index) || GetRenderDevice().HasTexture(kNames[index]))
    textures_[index] = FindOrLoadTexture(kNames[index]);
  return textures_[index];
}

const char* GUI_SharedTextures::Name(int index) { return ValidIndex(index) ? kNames[index] : ""; }

int LayoutNineSlice(float c, bool fill, float l, float t, float r, float b, GUI_FrameQuad out[9]) {
  const float w = r - l, h = b - t;
  const float midW = w - 2.0f * c, midH = h - 2.0f * c;
  const float cx = l + w * 0.5f, cy = t + h * 0.5f;
  auto centred = [](float x, float y, float qw, float qh, float u0, float v0, float u1, float v1) {
    return GUI_FrameQuad{x - qw * 0.5f, y - qh * 0.5f, x + qw * 0.5f, y + qh * 0.5f, u0, v0, u1, v1};
  };
  const float hc = c * 0.5f;
  int n = 0;
  // Corners keep their size whatever the box (they overlap in a small box).
  out[n++] = centred(l + hc, t + hc, c, c, 0.0f, 0.0f, 0.25f, 0.25f);
  out[n++] = centred(r - hc, t + hc, c, c, 0.75f, 0.0f, 1.0f, 0.25f);
  out[n++] = centred(l + hc, b - hc, c, c, 0.0f, 0.75f, 0.25f, 1.0f);
  out[n++] = centred(r - hc, b - hc, c, c, 0.75f, 0.75f, 1.0f, 1.0f);
  // Edges and centre only where there is room between the corners.
  const float ew = midW > 0.0f ? midW : 0.0f, eh = midH > 0.0f ? midH : 0.0f;
  out[n++] = centred(cx, t + hc, ew, c, 0.25f, 0.0f, 0.5f, 0.25f);
  out[n++] = centred(cx, b - hc, ew, c, 0.25f, 0.75f, 0.5f, 1.0f);
  out[n++] = centred(l + hc, cy, c, eh, 0.0f, 0.49f, 0.25f, 0.492f);
  out[n++] = centred(r - hc, cy, c, eh, 0.75f, 0.49f, 1.0f, 0.492f);
  if (fill) out[n++] = centred(cx, cy, ew, eh, 0.375f, 0.375f, 0.625f, 0.5f);
  return n;
}

void DrawGUITexture(int index, float corner, float alpha, bool fill, float l, float t, float r, float b) {
  if (!ValidIndex(index)) {
    DebugLogF("DrawGUITexture: no shared texture %d", index);
    return;
  }
  NormalBlend();
  CLoadedTexture* tex = GetSharedGUITextures().Get(index);
  // An entry that is not loaded draws with whatever texture is bound.
  QueueFrame(tex && tex->Texture() ? tex : nullptr, corner, alpha, fill, l, t, r, b);
}

void DrawNamedFrame(const char* textureName, float corner, float alpha, float l, float t, float r, float b) {
  NormalBlend();
  CLoadedTexture* tex = textureName ? FindOrLoadTexture(textureName) : nullptr;
  QueueFrame(tex, corner, alpha, true, l, t, r, b);
}

namespace {
void DrawTwoStageQuads(const GUI_FrameQuad* quads, int n, float l, float t, uint32_t colour) {
  std::vector<GVertex2> verts;
  verts.reserve(n * 6);
  for (int i = 0; i < n; ++i) {
    const GUI_FrameQuad& q = quads[i];
    GVertex2 c[4];
    const float xs[2] = {q.left, q.right}, ys[2] = {q.top, q.bottom};
    const float us[2] = {q.u0, q.u1}, vs[2] = {q.v0, q.v1};
    for (int k = 0; k < 4; ++k) {
      const int ix = k & 1, iy = k >> 1;
      c[k].x = xs[ix] - 0.5f;
      c[k].y = ys[iy] - 0.5f;
      c[k].colour = colour;
      c[k].u = us[ix];
      c[k].v = vs[iy];
      // The overlay tiles every 512 pixels across the box.
      c[k].u2 = (xs[ix] - l) / 512.0f;
      c[k].v2 = (ys[iy] - t) / 512.0f;
    }
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (int k : order) verts.push_back(c[k]);
  }
  if (!verts.empty())
    GetRenderDevice().DrawVertices(platform::PrimitiveType::TriangleList, static_cast<int>(verts.size() / 3),
                                   verts.data(), sizeof(GVertex2));
}
}  // namespace

void DrawWindowBackground(int overlayIndex, float corner, float l, float t, float r, float b) {
  NormalBlend();
  D3DEngine& d3d = GetRenderDevice();
  platform::Device* dev = d3d.Device();
  GUI_SharedTextures& shared = GetSharedGUITextures();
  CLoadedTexture* base = shared.Get(SHARED_WINDOW_BACKGROUND);
  CLoadedTexture* overlay = shared.Get(overlayIndex);
  if (base) base->Bind();
  // The overlay modulates the frame through the second stage and its own UV set.
  d3d.SetStage1Texture(overlay ? overlay->Texture() : nullptr);
  if (dev) {
    dev->SetSamplerState(1, platform::SamplerState::AddressU, platform::TADDRESS_WRAP);
    dev->SetSamplerState(1, platform::SamplerState::AddressV, platform::TADDRESS_WRAP);
  }
  GUI_FrameQuad quads[9];
  const int n = LayoutNineSlice(corner, true, l, t, r, b, quads);
  DrawTwoStageQuads(quads, n, l, t, WithAlpha(kFrameTint, 255));
  // Back to one stage and the engine's vertex layout for everything drawn after.
  d3d.SetStage1Texture(nullptr);
  if (dev) dev->SetFVF(platform::FVF_ENGINE);
}

void DrawWindowBorder(float c, float l, float t, float r, float b) {
  NormalBlend();
  CLoadedTexture* tex = GetSharedGUITextures().Get(SHARED_WINDOW_BACKGROUND);
  const uint32_t colour = WithAlpha(kFrameTint, 255);
  const float hc = c * 0.5f, h = b - t, eh = h - 2.0f * c > 0.0f ? h - 2.0f * c : 0.0f;
  QueueCentred(tex, r - hc, t + hc, c, c, 0.75f, 0.0f, 1.0f, 0.25f, colour);
  QueueCentred(tex, r - hc, b - hc, c, c, 0.75f, 0.75f, 1.0f, 1.0f, colour);
  QueueCentred(tex, r - hc, t + h * 0.5f, c, eh, 0.75f, 0.49f, 1.0f, 0.492f, colour);
}

void SetBattleViewRect(float l, float t, float r, float b) {
  g_view[0] = l;
  g_view[1] = t;
  g_view[2] = r;
  g_view[3] = b;
}

bool IsOffScreen(float x, float y, float margin) {
  return x < g_view[0] - margin || y < g_view[1] - margin || x > g_view[2] + margin || y > g_view[3] + margin;
}
