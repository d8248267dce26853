// Scenarios: the configuration, the grid with its routes, props and AI designs, writing
// the map back, path tiles, and scenario files from other players.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/SettingsFile.h"
#include "simdata/MapSquare.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/ScenarioFixtures.h"

namespace {

using fixture::CatalogueFolder;
using fixture::Numbers;
using fixture::ReadText;
using fixture::WriteText;

// A 4 x 3 map. Squares are numbered row x 4 + column:
//    0(A) -> 1 -> 2 -> 3(EXIT)
//    4(A) -> 5 -> {2, 10, 6}    6 defender emplacement, 7 defender support
//    8 defender turret, 9 bare,  10 -> 11(EXIT)
const char* kConfig =
    "[config]\n"
    "id = 17\nname = fx_ridge\nguiname = FX_RIDGE\ndescription = FX_RIDGE_DESC\n"
    "atmosphere = SNOWING\ndust = DUST_SNOW\ntexture = snow_ground\nmusic = march.ogg\n"
    "ambient_sound = wind.ogg\ntimeofday = dusk\nuistyle = winter\nshadowmap = ridge_shadow.dds\n"
    "using_lightmap = 1\nlightmap_color = 200,180,160,255\ndefence_budget = 1500\nattack_budget = 2500\n"
    "maxcols = 4\nmaxrows = 3\nmapiconx = 0.5\nmapicony = 0.25\n"
    "default_attacker_angle = 90\ndefault_defender_angle = 270\n"
    "mode_classic_attack = 1\nmode_classic_defend = 0\nunlocklinks = fx_next,fx_other\n"
    "classic_suppliespersecond_attack_start = 20\nclassic_suppliespersecond_attack_end = 30\n"
    "classic_suppliespersecond_start = 10\nclassic_suppliespersecond_end = 15\nclassic_suppliescap = 3000\n"
    "classic_startingsupplies_attacker = 1200\nclassic_startingsupplies_defender = 900\n"
    "classic_timelimit = 240000\nclassic_hpleftlimit = 0.25\n"
    "attacker_difficulty_adjuster = 1.5\ndefender_difficulty_adjuster = 7\n\n";

const char* kMap =
    "[map]\n"
    "0-0 = 0,\"1,\",1,0,,,,\n"
    "0-1 = 1,\"2,\",0,0,,,,\n"
    "0-2 = 2,\"3,\",0,0,,,,\n"
    "0-3 = 3,\"\",0,0,,,,EXIT\n"
    "1-0 = 4,\"5,\",1,0,,,,\n"
    "1-1 = 5,\"2,10,6,\",0,0,,,,\n"
    "1-2 = 6,\"\",0,1,,\"fx_emp,90\",EMPLACEMENT,\n"
    "1-3 = 7,\"\",0,1,,,SUPPORT,\n"
    "2-0 = 8,\"\",0,1,,,,\n"
    "2-1 = 9,\"\",0,0,,,,\n"
    "2-2 = 10,\"11,\",0,0,,,,\n"
    "2-3 = 11,\"\",0,0,,,,EXIT\n\n";

const char* kProps =
    "[prop_fx_rock]\n0 = 100,150,100,100,-90\n1 = 300,350,120,120,725\n\n"
    "[prop_fx_tree]\n0 = 500,50,60,60,360\n\n"
    "[prop_fx_missing]\n0 = 1,2,3,4,5\n\n";

class ScenarioTest : public ::testing::Test {
 protected:
  std::string WriteScenario(const std::string& folder, const std::string& text) {
    const std::string path = catalogue.Path(folder + "/scenario.txt");
    WriteText(path, text);
    return path;
  }
  // Loads config and map; fails the test when either does not load.
  SIM_Scenario& Loaded(const std::string& text) {
    scenarios.push_back(std::make_unique<SIM_Scenario>());
    SIM_Scenario& scenario = *scenarios.back();
    EXPECT_TRUE(scenario.Load(WriteScenario("s" + std::to_string(scenarios.size()), text)));
    EXPECT_TRUE(scenario.LoadMap());
    return scenario;
  }

  CatalogueFolder catalogue;
  std::vector<std::unique_ptr<SIM_Scenario>> scenarios;
};

TEST_F(ScenarioTest, FixtureLoadsConfigGridLinksPropsAndAIDesigns) {
  const std::string path = WriteScenario("data/scenarios/fx_ridge", std::string(kConfig) + kMap + kProps);
  WriteText(
      catalogue.Path("data/scenarios/fx_ridge/ai_designs/rifles.txt"),
      "[config]\nname = Rifles\nhull = fx_infantry\nvariant = fx_infantry_default\n[modules]\n0 = fx_gun,\n");
  WriteText(catalogue.Path("data/scenarios/fx_ridge/ai_designs/post.txt"),
            "[config]\nname = Post\nhull = fx_bunker\nvariant = fx_bunker_default\n[modules]\n0 = fx_gun,\n");

  SIM_Scenario scenario;
  ASSERT_TRUE(scenario.Load(path));
  EXPECT_EQ(scenario.name, "fx_ridge");
  EXPECT_EQ(scenario.id, "17");
  EXPECT_EQ(scenario.groundTexture, "snow_ground");
  EXPECT_EQ(scenario.music, "march.ogg");
  EXPECT_EQ(scenario.ambientSound, "wind.ogg");
  EXPECT_EQ(scenario.shadowMap, "ridge_shadow.dds");
  EXPECT_EQ(scenario.atmosphere, SIM_Scenario::ATMOSPHERE_SNOWING);
  EXPECT_EQ(scenario.dust, SIM_Scenario::DUST_SNOW);
  EXPECT_TRUE(scenario.usingLightMap);
  EXPECT_EQ(std::vector<int>(scenario.lightMapColour, scenario.lightMapColour + 4),
            (std::vector<int>{200, 180, 160, 255}));
  EXPECT_EQ(scenario.defenceBudget, 1500);
  EXPECT_EQ(scenario.attackBudget, 2500);
  EXPECT_FLOAT_EQ(scenario.width, 800.0f);
  EXPECT_FLOAT_EQ(scenario.height, 600.0f);
  EXPECT_FLOAT_EQ(scenario.mapIconX, 0.5f);
  EXPECT_FLOAT_EQ(scenario.mapIconY, 0.25f);
  EXPECT_FLOAT_EQ(scenario.defaultAttackerAngle, 90.0f);
  EXPECT_TRUE(scenario.classicAttackAllowed);
  EXPECT_FALSE(scenario.classicDefenceAllowed);
  EXPECT_EQ(scenario.unlockLinks, (std::vector<std::string>{"fx_next", "fx_other"}));
  EXPECT_EQ(scenario.unlockable.GetName(), "fx_ridge");
  EXPECT_EQ(scenario.unlockable.GetIcon(), "snow_ground");
  const ClassicModeValues& c = scenario.classic;
  EXPECT_FLOAT_EQ(c.attackSuppliesPerSecondStart, 20.0f);
  EXPECT_FLOAT_EQ(c.attackSuppliesPerSecondEnd, 30.0f);
  EXPECT_FLOAT_EQ(c.suppliesPerSecondStart, 10.0f);
  EXPECT_FLOAT_EQ(c.suppliesPerSecondEnd, 15.0f);
  EXPECT_FLOAT_EQ(c.suppliesCap, 3000.0f);
  EXPECT_FLOAT_EQ(c.startingSuppliesAttacker, 1200.0f);
  EXPECT_FLOAT_EQ(c.startingSuppliesDefender, 900.0f);
  EXPECT_FLOAT_EQ(c.timeLimit, 240000.0f);
  EXPECT_FLOAT_EQ(c.hpLeftLimit, 0.25f);
  EXPECT_FLOAT_EQ(c.attackerDifficultyAdjuster, 1.5f);
  EXPECT_FLOAT_EQ(c.defenderDifficultyAdjuster, 4.0f);

  ASSERT_TRUE(scenario.LoadMap());
  ASSERT_EQ(scenario.grid.size(), 12u);
  EXPECT_EQ(Numbers(scenario.routeStartSquares), (std::vector<int>{0, 1, 2, 4, 5, 10}));
  EXPECT_EQ(Numbers(scenario.attackerSquares), (std::vector<int>{0, 4}));
  EXPECT_EQ(Numbers(scenario.defenderSquares), (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(Numbers(scenario.exitSquares), (std::vector<int>{3, 11}));
  EXPECT_TRUE(scenario.hasSupportSquares);
  EXPECT_EQ(scenario.GetSquare(1, 1)->links, (std::vector<int>{2, 10, 6}));
  EXPECT_EQ(scenario.GetSquare(2, 1)->object, "fx_emp");
  EXPECT_FLOAT_EQ(scenario.GetSquare(2, 1)->angle, 90.0f);
  // Fewest link steps to an exit; squares off the routes keep -1.
  const std::map<int, int> routeLengths = {{0, 3},  {1, 2},  {2, 1},  {4, 3}, {5, 2},
                                           {10, 1}, {3, -1}, {6, -1}, {9, -1}};
  for (const auto& [number, length] : routeLengths) {
    EXPECT_EQ(scenario.GetSquareByNumber(number)->routeLength, length) << "square " << number;
  }

  scenario.LoadProps();
  ASSERT_EQ(scenario.placedProps.size(), 3u);
  const float angles[] = {270.0f, 365.0f, 0.0f};  // one correction only
  const char* types[] = {"fx_rock", "fx_rock", "fx_tree"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(scenario.placedProps[i]->type->name, types[i]);
    EXPECT_FLOAT_EQ(scenario.placedProps[i]->angle, angles[i]);
  }
  EXPECT_FLOAT_EQ(scenario.placedProps[1]->x, 300.0f);
  EXPECT_FLOAT_EQ(scenario.placedProps[1]->width, 120.0f);
  EXPECT_NE(fixture::ErrorLog().find("unknown prop type [fx_missing]"), std::string::npos);
  scenario.LoadProps();  // already loaded: unchanged
  EXPECT_EQ(scenario.placedProps.size(), 3u);

  scenario.LoadAIDesigns();
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  ASSERT_EQ(designs.AIDesigns().size(), 2u);
  EXPECT_NE(designs.FindAIDesign("ai_Rifles"), nullptr);
  EXPECT_NE(designs.FindAIDesign("ai_Post"), nullptr);
  EXPECT_TRUE(designs.HasAIDesignFor(false, true, false));
  scenario.LoadAIDesigns();  // cleared first, not doubled
  EXPECT_EQ(designs.AIDesigns().size(), 2u);
}

struct ConfigCase {
  const char* label;
  const char* key;
  const char* value;  // nullptr: key left out
  std::function<float(const SIM_Scenario&)> read;
  float expected;
};

class ScenarioConfigValues : public ScenarioTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ScenarioConfigValues, AreMappedAndClamped) {
  const ConfigCase& c = GetParam();
  std::string config = "[config]\nname = fx\nmaxcols = 10\nmaxrows = 8\n";
  if (c.value) config += std::string(c.key) + " = " + c.value + "\n";
  SIM_Scenario scenario;
  ASSERT_TRUE(scenario.Load(WriteScenario("cfg", config)));
  EXPECT_FLOAT_EQ(c.read(scenario), c.expected);
}

float Attacker(const SIM_Scenario& s) { return s.classic.attackerDifficultyAdjuster; }
float Defender(const SIM_Scenario& s) { return s.classic.defenderDifficultyAdjuster; }
float AtmosphereOf(const SIM_Scenario& s) { return static_cast<float>(s.atmosphere); }
float DustOf(const SIM_Scenario& s) { return static_cast<float>(s.dust); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ScenarioConfigValues,
    ::testing::Values(ConfigCase{"adjuster_missing", "attacker_difficulty_adjuster", nullptr, Attacker, 0.1f},
                      ConfigCase{"adjuster_high", "attacker_difficulty_adjuster", "7", Attacker, 4.0f},
                      ConfigCase{"adjuster_kept", "attacker_difficulty_adjuster", "1.5", Attacker, 1.5f},
                      ConfigCase{"adjuster_negative", "defender_difficulty_adjuster", "-2", Defender, 0.1f},
                      ConfigCase{"adjuster_nan", "defender_difficulty_adjuster", "nan", Defender, 0.1f},
                      ConfigCase{"adjuster_inf", "defender_difficulty_adjuster", "inf", Defender, 4.0f},
                      ConfigCase{"desert", "atmosphere", "DESERT", AtmosphereOf, 1.0f},
                      ConfigCase{"desert_lower_case", "atmosphere", "desert", AtmosphereOf, 0.0f},
                      ConfigCase{"snowing", "atmosphere", "SNOWING", AtmosphereOf, 2.0f},
                      ConfigCase{"dust_sand", "dust", "DUST_SAND", DustOf, 2.0f},
                      ConfigCase{"dust_snow", "dust", "DUST_SNOW", DustOf, 1.0f},
                      ConfigCase{"dust_other", "dust", "SAND", DustOf, 0.0f},
                      ConfigCase{"size", "maxcols", nullptr,
                                 [](const SIM_Scenario& s) { return s.width + s.height; }, 3600.0f}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.label); });

TEST_F(ScenarioTest, GridLookupsStayInsideTheMap) {
  SIM_Scenario& scenario = Loaded(std::string(kConfig) + kMap);
  struct Case {
    float x, y;
    int column, row;
  };
  const Case cases[] = {
      {-50, 99999, 0, 2}, {250, 150, 1, 0}, {799.9f, 599.9f, 3, 2}, {NAN, 250, 0, 1}, {1e30f, -1e30f, 3, 0}};
  for (const Case& c : cases) {
    const SIM_MapSquare* square = scenario.GetSquareAt(c.x, c.y);
    ASSERT_NE(square, nullptr);
    EXPECT_EQ(square->column, c.column) << c.x << "," << c.y;
    EXPECT_EQ(square->row, c.row) << c.x << "," << c.y;
  }
  EXPECT_EQ(scenario.GetSquare(4, 0), nullptr);
  EXPECT_EQ(scenario.GetSquare(0, 3), nullptr);
  EXPECT_EQ(scenario.GetSquare(-1, 0), nullptr);
  EXPECT_EQ(scenario.GetSquare(3, 2)->number, 11);
  EXPECT_EQ(scenario.GetSquareByNumber(12), nullptr);
  EXPECT_EQ(scenario.GetSquareByNumber(-1), nullptr);

  SIM_Scenario empty;
  EXPECT_EQ(empty.GetSquareAt(10, 10), nullptr);
}

TEST_F(ScenarioTest, LinksCountBothWaysButNeverIntoDefenderSquares) {
  SIM_Scenario& scenario = Loaded(std::string(kConfig) + kMap);
  auto sq = [&](int n) { return scenario.GetSquareByNumber(n); };
  EXPECT_TRUE(scenario.AreLinked(sq(0), sq(1)));
  EXPECT_TRUE(scenario.AreLinked(sq(1), sq(0)));
  EXPECT_FALSE(scenario.AreLinked(sq(0), sq(2)));
  EXPECT_FALSE(scenario.AreLinked(sq(5), sq(6)));  // 5 links to 6, but 6 defends
  EXPECT_FALSE(scenario.AreLinked(sq(0), nullptr));
}

struct TileCase {
  const char* label;
  bool above, below, left, right;
  const char* tile;
  float angle;
};

class PathTiles : public ScenarioTest, public ::testing::WithParamInterface<TileCase> {};

TEST_P(PathTiles, FollowTheLinkedNeighbours) {
  const TileCase& c = GetParam();
  // A 3 x 3 map whose centre (4) links to the chosen neighbours.
  std::string links;
  if (c.above) links += "1,";
  if (c.below) links += "7,";
  if (c.left) links += "3,";
  if (c.right) links += "5,";
  std::string text = "[config]\nname = tiles\nmaxcols = 3\nmaxrows = 3\n\n[map]\n";
  for (int n = 0; n < 9; ++n) {
    const std::string square =
        n == 4 ? "4,\"" + links + "\",0,0,,\"keep,45\",EMPLACEMENT," : std::to_string(n) + ",\"\",0,0,,,,";
    text += std::to_string(n / 3) + "-" + std::to_string(n % 3) + " = " + square + "\n";
  }
  SIM_Scenario& scenario = Loaded(text);
  for (bool rocky : {false, true}) {
    ASSERT_TRUE(scenario.LoadMap());
    scenario.BuildPathTiles(rocky);
    const SIM_MapSquare* centre = scenario.GetSquare(1, 1);
    if (!c.tile) {
      EXPECT_EQ(centre->object, "keep");
      EXPECT_FLOAT_EQ(centre->angle, 45.0f);
      EXPECT_EQ(centre->kind, SIM_MapSquare::KIND_EMPLACEMENT);
      continue;
    }
    EXPECT_EQ(centre->object, (rocky ? "rocky_" : "") + std::string(c.tile));
    EXPECT_FLOAT_EQ(centre->angle, c.angle);
    EXPECT_EQ(centre->kind, SIM_MapSquare::KIND_OTHER);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllSixteen, PathTiles,
    ::testing::Values(
        TileCase{"none", 0, 0, 0, 0, nullptr, 0}, TileCase{"left", 0, 0, 1, 0, "path_fade", 0},
        TileCase{"above", 1, 0, 0, 0, "path_fade", 90}, TileCase{"right", 0, 0, 0, 1, "path_fade", 180},
        TileCase{"below", 0, 1, 0, 0, "path_fade", 270}, TileCase{"left_right", 0, 0, 1, 1, "pathlr", 0},
        TileCase{"above_below", 1, 1, 0, 0, "pathlr", 270}, TileCase{"below_left", 0, 1, 1, 0, "pathcnr", 0},
        TileCase{"above_left", 1, 0, 1, 0, "pathcnr", 90},
        TileCase{"above_right", 1, 0, 0, 1, "pathcnr", 180},
        TileCase{"below_right", 0, 1, 0, 1, "pathcnr", 270},
        TileCase{"all_but_right", 1, 1, 1, 0, "patht", 0}, TileCase{"all_but_below", 1, 0, 1, 1, "patht", 90},
        TileCase{"all_but_left", 1, 1, 0, 1, "patht", 180},
        TileCase{"all_but_above", 0, 1, 1, 1, "patht", 270},
        TileCase{"all_four", 1, 1, 1, 1, "path_cross", 0}),
    [](const ::testing::TestParamInfo<TileCase>& info) { return std::string(info.param.label); });

TEST_F(ScenarioTest, WriteMapRoundTripsGridPropsAndComposition) {
  SIM_Scenario& original = Loaded(std::string(kConfig) + kMap + kProps);
  original.LoadProps();
  original.SetGuiName("FX_RIDGE_RENAMED");
  const std::string copyPath = catalogue.Path("copy/scenario.ini");
  WriteText(copyPath, "stale text that must be replaced\n");
  ASSERT_TRUE(original.WriteMap(copyPath));

  SettingsFile config;
  config.LoadSection(copyPath, "config");
  EXPECT_EQ(config.GetString("composition_emplace"), "1");
  EXPECT_EQ(config.GetString("composition_support"), "1");
  EXPECT_EQ(config.GetString("composition_turret"), "1");  // square 8 defends without a kind
  EXPECT_EQ(config.GetString("guiname"), "FX_RIDGE_RENAMED");

  SIM_Scenario copy;
  ASSERT_TRUE(copy.Load(copyPath));
  ASSERT_TRUE(copy.LoadMap());
  copy.LoadProps();
  EXPECT_EQ(copy.guiName, "FX_RIDGE_RENAMED");
  EXPECT_EQ(copy.classic.timeLimit, original.classic.timeLimit);
  ASSERT_EQ(copy.grid.size(), original.grid.size());
  for (size_t i = 0; i < copy.grid.size(); ++i) EXPECT_EQ(copy.grid[i]->ToLine(), original.grid[i]->ToLine());
  ASSERT_EQ(copy.placedProps.size(), original.placedProps.size());
  for (size_t i = 0; i < copy.placedProps.size(); ++i) {
    EXPECT_EQ(copy.placedProps[i]->type, original.placedProps[i]->type);
    EXPECT_FLOAT_EQ(copy.placedProps[i]->x, original.placedProps[i]->x);
    // 365 is written as is and corrected once more on the next read.
    EXPECT_FLOAT_EQ(copy.placedProps[i]->angle, std::fmod(original.placedProps[i]->angle, 360.0f));
  }

  // Written twice, the file is stable.
  const std::string again = catalogue.Path("copy/again.ini");
  ASSERT_TRUE(copy.WriteMap(again));
  SIM_Scenario third;
  ASSERT_TRUE(third.Load(again));
  ASSERT_TRUE(third.LoadMap());
  third.LoadProps();
  const std::string last = catalogue.Path("copy/last.ini");
  ASSERT_TRUE(third.WriteMap(last));
  EXPECT_EQ(ReadText(last), ReadText(again));
}

// The map designer's renderer stands in as a recording generator.
struct ShadowCase {
  const char* label;
  const char* shadowmap;
  const char* generated;  // what the generator returns; null: no generator installed
  bool calls;             // the generator is asked
  const char* afterLoad;  // the scenario's shadow map afterwards
  bool rewritten;         // the scenario file now names the picture
};

std::vector<std::string> g_shadowFolders;
const char* g_shadowAnswer = "";
size_t g_propsSeen = 0;
std::string RecordShadow(SIM_Scenario& scenario, const std::string& folder) {
  g_shadowFolders.push_back(folder);
  g_propsSeen = scenario.placedProps.size();
  return g_shadowAnswer;
}

class ProceduralShadowMaps : public ScenarioTest, public ::testing::WithParamInterface<ShadowCase> {};

TEST_P(ProceduralShadowMaps, AreMadeNamedAndWrittenBackOnce) {
  const ShadowCase& c = GetParam();
  g_shadowFolders.clear();
  g_propsSeen = 0;
  if (c.generated) {
    g_shadowAnswer = c.generated;
    SIM_Scenario::SetShadowMapGenerator(RecordShadow);
  }
  std::string text = std::string(kConfig) + kMap + "[prop_fx_rock]\n0 = 100,150,100,100,0\n\n";
  const size_t at = text.find("shadowmap = ridge_shadow.dds");
  text.replace(at, std::string("shadowmap = ridge_shadow.dds").size(),
               std::string("shadowmap = ") + c.shadowmap);
  const std::string path = WriteScenario("shadow", text);

  SIM_Scenario scenario;
  ASSERT_TRUE(scenario.Load(path));
  ASSERT_TRUE(scenario.LoadMap());
  EXPECT_EQ(scenario.shadowMap, c.afterLoad);
  ASSERT_EQ(g_shadowFolders.size(), c.calls ? 1u : 0u);
  if (c.calls) {
    EXPECT_EQ(g_shadowFolders[0], scenario.Folder() + "/bitmaps");
    EXPECT_EQ(g_propsSeen, 1u) << "the props cast the shadow, so they load first";
  }
  if (!c.rewritten) {
    EXPECT_EQ(ReadText(path), text);
    return;
  }
  // The next load finds the named picture and makes nothing.
  SIM_Scenario again;
  ASSERT_TRUE(again.Load(path));
  ASSERT_TRUE(again.LoadMap());
  EXPECT_EQ(again.shadowMap, c.afterLoad);
  EXPECT_EQ(g_shadowFolders.size(), 1u);
  EXPECT_EQ(again.grid.size(), scenario.grid.size());
  again.LoadProps();
  EXPECT_EQ(again.placedProps.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProceduralShadowMaps,
    ::testing::Values(
        ShadowCase{"made_and_named", "procedural", "fx_ridge_shadow.dds", true, "fx_ridge_shadow.dds", true},
        ShadowCase{"keyword_is_lower_case_only", "Procedural", "fx_ridge_shadow.dds", false, "Procedural",
                   false},
        ShadowCase{"no_renderer", "procedural", nullptr, false, "procedural", false},
        ShadowCase{"renderer_failed", "procedural", "", true, "procedural", false},
        ShadowCase{"unsafe_name_ignored", "procedural", "../../x.dds", true, "procedural", false}),
    [](const ::testing::TestParamInfo<ShadowCase>& info) { return std::string(info.param.label); });

TEST_F(ScenarioTest, WriteMapWithoutALoadedGridKeepsTheFile) {
  const std::string path = WriteScenario("keep", std::string(kConfig) + kMap);
  SIM_Scenario scenario;
  ASSERT_TRUE(scenario.Load(path));
  const std::string before = ReadText(path);
  EXPECT_FALSE(scenario.WriteMap(path));
  EXPECT_EQ(ReadText(path), before);
}

struct HostileScenario {
  const char* label;
  std::string text;
  bool loads;     // the config is accepted
  bool mapLoads;  // the map is accepted (when the config is)
  const char* logged;
};

class HostileScenarioFiles : public ScenarioTest, public ::testing::WithParamInterface<HostileScenario> {};

TEST_P(HostileScenarioFiles, AreRejectedOrCleanedWithALogLine) {
  const HostileScenario& c = GetParam();
  SIM_Scenario scenario;
  const bool loaded = scenario.Load(WriteScenario("hostile", c.text));
  EXPECT_EQ(loaded, c.loads);
  if (loaded) {
    EXPECT_EQ(scenario.LoadMap(), c.mapLoads);
    scenario.LoadProps();
    if (!c.mapLoads) {
      EXPECT_TRUE(scenario.grid.empty());
    }
    for (const auto& square : scenario.grid) {
      for (int link : square->links) {
        EXPECT_NE(scenario.GetSquareByNumber(link), nullptr);
      }
    }
  }
  EXPECT_NE(fixture::ErrorLog().find(c.logged), std::string::npos) << fixture::ErrorLog();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string ManyProps(int count) {
  std::string text = "[prop_fx_rock]\n";
  for (int i = 0; i < count; ++i) text += std::to_string(i) + " = 10,10,10,10,0\n";
  return text;
}

const std::string kGood = std::string(kConfig) + kMap;

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileScenarioFiles,
    ::testing::Values(
        HostileScenario{"parent_path_name", Replace(kGood, "name = fx_ridge", "name = ../../escape"), false,
                        false, "unusable name"},
        HostileScenario{"dot_dot_name", Replace(kGood, "name = fx_ridge", "name = .."), false, false,
                        "unusable name"},
        HostileScenario{"parent_path_id", Replace(kGood, "id = 17", "id = ../../../deployments"), false,
                        false, "unusable id"},
        HostileScenario{"oversize_grid",
                        Replace(kGood, "maxcols = 4\nmaxrows = 3", "maxcols = 30\nmaxrows = 30"), false,
                        false, "outside 1..400"},
        HostileScenario{
            "overflowing_grid",
            Replace(kGood, "maxcols = 4\nmaxrows = 3", "maxcols = 2000000000\nmaxrows = 2000000000"), false,
            false, "outside 1..400"},
        HostileScenario{"empty_grid", Replace(kGood, "maxcols = 4", "maxcols = 0"), false, false,
                        "outside 1..400"},
        HostileScenario{"texture_path",
                        Replace(kGood, "texture = snow_ground", "texture = ../../../etc/passwd"), true, true,
                        "texture [../../../etc/passwd] is not a plain file name"},
        HostileScenario{"shadow_map_path",
                        Replace(kGood, "shadowmap = ridge_shadow.dds", "shadowmap = /tmp/x.dds"), true, true,
                        "shadowmap [/tmp/x.dds] is not a plain file name"},
        HostileScenario{"link_out_of_range", Replace(kGood, "0-0 = 0,\"1,\"", "0-0 = 0,\"1,399,-7,\""), true,
                        true, "links outside the map"},
        HostileScenario{"dead_end_route", Replace(kGood, "2-2 = 10,\"11,\"", "2-2 = 10,\"9,\""), true, true,
                        "square 2-2 has no route to an exit"},
        HostileScenario{"square_number_mismatch", Replace(kGood, "0-1 = 1,", "0-1 = 300,"), true, false,
                        "has number 300, expected 1"},
        HostileScenario{"missing_square", Replace(kGood, "2-3 = 11,\"\",0,0,,,,EXIT\n", ""), true, false,
                        "map square 2-3 missing"},
        HostileScenario{
            "ambient_outside_data",
            Replace(kGood, "ambient_sound = wind.ogg", "ambient_sound = data/../../../home/x.ogg"), true,
            true, "ambient_sound [data/../../../home/x.ogg] is not a data file name"},
        HostileScenario{"ambient_absolute",
                        Replace(kGood, "ambient_sound = wind.ogg", "ambient_sound = /etc/x.ogg"), true, true,
                        "ambient_sound [/etc/x.ogg] is not a data file name"},
        HostileScenario{"time_limit_not_finite",
                        Replace(kGood, "classic_timelimit = 240000", "classic_timelimit = nan"), true, true,
                        "classic_timelimit is not a finite number"},
        HostileScenario{"object_path", Replace(kGood, "fx_emp,90", "../../evil,90"), true, true,
                        "object [../../evil] ignored"},
        HostileScenario{"prop_not_a_number", kGood + "[prop_fx_rock]\n0 = nan,1,1,1,1\n", true, true,
                        "is not a number"},
        HostileScenario{"oversize_prop_count", kGood + ManyProps(4100), true, true, "more than 4000 props"}),
    [](const ::testing::TestParamInfo<HostileScenario>& info) { return std::string(info.param.label); });

// A download cut off anywhere: the scenario is refused or loads whole, never half a
// grid, and nothing reads outside it.
TEST_F(ScenarioTest, FileCutOffAnywhereLoadsWholeOrNotAtAll) {
  const std::string full = std::string(kConfig) + kMap + "[prop_fx_rock]\n0 = 100,150,100,100,-90\n";
  int loadedMaps = 0;
  for (size_t cut = 0; cut <= full.size(); cut += 3) {
    SCOPED_TRACE(cut);
    SIM_Scenario scenario;
    if (!scenario.Load(WriteScenario("cut", full.substr(0, cut)))) continue;
    if (!scenario.LoadMap()) {
      EXPECT_TRUE(scenario.grid.empty());
      continue;
    }
    ++loadedMaps;
    ASSERT_EQ(scenario.grid.size(), static_cast<size_t>(scenario.maxCols * scenario.maxRows));
    for (const auto& square : scenario.grid)
      for (int link : square->links) EXPECT_NE(scenario.GetSquareByNumber(link), nullptr);
    scenario.LoadProps();
    for (const auto& prop : scenario.placedProps) {
      EXPECT_GE(prop->angle, 0.0f);
      EXPECT_LT(prop->angle, 360.0f);
    }
  }
  // Only cuts after the last square keep the map.
  EXPECT_GT(loadedMaps, 0);
  EXPECT_LT(loadedMaps, 20);
}

TEST_F(ScenarioTest, SoundsMayBeNamedByTheirPathInTheDataFolder) {
  SIM_Scenario scenario;
  ASSERT_TRUE(
      scenario.Load(WriteScenario("sound", Replace(kGood, "ambient_sound = wind.ogg",
                                                   "ambient_sound = data/sounds/ambience/wind_plains.ogg"))));
  EXPECT_EQ(scenario.ambientSound, "data/sounds/ambience/wind_plains.ogg");
}

TEST_F(ScenarioTest, MissingFileIsReportedNotFatal) {
  SIM_Scenario scenario;
  EXPECT_FALSE(scenario.Load(catalogue.Path("nowhere/scenario.txt")));
  EXPECT_NE(fixture::ErrorLog().find("Missing scenario file"), std::string::npos);
}

TEST_F(ScenarioTest, ManagerLoadsTheCampaignOnceAndAddsScenarios) {
  WriteScenario("data/scenarios/a_ridge", kGood);
  WriteScenario("data/scenarios/b_broken", Replace(kGood, "maxcols = 4", "maxcols = 900"));
  WriteText(catalogue.Path("data/scenarios/c_empty/readme.txt"), "no scenario here\n");
  const std::string added =
      WriteScenario("user/custom", Replace(kGood, "name = fx_ridge", "name = fx_custom"));

  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  SIM_Scenario* ridge = manager.Find("fx_ridge");
  ASSERT_NE(ridge, nullptr);
  EXPECT_EQ(ridge->origin, SIM_Scenario::ORIGIN_CAMPAIGN);
  EXPECT_EQ(manager.Campaign().size(), 1u);

  SIM_Scenario* custom = manager.AddScenario(added);
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->origin, SIM_Scenario::ORIGIN_ADDED);
  EXPECT_EQ(manager.Find("fx_custom"), custom);
  EXPECT_EQ(manager.AddScenario(catalogue.Path("user/none/scenario.ini")), nullptr);
  manager.Load();  // already loaded: nothing doubles
  EXPECT_EQ(manager.All().size(), 2u);

  EXPECT_EQ(manager.Find("no_such_scenario"), nullptr);
  EXPECT_NE(fixture::ErrorLog().find("Failed to find scenario [no_such_scenario]"), std::string::npos);
}

}  // namespace
