// What the loader tests need of the system they run on, one implementation
// per system: its loader platform, the libraries an image may import from it,
// the rights of a page as the system reports them, and a way to keep an
// address range from the loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "loader_platform.hpp"
#include "loader_platform_posix.hpp"  // ImportTable

namespace kv::skin::test {

// The system's loader platform; the libraries `standIns` lists are served
// from it instead of the system's own.
std::unique_ptr<LoaderPlatform> MakeNativePlatform(ImportTable standIns, bool allowExecute);

// What the platform needs besides the system to bind imports64.dll (its
// KERNEL32.dll imports: GetCurrentProcessId, lstrlenA), and what they return.
ImportTable SystemStandIns();
std::uint32_t CurrentProcessId();

std::size_t NativePageSize();

// The rights of the page holding `address` in the style of /proc/self/maps:
// "r-xp", "rw-p", "---p" for reserved or inaccessible pages; empty when
// nothing is there.
std::string MappedPermissions(const void* address);

// Holds [at, at + size) of the address space while it lives.
class HeldRange {
 public:
  HeldRange(std::uintptr_t at, std::size_t size);
  ~HeldRange();
  HeldRange(const HeldRange&) = delete;
  HeldRange& operator=(const HeldRange&) = delete;
  // False when something else already had the range.
  bool Held() const { return held_; }

 private:
  void* at_ = nullptr;
  std::size_t size_;
  bool held_ = false;
};

}  // namespace kv::skin::test
