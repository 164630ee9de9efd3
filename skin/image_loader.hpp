// In-memory loader for Windows dynamic-link library images (PE32 and PE32+).
//
// LoadImage maps an image held in memory the way the Windows loader would,
// without writing it anywhere: headers and sections are copied into a fresh
// region, base relocations are applied when the region is not at the image's
// preferred base, imports are bound through the platform's libraries, every
// section gets its page protection, and the entry point is told that the
// process attaches. Every read of the image is checked against its bounds; a
// malformed image fails the load and leaves nothing behind. No page is ever
// writable and executable at once: an image that would need one is refused.
//
// Code is only ever called for an image built for the machine this program
// runs on (x86-64 or i386), and never in no-execute mode. An image for another
// machine is mapped and bound all the same, without execute rights; it loads
// when it has no entry point and fails at the entry step otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "loader_platform.hpp"

namespace kv::skin {

// The calling convention of Windows code on this machine (a Windows compiler
// uses it already; __stdcall means nothing on x86-64 there).
#if defined(_MSC_VER)
#define KV_WINAPI __stdcall
#elif defined(__x86_64__)
#define KV_WINAPI __attribute__((ms_abi))
#elif defined(__i386__)
#define KV_WINAPI __attribute__((stdcall))
#else
#define KV_WINAPI
#endif

// The steps of a load, in order; a failed load names the step that failed.
enum class LoadStep : std::uint8_t {
  None = 0,        // the load succeeded
  Headers = 1,     // the image's headers are not those of a usable image, or
                   // some page of it would have to be writable and executable
  Reserve = 2,     // no region could be reserved and committed
  Record = 3,      // the module record could not be allocated
  CopyHeaders = 4,  // (cannot fail once the headers are checked)
  Sections = 5,    // section data outside the image or the region
  Relocate = 6,    // relocations needed but missing or malformed
  Imports = 7,     // an import descriptor, library or procedure failed
  Protect = 8,     // a page protection could not be set
  EntryPoint = 9,  // the entry point refused, or cannot be called here
};

struct LoadOptions {
  // Images whose size in memory exceeds this are refused.
  std::size_t maxImageSize = std::size_t{64} << 20;
  // Nothing is mapped executable and no code of the image is ever called; an
  // image with an entry point therefore fails at the entry step.
  bool noExecute = false;
};

// Machine types of the file header.
inline constexpr std::uint16_t kMachineI386 = 0x014c;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The record of a loaded image. Destroying it releases the image: the entry
// point is told that the process detaches (when it had accepted the attach),
// every library the image imports is closed, and the region is freed.
class LoadedModule {
 public:
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Address of the PE headers ("PE\0\0") inside the loaded image.
  const std::byte* Headers() const { return headers_; }
  // Where the image was placed, and its size in memory.
  std::byte* ImageBase() const { return base_; }
  std::size_t ImageSize() const { return size_; }
  // The preferred base written in the image.
  std::uint64_t PreferredBase() const { return preferredBase_; }
  // The libraries the image imports, in load order.
  const std::vector<LibraryHandle>& Dependencies() const { return dependencies_; }
  // The entry point has accepted the process-attach call.
  bool Initialised() const { return initialised_; }
  std::uint16_t Machine() const { return machine_; }
  bool Is64Bit() const { return is64_; }
  // The image's code may be called from this process: it is built for this
  // machine and was not loaded in no-execute mode.
  bool Runnable() const { return runnable_; }
  // The protection that step 8 gave the page holding image offset `rva`
  // (pages no section covers stay read-write); nothing outside the image.
  PageProtection ProtectionAt(std::size_t rva) const;
  // Whether [rva, rva + length) lies inside the image on readable pages.
  bool IsReadable(std::size_t rva, std::size_t length) const;

 private:
  friend struct ImageLoad;
  LoadedModule(LoaderPlatform& platform, std::byte* base, std::size_t size);

  LoaderPlatform& platform_;
  std::byte* base_;
  std::size_t size_;
  const std::byte* headers_ = nullptr;
  std::uint64_t preferredBase_ = 0;
  std::vector<LibraryHandle> dependencies_;
  bool initialised_ = false;
  std::uint16_t machine_ = 0;
  bool is64_ = false;
  bool runnable_ = false;
  std::uint32_t entryPoint_ = 0;
  std::vector<PageProtection> pages_;  // one per page after step 8
  std::size_t pageSize_ = 0;
};

struct LoadResult {
  std::unique_ptr<LoadedModule> module;  // null when the load failed
  LoadStep failedAt = LoadStep::None;
};

// Loads the image `image` (the bytes of a DLL file). On failure everything
// built so far is released and `module` is null.
LoadResult LoadImage(std::span<const unsigned char> image, LoaderPlatform& platform,
                     const LoadOptions& options = {});

// Address of the export `name` of a loaded image, found by its exact name, or
// 0 when the image exports no such name (or has no export names at all, or
// the name leads to a forwarder or outside the image). Finding an address
// does not make it callable: see LoadedModule::Runnable.
std::uintptr_t FindExport(const LoadedModule& module, std::string_view name);

}  // namespace kv::skin
