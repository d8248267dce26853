#pragma once
// Hull variants: one piece of artwork for a hull (the stack of sprite layers, colour
// layers, wreck images, attachment points and props), read from
// "data/variants/<name>.txt". Every variant ever built is kept in one registry.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SettingsFile;
class SIM_UnitHull;
class SIM_PropType;

struct VariantLayer {
  std::string layerName;
  std::string texture;
  // The layer whose texture this colour layer tints; the layer itself otherwise.
  const VariantLayer* colourSource = nullptr;
  std::string hulk;  // texture of the wreck
  // World units (artwork units on a 256 square, times hull size / 256).
  float sizex = 0.0f;
  float sizey = 0.0f;
  float offsetx = 0.0f;
  float offsety = 0.0f;
  std::string parent;
  int32_t data = 0;
  bool visible = false;
  float texLeft = 0.0f;
  float texTop = 0.0f;
  float texRight = 0.0f;
  float texBottom = 0.0f;
  float hulkLeft = 0.0f;
  float hulkTop = 0.0f;
  float hulkRight = 1.0f;
  float hulkBottom = 1.0f;
  float firingPosMultiplier = 1.0f;
  std::vector<std::string> attachments;  // whole attachment texts, "layer,..."
};

struct VariantProp {
  SIM_PropType* propType = nullptr;
  // The four numbers in the order written: offset x, offset y, size (-1: the prop
  // type's), angle (-1: random).
  float x = 0.0f;
  float y = 0.0f;
  float size = 0.0f;
  float angle = 0.0f;
};

class SIM_UnitHullVariant {
 public:
  // An empty variant of the hull, entered into the registry.
  explicit SIM_UnitHullVariant(SIM_UnitHull* hull);
  virtual ~SIM_UnitHullVariant();
  SIM_UnitHullVariant(const SIM_UnitHullVariant&) = delete;
  SIM_UnitHullVariant& operator=(const SIM_UnitHullVariant&) = delete;

  void Load(const std::string& file);

  const VariantLayer* FindLayer(const std::string& name) const;
  const VariantLayer* FindLayerWithData(const std::string& name, int32_t data) const;
  int CountLayersByName(const std::string& name) const;

  const std::string& GetName() const { return name; }
  SIM_UnitHull* GetHull() const { return hull; }
  const SettingsFile& Config() const { return *config; }
  const SettingsFile& AttachmentsSection() const { return *attachmentsSection; }
  const SettingsFile& PropsSection() const { return *propsSection; }

  std::vector<VariantLayer> layers;
  std::vector<VariantProp> props;
  std::string name;
  std::string guiName;
  SIM_UnitHull* hull = nullptr;
  float turretOffsetX = 0.0f;
  float turretOffsetY = 0.0f;
  float extent = 256.0f;  // artwork units
  std::unique_ptr<SettingsFile> config;
  std::unique_ptr<SettingsFile> attachmentsSection;
  std::unique_ptr<SettingsFile> propsSection;
  std::vector<std::unique_ptr<SettingsFile>> layerSections;
};

// The first variant in the registry (creation order, all hulls) with exactly that
// name; a miss is fatal ("Failed to find variant: %s").
SIM_UnitHullVariant* FindVariant(const std::string& name);
// The same, null on a miss (for names from untrusted files).
SIM_UnitHullVariant* TryFindVariant(const std::string& name);
// Every variant in creation order.
const std::vector<SIM_UnitHullVariant*>& AllVariants();
// Deletes every registered variant (process end and tests).
void DeleteAllVariants();
