#pragma once
// The player's option values: named floats (toggles are 1 or 0) kept in "config.txt" in
// the user folder.
#include <set>
#include <string>
#include <vector>

struct OptionEntry {
  std::string name;
  float value = 0.0f;
};

class SIM_Options {
 public:
  // The eleven graphics toggles, in the order the options screen lists them.
  static const char* const ToggleNames[11];
  static constexpr int kToggleCount = 11;

  SIM_Options();
  virtual ~SIM_Options();

  // Built on first use and loaded.
  static SIM_Options& Get();

  // The first entry's value; a missing name gives 0 and warns ("Missing Global variable
  // [%s]") the first time it is asked for.
  float GetFloat(const std::string& name);
  // True when an entry exists and its value is above 0; no warning.
  bool IsOn(const std::string& name);
  // Sets the first entry, or warns and appends it. Does not save.
  void SetFloat(const std::string& name, float value);
  // Writes the whole file through a temporary file; false (logged) on failure, the
  // values in memory stay.
  bool Save();

  void Load();
  void WriteDefaults();
  void AddIfMissing(const std::string& name, float value);
  // The first entry with exactly that name (loading first when the list is empty).
  OptionEntry* Find(const std::string& name);
  void Add(const std::string& name, float value);

  const std::vector<OptionEntry>& Entries() const { return entries; }
  const std::string& GetPath() const { return path; }

 private:
  std::vector<OptionEntry> entries;
  std::string path;
  std::set<std::string> warnedMissing;
};
