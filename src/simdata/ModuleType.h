#pragma once
// Module types: every weapon, armour plate, shield, engine and support device a unit
// design can carry, one row each of "data/modules/unit modules.csv", with the typed
// descriptions of each component class's data items from
// "data/modules/module_data_items.txt".
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simdata/Unlockable.h"

class SettingsFile;

// Anything with a price in supplies.
class SIM_CostedItem {
 public:
  float cost = 0.0f;
  float GetCost() const { return cost; }
};

enum ModuleDataItemType {
  MDI_INTEGER = 0,
  MDI_STRING = 1,
  MDI_DECIMAL = 2,
  MDI_BOOL = 3,
  MDI_PERCENTAGE = 4,
  MDI_DECIMAL_MULT = 5,
};

// The file's name of a type ("INTEGER" ... "DECIMAL_MULT"); false when unknown.
bool ParseModuleDataItemType(const std::string& text, ModuleDataItemType* type);

struct ModuleDataItem {
  std::string key;  // the column of the module data the item describes
  ModuleDataItemType type = MDI_STRING;
  float multiplier = 1.0f;  // DECIMAL_MULT only
};

class SIM_ModuleType : public SIM_CostedItem {
 public:
  SIM_ModuleType();
  virtual ~SIM_ModuleType();
  SIM_ModuleType(const SIM_ModuleType&) = delete;
  SIM_ModuleType& operator=(const SIM_ModuleType&) = delete;

  // Takes the typed fields from the row's cells and reads the class's data items.
  void ReadFields(const std::string& dataItemsFile = "data/modules/module_data_items.txt");

  // The sound at the cursor, then the cursor moves on (wrapping); "" without sounds.
  std::string NextSound();
  // True when the column "SZ_" + moduleSize holds exactly "X".
  bool FitsModuleSize(const std::string& moduleSize) const;
  bool IsAugmentation() const { return slotType == "AUGMENTATION"; }

  // The cells of the module's row, keyed by column name.
  SettingsFile& ModuleData() { return *moduleData; }
  const SettingsFile& ModuleData() const { return *moduleData; }
  // The class's section of the data-items file.
  const SettingsFile& DataItemSection() const { return *dataItemSection; }

  const std::string& GetName() const { return name; }
  const std::string& GetGuiName() const { return guiName; }
  const std::string& GetClass() const { return moduleClass; }

  std::vector<ModuleDataItem> dataItems;
  std::unique_ptr<SettingsFile> moduleData;
  std::vector<std::string> sounds;
  size_t soundCursor = 0;
  std::string guiName;
  std::string name;
  std::string moduleClass;  // the battle component class, e.g. "SIM_KineticWeaponComponent"
  std::unique_ptr<SettingsFile> dataItemSection;
  std::string icon;
  std::string slotType;
  int32_t uiSortPos = 0;
  float weight = 0.0f;
  SIM_Unlockable unlockable;
  bool isWeapon = false;
};

class SIM_ModuleTypeManager {
 public:
  SIM_ModuleTypeManager();
  virtual ~SIM_ModuleTypeManager();
  SIM_ModuleTypeManager(const SIM_ModuleTypeManager&) = delete;
  SIM_ModuleTypeManager& operator=(const SIM_ModuleTypeManager&) = delete;

  static SIM_ModuleTypeManager& Get();

  // Reads "data/modules/unit modules.csv" (appending to the list).
  void Load();
  // The same from other files (the content tools and tests).
  void LoadFrom(const std::string& tableFile, const std::string& dataItemsFile);
  // The first module type with exactly that name; null when none.
  SIM_ModuleType* Find(const std::string& name) const;
  void Clear();
  bool IsLoaded() const { return loaded; }

  size_t Count() const { return types.size(); }
  SIM_ModuleType* At(size_t index) const { return types[index].get(); }
  const std::vector<std::unique_ptr<SIM_ModuleType>>& All() const { return types; }

 private:
  std::vector<std::unique_ptr<SIM_ModuleType>> types;
  bool loaded = false;
};

// The seven data-item keys that scale damage and hit chances, in their fixed order.
const std::vector<std::string>& DamageModifierKeys();
bool IsDamageModifierKey(const std::string& key);
