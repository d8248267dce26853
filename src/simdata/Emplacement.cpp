#include "simdata/Emplacement.h"

#include "engine/Folders.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"

namespace {
std::unique_ptr<EmplacementType> ReadEmplacement(const std::string& path) {
  auto type = std::make_unique<EmplacementType>();
  type->file = path;
  SettingsFile config;
  if (!config.LoadSection(path, "config")) ZT_DATA_PROBLEM(path + ": no config section");
  type->name = config.GetString("name");
  type->texture = config.GetString("texture");
  type->coverBonus = config.GetFloat("coverbonus", 0.0f);
  std::vector<std::string> uv = SplitCommas(config.GetString("uv"));
  if (uv.size() < 4) ZT_DATA_PROBLEM(path + ": uv needs four numbers; missing ones read 0");
  // Half a texel in from each edge of the 1024 x 512 sheet, so filtering never bleeds
  // in the neighbouring emplacement.
  type->uvLeft = CellNumber(uv, 0) + 1.0f / 1024.0f;
  type->uvTop = CellNumber(uv, 1) + 1.0f / 512.0f;
  type->uvRight = CellNumber(uv, 2) - 1.0f / 1024.0f;
  type->uvBottom = CellNumber(uv, 3) - 1.0f / 512.0f;
  SettingsFile offsets;
  offsets.LoadSection(path, "offsets");
  for (const auto& entry : offsets.Entries()) {
    std::vector<std::string> cells = SplitCommas(entry.second);
    if (cells.size() < 2) ZT_DATA_PROBLEM(path + ": offset [" + entry.second + "] needs x and y; y reads 0");
    type->offsets.emplace_back(CellNumber(cells, 0), CellNumber(cells, 1));
  }
  return type;
}
}  // namespace

SIM_EmplacementManager::SIM_EmplacementManager() = default;
SIM_EmplacementManager::~SIM_EmplacementManager() = default;

SIM_EmplacementManager& SIM_EmplacementManager::Get() { return ProcessWide<SIM_EmplacementManager>(); }

void SIM_EmplacementManager::Load() {
  if (!types.empty()) return;
  for (const std::string& path : ListFiles("data/emplacements/*.txt", true))
    types.push_back(ReadEmplacement(path));
}

EmplacementType* SIM_EmplacementManager::Find(const std::string& name) {
  Load();
  for (const auto& t : types)
    if (t->name == name) return t.get();
  return nullptr;
}
