#pragma once
// The calls the game makes of the Steam client, behind an interface. The default back
// end reports that Steam is not running, so the game runs without it; a file-backed
// back end (platform/SteamFileBackend.h) stands in for the client in tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The user-statistics-received notification (callback id 1101).
constexpr int kUserStatsReceivedCallbackId = 1101;
struct UserStatsReceived {
  uint64_t gameId = 0;
  int result = 0;  // 1 is OK
  uint64_t userId = 0;
};
using UserStatsCallback = std::function<void(const UserStatsReceived&)>;

class SteamBackend {
 public:
  virtual ~SteamBackend() = default;

  // Starts the client API; false when no client is running or it refuses.
  virtual bool Init() = 0;
  virtual void RunCallbacks() = 0;
  virtual void Shutdown() = 0;
  virtual void RegisterCallback(int id, UserStatsCallback callback) = 0;
  virtual void UnregisterCallback(int id) = 0;

  virtual uint32_t AppId() = 0;
  virtual bool HasUserStats() = 0;
  virtual bool HasUser() = 0;
  virtual bool LoggedOn() = 0;
  virtual bool RequestCurrentStats() = 0;
  // False when the call failed; *achieved tells whether Steam holds it.
  virtual bool GetAchievement(const std::string& apiName, bool* achieved) = 0;
  virtual bool SetAchievement(const std::string& apiName) = 0;

  // Remote storage (the cloud); names are paths relative to the user folder.
  virtual bool HasRemoteStorage() = 0;
  virtual bool FileWrite(const std::string& name, const void* data, int size) = 0;
  // Bytes read (at most size), or a number below size on failure.
  virtual int FileRead(const std::string& name, void* data, int size) = 0;
  virtual bool FileDelete(const std::string& name) = 0;
  virtual int GetFileSize(const std::string& name) = 0;
  virtual int GetFileCount() = 0;
  virtual std::string GetFileNameAndSize(int index, int* size) = 0;
};

// The back end used by the game: no Steam client on this platform. Every call is a
// no-op that logs once (through the given sink) and reports failure.
std::unique_ptr<SteamBackend> CreateDefaultSteamBackend(std::function<void(const std::string&)> log);

}  // namespace platform
