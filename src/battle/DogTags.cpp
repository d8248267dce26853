#include "battle/DogTags.h"

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleView.h"
#include "battle/Gameplay.h"
#include "battle/ProcessWide.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "simdata/GlobalStats.h"

// ---- dog tags ---------------------------------------------------------------------

SIM_DogTag::SIM_DogTag(float tx, float ty, int v) : x(tx), y(ty), value(v) {}

DogTagList& GetDogTagManager() { return ProcessWide<DogTagList>(); }

SIM_DogTag* DogTagList::Add(float x, float y, int value) {
  auto tag = std::make_unique<SIM_DogTag>(x, y, value);
  tag->visual = GetBattleView().CreateDogTagVisual(*tag);
  tags.push_back(std::move(tag));
  BattleHooks& hooks = GetBattleHooks();
  if (BattleExists() && GetBattle().PlayerDefends() && hooks.tutorialTrigger)
    hooks.tutorialTrigger("BATTLE_DOGTAGS");
  return tags.back().get();
}

void DogTagList::Update() {
  if (tags.empty()) return;
  SIM_Battle& battle = GetBattle();
  // Real time: the battle step undone by the speed, 16 ms per update at any speed;
  // nothing while paused.
  const float step = battle.speed > 0.0f ? battle.frameStep / battle.speed : 0.0f;
  const float lifetime = GetGameplay().DOGTAG_LIFETIME;
  std::vector<SIM_DogTag*> expired;
  for (auto& t : tags) {
    t->age += step;
    if (t->age > lifetime) expired.push_back(t.get());
  }
  for (SIM_DogTag* t : expired)
    tags.remove_if([t](const std::unique_ptr<SIM_DogTag>& p) { return p.get() == t; });
}

void DogTagList::Collect(SIM_DogTag* tag) {
  for (auto it = tags.begin(); it != tags.end(); ++it) {
    if (it->get() != tag) continue;
    GetGameplay().SpendSupplies(-static_cast<float>(tag->value));
    SIM_GlobalStats::Get().AddStat("temp_dogtags_collected", 1);
    tags.erase(it);
    return;
  }
}

void DogTagList::Clear() { tags.clear(); }

// ---- explosion managers ---------------------------------------------------------------

SIM_ExplosionManager& SIM_ExplosionManager::Get() { return ProcessWide<SIM_ExplosionManager>(); }

void SIM_ExplosionManager::LoadAll(const std::string& pattern) {
  records.clear();
  for (const std::string& file : ListFiles(pattern, true)) {
    SettingsFile config;
    config.LoadSection(file, "config");
    auto record = std::make_unique<ExplosionManagerRecord>();
    record->name = config.GetString("name");
    if (record->name.empty()) {
      LogErrorF("Explosion manager without a name skipped: %s", file.c_str());
      continue;
    }
    record->explosions.LoadSection(file, "explosions");
    records.push_back(std::move(record));
  }
}

const ExplosionManagerRecord& SIM_ExplosionManager::Find(const std::string& name) {
  if (records.empty()) LoadAll();
  for (const auto& r : records)
    if (r->name == name) return *r;
  FatalError("SIM_ExplosionManager", __LINE__, "Failed to find explosion manager [" + name + "]");
}
