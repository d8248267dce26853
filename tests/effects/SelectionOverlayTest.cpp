// The selection overlay: selected units become white silhouettes in "rt_selection",
// which is laid over the battle in amber; with nothing selected neither happens.
#include <gtest/gtest.h>

#include "app/Game.h"
#include "battlescreen/BattleSprites.h"
#include "effects/SelectionOverlay.h"
#include "effects/WorldEffectsFixture.h"
#include "engine/Textures.h"

namespace {

class SelectionOverlayTest : public explosions_test::WorldEffectsTest {
 protected:
  void SetUp() override {
    explosions_test::WorldEffectsTest::SetUp();
    GetGame().RenderTargetWidth = GetGame().RenderTargetHeight = 1024;
    GetGame().CreateRenderTargets();
    selection = engine().FindNamedTexture("rt_selection") ? engine().FindNamedTexture("rt_selection")->Get()
                                                          : nullptr;
    ASSERT_NE(selection, nullptr);
  }
  platform::Texture* selection = nullptr;
};

TEST_F(SelectionOverlayTest, TheTargetIsTheSmallestPowerOfTwoThatHoldsTheScreen) {
  const struct {
    int n, size;
  } rows[] = {{1, 512},     {512, 512},   {513, 1024},  {768, 1024},
              {1024, 1024}, {1280, 2048}, {4096, 4096}, {5000, 4096}};
  for (const auto& r : rows) EXPECT_EQ(SelectionTargetSize(r.n), r.size) << r.n;
  SelectionOverlayInit();
  const GUI_BS_SelectionOverlay& o = GUI_BS_SelectionOverlay::Instance();
  EXPECT_FLOAT_EQ(o.quad[3].u, 1.0f);
  EXPECT_FLOAT_EQ(o.quad[3].v, 0.75f) << "768 of 1024 rows: sampled 1:1";
  EXPECT_FLOAT_EQ(o.quad[3].x, 1024.0f);
  EXPECT_EQ(o.quad[0].colour, 0x66E3B101u) << "amber, part way";
}

TEST_F(SelectionOverlayTest, NothingSelectedDrawsNothing) {
  const auto& draws = Record([] {
    SelectionOverlayQueueSelected();
    SelectionOverlayRender();
    SelectionOverlayDraw();
  });
  EXPECT_TRUE(draws.empty());
  EXPECT_FALSE(GUI_BS_SelectionOverlay::Instance().drawn);
}

TEST_F(SelectionOverlayTest, ASelectedSpriteIsAWhiteSilhouetteInTheTargetThenAmberOnTheScreen) {
  GUI_BS_Sprite sprite;
  sprite.mainQuad.texture = FindOrLoadTexture("debris.dds");
  sprite.mainQuad.SetSize(64.0f, 64.0f);
  sprite.mainQuad.SetPosition(300.0f, 200.0f);
  ASSERT_TRUE(SelectionOverlayAdd(&sprite));
  const auto& draws = Record([] {
    SelectionOverlayRender();
    SelectionOverlayDraw();
  });
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].renderTarget, selection);
  EXPECT_EQ(draws[0].colorOp0, uint32_t(platform::TOP_SELECTARG1)) << "the stage constant's white";
  EXPECT_EQ(draws[0].colorArg1_0, uint32_t(platform::TA_CONSTANT));
  EXPECT_NE(draws[1].renderTarget, selection);
  EXPECT_EQ(draws[1].textures[0], selection);
  EXPECT_EQ(draws[1].Colour(0), 0x66E3B101u);
  EXPECT_EQ(draws[1].colorOp0, uint32_t(platform::TOP_MODULATE)) << "the stage is put back";
  EXPECT_EQ(GUI_BS_SelectionOverlay::Instance().count, 0) << "the queue empties every frame";
  // The queue holds a fixed number; more are dropped.
  for (int i = 0; i < GUI_BS_SelectionOverlay::kQueued; ++i) ASSERT_TRUE(SelectionOverlayAdd(&sprite));
  EXPECT_FALSE(SelectionOverlayAdd(&sprite));
  Record([] { SelectionOverlayRender(); });
}

}  // namespace
