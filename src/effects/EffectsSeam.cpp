#include "effects/EffectsSeam.h"

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"

namespace {
struct EffectsSeamState {
  std::vector<std::string> configNames;
  int groupLists = 0;
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

void ParticleGroupsClearLists() { State().groupLists = 0; }

void ParticleConfigsClear() { State().configNames.clear(); }

void ParticleConfigsLoad() {
  // Only the names for now; the effects subsystem reads the configurations themselves.
  for (const std::string& file : ListFiles("data/particleconfigs/*.txt")) {
    State().configNames.push_back(file.substr(0, file.size() - 4));
  }
  DebugLogF("Particle configurations found: %d", static_cast<int>(State().configNames.size()));
}

void ExplosionTypeNamesInit() {}

const std::vector<std::string>& ParticleConfigNames() { return State().configNames; }

void EffectsRecordRequest(const GUI_BS_EffectRequest& request) {
  std::vector<GUI_BS_EffectRequest>& list = State().requests;
  // A long battle asks for thousands of puffs: only the latest are kept.
  if (list.size() >= kKeptRequests) list.erase(list.begin(), list.begin() + kKeptRequests / 2);
  list.push_back(request);
}

const std::vector<GUI_BS_EffectRequest>& EffectsRequests() { return State().requests; }

void EffectsRequestsClear() { State().requests.clear(); }
