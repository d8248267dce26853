#pragma once
// Augmentation modules change a design's stats through fourteen factors. Each
// fitted module whose module data names a unit variable ("variable_name") adds
// or subtracts its "variable_var" to the factor of that variable.
#include <string>
#include <vector>

class SIM_ModuleType;
class SIM_UnitDesign;

enum AugmentationFactor {
  AUG_MIN_RANGE = 0,    // "UVT_MIN_RANGE_RED" (subtracts)
  AUG_RANGE,            // "UVT_WPN_RANGEBONUS"
  AUG_LOADING_SPEED,    // "UVT_WPN_LOADING_SPEED" (starts at 0; 0 at the end means 1)
  AUG_DAMAGE,           // "UVT_WPN_DMG_BONUS"
  AUG_SPEED,            // "UVT_SPEED_BONUS"
  AUG_EFF_VS_SHIELD,    // "UVT_EFF_VS_SHLD"
  AUG_EFF_VS_ARMOUR,    // "UVT_EFF_VS_ARMOR"
  AUG_EFF_VS_INTERNAL,  // "UVT_EFF_VS_INTERN"
  AUG_AOA_RADIUS,       // "UVT_AOA_RADIUS"
  AUG_AMMO_STORAGE,     // "UVT_AMMO_STORAGE"
  AUG_AMMO_RELOAD,      // "UVT_AMMO_RELOAD_SPD" (subtracts)
  AUG_SHIELD_STRENGTH,  // "UVT_SHIELDSTRENGTH"
  AUG_HIT_POINTS,       // "UVT_HITPOINTS"
  AUG_ARMOUR_STRENGTH,  // "UVT_ARMORSTRENGTH"
  AUG_COUNT
};

struct AugmentationFactors {
  float values[AUG_COUNT] = {};

  // Every factor 1: a design without augmentations keeps its base stats.
  static AugmentationFactors Neutral();
  float operator[](int i) const { return values[i]; }
  float& operator[](int i) { return values[i]; }
  float HitPoints() const { return values[AUG_HIT_POINTS]; }
  float ArmourStrength() const { return values[AUG_ARMOUR_STRENGTH]; }
  float ShieldStrength() const { return values[AUG_SHIELD_STRENGTH]; }
  float LoadingSpeed() const { return values[AUG_LOADING_SPEED]; }
};

// The factor a unit variable name drives, or -1 for a name that drives none.
int AugmentationFactorForVariable(const std::string& variableName);

// The designer's process-wide record. It starts neutral (every factor 1) so design
// totals made before the designer first runs keep their hit points, armour and shields.
AugmentationFactors& DesignAugmentationFactors();

// Fills the record from the fitted module types (null entries are skipped): every
// factor starts at its initial value, each module's variable adds or subtracts.
void ComputeAugmentationFactors(AugmentationFactors& out,
                                const std::vector<const SIM_ModuleType*>& fittedModules);
// The same for a design's fitted modules; a null design leaves the record as it was.
void ComputeAugmentationFactors(AugmentationFactors& out, const SIM_UnitDesign* design);
// The factors of one design on their own, for totalling that design.
AugmentationFactors AugmentationFactorsFor(const SIM_UnitDesign& design);
