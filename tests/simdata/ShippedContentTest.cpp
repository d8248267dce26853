// The shipped designs and campaign scenarios: every one loads, is complete, and gives
// both computer opponents something to pick for every role.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/Folders.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "platform/Image.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/HighScores.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "simdata/Unlockable.h"
#include "support/ScenarioFixtures.h"

namespace {

// The game creates the user folder at start-up; the unlock records save into it.
class ShippedContent : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TryEnsureDirectoryExists(zt_test::UserRoot())); }
};

std::vector<std::string> DesignFolders() {
  std::vector<std::string> folders = {"data/sampleunits", "data/default_aiunits"};
  for (const std::string& scenario : ListFolders("data/scenarios/*.*", true))
    folders.push_back(scenario + "/ai_designs");
  return folders;
}

float ModuleValue(const SIM_ModuleType* type, const char* key) {
  return type ? type->ModuleData().GetFloat(key, 0.0f) : 0.0f;
}

TEST_F(ShippedContent, DesignsEveryDesignLoadsFitsItsHullAndColoursEveryLayer) {
  int count = 0;
  for (const std::string& folder : DesignFolders()) {
    const std::vector<std::string> files = ListFiles(folder + "/*.txt", true);
    EXPECT_FALSE(files.empty()) << folder;
    std::set<std::string> names;
    for (const std::string& file : files) {
      SCOPED_TRACE(file);
      SIM_UnitDesign design;
      ASSERT_TRUE(design.Load(file, false));
      ++count;
      EXPECT_TRUE(names.insert(design.name).second) << "duplicate name " << design.name;
      // What the designer would allow: the slot's kind and the hull's class (module size).
      for (const DesignModule& module : design.modules) {
        const HullSlot& slot = design.hull->slots[static_cast<size_t>(module.slot)];
        EXPECT_EQ(module.type->slotType, slot.text) << module.type->name;
        EXPECT_TRUE(module.type->FitsModuleSize(design.hull->moduleSize)) << module.type->name;
      }
      // One colour per variant layer, in the variant's order, as the designer makes them.
      ASSERT_EQ(design.layers.size(), design.variant->layers.size());
      for (size_t i = 0; i < design.layers.size(); ++i) {
        EXPECT_EQ(design.layers[i].name, design.variant->layers[i].layerName);
      }
      EXPECT_GT(design.hitPoints, 0.0f);
      if (design.GetSizeType() != SIZETYPE_BUILDING) {
        EXPECT_GT(design.speed, 0.0f) << "a mobile design without an engine";
      }
      if (design.weapon) {
        EXPECT_GT(design.CountModulesOfClass("SIM_VariableComponent"), 0)
            << "a weapon without targeting or loader";
      }
      // The save writes back exactly what was shipped.
      const std::string copy = zt_test::UserDir() + "/copy.txt";
      ASSERT_TRUE(design.Save(copy));
      EXPECT_EQ(fixture::ReadText(copy), fixture::ReadText(file));
    }
  }
  EXPECT_GE(count, 20);
  EXPECT_EQ(fixture::ErrorLog(), "");
}

// The role lists both opponents sort their designs into.
struct Roles {
  std::set<int> defender;  // lists 0..9 of the defender's picker
  std::set<int> attacker;  // categories 0..5 of the attacker
};

Roles RolesOf(const std::vector<std::unique_ptr<SIM_UnitDesign>>& designs) {
  Roles roles;
  for (const auto& design : designs) {
    const int size = design->GetSizeType();
    const bool infantry = size == SIZETYPE_INFANTRY;
    const bool building = size == SIZETYPE_BUILDING;
    if (infantry) roles.defender.insert(7);
    if (building && design->weapon) roles.defender.insert(6);
    if (building && !design->weapon) {
      if (design->CountModulesOfClass("SIM_CommandComponent") ||
          design->CountModulesOfClass("SIM_RepairComponent")) {
        roles.defender.insert(8);
      } else if (design->CountModulesOfClass("SIM_HospitalComponent")) {
        roles.defender.insert(9);
      }
    }
    if (design->weapon && (infantry || building)) {
      // The picker rates a design by its first weapon.
      const SIM_ModuleType* first = nullptr;
      for (const DesignModule& m : design->modules) {
        if (m.type->isWeapon) {
          first = m.type;
          break;
        }
      }
      if (ModuleValue(first, "effective_vs_shield") > 1) roles.defender.insert(infantry ? 4 : 2);
      if (ModuleValue(first, "effective_vs_armor") > 1) roles.defender.insert(infantry ? 3 : 0);
      if (ModuleValue(first, "hit_vs_infantry") > 1) roles.defender.insert(infantry ? 5 : 1);
    }
    if (building) continue;
    if (design->CountModulesOfClass("SIM_HospitalComponent")) {
      roles.attacker.insert(4);
    } else if (design->CountModulesOfClass("SIM_RepairComponent") ||
               design->CountModulesOfClass("SIM_SupplyComponent") ||
               design->CountModulesOfClass("SIM_CommandComponent")) {
      roles.attacker.insert(5);
    } else {
      roles.attacker.insert(3);
      if (infantry) roles.attacker.insert(2);
      if (!infantry && design->CountModulesOfClass("SIM_ArmorComponent")) roles.attacker.insert(0);
      if (!infantry && design->CountModulesOfClass("SIM_ShieldComponent")) roles.attacker.insert(1);
    }
  }
  return roles;
}

// Every list and category the two AIs pick from. Each must be fillable and filled:
// an empty anti-infantry list or medic category means the AI never fields that role.
Roles EveryRole() { return Roles{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5}}; }

TEST_F(ShippedContent, DesignsEveryAISetCoversEveryRoleTheAIsPickFrom) {
  const Roles possible = EveryRole();
  SIM_UnitDesignManager& manager = SIM_UnitDesignManager::Get();
  std::vector<std::string> folders = DesignFolders();
  folders.erase(folders.begin());  // the player's samples are not an AI set
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    manager.ClearAIDesigns();
    manager.LoadAIFolder(folder + "/*.txt");
    const Roles roles = RolesOf(manager.AIDesigns());
    for (int list : possible.defender) EXPECT_TRUE(roles.defender.count(list)) << "defender list " << list;
    for (int category : possible.attacker)
      EXPECT_TRUE(roles.attacker.count(category)) << "attacker category " << category;
    EXPECT_TRUE(manager.HasAIDesignFor(true, true, true));
  }
}

// Infantry is bought per soldier and deployed 25 at a time: a squad must cost about
// what the light vehicles it fights beside do, and every design must be affordable
// with the starting supplies of any campaign battle.
TEST_F(ShippedContent, DesignsSquadsCostAboutALightVehicleAndAllAreAffordable) {
  SIM_ScenarioManager::Get().Load();
  float leanestStart = 1e9f;
  for (SIM_Scenario* scenario : SIM_ScenarioManager::Get().Campaign()) {
    leanestStart = std::min({leanestStart, scenario->classic.startingSuppliesAttacker,
                             scenario->classic.startingSuppliesDefender});
  }
  ASSERT_LT(leanestStart, 1e9f);
  struct Priced {
    std::string file;
    int sizeType;
    float price;  // what one deployment costs: 25 soldiers or one unit
    bool lightArmedVehicle;
  };
  std::vector<Priced> priced;
  for (const std::string& folder : DesignFolders()) {
    for (const std::string& file : ListFiles(folder + "/*.txt", true)) {
      SIM_UnitDesign design;
      ASSERT_TRUE(design.Load(file, false)) << file;
      const int size = design.GetSizeType();
      const bool vehicle = size == SIZETYPE_MECH || size == SIZETYPE_TANK;
      const std::string& hullClass = design.hull->moduleSize;
      const bool light = hullClass == "LIGHTTANK" || hullClass == "LIGHTMECH";
      priced.push_back({file, size, design.cost * (size == SIZETYPE_INFANTRY ? 25.0f : 1.0f),
                        vehicle && design.weapon && light});
    }
  }
  float lightTotal = 0.0f;
  int lightCount = 0;
  for (const Priced& p : priced) {
    if (!p.lightArmedVehicle) continue;
    lightTotal += p.price;
    ++lightCount;
  }
  ASSERT_GT(lightCount, 0) << "no armed light vehicle to compare squads with";
  const float light = lightTotal / static_cast<float>(lightCount);
  int squads = 0;
  for (const Priced& p : priced) {
    SCOPED_TRACE(p.file);
    EXPECT_LE(p.price, leanestStart) << "cannot be deployed at the start of every battle";
    if (p.sizeType != SIZETYPE_INFANTRY) continue;
    ++squads;
    EXPECT_GE(p.price, 0.5f * light) << "a squad far cheaper than a light vehicle (" << light << ")";
    EXPECT_LE(p.price, 1.5f * light) << "a squad far dearer than a light vehicle (" << light << ")";
  }
  EXPECT_GT(squads, 0);
}

TEST_F(ShippedContent, ScenariosCampaignLoadsPlayableFromBothSides) {
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  ASSERT_GE(manager.Campaign().size(), 10u);
  std::set<std::string> names;
  std::set<std::pair<int, int>> sizes;
  for (SIM_Scenario* scenario : manager.Campaign()) {
    SCOPED_TRACE(scenario->file);
    names.insert(scenario->name);
    sizes.insert({scenario->maxCols, scenario->maxRows});
    EXPECT_TRUE(scenario->classicAttackAllowed);
    EXPECT_TRUE(scenario->classicDefenceAllowed);
    EXPECT_GT(scenario->classic.timeLimit, 60000.0f);
    EXPECT_GT(scenario->classic.hpLeftLimit, 0.0f);
    EXPECT_GT(scenario->classic.suppliesCap, scenario->classic.startingSuppliesAttacker);
    EXPECT_GT(scenario->classic.suppliesPerSecondEnd, 0.0f);
    EXPECT_GT(scenario->classic.attackSuppliesPerSecondEnd, 0.0f);

    ASSERT_TRUE(scenario->LoadMap());
    EXPECT_FALSE(scenario->attackerSquares.empty());
    EXPECT_FALSE(scenario->defenderSquares.empty());
    EXPECT_FALSE(scenario->exitSquares.empty());
    for (const SIM_MapSquare* square : scenario->routeStartSquares) {
      EXPECT_GE(square->routeLength, 0);
      EXPECT_LT(square->routeLength, 400) << "square " << square->number << " never reaches an exit";
    }
    for (const SIM_MapSquare* square : scenario->attackerSquares) EXPECT_FALSE(square->links.empty());
    for (const auto& square : scenario->grid) {
      EXPECT_NE(SIM_GroundTextureManager::Get().TryFind(square->text), nullptr) << square->text;
      if (!square->object.empty()) {
        EXPECT_NE(SIM_EmplacementManager::Get().Find(square->object), nullptr) << square->object;
      }
    }
    scenario->LoadProps();
    EXPECT_GE(scenario->placedProps.size(), 20u);

    // The picture, the music and the ambience the battle screen will ask for.
    EXPECT_TRUE(FileExists(scenario->Folder() + "/bitmaps/" + scenario->groundTexture))
        << scenario->groundTexture;
    EXPECT_TRUE(FileExists("data/sounds/music/battles/" + scenario->music)) << scenario->music;
    if (!scenario->ambientSound.empty()) {
      EXPECT_TRUE(FileExists(scenario->ambientSound)) << scenario->ambientSound;
    }

    scenario->LoadAIDesigns();
    EXPECT_FALSE(SIM_UnitDesignManager::Get().AIDesigns().empty());
  }
  EXPECT_EQ(sizes.size(), manager.Campaign().size()) << "every campaign map has its own size";
  for (SIM_Scenario* scenario : manager.Campaign()) {
    for (const std::string& link : scenario->unlockLinks) EXPECT_TRUE(names.count(link)) << link;
  }
  EXPECT_EQ(fixture::ErrorLog(), "");
}

TEST_F(ShippedContent, ScenariosTheFirstBattleIsOpenToANewPlayer) {
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  std::set<std::string> linked;
  for (SIM_Scenario* scenario : manager.Campaign())
    linked.insert(scenario->unlockLinks.begin(), scenario->unlockLinks.end());
  int open = 0;
  for (SIM_Scenario* scenario : manager.Campaign()) {
    if (linked.count(scenario->name)) continue;
    // Nothing unlocks this one, so a new player must have it from the start.
    EXPECT_TRUE(SIM_HighScores::Get().IsUnlocked(scenario->name)) << scenario->name;
    ++open;
  }
  EXPECT_GE(open, 1);
}

// The campaign map: the links are what a victory opens, so from the first battle they
// must reach every mission, never lead back, and never lead to an easier battle.
TEST_F(ShippedContent, ScenariosCampaignLinksReachEveryMissionFromTheFirstWithoutACycle) {
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  const std::vector<SIM_Scenario*>& campaign = manager.Campaign();
  ASSERT_GE(campaign.size(), 10u);
  std::map<std::string, const SIM_Scenario*> byName;
  for (const SIM_Scenario* scenario : campaign) byName[scenario->name] = scenario;
  for (const SIM_Scenario* scenario : campaign) {
    SCOPED_TRACE(scenario->name);
    std::set<std::string> seen;
    for (const std::string& link : scenario->unlockLinks) {
      EXPECT_TRUE(byName.count(link)) << "links to an unknown battle " << link;
      EXPECT_NE(link, scenario->name);
      EXPECT_TRUE(seen.insert(link).second) << "links twice to " << link;
    }
  }
  // Depth-first from the first battle; a link back to a battle still on the path is a cycle.
  std::map<std::string, int> state;  // 1 on the path, 2 done
  std::vector<std::string> cycles;
  std::function<void(const SIM_Scenario*)> visit = [&](const SIM_Scenario* scenario) {
    state[scenario->name] = 1;
    for (const std::string& link : scenario->unlockLinks) {
      auto next = byName.find(link);
      if (next == byName.end()) continue;
      if (state[link] == 1) cycles.push_back(scenario->name + " -> " + link);
      if (state[link] == 0) visit(next->second);
    }
    state[scenario->name] = 2;
  };
  EXPECT_EQ(campaign.front()->name, "border_crossing");
  visit(campaign.front());
  EXPECT_TRUE(cycles.empty()) << cycles.front();
  for (const SIM_Scenario* scenario : campaign)
    EXPECT_EQ(state[scenario->name], 2) << scenario->name << " cannot be reached from the first battle";

  for (const SIM_Scenario* scenario : campaign) {
    for (const std::string& link : scenario->unlockLinks) {
      auto next = byName.find(link);
      if (next == byName.end()) continue;
      SCOPED_TRACE(scenario->name + " -> " + link);
      EXPECT_GE(next->second->classic.attackerDifficultyAdjuster,
                scenario->classic.attackerDifficultyAdjuster);
      EXPECT_GE(next->second->classic.defenderDifficultyAdjuster,
                scenario->classic.defenderDifficultyAdjuster);
    }
  }
}

// Icons sit on the campaign picture by fractions of its width (both coordinates), and
// an icon is 60 pixels square on a picture at least 600 wide: icons closer than that
// hide each other's clicks.
TEST_F(ShippedContent, ScenariosMapIconsLieOnTheCampaignPictureApart) {
  platform::DecodedImage picture;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile("data/bitmaps/ui/campaignmap.jpg", &picture, &error)) << error;
  ASSERT_GT(picture.width, 0);
  const float maxY = static_cast<float>(picture.height) / static_cast<float>(picture.width);
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  const std::vector<SIM_Scenario*>& campaign = manager.Campaign();
  const float margin = 30.0f / 600.0f;  // half an icon
  for (const SIM_Scenario* scenario : campaign) {
    SCOPED_TRACE(scenario->name);
    EXPECT_GE(scenario->mapIconX, margin);
    EXPECT_LE(scenario->mapIconX, 1.0f - margin);
    EXPECT_GE(scenario->mapIconY, margin);
    EXPECT_LE(scenario->mapIconY, maxY - margin);
  }
  for (size_t i = 0; i < campaign.size(); ++i) {
    for (size_t j = i + 1; j < campaign.size(); ++j) {
      const float dx = campaign[i]->mapIconX - campaign[j]->mapIconX;
      const float dy = campaign[i]->mapIconY - campaign[j]->mapIconY;
      EXPECT_GE(std::sqrt(dx * dx + dy * dy), 2.0f * margin)
          << campaign[i]->name << " and " << campaign[j]->name;
    }
  }
}

TEST_F(ShippedContent, ScenariosEveryMissionHasItsTitleAndDescription) {
  SettingsFile strings;
  ASSERT_TRUE(strings.LoadSection("data/strings.ini", "strings"));
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  for (const SIM_Scenario* scenario : manager.Campaign()) {
    SCOPED_TRACE(scenario->name);
    EXPECT_FALSE(strings.GetString(scenario->guiName).empty()) << scenario->guiName;
    EXPECT_FALSE(strings.GetString(scenario->description).empty()) << scenario->description;
  }
}

// What a campaign victory hands out must exist, or the win opens nothing.
TEST_F(ShippedContent, ScenariosEveryVictoryUnlocksKnownItems) {
  SIM_ScenarioManager& manager = SIM_ScenarioManager::Get();
  manager.Load();
  SIM_UnlocksManager& unlocks = SIM_UnlocksManager::Get();
  unlocks.EnsureCataloguesLoaded();
  for (const SIM_Scenario* scenario : manager.Campaign()) {
    SCOPED_TRACE(scenario->name);
    const std::vector<std::string> names = SIM_HighScores::VictoryUnlocks(*scenario);
    EXPECT_GT(names.size(), 1u + scenario->unlockLinks.size()) << "a victory hands out no new item";
    for (const std::string& name : names) EXPECT_NE(unlocks.TryFind(name), nullptr) << name;
  }
}

// The strings reader drops a bare double quote or equals sign, so a text that shows one
// must mark it with a backslash: every shipped text reaches the screen as written.
TEST_F(ShippedContent, StringsEveryTextIsShownAsWritten) {
  std::ifstream in("data/strings.ini");
  ASSERT_TRUE(in) << "data/strings.ini";
  std::set<std::string> seen;
  bool inStrings = false;
  int checked = 0;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inStrings = line == "[strings]";
      continue;
    }
    const size_t eq = line.find('=');
    if (!inStrings || line.empty() || line[0] == ';' || eq == std::string::npos) continue;
    std::string key;
    for (char c : line.substr(0, eq))
      if (c != ' ' && c != '\t') key += c;
    if (!seen.insert(key).second) continue;
    // What the author wrote: a backslash keeps the next character, all else stays.
    std::string written;
    for (size_t i = eq + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      written += line[i];
    }
    if (written.empty()) continue;
    EXPECT_EQ(GetTranslation(key), written) << key;
    ++checked;
  }
  EXPECT_GT(checked, 500);
}

}  // namespace
