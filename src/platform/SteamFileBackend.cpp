#include "platform/SteamFileBackend.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace platform {

SteamFileBackend::SteamFileBackend(std::string cloudFolder, uint32_t appId)
    : m_folder(std::move(cloudFolder)), m_appId(appId) {}

void SteamFileBackend::PutRemoteFile(const std::string& name, const std::string& bytes) {
  fs::path p = fs::path(m_folder) / name;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string SteamFileBackend::RemoteFile(const std::string& name) const {
  auto listed = listedOnly.find(name);
  if (listed != listedOnly.end()) return listed->second;
  std::string bytes;
  if (!ReadRegularFile((fs::path(m_folder) / name).string(), &bytes)) return std::string();
  return bytes;
}

bool SteamFileBackend::HasRemoteFile(const std::string& name) const {
  std::error_code ec;
  return fs::is_regular_file(fs::path(m_folder) / name, ec);
}

bool SteamFileBackend::Init() {
  ++initCalls;
  return initSucceeds;
}

void SteamFileBackend::RunCallbacks() {
  ++runCallbacksCalls;
  if (m_statsPending) {
    m_statsPending = false;
    if (m_callback) {
      UserStatsReceived data;
      data.gameId = m_appId;
      data.result = statsResult;
      data.userId = 76561197960265728ull;
      m_callback(data);
    }
  }
}

void SteamFileBackend::Shutdown() { ++shutdownCalls; }

void SteamFileBackend::RegisterCallback(int id, UserStatsCallback callback) {
  if (id != kUserStatsReceivedCallbackId) return;
  m_callback = std::move(callback);
  callbackRegistered = true;
}

void SteamFileBackend::UnregisterCallback(int id) {
  if (id != kUserStatsReceivedCallbackId) return;
  m_callback = nullptr;
  callbackRegistered = false;
}

bool SteamFileBackend::RequestCurrentStats() {
  ++statsRequests;
  m_statsPending = true;
  return true;
}

bool SteamFileBackend::GetAchievement(const std::string& apiName, bool* achieved) {
  if (achieved) *achieved = steamAchievements.count(apiName) > 0;
  return true;
}

bool SteamFileBackend::SetAchievement(const std::string& apiName) {
  achievementsSet.push_back(apiName);
  steamAchievements.insert(apiName);
  return true;
}

bool SteamFileBackend::FileWrite(const std::string& name, const void* data, int size) {
  if (!remoteStorage || name.empty() || size < 0) return false;
  fs::path p = fs::path(m_folder) / name;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(static_cast<const char*>(data), size);
  if (!out) return false;
  writes.push_back(name);
  return true;
}

int SteamFileBackend::FileRead(const std::string& name, void* data, int size) {
  std::string bytes = RemoteFile(name);
  int n = std::min<int>(size, static_cast<int>(bytes.size()));
  n = std::max(0, n - shortReadBy);
  if (n > 0) std::memcpy(data, bytes.data(), static_cast<size_t>(n));
  return n;
}

bool SteamFileBackend::FileDelete(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::path(m_folder) / name;
  if (!name.empty() && fs::is_regular_file(p, ec) && fs::remove(p, ec)) {
    deletes.push_back(name);
    return true;
  }
  failedDeletes.push_back(name);
  return false;
}

int SteamFileBackend::GetFileSize(const std::string& name) {
  auto listed = listedOnly.find(name);
  if (listed != listedOnly.end()) return static_cast<int>(listed->second.size());
  std::error_code ec;
  auto size = fs::file_size(fs::path(m_folder) / name, ec);
  return ec ? 0 : static_cast<int>(size);
}

std::vector<std::string> SteamFileBackend::RemoteNames() const {
  std::vector<std::string> names;
  std::error_code ec;
  if (fs::is_directory(m_folder, ec)) {
    for (auto it = fs::recursive_directory_iterator(m_folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code fileEc;
      if (it->is_regular_file(fileEc))
        names.push_back(fs::relative(it->path(), m_folder, fileEc).generic_string());
    }
  }
  for (const auto& kv : listedOnly) names.push_back(kv.first);
  std::sort(names.begin(), names.end());
  return names;
}

int SteamFileBackend::GetFileCount() { return remoteStorage ? static_cast<int>(RemoteNames().size()) : 0; }

std::string SteamFileBackend::GetFileNameAndSize(int index, int* size) {
  std::vector<std::string> names = RemoteNames();
  if (index < 0 || index >= static_cast<int>(names.size())) {
    if (size) *size = 0;
    return std::string();
  }
  if (size) *size = GetFileSize(names[static_cast<size_t>(index)]);
  return names[static_cast<size_t>(index)];
}

}  // namespace platform
