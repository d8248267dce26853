#pragma once
// Achievements: each names a statistics counter and a threshold ("data/ach.csv").
// After a battle the game unlocks every achievement whose counter has reached its
// threshold, tells Steam and queues it for the post-battle window. The online
// achievements window also marks those the server lists for the player.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SIM_Achievement {
 public:
  virtual ~SIM_Achievement() = default;

  uint8_t unlocked = 0;
  std::string name;  // the Steam API name, used for lookups
  // Display texts, as strings-table keys: title, description, hint (how to earn it),
  // category and rank.
  std::string title;
  std::string description;
  std::string hint;
  std::string category;
  std::string rank;
  std::string stat;  // the statistics counter compared
  int32_t threshold = 0;
  // The medal's pictures: lower (the disc), upper (the ribbon) and an optional overlay.
  std::string pictures[3];
};

class SIM_AchievementList {
 public:
  static constexpr const char* kDefinitionsFile = "data/ach.csv";
  static constexpr const char* kServerListFile = "achievements_list.txt";
  // The achievements earned on this machine, kept with the player's records: a counter
  // that falls back (a broken winning streak) must not earn its medal a second time.
  static constexpr const char* kEarnedFile = "medals.dat";

  SIM_AchievementList() = default;
  virtual ~SIM_AchievementList() = default;
  SIM_AchievementList(const SIM_AchievementList&) = delete;
  SIM_AchievementList& operator=(const SIM_AchievementList&) = delete;

  static SIM_AchievementList& Get();

  // Reads the definitions once (nothing when some are loaded).
  void LoadDefinitions(const std::string& file = kDefinitionsFile);
  // Start-up, after the statistics are read: achievements whose counter already met
  // the threshold were earned in an earlier session. They count as unlocked without
  // being queued or sent again (Steam gets them through the achievement source).
  void MarkEarnedBefore();
  // Unlocks every achievement not yet unlocked whose counter has reached its threshold.
  void CheckStats();
  // When not yet unlocked: unlocked, queued and sent to Steam. True when it was new.
  bool Unlock(SIM_Achievement* achievement);
  SIM_Achievement* FindByName(const std::string& name);
  // The post-battle window has shown the queue.
  void ClearUnlocked();
  // Marks unlocked (no Steam call, no queue) the achievements the server's list in the
  // web folder names; unknown names are ignored. Safe from the online worker thread.
  void LoadUnlocked();
  void LoadUnlockedFrom(const std::string& path);

  // Marks unlocked the names of the earned file (once per run; CheckStats asks first).
  void LoadEarned();
  // Writes every unlocked name to the earned file; false (logged) when it failed.
  bool SaveEarned() const;
  // The earned-but-unshown achievements, in the order earned (the dialog's copy).
  std::vector<const SIM_Achievement*> NewlyUnlocked() const;

  // Copies for the windows and for Steam (safe while the worker marks some).
  std::vector<std::string> UnlockedNames() const;
  std::vector<std::string> NewlyUnlockedNames() const;
  int Count() const;
  const std::vector<std::unique_ptr<SIM_Achievement>>& All() const { return achievements; }

 private:
  void LoadDefinitionsLocked(const std::string& file);

  mutable std::recursive_mutex mutex;
  std::vector<std::unique_ptr<SIM_Achievement>> achievements;
  std::vector<SIM_Achievement*> newlyUnlocked;
  bool earnedLoaded = false;
};
