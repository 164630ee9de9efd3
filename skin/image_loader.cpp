#include "image_loader.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace kv::skin {

namespace {

// Offsets and flags of the PE format.
constexpr std::size_t kDosLfanew = 60;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint16_t kFileRelocsStripped = 0x0001;

constexpr std::uint32_t kSectionInitialisedData = 0x00000040;
constexpr std::uint32_t kSectionUninitialisedData = 0x00000080;
constexpr std::uint32_t kSectionDiscardable = 0x02000000;
constexpr std::uint32_t kSectionNotCached = 0x04000000;
constexpr std::uint32_t kSectionExecute = 0x20000000;
constexpr std::uint32_t kSectionRead = 0x40000000;
constexpr std::uint32_t kSectionWrite = 0x80000000;

constexpr std::size_t kDirExport = 0;
constexpr std::size_t kDirImport = 1;
constexpr std::size_t kDirBaseReloc = 5;

constexpr unsigned kRelocAbsolute = 0;
constexpr unsigned kRelocHighLow = 3;
constexpr unsigned kRelocDir64 = 10;

constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;

using DllEntry = int(KV_WINAPI*)(void* instance, std::uint32_t reason, void* reserved);

#if defined(__x86_64__) || defined(_M_X64)
constexpr std::uint16_t kHostMachine = kMachineAmd64;
constexpr bool kHost64 = true;
#elif defined(__i386__) || defined(_M_IX86)
constexpr std::uint16_t kHostMachine = kMachineI386;
constexpr bool kHost64 = false;
#else
constexpr std::uint16_t kHostMachine = 0;  // no image runs here
constexpr bool kHost64 = false;
#endif

// Bounds-checked little-endian reads from a run of bytes.
class Bytes {
 public:
  Bytes(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}

  std::size_t Size() const { return size_; }
  // [offset, offset + length) lies inside.
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  template <typename T>
  std::optional<T> Read(std::uint64_t offset) const {
    if (!Holds(offset, sizeof(T))) return std::nullopt;
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(data_[offset + i]) << (8 * i));
    return v;
  }
  // A NUL-terminated string starting at `offset`, without its NUL; nothing when
  // the NUL would lie outside.
  std::optional<std::string_view> String(std::uint64_t offset) const {
    if (offset >= size_) return std::nullopt;
    const void* nul = std::memchr(data_ + offset, 0, size_ - offset);
    if (nul == nullptr) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(data_ + offset),
                            static_cast<const unsigned char*>(nul) - (data_ + offset));
  }
  const unsigned char* At(std::uint64_t offset) const { return data_ + offset; }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

template <typename T>
void Store(std::byte* at, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<std::byte>(value >> (8 * i));
}
template <typename T>
T Load(const std::byte* at) {
  T v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(at[i]) << (8 * i));
  return v;
}

struct Section {
  std::uint32_t headerOffset;  // of its section header in the file
  std::uint32_t virtualAddress;
  std::uint32_t rawSize;
  std::uint32_t rawPointer;
  std::uint32_t characteristics;
};

struct Directory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

// What step 1 reads out of the headers; later steps use only this, never the
// headers inside the region, which section data may have overwritten.
struct Headers {
  std::uint32_t peOffset;
  std::uint16_t machine;
  std::uint16_t characteristics;
  bool is64;
  std::uint64_t preferredBase;
  std::uint32_t imageBaseField;  // offset of the image-base field in the file
  std::uint32_t entryPoint;
  std::uint32_t sectionAlignment;
  std::uint32_t sizeOfImage;
  std::uint32_t sizeOfHeaders;
  std::uint32_t sizeOfInitialisedData;
  std::uint32_t sizeOfUninitialisedData;
  Directory directories[16];
  std::vector<Section> sections;
};

std::optional<Headers> ReadHeaders(const Bytes& file, std::size_t maxImageSize) {
  if (file.Size() < 64 || file.At(0)[0] != 'M' || file.At(0)[1] != 'Z') return std::nullopt;
  const auto peOffset = file.Read<std::uint32_t>(kDosLfanew);
  if (!peOffset || !file.Holds(*peOffset, 4 + kFileHeaderSize) ||
      std::memcmp(file.At(*peOffset), "PE\0\0", 4) != 0)
    return std::nullopt;

  Headers h{};
  h.peOffset = *peOffset;
  const std::uint64_t fileHeader = std::uint64_t{*peOffset} + 4;
  h.machine = *file.Read<std::uint16_t>(fileHeader);
  const std::uint16_t sectionCount = *file.Read<std::uint16_t>(fileHeader + 2);
  const std::uint16_t optionalSize = *file.Read<std::uint16_t>(fileHeader + 16);
  h.characteristics = *file.Read<std::uint16_t>(fileHeader + 18);

  const std::uint64_t opt = fileHeader + kFileHeaderSize;
  if (!file.Holds(opt, optionalSize)) return std::nullopt;
  const Bytes optional(file.At(opt), optionalSize);
  const auto magic = optional.Read<std::uint16_t>(0);
  if (!magic || (*magic != kMagicPe32 && *magic != kMagicPe32Plus)) return std::nullopt;
  h.is64 = *magic == kMagicPe32Plus;
  const std::size_t fixedSize = h.is64 ? 112 : 96;
  if (optionalSize < fixedSize) return std::nullopt;

  h.entryPoint = *optional.Read<std::uint32_t>(16);
  h.sizeOfInitialisedData = *optional.Read<std::uint32_t>(8);
  h.sizeOfUninitialisedData = *optional.Read<std::uint32_t>(12);
  h.imageBaseField = static_cast<std::uint32_t>(opt + (h.is64 ? 24 : 28));
  h.preferredBase = h.is64 ? *optional.Read<std::uint64_t>(24) : *optional.Read<std::uint32_t>(28);
  h.sectionAlignment = *optional.Read<std::uint32_t>(32);
  h.sizeOfImage = *optional.Read<std::uint32_t>(56);
  h.sizeOfHeaders = *optional.Read<std::uint32_t>(60);
  const std::uint32_t dirCount = *optional.Read<std::uint32_t>(h.is64 ? 108 : 92);
  for (std::uint32_t i = 0; i < std::min<std::uint32_t>(dirCount, 16); ++i) {
    const std::uint64_t at = fixedSize + std::uint64_t{i} * 8;
    if (!optional.Holds(at, 8)) return std::nullopt;
    h.directories[i] = {*optional.Read<std::uint32_t>(at), *optional.Read<std::uint32_t>(at + 4)};
  }

  if (h.sizeOfImage == 0 || h.sizeOfImage > maxImageSize) return std::nullopt;
  // The headers are copied as one run: it must be inside the file and the
  // region, and must hold every section header.
  if (h.sizeOfHeaders > h.sizeOfImage || !file.Holds(0, h.sizeOfHeaders)) return std::nullopt;
  const std::uint64_t sectionTable = opt + optionalSize;
  if (sectionTable + std::uint64_t{sectionCount} * kSectionHeaderSize > h.sizeOfHeaders) return std::nullopt;
  h.sections.reserve(sectionCount);
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = sectionTable + std::uint64_t{i} * kSectionHeaderSize;
    h.sections.push_back({static_cast<std::uint32_t>(at), *file.Read<std::uint32_t>(at + 12),
                          *file.Read<std::uint32_t>(at + 16), *file.Read<std::uint32_t>(at + 20),
                          *file.Read<std::uint32_t>(at + 36)});
  }
  return h;
}

Protection ProtectionFor(bool execute, bool read, bool write) {
  static constexpr Protection kTable[2][2][2] = {
      {{Protection::NoAccess, Protection::WriteCopy}, {Protection::ReadOnly, Protection::ReadWrite}},
      {{Protection::Execute, Protection::ExecuteWriteCopy},
       {Protection::ExecuteRead, Protection::ExecuteReadWrite}},
  };
  return kTable[execute][read][write];
}

// Bytes that step 8 protects for a section; 0 leaves the section alone.
std::uint64_t ProtectedSize(const Headers& h, const Section& s) {
  if (s.rawSize != 0) return s.rawSize;
  if (s.characteristics & kSectionInitialisedData) return h.sizeOfInitialisedData;
  if (s.characteristics & kSectionUninitialisedData) return h.sizeOfUninitialisedData;
  return 0;
}

// What the sections ask of one page of the image.
struct PageNeeds {
  bool covered = false, execute = false, read = false, write = false, noCache = false, discard = true;
};

// The needs of every page, sections that share a page (alignment below the
// page size) adding theirs together; a page is given back only when every
// section on it is discardable. Nothing when a page kept would have to be
// both writable and executable: no page ever is, and whichever right it went
// without, the section that needs it would fault on its first use.
std::optional<std::vector<PageNeeds>> PlanPages(const Headers& h, std::size_t pageSize) {
  const std::size_t pageCount = (std::size_t{h.sizeOfImage} + pageSize - 1) / pageSize;
  std::vector<PageNeeds> pages(pageCount);
  for (const Section& s : h.sections) {
    const std::uint64_t size = ProtectedSize(h, s);
    if (size == 0) continue;
    // Data that does not fit the image fails the load when it is copied.
    if (s.virtualAddress >= h.sizeOfImage || (s.rawSize != 0 && s.virtualAddress + size > h.sizeOfImage)) continue;
    const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t{s.virtualAddress} + size, h.sizeOfImage);
    for (std::size_t p = s.virtualAddress / pageSize; p < (end + pageSize - 1) / pageSize; ++p) {
      PageNeeds& page = pages[p];
      page.covered = true;
      page.execute |= (s.characteristics & kSectionExecute) != 0;
      page.read |= (s.characteristics & kSectionRead) != 0;
      page.write |= (s.characteristics & kSectionWrite) != 0;
      page.noCache |= (s.characteristics & kSectionNotCached) != 0;
      page.discard &= (s.characteristics & kSectionDiscardable) != 0;
    }
  }
  for (const PageNeeds& page : pages)
    if (page.covered && !page.discard && page.execute && page.write) return std::nullopt;
  return pages;
}

// A section that asks to be both writable and executable is refused whether
// or not its pages would ever be kept.
bool AsksForWriteAndExecute(const Section& s) {
  return (s.characteristics & kSectionWrite) != 0 && (s.characteristics & kSectionExecute) != 0;
}

}  // namespace

bool IsExecutable(Protection p) {
  return p == Protection::Execute || p == Protection::ExecuteRead || p == Protection::ExecuteWriteCopy ||
         p == Protection::ExecuteReadWrite;
}
bool IsReadable(Protection p) {
  return p == Protection::ReadOnly || p == Protection::ReadWrite || p == Protection::WriteCopy ||
         p == Protection::ExecuteRead || p == Protection::ExecuteReadWrite || p == Protection::ExecuteWriteCopy;
}
bool IsWritable(Protection p) {
  return p == Protection::ReadWrite || p == Protection::WriteCopy || p == Protection::ExecuteReadWrite ||
         p == Protection::ExecuteWriteCopy;
}
Protection WithoutExecute(Protection p) {
  switch (p) {
    case Protection::Execute: return Protection::NoAccess;
    case Protection::ExecuteRead: return Protection::ReadOnly;
    case Protection::ExecuteWriteCopy: return Protection::WriteCopy;
    case Protection::ExecuteReadWrite: return Protection::ReadWrite;
    default: return p;
  }
}

LoadedModule::LoadedModule(LoaderPlatform& platform, std::byte* base, std::size_t size)
    : platform_(platform), base_(base), size_(size) {}

LoadedModule::~LoadedModule() {
  if (initialised_) {
    reinterpret_cast<DllEntry>(base_ + entryPoint_)(base_, kProcessDetach, nullptr);
  }
  for (LibraryHandle library : dependencies_) platform_.CloseLibrary(library);
  platform_.Release(base_, size_);
}

PageProtection LoadedModule::ProtectionAt(std::size_t rva) const {
  if (rva >= size_) return {};
  if (pages_.empty()) return {Protection::ReadWrite, false};
  return pages_[rva / pageSize_];
}

bool LoadedModule::IsReadable(std::size_t rva, std::size_t length) const {
  if (rva > size_ || length > size_ - rva) return false;
  if (length == 0 || pages_.empty()) return true;
  for (std::size_t p = rva / pageSize_; p <= (rva + length - 1) / pageSize_; ++p)
    if (!skin::IsReadable(pages_[p].protection)) return false;
  return true;
}

// The steps of one load; `module` is null until step 3.
struct ImageLoad {
  const Bytes file;
  LoaderPlatform& platform;
  const LoadOptions& options;
  Headers h{};
  std::vector<PageNeeds> pages;  // what step 8 gives each page
  std::unique_ptr<LoadedModule> module;

  std::byte* Base() const { return module->base_; }

  // Cannot fail: step 1 made sure the headers fit the file and the region.
  void CopyHeaders() {
    std::memcpy(Base(), file.At(0), h.sizeOfHeaders);
    if (h.is64) Store<std::uint64_t>(Base() + h.imageBaseField, reinterpret_cast<std::uintptr_t>(Base()));
    else Store<std::uint32_t>(Base() + h.imageBaseField, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Base())));
    module->headers_ = Base() + h.peOffset;
  }

  bool MapSections() {
    for (const Section& s : h.sections) {
      if (s.virtualAddress >= h.sizeOfImage) return false;
      std::byte* dest = Base() + s.virtualAddress;
      if (s.rawSize != 0) {
        if (std::uint64_t{s.virtualAddress} + s.rawSize > h.sizeOfImage || !file.Holds(s.rawPointer, s.rawSize))
          return false;
        if (!platform.Commit(dest, s.rawSize)) return false;
        std::memcpy(dest, file.At(s.rawPointer), s.rawSize);
      } else if (h.sectionAlignment > 0) {
        const std::size_t n = std::min<std::uint64_t>(h.sectionAlignment, h.sizeOfImage - s.virtualAddress);
        if (!platform.Commit(dest, n)) return false;
        std::memset(dest, 0, n);
      }
      // The copied section header keeps where its section went (low 32 bits).
      Store<std::uint32_t>(Base() + s.headerOffset + 8,
                           static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(dest)));
    }
    return true;
  }

  bool Relocate() {
    const std::uint64_t delta = reinterpret_cast<std::uintptr_t>(Base()) - h.preferredBase;
    if (delta == 0) return true;
    // A file that says its relocations were stripped cannot be moved, whatever
    // is left in its relocation directory.
    if (h.characteristics & kFileRelocsStripped) return false;
    const Directory dir = h.directories[kDirBaseReloc];
    if (dir.size == 0) return true;  // none were needed: nothing to fix up
    const Bytes image(Base(), h.sizeOfImage);
    if (!image.Holds(dir.rva, dir.size)) return false;
    std::uint64_t offset = 0;
    while (offset < dir.size) {
      if (dir.size - offset < 8) return false;  // a cut-off block header
      const std::uint32_t page = *image.Read<std::uint32_t>(dir.rva + offset);
      const std::uint32_t blockSize = *image.Read<std::uint32_t>(dir.rva + offset + 4);
      if (page == 0 && blockSize == 0) break;  // padding after the last block
      if (blockSize < 8 || blockSize > dir.size - offset) return false;
      for (std::uint64_t e = 8; e + 2 <= blockSize; e += 2) {
        const std::uint16_t entry = *image.Read<std::uint16_t>(dir.rva + offset + e);
        const std::uint64_t target = std::uint64_t{page} + (entry & 0x0fff);
        const unsigned type = entry >> 12;
        if (type == kRelocHighLow) {
          if (!image.Holds(target, 4)) return false;
          std::byte* at = Base() + target;
          Store<std::uint32_t>(at, Load<std::uint32_t>(at) + static_cast<std::uint32_t>(delta));
        } else if (type == kRelocDir64 && h.is64) {
          if (!image.Holds(target, 8)) return false;
          std::byte* at = Base() + target;
          Store<std::uint64_t>(at, Load<std::uint64_t>(at) + delta);
        } else if (type != kRelocAbsolute) {
          continue;  // other kinds do not occur in the images this loads
        }
      }
      offset += blockSize;
    }
    return true;
  }

  bool BindImports() {
    const Directory dir = h.directories[kDirImport];
    if (dir.size == 0) return true;
    const Bytes image(Base(), h.sizeOfImage);
    const std::uint64_t width = h.is64 ? 8 : 4;
    const std::uint64_t ordinalFlag = h.is64 ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 31);
    // No image has more slots than room for them; this bounds the work on a
    // malformed image whose descriptors share one long table.
    std::uint64_t slotBudget = h.sizeOfImage / width;
    for (std::uint64_t desc = dir.rva;; desc += 20) {
      if (!image.Holds(desc, 20)) return false;
      const std::uint32_t lookupTable = *image.Read<std::uint32_t>(desc);
      const std::uint32_t nameRva = *image.Read<std::uint32_t>(desc + 12);
      const std::uint32_t addressTable = *image.Read<std::uint32_t>(desc + 16);
      if (nameRva == 0) break;
      const auto name = image.String(nameRva);
      if (!name || addressTable == 0) return false;
      LibraryHandle library = platform.OpenLibrary(*name);
      if (library == nullptr) return false;
      try {
        module->dependencies_.push_back(library);
      } catch (const std::bad_alloc&) {
        platform.CloseLibrary(library);
        return false;
      }
      const std::uint64_t from = lookupTable != 0 ? lookupTable : addressTable;
      for (std::uint64_t i = 0;; ++i) {
        const std::uint64_t thunkAt = from + i * width;
        const std::uint64_t slotAt = addressTable + i * width;
        if (!image.Holds(thunkAt, width) || !image.Holds(slotAt, width)) return false;
        const std::uint64_t thunk = h.is64 ? *image.Read<std::uint64_t>(thunkAt) : *image.Read<std::uint32_t>(thunkAt);
        if (thunk == 0) break;
        if (slotBudget-- == 0) return false;
        std::uintptr_t address = 0;
        if (thunk & ordinalFlag) {
          address = platform.FindOrdinal(library, static_cast<std::uint16_t>(thunk & 0xffff));
        } else {
          const auto procedure = image.String((thunk & 0x7fffffff) + 2);  // after the two-byte hint
          if (!procedure) return false;
          address = platform.FindProcedure(library, *procedure);
        }
        if (address == 0) return false;
        if (h.is64) {
          Store<std::uint64_t>(Base() + slotAt, address);
        } else {
          if (std::uint64_t{address} > 0xffffffffu) return false;  // would not fit the slot
          Store<std::uint32_t>(Base() + slotAt, static_cast<std::uint32_t>(address));
        }
      }
    }
    return true;
  }

  // Every page was writable until now, so relocations and import slots could
  // be written wherever they lie; from here on no page is writable and
  // executable at once (PlanPages refused every image that would need one).
  bool ProtectSections() {
    const std::size_t pageSize = platform.PageSize();
    const std::size_t pageCount = pages.size();
    module->pageSize_ = pageSize;
    module->pages_.assign(pageCount, PageProtection{Protection::ReadWrite, false});
    const bool mayExecute = module->runnable_;
    auto wanted = [&](const PageNeeds& page) -> std::optional<PageProtection> {
      if (page.discard) return std::nullopt;
      Protection prot = ProtectionFor(page.execute, page.read, page.write);
      if (!mayExecute) prot = WithoutExecute(prot);
      return PageProtection{prot, page.noCache};
    };
    std::size_t p = 0;
    while (p < pageCount) {
      if (!pages[p].covered) {
        ++p;
        continue;
      }
      const auto first = wanted(pages[p]);
      std::size_t q = p + 1;
      while (q < pageCount && pages[q].covered && wanted(pages[q]) == first) ++q;
      std::byte* at = Base() + p * pageSize;
      const std::size_t length = std::min<std::size_t>(q * pageSize, h.sizeOfImage) - p * pageSize;
      if (first) {
        if (!platform.Protect(at, length, *first)) return false;
      } else if (!platform.Decommit(at, length)) {
        return false;
      }
      for (std::size_t i = p; i < q; ++i) module->pages_[i] = first.value_or(PageProtection{});
      p = q;
    }
    return true;
  }

  bool CallEntryPoint() {
    if (h.entryPoint == 0) return true;
    if (!module->runnable_) return false;
    if (!IsExecutable(module->ProtectionAt(h.entryPoint).protection)) return false;
    const auto entry = reinterpret_cast<DllEntry>(Base() + h.entryPoint);
    if (!entry(Base(), kProcessAttach, nullptr)) return false;
    module->entryPoint_ = h.entryPoint;
    module->initialised_ = true;
    return true;
  }

  LoadStep Run() {
    const auto headers = ReadHeaders(file, options.maxImageSize);
    if (!headers) return LoadStep::Headers;
    h = *headers;
    if (std::any_of(h.sections.begin(), h.sections.end(), AsksForWriteAndExecute)) return LoadStep::Headers;
    auto plan = PlanPages(h, platform.PageSize());
    if (!plan) return LoadStep::Headers;
    pages = std::move(*plan);

    // Step 2: the preferred base is a wish; any address will do.
    const bool below4GiB = !h.is64;
    std::byte* base = nullptr;
    if (h.preferredBase != 0 && h.preferredBase <= UINTPTR_MAX)
      base = platform.Reserve(static_cast<std::uintptr_t>(h.preferredBase), h.sizeOfImage, below4GiB);
    if (base == nullptr) base = platform.Reserve(0, h.sizeOfImage, below4GiB);
    if (base == nullptr) return LoadStep::Reserve;
    if ((below4GiB && reinterpret_cast<std::uintptr_t>(base) + h.sizeOfImage > (std::uint64_t{1} << 32)) ||
        !platform.Commit(base, h.sizeOfImage)) {
      platform.Release(base, h.sizeOfImage);
      return LoadStep::Reserve;
    }

    // Step 3: from here on the record owns the region.
    module.reset(new (std::nothrow) LoadedModule(platform, base, h.sizeOfImage));
    if (!module) {
      platform.Release(base, h.sizeOfImage);
      return LoadStep::Record;
    }
    module->preferredBase_ = h.preferredBase;
    module->machine_ = h.machine;
    module->is64_ = h.is64;
    module->runnable_ = !options.noExecute && kHostMachine != 0 && h.machine == kHostMachine && h.is64 == kHost64;

    CopyHeaders();
    if (!MapSections()) return LoadStep::Sections;
    if (!Relocate()) return LoadStep::Relocate;
    if (!BindImports()) return LoadStep::Imports;
    if (!ProtectSections()) return LoadStep::Protect;
    if (!CallEntryPoint()) return LoadStep::EntryPoint;
    return LoadStep::None;
  }
};

LoadResult LoadImage(std::span<const unsigned char> image, LoaderPlatform& platform, const LoadOptions& options) {
  ImageLoad load{Bytes(image.data(), image.size()), platform, options, {}, {}, nullptr};
  const LoadStep failed = load.Run();
  if (failed != LoadStep::None) return {nullptr, failed};  // the record's destructor releases the rest
  return {std::move(load.module), LoadStep::None};
}

std::uintptr_t FindExport(const LoadedModule& module, std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return 0;
  const std::byte* base = module.ImageBase();
  const Bytes image(base, module.ImageSize());
  // Reads only what lies inside the image on readable pages.
  auto readable = [&](std::uint64_t rva, std::uint64_t length) {
    return image.Holds(rva, length) && module.IsReadable(static_cast<std::size_t>(rva), static_cast<std::size_t>(length));
  };
  auto read16 = [&](std::uint64_t rva) -> std::optional<std::uint16_t> {
    if (!readable(rva, 2)) return std::nullopt;
    return image.Read<std::uint16_t>(rva);
  };
  auto read32 = [&](std::uint64_t rva) -> std::optional<std::uint32_t> {
    if (!readable(rva, 4)) return std::nullopt;
    return image.Read<std::uint32_t>(rva);
  };

  // The export directory entry of the loaded headers.
  const std::uint64_t optionalAt = static_cast<std::uint64_t>(module.Headers() - base) + 4 + kFileHeaderSize;
  const auto optionalSize = read16(optionalAt - kFileHeaderSize + 16);
  const auto magic = read16(optionalAt);
  if (!optionalSize || !magic) return 0;
  const bool is64 = *magic == kMagicPe32Plus;
  const auto dirCount = read32(optionalAt + (is64 ? 108 : 92));
  const std::uint64_t dirAt = optionalAt + (is64 ? 112 : 96) + kDirExport * 8;
  if (!dirCount || *dirCount <= kDirExport || dirAt + 8 > optionalAt + *optionalSize) return 0;
  const auto dirRva = read32(dirAt);
  const auto dirSize = read32(dirAt + 4);
  if (!dirRva || !dirSize || *dirRva == 0 || *dirSize == 0) return 0;

  const auto functionCount = read32(std::uint64_t{*dirRva} + 20);
  const auto nameCount = read32(std::uint64_t{*dirRva} + 24);
  const auto functions = read32(std::uint64_t{*dirRva} + 28);
  const auto names = read32(std::uint64_t{*dirRva} + 32);
  const auto ordinals = read32(std::uint64_t{*dirRva} + 36);
  if (!functionCount || !nameCount || !functions || !names || !ordinals) return 0;
  if (*functionCount == 0 || *nameCount == 0) return 0;

  for (std::uint64_t i = 0; i < *nameCount; ++i) {
    const auto nameRva = read32(*names + i * 4);
    if (!nameRva) return 0;
    // Byte by byte, the terminating zero included.
    if (!readable(*nameRva, name.size() + 1) || std::memcmp(base + *nameRva, name.data(), name.size()) != 0 ||
        base[*nameRva + name.size()] != std::byte{0})
      continue;
    const auto index = read16(*ordinals + i * 2);
    if (!index || *index >= *functionCount) return 0;
    const auto functionRva = read32(*functions + std::uint64_t{*index} * 4);
    if (!functionRva || *functionRva == 0 || *functionRva >= module.ImageSize()) return 0;
    // An address inside the export directory names another library's export.
    if (*functionRva >= *dirRva && *functionRva - *dirRva < *dirSize) return 0;
    return reinterpret_cast<std::uintptr_t>(base + *functionRva);
  }
  return 0;
}

}  // namespace kv::skin
