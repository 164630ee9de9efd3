// The in-memory image loader on arbitrary bytes. Nothing may be mapped
// executable or called, every load must leave nothing behind, and a loaded
// image answers export lookups without reading outside itself.
#include <cstdint>
#include <cstdlib>

#include "image_loader.hpp"
#include "loader_platform_posix.hpp"

namespace {

using namespace kv::skin;

// The POSIX services with a tripwire on executable protections and a count of
// live regions.
class GuardedPlatform : public PosixLoaderPlatform {
 public:
  GuardedPlatform()
      : PosixLoaderPlatform({{"kvhost.dll", {{"HostAdd", 0, 0x1111A0}, {"", 7, 0x2222B0}}, ""},
                       {"kvaux.dll", {{"AuxValue", 0, 0x3333C0}}, ""}},
                      /*allowExecute=*/false) {}
  int regions = 0;
  std::byte* Reserve(std::uintptr_t preferred, std::size_t size, bool below4GiB) override {
    std::byte* p = PosixLoaderPlatform::Reserve(preferred, size, below4GiB);
    if (p != nullptr) ++regions;
    return p;
  }
  void Release(std::byte* base, std::size_t size) override {
    --regions;
    PosixLoaderPlatform::Release(base, size);
  }
  bool Protect(std::byte* at, std::size_t size, PageProtection protection) override {
    if (IsExecutable(protection.protection)) std::abort();
    return PosixLoaderPlatform::Protect(at, size, protection);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static GuardedPlatform* platform = new GuardedPlatform();
  LoadOptions options;
  options.maxImageSize = std::size_t{1} << 20;
  options.noExecute = true;
  LoadResult r = LoadImage(std::span<const unsigned char>(data, size), *platform, options);
  if (r.module) {
    const LoadedModule& m = *r.module;
    if (m.Runnable() || m.Initialised() || m.ImageSize() > options.maxImageSize) std::abort();
    for (const char* name : {"SkinH_AttachRes", "Use", "Counter", ""}) {
      const std::uintptr_t at = FindExport(m, name);
      const auto base = reinterpret_cast<std::uintptr_t>(m.ImageBase());
      if (at != 0 && (at < base || at >= base + m.ImageSize())) std::abort();
    }
  } else if (r.failedAt == LoadStep::None) {
    std::abort();
  }
  r.module.reset();
  if (platform->regions != 0 || platform->OpenLibraries() != 0) std::abort();
  return 0;
}
