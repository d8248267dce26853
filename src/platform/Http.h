#pragma once
// Plain HTTP transfers (libcurl): a GET whose body is collected in memory and a POST of a
// byte buffer. Every transfer has time-outs and a size cap checked as bytes arrive, runs
// on its own multi handle and can be woken and abandoned at once from another thread
// through an HttpCancel. Only "http://" addresses, no redirects, no cookies.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

namespace platform {

// Shared between the thread running transfers and the one that may cancel them. Once
// cancelled, the running transfer ends within a few milliseconds and every later
// transfer given this token fails at once.
class HttpCancel {
 public:
  HttpCancel() = default;
  HttpCancel(const HttpCancel&) = delete;
  HttpCancel& operator=(const HttpCancel&) = delete;

  void Cancel();
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

 private:
  friend class HttpTransferScope;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  void* multi_ = nullptr;  // the running transfer's multi handle, under mutex_
};

struct HttpOptions {
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 20000;
  // Bodies longer than this fail the transfer as soon as the excess arrives.
  size_t maxReplyBytes = 1 << 20;
  const char* userAgent = "WinInetGet/0.1";
};

struct HttpResult {
  bool ok = false;  // the whole body arrived with a 2xx status
  long status = 0;  // HTTP status, 0 when none arrived
  bool cancelled = false;
  bool tooLarge = false;
  std::string error;  // why it failed, for the log
  std::string body;   // the reply body (GET; POST bodies are read but capped too)
};

// GET of an absolute "http://host:port/path?query" address.
HttpResult HttpGet(const std::string& url, const HttpOptions& options, HttpCancel* cancel);
// POST of exactly `length` bytes with "Content-Type: application/octet-stream".
HttpResult HttpPost(const std::string& url, const void* data, size_t length, const HttpOptions& options,
                    HttpCancel* cancel);

}  // namespace platform
