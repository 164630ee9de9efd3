// The download's file operations on POSIX: descriptors, fsync, rename.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "archive_file.hpp"

namespace kv {
namespace {

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// fsync of the folder that holds `path`, so a rename in it survives a crash.
bool SyncFolderOf(const std::filesystem::path& path) {
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

}  // namespace

std::unique_ptr<ArchiveFile> ArchiveFile::Open(const std::filesystem::path& path, bool truncate) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0644);
  if (fd < 0) return nullptr;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<ArchiveFile>(new ArchiveFile(fd, path, end));
}

std::unique_ptr<ArchiveFile> ArchiveFile::CreateOwn(const std::filesystem::path& path) {
  // Unlinking a link removes the link, not what it points to.
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::unique_ptr<ArchiveFile>(new ArchiveFile(fd, path, 0));
}

ArchiveFile::~ArchiveFile() { Close(); }

std::optional<std::int64_t> ArchiveFile::Size() const {
  struct stat st {};
  if (handle_ < 0 || ::fstat(Fd(handle_), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_size);
}

bool ArchiveFile::Resize(std::int64_t length) {
  struct stat st {};
  if (handle_ < 0 || ::fstat(Fd(handle_), &st) != 0) return false;
  // A device (a test's /dev/full) has no length to cut.
  if (S_ISREG(st.st_mode) && ::ftruncate(Fd(handle_), static_cast<off_t>(length)) != 0) return false;
  if (::lseek(Fd(handle_), static_cast<off_t>(length), SEEK_SET) != static_cast<off_t>(length)) return false;
  end_.store(length, std::memory_order_release);
  return true;
}

bool ArchiveFile::Write(const char* data, std::size_t n) {
  if (handle_ < 0) return false;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(Fd(handle_), data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<std::size_t>(w);
  }
  // Published once the whole chunk is in the file: a reader never sees a
  // half-written one as written.
  end_.store(end_.load(std::memory_order_relaxed) + static_cast<std::int64_t>(n), std::memory_order_release);
  return true;
}

std::unique_ptr<ArchiveReader> ArchiveFile::OpenReader() const {
  if (handle_ < 0) return nullptr;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Opened by name, so it must be the very file this one writes.
  struct stat mine {}, opened {};
  if (::fstat(Fd(handle_), &mine) != 0 || ::fstat(fd, &opened) != 0 || mine.st_dev != opened.st_dev ||
      mine.st_ino != opened.st_ino) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<ArchiveReader>(new ArchiveReader(fd));
}

ArchiveReader::~ArchiveReader() { ::close(Fd(handle_)); }

std::ptrdiff_t ArchiveReader::ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer) {
  for (;;) {
    const ssize_t n = ::pread(Fd(handle_), buffer.data(), buffer.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool ArchiveFile::Flush() { return handle_ >= 0 && ::fsync(Fd(handle_)) == 0; }

bool ArchiveFile::RenameOver(const std::filesystem::path& target) {
  struct stat mine {}, named {};
  if (handle_ < 0 || ::fstat(Fd(handle_), &mine) != 0 || ::lstat(path_.c_str(), &named) != 0) return false;
  if (mine.st_dev != named.st_dev || mine.st_ino != named.st_ino) return false;
  if (::rename(path_.c_str(), target.c_str()) != 0) return false;
  path_ = target;
  SyncFolderOf(target);
  return true;
}

bool ArchiveFile::CloseAndRemove() {
  struct stat mine {}, named {};
  const bool own = handle_ >= 0 && ::fstat(Fd(handle_), &mine) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
                   mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
  const bool removed = own && ::unlink(path_.c_str()) == 0;
  Close();
  return removed;
}

bool ArchiveFile::Close() {
  if (handle_ < 0) return true;
  const int rc = ::close(Fd(handle_));
  handle_ = -1;
  return rc == 0;
}

std::unique_ptr<FolderLock> FolderLock::TryTake(const std::filesystem::path& dir) {
  // An flock on the folder itself: no lock file to leave behind, and every
  // open of the folder is a holder of its own, threads of one process too.
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<FolderLock>(new FolderLock(fd));
}

FolderLock::~FolderLock() { ::close(Fd(handle_)); }

bool FolderIsWritable(const std::filesystem::path& dir) {
  static std::atomic<unsigned> serial{0};
  const std::filesystem::path probe =
      dir / (".kelvaro-probe-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace kv
