// A whole battle by the mouse under a (virtual) display: a shipped scenario set up in
// code, three designs dropped from the deployment window, the fight started with the
// top strip's button, the battle run to its end at 4x speed, and the post-mortem; the
// deployment, the battle and the post-mortem against reference pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "battle/AirStrikes.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battlehud/AchievementsDialog.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlehud/PostBattleUnlock.h"
#include "battlehud/StatsDialog.h"
#include "battlehud/UnitOverlays.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/BattleEffects.h"
#include "effects/Explosions.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/GLBattleScreenTest.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class DeploymentGLTest : public zt_test::GLBattleScreenTest {
 protected:
  void SetUp() override {
    zt_test::GLScreenSetup s;
    s.title = "Zentrak deployment test";
    // Every frame is 20 ms on the test's own clock, however fast the machine draws, so the
    // battle, its effects and the post-mortem's delay look the same on every run.
    s.ownClock = true;
    // The icons' design pictures are composed into a folder of their own.
    // In the test's own folder: every test run on this build shares the build folder.
    const std::string pictures = zt_test::UserDir() + "/designtextures";
    std::filesystem::create_directories(pictures);
    UserFolders()[USERFOLDER_DESIGNTEXTURES] = pictures;
    s.textureFolders = {pictures};
    s.fontsAndFrames = true;  // the dialogs' frames
    s.seedRandom = true;
    OpenScreen(s);
  }
  void Frame() { ModeFrame(20'000'000); }
  void Click(float x, float y) {
    GetInputManager().x = static_cast<int>(x);
    GetInputManager().y = static_cast<int>(y);
    Frame();  // the windows see the mouse first
    GetGame().CurrentMode->OnLeftDown();
  }
  void Shot(const std::string& name) {
    DrawMode();
    ExpectScreen("battlehud", "battlehud", name);
  }
  // Screen points of squares the attacker may deploy on, inside the view between the
  // top edge and the deployment window.
  std::vector<std::pair<float, float>> LegalSpots(SIM_Scenario* s) {
    std::vector<std::pair<float, float>> out;
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    for (const auto& sq : s->grid) {
      if (!sq || !sq->attackerFlag || sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) continue;
      const float x = (sq->centreX - map.viewLeft) * map.zoom, y = (sq->centreY - map.viewTop) * map.zoom;
      if (x > 40 && x < 984 && y > 60 && y < 600) out.emplace_back(x, y);
    }
    return out;
  }
};

TEST_F(DeploymentGLTest, ThreeDesignsDroppedFoughtAtFourTimesSpeedToThePostMortem) {
  ZT_REQUIRE_GL(gl_);
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  // A short clock so the battle is decided once the units have driven off.
  scenario->classic.timeLimit = 4000.0f;
  GetGameplay().supplies = 20000.0f;
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  // The whole map in view, centred on the attacker's squares.
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  float cx = 0, cy = 0;
  int n = 0;
  for (const auto& sq : scenario->grid)
    if (sq && sq->attackerFlag) {
      cx += sq->centreX;
      cy += sq->centreY;
      ++n;
    }
  ASSERT_GT(n, 0);
  map.zoom = map.targetZoom = map.minZoom;
  map.centreX = cx / n;
  map.centreY = cy / n;
  Frame();
  GUI_BS_Deployment* window = GetOpenDeploymentWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_GE(window->icons.size(), 3u);
  ASSERT_NE(GetOpenTopStrip(), nullptr);
  const std::vector<std::pair<float, float>> spots = LegalSpots(scenario);
  ASSERT_GE(spots.size(), 3u);
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  SIM_BattleArmy* army = GetBattle().playerArmy;
  // The first three icons that may be clicked (a supply truck needs an air drop first).
  std::vector<int> enabled;
  for (size_t i = 0; i < window->icons.size() && enabled.size() < 3; ++i)
    if (window->icons[i].enabled) enabled.push_back(static_cast<int>(i));
  ASSERT_EQ(enabled.size(), 3u);
  // The first design's popup while the mouse rests on its icon.
  GetInputManager().x = window->left + 16 + GUI_BS_Deployment::kIconSize / 2;
  GetInputManager().y = window->top + 6 + GUI_BS_Deployment::kIconSize / 2;
  Frame();
  Shot("popup");
  for (int i = 0; i < 3; ++i) {
    const float ix = window->left + 16.0f + GUI_BS_Deployment::kIconSize * (enabled[i] + 0.5f);
    const float iy = window->top + 6.0f + GUI_BS_Deployment::kIconSize * 0.5f;
    const float before = GetGameplay().supplies;
    Click(ix, iy);
    ASSERT_TRUE(dropper.HoldsUnits()) << "icon " << i << " refused " << static_cast<int>(dropper.lastRefusal);
    EXPECT_LT(GetGameplay().supplies, before);
    const auto [sx, sy] = spots[static_cast<size_t>(i) * spots.size() / 3];
    GetInputManager().x = static_cast<int>(sx);
    GetInputManager().y = static_cast<int>(sy);
    Frame();
    if (i == 2) Shot("deployment");  // the third design in hand over the tinted squares
    Click(sx, sy);
    EXPECT_FALSE(dropper.HoldsUnits()) << "drop " << i;
  }
  EXPECT_GE(army->livingUnits.size(), 3u);

  GUI_ButtonBase* start = GetOpenTopStrip()->startButton;
  Click((start->left + start->right) / 2.0f, (start->top + start->bottom) / 2.0f);
  ASSERT_EQ(GetBattle().state, BATTLE_RUNNING);
  GetBattle().SetSpeed(4.0f);
  // The units drive to the nearest exit; without supplies left the battle is decided
  // once they are off the map.
  int ordered = 0;
  for (SIM_BattleUnit* u : army->movers) {
    if (!u->pathManager) continue;
    for (const auto& sq : scenario->grid)
      if (sq && sq->IsExit() && u->pathManager->FindPath(sq.get(), false)) {
        ++ordered;
        break;
      }
  }
  EXPECT_GE(ordered, 3);
  GetInputManager().x = 512;
  GetInputManager().y = 384;
  for (int i = 0; i < 60; ++i) Frame();
  Shot("battle");
  int frames = 0;
  while (!GetOpenPostMortem() && frames++ < 6000) {
    if (GetBattle().outcome == OUTCOME_UNDECIDED) GetGameplay().supplies = 0.0f;
    Frame();
  }
  ASSERT_NE(GetOpenPostMortem(), nullptr) << "no end after " << frames << " frames";
  EXPECT_EQ(GetBattle().state, BATTLE_OVER);
  Shot("postmortem");

  // On as a player goes: the statistics of the three designs, then Continue. The battle
  // was lost: a free item and its Continue, no medal, and back to the battle browser.
  GUI_BS_PostMortem* pm = GetOpenPostMortem();
  Click((pm->statsButton->left + pm->statsButton->right) / 2.0f,
        (pm->statsButton->top + pm->statsButton->bottom) / 2.0f);
  GUI_BS_Stats* stats = GetOpenStatsDialog();
  ASSERT_NE(stats, nullptr);
  EXPECT_EQ(stats->strips.size(), 3u) << "one row per design dropped, fallen units included";
  Shot("statistics_after_battle");
  GUI_ButtonBase* close = stats->CloseButton();
  ASSERT_NE(close, nullptr);
  Click((close->left + close->right) / 2.0f, (close->top + close->bottom) / 2.0f);
  EXPECT_EQ(GetOpenStatsDialog(), nullptr);
  pm = GetOpenPostMortem();
  ASSERT_NE(pm, nullptr);
  Click((pm->continueButton->left + pm->continueButton->right) / 2.0f,
        (pm->continueButton->top + pm->continueButton->bottom) / 2.0f);
  // The post-battle worker runs on real time; the deadline is for a loaded machine.
  for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
       !GetOpenPostBattleUnlock() && std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Frame();
  }
  GUI_BS_PostBattleUnlock* unlock = GetOpenPostBattleUnlock();
  ASSERT_NE(unlock, nullptr);
  EXPECT_NE(unlock->freeUnlock, nullptr);
  EXPECT_EQ(unlock->firstChoice, nullptr) << "a defeat offers no choice";
  ASSERT_NE(unlock->continueButton, nullptr);
  for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
       OpenPleaseWait() && std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Frame();
  }
  Click((unlock->continueButton->left + unlock->continueButton->right) / 2.0f,
        (unlock->continueButton->top + unlock->continueButton->bottom) / 2.0f);
  EXPECT_EQ(GetOpenPostBattleUnlock(), nullptr);
  EXPECT_EQ(GetOpenAchievements(), nullptr) << "no medal for a first defeat";
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_BATTLE_BROWSER);
}

// The night map mid-fight with every overlay a player can switch on: the route network
// and the selected units' routes, health discs lighting the dark, target markers, the
// support icons; against a reference picture.
TEST_F(DeploymentGLTest, NightFightWithTheOverlaysOn) {
  ZT_REQUIRE_GL(gl_);
  // The shaders, the light map and the post-processing targets, as the game makes them at
  // start-up: the light map is composited over the night.
  GetShaderManager().LoadAll();
  GetGame().RenderTargetWidth = 1024;
  GetGame().RenderTargetHeight = 768;
  GetGame().CreateRenderTargets();
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("night_citadel");
  ASSERT_NE(scenario, nullptr);
  ASSERT_EQ(scenario->uiStyle, "DARK");
  SIM_Battle& battle = GetBattle();
  std::vector<SIM_UnitDesign*> tanks;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (d->GetSizeType() == 2) tanks.push_back(d);
  ASSERT_FALSE(tanks.empty());
  // Three of the player's tanks on the attacker's squares, two enemy tanks on the
  // defender's squares nearest to them.
  std::vector<const SIM_MapSquare*> attack, defend;
  for (const auto& sq : scenario->grid) {
    if (!sq || sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) continue;
    if (sq->attackerFlag) attack.push_back(sq.get());
    if (sq->defenderFlag) defend.push_back(sq.get());
  }
  ASSERT_GE(attack.size(), 3u);
  ASSERT_GE(defend.size(), 2u);
  for (size_t i = 0; i < 3; ++i)
    battle.playerArmy->DeployDesign(attack[i]->column, attack[i]->row, tanks[i % tanks.size()], 1, 180.0f,
                                    false);
  for (size_t i = 0; i < 2; ++i)
    battle.opponentArmy->DeployDesign(defend[i]->column, defend[i]->row, tanks[0], 1, 0.0f, true);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = std::max(map.minZoom, 0.45f);
  map.centreX = attack[0]->centreX;
  map.centreY = attack[0]->centreY + 300.0f;
  GetInputManager().x = 900;
  GetInputManager().y = 300;
  BattleViewFlags& flags = GetBattleViewFlags();
  flags.showPaths = flags.showHealth = true;
  Frame();
  GetBattleScreen().StartFighting();
  ASSERT_EQ(battle.state, BATTLE_RUNNING);
  for (SIM_BattleUnit* u : battle.playerArmy->allUnits) {
    u->selected = true;
    if (!u->pathManager) continue;
    for (const auto& sq : scenario->grid)
      if (sq && sq->IsExit() && u->pathManager->FindPath(sq.get(), false)) break;
  }
  for (int i = 0; i < 30; ++i) Frame();
  // Each selected tank's disc keeps its health colours at night: the light it casts
  // brightens the ground under it, never paints it over in white.
  D3DEngine& e = GetRenderDevice();
  e.BeginScene();
  GetGame().CurrentMode->Draw();
  e.EndScene();
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  e.Flip();
  // Points along each green and red arc near the rim (clear of the tank's picture; some
  // lie under the routes' arrows or the panels): none white, and on most arcs the arc's
  // own colour shows through.
  int arcs = 0, arcsInColour = 0, white = 0;
  for (SIM_BattleUnit* u : battle.playerArmy->allUnits) {
    if (!u->selected || !u->moduleManager) continue;
    const GUI_BS_HealthDisc disc(u);
    std::array<GUI_BS_HealthDisc::Arc, 4> out;
    const SIM_ModuleManager* m = u->moduleManager.get();
    const int n = disc.Arcs(m->healthFraction, m->armourFraction, m->shieldFraction, map.zoom, out);
    float sx, sy;
    HudWorldToScreen(u->x, u->y, &sx, &sy);
    for (int i = 0; i < n; ++i) {
      const GUI_BS_HealthDisc::Arc& arc = out[size_t(i)];
      const bool green = arc.colour == GUI_BS_HealthDisc::kGreen;
      if (!green && arc.colour != GUI_BS_HealthDisc::kRed) continue;
      ++arcs;
      bool inColour = false;
      for (int k = 1; k < 8; ++k) {
        const float a = (arc.from + arc.sweep * float(k) / 8.0f) * 3.14159265f / 180.0f;
        const int px = int(sx + std::sin(a) * disc.radius * map.zoom * 0.85f);
        const int py = int(sy - std::cos(a) * disc.radius * map.zoom * 0.85f);
        if (px < 0 || py < 0 || px >= 1024 || py >= 768) continue;
        const uint32_t c = pixels[size_t(py) * 1024 + size_t(px)];
        const int r = int(c >> 16 & 0xFF), g = int(c >> 8 & 0xFF), b = int(c & 0xFF);
        if (std::min({r, g, b}) > 230) {
          ++white;
          ADD_FAILURE() << (green ? "green" : "red") << " arc white at " << px << "," << py;
        }
        if (green ? g > std::max(r, b) + 12 : r > std::max(g, b) + 12) inColour = true;
      }
      if (inColour) ++arcsInColour;
    }
  }
  EXPECT_GE(arcs, 4);
  EXPECT_EQ(white, 0);
  EXPECT_GE(arcsInColour, arcs / 2);
  Shot("night");
}

// The player's tanks fight by day with their health shown: each disc is drawn as the ring
// round the middle its tank's opaque hull will cover, and the picture is the one the
// whole discs give.
TEST_F(DeploymentGLTest, HealthDiscsLeaveOutTheMiddleTheirTanksCover) {
  ZT_REQUIRE_GL(gl_);
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  std::vector<SIM_UnitDesign*> tanks;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (d->GetSizeType() == 2) tanks.push_back(d);
  ASSERT_FALSE(tanks.empty());
  std::vector<const SIM_MapSquare*> attack;
  for (const auto& sq : scenario->grid)
    if (sq && sq->kind != SIM_MapSquare::KIND_EMPLACEMENT && sq->attackerFlag) attack.push_back(sq.get());
  ASSERT_GE(attack.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    battle.playerArmy->DeployDesign(attack[i]->column, attack[i]->row, tanks[i % tanks.size()], 1,
                                    45.0f * float(i), false);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 0.8f;
  map.centreX = (attack[0]->centreX + attack[3]->centreX) * 0.5f;
  map.centreY = (attack[0]->centreY + attack[3]->centreY) * 0.5f;
  GetInputManager().x = 900;
  GetInputManager().y = 300;
  BattleViewFlags& flags = GetBattleViewFlags();
  flags.showHealth = true;
  Frame();
  GetBattleScreen().StartFighting();
  ASSERT_EQ(battle.state, BATTLE_RUNNING);
  for (int i = 0; i < 10; ++i) Frame();
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Frame();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name.find("health discs") != std::string::npos) drawn += entry.pixels;
  // What the whole discs cover: each a fan of triangles round its tank.
  const platform::Rect screen{0, 0, 1024, 768};
  uint64_t whole = 0;
  int onScreen = 0;
  std::vector<const SIM_BattleUnit*> shown;
  for (const SIM_BattleUnit* u : battle.playerArmy->allUnits) {
    if (!HealthDiscWanted(u, true)) continue;
    const GUI_BS_HealthDisc disc(u);
    float sx, sy;
    HudWorldToScreen(u->x, u->y, &sx, &sy);
    const float r = disc.radius * map.zoom;
    if (sx < r || sy < r || sx > 1024.0f - r || sy > 768.0f - r) continue;
    ++onScreen;
    shown.push_back(u);
    const int n = disc.Segments(map.zoom);
    std::vector<float> xy;
    for (int k = 0; k < n; ++k) {
      const float a0 = 6.2831853f * float(k) / float(n), a1 = 6.2831853f * float(k + 1) / float(n);
      for (float v : {sx, sy, sx + std::sin(a0) * r, sy - std::cos(a0) * r, sx + std::sin(a1) * r,
                      sy - std::cos(a1) * r})
        xy.push_back(v);
    }
    whole += platform::CoveredPixels(platform::PrimitiveType::TriangleList, xy, screen);
  }
  ASSERT_GE(onScreen, 3) << "the tanks' discs are in view";
  EXPECT_GT(drawn, whole / 3) << "the discs were drawn";
  EXPECT_LT(double(drawn), double(whole) * 0.95) << "the middles under the hulls were drawn";
  // The discs then the tanks over black: the game's rings, and whole discs in their place.
  D3DEngine& e = GetRenderDevice();
  auto draw = [&](bool wholeDiscs) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    if (wholeDiscs) {
      HudBeginKind(nullptr, 0);
      for (const SIM_BattleUnit* u : battle.playerArmy->allUnits) {
        if (!HealthDiscWanted(u, true) || !u->moduleManager) continue;
        const GUI_BS_HealthDisc disc(u);
        std::array<GUI_BS_HealthDisc::Arc, 4> arcs;
        const SIM_ModuleManager* m = u->moduleManager.get();
        const int n = disc.Arcs(m->healthFraction, m->armourFraction, m->shieldFraction, map.zoom, arcs);
        float sx, sy;
        HudWorldToScreen(u->x, u->y, &sx, &sy);
        for (int i = 0; i < n; ++i)
          HudFan(sx, sy, disc.radius * map.zoom, arcs[size_t(i)].from, arcs[size_t(i)].sweep,
                 arcs[size_t(i)].triangles, arcs[size_t(i)].colour);
      }
      HudEndKind();
    } else {
      EXPECT_GE(DrawHealthDiscs(), onScreen);
    }
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    e.Device()->ReadPixels(nullptr, screen, &pixels);
    e.Flip();
    return pixels;
  };
  const std::vector<uint32_t> full = draw(true), ringed = draw(false), again = draw(true);
  ASSERT_EQ(full.size(), ringed.size());
  ASSERT_EQ(full, again) << "the tanks draw the same twice";
  size_t differ = 0;
  for (size_t i = 0; i < full.size(); ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(int(full[i] >> shift & 0xFF) - int(ringed[i] >> shift & 0xFF)) > 1) {
        ++differ;
        break;
      }
  EXPECT_EQ(differ, 0u) << "pixels of a disc lost where its tank does not cover it";
}

// Tanks packed close, as a big army stands: each disc reaches under its neighbours'
// hulls, and what their opaque art covers is left out too (the own hull's middle alone
// leaves most of it); the picture is the one the whole discs give.
TEST_F(DeploymentGLTest, HealthDiscsLeaveOutWhatTheirNeighboursHullsCover) {
  ZT_REQUIRE_GL(gl_);
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  std::vector<SIM_UnitDesign*> tanks;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (d->GetSizeType() == 2) tanks.push_back(d);
  ASSERT_FALSE(tanks.empty());
  std::vector<const SIM_MapSquare*> attack;
  for (const auto& sq : scenario->grid)
    if (sq && sq->kind != SIM_MapSquare::KIND_EMPLACEMENT && sq->attackerFlag) attack.push_back(sq.get());
  ASSERT_GE(attack.size(), 4u);
  for (size_t i = 0; i < 12; ++i)
    battle.playerArmy->DeployDesign(attack[i % 4]->column, attack[i % 4]->row, tanks[i % tanks.size()], 1,
                                    90.0f, false);
  // Four by three, 80 by 72 map units apart, mid-map.
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float cx = map.mapWidth / 2, cy = map.mapHeight / 2;
  std::vector<SIM_BattleUnit*> placed;
  for (SIM_BattleUnit* u : battle.playerArmy->allUnits)
    if (HealthDiscWanted(u, true)) placed.push_back(u);
  ASSERT_EQ(placed.size(), 12u);
  for (size_t i = 0; i < placed.size(); ++i) {
    ASSERT_NE(placed[i]->moduleManager, nullptr);
    placed[i]->x = cx + 80.0f * (float(i % 4) - 1.5f);
    placed[i]->y = cy + 72.0f * (float(i / 4) - 1.0f);
  }
  map.zoom = map.targetZoom = 0.65f;
  map.centreX = cx;
  map.centreY = cy;
  GetInputManager().x = 900;
  GetInputManager().y = 300;
  GetBattleViewFlags().showHealth = true;
  Frame();
  GetBattleScreen().StartFighting();
  ASSERT_EQ(battle.state, BATTLE_RUNNING);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Frame();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name.find("health discs") != std::string::npos) drawn += entry.pixels;
  const platform::Rect screen{0, 0, 1024, 768};
  uint64_t whole = 0;
  for (const SIM_BattleUnit* u : placed) {
    const GUI_BS_HealthDisc disc(u);
    float sx, sy;
    HudWorldToScreen(u->x, u->y, &sx, &sy);
    const float r = disc.radius * map.zoom;
    ASSERT_TRUE(sx > r && sy > r && sx < 1024.0f - r && sy < 768.0f - r) << "the discs are in view";
    const int n = disc.Segments(map.zoom);
    std::vector<float> xy;
    for (int k = 0; k < n; ++k) {
      const float a0 = 6.2831853f * float(k) / float(n), a1 = 6.2831853f * float(k + 1) / float(n);
      for (float v : {sx, sy, sx + std::sin(a0) * r, sy - std::cos(a0) * r, sx + std::sin(a1) * r,
                      sy - std::cos(a1) * r})
        xy.push_back(v);
    }
    whole += platform::CoveredPixels(platform::PrimitiveType::TriangleList, xy, screen);
  }
  EXPECT_GT(drawn, whole / 4) << "the discs were drawn";
  // Their own hulls' middles alone leave about four fifths of the whole discs.
  EXPECT_LT(double(drawn), double(whole) * 0.75) << "the parts under the neighbours' hulls were drawn";
  // The discs then the tanks over black: the game's discs, and whole discs in their place.
  D3DEngine& e = GetRenderDevice();
  auto draw = [&](bool wholeDiscs) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    if (wholeDiscs) {
      HudBeginKind(nullptr, 0);
      for (const SIM_BattleUnit* u : placed) {
        const GUI_BS_HealthDisc disc(u);
        std::array<GUI_BS_HealthDisc::Arc, 4> arcs;
        const SIM_ModuleManager* m = u->moduleManager.get();
        if (!m) continue;
        const int n = disc.Arcs(m->healthFraction, m->armourFraction, m->shieldFraction, map.zoom, arcs);
        float sx, sy;
        HudWorldToScreen(u->x, u->y, &sx, &sy);
        for (int i = 0; i < n; ++i)
          HudFan(sx, sy, disc.radius * map.zoom, arcs[size_t(i)].from, arcs[size_t(i)].sweep,
                 arcs[size_t(i)].triangles, arcs[size_t(i)].colour);
      }
      HudEndKind();
    } else {
      EXPECT_EQ(DrawHealthDiscs(), 12);
    }
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    e.EndScene();
    std::vector<uint32_t> pixels;
    e.Device()->ReadPixels(nullptr, screen, &pixels);
    e.Flip();
    return pixels;
  };
  const std::vector<uint32_t> full = draw(true), cut = draw(false), again = draw(true);
  ASSERT_EQ(full.size(), cut.size());
  ASSERT_EQ(full, again) << "the tanks draw the same twice";
  size_t differ = 0, disc = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    disc += (full[i] & 0xFFFFFFu) != 0 ? 1 : 0;
    for (int shift : {0, 8, 16})
      if (std::abs(int(full[i] >> shift & 0xFF) - int(cut[i] >> shift & 0xFF)) > 1) {
        ++differ;
        break;
      }
  }
  EXPECT_GT(disc, 20000u) << "the discs and tanks show";
  EXPECT_EQ(differ, 0u) << "pixels of a disc lost where no hull covers it";
}

// Damage numbers rise over the tanks they hit: each glyph is drawn over the part of its
// cell that shows, not its whole cell, and the picture is the text renderer's own.
TEST_F(DeploymentGLTest, DamageNumbersDrawOnlyTheirGlyphsNotTheirWholeCells) {
  ZT_REQUIRE_GL(gl_);
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  std::vector<SIM_UnitDesign*> tanks;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (d->GetSizeType() == 2) tanks.push_back(d);
  ASSERT_FALSE(tanks.empty());
  std::vector<const SIM_MapSquare*> attack;
  for (const auto& sq : scenario->grid)
    if (sq && sq->kind != SIM_MapSquare::KIND_EMPLACEMENT && sq->attackerFlag) attack.push_back(sq.get());
  ASSERT_GE(attack.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    battle.playerArmy->DeployDesign(attack[i]->column, attack[i]->row, tanks[i % tanks.size()], 1,
                                    45.0f * float(i), false);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = 0.8f;
  map.centreX = (attack[0]->centreX + attack[3]->centreX) * 0.5f;
  map.centreY = (attack[0]->centreY + attack[3]->centreY) * 0.5f;
  BattleViewFlags& flags = GetBattleViewFlags();
  flags.showDamage = true;
  Frame();
  GetBattleScreen().StartFighting();
  ASSERT_EQ(battle.state, BATTLE_RUNNING);
  Frame();
  // Numbers of every kind on each tank, some of them stacked.
  GUI_BS_DamageFeedbackPool& pool = GUI_BS_DamageFeedbackPool::Instance();
  pool.Clear();
  int added = 0;
  for (const SIM_BattleUnit* u : battle.playerArmy->allUnits)
    for (int k = 0; k < 6; ++k) {
      pool.Add(u, 7.0f + 31.0f * float(k), k % 3, 4.0f * float(k), -3.0f * float(k));
      ++added;
    }
  ASSERT_GE(added, 12);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  trace.enabled = true;
  Frame();
  trace.enabled = false;
  uint64_t drawn = 0;
  for (const BattleFrameTrace::Entry& entry : trace.entries)
    if (entry.name.find("damage numbers") != std::string::npos) drawn += entry.pixels;
  ASSERT_GE(pool.ActiveCount(), 12) << "the numbers are alive";
  // The same numbers printed whole by the text renderer, where the pool puts them.
  D3DEngine& e = GetRenderDevice();
  const platform::Rect screen{0, 0, 1024, 768};
  auto printWhole = [&] {
    TextRenderer& text = GetTextRenderer();
    text.SetFont("18.dds", 16.0f);
    for (const GUI_BS_DamageFeedback& r : pool.records) {
      if (!r.active) continue;
      float wx = r.fixedX, wy = r.fixedY;
      if (!r.fixed) r.unit->LocalToWorld(r.offsetX, r.offsetY, &wx, &wy);
      float sx, sy;
      HudWorldToScreen(wx, wy, &sx, &sy);
      const float t = r.elapsed / GUI_BS_DamageFeedbackPool::kLifeMs;
      text.Print(0, r.text.c_str(), sx, sy - 48.0f * t, r.colour);
    }
    text.Flush();
  };
  auto draw = [&](bool whole, uint64_t* pixels) {
    e.BeginScene();
    e.ClearTarget(0xFF000000u);
    const uint64_t before = e.Device()->Counters().drawnPixels;
    if (whole) {
      printWhole();
    } else {
      HudLiveUnits live;
      live.Refresh();
      pool.Draw(live, 0.0f);  // aged no further: the same numbers
    }
    GetGlobalVertexBuffer().Flush();
    *pixels = e.Device()->Counters().drawnPixels - before;
    e.EndScene();
    std::vector<uint32_t> out;
    e.Device()->ReadPixels(nullptr, screen, &out);
    e.Flip();
    return out;
  };
  uint64_t wholePixels = 0, tightPixels = 0;
  const std::vector<uint32_t> full = draw(true, &wholePixels), tight = draw(false, &tightPixels);
  ASSERT_GT(wholePixels, 0u);
  EXPECT_GT(drawn, wholePixels / 8) << "the numbers were drawn";
  EXPECT_LT(double(drawn), double(wholePixels) * 0.5) << "whole glyph cells were drawn";
  EXPECT_LT(double(tightPixels), double(wholePixels) * 0.5);
  ASSERT_EQ(full.size(), tight.size());
  size_t differ = 0, lit = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    if ((full[i] & 0xFFFFFFu) != 0) ++lit;
    if ((full[i] & 0xFFFFFFu) != (tight[i] & 0xFFFFFFu)) ++differ;
  }
  EXPECT_GT(lit, 500u) << "the numbers show";
  EXPECT_EQ(differ, 0u) << "pixels of the numbers lost or changed";
  pool.Clear();
  flags.showDamage = false;
}

// The console along the bottom is wide art with the battlefield showing through much of
// it: each piece is drawn in bands over the span its art reaches, at every screen width,
// and the picture is the one of its pieces drawn whole.
TEST_F(DeploymentGLTest, TheConsoleDrawsItsPiecesOnlyWhereTheirArtReaches) {
  ZT_REQUIRE_GL(gl_);
  D3DEngine& e = GetRenderDevice();
  const platform::Rect screen{0, 0, 1024, 768};
  for (int width : {896, 1024}) {
    SCOPED_TRACE(width);
    GUI_BS_Deployment_BG bg;
    const float cx = float(width) / 2.0f;
    bg.Layout(width, 768, cx - 175, cx + 175);
    bg.visible = true;
    auto draw = [&](bool whole, uint64_t* pixels) {
      e.BeginScene();
      e.ClearTarget(0xFF000000u);
      e.SetNormalBlend();
      const uint64_t before = e.Device()->Counters().drawnPixels;
      if (whole) {
        CLoadedTexture* art = FindOrLoadTexture("ui_deployment_bg.dds");
        auto piece = [&](const DeploymentArtPiece& p) {
          if (p.shown && p.width > 0.0f && p.height > 0.0f)
            gui_draw::QueueCentred(art, p.x, p.y, p.width, p.height, p.u0, p.v0, p.u1, p.v1, 0xFFFFFFFFu);
        };
        for (int i = 0; i < 4; ++i) piece(bg.slots[i]);
        for (const DeploymentArtPiece& p : bg.edges) piece(p);
        for (int i = 4; i < GUI_BS_Deployment_BG::kSlots; ++i) piece(bg.slots[i]);
        gui_draw::FlushSprites();
      } else {
        bg.Draw();
      }
      GetGlobalVertexBuffer().Flush();
      *pixels = e.Device()->Counters().drawnPixels - before;
      e.EndScene();
      std::vector<uint32_t> out;
      e.Device()->ReadPixels(nullptr, screen, &out);
      e.Flip();
      return out;
    };
    uint64_t wholePixels = 0, bandedPixels = 0;
    const std::vector<uint32_t> full = draw(true, &wholePixels), banded = draw(false, &bandedPixels);
    ASSERT_GT(wholePixels, 0u);
    EXPECT_GT(bandedPixels, wholePixels / 3) << "the console was drawn";
    EXPECT_LT(double(bandedPixels), double(wholePixels) * 0.9) << "whole pieces were drawn";
    ASSERT_EQ(full.size(), banded.size());
    size_t differ = 0, lit = 0;
    for (size_t i = 0; i < full.size(); ++i) {
      if ((full[i] & 0xFFFFFFu) != 0) ++lit;
      for (int shift : {0, 8, 16})
        if (std::abs(int(full[i] >> shift & 0xFF) - int(banded[i] >> shift & 0xFF)) > 1) {
          ++differ;
          break;
        }
    }
    EXPECT_GT(lit, 20000u) << "the console shows";
    EXPECT_EQ(differ, 0u) << "pixels of the console lost or changed";
  }
}

// A night battle with the player's building among its tanks: a right click on the
// finished building, through the battle screen, opens the building's menu.
TEST_F(DeploymentGLTest, ARightClickOnAFinishedBuildingOpensItsMenuAtNight) {
  ZT_REQUIRE_GL(gl_);
  // As the game draws a night: its shaders composite the light map over the dark.
  GetShaderManager().LoadAll();
  GetGame().RenderTargetWidth = 1024;
  GetGame().RenderTargetHeight = 768;
  GetGame().CreateRenderTargets();
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("night_citadel");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  SIM_UnitDesign* tank = nullptr;
  for (SIM_UnitDesign* d : BuildDeployableDesignList())
    if (!tank && d->GetSizeType() == 2) tank = d;
  ASSERT_NE(tank, nullptr);
  SIM_UnitDesign* building = battlescreen_test::PlayerDesign("Gun Tower");
  ASSERT_NE(building, nullptr);
  std::vector<const SIM_MapSquare*> attack;
  for (const auto& sq : scenario->grid)
    if (sq && sq->attackerFlag && sq->kind != SIM_MapSquare::KIND_EMPLACEMENT) attack.push_back(sq.get());
  ASSERT_GE(attack.size(), 3u);
  SIM_BattleUnit* tower = battlescreen_test::PlaceUnit(building, battle.playerArmy, attack[0]->centreX,
                                                       attack[0]->centreY, 180.0f);
  ASSERT_NE(tower, nullptr);
  for (size_t i = 1; i < 3; ++i)
    battle.playerArmy->DeployDesign(attack[i]->column, attack[i]->row, tank, 1, 180.0f, false);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = std::max(map.minZoom, 0.8f);
  map.centreX = attack[0]->centreX;
  map.centreY = attack[0]->centreY;
  Frame();
  GetBattleScreen().StartFighting();
  for (int i = 0; i < 20; ++i) Frame();
  ASSERT_EQ(tower->state, US_ACTIVE) << "built";
  GetInputManager().x = static_cast<int>((tower->x - map.viewLeft) * map.zoom);
  GetInputManager().y = static_cast<int>((tower->y - map.viewTop) * map.zoom);
  Frame();
  GetGame().CurrentMode->OnRightDown();
  ASSERT_NE(GetOpenRCMenu(), nullptr);
  Frame();
  Shot("building_menu_night");
  // Night vision (N): the units show in the light map at their size type's strength.
  CloseRCMenu();
  GetGame().CurrentMode->OnChar('n');
  for (int i = 0; i < 10; ++i) Frame();
  Shot("night_vision_units");
}

// The tooltip of an ability icon lies over the deployment strip's art. Its background is all
// but opaque: whatever the strip left in the device's states (its glints on the higher
// detail settings, a restock clock, the fight begun or not), the art must show through it no
// more than the background's own transparency lets it.
TEST_F(DeploymentGLTest, AnAbilityTooltipCoversTheStripArt) {
  ZT_REQUIRE_GL(gl_);
  SIM_Scenario* scenario = battlescreen_test::StartShippedBattle("river_fords");
  ASSERT_NE(scenario, nullptr);
  SIM_Battle& battle = GetBattle();
  battle.playerDefends = true;
  for (auto& t : GetAirStrikeManager().types) {
    t->unlockable.locked = 0;
    t->ready = true;
  }
  GetGameplay().supplies = 20000.0f;
  GetInputManager().x = 512;
  GetInputManager().y = 300;
  Frame();
  GUI_BS_Deployment* window = GetOpenDeploymentWindow();
  ASSERT_NE(window, nullptr);
  window->Refresh();
  window->ScrollTo(window->ScrollMax());
  int ability = -1;
  for (size_t i = 0; i < window->icons.size(); ++i)
    if (window->icons[i].strike) ability = static_cast<int>(i);
  ASSERT_GE(ability, 0);
  SIM_AirStrikeType* strike = window->icons[static_cast<size_t>(ability)].strike;
  const int mx = window->left + 16 + GUI_BS_Deployment::kIconSize * (ability - window->scroll) +
                 GUI_BS_Deployment::kIconSize / 2;
  const int my = window->top + 6 + GUI_BS_Deployment::kIconSize / 2;
  auto picture = [&](bool tooltip) {
    GetInputManager().x = tooltip ? mx : 512;
    GetInputManager().y = tooltip ? my : 300;
    GetInputManager().stillCounter = tooltip ? 1000 : 0;
    for (int i = 0; i < 6; ++i) Frame();
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    std::vector<uint32_t> pixels;
    EXPECT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
    e.Flip();
    return pixels;
  };
  struct Case {
    const char* name;
    float detail;
    bool fighting;
    bool restocking;
  } cases[] = {
      {"deploying at low detail", 0.0f, false, false},
      {"fighting with glints and a restock clock", 1.0f, true, true},
  };
  const float detailBefore = SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", c.detail);
    battle.state = c.fighting ? BATTLE_RUNNING : BATTLE_DEPLOYMENT;
    strike->ready = !c.restocking;
    strike->restockTimer = c.restocking ? strike->restockDelay * 0.5f : 0.0f;
    const std::vector<uint32_t> without = picture(false);
    const std::vector<uint32_t> with = picture(true);
    ASSERT_NE(window->abilityTooltip, nullptr);
    const GUI_Tooltip& tip = *window->abilityTooltip;
    ASSERT_FLOAT_EQ(tip.alpha, 1.0f);
    // The background's right margin, clear of the text, on the strip's rows.
    const int x = static_cast<int>(tip.x + tip.textWidth + 5.0f);
    const int y = std::min(my, static_cast<int>(tip.y + tip.textHeight));
    ASSERT_GT(y, window->top) << "the spot lies on the strip";
    ASSERT_LT(x, 1024);
    const uint32_t under = without[static_cast<size_t>(y) * 1024 + x];
    const uint32_t got = with[static_cast<size_t>(y) * 1024 + x];
    constexpr uint32_t kTooltipBackground = 0x161A1Eu;
    constexpr int kOpacity = 230;
    for (int shift : {0, 8, 16}) {
      const int bg = static_cast<int>((kTooltipBackground >> shift) & 0xFF);
      const int art = static_cast<int>((under >> shift) & 0xFF);
      const int expected = (bg * kOpacity + art * (255 - kOpacity)) / 255;
      EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), expected, 6)
          << "channel at bit " << shift << " with art " << art << " at (" << x << ", " << y << ")";
    }
  }
  SIM_Options::Get().SetFloat("OPTIONS_GRAPHICS_DETAIL", detailBefore);
}

}  // namespace
