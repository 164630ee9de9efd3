#include "archive.hpp"

#include <system_error>

namespace kv {

std::filesystem::path ArchiveFileName() { return std::filesystem::path(u8"KelvaroOstrin答题器.rar"); }

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
  // One run at a time downloads into the folder: a second copy of the
  // program must not replace the .part the first one writes.
  const std::unique_ptr<FolderLock> lock = FolderLock::TryTake(target.part.parent_path());
  if (!lock) return UpdateResult::Failed(kMsgCannotOpenFile);
  // A left-over .part (an earlier failed run) is not resumed: its origin and
  // its state are unknown.
  std::unique_ptr<ArchiveFile> file;
  const UpdateResult result =
      DownloadInto(url, [&] { return ArchiveFile::CreateOwn(target.part); }, file, handler, 0, true, limits);
  if (!file) return result;
  if (!result.complete()) {
    file->Close();
    return result;
  }
  const bool placed = file->Flush() && file->RenameOver(target.archive);
  if (!file->Close() || !placed) return UpdateResult::Failed(kMsgWriteError);
  return result;
}

}  // namespace kv
