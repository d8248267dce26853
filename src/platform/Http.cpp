#include "platform/Http.h"

#include <curl/curl.h>

#include <mutex>

namespace platform {

namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string* body;
  size_t cap;
  bool tooLarge = false;
  HttpCancel* cancel;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  size_t n = size * count;
  if (sink->cancel && sink->cancel->Cancelled()) return 0;
  // Our own cap: a body of unknown length is not held to CURLOPT_MAXFILESIZE.
  if (sink->body->size() + n > sink->cap) {
    sink->tooLarge = true;
    return 0;
  }
  sink->body->append(data, n);
  return n;
}

}  // namespace

// Publishes the running transfer's multi handle to the cancel token for its lifetime.
class HttpTransferScope {
 public:
  HttpTransferScope(HttpCancel* cancel, CURLM* multi) : cancel_(cancel) {
    if (!cancel_) return;
    std::lock_guard<std::mutex> lock(cancel_->mutex_);
    cancel_->multi_ = multi;
  }
  ~HttpTransferScope() {
    if (!cancel_) return;
    std::lock_guard<std::mutex> lock(cancel_->mutex_);
    cancel_->multi_ = nullptr;
  }

 private:
  HttpCancel* cancel_;
};

void HttpCancel::Cancel() {
  cancelled_.store(true, std::memory_order_release);
  std::lock_guard<std::mutex> lock(mutex_);
  if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

namespace {

HttpResult Run(const std::string& url, const void* postData, size_t postLength, bool post,
               const HttpOptions& options, HttpCancel* cancel) {
  HttpResult result;
  if (cancel && cancel->Cancelled()) {
    result.cancelled = true;
    result.error = "cancelled";
    return result;
  }
  if (url.compare(0, 7, "http://") != 0) {
    result.error = "only http:// addresses are used";
    return result;
  }
  GlobalInit();
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  if (!easy || !multi) {
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    result.error = "libcurl could not start a transfer";
    return result;
  }
  Sink sink{&result.body, options.maxReplyBytes, false, cancel};
  char errorBuffer[CURL_ERROR_SIZE] = {0};
  curl_slist* headers = nullptr;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(easy, CURLOPT_USERAGENT, options.userAgent);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
  if (post) {
    headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
    headers = curl_slist_append(headers, "Accept: */*");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, postLength ? postData : "");
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postLength));
  }
  curl_multi_add_handle(multi, easy);
  CURLcode code = CURLE_OK;
  bool finished = false;
  {
    HttpTransferScope scope(cancel, multi);
    while (!finished) {
      if (cancel && cancel->Cancelled()) break;
      int running = 0;
      CURLMcode mc = curl_multi_perform(multi, &running);
      if (mc != CURLM_OK) {
        result.error = curl_multi_strerror(mc);
        break;
      }
      int queued = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg == CURLMSG_DONE) {
          code = msg->data.result;
          finished = true;
        }
      }
      if (finished || running == 0) {
        finished = true;
        break;
      }
      // Woken early by a cancel (curl_multi_wakeup) or by socket activity.
      curl_multi_poll(multi, nullptr, 0, 200, nullptr);
    }
  }
  if (cancel && cancel->Cancelled()) {
    result.cancelled = true;
    result.error = "cancelled";
  } else if (finished) {
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    if (sink.tooLarge) {
      result.tooLarge = true;
      result.error = "reply larger than " + std::to_string(options.maxReplyBytes) + " bytes";
    } else if (code != CURLE_OK) {
      result.error = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    } else if (result.status < 200 || result.status > 299) {
      result.error = "HTTP status " + std::to_string(result.status);
    } else {
      result.ok = true;
    }
  }
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  if (headers) curl_slist_free_all(headers);
  if (!result.ok && !post) result.body.clear();
  return result;
}

}  // namespace

HttpResult HttpGet(const std::string& url, const HttpOptions& options, HttpCancel* cancel) {
  return Run(url, nullptr, 0, false, options, cancel);
}

HttpResult HttpPost(const std::string& url, const void* data, size_t length, const HttpOptions& options,
                    HttpCancel* cancel) {
  return Run(url, data, length, true, options, cancel);
}

}  // namespace platform
