// The signature check of a file while a download writes it: a thread of its
// own reads the file back through a handle of its own, never past the end the
// writer has published (ArchiveFile::End), and hashes what it read. Once the
// download is complete only the last bytes and the verdict are left to do, and
// what was checked is what is on the disk, not what went by in memory.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
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
  // of `signatureFile` over those bytes. Call once, after WritingEnded. Not
  // verified when the reading stopped early or could not read it all.
  SignatureCheck Finish(std::string_view signatureFile);

  // The bytes hashed so far; any thread.
  std::int64_t hashed() const { return hashed_.load(std::memory_order_acquire); }

 private:
  void Pump();
  bool Stopping() const;

  IncrementalSignatureCheck check_;
  const std::atomic<bool>* cancel_;
  const ArchiveFile* file_ = nullptr;
  std::unique_ptr<ArchiveReader> reader_;
  std::atomic<std::int64_t> hashed_{0};
  std::atomic<bool> ended_{false};  // the writer is done
  std::atomic<bool> stop_{false};   // the check is being torn down
  std::mutex mutex_;                // for the reader's naps only
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace kv
