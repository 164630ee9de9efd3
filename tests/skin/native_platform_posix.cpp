#include "native_platform.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace kv::skin::test {

namespace {
// Windows code calls these with the Windows calling convention.
__attribute__((ms_abi)) std::uint32_t StandInGetCurrentProcessId() { return CurrentProcessId(); }
__attribute__((ms_abi)) int StandInLstrlenA(const char* s) { return s ? static_cast<int>(std::strlen(s)) : 0; }
}  // namespace

std::unique_ptr<LoaderPlatform> MakeNativePlatform(ImportTable standIns, bool allowExecute) {
  return std::make_unique<PosixLoaderPlatform>(std::move(standIns), allowExecute);
}

ImportTable SystemStandIns() {
  return {{"kernel32.dll",
           {{"GetCurrentProcessId", 0, reinterpret_cast<std::uintptr_t>(&StandInGetCurrentProcessId)},
            {"lstrlenA", 0, reinterpret_cast<std::uintptr_t>(&StandInLstrlenA)}},
           ""}};
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

std::size_t NativePageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

std::string MappedPermissions(const void* address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  const auto a = reinterpret_cast<std::uintptr_t>(address);
  while (std::getline(maps, line)) {
    unsigned long long lo = 0, hi = 0;
    char perms[5] = {};
    if (std::sscanf(line.c_str(), "%llx-%llx %4s", &lo, &hi, perms) == 3 && a >= lo && a < hi) return perms;
  }
  return {};
}

HeldRange::HeldRange(std::uintptr_t at, std::size_t size) : size_(size) {
  void* p = mmap(reinterpret_cast<void*>(at), size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return;
  at_ = p;
  held_ = p == reinterpret_cast<void*>(at);
}

HeldRange::~HeldRange() {
  if (at_ != nullptr) munmap(at_, size_);
}

}  // namespace kv::skin::test
