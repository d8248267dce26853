#pragma once
// Divisions: named lists of unit design names with which the player filters the
// designs the deployment window offers. Kept with the selected one in "divisions.txt"
// in the user folder. The division "All" always exists, holds every design the player
// has unlocked (its hull and every module) and is rebuilt at every load, never saved.
#include <memory>
#include <string>
#include <vector>

class SIM_UnitDesign;

// Whether the player has unlocked the design's hull and every module fitted to it.
bool IsDesignUnlocked(const SIM_UnitDesign& design);

class SIM_Division {
 public:
  explicit SIM_Division(std::string divisionName) : name(std::move(divisionName)) {}
  virtual ~SIM_Division() = default;

  // Appends the name unless the division already holds it; false when not added (a
  // duplicate, or a name the file could not keep).
  bool AddDesign(const std::string& designName);
  void RemoveDesign(const std::string& designName);
  bool ContainsDesign(const std::string& designName) const;

  std::string name;
  std::vector<std::string> designs;
};

class SIM_DivisionManager {
 public:
  static constexpr const char* kAllName = "All";
  static constexpr const char* kFileName = "divisions.txt";

  SIM_DivisionManager() = default;
  virtual ~SIM_DivisionManager() = default;
  SIM_DivisionManager(const SIM_DivisionManager&) = delete;
  SIM_DivisionManager& operator=(const SIM_DivisionManager&) = delete;

  // Built and loaded on first use.
  static SIM_DivisionManager& Instance();

  // Reads the file (a missing one gives none), adds "All" and selects by name.
  void Load();
  // Writes through a temporary file renamed over the old one; false (logged) on
  // failure, the old file untouched.
  bool Save() const;
  // The file's text as Save writes it.
  std::string SaveText() const;

  SIM_Division* FindDivision(const std::string& name) const;
  // Appends an empty division; null (logged) for a name the file cannot hold apart
  // ("config", "All", a bracket, a line break, nothing) or one already taken.
  SIM_Division* AddDivision(const std::string& name);
  void RemoveDivision(const std::string& name);
  // Moves the selection one division on (or back), wrapping, until the deployment
  // window accepts one; at most one try more than there are divisions.
  bool SelectNext();
  bool SelectPrevious();
  void Select(SIM_Division* division) { selected = division; }

  // Whether a name can be a division, or a design name kept in one.
  static bool IsStorableDivisionName(const std::string& name);
  static bool IsStorableDesignName(const std::string& name);

  const std::vector<std::unique_ptr<SIM_Division>>& Divisions() const { return divisions; }
  int Count() const { return static_cast<int>(divisions.size()); }
  SIM_Division* Selected() const { return selected; }

 private:
  void AddAllDivision();
  bool Step(int direction);

  std::vector<std::unique_ptr<SIM_Division>> divisions;
  SIM_Division* selected = nullptr;
};
