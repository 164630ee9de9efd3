// The loader's memory and library services on a POSIX system: anonymous
// private mappings for memory, and for libraries a table the host supplies.
//
// An image may import only what the table lists: each entry names a library
// the way images import it (compared without regard to ASCII case, as Windows
// does) and gives the addresses of its procedures by name and by ordinal. A
// host library is opened with dlopen only when an entry names one, and then
// only that file; names the table does not list are never looked up anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "loader_platform.hpp"

namespace kv::skin {

struct ImportSymbol {
  std::string name;           // empty for an import by ordinal only
  std::uint16_t ordinal = 0;  // 0 when the symbol has no ordinal
  std::uintptr_t address = 0;
};

struct ImportLibrary {
  std::string name;  // e.g. "kernel32.dll"
  std::vector<ImportSymbol> symbols;
  // A host shared library whose symbols stand behind names `symbols` lacks;
  // empty for none.
  std::string hostLibrary;
};

using ImportTable = std::vector<ImportLibrary>;

class PosixLoaderPlatform : public LoaderPlatform {
 public:
  // With `allowExecute` false no page is ever made executable, whatever the
  // loader asks for.
  explicit PosixLoaderPlatform(ImportTable table = {}, bool allowExecute = true);
  ~PosixLoaderPlatform() override;

  std::size_t PageSize() const override { return pageSize_; }
  std::byte* Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) override;
  bool Commit(std::byte* at, std::size_t size) override;
  bool Decommit(std::byte* at, std::size_t size) override;
  bool Protect(std::byte* at, std::size_t size, PageProtection protection) override;
  void Release(std::byte* base, std::size_t size) override;

  LibraryHandle OpenLibrary(std::string_view name) override;
  void CloseLibrary(LibraryHandle library) override;
  std::uintptr_t FindProcedure(LibraryHandle library, std::string_view name) override;
  std::uintptr_t FindOrdinal(LibraryHandle library, std::uint16_t ordinal) override;

  // Libraries opened and not yet closed.
  int OpenLibraries() const { return openLibraries_; }

 private:
  ImportTable table_;
  bool allowExecute_;
  std::size_t pageSize_;
  int openLibraries_ = 0;
};

}  // namespace kv::skin
