#include "archive.hpp"

#include <optional>
#include <system_error>

#include "signature_fetch.hpp"
#include "streaming_check.hpp"

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
                             const ReleaseCheck& release, const TransferLimits& limits) {
  // One run at a time downloads into the folder: a second copy of the
  // program must not replace the .part the first one writes.
  const std::unique_ptr<FolderLock> lock = FolderLock::TryTake(target.part.parent_path());
  if (!lock) return UpdateResult::Failed(kMsgCannotOpenFile);
  // Declared before the check, which reads it back until it goes.
  std::unique_ptr<ArchiveFile> file;
  std::optional<StreamingSignatureCheck> check;
  if (release.required) check.emplace(release.releaseKey, limits.cancel);
  // A left-over .part (an earlier failed run) is not resumed: its origin and
  // its state are unknown.
  const FileOpener open = [&] {
    std::unique_ptr<ArchiveFile> own = ArchiveFile::CreateOwn(target.part);
    if (own && check) check->Start(*own);
    return own;
  };
  const UpdateResult result = DownloadInto(url, open, file, handler, 0, true, limits);
  if (!file) return result;
  if (!result.complete()) {
    file->Close();
    return result;
  }
  // The reader hashes the last bytes while the file goes to the disk and the
  // signature file is fetched.
  if (check) check->WritingEnded();
  const bool flushed = file->Flush();
  if (check) {
    const SignatureFetch signature = FetchSignatureFile(SignatureUrl(url), limits);
    if (signature.result.cancelled()) return signature.result;
    const bool verified = signature.result.ended() && check->Finish(signature.body).verified();
    if (limits.cancel != nullptr && *limits.cancel) return UpdateResult::Cancelled();
    if (!verified) {
      // Nothing that failed the check is left to be opened by mistake.
      file->CloseAndRemove();
      return UpdateResult::Failed(kMsgVerifyFailed);
    }
  }
  const bool placed = flushed && file->RenameOver(target.archive);
  if (!file->Close() || !placed) return UpdateResult::Failed(kMsgWriteError);
  return result;
}

}  // namespace kv
