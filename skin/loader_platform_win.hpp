// The loader's memory and library services on Windows: VirtualAlloc,
// VirtualProtect and VirtualFree for memory, LoadLibrary and GetProcAddress
// for the libraries an image imports. An engine image loaded here runs inside
// the process like any other DLL and binds to the system's own libraries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "loader_platform.hpp"

namespace kv::skin {

class WinPlatform : public LoaderPlatform {
 public:
  // With `allowExecute` false no page is ever made executable, whatever the
  // loader asks for.
  explicit WinPlatform(bool allowExecute = true);

  std::size_t PageSize() const override { return pageSize_; }
  std::byte* Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) override;
  bool Commit(std::byte* at, std::size_t size) override;
  bool Decommit(std::byte* at, std::size_t size) override;
  bool Protect(std::byte* at, std::size_t size, PageProtection protection) override;
  void Release(std::byte* base, std::size_t size) override;

  // Libraries are looked for in the program's folder and the system folders,
  // never in the current folder. A name is GBK text, as in the image.
  LibraryHandle OpenLibrary(std::string_view name) override;
  void CloseLibrary(LibraryHandle library) override;
  std::uintptr_t FindProcedure(LibraryHandle library, std::string_view name) override;
  std::uintptr_t FindOrdinal(LibraryHandle library, std::uint16_t ordinal) override;

  // Libraries opened and not yet closed.
  int OpenLibraries() const { return openLibraries_; }

 private:
  // Reserves `size` bytes anywhere below 4 GiB, or returns null.
  std::byte* ReserveLow(std::size_t size);

  bool allowExecute_;
  std::size_t pageSize_;
  std::size_t granularity_;
  int openLibraries_ = 0;
};

}  // namespace kv::skin
