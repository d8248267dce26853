#pragma once
// The game's single sound manager: interface sounds by number, one music track,
// positional battle sounds with a limit on repeats, explosion sounds by size, and the
// shuffled sound collections (death, ricochet, explosions, voices).
#include <memory>
#include <string>
#include <vector>

#include "platform/Audio.h"

// Playback speed of a group of sounds; banks 0 and 1 vary each sound's pitch a little.
class GUI_SoundBank {
 public:
  virtual ~GUI_SoundBank() = default;
  float speed = 1.0f;
  bool randomiseSpeed = false;
};

// What the sound manager reads of the battle screen each frame: by default the battle
// map's camera, zoom and visible area, the current game mode and the battle's frame
// step. Tests install their own view with GUI_Sounds::SetWorldView.
class GUI_SoundsWorldView {
 public:
  virtual ~GUI_SoundsWorldView() = default;
  virtual float CameraX() const;
  virtual float CameraY() const;
  virtual float Zoom() const;
  // True when the world point lies outside the battle view grown by the margin.
  virtual bool IsOutsideView(float x, float y, float margin) const;
  // True while the battle screen (mode 6) is the current game mode.
  virtual bool IsBattleMode() const;
  // The battle's frame step of this frame, in milliseconds of battle time.
  virtual float BattleFrameStep() const;
};

class GUI_Sounds {
 public:
  enum Collection {
    COLLECTION_DEATH = 0,
    COLLECTION_RICOCHET,
    COLLECTION_SMALL_EXPLOSION,
    COLLECTION_MEDIUM_EXPLOSION,
    COLLECTION_LARGE_EXPLOSION,
    COLLECTION_ENGLISH_VOICES,
    COLLECTION_GERMAN_VOICES,
    COLLECTION_COUNT
  };
  static constexpr int kRecentSlots = 30;
  static constexpr int kRecentMaxSame = 10;
  static constexpr float kRecentAgeLimit = 250.0f;  // ms of battle time
  static constexpr int kBankCount = 5;
  static constexpr int kInterfaceBank = 4;
  static constexpr int kInterfaceSoundCount = 12;
  static constexpr float kWorldToEngine = 0.04f;

  // Builds the engine (silent without a device) and loads the collections.
  GUI_Sounds();
  // The engine may be handed in (tests use this to run without any device).
  explicit GUI_Sounds(std::unique_ptr<platform::SoundEngine> engine);
  virtual ~GUI_Sounds();
  GUI_Sounds(const GUI_Sounds&) = delete;
  GUI_Sounds& operator=(const GUI_Sounds&) = delete;

  // Volumes from the options; also lowers or raises the playing music.
  void ReloadVolumes();

  void PlayGuiSound(int n);
  // A plain (non-positional) sound; returns its handle (-1 when it cannot play).
  int PlaySoundFile(const char* file, bool looped, float volume, int bank);
  void PlayMusic(const char* name, bool fullPath, bool looped);
  // A positional sound at world point (x, y); the handle or -1 when refused or failed.
  int PlaySound(const char* name, int bank, float volumeFactor, bool tracked, float minDistance, float x,
                float y);
  void PlayExplosionSound(float size, float x, float y);
  void SetSoundPosition(int handle, float x, float y);
  // A playing sound's volume: the factor times the effects and master volumes.
  void SetSoundVolume(int handle, float volumeFactor);
  void StopSound(int handle);
  void StopAllSounds();
  // Pauses or resumes everything (focus loss, battle pause).
  void SetAllSoundsPaused(bool paused);
  void SetPlaybackSpeed(float speed);
  void UpdateMusicForZoom();
  // Every frame: moves the listener to the battle camera and ages the recent table.
  void Update();
  // The next file name of a collection, in its shuffled order; "" for an empty one.
  std::string NextCollectionName(int collection);

  // The explosion file for a size, with the random picks supplied (tests use this).
  static std::string ExplosionFileName(float size, int smallPick, bool huge);

  // The sound manager reads the battle camera through this; null restores the default.
  void SetWorldView(std::unique_ptr<GUI_SoundsWorldView> view);

  float MasterVolume() const { return m_masterVolume; }
  float MusicVolume() const { return m_musicVolume; }
  float InterfaceVolume() const { return m_interfaceVolume; }
  float EffectsVolume() const { return m_effectsVolume; }
  float HeightFalloff() const { return m_heightFalloff; }
  const std::string& CurrentMusicName() const { return m_musicName; }
  int CurrentMusicHandle() const { return m_musicHandle; }
  const GUI_SoundBank& Bank(int i) const { return m_banks[i]; }
  const std::vector<std::string>& CollectionNames(int collection) const;
  bool IsPlaying(int handle) const;
  int TrackedCount() const { return static_cast<int>(m_tracked.size()); }
  int RecentCount(const std::string& name) const;
  platform::SoundEngine* Engine() { return m_engine.get(); }

 private:
  struct SoundCollection {
    std::vector<std::string> names;
    size_t cursor = 0;
  };
  struct TrackedSound {
    int handle;
    std::string name;
  };

  void Construct();
  void LoadCollection(int index, const char* file);
  bool RecentAllows(const std::string& name) const;
  void RememberRecent(const std::string& name);
  float MusicVolumeForZoom() const;

  float m_masterVolume = 1.0f;
  float m_musicVolume = 1.0f;
  float m_interfaceVolume = 1.0f;
  float m_effectsVolume = 1.0f;
  std::string m_recentNames[kRecentSlots];
  float m_recentAges[kRecentSlots] = {};
  std::unique_ptr<platform::SoundEngine> m_engine;
  SoundCollection m_collections[COLLECTION_COUNT];
  int m_musicHandle = -1;
  std::string m_musicName;
  GUI_SoundBank m_banks[kBankCount];
  // The sound manager's own 15-bit generator. Whether a sound plays depends on the camera
  // and on what played recently, so its choices must not draw from the battle's random
  // tables: a seeded battle replays the same however it is watched.
  uint32_t m_random = 0x5EEDu;
  int NextRandom(int n);
  float NextRandomUnit();
  std::string m_interfaceSounds[kInterfaceSoundCount];
  float m_heightFalloff = 0.75f;
  std::vector<TrackedSound> m_tracked;
  std::unique_ptr<GUI_SoundsWorldView> m_world;
};

// The process-wide sound manager, built on first use.
GUI_Sounds& GetSounds();
// True once the sound manager exists (shutdown paths must not build it).
bool SoundsExist();
// Replaces the process-wide sound manager (tests hand in one built on a recording engine).
void ReplaceSounds(std::unique_ptr<GUI_Sounds> sounds);
