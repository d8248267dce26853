#pragma once
// What the battle world asks of the effects layer above it: explosions, glare, plumes,
// debris, exhaust puffs, shock waves and burning ground by request, fires put out, and the
// death sequences that lay a wreck. The effects layer registers the hooks at start-up;
// unset, nothing is asked. Nothing here touches the simulation.
#include <string>
#include <vector>

class GUI_BS_MajorUnit;

struct GUI_BS_EffectRequest {
  // "explosion", "group", "glare", "glare_lm", "plume", "debris", "shockwave", "exhaust" or
  // "ground_emitter".
  std::string kind;
  std::string name;  // the explosion type, group, emitter or texture name when there is one
  float x = 0.0f;
  float y = 0.0f;
  float a = 0.0f;  // kind-specific values (sizes, strengths, times)
  float b = 0.0f;
  float c = 0.0f;
  float d = 0.0f;
};

// Registered by the effects layer at start-up; unset, effect requests are dropped.
struct UnitEffectHooks {
  void (*request)(const GUI_BS_EffectRequest& request) = nullptr;
  // Puts out the extinguishable ground fires within the radius of (x, y).
  void (*extinguishFires)(float radius, float x, float y) = nullptr;
  // Starts the timed explosions of a major unit's death from its hull's explosion manager;
  // the sequence's break-up event lays the owner's wreck (GUI_BS_MajorUnit::PlaceWreck).
  // False when no sequence runs (no manager, a full pool).
  bool (*startDeathSequence)(const std::string& manager, float x, float y, float heading,
                             GUI_BS_MajorUnit* owner) = nullptr;
  // The owner is going: its running sequence no longer reaches it.
  void (*forgetDeathSequence)(GUI_BS_MajorUnit* owner) = nullptr;
};
UnitEffectHooks& GetUnitEffectHooks();
// Hands one request to the effects layer.
void RequestBattleEffect(const std::string& kind, const std::string& name, float x, float y, float a = 0.0f,
                         float b = 0.0f);
