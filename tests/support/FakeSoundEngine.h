#pragma once
// A sound engine that records what the sound manager asks of it, so the manager's
// rules (volumes, speeds, repeats, music) can be checked without any audio device.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Audio.h"

struct FakeSound {
  std::string file;
  bool positional = false;
  platform::SoundVec3 pos;
  bool looped = false;
  bool paused = false;
  bool stopped = false;
  bool dropped = false;
  float volume = -1.0f;
  float minDistance = -1.0f;
  float speed = -1.0f;
};

class FakeSoundEngine : public platform::SoundEngine {
 public:
  // Shared with the test, which keeps a pointer after handing the engine over.
  std::map<int, FakeSound> sounds;
  std::vector<int> order;  // handles in play order
  std::set<std::string> missingFiles;
  platform::SoundVec3 listenerPos, listenerLook, listenerUp;
  float rolloff = -1.0f;
  bool allPaused = false;
  int stopAllCalls = 0;

  bool HasDevice() const override { return true; }
  platform::SoundHandle Play2D(const std::string& file, bool looped, bool startPaused, bool) override {
    return Add(file, false, {}, looped, startPaused);
  }
  platform::SoundHandle Play3D(const std::string& file, platform::SoundVec3 pos, bool looped,
                               bool startPaused, bool) override {
    return Add(file, true, pos, looped, startPaused);
  }
  void StopAllSounds() override {
    ++stopAllCalls;
    for (auto& kv : sounds) kv.second.stopped = true;
  }
  void SetAllSoundsPaused(bool paused) override { allPaused = paused; }
  void SetListenerPosition(platform::SoundVec3 pos, platform::SoundVec3 look, platform::SoundVec3,
                           platform::SoundVec3 up) override {
    listenerPos = pos;
    listenerLook = look;
    listenerUp = up;
  }
  void SetRolloffFactor(float r) override { rolloff = r; }
  void SetIsPaused(platform::SoundHandle h, bool p) override {
    if (auto* s = Find(h)) s->paused = p;
  }
  void SetVolume(platform::SoundHandle h, float v) override {
    if (auto* s = Find(h)) s->volume = v;
  }
  void SetMinDistance(platform::SoundHandle h, float d) override {
    if (auto* s = Find(h)) s->minDistance = d;
  }
  void SetPlaybackSpeed(platform::SoundHandle h, float v) override {
    if (auto* s = Find(h)) s->speed = v;
  }
  void SetPosition(platform::SoundHandle h, platform::SoundVec3 p) override {
    if (auto* s = Find(h)) s->pos = p;
  }
  void Stop(platform::SoundHandle h) override {
    if (auto* s = Find(h)) s->stopped = true;
  }
  bool IsFinished(platform::SoundHandle h) const override {
    auto it = sounds.find(h);
    return it == sounds.end() || it->second.stopped;
  }
  void Drop(platform::SoundHandle h) override {
    if (auto* s = Find(h)) s->dropped = true;
  }
  int ActiveSoundCount() const override {
    int n = 0;
    for (const auto& kv : sounds)
      if (!kv.second.stopped) ++n;
    return n;
  }

  const FakeSound& Last() const { return sounds.at(order.back()); }
  int PlayCount() const { return static_cast<int>(order.size()); }

 private:
  FakeSound* Find(platform::SoundHandle h) {
    auto it = sounds.find(h);
    return it == sounds.end() ? nullptr : &it->second;
  }
  platform::SoundHandle Add(const std::string& file, bool positional, platform::SoundVec3 pos, bool looped,
                            bool paused) {
    if (missingFiles.count(file)) return platform::kNoSound;
    int h = next_++;
    FakeSound s;
    s.file = file;
    s.positional = positional;
    s.pos = pos;
    s.looped = looped;
    s.paused = paused;
    sounds[h] = s;
    order.push_back(h);
    return h;
  }
  int next_ = 1;
};
