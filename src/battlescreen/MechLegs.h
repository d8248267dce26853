#pragma once
// A mech's legs: a walk cycle of 120 frames per stride, driven by the distance the mech
// has walked, drawn as two mirrored legs from one sheet (16 x 8 cells). Each foot plants
// once per stride: a footprint, a thump and a puff of dust. A stop order waits for the
// next frame step so the mech halts on a leg frame rather than mid-stride.
#include <cstdint>

#include "engine/Sprites.h"

class CLoadedTexture;
class SIM_BattleUnit;
class GUI_BS_MechUnit;

class MechLegAnimator {
 public:
  static constexpr int kFrames = 120;
  static constexpr int kHalf = 60;
  static constexpr int kFirstFrame = 13;
  static constexpr int kSheetColumns = 16;
  static constexpr int kSheetRows = 8;

  MechLegAnimator(SIM_BattleUnit* unit, GUI_BS_MechUnit* owner);
  // Per frame: the distance walked turns the legs, frame by frame.
  void Step();
  void Draw();
  // The frames the left and right feet land on.
  int LeftImpactFrame() const { return impactFrame; }
  int RightImpactFrame() const { return (impactFrame + kHalf) % kFrames; }
  // How high a leg is lifted at frame k of its half of the stride (0 when planted).
  static float Lift(int k, float width);
  // The leg wrecks and detached visuals keep: nothing reads the unit again.
  void DropUnit() { unit = nullptr; }

  float distance = 0.0f;
  int32_t frame = kFirstFrame;
  SIM_BattleUnit* unit = nullptr;
  bool stopRequest = false;
  BaseSprite legsQuad;
  CLoadedTexture* legsTexture = nullptr;
  CTexturedSprite firstLeg;
  CTexturedSprite secondLeg;
  // Their copies in the light map under night vision.
  CTexturedSprite firstLegLight;
  CTexturedSprite secondLegLight;
  float x = 0.0f;
  float y = 0.0f;
  int32_t impactFrame = 0;
  GUI_BS_MechUnit* owner = nullptr;
  float stride = 0.0f;
  float legsSize = 0.0f;
  bool firstStep = true;
  int32_t colourR = 255, colourG = 255, colourB = 255, colourA = 255;

 private:
  void FootCheck();
  void PlaceLeg(CTexturedSprite& leg, int legFrame, bool mirrored, float cx, float cy, float quadWidth,
                float quadHeight);
};
