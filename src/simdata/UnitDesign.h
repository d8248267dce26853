#pragma once
// Unit designs: a hull, one of its variants, module types in some of the hull's slots
// and a colour per variant layer, stored as small ini-style text files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SettingsFile;
class SIM_UnitHull;
class SIM_UnitHullVariant;
class SIM_ModuleType;

struct DesignModule {
  SIM_ModuleType* type = nullptr;  // never null once loaded
  float x = 0.0f;                  // copied from the hull slot
  float y = 0.0f;
  int32_t slot = 0;
};

struct DesignLayer {
  std::string name;                          // a layer of the variant
  int32_t colour[4] = {255, 255, 255, 255};  // in the order written
};

class SIM_UnitDesign {
 public:
  SIM_UnitDesign();
  virtual ~SIM_UnitDesign();
  SIM_UnitDesign(const SIM_UnitDesign&) = delete;
  SIM_UnitDesign& operator=(const SIM_UnitDesign&) = delete;

  // Reads a design file. Returns false (logged) when the design cannot be completed:
  // unreadable file, unknown hull, variant or module type. A design that failed to
  // load must not be used.
  bool Load(const std::string& file, bool asAIDesign);
  // Writes the design file through a temporary file; false (logged) on failure.
  bool Save(const std::string& file) const;
  // Totals cost, weight, speed, hit points, armour and shields.
  void ComputeStats();
  void SetVariant(SIM_UnitHullVariant* variant);
  // The first colour layer with that name; null on a miss (logged when report is set).
  DesignLayer* FindLayer(const std::string& layerName, bool report);
  int CountModulesOfClass(const std::string& className) const;
  int CountModulesOfType(const std::string& typeName) const;
  bool HasSplashDamage() const;
  bool HasAugmentationLike(const SIM_ModuleType* type) const;

  // The hull's size type (0 infantry, 1 mech, 2 tank, 3 building); 4 without a hull.
  int GetSizeType() const;
  // The configuration section of the file (the `config` section).
  const SettingsFile& Config() const { return *config; }

  std::vector<DesignModule> modules;  // slot order as read
  std::unique_ptr<SettingsFile> config;
  std::vector<DesignLayer> layers;
  SIM_UnitHull* hull = nullptr;
  SIM_UnitHullVariant* variant = nullptr;
  std::string name;  // "ai_" + config name for an AI design
  std::string guiName;
  std::string file;
  std::string description;
  float speed = 0.0f;
  float armour = 0.0f;
  float shields = 0.0f;
  float cost = 0.0f;
  float hitPoints = 0.0f;
  float weight = 0.0f;
  SIM_ModuleType* weapon = nullptr;  // last fitted weapon; null when none
};

class SIM_UnitDesignManager {
 public:
  SIM_UnitDesignManager();
  virtual ~SIM_UnitDesignManager();
  SIM_UnitDesignManager(const SIM_UnitDesignManager&) = delete;
  SIM_UnitDesignManager& operator=(const SIM_UnitDesignManager&) = delete;

  static SIM_UnitDesignManager& Get();

  // Sample designs, then the player's own.
  void Load();
  SIM_UnitDesign* FindDesign(const std::string& name);
  SIM_UnitDesign* FindDesignByFile(const std::string& file);
  SIM_UnitDesign* GetRandomDesign();
  // Both return the new design, or null (logged) when the file did not load.
  SIM_UnitDesign* AddDesignFromFile(const std::string& file);
  SIM_UnitDesign* AddAIDesignFromFile(const std::string& file);
  // Takes a design made elsewhere (the designer's new design, once saved).
  SIM_UnitDesign* AdoptDesign(std::unique_ptr<SIM_UnitDesign> design);
  // Drops and deletes the design; false when it is not in the list.
  bool RemoveDesign(const SIM_UnitDesign* design);
  // Every file matching the pattern (for example "<folder>/ai_designs/*.txt").
  void LoadAIFolder(const std::string& pattern);
  void ClearAIDesigns();
  SIM_UnitDesign* FindAIDesign(const std::string& name);
  bool HasAIDesignFor(bool infantry, bool armedBuildings, bool unarmedBuildings) const;

  const std::vector<std::unique_ptr<SIM_UnitDesign>>& Designs() const { return designs; }
  const std::vector<std::unique_ptr<SIM_UnitDesign>>& AIDesigns() const { return aiDesigns; }
  bool HasPlayerDesigns() const { return hasPlayerDesigns; }

 private:
  void EnsureLoaded();

  std::vector<std::unique_ptr<SIM_UnitDesign>> designs;
  std::vector<std::unique_ptr<SIM_UnitDesign>> aiDesigns;
  bool loaded = false;
  bool hasPlayerDesigns = false;
};
