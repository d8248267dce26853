// The deployment window's art on the recording null device: the console pieces along
// the bottom of the screen for each screen width, what the atlas holds where they read
// it, the icon pictures drawn once into their cells of the "rt_depicons" sheet (and
// again after a device reset), and the dropper's calls into parts built later.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/MiniMap.h"
#include "battlehud/RangeIndicators.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/DeviceResetSeam.h"
#include "effects/BattleEffects.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/MathHelpers.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/SpriteSheet.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "platform/NullDevice.h"
#include "simdata/Divisions.h"
#include "simdata/MapSquare.h"
#include "simdata/ModuleType.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "support/NullDeviceFixture.h"

namespace {

using battlescreen_test::StartShippedBattle;

// ---------------------------------------------------------------- console layout

struct Span {
  float left, right;
};
Span SpanOf(const DeploymentArtPiece& p) { return {p.x - p.width / 2, p.x + p.width / 2}; }

TEST(DeploymentConsole, PiecesCoverTheBottomEdgeForEveryScreenWidth) {
  struct Case {
    int width;
    bool centre, fins;
    size_t edges;
  } cases[] = {
      {896, true, false, 0},  {1024, true, false, 0}, {1280, true, false, 0},
      {1290, true, false, 2}, {1300, true, true, 2},  {1344, true, true, 2},
      {1345, true, true, 4},  {1920, true, true, 20}, {2561, true, true, 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    GUI_BS_Deployment_BG bg;
    const float cx = c.width / 2.0f;
    bg.Layout(c.width, 768, cx - 175, cx + 175);
    const auto& s = bg.slots;
    EXPECT_EQ(s[1].shown, c.centre);
    EXPECT_EQ(s[2].shown, c.centre);
    EXPECT_EQ(s[7].shown, c.fins);
    EXPECT_EQ(s[8].shown, c.fins);
    EXPECT_EQ(bg.edges.size(), c.edges);
    // Corner blocks, centre halves and filler meet without a gap or an overlap from the
    // left edge of the screen to the right.
    std::vector<Span> spans = {SpanOf(s[0]), SpanOf(s[1]), SpanOf(s[2]), SpanOf(s[3])};
    for (const DeploymentArtPiece& e : bg.edges) spans.push_back(SpanOf(e));
    std::sort(spans.begin(), spans.end(), [](Span a, Span b) { return a.left < b.left; });
    EXPECT_FLOAT_EQ(spans.front().left, 0.0f);
    EXPECT_FLOAT_EQ(spans.back().right, static_cast<float>(c.width));
    for (size_t i = 1; i < spans.size(); ++i) EXPECT_NEAR(spans[i].left, spans[i - 1].right, 1e-3) << i;
    // Every piece sits on the bottom of the screen.
    for (const DeploymentArtPiece& p : s) {
      EXPECT_TRUE(!p.shown || p.y + p.height / 2 <= 768.0f);
    }
    // The centre halves read up to the atlas's right edge, which is the screen's middle.
    EXPECT_FLOAT_EQ(s[1].u1, 1.0f);
    EXPECT_FLOAT_EQ(s[1].u0, 1.0f - s[1].width / 1024.0f);
    EXPECT_FLOAT_EQ(s[1].x + s[1].width / 2, cx);
  }
}

TEST(DeploymentConsole, TheTroughFramesTheScrollBarAndMirroredPiecesSwapTheirSides) {
  GUI_BS_Deployment_BG bg;
  bg.Layout(1024, 768, 312, 712);  // a bar 400 wide
  const auto& s = bg.slots;
  EXPECT_FLOAT_EQ(s[5].width, 360.0f);
  EXPECT_FLOAT_EQ(s[5].x, 512.0f);
  EXPECT_FLOAT_EQ(s[4].x, 512.0f - 180.0f - 80.0f);
  EXPECT_FLOAT_EQ(s[6].x, 512.0f + 180.0f + 80.0f);
  for (int slot : {4, 5, 6}) EXPECT_FLOAT_EQ(s[slot].y, 768.0f - 32.0f);
  // Table of the atlas rectangles, left u and right u (mirrored pieces swapped).
  struct Uv {
    int slot;
    float u0, v0, u1, v1;
  } table[] = {
      {0, 0.34375f, 0.375f, 0.78125f, 1.0f},  {3, 0.78125f, 0.375f, 0.34375f, 1.0f},
      {1, 0.9375f, 0.375f, 1.0f, 1.0f},       {2, 1.0f, 0.375f, 0.9375f, 1.0f},
      {4, 0.0f, 0.25f, 0.15625f, 0.5f},       {6, 0.15625f, 0.25f, 0.0f, 0.5f},
      {5, 0.15625f, 0.25f, 0.1572266f, 0.5f},
  };
  for (const Uv& t : table) {
    SCOPED_TRACE(t.slot);
    EXPECT_FLOAT_EQ(s[t.slot].u0, t.u0);
    EXPECT_FLOAT_EQ(s[t.slot].v0, t.v0);
    EXPECT_FLOAT_EQ(s[t.slot].u1, t.u1);
    EXPECT_FLOAT_EQ(s[t.slot].v1, t.v1);
  }
}

TEST(DeploymentConsole, GlintsShrinkOnNarrowScreensAndGainAMiddleOnWideOnes) {
  struct Case {
    int width;
    float wing, uRight, middle;
  } cases[] = {
      {1024, 280.5f, 0.5625f + 0.375f * 280.5f / 352.0f, 0.0f},
      {1167, 352.0f, 0.9375f, 0.0f},
      {1920, 352.0f, 0.9375f, 753.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    DeploymentArtPiece d[3];
    GUI_BS_Deployment::LayoutDecorations(c.width, 500.0f, 700.0f, d);
    EXPECT_FLOAT_EQ(d[0].width, c.wing);
    EXPECT_FLOAT_EQ(d[0].u1, c.uRight);
    EXPECT_FLOAT_EQ(d[1].u0, c.uRight);  // the right wing is mirrored
    EXPECT_EQ(d[2].shown, c.middle > 0.0f);
    EXPECT_FLOAT_EQ(d[2].width, c.middle);
    // Wing, middle, wing side by side, centred on the strip, 94 above its bottom.
    EXPECT_FLOAT_EQ(d[0].x + d[0].width / 2, 500.0f - c.middle / 2);
    EXPECT_FLOAT_EQ(d[1].x - d[1].width / 2, 500.0f + c.middle / 2);
    for (const DeploymentArtPiece& p : d) EXPECT_FLOAT_EQ(p.y, 606.0f);
  }
}

TEST(DeploymentConsole, TheIconSheetGrowsWithTheIcons) {
  struct Case {
    int icons, width, height;
  } cases[] = {{0, 512, 512}, {16, 512, 512}, {17, 1024, 512}, {32, 1024, 512}, {33, 1024, 1024}};
  for (const Case& c : cases) {
    int w = 0, h = 0;
    GUI_BS_Deployment::SheetSize(c.icons, &w, &h);
    EXPECT_EQ(w, c.width) << c.icons;
    EXPECT_EQ(h, c.height) << c.icons;
  }
}

// ---------------------------------------------------------------- on the device

class DeploymentArtTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    // The icons' design pictures are composed into a folder of their own.
    // In the test's own folder: every test run on this build shares the build folder.
    const std::string pictures = zt_test::UserDir() + "/designtextures";
    std::filesystem::create_directories(pictures);
    UserFolders()[USERFOLDER_DESIGNTEXTURES] = pictures;
    RegisterTextureFolder(pictures);
    engine().CreateRenderTarget("rt_lightmap", ScreenW(), ScreenH(), platform::Format::X8R8G8B8);
    ASSERT_NE(StartShippedBattle(Scenario()), nullptr);
    GetGameplay().supplies = 20000.0f;
    screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
    ASSERT_NE(screen, nullptr);
    window = GetOpenDeploymentWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_GE(window->icons.size(), 3u);
    // The null device cannot save composed pictures: each design gets a stand-in texture
    // of its picture's name, and the sheet is drawn again with them.
    for (const GUI_BS_Deployment::Icon& icon : window->icons)
      if (!FindOrLoadTexture(icon.picture)->texture)
        engine().CreateRenderTarget(icon.picture.c_str(), 128, 128, platform::Format::A8R8G8B8);
    window->BuildIconSheet();
  }
  virtual const char* Scenario() const { return "river_fords"; }
  static platform::NullTexture* Atlas() {
    return dynamic_cast<platform::NullTexture*>(FindOrLoadTexture("ui_deployment_bg.dds")->texture);
  }
  platform::Texture* Sheet() const {
    GTexture9* t = GetRenderDevice().FindNamedTexture(GUI_BS_Deployment::kSheetName);
    return t ? t->Get() : nullptr;
  }
  // The pictures drawn into the sheet, in order, and the centre each was drawn at.
  struct Capture {
    platform::Texture* picture;
    float x, y;
    bool blended;
  };
  std::vector<Capture> CapturesInto(platform::Texture* target) const {
    std::vector<Capture> out;
    for (const platform::DrawRecord& d : device->draws)
      if (d.renderTarget == target && target)
        out.push_back({d.textures[0], (d.X(0) + d.X(3)) / 2, (d.Y(0) + d.Y(3)) / 2, d.blendEnabled});
    return out;
  }
  // Every quad drawn with the texture: its screen and atlas rectangles.
  struct Quad {
    float l, t, r, b, u0, v0, u1, v1;
  };
  std::vector<Quad> QuadsWith(platform::Texture* texture) const {
    std::vector<Quad> out;
    for (const platform::DrawRecord& d : device->draws) {
      if (d.textures[0] != texture || !texture || d.renderTarget) continue;
      const int per = d.type == platform::PrimitiveType::TriangleList ? 6 : 4;
      for (int q = 0; q + per <= d.vertexCount; q += per) {
        Quad k{1e9f, 1e9f, -1e9f, -1e9f, 0, 0, 0, 0};
        for (int i = q; i < q + per; ++i) {
          if (d.X(i) <= k.l) k.l = d.X(i), k.u0 = d.U(i);
          if (d.Y(i) <= k.t) k.t = d.Y(i), k.v0 = d.V(i);
          if (d.X(i) >= k.r) k.r = d.X(i), k.u1 = d.U(i);
          if (d.Y(i) >= k.b) k.b = d.Y(i), k.v1 = d.V(i);
        }
        out.push_back(k);
      }
    }
    return out;
  }
  static bool Drawn(const std::vector<Quad>& quads, const DeploymentArtPiece& p) {
    for (const Quad& q : quads)
      // (the interface draws at pixel centres: half a pixel up and left)
      if (std::fabs(q.l - (p.x - p.width / 2)) < 0.6f && std::fabs(q.r - (p.x + p.width / 2)) < 0.6f &&
          std::fabs(q.t - (p.y - p.height / 2)) < 0.6f && std::fabs(q.u0 - p.u0) < 1e-5f &&
          std::fabs(q.u1 - p.u1) < 1e-5f && std::fabs(q.v0 - p.v0) < 1e-5f && std::fabs(q.v1 - p.v1) < 1e-5f)
        return true;
    return false;
  }

  GUI_BattleScreen* screen = nullptr;
  GUI_BS_Deployment* window = nullptr;
};

TEST_F(DeploymentArtTest, EachIconPictureIsDrawnIntoItsOwnCellOfTheSheet) {
  ASSERT_NE(window->sheet, nullptr);
  EXPECT_EQ(window->sheet->Name(), "rt_depicons");
  EXPECT_EQ(window->sheet->Columns(), 4);  // few icons: 512 x 512, cells of 128
  EXPECT_EQ(window->sheet->Rows(), 4);
  // Rebuilt on the recording device: the captures go into the new sheet in icon order.
  device->ClearRecord();
  window->BuildIconSheet();
  platform::Texture* sheet = Sheet();
  ASSERT_NE(sheet, nullptr);
  const std::vector<Capture> captures = CapturesInto(sheet);
  ASSERT_EQ(captures.size(), window->icons.size());
  for (size_t i = 0; i < window->icons.size(); ++i) {
    SCOPED_TRACE(i);
    const GUI_BS_Deployment::Icon& icon = window->icons[i];
    ASSERT_EQ(icon.cell, static_cast<int>(i));
    // The design's own picture, at the centre of cell i.
    EXPECT_EQ(captures[i].picture, FindOrLoadTexture(icon.picture)->texture);
    EXPECT_FLOAT_EQ(captures[i].x, 64.0f + 128.0f * static_cast<float>(i % 4));
    EXPECT_FLOAT_EQ(captures[i].y, 64.0f + 128.0f * static_cast<float>(i / 4));
    // Copied with blending off, so the picture's alpha lands in the sheet once.
    EXPECT_FALSE(captures[i].blended);
    EXPECT_FLOAT_EQ(icon.u0, static_cast<float>(i % 4) / 4);
    EXPECT_FLOAT_EQ(icon.v0, static_cast<float>(i / 4) / 4);
    EXPECT_FLOAT_EQ(icon.u1 - icon.u0, 0.25f);
  }
  // The frame's blending is back afterwards.
  EXPECT_EQ(device->GetRenderState(platform::RenderState::AlphaBlendEnable), 1u);
}

TEST_F(DeploymentArtTest, TheWindowDrawsTheConsoleTheIconPlatesAndThePicturesFromTheirRegions) {
  SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", 1.0f);
  device->ClearRecord();
  engine().BeginScene();
  window->Draw();
  engine().EndScene();
  const std::vector<Quad> art = QuadsWith(Atlas());
  for (int i = 0; i < GUI_BS_Deployment_BG::kSlots; ++i) {
    const DeploymentArtPiece& p = window->background->slots[i];
    EXPECT_TRUE(!p.shown || Drawn(art, p)) << "slot " << i;
  }
  for (const DeploymentArtPiece& d : window->decorations) EXPECT_TRUE(!d.shown || Drawn(art, d));
  // One plate per visible icon, from the normal, disabled or hovered column.
  int plates = 0;
  for (const Quad& q : art)
    if (q.v0 == 0.0f && q.v1 == 0.25f && std::fabs(q.u1 - q.u0 - 0.0625f) < 1e-5f && q.u0 <= 0.125f) ++plates;
  EXPECT_EQ(plates, window->VisibleCount());
  // Every visible picture comes from its cell of the sheet, in one batch.
  const std::vector<Quad> pictures = QuadsWith(Sheet());
  ASSERT_EQ(pictures.size(), static_cast<size_t>(window->VisibleCount()));
  for (int slot = 0; slot < window->VisibleCount(); ++slot) {
    const GUI_BS_Deployment::Icon& icon = window->icons[static_cast<size_t>(window->scroll + slot)];
    EXPECT_FLOAT_EQ(pictures[static_cast<size_t>(slot)].u0, icon.u0);
    EXPECT_FLOAT_EQ(pictures[static_cast<size_t>(slot)].v0, icon.v0);
    EXPECT_NEAR(pictures[static_cast<size_t>(slot)].l, window->left + 16.0f + 92.0f * slot + 2, 0.6f);
  }
  // The lowest detail leaves the glints out.
  SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", 0.0f);
  device->ClearRecord();
  engine().BeginScene();
  window->Draw();
  engine().EndScene();
  for (const DeploymentArtPiece& d : window->decorations) EXPECT_FALSE(Drawn(QuadsWith(Atlas()), d));
}

TEST_F(DeploymentArtTest, TheAtlasHoldsTheConsoleWhereThePiecesReadIt) {
  platform::NullTexture* atlas = Atlas();
  ASSERT_NE(atlas, nullptr);
  ASSERT_EQ(atlas->Width(), 1024);
  ASSERT_EQ(atlas->Height(), 256);
  auto px = [atlas](int x, int y) { return atlas->pixels[static_cast<size_t>(y) * 1024 + x]; };
  auto alpha = [&px](int x, int y) { return px(x, y) >> 24; };
  // Corner block and centre half: solid console along the screen's bottom edge.
  for (int x = 352; x < 1024; x += 16) EXPECT_EQ(alpha(x, 255), 0xffu) << x;
  // The corner block stands tall; the band towards the middle leaves the map visible above it.
  EXPECT_EQ(alpha(500, 110), 0xffu);
  EXPECT_EQ(alpha(900, 110), 0u);
  // Filler and centre band read the same in every column, so any width joins seamlessly.
  for (int y = 96; y < 256; y += 3)
    for (int x = 700; x < 980; x += 7) EXPECT_EQ(px(x, y), px(800, y)) << x << "," << y;
  // The trough's middle column continues its end piece.
  for (int y = 64; y < 128; ++y) {
    EXPECT_EQ(px(160, y), px(159, y)) << y;
    EXPECT_EQ(px(163, y), px(159, y)) << y;
  }
  // The glints' middle piece continues the wing's inner end.
  for (int y = 0; y < 64; y += 2) EXPECT_EQ(px(961, y) >> 24, px(958, y) >> 24) << y;
  // Icon plates are solid in the middle; the fins and the options plate are there too.
  for (int x : {32, 96, 160}) EXPECT_EQ(alpha(x, 32), 0xffu) << x;
  EXPECT_EQ(alpha(250, 186), 0xffu);
  for (int x = 452; x < 572; x += 10) EXPECT_EQ(alpha(x, 48), 0xffu);
}

TEST_F(DeploymentArtTest, ADeviceResetBringsTheWindowBackWithItsSheetDrawnAgain) {
  window->ScrollTo(window->ScrollMax());
  const size_t icons = window->icons.size();
  // What the frame does on a reset: the window and its sheet go, the screen is flagged.
  ASSERT_TRUE(DeleteOpenDeploymentWindow());
  engine().DeleteTexture(GUI_BS_Deployment::kSheetName);
  FlagBattleScreenDeviceRebuilt();
  ASSERT_EQ(GetOpenDeploymentWindow(), nullptr);
  EXPECT_EQ(Sheet(), nullptr);
  device->ClearRecord();
  engine().BeginScene();
  screen->Draw();
  engine().EndScene();
  GUI_BS_Deployment* reopened = GetOpenDeploymentWindow();
  ASSERT_NE(reopened, nullptr);
  EXPECT_FALSE(BattleScreenDeviceRebuiltFlag());
  ASSERT_NE(Sheet(), nullptr);
  ASSERT_EQ(reopened->icons.size(), icons);
  EXPECT_EQ(CapturesInto(Sheet()).size(), icons);
  for (size_t i = 0; i < icons; ++i) EXPECT_EQ(reopened->icons[i].cell, static_cast<int>(i));
  EXPECT_EQ(reopened->scroll, reopened->ScrollMax());
  // The next frame builds nothing more.
  device->ClearRecord();
  engine().BeginScene();
  screen->Draw();
  engine().EndScene();
  EXPECT_EQ(GetOpenDeploymentWindow(), reopened);
  EXPECT_TRUE(CapturesInto(Sheet()).empty());
}

// ---------------------------------------------------------------- dropper and the parts around it

// The first icon of the strip, clicked as the player does.
void ClickFirstIcon(GUI_BS_Deployment* window) {
  window->ScrollTo(0);
  const float x = window->left + 16.0f + GUI_BS_Deployment::kIconSize / 2.0f;
  const float y = window->top + 6.0f + GUI_BS_Deployment::kIconSize / 2.0f;
  ASSERT_EQ(window->IconAt(x, y), 0);
  window->LeftClick(x, y);
}

TEST_F(DeploymentArtTest, APickedUpUnitLeavesTheMinimapAndADropFadesTheRangeRings) {
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  SIM_UnitDesign* design = window->icons.front().design;
  ASSERT_EQ(design->hull->sizeType == SIZE_INFANTRY, false) << "one unit to follow";
  ClickFirstIcon(window);
  ASSERT_EQ(dropper.hand.size(), 1u);
  SIM_BattleUnit* unit = dropper.hand.front();
  // The rings of the unit in hand grow; the drop on a legal square fades them.
  GUI_BS_RangeIndicator* rings = GUI_BS_RangeIndicatorSet::Instance().Find(unit);
  ASSERT_NE(rings, nullptr);
  EXPECT_EQ(rings->state, GUI_BS_RangeIndicator::GROWING);
  const SIM_MapSquare* illegal = nullptr;
  const SIM_MapSquare* ok = nullptr;
  for (const auto& sq : GetBattle().scenario->grid) {
    if (!sq || sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) continue;
    if (!illegal && !dropper.IsSquareLegal(sq.get())) illegal = sq.get();
    if (!ok && dropper.IsSquareLegal(sq.get())) ok = sq.get();
  }
  ASSERT_NE(illegal, nullptr);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(dropper.DropAt(illegal->centreX, illegal->centreY, false), DeployRefusal::ILLEGAL_SQUARE);
  EXPECT_EQ(rings->state, GUI_BS_RangeIndicator::GROWING);
  EXPECT_EQ(dropper.DropAt(ok->centreX, ok->centreY, false), DeployRefusal::NONE);
  EXPECT_EQ(rings->state, GUI_BS_RangeIndicator::SHRINKING);
  // Deployed, the unit shows on the minimap; clicked again it goes back into the hand
  // and off the minimap until the next drop.
  OpenMiniMap();
  GUI_BS_MiniMap* minimap = GetMiniMap();
  ASSERT_NE(minimap, nullptr);
  minimap->AddUnit(unit);
  ASSERT_NE(minimap->MarkerOf(unit), nullptr);
  DropperHandBack back;
  back.units = {unit};
  back.design = design;
  GetBattleScreenHooks().handBackToDropper(back);
  ASSERT_EQ(dropper.hand.size(), 1u);
  EXPECT_EQ(minimap->MarkerOf(unit), nullptr);
}

// ---------------------------------------------------------------- unit icons under the pointer

int g_hoverSounds = 0;
void CountHoverSound(int n) {
  if (n == 2) ++g_hoverSounds;
}

// Frames of the battle screen with the pointer still at (x, y).
void PointerFrames(GUI_BattleScreen* screen, float x, float y, int frames) {
  GUI_InputManager::SetCursorReader([x, y](float& ox, float& oy) {
    ox = x;
    oy = y;
  });
  for (int f = 0; f < frames; ++f) {
    GUI_InputManager& in = GetInputManager();
    in.Poll();
    in.x = x;
    in.y = y;
    in.stillCounter = 1000;
    GetRenderDevice().BeginScene();
    screen->Draw();
    GetRenderDevice().EndScene();
  }
}

TEST_F(DeploymentArtTest, AUnitIconShowsItsTooltipTheHandAndPlaysItsHoverSoundOnce) {
  LoadStringsTable();
  window->Refresh();  // the tooltips read the translations
  window->ScrollTo(0);
  GUI_ToolkitHooks& hooks = GetToolkitHooks();
  const auto wiredSound = hooks.playGuiSound;
  hooks.playGuiSound = &CountHoverSound;
  g_hoverSounds = 0;
  const GUI_BS_Deployment::Icon& icon = window->icons.front();
  SIM_UnitDesign* d = icon.design;
  ASSERT_TRUE(icon.enabled);
  const float x = window->left + 16.0f + 46.0f, y = window->top + 6.0f + 46.0f;
  PointerFrames(screen, x, y, 4);
  hooks.playGuiSound = wiredSound;
  GUI_InputManager::SetCursorReader(nullptr);
  ASSERT_NE(icon.tooltip, nullptr);
  EXPECT_GT(icon.tooltip->alpha, 0.0f) << "faded in under the still pointer";
  const std::vector<std::string>& lines = icon.tooltip->Lines();
  ASSERT_EQ(lines.size(), d->description.empty() ? 2u : 3u);
  EXPECT_EQ(lines.front(), d->guiName.empty() ? d->name : d->guiName);
  if (!d->description.empty()) {
    EXPECT_EQ(lines[1], d->description);
  }
  // An attacker sees the cost and the victory points the unit is worth.
  char expected[32];
  std::snprintf(
      expected, sizeof expected, "(%s: %s %s)(%s : %s)", GetTranslation("DEPLOYMENT_ICON_COST").c_str(),
      FormatThousands(static_cast<int>(d->cost)).c_str(), GetTranslation("DEPLOYMENT_ICON_SUPPLIES").c_str(),
      GetTranslation("DEPLOYMENT_ICON_VP").c_str(),
      FormatThousands(static_cast<int>(d->hull->victoryPoints)).c_str());
  EXPECT_EQ(lines.back(), expected);
  EXPECT_LE(lines.back().size(), 31u);
  EXPECT_EQ(GUI_Cursor::Shape(), GUI_Cursor::kHand);
  EXPECT_EQ(g_hoverSounds, 1) << "one sound for coming onto the icon, not one a frame";
  // Off the strip the tooltip goes.
  PointerFrames(screen, x, 200.0f, 1);
  GUI_InputManager::SetCursorReader(nullptr);
  EXPECT_EQ(icon.tooltip->alpha, 0.0f);
}

TEST_F(DeploymentArtTest, ATutorialStepThatWaitsForAnotherButtonKeepsTheIconsShut) {
  window->ScrollTo(0);
  const float x = window->left + 16.0f + 46.0f, y = window->top + 6.0f + 46.0f;
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  auto press = [&] {
    PointerFrames(screen, x, y, 1);
    GetInputManager().leftHeld = true;
    screen->OnLeftDown();
    GetInputManager().leftHeld = false;
    GUI_InputManager::SetCursorReader(nullptr);
  };
  GUI_BaseElement startButton;
  startButton.SetName("START_BATTLE");
  GetTutorial().AllowButton(&startButton);
  press();
  EXPECT_FALSE(dropper.HoldsUnits()) << "only the Start button answers";
  // The step that points at the strip allows its icons by name.
  for (GUI_BaseElement* e : FindElements("DEPLOYMENT_ICON")) GetTutorial().AllowButton(e);
  press();
  EXPECT_TRUE(dropper.HoldsUnits());
  GetTutorial().AllowButtons();
}

// The u of the last vertex drawn with the texture at (x, y) (within a pixel), or -1.
float QuadUAt(const platform::NullDevice* device, CLoadedTexture* texture, float x, float y) {
  float u = -1.0f;
  for (const platform::DrawRecord& d : device->draws) {
    if (!texture || d.textures[0] != texture->texture) continue;
    for (int i = 0; i < d.vertexCount; ++i)
      if (std::fabs(d.X(i) - x) < 1.0f && std::fabs(d.Y(i) - y) < 1.0f) u = d.U(i);
  }
  return u;
}

TEST_F(DeploymentArtTest, TheDesignPopupIsAFramedDialogWhoseModuleSlotsLightUpAndNameTheirModule) {
  window->ScrollTo(0);
  const float x = window->left + 16.0f + 46.0f, y = window->top + 6.0f + 46.0f;
  PointerFrames(screen, x, y, 2);
  ASSERT_NE(window->popup, nullptr);
  GUI_BS_DesignPopup* popup = window->popup.get();
  ASSERT_NE(popup->slots[0], nullptr) << "the first design has modules";
  // The dialog's frame and the dark inset under its title, the grid behind the picture.
  CLoadedTexture* grid = FindOrLoadTexture("design_popup_grid.dds");
  ASSERT_NE(grid->texture, nullptr) << "the grid art is built with the game";
  EXPECT_GE(QuadUAt(device, grid, popup->gridX - 48, popup->gridY - 48), 0.0f);
  EXPECT_EQ(popup->Title(), window->icons.front().design->guiName);
  // Up from the icon into the popup, over the first module slot.
  const float sx = popup->gridX + 48 + 5 + 24, sy = static_cast<float>(popup->descBottom) + 24;
  PointerFrames(screen, sx, sy, 3);
  device->ClearRecord();
  PointerFrames(screen, sx, sy, 1);
  GUI_InputManager::SetCursorReader(nullptr);
  ASSERT_EQ(window->popup.get(), popup) << "the popup stays while the pointer is on it";
  CLoadedTexture* panel = FindOrLoadTexture("minimap_panel.dds");
  const float slotLeft = popup->gridX + 48 + 5 + 2, slotTop = static_cast<float>(popup->descBottom) + 2;
  EXPECT_FLOAT_EQ(QuadUAt(device, panel, slotLeft, slotTop), 0.875f) << "the slot under the pointer is lit";
  EXPECT_FLOAT_EQ(QuadUAt(device, panel, slotLeft + 48, slotTop), 0.75f) << "its neighbour is not";
  ASSERT_NE(popup->slotTooltips[0], nullptr);
  EXPECT_GT(popup->slotTooltips[0]->alpha, 0.0f);
  EXPECT_EQ(popup->slotTooltips[0]->Lines().front(), popup->slots[0]->GetGuiName());
  for (size_t i = 1; i < popup->slotTooltips.size(); ++i)
    if (popup->slotTooltips[i]) {
      EXPECT_EQ(popup->slotTooltips[i]->alpha, 0.0f) << i;
    }
  // An empty slot neither lights up nor has a tooltip.
  for (size_t i = 0; i < popup->slots.size(); ++i)
    if (!popup->slots[i]) {
      EXPECT_EQ(popup->slotTooltips[i], nullptr) << i;
    }
}

// ---------------------------------------------------------------- what the strip offers

// The designs the strip shows, in its order.
std::vector<SIM_UnitDesign*> StripDesigns(const GUI_BS_Deployment* window) {
  std::vector<SIM_UnitDesign*> out;
  for (const GUI_BS_Deployment::Icon& icon : window->icons)
    if (icon.design) out.push_back(icon.design);
  return out;
}

TEST_F(DeploymentArtTest, TheStripOrdersItsIconsByClassAndKeepsTheDivisionsOrderWithinAClass) {
  const std::vector<std::string> classes = {"LIGHTTANK",    "MEDIUMTANK", "HEAVYTANK", "LIGHTMECH",
                                            "MEDIUMMECH",   "HEAVYMECH",  "INFANTRY",  "SMALLTURRET",
                                            "MEDIUMTURRET", "LARGETURRET"};
  // Every design of the catalogue, last first; one hull's class is none of the ten.
  SIM_UnitDesignManager& catalogue = SIM_UnitDesignManager::Get();
  SIM_Division* division = SIM_DivisionManager::Instance().AddDivision("StripOrderTest");
  ASSERT_NE(division, nullptr);
  for (auto it = catalogue.Designs().rbegin(); it != catalogue.Designs().rend(); ++it)
    division->designs.push_back((*it)->name);
  SIM_UnitHull* odd = nullptr;
  for (const auto& d : catalogue.Designs())
    if (!odd && d->hull && d->hull->sizeType == SIZE_TANK) odd = d->hull;
  ASSERT_NE(odd, nullptr);
  const std::string oddClass = odd->moduleSize;
  odd->moduleSize = "ARTILLERY";
  SIM_DivisionManager::Instance().Select(division);
  window->Refresh();
  const std::vector<SIM_UnitDesign*> shown = StripDesigns(window);
  odd->moduleSize = oddClass;
  ASSERT_GE(shown.size(), 3u);
  size_t expected = 0;
  for (const auto& d : catalogue.Designs()) expected += d->hull != odd && IsDesignDeployable(d.get());
  EXPECT_EQ(shown.size(), expected) << "every deployable design of a known class, once";
  auto classOf = [&](const SIM_UnitDesign* d) {
    return std::find(classes.begin(), classes.end(), d->hull->moduleSize) - classes.begin();
  };
  auto divisionPlace = [&](const SIM_UnitDesign* d) {
    return std::find(division->designs.begin(), division->designs.end(), d->name) - division->designs.begin();
  };
  for (size_t i = 0; i < shown.size(); ++i) {
    SCOPED_TRACE(shown[i]->name);
    EXPECT_NE(shown[i]->hull, odd);
    EXPECT_NE(shown[i]->hull->sizeType, SIZE_BUILDING) << "an attacker builds nothing";
    if (i == 0) continue;
    EXPECT_LE(classOf(shown[i - 1]), classOf(shown[i]));
    if (classOf(shown[i - 1]) == classOf(shown[i])) {
      EXPECT_LT(divisionPlace(shown[i - 1]), divisionPlace(shown[i]));
    }
  }
  SIM_DivisionManager::Instance().RemoveDivision("StripOrderTest");
}

TEST_F(DeploymentArtTest, ADefenderIsOfferedInfantryAndBuildingsArmedOnesOnlyWithoutSupportSquares) {
  SIM_UnitDesignManager& catalogue = SIM_UnitDesignManager::Get();
  SIM_Division* division = SIM_DivisionManager::Instance().AddDivision("StripDefenceTest");
  ASSERT_NE(division, nullptr);
  int unarmedBuildings = 0;
  for (const auto& d : catalogue.Designs()) {
    division->designs.push_back(d->name);
    unarmedBuildings += d->hull && d->hull->sizeType == SIZE_BUILDING && !d->weapon;
  }
  ASSERT_GT(unarmedBuildings, 0) << "the catalogue holds a support building";
  SIM_DivisionManager::Instance().Select(division);
  GetBattle().playerDefends = true;
  std::vector<SIM_MapSquare*> support;
  for (const auto& sq : GetBattle().scenario->grid)
    if (sq && sq->kind == SIM_MapSquare::KIND_SUPPORT) support.push_back(sq.get());
  for (bool withSupport : {true, false}) {
    SCOPED_TRACE(withSupport ? "with support squares" : "without");
    // The map's support squares, or one made for the case.
    SIM_MapSquare* made = nullptr;
    if (withSupport && support.empty()) {
      made = GetBattle().scenario->grid.front().get();
      made->kind = SIM_MapSquare::KIND_SUPPORT;
    }
    if (!withSupport)
      for (SIM_MapSquare* sq : support) sq->kind = SIM_MapSquare::KIND_OTHER;
    window->Refresh();
    const std::vector<SIM_UnitDesign*> shown = StripDesigns(window);
    if (made) made->kind = SIM_MapSquare::KIND_OTHER;
    for (SIM_MapSquare* sq : support) sq->kind = SIM_MapSquare::KIND_SUPPORT;
    int unarmed = 0;
    for (const SIM_UnitDesign* d : shown) {
      SCOPED_TRACE(d->name);
      const int s = d->hull->sizeType;
      EXPECT_TRUE(s == SIZE_INFANTRY || s == SIZE_BUILDING);
      if (!withSupport) {
        EXPECT_NE(d->weapon, nullptr);
      }
      unarmed += !d->weapon;
    }
    EXPECT_EQ(unarmed > 0, withSupport);
    EXPECT_FALSE(shown.empty());
  }
  GetBattle().playerDefends = false;
  SIM_DivisionManager::Instance().RemoveDivision("StripDefenceTest");
}

// A night map: the legal squares also glow through the light map while a design is in hand.
class NightDeploymentTest : public DeploymentArtTest {
 protected:
  const char* Scenario() const override { return "night_citadel"; }
  // The outlines the frame drew into the light map, as quads.
  int OutlinesInLightMap() const {
    GTexture9* lightMap = GetRenderDevice().FindNamedTexture("rt_lightmap");
    CLoadedTexture* outline = FindOrLoadTexture("route_outline.dds");
    if (!lightMap || !outline || !outline->texture) return -1;
    int quads = 0;
    for (const platform::DrawRecord& d : device->draws)
      if (d.renderTarget == lightMap->Get() && d.textures[0] == outline->texture)
        // The route network's own glow is translucent; a legal square's is full white.
        for (int i = 0; i + 3 < d.vertexCount; i += 4)
          if (d.Colour(i) == 0xFFFFFFFFu) {
            EXPECT_TRUE(d.blendEnabled);
            ++quads;
          }
    return quads;
  }
  void Frame() {
    device->ClearRecord();
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
  }
};

TEST_F(NightDeploymentTest, LegalSquaresAreOutlinedInTheLightMapWhileADesignIsInHand) {
  ASSERT_TRUE(GUI_BS_LightmapManager::Instance().Active()) << "the night map lights its battle";
  ASSERT_NE(GetRenderDevice().FindNamedTexture("rt_lightmap"), nullptr);
  Frame();
  EXPECT_EQ(OutlinesInLightMap(), 0) << "nothing in hand";
  ClickFirstIcon(window);
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  ASSERT_TRUE(dropper.HoldsUnits());
  Frame();
  // One outline for every square the tint shows green.
  CLoadedTexture* fill = FindOrLoadTexture("deployment_square_fill.dds");
  int legal = 0;
  for (const platform::DrawRecord& d : device->draws)
    if (d.textures[0] == fill->texture &&
        d.renderTarget != GetRenderDevice().FindNamedTexture("rt_lightmap")->Get())
      for (int i = 0; i + 3 < d.vertexCount; i += 4)
        if (d.Colour(i) == 0x4020FF20u) ++legal;
  ASSERT_GT(legal, 0);
  EXPECT_EQ(OutlinesInLightMap(), legal);
  // Placed: the outlines go with the hand.
  dropper.CancelDrop();
  Frame();
  EXPECT_EQ(OutlinesInLightMap(), 0);
}

TEST_F(DeploymentArtTest, AnUnlitMapDrawsNoOutlinesIntoTheLightMap) {
  ClickFirstIcon(window);
  ASSERT_TRUE(GUI_BS_DeploymentDropper::Instance().HoldsUnits());
  device->ClearRecord();
  engine().BeginScene();
  screen->Draw();
  engine().EndScene();
  GTexture9* lightMap = GetRenderDevice().FindNamedTexture("rt_lightmap");
  ASSERT_NE(lightMap, nullptr);
  CLoadedTexture* outline = FindOrLoadTexture("route_outline.dds");
  ASSERT_NE(outline->texture, nullptr);
  for (const platform::DrawRecord& d : device->draws)
    if (d.renderTarget == lightMap->Get() && d.textures[0] == outline->texture) {
      for (int i = 0; i < d.vertexCount; ++i) EXPECT_NE(d.Colour(i), 0xFFFFFFFFu);
    }
}

}  // namespace
