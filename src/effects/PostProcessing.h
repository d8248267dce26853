#pragma once
// The battle world is drawn into "rt_offscreen1" and carried to the back buffer through a
// short chain of full-screen passes (night vision or light-map composite, distortion,
// motion blur), rebuilt every frame as a list of at most 12 numbered operations that
// ping-pong between "rt_offscreen1" and "rt_offscreen2". Also the small render-target
// helpers (remember, switch, draw into the light map, restore) other drawers use.
#include <cstdint>
#include <string>

#include "engine/Sprites.h"

struct GShaderEffect;
namespace platform {
class Surface;
}

enum PostOp {
  PP_CLEAR_OFFSCREEN1 = 0,
  PP_TARGET_OFFSCREEN2 = 1,
  PP_BIND_OFFSCREEN1 = 2,
  PP_BIND_OFFSCREEN2 = 3,
  PP_COMPOSITE_LIGHTMAP = 4,
  PP_NIGHT_VISION = 5,
  PP_TARGET_BACKBUFFER = 6,
  PP_MOTION_BLUR = 7,
  PP_COPY = 8,
  PP_CLEAR = 9,
  PP_STATIC_NOISE = 10,
  PP_DISTORTION = 11,
  PP_NONE = 12,
};

class GUI_BS_PostProcessor {
 public:
  static constexpr int kMaxOps = 12;
  static GUI_BS_PostProcessor& Instance();
  GUI_BS_PostProcessor();

  void LoadShaders();
  void SaveBackBuffer();
  void ExecuteOp(int op);
  void RunCommandList();
  void ChoosePasses();
  void BuildOps();
  void AddTargetSwitch();
  void AddOp(int op);
  void RememberTempRT();
  bool SetRenderTarget(const char* name);
  void RestoreTempRT();
  // False (and back on the previous target) when there is no light map to draw into.
  bool BeginLightmapDraw();
  // The battle frame's prologue: remember the back buffer, then draw into "rt_offscreen1";
  // when no pass is expected the world goes straight onto the back buffer instead (no
  // off-screen clear, no copy), and a pass wanted after all waits for the next frame.
  void PrepareFrame();
  // Whether a pass that needs the world off screen is likely this frame, judged before
  // the world is drawn: lighting, or the camera's movement fading (motion blur).
  // Distortion alone does not: it bends only the part of the back buffer it covers.
  bool PassesExpected() const;
  // Distortion without the off-screen chain: the covered part of the back buffer is
  // copied aside and drawn back through the distortion.
  void DistortBackBufferRegion();
  // The resolution the light map is drawn at this frame, as a fraction of the screen's
  // (set on its target, so every draw into it is scaled).
  void SetLightMapScale(float scale);
  // Light is a soft glow: half the screen's resolution in each direction, filtered up.
  static constexpr float kLightMapScale = 0.5f;
  // Whether both passes that sample the light map (composite, night vision) have their
  // shaders, which read it at its scale.
  bool LightMapShadersReady() const;
  float lightMapScale = 1.0f;

  int ops[kMaxOps];
  int opCount = 0;
  bool nightVision = false, compositeLightmap = false, motionBlur = false, distortion = false;
  // The distortion rides in the light-map composite's pass (one full-screen pass for both).
  bool distortionInComposite = false;
  int passCount = 0, passesLeft = 0;
  int pingPong = 0;
  float blurStrength = 0;
  GVertex screenQuad[4];
  std::string savedBackBuffer;
  std::string savedTarget;
  GShaderEffect* motionBlurFx = nullptr;
  GShaderEffect* compositeFx = nullptr;
  GShaderEffect* nightVisionFx = nullptr;
  GShaderEffect* distortionFx = nullptr;
  GShaderEffect* compositeDistortionFx = nullptr;
  CTexturedSprite noiseQuad;
  float noiseOffsetX = 0, noiseOffsetY = 0, noiseTimer = 0;
  float noiseU = 0, noiseV = 0;
  float pulseTimer = 0, scanTimer = 0;
  bool framePrepared = false;
  bool drawnDirect = false;  // this frame's world is on the back buffer

 private:
  // Binds the light map on stage 1 for a pass through fx, sampled at its scale.
  void LightMapStage(GShaderEffect* fx);
  void EndLightMapStage();
};

// The distortion manager's answer: will the distortion target hold anything this frame
// (its registrations, or the desert's heat haze when asked)? Unset: nothing.
using DistortionPendingQuery = bool (*)(bool desertHaze);
void SetDistortionPendingQuery(DistortionPendingQuery query);
// The screen rectangles (left, top, right, bottom) the distortion target holds this
// frame, apart from one another: the one at 'index', false past the last.
using DistortionBoxQuery = bool (*)(int index, int box[4]);
void SetDistortionBoxQuery(DistortionBoxQuery query);
