#pragma once
// Hulls: the body of a unit (infantry, mech, tank or building) with its size class, hit
// points, weight, cost, victory points, module slots, aim points, death explosions and
// artwork variants. One row each of "data/hulls/hulls.csv" plus "data/hulls/<name>.txt".
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simdata/ModuleType.h"  // SIM_CostedItem
#include "simdata/Unlockable.h"

class SettingsFile;
class SIM_UnitHullVariant;

enum HullSizeType {
  SIZETYPE_INFANTRY = 0,
  SIZETYPE_MECH = 1,
  SIZETYPE_TANK = 2,
  SIZETYPE_BUILDING = 3,
  SIZETYPE_NONE = 4,
};

enum HullRecoilMode { RECOIL_SQUASH = 0, RECOIL_MOVE = 1, RECOIL_NONE = 2 };

struct HullSlot {
  std::string text;  // the slot kind; "AUGMENTATION" marks an augmentation slot
  float x = 0.0f;
  float y = 0.0f;
  int32_t index = 0;
  bool IsAugmentation() const { return text == "AUGMENTATION"; }
};

class SIM_UnitTargetData {
 public:
  virtual ~SIM_UnitTargetData() = default;
  float x = 0.0f;  // world units from the hull's centre
  float y = 0.0f;
  float z = 0.0f;  // the third number as written
  std::string name;
};

class SIM_UnitHull : public SIM_CostedItem {
 public:
  SIM_UnitHull();
  virtual ~SIM_UnitHull();
  SIM_UnitHull(const SIM_UnitHull&) = delete;
  SIM_UnitHull& operator=(const SIM_UnitHull&) = delete;

  // Typed fields from the row's cells.
  void ReadRow();
  // Slots, targets and variants from "data/hulls/<name>.txt".
  void ReadHullFile();

  // The hull's variant of that name; a miss is fatal ("failed to find variant: [%s]").
  SIM_UnitHullVariant* FindVariant(const std::string& name) const;
  // The same, null on a miss (for names from untrusted files).
  SIM_UnitHullVariant* TryFindVariant(const std::string& name) const;
  // Writes the hull file through a temporary file; false (logged) on failure.
  bool Save() const;

  const std::string& GetName() const { return name; }
  int32_t GetSizeType() const { return sizeType; }
  const SettingsFile& Row() const { return *row; }
  SettingsFile& Row() { return *row; }

  std::vector<HullSlot> slots;
  std::unique_ptr<SettingsFile> row;
  std::vector<SIM_UnitHullVariant*> variants;  // owned by the variant registry
  std::vector<std::unique_ptr<SIM_UnitTargetData>> targets;
  int32_t recoilMode = RECOIL_NONE;
  std::vector<std::string> explosions;
  int32_t sizeType = 5;  // 5 until the row is read
  // The hull's class (LIGHTTANK ... LARGETURRET): modules fit it through their "SZ_"
  // columns, and buildings take their construction speed from it.
  std::string moduleSize;
  std::string file;
  std::string guiName;
  std::string name;
  float size = 0.0f;
  float weight = 0.0f;
  float hitPoints = 0.0f;
  float victoryPoints = 0.0f;
  std::string description;
  SIM_Unlockable unlockable;
  std::string deploymentSound;
  std::string deploymentParticles;
  float shieldSizeScalar = 0.0f;
};

class SIM_UnitHullManager {
 public:
  SIM_UnitHullManager();
  virtual ~SIM_UnitHullManager();
  SIM_UnitHullManager(const SIM_UnitHullManager&) = delete;
  SIM_UnitHullManager& operator=(const SIM_UnitHullManager&) = delete;

  static SIM_UnitHullManager& Get();

  // Reads "data/hulls/hulls.csv" once.
  void Load();
  // The first hull with exactly that name; null when none.
  SIM_UnitHull* GetHull(const std::string& name);
  // The first hull whose file text ("data/hulls/<name>.txt") equals the text.
  SIM_UnitHull* FindHullByFile(const std::string& file);
  // "INFANTRY" 0, "MECH" 1, "TANK" 2, "BUILDING" 3, "" 4; other text is fatal.
  int32_t GetSizeType(const std::string& text) const;
  // The same, -1 for other text (nothing reported).
  int32_t TryGetSizeType(const std::string& text) const;

  bool IsLoaded() const { return loaded; }
  const std::vector<std::unique_ptr<SIM_UnitHull>>& All() {
    Load();
    return hulls;
  }

 private:
  std::vector<std::unique_ptr<SIM_UnitHull>> hulls;
  std::string sizeTypeNames[5];
  bool loaded = false;
};
