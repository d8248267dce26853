#pragma once
// Content that must be unlocked before the player can use it (hulls, scenarios,
// module types, air strikes) carries a SIM_Unlockable. The manager knows every one
// that exists and, from "data/unlocks.txt", which locked ones the post-battle unlock
// screen offers and which come free. Whether a name is unlocked is the player's record
// (SIM_HighScores).
#include <cstdint>
#include <string>
#include <vector>

class SIM_Unlockable {
 public:
  // Kinds, passed as the number of Set by the owning records.
  enum Kind { KIND_HULL = 0, KIND_SCENARIO = 1, KIND_MODULE = 2, KIND_AIRSTRIKE = 3 };

  // Registers with the manager (building it when needed).
  SIM_Unlockable();
  // Leaves the manager's list.
  virtual ~SIM_Unlockable();
  SIM_Unlockable(const SIM_Unlockable&) = delete;
  SIM_Unlockable& operator=(const SIM_Unlockable&) = delete;

  // Stores name, label and number, empties the description and refreshes the lock.
  void Set(const std::string& name, const std::string& label, int32_t number);
  // locked = not SIM_HighScores::IsUnlocked(name).
  void RefreshLocked();
  // Built once from the label (number 0 only) by the description builder, then kept.
  const std::string& GetDescription();
  void SetIcon(const std::string& iconName) { icon = iconName; }

  bool IsLocked() const { return locked != 0; }
  const std::string& GetName() const { return name; }
  const std::string& GetLabel() const { return label; }
  const std::string& GetIcon() const { return icon; }
  // The texture that pictures the item on the unlock screens (its icon).
  const std::string& GetPictureName() const { return icon; }
  int32_t GetNumber() const { return number; }

  // The unlock screens install their description builder here; without one the
  // description is the label itself.
  using DescriptionBuilder = std::string (*)(const std::string& label);
  static void SetDescriptionBuilder(DescriptionBuilder builder);

  uint8_t locked = 1;
  std::string name;
  std::string label;
  std::string description;
  int32_t number = 0;
  std::string icon;  // module types only: the designer's icon texture
};

class SIM_UnlocksManager {
 public:
  SIM_UnlocksManager();
  virtual ~SIM_UnlocksManager();
  SIM_UnlocksManager(const SIM_UnlocksManager&) = delete;
  SIM_UnlocksManager& operator=(const SIM_UnlocksManager&) = delete;

  static SIM_UnlocksManager& Get();
  // Whether the single object exists (records leaving at process end ask first).
  static bool Exists();

  // The first registered unlockable with exactly that name; a miss is fatal
  // ("Unlock not found [%s]"). Loads the catalogues that carry unlockables first.
  SIM_Unlockable* Find(const std::string& name);
  // The same without loading anything and without a report: null on a miss.
  SIM_Unlockable* TryFind(const std::string& name) const;
  // Rebuilds the choice and free lists from "data/unlocks.txt" (locked names only).
  void Load();
  // Loads the lists on the first call of the run only: items taken since stay out.
  void EnsureLoaded();
  bool IsLoaded() const { return loaded; }
  // Takes an unlocked item out of both lists.
  void Remove(const SIM_Unlockable* unlockable);
  // Makes sure every catalogue that carries unlockables has loaded: module types,
  // hulls, and the loaders other subsystems registered (scenarios, air strikes).
  void EnsureCataloguesLoaded();
  // Subsystems whose records carry unlockables register their catalogue loader here.
  static void RegisterCatalogueLoader(void (*loader)());
  static void UnregisterCatalogueLoader(void (*loader)());

  void Register(SIM_Unlockable* unlockable);
  void Unregister(SIM_Unlockable* unlockable);

  const std::vector<SIM_Unlockable*>& All() const { return all; }
  const std::vector<SIM_Unlockable*>& Choices() const { return choices; }
  const std::vector<SIM_Unlockable*>& Free() const { return free; }

 private:
  std::vector<SIM_Unlockable*> all;
  std::vector<SIM_Unlockable*> choices;
  std::vector<SIM_Unlockable*> free;
  bool loaded = false;
};
