// Where the release archive goes and how it gets there: downloaded into a
// ".part" file beside the archive's place and renamed over the archive only
// once it is complete, so the archive's own name never holds a partial or
// foreign file.
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

// Whether a file can be created in `dir` (tried, not guessed from the mode).
bool FolderIsWritable(const std::filesystem::path& dir);

// The archive beside the program when the program's folder can be written,
// otherwise in `downloadDir`, which is created when missing.
ArchiveTarget LocateArchive(const std::filesystem::path& programDir, const std::filesystem::path& downloadDir);

// Downloads `url` into a new target.part (an old one is removed first; the
// request still asks for the range from byte 0). The result is DownloadFile's.
UpdateResult DownloadArchive(const Text& url, const ArchiveTarget& target, const DownloadHandler& handler,
                             const TransferLimits& limits = {});

// Makes the complete .part durable and renames it over the archive's name.
bool FinishArchive(const ArchiveTarget& target);

}  // namespace kv
