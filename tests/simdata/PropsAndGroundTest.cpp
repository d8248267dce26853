// Prop types, emplacements and ground textures, read from a fixture data folder.
#include "SimdataTestSupport.h"
#include "engine/Random.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/PropType.h"

namespace {
using namespace simdata_test;

class PropsAndGroundTest : public SimdataTest {
 protected:
  void SetUp() override {
    SimdataTest::SetUp();
    UseFixtureFolder();
  }
};

TEST_F(PropsAndGroundTest, PropFieldsModesAndHeights) {
  WriteText("data/props/a_tree.txt",
            "[config]\nName = tree\nTexture = nature.dds\nUVLeft = 0.25\nUVBottom = 0.5\nDefaultWidth = 90\n"
            "DefaultHeight = 80\nShadowHeight = 30\nRandomSize = 1\nMinSize = 0.8\nMaxSize = 1.3\n"
            "propheight = HIGH\n\n[attachments]\n0 = light,1,2\n");
  WriteText("data/props/b_rock.txt",
            "[config]\nName = rock\nRandomSize = 0\nMinSize = 0.5\npropheight = GROUND\nhidden = 2\n");
  WriteText("data/props/c_forest.txt",
            "[config]\nName = forest\nMode = COLLECTION\npropheight =\n\n[members]\ntree\nrock\ntree\n");
  WriteText("data/props/d_brush.txt",
            "[config]\nName = brush\nMode = BRUSH\nhidden = 0\n\n[members]\nrock\n");
  SIM_PropTypeManager& props = SIM_PropTypeManager::Get();
  const SIM_PropType& tree = *props.Find("tree");
  EXPECT_EQ(tree.texture, "nature.dds");
  EXPECT_FLOAT_EQ(tree.uvLeft, 0.25f);
  EXPECT_FLOAT_EQ(tree.uvBottom, 0.5f);
  EXPECT_FLOAT_EQ(tree.defaultWidth, 90.0f);
  EXPECT_FLOAT_EQ(tree.shadowHeight, 30.0f);
  EXPECT_TRUE(tree.randomSize);
  EXPECT_FLOAT_EQ(tree.minSize, 0.8f);
  EXPECT_FLOAT_EQ(tree.maxSize, 1.3f);
  EXPECT_EQ(tree.propHeight, PROPHEIGHT_HIGH);
  EXPECT_EQ(tree.attachments, std::vector<std::string>{"light,1,2"});
  EXPECT_FALSE(tree.hidden);

  const SIM_PropType& rock = *props.Find("rock");
  EXPECT_FLOAT_EQ(rock.minSize, 1.0f) << "sizes are read only with random size on";
  EXPECT_FLOAT_EQ(rock.maxSize, 1.0f);
  EXPECT_TRUE(rock.hidden);
  EXPECT_EQ(rock.mode, PROPMODE_SINGLE);

  const SIM_PropType& forest = *props.Find("forest");
  EXPECT_EQ(forest.mode, PROPMODE_COLLECTION);
  EXPECT_EQ(forest.propHeight, PROPHEIGHT_GROUND);
  EXPECT_EQ(forest.members, (std::vector<std::string>{"tree", "rock", "tree"}));
  EXPECT_EQ(props.Find("brush")->mode, PROPMODE_BRUSH);
  EXPECT_FALSE(props.Find("brush")->hidden);
  EXPECT_EQ(props.All().size(), 4u);
  EXPECT_EQ(props.All()[0]->name, "tree") << "files load in name order";

  EngineSrand(3);
  for (int i = 0; i < 20; ++i) {
    const std::string member = forest.PickMember();
    EXPECT_TRUE(member == "tree" || member == "rock") << member;
  }
  EXPECT_EQ(rock.PickMember(), "") << "a single prop has nothing to pick";
  EXPECT_EQ(DataProblemCount(), 1);

  EXPECT_NE(FatalTextOf([&] { props.Find("Tree"); }).find("Failed to find prop [Tree]"), std::string::npos);
  EXPECT_EQ(props.TryFind("Tree"), nullptr);
}

TEST_F(PropsAndGroundTest, SinglePropWithABadHeightIsFatalAndLeavesNoDanglingEntry) {
  WriteText("data/props/a.txt", "[config]\nName = a\npropheight = ground\n");
  EXPECT_NE(FatalTextOf([&] { SIM_PropTypeManager::Get().Load(); }).find("Invalid prop height"),
            std::string::npos);
  // The failed prop type left the manager's list: the reset after the test deletes nothing twice.
}

TEST_F(PropsAndGroundTest, EmplacementsPullTheirRectangleInByHalfATexel) {
  WriteText("data/emplacements/trench.txt",
            "[config]\nname = trench\ntexture = emp.dds\ncoverbonus = 0.35\nuv = 0,0,0.5,0.25\n\n"
            "[offsets]\n0 = -60,-20\n1 = 0,10\n2 = 60,-20\n");
  WriteText("data/emplacements/broken.txt", "[config]\nname = broken\nuv = 0.25\n\n[offsets]\n0 = 5\n");
  SIM_EmplacementManager& manager = SIM_EmplacementManager::Get();
  const EmplacementType* trench = manager.Find("trench");
  ASSERT_NE(trench, nullptr);
  EXPECT_EQ(trench->texture, "emp.dds");
  EXPECT_EQ(trench->file, "data/emplacements/trench.txt");
  EXPECT_FLOAT_EQ(trench->coverBonus, 0.35f);
  EXPECT_FLOAT_EQ(trench->uvLeft, 0.0009765625f);
  EXPECT_FLOAT_EQ(trench->uvTop, 0.001953125f);
  EXPECT_FLOAT_EQ(trench->uvRight, 0.4990234375f);
  EXPECT_FLOAT_EQ(trench->uvBottom, 0.248046875f);
  ASSERT_EQ(trench->offsets.size(), 3u);
  EXPECT_EQ(trench->offsets[1], std::make_pair(0.0f, 10.0f));
  EXPECT_EQ(trench->offsets[2], std::make_pair(60.0f, -20.0f));
  EXPECT_EQ(manager.Find("bunker"), nullptr);

  const EmplacementType* broken = manager.Find("broken");
  ASSERT_NE(broken, nullptr);
  EXPECT_FLOAT_EQ(broken->uvLeft, 0.25f + 0.0009765625f);
  EXPECT_EQ(broken->offsets.at(0), std::make_pair(5.0f, 0.0f));
  EXPECT_EQ(DataProblemCount(), 2);
}

TEST_F(PropsAndGroundTest, GroundTexturesFirstMatchAndSafeFallback) {
  WriteText(
      "data/groundtextures/textures.ini",
      "[textures]\n0 = grass,g.jpg,0,0,0.5,0.5\n1 = bare,b.jpg\n2 = grass,other.jpg,0,0,1,1\n3 = ,x.jpg\n");
  SIM_GroundTextureManager& grounds = SIM_GroundTextureManager::Get();
  ASSERT_EQ(grounds.All().size(), 3u);
  EXPECT_EQ(grounds.Find("grass")->texture, "g.jpg");
  EXPECT_FLOAT_EQ(grounds.Find("grass")->right, 0.5f);
  const GroundTexture* bare = grounds.Find("bare");
  EXPECT_EQ(bare->left + bare->top + bare->right + bare->bottom, 0.0f);
  EXPECT_EQ(DataProblemCount(), 1) << "the nameless entry";
  // A scenario from another player may name a ground we do not ship.
  EXPECT_EQ(grounds.Find("lava"), grounds.All()[0].get());
  EXPECT_NE(DebugLogText().find("Failed to find ground texture [lava]"), std::string::npos);
  EXPECT_EQ(grounds.TryFind("lava"), nullptr);
}

TEST_F(PropsAndGroundTest, EmptyGroundCatalogueIsFatal) {
  const std::string text = FatalTextOf([] { SIM_GroundTextureManager::Get().Find("grass"); });
  EXPECT_NE(text.find("Failed to find ground texture [grass]"), std::string::npos);
}

}  // namespace
