#pragma once
// The soldiers' shared pictures and shadows. A squad of 25 draws from one render target
// per design: the soldier sheet tinted with the design's colours, composited once, so a
// screen full of soldiers costs a few batches rather than one per soldier and layer.
#include <string>
#include <vector>

#include "engine/Sprites.h"

class SIM_BattleUnit;
class SIM_UnitDesign;

class InfantryCompositor {
 public:
  static constexpr int kSize = 512;
  static constexpr int kCell = 64;
  static constexpr int kSheetWidth = 1024;
  static constexpr int kSheetHeight = 512;
  static constexpr const char* kSheet = "soldier1.dds";
  static constexpr const char* kPrefix = "rt_inf_comp_";

  // One copy of the composition: a sheet rectangle tinted with a layer's colour, put
  // centred on a target rectangle (left, top, right, bottom in pixels).
  struct Step {
    const char* layer;
    int src[4];
    int dst[4];
  };
  static const Step kSteps[14];

  static InfantryCompositor& Instance();
  // The composite target of the design, built first when it is not yet.
  std::string GetTarget(const SIM_UnitDesign* design);
  // Builds one composite and lists it.
  void Compose(const SIM_UnitDesign* design, const std::string& name);
  // The device was rebuilt: every composite goes and is built again on its next use.
  void ReleaseAll();
  // The target name of a design. Designs of the player and of a stranger may share a
  // name but not their colours, so the design itself is part of the key.
  static std::string TargetName(const SIM_UnitDesign* design);

  std::vector<std::string> built;
};

// A soft round shadow under a soldier, in the program-wide list drawn by DrawBlobShadows.
class GUI_BS_InfantryShadow {
 public:
  explicit GUI_BS_InfantryShadow(SIM_BattleUnit* unit);
  ~GUI_BS_InfantryShadow();
  GUI_BS_InfantryShadow(const GUI_BS_InfantryShadow&) = delete;
  GUI_BS_InfantryShadow& operator=(const GUI_BS_InfantryShadow&) = delete;
  SIM_BattleUnit* unit = nullptr;
  BaseSprite sprite;
  float size = 0.0f;
};

struct BlobShadowList {
  static BlobShadowList& Get();
  std::vector<GUI_BS_InfantryShadow*> shadows;  // not owned
  int queued = 0;                               // what the last pass drew (tests)
};

// The battle frame's blob-shadow layer.
void DrawBlobShadows();
