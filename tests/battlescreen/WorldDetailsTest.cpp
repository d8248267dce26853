// The battle world's small details: shield flares, ripples and flicker; track marks that
// fill their ring and age while unseen; shell casings; the flash timer; snow; voices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battle/Squadron.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/BulletPass.h"
#include "battlescreen/Craters.h"
#include "battlescreen/Searchlights.h"
#include "battlescreen/ShellCasings.h"
#include "battlescreen/Shields.h"
#include "battlescreen/Snowfall.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "battlescreen/WorldDetails.h"
#include "engine/D3DEngine.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "simdata/Scenario.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

constexpr float kCx = 1150.0f, kCy = 600.0f;

class WorldDetailsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    GetBattle().Begin();
    LookAt(kCx, kCy, 2.0f);
    GUI_BS_DistortionManager::Instance().shields.clear();
    GUI_BS_DistortionManager::Instance().enabled = true;  // the option is on by default
  }
  static void LookAt(float x, float y, float zoom) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = zoom;
    map.cameraX = x;
    map.cameraY = y;
    map.UpdateViewRect();
  }
  SIM_BattleUnit* PlaceShielded() {
    SIM_BattleUnit* u = PlaceUnit(EnemyDesign("warden_aegis.txt"), GetBattle().opponentArmy, kCx, kCy, 0.0f);
    if (u && u->moduleManager) u->moduleManager->shieldFraction = 1.0f;
    return u;
  }
  static GUI_BS_Shield* ShieldOf(SIM_BattleUnit* u) {
    auto* major = u ? dynamic_cast<GUI_BS_MajorUnit*>(u->visual.get()) : nullptr;
    return major ? major->shield.get() : nullptr;
  }
  int ShieldSounds() const {
    int n = 0;
    for (int h : fake->order) n += fake->sounds.at(h).file.find("lb_shield_impact") != std::string::npos;
    return n;
  }
  FakeSoundEngine* fake = nullptr;
};

// A hit at this heading (degrees, 0 up, clockwise) on the bubble's rim.
void HitFrom(GUI_BS_Shield& s, float heading, int* slot = nullptr) {
  const float a = heading * 3.14159265f / 180.0f;
  const int used = s.OnImpact(1.0f, s.unit->x + std::sin(a) * 40.0f, s.unit->y - std::cos(a) * 40.0f);
  if (slot) *slot = used;
}

TEST_F(WorldDetailsTest, ShieldHitsShareNearbySlotsAndAFifthDirectionGetsNone) {
  SIM_BattleUnit* u = PlaceShielded();
  GUI_BS_Shield* s = ShieldOf(u);
  ASSERT_NE(s, nullptr);
  EXPECT_GT(s->radius, 0.0f);
  const struct {
    const char* what;
    std::vector<float> headings;
    std::vector<int> slots;
    int active;
  } cases[] = {
      {"30 degrees apart share one flare", {10.0f, 40.0f}, {0, 0}, 1},
      {"across north wraps round", {350.0f, 20.0f}, {0, 0}, 1},
      {"five directions: four flares, the fifth none", {0, 72, 144, 216, 288}, {0, 1, 2, 3, -1}, 4},
      {"just beyond 45 degrees takes a new slot", {0.0f, 46.0f}, {0, 1}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto& slot : s->impacts) slot.active = false;
    for (size_t i = 0; i < c.headings.size(); ++i) {
      int used = -2;
      HitFrom(*s, c.headings[i], &used);
      EXPECT_EQ(used, c.slots[i]) << "hit " << i;
    }
    EXPECT_EQ(
        std::count_if(std::begin(s->impacts), std::end(s->impacts), [](const auto& i) { return i.active; }),
        c.active);
  }
}

// The bubble and its hit flares are drawn as four mirrored copies of one quarter picture
// whose inner corner is the bubble's centre: a whole bubble drawn into the quarter would
// show as four small bubbles over the unit. The rim runs from the quarter's bottom left to
// its top right; the middle stays clear so the unit shows through.
TEST_F(WorldDetailsTest, ShieldPicturesAreQuartersAroundTheBubblesCentre) {
  const struct {
    const char* texture;
    int rimMin;  // least alpha on the rim where the shot lands (top right, the quarters' seam)
    int rimSideMin;
  } cases[] = {{"shield_bubble.dds", 96, 96}, {"shield_blast.dds", 160, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texture);
    auto* t = dynamic_cast<platform::NullTexture*>(FindOrLoadTexture(c.texture)->Texture());
    ASSERT_NE(t, nullptr);
    const int w = t->Width(), h = t->Height();
    ASSERT_EQ(t->pixels.size(), static_cast<size_t>(w * h));
    auto alpha = [&](float fx, float fy) {
      const int x = std::clamp(static_cast<int>(fx * w), 0, w - 1),
                y = std::clamp(static_cast<int>(fy * h), 0, h - 1);
      return static_cast<int>(t->pixels[static_cast<size_t>(y) * w + x] >> 24);
    };
    EXPECT_LT(alpha(0.0f, 0.0f), 16) << "the outer corner lies outside the bubble";
    EXPECT_LT(alpha(1.0f, 1.0f), 64) << "the bubble's centre stays clear";
    EXPECT_GE(alpha(0.97f, 0.055f), c.rimMin) << "the rim at the top, where the mirrored quarters meet";
    EXPECT_GE(alpha(0.055f, 0.97f), c.rimSideMin) << "the rim at the side";
  }
}

TEST_F(WorldDetailsTest, AShieldHitInViewSoundsAndOneOutOfViewIsSilent) {
  SIM_BattleUnit* u = PlaceShielded();
  GUI_BS_Shield* s = ShieldOf(u);
  ASSERT_NE(s, nullptr);
  HitFrom(*s, 90.0f);
  EXPECT_EQ(ShieldSounds(), 1);
  LookAt(kCx + 3000.0f, kCy + 3000.0f, 2.0f);
  HitFrom(*s, 180.0f);
  EXPECT_EQ(ShieldSounds(), 1);
}

TEST_F(WorldDetailsTest, ShieldFlickersBelowAThirdAndStopsForGoodAtZero) {
  SIM_BattleUnit* u = PlaceShielded();
  GUI_BS_Shield* s = ShieldOf(u);
  ASSERT_NE(s, nullptr);
  const struct {
    float fraction;
    bool flickers;
  } cases[] = {{1.0f, false}, {0.34f, false}, {0.33f, false}, {0.32f, true}, {0.1f, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fraction);
    s->flickering = s->flickerOn = false;
    s->UpdateFlicker(16.0f, c.fraction);
    EXPECT_EQ(s->flickering, c.flickers);
    if (!c.flickers) continue;
    EXPECT_GE(s->flickerInterval, 16.0f);
    EXPECT_LE(s->flickerInterval, 32.0f);
    // It toggles once its interval has passed, never sooner.
    int toggles = 0;
    bool last = s->flickerOn;
    for (int ms = 0; ms < 320; ms += 4) {
      s->UpdateFlicker(4.0f, c.fraction);
      toggles += s->flickerOn != last;
      last = s->flickerOn;
    }
    EXPECT_GE(toggles, 320 / 32 - 1);
    EXPECT_LE(toggles, 320 / 16);
  }
  // Rising above a third stops it; an empty shield ends the bubble and flicker for good.
  s->UpdateFlicker(16.0f, 0.5f);
  EXPECT_FALSE(s->flickering);
  u->moduleManager->shieldFraction = 0.0f;
  s->Draw();
  EXPECT_FALSE(s->flickerEnabled);
  u->moduleManager->shieldFraction = 0.2f;
  for (int i = 0; i < 10; ++i) s->Draw();
  EXPECT_FALSE(s->flickering);
  EXPECT_FALSE(s->flickerOn);
}

TEST_F(WorldDetailsTest, AShieldRippleIsListedOnceAndLeavesWithItsShield) {
  SIM_BattleUnit* u = PlaceShielded();
  GUI_BS_Shield* s = ShieldOf(u);
  ASSERT_NE(s, nullptr);
  auto& seam = GUI_BS_DistortionManager::Instance();
  GetBattleHooks().shieldImpact(u, 1.0f, u->x, u->y - 40.0f);
  seam.Draw(300.0f);
  GetBattleHooks().shieldImpact(u, 1.0f, u->x + 40.0f, u->y);
  ASSERT_EQ(seam.shields.size(), 1u);
  EXPECT_EQ(s->distortion.elapsed, 0.0f);  // the second hit restarted it
  seam.Draw(399.0f);
  EXPECT_EQ(seam.shields.size(), 1u);
  seam.Draw(1.5f);  // past its 400 ms
  EXPECT_TRUE(seam.shields.empty());
  GetBattleHooks().shieldImpact(u, 1.0f, u->x, u->y - 40.0f);
  ASSERT_EQ(seam.shields.size(), 1u);
  u->visual.reset();
  EXPECT_TRUE(seam.shields.empty());
  EXPECT_EQ(GUI_BS_Shield::Of(u), nullptr);
}

// Under the sanitizer: the unit's shield goes mid-ripple, and the battle draws on.
TEST_F(WorldDetailsTest, AShieldedUnitDeletedMidRippleLeavesNothingBehind) {
  SIM_BattleUnit* u = PlaceShielded();
  SIM_BattleUnit* other = PlaceShielded();
  ASSERT_NE(ShieldOf(u), nullptr);
  ASSERT_NE(ShieldOf(other), nullptr);
  GetBattleHooks().shieldImpact(u, 1.0f, u->x, u->y - 40.0f);
  GetBattleHooks().shieldImpact(other, 1.0f, other->x, other->y - 40.0f);
  // One leaves the battle as a wreck, the other's visual is deleted outright.
  GUI_BS_UnitManager::Instance().Adopt(std::move(other->visual));
  u->visual.reset();
  EXPECT_TRUE(GUI_BS_DistortionManager::Instance().shields.empty());
  auto* screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
  ASSERT_NE(screen, nullptr);
  for (int i = 0; i < 100; ++i) {
    GetBattleHooks().shieldImpact(u, 1.0f, u->x, u->y);
    GetBattleHooks().shieldImpact(other, 1.0f, other->x, other->y);
    engine().BeginScene();
    screen->Draw();
    engine().EndScene();
    GUI_BS_DistortionManager::Instance().Draw(16.0f);
  }
  EXPECT_TRUE(GUI_BS_DistortionManager::Instance().shields.empty());
}

// ---- Track marks ----

struct TrackRing {
  SIM_BattleUnit unit;
  GUI_BS_Tracks ring{&unit};
};

TEST_F(WorldDetailsTest, The61stTrackMarkIsDroppedNotOverwritten) {
  TrackRing t;
  for (int i = 0; i < GUI_BS_Tracks::kMarks; ++i) EXPECT_TRUE(t.ring.AddMark(10.0f * i, 5.0f, 0.0f));
  EXPECT_FALSE(t.ring.AddMark(999.0f, 999.0f, 0.0f));
  EXPECT_EQ(t.ring.ActiveCount(), 60);
  EXPECT_EQ(t.ring.marks[0].x, 0.0f);
  EXPECT_EQ(t.ring.highest, 59);
  EXPECT_EQ(t.ring.right, static_cast<int>(590.0f + t.ring.markWidth));
  // Once the first has faded, the next mark takes its slot.
  t.ring.marks[0].age = GUI_BS_Tracks::kLifeMs;
  t.ring.Age(0.0f, 1.0f);
  EXPECT_TRUE(t.ring.AddMark(777.0f, 5.0f, 0.0f));
  EXPECT_EQ(t.ring.marks[0].x, 777.0f);
}

TEST_F(WorldDetailsTest, TrackMarksFadeInThenOutOverSixSeconds) {
  const struct {
    float age, alpha;
    uint32_t a;
  } cases[] = {{0, 1, 0}, {300, 1, 64}, {600, 1, 128}, {3300, 1, 64}, {6000, 1, 0}, {600, 0.5f, 64}};
  for (const auto& c : cases)
    EXPECT_NEAR(static_cast<int>(TrackMarkColour(c.age, c.alpha) >> 24), static_cast<int>(c.a), 1)
        << c.age << " " << c.alpha;
}

TEST_F(WorldDetailsTest, TrackMarksAgeUnseenAndTheOptionStopsThem) {
  TrackRing t;
  GUI_BS_TrackManager& m = GUI_BS_TrackManager::Instance();
  m.hiddenTime = 0.0f;
  for (int i = 0; i < 10; ++i) t.ring.AddMark(100.0f + i, 100.0f, 0.0f);
  // "TRACKS" off: recorded, never aged or drawn.
  for (int f = 0; f < 500; ++f) TrackPass(0.0f, 1.0f, 16.0f, 0, 0, 1024, 768, false);
  EXPECT_EQ(t.ring.ActiveCount(), 10);
  EXPECT_EQ(t.ring.marks[0].age, 0.0f);
  // Zoomed out: nothing drawn, but the time counts when they are next seen.
  for (int f = 0; f < 60; ++f) TrackPass(1.0f, 0.0f, 100.0f, 0, 0, 1024, 768, false);
  EXPECT_EQ(m.queuedQuads, 0);
  EXPECT_EQ(t.ring.marks[0].age, 0.0f);
  EXPECT_FLOAT_EQ(m.hiddenTime, 6000.0f);
  TrackPass(1.0f, 1.0f, 16.0f, 0, 0, 1024, 768, false);
  EXPECT_EQ(t.ring.ActiveCount(), 0);
  EXPECT_EQ(m.hiddenTime, 0.0f);
  // Off screen the marks age too.
  for (int i = 0; i < 5; ++i) t.ring.AddMark(100.0f, 100.0f, 0.0f);
  TrackPass(1.0f, 1.0f, 6000.0f, 5000, 5000, 6000, 6000, false);
  EXPECT_EQ(t.ring.ActiveCount(), 0);
}

TEST_F(WorldDetailsTest, TheTrackPassQueuesOnlyLiveMarks) {
  TrackRing t;
  for (int i = 0; i < 10; ++i) t.ring.AddMark(100.0f + i, 100.0f, 0.0f);
  // The even ones fade out; the ring still reaches to its highest slot.
  for (int i = 0; i < 10; i += 2) t.ring.marks[i].age = GUI_BS_Tracks::kLifeMs;
  TrackPass(1.0f, 1.0f, 16.0f, 0, 0, 1024, 768, true);
  EXPECT_EQ(t.ring.highest, 9);
  EXPECT_EQ(GUI_BS_TrackManager::Instance().queuedQuads, 5);
}

TEST_F(WorldDetailsTest, ADrivingTankLaysMarksIntoItsRing) {
  SIM_BattleUnit* u = PlaceUnit(PlayerDesign("Jackal Scout"), GetBattle().playerArmy, kCx, kCy, 0.0f);
  auto* tank = u ? dynamic_cast<GUI_BS_TankUnit*>(u->visual.get()) : nullptr;
  ASSERT_NE(tank, nullptr);
  ASSERT_NE(tank->tracks, nullptr);
  for (int i = 0; i < 12; ++i) {
    u->y -= std::sqrt(tank->trackSpacingSq) * 1.2f;
    tank->UpdateTracks();
  }
  EXPECT_EQ(tank->tracks->ActiveCount() % 2, 0);
  EXPECT_GE(tank->tracks->ActiveCount(), 20);
  // As a wreck it no longer refers to its unit; its marks stay and fade.
  GUI_BS_UnitManager::Instance().Adopt(std::move(u->visual));
  EXPECT_EQ(tank->tracks->unit, nullptr);
}

// ---- Searchlights and lasers on units ----

// Searchlights come with the hull variant's lines; a laser only when the design carries
// target acquisition.
TEST_F(WorldDetailsTest, ShippedVariantsFitSearchlightsAndLasersOnlyWithTargetAcquisition) {
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  const struct {
    const char* name;
    SIM_UnitDesign* design;
    int lights, lasers;
  } cases[] = {
      {"Bulwark: a sweeping light", PlayerDesign("Bulwark Battle Tank"), 1, 0},
      {"Jackal Hunter: two headlights", PlayerDesign("Jackal Hunter"), 2, 0},
      {"Mammoth with a ballistic computer", EnemyDesign("mammoth_siege.txt"), 1, 0},
      {"gun tower without acquisition", EnemyDesign("lance_tower.txt"), 0, 0},
      {"Night Citadel's lance tower",
       designs.AddAIDesignFromFile("data/scenarios/05_night_citadel/ai_designs/lance_tower.txt"), 0, 1},
  };
  float x = kCx - 300.0f;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.design, nullptr);
    SIM_BattleUnit* u = PlaceUnit(c.design, GetBattle().playerArmy, x += 120.0f, kCy, 0.0f);
    auto* visual = u ? dynamic_cast<GUI_BS_Unit*>(u->visual.get()) : nullptr;
    ASSERT_NE(visual, nullptr);
    int lights = 0, lasers = 0;
    for (const auto& sprite : visual->sprites)
      for (const auto& child : sprite->ownedChildren) {
        lights += dynamic_cast<GUI_BS_Searchlight*>(child.get()) != nullptr;
        lasers += dynamic_cast<GUI_BS_LaserGuidance*>(child.get()) != nullptr;
      }
    EXPECT_EQ(lights, c.lights);
    EXPECT_EQ(lasers, c.lasers);
  }
}

// A searchlight only lights the light map, so tanks carrying one still draw in one batch
// per atlas: the same draws as the same tanks without their lights.
TEST_F(WorldDetailsTest, TanksCarryingSearchlightsKeepTheirBatch) {
  SIM_UnitDesign* bulwark = PlayerDesign("Bulwark Battle Tank");
  std::vector<GUI_BS_Unit*> tanks;
  for (int i = 0; i < 4; ++i) {
    SIM_BattleUnit* u = PlaceUnit(bulwark, GetBattle().playerArmy, kCx - 150.0f + 100.0f * i, kCy, 0.0f);
    auto* visual = u ? dynamic_cast<GUI_BS_Unit*>(u->visual.get()) : nullptr;
    ASSERT_NE(visual, nullptr);
    tanks.push_back(visual);
  }
  auto draws = [&] {
    const uint64_t before = engine().Device()->Counters().draws;
    engine().BeginScene();
    GUI_BS_UnitManager::Instance().DrawAll();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
    return engine().Device()->Counters().draws - before;
  };
  const uint64_t lit = draws();
  int children = 0;
  for (GUI_BS_Unit* t : tanks)
    for (const auto& sprite : t->sprites) {
      children += sprite->hasChildren;
      sprite->hasChildren = false;
    }
  ASSERT_EQ(children, 4) << "each chassis carries its light";
  EXPECT_EQ(lit, draws());
}

// ---- Bullets ----

TEST_F(WorldDetailsTest, BulletsDrawEveryFrameLitOrNotAndOnlyTheirGlowGoesToTheLightMap) {
  SIM_BattleUnit* u = PlaceShielded();  // carries an autocannon
  ASSERT_NE(u, nullptr);
  SIM_KineticWeaponComponent* gun = nullptr;
  for (SIM_Module* m : u->moduleManager->weapons)
    if (!gun) gun = dynamic_cast<SIM_KineticWeaponComponent*>(m);
  ASSERT_NE(gun, nullptr);
  gun->invisibleBullets = false;
  for (int i = 0; i < 3; ++i) {
    SIM_Bullet& b = gun->bullets[static_cast<size_t>(i)];
    b.alive = true;
    b.launchDelay = i == 2 ? 50.0f : 0.0f;  // the third has not left the barrel yet
    b.x = kCx + 10.0f * i;
    b.y = kCy;
  }
  for (bool lit : {false, true}) {
    SCOPED_TRACE(lit ? "lit" : "unlit");
    engine().BeginScene();
    DrawBulletPass(lit);
    engine().EndScene();
    EXPECT_EQ(LastBulletPass().bullets, 2);
    EXPECT_EQ(LastBulletPass().glows, 2);
    if (!lit) {
      EXPECT_EQ(LastBulletPass().lightMapGlows, 0);
    }
    if (lit && engine().HasTexture("rt_lightmap")) {
      EXPECT_EQ(LastBulletPass().lightMapGlows, 2);
    }
  }
  gun->invisibleBullets = true;
  DrawBulletPass(false);
  EXPECT_EQ(LastBulletPass().bullets, 0);
  for (SIM_Bullet& b : gun->bullets) b.alive = false;
}

// ---- Casings and the flash timer ----

TEST_F(WorldDetailsTest, AGunFiringWithoutPauseKeepsAtMost16Casings) {
  ShellCasings c(90, 4.0f, -10.0f);
  c.ejecting = true;
  int most = 0;
  for (int f = 0; f < 300; ++f) {
    c.Update(16.0f, 2.0f, 500.0f, 500.0f, 30.0f, 0.0f, 0.0f, false);
    most = std::max(most, c.ActiveCount());
  }
  EXPECT_LE(most, ShellCasings::kCasings);
  EXPECT_GE(most, 8);
  EXPECT_LE(most, 10);
  // A burst faster than the casings' life fills all 16 and asks for no more.
  for (int i = 0; i < 20; ++i) c.Spawn(500.0f, 500.0f, 0.0f);
  EXPECT_EQ(c.ActiveCount(), ShellCasings::kCasings);
  EXPECT_FALSE(c.Spawn(500.0f, 500.0f, 0.0f));
}

TEST_F(WorldDetailsTest, CasingsAreInvisibleZoomedOutButStillFlyAndExpire) {
  ShellCasings c(90, 0.0f, 0.0f);
  ASSERT_TRUE(c.Spawn(100.0f, 100.0f, 0.0f));
  c.anyActive = true;
  c.Update(16.0f, 0.75f, 0, 0, 0, 0.0f, 0.0f, true);
  EXPECT_EQ(c.queuedLast, 0);
  EXPECT_GT(c.casings[0].x, 100.0f);  // ejected at 90 degrees: to the right
  for (int f = 0; f < 30; ++f) c.Update(16.0f, 0.75f, 0, 0, 0, 0.0f, 0.0f, true);
  EXPECT_EQ(c.ActiveCount(), 0);
  EXPECT_FALSE(c.anyActive);
}

TEST_F(WorldDetailsTest, ShellEmitterLinesAreReadOrRefused) {
  const struct {
    const char* line;
    bool ok;
    int angle;
    float x, y;
  } cases[] = {
      {"tank_turret,shell_emitter,90,12,-20", true, 90, 12.0f, -20.0f},
      {"tank_turret, shell_emitter, 270 , 0.5, 3", true, 270, 0.5f, 3.0f},
      {"gunbarrel,-18,-150", false, 0, 0, 0},
      {"tank_turret,shell_emitter,90,12", false, 0, 0, 0},
      {"tank_turret,shell_emitter,ninety,12,3", false, 0, 0, 0},
      {"tank_turret,shell_emitter,nan,12,3", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    int angle = 0;
    float x = 0.0f, y = 0.0f;
    EXPECT_EQ(GUI_BS_MajorUnit::ParseShellEmitter(c.line, &angle, &x, &y), c.ok);
    EXPECT_EQ(angle, c.angle);
    EXPECT_FLOAT_EQ(x, c.x);
    EXPECT_FLOAT_EQ(y, c.y);
  }
}

TEST_F(WorldDetailsTest, TheFlashTimerAlternatesQuietAndShakingPhases) {
  FlashTimer t;
  for (int phase = 0; phase < 20; ++phase) {
    t.NextPhase();
    if (t.flashing) {
      EXPECT_GE(t.duration, 600.0f);
      EXPECT_LE(t.duration, 1200.0f);
      EXPECT_LE(t.amplitudeX, 3.0f);
      EXPECT_LE(t.amplitudeY, 3.0f);
    } else {
      EXPECT_GE(t.duration, 2000.0f);
      EXPECT_LE(t.duration, 4000.0f);
      EXPECT_EQ(t.amplitudeX, 0.0f);
    }
  }
  // A quarter into a flash the jitter is at its amplitude.
  t.flashing = false;
  t.NextPhase();
  ASSERT_TRUE(t.flashing);
  t.Update(t.duration / 4.0f);
  EXPECT_NEAR(t.jitterX, t.amplitudeX, 1e-3f);
  EXPECT_NEAR(t.jitterY, t.amplitudeY, 1e-3f);
  // Its end starts the quiet phase, which keeps the last jitter.
  const float kept = t.jitterX;
  t.Update(t.duration);
  EXPECT_FALSE(t.flashing);
  t.Update(100.0f);
  EXPECT_EQ(t.jitterX, kept);
}

// ---- Snow ----

TEST_F(WorldDetailsTest, SnowFlakeCountsFollowTheScreen) {
  const struct {
    int w, h, flakes;
  } cases[] = {{1024, 768, 174}, {1920, 1200, 512}, {2560, 1600, 512}, {800, 600, 106}, {0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(Snowfall::FlakeCountFor(c.w, c.h), c.flakes) << c.w << "x" << c.h;
}

TEST_F(WorldDetailsTest, SnowReadsTheSineTableBelow360EvenAtSpeed4) {
  for (float age = 0.0f; age < 12000.0f; age += 0.5f) {
    const int i = Snowfall::SineIndex(age);
    ASSERT_GE(i, 0);
    ASSERT_LT(i, 360);
  }
  EXPECT_EQ(Snowfall::SineIndex(0.0f), 1);
  EXPECT_EQ(Snowfall::SineIndex(1000.0f), 91);
  // Speed 4: 64 ms steps carry flakes well past their life before they are placed anew.
  Snowfall& snow = Snowfall::Get();
  snow.Setup(1024, 768);
  for (int f = 0; f < 400; ++f) snow.Update(64.0f * (1 + f % 3));
  for (int i = 0; i < snow.count; ++i) {
    EXPECT_LE(snow.flakes[i].age, Snowfall::kLifeMs);
    EXPECT_LE(snow.flakes[i].vertices[0].colour >> 24, 255u);
  }
}

TEST_F(WorldDetailsTest, OnlySnowScenariosDrawOrShiftSnow) {
  SIM_Scenario* scenario = GetBattle().scenario;
  ASSERT_NE(scenario, nullptr);
  const int kind = scenario->atmosphere;
  Snowfall& snow = Snowfall::Get();
  snow.Setup(1024, 768);
  auto draws = [&] {
    const uint64_t before = engine().Device()->Counters().draws;
    engine().BeginScene();
    DrawSnowLayer();
    engine().EndScene();
    return engine().Device()->Counters().draws - before;
  };
  scenario->atmosphere = SIM_Scenario::ATMOSPHERE_NONE;
  EXPECT_EQ(draws(), 0u);
  const float x0 = snow.flakes[0].x;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.prevCentreX = map.cameraX;
  map.centreX += 100.0f;
  map.UpdateCamera();
  EXPECT_EQ(snow.flakes[0].x, x0);
  scenario->atmosphere = SIM_Scenario::ATMOSPHERE_SNOWING;
  EXPECT_GE(draws(), 5u);  // the flakes and their four offset copies
  scenario->atmosphere = kind;
  // Each flake shifts by its own parallax, wrapped back onto the screen.
  const float before = snow.flakes[1].x;
  snow.Shift(-10.0f, 0.0f);
  float expect = before - 10.0f * snow.flakes[1].parallax;
  if (expect < 0.0f) expect += 1024.0f;
  EXPECT_NEAR(snow.flakes[1].x, expect, 1e-3f);
}

// ---- Voices ----

class VoicesTest : public WorldDetailsTest {
 protected:
  void SetUp() override {
    WorldDetailsTest::SetUp();
    for (auto& s : soldiers) s.x = kCx, s.y = kCy;
  }
  void Fill(SIM_BattleSquadron& squad, int members, SIM_BattleArmy* army) {
    squad.x = kCx;
    squad.y = kCy;
    squad.army = army;
    for (int i = 0; i < members; ++i) squad.members.push_back(&soldiers[i]);
  }
  int Voices() const {
    int n = 0;
    for (int h : fake->order) n += fake->sounds.at(h).file.find("_voice") != std::string::npos;
    return n;
  }
  SIM_BattleUnit soldiers[25];
};

TEST_F(VoicesTest, NoTwoVoicesWithin4SecondsAndNoneZoomedOut) {
  SIM_BattleSquadron full, small;
  Fill(full, 25, GetBattle().playerArmy);
  Fill(small, 5, GetBattle().opponentArmy);
  GUI_BS_Voices a(&full), b(&small);
  ResetVoiceCooldown();
  std::vector<float> spoken;
  for (int f = 0; f < 3000; ++f)
    if (VoicePass(16.0f, 2.0f) > 0) spoken.push_back((f + 1) * 16.0f);
  ASSERT_GE(spoken.size(), 5u);
  for (size_t i = 1; i < spoken.size(); ++i) EXPECT_GE(spoken[i] - spoken[i - 1], 4000.0f);
  EXPECT_GE(spoken.front(), 4000.0f);
  EXPECT_EQ(Voices(), static_cast<int>(spoken.size()));
  EXPECT_EQ(a.voiceList, 0);
  EXPECT_EQ(b.voiceList, 1);
  EXPECT_FLOAT_EQ(a.interval, 2560.0f);
  EXPECT_FLOAT_EQ(b.interval, 12800.0f);
  // Zoomed out below 1.0: silence, however long.
  const int before = Voices();
  for (int f = 0; f < 1000; ++f) EXPECT_EQ(VoicePass(16.0f, 0.99f), 0);
  EXPECT_EQ(Voices(), before);
  // Far off screen or without members: silence too.
  full.x = small.x = kCx + 5000.0f;
  for (int f = 0; f < 1000; ++f) EXPECT_EQ(VoicePass(16.0f, 2.0f), 0);
  full.x = small.x = kCx;
  full.members.clear();
  small.members.clear();
  for (int f = 0; f < 1000; ++f) EXPECT_EQ(VoicePass(16.0f, 2.0f), 0);
}

}  // namespace
