// The file operations of a download, behind a small seam with one
// implementation per platform (archive_file_posix.cpp, archive_file_win.cpp):
// open or create the local file,
// write it, read it back on another thread while it is written, make it
// durable, rename it over the archive or remove it, hold the archive's folder
// for one run.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace kv {

// A read-only handle of its own on an ArchiveFile's file, for reading the
// file back (on another thread) while it is being written.
class ArchiveReader {
 public:
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Reads up to buffer.size() bytes from `offset` on: their count, 0 at the
  // end of the file, negative after an error. Moves no writer's position.
  std::ptrdiff_t ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer);

 private:
  friend class ArchiveFile;
  explicit ArchiveReader(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

class ArchiveFile {
 public:
  // Opens `path` for writing, creating it when missing; unless `truncate`,
  // its bytes are kept and writes go on at its end. Null when it cannot be
  // opened.
  static std::unique_ptr<ArchiveFile> Open(const std::filesystem::path& path, bool truncate);
  // Creates the run's own file at `path`: whatever stands at that name (a
  // file left by an earlier run, a link) is removed, never followed, and the
  // new file is created exclusively. Null when that fails.
  static std::unique_ptr<ArchiveFile> CreateOwn(const std::filesystem::path& path);

  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The file's length in bytes, as the file system has it.
  std::optional<std::int64_t> Size() const;
  // Cuts or extends the file to `length` bytes; writes go on from there.
  bool Resize(std::int64_t length);
  // Writes all `n` bytes at the current position.
  bool Write(const char* data, std::size_t n);
  // Where the next write goes: the end of what Write and Resize have put in
  // the file. Every byte before it is in the file for readers on other
  // handles. May be read on any thread while another one writes.
  std::int64_t End() const { return end_.load(std::memory_order_acquire); }
  // A read-only handle of its own on this very file (never on another one
  // that took its name meanwhile); null when it cannot be had.
  std::unique_ptr<ArchiveReader> OpenReader() const;
  // Puts the written bytes on the disk.
  bool Flush();
  // Renames this file over `target` (same folder) and makes the rename
  // durable. Only this file moves: when its name no longer leads to it,
  // nothing is renamed and the result is false.
  bool RenameOver(const std::filesystem::path& target);
  // Closes the file and removes it, but only while its name still leads to
  // it: a file put at that name by someone else stays.
  bool CloseAndRemove();
  // Closes the file; false when the last writes failed on the way out.
  bool Close();

 private:
  ArchiveFile(std::intptr_t handle, std::filesystem::path path, std::int64_t end)
      : handle_(handle), path_(std::move(path)), end_(end) {}

  std::intptr_t handle_;  // the platform's handle; -1 once closed
  std::filesystem::path path_;
  std::atomic<std::int64_t> end_;  // see End(); stored by the writing thread only
};

// Held by one run while it downloads into a folder: no other run, in this
// process or another, can take it meanwhile. Released with the object, and by
// the system when the process ends, so a run that crashed blocks nobody.
class FolderLock {
 public:
  // Null when another run holds the folder or it cannot be opened.
  static std::unique_ptr<FolderLock> TryTake(const std::filesystem::path& dir);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  explicit FolderLock(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// Whether a file can be created in `dir` (tried, not guessed from the mode).
bool FolderIsWritable(const std::filesystem::path& dir);

}  // namespace kv
