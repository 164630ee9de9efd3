#include "loader_platform_posix.hpp"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace kv::skin {

namespace {

struct OpenedLibrary {
  const ImportLibrary* entry;
  void* host;  // dlopen handle, or null
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

int ToProt(Protection p, bool allowExecute) {
  int prot = PROT_NONE;
  if (IsReadable(p)) prot |= PROT_READ;
  if (IsWritable(p)) prot |= PROT_WRITE;  // write-copy: the mapping is private anyway
  if (IsExecutable(p) && allowExecute) prot |= PROT_EXEC;
  return prot;
}

}  // namespace

PosixLoaderPlatform::PosixLoaderPlatform(ImportTable table, bool allowExecute)
    : table_(std::move(table)), allowExecute_(allowExecute),
      pageSize_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {}

PosixLoaderPlatform::~PosixLoaderPlatform() = default;

std::byte* PosixLoaderPlatform::Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) {
  if (size == 0 || preferred % pageSize_ != 0) return nullptr;
  int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
#if defined(MAP_32BIT)
  if (below4GiB && preferred == 0) flags |= MAP_32BIT;
#endif
  // The preferred address is a hint only: an existing mapping is never replaced.
  void* p = mmap(reinterpret_cast<void*>(preferred), size, PROT_NONE, flags, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  const bool fits = !below4GiB || (at < (std::uint64_t{1} << 32) && size <= (std::uint64_t{1} << 32) - at);
  if ((preferred != 0 && at != preferred) || !fits) {
    munmap(p, size);
    return nullptr;
  }
  return static_cast<std::byte*>(p);
}

namespace {
// [at, at + size) widened to whole pages.
std::pair<void*, std::size_t> Pages(std::byte* at, std::size_t size, std::size_t pageSize) {
  const auto start = reinterpret_cast<std::uintptr_t>(at) & ~(pageSize - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(at) + size + pageSize - 1) & ~(pageSize - 1);
  return {reinterpret_cast<void*>(start), end - start};
}
}  // namespace

bool PosixLoaderPlatform::Commit(std::byte* at, std::size_t size) {
  if (size == 0) return true;
  const auto [start, length] = Pages(at, size, pageSize_);
  return mprotect(start, length, PROT_READ | PROT_WRITE) == 0;
}

bool PosixLoaderPlatform::Decommit(std::byte* at, std::size_t size) {
  if (size == 0) return true;
  const auto [start, length] = Pages(at, size, pageSize_);
  return madvise(start, length, MADV_DONTNEED) == 0 && mprotect(start, length, PROT_NONE) == 0;
}

bool PosixLoaderPlatform::Protect(std::byte* at, std::size_t size, PageProtection protection) {
  if (size == 0) return true;
  if (allowExecute_ && IsExecutable(protection.protection) && IsWritable(protection.protection)) return false;
  const auto [start, length] = Pages(at, size, pageSize_);
  return mprotect(start, length, ToProt(protection.protection, allowExecute_)) == 0;
}

void PosixLoaderPlatform::Release(std::byte* base, std::size_t size) {
  if (base != nullptr) munmap(base, size);
}

LibraryHandle PosixLoaderPlatform::OpenLibrary(std::string_view name) {
  const auto it = std::find_if(table_.begin(), table_.end(),
                               [&](const ImportLibrary& l) { return SameName(l.name, name); });
  if (it == table_.end()) return nullptr;
  void* host = nullptr;
  if (!it->hostLibrary.empty()) {
    host = dlopen(it->hostLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (host == nullptr) return nullptr;
  }
  ++openLibraries_;
  return new OpenedLibrary{&*it, host};
}

void PosixLoaderPlatform::CloseLibrary(LibraryHandle library) {
  auto* opened = static_cast<OpenedLibrary*>(library);
  if (opened == nullptr) return;
  if (opened->host != nullptr) dlclose(opened->host);
  delete opened;
  --openLibraries_;
}

std::uintptr_t PosixLoaderPlatform::FindProcedure(LibraryHandle library, std::string_view name) {
  const auto* opened = static_cast<const OpenedLibrary*>(library);
  if (opened == nullptr || name.empty()) return 0;
  for (const ImportSymbol& s : opened->entry->symbols)
    if (s.name == name) return s.address;
  if (opened->host != nullptr) return reinterpret_cast<std::uintptr_t>(dlsym(opened->host, std::string(name).c_str()));
  return 0;
}

std::uintptr_t PosixLoaderPlatform::FindOrdinal(LibraryHandle library, std::uint16_t ordinal) {
  const auto* opened = static_cast<const OpenedLibrary*>(library);
  if (opened == nullptr || ordinal == 0) return 0;
  for (const ImportSymbol& s : opened->entry->symbols)
    if (s.ordinal == ordinal) return s.address;
  return 0;
}

std::unique_ptr<LoaderPlatform> CreateLoaderPlatform() { return std::make_unique<PosixLoaderPlatform>(); }

}  // namespace kv::skin
