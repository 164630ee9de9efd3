// The in-memory loader on real DLLs built by mingw-w64 and on small synthetic
// images: placement, relocation, import binding, page protections, the entry
// point and exports, and the release of everything after a failed load.
#include <functional>

#include "image_loader.hpp"
#include "pe_support.hpp"
#include "skin_engine.hpp"

namespace kv::skin::test {
namespace {

constexpr std::uint64_t kEngineBase = 0x7e5500000000;  // --image-base of engine64.dll

const ImportTable kLib32Imports = {
    {"kvhost.dll", {{"HostAdd", 0, 0x1111A0}, {"", 7, 0x2222B0}}, ""},
    {"KVAUX.DLL", {{"AuxValue", 0, 0x3333C0}}, ""},
};

std::vector<std::pair<std::string, std::vector<std::uint32_t>>> BoundSlots(const LoadedModule& m, const Bytes& file);

template <typename T>
T At(const LoadedModule& m, std::uintptr_t address) {
  T v;
  std::memcpy(&v, reinterpret_cast<const void*>(address), sizeof v);
  (void)m;
  return v;
}
std::uintptr_t Addr(const LoadedModule& m, std::size_t rva) {
  return reinterpret_cast<std::uintptr_t>(m.ImageBase()) + rva;
}
std::uint32_t Mapped32(const LoadedModule& m, std::size_t rva) { return At<std::uint32_t>(m, Addr(m, rva)); }

// ---------------------------------------------------------------------------
// Placement and relocation

TEST(ImageLoader, PlacesHeadersAndSectionsAtThePreferredBase) {
  const Bytes file = ReadTestDll("lib32.dll");
  RecordingPlatform platform(kLib32Imports);
  const LoadResult r = LoadImage(file, platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  const FileLayout l = LayoutOf(file);
  if (reinterpret_cast<std::uintptr_t>(m.ImageBase()) != m.PreferredBase())
    GTEST_SKIP() << "the preferred base of lib32.dll is taken in this process";

  EXPECT_EQ(m.PreferredBase(), Get32(file, l.optional + 28));
  EXPECT_EQ(m.ImageSize(), Get32(file, l.SizeOfImage()));
  EXPECT_EQ(m.Headers(), m.ImageBase() + l.pe);
  EXPECT_EQ(m.Machine(), kMachineI386);
  EXPECT_FALSE(m.Is64Bit());
  EXPECT_FALSE(m.Runnable());
  EXPECT_FALSE(m.Initialised());  // no entry point

  // Headers byte for byte, except where each section went.
  const auto* base = reinterpret_cast<const unsigned char*>(m.ImageBase());
  Bytes headers(base, base + Get32(file, l.SizeOfHeaders()));
  const auto sections = SectionsOf(file);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_EQ(Get32(headers, l.Section(i) + 8),
              static_cast<std::uint32_t>(Addr(m, sections[i].virtualAddress)));
    Put32(headers, l.Section(i) + 8, sections[i].virtualSize);
  }
  EXPECT_TRUE(std::equal(headers.begin(), headers.end(), file.begin()));

  // At the preferred base nothing is relocated: every section but the bound
  // import table is its raw data, then zeros; discardable ones are gone.
  for (const SectionInfo& s : sections) {
    if (s.characteristics & kDiscard) {
      EXPECT_FALSE(m.IsReadable(s.virtualAddress, 1)) << s.name;
      EXPECT_EQ(MappedPermissions(base + s.virtualAddress), "---p") << s.name;
      continue;
    }
    if (s.name == ".idata") continue;
    const unsigned char* at = base + s.virtualAddress;
    EXPECT_EQ(0, std::memcmp(at, &file[s.rawPointer], s.rawSize)) << s.name;
    if (s.rawSize == 0) {
      EXPECT_TRUE(std::all_of(at, at + s.virtualSize, [](unsigned char c) { return c == 0; })) << s.name;
    }
  }
}

TEST(ImageLoader, RelocatesAnImageThatCannotHaveItsPreferredBase) {
  const Bytes file = ReadTestDll("lib32.dll");
  RecordingPlatform platform(kLib32Imports);
  platform.refusePreferred = true;
  const LoadResult r = LoadImage(file, platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  ASSERT_EQ(platform.reserveRequests, (std::vector<std::uintptr_t>{m.PreferredBase(), 0}));
  const auto base = reinterpret_cast<std::uintptr_t>(m.ImageBase());
  ASSERT_NE(base, m.PreferredBase());
  ASSERT_LT(base + m.ImageSize(), std::uint64_t{1} << 32);  // a 32-bit image stays below 4 GiB

  // CounterPtr holds the address of Counter, moved with the image (HIGHLOW).
  const std::uintptr_t counter = FindExport(m, "Counter");
  const std::uintptr_t counterPtr = FindExport(m, "CounterPtr");
  ASSERT_NE(counter, 0u);
  ASSERT_NE(counterPtr, 0u);
  EXPECT_EQ(At<std::uint32_t>(m, counterPtr), counter);
  EXPECT_EQ(At<std::int32_t>(m, counter), 5);
  // Data without relocations is untouched.
  const std::uintptr_t table = FindExport(m, "Table");
  ASSERT_NE(table, 0u);
  EXPECT_EQ(At<std::int32_t>(m, table + 12), 5);
  // The copied headers name the actual base.
  const FileLayout l = LayoutOf(file);
  EXPECT_EQ(Mapped32(m, l.optional + 28), base);
}

TEST(ImageLoader, RelocatesA64BitImageWhoseBaseIsOccupied) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "the image's entry point runs only on x86-64";
#endif
  const Bytes file = ReadTestDll("engine64.dll");
  // Someone else already lives at the image's preferred base.
  RecordingPlatform platform;
  LoadResult r;
  {
    HeldRange squatter(kEngineBase, 0x10000);
    if (!squatter.Held()) GTEST_SKIP() << "cannot occupy the preferred base";
    r = LoadImage(file, platform);
  }
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(m.ImageBase()), kEngineBase);
  EXPECT_EQ(At<std::uint64_t>(m, Addr(m, LayoutOf(file).optional + 24)), reinterpret_cast<std::uintptr_t>(m.ImageBase()));
  // AttachedPtr holds the address of Attached, moved with the image (DIR64).
  const std::uintptr_t attached = FindExport(m, "Attached");
  ASSERT_NE(attached, 0u);
  EXPECT_EQ(At<std::uint64_t>(m, FindExport(m, "AttachedPtr")), attached);
  EXPECT_EQ(At<std::int32_t>(m, attached), 1);  // the entry point ran here, relocated
}

TEST(ImageLoader, RefusesToPlaceAnImageWithoutRelocationsElsewhere) {
  constexpr std::uint16_t kRelocsStripped = 0x0001;
  ImageLayout layout;
  layout.characteristics |= kRelocsStripped;
  layout.sections = {{".data", 0x1000, 0x10, Bytes(16, 7), kInitData | kRead | kWrite}};
  // A file that says its relocations were stripped cannot move, even when a
  // relocation directory is left in it.
  Bytes lib32 = ReadTestDll("lib32.dll");
  const std::size_t flags = LayoutOf(lib32).pe + 22;
  Put16(lib32, flags, Get16(lib32, flags) | kRelocsStripped);
  struct Case {
    const char* what;
    Bytes image;
    bool refusePreferred;
    LoadStep want;
  } cases[] = {
      {"no relocations, elsewhere", BuildImage(layout), true, LoadStep::Relocate},
      {"no relocations, at its own base", BuildImage(layout), false, LoadStep::None},
      {"relocations left in, elsewhere", lib32, true, LoadStep::Relocate},
  };
  for (const Case& c : cases) {
    RecordingPlatform platform(kLib32Imports);
    platform.refusePreferred = c.refusePreferred;
    LoadResult r = LoadImage(c.image, platform);
    EXPECT_EQ(r.failedAt, c.want) << c.what;
    r.module.reset();
    EXPECT_TRUE(platform.AllReleased()) << c.what;
  }
}

TEST(ImageLoader, WritesRelocationsAndImportsBeforeTakingWriteAway) {
  // lib32.dll with no writable section: its relocated pointer (.data) and its
  // import slots (.idata) must be written while the pages still allow it.
  Bytes file = ReadTestDll("lib32.dll");
  const FileLayout l = LayoutOf(file);
  for (std::size_t i = 0; i < SectionsOf(file).size(); ++i)
    Put32(file, l.Section(i) + 36, Get32(file, l.Section(i) + 36) & ~kWrite);
  RecordingPlatform platform(kLib32Imports);
  platform.refusePreferred = true;
  const LoadResult r = LoadImage(file, platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  const std::uintptr_t counterPtr = FindExport(m, "CounterPtr");
  ASSERT_NE(counterPtr, 0u);
  EXPECT_EQ(At<std::uint32_t>(m, counterPtr), FindExport(m, "Counter"));
  EXPECT_EQ(MappedPermissions(reinterpret_cast<void*>(counterPtr)), "r--p");
  const auto slots = BoundSlots(m, file);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[1].second, (std::vector<std::uint32_t>{0x1111A0, 0x2222B0}));
  EXPECT_EQ(MappedPermissions(m.ImageBase() + SectionNamed(file, ".idata").virtualAddress), "r--p");
}

// ---------------------------------------------------------------------------
// Imports

// The bound address-table slots of the mapped image, per imported library.
std::vector<std::pair<std::string, std::vector<std::uint32_t>>> BoundSlots(const LoadedModule& m, const Bytes& file) {
  std::vector<std::pair<std::string, std::vector<std::uint32_t>>> out;
  const auto* base = reinterpret_cast<const char*>(m.ImageBase());
  for (std::uint32_t d = Get32(file, LayoutOf(file).Directory(1));; d += 20) {
    const std::uint32_t name = Mapped32(m, d + 12);
    if (name == 0) break;
    std::vector<std::uint32_t> slots;
    for (std::uint32_t s = Mapped32(m, d + 16); Mapped32(m, s) != 0; s += 4) slots.push_back(Mapped32(m, s));
    out.emplace_back(base + name, slots);
  }
  return out;
}

TEST(ImageLoader, BindsImportsByNameAndOrdinalThroughTheTable) {
  const Bytes file = ReadTestDll("lib32.dll");
  RecordingPlatform platform(kLib32Imports);
  LoadResult r = LoadImage(file, platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  // One dependency per descriptor, in the image's order; names match the
  // table whatever their case.
  EXPECT_EQ(platform.opened, (std::vector<std::string>{"kvaux.dll", "kvhost.dll"}));
  EXPECT_EQ(r.module->Dependencies(), platform.handles);
  const auto slots = BoundSlots(*r.module, file);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0].second, (std::vector<std::uint32_t>{0x3333C0}));
  EXPECT_EQ(slots[1].second, (std::vector<std::uint32_t>{0x1111A0, 0x2222B0}));

  // Releasing the image closes every library it opened.
  r.module.reset();
  EXPECT_EQ(platform.closed, platform.handles);
  EXPECT_TRUE(platform.AllReleased());
}

TEST(ImageLoader, FailsWhenAnImportCannotBeResolved) {
  const Bytes file = ReadTestDll("lib32.dll");
  struct Case {
    const char* what;
    ImportTable table;
  } cases[] = {
      {"library missing", {kLib32Imports[1]}},
      {"name missing", {{"kvhost.dll", {{"", 7, 0x2222B0}}, ""}, kLib32Imports[1]}},
      {"ordinal missing", {{"kvhost.dll", {{"HostAdd", 0, 0x1111A0}, {"", 8, 0x2222B0}}, ""}, kLib32Imports[1]}},
      {"address too wide for a 32-bit slot",
       {{"kvhost.dll", {{"HostAdd", 0, 0x1111A0}, {"", 7, 0x2222B0}}, ""},
        {"kvaux.dll", {{"AuxValue", 0, static_cast<std::uintptr_t>(0x123456789ull)}}, ""}}},
  };
  for (const Case& c : cases) {
    if (sizeof(std::uintptr_t) < 8 && std::string(c.what).starts_with("address")) continue;
    RecordingPlatform platform(c.table);
    const LoadResult r = LoadImage(file, platform);
    EXPECT_EQ(r.failedAt, LoadStep::Imports) << c.what;
    EXPECT_TRUE(platform.AllReleased()) << c.what;
    EXPECT_EQ(platform.closed, platform.handles) << c.what;
  }
}

#if defined(__x86_64__)
// The image's code calls the system through the slots the loader bound: the
// real kernel32 on Windows, stand-ins with its calling convention elsewhere.
TEST(ImageLoader, BindsAndCallsTheSystemsLibraries) {
  RecordingPlatform platform(SystemStandIns());
  LoadResult r = LoadImage(ReadTestDll("imports64.dll"), platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  ASSERT_EQ(platform.opened.size(), 1u);
  EXPECT_TRUE(platform.opened[0] == "KERNEL32.dll" || platform.opened[0] == "kernel32.dll") << platform.opened[0];
  EXPECT_EQ(r.module->Dependencies(), platform.handles);

  using ProcessId = std::uint32_t(KV_WINAPI*)();
  using Length = int(KV_WINAPI*)(const char*);
  const auto processId = reinterpret_cast<ProcessId>(FindExport(*r.module, "CallerProcessId"));
  const auto length = reinterpret_cast<Length>(FindExport(*r.module, "TextLength"));
  ASSERT_TRUE(processId && length);
  EXPECT_EQ(processId(), CurrentProcessId());
  EXPECT_EQ(length("\xd0\xc5\xcf\xa2 ok"), 7);
  EXPECT_EQ(length(""), 0);

  r.module.reset();
  EXPECT_EQ(platform.closed, platform.handles);
  EXPECT_TRUE(platform.AllReleased());
}
#endif

// ---------------------------------------------------------------------------
// Page protections

ImageLayout EveryProtection(std::uint16_t machine) {
  ImageLayout layout;
  layout.machine = machine;
  const Bytes code = {0x0F, 0x0B};  // ud2: calling it would kill the test
  auto s = [&](const char* name, std::uint32_t va, std::uint32_t flags, bool raw = true) {
    layout.sections.push_back({name, va, 0x100, raw ? (flags & kExec ? code : Bytes(16, 1)) : Bytes{}, flags});
  };
  s("none", 0x1000, kInitData);
  s("w", 0x2000, kInitData | kWrite);
  s("r", 0x3000, kInitData | kRead);
  s("rw", 0x4000, kInitData | kRead | kWrite);
  s("x", 0x5000, kCode | kExec);
  s("xr", 0x7000, kCode | kExec | kRead);
  s("nocache", 0x9000, kInitData | kRead | kNoCache);
  s("discard", 0xA000, kInitData | kRead | kDiscard);
  s("bss", 0xB000, kUninitData | kRead | kWrite, false);
  s("plain", 0xD000, kRead, false);  // no data and no data kind: left alone
  layout.sizeOfUninitialisedData = 0x2000;
  layout.sizeOfImage = 0xE000;
  return layout;
}

TEST(ImageLoader, ProtectsEachSectionByItsFlags) {
  if (NativePageSize() != 0x1000) GTEST_SKIP() << "needs 4 KiB pages";
  const bool native =
#if defined(__x86_64__)
      true;
#else
      false;
#endif
  if (!native) GTEST_SKIP() << "executable pages need an x86-64 host";
  RecordingPlatform platform;
  const LoadResult r = LoadImage(BuildImage(EveryProtection(kMachineAmd64)), platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  using P = Protection;
  struct Want {
    std::size_t rva, size;
    PageProtection protection;
    const char* maps;
  } wants[] = {
      {0x1000, 0x1000, {P::NoAccess, false}, "---p"},
      {0x2000, 0x1000, {P::WriteCopy, false}, "rw-p"},
      {0x3000, 0x1000, {P::ReadOnly, false}, "r--p"},
      {0x4000, 0x1000, {P::ReadWrite, false}, "rw-p"},
      {0x5000, 0x1000, {P::Execute, false}, "--xp"},
      {0x7000, 0x1000, {P::ExecuteRead, false}, "r-xp"},
      {0x9000, 0x1000, {P::ReadOnly, true}, "r--p"},
      {0xB000, 0x2000, {P::ReadWrite, false}, "rw-p"},  // the image's uninitialised-data size
  };
  ASSERT_EQ(platform.protects.size(), std::size(wants));
  for (std::size_t i = 0; i < std::size(wants); ++i) {
    const Want& w = wants[i];
    EXPECT_EQ(platform.protects[i].offset, w.rva) << i;
    EXPECT_EQ(platform.protects[i].size, w.size) << i;
    EXPECT_EQ(platform.protects[i].protection, w.protection) << i;
    EXPECT_EQ(m.ProtectionAt(w.rva), w.protection) << i;
    EXPECT_EQ(MappedPermissions(m.ImageBase() + w.rva), w.maps) << i;
  }
  // The discardable section is given back; the section without data is not touched.
  EXPECT_EQ(platform.decommits, (std::vector<std::pair<std::size_t, std::size_t>>{{0xA000, 0x1000}}));
  EXPECT_EQ(MappedPermissions(m.ImageBase() + 0xA000), "---p");
  EXPECT_EQ(MappedPermissions(m.ImageBase() + 0xD000), "rw-p");
  EXPECT_FALSE(m.IsReadable(0xA000, 1));
  EXPECT_TRUE(m.IsReadable(0x9000, 0x1000));
  EXPECT_FALSE(m.IsReadable(0x8FFF, 0x1002));
}

TEST(ImageLoader, NeverMapsExecutableInNoExecuteModeOrForAnotherMachine) {
  struct Case {
    const char* what;
    std::uint16_t machine;
    bool noExecute;
  } cases[] = {{"no-execute mode", kMachineAmd64, true}, {"ARM64 image", 0xAA64, false}};
  for (const Case& c : cases) {
    RecordingPlatform platform;
    LoadOptions options;
    options.noExecute = c.noExecute;
    const LoadResult r = LoadImage(BuildImage(EveryProtection(c.machine)), platform, options);
    ASSERT_TRUE(r.module) << c.what;
    EXPECT_FALSE(r.module->Runnable()) << c.what;
    for (const auto& call : platform.protects) EXPECT_FALSE(IsExecutable(call.protection.protection)) << c.what;
    for (std::size_t rva = 0; rva < r.module->ImageSize(); rva += 0x1000)
      EXPECT_EQ(MappedPermissions(r.module->ImageBase() + rva).find('x'), std::string::npos) << c.what << rva;
    EXPECT_EQ(r.module->ProtectionAt(0x7000).protection, Protection::ReadOnly) << c.what;
  }
}

TEST(ImageLoader, RefusesWhatWouldBeWritableAndExecutable) {
  if (NativePageSize() != 0x1000) GTEST_SKIP() << "needs 4 KiB pages";
  auto image = [](std::vector<SectionLayout> sections, std::uint32_t alignment = 0x1000,
                  std::uint32_t uninitialised = 0) {
    ImageLayout layout;
    layout.sectionAlignment = alignment;
    layout.sizeOfUninitialisedData = uninitialised;
    layout.sections = std::move(sections);
    return BuildImage(layout);
  };
  const Bytes ret = {0xC3};
  Bytes engine = ReadTestDll("engine64.dll");
  const auto sections = SectionsOf(engine);
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (sections[i].name == ".data") Put32(engine, LayoutOf(engine).Section(i) + 36, sections[i].characteristics | kExec);
  struct Case {
    const char* what;
    Bytes image;
  } cases[] = {
      {"a section asking for write and execute", image({{"wx", 0x1000, 0x10, ret, kCode | kExec | kWrite}})},
      {"one asking for read, write and execute", image({{"rwx", 0x1000, 0x10, ret, kCode | kExec | kRead | kWrite}})},
      {"engine64.dll with an executable .data", engine},
      {"code and writable data on one page",
       image({{".text", 0x400, 0x100, ret, kCode | kExec | kRead}, {".data", 0x600, 0x100, Bytes(8, 1), kInitData | kRead | kWrite}},
             0x200)},
      {"uninitialised data reaching the page of the code",
       image({{".bss", 0x1000, 0x10, {}, kUninitData | kRead | kWrite}, {".text", 0x2000, 0x10, ret, kCode | kExec | kRead}},
             0x1000, 0x1800)},
  };
  for (const Case& c : cases) {
    for (const bool noExecute : {false, true}) {
      RecordingPlatform platform;
      LoadOptions options;
      options.noExecute = noExecute;
      LoadResult r = LoadImage(c.image, platform, options);
      EXPECT_EQ(r.failedAt, LoadStep::Headers) << c.what << (noExecute ? ", no-execute mode" : "");
      EXPECT_TRUE(platform.reserveRequests.empty()) << c.what;
      r.module.reset();
      EXPECT_TRUE(platform.AllReleased()) << c.what;
    }
  }
}

TEST(ImageLoader, SectionsSharingAPageGetTheRightsOfBoth) {
  if (NativePageSize() != 0x1000) GTEST_SKIP() << "needs 4 KiB pages";
#if defined(__x86_64__)
  const bool native = true;
#else
  const bool native = false;
#endif
  const Bytes ret = {0xC3};
  struct Case {
    const char* what;
    std::uint32_t first, second;
    Protection want;
    const char* maps;
  } cases[] = {
      {"code and constants", kCode | kExec | kRead, kInitData | kRead, Protection::ExecuteRead, "r-xp"},
      {"constants and data", kInitData | kRead, kInitData | kRead | kWrite, Protection::ReadWrite, "rw-p"},
      {"write-only and read-only data", kInitData | kWrite, kInitData | kRead, Protection::ReadWrite, "rw-p"},
  };
  for (const Case& c : cases) {
    for (const bool noExecute : {false, true}) {
      ImageLayout layout;
      layout.sectionAlignment = 0x200;
      layout.sections = {{"first", 0x400, 0x100, c.first & kExec ? ret : Bytes(8, 1), c.first},
                         {"second", 0x600, 0x100, Bytes(8, 2), c.second},
                         {".rdata", 0x1000, 0x100, Bytes(8, 3), kInitData | kRead}};
      RecordingPlatform platform;
      LoadOptions options;
      options.noExecute = noExecute;
      const LoadResult r = LoadImage(BuildImage(layout), platform, options);
      ASSERT_TRUE(r.module) << c.what << static_cast<int>(r.failedAt);
      const bool executes = native && !noExecute;
      const Protection want = executes ? c.want : WithoutExecute(c.want);
      EXPECT_EQ(r.module->ProtectionAt(0x400).protection, want) << c.what;
      EXPECT_EQ(r.module->ProtectionAt(0x1000).protection, Protection::ReadOnly) << c.what;
      std::string maps = c.maps;
      if (!executes) std::replace(maps.begin(), maps.end(), 'x', '-');
      EXPECT_EQ(MappedPermissions(r.module->ImageBase() + 0x600), maps) << c.what;
    }
  }
}

TEST(LoaderPlatform, NeverMakesAPageWritableAndExecutable) {
  using P = Protection;
  struct Case {
    Protection protection;
    bool allowExecute;
    bool accepted;
    const char* maps;
  } cases[] = {
      {P::ExecuteRead, true, true, "r-xp"},
      {P::ReadWrite, true, true, "rw-p"},
      {P::ExecuteReadWrite, true, false, "rw-p"},
      {P::ExecuteWriteCopy, true, false, "rw-p"},
      {P::ExecuteReadWrite, false, true, "rw-p"},  // execute is never granted there anyway
  };
  for (const Case& c : cases) {
    const std::unique_ptr<LoaderPlatform> platform = MakeNativePlatform({}, c.allowExecute);
    const std::size_t page = platform->PageSize();
    std::byte* region = platform->Reserve(0, page, false);
    ASSERT_NE(region, nullptr);
    ASSERT_TRUE(platform->Commit(region, page));
    EXPECT_EQ(platform->Protect(region, page, {c.protection, false}), c.accepted) << static_cast<int>(c.protection);
    EXPECT_EQ(MappedPermissions(region), c.maps) << static_cast<int>(c.protection);
    platform->Release(region, page);
  }
}

// ---------------------------------------------------------------------------
// Entry point and exports

std::uint32_t Fnv1a(std::span<const unsigned char> bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
  return h;
}

Bytes SkinBytes() {
  std::ifstream in(KELVARO_SKIN_FILE, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#if defined(__x86_64__)
TEST(ImageLoader, CallsTheEntryPointAndTheSkinExport) {
  const Bytes file = ReadTestDll("engine64.dll");
  RecordingPlatform platform;
  LoadResult r = LoadImage(file, platform);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  EXPECT_TRUE(m.Runnable());
  EXPECT_TRUE(m.Initialised());
  EXPECT_EQ(At<std::int32_t>(m, FindExport(m, "Attached")), 1);
  EXPECT_EQ(At<void*>(m, FindExport(m, "EntryInstance")), m.ImageBase());
  EXPECT_TRUE(m.Dependencies().empty());

  const std::uintptr_t attach = FindExport(m, kAttachExport);
  const SectionInfo text = SectionNamed(file, ".text");
  ASSERT_GE(attach, Addr(m, text.virtualAddress));
  ASSERT_LT(attach, Addr(m, text.virtualAddress + text.virtualSize));
  EXPECT_EQ(m.ProtectionAt(attach - Addr(m, 0)).protection, Protection::ExecuteRead);
  EXPECT_EQ(MappedPermissions(reinterpret_cast<void*>(attach)), "r-xp");

  const Bytes skin = SkinBytes();
  ASSERT_GT(skin.size(), 5u);
  ASSERT_TRUE(AttachEngineSkin(m, skin));
  EXPECT_EQ(At<std::int32_t>(m, FindExport(m, "ReceivedSize")), static_cast<std::int32_t>(skin.size()));
  EXPECT_EQ(At<std::uint32_t>(m, FindExport(m, "ReceivedHash")), Fnv1a(skin));
  EXPECT_EQ(0, std::memcmp(reinterpret_cast<const void*>(FindExport(m, "ReceivedHead")), ".SHE\0kel", 8));
  EXPECT_EQ(At<const char*>(m, FindExport(m, "ReceivedPassword")), nullptr);
  const std::uintptr_t adjust = FindExport(m, "ReceivedAdjust");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(At<std::int32_t>(m, adjust + 4 * i), 0);
  EXPECT_EQ(At<std::int32_t>(m, FindExport(m, "AttachCalls")), 1);

  // Releasing the image tells it the process detaches, once.
  volatile int detached = 0;
  using SetCounter = void(KV_WINAPI*)(volatile int*);
  reinterpret_cast<SetCounter>(FindExport(m, "SetDetachCounter"))(&detached);
  r.module.reset();
  EXPECT_EQ(detached, 1);
  EXPECT_TRUE(platform.AllReleased());
}

TEST(ImageLoader, AnEntryPointThatRefusesFailsTheLoad) {
  RecordingPlatform platform;
  const LoadResult r = LoadImage(ReadTestDll("engine64_refuses.dll"), platform);
  EXPECT_EQ(r.failedAt, LoadStep::EntryPoint);
  EXPECT_FALSE(r.module);
  EXPECT_TRUE(platform.AllReleased());
}
#endif

TEST(ImageLoader, DoesNotCallCodeItMayNotRun) {
  // An ARM64 image with an entry point, an x86-64 one in no-execute mode: both
  // are mapped, then fail at the entry step without calling anything (the
  // entry holds ud2).
  ImageLayout arm = EveryProtection(0xAA64);
  arm.entryPoint = 0x7000;
  ImageLayout native = EveryProtection(kMachineAmd64);
  native.entryPoint = 0x7000;
  for (const auto& [layout, noExecute] : {std::pair{arm, false}, std::pair{native, true}}) {
    RecordingPlatform platform;
    LoadOptions options;
    options.noExecute = noExecute;
    const LoadResult r = LoadImage(BuildImage(layout), platform, options);
    EXPECT_EQ(r.failedAt, LoadStep::EntryPoint);
    EXPECT_EQ(platform.protects.size(), 8u);  // it got as far as protecting every section
    EXPECT_TRUE(platform.AllReleased());
  }
  // Nor an entry point on a page that is not executable.
  ImageLayout data = EveryProtection(kMachineAmd64);
  data.entryPoint = 0x4000;
  RecordingPlatform platform;
  EXPECT_EQ(LoadImage(BuildImage(data), platform).failedAt, LoadStep::EntryPoint);
  EXPECT_TRUE(platform.AllReleased());
}

TEST(ImageLoader, FindsExportsByExactNameOnly) {
  RecordingPlatform platform;
  LoadOptions options;
  options.noExecute = true;
  const Bytes engine = ReadTestDll("engine64.dll");
  // Entry point refused in no-execute mode; map it without one to look at it.
  Bytes noEntry = engine;
  Put32(noEntry, LayoutOf(noEntry).EntryPoint(), 0);
  const LoadResult r = LoadImage(noEntry, platform, options);
  ASSERT_TRUE(r.module) << static_cast<int>(r.failedAt);
  const LoadedModule& m = *r.module;
  EXPECT_NE(FindExport(m, "SkinH_AttachRes"), 0u);
  EXPECT_NE(FindExport(m, "SetDetachCounter"), FindExport(m, "SkinH_AttachRes"));
  for (std::string_view absent : {std::string_view("skinh_attachres"), std::string_view("SkinH_AttachRe"),
                                  std::string_view("SkinH_AttachResX"), std::string_view(""),
                                  std::string_view("SkinH_AttachRes\0", 16), std::string_view("DllEntry")})
    EXPECT_EQ(FindExport(m, absent), 0u) << absent;

  // Exports by ordinal only: no names, nothing found by name.
  RecordingPlatform platform2;
  const LoadResult ordinals = LoadImage(ReadTestDll("ordinals.dll"), platform2, options);
  ASSERT_TRUE(ordinals.module) << static_cast<int>(ordinals.failedAt);
  EXPECT_EQ(FindExport(*ordinals.module, "Hidden"), 0u);
  EXPECT_EQ(FindExport(*ordinals.module, ""), 0u);

  // No export directory at all.
  RecordingPlatform platform3;
  const LoadResult bare = LoadImage(BuildImage(EveryProtection(kMachineAmd64)), platform3, options);
  ASSERT_TRUE(bare.module);
  EXPECT_EQ(FindExport(*bare.module, "SkinH_AttachRes"), 0u);
}

TEST(SkinEngine, LoadsFromAByteBlockAndRefusesABrokenOne) {
  Bytes dll = ReadTestDll("lib32.dll");
  Bytes block = {1, 0, 0, 0};
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<unsigned char>(dll.size() >> (8 * i)));
  block.insert(block.end(), dll.begin(), dll.end());
  RecordingPlatform platform(kLib32Imports);
  auto engine = LoadEngine(block, platform);
  ASSERT_TRUE(engine);
  // A 32-bit engine cannot run here, and lib32 has no SkinH_AttachRes anyway.
  EXPECT_FALSE(AttachEngineSkin(*engine, SkinBytes()));
  engine.reset();

  Bytes wrongMarker = block;
  wrongMarker[0] = 2;
  Bytes shortCount = block;
  shortCount[4] = static_cast<unsigned char>(shortCount[4] + 1);  // one byte more than there is
  for (const Bytes& bad : {wrongMarker, shortCount, Bytes(block.begin(), block.begin() + 8)}) {
    EXPECT_FALSE(LoadEngine(bad, platform));
  }
  EXPECT_TRUE(platform.AllReleased());
}

// ---------------------------------------------------------------------------
// The release path after a failure at each step

TEST(ImageLoader, ReleasesEverythingAfterAFailureAtEachStep) {
  const Bytes lib32 = ReadTestDll("lib32.dll");
  struct Case {
    LoadStep step;
    const char* what;
    std::function<void(RecordingPlatform&)> setup;
    Bytes image;
  };
  Bytes badMz = lib32;
  badMz[0] = 'N';
  Bytes badReloc = lib32;
  Put32(badReloc, LayoutOf(badReloc).Directory(5) + 4, 6);  // a block shorter than its header
  const Case cases[] = {
      {LoadStep::Headers, "not MZ", [](RecordingPlatform&) {}, badMz},
      {LoadStep::Reserve, "no address space", [](RecordingPlatform& p) { p.refuseReserve = true; }, lib32},
      {LoadStep::Reserve, "region not committed", [](RecordingPlatform& p) { p.failCommit = 0; }, lib32},
      {LoadStep::Sections, "section not committed", [](RecordingPlatform& p) { p.failCommit = 1; }, lib32},
      {LoadStep::Relocate, "bad relocation block", [](RecordingPlatform& p) { p.refusePreferred = true; }, badReloc},
      {LoadStep::Imports, "second library refused", [](RecordingPlatform& p) { p.failOpen = 1; }, lib32},
      {LoadStep::Protect, "protection refused", [](RecordingPlatform& p) { p.failProtect = 2; }, lib32},
  };
  for (const Case& c : cases) {
    RecordingPlatform platform(kLib32Imports);
    c.setup(platform);
    const LoadResult r = LoadImage(c.image, platform);
    EXPECT_FALSE(r.module) << c.what;
    EXPECT_EQ(r.failedAt, c.step) << c.what;
    EXPECT_TRUE(platform.AllReleased()) << c.what;
    EXPECT_EQ(platform.closed, platform.handles) << c.what;
    if (c.step == LoadStep::Headers) {
      EXPECT_TRUE(platform.reserveRequests.empty());
    } else if (c.step == LoadStep::Imports) {
      EXPECT_EQ(platform.closed.size(), 1u);
    } else if (c.step == LoadStep::Protect) {
      EXPECT_EQ(platform.closed.size(), 2u);
    }
  }
}

}  // namespace
}  // namespace kv::skin::test
