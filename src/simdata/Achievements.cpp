#include "simdata/Achievements.h"

#include <algorithm>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Spreadsheet.h"
#include "engine/Tokenizer.h"
#include "simdata/DataHooks.h"
#include "simdata/GlobalStats.h"
#include "simdata/PlayerFile.h"

SIM_AchievementList& SIM_AchievementList::Get() { return ProcessWide<SIM_AchievementList>(); }

void SIM_AchievementList::LoadDefinitions(const std::string& file) {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  LoadDefinitionsLocked(file);
}

void SIM_AchievementList::LoadDefinitionsLocked(const std::string& file) {
  if (!achievements.empty()) return;
  for (const std::string& line : LoadSpreadsheet(file)) {
    Tokenizer cells(line, ',');
    cells.NextString();  // the "#" marker
    auto a = std::make_unique<SIM_Achievement>();
    a->name = cells.NextString();
    a->title = cells.NextString();
    a->description = cells.NextString();
    a->hint = cells.NextString();
    a->category = cells.NextString();
    a->rank = cells.NextString();
    a->stat = cells.NextString();
    const std::string threshold = cells.NextString();
    if (a->name.empty() || a->stat.empty() || threshold.empty()) {
      LogErrorF("Skipped an achievement line without a name, counter or threshold in %s", file.c_str());
      continue;
    }
    a->threshold = ParseInt(threshold);
    for (std::string& picture : a->pictures) picture = cells.NextString();
    achievements.push_back(std::move(a));
  }
}

void SIM_AchievementList::MarkEarnedBefore() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  LoadDefinitionsLocked(kDefinitionsFile);
  LoadEarned();
  const SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  for (auto& a : achievements)
    if (stats.GetStat(a->stat) >= a->threshold) a->unlocked = 1;
}

void SIM_AchievementList::LoadEarned() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  if (earnedLoaded) return;
  earnedLoaded = true;
  LoadDefinitionsLocked(kDefinitionsFile);
  const std::string path = UserFilePath(kEarnedFile);
  if (!FileExists(path)) return;
  SettingsFile file;
  if (!file.LoadSection(path, "earned")) {
    LogErrorF("%s could not be read: medals earned before may be shown again", kEarnedFile);
    return;
  }
  for (const auto& entry : file.Entries())
    for (auto& a : achievements)
      if (a->name == entry.first) a->unlocked = 1;
}

bool SIM_AchievementList::SaveEarned() const {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  std::string text = "[earned]\n";
  for (const auto& a : achievements)
    if (a->unlocked) text += a->name + "\n";
  const std::string path = UserFilePath(kEarnedFile);
  if (!WriteFileAtomic(path, text)) {
    DebugLogF("Failed to save %s", kEarnedFile);
    return false;
  }
  PushToCloud(path);
  return true;
}

std::vector<const SIM_Achievement*> SIM_AchievementList::NewlyUnlocked() const {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return std::vector<const SIM_Achievement*>(newlyUnlocked.begin(), newlyUnlocked.end());
}

void SIM_AchievementList::CheckStats() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  if (achievements.empty()) LoadDefinitionsLocked(kDefinitionsFile);
  LoadEarned();
  const SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  for (auto& a : achievements)
    if (!a->unlocked && stats.GetStat(a->stat) >= a->threshold) Unlock(a.get());
}

bool SIM_AchievementList::Unlock(SIM_Achievement* a) {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  LoadEarned();  // the save below must keep what earlier sessions earned
  if (!a || a->unlocked) return false;
  a->unlocked = 1;
  newlyUnlocked.push_back(a);
  SaveEarned();
  if (auto tell = GetDataHooks().setSteamAchievement) tell(a->name);
  return true;
}

SIM_Achievement* SIM_AchievementList::FindByName(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  for (auto& a : achievements)
    if (a->name == name) return a.get();
  return nullptr;
}

void SIM_AchievementList::ClearUnlocked() {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  newlyUnlocked.clear();
}

void SIM_AchievementList::LoadUnlocked() {
  LoadUnlockedFrom(GetUserFolder(USERFOLDER_WEB) + "/" + kServerListFile);
}

void SIM_AchievementList::LoadUnlockedFrom(const std::string& path) {
  // Read outside the lock: the file comes from the server and may be slow or large.
  const std::vector<std::string> lines = LoadSpreadsheet(path);
  std::lock_guard<std::recursive_mutex> lock(mutex);
  LoadDefinitionsLocked(kDefinitionsFile);
  for (const std::string& line : lines) {
    Tokenizer cells(line, ',');
    cells.NextString();
    const std::string name = cells.NextString();
    for (auto& a : achievements)
      if (a->name == name) a->unlocked = 1;
  }
}

std::vector<std::string> SIM_AchievementList::UnlockedNames() const {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  std::vector<std::string> names;
  for (const auto& a : achievements)
    if (a->unlocked) names.push_back(a->name);
  return names;
}

std::vector<std::string> SIM_AchievementList::NewlyUnlockedNames() const {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  std::vector<std::string> names;
  for (const SIM_Achievement* a : newlyUnlocked) names.push_back(a->name);
  return names;
}

int SIM_AchievementList::Count() const {
  std::lock_guard<std::recursive_mutex> lock(mutex);
  return static_cast<int>(achievements.size());
}
