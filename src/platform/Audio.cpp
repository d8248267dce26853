// The sound engine over OpenAL Soft. Short files are decoded once into shared buffers;
// long files (music) are streamed by a service thread that also reclaims finished
// voices, so streams keep playing while the game thread is busy (loading screens).
#include "platform/Audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include "platform/Files.h"

namespace platform {
namespace {

// Files longer than this stream from disk instead of being decoded whole.
constexpr double kStreamAboveSeconds = 10.0;
// Longest sound decoded whole; anything longer is treated as a stream.
constexpr long kMaxStaticFrames = 48000L * 60;
constexpr int kStreamBuffers = 6;
constexpr int kStreamChunkFrames = 8192;
// Voices beyond this are refused (OpenAL Soft offers 256 sources per context).
constexpr int kMaxVoices = 200;

// Largest sound file opened; music streams are a few megabytes.
constexpr int64_t kMaxSoundFileBytes = int64_t(256) << 20;

// Opens a regular sound file only: a pipe or device at the name is refused at once.
bool OpenOgg(const std::string& file, OggVorbis_File* vf, std::string* why) {
  const int fd = OpenRegularFileForReading(file, kMaxSoundFileBytes, nullptr, why);
  if (fd < 0) return false;
  FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    ::close(fd);
    if (why) *why = "cannot open";
    return false;
  }
  // ov_open_callbacks with OV_CALLBACKS_DEFAULT closes the FILE on ov_clear.
  if (ov_open_callbacks(f, vf, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
    std::fclose(f);
    if (why) *why = "not an Ogg Vorbis file";
    return false;
  }
  return true;
}

// Reads up to maxFrames frames of 16-bit PCM; returns frames read, 0 at the end,
// -1 on a damaged stream.
long ReadFrames(OggVorbis_File* vf, int channels, short* out, long maxFrames) {
  long total = 0;
  const long maxBytes = maxFrames * channels * 2;
  char* dst = reinterpret_cast<char*>(out);
  int bitstream = 0;
  int holes = 0;
  while (total * channels * 2 < maxBytes) {
    long got = ov_read(vf, dst + total * channels * 2, static_cast<int>(maxBytes - total * channels * 2), 0,
                       2, 1, &bitstream);
    if (got == 0) break;
    if (got == OV_HOLE) {
      // A gap in the data: skip it, but give up on a file made only of gaps.
      if (++holes > 64) return total > 0 ? total : -1;
      continue;
    }
    if (got < 0) return total > 0 ? total : -1;
    // A chained file whose later part changes layout would be read as noise: stop there.
    vorbis_info* info = ov_info(vf, bitstream);
    if (!info || info->channels != channels) return total > 0 ? total : -1;
    total += got / (channels * 2);
  }
  return total;
}

ALenum FormatFor(int channels) { return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16; }

struct StaticBuffer {
  ALuint buffer = 0;
  ~StaticBuffer() {
    if (buffer) alDeleteBuffers(1, &buffer);
  }
};

struct Stream {
  OggVorbis_File vf{};
  bool open = false;
  int channels = 0;
  int rate = 0;
  bool looped = false;
  bool ended = false;  // no more data to queue
  ALuint buffers[kStreamBuffers] = {};
  ~Stream() {
    if (open) ov_clear(&vf);
    alDeleteBuffers(kStreamBuffers, buffers);
  }
};

struct Voice {
  ALuint source = 0;
  std::shared_ptr<StaticBuffer> buffer;
  std::unique_ptr<Stream> stream;
  bool userPaused = false;  // started paused or paused by handle
  bool pausedByAll = false;
  bool started = false;  // has been sent to play at least once
};

class OpenALEngine : public SoundEngine {
 public:
  OpenALEngine(AudioLogFn log) : m_log(std::move(log)) {
    m_device = alcOpenDevice(nullptr);
    if (!m_device) {
      Log("No audio device: sound is off");
      return;
    }
    m_context = alcCreateContext(m_device, nullptr);
    if (!m_context || !alcMakeContextCurrent(m_context)) {
      Log("Could not create an audio context: sound is off");
      if (m_context) alcDestroyContext(m_context);
      alcCloseDevice(m_device);
      m_context = nullptr;
      m_device = nullptr;
      return;
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    m_thread = std::thread([this] { ServiceLoop(); });
  }

  ~OpenALEngine() override {
    if (m_thread.joinable()) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
      }
      m_wake.notify_all();
      m_thread.join();
    }
    if (m_context) {
      std::lock_guard<std::mutex> lock(m_mutex);
      for (auto& kv : m_voices) ReleaseVoice(kv.second);
      m_voices.clear();
      m_buffers.clear();
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(m_context);
    }
    if (m_device) alcCloseDevice(m_device);
  }

  bool HasDevice() const override { return m_context != nullptr; }

  SoundHandle Play2D(const std::string& file, bool looped, bool startPaused, bool) override {
    return Start(file, nullptr, looped, startPaused);
  }
  SoundHandle Play3D(const std::string& file, SoundVec3 pos, bool looped, bool startPaused, bool) override {
    return Start(file, &pos, looped, startPaused);
  }

  void StopAllSounds() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& kv : m_voices) ReleaseVoice(kv.second);
    m_voices.clear();
  }

  void SetAllSoundsPaused(bool paused) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& kv : m_voices) {
      Voice& v = kv.second;
      if (paused) {
        if (!v.pausedByAll && !v.userPaused) {
          alSourcePause(v.source);
          v.pausedByAll = true;
        }
      } else if (v.pausedByAll) {
        v.pausedByAll = false;
        if (!v.userPaused) alSourcePlay(v.source);
      }
    }
  }

  void SetListenerPosition(SoundVec3 pos, SoundVec3 look, SoundVec3 velocity, SoundVec3 up) override {
    if (!m_context) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Our callers use a left-handed frame; OpenAL is right-handed: flip z.
    alListener3f(AL_POSITION, pos.x, pos.y, -pos.z);
    alListener3f(AL_VELOCITY, velocity.x, velocity.y, -velocity.z);
    const ALfloat orientation[6] = {look.x, look.y, -look.z, up.x, up.y, -up.z};
    alListenerfv(AL_ORIENTATION, orientation);
  }

  void SetRolloffFactor(float rolloff) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rolloff = std::max(0.0f, rolloff);
    for (auto& kv : m_voices) {
      ALint relative = AL_FALSE;
      alGetSourcei(kv.second.source, AL_SOURCE_RELATIVE, &relative);
      if (!relative) alSourcef(kv.second.source, AL_ROLLOFF_FACTOR, m_rolloff);
    }
  }

  void SetIsPaused(SoundHandle h, bool paused) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    Voice* v = Find(h);
    if (!v) return;
    v->userPaused = paused;
    if (paused) {
      alSourcePause(v->source);
    } else if (!v->pausedByAll) {
      alSourcePlay(v->source);
      v->started = true;
    }
  }

  void SetVolume(SoundHandle h, float volume) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Voice* v = Find(h)) alSourcef(v->source, AL_GAIN, std::max(0.0f, volume));
  }

  void SetMinDistance(SoundHandle h, float distance) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    // A zero reference distance would silence the sound entirely.
    if (Voice* v = Find(h)) alSourcef(v->source, AL_REFERENCE_DISTANCE, std::max(0.001f, distance));
  }

  void SetPlaybackSpeed(SoundHandle h, float speed) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    // OpenAL refuses a pitch of 0; keep it within what the mixer handles well.
    if (Voice* v = Find(h)) alSourcef(v->source, AL_PITCH, std::clamp(speed, 0.05f, 10.0f));
  }

  void SetPosition(SoundHandle h, SoundVec3 pos) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Voice* v = Find(h)) alSource3f(v->source, AL_POSITION, pos.x, pos.y, -pos.z);
  }

  void Stop(SoundHandle h) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_voices.find(h);
    if (it == m_voices.end()) return;
    ReleaseVoice(it->second);
    m_voices.erase(it);
  }

  bool IsFinished(SoundHandle h) const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_voices.find(h);
    if (it == m_voices.end()) return true;
    return VoiceFinished(it->second);
  }

  void Drop(SoundHandle) override {
    // Handles are plain numbers: the voice is reclaimed when it ends, whoever holds it.
  }

  int ActiveSoundCount() const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const auto& kv : m_voices)
      if (!VoiceFinished(kv.second)) ++n;
    return n;
  }

 private:
  void Log(const std::string& line) {
    if (m_log) m_log(line);
  }

  SoundHandle NextHandle() {
    if (m_nextHandle >= INT_MAX - 1) m_nextHandle = 1;
    while (m_voices.count(m_nextHandle)) ++m_nextHandle;
    return m_nextHandle++;
  }

  Voice* Find(SoundHandle h) {
    auto it = m_voices.find(h);
    return it == m_voices.end() ? nullptr : &it->second;
  }

  bool VoiceFinished(const Voice& v) const {
    ALint state = AL_STOPPED;
    alGetSourcei(v.source, AL_SOURCE_STATE, &state);
    if (state != AL_STOPPED) return false;
    // A stream that ran dry but still has data is restarted by the service thread.
    return !(v.stream && !v.stream->ended);
  }

  void ReleaseVoice(Voice& v) {
    if (!v.source) return;
    alSourceStop(v.source);
    alSourcei(v.source, AL_BUFFER, 0);
    alDeleteSources(1, &v.source);
    v.source = 0;
    v.stream.reset();
    v.buffer.reset();
  }

  // Loads (once) the whole file into a buffer; null after logging when it cannot.
  std::shared_ptr<StaticBuffer> LoadStatic(const std::string& file, OggVorbis_File* vf) {
    vorbis_info* info = ov_info(vf, -1);
    std::vector<short> pcm;
    const long frames = static_cast<long>(ov_pcm_total(vf, -1));
    if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
      Log("Unsupported sound format: " + file);
      return nullptr;
    }
    const int channels = info->channels;
    const int rate = static_cast<int>(info->rate);
    // The length comes from the file's header: a damaged one must not size the buffer
    // beyond what is ever decoded whole.
    if (frames > 0) pcm.reserve(static_cast<size_t>(std::min(frames, kMaxStaticFrames)) * channels);
    std::vector<short> chunk(static_cast<size_t>(kStreamChunkFrames) * channels);
    for (;;) {
      long got = ReadFrames(vf, channels, chunk.data(), kStreamChunkFrames);
      if (got < 0) {
        Log("Damaged sound file: " + file);
        return nullptr;
      }
      if (got == 0) break;
      pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got * channels);
      if (static_cast<long>(pcm.size() / channels) > kMaxStaticFrames) break;
    }
    if (pcm.empty()) {
      Log("Empty sound file: " + file);
      return nullptr;
    }
    auto buf = std::make_shared<StaticBuffer>();
    alGetError();
    alGenBuffers(1, &buf->buffer);
    alBufferData(buf->buffer, FormatFor(channels), pcm.data(),
                 static_cast<ALsizei>(pcm.size() * sizeof(short)), rate);
    if (alGetError() != AL_NO_ERROR) {
      Log("Could not create a sound buffer for: " + file);
      return nullptr;
    }
    return buf;
  }

  // Queues as many stream buffers as are free; false when the stream failed.
  bool FillStream(Voice& v, bool initial) {
    Stream& s = *v.stream;
    std::vector<short> chunk(static_cast<size_t>(kStreamChunkFrames) * s.channels);
    std::vector<ALuint> free;
    if (initial) {
      free.assign(s.buffers, s.buffers + kStreamBuffers);
    } else {
      ALint processed = 0;
      alGetSourcei(v.source, AL_BUFFERS_PROCESSED, &processed);
      for (ALint i = 0; i < processed; ++i) {
        ALuint b = 0;
        alSourceUnqueueBuffers(v.source, 1, &b);
        free.push_back(b);
      }
    }
    for (ALuint b : free) {
      if (s.ended) break;
      long got = ReadFrames(&s.vf, s.channels, chunk.data(), kStreamChunkFrames);
      if (got == 0 && s.looped) {
        // Back to the start; a file that yields nothing even then is over.
        if (ov_pcm_seek(&s.vf, 0) == 0) got = ReadFrames(&s.vf, s.channels, chunk.data(), kStreamChunkFrames);
      }
      if (got <= 0) {
        s.ended = true;
        if (got < 0) return false;
        break;
      }
      alBufferData(b, FormatFor(s.channels), chunk.data(),
                   static_cast<ALsizei>(got * s.channels * sizeof(short)), s.rate);
      alSourceQueueBuffers(v.source, 1, &b);
    }
    return true;
  }

  SoundHandle Start(const std::string& file, const SoundVec3* pos, bool looped, bool startPaused) {
    if (!m_context) return kNoSound;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failed.count(file)) return kNoSound;
    if (static_cast<int>(m_voices.size()) >= kMaxVoices) {
      if (!m_warnedVoices) Log("Too many sounds at once; further sounds are skipped");
      m_warnedVoices = true;
      return kNoSound;
    }

    Voice v;
    auto cached = m_buffers.find(file);
    if (cached != m_buffers.end()) {
      v.buffer = cached->second;
    } else {
      auto stream = std::make_unique<Stream>();
      std::string why;
      if (!OpenOgg(file, &stream->vf, &why)) {
        Log("Could not load sound: " + file + " (" + why + ")");
        m_failed.insert(file);
        return kNoSound;
      }
      stream->open = true;
      const double seconds = ov_time_total(&stream->vf, -1);
      if (seconds > kStreamAboveSeconds) {
        vorbis_info* info = ov_info(&stream->vf, -1);
        if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
          Log("Unsupported sound format: " + file);
          m_failed.insert(file);
          return kNoSound;
        }
        stream->channels = info->channels;
        stream->rate = static_cast<int>(info->rate);
        stream->looped = looped;
        alGenBuffers(kStreamBuffers, stream->buffers);
        v.stream = std::move(stream);
      } else {
        v.buffer = LoadStatic(file, &stream->vf);
        if (!v.buffer) {
          m_failed.insert(file);
          return kNoSound;
        }
        m_buffers[file] = v.buffer;
      }
    }

    alGetError();
    alGenSources(1, &v.source);
    if (alGetError() != AL_NO_ERROR) {
      v.source = 0;
      if (!m_warnedVoices) Log("No free sound voice; further sounds are skipped");
      m_warnedVoices = true;
      return kNoSound;
    }
    if (pos) {
      alSourcei(v.source, AL_SOURCE_RELATIVE, AL_FALSE);
      alSource3f(v.source, AL_POSITION, pos->x, pos->y, -pos->z);
      alSourcef(v.source, AL_ROLLOFF_FACTOR, m_rolloff);
    } else {
      alSourcei(v.source, AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(v.source, AL_POSITION, 0.0f, 0.0f, 0.0f);
      alSourcef(v.source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    if (v.stream) {
      alSourcei(v.source, AL_LOOPING, AL_FALSE);
      if (!FillStream(v, true)) {
        Log("Damaged sound file: " + file);
        m_failed.insert(file);
        ReleaseVoice(v);
        return kNoSound;
      }
    } else {
      alSourcei(v.source, AL_BUFFER, static_cast<ALint>(v.buffer->buffer));
      alSourcei(v.source, AL_LOOPING, looped ? AL_TRUE : AL_FALSE);
    }
    v.userPaused = startPaused;
    if (!startPaused) {
      alSourcePlay(v.source);
      v.started = true;
    }
    SoundHandle h = NextHandle();
    m_voices.emplace(h, std::move(v));
    return h;
  }

  void ServiceLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    alcMakeContextCurrent(m_context);
    while (!m_quit) {
      for (auto it = m_voices.begin(); it != m_voices.end();) {
        Voice& v = it->second;
        if (v.stream && !v.stream->ended) {
          ALint state = AL_STOPPED;
          alGetSourcei(v.source, AL_SOURCE_STATE, &state);
          if (!FillStream(v, false)) Log("Damaged sound stream");
          // A stream that starved (slow frame) resumes where it was.
          if (state == AL_STOPPED && v.started && !v.userPaused && !v.pausedByAll) alSourcePlay(v.source);
        }
        if (v.started && VoiceFinished(v)) {
          ReleaseVoice(v);
          it = m_voices.erase(it);
        } else {
          ++it;
        }
      }
      m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_quit; });
    }
  }

  AudioLogFn m_log;
  ALCdevice* m_device = nullptr;
  ALCcontext* m_context = nullptr;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_quit = false;
  std::thread m_thread;
  std::map<SoundHandle, Voice> m_voices;
  std::unordered_map<std::string, std::shared_ptr<StaticBuffer>> m_buffers;
  std::set<std::string> m_failed;
  SoundHandle m_nextHandle = 1;
  float m_rolloff = 1.0f;
  bool m_warnedVoices = false;
};

}  // namespace

std::unique_ptr<SoundEngine> CreateSoundEngine(AudioLogFn log) {
  return std::make_unique<OpenALEngine>(std::move(log));
}

bool DecodeOggFile(const std::string& file, std::vector<short>* pcm, int* channels, int* rate,
                   const AudioLogFn& log) {
  OggVorbis_File vf;
  std::string why;
  if (!OpenOgg(file, &vf, &why)) {
    if (log) log("Could not load sound: " + file + " (" + why + ")");
    return false;
  }
  vorbis_info* info = ov_info(&vf, -1);
  if (!info || info->channels < 1 || info->channels > 8) {
    ov_clear(&vf);
    if (log) log("Unsupported sound format: " + file);
    return false;
  }
  *channels = info->channels;
  *rate = static_cast<int>(info->rate);
  pcm->clear();
  std::vector<short> chunk(static_cast<size_t>(kStreamChunkFrames) * *channels);
  bool ok = true;
  for (;;) {
    long got = ReadFrames(&vf, *channels, chunk.data(), kStreamChunkFrames);
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    pcm->insert(pcm->end(), chunk.begin(), chunk.begin() + got * *channels);
  }
  ov_clear(&vf);
  if (!ok && log) log("Damaged sound file: " + file);
  return ok;
}

}  // namespace platform
