// Malformed images fail the load at the step that meets the fault, without
// reading or writing outside the image (the sanitizer build checks the
// "without": every image here is a buffer of exactly its own size).
#include <random>

#include "image_loader.hpp"
#include "pe_support.hpp"

namespace kv::skin::test {
namespace {

const ImportTable kImports = {
    {"kvhost.dll", {{"HostAdd", 0, 0x1111A0}, {"", 7, 0x2222B0}}, ""},
    {"kvaux.dll", {{"AuxValue", 0, 0x3333C0}}, ""},
};

// File offset of an image offset, through the section table.
std::size_t FileOffset(const Bytes& file, std::uint32_t rva) {
  for (const SectionInfo& s : SectionsOf(file))
    if (rva >= s.virtualAddress && rva < s.virtualAddress + s.rawSize) return s.rawPointer + (rva - s.virtualAddress);
  ADD_FAILURE() << "rva " << rva << " has no file data";
  return 0;
}

struct Outcome {
  LoadStep step;
  bool released;
};

Outcome Load(const Bytes& image, bool refusePreferred = false, std::size_t maxImageSize = std::size_t{64} << 20) {
  RecordingPlatform platform(kImports);
  platform.refusePreferred = refusePreferred;
  LoadOptions options;
  options.maxImageSize = maxImageSize;
  options.noExecute = true;
  LoadResult r = LoadImage(image, platform, options);
  const LoadStep step = r.failedAt;
  r.module.reset();
  return {step, platform.AllReleased()};
}

class MalformedImage : public ::testing::Test {
 protected:
  const Bytes dll = ReadTestDll("lib32.dll");
  const FileLayout l = LayoutOf(dll);
  const std::uint32_t sizeOfImage = Get32(dll, l.SizeOfImage());

  // Applies `change` to a copy of the DLL and loads it.
  template <typename F>
  Outcome With(F change, bool refusePreferred = false) {
    Bytes b = dll;
    change(b);
    return Load(b, refusePreferred);
  }
};

TEST_F(MalformedImage, TheUntouchedDllLoads) {
  const Outcome o = Load(dll, true);
  EXPECT_EQ(o.step, LoadStep::None);
  EXPECT_TRUE(o.released);
}

TEST_F(MalformedImage, EveryTruncationFails) {
  for (std::size_t n = 0; n < dll.size(); ++n) {
    const Outcome o = Load(Bytes(dll.begin(), dll.begin() + n));
    ASSERT_TRUE(o.step == LoadStep::Headers || o.step == LoadStep::Sections) << n;
    ASSERT_TRUE(o.released) << n;
  }
}

TEST_F(MalformedImage, BrokenHeadersFailAtTheFirstStep) {
  const std::size_t size = dll.size();
  const std::size_t optional = l.optional, pe = l.pe;
  const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
      {"PE offset at the end", [&](Bytes& b) { Put32(b, 60, static_cast<std::uint32_t>(size - 2)); }},
      {"PE offset far outside", [](Bytes& b) { Put32(b, 60, 0xFFFFFFF0u); }},
      {"wrong signature", [&](Bytes& b) { b[pe + 3] = 1; }},
      {"unknown optional-header magic", [&](Bytes& b) { Put16(b, optional, 0x107); }},
      {"optional header too short", [&](Bytes& b) { Put16(b, pe + 20, 95); }},
      {"optional header past the file", [&](Bytes& b) { Put16(b, pe + 20, 0xFFFF); }},
      {"size of image 0", [&](Bytes& b) { Put32(b, l.SizeOfImage(), 0); }},
      {"size of image over the cap", [&](Bytes& b) { Put32(b, l.SizeOfImage(), 0x7FFFF000); }},
      {"headers past the file", [&](Bytes& b) { Put32(b, l.SizeOfHeaders(), static_cast<std::uint32_t>(size + 1)); }},
      {"headers larger than the image", [&](Bytes& b) { Put32(b, l.SizeOfHeaders(), sizeOfImage + 0x1000); }},
      {"section table past the headers", [&](Bytes& b) { Put16(b, pe + 6, 200); }},
  };
  for (const auto& [what, change] : cases) {
    const Outcome o = With(change);
    EXPECT_EQ(o.step, LoadStep::Headers) << what;
    EXPECT_TRUE(o.released) << what;
  }
  EXPECT_EQ(Load(dll, false, sizeOfImage - 1).step, LoadStep::Headers);
  EXPECT_EQ(Load(Bytes{'M', 'Z'}).step, LoadStep::Headers);
  EXPECT_EQ(Load(Bytes{}).step, LoadStep::Headers);
}

TEST_F(MalformedImage, SectionDataOutsideTheFileOrImageFails) {
  const std::size_t s0 = l.Section(0), last = l.Section(static_cast<int>(SectionsOf(dll).size()) - 1);
  const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
      {"raw data starts near the end", [&](Bytes& b) { Put32(b, s0 + 20, static_cast<std::uint32_t>(b.size() - 4)); }},
      {"raw data far too long", [&](Bytes& b) { Put32(b, s0 + 16, 0x7FFFFFFF); }},
      {"raw pointer wraps", [&](Bytes& b) { Put32(b, s0 + 20, 0xFFFFFF00u); }},
      {"section outside the image", [&](Bytes& b) { Put32(b, s0 + 12, sizeOfImage); }},
      {"section runs past the image", [&](Bytes& b) { Put32(b, last + 12, sizeOfImage - 0x10); }},
  };
  for (const auto& [what, change] : cases) {
    const Outcome o = With(change);
    EXPECT_EQ(o.step, LoadStep::Sections) << what;
    EXPECT_TRUE(o.released) << what;
  }
}

TEST_F(MalformedImage, RelocationsOutsideTheImageFail) {
  const std::uint32_t relocRva = Get32(dll, l.Directory(5));
  const std::size_t block = FileOffset(dll, relocRva);
  const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
      {"directory past the image", [&](Bytes& b) { Put32(b, l.Directory(5), sizeOfImage - 4); }},
      {"directory far too long", [&](Bytes& b) { Put32(b, l.Directory(5) + 4, 0x7FFFFFFF); }},
      {"block shorter than its header", [&](Bytes& b) { Put32(b, block + 4, 4); }},
      {"block past the directory", [&](Bytes& b) { Put32(b, block + 4, 0x1000); }},
      {"block names a page past the image", [&](Bytes& b) { Put32(b, block, sizeOfImage - 2); }},
  };
  for (const auto& [what, change] : cases) {
    const Outcome o = With(change, true);
    EXPECT_EQ(o.step, LoadStep::Relocate) << what;
    EXPECT_TRUE(o.released) << what;
    EXPECT_EQ(With(change, false).step, LoadStep::None) << what << " (no relocation needed)";
  }
}

TEST_F(MalformedImage, ImportsOutsideTheImageFail) {
  const std::uint32_t importRva = Get32(dll, l.Directory(1));
  const std::size_t desc = FileOffset(dll, importRva);
  const std::size_t thunk = FileOffset(dll, Get32(dll, desc));  // the first lookup entry
  const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
      {"descriptor cut by the image end", [&](Bytes& b) { Put32(b, l.Directory(1), sizeOfImage - 8); }},
      {"library name past the image", [&](Bytes& b) { Put32(b, desc + 12, sizeOfImage + 100); }},
      {"address table past the image", [&](Bytes& b) { Put32(b, desc + 16, sizeOfImage - 2); }},
      {"address table missing", [&](Bytes& b) { Put32(b, desc + 16, 0); }},
      {"lookup table past the image", [&](Bytes& b) { Put32(b, desc, sizeOfImage - 2); }},
      {"procedure name past the image", [&](Bytes& b) { Put32(b, thunk, sizeOfImage - 1); }},
  };
  for (const auto& [what, change] : cases) {
    const Outcome o = With(change);
    EXPECT_EQ(o.step, LoadStep::Imports) << what;
    EXPECT_TRUE(o.released) << what;
  }
}

TEST_F(MalformedImage, BrokenExportTablesFindNothing) {
  const std::uint32_t exportRva = Get32(dll, l.Directory(0));
  const std::uint32_t exportSize = Get32(dll, l.Directory(0) + 4);
  const std::size_t dir = FileOffset(dll, exportRva);
  const std::uint32_t functionCount = Get32(dll, dir + 20);
  const std::size_t functions = FileOffset(dll, Get32(dll, dir + 28));
  const std::size_t ordinals = FileOffset(dll, Get32(dll, dir + 36));
  const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
      {"name table past the image", [&](Bytes& b) { Put32(b, dir + 32, sizeOfImage - 2); }},
      {"ordinal table past the image", [&](Bytes& b) { Put32(b, dir + 36, 0xFFFFFFF0u); }},
      {"ordinal index past the function table",
       [&](Bytes& b) {
         for (std::uint32_t i = 0; i < Get32(b, dir + 24); ++i)
           Put16(b, ordinals + 2 * i, static_cast<std::uint16_t>(functionCount));
       }},
      {"every function forwarded",
       [&](Bytes& b) {
         for (std::uint32_t i = 0; i < functionCount; ++i) Put32(b, functions + 4 * i, exportRva + exportSize - 1);
       }},
      {"every function past the image",
       [&](Bytes& b) {
         for (std::uint32_t i = 0; i < functionCount; ++i) Put32(b, functions + 4 * i, sizeOfImage);
       }},
      {"no functions", [&](Bytes& b) { Put32(b, dir + 20, 0); }},
      {"directory past the image", [&](Bytes& b) { Put32(b, l.Directory(0), sizeOfImage - 8); }},
  };
  for (const auto& [what, change] : cases) {
    Bytes b = dll;
    change(b);
    RecordingPlatform platform(kImports);
    const LoadResult r = LoadImage(b, platform);
    ASSERT_TRUE(r.module) << what;
    for (const char* name : {"Use", "Counter", "CounterPtr", "Table", "Missing"})
      EXPECT_EQ(FindExport(*r.module, name), 0u) << what << " " << name;
  }

  // A name count far beyond the table: the names that are there are found,
  // and the search for a missing one stops at the end of the image.
  Bytes b = dll;
  Put32(b, dir + 24, 0xFFFFFFFFu);
  RecordingPlatform platform(kImports);
  const LoadResult r = LoadImage(b, platform);
  ASSERT_TRUE(r.module);
  EXPECT_NE(FindExport(*r.module, "Use"), 0u);
  EXPECT_EQ(FindExport(*r.module, "Missing"), 0u);
}

TEST_F(MalformedImage, RandomDamageNeverEscapesTheImage) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 400; ++round) {
    Bytes b = dll;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      // Mostly the headers and tables, where damage matters most.
      const std::size_t at = random() % 2 ? random() % 0x400 : random() % b.size();
      b[at] = static_cast<unsigned char>(random());
    }
    RecordingPlatform platform(kImports);
    LoadOptions options;
    options.noExecute = true;
    platform.refusePreferred = random() % 2;
    LoadResult r = LoadImage(b, platform, options);
    if (r.module) FindExport(*r.module, "Use");
    r.module.reset();
    ASSERT_TRUE(platform.AllReleased()) << round;
  }
}

}  // namespace
}  // namespace kv::skin::test
