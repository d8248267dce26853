#pragma once
// What rides on a unit and is drawn by the effects: the smoke and heat of a wounded unit,
// fixed to one of its hull's aim points, and the pulsing light-map copy of a lit layer
// (cockpits, lamps) that shows at night.
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"

class GUI_BS_GroundHeatEmitter;
class GUI_BS_Sprite;
class SIM_BattleUnit;
class SIM_UnitTargetData;

class GUI_BS_UnitEmmiter : public GUI_BS_RenderObject {
 public:
  static constexpr float kRadius = 12.0f;
  static constexpr float kSlowest = 0.75f;
  GUI_BS_UnitEmmiter(const SIM_UnitTargetData* point, SIM_BattleUnit* unit, const std::string& effect);
  ~GUI_BS_UnitEmmiter() override;
  void Draw() override;
  // Only the unit's own pruning removes it (it checks `finished`).
  bool IsFinished() override { return finished; }
  void UpdatePosition();
  // The aim point on the world: turret points turn with the turret.
  static void WorldPosition(const SIM_UnitTargetData* point, const SIM_BattleUnit* unit, float* x, float* y);
  // The emission rate for the unit's pace.
  static float EmissionRate(const SIM_BattleUnit* unit);

  const SIM_UnitTargetData* point = nullptr;
  SIM_BattleUnit* unit = nullptr;
  bool finished = false;
  std::unique_ptr<GUI_BS_GroundHeatEmitter> heat;
};

std::vector<GUI_BS_UnitEmmiter*>& UnitEmitterList();
// The battle frame's unit-emitter layer.
void DrawUnitEmitters();

class GUI_BS_UnitLightmap : public GUI_BS_RenderObject {
 public:
  static constexpr float kPulseMs = 64.0f;
  GUI_BS_UnitLightmap(GUI_BS_Sprite* owner, const std::string& texture);
  ~GUI_BS_UnitLightmap() override;
  void Draw() override;
  bool IsFinished() override { return false; }
  // The light's alpha a pulse timer gives (0.78 x 255 up to 255 and back).
  static int PulseAlpha(float timerMs);

  CTexturedSprite light;
  GUI_BS_Sprite* owner = nullptr;
  float pulseTimer = 0.0f;
};

// Start-up wiring: units make their emitters and lights through these.
void ConnectUnitEmitters();
