#include "simdata/UnitDesign.h"

#include <algorithm>
#include <cstdio>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "platform/Window.h"
#include "simdata/AugmentationFactors.h"
#include "simdata/DataHooks.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {

// Other players' designs arrive with challenges and recordings: a variant has only a
// handful of layers, so anything far beyond that is hostile or broken.
constexpr size_t kMaxDesignLayers = 64;
constexpr size_t kMaxDesignNameLength = 64;

float ModuleNumber(const SIM_ModuleType* type, const char* key) {
  return type->ModuleData().GetFloat(key, 0.0f);
}

int ClampComponent(int value) { return std::clamp(value, 0, 255); }

// A line break inside a value would start a new line of the file.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

}  // namespace

SIM_UnitDesign::SIM_UnitDesign() : config(std::make_unique<SettingsFile>()) {}

SIM_UnitDesign::~SIM_UnitDesign() = default;

bool SIM_UnitDesign::Load(const std::string& path, bool asAIDesign) {
  cost = 0.0f;
  file = path;
  if (!config->LoadSection(path, "config")) {
    LogErrorF("Unit design [%s]: no config section", path.c_str());
    return false;
  }

  const std::string configName = config->GetString("name");
  // The name may become a file name (the designer saves by it), so it must be plain.
  if (!IsPlainFileName(configName, kMaxDesignNameLength)) {
    LogErrorF("Unit design [%s]: unusable name [%s]", path.c_str(), configName.c_str());
    return false;
  }
  name = (asAIDesign ? "ai_" : "") + configName;
  guiName = config->GetString("guiname");
  description = config->GetString("description");

  const std::string hullName = config->GetString("hull");
  hull = SIM_UnitHullManager::Get().GetHull(hullName);
  if (!hull) {
    LogErrorF("Unit design [%s]: unknown hull [%s]", path.c_str(), hullName.c_str());
    return false;
  }
  const std::string variantName = config->GetString("variant");
  variant = TryFindVariant(variantName);
  if (!variant) {
    LogErrorF("Unit design [%s]: unknown variant [%s]", path.c_str(), variantName.c_str());
    return false;
  }
  if (variant->hull != hull) {
    LogErrorF("Unit design [%s]: variant [%s] is not a variant of hull [%s]", path.c_str(),
              variantName.c_str(), hullName.c_str());
    return false;
  }

  modules.clear();
  weapon = nullptr;
  SettingsFile moduleSection;
  moduleSection.LoadSection(path, "modules");
  // Only the hull's own slots are read; keys beyond them are ignored.
  for (const HullSlot& slot : hull->slots) {
    const std::string value = moduleSection.GetString(std::to_string(slot.index));
    if (value.empty()) continue;
    Tokenizer cells(value, ',');
    const std::string typeName = cells.NextString();
    SIM_ModuleTypeManager& moduleTypes = SIM_ModuleTypeManager::Get();
    if (!moduleTypes.IsLoaded()) moduleTypes.Load();
    SIM_ModuleType* type = moduleTypes.Find(typeName);
    if (!type) {
      LogErrorF("Unit design [%s]: unknown module type [%s] in slot %d", path.c_str(), typeName.c_str(),
                slot.index);
      return false;
    }
    DesignModule module;
    module.type = type;
    module.x = slot.x;
    module.y = slot.y;
    module.slot = slot.index;
    modules.push_back(module);
    if (type->isWeapon) weapon = type;
  }

  layers.clear();
  SettingsFile layerSection;
  layerSection.LoadSection(path, "layers");
  for (const SettingsFile::Entry& entry : layerSection.Entries()) {
    if (entry.second.empty()) continue;
    if (layers.size() >= kMaxDesignLayers) {
      LogErrorF("Unit design [%s]: more than %zu colour layers; the rest are ignored", path.c_str(),
                kMaxDesignLayers);
      break;
    }
    Tokenizer cells(entry.second, ',');
    DesignLayer layer;
    layer.name = cells.NextString();
    for (int i = 0; i < 4; ++i) {
      // A missing cell reads 0 (the tokenizer yields an empty text past the end).
      layer.colour[i] = cells.AtEnd() ? 0 : ClampComponent(cells.NextInt());
    }
    layers.push_back(layer);
  }

  ComputeStats();
  return true;
}

bool SIM_UnitDesign::Save(const std::string& path) const {
  if (!hull || !variant) {
    LogErrorF("Failed to write unit design: [%s] (design is incomplete)", path.c_str());
    return false;
  }
  // Built as text rather than through a fixed buffer, so long descriptions are never cut.
  std::string text = "[config]\n";
  text += "name = " + OneLine(name) + " \n";
  text += "guiname = " + OneLine(guiName) + " \n";
  text += "description = " + OneLine(description) + " \n";
  text += "hull = " + hull->name + " \n";
  text += "variant = " + variant->name + " \n";

  text += "\n[modules]\n";
  for (size_t n = 0; n < hull->slots.size(); ++n) {
    const DesignModule* fitted = nullptr;
    for (const DesignModule& module : modules) {
      if (module.slot == static_cast<int32_t>(n)) fitted = &module;
    }
    text += std::to_string(n) + " = ";
    if (fitted && fitted->type) text += fitted->type->name + ",";
    text += "\n";
  }

  text += "\n[layers]\n";
  for (size_t i = 0; i < layers.size(); ++i) {
    const DesignLayer& layer = layers[i];
    text += std::to_string(i) + " = " + layer.name;
    for (int component : layer.colour) text += "," + std::to_string(component);
    text += "\n";
  }

  // A failed save must not cost the player the design or the game.
  if (!WriteFileAtomic(path, text)) {
    LogErrorF("Failed to write unit design: [%s]", path.c_str());
    return false;
  }
  return true;
}

void SIM_UnitDesign::ComputeStats() {
  if (!hull) return;
  // The factors of this design, not whatever the designer last showed.
  const AugmentationFactors factors = AugmentationFactorsFor(*this);
  const bool building = hull->sizeType == SIZETYPE_BUILDING;
  float (*bonus)() = GetDataHooks().defenderDefenceBonus;
  const float defence = building && bonus ? bonus() : 1.0f;

  hitPoints = hull->hitPoints * factors.HitPoints();
  weight = hull->weight;
  cost = hull->cost;
  armour = 0.0f;
  shields = 0.0f;
  float thrust = 0.0f;
  float speedBonus = 0.0f;
  bool supplies = false;

  for (const DesignModule& module : modules) {
    const SIM_ModuleType* type = module.type;
    if (!type) continue;
    const bool augmentation = type->slotType == "AUGMENTATION";
    cost += (augmentation && hull->sizeType == SIZETYPE_INFANTRY) ? 0.2f * type->cost : type->cost;
    weight += type->weight;
    const std::string& cls = type->moduleClass;
    if (cls == "SIM_ArmorComponent") {
      armour += ModuleNumber(type, "maxdamageabsorbable") * defence * factors.ArmourStrength();
    } else if (cls == "SIM_ShieldComponent") {
      shields += ModuleNumber(type, "shieldpoints") * defence * factors.ShieldStrength();
    } else if (cls == "SIM_EngineComponent") {
      thrust += ModuleNumber(type, "thrust");
    } else if (cls == "SIM_VariableComponent") {
      if (type->ModuleData().GetString("variable_name") == "UVT_SPEED_BONUS") {
        speedBonus += ModuleNumber(type, "variable_var");
      }
    } else if (cls == "SIM_SupplyComponent") {
      supplies = true;
    }
  }

  // A weightless design would otherwise get an infinite or NaN speed.
  speed = weight > 0.0f ? thrust / weight : 0.0f;
  speed = speed + speed * speedBonus;
  if (supplies) cost = 0.0f;
}

void SIM_UnitDesign::SetVariant(SIM_UnitHullVariant* newVariant) {
  if (newVariant == variant) return;
  variant = newVariant;
  layers.clear();
  if (!variant) return;
  for (const VariantLayer& source : variant->layers) {
    DesignLayer layer;
    layer.name = source.layerName;
    layers.push_back(layer);
  }
}

DesignLayer* SIM_UnitDesign::FindLayer(const std::string& layerName, bool report) {
  for (DesignLayer& layer : layers) {
    if (layer.name == layerName) return &layer;
  }
  if (report) LogErrorF("failed to find %s", layerName.c_str());
  return nullptr;
}

int SIM_UnitDesign::CountModulesOfClass(const std::string& className) const {
  return static_cast<int>(std::count_if(modules.begin(), modules.end(), [&](const DesignModule& m) {
    return m.type && m.type->moduleClass == className;
  }));
}

int SIM_UnitDesign::CountModulesOfType(const std::string& typeName) const {
  return static_cast<int>(std::count_if(modules.begin(), modules.end(), [&](const DesignModule& m) {
    return m.type && m.type->name == typeName;
  }));
}

bool SIM_UnitDesign::HasSplashDamage() const {
  for (const DesignModule& module : modules) {
    if (!module.type) continue;
    const SettingsFile& data = module.type->ModuleData();
    if (!data.GetString("splash_damage_radius").empty() &&
        data.GetFloat("splash_damage_radius", 0.0f) > 0.0f) {
      return true;
    }
  }
  return false;
}

bool SIM_UnitDesign::HasAugmentationLike(const SIM_ModuleType* type) const {
  if (!type) return false;
  const std::string variable = type->ModuleData().GetString("variable_name");
  for (const DesignModule& module : modules) {
    if (!module.type || module.type->slotType != "AUGMENTATION") continue;
    if (module.type->ModuleData().GetString("variable_name") == variable) return true;
  }
  return false;
}

int SIM_UnitDesign::GetSizeType() const { return hull ? hull->sizeType : SIZETYPE_NONE; }

// ---------------------------------------------------------------------------

SIM_UnitDesignManager::SIM_UnitDesignManager() = default;
SIM_UnitDesignManager::~SIM_UnitDesignManager() = default;

SIM_UnitDesignManager& SIM_UnitDesignManager::Get() { return ProcessWide<SIM_UnitDesignManager>(); }

void SIM_UnitDesignManager::EnsureLoaded() { Load(); }

void SIM_UnitDesignManager::Load() {
  // Loading twice would list every design twice.
  if (loaded) return;
  loaded = true;
  for (const std::string& path : ListFiles("data/sampleunits/*.txt", true)) {
    AddDesignFromFile(path);
  }
  std::string playerFolder = GetUserFolder(USERFOLDER_PLAYER_UNITS);
  // Before the game has built its folder table (tools, tests) the folder is still known.
  if (playerFolder.empty()) playerFolder = platform::UserFolderRoot() + "/player_units";
  for (const std::string& path : ListFiles(playerFolder + "/*.txt", true)) {
    if (AddDesignFromFile(path)) hasPlayerDesigns = true;
  }
}

SIM_UnitDesign* SIM_UnitDesignManager::FindDesign(const std::string& designName) {
  EnsureLoaded();
  for (const auto& design : designs) {
    if (design->name == designName) return design.get();
  }
  return nullptr;
}

SIM_UnitDesign* SIM_UnitDesignManager::FindDesignByFile(const std::string& path) {
  EnsureLoaded();
  for (const auto& design : designs) {
    if (design->file == path) return design.get();
  }
  return nullptr;
}

SIM_UnitDesign* SIM_UnitDesignManager::AdoptDesign(std::unique_ptr<SIM_UnitDesign> design) {
  EnsureLoaded();
  if (!design) return nullptr;
  designs.push_back(std::move(design));
  if (designs.back()->file.rfind("data/sampleunits/", 0) != 0) hasPlayerDesigns = true;
  return designs.back().get();
}

bool SIM_UnitDesignManager::RemoveDesign(const SIM_UnitDesign* design) {
  for (auto it = designs.begin(); it != designs.end(); ++it) {
    if (it->get() == design) {
      designs.erase(it);
      return true;
    }
  }
  return false;
}

SIM_UnitDesign* SIM_UnitDesignManager::GetRandomDesign() {
  EnsureLoaded();
  if (designs.empty()) return nullptr;
  size_t index = static_cast<size_t>(EngineRand() / 32768.0 * static_cast<double>(designs.size()));
  if (index >= designs.size()) index = designs.size() - 1;
  return designs[index].get();
}

SIM_UnitDesign* SIM_UnitDesignManager::AddDesignFromFile(const std::string& path) {
  auto design = std::make_unique<SIM_UnitDesign>();
  if (!design->Load(path, false)) {
    DebugLogF("Unit design skipped: %s", path.c_str());
    return nullptr;
  }
  designs.push_back(std::move(design));
  return designs.back().get();
}

SIM_UnitDesign* SIM_UnitDesignManager::AddAIDesignFromFile(const std::string& path) {
  auto design = std::make_unique<SIM_UnitDesign>();
  if (!design->Load(path, true)) {
    DebugLogF("AI design skipped: %s", path.c_str());
    return nullptr;
  }
  aiDesigns.push_back(std::move(design));
  return aiDesigns.back().get();
}

void SIM_UnitDesignManager::LoadAIFolder(const std::string& pattern) {
  for (const std::string& path : ListFiles(pattern, true)) {
    AddAIDesignFromFile(path);
  }
}

void SIM_UnitDesignManager::ClearAIDesigns() { aiDesigns.clear(); }

SIM_UnitDesign* SIM_UnitDesignManager::FindAIDesign(const std::string& designName) {
  for (const auto& design : aiDesigns) {
    if (design->name == designName) return design.get();
  }
  return nullptr;
}

bool SIM_UnitDesignManager::HasAIDesignFor(bool infantry, bool armedBuildings, bool unarmedBuildings) const {
  for (const auto& design : aiDesigns) {
    const int sizeType = design->GetSizeType();
    if (sizeType == SIZETYPE_INFANTRY && infantry) return true;
    if (sizeType == SIZETYPE_BUILDING && design->weapon && armedBuildings) return true;
    if (sizeType == SIZETYPE_BUILDING && !design->weapon && unarmedBuildings) return true;
  }
  return false;
}
