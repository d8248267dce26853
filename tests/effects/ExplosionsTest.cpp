// Explosions: the type table, what each type spawns, groups built from their
// configurations (at most eight emitters, reused by name), ground impacts capped per map
// tile, plumes, unknown names logged and skipped, and the timed death sequence.
#include <gtest/gtest.h>

#include <string>

#include "battle/BattleHooks.h"
#include "battle/Module.h"
#include "battle/WeaponEvents.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/AirStrikeTrails.h"
#include "effects/Debris.h"
#include "effects/Explosions.h"
#include "effects/ParticleSystem.h"
#include "effects/RocketTrails.h"
#include "effects/WorldEffectsFixture.h"

namespace {

int CountEffects(bool (*is)(GUI_BS_RenderObject*)) {
  int n = 0;
  for (GUI_BS_RenderObject* e : GUI_BS_EffectsManager::Instance().allEffects) n += is(e) ? 1 : 0;
  return n;
}
bool IsGroup(GUI_BS_RenderObject* e) { return dynamic_cast<GUI_ParticleEmmiterGroup*>(e) != nullptr; }
bool IsPlume(GUI_BS_RenderObject* e) { return dynamic_cast<GUI_BS_ExplosionPlume*>(e) != nullptr; }
bool IsGlare(GUI_BS_RenderObject* e) { return dynamic_cast<GUI_BS_BlastGlare*>(e) != nullptr; }
bool IsWave(GUI_BS_RenderObject* e) { return dynamic_cast<GUI_BS_ShockWave*>(e) != nullptr; }

class ExplosionsTest : public explosions_test::WorldEffectsTest {
 protected:
  void SetUp() override {
    explosions_test::WorldEffectsTest::SetUp();
    ParticleGroupsClearLists();
    GUI_BS_DebrisPool::Instance().Reset();
  }
  GUI_BS_EffectsManager& effects() { return GUI_BS_EffectsManager::Instance(); }
  int Groups(const std::string& name) {
    int n = 0;
    for (GUI_BS_RenderObject* e : effects().allEffects)
      if (auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(e)) n += g->name == name ? 1 : 0;
    return n;
  }
  // Both effect passes of one frame, then the frame's cull.
  void Frame() {
    Record([&] {
      effects().DrawLayer(0);
      effects().DrawLayer(1);
      ParticleGroupsCull();
    });
  }
};

TEST_F(ExplosionsTest, TypeNamesResolveAndAnUnknownNameIsTheSmallExplosion) {
  const struct {
    const char* name;
    int type;
  } rows[] = {{"EXP_BULLET_IN_DUST", 0}, {"EXP_BULLET_IN_DUST2", 1},
              {"EXP_SMALL", 2},          {"EXP_MISS", 7},
              {"EXP_MEDIUM", 8},         {"EXP_LARGE", 10},
              {"EXP_LARGE2", 11},        {"EXP_PLUMES", 12},
              {"EXP_BLASTGLARE", 13},    {"EXP_BLASTGLARE_LM", 14},
              {"EXP_DEBRIS", 15},        {"EXP_STARTBREAKUP", 16},
              {"EXP_HUGE", 2},           {"", 2},
              {"exp_small", 2}};
  for (const auto& r : rows) EXPECT_EQ(ExplosionTypeByName(r.name), r.type) << r.name;
  // Types 3-6 and 9 have no name but a configuration.
  for (int type : {3, 4, 5, 6, 9}) {
    EXPECT_STREQ(ExplosionTypeName(type), "");
    EXPECT_STRNE(ExplosionConfigName(type), "");
  }
}

TEST_F(ExplosionsTest, EachTypeSpawnsItsGroupOrItsProceduralEffect) {
  const struct {
    int type;
    float a[6];
    int groups, plumes, glares, debris;
  } rows[] = {
      {0, {}, 1, 0, 0, 0},         {2, {}, 1, 0, 0, 0},          {3, {}, 1, 0, 0, 0},
      {9, {}, 1, 0, 0, 0},         {11, {}, 1, 0, 0, 0},         {12, {6, 6, 0.1f}, 0, 6, 0, 0},
      {13, {64, 200}, 0, 0, 1, 0}, {14, {200, 400}, 0, 0, 1, 0}, {15, {12, 8, 0, 256, 100, 1}, 0, 0, 0, 12},
      {16, {}, 0, 0, 0, 0},  // starts a break-up in a death sequence; nothing here
      {-1, {}, 0, 0, 0, 0},  // outside the table: ignored
      {17, {}, 0, 0, 0, 0},        {1000, {}, 0, 0, 0, 0},
  };
  for (const auto& r : rows) {
    effects().Clear();
    ParticleGroupsClearLists();
    GUI_BS_DebrisPool::Instance().Reset();
    SpawnExplosion(r.type, r.a[0], r.a[1], r.a[2], r.a[3], r.a[4], r.a[5], 1000.0f, 1000.0f);
    EXPECT_EQ(CountEffects(IsGroup), r.groups) << r.type;
    EXPECT_EQ(CountEffects(IsPlume), r.plumes) << r.type;
    EXPECT_EQ(CountEffects(IsGlare), r.glares) << r.type;
    EXPECT_EQ(GUI_BS_DebrisPool::Instance().ActiveCount(), r.debris) << r.type;
  }
}

TEST_F(ExplosionsTest, AGroupHoldsAtMostEightEmittersAndIsReusedWithItsEmittersAndZoomWindow) {
  ExplosionConfigsLoad();
  auto* nine = new GUI_BS_ExplosionConfig();  // the list owns it from here
  nine->ConfigName = "test_nine";
  nine->MinZoomLOD = 0.5f;
  nine->MaxZoomLOD = 3.0f;
  for (int i = 0; i < 9; ++i) nine->emitterNames.push_back("exp_dust_puff");
  GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup("test_nine", 1000.0f, 1000.0f);
  ASSERT_NE(g, nullptr);
  int emitters = 0;
  for (GUI_ParticleEmmiter* e : g->emitters) emitters += e ? 1 : 0;
  EXPECT_EQ(emitters, 8);
  EXPECT_FLOAT_EQ(g->zoomFrom, 0.5f);
  EXPECT_FLOAT_EQ(g->zoomUntil, 3.0f);
  effects().Add(g);
  GUI_ParticleEmmiter* first = g->emitters[0];
  for (int i = 0; i < 200 && !g->inIdleList; ++i) Frame();
  ASSERT_TRUE(g->inIdleList) << "the finished group is culled and kept";
  nine->MinZoomLOD = 0.0f;  // a reused group keeps the window it was built with
  GUI_ParticleEmmiterGroup* again = CreateExplosionEmitterGroup("test_nine", 1200.0f, 900.0f);
  EXPECT_EQ(again, g);
  EXPECT_EQ(again->emitters[0], first);
  EXPECT_FLOAT_EQ(again->zoomFrom, 0.5f);
  EXPECT_FLOAT_EQ(again->x, 1200.0f);
  effects().Add(again);
}

TEST_F(ExplosionsTest, AConfigurationsZoomWindowHasNoUpperBoundUnlessOneAboveTheLowerIsGiven) {
  ExplosionConfigsLoad();
  const struct {
    float minLod, maxLod, from, until;
  } rows[] = {{-1.0f, 0.0f, -1.0f, -1.0f},
              {0.0f, 0.0f, 0.0f, -1.0f},
              {0.5f, 3.0f, 0.5f, 3.0f},
              {1.0f, 0.5f, 1.0f, -1.0f}};
  int n = 0;
  for (const auto& r : rows) {
    auto* c = new GUI_BS_ExplosionConfig();
    c->ConfigName = "test_window" + std::to_string(n++);
    c->MinZoomLOD = r.minLod;
    c->MaxZoomLOD = r.maxLod;
    c->emitterNames = {"exp_dust_puff"};
    GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup(c->ConfigName, 1000.0f, 1000.0f);
    ASSERT_NE(g, nullptr);
    EXPECT_FLOAT_EQ(g->zoomFrom, r.from) << r.minLod << " " << r.maxLod;
    EXPECT_FLOAT_EQ(g->zoomUntil, r.until) << r.minLod << " " << r.maxLod;
    ASSERT_TRUE(g->UpdateFade());
    if (r.from < 1.0f) {
      EXPECT_GT(g->fade, 0.0f) << "shown at zoom 1";
    }
    effects().Add(g);
  }
}

TEST_F(ExplosionsTest, UnknownConfigurationsAreLoggedAndSkipped) {
  EXPECT_EQ(CreateExplosionEmitterGroup("no_such_explosion", 0.0f, 0.0f), nullptr);
  ExplosionConfigsLoad();
  auto* broken = new GUI_BS_ExplosionConfig();
  broken->ConfigName = "test_broken";
  broken->emitterNames = {"no_such_particles", "exp_dust_puff"};
  GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup("test_broken", 1000.0f, 1000.0f);
  ASSERT_NE(g, nullptr) << "the known emitter still plays";
  int emitters = 0;
  for (GUI_ParticleEmmiter* e : g->emitters) emitters += e ? 1 : 0;
  EXPECT_EQ(emitters, 1);
  delete g;
}

TEST_F(ExplosionsTest, PlumesWithEqualBoundsMakeExactlyThatManyAlternatingHeatAndSmoke) {
  for (int n : {1, 2, 7}) {
    effects().Clear();
    SpawnExplosionPlume(n, n, 0.125f, 1000.0f, 1000.0f);
    ASSERT_EQ(CountEffects(IsPlume), n);
    int heat = 0;
    for (GUI_BS_ExplosionPlume* p : ExplosionPlumeList()) {
      EXPECT_EQ(p->layer, p->heatEmitter ? 0 : 1);
      heat += p->heatEmitter ? 1 : 0;
    }
    EXPECT_EQ(heat, (n + 1) / 2);
  }
  effects().Clear();
  SpawnExplosionPlume(0, 0, 0.1f, 0.0f, 0.0f);
  EXPECT_EQ(CountEffects(IsPlume), 0);
  SpawnExplosionPlume(5, 3, 0.1f, 0.0f, 0.0f);  // reversed: the minimum
  EXPECT_EQ(CountEffects(IsPlume), 5);
}

TEST_F(ExplosionsTest, PlumesDriftSlowDownAndFinish) {
  SpawnExplosionPlume(4, 4, 0.2f, 1000.0f, 1000.0f);
  GUI_BS_ExplosionPlume* p = ExplosionPlumeList()[1];
  const float startSpeed = p->startSpeed;
  EXPECT_GT(startSpeed, 0.0f);
  EXPECT_LE(p->life, (240.0f + 800.0f) * 1.2f);
  Frame();
  const float moved = std::hypot(p->x - 1000.0f, p->y - 1000.0f);
  EXPECT_NEAR(moved, startSpeed * 16.0f, startSpeed * 16.0f * 0.05f);
  int frames = 0;
  while (!effects().allEffects.empty() && frames++ < 400) Frame();
  EXPECT_TRUE(effects().allEffects.empty()) << "every plume finishes";
  EXPECT_EQ(GUI_BS_ExplosionPlume::LiveCount(), 0);
}

TEST_F(ExplosionsTest, AFullPlumePoolDropsTheRest) {
  for (int i = 0; i < GUI_BS_ExplosionPlume::kPoolSize / 16 + 2; ++i)
    SpawnExplosionPlume(16, 16, 0.1f, 1000.0f, 1000.0f);
  EXPECT_EQ(CountEffects(IsPlume), GUI_BS_ExplosionPlume::kPoolSize);
  effects().Clear();
  EXPECT_EQ(GUI_BS_ExplosionPlume::LiveCount(), 0);
  SpawnExplosionPlume(3, 3, 0.1f, 1000.0f, 1000.0f);
  EXPECT_EQ(CountEffects(IsPlume), 3) << "cleared slots are used again";
}

TEST_F(ExplosionsTest, DeathSequenceFiresEachRecordOnceAtItsTimeAroundTheUnit) {
  DeathSequence s;
  ASSERT_TRUE(DeathSequenceInit(s, "death_large"));
  ASSERT_GE(s.count, 8);
  EXPECT_EQ(s.records[0].type, EXP_LARGE);
  EXPECT_FLOAT_EQ(s.records[3].time, 300.0f);
  EXPECT_FALSE(DeathSequenceInit(s, "no_such_manager"));
  ASSERT_TRUE(DeathSequenceInit(s, "death_large"));
  s.unitX = 1000.0f;
  s.unitY = 1000.0f;
  s.unitHeading = 90.0f;
  s.active = true;
  s.owner = nullptr;  // a visual already gone: its break-up event fires into nothing
  const struct {
    float until;
    int fired;
  } steps[] = {{16.0f, 2}, {190.0f, 2}, {224.0f, 3}, {336.0f, 4}, {480.0f, 5}, {736.0f, 8}};
  float t = 0.0f;
  for (const auto& st : steps) {
    while (t < st.until) {
      DeathSequenceUpdate(s, 16.0f);
      t += 16.0f;
    }
    int fired = 0;
    for (int i = 0; i < s.count; ++i) fired += s.records[size_t(i)].fired ? 1 : 0;
    EXPECT_EQ(fired, st.fired) << "after " << st.until << " ms";
  }
  int breakUps = 0;
  for (int i = 0; i < s.count; ++i)
    breakUps += s.records[size_t(i)].type == EXP_STARTBREAKUP && s.records[size_t(i)].fired;
  EXPECT_EQ(breakUps, 1) << "the break-up starts once";
  // The medium blast at (20, -16) turned by the heading of 90 degrees: (1016, 1020).
  bool found = false;
  for (GUI_BS_RenderObject* e : effects().allEffects)
    if (auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(e))
      found = found || (g->name == "medium_explosion" && std::fabs(g->x - 1016.0f) < 0.01f &&
                        std::fabs(g->y - 1020.0f) < 0.01f);
  EXPECT_TRUE(found);
  for (int i = 0; i < 100; ++i) DeathSequenceUpdate(s, 16.0f);
  EXPECT_FALSE(s.active) << "a finished sequence frees its slot";
}

TEST_F(ExplosionsTest, ShotsThatMissShowOnTheGroundByWarheadAndAirStrikesShowEverything) {
  const struct {
    int kind, warhead;
    float damage;
    const char* group;
    int glares;
  } rows[] = {
      {IMPACT_BULLET_LANDED, WARHEAD_BULLET, 5.0f, "bullet_in_dust", 0},
      {IMPACT_BULLET_STRUCK, WARHEAD_BULLET, 5.0f, nullptr, 0},  // the struck unit shows it
      {IMPACT_MISSILE_STRUCK, WARHEAD_EXPLOSIVE, 80.0f, nullptr, 0},
      {IMPACT_BEAM_MISSED, WARHEAD_ENERGY, 10.0f, "small_explosion_sparky", 0},
      {IMPACT_MISSILE_LANDED, WARHEAD_EXPLOSIVE, 30.0f, "minor_explosion", 0},
      {IMPACT_MISSILE_FUEL_OUT, WARHEAD_EXPLOSIVE, 80.0f, "explosion_miss", 1},
      {IMPACT_BULLET_LANDED, WARHEAD_FLAMES, 10.0f, "incendiary_explosion", 0},
  };
  for (const auto& r : rows) {
    effects().Clear();
    WeaponImpact(r.kind, r.warhead, r.damage, 1000.0f, 1000.0f);
    const int groups = CountEffects(IsGroup);
    if (!r.group) {
      EXPECT_EQ(groups, 0) << r.kind;
      continue;
    }
    ASSERT_EQ(groups, 1) << r.kind << " " << r.warhead;
    GUI_ParticleEmmiterGroup* g = nullptr;
    for (GUI_BS_RenderObject* e : effects().allEffects)
      if (!g) g = dynamic_cast<GUI_ParticleEmmiterGroup*>(e);
    ASSERT_NE(g, nullptr);
    if (std::string(r.group) == "bullet_in_dust")
      EXPECT_TRUE(g->name == "bullet_in_dust" || g->name == "bullet_in_dust2");
    else
      EXPECT_EQ(g->name, r.group);
    EXPECT_EQ(CountEffects(IsGlare), r.glares);
  }
  effects().Clear();
  GUI_BS_AirStrikeTrailSprite::PoolInit();
  GetBattleHooks().airStrikeTrail(1000.0f, 1000.0f);
  EXPECT_EQ(GUI_BS_AirStrikeTrailPool::Instance().highestUsed, 89);
  GetBattleHooks().airStrikeBlast(100.0f, 1000.0f, 1000.0f);
  EXPECT_EQ(CountEffects(IsGroup), 2);
  EXPECT_GE(CountEffects(IsPlume), 10);
  EXPECT_EQ(CountEffects(IsGlare), 2);
  EXPECT_EQ(CountEffects(IsWave), 1);
  EXPECT_EQ(GUI_BS_DebrisPool::Instance().ActiveCount(), 40);
}

class GroundImpactTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    ASSERT_NE(battlescreen_test::StartShippedBattle("desert_pass"), nullptr);
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    x = map.cameraX;
    y = map.cameraY;
    tile = map.TileAt(x, y);
    ASSERT_NE(tile, nullptr);
    tile->hits = 0;
    GUI_BS_EffectsManager::Instance().Clear();
  }
  int Added() {
    const int n = int(GUI_BS_EffectsManager::Instance().allEffects.size());
    GUI_BS_EffectsManager::Instance().Clear();
    return n;
  }
  float x = 0.0f, y = 0.0f;
  GUI_BS_MapTile* tile = nullptr;
};

TEST_F(GroundImpactTest, BulletAndSparkHitsNeverCountAndATileStopsAfterTenImpacts) {
  for (int i = 0; i < 20; ++i) {
    GroundHitAtTile(0, x, y);
    GroundHitAtTile(1, x, y);
  }
  EXPECT_EQ(tile->hits, 0) << "kinds 0 and 1 leave the counter";
  EXPECT_EQ(Added(), 40);
  for (int i = 0; i < 6; ++i) GroundHitAtTile(2, x, y);  // random small explosions
  for (int i = 0; i < 6; ++i) GroundBlastAtTile(x, y);
  EXPECT_EQ(tile->hits, kTileImpactLimit);
  EXPECT_EQ(Added(), 10);
  GroundHitAtTile(0, x, y);
  RandomSmallExplosionAtTile(x, y);
  ExplosionAtTile(x, y);
  EXPECT_EQ(Added(), 0) << "a worn tile shows no more ground effects";
  SmallExplosionCulled(x, y);
  EXPECT_EQ(tile->hits, kTileImpactLimit - 1);
  tile->hits = 0;
  SmallExplosionCulled(x, y);
  EXPECT_EQ(tile->hits, 0) << "never below zero";
}

}  // namespace
