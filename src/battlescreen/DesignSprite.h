#pragma once
// The flat picture of a unit design, a bare hull or a hull variant (its layers stacked
// and tinted) for icons, pop-ups and pickers: composed once on the graphics device,
// saved as a DDS file in the design-texture folder and from then on found there by the
// texture manager. The file name carries a stamp of what the picture shows, so a changed
// design, hull or variant gets a new picture and the old file goes.
#include <cstdint>
#include <string>

class SIM_UnitDesign;
class SIM_UnitHull;
class SIM_UnitHullVariant;

class GUI_BS_DesignSprite {
 public:
  static constexpr int kDesignCell = 128;
  static constexpr int kHullCell = 256;
  static constexpr size_t kMaxNameLength = 64;

  static GUI_BS_DesignSprite& Instance();

  // The texture name of the picture: "udes_<design>_<stamp>.dds" for a design,
  // "hull_<hull>_<stamp>.dds" for a hull's first variant, "var_<variant>_<stamp>.dds"
  // for a named variant. Composes and saves it when no file of that name exists yet.
  // Empty when the design or hull is unknown.
  std::string GetTexture(const std::string& name, bool isHull, const std::string& variantName = "");
  // Deletes every cached picture of the design and drops its loaded texture.
  void DeleteCachedFile(const std::string& designName);

  // A name from anyone's files made into a plain file-name part: letters, digits, "-"
  // and "_" kept, anything else "_", cut to kMaxNameLength; never empty.
  static std::string SafeName(const std::string& name);
  // The stamp of what a picture shows (hull, variant, layers and colours).
  static uint32_t Stamp(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design);
  // The design-texture folder.
  static std::string Folder();

  int isHull = 0;
  int compositions = 0;  // pictures composed and saved in this run

 private:
  bool Compose(const std::string& key, const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design);
  void RenderCell(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design, bool additive);
  void DrawLayers(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design, bool additive);
  bool SaveComposite(const std::string& key);
};
