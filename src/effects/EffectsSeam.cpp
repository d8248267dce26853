#include "effects/EffectsSeam.h"

#include <set>
#include <string>

#include "battlescreen/BattleSprites.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/Smoke.h"
#include "engine/Log.h"

void TakeBattleEffectRequest(const GUI_BS_EffectRequest& request) {
  if (request.kind == "exhaust") {
    ExhaustRequest(request.name, request.x, request.y);
    return;
  }
  // Burning wrecks and ground blasts: a heat emitter of that config, radius a, life b.
  if (request.kind == "ground_emitter") {
    GUI_BS_EffectsManager::Instance().Add(
        new GUI_BS_GroundEmitter(request.a, request.b, request.name, request.x, request.y));
    return;
  }
  if (RouteExplosionRequest(request)) return;
  static std::set<std::string> reported;
  if (reported.insert(request.kind).second)
    LogErrorF("Battle effect request of unknown kind %s ignored", request.kind.c_str());
}
