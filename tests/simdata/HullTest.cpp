// Hulls and their variants, read from a fixture data folder.
#include <cmath>

#include "SimdataTestSupport.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "simdata/PropType.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
using namespace simdata_test;

const char* const kHullHeader =
    "#,name,guiname,description,sizetype,modulesize,size,hitpoints,weight,victorypoints,cost,"
    "shield_size_scalar,recoil,explosions\n";

class HullTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    UseFixtureFolder();
    EngineSrand(7);
    WriteText("data/unlocks.txt", "[defaults]\nT1\n");
    WriteText("data/props/sandbags.txt", "[config]\nName = sandbags\nTexture = p.dds\npropheight = MIDDLE\n");
  }
  void Hulls(const std::string& rows) { WriteText("data/hulls/hulls.csv", std::string(kHullHeader) + rows); }
  SIM_UnitHull* Hull(const std::string& name) { return SIM_UnitHullManager::Get().GetHull(name); }
};

TEST_F(HullTest, RowFieldsAndSizeTypes) {
  Hulls(
      "#,T1,Tank One,DESC_T1,TANK,MEDIUMTANK,100,300,250,60,130,1.2,MOVE,\"big,small\"\n"
      "#,N1,No Size,,,LIGHTMECH,50,10,10,1,1,0,Move,\n"
      "#,S1,Squash,,INFANTRY,INFANTRY,24,30,80,5,10,1,SQUASH,\n");
  SIM_UnitHull* t1 = Hull("T1");
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->guiName, "Tank One");
  EXPECT_EQ(t1->description, "DESC_T1");
  EXPECT_EQ(t1->sizeType, SIZETYPE_TANK);
  EXPECT_EQ(t1->moduleSize, "MEDIUMTANK");
  EXPECT_FLOAT_EQ(t1->size, 100.0f);
  EXPECT_FLOAT_EQ(t1->hitPoints, 300.0f);
  EXPECT_FLOAT_EQ(t1->weight, 250.0f);
  EXPECT_FLOAT_EQ(t1->victoryPoints, 60.0f);
  EXPECT_FLOAT_EQ(t1->cost, 130.0f);
  EXPECT_FLOAT_EQ(t1->shieldSizeScalar, 1.2f);
  EXPECT_EQ(t1->recoilMode, RECOIL_MOVE);
  EXPECT_EQ(t1->explosions, (std::vector<std::string>{"big", "small"}));
  EXPECT_EQ(t1->file, "data/hulls/T1.txt");
  EXPECT_EQ(t1->unlockable.number, SIM_Unlockable::KIND_HULL);
  EXPECT_EQ(Hull("N1")->sizeType, SIZETYPE_NONE);
  EXPECT_EQ(Hull("N1")->recoilMode, RECOIL_NONE) << "recoil text is case-sensitive";
  EXPECT_TRUE(Hull("N1")->explosions.empty());
  EXPECT_EQ(Hull("S1")->recoilMode, RECOIL_SQUASH);
  EXPECT_EQ(SIM_UnitHullManager::Get().FindHullByFile("data/hulls/S1.txt"), Hull("S1"));
  EXPECT_EQ(Hull("t1"), nullptr);

  const SIM_UnitHullManager& manager = SIM_UnitHullManager::Get();
  struct Case {
    const char* text;
    int index;
  };
  const Case cases[] = {{"INFANTRY", 0}, {"MECH", 1}, {"TANK", 2}, {"BUILDING", 3}, {"", 4}, {"tank", -1}};
  for (const Case& c : cases) EXPECT_EQ(manager.TryGetSizeType(c.text), c.index) << c.text;
  EXPECT_NE(FatalTextOf([&] { manager.GetSizeType("tank"); }).find("Invalid size type: tank"),
            std::string::npos);
}

TEST_F(HullTest, UnknownSizeTypeInTheCatalogueIsFatal) {
  Hulls("#,T1,Tank,,tank,MEDIUMTANK,100,1,1,1,1,1,,\n");
  EXPECT_NE(FatalTextOf([&] { Hull("T1"); }).find("Invalid size type: tank"), std::string::npos);
}

TEST_F(HullTest, SlotsTargetsAndVariantsFromTheHullFile) {
  Hulls("#,T1,Tank,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n");
  WriteText("data/hulls/T1.txt",
            "[slots]\n0 = WEAPON\n1 =\n2 = AUGMENTATION\n\n"
            "[targets]\n0 = 192,64,0,turret\n\n"
            "[variants]\n0 = T1_a\n1 = x\n2 = T1_b\n");
  WriteText("data/variants/T1_a.txt", "[config]\nname = T1_a\nguiname = A\n");
  WriteText("data/variants/T1_b.txt", "[config]\nname = T1_b\nguiname = B\n");
  SIM_UnitHull* hull = Hull("T1");
  ASSERT_EQ(hull->slots.size(), 2u);
  EXPECT_EQ(hull->slots[0].text, "WEAPON");
  EXPECT_EQ(hull->slots[1].text, "AUGMENTATION");
  EXPECT_EQ(hull->slots[1].index, 1);
  EXPECT_TRUE(hull->slots[1].IsAugmentation());
  ASSERT_EQ(hull->targets.size(), 1u);
  EXPECT_FLOAT_EQ(hull->targets[0]->x, 25.0f);
  EXPECT_FLOAT_EQ(hull->targets[0]->y, -25.0f);
  EXPECT_EQ(hull->targets[0]->name, "turret");
  ASSERT_EQ(hull->variants.size(), 2u) << "names shorter than two characters are skipped";
  EXPECT_EQ(hull->FindVariant("T1_b")->guiName, "B");
  EXPECT_EQ(hull->variants[0]->GetHull(), hull);
  EXPECT_EQ(FindVariant("T1_a"), hull->variants[0]);
  EXPECT_NE(FatalTextOf([&] { hull->FindVariant("T1_c"); }).find("failed to find variant: [T1_c]"),
            std::string::npos);
  EXPECT_NE(FatalTextOf([&] { FindVariant("T1_c"); }).find("Failed to find variant: T1_c"),
            std::string::npos);
  EXPECT_EQ(TryFindVariant("T1_c"), nullptr);
}

TEST_F(HullTest, MissingHullFileGivesOneCentredTargetAndTheDefaultVariant) {
  Hulls("#,T1,Tank,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n");
  WriteText("data/variants/T1_default.txt", "[config]\nname = T1_default\n");
  SIM_UnitHull* hull = Hull("T1");
  EXPECT_TRUE(hull->slots.empty());
  ASSERT_EQ(hull->targets.size(), 1u);
  EXPECT_EQ(hull->targets[0]->x, 0.0f);
  EXPECT_EQ(hull->targets[0]->name, "");
  ASSERT_EQ(hull->variants.size(), 1u);
  EXPECT_EQ(hull->variants[0]->name, "T1_default");
}

TEST_F(HullTest, CutOffAimPointIsLoggedAndReadsSafely) {
  Hulls("#,T1,Tank,,TANK,MEDIUMTANK,256,1,1,1,1,1,,\n");
  WriteText("data/hulls/T1.txt", "[targets]\n0 = 200\n");
  SIM_UnitHull* hull = Hull("T1");
  ASSERT_EQ(hull->targets.size(), 1u);
  EXPECT_FLOAT_EQ(hull->targets[0]->x, 72.0f);
  EXPECT_FLOAT_EQ(hull->targets[0]->y, 0.0f);
  EXPECT_GE(DataProblemCount(), 1);
}

TEST_F(HullTest, NamelessHullIsAFailedCheckNotAStop) {
  Hulls("#,,,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n#,T2,Tank Two,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n");
  EXPECT_NE(Hull("T2"), nullptr);
  EXPECT_EQ(DataProblemCount(), 2) << "empty name and empty gui name";
}

TEST_F(HullTest, SaveWritesWholeFileAndReadsBack) {
  Hulls("#,T1,Tank,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n#,Z,Zero,,TANK,MEDIUMTANK,0,1,1,1,1,1,,\n");
  WriteText("data/hulls/T1.txt",
            "[slots]\n0 = WEAPON\n1 = DEFENSE\n[targets]\n0 = 192,64,3,turret\n"
            "[variants]\n0 = T1_a\n");
  WriteText("data/variants/T1_a.txt", "[config]\nname = T1_a\n");
  SIM_UnitHull* hull = Hull("T1");
  ASSERT_TRUE(hull->Save());
  SettingsFile section;
  ASSERT_TRUE(section.LoadSection("data/hulls/T1.txt", "targets"));
  EXPECT_EQ(section.GetString("0"), "192.000000,64.000000,3.000000,turret");
  ASSERT_TRUE(section.LoadSection("data/hulls/T1.txt", "slots"));
  EXPECT_EQ(section.GetString("1"), "DEFENSE");
  ASSERT_TRUE(section.LoadSection("data/hulls/T1.txt", "variants"));
  EXPECT_EQ(section.GetString("0"), "T1_a");
  EXPECT_FALSE(Hull("Z")->Save()) << "a hull of size 0 cannot store its aim points";
}

// ---- variants ----------------------------------------------------------------------

class VariantTest : public HullTest {
 protected:
  SIM_UnitHullVariant* Variant(const std::string& text, float hullSize = 128.0f) {
    Hulls("#,H,Hull,,TANK,MEDIUMTANK," + std::to_string(hullSize) + ",1,1,1,1,1,,\n");
    WriteText("data/hulls/H.txt", "[variants]\n0 = VV\n");
    WriteText("data/variants/VV.txt", "[config]\nname = VV\nguiname = Vee\n\n" + text);
    return Hull("H")->variants.at(0);
  }
};

TEST_F(VariantTest, LayersStopAtTheFirstGapAndAreScaled) {
  SIM_UnitHullVariant* v = Variant(
      "[layer0]\nlayername = tank_chassis\ntexture = t.dds\nsizex = 64\nsizey = 64\noffsetx = -32\n"
      "visible = 1\ndata = 3\ntex_right = 0.25\nhulk = h.dds\n\n"
      "[layer1]\nlayername = tank_turret\nsizex = 300\noffsetx = 10\noffsety = 20\n"
      "hulkuv = 0.5,0,1,0.5\nfiringposmultiplier = 0\n\n"
      "[layer3]\nlayername = never\n");
  ASSERT_EQ(v->layers.size(), 2u);
  const VariantLayer& chassis = v->layers[0];
  EXPECT_FLOAT_EQ(chassis.sizex, 32.0f);
  EXPECT_FLOAT_EQ(chassis.offsetx, -16.0f);
  EXPECT_EQ(chassis.texture, "t.dds");
  EXPECT_EQ(chassis.hulk, "h.dds");
  EXPECT_TRUE(chassis.visible);
  EXPECT_EQ(chassis.data, 3);
  EXPECT_FLOAT_EQ(chassis.texRight, 0.25f);
  EXPECT_FLOAT_EQ(chassis.hulkLeft, 0.0f);
  EXPECT_FLOAT_EQ(chassis.hulkRight, 1.0f);
  EXPECT_FLOAT_EQ(chassis.hulkBottom, 1.0f);
  EXPECT_FLOAT_EQ(chassis.firingPosMultiplier, 1.0f);
  const VariantLayer& turret = v->layers[1];
  EXPECT_FALSE(turret.visible);
  EXPECT_FLOAT_EQ(turret.hulkLeft, 0.5f);
  EXPECT_FLOAT_EQ(turret.hulkBottom, 0.5f);
  EXPECT_FLOAT_EQ(turret.firingPosMultiplier, 0.0f);
  EXPECT_FLOAT_EQ(v->extent, 320.0f) << "2 x |10| + 300, taken before scaling";
  EXPECT_FLOAT_EQ(v->turretOffsetX, 5.0f);
  EXPECT_FLOAT_EQ(v->turretOffsetY, 10.0f);
  EXPECT_EQ(v->guiName, "Vee");
  EXPECT_EQ(v->layerSections.size(), 2u);
}

TEST_F(VariantTest, ExtentStaysAtLeast256AndTheLastTurretLayerSetsTheOffset) {
  SIM_UnitHullVariant* v = Variant(
      "[layer0]\nlayername = mech_turret\nsizex = 64\noffsetx = -32\noffsety = 8\n\n"
      "[layer1]\nlayername = big_turret_top\nsizex = 10\noffsetx = 64\noffsety = -64\n\n");
  EXPECT_FLOAT_EQ(v->extent, 256.0f);
  EXPECT_FLOAT_EQ(v->turretOffsetX, 32.0f);
  EXPECT_FLOAT_EQ(v->turretOffsetY, -32.0f);
}

TEST_F(VariantTest, ColourLayersPointAtTheirBaseLayer) {
  SIM_UnitHullVariant* v = Variant(
      "[layer0]\nlayername = tank_chassis\n\n[layer1]\nlayername = tank_chassis_color\n\n"
      "[layer2]\nlayername = turret_color\n\n[layer3]\nlayername = gunbarrel\ndata = 0\n\n"
      "[layer4]\nlayername = gunbarrel\ndata = 1\n\n");
  EXPECT_EQ(v->layers[1].colourSource, &v->layers[0]);
  EXPECT_EQ(v->layers[0].colourSource, &v->layers[0]);
  EXPECT_EQ(v->layers[2].colourSource, &v->layers[2]) << "no turret_base: it tints itself";
  EXPECT_EQ(DataProblemCount(), 1);
  EXPECT_EQ(v->CountLayersByName("gunbarrel"), 2);
  EXPECT_EQ(v->FindLayerWithData("gunbarrel", 1), &v->layers[4]);
  EXPECT_EQ(v->FindLayerWithData("gunbarrel", 2), nullptr);
  EXPECT_EQ(v->FindLayer("tank_chassis"), &v->layers[0]);
  EXPECT_EQ(v->FindLayer("Tank_chassis"), nullptr);
}

TEST_F(VariantTest, AttachmentsGoToTheirLayerOnly) {
  SIM_UnitHullVariant* v = Variant(
      "[layer0]\nlayername = gunbarrel\n\n"
      "[attachments]\n0 = gunbarrel,0,-60\n1 = missing_layer,1,2\n2 = gunbarrel,5,-60\n");
  EXPECT_EQ(v->layers[0].attachments, (std::vector<std::string>{"gunbarrel,0,-60", "gunbarrel,5,-60"}));
  EXPECT_EQ(DataProblemCount(), 1);
}

TEST_F(VariantTest, PropsAreLookedUpAndShortLinesDefault) {
  SIM_UnitHullVariant* v = Variant("[props]\n0 = sandbags,10,20,-1,90\n1 = sandbags,5\n");
  ASSERT_EQ(v->props.size(), 2u);
  EXPECT_EQ(v->props[0].propType, SIM_PropTypeManager::Get().Find("sandbags"));
  EXPECT_FLOAT_EQ(v->props[0].y, 20.0f);
  EXPECT_FLOAT_EQ(v->props[0].angle, 90.0f);
  EXPECT_FLOAT_EQ(v->props[1].x, 5.0f);
  EXPECT_FLOAT_EQ(v->props[1].size, -1.0f);
  EXPECT_FLOAT_EQ(v->props[1].angle, -1.0f);
  EXPECT_EQ(DataProblemCount(), 1);
}

TEST_F(VariantTest, UnknownPropIsFatal) {
  const std::string text = FatalTextOf([&] { Variant("[props]\n0 = boulder,0,0,1,1\n"); });
  EXPECT_NE(text.find("Prop Type boulder not found"), std::string::npos) << text;
}

TEST_F(VariantTest, MissingVariantFileGivesAnEmptyVariant) {
  Hulls("#,H,Hull,,TANK,MEDIUMTANK,100,1,1,1,1,1,,\n");
  WriteText("data/hulls/H.txt", "[variants]\n0 = nowhere\n");
  SIM_UnitHullVariant* v = Hull("H")->variants.at(0);
  EXPECT_TRUE(v->layers.empty());
  EXPECT_EQ(v->name, "");
  EXPECT_FLOAT_EQ(v->extent, 256.0f);
}

}  // namespace
