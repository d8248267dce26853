// The overlays over the battlefield on the null device: range rings growing, shown and
// shrinking (also while paused), their firing arcs; warp-out flashes growing and fading
// on battle time; health discs split by pool, with no disc when a unit has no pools;
// damage numbers; and every overlay letting go of a unit that dies or is deleted.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "battle/Battle.h"
#include "battle/BattleFixture.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "battle/Squadron.h"
#include "battlehud/BattleOverlays.h"
#include "battlehud/LiveUnits.h"
#include "battlehud/RangeIndicators.h"
#include "battlehud/Routes.h"
#include "battlehud/SupportOverlays.h"
#include "battlehud/UnitOverlays.h"
#include "battlehud/WarpOuts.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

class OverlayTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    StartBareBattle();
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 1.0f;
    map.cameraX = map.cameraY = 0.0f;
    map.viewLeft = map.viewTop = 0.0f;
    map.viewRight = 1024.0f;
    map.viewBottom = 768.0f;
    GetBattleViewFlags() = BattleViewFlags{};
    ClearBattleOverlays();
  }
  void TearDown() override {
    ClearBattleOverlays();
    units.clear();
    zt_test::NullDeviceTest::TearDown();
  }
  SIM_BattleUnit* NewUnit(float x, float y) {
    units.push_back(std::make_unique<SIM_BattleUnit>());
    SIM_BattleUnit* u = units.back().get();
    u->x = x;
    u->y = y;
    u->size = 40.0f;
    return u;
  }
  // Indexed draws the device saw since the mark.
  size_t DrawsSince(size_t mark) const { return device->draws.size() - mark; }

  std::vector<std::unique_ptr<SIM_BattleUnit>> units;
};

// ---- Range rings ----

TEST_F(OverlayTest, RingsGrowShowAndShrinkOnTheFixedStepEvenWhilePaused) {
  struct Case {
    const char* what;
    bool paused;
  };
  for (const Case& c : {Case{"running", false}, Case{"paused", true}}) {
    SCOPED_TRACE(c.what);
    GetBattle().paused = c.paused;
    SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
    GUI_BS_RangeIndicator* r = GUI_BS_RangeIndicatorSet::Instance().Reset(u);
    ASSERT_NE(r, nullptr);
    r->SetRanges(0.0f, 200.0f, 200.0f, 0.0f);
    EXPECT_EQ(r->state, GUI_BS_RangeIndicator::GROWING);
    GUI_BS_RangeIndicator::DrawAll();
    EXPECT_FLOAT_EQ(r->grow, 16.0f / 100.0f);
    for (int i = 0; i < 6; ++i) GUI_BS_RangeIndicator::DrawAll();  // 112 ms
    EXPECT_EQ(r->state, GUI_BS_RangeIndicator::SHOWN);
    GUI_BS_RangeIndicator::DrawAll();
    EXPECT_FLOAT_EQ(r->grow, 1.0f);
    // Reset again: no second entry in the list.
    GUI_BS_RangeIndicatorSet::Instance().Reset(u);
    EXPECT_EQ(GUI_BS_RangeIndicator::List().size(), 1u);
    GUI_BS_RangeIndicator::DrawAll();
    GUI_BS_RangeIndicator::FadeOutAll();
    EXPECT_EQ(r->state, GUI_BS_RangeIndicator::SHRINKING);
    GUI_BS_RangeIndicator::DrawAll();
    EXPECT_FLOAT_EQ(r->grow, 1.0f - 16.0f / 100.0f);  // shrinks from where it was shown
    for (int i = 0; i < 6; ++i) GUI_BS_RangeIndicator::DrawAll();
    EXPECT_EQ(r->state, GUI_BS_RangeIndicator::HIDDEN);
    EXPECT_TRUE(GUI_BS_RangeIndicator::List().empty());
    ClearBattleOverlays();
  }
  GetBattle().paused = false;
}

TEST_F(OverlayTest, FiringArcsSweepTheArcItself) {
  struct Case {
    float arc;
    float from;
    float sweep;
  };
  // Heading 30 degrees.
  const Case cases[] = {{0.0f, 0.0f, 0.0f},   {90.0f, 345.0f, 90.0f},   {270.0f, 255.0f, 270.0f},
                        {360.0f, 0.0f, 0.0f}, {180.0f, 300.0f, 180.0f}, {200.0f, 290.0f, 200.0f}};
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  u->heading = 30.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arc);
    GUI_BS_RangeIndicator r(u);
    r.SetRanges(0.0f, 100.0f, 100.0f, c.arc);
    float from, sweep;
    r.ArcSpan(u->heading, &from, &sweep);
    EXPECT_NEAR(from, c.from, 1e-3f);
    EXPECT_NEAR(sweep, c.sweep, 1e-3f);
  }
}

TEST_F(OverlayTest, ACutReachShowsTwoBandsTwoPixelsApart) {
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  GUI_BS_RangeIndicator r(u);
  r.SetRanges(20.0f, 150.0f, 200.0f, 0.0f);
  ASSERT_TRUE(r.twoRings);
  EXPECT_FLOAT_EQ(r.ring1.outerScale + r.ring1.outerOffset + 2.0f, r.ring2.innerScale + r.ring2.innerOffset);
  r.SetRanges(20.0f, 200.0f, 200.0f, 0.0f);
  EXPECT_FALSE(r.twoRings);
}

TEST_F(OverlayTest, RingsShareTheBatchInsteadOfACallEach) {
  // Four plain rings (255 quads each) fit one batch: one call.
  for (int i = 0; i < 4; ++i) {
    SIM_BattleUnit* u = NewUnit(100.0f + 100.0f * float(i), 300.0f);
    GUI_BS_RangeIndicatorSet::Instance().Reset(u)->SetRanges(10.0f, 150.0f, 150.0f, 0.0f);
  }
  size_t mark = device->draws.size();
  GUI_BS_RangeIndicator::DrawAll();
  EXPECT_EQ(DrawsSince(mark), 1u);
  // Cut reaches with arcs hold more quads than the global buffer: still one call.
  for (auto* r : GUI_BS_RangeIndicator::List()) r->SetRanges(10.0f, 150.0f, 200.0f, 90.0f);
  mark = device->draws.size();
  GUI_BS_RangeIndicator::DrawAll();
  const int quads = 4 * (2 * 255 + 2 * 256);
  ASSERT_GT(quads * 4, GetGlobalVertexBuffer().Capacity());
  ASSERT_EQ(DrawsSince(mark), 1u);
  EXPECT_EQ(device->draws.back().vertexCount, quads * 6);
  for (auto* r : GUI_BS_RangeIndicator::List()) {
    EXPECT_EQ(r->bandSegments, 2 * 255);
    EXPECT_EQ(r->arcSegments, 2 * 256);
  }
}

TEST_F(OverlayTest, RingsLetGoOfUnitsThatDieOrAreDeleted) {
  struct Case {
    const char* what;
    int state;  // -1: the unit is deleted
  };
  for (const Case& c : {Case{"dying", US_INACTIVE}, Case{"destroyed", US_DESTROYED}, Case{"gone", US_GONE},
                        Case{"deleted", -1}}) {
    SCOPED_TRACE(c.what);
    SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
    GUI_BS_RangeIndicatorSet::Instance().Reset(u)->SetRanges(0.0f, 100.0f, 100.0f, 0.0f);
    GUI_BS_RangeIndicator::DrawAll();
    if (c.state >= 0)
      u->SetState(c.state);
    else
      units.pop_back();                // deleted with its rings still listed
    GUI_BS_RangeIndicator::DrawAll();  // the sanitizer catches a touch of the deleted unit
    EXPECT_TRUE(GUI_BS_RangeIndicator::List().empty());
    EXPECT_EQ(GUI_BS_RangeIndicatorSet::Instance().Count(), 0u);
  }
}

// ---- Warp-outs ----

TEST_F(OverlayTest, WarpOutsGrowToThreeTimesAndFadeOverTheirLife) {
  GUI_BS_WarpOutManager& w = GUI_BS_WarpOutManager::Instance();
  GetBattle().frameStep = 25.0f;
  w.Add(10.0f, 200.0f, 200.0f);
  w.Add(10.0f, -5000.0f, 200.0f);  // off screen: ages all the same
  struct Row {
    int frames;  // frames drawn so far
    float side;
    int alpha;
  };
  const Row rows[] = {{1, 10.0f + 10.0f * 2.0f * 0.1f, 229}, {5, 20.0f, 127}, {10, 30.0f, 0}};
  int drawn = 0;
  for (const Row& row : rows) {
    while (drawn < row.frames) {
      w.Draw();
      ++drawn;
    }
    SCOPED_TRACE(row.frames);
    ASSERT_EQ(w.flashes.size(), 2u);
    EXPECT_NEAR(w.flashes.front().drawnSide, row.side, 1e-3f);
    EXPECT_EQ(w.flashes.front().drawnAlpha, row.alpha);
    EXPECT_EQ(w.drawnLastFrame, 1);
  }
  w.Draw();  // 275 ms
  EXPECT_TRUE(w.flashes.empty());
  GetBattle().frameStep = 16.0f;
}

TEST_F(OverlayTest, WarpOutsWaitWhileThePauseHolds) {
  GUI_BS_WarpOutManager& w = GUI_BS_WarpOutManager::Instance();
  GetBattle().paused = true;
  w.Add(10.0f, 200.0f, 200.0f);
  for (int i = 0; i < 100; ++i) w.Draw();
  ASSERT_EQ(w.flashes.size(), 1u);
  EXPECT_FLOAT_EQ(w.flashes.front().age, 0.0f);
  GetBattle().paused = false;
}

TEST_F(OverlayTest, TheBattleScreensWarpOutReachesTheFlashes) {
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  u->WarpOut();
  EXPECT_EQ(GUI_BS_WarpOutManager::Instance().flashes.size(), 1u);
}

// ---- Health discs ----

TEST_F(OverlayTest, HealthDiscArcsSplitThePools) {
  struct Case {
    const char* what;
    float pools[3];      // internal, armour, shield maxima
    float fractions[3];  // current fractions
    int arcs;
    float sweeps[4];
    uint32_t colours[4];
  };
  using D = GUI_BS_HealthDisc;
  const Case cases[] = {
      {"full pools", {100, 100, 200}, {1, 1, 1}, 3, {90, 90, 180, 0}, {D::kGreen, D::kRed, D::kBlue, 0}},
      {"half the shield",
       {100, 100, 200},
       {1, 1, 0.5f},
       4,
       {90, 90, 90, 90},
       {D::kGreen, D::kRed, D::kBlue, D::kLost}},
      {"internals only", {50, 0, 0}, {0.25f, 0, 0}, 2, {90, 270, 0, 0}, {D::kGreen, D::kLost, 0, 0}},
      {"no pools", {0, 0, 0}, {1, 1, 1}, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"no pools, NaN fractions", {0, 0, 0}, {NAN, NAN, NAN}, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_BS_HealthDisc disc(c.pools[0], c.pools[1], c.pools[2], 30.0f);
    EXPECT_TRUE(std::isfinite(disc.share0) && std::isfinite(disc.share1) && std::isfinite(disc.share2));
    std::array<GUI_BS_HealthDisc::Arc, 4> arcs;
    const int n = disc.Arcs(c.fractions[0], c.fractions[1], c.fractions[2], 1.0f, arcs);
    ASSERT_EQ(n, c.arcs);
    float at = 0.0f;
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(arcs[i].from, at, 1e-3f);
      EXPECT_NEAR(arcs[i].sweep, c.sweeps[i], 1e-3f);
      EXPECT_EQ(arcs[i].colour, c.colours[i]);
      EXPECT_GE(arcs[i].triangles, 1);
      at += arcs[i].sweep;
    }
  }
}

TEST_F(OverlayTest, HealthDiscSegmentsFollowTheZoom) {
  GUI_BS_HealthDisc disc(100, 0, 0, 40.0f);
  EXPECT_EQ(disc.Segments(0.0f), 4);
  EXPECT_EQ(disc.Segments(1.0f), int(0.4f * 86.0f) + 4);
  EXPECT_EQ(disc.Segments(10.0f), 90);
}

TEST_F(OverlayTest, NoDiscForUnitsThatAreDyingOrHaveNoPools) {
  HudLiveUnits live;
  SIM_BattleUnit* bare = NewUnit(300.0f, 300.0f);  // no modules: no pools
  SIM_BattleUnit* dying = NewUnit(400.0f, 300.0f);
  dying->SetState(US_INACTIVE);
  live.Refresh();
  bool drawn = true;
  const size_t mark = device->draws.size();
  EXPECT_TRUE(GUI_BS_HealthDisc::Draw(live, bare, &drawn));
  EXPECT_FALSE(drawn);
  EXPECT_FALSE(GUI_BS_HealthDisc::Draw(live, dying, &drawn));
  GetBattleViewFlags().showHealth = true;
  DrawHealthDiscs();
  EXPECT_EQ(DrawsSince(mark), 0u);
}

// ---- Damage numbers and floating texts ----

TEST_F(OverlayTest, DamageNumbersNeedTheToggleAndAFreeRecord) {
  GUI_BS_DamageFeedbackPool& pool = GUI_BS_DamageFeedbackPool::Instance();
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  pool.Add(u, 12.7f, 1, 0.0f, 0.0f);
  EXPECT_EQ(pool.ActiveCount(), 0);  // switched off
  GetBattleViewFlags().showDamage = true;
  for (int i = 0; i < GUI_BS_DamageFeedbackPool::kSize + 1; ++i) pool.Add(u, 12.7f, 1, 0.0f, 0.0f);
  EXPECT_EQ(pool.ActiveCount(), GUI_BS_DamageFeedbackPool::kSize);
  EXPECT_EQ(pool.records[0].text, GetTranslation("DAMFEED_ARMOR") + " -12");  // truncated
  pool.Clear();
  pool.Add(u, 5.0f, 0, 0.0f, 0.0f);
  SIM_BattleUnit* other = NewUnit(0.0f, 0.0f);
  pool.CompletePending(other, 1.0f, 2.0f);
  EXPECT_FALSE(pool.records[0].fixed);
  EXPECT_EQ(pool.pending, nullptr);
}

TEST_F(OverlayTest, DamageNumbersRiseFadeAndLetGoOfDeletedUnits) {
  GetBattleViewFlags().showDamage = true;
  GUI_BS_DamageFeedbackPool& pool = GUI_BS_DamageFeedbackPool::Instance();
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  pool.Add(u, 5.0f, 2, 0.0f, 0.0f);
  HudLiveUnits live;
  live.Refresh();
  // What the draw hands the text renderer: the number's point and colour.
  LoadStandardFonts();
  TextCapture capture;
  GetTextRenderer().SetCapture(&capture);
  pool.Draw(live, 250.0f);
  pool.Draw(live, 200.0f);  // t = 0.9
  GetTextRenderer().SetCapture(nullptr);
  ASSERT_EQ(capture.chunks.size(), 2u);
  EXPECT_EQ(capture.chunks[0]->text, pool.records[0].text);
  EXPECT_NEAR(capture.chunks[0]->y, 300.0f - 24.0f, 1e-3f);
  EXPECT_EQ(capture.chunks[0]->colour >> 24, 0xFFu);
  EXPECT_NEAR(capture.chunks[1]->y, 300.0f - 48.0f * 0.9f, 1e-3f);
  EXPECT_NEAR(float(capture.chunks[1]->colour >> 24), 0.5f * 255.0f, 1.0f);
  pool.Add(u, 5.0f, 2, 0.0f, 0.0f);
  units.clear();  // the unit is deleted while its numbers rise
  live.Refresh();
  pool.Draw(live, 16.0f);
  EXPECT_EQ(pool.ActiveCount(), 0);
}

TEST_F(OverlayTest, FloatingTextRisesTwoHundredPixelsAndGoes) {
  GUI_BS_FloatingTexts& texts = GUI_BS_FloatingTexts::Instance();
  FloatingTextAdd("+10 supplies", 300.0f, 400.0f);
  texts.Draw(1000.0f);
  ASSERT_EQ(texts.texts.size(), 1u);
  EXPECT_NEAR(texts.texts.front().drawnY, 300.0f, 1e-3f);
  texts.Draw(1000.0f);
  EXPECT_NEAR(texts.texts.front().drawnY, 200.0f, 1e-3f);
  texts.Draw(1.0f);
  EXPECT_TRUE(texts.texts.empty());
}

// ---- Route network, selected routes and target markers ----

// A map of cols x rows squares 200 apart, numbered row by row, with no links yet.
std::unique_ptr<SIM_Scenario> SquareMap(int cols, int rows) {
  auto s = std::make_unique<SIM_Scenario>();
  s->maxCols = cols;
  s->maxRows = rows;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      auto sq = std::make_unique<SIM_MapSquare>();
      sq->number = r * cols + c;
      sq->column = c;
      sq->row = r;
      sq->centreX = 100.0f + 200.0f * float(c);
      sq->centreY = 100.0f + 200.0f * float(r);
      s->squaresByNumber.push_back(sq.get());
      s->grid.push_back(std::move(sq));
    }
  return s;
}

TEST_F(OverlayTest, RouteArrowsPointAtTheLinkedSquare) {
  struct Case {
    const char* what;
    float dx, dy;
    float angle;
  };
  const Case cases[] = {
      {"right", 200, 0, 90}, {"down", 0, 200, 180}, {"left", -200, 0, 270}, {"up", 0, -200, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NEAR(GUI_BS_Path::ArrowAngle(300, 300, 300 + c.dx, 300 + c.dy), c.angle, 1e-3f);
  }
}

TEST_F(OverlayTest, ASquareShowsAtMostFourLinksAndSkipsMissingSquares) {
  auto map = SquareMap(3, 3);
  SIM_MapSquare* centre = map->squaresByNumber[4];
  // A crafted map: a link to a square it lacks and six links in all.
  centre->links = {1, 999, 3, 5, 7, 0};
  GUI_BS_Path path(*map, centre, false, false);
  ASSERT_EQ(path.arrowCount, GUI_BS_Path::kMaxLinks);
  const int expected[4] = {1, 3, 5, 7};
  for (int i = 0; i < 4; ++i) {
    const SIM_MapSquare* to = map->squaresByNumber[size_t(expected[i])];
    EXPECT_FLOAT_EQ(path.arrows[size_t(i)].x, 0.5f * (centre->centreX + to->centreX));
    EXPECT_FLOAT_EQ(path.arrows[size_t(i)].y, 0.5f * (centre->centreY + to->centreY));
    EXPECT_FLOAT_EQ(path.arrows[size_t(i)].width, 50.0f);
    EXPECT_FLOAT_EQ(path.arrows[size_t(i)].height, 100.0f);
  }
}

TEST_F(OverlayTest, RouteNetworkBuildsFadesAndKeepsThePlayersSquares) {
  auto map = SquareMap(3, 2);
  map->squaresByNumber[0]->links = {1};
  map->squaresByNumber[0]->attackerFlag = true;
  map->squaresByNumber[1]->links = {2};
  map->squaresByNumber[2]->notExit = false;  // an exit with no links of its own
  map->squaresByNumber[3]->links = {4};
  map->squaresByNumber[3]->defenderFlag = true;  // the defender's side is left out
  GUI_BS_PathManager& m = GUI_BS_PathManager::Instance();
  GetBattleViewFlags().showPaths = true;
  m.Rebuild(map.get(), false, true);
  EXPECT_EQ(m.paths.size(), 2u);
  EXPECT_EQ(m.exits.size(), 1u);
  EXPECT_EQ(m.state, GUI_BS_PathManager::SHOWN);
  EXPECT_FLOAT_EQ(m.visibility, 128.0f);
  EXPECT_TRUE(m.paths[0]->highlighted);
  EXPECT_FALSE(m.paths[1]->highlighted);

  // Switched off: out over 125 ms of battle time, held while paused (no battle time).
  struct Step {
    float ms;
    float visibility;
    int state;
  };
  const Step fadeOut[] = {{0.0f, 128.0f, GUI_BS_PathManager::FADING_OUT},
                          {62.5f, 64.0f, GUI_BS_PathManager::FADING_OUT},
                          {0.0f, 64.0f, GUI_BS_PathManager::FADING_OUT},
                          {62.5f, 0.0f, GUI_BS_PathManager::HIDDEN}};
  m.ResetVisibility(false);
  for (const Step& s : fadeOut) {
    m.AdvanceFade(s.ms);
    EXPECT_FLOAT_EQ(m.visibility, s.visibility);
    EXPECT_EQ(m.state, s.state);
  }
  // Hidden, the player's squares still show their outline: one call for the outlines and
  // nothing else.
  size_t mark = device->draws.size();
  EXPECT_FALSE(m.QueueRoutePass());
  EXPECT_EQ(DrawsSince(mark), 1u);
  // The key or the button flips the flag; the next frame starts the fade in.
  GetBattleViewFlags().showPaths = true;
  GetBattle().paused = true;
  m.Draw();
  EXPECT_EQ(m.state, GUI_BS_PathManager::FADING_IN);
  EXPECT_FLOAT_EQ(m.visibility, 0.0f);
  GetBattle().paused = false;
  m.AdvanceFade(200.0f);
  EXPECT_EQ(m.state, GUI_BS_PathManager::SHOWN);
  // Shown: outlines, arrows and exits are one call each however many squares there are.
  mark = device->draws.size();
  EXPECT_TRUE(m.QueueRoutePass());
  EXPECT_EQ(DrawsSince(mark), 3u);
  m.Clear();
}

TEST_F(OverlayTest, RouteOutlineColoursByMapStyle) {
  struct Case {
    bool dark, highlighted;
    int alpha;
    uint32_t colour;
  };
  const Case cases[] = {{false, true, 0, 0x80A5FFA5u},
                        {false, false, 64, 0x40FFFFFFu},
                        {true, true, 0, 0x80002000u},
                        {true, false, 64, 0x40000000u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dark " << c.dark << " highlighted " << c.highlighted);
    EXPECT_EQ(GUI_BS_PathManager::OutlineColour(c.dark, c.highlighted, c.alpha), c.colour);
  }
  auto map = SquareMap(2, 1);
  map->uiStyle = "DARK";
  map->squaresByNumber[0]->links = {1};
  GUI_BS_PathManager& m = GUI_BS_PathManager::Instance();
  m.Rebuild(map.get(), false, true);
  EXPECT_TRUE(m.dark);
  EXPECT_EQ(m.paths[0]->arrows[0].colour, 0xFF000000u);
  m.Clear();
}

TEST_F(OverlayTest, SelectedRoutesShareArrowsAndTheHundredthIsDropped) {
  auto map = SquareMap(20, 10);
  SIM_BattleArmy army;
  SIM_BattleUnit* a = NewUnit(100.0f, 100.0f);
  SIM_BattleUnit* b = NewUnit(120.0f, 100.0f);
  SIM_BattleUnit* idle = NewUnit(140.0f, 100.0f);
  for (SIM_BattleUnit* u : {a, b, idle}) {
    u->pathManager = std::make_unique<SIM_BattlePathManager>(u);
    for (int i = 0; i < 4; ++i) u->pathManager->route.push_back(map->squaresByNumber[size_t(i)]);
    army.allUnits.push_back(u);
  }
  a->selected = b->selected = true;
  HudLiveUnits live;
  live.Refresh();
  PathArrowPool& pool = PathArrowPool::Instance();
  pool.Collect(&army, live);
  EXPECT_EQ(pool.count, 3);  // two units on the same route: one set
  EXPECT_FLOAT_EQ(pool.arrows[0].heading, 90.0f);
  b->SetState(US_DESTROYED);
  b->pathManager->route.push_front(map->squaresByNumber[50]);
  live.Refresh();
  pool.Collect(&army, live);
  EXPECT_EQ(pool.count, 3);  // a destroyed unit's route is not shown
  // Reversed pairs are new arrows; past 99 nothing more is taken.
  pool.count = 0;
  int added = 0;
  for (int i = 0; i + 1 < 200; ++i)
    added += pool.Add(map->squaresByNumber[size_t(i)], map->squaresByNumber[size_t(i + 1)]) ? 1 : 0;
  EXPECT_EQ(added, PathArrowPool::kSize);
  EXPECT_EQ(pool.count, PathArrowPool::kSize);
  army.allUnits.clear();  // the fixture owns them
}

TEST_F(OverlayTest, TargetMarkerLineStopsBeforeTheTarget) {
  struct Case {
    const char* what;
    float tx, ty;
    bool drawn;
    float length, headX, headY, angle;
  };
  // Unit at (100, 100), start offset 20, target half size 10.
  const Case cases[] = {{"to the right", 200, 100, true, 56, 183, 100, 90},
                        {"below", 100, 300, true, 156, 100, 283, 180},
                        {"just too close", 100, 144, false, 0, 0, 0, 0},
                        {"on top", 100, 100, false, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GUI_BS_TargetUI::Shape s;
    ASSERT_EQ(GUI_BS_TargetUI::Layout(100, 100, c.tx, c.ty, 20, 10, &s), c.drawn);
    if (!c.drawn) continue;
    EXPECT_NEAR(s.lineLength, c.length, 1e-3f);
    EXPECT_NEAR(s.headX, c.headX, 1e-3f);
    EXPECT_NEAR(s.headY, c.headY, 1e-3f);
    EXPECT_NEAR(s.angle, c.angle, 1e-3f);
  }
  // Only selected units with a live target; a target that is deleted is let go.
  SIM_BattleArmy army;
  SIM_BattleUnit* u = NewUnit(100.0f, 100.0f);
  SIM_BattleUnit* t = NewUnit(400.0f, 100.0f);
  army.allUnits.push_back(u);
  u->target = t;
  HudLiveUnits live;
  live.Refresh();
  EXPECT_EQ(GUI_BS_TargetUI::DrawAll(&army, live), 0);
  u->selected = true;
  EXPECT_EQ(GUI_BS_TargetUI::DrawAll(&army, live), 1);
  units.pop_back();  // the target is deleted
  live.Refresh();
  EXPECT_EQ(GUI_BS_TargetUI::DrawAll(&army, live), 0);
  army.allUnits.clear();
}

// ---- Support icons and support areas ----

TEST_F(OverlayTest, SupportIconsSitCentredAboveTheUnit) {
  struct Case {
    const char* what;
    bool supports[3];
    bool reloading;
    float zoom;
    std::vector<int> frames;
    float firstX, y, side;
  };
  // A unit of size 80 at screen (400, 300): step 20 at zoom 1.
  const Case cases[] = {
      {"nothing", {false, false, false}, false, 1.0f, {}, 0, 0, 0},
      {"repair only", {true, false, false}, false, 1.0f, {1}, 400, 260, 20},
      {"hospital and command", {false, true, true}, false, 1.0f, {0, 2}, 390, 260, 20},
      {"all and reloading", {true, true, true}, true, 1.0f, {1, 0, 2, 3}, 370, 260, 20},
      // Zoomed out the step is 2, but the icons stay 8 pixels and 8 apart.
      {"zoomed out", {true, false, true}, false, 0.1f, {1, 2}, 399, 296, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto icons = GUI_BS_SupportIconManager::Layout(400, 300, 80, c.zoom, c.supports, c.reloading);
    ASSERT_EQ(icons.size(), c.frames.size());
    for (size_t i = 0; i < icons.size(); ++i) {
      EXPECT_EQ(icons[i].frame, c.frames[i]);
      EXPECT_NEAR(icons[i].x, c.firstX + c.side * float(i), 1e-3f);
      EXPECT_NEAR(icons[i].y, c.y, 1e-3f);
      EXPECT_NEAR(icons[i].side, c.side, 1e-3f);
    }
  }
}

TEST_F(OverlayTest, SupportAreasShowWhilePlacingOrSelected) {
  struct Case {
    int state;
    bool selected;
    bool shown;
  };
  const Case cases[] = {{US_IN_DROPPER, false, true}, {US_ACTIVE, false, false},   {US_ACTIVE, true, true},
                        {US_INACTIVE, true, true},    {US_DESTROYED, true, false}, {US_GONE, true, false}};
  SIM_BattleUnit* u = NewUnit(300.0f, 300.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << c.state << " selected " << c.selected);
    u->SetState(c.state);
    u->selected = c.selected;
    EXPECT_EQ(GUI_BS_EffectIndicatorManager::Shown(u), c.shown);
  }
}

// ---- Health discs follow the player's units ----

TEST_F(OverlayTest, HealthDiscsOnlyUnderThePlayersPicturedUnits) {
  SIM_BattleUnit* plain = NewUnit(300.0f, 300.0f);
  auto squad = std::make_unique<SIM_BattleSquadron>();
  struct Case {
    const char* what;
    const SIM_BattleUnit* unit;
    bool selected, showHealth, wanted;
  };
  // A unit without a visual is not on the battlefield to be looked at.
  const Case cases[] = {{"no visual", plain, true, true, false}, {"squad", squad.get(), true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HealthDiscWanted(c.unit, c.showHealth), c.wanted);
  }
  EXPECT_FALSE(HealthDiscWanted(nullptr, true));

  // Built from a design, a unit has its visual; the enemy's units never show a disc.
  Catalogue cat;
  SIM_UnitDesign* design = cat.Design(cat.Hull("tank", SIZE_TANK, 1, 100.0f),
                                      {cat.Module("plate", "SIM_ArmorComponent", "hitpoints = 50")});
  SIM_Battle& battle = GetBattle();
  SIM_BattleUnit* mine = AddUnit(design, battle.playerArmy);
  SIM_BattleUnit* theirs = AddUnit(design, battle.opponentArmy);
  ASSERT_TRUE(mine->visual);
  mine->x = theirs->x = 300.0f;
  mine->y = theirs->y = 300.0f;
  struct Shown {
    bool showHealth, selected;
    int discs;
  };
  for (const Shown& c : {Shown{true, false, 1}, Shown{false, true, 1}, Shown{false, false, 0}}) {
    SCOPED_TRACE(testing::Message() << "toggle " << c.showHealth << " selected " << c.selected);
    GetBattleViewFlags().showHealth = c.showHealth;
    mine->selected = theirs->selected = c.selected;
    EXPECT_EQ(DrawHealthDiscs(), c.discs);
  }
}

// ---- The whole HUD's calls do not grow with the army ----

TEST_F(OverlayTest, OverlayCallsAreTheSameForFortyAndFourHundredUnits) {
  Catalogue cat;
  SIM_UnitDesign* design =
      cat.Design(cat.Hull("tank", SIZE_TANK, 1, 100.0f), {cat.Module("plate", "SIM_ArmorComponent")});
  auto scenario = SquareMap(20, 15);
  for (int i = 0; i + 1 < 20; ++i) scenario->squaresByNumber[size_t(i)]->links = {i + 1};
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  BattleViewFlags& flags = GetBattleViewFlags();
  flags.showHealth = flags.showPaths = true;
  GUI_BS_PathManager::Instance().Rebuild(scenario.get(), false, true);
  // Zoomed out over the whole field, as a player watching a large battle would be, and
  // close in, where every disc and ring has its most rim points (400 units' worth is
  // several times the global buffer).
  for (const float zoom : {0.25f, 1.0f}) {
    SCOPED_TRACE(testing::Message() << "zoom " << zoom);
    size_t calls[2] = {};
    const int counts[2] = {40, 400};
    for (int k = 0; k < 2; ++k) {
      SCOPED_TRACE(counts[k]);
      StartBareBattle();
      ClearBattleOverlays();
      map.zoom = zoom;
      map.viewLeft = map.viewTop = 0.0f;
      map.viewRight = 4096.0f;
      map.viewBottom = 3072.0f;
      SIM_Battle& battle = GetBattle();
      std::vector<SIM_BattleUnit*> mine, theirs;
      for (int i = 0; i < counts[k]; ++i) {
        const bool player = i % 2 == 0;
        SIM_BattleUnit* u = AddUnit(design, player ? battle.playerArmy : battle.opponentArmy);
        u->x = 100.0f + 200.0f * float(i % 20);
        u->y = 100.0f + 150.0f * float(i / 20);
        u->selected = player;
        (player ? mine : theirs).push_back(u);
      }
      for (size_t i = 0; i < mine.size(); ++i) {
        mine[i]->target = theirs[i];
        mine[i]->pathManager = std::make_unique<SIM_BattlePathManager>(mine[i]);
        for (int s = 0; s < 20; ++s)
          mine[i]->pathManager->route.push_back(scenario->squaresByNumber[size_t(s)]);
        GUI_BS_RangeIndicatorSet::Instance().Reset(mine[i])->SetRanges(20.0f, 150.0f, 200.0f, 90.0f);
        GUI_BS_WarpOutManager::Instance().Add(40.0f, theirs[i]->x, theirs[i]->y);
      }
      const size_t mark = device->draws.size();
      DrawRouteNetwork();
      EXPECT_EQ(DrawHealthDiscs(), counts[k] / 2);
      DrawSelectedRoutes();
      DrawTargetMarkers();
      DrawSupportIcons();
      DrawSupportAreas();
      GUI_BS_RangeIndicator::DrawAll();
      GUI_BS_WarpOutManager::Instance().Draw();
      calls[k] = DrawsSince(mark);
    }
    EXPECT_EQ(calls[0], calls[1]);
    EXPECT_LE(calls[1], 64u);
  }
  GUI_BS_PathManager::Instance().Clear();
}

}  // namespace
