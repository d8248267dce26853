#pragma once
// What a fallen soldier leaves: his body in its last death pose, a blood splat and his
// gun, thrown a short way. Bodies pile up on a map square only up to the option
// "MAX_CORPSES_PER_SQUARE"; past it the oldest lying body nearby fades away.
#include <cstdint>
#include <list>
#include <map>
#include <memory>

#include "battle/MapObject.h"
#include "engine/Sprites.h"

class GUI_BS_BloodSplat;
class SIM_MapSquare;

// A map object's offset from the camera in screen pixels.
void GUI_BS_CameraRelative(const SIM_MapObject& object, float* sx, float* sy);

class GUI_BS_ThrownGun : public SIM_MapObject {
 public:
  static constexpr float kFlightMs = 500.0f;
  static constexpr float kSize = 20.0f;
  static constexpr float kSpread = 18.0f;
  // The flight and the quad; queued when on screen.
  void Advance() override;
  BaseSprite sprite;
  float size = kSize;
  float alpha = 1.0f;
  float elapsed = 0.0f;
  float startX = 0.0f, startY = 0.0f;
  float targetX = 0.0f, targetY = 0.0f;
};

class GUI_BS_Corpse : public SIM_MapObject {
 public:
  enum State { LYING = 0, FADING = 1, GONE = 2 };
  static constexpr float kFadeMs = 1000.0f;
  static constexpr float kGlowMs = 2000.0f;
  CTexturedSprite parts[3];
  int state = LYING;
  float age = 0.0f;
  float size = 0.0f;
  int32_t colours[3][4] = {};
  int sheet = 1;
  const SIM_MapSquare* square = nullptr;
  GUI_BS_BloodSplat* splat = nullptr;  // in the blood layer's list
  GUI_BS_ThrownGun* gun = nullptr;     // in the corpse manager's list
};

struct CorpseManager {
  static constexpr float kNearSq = 100.0f * 100.0f;
  static CorpseManager& Get();
  ~CorpseManager() { Clear(); }
  void Clear();
  // The corpse pass of the battle frame.
  void Draw();
  // Steps ages and fades without drawing (the pass calls it; tests too).
  void Advance(float frameMs, float fade);
  float globalAlpha = 1.0f;
  int glowing = 0;  // parts handed to the light map by the last pass
  std::list<std::unique_ptr<GUI_BS_Corpse>> corpses;
  std::list<std::unique_ptr<GUI_BS_ThrownGun>> guns;
  std::map<const SIM_MapSquare*, int> perSquare;
};

// A soldier died at (x, y): his body (colours of torso, armour and head, r g b a each),
// blood and gun. The square's limit then applies.
GUI_BS_Corpse* AddCorpse(float x, float y, float heading, float size, const int32_t* const colours[3],
                         int sheet);
// The light map takes a fresh body's glow (set by the effects at start-up; unset, none).
using CorpseLightHook = void (*)(CTexturedSprite* sprite);
void SetCorpseLightHook(CorpseLightHook hook);
// Battle start: every body, gun and their splats go.
void ClearCorpses();
// The battle frame's corpse layer.
void DrawCorpses();
