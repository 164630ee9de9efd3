#include "http_transfer.hpp"

#include <curl/curl.h>

#include <mutex>

namespace kv::detail {

void EnsureCurlReady() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void TransferWatch::Apply(CURL* curl) {
  // Redirects are followed like a browser does, but never to another scheme
  // than http or https, and at most ten times.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // The proxy comes from the environment (http_proxy, https_proxy, no_proxy),
  // which is libcurl's default; nothing is set here.
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &TransferWatch::OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &TransferWatch::OnPrereq);
  curl_easy_setopt(curl, CURLOPT_PREREQDATA, this);
  Touch();
}

int TransferWatch::OnProgress(void* self, long long, long long, long long, long long) {
  auto* watch = static_cast<TransferWatch*>(self);
  if (watch->limits_.cancel && watch->limits_.cancel->load(std::memory_order_relaxed)) {
    watch->cancelled_ = true;
    return 1;
  }
  if (std::chrono::steady_clock::now() - watch->last_ > watch->limits_.stall_timeout) {
    watch->stalled_ = true;
    return 1;
  }
  return 0;
}

int TransferWatch::OnPrereq(void* self, char*, char*, int, int) {
  // The connect time-out covers the time up to here; the stall clock covers
  // the wait for the answer.
  static_cast<TransferWatch*>(self)->Touch();
  return CURL_PREREQFUNC_OK;
}

}  // namespace kv::detail
