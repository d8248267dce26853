#include "simdata/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <deque>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "simdata/DataHooks.h"
#include "simdata/MapSquare.h"
#include "simdata/PropType.h"
#include "simdata/ScenarioRouteThreat.h"
#include "simdata/UnitDesign.h"

namespace {

// Scenarios from other players can carry any number of prop lines; a real map has a
// few hundred at most.
constexpr size_t kMaxPlacedProps = 4000;
constexpr int kNoRoute = 999;
constexpr int kMaxRouteLength = 400;

// A value naming a file (texture, music, shadow map) must stay a plain file name, or
// a downloaded scenario could reach outside its folders. Empty stays empty.
std::string PlainNameOrEmpty(const std::string& value, const char* key, const std::string& file) {
  if (value.empty() || IsPlainFileName(value, SIM_Scenario::kMaxNameLength)) return value;
  LogErrorF("Scenario [%s]: %s [%s] is not a plain file name; ignored", file.c_str(), key, value.c_str());
  return std::string();
}

// A sound may also be named by its path inside the game's data folder
// ("data/sounds/ambience/wind.ogg"): relative, every part a plain name.
std::string DataPathOrEmpty(const std::string& value, const char* key, const std::string& file) {
  if (value.empty() || IsPlainFileName(value, SIM_Scenario::kMaxNameLength)) return value;
  bool safe = value.size() <= 2 * SIM_Scenario::kMaxNameLength && value.compare(0, 5, "data/") == 0;
  size_t start = 0;
  while (safe && start <= value.size()) {
    size_t slash = value.find('/', start);
    if (slash == std::string::npos) slash = value.size();
    safe = IsPlainFileName(value.substr(start, slash - start), SIM_Scenario::kMaxNameLength);
    start = slash + 1;
  }
  if (safe) return value;
  LogErrorF("Scenario [%s]: %s [%s] is not a data file name; ignored", file.c_str(), key, value.c_str());
  return std::string();
}

float NormaliseAngle(float angle) {
  // One correction each way, as the files were written.
  if (angle < 0.0f) angle += 360.0f;
  if (angle >= 360.0f) angle -= 360.0f;
  return angle;
}

void AppendLine(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendLine(std::string& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out += buffer;
}

struct PathTile {
  const char* name;
  float angle;
};

// Indexed by linked neighbours: bit 0 above, bit 1 below, bit 2 left, bit 3 right.
const PathTile kPathTiles[16] = {
    {nullptr, 0.0f},        // none
    {"path_fade", 90.0f},   // above
    {"path_fade", 270.0f},  // below
    {"pathlr", 270.0f},     // above and below
    {"path_fade", 0.0f},    // left
    {"pathcnr", 90.0f},     // above and left
    {"pathcnr", 0.0f},      // below and left
    {"patht", 0.0f},        // all but right
    {"path_fade", 180.0f},  // right
    {"pathcnr", 180.0f},    // above and right
    {"pathcnr", 270.0f},    // below and right
    {"patht", 180.0f},      // all but left
    {"pathlr", 0.0f},       // left and right
    {"patht", 90.0f},       // all but below
    {"patht", 270.0f},      // all but above
    {"path_cross", 0.0f},   // all four
};

SIM_Scenario::ShadowMapGenerator g_shadowMapGenerator = nullptr;

void LoadCampaignForUnlocks() { SIM_ScenarioManager::Get().Load(); }

// Scenarios carry unlockables: a lookup by name must be able to load the campaign even
// before anything else has asked for a scenario.
const bool kUnlocksKnowScenarios =
    (SIM_UnlocksManager::RegisterCatalogueLoader(LoadCampaignForUnlocks), true);

}  // namespace

SIM_Scenario::SIM_Scenario()
    : config(std::make_unique<SettingsFile>()), mapSection(std::make_unique<SettingsFile>()) {}

SIM_Scenario::~SIM_Scenario() = default;

bool SIM_Scenario::Load(const std::string& path) {
  if (!FileExists(path)) {
    LogErrorF("Missing scenario file [%s]", path.c_str());
    return false;
  }
  file = path;
  config->LoadSection(path, "config");

  id = config->GetString("id");
  guiName = config->GetString("guiname");
  name = config->GetString("name");
  // Scenario names end up in file names (high scores, recordings), so they must be plain.
  if (!IsPlainFileName(name, kMaxNameLength)) {
    LogErrorF("Scenario [%s]: unusable name [%s]", path.c_str(), name.c_str());
    return false;
  }
  // The id names the scenario's recordings folder, so it must be plain too.
  if (!id.empty() && !IsPlainFileName(id, kMaxNameLength)) {
    LogErrorF("Scenario [%s]: unusable id [%s]", path.c_str(), id.c_str());
    return false;
  }
  const std::string atmosphereText = config->GetString("atmosphere");
  const std::string dustText = config->GetString("dust");
  groundTexture = PlainNameOrEmpty(config->GetString("texture"), "texture", path);
  music = PlainNameOrEmpty(config->GetString("music"), "music", path);
  ambientSound = DataPathOrEmpty(config->GetString("ambient_sound"), "ambient_sound", path);
  timeOfDay = config->GetString("timeofday");
  uiStyle = config->GetString("uistyle");
  shadowMap = PlainNameOrEmpty(config->GetString("shadowmap"), "shadowmap", path);
  description = config->GetString("description");
  atmosphere = atmosphereText == "DESERT"    ? ATMOSPHERE_DESERT
               : atmosphereText == "SNOWING" ? ATMOSPHERE_SNOWING
                                             : ATMOSPHERE_NONE;
  dust = dustText == "DUST_SAND" ? DUST_SAND : dustText == "DUST_SNOW" ? DUST_SNOW : DUST_NONE;

  usingLightMap = config->GetInt("using_lightmap", 0) != 0;
  defenceBudget = config->GetInt("defence_budget", 0);
  attackBudget = config->GetInt("attack_budget", 0);
  {
    Tokenizer colour(config->GetString("lightmap_color"), ',');
    for (int i = 0; i < 4; ++i) lightMapColour[i] = colour.NextInt();
  }
  maxCols = config->GetInt("maxcols", 0);
  maxRows = config->GetInt("maxrows", 0);
  if (maxCols < 1 || maxRows < 1 || maxCols > kMaxSquares || maxRows > kMaxSquares ||
      maxCols * maxRows > kMaxSquares) {
    LogErrorF("Scenario [%s]: map size %d x %d outside 1..%d squares", path.c_str(), maxCols, maxRows,
              kMaxSquares);
    return false;
  }
  auto finite = [](float value) { return std::isfinite(value) ? value : 0.0f; };
  // Fractions of the campaign picture's width.
  mapIconX = finite(config->GetFloat("mapiconx", 0.0f));
  mapIconY = finite(config->GetFloat("mapicony", 0.0f));
  width = static_cast<float>(maxCols) * 200.0f;
  height = static_cast<float>(maxRows) * 200.0f;
  defaultAttackerAngle = finite(config->GetFloat("default_attacker_angle", 0.0f));
  defaultDefenderAngle = finite(config->GetFloat("default_defender_angle", 0.0f));
  classicAttackAllowed = config->GetInt("mode_classic_attack", 0) != 0;
  classicDefenceAllowed = config->GetInt("mode_classic_defend", 0) != 0;

  unlockLinks.clear();
  const std::string links = config->GetString("unlocklinks");
  if (!links.empty()) {
    Tokenizer tokens(links, ',');
    while (!tokens.AtEnd()) unlockLinks.push_back(tokens.NextString());
  }

  unlockable.Set(name, guiName, SIM_Unlockable::KIND_SCENARIO);
  unlockable.SetIcon(groundTexture);

  ClassicModeValues& c = classic;
  struct ClassicKey {
    const char* key;
    float* value;
  };
  const ClassicKey classicKeys[] = {
      {"classic_suppliespersecond_attack_start", &c.attackSuppliesPerSecondStart},
      {"classic_suppliespersecond_start", &c.suppliesPerSecondStart},
      {"classic_suppliespersecond_attack_end", &c.attackSuppliesPerSecondEnd},
      {"classic_suppliespersecond_end", &c.suppliesPerSecondEnd},
      {"classic_suppliescap", &c.suppliesCap},
      {"classic_startingsupplies_attacker", &c.startingSuppliesAttacker},
      {"classic_startingsupplies_defender", &c.startingSuppliesDefender},
      {"classic_timelimit", &c.timeLimit},
      {"classic_hpleftlimit", &c.hpLeftLimit},
      {"attacker_difficulty_adjuster", &c.attackerDifficultyAdjuster},
      {"defender_difficulty_adjuster", &c.defenderDifficultyAdjuster},
  };
  for (const ClassicKey& k : classicKeys) {
    *k.value = config->GetFloat(k.key, 0.0f);
    // "nan" and "inf" parse as numbers and would poison every supply sum.
    if (!std::isfinite(*k.value) && k.value != &c.attackerDifficultyAdjuster &&
        k.value != &c.defenderDifficultyAdjuster) {
      LogErrorF("Scenario [%s]: %s is not a finite number; 0 used", path.c_str(), k.key);
      *k.value = 0.0f;
    }
  }
  // NaN fails both comparisons below, so catch it first.
  for (float* adjuster : {&c.attackerDifficultyAdjuster, &c.defenderDifficultyAdjuster}) {
    if (!std::isfinite(*adjuster) || *adjuster < 0.1f) *adjuster = *adjuster > 4.0f ? 4.0f : 0.1f;
    if (*adjuster > 4.0f) *adjuster = 4.0f;
  }
  return true;
}

void SIM_Scenario::LoadProps() {
  if (!placedProps.empty()) return;
  // One read of the file for every section: a map with thousands of prop sections
  // loads in linear time. A repeated header's entries are merged into its first.
  std::vector<SettingsFile> sections;
  LoadAllIniSections(file, sections);
  for (const SettingsFile& props : sections) {
    const std::string& section = props.SectionName();
    if (section.find("prop_") == std::string::npos) continue;
    const std::string typeName = section.size() > 5 ? section.substr(5) : std::string();
    SIM_PropType* type = SIM_PropTypeManager::Get().TryFind(typeName);
    if (!type) {
      LogErrorF("Scenario [%s]: unknown prop type [%s]; section skipped", file.c_str(), typeName.c_str());
      continue;
    }
    for (const SettingsFile::Entry& entry : props.Entries()) {
      if (placedProps.size() >= kMaxPlacedProps) {
        LogErrorF("Scenario [%s]: more than %zu props; the rest are ignored", file.c_str(), kMaxPlacedProps);
        return;
      }
      Tokenizer cells(entry.second, ',');
      float numbers[5];
      bool finite = true;
      for (float& number : numbers) {
        number = cells.NextFloat();
        finite = finite && std::isfinite(number);
      }
      if (!finite) {
        LogErrorF("Scenario [%s]: prop [%s] entry %s is not a number; skipped", file.c_str(),
                  typeName.c_str(), entry.first.c_str());
        continue;
      }
      auto prop = std::make_unique<PlacedProp>();
      prop->type = type;
      prop->x = numbers[0];
      prop->y = numbers[1];
      prop->width = numbers[2];
      prop->height = numbers[3];
      prop->angle = NormaliseAngle(numbers[4]);
      placedProps.push_back(std::move(prop));
    }
  }
}

bool SIM_Scenario::LoadMap() {
  LoadBitmaps();
  Clear();
  hasSupportSquares = false;

  mapSection->LoadSection(file, "map");
  const int count = maxCols * maxRows;
  if (maxCols < 1 || maxRows < 1 || count > kMaxSquares) {
    LogErrorF("Scenario [%s]: map size %d x %d cannot be loaded", file.c_str(), maxCols, maxRows);
    return false;
  }
  squaresByNumber.assign(static_cast<size_t>(count), nullptr);
  char key[32];
  for (int row = 0; row < maxRows; ++row) {
    for (int column = 0; column < maxCols; ++column) {
      std::snprintf(key, sizeof key, "%d-%d", row, column);
      const std::string value = mapSection->GetString(key);
      if (value.empty()) {
        LogErrorF("Scenario [%s]: map square %s missing", file.c_str(), key);
        Clear();
        return false;
      }
      auto square = std::make_unique<SIM_MapSquare>();
      square->Read(value, column, row);
      const int position = row * maxCols + column;
      // Links and the table of squares by number rely on number == grid position.
      if (square->number != position) {
        LogErrorF("Scenario [%s]: map square %s has number %d, expected %d", file.c_str(), key,
                  square->number, position);
        Clear();
        return false;
      }
      auto outside = [count](int32_t link) { return link < 0 || link >= count; };
      if (std::any_of(square->links.begin(), square->links.end(), outside)) {
        LogErrorF("Scenario [%s]: map square %s links outside the map; those links dropped", file.c_str(),
                  key);
        square->links.erase(std::remove_if(square->links.begin(), square->links.end(), outside),
                            square->links.end());
      }
      if (!square->object.empty() && !IsPlainFileName(square->object, kMaxNameLength)) {
        LogErrorF("Scenario [%s]: map square %s object [%s] ignored", file.c_str(), key,
                  square->object.c_str());
        square->object.clear();
      }
      squaresByNumber[static_cast<size_t>(position)] = square.get();
      grid.push_back(std::move(square));
    }
  }

  for (const auto& owned : grid) {
    SIM_MapSquare* square = owned.get();
    if (!square->links.empty() && !square->defenderFlag) routeStartSquares.push_back(square);
    if (square->attackerFlag) attackerSquares.push_back(square);
    if (square->defenderFlag) defenderSquares.push_back(square);
    if (square->IsExit()) exitSquares.push_back(square);
    if (square->kind == SIM_MapSquare::KIND_SUPPORT) hasSupportSquares = true;
  }

  if (shadowMap == "procedural") GenerateProceduralShadowMap();

  const bool inMapDesigner = GetDataHooks().inMapDesigner && GetDataHooks().inMapDesigner();
  if (!inMapDesigner) ComputeRouteLengths();
  BuildRouteThreats();
  return true;
}

void SIM_Scenario::SetShadowMapGenerator(ShadowMapGenerator generator) {
  static bool registered = (RegisterSingletonReset([] { g_shadowMapGenerator = nullptr; }), true);
  (void)registered;
  g_shadowMapGenerator = generator;
}

void SIM_Scenario::GenerateProceduralShadowMap() {
  // The shadow is cast by the placed props, so they must be there first.
  LoadProps();
  const std::string folder = Folder() + "/bitmaps";
  const std::string generated = g_shadowMapGenerator ? g_shadowMapGenerator(*this, folder) : std::string();
  if (generated.empty()) {
    DebugLogF("Scenario [%s]: procedural shadow map not generated; the map has none", file.c_str());
    return;
  }
  if (!IsPlainFileName(generated, kMaxNameLength)) {
    LogErrorF("Scenario [%s]: generated shadow map [%s] is not a plain file name; ignored", file.c_str(),
              generated.c_str());
    return;
  }
  SetShadowMap(generated);
  // Written back so the next load finds the named picture. A read-only install folder
  // only costs a log line: the picture is made again next time.
  WriteMap(file);
}

void SIM_Scenario::BuildRouteThreats() {
  std::vector<SIM_MapSquare*> entries;
  for (SIM_MapSquare* start : routeStartSquares) {
    if (start->links.size() < 2) continue;
    for (int32_t link : start->links) {
      SIM_MapSquare* square = GetSquareByNumber(link);
      if (square && std::find(entries.begin(), entries.end(), square) == entries.end())
        entries.push_back(square);
    }
  }
  // The entry square owns its route threat.
  for (SIM_MapSquare* square : entries) new SIM_RouteThreat(square, this);
}

void SIM_Scenario::ComputeRouteLengths() {
  // The fewest squares from each route start square to an exit, walking the links:
  // a breadth-first search gives the same count as enumerating every simple path,
  // without its cost on branchy maps.
  for (SIM_MapSquare* start : routeStartSquares) {
    std::vector<int> steps(grid.size(), -1);
    std::deque<SIM_MapSquare*> queue;
    steps[static_cast<size_t>(start->number)] = 0;
    queue.push_back(start);
    int found = kNoRoute;
    while (!queue.empty()) {
      SIM_MapSquare* square = queue.front();
      queue.pop_front();
      const int here = steps[static_cast<size_t>(square->number)];
      if (square->IsExit()) {
        found = here;
        break;
      }
      for (int32_t link : square->links) {
        SIM_MapSquare* next = GetSquareByNumber(link);
        if (!next || steps[static_cast<size_t>(link)] >= 0) continue;
        steps[static_cast<size_t>(link)] = here + 1;
        queue.push_back(next);
      }
    }
    start->routeLength = found;
    if (found == kNoRoute || found >= kMaxRouteLength) {
      LogErrorF("Scenario [%s]: square %d-%d has no route to an exit", file.c_str(), start->row,
                start->column);
    }
  }
}

void SIM_Scenario::LoadAIDesigns() {
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.ClearAIDesigns();
  designs.LoadAIFolder(Folder() + "/ai_designs/*.txt");
}

void SIM_Scenario::LoadBitmaps() { RegisterTextureFolder(Folder() + "/bitmaps"); }

bool SIM_Scenario::WriteMap(const std::string& path) {
  // Writing an unloaded grid would replace the map with nothing.
  if (grid.empty()) {
    LogErrorF("Scenario [%s]: no map loaded; not written", path.c_str());
    return false;
  }
  bool emplace = false, support = false, turret = false;
  for (const auto& square : grid) {
    if (square->kind == SIM_MapSquare::KIND_EMPLACEMENT) emplace = true;
    if (square->kind == SIM_MapSquare::KIND_SUPPORT) support = true;
    if (square->kind == SIM_MapSquare::KIND_OTHER && square->defenderFlag) turret = true;
  }
  config->SetInt("composition_emplace", emplace ? 1 : 0);
  config->SetInt("composition_support", support ? 1 : 0);
  config->SetInt("composition_turret", turret ? 1 : 0);
  config->SetSectionName("config");

  std::string text;
  config->WriteTo(text);

  text += "[map]\n";
  for (const auto& square : grid) {
    AppendLine(text, "%d-%d = ", square->row, square->column);
    text += square->ToLine();
    text += "\n";
  }
  text += "\n";

  // Props grouped by type, in the order each type first appears.
  std::vector<SIM_PropType*> types;
  for (const auto& prop : placedProps) {
    if (prop->type && std::find(types.begin(), types.end(), prop->type) == types.end())
      types.push_back(prop->type);
  }
  for (SIM_PropType* type : types) {
    text += "[prop_" + type->name + "]\n";
    int n = 0;
    for (const auto& prop : placedProps) {
      if (prop->type != type) continue;
      AppendLine(text, "%d = %.0f,%.0f,%.0f,%.0f,%.0f\n", n++, static_cast<double>(prop->x),
                 static_cast<double>(prop->y), static_cast<double>(prop->width),
                 static_cast<double>(prop->height), static_cast<double>(prop->angle));
    }
    text += "\n";
  }

  if (!WriteFileAtomic(path, text)) {
    LogErrorF("Scenario [%s]: map could not be written", path.c_str());
    return false;
  }
  return true;
}

void SIM_Scenario::BuildPathTiles(bool rocky) {
  for (SIM_MapSquare* square : routeStartSquares) {
    const SIM_MapSquare* neighbours[4] = {
        GetSquare(square->column, square->row - 1),
        GetSquare(square->column, square->row + 1),
        GetSquare(square->column - 1, square->row),
        GetSquare(square->column + 1, square->row),
    };
    int mask = 0;
    for (int i = 0; i < 4; ++i) {
      if (neighbours[i] && AreLinked(neighbours[i], square)) mask |= 1 << i;
    }
    const PathTile& tile = kPathTiles[mask];
    if (!tile.name) continue;
    square->angle = tile.angle;
    square->object = rocky ? std::string("rocky_") + tile.name : std::string(tile.name);
    square->kind = SIM_MapSquare::KIND_OTHER;
  }
}

std::vector<std::string> SIM_Scenario::PathTileNames(bool rocky) {
  std::vector<std::string> names;
  for (const PathTile& tile : kPathTiles) {
    if (!tile.name) continue;
    const std::string name = rocky ? std::string("rocky_") + tile.name : std::string(tile.name);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

void SIM_Scenario::SetName(const std::string& text) {
  name = text;
  config->Set("name", text);
}

void SIM_Scenario::SetGuiName(const std::string& text) {
  guiName = text;
  config->Set("guiname", text);
}

void SIM_Scenario::SetDescription(const std::string& text) {
  description = text;
  config->Set("description", text);
}

void SIM_Scenario::SetShadowMap(const std::string& shadowMapName) {
  shadowMap = shadowMapName;
  config->Set("shadowmap", shadowMapName);
}

void SIM_Scenario::Clear() {
  grid.clear();
  routeStartSquares.clear();
  attackerSquares.clear();
  defenderSquares.clear();
  exitSquares.clear();
  std::fill(squaresByNumber.begin(), squaresByNumber.end(), nullptr);
}

SIM_MapSquare* SIM_Scenario::GetSquareAt(float x, float y) const {
  if (grid.empty()) return nullptr;
  auto cell = [](float value, int count) {
    float index = std::isfinite(value) ? value / 200.0f : 0.0f;
    index = std::clamp(index, 0.0f, static_cast<float>(count - 1));
    return static_cast<int>(index);
  };
  return GetSquare(cell(x, maxCols), cell(y, maxRows));
}

SIM_MapSquare* SIM_Scenario::GetSquare(int column, int row) const {
  if (column < 0 || column >= maxCols || row < 0 || row >= maxRows) return nullptr;
  return GetSquareByNumber(row * maxCols + column);
}

SIM_MapSquare* SIM_Scenario::GetSquareByNumber(int number) const {
  if (number < 0 || static_cast<size_t>(number) >= squaresByNumber.size()) return nullptr;
  return squaresByNumber[static_cast<size_t>(number)];
}

bool SIM_Scenario::AreLinked(const SIM_MapSquare* first, const SIM_MapSquare* second) const {
  if (!first || !second) {
    LogError("AreLinked called without a square");
    return false;
  }
  if (first->defenderFlag || second->defenderFlag) return false;
  return first->HasLink(second->number) || second->HasLink(first->number);
}

std::string SIM_Scenario::Folder() const {
  const size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

// ---------------------------------------------------------------------------

SIM_ScenarioManager::SIM_ScenarioManager() = default;
SIM_ScenarioManager::~SIM_ScenarioManager() = default;

SIM_ScenarioManager& SIM_ScenarioManager::Get() {
  (void)kUnlocksKnowScenarios;
  return ProcessWide<SIM_ScenarioManager>();
}

void SIM_ScenarioManager::Load() {
  if (campaignLoaded) return;
  campaignLoaded = true;
  for (const std::string& folder : ListFolders("data/scenarios/*.*", true)) {
    auto scenario = std::make_unique<SIM_Scenario>();
    scenario->origin = SIM_Scenario::ORIGIN_CAMPAIGN;
    if (!scenario->Load(folder + "/scenario.txt")) {
      LogErrorF("Campaign scenario skipped: %s", folder.c_str());
      continue;
    }
    campaign.push_back(scenario.get());
    all.push_back(std::move(scenario));
  }
}

SIM_Scenario* SIM_ScenarioManager::AddScenario(const std::string& path) {
  auto scenario = std::make_unique<SIM_Scenario>();
  scenario->origin = SIM_Scenario::ORIGIN_ADDED;
  if (!scenario->Load(path)) {
    LogErrorF("Scenario not added: %s", path.c_str());
    return nullptr;
  }
  added.push_back(scenario.get());
  all.push_back(std::move(scenario));
  return all.back().get();
}

SIM_Scenario* SIM_ScenarioManager::Find(const std::string& scenarioName) {
  Load();
  for (const auto& scenario : all) {
    if (scenario->name == scenarioName) return scenario.get();
  }
  LogErrorF("Failed to find scenario [%s]", scenarioName.c_str());
  return nullptr;
}
