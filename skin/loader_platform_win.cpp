#include "loader_platform_win.hpp"

#include <windows.h>

#include <string>

namespace kv::skin {

namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

DWORD ToPageProtection(PageProtection protection, bool allowExecute) {
  const Protection p = allowExecute ? protection.protection : WithoutExecute(protection.protection);
  DWORD flags = PAGE_NOACCESS;
  switch (p) {
    case Protection::NoAccess: flags = PAGE_NOACCESS; break;
    case Protection::ReadOnly: flags = PAGE_READONLY; break;
    // Write-copy is for views of files; these pages are private anyway.
    case Protection::WriteCopy:
    case Protection::ReadWrite: flags = PAGE_READWRITE; break;
    case Protection::Execute: flags = PAGE_EXECUTE; break;
    case Protection::ExecuteRead: flags = PAGE_EXECUTE_READ; break;
    case Protection::ExecuteWriteCopy:
    case Protection::ExecuteReadWrite: flags = PAGE_EXECUTE_READWRITE; break;
  }
  // Windows refuses the no-cache flag on inaccessible pages.
  if (protection.noCache && flags != PAGE_NOACCESS) flags |= PAGE_NOCACHE;
  return flags;
}

// The library name of an image (GBK) as a file name in UTF-16; empty when it
// is not a bare file name.
std::wstring LibraryFileName(std::string_view name) {
  if (name.empty() || name.size() > MAX_PATH || name.find_first_of(std::string_view("\0/\\:", 4)) != name.npos)
    return {};
  const int n = static_cast<int>(name.size());
  const int wide = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, name.data(), n, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, name.data(), n, out.data(), wide) != wide) return {};
  return out;
}

}  // namespace

WinPlatform::WinPlatform(bool allowExecute) : allowExecute_(allowExecute) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  pageSize_ = info.dwPageSize;
  granularity_ = info.dwAllocationGranularity;
}

std::byte* WinPlatform::Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) {
  if (size == 0 || preferred % pageSize_ != 0) return nullptr;
  if (preferred == 0) {
    if (below4GiB) return ReserveLow(size);
    return static_cast<std::byte*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
  }
  // A region starts on the allocation granularity; VirtualAlloc would round
  // the address down and place the region elsewhere.
  if (preferred % granularity_ != 0) return nullptr;
  if (below4GiB && (preferred >= k4GiB || size > k4GiB - preferred)) return nullptr;
  void* p = VirtualAlloc(reinterpret_cast<void*>(preferred), size, MEM_RESERVE, PAGE_NOACCESS);
  if (p == nullptr) return nullptr;
  if (reinterpret_cast<std::uintptr_t>(p) != preferred) {
    VirtualFree(p, 0, MEM_RELEASE);
    return nullptr;
  }
  return static_cast<std::byte*>(p);
}

std::byte* WinPlatform::ReserveLow(std::size_t size) {
  if (size > k4GiB) return nullptr;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  auto at = reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress);
  // Walk the address space from the bottom and take the first free stretch
  // that is large enough; another thread may take it first, then go on.
  MEMORY_BASIC_INFORMATION region;
  while (at < k4GiB && VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == sizeof region) {
    const auto start = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
    const std::uintptr_t end = start + region.RegionSize;
    if (region.State == MEM_FREE) {
      const std::uintptr_t aligned = (start + granularity_ - 1) / granularity_ * granularity_;
      if (aligned < end && size <= end - aligned && size <= k4GiB - aligned) {
        if (void* p = VirtualAlloc(reinterpret_cast<void*>(aligned), size, MEM_RESERVE, PAGE_NOACCESS)) {
          if (reinterpret_cast<std::uintptr_t>(p) == aligned) return static_cast<std::byte*>(p);
          VirtualFree(p, 0, MEM_RELEASE);
        }
      }
    }
    if (end <= at) break;
    at = end;
  }
  return nullptr;
}

bool WinPlatform::Commit(std::byte* at, std::size_t size) {
  if (size == 0) return true;
  return VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool WinPlatform::Decommit(std::byte* at, std::size_t size) {
  if (size == 0) return true;  // a size of 0 would decommit the whole region
  return VirtualFree(at, size, MEM_DECOMMIT) != 0;
}

bool WinPlatform::Protect(std::byte* at, std::size_t size, PageProtection protection) {
  // No page is ever writable and executable at once.
  if (allowExecute_ && IsExecutable(protection.protection) && IsWritable(protection.protection)) return false;
  if (size == 0) return true;
  DWORD previous = 0;
  return VirtualProtect(at, size, ToPageProtection(protection, allowExecute_), &previous) != 0;
}

void WinPlatform::Release(std::byte* base, std::size_t) {
  if (base != nullptr) VirtualFree(base, 0, MEM_RELEASE);
}

LibraryHandle WinPlatform::OpenLibrary(std::string_view name) {
  const std::wstring file = LibraryFileName(name);
  if (file.empty()) return nullptr;
  HMODULE library = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // Windows 7 without its loader update knows no search flags; it still
  // searches the system folders before the current one.
  if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) library = LoadLibraryW(file.c_str());
  if (library == nullptr) return nullptr;
  ++openLibraries_;
  return library;
}

void WinPlatform::CloseLibrary(LibraryHandle library) {
  if (library == nullptr) return;
  FreeLibrary(static_cast<HMODULE>(library));
  --openLibraries_;
}

std::uintptr_t WinPlatform::FindProcedure(LibraryHandle library, std::string_view name) {
  if (library == nullptr || name.empty() || name.find('\0') != name.npos) return 0;
  return reinterpret_cast<std::uintptr_t>(GetProcAddress(static_cast<HMODULE>(library), std::string(name).c_str()));
}

std::uintptr_t WinPlatform::FindOrdinal(LibraryHandle library, std::uint16_t ordinal) {
  if (library == nullptr || ordinal == 0) return 0;
  return reinterpret_cast<std::uintptr_t>(GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
}

std::unique_ptr<LoaderPlatform> CreateLoaderPlatform() { return std::make_unique<WinPlatform>(); }

}  // namespace kv::skin
