#include "simdata/UnitHull.h"

#include <cmath>
#include <utility>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"
#include "simdata/HeaderTable.h"
#include "simdata/UnitHullVariant.h"

namespace {
const char* const kHullTable = "data/hulls/hulls.csv";
const char* const kHullFolder = "data/hulls/";
const char* const kVariantFolder = "data/variants/";
}  // namespace

// ---- SIM_UnitHull -------------------------------------------------------------------

SIM_UnitHull::SIM_UnitHull() : row(std::make_unique<SettingsFile>()) {}
SIM_UnitHull::~SIM_UnitHull() = default;

void SIM_UnitHull::ReadRow() {
  const SettingsFile& r = *row;
  name = r.GetString("name");
  guiName = r.GetString("guiname");
  description = r.GetString("description");
  size = r.GetFloat("size", 0.0f);
  hitPoints = r.GetFloat("hitpoints", 0.0f);
  weight = r.GetFloat("weight", 0.0f);
  victoryPoints = r.GetFloat("victorypoints", 0.0f);
  shieldSizeScalar = r.GetFloat("shield_size_scalar", 0.0f);
  cost = r.GetFloat("cost", 0.0f);
  sizeType = SIM_UnitHullManager::Get().GetSizeType(r.GetString("sizetype"));
  moduleSize = r.GetString("modulesize");
  deploymentParticles = r.GetString("deployment_particles");
  deploymentSound = r.GetString("deployment_sound");
  const std::string recoil = r.GetString("recoil");
  recoilMode = recoil == "SQUASH" ? RECOIL_SQUASH : recoil == "MOVE" ? RECOIL_MOVE : RECOIL_NONE;
  explosions.clear();
  Tokenizer tokenizer(r.GetString("explosions"), ',');
  tokenizer.SetKeepQuotes(false);
  while (!tokenizer.AtEnd()) explosions.push_back(tokenizer.NextString());
  if (name.empty()) ZT_DATA_CHECK(std::string(kHullTable) + ": a hull without a name");
  if (guiName.empty()) ZT_DATA_CHECK(std::string(kHullTable) + ": hull [" + name + "] without a gui name");
}

void SIM_UnitHull::ReadHullFile() {
  file = kHullFolder + name + ".txt";

  slots.clear();
  SettingsFile section;
  section.LoadSection(file, "slots");
  for (const auto& entry : section.Entries()) {
    if (entry.second.empty()) continue;
    HullSlot slot;
    slot.text = entry.second;
    slot.index = static_cast<int32_t>(slots.size());
    slots.push_back(slot);
  }

  targets.clear();
  section.LoadSection(file, "targets");
  for (const auto& entry : section.Entries()) {
    if (entry.second.empty()) continue;
    std::vector<std::string> cells = SplitCommas(entry.second);
    if (cells.size() < 4)
      ZT_DATA_PROBLEM(file + ": aim point [" + entry.second +
                      "] is missing numbers or its name; they read 0");
    auto target = std::make_unique<SIM_UnitTargetData>();
    const float ax = static_cast<float>(ParseDouble(cells[0]));
    const float ay = cells.size() > 1 ? static_cast<float>(ParseDouble(cells[1])) : 128.0f;
    target->x = (ax - 128.0f) / 256.0f * size;
    target->y = (ay - 128.0f) / 256.0f * size;
    target->z = cells.size() > 2 ? static_cast<float>(ParseDouble(cells[2])) : 0.0f;
    if (cells.size() > 3) target->name = MakeString(cells[3]);
    targets.push_back(std::move(target));
  }
  // Shots spread over the aim points in an order that differs per hull and run.
  for (size_t i = targets.size(); i > 1; --i) {
    size_t j = static_cast<size_t>(static_cast<double>(i) * EngineRand() / 32768.0);
    std::swap(targets[i - 1], targets[j]);
  }
  if (targets.empty()) targets.push_back(std::make_unique<SIM_UnitTargetData>());

  variants.clear();
  section.LoadSection(file, "variants");
  for (const auto& entry : section.Entries()) {
    if (entry.second.size() < 2) continue;
    auto* variant = new SIM_UnitHullVariant(this);  // owned by the variant registry
    variant->Load(kVariantFolder + entry.second + ".txt");
    variants.push_back(variant);
  }
  if (variants.empty()) {
    auto* variant = new SIM_UnitHullVariant(this);
    variant->Load(kVariantFolder + name + "_default" + ".txt");
    variants.push_back(variant);
  }

  unlockable.Set(name, guiName, SIM_Unlockable::KIND_HULL);
  // The unlock screens picture a hull by the first layer of its default artwork.
  for (const VariantLayer& layer : variants.front()->layers)
    if (!layer.texture.empty()) {
      unlockable.SetIcon(layer.texture);
      break;
    }
}

SIM_UnitHullVariant* SIM_UnitHull::TryFindVariant(const std::string& variantName) const {
  for (SIM_UnitHullVariant* v : variants)
    if (v->name == variantName) return v;
  return nullptr;
}

SIM_UnitHullVariant* SIM_UnitHull::FindVariant(const std::string& variantName) const {
  if (SIM_UnitHullVariant* v = TryFindVariant(variantName)) return v;
  FatalError("SIM_UnitHull", 455, "failed to find variant: [" + variantName + "]");
}

bool SIM_UnitHull::Save() const {
  if (!(size > 0.0f) || !std::isfinite(size)) {
    // Aim points are stored in artwork units, which needs the hull's size.
    ZT_DATA_PROBLEM("Hull [" + name + "] not saved: its size is " + FormatFloat(size));
    return false;
  }
  SettingsFile slotSection;
  slotSection.SetSectionName("slots");
  for (size_t i = 0; i < slots.size(); ++i) slotSection.AddValue(std::to_string(i), slots[i].text);
  SettingsFile variantSection;
  variantSection.SetSectionName("variants");
  for (size_t i = 0; i < variants.size(); ++i) variantSection.AddValue(std::to_string(i), variants[i]->name);
  SettingsFile targetSection;
  targetSection.SetSectionName("targets");
  for (size_t i = 0; i < targets.size(); ++i) {
    const SIM_UnitTargetData& t = *targets[i];
    targetSection.AddValue(std::to_string(i), FormatFloat(t.x / size * 256.0f + 128.0f, "%f") + "," +
                                                  FormatFloat(t.y / size * 256.0f + 128.0f, "%f") + "," +
                                                  FormatFloat(t.z, "%f") + "," + t.name);
  }
  std::string text;
  slotSection.WriteTo(text);
  variantSection.WriteTo(text);
  targetSection.WriteTo(text);
  // All three sections in one go: a failed write keeps the old file whole.
  return WriteFileAtomic(file, text);
}

// ---- SIM_UnitHullManager ------------------------------------------------------------

SIM_UnitHullManager::SIM_UnitHullManager() : sizeTypeNames{"INFANTRY", "MECH", "TANK", "BUILDING", ""} {}
SIM_UnitHullManager::~SIM_UnitHullManager() = default;

SIM_UnitHullManager& SIM_UnitHullManager::Get() { return ProcessWide<SIM_UnitHullManager>(); }

void SIM_UnitHullManager::Load() {
  if (loaded) return;
  // Set first: nothing reached from a hull's load may start the load again.
  loaded = true;
  ReadHeaderKeyedTable(
      kHullTable,
      [this]() -> SettingsFile& {
        hulls.push_back(std::make_unique<SIM_UnitHull>());
        return *hulls.back()->row;
      },
      [this]() {
        hulls.back()->ReadRow();
        hulls.back()->ReadHullFile();
      });
}

SIM_UnitHull* SIM_UnitHullManager::GetHull(const std::string& hullName) {
  Load();
  for (const auto& h : hulls)
    if (h->name == hullName) return h.get();
  return nullptr;
}

SIM_UnitHull* SIM_UnitHullManager::FindHullByFile(const std::string& hullFile) {
  Load();
  for (const auto& h : hulls)
    if (h->file == hullFile) return h.get();
  return nullptr;
}

int32_t SIM_UnitHullManager::TryGetSizeType(const std::string& text) const {
  for (int32_t i = 0; i < 5; ++i)
    if (sizeTypeNames[i] == text) return i;
  return -1;
}

int32_t SIM_UnitHullManager::GetSizeType(const std::string& text) const {
  int32_t index = TryGetSizeType(text);
  if (index < 0) FatalError("SIM_UnitHullManager", 37, "Invalid size type: " + text);
  return index;
}
