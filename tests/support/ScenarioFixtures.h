#pragma once
// A tiny self-contained catalogue (hulls, variants, module types, props, gameplay
// constants) written to a temporary folder, so design and scenario totals can be worked
// out by hand rather than depending on the shipped balance numbers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Log.h"
#include "simdata/MapSquare.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace fixture {

using zt_test::ReadText;
using zt_test::WriteText;

// Everything written to the error log so far in this test.
inline std::string ErrorLog() { return ReadText(GetLogFolder() + "/errors.txt"); }

// Hulls: infantry (cost 100, 50 hp, 2 slots), tank (cost 200, 400 hp, weight 100,
// 3 slots, two variants), bunker (building, cost 300, 1000 hp, 3 slots).
// Module types with round numbers; DEFENDER_DEFENSE_BONUS is 1.5.
inline const char* kHullTable =
    "#,name,guiname,description,size,hitpoints,weight,victorypoints,shield_size_scalar,cost,sizetype,"
    "modulesize\n"
    "#,fx_infantry,FX_INF,,24,50,10,1,1,100,INFANTRY,INFANTRY\n"
    "#,fx_tank,FX_TANK,,128,400,100,10,1,200,TANK,MEDIUMTANK\n"
    "#,fx_bunker,FX_BUNKER,,128,1000,50,10,1,300,BUILDING,LARGETURRET\n";

inline const char* kModuleTable =
    "#,name,guiname,cost,weight,class,slottype,thrust,maxdamageabsorbable,shieldpoints,variable_name,"
    "variable_var,splash_damage_radius,effective_vs_armor,hit_vs_infantry,effective_vs_shield\n"
    "#,fx_gun,G,30,10,SIM_KineticWeaponComponent,WEAPON,,,,,,,2,,\n"
    "#,fx_mortar,M,60,20,SIM_KineticWeaponComponent,WEAPON,,,,,,50,,2,\n"
    "#,fx_plate,P,40,20,SIM_ArmorComponent,SYSTEM,,100,,,,,,,\n"
    "#,fx_shield,S,50,5,SIM_ShieldComponent,SYSTEM,,,80,,,,,,\n"
    "#,fx_engine,E,20,0,SIM_EngineComponent,SYSTEM,200,,,,,,,,\n"
    "#,fx_speed,SB,50,0,SIM_VariableComponent,AUGMENTATION,,,,UVT_SPEED_BONUS,0.5,,,,\n"
    "#,fx_tough,HB,50,0,SIM_VariableComponent,AUGMENTATION,,,,UVT_HITPOINTS,0.5,,,,\n"
    "#,fx_supply,SU,80,10,SIM_SupplyComponent,SYSTEM,,,,,,,,,\n"
    "#,fx_command,CO,70,10,SIM_CommandComponent,SYSTEM,,,,,,,,,\n";

inline std::string Variant(const std::string& name, const std::string& layers) {
  std::string text = "[config]\nname = " + name + "\nguiname = " + name + "\n\n";
  int n = 0;
  std::stringstream in(layers);
  std::string layer;
  while (std::getline(in, layer, ' ')) {
    text += "[layer" + std::to_string(n++) + "]\nlayername = " + layer +
            "\ntexture = fx.dds\nsizex = 128\nsizey = 128\nvisible = 1\n\n";
  }
  return text;
}

// Writes the catalogue under <user dir>/fixture and makes it the working folder for the
// fixture's lifetime, so the managers read "data/..." from it.
class CatalogueFolder {
 public:
  CatalogueFolder() : root_(zt_test::UserDir() + "/fixture") {
    WriteText(root_ + "/data/hulls/hulls.csv", kHullTable);
    WriteText(root_ + "/data/hulls/fx_infantry.txt", "[slots]\n0 = WEAPON\n1 = AUGMENTATION\n");
    WriteText(
        root_ + "/data/hulls/fx_tank.txt",
        "[slots]\n0 = WEAPON\n1 = SYSTEM\n2 = AUGMENTATION\n\n[variants]\n0 = fx_tank_a\n1 = fx_tank_b\n");
    WriteText(root_ + "/data/hulls/fx_bunker.txt", "[slots]\n0 = WEAPON\n1 = SYSTEM\n2 = SYSTEM\n");
    WriteText(root_ + "/data/variants/fx_infantry_default.txt", Variant("fx_infantry_default", "soldier"));
    WriteText(root_ + "/data/variants/fx_tank_a.txt",
              Variant("fx_tank_a", "tank_chassis tank_chassis_color"));
    WriteText(root_ + "/data/variants/fx_tank_b.txt",
              Variant("fx_tank_b", "tank_chassis tank_chassis_color tank_turret tank_turret_color"));
    WriteText(root_ + "/data/variants/fx_bunker_default.txt", Variant("fx_bunker_default", "turret_base"));
    WriteText(root_ + "/data/modules/unit modules.csv", kModuleTable);
    WriteText(root_ + "/data/modules/module_data_items.txt", "");
    WriteText(root_ + "/data/props/fx_rock.txt",
              "[config]\nName = fx_rock\nTexture = fx.dds\nDefaultWidth = 100\nDefaultHeight = "
              "100\npropheight = GROUND\n");
    WriteText(root_ + "/data/props/fx_tree.txt",
              "[config]\nName = fx_tree\nTexture = fx.dds\nDefaultWidth = 60\nDefaultHeight = 60\npropheight "
              "= HIGH\n");
    WriteText(root_ + "/data/gameplay.ini", "[gameplay]\nDEFENDER_DEFENSE_BONUS = 1.5\n");
    if (chdir(root_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << root_;
  }
  ~CatalogueFolder() {
    if (chdir(zt_test::BuildDir().c_str()) != 0) ADD_FAILURE() << "cannot return to the build folder";
  }
  CatalogueFolder(const CatalogueFolder&) = delete;
  CatalogueFolder& operator=(const CatalogueFolder&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

 private:
  std::string root_;
};

// The squares' numbers, in order, for readable comparisons.
inline std::vector<int> Numbers(const std::vector<SIM_MapSquare*>& squares) {
  std::vector<int> numbers;
  for (const SIM_MapSquare* square : squares) numbers.push_back(square->number);
  return numbers;
}

}  // namespace fixture
