#include "simdata/AugmentationFactors.h"

#include <memory>

#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"

namespace {

struct VariableRule {
  const char* name;
  AugmentationFactor factor;
  bool subtracts;
  float initial;
};

// In factor order; the first rule whose name matches decides.
constexpr VariableRule kRules[AUG_COUNT] = {
    {"UVT_MIN_RANGE_RED", AUG_MIN_RANGE, true, 1.0f},
    {"UVT_WPN_RANGEBONUS", AUG_RANGE, false, 1.0f},
    {"UVT_WPN_LOADING_SPEED", AUG_LOADING_SPEED, false, 0.0f},
    {"UVT_WPN_DMG_BONUS", AUG_DAMAGE, false, 1.0f},
    {"UVT_SPEED_BONUS", AUG_SPEED, false, 1.0f},
    {"UVT_EFF_VS_SHLD", AUG_EFF_VS_SHIELD, false, 1.0f},
    {"UVT_EFF_VS_ARMOR", AUG_EFF_VS_ARMOUR, false, 1.0f},
    {"UVT_EFF_VS_INTERN", AUG_EFF_VS_INTERNAL, false, 1.0f},
    {"UVT_AOA_RADIUS", AUG_AOA_RADIUS, false, 1.0f},
    {"UVT_AMMO_STORAGE", AUG_AMMO_STORAGE, false, 1.0f},
    {"UVT_AMMO_RELOAD_SPD", AUG_AMMO_RELOAD, true, 1.0f},
    {"UVT_SHIELDSTRENGTH", AUG_SHIELD_STRENGTH, false, 1.0f},
    {"UVT_HITPOINTS", AUG_HIT_POINTS, false, 1.0f},
    {"UVT_ARMORSTRENGTH", AUG_ARMOUR_STRENGTH, false, 1.0f},
};

const VariableRule* FindRule(const std::string& name) {
  for (const VariableRule& rule : kRules) {
    if (name == rule.name) return &rule;
  }
  return nullptr;
}

std::unique_ptr<AugmentationFactors>& RecordPtr() {
  static std::unique_ptr<AugmentationFactors> p;
  return p;
}

}  // namespace

AugmentationFactors AugmentationFactors::Neutral() {
  AugmentationFactors f;
  for (float& v : f.values) v = 1.0f;
  return f;
}

int AugmentationFactorForVariable(const std::string& variableName) {
  const VariableRule* rule = FindRule(variableName);
  return rule ? rule->factor : -1;
}

AugmentationFactors& DesignAugmentationFactors() {
  static bool registered = (RegisterSingletonReset([] { RecordPtr().reset(); }), true);
  (void)registered;
  auto& p = RecordPtr();
  if (!p) p = std::make_unique<AugmentationFactors>(AugmentationFactors::Neutral());
  return *p;
}

void ComputeAugmentationFactors(AugmentationFactors& out,
                                const std::vector<const SIM_ModuleType*>& fittedModules) {
  for (const VariableRule& rule : kRules) out.values[rule.factor] = rule.initial;
  for (const SIM_ModuleType* type : fittedModules) {
    if (!type || !type->moduleData) continue;
    const SettingsFile& data = type->ModuleData();
    const std::string name = data.GetString("variable_name");
    if (name.empty()) continue;
    const VariableRule* rule = FindRule(name);
    if (!rule) continue;
    const float amount = data.GetFloat("variable_var", 0.0f);
    out.values[rule->factor] += rule->subtracts ? -amount : amount;
  }
  // A design without a loading augmentation loads at the normal rate.
  if (out.values[AUG_LOADING_SPEED] == 0.0f) out.values[AUG_LOADING_SPEED] = 1.0f;
}

void ComputeAugmentationFactors(AugmentationFactors& out, const SIM_UnitDesign* design) {
  if (!design) {
    // Nothing on the drawing board: the record keeps its values.
    if (out.values[AUG_LOADING_SPEED] == 0.0f) out.values[AUG_LOADING_SPEED] = 1.0f;
    return;
  }
  std::vector<const SIM_ModuleType*> fitted;
  fitted.reserve(design->modules.size());
  for (const DesignModule& m : design->modules) fitted.push_back(m.type);
  ComputeAugmentationFactors(out, fitted);
}

AugmentationFactors AugmentationFactorsFor(const SIM_UnitDesign& design) {
  AugmentationFactors f = AugmentationFactors::Neutral();
  ComputeAugmentationFactors(f, &design);
  return f;
}
