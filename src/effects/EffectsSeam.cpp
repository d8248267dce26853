#include "effects/EffectsSeam.h"

#include "battlescreen/BattleSprites.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "effects/Smoke.h"
#include "engine/Singletons.h"

namespace {
struct EffectsSeamState {
  std::vector<GUI_BS_EffectRequest> requests;
};
constexpr size_t kKeptRequests = 512;

EffectsSeamState& State() {
  static EffectsSeamState state;
  static bool registered = (RegisterSingletonReset([] { state = EffectsSeamState(); }), true);
  (void)registered;
  return state;
}
}  // namespace

void EffectsRecordRequest(const GUI_BS_EffectRequest& request) {
  if (request.kind == "exhaust") ExhaustRequest(request.name, request.x, request.y);
  // Burning wrecks and ground blasts: a heat emitter of that config, radius a, life b.
  if (request.kind == "ground_emitter")
    GUI_BS_EffectsManager::Instance().Add(
        new GUI_BS_GroundEmitter(request.a, request.b, request.name, request.x, request.y));
  // Shock waves come from the battle world's own record; they are not kept twice.
  if (RouteExplosionRequest(request) && request.kind == "shockwave") return;
  std::vector<GUI_BS_EffectRequest>& list = State().requests;
  // A long battle asks for thousands of puffs: only the latest are kept.
  if (list.size() >= kKeptRequests) list.erase(list.begin(), list.begin() + kKeptRequests / 2);
  list.push_back(request);
}

const std::vector<GUI_BS_EffectRequest>& EffectsRequests() { return State().requests; }

void EffectsRequestsClear() { State().requests.clear(); }
