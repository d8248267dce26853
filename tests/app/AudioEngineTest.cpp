// The OpenAL sound engine itself: bad files, handle lifetimes, pause and stop, streams,
// no device at all, and real audio reaching OpenAL's wave-file output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Sounds.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "platform/Audio.h"
#include "support/EnvGuard.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

struct LogSink {
  std::vector<std::string> lines;
  platform::AudioLogFn Fn() {
    return [this](const std::string& l) { lines.push_back(l); };
  }
  int Count(const std::string& part) const {
    int n = 0;
    for (const auto& l : lines)
      if (l.find(part) != std::string::npos) ++n;
    return n;
  }
};

// Waits until done() or the deadline: the mixer runs on its own thread, which a loaded
// machine can hold up for seconds.
bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  for (int i = 0; i < ms / 10; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(AudioEngine, BadFilesAreLoggedOnceAndSkipped) {
  const std::string dir = zt_test::UserDir();
  std::ofstream(dir + "/garbage.ogg") << "this is not an ogg stream at all, just text";
  std::ofstream(dir + "/empty.ogg");
  std::string truncated = zt_test::ReadText("data/sounds/gui_beep1.ogg").substr(0, 60);
  std::ofstream(dir + "/truncated.ogg", std::ios::binary) << truncated;

  LogSink log;
  auto engine = platform::CreateSoundEngine(log.Fn());
  ASSERT_TRUE(engine->HasDevice());
  const std::string files[] = {"data/sounds/no_such_sound.ogg", dir + "/garbage.ogg", dir + "/empty.ogg",
                               dir + "/truncated.ogg"};
  for (const std::string& f : files) {
    EXPECT_EQ(engine->Play2D(f, false, false, false), platform::kNoSound) << f;
    EXPECT_EQ(engine->Play3D(f, {1, 2, 0}, true, true, true), platform::kNoSound) << f;
    EXPECT_EQ(log.Count(f), 1) << "a bad file is reported once, not on every play: " << f;
  }
  EXPECT_EQ(log.Count("Could not load sound: data/sounds/no_such_sound.ogg"), 1);
  // The engine still plays good sounds afterwards.
  EXPECT_NE(engine->Play2D("data/sounds/gui_beep1.ogg", false, false, false), platform::kNoSound);
}

// The checksum of an Ogg page (computed with its own checksum field zeroed).
uint32_t OggPageCrc(const std::string& page) {
  uint32_t crc = 0;
  for (unsigned char c : page) {
    crc ^= static_cast<uint32_t>(c) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Rewrites a valid Ogg Vorbis file so its headers claim a sample rate and a length far
// beyond the audio it holds, with checksums that still match: what a damaged or
// hostile file looks like to the decoder.
std::string WithLyingHeader(std::string ogg, uint32_t rate, uint64_t lastGranule) {
  std::vector<std::pair<size_t, size_t>> pages;  // offset, length
  for (size_t at = 0; at + 27 <= ogg.size() && ogg.compare(at, 4, "OggS") == 0;) {
    const size_t segments = static_cast<unsigned char>(ogg[at + 26]);
    size_t length = 27 + segments;
    for (size_t s = 0; s < segments; ++s) length += static_cast<unsigned char>(ogg[at + 27 + s]);
    pages.push_back({at, length});
    at += length;
  }
  if (pages.size() < 2) return std::string();
  auto reseal = [&](const std::pair<size_t, size_t>& p) {
    std::memset(&ogg[p.first + 22], 0, 4);
    const uint32_t crc = OggPageCrc(ogg.substr(p.first, p.second));
    std::memcpy(&ogg[p.first + 22], &crc, 4);
  };
  // The identification packet opens the first page: 1, "vorbis", version, channels, rate.
  const size_t packet = pages[0].first + 27 + static_cast<unsigned char>(ogg[pages[0].first + 26]);
  if (ogg.compare(packet, 7, std::string("\x01vorbis", 7)) != 0) return std::string();
  std::memcpy(&ogg[packet + 12], &rate, 4);
  reseal(pages[0]);
  std::memcpy(&ogg[pages.back().first + 6], &lastGranule, 8);
  reseal(pages.back());
  return ogg;
}

TEST(AudioEngine, AHeaderClaimingAHugeLengthDoesNotSizeTheBuffer) {
  // About eight seconds at the claimed rate, so it is decoded whole rather than streamed,
  // yet tens of gigabytes of samples by its length (the last page's position; the file
  // needs more than one page of audio for that to count): sizing the buffer from the header
  // would exhaust memory before a single sample is read.
  const std::string file = zt_test::UserDir() + "/lying_header.ogg";
  const std::string bad =
      WithLyingHeader(zt_test::ReadText("data/sounds/lb_flamethrower.ogg"), 0xFFFFFFF0u, uint64_t{1} << 35);
  ASSERT_FALSE(bad.empty()) << "could not rewrite the sample file";
  std::ofstream(file, std::ios::binary) << bad;

  LogSink log;
  auto engine = platform::CreateSoundEngine(log.Fn());
  ASSERT_TRUE(engine->HasDevice());
  const platform::SoundHandle h = engine->Play2D(file, false, true, false);
  if (h != platform::kNoSound) engine->Stop(h);
  // Either way the engine goes on playing good sounds.
  EXPECT_NE(engine->Play2D("data/sounds/gui_beep1.ogg", false, false, false), platform::kNoSound);
}

TEST(AudioEngine, MissingInterfaceSoundIsLoggedToTheDebugLogAndTheGameGoesOn) {
  OpenDebugFile(zt_test::UserRoot());
  GUI_Sounds sounds;
  EXPECT_EQ(sounds.PlaySoundFile("data/sounds/not_there.ogg", false, 1.0f, 4), -1);
  EXPECT_EQ(sounds.PlaySound("data/sounds/not_there_either.ogg", 2, 1.0f, false, 64, 0, 0), -1);
  sounds.PlayGuiSound(0);
  CloseDebugFiles();
  const std::string log = zt_test::ReadText(zt_test::DebugLogPath());
  EXPECT_NE(log.find("Initialising Sound Engine"), std::string::npos);
  EXPECT_NE(log.find("Could not load sound: data/sounds/not_there.ogg"), std::string::npos) << log;
  EXPECT_NE(log.find("Could not load sound: data/sounds/not_there_either.ogg"), std::string::npos);
  EXPECT_EQ(log.find("gui_button_click"), std::string::npos) << "the shipped click must load";
}

TEST(AudioEngine, HandlesStayValidWhilePlayingAndHarmlessAfter) {
  LogSink log;
  auto engine = platform::CreateSoundEngine(log.Fn());
  const platform::SoundHandle h = engine->Play2D("data/sounds/gui_button_click.ogg", false, true, false);
  ASSERT_NE(h, platform::kNoSound);
  // Started paused: it waits for the caller.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(engine->IsFinished(h));
  engine->SetVolume(h, 0.5f);
  engine->SetMinDistance(h, 0.0f);
  engine->SetPlaybackSpeed(h, 0.0f);  // out of range for the mixer: held, not refused
  engine->SetPlaybackSpeed(h, 1.0f);
  engine->SetIsPaused(h, false);
  engine->Drop(h);
  EXPECT_TRUE(WaitFor([&] { return engine->IsFinished(h); }));
  // A finished handle: every call is a no-op.
  engine->SetVolume(h, 1.0f);
  engine->SetPosition(h, {1, 1, 1});
  engine->SetIsPaused(h, false);
  engine->Stop(h);
  EXPECT_TRUE(engine->IsFinished(h));
  // New handles never reuse a finished one.
  const platform::SoundHandle h2 = engine->Play2D("data/sounds/gui_button_click.ogg", false, false, false);
  EXPECT_NE(h2, h);
  EXPECT_TRUE(log.lines.empty()) << log.lines.front();
}

TEST(AudioEngine, PauseAllKeepsLoopsAliveAndStopAllEndsThem) {
  auto engine = platform::CreateSoundEngine(nullptr);
  const auto loop = engine->Play3D("data/sounds/lb_flamethrower.ogg", {4, 4, 0}, true, false, true);
  const auto shot = engine->Play3D("data/sounds/gui_beep1.ogg", {0, 0, 0}, false, false, false);
  ASSERT_NE(loop, platform::kNoSound);
  ASSERT_NE(shot, platform::kNoSound);
  engine->SetAllSoundsPaused(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_FALSE(engine->IsFinished(loop));
  EXPECT_FALSE(engine->IsFinished(shot)) << "a paused one-shot must wait, not end";
  engine->SetAllSoundsPaused(false);
  EXPECT_TRUE(WaitFor([&] { return engine->IsFinished(shot); }));
  EXPECT_FALSE(engine->IsFinished(loop));
  engine->StopAllSounds();
  EXPECT_TRUE(engine->IsFinished(loop));
  EXPECT_EQ(engine->ActiveSoundCount(), 0);
}

TEST(AudioEngine, LongMusicStreamsAndLoops) {
  auto engine = platform::CreateSoundEngine(nullptr);
  const auto music = engine->Play2D("data/sounds/music/ztk_menus.ogg", true, true, true);
  ASSERT_NE(music, platform::kNoSound);
  engine->SetVolume(music, 0.3f);
  engine->SetIsPaused(music, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_FALSE(engine->IsFinished(music));
  EXPECT_EQ(engine->ActiveSoundCount(), 1);
  engine->Stop(music);
  EXPECT_TRUE(engine->IsFinished(music));
}

// Runs the body in a fresh copy of this test program, where OpenAL has not been
// started yet, so it reads the driver settings the body puts in the environment.
#define IN_FRESH_PROCESS(body)                      \
  do {                                              \
    GTEST_FLAG_SET(death_test_style, "threadsafe"); \
    EXPECT_EXIT(                                    \
        {                                           \
          body;                                     \
          std::fflush(nullptr);                     \
          _exit(0);                                 \
        },                                          \
        ::testing::ExitedWithCode(0), "");          \
  } while (0)

using zt_test::EnvGuard;

TEST(AudioEngineOutput, NoDeviceMeansSilenceAndALogLine) {
  EnvGuard drivers("ALSOFT_DRIVERS");
  setenv("ALSOFT_DRIVERS", "zentrak_no_such_driver", 1);
  IN_FRESH_PROCESS({
    std::vector<std::string> lines;
    {
      auto engine = platform::CreateSoundEngine([&](const std::string& l) { lines.push_back(l); });
      if (engine->HasDevice()) _exit(3);
      if (engine->Play2D("data/sounds/gui_beep1.ogg", false, false, false) != platform::kNoSound) _exit(4);
      engine->SetAllSoundsPaused(true);
      engine->StopAllSounds();
    }
    if (lines.empty() || lines[0].find("No audio device") == std::string::npos) _exit(5);
    // The manager runs on without sound.
    GUI_Sounds sounds;
    sounds.PlayGuiSound(0);
    sounds.PlayMusic("ztk_main_theme.ogg", false, true);
    sounds.Update();
    sounds.StopAllSounds();
  });
}

struct WaveInfo {
  int format = 0, channels = 0, bits = 0;
  double peak = 0.0;
  double energy[2] = {0.0, 0.0};  // left and right
  size_t frames = 0;
};

// Reads a RIFF wave file written by OpenAL's wave writer (16-bit or float samples).
bool ReadWave(const std::string& path, WaveInfo* info) {
  const std::string d = zt_test::ReadText(path);
  if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "WAVE") != 0) return false;
  size_t p = 12;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, d.data() + at, 4);
    return v;
  };
  auto u16 = [&](size_t at) {
    uint16_t v;
    std::memcpy(&v, d.data() + at, 2);
    return v;
  };
  while (p + 8 <= d.size()) {
    const std::string id = d.substr(p, 4);
    size_t len = u32(p + 4);
    const size_t body = p + 8;
    if (id == "fmt ") {
      info->format = u16(body);
      info->channels = u16(body + 2);
      info->bits = u16(body + 14);
      if (info->format == 0xFFFE) info->format = u16(body + 24);  // extensible: sub-format
    } else if (id == "data") {
      // The writer may be stopped before it fixes up the size: read what is there.
      if (len == 0 || body + len > d.size()) len = d.size() - body;
      const int bytes = info->bits / 8;
      if (bytes <= 0 || info->channels <= 0) return false;
      info->frames = len / static_cast<size_t>(bytes * info->channels);
      for (size_t i = body; i + static_cast<size_t>(bytes) <= body + len; i += static_cast<size_t>(bytes)) {
        double v = 0;
        if (info->format == 3 && bytes == 4) {
          float f;
          std::memcpy(&f, d.data() + i, 4);
          v = f;
        } else if (bytes == 2) {
          int16_t s;
          std::memcpy(&s, d.data() + i, 2);
          v = s / 32768.0;
        }
        info->peak = std::max(info->peak, std::fabs(v));
        const size_t channel =
            ((i - body) / static_cast<size_t>(bytes)) % static_cast<size_t>(info->channels);
        if (channel < 2) info->energy[channel] += v * v;
      }
      return true;
    }
    p = body + len + (len & 1);
  }
  return false;
}

// Starts the sound manager on OpenAL's wave-file output in a fresh process, lets
// "play" use it, and reads back what reached the output.
WaveInfo RecordWaveOutput(const std::string& leaf, const std::function<void(GUI_Sounds&)>& play) {
  EnvGuard drivers("ALSOFT_DRIVERS");
  EnvGuard conf("ALSOFT_CONF");
  EnvGuard out("ZENTRAK_TEST_WAVE_FILE");
  // The child has its own user folder, so it takes the file name from the parent.
  const char* given = std::getenv("ZENTRAK_TEST_WAVE_FILE");
  const std::string wav = given ? given : zt_test::UserDir() + "/" + leaf;
  const std::string cfg = wav + ".conf";
  if (!given) {
    std::ofstream(cfg) << "[general]\nsample-type = int16\nchannels = stereo\n[wave]\nfile = " << wav << "\n";
    setenv("ZENTRAK_TEST_WAVE_FILE", wav.c_str(), 1);
  }
  setenv("ALSOFT_DRIVERS", "wave", 1);
  setenv("ALSOFT_CONF", cfg.c_str(), 1);

  IN_FRESH_PROCESS({
    GUI_Sounds sounds;
    if (!sounds.Engine()->HasDevice()) _exit(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    play(sounds);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  });

  WaveInfo info;
  EXPECT_TRUE(ReadWave(wav, &info)) << "no wave file at " << wav;
  return info;
}

TEST(AudioEngineOutput, AnInterfaceSoundReachesTheWaveOutput) {
  const WaveInfo info = RecordWaveOutput("click.wav", [](GUI_Sounds& s) { s.PlayGuiSound(0); });
  EXPECT_GT(info.frames, 1000u);
  EXPECT_GT(info.peak, 0.02) << "the click was not heard";
  EXPECT_LT(info.peak, 0.99) << "the click clipped";
}

TEST(AudioEngineOutput, NothingPlayedWritesSilence) {
  // Guards the check above: the output is not noisy by itself.
  const WaveInfo info = RecordWaveOutput("quiet.wav", [](GUI_Sounds&) {});
  EXPECT_GT(info.frames, 1000u);
  EXPECT_LT(info.peak, 0.001);
}

TEST(AudioEngineOutput, PositionalSoundsPanTowardsTheirSide) {
  // World x grows to the right of the screen, so a sound right of the camera must be
  // louder in the right channel (the engines' handedness differs).
  struct Case {
    const char* leaf;
    float x;
    int louder;  // channel index
  } cases[] = {{"right.wav", 900.0f, 1}, {"left.wav", -900.0f, 0}};
  for (const Case& c : cases) {
    const float x = c.x;
    const WaveInfo info = RecordWaveOutput(c.leaf, [x](GUI_Sounds& s) {
      s.Update();  // listener at the camera, looking into the screen
      s.PlaySound("data/sounds/gui_beep1.ogg", 2, 1.0f, true, 400.0f, x, 0.0f);
    });
    const int quiet = 1 - c.louder;
    EXPECT_GT(info.energy[c.louder], 2.0 * info.energy[quiet]) << c.leaf;
  }
}

}  // namespace
