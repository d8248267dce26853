#include "simdata/Divisions.h"

#include <algorithm>

#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/PlayerRecords.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "platform/Files.h"
#include "simdata/DataHooks.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/PlayerFile.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
bool HasControlCharacters(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}
}  // namespace

bool IsDesignUnlocked(const SIM_UnitDesign& design) {
  const SIM_HighScores& records = SIM_HighScores::Get();
  if (!design.hull || !records.IsUnlocked(design.hull->name)) return false;
  for (const DesignModule& m : design.modules)
    if (m.type && !records.IsUnlocked(m.type->name)) return false;
  return true;
}

// ---- SIM_Division -------------------------------------------------------------------

bool SIM_Division::AddDesign(const std::string& designName) {
  if (ContainsDesign(designName)) return false;
  if (!SIM_DivisionManager::IsStorableDesignName(designName)) {
    LogErrorF("Design name not kept in division [%s]: it cannot be saved", name.c_str());
    return false;
  }
  designs.push_back(designName);
  return true;
}

void SIM_Division::RemoveDesign(const std::string& designName) {
  designs.erase(std::remove(designs.begin(), designs.end(), designName), designs.end());
}

bool SIM_Division::ContainsDesign(const std::string& designName) const {
  return std::find(designs.begin(), designs.end(), designName) != designs.end();
}

// ---- SIM_DivisionManager -----------------------------------------------------------

SIM_DivisionManager& SIM_DivisionManager::Instance() {
  return ProcessWide<SIM_DivisionManager>([](SIM_DivisionManager& m) { m.Load(); });
}

bool SIM_DivisionManager::IsStorableDesignName(const std::string& name) {
  // One design per line, read back as a bare key: nothing the reader would take as a
  // header, comment, value or quote, and no white space it would trim.
  if (name.empty() || name.size() > 255 || HasControlCharacters(name)) return false;
  if (name.front() == '/' || name.front() == '[' || name.front() == '"') return false;
  if (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t') return false;
  return name.find('=') == std::string::npos;
}

bool SIM_DivisionManager::IsStorableDivisionName(const std::string& name) {
  if (name.empty() || name.size() > 64 || HasControlCharacters(name)) return false;
  if (name == "config" || name == kAllName) return false;
  if (name.find(']') != std::string::npos || name.find('[') != std::string::npos) return false;
  return name.front() != ' ' && name.back() != ' ';
}

void SIM_DivisionManager::Load() {
  divisions.clear();
  selected = nullptr;
  std::string selectedName = kAllName;
  const std::string path = UserFilePath(kFileName);
  std::string text;
  // A damaged file is kept aside as ".damaged" and the player starts from "All".
  if (ReadRecordFile(path, text) == RecordState::Read) {
    for (SettingsFile& section : ParseAllIniSections(text)) {
      if (section.SectionName() == "config") {
        if (section.HasKey("selected")) selectedName = section.GetString("selected");
        continue;
      }
      if (FindDivision(section.SectionName())) continue;  // repeated headers are merged already
      auto division = std::make_unique<SIM_Division>(section.SectionName());
      for (const auto& entry : section.Entries()) division->AddDesign(entry.first);
      divisions.push_back(std::move(division));
    }
  }
  AddAllDivision();
  selected = FindDivision(selectedName);
  ZT_ASSERT(selected != nullptr);
}

void SIM_DivisionManager::AddAllDivision() {
  // A file section named "All" is an ordinary division; the rebuilt one comes first in
  // lookups only when no such section was read.
  auto all = std::make_unique<SIM_Division>(kAllName);
  for (const auto& design : SIM_UnitDesignManager::Get().Designs())
    if (IsDesignUnlocked(*design)) all->AddDesign(design->name);
  divisions.push_back(std::move(all));
}

std::string SIM_DivisionManager::SaveText() const {
  std::string text = "\n[config]\n";
  text += "selected = " + (selected ? selected->name : std::string(kAllName)) + "\n";
  bool allSkipped = false;
  for (const auto& d : divisions) {
    // The rebuilt "All" is never saved (the first of that name, as FindDivision sees it).
    if (d->name == kAllName && !allSkipped) {
      allSkipped = true;
      continue;
    }
    text += "\n[" + d->name + "]\n";
    for (const std::string& design : d->designs) text += design + "\n";
  }
  return text;
}

bool SIM_DivisionManager::Save() const {
  const std::string path = UserFilePath(kFileName);
  const std::string text = SaveText();
  std::string why;
  // The old file stays whole until the new one is complete on disk.
  if (!platform::WriteFileReplacing(path, text.data(), text.size(), &why)) {
    LogErrorF("Failed to save %s: %s", path.c_str(), why.c_str());
    return false;
  }
  return true;
}

SIM_Division* SIM_DivisionManager::FindDivision(const std::string& name) const {
  for (const auto& d : divisions)
    if (d->name == name) return d.get();
  return nullptr;
}

SIM_Division* SIM_DivisionManager::AddDivision(const std::string& name) {
  if (!IsStorableDivisionName(name) || FindDivision(name)) {
    LogErrorF("Division name refused: [%s]", name.c_str());
    return nullptr;
  }
  divisions.push_back(std::make_unique<SIM_Division>(name));
  return divisions.back().get();
}

void SIM_DivisionManager::RemoveDivision(const std::string& name) {
  auto it = std::find_if(divisions.begin(), divisions.end(),
                         [&](const std::unique_ptr<SIM_Division>& d) { return d->name == name; });
  if (it == divisions.end()) return;
  const bool wasSelected = it->get() == selected;
  divisions.erase(it);
  if (wasSelected) selected = divisions.empty() ? nullptr : divisions.front().get();
}

bool SIM_DivisionManager::Step(int direction) {
  SIM_DataHooks& hooks = GetDataHooks();
  ZT_ASSERT(hooks.deploymentWindowOpen && hooks.deploymentWindowOpen());
  if (divisions.empty()) return false;
  const int n = Count();
  int index = -1;
  for (int i = 0; i < n; ++i)
    if (divisions[static_cast<size_t>(i)].get() == selected) index = i;
  // With nothing selected (a stale name at load) the walk starts before the first.
  if (index < 0) index = direction > 0 ? n - 1 : 0;
  bool accepted = false;
  for (int tries = 0; tries <= n; ++tries) {
    index = ((index + direction) % n + n) % n;
    selected = divisions[static_cast<size_t>(index)].get();
    accepted = !hooks.deploymentCanUseDivision || hooks.deploymentCanUseDivision(selected);
    if (accepted) break;
  }
  return accepted;
}

bool SIM_DivisionManager::SelectNext() { return Step(1); }

bool SIM_DivisionManager::SelectPrevious() { return Step(-1); }
