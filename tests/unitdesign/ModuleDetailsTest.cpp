// The module details lines of the unit designer: augmented values, the building bonus,
// damage modifiers and the stat comparison they open; and the design summary.
#include "battle/Gameplay.h"
#include "engine/SettingsFile.h"
#include "gui/Tooltip.h"
#include "simdata/AugmentationFactors.h"
#include "unitdesign/ModuleDetailsStrip.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

class ModuleDetailsTest : public UnitDesignTest {
 protected:
  // A module type of its own with the given row cells.
  SIM_ModuleType* Make(const std::string& slotType,
                       const std::vector<std::pair<std::string, std::string>>& cells) {
    auto type = std::make_unique<SIM_ModuleType>();
    type->name = type->guiName = "test_module";
    type->slotType = slotType;
    type->moduleData = std::make_unique<SettingsFile>();
    for (const auto& [k, v] : cells) type->moduleData->AddValue(k, v);
    made_.push_back(std::move(type));
    return made_.back().get();
  }
  AugmentationFactors& F() { return DesignAugmentationFactors(); }
  std::string Text(const SIM_ModuleType* type, const std::string& key, ModuleDataItemType kind,
                   float mult = 1.0f, bool* listed = nullptr) {
    ModuleDataItem item;
    item.key = key;
    item.type = kind;
    item.multiplier = mult;
    return DetailsValueText(*type, item, nullptr, listed);
  }
  std::vector<std::unique_ptr<SIM_ModuleType>> made_;
};

TEST_F(ModuleDetailsTest, ValuesShowTheirAugmentedValueBeside) {
  SIM_ModuleType* gun = Make("WEAPON", {{"damage", "100"},
                                        {"fire_interval", "2.00"},
                                        {"min_range", "100"},
                                        {"max_range", "99.9"},
                                        {"tracking_speed", "0.35"},
                                        {"issniper", "1"},
                                        {"effective_vs_armor", "1.5"},
                                        {"effective_vs_shield", "0.5"},
                                        {"effective_vs_internal", "1.0"},
                                        {"ammunition", "99.9"}});
  F() = AugmentationFactors::Neutral();
  struct Case {
    const char* key;
    ModuleDataItemType kind;
    float mult;
    const char* plain;
    const char* augmented;  // damage 1.2, loading speed 0.5, minimum range 0.75
  } cases[] = {
      {"damage", MDI_INTEGER, 1.0f, "100", "100 (120)"},
      {"fire_interval", MDI_DECIMAL, 1.0f, "2.00", "2.00 (4.00)"},
      {"fire_interval", MDI_DECIMAL_MULT, 0.5f, "1.00", "1.00 (2.00)"},  // scaled by its multiplier
      {"min_range", MDI_DECIMAL, 1.0f, "100.00", "100.00 (75.00)"},
      {"ammunition", MDI_INTEGER, 1.0f, "99", "99"},
      {"tracking_speed", MDI_PERCENTAGE, 1.0f, "35%", "35%"},
      {"issniper", MDI_BOOL, 1.0f, "", ""},
      {"effective_vs_armor", MDI_PERCENTAGE, 1.0f, "+50%", "+50%"},
      {"effective_vs_shield", MDI_PERCENTAGE, 1.0f, "-50%", "-50%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    F() = AugmentationFactors::Neutral();
    EXPECT_EQ(Text(gun, c.key, c.kind, c.mult), c.plain);
    F()[AUG_DAMAGE] = 1.2f;
    F()[AUG_LOADING_SPEED] = 0.5f;
    F()[AUG_MIN_RANGE] = 0.75f;
    EXPECT_EQ(Text(gun, c.key, c.kind, c.mult), c.augmented);
  }
  // A modifier of exactly 1.0 with no augmentation gives no line at all.
  F() = AugmentationFactors::Neutral();
  bool listed = true;
  EXPECT_EQ(Text(gun, "effective_vs_internal", MDI_PERCENTAGE, 1.0f, &listed), "");
  EXPECT_FALSE(listed);
  F()[AUG_EFF_VS_INTERNAL] = 1.25f;
  EXPECT_EQ(Text(gun, "effective_vs_internal", MDI_PERCENTAGE, 1.0f, &listed), " (+25%)");
  EXPECT_TRUE(listed);
  F() = AugmentationFactors::Neutral();
}

TEST_F(ModuleDetailsTest, ADesignWithoutBonusesShowsOneValuePerLine) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  // The shipped design carries no damage bonus: one value per line.
  window->ShowModuleDetails(SIM_ModuleTypeManager::Get().Find("cannon_75"));
  ASSERT_NE(window->componentDetails, nullptr);
  ASSERT_FALSE(window->componentDetails->lines.empty());
  for (GUI_UD_ModuleDetailsStrip* line : window->componentDetails->lines)
    EXPECT_EQ(line->value.find('('), std::string::npos) << line->key;
  EXPECT_EQ(window->componentDetails->lines.front()->key, "damage");
  EXPECT_EQ(window->componentDetails->lines.front()->value, "45");
}

TEST_F(ModuleDetailsTest, BuildingsScaleIntegerDamageAndDefence) {
  SIM_ModuleType* gun =
      Make("WEAPON", {{"damage", "10"}, {"shieldpoints", "100"}, {"maxdamageabsorbable", "100"}});
  F() = AugmentationFactors::Neutral();
  SIM_UnitHull* tower = nullptr;
  for (const auto& hull : SIM_UnitHullManager::Get().All())
    if (hull->GetSizeType() == SIZETYPE_BUILDING) tower = hull.get();
  ASSERT_NE(tower, nullptr);
  window->NewDesignForHull(tower);
  F() = AugmentationFactors::Neutral();
  const Gameplay& g = GetGameplay();
  EXPECT_EQ(Text(gun, "damage", MDI_INTEGER), std::to_string(static_cast<int>(10 * g.DEFENDER_DAMAGE_MULT)));
  EXPECT_EQ(Text(gun, "shieldpoints", MDI_INTEGER),
            std::to_string(static_cast<int>(100 * g.DEFENDER_DEFENSE_BONUS)));
  EXPECT_EQ(Text(gun, "maxdamageabsorbable", MDI_INTEGER),
            std::to_string(static_cast<int>(100 * g.DEFENDER_DEFENSE_BONUS)));
}

TEST_F(ModuleDetailsTest, ShippedDamageAndDefenceItemsAreIntegers) {
  for (const char* name : {"cannon_75", "composite_plating", "aegis"}) {
    const SIM_ModuleType* type = SIM_ModuleTypeManager::Get().Find(name);
    ASSERT_NE(type, nullptr) << name;
    for (const ModuleDataItem& item : type->dataItems) {
      if (item.key == "damage" || item.key == "shieldpoints" || item.key == "maxdamageabsorbable") {
        EXPECT_EQ(item.type, MDI_INTEGER) << name << " " << item.key;
      }
    }
  }
}

TEST_F(ModuleDetailsTest, ComparisonSortsScrollsAndKeepsZeroBarsEmpty) {
  const SIM_ModuleType* cannon = SIM_ModuleTypeManager::Get().Find("cannon_75");
  ASSERT_NE(cannon, nullptr);
  ModuleDataItem damage{"damage", MDI_INTEGER, 1.0f};
  OpenModuleStatComparison(cannon, damage);
  GUI_UD_ModuleStatComparison* c = GetUDStatComparison();
  ASSERT_NE(c, nullptr);
  ASSERT_GT(c->entries.size(), 3u);
  for (size_t i = 1; i < c->entries.size(); ++i) EXPECT_GE(c->entries[i - 1].value, c->entries[i].value);
  EXPECT_FLOAT_EQ(c->entries.front().fraction, 1.0f);
  EXPECT_LE(c->height, 700);
  ASSERT_GE(c->clicked, 0);
  EXPECT_EQ(c->entries[static_cast<size_t>(c->clicked)].type, cannon);
  if (c->maxFirst > 0) {
    const int first = c->scroll->Position();
    EXPECT_EQ(first, std::clamp(c->clicked - c->rows / 2, 0, c->maxFirst));
  }
  // One strip a row from the first row shown, the clicked module's highlighted, locked
  // modules greyed with a lock queued at their left.
  Frame();
  ASSERT_FALSE(c->strips.empty());
  EXPECT_LE(static_cast<int>(c->strips.size()), c->rows);
  for (size_t i = 0; i < c->strips.size(); ++i) {
    const auto& e = c->entries[static_cast<size_t>(c->scroll->Position()) + i];
    EXPECT_EQ(c->strips[i]->nameText, e.name);
    EXPECT_EQ(c->strips[i]->highlight, e.type == cannon);
    EXPECT_EQ(c->strips[i]->locked, e.locked);
  }
  const int before = c->scroll->Position();
  c->OnWheelUp();
  Frame();
  if (before > 0) {
    EXPECT_EQ(c->strips.front()->nameText, c->entries[static_cast<size_t>(before - 1)].name);
  }
  // A stat every module holds as zero: no division by zero, empty bars.
  for (const auto& t : SIM_ModuleTypeManager::Get().All()) t->moduleData->AddValue("zero_stat", "0");
  OpenModuleStatComparison(cannon, ModuleDataItem{"zero_stat", MDI_DECIMAL, 1.0f});
  c = GetUDStatComparison();
  ASSERT_NE(c, nullptr);
  EXPECT_FLOAT_EQ(c->largest, 0.0f);
  for (const auto& e : c->entries) EXPECT_FLOAT_EQ(e.fraction, 0.0f);
  Frame();
  delete c;
}

TEST_F(ModuleDetailsTest, ANumericLineClickedInTheDetailsOpensItsComparison) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  window->ShowModuleDetails(SIM_ModuleTypeManager::Get().Find("cannon_75"));
  GUI_UD_ModuleDetailsStrip* line = window->componentDetails->lines.front();
  LeftPress(CX(line), CY(line));
  LeftRelease(CX(line), CY(line));
  ASSERT_NE(GetUDStatComparison(), nullptr);
  EXPECT_EQ(GetUDStatComparison()->key, "damage");
  delete GetUDStatComparison();
}

// A shipped weapon's reload time is a multiplier line: the catalogue's milliseconds show as
// the seconds its label names, and a click on it still opens the comparison, whose rows
// show bars without values.
TEST_F(ModuleDetailsTest, AMultiplierLineShowsItsScaledValueAndStillCompares) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  window->ShowModuleDetails(SIM_ModuleTypeManager::Get().Find("cannon_75"));
  GUI_UD_ModuleDetailsStrip* reload = nullptr;
  for (GUI_UD_ModuleDetailsStrip* line : window->componentDetails->lines)
    if (line->key == "fire_interval") reload = line;
  ASSERT_NE(reload, nullptr);
  ASSERT_EQ(reload->displayType, MDI_DECIMAL_MULT);
  EXPECT_EQ(reload->label, GetTranslation("M_D_fire_interval"));
  EXPECT_FLOAT_EQ(reload->multiplier, 0.001f);
  const SIM_ModuleType* cannon = SIM_ModuleTypeManager::Get().Find("cannon_75");
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.2f",
                cannon->ModuleData().GetFloat("fire_interval", 0.0f) * 0.001f);
  EXPECT_EQ(reload->value, expected);
  EXPECT_NE(reload->value, "0.00");
  ASSERT_TRUE(reload->IsNumeric());
  Frame();
  LeftPress(CX(reload), CY(reload));
  LeftRelease(CX(reload), CY(reload));
  GUI_UD_ModuleStatComparison* c = GetUDStatComparison();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->key, "fire_interval");
  Frame();
  ASSERT_FALSE(c->strips.empty());
  for (const auto* strip : c->strips) EXPECT_EQ(strip->valueText, "");
  delete c;
}

// Ammo handlers fitted in the augmentation slot shorten the reload: the reload line of the
// fitted cannon shows its seconds and, beside them, the shorter augmented seconds.
TEST_F(ModuleDetailsTest, ALoadingAugmentationShowsTheShorterReloadInSeconds) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);  // cannon_75, aug_armour in slot 6
  Unlock("aug_loading");
  GUI_UD_ModuleIcon* handlers = PickerIcon("aug_loading");
  ASSERT_NE(handlers, nullptr);
  Drag(CX(handlers), CY(handlers), CX(Slot(6)), CY(Slot(6)));
  ASSERT_NE(Slot(6)->module, nullptr);
  ASSERT_EQ(Slot(6)->module->name, "aug_loading");
  const SIM_ModuleType* cannon = SIM_ModuleTypeManager::Get().Find("cannon_75");
  const SIM_ModuleType* aug = SIM_ModuleTypeManager::Get().Find("aug_loading");
  window->ShowModuleDetails(cannon);
  GUI_UD_ModuleDetailsStrip* reload = nullptr;
  for (GUI_UD_ModuleDetailsStrip* line : window->componentDetails->lines)
    if (line->key == "fire_interval") reload = line;
  ASSERT_NE(reload, nullptr);
  const float ms = cannon->ModuleData().GetFloat("fire_interval", 0.0f);
  const float speed = 1.0f + aug->ModuleData().GetFloat("variable_var", 0.0f);
  char expected[48];
  std::snprintf(expected, sizeof expected, "%.2f (%.2f)", ms * 0.001f, ms / speed * 0.001f);
  EXPECT_EQ(reload->value, expected);
  F() = AugmentationFactors::Neutral();
}

TEST_F(ModuleDetailsTest, SummaryShowsTheTotalsOfTheBoard) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  ASSERT_NE(window->summary, nullptr);
  window->design->ComputeStats();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", window->design->cost);
  EXPECT_EQ(window->summary->items[0]->value, buf);
  std::snprintf(buf, sizeof buf, "%.2f", window->design->speed * 100.0f);
  EXPECT_EQ(window->summary->items[1]->value, buf);
  const std::string before = window->summary->items[0]->value;
  RightClick(CX(Slot(0)), CY(Slot(0)));
  EXPECT_NE(window->summary->items[0]->value, before) << "the weapon's cost left the total";
}

// Each total explains itself when the mouse rests on it, and only that one.
TEST_F(ModuleDetailsTest, SummaryItemsShowTheirTooltipWhileTheMouseRests) {
  ASSERT_NE(window->summary, nullptr);
  const char* const kTips[] = {"DESIGN_COST_TT",  "DESIGN_SPEED_TT",  "DESIGN_HP_TT",
                               "DESIGN_ARMOR_TT", "DESIGN_SHIELD_TT", "DESIGN_WEIGHT_TT"};
  for (int i = 0; i < GUI_UD_Summary::kItems; ++i) {
    GUI_UD_SummaryItem* item = window->summary->items[i];
    SCOPED_TRACE(kTips[i]);
    EXPECT_LT(item->left, item->right);
    ASSERT_EQ(item->tooltip->Lines().size(), 1u);
    EXPECT_EQ(item->tooltip->Lines()[0], GetTranslation(kTips[i]));
    Mouse(CX(item), CY(item));
    // As the input poll leaves it before each frame: unclaimed, the mouse at rest.
    GetInputManager().MouseClaimed = false;
    GetInputManager().stillCounter = 1000;
    Frame();
    EXPECT_GT(item->tooltip->alpha, 0.0f);
    for (int j = 0; j < GUI_UD_Summary::kItems; ++j)
      if (j != i) {
        EXPECT_EQ(window->summary->items[j]->tooltip->alpha, 0.0f) << j;
      }
  }
}

}  // namespace
}  // namespace unitdesign_test
