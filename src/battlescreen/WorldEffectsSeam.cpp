#include "battlescreen/WorldEffectsSeam.h"

#include <algorithm>

#include "engine/Singletons.h"

UnitEffectHooks& GetUnitEffectHooks() {
  static UnitEffectHooks hooks;
  return hooks;
}

void RequestBattleEffect(const std::string& kind, const std::string& name, float x, float y, float a,
                         float b) {
  if (auto* fn = GetUnitEffectHooks().request) fn(GUI_BS_EffectRequest{kind, name, x, y, a, b, 0.0f, 0.0f});
}

GUI_BS_WorldEffectsSeam& GUI_BS_WorldEffectsSeam::Instance() {
  return ProcessWide<GUI_BS_WorldEffectsSeam>();
}

void GUI_BS_WorldEffectsSeam::Record(const std::string& kind, const std::string& name, float x, float y,
                                     float a, float b, float c, float d) {
  // A long battle lays thousands of track marks: only the latest are kept.
  if (requests.size() >= kKept) requests.erase(requests.begin(), requests.begin() + kKept / 2);
  requests.push_back(GUI_BS_EffectRequest{kind, name, x, y, a, b, c, d});
  // Shock waves and burning wrecks are drawn by the effects layer.
  if (kind == "shockwave" || kind == "ground_emitter") RequestBattleEffect(kind, name, x, y, a, b);
}

int GUI_BS_WorldEffectsSeam::Count(const std::string& kind) const {
  return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                        [&](const GUI_BS_EffectRequest& r) { return r.kind == kind; }));
}
