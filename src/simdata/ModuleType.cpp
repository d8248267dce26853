#include "simdata/ModuleType.h"

#include "engine/ErrorReporting.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"
#include "simdata/HeaderTable.h"

namespace {
const char* const kModuleTable = "data/modules/unit modules.csv";
const char* const kDataItems = "data/modules/module_data_items.txt";

int ReadInt(const SettingsFile& data, const char* key) { return ParseInt(data.GetString(key).substr(0, 63)); }
}  // namespace

bool ParseModuleDataItemType(const std::string& text, ModuleDataItemType* type) {
  static const char* const kNames[] = {"INTEGER", "STRING", "DECIMAL", "BOOL", "PERCENTAGE", "DECIMAL_MULT"};
  for (int i = 0; i < 6; ++i) {
    if (text == kNames[i]) {
      *type = static_cast<ModuleDataItemType>(i);
      return true;
    }
  }
  return false;
}

// ---- SIM_ModuleType -----------------------------------------------------------------

SIM_ModuleType::SIM_ModuleType()
    : moduleData(std::make_unique<SettingsFile>()), dataItemSection(std::make_unique<SettingsFile>()) {}

SIM_ModuleType::~SIM_ModuleType() = default;

void SIM_ModuleType::ReadFields(const std::string& dataItemsFile) {
  const SettingsFile& data = *moduleData;
  name = data.GetString("name");
  guiName = data.GetString("guiname");
  cost = data.GetFloat("cost", 0.0f);
  icon = data.GetString("icon");
  slotType = data.GetString("slottype");
  uiSortPos = ReadInt(data, "uisortpos");
  weight = data.GetFloat("weight", 0.0f);
  moduleClass = data.GetString("class");

  sounds.clear();
  Tokenizer tokenizer(data.GetString("sound"), ',');
  tokenizer.SetKeepQuotes(false);
  while (!tokenizer.AtEnd()) sounds.push_back(tokenizer.Next());
  soundCursor = 0;

  isWeapon = moduleClass == "SIM_BeamLaserComponent" || moduleClass == "SIM_FlamethrowerComponent" ||
             moduleClass == "SIM_KineticWeaponComponent" || moduleClass == "SIM_MissileLauncherComponent";

  if (isWeapon) {
    // A weapon fires one of four warheads; a misspelt one is reported here, by module,
    // and the weapon hits without any warhead's effects.
    const std::string warhead = data.GetString("warhead");
    if (warhead != "BULLET" && warhead != "ENERGY" && warhead != "EXPLOSIVE" && warhead != "FLAMES")
      ZT_DATA_CHECK("module [" + name + "]: Unknown Warhead Type [" + warhead + "]");
  }

  unlockable.Set(name, guiName, SIM_Unlockable::KIND_MODULE);
  unlockable.SetIcon(icon);

  dataItems.clear();
  dataItemSection->LoadSection(dataItemsFile, moduleClass);
  for (const auto& entry : dataItemSection->Entries()) {
    std::vector<std::string> cells = SplitCommas(entry.second);
    for (std::string& cell : cells) cell = MakeString(cell);
    if (cells[0].empty()) continue;
    if (cells.size() < 2 || cells[1].empty()) {
      // A cut-off line: the item cannot be typed, so it is left out.
      ZT_DATA_PROBLEM(dataItemsFile + ": data item [" + cells[0] + "] of " + moduleClass +
                      " has no type; skipped");
      continue;
    }
    ModuleDataItem item;
    item.key = cells[0];
    if (!ParseModuleDataItemType(cells[1], &item.type))
      FatalError("SIM_ModuleType", 221, "Unrecognised data type for module data item");
    if (item.type == MDI_DECIMAL_MULT)
      item.multiplier = cells.size() > 2 ? static_cast<float>(ParseDouble(cells[2])) : 1.0f;
    dataItems.push_back(item);
  }
}

std::string SIM_ModuleType::NextSound() {
  if (sounds.empty()) return std::string();
  if (soundCursor >= sounds.size()) soundCursor = 0;
  std::string sound = sounds[soundCursor];
  soundCursor = (soundCursor + 1) % sounds.size();
  return sound;
}

bool SIM_ModuleType::FitsModuleSize(const std::string& moduleSize) const {
  const std::string key = "SZ_" + moduleSize;
  return moduleData->HasKey(key) && moduleData->GetString(key) == "X";
}

// ---- SIM_ModuleTypeManager ----------------------------------------------------------

SIM_ModuleTypeManager::SIM_ModuleTypeManager() = default;
SIM_ModuleTypeManager::~SIM_ModuleTypeManager() = default;

SIM_ModuleTypeManager& SIM_ModuleTypeManager::Get() { return ProcessWide<SIM_ModuleTypeManager>(); }

void SIM_ModuleTypeManager::Load() {
  if (loaded) return;
  LoadFrom(kModuleTable, kDataItems);
}

void SIM_ModuleTypeManager::LoadFrom(const std::string& tableFile, const std::string& dataItemsFile) {
  loaded = true;
  ReadHeaderKeyedTable(
      tableFile,
      [this]() -> SettingsFile& {
        types.push_back(std::make_unique<SIM_ModuleType>());
        return *types.back()->moduleData;
      },
      [this, &dataItemsFile]() { types.back()->ReadFields(dataItemsFile); });
}

SIM_ModuleType* SIM_ModuleTypeManager::Find(const std::string& name) const {
  for (const auto& t : types)
    if (t->name == name) return t.get();
  return nullptr;
}

void SIM_ModuleTypeManager::Clear() {
  types.clear();
  loaded = false;
}

const std::vector<std::string>& DamageModifierKeys() {
  static const std::vector<std::string> keys = {
      "effective_vs_armor", "effective_vs_shield", "effective_vs_internal", "hit_vs_tank",
      "hit_vs_mech",        "hit_vs_infantry",     "hit_vs_turret"};
  return keys;
}

bool IsDamageModifierKey(const std::string& key) {
  for (const std::string& k : DamageModifierKeys())
    if (k == key) return true;
  return false;
}
