// The file operations of a download, behind a small seam with one
// implementation per platform (archive_file_posix.cpp; a Win32 one with
// FlushFileBuffers and MoveFileExW later): open or create the local file,
// write it, make it durable, rename it over the archive, hold the archive's
// folder for one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace kv {

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
  // Puts the written bytes on the disk.
  bool Flush();
  // Renames this file over `target` (same folder) and makes the rename
  // durable. Only this file moves: when its name no longer leads to it,
  // nothing is renamed and the result is false.
  bool RenameOver(const std::filesystem::path& target);
  // Closes the file; false when the last writes failed on the way out.
  bool Close();

 private:
  ArchiveFile(std::intptr_t handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}

  std::intptr_t handle_;  // the platform's handle; -1 once closed
  std::filesystem::path path_;
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
