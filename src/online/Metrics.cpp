#include "online/Metrics.h"

#include <cstdio>

#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "online/Server.h"
#include "platform/Window.h"
#include "simdata/Scenario.h"

SIM_Metrics::SIM_Metrics() {
  SettingsFile ini;
  if (!ini.Load("metrics", FilePath())) return;
  for (const auto& entry : ini.Entries()) {
    if (entry.first.empty()) continue;
    entries_.emplace_back(entry.first, static_cast<float>(ParseDouble(entry.second.substr(0, 63))));
  }
}

SIM_Metrics::~SIM_Metrics() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!entries_.empty()) SaveLocked();
}

std::string SIM_Metrics::FilePath() {
  // Before the folders are set up the totals still go to the user folder, never to "/".
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = platform::UserFolderRoot();
  return root + "/metr.ini";
}

std::string SIM_Metrics::SafeKey(const std::string& name) {
  std::string key = name.substr(0, 200);
  for (char& c : key)
    if (c == '=' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 32) c = '_';
  if (!key.empty() && (key.front() == ' ' || key.front() == '/')) key.front() = '_';
  if (!key.empty() && key.back() == ' ') key.back() = '_';
  return key;
}

void SIM_Metrics::AddValue(const std::string& name, float amount) {
  std::string key = SafeKey(name);
  if (key.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& e : entries_)
    if (e.first == key) {
      e.second += amount;
      return;
    }
  entries_.emplace_back(key, amount);
}

void SIM_Metrics::AddSample(const std::string& name, float value) {
  AddValue(name + "_count", 1.0f);
  AddValue(name, value);
}

void SIM_Metrics::RecordBattle(const MetricsBattleFacts& f) {
  static const char* difficulties[3] = {"easy_", "medium_", "hard_"};
  std::string name = f.scenarioName + "_" + (f.playerDefends ? "defender_" : "attacker_");
  if (f.difficulty >= 0 && f.difficulty <= 2) name += difficulties[f.difficulty];
  name += f.victory ? "victory" : "defeat";
  AddValue(name, 1.0f);
  char res[64];
  std::snprintf(res, sizeof(res), "_screenres_%dx%d", f.screenWidth, f.screenHeight);
  AddValue(res, 1.0f);
  AddValue(f.windowed ? "_windowed" : "_fullscreen", 1.0f);
  AddValue("_fps_data_count", 1.0f);
  // No frames timed: no rate (1000 / 0 would put inf in the file).
  if (f.averageFrameMs > 0.0) AddValue("_fps", static_cast<float>(1000.0 / f.averageFrameMs));
  static const char* ai[3] = {"_ai_scriptedunits", "_ai_scenariounits", "_ai_allunits"};
  if (f.defendingAiMode >= 0 && f.defendingAiMode <= 2) AddValue(ai[f.defendingAiMode], 1.0f);
}

bool SIM_Metrics::SaveLocked() const {
  SettingsFile ini;
  ini.SetSectionName("metrics");
  for (const Entry& e : entries_) {
    char value[64];
    std::snprintf(value, sizeof(value), "%.4f", e.second);
    ini.SetValue(e.first, value);
  }
  return ini.Save(FilePath());
}

bool SIM_Metrics::Post() {
  std::vector<Entry> sent;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.empty()) return true;
    if (!SaveLocked()) return false;
    sent = entries_;
  }
  if (!GetInternet().PostMetrics()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  // Subtract what was sent: totals added during the upload stay for the next one.
  std::vector<Entry> left;
  for (const Entry& e : entries_) {
    float rest = e.second;
    bool wasSent = false;
    for (const Entry& s : sent)
      if (s.first == e.first) {
        rest -= s.second;
        wasSent = true;
      }
    if (!wasSent || rest != 0.0f) left.emplace_back(e.first, rest);
  }
  entries_.swap(left);
  if (entries_.empty())
    std::remove(FilePath().c_str());
  else
    SaveLocked();
  return true;
}

std::vector<SIM_Metrics::Entry> SIM_Metrics::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

float SIM_Metrics::Value(const std::string& name) const {
  std::string key = SafeKey(name);
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& e : entries_)
    if (e.first == key) return e.second;
  return 0.0f;
}

SIM_Metrics& GetMetrics() {
  // The server record first, so a worker posting metrics never outlives the link.
  GetInternet();
  return ProcessWide<SIM_Metrics>();
}

void RecordBattleMetrics(double averageFrameMs) {
  SIM_Battle& battle = GetBattle();
  MetricsBattleFacts facts;
  facts.scenarioName = battle.scenario ? battle.scenario->name : std::string("unknown");
  facts.playerDefends = battle.playerDefends;
  facts.difficulty = GetGameplay().Difficulty;
  facts.averageFrameMs = averageFrameMs;
  facts.victory = battle.outcome == OUTCOME_VICTORY;
  D3DEngine& device = GetRenderDevice();
  facts.screenWidth = device.ScreenWidth();
  facts.screenHeight = device.ScreenHeight();
  facts.windowed = device.Windowed();
  facts.defendingAiMode = battle.aiUnitSource;
  GetMetrics().RecordBattle(facts);
}
