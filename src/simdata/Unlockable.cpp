#include "simdata/Unlockable.h"

#include <algorithm>
#include <memory>

#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitHull.h"

namespace {
const char* const kUnlocksFile = "data/unlocks.txt";

SIM_Unlockable::DescriptionBuilder g_descriptionBuilder = nullptr;

std::vector<void (*)()>& CatalogueLoaders() {
  static std::vector<void (*)()> loaders;
  return loaders;
}
}  // namespace

// ---- SIM_Unlockable -------------------------------------------------------------

SIM_Unlockable::SIM_Unlockable() { SIM_UnlocksManager::Get().Register(this); }

SIM_Unlockable::~SIM_Unlockable() {
  // The manager may already be gone at process end or between tests.
  if (SIM_UnlocksManager::Exists()) SIM_UnlocksManager::Get().Unregister(this);
}

void SIM_Unlockable::Set(const std::string& newName, const std::string& newLabel, int32_t newNumber) {
  name = newName;
  label = newLabel;
  number = newNumber;
  description.clear();
  RefreshLocked();
}

void SIM_Unlockable::RefreshLocked() { locked = SIM_HighScores::Get().IsUnlocked(name) ? 0 : 1; }

const std::string& SIM_Unlockable::GetDescription() {
  if (description.empty() && number == 0) {
    description = g_descriptionBuilder ? g_descriptionBuilder(label) : label;
  }
  return description;
}

void SIM_Unlockable::SetDescriptionBuilder(DescriptionBuilder builder) { g_descriptionBuilder = builder; }

// ---- SIM_UnlocksManager -----------------------------------------------------------

SIM_UnlocksManager::SIM_UnlocksManager() = default;
SIM_UnlocksManager::~SIM_UnlocksManager() = default;

SIM_UnlocksManager& SIM_UnlocksManager::Get() { return ProcessWide<SIM_UnlocksManager>(); }

bool SIM_UnlocksManager::Exists() { return ProcessWideIfAlive<SIM_UnlocksManager>() != nullptr; }

void SIM_UnlocksManager::Register(SIM_Unlockable* unlockable) { all.push_back(unlockable); }

void SIM_UnlocksManager::Unregister(SIM_Unlockable* unlockable) {
  auto drop = [unlockable](std::vector<SIM_Unlockable*>& list) {
    list.erase(std::remove(list.begin(), list.end(), unlockable), list.end());
  };
  drop(all);
  drop(choices);
  drop(free);
}

void SIM_UnlocksManager::RegisterCatalogueLoader(void (*loader)()) {
  auto& loaders = CatalogueLoaders();
  if (std::find(loaders.begin(), loaders.end(), loader) == loaders.end()) loaders.push_back(loader);
}

void SIM_UnlocksManager::UnregisterCatalogueLoader(void (*loader)()) {
  auto& loaders = CatalogueLoaders();
  loaders.erase(std::remove(loaders.begin(), loaders.end(), loader), loaders.end());
}

void SIM_UnlocksManager::EnsureCataloguesLoaded() {
  // Unlockables exist only once their catalogue has loaded; hulls, scenarios and air
  // strikes load lazily, so a lookup by name must load them all first. Air strikes
  // belong to the battle, which registers its loader.
  SIM_ModuleTypeManager& modules = SIM_ModuleTypeManager::Get();
  if (!modules.IsLoaded()) modules.Load();
  SIM_UnitHullManager::Get().Load();
  SIM_ScenarioManager::Get().Load();
  for (void (*loader)() : std::vector<void (*)()>(CatalogueLoaders())) loader();
}

SIM_Unlockable* SIM_UnlocksManager::TryFind(const std::string& name) const {
  for (SIM_Unlockable* u : all)
    if (u->name == name) return u;
  return nullptr;
}

SIM_Unlockable* SIM_UnlocksManager::Find(const std::string& name) {
  if (SIM_Unlockable* u = TryFind(name)) return u;
  EnsureCataloguesLoaded();
  if (SIM_Unlockable* u = TryFind(name)) return u;
  FatalError("SIM_Unlockable", __LINE__, "Unlock not found [" + name + "]");
}

void SIM_UnlocksManager::EnsureLoaded() {
  if (!loaded) Load();
}

void SIM_UnlocksManager::Remove(const SIM_Unlockable* unlockable) {
  for (std::vector<SIM_Unlockable*>* list : {&choices, &free})
    list->erase(std::remove(list->begin(), list->end(), unlockable), list->end());
}

void SIM_UnlocksManager::Load() {
  loaded = true;
  choices.clear();
  free.clear();
  EnsureCataloguesLoaded();
  SIM_HighScores& records = SIM_HighScores::Get();
  auto fill = [&](const char* section, std::vector<SIM_Unlockable*>& list) {
    SettingsFile file;
    file.LoadSection(kUnlocksFile, section);
    for (const auto& entry : file.Entries()) {
      if (records.IsUnlocked(entry.first)) continue;
      list.push_back(Find(entry.first));
    }
  };
  fill("choices", choices);
  fill("free", free);
}
