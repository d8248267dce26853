// The battle world's building blocks: render objects with their zoom window and children,
// the parallax projection, the fade by zoom, the ground props' batches and searchlights,
// the blood splats, and the art every shipped map needs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/RenderObject.h"
#include "engine/D3DEngine.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"
#include "support/NullDeviceFixture.h"

namespace {

class Probe : public GUI_BS_RenderObject {
 public:
  explicit Probe(int l, int* draws = nullptr) : draws_(draws) { layer = l; }
  void Draw() override {
    if (draws_) ++*draws_;
  }

 private:
  int* draws_;
};

TEST(RenderObject, FadesInAndOutOverOneZoomUnit) {
  struct Case {
    float from, until, zoom;
    bool visible;
    float fade;
  } cases[] = {
      {1.5f, -1.0f, 1.4f, false, 1.0f}, {1.0f, -1.0f, 1.25f, true, 0.25f}, {1.0f, -1.0f, 2.5f, true, 1.0f},
      {0.0f, 3.0f, 2.5f, true, 0.5f},   {0.0f, 3.0f, 3.5f, true, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " " + std::to_string(c.until) + " at " + std::to_string(c.zoom));
    GUI_BS_Map::Instance().zoom = c.zoom;
    GUI_BS_RenderObject o;
    o.zoomFrom = c.from;
    o.zoomUntil = c.until;
    EXPECT_EQ(o.UpdateFade(), c.visible);
    EXPECT_FLOAT_EQ(o.fade, c.fade);
  }
}

TEST(RenderObject, ChildrenDrawByLayerAndNeverOutliveTheirOwner) {
  GUI_BS_Map::Instance().zoom = 1.0f;
  int lower = 0, upper = 0;
  auto owner = std::make_unique<GUI_BS_RenderObject>();
  auto a = std::make_unique<Probe>(1, &upper);
  auto b = std::make_unique<Probe>(1, &upper);
  GUI_BS_RenderObject::Attach(a.get(), owner.get());
  GUI_BS_RenderObject::Attach(b.get(), owner.get());
  EXPECT_TRUE(owner->noChildrenOnLayer[0]) << "only upper children: the lower pass is skipped";
  EXPECT_FALSE(owner->noChildrenOnLayer[1]);
  owner->DrawChildrenOfLayer(0);
  owner->DrawChildrenOfLayer(1);
  EXPECT_EQ(upper, 2);
  auto c = std::make_unique<Probe>(0, &lower);
  GUI_BS_RenderObject::Attach(c.get(), owner.get());
  owner->DrawChildrenOfLayer(0);
  EXPECT_EQ(lower, 1);
  // A deleted child leaves its owner's list; the flags follow.
  c.reset();
  EXPECT_EQ(owner->children.size(), 2u);
  EXPECT_TRUE(owner->noChildrenOnLayer[0]);
  // The zoom window hides the children too.
  owner->zoomFrom = 1.5f;
  owner->Draw();
  EXPECT_EQ(upper, 2);
  owner->zoomFrom = -1.0f;
  owner->Draw();
  EXPECT_EQ(upper, 4);
  // The owner goes first: the children no longer point at it and go safely later.
  owner.reset();
  EXPECT_EQ(a->owner, nullptr);
  EXPECT_EQ(b->owner, nullptr);
  a.reset();
  b.reset();
}

TEST(RenderObject, AtTheCameraCentreEveryParallaxProjectsToTheScreenCentre) {
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.cameraX = 1234.0f;
  map.cameraY = 567.0f;
  map.zoom = 1.7f;
  const float w = GetRenderDevice().ScreenWidth() * 0.5f, h = GetRenderDevice().ScreenHeight() * 0.5f;
  for (float parallax : {0.5f, 1.0f, 1.6f}) {
    GUI_BS_3DWorldObject o;
    o.worldX = 1234.0f;
    o.worldY = 567.0f;
    o.parallax = parallax;
    o.UpdateScreenPos();
    EXPECT_FLOAT_EQ(o.screenX, w);
    EXPECT_FLOAT_EQ(o.screenY, h);
    o.worldX += 10.0f;
    o.UpdateScreenPos();
    EXPECT_FLOAT_EQ(o.screenX, w + 10.0f * parallax * 1.7f) << "higher objects move faster";
  }
}

TEST(FadeByZoom, DetailFadesInOverABandAboveTheThreshold) {
  FadeThreshold t;  // 0.5
  EXPECT_FLOAT_EQ(FadeByZoomAt(0.4f, t), 0.0f);
  EXPECT_FLOAT_EQ(FadeByZoomAt(0.6f, t), 0.5f);
  EXPECT_FLOAT_EQ(FadeByZoomAt(0.75f, t), 1.0f);
  // Fast frames: after 62 frames the target falls 0.05 a frame to 0 and current follows.
  for (int i = 0; i < 62; ++i) t.Step();
  EXPECT_FLOAT_EQ(t.target, 0.5f);
  for (int i = 0; i < 10; ++i) t.Step();
  EXPECT_NEAR(t.target, 0.0f, 1e-6);
  EXPECT_NEAR(t.current, 0.5f - 10 * 0.005f, 1e-5);
}

class GroundPropTest : public zt_test::NullDeviceTest {
 protected:
  static int lights;
  static void* Add(GUI_BS_GroundProp*, float, float, int, int) {
    ++lights;
    return new int(0);
  }
  static void Remove(void* s) {
    --lights;
    delete static_cast<int*>(s);
  }
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    lights = 0;
    GetGroundPropSearchlightHooks() = {Add, Remove};
  }
  void TearDown() override {
    ClearGroundLayers();
    GetGroundPropSearchlightHooks() = {};
    zt_test::NullDeviceTest::TearDown();
  }
  GUI_BS_GroundProp* Prop(SIM_PropType* type, float x, float y) {
    auto* p = new GUI_BS_GroundProp();
    GroundPropDesc d;
    d.x = x;
    d.y = y;
    d.size = 40.0f;
    d.propType = type;
    p->InitFromDesc(d);
    p->ownedByUnit = false;  // the layers own it
    GroundPropAddToLayers(p, true);
    return p;
  }
};
int GroundPropTest::lights = 0;

TEST_F(GroundPropTest, PropsOfOneTextureShareABatchInOrderOfFirstAppearance) {
  SIM_PropTypeManager& types = SIM_PropTypeManager::Get();
  SIM_PropType* oak = types.Find("tree_oak");
  SIM_PropType* pine = types.Find("tree_pine");
  SIM_PropType* drums = types.Find("fuel_drums");
  ASSERT_TRUE(oak && pine && drums);
  ASSERT_EQ(oak->texture, pine->texture);
  ASSERT_NE(oak->texture, drums->texture);
  Prop(oak, 100, 100);
  Prop(drums, 200, 100);
  Prop(pine, 300, 100);
  const int g = GUI_BS_GroundProp::GROUP_TOP;
  ASSERT_EQ(oak->propHeight, g);
  // fuel drums may sit in another group; count the top group's batches by texture.
  std::vector<std::string> names;
  for (const GroundBatch& b : GetGroundLayers().groupBatches[g]) names.push_back(b.textureName);
  EXPECT_EQ(names.front(), oak->texture);
  EXPECT_EQ(GetGroundLayers().groupBatches[g].front().props.size(), 2u)
      << "oak and pine share the nature sheet";
}

TEST_F(GroundPropTest, ASearchlightComesBackOnceWhenTheBuildingGoes) {
  SIM_PropType& type = *SIM_PropTypeManager::Get().Find("road_sign");
  const std::vector<std::string> kept = type.attachments;
  type.attachments = {"SEARCHLIGHT,120,400"};
  GUI_BS_GroundProp* near = Prop(&type, 1000, 1000);
  GUI_BS_GroundProp* far = Prop(&type, 1500, 1000);
  type.attachments = kept;
  EXPECT_EQ(lights, 2);
  // A building covering both takes them (and their lights) away.
  GroundLayers& layers = GetGroundLayers();
  for (GUI_BS_GroundProp* p : {near, far}) {
    GroundPropRemoveFromLayers(p);
    p->RemoveSearchlight();
    layers.removedProps.push_back(p);
  }
  EXPECT_EQ(lights, 0);
  // Restoring near one square: only that prop comes back, with exactly one light, however often.
  type.attachments = {"SEARCHLIGHT,120,400"};
  RestoreGroundPropsAt(1000, 1000);
  RestoreGroundPropsAt(1000, 1000);
  RestoreGroundPropsAt(1000, 1000);
  type.attachments = kept;
  EXPECT_EQ(lights, 1);
  EXPECT_EQ(layers.removedProps.size(), 1u);
  ClearGroundLayers();
  EXPECT_EQ(lights, 0) << "deleting props deletes their searchlights";
}

TEST_F(GroundPropTest, ShadowsAreDrawnSofterThanTheirPropsAndOnlyWithTheOption) {
  SIM_PropType* oak = SIM_PropTypeManager::Get().Find("tree_oak");
  ASSERT_NE(oak, nullptr);
  Prop(oak, 500, 500);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.mapWidth = map.mapHeight = 4000.0f;
  map.zoom = 1.0f;
  map.cameraX = 500.0f;
  map.cameraY = 500.0f;
  map.UpdateViewRect();
  for (float shadows : {1.0f, 0.0f}) {
    SIM_Options::Get().SetFloat("SHADOWS", shadows);
    dev().ClearRecord();
    engine().BeginScene();
    DrawTopGroup();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
    int soft = 0, sharp = 0;
    for (const platform::DrawRecord& d : dev().draws) (d.mipLodBias > 1.7f ? soft : sharp) += 1;
    EXPECT_EQ(soft, shadows > 0.0f ? 1 : 0) << "shadows " << shadows;
    // The prop itself comes after its shadow: the bias must not leak into it.
    EXPECT_EQ(sharp, 1);
    ASSERT_FALSE(dev().draws.empty());
    EXPECT_FLOAT_EQ(dev().draws.back().mipLodBias, 0.0f);
  }
}

TEST_F(GroundPropTest, BloodNeedsTheOptionAndFadesInWithZoom) {
  BloodSplatLayer& blood = BloodSplatLayer::Get();
  SIM_Options::Get().SetFloat("BLOOD", 0.0f);
  AddBloodSplat(100, 100);
  EXPECT_TRUE(blood.splats.empty());
  SIM_Options::Get().SetFloat("BLOOD", 1.0f);
  AddBloodSplat(100, 100);
  ASSERT_EQ(blood.splats.size(), 1u);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = 0.6f;
  map.cameraX = 100.0f;
  map.cameraY = 100.0f;
  map.UpdateViewRect();
  blood.Draw();
  EXPECT_FLOAT_EQ(blood.fade, 0.5f) << "half strength at zoom 0.6";
  blood.Clear();
}

// Every picture the shipped catalogues (and the searchlight props' lamp heads) name is built
// into data/, spelled exactly.
TEST(BattleContent, EveryGroundPropAndEmplacementPictureExists) {
  std::set<std::string> names = {"blood.dds", "searchlight_head.dds"};
  for (const auto& g : SIM_GroundTextureManager::Get().All()) names.insert(g->texture);
  for (SIM_PropType* p : SIM_PropTypeManager::Get().All())
    if (!p->texture.empty()) names.insert(p->texture);
  for (const auto& e : SIM_EmplacementManager::Get().All()) names.insert(e->texture);
  EXPECT_GE(names.size(), 8u);
  std::set<std::string> present;
  for (const auto& entry : std::filesystem::recursive_directory_iterator("data/bitmaps"))
    present.insert(entry.path().filename().string());
  for (const std::string& n : names) EXPECT_EQ(present.count(n), 1u) << n << " is missing from data/bitmaps";
}

}  // namespace
