// The module catalogue: the header-keyed table, typed data items, sounds, sizes.
#include "SimdataTestSupport.h"
#include "engine/SettingsFile.h"
#include "simdata/ModuleType.h"

namespace {
using namespace simdata_test;

const char* const kItems =
    "[SIM_KineticWeaponComponent]\n"
    "0 = damage,DECIMAL\n"
    "1 = ammunition,INTEGER\n"
    "2 = warhead,STRING\n"
    "3 = issniper,BOOL\n"
    "4 = effective_vs_armor,PERCENTAGE\n"
    "5 = fire_interval,DECIMAL_MULT,0.001\n"
    "6 = ,DECIMAL\n"
    "[SIM_ArmorComponent]\n"
    "0 = maxdamageabsorbable,DECIMAL\n";

class ModuleTypeTest : public SimdataTest {
 protected:
  // Loads a table whose lines follow the given header line.
  SIM_ModuleTypeManager& LoadTable(const std::string& header, const std::string& rows,
                                   const std::string& items = kItems) {
    WriteText(UserFile("modules.csv"), "free text is ignored\n" + header + "\n" + rows);
    WriteText(UserFile("items.txt"), items);
    SIM_ModuleTypeManager& manager = SIM_ModuleTypeManager::Get();
    manager.LoadFrom(UserFile("modules.csv"), UserFile("items.txt"));
    return manager;
  }
};

TEST_F(ModuleTypeTest, RowsBecomeTypedModuleTypes) {
  SIM_ModuleTypeManager& manager = LoadTable(
      "#,name,guiname,class,slottype,icon,cost,weight,uisortpos,sound,SZ_MEDIUMTANK,SZ_LIGHTMECH,damage",
      "#,Gun,Big Gun,SIM_KineticWeaponComponent,WEAPON,gun.dds,75.5,40,12,\"a.ogg,b.ogg\",X,x,30\n"
      "#,Plate,Plate,SIM_ArmorComponent,DEFENSE,plate.dds,20,10,3,,X,,\n");
  ASSERT_EQ(manager.Count(), 2u);
  const SIM_ModuleType& gun = *manager.Find("Gun");
  EXPECT_EQ(gun.guiName, "Big Gun");
  EXPECT_EQ(gun.moduleClass, "SIM_KineticWeaponComponent");
  EXPECT_EQ(gun.slotType, "WEAPON");
  EXPECT_EQ(gun.icon, "gun.dds");
  EXPECT_FLOAT_EQ(gun.cost, 75.5f);
  EXPECT_FLOAT_EQ(gun.weight, 40.0f);
  EXPECT_EQ(gun.uiSortPos, 12);
  EXPECT_TRUE(gun.isWeapon);
  EXPECT_EQ(gun.ModuleData().GetString("damage"), "30");
  EXPECT_EQ(gun.unlockable.name, "Gun");
  EXPECT_EQ(gun.unlockable.label, "Big Gun");
  EXPECT_EQ(gun.unlockable.number, SIM_Unlockable::KIND_MODULE);
  EXPECT_EQ(gun.unlockable.icon, "gun.dds");
  EXPECT_TRUE(gun.FitsModuleSize("MEDIUMTANK"));
  EXPECT_FALSE(gun.FitsModuleSize("LIGHTMECH")) << "only an upper-case X fits";
  EXPECT_FALSE(gun.FitsModuleSize("HEAVYTANK"));
  EXPECT_FALSE(gun.FitsModuleSize("MEDIUM")) << "the whole class names the column, not a prefix";
  EXPECT_FALSE(manager.Find("Plate")->isWeapon);
  EXPECT_EQ(manager.Find("gun"), nullptr) << "names are case-sensitive";
}

TEST_F(ModuleTypeTest, EveryDataItemKindIsReadInFileOrder) {
  SIM_ModuleTypeManager& manager = LoadTable("#,name,class", "#,Gun,SIM_KineticWeaponComponent\n");
  const std::vector<ModuleDataItem>& items = manager.Find("Gun")->dataItems;
  struct Expected {
    const char* key;
    ModuleDataItemType type;
  };
  const Expected expected[] = {{"damage", MDI_DECIMAL},
                               {"ammunition", MDI_INTEGER},
                               {"warhead", MDI_STRING},
                               {"issniper", MDI_BOOL},
                               {"effective_vs_armor", MDI_PERCENTAGE},
                               {"fire_interval", MDI_DECIMAL_MULT}};
  ASSERT_EQ(items.size(), 6u) << "an entry without a key is skipped";
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].key, expected[i].key);
    EXPECT_EQ(items[i].type, expected[i].type) << items[i].key;
  }
  EXPECT_FLOAT_EQ(items[5].multiplier, 0.001f);
  EXPECT_EQ(manager.Find("Gun")->DataItemSection().Count(), 7u);
}

TEST_F(ModuleTypeTest, ClassWithoutSectionHasNoDataItems) {
  SIM_ModuleTypeManager& manager = LoadTable("#,name,class", "#,Engine,SIM_EngineComponent\n");
  EXPECT_TRUE(manager.Find("Engine")->dataItems.empty());
}

TEST_F(ModuleTypeTest, UnknownDataItemKindIsFatal) {
  const std::string text = FatalTextOf([&] {
    LoadTable("#,name,class", "#,Gun,SIM_KineticWeaponComponent\n",
              "[SIM_KineticWeaponComponent]\n0 = damage,decimal\n");
  });
  EXPECT_NE(text.find("Unrecognised data type for module data item"), std::string::npos) << text;
}

TEST_F(ModuleTypeTest, CutOffDataItemIsLoggedAndSkipped) {
  SIM_ModuleTypeManager& manager =
      LoadTable("#,name,class,warhead", "#,Gun,SIM_KineticWeaponComponent,BULLET\n",
                "[SIM_KineticWeaponComponent]\n0 = damage\n1 = ammunition,INTEGER\n");
  ASSERT_EQ(manager.Find("Gun")->dataItems.size(), 1u);
  EXPECT_EQ(manager.Find("Gun")->dataItems[0].key, "ammunition");
  EXPECT_EQ(DataProblemCount(), 1);
}

// A misspelt warhead is reported by module name when the catalogue loads (the game
// goes on); the four real ones, and modules that are no weapons, are not.
TEST_F(ModuleTypeTest, UnknownWarheadIsALoadErrorNamingTheModule) {
  SIM_ModuleTypeManager& manager =
      LoadTable("#,name,class,warhead",
                "#,Gun,SIM_KineticWeaponComponent,BULLET\n#,Laser,SIM_BeamLaserComponent,ENERGY\n"
                "#,Rocket,SIM_MissileLauncherComponent,EXPLOSIVE\n#,Flamer,SIM_FlamethrowerComponent,FLAMES\n"
                "#,Plate,SIM_ArmorComponent,\n#,Mortar,SIM_KineticWeaponComponent,Explosive\n",
                "");
  EXPECT_EQ(manager.Count(), 6u);
  EXPECT_EQ(DataProblemCount(), 1);
  EXPECT_NE(LastDataProblem().find("[Mortar]"), std::string::npos) << LastDataProblem();
  EXPECT_NE(LastDataProblem().find("Explosive"), std::string::npos);
}

TEST_F(ModuleTypeTest, TableCellRules) {
  struct Case {
    const char* what;
    const char* header;
    const char* row;
    const char* key;
    bool present;
    const char* value;
  };
  const Case cases[] = {
      {"quoted comma is one cell", "#,name,sound", "#,A,\"x.ogg,y.ogg\"", "sound", true, "x.ogg,y.ogg"},
      {"empty cell is skipped", "#,name,cost", "#,A,", "cost", false, ""},
      {"hash cell is skipped", "#,name,cost", "#,A,#5", "cost", false, ""},
      {"slash column is not stored", "#,name,/note", "#,A,remark", "/note", false, ""},
      {"CRLF leaves no carriage return", "#,name,cost\r", "#,A,7\r", "cost", true, "7"},
      {"cells past the header are ignored", "#,name", "#,A,extra,more", "extra", false, ""},
  };
  for (const Case& c : cases) {
    SIM_ModuleTypeManager::Get().Clear();
    ResetDataProblemCount();
    SIM_ModuleTypeManager& manager = LoadTable(c.header, std::string(c.row) + "\n");
    ASSERT_EQ(manager.Count(), 1u) << c.what;
    const SettingsFile& data = manager.At(0)->ModuleData();
    EXPECT_EQ(data.HasKey(c.key), c.present) << c.what;
    EXPECT_EQ(data.GetString(c.key), c.value) << c.what;
    EXPECT_EQ(manager.At(0)->name, "A") << c.what;
  }
  EXPECT_EQ(DataProblemCount(), 1) << "the over-long row is reported";
}

TEST_F(ModuleTypeTest, EmptyRowStillMakesAModuleAndMissingNumbersReadZero) {
  SIM_ModuleTypeManager& manager = LoadTable("#,name,cost,weight", "#,,,\n#,Gun,,\n#,,,,\n");
  ASSERT_EQ(manager.Count(), 3u);
  EXPECT_EQ(manager.At(0)->name, "");
  EXPECT_FLOAT_EQ(manager.At(1)->cost, 0.0f);
  EXPECT_FLOAT_EQ(manager.At(1)->weight, 0.0f);
  EXPECT_EQ(manager.At(0)->ModuleData().Count(), 0u);
}

TEST_F(ModuleTypeTest, DuplicateNamesFindTheFirst) {
  SIM_ModuleTypeManager& manager = LoadTable("#,name,cost", "#,Gun,1\n#,Gun,2\n");
  EXPECT_FLOAT_EQ(manager.Find("Gun")->cost, 1.0f);
}

TEST_F(ModuleTypeTest, SoundsCycleInFileOrder) {
  SIM_ModuleTypeManager& manager = LoadTable("#,name,sound", "#,Gun,\"a.ogg,b.ogg\"\n#,Quiet,\n");
  SIM_ModuleType& gun = *manager.Find("Gun");
  EXPECT_EQ(gun.NextSound(), "a.ogg");
  EXPECT_EQ(gun.NextSound(), "b.ogg");
  EXPECT_EQ(gun.NextSound(), "a.ogg");
  EXPECT_EQ(gun.NextSound(), "b.ogg");
  EXPECT_EQ(manager.Find("Quiet")->NextSound(), "");
}

TEST_F(ModuleTypeTest, WeaponClassesAndDamageModifierKeys) {
  struct Case {
    const char* cls;
    bool weapon;
  };
  const Case cases[] = {{"SIM_BeamLaserComponent", true},     {"SIM_FlamethrowerComponent", true},
                        {"SIM_KineticWeaponComponent", true}, {"SIM_MissileLauncherComponent", true},
                        {"SIM_ArmorComponent", false},        {"SIM_VariableComponent", false},
                        {"sim_kineticweaponcomponent", false}};
  std::string rows;
  for (const Case& c : cases) rows += std::string("#,") + c.cls + "," + c.cls + "\n";
  SIM_ModuleTypeManager& manager = LoadTable("#,name,class", rows, "");
  for (const Case& c : cases) EXPECT_EQ(manager.Find(c.cls)->isWeapon, c.weapon) << c.cls;

  EXPECT_EQ(DamageModifierKeys().size(), 7u);
  for (const std::string& key : DamageModifierKeys()) EXPECT_TRUE(IsDamageModifierKey(key)) << key;
  EXPECT_FALSE(IsDamageModifierKey("damage"));
  EXPECT_FALSE(IsDamageModifierKey("Hit_vs_tank"));
}

TEST_F(ModuleTypeTest, MissingTableGivesAnEmptyCatalogue) {
  SIM_ModuleTypeManager& manager = SIM_ModuleTypeManager::Get();
  manager.LoadFrom(UserFile("nothing.csv"), UserFile("nothing.txt"));
  EXPECT_EQ(manager.Count(), 0u);
  EXPECT_EQ(manager.Find(""), nullptr);
}

}  // namespace
