#pragma once
// The game's one HTTP link to the game server: GET a server path into a local file, POST
// a byte buffer. Every reply is treated as hostile: each kind of reply has a size cap, a
// non-2xx, truncated or over-cap reply fails, and only a whole download replaces its
// target file. Requests made on a worker thread are abandoned at once when the worker is
// cancelled (see ThreadManager.h).
#include <cstddef>
#include <string>

#include "platform/Http.h"

// How large a reply may be, by what it holds.
enum class ReplyKind {
  kSingle,  // a script's one-line answer
  kList,    // a "#" list or an ini reply
  kBinary,  // a challenge package or a badge image
};
size_t ReplyCap(ReplyKind kind);

class SIM_Internet {
 public:
  SIM_Internet();
  virtual ~SIM_Internet();

  // The server address: ZENTRAK_SERVER, else `url` of section `server` in the user
  // folder's server.ini, else the local game server. Only "http://" is accepted.
  static std::string ResolveServerAddress();
  const std::string& BaseUrl() const { return baseUrl_; }
  void SetBaseUrl(const std::string& url) { baseUrl_ = url; }

  // GET of the server path (relative, with its query) into the local file. With
  // overwrite false an existing file is kept and nothing is fetched (false). The file is
  // replaced only by a whole 2xx body within the kind's cap.
  bool DownloadFile(const std::string& serverPath, const std::string& localFile, bool overwrite,
                    ReplyKind kind = ReplyKind::kList);
  // The same into memory (no file): for replies read at once.
  bool Fetch(const std::string& serverPath, std::string& body, ReplyKind kind = ReplyKind::kSingle);
  // POST of exactly `length` bytes; true when the server took it with a 2xx status.
  bool CopyFileToServer(const std::string& serverPath, const void* data, size_t length);

  // Time-outs of every transfer (tests shorten them).
  platform::HttpOptions& Options() { return options_; }

 private:
  std::string baseUrl_;
  platform::HttpOptions options_;
};

// The process-wide link.
SIM_Internet& GetLink();

// The cancel token of requests made on the calling thread (the runner sets it on its
// worker); null on other threads.
void SetThreadRequestCancel(platform::HttpCancel* cancel);
