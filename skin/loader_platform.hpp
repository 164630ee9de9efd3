// The memory and library services the in-memory library loader stands on:
// reserve, commit, protect and free memory; open a library; find a procedure.
// Each system has its own implementation in loader_platform_<system>.cpp;
// PosixLoaderPlatform (loader_platform_posix.hpp) builds them on mmap and
// mprotect and a table of importable libraries supplied by the host. Tests
// wrap it to watch or refuse single calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kv::skin {

// Page protections of a loaded image, one per combination of the section
// flags executable, readable and writable. The region is private memory, so
// write-copy is plain write there; the loader never asks for the two that are
// writable and executable.
enum class Protection : std::uint8_t {
  NoAccess,
  WriteCopy,
  ReadOnly,
  ReadWrite,
  Execute,
  ExecuteWriteCopy,
  ExecuteRead,
  ExecuteReadWrite,
};

struct PageProtection {
  Protection protection = Protection::NoAccess;
  bool noCache = false;
  bool operator==(const PageProtection&) const = default;
};

bool IsExecutable(Protection p);
bool IsReadable(Protection p);
bool IsWritable(Protection p);
// The same protection without the right to execute.
Protection WithoutExecute(Protection p);

// An opened library; null means none.
using LibraryHandle = void*;

class LoaderPlatform {
 public:
  virtual ~LoaderPlatform() = default;

  // Size of a memory page (a power of two).
  virtual std::size_t PageSize() const = 0;

  // Reserves `size` bytes of address space, inaccessible. With `preferred`
  // not 0 the region must start exactly there, else the call returns null;
  // with 0 any address will do. With `below4GiB` the whole region must lie
  // below 4 GiB (32-bit images store their addresses in 32 bits).
  virtual std::byte* Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) = 0;
  // Makes [at, at + size) of a reserved region readable and writable; pages
  // that were never committed read as zeros. Ranges are widened to whole pages.
  virtual bool Commit(std::byte* at, std::size_t size) = 0;
  // Gives the pages of [at, at + size) back and makes them inaccessible.
  virtual bool Decommit(std::byte* at, std::size_t size) = 0;
  // Sets the protection of the pages of [at, at + size). A protection that
  // would leave pages writable and executable at once is refused.
  virtual bool Protect(std::byte* at, std::size_t size, PageProtection protection) = 0;
  // Frees a whole region returned by Reserve.
  virtual void Release(std::byte* base, std::size_t size) = 0;

  // Opens the library an image imports under `name` (the bytes of its import
  // descriptor, a Windows file name such as "KERNEL32.dll"), or returns null.
  virtual LibraryHandle OpenLibrary(std::string_view name) = 0;
  virtual void CloseLibrary(LibraryHandle library) = 0;
  // Address of a procedure of an opened library, or 0 when it has none.
  virtual std::uintptr_t FindProcedure(LibraryHandle library, std::string_view name) = 0;
  virtual std::uintptr_t FindOrdinal(LibraryHandle library, std::uint16_t ordinal) = 0;
};

// The services of the system this program runs on, as the skin host loads the
// engine image with them: the system's own memory and, for libraries, what the
// system offers an image there (on POSIX: nothing, there being no Windows
// libraries to open).
std::unique_ptr<LoaderPlatform> CreateLoaderPlatform();

}  // namespace kv::skin
