#pragma once
// Our sound engine over OpenAL Soft and libvorbisfile. It offers what the sound manager
// asks of a sound engine: 2D and positional sounds started paused and configured by
// handle, volume, playback speed, minimum distance and roll-off, a listener, pause,
// resume and stop of everything, a finished query and streamed (looping) long files.
//
// Handles are small positive integers that never repeat while a sound lives; a handle
// whose sound has finished (or was stopped) is simply "finished": every call on it is
// a harmless no-op, so the game may keep stale handles. Without an audio device the
// engine runs silent: plays return handles that are already finished.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using SoundHandle = int;             // > 0 for a started sound
constexpr SoundHandle kNoSound = 0;  // a play that could not start

struct SoundVec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

// Receives one line per problem (missing file, bad data, no device).
using AudioLogFn = std::function<void(const std::string&)>;

class SoundEngine {
 public:
  virtual ~SoundEngine() = default;

  // True when an output device is open and sounds are heard.
  virtual bool HasDevice() const = 0;

  // A sound from an OGG file. 2D sounds follow the listener; 3D sounds sit at a point.
  // "track" only says whether the caller keeps the handle (a looping sound must be
  // tracked to be stoppable); the handle is returned either way.
  virtual SoundHandle Play2D(const std::string& file, bool looped, bool startPaused, bool track) = 0;
  virtual SoundHandle Play3D(const std::string& file, SoundVec3 pos, bool looped, bool startPaused,
                             bool track) = 0;

  virtual void StopAllSounds() = 0;
  virtual void SetAllSoundsPaused(bool paused) = 0;
  // Positions use a left-handed frame: x right, y up, z into the screen.
  virtual void SetListenerPosition(SoundVec3 pos, SoundVec3 look, SoundVec3 velocity, SoundVec3 up) = 0;
  virtual void SetRolloffFactor(float rolloff) = 0;

  virtual void SetIsPaused(SoundHandle h, bool paused) = 0;
  virtual void SetVolume(SoundHandle h, float volume) = 0;
  virtual void SetMinDistance(SoundHandle h, float distance) = 0;
  virtual void SetPlaybackSpeed(SoundHandle h, float speed) = 0;
  virtual void SetPosition(SoundHandle h, SoundVec3 pos) = 0;
  virtual void Stop(SoundHandle h) = 0;
  virtual bool IsFinished(SoundHandle h) const = 0;
  // The caller gives up its reference; the sound plays on to its end.
  virtual void Drop(SoundHandle h) = 0;

  // Sounds currently playing or paused (not finished).
  virtual int ActiveSoundCount() const = 0;
};

// Opens the default output device. Never fails: without a device the engine is silent
// and one line goes to the log.
std::unique_ptr<SoundEngine> CreateSoundEngine(AudioLogFn log);

// Decodes a whole OGG file to interleaved 16-bit PCM. False (and a log line) on a
// missing or corrupt file. Used by the engine and by tools that check content.
bool DecodeOggFile(const std::string& file, std::vector<short>* pcm, int* channels, int* rate,
                   const AudioLogFn& log);

}  // namespace platform
