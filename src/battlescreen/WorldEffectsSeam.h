#pragma once
// What the unit visuals ask of effects that are drawn elsewhere. Explosions, glare,
// plumes, debris and exhaust puffs belong to the effects layer above the battle screen,
// which takes them through UnitEffectHooks; the battle world's own pieces that are not
// built yet (hulks and breakups, track marks, ground blasts, distortions, camera shake,
// unit emitters) are kept here as requests until they are. Nothing here touches the
// simulation.
#include <string>
#include <vector>

struct GUI_BS_EffectRequest {
  std::string kind;  // "explosion", "group", "glare", "plume", "debris", "exhaust", "trackmark", ...
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
};
UnitEffectHooks& GetUnitEffectHooks();
// Hands one request to the effects layer.
void RequestBattleEffect(const std::string& kind, const std::string& name, float x, float y, float a = 0.0f,
                         float b = 0.0f);

// Stand-in for the battle world's hulks, breakups, track marks, craters, distortion and
// camera shake: it keeps the latest requests (bounded) so a battle's look can be checked.
class GUI_BS_WorldEffectsSeam {
 public:
  static constexpr size_t kKept = 512;
  static GUI_BS_WorldEffectsSeam& Instance();
  void Record(const std::string& kind, const std::string& name, float x, float y, float a = 0.0f,
              float b = 0.0f, float c = 0.0f, float d = 0.0f);
  int Count(const std::string& kind) const;
  void Clear() { requests.clear(); }
  std::vector<GUI_BS_EffectRequest> requests;
};
