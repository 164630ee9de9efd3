#include "streaming_check.hpp"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

namespace kv {
namespace {

// How long the reader naps once it has caught up with the writer: at the
// download speeds of a local network a few MiB, read in a few milliseconds.
constexpr std::chrono::milliseconds kCaughtUpNap{2};

}  // namespace

StreamingSignatureCheck::StreamingSignatureCheck(std::string_view releaseKey, const std::atomic<bool>* cancel)
    : releaseKey_(releaseKey), cancel_(cancel) {}

StreamingSignatureCheck::~StreamingSignatureCheck() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void StreamingSignatureCheck::Start(const ArchiveFile& file) {
  if (file_ != nullptr) return;
  file_ = &file;
  reader_ = file.OpenReader();
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: Finish does it all.
  }
}

void StreamingSignatureCheck::WritingEnded() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  wake_.notify_all();
}

bool StreamingSignatureCheck::Stopping() const {
  return stop_.load(std::memory_order_relaxed) || (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed));
}

void StreamingSignatureCheck::Run() {
  IncrementalSignatureCheck check(releaseKey_);
  if (!reader_) check.ReadFailed();
  if (check.ok()) Pump(check);
  // Stopped early (cancelled, a failed read): what was hashed is not all of it.
  if (file_ == nullptr || hashed() != file_->End()) check.ReadFailed();
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return signature_.has_value() || stop_; });
  if (!signature_) return;
  verdict_ = check.Finish(*signature_);
}

void StreamingSignatureCheck::Pump(IncrementalSignatureCheck& check) {
  std::vector<std::uint8_t> buffer(kSignatureCheckChunk);
  std::int64_t at = hashed_.load(std::memory_order_relaxed);
  while (!Stopping()) {
    // The flag before the end: once the writer is done, the end read after
    // it is the last one.
    const bool ended = ended_.load(std::memory_order_acquire);
    const std::int64_t end = file_->End();
    if (end < at) {
      // Cut below what was read: the bytes hashed are no longer the file's.
      check.ReadFailed();
      return;
    }
    if (end == at) {
      if (ended) return;
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, kCaughtUpNap, [this] { return ended_ || stop_; });
      continue;
    }
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(end - at, static_cast<std::int64_t>(buffer.size())));
    const std::ptrdiff_t got = reader_->ReadAt(at, std::span(buffer).first(want));
    // Nothing where the writer says bytes are: the file is not what it wrote.
    if (got <= 0) {
      check.ReadFailed();
      return;
    }
    if (!check.Add(std::span(buffer).first(static_cast<std::size_t>(got)))) return;
    at += got;
    hashed_.store(at, std::memory_order_release);
  }
}

SignatureCheck StreamingSignatureCheck::Finish(std::string_view signatureFile) {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
    signature_.emplace(signatureFile);
  }
  wake_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  } else if (file_ != nullptr) {
    Run();
  }
  return verdict_;
}

}  // namespace kv
