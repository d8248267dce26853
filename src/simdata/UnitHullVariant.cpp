#include "simdata/UnitHullVariant.h"

#include <algorithm>
#include <cmath>

#include "engine/ErrorReporting.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"
#include "simdata/PropType.h"
#include "simdata/UnitHull.h"

namespace {
// Never destroyed: a variant leaves the list as it goes, whenever its owner goes at exit.
std::vector<SIM_UnitHullVariant*>& Registry() {
  static auto* const registry = new std::vector<SIM_UnitHullVariant*>();
  return *registry;
}

// Colour layers and the base layer whose texture each one tints.
const char* const kColourPairs[4][2] = {
    {"tank_turret_color", "tank_turret"},
    {"tank_chassis_color", "tank_chassis"},
    {"turret_color", "turret_base"},
    {"mech_turret_color", "mech_turret"},
};
}  // namespace

SIM_UnitHullVariant::SIM_UnitHullVariant(SIM_UnitHull* owner)
    : hull(owner),
      config(std::make_unique<SettingsFile>()),
      attachmentsSection(std::make_unique<SettingsFile>()),
      propsSection(std::make_unique<SettingsFile>()) {
  if (!owner) ZT_DATA_CHECK("A hull variant without a hull");
  static bool registered = (RegisterSingletonReset(DeleteAllVariants), true);
  (void)registered;
  Registry().push_back(this);
}

SIM_UnitHullVariant::~SIM_UnitHullVariant() {
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

void SIM_UnitHullVariant::Load(const std::string& file) {
  config->LoadSection(file, "config");
  name = config->GetString("name");
  guiName = config->GetString("guiname");

  layers.clear();
  layerSections.clear();
  const float scale = hull ? hull->size / 256.0f : 1.0f;
  for (int n = 0;; ++n) {
    auto section = std::make_unique<SettingsFile>();
    if (!section->LoadSection(file, "layer" + std::to_string(n)) || section->Count() == 0) break;
    const SettingsFile& s = *section;
    VariantLayer layer;
    layer.layerName = s.GetString("layername");
    layer.texture = s.GetString("texture");
    layer.hulk = s.GetString("hulk");
    layer.sizex = s.GetFloat("sizex", 0.0f);
    layer.sizey = s.GetFloat("sizey", 0.0f);
    layer.offsetx = s.GetFloat("offsetx", 0.0f);
    layer.offsety = s.GetFloat("offsety", 0.0f);
    layer.parent = s.GetString("parent");
    layer.data = s.GetInt("data", 0);
    layer.visible = s.GetInt("visible", 0) != 0;
    layer.texLeft = s.GetFloat("tex_left", 0.0f);
    layer.texTop = s.GetFloat("tex_top", 0.0f);
    layer.texRight = s.GetFloat("tex_right", 0.0f);
    layer.texBottom = s.GetFloat("tex_bottom", 0.0f);
    if (s.HasKey("hulkuv")) {
      std::vector<std::string> uv = SplitCommas(s.GetString("hulkuv"));
      if (uv.size() < 4)
        ZT_DATA_PROBLEM(file + ": layer" + std::to_string(n) +
                        " hulkuv needs four numbers; the rest stay 0,0,1,1");
      layer.hulkLeft = CellNumber(uv, 0, 0.0f);
      layer.hulkTop = CellNumber(uv, 1, 0.0f);
      layer.hulkRight = CellNumber(uv, 2, 1.0f);
      layer.hulkBottom = CellNumber(uv, 3, 1.0f);
    }
    layer.firingPosMultiplier = s.GetFloat("firingposmultiplier", 1.0f);

    extent = std::max(extent, 2.0f * std::fabs(layer.offsetx) + layer.sizex);
    extent = std::max(extent, 2.0f * std::fabs(layer.offsety) + layer.sizey);
    layer.sizex *= scale;
    layer.sizey *= scale;
    layer.offsetx *= scale;
    layer.offsety *= scale;
    if (layer.layerName.find("_turret") != std::string::npos) {
      turretOffsetX = layer.offsetx;
      turretOffsetY = layer.offsety;
    }
    layers.push_back(std::move(layer));
    layerSections.push_back(std::move(section));
  }

  // The layer list is complete: pointers into it stay valid from here on.
  for (VariantLayer& layer : layers) {
    layer.colourSource = &layer;
    for (const auto& pair : kColourPairs) {
      if (layer.layerName != pair[0]) continue;
      if (const VariantLayer* base = FindLayer(pair[1])) {
        layer.colourSource = base;
      } else {
        // Tinting itself is harmless; a missing source would break compositing.
        ZT_DATA_CHECK(file + ": colour layer " + pair[0] + " has no " + pair[1] + " layer");
      }
    }
  }

  attachmentsSection->LoadSection(file, "attachments");
  for (const auto& entry : attachmentsSection->Entries()) {
    if (entry.second.empty()) continue;
    const std::string layerName = SplitCommas(entry.second)[0];
    auto it = std::find_if(layers.begin(), layers.end(),
                           [&](const VariantLayer& l) { return l.layerName == layerName; });
    if (it == layers.end()) {
      ZT_DATA_CHECK(file + ": attachment [" + entry.second + "] names no layer of the variant");
      continue;
    }
    it->attachments.push_back(entry.second);
  }

  props.clear();
  propsSection->LoadSection(file, "props");
  for (const auto& entry : propsSection->Entries()) {
    if (entry.second.empty()) continue;
    std::vector<std::string> cells = SplitCommas(entry.second);
    const std::string propName = MakeString(cells[0]);
    SIM_PropType* type = SIM_PropTypeManager::Get().TryFind(propName);
    if (!type) FatalError("SIM_UnitHullVariant", 158, "Prop Type " + propName + " not found");
    if (cells.size() < 5)
      ZT_DATA_PROBLEM(file + ": prop [" + entry.second + "] is missing numbers; its size and angle default");
    VariantProp prop;
    prop.propType = type;
    prop.x = CellNumber(cells, 1, 0.0f);
    prop.y = CellNumber(cells, 2, 0.0f);
    prop.size = CellNumber(cells, 3, -1.0f);
    prop.angle = CellNumber(cells, 4, -1.0f);
    props.push_back(prop);
  }
}

const VariantLayer* SIM_UnitHullVariant::FindLayer(const std::string& layerName) const {
  for (const VariantLayer& l : layers)
    if (l.layerName == layerName) return &l;
  return nullptr;
}

const VariantLayer* SIM_UnitHullVariant::FindLayerWithData(const std::string& layerName,
                                                           int32_t value) const {
  for (const VariantLayer& l : layers)
    if (l.layerName == layerName && l.data == value) return &l;
  return nullptr;
}

int SIM_UnitHullVariant::CountLayersByName(const std::string& layerName) const {
  return static_cast<int>(std::count_if(layers.begin(), layers.end(),
                                        [&](const VariantLayer& l) { return l.layerName == layerName; }));
}

SIM_UnitHullVariant* TryFindVariant(const std::string& name) {
  for (SIM_UnitHullVariant* v : Registry())
    if (v->name == name) return v;
  return nullptr;
}

SIM_UnitHullVariant* FindVariant(const std::string& name) {
  if (SIM_UnitHullVariant* v = TryFindVariant(name)) return v;
  FatalError("SIM_UnitHullVariant", 41, "Failed to find variant: " + name);
}

const std::vector<SIM_UnitHullVariant*>& AllVariants() { return Registry(); }

void DeleteAllVariants() {
  std::vector<SIM_UnitHullVariant*> doomed;
  doomed.swap(Registry());
  for (SIM_UnitHullVariant* v : doomed) delete v;
}
