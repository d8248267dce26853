#include "app/Sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battle/BattleView.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Timer.h"
#include "simdata/Options.h"

namespace {

const char* const kCollectionFiles[GUI_Sounds::COLLECTION_COUNT] = {
    "data/sounds/collections/deathsounds.txt",          "data/sounds/collections/ricochetsounds.txt",
    "data/sounds/collections/smallexplosionsounds.txt", "data/sounds/collections/mediumexplosionsounds.txt",
    "data/sounds/collections/largeexplosionsounds.txt", "data/sounds/collections/english_voices.txt",
    "data/sounds/collections/german_voices.txt",
};

constexpr float kViewMargin = 128.0f;
constexpr float kPlainMinDistance = 180.0f;
constexpr float kMusicMinDistance = 30.0f;
constexpr float kRolloff = 0.05f;

// A volume from the player's file: a hostile or broken value must not blast or NaN.
float SaneVolume(float v) {
  if (!(v >= 0.0f)) return 0.0f;
  return std::min(v, 1.0f);
}

platform::SoundVec3 EnginePoint(float x, float y) {
  return {x * GUI_Sounds::kWorldToEngine, y * GUI_Sounds::kWorldToEngine, 0.0f};
}

}  // namespace

float GUI_SoundsWorldView::CameraX() const { return GetBattleView().CameraX(); }
float GUI_SoundsWorldView::CameraY() const { return GetBattleView().CameraY(); }
float GUI_SoundsWorldView::Zoom() const { return GetBattleView().Zoom(); }

bool GUI_SoundsWorldView::IsOutsideView(float x, float y, float margin) const {
  return GetBattleView().IsOffScreen(x, y, margin);
}

bool GUI_SoundsWorldView::IsBattleMode() const { return GameExists() && GetGame().CurrentModeNumber == 6; }

float GUI_SoundsWorldView::BattleFrameStep() const { return BattleExists() ? GetBattle().frameStep : 0.0f; }

GUI_Sounds::GUI_Sounds() {
  DebugLog("Initialising Sound Engine");
  m_engine = platform::CreateSoundEngine([](const std::string& line) { DebugLog(line); });
  Construct();
}

GUI_Sounds::GUI_Sounds(std::unique_ptr<platform::SoundEngine> engine) {
  DebugLog("Initialising Sound Engine");
  m_engine = std::move(engine);
  Construct();
}

void GUI_Sounds::Construct() {
  // Each run, and each sound manager, picks its own variations.
  static uint32_t made = 0;
  m_random = static_cast<uint32_t>(ClockMilliseconds()) ^ (++made * 2654435761u);
  // No audio device is an ordinary setup (a headless machine, a server, a muted VM), not
  // a failed check: the engine has already logged one line and runs silent, and the game
  // plays on without sound.
  if (!m_engine) DebugLog("No sound engine: sound is off");
  if (m_engine) m_engine->SetRolloffFactor(kRolloff);
  DebugLog("Finished Initialising Sound Engine");

  for (auto& s : m_interfaceSounds) s = "data/sounds/gui_button_click.ogg";
  m_interfaceSounds[1] = "data/sounds/gui_beep1.ogg";
  m_interfaceSounds[2] = "data/sounds/gui_mouseover.ogg";
  m_interfaceSounds[8] = "data/sounds/menu_click_augmentation.ogg";
  m_interfaceSounds[9] = "data/sounds/menu_click_component.ogg";
  m_interfaceSounds[10] = "data/sounds/menu_screen_whoos.ogg";
  m_interfaceSounds[11] = "data/sounds/weapon_hight_light.ogg";

  for (int i = 0; i < COLLECTION_COUNT; ++i) LoadCollection(i, kCollectionFiles[i]);
  m_banks[0].randomiseSpeed = true;
  m_banks[1].randomiseSpeed = true;
  m_world = std::make_unique<GUI_SoundsWorldView>();
}

GUI_Sounds::~GUI_Sounds() {
  if (m_engine) m_engine->StopAllSounds();
}

void GUI_Sounds::LoadCollection(int index, const char* file) {
  SettingsFile settings;
  settings.Load("sounds", file);
  SoundCollection& c = m_collections[index];
  c.names.clear();
  c.cursor = 0;
  // One file name per entry, written as a bare key.
  for (const auto& entry : settings.Entries())
    if (!entry.first.empty()) c.names.push_back(entry.first);
  if (c.names.empty()) {
    DebugLogF("Sound collection is empty or missing: %s", file);
    ZT_ASSERT(!c.names.empty());
    return;
  }
  // Uniform shuffle once; the order then repeats without reshuffling.
  for (size_t i = c.names.size() - 1; i > 0; --i) {
    size_t j = static_cast<size_t>(NextRandom(static_cast<int>(i + 1)));
    std::swap(c.names[i], c.names[j]);
  }
}

void GUI_Sounds::ReloadVolumes() {
  SIM_Options& options = SIM_Options::Get();
  m_interfaceVolume = SaneVolume(options.GetFloat("OPTIONS_INTERFACE_VOLUME"));
  m_effectsVolume = SaneVolume(options.GetFloat("OPTIONS_SFX"));
  m_musicVolume = SaneVolume(options.GetFloat("OPTIONS_MUSIC"));
  m_masterVolume = SaneVolume(options.GetFloat("OPTIONS_MASTERVOLUME"));
  if (m_musicHandle > 0) m_engine->SetVolume(m_musicHandle, m_musicVolume * m_masterVolume);
  float falloff = options.GetFloat("SOUND_HEIGHT_FALLOFF");
  m_heightFalloff = std::isfinite(falloff) ? falloff : 0.0f;
}

void GUI_Sounds::PlayGuiSound(int n) {
  if (n < 0 || n >= kInterfaceSoundCount) {
    DebugLogF("No interface sound %d", n);
    return;
  }
  PlaySoundFile(m_interfaceSounds[n].c_str(), false, m_interfaceVolume * m_masterVolume, kInterfaceBank);
}

int GUI_Sounds::PlaySoundFile(const char* file, bool looped, float volume, int bank) {
  if (!file || !*file || !m_engine) return -1;
  if (bank < 0 || bank >= kBankCount) bank = kInterfaceBank;
  platform::SoundHandle h = m_engine->Play2D(file, looped, true, looped);
  if (h == platform::kNoSound) return -1;
  m_engine->SetVolume(h, volume);
  m_engine->SetMinDistance(h, kPlainMinDistance);
  m_engine->SetIsPaused(h, false);
  m_engine->SetPlaybackSpeed(h, m_banks[bank].speed);
  m_engine->Drop(h);
  return h;
}

void GUI_Sounds::PlayMusic(const char* name, bool fullPath, bool looped) {
  if (!name || !m_engine) return;
  // Only a track that is still playing counts as current: a finished one-shot (the
  // victory phrase) must play again when asked for again.
  if (m_musicName == name && m_musicHandle > 0 && !m_engine->IsFinished(m_musicHandle)) return;
  if (m_musicHandle > 0) m_engine->Stop(m_musicHandle);
  m_musicHandle = -1;
  m_musicName.clear();
  m_musicName = name;
  std::string file = fullPath ? std::string(name) : std::string("data/sounds/music/") + name;
  platform::SoundHandle h = m_engine->Play2D(file, looped, true, true);
  if (h == platform::kNoSound) return;
  m_engine->SetMinDistance(h, kMusicMinDistance);
  // The volume goes on before the unpause so a muted track never blips at full volume.
  m_engine->SetVolume(h, m_musicVolume * m_masterVolume);
  m_engine->SetIsPaused(h, false);
  m_musicHandle = h;
}

int GUI_Sounds::PlaySound(const char* name, int bank, float volumeFactor, bool tracked, float minDistance,
                          float x, float y) {
  if (!name || !*name || !m_engine) return -1;
  if (bank < 0 || bank >= kBankCount) bank = 0;
  const std::string key = name;
  if (!tracked) {
    if (m_world->IsOutsideView(x, y, kViewMargin)) return -1;
    if (!RecentAllows(key)) return -1;
  }
  float volume = m_effectsVolume * m_masterVolume * volumeFactor;

  std::string file = key;
  if (key.find(',') != std::string::npos) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= key.size()) {
      size_t comma = key.find(',', start);
      if (comma == std::string::npos) comma = key.size();
      std::string part = key.substr(start, comma - start);
      if (!part.empty()) parts.push_back(part);
      start = comma + 1;
    }
    if (parts.empty()) return -1;
    file = parts[static_cast<size_t>(NextRandom(static_cast<int>(parts.size())))];
  }

  platform::SoundHandle h = m_engine->Play3D(file, EnginePoint(x, y), tracked, true, tracked);
  if (h == platform::kNoSound) return -1;
  m_engine->SetVolume(h, volume);
  m_engine->SetMinDistance(h, minDistance * kWorldToEngine);
  m_engine->SetIsPaused(h, false);
  float speed = m_banks[bank].speed;
  if (m_banks[bank].randomiseSpeed) speed *= 0.8f + 0.4f * NextRandomUnit();
  m_engine->SetPlaybackSpeed(h, speed);
  m_engine->Drop(h);

  if (tracked)
    m_tracked.push_back({h, key});
  else
    RememberRecent(key);
  return h;
}

float GUI_Sounds::NextRandomUnit() {
  m_random = m_random * 214013u + 2531011u;
  return static_cast<float>(((m_random >> 16) & 0x7FFFu) / 32768.0);
}

int GUI_Sounds::NextRandom(int n) {
  return n > 0 ? static_cast<int>(NextRandomUnit() * static_cast<float>(n)) : 0;
}

std::string GUI_Sounds::ExplosionFileName(float size, int number, bool huge) {
  char buf[96];
  if (size < 10.0f)
    std::snprintf(buf, sizeof buf, "data/sounds/lb_explosion_tiny%d.ogg", number);
  else if (size < 30.0f)
    std::snprintf(buf, sizeof buf, "data/sounds/lb_explosion_small%d.ogg", number);
  else if (size < 100.0f)
    std::snprintf(buf, sizeof buf, "data/sounds/lb_explosion_medium%d.ogg", number);
  else
    std::snprintf(buf, sizeof buf, "data/sounds/lb_explosion_%s1.ogg", huge ? "huge" : "large");
  return buf;
}

void GUI_Sounds::PlayExplosionSound(float size, float x, float y) {
  int number = 1;
  bool huge = false;
  if (size < 10.0f)
    number = NextRandom(2) + 1;
  else if (size < 30.0f)
    number = NextRandom(6) + 1;
  else if (size < 100.0f)
    number = NextRandom(7) + 1;
  else
    huge = NextRandomUnit() < 0.5f;
  PlaySound(ExplosionFileName(size, number, huge).c_str(), 1, 1.0f, false, 64.0f, x, y);
}

void GUI_Sounds::SetSoundPosition(int handle, float x, float y) {
  if (handle > 0 && m_engine) m_engine->SetPosition(handle, EnginePoint(x, y));
}

void GUI_Sounds::SetSoundVolume(int handle, float volumeFactor) {
  if (handle > 0 && m_engine) m_engine->SetVolume(handle, m_effectsVolume * m_masterVolume * volumeFactor);
}

void GUI_Sounds::StopSound(int handle) {
  if (handle <= 0 || !m_engine) return;
  if (!m_engine->IsFinished(handle)) m_engine->Stop(handle);
  m_tracked.erase(std::remove_if(m_tracked.begin(), m_tracked.end(),
                                 [handle](const TrackedSound& t) { return t.handle == handle; }),
                  m_tracked.end());
}

void GUI_Sounds::StopAllSounds() {
  if (m_engine) m_engine->StopAllSounds();
  m_musicHandle = -1;
  m_musicName.clear();
  m_tracked.clear();
}

void GUI_Sounds::SetAllSoundsPaused(bool paused) {
  if (m_engine) m_engine->SetAllSoundsPaused(paused);
}

void GUI_Sounds::SetPlaybackSpeed(float speed) {
  ZT_ASSERT(speed > 0.0f && speed < 10.0f);
  // Applied even when out of range, but a zero, negative or NaN speed would stall or
  // break the mixer, so it is held inside what the engine can play.
  if (std::isnan(speed)) return;
  speed = std::clamp(speed, 0.05f, 9.99f);
  for (int i = 0; i < kInterfaceBank; ++i) m_banks[i].speed = speed;
  for (const TrackedSound& t : m_tracked) m_engine->SetPlaybackSpeed(t.handle, speed);
}

float GUI_Sounds::MusicVolumeForZoom() const {
  float t = std::clamp(m_world->Zoom() - 0.6f, 0.0f, 1.0f);
  return (1.0f - 0.6f * t) * m_musicVolume * m_masterVolume;
}

void GUI_Sounds::UpdateMusicForZoom() {
  if (m_musicHandle > 0 && m_engine) m_engine->SetVolume(m_musicHandle, MusicVolumeForZoom());
}

void GUI_Sounds::Update() {
  if (!m_engine) return;
  const float zoom = m_world->Zoom();
  const float z = std::max(0.0f, 1000.0f - m_heightFalloff * zoom * 2000.0f);
  m_engine->SetListenerPosition({m_world->CameraX() * kWorldToEngine, m_world->CameraY() * kWorldToEngine, z},
                                {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
  if (!m_world->IsBattleMode()) return;
  const float step = m_world->BattleFrameStep();
  for (int i = 0; i < kRecentSlots; ++i) {
    if (m_recentNames[i].empty()) continue;
    m_recentAges[i] += step;
    if (m_recentAges[i] > kRecentAgeLimit) {
      m_recentNames[i].clear();
      m_recentAges[i] = 0.0f;
    }
  }
}

std::string GUI_Sounds::NextCollectionName(int collection) {
  if (collection < 0 || collection >= COLLECTION_COUNT) return std::string();
  SoundCollection& c = m_collections[collection];
  if (c.names.empty()) return std::string();
  if (c.cursor >= c.names.size()) c.cursor = 0;
  return c.names[c.cursor++];
}

const std::vector<std::string>& GUI_Sounds::CollectionNames(int collection) const {
  static const std::vector<std::string> none;
  if (collection < 0 || collection >= COLLECTION_COUNT) return none;
  return m_collections[collection].names;
}

void GUI_Sounds::SetWorldView(std::unique_ptr<GUI_SoundsWorldView> view) {
  m_world = view ? std::move(view) : std::make_unique<GUI_SoundsWorldView>();
}

bool GUI_Sounds::IsPlaying(int handle) const {
  return handle > 0 && m_engine && !m_engine->IsFinished(handle);
}

int GUI_Sounds::RecentCount(const std::string& name) const {
  int n = 0;
  for (const auto& r : m_recentNames)
    if (r == name) ++n;
  return n;
}

bool GUI_Sounds::RecentAllows(const std::string& name) const {
  bool freeSlot = false;
  for (const auto& r : m_recentNames)
    if (r.empty()) freeSlot = true;
  return freeSlot && RecentCount(name) < kRecentMaxSame;
}

void GUI_Sounds::RememberRecent(const std::string& name) {
  for (int i = 0; i < kRecentSlots; ++i) {
    if (m_recentNames[i].empty()) {
      m_recentNames[i] = name;
      m_recentAges[i] = 0.0f;
      return;
    }
  }
}

GUI_Sounds& GetSounds() { return ProcessWide<GUI_Sounds>(); }

bool SoundsExist() { return ProcessWideIfAlive<GUI_Sounds>() != nullptr; }

void ReplaceSounds(std::unique_ptr<GUI_Sounds> sounds) { ReplaceProcessWide(std::move(sounds)); }
