// Units on the OpenGL device under a (virtual) display: tanks and buildings of both sides
// at close zoom with their turrets on their targets, against a reference picture; the
// design pictures composed once into the design-texture folder; the soldiers' composite
// read back cell by cell; and walking units, corpses and a crate on the frozen ridge.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Gameplay.h"
#include "battlescreen/AirDropCrates.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/DesignSprite.h"
#include "battlescreen/Infantry.h"
#include "battlescreen/MechLegs.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "platform/Dds.h"
#include "simdata/Options.h"
#include "support/GLBattleScreenTest.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace battlescreen_test;
namespace fs = std::filesystem;

class UnitVisualsGLTest : public zt_test::GLBattleScreenTest {
 protected:
  void SetUp() override {
    zt_test::GLScreenSetup s;
    s.title = "Zentrak unit test";
    s.framePacing = false;
    s.seedRandom = true;
    s.shaders = true;
    if (!OpenScreen(s)) return;
    SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  }
};

TEST_F(UnitVisualsGLTest, TanksAndBuildingsOfBothSidesAtCloseZoom) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  // The world alone: the HUD's windows (tested with the HUD) close.
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  for (SIM_BattleUnit* u : scene.player) ASSERT_NE(u, nullptr);
  for (SIM_BattleUnit* u : scene.enemy) ASSERT_NE(u, nullptr);
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(2.0f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  for (int i = 0; i < 2; ++i) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    map.UpdateAndDraw();
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    e.EndScene();
  }
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                  zt_test::TestSourceDir() + "/battlescreen/reference/units_close.png",
                                  zt_test::BuildDir() + "/units_close_actual.png");
  e.Flip();
}

// Unit art fills only part of its cell: the layers are drawn over the part that shows, so
// the unit layer touches well under the pixels of its quads (the picture is the reference
// above, which the same drawing must still match).
TEST_F(UnitVisualsGLTest, UnitLayersDrawOnlyThePartOfTheirCellThatShows) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  SIM_Options::Get().SetFloat("SHADOWS", 0.0f);  // the layers alone, each drawn once
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(1.0f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  uint64_t drawn = 0;
  for (int i = 0; i < 2; ++i) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    map.UpdateAndDraw();
    GetGlobalVertexBuffer().Flush();
    const uint64_t before = e.Device()->Counters().drawnPixels;
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    drawn = e.Device()->Counters().drawnPixels - before;
    e.EndScene();
    e.Flip();
  }
  // The quads as placed: every layer of every unit on screen, whole.
  double quads = 0.0;
  for (const auto* side : {&scene.player, &scene.enemy})
    for (SIM_BattleUnit* u : *side) {
      auto* visual = u ? dynamic_cast<GUI_BS_Unit*>(u->visual.get()) : nullptr;
      if (!visual) continue;
      for (const auto& sprite : visual->sprites)
        if (sprite->mainQuad.IsOnScreen()) quads += double(sprite->mainQuad.width) * sprite->mainQuad.height;
    }
  ASSERT_GT(quads, 0.0);
  EXPECT_LT(double(drawn), quads * 0.7) << "drawn " << drawn << " of the quads' " << quads << " pixels";
  EXPECT_GT(double(drawn), quads * 0.2) << "the art itself is drawn";
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
}

// A tank's and a building's hull and turret are drawn over their own shadows: the shadow
// pass draws only the rim that shows beside them, not the part the opaque body covers a
// moment later (the picture is the reference above, which the same drawing still
// matches). A unit still fading in shows its whole shadow through its body.
TEST_F(UnitVisualsGLTest, ShadowsAreNotDrawnUnderTheirOwnOpaqueBodies) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(1.0f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  // The shadow pass's and the bodies' pixels, from the unit manager's own drawing.
  auto passes = [&](uint64_t* shadows, uint64_t* bodies) {
    for (int i = 0; i < 2; ++i) {
      trace.entries.clear();
      e.BeginScene();
      e.ClearTarget(0xFF000000u);
      map.UpdateAndDraw();
      GetGlobalVertexBuffer().Flush();
      GUI_BS_UnitManager::Instance().DrawAll();
      GetGlobalVertexBuffer().Flush();
      e.EndScene();
      e.Flip();
    }
    *shadows = GUI_BS_UnitManager::Instance().shadowPixelsLastFrame;
    *bodies = GUI_BS_UnitManager::Instance().bodyPixelsLastFrame;
  };
  trace.enabled = true;
  uint64_t shadows = 0, bodies = 0;
  passes(&shadows, &bodies);
  ASSERT_GT(bodies, 0u);
  EXPECT_GT(shadows, 0u) << "the rims of the shadows are drawn";
  EXPECT_LT(double(shadows), double(bodies) * 0.55) << shadows << " shadow pixels against " << bodies;
  // Half faded in, every body lets its shadow through: whole shadows again.
  for (const auto* side : {&scene.player, &scene.enemy})
    for (SIM_BattleUnit* u : *side) u->warpAlpha = 0.5f;
  uint64_t fadedShadows = 0, fadedBodies = 0;
  passes(&fadedShadows, &fadedBodies);
  EXPECT_GT(double(fadedShadows), double(shadows) * 1.4) << "a see-through body hides no shadow";
  trace.enabled = false;
  trace.entries.clear();
}

// The shadow drawn as a ring around its body gives the very picture of the whole shadow
// under the body, at any turn, offset and size of a shipped hull: no pixel between the
// ring's quads is lost and none of the left-out middle shows.
TEST_F(UnitVisualsGLTest, AShadowRingAroundItsBodyDrawsTheWholeShadowsPicture) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  GUI_BS_Sprite* hull = nullptr;
  for (SIM_BattleUnit* u : scene.player)
    if (auto* tank = u ? dynamic_cast<GUI_BS_TankUnit*>(u->visual.get()) : nullptr; tank && !hull)
      hull = tank->chassis;
  ASSERT_NE(hull, nullptr);
  ASSERT_NE(hull->mainQuad.texture, nullptr);
  CTexturedSprite& q = hull->mainQuad;
  platform::Texture* texture = q.texture->Texture();
  D3DEngine& e = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  struct Case {
    float angle, size, dx, dy;
  };
  const Case cases[] = {{0.0f, 200.0f, -6.0f, 6.0f},  {33.0f, 150.0f, -4.5f, 4.5f},
                        {90.0f, 97.0f, -3.0f, 3.0f},  {217.5f, 260.0f, -9.0f, 9.0f},
                        {300.0f, 61.0f, -2.2f, 2.2f}, {145.0f, 180.0f, -0.4f, 0.4f},
                        {75.0f, 24.0f, -1.0f, 1.0f},  {12.0f, 33.0f, -1.4f, 1.4f}};
  auto lodBias = [&](float bias) {
    e.Device()->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(bias));
  };
  uint64_t drawn = 0;
  auto draw = [&](const Case& c, bool ring) {
    e.BeginScene();
    e.ClearTarget(0xFF406080u);
    e.SetNormalBlend();
    q.angle = c.angle;
    q.SetSize(c.size, c.size * 0.9f);
    q.SetPosition(400.5f, 300.25f);
    GVertex body[4];
    std::copy(q.v, q.v + 4, body);
    q.MoveBy(c.dx, c.dy);
    q.SetColour(0x80000000u);
    vb.SetTexture(q.texture);
    lodBias(1.8f);
    if (ring)
      QueueTightAroundBody(q.v, body, texture, 0, 1.8f);
    else
      QueueTight(q, 0, 1.8f);
    vb.Flush();
    lodBias(0.0f);
    std::copy(body, body + 4, q.v);
    q.SetColour(0xFFFFFFFFu);
    QueueTight(q, 0);
    vb.Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels);
    e.Flip();
    drawn = e.Device()->LastFrameCounters().drawnPixels;
    return pixels;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("turned " + std::to_string(c.angle) + ", " + std::to_string(c.size) + " pixels");
    const std::vector<uint32_t> whole = draw(c, false);
    const uint64_t wholeDrawn = drawn;
    const std::vector<uint32_t> ring = draw(c, true);
    if (c.size >= 150.0f) {
      EXPECT_LT(double(drawn), double(wholeDrawn) * 0.85) << "the middle is left out";
    }
    ASSERT_EQ(whole.size(), ring.size());
    // The ring's triangles interpolate texture coordinates along other edges: a level of
    // rounding in the blurred shadow, never a lost or doubled shadow (half black).
    size_t differ = 0;
    for (size_t i = 0; i < whole.size(); ++i)
      for (int shift : {0, 8, 16})
        if (std::abs(int(whole[i] >> shift & 0xFF) - int(ring[i] >> shift & 0xFF)) > 2) {
          ++differ;
          break;
        }
    EXPECT_EQ(differ, 0u);
  }
}

// A tank's hull and turret and a building's base and turret are drawn over the shadows
// of their turrets and barrels and the turret over the hull's layers: none of those is
// drawn where the opaque art drawn later covers it, at any turn of the turret against
// the hull. The picture is the one of the same units drawn whole (a trace below full
// alpha, which covers nothing) within the trace's levels.
TEST_F(UnitVisualsGLTest, TurretsAndHullsCoverTheLayersAndShadowsDrawnBeforeThem) {
  ZT_REQUIRE_GL(gl_);
  ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  UnitScene scene = PlaceBothSides(1150.0f, 600.0f);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = 1140.0f;
  map.centreY = 600.0f;
  map.zoom = map.targetZoom = std::min(1.5f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  struct Drawn {
    std::vector<uint32_t> pixels;
    uint64_t shadows = 0, bodies = 0;
  };
  auto draw = [&](float alpha) {
    for (const auto* side : {&scene.player, &scene.enemy})
      for (SIM_BattleUnit* u : *side) u->warpAlpha = alpha;
    Drawn d;
    for (int i = 0; i < 2; ++i) {
      trace.entries.clear();
      e.BeginScene();
      e.ClearTarget(0xFF000000u);
      map.UpdateAndDraw();
      GetGlobalVertexBuffer().Flush();
      GUI_BS_UnitManager::Instance().DrawAll();
      GetGlobalVertexBuffer().Flush();
      e.EndScene();
      if (i == 1) e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &d.pixels);
      e.Flip();
    }
    d.shadows = GUI_BS_UnitManager::Instance().shadowPixelsLastFrame;
    d.bodies = GUI_BS_UnitManager::Instance().bodyPixelsLastFrame;
    return d;
  };
  // Turrets turned from their hulls by a little, a quarter and more.
  const float turns[] = {0.0f, 17.0f, 90.0f, 213.0f};
  for (float turn : turns) {
    SCOPED_TRACE("turret turned " + std::to_string(turn));
    for (const auto* side : {&scene.player, &scene.enemy})
      for (SIM_BattleUnit* u : *side)
        if (u && u->turretFacing) u->turretFacing->angle = u->heading + turn;
    const Drawn covered = draw(1.0f), whole = draw(254.5f / 255.0f);
    ASSERT_GT(whole.bodies, 0u);
    ASSERT_GT(whole.shadows, 0u);
    EXPECT_LT(double(covered.shadows), double(whole.shadows) * 0.34)
        << covered.shadows << " shadow pixels against " << whole.shadows << " drawn whole";
    EXPECT_LT(double(covered.bodies), double(whole.bodies) * 0.95)
        << covered.bodies << " body pixels against " << whole.bodies << " drawn whole";
    ASSERT_EQ(covered.pixels.size(), whole.pixels.size());
    size_t differ = 0;
    for (size_t i = 0; i < whole.pixels.size(); ++i)
      for (int shift : {0, 8, 16})
        if (std::abs(int(whole.pixels[i] >> shift & 0xFF) - int(covered.pixels[i] >> shift & 0xFF)) > 3) {
          ++differ;
          break;
        }
    EXPECT_EQ(differ, 0u);
  }
  trace.enabled = false;
  trace.entries.clear();
}

// The picture file of a key, read back.
platform::DecodedImage ReadPicture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  platform::DecodedImage img;
  std::string error;
  platform::ReadDds(bytes.data(), bytes.size(), &img, &error);
  return img;
}

TEST_F(UnitVisualsGLTest, DesignPicturesAreComposedOnceAndAgainWhenTheDesignChanges) {
  ZT_REQUIRE_GL(gl_);
  // In the test's own folder: the build folder is shared by every test run on this build.
  const fs::path folder = fs::path(zt_test::UserDir()) / "designtextures";
  fs::create_directories(folder);
  UserFolders()[USERFOLDER_DESIGNTEXTURES] = folder.string();
  SIM_UnitDesign* design = PlayerDesign("Jackal Scout");
  ASSERT_NE(design, nullptr);
  GUI_BS_DesignSprite& ds = GUI_BS_DesignSprite::Instance();

  const std::string key = ds.GetTexture(design->name, false);
  ASSERT_EQ(key.rfind("udes_", 0), 0u) << key;
  ASSERT_TRUE(fs::exists(folder / key));
  EXPECT_EQ(ds.compositions, 1);
  platform::DecodedImage img = ReadPicture((folder / key).string());
  ASSERT_EQ(img.width, GUI_BS_DesignSprite::kDesignCell);
  ASSERT_EQ(img.height, GUI_BS_DesignSprite::kDesignCell);
  int painted = 0;
  for (uint32_t p : img.levels[0]) painted += (p >> 24) > 128 ? 1 : 0;
  EXPECT_GT(painted, 128 * 128 / 8);      // the tank covers a good part of its cell
  EXPECT_EQ(img.levels[0][0] >> 24, 0u);  // the corners stay clear

  // Asked again, in this run or after a restart: the file is used, nothing is drawn.
  EXPECT_EQ(ds.GetTexture(design->name, false), key);
  EXPECT_EQ(ds.compositions, 1);
  const auto written = fs::last_write_time(folder / key);

  // A repainted design gets a new picture and the old one goes.
  for (DesignLayer& l : design->layers)
    if (l.name == "tank_chassis_color") l.colour[0] = 200;
  const std::string repainted = ds.GetTexture(design->name, false);
  EXPECT_NE(repainted, key);
  EXPECT_EQ(ds.compositions, 2);
  EXPECT_TRUE(fs::exists(folder / repainted));
  EXPECT_FALSE(fs::exists(folder / key));
  (void)written;

  // The picture shows the layers as the battle paints them, no brighter: a design painted
  // mid grey on every layer stays at most mid grey (summing the layers again would double
  // it and turn a turret over its hull white).
  for (DesignLayer& l : design->layers) {
    l.colour[0] = l.colour[1] = l.colour[2] = 128;
    l.colour[3] = 255;
  }
  const std::string grey = ds.GetTexture(design->name, false);
  const platform::DecodedImage greyPicture = ReadPicture((folder / grey).string());
  int opaque = 0, tooBright = 0;
  for (uint32_t p : greyPicture.levels[0]) {
    if ((p >> 24) < 250) continue;
    ++opaque;
    const uint32_t brightest = std::max({(p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu});
    tooBright += brightest > 140u ? 1 : 0;
  }
  EXPECT_GT(opaque, 500);
  EXPECT_EQ(tooBright, 0) << "of " << opaque << " opaque pixels";

  // Hull and variant pictures have their own names and cells.
  const std::string hull = ds.GetTexture("tank_jackal", true);
  const std::string variant = ds.GetTexture("tank_jackal", true, "tank_jackal_b");
  EXPECT_EQ(hull.rfind("hull_tank_jackal_", 0), 0u);
  EXPECT_EQ(variant.rfind("var_tank_jackal_b_", 0), 0u);
  EXPECT_EQ(ReadPicture((folder / variant).string()).width, GUI_BS_DesignSprite::kHullCell);

  // A design named by another player to reach outside the folder stays inside it.
  const std::string oldName = design->name;
  design->name = "../../evil/" + std::string(300, 'x');
  const std::string hostile = ds.GetTexture(design->name, false);
  design->name = oldName;
  EXPECT_EQ(hostile.find('/'), std::string::npos);
  EXPECT_EQ(hostile.find(".."), std::string::npos);
  EXPECT_LT(hostile.size(), 100u);
  EXPECT_TRUE(fs::exists(folder / hostile));

  // Saving the design in the designer drops its pictures.
  ds.DeleteCachedFile(oldName);
  EXPECT_FALSE(fs::exists(folder / repainted));
  EXPECT_TRUE(fs::exists(folder / hull));
}

// A sheet whose every pixel names its own place: red and green the low bits of x and y,
// blue their high bits. After composition each target pixel tells where it came from.
uint32_t SheetPixel(int x, int y) {
  const uint32_t hi = static_cast<uint32_t>((x >> 8) | ((y >> 8) << 2)) * 32u;
  return 0xFF000000u | static_cast<uint32_t>(x & 255) << 16 | static_cast<uint32_t>(y & 255) << 8 | hi;
}

TEST_F(UnitVisualsGLTest, TheSoldierCompositeCopiesEveryCellOfTheTableInPlace) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  const int W = InfantryCompositor::kSheetWidth, H = InfantryCompositor::kSheetHeight;
  std::vector<uint32_t> sheet(size_t(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) sheet[size_t(y) * W + x] = SheetPixel(x, y);
  e.DeleteTexture(InfantryCompositor::kSheet);
  auto tex = std::make_unique<GTexture9>(InfantryCompositor::kSheet);
  ASSERT_EQ(e.Device()->CreateTexture(W, H, 1, 0, platform::Format::A8R8G8B8, platform::Pool::Managed,
                                      &tex->texture),
            platform::D3D_OK);
  ASSERT_EQ(tex->texture->UploadLevel(0, W, H, sheet.data()), platform::D3D_OK);
  e.AddTexture(std::move(tex));
  e.SetPointFiltering(true);

  SIM_UnitDesign* design = PlayerDesign("Rifle Squad");
  ASSERT_NE(design, nullptr);
  std::vector<DesignLayer> kept = design->layers;
  for (DesignLayer& l : design->layers)
    for (int& c : l.colour) c = 255;
  InfantryCompositor& comp = InfantryCompositor::Instance();
  const std::string name = comp.GetTarget(design);
  design->layers = kept;
  e.SetPointFiltering(false);
  GTexture9* target = e.FindNamedTexture(name.c_str());
  ASSERT_NE(target, nullptr);
  std::vector<uint32_t> out;
  const int S = InfantryCompositor::kSize;
  ASSERT_EQ(e.Device()->ReadPixels(target->Get(), platform::Rect{0, 0, S, S}, &out), platform::D3D_OK);
  ASSERT_EQ(out.size(), size_t(S) * S);

  // Where each target pixel should come from: the last step whose quad covers it.
  auto expected = [](int x, int y, bool* nearEdge) {
    int sx = -1, sy = -1;
    *nearEdge = false;
    for (const InfantryCompositor::Step& st : InfantryCompositor::kSteps) {
      const int w = st.src[2] - st.src[0], h = st.src[3] - st.src[1];
      const int qx = (st.dst[0] + st.dst[2]) / 2 - w / 2, qy = (st.dst[1] + st.dst[3]) / 2 - h / 2;
      const bool inside = x >= qx && x < qx + w && y >= qy && y < qy + h;
      if (std::abs(y - qy) <= 1 || std::abs(y - (qy + h)) <= 1) *nearEdge = true;
      if (inside) {
        sx = st.src[0] + (x - qx);
        sy = st.src[1] + (y - qy);
      }
    }
    return sx < 0 ? 0u : SheetPixel(sx, sy);
  };
  int checked = 0, wrong = 0;
  for (int cell = 0; cell < 64; ++cell)
    for (int oy : {3, 17, 31, 45, 60})
      for (int ox : {2, 21, 40, 61}) {
        const int x = (cell % 8) * 64 + ox, y = (cell / 8) * 64 + oy;
        bool edge = false;
        const uint32_t want = expected(x, y, &edge);
        if (edge) continue;
        ++checked;
        const uint32_t got = out[size_t(y) * S + x];
        if (got != want && ++wrong <= 8)
          ADD_FAILURE() << "cell " << cell << " pixel " << x << "," << y << ": 0x" << std::hex << got
                        << " instead of 0x" << want;
      }
  EXPECT_GT(checked, 64 * 12);
  EXPECT_EQ(wrong, 0);
  e.DeleteTexture(InfantryCompositor::kSheet);
  comp.ReleaseAll();
}

// The scene's own clock: 20 ms a frame, however fast the machine draws.
std::int64_t g_sceneNs = 0;
std::int64_t SceneNow() { return g_sceneNs; }

TEST_F(UnitVisualsGLTest, MechsSoldiersCorpsesAndACrateOnTheFrozenRidge) {
  ZT_REQUIRE_GL(gl_);
  g_sceneNs = 10'000'000'000;
  SetClockSource(SceneNow);
  SetEffectsFrameRatioOverride(1.0f);
  ASSERT_NE(StartShippedBattle("frozen_ridge"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  SIM_Options::Get().SetFloat("TRACKS", 1.0f);
  SIM_Options::Get().SetFloat("BLOOD", 1.0f);
  const float cx = 1000.0f, cy = 800.0f;

  // A mech mid-stride: its left leg high, a trail of prints behind it.
  SIM_BattleUnit* mech =
      PlaceUnit(PlayerDesign("Strider Lancer"), GetBattle().playerArmy, cx - 120, cy + 40, 30);
  ASSERT_NE(mech, nullptr);
  auto* mv = dynamic_cast<GUI_BS_MechUnit*>(mech->visual.get());
  ASSERT_TRUE(mv && mv->legAnimator);
  for (int i = 0; i < 4; ++i) {
    mv->Footprint(i % 2 == 0);
    mech->x += 10.0f;
  }
  // Prints fade in over their first 600 ms: these were laid a second ago.
  mv->leftPrints->Age(1000.0f, 1.0f);
  mv->rightPrints->Age(1000.0f, 1.0f);
  mv->legAnimator->frame = 30;
  mv->legAnimator->x = mech->x;
  mv->legAnimator->y = mech->y;
  // A squad firing at an enemy, two of its men fallen with their guns thrown.
  SIM_UnitDesign* rifles = PlayerDesign("Rifle Squad");
  std::vector<GUI_BS_InfantryUnit*> squad;
  for (int i = 0; i < 6; ++i) {
    SIM_BattleUnit* s =
        PlaceUnit(rifles, GetBattle().playerArmy, cx + 40 + (i % 3) * 26, cy + 60 + (i / 3) * 28, 350);
    ASSERT_NE(s, nullptr);
    squad.push_back(dynamic_cast<GUI_BS_InfantryUnit*>(s->visual.get()));
  }
  squad[0]->OnFire(0);
  squad[2]->OnFire(0);
  for (GUI_BS_InfantryUnit* s : squad) s->walkFrameIndex = 3 + 5 * int(s->unit->x) % 32;
  const int32_t green[4] = {90, 110, 70, 255}, skin[4] = {220, 190, 160, 255};
  const int32_t* colours[3] = {green, green, skin};
  AddCorpse(cx + 10, cy - 10, 120, 24, colours, 1);
  AddCorpse(cx + 70, cy - 30, 250, 24, colours, 2);
  // A crate just dropped, still falling.
  GUI_BS_AirDropManager::Instance().AddDrop(77, cx - 60, cy - 90);

  GetInputManager().x = 512;
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = cx;
  map.centreY = cy;
  map.zoom = map.targetZoom = std::min(2.5f, map.maxZoom);
  D3DEngine& e = GetRenderDevice();
  GetBattle().frameStep = 20.0f;
  for (int i = 0; i < 3; ++i) {
    g_sceneNs += 20'000'000;
    GetStepRateMeter().rate = 1.0f;
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    if (i < 2) e.Flip();
  }
  EXPECT_FALSE(GUI_BS_AirDropManager::Instance().drops.front()->landed);
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(
      pixels, 1024, 768, zt_test::TestSourceDir() + "/battlescreen/reference/frozen_ridge_walkers.png",
      zt_test::BuildDir() + "/frozen_ridge_walkers_actual.png");
  e.Flip();
  SetEffectsFrameRatioOverride(-1.0f);
  SetClockSource(nullptr);
}

TEST_F(UnitVisualsGLTest, LampsAndCockpitsPulseOnTheNightCitadel) {
  ZT_REQUIRE_GL(gl_);
  g_sceneNs = 10'000'000'000;
  SetClockSource(SceneNow);
  SetEffectsFrameRatioOverride(1.0f);
  GetGame().RenderTargetWidth = Game::RenderTargetSize(1024);
  GetGame().RenderTargetHeight = Game::RenderTargetSize(768);
  GetGame().CreateRenderTargets();
  SIM_Options::Get().SetFloat("MOTIONBLUR", 0.0f);
  ASSERT_NE(StartShippedBattle("night_citadel"), nullptr);
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
  GetBattle().Begin();
  const float cx = 1000.0f, cy = 900.0f;
  ASSERT_NE(PlaceUnit(PlayerDesign("Jackal Scout"), GetBattle().playerArmy, cx - 80, cy, 300), nullptr);
  ASSERT_NE(PlaceUnit(PlayerDesign("Strider Lancer"), GetBattle().playerArmy, cx + 80, cy + 20, 330),
            nullptr);
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = cx;
  map.centreY = cy;
  map.zoom = map.targetZoom = map.maxZoom;
  D3DEngine& e = GetRenderDevice();
  GetBattle().frameStep = 20.0f;
  for (int i = 0; i < 3; ++i) {
    g_sceneNs += 20'000'000;
    GetStepRateMeter().rate = 1.0f;
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    if (i < 2) e.Flip();
  }
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                  zt_test::TestSourceDir() + "/battlescreen/reference/night_unit_lights.png",
                                  zt_test::BuildDir() + "/night_unit_lights_actual.png");
  e.Flip();
  SetEffectsFrameRatioOverride(-1.0f);
  SetClockSource(nullptr);
}

}  // namespace
