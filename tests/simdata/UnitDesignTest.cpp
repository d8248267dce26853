// Unit designs: the design file's exact text, the totals, and files from other players.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/Random.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "support/ScenarioFixtures.h"

namespace {

using fixture::CatalogueFolder;
using fixture::ReadText;
using fixture::WriteText;

std::string DesignText(const std::string& name, const std::string& hull, const std::string& variant,
                       const std::string& modules, const std::string& layers = "") {
  return "[config]\nname = " + name + "\nguiname = " + name + "\ndescription = test\nhull = " + hull +
         "\nvariant = " + variant + "\n\n[modules]\n" + modules + "\n[layers]\n" + layers;
}

class UnitDesignTest : public ::testing::Test {
 protected:
  // Loads a design written from text; fails the test when it does not load.
  SIM_UnitDesign& LoadText(const std::string& text, bool asAI = false) {
    const std::string path = catalogue.Path("design" + std::to_string(designs.size()) + ".txt");
    WriteText(path, text);
    designs.push_back(std::make_unique<SIM_UnitDesign>());
    EXPECT_TRUE(designs.back()->Load(path, asAI)) << text;
    return *designs.back();
  }

  CatalogueFolder catalogue;
  std::vector<std::unique_ptr<SIM_UnitDesign>> designs;
};

const char* kCanonical =
    "[config]\n"
    "name = Raider \n"
    "guiname = RAIDER_NAME \n"
    "description = Fast gun tank \n"
    "hull = fx_tank \n"
    "variant = fx_tank_a \n"
    "\n[modules]\n"
    "0 = fx_gun,\n"
    "1 = fx_engine,\n"
    "2 = fx_speed,\n"
    "\n[layers]\n"
    "0 = tank_chassis,10,20,30,255\n"
    "1 = tank_chassis_color,200,100,50,255\n";

TEST_F(UnitDesignTest, SavedDesignReloadsByteIdenticalWithHandComputedTotals) {
  // Loose spacing, an extra cell after a module name and a key beyond the hull's three
  // slots: all normalised away by the save.
  SIM_UnitDesign& design = LoadText(
      "[config]\n  name =   Raider  \nguiname=RAIDER_NAME\ndescription = Fast gun tank\nhull = fx_tank\n"
      "variant = fx_tank_a\n\n[modules]\n0 = fx_gun,extra,cells\n1 = fx_engine,\n2 = fx_speed\n5 = "
      "fx_plate,\n\n"
      "[layers]\n0 = tank_chassis,10,20,30,255\n1 = tank_chassis_color, 200, 100, 50, 255\n");

  const std::string first = catalogue.Path("saved1.txt");
  ASSERT_TRUE(design.Save(first));
  EXPECT_EQ(ReadText(first), kCanonical);

  SIM_UnitDesign reloaded;
  ASSERT_TRUE(reloaded.Load(first, false));
  const std::string second = catalogue.Path("saved2.txt");
  ASSERT_TRUE(reloaded.Save(second));
  EXPECT_EQ(ReadText(second), ReadText(first));

  // Hull 200 + gun 30 + engine 20 + speed augmentation 50 (full price on a tank).
  EXPECT_FLOAT_EQ(reloaded.cost, 300.0f);
  EXPECT_FLOAT_EQ(reloaded.weight, 110.0f);
  // Thrust 200 / weight 110, then +50% from the augmentation.
  EXPECT_FLOAT_EQ(reloaded.speed, 200.0f / 110.0f * 1.5f);
  EXPECT_FLOAT_EQ(reloaded.hitPoints, 400.0f);
  EXPECT_FLOAT_EQ(reloaded.armour, 0.0f);
  ASSERT_NE(reloaded.weapon, nullptr);
  EXPECT_EQ(reloaded.weapon->name, "fx_gun");
  EXPECT_EQ(reloaded.modules.size(), 3u);
}

struct TotalsCase {
  const char* label;
  const char* hull;
  const char* variant;
  const char* modules;
  float cost, weight, speed, hitPoints, armour, shields;
};

class DesignTotals : public UnitDesignTest, public ::testing::WithParamInterface<TotalsCase> {};

TEST_P(DesignTotals, MatchHandComputedValues) {
  const TotalsCase& c = GetParam();
  SIM_UnitDesign& design = LoadText(DesignText("Totals", c.hull, c.variant, c.modules));
  EXPECT_FLOAT_EQ(design.cost, c.cost);
  EXPECT_FLOAT_EQ(design.weight, c.weight);
  EXPECT_FLOAT_EQ(design.speed, c.speed);
  EXPECT_FLOAT_EQ(design.hitPoints, c.hitPoints);
  EXPECT_FLOAT_EQ(design.armour, c.armour);
  EXPECT_FLOAT_EQ(design.shields, c.shields);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesignTotals,
    ::testing::Values(
        // Infantry pay a fifth for augmentations: 100 + 30 + 0.2 x 50.
        TotalsCase{"infantry_augmentation", "fx_infantry", "fx_infantry_default",
                   "0 = fx_gun,\n1 = fx_speed,\n", 140, 20, 0, 50, 0, 0},
        // Any supply module makes the design free.
        TotalsCase{"supply_is_free", "fx_tank", "fx_tank_a", "0 = fx_gun,\n1 = fx_supply,\n", 0, 120, 0, 400,
                   0, 0},
        // Thrust 200 / weight 100 = 2, +50%.
        TotalsCase{"speed_bonus", "fx_tank", "fx_tank_a", "1 = fx_engine,\n2 = fx_speed,\n", 270, 100, 3, 400,
                   0, 0},
        // A building's armour and shields get the defence bonus 1.5.
        TotalsCase{"building_armour", "fx_bunker", "fx_bunker_default", "1 = fx_plate,\n", 340, 70, 0, 1000,
                   150, 0},
        TotalsCase{"building_shield_and_armour", "fx_bunker", "fx_bunker_default",
                   "1 = fx_shield,\n2 = fx_plate,\n", 390, 75, 0, 1000, 150, 120},
        // A tank gets no defence bonus.
        TotalsCase{"tank_shield", "fx_tank", "fx_tank_a", "1 = fx_shield,\n", 250, 105, 0, 400, 0, 80},
        // The hit-point augmentation of this very design counts: 400 x 1.5.
        TotalsCase{"own_augmentation_factors", "fx_tank", "fx_tank_a", "2 = fx_tough,\n", 250, 100, 0, 600, 0,
                   0},
        // No modules, no engine: speed 0, never NaN.
        TotalsCase{"bare_hull", "fx_bunker", "fx_bunker_default", "", 300, 50, 0, 1000, 0, 0}),
    [](const ::testing::TestParamInfo<TotalsCase>& info) { return std::string(info.param.label); });

TEST_F(UnitDesignTest, OnlyTheHullsSlotsAreReadAndEmptySlotsAreWrittenEmpty) {
  SIM_UnitDesign& design =
      LoadText(DesignText("Gaps", "fx_tank", "fx_tank_a", "0 = fx_gun,\n2 = fx_speed,\n5 = fx_plate,\n"));
  ASSERT_EQ(design.modules.size(), 2u);
  EXPECT_EQ(design.modules[0].slot, 0);
  EXPECT_EQ(design.modules[1].slot, 2);
  EXPECT_EQ(design.CountModulesOfType("fx_plate"), 0);

  const std::string path = catalogue.Path("gaps.txt");
  ASSERT_TRUE(design.Save(path));
  EXPECT_NE(ReadText(path).find("\n[modules]\n0 = fx_gun,\n1 = \n2 = fx_speed,\n\n[layers]\n"),
            std::string::npos);
}

TEST_F(UnitDesignTest, LayerWithMissingComponentsReadsZeroAndOutOfRangeIsClamped) {
  SIM_UnitDesign& design = LoadText(DesignText(
      "Paint", "fx_tank", "fx_tank_a", "", "0 = tank_chassis,12,34\n1 = tank_chassis_color,999,-5,7,8\n"));
  ASSERT_EQ(design.layers.size(), 2u);
  EXPECT_EQ(std::vector<int>(design.layers[0].colour, design.layers[0].colour + 4),
            (std::vector<int>{12, 34, 0, 0}));
  EXPECT_EQ(std::vector<int>(design.layers[1].colour, design.layers[1].colour + 4),
            (std::vector<int>{255, 0, 7, 8}));
}

TEST_F(UnitDesignTest, AIDesignsCarryThePrefixAndSaveIt) {
  const std::string text = DesignText("Raider", "fx_tank", "fx_tank_a", "0 = fx_gun,\n");
  EXPECT_EQ(LoadText(text, true).name, "ai_Raider");
  EXPECT_EQ(LoadText(text, false).name, "Raider");
  const std::string path = catalogue.Path("ai.txt");
  ASSERT_TRUE(designs[0]->Save(path));
  EXPECT_NE(ReadText(path).find("name = ai_Raider \n"), std::string::npos);
}

TEST_F(UnitDesignTest, SetVariantResetsColoursOnlyWhenTheVariantChanges) {
  SIM_UnitDesign& design = LoadText(DesignText("Paint", "fx_tank", "fx_tank_a", "",
                                               "0 = tank_chassis,1,2,3,4\n1 = tank_chassis_color,5,6,7,8\n"));
  design.SetVariant(design.variant);
  EXPECT_EQ(design.layers[0].colour[0], 1);

  design.SetVariant(FindVariant("fx_tank_b"));
  ASSERT_EQ(design.layers.size(), 4u);
  const char* names[] = {"tank_chassis", "tank_chassis_color", "tank_turret", "tank_turret_color"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(design.layers[i].name, names[i]);
    for (int component : design.layers[i].colour) EXPECT_EQ(component, 255);
  }
  EXPECT_EQ(design.FindLayer("tank_turret", false), &design.layers[2]);
  EXPECT_EQ(design.FindLayer("missing", true), nullptr);
  EXPECT_NE(fixture::ErrorLog().find("failed to find missing"), std::string::npos);
}

TEST_F(UnitDesignTest, ModuleQueries) {
  SIM_UnitDesign& gunner =
      LoadText(DesignText("Gunner", "fx_tank", "fx_tank_a", "0 = fx_gun,\n2 = fx_speed,\n"));
  SIM_UnitDesign& mortar = LoadText(DesignText("Mortar", "fx_bunker", "fx_bunker_default",
                                               "0 = fx_mortar,\n1 = fx_plate,\n2 = fx_plate,\n"));
  SIM_ModuleTypeManager& types = SIM_ModuleTypeManager::Get();

  EXPECT_EQ(mortar.CountModulesOfClass("SIM_ArmorComponent"), 2);
  EXPECT_EQ(mortar.CountModulesOfType("fx_plate"), 2);
  EXPECT_EQ(gunner.CountModulesOfClass("SIM_ArmorComponent"), 0);
  EXPECT_TRUE(mortar.HasSplashDamage());
  EXPECT_FALSE(gunner.HasSplashDamage());
  EXPECT_TRUE(gunner.HasAugmentationLike(types.Find("fx_speed")));
  EXPECT_FALSE(gunner.HasAugmentationLike(types.Find("fx_tough")));
  EXPECT_FALSE(gunner.HasAugmentationLike(nullptr));
}

struct HostileDesign {
  const char* label;
  std::string text;
  const char* logged;
};

class HostileDesignFiles : public UnitDesignTest, public ::testing::WithParamInterface<HostileDesign> {};

TEST_P(HostileDesignFiles, AreRejectedWithALogLine) {
  const std::string path = catalogue.Path("hostile.txt");
  WriteText(path, GetParam().text);
  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  EXPECT_EQ(manager.AddAIDesignFromFile(path), nullptr);
  EXPECT_TRUE(manager.AIDesigns().empty());
  EXPECT_NE(fixture::ErrorLog().find(GetParam().logged), std::string::npos) << fixture::ErrorLog();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileDesignFiles,
    ::testing::Values(
        HostileDesign{"parent_path_name", DesignText("../../escape", "fx_tank", "fx_tank_a", ""),
                      "unusable name"},
        HostileDesign{"separator_name", DesignText("a/b", "fx_tank", "fx_tank_a", ""), "unusable name"},
        HostileDesign{"dot_dot_name", DesignText("..", "fx_tank", "fx_tank_a", ""), "unusable name"},
        HostileDesign{"oversize_name", DesignText(std::string(300, 'x'), "fx_tank", "fx_tank_a", ""),
                      "unusable name"},
        HostileDesign{"empty_name", DesignText("", "fx_tank", "fx_tank_a", ""), "unusable name"},
        HostileDesign{"unknown_hull", DesignText("X", "fx_nothing", "fx_tank_a", ""), "unknown hull"},
        HostileDesign{"unknown_variant", DesignText("X", "fx_tank", "fx_none", ""), "unknown variant"},
        HostileDesign{"variant_of_another_hull", DesignText("X", "fx_tank", "fx_bunker_default", ""),
                      "is not a variant of hull"},
        HostileDesign{"unknown_module", DesignText("X", "fx_tank", "fx_tank_a", "0 = fx_laser,\n"),
                      "unknown module type [fx_laser]"},
        HostileDesign{"no_config", "[modules]\n0 = fx_gun,\n", "no config section"}),
    [](const ::testing::TestParamInfo<HostileDesign>& info) { return std::string(info.param.label); });

// A design file cut off anywhere either is refused or loads with every module it
// names, known module types only and totals that are numbers.
TEST_F(UnitDesignTest, FileCutOffAnywhereIsRefusedOrLoadsSound) {
  const std::string full = kCanonical;
  const std::string path = catalogue.Path("cut.txt");
  int loaded = 0;
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    WriteText(path, full.substr(0, cut));
    SIM_UnitDesign design;
    if (!design.Load(path, true)) continue;
    ++loaded;
    ASSERT_NE(design.hull, nullptr);
    ASSERT_NE(design.variant, nullptr);
    for (const DesignModule& module : design.modules) ASSERT_NE(module.type, nullptr);
    for (float total :
         {design.cost, design.weight, design.speed, design.armour, design.shields, design.hitPoints})
      EXPECT_TRUE(std::isfinite(total));
  }
  EXPECT_GT(loaded, 0);
}

TEST_F(UnitDesignTest, OversizeLayerListIsCutWithALogLine) {
  std::string layers;
  for (int i = 0; i < 500; ++i) layers += std::to_string(i) + " = tank_chassis,1,2,3,4\n";
  SIM_UnitDesign& design = LoadText(DesignText("Many", "fx_tank", "fx_tank_a", "", layers));
  EXPECT_EQ(design.layers.size(), 64u);
  EXPECT_NE(fixture::ErrorLog().find("more than 64 colour layers"), std::string::npos);
}

TEST_F(UnitDesignTest, TextWithLineBreaksStaysOnItsLine) {
  SIM_UnitDesign& design = LoadText(DesignText("Notes", "fx_tank", "fx_tank_a", "0 = fx_gun,\n"));
  design.description = "first line\n[modules]\n0 = fx_plate,";
  const std::string path = catalogue.Path("notes.txt");
  ASSERT_TRUE(design.Save(path));
  SIM_UnitDesign reloaded;
  ASSERT_TRUE(reloaded.Load(path, false));
  ASSERT_EQ(reloaded.modules.size(), 1u);
  EXPECT_EQ(reloaded.modules[0].type->name, "fx_gun");
  EXPECT_EQ(reloaded.description, "first line [modules] 0 = fx_plate,");
}

TEST_F(UnitDesignTest, FailedSaveIsReportedAndLeavesTheOldFile) {
  SIM_UnitDesign& design = LoadText(DesignText("Keep", "fx_tank", "fx_tank_a", "0 = fx_gun,\n"));
  EXPECT_FALSE(design.Save(catalogue.Path("no/such/folder/keep.txt")));
  EXPECT_NE(fixture::ErrorLog().find("Failed to write unit design"), std::string::npos);

  // A folder where the file should be: the save fails and what was there survives.
  const std::string blocked = catalogue.Path("blocked.txt");
  std::filesystem::create_directories(blocked + "/inside");
  EXPECT_FALSE(design.Save(blocked));
  EXPECT_TRUE(std::filesystem::is_directory(blocked + "/inside"));
}

class DesignManagerTest : public UnitDesignTest {};

TEST_F(DesignManagerTest, LoadsSamplesThenPlayerDesignsSkippingBrokenOnes) {
  WriteText(catalogue.Path("data/sampleunits/a_raider.txt"),
            DesignText("Raider", "fx_tank", "fx_tank_a", "0 = fx_gun,\n"));
  WriteText(catalogue.Path("data/sampleunits/b_broken.txt"),
            DesignText("Broken", "fx_gone", "fx_tank_a", ""));
  WriteText(zt_test::UserRoot() + "/player_units/mine.txt",
            DesignText("Mine", "fx_infantry", "fx_infantry_default", "0 = fx_gun,\n"));

  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  ASSERT_EQ(manager.Designs().size(), 0u);  // loads on the first lookup
  ASSERT_NE(manager.FindDesign("Mine"), nullptr);
  ASSERT_EQ(manager.Designs().size(), 2u);
  EXPECT_EQ(manager.Designs()[0]->name, "Raider");
  EXPECT_EQ(manager.Designs()[1]->name, "Mine");
  EXPECT_TRUE(manager.HasPlayerDesigns());
  EXPECT_EQ(manager.FindDesign("Broken"), nullptr);
  EXPECT_EQ(manager.FindDesignByFile("data/sampleunits/a_raider.txt"), manager.Designs()[0].get());
  for (int i = 0; i < 20; ++i) EXPECT_NE(manager.GetRandomDesign(), nullptr);
  // The pick scales the engine's 0..32767 draw, never the C library's RAND_MAX: every
  // design comes up and none is picked from past the end of the list.
  EngineSrand(11);
  int picked[2] = {0, 0};
  for (int i = 0; i < 4000; ++i) {
    SIM_UnitDesign* d = manager.GetRandomDesign();
    ASSERT_NE(d, nullptr);
    ++picked[d == manager.Designs()[0].get() ? 0 : 1];
  }
  EXPECT_GT(picked[0], 1000);
  EXPECT_GT(picked[1], 1000);
}

TEST_F(DesignManagerTest, AIFolderAndTheDefenceOptionsItAllows) {
  const std::string folder = catalogue.Path("scen/ai_designs/");
  WriteText(folder + "1.txt", DesignText("Rifles", "fx_infantry", "fx_infantry_default", "0 = fx_gun,\n"));
  WriteText(folder + "2.txt", DesignText("Post", "fx_bunker", "fx_bunker_default", "1 = fx_command,\n"));
  WriteText(folder + "3.txt", DesignText("Bad", "fx_bunker", "fx_nope", ""));
  WriteText(folder + "4.txt", DesignText("Tank", "fx_tank", "fx_tank_a", "0 = fx_gun,\n"));

  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  manager.LoadAIFolder(folder + "*.txt");
  ASSERT_EQ(manager.AIDesigns().size(), 3u);
  EXPECT_NE(manager.FindAIDesign("ai_Post"), nullptr);
  EXPECT_EQ(manager.FindAIDesign("Post"), nullptr);

  struct Case {
    bool infantry, armed, unarmed, expected;
  };
  // Infantry and an unarmed building are here, no armed building; tanks never count.
  const Case cases[] = {{true, false, false, true},
                        {false, true, false, false},
                        {false, false, true, true},
                        {false, false, false, false},
                        {false, true, true, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(manager.HasAIDesignFor(c.infantry, c.armed, c.unarmed), c.expected)
        << c.infantry << c.armed << c.unarmed;
  }
  manager.ClearAIDesigns();
  EXPECT_TRUE(manager.AIDesigns().empty());
  EXPECT_FALSE(manager.HasAIDesignFor(true, true, true));
}

}  // namespace
