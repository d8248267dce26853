#include "simdata/Options.h"

#include <cmath>
#include <memory>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/PlayerRecords.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/PlayerFile.h"

namespace {
struct OptionDefault {
  const char* name;
  float value;
};

// A fresh file's keys, in the order they are written.
const OptionDefault kDefaults[] = {
    {"MOTIONBLUR", 1.0f},
    {"BLOOD", 1.0f},
    {"CLOUDS", 1.0f},
    {"INVERTZOOM", 0.0f},
    {"TRACKS", 1.0f},
    {"DRIFTINGSMOKE", 1.0f},
    {"TRANSITIONS", 1.0f},
    {"SHADOWS", 1.0f},
    {"SHADOWMAPS", 1.0f},
    {"CAMERASHAKE", 1.0f},
    {"DISTORTION", 1.0f},
    {"OPTIONS_SFX", 1.0f},
    {"OPTIONS_MUSIC", 0.8f},
    {"OPTIONS_MASTERVOLUME", 1.0f},
    {"OPTIONS_INTERFACE_VOLUME", 1.0f},
    {"MAX_CORPSES_PER_SQUARE", 10.0f},
    {"SOUND_HEIGHT_FALLOFF", 0.75f},
    {"OPTIONS_GRAPHICS_DETAIL", 1.0f},
    {"OPTIONS_MAP_SCROLL_SPEED", 0.2f},
    {"OPTIONS_MAX_CLOUD_ALPHA", 0.8f},
    {"OPTIONS_SHOW_PATHS", 0.0f},
    {"OPTIONS_SHOW_DAMAGE", 1.0f},
    {"OPTIONS_SHOW_HEALTH", 1.0f},
    {"OPTIONS_CFILTER_ALL", 1.0f},
    {"OPTIONS_CFILTER_POSTED", 1.0f},
    {"OPTIONS_CFILTER_PERSONAL", 1.0f},
    {"OPTIONS_CFILTER_DOWNLOADED", 1.0f},
    {"OPTIONS_CFILTER_FRIENDS", 1.0f},
};

// Keys added to an older file that lacks them. The overlays come in switched off so an
// existing player's screen does not change under them.
const OptionDefault kAddedWhenMissing[] = {
    {"OPTIONS_SHOW_HEALTH", 0.0f},
    {"OPTIONS_SHOW_PATHS", 0.0f},
    {"OPTIONS_SHOW_DAMAGE", 0.0f},
    {"OPTIONS_MAP_SCROLL_SPEED", 0.2f},
    {"OPTIONS_MAX_CLOUD_ALPHA", 0.8f},
    {"OPTIONS_CFILTER_ALL", 1.0f},
    {"OPTIONS_CFILTER_POSTED", 1.0f},
    {"OPTIONS_CFILTER_PERSONAL", 1.0f},
    {"OPTIONS_CFILTER_DOWNLOADED", 1.0f},
    {"OPTIONS_CFILTER_FRIENDS", 1.0f},
    {"DISTORTION", 1.0f},
};
}  // namespace

const char* const SIM_Options::ToggleNames[11] = {"MOTIONBLUR", "BLOOD",         "CLOUDS",      "INVERTZOOM",
                                                  "TRACKS",     "DRIFTINGSMOKE", "TRANSITIONS", "SHADOWS",
                                                  "SHADOWMAPS", "CAMERASHAKE",   "DISTORTION"};

SIM_Options::SIM_Options() : path(UserFilePath("config.txt")) {}
SIM_Options::~SIM_Options() = default;

SIM_Options& SIM_Options::Get() {
  return ProcessWide<SIM_Options>([](SIM_Options& o) { o.Load(); });
}

void SIM_Options::Load() {
  entries.clear();
  SettingsFile section;
  // A missing file is a first start; a damaged one is kept aside and logged. Either way
  // every option starts from its default, so sound and detail are never left at 0.
  if (LoadRecordSection(section, path, "config") != RecordState::Read) {
    WriteDefaults();
    return;
  }
  for (const auto& entry : section.Entries()) {
    float value = static_cast<float>(ParseDouble(entry.second));
    if (!std::isfinite(value)) {
      // "nan" or "inf" would silence or deafen the game and spread through every use.
      LogWarning("SIM_Options", __LINE__, "Option [" + entry.first + "] is not a usable number; reads 0");
      value = 0.0f;
    }
    Add(entry.first, value);
  }
  for (const OptionDefault& d : kAddedWhenMissing) AddIfMissing(d.name, d.value);
  Save();
}

void SIM_Options::WriteDefaults() {
  DebugLog("Writing default options");
  entries.clear();
  for (const OptionDefault& d : kDefaults) Add(d.name, d.value);
  Save();
}

void SIM_Options::AddIfMissing(const std::string& name, float value) {
  for (const OptionEntry& e : entries)
    if (e.name == name) return;
  Add(name, value);
}

OptionEntry* SIM_Options::Find(const std::string& name) {
  if (entries.empty()) Load();
  for (OptionEntry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

void SIM_Options::Add(const std::string& name, float value) { entries.push_back(OptionEntry{name, value}); }

float SIM_Options::GetFloat(const std::string& name) {
  if (OptionEntry* e = Find(name)) return e->value;
  // Asked for every frame: one warning per name is enough.
  if (warnedMissing.insert(name).second)
    LogWarning("SIM_Options", __LINE__, "Missing Global variable [" + name + "]");
  return 0.0f;
}

bool SIM_Options::IsOn(const std::string& name) {
  OptionEntry* e = Find(name);
  return e && e->value > 0.0f;
}

void SIM_Options::SetFloat(const std::string& name, float value) {
  if (OptionEntry* e = Find(name)) {
    e->value = value;
    return;
  }
  LogWarning("SIM_Options", __LINE__, "Missing Global variable");
  Add(name, value);
}

bool SIM_Options::Save() {
  std::string text = "[config]\n";
  for (const OptionEntry& e : entries) text += e.name + " = " + FormatFloat(e.value, "%.2f") + "\n";
  if (!WriteFileAtomic(path, text)) {
    LogWarning("SIM_Options", __LINE__, "Failed to save variables");
    return false;
  }
  return true;
}
