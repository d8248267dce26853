#pragma once
// A stand-in Steam client for tests: remote storage is a folder on disk, achievements
// and statistics requests are recorded, and the stats callback is delivered by
// RunCallbacks after RequestCurrentStats, like the real client does.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Steam.h"

namespace platform {

class SteamFileBackend : public SteamBackend {
 public:
  // cloudFolder holds one file per remote name (created on demand).
  explicit SteamFileBackend(std::string cloudFolder, uint32_t appId = 480);

  // What the double should report.
  bool initSucceeds = true;
  bool loggedOn = true;
  bool remoteStorage = true;
  int statsResult = 1;
  // Achievements Steam already holds at start.
  std::set<std::string> steamAchievements;
  // A remote read returns this many bytes fewer than asked (a short read).
  int shortReadBy = 0;
  // Remote files listed by name only, never stored on disk: names a hostile or broken
  // cloud could hold ("../x", "/etc/x") and their contents.
  std::map<std::string, std::string> listedOnly;

  // What the double has seen.
  int initCalls = 0;
  int shutdownCalls = 0;
  int statsRequests = 0;
  int runCallbacksCalls = 0;
  std::vector<std::string> achievementsSet;
  std::vector<std::string> writes;
  std::vector<std::string> deletes;
  std::vector<std::string> failedDeletes;
  bool callbackRegistered = false;

  const std::string& CloudFolder() const { return m_folder; }
  // Puts a file straight into the cloud (as if another machine had saved it).
  void PutRemoteFile(const std::string& name, const std::string& bytes);
  // The cloud copy of a name, or "" when there is none.
  std::string RemoteFile(const std::string& name) const;
  bool HasRemoteFile(const std::string& name) const;

  bool Init() override;
  void RunCallbacks() override;
  void Shutdown() override;
  void RegisterCallback(int id, UserStatsCallback callback) override;
  void UnregisterCallback(int id) override;
  uint32_t AppId() override { return m_appId; }
  bool HasUserStats() override { return true; }
  bool HasUser() override { return true; }
  bool LoggedOn() override { return loggedOn; }
  bool RequestCurrentStats() override;
  bool GetAchievement(const std::string& apiName, bool* achieved) override;
  bool SetAchievement(const std::string& apiName) override;
  bool HasRemoteStorage() override { return remoteStorage; }
  bool FileWrite(const std::string& name, const void* data, int size) override;
  int FileRead(const std::string& name, void* data, int size) override;
  bool FileDelete(const std::string& name) override;
  int GetFileSize(const std::string& name) override;
  int GetFileCount() override;
  std::string GetFileNameAndSize(int index, int* size) override;

 private:
  std::vector<std::string> RemoteNames() const;
  std::string m_folder;
  uint32_t m_appId;
  bool m_statsPending = false;
  UserStatsCallback m_callback;
};

}  // namespace platform
