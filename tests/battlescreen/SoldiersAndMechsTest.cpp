// Walking units on the recording null device: the mech's leg animator (impact frames,
// deferred stop, lifted legs, no hang without a stride), the soldier's poses, walk and
// death into a corpse, the per-design composites, corpses and their limit, and the
// supply crates' fall and pick-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "battle/AirDrops.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnitManager.h"
#include "battle/Movement.h"
#include "battle/SupplyLimits.h"
#include "battlescreen/AirDropCrates.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Infantry.h"
#include "battlescreen/LiveEffects.h"
#include "battlescreen/MechLegs.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/RocketTrails.h"
#include "effects/UnitEmitters.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitHull.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class SoldiersAndMechsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    LoadEffectConfigs();
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    GetBattle().Begin();
    GetBattle().frameStep = 16.0f;
    Look(1150.0f, 600.0f, 2.0f);
  }
  static void Look(float x, float y, float zoom) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = zoom;
    map.cameraX = x;
    map.cameraY = y;
    map.UpdateViewRect();
  }
  static GUI_BS_MechUnit* Mech(float x = 1150.0f, float y = 600.0f) {
    SIM_BattleUnit* u = PlaceUnit(PlayerDesign("Strider Lancer"), GetBattle().playerArmy, x, y, 0.0f);
    return u ? dynamic_cast<GUI_BS_MechUnit*>(u->visual.get()) : nullptr;
  }
  static GUI_BS_InfantryUnit* Soldier(const char* design = "Rifle Squad", float x = 1150.0f,
                                      float y = 600.0f) {
    SIM_BattleUnit* u = PlaceUnit(PlayerDesign(design), GetBattle().playerArmy, x, y, 0.0f);
    return u ? dynamic_cast<GUI_BS_InfantryUnit*>(u->visual.get()) : nullptr;
  }
  // Walks the animator by whole frames.
  static void WalkFrames(GUI_BS_MechUnit* m, int frames) {
    MechLegAnimator& legs = *m->legAnimator;
    for (int i = 0; i < frames; ++i) {
      m->unit->movement->step = legs.stride / MechLegAnimator::kFrames * 1.0001f;
      legs.Step();
    }
    m->unit->movement->step = 0.0f;
  }
};

TEST_F(SoldiersAndMechsTest, EachFootPlantsOnItsImpactFrame) {
  struct Case {
    int impact, left, right;
  } cases[] = {{50, 50, 110}, {70, 70, 10}, {0, 0, 60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.impact);
    GUI_BS_MechUnit* m = Mech();
    ASSERT_NE(m, nullptr);
    ASSERT_NE(m->legAnimator, nullptr);
    MechLegAnimator& legs = *m->legAnimator;
    ASSERT_GT(legs.stride, 0.0f);
    legs.impactFrame = c.impact;
    EXPECT_EQ(legs.RightImpactFrame(), c.right);
    legs.frame = (c.left + 119) % 120;
    WalkFrames(m, 1);
    EXPECT_EQ(legs.frame, c.left);
    EXPECT_EQ(m->leftPrints->ActiveCount(), 1);
    EXPECT_EQ(m->rightPrints->ActiveCount(), 0);
    // Half a stride later the other foot lands, and only then.
    WalkFrames(m, 59);
    EXPECT_EQ(m->rightPrints->ActiveCount(), 0);
    WalkFrames(m, 1);
    EXPECT_EQ(legs.frame, c.right);
    EXPECT_EQ(m->rightPrints->ActiveCount(), 1);
    EXPECT_EQ(m->leftPrints->ActiveCount(), 1);
    EXPECT_EQ(m->walkFrame, c.right);
  }
}

TEST_F(SoldiersAndMechsTest, AFootstepOnScreenRaisesDustAndThumpsButOffScreenOnlyAPrint) {
  auto engine = std::make_unique<FakeSoundEngine>();
  FakeSoundEngine* fake = engine.get();
  ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
  GUI_BS_MechUnit* near = Mech(1150.0f, 600.0f);
  GUI_BS_MechUnit* far = Mech(200.0f, 3000.0f);
  ASSERT_TRUE(near && far);
  ASSERT_FALSE(near->footstepParticles.empty());
  ASSERT_FALSE(near->footstepSound.empty());
  auto dust = [&] { return LiveGroups(near->footstepParticles); };
  ClearLiveEffects();
  for (GUI_BS_MechUnit* m : {near, far}) {
    m->legAnimator->frame = m->legAnimator->impactFrame - 1;
    WalkFrames(m, 1);
    EXPECT_EQ(m->leftPrints->ActiveCount(), 1);
  }
  EXPECT_EQ(dust(), 1);
  // The thump is the hull's own footstep sound, heard once, at the foot that landed.
  const auto thumps = std::count_if(fake->sounds.begin(), fake->sounds.end(), [&](const auto& kv) {
    return kv.second.file.find(near->footstepSound.substr(near->footstepSound.rfind('/') + 1)) !=
           std::string::npos;
  });
  EXPECT_EQ(thumps, 1);
}

TEST_F(SoldiersAndMechsTest, AStandingMechKeepsItsFrameAndAStopWaitsForTheNextFrameStep) {
  GUI_BS_MechUnit* m = Mech();
  ASSERT_NE(m, nullptr);
  MechLegAnimator& legs = *m->legAnimator;
  SIM_BattleMovement& move = *m->unit->movement;
  const int start = legs.frame;
  for (int i = 0; i < 50; ++i) legs.Step();
  EXPECT_EQ(legs.frame, start);

  move.throttle = 1.0f;
  m->StopWalking();
  // Less than a frame's distance: still walking.
  move.step = legs.stride / MechLegAnimator::kFrames * 0.6f;
  legs.Step();
  EXPECT_EQ(move.throttle, 1.0f);
  EXPECT_TRUE(legs.stopRequest);
  legs.Step();
  EXPECT_EQ(move.throttle, 0.0f);
  EXPECT_FALSE(legs.stopRequest);

  // A move order right after the stop order cancels it.
  move.throttle = 1.0f;
  m->StopWalking();
  m->StartWalking();
  WalkFrames(m, 3);
  EXPECT_EQ(move.throttle, 1.0f);
}

TEST_F(SoldiersAndMechsTest, NoStrideOrNoSizeMeansNoWalkRatherThanAHang) {
  GUI_BS_MechUnit* m = Mech();
  ASSERT_NE(m, nullptr);
  m->legAnimator->stride = 0.0f;
  const int frame = m->legAnimator->frame;
  m->unit->movement->step = 500.0f;
  m->legAnimator->Step();
  EXPECT_EQ(m->legAnimator->frame, frame);

  GUI_BS_InfantryUnit* s = Soldier();
  ASSERT_NE(s, nullptr);
  SIM_UnitHull* hull = const_cast<SIM_UnitHull*>(s->unit->design->hull);
  const float size = hull->size, unitSize = s->unit->size;
  hull->size = 0.0f;
  s->unit->size = 0.0f;
  const int walk = s->walkFrameIndex;
  s->AdvanceWalk(500.0f);
  EXPECT_EQ(s->walkFrameIndex, walk);
  hull->size = size;
  s->unit->size = unitSize;
}

TEST_F(SoldiersAndMechsTest, LegsLiftOnlyInTheirOwnHalfOfTheStride) {
  const float w = 120.0f;
  struct Case {
    int k;
    bool lifted;
  } cases[] = {{-1, false}, {0, false}, {1, true}, {30, true}, {59, true}, {60, false}};
  for (const Case& c : cases) EXPECT_EQ(MechLegAnimator::Lift(c.k, w) > 0.0f, c.lifted) << c.k;
  EXPECT_NEAR(MechLegAnimator::Lift(30, w), w / 40.0f, 1e-4f);
}

TEST_F(SoldiersAndMechsTest, ASoldierWalksAndHaltsOnHisStandingFrame) {
  GUI_BS_InfantryUnit* s = Soldier();
  ASSERT_NE(s, nullptr);
  const float step = s->HullSize() / 64.0f * 2.0f;
  EXPECT_EQ(s->walkFrameIndex, GUI_BS_InfantryUnit::kWalkStopFrame);
  s->AdvanceWalk(step * 1.01f);
  EXPECT_EQ(s->walkFrameIndex, 8);
  s->unit->movement->throttle = 1.0f;
  s->haltRequest = true;
  // A long stride: the walk stops on frame 7 and no further.
  s->AdvanceWalk(step * 40.5f);
  EXPECT_EQ(s->walkFrameIndex, GUI_BS_InfantryUnit::kWalkStopFrame);
  EXPECT_FALSE(s->haltRequest);
  EXPECT_EQ(s->unit->movement->throttle, 0.0f);
}

TEST_F(SoldiersAndMechsTest, FiringShowsItsFramesAndLoweringStopsOnAim) {
  GUI_BS_InfantryUnit* s = Soldier();
  ASSERT_NE(s, nullptr);
  s->unit->target = nullptr;
  s->OnFire(0);
  std::vector<int> frames;
  // Two 16 ms frames a step: the timer must pass 16 ms.
  for (int i = 0; i < 16; ++i) {
    s->AdvancePose(16.0f);
    if (i % 2 == 1) frames.push_back(s->poseFrame);
  }
  EXPECT_EQ(frames, (std::vector<int>{33, 34, 35, 36, 37, 38, 39, 32}));
  EXPECT_EQ(s->posture, GUI_BS_InfantryUnit::POSTURE_IDLE);

  // A target: the gun comes down to the aim and stays there.
  GUI_BS_InfantryUnit* other = Soldier("Rifle Squad", 1200.0f, 600.0f);
  s->unit->target = other->unit;
  for (int i = 0; i < 40; ++i) s->AdvancePose(17.0f);
  EXPECT_EQ(s->posture, GUI_BS_InfantryUnit::POSTURE_ALERT);
  EXPECT_EQ(s->poseFrame, GUI_BS_InfantryUnit::kAimFrame);
  s->unit->target = nullptr;
}

TEST_F(SoldiersAndMechsTest, ADyingSoldierLeavesHisCorpseOnScreenOrOff) {
  SIM_Options::Get().SetFloat("BLOOD", 1.0f);
  struct Case {
    float x, y;
  } cases[] = {{1150.0f, 600.0f}, {150.0f, 3000.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    ClearCorpses();
    GUI_BS_InfantryUnit* s = Soldier("Rifle Squad", c.x, c.y);
    ASSERT_NE(s, nullptr);
    SIM_BattleUnit* u = s->unit;
    s->OnDestroyed();
    GetBattle().frameStep = 17.0f;
    for (int step = 1; step <= 31; ++step) s->Tick();
    EXPECT_EQ(s->DeathFrame(), 31);
    EXPECT_TRUE(CorpseManager::Get().corpses.empty());
    EXPECT_NE(u->state, US_DESTROYED);
    s->Tick();
    ASSERT_EQ(CorpseManager::Get().corpses.size(), 1u);
    EXPECT_EQ(u->state, US_DESTROYED);
    EXPECT_EQ(s->posture, GUI_BS_InfantryUnit::POSTURE_DEAD);
    EXPECT_EQ(s->blobShadow, nullptr);
    const GUI_BS_Corpse& corpse = *CorpseManager::Get().corpses.front();
    EXPECT_EQ(corpse.x, c.x);
    EXPECT_NE(corpse.gun, nullptr);
    EXPECT_NE(corpse.splat, nullptr);
  }
  GetBattle().frameStep = 16.0f;
}

TEST_F(SoldiersAndMechsTest, OnlyTheAttackersSoldiersLeaveFootprints) {
  // The battle start gives each army its side: here the player attacks.
  SIM_Battle& battle = GetBattle();
  ASSERT_EQ(battle.playerArmy->side, SIDE_ATTACKER);
  ASSERT_EQ(battle.opponentArmy->side, SIDE_DEFENDER);
  const struct {
    SIM_BattleArmy* army;
    int32_t side;  // -1 keeps what the battle start set
    bool prints;
  } cases[] = {{battle.playerArmy, -1, true},
               {battle.opponentArmy, -1, false},
               {battle.playerArmy, SIDE_DEFENDER, false},
               {battle.opponentArmy, SIDE_ATTACKER, true},
               {battle.playerArmy, SIDE_UNASSIGNED, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.army == battle.playerArmy ? "player " : "opponent ") << c.side);
    const int32_t oldSide = c.army->side;
    if (c.side >= 0) c.army->side = c.side;
    SIM_BattleUnit* u = PlaceUnit(PlayerDesign("Rifle Squad"), c.army, 1150.0f, 600.0f, 0.0f);
    c.army->side = oldSide;
    auto* s = u ? dynamic_cast<GUI_BS_InfantryUnit*>(u->visual.get()) : nullptr;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->leftPrints != nullptr, c.prints);
    s->unit->movement->speed = 0.1f;
    for (int i = 1; i <= 4; ++i) {
      s->unit->y -= 7.0f;
      s->UpdateTracks();
    }
    const int prints = (s->leftPrints ? s->leftPrints->ActiveCount() : 0) +
                       (s->rightPrints ? s->rightPrints->ActiveCount() : 0);
    EXPECT_EQ(prints, c.prints ? 4 : 0);
  }
}

TEST_F(SoldiersAndMechsTest, SquadsOfADesignShareOneCompositeAndAResetBuildsItAgain) {
  InfantryCompositor& comp = InfantryCompositor::Instance();
  GUI_BS_InfantryUnit* a = Soldier("Rifle Squad");
  GUI_BS_InfantryUnit* b = Soldier("Rifle Squad", 1200.0f, 640.0f);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(comp.built.size(), 1u);
  EXPECT_EQ(a->compositeName, b->compositeName);
  EXPECT_EQ(a->compositeName.rfind("rt_inf_comp_Rifle Squad", 0), 0u) << a->compositeName;
  EXPECT_TRUE(engine().HasTexture(a->compositeName.c_str()));

  GUI_BS_InfantryUnit* c = Soldier("Machine Gun Team");
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c->compositeName, a->compositeName);
  EXPECT_EQ(comp.built.size(), 2u);

  // Another player's design of the same name in other colours.
  SIM_UnitDesign* mine = PlayerDesign("Rifle Squad");
  SIM_UnitDesign* stranger = EnemyDesign("../sampleunits/rifle_squad.txt");
  ASSERT_NE(stranger, nullptr);
  stranger->name = mine->name;
  for (DesignLayer& l : stranger->layers) l.colour[0] = 255 - l.colour[0];
  SIM_BattleUnit* su = PlaceUnit(stranger, GetBattle().opponentArmy, 1100.0f, 500.0f, 0.0f);
  auto* s = dynamic_cast<GUI_BS_InfantryUnit*>(su->visual.get());
  ASSERT_NE(s, nullptr);
  EXPECT_NE(s->compositeName, a->compositeName);
  EXPECT_EQ(comp.built.size(), 3u);

  // The device was rebuilt: the targets go, and the next frame builds each again.
  comp.ReleaseAll();
  EXPECT_TRUE(comp.built.empty());
  EXPECT_FALSE(engine().HasTexture(a->compositeName.c_str()));
  GUI_BS_UnitManager::Instance().UpdateInfantry();
  EXPECT_EQ(comp.built.size(), 3u);
  EXPECT_TRUE(engine().HasTexture(a->compositeName.c_str()));
  ASSERT_NE(a->legs, nullptr);
  ASSERT_NE(a->legs->mainQuad.texture, nullptr);
  EXPECT_NE(a->legs->mainQuad.texture->Texture(), nullptr);
}

TEST_F(SoldiersAndMechsTest, ACompositionCopiesTheTableOnceADesign) {
  platform::Device* d = engine().Device();
  const uint64_t before = d->Counters().draws;
  GUI_BS_InfantryUnit* a = Soldier("Rocket Team");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(d->Counters().draws - before, 14u);
  // The rows of 68 and 60 pixels are the layout, not a slip.
  EXPECT_EQ(InfantryCompositor::kSteps[2].dst[3], 196);
  EXPECT_EQ(InfantryCompositor::kSteps[11].src[3], 444);
  const uint64_t again = d->Counters().draws;
  Soldier("Rocket Team", 1180.0f, 620.0f);
  EXPECT_EQ(d->Counters().draws, again);
}

TEST_F(SoldiersAndMechsTest, TheCorpseLimitFadesTheOldestNearbyButNeverTheNewest) {
  SIM_Options::Get().SetFloat("MAX_CORPSES_PER_SQUARE", 3.0f);
  SIM_Options::Get().SetFloat("BLOOD", 1.0f);
  CorpseManager& m = CorpseManager::Get();
  ClearCorpses();
  const int32_t white[4] = {255, 255, 255, 255};
  const int32_t* colours[3] = {white, white, white};
  // One square (200 units): three bodies lying, aged 300, 200 and 100 ms.
  std::vector<GUI_BS_Corpse*> bodies;
  for (int i = 0; i < 3; ++i) {
    bodies.push_back(AddCorpse(1010.0f + i * 10.0f, 510.0f, 0.0f, 24.0f, colours, 1));
    m.Advance(100.0f, 1.0f);
  }
  for (GUI_BS_Corpse* b : bodies) EXPECT_EQ(b->state, GUI_BS_Corpse::LYING);
  GUI_BS_Corpse* fourth = AddCorpse(1050.0f, 510.0f, 0.0f, 24.0f, colours, 2);
  EXPECT_EQ(bodies[0]->state, GUI_BS_Corpse::FADING);
  EXPECT_EQ(bodies[1]->state, GUI_BS_Corpse::LYING);
  EXPECT_EQ(fourth->state, GUI_BS_Corpse::LYING);
  // Over a second it fades with its blood and gun, then all three go.
  const size_t splats = BloodSplatLayer::Get().splats.size();
  m.Advance(500.0f, 1.0f);
  EXPECT_NEAR(bodies[0]->splat->alpha, 0.5f, 0.01f);
  EXPECT_NEAR(bodies[0]->gun->alpha, 0.5f, 0.01f);
  m.Advance(501.0f, 1.0f);
  m.Draw();
  EXPECT_EQ(m.corpses.size(), 3u);
  EXPECT_EQ(m.guns.size(), 3u);
  EXPECT_EQ(BloodSplatLayer::Get().splats.size(), splats - 1);

  // A fifth far from the rest on the same square: nobody is near enough to fade.
  const SIM_MapSquare* square = bodies[1]->square;
  GUI_BS_Corpse* lone = AddCorpse(1190.0f, 590.0f, 0.0f, 24.0f, colours, 1);
  ASSERT_EQ(lone->square, square);
  int fading = 0;
  for (auto& c : m.corpses) fading += c->state == GUI_BS_Corpse::FADING ? 1 : 0;
  EXPECT_EQ(fading, 0);
  EXPECT_EQ(m.perSquare[square], 4);
}

TEST_F(SoldiersAndMechsTest, CorpsesNeitherDrawNorAgeWhereTheyAreFadedOut) {
  ClearCorpses();
  const int32_t* colours[3] = {nullptr, nullptr, nullptr};
  GUI_BS_Corpse* c = AddCorpse(1150.0f, 600.0f, 0.0f, 24.0f, colours, 1);
  Look(1150.0f, 600.0f, 0.1f);
  platform::Device* d = engine().Device();
  engine().BeginScene();
  const uint64_t before = d->Counters().draws;
  GetBattle().frameStep = 50.0f;
  DrawCorpses();
  EXPECT_EQ(d->Counters().draws, before);
  EXPECT_EQ(c->age, 0.0f);
  Look(1150.0f, 600.0f, 2.0f);
  DrawCorpses();
  EXPECT_GT(d->Counters().draws, before);
  EXPECT_EQ(c->age, 50.0f);
  // Unlit, no glow; in the dark a fresh body glows for two seconds.
  EXPECT_EQ(CorpseManager::Get().glowing, 0);
  GUI_BS_LightmapManager::Instance().mode = 1;
  DrawCorpses();
  EXPECT_EQ(CorpseManager::Get().glowing, 3);
  GetBattle().frameStep = 1900.0f;
  DrawCorpses();
  EXPECT_EQ(CorpseManager::Get().glowing, 0);
  GUI_BS_LightmapManager::Instance().mode = 0;
  engine().EndScene();
  GetBattle().frameStep = 16.0f;
}

TEST_F(SoldiersAndMechsTest, AWoundedMechSmokesUntilItsSmokeRunsOut) {
  GUI_BS_MechUnit* m = Mech();
  ASSERT_NE(m, nullptr);
  ASSERT_FALSE(m->unit->design->hull->targets.empty());
  const SIM_UnitTargetData* point = m->unit->design->hull->targets.front().get();
  m->AddDamageEmitter(point);
  ASSERT_EQ(m->emitters.size(), 1u);
  auto* smoke = dynamic_cast<GUI_BS_UnitEmmiter*>(m->emitters.front().object.get());
  ASSERT_NE(smoke, nullptr);
  // One smoke a point.
  m->AddDamageEmitter(point);
  EXPECT_EQ(m->emitters.size(), 1u);
  m->PruneEmitters();
  EXPECT_EQ(m->emitters.size(), 1u);
  smoke->heat->active = false;
  smoke->UpdatePosition();
  m->PruneEmitters();
  EXPECT_TRUE(m->emitters.empty());
  EXPECT_TRUE(UnitEmitterList().empty());
}

class AirDropCratesTest : public SoldiersAndMechsTest {
 protected:
  // A crate of the simulation on the square under (x, y), shown by the screen.
  static SIM_AirDrop* Drop(float x, float y) {
    SIM_AirDropManager& sim = GetAirDropManager();
    SIM_MapSquare* square = GetBattle().scenario->GetSquareAt(x, y);
    auto site = std::make_unique<SIM_AirDropSite>();
    site->square = square;
    auto drop = std::make_unique<SIM_AirDrop>(site.get(), nextId++);
    drop->x = x;
    drop->y = y;
    site->drop = drop.get();
    SIM_AirDrop* d = drop.get();
    sim.sites.push_back(std::move(site));
    sim.drops.push_back(std::move(drop));
    if (GetBattleHooks().airDropFalls) GetBattleHooks().airDropFalls(d->id, x, y);
    return d;
  }
  static inline int nextId = 1000;
};

TEST_F(AirDropCratesTest, ACrateFallsShrinkingOntoItsSquare) {
  GUI_BS_AirDropManager& crates = GUI_BS_AirDropManager::Instance();
  crates.DeleteAll();
  Drop(1150.0f, 600.0f);
  ASSERT_EQ(crates.drops.size(), 1u);
  GUI_BS_AirDrop& crate = *crates.drops.front();
  GetBattle().frameStep = 125.0f;
  crates.DrawAll();
  EXPECT_NEAR(crate.Scale(), 1.25f, 1e-5f);
  EXPECT_NEAR(crate.crateSprite.width, 125.0f * GUI_BS_Map::Instance().zoom, 1e-3f);
  crates.DrawAll();
  crates.DrawAll();
  EXPECT_TRUE(crate.landed);
  EXPECT_NEAR(crate.crateSprite.width, 100.0f * GUI_BS_Map::Instance().zoom, 1e-3f);
  GetBattle().frameStep = 16.0f;
}

TEST_F(AirDropCratesTest, AUnitTakesTheFirstCrateOnItsSquareForTheAttackers) {
  SIM_SupplyLimits& limits = GetSupplyLimits();
  GUI_BS_AirDropManager& crates = GUI_BS_AirDropManager::Instance();
  crates.DeleteAll();
  struct Case {
    bool playerDefends;
    int playerTrucks, aiTrucks;
  } cases[] = {{false, 4, 3}, {true, 3, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.playerDefends);
    GetBattle().playerDefends = c.playerDefends;
    limits.playerTrucks = 3;
    limits.aiTrucks = 3;
    GUI_BS_InfantryUnit* s = Soldier("Rifle Squad", 1150.0f, 650.0f);
    // Two crates on one square (200 units a side): a step takes only the first.
    SIM_AirDrop* first = Drop(1120.0f, 620.0f);
    const int firstId = first->id;
    Drop(1180.0f, 680.0f);
    ClearLiveEffects();
    s->CollectAirDrop();
    ASSERT_EQ(crates.drops.size(), 1u);
    EXPECT_EQ(GetAirDropManager().FindDrop(firstId), nullptr);
    EXPECT_NE(crates.drops.front()->simDrop, firstId);
    // The sixth truck is not more than the fifth: four at most.
    s->CollectAirDrop();
    EXPECT_TRUE(crates.drops.empty());
    EXPECT_EQ(limits.playerTrucks, c.playerTrucks);
    EXPECT_EQ(limits.aiTrucks, c.aiTrucks);
    EXPECT_EQ(LiveGroups("dropnewunit_large"), 2);
    EXPECT_EQ(LiveShockWaves(400.0f, 500.0f), 2);
    EXPECT_FALSE(crates.CheckCollect(s->unit));
  }
  GetBattle().playerDefends = false;
}

}  // namespace
