#include "native_platform.hpp"

#include <windows.h>

#include <algorithm>
#include <set>

#include "loader_platform_win.hpp"

namespace kv::skin::test {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// The Windows platform with libraries that do not exist here (the 32-bit
// test image's kvhost.dll and kvaux.dll) served from a table.
class StandInPlatform : public WinPlatform {
 public:
  StandInPlatform(ImportTable table, bool allowExecute) : WinPlatform(allowExecute), table_(std::move(table)) {}

  LibraryHandle OpenLibrary(std::string_view name) override {
    for (const ImportLibrary& l : table_) {
      if (!SameName(l.name, name)) continue;
      if (!l.hostLibrary.empty()) return nullptr;  // no host libraries here
      auto* handle = const_cast<ImportLibrary*>(&l);
      standIns_.insert(handle);
      return handle;
    }
    return WinPlatform::OpenLibrary(name);
  }
  void CloseLibrary(LibraryHandle library) override {
    if (standIns_.count(library) == 0) WinPlatform::CloseLibrary(library);
  }
  std::uintptr_t FindProcedure(LibraryHandle library, std::string_view name) override {
    if (standIns_.count(library) == 0) return WinPlatform::FindProcedure(library, name);
    for (const ImportSymbol& s : static_cast<const ImportLibrary*>(library)->symbols)
      if (!name.empty() && s.name == name) return s.address;
    return 0;
  }
  std::uintptr_t FindOrdinal(LibraryHandle library, std::uint16_t ordinal) override {
    if (standIns_.count(library) == 0) return WinPlatform::FindOrdinal(library, ordinal);
    for (const ImportSymbol& s : static_cast<const ImportLibrary*>(library)->symbols)
      if (ordinal != 0 && s.ordinal == ordinal) return s.address;
    return 0;
  }

 private:
  ImportTable table_;
  std::set<LibraryHandle> standIns_;
};

}  // namespace

std::unique_ptr<LoaderPlatform> MakeNativePlatform(ImportTable standIns, bool allowExecute) {
  return std::make_unique<StandInPlatform>(std::move(standIns), allowExecute);
}

ImportTable SystemStandIns() { return {}; }  // the system has them

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

std::size_t NativePageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

std::string MappedPermissions(const void* address) {
  MEMORY_BASIC_INFORMATION m;
  if (VirtualQuery(address, &m, sizeof m) != sizeof m || m.State == MEM_FREE) return {};
  const char kind = m.Type == MEM_PRIVATE ? 'p' : 's';
  if (m.State == MEM_RESERVE) return std::string("---") + kind;
  switch (m.Protect & 0xFF) {  // without the guard, no-cache and write-combine flags
    case PAGE_READONLY: return std::string("r--") + kind;
    case PAGE_READWRITE:
    case PAGE_WRITECOPY: return std::string("rw-") + kind;
    case PAGE_EXECUTE: return std::string("--x") + kind;
    case PAGE_EXECUTE_READ: return std::string("r-x") + kind;
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY: return std::string("rwx") + kind;
    default: return std::string("---") + kind;
  }
}

HeldRange::HeldRange(std::uintptr_t at, std::size_t size) : size_(size) {
  at_ = VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
  held_ = at_ == reinterpret_cast<void*>(at);
}

HeldRange::~HeldRange() {
  if (at_ != nullptr) VirtualFree(at_, 0, MEM_RELEASE);
}

}  // namespace kv::skin::test
