#include "app/Transition.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Sounds.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"

namespace {

constexpr const char* kTargetName = "rt_transition";
constexpr const char* kMaskName = "circular_wipe.dds";
constexpr int kWhooshSound = 10;
constexpr uint32_t kOpaque = 0xFFFFFFFFu;
// The side wipe's edge fades out and warms towards the border, like a burning edge.
constexpr uint32_t kEdgeColour = 0x00FFC070u;

std::unique_ptr<GUI_Transition>& Slot() {
  static std::unique_ptr<GUI_Transition> s;
  return s;
}

bool TransitionsOn() { return SIM_Options::Get().GetFloat("TRANSITIONS") > 0.0f; }

// Every menu-style screen draws the transition last; installing the layer here keeps
// the standard bodies free of this file.
void DrawTransitionLayer() { GetTransition().Draw(); }
const bool kLayerInstalled = (SetStandardModeTransition(DrawTransitionLayer), true);

}  // namespace

GUI_Transition& GetTransition() {
  static bool registered = (RegisterSingletonReset([] { Slot().reset(); }), true);
  (void)registered;
  (void)kLayerInstalled;
  if (!Slot()) Slot() = std::make_unique<GUI_Transition>();
  return *Slot();
}

GUI_Transition::GUI_Transition() {
  timer_.speed = 1.0f;
  mask_ = FindOrLoadTexture(kMaskName);
  ComputeScales();
}

GUI_Transition::~GUI_Transition() = default;

void GUI_Transition::ComputeScales() {
  D3DEngine& d3d = GetRenderDevice();
  const int w = d3d.ScreenWidth();
  const int h = d3d.ScreenHeight();
  screenW_ = static_cast<float>(w);
  screenH_ = static_cast<float>(h);
  const float hw = static_cast<float>(w / 2);
  const float hh = static_cast<float>(h / 2);
  halfDiagonal_ = std::sqrt(hw * hw + hh * hh);

  // The copy fills the screen's part of the render target, which may be larger than the
  // screen where the device rounds targets up: the target's own size tells.
  GTexture9* target = d3d.FindNamedTexture(kTargetName);
  int targetW = target ? target->Width() : 0;
  int targetH = target ? target->Height() : 0;
  if (targetW <= 0 || targetH <= 0) {
    targetW = GameExists() ? GetGame().RenderTargetWidth : 0;
    targetH = GameExists() ? GetGame().RenderTargetHeight : 0;
  }
  uScale_ = targetW > 0 ? screenW_ / static_cast<float>(targetW) : 1.0f;
  vScale_ = targetH > 0 ? screenH_ / static_cast<float>(targetH) : 1.0f;
}

void GUI_Transition::Start() {
  ComputeScales();
  D3DEngine& d3d = GetRenderDevice();
  const bool ownScene = !d3d.InScene();
  if (ownScene) d3d.BeginScene();
  if (GameExists()) {
    if (GUI_GameModeBase* mode = GetGame().CurrentMode) mode->Draw();
  }
  // Everything batched so far must be on the back buffer before it is copied.
  if (GetTextRenderer().IsInitialised()) GetTextRenderer().Flush();
  GetGlobalVertexBuffer().Flush();
  Capture();
  if (ownScene) d3d.EndScene();
  Begin();
}

void GUI_Transition::Capture() {
  SIM_Options& options = SIM_Options::Get();
  if (!TransitionsOn()) return;
  // Nothing may draw a wipe into the copy while it is made.
  options.SetFloat("TRANSITIONS", 0.0f);

  D3DEngine& d3d = GetRenderDevice();
  // The start-up menu holds no copy target: the first wipe brings it with the others.
  if (!d3d.HasTexture(kTargetName) && GameExists()) {
    GetGame().CreateDeferredRenderTargets();
    ComputeScales();
  }
  // Any blend left on by the screen (additive or multiply) goes back to normal alpha
  // blending; SetNormalBlend does nothing when it is already on.
  d3d.SetNormalBlend();
  const int w = static_cast<int>(screenW_);
  const int h = static_cast<int>(screenH_);
  if (!d3d.SetRenderTarget(kTargetName)) LogError("Failed to set render target");
  const platform::Rect area{0, 0, w, h};
  if (!d3d.CopyBackBufferTo(kTargetName, &area, &area)) LogError("Failed copying transition buffer");
  d3d.SetBackBufferTarget();
  d3d.ClearTarget(0xFF000000u);

  options.SetFloat("TRANSITIONS", 1.0f);
}

void GUI_Transition::Begin() {
  if (!TransitionsOn()) return;
  duration_ = kDurationMs;
  running_ = true;
  restartTimer_ = true;
  progress_ = 0.0f;
  GetSounds().PlayGuiSound(kWhooshSound);
}

void GUI_Transition::Draw() {
  if (!running_) return;
  if (restartTimer_) {
    timer_.Start();
    restartTimer_ = false;
  }
  timer_.Update();
  float t = timer_.total / duration_;
  if (t < 0.0f) t = 0.0f;
  if (t >= 1.0f) {
    running_ = false;
    progress_ = 1.0f;
    if (style_ == kIris) {
      style_ = kSideWipe;
    } else if (alternate_) {
      style_ = kIris;
    }
    return;
  }
  progress_ = t;

  D3DEngine& d3d = GetRenderDevice();
  GTexture9* copy = d3d.FindNamedTexture(kTargetName);
  if (!copy || !copy->Get()) return;  // no copy to show: the new screen shows at once
  d3d.EnsureScene();
  // Batched quads and text belong under the wipe.
  if (GetTextRenderer().IsInitialised()) GetTextRenderer().Flush();
  GetGlobalVertexBuffer().Flush();
  d3d.SetNormalBlend();
  d3d.SetTexture(copy->Get());
  if (style_ == kIris) {
    DrawIris(t);
  } else {
    DrawSideWipe(t);
  }
}

void GUI_Transition::DrawPiece(BaseSprite& piece, float left, float top, float right, float bottom,
                               uint32_t leftColour, uint32_t rightColour) {
  if (right <= left || bottom <= top) return;
  const float xs[4] = {left, right, left, right};
  const float ys[4] = {top, top, bottom, bottom};
  const uint32_t colours[4] = {leftColour, rightColour, leftColour, rightColour};
  for (int i = 0; i < 4; ++i) {
    GVertex& v = piece.v[i];
    // Device pixel centres: the -0.5 lands each texel on its own pixel.
    v.x = xs[i] - 0.5f;
    v.y = ys[i] - 0.5f;
    v.z = 0.0f;
    v.rhw = 1.0f;
    v.colour = colours[i];
    v.u = xs[i] / screenW_ * uScale_;
    v.v = ys[i] / screenH_ * vScale_;
  }
  piece.width = right - left;
  piece.height = bottom - top;
  GetRenderDevice().DrawVertices(platform::PrimitiveType::TriangleStrip, 2, piece.v, sizeof(GVertex));
}

void GUI_Transition::DrawSideWipe(float t) {
  const float border = screenW_ * (1.0f - 2.0f * t);
  if (border <= 0.0f) return;  // the old picture is gone for the second half
  const float bandLeft = border - kSoftBand;
  // The solid part of the old picture, then its soft edge.
  DrawPiece(pieces_[0], 0.0f, 0.0f, bandLeft, screenH_, kOpaque, kOpaque);
  DrawPiece(pieces_[1], bandLeft, 0.0f, border, screenH_, kOpaque, kEdgeColour);
}

void GUI_Transition::DrawIris(float t) {
  const float r = halfDiagonal_ * t;
  const float cx = static_cast<float>(static_cast<int>(screenW_) / 2);
  const float cy = static_cast<float>(static_cast<int>(screenH_) / 2);
  const float W = screenW_, H = screenH_;
  const float top = std::max(0.0f, cy - r), bottom = std::min(H, cy + r);
  const float left = std::max(0.0f, cx - r), right = std::min(W, cx + r);
  // Four bands of the old picture around the opening square.
  DrawPiece(pieces_[0], 0.0f, 0.0f, W, top, kOpaque, kOpaque);
  DrawPiece(pieces_[1], 0.0f, bottom, W, H, kOpaque, kOpaque);
  DrawPiece(pieces_[2], 0.0f, top, left, bottom, kOpaque, kOpaque);
  DrawPiece(pieces_[3], right, top, W, bottom, kOpaque, kOpaque);
  if (r <= 0.0f) return;

  // The square itself: the copy, with the circle cut out by the mask on stage 1.
  const float xs[4] = {cx - r, cx + r, cx - r, cx + r};
  const float ys[4] = {cy - r, cy - r, cy + r, cy + r};
  const float ms[4] = {0.0f, 1.0f, 0.0f, 1.0f};
  const float mt[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  for (int i = 0; i < 4; ++i) {
    GVertex2& v = centre_.v[i];
    v.x = xs[i] - 0.5f;
    v.y = ys[i] - 0.5f;
    v.z = 0.0f;
    v.rhw = 1.0f;
    v.colour = kOpaque;
    v.u = xs[i] / screenW_ * uScale_;
    v.v = ys[i] / screenH_ * vScale_;
    v.u2 = ms[i];
    v.v2 = mt[i];
  }
  centre_.width = centre_.height = 2.0f * r;
  D3DEngine& d3d = GetRenderDevice();
  if (!mask_ || !mask_->Texture()) {
    return;  // no mask: the opening is a plain square
  }
  d3d.SetStage1Texture(mask_->Texture());
  centre_.Draw();
  d3d.SetStage1Texture(nullptr);
}
