// Every sound the game names exists in the assembled data folder with the exact case,
// decodes, is audible, does not clip, and music is long enough to loop pleasantly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "platform/Audio.h"
#include "support/FakeSoundEngine.h"

namespace {

struct Expect {
  std::string file;
  double minSeconds, maxSeconds;
};

std::vector<Expect> NamedSounds() {
  std::vector<Expect> list;
  // The interface table, as the manager plays it.
  {
    auto engine = std::make_unique<FakeSoundEngine>();
    FakeSoundEngine* fake = engine.get();
    GUI_Sounds sounds(std::move(engine));
    for (int n = 0; n < GUI_Sounds::kInterfaceSoundCount; ++n) sounds.PlayGuiSound(n);
    std::set<std::string> seen;
    for (int h : fake->order)
      if (seen.insert(fake->sounds.at(h).file).second) list.push_back({fake->sounds.at(h).file, 0.02, 2.0});
    // Every collection entry.
    for (int c = 0; c < GUI_Sounds::COLLECTION_COUNT; ++c)
      for (const std::string& n : sounds.CollectionNames(c))
        if (seen.insert(n).second) list.push_back({n, 0.1, 5.0});
  }
  // Every explosion the size rule can pick.
  const struct {
    float size;
    int count;
  } families[] = {{1, 2}, {20, 6}, {50, 7}};
  for (const auto& f : families)
    for (int n = 1; n <= f.count; ++n)
      list.push_back({GUI_Sounds::ExplosionFileName(f.size, n, false), 0.2, 5.0});
  list.push_back({GUI_Sounds::ExplosionFileName(200, 1, false), 0.5, 6.0});
  list.push_back({GUI_Sounds::ExplosionFileName(200, 1, true), 0.5, 6.0});
  // Sounds other screens and the battle play by name.
  for (const char* f : {"data/sounds/morse.ogg", "data/sounds/start.ogg", "data/sounds/medal_award.ogg",
                        "data/sounds/dogtag_collect.ogg", "data/sounds/weapon_placement.ogg",
                        "data/sounds/lb_shield_impact.ogg", "data/sounds/ztk_nightvision.ogg",
                        "data/sounds/lb_shield_fail.ogg", "data/sounds/lb_warpout.ogg"})
    list.push_back({f, 0.1, 4.0});
  for (const char* f : {"data/sounds/lb_flamethrower.ogg", "data/sounds/lb_squad_running.ogg",
                        "data/sounds/ztk_airraid_sirens.ogg", "data/sounds/lb_engine_light.ogg",
                        "data/sounds/lb_engine_medium.ogg", "data/sounds/lb_engine_heavy.ogg",
                        "data/sounds/lb_engine_truck.ogg"})
    list.push_back({f, 1.0, 10.0});
  // The closing phrases after a battle.
  for (const char* f : {"data/sounds/music/ztk_victory.ogg", "data/sounds/music/ztk_defeat.ogg"})
    list.push_back({f, 3.0, 15.0});
  // Music loops of at least 30 seconds.
  for (const char* f : {"data/sounds/music/ztk_main_theme.ogg", "data/sounds/music/ztk_menus.ogg",
                        "data/sounds/music/battles/ztk_battle1.ogg"})
    list.push_back({f, 30.0, 120.0});
  return list;
}

TEST(SoundContent, EveryNamedSoundDecodesAndIsAudibleWithoutClipping) {
  const std::vector<Expect> list = NamedSounds();
  ASSERT_GT(list.size(), 50u);
  for (const Expect& e : list) {
    SCOPED_TRACE(e.file);
    ASSERT_TRUE(std::filesystem::is_regular_file(e.file));
    std::vector<short> pcm;
    int channels = 0, rate = 0;
    std::string error;
    ASSERT_TRUE(platform::DecodeOggFile(e.file, &pcm, &channels, &rate, [&](const std::string& l) {
      error = l;
    })) << error;
    ASSERT_GT(channels, 0);
    ASSERT_GT(rate, 0);
    const double seconds = static_cast<double>(pcm.size()) / channels / rate;
    EXPECT_GE(seconds, e.minSeconds);
    EXPECT_LE(seconds, e.maxSeconds);
    int peak = 0;
    for (short s : pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 32768 / 20) << "too quiet to hear";
    EXPECT_LT(peak, 32767 * 0.97) << "clips";
  }
}

TEST(SoundContent, PositionalSoundsAreMonoSoTheyCanBePlaced) {
  // OpenAL places only mono sounds in space; a stereo battle sound would not pan.
  for (const Expect& e : NamedSounds()) {
    if (e.file.find("/music/") != std::string::npos) continue;
    std::vector<short> pcm;
    int channels = 0, rate = 0;
    ASSERT_TRUE(platform::DecodeOggFile(e.file, &pcm, &channels, &rate, nullptr)) << e.file;
    EXPECT_EQ(channels, 1) << e.file;
  }
}

// Catalogues, scenarios and configs name sounds too: each one they name must exist.
TEST(SoundContent, EverySoundNamedByTheDataFilesExists) {
  const std::string key = "data/sounds/";
  int checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator("data")) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".txt" && ext != ".ini" && ext != ".csv" && ext != ".cfg") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      for (size_t p = line.find(key); p != std::string::npos; p = line.find(key, p + 1)) {
        size_t end = line.find(".ogg", p);
        if (end == std::string::npos) continue;
        const std::string name = line.substr(p, end + 4 - p);
        if (name.find_first_of(",\"=") != std::string::npos) continue;
        EXPECT_TRUE(std::filesystem::is_regular_file(name)) << name << " named in " << entry.path();
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 0);
}

// A scenario's music is a battle track played from the battles music folder.
TEST(SoundContent, EveryScenarioMusicTrackExists) {
  ASSERT_TRUE(std::filesystem::is_directory("data/scenarios")) << "the data folder holds no scenarios";
  for (const auto& entry : std::filesystem::recursive_directory_iterator("data/scenarios")) {
    if (!entry.is_regular_file() || entry.path().extension() != ".txt") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("music", 0) != 0) continue;
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string track = line.substr(eq + 1);
      track.erase(0, track.find_first_not_of(" \t"));
      track.erase(track.find_last_not_of(" \t\r") + 1);
      if (track.empty()) continue;
      EXPECT_TRUE(std::filesystem::is_regular_file("data/sounds/music/battles/" + track))
          << track << " named in " << entry.path();
    }
  }
}

}  // namespace
