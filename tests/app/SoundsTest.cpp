// The sound manager's rules, checked against a recording engine: repeats, the view
// test, positions and distances, banks and speeds, music, volumes and collections.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/Sounds.h"
#include "battlescreen/BattleMap.h"
#include "engine/Random.h"
#include "simdata/Options.h"
#include "support/FakeSoundEngine.h"
#include "support/TestSupport.h"

namespace {

struct TestWorld : GUI_SoundsWorldView {
  float camX = 0, camY = 0, zoom = 1.0f, step = 16.0f;
  bool battle = false;
  // The view rectangle in world units; a point outside it grown by the margin is off.
  float left = 0, top = 0, right = 1000, bottom = 800;
  float CameraX() const override { return camX; }
  float CameraY() const override { return camY; }
  float Zoom() const override { return zoom; }
  bool IsOutsideView(float x, float y, float m) const override {
    return x < left - m || x > right + m || y < top - m || y > bottom + m;
  }
  bool IsBattleMode() const override { return battle; }
  float BattleFrameStep() const override { return step; }
};

class SoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitRandomWithSeed(1234);
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    sounds = std::make_unique<GUI_Sounds>(std::move(engine));
    auto w = std::make_unique<TestWorld>();
    world = w.get();
    sounds->SetWorldView(std::move(w));
  }
  int PlayAt(const std::string& name, float x = 100, float y = 100, bool tracked = false) {
    return sounds->PlaySound(name.c_str(), 2, 1.0f, tracked, 100.0f, x, y);
  }
  void SetVolumes(float iface, float sfx, float music, float master) {
    SIM_Options& o = SIM_Options::Get();
    o.SetFloat("OPTIONS_INTERFACE_VOLUME", iface);
    o.SetFloat("OPTIONS_SFX", sfx);
    o.SetFloat("OPTIONS_MUSIC", music);
    o.SetFloat("OPTIONS_MASTERVOLUME", master);
    sounds->ReloadVolumes();
  }

  FakeSoundEngine* fake = nullptr;
  TestWorld* world = nullptr;
  std::unique_ptr<GUI_Sounds> sounds;
};

TEST_F(SoundsTest, ConstructionSetsRolloffAndFlagsBanks) {
  EXPECT_FLOAT_EQ(fake->rolloff, 0.05f);
  for (int b = 0; b < GUI_Sounds::kBankCount; ++b) {
    EXPECT_FLOAT_EQ(sounds->Bank(b).speed, 1.0f);
    EXPECT_EQ(sounds->Bank(b).randomiseSpeed, b <= 1) << "bank " << b;
  }
}

TEST_F(SoundsTest, SameNameIsRefusedAfterTenRecentPlays) {
  for (int i = 0; i < GUI_Sounds::kRecentMaxSame; ++i)
    EXPECT_GT(PlayAt("data/sounds/a.ogg"), 0) << "play " << i;
  EXPECT_EQ(PlayAt("data/sounds/a.ogg"), -1);
  EXPECT_EQ(fake->PlayCount(), GUI_Sounds::kRecentMaxSame);
  // Another name still has room in the table.
  EXPECT_GT(PlayAt("data/sounds/b.ogg"), 0);
}

TEST_F(SoundsTest, FullRecentTableRefusesEveryUntrackedSoundUntilOneAgesOut) {
  for (int i = 0; i < GUI_Sounds::kRecentSlots; ++i)
    ASSERT_GT(PlayAt("data/sounds/s" + std::to_string(i) + ".ogg"), 0);
  EXPECT_EQ(PlayAt("data/sounds/new.ogg"), -1);
  EXPECT_EQ(PlayAt("data/sounds/s0.ogg"), -1);
  // A tracked sound never uses the table.
  EXPECT_GT(PlayAt("data/sounds/loop.ogg", 100, 100, true), 0);

  world->battle = true;
  world->step = 251.0f;
  sounds->Update();
  EXPECT_GT(PlayAt("data/sounds/new.ogg"), 0);
}

TEST_F(SoundsTest, RecentEntriesAgeOnlyInBattleAndOnlyPast250ms) {
  struct Case {
    bool battle;
    float step;
    int updates;
    bool freed;
  } cases[] = {
      {false, 100.0f, 10, false},  // outside battle nothing ages
      {true, 100.0f, 2, false},    // 200 ms
      {true, 125.0f, 2, false},    // exactly 250 ms is still recent
      {true, 100.0f, 3, true},     // 300 ms
      {true, 0.0f, 50, false},     // paused battle: a zero step
  };
  for (const Case& c : cases) {
    SetUp();
    for (int i = 0; i < GUI_Sounds::kRecentMaxSame; ++i) ASSERT_GT(PlayAt("data/sounds/x.ogg"), 0);
    world->battle = c.battle;
    world->step = c.step;
    for (int u = 0; u < c.updates; ++u) sounds->Update();
    EXPECT_EQ(sounds->RecentCount("data/sounds/x.ogg"), c.freed ? 0 : GUI_Sounds::kRecentMaxSame)
        << "battle " << c.battle << " step " << c.step << " updates " << c.updates;
    EXPECT_EQ(PlayAt("data/sounds/x.ogg") > 0, c.freed);
  }
}

TEST_F(SoundsTest, UntrackedSoundsOutsideTheViewAreRefused) {
  struct Case {
    float x, y;
    bool plays;
  } cases[] = {
      {500, 400, true},  {-127, 400, true},  {-129, 400, false},
      {1127, 400, true}, {1129, 400, false}, {500, 929, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlayAt("data/sounds/v" + std::to_string(c.x) + ".ogg", c.x, c.y) > 0, c.plays)
        << c.x << "," << c.y;
  }
  // A tracked sound (a weapon loop that follows its unit) plays anywhere.
  EXPECT_GT(PlayAt("data/sounds/far.ogg", -5000, -5000, true), 0);
}

TEST_F(SoundsTest, PositionalPlayScalesPositionDistanceAndVolume) {
  SetVolumes(1.0f, 0.5f, 1.0f, 0.8f);
  int h = sounds->PlaySound("data/sounds/p.ogg", 2, 0.5f, false, 150.0f, 250.0f, 500.0f);
  ASSERT_GT(h, 0);
  const FakeSound& s = fake->sounds.at(h);
  EXPECT_TRUE(s.positional);
  EXPECT_FALSE(s.looped);
  EXPECT_FALSE(s.paused);
  EXPECT_TRUE(s.dropped);
  EXPECT_FLOAT_EQ(s.pos.x, 10.0f);
  EXPECT_FLOAT_EQ(s.pos.y, 20.0f);
  EXPECT_FLOAT_EQ(s.pos.z, 0.0f);
  EXPECT_FLOAT_EQ(s.minDistance, 6.0f);
  EXPECT_FLOAT_EQ(s.volume, 0.5f * 0.8f * 0.5f);
  EXPECT_FLOAT_EQ(s.speed, 1.0f);  // bank 2 does not vary its pitch

  sounds->SetSoundPosition(h, 1000.0f, -50.0f);
  EXPECT_FLOAT_EQ(fake->sounds.at(h).pos.x, 40.0f);
  EXPECT_FLOAT_EQ(fake->sounds.at(h).pos.y, -2.0f);
}

TEST_F(SoundsTest, RandomisedBanksVaryPitchWithinRange) {
  std::set<float> speeds;
  for (int i = 0; i < 40; ++i) {
    int h = sounds->PlaySound("data/sounds/r.ogg", i % 2, 1.0f, true, 64.0f, 0, 0);
    ASSERT_GT(h, 0);
    float sp = fake->sounds.at(h).speed;
    EXPECT_GE(sp, 0.8f);
    EXPECT_LT(sp, 1.2f);
    speeds.insert(sp);
  }
  EXPECT_GT(speeds.size(), 5u);
}

TEST_F(SoundsTest, CommaListPlaysOneOfItsNamesAndCountsTheListAsOne) {
  const std::string list = "data/sounds/a.ogg,data/sounds/b.ogg,data/sounds/c.ogg";
  std::set<std::string> played;
  for (int i = 0; i < GUI_Sounds::kRecentMaxSame; ++i) {
    ASSERT_GT(PlayAt(list), 0);
    played.insert(fake->Last().file);
  }
  for (const std::string& f : played)
    EXPECT_TRUE(f == "data/sounds/a.ogg" || f == "data/sounds/b.ogg" || f == "data/sounds/c.ogg") << f;
  EXPECT_GT(played.size(), 1u);
  EXPECT_EQ(sounds->RecentCount(list), GUI_Sounds::kRecentMaxSame);
  EXPECT_EQ(PlayAt(list), -1);
}

TEST_F(SoundsTest, EmptyOrFailedPlaysChangeNothing) {
  EXPECT_EQ(PlayAt(""), -1);
  EXPECT_EQ(PlayAt(",,"), -1);
  EXPECT_EQ(sounds->PlaySound(nullptr, 0, 1.0f, false, 64.0f, 0, 0), -1);
  fake->missingFiles.insert("data/sounds/gone.ogg");
  EXPECT_EQ(PlayAt("data/sounds/gone.ogg"), -1);
  EXPECT_EQ(sounds->RecentCount("data/sounds/gone.ogg"), 0);
  EXPECT_EQ(PlayAt("data/sounds/gone.ogg", 0, 0, true), -1);
  EXPECT_EQ(sounds->TrackedCount(), 0);
}

TEST(SoundsExplosionNames, SizeChoosesTheFamily) {
  struct Case {
    float size;
    int number;
    bool huge;
    const char* file;
  } cases[] = {
      {0.0f, 1, false, "data/sounds/lb_explosion_tiny1.ogg"},
      {9.9f, 2, false, "data/sounds/lb_explosion_tiny2.ogg"},
      {10.0f, 1, false, "data/sounds/lb_explosion_small1.ogg"},
      {29.9f, 6, false, "data/sounds/lb_explosion_small6.ogg"},
      {30.0f, 7, false, "data/sounds/lb_explosion_medium7.ogg"},
      {99.9f, 1, true, "data/sounds/lb_explosion_medium1.ogg"},
      {100.0f, 1, false, "data/sounds/lb_explosion_large1.ogg"},
      {500.0f, 1, true, "data/sounds/lb_explosion_huge1.ogg"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GUI_Sounds::ExplosionFileName(c.size, c.number, c.huge), c.file) << c.size;
}

TEST_F(SoundsTest, ExplosionSoundsStayInTheirFamilyAndUseBankOne) {
  struct Case {
    float size;
    const char* prefix;
    int maxNumber;
  } cases[] = {{5, "tiny", 2}, {20, "small", 6}, {60, "medium", 7}};
  world->battle = true;
  world->step = 300.0f;
  for (const Case& c : cases) {
    std::set<std::string> files;
    for (int i = 0; i < 60; ++i) {
      const int before = fake->PlayCount();
      sounds->PlayExplosionSound(c.size, 100, 100);
      ASSERT_EQ(fake->PlayCount(), before + 1);
      files.insert(fake->Last().file);
      EXPECT_FLOAT_EQ(fake->Last().minDistance, 64.0f * 0.04f);
      sounds->Update();  // lets the recent table forget, so every pick can play
    }
    for (int n = 1; n <= c.maxNumber; ++n) {
      std::string f = "data/sounds/lb_explosion_" + std::string(c.prefix) + std::to_string(n) + ".ogg";
      EXPECT_TRUE(files.count(f)) << f << " never chosen";
    }
    EXPECT_EQ(files.size(), static_cast<size_t>(c.maxNumber));
  }
}

TEST_F(SoundsTest, MusicDoesNotRestartTheSameTrack) {
  SetVolumes(1.0f, 1.0f, 0.5f, 0.8f);
  sounds->PlayMusic("ztk_main_theme.ogg", false, true);
  ASSERT_EQ(fake->PlayCount(), 1);
  const int first = sounds->CurrentMusicHandle();
  EXPECT_EQ(fake->Last().file, "data/sounds/music/ztk_main_theme.ogg");
  EXPECT_TRUE(fake->Last().looped);
  EXPECT_FALSE(fake->Last().paused);
  EXPECT_FLOAT_EQ(fake->Last().volume, 0.4f);
  EXPECT_FLOAT_EQ(fake->Last().minDistance, 30.0f);

  sounds->PlayMusic("ztk_main_theme.ogg", false, true);
  EXPECT_EQ(fake->PlayCount(), 1);
  EXPECT_FALSE(fake->sounds.at(first).stopped);

  sounds->PlayMusic("data/custom/track.ogg", true, false);
  EXPECT_TRUE(fake->sounds.at(first).stopped);
  EXPECT_EQ(fake->Last().file, "data/custom/track.ogg");
  EXPECT_EQ(sounds->CurrentMusicName(), "data/custom/track.ogg");

  // A one-shot track that has ended is not "already playing": it plays again.
  fake->sounds.at(sounds->CurrentMusicHandle()).stopped = true;
  sounds->PlayMusic("data/custom/track.ogg", true, false);
  EXPECT_EQ(fake->PlayCount(), 3);
  EXPECT_FALSE(fake->Last().stopped);

  // Stopping everything forgets the track, so asking for it again starts it.
  sounds->StopAllSounds();
  EXPECT_EQ(sounds->CurrentMusicName(), "");
  sounds->PlayMusic("data/custom/track.ogg", true, false);
  EXPECT_EQ(fake->PlayCount(), 4);
}

TEST_F(SoundsTest, BattleSpeedLeavesTheInterfaceBankAlone) {
  int loop = PlayAt("data/sounds/flame.ogg", 0, 0, true);
  ASSERT_GT(loop, 0);
  sounds->SetPlaybackSpeed(2.5f);
  for (int b = 0; b < GUI_Sounds::kInterfaceBank; ++b) EXPECT_FLOAT_EQ(sounds->Bank(b).speed, 2.5f);
  EXPECT_FLOAT_EQ(sounds->Bank(GUI_Sounds::kInterfaceBank).speed, 1.0f);
  EXPECT_FLOAT_EQ(fake->sounds.at(loop).speed, 2.5f);
  sounds->PlayGuiSound(0);
  EXPECT_FLOAT_EQ(fake->Last().speed, 1.0f);
  PlayAt("data/sounds/shot.ogg");
  EXPECT_FLOAT_EQ(fake->Last().speed, 2.5f);
  // A stopped tracked sound no longer follows the speed.
  sounds->StopSound(loop);
  EXPECT_EQ(sounds->TrackedCount(), 0);
}

TEST_F(SoundsTest, OutOfRangeSpeedsNeverReachTheMixerAsZeroOrNaN) {
  int loop = PlayAt("data/sounds/flame.ogg", 0, 0, true);
  for (float bad : {0.0f, -1.0f, 10.0f, 1e9f, std::nanf("")}) {
    sounds->SetPlaybackSpeed(bad);
    float s = fake->sounds.at(loop).speed;
    EXPECT_TRUE(s > 0.0f && s < 10.0f) << "after " << bad << " speed " << s;
    EXPECT_TRUE(sounds->Bank(0).speed > 0.0f && sounds->Bank(0).speed < 10.0f);
  }
}

TEST_F(SoundsTest, InterfaceSoundsPlayTheirTableFileAtInterfaceVolume) {
  SetVolumes(0.5f, 1.0f, 1.0f, 0.6f);
  const char* expected[GUI_Sounds::kInterfaceSoundCount] = {
      "data/sounds/gui_button_click.ogg",        "data/sounds/gui_beep1.ogg",
      "data/sounds/gui_mouseover.ogg",           "data/sounds/gui_button_click.ogg",
      "data/sounds/gui_button_click.ogg",        "data/sounds/gui_button_click.ogg",
      "data/sounds/gui_button_click.ogg",        "data/sounds/gui_button_click.ogg",
      "data/sounds/menu_click_augmentation.ogg", "data/sounds/menu_click_component.ogg",
      "data/sounds/menu_screen_whoos.ogg",       "data/sounds/weapon_hight_light.ogg"};
  for (int n = 0; n < GUI_Sounds::kInterfaceSoundCount; ++n) {
    sounds->PlayGuiSound(n);
    ASSERT_EQ(fake->PlayCount(), n + 1);
    EXPECT_EQ(fake->Last().file, expected[n]);
    EXPECT_FALSE(fake->Last().positional);
    EXPECT_FALSE(fake->Last().looped);
    EXPECT_FALSE(fake->Last().paused);
    EXPECT_FLOAT_EQ(fake->Last().volume, 0.3f);
    EXPECT_FLOAT_EQ(fake->Last().minDistance, 180.0f);
  }
  // Numbers outside the table are ignored, not read past its end.
  sounds->PlayGuiSound(-1);
  sounds->PlayGuiSound(GUI_Sounds::kInterfaceSoundCount);
  EXPECT_EQ(fake->PlayCount(), GUI_Sounds::kInterfaceSoundCount);
}

TEST_F(SoundsTest, VolumesComeFromOptionsAndAreKeptInRange) {
  struct Case {
    float given, expected;
  } cases[] = {{0.25f, 0.25f}, {0.0f, 0.0f}, {1.0f, 1.0f}, {7.0f, 1.0f}, {-2.0f, 0.0f}};
  for (const Case& c : cases) {
    SetVolumes(c.given, c.given, c.given, 1.0f);
    EXPECT_FLOAT_EQ(sounds->InterfaceVolume(), c.expected) << c.given;
    EXPECT_FLOAT_EQ(sounds->EffectsVolume(), c.expected) << c.given;
    EXPECT_FLOAT_EQ(sounds->MusicVolume(), c.expected) << c.given;
  }
  // A volume change reaches the music that is already playing.
  SetVolumes(1.0f, 1.0f, 1.0f, 1.0f);
  sounds->PlayMusic("ztk_menus.ogg", false, true);
  SetVolumes(1.0f, 1.0f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(fake->Last().volume, 0.25f);
}

TEST_F(SoundsTest, ZoomLowersMusicAndRaisesTheListener) {
  SetVolumes(1.0f, 1.0f, 0.5f, 1.0f);
  SIM_Options::Get().SetFloat("SOUND_HEIGHT_FALLOFF", 0.25f);
  sounds->ReloadVolumes();
  sounds->PlayMusic("ztk_menus.ogg", false, true);
  struct Case {
    float zoom, musicFactor, listenerZ;
  } cases[] = {
      {0.5f, 1.0f, 750.0f},
      {1.0f, 0.76f, 500.0f},
      {1.6f, 0.4f, 200.0f},
      {3.0f, 0.4f, 0.0f},
  };
  for (const Case& c : cases) {
    world->zoom = c.zoom;
    world->camX = 500.0f;
    world->camY = -250.0f;
    sounds->UpdateMusicForZoom();
    sounds->Update();
    EXPECT_NEAR(fake->Last().volume, 0.5f * c.musicFactor, 1e-5) << c.zoom;
    EXPECT_NEAR(fake->listenerPos.z, c.listenerZ, 1e-3) << c.zoom;
    EXPECT_FLOAT_EQ(fake->listenerPos.x, 20.0f);
    EXPECT_FLOAT_EQ(fake->listenerPos.y, -10.0f);
    EXPECT_FLOAT_EQ(fake->listenerLook.z, 1.0f);
    EXPECT_FLOAT_EQ(fake->listenerUp.y, 1.0f);
  }
}

TEST_F(SoundsTest, TheDefaultViewFollowsTheBattleMap) {
  sounds->SetWorldView(nullptr);
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.cameraX = 1000.0f;
  map.cameraY = 2000.0f;
  map.zoom = 0.25f;
  map.viewLeft = 500.0f;
  map.viewTop = 1500.0f;
  map.viewRight = 1500.0f;
  map.viewBottom = 2500.0f;
  sounds->ReloadVolumes();  // fall-off 0.75 from the default options
  sounds->Update();
  EXPECT_FLOAT_EQ(fake->listenerPos.x, 40.0f);
  EXPECT_FLOAT_EQ(fake->listenerPos.y, 80.0f);
  EXPECT_FLOAT_EQ(fake->listenerPos.z, 1000.0f - 0.75f * 0.25f * 2000.0f);
  EXPECT_GT(PlayAt("data/sounds/near.ogg", 1000.0f, 2000.0f), 0);
  EXPECT_EQ(PlayAt("data/sounds/far.ogg", 100.0f, 2000.0f), -1);
}

TEST_F(SoundsTest, PauseAllAndStopAllReachTheEngine) {
  int loop = PlayAt("data/sounds/flame.ogg", 0, 0, true);
  sounds->SetAllSoundsPaused(true);
  EXPECT_TRUE(fake->allPaused);
  sounds->SetAllSoundsPaused(false);
  EXPECT_FALSE(fake->allPaused);
  sounds->StopAllSounds();
  EXPECT_TRUE(fake->sounds.at(loop).stopped);
  EXPECT_EQ(sounds->TrackedCount(), 0);
  // Stopping a handle twice, or one that never existed, is harmless.
  sounds->StopSound(loop);
  sounds->StopSound(-1);
  sounds->StopSound(987654);
}

// The shipped collections: each is non-empty, every name is a sound file, and taking
// names never repeats one before the whole collection has been heard.
TEST_F(SoundsTest, CollectionsCycleWithoutRepeatsInTheirShuffledOrder) {
  for (int c = 0; c < GUI_Sounds::COLLECTION_COUNT; ++c) {
    const std::vector<std::string> names = sounds->CollectionNames(c);
    ASSERT_FALSE(names.empty()) << "collection " << c;
    std::vector<std::string> firstRound, secondRound;
    for (size_t i = 0; i < names.size(); ++i) firstRound.push_back(sounds->NextCollectionName(c));
    for (size_t i = 0; i < names.size(); ++i) secondRound.push_back(sounds->NextCollectionName(c));
    std::set<std::string> distinct(firstRound.begin(), firstRound.end());
    EXPECT_EQ(distinct.size(), names.size()) << "a name repeated within one round, collection " << c;
    EXPECT_EQ(firstRound, secondRound) << "the order changed after wrapping, collection " << c;
    for (const std::string& n : names) {
      EXPECT_EQ(n.rfind("data/sounds/", 0), 0u) << n;
      EXPECT_TRUE(std::filesystem::exists(n)) << n;
    }
  }
  EXPECT_EQ(sounds->NextCollectionName(-1), "");
  EXPECT_EQ(sounds->NextCollectionName(GUI_Sounds::COLLECTION_COUNT), "");
}

TEST_F(SoundsTest, ShuffleIsUniformEnoughToMoveEveryName) {
  // Over many builds each name of a collection should lead the order at least once.
  std::set<std::string> leaders;
  const size_t count = sounds->CollectionNames(GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION).size();
  for (int i = 0; i < 200; ++i) {
    GUI_Sounds s(std::make_unique<FakeSoundEngine>());
    leaders.insert(s.NextCollectionName(GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION));
  }
  EXPECT_EQ(leaders.size(), count);
}

// A data folder whose collections are broken: one empty, the rest missing.
class BrokenCollectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    oldCwd = buf;
    std::string root = zt_test::UserDir() + "/broken";
    std::filesystem::create_directories(root + "/data/sounds/collections");
    std::ofstream(root + "/data/sounds/collections/deathsounds.txt") << "[sounds]\n\n// nothing\n";
    ASSERT_EQ(chdir(root.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(oldCwd.c_str()), 0); }
  std::string oldCwd;
};

TEST_F(BrokenCollectionsTest, EmptyAndMissingCollectionsGiveNoNameAndPlayNothing) {
  auto engine = std::make_unique<FakeSoundEngine>();
  FakeSoundEngine* fake = engine.get();
  GUI_Sounds sounds(std::move(engine));
  for (int c = 0; c < GUI_Sounds::COLLECTION_COUNT; ++c) {
    EXPECT_TRUE(sounds.CollectionNames(c).empty());
    const std::string name = sounds.NextCollectionName(c);
    EXPECT_EQ(name, "");
    EXPECT_EQ(sounds.PlaySound(name.c_str(), 2, 1.0f, false, 64.0f, 0, 0), -1);
  }
  EXPECT_EQ(fake->PlayCount(), 0);
}

}  // namespace

namespace {

// Whether a sound plays depends on the camera and on what played just before, so the
// sound manager's choices must leave the battle's random stream untouched.
TEST_F(SoundsTest, PlayingSoundsLeavesTheGameRandomStreamAlone) {
  InitRandomWithSeed(99);
  const int cursor0 = RandomCursor(0), cursor1 = RandomCursor(1);
  const int next = (InitRandomWithSeed(99), EngineRand());
  InitRandomWithSeed(99);
  for (int i = 0; i < 20; ++i) {
    sounds->PlayExplosionSound(i < 10 ? 20.0f : 200.0f, 0.0f, 0.0f);
    sounds->NextCollectionName(GUI_Sounds::COLLECTION_RICOCHET);
  }
  GUI_Sounds fresh(std::make_unique<FakeSoundEngine>());
  EXPECT_EQ(RandomCursor(0), cursor0);
  EXPECT_EQ(RandomCursor(1), cursor1);
  EXPECT_EQ(EngineRand(), next);
}

}  // namespace
