// Where the release archive goes and how it gets there: downloaded into the
// run's own ".part" file beside the archive's place and renamed over the
// archive only once it is complete and on the disk, so the archive's own name
// never holds a partial or foreign file.
#pragma once

#include <filesystem>

#include "downloader.hpp"

namespace kv {

// The archive's local file name, in the file system's encoding (UTF-8).
std::filesystem::path ArchiveFileName();

struct ArchiveTarget {
  std::filesystem::path archive;  // the finished archive
  std::filesystem::path part;     // the download in progress
};

// The archive beside the program when the program's folder can be written,
// otherwise in `downloadDir`, which is created when missing.
ArchiveTarget LocateArchive(const std::filesystem::path& programDir, const std::filesystem::path& downloadDir);

// Downloads `url` into a new target.part of this run's own (whatever stood at
// that name is removed first; the request still asks for the range from byte
// 0). While another run downloads into the same folder, fails at once with
// "不能打开本地的文件!" and asks the server for nothing. Complete means the archive is in place: the whole resource, on the
// disk, renamed over target.archive. Otherwise the result is DownloadFile's,
// and what arrived stays in target.part.
UpdateResult DownloadArchive(const Text& url, const ArchiveTarget& target, const DownloadHandler& handler,
                             const TransferLimits& limits = {});

}  // namespace kv
