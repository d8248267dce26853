// Frame layout, shared textures, the cursor's carrying, the clock dial and sprite sheets.
#include <algorithm>
#include <vector>

#include "GuiFixture.h"
#include "engine/Sprites.h"
#include "gui/Cursor.h"
#include "gui/InfoWidgets.h"
#include "gui/SharedTextures.h"
#include "gui/SpriteSheet.h"
#include "gui/Tooltip.h"

namespace {

using FramesTest = GuiTest;

TEST_F(FramesTest, NineSliceKeepsCornersAndStretchesTheRest) {
  GUI_FrameQuad q[9];
  ASSERT_EQ(LayoutNineSlice(32, true, 100, 50, 300, 150, q), 9);
  // Corners: 32 x 32 at each corner, from the corner cells.
  const GUI_FrameQuad tl{100, 50, 132, 82, 0, 0, 0.25f, 0.25f};
  const GUI_FrameQuad br{268, 118, 300, 150, 0.75f, 0.75f, 1, 1};
  auto same = [](const GUI_FrameQuad& a, const GUI_FrameQuad& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom && a.u0 == b.u0 &&
           a.v0 == b.v0 && a.u1 == b.u1 && a.v1 == b.v1;
  };
  EXPECT_TRUE(same(q[0], tl));
  EXPECT_TRUE(same(q[3], br));
  // Top edge: between the corners, from cell 1.
  EXPECT_FLOAT_EQ(q[4].left, 132);
  EXPECT_FLOAT_EQ(q[4].right, 268);
  EXPECT_FLOAT_EQ(q[4].u0, 0.25f);
  EXPECT_FLOAT_EQ(q[4].u1, 0.5f);
  // Left edge: the thin middle band of the left column.
  EXPECT_FLOAT_EQ(q[6].top, 82);
  EXPECT_FLOAT_EQ(q[6].bottom, 118);
  EXPECT_FLOAT_EQ(q[6].v0, 0.49f);
  EXPECT_FLOAT_EQ(q[6].v1, 0.492f);
  // Centre.
  EXPECT_FLOAT_EQ(q[8].left, 132);
  EXPECT_FLOAT_EQ(q[8].bottom, 118);
  EXPECT_FLOAT_EQ(q[8].u0, 0.375f);
  EXPECT_FLOAT_EQ(q[8].v1, 0.5f);

  // Without fill there is no centre; in a box smaller than two corners the corners keep
  // their full size and overlap.
  ASSERT_EQ(LayoutNineSlice(32, false, 0, 0, 40, 40, q), 8);
  EXPECT_FLOAT_EQ(q[1].right - q[1].left, 32);
  EXPECT_FLOAT_EQ(q[1].left, 8);
  EXPECT_FLOAT_EQ(q[4].right - q[4].left, 0);
}

TEST_F(FramesTest, FramesDrawFromTheSharedTable) {
  GetSharedGUITextures().Load();
  device->ClearRecord();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32, 0.5f, true, 0, 0, 200, 100);
  GetGlobalVertexBuffer().Flush();
  ASSERT_EQ(device->draws.size(), 1u);
  const platform::DrawRecord& d = device->draws[0];
  EXPECT_EQ(d.primitiveCount, 18);  // nine quads
  EXPECT_EQ(d.Colour(0) >> 24, 127u);
  // An index outside the table draws nothing.
  device->ClearRecord();
  DrawGUITexture(SHARED_TEXTURE_COUNT, 32, 1, true, 0, 0, 200, 100);
  DrawGUITexture(-1, 32, 1, true, 0, 0, 200, 100);
  GetGlobalVertexBuffer().Flush();
  EXPECT_TRUE(device->draws.empty());
}

TEST_F(FramesTest, FramesDrawNormallyBlendedAndAMissingEntryKeepsTheBoundTexture) {
  D3DEngine& e = GetRenderDevice();
  e.CreateRenderTarget("rt_test_bound", 4, 4, platform::Format::A8R8G8B8);
  CLoadedTexture* bound = FindOrLoadTexture("rt_test_bound");
  bound->Bind();
  e.SetAdditiveBlend();  // left on by earlier drawing
  device->ClearRecord();
  // The table was never loaded, so the entry is empty.
  DrawGUITexture(SHARED_DARK_CLIENT, 16, 1.0f, true, 0, 0, 100, 100);
  GetGlobalVertexBuffer().Flush();
  ASSERT_EQ(device->draws.size(), 1u);
  EXPECT_EQ(device->draws[0].textures[0], bound->Texture());
  EXPECT_EQ(device->draws[0].destBlend, static_cast<uint32_t>(platform::BLEND_INVSRCALPHA));
  EXPECT_FALSE(e.IsAdditive());
}

TEST_F(FramesTest, BattleViewTestIsInclusiveAtTheMargin) {
  SetBattleViewRect(0, 0, 1000, 800);
  struct Case {
    float x, y;
    bool off;
  } cases[] = {{-128, 400, false}, {-128.5f, 400, true}, {1128, 400, false}, {1128.5f, 400, true},
               {500, -128, false}, {500, 928.5f, true},  {500, 400, false}};
  for (const Case& c : cases) EXPECT_EQ(IsOffScreen(c.x, c.y, 128), c.off) << c.x << "," << c.y;
}

class DropProbe : public GUI_WindowBase {
 public:
  void OnDrop() override { ++drops; }
  int drops = 0;
};

TEST_F(FramesTest, ReleasingTheButtonDropsEverythingTheCursorCarries) {
  auto* parent = new GUI_WindowBase();
  auto* carried = new DropProbe();
  parent->AddChild(carried);
  carried->SetRect(10, 10, 60, 60);
  MoveMouse(20, 20);
  carried->BeginDrag();
  EXPECT_EQ(carried->ParentWindow(), &GetGUICursor());
  EXPECT_TRUE(parent->ChildWindows().empty());
  // A carried window deleted by its owner leaves the cursor at once.
  auto* doomed = new DropProbe();
  GetGUICursor().AddChild(doomed);
  delete doomed;
  EXPECT_EQ(GetGUICursor().ChildWindows().size(), 1u);

  SetButton(true);
  GetGUICursor().Draw();
  EXPECT_EQ(carried->drops, 0);
  SetButton(false);
  GetGUICursor().Draw();
  EXPECT_EQ(carried->drops, 1);
  EXPECT_FALSE(carried->IsDragging());
  EXPECT_EQ(carried->ParentWindow(), nullptr);
  EXPECT_FALSE(GetGUICursor().IsCarrying());
  GetGUICursor().Draw();
  EXPECT_EQ(carried->drops, 1);
  delete carried;
  delete parent;
}

TEST_F(FramesTest, DeletingAParentDeletesItsChildren) {
  static int s_deleted = 0;
  s_deleted = 0;
  struct Counted : GUI_WindowBase {
    ~Counted() override { ++s_deleted; }
  };
  auto* parent = new GUI_WindowBase();
  auto* child = new Counted();
  auto* grandchild = new Counted();
  parent->AddChild(child);
  child->AddChild(grandchild);
  auto* leaving = new Counted();
  parent->AddChild(leaving);
  delete leaving;
  EXPECT_EQ(parent->ChildWindows(), (std::vector<GUI_WindowBase*>{child}));
  delete parent;
  EXPECT_EQ(s_deleted, 3);
}

struct ClockCase {
  float fraction;
  int fan;
  int remainder;
};

TEST_F(FramesTest, ClockDialSplitsIntoTwoFans) {
  const ClockCase cases[] = {
      {0.0f, 0, 254}, {1.0f, 254, 0}, {0.5f, 126, 127}, {3.0f, 254, 0}, {-1.0f, 0, 254}};
  for (const ClockCase& c : cases) {
    SCOPED_TRACE(c.fraction);
    GUI_ClockTimer clock;
    device->ClearRecord();
    clock.Draw(100, 100, 50, c.fraction);
    EXPECT_EQ(clock.LastFanTriangles(), c.fan);
    EXPECT_EQ(clock.LastRemainderTriangles(), c.remainder);
    EXPECT_EQ(static_cast<int>(device->draws.size()), (c.fan > 0) + (c.remainder > 0));
  }
  // The first rim vertex is at twelve o'clock.
  GUI_ClockTimer clock;
  clock.drawRemainder = false;
  device->ClearRecord();
  clock.Draw(100, 100, 50, 1.0f);
  ASSERT_EQ(device->draws.size(), 1u);
  EXPECT_NEAR(device->draws[0].X(1), 100.0f, 1e-3);
  EXPECT_NEAR(device->draws[0].Y(1), 50.0f, 1e-3);
}

TEST_F(FramesTest, SpriteSheetTakesOneSpritePerCell) {
  GUI_SpriteSheet sheet("rt_test_sheet", 128, 512, 512);
  EXPECT_TRUE(GetRenderDevice().HasTexture("rt_test_sheet"));
  sheet.BeginCapture();
  std::vector<BaseSprite> sprites(17);
  for (BaseSprite& s : sprites) sheet.AddSprite(&s);
  sheet.EndCapture();
  EXPECT_EQ(sheet.CellsFilled(), 16);
  EXPECT_FALSE(sheet.Accepting());
  // Cell 5 is the second cell of the second row.
  EXPECT_FLOAT_EQ(sprites[5].v[0].u, 0.25f);
  EXPECT_FLOAT_EQ(sprites[5].v[0].v, 0.25f);
  // The seventeenth sprite was ignored.
  EXPECT_FLOAT_EQ(sprites[16].width, 0.0f);
}

TEST_F(FramesTest, SpriteSheetCapturedInsideAFrameLeavesTheFrameDrawing) {
  D3DEngine& e = GetRenderDevice();
  GUI_SpriteSheet sheet("rt_test_icons", 64, 128, 64);
  platform::Texture* target = e.FindNamedTexture("rt_test_icons")->Get();
  e.BeginScene();  // the frame's scene
  sheet.BeginCapture();
  CTexturedSprite icon("textbutton.dds");
  sheet.AddSprite(&icon);
  sheet.EndCapture();
  // The frame goes on drawing into the back buffer, inside its own scene.
  EXPECT_TRUE(e.InScene());
  EXPECT_EQ(device->GetRenderTarget(), nullptr);
  ASSERT_FALSE(device->draws.empty());
  EXPECT_EQ(device->draws.back().renderTarget, target);
  EXPECT_EQ(icon.texture->Name(), "rt_test_icons");
  e.EndScene();
  EXPECT_EQ(device->CountCalls("BeginScene"), 1);
  EXPECT_EQ(device->CountCalls("EndScene"), 1);
  EXPECT_EQ(device->sceneDepth, 0);
}

TEST_F(FramesTest, DataStripFormatsItsValues) {
  GUI_DataStrip strip;
  strip.SetLabel("BB_DETAILS_TIME_LIMIT", "");
  EXPECT_EQ(strip.Tooltip(), nullptr);
  strip.SetLabel("BB_DETAILS_TIME_LIMIT", "BB_DETAILS_TIME_LIMIT_TT");
  ASSERT_NE(strip.Tooltip(), nullptr);
  EXPECT_EQ(strip.Tooltip()->delay, 30);
  strip.SetValueFloat(2.5f);
  EXPECT_EQ(strip.value, "2.50");
}

}  // namespace

namespace {

TEST_F(FramesTest, ScenarioPanelListsItsRowsInDisplayOrder) {
  GUI_ScenarioData panel;
  panel.SetRect(10, 100, 310, 300);
  panel.attackSupplyPerSec = 1.5f;
  panel.defenceSupplyPerSec = 2.25f;
  panel.timeLimit = 600000.0f;
  panel.escapeLimit = 3.0f;
  panel.Build();
  panel.Build();  // rebuilding replaces the rows
  const auto& rows = panel.ChildWindows();
  ASSERT_EQ(rows.size(), 4u);
  const char* expectValue[] = {"3.00", "600000.00", "1.50", "2.25"};  // escape, time, attack, defence
  for (size_t i = 0; i < rows.size(); ++i) {
    auto* strip = static_cast<GUI_DataStrip*>(rows[i]);
    EXPECT_EQ(strip->top, 100 + 22 * static_cast<int>(i));
    EXPECT_EQ(strip->bottom - strip->top, 25);
    EXPECT_EQ(strip->value, expectValue[i]);
    EXPECT_NE(strip->Tooltip(), nullptr);
  }
}

}  // namespace

namespace {

TEST_F(FramesTest, WindowBackgroundUsesTheOverlayStageAndPutsItBack) {
  GetSharedGUITextures().Load();
  CLoadedTexture* overlay = GetSharedGUITextures().Get(SHARED_WINDOW_OVERLAY);
  ASSERT_NE(overlay, nullptr);
  ASSERT_NE(overlay->Texture(), nullptr) << "window_overlay.jpg did not load";
  device->ClearRecord();
  DrawWindowBackground(SHARED_WINDOW_OVERLAY, 32, 100, 100, 1124, 356);
  ASSERT_EQ(device->draws.size(), 1u);
  const platform::DrawRecord& d = device->draws[0];
  EXPECT_EQ(d.stride, 36);
  EXPECT_EQ(d.textures[1], overlay->Texture());
  // The overlay repeats every 512 pixels across the box: 1024 pixels wide is two tiles.
  float maxU2 = 0;
  for (int i = 0; i < d.vertexCount; ++i) maxU2 = std::max(maxU2, d.U(i, 1));
  EXPECT_FLOAT_EQ(maxU2, 2.0f);
  // Later drawing finds one stage and the engine's vertex layout again.
  EXPECT_EQ(device->GetTexture(1), nullptr);
  EXPECT_EQ(device->GetFVF(), platform::FVF_ENGINE);
}

}  // namespace
