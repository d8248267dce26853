#include "app/SteamGlue.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "app/Game.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "platform/Files.h"
#include "platform/Window.h"

namespace {

// Cloud copies are player files (statistics, designs, scenarios, light maps); anything
// larger is not one of ours and is not read into memory.
constexpr int64_t kMaxCloudFileBytes = 64 * 1024 * 1024;
constexpr size_t kMaxRemoteNameLength = 2047;
// Folder trees are shallow; a deeper walk means a link loop.
constexpr int kMaxTreeDepth = 32;

std::function<std::vector<SteamData::LocalAchievement>()>& AchievementSource() {
  static std::function<std::vector<SteamData::LocalAchievement>()> source;
  return source;
}

}  // namespace

SteamData::SteamData()
    : SteamData(platform::CreateDefaultSteamBackend([](const std::string& l) { DebugLog(l); })) {}

SteamData::SteamData(std::unique_ptr<platform::SteamBackend> backend) : m_backend(std::move(backend)) {
  RegisterStatsCallback();
}

SteamData::~SteamData() {
  if (m_callbackRegistered && m_backend)
    m_backend->UnregisterCallback(platform::kUserStatsReceivedCallbackId);
}

void SteamData::RegisterStatsCallback() {
  if (!m_backend) return;
  if (m_callbackRegistered) m_backend->UnregisterCallback(platform::kUserStatsReceivedCallbackId);
  m_backend->RegisterCallback(platform::kUserStatsReceivedCallbackId,
                              [this](const platform::UserStatsReceived& d) { OnUserStatsReceived(d); });
  m_callbackRegistered = true;
}

void SteamData::Init() {
  DebugLog("Attempting to initialise steam");
  if (!m_backend || !m_backend->Init()) {
    m_running = false;
    DebugLog("Steam initialisation failed");
    return;
  }
  m_running = true;
  DebugLog("Steam initialisation success");
  m_appId = m_backend->AppId();
  if (!m_backend->HasUserStats() || !m_backend->HasUser()) return;
  if (!m_backend->LoggedOn()) return;
  DebugLog("Requesting steam stats...");
  m_backend->RequestCurrentStats();
  DebugLog("...Steam stats requested");
  PullRemoteFiles();
}

void SteamData::SetAchievement(const char* apiName) {
  if (!apiName || !*apiName) return;
  if (!m_running) {
    DebugLogF("Steam not running: achievement [%s] not sent", apiName);
    return;
  }
  m_backend->SetAchievement(apiName);
}

std::string SteamData::Root() const {
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = platform::UserFolderRoot();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string SteamData::RemoteName(const std::string& root, const std::string& localPath) {
  std::string path = NormalizeSlashes(localPath);
  std::string base = NormalizeSlashes(root);
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base.empty() || path.size() <= base.size() + 1) return std::string();
  if (path.compare(0, base.size(), base) != 0 || path[base.size()] != '/') return std::string();
  return path.substr(base.size() + 1);
}

bool SteamData::IsSafeRemoteName(const std::string& name) {
  if (name.empty() || name.size() > kMaxRemoteNameLength) return false;
  if (name[0] == '/' || name[0] == '\\') return false;
  std::string part;
  std::string normal = NormalizeSlashes(name);
  std::stringstream ss(normal);
  while (std::getline(ss, part, '/')) {
    if (part.empty() || part == "." || part == "..") return false;
    for (unsigned char c : part)
      if (c < 32 || c == 127) return false;
  }
  return normal.back() != '/';
}

std::string SteamData::CloudTarget(const char* localPath, const char* action) const {
  if (!localPath) return std::string();
  if (!m_remoteStorage) {
    DebugLogF("Steam cloud not available: no %s of [%s]", action, localPath);
    return std::string();
  }
  std::string remote = RemoteName(Root(), localPath);
  // Only files of the user folder have a cloud copy; anything else is never sent.
  if (remote.empty()) DebugLogF("Cloud %s refused, not a user file: [%s]", action, localPath);
  return remote;
}

void SteamData::CloudSynchTo(const char* localPath) {
  const std::string remote = CloudTarget(localPath, "synch");
  if (remote.empty()) return;
  DebugLogF("Attempting cloud synch to: [%s]", remote.c_str());
  std::vector<char> data;
  std::string why;
  if (!platform::ReadRegularFile(localPath, &data, kMaxCloudFileBytes, &why)) {
    if (why.rfind("file too large", 0) == 0)
      DebugLogF("Cloud synch file too large: [%s]", localPath);
    else
      DebugLogF("Cloud synch file open failure: [%s] (%s)", localPath, why.c_str());
    return;
  }
  const int64_t size = static_cast<int64_t>(data.size());
  if (m_backend->FileWrite(remote, data.data(), static_cast<int>(size)))
    DebugLog("Remote storage write success");
  else
    DebugLog("Failed writing remote storage");
}

void SteamData::CloudDelete(const char* localPath) {
  const std::string remote = CloudTarget(localPath, "deletion");
  if (remote.empty()) return;
  DebugLogF("Attempting cloud deletion: [%s]", remote.c_str());
  if (m_backend->FileDelete(remote))
    DebugLog("Remote storage delete success");
  else
    DebugLog("Remote storage delete failure");
}

namespace {
void DeleteTree(SteamData& steam, const std::string& folder, int depth) {
  if (depth > kMaxTreeDepth) return;
  for (const std::string& file : ListFiles(folder + "/*.*", true)) {
    if (DirectoryExists(file)) continue;  // the listing holds folders too
    steam.CloudDelete(file.c_str());
  }
  for (const std::string& sub : ListFolders(folder + "/*.*", true)) DeleteTree(steam, sub, depth + 1);
  steam.CloudDelete(folder.c_str());
}
}  // namespace

void SteamData::CloudDeleteTree(const char* localFolder) {
  if (!localFolder) return;
  if (!m_remoteStorage) {
    DebugLogF("Steam cloud not available: no deletion of [%s]", localFolder);
    return;
  }
  std::string folder = NormalizeSlashes(localFolder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  DeleteTree(*this, folder, 0);
}

void SteamData::PullRemoteFiles() {
  if (!m_running || !m_backend->HasRemoteStorage()) return;
  m_remoteStorage = true;
  const int count = m_backend->GetFileCount();
  for (int i = 0; i < count; ++i) {
    int size = 0;
    // A name longer than the name buffer is not cut short: a cut name would read and
    // write some other file (or an empty one). CloudSynchFrom refuses it whole.
    const std::string name = m_backend->GetFileNameAndSize(i, &size);
    CloudSynchFrom(name.c_str());
  }
}

void SteamData::CloudSynchFrom(const char* remoteName) {
  if (!remoteName || !m_remoteStorage) return;
  const std::string name = remoteName;
  DebugLogF("Attempting cloud synch from: [%s]", remoteName);
  // A remote name becomes a path below the user folder: it must stay there.
  if (!IsSafeRemoteName(name)) {
    DebugLogF("Cloud synch refused, unsafe remote name: [%s]", remoteName);
    return;
  }
  const int size = m_backend->GetFileSize(name);
  if (size < 0 || size > kMaxCloudFileBytes) {
    DebugLog("Cloud synch failure");
    return;
  }
  std::string data(static_cast<size_t>(size), '\0');
  const int got = size > 0 ? m_backend->FileRead(name, &data[0], size) : 0;
  if (got != size) {
    // A short read would replace the player's file with a broken one: keep the local copy.
    DebugLogF("Cloud synch failure: read %d of %d bytes", got, size);
    return;
  }
  const std::string local = Root() + "/" + NormalizeSlashes(name);
  const size_t slash = local.find_last_of('/');
  const std::string holder = local.substr(0, slash);
  if (!TryEnsureDirectoryExists(holder) || !WriteFileAtomic(local, data)) {
    DebugLog("Cloud synch failure");
    return;
  }
  DebugLog("Cloud synch success");
  if (holder.find("bitmaps") != std::string::npos) RegisterTextureFolder(holder);
}

void SteamData::OnUserStatsReceived(const platform::UserStatsReceived& data) {
  // Stats only come from a running client; anything else is not ours to trust.
  if (!m_running || data.gameId != m_appId) return;
  if (data.result != 1) {
    DebugLogF("RequestStats - failed, %d\n", data.result);
    return;
  }
  DebugLog("Received stats and achievements from Steam\n");
  m_statsReceived = true;
  if (!AchievementSource()) return;
  for (const LocalAchievement& a : AchievementSource()()) {
    bool achieved = false;
    m_backend->GetAchievement(a.apiName, &achieved);
    if (a.unlocked && !achieved) SetAchievement(a.apiName.c_str());
  }
}

void SteamData::SetAchievementSource(std::function<std::vector<LocalAchievement>()> source) {
  AchievementSource() = std::move(source);
}

void SteamData::RunCallbacks() {
  if (m_running) m_backend->RunCallbacks();
}

void SteamData::Shutdown() {
  if (!m_running) return;
  m_backend->Shutdown();
  m_running = false;
  m_remoteStorage = false;
}

SteamData& GetSteamData() { return ProcessWide<SteamData>(); }

SteamData& InstallSteamData(std::unique_ptr<platform::SteamBackend> backend) {
  return *ReplaceProcessWide(std::make_unique<SteamData>(std::move(backend)));
}
