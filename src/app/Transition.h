#pragma once
// The screen transition: just before a change of screen the old picture is copied into
// the render target "rt_transition"; for the next 850 ms every screen draws that copy
// over itself and wipes it away, alternating a side wipe and an iris opening from the
// centre. The TRANSITIONS option switches the whole effect off.
#include "engine/Sprites.h"
#include "engine/Timer.h"

class CLoadedTexture;

class GUI_Transition {
 public:
  static constexpr float kDurationMs = 850.0f;
  static constexpr float kSoftBand = 64.0f;  // width of the side wipe's soft edge
  enum Style { kSideWipe = 0, kIris = 1 };

  GUI_Transition();
  virtual ~GUI_Transition();
  GUI_Transition(const GUI_Transition&) = delete;
  GUI_Transition& operator=(const GUI_Transition&) = delete;

  // Every screen calls it last in its own drawing: draws the wipe while one runs.
  virtual void Draw();

  // Draws the current mode once, copies it (Capture) and starts the wipe (Begin).
  // Called just before a mode switch.
  void Start();
  // Copies the back buffer into "rt_transition" and clears the back buffer to black;
  // only when the TRANSITIONS option is above 0.
  void Capture();
  // Starts the wipe (the timer restarts at the next Draw) and plays the whoosh; only
  // when the TRANSITIONS option is above 0.
  void Begin();

  bool IsRunning() const { return running_; }
  bool RestartPending() const { return restartTimer_; }
  int CurrentStyle() const { return style_; }
  float HalfDiagonal() const { return halfDiagonal_; }
  float UScale() const { return uScale_; }
  float VScale() const { return vScale_; }
  // The wipe's progress of the last Draw, 0..1.
  float Progress() const { return progress_; }

 private:
  // Screen size, half-diagonal and the part of the render target holding the copy.
  void ComputeScales();
  void DrawSideWipe(float t);
  void DrawIris(float t);
  // One piece of the copy covering the screen rectangle, with per-edge colours.
  void DrawPiece(BaseSprite& piece, float left, float top, float right, float bottom, uint32_t leftColour,
                 uint32_t rightColour);

  Timer timer_;
  float duration_ = kDurationMs;
  bool running_ = false;
  bool restartTimer_ = false;
  BaseSprite pieces_[4];            // the copy's bands (side wipe: body and soft edge)
  GCompositeSprite centre_;         // the iris square: the copy masked by the circle
  CLoadedTexture* mask_ = nullptr;  // "circular_wipe.dds"
  float halfDiagonal_ = 0.0f;
  int style_ = kSideWipe;
  bool alternate_ = true;
  float uScale_ = 1.0f;
  float vScale_ = 1.0f;
  float screenW_ = 0.0f;
  float screenH_ = 0.0f;
  float progress_ = 0.0f;
};

// The process-wide transition, built on first use.
GUI_Transition& GetTransition();
