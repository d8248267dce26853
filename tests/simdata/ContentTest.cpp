// The shipped catalogue: everything loads without a reported problem, every name it
// refers to exists with its exact case in the assembled data folder, and the numbers
// keep the promises the game relies on (no weapon that can never fire or never hit).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "SimdataTestSupport.h"
#include "engine/SettingsFile.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "simdata/Unlockable.h"

namespace {
using namespace simdata_test;
namespace fs = std::filesystem;

const std::set<std::string> kClasses = {
    "SIM_KineticWeaponComponent", "SIM_EngineComponent",          "SIM_ArmorComponent",
    "SIM_BeamLaserComponent",     "SIM_MissileLauncherComponent", "SIM_HospitalComponent",
    "SIM_RepairComponent",        "SIM_CommandComponent",         "SIM_SupplyComponent",
    "SIM_FlamethrowerComponent",  "SIM_ShieldComponent",          "SIM_VariableComponent"};
const std::set<std::string> kSlotTypes = {"WEAPON",  "DEFENSE",     "PROPULSION", "TARGETING",
                                          "LOADER",  "HOSPITAL",    "REPAIRYARD", "SUPPLIES",
                                          "COMMAND", "AUGMENTATION"};
const std::set<std::string> kUnitVariables = {
    "UVT_WPN_LOADING_SPEED", "UVT_WPN_ACCURACY",   "UVT_WPN_RANGEBONUS",  "UVT_WPN_DMG_BONUS",
    "UVT_SPEED_BONUS",       "UVT_EFF_VS_ARMOR",   "UVT_EFF_VS_SHLD",     "UVT_EFF_VS_INTERN",
    "UVT_AOA_RADIUS",        "UVT_AMMO_STORAGE",   "UVT_AMMO_RELOAD_SPD", "UVT_MIN_RANGE_RED",
    "UVT_HITPOINTS",         "UVT_SHIELDSTRENGTH", "UVT_ARMORSTRENGTH"};
// The hull classes, in the order the divisions picker groups them; the battle, the
// designer and the deployment charges all key on these exact names.
const char* const kSizes[] = {"LIGHTTANK", "MEDIUMTANK", "HEAVYTANK",   "LIGHTMECH",    "MEDIUMMECH",
                              "HEAVYMECH", "INFANTRY",   "SMALLTURRET", "MEDIUMTURRET", "LARGETURRET"};

class ContentTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    for (const auto& entry : fs::recursive_directory_iterator("data/bitmaps"))
      if (entry.is_regular_file()) textures.insert(entry.path().filename().string());
    SIM_ModuleTypeManager::Get().Load();
    SIM_UnitHullManager::Get().Load();
  }
  bool HasTexture(const std::string& name) const { return textures.count(name) > 0; }

  std::set<std::string> textures;
};

TEST_F(ContentTest, EveryCatalogueLoadsWithoutAProblem) {
  EXPECT_GT(SIM_ModuleTypeManager::Get().Count(), 0u);
  EXPECT_FALSE(SIM_UnitHullManager::Get().All().empty());
  EXPECT_FALSE(SIM_PropTypeManager::Get().All().empty());
  EXPECT_FALSE(SIM_EmplacementManager::Get().All().empty());
  EXPECT_FALSE(SIM_GroundTextureManager::Get().All().empty());
  SIM_UnlocksManager::Get().Load();
  EXPECT_FALSE(SIM_UnlocksManager::Get().Choices().empty());
  EXPECT_EQ(DataProblemCount(), 0) << LastDataProblem();
  EXPECT_EQ(DebugLogText().find("Failed to find"), std::string::npos) << DebugLogText();
}

TEST_F(ContentTest, ModuleTypesAreCompleteAndUsable) {
  std::set<std::string> classesSeen;
  std::map<std::string, std::set<std::string>> slotsPerSize;  // size -> slot types available
  for (const auto& owned : SIM_ModuleTypeManager::Get().All()) {
    SIM_ModuleType& m = *owned;
    const SettingsFile& d = m.ModuleData();
    SCOPED_TRACE(m.name);
    classesSeen.insert(m.moduleClass);
    EXPECT_TRUE(kClasses.count(m.moduleClass));
    EXPECT_TRUE(kSlotTypes.count(m.slotType));
    EXPECT_FALSE(m.guiName.empty());
    EXPECT_TRUE(HasTexture(m.icon)) << m.icon;
    EXPECT_GT(m.cost, 0.0f);
    EXPECT_FALSE(m.dataItems.empty()) << "the designer has nothing to show";
    int sizes = 0;
    for (const char* size : kSizes)
      if (m.FitsModuleSize(size)) {
        ++sizes;
        slotsPerSize[size].insert(m.slotType);
      }
    EXPECT_GT(sizes, 0) << "fits no hull";
    if (m.isWeapon) {
      const std::string warhead = d.GetString("warhead");
      EXPECT_TRUE(warhead == "BULLET" || warhead == "ENERGY" || warhead == "EXPLOSIVE" ||
                  warhead == "FLAMES");
      EXPECT_GT(d.GetFloat("damage", 0), 0.0f);
      EXPECT_GT(d.GetFloat("fire_interval", 0), 0.0f);
      EXPECT_GT(d.GetFloat("max_range", 0), d.GetFloat("min_range", 0));
      for (const std::string& key : DamageModifierKeys()) EXPECT_GT(d.GetFloat(key, 0), 0.0f) << key;
      if (m.moduleClass != "SIM_BeamLaserComponent") {
        EXPECT_GE(d.GetInt("ammunition"), 1);
        EXPECT_GT(d.GetFloat("ammosupplytime", 0), 0.0f);
      } else {
        EXPECT_TRUE(HasTexture(d.GetString("texture"))) << d.GetString("texture");
        EXPECT_GT(d.GetFloat("beam_duration", 0), d.GetFloat("firedelay", 0));
      }
      if (m.moduleClass == "SIM_MissileLauncherComponent") {
        EXPECT_GT(d.GetFloat("turnspeed", 0), 0.0f);
      }
      if (m.moduleClass == "SIM_FlamethrowerComponent") {
        EXPECT_GT(d.GetFloat("splash_damage_radius", 0), 0.0f);
      }
      ASSERT_FALSE(m.sounds.empty());
      for (const std::string& sound : m.sounds) EXPECT_TRUE(fs::is_regular_file(sound)) << sound;
    }
    if (m.moduleClass == "SIM_ArmorComponent") {
      EXPECT_GT(d.GetFloat("maxdamageabsorbable", 0), 0.0f);
    }
    if (m.moduleClass == "SIM_EngineComponent") {
      EXPECT_GT(d.GetFloat("thrust", 0), 0.0f);
    }
    if (m.moduleClass == "SIM_ShieldComponent") {
      EXPECT_GT(d.GetFloat("shieldpoints", 0), 0.0f);
      EXPECT_GT(d.GetFloat("recharge rate", 0), 0.0f);
      EXPECT_TRUE(HasTexture(d.GetString("shieldtexture")));
    }
    if (m.moduleClass == "SIM_VariableComponent") {
      EXPECT_TRUE(kUnitVariables.count(d.GetString("variable_name"))) << d.GetString("variable_name");
      EXPECT_NE(d.GetFloat("variable_var", 0), 0.0f);
    }
    if (m.moduleClass == "SIM_RepairComponent") {
      EXPECT_GT(d.GetFloat("repair_interval", 0), 0.0f);
      EXPECT_GT(d.GetFloat("repair_points", 0), 0.0f);
    }
    if (m.slotType == "HOSPITAL" || m.slotType == "REPAIRYARD" || m.slotType == "COMMAND") {
      EXPECT_GT(d.GetFloat("pulse_radius", 0), 0.0f);
    }
  }
  EXPECT_EQ(classesSeen, kClasses) << "every component class the battle knows is in the catalogue";
  // Without accuracy and loading speed a unit never hits and barely reloads.
  for (const char* size : kSizes) {
    EXPECT_TRUE(slotsPerSize[size].count("TARGETING")) << size;
    EXPECT_TRUE(slotsPerSize[size].count("LOADER")) << size;
  }
}

// A hull's module size is its class: a name outside the ten makes a building build
// instantly, hides its designs from the divisions picker and leaves it without
// deployment charges, so each hull must carry the class of its own kind.
TEST_F(ContentTest, EveryHullHasAClassOfItsOwnKind) {
  const std::map<int, std::set<std::string>> classesOfKind = {
      {SIZETYPE_TANK, {"LIGHTTANK", "MEDIUMTANK", "HEAVYTANK"}},
      {SIZETYPE_MECH, {"LIGHTMECH", "MEDIUMMECH", "HEAVYMECH"}},
      {SIZETYPE_INFANTRY, {"INFANTRY"}},
      {SIZETYPE_BUILDING, {"SMALLTURRET", "MEDIUMTURRET", "LARGETURRET"}}};
  std::set<std::string> used;
  for (const auto& owned : SIM_UnitHullManager::Get().All()) {
    SCOPED_TRACE(owned->name);
    ASSERT_TRUE(classesOfKind.count(owned->sizeType)) << owned->sizeType;
    EXPECT_TRUE(classesOfKind.at(owned->sizeType).count(owned->moduleSize)) << owned->moduleSize;
    used.insert(owned->moduleSize);
  }
  // Every building weight is offered, so each construction speed is in play.
  for (const char* turret : {"SMALLTURRET", "MEDIUMTURRET", "LARGETURRET"})
    EXPECT_TRUE(used.count(turret)) << turret;
}

// A module fits the light, medium or heavy class of every kind alike (a small turret
// is a light building): one column left blank would silently take a module from one
// kind of hull only.
TEST_F(ContentTest, ModulesFitEachWeightClassAcrossTanksMechsAndTurrets) {
  const char* const weights[][3] = {{"LIGHTTANK", "LIGHTMECH", "SMALLTURRET"},
                                    {"MEDIUMTANK", "MEDIUMMECH", "MEDIUMTURRET"},
                                    {"HEAVYTANK", "HEAVYMECH", "LARGETURRET"}};
  for (const auto& owned : SIM_ModuleTypeManager::Get().All()) {
    SCOPED_TRACE(owned->name);
    for (const auto& weight : weights) {
      EXPECT_EQ(owned->FitsModuleSize(weight[1]), owned->FitsModuleSize(weight[0])) << weight[1];
      EXPECT_EQ(owned->FitsModuleSize(weight[2]), owned->FitsModuleSize(weight[0])) << weight[2];
    }
    // The old size names are gone: no column may still carry them.
    for (const char* old : {"SZ_LIGHT", "SZ_MEDIUM", "SZ_HEAVY"})
      EXPECT_FALSE(owned->ModuleData().HasKey(old)) << old;
  }
}

TEST_F(ContentTest, WeaponClassesKeepTheirMatchUps) {
  // The best class against each defence, by its strongest module.
  std::map<std::string, float> bestShield, bestArmour, bestInternal, worstArmour;
  for (const auto& owned : SIM_ModuleTypeManager::Get().All()) {
    if (!owned->isWeapon) continue;
    const SettingsFile& d = owned->ModuleData();
    const std::string& c = owned->moduleClass;
    bestShield[c] = std::max(bestShield[c], d.GetFloat("effective_vs_shield", 0));
    bestArmour[c] = std::max(bestArmour[c], d.GetFloat("effective_vs_armor", 0));
    bestInternal[c] = std::max(bestInternal[c], d.GetFloat("effective_vs_internal", 0));
  }
  auto leader = [](const std::map<std::string, float>& m) {
    return std::max_element(m.begin(), m.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  };
  EXPECT_EQ(leader(bestShield), "SIM_BeamLaserComponent");
  EXPECT_EQ(leader(bestArmour), "SIM_MissileLauncherComponent");
  EXPECT_EQ(leader(bestInternal), "SIM_FlamethrowerComponent");
  EXPECT_LT(bestArmour["SIM_BeamLaserComponent"], 1.0f);
  EXPECT_LT(bestShield["SIM_MissileLauncherComponent"], 1.0f);
  EXPECT_LT(bestShield["SIM_KineticWeaponComponent"], 1.0f);
}

// What each weapon puts in the air must be able to do its job: bullets move, missiles
// carry fuel for their whole range (with room for the curve of their path) and can
// turn, beams deal their damage before they end, flames reach beside their line, and
// every magazine holds rounds and refills.
TEST_F(ContentTest, WeaponsCanReachWhatTheyFireAt) {
  for (const auto& owned : SIM_ModuleTypeManager::Get().All()) {
    if (!owned->isWeapon) continue;
    SCOPED_TRACE(owned->name);
    const SettingsFile& d = owned->ModuleData();
    const std::string& c = owned->moduleClass;
    const float range = d.GetFloat("max_range", 0);
    EXPECT_GT(range, d.GetFloat("min_range", 0));
    EXPECT_GT(d.GetFloat("fire_interval", 0), 0.0f);
    EXPECT_GT(d.GetFloat("tracking_speed", 0), 0.0f);
    if (c != "SIM_BeamLaserComponent") {
      EXPECT_GT(std::atoi(d.GetString("ammunition").c_str()), 0);
      EXPECT_GT(d.GetFloat("ammosupplytime", 0), 0.0f);
    }
    if (c == "SIM_KineticWeaponComponent") {
      EXPECT_GT(d.GetFloat("speed", 0), 0.0f);
    }
    if (c == "SIM_MissileLauncherComponent") {
      EXPECT_GT(d.GetFloat("speed", 0), 0.0f);
      EXPECT_GT(d.GetFloat("turnspeed", 0), 0.0f);
      EXPECT_GE(d.GetFloat("fuel", 0), range * 1.2f);
    }
    if (c == "SIM_BeamLaserComponent") {
      EXPECT_LT(d.GetFloat("firedelay", 0), d.GetFloat("beam_duration", 0));
    }
    if (c == "SIM_FlamethrowerComponent") {
      EXPECT_GT(d.GetFloat("duration", 0), 0.0f);
      EXPECT_GT(d.GetFloat("splash_damage_radius", 0), 0.0f);
    }
  }
}

// Against soldiers the match-ups turn: anti-personnel weapons hit them far more
// often, the armour killers rarely. The defender AI's anti-infantry lists are built
// from exactly this bonus, so without it they stay empty.
TEST_F(ContentTest, WeaponsAgainstInfantryKeepTheirMatchUps) {
  const struct {
    const char* name;
    bool antiPersonnel;
  } cases[] = {{"inf_mg", true},      {"hmg", true},       {"inf_flamer", true},  {"scorcher", true},
               {"inferno", true},     {"inf_rifle", true}, {"inf_rocket", false}, {"atgm", false},
               {"cannon_120", false}, {"railgun", false}};
  SIM_ModuleTypeManager& modules = SIM_ModuleTypeManager::Get();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SIM_ModuleType* m = modules.Find(c.name);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->isWeapon);
    const float vsInfantry = m->ModuleData().GetFloat("hit_vs_infantry", 0);
    if (c.antiPersonnel) {
      EXPECT_GT(vsInfantry, 1.0f);
      // ... and still blunted by plating and shields.
      EXPECT_LT(m->ModuleData().GetFloat("effective_vs_armor", 0), 1.0f);
      EXPECT_LT(m->ModuleData().GetFloat("effective_vs_shield", 0), 1.0f);
    } else {
      EXPECT_LT(vsInfantry, 1.0f);
    }
  }
  // Every flamethrower and every missile follows its class.
  for (const auto& owned : modules.All()) {
    if (!owned->isWeapon) continue;
    SCOPED_TRACE(owned->name);
    const float vsInfantry = owned->ModuleData().GetFloat("hit_vs_infantry", 0);
    if (owned->moduleClass == "SIM_FlamethrowerComponent") {
      EXPECT_GT(vsInfantry, 1.0f);
    }
    if (owned->moduleClass == "SIM_MissileLauncherComponent") {
      EXPECT_LT(vsInfantry, 1.0f);
    }
  }
}

// Support slots on hulls that can follow an attack: the attacker AI's medic and
// support roles need a mobile hull for each.
TEST_F(ContentTest, MobileHullsCarryEverySupportSlot) {
  std::set<std::string> mobileSlots;
  for (const auto& owned : SIM_UnitHullManager::Get().All()) {
    if (owned->sizeType == SIZETYPE_BUILDING || owned->sizeType == SIZETYPE_INFANTRY) continue;
    for (const HullSlot& slot : owned->slots) mobileSlots.insert(slot.text);
  }
  for (const char* slot : {"HOSPITAL", "REPAIRYARD", "COMMAND", "SUPPLIES"})
    EXPECT_TRUE(mobileSlots.count(slot)) << "no mobile hull has a " << slot << " slot";
}

TEST_F(ContentTest, HullsVariantsAndTheirArtFitTogether) {
  SettingsFile strings;
  ASSERT_TRUE(strings.LoadSection("data/strings.ini", "strings"));
  const std::map<int, std::vector<std::string>> required = {
      {SIZETYPE_INFANTRY,
       {"infantry_legs", "infantry_legs_armor", "infantry_torso", "infantry_torso_armor", "infantry_head"}},
      {SIZETYPE_MECH, {"mech_legs", "mech_turret", "mech_turret_color"}},
      {SIZETYPE_TANK, {"tank_chassis", "tank_chassis_color"}},
      {SIZETYPE_BUILDING, {"turret_base"}}};
  // Death sequences of major units: explosion managers named by the hulls.
  std::set<std::string> deathSequences;
  for (const auto& entry : fs::directory_iterator("data/explosionmanagers")) {
    SettingsFile config, lines;
    ASSERT_TRUE(config.LoadSection(entry.path().string(), "config"));
    ASSERT_TRUE(lines.LoadSection(entry.path().string(), "explosions")) << entry.path();
    for (const auto& line : lines.Entries()) {
      EXPECT_EQ(std::count(line.first.begin(), line.first.end(), ','), 9) << line.first;
      EXPECT_NE(line.first.find(",EXP_"), std::string::npos) << line.first;
    }
    deathSequences.insert(config.GetString("name"));
  }
  std::set<int> sizeTypes;
  for (const auto& owned : SIM_UnitHullManager::Get().All()) {
    const SIM_UnitHull& h = *owned;
    SCOPED_TRACE(h.name);
    ASSERT_GE(h.sizeType, 0);
    ASSERT_LE(h.sizeType, 3);
    sizeTypes.insert(h.sizeType);
    EXPECT_GT(h.size, 0.0f);
    EXPECT_GT(h.hitPoints, 0.0f);
    EXPECT_TRUE(strings.HasKey(h.description)) << h.description;
    if (h.sizeType != SIZETYPE_INFANTRY) {
      EXPECT_FALSE(h.explosions.empty()) << "a major unit needs a death sequence";
    }
    for (const std::string& name : h.explosions) EXPECT_TRUE(deathSequences.count(name)) << name;
    std::set<std::string> slotKinds;
    for (const HullSlot& slot : h.slots) {
      slotKinds.insert(slot.text);
      bool fits = false;
      for (const auto& m : SIM_ModuleTypeManager::Get().All())
        fits = fits || (m->slotType == slot.text && m->FitsModuleSize(h.moduleSize));
      EXPECT_TRUE(fits) << "no module for slot " << slot.text;
    }
    if (slotKinds.count("WEAPON")) {
      EXPECT_TRUE(slotKinds.count("TARGETING"));
      EXPECT_TRUE(slotKinds.count("LOADER"));
    }
    if (h.sizeType != SIZETYPE_BUILDING) {
      EXPECT_TRUE(slotKinds.count("PROPULSION")) << "it could never move";
    }
    ASSERT_FALSE(h.variants.empty());
    for (const SIM_UnitHullVariant* v : h.variants) {
      SCOPED_TRACE(v->name);
      EXPECT_FALSE(v->name.empty());
      for (const std::string& layer : required.at(h.sizeType))
        EXPECT_NE(v->FindLayer(layer), nullptr) << layer;
      for (const VariantLayer& l : v->layers) {
        EXPECT_TRUE(HasTexture(l.texture)) << l.texture;
        if (!l.hulk.empty()) {
          EXPECT_TRUE(HasTexture(l.hulk)) << l.hulk;
        }
        if (!l.parent.empty()) {
          EXPECT_NE(v->FindLayer(l.parent), nullptr) << l.parent;
        }
        if (l.layerName.find("color") != std::string::npos) {
          EXPECT_NE(l.colourSource, &l) << l.layerName;
        }
      }
      for (const auto& target : h.targets) EXPECT_NE(v->FindLayer(target->name), nullptr) << target->name;
      if (slotKinds.count("WEAPON") && h.sizeType != SIZETYPE_INFANTRY) {
        const int barrels = v->CountLayersByName("gunbarrel");
        EXPECT_GE(barrels, 1);
        EXPECT_LE(barrels, 5);
      }
      for (const VariantProp& p : v->props) EXPECT_NE(p.propType, nullptr);
    }
  }
  EXPECT_EQ(sizeTypes.size(), 4u) << "infantry, mechs, tanks and buildings";
  std::set<std::string> names;
  for (const SIM_UnitHullVariant* v : AllVariants()) EXPECT_TRUE(names.insert(v->name).second) << v->name;
}

TEST_F(ContentTest, PropsEmplacementsAndGroundsNameExistingArt) {
  for (SIM_PropType* p : SIM_PropTypeManager::Get().All()) {
    SCOPED_TRACE(p->name);
    if (p->mode == PROPMODE_SINGLE) {
      EXPECT_TRUE(HasTexture(p->texture)) << p->texture;
      EXPECT_LT(p->uvLeft, p->uvRight);
      EXPECT_LT(p->uvTop, p->uvBottom);
    } else {
      ASSERT_FALSE(p->members.empty());
      for (const std::string& member : p->members)
        EXPECT_NE(SIM_PropTypeManager::Get().TryFind(member), nullptr);
    }
  }
  // Road tiles laid by the automatic path command are emplacement pictures: they must
  // exist for every shape, plain and rocky, and hold no unit positions.
  std::set<std::string> roadTiles;
  for (bool rocky : {false, true})
    for (const std::string& name : SIM_Scenario::PathTileNames(rocky)) roadTiles.insert(name);
  EXPECT_EQ(roadTiles.size(), 10u);
  for (const std::string& name : roadTiles)
    EXPECT_NE(SIM_EmplacementManager::Get().Find(name), nullptr) << name;
  for (const auto& e : SIM_EmplacementManager::Get().All()) {
    EXPECT_TRUE(HasTexture(e->texture)) << e->name;
    EXPECT_LT(e->uvLeft, e->uvRight) << e->name;
    EXPECT_LT(e->uvTop, e->uvBottom) << e->name;
    if (roadTiles.count(e->name)) {
      EXPECT_TRUE(e->offsets.empty()) << e->name;
      continue;
    }
    EXPECT_FALSE(e->offsets.empty()) << e->name;
    EXPECT_GT(e->coverBonus, 0.0f) << e->name;
  }
  for (const auto& g : SIM_GroundTextureManager::Get().All()) EXPECT_TRUE(HasTexture(g->texture)) << g->name;
}

TEST_F(ContentTest, EveryHullAndModuleCanBeUnlocked) {
  SIM_UnlocksManager::Get().EnsureCataloguesLoaded();
  SettingsFile section;
  std::set<std::string> listed;
  for (const char* name : {"defaults", "choices", "free"}) {
    section.LoadSection("data/unlocks.txt", name);
    for (const auto& entry : section.Entries()) {
      EXPECT_NE(SIM_UnlocksManager::Get().TryFind(entry.first), nullptr) << entry.first;
      EXPECT_TRUE(listed.insert(entry.first).second) << entry.first << " is listed twice";
    }
  }
  for (const auto& m : SIM_ModuleTypeManager::Get().All()) EXPECT_TRUE(listed.count(m->name)) << m->name;
  for (const auto& h : SIM_UnitHullManager::Get().All()) EXPECT_TRUE(listed.count(h->name)) << h->name;
}

}  // namespace
