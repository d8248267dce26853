#pragma once
// Scenarios: one battle map with its grid of squares and routes, props, look, budgets,
// classic-mode supply tables and AI designs. Campaign scenarios live in folders under
// "data/scenarios"; player-made ones are "scenario.ini" in a user folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simdata/Unlockable.h"

class SettingsFile;
class SIM_MapSquare;
class SIM_PropType;

struct PlacedProp {
  SIM_PropType* type = nullptr;
  float x = 0.0f;  // world units
  float y = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
  float angle = 0.0f;  // degrees, in [0, 360) after one correction
};

// Supply rules of the classic mode, read from the scenario's `config` section.
struct ClassicModeValues {
  float attackSuppliesPerSecondStart = 0.0f;
  float attackSuppliesPerSecondEnd = 0.0f;
  float suppliesPerSecondStart = 0.0f;
  float suppliesPerSecondEnd = 0.0f;
  float suppliesCap = 0.0f;
  float startingSuppliesAttacker = 0.0f;
  float startingSuppliesDefender = 0.0f;
  float timeLimit = 0.0f;  // ms
  float hpLeftLimit = 0.0f;
  float attackerDifficultyAdjuster = 0.1f;  // clamped into [0.1, 4.0]
  float defenderDifficultyAdjuster = 0.1f;
};

class SIM_Scenario {
 public:
  // The largest grid a scenario may have (columns x rows).
  static constexpr int kMaxSquares = 400;
  // Longest accepted name or file-name value taken from a scenario file.
  static constexpr size_t kMaxNameLength = 64;

  // ORIGIN_CUSTOM: the player's own map from the scenarios folder.
  enum Origin { ORIGIN_CAMPAIGN = 0, ORIGIN_CUSTOM = 1, ORIGIN_ADDED = 2, ORIGIN_OTHER = 3 };
  enum Atmosphere { ATMOSPHERE_NONE = 0, ATMOSPHERE_DESERT = 1, ATMOSPHERE_SNOWING = 2 };
  enum Dust { DUST_NONE = 0, DUST_SNOW = 1, DUST_SAND = 2 };

  SIM_Scenario();
  virtual ~SIM_Scenario();
  SIM_Scenario(const SIM_Scenario&) = delete;
  SIM_Scenario& operator=(const SIM_Scenario&) = delete;

  // Reads the `config` section and the classic values. False (logged) for a missing
  // file or a grid size out of range; the scenario must then not be used.
  bool Load(const std::string& file);
  // One route threat per branch leaving a fork of the attack routes.
  void BuildRouteThreats();
  // The fewest link steps from every route start square to an exit (999: none).
  void ComputeRouteLengths();
  // For `shadowmap` "procedural": loads the props, has the picture made into the
  // scenario's bitmaps folder, names it and writes the map back.
  void GenerateProceduralShadowMap();
  // Rebuilds the grid from the `map` section. False (logged) when the map is
  // unusable (missing squares, bad numbers); the grid is then left empty.
  bool LoadMap();
  void LoadProps();
  void LoadAIDesigns();
  void LoadBitmaps();
  // Writes `config`, `map` and the prop sections through a temporary file.
  bool WriteMap(const std::string& file);
  void BuildPathTiles(bool rocky);
  // Every tile object BuildPathTiles can lay (emplacement names), plain or rocky.
  static std::vector<std::string> PathTileNames(bool rocky);
  void SetName(const std::string& text);
  void SetGuiName(const std::string& text);
  void SetDescription(const std::string& text);
  void SetShadowMap(const std::string& shadowMapName);
  void Clear();

  // Renders the shadow map of a scenario whose `shadowmap` is "procedural" into the
  // folder and returns the saved file's name ("" when it could not). The map designer's
  // renderer installs it; without one such a map loads without a shadow map.
  using ShadowMapGenerator = std::string (*)(SIM_Scenario& scenario, const std::string& folder);
  static void SetShadowMapGenerator(ShadowMapGenerator generator);

  SIM_MapSquare* GetSquareAt(float x, float y) const;
  SIM_MapSquare* GetSquare(int column, int row) const;
  // The square with that number; null when out of range.
  SIM_MapSquare* GetSquareByNumber(int number) const;
  bool AreLinked(const SIM_MapSquare* first, const SIM_MapSquare* second) const;
  // The folder holding the scenario file (without a trailing "/").
  std::string Folder() const;

  SettingsFile& Config() { return *config; }
  const SettingsFile& Config() const { return *config; }
  const SettingsFile& MapSection() const { return *mapSection; }

  std::vector<std::unique_ptr<PlacedProp>> placedProps;
  std::vector<std::string> unlockLinks;
  std::vector<SIM_MapSquare*> routeStartSquares;
  std::vector<SIM_MapSquare*> attackerSquares;
  std::vector<SIM_MapSquare*> defenderSquares;
  std::vector<SIM_MapSquare*> exitSquares;
  std::unique_ptr<SettingsFile> config;
  std::vector<std::unique_ptr<SIM_MapSquare>> grid;  // row by row
  std::vector<SIM_MapSquare*> squaresByNumber;       // grid position -> square
  bool usingLightMap = false;
  int32_t lightMapColour[4] = {255, 255, 255, 255};
  int32_t defenceBudget = 0;
  int32_t attackBudget = 0;
  std::string groundTexture;
  std::string file;
  std::string guiName;
  std::string name;
  std::string id;
  std::string music;
  std::string description;
  std::string timeOfDay;
  std::string uiStyle;
  std::string shadowMap;
  std::string ambientSound;
  int32_t atmosphere = ATMOSPHERE_NONE;
  int32_t dust = DUST_NONE;
  float width = 0.0f;
  float height = 0.0f;
  int32_t maxCols = 0;
  int32_t maxRows = 0;
  float defaultAttackerAngle = 0.0f;
  float defaultDefenderAngle = 0.0f;
  float mapIconX = 0.0f;
  float mapIconY = 0.0f;
  SIM_Unlockable unlockable;  // kind 1, the ground texture as icon
  std::unique_ptr<SettingsFile> mapSection;
  ClassicModeValues classic;
  int32_t origin = ORIGIN_OTHER;
  bool classicAttackAllowed = false;
  bool classicDefenceAllowed = false;
  bool hasSupportSquares = false;
};

class SIM_ScenarioManager {
 public:
  SIM_ScenarioManager();
  virtual ~SIM_ScenarioManager();
  SIM_ScenarioManager(const SIM_ScenarioManager&) = delete;
  SIM_ScenarioManager& operator=(const SIM_ScenarioManager&) = delete;

  static SIM_ScenarioManager& Get();

  // Loads every campaign scenario under "data/scenarios" once.
  void Load();
  // A scenario from a file (a challenge or a custom map); null (logged) when it fails.
  SIM_Scenario* AddScenario(const std::string& file);
  // The first scenario of that name; null (logged) on a miss.
  SIM_Scenario* Find(const std::string& name);

  const std::vector<SIM_Scenario*>& Campaign() const { return campaign; }
  const std::vector<SIM_Scenario*>& Added() const { return added; }
  const std::vector<std::unique_ptr<SIM_Scenario>>& All() const { return all; }

 private:
  bool campaignLoaded = false;
  std::vector<SIM_Scenario*> campaign;
  std::vector<SIM_Scenario*> added;
  std::vector<std::unique_ptr<SIM_Scenario>> all;
};
