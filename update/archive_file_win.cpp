// The download's file operations on Win32: file handles that share with
// readers, FlushFileBuffers, MoveFileExW, and identities (volume serial
// number and file index) to tell whether a name still leads to our file.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "archive_file.hpp"

namespace kv {
namespace {

HANDLE Handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t Value(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }
constexpr std::intptr_t kClosed = -1;  // INVALID_HANDLE_VALUE

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Identity {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  bool operator==(const Identity&) const = default;
};

bool IdentityOf(HANDLE h, Identity& out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  out = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

// Whether `path` names the file of `h` itself (a link at the name is not
// followed: it is a file of its own).
bool NameLeadsTo(const std::filesystem::path& path, HANDLE h) {
  const HANDLE named = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  Identity a, b;
  const bool same = IdentityOf(named, a) && IdentityOf(h, b) && a == b;
  CloseHandle(named);
  return same;
}

// Renames the file of `h` (opened with DELETE access) to `target`, replacing
// whatever stands there: a link at that name is replaced, never followed.
bool RenameHandle(HANDLE h, const std::filesystem::path& target) {
  const std::wstring name = std::filesystem::absolute(target).native();
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + (name.size() + 1) * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

std::unique_ptr<ArchiveFile> ArchiveFile::Open(const std::filesystem::path& path, bool truncate) {
  // Shared with every reader and writer, as the downloads before this one had it.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(h, LARGE_INTEGER{}, &end, FILE_END)) {
    CloseHandle(h);
    return nullptr;
  }
  return std::unique_ptr<ArchiveFile>(new ArchiveFile(Value(h), path, end.QuadPart));
}

std::unique_ptr<ArchiveFile> ArchiveFile::CreateOwn(const std::filesystem::path& path) {
  // Made under a name nobody used before, then renamed over whatever stands
  // at `path`. Deleting that first would not do: Wine's DeleteFileW on a link
  // of the file system under it deletes the file the link leads to.
  static std::atomic<unsigned> serial{0};
  std::filesystem::path fresh = path;
  fresh += L".new-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++);
  // Others may read the file but neither write, rename nor delete it while
  // the run holds it; with DELETE access the run itself renames and deletes
  // this very file through its handle.
  const HANDLE h = CreateFileW(fresh.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (!RenameHandle(h, path)) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
    CloseHandle(h);
    return nullptr;
  }
  return std::unique_ptr<ArchiveFile>(new ArchiveFile(Value(h), path, 0));
}

ArchiveFile::~ArchiveFile() { Close(); }

std::optional<std::int64_t> ArchiveFile::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == kClosed || !GetFileSizeEx(Handle(handle_), &size)) return std::nullopt;
  return static_cast<std::int64_t>(size.QuadPart);
}

bool ArchiveFile::Resize(std::int64_t length) {
  if (handle_ == kClosed || length < 0) return false;
  LARGE_INTEGER at{};
  at.QuadPart = length;
  if (!SetFilePointerEx(Handle(handle_), at, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(handle_))) return false;
  end_.store(length, std::memory_order_release);
  return true;
}

bool ArchiveFile::Write(const char* data, std::size_t n) {
  if (handle_ == kClosed) return false;
  std::size_t done = 0;
  while (done < n) {
    const DWORD want = n - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n - done);
    DWORD wrote = 0;
    if (!WriteFile(Handle(handle_), data + done, want, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  // Published once the whole chunk is in the file: a reader never sees a
  // half-written one as written.
  end_.store(end_.load(std::memory_order_relaxed) + static_cast<std::int64_t>(n), std::memory_order_release);
  return true;
}

std::unique_ptr<ArchiveReader> ArchiveFile::OpenReader() const {
  if (handle_ == kClosed) return nullptr;
  // A second handle on the very file this one writes, found through the
  // handle rather than the name.
  HANDLE h = ReOpenFile(Handle(handle_), GENERIC_READ, kShareAll, 0);
  if (h == INVALID_HANDLE_VALUE) {
    // Opened by name, it must then prove to be the same file.
    h = CreateFileW(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    Identity mine, opened;
    if (!IdentityOf(Handle(handle_), mine) || !IdentityOf(h, opened) || !(mine == opened)) {
      CloseHandle(h);
      return nullptr;
    }
  }
  return std::unique_ptr<ArchiveReader>(new ArchiveReader(Value(h)));
}

ArchiveReader::~ArchiveReader() { CloseHandle(Handle(handle_)); }

std::ptrdiff_t ArchiveReader::ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer) {
  if (offset < 0) return -1;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xffffffffu);
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  const DWORD want = buffer.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), buffer.data(), want, &got, &at))
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return static_cast<std::ptrdiff_t>(got);
}

bool ArchiveFile::Flush() { return handle_ != kClosed && FlushFileBuffers(Handle(handle_)) != 0; }

bool ArchiveFile::RenameOver(const std::filesystem::path& target) {
  if (handle_ == kClosed || !NameLeadsTo(path_, Handle(handle_))) return false;
  // Through the handle when it may (the run's own file): it is this file
  // that moves, whatever happens to the name meanwhile.
  if (RenameHandle(Handle(handle_), target)) {
    path_ = target;
    // Durable once the file's metadata is on the disk.
    FlushFileBuffers(Handle(handle_));
    return true;
  }
  // A handle without DELETE access (a shared file) moves by name; write-through
  // returns once the rename is on the disk.
  if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
  path_ = target;
  return true;
}

bool ArchiveFile::CloseAndRemove() {
  bool removed = false;
  if (handle_ != kClosed && NameLeadsTo(path_, Handle(handle_))) {
    // Deleted through the handle, so it is this file that goes, whatever
    // happens to the name; a handle without DELETE access deletes by name.
    FILE_DISPOSITION_INFO dispose{TRUE};
    removed = SetFileInformationByHandle(Handle(handle_), FileDispositionInfo, &dispose, sizeof dispose) != 0;
    if (!removed) {
      Close();
      return DeleteFileW(path_.c_str()) != 0;
    }
  }
  Close();
  return removed;
}

bool ArchiveFile::Close() {
  if (handle_ == kClosed) return true;
  const BOOL ok = CloseHandle(Handle(handle_));
  handle_ = kClosed;
  return ok != 0;
}

std::unique_ptr<FolderLock> FolderLock::TryTake(const std::filesystem::path& dir) {
  // A lock file that nobody else may open while it is held, and that goes
  // away with its last handle: when the run ends, or when the system closes
  // the handles of a process that crashed.
  const std::filesystem::path name = dir / L".kelvaro-download.lock";
  const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<FolderLock>(new FolderLock(Value(h)));
}

FolderLock::~FolderLock() { CloseHandle(Handle(handle_)); }

bool FolderIsWritable(const std::filesystem::path& dir) {
  static std::atomic<unsigned> serial{0};
  const std::filesystem::path probe =
      dir / (L".kelvaro-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++));
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace kv
