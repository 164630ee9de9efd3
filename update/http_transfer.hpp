// What the version fetch and the downloader share on top of libcurl: one
// library start per program run, the rules every transfer follows (http and
// https only, at most 10 redirects, the proxy of the environment, a connect
// time-out and a time-out for a transfer that receives nothing) and a way to
// abort a transfer from another thread.
#pragma once

#include <atomic>
#include <chrono>

typedef void CURL;

namespace kv {

struct TransferLimits {
  // Longest wait for a connection to be set up.
  std::chrono::milliseconds connect_timeout{60000};
  // Longest time a transfer may go on without receiving anything.
  std::chrono::milliseconds stall_timeout{60000};
  // When set and true, the transfer ends at its next progress check (at least
  // once a second, also while waiting for data).
  const std::atomic<bool>* cancel = nullptr;
};

namespace detail {

// Watches one transfer for the stall time-out and the cancel flag.
class TransferWatch {
 public:
  explicit TransferWatch(const TransferLimits& limits) : limits_(limits) {}

  // Something arrived (a header line or body bytes), or a new connection is
  // ready to send its request: the stall clock starts again.
  void Touch() { last_ = std::chrono::steady_clock::now(); }

  bool Stalled() const { return stalled_; }
  bool Cancelled() const { return cancelled_; }

  // Installs the options shared by every transfer on `curl`, with this watch as
  // the progress callback's data. The watch must outlive the transfer.
  void Apply(CURL* curl);

 private:
  static int OnProgress(void* self, long long, long long, long long, long long);
  static int OnPrereq(void* self, char*, char*, int, int);

  TransferLimits limits_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  bool stalled_ = false;
  bool cancelled_ = false;
};

// Starts libcurl once per program run; thread-safe.
void EnsureCurlReady();

}  // namespace detail
}  // namespace kv
