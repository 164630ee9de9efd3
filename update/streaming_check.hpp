// The signature check of a file while a download writes it: a thread of its
// own reads the file back through a handle of its own, never past the end the
// writer has published (ArchiveFile::End), and hashes what it read. Once the
// download is complete only the last bytes and the verdict are left to do, and
// what was checked is what is on the disk, not what went by in memory. All of
// the platform library's work (the key's import, the hash, the verdict) is
// done on that thread, which has ended once Finish returns, so nothing of the
// library's per-thread state stays with the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "archive_file.hpp"
#include "signature_check.hpp"

namespace kv {

class StreamingSignatureCheck {
 public:
  // `releaseKey` as IncrementalSignatureCheck takes it. While `cancel` is set
  // (the program is ending), nothing more is read.
  explicit StreamingSignatureCheck(std::string_view releaseKey, const std::atomic<bool>* cancel = nullptr);
  // Stops the reading and waits for it (at most one chunk).
  ~StreamingSignatureCheck();
  StreamingSignatureCheck(const StreamingSignatureCheck&) = delete;
  StreamingSignatureCheck& operator=(const StreamingSignatureCheck&) = delete;

  // Starts reading `file` from its first byte, once. `file` outlives the
  // check, and from now on its writer only appends to it.
  void Start(const ArchiveFile& file);
  // The writer is done: read on to its end, without waiting for more.
  void WritingEnded();
  // Waits until everything the writer wrote has been read, then the verdict
  // of `signatureFile` over those bytes. Call once. Not verified when the
  // reading stopped early or could not read it all.
  SignatureCheck Finish(std::string_view signatureFile);

  // The bytes hashed so far; any thread.
  std::int64_t hashed() const { return hashed_.load(std::memory_order_acquire); }

 private:
  // The reading thread's work: the hash as the bytes come, then the verdict
  // once the signature file is given.
  void Run();
  void Pump(IncrementalSignatureCheck& check);
  bool Stopping() const;

  const std::string releaseKey_;
  const std::atomic<bool>* cancel_;
  const ArchiveFile* file_ = nullptr;
  std::unique_ptr<ArchiveReader> reader_;
  std::atomic<std::int64_t> hashed_{0};
  std::atomic<bool> ended_{false};  // the writer is done
  std::atomic<bool> stop_{false};   // the check is being torn down
  std::mutex mutex_;                // guards signature_ and the reader's naps
  std::condition_variable wake_;
  std::optional<std::string> signature_;  // given by Finish
  SignatureCheck verdict_{SignatureVerdict::kUnreadable, "the check did not run"};
  std::thread thread_;
};

}  // namespace kv
