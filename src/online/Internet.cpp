#include "online/Internet.h"

#include <cstdio>
#include <cstdlib>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"

namespace {
thread_local platform::HttpCancel* t_cancel = nullptr;
// Where ./play.sh and a plain start look for the shipped local server.
const char* const kLocalServer = "http://127.0.0.1:47800";

bool UsableAddress(const std::string& url) {
  if (url.compare(0, 7, "http://") != 0 || url.size() <= 7 || url.size() > 512) return false;
  for (char c : url)
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\\') return false;
  return true;
}

void LogError(const char* message, const std::string& detail) {
  char line[256];
  std::snprintf(line, sizeof(line), "IERROR:  %s [%s]", message, detail.c_str());
  DebugLog(line);
}
}  // namespace

size_t ReplyCap(ReplyKind kind) {
  switch (kind) {
    case ReplyKind::kSingle:
      return 16 * 1024;
    case ReplyKind::kList:
      return 1024 * 1024;
    case ReplyKind::kBinary:
      return 8 * 1024 * 1024;
  }
  return 16 * 1024;
}

void SetThreadRequestCancel(platform::HttpCancel* cancel) { t_cancel = cancel; }

SIM_Internet::SIM_Internet() : baseUrl_(ResolveServerAddress()) {}
SIM_Internet::~SIM_Internet() = default;

std::string SIM_Internet::ResolveServerAddress() {
  std::string url;
  if (const char* env = std::getenv("ZENTRAK_SERVER")) {
    url = env;
  } else {
    std::string root = GetUserFolder(USERFOLDER_ROOT);
    SettingsFile ini;
    if (!root.empty() && ini.Load("server", root + "/server.ini")) url = ini.GetString("url");
  }
  while (!url.empty() && url.back() == '/') url.pop_back();
  if (url.empty()) return kLocalServer;
  if (!UsableAddress(url)) {
    DebugLogF("IWARNING:  server address \"%.200s\" is not an http:// address; using %s", url.c_str(),
              kLocalServer);
    return kLocalServer;
  }
  return url;
}

bool SIM_Internet::Fetch(const std::string& serverPath, std::string& body, ReplyKind kind) {
  body.clear();
  platform::HttpOptions options = options_;
  options.maxReplyBytes = ReplyCap(kind);
  platform::HttpResult r = platform::HttpGet(baseUrl_ + "/" + serverPath, options, t_cancel);
  if (!r.ok) {
    LogError("Internet: HttpSendRequest() Failed", serverPath.substr(0, 120) + ": " + r.error);
    return false;
  }
  body.swap(r.body);
  return true;
}

bool SIM_Internet::DownloadFile(const std::string& serverPath, const std::string& localFile, bool overwrite,
                                ReplyKind kind) {
  DebugLog(serverPath.substr(0, 1000));
  if (!overwrite && FileExists(localFile)) {
    DebugLogF("IWARNING:  local copy found: %.400s", localFile.c_str());
    return false;
  }
  DebugLogF("SIM_Internet::DownloadFile(%.400s)", localFile.c_str());
  std::string body;
  if (!Fetch(serverPath, body, kind)) return false;
  if (t_cancel && t_cancel->Cancelled()) return false;
  if (!WriteFileAtomic(localFile, body)) {
    LogError("Failed writing local web copy", localFile);
    return false;
  }
  DebugLog("SIM_Internet::DownloadFile ends");
  return true;
}

bool SIM_Internet::CopyFileToServer(const std::string& serverPath, const void* data, size_t length) {
  DebugLogF("SIM_Internet::CopyFileToServer(%.256s)", serverPath.c_str());
  platform::HttpOptions options = options_;
  options.maxReplyBytes = ReplyCap(ReplyKind::kSingle);
  platform::HttpResult r = platform::HttpPost(baseUrl_ + "/" + serverPath, data, length, options, t_cancel);
  if (!r.ok) {
    LogError("HttpSendRequest Failed", r.error);
    return false;
  }
  DebugLog("CopyFileToServer ends");
  return true;
}

SIM_Internet& GetLink() { return ProcessWide<SIM_Internet>(); }
