#include "platform/Steam.h"

namespace platform {
namespace {

// No Steam client on this platform: the game runs without it.
class NoSteamBackend : public SteamBackend {
 public:
  explicit NoSteamBackend(std::function<void(const std::string&)> log) : m_log(std::move(log)) {}

  bool Init() override {
    if (m_log) m_log("Steam client not running");
    return false;
  }
  void RunCallbacks() override {}
  void Shutdown() override {}
  void RegisterCallback(int, UserStatsCallback) override {}
  void UnregisterCallback(int) override {}
  uint32_t AppId() override { return 0; }
  bool HasUserStats() override { return false; }
  bool HasUser() override { return false; }
  bool LoggedOn() override { return false; }
  bool RequestCurrentStats() override { return false; }
  bool GetAchievement(const std::string&, bool* achieved) override {
    if (achieved) *achieved = false;
    return false;
  }
  bool SetAchievement(const std::string&) override { return false; }
  bool HasRemoteStorage() override { return false; }
  bool FileWrite(const std::string&, const void*, int) override { return false; }
  int FileRead(const std::string&, void*, int) override { return 0; }
  bool FileDelete(const std::string&) override { return false; }
  int GetFileSize(const std::string&) override { return 0; }
  int GetFileCount() override { return 0; }
  std::string GetFileNameAndSize(int, int* size) override {
    if (size) *size = 0;
    return std::string();
  }

 private:
  std::function<void(const std::string&)> m_log;
};

}  // namespace

std::unique_ptr<SteamBackend> CreateDefaultSteamBackend(std::function<void(const std::string&)> log) {
  return std::make_unique<NoSteamBackend>(std::move(log));
}

}  // namespace platform
