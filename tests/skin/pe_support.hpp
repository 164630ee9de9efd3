// Test support for the image loader: the cross-compiled DLLs, a platform that
// records and refuses calls, and a writer of small synthetic images.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image_loader.hpp"
#include "native_platform.hpp"

namespace kv::skin::test {

using Bytes = std::vector<unsigned char>;

inline Bytes ReadTestDll(const std::string& name) {
  std::ifstream in(std::string(KELVARO_TEST_DLLS) + "/" + name, std::ios::binary);
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.empty()) ADD_FAILURE() << "missing test DLL " << name;
  return data;
}

inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline std::uint16_t Get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}

// Where things are in a PE file.
struct FileLayout {
  std::size_t pe, optional, sectionTable;
  bool is64;
  std::size_t Directory(int i) const { return optional + (is64 ? 112 : 96) + 8 * i; }
  std::size_t SizeOfImage() const { return optional + 56; }
  std::size_t SizeOfHeaders() const { return optional + 60; }
  std::size_t EntryPoint() const { return optional + 16; }
  std::size_t Section(int i) const { return sectionTable + 40 * i; }
};
inline FileLayout LayoutOf(const Bytes& file) {
  FileLayout l{};
  l.pe = Get32(file, 60);
  l.optional = l.pe + 24;
  l.is64 = Get16(file, l.optional) == 0x20b;
  l.sectionTable = l.optional + Get16(file, l.pe + 20);
  return l;
}

struct SectionInfo {
  std::string name;
  std::uint32_t virtualAddress, virtualSize, rawSize, rawPointer, characteristics;
};
inline std::vector<SectionInfo> SectionsOf(const Bytes& file) {
  const FileLayout l = LayoutOf(file);
  std::vector<SectionInfo> out;
  for (int i = 0; i < Get16(file, l.pe + 6); ++i) {
    const std::size_t s = l.Section(i);
    std::string name(reinterpret_cast<const char*>(&file[s]), 8);
    name.resize(std::strlen(name.c_str()));
    out.push_back({name, Get32(file, s + 12), Get32(file, s + 8), Get32(file, s + 16), Get32(file, s + 20),
                   Get32(file, s + 36)});
  }
  return out;
}
inline SectionInfo SectionNamed(const Bytes& file, const std::string& name) {
  for (const SectionInfo& s : SectionsOf(file))
    if (s.name == name) return s;
  ADD_FAILURE() << "no section " << name;
  return {};
}

// A platform that records what the loader asks for and can refuse the n-th
// call of a kind (counting from 0; -1 refuses none). The system's platform
// does the work, with the libraries of `table` standing in for real ones.
class RecordingPlatform : public LoaderPlatform {
 public:
  explicit RecordingPlatform(ImportTable table = {}, bool allowExecute = true)
      : inner(MakeNativePlatform(std::move(table), allowExecute)) {}

  struct ProtectCall {
    std::size_t offset, size;
    PageProtection protection;
  };

  std::unique_ptr<LoaderPlatform> inner;
  bool refusePreferred = false;
  bool refuseReserve = false;
  int failCommit = -1, failProtect = -1, failOpen = -1;

  std::vector<std::uintptr_t> reserveRequests;
  std::byte* region = nullptr;
  std::size_t regionSize = 0;
  int regionsOutstanding = 0;
  std::vector<ProtectCall> protects;
  std::vector<std::pair<std::size_t, std::size_t>> decommits;
  std::vector<std::string> opened;
  std::vector<LibraryHandle> handles;
  std::vector<LibraryHandle> closed;

  std::size_t PageSize() const override { return inner->PageSize(); }
  std::byte* Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) override {
    reserveRequests.push_back(preferred);
    if (refuseReserve || (refusePreferred && preferred != 0)) return nullptr;
    std::byte* p = inner->Reserve(preferred, size, below4GiB);
    if (p != nullptr) {
      region = p;
      regionSize = size;
      ++regionsOutstanding;
    }
    return p;
  }
  bool Commit(std::byte* at, std::size_t size) override {
    if (commits++ == failCommit) return false;
    return inner->Commit(at, size);
  }
  bool Decommit(std::byte* at, std::size_t size) override {
    decommits.emplace_back(at - region, size);
    return inner->Decommit(at, size);
  }
  bool Protect(std::byte* at, std::size_t size, PageProtection p) override {
    if (static_cast<int>(protects.size()) == failProtect) return false;
    protects.push_back({static_cast<std::size_t>(at - region), size, p});
    return inner->Protect(at, size, p);
  }
  void Release(std::byte* base, std::size_t size) override {
    if (base == region && size == regionSize) --regionsOutstanding;
    inner->Release(base, size);
  }
  LibraryHandle OpenLibrary(std::string_view name) override {
    opened.emplace_back(name);
    if (opens++ == failOpen) return nullptr;
    LibraryHandle h = inner->OpenLibrary(name);
    if (h != nullptr) {
      handles.push_back(h);
      ++openLibraries;
    }
    return h;
  }
  void CloseLibrary(LibraryHandle library) override {
    closed.push_back(library);
    if (library != nullptr) --openLibraries;
    inner->CloseLibrary(library);
  }
  std::uintptr_t FindProcedure(LibraryHandle library, std::string_view name) override {
    return inner->FindProcedure(library, name);
  }
  std::uintptr_t FindOrdinal(LibraryHandle library, std::uint16_t ordinal) override {
    return inner->FindOrdinal(library, ordinal);
  }

  // Nothing the loader built is left: no region, no open library.
  bool AllReleased() const { return regionsOutstanding == 0 && openLibraries == 0; }

 private:
  int commits = 0, opens = 0, openLibraries = 0;
};

// A small synthetic image: headers, then each section's raw data at the next
// file-aligned offset.
struct SectionLayout {
  std::string name;
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  Bytes raw;
  std::uint32_t characteristics;
};

struct ImageLayout {
  bool is64 = true;
  std::uint16_t machine = kMachineAmd64;
  std::uint16_t characteristics = 0x2022;  // DLL, executable, large address aware
  std::uint64_t imageBase = 0x6f4400000000;
  std::uint32_t entryPoint = 0;
  std::uint32_t sectionAlignment = 0x1000;
  std::uint32_t sizeOfImage = 0;  // 0: end of the last section, aligned
  std::uint32_t sizeOfInitialisedData = 0;
  std::uint32_t sizeOfUninitialisedData = 0;
  std::array<std::pair<std::uint32_t, std::uint32_t>, 16> directories{};
  std::vector<SectionLayout> sections;
};

inline constexpr std::uint32_t kCode = 0x00000020, kInitData = 0x00000040, kUninitData = 0x00000080;
inline constexpr std::uint32_t kDiscard = 0x02000000, kNoCache = 0x04000000;
inline constexpr std::uint32_t kExec = 0x20000000, kRead = 0x40000000, kWrite = 0x80000000;

inline Bytes BuildImage(const ImageLayout& layout) {
  const std::size_t optionalSize = (layout.is64 ? 112 : 96) + 16 * 8;
  const std::size_t pe = 0x40, optional = pe + 24, table = optional + optionalSize;
  const std::size_t fileAlign = 0x200;
  auto align = [](std::size_t v, std::size_t a) { return (v + a - 1) / a * a; };
  const std::size_t headers = align(table + 40 * layout.sections.size(), fileAlign);
  std::size_t fileSize = headers;
  std::uint32_t imageEnd = static_cast<std::uint32_t>(align(headers, layout.sectionAlignment));
  for (const SectionLayout& s : layout.sections) {
    fileSize += align(s.raw.size(), fileAlign);
    imageEnd = std::max<std::uint32_t>(
        imageEnd, static_cast<std::uint32_t>(align(s.virtualAddress + std::max<std::size_t>(s.virtualSize, s.raw.size()),
                                                   layout.sectionAlignment)));
  }
  Bytes b(fileSize, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 60, pe);
  std::memcpy(&b[pe], "PE\0\0", 4);
  Put16(b, pe + 4, layout.machine);
  Put16(b, pe + 6, static_cast<std::uint16_t>(layout.sections.size()));
  Put16(b, pe + 20, static_cast<std::uint16_t>(optionalSize));
  Put16(b, pe + 22, layout.characteristics);
  Put16(b, optional, layout.is64 ? 0x20b : 0x10b);
  Put32(b, optional + 8, layout.sizeOfInitialisedData);
  Put32(b, optional + 12, layout.sizeOfUninitialisedData);
  Put32(b, optional + 16, layout.entryPoint);
  if (layout.is64) {
    Put32(b, optional + 24, static_cast<std::uint32_t>(layout.imageBase));
    Put32(b, optional + 28, static_cast<std::uint32_t>(layout.imageBase >> 32));
  } else {
    Put32(b, optional + 28, static_cast<std::uint32_t>(layout.imageBase));
  }
  Put32(b, optional + 32, layout.sectionAlignment);
  Put32(b, optional + 36, fileAlign);
  Put32(b, optional + 56, layout.sizeOfImage != 0 ? layout.sizeOfImage : imageEnd);
  Put32(b, optional + 60, static_cast<std::uint32_t>(headers));
  Put32(b, optional + (layout.is64 ? 108 : 92), 16);
  for (int i = 0; i < 16; ++i) {
    Put32(b, optional + (layout.is64 ? 112 : 96) + 8 * i, layout.directories[i].first);
    Put32(b, optional + (layout.is64 ? 112 : 96) + 8 * i + 4, layout.directories[i].second);
  }
  std::size_t raw = headers;
  for (std::size_t i = 0; i < layout.sections.size(); ++i) {
    const SectionLayout& s = layout.sections[i];
    const std::size_t h = table + 40 * i;
    std::memcpy(&b[h], s.name.data(), std::min<std::size_t>(s.name.size(), 8));
    Put32(b, h + 8, s.virtualSize);
    Put32(b, h + 12, s.virtualAddress);
    Put32(b, h + 16, static_cast<std::uint32_t>(s.raw.size()));
    Put32(b, h + 20, s.raw.empty() ? 0 : static_cast<std::uint32_t>(raw));
    Put32(b, h + 36, s.characteristics);
    if (!s.raw.empty()) std::memcpy(&b[raw], s.raw.data(), s.raw.size());
    raw += align(s.raw.size(), fileAlign);
  }
  return b;
}

}  // namespace kv::skin::test
