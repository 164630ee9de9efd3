#include "archive.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>

namespace kv {
namespace {

// fsync of a file or folder; false when it cannot be opened or synced.
bool Sync(const std::filesystem::path& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

}  // namespace

std::filesystem::path ArchiveFileName() { return std::filesystem::path(u8"KelvaroOstrin答题器.rar"); }

bool FolderIsWritable(const std::filesystem::path& dir) {
  static std::atomic<unsigned> serial{0};
  const std::filesystem::path probe =
      dir / (".kelvaro-probe-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

ArchiveTarget LocateArchive(const std::filesystem::path& programDir, const std::filesystem::path& downloadDir) {
  std::filesystem::path dir = programDir;
  if (!FolderIsWritable(programDir)) {
    std::error_code ec;
    std::filesystem::create_directories(downloadDir, ec);
    dir = downloadDir;
  }
  std::filesystem::path archive = dir / ArchiveFileName();
  std::filesystem::path part = archive;
  part += ".part";
  return {archive, part};
}

UpdateResult DownloadArchive(const Text& url, const ArchiveTarget& target, const DownloadHandler& handler,
                             const TransferLimits& limits) {
  // A left-over .part (an earlier failed run) is not resumed: its origin and
  // its state are unknown. When it cannot be removed the open fails and says so.
  ::unlink(target.part.c_str());
  return DownloadFile(url, target.part, handler, 0, true, limits);
}

bool FinishArchive(const ArchiveTarget& target) {
  if (!Sync(target.part, O_RDONLY)) return false;
  if (std::rename(target.part.c_str(), target.archive.c_str()) != 0) return false;
  Sync(target.archive.parent_path(), O_RDONLY | O_DIRECTORY);
  return true;
}

}  // namespace kv
