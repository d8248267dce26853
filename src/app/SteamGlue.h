#pragma once
// The Steam glue: starts and stops the client API, sends achievements, and mirrors the
// player's files in Steam's remote storage. Without a Steam client (the default on this
// platform) nothing runs and every operation is a no-op.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Steam.h"

class SteamData {
 public:
  // An achievement as the game holds it: its Steam API name and whether it is unlocked.
  struct LocalAchievement {
    std::string apiName;
    bool unlocked = false;
  };

  // Uses the default back end (Steam not running).
  SteamData();
  // Uses the given back end (tests hand in the file-backed double).
  explicit SteamData(std::unique_ptr<platform::SteamBackend> backend);
  ~SteamData();
  SteamData(const SteamData&) = delete;
  SteamData& operator=(const SteamData&) = delete;

  void RegisterStatsCallback();
  // Start-up, once, at the end of the game's initialisation.
  void Init();
  void SetAchievement(const char* apiName);
  void CloudSynchTo(const char* localPath);
  void CloudDelete(const char* localPath);
  void CloudDeleteTree(const char* localFolder);
  void PullRemoteFiles();
  void CloudSynchFrom(const char* remoteName);
  void OnUserStatsReceived(const platform::UserStatsReceived& data);
  // Each frame, when running.
  void RunCallbacks();
  // At shutdown, when running.
  void Shutdown();

  // Where the glue reads the game's achievements when Steam's arrive (the achievement
  // list installs it, loading its definitions on demand).
  static void SetAchievementSource(std::function<std::vector<LocalAchievement>()> source);

  bool IsRunning() const { return m_running; }
  bool StatsReceived() const { return m_statsReceived; }
  uint32_t AppId() const { return m_appId; }
  bool HasRemoteStorage() const { return m_remoteStorage; }

  // The remote name of a local path: the path with the user folder root and the
  // separator after it removed; "" when the path is not under the root.
  static std::string RemoteName(const std::string& root, const std::string& localPath);
  // True when a remote name may be written below the user folder (no absolute path,
  // no "..", no empty parts, bounded length).
  static bool IsSafeRemoteName(const std::string& name);

 private:
  std::string Root() const;
  // The remote name for a cloud action on a local file; "" (logged) when there is none.
  std::string CloudTarget(const char* localPath, const char* action) const;

  std::unique_ptr<platform::SteamBackend> m_backend;
  bool m_callbackRegistered = false;
  bool m_running = false;
  uint32_t m_appId = 0;
  bool m_statsReceived = false;
  bool m_remoteStorage = false;
};

// The process-wide Steam glue, built on first use with the default back end.
SteamData& GetSteamData();
// Replaces the process-wide Steam glue with one over the given back end (tests).
SteamData& InstallSteamData(std::unique_ptr<platform::SteamBackend> backend);
