// Unlockables: registration, the unlock screen's choice and free lists, lock state.
#include "SimdataTestSupport.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitHull.h"
#include "simdata/Unlockable.h"

namespace {
using namespace simdata_test;

int g_extraLoads = 0;
SIM_Unlockable* g_airStrike = nullptr;
void LoadAirStrikes() {
  ++g_extraLoads;
  if (!g_airStrike) {
    g_airStrike = new SIM_Unlockable();
    g_airStrike->Set("strike_napalm", "Napalm", SIM_Unlockable::KIND_AIRSTRIKE);
  }
}

class UnlockablesTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    UseFixtureFolder();
    WriteText(
        "data/modules/unit modules.csv",
        "#,name,guiname,class\n#,gun,Gun,SIM_KineticWeaponComponent\n#,laser,Laser,SIM_BeamLaserComponent\n"
        "#,plate,Plate,SIM_ArmorComponent\n");
    WriteText("data/hulls/hulls.csv", "#,name,guiname,sizetype\n#,walker,Walker,MECH\n");
    WriteText("data/variants/walker_default.txt", "[config]\nname = walker_default\n");
  }
  void TearDown() override {
    SIM_UnlocksManager::UnregisterCatalogueLoader(&LoadAirStrikes);
    delete g_airStrike;
    g_airStrike = nullptr;
    SimdataTest::TearDown();
  }
};

TEST_F(UnlockablesTest, ChoicesLeaveOutWhatIsUnlockedAndLoadEveryCatalogueFirst) {
  WriteText("data/unlocks.txt", "[defaults]\ngun\n\n[choices]\ngun\nlaser\nwalker\n\n[free]\nplate\n");
  SIM_UnlocksManager& unlocks = SIM_UnlocksManager::Get();
  // Nothing is loaded yet: the hull and the module types must load themselves.
  unlocks.Load();
  ASSERT_EQ(unlocks.Choices().size(), 2u);
  EXPECT_EQ(unlocks.Choices()[0]->name, "laser");
  EXPECT_EQ(unlocks.Choices()[1]->name, "walker");
  EXPECT_EQ(unlocks.Choices()[1]->number, SIM_Unlockable::KIND_HULL);
  ASSERT_EQ(unlocks.Free().size(), 1u);
  EXPECT_EQ(unlocks.Free()[0]->name, "plate");

  SIM_HighScores::Get().AddUnlock("laser");
  unlocks.Load();
  EXPECT_EQ(unlocks.Choices().size(), 1u);
}

TEST_F(UnlockablesTest, UnknownNameIsFatal) {
  WriteText("data/unlocks.txt", "[defaults]\n\n[choices]\ncannon\n");
  const std::string text = FatalTextOf([] { SIM_UnlocksManager::Get().Load(); });
  EXPECT_NE(text.find("Unlock not found [cannon]"), std::string::npos) << text;
}

TEST_F(UnlockablesTest, LockStateIsTakenAtSetAndRefreshedOnlyThen) {
  WriteText("data/unlocks.txt", "[defaults]\ngun\n");
  SIM_ModuleTypeManager::Get().Load();
  SIM_ModuleType* gun = SIM_ModuleTypeManager::Get().Find("gun");
  SIM_ModuleType* laser = SIM_ModuleTypeManager::Get().Find("laser");
  EXPECT_FALSE(gun->unlockable.IsLocked());
  EXPECT_TRUE(laser->unlockable.IsLocked());
  SIM_HighScores::Get().AddUnlock("laser");
  EXPECT_TRUE(laser->unlockable.IsLocked()) << "stale until the next Set";
  laser->unlockable.RefreshLocked();
  EXPECT_FALSE(laser->unlockable.IsLocked());
}

TEST_F(UnlockablesTest, RegisteredCatalogueLoadersRunBeforeLookups) {
  WriteText("data/unlocks.txt", "[defaults]\n\n[choices]\nstrike_napalm\n");
  SIM_UnlocksManager::RegisterCatalogueLoader(&LoadAirStrikes);
  SIM_UnlocksManager& unlocks = SIM_UnlocksManager::Get();
  unlocks.Load();
  ASSERT_EQ(unlocks.Choices().size(), 1u);
  EXPECT_EQ(unlocks.Choices()[0], g_airStrike);
  SIM_HighScores::Get().UnlockAll({"strike_napalm", "nothing"});
  EXPECT_TRUE(SIM_HighScores::Get().IsUnlocked("strike_napalm"));
  EXPECT_FALSE(SIM_HighScores::Get().IsUnlocked("nothing"));
  EXPECT_GE(g_extraLoads, 2);
  // A destroyed record leaves every list.
  delete g_airStrike;
  g_airStrike = nullptr;
  EXPECT_EQ(unlocks.TryFind("strike_napalm"), nullptr);
  EXPECT_TRUE(unlocks.Choices().empty());
}

TEST_F(UnlockablesTest, DescriptionIsBuiltFromTheLabelForNumberZeroOnly) {
  WriteText("data/unlocks.txt", "[defaults]\n");
  SIM_Unlockable::SetDescriptionBuilder([](const std::string& label) { return "About " + label; });
  SIM_Unlockable hull;
  hull.Set("walker", "Walker", SIM_Unlockable::KIND_HULL);
  SIM_Unlockable module;
  module.Set("gun", "Gun", SIM_Unlockable::KIND_MODULE);
  EXPECT_EQ(hull.GetDescription(), "About Walker");
  EXPECT_EQ(module.GetDescription(), "");
  hull.Set("walker", "Strider", SIM_Unlockable::KIND_HULL);
  EXPECT_EQ(hull.GetDescription(), "About Strider");
  SIM_Unlockable::SetDescriptionBuilder(nullptr);
}

}  // namespace
