#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/SettingsFile.h"
#include "simdata/ModuleType.h"
#include "unitdesign/AugmentationFactors.h"

namespace {

// A module type whose module data carries the given unit variable.
std::unique_ptr<SIM_ModuleType> Module(const std::string& variable, const std::string& amount) {
  auto m = std::make_unique<SIM_ModuleType>();
  if (!m->moduleData) m->moduleData = std::make_unique<SettingsFile>();
  if (!variable.empty()) m->moduleData->Set("variable_name", variable);
  if (!amount.empty()) m->moduleData->Set("variable_var", amount);
  return m;
}

AugmentationFactors Compute(const std::vector<std::unique_ptr<SIM_ModuleType>>& modules) {
  std::vector<const SIM_ModuleType*> fitted;
  for (const auto& m : modules) fitted.push_back(m.get());
  AugmentationFactors f;  // all zero: the computation must set every field
  ComputeAugmentationFactors(f, fitted);
  return f;
}

TEST(AugmentationFactors, EachVariableMovesItsOwnFactor) {
  struct Case {
    const char* variable;
    int factor;
    float expected;  // with variable_var 0.25
  } cases[] = {
      {"UVT_MIN_RANGE_RED", AUG_MIN_RANGE, 0.75f},
      {"UVT_WPN_RANGEBONUS", AUG_RANGE, 1.25f},
      {"UVT_WPN_LOADING_SPEED", AUG_LOADING_SPEED, 0.25f},  // starts at 0
      {"UVT_WPN_DMG_BONUS", AUG_DAMAGE, 1.25f},
      {"UVT_SPEED_BONUS", AUG_SPEED, 1.25f},
      {"UVT_EFF_VS_SHLD", AUG_EFF_VS_SHIELD, 1.25f},
      {"UVT_EFF_VS_ARMOR", AUG_EFF_VS_ARMOUR, 1.25f},
      {"UVT_EFF_VS_INTERN", AUG_EFF_VS_INTERNAL, 1.25f},
      {"UVT_AOA_RADIUS", AUG_AOA_RADIUS, 1.25f},
      {"UVT_AMMO_STORAGE", AUG_AMMO_STORAGE, 1.25f},
      {"UVT_AMMO_RELOAD_SPD", AUG_AMMO_RELOAD, 0.75f},
      {"UVT_SHIELDSTRENGTH", AUG_SHIELD_STRENGTH, 1.25f},
      {"UVT_HITPOINTS", AUG_HIT_POINTS, 1.25f},
      {"UVT_ARMORSTRENGTH", AUG_ARMOUR_STRENGTH, 1.25f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variable);
    EXPECT_EQ(AugmentationFactorForVariable(c.variable), c.factor);
    std::vector<std::unique_ptr<SIM_ModuleType>> modules;
    modules.push_back(Module(c.variable, "0.25"));
    modules.push_back(Module("", ""));  // an ordinary module changes nothing
    const AugmentationFactors f = Compute(modules);
    for (int i = 0; i < AUG_COUNT; ++i) {
      EXPECT_FLOAT_EQ(f[i], i == c.factor ? c.expected : 1.0f) << "factor " << i;
    }
  }
}

TEST(AugmentationFactors, SumsModulesAndKeepsLoadingSpeedUsable) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> modules;
    int factor;
    float expected;
  } cases[] = {
      {"no modules: loading speed becomes 1", {}, AUG_LOADING_SPEED, 1.0f},
      {"two damage modules add up",
       {{"UVT_WPN_DMG_BONUS", "0.1"}, {"UVT_WPN_DMG_BONUS", "0.1"}},
       AUG_DAMAGE,
       1.2f},
      {"loading speed 0.5 stays 0.5", {{"UVT_WPN_LOADING_SPEED", "0.5"}}, AUG_LOADING_SPEED, 0.5f},
      {"loading speed summing to 0 becomes 1", {{"UVT_WPN_LOADING_SPEED", "0"}}, AUG_LOADING_SPEED, 1.0f},
      {"missing amount reads 0", {{"UVT_HITPOINTS", ""}}, AUG_HIT_POINTS, 1.0f},
      {"unknown variable changes nothing", {{"UVT_NOT_A_FACTOR", "5"}}, AUG_HIT_POINTS, 1.0f},
      {"names are exact", {{"uvt_hitpoints", "5"}}, AUG_HIT_POINTS, 1.0f},
      {"reductions stack",
       {{"UVT_MIN_RANGE_RED", "0.25"}, {"UVT_MIN_RANGE_RED", "0.5"}},
       AUG_MIN_RANGE,
       0.25f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::unique_ptr<SIM_ModuleType>> modules;
    for (const auto& m : c.modules) modules.push_back(Module(m.first, m.second));
    EXPECT_FLOAT_EQ(Compute(modules)[c.factor], c.expected);
  }
}

TEST(AugmentationFactors, DesignRecordStartsNeutralAndKeepsItsValuesWithoutADesign) {
  // Totals computed before the designer ever ran must keep their hit points,
  // armour and shields.
  AugmentationFactors& record = DesignAugmentationFactors();
  for (int i = 0; i < AUG_COUNT; ++i) EXPECT_FLOAT_EQ(record[i], 1.0f) << i;

  record[AUG_HIT_POINTS] = 1.5f;
  ComputeAugmentationFactors(record, static_cast<const SIM_UnitDesign*>(nullptr));
  EXPECT_FLOAT_EQ(record[AUG_HIT_POINTS], 1.5f);
  ComputeAugmentationFactors();  // the designer shows no design
  EXPECT_FLOAT_EQ(DesignAugmentationFactors()[AUG_HIT_POINTS], 1.5f);
}

}  // namespace
