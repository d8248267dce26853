#include "simdata/PropType.h"

#include <algorithm>
#include <memory>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "simdata/CatalogueLog.h"

// ---- SIM_PropType -------------------------------------------------------------------

SIM_PropType::SIM_PropType(const std::string& path) : file(path) {
  SIM_PropTypeManager::Get().Register(this);
  try {
    Read(path);
  } catch (...) {
    // A fatal report that unwinds (tests) must not leave a dangling entry behind.
    SIM_PropTypeManager::Get().Unregister(this);
    throw;
  }
}

void SIM_PropType::Read(const std::string& path) {
  SettingsFile config;
  config.LoadSection(path, "config");
  name = config.GetString("Name");
  texture = config.GetString("Texture");
  uvLeft = config.GetFloat("UVLeft", 0.0f);
  uvTop = config.GetFloat("UVTop", 0.0f);
  uvRight = config.GetFloat("UVRight", 0.0f);
  uvBottom = config.GetFloat("UVBottom", 0.0f);
  defaultWidth = config.GetFloat("DefaultWidth", 0.0f);
  defaultHeight = config.GetFloat("DefaultHeight", 0.0f);
  shadowHeight = config.GetFloat("ShadowHeight", 0.0f);
  randomSize = config.GetInt("RandomSize", 0) != 0;
  if (randomSize) {
    minSize = config.GetFloat("MinSize", 0.0f);
    maxSize = config.GetFloat("MaxSize", 0.0f);
  } else {
    minSize = maxSize = 1.0f;
  }
  const std::string modeText = config.GetString("Mode");
  mode = modeText == "COLLECTION" ? PROPMODE_COLLECTION
         : modeText == "BRUSH"    ? PROPMODE_BRUSH
                                  : PROPMODE_SINGLE;
  if (mode != PROPMODE_SINGLE) {
    SettingsFile memberSection;
    memberSection.LoadSection(path, "members");
    for (const auto& entry : memberSection.Entries()) members.push_back(entry.first);
  }
  const std::string height = config.GetString("propheight");
  if (height == "GROUND") {
    propHeight = PROPHEIGHT_GROUND;
  } else if (height == "MIDDLE") {
    propHeight = PROPHEIGHT_MIDDLE;
  } else if (height == "HIGH") {
    propHeight = PROPHEIGHT_HIGH;
  } else if (mode == PROPMODE_SINGLE) {
    FatalError("SIM_PropType", 67, "Invalid prop height");
  } else {
    propHeight = PROPHEIGHT_GROUND;  // collections draw their members' heights
  }
  SettingsFile attachmentSection;
  attachmentSection.LoadSection(path, "attachments");
  for (const auto& entry : attachmentSection.Entries()) attachments.push_back(entry.second);
  hidden = config.HasKey("hidden") && config.GetInt("hidden", 0) >= 1;
}

SIM_PropType::~SIM_PropType() {
  if (SIM_PropTypeManager::Exists()) SIM_PropTypeManager::Get().Unregister(this);
}

std::string SIM_PropType::PickMember() const {
  if (mode == PROPMODE_SINGLE || members.empty()) {
    ZT_DATA_CHECK("Prop [" + name + "] has no members to pick from");
    return std::string();
  }
  size_t index = static_cast<size_t>(static_cast<double>(members.size()) * EngineRand() / 32768.0);
  return members[std::min(index, members.size() - 1)];
}

// ---- SIM_PropTypeManager ------------------------------------------------------------

SIM_PropTypeManager::SIM_PropTypeManager() = default;

SIM_PropTypeManager::~SIM_PropTypeManager() {
  std::vector<SIM_PropType*> doomed;
  doomed.swap(types);
  for (SIM_PropType* t : doomed) delete t;
}

SIM_PropTypeManager& SIM_PropTypeManager::Get() { return ProcessWide<SIM_PropTypeManager>(); }

bool SIM_PropTypeManager::Exists() { return ProcessWideIfAlive<SIM_PropTypeManager>() != nullptr; }

void SIM_PropTypeManager::Register(SIM_PropType* type) { types.push_back(type); }

void SIM_PropTypeManager::Unregister(SIM_PropType* type) {
  types.erase(std::remove(types.begin(), types.end(), type), types.end());
}

void SIM_PropTypeManager::Load() {
  if (!types.empty()) return;
  for (const std::string& path : ListFiles("data/props/*.txt", true)) new SIM_PropType(path);
}

SIM_PropType* SIM_PropTypeManager::TryFind(const std::string& propName) {
  Load();
  for (SIM_PropType* t : types)
    if (t->name == propName) return t;
  return nullptr;
}

SIM_PropType* SIM_PropTypeManager::Find(const std::string& propName) {
  if (SIM_PropType* t = TryFind(propName)) return t;
  FatalError("SIM_PropType", 192, "Failed to find prop [" + propName + "]");
}
