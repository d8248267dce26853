#include "simdata/GroundTexture.h"

#include "engine/ErrorReporting.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"

namespace {
const char* const kTexturesFile = "data/groundtextures/textures.ini";
}  // namespace

SIM_GroundTextureManager::SIM_GroundTextureManager() = default;
SIM_GroundTextureManager::~SIM_GroundTextureManager() = default;

SIM_GroundTextureManager& SIM_GroundTextureManager::Get() {
  return ProcessWide<SIM_GroundTextureManager>([](SIM_GroundTextureManager& m) { m.Load(); });
}

void SIM_GroundTextureManager::Load() {
  textures.clear();
  SettingsFile section;
  section.LoadSection(kTexturesFile, "textures");
  for (const auto& entry : section.Entries()) {
    std::vector<std::string> cells = SplitCommas(entry.second);
    for (std::string& cell : cells) cell = MakeString(cell);
    if (cells[0].empty()) {
      ZT_DATA_PROBLEM(std::string(kTexturesFile) + ": a ground texture without a name; skipped");
      continue;
    }
    auto texture = std::make_unique<GroundTexture>();
    texture->name = cells[0];
    if (cells.size() > 1) texture->texture = cells[1];
    float* rect[4] = {&texture->left, &texture->top, &texture->right, &texture->bottom};
    for (size_t i = 0; i < 4; ++i)
      if (i + 2 < cells.size()) *rect[i] = static_cast<float>(ParseDouble(cells[i + 2]));
    textures.push_back(std::move(texture));
  }
}

GroundTexture* SIM_GroundTextureManager::TryFind(const std::string& name) {
  for (const auto& t : textures)
    if (t->name == name) return t.get();
  return nullptr;
}

GroundTexture* SIM_GroundTextureManager::Find(const std::string& name) {
  if (GroundTexture* t = TryFind(name)) return t;
  if (textures.empty()) FatalError("SIM_GroundTexture", 83, "Failed to find ground texture [" + name + "]");
  // Scenarios travel between players; an unknown ground still gives a playable map.
  ZT_DATA_PROBLEM("Failed to find ground texture [" + name + "]; using " + textures.front()->name);
  return textures.front().get();
}
