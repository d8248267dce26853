// What a unit's visual shows and plays when it is hit, damaged, killed and driven: the
// explosions, glare, plumes and debris its hits make, the impact sounds and the engine sound's whole life,
// the wreck, and the construction clock of a building.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "battle/Module.h"
#include "battlehud/BuildingMenu.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/LiveEffects.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "simdata/UnitHull.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class UnitReactionsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    LoadEffectConfigs();
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    GetBattle().Begin();
    scene = PlaceBothSides(1150.0f, 600.0f);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = 2.0f;
    map.cameraX = 1150.0f;
    map.cameraY = 600.0f;
    map.UpdateViewRect();
    ClearLiveEffects();
    CloseRCMenu();
  }
  // The hit explosions by the type the visual asked for: the tile's own (a minor
  // explosion), a random small one, or the medium one.
  static int TileExplosions() { return LiveGroups("minor_explosion"); }
  static int MediumExplosions() { return LiveGroups("medium_explosion"); }
  static int AnyExplosions() { return TileExplosions() + LiveSmallExplosions() + MediumExplosions(); }
  std::vector<std::string> PlayedSince(size_t from) const {
    std::vector<std::string> out;
    for (size_t i = from; i < fake->order.size(); ++i) out.push_back(fake->sounds.at(fake->order[i]).file);
    return out;
  }
  const FakeSound* EngineOf(GUI_BS_TankUnit* t) const {
    auto it = fake->sounds.find(t->engineSound);
    return it == fake->sounds.end() ? nullptr : &it->second;
  }
  FakeSoundEngine* fake = nullptr;
  UnitScene scene;
};

TEST_F(UnitReactionsTest, AHitShowsItsDamageBandAndPlaysItsSoundSet) {
  SIM_BattleUnit* tank = scene.enemy[1];
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  ASSERT_NE(v, nullptr);
  const SIM_UnitTargetData* point = tank->design->hull->targets[0].get();
  GUI_Sounds& sounds = GetSounds();
  const struct {
    float damage;
    int small, tile, medium;  // the explosions shown
    int glares, lightGlares;  // on screen, in the light map only
    int collection;
    float distance;
  } cases[] = {
      {8.9f, 1, 0, 0, 0, 0, GUI_Sounds::COLLECTION_SMALL_EXPLOSION, 64},
      {9.0f, 0, 1, 0, 0, 0, GUI_Sounds::COLLECTION_SMALL_EXPLOSION, 64},
      {19.9f, 0, 1, 0, 0, 0, GUI_Sounds::COLLECTION_SMALL_EXPLOSION, 64},
      {20.0f, 0, 1, 0, 1, 1, GUI_Sounds::COLLECTION_SMALL_EXPLOSION, 84},
      {29.9f, 0, 1, 0, 1, 1, GUI_Sounds::COLLECTION_SMALL_EXPLOSION, 84},
      {30.0f, 0, 0, 1, 0, 1, GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION, 120},
      {49.9f, 0, 0, 1, 0, 1, GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION, 120},
      {50.0f, 0, 0, 0, 1, 1, GUI_Sounds::COLLECTION_LARGE_EXPLOSION, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    // A fresh tile each time: the wear of earlier hits is its own case below.
    float hx = 0, hy = 0;
    v->HitPoint(point, &hx, &hy);
    GUI_BS_MapTile* tile = GUI_BS_Map::Instance().TileAt(hx, hy);
    ASSERT_NE(tile, nullptr);
    tile->hits = 0;
    ClearLiveEffects();
    const size_t before = fake->order.size();
    const std::vector<std::string>& names = sounds.CollectionNames(c.collection);
    v->ShowHit(point, c.damage, false, 0);
    EXPECT_EQ(LiveSmallExplosions(), c.small);
    EXPECT_EQ(TileExplosions(), c.tile);
    EXPECT_EQ(MediumExplosions(), c.medium);
    EXPECT_EQ(LiveGlares(false), c.glares);
    EXPECT_EQ(LiveGlares(true), c.lightGlares);
    if (c.damage >= 50.0f) {
      // A burst of 12 to 20 plumes and 32 pieces of debris.
      EXPECT_GE(LivePlumes(), 12);
      EXPECT_LE(LivePlumes(), 20);
      EXPECT_EQ(LiveDebris(), 32);
    } else {
      EXPECT_EQ(LivePlumes(), 0);
      EXPECT_EQ(LiveDebris(), 0);
    }
    const std::vector<std::string> played = PlayedSince(before);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_NE(std::find(names.begin(), names.end(), played[0]), names.end()) << played[0];
    EXPECT_FLOAT_EQ(fake->Last().minDistance, c.distance * GUI_Sounds::kWorldToEngine);
  }
}

TEST_F(UnitReactionsTest, AWornTileShowsNoSmallHitsAndAHitOffScreenIsSilent) {
  SIM_BattleUnit* tank = scene.enemy[1];
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  const SIM_UnitTargetData* point = tank->design->hull->targets[0].get();
  float hx = 0, hy = 0;
  v->HitPoint(point, &hx, &hy);
  GUI_BS_Map::Instance().TileAt(hx, hy)->hits = 4;
  const size_t before = fake->order.size();
  v->ShowHit(point, 15.0f, false, 0);
  EXPECT_EQ(AllLiveEffects(), 0);
  EXPECT_EQ(fake->order.size(), before);
  // A mark laid by this hit still shows it.
  v->ShowHit(point, 15.0f, false, 1);
  EXPECT_EQ(TileExplosions(), 1);
  // Worn and heavy: the tile's explosion, not the medium one.
  ClearLiveEffects();
  v->ShowHit(point, 40.0f, false, 0);
  EXPECT_EQ(TileExplosions(), 1);
  EXPECT_EQ(MediumExplosions(), 0);
  // Far away: the effects, but no sound.
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.cameraX = 5000.0f;
  map.UpdateViewRect();
  ClearLiveEffects();
  const size_t quiet = fake->order.size();
  v->ShowHit(point, 60.0f, false, 1);
  EXPECT_GE(LivePlumes(), 12);
  EXPECT_EQ(LiveDebris(), 32);
  EXPECT_EQ(fake->order.size(), quiet);
}

TEST_F(UnitReactionsTest, DamageEmittersFollowHealthOnePerPointAndRepairsFinishThem) {
  SIM_BattleUnit* tank = scene.enemy[1];  // the heavy hull carries several
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  const auto& targets = tank->design->hull->targets;
  ASSERT_GE(v->maxDamageEmitters, 1);
  v->OnDamaged(targets[0].get());
  EXPECT_TRUE(v->emitters.empty());  // full health
  tank->moduleManager->healthFraction = 0.0f;
  for (int i = 0; i < 3; ++i)
    for (const auto& t : targets) v->OnDamaged(t.get());
  EXPECT_EQ(static_cast<int>(v->emitters.size()), v->maxDamageEmitters);
  for (size_t i = 0; i < v->emitters.size(); ++i)
    for (size_t j = i + 1; j < v->emitters.size(); ++j) EXPECT_NE(v->emitters[i].point, v->emitters[j].point);
  for (const auto& e : v->emitters) {
    EXPECT_TRUE(e.name == "small_unit_emitter" || e.name == "small_unit_emitter2" ||
                e.name == "small_unit_emitter3")
        << e.name;
    EXPECT_TRUE(v->IsPointDamaged(e.point));
  }
  // Each one smokes: the effects layer made its drawn emitter.
  for (const auto& e : v->emitters) EXPECT_NE(e.object, nullptr);
  // The simulation's own choice of aim point never sees the drawn damage.
  EXPECT_FALSE(v->IsPartDestroyed(targets[0].get()));
  tank->moduleManager->healthFraction = 1.0f;
  v->ApplyDamageLevel();
  v->PruneEmitters();
  EXPECT_EQ(static_cast<int>(v->emitters.size()), v->maxDamageEmitters - 1);
}

TEST_F(UnitReactionsTest, DeathBlastsAndTheWreckBreaksUpAtTheSequencesBreakUpEvent) {
  SIM_BattleUnit* tank = scene.player[0];
  auto* v = dynamic_cast<GUI_BS_TankUnit*>(tank->visual.get());
  ASSERT_NE(v, nullptr);
  const SIM_UnitHull* hull = tank->design->hull;
  ASSERT_FALSE(hull->explosions.empty());
  // When the hull's explosion manager breaks the wreck up.
  DeathSequence data;
  ASSERT_TRUE(DeathSequenceInit(data, hull->explosions.front()));
  float breakUp = -1.0f;
  for (int i = 0; i < data.count; ++i)
    if (data.records[size_t(i)].type == EXP_STARTBREAKUP) breakUp = data.records[size_t(i)].time;
  ASSERT_GT(breakUp, 32.0f);
  GUI_BS_DistortionManager::Instance().Reset();
  const size_t hulks = GUI_BS_Hulk::List().size();
  const size_t breakups = GUI_BS_BreakupCollection::Running().size();
  auto burning = [] {
    int n = 0;
    for (GUI_BS_RenderObject* e : GUI_BS_EffectsManager::Instance().allEffects)
      n += dynamic_cast<GUI_BS_GroundEmitter*>(e) != nullptr;
    return n;
  };
  const int fires = burning();
  const size_t before = fake->order.size();
  v->OnDestroyed();
  EXPECT_EQ(GUI_BS_DistortionManager::Instance().shockwaves.size(), 2u);
  bool explosion = false;
  for (const std::string& f : PlayedSince(before)) explosion |= f.find("lb_explosion_") != std::string::npos;
  EXPECT_TRUE(explosion);
  EXPECT_EQ(v->engineSound, -1);
  // The fade starts at once; the wreck waits for the break-up event of the sequence,
  // which runs in the battle's frames.
  tank->state = US_INACTIVE;
  SIM_Battle& battle = GetBattle();
  battle.frameStep = 16.0f;
  float elapsed = 0.0f;
  while (!v->wreckPlaced && elapsed < breakUp + 64.0f) {
    v->PruneEmitters();
    GetBattleScreen().DrawBattle();
    elapsed += 16.0f;
    if (!v->wreckPlaced) {
      EXPECT_EQ(GUI_BS_Hulk::List().size(), hulks) << "no wreck before its time";
    }
  }
  ASSERT_TRUE(v->wreckPlaced);
  EXPECT_GE(elapsed, breakUp);
  EXPECT_LE(elapsed, breakUp + 32.0f);
  EXPECT_GT(GUI_BS_Hulk::List().size(), hulks);
  EXPECT_GT(GUI_BS_BreakupCollection::Running().size(), breakups);
  const int laid = burning() - fires;
  EXPECT_GE(laid, 2) << "the wreck burns";
  for (int i = 0; i < 20; ++i) GetBattleScreen().DrawBattle();
  EXPECT_LE(burning() - fires, laid) << "laid once";
}

TEST(HulkEmitters, CountBySizeAndRandom) {
  EXPECT_EQ(GUI_BS_MajorUnit::HulkEmitterCount(29.0f, 0.0f), 2);
  EXPECT_EQ(GUI_BS_MajorUnit::HulkEmitterCount(29.0f, 0.999f), 2);
  EXPECT_EQ(GUI_BS_MajorUnit::HulkEmitterCount(300.0f, 0.0f), 2);
  EXPECT_EQ(GUI_BS_MajorUnit::HulkEmitterCount(300.0f, 0.999f), 11);
}

TEST_F(UnitReactionsTest, EveryShippedTankHasARunningEngineThatFollowsItAndStops) {
  for (SIM_BattleUnit* u : {scene.player[0], scene.player[1], scene.enemy[0], scene.enemy[1]}) {
    auto* t = dynamic_cast<GUI_BS_TankUnit*>(u->visual.get());
    ASSERT_NE(t, nullptr);
    SCOPED_TRACE(u->design->hull->name);
    const FakeSound* s = EngineOf(t);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->looped);
    EXPECT_FALSE(s->stopped);
    EXPECT_TRUE(std::filesystem::is_regular_file(s->file)) << s->file;
    EXPECT_NE(t->exhaustName, "");
  }
  auto* t = dynamic_cast<GUI_BS_TankUnit*>(scene.player[0]->visual.get());
  SIM_BattleUnit* u = scene.player[0];
  // Driving: the sound follows, and idles at a third of its volume.
  u->x += 50.0f;
  t->UpdateTracks();
  EXPECT_FLOAT_EQ(EngineOf(t)->pos.x, u->x * GUI_Sounds::kWorldToEngine);
  EXPECT_NEAR(t->lastSpeedFactor, 0.33f, 1e-6f);
  EXPECT_GT(EngineOf(t)->volume, 0.0f);
  // Warped out: the battle clears its selection and the engine stops.
  const int handle = t->engineSound;
  u->visual->ClearSelection();  // what finishing a warp-out does
  EXPECT_TRUE(fake->sounds.at(handle).stopped);
  EXPECT_EQ(t->engineSound, -1);
  // Dying stops another; the battle's end stops the rest.
  auto* other = dynamic_cast<GUI_BS_TankUnit*>(scene.enemy[0]->visual.get());
  const int otherHandle = other->engineSound;
  other->OnKilled();
  EXPECT_TRUE(fake->sounds.at(otherHandle).stopped);
  auto* last = dynamic_cast<GUI_BS_TankUnit*>(scene.enemy[1]->visual.get());
  const int lastHandle = last->engineSound;
  GUI_BS_UnitManager::Instance().Clear();
  EXPECT_TRUE(fake->sounds.at(lastHandle).stopped);
}

TEST_F(UnitReactionsTest, DrivingLaysTrackMarksBySpacingAndPuffsExhaust) {
  SIM_BattleUnit* u = scene.player[1];
  auto* t = dynamic_cast<GUI_BS_TankUnit*>(u->visual.get());
  ASSERT_GT(t->trackSpacingSq, 0.0f);
  ASSERT_NE(t->tracks, nullptr);
  const float spacing = std::sqrt(t->trackSpacingSq);
  t->UpdateTracks();  // the first step from where it was built lays the first pair
  const int first = t->tracks->ActiveCount();
  u->y -= spacing * 0.5f;
  t->UpdateTracks();
  EXPECT_EQ(t->tracks->ActiveCount(), first);
  for (int i = 0; i < 10; ++i) {
    u->y -= spacing * 0.6f;
    t->UpdateTracks();
  }
  const int marks = t->tracks->ActiveCount() - first;
  EXPECT_GE(marks, 8);
  EXPECT_EQ(marks % 2, 0);  // left and right together
  ASSERT_FALSE(t->exhaustName.empty());
  EXPECT_GE(LiveExhaustPuffs(t->exhaustName), 1);
}

TEST_F(UnitReactionsTest, ABuildingQueuesItsClockByStateAndProgress) {
  SIM_BattleUnit* b = scene.player[2];
  auto* v = dynamic_cast<GUI_BS_BuildingUnit*>(b->visual.get());
  ASSERT_NE(v, nullptr);
  b->constructionTime = 1000.0f;
  const struct {
    int state;
    float timer;
    bool queued;
    int red, green;
    float progress;
  } cases[] = {
      {US_UNDER_CONSTRUCTION, 0.0f, true, 32, 233, 0.0f},
      {US_UNDER_CONSTRUCTION, 250.0f, true, 32, 233, 0.25f},
      {US_UNDER_CONSTRUCTION, 1000.0f, true, 32, 233, 1.0f},
      {US_DEMOLISHING, 0.0f, true, 233, 32, -1.0f},
      {US_ACTIVE, 0.0f, false, 0, 0, 0.0f},
      {US_DROPPING_IN, 0.0f, false, 0, 0, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    SCOPED_TRACE(c.timer);
    b->state = c.state;
    b->demolitionTimer = c.timer;
    BuildingProgressBar::Queued().clear();
    v->Draw();
    EXPECT_EQ(BuildingProgressBar::Queued().size(), c.queued ? 1u : 0u);
    int a[4] = {}, z[4] = {};
    EXPECT_EQ(BuildingProgressBar::ColoursFor(c.state, a, z), c.queued);
    if (c.queued) {
      EXPECT_EQ(a[0], c.red);
      EXPECT_EQ(a[1], c.green);
      EXPECT_EQ(a[3], 145);
      EXPECT_EQ(z[0], 12);
      if (c.progress >= 0.0f) {
        EXPECT_NEAR(b->GetConstructionProgress(), c.progress, 1e-4f);
      }
    }
    BuildingProgressBar::DrawQueued();
    EXPECT_TRUE(BuildingProgressBar::Queued().empty());
  }
}

TEST_F(UnitReactionsTest, ABuildingMenuOpensOnlyForAFinishedOwnBuilding) {
  SIM_BattleUnit* own = scene.player[2];
  auto* v = dynamic_cast<GUI_BS_BuildingUnit*>(own->visual.get());
  for (int s : {US_IN_DROPPER, US_DROPPING_IN, US_UNDER_CONSTRUCTION, US_DEMOLISHING}) {
    own->state = s;
    v->OnRightClick();
  }
  EXPECT_EQ(GetOpenRCMenu(), nullptr);
  own->state = US_ACTIVE;
  v->OnRightClick();
  ASSERT_NE(GetOpenRCMenu(), nullptr);
  EXPECT_EQ(GetOpenRCMenu()->building, own);
  // The enemy's building opens nothing: the own building's menu stays.
  GUI_BS_RCMenu* menu = GetOpenRCMenu();
  dynamic_cast<GUI_BS_BuildingUnit*>(scene.enemy[2]->visual.get())->OnRightClick();
  EXPECT_EQ(GetOpenRCMenu(), menu);
  EXPECT_EQ(menu->building, own);
  CloseRCMenu();
}

}  // namespace
