#pragma once
// The supply crates as the player sees them: each falls for a quarter of a second,
// shrinking onto its square and shattering a wreck it lands on, then lies there until a
// unit collects it (a truck for the attacking side, a flash and a shock wave) or the
// crates are cleared. The simulation owns the crates; these follow them by handle.
#include <cstdint>
#include <list>
#include <memory>

#include "engine/Sprites.h"

class SIM_BattleUnit;
struct SIM_AirDrop;

class GUI_BS_AirDrop {
 public:
  static constexpr float kFallMs = 250.0f;
  static constexpr float kSize = 100.0f;
  static constexpr float kShatterRadius = 60.0f;
  GUI_BS_AirDrop(int32_t simDrop, float x, float y, float rotation);
  virtual ~GUI_BS_AirDrop() = default;
  // Advances the fall by the battle's frame time and queues the shadow and the crate.
  virtual void UpdateAndDraw();
  // 1.5 at the start of the fall, 1.0 once landed.
  float Scale() const;
  // The flash where the crate is picked up (or cleared).
  void SpawnPickupEffect() const;

  int32_t simDrop = 0;
  float elapsed = 0.0f;
  CTexturedSprite crateSprite;
  CTexturedSprite shadowSprite;
  bool landed = false;
  float x = 0.0f;
  float y = 0.0f;
};

class GUI_BS_AirDropManager {
 public:
  static GUI_BS_AirDropManager& Instance();
  virtual ~GUI_BS_AirDropManager() { DeleteAll(); }
  // The simulation dropped a crate.
  void AddDrop(int32_t simDrop, float x, float y);
  void DrawAll();
  // A unit stepped somewhere: the first crate on its square goes to the attacking side.
  bool CheckCollect(const SIM_BattleUnit* unit);
  // The simulation reports a crate collected: the pick-up shows and the crate goes.
  void Collected(int32_t simDrop, float x, float y);
  // The crates were cleared: each goes with its pick-up effect.
  void Clear();
  // Battle start: every crate goes without any effect.
  void DeleteAll() { drops.clear(); }
  GUI_BS_AirDrop* Find(int32_t simDrop) const;

  std::list<std::unique_ptr<GUI_BS_AirDrop>> drops;
};

// Start-up wiring: the simulation's crate hooks and the frame layer.
void ConnectAirDropCrates();
