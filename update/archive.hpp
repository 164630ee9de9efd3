// Where the release archive goes and how it gets there: downloaded into the
// run's own ".part" file beside the archive's place and renamed over the
// archive only once it is complete and on the disk, so the archive's own name
// never holds a partial or foreign file.
#pragma once

#include <filesystem>
#include <string>

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

// What a complete archive must pass before it is put in place.
struct ReleaseCheck {
  // False only in a build for unsigned releases: the archive goes in place
  // unchecked.
  bool required = true;
  // The publisher's public key (base64 SubjectPublicKeyInfo) that the
  // archive's signature must verify against.
  std::string releaseKey;

  static ReleaseCheck Unchecked() { return {false, {}}; }
};

// Downloads `url` into a new target.part of this run's own (whatever stood at
// that name is removed first; the request still asks for the range from byte
// 0). While another run downloads into the same folder, fails at once with
// "不能打开本地的文件!" and asks the server for nothing.
// With `release.required`, the bytes of target.part are read back and hashed
// while they arrive; once the download is complete, the signature file at
// SignatureUrl(url) is fetched and must verify against release.releaseKey
// over the bytes on the disk. When it is missing, unusable or wrong, the
// result is "文件校验失败!" and target.part is removed.
// Complete means the archive is in place: the whole resource, verified, on
// the disk, renamed over target.archive. Otherwise the result is
// DownloadFile's, and what arrived stays in target.part.
UpdateResult DownloadArchive(const Text& url, const ArchiveTarget& target, const DownloadHandler& handler,
                             const ReleaseCheck& release, const TransferLimits& limits = {});

}  // namespace kv
